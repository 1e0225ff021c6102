// Statistics over an area: of the fixed area (PTOTAL ..), of the variable
// area (GTOTAL ..) and of the same area on every page that passes a page
// condition (TOTAL ..).
//
// Only cells holding a number count; texts, labels and empty cells are
// left out, and a cell whose formula failed makes the whole statistic
// fail. The optional second argument filters:
//  - a filter that starts with a comparison (">0") compares each counted
//    cell with its operand;
//  - any other condition is evaluated once for the fixed area (it reads
//    the same for every cell), once per line for the variable area (its V_
//    names read that line) and once per page for all pages (its keywords
//    and cells are those of that page).
#include <cmath>

#include "cmdlang/builtins.h"
#include "cmdlang/cmdtexts.h"

namespace qor::cmd {

namespace {

enum class Stat { Total, Avg, Count, Min, Max, Var, Std };

Stat statOf(const FunctionInfo& info) {
    QLatin1StringView name(info.name);
    if (info.group != FunctionGroup::PageStat) name = name.sliced(1);  // P or G
    if (name == QLatin1StringView("AVG")) return Stat::Avg;
    if (name == QLatin1StringView("COUNT")) return Stat::Count;
    if (name == QLatin1StringView("MIN")) return Stat::Min;
    if (name == QLatin1StringView("MAX")) return Stat::Max;
    if (name == QLatin1StringView("VAR")) return Stat::Var;
    if (name == QLatin1StringView("STD")) return Stat::Std;
    return Stat::Total;
}

class Accumulator {
public:
    void add(double x) {
        ++m_count;
        m_sum += x;
        if (m_count == 1 || x < m_min) m_min = x;
        if (m_count == 1 || x > m_max) m_max = x;
        // Welford's update keeps the variance exact for large amounts with
        // small spread, where the sum of squares would cancel.
        const double d = x - m_mean;
        m_mean += d / double(m_count);
        m_m2 += d * (x - m_mean);
    }

    // Over no cells every statistic is 0, as an empty column of a report
    // totals to 0.
    Value result(Stat s) const {
        if (m_count == 0) return Value::number(0);
        switch (s) {
            case Stat::Total:
                return Value::number(m_sum);
            case Stat::Avg:
                return Value::number(m_sum / double(m_count));
            case Stat::Count:
                return Value::number(double(m_count));
            case Stat::Min:
                return Value::number(m_min);
            case Stat::Max:
                return Value::number(m_max);
            case Stat::Var:
                return Value::number(variance());
            case Stat::Std:
                return Value::number(std::sqrt(variance()));
        }
        return Value::number(0);
    }

private:
    // The variance of the counted cells themselves, divided by their count
    // (not count - 1): the cells are everything the statistic describes,
    // not a sample of something larger, and the deviation users know from
    // these functions is this biased one.
    double variance() const { return m_m2 / double(m_count); }

