// Formulas without the command language: the status of every refusal, the
// list and its markers through saving, audit and rounding texts, cutting
// and reshaping areas, and the dependency graph built from hand-made
// references.
#include "engine/formula_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/formula_cache.h"
#include "engine/formula_graph.h"
#include "engine/formulaeval.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

using qortest::testDir;

// A report of rows x cols in format state.
std::unique_ptr<CReportHandle> newReport(const QString& path, uint16_t rows, uint16_t cols) {
    auto h = std::make_unique<CReportHandle>(path);
    EXPECT_TRUE(h->IsOpen());
    EXPECT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    return h;
}

std::unique_ptr<CReportHandle> saveAndReopen(std::unique_ptr<CReportHandle> h) {
    const QString path = h->GetPathName();
    EXPECT_EQ(h->Save(), 0);
    h.reset();
    auto again = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_TRUE(again->IsOpen());
    return again;
}

uint16_t setFormula(CReportHandle& h, int r1, int c1, int r2, int c2, const QString& text) {
    CellArea a = CellArea::area(r1, c1, r2, c2);
    return h.SetAreaFormula(&a, text);
}

QString formulaAt(const CReportHandle& h, int row, int col) {
    FormulaInfo info;
    h.GetCellFormula(CellRef{0, int16_t(row), int16_t(col)}, &info);
    return info.text;
}

bool formulaBit(const CReportHandle& h, uint16_t row, uint16_t col) {
    return kFmtHasFormula.get(h.GetReportFile()->Format().cellFormat(row, col)) != 0;
}

// Keeps the process-wide hooks of a test from leaking into the next.
struct HookGuard {
    std::shared_ptr<IFormulaChecker> checker = InstallFormulaChecker(nullptr);
    std::shared_ptr<IFormulaEvaluator> evaluator = InstallFormulaEvaluator(nullptr);
    ~HookGuard() {
        InstallFormulaChecker(checker);
        InstallFormulaEvaluator(evaluator);
    }
};

}  // namespace

TEST(FormulaStore, EveryRefusalHasItsStatusAndStoresNothing) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 20, 8);
    const QString longest(1025, u'1');
    EXPECT_EQ(setFormula(*h, 1, 1, 1, 1, longest), 0);
    EXPECT_EQ(setFormula(*h, 1, 2, 1, 2, longest + u'1'), 1250);
    EXPECT_EQ(setFormula(*h, 0, 1, 1, 1, "1"), 1075);
    EXPECT_EQ(setFormula(*h, 20, 8, 21, 8, "1"), 1075);
    EXPECT_EQ(setFormula(*h, 1, 9, 1, 9, "1"), 1075);

    int kind = 1, start = 10, extent = 5;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    EXPECT_EQ(setFormula(*h, 8, 1, 12, 1, "1"), 1200);  // the area's first row inside
    EXPECT_EQ(setFormula(*h, 11, 1, 11, 1, "1"), 0);    // only the first row is refused

    CellArea comb = CellArea::area(3, 3, 4, 4);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    EXPECT_EQ(setFormula(*h, 4, 4, 4, 4, "1"), 1220);
    EXPECT_EQ(setFormula(*h, 1, 3, 6, 3, "1"), 1220);
    EXPECT_EQ(setFormula(*h, 5, 5, 5, 5, "1"), 0);

    // The list is full at 20,000.
    std::vector<FormulaRecord>& list = h->GetReportFile()->MutableFormat().formulas;
    while (list.size() < kMaxFormulas - 1) list.push_back({{20, 8, 20, 8}, 0, 0, "7"});
    EXPECT_EQ(setFormula(*h, 19, 8, 19, 8, "1"), 0);
    EXPECT_EQ(setFormula(*h, 18, 8, 18, 8, "1"), 1240);
    EXPECT_EQ(formulaAt(*h, 18, 8), "");
    EXPECT_EQ(list.size(), size_t(kMaxFormulas));

    ASSERT_EQ(h->EnterDataState(), 0);
    EXPECT_EQ(setFormula(*h, 6, 6, 6, 6, "1"), 1);  // format state only
    EXPECT_EQ(formulaAt(*h, 6, 6), "");
}

