#pragma once
// Edit commands of the document: locate, find, sorting pages and the
// variable area, inserting and appending rows, columns and pages, swapping
// and deleting them.

#include <QList>
#include <QString>

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

// Sets CustomKeywordName from the report (empty unless the custom keyword
// is placed), as the sort, locate and find commands do before their
// dialogs.
void UpdateCustomKeywordName(const CQorsDoc& doc);

// Current page, row and column, from 1.
LocateDlgMembers PresetLocateDlg(const CQorsDoc& doc);
// The page becomes current (data state) and the cell the selection. A
// page or cell outside the report is told to the user; nothing moves.
int ApplyLocateDlg(CQorsDoc& doc, const LocateDlgMembers& m);
int OnLocate(CQorsDoc& doc);

FindDlgMembers PresetFindDlg(const CQorsDoc& doc);
void OnFind(CQorsDoc& doc);

// One condition of the find dialog as typed.
struct ConditionParts {
    QString keyword;
    QString op;
    QString value;
};
// "FIND FOR cond" (scope 0) or "GFIND FOR ;cond" (scope 1); the second
// condition follows " AND " (join 0) or " OR " (join 1). "" when a needed
// part is missing: nothing is to run.
QString BuildFindCommand(int scope, const ConditionParts& first, int join,
                         const ConditionParts& second);
// Runs a find command line (FIND, GFIND, CONTINUE) for the find dialog.
int RunFindCommand(CQorsDoc& doc, const QString& line);

// pageMode 1 sorts pages, 0 the current page's variable lines.
PageSortDlgMembers PresetPageSortDlg(const CQorsDoc& doc, int pageMode);
int ApplyPageSortDlg(CQorsDoc& doc, const PageSortDlgMembers& m);
int OnSortPages(CQorsDoc& doc);
int OnSortVarArea(CQorsDoc& doc);

// How many of an insert-count mode fit now: rows up to 9,999, columns up
// to 255, pages up to the page limit; in data state the lines the current
// page's area still takes. 0 when none does, *why saying so.
int InsertCountRoom(const CQorsDoc& doc, int mode, QString* why = nullptr);
// mode: an InsertCountMode; the room preset.
InsertCountDlgMembers PresetInsertCountDlg(const CQorsDoc& doc, int mode);
// Rows and columns are inserted before the selection's first one, pages
// before the current page. A page failure is told with 62050 (1035),
// 62051 (1040), 62049 (1090) or 62052 (anything else).
int ApplyInsertCountDlg(CQorsDoc& doc, const InsertCountDlgMembers& m);
// A report with no room left is told so; no dialog opens.
int OnInsertCount(CQorsDoc& doc, int mode);
// The message id of a failed page insert or append.
int PageInsertFailureMessage(int status);

SwapDlgMembers PresetSwapDlg(const CQorsDoc& doc, int mode);
int ApplySwapDlg(CQorsDoc& doc, const SwapDlgMembers& m);
int OnSwap(CQorsDoc& doc, int mode);

DeleteDlgMembers PresetDeleteDlg(const CQorsDoc& doc, int mode);
// The delete list read against what the members say there is: true with
// the numbers when the whole list can go; else the user was told why (a
// malformed list, a number outside, every row, column or line) and
// nothing is to change. The dialog and the command check through here.
bool DeleteListFits(const DeleteDlgMembers& m, QList<int>* items);
// The listed rows, columns or pages go from the highest down (a number
// listed twice goes once); then, for pages, "DELETE FOR condition" runs.
int ApplyDeleteDlg(CQorsDoc& doc, const DeleteDlgMembers& m);
int OnDelete(CQorsDoc& doc, int mode);

}  // namespace qor
