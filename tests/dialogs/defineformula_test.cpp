// The define-formula dialog: where the helpers' pieces go in the formula,
// the checks on OK, and the dialog run by the document's cell-formula
// command down to the stored formula.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "cmdlang/enginehooks.h"
#include "dialogs/cdefineformuladlg.h"
#include "dialogs/defineformula_logic.h"
#include "document/cmd_formula.h"
#include "tests/dialogs/dialog_answers.h"
#include "tests/document/doc_fixture.h"

using namespace qor;

namespace {

// Runs body on the next modal dialog of type D once the event loop runs.
template <class D>
void onModal(std::function<void(D*)> body) {
    QTimer::singleShot(0, [body] {
        auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        body(dlg);
    });
}

QLineEdit* edit(QDialog* dlg, int id) {
    auto* e = dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
    EXPECT_NE(e, nullptr);
    return e;
}

void click(QDialog* dlg, int id) {
    auto* b = dlg->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
    ASSERT_NE(b, nullptr);
    b->click();
}

// Helper dialogs answering from scripted values.
struct ScriptedHelpers : IFormulaHelperDialogs {
    int filterResult = kIdOk;
    QString condition;
    int relationResult = kIdOk;
    RelationCondition relation;
    FuncWizardOutcome wizard;
    int RunFilterCond(CFilterCondDlg& dlg) override {
        if (filterResult == kIdOk) dlg.m_strCondition = condition;
        return filterResult;
    }
    int RunRelationCond(CRelationCondDlg&, RelationCondition& state) override {
        if (relationResult == kIdOk) state = relation;
        return relationResult;
    }
    FuncWizardOutcome RunFuncWizard(CFuncWizardDlg&) override { return wizard; }
};

QString formulaAt(CQorsDoc& doc, int row, int col) {
    FormulaInfo f;
    doc.GetReport()->GetCellFormula(CellRef{0, int16_t(row), int16_t(col)}, &f);
    return f.text;
}

}  // namespace

TEST(DefineFormulaLogic, FilterClauseReplacesAndStandsBeforeRelation) {
    const QString f = SpliceFilterClause("A1+B1", "C1>0");
    EXPECT_EQ(f, "A1+B1 For C1>0");
    EXPECT_EQ(SpliceFilterClause(f, "C1<0"), "A1+B1 For C1<0");
    // Written by hand in lower case: not a clause this step knows.
    EXPECT_EQ(SpliceFilterClause("A1 for C1>0", "C2>0"), "A1 for C1>0 For C2>0");

    const QString rel = "A1 Relation K with \"b.rep\"->K2";
    EXPECT_EQ(SpliceFilterClause(rel, "C1>0"), "A1 For C1>0 Relation K with \"b.rep\"->K2");
    EXPECT_EQ(SpliceFilterClause("A1 For X Relation K with \"b\"->K2", "Y"),
              "A1 For Y Relation K with \"b\"->K2");
    // A relation clause written before the filter clause is not written twice.
    EXPECT_EQ(SpliceFilterClause("A1 Relation K with \"b\"->K2 For X", "Y"),
              "A1 Relation K with \"b\"->K2 For Y");
    EXPECT_EQ(SpliceFilterClause("", "X"), " For X");
}

TEST(DefineFormulaLogic, RelationClauseAppendedOrReplaced) {
    const QString once = SpliceRelationClause("A1 For C1>0", "K", "d:/r/b.rep", "K2");
    EXPECT_EQ(once, "A1 For C1>0 Relation K with \"d:/r/b.rep\"->K2");
    EXPECT_EQ(SpliceRelationClause(once, "P", "c.rep", "Q"),
              "A1 For C1>0 Relation P with \"c.rep\"->Q");
}

