// The function wizard and its argument dialogs: the call texts, the
// category model, the argument checks, and the chain from the cell-formula
// command through the wizard to the stored formula.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "cmdlang/enginehooks.h"
#include "cmdlang/functions.h"
#include "dialogs/cdefineformuladlg.h"
#include "dialogs/cfuncwizarddlg.h"
#include "dialogs/funcwizard_logic.h"
#include "document/cmd_formula.h"
#include "engine/messages.h"
#include "platform/registry.h"
#include "reader/builtincomponents.h"
#include "reader/cappenvironment.h"
#include "reader/demoledgerservice.h"
#include "tests/dialogs/dialog_answers.h"
#include "tests/document/doc_fixture.h"

using namespace qor;

namespace {

// Answers every dialog of the chain by its template while it lives.
struct Answers {
    explicit Answers(std::function<void(CQorDialog&)> fn)
        : previous(CQorDialog::SetModalHook(std::move(fn))) {}
    ~Answers() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

void setText(CQorDialog& d, int id, const QString& text) {
    auto* e = qobject_cast<QLineEdit*>(d.GetDlgItem(id));
    ASSERT_NE(e, nullptr) << id;
    e->setText(text);
}

QString textOf(CQorDialog& d, int id) {
    auto* e = qobject_cast<QLineEdit*>(d.GetDlgItem(id));
    return e ? e->text() : QStringLiteral("<none>");
}

void press(CQorDialog& d, int id) {
    auto* b = qobject_cast<QPushButton*>(d.GetDlgItem(id));
    ASSERT_NE(b, nullptr) << id;
    b->click();
}

// Picks a category and a function in the wizard by their texts.
void pick(CQorDialog& d, const QString& category, const QString& function) {
    auto* cats = qobject_cast<QListWidget*>(d.GetDlgItem(CFuncWizardDlg::IDC_CATEGORIES));
    auto* funcs = qobject_cast<QListWidget*>(d.GetDlgItem(CFuncWizardDlg::IDC_FUNCTIONS));
    ASSERT_TRUE(cats && funcs);
    const auto c = cats->findItems(category, Qt::MatchExactly);
    ASSERT_EQ(c.size(), 1) << category.toStdString();
    cats->setCurrentItem(c.front());
    const auto f = funcs->findItems(function, Qt::MatchExactly);
    ASSERT_EQ(f.size(), 1) << function.toStdString();
    funcs->setCurrentItem(f.front());
}

FuncArgFields args(QString a, QString b = {}, QString c = {}) {
    FuncArgFields f;
    f.arg1 = a;
    f.arg2 = b;
    f.arg3 = c;
    return f;
}

FuncWizardState stateFor(const QString& category, const QString& function) {
    FuncWizardModel m;
    const int line = int(m.CategoryTexts().indexOf(category));
    m.SelectCategory(line);
    m.SelectFunction(int(m.Functions().indexOf(function)));
    return m.State();
}

// A service list of our own; the second service is the host's
// accounting one.
struct FakeServices : IFuncServiceSource {
    QList<FuncWizardService> services;
    int conferences = 0;
    bool fail = false;
    QList<FuncWizardService> Services() override {
        if (fail) throw std::runtime_error("service down");
        return services;
    }
    CServiceFuncItem FindItem(const QString& name) override {
        return CServiceFuncItem{name, {}, 1, 0};
    }
    QString ItemForm(const CServiceFuncItem& i) override { return "FORM " + i.m_strName; }
    QString ItemDescription(const CServiceFuncItem& i) override { return "DESC " + i.m_strName; }
    QString ItemConference(const CServiceFuncItem& i) override {
        ++conferences;
        return "\"1001\",\"" + i.m_strName + "\"";
    }
};

FuncWizardService service(const QString& name, QStringList second, QStringList first) {
    FuncWizardService s;
    s.name = name;
    s.help = 12;
    s.description = name + " functions";
    ServiceFunctionLines(second, first, int(second.size()), &s.lines, &s.firstNames);
    return s;
}

}  // namespace

TEST(FuncWizardLogic, CallTextOfEveryShape) {
    auto call = [](const QString& cat, const QString& fn, FuncArgFields f) {
        return BuildFunctionCall(stateFor(LoadErrorText(cat.toInt()), fn), f);
    };
    FuncArgFields f;
    f.arg1 = "V_A1:V_B5";
    EXPECT_EQ(call("62199", "GTOTAL", f), " GTOTAL ( V_A1:V_B5 ) ");
    f.arg2 = "C1>0";
    EXPECT_EQ(call("62199", "PAVG", f), " PAVG ( V_A1:V_B5 , C1>0 ) ");
    EXPECT_EQ(call("62200", "ROUND", args("A1", "2")), " ROUND(A1,2)");
    EXPECT_EQ(call("62200", "LOG", args("100")), " LOG(100)");
    EXPECT_EQ(call("62203", "IFF", args("A1>0", "1", "2")), " IFF ( A1>0,1,2 ) ");
    EXPECT_EQ(call("62206", "LEN", args("abc")), " LEN(\"abc\")");
    EXPECT_EQ(call("62206", "STR", args("A1")), " STR(A1)");
    EXPECT_EQ(call("62206", "SUBSTR", args("abc", "2", "")), " SUBSTR(\"abc\",2)");
    EXPECT_EQ(call("62206", "SUBSTR", args("abc", "", "0")), " SUBSTR(\"abc\",,0)");
    FuncArgFields db;
    db.source = "d.dbf";
    db.table = "T";
    db.field = "F";
    db.record = "0";
    EXPECT_EQ(call("62204", "INDB", db), " INDB(\"d.dbf\",\"T\",\"F\",0,)");
    db.condition = "A>1";
    EXPECT_EQ(call("62204", "INDBSQL", db), " INDBSQL(\"d.dbf\",\"T\",\"F\",0,A>1)");
    db.sql = "Select [T].[F] From [T]";
    db.displayArea = "A1:A9";
    db.horizontal = "0";
    db.limit = "255";
    EXPECT_EQ(call("62204", "GETRECORD", db),
              " GETRECORD(\"Select [T].[F] From [T]\",\"A1:A9\",0,255)");

    FuncWizardState svc;
    svc.category = kCatService;
    FuncArgFields s;
    s.serviceName = "QM";
    s.serviceText = "\"1001\",月";
    EXPECT_EQ(BuildFunctionCall(svc, s), "QM(\"1001\",月)");
}

TEST(FuncWizardLogic, CallTextsCompileOnAReport) {
    cmd::InstallEngineHooks();
    auto doc = doctest::newDoc(10, 6);
    CReportHandle* r = doc->GetReport();
    int kind = 1, start = 8, extent = 1;
    ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
    struct Case {
        const char* cat;
        const char* fn;
        FuncArgFields f;
    };
    const Case cases[] = {
        {"62199", "GTOTAL", args("V_B", "")},        {"62199", "GSTD", args("V_B", "V_A>0")},
        {"62199", "PTOTAL", args("A1:A5", "A1>0")},  {"62199", "PMAX", args("A1:B2", "")},
        {"62200", "SIN", args("A1")},                {"62200", "ROUND", args("A1", "2")},
        {"62203", "IFF", args("A1>0", "1", "2")},    {"62206", "LEN", args("abc")},
        {"62206", "SUBSTR", args("abc", "2", "1")},  {"62206", "STR", args("A1")},
    };
    for (const Case& c : cases) {
        const QString text =
            BuildFunctionCall(stateFor(LoadErrorText(QString(c.cat).toInt()), c.fn), c.f);
        CellArea cell = CellArea::cell(3, 3);
        EXPECT_EQ(r->SetAreaFormula(&cell, text), 0) << text.toStdString();
    }
    // The database functions with what their dialogs give.
    FuncArgFields db;
    db.source = "/data/a.dbf";
    db.table = "a#dbf";
    db.field = "AMOUNT";
    db.record = "0";
    for (const char* fn : {"INDB", "INDBSQL"}) {
        CellArea cell = CellArea::cell(3, 3);
        const QString text =
            BuildFunctionCall(stateFor(LoadErrorText(qor::str::kDatabaseFunctions), fn), db);
        EXPECT_EQ(r->SetAreaFormula(&cell, text), 0) << text.toStdString();
    }
    db.sql = "Select [T].[F] From [T] ";
    db.displayArea = "C1:D12";
    db.horizontal = "1";
    db.limit = "9999";
    {
        CellArea cell = CellArea::cell(3, 3);
        const QString text = BuildFunctionCall(
            stateFor(LoadErrorText(qor::str::kDatabaseFunctions), "GETRECORD"), db);
        EXPECT_EQ(r->SetAreaFormula(&cell, text), 0) << text.toStdString();
    }
    // Functions without arguments as 888 appends them.
    for (const char* fn : {"PAI", "MRECNO", "YEAR", "MNUMBER"}) {
        const QString text = *AppendFunctionCall("1+", FuncWizardOutcome{kIdNoArguments, fn, {}});
        CellArea cell = CellArea::cell(3, 3);
        EXPECT_EQ(r->SetAreaFormula(&cell, text), 0) << text.toStdString();
    }
}

TEST(FuncWizardModel, OpensOnStatisticsAndSetsTheCodes) {
    FuncWizardModel m;
    EXPECT_EQ(m.CategoryTexts().size(), 8);
    EXPECT_EQ(m.State().category, kCatStatistics);
    EXPECT_EQ(m.State().functionName, "PTOTAL");
    EXPECT_EQ(m.State().areaKind, kAreaFixed);
    EXPECT_EQ(m.NextStep(), kTplFixedAreaStat);
    EXPECT_EQ(m.Description(), LoadErrorText(qor::str::kQorStatisticFunctions));

    m.SelectFunction(int(m.Functions().indexOf("GSTD")));
    EXPECT_EQ(m.State().areaKind, kAreaVariable);
    EXPECT_EQ(m.State().statKind, 7);
    EXPECT_EQ(m.NextStep(), kTplVarAreaStat);
    m.SelectFunction(int(m.Functions().indexOf("COUNT")));
    EXPECT_EQ(m.State().statKind, 3);
    EXPECT_EQ(m.NextStep(), kTplRegionStat);

    m.SelectCategory(1);  // maths
    EXPECT_EQ(m.NextStep(), kTplSin);
    m.SelectFunction(int(m.Functions().indexOf("LOG")));
    EXPECT_EQ(m.NextStep(), 344);
    m.SelectFunction(int(m.Functions().indexOf("PAI")));
    EXPECT_EQ(m.State().mathsNumber, 12);
    EXPECT_EQ(m.NextCaption(), LoadErrorText(qor::str::kFinish));
    EXPECT_EQ(m.NextStep(), kIdNoArguments);
    for (int line : {2, 3, 6}) {  // table, date and pointer functions
        m.SelectCategory(line);
        EXPECT_EQ(m.NextCaption(), LoadErrorText(qor::str::kFinish));
        EXPECT_EQ(m.NextStep(), kIdNoArguments);
    }
    m.SelectCategory(7);
    m.SelectFunction(5);
    EXPECT_EQ(m.State().functionName, "LOWER");
    EXPECT_EQ(m.NextStep(), kTplLower);
}

TEST(FuncWizardModel, EveryOfferedNameIsABuiltinOfItsGroup) {
    using G = cmd::FunctionGroup;
    FuncWizardModel m;
    for (int line = 0; line < 8; ++line) {
        m.SelectCategory(line);
        for (int i = 0; i < m.Functions().size(); ++i) {
            m.SelectFunction(i);
            const QString name = m.State().functionName;
            const cmd::FunctionInfo* info = cmd::FindFunction(name);
            ASSERT_NE(info, nullptr) << name.toStdString();
            G want = G::Maths;
            switch (m.State().category) {
                case kCatStatistics:
                    want = m.State().areaKind == kAreaFixed      ? G::FixedStat
                           : m.State().areaKind == kAreaVariable ? G::VarStat
                                                                 : G::PageStat;
                    break;
                case kCatTable: want = G::Table; break;
                case kCatDateTime: want = G::DateTime; break;
                case kCatCondValue: want = G::Conditional; break;
                case kCatDatabase: want = G::Database; break;
                case kCatPointer: want = G::Pointer; break;
                case kCatStrings: want = G::String; break;
                default: break;
            }
            EXPECT_EQ(info->group, want) << name.toStdString();
        }
    }
}

TEST(FuncWizardModel, ServicesComeFirstAndListOnlyNamedItems) {
    // Equal names are left out by the service list, so the arrays hold
    // only the items that differ; a missing or empty name ends the list.
    QStringList lines, names;
    ServiceFunctionLines({"期初余额", "发生额", "", "x"}, {"QC", "FS", "Y", "X"}, 4, &lines,
                         &names);
    EXPECT_EQ(lines, (QStringList{"期初余额(QC)", "发生额(FS)"}));
    EXPECT_EQ(names, (QStringList{"QC", "FS"}));
    ServiceFunctionLines({"a", "b"}, {"A"}, 5, &lines, &names);
    EXPECT_EQ(names, QStringList{"A"});

    FuncWizardModel m({service("Other", {"甲", "乙"}, {"JA", "YI"}), service("Empty", {}, {})});
    EXPECT_EQ(m.CategoryTexts().size(), 10);
    EXPECT_EQ(m.State().category, kCatService);
    EXPECT_EQ(m.NextStep(), kTplAcctFunc);
    m.SelectFunction(1);
    EXPECT_EQ(m.ServiceFunctionName(), "YI");
    // A service with nothing listed has nothing to go on with.
    m.SelectCategory(1);
    EXPECT_TRUE(m.Functions().isEmpty());
    EXPECT_EQ(m.NextStep(), 0);
    EXPECT_TRUE(m.ServiceFunctionName().isEmpty());
    m.SelectCategory(2);
    EXPECT_EQ(m.State().functionName, "PTOTAL");

    // Upper case on both sides, and only the mark's length counts.
    const QString mark = LoadErrorText(qor::str::kLedgerFunctions);
    EXPECT_TRUE(IsAccountingService(mark));
    EXPECT_TRUE(IsAccountingService(mark.toUpper() + " 2026"));
    EXPECT_FALSE(IsAccountingService(mark.left(3)));
}

TEST(FuncArgChecks, AreasAndStatisticLines) {
    for (const char* ok : {"V_A1:V_B5", "v_A1:V_B5", "V_A:V_B", "V_1:V_5", "V_B", "C1:C12", ""})
        EXPECT_TRUE(CheckVariableArea(ok)) << ok;
    for (const char* bad : {"V__A1", "V_A1:B5", "V_A1:V_B5:V_C", "V_", "V_A0"})
        EXPECT_FALSE(CheckVariableArea(bad)) << bad;
    EXPECT_EQ(CheckFuncArgs(kTplVarAreaStat, {"V__A1", ""}).messageId, qor::str::kBadAreaLikeVArea);
    EXPECT_EQ(CheckFuncArgs(kTplVarAreaStat, {"V__A1", ""}).focusId, 1000);
    EXPECT_TRUE(CheckFuncArgs(kTplVarAreaStat, {"", ""}).ok());
    EXPECT_EQ(CheckFuncArgs(kTplFixedAreaStat, {"", "x"}).messageId, qor::str::kBadAreaLikeC1C12);
    EXPECT_EQ(CheckFuncArgs(kTplRegionStat, {"", ""}).messageId, qor::str::kBadAreaLikeC1C12);
    EXPECT_TRUE(CheckFuncArgs(kTplFixedAreaStat, {"C1:C12", ""}).ok());

    EXPECT_EQ(StatisticLines(kTplFixedAreaStat, 0),
              std::make_pair(qor::str::kPtotalFormat, qor::str::kPtotalDescription));
    EXPECT_EQ(StatisticLines(kTplFixedAreaStat, 8),
              std::make_pair(qor::str::kPtotalFormat, qor::str::kPtotalDescription));
    EXPECT_EQ(StatisticLines(kTplFixedAreaStat, 2),
              std::make_pair(qor::str::kPavgFormat, qor::str::kPavgDescription));
    EXPECT_EQ(StatisticLines(kTplFixedAreaStat, 7),
              std::make_pair(qor::str::kPstdFormat, qor::str::kPstdDescription));
    EXPECT_EQ(StatisticLines(kTplVarAreaStat, 7),
              std::make_pair(qor::str::kGstdFormat, qor::str::kGstdDescription));
    EXPECT_EQ(StatisticLines(kTplRegionStat, 1),
              std::make_pair(qor::str::kTotalFormat, qor::str::kTotalDescription));
    EXPECT_EQ(StatisticLines(kTplVarAreaStat, 8), std::make_pair(0, 0));
}

TEST(FuncArgChecks, ArgumentRules) {
    auto check = [](int tpl, QStringList v) {
        const ArgCheck c = CheckFuncArgs(tpl, v);
        return std::make_pair(c.messageId, c.focusId);
    };
    using P = std::pair<int, int>;
    EXPECT_EQ(check(kTplSin, {"  "}), P(0, 0));
    EXPECT_EQ(check(kTplLen, {""}), P(qor::str::kArgumentEmpty, 1000));
    EXPECT_EQ(check(344, {""}), P(qor::str::kArgumentEmpty, 1004));  // LOG's edit is 1004
    EXPECT_EQ(check(kTplCondValue, {"A1>0", "", ""}), P(qor::str::kArgumentEmpty, 1004));
    EXPECT_EQ(check(kTplCondValue, {"A1>0", "1", ""}), P(qor::str::kArgumentEmpty, 1036));

    for (const char* ok : {"2", "-1", "2abc", " 3"}) EXPECT_EQ(check(kTplRound, {"A1", ok}), P(0, 0));
    for (const char* bad : {"0", "02", "abc", "-0"})
        EXPECT_EQ(check(kTplRound, {"A1", bad}).first, qor::str::kSecondArgumentInteger) << bad;
    EXPECT_EQ(check(kTplRound, {"A1", ""}).first, qor::str::kBothArgumentsRequired);
    EXPECT_EQ(check(kTplRound, {"", "2"}).first, qor::str::kBothArgumentsRequired);

    EXPECT_EQ(check(kTplSubstr, {"s", "3", ""}), P(0, 0));
    EXPECT_EQ(check(kTplSubstr, {"s", "", "0"}), P(0, 0));
    EXPECT_EQ(check(kTplSubstr, {"s", "03", ""}), P(qor::str::kMustBeAnInteger, 1004));
    EXPECT_EQ(check(kTplSubstr, {"s", "1", "1x"}), P(qor::str::kMustBeAnInteger, 1036));
    EXPECT_EQ(check(kTplSubstr, {"s", "", ""}), P(qor::str::kBothArgumentsEmpty, 1004));
    EXPECT_EQ(check(kTplSubstr, {"", "1", ""}), P(qor::str::kArgumentEmpty, 1000));

    EXPECT_EQ(CheckRelationCond("", "", "").messageId, qor::str::kCurrentKeyValueEmpty);
    EXPECT_EQ(CheckRelationCond("年", "", "").messageId, qor::str::kTableNameEmpty);
    EXPECT_EQ(CheckRelationCond("年", "b.rep", "").messageId, qor::str::kRelatedKeyValueEmpty);
    EXPECT_TRUE(CheckRelationCond("部门", "b.rep", "部门").ok());

    const HelpTopic t = AccountingHelpTopic("/opt/qor", "zh-CN", 12);
    EXPECT_EQ(t.file, "/opt/qor/zh-CN/Vtsvr_zh-CN.hlp");
    EXPECT_EQ(t.context, 98000012u);
}

TEST(FuncWizardDlg, CellFormulaThroughTheWizardStoresTheCall) {
    cmd::InstallEngineHooks();
    auto doc = doctest::newDoc(10, 6);
    int kind = 1, start = 8, extent = 1;
    ASSERT_EQ(doc->GetReport()->AccessVarArea(1, &kind, &start, &extent), 0);
    doc->Selection().SetSelection(3, 3, 3, 3);
    doctest::UiRecorder ui;
    qortest::RegisteredDialogs dialogs;
    QStringList seen;
    int varRuns = 0;
    Answers answers([&](CQorDialog& d) {
        seen << QString::number(d.TemplateId());
        switch (d.TemplateId()) {
            case CDefineFormulaDlg::IDD:
                setText(d, CDefineFormulaDlg::IDC_FORMULA, "1+");
                press(d, CDefineFormulaDlg::IDC_FUNC_WIZARD);
                if (d.Result() == 0) press(d, CQorDialog::IDOK);
                break;
            case CFuncWizardDlg::IDD:
                pick(d, LoadErrorText(qor::str::kStatisticFunctions), "GTOTAL");
                press(d, CFuncWizardDlg::IDC_NEXT);
                // Back from the argument dialog: the selections stand.
                EXPECT_EQ(static_cast<CFuncWizardDlg&>(d).m_strFunction, "GTOTAL");
                if (d.Result() == 0) press(d, CFuncWizardDlg::IDC_NEXT);
                break;
            case kTplVarAreaStat:
                if (++varRuns == 1) {
                    setText(d, 1000, "V_B");
                    press(d, CFuncArgDlg::IDC_PREVIOUS);
                } else {
                    EXPECT_EQ(textOf(d, 1000), "V_B");  // kept from the first run
                    EXPECT_EQ(static_cast<CFuncArgDlg&>(d).m_nFuncKind, 1);
                    press(d, CQorDialog::IDOK);
                }
                break;
            default:
                ADD_FAILURE() << "unexpected dialog " << d.TemplateId();
        }
    });
    EXPECT_EQ(OnCellFormula(*doc), 0);
    EXPECT_EQ(seen, (QStringList{"151", "207", "213", "213"}));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("|").toStdString();
    FormulaInfo f;
    doc->GetReport()->GetCellFormula(CellRef{0, 4, 4}, &f);
    EXPECT_EQ(f.text.simplified(), "1+ GTOTAL ( V_B )");
}

TEST(FuncWizardDlg, CancelInAnArgumentDialogStoresNothing) {
    auto doc = doctest::newDoc(10, 6);
    doc->Selection().SetSelection(1, 1, 1, 1);
    doctest::UiRecorder ui;
    qortest::RegisteredDialogs dialogs;
    int wizardResult = 0;
    Answers answers([&](CQorDialog& d) {
        switch (d.TemplateId()) {
            case CDefineFormulaDlg::IDD:
                setText(d, CDefineFormulaDlg::IDC_FORMULA, "A2");
                press(d, CDefineFormulaDlg::IDC_FUNC_WIZARD);
                break;
            case CFuncWizardDlg::IDD:
                pick(d, LoadErrorText(qor::str::kMathFunctions), "ROUND");
                press(d, CFuncWizardDlg::IDC_NEXT);
                wizardResult = d.Result();
                EXPECT_EQ(static_cast<CFuncWizardDlg&>(d).State().category, kCatNone);
                break;
            default:
                setText(d, 1000, "A2");
                press(d, CQorDialog::IDCANCEL);
        }
    });
    EXPECT_EQ(OnCellFormula(*doc), -1);  // nothing stored
    EXPECT_EQ(wizardResult, CQorDialog::IDCANCEL);
    FormulaInfo f;
    doc->GetReport()->GetCellFormula(CellRef{0, 2, 2}, &f);
    EXPECT_TRUE(f.text.isEmpty());
}

TEST(FuncWizardDlg, NextButtonFollowsTheFunction) {
    doctest::UiRecorder ui;
    CFuncWizardDlg wizard;
    Answers answers([&](CQorDialog& d) {
        for (const char* fn : {"INDB", "INDBSQL", "GETRECORD"}) {
            pick(d, LoadErrorText(qor::str::kDatabaseFunctions), fn);
            EXPECT_TRUE(d.GetDlgItem(CFuncWizardDlg::IDC_NEXT)->isEnabled()) << fn;
            EXPECT_NE(static_cast<CFuncWizardDlg&>(d).ArgumentDialog(
                          static_cast<CFuncWizardDlg&>(d).Model().NextStep()),
                      nullptr);
        }
        pick(d, LoadErrorText(qor::str::kMathFunctions), "PAI");
        EXPECT_EQ(qobject_cast<QPushButton*>(d.GetDlgItem(CFuncWizardDlg::IDC_NEXT))->text(),
                  LoadErrorText(qor::str::kFinish));
        press(d, CFuncWizardDlg::IDC_NEXT);
    });
    EXPECT_EQ(wizard.DoModal(), kIdNoArguments);
    EXPECT_EQ(wizard.Outcome(kIdNoArguments).functionName, "PAI");
}

TEST(FuncWizardDlg, AccountingServiceFunctions) {
    doctest::UiRecorder ui;
    FakeServices fake;
    fake.services = {
        service("Other", {"甲", "乙"}, {"JA", "YI"}),
        service(LoadErrorText(qor::str::kLedgerFunctions), {"期初", "期末"}, {"QC", "QM"})};
    IFuncServiceSource* old = SetFuncServiceSource(&fake);
    int helps = 0;
    CAcctFuncDlg::HelpFn oldHelp =
        CAcctFuncDlg::SetHelpHandler([&](const HelpTopic& t) {
            ++helps;
            EXPECT_EQ(t.context, 98000012u);
        });
    CFuncWizardDlg wizard;

    // Another service: the dialog without 参照; its typed text is the call.
    Answers answers([&](CQorDialog& d) {
        if (d.TemplateId() == CFuncWizardDlg::IDD) {
            pick(d, "Other", "乙(YI)");
            press(d, CFuncWizardDlg::IDC_NEXT);
            return;
        }
        ASSERT_EQ(d.TemplateId(), CAcctFuncDlg::IDD);
        EXPECT_EQ(d.windowTitle(), "Other");
        EXPECT_FALSE(d.GetDlgItem(CAcctFuncDlg::IDC_CONFERENCE)->isEnabled());
        QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(&d, &f1);
        setText(d, CAcctFuncDlg::IDC_TEXT, "1");
        press(d, CQorDialog::IDOK);
    });
    EXPECT_EQ(wizard.DoModal(), kIdOk);
    EXPECT_EQ(wizard.Outcome(kIdOk).callText, "YI(1)");
    EXPECT_EQ(helps, 1);

    // The accounting service: a double click takes the reference text of
    // the line clicked at once, without the dialog.
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CFuncWizardDlg::IDD);
        pick(d, LoadErrorText(qor::str::kLedgerFunctions), "期末(QM)");
        auto* funcs = qobject_cast<QListWidget*>(d.GetDlgItem(CFuncWizardDlg::IDC_FUNCTIONS));
        emit funcs->itemDoubleClicked(funcs->currentItem());
    });
    EXPECT_EQ(wizard.DoModal(), kIdOk);
    EXPECT_EQ(wizard.Outcome(kIdOk).callText, "QM(\"1001\",\"QM\")");
    EXPECT_EQ(wizard.AcctFuncDlg().m_nKind, CAcctFuncDlg::kServiceKind);
    EXPECT_EQ(fake.conferences, 1);

    // A failing service list: a message, and the built-in functions.
    fake.fail = true;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        EXPECT_EQ(static_cast<CFuncWizardDlg&>(d).State().functionName, "PTOTAL");
        press(d, CFuncWizardDlg::IDC_PREVIOUS);
    });
    EXPECT_EQ(wizard.DoModal(), kIdPrevious);
    EXPECT_TRUE(ui.said("service down"));

    CAcctFuncDlg::SetHelpHandler(oldHelp);
    SetFuncServiceSource(old);
}

