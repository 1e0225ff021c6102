// Report windows where a user expects them, driven by keys and clicks on
// the shown main window: cascading and tiling keep windows of a useful size
// inside the main window, a report named at start-up opens at that size, the
// format bar comes back as the user left it, every menu letter reaches one
// item, and the formula bar follows what a delete, cut or paste left.
#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "engine/celltypes.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/toolbars.h"
#include "reader/cappenvironment.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"
#include "view/celleditor.h"
#include "view/formulabar.h"

using namespace qor::frames;
using namespace qor::cmd_ids;

namespace {

class WindowsArrange : public frametest::FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        m_showCmd = CChildFrame::s_nShowCmd;
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    void TearDown() override {
        for (CChildFrame* w : frame->Children()) w->GetDocument()->SetModifiedFlag(false);
        CChildFrame::s_nShowCmd = m_showCmd;
        FrameFixture::TearDown();
    }

    // Alt+<menu letter>, then <item letter>, as the keyboard reaches an item.
    void menuKeys(Qt::Key menu, Qt::Key item) {
        QTest::keyClick(frame.get(), menu, Qt::AltModifier);
        QApplication::processEvents();
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        QTest::keyClick(popup, item);
        QApplication::processEvents();
    }
    QRect room() const { return QRect(QPoint(0, 0), frame->MdiArea()->viewport()->size()); }
    // The window is whole inside the main window's report area and of the
    // size a new report window gets there.
    void expectUsefulAndInside(CChildFrame* w, const char* what) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(w->isMaximized());
        EXPECT_EQ(w->size(), CChildFrame::ChildWindowSize(room().size()));
        EXPECT_TRUE(room().contains(w->geometry())) << w->geometry().x() << "," << w->geometry().y();
        // The sheet shows, not only the title.
        EXPECT_GT(w->GetActiveView()->height(), 200);
    }

    int m_showCmd = 3;
};

TEST_F(WindowsArrange, CascadeFromMaximisedKeepsWindowsOfAUsefulSize) {
    CChildFrame::s_nShowCmd = 3;
    CChildFrame* a = newReport();
    ASSERT_TRUE(a->isMaximized());
    menuKeys(Qt::Key_W, Qt::Key_C);  // 窗口 › 层叠 with one window
    expectUsefulAndInside(a, "one window");

    a->showMaximized();
    CChildFrame* b = newReport();
    ASSERT_TRUE(b->isMaximized());
    menuKeys(Qt::Key_W, Qt::Key_C);  // and with two
    expectUsefulAndInside(a, "first of two");
    expectUsefulAndInside(b, "second of two");
    EXPECT_NE(a->pos(), b->pos());
    EXPECT_TRUE(frame->grab().save(qortest::artifactPath(QStringLiteral("qorview-cascade.png"))));

    // Maximised again and restored: the useful size comes back too.
    b->showMaximized();
    b->showNormal();
    QApplication::processEvents();
    EXPECT_GE(b->width(), CChildFrame::ChildWindowSize(room().size()).width());
}

TEST_F(WindowsArrange, AReportOpenedAfterTilingLiesInsideTheMainWindow) {
    // Tiled in a smaller main window, then the main window made larger: the
    // free place the area finds is beside the tiles, where a window of the
    // new area's useful size runs out of it.
    for (int tiles = 1; tiles <= 3; ++tiles) {
        frame->resize(800, 560);
        QApplication::processEvents();
        CChildFrame::s_nShowCmd = 3;
        for (int i = 0; i < tiles; ++i) newReport();
        menuKeys(Qt::Key_W, Qt::Key_T);  // 窗口 › 平铺
        frame->resize(1400, 900);
        QApplication::processEvents();
        QTest::keyClick(frame.get(), Qt::Key_N, Qt::ControlModifier);  // 新建
        QApplication::processEvents();
        ASSERT_EQ(frame->Children().size(), tiles + 1);
        const std::string what = std::to_string(tiles) + " tiles";
        expectUsefulAndInside(frame->ActiveChild(), what.c_str());
        if (tiles == 2) {
            EXPECT_TRUE(frame->grab().save(qortest::artifactPath(QStringLiteral("qorview-tile-open.png"))));
        }
        for (CChildFrame* w : frame->Children()) {
            w->GetDocument()->SetModifiedFlag(false);
            w->close();
        }
        QApplication::processEvents();
    }
}

TEST_F(WindowsArrange, AReportOpenedBeforeTheWindowShowsGetsAUsefulSize) {
    // As `qorview a.rep` after a run that ended with a restored window: the
    // report opens before the main window is shown.
    frame.reset();
    qor::frames::DesktopOptions options;
    options.widgetDialogs = false;
    options.chineseQt = false;
    frame = qor::frames::SetUpDesktop(options);
    CChildFrame::s_nShowCmd = 1;
    CChildFrame* child = frame->NewDocument();
    ASSERT_NE(child, nullptr);
    frame->resize(900, 600);
    frame->show();
    QApplication::processEvents();
    expectUsefulAndInside(child, "opened at start-up");
}

