// Writing a workbook of the in-process engine as a binary (.xls) workbook:
// a compound file holding one "Workbook" stream of BIFF8 records.
//
// The stream is the workbook's globals (fonts, number formats, cell
// styles, sheet directory, shared strings) followed by one block of records
// per sheet. A sheet's records are encoded as its rows come and go to a
// scratch file at once, so a workbook never sits in memory as bytes; the
// globals are laid out on commit, when every style and string is known,
// the sheet directory gets each block's offset then, and the stream is
// copied into the compound file piece by piece.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <map>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

#include "exchange/workbook_codes.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "engine/textutil.h"
#include "exchange/workbook_model.h"
#include "platform/bytes.h"
#include "platform/compoundfile.h"
#include "platform/safefile.h"

namespace qor {

namespace {

[[noreturn]] void fail(const QString& what) {
    throw XlError{kXlObjectError, QStringLiteral("Workbook"), what};
}

// Record types.
constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kCodePage = 0x0042, kWindow1 = 0x003D,
                   kFont = 0x0031, kFormat = 0x041E, kXf = 0x00E0, kStyle = 0x0293,
                   kBoundSheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C, kExtSst = 0x00FF,
                   kDimensions = 0x0200, kColInfo = 0x007D, kRow = 0x0208, kNumber = 0x0203,
                   kLabelSst = 0x00FD, kBlank = 0x0201, kMergedCells = 0x00E5,
                   kWindow2 = 0x023E, kDefColWidth = 0x0055;

constexpr int kMaxRecordData = 8224;  // bytes after a record's header
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;
constexpr int kMergesPerRecord = 1026;
constexpr int kStyleXfs = 15;          // the style XFs every workbook starts with
constexpr int kDefaultCellXf = 15;     // the cell XF of a cell without a style
constexpr int kMaxXfs = 4050;          // what spreadsheet programs accept
constexpr int kFirstCustomFormat = 164;
constexpr uint16_t kAutoColour = 0x7FFF;
const QString kDefaultFontName = QStringLiteral("Calibri");

// A record's bytes as they are built: the buffer ahead of the writer that
// appends to it, so the buffer exists before the writer holds it.
struct BiffBuffer {
    QByteArray b;
};

struct BiffBytes : BiffBuffer, ByteWriter {
    BiffBytes() : ByteWriter(b) {}
    BiffBytes(const BiffBytes&) = delete;
    BiffBytes& operator=(const BiffBytes&) = delete;
    // Characters as 8-bit (all below 256) or UTF-16; the flag byte first.
    void chars(const QString& s, bool wide) {
        u8(wide ? 1 : 0);
        for (const QChar c : s) wide ? u16(c.unicode()) : u8(uint8_t(c.unicode()));
    }
    void record(uint16_t type, const QByteArray& data) {
        u16(type);
        u16(uint16_t(data.size()));
        b.append(data);
    }
};

bool needsWide(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

// A font as a FONT record holds it.
struct FontKey {
    QString name;
    int twips = 220;
    bool bold = false, italic = false;
    int underline = 0;  // 0 none, 1 single, 2 double
    uint16_t colour = kAutoColour;
    bool operator==(const FontKey&) const = default;
};

int underlineCode(int u) {
    if (u == xl::kUnderlineSingle) return 1;
    if (u == xl::kUnderlineDouble) return 2;
    return 0;
}

int hAlignCode(int code) {
    switch (code) {
        case xl::kLeft:
            return 1;
        case xl::kCenter:
            return 2;
        case xl::kRight:
            return 3;
        case xl::kJustify:
            return 5;
        default:
            return 0;  // general
    }
}

int vAlignCode(int code) {
    switch (code) {
        case xl::kTop:
            return 0;
        case xl::kCenter:
            return 1;
        case xl::kJustify:
            return 3;
        default:
            return 2;  // bottom
    }
}

// The 20 bytes of a cell XF after its font and format indices.
struct XfKey {
    int font = 0;
    int format = 0;
    QByteArray rest;
    bool operator==(const XfKey&) const = default;
};

QByteArray xfBody(const XlStyle& s) {
    BiffBytes x;
    x.u16(0x0001);  // locked, a cell XF whose parent is the Normal style
    x.u8(hAlignCode(s.hAlign) | (s.wrap ? 0x08 : 0) | vAlignCode(s.vAlign) << 4);
    x.u8(0);     // rotation
    x.u8(0);     // indent, shrink, reading order
    x.u8(0xFC);  // every attribute group is the cell's own
    const auto line = [](const XlBorder& b) { return uint32_t(BorderLineCode(b)); };
    const auto colour = [](const XlBorder& b) { return BorderLineCode(b) ? 8u : 0u; };
    x.u32(line(s.left) | line(s.right) << 4 | line(s.top) << 8 | line(s.bottom) << 12 |
          colour(s.left) << 16 | colour(s.right) << 23);
    x.u32(colour(s.top) | colour(s.bottom) << 7 | (s.hasFill ? 1u << 26 : 0u));
    const int fore = s.hasFill ? BiffPaletteIndex(s.fillColor) : 64;
    x.u16(fore | 65 << 7);
    return x.b;
}

size_t hashOf(const XfKey& k) { return qHash(k.rest) ^ size_t(k.font) << 20 ^ size_t(k.format); }
struct XfHash {
    size_t operator()(const XfKey& k) const { return hashOf(k); }
};
struct FontHash {
    size_t operator()(const FontKey& k) const {
        return qHash(k.name) ^ size_t(k.twips) << 8 ^ size_t(k.colour) << 24 ^
               size_t(k.bold) << 1 ^ size_t(k.italic) << 2 ^ size_t(k.underline) << 3;
    }
};

}  // namespace

struct XlsStreamWriter::Impl {
    QString target;
    std::vector<QString> names;
    int active = 0;
    std::vector<bool> written;
    bool done = false;

