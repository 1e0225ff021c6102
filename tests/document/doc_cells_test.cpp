// Cell accessors on crafted reports: the values the sheet view paints with.
#include <gtest/gtest.h>

#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

TEST(DocCells, LineStyleTakesEdgesFromNeighboursAndLineBytes) {
    auto doc = newDoc(4, 4);
    CReportHandle* h = doc->GetReport();
    setFormat(*doc, kFmtRightLine, kLineMedium, CellArea::cell(2, 2));  // B2 right
    setFormat(*doc, kFmtBottomLine, kLineDot, CellArea::cell(2, 2));    // B2 bottom
    setFormat(*doc, kFmtRightLine, kLineThin, CellArea::cell(2, 1));    // A2 right = B2 left
    setFormat(*doc, kFmtBottomLine, kLineThick, CellArea::cell(1, 2));  // B1 bottom = B2 top
    int32_t rowLine = kLineDash, colLine = kLineDashDot;
    ASSERT_EQ(h->AccessRowColFlag(1, 0, 3, &rowLine), 0);  // row 3: left edge of A3
    ASSERT_EQ(h->AccessRowColFlag(1, 1, 4, &colLine), 0);  // column D: top edge of D1

    // B2: right 6, left 1, bottom 3, top 7.
    EXPECT_EQ(doc->GetCellLineStyle(1, 1), 0x7316);
    // A3 (0-based 2,0): left from the row's byte; top from A2's bottom (0).
    EXPECT_EQ(doc->GetCellLineStyle(2, 0), kLineDash << 4);
    // D1: top from the column's byte.
    EXPECT_EQ(doc->GetCellLineStyle(0, 3), kLineDashDot << 12);
    // C2: its left edge is B2's right line.
    EXPECT_EQ(doc->GetCellLineStyle(1, 2), kLineMedium << 4);
    // B3: its top edge is B2's bottom line.
    EXPECT_EQ(doc->GetCellLineStyle(2, 1), kLineDot << 12);

    CQorsDoc empty;
    EXPECT_EQ(empty.GetCellLineStyle(1, 1), 0);
}

TEST(DocCells, DrawFormatFollowsKindAlignmentAndWrap) {
    auto doc = newDoc(3, 4);
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(1, 2));
    setFormat(*doc, kFmtHAlign, kAlignCentre, CellArea::cell(1, 3));
    setFormat(*doc, kFmtVAlign, kAlignEnd, CellArea::cell(1, 3));
    setFormat(*doc, kFmtHAlign, kAlignEnd, CellArea::cell(1, 4));
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(1, 4));
    setFormat(*doc, kFmtVAlign, kAlignStart, CellArea::cell(1, 4));
    setFormat(*doc, kFmtWrap, 1, CellArea::cell(1, 4));
    setFormat(*doc, kFmtHAlign, kAlignStart, CellArea::cell(2, 1));
    ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue{kCellLabel, 0, "t"}, 2, 2), 0);

    using D = CQorsDoc;
    // A number by default: right, centred vertically, one line.
    EXPECT_EQ(doc->GetCellDrawFormat(0, 0), D::kDrawRight | D::kDrawVCentre | D::kDrawSingleLine);
    // A character cell by default: left.
    EXPECT_EQ(doc->GetCellDrawFormat(0, 1), D::kDrawVCentre | D::kDrawSingleLine);
    EXPECT_EQ(doc->GetCellDrawFormat(0, 2), D::kDrawCentre | D::kDrawBottom | D::kDrawSingleLine);
    EXPECT_EQ(doc->GetCellDrawFormat(0, 3), D::kDrawRight | D::kDrawWordBreak);
    // A number set to the left, and a table text by default.
    EXPECT_EQ(doc->GetCellDrawFormat(1, 0), D::kDrawVCentre | D::kDrawSingleLine);
    EXPECT_EQ(doc->GetCellDrawFormat(1, 1), D::kDrawVCentre | D::kDrawSingleLine);
}

