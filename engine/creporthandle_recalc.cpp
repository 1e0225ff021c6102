// The recalculation: which formula cells a change reaches, on any page, and
// working each of them out once, after everything it reads.
//
// A change (a cell, a whole page, everything) marks the formula cells that
// read it, then the cells that read those, page by page, through fixed
// page references (B8@3) and statistics over every page (TOTAL(B4)). The
// marked cells are then worked out in the order their inputs need: a
// depth-first walk over what each reads, kept on an explicit stack so a
// chain across 2,000 pages costs no call depth. A cell met again while it
// is being worked out reads itself: every cell of that loop fails, whatever
// its value would do, and so does everything that reads it.
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <tuple>

#include "engine/cellformat.h"
#include "engine/cellgate.h"
#include "engine/cells_varmap.h"
#include "engine/creporthandle.h"
#include "engine/formula_cache.h"
#include "engine/formula_graph.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"
#include "engine/recalccache.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "engine/valuemarks.h"
#include "platform/uiservices.h"

using namespace qor;

namespace {

constexpr uint16_t kRefused = code(Status::Refused);
constexpr int kCycleCellsReported = 10;

FormulaValue slotValue(const CellSlot& s, const QString& text) {
    if (s.flags & kSlotFormulaError) return FormulaValue::error();
    if (s.isText()) return FormulaValue::ofText(text);
    if (s.isNumber() && !s.isEmptyNumber()) return FormulaValue::ofNumber(s.numberValue());
    return FormulaValue::empty();
}

// Pages a recalculation keeps in memory besides the report's own cache:
// a chain through the pages or a total over them reads each page many
// times, and sixteen cached pages would be read back from the file for
// nearly every read.
constexpr size_t kHeldPageBytes = size_t(256) << 20;

// What the pages of one recalculation share: the keyword names, the
// statistics over every page (each worked out once) and the pages read.
struct RunShared {
    CReportHandle* report = nullptr;
    QStringList keywordNames;
    std::map<std::tuple<const void*, int, int>, FormulaValue> values;
    std::vector<std::shared_ptr<CSheetPage>> held;  // by page
    size_t heldBytes = 0;

    std::shared_ptr<CSheetPage> page(int number, uint16_t* status = nullptr) {
        if (number >= 1 && size_t(number) < held.size() && held[size_t(number)])
            return held[size_t(number)];
        std::shared_ptr<CSheetPage> p = report->GetPage(number, status);
        if (!p) return p;
        if (held.size() <= size_t(number)) held.resize(size_t(report->GetPageCount()) + 1);
        const size_t bytes = p->MemoryBytes();
        if (heldBytes + bytes <= kHeldPageBytes) {
            held[size_t(number)] = p;
            heldBytes += bytes;
        }
        return p;
    }
};

// What the evaluator reads while it computes the cells of one page.
class PageContext final : public FormulaEvalContext {
public:
    PageContext(CReportHandle* report, int page, const CSheetPage& sheet,
                const ReportFormat& format, RunShared* shared)
        : m_report(report), m_page(page), m_sheet(sheet), m_format(format), m_shared(shared) {}

    void setTarget(const AreaRecord& area, uint16_t row, uint16_t col) {
        m_area = area;
        m_row = row;
        m_col = col;
    }

    CReportHandle* Report() const override { return m_report; }
    int Page() const override { return m_page; }
    AreaRecord FormulaArea() const override { return m_area; }
    uint16_t TargetRow() const override { return m_row; }
    uint16_t TargetCol() const override { return m_col; }
    uint16_t RowCount() const override { return m_format.header.rows; }
    uint16_t ColCount() const override { return m_format.header.cols; }

    FormulaValue Cell(int row, int col) const override {
        const ReportHeader& h = m_format.header;
        if (row < 1 || col < 1 || row > h.rows || col > h.cols) return FormulaValue::error();
        // The template line of the variable area is empty on every page;
        // what the format state shows there is the first line.
        if (h.varKind == 1 && row == h.varStart) return VarCell(1, col);
        if (h.varKind == 2 && col == h.varStart) return VarCell(1, row);
        const uint16_t r = uint16_t(row), c = uint16_t(col);
        if (cellFormatGet(m_format.cellFormat(r, c), kFmtKind) == kCellLabel) {
            const QString* text = m_format.labels.find(cellKey(r, c));
            return FormulaValue::ofText(text ? *text : QString());
        }
        const CellSlot s = m_sheet.Slot(r, c);
        return slotValue(s, s.isText() ? m_sheet.Text(r, c) : QString());
    }

