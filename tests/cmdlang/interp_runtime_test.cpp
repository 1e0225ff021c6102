// The interpreter context: run-mode bits, the command buffer, user
// variables and the financial-indicator protocol, check-only runs, and how
// failures are reported.
#include "engine/messages.h"
#include "interp_support.h"
#include "reader/cappenvironment.h"

using namespace interp;
using qor::cmd::Value;

namespace {

// The financial-indicator program's way of running one line.
int callerRuns(CCalcInterpreter& ci, const QString& line) {
    EXPECT_TRUE(ci.Runtime().SetCommandBuffer(line));
    const int saved = ci.TestRunMode(0xFF);
    ci.SetRunMode(0, 1);
    const int rc = ci.RunCommand();
    ci.SetRunMode(0xFF, saved);
    return rc;
}

}  // namespace

TEST_F(InterpTest, RunModeBitsExcludeOneAnother) {
    ci->SetRunMode(0, 1);
    EXPECT_EQ(ci->TestRunMode(0xFF), 1);
    ci->SetRunMode(0, 2);
    EXPECT_EQ(ci->TestRunMode(0xFF), 2);
    ci->SetRunMode(0, 4 | 8);
    EXPECT_EQ(ci->TestRunMode(0xFF), 4 | 8);
    ci->SetRunMode(0, 1);
    EXPECT_EQ(ci->TestRunMode(0xFF), 1 | 8);
    EXPECT_EQ(ci->TestRunMode(8), 8);
    EXPECT_EQ(ci->TestRunMode(2), 0);
    ci->SetRunMode(8, 0);
    EXPECT_EQ(ci->TestRunMode(0xFF), 1);

    // The caller protocol gives back the byte it found.
    ci->SetRunMode(0xFF, 2 | 0x10);
    EXPECT_EQ(callerRuns(*ci, "let &a = 1"), 0);
    EXPECT_EQ(ci->TestRunMode(0xFF), 2 | 0x10);
    // Internal bits never show.
    EXPECT_EQ(ci->TestRunMode(0xFFFF), 2 | 0x10);
}

TEST_F(InterpTest, FinancialIndicatorProtocol) {
    EXPECT_EQ(callerRuns(*ci, "let &abcdefg = -1.7E+308"), 0);
    EXPECT_EQ(variable("&ABCDEFG"), -1.7e308);
    // A rejected expression leaves the marker value in place.
    EXPECT_EQ(callerRuns(*ci, "let &abcdefg = 1/0"), -1);
    EXPECT_EQ(variable("&abcdefg"), -1.7e308);
    EXPECT_EQ(callerRuns(*ci, "let &abcdefg = NOSUCHFN(\"1001\",21)"), -1);
    EXPECT_EQ(variable("&abcdefg"), -1.7e308);
    EXPECT_EQ(callerRuns(*ci, "let &abcdefg = (100+20)*3/2"), 0);
    EXPECT_EQ(variable("&abcdefg"), 180);
    const int i = ci->Runtime().FindVariable(u"&AbcDefg");
    ASSERT_GE(i, 0);
    EXPECT_EQ(ci->Runtime().GetVariable(i).type, 0);
    EXPECT_EQ(callerRuns(*ci, "free &abcdefg"), 0);
    EXPECT_EQ(ci->Runtime().FindVariable(u"&abcdefg"), -1);
    // Freeing a name that is not there: an error typed, ignored in a script.
    EXPECT_EQ(callerRuns(*ci, "free &abcdefg"), -1);
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_UNKNOWN_VARIABLE);
    EXPECT_TRUE(ci->RunScriptText("free &abcdefg\n", "t.shl"));
}

TEST_F(InterpTest, VariablesAtMostEightyWithShortNames) {
    ok("let &t = \"abc\" + \"d\"");
    const CalcVariable& t = ci->Runtime().GetVariable(ci->Runtime().FindVariable(u"&T"));
    EXPECT_EQ(t.type, 1);
    EXPECT_EQ(t.text, QStringLiteral("abcd"));
    ok("let x = &t");  // a variable reads another

    ok("let abcdefghi = 1");  // 9 characters
    fails("let abcdefghij = 1", CALC_ERR_NAME_TOO_LONG);
    for (int i = ci->Runtime().GetVariableCount(); i < 80; ++i)
        ok(QStringLiteral("let &v%1 = %1").arg(i));
    EXPECT_EQ(ci->Runtime().GetVariableCount(), 80);
    fails("let &v80 = 1", CALC_ERR_TOO_MANY_VARIABLES);
    ok("let &V79 = 7");  // overwriting still works at the limit
    EXPECT_EQ(variable("&v79"), 7);
    EXPECT_EQ(ci->Runtime().GetVariable(ci->Runtime().FindVariable(u"&v79")).name, "&v79");
    ok("free &v79, &v78");
    ok("let &v80 = 1");

    CCalcRuntime rt;
    EXPECT_TRUE(rt.SetCommandBuffer(QString(4096, u'x')));
    EXPECT_FALSE(rt.SetCommandBuffer(QString(4097, u'x')));
    EXPECT_EQ(rt.GetCommandBuffer().size(), 4096);
    EXPECT_EQ(ci->RunLine("let a = " + QString(4100, u'1')), -1);
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_LINE_TOO_LONG);
}

