// Writing a workbook of the in-process engine as an .xlsx file.

#include <sys/resource.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <unordered_map>
#include <vector>

#include "engine/messages.h"
#include "engine/paths.h"
#include "engine/textutil.h"
#include "engine/workfiles.h"
#include "exchange/workbook_codes.h"
#include "exchange/workbook_model.h"
#include "platform/safefile.h"

namespace qor {

namespace {

[[noreturn]] void fail(const QString& what) {
    throw XlError{kXlObjectError, QStringLiteral("Workbook"), what};
}

// 0x00BBGGRR to the writer's 0xRRGGBB, where 0 would mean "automatic".
lxw_color_t writerColour(uint32_t bgr) {
    const uint32_t rgb = (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    return rgb ? lxw_color_t(rgb) : lxw_color_t(LXW_COLOR_BLACK);
}

// The writer's border codes are the file format's line codes.
static_assert(LXW_BORDER_THIN == 1 && LXW_BORDER_HAIR == 7 && LXW_BORDER_SLANT_DASH_DOT == 13);
uint8_t writerBorder(const XlBorder& b) { return uint8_t(BorderLineCode(b)); }

uint8_t writerHAlign(int code) {
    switch (code) {
        case xl::kLeft:
            return LXW_ALIGN_LEFT;
        case xl::kCenter:
            return LXW_ALIGN_CENTER;
        case xl::kRight:
            return LXW_ALIGN_RIGHT;
        case xl::kJustify:
            return LXW_ALIGN_JUSTIFY;
        default:
            return LXW_ALIGN_NONE;
    }
}

uint8_t writerVAlign(int code) {
    switch (code) {
        case xl::kTop:
            return LXW_ALIGN_VERTICAL_TOP;
        case xl::kCenter:
            return LXW_ALIGN_VERTICAL_CENTER;
        case xl::kJustify:
            return LXW_ALIGN_VERTICAL_JUSTIFY;
        default:
            return LXW_ALIGN_NONE;  // bottom is the default
    }
}

// One writer format per distinct style. A style is known by a few packed
// integers: the codes the writer receives, the colours, the font size and
// the interned number format and font name; cells mostly repeat the style
// of the cell before them, which is answered without a look-up.
class Formats {
public:
    explicit Formats(lxw_workbook* wb) : m_wb(wb) {}

    lxw_format* of(const XlStyle& s) {
        if (m_haveLast && s == m_lastStyle) return m_lastFormat;
        lxw_format* f = lookUp(s);
        m_lastStyle = s;
        m_lastFormat = f;
        m_haveLast = true;
        return f;
    }

private:
    struct Key {
        uint64_t codes = 0;
        uint64_t colours = 0;
        uint64_t size = 0;
        uint64_t names = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            uint64_t h = k.codes * 0x9E3779B97F4A7C15ULL;
            h = (h ^ k.colours) * 0x9E3779B97F4A7C15ULL;
            h = (h ^ k.size) * 0x9E3779B97F4A7C15ULL;
            h = (h ^ k.names) * 0x9E3779B97F4A7C15ULL;
            return size_t(h ^ (h >> 29));
        }
    };

    static uint8_t underlineOf(int code) {
        if (code == xl::kUnderlineSingle) return LXW_UNDERLINE_SINGLE;
        if (code == xl::kUnderlineDouble) return LXW_UNDERLINE_DOUBLE;
        return 0;
    }

    uint32_t intern(std::unordered_map<QString, uint32_t>& names, const QString& name) {
        if (name.isEmpty()) return 0;
        auto [it, fresh] = names.try_emplace(name, uint32_t(names.size() + 1));
        return it->second;
    }

    // The writer's own values go into the key, so two styles that come out
    // alike share one format.
    Key keyOf(const XlStyle& s) {
        Key k;
        k.codes = uint64_t(s.bold) | uint64_t(s.italic) << 1 | uint64_t(s.wrap) << 2 |
                  uint64_t(s.hasFill) << 3 | uint64_t(underlineOf(s.underline)) << 8 |
                  uint64_t(writerHAlign(s.hAlign)) << 16 | uint64_t(writerVAlign(s.vAlign)) << 24 |
                  uint64_t(writerBorder(s.left)) << 32 | uint64_t(writerBorder(s.top)) << 40 |
                  uint64_t(writerBorder(s.bottom)) << 48 | uint64_t(writerBorder(s.right)) << 56;
        k.colours = uint64_t(s.fontColor & 0xFFFFFF) |
                    (s.hasFill ? uint64_t(s.fillColor & 0xFFFFFF) << 32 : 0);
        const double size = s.fontSize == xl::kDefaultFontSize ? 0.0 : s.fontSize;
        std::memcpy(&k.size, &size, sizeof size);
        k.names = uint64_t(intern(m_numberFormats, s.numberFormat)) |
                  uint64_t(intern(m_fontNames, s.fontName)) << 32;
        return k;
    }

    lxw_format* lookUp(const XlStyle& s) {
        static const XlStyle plain;
        if (s == plain) return nullptr;
        const Key key = keyOf(s);
        auto it = m_made.find(key);
        if (it != m_made.end()) return it->second;
        lxw_format* f = workbook_add_format(m_wb);
        if (!f) fail(StatusText(Status::OutOfMemory));
        if (!s.numberFormat.isEmpty())
            format_set_num_format(f, s.numberFormat.toUtf8().constData());
        if (!s.fontName.isEmpty()) format_set_font_name(f, s.fontName.toUtf8().constData());
        if (s.fontSize != xl::kDefaultFontSize) format_set_font_size(f, s.fontSize);
        if (s.bold) format_set_bold(f);
        if (s.italic) format_set_italic(f);
        if (const uint8_t u = underlineOf(s.underline)) format_set_underline(f, u);
        if (s.fontColor != 0) format_set_font_color(f, writerColour(s.fontColor));
        if (s.hasFill) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, writerColour(s.fillColor));
        }
        if (const uint8_t h = writerHAlign(s.hAlign)) format_set_align(f, h);
        if (const uint8_t v = writerVAlign(s.vAlign)) format_set_align(f, v);
        if (s.wrap) format_set_text_wrap(f);
        format_set_left(f, writerBorder(s.left));
        format_set_top(f, writerBorder(s.top));
        format_set_bottom(f, writerBorder(s.bottom));
        format_set_right(f, writerBorder(s.right));
        m_made.emplace(key, f);
        return f;
    }

