// The program's file dialogs: what OK accepts and refuses in each mode,
// the extension taken from the chosen type, the folder mode, and the
// multiple-selection dialog. Dialogs are answered through their modal
// hooks; messages through the UI hooks.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/cmyfiledlg.h"
#include "frames/widgetui.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

namespace {

using qortest::writeFile;

class FileDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(QStringLiteral("filedlg"));
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            if (!answers.isEmpty()) return answers.takeFirst();
            return r.defaultAnswer;
        };
        m_previous = qor::installUiServices(s);
    }
    void TearDown() override {
        CMyFileDlg::SetModalHook({});
        CFileFolderDialog::SetModalHook({});
        CMyFileDlg::SetCurrentReportDir(QString());
        qor::installUiServices(m_previous);
    }

    // Runs a dialog of the mode in dir, types name and presses OK; the
    // accepted path, or nothing when the dialog stayed open.
    std::optional<QString> choose(int mode, const QString& name, bool open = true,
                                  const QString& filter = QString(),
                                  std::function<void(CMyFileDlg&)> before = {}) {
        CMyFileDlg dlg(open, QString(), QString(), filter);
        dlg.SetMode(mode);
        dlg.SetInitialDir(dir);
        CMyFileDlg::SetModalHook([&](CMyFileDlg& d) {
            if (before) before(d);
            d.FileNameEdit()->setText(name);
            d.accept();
        });
        const int rc = dlg.DoModal();
        CMyFileDlg::SetModalHook({});
        if (rc != CMyFileDlg::IDOK) return std::nullopt;
        return dlg.GetPathName();
    }

    QString dir;
    QStringList messages;
    QList<qor::MsgAnswer> answers;

private:
    qor::UiServices m_previous;
};

TEST_F(FileDlgTest, SavingAReportAddsRepAndProtectsWhatIsOpenOrExists) {
    // A bare name becomes a report name; nothing is asked for a new file.
    EXPECT_EQ(choose(CMyFileDlg::kSaveReport, QStringLiteral("abc"), false),
              dir + QStringLiteral("/abc.rep"));
    EXPECT_TRUE(messages.isEmpty());

    // A report this program holds open cannot be saved over.
    const QString open = dir + QStringLiteral("/open.rep");
    auto handle = std::make_unique<CReportHandle>(open);
    ASSERT_TRUE(QFileInfo::exists(open));
    EXPECT_FALSE(choose(CMyFileDlg::kSaveReport, QStringLiteral("open.rep"), false));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].endsWith(LoadErrorText(qor::str::kFileOpenSaveAsOther)));
    handle.reset();

    // Any other existing file asks first; No keeps the dialog open.
    writeFile(dir + QStringLiteral("/old.rep"), "old");
    messages.clear();
    answers = {qor::MsgAnswer::No};
    EXPECT_FALSE(choose(CMyFileDlg::kSaveReport, QStringLiteral("old.rep"), false));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("文件已经存在")));
    answers = {qor::MsgAnswer::Yes};
    EXPECT_EQ(choose(CMyFileDlg::kSaveReport, QStringLiteral("old.rep"), false),
              dir + QStringLiteral("/old.rep"));
    // The accepted name's folder is where the next dialog opens.
    EXPECT_EQ(CMyFileDlg::CurrentReportDir(), dir);
}