// A variable keeps where its text came from: a text typed in data state
// put into one is still data when the variable is read (a database
// condition binds it).
TEST_F(InterpTest, VariablesKeepTheMarksOfTheirTexts) {
    CReportHandle* r = makeReport("marks.rep", 3, 3, 1);
    ci->SetReport(r);
    setKeyword(r, 1, kName, QStringLiteral("x' or '1'='1"));
    ok("let &c = \"memo = '\" + 单位名称 + \"'\"");
    ok("let &d = &c");
    using P = QList<qor::cmd::TextPiece>;
    for (const char* name : {"&c", "&d"})
        EXPECT_EQ(ci->Runtime().VariableValue(QString::fromLatin1(name))->pieces(),
                  (P{{"memo = '", true}, {"x' or '1'='1", false}, {"'", true}}))
            << name;
}

TEST_F(InterpTest, CheckOnlyWritesAndQueriesNothing) {
    CReportHandle* r = makeReport("check.rep", 5, 3, 1);
    int queries = 0;
    qor::cmd::CalcSubsystemHooks hooks;
    hooks.getRecord = [&](const qor::cmd::RecordRequest& req) {
        ++queries;
        EXPECT_EQ(req.area, QStringLiteral("A1:A3"));
        EXPECT_EQ(req.page, 1);
        return Value::number(0);
    };
    ci->SetSubsystemHooks(hooks);
    ci->SetReport(r);

    ci->SetRunMode(0, 8);
    EXPECT_EQ(ci->RunLine("let A1 = 5"), 0);
    EXPECT_EQ(ci->RunLine("let &x = GETRECORD(\"select a from t\", \"A1 : A3\", \"1\")"), 0);
    EXPECT_EQ(queries, 0);
    EXPECT_TRUE(empty(r, 1, 1, 1));
    EXPECT_EQ(ci->Runtime().GetVariableCount(), 0);
    // The checks of GETRECORD hold in check mode as well.
    EXPECT_EQ(ci->RunLine("let &x = GETRECORD(\"select a\", \"A1:A3\", \"2\")"), -1);
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_MALFORMED_CALL);
    EXPECT_EQ(ci->RunLine("let &x = GETRECORD(\"select a\", \"A1:A3\", \"0\", 256)"), -1);
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_BAD_RECORD_LIMIT);
    EXPECT_TRUE(messages.isEmpty());  // check mode asks nobody
    ci->SetRunMode(8, 0);

    ok("let &x = GETRECORD(\"select a from t\", \"A1:A3\", \"1\")");
    EXPECT_EQ(queries, 1);
    ok("let A1 = 5");
    EXPECT_EQ(number(r, 1, 1, 1), 5);
}

TEST_F(InterpTest, FailuresAreLoggedAndShownToTheUserOnly) {
    fails("let &a = (1+", CALC_ERR_SYNTAX);
    EXPECT_TRUE(ci->LastErrorText().startsWith(QStringLiteral("第13个字符处：")))
        << ci->LastErrorText().toStdString();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], ci->LastErrorText());
    EXPECT_TRUE(ReadErrorLogText().contains("let &a = (1+"));
    fails("FROB 1", CALC_ERR_SYNTAX);
    fails("let A1 = 2", CALC_ERR_NO_REPORT);
    fails("FIND FOR 年=2004", CALC_ERR_NO_REPORT);

    messages.clear();
    ci->SetRunMode(0, 0x10);  // quiet
    EXPECT_EQ(ci->RunLine("let &a = 1/0"), -1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(ci->LastErrorCode(), CALC_ERR_EVALUATION);
    EXPECT_TRUE(ReadErrorLogText().contains("let &a = 1/0"));

    // Commands the program's other parts do fail until they are there.
    ci->SetReport(makeReport("hooks.rep", 5, 3, 1));
    fails("BROWSE A1:B2 LABELS \"x\"", CALC_ERR_NOT_AVAILABLE);
    fails("MENU \"user.mnu\"", CALC_ERR_NOT_AVAILABLE);
    fails("CONVERT \"a.rep\" TO \"a.xls\"", CALC_ERR_NOT_AVAILABLE);
    fails("MAIL S", CALC_ERR_NOT_AVAILABLE);
    EXPECT_TRUE(ci->LastErrorText().contains("MAIL"));
}