    // The sheets' records, in the order they were written; each sheet's
    // block is where in it.
    int scratch = -1;
    quint64 scratchSize = 0;
    struct Block {
        quint64 at = 0, size = 0;
    };
    std::vector<Block> blocks;

    // The sheet being written.
    struct MergeBlank {
        XlArea area;
        int xf;
    };
    struct Current {
        int index = 0;
        quint64 start = 0;
        quint64 dimensionsAt = 0;  // where its DIMENSIONS record's data lie
        int r1 = 0, r2 = -1, c1 = 0, c2 = -1;
        int done = 0;  // the last row written
        size_t mergesTaken = 0;
        std::vector<MergeBlank> blanks;  // merged areas whose cells show a blank
    };
    std::optional<Current> current;

    ~Impl() {
        if (scratch >= 0) ::close(scratch);
    }

    // The workbook's tables, filled as sheets are encoded.
    std::vector<FontKey> fonts;  // beyond the four default fonts
    std::unordered_map<FontKey, int, FontHash> fontIndex;
    std::vector<QString> formats;  // custom codes from 164
    QHash<QString, int> formatIndex;
    std::vector<XfKey> xfs;  // cell XFs from 16
    std::unordered_map<XfKey, int, XfHash> xfIndex;
    std::vector<QString> strings;
    QHash<QString, int> stringIndex;
    uint32_t stringUses = 0;
    // The style met last, for runs of cells that share one.
    bool haveLast = false;
    XlStyle lastStyle;
    int lastXf = kDefaultCellXf;

    int fontOf(const XlStyle& s) {
        FontKey k;
        k.name = s.fontName.isEmpty() ? kDefaultFontName : s.fontName;
        k.twips = int(std::lround(std::clamp(s.fontSize, 1.0, 409.0) * 20));
        k.bold = s.bold;
        k.italic = s.italic;
        k.underline = underlineCode(s.underline);
        k.colour = s.fontColor ? uint16_t(BiffPaletteIndex(s.fontColor)) : kAutoColour;
        if (k == FontKey{kDefaultFontName}) return 0;
        auto [it, fresh] = fontIndex.try_emplace(k, 0);
        if (fresh) {
            if (k.name.size() > 255)
                fail(LoadErrorText(str::kReasonAndMessage).arg(StatusText(Status::WriteError), k.name));
            fonts.push_back(k);
            // The format never uses font index 4: the fifth record is 5.
            it->second = int(fonts.size()) + 4;
        }
        return it->second;
    }

