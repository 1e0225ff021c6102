// Detail lines of a variable area added, inserted and deleted in data state
// through the main window's menus and the count and delete dialogs, each
// dialog run for real; the totals read back from the saved file by the
// command-line program.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "dialogs/cvhuizongwizardsheet.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "resources/commandids.h"
#include "resources/stringids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/stored_value.h"
#include "view/cqorsview.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;
using frametest::StoredValue;

namespace {

class VarLines : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        // The dialogs are answered here, through their own controls.
        answerDialogs = false;
        m_driver.setInterval(10);
        QObject::connect(&m_driver, &QTimer::timeout, [this] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || d == m_answered) return;
            m_answered = d;
            shown << QString::fromLatin1(d->metaObject()->className());
            if (m_fill.empty()) {
                d->reject();
                return;
            }
            auto fill = std::move(m_fill.front());
            m_fill.pop_front();
            fill(d);
            // A wizard finishes itself; a dialog is confirmed.
            if (auto* ok = d->findChild<QPushButton*>(QStringLiteral("ctl1")); ok && d->isVisible())
                ok->click();
        });
        m_driver.start();
    }
    void TearDown() override {
        m_driver.stop();
        if (doc) doc->SetModifiedFlag(false);
        FrameFixture::TearDown();
    }

    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* w = QApplication::focusWidget();
        QTest::keyClick(w ? w : view, Qt::Key(k), mods);
        QApplication::processEvents();
    }
    void type(const QString& text) {
        for (QChar c : text) {
            QWidget* w = QApplication::focusWidget();
            QTest::keyClick(w ? w : view, c.toLatin1());
        }
        key(Qt::Key_Return);
    }
    void goTo(int row, int col) {
        view->setFocus();
        key(Qt::Key_Home, Qt::ControlModifier);
        for (int r = 1; r < row; ++r) key(Qt::Key_Down);
        for (int c = 1; c < col; ++c) key(Qt::Key_Right);
        // The view's own rows count the area's hidden band.
        const auto sel = view->CurrentSelection();
        ASSERT_EQ(sel.curRow, view->Geometry().ViewRow(row - 1));
        ASSERT_EQ(sel.curCol, view->Geometry().ViewColumn(col - 1));
    }
    QAction* item(int id) {
        frame->UpdateFrameState();
        QAction* a = frametest::menuBarItem(frame->menuBar(), id);
        EXPECT_NE(a, nullptr) << id;
        if (a) frame->Router().Update(a);
        return a;
    }
    // Picks a menu item whose dialog is filled by fill and confirmed.
    void pick(int id, std::function<void(QDialog*)> fill) {
        QAction* a = item(id);
        ASSERT_TRUE(a && a->isEnabled()) << id << (a ? a->statusTip().toStdString() : "");
        m_fill.push_back(std::move(fill));
        a->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(m_fill.empty()) << id << ": its dialog did not open";
        m_fill.clear();
        // Back in the window the dialog left, as after a click.
        frame->activateWindow();
        QApplication::processEvents();
        view->setFocus();
    }
    // A right click on the shown sheet at the cell (1-based): the cell
    // menu that opens.
    QMenu* rightClick(int row, int col) {
        const int vr = view->Geometry().ViewRow(row - 1), vc = view->Geometry().ViewColumn(col - 1);
        qor::view::Rect r{vc, vr, vc, vr};
        view->Geometry().CellRangeToDocRect(r);
        view->Geometry().DocToClient(r);
        QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier,
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        QApplication::processEvents();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_EQ(menu, frame->ContextMenu(kMenuCells));
        return menu;
    }
    static QAction* menuItem(QMenu* menu, int id) {
        for (QAction* a : menu->actions())
            if (CommandRouter::CommandId(a) == id) return a;
        return nullptr;
    }
    static QList<int> lineItems(QMenu* menu) {
        QList<int> ids;
        for (QAction* a : menu->actions()) {
            const int id = CommandRouter::CommandId(a);
            if (id >= kCmdInsertRows && id <= kCmdDeleteCols && id != kCmdInsertPages &&
                id != kCmdAppendPages)
                ids << id;
        }
        return ids;
    }
    // Clicks the menu's item, whose dialog is filled by fill and confirmed.
    void choose(QMenu* menu, int id, std::function<void(QDialog*)> fill) {
        ASSERT_NE(menu, nullptr);
        QAction* a = menuItem(menu, id);
        ASSERT_TRUE(a && a->isEnabled()) << id << (a ? a->statusTip().toStdString() : "");
        m_fill.push_back(std::move(fill));
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(a).center());
        QApplication::processEvents();
        EXPECT_TRUE(m_fill.empty()) << id << ": its dialog did not open";
        m_fill.clear();
        frame->activateWindow();
        QApplication::processEvents();
        view->setFocus();
    }
    static void close(QMenu* menu) {
        if (menu) menu->close();
        QApplication::processEvents();
    }
    static std::function<void(QDialog*)> count(int n) {
        return [n](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("ctl1000"))->setText(QString::number(n));
        };
    }
    static std::function<void(QDialog*)> list(const QString& text) {
        return [text](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("ctl1000"))->setText(text);
        };
    }
    int linesUsed() {
        int used = 0;
        EXPECT_EQ(doc->GetReport()->AccessVarCount(0, &used), 0);
        return used;
    }
    double amount(int row, int col) {
        double v = 0;
        return doc->GetNumCellValue(row - 1, col - 1, &v) ? v : -1;
    }
    // A new report of rows x cols in the window with a variable area and
    // formulas in stored cells, then two pages in data state.
    void openReport(int rows, int cols, int kind, int start, int extent,
                    const QList<std::pair<CellArea, QString>>& formulas) {
        child = newReport();
        doc = child->GetDocument();
        view = child->GetActiveView();
        CReportHandle* r = doc->GetReport();
        uint16_t rr = uint16_t(rows), cc = uint16_t(cols);
        ASSERT_EQ(r->AccessTableSize(1, &rr, &cc), 0);
        // A new report's cells are table texts; these take amounts.
        int32_t number = kCellNumber;
        const CellArea all = CellArea::area(1, 1, rows, cols);
        ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &number, &all), 0);
        ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
        for (auto [area, text] : formulas) ASSERT_EQ(r->SetAreaFormula(&area, text), 0) << text.toStdString();
        goTo(1, 1);
        key(Qt::Key_D, Qt::ControlModifier);
        ASSERT_TRUE(doc->IsDataState());
        if (r->GetPageCount() < 2) pick(kCmdAppendPages, count(2 - r->GetPageCount()));
        ASSERT_EQ(r->GetPageCount(), 2);
    }
    void save(const QString& rep) {
        files = {rep};
        key(Qt::Key_S, Qt::ControlModifier);
        ASSERT_FALSE(doc->IsModified());
    }
    QString qorOut(const QStringList& args) {
        const qortest::ProcessResult p = qortest::run(QStringLiteral(QOR_APP_BINARY), args);
        EXPECT_EQ(p.exitCode, 0) << p.err.toStdString();
        return QString::fromUtf8(p.out).trimmed();
    }

    CChildFrame* child = nullptr;
    CQorsDoc* doc = nullptr;
    CQorsView* view = nullptr;
    QStringList shown;