TEST(FuncArgDlg, RefusalsKeepTheDialogAndBackKeepsTheText) {
    doctest::UiRecorder ui;
    CCondValueDlg iff;
    Answers answers([&](CQorDialog& d) {
        setText(d, 1000, "A1>0");
        press(d, CQorDialog::IDOK);  // true value empty
        EXPECT_EQ(d.Result(), 0);
        setText(d, 1004, "1");
        press(d, CFuncArgDlg::IDC_PREVIOUS);
    });
    EXPECT_EQ(iff.DoModal(), kIdPrevious);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kArgumentEmpty)});
    EXPECT_EQ(iff.m_values.value(1), "1");

    // SIN opens empty though it keeps its member; COS shows it again.
    CSinFuncDlg sin;
    CCosFuncDlg cos;
    sin.m_values = {"A1"};
    cos.m_values = {"A2"};
    QStringList shown;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        shown << textOf(d, 1000);
        press(d, CQorDialog::IDCANCEL);
    });
    EXPECT_EQ(sin.DoModal(), kIdCancel);
    EXPECT_EQ(cos.DoModal(), kIdCancel);
    EXPECT_EQ(shown, (QStringList{"", "A2"}));

    // Cancel of a statistic dialog forgets the filter only.
    CFixedAreaStatDlg fixed;
    fixed.m_values = {"A1:B2", "A1>0"};
    EXPECT_EQ(fixed.DoModal(), kIdCancel);
    EXPECT_EQ(fixed.m_values, (QStringList{"A1:B2", ""}));
}

