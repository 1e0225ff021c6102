// The dBASE driver: a folder of ".dbf" files, each a table named by its
// file name without the extension. Tables are read here, record by record,
// every length checked against the file: dBASE III/IV and FoxPro tables
// with their memo files (".dbt", ".fpt"), Visual FoxPro tables with their
// binary fields, texts in the code page the ".cpg" file or the language
// driver byte names. They are written through shapelib.

#include <shapefil.h>

#include <QDate>
#include <QDateTime>
#include <QtEndian>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/workfiles.h"
#include "exchange/filenumber.h"
#include "exchange/jetdriver.h"
#include "exchange/losstally.h"
#include "platform/bytes.h"
#include "platform/codepage.h"
#include "platform/safefile.h"
#include "engine/messages.h"

namespace qor::jet {
namespace {

JetError damaged(const QString& path, const QString& why) {
    return JetError(LoadErrorText(str::kCannotOpenWithReason).arg(path, why));
}

// The versions whose memo, I, Y, B and T fields are binary.
bool isVisualFoxPro(quint8 version) { return version == 0x30 || version == 0x31 || version == 0x32; }
// The versions whose memos live in a ".fpt" file.
bool hasFoxMemos(quint8 version) { return isVisualFoxPro(version) || version == 0xF5 || version == 0xFB; }
// dBASE 7 tables: a longer header and 48-byte field descriptors.
bool isDBase7(quint8 version) { return (version & 0x07) == 0x04; }

struct DbfField {
    QByteArray name;
    char type = 'C';
    int offset = 0;  // in the record, after the deletion mark
    int width = 0;
    int decimals = 0;
    quint8 flags = 0;
    int nullBit = -1;  // its bit in the null flags of the record, if nullable
    bool kept = true;
    FieldInfo info;
};

struct DbfLayout {
    quint8 version = 0;
    quint32 records = 0;
    quint16 headerLength = 0;
    quint16 recordLength = 0;
    quint8 languageDriver = 0;
    QList<DbfField> fields;
    const DbfField* nullFlags = nullptr;  // the hidden field holding them
};

// Checks the header block against the file's size and reads the field
// table: lengths and counts that do not fit the file are a damaged file.
DbfLayout checkHeader(const QString& path) {
    QFile f;
    OpenDataFileForRead(f, path);
    const qint64 size = f.size();
    const QByteArray head = f.read(32);
    if (head.size() < 32) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    DbfLayout layout;
    layout.version = quint8(head[0]);
    layout.records = readLE32(head, 4);
    layout.headerLength = readLE16(head, 8);
    layout.recordLength = readLE16(head, 10);
    layout.languageDriver = quint8(head[29]);
    // dBASE 7 puts the language driver's name after the first 32 bytes
    // and describes each field in 48 bytes: a 32-byte name, then type,
    // width and decimals.
    const bool dbase7 = isDBase7(layout.version);
    const int start = dbase7 ? 68 : 32;
    const int descriptor = dbase7 ? 48 : 32;
    const int nameBytes = dbase7 ? 32 : 11;
    if (layout.headerLength < start + 1 || layout.headerLength > size)
        throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (layout.recordLength < 1) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (dbase7 && f.read(start - 32).size() != start - 32)
        throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    const int fieldCount = (layout.headerLength - start) / descriptor;
    const QByteArray table = f.read(qint64(fieldCount) * descriptor);
    if (table.size() != fieldCount * descriptor) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    int width = 1;  // the deletion mark
    for (int i = 0; i < fieldCount; ++i) {
        const char* d = table.constData() + i * descriptor;
        if (quint8(d[0]) == 0x0D) break;
        DbfField field;
        field.name = QByteArray(d, qsizetype(qstrnlen(d, size_t(nameBytes))));
        field.type = char(QChar::toUpper(char32_t(quint8(d[nameBytes]))));
        field.width = quint8(d[nameBytes + 5]);
        field.decimals = quint8(d[nameBytes + 6]);
        if (dbase7) {
            field.width = quint8(d[nameBytes + 1]);
            field.decimals = quint8(d[nameBytes + 2]);
        }
        // Long character fields keep the high byte of their width where
        // the decimals would be.
        if (field.type == 'C') {
            field.width += field.decimals * 256;
            field.decimals = 0;
        }
        field.flags = dbase7 ? 0 : quint8(d[18]);
        field.offset = width;
        width += field.width;
        layout.fields.append(field);
    }
    if (layout.fields.isEmpty()) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (width > layout.recordLength) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (qint64(layout.records) * layout.recordLength > size - layout.headerLength)
        throw damaged(path, LoadErrorText(str::kDbaseFewerRecords));
    return layout;
}

// The records from first on that are not marked deleted, counted from the
// marks alone, a block of records at a time.
qint64 countLiveRecords(const QString& path, const DbfLayout& layout, qint64 first, qint64 records) {
    QFile f;
    OpenDataFileForRead(f, path);
    const qint64 perBlock = std::max<qint64>(1, (qint64(4) << 20) / layout.recordLength);
    QByteArray block;
    qint64 live = 0;
    for (qint64 r = first; r < records; r += perBlock) {
        const qint64 n = std::min(perBlock, records - r);
        if (!f.seek(layout.headerLength + r * layout.recordLength))
            throw damaged(path, LoadErrorText(str::kDbaseRecordUnreadable).arg(r + 1));
        block.resize(qsizetype(n * layout.recordLength));
        if (f.read(block.data(), block.size()) != block.size())
            throw damaged(path, LoadErrorText(str::kDbaseRecordUnreadable).arg(r + 1));
        for (qint64 i = 0; i < n; ++i)
            if (block.at(qsizetype(i * layout.recordLength)) != '*') ++live;
    }
    return live;
}

// The code page the language driver byte of a table names; empty for 0
// (no mark) and for a byte no driver we know uses.
QByteArray codePageOfDriver(quint8 id) {
    struct Driver {
        quint8 id;
        short codePage;
    };
    static constexpr Driver kDrivers[] = {
        {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x08, 865},  {0x09, 437},  {0x0A, 850},  {0x0B, 437},
        {0x0D, 437},  {0x0E, 850},  {0x0F, 437},  {0x10, 850},  {0x11, 437},  {0x12, 850},  {0x13, 932},
        {0x14, 850},  {0x15, 437},  {0x16, 850},  {0x17, 865},  {0x18, 437},  {0x19, 437},  {0x1A, 850},
        {0x1B, 437},  {0x1C, 863},  {0x1D, 850},  {0x1F, 852},  {0x22, 852},  {0x23, 852},  {0x24, 860},
        {0x25, 850},  {0x26, 866},  {0x37, 850},  {0x40, 852},  {0x4D, 936},  {0x4E, 949},  {0x4F, 950},
        {0x50, 874},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252}, {0x64, 852},  {0x65, 866},  {0x66, 865},
        {0x67, 861},  {0x6A, 737},  {0x6B, 857},  {0x6C, 863},  {0x78, 950},  {0x79, 949},  {0x7A, 936},
        {0x7B, 932},  {0x7C, 874},  {0x7D, 1255}, {0x7E, 1256}, {0x86, 737},  {0x87, 852},  {0x88, 857},
        {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257}, {0x04, 10000},
        {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0x68, 895}, {0x69, 620},
    };
    for (const Driver& d : kDrivers)
        if (d.id == id) return "CP" + QByteArray::number(d.codePage);
    return {};
}

// A file beside the table with the same name and another extension, found
// without regard to case; empty when there is none.
QString besideTable(const QString& path, const char* extension) {
    const QFileInfo info(path);
    const QString name = info.completeBaseName() + QLatin1String(extension);
    const QString found = QDir(info.path()).filePath(findInFolder(info.path(), name));
    return QFileInfo(found).isFile() ? found : QString();
}

// How a table's texts are read: the code page its ".cpg" file names, else
// the one its language driver byte names, else (no mark at all) UTF-8 when
// every text is valid UTF-8 and GB18030 otherwise, as a text file is read.
// A name no converter knows is kept in unknown and the encoding is empty.
struct TableCodePage {
    QByteArray encoding;
    QString unknown;
};

// Whether every C field of every record (and every field name) reads in
// encoding without a byte that is no character.
bool textsRead(const QString& path, const DbfLayout& layout, const QByteArray& encoding) {
    QString ignored;
    for (const DbfField& d : layout.fields)
        if (!decodeStrict(d.name, encoding, &ignored)) return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(layout.headerLength)) return true;
    const qint64 perBlock = std::max<qint64>(1, (qint64(1) << 20) / layout.recordLength);
    QByteArray block;
    for (qint64 first = 0; first < layout.records; first += perBlock) {
        const qint64 n = std::min<qint64>(perBlock, layout.records - first);
        block.resize(qsizetype(n * layout.recordLength));
        if (f.read(block.data(), block.size()) != block.size()) return true;
        for (qint64 k = 0; k < n; ++k) {
            const char* rec = block.constData() + k * layout.recordLength;
            for (const DbfField& d : layout.fields) {
                if (d.type != 'C') continue;
                const QByteArrayView raw(rec + d.offset, d.width);
                if (std::all_of(raw.begin(), raw.end(), [](char c) { return uchar(c) < 0x80; })) continue;
                if (!decodeStrict(raw.toByteArray(), encoding, &ignored)) return false;
            }
        }
    }
    return true;
}

