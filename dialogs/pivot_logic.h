#pragma once
// The pivot of chosen cells over the current and every following page:
// one grid row per page, one column per cell, then the page keywords. The
// grid is plain strings so a thousand pages of 3,000 cells open quickly; a
// number read from a cell is kept as its value and decimals and turned
// into its text only when shown. Saving it makes a new report of its
// header and rows.

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
    // Row-major texts; a number cell's text is made on first use.
    mutable QVector<QString> cells;
    // Empty, or one per cell: the value of a number cell and its decimals
    // (-1 for a text cell).
    QVector<double> numbers;
    QVector<qint8> places;

    bool IsNumber(int r, int c) const {
        const qsizetype i = qsizetype(r) * cols + c;
        return i < places.size() && places[i] >= 0;
    }
    double Number(int r, int c) const { return numbers[qsizetype(r) * cols + c]; }
    void SetNumber(int r, int c, double value, int decimals);
    // The cell's text as shown.
    const QString& at(int r, int c) const;
    // The cell as a text to change (a number cell becomes that text).
    QString& at(int r, int c);
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
