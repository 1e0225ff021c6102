#pragma once
// Opening a data file as a report and saving a report as a data file: the
// one chain the document, the CONVERT command and "qor convert" share.
// Text and dBASE files are read through a temporary working database: the
// file into its table "1", then one page per user table. A report is saved
// as a dBASE or Access file straight from its pages, page by page; as the
// other kinds through a working database of tables "Sheet1".., then the
// file.

#include <QString>
#include <QStringList>

class CReportHandle;

namespace qor::jet {
class Database;
}

// Fills report (open, new, in format state) from the data file at path.
// 1 on success; 0 with *error. *notes gets what was cut.
int ImportDataFileToReport(const QString& path, CReportHandle* report, QString* error = nullptr,
                           QStringList* notes = nullptr);

// Writes the report (every page when page is 0, else that page, from 1)
// as the data file at path, which is replaced only on success. 1 on
// success; 0 with *error and the file at path as it was. *notes gets what
// was cut or renamed.
int ExportReportToDataFile(CReportHandle* report, const QString& path, int page, QString* error = nullptr,
                           QStringList* notes = nullptr);

// Writes the report's values (every page when page is 0) as a workbook:
// one worksheet per page ("Sheet<n>", or "SHEET" for one page), the
// column letters in its first row, records after; no formats. 1, or 0
// with *error and the file at path as it was.
int ExportReportToValuesWorkbook(CReportHandle* report, const QString& path, int page,
                                 QString* error = nullptr, QStringList* notes = nullptr);

// True when the chain reads (or writes) files of this kind now.
bool DataFileChainReads(const QString& path);
bool DataFileChainWrites(const QString& path);

// The report's pages as tables of db: "Sheet<n>" for every page, or the
// one page as "SHEET". Columns are fields "A", "B" ..: Text when a cell of
// the column is a text or label cell, Double otherwise; one record per row.
// The report comes back in the state and on the page it was in. 1 or 0
// with *error.
int ExportReportPagesToDatabase(CReportHandle* report, qor::jet::Database& db, int page, QString* error);

// The user tables of db written as the Access file at path (replaced only
// on success). 1, or 0 with *error; *notes gets what was cut.
int ConvertDatabaseToAccessFile(qor::jet::Database& db, const QString& path, QString* error,
                                QStringList* notes);

// Pages from the user tables of db, one page each, the table sized to the
// largest of them within 9,999 rows and 255 columns (what lies beyond is
// in *notes). report is new and in format state; it ends in data state.
int ImportDatabaseToReport(qor::jet::Database& db, CReportHandle* report, QString* error, QStringList* notes);
// The same from the database file at dbPath (an Access file or a working
// database), opened read-only; a file that is no database throws the
// database layer's JetError.
int ImportDatabaseFileToReport(const QString& dbPath, CReportHandle* report, QString* error,
                               QStringList* notes);
