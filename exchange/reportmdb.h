#pragma once
// A report and a working database: every page as a table of its own and
// back. The database written is the engine's working database (the form
// the exchange chains hand to the file converters); the document's save
// chain turns it into the file type the user asked for.
//
// Targets are built beside their path and renamed into place on success:
// a failure leaves whatever was at the path as it was.

#include <QString>
#include <QStringList>

class CReportHandle;

// Every page into table "Sheet<n>": columns as fields "A".., the placed
// keywords as fields after them, filled in the first record. The report
// comes back in its state and on its page. 1, or 0 with *error.
int ExportReportToMdb(CReportHandle* report, const QString& dbPath, QString* error = nullptr);
// One page (from 1) into table "SHEET", without keyword fields.
int ExportPageToMdb(CReportHandle* report, const QString& dbPath, int page, QString* error = nullptr);
// The report file at reportPath, read without taking it from its writer.
int ExportReportFileToMdb(const QString& reportPath, const QString& dbPath, QString* error = nullptr);
// A new report file at reportPath: one page per user table of the database
// at dbPath, the table sized to the largest of them within 9,999 rows and
// 255 columns (what lies beyond is in *notes).
int ImportMdbToReport(const QString& dbPath, const QString& reportPath, QString* error = nullptr,
                      QStringList* notes = nullptr);