    int VarKind() const override { return m_format.header.varKind; }
    int VarStart() const override { return m_format.header.varKind ? m_format.header.varStart : 0; }
    int VarUsed() const override { return m_format.header.varKind ? m_sheet.VarUsed() : 0; }

    FormulaValue VarCell(int line, int index) const override {
        const SlotGrid& g = m_sheet.VarLines();
        if (!m_format.header.varKind || line < 1 || index < 1 ||
            !g.contains(uint32_t(line - 1), uint32_t(index - 1)))
            return FormulaValue::error();
        const CellSlot s = g.slot(uint32_t(line - 1), uint16_t(index - 1));
        return slotValue(s,
                         s.isText() ? g.text(uint32_t(line - 1), uint16_t(index - 1)) : QString());
    }

    FormulaValue Keyword(int slot) const override {
        const KeywordValue k = m_sheet.Keyword(slot);
        if (k.kind == 1) return FormulaValue::ofNumber(k.number);
        if (k.kind == 2) return FormulaValue::ofText(k.text);
        return FormulaValue::empty();
    }

    int KeywordSlot(QStringView name) const override {
        const QStringList& names = m_shared->keywordNames;
        for (int i = 0; i < names.size(); ++i)
            if (!names[i].isEmpty() && name.compare(names[i], Qt::CaseInsensitive) == 0) return i;
        return -1;
    }

    std::unique_ptr<FormulaEvalContext> ForPage(int page) const override {
        if (!m_report || page < 1 || page > m_report->GetPageCount()) return nullptr;
        std::shared_ptr<CSheetPage> sheet = m_shared->page(page);
        if (!sheet) return nullptr;
        auto other = std::make_unique<PageContext>(m_report, page, *sheet, m_format, m_shared);
        other->m_hold = std::move(sheet);
        other->setTarget(m_area, m_row, m_col);
        return other;
    }

    const FormulaValue* SharedValue(const void* key, int rowShift, int colShift) const override {
        const auto it = m_shared->values.find({key, rowShift, colShift});
        return it == m_shared->values.end() ? nullptr : &it->second;
    }
    void KeepShared(const void* key, int rowShift, int colShift,
                    const FormulaValue& value) const override {
        m_shared->values.insert_or_assign({key, rowShift, colShift}, value);
    }

private:
    std::shared_ptr<CSheetPage> m_hold;  // keeps another page loaded while it is read
    CReportHandle* m_report;
    int m_page;
    const CSheetPage& m_sheet;
    const ReportFormat& m_format;
    RunShared* m_shared;
    AreaRecord m_area;
    uint16_t m_row = 0, m_col = 0;
};

CellValue resultAsValue(const FormulaValue& v) {
    if (v.kind == FormulaValue::Number) return CellValue::ofNumber(v.number);
    if (v.kind == FormulaValue::Text) return CellValue::ofText(v.text);
    return CellValue{};
}

// Writes a result into its cell (of format word `word`), converted to the
// cell's kind and held to its decimals by the gate every other write
// passes (the caller has made a result the gate refuses an error); false
// when the cell already holds exactly that (the page then stays
// unchanged).
bool writeResult(CSheetPage& page, uint16_t row, uint16_t col, uint64_t word,
                 const FormulaValue& v) {
    const bool textCell = qor::CellKeepsText(word);
    CellValue kept;
    if (v.isError() || qor::ValueForCell(resultAsValue(v), word, &kept) != qor::ValueFault::None)
        kept = CellValue{};
    const uint8_t flags = uint8_t(kSlotComputed | (v.isError() ? kSlotFormulaError : 0));
    const CellSlot cur = page.Slot(row, col);
    if (textCell) {
        const QString t = kept.isText() ? kept.text : QString();
        if (cur.isText() && cur.flags == flags && page.Text(row, col) == t) return false;
        page.SetText(row, col, t, flags);
        return true;
    }
    CellSlot s = CellSlot::emptyNumber(flags);
    if (kept.kind == kCellNumber) s = CellSlot::number(kept.number, flags);
    if (cur == s) return false;
    page.SetSlot(row, col, s);
    return true;
}

// A cell as its page shows it (the name box, formulas, messages): the rows
// or columns after a variable area move on by the lines the page uses.
QString cellName(const ReportHeader& h, const CSheetPage* page, uint16_t row, uint16_t col) {
    const int used = h.varKind && page ? std::max<int>(1, page->VarUsed()) : 1;
    return FormatCellRef(ShownColOf(h, used, col) - 1, ShownRowOf(h, used, row) - 1);
}

QString cycleReason() { return LoadErrorText(qor::str::kFormulaCycle).remove(u'：').trimmed(); }

constexpr uint32_t kUnset = UINT32_MAX;

}  // namespace

