// The view widget over a real document: moving to cells, the display
// scale, the page layout through the fallback printer and the page-break
// commands.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringList>
#include <limits>

#include "document/cqorsdoc.h"
#include "platform/uiservices.h"
#include "view/cqorsview.h"
#include "print/pagelayout.h"

using namespace qor::view;

namespace {

// Collects message boxes while it lives.
class Messages {
public:
    Messages() {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            texts << r.text;
            return r.defaultAnswer;
        };
        m_previous = qor::installUiServices(s);
    }
    ~Messages() { qor::installUiServices(m_previous); }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;
    QStringList texts;

private:
    qor::UiServices m_previous;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.Files().OnNewDocument());  // 50 x 7, format state
        view = std::make_unique<CQorsView>(&doc);
        view->resize(800, 600);
        view->OnInitialUpdate();
    }
    Messages messages;
    CQorsDoc doc;
    std::unique_ptr<CQorsView> view;
};

class MenuCountingView : public CQorsView {
public:
    using CQorsView::CQorsView;
    void OnContextMenu(QPoint) override { ++menus; }
    int menus = 0;
};

}  // namespace

TEST_F(ViewTest, GoToCellClampsAndSelects) {
    EXPECT_EQ(view->Geometry().LastRow(), 49);
    view->Scroll().GoToCell(500, 3);
    EXPECT_EQ(view->FirstRow(), 49);
    EXPECT_EQ(view->FirstColumn(), 3);
    EXPECT_EQ(view->CurrentSelection().curRow, 49);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(49, 3));

    view->Scroll().GoToCell(2, 1, 5, 4);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(2, 1, 5, 4));
    EXPECT_EQ(view->CurrentSelection().curCol, 1);

    view->Scroll().ScrollToCell(7, 6, true);
    EXPECT_EQ(view->FirstRow(), 2);  // only the horizontal position moves
    EXPECT_EQ(view->FirstColumn(), 6);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(7, 6));
    EXPECT_EQ(view->Scroll().FindUncombinedCell(7, -1), 0);
}

TEST_F(ViewTest, ScrollBarsFollowAndDriveTheFirstCell) {
    QScrollBar hBar(Qt::Horizontal), vBar(Qt::Vertical);
    view->Scroll().SetScrollBars(&hBar, &vBar);
    EXPECT_EQ(vBar.maximum(), view->Geometry().LastRow());
    EXPECT_EQ(hBar.maximum(), view->Geometry().LastColumn());

    view->Scroll().SetFirstCell(10, 2);
    EXPECT_EQ(vBar.value(), 10);
    EXPECT_EQ(hBar.value(), 2);
    vBar.setValue(20);
    EXPECT_EQ(view->FirstRow(), 20);
    EXPECT_EQ(view->FirstColumn(), 2);

    view->Scroll().ScrollBarsToEnd();
    EXPECT_EQ(view->FirstRow(), view->Geometry().LastRow());
    EXPECT_EQ(view->FirstColumn(), view->Geometry().LastColumn());

    view->Scroll().SetSheetScrolling(false);
    EXPECT_FALSE(hBar.isEnabled() || vBar.isEnabled());
    view->Scroll().SetSheetScrolling(true);
    EXPECT_TRUE(hBar.isEnabled() && vBar.isEnabled());

    // Bars handed over no longer move the view.
    QScrollBar otherH(Qt::Horizontal), otherV(Qt::Vertical);
    view->Scroll().SetScrollBars(&otherH, &otherV);
    view->Scroll().SetFirstCell(0, 0);
    vBar.setValue(5);
    EXPECT_EQ(view->FirstRow(), 0);
    EXPECT_EQ(otherV.value(), 0);
}

TEST_F(ViewTest, ScaleRestoreRejectsInvalidScales) {
    view->Display().SetViewScale(5u | (6u << 16), 0xFF, 1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(view->Display().CurrentViewState().scale, kDefaultViewScale);
    EXPECT_EQ(view->Display().CurrentViewState().headerHeight, DefaultViewState().headerHeight);
    EXPECT_EQ(view->Display().CurrentViewState().headerWidth, DefaultViewState().headerWidth);
    EXPECT_EQ(view->Display().CurrentViewState().gridColour, 0xFFu);

    view->Display().SetViewScale(0, 0xC0C0C0, 0, 0.4f);
    EXPECT_EQ(view->Display().CurrentViewState().scale, 0.4f);
    EXPECT_EQ(view->Display().CurrentViewState().headerHeight, 0);
    EXPECT_EQ(view->Geometry().Scale(), 0.4f);
    EXPECT_EQ(doc.ViewState().sheetHeight, view->Geometry().SheetHeight());
}

TEST_F(ViewTest, LayoutUsesAPrinterAlways) {
    const std::optional<int> pages = view->Pages().RecalcPageLayout();
    ASSERT_TRUE(pages.has_value()) << messages.texts.join("; ").toStdString();
    EXPECT_GE(*pages, 1);
    EXPECT_GT(view->Pages().PrintableArea().height(), 30);
    EXPECT_EQ(doc.ViewState().autoBreakCapacity, int(doc.ViewState().autoBreaks.size()));

    // Margins that leave no room: no layout, said once, 0xFFFF for 16-bit
    // callers.
    qor::PageSetupBlock noRoom = doc.PageSetup();
    noRoom.margins[1] = 5000;
    doc.SetPageSetup(noRoom);
    messages.texts.clear();
    EXPECT_EQ(view->Pages().RecalcPageLayoutLegacy(), 0xFFFF);
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(ViewTest, ForcedBreakCommand) {
    doc.SetModifiedFlag(false);
    view->Scroll().GoToCell(0, 0);
    view->Pages().OnForcedPageBreak();
    EXPECT_TRUE(view->Pages().OnUpdateShowPageBreaks());
    EXPECT_EQ(doc.ViewState().manualBreaks, qor::ManualBreakTable{});

    view->Scroll().GoToCell(3, 2);
    view->Pages().OnForcedPageBreak();
    EXPECT_EQ(view->Pages().IsPageBreakAtCurrentCell(), 1);
    EXPECT_EQ(doc.ViewState().manualBreaks[0].row, 2);

    // Removing the break must reach the saved file too.
    doc.SetModifiedFlag(false);
    view->Pages().OnForcedPageBreak();
    EXPECT_EQ(view->Pages().IsPageBreakAtCurrentCell(), 0);
    EXPECT_TRUE(doc.IsModified());

    // Asking about the current cell leaves even stale entries alone.
    qor::ManualBreakTable stale = doc.ViewState().manualBreaks;
    stale[9].row = 300;
    doc.SetManualBreaks(stale);
    view->Pages().IsPageBreakAtCurrentCell();
    EXPECT_EQ(doc.ViewState().manualBreaks[9].row, 300);
    view->Pages().OnClearAllPageBreaks();
    EXPECT_EQ(doc.ViewState().manualBreaks, qor::ManualBreakTable{});

    view->Pages().OnShowPageBreaks();
    EXPECT_FALSE(view->Pages().OnUpdateShowPageBreaks());
}

TEST(ViewKeys, ContextMenuKeysAreConsumed) {
    CQorsDoc doc;
    MenuCountingView view(&doc);
    QKeyEvent shiftF10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&view, &shiftF10);
    EXPECT_TRUE(shiftF10.isAccepted());
    EXPECT_EQ(view.menus, 1);
    view.SetHeaderAction(true);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&view, &again);
    EXPECT_EQ(view.menus, 1);
}
