// Our own small Access (Jet 4) writer: 4,096-byte pages, the object
// catalog MSysObjects on page 2, one table definition per table (a page,
// and further pages when its columns need them), its
// data pages and its usage map, and no indexes. Texts are UCS-2, so any
// Chinese text is held whole; Doubles and Longs are fixed columns.
//
// Page layout of a written file:
//   0  the database header (its masked block as readers expect it)
//   1  a data page holding the catalog's usage-map rows
//   2  the catalog's table definition
//   then per table: its definition, a page holding its usage-map rows,
//   its data pages, the bitmap pages its usage map points at and the
//   pages its definition continues on; last the
//   catalog's data pages and bitmap pages.

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/textutil.h"
#include "engine/workfiles.h"
#include "exchange/jetdriver.h"
#include "exchange/losstally.h"
#include "platform/safefile.h"
#include "engine/messages.h"

namespace qor::jet {
namespace {

constexpr int kPage = 4096;
constexpr int kDataHeader = 14;  // type, 1, free space, owner, unknown, row count
constexpr int kMaxTextChars = 255;
constexpr int kBitsPerMapPage = (kPage - 4) * 8;
constexpr int kMaxMapPages = 15;  // a 61-byte usage map row

enum ColumnType : quint8 {
    kColLong = 0x04,
    kColInteger = 0x03,
    kColDouble = 0x07,
    kColText = 0x0A,
    kColOle = 0x0B
};

void put16(QByteArray& b, int at, quint16 v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
void put32(QByteArray& b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}
void append16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

QByteArray ucs2(const QString& s) {
    QByteArray out;
    out.reserve(s.size() * 2);
    for (QChar c : s) append16(out, c.unicode());
    return out;
}

struct Column {
    QString name;
    quint8 type;
    bool fixed;
    int size;         // bytes
    int fixedOffset;  // among the fixed columns
    int varIndex;     // among the variable columns
};

int sizeOf(quint8 type) {
    switch (type) {
        case kColLong:
            return 4;
        case kColInteger:
            return 2;
        case kColDouble:
            return 8;
        case kColText:
            return kMaxTextChars * 2;
        default:
            return 0;
    }
}

QList<Column> layoutColumns(const QList<std::pair<QString, quint8>>& defs) {
    QList<Column> cols;
    int fixedAt = 0, varAt = 0;
    for (const auto& [name, type] : defs) {
        Column c{name, type, type != kColText && type != kColOle, sizeOf(type), 0, 0};
        if (c.fixed) {
            c.fixedOffset = fixedAt;
            fixedAt += c.size;
        } else {
            c.varIndex = varAt++;
        }
        cols.append(c);
    }
    return cols;
}

quint8 columnTypeOf(int daoType) {
    switch (daoType) {
        case kBoolean:
        case kByte:
        case kInteger:
        case kLong:
            return kColLong;
        case kCurrency:
        case kSingle:
        case kDouble:
            return kColDouble;
        default:
            return kColText;
    }
}

// One value as the column holds it: the bytes, or null.
struct Cell {
    bool null = true;
    QByteArray bytes;
};

// Encodes a row: column count, fixed area, variable data, the end of the
// data, the variable offsets last to first, their count, the null mask.
QByteArray encodeRow(const QList<Column>& cols, const QList<Cell>& cells) {
    const int n = int(cols.size());
    int fixedWidth = 0;
    int varCount = 0;
    for (const Column& c : cols) {
        if (c.fixed)
            fixedWidth = std::max(fixedWidth, c.fixedOffset + c.size);
        else
            ++varCount;
    }
    QByteArray row;
    append16(row, quint16(n));
    QByteArray fixed(fixedWidth, '\0');
    QByteArray mask((n + 7) / 8, '\0');
    QList<int> varStarts;
    QByteArray var;
    for (int i = 0; i < n; ++i) {
        const Column& c = cols.at(i);
        const Cell& v = cells.at(i);
        if (!v.null) mask[i / 8] = char(quint8(mask[i / 8]) | (1 << (i % 8)));
        if (c.fixed) {
            if (!v.null)
                std::memcpy(fixed.data() + c.fixedOffset, v.bytes.constData(), size_t(c.size));
        } else {
            varStarts.append(2 + fixedWidth + int(var.size()));
            if (!v.null) var += v.bytes;
        }
    }
    row += fixed;
    row += var;
    if (varCount > 0) {
        append16(row, quint16(2 + fixedWidth + var.size()));  // end of the data
        for (int k = varCount - 1; k >= 0; --k) append16(row, quint16(varStarts.at(k)));
        append16(row, quint16(varCount));
    }
    row += mask;
    return row;
}

// The file's pages: those still open are held, a page done with is
// written to the file at its place and dropped, so that a table's data
// pages are never all in memory.
class PageFile {
public:
    explicit PageFile(QFile& out) : m_out(out) { m_pages.resize(3, QByteArray(kPage, '\0')); }
    quint32 add(const QByteArray& page = QByteArray(kPage, '\0')) {
        m_pages.append(page);
        return quint32(m_pages.size() - 1);
    }
    QByteArray& at(quint32 n) { return m_pages[n]; }
    quint32 count() const { return quint32(m_pages.size()); }
    void release(quint32 n) {
        QByteArray& page = m_pages[n];
        if (page.isEmpty()) return;
        if (!m_out.seek(qint64(n) * kPage) || m_out.write(page) != page.size())
            throw JetError(LoadErrorText(str::kCannotWriteWithReason)
                               .arg(m_out.fileName(), m_out.errorString()));
        page = QByteArray();
    }
    void releaseAll() {
        for (quint32 n = 0; n < count(); ++n) release(n);
    }

private:
    QFile& m_out;
    QList<QByteArray> m_pages;
};

QByteArray emptyDataPage(quint32 owner) {
    QByteArray p(kPage, '\0');
    p[0] = 0x01;
    p[1] = 0x01;
    put16(p, 2, quint16(kPage - kDataHeader));
    put32(p, 4, owner);
    return p;
}

// Rows are placed from the end of the page down; the offsets table grows
// after the header. False when the row does not fit.
bool placeRow(QByteArray& page, const QByteArray& row) {
    const int rows = quint8(page[12]) | quint8(page[13]) << 8;
    const int lowest = rows == 0 ? kPage
                                 : (quint8(page[kDataHeader + 2 * (rows - 1)]) |
                                    (quint8(page[kDataHeader + 2 * (rows - 1) + 1]) << 8));
    const int start = lowest - int(row.size());
    if (start < kDataHeader + 2 * (rows + 1)) return false;
    std::memcpy(page.data() + start, row.constData(), size_t(row.size()));
    put16(page, kDataHeader + 2 * rows, quint16(start));
    put16(page, 12, quint16(rows + 1));
    put16(page, 2, quint16(start - kDataHeader - 2 * (rows + 1)));
    return true;
}

// The usage map of pages: one bitmap page (type 5) per 32,736 pages, named
// by an indirect map row.
QByteArray usageMapRow(PageFile& file, const QList<quint32>& pages) {
    QByteArray row(1 + 4 * kMaxMapPages, '\0');
    row[0] = 0x01;
    QList<quint32> bitmaps(kMaxMapPages, 0);
    for (quint32 p : pages) {
        const quint32 ind = p / kBitsPerMapPage;
        if (ind >= quint32(kMaxMapPages)) throw JetError(LoadErrorText(str::kDatabaseOver2Gb));
        if (bitmaps[ind] == 0) {
            QByteArray bm(kPage, '\0');
            bm[0] = 0x05;
            bm[1] = 0x01;
            bitmaps[ind] = file.add(bm);
            put32(row, 1 + 4 * int(ind), bitmaps[ind]);
        }
        const quint32 bit = p % kBitsPerMapPage;
        QByteArray& bm = file.at(bitmaps[ind]);
        bm[4 + int(bit / 8)] = char(quint8(bm[4 + int(bit / 8)]) | (1 << (bit % 8)));
    }
    return row;
}

// An empty inline map: the pages of the table with free space.
QByteArray freeMapRow() { return QByteArray(64, '\0'); }

// The table definition: a fixed head, the column entries, the names and
// the end of the per-column maps, read by the reader as one stream from
// byte 8 of the definition's page on. A definition longer than its page
// (many columns, long names) continues at byte 8 of further pages, each
// named by the page before it in its bytes 4 to 7. The first page comes
// first in the list; the caller places the others.
QList<QByteArray> tableDefinition(const QList<Column>& cols, quint32 records, bool system,
                                  quint32 usedPgRow, quint32 freePgRow) {
    constexpr int kPageHead = 8;
    QByteArray p(kPage, '\0');
    p[0] = 0x02;
    p[1] = 0x01;
    put32(p, 16, records);
    p[40] = char(system ? 0x53 : 0x4E);
    int varCount = 0;
    for (const Column& c : cols) varCount += c.fixed ? 0 : 1;
    put16(p, 41, quint16(cols.size()));
    put16(p, 43, quint16(varCount));
    put16(p, 45, quint16(cols.size()));
    put32(p, 47, 0);
    put32(p, 51, 0);
    put32(p, 55, usedPgRow);
    put32(p, 59, freePgRow);
    QByteArray body;
    for (int i = 0; i < cols.size(); ++i) {
        const Column& c = cols.at(i);
        QByteArray e(25, '\0');
        e[0] = char(c.type);
        put16(e, 5, quint16(i));
        put16(e, 7, quint16(c.fixed ? 0 : c.varIndex));
        put16(e, 9, quint16(i));
        if (c.type == kColText) put16(e, 11, 0x0409);  // general sort order
        e[15] = char(c.fixed ? 0x03 : 0x02);           // fixed, may be null
        put16(e, 21, quint16(c.fixed ? c.fixedOffset : 0));
        put16(e, 23, quint16(c.size));
        body += e;
    }
    for (const Column& c : cols) {
        const QByteArray name = ucs2(c.name);
        append16(body, quint16(name.size()));
        body += name;
    }
    append16(body, 0xFFFF);  // no per-column usage maps
    // The stream's length counts every byte after the first page's head.
    put32(p, 8, quint32(63 - kPageHead + body.size()));
    QList<QByteArray> pages{p};
    int at = 63;  // where the next byte goes on the last page
    for (qsizetype from = 0; from < body.size();) {
        if (at == kPage) {
            QByteArray more(kPage, '\0');
            more[0] = 0x02;
            more[1] = 0x01;
            pages.append(more);
            at = kPageHead;
        }
        const qsizetype n = std::min<qsizetype>(kPage - at, body.size() - from);
        std::memcpy(pages.back().data() + at, body.constData() + from, size_t(n));
        from += n;
        at += int(n);
    }
    // Full pages have no free space; the last has what its stream left.
    for (QByteArray& page : pages) put16(page, 2, 0);
    put16(pages.back(), 2, quint16(kPage - at - kPageHead));
    return pages;
}

// The masked block of the header: readers unmask 128 bytes from 0x18
// with RC4 under a fixed key.
void rc4(QByteArray& data, int from, int length) {
    const quint8 key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    quint8 s[256];
    for (int i = 0; i < 256; ++i) s[i] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (int k = 0, i = 0, j = 0; k < length; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[from + k] = char(quint8(data[from + k]) ^ s[(s[i] + s[j]) & 0xFF]);
    }
}

QByteArray headerPage() {
    QByteArray p(kPage, '\0');
    put32(p, 0, 0x00000100);
    std::memcpy(p.data() + 4, "Standard Jet DB", 15);
    put32(p, 0x14, 1);  // Jet 4
    put16(p, 0x3C, 1252);
    put32(p, 0x3E, 0);  // no encryption key
    put16(p, 0x6E, 0x0409);
    double created = double(QDate(1899, 12, 30).daysTo(QDate::currentDate()));
    std::memcpy(p.data() + 0x72, &created, 8);
    rc4(p, 0x18, 128);
    return p;
}

// A table written into the file: its pages and its record count.
struct Placed {
    quint32 tdefPage = 0;
    quint32 mapPage = 0;
    QList<quint32> dataPages;
    quint32 records = 0;
};

// Rows go onto the table's current data page, and onto a new one when it
// is full; a full page is never touched again and goes to the file.
void placeNext(PageFile& file, Placed& t, const QByteArray& row, bool release) {
    const quint32 current = t.dataPages.isEmpty() ? 0 : t.dataPages.back();
    if (current == 0 || !placeRow(file.at(current), row)) {
        if (current != 0 && release) file.release(current);
        const quint32 next = file.add(emptyDataPage(t.tdefPage));
        t.dataPages.append(next);
        if (!placeRow(file.at(next), row))
            throw JetError(LoadErrorText(str::kRecordTooLongForPage).arg(row.size()));
    }
    ++t.records;
}

void placeRows(PageFile& file, Placed& t, const QList<QByteArray>& rows) {
    for (const QByteArray& row : rows) placeNext(file, t, row, false);
}

void finishTable(PageFile& file, Placed& t, const QList<Column>& cols, bool system) {
    const QByteArray used = usageMapRow(file, t.dataPages);
    QByteArray& mapsAgain = file.at(t.mapPage);  // taken after the bitmap pages were added
    const int first = quint8(mapsAgain[12]) | quint8(mapsAgain[13]) << 8;
    placeRow(mapsAgain, used);
    placeRow(mapsAgain, freeMapRow());
    QList<QByteArray> definition = tableDefinition(cols, t.records, system, t.mapPage << 8 | quint32(first),
                                                   t.mapPage << 8 | quint32(first + 1));
    // Pages the definition continues on come after the table's own pages,
    // each linked from the one before.
    quint32 previous = t.tdefPage;
    for (qsizetype k = 0; k < definition.size(); ++k) {
        const quint32 page = k == 0 ? t.tdefPage : file.add(definition.at(k));
        if (k > 0) put32(file.at(previous), 4, page);
        if (k == 0) file.at(page) = definition.at(0);
        previous = page;
    }
}

// The fit of one value into a column of its type, noting what changes
// (where() names the place, asked for only when something changed). The
// cell's bytes keep their room from record to record.
template <typename Where>
void fillCell(const Column& col, const QVariant& v, Cell& c, const Where& where, qor::LossTally& losses) {
    c.null = true;
    if (!v.isValid() || v.isNull()) return;
    if (col.type == kColText) {
        QString t;
        if (v.typeId() == QMetaType::QDate)
            t = v.toDate().toString(Qt::ISODate);
        else if (v.typeId() == QMetaType::QDateTime)
            t = v.toDateTime().toString(Qt::ISODate);
        else
            t = v.toString();
        if (t.size() > kMaxTextChars) {
            losses.add(LoadErrorText(str::kLossTextsCutToCharacters).arg(kMaxTextChars), where());
            t = LeftWholeChars(t, kMaxTextChars);
        }
        // Our reader takes U+FFFE and U+FFFF for U+FFFD, and libmdb's
        // cannot decode half a surrogate pair: each is written as U+FFFD,
        // and named.
        if (UncarriedChars(t)) {
            const QString replaced = WithReplacementChars(t, true);
            qsizetype n = 0;
            for (qsizetype i = 0; i < t.size(); ++i) n += t.at(i) != replaced.at(i);
            if (n) losses.add(LoadErrorText(str::kLossCharsReplaced), where(), n);
            t = replaced;
        }
        if (t.isEmpty()) return;
        c.null = false;
        c.bytes.resize(t.size() * 2);
        char* out = c.bytes.data();
        for (QChar ch : t) {
            *out++ = char(ch.unicode() & 0xFF);
            *out++ = char(ch.unicode() >> 8);
        }
        return;
    }
    bool ok = false;
    const double d = v.typeId() == QMetaType::Double ? (ok = true, *static_cast<const double*>(v.constData()))
                                                      : v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) {
        losses.add(LoadErrorText(str::kLossNonNumbers), where());
        return;
    }
    if (col.type == kColDouble) {
        c.null = false;
        c.bytes.resize(8);
        std::memcpy(c.bytes.data(), &d, 8);
    } else {
        if (d < -2147483648.0 || d > 2147483647.0 || d != std::floor(d)) {
            losses.add(LoadErrorText(str::kLossLongRange), where());
            return;
        }
        c.null = false;
        c.bytes.resize(4);
        const qint32 l = qint32(d);
        std::memcpy(c.bytes.data(), &l, 4);
    }
}

// Texts are cut, longest first, until the record fits a page.
void fitRow(const QList<Column>& cols, QList<Cell>& cells, const QString& where,
            qor::LossTally& losses) {
    constexpr int kRowRoom = kPage - kDataHeader - 2;
    bool told = false;
    while (encodeRow(cols, cells).size() > kRowRoom) {
        int longest = -1;
        for (int i = 0; i < cells.size(); ++i)
            if (!cells.at(i).null && !cols.at(i).fixed &&
                (longest < 0 || cells.at(i).bytes.size() > cells.at(longest).bytes.size()))
                longest = i;
        if (longest < 0 || cells.at(longest).bytes.size() <= 2)
            throw JetError(LoadErrorText(str::kRecordTooLongForPage).arg(where));
        const int over = int(encodeRow(cols, cells).size()) - kRowRoom;
        const int keep = std::max(2, int(cells.at(longest).bytes.size()) - ((over + 1) & ~1));
        cells[longest].bytes.truncate(keep & ~1);
        if (!told) losses.add(LoadErrorText(str::kLossRecordsCutToPage), where);
        told = true;
    }
}

// The sizes a table's records share, for encoding them into one buffer.
struct RowLayout {
    int fixedWidth = 0;
    int varCount = 0;
    int maskBytes = 0;
    explicit RowLayout(const QList<Column>& cols) : maskBytes(int(cols.size() + 7) / 8) {
        for (const Column& c : cols) {
            if (c.fixed)
                fixedWidth = std::max(fixedWidth, c.fixedOffset + c.size);
            else
                ++varCount;
        }
    }
};

// encodeRow's bytes, into out (whose room is reused).
void encodeRowInto(const QList<Column>& cols, const RowLayout& l, const QList<Cell>& cells, QByteArray& out) {
    const int n = int(cols.size());
    int varBytes = 0;
    for (int i = 0; i < n; ++i)
        if (!cols.at(i).fixed && !cells.at(i).null) varBytes += int(cells.at(i).bytes.size());
    const int dataEnd = 2 + l.fixedWidth + varBytes;
    const int size = dataEnd + (l.varCount > 0 ? 4 + 2 * l.varCount : 0) + l.maskBytes;
    out.resize(size);
    char* b = out.data();
    std::memset(b, 0, size_t(size));
    b[0] = char(n & 0xFF);
    b[1] = char(n >> 8);
    char* mask = b + size - l.maskBytes;
    // The offsets run last to first, just before their count and the mask.
    char* offsets = b + dataEnd + 2;
    int var = 2 + l.fixedWidth;
    for (int i = 0; i < n; ++i) {
        const Column& c = cols.at(i);
        const Cell& v = cells.at(i);
        if (!v.null) mask[i / 8] = char(quint8(mask[i / 8]) | (1 << (i % 8)));
        if (c.fixed) {
            if (!v.null) std::memcpy(b + 2 + c.fixedOffset, v.bytes.constData(), size_t(c.size));
            continue;
        }
        char* at = offsets + 2 * (l.varCount - 1 - c.varIndex);
        at[0] = char(var & 0xFF);
        at[1] = char(var >> 8);
        if (!v.null) {
            std::memcpy(b + var, v.bytes.constData(), size_t(v.bytes.size()));
            var += int(v.bytes.size());
        }
    }
    if (l.varCount > 0) {
        b[dataEnd] = char(dataEnd & 0xFF);
        b[dataEnd + 1] = char(dataEnd >> 8);
        char* count = offsets + 2 * l.varCount;
        count[0] = char(l.varCount & 0xFF);
        count[1] = char(l.varCount >> 8);
    }
}

}  // namespace

struct AccessWriter::Open {
    struct Entry {
        QString name;
        quint32 page;
        quint32 flags;
    };
    QString path;
    QString temp;
    QFile out;
    std::unique_ptr<PageFile> file;
    QStringList* notes = nullptr;
    QList<Entry> entries;
    // Each kind of loss is told once for the file, with its count and first place.
    qor::LossTally losses;
    // The table being written.
    QString table;
    QList<Column> cols;
    std::optional<RowLayout> layout;
    Placed placed;
    QList<Cell> cells;
    QByteArray row;
    qint64 record = 0;
    bool open = false;
    ~Open() {
        out.close();
        if (!temp.isEmpty()) QFile::remove(temp);
    }
};

AccessWriter::AccessWriter(const QString& path, QStringList* notes) : m(std::make_unique<Open>()) {
    m->path = path;
    m->notes = notes;
    // Built in the user's work folder, where what a killed process left is
    // swept, and moved onto the target once whole.
    const int fd = CreateWorkFile(QStringLiteral(".mdb"), &m->temp);
    if (fd < 0)
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, qor::FileErrorText(errno)));
    ::close(fd);
    m->out.setFileName(m->temp);
    if (!m->out.open(QIODevice::ReadWrite | QIODevice::Truncate))
        throw JetError(LoadErrorText(str::kCannotWriteWithReason).arg(path, m->out.errorString()));
    m->file = std::make_unique<PageFile>(m->out);
    m->file->at(0) = headerPage();
    m->file->at(1) = emptyDataPage(0);
    m->entries.append({QStringLiteral("MSysObjects"), 2, kSystemObjectBits});
}