private:
    QTimer m_driver;
    QPointer<QDialog> m_answered;
    std::deque<std::function<void(QDialog*)>> m_fill;
};

TEST_F(VarLines, RowLinesAreAddedInsertedAndDeletedPageByPage) {
    // Row 3 is the area (up to 4 lines); row 4 holds its total and count.
    openReport(8, 4, 1, 3, 4,
               {{CellArea::cell(4, 3), QStringLiteral("GTOTAL(V_C)")},
                {CellArea::cell(4, 4), QStringLiteral("GCOUNT(V_C)")}});

    // Off the area the line commands say why.
    goTo(1, 1);
    for (int id : {kCmdInsertRows, kCmdAppendRows, kCmdDeleteRows, kCmdAppendCols}) {
        QAction* a = item(id);
        ASSERT_TRUE(a);
        EXPECT_FALSE(a->isEnabled()) << id;
        EXPECT_EQ(a->statusTip(), LoadErrorText(qor::str::kCellNotOnVarLine)) << id;
    }

    goTo(3, 3);
    type(QStringLiteral("10"));
    EXPECT_EQ(amount(3, 3), 10);
    goTo(2, 2);
    type(QStringLiteral("10"));
    EXPECT_EQ(amount(2, 2), 10);
    goTo(3, 3);
    pick(kCmdAppendRows, count(2));
    goTo(4, 3);
    type(QStringLiteral("20"));
    type(QStringLiteral("30"));
    EXPECT_EQ(amount(6, 3), 60);
    EXPECT_EQ(amount(6, 4), 3);
    EXPECT_TRUE(doc->IsModified());

    // A line before the first: the amounts move down with their lines.
    goTo(3, 3);
    pick(kCmdInsertRows, count(1));
    EXPECT_EQ(amount(3, 3), -1);  // empty
    EXPECT_EQ(amount(4, 3), 10);
    EXPECT_EQ(amount(7, 3), 60);

    // The extent (4) is reached: a fifth line is refused, naming it,
    // before any dialog opens.
    messages.clear();
    shown.clear();
    item(kCmdAppendRows)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u',').toStdString();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("可变区最多4行"))) << messages[0].toStdString();
    EXPECT_EQ(amount(7, 3), 60);

    // The empty line goes; the last one never does.
    pick(kCmdDeleteRows, list(QStringLiteral("3")));
    EXPECT_EQ(amount(3, 3), 10);
    EXPECT_EQ(amount(6, 3), 60);
    // Refused in the dialog, which stays open until cancelled.
    messages.clear();
    pick(kCmdDeleteRows, [](QDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("ctl1000"))->setText(QStringLiteral("3,4,5"));
        d->findChild<QPushButton*>(QStringLiteral("ctl1"))->click();
        EXPECT_TRUE(d->isVisible());
        d->reject();
    });
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("至少留一行"))) << messages[0].toStdString();
    EXPECT_EQ(amount(5, 3), 30);

    // Page 2 keeps its own lines.
    key(Qt::Key_PageDown, Qt::ControlModifier);
    goTo(3, 3);
    type(QStringLiteral("5"));
    goTo(3, 3);
    pick(kCmdAppendRows, count(1));
    goTo(4, 3);
    type(QStringLiteral("7"));
    EXPECT_EQ(amount(5, 3), 12);
    key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(amount(6, 3), 60);

    const QString rep = qortest::freshDir(QStringLiteral("varlines")) + QStringLiteral("/lines.rep");
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 6, 3), QStringLiteral("60"));
    EXPECT_EQ(StoredValue(rep, 1, 6, 4), QStringLiteral("3"));
    EXPECT_EQ(StoredValue(rep, 1, 5, 3), QStringLiteral("30"));
    EXPECT_EQ(StoredValue(rep, 2, 5, 3), QStringLiteral("12"));
    EXPECT_EQ(qorOut({QStringLiteral("lines"), rep, QStringLiteral("1")}), QStringLiteral("page 1: 3 lines"));
    EXPECT_EQ(qorOut({QStringLiteral("lines"), rep, QStringLiteral("2")}), QStringLiteral("page 2: 2 lines"));

    // Sorting the lines keeps each page's count and total.
    const QString script = QFileInfo(rep).absolutePath() + QStringLiteral("/sort.shl");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("SORT BY V_C DESC\n");
    f.close();
    child->close();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    doc = nullptr;
    qorOut({QStringLiteral("run"), script, rep});
    EXPECT_EQ(StoredValue(rep, 1, 3, 3), QStringLiteral("30"));
    EXPECT_EQ(StoredValue(rep, 1, 5, 3), QStringLiteral("10"));
    EXPECT_EQ(StoredValue(rep, 1, 6, 3), QStringLiteral("60"));
}