    int formatOf(const QString& code) {
        if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
            return 0;
        auto it = formatIndex.find(code);
        if (it != formatIndex.end()) return *it;
        if (code.size() > 255) fail(LoadErrorText(str::kReasonAndMessage).arg(StatusText(Status::WriteError), code));
        formats.push_back(code);
        const int index = kFirstCustomFormat + int(formats.size()) - 1;
        formatIndex.insert(code, index);
        return index;
    }

    int xfOf(const XlStyle& s) {
        if (haveLast && s == lastStyle) return lastXf;
        static const XlStyle plain;
        int xf = kDefaultCellXf;
        if (!(s == plain)) {
            XfKey k{fontOf(s), formatOf(s.numberFormat), xfBody(s)};
            auto [it, fresh] = xfIndex.try_emplace(k, 0);
            if (fresh) {
                xfs.push_back(k);
                it->second = kDefaultCellXf + int(xfs.size());
                if (it->second >= kMaxXfs) fail(StatusText(Status::WriteError));
            }
            xf = it->second;
        }
        haveLast = true;
        lastStyle = s;
        lastXf = xf;
        return xf;
    }

    uint32_t stringOf(const QString& t) {
        ++stringUses;
        auto it = stringIndex.find(t);
        if (it != stringIndex.end()) return uint32_t(*it);
        // Half a surrogate pair would make a strict reader refuse the
        // whole book; the export names it.
        strings.push_back(UnpairedSurrogates(t) ? WithReplacementChars(t, false) : t);
        stringIndex.insert(t, int(strings.size()) - 1);
        return uint32_t(strings.size()) - 1;
    }

    void openScratch();
    void append(const QByteArray& bytes);
    void readScratch(quint64 at, char* into, size_t n) const;
    void beginSheet(int index0, const XlWorksheet& sheet);
    void writeRows(const XlWorksheet& sheet, int lastRow);
    void endSheet(const XlWorksheet& sheet);
    // Forgets the sheet being written and what of it went out.
    void abandonSheet();
    template <class F>
    void guarded(F f) {
        try {
            f();
        } catch (...) {
            abandonSheet();
            throw;
        }
    }
    QByteArray encodeGlobals(std::vector<uint32_t>* sheetOffsetPositions);
};

namespace {

QByteArray bof(int kind) {
    BiffBytes d;
    d.u16(0x0600);  // BIFF8
    d.u16(kind);    // 0x0005 globals, 0x0010 worksheet
    d.u16(0x0DBB);
    d.u16(0x07CC);
    d.u32(0);
    d.u32(0x00000006);
    return d.b;
}

QByteArray window2(bool active) {
    BiffBytes d;
    // Grid, headers, zeros, automatic grid colour, outline symbols; the
    // active sheet is also selected and shown.
    d.u16(active ? 0x06B6 : 0x00B6);
    d.u16(0);
    d.u16(0);
    d.u16(64);
    d.u16(0);
    d.u16(0);
    d.u16(0);
    d.u32(0);
    return d.b;
}

void checkCell(const XlWorksheet& sheet, int row, int col) {
    if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols)
        fail(LoadErrorText(str::kCellBeyondXlsSheet).arg(sheet.name()).arg(row).arg(col));
}

}  // namespace

void XlsStreamWriter::Impl::openScratch() {
    if (scratch >= 0) return;
    // A file without a name, or one unlinked at once where the file
    // system cannot make those: nothing is left behind, whatever ends the
    // process.
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
    scratch = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (scratch >= 0) return;
    QByteArray name = folder + "/qor-xls-XXXXXX";
    scratch = ::mkostemp(name.data(), O_CLOEXEC);
    if (scratch < 0)
        fail(LoadErrorText(str::kCannotCreateTempFile)
                 .arg(QDir::tempPath(), qor::FileErrorText(errno)));
    ::unlink(name.constData());
}

void XlsStreamWriter::Impl::append(const QByteArray& bytes) {
    openScratch();
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::pwrite(scratch, p, left, off_t(scratchSize));
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            fail(LoadErrorText(str::kTempFileUnwritable)
                     .arg(qor::FileErrorText(n < 0 ? errno : ENOSPC)));
        }
        p += n;
        left -= size_t(n);
        scratchSize += quint64(n);
    }
}