AccessWriter::~AccessWriter() = default;

void AccessWriter::beginTable(const QString& name, const QList<FieldInfo>& fields) {
    Open& o = *m;
    if (name.isEmpty() || name.size() > 64)
        throw JetError(QStringLiteral("\"%1\" cannot name an Access table.").arg(name));
    QList<std::pair<QString, quint8>> defs;
    for (const FieldInfo& f : fields) {
        const quint8 type = columnTypeOf(f.type);
        if (o.notes && (f.type == kDate || f.type == kMemo))
            o.notes->append(LoadErrorText(str::kFieldWrittenAsText).arg(name, f.name));
        // Access names are at most 64 characters.
        if (f.name.size() > 64 && o.notes)
            o.notes->append(LoadErrorText(str::kFieldNameCut).arg(name, f.name));
        defs.append({f.name.left(64), type});
    }
    if (defs.isEmpty()) throw JetError(LoadErrorText(str::kTableHasNoFields).arg(name));
    if (defs.size() > 255) throw JetError(LoadErrorText(str::kTableOver255Fields).arg(name));
    o.table = name;
    o.cols = layoutColumns(defs);
    o.layout.emplace(o.cols);
    o.cells = QList<Cell>(o.cols.size());
    o.placed = Placed();
    o.placed.tdefPage = o.file->add();
    o.placed.mapPage = o.file->add(emptyDataPage(0));
    o.record = 0;
    o.open = true;
}