TableCodePage tableCodePage(const QString& path, const DbfLayout& layout) {
    TableCodePage cp;
    if (const QString cpg = besideTable(path, ".cpg"); !cpg.isEmpty()) {
        QFile f(cpg);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray name = f.read(64).trimmed();
            if (!name.isEmpty()) {
                cp.encoding = codePageEncoding(name);
                if (cp.encoding.isEmpty()) cp.unknown = QString::fromLatin1(name);
                return cp;
            }
        }
    }
    if (layout.languageDriver != 0) {
        const QByteArray named = codePageOfDriver(layout.languageDriver);
        cp.encoding = codePageEncoding(named);
        if (cp.encoding.isEmpty())
            cp.unknown = named.isEmpty()
                             ? QStringLiteral("0x") +
                                   QStringLiteral("%1").arg(layout.languageDriver, 2, 16, QLatin1Char('0')).toUpper()
                             : QString::fromLatin1(named);
        return cp;
    }
    cp.encoding = textsRead(path, layout, "UTF-8") ? QByteArrayLiteral("UTF-8") : QByteArrayLiteral("GB18030");
    return cp;
}

// The memo file of a table: ".dbt" blocks of dBASE III (text up to an end
// mark) or dBASE IV (a length in front), or ".fpt" blocks of FoxPro (type
// and length in front, big-endian). Every block number and length is
// checked against the file.
class MemoFile {
public:
    MemoFile(const QString& path, bool fox, bool dbase3) : m_file(path), m_fox(fox), m_dbase3(dbase3) {}

