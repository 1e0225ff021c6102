#pragma once
// What the document's commands share: reaching the report, the selection
// in the report's terms, showing messages, finishing a change (modified,
// views, server items), the keyword lists the find, condition and
// consolidation dialogs offer, and the millimetre rule of the size dialogs.

#include <QString>

#include "document/cmd_dialogs.h"
#include "engine/celltypes.h"

class CQorsDoc;
class CReportHandle;

namespace qor {

// The run mode the document's command lines run with.
constexpr int kCommandRunMode = 1;

// The document's report, null when it has none.
CReportHandle* DocReport(const CQorsDoc& doc);
// The selection as the report counts (from 1, shown coordinates).
CellArea DocSelectionArea(const CQorsDoc& doc);
DlgArea DocSelectionDlgArea(const CQorsDoc& doc);
// A dialog area (from 0) as the report counts it (from 1), ordered.
CellArea ReportArea(const DlgArea& area);

// A message box with the text of a string id / a text of our own.
void ShowMessageId(int id);
void ShowMessageText(const QString& text);
// After a change: marks the document modified and tells the views and
// the server items.
void FinishChange(CQorsDoc& doc, int hint);

// Lengths: the dialogs show millimetres, the report keeps points.
int MmFromPoints(int points);
int PointsFromMm(int mm);

// Keyword names as the dialogs list them, by slot (0 unit name, 1 unit
// code, 2 year, 3 quarter, 4 month, 5 day, 6 the custom keyword's name).
QString KeywordSlotName(const CQorsDoc& doc, int slot);
// 1 for every keyword slot that has a cell.
KeywordFlags PlacedKeywordFlags(const CQorsDoc& doc);
// The distinct keyword values of the first maxPages pages, in page order.
KeywordValueLists GatherKeywordValues(const CQorsDoc& doc, int maxPages = 50);
// Lines the variable-area conditions offer: 0 without an area, else the
// table's columns (row area) or rows (column area), at most 20.
int VarConditionLines(const CQorsDoc& doc, int* kind);

// One condition term: keyword, operator and value run together, the value
// in double quotes (as typed) for the unit name and unit code keywords. ""
// when a part is missing.
QString ConditionTerm(const QString& keyword, const QString& op, const QString& value);

}  // namespace qor
