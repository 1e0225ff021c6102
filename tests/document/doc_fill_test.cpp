// The fill commands and the decimal-places buttons, reached through the
// document's command table as the menus reach them.
#include <gtest/gtest.h>

#include "cmdlang/enginehooks.h"
#include "document/cmd_format.h"
#include "document/doc_commands.h"
#include "resources/commandids.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;
using namespace qor::cmd_ids;
using namespace qor::doccmd;

namespace {

bool enabled(CQorsDoc& doc, int id, QString* reason = nullptr) {
    CommandState state;
    EXPECT_TRUE(doc.OnUpdateCommand(id, state)) << id;
    if (reason) *reason = state.reason;
    return state.enabled;
}

double number(CQorsDoc& doc, int row, int col) {
    double v = -999;
    doc.GetNumCellValue(row, col, &v);
    return v;
}

int decimals(CQorsDoc& doc, int row, int col) {
    int d = -1;
    doc.GetCellFont(row, col, nullptr, nullptr, nullptr, &d);
    return d;
}

class FillTest : public ::testing::Test {
protected:
    void SetUp() override { cmd::InstallEngineHooks(); }
    void TearDown() override { InstallFormulaChecker(nullptr); }
    UiRecorder ui;
};

}  // namespace

TEST_F(FillTest, OnlyASelectionOfSeveralLinesCanBeFilledAndTheMenuSaysWhy) {
    auto doc = newDoc(6, 5);
    doc->Selection().SetSelection(1, 1, 1, 3);  // one row, three columns
    QString why;
    EXPECT_FALSE(enabled(*doc, kCmdFillDown, &why));
    EXPECT_EQ(why, LoadErrorText(qor::str::kFillDownOneRow));
    EXPECT_FALSE(enabled(*doc, kCmdFillUp));
    EXPECT_TRUE(enabled(*doc, kCmdFillRight));
    EXPECT_TRUE(enabled(*doc, kCmdFillLeft));
    doc->Selection().SetSelection(1, 1, 4, 1);  // one column
    EXPECT_TRUE(enabled(*doc, kCmdFillDown));
    EXPECT_FALSE(enabled(*doc, kCmdFillRight, &why));
    EXPECT_EQ(why, LoadErrorText(qor::str::kFillRightOneColumn));
    // A selection beyond the table's last row is no second row.
    doc->Selection().SetSelection(5, 0, 9, 0);
    EXPECT_FALSE(enabled(*doc, kCmdFillDown));
    // Both states fill; a command reached while off changes nothing.
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetSelection(1, 1, 4, 1);
    EXPECT_TRUE(enabled(*doc, kCmdFillUp));
    doc->Selection().SetSelection(1, 1, 1, 1);
    doc->SetModifiedFlag(false);
    EXPECT_TRUE(doc->OnCommand(kCmdFillDown));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(FillTest, DataStateFillsValuesEachWayAndLeavesTableTextsAlone) {
    auto doc = newDoc(6, 5);
    CReportHandle* h = doc->GetReport();
    // C4 is a table text: a paste would not write it, nor does a fill.
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("注")}, 4, 3), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(7), 2, 2), 0);    // B2
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(8.5), 2, 3), 0);  // C2
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(3), 5, 2), 0);    // B5

    doc->Selection().SetSelection(1, 1, 3, 2);  // B2:C4, down from row 2
    EXPECT_TRUE(doc->OnCommand(kCmdFillDown));
    EXPECT_EQ(number(*doc, 2, 1), 7);
    EXPECT_EQ(number(*doc, 2, 2), 8.5);
    QString text;
    ASSERT_TRUE(doc->GetStyleCellText(3, 2, &text));
    EXPECT_EQ(text, QStringLiteral("注"));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();

    doc->Selection().SetSelection(1, 1, 4, 1);  // B2:B5, up from row 5
    EXPECT_TRUE(doc->OnCommand(kCmdFillUp));
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(number(*doc, r, 1), 3) << r;

    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(-2), 6, 5), 0);  // E6
    doc->Selection().SetSelection(5, 0, 5, 4);                     // A6:E6, left from E
    EXPECT_TRUE(doc->OnCommand(kCmdFillLeft));
    for (int c = 0; c <= 3; ++c) EXPECT_EQ(number(*doc, 5, c), -2) << c;

    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(11), 1, 1), 0);  // A1
    doc->Selection().SetSelection(0, 0, 0, 4);                     // A1:E1, right from A
    EXPECT_TRUE(doc->OnCommand(kCmdFillRight));
    for (int c = 1; c <= 4; ++c) EXPECT_EQ(number(*doc, 0, c), 11) << c;
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(FillTest, FormatStateFillsKindsFormatsTextsAndMovedFormulas) {
    auto doc = newDoc(8, 6);
    CReportHandle* h = doc->GetReport();
    // Row 2: A2 a table text, B2 a character cell in red, C2 a formula
    // reading A1 with three decimals.
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("项目")}, 2, 1), 0);
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(2, 2));
    setFormat(*doc, kFmtForeground, kColourRed, CellArea::cell(2, 2));
    setFormat(*doc, kFmtDecimals, 3, CellArea::cell(2, 3));
    CellArea f = CellArea::cell(2, 3);
    ASSERT_EQ(h->SetAreaFormula(&f, QStringLiteral("A1*2")), 0);

    doc->Selection().SetSelection(1, 0, 3, 2);  // A2:C4, down
    EXPECT_TRUE(doc->OnCommand(kCmdFillDown));
    QString text;
    for (int r = 2; r <= 3; ++r) {
        ASSERT_TRUE(doc->GetStyleCellText(r, 0, &text)) << r;
        EXPECT_EQ(text, QStringLiteral("项目"));
        EXPECT_EQ(doc->GetCellKind(r, 1), kCellText);
        EXPECT_EQ(doc->GetCellForeColor(r, 1), doc->GetCellForeColor(1, 1));
        EXPECT_EQ(decimals(*doc, r, 2), 3);
    }
    // References move as far as the line lies from its source.
    ASSERT_TRUE(doc->GetCellFormula(2, 2, &text));
    EXPECT_EQ(text, QStringLiteral("A2*2"));
    ASSERT_TRUE(doc->GetCellFormula(3, 2, &text));
    EXPECT_EQ(text, QStringLiteral("A3*2"));

    // Up from row 8 over rows 6..8: the formula of row 8 reads E7, so row
    // 6 reads E5.
    CellArea g = CellArea::cell(8, 6);
    ASSERT_EQ(h->SetAreaFormula(&g, QStringLiteral("E7+1")), 0);
    doc->Selection().SetSelection(5, 5, 7, 5);
    EXPECT_TRUE(doc->OnCommand(kCmdFillUp));
    ASSERT_TRUE(doc->GetCellFormula(5, 5, &text));
    EXPECT_EQ(text, QStringLiteral("E5+1"));

    // Right from column A over A6:C6 with "A5": B6 reads B5.
    CellArea k = CellArea::cell(6, 1);
    ASSERT_EQ(h->SetAreaFormula(&k, QStringLiteral("A5")), 0);
    doc->Selection().SetSelection(5, 0, 5, 2);
    EXPECT_TRUE(doc->OnCommand(kCmdFillRight));
    ASSERT_TRUE(doc->GetCellFormula(5, 1, &text));
    EXPECT_EQ(text, QStringLiteral("B5"));
    ASSERT_TRUE(doc->GetCellFormula(5, 2, &text));
    EXPECT_EQ(text, QStringLiteral("C5"));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();

    // Left from C7 reading A7: B7 would read the column before A, which
    // does not exist, so B7 gets no formula and the user is told; A7... the
    // same. The formats still arrive.
    CellArea m = CellArea::cell(7, 3);
    ASSERT_EQ(h->SetAreaFormula(&m, QStringLiteral("A7")), 0);
    setFormat(*doc, kFmtDecimals, 5, CellArea::cell(7, 3));
    doc->Selection().SetSelection(6, 0, 6, 2);
    EXPECT_TRUE(doc->OnCommand(kCmdFillLeft));
    EXPECT_FALSE(doc->GetCellFormula(6, 0, &text));
    EXPECT_EQ(decimals(*doc, 6, 0), 5);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kFillFailed)));
}