    // false when the file cannot be opened or its header is damaged.
    bool open() {
        if (!m_file.open(QIODevice::ReadOnly)) return false;
        const QByteArray head = m_file.read(512);
        if (head.size() < 24) return false;
        if (m_fox) {
            m_blockSize = quint8(head[6]) << 8 | quint8(head[7]);
            return m_blockSize > 0;
        }
        const int size = readLE16(head, 20);
        m_blockSize = m_dbase3 || size < 64 ? 512 : size;
        return true;
    }

    // The bytes of the memo at block; false when the file does not hold it.
    // *binary tells a FoxPro block of type 0 (a picture or other bytes that
    // are no text).
    bool read(quint32 block, QByteArray* out, bool* binary) {
        *binary = false;
        const qint64 at = qint64(block) * m_blockSize;
        // The first blocks hold the file's header.
        if (at < (m_fox ? 512 : m_blockSize) || at >= m_file.size() || !m_file.seek(at)) return false;
        if (m_fox) {
            const QByteArray head = m_file.read(8);
            if (head.size() < 8) return false;
            *binary = readBE32(head, 0) == 0;
            const qint64 length = qint64(readBE32(head, 4));
            if (length > m_file.size() - at - 8) return false;
            *out = m_file.read(length);
            return out->size() == length;
        }
        const QByteArray head = m_file.read(8);
        if (!m_dbase3 && head.size() == 8 && head.startsWith(QByteArrayLiteral("\xFF\xFF\x08\x00"))) {
            const qint64 length = qint64(readLE32(head, 4)) - 8;
            if (length < 0 || length > m_file.size() - at - 8) return false;
            *out = m_file.read(length);
            return out->size() == length;
        }
        // Text up to its end mark (or the end of the file).
        if (!m_file.seek(at)) return false;
        out->clear();
        while (!m_file.atEnd()) {
            const QByteArray chunk = m_file.read(512);
            const qsizetype end = chunk.indexOf('\x1A');
            if (end >= 0) {
                out->append(chunk.left(end));
                break;
            }
            out->append(chunk);
        }
        return true;
    }

private:
    static quint32 readBE32(const QByteArray& b, int at) {
        return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16 |
               quint32(quint8(b[at + 2])) << 8 | quint32(quint8(b[at + 3]));
    }
    QFile m_file;
    bool m_fox;
    bool m_dbase3;
    qint64 m_blockSize = 512;
};

bool allBytes(QByteArrayView v, char c) {
    return std::all_of(v.begin(), v.end(), [c](char b) { return b == c; });
}

