// The chart frame as qorview reaches it: 图表窗口 (33024) and a chart too
// large for the sheet open it once per report; menu 419 and the chart bar
// stand while a chart is edited; the chart window steps through, opens and
// deletes charts, is moved and sized by its frame, and the chart prints
// over as many pages as it needs; the command window makes way for the
// frame, and the sheet stays put under a chart edited on it.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMdiArea>
#include <QMenuBar>
#include <QPrinter>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

#include "charts/cgraphitem.h"
#include "chartui/cpicframe.h"
#include "chartui/cpicwnd.h"
#include "dialogs/viewsettings_dlgs.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "frames/ccmdbar.h"
#include "frames/toolbars.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/cqorsplitterwnd.h"
#include "view/print_driver.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;
using qor::items::ChartDesc;
using qor::items::Rect;

namespace {

struct HookGuard {
    explicit HookGuard(CQorDialog::ModalHook hook)
        : previous(CQorDialog::SetModalHook(std::move(hook))) {}
    ~HookGuard() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

class ChartFrameTest : public FrameFixture {
protected:
    // A report in data state with numbers in B2:E6 of page 1.
    CQorsDoc* report() {
        CChildFrame* child = newReport();
        EXPECT_TRUE(child->EnterDataState());
        CQorsDoc* doc = child->GetDocument();
        for (int r = 1; r <= 5; ++r)
            for (int c = 1; c <= 4; ++c)
                EXPECT_EQ(doc->GetReport()->SetCellValue(CellValue::ofNumber(r * 10 + c), r + 1, c + 1, 1), 0);
        m_child = child;
        return doc;
    }
    CGraphItem* addChart(CQorsDoc* doc, QSize size, const QString& name) {
        std::shared_ptr<CComItem> item = doc->Items().CreateComItem(0);
        auto* chart = dynamic_cast<CGraphItem*>(item.get());
        EXPECT_TRUE(chart);
        ChartDesc desc = ChartDesc::MakeDefault(size.width(), size.height(), 1);
        desc.SetSourceArea(CellArea::area(2, 2, 6, 5));
        desc.SetGroupByRows(true);
        desc.SetText(ChartDesc::kNameText, name);
        chart->SetChartDesc(desc);
        chart->SetRect({20, 20, 20 + size.width(), 20 + size.height()});
        chart->SetPage(1);
        return chart;
    }
    CPicFrame* chartFrame() const { return frame->ActiveChartFrame(); }
    CPicWnd* chartWindow() const {
        CPicFrame* f = chartFrame();
        return f ? f->View()->ChartWindow() : nullptr;
    }
    bool run(int id) {
        const bool ran = frame->Router().Execute(id);
        QApplication::processEvents();
        return ran;
    }
    CChildFrame* m_child = nullptr;
};

}  // namespace

// 图表窗口 on a selected chart: one frame, menu 419 and the chart bar, the
// commands of the chart window; stepping, opening by name and deleting;
// 退出图表窗口 puts the report's menu and bars back.
TEST_F(ChartFrameTest, TheChartWindowCommandOpensOneFramePerReport) {
    CQorsDoc* doc = report();
    CGraphItem* first = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    CGraphItem* second = addChart(doc, {300, 200}, QString());
    CGraphItem* third = addChart(doc, {200, 150}, QString());
    CQorsView* view = m_child->GetActiveView();
    view->Items().SetSelection(second);
    ASSERT_TRUE(frame->Router().Query(kCmdChartWindow).enabled);
    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_TRUE(chartFrame());
    EXPECT_EQ(doc->Items().GetCurrentChart(), second);
    EXPECT_TRUE(doc->Items().ChartWindow().windowOpen);
    EXPECT_EQ(frame->CurrentMenuId(), kMenuChartEdit);
    EXPECT_TRUE(frame->ToolBar(kCmdBarChart)->isVisibleTo(frame.get()));
    EXPECT_FALSE(frame->ToolBar(kCmdBarStandard)->isVisibleTo(frame.get()));
    CPicWnd* wnd = chartWindow();
    ASSERT_TRUE(wnd);
    EXPECT_EQ(wnd->geometry(), QRect(100, 120, 300, 200));

    // Once per report: the command is off while the frame is open, and the
    // report's window will not close before it.
    EXPECT_FALSE(frame->Router().Query(kCmdChartWindow).enabled);
    EXPECT_FALSE(m_child->close());
    EXPECT_TRUE(said(LoadErrorText(qor::str::kCloseChartWindowsFirst)));

    // Stepping through the charts in list order.
    EXPECT_TRUE(frame->Router().Query(CPicWnd::kCmdPreviousChart).enabled);
    ASSERT_TRUE(run(CPicWnd::kCmdNextChart));
    EXPECT_EQ(doc->Items().GetCurrentChart(), third);
    EXPECT_EQ(wnd->geometry(), QRect(120, 80, 200, 150));
    EXPECT_FALSE(frame->Router().Query(CPicWnd::kCmdNextChart).enabled);
    EXPECT_FALSE(frame->Router().Query(CPicWnd::kCmdLastChart).enabled);
    ASSERT_TRUE(run(CPicWnd::kCmdFirstChart));
    EXPECT_EQ(doc->Items().GetCurrentChart(), first);
    EXPECT_FALSE(frame->Router().Query(CPicWnd::kCmdPreviousChart).enabled);

    // Open by name: empty names listed by their index; OK with nothing
    // selected changes nothing.
    QStringList listed;
    {
        HookGuard hook([&](CQorDialog& d) {
            auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(1002));
            ASSERT_TRUE(list);
            for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
            list->clearSelection();
            d.OnOK();
        });
        ASSERT_TRUE(run(CPicWnd::kCmdOpenChart));
    }
    EXPECT_EQ(listed, (QStringList{"GRAPH_1", "GRA1", "GRA2"}));
    EXPECT_EQ(doc->Items().GetCurrentChart(), first);
    {
        HookGuard hook([](CQorDialog& d) {
            qobject_cast<QListWidget*>(d.GetDlgItem(1002))->setCurrentRow(2);
            d.OnOK();
        });
        ASSERT_TRUE(run(CPicWnd::kCmdOpenChart));
    }
    EXPECT_EQ(doc->Items().GetCurrentChart(), third);