// One recalculation. Every cell to work out gets a small id; statistics
// over pages get one too (page 0), so the walk treats them as cells that
// read the same area on every page.
struct CReportHandle::RecalcRun {
    using PageNode = FormulaGraph::PageNode;

    CReportHandle& h;
    CReportFile& file;
    const ReportFormat& f;
    const FormulaGraph& g;
    const std::vector<CompiledFormulaPtr>& compiled;
    IFormulaEvaluator& evaluator;
    const uint32_t pages;
    RunShared shared;

    std::vector<PageNode> entries{{0, 0}};  // by id; id 0 is none
    std::vector<std::vector<uint32_t>> idOf;  // by page, then node; empty: nothing marked
    std::vector<uint32_t> groupId;            // by group
    std::vector<uint32_t> formulaGroup;       // by formula: its statistic over pages

    // The page being worked on.
    uint32_t sheetPage = 0;
    std::shared_ptr<CSheetPage> sheet;
    std::unique_ptr<PageContext> context;
    std::vector<uint8_t> touched;  // by page
    int pagesTouched = 0;
    QStringList cycleCells;
    bool moreCycleCells = false;

    RecalcRun(CReportHandle& handle, IFormulaEvaluator& ev)
        : h(handle),
          file(*handle.m_file),
          f(handle.m_file->Format()),
          g(handle.m_file->Formulas().graph(handle.m_file->Format())),
          compiled(handle.m_file->Formulas().compiledFormulas()),
          evaluator(ev),
          pages(uint32_t(handle.m_file->PageCount())) {
        shared.report = &handle;
        shared.keywordNames = FormulaKeywordNames(f.header.userKeywordName);
        touched.assign(size_t(pages) + 1, 0);
        idOf.resize(size_t(pages) + 1);
        groupId.assign(g.groups.size(), 0);
        formulaGroup.assign(f.formulas.size(), FormulaGraph::kNoFormula);
        for (uint32_t k = 0; k < g.groups.size(); ++k) formulaGroup[g.groups[k].formula] = k;
    }

    uint32_t idAt(uint32_t page, uint32_t node) const {
        return page <= pages && !idOf[page].empty() ? idOf[page][node] : 0;
    }
    void mark(uint32_t page, uint32_t node) {
        if (page < 1 || page > pages) return;
        std::vector<uint32_t>& ids = idOf[page];
        if (ids.empty()) ids.assign(g.nodes.size(), 0);
        if (ids[node]) return;
        ids[node] = uint32_t(entries.size());
        entries.push_back({page, node});
    }
    void markEverywhere(uint32_t node) {
        for (uint32_t p = 1; p <= pages; ++p) mark(p, node);
    }
    void markGroup(uint32_t group) {
        if (groupId[group]) return;
        groupId[group] = uint32_t(entries.size());
        entries.push_back({0, group});
    }
    void markTargets(uint32_t formula, uint32_t page) {
        const uint32_t first = g.firstNode[formula];
        const AreaRecord& a = f.formulas[formula].area;
        const uint32_t count = uint32_t(a.r2 - a.r1 + 1) * (a.c2 - a.c1 + 1);
        for (uint32_t i = 0; i < count; ++i)
            if (g.nodes[first + i].owned) page ? mark(page, first + i) : markEverywhere(first + i);
    }