void AccessWriter::add(const QVariantList& values) {
    Open& o = *m;
    ++o.record;
    const int n = int(o.cols.size());
    static const QVariant none;
    for (int i = 0; i < n; ++i) {
        const Column& col = o.cols.at(i);
        fillCell(
            col, i < values.size() ? values.at(i) : none, o.cells[i],
            [&] {
                return LoadErrorText(str::kPlaceTableRecordField)
                    .arg(o.table)
                    .arg(o.record)
                    .arg(col.name);
            },
            o.losses);
    }
    encodeRowInto(o.cols, *o.layout, o.cells, o.row);
    if (o.row.size() > kPage - kDataHeader - 2) {
        fitRow(o.cols, o.cells, LoadErrorText(str::kPlaceTableRecord).arg(o.table).arg(o.record),
               o.losses);
        encodeRowInto(o.cols, *o.layout, o.cells, o.row);
    }
    placeNext(*o.file, o.placed, o.row, true);
}

void AccessWriter::endTable() {
    Open& o = *m;
    if (!o.open) return;
    o.open = false;
    finishTable(*o.file, o.placed, o.cols, false);
    o.entries.append({o.table, o.placed.tdefPage, 0});
    // Every page of the table is final now.
    for (quint32 p = o.placed.tdefPage; p < o.file->count(); ++p) o.file->release(p);
}

