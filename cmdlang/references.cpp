#include "cmdlang/references.h"

#include "cmdlang/functions.h"

namespace qor::cmd {

namespace {

void collect(const Node& n, bool statisticArea, bool overPages, FormulaReferences* out) {
    if (n.isReference()) {
        out->refs.push_back({&n, statisticArea, overPages});
        if (n.external) out->isVolatile = true;
        if (n.page && !n.external) out->readsPages = true;
        return;
    }
    if (n.kind == NodeKind::Ident) {
        out->names.push_back(&n);
        return;
    }
    if (n.kind == NodeKind::Call) {
        out->calls.push_back(&n);
        const FunctionInfo* f = FindFunction(n.text);
        if (!f || f->isVolatile) out->isVolatile = true;
        if (f && f->group == FunctionGroup::PageStat) out->readsPages = true;
        const bool pages = overPages || (f && f->group == FunctionGroup::PageStat);
        for (size_t i = 0; i < n.children.size(); ++i)
            collect(*n.children[i], f && f->isStatistic() && i == 0, pages, out);
        return;
    }
    for (const NodePtr& c : n.children) collect(*c, false, overPages, out);
}

}  // namespace

void CollectReferences(const Node& node, FormulaReferences* out) { collect(node, false, false, out); }

void CollectReferences(const Formula& f, FormulaReferences* out) {
    if (f.expr) collect(*f.expr, false, false, out);
    if (f.filter) collect(*f.filter, false, false, out);
    if (f.relation) {
        // The related report is read through the relation: never settled by
        // this page alone.
        out->isVolatile = true;
        collect(*f.relation->key, false, false, out);
    }
}

}  // namespace qor::cmd