TEST_F(VarLines, ColumnLinesFollowTheColumnArea) {
    // Column B is the area (up to 3 lines); C2 totals row 2 over them.
    openReport(4, 5, 2, 2, 3, {{CellArea::cell(2, 3), QStringLiteral("GTOTAL(V_2)")}});
    goTo(2, 2);
    EXPECT_FALSE(item(kCmdAppendRows)->isEnabled());
    type(QStringLiteral("4"));
    goTo(2, 2);
    pick(kCmdAppendCols, count(2));
    goTo(2, 3);
    type(QStringLiteral("5"));
    goTo(2, 4);
    type(QStringLiteral("6"));
    EXPECT_EQ(amount(2, 5), 15);
    messages.clear();
    goTo(2, 2);
    shown.clear();
    item(kCmdAppendCols)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u',').toStdString();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("可变区最多3列"))) << messages[0].toStdString();
    pick(kCmdDeleteCols, list(QStringLiteral("3")));
    EXPECT_EQ(amount(2, 4), 10);
    const QString rep = qortest::freshDir(QStringLiteral("varcols")) + QStringLiteral("/cols.rep");
    save(rep);
    EXPECT_EQ(StoredValue(rep, 1, 2, 4), QStringLiteral("10"));
    EXPECT_EQ(StoredValue(rep, 1, 2, 3), QStringLiteral("6"));
}

