#pragma once
// What a report keeps in memory about its formulas besides the list itself:
// which cell holds which formula, the compiled form and references of each
// text, and the dependency graph. Everything here is derived from the
// format and rebuilt when the list or the report's shape changes; nothing
// of it is stored.

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

#include "engine/creportfile.h"
#include "engine/formula_graph.h"
#include "engine/formulaeval.h"

class CReportFile::FormulaCache {
public:
    // Brings the cache up to the format. True when the formulas' areas or
    // texts changed since the last call (a shape edit, a template, a
    // cancelled format edit).
    bool sync(const qor::ReportFormat& format);

    // The calls below take the cache as the last sync left it.
    const qor::FormulaCellIndex& index() const { return m_index; }
    qor::FormulaCheckInput checkInput(const qor::ReportFormat& format) const;
    // The checker's result for a text in this report (kept per text); null
    // when no checker is installed.
    qor::CompiledFormulaPtr compile(const qor::ReportFormat& format, const QString& text);
    // Built when first asked for after a change.
    const qor::FormulaGraph& graph(const qor::ReportFormat& format);
    // The list just gained fr at its end (cheaper than a sync).
    void appended(const qor::FormulaRecord& fr);
    // The check result of each formula of the list the graph was built for.
    const std::vector<qor::CompiledFormulaPtr>& compiledFormulas() const { return m_listCompiled; }

    // Why the last text was refused with 1260.
    QString lastError;
    int lastErrorPosition = -1;  // offset in the refused text; -1 unknown

private:
    struct Environment {
        uint16_t rows = 0, cols = 0, varKind = 0, varStart = 0;
        QString userKeyword;
        uint64_t hooks = 0;
        bool operator==(const Environment&) const = default;
    };
    static Environment environmentOf(const qor::ReportFormat& format);
    bool sameList(const std::vector<qor::FormulaRecord>& formulas) const;

    std::vector<qor::FormulaRecord> m_seen;  // states cleared: recalculation sets them
    Environment m_env;
    bool m_synced = false;
    qor::FormulaCellIndex m_index;
    QHash<QString, qor::CompiledFormulaPtr> m_compiled;
    std::optional<qor::FormulaGraph> m_graph;
    std::vector<qor::CompiledFormulaPtr> m_listCompiled;
};
