// Formula commands: the define-formula loop and its messages, and the
// audit formulas.
#include "document/cmd_formula.h"

#include <gtest/gtest.h>

#include "cmdlang/enginehooks.h"
#include "cmdlang/functions.h"
#include "document/formulatexts.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

struct FormulaDialogs {
    QStringList answers;  // one formula per run; none left = cancel
    QList<DefineFormulaDlgMembers> seen;
    std::optional<DefineFormulaDlgMembers> DefineFormulaDlg(const DefineFormulaDlgMembers& m) {
        seen << m;
        if (answers.isEmpty()) return std::nullopt;
        DefineFormulaDlgMembers out = m;
        out.formula = answers.takeFirst();
        out.area = {5, 5, 5, 5};  // an edited area is not where the formula goes
        return out;
    }
    ScopedDialog<DefineFormulaDlgMembers> defineFormulaDlgAnswer{
        [this](const DefineFormulaDlgMembers& m) { return DefineFormulaDlg(m); }};
};

QString formulaAt(CQorsDoc& doc, int row, int col) {
    FormulaInfo f;
    doc.GetReport()->GetCellFormula(CellRef{0, int16_t(row), int16_t(col)}, &f);
    return f.text;
}

}  // namespace

TEST(CmdFormula, StoredOnTheSelectionAndTableTextsBecomeNumbers) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    CReportHandle* r = doc->GetReport();
    ASSERT_EQ(r->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("合计")}, 3, 2), 0);
    doc->Selection().SetSelection(2, 1, 3, 1);  // B3:B4
    FormulaDialogs dialogs;
    dialogs.answers << QStringLiteral("A1+A2");
    EXPECT_EQ(OnCellFormula(*doc), 0);
    EXPECT_EQ(formulaAt(*doc, 3, 2), QStringLiteral("A1+A2"));
    EXPECT_EQ(formulaAt(*doc, 4, 2), QStringLiteral("A1+A2"));
    EXPECT_EQ(formulaAt(*doc, 6, 6), QString());
    int32_t kind = 0;
    const CellArea b3 = CellArea::cell(3, 2);
    r->AccessAreaFormat(0, kFmtKind, &kind, &b3);
    EXPECT_EQ(kind, kCellNumber);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(ui.messages.isEmpty());

    // The next run starts from the top-left cell's formula.
    dialogs.answers.clear();
    EXPECT_EQ(OnCellFormula(*doc), -1);
    EXPECT_EQ(dialogs.seen.last().formula, QStringLiteral("A1+A2"));
    EXPECT_EQ(dialogs.seen.last().area, (DlgArea{1, 2, 1, 3}));
}

TEST(CmdFormula, RefusalsHaveTheirMessages) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    CReportHandle* r = doc->GetReport();
    int kind = 1, start = 3, extent = 1;
    ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
    const CellArea comb = CellArea::area(6, 1, 6, 2);
    ASSERT_EQ(r->CombineCells(&comb), 0);
    FormulaDialogs dialogs;

    doc->Selection().SetSelection(2, 0, 2, 0);  // the variable area's first row
    dialogs.answers << QStringLiteral("1");
    EXPECT_EQ(OnCellFormula(*doc), 1200);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kNoFormulaInVariableArea)});
    EXPECT_TRUE(doc->IsModified());  // as the command has always done

    doc->Selection().SetSelection(5, 0, 5, 1);
    dialogs.answers << QStringLiteral("1");
    EXPECT_EQ(OnCellFormula(*doc), 1220);
    EXPECT_EQ(ui.messages.last(), LoadErrorText(qor::str::kNoFormulaInCombinedCell));

    // Any other refusal (data state here) asks again with the text kept.
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetSelection(0, 0, 0, 0);
    dialogs.seen.clear();
    dialogs.answers << QStringLiteral("B1*2");
    EXPECT_EQ(OnCellFormula(*doc), -1);
    EXPECT_EQ(ui.messages.last(), LoadErrorText(qor::str::kFormulaFailed));
    ASSERT_EQ(dialogs.seen.size(), 2);
    EXPECT_EQ(dialogs.seen[1].formula, QStringLiteral("B1*2"));
}

TEST(CmdFormula, ARefusedFormulaLeavesTableTextsAsTheyWere) {
    cmd::InstallEngineHooks();
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    CReportHandle* r = doc->GetReport();
    ASSERT_EQ(r->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("合计")}, 3, 2), 0);
    doc->Selection().SetSelection(2, 1, 3, 1);  // B3:B4, B3 a table text
    FormulaDialogs dialogs;
    dialogs.answers << QStringLiteral("A1+(");  // refused, then cancelled
    EXPECT_EQ(OnCellFormula(*doc), -1);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(LoadErrorText(qor::str::kFormulaFailed)));
    int32_t kind = 0;
    const CellArea b3 = CellArea::cell(3, 2);
    r->AccessAreaFormat(0, kFmtKind, &kind, &b3);
    EXPECT_EQ(kind, kCellLabel);
    EXPECT_EQ(r->GetCellText(3, 2, 0), QStringLiteral("合计"));
    EXPECT_EQ(formulaAt(*doc, 3, 2), QString());
}