    // Readers of a cell that holds no formula (or of what was typed over
    // one), by what each formula says it reads.
    void seedCell(uint32_t page, uint16_t r, uint16_t c) {
        const ReportHeader& hd = f.header;
        // A cell of a variable line is read through V_ names and through the
        // template cell; which line is not told apart here.
        const bool varCell =
            (hd.varKind == 1 && r == hd.varStart) || (hd.varKind == 2 && c == hd.varStart);
        const uint16_t varIndex = hd.varKind == 1 ? c : r;
        for (size_t fi = 0; fi < f.formulas.size(); ++fi) {
            const uint32_t first = g.firstNode[fi];
            if (first == FormulaGraph::kNoFormula) continue;
            const AreaRecord& fa = f.formulas[fi].area;
            const int width = fa.c2 - fa.c1 + 1, height = fa.r2 - fa.r1 + 1;
            const CompiledFormulaPtr& cf = compiled[fi];
            if (!cf || !cf->compiled || cf->isVolatile) markTargets(uint32_t(fi), page);
            if (!cf || !cf->compiled) continue;
            for (const FormulaRef& ref : cf->refs) {
                if (ref.external) continue;
                // Where the readers are: on this page, on every page, or
                // every target of a statistic over pages.
                const uint32_t group = formulaGroup[fi];
                const bool overPages = ref.overPages && group != FormulaGraph::kNoFormula;
                if (!overPages && ref.page != 0 && ref.page != page) continue;
                const uint32_t where = ref.page ? 0 : page;
                const auto markAll = [&] {
                    if (overPages)
                        markGroup(group);
                    else
                        markTargets(uint32_t(fi), where);
                };
                if (ref.kind == FormulaRef::Var) {
                    if (varCell && varIndex >= ref.index1 && varIndex <= ref.index2) markAll();
                    continue;
                }
                if (ref.kind != FormulaRef::Cell && ref.kind != FormulaRef::Area) continue;
                if (!ref.shifts() || overPages) {
                    // A moving reference inside a statistic over pages: the
                    // group is read by every target anyway.
                    const int reach = ref.shifts() ? 1 : 0;
                    if (r >= ref.area.r1 && r <= ref.area.r2 + reach * (height - 1) &&
                        c >= ref.area.c1 && c <= ref.area.c2 + reach * (width - 1))
                        markAll();
                    continue;
                }
                // Targets whose moved reference covers the cell.
                const int dr1 = std::max(0, r - ref.area.r2),
                          dr2 = std::min(height - 1, r - ref.area.r1);
                const int dc1 = std::max(0, c - ref.area.c2),
                          dc2 = std::min(width - 1, c - ref.area.c1);
                for (int dr = dr1; dr <= dr2; ++dr)
                    for (int dc = dc1; dc <= dc2; ++dc) {
                        const uint32_t node = first + uint32_t(dr * width + dc);
                        if (!g.nodes[node].owned) continue;
                        where ? mark(where, node) : markEverywhere(node);
                    }
            }
        }
        // The cell may itself hold a formula's result that others read.
        const uint32_t own = g.nodeOf(f.formulas, file.Formulas().index(), r, c);
        if (own != FormulaGraph::kNoFormula) spreadFrom(page, own);
    }

    // A page changed as a whole (its keywords, its lines, a recalculation of
    // it asked for): its formula cells, every statistic over pages and every
    // reader of that page by number.
    void seedPage(uint32_t page) {
        for (uint32_t n = 0; n < g.nodes.size(); ++n) mark(page, n);
        for (uint32_t k = 0; k < g.groups.size(); ++k) markGroup(k);
        for (size_t fi = 0; fi < f.formulas.size(); ++fi) {
            if (g.firstNode[fi] == FormulaGraph::kNoFormula || !compiled[fi]) continue;
            for (const FormulaRef& ref : compiled[fi]->refs)
                if (!ref.external && ref.page == page) {
                    markTargets(uint32_t(fi), 0);
                    break;
                }
        }
    }

    void spreadFrom(uint32_t page, uint32_t node) {
        for (uint32_t e = g.edgeStart[node]; e < g.edgeStart[node + 1]; ++e) mark(page, g.edges[e]);
        for (uint32_t e = g.fixedReaderStart[node]; e < g.fixedReaderStart[node + 1]; ++e)
            if (g.fixedReaders[e].page == page) markEverywhere(g.fixedReaders[e].node);
        for (uint32_t e = g.readByStart[node]; e < g.readByStart[node + 1]; ++e)
            markGroup(g.readBy[e]);
    }

    // Everything that reads what is marked, however far.
    void spread() {
        for (size_t i = 1; i < entries.size(); ++i) {
            const PageNode e = entries[i];
            if (e.page == 0) {
                for (const uint32_t t : g.groups[e.node].targets) markEverywhere(t);
            } else {
                spreadFrom(e.page, e.node);
            }
        }
    }

