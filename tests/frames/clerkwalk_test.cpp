// A clerk's whole job in the real main window, from menus and keys alone:
// every step is reached through the menu bar's actions or key presses, every
// dialog that opens is answered through its own controls, each step leaves
// a picture in artifacts/clerk-walk, and nothing on the screen is English.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <iostream>

#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "engine/workfiles.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/ccmdbar.h"
#include "frames/coleinplaceframe.h"
#include "frames/commandrouter.h"
#include "frames/inplacesession.h"
#include "frames/desktop.h"
#include "platform/uiservices.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/inplace_support.h"
#include "tests/frames/stored_value.h"
#include "view/celleditor.h"
#include "view/cqorsview.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

// Words that may stand on a Chinese screen: units, file types and key names.
bool allowedWord(const QString& w) {
    static const QStringList ok = {
        QStringLiteral("PDF"),     QStringLiteral("XML"),    QStringLiteral("HTML"),
        QStringLiteral("Ctrl"),    QStringLiteral("Shift"),  QStringLiteral("Alt"),
        QStringLiteral("Enter"),   QStringLiteral("Del"),    QStringLiteral("Tab"),
        QStringLiteral("PgUp"),    QStringLiteral("PgDn"),   QStringLiteral("Esc"),
        QStringLiteral("Home"),    QStringLiteral("End"),    QStringLiteral("Excel"),
        QStringLiteral("Ins"),     QStringLiteral("Insert"), QStringLiteral("Delete"),
        QStringLiteral("qorview"), QStringLiteral("qor"),    QStringLiteral("Vantix"),
        QStringLiteral("PTOTAL"),
    };
    if (ok.contains(w, Qt::CaseInsensitive)) return true;
    // Short capitals are cell names, function names and paper sizes.
    if (w.size() <= 3) return true;
    return w == w.toUpper();
}

// The English words of a text; file names, paths and numbers left aside.
QStringList englishWords(const QString& text) {
    QStringList out;
    static const QRegularExpression token(QStringLiteral("[^\\s]+"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const QString t = it.next().captured(0);
        if (t.contains(u'/') || t.contains(u'.') || t.contains(u'\\')) continue;
        for (auto w = word.globalMatch(t); w.hasNext();) {
            const QString found = w.next().captured(0);
            if (!allowedWord(found)) out << found;
        }
    }
    return out;
}

}  // namespace

