// The dBASE driver: a folder of ".dbf" files, each a table named by its
// file name without the extension. The header is checked by us before the
// file reaches the library, so a damaged file is refused, never misread.

#include <shapefil.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/workfiles.h"
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

struct DbfLayout {
    quint16 headerLength = 0;
    quint16 recordLength = 0;
};

// Checks the header block against the file's size: lengths and counts
// that do not fit the file are a damaged file.
DbfLayout checkHeader(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw JetError(LoadErrorText(str::kCannotReadWithReason).arg(path, f.errorString()));
    const qint64 size = f.size();
    const QByteArray head = f.read(32);
    if (head.size() < 32) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    const quint32 records = readLE32(head, 4);
    const quint16 headerLength = readLE16(head, 8);
    const quint16 recordLength = readLE16(head, 10);
    if (headerLength < 33 || headerLength > size)
        throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (recordLength < 1) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    const int fieldCount = (headerLength - 32) / 32;
    const QByteArray fields = f.read(qint64(fieldCount) * 32);
    if (fields.size() != fieldCount * 32)
        throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    int width = 1;  // the deletion mark
    int real = 0;
    for (int i = 0; i < fieldCount; ++i) {
        if (quint8(fields[i * 32]) == 0x0D) break;
        width += quint8(fields[i * 32 + 16]);
        ++real;
    }
    if (real == 0) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (width > recordLength) throw damaged(path, LoadErrorText(str::kDbaseHeaderDamaged));
    if (qint64(records) * recordLength > size - headerLength)
        throw damaged(path, LoadErrorText(str::kDbaseFewerRecords));
    return {headerLength, recordLength};
}

// The records from first on that are not marked deleted, counted from the
// marks alone, a block of records at a time.
qint64 countLiveRecords(const QString& path, const DbfLayout& layout, qint64 first, qint64 records) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw JetError(LoadErrorText(str::kCannotReadWithReason).arg(path, f.errorString()));
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

bool isUtf8CodePage(const char* cp) {
    if (!cp) return false;
    const QString s = QString::fromLatin1(cp).trimmed();
    return s == QLatin1String("65001") || s.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0 ||
           s.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0;
}

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
    const DbfLayout layout = checkHeader(path);
    DbfHandle dbf;
    dbf.h = DBFOpen(QFile::encodeName(path).constData(), "rb");
    if (!dbf.h) throw damaged(path, LoadErrorText(str::kFormatNotRecognised));
    const bool utf8 = isUtf8CodePage(DBFGetCodePage(dbf.h));
    auto decode = [utf8](const char* s) { return utf8 ? QString::fromUtf8(s) : decodeCp936(QByteArray(s)); };

    QList<FieldInfo> fields;
    const int fieldCount = DBFGetFieldCount(dbf.h);
    QList<char> native;
    for (int i = 0; i < fieldCount; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0, decimals = 0;
        DBFGetFieldInfo(dbf.h, i, name, &width, &decimals);
        const char kind = DBFGetNativeFieldType(dbf.h, i);
        FieldInfo f;
        f.name = decode(name).trimmed();
        if (f.name.isEmpty()) f.name = QStringLiteral("F%1").arg(i + 1);
        switch (kind) {
        case 'N':
        case 'F': f.type = (decimals == 0 && width < 10) ? kLong : kDouble; break;
        case 'L': f.type = kBoolean; break;
        case 'D': f.type = kDate; break;
        case 'M': f.type = kMemo; break;
        default: f.type = kText; break;
        }
        f.size = f.type == kText ? width : (f.type == kLong ? 4 : 8);
        fields.append(f);
        native.append(kind);
    }
    sink.begin(fields);
    const int records = DBFGetRecordCount(dbf.h);
    qint64 taken = 0;
    QVariantList row(fieldCount);
    for (int r = 0; r < records; ++r) {
        if (DBFIsRecordDeleted(dbf.h, r)) continue;
        for (int i = 0; i < fieldCount; ++i) {
            QVariant& slot = row[i];
            if (DBFIsAttributeNULL(dbf.h, r, i)) {
                slot.clear();
                continue;
            }
            const char* s = DBFReadStringAttribute(dbf.h, r, i);
            if (!s) throw damaged(path, LoadErrorText(str::kDbaseRecordUnreadable).arg(r + 1));
            const QByteArray raw(s);
            switch (fields.at(i).type) {
            case kLong: slot = raw.trimmed().toInt(); break;
            case kDouble: slot = raw.trimmed().toDouble(); break;
            case kBoolean: {
                const char c = raw.trimmed().isEmpty() ? '?' : raw.trimmed().at(0);
                if (c == 'T' || c == 't' || c == 'Y' || c == 'y') slot = true;
                else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') slot = false;
                else slot.clear();
                break;
            }
            case kDate: {
                const QDate d = QDate::fromString(QString::fromLatin1(raw.trimmed()), QStringLiteral("yyyyMMdd"));
                slot = d.isValid() ? QVariant(d) : QVariant();
                break;
            }
            default: {
                QString text = decode(s);
                while (text.endsWith(u' ')) text.chop(1);
                slot = text;
                break;
            }
            }
        }
        ++taken;
        // The records the sink leaves are only counted, from their marks.
        if (!sink.record(row)) return taken + countLiveRecords(path, layout, qint64(r) + 1, records);
    }
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
