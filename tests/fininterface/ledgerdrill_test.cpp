// The drill-down from a cell to the detail ledger: which formulas count as
// ledger calls, the codes, period and flag read from them, and the command
// as a document runs it against the recording ledger stand-in.
#include "fininterface/ledgerdrill.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>

#include "cmdlang/enginehooks.h"
#include "document/cmdtarget.h"
#include "document/doc_commands.h"
#include "finui/ledgerwindow.h"
#include "platform/automation.h"
#include "reader/builtincomponents.h"
#include "reader/cappenvironment.h"
#include "reader/ledgerstandins.h"
#include "tests/document/doc_fixture.h"
#include "resources/commandids.h"

using namespace qor::ledger;

namespace {

TEST(LedgerDrill, RecognisesChainsOfLedgerCalls) {
    EXPECT_TRUE(IsLedgerFunction(QStringLiteral("QM( \"1001\" , \"22\", \"Y\" )")));
    EXPECT_TRUE(IsLedgerFunction(QStringLiteral("QM(1001,22)+QC(1002,22)")));
    EXPECT_TRUE(IsLedgerFunction(QStringLiteral("SDFS(1001,2202,22)-WJE(1002,1)")));
    EXPECT_FALSE(IsLedgerFunction(QStringLiteral("SUM(A1:A3)")));
    EXPECT_FALSE(IsLedgerFunction(QStringLiteral("QM(1001,22)+SUM(A1)")));
    EXPECT_FALSE(IsLedgerFunction(QStringLiteral("XQM(1001)")));
    EXPECT_FALSE(IsLedgerFunction(QStringLiteral("A1+1")));
    // A name ending in EX settles it without the rest being read.
    EXPECT_TRUE(IsLedgerFunction(QStringLiteral("ANYEX(((")));
    // A call that never closes is no call (and must not loop).
    EXPECT_FALSE(IsLedgerFunction(QStringLiteral("QM(1001")));
    EXPECT_FALSE(IsLedgerFunction(QStringLiteral("QM(1001)+QC(1002")));
}

TEST(LedgerDrill, ReadsCodesPeriodAndFlag) {
    LedgerRequest r = ReadLedgerRequest(QStringLiteral("QM(2001,22)+QC(1002,23,\"Y\")"));
    EXPECT_EQ(r.codeList(), "1002/2001");
    // Period and flag come from the call of the first code.
    EXPECT_EQ(r.period, "23");
    EXPECT_TRUE(r.include);

    r = ReadLedgerRequest(QStringLiteral("QM(\"1001\",\"21\")"));
    EXPECT_EQ(r.codeList(), "1001");
    EXPECT_EQ(r.period, "21");
    EXPECT_FALSE(r.include);

    // One argument only: the code ends at ")", not at a later call's ",".
    r = ReadLedgerRequest(QStringLiteral("QM(1001)+QC(2002,22)"));
    EXPECT_EQ(r.codeList(), "1001/2002");
    EXPECT_EQ(r.period, "");

    // The first code's digits inside an earlier call's arguments must not
    // lend that call's period or flag.
    r = ReadLedgerRequest(QStringLiteral("QM(5001,1001,\"Y\")+QC(1001,24)"));
    EXPECT_EQ(r.codeList(), "1001/5001");
    EXPECT_EQ(r.period, "24");
    EXPECT_FALSE(r.include);

    // The counterpart family has an extra argument before the period.
    r = ReadLedgerRequest(QStringLiteral("DFS(1001,2202,22)"));
    EXPECT_EQ(r.period, "22");

    // No period: the month of a year-month-day eighth field, else nothing.
    r = ReadLedgerRequest(QStringLiteral("QM(1001,,A,B,C,D,E,\"2024-05-31\")"));
    EXPECT_EQ(r.period, "05");
    r = ReadLedgerRequest(QStringLiteral("QM(1001,,A)"));
    EXPECT_EQ(r.period, "");
}

// The include flag is its own argument, and a date that names no day of
// the calendar gives no period.
TEST(LedgerDrill, IncludeFlagAndDatesComeFromTheirOwnArguments) {
    struct Case {
        const char* formula;
        bool include;
        const char* period;
    };
    const Case cases[] = {
        {"QM(\"Y001\",5,N)", false, "5"},           // a "Y" in the code
        {"QM(1001,\"Y\",N)", false, "Y"},           // a "Y" as the period
        {"QM(1001,5,\"Y\")", true, "5"},
        {"QM(1001,5, Y )", true, "5"},
        {"QM(1001,5,YES)", false, "5"},
        {"DFS(1001,Y,22,N)", false, "22"},          // the counterpart's extra argument
        {"DFS(1001,2202,22,\"Y\")", true, "22"},
        {"QM(1001,,A,B,C,D,E,\"2024-13-40\")", false, ""},
        {"QM(1001,,A,B,C,D,E,\"abcd-05-31\")", false, ""},
        {"QM(1001,,A,B,C,D,E,\"2024-02-30\")", false, ""},
        {"QM(1001,,A,B,C,D,E,\"2024-02-29\")", false, "02"},
        {"QM(1001,,A,B,C,D,E,2024-05)", false, "05"},
    };
    for (const Case& c : cases) {
        const LedgerRequest r = ReadLedgerRequest(QString::fromUtf8(c.formula));
        EXPECT_EQ(r.include, c.include) << c.formula;
        EXPECT_EQ(r.period, QString::fromUtf8(c.period)) << c.formula;
    }
}

TEST(LedgerDrill, KeepsAtMostTwentyCodes) {
    QStringList calls;
    for (int i = 0; i < 25; ++i) calls << QStringLiteral("QM(%1,22)").arg(1000 + i);
    const LedgerRequest r = ReadLedgerRequest(calls.join(u'+'));
    ASSERT_EQ(r.codes.size(), kMaxAccountCodes);
    EXPECT_EQ(r.codes.front(), "1000");
    EXPECT_EQ(r.codes.back(), "1019");
}

TEST(LedgerDrill, ResolvesPeriodCodes) {
    const QString opening = QStringLiteral("QC(1001,22)");
    const QString amount = QStringLiteral("FS(1001,22)");
    PeriodContext none{QString(), QString(), QDate(2024, 8, 15)};
    EXPECT_EQ(ResolvePeriod(opening, "22", none), "4");
    EXPECT_EQ(ResolvePeriod(amount, "22", none), "6");
    EXPECT_EQ(ResolvePeriod(amount, "24", none), "12");
    EXPECT_EQ(ResolvePeriod(opening, "30", none), "1");
    EXPECT_EQ(ResolvePeriod(amount, QStringLiteral("全年"), none), "12");
    EXPECT_EQ(ResolvePeriod(amount, "7", none), "7");
    // Month and quarter follow the page, else the log-in month.
    EXPECT_EQ(ResolvePeriod(amount, QStringLiteral("月"), none), "8");
    EXPECT_EQ(ResolvePeriod(amount, QStringLiteral("季"), none), "8");
    PeriodContext page{QStringLiteral("3"), QStringLiteral("2"), QDate(2024, 8, 15)};
    EXPECT_EQ(ResolvePeriod(amount, QStringLiteral("月"), page), "3");
    EXPECT_EQ(ResolvePeriod(opening, QStringLiteral("季"), page), "4");
    EXPECT_EQ(ResolvePeriod(amount, QStringLiteral("季"), page), "6");
}

// A data-state report whose B2 holds the formula; current cell B2.
std::unique_ptr<CQorsDoc> docWithFormula(const QString& formula) {
    auto doc = doctest::newDoc();
    CellArea at = CellArea::cell(2, 2);
    EXPECT_EQ(doc->GetReport()->SetAreaFormula(&at, formula), 0)
        << formula.toStdString() << doc->GetReport()->LastFormulaError().toStdString();
    EXPECT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(1, 1);
    return doc;
}

bool drillEnabled(CQorsDoc& doc) {
    qor::CommandState state;
    EXPECT_TRUE(doc.OnUpdateCommand(qor::cmd_ids::kCmdDrillDown, state));
    return state.enabled;
}

class LedgerDrillCommand : public ::testing::Test {
protected:
    void SetUp() override {
        qor::cmd::InstallEngineHooks({&IsLedgerFunctionName});
        qor::RegisterBuiltinComponents();
        m_previous = qor::doccmd::SetLedgerDrillHook({});
        InstallLedgerDrill();
        qor::LedgerStandIn::clearRecordedCalls();
    }
    void TearDown() override { qor::doccmd::SetLedgerDrillHook(m_previous); }

private:
    qor::doccmd::LedgerDrillHook m_previous;
};

TEST_F(LedgerDrillCommand, HandsTheCellsAccountsToTheLedger) {
    auto doc = docWithFormula(QStringLiteral("qm(2001,22,\"y\")+qc(1002,22)"));
    ASSERT_TRUE(drillEnabled(*doc));
    ASSERT_TRUE(doc->OnCommand(qor::cmd_ids::kCmdDrillDown));
    const auto calls = qor::LedgerStandIn::recordedCalls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].accountCodes, "1002/2001");
    EXPECT_EQ(calls[0].period, "4");  // opening balance of the second quarter
    EXPECT_FALSE(calls[0].include);
    EXPECT_TRUE(calls[0].hadLogin);
    EXPECT_TRUE(calls[0].hadQuery);

    // Off on a cell without a ledger formula, and without the hook.
    doc->Selection().SetCurrentCell(0, 0);
    EXPECT_FALSE(drillEnabled(*doc));
    auto plain = docWithFormula(QStringLiteral("A1+1"));
    EXPECT_FALSE(drillEnabled(*plain));
    doc->Selection().SetCurrentCell(1, 1);
    qor::doccmd::SetLedgerDrillHook({});
    qor::CommandState state;
    doc->OnUpdateCommand(qor::cmd_ids::kCmdDrillDown, state);
    EXPECT_EQ(state.reason, qor::doccmd::ReasonNotBuilt());
}