    // A type command changes this chart alone and marks the sheet's charts
    // for drawing again.
    ASSERT_TRUE(run(kCmdChartType2));
    EXPECT_EQ(third->GetChartDesc().GetChartType(), 2u);
    // Not even the chart of the same (empty) name on the same page.
    EXPECT_EQ(second->GetChartDesc().GetChartType(), 0u);
    EXPECT_EQ(first->GetChartDesc().GetChartType(), 0u);
    EXPECT_TRUE(doc->Items().ChartWindow().changed);

    // Delete: the next chart (else the previous) becomes current.
    ASSERT_TRUE(run(CPicWnd::kCmdDeleteChart));
    EXPECT_EQ(doc->Items().GetChartCount(), 2);
    EXPECT_EQ(doc->Items().GetCurrentChart(), second);
    EXPECT_EQ(view->Items().Selected(), second);

    ASSERT_TRUE(run(CPicFrame::kCmdExit));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_FALSE(chartFrame());
    EXPECT_FALSE(doc->Items().ChartWindow().windowOpen);
    EXPECT_FALSE(doc->Items().ChartWindow().frameOpen);
    EXPECT_FALSE(doc->Items().ChartWindow().changed);
    frame->UpdateFrameState();
    EXPECT_EQ(frame->CurrentMenuId(), kMenuReport);
    EXPECT_TRUE(frame->ToolBar(kCmdBarStandard)->isVisibleTo(frame.get()));
    EXPECT_FALSE(frame->ToolBar(kCmdBarChart)->isVisibleTo(frame.get()));
    EXPECT_TRUE(frame->Router().Query(kCmdChartWindow).enabled);
}

// Without charts the window is 200 x 200 at (100, 120); the chart commands
// are off. The frame goes with its report.
TEST_F(ChartFrameTest, AReportWithoutChartsShowsAnEmptyWindow) {
    report();
    ASSERT_TRUE(run(kCmdChartWindow));
    CPicWnd* wnd = chartWindow();
    ASSERT_TRUE(wnd);
    EXPECT_EQ(wnd->geometry(), QRect(100, 120, 200, 200));
    for (int id : {kCmdChartType2, CPicWnd::kCmdNextChart, CPicWnd::kCmdDeleteChart, kCmdPrint})
        EXPECT_FALSE(frame->Router().Query(id).enabled) << id;
    QPointer<CPicFrame> open = chartFrame();
    m_child->GetDocument()->SetModifiedFlag(false);
    delete m_child;
    QApplication::processEvents();
    EXPECT_FALSE(open);
}