TEST(DefineFormulaLogic, FunctionCallsAppendedWithoutOperator) {
    FuncWizardOutcome out{kIdOk, "GTOTAL", StatisticsCallText("GTOTAL", "V_A1:V_B5", "")};
    EXPECT_EQ(AppendFunctionCall("A1", out), QString("A1 GTOTAL ( V_A1:V_B5 ) "));
    EXPECT_EQ(StatisticsCallText("PAVG", "A1:A3", "B1>0"), " PAVG ( A1:A3 , B1>0 ) ");
    EXPECT_EQ(AppendFunctionCall("", FuncWizardOutcome{kIdNoArguments, "PAI", {}}),
              QString(" PAI()"));
    EXPECT_FALSE(AppendFunctionCall("A1", FuncWizardOutcome{kIdPrevious, "PAI", "x"}));
    EXPECT_FALSE(AppendFunctionCall("A1", FuncWizardOutcome{kIdCancel, "PAI", "x"}));
}

TEST(DefineFormulaLogic, AreaAndConditionChecks) {
    DlgArea a{7, 7, 7, 7};
    EXPECT_EQ(CheckAreaText("A1:", &a), qor::str::kBadArea);
    EXPECT_EQ(CheckAreaText("", &a), qor::str::kBadArea);
    EXPECT_EQ(a, (DlgArea{7, 7, 7, 7}));
    EXPECT_EQ(CheckAreaText("b2:c4", &a), 0);
    EXPECT_EQ(a, (DlgArea{1, 1, 2, 3}));
    EXPECT_EQ(AreaText(a), "B2:C4");
    EXPECT_EQ(AreaText(DlgArea{0, 0, 0, 0}), "A1");
    EXPECT_EQ(CheckFilterCondition(""), qor::str::kEmptyFilter);
    EXPECT_EQ(CheckFilterCondition("C1>0"), 0);
}

TEST(DefineFormulaDlg, FilterDialogRefusesEmptyAndEndsWithItsCodes) {
    doctest::UiRecorder ui;
    CFilterCondDlg dlg;
    onModal<CFilterCondDlg>([&](CFilterCondDlg* d) {
        click(d, kIdOk);  // empty: refused, still open
        EXPECT_TRUE(d->isVisible());
        edit(d, CFilterCondDlg::IDC_CONDITION)->setText(QString(60, QChar('x')));
        click(d, kIdOk);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kEmptyFilter)});
    EXPECT_EQ(dlg.m_strCondition, QString(50, QChar('x')));

    onModal<CFilterCondDlg>([](CFilterCondDlg* d) { click(d, CFilterCondDlg::IDC_PREVIOUS); });
    EXPECT_EQ(dlg.DoModal(), kIdPrevious);
    EXPECT_FALSE(dlg.m_strCondition.isEmpty());
    onModal<CFilterCondDlg>([](CFilterCondDlg* d) { click(d, kIdCancel); });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_TRUE(dlg.m_strCondition.isEmpty());
}

TEST(DefineFormulaDlg, HelperButtonsEditTheFormula) {
    doctest::UiRecorder ui;
    ScriptedHelpers helpers;
    CDefineFormulaDlg dlg;
    dlg.SetHelperDialogs(&helpers);
    dlg.formula = "A1+B1";
    dlg.area = {1, 2, 1, 2};
    onModal<CDefineFormulaDlg>([&](CDefineFormulaDlg* d) {
        QLineEdit* f = edit(d, CDefineFormulaDlg::IDC_FORMULA);
        EXPECT_EQ(edit(d, CDefineFormulaDlg::IDC_AREA)->text(), "B3");
        helpers.condition = "C1>0";
        click(d, CDefineFormulaDlg::IDC_FILTER);
        EXPECT_EQ(f->text(), "A1+B1 For C1>0");
        helpers.relation = {"K", "b.rep", "K2"};
        click(d, CDefineFormulaDlg::IDC_RELATION);
        EXPECT_EQ(f->text(), "A1+B1 For C1>0 Relation K with \"b.rep\"->K2");
        helpers.filterResult = kIdPrevious;
        click(d, CDefineFormulaDlg::IDC_FILTER);
        EXPECT_EQ(f->text(), "A1+B1 For C1>0 Relation K with \"b.rep\"->K2");
        helpers.wizard = {kIdNoArguments, "PAI", {}};
        f->setText("A1");
        click(d, CDefineFormulaDlg::IDC_FUNC_WIZARD);
        EXPECT_EQ(f->text(), "A1 PAI()");
        // A bad area keeps the dialog open with its message.
        edit(d, CDefineFormulaDlg::IDC_AREA)->setText("A1:");
        click(d, kIdOk);
        EXPECT_TRUE(d->isVisible());
        edit(d, CDefineFormulaDlg::IDC_AREA)->setText("C1:D2");
        click(d, kIdOk);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kBadArea)});
    EXPECT_EQ(dlg.formula, "A1 PAI()");
    EXPECT_EQ(dlg.area, (DlgArea{2, 0, 3, 1}));

    // A cancel in the wizard abandons the entry.
    helpers.wizard = {kIdCancel, {}, {}};
    onModal<CDefineFormulaDlg>(
        [](CDefineFormulaDlg* d) { click(d, CDefineFormulaDlg::IDC_FUNC_WIZARD); });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_TRUE(dlg.formula.isEmpty());
}

