// Keys a number cell refuses never change its amount, and every change marks
// the report so that closing asks: key events on the shown main window, the
// amounts read back from the saved file by the command-line program.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QMimeData>
#include <functional>
#include <tuple>
#include <QMdiArea>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "frames/ccmdbar.h"
#include "frames/commandrouter.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/stored_value.h"
#include "view/celleditor.h"
#include "view/formulabar.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;

namespace {

using frametest::StoredValue;

class KeysAndMarks : public FrameFixture {
protected:
    // Typed one key at a time into whatever has the focus, as a keyboard
    // does.
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
    QWidget* focused() {
        QWidget* w = QApplication::focusWidget();
        return w ? w : static_cast<QWidget*>(view);
    }
    // The cell at 1-based row and column becomes current, by keys.
    void goTo(int row, int col) {
        view->setFocus();
        key(Qt::Key_Home, Qt::ControlModifier);
        for (int r = 1; r < row; ++r) key(Qt::Key_Down);
        for (int c = 1; c < col; ++c) key(Qt::Key_Right);
    }
    double amount(int row, int col) {
        double v = 0;
        return doc->GetNumCellValue(row - 1, col - 1, &v) ? v : -1;
    }
    QString status() const { return frame->statusBar()->currentMessage(); }
    // The main window as the user sees it: its title above it and a tip
    // shown at a cell drawn where it stands.
    void picture(const QString& name) {
        QApplication::processEvents();
        const QPixmap window = frame->grab();
        const int titleHeight = 24;
        QPixmap shot(window.width(), window.height() + titleHeight);
        shot.fill(QColor(0xd8, 0xd8, 0xe8));
        QPainter p(&shot);
        p.drawText(QRect(6, 0, shot.width() - 12, titleHeight), Qt::AlignVCenter,
                   frame->windowHandle()->title());
        p.drawPixmap(0, titleHeight, window);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits("QTipLabel"))
                p.drawPixmap(frame->mapFromGlobal(w->pos()) + QPoint(0, titleHeight), w->grab());
        p.end();
        shot.save(qortest::artifactPath(name));
    }

    // A report of number cells with two decimals in B2:B7, B8 = B3+B4,
    // in data state with 80000.50 typed into B3.
    void openReport() {
        child = newReport();
        doc = child->GetDocument();
        view = child->GetActiveView();
        int32_t places = 2;
        const CellArea numbers = CellArea::area(2, 2, 7, 2);
        ASSERT_EQ(doc->GetReport()->AccessAreaFormat(1, qor::kFmtDecimals, &places, &numbers), 0);
        CellArea total = CellArea::cell(8, 2);
        ASSERT_EQ(doc->GetReport()->SetAreaFormula(&total, QStringLiteral("B3+B4")), 0);
        goTo(1, 1);
        key(Qt::Key_D, Qt::ControlModifier);
        ASSERT_TRUE(doc->IsDataState());
        goTo(3, 2);
        keys(QStringLiteral("80000.50"));
        key(Qt::Key_Return);
        ASSERT_DOUBLE_EQ(amount(3, 2), 80000.5);
    }
    // Ctrl+S; a report without a file is named rep.
    void save(const QString& rep) {
        files = {rep};
        key(Qt::Key_S, Qt::ControlModifier);
        ASSERT_TRUE(QFile::exists(rep));
        ASSERT_FALSE(doc->IsModified());
    }

    // Ctrl+S on a report saved before; the total as the saved file holds it.
    QString savedAgain(const QString& rep, int row, int col) {
        key(Qt::Key_S, Qt::ControlModifier);
        EXPECT_FALSE(doc->IsModified());
        return StoredValue(rep, 1, row, col);
    }
    void typeInto(int row, int col, const QString& text) {
        goTo(row, col);
        keys(text);
        key(Qt::Key_Return);
    }
    // The item of the main window's menu bar, picked as the user picks it.
    void pick(int id) {
        frame->UpdateFrameState();
        QAction* a = frametest::menuBarItem(frame->menuBar(), id);
        ASSERT_NE(a, nullptr) << id;
        ASSERT_TRUE(a->isEnabled()) << id;
        a->trigger();
        QApplication::processEvents();
    }
    // The point of the view over the cell at 1-based row and column, found
    // by clicking down the column as a user's eye would.
    QPoint pointOf(int row, int col) {
        for (int x = 5; x < view->width(); x += 8)
            for (int y = 5; y < view->height(); y += 6) {
                QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
                const auto sel = view->CurrentSelection();
                if (sel.curRow == row - 1 && sel.curCol == col - 1) return QPoint(x, y);
                if (sel.curCol > col - 1) break;
            }
        ADD_FAILURE() << "no point over the cell";
        return {};
    }

