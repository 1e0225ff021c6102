// Cell formulas with the command language's checker installed: compiling on
// store, rewriting references when areas are cut or the table's shape
// changes, and the recalculation driver with a small evaluator (numbers,
// + - * /, cell references, keywords, V_ names, PTOTAL and GTOTAL).
#include "cmdlang/enginehooks.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "qstringprint.h"
#include "tests/common/testsupport.h"

using namespace qor;
using namespace qor::cmd;

namespace {

// Just enough of an evaluator to prove the driver. Errors spread; an
// empty cell counts 0.
class TestEvaluator final : public IFormulaEvaluator {
public:
    int calls = 0;

    FormulaValue Evaluate(const CompiledFormula& compiled, const FormulaEvalContext& c) override {
        ++calls;
        return eval(*static_cast<const CompiledCellFormula&>(compiled).formula().expr, c);
    }

private:
    static FormulaValue num(double v) { return FormulaValue::ofNumber(v); }
    static double asNumber(const FormulaValue& v) {
        return v.kind == FormulaValue::Number ? v.number : 0;
    }

    FormulaValue eval(const Node& n, const FormulaEvalContext& c) {
        switch (n.kind) {
            case NodeKind::Number:
                return num(n.number);
            case NodeKind::CellRef:
                return c.Cell(n.cell1.row + c.RowShift(), n.cell1.col + c.ColShift());
            case NodeKind::VRef:
                return c.VarCell(n.var1.line, n.var1.index);
            case NodeKind::Ident:
                return c.Keyword(c.KeywordSlot(n.text));
            case NodeKind::Unary: {
                const FormulaValue v = eval(*n.children[0], c);
                return v.isError() ? v : num(n.op == Op::Neg ? -asNumber(v) : asNumber(v));
            }
            case NodeKind::Binary: {
                const FormulaValue a = eval(*n.children[0], c), b = eval(*n.children[1], c);
                if (a.isError()) return a;
                if (b.isError()) return b;
                const double x = asNumber(a), y = asNumber(b);
                switch (n.op) {
                    case Op::Add:
                        return num(x + y);
                    case Op::Sub:
                        return num(x - y);
                    case Op::Mul:
                        return num(x * y);
                    case Op::Div:
                        return y == 0 ? FormulaValue::error() : num(x / y);
                    default:
                        return FormulaValue::error();
                }
            }
            case NodeKind::Call:
                return call(n, c);
            default:
                return FormulaValue::error();
        }
    }

    FormulaValue call(const Node& n, const FormulaEvalContext& c) {
        const Node& a = *n.children.at(0);
        double sum = 0;
        auto add = [&](const FormulaValue& v) {
            if (v.isError()) return false;
            sum += asNumber(v);
            return true;
        };
        if (n.text == "PTOTAL") {
            const CellPos last = a.kind == NodeKind::Area ? a.cell2 : a.cell1;
            for (int r = a.cell1.row; r <= last.row; ++r)
                for (int col = a.cell1.col; col <= last.col; ++col)
                    if (!add(c.Cell(r, col))) return FormulaValue::error();
            return num(sum);
        }
        if (n.text == "GTOTAL" && a.kind == NodeKind::VRef) {
            for (int line = 1; line <= c.VarUsed(); ++line)
                if (!add(c.VarCell(line, a.var1.index))) return FormulaValue::error();
            return num(sum);
        }
        return FormulaValue::error();
    }
};

class EngineHooks : public ::testing::Test {
protected:
    void SetUp() override {
        oldChecker = InstallFormulaChecker(nullptr);
        oldEvaluator = InstallFormulaEvaluator(nullptr);
        InstallEngineHooks();
        // The driver is proved with the counting evaluator of this file.
        InstallFormulaEvaluator(evaluator);
        path = qortest::freshDir(QString::fromLatin1(
                   ::testing::UnitTest::GetInstance()->current_test_info()->name())) +
               "/r.rep";
    }
    void TearDown() override {
        h.reset();
        InstallFormulaChecker(oldChecker);
        InstallFormulaEvaluator(oldEvaluator);
    }