    lxw_workbook* m_wb;
    std::unordered_map<Key, lxw_format*, KeyHash> m_made;
    std::unordered_map<QString, uint32_t> m_numberFormats;
    std::unordered_map<QString, uint32_t> m_fontNames;
    bool m_haveLast = false;
    XlStyle m_lastStyle;
    lxw_format* m_lastFormat = nullptr;
};

void check(lxw_error e, int whatId) {
    if (e != LXW_NO_ERROR)
        fail(LoadErrorText(str::kTwoDetailsInParens)
                 .arg(StatusText(Status::WriteError), LoadErrorText(whatId))
                 .arg(int(e)));
}

// A text as spreadsheet XML carries it: what XML has no place for (and a
// carriage return, which a parser reads as a line feed) as _xHHHH_, the
// form the reader's unescapeText turns back; an underscore that would
// start such a form is escaped itself, so "_x0041_" stays as it was.
QString sheetText(const QString& text) {
    const auto escaped = [&text](qsizetype i) {
        const QChar c = text.at(i);
        if (c == u'_')
            return i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_';
        return c == u'\r' || IsUncarriedChar(text, i);
    };
    qsizetype i = 0;
    while (i < text.size() && !escaped(i)) ++i;
    if (i == text.size()) return text;
    QString out = text.left(i);
    for (; i < text.size(); ++i) {
        if (escaped(i))
            out += QStringLiteral("_x") +
                   QString::number(text.at(i).unicode(), 16).toUpper().rightJustified(4, u'0') + u'_';
        else
            out += text.at(i);
    }
    return out;
}