void AccessWriter::finish() {
    Open& o = *m;
    endTable();
    if (o.entries.size() < 2) throw JetError(LoadErrorText(str::kNothingToWrite));
    o.losses.appendTo(o.notes);

    // The catalog: one row per table, itself included.
    const QList<Column> catalog = layoutColumns({{QStringLiteral("Id"), kColLong},
                                                 {QStringLiteral("ParentId"), kColLong},
                                                 {QStringLiteral("Name"), kColText},
                                                 {QStringLiteral("Type"), kColInteger},
                                                 {QStringLiteral("Flags"), kColLong},
                                                 {QStringLiteral("LvProp"), kColOle}});
    QList<QByteArray> rows;
    for (const Open::Entry& e : o.entries) {
        QList<Cell> cells(6);
        auto put = [&cells](int i, const QByteArray& b) {
            cells[i].null = false;
            cells[i].bytes = b;
        };
        QByteArray b(4, '\0');
        put32(b, 0, e.page);
        put(0, b);
        put32(b, 0, 0);
        put(1, b);
        put(2, ucs2(e.name));
        QByteArray s(2, '\0');
        put16(s, 0, 1);  // a table
        put(3, s);
        put32(b, 0, e.flags);
        put(4, b);
        rows.append(encodeRow(catalog, cells));
    }
    Placed cat;
    cat.tdefPage = 2;
    cat.mapPage = 1;
    placeRows(*o.file, cat, rows);
    finishTable(*o.file, cat, catalog, true);
    o.file->releaseAll();
    if (!o.out.flush())
        throw JetError(LoadErrorText(str::kCannotWriteWithReason).arg(o.path, o.out.errorString()));
    o.out.close();
    int error = 0;
    if (!MoveFileInto(o.temp, o.path, &error, /*replace=*/true))
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(o.path, qor::FileErrorText(error)));
    o.temp.clear();
}

void writeAccessFile(const QString& path, const QList<NamedTable>& tables, QStringList* notes) {
    if (tables.isEmpty()) throw JetError(LoadErrorText(str::kNothingToWrite));
    AccessWriter writer(path, notes);
    for (const NamedTable& nt : tables) {
        writer.beginTable(nt.name, nt.table.fields);
        for (const QVariantList& values : nt.table.rows) writer.add(values);
        writer.endTable();
    }
    writer.finish();
}

}  // namespace qor::jet
