// An entry typed into the formula bar is stored as Enter stores it whichever
// way the clerk leaves the bar: a click on another cell, a page tab, another
// report through the 窗口 menu, 保存 and 退出. Real key and mouse events on
// the shown main window; the amounts read back from the saved files by the
// command-line program.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "frames/cchildframe.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/stored_value.h"
#include "view/cpagectrl.h"
#include "view/formulabar.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;
using frametest::StoredValue;

namespace {

class EntryRoutes : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    void TearDown() override {
        if (frame)
        for (CChildFrame* w : frame->Children()) w->GetDocument()->SetModifiedFlag(false);
        FrameFixture::TearDown();
    }
    QWidget* focused() {
        QWidget* w = QApplication::focusWidget();
        return w ? w : static_cast<QWidget*>(frame->ActiveChild()->GetActiveView());
    }
    void keys(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(focused(), c.toLatin1());
            QApplication::processEvents();
        }
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(focused(), Qt::Key(k), mods);
        QApplication::processEvents();
    }
    CQorsView* view() { return frame->ActiveChild()->GetActiveView(); }
    // A left click on the shown sheet at the cell (1-based).
    void clickCell(int row, int col) {
        const int vr = view()->Geometry().ViewRow(row - 1);
        const int vc = view()->Geometry().ViewColumn(col - 1);
        qor::view::Rect r{vc, vr, vc, vr};
        view()->Geometry().CellRangeToDocRect(r);
        view()->Geometry().DocToClient(r);
        QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier,
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        QApplication::processEvents();
    }
    // A click into the formula bar, its text selected, then keys typed.
    void typeInBar(const QString& text) {
        QTest::mouseClick(frame->FormulaBar(), Qt::LeftButton);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), frame->FormulaBar());
        key(Qt::Key_A, Qt::ControlModifier);
        keys(text);
        ASSERT_EQ(frame->FormulaBar()->text(), text);
    }
    double amount(CQorsDoc* doc, int row, int col) {
        double v = 0;
        return doc->GetNumCellValue(row - 1, col - 1, &v) ? v : -1;
    }
    // A report of amounts (two decimals) on two pages in data state, the
    // current cell B3.
    CChildFrame* openReport() {
        CChildFrame* child = newReport();
        CReportHandle* r = child->GetDocument()->GetReport();
        int32_t number = kCellNumber;
        const CellArea all = CellArea::area(1, 1, 8, 5);
        EXPECT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &number, &all), 0);
        view()->setFocus();
        key(Qt::Key_D, Qt::ControlModifier);
        EXPECT_TRUE(child->GetDocument()->IsDataState());
        EXPECT_TRUE(frame->Router().Execute(kCmdAppendPages));  // its dialog answered with 1
        QApplication::processEvents();
        EXPECT_EQ(r->GetPageCount(), 2);
        // Back in the window the dialog left, as after a click.
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        view()->setFocus();
        key(Qt::Key_PageUp, Qt::ControlModifier);
        clickCell(3, 2);
        return child;
    }
    // The 窗口 menu opened with its key, the other report (the item not
    // ticked) picked by its mnemonic, as the keyboard does.
    void chooseOtherWindow() {
        QTest::keyClick(frame.get(), Qt::Key_W, Qt::AltModifier);
        QApplication::processEvents();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* item = nullptr;
        for (QAction* a : menu->actions())
            if (a->property("windowList").toBool() && !a->isChecked()) item = a;
        ASSERT_NE(item, nullptr);
        QTest::keyClick(menu, Qt::Key(item->text().at(1).toLatin1()));
        QApplication::processEvents();
    }
    void save(const QString& rep) {
        files = {rep};
        view()->setFocus();
        key(Qt::Key_S, Qt::ControlModifier);
    }
};

