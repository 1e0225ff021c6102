// A report edited in place inside a plain container window: the frame's
// parts, the state switch and the formula bar on the embedded report, the
// resize bar's drag, the tab area's bounds and handing the report back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include "chartui/chartui.h"
#include "document/cqorsdoc.h"
#include "document/cmd_dialogs.h"
#include "document/dialogregistry.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/coleinplaceframe.h"
#include "frames/coletrackbar.h"
#include "frames/menutable.h"
#include "frames/toolbars.h"
#include "resources/commandids.h"
#include "view/cpagectrl.h"
#include "resources/stringtable.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "tests/common/testsupport.h"
#include "platform/uiservices.h"
#include "view/formulabar.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

QString cellText(CQorsDoc* doc, int row, int col) {
    QString text;
    if (!doc->GetCharCellText(row, col, &text) && !doc->GetStyleCellText(row, col, &text)) {
        double v = 0;
        if (doc->GetNumCellValue(row, col, &v)) text = QString::number(v);
    }
    return text;
}

struct Site : IInPlaceSite {
    QWidget* container = nullptr;
    QMainWindow* mainWindow = nullptr;
    bool accept = true;
    QList<QRect> requests;
    int stores = 0;
    QString storedA1;
    QList<bool> chartMenus;

    QWidget* ContainerWindow() const override { return container; }
    QMainWindow* ContainerFrame() const override { return mainWindow; }
    bool RequestPositionChange(const QRect& rect) override {
        requests << rect;
        return accept;
    }
    void SetChartMenu(bool on) override { chartMenus << on; }
    void StoreItem(CQorsDoc& doc) override {
        ++stores;
        storedA1 = cellText(&doc, 0, 0);
    }
};

class InPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        container.resize(800, 600);
        container.show();
        container.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&container));
        site.container = &container;
        auto doc = std::make_unique<CQorsDoc>();
        ASSERT_TRUE(doc->Files().OnNewDocument());
        frame = new COleInPlaceFrame(std::move(doc), &site, QRect(100, 80, 420, 300));
        QApplication::processEvents();
    }
    void TearDown() override { delete frame; }

    // A left-button drag on the resize bar from one point of the container
    // window to another; Esc before the release when cancel is set.
    void drag(QPoint from, QPoint to, bool cancel = false) {
        COleTrackBar* bar = frame->TrackBar();
        auto send = [bar](QEvent::Type type, QPoint inContainer, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
            const QPoint local = bar->mapFromParent(inContainer);
            QMouseEvent e(type, QPointF(local), QPointF(bar->mapToGlobal(local)), button, buttons,
                          Qt::NoModifier);
            QApplication::sendEvent(bar, &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        if (cancel) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(bar, &esc);
        }
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }

    QWidget container;
    Site site;
    COleInPlaceFrame* frame = nullptr;
};

TEST_F(InPlaceTest, TheFrameHoldsTheReportsPartsAndItsBars) {
    EXPECT_EQ(COleInPlaceFrame::Current(), frame);
    EXPECT_EQ(frame->parentWidget(), &container);
    EXPECT_EQ(frame->geometry(), QRect(100, 80, 420, 300));
    EXPECT_EQ(frame->HorizontalBar()->objectName(), u"c59904");
    EXPECT_EQ(frame->VerticalBar()->objectName(), u"c59920");
    EXPECT_EQ(frame->PageCtrl()->ControlId(), 1040);
    // Without a window to dock in, the bars sit in the frame above the
    // sheet; the chart bar waits for a chart.
    for (int id : {kCmdBarStandard, kCmdBarFormat, kCmdBarEdit, kCmdBarChart}) {
        ASSERT_NE(frame->ToolBar(id), nullptr) << id;
        EXPECT_TRUE(frame->isAncestorOf(frame->ToolBar(id))) << id;
    }
    EXPECT_FALSE(frame->ToolBar(kCmdBarChart)->isVisible());
    const QRect view = frame->GetActiveView()->geometry();
    EXPECT_GE(view.top(), frame->ToolBar(kCmdBarEdit)->geometry().bottom());
    // The scroll bars and the tabs lie right of and below the sheet.
    EXPECT_EQ(frame->VerticalBar()->geometry().left(), view.right() + 1);
    EXPECT_EQ(frame->HorizontalBar()->geometry().top(), view.bottom() + 1);
    EXPECT_EQ(frame->PageCtrl()->geometry().right() + 1, frame->HorizontalBar()->geometry().left());
    // The resize bar is round the frame, one handle wide.
    const int h = frame->TrackBar()->HandleSize();
    EXPECT_EQ(frame->TrackBar()->Inner(), frame->geometry());
    EXPECT_EQ(frame->TrackBar()->geometry(), frame->geometry().adjusted(-h, -h, h, h));
    // A picture to look at, kept with the build's other screenshots.
    if (QDir().mkpath(qortest::artifactPath()))
        container.grab().save(qortest::artifactPath(QStringLiteral("inplace-frame.png")));
}