TEST_F(VarLines, TheCellMenuOffersTheLineCommandsOfTheArea) {
    // Row 3 is the area (up to 3 lines); C4 totals it.
    openReport(6, 4, 1, 3, 3, {{CellArea::cell(4, 3), QStringLiteral("GTOTAL(V_C)")}});
    goTo(3, 3);
    type(QStringLiteral("10"));

    // Off the area the row commands are there, greyed with the reason
    // 编辑 gives; the column ones are not offered over a row area.
    QMenu* menu = rightClick(1, 1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(lineItems(menu), (QList<int>{kCmdInsertRows, kCmdAppendRows, kCmdDeleteRows}));
    for (int id : {kCmdInsertRows, kCmdAppendRows, kCmdDeleteRows}) {
        EXPECT_FALSE(menuItem(menu, id)->isEnabled()) << id;
        EXPECT_EQ(menuItem(menu, id)->statusTip(), LoadErrorText(qor::str::kCellNotOnVarLine)) << id;
    }
    close(menu);

    // On the line: append two, type into them, insert one before the first.
    choose(rightClick(3, 3), kCmdAppendRows, count(2));
    goTo(4, 3);
    type(QStringLiteral("20"));
    type(QStringLiteral("30"));
    EXPECT_EQ(amount(6, 3), 60);
    // Full: said at once, no dialog.
    messages.clear();
    shown.clear();
    QMenu* full = rightClick(3, 3);
    ASSERT_NE(full, nullptr);
    QTest::mouseClick(full, Qt::LeftButton, Qt::NoModifier,
                      full->actionGeometry(menuItem(full, kCmdAppendRows)).center());
    QApplication::processEvents();
    view->setFocus();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u',').toStdString();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("可变区最多3行"))) << messages[0].toStdString();
    choose(rightClick(4, 3), kCmdDeleteRows, list(QStringLiteral("4")));
    EXPECT_EQ(amount(4, 3), 30);
    EXPECT_EQ(amount(5, 3), 40);
    choose(rightClick(4, 3), kCmdInsertRows, count(1));
    EXPECT_EQ(amount(5, 3), 30);
    EXPECT_EQ(amount(6, 3), 40);

    // The menu bar's items are the same actions: the menu leaves them be.
    EXPECT_TRUE(item(kCmdInsertRows)->isVisible());

    const QString rep = qortest::freshDir(QStringLiteral("varmenu")) + QStringLiteral("/menu.rep");
    save(rep);
    EXPECT_EQ(qorOut({QStringLiteral("get"), rep, QStringLiteral("1"), QStringLiteral("6"),
                      QStringLiteral("3")}),
              QStringLiteral("40"));
    EXPECT_EQ(qorOut({QStringLiteral("lines"), rep, QStringLiteral("1")}), QStringLiteral("page 1: 3 lines"));

    // In format state the cell menu has no line command.
    key(Qt::Key_D, Qt::ControlModifier);
    ASSERT_FALSE(doc->IsDataState());
    menu = rightClick(3, 3);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(lineItems(menu).isEmpty());
    close(menu);
}

