// The gate holds a number to the decimals its cell shows, whichever way it
// enters; and a change of kind, by any route, converts every page or names
// the page that stops it.
#include "engine/cellgate.h"
#include "engine/cells_round.h"
#include "engine/status.h"
#include "tests/engine/cells_fixture.h"

using namespace cellstest;
using qor::kFmtDecimals;
using qor::kFmtKind;
using qor::kFmtPercent;

namespace {

// What the page keeps, not what a read rounds it to.
double stored(CReportHandle& h, int page, uint16_t row, uint16_t col) {
    std::shared_ptr<CSheetPage> p = h.GetReportFile()->Page(page);
    EXPECT_TRUE(p);
    return p ? p->Slot(row, col).numberValue() : -1;
}

// Column A: two decimals; B: none; C: a percent of one decimal; D: text.
// Row 5 is a row area (extent 5) shown with two decimals.
class GateDecimals : public ::testing::Test {
protected:
    void SetUp() override {
        h = newReport(testDir() + QStringLiteral("/dec.rep"), 6, 4);
        setFormat(*h, kFmtKind, kCellNumber, CellArea::area(1, 1, 6, 3));
        setFormat(*h, kFmtDecimals, 2, CellArea::area(1, 1, 6, 1));
        setFormat(*h, kFmtDecimals, 2, CellArea::area(5, 1, 5, 4));
        setFormat(*h, kFmtDecimals, 0, CellArea::area(1, 2, 4, 2));
        setFormat(*h, kFmtDecimals, 1, CellArea::area(1, 3, 4, 3));
        setFormat(*h, kFmtPercent, 1, CellArea::area(1, 3, 4, 3));
        setFormat(*h, kFmtKind, kCellText, CellArea::area(1, 4, 4, 4));
        int kind = 1, start = 5, extent = 5;
        EXPECT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    }
    std::unique_ptr<CReportHandle> h;
};

}  // namespace

TEST_F(GateDecimals, EveryWrittenNumberIsHeldToTheDecimalsItsCellShows) {
    toData(*h, 1);
    struct Row {
        CellValue in;
        int col;
        double kept;
    };
    const QList<Row> rows = {
        {CellValue::ofNumber(2.345), 1, 2.35},
        {CellValue::ofNumber(-2.345), 1, -2.35},
        {CellValue::ofText(QStringLiteral("12,345.678")), 1, 12345.68},
        {CellValue::ofNumber(0.4), 2, 0},
        {CellValue::ofNumber(0.5), 2, 1},
        {CellValue::ofText(QStringLiteral(" 1,234.5 ")), 2, 1235},
        // A percent cell of one decimal shows 12.345 as 12.3%.
        {CellValue::ofNumber(12.345), 3, 12.3},
        {CellValue::ofNumber(1e15 + 0.4), 2, 1e15},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(qor::FaultyValueText(r.in).toStdString());
        ASSERT_EQ(h->SetCellValue(r.in, 1, r.col), 0);
        EXPECT_DOUBLE_EQ(stored(*h, 1, 1, uint16_t(r.col)), r.kept);
    }
    // A text cell keeps every digit it is given.
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("6222020200012345678")), 1, 4), 0);
    EXPECT_EQ(h->GetCellText(1, 4, 0), QStringLiteral("6222020200012345678"));
    // A variable line's cell: the area's decimals.
    int lines = 3;
    ASSERT_EQ(h->AccessVarCount(1, &lines), 0);
    for (int line = 0; line < 3; ++line)
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(std::array{2.005, 3.0, 0.001}[size_t(line)]),
                                  5 + line, 1),
                  0);
    const qor::SlotGrid& g = h->GetReportFile()->Page(1)->VarLines();
    EXPECT_DOUBLE_EQ(g.slot(0, 0).numberValue(), 2.01);
    EXPECT_DOUBLE_EQ(g.slot(2, 0).numberValue(), 0);
}

TEST_F(GateDecimals, AKindChangeHoldsTheConvertedNumberToTheCellsDecimals) {
    setFormat(*h, kFmtDecimals, 1, CellArea::cell(1, 4));
    toData(*h, 2);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("1,234.56")), 1, 4, 2), 0);
    int32_t number = kCellNumber;
    const CellArea d1 = CellArea::cell(1, 4);
    ASSERT_EQ(h->AccessAreaFormat(1, kFmtKind, &number, &d1), 0);
    EXPECT_DOUBLE_EQ(stored(*h, 2, 1, 4), 1234.6);
}

