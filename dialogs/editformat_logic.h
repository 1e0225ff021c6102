#pragma once
// What the locate, find, sort, table-shape and page-setup dialogs decide,
// kept apart from their widgets so it runs headless. Each check reads the
// texts as typed, writes the members only as far as they pass, and names
// the message and the control at fault when it refuses.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

#include "dialogs/dlgexchange.h"
#include "document/cmd_dialogs.h"

namespace qor {

// ---- locate and find

// Column letters first (62228), then the page 1..99,999 and the row
// 1..9,999; the column comes back from 1.
DlgRefusal CheckLocate(const QString& page, const QString& row, const QString& columnText,
                       LocateDlgMembers* m);

// The names the find dialog offers for cells of the variable area: V_A,
// V_B ... for a row area (kind 1), V_1, V_2 ... for a column area (kind 2).
QStringList FindVarCellNames(int32_t kind, int32_t size);
// The values offered for a keyword: its list from the report; for the
// report's custom keyword (its name typed or chosen) the custom values.
QStringList FindKeywordValues(const KeywordValueLists& values, const QString& keyword,
                              const QString& customName);

// ---- page sort

// 年 季 月 日 单位名称 单位编号 and then the custom name when there is one.
QStringList PageSortKeywordNames(const QString& customName);
// The three key texts (combos in page mode, edits for the variable area)
// into keys, cells and orders; orders already chosen are kept. Cells come
// back from 1.
DlgRefusal CheckPageSort(const std::array<QString, 3>& keys, const QString& customName,
                         PageSortDlgMembers* m);

// ---- table shape

constexpr int kMaxTableRows = 9999;
constexpr int kMaxTableCols = 255;
constexpr int kMaxRowHeightMm = 160;
constexpr int kMaxColWidthMm = 220;
constexpr int kMaxVarAreaCount = 9998;
constexpr int kMaxVarAreaColumns = 254;

DlgRefusal CheckTableSize(const QString& rows, const QString& cols, TableSizeDlgMembers* m);
// count 1..9,998; a column area (kindIndex 1) at most 254 columns (62117).
// The kind comes back as 1 rows or 2 columns.
DlgRefusal CheckSetVarArea(const QString& count, int32_t kindIndex, SetVarAreaDlgMembers* m);
// The millimetres of a row height or column width edit; the points follow
// only when the millimetres changed, so an unchanged size keeps its exact
// points.
DlgRefusal CheckRowHeight(const QString& mm, RowHeightDlgMembers* m);
DlgRefusal CheckColWidth(const QString& mm, ColWidthDlgMembers* m);

// The draw-lines radios in the order of the line types 0..5.
constexpr std::array<int, 6> kDrawLineTypeRadios{1006, 1007, 1008, 1010, 1009, 1011};

// ---- page setup

// A range number from 0 as shown: column letters for columns (kind 1),
// otherwise the row number from 1.
QString PageSetupRangeText(int32_t value, int32_t rangeKind);
// The scale in tenths (3 .. 30 in range) and back ("%0.1f"); a text that is
// no number reads as 0.
int ScaleTenths(const QString& text);
QString ScaleText(int tenths);
// One spin step in tenths: down stops at 0.4, up at 3.0, so repeated
// steps never drift past the limits.
QString ScaleSpinStep(const QString& text, int delta);

struct PageSetupTexts {
    QString left, right, top, bottom, scale;
    QString headerFirst, headerLast, footerFirst, footerLast;
};
// Margins 0..100, scale 0.3..3.0, then the enabled ranges (rows unless the
// kind is 1) against the table's last row or column. A disabled range keeps
// its members.
DlgRefusal CheckPageSetup(const PageSetupTexts& t, PageSetupDlgMembers* m);

}  // namespace qor