// A wizard that opens as a window of its own, as the real one does, so the
// focus leaves the formula dialog while it is open.
struct ModalWizard : ScriptedHelpers {
    FuncWizardOutcome RunFuncWizard(CFuncWizardDlg&) override {
        QDialog shown(QApplication::activeModalWidget());
        QTimer::singleShot(0, &shown, &QDialog::accept);
        shown.exec();
        return wizard;
    }
};

TEST(DefineFormulaDlg, TypingGoesOnInTheFormulaAfterTheWizard) {
    doctest::UiRecorder ui;
    ModalWizard helpers;
    helpers.wizard = {kIdNoArguments, "PAI", {}};
    CDefineFormulaDlg dlg;
    dlg.SetHelperDialogs(&helpers);
    dlg.formula = "A1";
    QString typed;
    onModal<CDefineFormulaDlg>([&](CDefineFormulaDlg* d) {
        QLineEdit* f = edit(d, CDefineFormulaDlg::IDC_FORMULA);
        auto* wizard = d->findChild<QPushButton*>(
            QStringLiteral("ctl%1").arg(CDefineFormulaDlg::IDC_FUNC_WIZARD));
        ASSERT_NE(wizard, nullptr);
        wizard->setFocus(Qt::MouseFocusReason);  // as the click that presses it
        wizard->click();
        QApplication::processEvents();
        // The dialog's focus, where its next keys go, after the call just
        // added.
        EXPECT_EQ(d->focusWidget(), f);
        for (const QChar c : QStringLiteral("*2")) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(d->focusWidget(), &press);
        }
        typed = f->text();
        click(d, kIdCancel);
    });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_EQ(typed, "A1 PAI()*2");
}

TEST(DefineFormulaDlg, OverlongFormulaIsKeptAndRefused) {
    doctest::UiRecorder ui;
    CDefineFormulaDlg dlg;
    const QString longText = "1" + QStringLiteral("+1").repeated(550);
    dlg.formula = longText;
    onModal<CDefineFormulaDlg>([&](CDefineFormulaDlg* d) {
        EXPECT_EQ(edit(d, CDefineFormulaDlg::IDC_FORMULA)->text(), longText);
        click(d, kIdOk);
        EXPECT_TRUE(d->isVisible());
        click(d, kIdCancel);
    });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST(DefineFormulaDlg, CellFormulaCommandStoresTheTypedFormula) {
    // Storing a formula compiles it with the command language.
    cmd::InstallEngineHooks();
    auto doc = doctest::newDoc(10, 6);
    doctest::UiRecorder ui;
    doc->Selection().SetSelection(2, 1, 3, 1);  // B3:B4
    qortest::RegisteredDialogs dialogs;

    // A formula the report refuses: reported, and the dialog comes back
    // with the user's text.
    int runs = 0;
    std::function<void(CDefineFormulaDlg*)> step = [&](CDefineFormulaDlg* d) {
        QLineEdit* f = edit(d, CDefineFormulaDlg::IDC_FORMULA);
        if (++runs == 1) {
            EXPECT_EQ(edit(d, CDefineFormulaDlg::IDC_AREA)->text(), "B3:B4");
            f->setText("A1+(");
            onModal<CDefineFormulaDlg>(step);
        } else {
            EXPECT_EQ(f->text(), "A1+(");
            f->setText("A1+A2");
        }
        click(d, kIdOk);
    };
    onModal<CDefineFormulaDlg>(step);
    EXPECT_EQ(OnCellFormula(*doc), 0);
    EXPECT_EQ(runs, 2);
    // The message says why and where, after the failure itself.
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(LoadErrorText(qor::str::kFormulaFailed)));
    EXPECT_TRUE(ui.messages[0].contains(QStringLiteral("第5个字符处")))
        << ui.messages[0].toStdString();
    EXPECT_EQ(formulaAt(*doc, 3, 2), "A1+A2");
    EXPECT_EQ(formulaAt(*doc, 4, 2), "A1+A2");
}