// Double click on a chart larger than the sheet's window: the chart frame
// shows that chart instead of editing it on the page; a second time brings
// the same frame back.
TEST_F(ChartFrameTest, AChartTooLargeForTheSheetOpensTheChartFrame) {
    CQorsDoc* doc = report();
    addChart(doc, {200, 120}, QStringLiteral("GRAPH_1"));
    CGraphItem* large = addChart(doc, {1400, 1000}, QStringLiteral("GRAPH_1"));
    CQorsView* view = m_child->GetActiveView();
    ASSERT_LT(view->width(), 1400);
    ASSERT_TRUE(view->Items().BeginChartEdit(large));
    EXPECT_FALSE(view->Items().IsChartEditing());
    ASSERT_TRUE(chartFrame());
    // The chart itself, not the first of the same name.
    EXPECT_EQ(doc->Items().GetCurrentChart(), large);
    EXPECT_EQ(chartWindow()->size(), QSize(1400, 1000));
    m_child->GetActiveView()->setFocus();
    frame->MdiArea()->setActiveSubWindow(m_child);
    ASSERT_TRUE(view->Items().BeginChartEdit(large));
    int frames = 0;
    for (QMdiSubWindow* w : frame->MdiArea()->subWindowList()) frames += qobject_cast<CPicFrame*>(w) ? 1 : 0;
    EXPECT_EQ(frames, 1);
}

// In place, the chart menu stands while the chart is edited; Esc ends it.
TEST_F(ChartFrameTest, MenuFourNineteenWhileAChartIsEditedInPlace) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    CQorsView* view = m_child->GetActiveView();
    ASSERT_TRUE(view->Items().BeginChartEdit(chart));
    frame->UpdateFrameState();
    EXPECT_EQ(frame->CurrentMenuId(), kMenuChartEdit);
    EXPECT_TRUE(frame->Router().Query(kCmdChartType2).enabled);
    // Stepping and deleting belong to the chart frame.
    EXPECT_FALSE(frame->Router().Query(CPicWnd::kCmdDeleteChart).enabled);

    // The window moved by its frame takes the chart with it.
    auto* wnd = view->findChild<CPicWnd*>();
    ASSERT_TRUE(wnd);
    const QRect before = wnd->geometry();
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(14, 3));
    QTest::mouseMove(wnd, QPoint(44, 23));
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(44, 23));
    ASSERT_EQ(wnd->geometry(), before.translated(30, 20));
    Rect expected{before.left() + 30, before.top() + 20, before.right() + 31, before.bottom() + 21};
    view->Geometry().ClientToDoc(expected);
    EXPECT_EQ(chart->GetRect(), expected);
    view->Items().EndChartEdit();
    frame->UpdateFrameState();
    EXPECT_EQ(frame->CurrentMenuId(), kMenuReport);
}

// The window's frame: dragged by its corner it sizes the chart (never below
// 50 pixels), by its middle it moves on the page; the parts scale with it.
TEST_F(ChartFrameTest, TheWindowIsSizedAndMovedByItsFrame) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    m_child->GetActiveView()->Items().SetSelection(chart);
    ASSERT_TRUE(run(kCmdChartWindow));
    CPicWnd* wnd = chartWindow();
    ASSERT_TRUE(wnd);
    const QPoint corner(wnd->width() - 3, wnd->height() - 3);
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, corner);
    QTest::mouseMove(wnd, corner + QPoint(80, 40));
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, corner + QPoint(80, 40));
    EXPECT_EQ(wnd->size(), QSize(320, 200));
    EXPECT_EQ(chart->GetSize(), QSize(320, 200));
    EXPECT_EQ(chart->GetChartDesc().GetPartRect(ChartDesc::kPlotRect), (Rect{60, 38, 260, 163}));
    EXPECT_TRUE(doc->IsModified());

    // A press where no part is moves the window, its size kept.
    const QRect before = wnd->geometry();
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(14, 4));
    QTest::mouseMove(wnd, QPoint(54, 24));
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(54, 24));
    EXPECT_EQ(wnd->geometry(), before.translated(40, 20));
    EXPECT_EQ(chart->GetSize(), QSize(320, 200));

    const QPoint corner2(wnd->width() - 3, wnd->height() - 3);
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, corner2);
    QTest::mouseMove(wnd, corner2 - QPoint(600, 600));
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, corner2 - QPoint(600, 600));
    EXPECT_EQ(wnd->size(), QSize(50, 50));
    EXPECT_EQ(chart->GetSize(), QSize(50, 50));
}

