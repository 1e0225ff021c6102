#pragma once
// The command language's side of the engine's formula hooks
// (engine/formulaeval.h): the formula checker and the evaluator of cell
// formulas. Applications and tests call InstallEngineHooks
// once at start-up; from then on storing a formula compiles it here and the
// engine builds its dependency graph from what the formula reads.

#include <QString>
#include <QStringView>
#include <functional>
#include <memory>

#include "cmdlang/syntaxtree.h"
#include "engine/formulaeval.h"

namespace qor::cmd {

// The compiled form the checker hands the engine; the evaluator of this
// language reads the tree.
class CompiledCellFormula final : public qor::CompiledFormula {
public:
    CompiledCellFormula(std::unique_ptr<Formula> formula, QString text)
        : m_formula(std::move(*formula)), m_text(std::move(text)) {}
    const Formula& formula() const { return m_formula; }
    // The source text the tree's positions refer to.
    const QString& text() const { return m_text; }
    void Prefetch(int step) const override;

private:
    // Held in place: one read less for every evaluation.
    Formula m_formula;
    QString m_text;
};

struct EngineHookOptions {
    // Names of application-service functions (the service's FindItem); a
    // formula may call them with any argument text.
    std::function<bool(QStringView)> isServiceFunction;
};

// A checker over CheckFormula and CollectReferences.
std::shared_ptr<qor::IFormulaChecker> MakeFormulaChecker(EngineHookOptions options = {});

// Installs the checker process-wide (the evaluator follows with the
// interpreter).
void InstallEngineHooks(EngineHookOptions options = {});

}  // namespace qor::cmd
