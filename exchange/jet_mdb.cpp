// The Access driver: a ".mdb" file read through libmdb into the working
// database. The library trusts what it reads, so the page structure it
// walks first is checked by us: a file that would lead it astray is
// refused before it is handed over.

// glib first: the library header includes it inside extern "C".
#include <glib.h>
#include <mdbtools.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <cmath>
#include <cstring>

#include "exchange/jetdriver.h"
#include "engine/messages.h"
#include "platform/bytes.h"

namespace qor::jet {
namespace {

constexpr int kJet3Page = 2048;
constexpr int kJet4Page = 4096;

JetError notAccess(const QString& path, const QString& why) {
    return JetError(LoadErrorText(str::kUnknownDatabaseFormatWithReason).arg(path, why));
}

// A row of a page by its number, as the library finds it: false when the
// page has no such row or its bounds do not fit the page.
bool rowBounds(const QByteArray& page, int pageSize, int countAt, int row, int* start,
               int* length) {
    const int rows = readLE16(page, countAt);
    if (row >= rows || countAt + 2 + 2 * (row + 1) > pageSize) return false;
    const int s = readLE16(page, countAt + 2 + 2 * row) & 0x1FFF;
    const int next = row == 0 ? pageSize : (readLE16(page, countAt + 2 * row) & 0x1FFF);
    if (s >= pageSize || s > next || next > pageSize) return false;
    *start = s;
    *length = next - s;
    return true;
}

// The checks the library's table reader leaves to its input: the table
// definition's counts fit its page, the usage map it points at exists,
// and every page an indirect usage map names is a bitmap page in the file.
void checkTable(const QByteArray& file, int pageSize, bool jet4, quint32 tdefPage,
                const QString& path) {
    const qint64 pages = file.size() / pageSize;
    auto pageAt = [&](quint32 n) { return file.mid(qint64(n) * pageSize, pageSize); };
    if (tdefPage == 0 || tdefPage >= pages)
        throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
    const QByteArray tdef = pageAt(tdefPage);
    if (quint8(tdef[0]) != 0x02) throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
    // Definitions that continue on further pages are read by the library
    // page by page; a chain that loops or leaves the file is refused.
    QList<quint32> seen{tdefPage};
    for (quint32 next = readLE32(tdef, 4); next != 0; next = readLE32(pageAt(next), 4)) {
        if (next >= pages || seen.contains(next) || quint8(pageAt(next)[0]) != 0x02)
            throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
        seen.append(next);
    }
    const int colsAt = jet4 ? 45 : 25;
    const int mapAt = jet4 ? 55 : 35;
    const int cols = readLE16(tdef, colsAt);
    if (cols > 256) throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
    for (int which = 0; which < 2; ++which) {
        const quint32 pgRow = readLE32(tdef, mapAt + 4 * which);
        const quint32 mapPage = pgRow >> 8;
        if (mapPage >= quint32(pages))
            throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
        int start = 0, length = 0;
        if (!rowBounds(pageAt(mapPage), pageSize, jet4 ? 12 : 8, int(pgRow & 0xFF), &start,
                       &length) ||
            length < 1)
            throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
        if (which == 1) continue;
        const QByteArray map = pageAt(mapPage).mid(start, length);
        if (quint8(map[0]) == 0x01) {
            for (qsizetype at = 1; at + 4 <= map.size(); at += 4) {
                const quint32 p = readLE32(map, at);
                if (p != 0 && (p >= pages || quint8(pageAt(p)[0]) != 0x05))
                    throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
            }
        } else if (quint8(map[0]) == 0x00) {
            if (map.size() < 5) throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
        } else {
            throw notAccess(path, LoadErrorText(str::kFileStructureDamaged));
        }
    }
}

// The whole-file checks made before the library sees the file.
void checkFile(const QString& path) {
    QFile f;
    OpenDataFileForRead(f, path);
    if (f.size() > (qint64(1) << 31)) throw notAccess(path, LoadErrorText(str::kFileTooLarge));
    const QByteArray file = f.readAll();
    if (file.size() < 0x20 || quint8(file[0]) != 0x00 ||
        file.mid(4, 15) != QByteArray("Standard Jet DB"))
        throw notAccess(path, LoadErrorText(str::kFormatNotRecognised));
    const quint32 version = readLE32(file, 0x14);
    if (version > 6) throw notAccess(path, LoadErrorText(str::kFormatNotRecognised));
    const bool jet4 = version != 0;
    const int pageSize = jet4 ? kJet4Page : kJet3Page;
    if (file.size() < 3 * pageSize) throw notAccess(path, LoadErrorText(str::kFileIncomplete));
    checkTable(file, pageSize, jet4, 2, path);
}

QVariant valueOf(int type, const char* text, int length) {
    const QByteArray raw(text, std::max(0, length));
    switch (type) {
        case MDB_BOOL:
            return raw.trimmed() == "1" || raw.trimmed().compare("true", Qt::CaseInsensitive) == 0;
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
            return raw.trimmed().toInt();
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC: {
            QByteArray t = raw.trimmed();
            t.replace(',', '.');  // the library prints in the process locale
            return t.toDouble();
        }
        case MDB_DATETIME: {
            QDateTime d = QDateTime::fromString(QString::fromLatin1(raw),
                                                QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!d.isValid()) return QString::fromUtf8(raw);
            if (d.time() == QTime(0, 0)) return d.date();
            d.setTimeSpec(Qt::UTC);
            return d;
        }
        default:
            return QString::fromUtf8(raw);
    }
}

// A Jet 4 text as a page holds it: UTF-16LE, or "compressed" (FF FE, then
// runs of one-byte characters and, after each 0 byte, runs of two-byte
// ones, in turn).
QString jet4Text(const unsigned char* p, int len) {
    QString out;
    if (len >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool oneByte = true;
        for (int i = 2; i < len;) {
            if (p[i] == 0) {
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                out += QChar(p[i++]);
            } else if (i + 1 < len) {
                out += QChar(char16_t(p[i] | p[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
        return out;
    }
    for (int i = 0; i + 1 < len; i += 2) out += QChar(char16_t(p[i] | p[i + 1] << 8));
    return out;
}

// Whether raw is the text the library printed as printed, each half of a
// pair beyond the basic plane printed as "?" (the only difference there
// may be).
bool sameButPairs(const QString& raw, const QString& printed) {
    if (raw.size() != printed.size()) return false;
    bool pairs = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == printed[i]) continue;
        if (!raw[i].isSurrogate() || printed[i] != u'?') return false;
        pairs = true;
    }
    return pairs;
}

// A Jet date: days from 1899-12-30 (before it negative), the fraction the
// time of day whatever the sign. At midnight the day alone. Null outside
// the years 100 to 9999, which Jet does not hold.
QVariant jetDate(double serial) {
    if (!std::isfinite(serial) || serial < -657434.0 || serial >= 2958466.0) return {};
    const double days = std::trunc(serial);
    const qint64 seconds = std::min<qint64>(std::llround(std::fabs(serial - days) * 86400.0), 86399);
    const QDate day = QDate(1899, 12, 30).addDays(qint64(days));
    if (seconds == 0) return day;
    return QDateTime(day, QTime(0, 0).addSecs(int(seconds)), Qt::UTC);
}

int daoTypeOf(int mdbType) {
    switch (mdbType) {
        case MDB_BOOL:
            return kBoolean;
        case MDB_BYTE:
            return kByte;
        case MDB_INT:
            return kInteger;
        case MDB_LONGINT:
            return kLong;
        case MDB_MONEY:
            return kCurrency;
        case MDB_FLOAT:
            return kSingle;
        case MDB_DOUBLE:
        case MDB_NUMERIC:
            return kDouble;
        case MDB_DATETIME:
            return kDate;
        case MDB_MEMO:
            return kMemo;
        default:
            return kText;
    }
}

// The library keeps a few process-wide settings; opening goes one at a time.
QMutex g_openLock;

class AccessDriver : public Driver {
public:
    AccessDriver(QString path, MdbHandle* mdb) : m_path(std::move(path)), m_mdb(mdb) {
        GPtrArray* catalog = mdb_read_catalog(m_mdb, MDB_TABLE);
        if (!catalog) throw notAccess(m_path, LoadErrorText(str::kFileStructureDamaged));
        QByteArray file;
        {
            QFile f(m_path);
            if (f.open(QIODevice::ReadOnly)) file = f.readAll();
        }
        const bool jet4 = !IS_JET3(m_mdb);
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::ReadOnly))
            throw JetError(LoadErrorText(str::kCannotReadWithReason).arg(m_path, m_file.errorString()));
        for (guint i = 0; i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (entry->object_type != MDB_TABLE) continue;
            checkTable(file, jet4 ? kJet4Page : kJet3Page, jet4, quint32(entry->table_pg), m_path);
            m_tables.append({QString::fromUtf8(entry->object_name), quint32(entry->flags), entry});
        }
    }
    ~AccessDriver() override { mdb_close(m_mdb); }

    QStringList tableNames() override {
        QStringList names;
        for (const Table& t : m_tables) names.append(t.name);
        return names;
    }

    quint32 tableAttributes(const QString& table) override {
        for (const Table& t : m_tables)
            if (t.name.compare(table, Qt::CaseInsensitive) == 0) return t.flags;
        return 0;
    }

    bool loadTable(const QString& table, LoadedTable* out) override {
        const Table* found = nullptr;
        for (const Table& t : m_tables)
            if (t.name.compare(table, Qt::CaseInsensitive) == 0) found = &t;
        if (!found) return false;
        MdbTableDef* def = mdb_read_table(found->entry);
        if (!def) throw notAccess(m_path, QStringLiteral("table \"%1\" cannot be read").arg(table));
        struct Free {
            MdbTableDef* d;
            ~Free() { mdb_free_tabledef(d); }
        } keep{def};
        if (!mdb_read_columns(def))
            throw notAccess(m_path, LoadErrorText(str::kFileStructureDamaged));
        const int n = int(def->num_cols);
        std::vector<std::vector<char>> buffers(size_t(n), std::vector<char>(MDB_BIND_SIZE + 1));
        std::vector<int> lengths(size_t(n), 0);
        QList<int> types;
        for (int i = 0; i < n; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            FieldInfo f;
            f.name = QString::fromUtf8(col->name);
            f.type = daoTypeOf(col->col_type);
            f.size = f.type == kText ? (jet4() ? col->col_size / 2 : col->col_size) : col->col_size;
            out->fields.append(f);
            types.append(col->col_type);
            mdb_bind_column(def, i + 1, buffers[size_t(i)].data(), &lengths[size_t(i)]);
        }
        mdb_rewind_table(def);
        while (mdb_fetch_row(def)) {
            QVariantList row;
            for (int i = 0; i < n; ++i) {
                const int len = lengths[size_t(i)];
                const int type = types.at(i);
                // Binary columns hold nothing a report can show.
                if (len <= 0 || type == MDB_OLE || type == MDB_BINARY) {
                    row.append(type == MDB_BOOL ? QVariant(false) : QVariant());
                    continue;
                }
                const QVariant printed =
                    valueOf(type, buffers[size_t(i)].data(), std::min(len, int(MDB_BIND_SIZE)));
                // The library prints a Double with 15 digits; its 8 bytes,
                // still on the page it read, give every digit. They are
                // taken only when they agree with the printed value (a row
                // moved to another page is read from elsewhere).
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
                if (type == MDB_DOUBLE && col->cur_value_len == 8 && col->cur_value_start >= 0 &&
                    col->cur_value_start + 8 <= int(sizeof m_mdb->pg_buf)) {
                    const double raw = mdb_get_double(m_mdb->pg_buf, col->cur_value_start);
                    const double shown = printed.toDouble();
                    if (std::isfinite(raw) &&
                        std::fabs(raw - shown) <= 1e-13 * std::max(1.0, std::fabs(raw))) {
                        row.append(raw);
                        continue;
                    }
                }
                // The library prints a date before 1899-12-30 as a day
                // that does not exist; the 8 bytes give it.
                if (type == MDB_DATETIME && col->cur_value_len == 8 && col->cur_value_start >= 0 &&
                    col->cur_value_start + 8 <= int(sizeof m_mdb->pg_buf)) {
                    const QVariant raw = jetDate(mdb_get_double(m_mdb->pg_buf, col->cur_value_start));
                    const bool printedDay = printed.typeId() != QMetaType::QString;
                    if (raw.isValid() && (!printedDay || raw == printed)) {
                        row.append(raw);
                        continue;
                    }
                }
                // Memos as texts: the library prints "?" for each half of a
                // pair beyond the basic plane; the memo's own bytes give it.
                if (jet4() && type == MDB_MEMO && col->cur_value_len >= 12 && col->cur_value_start >= 0 &&
                    col->cur_value_start + 12 <= int(sizeof m_mdb->pg_buf)) {
                    const QString raw = memoText(col->cur_value_start, col->cur_value_len);
                    if (sameButPairs(raw, printed.toString())) {
                        row.append(raw);
                        continue;
                    }
                }
                if (jet4() && type == MDB_TEXT && col->cur_value_len > 0 &&
                    col->cur_value_start >= 0 &&
                    col->cur_value_start + col->cur_value_len <= int(sizeof m_mdb->pg_buf)) {
                    // The library converts texts as UCS-2, which has no
                    // characters beyond the basic plane: it prints "?" for
                    // each half of such a pair. The page's bytes give them
                    // whole; taken only when they agree with the printed text.
                    const QString raw = jet4Text(
                        reinterpret_cast<const unsigned char*>(m_mdb->pg_buf) + col->cur_value_start,
                        col->cur_value_len);
                    if (sameButPairs(raw, printed.toString())) {
                        row.append(raw);
                        continue;
                    }
                }
                row.append(printed);
            }
            out->rows.append(row);
        }
        return true;
    }

private:
    bool jet4() const { return !IS_JET3(m_mdb); }

    // The bytes of a long-value row: page and row from pgRow, checked
    // against the file and the page.
    bool lvalRow(quint32 pgRow, QByteArray* out) {
        const int pageSize = jet4() ? kJet4Page : kJet3Page;
        const qint64 page = pgRow >> 8;
        if (page == 0 || (page + 1) * pageSize > m_file.size() || !m_file.seek(page * pageSize)) return false;
        const QByteArray bytes = m_file.read(pageSize);
        int start = 0, length = 0;
        if (bytes.size() != pageSize || quint8(bytes[0]) != 0x01 ||
            !rowBounds(bytes, pageSize, jet4() ? 12 : 8, int(pgRow & 0xFF), &start, &length))
            return false;
        *out = bytes.mid(start, length);
        return true;
    }

    // A memo's text from its field in the row just read (a length with
    // flags, where its long-value rows are, or the text itself), or a null
    // string when its bytes cannot be found whole.
    QString memoText(int start, int fieldLength) {
        const QByteArray field(reinterpret_cast<const char*>(m_mdb->pg_buf) + start, std::min(fieldLength, int(sizeof m_mdb->pg_buf) - start));
        const quint32 head = readLE32(field, 0);
        const qint64 length = head & 0x3FFFFFFF;
        QByteArray text;
        if (head & 0x80000000u) {
            if (12 + length > field.size()) return {};
            text = field.mid(12, length);
        } else if (head & 0x40000000u) {
            if (!lvalRow(readLE32(field, 4), &text) || text.size() < length) return {};
            text.truncate(length);
        } else {
            // Rows chained by the page and row of the next in front.
            quint32 next = readLE32(field, 4);
            for (int hops = 0; text.size() < length && next != 0; ++hops) {
                QByteArray part;
                if (hops > 100000 || !lvalRow(next, &part) || part.size() < 4) return {};
                next = readLE32(part, 0);
                text += part.mid(4);
            }
            if (text.size() < length) return {};
            text.truncate(length);
        }
        return jet4Text(reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()));
    }

    struct Table {
        QString name;
        quint32 flags;
        MdbCatalogEntry* entry;
    };
    QString m_path;
    MdbHandle* m_mdb;
    QFile m_file;  // read for memos
    QList<Table> m_tables;
};

}  // namespace

std::unique_ptr<Driver> makeAccessDriver(const QString& path) {
    if (!QFileInfo(path).isFile()) throw notAccess(path, LoadErrorText(str::kFileNotFound));
    checkFile(path);
    QMutexLocker lock(&g_openLock);
    // Jet 3 files carry no code page of their own; ours are Chinese.
    if (qEnvironmentVariableIsEmpty("MDB_JET3_CHARSET")) qputenv("MDB_JET3_CHARSET", "CP936");
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb) throw notAccess(path, LoadErrorText(str::kFormatNotRecognised));
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_bind_size(mdb, MDB_BIND_SIZE);
    try {
        return std::make_unique<AccessDriver>(path, mdb);
    } catch (...) {
        // The driver closes the handle only once it exists.
        mdb_close(mdb);
        throw;
    }
}

}  // namespace qor::jet