void XlsStreamWriter::Impl::readScratch(quint64 at, char* into, size_t n) const {
    while (n > 0) {
        const ssize_t got = ::pread(scratch, into, n, off_t(at));
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            fail(LoadErrorText(str::kTempFileUnreadable)
                     .arg(qor::FileErrorText(got < 0 ? errno : EIO)));
        }
        into += got;
        n -= size_t(got);
        at += quint64(got);
    }
}

void XlsStreamWriter::Impl::abandonSheet() {
    if (!current) return;
    scratchSize = current->start;
    if (scratch >= 0 && ::ftruncate(scratch, off_t(scratchSize)) != 0) {
        // The bytes past the end are overwritten by the next sheet.
    }
    current.reset();
}

void XlsStreamWriter::Impl::beginSheet(int index0, const XlWorksheet& sheet) {
    Current cur;
    cur.index = index0;
    cur.start = scratchSize;
    BiffBytes out;
    out.record(kBof, bof(0x0010));
    {
        BiffBytes d;
        d.u16(8);
        out.record(kDefColWidth, d.b);
    }
    for (const auto& [col, width] : sheet.columnWidths()) {
        if (col < 1 || col > kMaxCols) checkCell(sheet, 1, col);
        BiffBytes d;
        d.u16(col - 1);
        d.u16(col - 1);
        d.u16(StoredWidthOfColumnChars256(width));
        d.u16(kDefaultCellXf);
        d.u16(0);
        d.u16(0);
        out.record(kColInfo, d.b);
    }
    // The used block is known when the last row is in: the record is
    // filled in then.
    cur.dimensionsAt = cur.start + quint64(out.b.size()) + 4;
    out.record(kDimensions, QByteArray(14, '\0'));
    for (const auto& [row, points] : sheet.rowHeights()) {
        if (row < 1 || row > kMaxRows) checkCell(sheet, row, 1);
        BiffBytes d;
        d.u16(row - 1);
        d.u16(0);
        d.u16(0);
        d.u16(int(std::lround(std::clamp(points, 0.0, 409.0) * 20)));
        d.u16(0);
        d.u16(0);
        // Custom height, plus the bit the format wants set; the row's XF
        // is the default one.
        d.u32(0x0140 | uint32_t(kDefaultCellXf) << 16);
        out.record(kRow, d.b);
    }
    current = cur;
    append(out.b);
}

