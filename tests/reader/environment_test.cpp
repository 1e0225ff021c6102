// The host environment and the application object: logging in once,
// settings that last, and the entries the upper layers fill later.
#include <QDir>
#include <QFileInfo>
#include <thread>

#include "platform/datadir.h"
#include "platform/registry.h"
#include "platform/uiservices.h"
#include "reader/cadoexception.h"
#include "reader/cappenvironment.h"
#include "reader/cappservicelist.h"
#include "reader/creaderapp.h"
#include "reader/demoledgerservice.h"
#include "reader/hostloginstandin.h"
#include "tests/reader/readerfixture.h"

namespace {

class EnvironmentTest : public ReaderEnvTest {
protected:
    void SetUp() override {
        ReaderEnvTest::SetUp();
        profile_ = dir_ + "/config/qor/qor.ini";  // folder made by the first write
    }
    void setLogin(const QString& accountSet) {
        const QString key = qor::HostLoginStandIn::kLoginKey;
        qor::Registry::writeString(key, "VtDbName", dir_ + "/dict.db");
        qor::Registry::writeString(key, "CAcc_Id", accountSet);
        qor::Registry::writeString(key, "CIYear", "2024");
        qor::Registry::writeString(key, "CUserId", "demo");
        qor::Registry::writeString(key, "CUserPassWord", "pw");
        qor::Registry::writeString(key, "CurDate", "2024-03-31");
        qor::Registry::writeString(key, "SysPassword", "sys");
    }
    QString profile_;
};

qor::DemoLedgerService* demoOf(CAppServiceList* list) {
    for (int i = 0; list && i < list->GetCount(); ++i)
        if (auto* s = qobject_cast<qor::DemoLedgerService*>(list->GetService(i))) return s;
    return nullptr;
}

}  // namespace

TEST_F(EnvironmentTest, EnsureLoggedInLogsInOnceAndHandsTheLoginToTheServices) {
    setLogin("001");
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    const int before = qor::HostLoginStandIn::loginCount();
    CAppServiceList* list = env.EnsureLoggedIn();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(env.EnsureLoggedIn(), list);
    env.EnsureLoggedIn();
    EXPECT_EQ(env.GetLoginDbName(), dir_ + "/dict.db");
    EXPECT_EQ(env.GetLoginSysPassword(), "sys");
    ASSERT_NE(env.GetLoginSystemDb(), nullptr);
    EXPECT_EQ(qor::HostLoginStandIn::loginCount(), before + 1);

    EXPECT_EQ(env.GetAccountSetId(), "001");
    // The set logged in to is one the database formulas may read, once.
    ASSERT_EQ(app.GetAccountSetCount(), 1);
    EXPECT_EQ(app.GetAccountSet(0).m_strId, "001");
    EXPECT_EQ(app.GetAccountSet(0).m_nYear, 2024);
    EXPECT_EQ(env.GetUserPassword(), "pw");
    EXPECT_EQ(env.GetLoginDate(), QDate(2024, 3, 31));
    // The services work from the log-in date on.
    EXPECT_EQ(list->GetServiceDate(), QDate(2024, 3, 31));
    ASSERT_NE(demoOf(list), nullptr);
    EXPECT_EQ(demoOf(list)->serviceDate(), QDate(2024, 3, 31));
}

TEST_F(EnvironmentTest, AFailedLoginIsRetriedAndTheServicesGetTheLaterSession) {
    setLogin("");  // the host refuses without an account set
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    CAppServiceList* list = env.EnsureLoggedIn();
    EXPECT_FALSE(env.IsLoggedIn());
    ASSERT_NE(demoOf(list), nullptr);

    EXPECT_EQ(app.GetAccountSetCount(), 0);

    setLogin("002");
    EXPECT_EQ(env.EnsureLoggedIn(), list);
    EXPECT_TRUE(env.IsLoggedIn());
    ASSERT_EQ(app.GetAccountSetCount(), 1);
    EXPECT_EQ(app.GetAccountSet(0).m_strId, "002");
    EXPECT_EQ(demoOf(list)->serviceDate(), QDate(2024, 3, 31));
}

