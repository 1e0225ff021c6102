// An answer given in an exit that was then cancelled holds for that exit
// only: the shown message boxes answered with real keys, and what a report
// keeps read back from its saved file.
#include <QApplication>
#include <QMdiArea>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>

#include "frame_fixture.h"
#include "engine/messages.h"
#include "frames/widgetui.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/stored_value.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

class ExitAnswers : public frametest::FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        // The boxes are the real ones; the fixture's answerer keeps off them.
        answerDialogs = false;
        m_boxes.setInterval(20);
        QObject::connect(&m_boxes, &QTimer::timeout, [this] { answerBox(); });
        m_boxes.start();
    }
    void TearDown() override {
        m_boxes.stop();
        FrameFixture::TearDown();
    }

    // A report saved as path in data state, with B2 = 100.
    CChildFrame* savedReport(const QString& path) {
        CChildFrame* child = newReport();
        CQorsView* view = child->GetActiveView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
        EXPECT_TRUE(child->GetDocument()->IsDataState());
        type(child, 2, 2, "100");
        files = {path};
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        QApplication::processEvents();
        EXPECT_FALSE(child->GetDocument()->IsModified());
        return child;
    }
    void type(CChildFrame* child, int row, int col, const char* text) {
        // Back in the main window once a box has gone, as after a click.
        frame->activateWindow();
        QApplication::processEvents();
        frame->MdiArea()->setActiveSubWindow(child);
        CQorsView* view = child->GetActiveView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        for (int r = 1; r < row; ++r) QTest::keyClick(view, Qt::Key_Down);
        for (int c = 1; c < col; ++c) QTest::keyClick(view, Qt::Key_Right);
        for (const char* c = text; *c; ++c) {
            QWidget* w = QApplication::focusWidget();
            QTest::keyClick(w ? w : view, *c);
        }
        QWidget* w = QApplication::focusWidget();
        QTest::keyClick(w ? w : view, Qt::Key_Return);
        QApplication::processEvents();
    }
    // The key for the next box whose text holds `about`.
    void expectBox(const QString& about, int key) { m_keys.push_back({about, key}); }
    void pick(int id) {
        frame->UpdateFrameState();
        QAction* a = frametest::menuBarItem(frame->menuBar(), id);
        ASSERT_NE(a, nullptr) << id;
        a->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(m_keys.empty()) << m_keys.size() << " box(es) did not show, the first about "
                                    << m_keys.front().first.toStdString();
        m_keys.clear();
    }

    QStringList shown;  // the texts of the boxes, in order

private:
    void answerBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == m_answered) return;
        m_answered = box;
        shown << box->text();
        if (m_keys.empty() || !box->text().contains(m_keys.front().first)) {
            ADD_FAILURE() << "a box nobody expected: " << box->text().toStdString();
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        const int key = m_keys.front().second;
        m_keys.pop_front();
        QTest::keyClick(box, Qt::Key(key));
    }

    QTimer m_boxes;
    QPointer<QMessageBox> m_answered;
    std::deque<std::pair<QString, int>> m_keys;
};

}  // namespace

TEST_F(ExitAnswers, ACancelledExitForgetsItsAnswersAndTheNextOneAsksAgain) {
    const QString w3 = qortest::testDir() + QStringLiteral("/w3.rep");
    const QString w1 = qortest::testDir() + QStringLiteral("/w1.rep");
    CChildFrame* c3 = savedReport(w3);
    CChildFrame* c1 = savedReport(w1);
    qor::frames::InstallWidgetUiServices();
    type(c3, 3, 2, "333");
    type(c1, 3, 2, "111");

    // 退出: 否 for w3, then 取消 for w1: both stay, nothing is saved.
    const QString confirm = LoadErrorText(qor::str::kConfirmExit);
    expectBox(confirm, Qt::Key_Return);
    // The window asks in the order the reports were opened.
    ASSERT_EQ(frame->Children().first(), c3);
    expectBox(QStringLiteral("w3.rep"), Qt::Key_N);
    expectBox(QStringLiteral("w1.rep"), Qt::Key_Escape);
    pick(kCmdAppExit);
    ASSERT_EQ(frame->Children().size(), 2);
    EXPECT_EQ(frametest::StoredValue(w3, 1, 3, 2), QStringLiteral("0"));

    // 关闭 on w3 asks again; cancelled, it stays.
    frame->MdiArea()->setActiveSubWindow(c3);
    expectBox(QStringLiteral("w3.rep"), Qt::Key_Escape);
    pick(kCmdFileClose);
    ASSERT_EQ(frame->Children().size(), 2);

    // A new entry in w3, w1 saved, and 退出 again: w3 is asked about, and
    // 是 keeps both its entries.
    type(c3, 4, 2, "444");
    frame->MdiArea()->setActiveSubWindow(c1);
    pick(kCmdFileSave);
    ASSERT_FALSE(c1->GetDocument()->IsModified());
    shown.clear();
    expectBox(confirm, Qt::Key_Return);
    expectBox(QStringLiteral("w3.rep"), Qt::Key_Y);
    pick(kCmdAppExit);
    EXPECT_EQ(shown.size(), 2);
    EXPECT_TRUE(frame->Children().isEmpty());
    EXPECT_EQ(frametest::StoredValue(w3, 1, 3, 2), QStringLiteral("333"));
    EXPECT_EQ(frametest::StoredValue(w3, 1, 4, 2), QStringLiteral("444"));
    EXPECT_EQ(frametest::StoredValue(w1, 1, 3, 2), QStringLiteral("111"));
}