void XlsStreamWriter::Impl::writeRows(const XlWorksheet& sheet, int lastRow) {
    Current& cur = *current;
    // The merged areas that begin by lastRow: their uncovered cells show
    // the area's blank in the style of its first cell, as spreadsheet
    // programs keep it.
    const std::vector<XlArea>& merges = sheet.merges();
    for (; cur.mergesTaken < merges.size() && merges[cur.mergesTaken].r1 <= lastRow;
         ++cur.mergesTaken) {
        const XlArea& m = merges[cur.mergesTaken];
        checkCell(sheet, m.r2, m.c2);
        const XlCell* first = sheet.findCell(m.r1, m.c1);
        if (!first) continue;
        const int xf = xfOf(first->style());
        if (xf != kDefaultCellXf) cur.blanks.push_back({m, xf});
    }
    std::map<std::pair<int, int>, int> blanks;  // (row, col) → XF
    for (const MergeBlank& m : cur.blanks)
        for (int r = std::max(m.area.r1, cur.done + 1); r <= std::min(m.area.r2, lastRow); ++r)
            for (int c = m.area.c1; c <= m.area.c2; ++c)
                if (!sheet.findCell(r, c)) blanks.emplace(std::make_pair(r, c), m.xf);
    cur.blanks.erase(std::remove_if(cur.blanks.begin(), cur.blanks.end(),
                                    [lastRow](const MergeBlank& m) { return m.area.r2 <= lastRow; }),
                     cur.blanks.end());

    const auto extend = [&cur](int r, int c) {
        if (cur.r2 < 0) {
            cur.r1 = cur.r2 = r;
            cur.c1 = cur.c2 = c;
            return;
        }
        cur.r1 = std::min(cur.r1, r);
        cur.r2 = std::max(cur.r2, r);
        cur.c1 = std::min(cur.c1, c);
        cur.c2 = std::max(cur.c2, c);
    };
    const auto& rows = sheet.cells().rows();
    auto rowEnd = rows.begin();
    for (; rowEnd != rows.end() && rowEnd->row <= lastRow; ++rowEnd) {
        if (rowEnd->row <= cur.done) continue;
        for (const auto& [pos, cell] : rowEnd->cells) {
            checkCell(sheet, pos.first, pos.second);
            extend(pos.first, pos.second);
        }
    }
    for (const auto& [pos, xf] : blanks) extend(pos.first, pos.second);

    // Cells in row order, the merged areas' blanks among them.
    BiffBytes out;
    auto blankIt = blanks.begin();
    for (auto rowIt = rows.begin();; ++rowIt) {
        const bool haveRow = rowIt != rowEnd;
        if (haveRow && rowIt->row <= cur.done) continue;
        // The blanks of the rows before this one, and of this one before each cell.
        const auto blanksBefore = [&](std::pair<int, int> pos) {
            for (; blankIt != blanks.end() && blankIt->first < pos; ++blankIt) {
                BiffBytes d;
                d.u16(blankIt->first.first - 1);
                d.u16(blankIt->first.second - 1);
                d.u16(blankIt->second);
                out.record(kBlank, d.b);
            }
        };
        if (!haveRow) {
            blanksBefore({std::numeric_limits<int>::max(), 0});
            break;
        }
        for (const auto& [pos, cell] : rowIt->cells) {
            blanksBefore(pos);
            BiffBytes d;
            d.u16(pos.first - 1);
            d.u16(pos.second - 1);
            const int xf = xfOf(cell.style());
            d.u16(xf);
            if (cell.kind == XlCell::Number) {
                d.f64(cell.number);
                out.record(kNumber, d.b);
            } else if (cell.kind == XlCell::Text && !cell.text.isEmpty()) {
                d.u32(stringOf(cell.text.left(32767)));
                out.record(kLabelSst, d.b);
            } else if (xf != kDefaultCellXf) {
                out.record(kBlank, d.b);
            }
        }
    }
    cur.done = std::max(cur.done, lastRow);
    append(out.b);
}

void XlsStreamWriter::Impl::endSheet(const XlWorksheet& sheet) {
    writeRows(sheet, std::numeric_limits<int>::max());
    Current& cur = *current;
    BiffBytes out;
    out.record(kWindow2, window2(cur.index == active));
    const auto& merges = sheet.merges();
    for (size_t at = 0; at < merges.size(); at += kMergesPerRecord) {
        const size_t n = std::min(merges.size() - at, size_t(kMergesPerRecord));
        BiffBytes d;
        d.u16(int(n));
        for (size_t i = at; i < at + n; ++i) {
            d.u16(merges[i].r1 - 1);
            d.u16(merges[i].r2 - 1);
            d.u16(merges[i].c1 - 1);
            d.u16(merges[i].c2 - 1);
        }
        out.record(kMergedCells, d.b);
    }
    out.record(kEof, QByteArray());
    append(out.b);

    BiffBytes dims;
    const bool empty = cur.r2 < 0;
    dims.u32(empty ? 0 : uint32_t(cur.r1 - 1));
    dims.u32(empty ? 0 : uint32_t(cur.r2));
    dims.u16(empty ? 0 : cur.c1 - 1);
    dims.u16(empty ? 0 : cur.c2);
    dims.u16(0);
    if (::pwrite(scratch, dims.b.constData(), size_t(dims.b.size()), off_t(cur.dimensionsAt)) !=
        ssize_t(dims.b.size()))
        fail(LoadErrorText(str::kTempFileUnwritable)
                 .arg(qor::FileErrorText(errno ? errno : ENOSPC)));
    blocks[size_t(cur.index)] = {cur.start, scratchSize - cur.start};
    written[size_t(cur.index)] = true;
    current.reset();
}