TEST_F(FileDlgTest, ReplacingSaveNeverDeletesTheOldFile) {
    const QString target = dir + QStringLiteral("/out.htm");
    writeFile(target, "previous");
    EXPECT_EQ(choose(CMyFileDlg::kSaveReplace, QStringLiteral("out.htm"), false), target);
    // The writer has not run (or failed): the old file is still whole.
    EXPECT_EQ(qortest::fileBytes(target), QByteArray("previous"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FileDlgTest, MenuModeWantsAnExistingMenuFileInAnyCase) {
    writeFile(dir + QStringLiteral("/note.txt"), "x");
    writeFile(dir + QStringLiteral("/tools.MNU"), "x");
    writeFile(dir + QStringLiteral("/lower.mnu"), "x");
    EXPECT_FALSE(choose(CMyFileDlg::kOpenMenu, QStringLiteral("note.txt")));
    EXPECT_EQ(messages.value(0), LoadErrorText(qor::str::kChooseMenuFile));
    messages.clear();
    EXPECT_FALSE(choose(CMyFileDlg::kOpenMenu, QStringLiteral("missing")));
    EXPECT_EQ(messages.value(0), LoadErrorText(qor::str::kMenuFileMissing));
    EXPECT_EQ(choose(CMyFileDlg::kOpenMenu, QStringLiteral("tools")),
              dir + QStringLiteral("/tools.MNU"));
    EXPECT_EQ(choose(CMyFileDlg::kOpenMenu, QStringLiteral("lower.mnu")),
              dir + QStringLiteral("/lower.mnu"));
}

TEST_F(FileDlgTest, CollectConditionCannotSmuggleAnotherCommand) {
    const QString source = dir + QStringLiteral("/source.rep");
    { CReportHandle make(source); }
    const QString victim = dir + QStringLiteral("/victim.rep");
    { CReportHandle make(victim); }
    auto typeCondition = [](const QString& condition) {
        return [condition](CMyFileDlg& d) {
            ASSERT_NE(d.ConditionEdit(), nullptr);
            EXPECT_EQ(d.ConditionLabel()->text(), LoadErrorText(qor::str::kCollectCondition));
            d.ConditionEdit()->setText(condition);
        };
    };
    // A line break would start a second command: refused before anything
    // runs.
    const QString injected = QStringLiteral("年=2004\nDELETE FILE \"%1\"").arg(victim);
    EXPECT_FALSE(choose(CMyFileDlg::kCollectWhere, QStringLiteral("source.rep"), true, QString(),
                        typeCondition(injected)));
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kBadCollectCondition)});
    EXPECT_TRUE(QFileInfo::exists(victim));

    // A condition that does not parse keeps the dialog open with the
    // collect message.
    messages.clear();
    EXPECT_FALSE(choose(CMyFileDlg::kCollectWhere, QStringLiteral("source.rep"), true, QString(),
                        typeCondition(QStringLiteral("年=("))));
    EXPECT_TRUE(messages.contains(LoadErrorText(qor::str::kBadCollectCondition)));

    // No condition: the name alone is accepted.
    messages.clear();
    EXPECT_EQ(choose(CMyFileDlg::kCollectWhere, QStringLiteral("source.rep"), true, QString(),
                     typeCondition(QStringLiteral("   "))),
              source);
}

TEST_F(FileDlgTest, FolderModeReturnsTheFolderAndLeavesTheProcessDirectory) {
    const QString sub = dir + QStringLiteral("/data");
    QDir().mkpath(sub);
    const QString before = QDir::currentPath();
    CMyFileDlg dlg(true);
    dlg.SetMode(CMyFileDlg::kFolder);
    dlg.SetInitialDir(sub);
    CMyFileDlg::SetModalHook([&](CMyFileDlg& d) {
        ASSERT_NE(d.FolderEdit(), nullptr);
        EXPECT_FALSE(d.FolderEdit()->isEnabled());
        EXPECT_EQ(QDir::fromNativeSeparators(d.FolderEdit()->text()), sub);
        d.accept();
    });
    ASSERT_EQ(dlg.DoModal(), CMyFileDlg::IDOK);
    EXPECT_EQ(dlg.GetFolder(), sub);
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST_F(FileDlgTest, ChangingTheTypeTakesTheExtensionFromItsPattern) {
    EXPECT_EQ(CMyFileDlg::FilterExtension(QStringLiteral("Excel 工作簿 (*.xlsx *.xls)")),
              QStringLiteral("xlsx"));
    EXPECT_EQ(CMyFileDlg::FilterExtension(QStringLiteral("所有文件 (*.*)")), QString());
    EXPECT_EQ(CMyFileDlg::FilterExtension(QStringLiteral("所有文件 (*)")), QString());
    EXPECT_EQ(CMyFileDlg::ReplaceExtension(QStringLiteral("a.b/c"), QStringLiteral("rep")),
              QStringLiteral("a.b/c.rep"));

    const QString filter =
        QStringLiteral("报表文件 (*.rep);;Excel 工作簿 (*.xlsx);;所有文件 (*)");
    CMyFileDlg dlg(false, QString(), QString(), filter);
    dlg.SetMode(CMyFileDlg::kSaveReplace);
    dlg.SetInitialDir(dir);
    QStringList seen;
    CMyFileDlg::SetModalHook([&](CMyFileDlg& d) {
        auto* combo = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(combo, nullptr);
        d.FileNameEdit()->setText(QStringLiteral("book.rep"));
        emit combo->activated(1);
        seen << d.FileNameEdit()->text();
        emit combo->activated(2);  // all files: the name stays as typed
        seen << d.FileNameEdit()->text();
        d.reject();
    });
    EXPECT_EQ(dlg.DoModal(), CMyFileDlg::IDCANCEL);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("book.xlsx"), QStringLiteral("book.xlsx")}));
}