// Whether value, the double nearest count ten-thousandths, still reads as
// those ten-thousandths: beyond 2^53 of them it may not.
bool currencyHeldExactly(qint64 count, double value) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    if (ec != std::errc()) return false;
    QByteArray digits(text, end - text);
    digits.remove(digits.indexOf('.'), 1);
    bool ok = false;
    return digits.toLongLong(&ok) == count && ok;
}

// The fields as the reader gives them: their names in the table's code
// page, their types, and those of a type it cannot read left out (told to
// the sink).
void describeFields(DbfLayout& layout, const QString& path, const std::function<QString(QByteArray)>& decode,
                    RecordSink& sink) {
    const bool fox = isVisualFoxPro(layout.version);
    const bool dbase7 = isDBase7(layout.version);
    int nullBits = 0;
    for (int i = 0; i < layout.fields.size(); ++i) {
        DbfField& d = layout.fields[i];
        FieldInfo& f = d.info;
        f.name = decode(d.name).trimmed();
        if (f.name.isEmpty()) f.name = QStringLiteral("F%1").arg(i + 1);
        switch (d.type) {
        case 'N':
        case 'F': f.type = (d.decimals == 0 && d.width < 10) ? kLong : kDouble; break;
        case 'L': f.type = kBoolean; break;
        case 'D': f.type = kDate; break;
        case 'M': f.type = dbase7 ? -1 : kMemo; break;
        case 'C': f.type = kText; break;
        case 'I': f.type = fox && d.width == 4 ? kLong : -1; break;
        case 'Y': f.type = fox && d.width == 8 ? kCurrency : -1; break;
        case 'B': f.type = fox && d.width == 8 ? kDouble : -1; break;
        case 'T': f.type = fox && d.width == 8 ? kDate : -1; break;
        default: f.type = -1; break;
        }
        // The record's null flags: a bit for each nullable field, and one
        // for each field of varying length.
        if (fox && d.type != '0') {
            if (d.flags & 0x02) d.nullBit = nullBits++;
            if (d.type == 'V' || d.type == 'Q') ++nullBits;
        }
        if (fox && d.type == '0') {
            d.kept = false;
            layout.nullFlags = &d;
            continue;
        }
        if (f.type < 0) {
            d.kept = false;
            sink.leftOut(LoadErrorText(str::kDbaseFieldLeftOut)
                             .arg(QFileInfo(path).fileName(), f.name, QString(QLatin1Char(d.type))));
            continue;
        }
        f.size = f.type == kText ? d.width : (f.type == kLong ? 4 : 8);
    }
}

struct DbfHandle {
    DBFHandle h = nullptr;
    DbfHandle() = default;
    DbfHandle(const DbfHandle&) = delete;
    DbfHandle& operator=(const DbfHandle&) = delete;
    ~DbfHandle() { close(); }
    void close() {
        if (h) DBFClose(h);
        h = nullptr;
    }
};

class DBaseDriver : public Driver {
public:
    explicit DBaseDriver(QString folder) : m_folder(std::move(folder)) {}

    QStringList tableNames() override {
        QStringList names;
        for (const QString& f : QDir(m_folder).entryList(QDir::Files, QDir::Name))
            if (f.right(4).compare(QLatin1String(".dbf"), Qt::CaseInsensitive) == 0) names.append(f.chopped(4));
        return names;
    }

    bool loadTable(const QString& table, LoadedTable* out) override {
        return collectTable([&](RecordSink& sink) { return streamTable(table, sink); }, out);
    }

    bool streamTable(const QString& table, RecordSink& sink) override {
        const QString path = QDir(m_folder).filePath(findInFolder(m_folder, table + QStringLiteral(".dbf")));
        if (!QFileInfo(path).isFile()) return false;
        readDBaseTable(path, sink);
        return true;
    }

private:
    QString m_folder;
};

}  // namespace

LoadedTable readDBaseFile(const QString& path) {
    LoadedTable out;
    collectTable([&](RecordSink& sink) { readDBaseTable(path, sink); return true; }, &out);
    return out;
}