// Whether writing the cell puts anything into the sheet: the writer drops
// an empty text or an empty cell that has no format.
bool writesSomething(const XlCell& cell, const lxw_format* f) {
    return cell.kind == XlCell::Number || (cell.kind == XlCell::Text && !cell.text.isEmpty()) || f;
}

void writeCell(lxw_worksheet* ws, int row, int col, const XlCell& cell, lxw_format* f) {
    const lxw_row_t r = lxw_row_t(row - 1);
    const lxw_col_t c = lxw_col_t(col - 1);
    switch (cell.kind) {
        case XlCell::Number:
            check(worksheet_write_number(ws, r, c, cell.number, f), str::kWhatCell);
            break;
        case XlCell::Text:
            check(worksheet_write_string(ws, r, c, sheetText(cell.text).toUtf8().constData(), f),
                  str::kWhatCell);
            break;
        case XlCell::Empty:
            if (f) check(worksheet_write_blank(ws, r, c, f), str::kWhatCell);
            break;
    }
}

// Writes a sheet row by row, as a writer that keeps only the current row
// needs it: the whole sheet at once, or in bands of rows as they are made.
// Each cell of a merged area that has nothing of its own shows the area's
// blank in the format of the area's first cell; a merge is registered on
// its last row, where the writer still accepts it.
class SheetRows {
public:
    SheetRows(lxw_worksheet* ws, Formats& formats, const XlWorksheet& sheet)
        : m_ws(ws), m_formats(formats), m_heights(sheet.rowHeights()) {
        for (const auto& [col, width] : sheet.columnWidths())
            check(worksheet_set_column(ws, lxw_col_t(col - 1), lxw_col_t(col - 1), width, nullptr),
                  str::kColumnWidth);
    }

    // The rows after the last one written up to lastRow.
    void write(const XlWorksheet& sheet, int lastRow) {
        takeMerges(sheet, lastRow);
        // Every row that holds a cell, a height or part of a merged area.
        std::vector<int> rows;
        for (const XlCellMap::Row& row : sheet.cells().rows()) {
            if (row.row > lastRow) break;
            if (row.row > m_done) rows.push_back(row.row);
        }
        for (auto h = m_heights.upper_bound(m_done); h != m_heights.end() && h->first <= lastRow; ++h)
            rows.push_back(h->first);
        const auto mergeRows = [&](const Merge& m) {
            for (int r = std::max(m.area.r1, m_done + 1); r <= std::min(m.area.r2, lastRow); ++r)
                rows.push_back(r);
        };
        for (const Merge* m : m_open) mergeRows(*m);
        for (size_t i = m_nextMerge; i < m_merges.size() && m_merges[i].area.r1 <= lastRow; ++i)
            mergeRows(m_merges[i]);
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

        const auto& cellRows = sheet.cells().rows();
        auto rowIt = cellRows.begin();
        for (const int r : rows) {
            const lxw_row_t row0 = lxw_row_t(r - 1);
            m_open.erase(std::remove_if(m_open.begin(), m_open.end(),
                                        [r](const Merge* m) { return m->area.r2 < r; }),
                         m_open.end());
            while (m_nextMerge < m_merges.size() && m_merges[m_nextMerge].area.r1 <= r)
                m_open.push_back(&m_merges[m_nextMerge++]);
            const bool mergeEnds = std::any_of(m_open.begin(), m_open.end(),
                                               [r](const Merge* m) { return m->area.r2 == r; });

            const auto h = m_heights.find(r);
            if (h != m_heights.end())
                check(worksheet_set_row(m_ws, row0, h->second, nullptr), str::kRowHeight);
            else if (mergeEnds)
                check(worksheet_set_row(m_ws, row0, LXW_DEF_ROW_HEIGHT, nullptr), str::kWhatRow);
            for (const Merge* m : m_open) {
                if (m->area.r2 != r) continue;
                check(worksheet_merge_range(m_ws, lxw_row_t(m->area.r1 - 1),
                                            lxw_col_t(m->area.c1 - 1), row0,
                                            lxw_col_t(m->area.c2 - 1), "", m->format),
                      str::kWhatMergedRange);
            }
            for (const Merge* m : m_open) {
                if (!m->format) continue;
                for (int c = m->area.c1; c <= m->area.c2; ++c)
                    check(worksheet_write_blank(m_ws, row0, lxw_col_t(c - 1), m->format),
                          str::kWhatCell);
            }
            while (rowIt != cellRows.end() && rowIt->row < r) ++rowIt;
            if (rowIt == cellRows.end() || rowIt->row != r) continue;
            for (const auto& [pos, cell] : rowIt->cells) {
                lxw_format* f = m_formats.of(cell.style());
                if (writesSomething(cell, f)) writeCell(m_ws, r, pos.second, cell, f);
            }
        }
        m_done = std::max(m_done, lastRow);
    }

private:
    struct Merge {
        XlArea area;
        lxw_format* format;
    };

