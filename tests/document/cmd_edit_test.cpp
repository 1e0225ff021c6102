// Edit commands: locate, find texts, sorting by the dialog's keyword
// order, inserting and deleting rows and pages, swapping.
#include "document/cmd_edit.h"

#include <gtest/gtest.h>

#include "document/cmd_support.h"
#include "document/doc_commandhook.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

QString label(CQorsDoc& doc, int row, int col) { return doc.GetReport()->GetCellText(row, col, 0); }

void labelRows(CQorsDoc& doc, int rows) {
    for (int r = 1; r <= rows; ++r)
        ASSERT_EQ(doc.GetReport()->SetCellValue(
                      CellValue{kCellLabel, 0, QStringLiteral("r%1").arg(r)}, r, 1),
                  0);
}

// Records the command lines the document runs.
struct CommandLog {
    QStringList lines;
    QList<int> modes;
    int result = 0;
    CommandLog() {
        SetCommandRunner([this](CQorsDoc*, const QString& line, int mode) {
            lines << line;
            modes << mode;
            return result;
        });
    }
    ~CommandLog() { SetCommandRunner({}); }
};

}  // namespace

TEST(CmdEdit, PageInsertFailuresHaveTheirMessages) {
    EXPECT_EQ(PageInsertFailureMessage(code(Status::PageWriteError)),
              qor::str::kInsertPageWriteError);
    EXPECT_EQ(PageInsertFailureMessage(code(Status::OutOfMemory)), qor::str::kInsertPageNoMemory);
    EXPECT_EQ(PageInsertFailureMessage(code(Status::DiskFull)), qor::str::kInsertPageNoDiskSpace);
    EXPECT_EQ(PageInsertFailureMessage(code(Status::PageLimit)), qor::str::kInsertPageFailed);
    EXPECT_EQ(PageInsertFailureMessage(1), qor::str::kInsertPageFailed);

    auto doc = newDoc();
    ASSERT_TRUE(doc->EnterDataState());
    UiRecorder ui;
    InsertCountDlgMembers m = PresetInsertCountDlg(*doc, kInsertPages);
    EXPECT_EQ(m.room, 99998);  // the page limit less the page there is
    m.count = 0;               // refused in the dialog's words before the report is asked
    EXPECT_NE(ApplyInsertCountDlg(*doc, m), 0);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0], LoadErrorText(qor::str::kIntegerOutOfRange).arg(1).arg(99998));
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 1);
}

TEST(CmdEdit, InsertAndAppendFollowTheSelectionAndCurrentPage) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    labelRows(*doc, 3);
    doc->Selection().SetSelection(1, 0, 1, 0);  // row 2
    InsertCountDlgMembers m = PresetInsertCountDlg(*doc, kInsertRows);
    m.count = 2;
    EXPECT_EQ(ApplyInsertCountDlg(*doc, m), 0);
    EXPECT_EQ(label(*doc, 1, 1), QStringLiteral("r1"));
    EXPECT_EQ(label(*doc, 4, 1), QStringLiteral("r2"));
    EXPECT_EQ(doc->GetReport()->GetRowCount(), 12);

    m = PresetInsertCountDlg(*doc, kAppendCols);
    EXPECT_EQ(m.room, 249);  // what still fits: columns up to 255
    m.count = 250;
    EXPECT_NE(ApplyInsertCountDlg(*doc, m), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kIntegerOutOfRange).arg(1).arg(249)));
    EXPECT_EQ(doc->GetReport()->GetColCount(), 6);
    EXPECT_EQ(PresetInsertCountDlg(*doc, kInsertRows).room, 9999 - 12);

    ASSERT_TRUE(doc->EnterDataState());
    m = PresetInsertCountDlg(*doc, kInsertPages);
    m.count = 2;
    EXPECT_EQ(ApplyInsertCountDlg(*doc, m), 0);
    EXPECT_EQ(doc->ViewState().pageCount, 3);
    EXPECT_EQ(doc->ViewState().curPage, 3);  // the page stays current under its new number
    m = PresetInsertCountDlg(*doc, kAppendPages);
    m.count = 4;
    EXPECT_EQ(ApplyInsertCountDlg(*doc, m), 0);
    EXPECT_EQ(doc->ViewState().pageCount, 7);
    EXPECT_TRUE(doc->IsModified());
}