qint64 readDBaseTable(const QString& path, RecordSink& sink) {
    DbfLayout layout = checkHeader(path);
    const TableCodePage codePage = tableCodePage(path, layout);
    const QString table = QFileInfo(path).fileName();
    // What the table's values could not carry, told once a kind after the
    // records: the count and the first record and field.
    FieldLosses losses;
    QString current;  // the field being read, for the tally
    qint64 recordNumber = 0;
    const auto loss = [&](const QString& kind) { losses.add(current, kind, recordNumber); };
    const QString badBytes = LoadErrorText(str::kLossBytesNotInCodePage).arg(QString::fromLatin1(codePage.encoding));
    auto decode = [&](const QByteArray& b) {
        QString out;
        if (codePage.encoding.isEmpty()) {
            // Only the names are decoded then: ASCII, or the field's number.
            return isValidUtf8(b) ? QString::fromUtf8(b) : QString();
        }
        if (!decodeStrict(b, codePage.encoding, &out)) loss(badBytes);
        return out;
    };
    describeFields(layout, path, decode, sink);
    const bool fox = isVisualFoxPro(layout.version);
    // With a code page no converter knows, no text is read at all: every
    // byte of it would be a guess.
    if (!codePage.unknown.isEmpty()) {
        QStringList texts;
        for (DbfField& d : layout.fields) {
            if (!d.kept || (d.info.type != kText && d.info.type != kMemo)) continue;
            d.kept = false;
            texts.append(d.info.name);
        }
        if (!texts.isEmpty())
            sink.leftOut(LoadErrorText(str::kDbaseCodePageUnknown).arg(table, codePage.unknown, texts.join(u',')));
    }
    const auto tell = [&] { losses.tell(sink, table); };

    QList<FieldInfo> fields;
    QList<const DbfField*> kept;
    for (const DbfField& d : layout.fields) {
        if (!d.kept) continue;
        fields.append(d.info);
        kept.append(&d);
    }
    std::unique_ptr<MemoFile> memos;
    for (const DbfField* d : kept) {
        if (d->type != 'M' || memos) continue;
        const bool foxMemos = hasFoxMemos(layout.version);
        QString memoPath = besideTable(path, foxMemos ? ".fpt" : ".dbt");
        if (memoPath.isEmpty()) memoPath = besideTable(path, foxMemos ? ".dbt" : ".fpt");
        if (memoPath.isEmpty())
            throw damaged(path, LoadErrorText(str::kDbaseMemoFileMissing)
                                    .arg(d->info.name, QFileInfo(path).completeBaseName() +
                                                           QLatin1String(foxMemos ? ".fpt" : ".dbt")));
        memos = std::make_unique<MemoFile>(memoPath, memoPath.endsWith(QLatin1String("fpt"), Qt::CaseInsensitive),
                                           layout.version == 0x83);
        if (!memos->open()) throw damaged(memoPath, LoadErrorText(str::kDbaseHeaderDamaged));
    }
    sink.begin(fields);

    QFile f;
    OpenDataFileForRead(f, path);
    const qint64 records = layout.records;
    const int length = layout.recordLength;
    const qint64 perBlock = std::max<qint64>(1, (qint64(1) << 20) / length);
    QByteArray block;
    qint64 taken = 0;
    QVariantList row(fields.size());
    for (qint64 first = 0; first < records; first += perBlock) {
        const qint64 n = std::min(perBlock, records - first);
        block.resize(qsizetype(n * length));
        if (!f.seek(layout.headerLength + first * length) || f.read(block.data(), block.size()) != block.size())
            throw damaged(path, LoadErrorText(str::kDbaseRecordUnreadable).arg(first + 1));
        for (qint64 k = 0; k < n; ++k) {
            const char* rec = block.constData() + k * length;
            if (rec[0] == '*') continue;
            const qint64 r = first + k;
            recordNumber = r + 1;
            QByteArrayView nulls;
            if (layout.nullFlags) nulls = QByteArrayView(rec + layout.nullFlags->offset, layout.nullFlags->width);
            for (qsizetype i = 0; i < kept.size(); ++i) {
                const DbfField& d = *kept.at(i);
                QVariant& slot = row[i];
                slot.clear();
                current = d.info.name;
                if (d.nullBit >= 0 && d.nullBit / 8 < nulls.size() &&
                    (quint8(nulls[d.nullBit / 8]) >> (d.nullBit % 8)) & 1)
                    continue;
                const QByteArrayView raw(rec + d.offset, d.width);
                switch (d.type) {
                case 'I': slot = qint32(readLE32(QByteArray::fromRawData(raw.data(), raw.size()), 0)); continue;
                case 'Y': {
                    qint64 v = 0;
                    std::memcpy(&v, raw.data(), 8);
                    v = qFromLittleEndian(v);
                    const double value = double(v) / 10000.0;
                    if (!currencyHeldExactly(v, value)) loss(LoadErrorText(str::kLossCurrencyNotExact));
                    slot = value;
                    continue;
                }
                case 'B': {
                    quint64 bits = 0;
                    std::memcpy(&bits, raw.data(), 8);
                    double v = 0;
                    bits = qFromLittleEndian(bits);
                    std::memcpy(&v, &bits, 8);
                    if (std::isfinite(v)) slot = v;
                    else loss(LoadErrorText(str::kLossNumberNotFinite));
                    continue;
                }
                case 'T': {
                    const QByteArray b = QByteArray::fromRawData(raw.data(), raw.size());
                    const qint64 day = qint32(readLE32(b, 0));
                    const qint64 ms = qint32(readLE32(b, 4));
                    if (day == 0 || allBytes(raw, ' ')) continue;
                    const QDate date = QDate::fromJulianDay(day);
                    if (!date.isValid() || ms < 0 || ms >= 86400000)
                        throw damaged(path, LoadErrorText(str::kDbaseRecordUnreadable).arg(r + 1));
                    slot = ms == 0 ? QVariant(date)
                                   : QVariant(QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms))));
                    continue;
                }
                case 'M': {
                    quint32 at = 0;
                    if (fox && d.width == 4) {
                        if (allBytes(raw, ' ')) continue;
                        at = readLE32(QByteArray::fromRawData(raw.data(), raw.size()), 0);
                    } else {
                        const QByteArray digits = raw.toByteArray().trimmed();
                        if (digits.isEmpty()) continue;
                        bool ok = false;
                        at = digits.toUInt(&ok);
                        if (!ok)
                            throw damaged(path, LoadErrorText(str::kDbaseMemoDamaged).arg(r + 1).arg(d.info.name));
                    }
                    if (at == 0) continue;
                    QByteArray text;
                    bool binary = false;
                    if (!memos->read(at, &text, &binary))
                        throw damaged(path, LoadErrorText(str::kDbaseMemoDamaged).arg(r + 1).arg(d.info.name));
                    if (binary) loss(LoadErrorText(str::kLossBinaryMemos));
                    else slot = decode(text);
                    continue;
                }
                default: break;
                }
                // The text fields: up to a NUL, without the padding after
                // them; a text's own leading blanks are part of it.
                QByteArray text = raw.toByteArray();
                if (const qsizetype nul = text.indexOf('\0'); nul >= 0) text.truncate(nul);
                while (!text.isEmpty() && text.back() == ' ') text.chop(1);
                if (d.info.type != kText) text = text.trimmed();
                switch (d.info.type) {
                case kLong:
                case kDouble: {
                    // Whatever the width and decimals say, a value that
                    // reads as a number is that number.
                    // Asterisks across the field are how writers (shapelib
                    // among them) leave a number empty.
                    if (text.isEmpty() || allBytes(text, '*')) break;
                    double v = 0;
                    if (!FileTextAsNumber(QString::fromLatin1(text), &v)) {
                        loss(LoadErrorText(str::kLossTextNotNumber));
                        break;
                    }
                    if (d.info.type == kLong && v == std::trunc(v) && std::fabs(v) <= 2147483647.0) slot = qint32(v);
                    else slot = v;
                    break;
                }
                case kBoolean: {
                    // "?" is the format's own mark of a value never set, as
                    // blanks are: no value, as an empty field of any type.
                    if (text.isEmpty() || text == "?") break;
                    const char c = text.size() == 1 ? text.at(0) : '\0';
                    if (c == 'T' || c == 't' || c == 'Y' || c == 'y') slot = true;
                    else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') slot = false;
                    else loss(LoadErrorText(str::kLossNotLogical));
                    break;
                }
                case kDate: {
                    // Blanks and zeros are how writers leave a date empty.
                    if (text.isEmpty() || allBytes(text, '0')) break;
                    const QDate date = QDate::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMdd"));
                    if (date.isValid()) slot = date;
                    else loss(LoadErrorText(str::kLossImpossibleDate));
                    break;
                }
                default:
                    if (!text.isEmpty()) slot = decode(text);
                    break;
                }
            }
            ++taken;
            // The records the sink leaves are only counted, from their marks.
            if (!sink.record(row)) {
                tell();
                return taken + countLiveRecords(path, layout, r + 1, records);
            }
        }
    }
    tell();
    return taken;
}