    void makeReport(uint16_t rows, uint16_t cols) {
        h.reset();  // one writer at a time
        h = std::make_unique<CReportHandle>(path);
        ASSERT_TRUE(h->IsOpen());
        ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    }
    uint16_t set(int r1, int c1, int r2, int c2, const QString& text) {
        CellArea a = CellArea::area(r1, c1, r2, c2);
        return h->SetAreaFormula(&a, text);
    }
    uint16_t set(int r, int c, const QString& text) { return set(r, c, r, c, text); }
    QString formulaAt(int row, int col) {
        FormulaInfo info;
        h->GetCellFormula(CellRef{0, int16_t(row), int16_t(col)}, &info);
        return info.text;
    }
    CellArea areaAt(int row, int col) {
        FormulaInfo info;
        h->GetCellFormula(CellRef{0, int16_t(row), int16_t(col)}, &info);
        return info.area;
    }
    // Data state with pages, page 1 current.
    void toData(int pages) {
        ASSERT_EQ(h->EnterDataState(), 0);
        ASSERT_EQ(h->AppendRowColPage(pages, 2), 0);
        ASSERT_EQ(h->SetCurPage(1), 0);
    }
    void put(int page, uint16_t r, uint16_t c, double v) {
        ASSERT_TRUE(h->GetPage(page)->SetNumber(r, c, v));
    }
    CellSlot slot(int page, uint16_t r, uint16_t c) { return h->GetPage(page)->Slot(r, c); }
    double at(int page, uint16_t r, uint16_t c) { return slot(page, r, c).numberValue(); }
    bool isError(int page, uint16_t r, uint16_t c) {
        return slot(page, r, c).flags & kSlotFormulaError;
    }
    void reopen() {
        ASSERT_EQ(h->Save(), 0);
        h.reset();  // one writer at a time
        h = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting);
        ASSERT_TRUE(h->IsOpen());
    }

    std::shared_ptr<TestEvaluator> evaluator = std::make_shared<TestEvaluator>();
    std::shared_ptr<IFormulaChecker> oldChecker;
    std::shared_ptr<IFormulaEvaluator> oldEvaluator;
    QString path;
    std::unique_ptr<CReportHandle> h;
};

}  // namespace

TEST_F(EngineHooks, StoringCompilesAgainstTheReport) {
    makeReport(10, 5);
    EXPECT_EQ(set(1, 1, "A2+E10"), 0);
    EXPECT_EQ(h->LastFormulaError(), "");
    EXPECT_EQ(set(1, 2, "A2+F1"), 1260);  // outside the table
    EXPECT_TRUE(h->LastFormulaError().contains("F1"));
    EXPECT_EQ(set(1, 3, "A2+"), 1260);
    EXPECT_EQ(set(1, 4, "V_A"), 1260);  // no variable area
    EXPECT_EQ(set(1, 5, "NOSUCH(A1)"), 1260);
    EXPECT_EQ(set(2, 1, "frog+1"), 1260);                  // not a keyword
    EXPECT_EQ(set(2, 2, LoadErrorText(qor::str::kKeywordYear) + "*2"), 0);  // 年, a keyword name
    EXPECT_EQ(h->EnumFormulas(-1).size(), 2u);
    EXPECT_EQ(formulaAt(1, 2), "");
    // A refused text leaves an older formula of the cell alone.
    EXPECT_EQ(set(1, 1, "(("), 1260);
    EXPECT_EQ(formulaAt(1, 1), "A2+E10");

    int kind = 1, start = 4, extent = 3;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    EXPECT_EQ(set(2, 3, "GTOTAL(V_B)+V_A2"), 0);
    EXPECT_EQ(set(2, 4, "GTOTAL(V_2)"), 1260);  // names a row of a column area

    // Total formulas are kept for consolidation; recalculation leaves them.
    EXPECT_EQ(set(3, 1, "TOTAL A1+B1"), 0);
    ASSERT_EQ(h->EnumFormulas(1).size(), 1u);
    EXPECT_EQ(h->EnumFormulas(1)[0].kind, 1);
    toData(1);
    ASSERT_EQ(h->RecalcPage(1), 0);
    EXPECT_EQ(slot(1, 3, 1).tag, kSlotNeverWritten);
    EXPECT_EQ(h->LastRecalcSummary().cells, 3);
}