TEST(CmdEdit, DeleteListGoesFromTheHighestAndOnlyOnce) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    labelRows(*doc, 6);
    DeleteDlgMembers m = PresetDeleteDlg(*doc, 1);
    m.list = QStringLiteral("2, 2,4");
    EXPECT_EQ(ApplyDeleteDlg(*doc, m), 0);
    QStringList left;
    for (int r = 1; r <= 4; ++r) left << label(*doc, r, 1);
    EXPECT_EQ(left, (QStringList{"r1", "r3", "r5", "r6"}));

    m.list = QStringLiteral("1;2");
    EXPECT_NE(ApplyDeleteDlg(*doc, m), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kBadNumberList)));
    EXPECT_EQ(label(*doc, 1, 1), QStringLiteral("r1"));
}

TEST(CmdEdit, DeletePagesByListAndCondition) {
    auto doc = newDoc();
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(doc->GetReport()->AppendRowColPage(3, 2), 0);
    UiRecorder ui;
    CommandLog log;
    DeleteDlgMembers m = PresetDeleteDlg(*doc, 3);
    m.list = QStringLiteral("4");
    m.condition = QStringLiteral("年=2004 AND 单位名称=\"甲\"");
    EXPECT_EQ(ApplyDeleteDlg(*doc, m), 0);
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 3);
    EXPECT_EQ(doc->ViewState().pageCount, 3);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("DELETE FOR 年=2004 AND 单位名称=\"甲\"")});
    EXPECT_EQ(log.modes, QList<int>{kCommandRunMode});

    // Rows take no condition: with no row listed nothing goes, and the
    // user is told so.
    m.mode = 1;
    m.list.clear();
    EXPECT_NE(ApplyDeleteDlg(*doc, m), 0);
    EXPECT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kDeleteNothingListed)
                            .arg(LoadErrorText(qor::str::kWhatRow))));
}

// The dialog's default answer deletes what the selection holds; a list
// left empty deletes nothing and says so instead of doing nothing silently.
TEST(CmdEdit, DeleteOffersTheSelectedLinesAndSaysWhenNoneIsListed) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    labelRows(*doc, 6);
    doc->Selection().SetSelection(2, 1, 3, 2);  // rows 3 and 4, columns B and C
    DeleteDlgMembers m = PresetDeleteDlg(*doc, 1);
    EXPECT_EQ(m.list, QStringLiteral("3,4"));
    EXPECT_EQ(PresetDeleteDlg(*doc, 2).list, QStringLiteral("2,3"));
    EXPECT_TRUE(PresetDeleteDlg(*doc, 3).list.isEmpty());
    EXPECT_EQ(ApplyDeleteDlg(*doc, m), 0);
    EXPECT_EQ(label(*doc, 3, 1), QStringLiteral("r5"));
    EXPECT_EQ(doc->GetReport()->GetRowCount(), 8);

    m.list = QStringLiteral("  ");
    EXPECT_NE(ApplyDeleteDlg(*doc, m), 0);
    EXPECT_EQ(doc->GetReport()->GetRowCount(), 8);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kDeleteNothingListed)
                            .arg(LoadErrorText(qor::str::kWhatRow))));
}

