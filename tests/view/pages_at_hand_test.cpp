// Pages within reach in a report window: the tab strip's width and height,
// the current page's tab kept in sight, Ctrl+PgUp/PgDn and the page-tab
// commands turning pages, Shift+click extending the selection, and the
// name box following a command that moved the current cell.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTest>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "view/celleditor.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/view_commands.h"
#include "resources/commandids.h"

using namespace qor::view;
using namespace qor::cmd_ids;

namespace {

// Every caption as wide as its characters, so the arithmetic is exact.
int charWidths(const QString& text) { return int(text.size()) * 10; }

TEST(ShowCurrentTab, MovesTheRowSoTheCurrentTabIsWhole) {
    TabMetrics m;  // tabs from 106
    TabStripState s;
    s.shown = true;
    s.pageCount = 30;
    s.width = m.TabsLeft() + kGripperWidth + 200;  // room for 200 pixels of tabs
    // " 第1页" .. " 第9页" are 4 characters: 60 pixels with the padding,
    // 62 with the gap; three fit, the fourth would end at 246.
    s.current = 3;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 1);
    s.current = 4;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 2);
    // The last page: its tab ends inside the area and no earlier page
    // than needed is dropped (" 第29页" and " 第30页" take 142 pixels).
    s.current = 30;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 29);
    int used = 0;
    for (int p = s.first; p <= s.current; ++p) used += charWidths(PageTabCaption(p)) + kTabPadding + kTabGap;
    EXPECT_LE(used - kTabGap, 200);
    // Back to a page left of the row: it becomes the first.
    s.current = 5;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 5);
    // A strip too narrow for any tab shows the current one first.
    s.width = m.TabsLeft() + kGripperWidth + 20;
    s.current = 12;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 12);
}

TEST(ShowCurrentTab, AStripWhoseEndWasCutShowsTheCurrentPageAmongItsNeighbours) {
    TabMetrics m;
    TabStripState s;
    s.shown = true;
    s.width = m.TabsLeft() + kGripperWidth + 200;
    s.pageCount = 30;
    s.current = 30;
    ShowCurrentTab(s, m, charWidths);
    ASSERT_EQ(s.first, 29);
    // Pages 11 to 30 deleted: page 10 is current and last; pages 8 and 9
    // (62 pixels each with the gap) fit before its 70.
    s.pageCount = 10;
    s.current = 10;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 8);
    // A strip with room for everything starts at the first page.
    s.width = m.TabsLeft() + kGripperWidth + 2000;
    ShowCurrentTab(s, m, charWidths);
    EXPECT_EQ(s.first, 1);
}

class PagesAtHand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.Files().OnNewDocument());
        ASSERT_TRUE(splitter.Create(nullptr, 2, 2, QSize(10, 10), &doc));
        splitter.resize(900, 400);
        splitter.show();
        view()->CellEdit().AttachFormulaBar(&bar, &nameBox);
    }
    CQorsView* view() { return splitter.GetPane(0, 0); }
    CPageCtrl& strip() { return splitter.PageCtrl(); }
    void dataStateWithPages(int pages) {
        doc.EnterDataState();
        ASSERT_EQ(doc.GetReport()->AppendRowColPage(pages - 1, 2), 0);
        doc.UpdateAllViews(CQorsDoc::kHintState);
        splitter.SyncPageTabs();
        ASSERT_TRUE(doc.IsDataState());
        ASSERT_EQ(doc.GetReport()->GetPageCount(), pages);
    }
    bool currentTabWhole() {
        const int right = strip().StripWidth() - kGripperWidth;
        for (const TabRect& t : strip().TabLayout())
            if (t.page == doc.ViewState().curPage) return t.x >= strip().Metrics().TabsLeft() && t.x + t.width <= right;
        return false;
    }
    QPoint cellPoint(int row, int col) {
        Rect r{col, row, col, row};
        view()->Geometry().CellRangeToDocRect(r);
        view()->Geometry().DocToClient(r);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    CQorsDoc doc;
    CQorSplitterWnd splitter;
    CCellEdit bar;
    QLineEdit nameBox;
};

TEST_F(PagesAtHand, StripTakesTwoThirdsAndCaptionsFitItsHeight) {
    dataStateWithPages(3);
    // The first data-mode layout gives the tabs two thirds of the window,
    // room for many tabs rather than two and a half.
    EXPECT_NEAR(strip().StripWidth(), splitter.width() * 2 / 3, 2);
    EXPECT_EQ(splitter.HorizontalBar(0)->x(), strip().StripWidth());
    EXPECT_GE(strip().height(), QFontMetrics(strip().font()).height() + 4);
    EXPECT_EQ(splitter.HorizontalBar(0)->height(), strip().height());
    // The view ends where the bottom row begins.
    EXPECT_LE(view()->geometry().bottom(), strip().geometry().top());
    // Format state and back keep the width.
    const int width = strip().StripWidth();
    doc.EnterFormatState();
    splitter.SyncPageTabs();
    doc.EnterDataState();
    splitter.SyncPageTabs();
    EXPECT_EQ(strip().StripWidth(), width);
}