    CChildFrame* child = nullptr;
    CQorsDoc* doc = nullptr;
    CQorsView* view = nullptr;
};

TEST_F(KeysAndMarks, RefusedKeysLeaveTheAmountAndSayWhy) {
    openReport();
    CCellEdit* editor = view->CellEdit().CellEditor();

    // Letters over an amount: each is refused where the user looks, no
    // empty entry is left to replace the amount, Enter only moves on.
    goTo(3, 2);
    keys(QStringLiteral("abc"));
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(status().startsWith(QStringLiteral("请输入数值"))) << status().toStdString();
    EXPECT_TRUE(status().contains(u'c'));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), status());
    EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("80000.50"));
    picture(QStringLiteral("qorview-refused-letters.png"));
    key(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(amount(3, 2), 80000.5);
    EXPECT_DOUBLE_EQ(amount(8, 2), 80000.5);  // the total did not drop
    EXPECT_EQ(view->CurrentSelection().curRow, 3);
    // The refusal spoke of the cell left behind: it goes with it.
    EXPECT_FALSE(status().startsWith(QStringLiteral("请输入数值"))) << status().toStdString();

    // A minus inside a number is refused and told; Enter stores what the
    // editor shows.
    keys(QStringLiteral("1-2"));
    EXPECT_TRUE(status().contains(u'-')) << status().toStdString();
    ASSERT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->text(), QStringLiteral("12"));
    key(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(amount(4, 2), 12);
    // One digit past the two places is told with the places.
    keys(QStringLiteral("5.255"));
    EXPECT_TRUE(status().contains(u'2') && status().contains(u'5')) << status().toStdString();
    EXPECT_EQ(editor->text(), QStringLiteral("5.25"));
    key(Qt::Key_Escape);

    // The formula bar: letters typed over the selected amount change
    // nothing; erased, then only refused keys: the amount stays.
    goTo(3, 2);
    QTest::mouseClick(frame->FormulaBar(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), frame->FormulaBar());
    key(Qt::Key_A, Qt::ControlModifier);
    keys(QStringLiteral("abc"));
    EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("80000.50"));
    key(Qt::Key_Backspace);
    keys(QStringLiteral("xyz"));
    EXPECT_TRUE(status().contains(u'z'));
    key(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(amount(3, 2), 80000.5);
    EXPECT_EQ(messages, QStringList());  // told without a box to dismiss

    // A formula cell says why typing does nothing, from the sheet and the bar.
    goTo(8, 2);
    keys(QStringLiteral("5"));
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(status().contains(QStringLiteral("公式"))) << status().toStdString();
    frame->statusBar()->clearMessage();
    QTest::mouseClick(frame->FormulaBar(), Qt::LeftButton);
    keys(QStringLiteral("5"));
    EXPECT_TRUE(status().contains(QStringLiteral("公式"))) << status().toStdString();
    EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("=B3+B4"));

    // Clearing stays where it is asked for: Delete, and the bar's text
    // erased and confirmed.
    goTo(5, 2);
    keys(QStringLiteral("300.25"));
    key(Qt::Key_Return);
    goTo(6, 2);
    keys(QStringLiteral("44"));
    key(Qt::Key_Return);
    goTo(5, 2);
    key(Qt::Key_Delete);
    goTo(6, 2);
    QTest::mouseClick(frame->FormulaBar(), Qt::LeftButton);
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);

    const QString rep = qortest::testDir() + QStringLiteral("/keys.rep");
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 3, 2), QStringLiteral("80000.5"));
    EXPECT_EQ(StoredValue(rep, 1, 4, 2), QStringLiteral("12"));
    EXPECT_EQ(StoredValue(rep, 1, 5, 2), QStringLiteral("0"));
    EXPECT_EQ(StoredValue(rep, 1, 6, 2), QStringLiteral("0"));
    EXPECT_EQ(StoredValue(rep, 1, 8, 2), QStringLiteral("80012.5"));
}