std::unique_ptr<Driver> makeDBaseDriver(const QString& folder) {
    if (!QFileInfo(folder).isDir()) throw JetError(LoadErrorText(str::kNotAFolderPath).arg(folder));
    return std::make_unique<DBaseDriver>(folder);
}

}  // namespace qor::jet

// ------------------------------------------------------------------ writing

namespace qor::jet {
namespace {

constexpr int kMaxCharWidth = 254;
// 12 digits before the point, 7 after, a sign and the point.
constexpr int kNumberWidth = 21;
constexpr int kNumberDecimals = 7;

// The longest prefix of bytes (code page 936) not longer than limit that
// ends on a character boundary.
QByteArray cutBytes(const QString& text, int limit, bool* cut) {
    QByteArray out;
    *cut = false;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QByteArray b = encodeCp936(text.mid(i, n));
        if (out.size() + b.size() > limit) {
            *cut = true;
            break;
        }
        out += b;
        i += n;
    }
    return out;
}

QString cellText(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(Qt::ISODate);
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(Qt::ISODate);
    return v.toString();
}

bool isNumberField(int type) { return type >= kBoolean && type <= kDouble; }

// A number as the library prints it into an N field of our width ("%21.7f"
// in the C locale), printed by std::to_chars, which prints as printf does
// at a fraction of its cost, and handed over as the field's bytes. A text
// longer than the field goes through the library, which refuses it.
bool writeNumber(DBFHandle h, int record, int field, double d) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, d, std::chars_format::fixed, kNumberDecimals);
    const int length = int(end - text);
    if (ec != std::errc() || length > kNumberWidth) return DBFWriteDoubleAttribute(h, record, field, d);
    char padded[kNumberWidth + 1];
    std::memset(padded, ' ', size_t(kNumberWidth - length));
    std::memcpy(padded + kNumberWidth - length, text, size_t(length));
    padded[kNumberWidth] = '\0';
    return DBFWriteAttributeDirectly(h, record, field, padded);
}

}  // namespace

