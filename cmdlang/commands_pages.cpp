// APPEND FROM, DELETE and SORT: commands that add, remove or reorder pages.
#include <algorithm>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/printer.h"
#include "engine/cellgate.h"
#include "engine/cells_varmap.h"
#include "engine/openreports.h"
#include "engine/varlines.h"

namespace qor::cmd {

namespace {

std::shared_ptr<CSheetPage> loadPage(CReportHandle& r, int page) {
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> sheet = r.GetPage(page, &status);
    if (!sheet) ThrowIfStatus(status ? status : 1, CmdText(str::kPageOrdinal).arg(page));
    return sheet;
}

// The kind of variable area as the variable-area dialog names it.
QString varKindText(int kind) {
    return CmdText(kind == 1   ? str::kRowsVariableRadio
                   : kind == 2 ? str::kColumnsVariableRadio
                               : str::kNoVarAreaKind);
}

bool sameShape(const ReportHeader& a, const ReportHeader& b) {
    return a.rows == b.rows && a.cols == b.cols && a.varKind == b.varKind &&
           (!a.varKind || a.varStart == b.varStart);
}

// The cells of a page whose formulas failed (shown row and column): the
// copy keeps their mark, and the run is told of them.
void noteFailedCells(const CSheetPage& page, const ReportHeader& h, int pageNo,
                     FailedSources* out) {
    const int used = std::max<int>(1, page.VarUsed());
    const SlotGrid& g = page.Fixed();
    for (uint32_t r = 0; r < g.lines(); ++r)
        for (uint16_t c = 0; c < g.lineLength(); ++c)
            if (g.slot(r, c).flags & kSlotFormulaError)
                out->add(pageNo, ShownRow(h, used, int(r + 1)), ShownCol(h, used, c + 1));
    const SlotGrid& v = page.VarLines();
    for (uint32_t line = 0; line < v.lines(); ++line)
        for (uint16_t i = 0; i < v.lineLength(); ++i)
            if (v.slot(line, i).flags & kSlotFormulaError) {
                int row = 0, col = 0;
                ShownVarCell(h, int(line + 1), i + 1, &row, &col);
                out->add(pageNo, row, col);
            }
}

}  // namespace

void RunAppend(CommandRun& run) {
    CReportHandle& r = run.report();
    const QString path = run.resolvePath(*run.cmd.file, true);
    // The source: this report, one open already, or one opened for the
    // command and closed after it.
    std::unique_ptr<CReportHandle> opened;
    CReportHandle* src = FindOpenReport(path);
    if (!src) {
        opened = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting,
                                                  CReportHandle::Access::Read);
        if (!opened->IsOpen())
            ThrowCalcError(opened->OpenStatus() ? int(opened->OpenStatus()) : int(CALC_ERR_FILE),
                           QStringLiteral("%1: %2").arg(path, StatusText(opened->OpenStatus())));
        if (opened->IsFormatState()) ThrowIfStatus(opened->EnterDataState(), path);
        src = opened.get();
    }
    if (src->IsFormatState())
        ThrowCalcError(CALC_ERR_FORMAT_STATE, CmdText(str::kInFormatState).arg(path));
    const ReportHeader& mine = r.GetReportFile()->Format().header;
    const ReportHeader& theirs = src->GetReportFile()->Format().header;
    if (!sameShape(mine, theirs))
        ThrowCalcError(CALC_ERR_SHAPE_MISMATCH,
                       CmdText(str::kTablesDiffer)
                           .arg(path)
                           .arg(theirs.rows)
                           .arg(theirs.cols)
                           .arg(varKindText(theirs.varKind))
                           .arg(mine.rows)
                           .arg(mine.cols)
                           .arg(varKindText(mine.varKind)));
    const ReportScope scope = run.scope(src);
    const std::vector<int> pages = run.matchingPages(scope, run.cmd.forCond.get());
    if (run.checkOnly()) return;
    // Their area may hold more lines than ours: every page must fit before
    // the first one comes in.
    if (mine.varKind) {
        const int limit = VarLineLimit(mine);
        for (int p : pages) {
            const int used = int(loadPage(*src, p)->VarUsed());
            if (used > limit)
                ThrowCalcError(::code(Status::TableSizeOutOfBounds),
                               CmdText(str::kVarLinesPagePastExtent)
                                   .arg(limit)
                                   .arg(VarLineWord(mine.varKind))
                                   .arg(path)
                                   .arg(p)
                                   .arg(used));
        }
    }
    const int before = r.GetPageCount();
    FailedSources failed(str::kFailedCellsCopied);
    for (int p : pages) {
        std::shared_ptr<CSheetPage> from = loadPage(*src, p);
        noteFailedCells(*from, theirs, p, &failed);
        ThrowIfStatus(r.AppendRowColPage(1, 2), CmdText(str::kAppendingPage));
        const int added = r.GetPageCount();
        // The source's cells and keywords may be of other kinds than ours:
        // each value enters by the rule a written one meets, or the APPEND
        // takes back every page it added and names the value, by the page of
        // the source it is on.
        if (const uint16_t s = r.TakePageValues(added, *from, p)) {
            const QString why = StatusText(s);
            r.DeleteRowColPage(before + 1, added - before, 2);
            ThrowCalcError(int(s), QStringLiteral("%1: %2").arg(path, why));
        }
    }
    run.refresh();
    failed.tell(run, QStringLiteral("APPEND"));
}