// "12abc" made a label and then a number once reached the number cell
// unconverted; every kind to every kind now converts or names the page.
TEST(GateKinds, EveryKindToEveryKindConvertsEveryPageOrNamesIt) {
    const int kinds[] = {kCellUnset, kCellNumber, kCellText, kCellLabel};
    for (int from : kinds)
        for (int to : kinds) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            auto h = newReport(testDir() + QStringLiteral("/kinds.rep"), 2, 2);
            setFormat(*h, kFmtKind, kCellText, CellArea::cell(1, 1));
            toData(*h, 2);
            ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("7")), 1, 1, 1), 0);
            ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("1,234.5")), 1, 1, 2), 0);
            const CellArea a1 = CellArea::cell(1, 1);
            int32_t k = from;
            ASSERT_EQ(h->AccessAreaFormat(1, kFmtKind, &k, &a1), 0);
            k = to;
            ASSERT_EQ(h->AccessAreaFormat(1, kFmtKind, &k, &a1), 0);
            if (to == kCellLabel) continue;
            for (int page : {1, 2}) {
                const qor::CellSlot s = h->GetReportFile()->Page(page)->Slot(1, 1);
                const bool textCell = to == kCellText;
                EXPECT_EQ(s.isText(), textCell) << "page " << page;
                EXPECT_EQ(s.isNumber(), !textCell) << "page " << page;
            }
            // A text that never was a number keeps its commas.
            const bool wasNumber = from == kCellUnset || from == kCellNumber;
            if (to == kCellText)
                EXPECT_EQ(h->GetCellText(1, 1, 2),
                          wasNumber ? QStringLiteral("1234.5") : QStringLiteral("1,234.5"));
            else
                EXPECT_DOUBLE_EQ(stored(*h, 2, 1, 1), 1234.5);

            // A text the rule does not read stops the way back to a number
            // however it goes, naming the page.
            int32_t text = kCellText;
            ASSERT_EQ(h->AccessAreaFormat(1, kFmtKind, &text, &a1), 0);
            ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("12abc")), 1, 1, 2), 0);
            k = from == kCellText ? kCellLabel : from;
            const uint16_t via = h->AccessAreaFormat(1, kFmtKind, &k, &a1);
            if (k == kCellUnset || k == kCellNumber) {
                EXPECT_EQ(via, qor::kValueRefusedStatus);
                continue;
            }
            ASSERT_EQ(via, 0);
            int32_t number = kCellNumber;
            const uint16_t s = h->AccessAreaFormat(1, kFmtKind, &number, &a1);
            ASSERT_EQ(s, qor::kValueRefusedStatus);
            EXPECT_TRUE(StatusText(s).contains(QStringLiteral("第2页"))) << StatusText(s).toStdString();
            EXPECT_TRUE(StatusText(s).contains(QStringLiteral("12abc")));
        }
}

// A template whose cell is a number cell where this report keeps texts
// converts every page, or is refused naming the page; so does its custom
// keyword's kind.
TEST(GateKinds, ATemplateConvertsThePagesOrIsRefused) {
    auto tmpl = newReport(testDir() + QStringLiteral("/tmpl.rep"), 3, 3);
    setFormat(*tmpl, kFmtDecimals, 2, CellArea::cell(2, 3));
    tmpl->GetReportFile()->SetUserKeywordType(1);
    ASSERT_EQ(tmpl->Save(), 0);

    auto h = newReport(testDir() + QStringLiteral("/use.rep"), 2, 3);
    setFormat(*h, kFmtKind, kCellText, CellArea::cell(2, 3));
    toData(*h, 2);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("1,234.567")), 2, 3, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("12abc")), 2, 3, 2), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    uint16_t s = h->CopyFormatFrom(*tmpl);
    ASSERT_EQ(s, qor::kValueRefusedStatus);
    EXPECT_TRUE(StatusText(s).contains(QStringLiteral("第2页"))) << StatusText(s).toStdString();
    EXPECT_EQ(h->GetReportFile()->GetRowCount(), 2) << "nothing of the template was taken";
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("7")), 2, 3, 2), 0);

    // A custom keyword that is no number stops it the same way.
    ASSERT_EQ(h->SetPageKeyword(6, {2, 0, QStringLiteral("A12")}, 1), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    s = h->CopyFormatFrom(*tmpl);
    ASSERT_EQ(s, qor::kValueRefusedStatus);
    EXPECT_TRUE(StatusText(s).contains(QStringLiteral("A12"))) << StatusText(s).toStdString();
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetPageKeyword(6, {2, 0, QStringLiteral("12")}, 1), 0);

    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(h->CopyFormatFrom(*tmpl), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    EXPECT_DOUBLE_EQ(stored(*h, 1, 2, 3), 1234.57);
    EXPECT_DOUBLE_EQ(stored(*h, 2, 2, 3), 7);
    qor::KeywordValue k;
    ASSERT_EQ(h->GetPageKeyword(6, &k, 1), 0);
    EXPECT_EQ(k.kind, 1);
    EXPECT_EQ(k.number, 12);
}

