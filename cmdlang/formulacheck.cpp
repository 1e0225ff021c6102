#include "cmdlang/formulacheck.h"

#include "cmdlang/cmdtexts.h"
#include "cmdlang/functions.h"
#include "cmdlang/parser.h"
#include "cmdlang/printer.h"

namespace qor::cmd {

namespace {

class Checker {
public:
    explicit Checker(const FormulaCheckContext& c) : ctx_(c) {}

    void node(const Node& n) {
        switch (n.kind) {
            case NodeKind::CellRef:
            case NodeKind::Area:
                cells(n);
                return;
            case NodeKind::VRef:
            case NodeKind::VRefArea:
                vars(n);
                return;
            case NodeKind::Ident:
                name(n);
                return;
            case NodeKind::Call:
                call(n);
                return;
            default:
                for (const NodePtr& c : n.children) node(*c);
        }
    }

    void key(const Node& n) {
        if (n.kind == NodeKind::Ident) {
            if (!(ctx_.isKeyword && ctx_.isKeyword(n.text)))
                fail(n, CmdText(str::kFormulaNotKeyword).arg(n.text));
            return;
        }
        node(n);
    }

private:
    [[noreturn]] void fail(const Node& n, const QString& reason) {
        throw ParseError{n.pos, reason};
    }

    void cells(const Node& n) {
        if (n.external) return;  // the other report's size is known only when it is read
        const CellPos last = n.kind == NodeKind::Area ? n.cell2 : n.cell1;
        if (last.row > ctx_.rows || last.col > ctx_.cols)
            fail(n, CmdText(str::kFormulaOutsideTable).arg(PrintCell(last)));
    }

    void vars(const Node& n) {
        if (n.external) return;
        if (ctx_.varKind == 0) fail(n, CmdText(str::kReportHasNoVariableArea));
        const VarRef::Axis wanted = ctx_.varKind == 1 ? VarRef::Axis::Column : VarRef::Axis::Row;
        if (n.var1.axis != wanted)
            fail(n, ctx_.varKind == 1
                        ? CmdText(str::kVarRowsNameColumns)
                        : CmdText(str::kVarColumnsNameRows));
        const VarRef& last = n.kind == NodeKind::VRefArea ? n.var2 : n.var1;
        const int limit = wanted == VarRef::Axis::Column ? ctx_.cols : ctx_.rows;
        if (last.index > limit) fail(n, CmdText(str::kVNameOutside));
    }

    void name(const Node& n) {
        if (ctx_.isKeyword && ctx_.isKeyword(n.text)) return;
        if (ctx_.allowVariables) return;
        fail(n, CmdText(str::kFormulaUnknownName).arg(n.text));
    }

    void call(const Node& n) {
        const FunctionInfo* f = FindFunction(n.text);
        if (!f) {
            // Application services check their own argument text.
            if (ctx_.isServiceFunction && ctx_.isServiceFunction(n.text)) return;
            fail(n, CmdText(str::kFormulaUnknownFunction).arg(n.text));
        }
        const int count = int(n.children.size());
        if (count < f->minArgs || count > f->maxArgs) {
            fail(n, ArgumentCountText(n.text, f->minArgs, f->maxArgs));
        }
        for (int i = 0; i < count; ++i) {
            const Node& a = *n.children[i];
            const auto which = [&](int id) { return CmdText(id).arg(i + 1).arg(n.text); };
            if (a.kind == NodeKind::Empty) {
                if (i < f->minArgs) fail(a, which(str::kFormulaArgumentMissing));
                continue;
            }
            if (f->isStatistic() && i == 0) {
                const bool varArea = f->group == FunctionGroup::VarStat;
                const bool ok =
                    a.kind == NodeKind::CellRef || a.kind == NodeKind::Area ||
                    (varArea && (a.kind == NodeKind::VRef || a.kind == NodeKind::VRefArea));
                if (!ok) fail(a, which(str::kFormulaArgumentArea));
            } else if (a.kind == NodeKind::Area || a.kind == NodeKind::VRefArea) {
                fail(a, which(str::kFormulaArgumentNotArea));
            }
            if (a.kind == NodeKind::Filter && !(f->isStatistic() && i == 1))
                fail(a, which(str::kFilterNeedsStatistic));
            node(a);
        }
    }

    const FormulaCheckContext& ctx_;
};

}  // namespace

Status CheckFormula(QStringView text, const FormulaCheckContext& context, ParseError* error,
                    std::unique_ptr<Formula>* compiled) {
    ParseError e;
    std::unique_ptr<Formula> f = ParseFormula(text, &e);
    if (!f) {
        if (error) *error = e;
        return Status::FormulaInvalid;
    }
    try {
        Checker check(context);
        check.node(*f->expr);
        if (f->filter) check.node(*f->filter);
        if (f->relation) check.key(*f->relation->key);
    } catch (const ParseError& bad) {
        if (error) *error = bad;
        return Status::FormulaInvalid;
    }
    if (compiled) *compiled = std::move(f);
    return Status::Ok;
}

}  // namespace qor::cmd