TEST(DocCells, BackPatternForeColourAndNumberFlags) {
    auto doc = newDoc(3, 3);
    setFormat(*doc, kFmtPattern, 3, CellArea::cell(2, 2));
    setFormat(*doc, kFmtBackground, kColourNavy, CellArea::cell(2, 2));
    setFormat(*doc, kFmtForeground, kColourRed, CellArea::cell(2, 2));
    setFormat(*doc, kFmtThousands, 1, CellArea::cell(2, 2));
    setFormat(*doc, kFmtCurrency, 1, CellArea::cell(2, 2));
    setFormat(*doc, kFmtDecimals, 5, CellArea::cell(2, 2));
    setFormat(*doc, kFmtPercent, 1, CellArea::cell(3, 3));

    int pattern = -1;
    uint32_t colour = 1;
    doc->GetCellBackPattern(1, 1, &pattern, &colour);
    EXPECT_EQ(pattern, 3);
    EXPECT_EQ(colour, 0x800000u);  // navy as 0x00BBGGRR
    doc->GetCellBackPattern(0, 0, &pattern, &colour);
    EXPECT_EQ(pattern, 0);
    EXPECT_EQ(colour, 0xFFFFFFu);
    EXPECT_EQ(doc->GetCellForeColor(1, 1), 0x0000FFu);
    EXPECT_EQ(doc->GetCellForeColor(0, 0), 0u);

    int a = -1, b = -1, c = -1, d = -1;
    doc->GetCellFont(1, 1, &a, &b, &c, &d);
    EXPECT_EQ(a, 1);  // thousands
    EXPECT_EQ(b, 0);  // percent
    EXPECT_EQ(c, 1);  // currency
    EXPECT_EQ(d, 5);  // decimals
    doc->GetCellFont(2, 2, &a, &b, &c, &d);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(d, 2);
}

TEST(DocCells, VarAreaInfoInBothStates) {
    auto doc = newDoc(8, 5);
    VarAreaInfo info{9, 9, 9, 9};
    doc->GetVarAreaInfo(&info);
    EXPECT_EQ(info, (VarAreaInfo{0, 0, 0, 0}));

    int kind = 2, start = 3, extent = 4;
    ASSERT_EQ(doc->GetReport()->AccessVarArea(1, &kind, &start, &extent), 0);
    doc->GetVarAreaInfo(&info);
    EXPECT_EQ(info, (VarAreaInfo{2, 4, 2, 0}));  // format state: used 0

    ASSERT_TRUE(doc->EnterDataState());
    doc->GetVarAreaInfo(&info);
    EXPECT_EQ(info, (VarAreaInfo{2, 4, 2, 0}));  // one line in use
    int lines = 4;
    ASSERT_EQ(doc->GetReport()->AccessVarCount(1, &lines), 0);
    doc->GetVarAreaInfo(&info);
    EXPECT_EQ(info, (VarAreaInfo{2, 4, 2, 3}));
    int32_t rows = 0, cols = 0;
    doc->GetTableSize(&rows, &cols);
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(cols, 5);
    doc->GetPageTableSize(&rows, &cols);
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(cols, 8);

    CQorsDoc none;
    VarAreaInfo untouched{7, 7, 7, 7};
    none.GetVarAreaInfo(&untouched);
    EXPECT_EQ(untouched, (VarAreaInfo{7, 7, 7, 7}));
    rows = cols = -3;
    none.GetTableSize(&rows, &cols);
    EXPECT_EQ(rows, -3);
}