class ClerkWalk : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = qortest::artifactPath(QStringLiteral("clerk-walk"));
        QDir(m_dir).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(m_dir));
        m_work = qortest::freshDir(QStringLiteral("出纳"));
        // Whatever the program puts in the home folder stays in the test's.
        m_home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_work));
        m_previous = qor::uiServices();
        DesktopOptions options;  // real message boxes, file dialogs and Qt in Chinese
        frame = SetUpDesktop(options);
        frame->resize(1100, 720);
        frame->show();
        frame->activateWindow();
        QApplication::processEvents();
        m_modal.setInterval(30);
        QObject::connect(&m_modal, &QTimer::timeout, [this] { answerModal(); });
        m_modal.start();
    }
    void TearDown() override {
        m_modal.stop();
        for (CChildFrame* c : frame ? frame->Children() : QList<CChildFrame*>{})
            c->GetDocument()->SetModifiedFlag(false);
        frame.reset();
        qor::installUiServices(m_previous);
        qputenv("HOME", m_home);
    }

    // The menu bar's action of a command; it must be shown and on.
    QAction* action(int id) {
        QList<QMenu*> menus;
        for (QAction* top : frame->menuBar()->actions())
            if (top->menu()) menus << top->menu();
        while (!menus.isEmpty()) {
            QMenu* m = menus.takeFirst();
            emit m->aboutToShow();
            for (QAction* a : m->actions()) {
                if (a->menu()) menus << a->menu();
                if (CommandRouter::CommandId(a) == id) return a;
            }
        }
        return nullptr;
    }

    // Chooses a menu item; the dialogs it opens are answered in order.
    void choose(int id, std::deque<std::function<void(QWidget*)>> answers = {}) {
        QAction* a = action(id);
        ASSERT_TRUE(a) << id << " is not in the menus";
        frame->Router().Update(a);
        ASSERT_TRUE(a->isEnabled()) << id << " is off: " << a->statusTip().toStdString();
        m_answers = std::move(answers);
        a->trigger();
        settle();
        // Back in the window a dialog left, as after a click.
        frame->activateWindow();
        if (!QApplication::focusWidget() && frame->ActiveView()) frame->ActiveView()->setFocus();
        EXPECT_TRUE(m_answers.empty())
            << id << ": " << m_answers.size() << " dialog(s) did not open";
        m_answers.clear();
    }

    // Typed one character at a time into whatever has the focus; Chinese
    // arrives as an input method hands it over, as text without a key code.
    void keys(QWidget* to, const QString& text) {
        for (QChar c : text) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : to;
            if (c.unicode() < 128) {
                QTest::keyClick(target, c.toLatin1());
            } else {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(target, &press);
                QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(target, &release);
            }
            QApplication::processEvents();
        }
        settle();
    }
    void key(QWidget* to, int k, Qt::KeyboardModifiers mods = Qt::NoModifier,
             std::deque<std::function<void(QWidget*)>> answers = {}) {
        m_answers = std::move(answers);
        QTest::keyClick(to, Qt::Key(k), mods);
        settle();
        EXPECT_TRUE(m_answers.empty()) << "key " << k << ": a dialog did not open";
        m_answers.clear();
    }

    void settle(int ms = 60) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    // Every text a widget shows, checked for English.
    void checkTexts(QWidget* top, const QString& where) {
        QStringList texts;
        texts << top->windowTitle();
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text();
            if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text();
            if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
            if (auto* t = qobject_cast<QTabBar*>(w))
                for (int i = 0; i < t->count(); ++i) texts << t->tabText(i);
            if (w->isWindow()) texts << w->windowTitle();
            // Lists and tables: what their rows show (a file dialog's types).
            if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
                const QModelIndex root = v->rootIndex();
                for (int r = 0; r < std::min(v->model()->rowCount(root), 50); ++r)
                    for (int c = 0; c < v->model()->columnCount(root); ++c)
                        texts << v->model()->index(r, c, root).data().toString();
            }
            for (QAction* a : w->actions()) texts << a->text();
            // The menus' items and what the status line says of each.
            if (auto* bar = qobject_cast<QMenuBar*>(w)) {
                QList<QAction*> items = bar->actions();
                while (!items.isEmpty()) {
                    QAction* a = items.takeFirst();
                    texts << a->text() << a->statusTip() << a->toolTip();
                    if (a->menu()) items << a->menu()->actions();
                }
            }
        }
        for (const QString& t : texts) {
            QString plain = t;
            plain.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            const QStringList words = englishWords(plain);
            if (!words.isEmpty()) english << QStringLiteral("%1: \"%2\"").arg(where, t);
        }
    }

    // The picture of a step, and its texts checked.
    void shot(const QString& name, QWidget* w = nullptr) {
        if (!w) w = frame.get();
        settle();
        w->grab().save(m_dir + u'/' + name + QStringLiteral(".png"));
        checkTexts(w, name);
        if (w != frame.get()) checkTexts(frame.get(), name);
        shots << name;
    }

    void answerModal() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == m_handled) return;
        m_handled = w;
        if (m_answers.empty()) {
            unexpected << QStringLiteral("%1 \"%2\"")
                              .arg(QString::fromLatin1(w->metaObject()->className()),
                                   w->windowTitle());
            if (auto* box = qobject_cast<QMessageBox*>(w)) unexpected.last() += u' ' + box->text();
            w->grab().save(m_dir + QStringLiteral("/unexpected-%1.png").arg(unexpected.size()));
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            return;
        }
        auto answer = std::move(m_answers.front());
        m_answers.pop_front();
        // Acted on after this tick, so a box the dialog raises in turn is
        // answered by the next one.
        QTimer::singleShot(0, w, [w, answer] { answer(w); });
    }

    std::unique_ptr<CMainFrame> frame;
    QStringList english;     // texts with English words, by step
    QStringList unexpected;  // dialogs nobody expected
    QStringList shots;
    QString m_dir, m_work;

private:
    QTimer m_modal;
    QPointer<QWidget> m_handled;
    std::deque<std::function<void(QWidget*)>> m_answers;
    qor::UiServices m_previous;
    QByteArray m_home;
};

namespace {

template <class T>
T* ctl(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

QPushButton* buttonNamed(QWidget* w, const QString& text) {
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->isVisible() && b->text().remove(u'&').startsWith(text)) return b;
    return nullptr;
}

}  // namespace

