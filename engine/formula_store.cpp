#include "engine/formula_store.h"

#include <algorithm>

#include "engine/cellformat.h"
#include "engine/formulaeval.h"
#include "engine/status.h"

namespace qor {

namespace {

// What a reference may name at all (letters A..IV, rows up to 9,999).
constexpr int kRefRows = 9999;
constexpr int kRefCols = 256;

// Old row or column -> new one along one axis (0 = deleted). Without a
// table (identity) every position keeps its number; positions beyond the
// old table are not the table's and keep theirs too.
struct AxisMap {
    const std::vector<uint16_t>* newOf = nullptr;  // index = old position

    int map(int old) const {
        if (!newOf) return old;
        if (old < 1 || old >= int(newOf->size())) return old;
        return (*newOf)[size_t(old)];
    }
    // The new span of the surviving positions of [a, b]; false when none.
    bool shrink(int a, int b, int* na, int* nb) const {
        int lo = 0, hi = 0;
        for (int i = a; i <= b; ++i) {
            const int n = map(i);
            if (!n) continue;
            if (!lo || n < lo) lo = n;
            if (n > hi) hi = n;
        }
        *na = lo;
        *nb = hi;
        return lo != 0;
    }
};

const AxisMap kIdentity;

bool inRange(int v, int limit) { return v >= 1 && v <= limit; }

// One reference for a piece whose first cell lies (dr, dc) from the
// formula's first cell, then through the shape edit.
void mapRef(FormulaRef& r, int dr, int dc, const AxisMap& rows, const AxisMap& cols) {
    switch (r.kind) {
        case FormulaRef::Cell:
        case FormulaRef::Area: {
            int r1 = r.area.r1, c1 = r.area.c1, r2 = r.area.r2, c2 = r.area.c2;
            if (r.shifts()) {
                r1 += dr;
                r2 += dr;
                c1 += dc;
                c2 += dc;
            }
            if (!inRange(r1, kRefRows) || !inRange(r2, kRefRows) || !inRange(c1, kRefCols) ||
                !inRange(c2, kRefCols)) {
                r.lost = true;
                return;
            }
            if (!r.external) {
                int nr1, nr2, nc1, nc2;
                if (!rows.shrink(r1, r2, &nr1, &nr2) || !cols.shrink(c1, c2, &nc1, &nc2)) {
                    r.lost = true;
                    return;
                }
                r1 = nr1;
                r2 = nr2;
                c1 = nc1;
                c2 = nc2;
            }
            r.area = {uint16_t(r1), uint16_t(c1), uint16_t(r2), uint16_t(c2)};
            return;
        }
        case FormulaRef::Var: {
            if (r.external) return;
            const AxisMap& axis = r.varAxis == 0 ? cols : rows;
            int a, b;
            if (!axis.shrink(r.index1, r.index2, &a, &b)) {
                r.lost = true;
                return;
            }
            r.index1 = uint16_t(a);
            r.index2 = uint16_t(b);
            return;
        }
        case FormulaRef::Keyword:
            return;
    }
}

enum class Rewrite { Ok, NoChecker, NotParsed };

Rewrite pieceText(const QString& text, int dr, int dc, const AxisMap& rows, const AxisMap& cols,
                  QString* out) {
    const std::shared_ptr<IFormulaChecker> checker = FormulaChecker();
    if (!checker) return Rewrite::NoChecker;
    const bool ok = checker->RewriteReferences(
        text,
        [&](FormulaRef& r) {
            mapRef(r, dr, dc, rows, cols);
            return true;
        },
        out);
    return ok ? Rewrite::Ok : Rewrite::NotParsed;
}

bool collectRefs(const QString& text, std::vector<FormulaRef>* refs) {
    const std::shared_ptr<IFormulaChecker> checker = FormulaChecker();
    if (!checker) return false;
    QString unused;
    return checker->RewriteReferences(
        text,
        [&](FormulaRef& r) {
            refs->push_back(r);
            return true;
        },
        &unused);
}

// Old position of a cell the reference reads from a target at offset k
// along one axis (rows: first = area.r1 ...), before the shape edit; 0 when
// it names nothing.
struct AxisProbe {
    int base;       // the reference's position for the formula's first cell
    bool external;  // not renumbered by the edit
};

// Runs of target positions [from, to] (old) that one text can serve after
// the edit: new positions consecutive, and every moving reference renumbered
// by the same step as the target.
struct Run {
    int oldFirst, oldLast, newFirst, newLast;
};

std::vector<Run> runsOf(int from, int to, int limit, const AxisMap& axis,
                        const std::vector<AxisProbe>& probes) {
    std::vector<Run> runs;
    auto readAt = [&](const AxisProbe& p, int s) {
        const int old = p.base + (s - from);
        if (!inRange(old, limit)) return 0;
        return p.external ? old : axis.map(old);
    };
    int start = 0, last = 0;
    for (int s = from; s <= to; ++s) {
        const int t = axis.map(s);
        if (!t) continue;
        bool joins = start && t == axis.map(last) + 1;
        for (size_t i = 0; joins && i < probes.size(); ++i) {
            const int g0 = readAt(probes[i], start);
            const int g = readAt(probes[i], s);
            joins = (g0 == 0 && g == 0) || (g0 && g && g == g0 + (t - axis.map(start)));
        }
        if (joins) {
            runs.back().oldLast = s;
            runs.back().newLast = t;
        } else {
            runs.push_back({s, s, t, t});
            start = s;
        }
        last = s;
    }
    return runs;
}

// Areas by their corners, texts as written: what the table edit does
// without a checker (and when the pieces would be too many to store).
std::vector<FormulaRecord> remapByCorners(const std::vector<FormulaRecord>& formulas,
                                          const AxisMap& rows, const AxisMap& cols) {
    std::vector<FormulaRecord> out;
    for (FormulaRecord fr : formulas) {
        const int r1 = rows.map(fr.area.r1), r2 = rows.map(fr.area.r2);
        const int c1 = cols.map(fr.area.c1), c2 = cols.map(fr.area.c2);
        if (!r1 || !r2 || !c1 || !c2) continue;
        fr.area = {uint16_t(std::min(r1, r2)), uint16_t(std::min(c1, c2)),
                   uint16_t(std::max(r1, r2)), uint16_t(std::max(c1, c2))};
        out.push_back(std::move(fr));
    }
    return out;
}

}  // namespace

std::vector<AreaRecord> AreaMinus(const AreaRecord& from, const AreaRecord& cut) {
    if (!AreasIntersect(from, cut)) return {from};
    std::vector<AreaRecord> parts;
    const uint16_t mr1 = std::max(from.r1, cut.r1), mr2 = std::min(from.r2, cut.r2);
    if (from.r1 < cut.r1) parts.push_back({from.r1, from.c1, uint16_t(cut.r1 - 1), from.c2});
    if (from.r2 > cut.r2) parts.push_back({uint16_t(cut.r2 + 1), from.c1, from.r2, from.c2});
    if (from.c1 < cut.c1) parts.push_back({mr1, from.c1, mr2, uint16_t(cut.c1 - 1)});
    if (from.c2 > cut.c2) parts.push_back({mr1, uint16_t(cut.c2 + 1), mr2, from.c2});
    return parts;
}

bool ShiftFormulaText(const QString& text, int dr, int dc, QString* out) {
    return pieceText(text, dr, dc, kIdentity, kIdentity, out) == Rewrite::Ok;
}

uint16_t ReplaceAreaFormulas(std::vector<FormulaRecord>* formulas, const AreaRecord& area,
                             const QString& text, uint16_t kind) {
    std::vector<FormulaRecord> result;
    result.reserve(formulas->size() + 1);
    for (const FormulaRecord& fr : *formulas) {
        if (!AreasIntersect(fr.area, area)) {
            result.push_back(fr);
            continue;
        }
        for (const AreaRecord& piece : AreaMinus(fr.area, area)) {
            FormulaRecord p = fr;
            p.area = piece;
            const int dr = piece.r1 - fr.area.r1, dc = piece.c1 - fr.area.c1;
            if (dr || dc) {
                QString moved;
                switch (pieceText(fr.text, dr, dc, kIdentity, kIdentity, &moved)) {
                    case Rewrite::Ok:
                        // Longer references (AA10 for Z9) may not fit.
                        if (moved.size() > kMaxFormulaChars) return code(Status::FormulaTooLong);
                        p.text = moved;
                        break;
                    case Rewrite::NotParsed:
                        break;  // it means nothing anywhere; kept for the user to mend
                    case Rewrite::NoChecker:
                        return code(Status::Refused);
                }
            }
            result.push_back(std::move(p));
        }
    }
    if (!text.isEmpty()) result.push_back({area, kind, 0, text});
    if (result.size() > kMaxFormulas) return code(Status::TooManyFormulas);
    *formulas = std::move(result);
    return 0;
}

std::vector<FormulaRecord> RemapFormulas(const std::vector<FormulaRecord>& formulas,
                                         const RemapMatrix& step) {
    std::vector<uint16_t> rowNew(size_t(step.oldRows) + 1, 0), colNew(size_t(step.oldCols) + 1, 0);
    for (size_t i = 0; i < step.rowOrigin.size(); ++i) {
        const uint16_t o = step.rowOrigin[i];
        if (o >= 1 && o <= step.oldRows && !rowNew[o]) rowNew[o] = uint16_t(i + 1);
    }
    for (size_t i = 0; i < step.colOrigin.size(); ++i) {
        const uint16_t o = step.colOrigin[i];
        if (o >= 1 && o <= step.oldCols && !colNew[o]) colNew[o] = uint16_t(i + 1);
    }
    const AxisMap rows{&rowNew}, cols{&colNew};
    if (!FormulaChecker()) return remapByCorners(formulas, rows, cols);

    std::vector<FormulaRecord> out;
    for (const FormulaRecord& fr : formulas) {
        std::vector<FormulaRef> refs;
        if (!collectRefs(fr.text, &refs)) {
            // A text that does not parse has no references to follow.
            std::vector<FormulaRecord> one = remapByCorners({fr}, rows, cols);
            out.insert(out.end(), one.begin(), one.end());
            continue;
        }
        std::vector<AxisProbe> rowProbes, colProbes;
        for (const FormulaRef& r : refs) {
            if (!r.shifts()) continue;
            rowProbes.push_back({r.area.r1, r.external});
            rowProbes.push_back({r.area.r2, r.external});
            colProbes.push_back({r.area.c1, r.external});
            colProbes.push_back({r.area.c2, r.external});
        }
        const std::vector<Run> rowRuns = runsOf(fr.area.r1, fr.area.r2, kRefRows, rows, rowProbes);
        const std::vector<Run> colRuns = runsOf(fr.area.c1, fr.area.c2, kRefCols, cols, colProbes);
        for (const Run& rr : rowRuns) {
            for (const Run& cr : colRuns) {
                FormulaRecord p = fr;
                p.area = {uint16_t(rr.newFirst), uint16_t(cr.newFirst), uint16_t(rr.newLast),
                          uint16_t(cr.newLast)};
                QString text;
                // A text the rewrite would take past 1,025 characters stays
                // as written rather than be cut.
                if (pieceText(fr.text, rr.oldFirst - fr.area.r1, cr.oldFirst - fr.area.c1, rows,
                              cols, &text) == Rewrite::Ok &&
                    text.size() <= kMaxFormulaChars)
                    p.text = text;
                out.push_back(std::move(p));
            }
        }
    }
    // A file holds at most 20,000 formulas: rather whole areas than a list
    // no reader would take.
    if (out.size() > kMaxFormulas) return remapByCorners(formulas, rows, cols);
    return out;
}

void SyncFormulaBits(ReportFormat& f) {
    const uint16_t rows = f.header.rows, cols = f.header.cols;
    if (f.cellFormats.size() != size_t(rows) * cols) return;
    for (uint64_t& w : f.cellFormats) w = kFmtHasFormula.set(w, 0);
    for (const FormulaRecord& fr : f.formulas) {
        const uint16_t r2 = std::min(fr.area.r2, rows), c2 = std::min(fr.area.c2, cols);
        for (uint16_t r = std::max<uint16_t>(fr.area.r1, 1); r <= r2; ++r)
            for (uint16_t c = std::max<uint16_t>(fr.area.c1, 1); c <= c2; ++c)
                f.cellFormat(r, c) = kFmtHasFormula.set(f.cellFormat(r, c), 1);
    }
}

}  // namespace qor