TEST_F(KeysAndMarks, ACommandWindowLineMarksTheReportAndClosingAsks) {
    openReport();
    const QString rep = qortest::testDir() + QStringLiteral("/月报.rep");
    save(rep);
    child->showMaximized();
    QApplication::processEvents();
    EXPECT_FALSE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();

    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    CCmdEdit* line = frame->CmdBar()->Edit();
    QTest::mouseClick(line, Qt::LeftButton);
    QTest::keyClicks(line, QStringLiteral("LET C4 = 7"));
    QTest::keyClick(line, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(frame->CmdBar()->Output()->toPlainText().endsWith(QStringLiteral("完成")));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(child->isWindowModified());
    EXPECT_TRUE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();
    picture(QStringLiteral("qorview-command-window-let.png"));

    // 关闭 asks; the answer saves the line's value.
    answers = {qor::MsgAnswer::Yes};
    ASSERT_TRUE(frame->Router().Execute(kCmdFileClose));
    QApplication::processEvents();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("月报.rep"))) << messages[0].toStdString();
    EXPECT_TRUE(frame->Children().isEmpty());
    EXPECT_EQ(StoredValue(rep, 1, 4, 3), QStringLiteral("7"));
}


TEST_F(KeysAndMarks, OnlyRealChangesMarkAndTheTitleShowsTheMarkKept) {
    // A workbook opened is not changed yet: closing asks nothing.
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) return;
    const QString book = qortest::testDir() + QStringLiteral("/账簿.xlsx");
    const qortest::ProcessResult made = qortest::python(
        QStringLiteral("import openpyxl, sys\n"
                       "wb = openpyxl.Workbook(); ws = wb.active\n"
                       "ws['A1'] = '现金'; ws['B1'] = 80000.5\n"
                       "wb.save(sys.argv[1])\n"),
        {book});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    files = {book};
    key(Qt::Key_O, Qt::ControlModifier);
    child = frame->ActiveChild();
    ASSERT_TRUE(child) << messages.join(u'|').toStdString();
    // Opening tells what the report cannot keep (the sheet's name); only
    // closing is to ask nothing.
    messages.clear();
    doc = child->GetDocument();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(child->isWindowModified());
    ASSERT_TRUE(frame->Router().Execute(kCmdFileClose));
    QApplication::processEvents();
    EXPECT_EQ(messages, QStringList());
    EXPECT_TRUE(frame->Children().isEmpty());

    // A changed report keeps "*" in the main window's title through the
    // chart window and back, and closing it still asks.
    openReport();
    child->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(frame->windowHandle()->title().contains(u'*'));
    ASSERT_TRUE(frame->Router().Execute(kCmdChartWindow));
    QApplication::processEvents();
    ASSERT_TRUE(frame->Router().Execute(kCmdExit));
    QApplication::processEvents();
    EXPECT_TRUE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();
    // Saved, the mark goes at once, from the title too.
    save(qortest::testDir() + QStringLiteral("/图表.rep"));
    EXPECT_FALSE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();
    // Restored, changed and maximised again: the mark comes along.
    child->showNormal();
    goTo(4, 2);
    keys(QStringLiteral("9"));
    key(Qt::Key_Return);
    child->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(frame->windowHandle()->title().contains(u'*'))
        << frame->windowHandle()->title().toStdString();
    answers = {qor::MsgAnswer::No};
    ASSERT_TRUE(frame->Router().Execute(kCmdFileClose));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("图表.rep"))) << messages[0].toStdString();
}

TEST_F(KeysAndMarks, EveryWayOfChangingTheReportMarksIt) {
    openReport();
    auto changedBy = [&](const char* what, const std::function<void()>& act) {
        doc->SetModifiedFlag(false);
        act();
        QApplication::processEvents();
        EXPECT_TRUE(doc->IsModified()) << what;
        EXPECT_TRUE(child->isWindowModified()) << what;
    };
    // 工具 › 执行 of a script.
    const QString shl = qortest::testDir() + QStringLiteral("/run.shl");
    qortest::writeFile(shl, "LET C5 = 3\n");
    changedBy("execute", [&] {
        files = {shl};
        ASSERT_TRUE(frame->Router().Execute(kCmdExecute));
        EXPECT_DOUBLE_EQ(amount(5, 3), 3);
    });
    changedBy("fill", [&] {
        goTo(3, 2);
        key(Qt::Key_Down, Qt::ShiftModifier);
        ASSERT_TRUE(frame->Router().Execute(kCmdFillDown));
    });
    changedBy("paste", [&] {
        goTo(3, 2);
        key(Qt::Key_C, Qt::ControlModifier);
        goTo(6, 3);
        key(Qt::Key_V, Qt::ControlModifier);
    });
    changedBy("drop", [&] {
        QMimeData data;
        data.setText(QStringLiteral("5"));
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &drop);
        EXPECT_TRUE(drop.isAccepted());
    });
    key(Qt::Key_D, Qt::ControlModifier);
    changedBy("decimals", [&] {
        goTo(3, 2);
        ASSERT_TRUE(frame->Router().Execute(kCmdMoreDecimals));
    });
    EXPECT_EQ(messages, QStringList());
}