TEST_F(EngineHooks, CuttingAnAreaRewritesThePiecesThatMove) {
    makeReport(10, 6);
    ASSERT_EQ(set(1, 3, 5, 4, "A1+B1*PTOTAL(A1:B5)"), 0);
    ASSERT_EQ(set(3, 3, 3, 3, "0"), 0);
    EXPECT_EQ(formulaAt(1, 3), "A1+B1*PTOTAL(A1:B5)");
    EXPECT_EQ(areaAt(1, 3), CellArea::area(1, 3, 2, 4));
    EXPECT_EQ(formulaAt(4, 4), "A4+B4*PTOTAL(A1:B5)");  // the statistic area stays
    EXPECT_EQ(areaAt(4, 4), CellArea::area(4, 3, 5, 4));
    EXPECT_EQ(formulaAt(3, 4), "B3+C3*PTOTAL(A1:B5)");
    EXPECT_EQ(areaAt(3, 4), CellArea::area(3, 4, 3, 4));
    EXPECT_EQ(formulaAt(3, 3), "0");
    // Removing a part works the same way.
    ASSERT_EQ(set(1, 3, 1, 3, ""), 0);
    EXPECT_EQ(formulaAt(1, 4), "B1+C1*PTOTAL(A1:B5)");
    EXPECT_EQ(formulaAt(2, 3), "A2+B2*PTOTAL(A1:B5)");
    EXPECT_EQ(formulaAt(1, 3), "");
}

TEST_F(EngineHooks, ShapeEditsCarryFormulasAndWhatTheyRead) {
    makeReport(12, 6);
    ASSERT_EQ(set(10, 4, "A1+A5*2"), 0);
    ASSERT_EQ(set(1, 3, 6, 3, "A1+B1"), 0);  // C1:C6 reads its own row
    ASSERT_EQ(set(11, 1, "PTOTAL(C1:C6)"), 0);
    ASSERT_EQ(set(12, 1, "E12"), 0);

    ASSERT_EQ(h->DeleteRowsCols(3, 1, 0), 0);  // row 3 goes
    EXPECT_EQ(formulaAt(9, 4), "A1+A4*2");
    EXPECT_EQ(formulaAt(1, 3), "A1+B1");
    EXPECT_EQ(areaAt(4, 3), CellArea::area(1, 3, 5, 3));  // one text still serves every row
    EXPECT_EQ(formulaAt(10, 1), "PTOTAL(C1:C5)");

    uint16_t two = 2;
    ASSERT_EQ(h->InsertRowsCols(3, &two, 0), 0);  // two rows before row 3
    EXPECT_EQ(formulaAt(11, 4), "A1+A6*2");
    EXPECT_EQ(areaAt(1, 3), CellArea::area(1, 3, 2, 3));
    EXPECT_EQ(formulaAt(3, 3), "");  // the new rows get no formula
    EXPECT_EQ(formulaAt(5, 3), "A5+B5");
    EXPECT_EQ(areaAt(5, 3), CellArea::area(5, 3, 7, 3));
    EXPECT_EQ(formulaAt(12, 1), "PTOTAL(C1:C7)");

    ASSERT_EQ(h->DeleteRowsCols(6, 1, 0), 0);  // the row A6 named
    EXPECT_EQ(formulaAt(10, 4), "A1+#REF!*2");
    ASSERT_EQ(h->DeleteRowsCols(5, 1, 1), 0);  // column E: what A12 read
    EXPECT_EQ(formulaAt(12, 1), "#REF!");

    ASSERT_EQ(h->EnterDataState(), 0);
    reopen();
    EXPECT_EQ(h->GetCellFormulaState(10, 4), 2);
    EXPECT_EQ(h->GetCellFormulaState(5, 3), 1);
    EXPECT_EQ(h->GetReportFile()->Format().header.formulaCount, 5u);
}

TEST_F(EngineHooks, SwappingColumnsUnderAnAreaFormula) {
    makeReport(5, 6);
    ASSERT_EQ(set(1, 1, 1, 3, "A2*10"), 0);  // A1:C1 = the cell below
    ASSERT_EQ(h->SwapRowColPage({1}, {5}, 1), 0);
    // Columns A and E traded places: E1 still reads the cell below it.
    EXPECT_EQ(formulaAt(1, 5), "E2*10");
    EXPECT_EQ(areaAt(1, 5), CellArea::area(1, 5, 1, 5));
    EXPECT_EQ(formulaAt(1, 2), "B2*10");
    EXPECT_EQ(areaAt(1, 3), CellArea::area(1, 2, 1, 3));
    EXPECT_EQ(formulaAt(1, 1), "");
}