// The title font: only faces that fit the chart's record are offered, and
// a longer name typed in is refused, never stored cut. Dialog 228 regroups.
TEST_F(ChartFrameTest, TitleFontAndDataGroupDialogs) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    m_child->GetActiveView()->Items().SetSelection(chart);
    ASSERT_TRUE(run(kCmdChartWindow));
    CPicWnd* wnd = chartWindow();
    ASSERT_TRUE(wnd);
    EXPECT_FALSE(frame->Router().Query(CPicWnd::kCmdTitleFont).enabled);
    wnd->repaint();
    const Rect title = wnd->Working().GetPartRect(ChartDesc::kTitleRect);
    QTest::mouseClick(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(title.left + 3, title.top + 3));
    ASSERT_EQ(wnd->SelectedPart(), 3);
    ASSERT_TRUE(frame->Router().Query(CPicWnd::kCmdTitleFont).enabled);
    const qor::items::ChartFont before = chart->GetChartDesc().GetFont(ChartDesc::kTitleFont);
    int refused = 0;
    {
        HookGuard hook([&](CQorDialog& d) {
            auto* face = qobject_cast<QComboBox*>(d.GetDlgItem(CTitleFontDlg::IDC_FACE));
            ASSERT_TRUE(face);
            for (int i = 0; i < face->count(); ++i) EXPECT_LE(face->itemText(i).size(), 15);
            face->setEditText(QStringLiteral("Noto Sans CJK SC"));
            d.OnOK();
            if (d.Result() == 0) ++refused;
            d.OnCancel();
        });
        run(CPicWnd::kCmdTitleFont);
    }
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(chart->GetChartDesc().GetFont(ChartDesc::kTitleFont), before);
    {
        HookGuard hook([](CQorDialog& d) {
            auto* face = qobject_cast<QComboBox*>(d.GetDlgItem(CTitleFontDlg::IDC_FACE));
            face->setEditText(QStringLiteral("Serif"));
            qobject_cast<QComboBox*>(d.GetDlgItem(CTitleFontDlg::IDC_SIZE))->setEditText("14");
            d.OnOK();
        });
        run(CPicWnd::kCmdTitleFont);
    }
    EXPECT_EQ(chart->GetChartDesc().GetFont(ChartDesc::kTitleFont).face, QStringLiteral("Serif"));
    EXPECT_EQ(chart->GetChartDesc().GetFont(ChartDesc::kTitleFont).size, 14);

    ASSERT_TRUE(chart->GetChartDesc().GroupsByRows());
    {
        HookGuard hook([](CQorDialog& d) {
            qobject_cast<QRadioButton*>(d.GetDlgItem(1074))->setChecked(true);
            d.OnCancel();
        });
        run(CPicWnd::kCmdDataGroup);
    }
    EXPECT_TRUE(chart->GetChartDesc().GroupsByRows());
    {
        HookGuard hook([](CQorDialog& d) {
            qobject_cast<QRadioButton*>(d.GetDlgItem(1074))->setChecked(true);
            d.OnOK();
        });
        run(CPicWnd::kCmdDataGroup);
    }
    EXPECT_FALSE(chart->GetChartDesc().GroupsByRows());
}

