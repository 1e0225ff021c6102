// Gathering the cell attribute sheet's members from a report and writing
// them back.
#include "dialogs/cellattr_model.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/format_areas.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

class CellAttrModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString dir = qortest::freshDir(
            QStringLiteral("cellattr-") +
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        h = std::make_unique<CReportHandle>(dir + "/r.rep");
        ASSERT_TRUE(h->IsOpen());
        ASSERT_EQ(h->IsFormatState(), 1);  // new: 50 x 7, format state
    }
    int32_t get(int code, int row, int col) {
        int32_t v = -99;
        const CellArea a = CellArea::cell(row, col);
        EXPECT_EQ(h->AccessAreaFormat(0, code, &v, &a), 0);
        return v;
    }
    void set(int code, int32_t v, const CellArea& a) {
        ASSERT_EQ(h->AccessAreaFormat(1, code, &v, &a), 0);
    }
    void set(int code, int32_t v, int row, int col) { set(code, v, CellArea::cell(row, col)); }

    std::unique_ptr<CReportHandle> h;
};

const CellArea kArea = CellArea::area(2, 2, 4, 3);

}  // namespace

TEST_F(CellAttrModelTest, GatherMarksEveryDisagreementAndKeepsCommonValues) {
    set(kFmtFont, 2, kArea);
    set(kFmtFont, 9, 4, 3);  // the last cell differs
    set(kFmtForeground, kColourRed, kArea);
    set(kFmtBackground, kColourYellow, kArea);
    set(kFmtFontSize, 5, kArea);
    set(kFmtHAlign, kAlignCentre, kArea);
    set(kFmtWrap, 1, 3, 2);
    set(kFmtDecimals, 4, 2, 3);  // numbers formatted differently

    const CellAttrMembers m = GatherCellAttr(*h, kArea);
    EXPECT_EQ(m.fontPattern.m_nFont, -1);
    EXPECT_EQ(m.fontPattern.m_nForeground, kColourRed);
    EXPECT_EQ(m.fontPattern.m_nBackground, kColourYellow);
    EXPECT_EQ(m.fontPattern.m_nSize, 5);
    EXPECT_EQ(m.fontPattern.m_nStyle, 0);
    EXPECT_EQ(m.align.m_nHorizontal, kAlignCentre);
    EXPECT_EQ(m.align.m_nWrap, -1);
    // All numeric, but no common number format: no type to offer.
    EXPECT_EQ(m.dataType.m_nType, -1);
    EXPECT_EQ(m.dataType.m_nDecimals, 2);  // left at the page's default
    // Nothing is applied before the user saw a page.
    EXPECT_FALSE(m.dataType.m_bApplied || m.fontPattern.m_bApplied || m.align.m_bApplied ||
                 m.frame.m_bApplied);
}

TEST_F(CellAttrModelTest, GatherTypes) {
    // Unset and numeric cells are both numeric; their format comes along.
    set(kFmtKind, kCellNumber, 2, 2);
    set(kFmtDecimals, 0, kArea);
    set(kFmtThousands, 1, kArea);
    set(kFmtCurrency, 1, kArea);
    CellAttrMembers m = GatherCellAttr(*h, kArea);
    EXPECT_EQ(m.dataType.m_nType, kAttrTypeNumeric);
    EXPECT_EQ(m.dataType.m_nDecimals, 0);
    EXPECT_EQ(m.dataType.m_nThousands, 1);
    EXPECT_EQ(m.dataType.m_nCurrency, 1);
    EXPECT_EQ(m.dataType.m_nPercent, 0);

    set(kFmtKind, kCellLabel, kArea);
    EXPECT_EQ(GatherCellAttr(*h, kArea).dataType.m_nType, kAttrTypeLabel);
    set(kFmtKind, kCellText, 4, 3);
    EXPECT_EQ(GatherCellAttr(*h, kArea).dataType.m_nType, -1);
}