// Every way of changing B4, which the total B8 = B3+B4 reads: after each,
// the total the saved file holds is the one the cells make, and so are the
// totals that reach across pages: E2 = B8@1 on both pages and C6 =
// TOTAL(B4) on the other page.
TEST_F(KeysAndMarks, EveryCellChangeLeavesTheSavedTotalRight) {
    openReport();
    view->setFocus();
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_FALSE(doc->IsDataState());
    CReportHandle* report = doc->GetReport();
    for (auto [row, col, text] : {std::tuple{2, 5, "B8@1"}, {3, 5, "B8@2"}, {6, 3, "TOTAL(B4)"}}) {
        CellArea at = CellArea::cell(row, col);
        ASSERT_EQ(report->SetAreaFormula(&at, QString::fromLatin1(text)), 0) << text;
    }
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(doc->IsDataState());
    ASSERT_EQ(report->AppendRowColPage(1, 2), 0);
    doc->SyncPagesFromReport();
    ASSERT_EQ(report->SetCellValue(CellValue::ofNumber(10), 3, 2, 2), 0);
    ASSERT_EQ(report->SetCellValue(CellValue::ofNumber(2.25), 4, 2, 2), 0);
    ASSERT_EQ(report->RecalcAll(), 0);
    const QString rep = qortest::testDir() + QStringLiteral("/合计.rep");
    const auto saved = [&](int page, int row, int col) {
        return frametest::StoredValue(rep, page, row, col).toDouble();
    };
    // The totals over pages as the saved file holds them, against the
    // saved amounts they add.
    const auto acrossPages = [&](const char* what) {
        const double b8 = saved(1, 8, 2), b4 = saved(1, 4, 2);
        EXPECT_EQ(saved(1, 2, 5), b8) << what << ": B8@1 on its own page";
        EXPECT_EQ(saved(2, 2, 5), b8) << what << ": B8@1 on page 2";
        EXPECT_EQ(saved(1, 3, 5), saved(2, 8, 2)) << what << ": B8@2";
        EXPECT_DOUBLE_EQ(saved(2, 6, 3), b4 + saved(2, 4, 2)) << what << ": TOTAL(B4)";
    };
    const auto savedTotal = [&](const char* total, const char* what) {
        EXPECT_EQ(savedAgain(rep, 8, 2), QString::fromLatin1(total)) << what;
        acrossPages(what);
    };
    typeInto(4, 2, QStringLiteral("20"));
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 8, 2), QStringLiteral("80020.5"));
    acrossPages("typed first");
    typeInto(4, 2, QStringLiteral("30"));
    savedTotal("80030.5", "typed");
    goTo(4, 2);
    key(Qt::Key_Delete);
    savedTotal("80000.5", "Delete");
    typeInto(4, 2, QStringLiteral("40"));
    goTo(4, 2);
    pick(kCmdClear);
    savedTotal("80000.5", "清除");
    typeInto(4, 2, QStringLiteral("40"));
    goTo(4, 2);
    key(Qt::Key_X, Qt::ControlModifier);
    savedTotal("80000.5", "cut");
    key(Qt::Key_V, Qt::ControlModifier);
    savedTotal("80040.5", "paste of the cut cell");

    // Text from elsewhere: a word is refused and named, a number is taken.
    QApplication::clipboard()->setText(QStringLiteral("收入"));
    goTo(4, 2);
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("收入"))) << messages[0].toStdString();
    messages.clear();
    savedTotal("80040.5", "refused text");
    QApplication::clipboard()->setText(QStringLiteral("12"));
    key(Qt::Key_V, Qt::ControlModifier);
    savedTotal("80012.5", "pasted text");

    goTo(3, 2);
    key(Qt::Key_Down, Qt::ShiftModifier);
    pick(kCmdFillDown);
    savedTotal("160001", "fill");

    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    CCmdEdit* line = frame->CmdBar()->Edit();
    QTest::mouseClick(line, Qt::LeftButton);
    QTest::keyClicks(line, QStringLiteral("LET B4 = 5"));
    QTest::keyClick(line, Qt::Key_Return);
    QApplication::processEvents();
    savedTotal("80005.5", "LET");

    QMimeData data;
    data.setText(QStringLiteral("7"));
    const QPoint at = pointOf(4, 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    QApplication::processEvents();
    savedTotal("80007.5", "drop");

    // More decimals change how B4 shows, never the total.
    view->setFocus();
    key(Qt::Key_D, Qt::ControlModifier);
    goTo(4, 2);
    ASSERT_TRUE(frame->Router().Execute(kCmdMoreDecimals));
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(doc->IsDataState());
    savedTotal("80007.5", "decimals");
    EXPECT_EQ(StoredValue(rep, 1, 4, 2), QStringLiteral("7"));

    // Fewer decimals: the amounts are kept as they now show, on every
    // page, and every total adds those.
    typeInto(4, 2, QStringLiteral("7.5"));
    view->setFocus();
    key(Qt::Key_D, Qt::ControlModifier);
    goTo(3, 2);
    key(Qt::Key_Down, Qt::ShiftModifier);
    // B4 shows three decimals since the step above.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(frame->Router().Execute(kCmdFewerDecimals));
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(doc->IsDataState());
    savedTotal("80009", "fewer decimals");
    EXPECT_EQ(StoredValue(rep, 1, 3, 2), QStringLiteral("80001"));
    EXPECT_EQ(StoredValue(rep, 1, 4, 2), QStringLiteral("8"));
    EXPECT_EQ(StoredValue(rep, 2, 4, 2), QStringLiteral("2"));
    EXPECT_EQ(StoredValue(rep, 2, 8, 2), QStringLiteral("12"));
    EXPECT_EQ(messages, QStringList());
}