// Printed to PDF: a chart one and a half pages wide takes two pages across,
// one a page wide takes one; each page shows its part of the chart.
TEST_F(ChartFrameTest, TheChartPrintsOverAsManyPagesAsItNeeds) {
    if (!qortest::needProgram("pdfinfo") || !qortest::needProgram("pdftoppm"))
        GTEST_SKIP() << "poppler-utils missing";
    // Left among the artefacts for a person to look at; made anew each run.
    const QString dir = qortest::artifactPath(QStringLiteral("chart-frame-print"));
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    CQorsDoc* doc = report();
    // The printer the print dialog's answer makes: a PDF file with the
    // page setup's margins.
    qor::PrintRequest toFile;
    toFile.outputFile = dir + "/probe.pdf";
    const QRectF paint =
        qor::view::PrinterForRequest(toFile)->pageLayout().paintRect(QPageLayout::Point);
    // At the default display scale a pixel prints as one point.
    ASSERT_FLOAT_EQ(doc->ViewState().scale, 1.4f);
    const int pageW = int(paint.width());
    const int pageH = int(paint.height());
    CGraphItem* wide = addChart(doc, {pageW * 3 / 2, pageH / 2}, QStringLiteral("GRAPH_1"));
    CGraphItem* exact = addChart(doc, {pageW, pageH / 2}, QStringLiteral("GRAPH_2"));
    m_child->GetActiveView()->Items().SetSelection(wide);
    ASSERT_TRUE(run(kCmdChartWindow));

    QString target;
    qor::UiServices s = qor::uiServices();
    s.printDialog = [&target](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        qor::PrintRequest out = r;
        out.outputFile = target;
        return out;
    };
    const qor::UiServices previous = qor::installUiServices(s);
    auto pages = [](const QString& pdf) {
        const QString info = QString::fromUtf8(qortest::run("pdfinfo", {pdf}).out);
        const int at = info.indexOf(QStringLiteral("Pages:"));
        return at < 0 ? -1 : info.mid(at + 6).section(u'\n', 0, 0).trimmed().toInt();
    };
    target = dir + "/wide.pdf";
    ASSERT_TRUE(run(kCmdPrint));
    EXPECT_EQ(pages(target), 2);
    ASSERT_TRUE(run(CPicWnd::kCmdNextChart));
    ASSERT_EQ(doc->Items().GetCurrentChart(), exact);
    target = dir + "/exact.pdf";
    ASSERT_TRUE(run(kCmdPrint));
    EXPECT_EQ(pages(target), 1);
    qor::installUiServices(previous);

    // Both pages of the wide chart carry ink: the plot runs across them.
    ASSERT_EQ(qortest::run("pdftoppm", {"-r", "30", "-png", dir + "/wide.pdf", dir + "/wide"}).exitCode, 0);
    for (const QString& name : {QStringLiteral("wide-1.png"), QStringLiteral("wide-2.png")}) {
        const QImage image(dir + "/" + name);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) coloured += image.pixelColor(x, y).saturation() > 80;
        EXPECT_GT(coloured, 30) << name.toStdString();
    }
}

// Paper too small for any piece of the chart is refused with 62733 and
// nothing is printed.
TEST_F(ChartFrameTest, PaperTooSmallIsRefused) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    m_child->GetActiveView()->Items().SetSelection(chart);
    ASSERT_TRUE(run(kCmdChartWindow));
    const QString pdf = qortest::freshDir(QStringLiteral("ChartFrameSmall")) + "/small.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    // 50 x 50 points: 1000 x 1000 twips, too narrow.
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(50, 50), QPageSize::Point), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
    EXPECT_FALSE(chartFrame()->View()->PrintTo(printer));
    EXPECT_TRUE(said(LoadErrorText(qor::str::kCannotPrintPaper)));
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

// Shift+F10 in the chart window over the sheet opens the chart-type menu.
TEST_F(ChartFrameTest, ShiftF10OpensTheChartMenu) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    CQorsView* view = m_child->GetActiveView();
    ASSERT_TRUE(view->Items().BeginChartEdit(chart));
    auto* wnd = view->findChild<CPicWnd*>();
    ASSERT_TRUE(wnd);
    QTest::keyClick(wnd, Qt::Key_F10, Qt::ShiftModifier);
    QMenu* menu = frame->ContextMenu(kMenuChart);
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

