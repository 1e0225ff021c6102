// The transfer windows as a user reaches them in qorview: 文件 › 邮件 and
// MAIL in the command window, off while a window is open, and the main
// window closing without waiting once it is gone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <functional>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "engine/messages.h"
#include "finui/mailtransfer.h"
#include "frames/ccmdbar.h"
#include "frames/cmainframe.h"
#include "frames/desktop.h"
#include "platform/registry.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "frames/commandrouter.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::cmd_ids;

namespace {

QDialog* openTransferWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if ((dynamic_cast<qor::mail::CSendFileDlg*>(w) ||
             dynamic_cast<qor::mail::CAcceptFileDlg*>(w)) &&
            w->isVisible())
            return static_cast<QDialog*>(w);
    return nullptr;
}

void closeAndSettle(QDialog* d) {
    d->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The transport loaded as qorview loads it; every message box answered
// and its text kept.
class MailMenu : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("QOR_MAIL_LIBRARY_DIR",
                QFile::encodeName(QFileInfo(QStringLiteral(QOR_VTMAIL8_PATH)).absolutePath()));
        qor::UiServices ui;
        ui.messageBox = [this](const qor::MessageRequest& r) {
            told << r.text;
            return qor::MsgAnswer::Ok;
        };
        m_previous = qor::installUiServices(ui);
    }
    void TearDown() override {
        qor::installUiServices(m_previous);
        qunsetenv("QOR_MAIL_LIBRARY_DIR");
    }
    QStringList told;

private:
    qor::UiServices m_previous;
};

TEST_F(MailMenu, TransferWindowsComeFromTheMenuAndTheCommandWindow) {
    {
        auto frame = qor::frames::SetUpDesktop({false, false, false});
        frame->show();
        frame->NewDocument();  // the command window runs lines on a report
        auto& router = frame->Router();
        EXPECT_TRUE(router.Query(kCmdMailSend).enabled);
        EXPECT_TRUE(router.Query(kCmdMailReceive).enabled);
        EXPECT_TRUE(router.Query(kCmdMailSetup).enabled);

        ASSERT_TRUE(router.Execute(kCmdMailSend));
        QDialog* send = openTransferWindow();
        ASSERT_NE(send, nullptr);
        EXPECT_FALSE(MailThreadEvent().IsSet());
        EXPECT_FALSE(router.Query(kCmdMailSend).enabled);
        EXPECT_FALSE(router.Query(kCmdMailReceive).enabled);
        EXPECT_FALSE(router.Query(kCmdMailSetup).enabled);
        // A second start from the command window is refused while it is open.
        EXPECT_NE(frame->CmdBar()->RunLine(QStringLiteral("MAIL A")), 0);
        closeAndSettle(send);
        EXPECT_TRUE(MailThreadEvent().IsSet());

        EXPECT_EQ(frame->CmdBar()->RunLine(QStringLiteral("MAIL A")), 0);
        QDialog* receive = openTransferWindow();
        ASSERT_NE(receive, nullptr);
        EXPECT_TRUE(dynamic_cast<qor::mail::CAcceptFileDlg*>(receive));
        closeAndSettle(receive);

        // 设置 edits the transport's folders and mailbox.
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "vtmailSetup" && w->isVisible()) {
                    w->findChild<QLineEdit*>("Mailbox")->setText("shanghai");
                    static_cast<QDialog*>(w)->accept();
                }
        });
        ASSERT_TRUE(router.Execute(kCmdMailSetup));
        EXPECT_EQ(qor::Registry::readString(QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail"),
                                            QStringLiteral("Mailbox")),
                  "shanghai");
        // Without the library MAIL P says so.
        qputenv("QOR_MAIL_LIBRARY_DIR", "/nonexistent");
        EXPECT_NE(frame->CmdBar()->RunLine(QStringLiteral("MAIL P")), 0);
        EXPECT_TRUE(told.contains(LoadErrorText(qor::str::kMailDllNotInstalled)));
        EXPECT_TRUE(MailThreadEvent().IsSet());

        // Nothing holds the exit any more.
        EXPECT_TRUE(router.Query(kCmdMailSend).enabled);
        EXPECT_TRUE(frame->close());
    }
}

TEST_F(MailMenu, ASendSaysWhatWentAndWhere) {
    const QString dir = qortest::freshDir(QStringLiteral("mail-told"));
    const QString key = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail");
    qor::Registry::writeString(key, "DiskFolder", dir + "/disk");
    qor::Registry::writeString(key, "PostOffice", dir + "/post");
    const QString report = dir + QStringLiteral("/月报.rep");
    qortest::writeFile(report, QByteArray("report bytes"));
    {
        auto frame = qor::frames::SetUpDesktop({false, false, false});
        frame->show();
        frame->UpdateFrameState();
        QAction* send = frametest::menuBarItem(frame->menuBar(), kCmdMailSend);
        ASSERT_NE(send, nullptr);
        ASSERT_TRUE(send->isEnabled());
        send->trigger();
        auto* window = dynamic_cast<qor::mail::CSendFileDlg*>(openTransferWindow());
        ASSERT_NE(window, nullptr);
        window->AddFiles({report});
        // To a post-office mailbox: the method and the address are named.
        QTest::mouseClick(window->findChild<QRadioButton*>("method1"), Qt::LeftButton);
        auto* address = window->findChild<QLineEdit*>("address");
        address->setFocus();
        QTest::keyClicks(address, QStringLiteral("shanghai"));
        QTest::mouseClick(window->findChild<QPushButton*>("send"), Qt::LeftButton);
        EXPECT_EQ(told,
                  QStringList{LoadErrorText(qor::str::kMailSent)
                                  .arg(1)
                                  .arg(QStringLiteral("邮局信箱"), QStringLiteral("shanghai"))});
        // Into the disk exchange folder: no address, the folder's setting.
        told.clear();
        QTest::mouseClick(window->findChild<QRadioButton*>("method3"), Qt::LeftButton);
        QTest::mouseClick(window->findChild<QPushButton*>("send"), Qt::LeftButton);
        EXPECT_EQ(told, QStringList{LoadErrorText(qor::str::kMailSentToDisk).arg(1)});
        EXPECT_EQ(QDir(dir + "/disk/new").entryList(QDir::Files).size(), 1);
        closeAndSettle(window);
        EXPECT_TRUE(frame->close());
    }
}

}  // namespace
