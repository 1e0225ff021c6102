// Script files: encodings, comments, line numbers in errors, nothing run
// when a line does not parse, DO nesting, Esc between lines, the batch
// runner's question, and the environment's batch entry.
#include <QStringEncoder>

#include "cmdlang/scripts.h"
#include "engine/messages.h"
#include "interp_support.h"
#include "platform/codepage.h"
#include "reader/cappenvironment.h"

using namespace interp;

namespace {

QByteArray utf16WithBom(const QString& text) {
    QStringEncoder enc(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(enc.encode(text));
}

}  // namespace

TEST_F(InterpTest, Utf16FormulaListRecalculatesAPage) {
    CReportHandle* r = makeReport("list.rep", 4, 4, 1);
    for (int row = 1; row <= 3; ++row) {
        setNumber(r, 1, row, 2, row);
        setNumber(r, 1, row, 3, row * 100);
    }
    ci->SetReport(r);
    writeFile("formulas.shl", utf16WithBom("let A1=B1+C1\r\nlet A2=B2+C2\r\nlet A3=B3+C3\r\n"
                                           "let A4=PTOTAL(A1:A3)\r\n"));
    QString error;
    ASSERT_TRUE(ci->RunBatchFile(dir + "/formulas.shl", &error)) << error.toStdString();
    EXPECT_EQ(number(r, 1, 1, 1), 101);
    EXPECT_EQ(number(r, 1, 3, 1), 303);
    EXPECT_EQ(number(r, 1, 4, 1), 606);
}

TEST_F(InterpTest, ScriptsInUtf8AndGb18030WithComments) {
    CReportHandle* r = makeReport("enc.rep", 3, 3, 1);
    ci->SetReport(r);
    const QString text = QStringLiteral(
        "* 设置关键字\n; another comment\n\nLET 单位名称 = \"北京\"\nLET 年 = 2004\n");
    writeFile("u8.shl", text.toUtf8());
    ASSERT_TRUE(ci->RunBatchFile(dir + "/u8.shl"));
    EXPECT_EQ(keyword(r, 1, kName), "北京");
    writeFile("gb.shl", qor::encodeCp936(QString(text).replace("北京", "上海")));
    ASSERT_TRUE(ci->RunBatchFile(dir + "/gb.shl"));
    EXPECT_EQ(keyword(r, 1, kName), "上海");
    EXPECT_EQ(qor::cmd::DecodeScriptBytes(QByteArray("\xEF\xBB\xBF") + "LET a=1"), "LET a=1");
}

namespace {
// How a failure names the script and line it happened on, before what failed.
QString place(const QString& script, int line) {
    return LoadErrorText(qor::str::kScriptLineFailed).arg(script, QString::number(line), QString());
}
}  // namespace

TEST_F(InterpTest, ASyntaxErrorRunsNothingAndNamesItsLine) {
    writeFile("bad.shl", "let &a = 1\n* comment\nlet &b = (2\nlet &c = 3\n");
    QString error;
    EXPECT_FALSE(ci->RunBatchFile(dir + "/bad.shl", &error));
    EXPECT_TRUE(error.startsWith(place("bad.shl", 3) + QStringLiteral("第12个字符处："))) << error.toStdString();
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_SYNTAX);
    EXPECT_EQ(ci->Runtime().GetVariableCount(), 0);

    // A failing line stops the run; the lines after it do not run.
    writeFile("stop.shl", "let &a = 1\nlet &b = 1/0\nlet &c = 3\n");
    EXPECT_FALSE(ci->RunBatchFile(dir + "/stop.shl", &error));
    EXPECT_TRUE(error.startsWith(place("stop.shl", 2))) << error.toStdString();
    EXPECT_TRUE(variable("&a"));
    EXPECT_FALSE(variable("&c"));
    EXPECT_EQ(ci->TestRunMode(0xFF), 0);  // batch mode was only for the run

    EXPECT_FALSE(ci->RunBatchFile(dir + "/none.shl", &error));
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_FILE);
    writeFile("empty.shl", "");
    EXPECT_FALSE(ci->RunBatchFile(dir + "/empty.shl", &error));
    EXPECT_TRUE(error.contains("empty"));
}

