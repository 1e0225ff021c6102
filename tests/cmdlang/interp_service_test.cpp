// Application-service functions reached from a command line, and the
// document's command runner.
#include <QSqlDatabase>
#include <QSqlQuery>

#include "interp_support.h"
#include "platform/registry.h"
#include "reader/builtincomponents.h"
#include "reader/cappenvironment.h"
#include "reader/cappservicelist.h"
#include "reader/creaderapp.h"
#include "reader/demoledgerservice.h"
#include "reader/hostloginstandin.h"

using namespace interp;

TEST_F(InterpTest, ServiceFunctionsAnswerThroughTheEnvironment) {
    const QByteArray savedRegistry = qgetenv("QOR_REGISTRY");
    qputenv("QOR_REGISTRY", QFile::encodeName(dir + "/registry.ini"));
    qor::RegisterBuiltinComponents();
    const QString key = qor::HostLoginStandIn::kLoginKey;
    qor::Registry::writeString(key, "VtDbName", dir + "/dict.db");
    qor::Registry::writeString(key, "CAcc_Id", "001");
    qor::Registry::writeString(key, "CIYear", "2024");
    qor::Registry::writeString(key, "CurDate", "2024-03-31");
    // The ledger of the demonstration service: account 1001 opens March
    // 2024 with 1,000.
    const QString ledger = dir + "/ledger.db";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "interp-ledger");
        db.setDatabaseName(ledger);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(
            q.exec("create table ledger(account TEXT NOT NULL, year INTEGER NOT NULL, "
                   "month INTEGER NOT NULL, debit REAL NOT NULL DEFAULT 0, "
                   "credit REAL NOT NULL DEFAULT 0, opening REAL NOT NULL DEFAULT 0)"));
        ASSERT_TRUE(q.exec("insert into ledger values ('1001', 2024, 3, 50, 20, 1000)"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("interp-ledger");
    {
        CReaderApp app(dir + "/qor.ini");
        CAppEnvironment env(app);  // the current environment while it lives
        CAppServiceList* list = env.EnsureLoggedIn();
        qor::DemoLedgerService* demo = nullptr;
        for (int i = 0; list && i < list->GetCount(); ++i)
            if (auto* s = qobject_cast<qor::DemoLedgerService*>(list->GetService(i))) demo = s;
        ASSERT_NE(demo, nullptr);
        demo->setDatabase(ledger);

        ok("let &qc = QC(\"1001\", 3, 2024)");
        EXPECT_EQ(variable("&qc"), 1000);
        ok("let &qm = QM(1001,3,2024) - QC(1001,3,2024)");
        EXPECT_EQ(variable("&qm"), 30);
        // A nested call's value is the argument: the service gets the code
        // the call gives, not the call's text split at its commas.
        ok("let &nested = QM(SUBSTR(\"1001xy\", 1, 4), 3, 2024)");
        EXPECT_EQ(variable("&nested"), 1030);
        ok("let &nested = QM(TRIM(\" 1001 \"), (1+2), 2024)");
        EXPECT_EQ(variable("&nested"), 1030);
        fails("let &x = QM(SUBSTR(1, 2, 3, 4, 5), 3, 2024)", CALC_ERR_EVALUATION);
        fails("let &x = NOSUCHSERVICE(1)", CALC_ERR_EVALUATION);
        EXPECT_TRUE(ci->LastErrorText().contains("NOSUCHSERVICE"));
        // Check-only runs ask no service.
        ci->SetRunMode(0, 8);
        EXPECT_EQ(ci->RunLine("let &y = NOSUCHSERVICE(1)"), 0);
        ci->SetRunMode(8, 0);
    }
    qputenv("QOR_REGISTRY", savedRegistry);
}

TEST_F(InterpTest, TheDocumentRunsLinesOnItsOwnReport) {
    CReportHandle* r = makeReport("doc.rep", 3, 3, 2);
    CCalcInterpreter& global = CCalcInterpreter::Instance();
    global.Reset();
    CReportHandle* elsewhere = makeReport("elsewhere.rep", 3, 3, 1);
    global.SetReport(elsewhere);
    int refreshed = 0;
    qor::cmd::CalcDocumentHooks hooks;
    hooks.reportOf = [&](CQorsDoc* d) { return d == fakeDocument() ? r : nullptr; };
    hooks.refresh = [&](CQorsDoc*) { ++refreshed; };
    global.SetDocumentHooks(hooks);
    global.SetRunMode(0xFF, 2);

    EXPECT_EQ(RunCommandLineForDocument(fakeDocument(), "TOTAL ", 1), 0);
    EXPECT_EQ(r->GetPageCount(), 3);
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(global.TestRunMode(0xFF), 2);    // the caller's byte is back
    EXPECT_EQ(global.GetReport(), elsewhere);  // and the interpreter's report
    EXPECT_EQ(global.GetDocument(), nullptr);
    EXPECT_EQ(RunCommandLineForDocument(fakeDocument(), "DELETE 9", 1 | 0x10), -1);
    EXPECT_EQ(global.LastErrorCode(), ::code(Status::PageOutOfRange));

    // The frame's activation: document first, then its report.
    global.SetDocument(fakeDocument());
    global.SyncReportFromDocument();
    EXPECT_EQ(global.GetReport(), r);
    global.SetDocument(nullptr);
    global.SyncReportFromDocument();
    EXPECT_EQ(global.GetReport(), nullptr);
    global.SetDocumentHooks({});
    global.Reset();
}