TEST_F(FileDlgTest, EveryFileChoiceGoesThroughTheDialogWithItsMode) {
    qor::frames::InstallWidgetUiServices();
    qor::UiServices widget = qor::uiServices();
    widget.messageBox = [this](const qor::MessageRequest& r) {
        messages << r.text;
        return r.defaultAnswer;
    };
    qor::installUiServices(widget);
    writeFile(dir + QStringLiteral("/a.rep"), "x");
    QList<int> modes;
    QStringList okTexts;
    CMyFileDlg::SetModalHook([&](CMyFileDlg& d) {
        modes << d.GetMode();
        okTexts << d.labelText(QFileDialog::Accept);
        d.FileNameEdit()->setText(QStringLiteral("a.rep"));
        d.accept();
    });
    qor::FilePrompt open{QStringLiteral("打开"), dir, QStringLiteral("报表文件 (*.rep)"), false};
    EXPECT_EQ(qor::chooseFile(open), dir + QStringLiteral("/a.rep"));
    qor::FilePrompt saveAs{QStringLiteral("另存为"), dir + QStringLiteral("/a.rep"),
                           QStringLiteral("报表文件 (*.rep)"), true};
    saveAs.mode = CMyFileDlg::kSaveReport;
    // Saving over an existing file is asked, and the default (No) refuses.
    EXPECT_FALSE(qor::chooseFile(saveAs));
    qor::FilePrompt exportTo{QStringLiteral("导出"), dir, QString(), true};
    EXPECT_EQ(qor::chooseFile(exportTo), dir + QStringLiteral("/a.rep"));
    EXPECT_EQ(modes, (QList<int>{CMyFileDlg::kOpen, CMyFileDlg::kSaveReport,
                                 CMyFileDlg::kSaveReplace}));
    EXPECT_EQ(okTexts, (QStringList{QStringLiteral("打开"), QStringLiteral("另存为"),
                                    QStringLiteral("保存")}));
}

TEST_F(FileDlgTest, MultipleSelectionReturnsEveryFileInOrderAndCancelGivesNone) {
    QStringList names;
    QString typed;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("report %1.rep").arg(i, 3, 10, QLatin1Char('0'));
        writeFile(dir + QLatin1Char('/') + name, "x");
        names << name;
        typed += QLatin1Char('"') + name + QStringLiteral("\" ");
    }
    // Typed in an order the folder listing would not give.
    std::reverse(names.begin(), names.end());
    typed.clear();
    for (const QString& n : names) typed += QLatin1Char('"') + n + QStringLiteral("\" ");

    CFileFolderDialog dlg(true, QStringLiteral("报表文件 (*.rep)"));
    QFileDialog plain;
    plain.setOption(QFileDialog::DontUseNativeDialog, true);
    EXPECT_GE(dlg.height(), plain.sizeHint().height() + CFileFolderDialog::kExtraHeight);
    dlg.setDirectory(dir);
    CFileFolderDialog::SetModalHook([&](CFileFolderDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed.trimmed());
        d.accept();
    });
    ASSERT_EQ(dlg.DoModal(), CFileFolderDialog::IDOK);
    QStringList walked;
    for (int pos = dlg.GetStartPosition(); pos;) walked << dlg.GetNextPathName(pos);
    ASSERT_EQ(walked.size(), 300);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(walked[i], dir + QLatin1Char('/') + names[i]);

    CFileFolderDialog::SetModalHook([](CFileFolderDialog& d) { d.reject(); });
    EXPECT_EQ(dlg.DoModal(), CFileFolderDialog::IDCANCEL);
    EXPECT_EQ(dlg.GetStartPosition(), 0);
}

}  // namespace
