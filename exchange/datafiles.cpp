#include "exchange/datafiles.h"

#include <QDir>
#include <QFileInfo>

#include "engine/messages.h"
#include "engine/paths.h"
#include "exchange/jetdriver.h"

using namespace qor::jet;

namespace {

// The folder a text or dBASE file's database is: its own folder, the
// current one for a bare name.
QString folderOf(const QString& path) {
    const QString folder = FileNameFromPath(path);
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

void fail(const QString& trace, const JetError& e, QString* error) {
    TraceMessage(trace + QLatin1Char(' ') + e.message());
    if (error) *error = e.message();
}

// A folder, a FIFO or a device at the name is no data file: the kinds
// tried would each say it is not theirs, or wait on the FIFO for a writer.
// A name with nothing at it is left to the drivers (a text or dBASE table
// is found whatever the case of its name).
void refuseOtherThanAFile(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw JetError(LoadErrorText(qor::str::kOpenNotAPlainFile).arg(path));
}

// A text or dBASE file is the one table of itself, listed before it is
// read, unless something other than a file stands at its name.
bool fileOfOneTable(const QString& path, int traceId, QString* error) {
    try {
        refuseOtherThanAFile(path);
        return true;
    } catch (const JetError& e) {
        fail(LoadErrorText(traceId), e, error);
        return false;
    }
}

}  // namespace

std::unique_ptr<Database> OpenDataFileDatabase(const QString& path, bool exclusive, bool readOnly,
                                               int* kind) {
    refuseOtherThanAFile(path);
    const DataFileKind k = dataFileKindFromPath(path);
    const bool folderKind = k == DataFileKind::Text || k == DataFileKind::DBase;
    try {
        auto db = Database::open(folderKind ? folderOf(path) : path, connectStringOf(k), exclusive, readOnly);
        if (kind) *kind = int(k);
        return db;
    } catch (const JetError&) {
    }
    for (const DataFileKind retry :
         {DataFileKind::Text, DataFileKind::DBase, DataFileKind::Lotus, DataFileKind::Excel}) {
        try {
            auto db = Database::open(path, connectStringOf(retry), exclusive, readOnly);
            if (kind) *kind = int(retry);
            return db;
        } catch (const JetError&) {
        }
    }
    auto db = Database::open(path, QString(), exclusive, readOnly);
    if (kind) *kind = int(DataFileKind::Access);
    return db;
}

bool IsFullPathName(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return false;
    QString bare = path;
    // A folder written with its trailing separator is still in normal form.
    if (bare.size() > 1 && bare.endsWith(u'/')) bare.chop(1);
    return QDir::cleanPath(bare) == bare;
}

int GetDataFileTableCount(const QString& path, QString* error) {
    if (path.isEmpty()) return 0;
    const DataFileKind k = dataFileKindFromPath(path);
    if (k == DataFileKind::Text || k == DataFileKind::DBase)
        return fileOfOneTable(path, qor::str::kMdbTableCountFailed, error) ? 1 : 0;
    try {
        auto db = OpenDataFileDatabase(path, false, true, nullptr);
        return int(db->tableDefs().size());
    } catch (const JetError& e) {
        fail(LoadErrorText(qor::str::kMdbTableCountFailed), e, error);
        return 0;
    }
}

QString GetDataFileTableName(const QString& path, int index, QString* error) {
    if (path.isEmpty()) return QString();
    const DataFileKind k = dataFileKindFromPath(path);
    if (k == DataFileKind::Text || k == DataFileKind::DBase)
        return fileOfOneTable(path, qor::str::kMdbTableNameFailed, error) ? JetTableNameFromPath(path)
                                                                          : QString();
    try {
        auto db = OpenDataFileDatabase(path, false, true, nullptr);
        const QList<TableDefInfo> defs = db->tableDefs();
        if (index < 0 || index >= defs.size()) return QString();
        return defs.at(index).name;
    } catch (const JetError& e) {
        fail(LoadErrorText(qor::str::kMdbTableNameFailed), e, error);
        return QString();
    }
}

int GetDataTableFieldCount(const QString& path, const QString& table, QString* error) {
    if (path.isEmpty() || table.isEmpty()) return 0;
    try {
        auto db = OpenDataFileDatabase(path, false, true, nullptr);
        return int(db->fields(table).size());
    } catch (const JetError& e) {
        fail(LoadErrorText(qor::str::kMdbTableCountFailed), e, error);
        return 0;
    }
}

int GetDataTableFieldInfo(FieldInfo* info, const QString& path, const QString& table, int index,
                          QString* error) {
    if (!info || path.isEmpty() || table.isEmpty()) return 0;
    try {
        auto db = OpenDataFileDatabase(path, false, true, nullptr);
        const QList<FieldInfo> fields = db->fields(table);
        if (index < 0 || index >= fields.size()) return 0;
        const qint64 records = db->recordCount(table);
        *info = fields.at(index);
        info->recordCount = records;
        info->required = records != 0;
        return 1;
    } catch (const JetError& e) {
        fail(LoadErrorText(qor::str::kMdbTableNameFailed), e, error);
        return 0;
    }
}