    // The merged areas the sheet gained that begin by lastRow, with the
    // format of their first cell, in the order of their first rows. The
    // list is made once and keeps its place: m_open points into it.
    void takeMerges(const XlWorksheet& sheet, int lastRow) {
        const std::vector<XlArea>& all = sheet.merges();
        std::vector<XlArea> fresh;
        while (m_mergesTaken < all.size() && all[m_mergesTaken].r1 <= lastRow)
            fresh.push_back(all[m_mergesTaken++]);
        if (fresh.empty()) return;
        // Pointers into the list outlive a growth of it only as indices.
        std::vector<size_t> openAt;
        for (const Merge* m : m_open) openAt.push_back(size_t(m - m_merges.data()));
        for (const XlArea& m : fresh) {
            const XlCell* first = sheet.findCell(m.r1, m.c1);
            m_merges.push_back({m, first ? m_formats.of(first->style()) : nullptr});
        }
        std::sort(m_merges.begin() + qsizetype(m_nextMerge), m_merges.end(),
                  [](const Merge& a, const Merge& b) { return a.area.r1 < b.area.r1; });
        m_open.clear();
        for (const size_t i : openAt) m_open.push_back(&m_merges[i]);
    }

    lxw_worksheet* m_ws;
    Formats& m_formats;
    std::map<int, double> m_heights;
    std::vector<Merge> m_merges;
    size_t m_mergesTaken = 0;
    size_t m_nextMerge = 0;
    std::vector<const Merge*> m_open;  // merged areas over the current row
    int m_done = 0;                    // the last row written
};

void streamSheet(lxw_worksheet* ws, Formats& formats, const XlWorksheet& sheet) {
    SheetRows(ws, formats, sheet).write(sheet, std::numeric_limits<int>::max());
}

std::atomic<int> g_filesWritten{0};

// Each sheet's rows wait in a temporary file of the writer's own, and the
// writer makes another for each part it packs. On a file system that
// skips the slots of recently deleted files when it makes a new one, each
// file costs more than the last: 3,000 small sheets took seconds. So a
// workbook of up to this many cells, whose files together take a few MB,
// is held until its size is known and written with the files in memory;
// a larger one streams through the disk as before.
constexpr size_t kCellsInMemory = 100000;

// The shared-memory file system, when there is one to write into. The
// writer makes its files there with exclusive, owner-only names and
// unlinks each at once, so a killed run leaves nothing behind.
const char* memoryFolder() {
    static const char* const folder = [] {
        constexpr long kTmpfsMagic = 0x01021994;
        struct statfs fs {};
        const char* shm = "/dev/shm";
        const bool usable = statfs(shm, &fs) == 0 && long(fs.f_type) == kTmpfsMagic &&
                            access(shm, W_OK | X_OK) == 0;
        return usable ? shm : nullptr;
    }();
    return folder;
}