TEST(RelationCondDlg, KeywordsChecksAndBrowse) {
    doctest::UiRecorder ui;
    UiServices s = uiServices();
    s.chooseFile = [](const FilePrompt& p) -> std::optional<QString> {
        EXPECT_TRUE(p.filter.contains("*.rep"));
        return QStringLiteral("/data/b.rep");
    };
    const UiServices previous = installUiServices(s);
    CDefineFormulaDlg dlg;
    dlg.formula = "A1 For B1>0";
    Answers answers([&](CQorDialog& d) {
        if (d.TemplateId() == CDefineFormulaDlg::IDD) {
            press(d, CDefineFormulaDlg::IDC_RELATION);
            press(d, CQorDialog::IDOK);
            return;
        }
        auto* key = qobject_cast<QComboBox*>(d.GetDlgItem(CRelationCondDlg::IDC_KEY));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->count(), 6);
        EXPECT_EQ(key->itemText(0), LoadErrorText(qor::str::kKeywordYear));
        press(d, CQorDialog::IDOK);  // all empty: the current keyword first
        key->setEditText("部门");    // not in the list, taken as typed
        press(d, CRelationCondDlg::IDC_BROWSE);
        qobject_cast<QComboBox*>(d.GetDlgItem(CRelationCondDlg::IDC_RELATED_KEY))
            ->setCurrentIndex(5);
        press(d, CQorDialog::IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kCurrentKeyValueEmpty)});
    EXPECT_EQ(dlg.formula, "A1 For B1>0 Relation 部门 with \"/data/b.rep\"->" +
                               LoadErrorText(qor::str::kKeywordUnitCode));
    installUiServices(previous);
}