TEST_F(CellAttrModelTest, GatherBorders) {
    // An area away from the table's edges: its top and left lines live in
    // the cells above and to the left.
    ASSERT_EQ(h->DrawAreaLines(&kArea, kLinesTop, kLineMedium), 0);
    ASSERT_EQ(h->DrawAreaLines(&kArea, kLinesLeft, kLineDash), 0);
    ASSERT_EQ(h->DrawAreaLines(&kArea, kLinesBottom, kLineThick), 0);
    ASSERT_EQ(h->DrawAreaLines(&kArea, kLinesInnerVertical, kLineDot), 0);
    ASSERT_EQ(h->DrawAreaLines(&kArea, kLinesDiagonalDown, kLineThin), 0);
    set(kFmtBottomLine, kLineThin, 2, 2);  // one inner horizontal piece only
    CellAttrMembers m = GatherCellAttr(*h, kArea);
    const auto& l = m.frame.m_nLines;
    EXPECT_EQ(l[kFrameTop], kLineMedium);
    EXPECT_EQ(l[kFrameLeft], kLineDash);
    EXPECT_EQ(l[kFrameBottom], kLineThick);
    EXPECT_EQ(l[kFrameRight], kLineNone);
    EXPECT_EQ(l[kFrameInnerVertical], kLineDot);
    EXPECT_EQ(l[kFrameInnerHorizontal], -1);
    EXPECT_EQ(l[kFrameFallingDiagonal], kLineThin);
    EXPECT_EQ(l[kFrameRisingDiagonal], kLineNone);

    // The corner cell: its top and left lines are the column's and the
    // row's attribute bytes; one row and one column make the inner lines
    // the cell's own bottom and right lines.
    const CellArea corner = CellArea::cell(1, 1);
    ASSERT_EQ(h->DrawAreaLines(&corner, kLinesTop, kLineDashDot), 0);
    ASSERT_EQ(h->DrawAreaLines(&corner, kLinesLeft, kLineDashDotDot), 0);
    ASSERT_EQ(h->DrawAreaLines(&corner, kLinesBottom, kLineMedium), 0);
    m = GatherCellAttr(*h, corner);
    EXPECT_EQ(l[kFrameTop], kLineDashDot);
    EXPECT_EQ(l[kFrameLeft], kLineDashDotDot);
    EXPECT_EQ(l[kFrameInnerHorizontal], kLineMedium);
    EXPECT_EQ(l[kFrameInnerVertical], kLineNone);
}

TEST_F(CellAttrModelTest, GatherOutsideTheTableGivesDefaults) {
    EXPECT_EQ(GatherCellAttr(*h, CellArea::area(49, 6, 51, 7)), CellAttrMembers{});
    EXPECT_EQ(GatherCellAttr(*h, CellArea::cell(0, 1)), CellAttrMembers{});
}

TEST_F(CellAttrModelTest, ApplyWritesOnlyWhatTheUserTouched) {
    set(kFmtFont, 2, 2, 2);
    set(kFmtFont, 9, 4, 3);
    set(kFmtHAlign, kAlignEnd, 3, 3);
    set(kFmtWrap, 1, 3, 2);
    set(kFmtDecimals, 5, 2, 3);
    CellAttrMembers m = GatherCellAttr(*h, kArea);
    ASSERT_EQ(m.fontPattern.m_nFont, -1);
    ASSERT_EQ(m.align.m_nWrap, -1);

    // Font page: the colour chosen, the font left unchosen. Alignment page
    // seen with the mixed wrap left alone and a vertical alignment chosen.
    // Cell type page never opened, though its members say "character".
    m.fontPattern.m_bApplied = 1;
    m.fontPattern.m_nForeground = kColourBlue;
    m.align.m_bApplied = 1;
    m.align.m_nVertical = kAlignCentre;
    m.align.m_nHorizontal = -1;
    m.dataType.m_nType = kAttrTypeCharacter;
    const CellAttrApplyResult r = ApplyCellAttr(*h, kArea, m);
    EXPECT_TRUE(r.changed);
    EXPECT_FALSE(r.refused);

    for (int row = 2; row <= 4; ++row)
        for (int col = 2; col <= 3; ++col) {
            EXPECT_EQ(get(kFmtForeground, row, col), kColourBlue);
            EXPECT_EQ(get(kFmtVAlign, row, col), kAlignCentre);
            EXPECT_EQ(get(kFmtKind, row, col), kCellUnset);
        }
    EXPECT_EQ(get(kFmtFont, 2, 2), 2);
    EXPECT_EQ(get(kFmtFont, 4, 3), 9);
    EXPECT_EQ(get(kFmtFont, 3, 2), 0);
    EXPECT_EQ(get(kFmtHAlign, 3, 3), kAlignEnd);
    EXPECT_EQ(get(kFmtHAlign, 2, 2), kAlignDefault);
    EXPECT_EQ(get(kFmtWrap, 3, 2), 1);
    EXPECT_EQ(get(kFmtWrap, 2, 2), 0);
    EXPECT_EQ(get(kFmtDecimals, 2, 3), 5);
    // Nothing outside the area.
    EXPECT_EQ(get(kFmtForeground, 1, 2), kColourBlack);
    EXPECT_EQ(get(kFmtForeground, 4, 4), kColourBlack);
}

