// The number and text input of GETINT and GETSTR and the question after a
// failed batch line, reached through the command language.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/input_dlgs.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/chtmlexporter.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

struct Installed {
    Installed() {
        // Run without a report: earlier tests may have closed theirs.
        CCalcInterpreter::Instance().SetDocument(nullptr);
        CCalcInterpreter::Instance().SetReport(nullptr);
        previous = uiServices();
        hooks = CCalcInterpreter::Instance().SubsystemHooks();
        UiServices s = uiServices();
        s.messageBox = [this](const MessageRequest& r) {
            shown << r.text;
            return MsgAnswer::Ok;
        };
        s.promptText = [this](const TextPrompt& p) -> std::optional<QString> {
            hidden << p.label;
            return QStringLiteral("secret");
        };
        installUiServices(s);
        InstallInputDialogs(nullptr);
    }
    ~Installed() {
        installUiServices(previous);
        CCalcInterpreter::Instance().SetSubsystemHooks(hooks);
        CQorDialog::SetModalHook({});
    }
    QStringList shown, hidden;
    UiServices previous;
    cmd::CalcSubsystemHooks hooks;
};

QLineEdit* edit(CQorDialog& d) { return qobject_cast<QLineEdit*>(d.GetDlgItem(1000)); }

double variable(const char* name) {
    const auto v = CCalcInterpreter::Instance().Runtime().VariableValue(QString::fromLatin1(name));
    return v ? v->asNumber() : -1;
}

}  // namespace

TEST(InputDialogs, GetIntRefusesTextsThatAreNoNumberAndGivesTheNumberTyped) {
    Installed installed;
    QStringList captions;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CGetIntDlg::IDD);
        captions << d.windowTitle();
        edit(d)->setText("12abc");
        d.OnOK();
        EXPECT_EQ(d.Result(), 0);  // still open
        edit(d)->setText(" 41.9 ");
        d.OnOK();
    });
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    ASSERT_EQ(ci.RunLine("let &n = GETINT(\"份数\") + 1"), 0) << ci.LastErrorText().toStdString();
    EXPECT_EQ(variable("&n"), 42);  // truncated, then 1 added
    ASSERT_EQ(ci.RunLine("let &m = GETINT()"), 0);
    EXPECT_EQ(captions, (QStringList{"份数", LoadErrorText(qor::str::kDialogCaption)}));
    EXPECT_EQ(installed.shown.size(), 2);

    // Cancel fails the formula rather than inventing a number.
    CQorDialog::SetModalHook([](CQorDialog& d) { d.OnCancel(); });
    EXPECT_EQ(ci.RunLine("let &k = GETINT(\"x\")"), -1);
}

TEST(InputDialogs, GetStrTakesPlainTextWhilePasswordsKeepTheirPrompt) {
    Installed installed;
    CQorDialog::SetModalHook([](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CGetStrDlg::IDD);
        EXPECT_EQ(edit(d)->maxLength(), 5);
        edit(d)->setText("北京");
        d.OnOK();
    });
    TextPrompt plain;
    plain.maxLength = 5;
    EXPECT_EQ(promptText(plain), QStringLiteral("北京"));
    TextPrompt password;
    password.password = true;
    password.label = "口令";
    EXPECT_EQ(promptText(password), QStringLiteral("secret"));
    EXPECT_EQ(installed.hidden, QStringList{"口令"});
}

TEST(InputDialogs, AFailedBatchLineAsksWhetherToGoOn) {
    Installed installed;
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    const QString script = "let &a = 1/0\nlet &b = 2\nlet &c = NOPE\nlet &d = 4\n";
    // 是 with the box ticked: on to the end, asked once.
    int asked = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CPromptDlg::IDD);
        ++asked;
        qobject_cast<QCheckBox*>(d.GetDlgItem(CPromptDlg::IDC_DONT_ASK))->setChecked(true);
        d.OnOK();
    });
    EXPECT_FALSE(ci.RunScriptText(script, "go.shl"));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(variable("&d"), 4);

    // 否 stops at the first failure, whatever the box says.
    ci.RunLine("free &b");
    asked = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ++asked;
        qobject_cast<QCheckBox*>(d.GetDlgItem(CPromptDlg::IDC_DONT_ASK))->setChecked(true);
        d.OnCancel();
    });
    EXPECT_FALSE(ci.RunScriptText(script, "stop.shl"));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(variable("&b"), -1);
}

TEST(InputDialogs, TheHtmlExportAsksBeforeReplacingPageFiles) {
    const QString dir = qortest::freshDir("askalways");
    {
        CReportHandle rep(dir + "/k.rep");
        ASSERT_EQ(rep.EnterDataState(), 0);
        ASSERT_EQ(rep.AppendRowColPage(2, 2), 0);
        ASSERT_EQ(rep.Save(), 0);
    }
    auto keep = [&] {
        QDir(dir).mkpath("html");
        for (const char* name : {"/html/k_1.html", "/html/k_2.html"}) {
            QFile f(dir + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("keep");
        }
    };
    auto kept = [&](const char* name) {
        QFile f(dir + name);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "keep";
    };
    InstallOverwriteAskDialog(nullptr);
    int asked = 0;
    // 否 with the box ticked: asked once, both files kept.
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CAskAlwaysDlg::IDD);
        ++asked;
        qobject_cast<QCheckBox*>(d.GetDlgItem(CAskAlwaysDlg::IDC_ALWAYS))->setChecked(true);
        d.OnCancel();
    });
    keep();
    {
        CHtmlExporter x;
        ASSERT_EQ(x.OpenSource(dir + "/k.rep", 0), 1);
        x.ExportPages();
    }
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(kept("/html/k_1.html") && kept("/html/k_2.html"));
    // 是 without it: asked for each, both replaced.
    asked = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ++asked;
        d.OnOK();
    });
    {
        CHtmlExporter x;
        ASSERT_EQ(x.OpenSource(dir + "/k.rep", 0), 1);
        x.ExportPages();
    }
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(kept("/html/k_1.html") || kept("/html/k_2.html"));
    CHtmlExporter::SetDefaultOverwriteAsker({});
    CQorDialog::SetModalHook({});
}