TEST_F(InPlaceTest, StateSwitchAndFormulaBarWorkOnTheEmbeddedReport) {
    CQorsDoc* doc = frame->GetDocument();
    CFontToolBar* format = frame->FormatBar();
    frame->UpdateFrameState();
    EXPECT_TRUE(format->FontNameBox()->isEnabled());
    // Format state: the strip is its mode button; data state: the tabs
    // take two thirds of the sheet's width.
    const int modeButton = frame->PageCtrl()->Metrics().CollapsedWidth();
    EXPECT_EQ(frame->PageCtrl()->width(), modeButton);
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    QApplication::processEvents();
    EXPECT_EQ(frame->PageCtrl()->width(), frame->GetActiveView()->width() * 2 / 3);
    EXPECT_TRUE(doc->IsDataState());
    EXPECT_EQ(frame->m_nMode, 1);
    EXPECT_TRUE(frame->PageCtrl()->IsTabAreaShown());
    EXPECT_TRUE(format->isHidden());
    EXPECT_FALSE(format->FontNameBox()->isEnabled());

    // A value typed into this frame's formula bar lands in the embedded
    // report; Esc drops an entry.
    CFormulaBar* bar = frame->EditBar()->FormulaBar();
    frame->GetActiveView()->Scroll().GoToCell(0, 0);
    bar->setFocus();
    EXPECT_EQ(bar->m_nMode, 0);
    QTest::keyClicks(bar, QStringLiteral("42"));
    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_EQ(cellText(doc, 0, 0), u"42");
    frame->GetActiveView()->Scroll().GoToCell(1, 0);
    bar->setFocus();
    QTest::keyClicks(bar, QStringLiteral("7"));
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_TRUE(cellText(doc, 1, 0).isEmpty());

    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    EXPECT_FALSE(doc->IsDataState());
    EXPECT_FALSE(format->isHidden());
    EXPECT_EQ(frame->PageCtrl()->width(), modeButton);
}

TEST_F(InPlaceTest, RightClickShowsTheFramesOwnMenusOverTheEmbeddedReport) {
    CQorsDoc* doc = frame->GetDocument();
    CQorsView* view = frame->GetActiveView();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));  // data state
    view->Scroll().GoToCell(0, 0);
    CFormulaBar* bar = frame->EditBar()->FormulaBar();
    bar->setFocus();
    QTest::keyClicks(bar, QStringLiteral("42"));
    QTest::keyClick(bar, Qt::Key_Return);
    ASSERT_EQ(cellText(doc, 0, 0), u"42");
    view->Scroll().GoToCell(0, 0);
    QApplication::processEvents();

    // A right click on the sheet shows the cells' menu at the point.
    const QPoint at(view->Display().CurrentViewState().headerWidth + 10,
                    view->Display().CurrentViewState().headerHeight + 5);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(view->mapToGlobal(at)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(view->mapToGlobal(at)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    QApplication::processEvents();
    QMenu* cells = frame->ContextMenu(kMenuCells);
    ASSERT_NE(cells, nullptr);
    EXPECT_TRUE(cells->isVisible());
    // Its items are this frame's commands, answered by the embedded
    // report's view: clearing empties the embedded cell.
    QAction* clear = frame->Router().FindAction(kCmdClear);
    ASSERT_NE(clear, nullptr);
    EXPECT_TRUE(cells->actions().contains(clear));
    EXPECT_TRUE(clear->isEnabled()) << clear->statusTip().toStdString();
    cells->hide();
    clear->trigger();
    EXPECT_TRUE(cellText(doc, 0, 0).isEmpty());
    ASSERT_NE(frame->ContextMenu(kMenuItem), nullptr);
    ASSERT_NE(frame->ContextMenu(kMenuChart), nullptr);
}

TEST_F(InPlaceTest, ShiftF1EntersHelpModeAndButtonsSayWhatTheyDo) {
    CQorsView* view = frame->GetActiveView();
    view->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(frame->Router().Query(COleInPlaceFrame::kContextHelp).checked);
    QTest::keyClick(view, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(COleInPlaceFrame::IsInHelpMode());
    EXPECT_TRUE(frame->Router().Query(COleInPlaceFrame::kContextHelp).checked);
    // The command again leaves it.
    EXPECT_TRUE(frame->Router().Execute(COleInPlaceFrame::kContextHelp));
    EXPECT_FALSE(COleInPlaceFrame::IsInHelpMode());
    // What a button says in help mode is its command's prompt.
    QAction* save = frame->Router().FindAction(kCmdFileSave);
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->whatsThis().isEmpty());
    EXPECT_EQ(save->whatsThis(),
              qor::res::commandPrompt(kCmdFileSave).value_or(QString()).section(u'\n', 0, 0));
    // Deactivating in help mode leaves it.
    frame->Router().Execute(COleInPlaceFrame::kContextHelp);
    frame->Deactivate();
    EXPECT_FALSE(COleInPlaceFrame::IsInHelpMode());
}

TEST_F(InPlaceTest, EditingAChartShowsTheChartBarAndAsksForTheChartMenu) {
    qor::ScopedDialogRegistry keepDialogs;
    qor::InstallChartUi(nullptr);
    CQorsDoc* doc = frame->GetDocument();
    CQorsView* view = frame->GetActiveView();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));  // charts are made in data state
    const std::shared_ptr<CComItem> chart = doc->Items().CreateComItem(0);  // added to the report
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(view->Items().BeginChartEdit(chart.get()));
    frame->UpdateFrameState();
    EXPECT_TRUE(frame->IsChartMenuOn());
    EXPECT_TRUE(frame->ToolBar(kCmdBarChart)->isVisible());
    EXPECT_EQ(site.chartMenus, QList<bool>{true});
    // Another pass asks nothing new.
    frame->UpdateFrameState();
    EXPECT_EQ(site.chartMenus, QList<bool>{true});
    view->Items().EndChartEdit();
    frame->UpdateFrameState();
    EXPECT_FALSE(frame->IsChartMenuOn());
    EXPECT_FALSE(frame->ToolBar(kCmdBarChart)->isVisible());
    EXPECT_EQ(site.chartMenus, (QList<bool>{true, false}));
    qor::view::InstallChartUi(nullptr);
}

