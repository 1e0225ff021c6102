#include "exchange/datafileconvert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

#include "engine/messages.h"
#include "engine/paths.h"
#include "exchange/datafiles.h"
#include "exchange/jetdriver.h"

using namespace qor::jet;

namespace {

// The failure text the user sees: what failed, then why.
void fail(QString* error, int secondMessage, const QString& why) {
    const QString text = LoadErrorText(62063) + LoadErrorText(secondMessage) + QLatin1Char('\n') + why;
    TraceMessage(text);
    if (error) *error = text;
}

// Copies one table of a folder driver into a fresh working database built
// beside mdbPath and renamed over it.
int importFolderTable(const QString& source, const QString& connect, const QString& mdbPath,
                      const QString& tableName, int failMessage, QString* error) {
    try {
        auto src = Database::open(FileNameFromPath(source), connect, false, true);
        const QString table = JetTableNameFromPath(source);
        const TableDefInfo def = src->tableDef(table);
        Recordset rs = src->openTable(def.name);

        QTemporaryFile beside(QFileInfo(mdbPath).absolutePath() + QStringLiteral("/.qormdbXXXXXX"));
        if (!beside.open()) throw JetError(QStringLiteral("Cannot write beside '%1': %2").arg(mdbPath, beside.errorString()));
        beside.close();
        {
            auto dst = Database::create(beside.fileName());
            dst->createTable({tableName, true, def.attributes}, rs.fields());
            for (rs.moveFirst(); !rs.isEOF(); rs.moveNext()) {
                QVariantList row;
                for (int i = 0; i < rs.fieldCount(); ++i) row.append(rs.value(i));
                dst->addRecord(tableName, row);
            }
        }
        if (std::rename(QFile::encodeName(beside.fileName()).constData(), QFile::encodeName(mdbPath).constData()) != 0)
            throw JetError(QStringLiteral("Cannot replace '%1'.").arg(mdbPath));
        beside.setAutoRemove(false);
        return 1;
    } catch (const JetError& e) {
        fail(error, failMessage, e.message());
        return 0;
    }
}

int exportToFolderFile(const QString& mdbPath, const QString& target, bool text, QString* error,
                       QStringList* notes) {
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
                notes->append(QStringLiteral("table \"%1\": %2 fields beyond the first table's %3 left out")
                                  .arg(def.name)
                                  .arg(rs.fieldCount() - out.fields.size())
                                  .arg(out.fields.size()));
            }
            for (rs.moveFirst(); !rs.isEOF(); rs.moveNext()) {
                QVariantList row;
                for (int i = 0; i < out.fields.size(); ++i) row.append(i < rs.fieldCount() ? rs.value(i) : QVariant());
                out.rows.append(row);
            }
        }
        if (first) throw JetError(QStringLiteral("The database '%1' holds no table to write.").arg(mdbPath));
        if (text) writeTextTable(target, out, notes);
        else writeDBaseFile(target, out, notes);
        return 1;
    } catch (const JetError& e) {
        fail(error, 62025, e.message());
        return 0;
    }
}

bool needFullPath(const QString& path, QString* error) {
    if (IsFullPathName(path)) return true;
    fail(error, 62025, QStringLiteral("'%1' is not a full path.").arg(path));
    return false;
}

}  // namespace

int ConvertTextFileToMdb(const QString& textPath, const QString& mdbPath, const QString& tableName,
                         QString* error) {
    if (textPath.isEmpty() || mdbPath.isEmpty() || tableName.isEmpty()) return 0;
    if (!needFullPath(textPath, error)) return 0;
    return importFolderTable(textPath, QStringLiteral("Text;"), mdbPath, tableName, 62024, error);
}

int ConvertDbfFileToMdb(const QString& dbfPath, const QString& mdbPath, const QString& tableName,
                        QString* error) {
    if (dbfPath.isEmpty() || mdbPath.isEmpty() || tableName.isEmpty()) return 0;
    if (!needFullPath(dbfPath, error)) return 0;
    return importFolderTable(dbfPath, QStringLiteral("dBASE IV"), mdbPath, tableName, 62025, error);
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
    if (!needFullPath(xlsPath, error)) return 0;
    try {
        auto src = Database::open(mdbPath, QString(), false, true);
        const QList<NamedTable> tables = userTablesOf(*src);
        if (tables.isEmpty()) throw JetError(QStringLiteral("The database '%1' holds no table to write.").arg(mdbPath));
        writeValuesWorkbook(xlsPath, tables, notes);
        return 1;
    } catch (const JetError& e) {
        fail(error, 62025, e.message());
        return 0;
    }
}