TEST(FormulaStore, FormulasAuditAndRoundingSurviveSaving) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 12, 6);
    ASSERT_EQ(setFormula(*h, 2, 3, 5, 4, "A2+B2"), 0);
    ASSERT_EQ(setFormula(*h, 7, 1, 7, 1, "PTOTAL(C2:D5)"), 0);
    const QString audit = QString(4095, u'x') + "\r\n";
    EXPECT_EQ(h->SetAuditFormulas(audit), 0);
    RoundingSettings round{"收入表", "A1:F12", 2, "C7=PTOTAL(C2:C5)"};
    EXPECT_EQ(h->SetRoundingSettings(round), 0);

    h = saveAndReopen(std::move(h));
    EXPECT_EQ(h->GetReportFile()->Format().header.formulaCount, 2u);
    FormulaInfo info;
    EXPECT_EQ(h->GetCellFormula(CellRef{0, 4, 4}, &info), 1);
    EXPECT_EQ(info.row, 2);
    EXPECT_EQ(info.col, 3);
    EXPECT_EQ(info.area, CellArea::area(2, 3, 5, 4));
    EXPECT_EQ(info.text, "A2+B2");
    EXPECT_EQ(h->GetCellFormula(CellRef{0, 6, 4}, &info), 0);
    EXPECT_EQ(info.text, "");
    EXPECT_EQ(h->GetCellFormulaState(3, 3), 1);
    EXPECT_EQ(h->GetCellFormulaState(1, 1), 0);
    EXPECT_TRUE(formulaBit(*h, 5, 4));
    EXPECT_FALSE(formulaBit(*h, 6, 4));
    EXPECT_TRUE(h->GetReportFile()->AreaHasFormula({6, 1, 9, 1}));
    EXPECT_FALSE(h->GetReportFile()->AreaHasFormula({6, 2, 9, 6}));
    EXPECT_EQ(h->GetAuditFormulas(), audit);
    EXPECT_EQ(h->GetRoundingSettings(), round);

    // Removing takes the formulas, the markers and the texts.
    EXPECT_EQ(setFormula(*h, 1, 1, 12, 6, ""), 0);
    EXPECT_EQ(h->SetAuditFormulas(""), 0);
    EXPECT_EQ(h->SetRoundingSettings({}), 0);
    h = saveAndReopen(std::move(h));
    EXPECT_TRUE(h->EnumFormulas(-1).empty());
    EXPECT_FALSE(formulaBit(*h, 2, 3));
    EXPECT_TRUE(h->GetAuditFormulas().isNull());
    EXPECT_EQ(h->GetRoundingSettings(), RoundingSettings{});
}

TEST(FormulaStore, DataStateShowsAreasWhereTheVariableLinesPushThem) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 10, 4);
    int kind = 1, start = 3, extent = 5;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    ASSERT_EQ(setFormula(*h, 5, 2, 6, 3, "A5"), 0);
    ASSERT_EQ(h->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    int used = 4;  // shown rows 3..6 are variable lines
    ASSERT_EQ(h->AccessVarCount(1, &used), 0);
    FormulaInfo info;
    EXPECT_EQ(h->GetCellFormula(CellRef{0, 9, 3}, &info), 1);
    EXPECT_EQ(info.area, CellArea::area(8, 2, 9, 3));
    EXPECT_EQ(info.row, 8);
    EXPECT_EQ(h->GetCellFormula(CellRef{0, 5, 2}, &info), 0);
    EXPECT_EQ(h->GetCellFormulaState(8, 2), 1);
    EXPECT_EQ(h->GetCellFormulaState(6, 2), 0);
    EXPECT_EQ(h->EnumFormulas(0).at(0).area, CellArea::area(8, 2, 9, 3));
}

TEST(FormulaStore, AuditAndRoundingLimits) {
    auto h = newReport(testDir() + "/r.rep", 5, 5);
    EXPECT_TRUE(h->GetAuditFormulas().isNull());
    EXPECT_EQ(h->SetAuditFormulas(QString(4095, u'a')), 0);
    EXPECT_EQ(h->SetAuditFormulas(QString(4096, u'b')), 1);
    EXPECT_EQ(h->SetAuditFormulas(QString(4096, u'c') + "\r\n"), 1);
    EXPECT_EQ(h->GetAuditFormulas(), QString(4095, u'a'));  // a refusal keeps the old text

    const RoundingSettings good{QString(255, u't'), "A1", 8, QString(3745, u'f')};
    EXPECT_EQ(h->SetRoundingSettings(good), 0);
    RoundingSettings bad = good;
    bad.tableName += u't';
    EXPECT_EQ(h->SetRoundingSettings(bad), 1);
    bad = good;
    bad.formula += u'f';
    EXPECT_EQ(h->SetRoundingSettings(bad), 1);
    for (uint16_t digits : {0, 9}) {
        bad = good;
        bad.digits = digits;
        EXPECT_EQ(h->SetRoundingSettings(bad), 1) << digits;
    }
    EXPECT_EQ(h->GetRoundingSettings(), good);
}