TEST_F(InterpTest, ReachesTheOtherSubsystemsThroughTheirHooks) {
    CReportHandle* r = makeReport("sub.rep", 10, 5, 1);
    ci->SetReport(r);
    QList<CalcRange> areas;
    QStringList labels;
    QChar mailMode = u'?';
    qor::cmd::VariableListing listed;
    qor::cmd::CalcSubsystemHooks hooks;
    hooks.browse = [&](const QList<CalcRange>& a, const QStringList& l, CReportHandle* rep,
                       QString*) {
        EXPECT_EQ(rep, r);
        areas = a;
        labels = l;
        return true;
    };
    hooks.mail = [&](QChar mode, QString* why) {
        mailMode = mode;
        *why = "no connection";
        return false;
    };
    hooks.listVariables = [&](const qor::cmd::VariableListing& l) { listed = l; };
    ci->SetSubsystemHooks(hooks);

    ok("BROWSE A1:C3,,E5 LABELS \"北京,上海\"");
    ASSERT_EQ(areas.size(), 2);
    EXPECT_EQ(areas[0], (CalcRange{0, {}, 0, 0, 0, 2, 2}));
    EXPECT_EQ(areas[1], (CalcRange{0, {}, 0, 4, 4, 4, 4}));
    EXPECT_EQ(labels, (QStringList{"北京", "上海"}));
    fails("BROWSE A1:IU20", CALC_ERR_BAD_ARGUMENT);  // more than 3,000 cells

    fails("MAIL A", CALC_ERR_NOT_AVAILABLE);
    EXPECT_EQ(mailMode, u'A');
    EXPECT_EQ(ci->LastErrorText(), QStringLiteral("no connection"));
    // While a mail transfer runs, the command is refused at once.
    MailThreadEvent().Reset();
    mailMode = u'?';
    fails("MAIL", CALC_ERR_MAIL_BUSY);
    MailThreadEvent().Set();
    EXPECT_EQ(mailMode, u'?');
    EXPECT_EQ(ci->LastErrorText(), LoadErrorText(qor::str::kMailProgramRunning).trimmed());

    ok("let &n = 12.5");
    ok("let &s = \"abc\"");
    ok("LIST MEMORY");
    EXPECT_EQ(listed.names, (QStringList{"&n", "&s"}));
    EXPECT_EQ(listed.types, (QStringList{LoadErrorText(qor::str::kNumberKeywordType),
                                         LoadErrorText(qor::str::kTextKeywordType)}));
    EXPECT_EQ(listed.values, (QStringList{"12.5", "abc"}));
    ok("HELP");  // headless: to the message sink
}

TEST_F(InterpTest, TextsStopAtTheirMaximumLength) {
    // Doubling a text reaches the limit exactly, then the next doubling
    // fails the line with the reason and leaves the variable as it was.
    ok(QStringLiteral("LET &x = \"ab\""));
    for (int i = 0; i < 15; ++i) ok(QStringLiteral("LET &x = &x + &x"));
    std::optional<Value> x = ci->Runtime().VariableValue(QStringLiteral("&x"));
    ASSERT_TRUE(x && x->isText());
    EXPECT_EQ(x->asText().size(), qor::cmd::kMaxTextChars);
    fails(QStringLiteral("LET &x = &x + \"c\""), 206);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("字符串将超过65536个字符")))
        << ci->LastErrorText().toStdString();
    x = ci->Runtime().VariableValue(QStringLiteral("&x"));
    ASSERT_TRUE(x && x->isText());
    EXPECT_EQ(x->asText().size(), qor::cmd::kMaxTextChars);
    // An empty text joins without growing it.
    ok(QStringLiteral("LET &x = &x + \"\""));
}

TEST_F(InterpTest, TheLogReadsInTheUsersLanguage) {
    fails("let A1 = 2", CALC_ERR_NO_REPORT);
    fails("FROB 1", CALC_ERR_SYNTAX);
    const QString log = ReadErrorLogText();
    // The stock text of a code is the string table's; the line and code
    // stay as they were for whoever looks the code up.
    EXPECT_TRUE(log.contains(LoadErrorText(qor::str::kLogFailure)
                                 .arg(CALC_ERR_NO_REPORT)
                                 .arg(LoadErrorText(qor::str::kNoReportOpen))))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("let A1 = 2")));
    EXPECT_FALSE(log.contains(QStringLiteral("error 203")));
    EXPECT_FALSE(log.contains(QStringLiteral("no report is open")));
    // A detail that names what went wrong is kept as the language gave it.
    EXPECT_TRUE(
        log.contains(LoadErrorText(qor::str::kLogFailure).arg(CALC_ERR_SYNTAX).arg(QString())));
    // The parser's detail is the user's language too, the word quoted as typed.
    EXPECT_TRUE(log.contains(QStringLiteral("第1个字符处：没有命令“FROB”"))) << log.toStdString();
    EXPECT_EQ(qor::cmd::LocalCalcFailure(CALC_ERR_FILE, QStringLiteral("x.txt: gone")),
              QStringLiteral("x.txt: gone"));
    EXPECT_EQ(qor::cmd::LocalCalcFailure(CALC_ERR_FILE, qor::cmd::CalcErrorText(CALC_ERR_FILE)),
              LoadErrorText(qor::str::kFileUnusable));
}
