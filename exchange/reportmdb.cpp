#include "exchange/reportmdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/workfiles.h"
#include "exchange/datafilechain.h"
#include "exchange/jetdb.h"
#include "platform/safefile.h"

using namespace qor::jet;

namespace {

// A file built whole in the user's work folder (where what a killed
// process left is swept) and moved onto the target once whole; removed on
// every other path. The database library and the report write it by
// name, so it cannot be a locked temporary beside the target.
class BesideFile {
public:
    BesideFile(const QString& target, const QString& suffix) : m_target(target) {
        const int fd = qor::CreateWorkFile(suffix, &m_path);
        if (fd < 0) {
            m_error = qor::FileErrorText(errno);
            m_path.clear();
            return;
        }
        ::close(fd);
    }
    ~BesideFile() {
        if (!m_path.isEmpty()) QFile::remove(m_path);
    }
    BesideFile(const BesideFile&) = delete;
    BesideFile& operator=(const BesideFile&) = delete;

    bool ok() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    QString error() const {
        return LoadErrorText(qor::str::kCannotWriteWithReason).arg(m_target, m_error);
    }
    // The name freed for a writer that must make the file itself.
    void release() { QFile::remove(m_path); }
    bool commit(QString* error) {
        // Synced, given the permissions a saved file gets, and moved.
        int e = 0;
        if (!qor::MoveFileInto(m_path, m_target, &e, /*replace=*/true)) {
            if (error)
                *error = LoadErrorText(qor::str::kCannotReplaceWithReason)
                             .arg(m_target, qor::FileErrorText(e));
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    QString m_target;
    QString m_path;
    QString m_error;
};

int exportPages(CReportHandle* report, const QString& dbPath, int page, QString* error) {
    if (!report || dbPath.isEmpty()) return 0;
    // A report without pages is given one by the export: page 1 is there.
    if (page != 0 && (page < 1 || page > std::max(1, report->GetPageCount()))) {
        if (error) *error = LoadErrorText(qor::str::kReportLacksPage).arg(page);
        return 0;
    }
    BesideFile beside(dbPath, QStringLiteral(".tmp"));
    if (!beside.ok()) {
        if (error) *error = beside.error();
        return 0;
    }
    try {
        {
            auto db = Database::create(beside.path());
            if (!ExportReportPagesToDatabase(report, *db, page, error)) return 0;
        }
        // The database's journal is gone once it is closed; the file is whole.
        return beside.commit(error) ? 1 : 0;
    } catch (const JetError& e) {
        if (error) *error = LoadErrorText(qor::str::kConvertFileFailed) + u'\n' + e.message();
        return 0;
    }
}

}  // namespace

int ExportReportToMdb(CReportHandle* report, const QString& dbPath, QString* error) {
    return exportPages(report, dbPath, 0, error);
}

int ExportPageToMdb(CReportHandle* report, const QString& dbPath, int page, QString* error) {
    if (page == 0) {
        if (error) *error = LoadErrorText(qor::str::kReportWithoutPages);
        return 0;
    }
    return exportPages(report, dbPath, page, error);
}

int ExportReportFileToMdb(const QString& reportPath, const QString& dbPath, QString* error) {
    if (reportPath.isEmpty() || dbPath.isEmpty()) return 0;
    CReportHandle report(reportPath, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    if (!report.IsOpen()) {
        if (error)
            *error = report.ErrorText().isEmpty() ? LoadErrorText(qor::str::kCannotProcessReport)
                                                        .arg(reportPath)
                                                        .arg(report.OpenStatus())
                                                  : report.ErrorText();
        return 0;
    }
    return ExportReportToMdb(&report, dbPath, error);
}

int ImportMdbToReport(const QString& dbPath, const QString& reportPath, QString* error, QStringList* notes) {
    if (dbPath.isEmpty() || reportPath.isEmpty()) return 0;
    BesideFile beside(reportPath, QStringLiteral(".rep"));
    if (!beside.ok()) {
        if (error) *error = beside.error();
        return 0;
    }
    try {
        // The report makes its file itself, at a name nobody holds.
        beside.release();
        {
            CReportHandle report(beside.path(), CReportHandle::OpenMode::CreateNew);
            if (!report.IsOpen()) {
                if (error)
                    *error = LoadErrorText(qor::str::kCannotProcessReport)
                                 .arg(reportPath)
                                 .arg(report.OpenStatus());
                return 0;
            }
            if (!ImportDatabaseFileToReport(dbPath, &report, error, notes)) return 0;
            if (const uint16_t s = report.Save()) {
                if (error)
                    *error = LoadErrorText(qor::str::kCannotProcessReport).arg(reportPath).arg(s);
                return 0;
            }
        }
        return beside.commit(error) ? 1 : 0;
    } catch (const JetError& e) {
        if (error) *error = LoadErrorText(qor::str::kConvertFileFailed) + u'\n' + e.message();
        return 0;
    }
}