// The command window works on the report in front: the chart frame puts it
// away and it comes back as it was when the frame leaves the front or
// closes; one that was closed stays closed, one the user opens meanwhile
// stays open. The chart menu's help is the main window's.
TEST_F(ChartFrameTest, TheCommandWindowMakesWayForTheChartFrame) {
    CQorsDoc* doc = report();
    addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    CCmdBar* bar = frame->CmdBar();
    auto shown = [&] {
        frame->UpdateFrameState();
        return bar->isVisibleTo(frame.get());
    };
    ASSERT_TRUE(run(kCmdCommandWindow));
    ASSERT_TRUE(shown());

    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_TRUE(chartFrame());
    EXPECT_FALSE(shown());
    EXPECT_EQ(bar->m_nOpen, 1);  // still open for the next start

    // The help of the chart menu.
    const QMenu* help = nullptr;
    for (QAction* a : frame->menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("帮助(&H)")) help = a->menu();
    ASSERT_TRUE(help);
    ASSERT_FALSE(help->actions().isEmpty());
    EXPECT_EQ(help->actions().front()->data().toInt(), kCmdChartHelp);
    EXPECT_TRUE(frame->Router().Query(kCmdChartHelp).enabled);
    opened.clear();
    ASSERT_TRUE(run(kCmdChartHelp));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.front().endsWith(QStringLiteral("docs/qorview.zh-CN.md")));

    // The report to the front and back again.
    frame->MdiArea()->setActiveSubWindow(m_child);
    QApplication::processEvents();
    EXPECT_TRUE(shown());
    frame->MdiArea()->setActiveSubWindow(CPicFrame::FindFor(frame->MdiArea(), doc));
    QApplication::processEvents();
    ASSERT_TRUE(chartFrame());
    EXPECT_FALSE(shown());

    // Opened by the user while the frame is in front, it stays.
    ASSERT_TRUE(run(kCmdCommandWindow));
    EXPECT_TRUE(shown());
    ASSERT_TRUE(run(kCmdCommandWindow));
    EXPECT_FALSE(shown());
    // Closing it with the focus in it leaves the chart frame in front.
    EXPECT_TRUE(chartFrame());

    // Closed by the user there, it stays closed after the frame.
    ASSERT_TRUE(run(CPicFrame::kCmdExit));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    ASSERT_FALSE(chartFrame());
    EXPECT_FALSE(shown());

    // Open when the frame came, it is back when the frame closes.
    ASSERT_TRUE(run(kCmdCommandWindow));
    ASSERT_TRUE(run(kCmdChartWindow));
    EXPECT_FALSE(shown());
    ASSERT_TRUE(run(CPicFrame::kCmdExit));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_TRUE(shown());
}

