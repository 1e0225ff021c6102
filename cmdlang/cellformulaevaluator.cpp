#include "cmdlang/cellformulaevaluator.h"

#include <typeinfo>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/enginehooks.h"
#include "cmdlang/printer.h"
#include "engine/creporthandle.h"

namespace qor::cmd {

namespace {

QString cellName(int row, int col) { return PrintCell({row, col}); }

Value failedCell(int row, int col, int rows, int cols) {
    if (row < 1 || col < 1 || row > rows || col > cols)
        return Value::error(CmdText(str::kOutsideTable)
                                .arg(row < 1 || col < 1 || col > kMaxColumn
                                         ? CmdText(str::kAReference)
                                         : cellName(row, col)));
    return Value::error(CmdText(str::kCellFailed).arg(cellName(row, col)));
}

Value failedLine(int line, int index) {
    return Value::error(CmdText(str::kVarPositionUnread).arg(line).arg(index));
}

// The page the engine is recalculating, through its context.
class ContextEnvironment final : public EvalEnvironment {
public:
    ContextEnvironment(const FormulaEvalContext& c, const CellFormulaHooks& hooks)
        : m_c(c), m_hooks(hooks) {}

    int RowCount() const override { return m_c.RowCount(); }
    int ColCount() const override { return m_c.ColCount(); }

    Value Cell(int row, int col) const override {
        const FormulaValue v = m_c.Cell(row, col);
        if (v.isError()) return failedCell(row, col, m_c.RowCount(), m_c.ColCount());
        return FromFormulaValue(v);
    }

    int VarKind() const override { return m_c.VarKind(); }
    int VarStart() const override { return m_c.VarStart(); }
    int VarUsed() const override { return m_c.VarUsed(); }
    Value VarCell(int line, int index) const override {
        const FormulaValue v = m_c.VarCell(line, index);
        if (v.isError()) return failedLine(line, index);
        return FromFormulaValue(v);
    }

    int KeywordSlot(QStringView name) const override { return m_c.KeywordSlot(name); }
    Value Keyword(int slot) const override { return FromFormulaValue(m_c.Keyword(slot)); }

    int PageNumber() const override { return m_c.Page(); }
    int PageCount() const override {
        CReportHandle* r = m_c.Report();
        return r ? r->GetPageCount() : m_c.Page();
    }
    int FoundPages() const override { return m_hooks.foundPages ? m_hooks.foundPages() : 0; }

    bool WithPage(int page, const std::function<void(const EvalEnvironment&)>& fn) const override {
        if (page == m_c.Page()) {
            fn(*this);
            return true;
        }
        // Other pages are read through the engine's own context for them,
        // so cells read the same way on every page.
        const std::unique_ptr<FormulaEvalContext> other = m_c.ForPage(page);
        if (!other) return false;
        fn(ContextEnvironment(*other, m_hooks));
        return true;
    }

    std::optional<Value> SharedValue(const void* key, int rowShift, int colShift) const override {
        const FormulaValue* v = m_c.SharedValue(key, rowShift, colShift);
        if (!v) return std::nullopt;
        return FromFormulaValue(*v);
    }
    void KeepShared(const void* key, int rowShift, int colShift, const Value& v) const override {
        m_c.KeepShared(key, rowShift, colShift, ToFormulaValue(v));
    }

    Value ExternalCell(const ExternalCellRequest& r) const override {
        return m_hooks.externalCell ? m_hooks.externalCell(r) : EvalEnvironment::ExternalCell(r);
    }
    Value CallService(const QString& name, const QString& rawArgs) const override {
        return m_hooks.callService ? m_hooks.callService(name, rawArgs)
                                   : EvalEnvironment::CallService(name, rawArgs);
    }
    Value ReadDatabase(const DatabaseRequest& r) const override {
        return m_hooks.readDatabase ? m_hooks.readDatabase(r) : EvalEnvironment::ReadDatabase(r);
    }
    Value GetRecord(const RecordRequest& r) const override {
        return m_hooks.getRecord ? m_hooks.getRecord(r) : EvalEnvironment::GetRecord(r);
    }

private:
    const FormulaEvalContext& m_c;
    const CellFormulaHooks& m_hooks;
};


}  // namespace

CellFormulaEvaluator::CellFormulaEvaluator(CellFormulaHooks hooks) : m_hooks(std::move(hooks)) {}

Value CellFormulaEvaluator::EvaluateValue(const CompiledFormula& formula,
                                          const FormulaEvalContext& context) {
    // The class is final: comparing the type is enough, and cheaper.
    const auto* compiled = typeid(formula) == typeid(CompiledCellFormula)
                               ? static_cast<const CompiledCellFormula*>(&formula)
                               : nullptr;
    if (!compiled) return Value::error(CmdText(str::kNotCompiled));
    ContextEnvironment env(context, m_hooks);
    Evaluator ev(env, context.RowShift(), context.ColShift());
    FormulaOutcome out = ev.evaluateFormula(compiled->formula());
    if (!out.applies) return env.Cell(context.TargetRow(), context.TargetCol());
    return out.value;
}

FormulaValue CellFormulaEvaluator::Evaluate(const CompiledFormula& formula,
                                            const FormulaEvalContext& context) {
    return ToFormulaValue(EvaluateValue(formula, context));
}

void InstallFormulaEvaluatorHook(CellFormulaHooks hooks) {
    qor::InstallFormulaEvaluator(std::make_shared<CellFormulaEvaluator>(std::move(hooks)));
}

}  // namespace qor::cmd