TEST_F(EngineHooks, RecalculationFollowsDependenciesAndSaves) {
    makeReport(10, 6);
    int kind = 1, start = 8, extent = 1;  // row 8 is the variable rows' template
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    // Set so that the list's order is not the order of computing.
    ASSERT_EQ(set(1, 5, "D1+C1"), 0);                      // E1
    ASSERT_EQ(set(1, 4, "C1*2"), 0);                       // D1
    ASSERT_EQ(set(1, 3, 5, 3, "A1+B1"), 0);                // C1:C5, row by row
    ASSERT_EQ(set(6, 3, "PTOTAL(C1:C5)"), 0);              // C6
    ASSERT_EQ(set(2, 4, "GTOTAL(V_B)+V_B2"), 0);           // D2: column B of the variable lines
    ASSERT_EQ(set(3, 4, LoadErrorText(qor::str::kKeywordYear) + "+1"), 0);  // D3: the year keyword
    ASSERT_EQ(set(4, 4, "A1/B10"), 0);                     // D4: division by an empty cell
    ASSERT_EQ(set(5, 4, "B8"), 0);                         // D5: the template reads the first line
    toData(2);
    for (uint16_t r = 1; r <= 5; ++r) {
        put(1, r, 1, r);
        put(1, r, 2, 10 * r);
        put(2, r, 1, 100 * r);
    }
    auto p1 = h->GetPage(1);
    p1->SetVarLines([] {
        SlotGrid lines(3, 6);
        for (uint32_t l = 0; l < 3; ++l) lines.setNumber(l, 1, 1000 * (l + 1));  // column B
        return lines;
    }());
    ASSERT_TRUE(p1->SetKeyword(2, {1, 2024, {}}));

    ASSERT_EQ(h->RecalcPage(0), 0);
    EXPECT_EQ(h->LastRecalcSummary().cells, 12);
    EXPECT_EQ(h->LastRecalcSummary().errorCells, 1);
    EXPECT_EQ(at(1, 1, 3), 11);
    EXPECT_EQ(at(1, 5, 3), 55);
    EXPECT_EQ(at(1, 1, 4), 22);
    EXPECT_EQ(at(1, 1, 5), 33);
    EXPECT_EQ(at(1, 6, 3), 11 + 22 + 33 + 44 + 55);
    EXPECT_EQ(at(1, 2, 4), 6000 + 2000);
    EXPECT_EQ(at(1, 3, 4), 2025);
    EXPECT_TRUE(isError(1, 4, 4));
    EXPECT_TRUE(slot(1, 4, 4).isEmptyNumber());
    EXPECT_EQ(at(1, 5, 4), 1000);
    EXPECT_EQ(slot(1, 1, 5).flags, kSlotComputed);
    EXPECT_EQ(h->GetCellFormulaState(4, 4), 2);  // failed on this page
    EXPECT_EQ(h->GetCellFormulaState(1, 5), 1);
    EXPECT_EQ(slot(2, 1, 3).tag, kSlotNeverWritten);  // page 2 is not touched

    ASSERT_EQ(h->RecalcAll(), 0);
    EXPECT_EQ(h->LastRecalcSummary().pages, 2);
    EXPECT_EQ(at(2, 6, 3), 1500);
    EXPECT_EQ(at(2, 1, 5), 300);
    reopen();
    EXPECT_EQ(at(1, 1, 5), 33);
    EXPECT_EQ(at(2, 1, 5), 300);
    EXPECT_EQ(slot(2, 6, 3).flags, kSlotComputed);
    EXPECT_TRUE(isError(1, 4, 4));
    // Nothing changed since: computing again leaves the pages clean.
    ASSERT_EQ(h->RecalcAll(), 0);
    EXPECT_FALSE(h->GetPage(1)->IsDirty());
    EXPECT_FALSE(h->GetPage(2)->IsDirty());
}

