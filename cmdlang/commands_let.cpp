// LET (variables, keywords, cells and areas), FREE, LIST MEMORY and HELP.
#include <algorithm>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/printer.h"
#include "engine/cells_varmap.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"

namespace qor::cmd {

namespace {

// The value of the right side on the current page, or on no page at all
// when no report is open (a variable computed from variables and
// services). Nothing when the For clause leaves it alone.
std::optional<Value> evaluateForName(CommandRun& run) {
    CReportHandle* r = run.ci.GetReport();
    const bool withReport = r && r->IsOpen() && !r->IsFormatState() && r->GetPageCount() > 0;
    const int page = withReport ? run.currentPage() : 0;
    const ReportScope scope = run.scope(withReport ? r : nullptr);
    ReportPageEnvironment env(scope, page, withReport ? r->GetPage(page) : nullptr);
    Evaluator ev(env);
    FormulaOutcome out = ev.evaluateFormula(run.cmd.formula);
    if (!out.applies) return std::nullopt;
    if (out.value.isError() || out.value.isArea())
        run.evaluationFailed(out.value, run.cmd.target.name);
    return out.value;
}

void assignKeyword(CommandRun& run, int slot) {
    CReportHandle& r = run.report();
    const int page = run.currentPage();
    const std::optional<Value> v = evaluateForName(run);
    if (!v || run.checkOnly()) return;
    KeywordValue k;
    if (v->isNumber()) k = {1, v->asNumber(), {}};
    if (v->isText()) k = {2, 0, v->asText()};
    ThrowIfStatus(r.SetPageKeyword(slot, k, page, 0), run.cmd.target.name);
    run.refresh();
}

void assignVariable(CommandRun& run) {
    const QString& name = run.cmd.target.name;
    // Refused before anything is computed, so a bad name costs nothing.
    if (name.size() > CCalcRuntime::kMaxVariableName)
        ThrowCalcError(
            CALC_ERR_NAME_TOO_LONG,
            CmdText(str::kVariableNameLength).arg(name).arg(CCalcRuntime::kMaxVariableName));
    CCalcRuntime& rt = run.ci.Runtime();
    if (rt.FindVariable(name) < 0 && rt.GetVariableCount() >= CCalcRuntime::kMaxVariables)
        ThrowCalcError(CALC_ERR_TOO_MANY_VARIABLES, QString());
    const std::optional<Value> v = evaluateForName(run);
    if (!v || run.checkOnly()) return;
    if (int code = rt.SetVariable(name, *v)) ThrowCalcError(code, name);
}

void assignCells(CommandRun& run) {
    CReportHandle& r = run.report();
    const int page = run.currentPage();
    const Target& t = run.cmd.target;
    const ReportHeader& h = r.GetReportFile()->Format().header;
    if (t.last.row > h.rows || t.last.col > h.cols)
        ThrowCalcError(::code(Status::OutsideTable),
                       CmdText(str::kOutsideTable).arg(PrintCell(t.last)));
    const ReportScope scope = run.scope(&r);
    ReportPageEnvironment env(scope, page, r.GetPage(page));
    // Every cell is computed from the page as it was, then all are
    // written: a failing cell leaves the page untouched.
    struct Result {
        int row, col;
        Value value;
    };
    std::vector<Result> results;
    for (int row = t.first.row; row <= t.last.row; ++row)
        for (int col = t.first.col; col <= t.last.col; ++col) {
            Evaluator ev(env, row - t.first.row, col - t.first.col);
            FormulaOutcome out = ev.evaluateFormula(run.cmd.formula);
            if (!out.applies) continue;
            if (out.value.isError() || out.value.isArea())
                run.evaluationFailed(out.value, PrintCell({row, col}));
            results.push_back({row, col, std::move(out.value)});
        }
    if (run.checkOnly()) return;
    // The engine works out what reads the cells before anything reads it.
    for (const Result& res : results) {
        ThrowIfStatus(WriteStoredCell(r, page, res.row, res.col, res.value),
                      PrintCell({res.row, res.col}));
    }
    run.refresh();
}

// V_B writes column B on every line the current page uses, each line
// computed with the V_ names of its own line (LET V_C = V_A * V_B); V_B3
// writes line 3 only. Lines are added and removed by their own commands:
// a line the page does not use is refused, not made.
void assignVarLines(CommandRun& run) {
    CReportHandle& r = run.report();
    const int page = run.currentPage();
    const VarRef& v = run.cmd.target.var;
    const QString name = PrintVarName(v);
    const ReportScope scope = run.scope(&r);
    ReportPageEnvironment env(scope, page, r.GetPage(page));
    const int kind = env.VarKind();
    if (kind == 0) ThrowCalcError(CALC_ERR_NO_VAR_AREA, CmdText(str::kReportHasNoVariableArea));
    if ((kind == 1) != (v.axis == VarRef::Axis::Column))
        ThrowCalcError(CALC_ERR_BAD_ARGUMENT, kind == 1 ? CmdText(str::kVarRowsNameColumns)
                                                        : CmdText(str::kVarColumnsNameRows));
    const ReportHeader& h = r.GetReportFile()->Format().header;
    const int used = std::max(1, env.VarUsed());
    if (v.index > VarLineLength(h) || v.line > used)
        ThrowCalcError(::code(Status::OutsideTable),
                       CmdText(str::kVarPositionMissing).arg(v.line ? v.line : used).arg(v.index));
    // Every line is computed from the page as it was, then all are written.
    std::vector<std::pair<int, Value>> results;
    for (int line = v.line ? v.line : 1; line <= (v.line ? v.line : used); ++line) {
        Evaluator ev(env);
        FormulaOutcome out = ev.evaluateFormulaOnLine(run.cmd.formula, line);
        if (!out.applies) continue;
        if (out.value.isError() || out.value.isArea()) run.evaluationFailed(out.value, name);
        results.emplace_back(line, std::move(out.value));
    }
    if (run.checkOnly() || results.empty()) return;
    for (const auto& [line, value] : results)
        ThrowIfStatus(WriteVarCell(r, page, line, v.index, value), name);
    run.refresh();
}

}  // namespace

void RunAssign(CommandRun& run) {
    const Target& t = run.cmd.target;
    if (t.kind == Target::Kind::Var) return assignVarLines(run);
    if (t.kind != Target::Kind::Name) return assignCells(run);
    // A keyword's name sets the keyword of the current page: a variable of
    // that name could never be read, the keyword being found first.
    CReportHandle* r = run.ci.GetReport();
    if (r && r->IsOpen()) {
        const int slot = run.scope(r).keywordSlot(t.name);
        if (slot >= 0) return assignKeyword(run, slot);
    }
    assignVariable(run);
}

void RunFree(CommandRun& run) {
    CCalcRuntime& rt = run.ci.Runtime();
    QStringList missing;
    for (const QString& name : run.cmd.names)
        if (rt.FindVariable(name) < 0) missing << name;
    // A batch script frees what it may have made; only a typed command is
    // told of names that are not there.
    if (!missing.isEmpty() && !run.ci.TestRunMode(CCalcInterpreter::kModeBatch))
        ThrowCalcError(CALC_ERR_UNKNOWN_VARIABLE,
                       CmdText(str::kNoSuchVariableNamed).arg(missing.join(QStringLiteral(", "))));
    if (run.checkOnly()) return;
    for (const QString& name : run.cmd.names) rt.FreeVariable(name);
}

void RunListMemory(CommandRun& run) {
    const CCalcRuntime& rt = run.ci.Runtime();
    VariableListing list;
    for (int i = 0; i < rt.GetVariableCount(); ++i) {
        const CalcVariable& v = rt.GetVariable(i);
        list.names << v.name;
        list.types << CCalcRuntime::TypeText(v);
        list.values << CCalcRuntime::ValueText(v);
    }
    if (run.checkOnly()) return;
    if (run.ci.SubsystemHooks().listVariables) return run.ci.SubsystemHooks().listVariables(list);
    TraceMessage(CmdText(str::kVariablesListed).arg(list.names.size()));
    for (int i = 0; i < list.names.size(); ++i)
        TraceMessage(
            QStringLiteral("%1 (%2) = %3").arg(list.names[i], list.types[i], list.values[i]));
}

void RunHelp(CommandRun& run) {
    if (run.checkOnly()) return;
    const QString topic = QStringLiteral("command language");
    if (run.ci.SubsystemHooks().help) return run.ci.SubsystemHooks().help(topic);
    TraceMessage(CmdText(str::kHelpWhere).arg(QStringLiteral("docs/command-language.md")));
}

}  // namespace qor::cmd