    long long m_count = 0;
    double m_sum = 0, m_min = 0, m_max = 0, m_mean = 0, m_m2 = 0;
};

// The filter argument, or null when there is none.
const Node* filterOf(const Node& call) {
    if (call.children.size() < 2) return nullptr;
    const Node* f = call.children[1].get();
    return f->kind == NodeKind::Empty ? nullptr : f;
}

bool perCell(const Node* filter) { return filter && filter->kind == NodeKind::Filter; }

// Counts v when it is a number that passes a per-cell filter; false with
// *failed set when v or the filter is an error.
bool take(Evaluator& ev, const Node* filter, const Value& v, int line, Accumulator& acc,
          Value* failed) {
    if (v.isError()) {
        *failed = v;
        return false;
    }
    if (!v.isNumber()) return true;
    if (perCell(filter)) {
        const Value pass = ev.evaluateFilter(*filter, v, line);
        if (pass.isError()) {
            *failed = pass;
            return false;
        }
        if (!IsTrue(pass)) return true;
    }
    acc.add(v.asNumber());
    return true;
}

bool isVarTemplate(const EvalEnvironment& env, int row, int col) {
    const int kind = env.VarKind();
    return (kind == 1 && row == env.VarStart()) || (kind == 2 && col == env.VarStart());
}

// The fixed cells of the area on one page.
bool scanFixed(Evaluator& ev, const EvalEnvironment& env, const Node& area, const Node* filter,
               Accumulator& acc, Value* failed) {
    const CellPos last = area.kind == NodeKind::Area ? area.cell2 : area.cell1;
    for (int r = area.cell1.row; r <= last.row; ++r)
        for (int c = area.cell1.col; c <= last.col; ++c) {
            if (isVarTemplate(env, r, c)) continue;
            if (!take(ev, filter, env.Cell(r, c), 0, acc, failed)) return false;
        }
    return true;
}

Value pageError(int page, bool exists) {
    return Value::error(exists ? CmdText(str::kPageNotHere).arg(page)
                               : CmdText(str::kPageMissing).arg(page));
}

// Runs scan on the environment of a fixed page (area@n) or on the page
// evaluated.
template <class Scan>
Value onAreaPage(Evaluator& ev, const Node& area, Scan scan) {
    if (!area.page) return scan(ev.env());
    const int count = ev.env().PageCount();
    if (count > 0 && area.page > count) return pageError(area.page, false);
    Value out;
    if (!ev.env().WithPage(area.page, [&](const EvalEnvironment& e) { out = scan(e); }))
        return pageError(area.page, true);
    return out;
}

// A condition that reads the same for every cell: false means nothing
// counts.
bool wholeCondition(Evaluator& ev, const Node* filter, bool* pass, Value* failed) {
    *pass = true;
    if (!filter || perCell(filter)) return true;
    const Value c = ConditionTruth(ev.evaluate(*filter));
    if (c.isError()) {
        *failed = c;
        return false;
    }
    *pass = IsTrue(c);
    return true;
}

Value fixedStatistic(Evaluator& ev, const Node& call, const FunctionInfo& info) {
    const Node& area = *call.children[0];
    const Node* filter = filterOf(call);
    const Stat stat = statOf(info);
    if (area.kind != NodeKind::CellRef && area.kind != NodeKind::Area)
        return Value::error(
            CmdText(str::kNeedsCellArea).arg(call.text));
    Accumulator acc;
    Value failed;
    bool pass = true;
    if (!wholeCondition(ev, filter, &pass, &failed)) return failed;
    if (!pass) return acc.result(stat);
    if (area.external) {
        // Another report: its variable area is not known here, so every
        // cell of the area is read as that report gives it.
        const CellPos last = area.kind == NodeKind::Area ? area.cell2 : area.cell1;
        for (int r = area.cell1.row; r <= last.row; ++r)
            for (int c = area.cell1.col; c <= last.col; ++c)
                if (!take(ev, filter, ev.readExternal(area, r, c, nullptr), 0, acc, &failed))
                    return failed;
        return acc.result(stat);
    }
    return onAreaPage(ev, area, [&](const EvalEnvironment& env) {
        return scanFixed(ev, env, area, filter, acc, &failed) ? acc.result(stat) : failed;
    });
}

// Which lines and positions of the variable area an area argument covers.
struct VarSpan {
    int index1 = 0, index2 = -1;  // empty when index2 < index1
    int line1 = 0, line2 = 0;     // 0: every used line
};

bool varSpan(const EvalEnvironment& env, const Node& area, VarSpan* span, Value* failed) {
    const int kind = env.VarKind();
    if (kind == 0) {
        *failed = Value::error(CmdText(str::kReportHasNoVariableArea));
        return false;
    }
    if (area.kind == NodeKind::VRef || area.kind == NodeKind::VRefArea) {
        if ((kind == 1) != (area.var1.axis == VarRef::Axis::Column)) {
            *failed = Value::error(
                kind == 1 ? CmdText(str::kVarRowsNameColumns) : CmdText(str::kVarColumnsNameRows));
            return false;
        }
        const VarRef& last = area.kind == NodeKind::VRefArea ? area.var2 : area.var1;
        *span = {area.var1.index, last.index, area.var1.line, last.line};
        return true;
    }
    // Cells of the template: the area counts the lines in the columns (rows)
    // it spans, when it crosses the template row (column) at all.
    const CellPos last = area.kind == NodeKind::Area ? area.cell2 : area.cell1;
    const int start = env.VarStart();
    if (kind == 1 && area.cell1.row <= start && start <= last.row)
        *span = {area.cell1.col, last.col, 0, 0};
    else if (kind == 2 && area.cell1.col <= start && start <= last.col)
        *span = {area.cell1.row, last.row, 0, 0};
    return true;
}

Value varStatistic(Evaluator& ev, const Node& call, const FunctionInfo& info) {
    const Node& area = *call.children[0];
    const Node* filter = filterOf(call);
    const Stat stat = statOf(info);
    if (!area.isReference())
        return Value::error(
            CmdText(str::kNeedsVarOrCellArea).arg(call.text));
    if (area.external)
        return Value::error(
            CmdText(str::kNoOtherVarArea).arg(call.text));
    Accumulator acc;
    Value failed;
    return onAreaPage(ev, area, [&](const EvalEnvironment& env) {
        VarSpan span;
        if (!varSpan(env, area, &span, &failed)) return failed;
        const int used = env.VarUsed();
        const int first = span.line1 ? span.line1 : 1;
        const int lastLine = span.line1 ? std::min(span.line2, used) : used;
        for (int line = first; line <= lastLine; ++line) {
            if (filter && !perCell(filter)) {
                const Value c = ConditionTruth(ev.evaluateOnLine(*filter, line));
                if (c.isError()) return c;
                if (!IsTrue(c)) continue;
            }
            for (int i = span.index1; i <= span.index2; ++i)
                if (!take(ev, filter, env.VarCell(line, i), line, acc, &failed)) return failed;
        }
        return acc.result(stat);
    });
}

Value scanPages(Evaluator& ev, const EvalEnvironment& env, const Node& area, const Node* filter,
                Stat stat, int count);

Value pageStatistic(Evaluator& ev, const Node& call, const FunctionInfo& info) {
    const Node& area = *call.children[0];
    const Node* filter = filterOf(call);
    const Stat stat = statOf(info);
    if (area.kind != NodeKind::CellRef && area.kind != NodeKind::Area)
        return Value::error(
            CmdText(str::kNeedsCellArea).arg(call.text));
    if (area.external || area.page)
        return Value::error(
            CmdText(str::kEveryPageOfThisReport).arg(call.text));
    const EvalEnvironment& env = ev.env();
    const int count = env.PageCount();
    if (count <= 0)
        return Value::error(CmdText(str::kPagesNotHere));
    // The same on every page: one recalculation scans the pages once.
    if (std::optional<Value> kept = env.SharedValue(&call, ev.rowShift(), ev.colShift()))
        return *kept;
    const Value v = scanPages(ev, env, area, filter, stat, count);
    env.KeepShared(&call, ev.rowShift(), ev.colShift(), v);
    return v;
}

Value scanPages(Evaluator& ev, const EvalEnvironment& env, const Node& area, const Node* filter,
                Stat stat, int count) {
    Accumulator acc;
    Value failed;
    bool ok = true;
    for (int p = 1; p <= count && ok; ++p) {
        const bool ran = env.WithPage(p, [&](const EvalEnvironment& pe) {
            // The filter reads the page it decides on.
            Evaluator sub(pe, ev.rowShift(), ev.colShift());
            bool pass = true;
            if (!wholeCondition(sub, filter, &pass, &failed)) {
                ok = false;
                return;
            }
            if (pass) ok = scanFixed(sub, pe, area, filter, acc, &failed);
        });
        if (!ran) return pageError(p, true);
    }
    return ok ? acc.result(stat) : failed;
}

const BuiltinName kStatistics[] = {
    {"PTOTAL", fixedStatistic}, {"PAVG", fixedStatistic}, {"PCOUNT", fixedStatistic},
    {"PMIN", fixedStatistic},   {"PMAX", fixedStatistic}, {"PVAR", fixedStatistic},
    {"PSTD", fixedStatistic},   {"GTOTAL", varStatistic}, {"GAVG", varStatistic},
    {"GCOUNT", varStatistic},   {"GMIN", varStatistic},   {"GMAX", varStatistic},
    {"GVAR", varStatistic},     {"GSTD", varStatistic},   {"TOTAL", pageStatistic},
    {"AVG", pageStatistic},     {"COUNT", pageStatistic}, {"MIN", pageStatistic},
    {"MAX", pageStatistic},     {"VAR", pageStatistic},   {"STD", pageStatistic},
};

}  // namespace

const BuiltinName* StatisticBuiltins(int* count) {
    *count = int(std::size(kStatistics));
    return kStatistics;
}

}  // namespace qor::cmd