TEST_F(InPlaceTest, TheResizeBarAsksTheContainerAndEscCancels) {
    const QRect start = frame->geometry();
    const int h = frame->TrackBar()->HandleSize();
    // The bottom-right handle lies just outside the frame's corner.
    const QPoint corner = start.bottomRight() + QPoint(h / 2 + 1, h / 2 + 1);

    // Esc during the drag: nothing is asked, nothing moves.
    drag(corner, corner + QPoint(50, 30), true);
    EXPECT_TRUE(site.requests.isEmpty());
    EXPECT_EQ(frame->geometry(), start);
    EXPECT_EQ(frame->TrackBar()->Inner(), start);

    // The container refuses: the frame stays. What was asked for holds
    // whole columns and rows of the sheet, near where the mouse let go.
    site.accept = false;
    drag(corner, corner + QPoint(50, 30));
    ASSERT_EQ(site.requests.size(), 1);
    const QRect asked = site.requests[0];
    EXPECT_EQ(asked.topLeft(), start.topLeft());
    EXPECT_EQ(frame->geometry(), start);
    CQorsView* view = frame->GetActiveView();
    const int extent = frame->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, frame);
    const int barsHeight = frame->GetActiveView()->geometry().top();
    const int cellsWide = asked.width() - extent - view->Display().CurrentViewState().headerWidth;
    // The bottom row is as tall as the page tabs' captions need.
    const int bottomRow = frame->PageCtrl()->RowHeight(extent);
    const int cellsHigh =
        asked.height() - barsHeight - bottomRow - view->Display().CurrentViewState().headerHeight;
    auto isWhole = [](int pixels, auto distance) {
        for (int n = 1; n < 300; ++n)
            if (distance(n) == pixels) return true;
        return false;
    };
    EXPECT_TRUE(isWhole(cellsWide, [view](int n) {
        return view->Geometry().GetColumnDistance(view->FirstColumn(), view->FirstColumn() + n);
    })) << cellsWide;
    EXPECT_TRUE(isWhole(cellsHigh, [view](int n) {
        return view->Geometry().GetRowDistance(view->FirstRow(), view->FirstRow() + n);
    })) << cellsHigh;
    EXPECT_LE(asked.width(), start.width() + 50);
    EXPECT_GT(asked.width(), start.width() + 50 - view->Geometry().GetColumnDistance(0, 3));

    // Agreed: the frame and its bar move, and the sheet follows.
    site.accept = true;
    drag(corner, corner + QPoint(50, 30));
    ASSERT_EQ(site.requests.size(), 2);
    EXPECT_EQ(frame->geometry(), site.requests[1]);
    EXPECT_EQ(frame->TrackBar()->Inner(), site.requests[1]);
    QApplication::processEvents();
    EXPECT_EQ(frame->VerticalBar()->geometry().right(), frame->width() - 1);

    // Dragging the left side leaves the right side where it is.
    const QRect before = frame->geometry();
    const QPoint leftMiddle(before.left() - h / 2 - 1, before.center().y());
    drag(leftMiddle, leftMiddle - QPoint(120, 0));
    ASSERT_EQ(site.requests.size(), 3);
    EXPECT_EQ(site.requests[2].right(), before.right());
    EXPECT_EQ(site.requests[2].top(), before.top());
    EXPECT_EQ(site.requests[2].height(), before.height());
    EXPECT_LT(site.requests[2].left(), before.left());

    // No drag while another window holds the mouse.
    QWidget other(&container);
    other.setGeometry(0, 0, 10, 10);
    other.show();
    other.grabMouse();
    const QPoint newCorner = frame->geometry().bottomRight() + QPoint(h / 2 + 1, h / 2 + 1);
    drag(newCorner, newCorner + QPoint(40, 40));
    other.releaseMouse();
    EXPECT_EQ(site.requests.size(), 3);
}

