#pragma once
// Format commands of the document: cell style, row height, column width,
// combined cells, variable area, table styles, area lines and page setup.

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

// Each member from the selection's cells; -1 where they differ.
CellStyleDlgMembers PresetCellStyleDlg(const CQorsDoc& doc);
// Writes every member that is not -1 to the selection (codes 1, 2, 10,
// 11, 12, 8, 7, 9, 16 in that order).
int ApplyCellStyleDlg(CQorsDoc& doc, const CellStyleDlgMembers& m);
int OnCellStyle(CQorsDoc& doc);

// The first selected row's height, in points and millimetres.
RowHeightDlgMembers PresetRowHeightDlg(const CQorsDoc& doc);
// Every row of the area gets the height in millimetres turned into points
// (mm / 0.3527 + 0.5); when the millimetres are those the points member
// shows, the points member is kept as it is, so confirming an unchanged
// height changes nothing. A height of 0 for 100 rows or more is refused
// with 62650.
int ApplyRowHeightDlg(CQorsDoc& doc, const RowHeightDlgMembers& m);
int OnRowHeight(CQorsDoc& doc);

ColWidthDlgMembers PresetColWidthDlg(const CQorsDoc& doc);
int ApplyColWidthDlg(CQorsDoc& doc, const ColWidthDlgMembers& m);
int OnColWidth(CQorsDoc& doc);

CombineCellsDlgMembers PresetCombineCellsDlg(const CQorsDoc& doc);
// By the button: the whole area, each row, each column, or undone. A
// refusal is told to the user and ends the command.
int ApplyCombineCellsDlg(CQorsDoc& doc, const CombineCellsDlgMembers& m);
int OnCombineCells(CQorsDoc& doc);

SetVarAreaDlgMembers PresetSetVarAreaDlg(const CQorsDoc& doc);
// The area starts at the selection's first row (rows vary) or column.
int ApplySetVarAreaDlg(CQorsDoc& doc, const SetVarAreaDlgMembers& m);
int OnSetVarArea(CQorsDoc& doc);

ApplyFormatDlgMembers PresetApplyFormatDlg(const CQorsDoc& doc);
// The style goes to the selection, or to the whole table without one.
int ApplyApplyFormatDlg(CQorsDoc& doc, const ApplyFormatDlgMembers& m);
int OnApplyFormat(CQorsDoc& doc);

DrawLineDlgMembers PresetDrawLineDlg(const CQorsDoc& doc);
// 62478 when the report refuses the lines.
int ApplyDrawLineDlg(CQorsDoc& doc, const DrawLineDlgMembers& m);
int OnDrawLines(CQorsDoc& doc);

// Margins in millimetres, the scale, the repeated titles and the table's
// last row and column.
PageSetupDlgMembers PresetPageSetupDlg(const CQorsDoc& doc);
// Margins back to points (a margin whose millimetres did not change keeps
// its points), stored in the report and mirrored in the document.
int ApplyPageSetupDlg(CQorsDoc& doc, const PageSetupDlgMembers& m);
int OnPageSetup(CQorsDoc& doc);

// ---- decimal places (the format bar's 增加小数位 and 减少小数位)

// One decimal more (step 1) or fewer (step -1) on every number cell of the
// selection, each from its own count and kept within 0..7, as the cell
// attributes would store it. Other cells keep theirs. 0, or the report's
// status when it refused.
int StepDecimals(CQorsDoc& doc, int step);

}  // namespace qor