TEST_F(InterpTest, TheBatchQuestionMayGoOn) {
    writeFile("go.shl", "let &a = 1/0\nlet &b = 2\nlet &c = NOPE\nlet &d = 4\n");
    int asked = 0;
    qor::cmd::CalcSubsystemHooks hooks;
    hooks.batchError = [&](const QString& message) {
        EXPECT_TRUE(message.startsWith(place("go.shl", 1)));
        ++asked;
        return qor::cmd::BatchErrorAnswer{true, true};
    };
    ci->SetSubsystemHooks(hooks);
    QString error;
    EXPECT_FALSE(ci->RunBatchFile(dir + "/go.shl", &error));  // it did fail
    EXPECT_EQ(asked, 1);                                      // "以后不再提示" was ticked
    EXPECT_TRUE(variable("&b"));
    EXPECT_TRUE(variable("&d"));
    EXPECT_TRUE(error.startsWith(place("go.shl", 1))) << error.toStdString();
}

TEST_F(InterpTest, DoNestsEightDeep) {
    // d0 runs d1 ... each through DO; the last one sets a variable.
    auto chain = [&](int depth) {
        for (int i = 0; i < depth; ++i)
            writeFile(QStringLiteral("d%1.shl").arg(i),
                      QStringLiteral("DO \"d%1\"\n").arg(i + 1).toUtf8());
        writeFile(QStringLiteral("d%1.shl").arg(depth), "let &deep = 1\n");
    };
    chain(8);
    QString error;
    EXPECT_TRUE(ci->RunBatchFile(dir + "/d0.shl", &error)) << error.toStdString();
    EXPECT_EQ(variable("&deep"), 1);

    ci->Reset();
    chain(9);
    EXPECT_FALSE(ci->RunBatchFile(dir + "/d0.shl", &error));
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_NESTING);
    EXPECT_FALSE(variable("&deep"));
    EXPECT_TRUE(error.startsWith(place("d0.shl", 1) + place("d1.shl", 1))) << error.toStdString();
    ok("let &after = 1");  // the depth is back to 0
    ok(QStringLiteral("DO \"%1/d5.shl\"").arg(dir));
    fails("DO \"nothing.shl\"", CALC_ERR_FILE);
}

TEST_F(InterpTest, EscStopsBetweenCommands) {
    writeFile("long.shl", "let &a = 1\nlet &b = 2\nlet &c = 3\nlet &d = 4\n");
    int polls = 0;
    qor::UiServices ui = quietUi();
    ui.stopRequested = [&] { return ++polls == 3; };
    qor::installUiServices(ui);
    QString error;
    EXPECT_FALSE(ci->RunBatchFile(dir + "/long.shl", &error));
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_STOPPED);
    EXPECT_TRUE(variable("&b"));
    EXPECT_FALSE(variable("&c"));
    EXPECT_TRUE(error.startsWith(place("long.shl", 3))) << error.toStdString();
    // The stop question is asked, in the user's language; answering no goes on.
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first(), QStringLiteral("是否停止执行命令？"));
    ui.messageBox = [](const qor::MessageRequest&) { return qor::MsgAnswer::No; };
    ui.stopRequested = [] { return true; };
    qor::installUiServices(ui);
    ci->Reset();
    EXPECT_TRUE(ci->RunBatchFile(dir + "/long.shl", &error));
    EXPECT_TRUE(variable("&d"));
}

TEST_F(InterpTest, TheEnvironmentRunsBatchFilesThroughTheInterpreter) {
    qor::cmd::InstallInterpreterHooks();
    writeFile("env.shl", "let &fromenv = 42\n");
    QString error;
    EXPECT_TRUE(CAppEnvironment::Instance().RunBatchFile(dir + "/env.shl", &error))
        << error.toStdString();
    CCalcInterpreter& global = CCalcInterpreter::Instance();
    const std::optional<qor::cmd::Value> v = global.Runtime().VariableValue(u"&fromenv");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->asNumber(), 42);
    global.Reset();
    qor::cmd::InstallEngineHooks();
}