TEST(CmdEdit, SortPagesMapsTheDialogsKeywordOrder) {
    auto doc = newDoc();
    CReportHandle* r = doc->GetReport();
    CellRef nameCell{0, 1, 1}, codeCell{0, 1, 2};
    ASSERT_EQ(r->AccessKeywordCell(1, 0, &nameCell), 0);
    ASSERT_EQ(r->AccessKeywordCell(1, 1, &codeCell), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(r->AppendRowColPage(2, 2), 0);
    const QString names[3] = {"丙", "甲", "乙"};
    const QString codes[3] = {"03", "01", "02"};
    for (int p = 0; p < 3; ++p) {
        ASSERT_EQ(r->SetPageKeyword(0, KeywordValue{2, 0, names[p]}, p + 1), 0);
        ASSERT_EQ(r->SetPageKeyword(1, KeywordValue{2, 0, codes[p]}, p + 1), 0);
    }
    UiRecorder ui;
    PageSortDlgMembers m = PresetPageSortDlg(*doc, 1);
    m.keys[0] = 0;  // "单位编号" in the dialog's list
    m.orders[1] = m.orders[2] = -1;
    EXPECT_EQ(ApplyPageSortDlg(*doc, m), 0);
    QStringList order;
    for (int p = 1; p <= 3; ++p) {
        KeywordValue v;
        r->GetPageKeyword(0, &v, p);
        order << v.text;
    }
    EXPECT_EQ(order, (QStringList{"甲", "乙", "丙"}));

    // A cell key, descending.
    for (int p = 1; p <= 3; ++p)
        ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(p * 10), 2, 2, p), 0);
    m.keys[0] = -1;
    m.cells[0] = {2, 2};
    m.orders[0] = 1;
    EXPECT_EQ(ApplyPageSortDlg(*doc, m), 0);
    CellValue v;
    r->GetCellValue(&v, 2, 2, 1);
    EXPECT_EQ(v.number, 30);
}

TEST(CmdEdit, SwapNeedsListsOfOneLength) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    labelRows(*doc, 5);
    SwapDlgMembers m = PresetSwapDlg(*doc, 1);
    m.source = QStringLiteral("1,3");
    m.target = QStringLiteral("5");
    EXPECT_NE(ApplySwapDlg(*doc, m), 0);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kSourceTargetMismatch)});
    m.target = QStringLiteral("5,4");
    EXPECT_EQ(ApplySwapDlg(*doc, m), 0);
    EXPECT_EQ(label(*doc, 1, 1), QStringLiteral("r5"));
    EXPECT_EQ(label(*doc, 3, 1), QStringLiteral("r4"));
}

TEST(CmdEdit, LocateMovesToAPageAndCell) {
    auto doc = newDoc(10, 6);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(doc->GetReport()->AppendRowColPage(2, 2), 0);
    UiRecorder ui;
    doc->Selection().SetCurrentCell(2, 3);
    LocateDlgMembers m = PresetLocateDlg(*doc);
    EXPECT_EQ(m.page, 1);
    EXPECT_EQ(m.row, 3);
    EXPECT_EQ(m.columnText, QStringLiteral("D"));
    m.page = 3;
    m.row = 10;
    m.column = 6;
    EXPECT_EQ(ApplyLocateDlg(*doc, m), 0);
    EXPECT_EQ(doc->ViewState().curPage, 3);
    EXPECT_EQ(doc->GetReport()->GetCurPage(), 3);
    EXPECT_EQ(doc->Selection().CurrentRow(), 9);
    EXPECT_EQ(doc->Selection().CurrentColumn(), 5);

    m.page = 4;
    EXPECT_NE(ApplyLocateDlg(*doc, m), 0);
    m.page = 2;
    m.column = 7;
    EXPECT_NE(ApplyLocateDlg(*doc, m), 0);
    EXPECT_EQ(doc->ViewState().curPage, 3);  // nothing moved
    EXPECT_EQ(ui.messages.size(), 2);
}

TEST(CmdEdit, FindCommandTexts) {
    const QString unitName = LoadErrorText(qor::str::kKeywordUnitName);
    EXPECT_EQ(BuildFindCommand(0, {"年", "=", "2004"}, -1, {}), QStringLiteral("FIND FOR 年=2004"));
    EXPECT_EQ(BuildFindCommand(0, {"年", "=", "2004"}, 0, {"月", ">=", "6"}),
              QStringLiteral("FIND FOR 年=2004 AND 月>=6"));
    EXPECT_EQ(BuildFindCommand(0, {unitName, "=", "A\"B"}, 1, {"年", "<", "2000"}),
              QStringLiteral("FIND FOR ") + unitName + QStringLiteral("=\"A\"B\" OR 年<2000"));
    EXPECT_EQ(BuildFindCommand(1, {"V_B", ">", "100"}, -1, {}),
              QStringLiteral("GFIND FOR ;V_B>100"));
    // Incomplete conditions run nothing.
    EXPECT_EQ(BuildFindCommand(0, {"年", "", "2004"}, -1, {}), QString());
    EXPECT_EQ(BuildFindCommand(0, {"年", "=", "2004"}, 0, {"月", ">=", ""}), QString());
}