void RunDelete(CommandRun& run) {
    CReportHandle& r = run.report();
    const int count = r.GetPageCount();
    std::vector<int> pages;
    if (run.cmd.all || run.cmd.pages.empty()) {
        for (int p = 1; p <= count; ++p) pages.push_back(p);
    } else {
        // Every listed page must exist before any goes.
        for (int p : run.cmd.pages) {
            if (p > count)
                ThrowCalcError(::code(Status::PageOutOfRange),
                               CmdText(str::kPageOutOfCount).arg(p).arg(count));
            pages.push_back(p);
        }
    }
    if (run.cmd.forCond) {
        const ReportScope scope = run.scope(&r);
        std::vector<int> kept;
        for (int p : pages)
            if (run.holds(*run.cmd.forCond, ReportPageEnvironment(scope, p, loadPage(r, p))))
                kept.push_back(p);
        pages.swap(kept);
    }
    if (run.checkOnly()) return;
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    // From the end, in runs of neighbouring pages.
    while (!pages.empty()) {
        const int last = pages.back();
        int first = last;
        pages.pop_back();
        while (!pages.empty() && pages.back() == first - 1) {
            first = pages.back();
            pages.pop_back();
        }
        ThrowIfStatus(r.DeleteRowColPage(first, last - first + 1, 2),
                      CmdText(str::kDeletingPages).arg(first).arg(last));
    }
    run.search().reset();
    run.refresh();
    if (r.GetCurPage() > 0) run.showPage(r.GetCurPage());
}

void RunSort(CommandRun& run) {
    CReportHandle& r = run.report();
    const ReportScope scope = run.scope(&r);
    const ReportHeader& h = scope.format->header;
    bool lines = run.cmd.sortScope == SortScope::Var;
    bool pages = run.cmd.sortScope == SortScope::Pages;
    for (const SortKey& k : run.cmd.sortKeys) {
        if (k.key->kind == NodeKind::VRef)
            lines = true;
        else
            pages = true;
    }
    if (lines && pages)
        ThrowCalcError(CALC_ERR_BAD_ARGUMENT,
                       CmdText(str::kSortKeysMixed));
    if (lines) {
        if (!h.varKind) ThrowCalcError(CALC_ERR_NO_VAR_AREA, QString());
        QList<CReportHandle::VarSortKey> keys;
        for (const SortKey& k : run.cmd.sortKeys) {
            const bool rowArea = k.key->var1.axis == VarRef::Axis::Column;
            if (rowArea != (h.varKind == 1) || k.key->var1.line != 0)
                ThrowCalcError(
                    CALC_ERR_BAD_ARGUMENT,
                    CmdText(h.varKind == 1 ? str::kSortKeyNotVarColumn : str::kSortKeyNotVarRow)
                        .arg(PrintExpression(*k.key)));
            keys.append({k.key->var1.index, k.descending});
        }
        const int page = run.currentPage();
        {
            const ReportPageEnvironment env(scope, page, loadPage(r, page));
            for (int line = 1; line <= env.VarUsed(); ++line)
                for (const CReportHandle::VarSortKey& k : keys)
                    if (k.pos <= VarLineLength(h)) run.amountVarCell(env, line, k.pos);
        }
        if (run.checkOnly()) return;
        ThrowIfStatus(r.SortVarLines(keys),
                      CmdText(str::kSortingLines).arg(page));
        run.search().reset();
        run.refresh();
        return;
    }
    QList<CReportHandle::PageSortKey> keys;
    for (const SortKey& k : run.cmd.sortKeys) {
        CReportHandle::PageSortKey key;
        key.descending = k.descending;
        if (k.key->kind == NodeKind::Ident) {
            key.kind = CReportHandle::PageSortKey::Keyword;
            key.slot = scope.keywordSlot(k.key->text);
            if (key.slot < 0)
                ThrowCalcError(
                    CALC_ERR_BAD_ARGUMENT,
                    CmdText(str::kFormulaNotKeyword).arg(k.key->text));
        } else {
            // A cell at or after the variable area sits on a different row
            // (column) of each page; only cells before it name one place.
            const CellPos c = k.key->cell1;
            if ((h.varKind == 1 && c.row >= h.varStart) || (h.varKind == 2 && c.col >= h.varStart))
                ThrowCalcError(CALC_ERR_BAD_ARGUMENT,
                               CmdText(str::kSortCellBeforeVar)
                                   .arg(PrintCell(c)));
            if (c.row > h.rows || c.col > h.cols)
                ThrowCalcError(::code(Status::OutsideTable),
                               CmdText(str::kOutsideTable).arg(PrintCell(c)));
            key.kind = CReportHandle::PageSortKey::Cell;
            key.row = c.row;
            key.col = c.col;
        }
        keys.append(key);
    }
    // A cell whose formula failed holds no amount to sort by: it refuses
    // the sort as it refuses FIND, before any page moves.
    const bool byCells = std::any_of(keys.cbegin(), keys.cend(), [](const auto& k) {
        return k.kind == CReportHandle::PageSortKey::Cell;
    });
    for (int p = 1; byCells && p <= r.GetPageCount(); ++p) {
        const ReportPageEnvironment env(scope, p, loadPage(r, p));
        for (const CReportHandle::PageSortKey& k : keys)
            if (k.kind == CReportHandle::PageSortKey::Cell) run.amountCell(env, k.row, k.col);
    }
    if (run.checkOnly()) return;
    const uint16_t sorted = r.SortPages(keys);
    // A key text that is no number fails the sort as it fails arithmetic.
    if (sorted == kValueRefusedStatus) ThrowCalcError(CALC_ERR_EVALUATION, LastValueRefusal());
    ThrowIfStatus(sorted, CmdText(str::kSortingPages));
    run.search().reset();
    run.refresh();
    if (r.GetCurPage() > 0) run.showPage(r.GetCurPage());
}

}  // namespace qor::cmd
