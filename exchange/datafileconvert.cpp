#include "exchange/datafileconvert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/messages.h"
#include "engine/paths.h"
#include "engine/workfiles.h"
#include "exchange/datafiles.h"
#include "exchange/jetdriver.h"
#include "platform/safefile.h"

using namespace qor::jet;

namespace {

// The failure text the user sees: that the conversion failed, then why.
void fail(QString* error, const QString& why) {
    const QString text = LoadErrorText(qor::str::kConvertFileFailed) + QLatin1Char('\n') + why;
    TraceMessage(text);
    if (error) *error = text;
}

// A working database built whole in the user's work folder (where what a
// killed process left is swept) and then moved over the one it replaces.
class FreshDatabase {
public:
    explicit FreshDatabase(const QString& target) : m_target(target) {
        const int fd = qor::CreateWorkFile(QStringLiteral(".Mdb"), &m_path);
        if (fd < 0)
            throw JetError(LoadErrorText(qor::str::kCannotWriteWithReason)
                               .arg(target, qor::FileErrorText(errno)));
        ::close(fd);
    }
    ~FreshDatabase() {
        if (!m_path.isEmpty()) QFile::remove(m_path);
    }
    FreshDatabase(const FreshDatabase&) = delete;
    FreshDatabase& operator=(const FreshDatabase&) = delete;
    QString fileName() const { return m_path; }
    void commit() {
        int error = 0;
        if (!qor::MoveFileInto(m_path, m_target, &error, true))
            throw JetError(LoadErrorText(qor::str::kCannotReplaceWithReason)
                               .arg(m_target, qor::FileErrorText(error)));
        m_path.clear();
    }

private:
    QString m_target;
    QString m_path;
};

// Copies the table of a text or dBASE file into a fresh working database
// and moves it over mdbPath, record by record as the file is read.
int importFolderTable(const QString& source, const QString& mdbPath, const QString& tableName,
                      QString* error) {
    try {
        FreshDatabase beside(mdbPath);
        {
            auto dst = Database::create(beside.fileName());
            struct Copy : RecordSink {
                Database* dst;
                QString table;
                void begin(const QList<FieldInfo>& fields) override {
                    dst->createTable({table, true, 0}, fields);
                }
                bool record(const QVariantList& row) override {
                    dst->addRecord(table, row);
                    return true;
                }
            } copy;
            copy.dst = dst.get();
            copy.table = tableName;
            // The table and its records are one transaction.
            dst->beginBulk();
            readDataFileTable(source, copy);
            dst->commitBulk();
        }
        beside.commit();
        return 1;
    } catch (const JetError& e) {
        fail(error, e.message());
        return 0;
    }
}

// Copies every user table of a file of several tables whose name ends in
// suffix ("$" for a workbook, ":" for a Lotus file), names kept, into a
// fresh working database moved over mdbPath.
int importFileTables(const QString& source, DataFileKind kind, QChar suffix, const QString& mdbPath,
                     QString* error, QStringList* notes) {
    try {
        auto src = Database::open(source, connectStringOf(kind), false, true);
        FreshDatabase beside(mdbPath);
        {
            auto dst = Database::create(beside.fileName());
            dst->beginBulk();
            for (const TableDefInfo& def : src->tableDefs()) {
                if (!isUserTable(def.attributes) || !def.name.endsWith(suffix)) continue;
                Recordset rs = src->openTable(def.name);
                dst->createTable({def.name, true, 0}, rs.fields());
                for (const QVariantList& row : rs.takeRows()) dst->addRecord(def.name, row);
                if (notes) *notes += src->readNotes(def.name);
            }
            dst->commitBulk();
        }
        beside.commit();
        return 1;
    } catch (const JetError& e) {
        fail(error, e.message());
        return 0;
    }
}

// The user tables of a working database, each named by its name cut at
// "$", ":" or "#", for a writer of a file of several tables.
QList<NamedTable> tablesToWrite(const QString& mdbPath) {
    auto src = Database::open(mdbPath, QString(), false, true);
    QList<NamedTable> tables = userTablesOf(*src);
    if (tables.isEmpty()) throw JetError(LoadErrorText(qor::str::kNoTableToWrite).arg(mdbPath));
    for (NamedTable& t : tables) {
        const QString cut = TrimAtDelimiters(t.name);
        if (!cut.isEmpty()) t.name = cut;
    }
    return tables;
}

// The text export: the records of every user table go from the database
// to the file one at a time, laid out by the first table.
int exportToTextFile(const QString& mdbPath, const QString& target, QString* error, QStringList* notes) {
    try {
        auto src = Database::open(mdbPath, QString(), false, true);
        QStringList tables;
        QList<FieldInfo> fields;
        for (const TableDefInfo& def : src->tableDefs()) {
            if (!isUserTable(def.attributes)) continue;
            const QList<FieldInfo> own = src->fields(def.name);
            if (tables.isEmpty())
                fields = own;
            else if (own.size() > fields.size() && notes)
                notes->append(LoadErrorText(qor::str::kFieldsBeyondFirstTable)
                                  .arg(def.name)
                                  .arg(own.size() - fields.size())
                                  .arg(fields.size()));
            tables.append(def.name);
        }
        if (tables.isEmpty()) throw JetError(LoadErrorText(qor::str::kNoTableToWrite).arg(mdbPath));
        const qsizetype width = fields.size();
        writeTextTable(
            target, fields,
            [&](const std::function<void(const QVariantList&)>& take) {
                for (const QString& t : tables)
                    src->forEachRecord(t, [&](const QVariantList& row) {
                        if (row.size() == width) return take(row);
                        QVariantList fitted = row;
                        fitted.resize(width);
                        take(fitted);
                    });
            },
            notes);
        return 1;
    } catch (const JetError& e) {
        fail(error, e.message());
        return 0;
    }
}

int exportToFolderFile(const QString& mdbPath, const QString& target, bool text, QString* error,
                       QStringList* notes) {
    if (text) return exportToTextFile(mdbPath, target, error, notes);
    try {
        auto src = Database::open(mdbPath, QString(), false, true);
        LoadedTable out;
        bool first = true;
        for (const TableDefInfo& def : src->tableDefs()) {
            if (!isUserTable(def.attributes)) continue;
            Recordset rs = src->openTable(def.name);
            if (first) {
                out.fields = rs.fields();
                first = false;
            } else if (rs.fieldCount() > out.fields.size() && notes) {
                notes->append(LoadErrorText(qor::str::kFieldsBeyondFirstTable)
                                  .arg(def.name)
                                  .arg(rs.fieldCount() - out.fields.size())
                                  .arg(out.fields.size()));
            }
            // Records of a table laid out as the first are taken whole.
            QList<QVariantList> rows = rs.takeRows();
            if (out.rows.isEmpty()) out.rows.reserve(rows.size() * src->tableDefs().size());
            for (QVariantList& row : rows) {
                row.resize(out.fields.size());
                out.rows.append(std::move(row));
            }
        }
        if (first) throw JetError(LoadErrorText(qor::str::kNoTableToWrite).arg(mdbPath));
        writeDBaseFile(target, out, notes);
        return 1;
    } catch (const JetError& e) {
        fail(error, e.message());
        return 0;
    }
}

bool needFullPath(const QString& path, QString* error) {
    if (IsFullPathName(path)) return true;
    fail(error, LoadErrorText(qor::str::kNotAFullPath).arg(path));
    return false;
}

}  // namespace