// A paste onto a total in data state is refused where the user looks, with
// the words typing there gets, and the total stays the one its cells make.
TEST_F(KeysAndMarks, APasteOntoATotalIsToldAsTypingThereIs) {
    openReport();
    const QString typed = LoadErrorText(qor::str::kFormulaCellTyped);
    goTo(3, 2);
    key(Qt::Key_C, Qt::ControlModifier);
    goTo(8, 2);
    frame->statusBar()->clearMessage();
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(status(), typed);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_DOUBLE_EQ(amount(8, 2), 80000.5);

    // Outside text over B4:B8: the amounts land, the total is told and
    // stays the sum.
    QApplication::clipboard()->setText(QStringLiteral("1\n2\n3\n4\n5"));
    goTo(4, 2);
    frame->statusBar()->clearMessage();
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(status(), typed);
    EXPECT_DOUBLE_EQ(amount(4, 2), 1);
    EXPECT_DOUBLE_EQ(amount(8, 2), 80001.5);
    EXPECT_EQ(messages, QStringList());
}

// Deleting a block that holds the total itself leaves the total worked
// out from what is left, not blank and not the old sum.
TEST_F(KeysAndMarks, DeletingABlockWithItsTotalKeepsTheTotalRight) {
    openReport();
    const QString rep = qortest::testDir() + QStringLiteral("/清除.rep");
    typeInto(4, 2, QStringLiteral("20"));
    typeInto(5, 2, QStringLiteral("3"));
    goTo(4, 2);
    for (int i = 0; i < 4; ++i) key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Delete);
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 8, 2), QStringLiteral("80000.5"));
    const QString cleared = StoredValue(rep, 1, 5, 2);
    EXPECT_TRUE(cleared.isEmpty() || cleared == QStringLiteral("0")) << cleared.toStdString();
    EXPECT_DOUBLE_EQ(amount(8, 2), 80000.5);
}

// A report's own copied block whose labels land on amounts: each amount
// stays, the label is named, the numbers of the block go where they fall.
TEST_F(KeysAndMarks, PastedLabelsNeverTurnAmountsIntoZero) {
    child = newReport();
    doc = child->GetDocument();
    view = child->GetActiveView();
    int32_t character = 2;
    const CellArea labels = CellArea::area(2, 1, 3, 1);
    ASSERT_EQ(doc->GetReport()->AccessAreaFormat(1, qor::kFmtKind, &character, &labels), 0);
    goTo(1, 1);
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(doc->IsDataState());
    ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofText(QStringLiteral("货币资金")), 2, 1, 0), 0);
    ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofText(QStringLiteral("应收账款")), 3, 1, 0), 0);
    typeInto(2, 2, QStringLiteral("100"));
    typeInto(3, 2, QStringLiteral("200"));

    goTo(2, 1);
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_C, Qt::ControlModifier);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, pointOf(2, 2));
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("请输入数值"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("货币资金"))) << messages[0].toStdString();
    messages.clear();

    const QString rep = qortest::testDir() + QStringLiteral("/粘贴.rep");
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 2, 2), QStringLiteral("100"));
    EXPECT_EQ(StoredValue(rep, 1, 3, 2), QStringLiteral("200"));
    EXPECT_EQ(StoredValue(rep, 1, 2, 3), QStringLiteral("100"));
    EXPECT_EQ(StoredValue(rep, 1, 3, 3), QStringLiteral("200"));
    EXPECT_EQ(StoredValue(rep, 1, 2, 1), QStringLiteral("货币资金"));
}

}  // namespace