namespace {

// The SST and its CONTINUE records, and the EXTSST that points into them.
// A string's header never splits; its characters split at a character,
// and the CONTINUE that carries the rest starts with the flag byte again.
void writeSharedStrings(BiffBytes& out, const std::vector<QString>& strings, uint32_t uses) {
    const int perBucket = std::max(8, int(strings.size() / 128) + 1);
    struct Bucket {
        uint32_t streamPos;
        uint16_t inRecord;
    };
    std::vector<Bucket> buckets;

    QByteArray rec;
    BiffBytes head;
    head.u32(uses);
    head.u32(uint32_t(strings.size()));
    rec = head.b;
    uint16_t recType = kSst;
    const auto flush = [&] {
        BiffBytes r;
        r.record(recType, rec);
        out.b.append(r.b);
        rec.clear();
        recType = kContinue;
    };
    for (size_t i = 0; i < strings.size(); ++i) {
        const QString& s = strings[i];
        const bool wide = needsWide(s);
        if (rec.size() + 4 > kMaxRecordData) flush();  // header and one character
        if (i % size_t(perBucket) == 0)
            buckets.push_back({uint32_t(out.b.size() + 4 + rec.size()), uint16_t(4 + rec.size())});
        BiffBytes h;
        h.u16(int(s.size()));
        h.u8(wide ? 1 : 0);
        rec.append(h.b);
        const int unit = wide ? 2 : 1;
        qsizetype at = 0;
        while (at < s.size()) {
            const qsizetype room = (kMaxRecordData - rec.size()) / unit;
            if (room <= 0) {
                flush();
                rec.append(char(wide ? 1 : 0));
                continue;
            }
            const qsizetype n = std::min(room, s.size() - at);
            BiffBytes c;
            for (qsizetype k = at; k < at + n; ++k)
                wide ? c.u16(s[k].unicode()) : c.u8(s[k].unicode());
            rec.append(c.b);
            at += n;
        }
    }
    flush();

    BiffBytes ext;
    ext.u16(perBucket);
    for (const Bucket& b : buckets) {
        if (ext.b.size() + 8 > kMaxRecordData) break;  // a pointer table only speeds look-ups
        ext.u32(b.streamPos);
        ext.u16(b.inRecord);
        ext.u16(0);
    }
    out.record(kExtSst, ext.b);
}

}  // namespace