// While a chart is edited over the sheet the sheet's scroll bars are off,
// so the chart window stays on its cells; every way out of the editing
// turns them on again.
TEST_F(ChartFrameTest, TheSheetStaysPutWhileAChartIsEditedOnIt) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    CGraphItem* other = addChart(doc, {120, 80}, QStringLiteral("GRAPH_2"));
    other->SetRect({300, 200, 420, 280});
    CQorsView* view = m_child->GetActiveView();
    auto* hBar = m_child->findChild<QScrollBar*>(QStringLiteral("bar_59904"));
    auto* vBar = m_child->findChild<QScrollBar*>(QStringLiteral("bar_59920"));
    ASSERT_TRUE(hBar && vBar);
    auto barsOn = [&] { return hBar->isEnabled() && vBar->isEnabled(); };
    auto barsOff = [&] { return !hBar->isEnabled() && !vBar->isEnabled(); };
    ASSERT_TRUE(barsOn());

    // Esc.
    ASSERT_TRUE(view->Items().BeginChartEdit(chart));
    EXPECT_TRUE(barsOff());
    auto* wnd = view->findChild<CPicWnd*>();
    ASSERT_TRUE(wnd);
    const QPoint at = wnd->pos();
    // A bar that still took a drag would carry the sheet from under it.
    QTest::mouseClick(vBar, Qt::LeftButton, Qt::NoModifier,
                      QPoint(vBar->width() / 2, vBar->height() - 5));
    EXPECT_EQ(view->FirstRow(), 0);
    EXPECT_EQ(wnd->pos(), at);
    QTest::keyClick(wnd, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(view->Items().IsChartEditing());
    EXPECT_TRUE(barsOn());

    // Another chart straight after: still off; nothing selected ends it.
    ASSERT_TRUE(view->Items().BeginChartEdit(chart));
    ASSERT_TRUE(view->Items().BeginChartEdit(other));
    EXPECT_TRUE(view->Items().IsChartEditing());
    EXPECT_TRUE(barsOff());
    view->Items().SetSelection(nullptr);
    EXPECT_FALSE(view->Items().IsChartEditing());
    EXPECT_TRUE(barsOn());

    // A pane that goes while it edits gives back the bar it shared.
    auto* splitter = m_child->findChild<CQorSplitterWnd*>();
    ASSERT_TRUE(splitter);
    ASSERT_TRUE(splitter->SplitColumn(splitter->width() / 2));
    CQorsView* right = splitter->GetPane(0, 1);
    ASSERT_TRUE(right);
    ASSERT_TRUE(right->Items().BeginChartEdit(chart));
    ASSERT_TRUE(right->Items().IsChartEditing());
    EXPECT_FALSE(vBar->isEnabled());
    EXPECT_TRUE(hBar->isEnabled());  // the other column's
    ASSERT_TRUE(splitter->DeleteColumn(1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(barsOn());

    // The chart window command takes the chart out of the sheet.
    ASSERT_TRUE(view->Items().BeginChartEdit(chart));
    EXPECT_TRUE(barsOff());
    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_TRUE(chartFrame());
    EXPECT_FALSE(view->Items().IsChartEditing());
    EXPECT_TRUE(barsOn());
}

// A chart of the size the sheet gives a new one, in its window: the
// window, its bar and the chart as a user sees them.
TEST_F(ChartFrameTest, ADefaultSizedChartInItsWindowShowsItsTitlesWhole) {
    CQorsDoc* doc = report();
    CGraphItem* chart = addChart(doc, {300, 200}, QString());
    m_child->GetActiveView()->Items().SetSelection(chart);
    ASSERT_TRUE(run(kCmdChartWindow));
    CPicWnd* wnd = chartWindow();
    ASSERT_TRUE(wnd);
    frame->resize(1000, 600);
    QApplication::processEvents();
    const QString dir = qortest::artifactPath();
    QDir().mkpath(dir);
    EXPECT_TRUE(frame->grab().save(dir + QStringLiteral("/qorview-chartwindow.png")));
    EXPECT_TRUE(wnd->grab().save(dir + QStringLiteral("/qorview-chart.png")));
    ASSERT_TRUE(run(kCmdExit));
}

// Pointing at the chart window's 窗口 items (层叠, 平铺 and the windows)
// puts what each does on the status line, as in the report's menus.
TEST_F(ChartFrameTest, TheWindowMenusItemsSayWhatTheyDo) {
    CQorsDoc* doc = report();
    m_child->GetActiveView()->Items().SetSelection(addChart(doc, {240, 160}, QString()));
    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_TRUE(chartFrame());
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QMenu* window = nullptr;
    for (QAction* a : frame->menuBar()->actions())
        if (a->text().startsWith(u"窗口")) window = a->menu();
    ASSERT_NE(window, nullptr);
    frame->menuBar()->setActiveAction(window->menuAction());
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), window);
    const int walked = walkPopupStatus(window);
    EXPECT_GE(walked, 3);
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    run(kCmdExit);
}

// What a greyed chart command tells on the status line, and the chart
// type items checked on the current chart's type: in the chart frame, in
// place over the sheet, and in a frame of a report without charts.
TEST_F(ChartFrameTest, GreyedChartCommandsSayWhy) {
    CQorsDoc* doc = report();
    CGraphItem* first = addChart(doc, {240, 160}, QStringLiteral("GRAPH_1"));
    addChart(doc, {240, 160}, QStringLiteral("GRAPH_2"));
    CQorsView* view = m_child->GetActiveView();
    auto reason = [this](int id) { return frame->Router().Query(id).reason; };

    // In place the chart frame's commands are off.
    ASSERT_TRUE(view->Items().BeginChartEdit(first));
    for (int id : {CPicWnd::kCmdDeleteChart, CPicWnd::kCmdOpenChart, CPicWnd::kCmdNextChart,
                   CPicWnd::kCmdFirstChart})
        EXPECT_EQ(reason(id), u"只用于图表窗口") << id;
    EXPECT_TRUE(frame->Router().Query(kCmdChartType2).enabled);
    view->Items().EndChartEdit();

    view->Items().SetSelection(first);
    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_EQ(doc->Items().GetCurrentChart(), first);
    for (int id : {CPicWnd::kCmdPreviousChart, CPicWnd::kCmdFirstChart})
        EXPECT_EQ(reason(id), u"已是第一个图表") << id;
    EXPECT_EQ(reason(CPicWnd::kCmdTitleFont), u"先选中一个标题");
    // At the first data group there is none before it.
    EXPECT_EQ(reason(CPicWnd::kCmdPreviousGroup), u"没有可换的数据组");
    const qor::CommandState type0 = frame->Router().Query(kCmdChartType0);
    EXPECT_TRUE(type0.enabled && type0.checkable && type0.checked);
    const qor::CommandState type2 = frame->Router().Query(kCmdChartType2);
    EXPECT_TRUE(type2.enabled && type2.checkable && !type2.checked);
    ASSERT_TRUE(run(kCmdChartType2));
    EXPECT_TRUE(frame->Router().Query(kCmdChartType2).checked);
    EXPECT_FALSE(frame->Router().Query(kCmdChartType0).checked);
    ASSERT_TRUE(run(CPicWnd::kCmdLastChart));
    for (int id : {CPicWnd::kCmdNextChart, CPicWnd::kCmdLastChart})
        EXPECT_EQ(reason(id), u"已是最后一个图表") << id;
    ASSERT_TRUE(run(CPicFrame::kCmdExit));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    ASSERT_FALSE(chartFrame());

    // A report without charts: everything says there is none.
    CChildFrame* empty = newReport();
    ASSERT_TRUE(empty->EnterDataState());
    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_TRUE(chartFrame());
    for (int id : {kCmdChartType2, CPicWnd::kCmdTitle, CPicWnd::kCmdOpenChart,
                   CPicWnd::kCmdNextChart, CPicWnd::kCmdPreviousChart, CPicWnd::kCmdDeleteChart,
                   kCmdPrint, kCmdPrintPreview})
        EXPECT_EQ(reason(id), u"没有图表") << id;
    // These name what they wait for even then.
    EXPECT_EQ(reason(CPicWnd::kCmdTitleFont), u"先选中一个标题");
    EXPECT_EQ(reason(CPicWnd::kCmdNextGroup), u"没有可换的数据组");
    EXPECT_FALSE(frame->Router().Query(kCmdChartType2).checked);
    EXPECT_TRUE(frame->Router().Query(CPicFrame::kCmdExit).enabled);
}