    // The marked ids an id reads; *self when it reads itself.
    void inputsOf(uint32_t id, std::vector<uint32_t>* out, bool* self) const {
        const PageNode e = entries[id];
        const auto take = [&](uint32_t other) {
            if (!other) return;
            if (other == id) *self = true;
            out->push_back(other);
        };
        if (e.page == 0) {
            const FormulaGraph::PageGroup& group = g.groups[e.node];
            for (uint32_t p = 1; p <= pages; ++p)
                if (!idOf[p].empty())
                    for (const uint32_t n : group.reads) take(idOf[p][n]);
            return;
        }
        const uint32_t n = e.node;
        for (uint32_t i = g.inputStart[n]; i < g.inputStart[n + 1]; ++i)
            take(idAt(e.page, g.inputs[i]));
        for (uint32_t i = g.fixedStart[n]; i < g.fixedStart[n + 1]; ++i)
            take(idAt(g.fixedInputs[i].page, g.fixedInputs[i].node));
        if (g.groupOf[n] != FormulaGraph::kNoFormula) take(groupId[g.groupOf[n]]);
    }

    uint16_t run() {
        const size_t count = entries.size();
        std::vector<uint32_t> index(count, kUnset), low(count, 0);
        std::vector<uint8_t> onStack(count, 0), self(count, 0);
        std::vector<uint32_t> stack, arena, component;
        struct Frame {
            uint32_t id;
            size_t begin, end, pos;
        };
        std::vector<Frame> calls;
        uint32_t next = 0;
        const auto visit = [&](uint32_t id) {
            index[id] = low[id] = next++;
            stack.push_back(id);
            onStack[id] = 1;
            const size_t begin = arena.size();
            bool reads = false;
            inputsOf(id, &arena, &reads);
            self[id] = reads;
            calls.push_back({id, begin, arena.size(), begin});
        };
        const auto walk = [&](uint32_t root) -> uint16_t {
            visit(root);
            while (!calls.empty()) {
                Frame& top = calls.back();
                if (top.pos < top.end) {
                    const uint32_t w = arena[top.pos++];
                    const uint32_t v = top.id;
                    if (index[w] == kUnset)
                        visit(w);
                    else if (onStack[w])
                        low[v] = std::min(low[v], index[w]);
                    continue;
                }
                const uint32_t v = top.id;
                arena.resize(top.begin);
                calls.pop_back();
                if (!calls.empty()) low[calls.back().id] = std::min(low[calls.back().id], low[v]);
                if (low[v] != index[v]) continue;
                component.clear();
                uint32_t w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    onStack[w] = 0;
                    component.push_back(w);
                } while (w != v);
                const bool cycle = component.size() > 1 || self[v];
                // Inputs come out first: each component is worked out
                // after everything it reads.
                for (const uint32_t id : component)
                    if (const uint16_t s = evaluate(id, cycle)) return s;
            }
            return 0;
        };
        // Page by page, each page's cells in the order of its own graph, so
        // pages are loaded about once each.
        for (uint32_t p = 1; p <= pages; ++p) {
            if (idOf[p].empty()) continue;
            for (const uint32_t n : g.order)
                if (const uint32_t id = idOf[p][n]; id && index[id] == kUnset)
                    if (const uint16_t s = walk(id)) return s;
        }
        for (uint32_t id = 1; id < count; ++id)
            if (index[id] == kUnset)
                if (const uint16_t s = walk(id)) return s;
        return 0;
    }

    uint16_t usePage(uint32_t page) {
        if (page == sheetPage) return 0;
        if (!touched[page] && pagesTouched && stopRequested()) {
            h.m_recalcSummary.stopped = true;
            return kRefused;
        }
        context.reset();
        sheet.reset();
        uint16_t status = 0;
        sheet = int(page) == h.m_curPage ? h.currentPage(&status) : shared.page(int(page), &status);
        if (!sheet) return status ? status : kRefused;
        sheetPage = page;
        if (!touched[page]) {
            touched[page] = 1;
            ++pagesTouched;
        }
        context = std::make_unique<PageContext>(&h, int(page), *sheet, f, &shared);
        return 0;
    }

    uint16_t evaluate(uint32_t id, bool cycle) {
        const PageNode e = entries[id];
        if (e.page == 0) return 0;  // a statistic is worked out by its first reader
        const FormulaGraph::Node& node = g.nodes[e.node];
        if (node.formula == FormulaGraph::kNoFormula || !node.owned) return 0;
        if (const uint16_t s = usePage(e.page)) return s;
        const FormulaRecord& fr = f.formulas[node.formula];
        const CompiledFormulaPtr& cf = compiled[node.formula];
        FormulaValue v = FormulaValue::error();
        // What reads itself on its own page may pass through cells marked
        // by nothing here: the page's graph knows it.
        cycle = cycle || g.cyclic[e.node];
        if (cycle) {
            v = FormulaValue::error(cycleReason());
        } else if (g.problem[node.formula] == 1) {
            v = FormulaValue::error(cf ? cf->errorReason : QString());
        } else {
            context->setTarget(fr.area, node.row, node.col);
            try {
                v = evaluator.Evaluate(*cf->compiled, *context);
            } catch (...) {
                v = FormulaValue::error();
            }
            if (v.kind == FormulaValue::Number && !std::isfinite(v.number))
                v = FormulaValue::error();
        }
        const uint64_t word = f.cellFormat(node.row, node.col);
        if (!v.isError()) {
            // A result its cell cannot take fails the formula, named as a
            // value written by hand would be.
            const CellValue in = resultAsValue(v);
            CellValue kept;
            if (const qor::ValueFault fault = qor::ValueForCell(in, word, &kept);
                fault != qor::ValueFault::None)
                v = FormulaValue::error(qor::ValueFaultMessage(
                    fault, cellName(f.header, sheet.get(), node.row, node.col),
                    qor::FaultyValueText(in), kMaxCellTextChars));
        }
        writeResult(*sheet, node.row, node.col, word, v);
        RecalcSummary& sum = h.m_recalcSummary;
        ++sum.cells;
        if (cycle) {
            ++sum.cyclicCells;
            const QString name = cellName(f.header, sheet.get(), node.row, node.col);
            if (!cycleCells.contains(name)) {
                if (cycleCells.size() < kCycleCellsReported)
                    cycleCells << name;
                else
                    moreCycleCells = true;
            }
        }
        if (!v.isError()) return 0;
        // The first cells left failed, by position, whatever the order they
        // were computed in.
        ++sum.errorCells;
        const FailedCell cell{int(e.page), cellName(f.header, sheet.get(), node.row, node.col),
                              v.text, node.row, node.col};
        std::vector<FailedCell>& kept = sum.failed;
        const auto before = [](const FailedCell& a, const FailedCell& b) {
            return std::tie(a.page, a.row, a.col) < std::tie(b.page, b.row, b.col);
        };
        if (kept.size() < kFailedCellsKept || before(cell, kept.back())) {
            kept.insert(std::upper_bound(kept.begin(), kept.end(), cell, before), cell);
            if (kept.size() > kFailedCellsKept) kept.pop_back();
        }
        return 0;
    }

    void reportCycles() const {
        if (cycleCells.isEmpty()) return;
        QStringList cells = cycleCells;
        if (moreCycleCells) cells << QStringLiteral("...");
        TraceMessage(LoadErrorText(qor::str::kFormulaCycle) + cells.join(u','));
    }
};

