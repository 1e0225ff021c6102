// Application services, the demonstration ledger service and the other
// stand-ins for the host's components, reached the way callers reach them.
#include <QDir>
#include <QFileInfo>
#include <QObject>

#include "platform/automation.h"
#include "platform/registry.h"
#include "reader/cappservicelist.h"
#include "reader/consolidationclientstandin.h"
#include "reader/demoledgerservice.h"
#include "reader/dispatchdrivers.h"
#include "reader/hostloginstandin.h"
#include "reader/ledgerstandins.h"
#include "tests/reader/readerfixture.h"

namespace {

// A service written without dispatch ids, as a plugin might be: two items
// share their names, one repeats a name of the demo service.
class PlainService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString srvName READ name CONSTANT)
    Q_PROPERTY(int srvNumber READ number CONSTANT)

public:
    static constexpr const char* kClsid = "{4B401411-22E9-4C6B-BCC0-1750C83B105B}";
    QString name() const { return "Plain"; }
    int number() const { return 5; }  // before the demo service's 90
    Q_INVOKABLE int srvItemCount() const { return 3; }
    Q_INVOKABLE QString srvItemName(int i, int which) const {
        static const char* first[] = {"ZZ", "qm", "AB"};
        static const char* second[] = {"zz-name", "plain QM", "AB"};
        return QString::fromLatin1(which ? second[i] : first[i]);
    }
    Q_INVOKABLE QString srvDescript() const { return "plain"; }
    Q_INVOKABLE bool CallService(const QString& name, const QString& args, QObject* result) {
        result->setProperty("value", name + ":" + args);
        return true;
    }
};

class ServicesTest : public ReaderEnvTest {
protected:
    void SetUp() override {
        ReaderEnvTest::SetUp();
        ledger_ = dir_ + "/ledger.db";
    }
    // The demo service's number after Load, pointed at this test's ledger.
    int loadDemo(CAppServiceList& list) {
        list.Load();
        for (int i = 0; i < list.GetCount(); ++i)
            if (auto* s = qobject_cast<qor::DemoLedgerService*>(list.GetService(i))) {
                s->setDatabase(ledger_);
                return i;
            }
        return -1;
    }
    QString ledger_;
};

double call(CAppServiceList& list, const QString& fn, const QString& args) {
    QVariant v;
    QString error;
    EXPECT_TRUE(list.CallItem(list.FindItem(fn), args, &v, &error))
        << fn.toStdString() << "(" << args.toStdString() << "): " << error.toStdString();
    return v.toDouble();
}

}  // namespace

TEST_F(ServicesTest, DemoServiceIsListedAndFoundWithoutRegardToCase) {
    CAppServiceList list;
    const int demo = loadDemo(list);
    ASSERT_GE(demo, 0) << list.LoadProblems().join("; ").toStdString();
    EXPECT_EQ(list.GetEntry(demo).m_nItemCount, 4);
    EXPECT_EQ(list.GetItemNames(demo, 0, 1), (QStringList{"QC", "QM", "FS", "JE"}));
    EXPECT_EQ(list.GetItemNames(demo, 1, 1).value(2), QString("发生额"));
    EXPECT_FALSE(list.GetServiceDescription(demo).isEmpty());

    for (const char* name : {"qm", "QM", "Qm", " qM "}) {
        const CServiceFuncItem item = list.FindItem(name);
        EXPECT_EQ(item.m_nService, demo) << name;
        EXPECT_EQ(item.m_strName, "QM");
        EXPECT_EQ(item.m_strSecondName, "期末余额");
    }
    EXPECT_EQ(list.FindItem("QX").m_nService, -1);
    EXPECT_EQ(list.FindItem("").m_nService, -1);
    EXPECT_TRUE(list.GetItemForm(list.FindItem("fs")).startsWith("FS("));
    EXPECT_TRUE(list.GetItemConference(CServiceFuncItem()).isEmpty());
}

