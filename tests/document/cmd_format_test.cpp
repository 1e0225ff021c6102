// Format commands: what each dialog's members do to the report, the
// messages of refused changes, and that an unchanged dialog changes nothing.
#include "document/cmd_format.h"

#include <gtest/gtest.h>

#include "document/cmd_support.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

uint16_t rowHeight(CQorsDoc& doc, int row1) {
    uint16_t h = 0;
    EXPECT_EQ(doc.GetReport()->AccessRowColSize(0, 0, row1, &h), 0);
    return h;
}

uint16_t colWidth(CQorsDoc& doc, int col1) {
    uint16_t w = 0;
    EXPECT_EQ(doc.GetReport()->AccessRowColSize(0, 1, col1, &w), 0);
    return w;
}

struct SizeDialogs {
    std::optional<int> mm;
    RowHeightDlgMembers seenRow;
    std::optional<RowHeightDlgMembers> RowHeightDlg(const RowHeightDlgMembers& m) {
        seenRow = m;
        if (!mm) return std::nullopt;
        RowHeightDlgMembers out = m;
        out.heightMm = *mm;
        return out;
    }
    std::optional<ColWidthDlgMembers> ColWidthDlg(const ColWidthDlgMembers& m) {
        if (!mm) return std::nullopt;
        ColWidthDlgMembers out = m;
        out.widthMm = *mm;
        return out;
    }
    ScopedDialog<RowHeightDlgMembers> rowHeightDlgAnswer{
        [this](const RowHeightDlgMembers& m) { return RowHeightDlg(m); }};
    ScopedDialog<ColWidthDlgMembers> colWidthDlgAnswer{
        [this](const ColWidthDlgMembers& m) { return ColWidthDlg(m); }};
};

}  // namespace

TEST(CmdFormat, RowHeightInMillimetresBecomesPoints) {
    auto doc = newDoc(200, 6);
    UiRecorder ui;
    SizeDialogs dialogs;
    doc->Selection().SetSelection(1, 0, 3, 2);  // rows 2..4
    int changed = 0;
    QObject::connect(doc.get(), &CQorsDoc::changed, [&changed](int) { ++changed; });

    dialogs.mm = 5;
    EXPECT_EQ(OnRowHeight(*doc), 0);
    EXPECT_EQ(dialogs.seenRow.heightPoints, 18);
    EXPECT_EQ(dialogs.seenRow.heightMm, 6);
    for (int row : {2, 3, 4}) EXPECT_EQ(rowHeight(*doc, row), 14) << row;
    EXPECT_EQ(rowHeight(*doc, 1), 18);
    EXPECT_EQ(rowHeight(*doc, 5), 18);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_GT(changed, 0);

    // Confirming the height the dialog showed keeps the points: 18 points
    // show as 6 mm, which would come back as 17.
    doc->Selection().SetSelection(10, 0, 10, 0);
    dialogs.mm = 6;
    EXPECT_EQ(OnRowHeight(*doc), 0);
    EXPECT_EQ(rowHeight(*doc, 11), 18);
    dialogs.mm = 7;
    EXPECT_EQ(OnRowHeight(*doc), 0);
    EXPECT_EQ(rowHeight(*doc, 11), 20);  // 7 / 0.3527 = 19.85
    EXPECT_TRUE(ui.messages.isEmpty());

    // Cancelled: nothing changes.
    dialogs.mm.reset();
    doc->SetModifiedFlag(false);
    EXPECT_EQ(OnRowHeight(*doc), -1);
    EXPECT_FALSE(doc->IsModified());
}