TEST(ReadFileDataDlg, ChecksInOrder) {
    using P = std::pair<int, int>;
    auto check = [](const char* file, const char* field, const char* record) {
        const ArgCheck c = CheckReadFileData(file, field, record);
        return P(c.messageId, c.focusId);
    };
    EXPECT_EQ(check("", "", ""), P(qor::str::kFileNameEmpty, 1000));
    EXPECT_EQ(check("a.dbf", "", "1"), P(qor::str::kFieldNameEmpty, 1012));
    EXPECT_EQ(check("a.dbf", "F", ""), P(qor::str::kRecordNumberEmpty, 1051));
    EXPECT_EQ(check("a.dbf", "F", "0"), P(0, 0));
    EXPECT_EQ(check("a.dbf", "F", "12"), P(0, 0));
    for (const char* bad : {"01", "007", "1a"})
        EXPECT_EQ(check("a.dbf", "F", bad), P(qor::str::kMustBeInteger, 1051));
}

TEST(ReadFileDataDlg, ListsARealFileAndBuildsTheCall) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/sales.txt";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Name,Qty,Code\r\nab,1.5,7\r\ncd,2,8\r\n");
    f.close();

    doctest::UiRecorder ui;
    CFuncWizardDlg wizard;
    Answers answers([&](CQorDialog& d) {
        if (d.TemplateId() == CFuncWizardDlg::IDD) {
            pick(d, LoadErrorText(qor::str::kDatabaseFunctions), "INDB");
            press(d, CFuncWizardDlg::IDC_NEXT);
            return;
        }
        auto& dlg = static_cast<CReadFileDataDlg&>(d);
        setText(d, CReadFileDataDlg::IDC_FILE, path);
        // OK before the lists are filled: the field is missing.
        press(d, CQorDialog::IDOK);
        EXPECT_EQ(d.Result(), 0);
        dlg.ListTables();
        auto* table = qobject_cast<QComboBox*>(d.GetDlgItem(CReadFileDataDlg::IDC_TABLE));
        ASSERT_EQ(table->count(), 1);
        table->setCurrentIndex(0);
        dlg.ListFields();
        auto* field = qobject_cast<QComboBox*>(d.GetDlgItem(CReadFileDataDlg::IDC_FIELD));
        ASSERT_EQ(field->count(), 3);
        EXPECT_EQ(field->itemText(0), "Code");  // sorted
        field->setCurrentIndex(1);
        setText(d, CReadFileDataDlg::IDC_RECORD, "0");
        press(d, CQorDialog::IDOK);
    });
    EXPECT_EQ(wizard.DoModal(), kIdOk);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kFieldNameEmpty)});
    EXPECT_EQ(wizard.Outcome(kIdOk).callText,
              " INDB(\"" + path + "\",\"sales#txt\",\"Name\",0,)");
}