TEST_F(LedgerDrillCommand, ToldWhenTheLedgerCannotBeMade) {
    auto doc = docWithFormula(QStringLiteral("QM(1001,22)"));
    ASSERT_TRUE(qor::AutoRegistry::unregisterClass(QLatin1String(qor::LedgerStandIn::kClsid)));
    doctest::UiRecorder ui;
    doc->OnCommand(qor::cmd_ids::kCmdDrillDown);
    qor::RegisterBuiltinComponents();
    EXPECT_TRUE(ui.said(QStringLiteral("无法创建明细账组件")))
        << ui.messages.join(u'\n').toStdString();
    EXPECT_TRUE(qor::LedgerStandIn::recordedCalls().isEmpty());
}

TEST_F(LedgerDrillCommand, CommandLineHostPrintsWhatTheLedgerGets) {
    const QString dir = doctest::testDir();
    const QString path = dir + QStringLiteral("/ledger.rep");
    {
        auto doc = docWithFormula(QStringLiteral("FS(\"6001\",\"30\",\"Y\")"));
        ASSERT_TRUE(doc->Files().OnSaveDocument(path));
        doc->Files().OnCloseDocument();
    }
    const QString qor = QStringLiteral(QOR_TEST_BINARY_DIR "/apps/qor/qor");
    qortest::ProcessResult r = qortest::run(qor, {"ledger", path, "0", "2", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), "codes: 6001\nperiod: 12\ninclude: yes\n");
    // A cell without a ledger formula is refused with the reason.
    r = qortest::run(qor, {"ledger", path, "0", "1", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("没有公式")));
}

