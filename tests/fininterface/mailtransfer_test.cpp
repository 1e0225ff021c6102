// The transfer windows as qorview opens them: the event around them, the
// names received files land under, every row sent, the holder's in-use
// mark, a failed send, and the overwrite question.
#include "finui/mailtransfer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "engine/inusemarker.h"
#include "platform/registry.h"
#include "reader/cappenvironment.h"
#include "tests/document/doc_fixture.h"

using namespace qor::mail;

namespace {

template <class T>
T* openWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<T*>(w); d && d->isVisible()) return d;
    return nullptr;
}

// Answers message boxes from a list (default answer when it runs out) and
// file choices with nothing, counting both.
struct Ui {
    QStringList messages;
    QList<qor::MsgAnswer> answers;
    int choices = 0;
    qor::UiServices previous;
    Ui() {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return answers.isEmpty() ? r.defaultAnswer : answers.takeFirst();
        };
        s.chooseFile = [this](const qor::FilePrompt&) -> std::optional<QString> {
            ++choices;
            return std::nullopt;
        };
        previous = qor::installUiServices(s);
    }
    ~Ui() { qor::installUiServices(previous); }
    bool said(const QString& part) const {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const QString& m) { return m.contains(part); });
    }
};

class MailWindows : public ::testing::Test {
protected:
    void SetUp() override {
        dir = doctest::testDir();
        qputenv("QOR_MAIL_LIBRARY_DIR",
                QFile::encodeName(QFileInfo(QStringLiteral(QOR_VTMAIL8_PATH)).absolutePath()));
        const QString key = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail");
        qor::Registry::writeString(key, "DiskFolder", dir + "/disk");
        QDir().mkpath(dir + "/out");
    }
    void TearDown() override {
        qunsetenv("QOR_MAIL_LIBRARY_DIR");
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<QDialog*>(w) && w->isVisible()) w->close();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString p = dir + "/out/" + name;
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return p;
    }
    static void closeAndSettle(QDialog* d) {
        d->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString dir;
};

TEST(MailNames, ReceivedFilesStayInTheSaveFolder) {
    EXPECT_EQ(SafeTargetName("../x.rep"), "x.rep");
    EXPECT_EQ(SafeTargetName("..\\..\\x.rep"), "x.rep");
    EXPECT_EQ(SafeTargetName("/etc/passwd"), "passwd");
    EXPECT_EQ(SafeTargetName("/tmp/a/资产负债表.rep"), QStringLiteral("资产负债表.rep"));
    for (const char* bad : {"", "/tmp/", "..", "a/.", "x\ty", "a\\.."})
        EXPECT_TRUE(SafeTargetName(QString::fromLatin1(bad)).isEmpty()) << bad;
}

TEST_F(MailWindows, AFailedStartLeavesMailAvailable) {
    qputenv("QOR_MAIL_LIBRARY_DIR", QFile::encodeName(dir + "/empty"));
    Ui ui;
    EXPECT_FALSE(StartSend(nullptr));
    EXPECT_FALSE(StartReceive(nullptr));
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kMailDllMissing)));
    EXPECT_TRUE(MailAvailable());
}

TEST_F(MailWindows, SendsEveryRowAndPutsTheHoldersMarkBack) {
    Ui ui;
    ASSERT_TRUE(MailAvailable());
    ASSERT_TRUE(StartSend(nullptr));
    EXPECT_FALSE(MailAvailable());
    EXPECT_FALSE(StartReceive(nullptr));  // one transfer window at a time
    CSendFileDlg* send = openWindow<CSendFileDlg>();
    ASSERT_NE(send, nullptr);

    // A report another computer holds open.
    const QString rep = dir + "/out/held.rep";
    {
        auto doc = doctest::newDoc();
        ASSERT_TRUE(doc->Files().OnSaveDocument(rep));
        doc->Files().OnCloseDocument();
    }
    ASSERT_TRUE(qor::WriteInUseMark(rep, qor::InUseMark{true, QStringLiteral("OTHERPC")}));

    QStringList paths;
    for (int i = 0; i < 1100; ++i)
        paths << file(QStringLiteral("f%1.txt").arg(i), QByteArray::number(i));
    send->AddFiles(paths);
    send->AddFiles({paths.first(), rep});  // the same file twice is listed once
    auto* rows = send->findChild<QListWidget*>("files");
    ASSERT_EQ(rows->count(), 1101);
    send->findChild<QRadioButton*>("method3")->click();  // disk file, no address
    ASSERT_TRUE(send->Send()) << ui.messages.join('\n').toStdString();

    qor::InUseMark mark;
    ASSERT_TRUE(qor::ReadInUseMark(rep, &mark));
    EXPECT_TRUE(mark.inUse);
    EXPECT_EQ(mark.computer, "OTHERPC");

    // A send that fails says why and keeps the list; the mark is back too.
    send->findChild<QRadioButton*>("method0")->click();
    send->findChild<QLineEdit*>("address")->setText(dir + "/no-such-inbox");
    EXPECT_FALSE(send->Send());
    EXPECT_TRUE(ui.said(QStringLiteral("没有发送出去")));
    EXPECT_EQ(rows->count(), 1101);
    ASSERT_TRUE(qor::ReadInUseMark(rep, &mark));
    EXPECT_EQ(mark.computer, "OTHERPC");
    closeAndSettle(send);
    EXPECT_TRUE(MailAvailable());

    // Every row arrives.
    ASSERT_TRUE(StartReceive(nullptr));
    CAcceptFileDlg* receive = openWindow<CAcceptFileDlg>();
    ASSERT_NE(receive, nullptr);
    receive->findChild<QRadioButton*>("method3")->click();
    receive->SetSaveFolder(dir + "/in");
    EXPECT_EQ(receive->Receive(), 1101);
    EXPECT_EQ(QDir(dir + "/in").entryList(QDir::Files).size(), 1101);
    EXPECT_EQ(doctest::fileBytes(dir + "/in/f1099.txt"), "1099");
    closeAndSettle(receive);
    EXPECT_TRUE(MailAvailable());
}

