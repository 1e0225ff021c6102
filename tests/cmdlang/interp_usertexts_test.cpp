// What a failing command or formula tells the user reads in the user's
// language: the only ASCII words in it are the ones the user wrote or the
// language's own names (commands, functions, cells, V_ names).
#include <QRegularExpression>

#include "cmdlang/formulacheck.h"
#include "cmdlang/functions.h"
#include "engine/messages.h"
#include "interp_support.h"

using namespace interp;

namespace {

// Words of the language a text may quote although the line did not.
bool languageWord(const QString& w) {
    static const QStringList kWords = {"KEY", "TOTAL", "GTOTAL", "FIND", "GFIND", "CONTINUE",
                                       "FOR", "ALL", "MESS", "DO", "APPEND", "SORT", "ROUND"};
    if (kWords.contains(w)) return true;
    if (w == w.toUpper() && qor::cmd::FindFunction(w)) return true;
    static const QRegularExpression reference(QStringLiteral("^(V_)?[A-Z]{0,2}[0-9]*$"));
    return reference.match(w).hasMatch();
}

// The ASCII words of three letters or more in text that neither the typed
// line holds nor the language names.
QStringList foreignWords(const QString& text, const QString& typed) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    static const QRegularExpression letters(QStringLiteral("[A-Za-z]"));
    QStringList out;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured(0);
        if (w.count(letters) < 3 || languageWord(w)) continue;
        if (typed.contains(w, Qt::CaseInsensitive)) continue;
        out << w;
    }
    return out;
}

}  // namespace

TEST(UserTexts, TheWordCheckCatchesEnglish) {
    EXPECT_EQ(foreignWords(QStringLiteral("the condition of IFF cannot be an area"), "IFF(A1:A2,1,2)"),
              (QStringList{"the", "condition", "cannot", "area"}));
    EXPECT_TRUE(foreignWords(QStringLiteral("KEY应为可变区的列名（V_A），见C12与FOO"), "FOO(1)").isEmpty());
}

TEST_F(InterpTest, FailingCommandsTellTheUserInTheirLanguage) {
    CReportHandle* plain = makeReport("plain.rep", 10, 5, 2);
    ASSERT_EQ(plain->SetRoundingSettings({QString(), "A1:C4,甲乙", 2, "A4=B4+C4"}), 0);
    CReportHandle* rows = makeReport("rows.rep", 10, 5, 1, 1, 3);

    struct Case {
        CReportHandle* report;
        const char* line;
    };
    const Case cases[] = {
        {plain, "LET A1 = (1+"},                          // syntax
        {plain, "LEX A1 = 1"},                            // no such command
        {plain, "LET A1 = FOO(1)"},                       // unknown function
        {plain, "LET A1 = ROUND(1)"},                     // argument count
        {plain, "LET A1 = SUBSTR(\"abc\", 9.5, 1)"},      // argument range
        {plain, "LET A1 = IFF(A1:A2, 1, 2)"},             // IFF with an area condition
        {plain, "LET A1 = LOG(-1)"},                      // outside the function's domain
        {plain, "LET A1 = PTOTAL(1)"},                    // a statistic without an area
        {plain, "TOTAL TO \"sum\" KEY V_A"},              // KEY without a variable area
        {plain, "ROUND"},                                 // a rounding range that is no area
        {plain, "LET &x = GETRECORD(\"\", \"A1:B2\", \"1\")"},  // empty query
        {plain, "LET &x = GETRECORD(\"select 1\", \"A1:\", \"1\")"},
        {plain, "LET A1 = INDB(\"f.dbf\", \"t\", \"x\", 1)"},  // no database reader
        {plain, "SORT BY V_A"},                           // no variable area
        {plain, "SORT BY 单位"},                          // not a keyword
        {plain, "FREE &nosuch"},                          // the code's own text
        {rows, "LET A1 = GTOTAL(V_1)"},                   // the area's lines are named by columns
        {rows, "TOTAL TO \"sum\" KEY V_1"},
        {rows, "SORT BY V_1"},
    };
    for (const Case& c : cases) {
        const QString line = QString::fromUtf8(c.line);
        ci->SetReport(c.report);
        messages.clear();
        EXPECT_EQ(run(line), -1) << c.line;
        const QString told = ci->LastErrorText();
        EXPECT_FALSE(told.isEmpty()) << c.line;
        EXPECT_EQ(foreignWords(told, line), QStringList()) << c.line << ": " << told.toStdString();
        ASSERT_EQ(messages.size(), 1) << c.line;
        EXPECT_EQ(foreignWords(messages[0], line), QStringList())
            << c.line << ": " << messages[0].toStdString();
    }
}

TEST(UserTexts, FormulaChecksTellTheUserInTheirLanguage) {
    qor::cmd::FormulaCheckContext ctx;
    ctx.rows = 20;
    ctx.cols = 10;
    ctx.varKind = 1;
    ctx.isKeyword = [](QStringView s) { return s == u"年"; };
    for (const char* formula :
         {"FOO(1)", "ROUND(1)", "PAI(1)", "SUBSTR(\"abc\",,2)", "PTOTAL(1)", "ABS(A1:A2)",
          "ABS(>0)", "K1+1", "V_1", "V_K", "季+1", "A1 Relation 部门 with \"b.rep\"->年", "V_ZZZ",
          "A1+", "A1:B2+1"}) {
        const QString text = QString::fromUtf8(formula);
        qor::cmd::ParseError e;
        ASSERT_NE(qor::cmd::CheckFormula(text, ctx, &e), Status::Ok) << formula;
        EXPECT_EQ(foreignWords(e.toString(), text), QStringList())
            << formula << ": " << e.toString().toStdString();
    }
    qor::cmd::FormulaCheckContext none = ctx;
    none.varKind = 0;
    qor::cmd::ParseError e;
    ASSERT_NE(qor::cmd::CheckFormula(QStringLiteral("V_A"), none, &e), Status::Ok);
    EXPECT_EQ(foreignWords(e.toString(), "V_A"), QStringList()) << e.toString().toStdString();
}

TEST_F(InterpTest, AScriptsFailureNamesItsLineInTheUsersLanguage) {
    ci->SetReport(makeReport("s.rep", 10, 5, 1));
    writeFile("month.shl", "LET A1 = 1\nLET A1 = IFF(A1:A2, 1, 2)\n");
    writeFile("parse.shl", "LET A1 = 1\nLET A1 = (1\n");
    writeFile("outer.shl", "DO \"month\"\n");
    const std::pair<const char*, int> failing[] = {
        {"month.shl", 2}, {"parse.shl", 2}, {"outer.shl", 1}};
    for (const auto& [script, line] : failing) {
        QString error;
        EXPECT_FALSE(ci->RunBatchFile(dir + "/" + script, &error)) << script;
        const QString place = LoadErrorText(qor::str::kScriptLineFailed)
                                  .arg(QString::fromLatin1(script), QString::number(line), QString());
        EXPECT_TRUE(error.startsWith(place)) << error.toStdString();
        EXPECT_EQ(foreignWords(error, "month.shl parse.shl outer.shl IFF"), QStringList())
            << error.toStdString();
    }
}
