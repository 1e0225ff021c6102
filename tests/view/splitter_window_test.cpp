// The splitter window over a real document: splitting and removing panes,
// panes of a column (row) following the column's (row's) scroll bar, split
// boxes dragged and double-clicked.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "document/cqorsdoc.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"

using namespace qor::view;

namespace {

class SplitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.Files().OnNewDocument());  // 50 x 7
        ASSERT_TRUE(splitter.Create(nullptr, 2, 2, QSize(10, 10), &doc));
        splitter.resize(900, 600);
        splitter.show();
        splitter.RecalcLayout();
    }
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), QPointF(splitter.mapToGlobal(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(&splitter, &e);
    }
    CQorsDoc doc;
    CQorSplitterWnd splitter;
};

}  // namespace

TEST_F(SplitterTest, PanesShareTheScrollBarsOfTheirRowAndColumn) {
    ASSERT_TRUE(splitter.SplitRow(200));
    ASSERT_TRUE(splitter.SplitColumn(300));
    EXPECT_FALSE(splitter.SplitRow(100));  // two rows at most
    ASSERT_EQ(splitter.GetRowCount(), 2);
    ASSERT_EQ(splitter.GetColumnCount(), 2);
    CQorsView* p00 = splitter.GetPane(0, 0);
    CQorsView* p01 = splitter.GetPane(0, 1);
    CQorsView* p10 = splitter.GetPane(1, 0);
    CQorsView* p11 = splitter.GetPane(1, 1);
    ASSERT_TRUE(p00 && p01 && p10 && p11);
    EXPECT_EQ(p00->geometry(), splitter.Layout().pane[0][0]);

    splitter.VerticalBar(0)->setValue(5);
    EXPECT_EQ(p00->FirstRow(), 5);
    EXPECT_EQ(p01->FirstRow(), 5);
    EXPECT_EQ(p10->FirstRow(), 0);
    splitter.VerticalBar(1)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(p10->FirstRow(), 1);
    EXPECT_EQ(p11->FirstRow(), 1);
    EXPECT_EQ(p00->FirstRow(), 5);

    splitter.HorizontalBar(0)->setValue(3);
    EXPECT_EQ(p00->FirstColumn(), 3);
    EXPECT_EQ(p10->FirstColumn(), 3);
    EXPECT_EQ(p01->FirstColumn(), 0);
    // A pane scrolled by its own keys moves its partners with it.
    p11->Scroll().SetFirstCell(p11->FirstRow(), 2);
    EXPECT_EQ(p01->FirstColumn(), 2);

    // Removing the first row leaves the second one's pane on the first
    // row's bar, where it was scrolled to.
    ASSERT_TRUE(splitter.DeleteRow(0));
    EXPECT_EQ(splitter.GetRowCount(), 1);
    EXPECT_EQ(splitter.GetPane(0, 0), p10);
    EXPECT_EQ(splitter.VerticalBar(0)->value(), 1);
    EXPECT_EQ(splitter.VerticalBar(1), nullptr);
}

TEST_F(SplitterTest, DraggedSplitBoxSnapsToAColumnEdge) {
    const QRect box = splitter.Layout().hSplitBox;
    ASSERT_FALSE(box.isEmpty());
    CQorsView* pane = splitter.GetPane(0, 0);
    const SheetGeometry& geo = pane->Geometry();
    const int drop = geo.HeaderWidth() + geo.GetColumnWidthPixels(0) + 5;
    mouse(QEvent::MouseButtonPress, box.center(), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(drop, 100), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(drop, 100), Qt::NoButton);
    ASSERT_EQ(splitter.GetColumnCount(), 2);
    EXPECT_EQ(splitter.Layout().pane[0][0].width(),
              geo.HeaderWidth() + geo.GetColumnWidthPixels(0));
    EXPECT_EQ(splitter.m_bColBarDragged, 1);

    // Left of the first column the bar stops at the header edge; dragged
    // there outside the panes it follows the mouse and removes the split.
    QRect bar = splitter.Layout().columnBar;
    mouse(QEvent::MouseButtonPress, bar.center(), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(2, 100), Qt::NoButton);
    ASSERT_EQ(splitter.GetColumnCount(), 2);
    EXPECT_EQ(splitter.Layout().pane[0][0].width(), geo.HeaderWidth());
    bar = splitter.Layout().columnBar;
    mouse(QEvent::MouseButtonPress, bar.center(), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(2, -5), Qt::NoButton);
    EXPECT_EQ(splitter.GetColumnCount(), 1);
}

TEST_F(SplitterTest, DoubleClickSplitsAtTheCurrentCell) {
    CQorsView* pane = splitter.GetPane(0, 0);
    doc.Selection().SetCurrentCell(3, 1);
    const SheetGeometry& geo = pane->Geometry();
    mouse(QEvent::MouseButtonDblClick, splitter.Layout().vSplitBox.center(), Qt::LeftButton);
    ASSERT_EQ(splitter.GetRowCount(), 2);
    EXPECT_EQ(splitter.m_nSplitRow, 4);
    EXPECT_EQ(splitter.m_bSplitDone, 1);
    const int below =
        geo.HeaderHeight() + geo.GetRowDistance(0, 4) - 1 + splitter.Metrics().splitterWidth;
    EXPECT_EQ(splitter.Layout().pane[0][0].height(), below);

    // A selection scrolled out of view splits in the middle.
    doc.Selection().SetCurrentCell(0, 0);
    splitter.HorizontalBar(0)->setValue(3);
    ASSERT_EQ(pane->FirstColumn(), 3);
    const int paneWidth = pane->width();
    mouse(QEvent::MouseButtonDblClick, splitter.Layout().hSplitBox.center(), Qt::LeftButton);
    EXPECT_EQ(splitter.m_nSplitCol, 0);
    EXPECT_EQ(splitter.Layout().pane[0][0].width(), paneWidth / 2);
    ASSERT_EQ(splitter.GetColumnCount(), 2);

    // On a split bar: the split goes again.
    mouse(QEvent::MouseButtonDblClick, splitter.Layout().rowBar.center() + QPoint(-200, 0),
          Qt::LeftButton);
    EXPECT_EQ(splitter.GetRowCount(), 1);
}

TEST(SheetViewSelection, ViewsOfOneDocumentShareOneSelectionAndHandItBack) {
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    doc.Selection().SetSelection(3, 2, 3, 2);
    {
        CQorsView first(&doc);
        CQorsView second(&doc);
        EXPECT_EQ(first.CurrentSelection().curRow, 3) << "the first view takes the document's";
        second.SetCurrentAndSelection(5, 1, 5, 1, 6, 2);
        EXPECT_EQ(first.CurrentSelection().area, second.CurrentSelection().area);
        EXPECT_EQ(doc.Selection().Area(), CellArea::area(5, 1, 6, 2));
        CQorsDoc other;
        ASSERT_TRUE(other.Files().OnNewDocument());
        CQorsView apart(&other);
        apart.SetCurrentAndSelection(0, 0, 0, 0, 1, 1);
        EXPECT_EQ(doc.Selection().Area(), CellArea::area(5, 1, 6, 2));
    }
    // With the last view gone the document keeps where the views left it.
    EXPECT_EQ(doc.Selection().Area(), CellArea::area(5, 1, 6, 2));
    EXPECT_EQ(doc.Selection().CurrentRow(), 5);
}
