// Formulas of an open report: setting and reading them, audit and
// rounding-balance texts, and the recalculation driver.
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <new>
#include <unordered_set>

#include "engine/cellformat.h"
#include "engine/cellgate.h"
#include "engine/creporthandle.h"
#include "engine/formula_cache.h"
#include "engine/formula_graph.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"
#include "engine/recalccache.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"

using namespace qor;

namespace {

constexpr uint16_t kRefused = code(Status::Refused);
constexpr int kMaxAuditTextChars = 4095;  // a final CR LF comes on top
constexpr int kMaxRoundingNameChars = 255;
constexpr int kMaxRoundingFormulaChars = 3745;
constexpr int kCycleCellsReported = 10;

FormulaValue slotValue(const CellSlot& s, const QString& text) {
    if (s.flags & kSlotFormulaError) return FormulaValue::error();
    if (s.isText()) return FormulaValue::ofText(text);
    if (s.isNumber() && !s.isEmptyNumber()) return FormulaValue::ofNumber(s.numberValue());
    return FormulaValue::empty();
}

// What the evaluator reads while it computes the cells of one page.
class PageContext final : public FormulaEvalContext {
public:
    PageContext(CReportHandle* report, int page, const CSheetPage& sheet,
                const ReportFormat& format)
        : m_report(report),
          m_page(page),
          m_sheet(sheet),
          m_format(format),
          m_keywordNames(FormulaKeywordNames(format.header.userKeywordName)) {}

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
        for (int i = 0; i < m_keywordNames.size(); ++i)
            if (!m_keywordNames[i].isEmpty() &&
                name.compare(m_keywordNames[i], Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    std::unique_ptr<FormulaEvalContext> ForPage(int page) const override {
        if (!m_report || page < 1 || page > m_report->GetPageCount()) return nullptr;
        std::shared_ptr<CSheetPage> sheet = m_report->GetPage(page);
        if (!sheet) return nullptr;
        auto other = std::make_unique<PageContext>(m_report, page, *sheet, m_format);
        other->m_hold = std::move(sheet);
        other->setTarget(m_area, m_row, m_col);
        return other;
    }

private:
    std::shared_ptr<CSheetPage> m_hold;  // keeps another page loaded while it is read
    CReportHandle* m_report;
    int m_page;
    const CSheetPage& m_sheet;
    const ReportFormat& m_format;
    QStringList m_keywordNames;
    AreaRecord m_area;
    uint16_t m_row = 0, m_col = 0;
};

CellValue resultAsValue(const FormulaValue& v) {
    if (v.kind == FormulaValue::Number) return CellValue::ofNumber(v.number);
    if (v.kind == FormulaValue::Text) return CellValue::ofText(v.text);
    return CellValue{};
}

// Writes a result into its cell, converted to the cell's kind by the gate
// every other write passes (the caller has made a result the gate refuses
// an error); false when the cell already holds exactly that (the page then
// stays unchanged).
bool writeResult(CSheetPage& page, uint16_t row, uint16_t col, bool textCell,
                 const FormulaValue& v) {
    CellValue kept;
    if (v.isError() || qor::ValueForCell(resultAsValue(v), textCell, &kept) != qor::ValueFault::None)
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

QString cellName(uint16_t row, uint16_t col) { return FormatCellRef(col - 1, row - 1); }

QString cycleReason() { return LoadErrorText(qor::str::kFormulaCycle).remove(u'：').trimmed(); }

}  // namespace

// The passes that bring the formulas reading other pages up to date. The
// summary counts each cell once with the state it is left in, however many
// passes computed it.
struct CReportHandle::AcrossPages {
    int countedPage = 0;                   // 0: the first pass counted every page
    const std::vector<uint8_t>* counted;  // by node; empty: every node
    std::unordered_set<uint64_t> seen;     // cells counted by these passes
    size_t changed = 0;                    // results that moved in this pass
    bool settling = false;                 // a result still moving is a cycle
};

// ---------------------------------------------------------------------------
// Setting and reading formulas

uint16_t CReportHandle::SetAreaFormula(CellArea* area, const QString& text) {
    if (!m_file || !area) return kRefused;
    if (!m_file->IsFormatEditing()) return kRefused;
    CellArea mapped;
    if (!m_file->MapAreaAddress(*area, &mapped)) return code(Status::OutsideTable);
    const AreaRecord stored{uint16_t(mapped.first.row), uint16_t(mapped.first.col),
                            uint16_t(mapped.last.row), uint16_t(mapped.last.col)};
    try {
        return m_file->SetStoredAreaFormula(stored, text);
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
}

QString CReportHandle::LastFormulaError() const {
    return m_file ? m_file->LastFormulaError() : QString();
}

int CReportHandle::LastFormulaErrorPosition() const {
    return m_file ? m_file->LastFormulaErrorPosition() : -1;
}

namespace {

// Shown row and column of a stored cell: rows (columns) after the variable
// area's template move down (right) by the lines the area shows.
void storedToShown(const CReportFile& file, uint16_t row, uint16_t col, int16_t* shownRow,
                   int16_t* shownCol) {
    const ReportHeader& h = file.Format().header;
    int r = row, c = col;
    if (h.varKind) {
        const int extra = std::max(1, file.VarUsedLines()) - 1;
        if (h.varKind == 1 && r > h.varStart) r += extra;
        if (h.varKind == 2 && c > h.varStart) c += extra;
    }
    *shownRow = int16_t(r);
    *shownCol = int16_t(c);
}

FormulaInfo infoOf(const CReportFile& file, const FormulaRecord& fr, uint16_t state) {
    FormulaInfo info;
    storedToShown(file, fr.area.r1, fr.area.c1, &info.area.first.row, &info.area.first.col);
    storedToShown(file, fr.area.r2, fr.area.c2, &info.area.last.row, &info.area.last.col);
    info.row = info.area.first.row;
    info.col = info.area.first.col;
    info.text = fr.text;
    info.kind = fr.kind;
    info.state = state;
    return info;
}

// State of formula i: 2 when it does not compile or lies in a cycle (as far
// as a checker can tell), else what the list holds.
uint16_t formulaState(const CReportFile& file, CReportFile::FormulaCache& cache, int i) {
    const FormulaRecord& fr = file.Format().formulas[size_t(i)];
    if (fr.state == 2) return 2;
    if (fr.kind != 0 || !FormulaChecker()) return 0;
    const FormulaGraph& g = cache.graph(file.Format());
    return size_t(i) < g.problem.size() && g.problem[size_t(i)] ? 2 : 0;
}

}  // namespace

int CReportHandle::GetCellFormula(CellRef cell, FormulaInfo* rec) const {
    if (rec) *rec = FormulaInfo{};
    if (!m_file || !rec) return 0;
    uint16_t r = 0, c = 0;
    if (!m_file->MapCellAddress(cell.row, cell.col, &r, &c)) return 0;
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const int i = cache.index().find(r, c);
    if (i < 0) return 0;
    *rec = infoOf(*m_file, m_file->Format().formulas[size_t(i)], formulaState(*m_file, cache, i));
    return 1;
}

int CReportHandle::GetCellFormulaState(int row, int col) const {
    if (!m_file) return 0;
    uint16_t r = 0, c = 0;
    if (!m_file->MapCellAddress(row, col, &r, &c)) return 0;
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const int i = cache.index().find(r, c);
    if (i < 0) return 0;
    if (formulaState(*m_file, cache, i) == 2) return 2;
    if (!m_file->IsFormatEditing()) {
        const std::shared_ptr<CSheetPage> current = currentPage();
        if (current && (current->Slot(r, c).flags & kSlotFormulaError)) return 2;
    }
    return 1;
}

std::vector<FormulaInfo> CReportHandle::EnumFormulas(int kind) const {
    std::vector<FormulaInfo> out;
    if (!m_file) return out;
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const std::vector<FormulaRecord>& list = m_file->Format().formulas;
    for (size_t i = 0; i < list.size(); ++i)
        if (kind < 0 || list[i].kind == kind)
            out.push_back(infoOf(*m_file, list[i], formulaState(*m_file, cache, int(i))));
    return out;
}

// ---------------------------------------------------------------------------
// Audit and rounding-balance texts

QString CReportHandle::GetAuditFormulas() const {
    if (!m_file || m_file->Format().auditText.isEmpty()) return QString();
    return m_file->Format().auditText;
}

uint16_t CReportHandle::SetAuditFormulas(const QString& text) {
    if (!m_file) return kRefused;
    QStringView body(text);
    if (body.endsWith(u"\r\n")) body.chop(2);
    if (body.size() > kMaxAuditTextChars) return kRefused;
    try {
        m_file->MutableFormat().auditText = text;
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
    return 0;
}

RoundingSettings CReportHandle::GetRoundingSettings() const {
    return m_file ? m_file->Format().rounding : RoundingSettings{};
}

uint16_t CReportHandle::SetRoundingSettings(const RoundingSettings& s) {
    if (!m_file) return kRefused;
    const bool clearing = s == RoundingSettings{};
    if (!clearing &&
        (s.tableName.size() > kMaxRoundingNameChars || s.range.size() > kMaxRoundingNameChars ||
         s.digits < 1 || s.digits > 8 || s.formula.size() > kMaxRoundingFormulaChars))
        return kRefused;
    try {
        m_file->MutableFormat().rounding = s;
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Recalculation

uint16_t CReportHandle::recalc(int page, const std::vector<uint32_t>* only,
                               AcrossPages* across) {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    // Cells asking outside data the same thing share one answer.
    const RecalcCacheScope shared;
    const std::shared_ptr<IFormulaEvaluator> evaluator = FormulaEvaluator();
    if (!evaluator || !FormulaChecker()) return kRefused;
    if (page == 0) page = m_curPage;
    if (page < 1 || page > m_file->PageCount()) return code(Status::PageOutOfRange);
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> sheet =
        page == m_curPage ? currentPage(&status) : m_file->Page(page, &status);
    if (!sheet) return status ? status : kRefused;

    CReportFile::FormulaCache& cache = m_file->Formulas();
    const ReportFormat& f = m_file->Format();
    const FormulaGraph& g = cache.graph(f);
    const std::vector<CompiledFormulaPtr>& compiled = cache.compiledFormulas();
    // What the graph knows of each formula is its state everywhere.
    for (size_t i = 0; i < f.formulas.size() && i < g.problem.size(); ++i) {
        const uint16_t state = g.problem[i] ? 2 : 0;
        if (f.formulas[i].kind == 0 && f.formulas[i].state != state)
            m_file->MutableFormat().formulas[i].state = state;
    }

    PageContext context(this, page, *sheet, f);
    const std::vector<uint32_t>& order = only ? *only : g.order;
    // The formulas ahead are asked for from memory a step at a time, each
    // step reading what the one before brought in, so a long list of
    // formulas does not wait on each of its reads in turn.
    constexpr size_t kStride = 2;
    constexpr size_t kSteps = CompiledFormula::kPrefetchSteps + 2;
    const auto prefetch = [&](size_t k, size_t step) {
        if (k >= order.size()) return;
        const uint32_t formula = g.nodes[order[k]].formula;
        if (formula == FormulaGraph::kNoFormula || !compiled[formula]) return;
        const FormulaCheckResult* r = compiled[formula].get();
        if (step == 0) {
            __builtin_prefetch(r);
        } else if (!r->compiled) {
            return;
        } else if (step == 1) {
            __builtin_prefetch(r->compiled.get());
        } else {
            r->compiled->Prefetch(int(step) - 2);
        }
    };
    for (size_t k = 0; k < order.size(); ++k) {
        for (size_t step = 0; step < kSteps; ++step) prefetch(k + (kSteps - step) * kStride, step);
        const uint32_t id = order[k];
        const FormulaGraph::Node& node = g.nodes[id];
        if (node.formula == FormulaGraph::kNoFormula || !node.owned) continue;
        const FormulaRecord& fr = f.formulas[node.formula];
        FormulaValue v = FormulaValue::error();
        if (g.cyclic[id]) {
            v = FormulaValue::error(cycleReason());
        } else if (g.problem[node.formula] == 1) {
            v = FormulaValue::error(compiled[node.formula] ? compiled[node.formula]->errorReason
                                                           : QString());
        } else {
            context.setTarget(fr.area, node.row, node.col);
            try {
                v = evaluator->Evaluate(*compiled[node.formula]->compiled, context);
            } catch (...) {
                v = FormulaValue::error();
            }
            if (v.kind == FormulaValue::Number && !std::isfinite(v.number))
                v = FormulaValue::error();
        }
        const bool textCell =
            cellFormatGet(f.cellFormat(node.row, node.col), kFmtKind) == kCellText;
        if (!v.isError()) {
            // A result its cell cannot take fails the formula, named as a
            // value written by hand would be.
            const CellValue in = resultAsValue(v);
            CellValue kept;
            if (const qor::ValueFault fault = qor::ValueForCell(in, textCell, &kept);
                fault != qor::ValueFault::None)
                v = FormulaValue::error(qor::ValueFaultMessage(fault, cellName(node.row, node.col),
                                                               qor::FaultyValueText(in),
                                                               kMaxCellTextChars));
        }
        // The first cells left failed, by position, whatever the order
        // they were computed in.
        const auto keepFailed = [&] {
            ++m_recalcSummary.errorCells;
            const FailedCell cell{page, cellName(node.row, node.col), v.text, node.row, node.col};
            std::vector<FailedCell>& kept = m_recalcSummary.failed;
            const auto before = [](const FailedCell& a, const FailedCell& b) {
                return std::tie(a.page, a.row, a.col) < std::tie(b.page, b.row, b.col);
            };
            if (kept.size() < kFailedCellsKept || before(cell, kept.back())) {
                kept.insert(std::upper_bound(kept.begin(), kept.end(), cell, before), cell);
                if (kept.size() > kFailedCellsKept) kept.pop_back();
            }
        };
        if (!across) {
            writeResult(*sheet, node.row, node.col, textCell, v);
            ++m_recalcSummary.cells;
            if (v.isError()) keepFailed();
            continue;
        }
        const bool wasError = sheet->Slot(node.row, node.col).flags & kSlotFormulaError;
        if (writeResult(*sheet, node.row, node.col, textCell, v)) {
            ++across->changed;
            if (across->settling && !v.isError()) {
                v = FormulaValue::error(cycleReason());
                writeResult(*sheet, node.row, node.col, textCell, v);
            }
        }
        const bool countedBefore =
            (!across->countedPage || across->countedPage == page) &&
            (across->counted->empty() || (*across->counted)[id]);
        if (!countedBefore && across->seen.insert(uint64_t(page) << 32 | id).second) {
            ++m_recalcSummary.cells;
            if (v.isError()) keepFailed();
        } else if (v.isError() && !wasError) {
            keepFailed();
        } else if (!v.isError() && wasError) {
            --m_recalcSummary.errorCells;
            std::erase_if(m_recalcSummary.failed, [&](const FailedCell& c) {
                return c.page == page && c.row == node.row && c.col == node.col;
            });
        }
    }
    if (!across) ++m_recalcSummary.pages;
    m_recalcSummary.cyclicCells = int(g.cyclicCells);
    return 0;
}

namespace {

void reportCycles(const CReportFile& file) {
    CReportFile::FormulaCache& cache = file.Formulas();
    const FormulaGraph& g = cache.graph(file.Format());
    if (!g.cyclicCells) return;
    QStringList cells;
    for (size_t i = 0; i < g.nodes.size() && cells.size() < kCycleCellsReported; ++i)
        if (g.cyclic[i] && g.nodes[i].formula != FormulaGraph::kNoFormula && g.nodes[i].owned)
            cells << cellName(g.nodes[i].row, g.nodes[i].col);
    if (g.cyclicCells > size_t(cells.size())) cells << QStringLiteral("...");
    TraceMessage(LoadErrorText(qor::str::kFormulaCycle) + cells.join(u','));
}

}  // namespace

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

uint16_t CReportHandle::settleAcrossPages(int page, const std::vector<uint8_t>& counted) {
    const FormulaGraph& g = m_file->Formulas().graph(m_file->Format());
    if (g.acrossPages.empty()) return 0;
    AcrossPages across{page, &counted, {}, 0, false};
    const int count = m_file->PageCount();
    // Each pass computes them on every page in page order; a value read
    // from a later page, or from a cell computed later on its own page, is
    // right one pass on. A chain can need a pass for each cell of it on
    // each page; what still moves after that reads itself round the pages.
    const size_t passes = std::min<size_t>(size_t(count) * g.acrossPages.size() + 1, 64);
    for (size_t pass = 0;; ++pass) {
        across.changed = 0;
        across.settling = pass == passes;
        for (int p = 1; p <= count; ++p)
            if (const uint16_t s = recalc(p, &g.acrossPages, &across)) return s;
        if (!across.changed || across.settling) return 0;
    }
}

uint16_t CReportHandle::RecalcPage(int page) {
    m_recalcSummary = {};
    const RecalcCacheScope shared;
    uint16_t s = recalc(page, nullptr);
    if (!s) s = settleAcrossPages(page ? page : m_curPage, {});
    if (!s) reportCycles(*m_file);
    return s;
}

uint16_t CReportHandle::RecalcAll() {
    m_recalcSummary = {};
    if (!m_file) return kRefused;
    // The pages of one recalculation share their cells' outside answers.
    const RecalcCacheScope shared;
    const int count = m_file->PageCount();
    for (int p = 1; p <= count; ++p) {
        if (p > 1 && stopRequested()) {
            m_recalcSummary.stopped = true;
            return kRefused;
        }
        if (const uint16_t s = recalc(p, nullptr)) return s;
    }
    if (const uint16_t s = settleAcrossPages(0, {})) return s;
    if (count) reportCycles(*m_file);
    return 0;
}

uint16_t CReportHandle::RecalcDependents(int page, int row, int col) {
    m_recalcSummary = {};
    if (!m_file || m_file->IsFormatEditing() || !FormulaChecker()) return kRefused;
    uint16_t r = 0, c = 0;
    if (!m_file->MapCellAddress(row, col, &r, &c)) return code(Status::OutsideTable);
    const ReportFormat& f = m_file->Format();
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const FormulaGraph& g = cache.graph(f);
    const std::vector<CompiledFormulaPtr>& compiled = cache.compiledFormulas();
    const ReportHeader& h = f.header;
    // A cell of a variable line is read through V_ names and through the
    // template cell; which line is not told apart here.
    const bool varCell = (h.varKind == 1 && r == h.varStart) || (h.varKind == 2 && c == h.varStart);
    const uint16_t varIndex = h.varKind == 1 ? c : r;

    std::vector<uint8_t> marked(g.nodes.size(), 0);
    std::vector<uint32_t> queue;
    auto mark = [&](uint32_t id) {
        if (!marked[id]) {
            marked[id] = 1;
            queue.push_back(id);
        }
    };
    for (size_t fi = 0; fi < f.formulas.size(); ++fi) {
        const uint32_t first = g.firstNode[fi];
        if (first == FormulaGraph::kNoFormula) continue;
        const AreaRecord& fa = f.formulas[fi].area;
        const int width = fa.c2 - fa.c1 + 1, height = fa.r2 - fa.r1 + 1;
        auto markAll = [&] {
            for (int i = 0; i < width * height; ++i) mark(first + uint32_t(i));
        };
        const CompiledFormulaPtr& cf = compiled[fi];
        if (!cf || !cf->compiled || cf->isVolatile) {
            markAll();
            continue;
        }
        for (const FormulaRef& ref : cf->refs) {
            if (ref.elsewhere()) continue;
            if (ref.kind == FormulaRef::Var) {
                if (varCell && varIndex >= ref.index1 && varIndex <= ref.index2) markAll();
                continue;
            }
            if (ref.kind != FormulaRef::Cell && ref.kind != FormulaRef::Area) continue;
            if (!ref.shifts()) {
                if (r >= ref.area.r1 && r <= ref.area.r2 && c >= ref.area.c1 && c <= ref.area.c2)
                    markAll();
                continue;
            }
            // Targets whose moved reference covers the cell.
            const int dr1 = std::max(0, r - ref.area.r2),
                      dr2 = std::min(height - 1, r - ref.area.r1);
            const int dc1 = std::max(0, c - ref.area.c2),
                      dc2 = std::min(width - 1, c - ref.area.c1);
            for (int dr = dr1; dr <= dr2; ++dr)
                for (int dc = dc1; dc <= dc2; ++dc) mark(first + uint32_t(dr * width + dc));
        }
    }
    // The edited cell may itself hold a formula's result that others read.
    const uint32_t own = g.nodeOf(f.formulas, cache.index(), r, c);
    if (own != FormulaGraph::kNoFormula)
        for (uint32_t e = g.edgeStart[own]; e < g.edgeStart[own + 1]; ++e) mark(g.edges[e]);
    for (size_t i = 0; i < queue.size(); ++i) {
        const uint32_t id = queue[i];
        for (uint32_t e = g.edgeStart[id]; e < g.edgeStart[id + 1]; ++e) mark(g.edges[e]);
    }
    std::vector<uint32_t> order;
    order.reserve(queue.size());
    for (const uint32_t id : g.order)
        if (marked[id]) order.push_back(id);
    const RecalcCacheScope shared;
    if (const uint16_t s = recalc(page, &order)) return s;
    return settleAcrossPages(page ? page : m_curPage, marked);
}
