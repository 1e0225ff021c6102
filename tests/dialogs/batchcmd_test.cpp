// The list of common batch commands: the profile kept dense through every
// change, a refused write leaving the list whole, and the dialogs driven
// from the tools command through to the script that runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <functional>
#include <memory>
#include <QListWidget>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

#include "cmdlang/calcerrors.h"
#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/batchcmd_dlgs.h"
#include "dialogs/batchcmd_logic.h"
#include "dialogs/input_dlgs.h"
#include "dialogs/tooldialogs.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

// A profile in memory; a null value removes the key as the real one does.
struct MapProfile {
    QMap<QString, QString> keys;
    ProfileAccess access() {
        return {[this](const QString& s, const QString& k) { return keys.value(s + "/" + k); },
                [this](const QString& s, const QString& k, const QString& v) {
                    if (v.isNull())
                        keys.remove(s + "/" + k);
                    else
                        keys[s + "/" + k] = v;
                    return true;
                }};
    }
};

QStringList names(const QVector<BatchScript>& list) {
    QStringList out;
    for (const BatchScript& e : list) out << e.name;
    return out;
}

void click(CQorDialog& d, int id) { qobject_cast<QPushButton*>(d.GetDlgItem(id))->click(); }

struct Answers {
    Answers() {
        UiServices s = uiServices();
        s.messageBox = [this](const MessageRequest& r) {
            shown << r.text;
            return r.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
        };
        s.chooseFile = [this](const FilePrompt& p) -> std::optional<QString> {
            filters << p.filter;
            if (files.isEmpty()) return std::nullopt;
            return files.takeFirst();
        };
        previous = installUiServices(s);
    }
    ~Answers() {
        installUiServices(previous);
        CQorDialog::SetModalHook({});
    }
    QStringList shown, files, filters;
    UiServices previous;
};

}  // namespace

TEST(BatchScriptList, StaysDenseThroughAddRemoveAndModify) {
    MapProfile profile;
    BatchScriptList list(profile.access());
    EXPECT_TRUE(list.Load().isEmpty());
    profile.keys["ShlFilesName/Sum"] = "-3";
    EXPECT_TRUE(list.Load().isEmpty());

    QString error;
    for (const char* p : {"C:\\shl\\a.x.shl", "/srv/b.shl", "c"}) {
        const QString path = QString::fromLatin1(p);
        ASSERT_TRUE(list.Add({BatchScriptList::NameOfPath(path), path}, &error));
    }
    EXPECT_EQ(names(list.Load()), (QStringList{"a.x", "b", "c"}));
    // A listed name is refused, quoted, and nothing is written.
    const auto before = profile.keys;
    EXPECT_FALSE(list.Add({"b", "/elsewhere/b.shl"}, &error));
    EXPECT_EQ(error, "\"b\"" + LoadErrorText(qor::str::kNameRepeated));
    EXPECT_EQ(profile.keys, before);

    // Deleting the first moves the others up and drops the stale keys.
    ASSERT_TRUE(list.Remove(0, &error));
    EXPECT_EQ(names(list.Load()), (QStringList{"b", "c"}));
    EXPECT_EQ(profile.keys["ShlFilesName/Sum"], "2");
    EXPECT_EQ(profile.keys["ShlFilesName/Path0"], "/srv/b.shl");
    EXPECT_FALSE(profile.keys.contains("ShlFilesName/Name2"));
    EXPECT_FALSE(profile.keys.contains("ShlFilesName/Path2"));

    // An edited entry moves to the end; an unchanged one stays; a name
    // another entry has is refused.
    ASSERT_TRUE(list.Add({"d", "/d.shl"}, &error));
    ASSERT_TRUE(list.Modify(0, {"b2", "/srv/b.shl"}, &error));
    EXPECT_EQ(names(list.Load()), (QStringList{"c", "d", "b2"}));
    ASSERT_TRUE(list.Modify(0, {"c", "c"}, &error));
    EXPECT_EQ(names(list.Load()), (QStringList{"c", "d", "b2"}));
    EXPECT_FALSE(list.Modify(0, {"d", "c"}, &error));
    EXPECT_EQ(names(list.Load()), (QStringList{"c", "d", "b2"}));
    EXPECT_EQ(profile.keys["ShlFilesName/Sum"], "3");
}