TEST_F(EngineHooks, CyclesBecomeErrorsAndEndWhenMended) {
    makeReport(5, 5);
    ASSERT_EQ(set(1, 1, "B1+1"), 0);
    ASSERT_EQ(set(1, 2, "A1+1"), 0);
    ASSERT_EQ(set(1, 3, "A1+5"), 0);             // reads the cycle
    ASSERT_EQ(set(2, 2, 2, 3, "A2+1"), 0);       // C2 reads B2 of the same area
    ASSERT_EQ(set(2, 4, "D2+1"), 0);             // reads itself
    EXPECT_EQ(h->GetCellFormulaState(1, 1), 2);  // known before any page exists
    EXPECT_EQ(h->GetCellFormulaState(2, 4), 2);
    EXPECT_EQ(h->GetCellFormulaState(1, 3), 1);
    toData(1);
    put(1, 2, 1, 1);
    QStringList traced;
    const TraceHook old = setTraceHook([&](const QString& t) { traced << t; });
    ASSERT_EQ(h->RecalcPage(1), 0);
    setTraceHook(old);
    ASSERT_EQ(traced.size(), 1);
    EXPECT_TRUE(traced[0].contains("A1") && traced[0].contains("D2")) << traced[0].toStdString();
    EXPECT_EQ(h->LastRecalcSummary().cyclicCells, 3);
    EXPECT_TRUE(isError(1, 1, 1));
    EXPECT_TRUE(isError(1, 1, 2));
    EXPECT_TRUE(isError(1, 1, 3));  // from the error it read, not a cycle of its own
    EXPECT_TRUE(isError(1, 2, 4));
    EXPECT_EQ(at(1, 2, 2), 2);
    EXPECT_EQ(at(1, 2, 3), 3);
    const std::vector<FormulaInfo> list = h->EnumFormulas(0);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].state, 2);
    EXPECT_EQ(list[2].state, 0);
    EXPECT_EQ(list[3].state, 0);

    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(set(1, 2, "9"), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    ASSERT_EQ(h->RecalcPage(1), 0);
    EXPECT_EQ(at(1, 1, 1), 10);
    EXPECT_EQ(at(1, 1, 3), 15);
    EXPECT_FALSE(isError(1, 1, 3));
    EXPECT_EQ(h->EnumFormulas(0)[0].state, 0);
    EXPECT_EQ(h->LastRecalcSummary().cyclicCells, 1);
}

TEST_F(EngineHooks, RecalcAllStopsBetweenPagesWhenAsked) {
    makeReport(3, 3);
    ASSERT_EQ(set(1, 2, "A1*2"), 0);
    toData(3);
    for (int p = 1; p <= 3; ++p) put(p, 1, 1, p);
    int asked = 0;
    UiServices ui;
    ui.stopRequested = [&] { return ++asked == 2; };
    const UiServices old = installUiServices(ui);
    const uint16_t s = h->RecalcAll();
    installUiServices(old);
    EXPECT_EQ(s, 1);
    EXPECT_TRUE(h->LastRecalcSummary().stopped);
    EXPECT_EQ(h->LastRecalcSummary().pages, 2);
    EXPECT_EQ(at(2, 1, 2), 4);
    EXPECT_EQ(slot(3, 1, 2).tag, kSlotNeverWritten);
}

TEST_F(EngineHooks, AfterACellEditOnlyItsReadersAreComputed) {
    makeReport(5, 5);
    ASSERT_EQ(set(1, 2, "A1*2"), 0);        // B1
    ASSERT_EQ(set(1, 3, "B1+1"), 0);        // C1, through B1
    ASSERT_EQ(set(2, 2, 4, 2, "A2*3"), 0);  // B2:B4, each its own row
    ASSERT_EQ(set(5, 2, "A5"), 0);          // B5 reads something else
    toData(1);
    ASSERT_EQ(h->RecalcPage(1), 0);
    put(1, 1, 1, 5);
    put(1, 3, 1, 7);
    put(1, 5, 1, 9);
    evaluator->calls = 0;
    ASSERT_EQ(h->RecalcDependents(1, 1, 1), 0);
    EXPECT_EQ(evaluator->calls, 2);
    EXPECT_EQ(at(1, 1, 3), 11);
    EXPECT_EQ(at(1, 5, 2), 0);  // not recomputed
    evaluator->calls = 0;
    ASSERT_EQ(h->RecalcDependents(1, 3, 1), 0);
    EXPECT_EQ(evaluator->calls, 1);
    EXPECT_EQ(at(1, 3, 2), 21);
    EXPECT_EQ(at(1, 2, 2), 0);
}
