// FIND, GFIND and CONTINUE.
//
// FIND looks at the pages after the current one, wrapping once to the
// first page and ending with the current page itself. GFIND starts on the
// current page's own lines, then goes on through the following pages
// the same way. Both note every match in that order; CONTINUE shows the
// next one and, once each has been shown, says none is left. SNUMBER()
// counts the pages among the matches.
#include <algorithm>
#include <set>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"

namespace qor::cmd {

namespace {

// Where a search's visit starts, counted from 0 (pages from 1).
int visitStart(int pages, int current, bool currentFirst) {
    if (current < 1 || current > pages) current = pages;
    return currentFirst ? current - 1 : current;
}
// Pages in the order a search visits them: first after the current one
// (or the current one itself), wrapping once.
std::vector<int> visitOrder(int pages, int current, bool currentFirst) {
    std::vector<int> order;
    order.reserve(size_t(pages));
    const int start = visitStart(pages, current, currentFirst);
    for (int k = 0; k < pages; ++k) order.push_back((start + k) % pages + 1);
    return order;
}
// The same order for a few pages of it.
void sortByVisit(std::vector<int>& some, int pages, int current, bool currentFirst) {
    const int start = visitStart(pages, current, currentFirst);
    auto step = [&](int page) { return ((page - 1 - start) % pages + pages) % pages; };
    std::sort(some.begin(), some.end(), [&](int a, int b) { return step(a) < step(b); });
}

// The column (row area) or row (column area) of the first V_ name of a
// condition, where GFIND puts the current cell.
int firstVarIndex(const Node& n) {
    if (n.kind == NodeKind::VRef || n.kind == NodeKind::VRefArea) return n.var1.index;
    for (const NodePtr& c : n.children)
        if (int i = firstVarIndex(*c)) return i;
    return 0;
}

std::shared_ptr<CSheetPage> pageOf(CReportHandle& r, int page) {
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> sheet = r.GetPage(page, &status);
    if (!sheet) ThrowIfStatus(status ? status : 1, CmdText(str::kPageOrdinal).arg(page));
    return sheet;
}

// Moves to a match of the search: the page, and for a line its cell.
void show(CommandRun& run, CCalcInterpreter::Search& s, const CCalcInterpreter::Search::Match& m) {
    CReportHandle& r = run.report();
    ThrowIfStatus(r.SetCurPage(m.page), CmdText(str::kPageOrdinal).arg(m.page));
    if (!s.lines) {
        run.setFound(m.page, 0, 0);
        run.showPage(m.page);
        return;
    }
    const ReportHeader& h = r.GetReportFile()->Format().header;
    int row = 0, col = 0;
    ShownVarCell(h, m.line, std::max(1, s.varIndex), &row, &col);
    run.setFound(m.page, row, col);
    run.showCell(m.page, row, col);
}

void finish(CommandRun& run, std::unique_ptr<CCalcInterpreter::Search> s) {
    std::set<int> pages;
    for (const auto& m : s->matches) pages.insert(m.page);
    s->pages = int(pages.size());
    auto& slot = run.search();
    slot = std::move(s);
    if (slot->matches.empty()) {
        run.setFound(0, 0, 0);
        ThrowCalcError(CALC_ERR_NOT_FOUND, QString());
    }
    slot->next = 1;
    show(run, *slot, slot->matches.front());
}

}  // namespace

void RunFind(CommandRun& run) {
    CReportHandle& r = run.report();
    const ReportScope scope = run.scope(&r);
    auto s = std::make_unique<CCalcInterpreter::Search>();
    s->report = &r;
    // A condition that reads no cells reads no page, and one on the page
    // number (MRECNO()=n) looks at its page alone, so a script stepping
    // through thousands of pages with FIND stays linear.
    std::vector<int> order;
    if (const std::optional<std::vector<int>> few = run.pagesByNumber(*run.cmd.forCond, scope)) {
        order = *few;
        sortByVisit(order, r.GetPageCount(), r.GetCurPage(), false);
    } else {
        order = visitOrder(r.GetPageCount(), r.GetCurPage(), false);
    }
    for (int page : order)
        if (run.holdsOnPage(*run.cmd.forCond, scope, page)) s->matches.push_back({page, 0});
    if (run.checkOnly()) return;
    finish(run, std::move(s));
}

void RunGFind(CommandRun& run) {
    CReportHandle& r = run.report();
    const ReportScope scope = run.scope(&r);
    if (!scope.format->header.varKind) ThrowCalcError(CALC_ERR_NO_VAR_AREA, QString());
    auto s = std::make_unique<CCalcInterpreter::Search>();
    s->report = &r;
    s->lines = true;
    s->varIndex = firstVarIndex(*run.cmd.varCond);
    for (int page : visitOrder(r.GetPageCount(), r.GetCurPage(), true)) {
        ReportPageEnvironment env(scope, page, pageOf(r, page));
        if (run.cmd.forCond && !run.holds(*run.cmd.forCond, env)) continue;
        for (int line = 1; line <= env.VarUsed(); ++line)
            if (run.holds(*run.cmd.varCond, env, line)) s->matches.push_back({page, line});
    }
    if (run.checkOnly()) return;
    finish(run, std::move(s));
}

void RunContinue(CommandRun& run) {
    CReportHandle& r = run.report();
    auto& s = run.search();
    if (!s || s->report != &r) ThrowCalcError(CALC_ERR_NO_SEARCH, QString());
    if (run.checkOnly()) return;
    // Pages deleted since the search are passed over.
    while (s->next < s->matches.size() && s->matches[s->next].page > r.GetPageCount()) ++s->next;
    if (s->next >= s->matches.size()) ThrowCalcError(CALC_ERR_NOT_FOUND, QString());
    show(run, *s, s->matches[s->next++]);
}

}  // namespace qor::cmd