TEST(BatchScriptList, ARefusedProfileWriteLeavesTheListAsItWas) {
    const QString dir = qortest::freshDir("batchlist-refused");
    CReaderApp app(dir + "/qor.ini");
    ProfileAccess access{
        [&](const QString& s, const QString& k) { return app.GetProfileString(s, k); },
        [&](const QString& s, const QString& k, const QString& v) {
            return app.WriteProfileString(s, k, v);
        }};
    BatchScriptList list(access);
    QString error;
    ASSERT_TRUE(list.Add({"a", "/a.shl"}, &error));
    ASSERT_TRUE(list.Add({"b", "/b.shl"}, &error));
    const QVector<BatchScript> before = list.Load();

    EXPECT_FALSE(list.Add({"x\ny", "/x.shl"}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(list.Load(), before);
    // Moving "a" to the end fails at its path: "b" stays second, "a" first.
    EXPECT_FALSE(list.Modify(0, {"a", "/a\n.shl"}, &error));
    EXPECT_EQ(list.Load(), before);
    EXPECT_EQ(app.GetProfileString("ShlFilesName", "Sum"), "2");
}

TEST(BatchCmdSetupDlg, RefusesEmptyAndDuplicateNamesAndCutsTrailingBlanks) {
    Answers answers;
    CBatchCmdSetupDlg dlg;
    dlg.m_otherNames = {"other"};
    dlg.m_strName = "mine";
    dlg.m_strPath = "/m.shl";
    dlg.OnInitDialog();
    auto* name = qobject_cast<QLineEdit*>(dlg.GetDlgItem(CBatchCmdSetupDlg::IDC_NAME));
    auto* path = qobject_cast<QLineEdit*>(dlg.GetDlgItem(CBatchCmdSetupDlg::IDC_PATH));
    EXPECT_EQ(name->maxLength(), 40);
    EXPECT_EQ(path->maxLength(), 470);
    name->setText("   ");
    dlg.OnOK();
    path->clear();
    name->setText("n");
    dlg.OnOK();
    path->setText("/m.shl");
    name->setText("other");
    dlg.OnOK();
    EXPECT_EQ(answers.shown,
              (QStringList{LoadErrorText(qor::str::kNameEmpty), LoadErrorText(qor::str::kFileEmpty),
                           "\"other\"" + LoadErrorText(qor::str::kNameRepeated)}));
    EXPECT_EQ(dlg.Result(), 0);
    name->setText("new name  ");
    answers.files = {"/chosen.shl"};
    click(dlg, CBatchCmdSetupDlg::IDC_BROWSE);
    EXPECT_EQ(path->text(), "/chosen.shl");
    dlg.OnOK();
    EXPECT_EQ(dlg.Result(), CQorDialog::IDOK);
    EXPECT_EQ(dlg.m_strName, "new name");
}

TEST(BatchCmdDlg, TheToolsCommandEditsTheListAndRunsTheChosenScript) {
    const QString dir = qortest::freshDir("batchcmd-dialog");
    CReaderApp app(dir + "/qor.ini");
    CAppEnvironment env(app);
    QStringList ran;
    env.SetBatchRunner([&](const QString& p, QString*) {
        ran << p;
        return true;
    });
    Answers answers;
    ToolDialogsTarget target;
    CommandState state;
    ASSERT_TRUE(target.OnUpdateCommand(ToolDialogsTarget::kCmdCommonBatch, state));
    EXPECT_TRUE(state.enabled);

    // Nothing listed: 执行 does nothing and the dialog stays open.
    CQorDialog::SetModalHook([](CQorDialog& d) { click(d, CQorDialog::IDOK); });
    target.OnCommand(ToolDialogsTarget::kCmdCommonBatch);
    EXPECT_TRUE(ran.isEmpty());

    // Three added (the second twice: refused), the second run.
    for (const char* name : {"/first.shl", "/second.shl", "/third.shl"}) {
        QFile f(dir + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("let &x = 1\n");
    }
    answers.files = {dir + "/first.shl", dir + "/second.shl", dir + "/third.shl",
                     "/other/second.shl"};
    CQorDialog::SetModalHook([](CQorDialog& d) {
        for (int i = 0; i < 4; ++i) click(d, CBatchCmdDlg::IDC_ADD);
        auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(CBatchCmdDlg::IDC_LIST));
        EXPECT_EQ(list->count(), 3);
        EXPECT_EQ(list->currentRow(), 2);  // the last added
        list->setCurrentRow(1);
        click(d, CQorDialog::IDOK);
    });
    target.OnCommand(ToolDialogsTarget::kCmdCommonBatch);
    EXPECT_EQ(ran, QStringList{dir + "/second.shl"});
    EXPECT_EQ(answers.shown, QStringList{"\"second\"" + LoadErrorText(qor::str::kNameRepeated)});
    EXPECT_EQ(answers.filters.first(), QtFileFilter(LoadErrorText(qor::str::kScriptFileFilter)));

    // The first renamed (it moves to the end), then the new first deleted.
    CQorDialog::SetModalHook([](CQorDialog& d) {
        if (d.TemplateId() == CBatchCmdSetupDlg::IDD) {
            qobject_cast<QLineEdit*>(d.GetDlgItem(CBatchCmdSetupDlg::IDC_NAME))->setText("renamed ");
            d.OnOK();
            return;
        }
        auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(CBatchCmdDlg::IDC_LIST));
        list->setCurrentRow(0);
        click(d, CBatchCmdDlg::IDC_MODIFY);
        EXPECT_EQ(list->item(2)->text(), "renamed");
        list->setCurrentRow(0);
        click(d, CBatchCmdDlg::IDC_DELETE);
        d.OnCancel();
    });
    target.OnCommand(ToolDialogsTarget::kCmdCommonBatch);
    EXPECT_EQ(ran.size(), 1);  // cancelled: nothing more ran
    EXPECT_EQ(app.GetProfileString("ShlFilesName", "Sum"), "2");
    EXPECT_EQ(app.GetProfileString("ShlFilesName", "Name0"), "third");
    EXPECT_EQ(app.GetProfileString("ShlFilesName", "Name1"), "renamed");
    EXPECT_EQ(app.GetProfileString("ShlFilesName", "Path1"), dir + "/first.shl");
    EXPECT_TRUE(app.GetProfileString("ShlFilesName", "Name2").isEmpty());
}

namespace {

// Acts on the next shown dialog of class D once it is up.
template <class D>
void onShown(std::function<void(D&)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!d && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        ASSERT_TRUE(d) << "the dialog did not come up";
        act(*d);
    });
    timer->start(10);
}

}  // namespace