TEST(FormulaStore, CuttingAnAreaWithoutACheckerKeepsOnlyWhatNeedsNoRewrite) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 10, 5);
    ASSERT_EQ(setFormula(*h, 1, 3, 5, 3, "A1+B1"), 0);
    // Cells after the first would need their references moved.
    EXPECT_EQ(setFormula(*h, 1, 3, 1, 3, "9"), 1);
    EXPECT_EQ(formulaAt(*h, 1, 3), "A1+B1");
    // The part that keeps the first cell keeps the text as it is.
    EXPECT_EQ(setFormula(*h, 5, 3, 5, 3, ""), 0);
    FormulaInfo info;
    ASSERT_EQ(h->GetCellFormula(CellRef{0, 2, 3}, &info), 1);
    EXPECT_EQ(info.area, CellArea::area(1, 3, 4, 3));
    EXPECT_FALSE(formulaBit(*h, 5, 3));
    // A new area over a whole old one replaces it.
    EXPECT_EQ(setFormula(*h, 1, 3, 6, 3, "7"), 0);
    ASSERT_EQ(h->EnumFormulas(0).size(), 1u);
    EXPECT_EQ(h->EnumFormulas(0)[0].text, "7");
    EXPECT_TRUE(h->EnumFormulas(1).empty());
}

TEST(FormulaStore, AreaMinusLeavesTheRestInBands) {
    const AreaRecord from{2, 2, 8, 6};
    EXPECT_TRUE(AreaMinus(from, {1, 1, 9, 9}).empty());
    EXPECT_EQ(AreaMinus(from, {10, 1, 12, 1}), std::vector<AreaRecord>{from});
    const std::vector<AreaRecord> parts = AreaMinus(from, {4, 3, 5, 4});
    const std::vector<AreaRecord> expected{{2, 2, 3, 6}, {6, 2, 8, 6}, {4, 2, 5, 2}, {4, 5, 5, 6}};
    EXPECT_EQ(parts, expected);
    size_t cells = 0;
    for (const AreaRecord& p : parts) cells += size_t(p.r2 - p.r1 + 1) * (p.c2 - p.c1 + 1);
    EXPECT_EQ(cells, 7u * 5 - 2 * 2);
}

TEST(FormulaStore, ShapeEditsWithoutACheckerMoveAreasByTheirCorners) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 10, 5);
    ASSERT_EQ(setFormula(*h, 3, 2, 6, 2, "A3"), 0);
    ASSERT_EQ(setFormula(*h, 8, 1, 8, 1, "B8"), 0);
    uint16_t one = 1;
    ASSERT_EQ(h->InsertRowsCols(1, &one, 0), 0);  // everything one row down
    ASSERT_EQ(h->DeleteRowsCols(9, 1, 0), 0);     // the single-cell formula goes
    const std::vector<FormulaInfo> list = h->EnumFormulas(-1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].area, CellArea::area(4, 2, 7, 2));
    EXPECT_EQ(list[0].text, "A3");  // texts stay as written without a checker
    EXPECT_TRUE(formulaBit(*h, 7, 2));
    EXPECT_FALSE(formulaBit(*h, 3, 2));
    h = saveAndReopen(std::move(h));
    EXPECT_EQ(formulaAt(*h, 5, 2), "A3");
}

TEST(FormulaStore, RecalculationNeedsDataStateAndTheHooks) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 5, 5);
    ASSERT_EQ(setFormula(*h, 1, 1, 1, 1, "1"), 0);
    EXPECT_EQ(h->RecalcPage(0), 1);  // format state
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    EXPECT_EQ(h->RecalcPage(1), 1);  // no checker, no evaluator
    EXPECT_EQ(h->RecalcAll(), 1);
}