uint16_t CReportHandle::recalcFrom(const RecalcSeeds& seeds) {
    ++m_recalcRuns;
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    const std::shared_ptr<IFormulaEvaluator> evaluator = FormulaEvaluator();
    if (!evaluator || !FormulaChecker()) return kRefused;
    // The results written here are what the marks asked for.
    const qor::ValueMarks::Quiet quiet(m_file->Marks());
    try {
        // Cells asking outside data the same thing share one answer.
        const RecalcCacheScope shared;
        const ReportFormat& f = m_file->Format();
        const FormulaGraph& g = m_file->Formulas().graph(f);
        // What the graph knows of each formula is its state everywhere.
        for (size_t i = 0; i < f.formulas.size() && i < g.problem.size(); ++i) {
            const uint16_t state = g.problem[i] ? 2 : 0;
            if (f.formulas[i].kind == 0 && f.formulas[i].state != state)
                m_file->MutableFormat().formulas[i].state = state;
        }
        uint16_t s = 0;
        {
            RecalcRun run(*this, *evaluator);
            if (seeds.all) {
                for (uint32_t p = 1; p <= run.pages; ++p)
                    for (uint32_t n = 0; n < g.nodes.size(); ++n) run.mark(p, n);
                for (uint32_t k = 0; k < g.groups.size(); ++k) run.markGroup(k);
            }
            for (const int page : seeds.pages) run.seedPage(uint32_t(page));
            for (const RecalcSeeds::Cell& c : seeds.cells)
                run.seedCell(uint32_t(c.page), c.row, c.col);
            run.spread();
            s = run.run();
            m_recalcSummary.pages = run.pagesTouched;
            if (!s) run.reportCycles();
        }
        // The pages the run held go back to the page memory's budget.
        m_file->TrimPageMemory();
        return s;
    } catch (const std::bad_alloc&) {
        m_file->TrimPageMemory();
        return code(Status::OutOfMemory);
    }
}