QByteArray XlsStreamWriter::Impl::encodeGlobals(std::vector<uint32_t>* offsetPositions) {
    BiffBytes out;
    out.record(kBof, bof(0x0005));
    {
        BiffBytes d;
        d.u16(1200);  // strings are UTF-16
        out.record(kCodePage, d.b);
    }
    {
        BiffBytes d;
        d.u16(0);
        d.u16(0);
        d.u16(0x3000);
        d.u16(0x1E00);
        d.u16(0x0038);
        d.u16(active);
        d.u16(0);
        d.u16(1);
        d.u16(0x0258);
        out.record(kWindow1, d.b);
    }
    const auto font = [&out](const FontKey& f) {
        BiffBytes d;
        d.u16(f.twips);
        d.u16((f.bold ? 0x0001 : 0) | (f.italic ? 0x0002 : 0));  // readers take either mark of bold
        d.u16(f.colour);
        d.u16(f.bold ? 700 : 400);
        d.u16(0);
        d.u8(f.underline);
        d.u8(0);  // family
        d.u8(needsWide(f.name) ? 0x86 : 0);
        d.u8(0);
        d.u8(int(f.name.size()));
        d.chars(f.name, needsWide(f.name));
        out.record(kFont, d.b);
    };
    const FontKey plain{kDefaultFontName};
    for (int i = 0; i < 4; ++i) font(plain);
    for (const FontKey& f : fonts) font(f);
    for (size_t i = 0; i < formats.size(); ++i) {
        BiffBytes d;
        d.u16(kFirstCustomFormat + int(i));
        d.u16(int(formats[i].size()));
        d.chars(formats[i], needsWide(formats[i]));
        out.record(kFormat, d.b);
    }
    // The style XFs (Normal first), the default cell XF, then the cells'.
    for (int i = 0; i <= kStyleXfs; ++i) {
        BiffBytes d;
        d.u16(0);
        d.u16(0);
        d.u16(i < kStyleXfs ? 0xFFF5 : 0x0001);  // style XF without parent / cell XF
        d.u8(0x20);                               // general, bottom
        d.u8(0);
        d.u8(0);
        d.u8(i == 0 || i == kStyleXfs ? 0 : 0xF4);
        d.u32(0);
        d.u32(0);
        d.u16(64 | 65 << 7);
        out.record(kXf, d.b);
    }
    for (const XfKey& x : xfs) {
        BiffBytes d;
        d.u16(x.font);
        d.u16(x.format);
        d.b.append(x.rest);
        out.record(kXf, d.b);
    }
    {
        BiffBytes d;
        d.u16(0x8000);  // built-in style of XF 0: Normal
        d.u8(0);
        d.u8(0xFF);
        out.record(kStyle, d.b);
    }
    for (const QString& name : names) {
        BiffBytes d;
        offsetPositions->push_back(uint32_t(out.b.size() + 4));
        d.u32(0);  // patched once the sheets' places are known
        d.u8(0);   // visible
        d.u8(0);   // worksheet
        d.u8(int(name.size()));
        d.chars(name, needsWide(name));
        out.record(kBoundSheet, d.b);
    }
    writeSharedStrings(out, strings, stringUses);
    out.record(kEof, QByteArray());
    return out.b;
}

XlsStreamWriter::XlsStreamWriter(const QString& path, const std::vector<QString>& sheetNames,
                                 int activeIndex0)
    : d(std::make_unique<Impl>()) {
    const QFileInfo target(path);
    if (target.fileName().isEmpty()) fail(StatusText(Status::CannotCreate));
    if (!target.absoluteDir().exists())
        fail(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, StatusText(Status::CannotCreate)));
    if (sheetNames.empty()) fail(LoadErrorText(str::kWorkbookHasNoSheets));
    QSet<QString> seen;
    for (const QString& n : sheetNames) {
        static const QString bad = QStringLiteral(":\\/?*[]");
        if (n.isEmpty() || n.size() > 31 ||
            std::any_of(n.begin(), n.end(), [](QChar c) { return bad.contains(c); }) ||
            seen.contains(n.toLower()))
            fail(LoadErrorText(str::kSheetUnwritable).arg(n));
        seen.insert(n.toLower());
    }
    d->target = target.absoluteFilePath();
    d->names = sheetNames;
    d->active = std::clamp(activeIndex0, 0, int(sheetNames.size()) - 1);
    d->blocks.resize(sheetNames.size());
    d->written.assign(sheetNames.size(), false);
}

XlsStreamWriter::~XlsStreamWriter() = default;

void XlsStreamWriter::writeSheet(int index0, const XlWorksheet& sheet) {
    beginSheet(index0, sheet);
    d->guarded([&] { d->endSheet(sheet); });
}

void XlsStreamWriter::beginSheet(int index0, const XlWorksheet& sheet) {
    if (d->done || d->current || index0 < 0 || size_t(index0) >= d->names.size() ||
        d->written[size_t(index0)])
        fail(LoadErrorText(str::kSheetUnwritable).arg(sheet.name()));
    d->guarded([&] { d->beginSheet(index0, sheet); });
}

