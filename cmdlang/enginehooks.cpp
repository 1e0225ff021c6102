#include "cmdlang/enginehooks.h"

#include "cmdlang/cellformulaevaluator.h"

#include <QStringList>
#include <algorithm>

#include "cmdlang/formulacheck.h"
#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "cmdlang/references.h"

namespace qor::cmd {

namespace {

// What the engine is told of one reference of a tree.
FormulaRef engineRef(const Node& n, bool statisticArea, bool overPages = false) {
    FormulaRef r;
    switch (n.kind) {
        case NodeKind::CellRef:
            r.kind = FormulaRef::Cell;
            r.area = {uint16_t(n.cell1.row), uint16_t(n.cell1.col), uint16_t(n.cell1.row),
                      uint16_t(n.cell1.col)};
            break;
        case NodeKind::Area:
            r.kind = FormulaRef::Area;
            r.area = {uint16_t(n.cell1.row), uint16_t(n.cell1.col), uint16_t(n.cell2.row),
                      uint16_t(n.cell2.col)};
            break;
        case NodeKind::VRef:
        case NodeKind::VRefArea: {
            const VarRef& last = n.kind == NodeKind::VRefArea ? n.var2 : n.var1;
            r.kind = FormulaRef::Var;
            r.varAxis = n.var1.axis == VarRef::Axis::Column ? 0 : 1;
            r.index1 = uint16_t(n.var1.index);
            r.index2 = uint16_t(last.index);
            r.line1 = uint16_t(n.var1.line);
            r.line2 = uint16_t(last.line);
            break;
        }
        default:
            break;
    }
    r.statisticArea = statisticArea;
    r.overPages = overPages && !n.external && !n.page;
    r.external = n.external;
    r.page = uint32_t(n.page);
    return r;
}

bool sameTarget(const FormulaRef& a, const FormulaRef& b) {
    return a.area == b.area && a.index1 == b.index1 && a.index2 == b.index2 && a.line1 == b.line1 &&
           a.line2 == b.line2 && a.page == b.page && a.lost == b.lost;
}

QString quoted(const QString& s) {
    QString out = s;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString varName(uint8_t axis, uint16_t index, uint16_t line) {
    if (axis == 1) return QStringLiteral("V_") + QString::number(index);
    QString s = QStringLiteral("V_") + ColumnLetters(index);
    if (line) s += QString::number(line);
    return s;
}

// The reference as it is written, with its new rows and columns.
QString refText(const Node& n, const FormulaRef& r) {
    QString s;
    if (n.external) s = quoted(n.report) + QStringLiteral("->");
    switch (r.kind) {
        case FormulaRef::Cell:
            s += PrintCell({r.area.r1, r.area.c1});
            break;
        case FormulaRef::Area:
            s += PrintCell({r.area.r1, r.area.c1}) + u':' + PrintCell({r.area.r2, r.area.c2});
            break;
        case FormulaRef::Var:
            s += varName(r.varAxis, r.index1, r.line1);
            if (n.kind == NodeKind::VRefArea) s += u':' + varName(r.varAxis, r.index2, r.line2);
            break;
        case FormulaRef::Keyword:
            break;
    }
    if (r.page) s += u'@' + QString::number(r.page);
    return s;
}

class Checker final : public qor::IFormulaChecker {
public:
    explicit Checker(EngineHookOptions options) : m_options(std::move(options)) {}

    FormulaCheckResult Check(QStringView text, const FormulaCheckInput& report) override {
        FormulaCheckContext ctx;
        ctx.rows = report.rows;
        ctx.cols = report.cols;
        ctx.varKind = report.varKind;
        ctx.allowVariables = report.allowVariables;
        const QStringList names = report.keywordNames;
        ctx.isKeyword = [names](QStringView s) { return slotOf(names, s) >= 0; };
        ctx.isServiceFunction = m_options.isServiceFunction;

        FormulaCheckResult result;
        ParseError error;
        std::unique_ptr<Formula> formula;
        result.status = CheckFormula(text, ctx, &error, &formula);
        if (result.status != Status::Ok) {
            result.errorPosition = error.position;
            result.errorReason = error.reason;
            return result;
        }
        FormulaReferences refs;
        CollectReferences(*formula, &refs);
        for (const Reference& r : refs.refs)
            result.refs.push_back(engineRef(*r.node, r.statisticArea, r.overPages));
        for (const Node* name : refs.names) {
            FormulaRef r;
            r.kind = FormulaRef::Keyword;
            r.keywordSlot = slotOf(names, name->text);
            if (r.keywordSlot >= 0) result.refs.push_back(r);
        }
        result.isVolatile = refs.isVolatile;
        result.readsPages = refs.readsPages;
        result.totalKind = formula->totalKind;
        result.compiled =
            std::make_shared<CompiledCellFormula>(std::move(formula), text.toString());
        return result;
    }

    bool RewriteReferences(QStringView text, const FormulaRefMap& map, QString* out) override {
        std::unique_ptr<Formula> formula = ParseFormula(text);
        if (!formula) return false;
        FormulaReferences refs;
        CollectReferences(*formula, &refs);
        struct Edit {
            int pos, len;
            QString with;
        };
        std::vector<Edit> edits;
        for (const Reference& r : refs.refs) {
            const FormulaRef before = engineRef(*r.node, r.statisticArea);
            FormulaRef after = before;
            if (!map(after)) return false;
            if (after.lost) {
                // Does not lex: the formula shows as in error until mended.
                edits.push_back({r.node->pos, r.node->len, QStringLiteral("#REF!")});
            } else if (!sameTarget(before, after)) {
                edits.push_back({r.node->pos, r.node->len, refText(*r.node, after)});
            }
        }
        std::sort(edits.begin(), edits.end(),
                  [](const Edit& a, const Edit& b) { return a.pos > b.pos; });
        QString s = text.toString();
        for (const Edit& e : edits) s.replace(e.pos, e.len, e.with);
        *out = s;
        return true;
    }

private:
    static int slotOf(const QStringList& names, QStringView name) {
        for (int i = 0; i < names.size(); ++i)
            if (!names[i].isEmpty() && name.compare(names[i], Qt::CaseInsensitive) == 0) return i;
        return -1;
    }

    EngineHookOptions m_options;
};

}  // namespace

void CompiledCellFormula::Prefetch(int step) const {
    const Node* e = m_formula.expr.get();
    if (!e) return;
    switch (step) {
        case 0:
            __builtin_prefetch(e);
            break;
        case 1:
            if (!e->children.empty()) __builtin_prefetch(e->children.data());
            break;
        case 2:
            for (const NodePtr& c : e->children) __builtin_prefetch(c.get());
            break;
        default:
            break;
    }
}

std::shared_ptr<qor::IFormulaChecker> MakeFormulaChecker(EngineHookOptions options) {
    return std::make_shared<Checker>(std::move(options));
}

void InstallEngineHooks(EngineHookOptions options) {
    qor::InstallFormulaChecker(MakeFormulaChecker(std::move(options)));
    InstallFormulaEvaluatorHook();
}

}  // namespace qor::cmd
