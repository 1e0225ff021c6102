#pragma once
// The pivot of chosen cells over the current and every following page:
// one grid row per page, one column per cell, then the page keywords. The
// grid is plain strings so a thousand pages of 3,000 cells open quickly;
// saving it makes a new report of its header and rows.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include "cmdlang/calchooks.h"

class CReportHandle;

namespace qor {

struct PivotGrid {
    static constexpr int kMaxPages = 1000;
    static constexpr int kMaxCells = 3000;
    int rows = 0;
    int cols = 0;
    QVector<QString> cells;  // row-major
    const QString& at(int r, int c) const { return cells[qsizetype(r) * cols + c]; }
    QString& at(int r, int c) { return cells[qsizetype(r) * cols + c]; }
};

// Row 0 heads the columns (labels, else the cells' references, then the
// keyword names); column 0 names the pages ("第n页"). Rows or columns left
// out above the caps are marked " ......" on the last one kept.
PivotGrid BuildPivotGrid(CReportHandle& report, const QList<CalcRange>& areas,
                         const QStringList& labels);

// Writes the grid without its page column into a new report at path: the
// header becomes row 1, at most 9,999 rows and 255 columns (*note says what
// was left out). A text that is wholly a number is saved as a number, the
// rest (and the year, quarter, month and day columns) as texts. The report
// is built in a temporary file renamed into place only when complete; a
// report open in this program is refused. False with *error set, the old
// file untouched.
bool SavePivotGrid(const PivotGrid& grid, const QString& path, QString* error,
                   QString* note = nullptr);

}  // namespace qor