TEST(ReadFileDataDlg, AFailingCatalogueIsToldAndListsNothing) {
    struct Failing : IDataFileCatalogue {
        QStringList Tables(const QString&) override { throw std::runtime_error("broken file"); }
        QStringList Fields(const QString&, const QString&) override { return {}; }
    } failing;
    IDataFileCatalogue* old = SetDataFileCatalogue(&failing);
    doctest::UiRecorder ui;
    CReadFileDataDlg dlg;
    Answers answers([&](CQorDialog& d) {
        setText(d, CReadFileDataDlg::IDC_FILE, "x.dbf");
        static_cast<CReadFileDataDlg&>(d).ListTables();
        press(d, CQorDialog::IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_TRUE(ui.said("broken file"));
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(CReadFileDataDlg::IDC_TABLE))->count(), 0);
    SetDataFileCatalogue(old);
}

TEST(FuncWizardDlg, HostServicesListTheDemoLedgerWithBothNames) {
    // The service list answers one array for every name request; each
    // line must still join an item's own two names.
    qor::RegisterBuiltinComponents();
    qor::Registry::writeString(CAppServiceList::kServiceKey, qor::DemoLedgerService::kProgId,
                               qor::DemoLedgerService::kClsid);
    CAppEnvironment::Instance().EnsureLoggedIn()->Load();
    const QList<FuncWizardService> services = HostServiceSource().Services();
    const auto demo = std::find_if(services.begin(), services.end(), [](const auto& s) {
        return s.firstNames == QStringList{"QC", "QM", "FS", "JE"};
    });
    ASSERT_NE(demo, services.end());
    EXPECT_EQ(demo->lines.value(2), "发生额(FS)");
    EXPECT_FALSE(demo->description.isEmpty());

    // Off the list again, so other tests see the services they expect.
    qor::Registry::deleteValue(CAppServiceList::kServiceKey, qor::DemoLedgerService::kProgId);
    CAppEnvironment::Instance().EnsureLoggedIn()->Load();
}

TEST(ReadFileDataDlg, ABrokenDataFileSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/broken.dbf";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a dBASE file");
    f.close();
    doctest::UiRecorder ui;
    CReadFileDataDlg dlg;
    Answers answers([&](CQorDialog& d) {
        setText(d, CReadFileDataDlg::IDC_FILE, path);
        auto& r = static_cast<CReadFileDataDlg&>(d);
        r.ListTables();
        auto* table = qobject_cast<QComboBox*>(d.GetDlgItem(CReadFileDataDlg::IDC_TABLE));
        if (table->count() == 1) {  // listed by name; its fields cannot be read
            table->setCurrentIndex(0);
            r.ListFields();
        }
        press(d, CQorDialog::IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_FALSE(ui.messages[0].isEmpty());
}

TEST(FuncWizardDlg, ShownItSaysWhatTheSelectedFunctionDoesAndTakes) {
    doctest::UiRecorder ui;
    CFuncWizardDlg wizard;
    QStringList seen;
    QString tip;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<CFuncWizardDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        auto* help = d->findChild<QLabel*>(QStringLiteral("functionHelp"));
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(help->isVisible());
        seen << help->text();  // the first statistics function, selected at the start
        pick(*d, LoadErrorText(qor::str::kMathFunctions), "ROUND");
        seen << help->text();
        pick(*d, LoadErrorText(qor::str::kTextFunctions), "SUBSTR");
        seen << help->text();
        auto* funcs = qobject_cast<QListWidget*>(d->GetDlgItem(CFuncWizardDlg::IDC_FUNCTIONS));
        tip = funcs->item(0)->toolTip();  // LEN
        if (QDir().mkpath(qortest::artifactPath()))
            d->grab().save(qortest::artifactPath(QStringLiteral("function-wizard.png")));
        press(*d, CQorDialog::IDCANCEL);
    });
    EXPECT_EQ(wizard.DoModal(), kIdCancel);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0],
              QStringLiteral("函数格式：PTOTAL(<区域>[,<区域筛选条件>])\n"
                             "函数说明：指定区域内所有满足区域筛选条件的固定区单元的合计"));
    EXPECT_TRUE(seen[1].startsWith(QStringLiteral("函数格式：ROUND(<数值>,<小数位数>)\n")))
        << seen[1].toStdString();
    EXPECT_TRUE(seen[2].contains(QStringLiteral("SUBSTR(\"<字符串>\",<起始位置>[,<长度>])")));
    EXPECT_TRUE(tip.startsWith(QStringLiteral("函数格式：LEN(")));
}