TEST_F(ServicesTest, DemoServiceAnswersFromItsLedger) {
    CAppServiceList list;
    ASSERT_GE(loadDemo(list), 0);
    // The service makes its ledger when the file is missing.
    EXPECT_EQ(call(list, "QC", "\"1001\",1,2024"), 0.0);
    ASSERT_TRUE(QFileInfo::exists(ledger_));

    exec(ledger_, {
                      "insert into ledger values('1001',2024,1,50,20,100)",
                      "insert into ledger values('1001',2024,2,10,5,130)",
                      "insert into ledger values('1001',2024,3,0,30,135)",
                      "insert into ledger values('100101',2024,1,5,0,10)",
                      "insert into ledger values('1002',2024,1,999,0,7)",
                      "insert into ledger values('1001',2023,12,1,1,1)",
                  });
    EXPECT_EQ(call(list, "QC", "\"1001\",2,2024"), 145.0);  // 110 opening + 35 in January
    EXPECT_EQ(call(list, "qm", "\"1001\",2,2024"), 150.0);
    EXPECT_EQ(call(list, "FS", "\"1001\",21,\"借\",2024"), 65.0);
    EXPECT_EQ(call(list, "FS", "\"1001\",21,D,2024"), 55.0);
    EXPECT_EQ(call(list, "JE", "1001,21,2024"), 10.0);
    EXPECT_EQ(call(list, "QM", "1001,30,2024"), 120.0);
    EXPECT_EQ(call(list, "QM", "100101,30,2024"), 15.0);
    // Codes are values, not patterns.
    EXPECT_EQ(call(list, "FS", "\"10%\",30,J,2024"), 0.0);

    // Without period and year the service date counts.
    list.SetServiceDate(2024, 2, 31);
    EXPECT_EQ(list.GetServiceDate(), QDate(2024, 2, 29));
    EXPECT_EQ(call(list, "QC", "\"1001\""), 145.0);
    EXPECT_EQ(list.GetItemConference(list.FindItem("qm")), "QM(\"1001\",2)");

    QVariant v = 1;
    QString error;
    EXPECT_FALSE(list.CallItem(list.FindItem("QC"), "\"1001\",13", &v, &error));
    EXPECT_FALSE(v.isValid());
    // The service's refusals reach the formula log and message boxes as
    // they are: in the user's language.
    EXPECT_TRUE(error.contains(QStringLiteral("“13”不是期间"))) << error.toStdString();
    EXPECT_FALSE(list.CallItem(list.FindItem("FS"), "\"1001\",21,X,2024", &v, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("不是借贷方向"))) << error.toStdString();
    EXPECT_FALSE(list.CallItem(list.FindItem("QC"), "\"1001\",1,2024,9", &v, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("最多有"))) << error.toStdString();
    EXPECT_FALSE(list.CallItem(list.FindItem("QC"), "", &v, &error));
    EXPECT_FALSE(list.CallItem(list.FindItem("nothing"), "1001", &v, &error));
}

TEST_F(ServicesTest, ServicesOfBothKeysAreOrderedAndNamedAsTheWizardNeeds) {
    qor::AutoClassInfo info;
    info.clsid = PlainService::kClsid;
    info.progId = "qor.test.plain";
    qor::AutoRegistry::registerBuiltin(info, [](const QString&) { return new PlainService; });
    ASSERT_TRUE(qor::Registry::writeString(CAppServiceList::kErpServiceKey, "plain", ""));
    ASSERT_TRUE(qor::Registry::writeString(CAppServiceList::kErpServiceKey, "qor.test.plain", ""));
    ASSERT_TRUE(qor::Registry::writeString(CAppServiceList::kErpServiceKey, "broken",
                                           "{00000000-1111-2222-3333-444444444444}"));

    CAppServiceList list;
    ASSERT_EQ(list.Load(), 2);
    EXPECT_EQ(list.LoadProblems().size(), 2);  // "plain" and "broken" name nothing
    EXPECT_EQ(list.GetEntry(0).m_strName, "Plain");
    EXPECT_EQ(list.GetEntry(0).m_nNumber, 0);
    EXPECT_EQ(list.GetEntry(1).m_nNumber, 1);

    // Lines i of the two arrays must belong to the same item.
    EXPECT_EQ(list.GetItemNames(0, 1, 1), (QStringList{"zz-name", "plain QM"}));
    EXPECT_EQ(list.GetItemNames(0, 0, 1), (QStringList{"ZZ", "qm"}));
    EXPECT_EQ(list.GetItemNames(0, 0, 0).size(), 3);
    EXPECT_TRUE(list.GetItemNames(7, 0, 0).isEmpty());

    // The service listed first answers a shared name.
    EXPECT_EQ(list.FindItem("QM").m_nService, 0);
    EXPECT_EQ(list.FindItem("QC").m_nService, 1);
    EXPECT_EQ(list.FindItem("ab").m_strName, "AB");
    // Called by name when the service declares no dispatch ids.
    QVariant v;
    QString error;
    ASSERT_TRUE(list.CallItem(list.FindItem("zz"), "a,b", &v, &error)) << error.toStdString();
    EXPECT_EQ(v.toString(), "ZZ:a,b");
}