// Written in constant memory, each sheet's rows wait in a temporary file
// of its own that stays open until the workbook is closed: a report of
// more than about a thousand pages needs more descriptors than the usual
// soft limit of 1,024. The soft limit is raised by the number of sheets,
// as far as the hard limit allows.
void allowDescriptorsFor(size_t sheets) {
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return;
    const rlim_t want = lim.rlim_cur + rlim_t(sheets);
    if (lim.rlim_max != RLIM_INFINITY && lim.rlim_cur >= lim.rlim_max) return;
    lim.rlim_cur = lim.rlim_max == RLIM_INFINITY ? want : std::min(want, lim.rlim_max);
    setrlimit(RLIMIT_NOFILE, &lim);
}

}  // namespace

struct XlsxStreamWriter::Impl {
    QString target;
    QByteArray tmpName;
    std::unique_ptr<SafeFileWriter> tmp;
    // The library's own scratch files, in a folder of the user's work
    // folder that goes with this process, killed or not.
    QByteArray scratch;
    std::vector<QByteArray> names;
    int active = -1;
    lxw_workbook* wb = nullptr;
    std::unique_ptr<Formats> formats;
    std::vector<lxw_worksheet*> sheets;
    std::vector<bool> written;
    // The sheet being written in bands.
    std::unique_ptr<SheetRows> current;
    // Sheets written before the workbook is opened.
    std::vector<std::pair<int, XlWorksheet>> held;
    size_t heldCells = 0;
    bool committed = false;
    ~Impl() {
        // Closing writes the file; the temporary is dropped all the same.
        current.reset();
        if (wb) workbook_close(wb);
        if (!scratch.isEmpty()) QDir(QFile::decodeName(scratch)).removeRecursively();
    }
    // A workbook with every sheet; without a file of its own when "probe"
    // only checks the names.
    lxw_workbook* addSheets(bool probe, const char* tmpdir) {
        lxw_workbook_options options{};
        options.constant_memory = probe ? LXW_FALSE : LXW_TRUE;
        options.tmpdir = const_cast<char*>(tmpdir);
        if (!probe) allowDescriptorsFor(names.size());
        lxw_workbook* book = workbook_new_opt(tmpName.constData(), &options);
        if (!book) fail(StatusText(Status::OutOfMemory));
        for (size_t i = 0; i < names.size(); ++i) {
            lxw_worksheet* ws = workbook_add_worksheet(book, names[i].constData());
            if (!ws) {
                lxw_workbook_free(book);
                fail(LoadErrorText(str::kSheetFailure)
                         .arg(QString::fromUtf8(names[i]), StatusText(Status::WriteError)));
            }
            if (int(i) == active) worksheet_activate(ws);
            if (!probe) sheets.push_back(ws);
        }
        return book;
    }
    // Opens the workbook and writes the sheets held so far.
    void open(bool inMemory) {
        const char* tmpdir = inMemory ? memoryFolder() : nullptr;
        if (!tmpdir) {
            scratch = QFile::encodeName(CreateWorkFolder());
            if (!scratch.isEmpty()) tmpdir = scratch.constData();
        }
        wb = addSheets(false, tmpdir);
        formats = std::make_unique<Formats>(wb);
        for (auto& [index0, sheet] : held) {
            streamSheet(sheets[size_t(index0)], *formats, sheet);
            sheet = XlWorksheet(QString());
        }
        held.clear();
        held.shrink_to_fit();
    }
};

XlsxStreamWriter::XlsxStreamWriter(const QString& path, const std::vector<QString>& sheetNames,
                                   int activeIndex0)
    : d(std::make_unique<Impl>()) {
    const QFileInfo target(path);
    if (target.fileName().isEmpty()) fail(StatusText(Status::CannotCreate));
    if (!target.absoluteDir().exists())
        fail(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, StatusText(Status::CannotCreate)));
    // The library opens the file by name itself: it gets the name of our
    // own open temporary, which no link planted in the folder can redirect.
    d->target = path;
    d->tmp = std::make_unique<SafeFileWriter>(target.absoluteFilePath());
    if (!d->tmp->open())
        fail(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, StatusText(Status::CannotCreate)));
    d->tmpName = QFile::encodeName(HandlePath(d->tmp->handle()));

    for (const QString& name : sheetNames) d->names.push_back(name.toUtf8());
    d->active = activeIndex0;
    // The names are refused now, though the workbook opens later.
    lxw_workbook_free(d->addSheets(true, nullptr));
    d->written.assign(sheetNames.size(), false);
}