TEST_F(CellAttrModelTest, ApplyCellTypes) {
    set(kFmtDecimals, 5, kArea);
    set(kFmtPercent, 1, kArea);
    CellAttrMembers m;
    m.dataType.m_bApplied = 1;
    m.dataType.m_nType = kAttrTypeCharacter;
    m.dataType.m_nDecimals = 1;
    ApplyCellAttr(*h, kArea, m);
    EXPECT_EQ(get(kFmtKind, 3, 3), kCellText);
    EXPECT_EQ(get(kFmtDecimals, 3, 3), 5);  // only the type
    EXPECT_EQ(get(kFmtPercent, 3, 3), 1);

    // Numeric is stored as the unset type, with its number format.
    m.dataType.m_nType = kAttrTypeNumeric;
    m.dataType.m_nPercent = 0;
    m.dataType.m_nThousands = 1;
    m.dataType.m_nCurrency = 1;
    ApplyCellAttr(*h, kArea, m);
    EXPECT_EQ(get(kFmtKind, 3, 3), kCellUnset);
    EXPECT_EQ(get(kFmtDecimals, 3, 3), 1);
    EXPECT_EQ(get(kFmtPercent, 3, 3), 0);
    EXPECT_EQ(get(kFmtThousands, 4, 2), 1);
    EXPECT_EQ(get(kFmtCurrency, 2, 2), 1);

    // A mixed type leaves every cell as it is.
    set(kFmtKind, kCellLabel, 2, 2);
    m.dataType.m_nType = -1;
    EXPECT_FALSE(ApplyCellAttr(*h, kArea, m).changed);
    EXPECT_EQ(get(kFmtKind, 2, 2), kCellLabel);
}

TEST_F(CellAttrModelTest, ApplyKeepsTheLinesOfCombinedCells) {
    // The right edge of a combined area is kept in its right column's
    // cells, which read as the top-left cell: a font change must not
    // write the top-left's lines over them.
    ASSERT_EQ(h->DrawAreaLines(&kArea, kLinesRight, kLineThick), 0);
    ASSERT_EQ(h->CombineCells(&kArea), 0);
    CellAttrMembers m = GatherCellAttr(*h, kArea);
    m.fontPattern.m_bApplied = 1;
    m.fontPattern.m_nStyle = kFontBold;
    ApplyCellAttr(*h, kArea, m);
    EXPECT_EQ(get(kFmtFontStyle, 2, 2), kFontBold);
    for (int row = 2; row <= 4; ++row)
        EXPECT_EQ(h->GetReportFile()->GetCellFormatField(uint16_t(row), 3, kFmtRightLine),
                  uint32_t(kLineThick));
}

TEST_F(CellAttrModelTest, ApplyBorders) {
    CellAttrMembers m = GatherCellAttr(*h, kArea);
    m.frame.m_bApplied = 1;
    SetOuterFrame(m.frame, kLineMedium);
    m.frame.m_nLines[kFrameInnerHorizontal] = -1;  // untouched
    m.frame.m_nLines[kFrameRisingDiagonal] = kLineDot;
    set(kFmtBottomLine, kLineDash, 2, 2);
    EXPECT_FALSE(ApplyCellAttr(*h, kArea, m).diagonalTooLarge);
    const CellAttrMembers back = GatherCellAttr(*h, kArea);
    EXPECT_EQ(back.frame.m_nLines[kFrameTop], kLineMedium);
    EXPECT_EQ(back.frame.m_nLines[kFrameLeft], kLineMedium);
    EXPECT_EQ(back.frame.m_nLines[kFrameBottom], kLineMedium);
    EXPECT_EQ(back.frame.m_nLines[kFrameRight], kLineMedium);
    EXPECT_EQ(back.frame.m_nLines[kFrameRisingDiagonal], kLineDot);
    EXPECT_EQ(get(kFmtBottomLine, 2, 2), kLineDash);

    // Without the page applied nothing is drawn.
    m.frame.m_bApplied = 0;
    ClearFrame(m.frame);
    ApplyCellAttr(*h, kArea, m);
    EXPECT_EQ(GatherCellAttr(*h, kArea).frame, back.frame);
}

TEST_F(CellAttrModelTest, DiagonalsOnALargeArea) {
    uint16_t rows = 60, cols = 7;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    const CellArea big = CellArea::area(1, 1, 40, 2);
    CellAttrMembers m;
    m.frame.m_bApplied = 1;
    m.frame.m_nLines.fill(-1);
    m.frame.m_nLines[kFrameFallingDiagonal] = kLineThin;
    m.frame.m_nLines[kFrameBottom] = kLineThick;
    const CellAttrApplyResult r = ApplyCellAttr(*h, big, m);
    EXPECT_TRUE(r.diagonalTooLarge);
    EXPECT_EQ(h->GetReportFile()->GetAreaLineCount(), 0);
    EXPECT_EQ(get(kFmtBottomLine, 40, 1), kLineThick);  // the other lines go on

    m.frame.m_nLines[kFrameFallingDiagonal] = kLineNone;
    m.frame.m_nLines[kFrameRisingDiagonal] = kLineNone;
    EXPECT_FALSE(ApplyCellAttr(*h, big, m).diagonalTooLarge);
}

