// The page-tab strip in a splitter over a real document: the mode button
// switches the document's state and the strip with it, a tab press makes
// its page current in the document, the arrows scroll and the gripper is
// held inside its limits.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"

using namespace qor::view;

namespace {

class TabStripTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.Files().OnNewDocument());  // format state
        ASSERT_TRUE(splitter.Create(nullptr, 2, 2, QSize(10, 10), &doc));
        splitter.resize(900, 400);
        splitter.show();
        splitter.RecalcLayout();
    }
    CPageCtrl& strip() { return splitter.PageCtrl(); }
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), QPointF(strip().mapToGlobal(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(&strip(), &e);
    }
    void click(QPoint p) {
        mouse(QEvent::MouseButtonPress, p, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, p, Qt::NoButton);
    }
    QPoint arrow(int k) {
        const TabMetrics m = strip().Metrics();
        return QPoint(m.ArrowLeft(k) + m.arrowWidth / 2, strip().height() / 2);
    }
    QPoint tabOf(int page) {
        for (const TabRect& t : strip().TabLayout())
            if (t.page == page) return QPoint(t.x + 8, strip().height() / 2);
        ADD_FAILURE() << "page " << page << " has no tab";
        return {};
    }
    void enterDataWithPages(int pages) {
        click(QPoint(10, strip().height() / 2));  // the mode button
        ASSERT_TRUE(doc.IsDataState());
        EXPECT_TRUE(strip().IsTabAreaShown());
        // The first data-mode layout gives the tabs two thirds of the window.
        EXPECT_EQ(strip().StripWidth(), splitter.width() * 2 / 3);
        EXPECT_EQ(splitter.HorizontalBar(0)->x(), strip().StripWidth());
        ASSERT_EQ(doc.GetReport()->AppendRowColPage(pages - 1, 2), 0);
        doc.UpdateAllViews(CQorsDoc::kHintState);
        splitter.SetTabAreaWidth(600);
        ASSERT_EQ(strip().StripWidth(), 600);
    }
    CQorsDoc doc;
    CQorSplitterWnd splitter;
};

}  // namespace

TEST_F(TabStripTest, ModeButtonSwitchesStateAndCollapsesTheStrip) {
    const int collapsed = strip().Metrics().CollapsedWidth();
    EXPECT_FALSE(strip().IsTabAreaShown());
    EXPECT_EQ(strip().StripWidth(), collapsed);
    EXPECT_EQ(splitter.HorizontalBar(0)->x(), collapsed);

    enterDataWithPages(3);
    EXPECT_TRUE(strip().IsTabAreaShown());
    EXPECT_EQ(strip().State().pageCount, 3);

    click(QPoint(10, strip().height() / 2));
    EXPECT_FALSE(doc.IsDataState());
    EXPECT_FALSE(strip().IsTabAreaShown());
    EXPECT_EQ(splitter.HorizontalBar(0)->x(), collapsed);
    // Back in data mode the strip has its width again.
    click(QPoint(10, strip().height() / 2));
    EXPECT_EQ(strip().StripWidth(), 600);
    EXPECT_EQ(splitter.HorizontalBar(0)->x(), 600);
}

TEST_F(TabStripTest, PressingATabMakesItsPageCurrent) {
    enterDataWithPages(7);
    EXPECT_EQ(doc.ViewState().curPage, 1);
    click(tabOf(3));

    EXPECT_EQ(doc.ViewState().curPage, 3);
    EXPECT_EQ(doc.GetReport()->GetCurPage(), 3);
    EXPECT_EQ(strip().CurrentPage(), 3);

    // A page the document refuses is not left shown as current.
    strip().SetPageTabs(9, 9);
    splitter.OnPageCommand(kCmdPageActivate);
    EXPECT_EQ(doc.ViewState().curPage, 3);
    EXPECT_EQ(strip().CurrentPage(), 3);
    EXPECT_EQ(strip().State().pageCount, 7);
}

TEST_F(TabStripTest, ArrowsScrollManyPages) {
    enterDataWithPages(200);
    EXPECT_GT(strip().TabLayout().size(), 3u);
    mouse(QEvent::MouseButtonPress, arrow(2), Qt::LeftButton);
    EXPECT_EQ(strip().FirstVisiblePage(), 2);
    EXPECT_EQ(strip().PressedArrow(), ArrowButton::Next);
    mouse(QEvent::MouseButtonRelease, arrow(2), Qt::NoButton);
    EXPECT_EQ(strip().PressedArrow(), ArrowButton::None);

    click(arrow(3));
    EXPECT_EQ(strip().FirstVisiblePage(), 200);
    ASSERT_EQ(strip().TabLayout().size(), 1u);
    click(tabOf(200));
    EXPECT_EQ(doc.ViewState().curPage, 200);
    click(arrow(0));
    EXPECT_EQ(strip().FirstVisiblePage(), 1);
    EXPECT_EQ(doc.ViewState().curPage, 200);  // scrolling selects nothing
}

TEST_F(TabStripTest, GripperDragStaysWithinLimits) {
    enterDataWithPages(2);
    splitter.SetTabAreaWidth(200);
    const int y = strip().height() / 2;
    mouse(QEvent::MouseButtonPress, QPoint(strip().StripWidth() - 3, y), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(300, y), Qt::LeftButton);
    EXPECT_EQ(strip().StripWidth(), 300);
    EXPECT_EQ(splitter.TabAreaWidth(), 300);
    EXPECT_EQ(splitter.HorizontalBar(0)->x(), 300);
    mouse(QEvent::MouseMove, QPoint(2, y), Qt::LeftButton);
    EXPECT_EQ(strip().StripWidth(), 7);
    mouse(QEvent::MouseMove, QPoint(5000, y), Qt::LeftButton);
    EXPECT_LE(strip().StripWidth(), splitter.GetPane(0, 0)->width() - 12);
    EXPECT_GE(splitter.HorizontalBar(0)->width(), 0);
    mouse(QEvent::MouseButtonRelease, QPoint(5000, y), Qt::NoButton);
}

TEST_F(TabStripTest, FormatModeDrawsOnlyTheModeButton) {
    const int collapsed = strip().Metrics().CollapsedWidth();
    const QPoint arrows(strip().Metrics().ArrowLeft(1) + 2, strip().height() / 2);
    strip().resize(400, strip().height());
    QImage image = strip().grab().toImage();
    EXPECT_NE(image.pixelColor(collapsed / 2, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(arrows), QColor(Qt::white));

    enterDataWithPages(2);
    strip().resize(400, strip().height());
    image = strip().grab().toImage();
    EXPECT_NE(image.pixelColor(arrows), QColor(Qt::white));
}