QString CReportHandle::FailedCellText(const FailedCell& cell) {
    const QString head = LoadErrorText(qor::str::kFailedFormulaCell).arg(cell.page).arg(cell.cell);
    return cell.reason.isEmpty() ? head : LoadErrorText(qor::str::kNameAndText).arg(head, cell.reason);
}

QString CReportHandle::RecalcFailureText() const {
    const RecalcSummary& s = m_recalcSummary;
    if (!s.errorCells || s.failed.empty()) return QString();
    const FailedCell& first = s.failed.front();
    const QString head = LoadErrorText(qor::str::kRecalcCellsFailed)
                             .arg(s.errorCells)
                             .arg(first.page)
                             .arg(first.cell);
    return first.reason.isEmpty() ? head
                                  : LoadErrorText(qor::str::kNameAndText).arg(head, first.reason);
}

uint16_t CReportHandle::RecalcPage(int page) {
    m_recalcSummary = {};
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    if (page == 0) page = m_curPage;
    if (page < 1 || page > m_file->PageCount()) return code(Status::PageOutOfRange);
    RecalcSeeds seeds;
    seeds.pages.push_back(page);
    return recalcFrom(seeds);
}

uint16_t CReportHandle::RecalcAll() {
    m_recalcSummary = {};
    if (!m_file) return kRefused;
    if (m_file->PageCount() == 0) return 0;
    RecalcSeeds seeds;
    seeds.all = true;
    const uint16_t s = recalcFrom(seeds);
    if (!s) m_file->Marks().Clear();
    return s;
}

uint16_t CReportHandle::BringCurrent() {
    if (!m_file) return kRefused;
    qor::ValueMarks& marks = m_file->Marks();
    // Quiet: a recalculation is running, and one of its formulas reads
    // through a route that asks for current values.
    if (!marks.Any() || marks.IsQuiet() || m_file->IsFormatEditing()) return 0;
    if (m_file->Format().formulas.empty() || m_file->PageCount() == 0) {
        marks.Clear();
        return 0;
    }
    if (!FormulaEvaluator() || !FormulaChecker()) return 0;
    // Only what reads a noted change is worked out again; a page not known
    // by position, or pages added, removed or moved, ask for everything.
    RecalcSeeds seeds;
    const int count = m_file->PageCount();
    if (marks.All() || marks.Pages().count(0)) {
        seeds.all = true;
    } else {
        for (const auto& [page, noted] : marks.Pages()) {
            if (page < 1 || page > count) continue;
            if (noted.whole) {
                seeds.pages.push_back(page);
                continue;
            }
            for (const qor::ValueMarks::Cell& c : noted.cells) seeds.cells.push_back({page, c.row, c.col});
        }
    }
    m_recalcSummary = {};
    const uint16_t s = recalcFrom(seeds);
    // Kept when the run did not finish, so the next save or read tries again.
    if (!s) marks.Clear();
    return s;
}

bool CReportHandle::ValuesCurrent() const {
    return !m_file || !m_file->Marks().Any() || m_file->Format().formulas.empty();
}

uint16_t CReportHandle::RecalcDependents(int page, int row, int col) {
    m_recalcSummary = {};
    if (!m_file || m_file->IsFormatEditing() || !FormulaChecker()) return kRefused;
    uint16_t r = 0, c = 0;
    if (!m_file->MapCellAddress(row, col, &r, &c)) return code(Status::OutsideTable);
    if (page == 0) page = m_curPage;
    if (page < 1 || page > m_file->PageCount()) return code(Status::PageOutOfRange);
    RecalcSeeds seeds;
    seeds.cells.push_back({page, r, c});
    return recalcFrom(seeds);
}