void widenDBaseTextWidths(const QList<FieldInfo>& fields, const QVariantList& row, QList<int>* widths) {
    const qsizetype n = std::min(fields.size(), row.size());
    for (qsizetype c = 0; c < n; ++c) {
        if (isNumberField(fields.at(c).type) || (*widths)[c] >= kMaxCharWidth) continue;
        const QVariant& v = row.at(c);
        if (v.isValid() && !v.isNull())
            (*widths)[c] = std::min(kMaxCharWidth, std::max((*widths)[c], int(encodeCp936(cellText(v)).size())));
    }
}

struct DBaseWriter::Open {
    QString path;
    QString tempDbf;
    DbfHandle dbf;
    QList<QByteArray> names;
    QList<int> widths;
    QList<bool> number;
    QStringList* notes = nullptr;
    qor::LossTally losses;
    int record = 0;
    QString place(int c) const {
        return LoadErrorText(str::kPlaceRecordField).arg(record + 1).arg(decodeCp936(names.at(c)));
    }
    ~Open() {
        dbf.close();
        if (!tempDbf.isEmpty()) QFile::remove(tempDbf);
    }
};

DBaseWriter::DBaseWriter(const QString& path, const QList<FieldInfo>& fields, const QList<int>& widths,
                         QStringList* notes)
    : m(std::make_unique<Open>()) {
    if (fields.isEmpty()) throw JetError(LoadErrorText(str::kDbaseTableNeedsField));
    if (fields.size() > 255) throw JetError(LoadErrorText(str::kDbaseTableOver255Fields));
    m->path = path;
    m->notes = notes;
    m->widths = widths;
    m->widths.resize(fields.size(), 1);
    auto note = [notes](const QString& s) {
        if (notes) notes->append(s);
    };
    // Field names: at most 10 bytes, cut on a character, unique without
    // regard to case (a clash gets "~1", "~2" ... in place of its tail).
    QList<QByteArray>& names = m->names;
    for (int c = 0; c < fields.size(); ++c) {
        const QString want = fields.at(c).name.trimmed();
        bool cut = false;
        QByteArray name = cutBytes(want, 10, &cut);
        if (name.isEmpty()) name = QByteArray("F") + QByteArray::number(c + 1);
        auto clash = [&names](const QByteArray& n) {
            for (const QByteArray& o : names)
                if (o.toUpper() == n.toUpper()) return true;
            return false;
        };
        for (int k = 1; clash(name); ++k) {
            const QString tail = QStringLiteral("~%1").arg(k);
            bool ignored = false;
            name = cutBytes(want, 10 - int(tail.size()), &ignored) + tail.toLatin1();
        }
        if (decodeCp936(name) != want)
            note(LoadErrorText(str::kFieldRenamed).arg(want, decodeCp936(name)));
        names.append(name);
        m->number.append(isNumberField(fields.at(c).type));
    }

    // The library writes its file by name: it does so in the user's work
    // folder, where what a killed process left is swept, and the file is
    // moved beside the target (or copied there through a locked
    // temporary) once whole.
    const int scratch = CreateWorkFile(QStringLiteral(".dbf"), &m->tempDbf);
    if (scratch < 0)
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, qor::FileErrorText(errno)));
    ::close(scratch);
    m->dbf.h = DBFCreateEx(QFile::encodeName(m->tempDbf).constData(), "LDID/77");
    if (!m->dbf.h) throw JetError(LoadErrorText(str::kCannotCreateDbaseFile).arg(path));
    for (int c = 0; c < fields.size(); ++c) {
        const bool number = m->number.at(c);
        if (DBFAddField(m->dbf.h, names.at(c).constData(), number ? FTDouble : FTString,
                        number ? kNumberWidth : m->widths.at(c), number ? kNumberDecimals : 0) < 0)
            throw JetError(
                LoadErrorText(str::kCannotAddDbaseField).arg(decodeCp936(names.at(c)), path));
    }
}