TEST_F(CellAttrModelTest, OutsideFormatStateOnlyTheTypeIsTaken) {
    ASSERT_EQ(h->EnterDataState(0), 0);
    CellAttrMembers m;
    m.dataType.m_bApplied = 1;
    m.dataType.m_nType = kAttrTypeCharacter;
    m.fontPattern.m_bApplied = 1;
    m.fontPattern.m_nForeground = kColourRed;
    const CellAttrApplyResult r = ApplyCellAttr(*h, kArea, m);
    EXPECT_TRUE(r.changed);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(get(kFmtKind, 2, 2), kCellText);
    EXPECT_EQ(get(kFmtForeground, 2, 2), kColourBlack);
}

TEST(CellAttrFrame, ToggleAndPresets) {
    FramePageMembers f;
    f.m_nLines[kFrameTop] = -1;
    ToggleFrameLine(f, kFrameLeft, kLineThin);
    EXPECT_EQ(f.m_nLines[kFrameLeft], kLineThin);
    ToggleFrameLine(f, kFrameLeft, kLineThin);
    EXPECT_EQ(f.m_nLines[kFrameLeft], kLineNone);
    ToggleFrameLine(f, kFrameLeft, kLineThin);
    ToggleFrameLine(f, kFrameLeft, kLineThick);  // another style replaces
    EXPECT_EQ(f.m_nLines[kFrameLeft], kLineThick);
    ToggleFrameLine(f, kFrameTop, kLineDash);  // a mixed line takes the style
    EXPECT_EQ(f.m_nLines[kFrameTop], kLineDash);
    ToggleFrameLine(f, 8, kLineDash);  // no such line: nothing happens

    SetInnerFrame(f, kLineDot);
    EXPECT_EQ(f.m_nLines[kFrameInnerHorizontal], kLineDot);
    EXPECT_EQ(f.m_nLines[kFrameInnerVertical], kLineDot);
    EXPECT_EQ(f.m_nLines[kFrameLeft], kLineThick);
    SetOuterFrame(f, kLineMedium);
    EXPECT_EQ(f.m_nLines[kFrameBottom], kLineMedium);
    EXPECT_EQ(f.m_nLines[kFrameFallingDiagonal], kLineNone);
    ClearFrame(f);
    EXPECT_EQ(f.m_nLines, (FramePageMembers{}.m_nLines));
}

TEST(CellAttrSample, NumberFormats) {
    DataTypePageMembers m;
    EXPECT_EQ(CellAttrNumberSample(m), "12345.67");
    m.m_nThousands = 1;
    m.m_nDecimals = 0;
    EXPECT_EQ(CellAttrNumberSample(m), "12,346");
    m.m_nPercent = 1;
    m.m_nCurrency = 1;
    m.m_nDecimals = 3;
    EXPECT_EQ(CellAttrNumberSample(m), QStringLiteral("￥12,345.670%"));
}

// 单元类型 数值 over text cells: every page converts by the number rule, or
// nothing changes and the text that reads as no number is named.
TEST_F(CellAttrModelTest, ApplyNumericTypeConvertsEveryPageOrNamesTheText) {
    set(kFmtKind, kCellText, 1, 1);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("80,000.50")), 1, 1, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("12abc")), 1, 1, 2), 0);
    CellAttrMembers m;
    m.dataType.m_bApplied = 1;
    m.dataType.m_nType = kAttrTypeNumeric;
    const CellArea a1 = CellArea::cell(1, 1);
    CellAttrApplyResult r = ApplyCellAttr(*h, a1, m);
    EXPECT_TRUE(r.refused);
    EXPECT_TRUE(r.why.contains(QStringLiteral("12abc"))) << r.why.toStdString();
    EXPECT_EQ(get(kFmtKind, 1, 1), kCellText);

    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("1,234.56")), 1, 1, 2), 0);
    r = ApplyCellAttr(*h, a1, m);
    // Only the kind is taken outside format state; no value was refused.
    EXPECT_TRUE(r.why.isEmpty()) << r.why.toStdString();
    EXPECT_EQ(get(kFmtKind, 1, 1), kCellUnset);
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 1, 1, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 80000.5);
    ASSERT_EQ(h->GetCellValue(&v, 1, 1, 2), 0);
    EXPECT_DOUBLE_EQ(v.number, 1234.56);
}
