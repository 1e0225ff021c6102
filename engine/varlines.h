#pragma once
// Adding and removing the current page's variable lines the way a clerk or
// a host asks for it: by the shown row (row area) or column (column area)
// number, within the area's extent, never the last line. The desktop and
// the Reader both go through here so that every route refuses the same
// things with the same words.

#include <QList>
#include <QString>

class CReportHandle;

namespace qor {

// Each returns 0 when done (the page recalculated and marked changed);
// otherwise the engine's status with *why saying, in the user's words,
// what stood in the way: format state, no area, a position off the used
// lines, the extent, the last line. Nothing changes on a refusal.

// count empty lines before the shown row or column pos (one past the last
// used line appends); pos 0 appends.
uint16_t InsertVarLinesAt(CReportHandle& report, int pos, int count, QString* why);
// The lines at the shown rows or columns listed (any order, repeats
// ignored).
uint16_t DeleteVarLinesAt(CReportHandle& report, QList<int> positions, QString* why);

// The check DeleteVarLinesAt makes before anything goes, for an area of
// this kind whose lines in use are shown from first on: 0, or the status
// with *why for a position off those lines or a list of every line.
uint16_t CheckVarLinesDelete(int kind, int first, int used, QList<int> positions, QString* why);

// How many more lines the current page's area takes: its extent less the
// lines in use. 0 when none, *why saying what stands in the way.
int VarLinesRoom(CReportHandle& report, QString* why);

// Why an area of this kind and extent would not hold the pages' lines:
// the first page that uses more; empty when all fit.
QString VarExtentRefusal(CReportHandle& report, int kind, int extent);

// Why an area of this kind, start and extent would cost the pages what
// they hold: the extent above, or the first page and cell of the start row
// (column) holding a value the area's lines would hide; empty when none.
QString VarAreaRefusal(CReportHandle& report, int kind, int start, int extent);

// Why the last change of the table was refused for a page's variable
// lines (lines past the table's last row or column, or an area with data
// losing its row or column); empty when it was not.
QString VarLinesLossRefusal(CReportHandle& report);

// The word a line is counted in: "行" for a row area, "列" for a column area.
QString VarLineWord(int kind);

}  // namespace qor