// The code argument is one argument whatever it holds: a quoted comma
// stays in the code, and a nested call is the argument (its own codes are
// its own), so neither splits the call's arguments nor lends a wrong code.
TEST_F(LedgerDrillCommand, TheCodeArgumentIsOneArgumentWhateverItHolds) {
    struct Case {
        const char* formula;
        const char* printed;
    };
    const Case cases[] = {
        {"QM(\"10,01\",5)", "codes: 10,01\nperiod: 5\ninclude: no\n"},
        {"QM(\"10,01\",5,\"Y\")", "codes: 10,01\nperiod: 5\ninclude: yes\n"},
        {"QM(QC(\"1001\",5),6)", "codes: 1001\nperiod: 5\ninclude: no\n"},
        {"QM(QC(\"1001\",5),6,\"Y\")+FS(\"2,1)\",7)", "codes: 1001/2,1)\nperiod: 5\ninclude: no\n"},
        {"DFS(\"1001\",\"2202\",\"22\",\"Y\")", "codes: 1001\nperiod: 6\ninclude: yes\n"},
        {"QM(1001,,\"A,B\",C,D,E,F,\"2024-05-31\")", "codes: 1001\nperiod: 05\ninclude: no\n"},
    };
    const QString path = doctest::testDir() + QStringLiteral("/nested.rep");
    const QString qor = QStringLiteral(QOR_TEST_BINARY_DIR "/apps/qor/qor");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formula);
        {
            auto doc = docWithFormula(QString::fromUtf8(c.formula));
            ASSERT_TRUE(doc->Files().OnSaveDocument(path));
            doc->Files().OnCloseDocument();
        }
        const qortest::ProcessResult r = qortest::run(qor, {"ledger", path, "0", "2", "2"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.out), QString::fromUtf8(c.printed));
    }
}

TEST_F(LedgerDrillCommand, DesktopLedgerWindowListsEachAccountByMonth) {
    InstallLedgerWindow(nullptr);
    auto doc = docWithFormula(QStringLiteral("QM(2001,21)-QC(1001,3)"));
    ASSERT_TRUE(doc->OnCommand(qor::cmd_ids::kCmdDrillDown));
    qor::RegisterBuiltinComponents();  // the recording stand-in again

    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "qorLedgerWindow" && w->isVisible()) window = w;
    ASSERT_NE(window, nullptr);
    // Period 3 of the opening balance: January to March of both accounts.
    auto* rows = window->findChild<QTableWidget*>("ledgerRows");
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->rowCount(), 6);
    EXPECT_EQ(rows->item(0, 0)->text(), "1001");
    EXPECT_EQ(rows->item(2, 1)->text(), "3");
    EXPECT_EQ(rows->item(3, 0)->text(), "2001");
    EXPECT_EQ(window->findChild<QWidget*>("ledgerError"), nullptr);
    window->close();  // deletes itself

    // A period that is no month lists the whole year.
    QString error;
    EXPECT_EQ(ReadLedgerRows(QStringLiteral("1001"), QStringLiteral("全年"), 2024, &error).size(),
              12);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}

}  // namespace