XlsxStreamWriter::~XlsxStreamWriter() = default;

void XlsxStreamWriter::writeSheet(int index0, const XlWorksheet& sheet) {
    if (d->committed || d->current || index0 < 0 || size_t(index0) >= d->written.size() ||
        d->written[size_t(index0)])
        fail(LoadErrorText(str::kSheetFailure).arg(sheet.name(), StatusText(Status::WriteError)));
    d->written[size_t(index0)] = true;
    if (!d->wb) {
        if (d->heldCells + sheet.cells().size() <= kCellsInMemory) {
            d->heldCells += sheet.cells().size();
            d->held.emplace_back(index0, sheet);
            return;
        }
        d->open(false);
    }
    streamSheet(d->sheets[size_t(index0)], *d->formats, sheet);
}

void XlsxStreamWriter::beginSheet(int index0, const XlWorksheet& sheet) {
    if (d->committed || d->current || index0 < 0 || size_t(index0) >= d->written.size() ||
        d->written[size_t(index0)])
        fail(LoadErrorText(str::kSheetUnwritable).arg(sheet.name()));
    d->written[size_t(index0)] = true;
    // A sheet that comes in bands is too large to be held.
    if (!d->wb) d->open(false);
    d->current = std::make_unique<SheetRows>(d->sheets[size_t(index0)], *d->formats, sheet);
}

void XlsxStreamWriter::writeRows(const XlWorksheet& sheet, int lastRow) {
    if (!d->current) fail(StatusText(Status::Refused));
    d->current->write(sheet, lastRow);
}

void XlsxStreamWriter::endSheet(const XlWorksheet& sheet) {
    if (!d->current) fail(StatusText(Status::Refused));
    d->current->write(sheet, std::numeric_limits<int>::max());
    d->current.reset();
}

void XlsxStreamWriter::commit() {
    if (d->committed) fail(StatusText(Status::Refused));
    if (d->current) fail(StatusText(Status::Refused));
    if (!d->wb) d->open(true);
    d->committed = true;
    lxw_workbook* wb = d->wb;
    d->wb = nullptr;
    d->formats.reset();
    errno = 0;
    const lxw_error closed = workbook_close(wb);
    // The library keeps its reasons to itself; a full disk is still named.
    if (closed != LXW_NO_ERROR && DiskFullFor(d->target, errno)) fail(DiskFullText(d->target));
    check(closed, str::kWhatWorkbook);
    if (!d->tmp->commit()) {
        if (IsDiskFullError(d->tmp->error())) fail(DiskFullText(d->target));
        fail(LoadErrorText(str::kCannotReplaceWithReason)
                 .arg(d->target, StatusText(Status::WriteError)));
    }
    ++g_filesWritten;
}

int XlsxFilesWritten() { return g_filesWritten.load(); }

bool IsXlsxName(const QString& path) {
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

std::unique_ptr<XlStreamWriter> OpenWorkbookWriter(const QString& path,
                                                   const std::vector<QString>& sheetNames,
                                                   int activeIndex0) {
    if (IsXlsxName(path)) return std::make_unique<XlsxStreamWriter>(path, sheetNames, activeIndex0);
    return std::make_unique<XlsStreamWriter>(path, sheetNames, activeIndex0);
}

void XlWorkbook::saveAs(const QString& path) const {
    std::vector<QString> names;
    names.reserve(m_sheets.size());
    for (const auto& s : m_sheets) names.push_back(s->name());
    const std::unique_ptr<XlStreamWriter> out = OpenWorkbookWriter(path, names, m_active);
    for (size_t i = 0; i < m_sheets.size(); ++i) out->writeSheet(int(i), *m_sheets[i]);
    out->commit();
}

}  // namespace qor