TEST(InPlaceTabArea, StaysBetweenSevenAndTheInnerWidthLessSeven) {
    InPlaceTabArea t;
    t.innerWidth = 300;
    EXPECT_EQ(t.Compute(), 200);  // first layout: two thirds
    t.firstLayout = false;
    t.width = 2;
    EXPECT_EQ(t.Compute(), 7);
    t.width = 299;
    EXPECT_EQ(t.Compute(), 293);
    t.restoreSaved = true;
    t.savedWidth = 120;
    EXPECT_EQ(t.Compute(), 120);
    t.collapsed = true;  // format state: the strip's own width
    t.stripWidth = 42;
    EXPECT_EQ(t.Compute(), 42);
    t.innerWidth = 10;  // no room: the lower bound wins
    EXPECT_EQ(t.Compute(), 7);
}

TEST_F(InPlaceTest, DeactivatingStoresAnEditedReportAndAPendingEntry) {
    // Unchanged: nothing goes back.
    frame->Deactivate();
    EXPECT_EQ(site.stores, 0);
    EXPECT_EQ(COleInPlaceFrame::Current(), nullptr);

    // A typed entry still open is stored first, then the report goes back.
    CFormulaBar* bar = frame->EditBar()->FormulaBar();
    frame->GetActiveView()->Scroll().GoToCell(0, 0);
    bar->setFocus();
    QTest::keyClicks(bar, QStringLiteral("abc"));
    frame->Deactivate();
    EXPECT_EQ(site.stores, 1);
    EXPECT_EQ(site.storedA1, u"abc");
}