TEST(DocCells, KindsAndValuesOfTheCurrentPage) {
    auto doc = newDoc(3, 3);
    CReportHandle* h = doc->GetReport();
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(1, 2));
    setFormat(*doc, kFmtKind, kCellNumber, CellArea::cell(1, 3));
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QString(40, QChar(u'表'))}, 2, 1), 0);
    EXPECT_EQ(doc->GetCellKind(0, 0), 1);  // never given a kind
    EXPECT_EQ(doc->GetCellKind(0, 1), 2);
    EXPECT_EQ(doc->GetCellKind(0, 2), 1);
    EXPECT_EQ(doc->GetCellKind(1, 0), 3);
    QString text;
    // Table texts read in both states, whole beyond 32 characters.
    ASSERT_TRUE(doc->GetStyleCellText(1, 0, &text));
    EXPECT_EQ(text.size(), 40);

    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText("3.25", CQorsDoc::kEntryNumber), 0);
    doc->Selection().SetCurrentCell(0, 1);
    ASSERT_EQ(doc->SetCellText(QString(50, QLatin1Char('x')), CQorsDoc::kEntryDataText), 0);
    double v = 0;
    EXPECT_TRUE(doc->GetNumCellValue(0, 0, &v));
    EXPECT_DOUBLE_EQ(v, 3.25);
    EXPECT_FALSE(doc->GetNumCellValue(0, 2, &v));  // empty
    EXPECT_FALSE(doc->GetNumCellValue(0, 1, &v));  // a character cell
    ASSERT_TRUE(doc->GetCharCellText(0, 1, &text));
    EXPECT_EQ(text.size(), 50);
    EXPECT_FALSE(doc->GetCharCellText(0, 0, &text));
    ASSERT_TRUE(doc->GetStyleCellText(1, 0, &text));
    // A table-text cell takes no entry in data state.
    doc->Selection().SetCurrentCell(1, 0);
    EXPECT_NE(doc->SetCellText("9", CQorsDoc::kEntryNumber), 0);
    EXPECT_NE(doc->SetCellText("9", CQorsDoc::kEntryFormatText), 0);
}

TEST(DocCells, AreasKeywordsAndCheckLines) {
    auto doc = newDoc(6, 6);
    CReportHandle* h = doc->GetReport();
    const CellArea comb = CellArea::area(2, 2, 3, 4);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    const CellArea diag = CellArea::area(5, 1, 6, 2);
    ASSERT_EQ(h->DrawAreaLines(&diag, 4, kLineThin), 0);
    CellRef kw{0, 1, 6};
    ASSERT_EQ(h->AccessKeywordCell(1, 4, &kw), 0);
    h->GetReportFile()->SetKeywordOffset(4, -12);

    CellArea area;
    EXPECT_TRUE(doc->IsCombinedCell(2, 3));
    ASSERT_TRUE(doc->GetCombinedArea(2, 3, &area));
    EXPECT_EQ(area, CellArea::area(1, 1, 2, 3));
    EXPECT_FALSE(doc->IsCombinedCell(0, 0));
    ASSERT_EQ(doc->GetCombinedAreaCount(), 1);
    EXPECT_EQ(doc->GetCombinedAreas()[0], (AreaLineEntry{kLineThin, 4, 0, 1, 5, 1}));

    int row = -1, col = -1;
    ASSERT_TRUE(doc->GetKeywordCell(4, &row, &col));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(col, 5);
    EXPECT_FALSE(doc->GetKeywordCell(0, &row, &col));
    EXPECT_EQ(doc->GetKeywordOffset(4), -12);
    const QString name = doc->GetKeywordDisplayText(4, false);
    EXPECT_FALSE(name.isEmpty());
    EXPECT_TRUE(doc->GetKeywordDisplayText(4, true).isEmpty());

    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(h->SetPageKeyword(4, KeywordValue{1, 12, {}}, 0), 0);
    EXPECT_EQ(doc->GetKeywordDisplayText(4, true), QStringLiteral("12"));
    EXPECT_EQ(doc->GetKeywordDisplayText(4, false), name + QStringLiteral("：12"));

    EXPECT_FALSE(doc->GetCheckLineArea(&area));
    const CellArea tick = CellArea::area(2, 2, 4, 5);
    ASSERT_EQ(h->SetCheckLineArea(0, &tick), 0);
    ASSERT_TRUE(doc->GetCheckLineArea(&area));
    EXPECT_EQ(area, CellArea::area(1, 1, 3, 4));
}