// 退出图表窗口 goes back to the report whose chart window it was, whichever
// report was opened first, and a change made in the chart window shows its
// mark in the title while the window stands in front.
TEST_F(ChartFrameTest, LeavingTheChartWindowReturnsToItsOwnReport) {
    frame->show();
    const QString dir = qortest::freshDir(QStringLiteral("chart-return"));
    CQorsDoc* f1 = report();
    CChildFrame* first = m_child;
    ASSERT_TRUE(f1->Files().OnSaveDocument(dir + QStringLiteral("/f1.rep")));
    first->UpdateTitle();
    CQorsDoc* t30 = report();
    CChildFrame* second = m_child;
    ASSERT_TRUE(t30->Files().OnSaveDocument(dir + QStringLiteral("/t30.rep")));
    second->UpdateTitle();
    second->showMaximized();
    second->GetActiveView()->Items().SetSelection(addChart(t30, {240, 160}, QStringLiteral("GRAPH_1")));
    t30->SetModifiedFlag(false);
    QApplication::processEvents();
    ASSERT_EQ(frame->ActiveChild(), second);

    ASSERT_TRUE(run(kCmdChartWindow));
    ASSERT_TRUE(chartFrame());
    EXPECT_FALSE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();
    ASSERT_TRUE(run(kCmdChartType2));
    EXPECT_TRUE(t30->IsModified());
    EXPECT_TRUE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();

    for (int round = 0; round < 3; ++round) {
        if (round) {
            ASSERT_TRUE(run(kCmdChartWindow));
        }
        ASSERT_TRUE(run(kCmdExit));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        ASSERT_EQ(frame->ActiveChild(), second) << round;
        EXPECT_TRUE(frame->windowHandle()->title().contains(QStringLiteral("t30.rep")))
            << frame->windowHandle()->title().toStdString();
    }
    // The next entry lands in t30.rep.
    CQorsView* view = second->GetActiveView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Right);
    const auto focused = [view] {
        QWidget* w = QApplication::focusWidget();
        return w ? w : static_cast<QWidget*>(view);
    };
    for (char c : {'9', '9'}) {
        QTest::keyClick(focused(), c);
        QApplication::processEvents();
    }
    QTest::keyClick(focused(), Qt::Key_Return);
    QApplication::processEvents();
    double v = 0;
    EXPECT_TRUE(t30->GetNumCellValue(1, 1, &v));
    EXPECT_DOUBLE_EQ(v, 99);
    EXPECT_TRUE(f1->GetNumCellValue(1, 1, &v));
    EXPECT_DOUBLE_EQ(v, 11);
}