TEST(CmdFormula, AuditFormulasEndWithALineBreak) {
    auto doc = newDoc();
    UiRecorder ui;
    AuditFormulaDlgMembers m = PresetAuditFormulaDlg(*doc);
    EXPECT_EQ(m.text, QString());
    m.text = QStringLiteral("A15=A12+A13\r\nD12>D11 MESS \"不等\"");
    EXPECT_EQ(ApplyAuditFormulaDlg(*doc, m), 0);
    EXPECT_EQ(doc->GetReport()->GetAuditFormulas(), m.text + QStringLiteral("\r\n"));
    m.text = PresetAuditFormulaDlg(*doc).text;
    EXPECT_EQ(ApplyAuditFormulaDlg(*doc, m), 0);  // not doubled
    EXPECT_EQ(doc->GetReport()->GetAuditFormulas(), m.text);

    m.text = QString(4100, u'x');
    EXPECT_NE(ApplyAuditFormulaDlg(*doc, m), 0);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kSetAuditFormulaFailed)});

    m.text.clear();
    EXPECT_EQ(ApplyAuditFormulaDlg(*doc, m), 0);
    EXPECT_TRUE(doc->GetReport()->GetAuditFormulas().isEmpty());
}

TEST(CmdFormula, ARefusalSaysWhyAndWhereAndNamesTheFunctionMeant) {
    cmd::InstallEngineHooks();
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    doc->Selection().SetSelection(4, 1, 4, 1);  // B5
    FormulaDialogs dialogs;
    dialogs.answers << QStringLiteral("B1+SUM(B2:B4)");  // refused, then cancelled
    EXPECT_EQ(OnCellFormula(*doc), -1);
    ASSERT_EQ(ui.messages.size(), 1);
    const QString m = ui.messages[0];
    EXPECT_TRUE(m.startsWith(LoadErrorText(qor::str::kFormulaFailed))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("第4个字符处"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("没有函数 SUM"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("PTOTAL(<区域>[,<区域筛选条件>])"))) << m.toStdString();
    EXPECT_FALSE(m.contains(QStringLiteral("unknown"))) << m.toStdString();

    // Other reasons in the user's words, none left in the checker's.
    ui.messages.clear();
    dialogs.answers << QStringLiteral("ROUND(A1)") << QStringLiteral("Z99+1")
                    << QStringLiteral("PTOTL(A1:A2)");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(OnCellFormula(*doc), -1);
    ASSERT_EQ(ui.messages.size(), 3);
    EXPECT_TRUE(ui.messages[0].contains(QStringLiteral("函数 ROUND 要 2 个参数")))
        << ui.messages[0].toStdString();
    EXPECT_TRUE(ui.messages[1].contains(QStringLiteral("Z99 在表格之外")))
        << ui.messages[1].toStdString();
    EXPECT_TRUE(ui.messages[2].contains(QStringLiteral("可改用 PTOTAL")))
        << ui.messages[2].toStdString();
    EXPECT_EQ(formulaAt(*doc, 5, 2), QString());
}

TEST(FormulaTexts, EveryFunctionOfTheLanguageHasItsFormAndDescription) {
    int count = 0;
    const cmd::FunctionInfo* all = cmd::BuiltinFunctions(&count);
    ASSERT_GT(count, 50);
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(all[i].name);
        const std::optional<FunctionText> f = FunctionTextOf(name);
        ASSERT_TRUE(f) << all[i].name;
        EXPECT_TRUE(f->form.startsWith(name + u'(')) << all[i].name;
        EXPECT_FALSE(f->description.isEmpty()) << all[i].name;
        // A description taken from a string is the text, not its label or id.
        EXPECT_FALSE(f->description.startsWith(u'@')) << all[i].name;
        EXPECT_FALSE(f->description.contains(QStringLiteral("函数说明"))) << all[i].name;
    }
    EXPECT_EQ(FunctionTextOf(QStringLiteral("ptotal"))->description,
              QStringLiteral("指定区域内所有满足区域筛选条件的固定区单元的合计"));
    EXPECT_FALSE(FunctionTextOf(QStringLiteral("SUM")));
}

TEST(FormulaTexts, NearestFunction) {
    EXPECT_EQ(NearestFunction(QStringLiteral("sum")), QStringLiteral("PTOTAL"));
    EXPECT_EQ(NearestFunction(QStringLiteral("AVERAGE")), QStringLiteral("PAVG"));
    EXPECT_EQ(NearestFunction(QStringLiteral("if")), QStringLiteral("IFF"));
    EXPECT_EQ(NearestFunction(QStringLiteral("SQRT")), QStringLiteral("SQR"));
    EXPECT_EQ(NearestFunction(QStringLiteral("ROUDN")), QStringLiteral("ROUND"));
    EXPECT_EQ(NearestFunction(QStringLiteral("ROUND")), QStringLiteral("ROUND"));
    EXPECT_EQ(NearestFunction(QStringLiteral("VLOOKUP")), QString());
    EXPECT_EQ(NearestFunction(QString()), QString());
}