TEST(DefineFormulaDlg, OwnFilterDialogKeepsItsLastCondition) {
    doctest::UiRecorder ui;
    CDefineFormulaDlg dlg;
    dlg.formula = "A1";
    onModal<CDefineFormulaDlg>([](CDefineFormulaDlg* d) {
        QLineEdit* f = edit(d, CDefineFormulaDlg::IDC_FORMULA);
        onModal<CFilterCondDlg>([](CFilterCondDlg* fd) {
            edit(fd, CFilterCondDlg::IDC_CONDITION)->setText("C1>0");
            click(fd, kIdOk);
        });
        click(d, CDefineFormulaDlg::IDC_FILTER);
        EXPECT_EQ(f->text(), "A1 For C1>0");
        // "上一步": both edits as they were, the condition still there.
        onModal<CFilterCondDlg>([](CFilterCondDlg* fd) {
            EXPECT_EQ(edit(fd, CFilterCondDlg::IDC_CONDITION)->text(), "C1>0");
            click(fd, CFilterCondDlg::IDC_PREVIOUS);
        });
        click(d, CDefineFormulaDlg::IDC_FILTER);
        EXPECT_EQ(f->text(), "A1 For C1>0");
        EXPECT_EQ(edit(d, CDefineFormulaDlg::IDC_AREA)->text(), "A1");
        // "上一步" in the wizard changes nothing.
        onModal<CFuncWizardDlg>(
            [](CFuncWizardDlg* w) { w->OnPrevious(); });
        click(d, CDefineFormulaDlg::IDC_FUNC_WIZARD);
        EXPECT_TRUE(d->isVisible());
        click(d, kIdOk);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(dlg.formula, "A1 For C1>0");
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST(DefineFormulaDlg, TypingGoesIntoTheFormulaNotTheArea) {
    doctest::UiRecorder ui;
    CDefineFormulaDlg dlg;
    dlg.formula = "B1+";
    dlg.area = DlgArea{1, 4, 1, 4};  // B5
    QString focused;
    // Once the shown dialog has given the focus to one of its edits, keys
    // go where the keyboard would send them.
    QTimer timer;
    int tries = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* d = qobject_cast<CDefineFormulaDlg*>(QApplication::activeModalWidget());
        QWidget* w = QApplication::focusWidget();
        if ((!d || !w) && ++tries < 300) return;
        timer.stop();
        ASSERT_NE(d, nullptr);
        focused = w ? w->objectName() : QString();
        for (QChar ch : QStringLiteral("PTOTAL(B2:B4)")) {
            QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w ? w : d, &down);
        }
        if (QDir().mkpath(qortest::artifactPath()))
            d->grab().save(qortest::artifactPath(QStringLiteral("define-formula.png")));
        click(d, kIdOk);
    });
    timer.start(10);
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(focused, QStringLiteral("ctl%1").arg(CDefineFormulaDlg::IDC_FORMULA));
    EXPECT_EQ(dlg.formula, QStringLiteral("PTOTAL(B2:B4)"));  // over the old one, as in a cell
    EXPECT_EQ(dlg.area.firstRow, 4);
    EXPECT_TRUE(ui.messages.isEmpty());
}