TEST(BatchCmdDlg, AFailingScriptIsToldOnceInTheSystemsLanguage) {
    const QString dir = qortest::freshDir("batchcmd-failing");
    CReaderApp app(dir + "/qor.ini");
    CAppEnvironment env(app);
    env.SetBatchRunner([](const QString& p, QString* error) {
        return CCalcInterpreter::Instance().RunBatchFile(p, error);
    });
    auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("run.shl", "let &a = 1\nlet &b = 1/0\nlet &c = 3\n");
    write("parse.shl", "let &a = (\n");
    app.WriteProfileString("ShlFilesName", "Sum", "2");
    app.WriteProfileString("ShlFilesName", "Name0", "run");
    app.WriteProfileString("ShlFilesName", "Path0", dir + "/run.shl");
    app.WriteProfileString("ShlFilesName", "Name1", "parse");
    app.WriteProfileString("ShlFilesName", "Path1", dir + "/parse.shl");

    const cmd::CalcSubsystemHooks savedHooks = CCalcInterpreter::Instance().SubsystemHooks();
    Answers answers;
    InstallInputDialogs(nullptr);
    auto runEntry = [](int row) {
        onShown<CBatchCmdDlg>([row](CBatchCmdDlg& d) {
            qobject_cast<QListWidget*>(d.GetDlgItem(CBatchCmdDlg::IDC_LIST))->setCurrentRow(row);
            click(d, CQorDialog::IDOK);
        });
    };

    // A command that fails asks whether to go on; 否 ends the run and
    // nothing more is said.
    QString prompt;
    runEntry(0);
    onShown<CPromptDlg>([&prompt](CPromptDlg& d) {
        prompt = d.m_strMessage;
        d.OnCancel();
    });
    RunCommonBatchCommand(nullptr);
    EXPECT_TRUE(prompt.startsWith(QStringLiteral("批命令run.shl第2行出错：")))
        << prompt.toStdString();
    EXPECT_FALSE(prompt.contains("line")) << prompt.toStdString();
    EXPECT_TRUE(answers.shown.isEmpty()) << answers.shown.join(" | ").toStdString();

    // A script that does not parse runs nothing and is told once, with
    // where the line went wrong.
    runEntry(1);
    RunCommonBatchCommand(nullptr);
    ASSERT_EQ(answers.shown.size(), 1);
    EXPECT_TRUE(answers.shown.first().startsWith(
        LoadErrorText(qor::str::kScriptLineFailed)
            .arg("parse.shl", "1", QStringLiteral("第11个字符处"))))
        << answers.shown.first().toStdString();
    CCalcInterpreter::Instance().SetSubsystemHooks(savedHooks);
}

TEST(BatchScriptList, FailureTextsNameEveryScriptAndLineAndTheFailure) {
    const auto place = [](const QString& script, int line, const QString& what) {
        return LoadErrorText(qor::str::kScriptLineFailed).arg(script, QString::number(line), what);
    };
    const QString nested = place("a.shl", 3, place("b.shl", 1, "no report is open"));
    EXPECT_EQ(BatchFailureText(CALC_ERR_NO_REPORT, nested),
              "批命令a.shl第3行出错：批命令b.shl第1行出错：" + LoadErrorText(qor::str::kNoReportOpen));
    EXPECT_EQ(BatchFailureText(CALC_ERR_NOT_FOUND, "x"), LoadErrorText(qor::str::kNoRecordFound));
    EXPECT_EQ(BatchFailureText(1011, place("c.shl", 2, "write error")),
              "批命令c.shl第2行出错：报表操作失败（状态1011）");
    // The reason the command language gave in Chinese is the one shown.
    EXPECT_EQ(BatchFailureText(1075, place("bad.shl", 2, QStringLiteral("A99在表格之外"))),
              QStringLiteral("批命令bad.shl第2行出错：A99在表格之外"));
    EXPECT_EQ(BatchFailureText(CALC_ERR_FILE, "The batch file x cannot be opened"),
              LoadErrorText(qor::str::kFileUnusable));
}
