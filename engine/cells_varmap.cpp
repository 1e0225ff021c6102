#include "engine/cells_varmap.h"

#include <algorithm>

namespace qor {

namespace {

// One axis of the mapping: count stored positions, an area starting at
// start (0 = none) with used lines.
struct Axis {
    int count;
    int start;
    int used;

    int shownCount() const { return start ? count + used - 1 : count; }

    // Stored position and line (-1 outside the area) of a shown position.
    bool map(int shown, int* stored, int* line) const {
        if (shown < 1 || shown > shownCount()) return false;
        *line = -1;
        if (!start || shown < start) {
            *stored = shown;
        } else if (shown < start + used) {
            *stored = start;
            *line = shown - start;
        } else {
            *stored = shown - used + 1;
        }
        return true;
    }

    int shownOf(int stored, bool last) const {
        if (!start || stored < start) return stored;
        if (stored == start) return last ? start + used - 1 : start;
        return stored + used - 1;
    }
};

Axis rowAxis(const ReportHeader& h, int used) {
    return {h.rows, h.varKind == 1 ? h.varStart : 0, std::max(used, 1)};
}

Axis colAxis(const ReportHeader& h, int used) {
    return {h.cols, h.varKind == 2 ? h.varStart : 0, std::max(used, 1)};
}

}  // namespace

bool MapShownCell(const ReportHeader& h, int used, int row, int col, StoredCell* out) {
    int r = 0, c = 0, rowLine = -1, colLine = -1;
    if (!rowAxis(h, used).map(row, &r, &rowLine) || !colAxis(h, used).map(col, &c, &colLine))
        return false;
    out->row = uint16_t(r);
    out->col = uint16_t(c);
    out->line = rowLine >= 0 ? rowLine : colLine;
    return true;
}

int ShownRowCount(const ReportHeader& h, int used) { return rowAxis(h, used).shownCount(); }

int ShownColCount(const ReportHeader& h, int used) { return colAxis(h, used).shownCount(); }

int ShownRowOf(const ReportHeader& h, int used, int storedRow, bool lastLine) {
    return rowAxis(h, used).shownOf(storedRow, lastLine);
}

int ShownColOf(const ReportHeader& h, int used, int storedCol, bool lastLine) {
    return colAxis(h, used).shownOf(storedCol, lastLine);
}

int MaxVarLines(const ReportHeader& h) {
    if (h.varKind == 1) return kMaxRows - h.rows + 1;
    if (h.varKind == 2) return kMaxCols - h.cols + 1;
    return 0;
}

int VarLineLimit(const ReportHeader& h) {
    if (!h.varKind) return 0;
    return std::max(1, std::min<int>(h.varExtent, MaxVarLines(h)));
}

}  // namespace qor