// A failed formula leaves its cell marked: the mark goes with the formula,
// whichever way the formula goes (removed, or cut after a row deleted in
// the same edit), on every page. Marks the
// cell's own formula did not write (a total that left out a failed value)
// stay, and so do the marks of formulas that stay.
TEST(FormulaStore, RemovingAFormulaTakesTheMarkItsFailureLeft) {
    HookGuard noHooks;
    auto h = newReport(testDir() + "/r.rep", 8, 4);
    ASSERT_EQ(setFormula(*h, 1, 1, 1, 1, "7/0"), 0);  // A1: removed
    ASSERT_EQ(setFormula(*h, 1, 2, 1, 2, "7/0"), 0);  // B1: kept
    ASSERT_EQ(setFormula(*h, 4, 1, 4, 1, "7/0"), 0);  // A4: removed after row 2 goes
    ASSERT_EQ(setFormula(*h, 6, 1, 6, 1, "7/0"), 0);  // A6: removed, marked by a total
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(2 - h->GetPageCount(), 2), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    CReportFile* file = h->GetReportFile();
    const CellSlot failed = CellSlot::emptyNumber(kSlotComputed | kSlotFormulaError);
    for (int p = 1; p <= 2; ++p) {
        const std::shared_ptr<CSheetPage> page = file->Page(p);
        ASSERT_NE(page, nullptr);
        for (auto [r, c] : {std::pair{1, 1}, {1, 2}, {4, 1}})
            page->SetSlot(uint16_t(r), uint16_t(c), failed);
        ASSERT_EQ(h->MarkCellValueFailed(3, 4, p), 0);  // a total's mark, no formula
    }
    ASSERT_EQ(h->MarkCellValueFailed(6, 1, 2), 0);  // a total's mark on a formula's cell

    ASSERT_EQ(h->SetCurPage(0), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(setFormula(*h, 1, 1, 1, 1, ""), 0);
    ASSERT_EQ(h->DeleteRowsCols(2, 1, 0), 0);  // A4 is A3 now, A6 A5
    ASSERT_EQ(setFormula(*h, 3, 1, 3, 1, ""), 0);
    ASSERT_EQ(setFormula(*h, 5, 1, 5, 1, ""), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    h = saveAndReopen(std::move(h));
    for (int p = 1; p <= 2; ++p) {
        SCOPED_TRACE(p);
        EXPECT_FALSE(h->CellValueFailed(1, 1, p));
        EXPECT_TRUE(h->CellValueFailed(1, 2, p));
        EXPECT_FALSE(h->CellValueFailed(3, 1, p));
        EXPECT_TRUE(h->CellValueFailed(2, 4, p));  // row 3 moved up with row 2's going
    }
    EXPECT_TRUE(h->CellValueFailed(5, 1, 2));
}

// ---------------------------------------------------------------------------
// The dependency graph from hand-made references

namespace {

struct GraphCase {
    ReportFormat format = ReportFormat::newReport();
    std::vector<CompiledFormulaPtr> compiled;
    FormulaCellIndex index;

    // A formula on area reading refs; a null compiled form marks a text
    // that did not compile.
    void add(AreaRecord area, std::vector<FormulaRef> refs, bool compiles = true) {
        format.formulas.push_back({area, 0, 0, QString::number(format.formulas.size())});
        auto r = std::make_shared<FormulaCheckResult>();
        r->refs = std::move(refs);
        if (compiles)
            r->compiled = std::make_shared<CompiledFormula>();
        else
            r->status = Status::FormulaInvalid;
        compiled.push_back(r);
    }
    FormulaGraph build() {
        index.build(format.formulas, format.header.rows);
        return BuildFormulaGraph(format, index, compiled);
    }
    // Position of a cell in the evaluation order.
    static size_t rank(const FormulaGraph& g, const ReportFormat& f, const FormulaCellIndex& i,
                       uint16_t r, uint16_t c) {
        const uint32_t node = g.nodeOf(f.formulas, i, r, c);
        for (size_t k = 0; k < g.order.size(); ++k)
            if (g.order[k] == node) return k;
        return SIZE_MAX;
    }
    size_t rank(const FormulaGraph& g, uint16_t r, uint16_t c) const {
        return rank(g, format, index, r, c);
    }
};

FormulaRef cell(uint16_t r, uint16_t c) { return {FormulaRef::Cell, {r, c, r, c}}; }
FormulaRef statArea(AreaRecord a) {
    FormulaRef ref{FormulaRef::Area, a};
    ref.statisticArea = true;
    return ref;
}

}  // namespace

TEST(FormulaGraph, OrdersChainsAreasAndSharedAreasByDependency) {
    GraphCase g;
    g.add({1, 4, 1, 4}, {cell(1, 3)});                // D1 = C1 ...
    g.add({1, 3, 1, 3}, {cell(1, 2)});                // C1 = B1
    g.add({1, 2, 1, 2}, {cell(1, 1)});                // B1 = A1 (a value)
    g.add({2, 1, 6, 1}, {cell(1, 4)});                // A2:A6 = D1, D2, ... moved per row
    g.add({7, 1, 7, 1}, {statArea({2, 1, 6, 1})});    // A7 = PTOTAL(A2:A6)
    g.add({8, 1, 8, 1}, {statArea({40, 1, 50, 1})});  // reads no formula: no shared node
    const FormulaGraph graph = g.build();
    EXPECT_EQ(graph.cyclicCells, 0u);
    EXPECT_LT(g.rank(graph, 1, 2), g.rank(graph, 1, 3));
    EXPECT_LT(g.rank(graph, 1, 3), g.rank(graph, 1, 4));
    EXPECT_LT(g.rank(graph, 1, 4), g.rank(graph, 2, 1));  // A2 reads D1
    for (uint16_t r = 2; r <= 6; ++r) EXPECT_LT(g.rank(graph, r, 1), g.rank(graph, 7, 1)) << r;
    // 10 cells, plus one shared node for A7's area.
    EXPECT_EQ(graph.nodes.size(), 11u);
    // A3 reads D2, which holds no formula: nothing but A2 depends on D1.
    const uint32_t d1 = graph.nodeOf(g.format.formulas, g.index, 1, 4);
    ASSERT_EQ(graph.edgeStart[d1 + 1] - graph.edgeStart[d1], 1u);
    EXPECT_EQ(graph.edges[graph.edgeStart[d1]], graph.nodeOf(g.format.formulas, g.index, 2, 1));
}

TEST(FormulaGraph, CyclesAreMarkedWithoutTheirReaders) {
    GraphCase g;
    g.add({1, 1, 1, 1}, {cell(1, 2)});              // A1 = B1
    g.add({1, 2, 1, 2}, {cell(1, 1)});              // B1 = A1: a cycle
    g.add({1, 3, 1, 3}, {cell(1, 1)});              // C1 reads the cycle
    g.add({2, 1, 2, 1}, {cell(2, 1)});              // A2 reads itself
    g.add({3, 1, 3, 3}, {statArea({3, 1, 3, 3})});  // a total over its own area
    g.add({4, 1, 4, 1}, {cell(9, 9)}, false);       // does not compile
    const FormulaGraph graph = g.build();
    EXPECT_EQ(graph.cyclicCells, 2u + 1 + 3);
    EXPECT_EQ(graph.problem, (std::vector<uint8_t>{2, 2, 0, 2, 2, 1}));
    EXPECT_LT(g.rank(graph, 1, 1), g.rank(graph, 1, 3));
    EXPECT_LT(g.rank(graph, 1, 2), g.rank(graph, 1, 3));
}

TEST(FormulaGraph, LongChainsNeedNoDeepRecursion) {
    GraphCase g;
    uint16_t rows = 9999, cols = 2;
    g.format.header.rows = rows;
    g.format.header.cols = cols;
    g.format.cellFormats.assign(size_t(rows) * cols, kDefaultCellFormat);
    // B(r) = B(r+1): computed bottom-up, and one cycle of 9,999 cells in
    // column A.
    for (uint16_t r = 1; r <= rows; ++r) {
        g.add({r, 2, r, 2}, r < rows ? std::vector<FormulaRef>{cell(uint16_t(r + 1), 2)}
                                     : std::vector<FormulaRef>{});
        g.add({r, 1, r, 1}, {cell(r < rows ? uint16_t(r + 1) : uint16_t(1), 1)});
    }
    const FormulaGraph graph = g.build();
    EXPECT_EQ(graph.cyclicCells, size_t(rows));
    EXPECT_LT(g.rank(graph, rows, 2), g.rank(graph, 1, 2));
}

TEST(FormulaGraph, OverlappingAreasLeaveEachCellToTheLaterFormula) {
    GraphCase g;
    g.add({1, 1, 3, 3}, {});
    g.add({2, 2, 2, 2}, {});
    const FormulaGraph graph = g.build();
    EXPECT_EQ(g.index.find(2, 2), 1);
    EXPECT_EQ(g.index.find(1, 1), 0);
    EXPECT_EQ(g.index.find(4, 1), -1);
    size_t owned = 0;
    for (const FormulaGraph::Node& n : graph.nodes) owned += n.owned;
    EXPECT_EQ(owned, 9u);
}
