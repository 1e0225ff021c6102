#pragma once
// The evaluator the engine's recalculation calls for cell formulas
// (engine/formulaeval.h): the compiled form's tree evaluated against the
// engine's context, with the target cell's shift for area formulas. Other
// pages of the report are read through the report the context gives;
// what lies beyond the report (other reports, databases, application
// services, the last FIND) comes through hooks the layers above install at
// start-up, and fails with a message where a program installs none.

#include <QString>
#include <functional>
#include <memory>

#include "cmdlang/evaluator.h"
#include "engine/formulaeval.h"

namespace qor::cmd {

struct CellFormulaHooks {
    std::function<Value(const ExternalCellRequest&)> externalCell;
    std::function<Value(const QString& name, const QString& rawArgs)> callService;
    std::function<Value(const DatabaseRequest&)> readDatabase;
    std::function<Value(const RecordRequest&)> getRecord;
    std::function<int()> foundPages;
};

class CellFormulaEvaluator final : public qor::IFormulaEvaluator {
public:
    explicit CellFormulaEvaluator(CellFormulaHooks hooks = {});

    qor::FormulaValue Evaluate(const qor::CompiledFormula& formula,
                               const qor::FormulaEvalContext& context) override;
    // The same with the error's message kept (error log, tests). A
    // formula whose For clause does not hold on the page gives the target
    // cell's present value.
    Value EvaluateValue(const qor::CompiledFormula& formula,
                        const qor::FormulaEvalContext& context);

private:
    CellFormulaHooks m_hooks;
};

// Installs a CellFormulaEvaluator process-wide (after InstallEngineHooks,
// whose checker makes the compiled forms it reads).
void InstallFormulaEvaluatorHook(CellFormulaHooks hooks = {});

}  // namespace qor::cmd