void XlsStreamWriter::writeRows(const XlWorksheet& sheet, int lastRow) {
    if (!d->current) fail(StatusText(Status::Refused));
    d->guarded([&] { d->writeRows(sheet, lastRow); });
}

void XlsStreamWriter::endSheet(const XlWorksheet& sheet) {
    if (!d->current) fail(StatusText(Status::Refused));
    d->guarded([&] { d->endSheet(sheet); });
}

void XlsStreamWriter::commit() {
    if (d->done) fail(StatusText(Status::Refused));
    if (d->current) fail(StatusText(Status::Refused));
    d->done = true;
    // A sheet never written is an empty sheet.
    for (size_t i = 0; i < d->names.size(); ++i) {
        if (d->written[i]) continue;
        const XlWorksheet empty(d->names[i]);
        d->beginSheet(int(i), empty);
        d->endSheet(empty);
    }

    std::vector<uint32_t> offsetPositions;
    QByteArray head = d->encodeGlobals(&offsetPositions);
    quint64 at = quint64(head.size());
    for (size_t i = 0; i < d->names.size(); ++i) {
        if (at > std::numeric_limits<uint32_t>::max())
            fail(LoadErrorText(str::kXlsOver4Gb).arg(d->target));
        for (int k = 0; k < 4; ++k) head[offsetPositions[i] + k] = char(at >> (8 * k) & 0xFF);
        at += d->blocks[i].size;
    }

    SafeFileWriter tmp(d->target);
    if (!tmp.open())
        fail(LoadErrorText(str::kCannotWriteWithReason)
                 .arg(d->target, qor::FileErrorText(tmp.error())));
    // The compound file writes through a descriptor of its own on the same
    // temporary and closes it when done; the writer keeps the one it syncs
    // and renames.
    const int fd = ::dup(tmp.handle());
    if (fd < 0)
        fail(LoadErrorText(str::kCannotWriteWithReason).arg(d->target, qor::FileErrorText(errno)));
    {
        QString error;
        std::unique_ptr<CompoundFile> cf =
            CompoundFile::createOnHandle(fd, tmp.temporaryPath(), &error);
        if (!cf) {  // the descriptor was closed with it
            fail(LoadErrorText(str::kCannotWriteWithReason).arg(d->target, error));
        }
        const QString stream = QStringLiteral("Workbook");
        const auto cannot = [&] {
            if (DiskFullFor(d->target, errno)) fail(DiskFullText(d->target));
            fail(LoadErrorText(str::kCannotWriteWithReason)
                     .arg(d->target, StatusText(Status::WriteError)));
        };
        // The globals, then each sheet's block in sheet order, in pieces
        // of a few MB; the first piece holds the whole stream when it is
        // small, so a small workbook's stream is laid out as one write.
        constexpr qsizetype kPiece = 4 << 20;
        QByteArray piece = std::move(head);
        quint64 written = 0;
        const auto flush = [&] {
            if (!cf->write(stream, written, piece)) cannot();
            written += quint64(piece.size());
            piece.clear();
        };
        for (size_t i = 0; i < d->names.size(); ++i) {
            quint64 from = d->blocks[i].at;
            quint64 left = d->blocks[i].size;
            while (left > 0) {
                const qsizetype was = piece.size();
                const qsizetype n = qsizetype(std::min<quint64>(left, quint64(kPiece)));
                piece.resize(was + n);
                d->readScratch(from, piece.data() + was, size_t(n));
                from += quint64(n);
                left -= quint64(n);
                if (piece.size() >= kPiece) flush();
            }
        }
        if (!piece.isEmpty()) flush();
        if (!cf->commit()) cannot();
    }
    if (!tmp.commit()) {
        if (IsDiskFullError(tmp.error())) fail(DiskFullText(d->target));
        fail(LoadErrorText(str::kCannotReplaceWithReason)
                 .arg(d->target, qor::FileErrorText(tmp.error())));
    }
}

}  // namespace qor
