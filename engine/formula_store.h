#pragma once
// The formula list of a report ("FRML") as edits change it: setting a
// formula on an area that cuts older area formulas, and table shape edits.
// An area formula is one text whose references move with each target cell
// (engine/formulaeval.h); when only part of its area stays, the rest is
// kept as pieces whose texts are rewritten so that every cell goes on
// reading what it read before.

#include <QString>
#include <vector>

#include "engine/csheetpage.h"
#include "engine/reportlayout.h"

namespace qor {

inline bool AreasIntersect(const AreaRecord& a, const AreaRecord& b) {
    return a.r1 <= b.r2 && b.r1 <= a.r2 && a.c1 <= b.c2 && b.c1 <= a.c2;
}
// The parts of from outside cut: at most four areas (bands above and below,
// then left and right of cut), none when cut covers from.
std::vector<AreaRecord> AreaMinus(const AreaRecord& from, const AreaRecord& cut);

// The text of a formula as a formula set on a piece of its area whose
// first cell lies (dr, dc) from the area's first cell: every reference that
// moves with the target cell is moved by (dr, dc). A reference moved past
// the table's letters and numbers becomes a mark that does not compile.
// False when no checker is installed or the text does not parse.
bool ShiftFormulaText(const QString& text, int dr, int dc, QString* out);

// The formulas after text is set on area (removed when text is empty):
// older formulas inside area go, those that it cuts keep their other cells
// as pieces. 0; 1 (nothing changed) when a piece needs a rewritten text
// and no checker can make it; 1250 when a rewritten text would pass 1,025
// characters; 1240 past 20,000 formulas.
uint16_t ReplaceAreaFormulas(std::vector<FormulaRecord>* formulas, const AreaRecord& area,
                             const QString& text, uint16_t kind);

// The formulas of a table of step.oldRows x step.oldCols after a shape
// edit. Each formula keeps the cells that survive; where rows or columns
// were inserted into, deleted from or moved within its area, or within
// what it reads, so that one text can no longer serve the cells on both
// sides, it is cut in pieces. References follow the rows and columns they
// name; a reference whose every cell was deleted becomes a mark that does
// not compile (the formula then shows as in error until it is edited). A
// formula none of whose cells survive goes. Without a checker the areas
// follow their corners and the texts stay as written; so does a text its
// rewrite would take past 1,025 characters.
std::vector<FormulaRecord> RemapFormulas(const std::vector<FormulaRecord>& formulas,
                                         const RemapMatrix& step);

// Sets the formula bit of the cell format words to the cells the formula
// list covers (the bit mirrors the list; the list decides).
void SyncFormulaBits(ReportFormat& format);

}  // namespace qor