TEST_F(ServicesTest, LoginComponentAnswersToEachProgId) {
    const QString key = qor::HostLoginStandIn::kLoginKey;
    qor::Registry::writeString(key, "VtDbName", "VTDATA0");
    qor::Registry::writeString(key, "CAcc_Id", "001");
    qor::Registry::writeString(key, "CIYear", "2024");
    qor::Registry::writeString(key, "CurDate", "2024-03-31");
    for (const char* progId : qor::HostLoginStandIn::kProgIds) {
        qor::AutoObject login = qor::AutoObject::create(progId);
        EXPECT_TRUE(login.invoke("Login").toBool()) << progId;
        EXPECT_EQ(login.property("cacc_id").toString(), "001") << progId;
        EXPECT_EQ(login.property("CurDate").toDate(), QDate(2024, 3, 31));
        EXPECT_EQ(login.property("SysDb").value<QObject*>()->property("ConnectionString"),
                  "VTDATA0");
    }
}

TEST_F(ServicesTest, RegistrationLeavesTheHostsOwnComponentsInPlace) {
    qor::AutoClassInfo real;
    real.clsid = "{12345678-0000-0000-0000-000000000001}";
    real.progId = "VTLogin.Login";
    real.server = dir_ + "/libhostlogin.so";
    qor::AutoRegistry::registerClass(real);
    real.clsid = qor::LedgerStandIn::kClsid;
    real.progId.clear();
    real.server = dir_ + "/libledger.so";
    qor::AutoRegistry::registerClass(real);
    qor::Registry::deleteValue(CAppServiceList::kServiceKey, "qor.demo.ledger");

    qor::RegisterBuiltinComponents();
    EXPECT_EQ(qor::AutoRegistry::clsidFromProgId("VTLogin.Login"),
              "{12345678-0000-0000-0000-000000000001}");
    EXPECT_EQ(qor::AutoRegistry::classInfo(qor::LedgerStandIn::kClsid)->server, real.server);
    EXPECT_EQ(qor::AutoRegistry::clsidFromProgId("V9Login.clsLogin"),
              qor::HostLoginStandIn::kClsid);
    // Taken off the service list, the demo stays off.
    EXPECT_TRUE(
        qor::Registry::readString(CAppServiceList::kServiceKey, "qor.demo.ledger").isEmpty());
}

TEST_F(ServicesTest, LedgerDriversHandOverWhatTheDrillDownNeeds) {
    qor::LedgerStandIn::clearRecordedCalls();
    CLedgerQueryDriver query;
    ASSERT_TRUE(query.CreateDispatch(qor::LedgerQueryStandIn::kClsid))
        << query.LastError().toStdString();
    qor::HostSystemDb sysDb("sysdb");
    query.Init(&sysDb, "VTDATA0", "001", 2024, "demo", QDate(2024, 3, 31), QString("sys"),
               QString("pw"));
    CLedgerDriver ledger;
    ASSERT_TRUE(ledger.CreateDispatch(qor::LedgerStandIn::kClsid));
    QObject login;
    ledger.SetLogin(&login);
    ledger.SetQuery(query.GetDispatch());
    EXPECT_TRUE(ledger.ShowLedger("1002/2001", "4", true));

    const QList<qor::LedgerShowCall> calls = qor::LedgerStandIn::recordedCalls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].accountCodes, "1002/2001");
    EXPECT_EQ(calls[0].period, "4");
    EXPECT_TRUE(calls[0].include);
    EXPECT_TRUE(calls[0].hadLogin);
    EXPECT_EQ(calls[0].query.year, 2024);
    EXPECT_EQ(calls[0].query.systemDb, "sysdb");
    EXPECT_EQ(calls[0].query.loginDate, QDate(2024, 3, 31));
    EXPECT_EQ(calls[0].query.userPassword.toString(), "pw");
}