TEST(CmdFormat, ZeroHeightForAHundredRowsIsRefused) {
    auto doc = newDoc(200, 6);
    UiRecorder ui;
    RowHeightDlgMembers m;
    m.heightPoints = 18;
    m.heightMm = 0;
    m.area = {0, 0, 0, 99};  // 100 rows
    EXPECT_NE(ApplyRowHeightDlg(*doc, m), 0);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0], LoadErrorText(qor::str::kTooManyZeroRowHeights));
    EXPECT_EQ(rowHeight(*doc, 1), 18);
    EXPECT_EQ(rowHeight(*doc, 100), 18);
    EXPECT_FALSE(doc->IsModified());

    m.area = {0, 0, 0, 98};  // 99 rows may be hidden
    EXPECT_EQ(ApplyRowHeightDlg(*doc, m), 0);
    EXPECT_EQ(rowHeight(*doc, 99), 0);
    EXPECT_EQ(rowHeight(*doc, 100), 18);
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST(CmdFormat, ColumnWidthAndDataStateRefusal) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    SizeDialogs dialogs;
    doc->Selection().SetSelection(0, 1, 0, 2);
    dialogs.mm = 30;
    EXPECT_EQ(OnColWidth(*doc), 0);
    EXPECT_EQ(colWidth(*doc, 2), 85);  // 30 / 0.3527 = 85.06
    EXPECT_EQ(colWidth(*doc, 3), 85);
    EXPECT_EQ(colWidth(*doc, 1), 64);

    // Sizes are format edits: in data state the report refuses and the
    // user is told; the document stays unmodified.
    ASSERT_TRUE(doc->EnterDataState());
    doc->SetModifiedFlag(false);
    dialogs.mm = 10;
    EXPECT_NE(OnColWidth(*doc), 0);
    EXPECT_EQ(colWidth(*doc, 2), 85);
    EXPECT_TRUE(ui.said(QStringLiteral("失败")));
    EXPECT_FALSE(doc->IsModified());
}

TEST(CmdFormat, CombineByButton) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    CReportHandle* r = doc->GetReport();
    CombineCellsDlgMembers m;
    m.area = {0, 0, 1, 2};  // A1:B3
    m.result = kCombineByRows;
    EXPECT_EQ(ApplyCombineCellsDlg(*doc, m), 0);
    CellArea out;
    for (int row = 1; row <= 3; ++row) {
        ASSERT_TRUE(r->GetCombinedArea(CellArea::cell(row, 2), &out)) << row;
        EXPECT_EQ(out, CellArea::area(row, 1, row, 2));
    }

    // The whole area now crosses the row areas: the report's reason is
    // told in words.
    m.area = {0, 0, 2, 2};
    m.result = kCombineWhole;
    EXPECT_EQ(ApplyCombineCellsDlg(*doc, m), code(Status::CombineOverlap));
    EXPECT_TRUE(ui.said(QStringLiteral("交叉")));

    m.area = {0, 0, 1, 2};
    m.result = kCombineUndo;
    EXPECT_EQ(ApplyCombineCellsDlg(*doc, m), 0);
    EXPECT_FALSE(r->GetCombinedArea(CellArea::cell(1, 1), &out));

    // By columns over a single row combines nothing: every piece is one
    // cell.
    m.area = {3, 5, 4, 5};
    m.result = kCombineByCols;
    EXPECT_EQ(ApplyCombineCellsDlg(*doc, m), code(Status::CombineSingleCell));
    EXPECT_TRUE(ui.said(QStringLiteral("单个单元")));
}

TEST(CmdFormat, CellStylePresetsMixedAsMinusOneAndWritesTheRest) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    setFormat(*doc, kFmtBackground, kColourYellow, CellArea::cell(1, 1));
    setFormat(*doc, kFmtHAlign, 2, CellArea::area(1, 1, 2, 2));
    setFormat(*doc, kFmtFontSize, 5, CellArea::area(1, 1, 2, 2));
    doc->Selection().SetSelection(0, 0, 1, 1);
    CellStyleDlgMembers m = PresetCellStyleDlg(*doc);
    EXPECT_EQ(m.backColor, -1);
    EXPECT_EQ(m.hAlign, 2);
    EXPECT_EQ(m.fontSize, 5);
    EXPECT_EQ(m.pattern, 0);

    m.hAlign = 3;
    m.wordWrap = 1;
    EXPECT_EQ(ApplyCellStyleDlg(*doc, m), 0);
    CReportHandle* r = doc->GetReport();
    auto attr = [r](int code, int row, int col) {
        int32_t v = 0;
        const CellArea a = CellArea::cell(row, col);
        r->AccessAreaFormat(0, code, &v, &a);
        return v;
    };
    EXPECT_EQ(attr(kFmtBackground, 1, 1), kColourYellow);  // mixed: left alone
    EXPECT_EQ(attr(kFmtBackground, 2, 2), kColourWhite);
    EXPECT_EQ(attr(kFmtHAlign, 2, 2), 3);
    EXPECT_EQ(attr(kFmtWrap, 1, 2), 1);
    EXPECT_EQ(attr(kFmtHAlign, 3, 3), 0);
}