// A typed 0 is refused naming the range and the dialog stays; the lines
// after the area carry the numbers the dialogs take; the total row just
// below the area is no line to delete and says so where 删除行 is offered.
TEST_F(VarLines, CountsAreReadAsTypedAndTheRowsAfterTheAreaKeepTheirNumbers) {
    // Row 3 is the area (up to 8 lines) of an 8-row report; C4 totals it.
    openReport(8, 4, 1, 3, 8, {{CellArea::cell(4, 3), QStringLiteral("GTOTAL(V_C)")}});
    goTo(3, 3);
    type(QStringLiteral("1"));
    goTo(3, 3);
    int refusedOpen = 0;
    QStringList refusals;
    pick(kCmdAppendRows, [&](QDialog* d) {
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("ctl1000"));
        ASSERT_NE(edit, nullptr);
        QTest::mouseDClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("0"));
        messages.clear();
        d->findChild<QPushButton*>(QStringLiteral("ctl1"))->click();
        refusals = messages;
        refusedOpen += d->isVisible();
        EXPECT_EQ(edit->selectedText(), QStringLiteral("0"));  // the count, ready to mend
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("5"));
    });
    EXPECT_EQ(refusedOpen, 1);
    // The area takes 8 lines and uses 1: the range is what it still takes.
    EXPECT_EQ(refusals, QStringList{QStringLiteral("“请填入一个在1和7之间的整数。”")});
    EXPECT_EQ(linesUsed(), 6);
    goTo(4, 3);
    for (const char* v : {"2", "3", "4", "5", "6"}) type(QString::fromLatin1(v));
    EXPECT_EQ(amount(9, 3), 21);

    // The total row is row 9, on the headers as in the name box.
    const QString shot = qortest::artifactPath(QStringLiteral("qorview-headers-after-area.png"));
    view->grab().save(shot);
    goTo(9, 3);
    QAction* del = item(kCmdDeleteRows);
    ASSERT_TRUE(del);
    EXPECT_FALSE(del->isEnabled());
    EXPECT_EQ(del->statusTip(), LoadErrorText(qor::str::kCellNotOnVarLine));
    QMenu* menu = rightClick(9, 3);
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menuItem(menu, kCmdDeleteRows)->isEnabled());
    EXPECT_EQ(menuItem(menu, kCmdDeleteRows)->statusTip(), LoadErrorText(qor::str::kCellNotOnVarLine));
    close(menu);

    // The rows whose headers read 5 and 6, picked on the header strip, are
    // offered as 5,6 and go. A selection reaching the total row offers no
    // delete either.
    const auto headerPoint = [&](int row) {
        const int vr = view->Geometry().ViewRow(row - 1);
        qor::view::Rect r{0, vr, 0, vr};
        view->Geometry().CellRangeToDocRect(r);
        view->Geometry().DocToClient(r);
        return QPoint(view->Geometry().HeaderWidth() / 2, (r.top + r.bottom) / 2);
    };
    // From the last line onto the total row the current cell is on a
    // line: the reason names the selection and the lines it may take.
    goTo(8, 3);
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_FALSE(item(kCmdDeleteRows)->isEnabled());
    const QString past = LoadErrorText(qor::str::kSelectionPastVarLines)
                             .arg(LoadErrorText(qor::str::kWhatRow))
                             .arg(3)
                             .arg(8);
    EXPECT_EQ(item(kCmdDeleteRows)->statusTip(), past);
    EXPECT_TRUE(item(kCmdDeleteRows)->toolTip().contains(past))
        << item(kCmdDeleteRows)->toolTip().toStdString();
    key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_TRUE(item(kCmdDeleteRows)->isEnabled());
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, headerPoint(5));
    QApplication::processEvents();
    key(Qt::Key_Down, Qt::ShiftModifier);
    QString offered;
    pick(kCmdDeleteRows, [&](QDialog* d) {
        offered = d->findChild<QLineEdit*>(QStringLiteral("ctl1000"))->text();
    });
    EXPECT_EQ(offered, QStringLiteral("5,6"));
    EXPECT_EQ(linesUsed(), 4);
    EXPECT_EQ(amount(7, 3), 1 + 2 + 5 + 6);
}

TEST_F(VarLines, TheCellMenuOffersColumnsOverAColumnArea) {
    openReport(4, 5, 2, 2, 3, {{CellArea::cell(2, 3), QStringLiteral("GTOTAL(V_2)")}});
    goTo(2, 2);
    type(QStringLiteral("4"));
    QMenu* menu = rightClick(2, 2);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(lineItems(menu), (QList<int>{kCmdInsertCols, kCmdAppendCols, kCmdDeleteCols}));
    choose(menu, kCmdAppendCols, count(1));
    goTo(2, 3);
    type(QStringLiteral("5"));
    EXPECT_EQ(amount(2, 4), 9);
    choose(rightClick(2, 2), kCmdDeleteCols, list(QStringLiteral("2")));
    EXPECT_EQ(amount(2, 2), 5);
    EXPECT_EQ(amount(2, 3), 5);
}

