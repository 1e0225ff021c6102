// Cell values: reading with rounding and the empty rules, writing with
// conversion between kinds, labels, formula cells, clearing, record fills.

#include <cmath>
#include <random>

#include "engine/cells_round.h"
#include "engine/recordfill.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "engine/cellgate.h"
#include "tests/engine/cells_fixture.h"

using namespace cellstest;
using namespace qor;

namespace {

// 10 x 5: column 2 numeric with 2 decimals, column 3 text, column 4 numeric
// with 0 decimals, B9 a label "合计".
std::unique_ptr<CReportHandle> valueReport(const QString& dir, int pages = 3) {
    auto h = newReport(dir + "/values", 10, 5);
    setFormat(*h, kFmtKind, kCellNumber, CellArea::area(1, 2, 10, 2));
    setFormat(*h, kFmtDecimals, 2, CellArea::area(1, 2, 10, 2));
    setFormat(*h, kFmtKind, kCellText, CellArea::area(1, 3, 10, 3));
    setFormat(*h, kFmtDecimals, 0, CellArea::area(1, 4, 10, 4));
    EXPECT_EQ(h->SetCellValue({kCellLabel, 0, QStringLiteral("合计")}, 9, 2), 0);
    toData(*h, pages);
    return h;
}

}  // namespace

TEST(CellValues, ReadRoundsNumbersAndFollowsTheEmptyRules) {
    auto h = valueReport(testDir());
    // Never written: a numeric cell is kind 0 and 0, a text cell "".
    EXPECT_EQ(valueAt(*h, 1, 2), CellValue{});
    EXPECT_EQ(valueAt(*h, 1, 3), CellValue::ofText(QString()));
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(2.675), 1, 2), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(-2.5), 1, 4), 0);
    EXPECT_EQ(valueAt(*h, 1, 2), CellValue::ofNumber(2.68));
    EXPECT_EQ(numberAt(*h, 1, 4), -3);
    // The stored value keeps its digits; only the read rounds.
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(2.675), 1, 4), 0);
    EXPECT_EQ(h->GetCellText(1, 4, 0), QStringLiteral("3"));
    // Kind 0 empties a cell again.
    ASSERT_EQ(h->SetCellValue(CellValue{}, 1, 2), 0);
    EXPECT_EQ(valueAt(*h, 1, 2), CellValue{});
    EXPECT_EQ(valueAt(*h, 9, 2), (CellValue{kCellLabel, 0, QStringLiteral("合计")}));
}

// A percent cell holds percent units and shows them with the sign after
// them (12.5 shows 12.5%): its decimals are its format's, as any number
// cell's. Counting two more kept 12.345 under 12.35%, so two of them added
// to 24.69% beside 12.35% and 12.35%.
TEST(CellValues, PercentCellsRoundWhereTheyAreShown) {
    auto h = newReport(testDir() + "/percent", 4, 3);
    setFormat(*h, kFmtDecimals, 2, CellArea::area(1, 1, 4, 2));
    setFormat(*h, kFmtPercent, 1, CellArea::area(1, 1, 4, 1));
    toData(*h, 1);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(12.345), 1, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(0.125), 2, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(12.345), 1, 2), 0);
    EXPECT_EQ(numberAt(*h, 1, 1), 12.35);  // 12.35%
    EXPECT_EQ(numberAt(*h, 2, 1), 0.13);   // 0.13%
    EXPECT_EQ(numberAt(*h, 1, 2), 12.35);  // the same without the sign
    EXPECT_EQ(FormatNumberText(numberAt(*h, 1, 1), true, false, false, 2), QStringLiteral("12.35%"));
}

TEST(CellValues, FastRoundingAgreesWithTheDecimalOne) {
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> mag(-9, 15);
    std::uniform_int_distribution<int> digits(0, 7);
    for (int i = 0; i < 200000; ++i) {
        const int n = digits(rng);
        double v = std::pow(10.0, mag(rng)) * ((rng() & 1) ? -1 : 1);
        // Every third value sits on, or a hair beside, a half.
        if (i % 3 == 0) v = (std::floor(v * std::pow(10.0, n)) + 0.5) / std::pow(10.0, n);
        if (i % 3 == 1) v = std::nextafter(v, (rng() & 1) ? 1e300 : -1e300);
        const double want = RoundedToDecimals(v, n);
        const double got = RoundedForRead(v, n);
        ASSERT_TRUE(got == want && std::signbit(got) == std::signbit(want))
            << v << " " << n << ": " << got << " vs " << want;
    }
    for (double v : {2.675, -2.675, 1.005, 0.125, 123456789.675, 2.6749999995, -0.0, 0.0, 4.35,
                     1e15 + 0.5, 0.49999999999999994})
        for (int n = 0; n <= 7; ++n) EXPECT_EQ(RoundedForRead(v, n), RoundedToDecimals(v, n));
}