qint64 readDataFileTable(const QString& path, RecordSink& sink) {
    const QString folder = FileNameFromPath(path);
    if (!QFileInfo(folder).isDir())
        throw JetError(LoadErrorText(qor::str::kNotAFolderPath).arg(folder));
    const QString file = QDir(folder).filePath(findInFolder(folder, QFileInfo(path).fileName()));
    if (!QFileInfo(file).isFile())
        throw JetError(LoadErrorText(qor::str::kObjectNotFound).arg(JetTableNameFromPath(path)));
    return dataFileKindFromPath(path) == DataFileKind::Text ? readTextTable(file, sink)
                                                            : readDBaseTable(file, sink);
}

int ConvertTextFileToMdb(const QString& textPath, const QString& mdbPath, const QString& tableName,
                         QString* error) {
    if (textPath.isEmpty() || mdbPath.isEmpty() || tableName.isEmpty()) return 0;
    if (!needFullPath(textPath, error)) return 0;
    return importFolderTable(textPath, mdbPath, tableName, error);
}

int ConvertDbfFileToMdb(const QString& dbfPath, const QString& mdbPath, const QString& tableName,
                        QString* error) {
    if (dbfPath.isEmpty() || mdbPath.isEmpty() || tableName.isEmpty()) return 0;
    if (!needFullPath(dbfPath, error)) return 0;
    return importFolderTable(dbfPath, mdbPath, tableName, error);
}

int ConvertMdbToTextFile(const QString& mdbPath, const QString& textPath, QString* error, QStringList* notes) {
    if (mdbPath.isEmpty() || textPath.isEmpty()) return 0;
    if (!needFullPath(textPath, error)) return 0;
    return exportToFolderFile(mdbPath, textPath, true, error, notes);
}

int ConvertMdbToDbfFile(const QString& mdbPath, const QString& dbfPath, QString* error, QStringList* notes) {
    if (mdbPath.isEmpty() || dbfPath.isEmpty()) return 0;
    if (!needFullPath(dbfPath, error)) return 0;
    return exportToFolderFile(mdbPath, dbfPath, false, error, notes);
}

int ConvertMdbToXlsFile(const QString& mdbPath, const QString& xlsPath, QString* error, QStringList* notes) {
    if (mdbPath.isEmpty() || xlsPath.isEmpty()) return 0;
    try {
        writeValuesWorkbook(xlsPath, tablesToWrite(mdbPath), notes);
        return 1;
    } catch (const JetError& e) {
        fail(error, e.message());
        return 0;
    }
}

int ConvertMdbToWk4File(const QString& mdbPath, const QString& wk4Path, QString* error, QStringList* notes) {
    if (mdbPath.isEmpty() || wk4Path.isEmpty()) return 0;
    try {
        writeLotusFile(wk4Path, tablesToWrite(mdbPath), notes);
        return 1;
    } catch (const JetError& e) {
        fail(error, e.message());
        return 0;
    }
}

int ConvertXlsFileToMdb(const QString& xlsPath, const QString& mdbPath, QString* error, QStringList* notes) {
    if (xlsPath.isEmpty() || mdbPath.isEmpty()) return 0;
    return importFileTables(xlsPath, DataFileKind::Excel, u'$', mdbPath, error, notes);
}

int ConvertWk4FileToMdb(const QString& wk4Path, const QString& mdbPath, QString* error, QStringList* notes) {
    if (wk4Path.isEmpty() || mdbPath.isEmpty()) return 0;
    return importFileTables(wk4Path, DataFileKind::Lotus, u':', mdbPath, error, notes);
}
