#pragma once
// Template and pivot commands of the document: applying a report
// template, the custom-template wizard and the multi-area pivot.

#include <QString>

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

// Applies the chosen template through the document, which checks the file,
// asks its file password and 63157 first. 0 applied.
int ApplyReportTemplateDlg(CQorsDoc& doc, const ReportTemplateDlgMembers& m);
int OnReportTemplate(CQorsDoc& doc);

void OnCustomTemplate(CQorsDoc& doc);

// "BROWSE A1:C3,E5:G7" and, with labels, LABELS "北京,上海". Empty pieces of
// the area list are skipped. "" when a piece is not a cell or area
// reference (*badPiece names it).
QString BuildBrowseCommand(const MultiPivotDlgMembers& m, QString* badPiece = nullptr);
// Runs the browse command; 62196 for a bad area list.
int ApplyMultiPivotDlg(CQorsDoc& doc, const MultiPivotDlgMembers& m);
int OnMultiPivot(CQorsDoc& doc);

}  // namespace qor