TEST(GateKinds, TheCustomKeywordTurnedNumericConvertsEveryPageOrNamesIt) {
    auto h = newReport(testDir() + QStringLiteral("/kw.rep"), 2, 2);
    toData(*h, 2);
    ASSERT_EQ(h->SetPageKeyword(6, {2, 0, QStringLiteral("12")}, 1), 0);
    ASSERT_EQ(h->SetPageKeyword(6, {2, 0, QStringLiteral("A12")}, 2), 0);
    const uint16_t s = h->SetUserKeywordType(1);
    ASSERT_EQ(s, qor::kValueRefusedStatus);
    EXPECT_TRUE(StatusText(s).contains(QStringLiteral("第2页"))) << StatusText(s).toStdString();
    EXPECT_EQ(h->GetReportFile()->GetUserKeywordType(), 0);
    qor::KeywordValue k;
    ASSERT_EQ(h->GetPageKeyword(6, &k, 1), 0);
    EXPECT_EQ(k.kind, 2) << "nothing changed";

    ASSERT_EQ(h->SetPageKeyword(6, {2, 0, QStringLiteral("30")}, 2), 0);
    ASSERT_EQ(h->SetUserKeywordType(1), 0);
    ASSERT_EQ(h->GetPageKeyword(6, &k, 2), 0);
    EXPECT_EQ(k.kind, 1);
    EXPECT_EQ(k.number, 30);
    ASSERT_EQ(h->SetUserKeywordType(0), 0);
    ASSERT_EQ(h->GetPageKeyword(6, &k, 1), 0);
    EXPECT_EQ(k.text, QStringLiteral("12"));
}

// APPEND FROM and ROUND TO copy a page through here: a keyword the target
// does not take leaves the page as it was.
TEST(GateKinds, APageTakenWholeMeetsTheGateForItsKeywords) {
    auto h = newReport(testDir() + QStringLiteral("/take.rep"), 2, 2);
    setFormat(*h, kFmtDecimals, 1, CellArea::cell(1, 1));
    toData(*h, 2);
    CSheetPage from(2, 2);
    from.SetNumber(1, 1, 2.25);
    from.SetKeyword(2, {2, 0, QStringLiteral("abc")});  // year: a number keyword
    const uint16_t s = h->TakePageValues(2, from);
    ASSERT_EQ(s, qor::kValueRefusedStatus);
    EXPECT_TRUE(StatusText(s).contains(QStringLiteral("abc")));
    const qor::CellSlot before = h->GetReportFile()->Page(2)->Slot(1, 1);
    EXPECT_FALSE(before.isNumber() && !before.isEmptyNumber()) << "the page is as it was";
    from.SetKeyword(2, {2, 0, QStringLiteral("2004")});
    ASSERT_EQ(h->TakePageValues(2, from), 0);
    EXPECT_DOUBLE_EQ(stored(*h, 2, 1, 1), 2.3);
    qor::KeywordValue k;
    ASSERT_EQ(h->GetPageKeyword(2, &k, 2), 0);
    EXPECT_EQ(k.kind, 1);
    EXPECT_EQ(k.number, 2004);
}