TEST_F(MailWindows, FilesAndTheSaveFolderAreChosenInTheDesktopsFileDialog) {
    Ui ui;
    const QStringList picked = {file("a.rep", "a"), file("b.rep", "b")};
    QList<qor::FilePrompt> asked;
    qor::UiServices s = qor::uiServices();
    s.chooseFiles = [&](const qor::FilePrompt& p) -> std::optional<QStringList> {
        asked << p;
        return picked;
    };
    s.chooseFile = [&](const qor::FilePrompt& p) -> std::optional<QString> {
        asked << p;
        return dir + "/chosen";
    };
    const qor::UiServices before = qor::installUiServices(s);
    auto button = [](QDialog* d, const QString& text) {
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == text) return b;
        return static_cast<QPushButton*>(nullptr);
    };
    ASSERT_TRUE(StartSend(nullptr));
    CSendFileDlg* send = openWindow<CSendFileDlg>();
    button(send, QStringLiteral("选择文件"))->click();
    EXPECT_EQ(send->findChild<QListWidget*>("files")->count(), 2);
    closeAndSettle(send);
    ASSERT_TRUE(StartReceive(nullptr));
    CAcceptFileDlg* receive = openWindow<CAcceptFileDlg>();
    button(receive, QStringLiteral("保存到"))->click();
    EXPECT_EQ(receive->SaveFolder(), dir + "/chosen");
    closeAndSettle(receive);
    qor::installUiServices(before);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[1].mode, 2);  // the folder mode
}

TEST_F(MailWindows, AnExistingTargetIsOverwrittenOnlyWhenAllowed) {
    Ui ui;
    const QString a = file("a.rep", "new");
    ASSERT_TRUE(StartSend(nullptr));
    CSendFileDlg* send = openWindow<CSendFileDlg>();
    send->AddFiles({a});
    send->findChild<QRadioButton*>("method3")->click();
    ASSERT_TRUE(send->Send());
    closeAndSettle(send);

    QDir().mkpath(dir + "/in");
    QFile old(dir + "/in/a.rep");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    ASSERT_TRUE(StartReceive(nullptr));
    CAcceptFileDlg* receive = openWindow<CAcceptFileDlg>();
    receive->findChild<QRadioButton*>("method3")->click();
    receive->SetSaveFolder(dir + "/in");
    // No, then cancel the file choice: asked again; then Yes.
    ui.answers = {qor::MsgAnswer::No, qor::MsgAnswer::Yes};
    EXPECT_EQ(receive->Receive(), 1);
    EXPECT_EQ(ui.choices, 1);
    EXPECT_EQ(ui.messages.filter(LoadErrorText(qor::str::kFileExistsOverwrite)).size(), 2);
    EXPECT_EQ(doctest::fileBytes(dir + "/in/a.rep"), "new");
    // Nothing waits any more.
    EXPECT_EQ(receive->Receive(), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kNoFilesToReceive)));
    closeAndSettle(receive);
}

// The shown window: its list is titled as waiting files until the user
// presses 接收, then as the files received.
TEST_F(MailWindows, TheListTitleSaysReceivedOnceReceiving) {
    Ui ui;
    const QString a = file("a.rep", "a");
    ASSERT_TRUE(StartSend(nullptr));
    CSendFileDlg* send = openWindow<CSendFileDlg>();
    send->AddFiles({a});
    send->findChild<QRadioButton*>("method3")->click();
    ASSERT_TRUE(send->Send());
    closeAndSettle(send);

    ASSERT_TRUE(StartReceive(nullptr));
    CAcceptFileDlg* receive = openWindow<CAcceptFileDlg>();
    ASSERT_NE(receive, nullptr);
    auto* title = receive->findChild<QLabel*>("filesHeader");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), LoadErrorText(qor::str::kWaitingToReceive));
    receive->findChild<QRadioButton*>("method3")->click();
    receive->SetSaveFolder(dir + "/in");
    receive->findChild<QPushButton*>("receive")->click();
    EXPECT_EQ(title->text(), LoadErrorText(qor::str::kReceiveFiles));
    EXPECT_EQ(receive->findChild<QListWidget*>("files")->count(), 1);
    EXPECT_TRUE(receive->grab().save(qortest::artifactPath(QStringLiteral("mail-receive.png"))));
    closeAndSettle(receive);
}

}  // namespace