TEST_F(VarLines, TheVariableAreaConsolidationAddsTheLinesOfEveryPage) {
    // Row 3 is the area (up to 4 lines); C4 totals it.
    openReport(6, 4, 1, 3, 4, {{CellArea::cell(4, 3), QStringLiteral("GTOTAL(V_C)")}});
    goTo(3, 3);
    pick(kCmdAppendRows, count(2));
    goTo(3, 3);
    for (const char* v : {"10", "20", "30"}) type(QString::fromLatin1(v));
    key(Qt::Key_PageDown, Qt::ControlModifier);
    goTo(3, 3);
    pick(kCmdAppendRows, count(1));
    goTo(3, 3);
    for (const char* v : {"5", "7"}) type(QString::fromLatin1(v));
    EXPECT_EQ(amount(5, 3), 12);

    // 数据 › 可变区汇总: every page, the lines whose C is above 6.
    pick(kCmdVarAreaConsolidation, [](QDialog* d) {
        auto* sheet = qobject_cast<CVHuiZongWizardSheet*>(d);
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(sheet->PressNext());
        auto* page = sheet->GetActivePage();
        auto* name = qobject_cast<QComboBox*>(page->GetDlgItem(1019));
        auto* op = qobject_cast<QComboBox*>(page->GetDlgItem(1012));
        auto* value = qobject_cast<QComboBox*>(page->GetDlgItem(1020));
        ASSERT_TRUE(name && op && value);
        name->setCurrentIndex(name->findText(QStringLiteral("V_C")));
        op->setCurrentIndex(op->findText(QStringLiteral(">")));
        value->setEditText(QStringLiteral("6"));
        ASSERT_TRUE(sheet->PressFinish());
    });
    CReportHandle* r = doc->GetReport();
    ASSERT_EQ(r->GetPageCount(), 3);
    EXPECT_EQ(r->GetCurPage(), 3);
    EXPECT_EQ(amount(3, 3), 67);
    EXPECT_EQ(amount(4, 3), 67);  // the page's own total over its line

    const QString rep = qortest::freshDir(QStringLiteral("varconsol")) + QStringLiteral("/consol.rep");
    save(rep);
    EXPECT_EQ(qorOut({QStringLiteral("lines"), rep, QStringLiteral("3")}), QStringLiteral("page 3: 1 line"));
    EXPECT_EQ(StoredValue(rep, 3, 3, 3), QStringLiteral("67"));
    EXPECT_EQ(StoredValue(rep, 3, 4, 3), QStringLiteral("67"));
    EXPECT_EQ(StoredValue(rep, 1, 6, 3), QStringLiteral("60"));
    EXPECT_EQ(StoredValue(rep, 2, 5, 3), QStringLiteral("12"));
}

}  // namespace