TEST_F(ServicesTest, LogEndAnswersMinusOneWithoutALoginMember) {
    CLoginDriver none;
    EXPECT_EQ(none.CallLogEnd(), QVariant::fromValue(qint16(-1)));

    CLoginDriver other;
    QObject plain;
    other.AttachDispatch(&plain);
    EXPECT_EQ(other.CallLogEnd(), QVariant::fromValue(qint16(-1)));
    EXPECT_EQ(other.LastError(), "应用服务接口中没有logEnd!");

    CLoginDriver host;
    ASSERT_TRUE(host.CreateDispatch("VTLogin.Login"));
    EXPECT_EQ(host.CallLogEnd().toInt(), 0);
}

TEST_F(ServicesTest, ConsolidationClientCopiesBetweenServerAndDataFolders) {
    const QString server = dir_ + "/server";
    const QString qorPath = dir_ + "/qor";
    auto write = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    // The server folder mirrors the client root: samples and download
    // files come down, upload files go up, and neither side's upload
    // folder is received.
    write(server + "/hbbb/单位(01)/月报/download/2024-03-01.xml", "<a/>");
    write(server + "/hbbb/样表/top.xml", QByteArray(200000, 'x'));
    write(server + "/hbbb/单位(01)/月报/upload/2024-02-01.xml", "<server/>");
    write(qorPath + "/hbbb/样表/top.xml", "old");
    write(qorPath + "/hbbb/单位(01)/月报/upload/2024-03-01.xml", "<up/>");
    write(qorPath + "/hbbb/单位(01)/月报/upload/notes.txt", "no");
    write(dir_ + "/secret.txt", "secret");
    ASSERT_TRUE(QFile::link(dir_ + "/secret.txt", server + "/hbbb/link.txt"));

    qor::AutoObject client = qor::AutoObject::create("VTHBOffLine.clsHB");
    QObject login;
    client.setProperty("objLogin", QVariant::fromValue(&login));
    client.setProperty("ParentHWnd", 1234);
    client.setProperty("QORPath", qorPath);
    // Without a server folder nothing can be exchanged, and the user is
    // told where it is set.
    try {
        client.invoke("ShowDownload");
        ADD_FAILURE() << "exchanged without a server folder";
    } catch (const qor::AutoError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("没有为合并客户端设置服务器文件夹")) &&
                    e.text().contains(QStringLiteral("ServerFolder")))
            << e.text().toStdString();
    }

    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder",
                               server);
    qor::AutoObject configured = qor::AutoObject::create("VTHBOffLine.clsHB");
    configured.setProperty("QORPath", qorPath);
    EXPECT_EQ(configured.invoke("ShowDownload").toInt(), 2);
    EXPECT_EQ(read(qorPath + "/hbbb/单位(01)/月报/download/2024-03-01.xml"), "<a/>");
    EXPECT_EQ(read(qorPath + "/hbbb/样表/top.xml"), QByteArray(200000, 'x'));
    EXPECT_FALSE(QFileInfo::exists(qorPath + "/hbbb/link.txt"));
    EXPECT_FALSE(QFileInfo::exists(qorPath + "/hbbb/单位(01)/月报/upload/2024-02-01.xml"));

    EXPECT_EQ(configured.invoke("ShowUpload").toInt(), 1);
    EXPECT_EQ(read(server + "/hbbb/单位(01)/月报/upload/2024-03-01.xml"), "<up/>");
    EXPECT_FALSE(QFileInfo::exists(server + "/hbbb/单位(01)/月报/upload/notes.txt"));
}

#include "services_test.moc"