TEST_F(ClerkWalk, AReportFromNewToReopenedByMenusAndKeys) {
    // Answers a dialog: its picture, then what the clerk does in it.
    auto answer = [this](const QString& name, std::function<void(QWidget*)> act) {
        return [this, name, act](QWidget* w) {
            shot(name, w);
            act(w);
        };
    };
    auto press = [](const char* ok) {
        return [ok](QWidget* w) {
            if (QPushButton* b = buttonNamed(w, QString::fromUtf8(ok)))
                b->click();
            else if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
        };
    };
    // A file dialog given a full path.
    auto file = [this](const QString& name, const QString& path) {
        return [this, name, path](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (auto* b = qobject_cast<QMessageBox*>(w)) {
                ADD_FAILURE() << "a box instead of a file dialog: " << b->text().toStdString();
                b->reject();
                return;
            }
            ASSERT_TRUE(d) << w->metaObject()->className();
            auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_TRUE(edit);
            edit->setText(path);
            shot(name, w);
            static_cast<QDialog*>(d)->accept();
        };
    };
    auto box = [this](const QString& name, QStringList* said) {
        return [this, name, said](QWidget* w) {
            shot(name, w);
            auto* b = qobject_cast<QMessageBox*>(w);
            ASSERT_TRUE(b) << w->metaObject()->className();
            if (said) *said << b->text();
            b->defaultButton() ? b->defaultButton()->click() : b->accept();
        };
    };
    CQorsView* view = nullptr;
    auto focus = [&view]() -> QWidget* {
        return QApplication::focusWidget() ? QApplication::focusWidget() : view;
    };
    auto typeCell = [&](const QString& text) {
        keys(focus(), text);
        key(focus(), Qt::Key_Return);
    };

    // 1. A new report, its size, texts, a number area with a total.
    choose(kCmdFileNew);
    shot(QStringLiteral("01-new-report"));
    CChildFrame* child = frame->ActiveChild();
    ASSERT_TRUE(child);
    CQorsDoc* doc = child->GetDocument();
    view = child->GetActiveView();
    choose(kCmdTableSize, {answer(QStringLiteral("02-table-size"), [](QWidget* w) {
               ctl<QLineEdit>(w, "c1000")->setText(QStringLiteral("7"));
               ctl<QLineEdit>(w, "c1004")->setText(QStringLiteral("3"));
               ctl<QPushButton>(w, "c1")->click();
           })});
    int32_t rows = 0, cols = 0;
    doc->GetPageTableSize(&rows, &cols);
    EXPECT_EQ(rows, 7);
    EXPECT_EQ(cols, 3);
    view->setFocus();
    key(view, Qt::Key_Home, Qt::ControlModifier);
    key(view, Qt::Key_Down);
    for (const char* t : {"项目", "现金", "银行存款", "应收账款", "合计"})
        typeCell(QString::fromUtf8(t));
    key(view, Qt::Key_Home, Qt::ControlModifier);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Right);
    typeCell(QStringLiteral("本月数"));
    // B3:B6 become number cells with two decimals.
    key(view, Qt::Key_Down, Qt::ShiftModifier);
    key(view, Qt::Key_Down, Qt::ShiftModifier);
    key(view, Qt::Key_Down, Qt::ShiftModifier);
    shot(QStringLiteral("03-texts-and-selection"));
    choose(kCmdCellAttributes, {answer(QStringLiteral("04-cell-attributes"), [](QWidget* w) {
               ctl<QListWidget>(w, "ctl2007")->setCurrentRow(0);
               ctl<QCheckBox>(w, "ctl2027")->setChecked(true);
               ctl<QSpinBox>(w, "ctl2057")->setValue(2);
               buttonNamed(w, QStringLiteral("确定"))->click();
           })});
    key(view, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 5; ++i) key(view, Qt::Key_Down);
    key(view, Qt::Key_Right);
    // "=" on a cell in format state opens the formula dialog.
    key(view, Qt::Key_Equal, Qt::NoModifier,
        {answer(QStringLiteral("05-cell-formula"), [](QWidget* w) {
            ctl<QLineEdit>(w, "ctl1000")->setText(QStringLiteral("PTOTAL(B3:B5)"));
            ctl<QPushButton>(w, "ctl1")->click();
        })});
    QString formula;
    EXPECT_TRUE(doc->GetCellFormula(5, 1, &formula));
    EXPECT_TRUE(formula.contains(QStringLiteral("PTOTAL"))) << formula.toStdString();
    // 2. The unit's name as the page's keyword, in A1.
    key(view, Qt::Key_Home, Qt::ControlModifier);
    choose(kCmdSetKeyword, {answer(QStringLiteral("06-set-keyword"), [](QWidget* w) {
               ctl<QRadioButton>(w, "c1006")->setChecked(true);
               ctl<QPushButton>(w, "c1")->click();
           })});
    shot(QStringLiteral("07-format-done"));

    // 3. Data state: the first unit's numbers and its name.
    key(view, Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(doc->IsDataState());
    key(view, Qt::Key_Home, Qt::ControlModifier);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Right);
    for (const char* v : {"80000.50", "1200", "300.25"}) typeCell(QString::fromLatin1(v));
    choose(kCmdEnterKeyword, {answer(QStringLiteral("08-enter-keyword"), [](QWidget* w) {
               ctl<QLineEdit>(w, "c1051")->setText(QStringLiteral("北京分公司"));
               ctl<QPushButton>(w, "c1")->click();
           })});
    shot(QStringLiteral("09-first-page"));
    double total = 0;
    EXPECT_TRUE(doc->GetNumCellValue(5, 1, &total));
    EXPECT_DOUBLE_EQ(total, 81500.75);

    // 4. A second page for the second unit; Ctrl+PgDn goes there.
    choose(kCmdAppendPages, {answer(QStringLiteral("10-append-page"), press("确定"))});
    key(view, Qt::Key_Home, Qt::ControlModifier);
    key(view, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(doc->ViewState().curPage, 2);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Right);
    for (const char* v : {"100", "200", "300"}) typeCell(QString::fromLatin1(v));
    choose(kCmdEnterKeyword, {answer(QStringLiteral("11-enter-keyword-2"), [](QWidget* w) {
               ctl<QLineEdit>(w, "c1051")->setText(QStringLiteral("上海分公司"));
               ctl<QPushButton>(w, "c1")->click();
           })});
    shot(QStringLiteral("12-second-page"));

    // 5. The total of both pages on a new last page.
    QStringList said;
    choose(kCmdPageConsolidation, {answer(QStringLiteral("13-page-total"), press("完成"))});
    shot(QStringLiteral("14-total-page"));
    EXPECT_EQ(doc->ViewState().pageCount, 3);

    // 6. A chart of the first page's items.
    key(view, Qt::Key_PageUp, Qt::ControlModifier);
    key(view, Qt::Key_PageUp, Qt::ControlModifier);
    // The heading row names the series.
    key(view, Qt::Key_Home, Qt::ControlModifier);
    key(view, Qt::Key_Down);
    for (int i = 0; i < 3; ++i) key(view, Qt::Key_Down, Qt::ShiftModifier);
    key(view, Qt::Key_Right, Qt::ShiftModifier);
    // The items stand in a column: one series by columns.
    // Ctrl+F2 makes a chart of the selection.
    key(view, Qt::Key_F2, Qt::ControlModifier, {answer(QStringLiteral("15-chart"), [](QWidget* w) {
            for (QRadioButton* b : w->findChildren<QRadioButton*>())
                if (b->text() == QStringLiteral("列")) b->setChecked(true);
            buttonNamed(w, QStringLiteral("确定"))->click();
        })});
    shot(QStringLiteral("16-chart-on-page"));
    // The chart is left selected; Esc goes back to the cells and their menus.
    key(focus(), Qt::Key_Escape);
    shot(QStringLiteral("17-chart-left-with-esc"));

    // 7. Printed to a PDF file, exported, saved.
    // Without a printer the dialog proposes a file named after the report
    // (home, as it has no file yet): 打印 as it stands prints there.
    const QString pdf = m_work + QStringLiteral("/无标题.pdf");
    QString proposed;
    choose(kCmdPrint, {answer(QStringLiteral("18-print-to-pdf"), [&proposed](QWidget* w) {
               proposed = ctl<QLineEdit>(w, "filename")->text();
               buttonNamed(w, QStringLiteral("打印"))->click();
           })});
    EXPECT_EQ(proposed, pdf);
    EXPECT_TRUE(QFile::exists(pdf));
    const QString rep = m_work + QStringLiteral("/月报.rep");
    choose(kCmdFileSaveAs, {file(QStringLiteral("19-save-as"), rep)});
    shot(QStringLiteral("20-saved"));
    choose(kCmdExportText, {answer(QStringLiteral("21-export-text"),
                          [](QWidget* w) {
                              ctl<QLineEdit>(w, "c1160")->setText(QStringLiteral("报表"));
                              ctl<QPushButton>(w, "c1")->click();
                          }),
                   box(QStringLiteral("22-export-done"), &said)});
    const QString xml = m_work + QStringLiteral("/月报.xml");
    choose(kCmdExportXml, {answer(QStringLiteral("23-xml-settings"),
                          [this](QWidget* w) { buttonNamed(w, QStringLiteral("确定"))->click(); }),
                   box(QStringLiteral("24-xml-done"), &said)});
    EXPECT_TRUE(QFile::exists(rep));
    // The export lands beside the saved report.
    const QString txt = m_work + QStringLiteral("/报表.txt");
    EXPECT_TRUE(QFile::exists(txt));
    EXPECT_TRUE(QFile::exists(xml));

    // 8. Closed and opened again: every value is back.
    choose(kCmdFileClose);
    EXPECT_TRUE(frame->Children().isEmpty());
    choose(kCmdFileOpen, {file(QStringLiteral("25-open"), rep)});
    shot(QStringLiteral("26-reopened"));
    ASSERT_TRUE(frame->ActiveChild());
    doc = frame->ActiveDocument();
    EXPECT_EQ(doc->ViewState().pageCount, 3);
    const double expected[3][4] = {{80000.50, 1200, 300.25, 81500.75},
                                   {100, 200, 300, 600},
                                   {80100.50, 1400, 600.25, 82100.75}};
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(doc->SetCurrentPage(page));
        for (int r = 0; r < 4; ++r) {
            double v = 0;
            EXPECT_TRUE(doc->GetNumCellValue(2 + r, 1, &v)) << page << ":" << r;
            EXPECT_DOUBLE_EQ(v, expected[page - 1][r]) << "page " << page << " row " << r + 3;
        }
    }
    ASSERT_TRUE(doc->SetCurrentPage(2));
    EXPECT_TRUE(doc->GetKeywordDisplayText(0, true).contains(QStringLiteral("上海分公司")))
        << doc->GetKeywordDisplayText(0, true).toStdString();
    EXPECT_GE(doc->Items().GetChartCount(), 1);

    // 9. The amounts once more on the first page. Letters over an amount
    // are refused where the clerk looks and Enter keeps the amount; a minus
    // inside a number is refused and Enter stores what the editor showed.
    child = frame->ActiveChild();
    view = child->GetActiveView();
    view->setFocus();
    if (!doc->IsDataState()) key(view, Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(doc->IsDataState());
    for (int i = 0; i < 3 && doc->ViewState().curPage > 1; ++i)
        key(view, Qt::Key_PageUp, Qt::ControlModifier);
    ASSERT_EQ(doc->ViewState().curPage, 1);
    key(view, Qt::Key_Home, Qt::ControlModifier);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Down);
    key(view, Qt::Key_Right);
    keys(focus(), QStringLiteral("abc"));
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(),
              LoadErrorText(qor::str::kRefusedKey).arg(QStringLiteral("c")).toStdString());
    shot(QStringLiteral("qorview-walk-29-letters-refused"));
    key(focus(), Qt::Key_Return);
    double amount = 0;
    EXPECT_TRUE(doc->GetNumCellValue(2, 1, &amount));
    EXPECT_DOUBLE_EQ(amount, 80000.50);
    CCellEdit* editor = view->CellEdit().CellEditor();
    keys(focus(), QStringLiteral("1-2"));
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(),
              LoadErrorText(qor::str::kRefusedKey).arg(QStringLiteral("-")).toStdString());
    EXPECT_TRUE(editor->isVisible());
    const QString shown = editor->text();
    EXPECT_EQ(shown, QStringLiteral("12"));
    shot(QStringLiteral("qorview-walk-30-minus-refused"));
    key(focus(), Qt::Key_Return);
    key(focus(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 3, 2), QStringLiteral("80000.5"));
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), shown);
    EXPECT_EQ(frametest::StoredValue(rep, 1, 6, 2), QStringLiteral("80312.75"));

    // 10. A line of the command window changes the report: closing it by
    // the menu asks about saving, and 是 saves the line's value.
    choose(kCmdCommandWindow);
    CCmdEdit* line = frame->CmdBar()->Edit();
    ASSERT_TRUE(line->isVisible());
    QTest::mouseClick(line, Qt::LeftButton);
    keys(line, QStringLiteral("LET C4 = 7"));
    key(line, Qt::Key_Return);
    EXPECT_TRUE(doc->IsModified());
    shot(QStringLiteral("qorview-walk-31-command-window-let"));
    QStringList asked;
    choose(kCmdFileClose, {box(QStringLiteral("qorview-walk-32-save-question"), &asked)});
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("月报.rep")) &&
                asked[0].contains(QStringLiteral("保存")))
        << asked[0].toStdString();
    EXPECT_TRUE(frame->Children().isEmpty());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 3), QStringLiteral("7"));

    // 11. Saved again as a workbook: the box lists what a workbook cannot
    // hold (the total's formula, the keywords shown in cells, the chart of
    // the first page), in Chinese like every other text.
    choose(kCmdFileOpen, {file(QStringLiteral("qorview-walk-33-open-again"), rep)});
    ASSERT_TRUE(frame->ActiveChild());
    doc = frame->ActiveDocument();
    const QString xlsx = m_work + QStringLiteral("/月报.xlsx");
    QStringList lost;
    choose(kCmdFileSaveAs, {file(QStringLiteral("27-save-as-xlsx"), xlsx),
                   box(QStringLiteral("qorview-walk-34-xlsx-loss-box"), &lost)});
    EXPECT_TRUE(QFile::exists(xlsx));
    const QString box34 = lost.join(u'\n');
    EXPECT_TRUE(box34.startsWith(LoadErrorText(qor::str::kLeftOutHeading))) << box34.toStdString();
    EXPECT_TRUE(box34.contains(LoadErrorText(qor::str::kLossCharts))) << box34.toStdString();
    // The chart goes by the name the open-chart list shows.
    QString chartName;
    for (CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos(); pos && chartName.isEmpty();)
        if (auto* chart = dynamic_cast<const CGraphItem*>(doc->Items().GetNextComItem(pos)))
            chartName = chart->GetChartDesc().GetText(qor::items::ChartDesc::kNameText);
    ASSERT_FALSE(chartName.isEmpty());
    EXPECT_TRUE(box34.contains(LoadErrorText(qor::str::kItemOnPage).arg(1).arg(chartName)))
        << box34.toStdString();

    // 12. Ctrl+P while a report embedded in another is edited in place
    // prints nothing: no print dialog opens and no PDF is written.
    const QString outer = frametest::MakeContainerReport(m_work);
    choose(kCmdFileOpen, {file(QStringLiteral("qorview-walk-35-open-container"), outer)});
    CChildFrame* container = frame->ActiveChild();
    ASSERT_TRUE(container);
    ASSERT_EQ(container->GetDocument()->GetPathName(), outer);
    COleItem* object = frametest::FirstObject(*container->GetDocument());
    ASSERT_TRUE(object);
    frametest::DoubleClickItem(container->GetActiveView(), object);
    settle();
    ASSERT_TRUE(CInPlaceSession::Current());
    QWidget* sheet = CInPlaceSession::Current()->Frame()->GetActiveView();
    sheet->setFocus();
    const auto pdfs = [this] {
        const QStringList pdf{QStringLiteral("*.pdf")};
        return QDir(m_work).entryList(pdf) + QDir(qor::WorkFolder()).entryList(pdf);
    };
    const QStringList pdfsBefore = pdfs();
    const qsizetype unexpectedBefore = unexpected.size();
    key(sheet, Qt::Key_P, Qt::ControlModifier);
    shot(QStringLiteral("qorview-walk-36-ctrl-p-in-place"));
    EXPECT_EQ(unexpected.size(), unexpectedBefore) << unexpected.join(u'\n').toStdString();
    EXPECT_EQ(pdfs(), pdfsBefore);
    EXPECT_TRUE(CInPlaceSession::Current());
    CInPlaceSession::Current()->Deactivate();
    settle();

    // The PDF holds the first page's texts and numbers as text.
    if (qortest::needProgram(QStringLiteral("pdftotext"))) {
        const QString text = QString::fromUtf8(
            qortest::run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).out);
        for (const char* want : {"北京分公司", "现金", "银行存款", "80,000.50", "81,500.75"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(want))) << want << " not in the PDF:\n"
                                                                << text.toStdString();
    }
    // Every box said what it did and where.
    EXPECT_TRUE(said.join(u'\n').contains(txt)) << said.join(u'\n').toStdString();
    EXPECT_TRUE(said.join(u'\n').contains(xml)) << said.join(u'\n').toStdString();
    EXPECT_TRUE(english.isEmpty()) << english.join(u'\n').toStdString();
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join(u'\n').toStdString();
}