TEST(CmdFormat, LinesVarAreaAndTableStyle) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    doc->Selection().SetSelection(2, 1, 4, 3);
    DrawLineDlgMembers lines;
    lines.lineType = 3;  // frame
    EXPECT_EQ(ApplyDrawLineDlg(*doc, lines), 0);
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetCellFormatField(5, 4, kFmtBottomLine), 1u);
    lines.lineStyle = 9;
    EXPECT_NE(ApplyDrawLineDlg(*doc, lines), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kDrawAreaLinesFailed)));

    SetVarAreaDlgMembers var;
    var.kind = 1;
    var.count = 4;
    EXPECT_EQ(ApplySetVarAreaDlg(*doc, var), 0);
    int kind = 0, start = 0, extent = 0;
    doc->GetReport()->AccessVarArea(0, &kind, &start, &extent);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(start, 3);  // the selection's first row
    EXPECT_EQ(extent, 4);

    ApplyFormatDlgMembers style;
    style.chosenFormat = 11;
    EXPECT_NE(ApplyApplyFormatDlg(*doc, style), 0);
    style.chosenFormat = 8;
    EXPECT_EQ(ApplyApplyFormatDlg(*doc, style), 0);
}

TEST(CmdFormat, VarAreaOnARowHoldingValuesIsRefusedNamingTheCell) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    ASSERT_TRUE(doc->EnterDataState());
    CReportHandle* r = doc->GetReport();
    ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(5), 3, 2), 0);
    ASSERT_TRUE(doc->SwitchToFormatState());
    doc->Selection().SetSelection(2, 1, 2, 1);  // row 3, column 2
    SetVarAreaDlgMembers var;
    var.kind = 1;
    var.count = 4;
    EXPECT_NE(ApplySetVarAreaDlg(*doc, var), 0);
    EXPECT_TRUE(ui.said(QStringLiteral("第1页第3行第2列有数据"))) << ui.messages.join('|').toStdString();
    var.kind = 2;
    EXPECT_NE(ApplySetVarAreaDlg(*doc, var), 0);
    int kind = 0, start = 0, extent = 0;
    r->AccessVarArea(0, &kind, &start, &extent);
    EXPECT_EQ(kind, 0);
    ASSERT_TRUE(doc->EnterDataState());
    CellValue v;
    ASSERT_EQ(r->GetCellValue(&v, 3, 2, 1), 0);
    EXPECT_EQ(v.number, 5);
}

TEST(CmdFormat, PageSetupKeepsUnchangedMarginsAndMirrorsTheDocument) {
    auto doc = newDoc(20, 6);
    UiRecorder ui;
    PageSetupBlock b;
    doc->GetReport()->GetPageSetup(&b);
    b.margins = {72, 50, 72, 36};
    b.scale = 1.0f;
    ASSERT_EQ(doc->GetReport()->SetPageSetup(b), 0);

    PageSetupDlgMembers m = PresetPageSetupDlg(*doc);
    EXPECT_EQ(m.leftMm, 25);  // 72 x 0.3527 = 25.39
    EXPECT_EQ(m.topMm, 18);
    EXPECT_EQ(m.tableLastRow, 19);
    EXPECT_EQ(m.tableLastCol, 5);
    m.bottomMm = 20;
    m.scale = 1.5f;
    m.rangeKind = 0;
    m.headerEnabled = 1;
    m.headerFirst = 0;
    m.headerLast = 1;
    EXPECT_EQ(ApplyPageSetupDlg(*doc, m), 0);
    doc->GetReport()->GetPageSetup(&b);
    EXPECT_EQ(b.margins[0], 72);  // unchanged millimetres keep their points
    EXPECT_EQ(b.margins[1], 50);
    EXPECT_EQ(b.margins[3], 57);  // 20 / 0.3527 = 56.7
    EXPECT_FLOAT_EQ(b.scale, 1.5f);
    EXPECT_EQ(b.headFlag, 1);
    EXPECT_EQ(b.headLast, 1);
    EXPECT_EQ(doc->PageSetup().margins[3], 57);
    EXPECT_EQ(doc->PageSetup().margins[0], 72);
    EXPECT_FLOAT_EQ(doc->PageSetup().scale, 1.5f);
    EXPECT_EQ(doc->PageSetup().headFlag, 1);
    EXPECT_TRUE(doc->IsModified());

    m.scale = 5.0f;
    EXPECT_NE(ApplyPageSetupDlg(*doc, m), 0);
    EXPECT_EQ(doc->PageSetup().scale, 1.5f);
}