TEST_F(EnvironmentTest, SettingsAndLoginValuesSurviveARestart) {
    setLogin("003");
    {
        CReaderApp app(profile_);
        CAppEnvironment env(app);
        ASSERT_TRUE(env.Login());
        EXPECT_TRUE(env.WriteProfileString("ShlFilesName", "Path1", "/x/年报.shl"));
        EXPECT_TRUE(env.WriteProfileInt("REZ", "Money", 2));
        EXPECT_TRUE(env.WriteProfileString("Tip", "FilePos", " 12 "));
        EXPECT_TRUE(env.WriteProfileString("Gone", "a", "1"));
        EXPECT_TRUE(env.WriteProfileString("Gone", QString(), QString()));
        EXPECT_FALSE(env.WriteProfileString("Bad", "a=b", "1"));
    }
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    ASSERT_TRUE(env.Login());
    EXPECT_EQ(env.GetAccountSetId(), "003");
    EXPECT_EQ(env.GetProfileString("shlfilesname", "PATH1"), "/x/年报.shl");
    EXPECT_EQ(env.GetProfileInt("REZ", "Money", 0), 2);
    EXPECT_EQ(env.GetProfileString("Tip", "FilePos"), " 12 ");
    // Absent keys answer the caller's default.
    EXPECT_EQ(env.GetProfileInt("REZ", "wnd", 0), 0);
    EXPECT_EQ(env.GetProfileInt("REZ", "wnd", 7), 7);
    EXPECT_EQ(env.GetProfileString("Gone", "a", "dflt"), "dflt");
    EXPECT_TRUE(env.WriteProfileString("REZ", "Money", QString()));
    EXPECT_EQ(app.GetProfileInt("REZ", "Money", 5), 5);
}

TEST_F(EnvironmentTest, TheDictionaryFollowsTheLoginOfTheEnvironment) {
    setLogin("001");
    exec(dir_ + "/dict.db",
         {"create table rpt_grpdef(systemid TEXT, systemname TEXT, tablename TEXT, "
          "tabledefine TEXT)",
          "insert into rpt_grpdef values('01','总账','gl_accsum','科目余额表')"});
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    ASSERT_TRUE(env.Login());
    // The host's registry changes under a running session; the session's
    // database stays.
    qor::Registry::writeString(qor::HostLoginStandIn::kLoginKey, "VtDbName", dir_ + "/none.db");
    CQorDB db(nullptr);
    db.Open();
    ASSERT_FALSE(db.IsEOF());
    EXPECT_EQ(db.m_strSystemName, "总账");
}

TEST_F(EnvironmentTest, OpeningAReportNotYetOpenMakesADocument) {
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    QStringList shown;
    qor::UiServices hooks;
    hooks.messageBox = [&](const qor::MessageRequest& r) {
        shown.append(r.text);
        return qor::MsgAnswer::Ok;
    };
    const qor::UiServices saved = qor::installUiServices(hooks);
    EXPECT_EQ(env.FindOpenDocument("/r/a.rep"), nullptr);  // no document layer yet

    auto* const openDoc = reinterpret_cast<CQorsDoc*>(0x10);
    auto* const newDoc = reinterpret_cast<CQorsDoc*>(0x20);
    QStringList opened;
    env.SetDocumentHooks(
        {.findOpen = [&](const QString& p) { return p == "/r/open.rep" ? openDoc : nullptr; },
         .open =
             [&](const QString& p) {
                 opened.append(p);
                 return newDoc;
             },
         .create = [&] { return newDoc; }});
    EXPECT_EQ(env.FindOpenDocument("/r/open.rep"), openDoc);
    EXPECT_EQ(env.FindOpenDocument("/r/b.rep"), newDoc);
    EXPECT_EQ(opened, QStringList{"/r/b.rep"});
    EXPECT_EQ(env.NewDocument(), newDoc);
    EXPECT_TRUE(shown.isEmpty());

    env.ShowTooManyFilesMessage();
    EXPECT_EQ(shown, QStringList{"打开文件个数超过限制！"});
    EXPECT_FALSE(app.m_bBusy);
    qor::installUiServices(saved);
}