// A command of the frame's own stores the formula bar's entry where it was
// typed before it acts, as the main window's commands do: 删除表页 of the
// page it was typed on takes the entry with the page, and the page that
// comes forward keeps its own amount. An entry the cell refuses holds the
// command and waits in the bar.
TEST_F(InPlaceTest, AFrameCommandStoresTheBarsEntryBeforeItActs) {
    CQorsDoc* doc = frame->GetDocument();
    CReportHandle* report = doc->GetReport();
    int32_t number = kCellNumber;
    const CellArea all = CellArea::area(1, 1, 4, 4);
    ASSERT_EQ(report->AccessAreaFormat(1, qor::kFmtKind, &number, &all), 0);
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    ASSERT_EQ(report->AppendRowColPage(2, 2), 0);
    CellValue v;
    v.kind = kCellNumber;
    v.number = 44;
    ASSERT_EQ(report->SetCellValue(v, 1, 1, 2), 0);
    doc->UpdateAllViews(CQorsDoc::kHintState);
    ASSERT_EQ(doc->ViewState().curPage, 1);
    const auto onPage = [&](int page) {
        CellValue got;
        return report->GetCellValue(&got, 1, 1, page) == 0 ? got.number : -1.0;
    };
    QStringList messages;
    qor::UiServices ui;
    ui.messageBox = [&](const qor::MessageRequest& r) {
        messages << r.text;
        return r.defaultAnswer;
    };
    const qor::UiServices previous = qor::installUiServices(ui);
    int asked = 0;
    qor::ScopedDialog<qor::DeleteDlgMembers> deleteDialog([&](const qor::DeleteDlgMembers& m) {
        ++asked;
        qor::DeleteDlgMembers answer = m;
        answer.list = QStringLiteral("1");
        return std::optional<qor::DeleteDlgMembers>(answer);
    });
    CFormulaBar* bar = frame->EditBar()->FormulaBar();
    QAction* deletePages = frame->Router().Action(kCmdDeletePages);
    const auto typeInBar = [&](const QString& text) {
        frame->GetActiveView()->Scroll().GoToCell(0, 0);
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(bar, text);
        frame->UpdateFrameState();
    };

    typeInBar(QStringLiteral("42"));
    deletePages->trigger();
    QApplication::processEvents();
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(report->GetPageCount(), 2);
    EXPECT_EQ(bar->text(), QStringLiteral("44.00"));
    // Leaving the bar stores nothing more.
    frame->GetActiveView()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(onPage(1), 44);
    EXPECT_EQ(onPage(2), 0);

    // Text pasted into the number cell: told, and no page goes.
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    typeInBar(QStringLiteral("7"));
    QTest::keyClick(bar, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(bar->text(), QStringLiteral("7abc"));
    deletePages->trigger();
    QApplication::processEvents();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(report->GetPageCount(), 2);
    EXPECT_EQ(messages,
              QStringList{
                  LoadErrorText(qor::str::kEnterNumberCellUnchanged).arg(QStringLiteral("7abc"))});
    EXPECT_EQ(bar->text(), QStringLiteral("7abc"));
    EXPECT_EQ(QApplication::focusWidget(), bar);
    EXPECT_EQ(onPage(1), 44);
    qor::installUiServices(previous);
}

TEST(InPlaceContainer, AContainerWindowDocksTheBarsAndGetsThemBackClean) {
    QMainWindow main;
    auto* central = new QWidget;
    main.setCentralWidget(central);
    main.resize(800, 600);
    main.show();
    Site site;
    site.container = central;
    site.mainWindow = &main;
    auto doc = std::make_unique<CQorsDoc>();
    ASSERT_TRUE(doc->Files().OnNewDocument());
    auto* frame = new COleInPlaceFrame(std::move(doc), &site, QRect(10, 10, 300, 200));
    QApplication::processEvents();
    for (int id : {kCmdBarStandard, kCmdBarFormat, kCmdBarEdit}) {
        ASSERT_NE(frame->ToolBar(id), nullptr);
        EXPECT_EQ(frame->ToolBar(id)->parentWidget(), &main) << id;
        EXPECT_EQ(main.toolBarArea(frame->ToolBar(id)), Qt::TopToolBarArea) << id;
    }
    EXPECT_EQ(frame->GetActiveView()->geometry().top(), 0);  // no bars inside
    delete frame;
    EXPECT_TRUE(main.findChildren<CFlatToolBar*>().isEmpty());
    EXPECT_TRUE(central->findChildren<COleTrackBar*>().isEmpty());
}

// The sheet edited in place has no page tabs: its page commands and
// Ctrl+PgUp/PgDn turn the document's pages all the same.
TEST_F(InPlaceTest, PagesTurnWithoutPageTabs) {
    CQorsDoc* doc = frame->GetDocument();
    CReportHandle* report = doc->GetReport();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    ASSERT_EQ(report->AppendRowColPage(2, 2), 0);
    doc->UpdateAllViews(CQorsDoc::kHintState);
    ASSERT_EQ(report->GetPageCount(), 3);
    ASSERT_EQ(doc->CurrentPage(), 1);
    QAction* forward = frame->Router().Action(kCmdPageTabsForward);
    QAction* back = frame->Router().Action(kCmdPageTabsBack);
    ASSERT_TRUE(forward && back);
    frame->UpdateFrameState();
    EXPECT_TRUE(forward->isEnabled());
    forward->trigger();
    EXPECT_EQ(doc->CurrentPage(), 2);
    QWidget* sheet = frame->GetActiveView();
    sheet->setFocus();
    QTest::keyClick(sheet, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(doc->CurrentPage(), 3);
    EXPECT_EQ(report->GetCurPage(), 3);
    forward->trigger();  // the last page stays
    EXPECT_EQ(doc->CurrentPage(), 3);
    QTest::keyClick(sheet, Qt::Key_PageUp, Qt::ControlModifier);
    back->trigger();
    EXPECT_EQ(doc->CurrentPage(), 1);
    back->trigger();
    EXPECT_EQ(doc->CurrentPage(), 1);
}

}  // namespace