TEST(CellValues, OtherKindsAreConvertedNeverDropped) {
    auto h = valueReport(testDir());
    // A text is its number only when the whole text reads as one.
    EXPECT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral(" 12.5abc")), 2, 2),
              qor::kValueRefusedStatus);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral(" 12.5 ")), 2, 2), 0);
    EXPECT_EQ(valueAt(*h, 2, 2), CellValue::ofNumber(12.5));
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("  ")), 2, 2), 0);
    EXPECT_EQ(valueAt(*h, 2, 2), CellValue{});
    // Every digit of the number survives as text.
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(1234567.891), 2, 3), 0);
    EXPECT_EQ(textAt(*h, 2, 3), QStringLiteral("1234567.891"));
    // A text written before the cell became numeric reads as its number.
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("7.125")), 3, 3), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("7.125")), 3, 5), 0);
    EXPECT_EQ(valueAt(*h, 3, 5), CellValue::ofNumber(7.13));
}

TEST(CellValues, LongTextsKeepTheirWholeTextBehindGetCellText) {
    auto h = valueReport(testDir());
    const QString text = QString(255, QChar(u'字'));
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(text), 4, 3), 0);
    EXPECT_EQ(textAt(*h, 4, 3), text.left(32));
    EXPECT_EQ(h->GetCellText(4, 3, 1), text);
    // A longer text is refused, not cut.
    EXPECT_EQ(h->SetCellValue(CellValue::ofText(text + u'字'), 4, 3), qor::kValueRefusedStatus);
    EXPECT_EQ(h->GetCellText(4, 3, 1), text);
}

TEST(CellValues, StatesPagesAndBounds) {
    auto h = valueReport(testDir());
    CellValue v;
    EXPECT_EQ(h->GetCellValue(&v, 11, 1, 0), code(Status::OutsideTable));
    EXPECT_EQ(h->GetCellValue(&v, 1, 6, 0), code(Status::OutsideTable));
    EXPECT_EQ(h->GetCellValue(&v, 0, 1, 0), code(Status::OutsideTable));
    EXPECT_EQ(h->GetCellValue(&v, 1, 1, 4), code(Status::PageOutOfRange));
    EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(1), 11, 1), code(Status::OutsideTable));
    // Labels change in format state only; values in data state only.
    EXPECT_EQ(h->SetCellValue({kCellLabel, 0, "x"}, 1, 1), code(Status::Refused));
    EXPECT_EQ(h->SetCellValue(CellValue::ofText("x"), 9, 2), code(Status::Refused));
    EXPECT_EQ(h->SetCellValue({7, 0, {}}, 1, 1), code(Status::Refused));

    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(5), 1, 2, 0), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    // Format state shows what all pages share: labels, and empty values.
    EXPECT_EQ(valueAt(*h, 9, 2), (CellValue{kCellLabel, 0, QStringLiteral("合计")}));
    EXPECT_EQ(valueAt(*h, 1, 2), CellValue{});
    EXPECT_EQ(h->GetCellValue(&v, 1, 2, 1), code(Status::Refused));
    EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(1), 1, 2), code(Status::Refused));
    ASSERT_EQ(h->EnterDataState(), 0);
    // No page is current until one is chosen.
    EXPECT_EQ(h->GetCellValue(&v, 1, 2, 0), code(Status::Refused));
    EXPECT_EQ(numberAt(*h, 1, 2, 1), 5);
}

TEST(CellValues, EveryPageKeepsItsValuesThroughSave) {
    const QString dir = testDir();
    auto h = valueReport(dir, 20);
    // Written while other pages come and go through the page cache.
    for (int p = 1; p <= 20; ++p) {
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(p * 1.5), 5, 2, p), 0);
        ASSERT_EQ(h->SetCellValue(CellValue::ofText(QString("页%1").arg(p)), 5, 3, p), 0);
    }
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(99), 6, 2, 0), 0);  // current = page 1
    EXPECT_EQ(numberAt(*h, 6, 2, 1), 99);
    h = reopen(std::move(h));
    ASSERT_EQ(h->SetCurPage(7), 0);
    EXPECT_EQ(numberAt(*h, 5, 2), 10.5);
    for (int p = 1; p <= 20; ++p) {
        EXPECT_EQ(numberAt(*h, 5, 2, p), p * 1.5);
        EXPECT_EQ(textAt(*h, 5, 3, p), QString("页%1").arg(p));
    }
    EXPECT_EQ(numberAt(*h, 6, 2, 1), 99);
    EXPECT_EQ(textAt(*h, 9, 2, 3), QStringLiteral("合计"));
}

TEST(CellValues, FormulaCellsKeepTheirValueUnlessAllowed) {
    auto h = newReport(testDir() + "/f", 10, 5);
    CellArea a = CellArea::cell(2, 2);
    ASSERT_EQ(h->SetAreaFormula(&a, QStringLiteral("A1+1")), 0);
    toData(*h, 1);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(3), 2, 2), 0);
    EXPECT_EQ(valueAt(*h, 2, 2), CellValue{});
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(3), 2, 2, 0, 0, 1), 0);
    EXPECT_EQ(numberAt(*h, 2, 2), 3);
    EXPECT_EQ(h->GetCalcFlag(), 0);
    h->SetCalcFlag(1);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(4), 2, 2), 0);
    EXPECT_EQ(numberAt(*h, 2, 2), 4);
    h = reopen(std::move(h));
    EXPECT_EQ(h->GetCalcFlag(), 1);
}