TEST_F(EnvironmentTest, BatchFilesAreCheckedBeforeTheCommandLanguageRunsThem) {
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    const QString empty = dir_ + "/empty.shl";
    const QString script = dir_ + "/run.shl";
    QFile(empty).open(QIODevice::WriteOnly);
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("open a.rep\n");
    }
    QString error;
    EXPECT_FALSE(env.RunBatchFile(dir_ + "/missing.shl", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(env.RunBatchFile(empty, &error));
    EXPECT_FALSE(env.RunBatchFile(script, &error));  // no command language yet
    EXPECT_TRUE(error.contains(QStringLiteral("没有安装命令语言")));

    QStringList ran;
    env.SetBatchRunner([&](const QString& p, QString*) {
        ran.append(p);
        return true;
    });
    EXPECT_FALSE(env.RunBatchFile(empty, &error));
    EXPECT_TRUE(env.RunBatchFile(script, &error));
    EXPECT_EQ(ran, QStringList{script});
}

TEST_F(EnvironmentTest, PrintDialogResultsAreKeptForDirectPrinting) {
    CReaderApp app(profile_);
    CAppEnvironment env(app);
    qor::PrintRequest r;
    r.copies = 3;
    EXPECT_EQ(env.DoPrintDialog(r), 1);  // headless: accepted as given
    EXPECT_EQ(app.m_lastPrint.copies, 3);

    QList<qor::PrintRequest> asked;
    qor::UiServices hooks;
    hooks.printDialog = [&](const qor::PrintRequest& q) -> std::optional<qor::PrintRequest> {
        asked.append(q);
        if (!q.setupOnly) return std::nullopt;
        qor::PrintRequest out = q;
        out.printerName = "laser";
        out.copies = 9;
        return out;
    };
    const qor::UiServices saved = qor::installUiServices(hooks);
    EXPECT_EQ(env.OnFilePrintSetup(), 1);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].flags, 0x14000Cu);
    EXPECT_EQ(app.m_lastPrint.printerName, "laser");
    EXPECT_EQ(app.m_lastPrint.copies, 3);
    qor::PrintRequest cancelled;
    EXPECT_EQ(env.DoPrintDialog(cancelled), 2);
    EXPECT_EQ(app.m_lastPrint.printerName, "laser");
    qor::installUiServices(saved);
}

TEST_F(EnvironmentTest, AccountSetsOpenTheirDatabaseOnFirstUse) {
    CReaderApp app(profile_);
    app.AddAccountSet("001", 2003);
    app.AddAccountSet("002", 2004);
    EXPECT_EQ(CReaderApp::AccountDatabaseName("X_VTDATA0_main", "001_2003"), "X_VTDATA0001_2003");
    EXPECT_EQ(CReaderApp::AccountDatabaseName("ledger", "001_2003"), "001_2003");

    const QString folder = qor::dataPath("data");
    QDir().mkpath(folder);
    exec(folder + "/VTDATA0001_2003.db", {"create table if not exists t(a)"});
    CAdoConnection* c = app.GetAccountConnection("001_2003", "VTDATA0");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->IsOpen());
    EXPECT_EQ(app.GetAccountConnection("001_2003", "VTDATA0"), c);
    EXPECT_EQ(app.GetAccountConnection("001_2099", "VTDATA0"), nullptr);
    EXPECT_THROW(app.GetAccountConnection("002_2004", "VTDATA0"), CAdoException);
}

TEST_F(EnvironmentTest, InstallDirFollowsTheHostRegistry) {
    EXPECT_EQ(CAppEnvironment::GetInstallDir(), qor::nativePath("C:\\QORTEMP"));
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", dir_ + "/inst");
    EXPECT_EQ(CAppEnvironment::GetInstallDir(), dir_ + "/inst/qor");
    EXPECT_TRUE(QFileInfo(dir_ + "/inst/qor").isDir());
}

TEST(MailThreadEventTest, WaitReturnsWhenTheLastMailThreadEnds) {
    qor::ManualResetEvent e(true);
    e.Wait();
    e.Reset();
    EXPECT_FALSE(e.WaitFor(20));
    std::thread mail([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        e.Set();
    });
    e.Wait();
    EXPECT_TRUE(e.IsSet());
    mail.join();
    e.Reset();
    e.Close();
    EXPECT_TRUE(e.WaitFor(10000));
}