DBaseWriter::~DBaseWriter() = default;

void DBaseWriter::add(const QVariantList& row) {
    Open& o = *m;
    DBFHandle h = o.dbf.h;
    const int r = o.record;
    const int n = int(o.names.size());
    for (int c = 0; c < n; ++c) {
        const QVariant* v = c < row.size() ? &row.at(c) : nullptr;
        bool ok = true;
        if (!v || !v->isValid() || v->isNull()) {
            ok = DBFWriteNULLAttribute(h, r, c);
        } else if (o.number.at(c)) {
            const double d = v->toDouble();
            if (!std::isfinite(d) || std::fabs(d) >= 1e12) {
                o.losses.add(LoadErrorText(str::kLossBigNumbers), o.place(c));
                ok = DBFWriteNULLAttribute(h, r, c);
            } else {
                ok = writeNumber(h, r, c, d);
            }
        } else {
            const QString t = cellText(*v);
            bool lossless = true;
            QByteArray b = encodeCp936(t, &lossless);
            bool cut = false;
            if (b.size() > o.widths.at(c)) b = cutBytes(t, o.widths.at(c), &cut);
            if (cut)
                o.losses.add(LoadErrorText(str::kLossTextsCutToBytes).arg(kMaxCharWidth),
                             o.place(c));
            if (!lossless)
                o.losses.add(LoadErrorText(str::kLossCharactersOutside936), o.place(c),
                             qor::CharactersOutsideCp936(t));
            // A field is padded with blanks, so a reader cannot tell the
            // text's own blanks at its end from the padding.
            if (b.endsWith(' ')) o.losses.add(LoadErrorText(str::kLossTrailingBlanks), o.place(c));
            ok = b.isEmpty() ? DBFWriteNULLAttribute(h, r, c) : DBFWriteStringAttribute(h, r, c, b.constData());
        }
        if (!ok) throw JetError(LoadErrorText(str::kCannotWriteDbaseRecord).arg(r + 1).arg(o.path));
    }
    ++o.record;
}

void DBaseWriter::finish() {
    Open& o = *m;
    o.losses.appendTo(o.notes);
    o.dbf.close();
    int error = 0;
    if (!MoveFileInto(o.tempDbf, o.path, &error, /*replace=*/true))
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(o.path, qor::FileErrorText(error)));
    o.tempDbf.clear();
    const QString cpg = o.path.left(o.path.size() - QFileInfo(o.path).suffix().size()) + QStringLiteral("cpg");
    if (!WriteFileSafely(cpg, QByteArrayLiteral("936"), &error))
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(cpg, qor::FileErrorText(error)));
}

void writeDBaseFile(const QString& path, const LoadedTable& table, QStringList* notes) {
    if (table.fields.isEmpty()) throw JetError(LoadErrorText(str::kDbaseTableNeedsField));
    if (table.fields.size() > 255) throw JetError(LoadErrorText(str::kDbaseTableOver255Fields));
    // Text widths: the longest text of the column in code-page bytes.
    QList<int> widths(table.fields.size(), 1);
    for (const QVariantList& row : table.rows) widenDBaseTextWidths(table.fields, row, &widths);
    DBaseWriter writer(path, table.fields, widths, notes);
    for (const QVariantList& row : table.rows) writer.add(row);
    writer.finish();
}

}  // namespace qor::jet