TEST_F(WindowsArrange, TheFormatBarComesBackAsTheUserLeftIt) {
    QToolBar* bar = frame->FormatBar();
    QAction* toggle = frame->Router().FindAction(kCmdBarFormat);
    ASSERT_NE(toggle, nullptr);
    // No report: every button would be greyed, so the bar waits put away.
    EXPECT_FALSE(bar->isVisibleTo(frame.get()));
    CChildFrame* child = newReport();
    EXPECT_TRUE(bar->isVisibleTo(frame.get()));
    QWidget* view = child->GetActiveView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);  // to data state
    QApplication::processEvents();
    ASSERT_TRUE(child->GetDocument()->IsDataState());
    EXPECT_FALSE(bar->isVisibleTo(frame.get()));

    // Exit and start again.
    answers = {qor::MsgAnswer::Ok};
    child->GetDocument()->SetModifiedFlag(false);
    ASSERT_TRUE(frame->close());
    frame.reset();
    qor::frames::DesktopOptions options;
    options.widgetDialogs = false;
    options.chineseQt = false;
    frame = qor::frames::SetUpDesktop(options);
    frame->resize(900, 600);
    frame->show();
    frame->activateWindow();
    QApplication::processEvents();
    bar = frame->FormatBar();
    EXPECT_FALSE(bar->isVisibleTo(frame.get()));
    child = newReport();
    view = child->GetActiveView();
    view->setFocus();
    frame->UpdateFrameState();
    EXPECT_TRUE(bar->isVisibleTo(frame.get()));
    EXPECT_TRUE(frame->Router().FindAction(kCmdBarFormat)->isChecked());
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(bar->isVisibleTo(frame.get()));
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);  // back: Ctrl+D brings it
    EXPECT_TRUE(bar->isVisibleTo(frame.get()));

    // A bar the user put away stays away after a restart.
    frame->Router().Execute(kCmdBarFormat);
    EXPECT_FALSE(bar->isVisibleTo(frame.get()));
    answers = {qor::MsgAnswer::Ok};
    child->GetDocument()->SetModifiedFlag(false);
    ASSERT_TRUE(frame->close());
    frame.reset();
    frame = qor::frames::SetUpDesktop(options);
    frame->show();
    QApplication::processEvents();
    newReport();
    EXPECT_FALSE(frame->FormatBar()->isVisibleTo(frame.get()));
    // The next tests start from the bars as built.
    CAppEnvironment::Instance().WriteProfileString(LoadErrorText(qor::str::kToolBarName),
                                                   QStringLiteral("State"), QString());
}

// The letter after "&" in a menu text.
QChar letterOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'&' && text[i + 1] != u'&') return text[i + 1].toUpper();
    return {};
}

void collectBuiltClashes(const QMenu* menu, const QString& where, QStringList* clashes) {
    QHash<QChar, QString> used;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        const QChar key = letterOf(a->text());
        if (!key.isNull()) {
            if (used.contains(key))
                *clashes << where + QStringLiteral(": ") + used.value(key) + QStringLiteral(" / ") + a->text();
            used.insert(key, a->text());
        }
        if (a->menu()) collectBuiltClashes(a->menu(), where + QLatin1Char('>') + a->text(), clashes);
    }
}

TEST_F(WindowsArrange, EveryLetterOfABuiltMenuReachesOneItem) {
    auto walk = [this](const char* state) {
        QStringList clashes;
        for (QAction* top : frame->menuBar()->actions())
            if (top->menu()) collectBuiltClashes(top->menu(), top->text(), &clashes);
        EXPECT_TRUE(clashes.isEmpty()) << state << ":\n" << clashes.join(u'\n').toStdString();
    };
    walk("no report");
    newReport();
    walk("report");
    // Alt+O then the keyword menu's letter opens 关键字, not 套用格式.
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::AltModifier);
    QApplication::processEvents();
    auto* format = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(format, nullptr);
    QTest::keyClick(format, Qt::Key_G);
    QApplication::processEvents();
    auto* keywords = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(keywords, nullptr);
    EXPECT_NE(keywords, format);
    EXPECT_TRUE(keywords->title().startsWith(QStringLiteral("关键字")));
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(u' ').toStdString();
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

TEST_F(WindowsArrange, TheFormulaBarFollowsDeleteCutAndPaste) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofNumber(3), 15, 1, 1), 0);
    ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofNumber(8), 12, 2, 1), 0);
    doc->UpdateAllViews(CQorsDoc::kHintAll);
    QApplication::processEvents();
    CQorsView* view = child->GetActiveView();
    QLineEdit* bar = frame->FormulaBar();
    auto cellPoint = [view](int row, int col) {
        qor::view::Rect r{col, row, col, row};
        view->Geometry().CellRangeToDocRect(r);
        view->Geometry().DocToClient(r);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    auto clickCell = [&](int row, int col) {
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, cellPoint(row, col));
        QApplication::processEvents();
    };

    clickCell(11, 1);  // B12
    ASSERT_FALSE(bar->text().isEmpty());
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_TRUE(bar->text().isEmpty()) << bar->text().toStdString();

    clickCell(14, 0);  // A15
    const QString three = bar->text();
    ASSERT_FALSE(three.isEmpty());
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(bar->text().isEmpty()) << bar->text().toStdString();

    clickCell(9, 4);  // E10
    EXPECT_TRUE(bar->text().isEmpty());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(bar->text(), three);
}

}  // namespace