// A list that cannot be done whole does nothing: no row or column goes,
// so the saved report is the same to the byte.
TEST(CmdEdit, DeleteListThatCannotBeDoneWholeLeavesTheReportAsItWas) {
    UiRecorder ui;
    const QString path = testDir() + "/del2.rep";
    {
        auto doc = newDoc(8, 4);
        CReportHandle* r = doc->GetReport();
        int kind = 1, start = 3, extent = 8;
        ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
        CellArea a = CellArea::cell(6, 4);
        ASSERT_EQ(r->SetAreaFormula(&a, QStringLiteral("D5*2")), 0);
        a = CellArea::cell(7, 3);
        ASSERT_EQ(r->SetAreaFormula(&a, QStringLiteral("D5+1")), 0);
        ASSERT_TRUE(doc->EnterDataState());
        ASSERT_EQ(r->AppendRowColPage(1, 2), 0);
        for (int page = 1; page <= 2; ++page)
            ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(54), 5, 4, page), 0);
        ASSERT_TRUE(doc->Files().OnSaveDocument(path));
    }
    const QByteArray original = fileBytes(path);
    ASSERT_FALSE(original.isEmpty());

    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    ASSERT_TRUE(doc.EnterFormatState());
    struct Case {
        int mode;
        QString list;
        QString said;
    };
    const QString row = LoadErrorText(qor::str::kWhatRow), col = LoadErrorText(qor::str::kColumnWord);
    const Case cases[] = {
        {2, "1,2,3,4", LoadErrorText(qor::str::kDeleteKeepsOneLine).arg(col).arg(4)},
        {2, "4,3,2,1,1", LoadErrorText(qor::str::kDeleteKeepsOneLine).arg(col).arg(4)},
        {1, "8,7,6,5,4,3,2,1", LoadErrorText(qor::str::kDeleteKeepsOneLine).arg(row).arg(8)},
        {1, "2,9", LoadErrorText(qor::str::kDeleteListOutside).arg(9).arg(row).arg(8)},
        {2, "2,5", LoadErrorText(qor::str::kDeleteListOutside).arg(5).arg(col).arg(4)},
        {3, "1,3", LoadErrorText(qor::str::kDeleteListOutside)
                       .arg(3)
                       .arg(LoadErrorText(qor::str::kPageWord))
                       .arg(2)},
    };
    for (const Case& c : cases) {
        ui.messages.clear();
        DeleteDlgMembers m = PresetDeleteDlg(doc, c.mode);
        m.list = c.list;
        EXPECT_NE(ApplyDeleteDlg(doc, m), 0) << c.list.toStdString();
        EXPECT_EQ(ui.messages, QStringList{c.said}) << c.list.toStdString();
        EXPECT_EQ(doc.GetReport()->GetRowCount(), 8);
        EXPECT_EQ(doc.GetReport()->GetColCount(), 4);
        EXPECT_EQ(doc.GetReport()->GetPageCount(), 2);
    }
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    doc.Files().OnCloseDocument();
    EXPECT_EQ(fileBytes(path), original);

    // A list that can be done goes whole, in one step.
    CQorsDoc again;
    ASSERT_TRUE(again.Files().OnOpenDocument(path));
    ASSERT_TRUE(again.EnterFormatState());
    DeleteDlgMembers m = PresetDeleteDlg(again, 2);
    m.list = QStringLiteral("1,2,3");
    EXPECT_EQ(ApplyDeleteDlg(again, m), 0);
    EXPECT_EQ(again.GetReport()->GetColCount(), 1);
    ASSERT_TRUE(again.EnterDataState());
    EXPECT_EQ(again.GetReport()->GetCellText(5, 1, 2), QStringLiteral("54"));
}
