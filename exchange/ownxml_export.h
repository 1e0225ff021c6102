#pragma once
// Writing an open report to the exchange file ("iqor_export"): the table
// as a page shows it, one element per cell (the first cell of a combined
// area standing for the area), with its format, formula, keyword and the
// values of the chosen pages, then one date per page.

#include <QString>
#include <QStringList>

#include "exchange/ownxml_settings.h"

class CReportHandle;

namespace qor {

struct OwnXmlExportResult {
    bool written = false;  // the file was saved
    bool cancelled = false;
    // The message the user is shown: 62042 done, 62041 no write access,
    // 62043 any other failure, 62026 a cell that cannot be mapped; 0 for
    // none (cancelled).
    int messageId = 0;
    QString detail;  // what went wrong, for logs and the command line
    // Texts longer than the file holds are written cut to their first
    // kCellValueTextChars characters: how many, and the first few places
    // ("B3", "page 2 keyword 6"), so that the user can be told.
    int cutTexts = 0;
    QStringList cutPlaces;
    // Other things the file does not carry as the report has them, a
    // line a kind (formulas written as their values alone).
    QStringList leftOut;
};

// "3 texts cut to 32 characters (B3, ...)" for a result that cut texts;
// empty otherwise.
QString CutTextsNote(const OwnXmlExportResult& result);
// Every line of what the written file does not carry: the cut texts, then
// the result's leftOut.
QStringList OwnXmlExportNotes(const OwnXmlExportResult& result);

// Writes the report with the given choice (no dialog, no message box).
// The target is written through a temporary file and renamed into place;
// a failure leaves it as it was. The report is only read.
OwnXmlExportResult WriteOwnXml(CReportHandle& report, const QString& target,
                               const ExportSetMembers& choice);

// Runs the export settings dialog for the report, then WriteOwnXml.
OwnXmlExportResult ExportOwnXml(CReportHandle& report, const QString& target);

}  // namespace qor

// The view's export command: finds the open report of reportPath, asks
// the export settings, writes target and tells the user the outcome.
// 1 when the file was written or the user cancelled; 0 on any failure
// (no open report of that path included), with the file left untouched.
int ExportReportXml(QString target, QString reportPath);