TEST_F(EntryRoutes, TheFormulaBarEntryIsStoredWhicheverWayTheClerkLeavesIt) {
    CChildFrame* first = openReport();
    CQorsDoc* doc = first->GetDocument();

    // A click on another cell: the entry goes where it was typed, the
    // click then moves on.
    typeInBar(QStringLiteral("222"));
    clickCell(4, 3);
    EXPECT_EQ(amount(doc, 3, 2), 222);
    EXPECT_EQ(view()->CurrentSelection().curRow, 3);
    EXPECT_EQ(view()->CurrentSelection().curCol, 2);
    EXPECT_EQ(frame->FormulaBar()->text(), QString());

    // A page tab: the entry stays on the page it was typed on.
    clickCell(3, 2);
    typeInBar(QStringLiteral("555"));
    auto* tabs = first->findChild<CPageCtrl*>();
    ASSERT_NE(tabs, nullptr);
    QPoint tab2;
    for (const qor::view::TabRect& t : tabs->TabLayout())
        if (t.page == 2) tab2 = QPoint(t.x + t.width / 2, tabs->height() / 2);
    ASSERT_FALSE(tab2.isNull());
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tab2);
    QApplication::processEvents();
    EXPECT_EQ(doc->ViewState().curPage, 2);
    CellValue onFirst;
    ASSERT_EQ(doc->GetReport()->GetCellValue(&onFirst, 3, 2, 1), 0);
    EXPECT_EQ(onFirst.number, 555);
    EXPECT_EQ(amount(doc, 3, 2), -1);  // page 2 got nothing

    // Another report through the 窗口 menu: the report left keeps it.
    CChildFrame* second = openReport();
    ASSERT_EQ(frame->ActiveChild(), second);
    frame->MdiArea()->setActiveSubWindow(first);
    QApplication::processEvents();
    clickCell(5, 2);
    typeInBar(QStringLiteral("123"));
    chooseOtherWindow();
    EXPECT_EQ(frame->ActiveChild(), second);
    EXPECT_EQ(amount(doc, 5, 2), 123);
    // Typed in the other report, it goes there and nowhere else.
    clickCell(3, 2);
    typeInBar(QStringLiteral("456"));
    frame->MdiArea()->setActiveSubWindow(first);
    QApplication::processEvents();
    EXPECT_EQ(amount(second->GetDocument(), 3, 2), 456);
    EXPECT_EQ(amount(doc, 3, 2), -1);  // page 2 of the first report

    // 保存 with an entry in the bar saves it; so does 退出 (answered 是).
    const QString dir = qortest::freshDir(QStringLiteral("entryroutes"));
    clickCell(6, 2);
    typeInBar(QStringLiteral("77"));
    save(dir + QStringLiteral("/first.rep"));
    EXPECT_EQ(StoredValue(dir + QStringLiteral("/first.rep"), 2, 6, 2), QStringLiteral("77"));
    EXPECT_EQ(StoredValue(dir + QStringLiteral("/first.rep"), 1, 3, 2), QStringLiteral("555"));
    EXPECT_EQ(StoredValue(dir + QStringLiteral("/first.rep"), 2, 5, 2), QStringLiteral("123"));
    frame->MdiArea()->setActiveSubWindow(second);
    QApplication::processEvents();
    clickCell(7, 2);
    typeInBar(QStringLiteral("88"));
    files = {dir + QStringLiteral("/second.rep")};
    answers = {qor::MsgAnswer::Ok, qor::MsgAnswer::Yes};  // 确认退出, then save the report
    messages.clear();
    frame->UpdateFrameState();
    frametest::menuBarItem(frame->menuBar(), kCmdAppExit)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
    EXPECT_TRUE(frame->Children().isEmpty());
    EXPECT_EQ(StoredValue(dir + QStringLiteral("/second.rep"), 1, 7, 2), QStringLiteral("88"));
    EXPECT_EQ(StoredValue(dir + QStringLiteral("/second.rep"), 1, 3, 2), QStringLiteral("456"));
}

// 编辑 › 定位 stores the bar's entry where it was typed before the cell
// moves. An entry the cell refuses holds 定位, 保存 and 退出: each is told,
// nothing moves, is saved or closes, and the entry waits in the bar with
// the focus until it is mended.
TEST_F(EntryRoutes, ARefusedEntryHoldsLocateSaveAndExit) {
    CChildFrame* child = openReport();
    CQorsDoc* doc = child->GetDocument();
    const QString rep =
        qortest::freshDir(QStringLiteral("entryrefused")) + QStringLiteral("/r.rep");
    // 定位 from the menu bar, its dialog filled through its controls;
    // whether it opened.
    const auto locate = [&](const char* row, const char* col) {
        answerDialogs = false;
        bool opened = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || opened) return;
            opened = true;
            d->findChild<QLineEdit*>(QStringLiteral("c1004"))->setText(QString::fromLatin1(row));
            d->findChild<QLineEdit*>(QStringLiteral("c1036"))->setText(QString::fromLatin1(col));
            QTest::keyClick(d->findChild<QLineEdit*>(QStringLiteral("c1036")), Qt::Key_Return);
        });
        poll.start();
        frame->UpdateFrameState();
        frametest::menuBarItem(frame->menuBar(), kCmdLocate)->trigger();
        QApplication::processEvents();
        poll.stop();
        answerDialogs = true;
        // Back in the window the dialog left, as after a click.
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        return opened;
    };
    const auto refusedInBar = [&] {
        QApplication::clipboard()->setText(QStringLiteral("abc"));
        typeInBar(QStringLiteral("9"));
        key(Qt::Key_V, Qt::ControlModifier);
        ASSERT_EQ(frame->FormulaBar()->text(), QStringLiteral("9abc"));
    };
    const QString refusal =
        LoadErrorText(qor::str::kEnterNumberCellUnchanged).arg(QStringLiteral("9abc"));
    const auto waitsInTheBar = [&] {
        EXPECT_EQ(QApplication::focusWidget(), frame->FormulaBar());
        EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("9abc"));
    };

    typeInBar(QStringLiteral("333"));
    EXPECT_TRUE(locate("6", "D"));
    EXPECT_EQ(amount(doc, 3, 2), 333);
    EXPECT_EQ(amount(doc, 6, 4), -1);
    EXPECT_EQ(view()->CurrentSelection().curRow, 5);
    EXPECT_EQ(view()->CurrentSelection().curCol, 3);

    // D6 refuses the text: 定位 opens no dialog and the cell stays.
    refusedInBar();
    messages.clear();
    EXPECT_FALSE(locate("2", "B"));
    EXPECT_EQ(messages, QStringList{refusal});
    EXPECT_EQ(view()->CurrentSelection().curRow, 5);
    waitsInTheBar();

    // 保存 asks for no file and writes none.
    messages.clear();
    save(rep);
    EXPECT_EQ(messages, QStringList{refusal});
    EXPECT_EQ(files, QStringList{rep});
    EXPECT_FALSE(QFile::exists(rep));
    waitsInTheBar();

    // 退出 (confirmed) keeps the window.
    messages.clear();
    answers = {qor::MsgAnswer::Ok};
    frame->UpdateFrameState();
    frametest::menuBarItem(frame->menuBar(), kCmdAppExit)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(messages.contains(refusal)) << messages.join(u'|').toStdString();
    ASSERT_EQ(frame->Children().size(), 1);
    waitsInTheBar();

    // Mended, it is saved where it was typed.
    QTest::keyClick(frame->FormulaBar(), Qt::Key_End);
    for (int i = 0; i < 3; ++i) QTest::keyClick(frame->FormulaBar(), Qt::Key_Backspace);
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 6, 4), QStringLiteral("9"));
    EXPECT_EQ(StoredValue(rep, 1, 3, 2), QStringLiteral("333"));
}

}  // namespace