TEST_F(FillTest, DecimalButtonsStepNumberCellsWithinZeroToSeven) {
    auto doc = newDoc(4, 4);
    setFormat(*doc, kFmtDecimals, 2, CellArea::cell(1, 1));
    setFormat(*doc, kFmtDecimals, 7, CellArea::cell(1, 2));
    setFormat(*doc, kFmtDecimals, 0, CellArea::cell(1, 3));
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(1, 4));
    setFormat(*doc, kFmtDecimals, 4, CellArea::cell(1, 4));
    doc->Selection().SetSelection(0, 0, 0, 3);
    EXPECT_TRUE(enabled(*doc, kCmdMoreDecimals));
    EXPECT_TRUE(doc->OnCommand(kCmdMoreDecimals));
    EXPECT_EQ(decimals(*doc, 0, 0), 3);
    EXPECT_EQ(decimals(*doc, 0, 1), 7);  // at most 7
    EXPECT_EQ(decimals(*doc, 0, 2), 1);
    EXPECT_EQ(decimals(*doc, 0, 3), 4);  // a character cell keeps its own
    EXPECT_TRUE(doc->OnCommand(kCmdFewerDecimals));
    EXPECT_TRUE(doc->OnCommand(kCmdFewerDecimals));
    EXPECT_EQ(decimals(*doc, 0, 0), 1);
    EXPECT_EQ(decimals(*doc, 0, 1), 5);
    EXPECT_EQ(decimals(*doc, 0, 2), 0);  // never below 0
    EXPECT_EQ(decimals(*doc, 0, 3), 4);
    EXPECT_TRUE(doc->IsModified());
    // Data state: off, saying why.
    ASSERT_TRUE(doc->EnterDataState());
    QString why;
    EXPECT_FALSE(enabled(*doc, kCmdFewerDecimals, &why));
    EXPECT_EQ(why, ReasonFormatState());
}