TEST_F(PagesAtHand, AppendedPageBecomesCurrentInSight) {
    dataStateWithPages(2);
    splitter.SetTabAreaWidth(strip().Metrics().TabsLeft() + kGripperWidth + 150);
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(doc.GetReport()->AppendRowColPage(1, 2), 0);
        ASSERT_TRUE(doc.SetCurrentPage(doc.GetReport()->GetPageCount()));
        doc.UpdateAllViews(CQorsDoc::kHintState);
        EXPECT_TRUE(currentTabWhole()) << "page " << doc.ViewState().curPage;
    }
    EXPECT_GT(strip().FirstVisiblePage(), 1);
}

TEST_F(PagesAtHand, DeletingTheLastPagesKeepsTheNeighboursInSight) {
    dataStateWithPages(20);
    splitter.SetTabAreaWidth(strip().Metrics().TabsLeft() + kGripperWidth + 300);
    view()->setFocus();
    for (int i = 0; i < 20; ++i) QTest::keyClick(view(), Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(doc.ViewState().curPage, 20);
    ASSERT_EQ(doc.GetReport()->DeleteRowColPage(15, 6, 2), 0);
    ASSERT_TRUE(doc.SetCurrentPage(14));
    doc.UpdateAllViews(CQorsDoc::kHintState);
    EXPECT_TRUE(currentTabWhole());
    EXPECT_GT(strip().TabLayout().size(), 2u);
    EXPECT_EQ(strip().TabLayout().back().page, 14);
}

TEST_F(PagesAtHand, CtrlPageKeysTurnPages) {
    dataStateWithPages(12);
    splitter.SetTabAreaWidth(strip().Metrics().TabsLeft() + kGripperWidth + 150);
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(doc.ViewState().curPage, 2);
    EXPECT_EQ(strip().CurrentPage(), 2);
    for (int i = 0; i < 20; ++i) QTest::keyClick(view(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(doc.ViewState().curPage, 12);  // the last page stays
    EXPECT_TRUE(currentTabWhole());
    QTest::keyClick(view(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(doc.ViewState().curPage, 11);
    // Without Ctrl the keys scroll the sheet and leave the page alone.
    QTest::keyClick(view(), Qt::Key_PageDown);
    EXPECT_EQ(doc.ViewState().curPage, 11);
    // The menu commands do the same.
    EXPECT_TRUE(view()->OnCommand(kCmdPageTabsBack));
    EXPECT_EQ(doc.ViewState().curPage, 10);
    EXPECT_TRUE(view()->OnCommand(kCmdPageTabsForward));
    EXPECT_EQ(doc.ViewState().curPage, 11);
    // The name box names the page turned to.
    EXPECT_TRUE(nameBox.text().endsWith(QStringLiteral("@11"))) << nameBox.text().toStdString();
}

TEST_F(PagesAtHand, ShiftClickExtendsFromTheCurrentCell) {
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, cellPoint(1, 1));
    ASSERT_EQ(doc.Selection().Area().first.row, 1);
    QTest::mouseClick(view(), Qt::LeftButton, Qt::ShiftModifier, cellPoint(4, 3));
    const auto area = doc.Selection().Area();
    EXPECT_EQ(area.first.row, 1);
    EXPECT_EQ(area.first.col, 1);
    EXPECT_EQ(area.last.row, 4);
    EXPECT_EQ(area.last.col, 3);
    EXPECT_EQ(view()->CurrentSelection().curRow, 1);  // the current cell stays where it was
    EXPECT_EQ(view()->CurrentSelection().curCol, 1);
    // A plain click starts over.
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, cellPoint(2, 2));
    EXPECT_EQ(doc.Selection().Area().first.row, doc.Selection().Area().last.row);
}

TEST_F(PagesAtHand, NameBoxFollowsACommandThatMovedTheCell) {
    dataStateWithPages(3);
    view()->setFocus();
    const QString before = nameBox.text();
    // What a search does when it finds: another page, another cell.
    ASSERT_TRUE(doc.SetCurrentPage(3));
    doc.Selection().SetCurrentCell(4, 2);
    doc.UpdateAllViews(CQorsDoc::kHintState);
    EXPECT_NE(nameBox.text(), before);
    EXPECT_EQ(nameBox.text(), QStringLiteral("C5@3"));
}

}  // namespace