namespace {

// A command from the menu stores the bar's entry where it was typed before
// it acts: 删除表页… of the page it was typed on takes the entry with the
// page, and the page that comes forward keeps its own amount.
TEST_F(EntryRoutes, AMenuCommandStoresTheBarsEntryBeforeItActs) {
    CChildFrame* child = openReport();
    CQorsDoc* doc = child->GetDocument();
    key(Qt::Key_PageDown, Qt::ControlModifier);
    clickCell(3, 2);
    keys(QStringLiteral("44"));
    key(Qt::Key_Return);
    key(Qt::Key_PageUp, Qt::ControlModifier);
    ASSERT_EQ(doc->ViewState().curPage, 1);
    clickCell(3, 2);
    typeInBar(QStringLiteral("222"));

    answerDialogs = false;
    QTimer poll;
    poll.setInterval(10);
    bool opened = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d || opened) return;
        opened = true;
        d->findChild<QLineEdit*>(QStringLiteral("ctl1000"))->setText(QStringLiteral("1"));
        d->findChild<QPushButton*>(QStringLiteral("ctl1"))->click();
    });
    poll.start();
    frame->UpdateFrameState();
    frametest::menuBarItem(frame->menuBar(), kCmdDeletePages)->trigger();
    QApplication::processEvents();
    poll.stop();
    answerDialogs = true;
    EXPECT_TRUE(opened);
    frame->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(doc->GetReport()->GetPageCount(), 1);
    EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("44.00"));
    clickCell(5, 3);
    EXPECT_EQ(amount(doc, 3, 2), 44);

    const QString rep = qortest::freshDir(QStringLiteral("entrybeforecommand")) + QStringLiteral("/r.rep");
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 3, 2), QStringLiteral("44"));
}

// Another report chosen from the 窗口 list waits, as a command does, for an
// entry the report left refuses: the refusal is told, the report stays in
// front with the entry in the bar, and once mended the switch stores it.
TEST_F(EntryRoutes, ARefusedEntryHoldsTheSwitchFromTheWindowList) {
    CChildFrame* first = openReport();
    CChildFrame* second = openReport();
    frame->MdiArea()->setActiveSubWindow(first);
    QApplication::processEvents();
    clickCell(5, 2);
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    typeInBar(QStringLiteral("9"));
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(frame->FormulaBar()->text(), QStringLiteral("9abc"));

    messages.clear();
    chooseOtherWindow();
    EXPECT_EQ(messages,
              QStringList{
                  LoadErrorText(qor::str::kEnterNumberCellUnchanged).arg(QStringLiteral("9abc"))});
    EXPECT_EQ(frame->ActiveChild(), first);
    EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("9abc"));
    EXPECT_EQ(QApplication::focusWidget(), frame->FormulaBar());
    EXPECT_EQ(amount(first->GetDocument(), 5, 2), -1);

    QTest::keyClick(frame->FormulaBar(), Qt::Key_End);
    for (int i = 0; i < 3; ++i) QTest::keyClick(frame->FormulaBar(), Qt::Key_Backspace);
    chooseOtherWindow();
    EXPECT_EQ(frame->ActiveChild(), second);
    EXPECT_EQ(amount(first->GetDocument(), 5, 2), 9);
    EXPECT_EQ(amount(second->GetDocument(), 5, 2), -1);
}

}  // namespace