// The count and delete dialogs offer and take what the report holds now:
// a count past what still fits is refused in the dialog with the range
// words and the dialog stays open; the arrows bring a count typed past the
// range back to its end; a full table is told before any dialog; every
// number outside the table gets the same words, and a list names pages
// past 9,999.
TEST_F(VarLines, CountsAndListsOfferWhatTheReportHoldsNow) {
    child = newReport();
    doc = child->GetDocument();
    view = child->GetActiveView();
    CReportHandle* r = doc->GetReport();
    uint16_t rows = 9990, cols = 6;
    ASSERT_EQ(r->AccessTableSize(1, &rows, &cols), 0);
    ASSERT_FALSE(doc->IsDataState());
    goTo(1, 1);

    // 追加行…: 9 rows still fit.
    QStringList refusals;
    int refusedOpen = 0;
    QString afterUp, afterDown;
    pick(kCmdAppendRows, [&](QDialog* d) {
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("ctl1000"));
        ASSERT_NE(edit, nullptr);
        messages.clear();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("10"));
        d->findChild<QPushButton*>(QStringLiteral("ctl1"))->click();
        refusals = messages;
        refusedOpen += d->isVisible();
        EXPECT_EQ(edit->selectedText(), QStringLiteral("10"));
        // Typed far past the range, an arrow brings it back to the end.
        QWidget* spin = d->findChild<QWidget*>(QStringLiteral("c1001"));
        ASSERT_NE(spin, nullptr);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("99999"));
        QTest::mouseClick(spin->findChild<QWidget*>(QStringLiteral("up")), Qt::LeftButton);
        afterUp = edit->text();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("99999"));
        QTest::mouseClick(spin->findChild<QWidget*>(QStringLiteral("down")), Qt::LeftButton);
        afterDown = edit->text();
    });
    EXPECT_EQ(refusedOpen, 1);
    EXPECT_EQ(refusals, QStringList{QStringLiteral("“请填入一个在1和9之间的整数。”")});
    EXPECT_EQ(afterUp, QStringLiteral("9"));
    EXPECT_EQ(afterDown, QStringLiteral("9"));
    EXPECT_EQ(r->GetRowCount(), 9999);

    // Full: told at once, no dialog.
    messages.clear();
    shown.clear();
    item(kCmdAppendRows)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u',').toStdString();
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kTableFull)
                                        .arg(9999)
                                        .arg(LoadErrorText(qor::str::kWhatRow))
                                        .arg(9999)});

    // 删除列…: 0 and 10000 are outside the table in the same words.
    QStringList outside;
    pick(kCmdDeleteCols, [&](QDialog* d) {
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("ctl1000"));
        auto* ok = d->findChild<QPushButton*>(QStringLiteral("ctl1"));
        for (const char* typed : {"0", "2,10000"}) {
            messages.clear();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, QString::fromLatin1(typed));
            ok->click();
            outside << messages;
            refusedOpen += d->isVisible();
        }
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("6"));
    });
    const QString col = LoadErrorText(qor::str::kColumnWord);
    EXPECT_EQ(
        outside,
        (QStringList{LoadErrorText(qor::str::kDeleteListOutside).arg(0).arg(col).arg(6),
                     LoadErrorText(qor::str::kDeleteListOutside).arg(10000).arg(col).arg(6)}));
    EXPECT_EQ(refusedOpen, 3);
    EXPECT_EQ(r->GetColCount(), 5);

    const QString dir = qortest::freshDir(QStringLiteral("varcounts"));
    save(dir + QStringLiteral("/table.rep"));
    QString info = qorOut({QStringLiteral("info"), dir + QStringLiteral("/table.rep")});
    EXPECT_TRUE(info.contains(QStringLiteral("9999 rows, 5 columns"))) << info.toStdString();

    // 删除表页… names a page past 9,999.
    rows = 4;
    cols = 3;
    ASSERT_EQ(r->AccessTableSize(1, &rows, &cols), 0);
    ASSERT_EQ(r->AppendRowColPage(10001 - r->GetPageCount(), 2), 0);
    doc->SyncPagesFromReport();
    pick(kCmdDeletePages, list(QStringLiteral("10001,3")));
    EXPECT_EQ(r->GetPageCount(), 9999);
    save(dir + QStringLiteral("/table.rep"));  // saved under its name
    info = qorOut({QStringLiteral("info"), dir + QStringLiteral("/table.rep")});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("pages:\\s+9999\n"))))
        << info.toStdString();
}

// The row just after the lines is no line: 插入行, 追加行 and 删除行 are all
// greyed there with the reason, on the menu bar and on the cell menu, and
// the lines and the total below them stay as they were.
TEST_F(VarLines, TheRowJustAfterTheLinesTakesNoLineCommand) {
    openReport(8, 4, 1, 3, 8, {{CellArea::cell(4, 3), QStringLiteral("GTOTAL(V_C)")}});
    goTo(3, 3);
    pick(kCmdAppendRows, count(2));
    goTo(3, 3);
    for (const char* v : {"1", "2", "3"}) type(QString::fromLatin1(v));
    const QString reason = LoadErrorText(qor::str::kCellNotOnVarLine);
    goTo(6, 3);
    QMenu* menu = rightClick(6, 3);
    ASSERT_NE(menu, nullptr);
    for (int id : {kCmdInsertRows, kCmdAppendRows, kCmdDeleteRows}) {
        EXPECT_FALSE(menuItem(menu, id)->isEnabled()) << id;
        EXPECT_EQ(menuItem(menu, id)->statusTip(), reason) << id;
        QAction* a = item(id);
        EXPECT_FALSE(a->isEnabled()) << id;
        EXPECT_EQ(a->statusTip(), reason) << id;
    }
    close(menu);
    EXPECT_EQ(linesUsed(), 3);
    EXPECT_EQ(amount(6, 3), 6);
}