TEST(CellValues, ClearAreaEmptiesValuesOrLabels) {
    auto h = valueReport(testDir());
    for (int r = 1; r <= 3; ++r) ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(r), r, 2), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(8), 1, 2, 2), 0);
    CellArea a = CellArea::area(2, 2, 10, 3);
    EXPECT_EQ(h->ClearArea(&a, CReportHandle::kClearValues), 0);
    EXPECT_EQ(numberAt(*h, 1, 2), 1);
    EXPECT_EQ(valueAt(*h, 2, 2), CellValue{});
    EXPECT_EQ(valueAt(*h, 3, 2), CellValue{});
    EXPECT_EQ(textAt(*h, 9, 2), QStringLiteral("合计"));  // labels are format
    EXPECT_EQ(numberAt(*h, 1, 2, 2), 8);                  // other pages untouched
    CellArea outside = CellArea::area(1, 1, 11, 1);
    EXPECT_EQ(h->ClearArea(&outside, CReportHandle::kClearValues), code(Status::OutsideTable));
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(h->ClearArea(&a, CReportHandle::kClearValues), 0);
    EXPECT_EQ(valueAt(*h, 9, 2), (CellValue{kCellLabel, 0, QString()}));

    // Formulas and combined cells go through their own owners.
    CellArea f = CellArea::cell(2, 4), comb = CellArea::area(5, 4, 6, 5);
    ASSERT_EQ(h->SetAreaFormula(&f, QStringLiteral("B1*2")), 0);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    CellArea all = CellArea::area(1, 4, 10, 5);
    EXPECT_EQ(h->ClearArea(&all, CReportHandle::kClearFormulas), 0);
    FormulaInfo info;
    EXPECT_EQ(h->GetCellFormula({0, 2, 4}, &info), 0);
    CellArea whole;
    EXPECT_EQ(h->GetCombinedArea(CellArea::cell(6, 5), &whole), 1);
    EXPECT_EQ(h->ClearArea(&all, CReportHandle::kClearCombines), 0);
    EXPECT_EQ(h->GetCombinedArea(CellArea::cell(6, 5), &whole), 0);
}

TEST(CellValues, FillFromRecordsetWritesAlongTheDirection) {
    auto h = valueReport(testDir(), 2);
    RecordFillQueue& q = RecordFillQueue::instance();
    q.Clear();
    // Two fields, three records each; records down the rows from B1.
    auto cells = std::make_shared<RecordCellList>(QList<std::pair<int, QString>>{
        {1, "1.5"}, {1, ""}, {1, "3"}, {2, "a"}, {2, "b"}, {2, "c"}});
    q.Append({1, 0, 2, 2, QStringLiteral("1"), 2, 0, cells});
    // The same values across the columns of page 1, from A6.
    q.Append({0, 5, 2, 6, QStringLiteral("0"), 1, 0, cells});
    EXPECT_EQ(q.PendingCount(), 2);
    h->FillFromRecordset(2);
    EXPECT_EQ(h->GetCurPage(), 2);
    EXPECT_EQ(numberAt(*h, 1, 2, 2), 1.5);
    EXPECT_EQ(valueAt(*h, 2, 2, 2), CellValue{});
    EXPECT_EQ(numberAt(*h, 3, 2, 2), 3);
    EXPECT_EQ(textAt(*h, 1, 3, 2), QStringLiteral("a"));
    EXPECT_EQ(textAt(*h, 3, 3, 2), QStringLiteral("c"));
    EXPECT_EQ(valueAt(*h, 6, 1, 1), CellValue{});  // page 1's request waits
    EXPECT_EQ(q.PendingCount(), 0);                // but a page empties the queue

    q.Append({0, 5, 2, 6, QStringLiteral("0"), 1, 0, cells});
    h->FillFromRecordset(0);
    EXPECT_EQ(q.PendingCount(), 1);  // 0 writes every request and keeps them
    EXPECT_EQ(h->GetCurPage(), 1);
    EXPECT_EQ(numberAt(*h, 6, 1), 1.5);
    EXPECT_EQ(textAt(*h, 6, 3), QStringLiteral("3"));  // column C holds texts
    EXPECT_EQ(textAt(*h, 7, 3), QStringLiteral("c"));

    // A whole-table request grows the table to what it needs.
    q.Clear();
    auto wide = std::make_shared<RecordCellList>();
    for (int i = 0; i < 24; ++i) wide->Append(1, QString::number(i));
    q.Append({0, 0, 7, 2, QStringLiteral("1"), 1, 1, wide});
    q.Append({0, 0, 1, 1, QStringLiteral("1"), 5, 0, wide});  // no such page: dropped
    h->FillFromRecordset(10000);
    EXPECT_EQ(h->GetColCount(), 8);
    EXPECT_EQ(h->GetCurPage(), 1);
    EXPECT_EQ(numberAt(*h, 3, 8), 23);
    EXPECT_EQ(numberAt(*h, 1, 2), 3);
    EXPECT_EQ(q.PendingCount(), 0);
}
