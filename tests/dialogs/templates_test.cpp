// The report template list and its dialogs: the file read whole with its
// path rules, the writes proven by an independent reader, names the file
// cannot hold refused, and the wizard and the choice dialog driven from
// the document's commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "dialogs/template_dlgs.h"
#include "document/cmd_templates.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/dialogs/dialog_answers.h"

using namespace qor;

namespace {

using qortest::writeFile;

void click(CQorDialog& d, int id) { qobject_cast<QPushButton*>(d.GetDlgItem(id))->click(); }
QListWidget* list(CQorDialog& d, int id) { return qobject_cast<QListWidget*>(d.GetDlgItem(id)); }
bool enabled(CQorDialog& d, int id) { return d.GetDlgItem(id)->isEnabled(); }

struct Answers {
    Answers() {
        UiServices s = uiServices();
        s.messageBox = [this](const MessageRequest& r) {
            shown << r.text;
            return MsgAnswer::Ok;
        };
        s.chooseFiles = [this](const FilePrompt&) -> std::optional<QStringList> { return files; };
        previous = installUiServices(s);
    }
    ~Answers() {
        installUiServices(previous);
        CQorDialog::SetModalHook({});
    }
    QStringList shown, files;
    UiServices previous;
};

// Chooses files (names in dir) in the next template file dialog as a user
// would, once it is up; *labels receives its OK button's and labels' texts.
void pickTemplateFiles(const QString& dir, const QStringList& names, QStringList* labels) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* d = qobject_cast<CModelFileDlg*>(QApplication::activeModalWidget());
        if (!d && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        ASSERT_TRUE(d) << "no template file dialog came up";
        // Its columns readable, the type's label naming its pattern once.
        EXPECT_GE(d->width(), 760);
        auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        *labels = {d->windowTitle(), d->labelText(QFileDialog::Accept),
                   d->labelText(QFileDialog::FileName), d->labelText(QFileDialog::FileType),
                   types ? types->currentText() : QString()};
        d->setDirectory(dir);
        // The names typed into the file name box, in quotes when several.
        QStringList quoted;
        for (const QString& n : names) quoted << u'"' + n + u'"';
        auto* nameBox = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(nameBox);
        nameBox->setText(names.size() == 1 ? names.first() : quoted.join(u' '));
        static_cast<QDialog*>(d)->accept();  // as the 添加 button does
        // Whatever the file dialog would still ask is a failure, not a hang.
        QTimer::singleShot(200, [] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                if (qobject_cast<CModelFileDlg*>(w) || !qobject_cast<CQorDialog*>(w)) {
                    ADD_FAILURE() << "still open: " << w->metaObject()->className() << " "
                                  << w->windowTitle().toStdString();
                    w->close();
                }
            }
        });
    });
    timer->start(10);
}

}  // namespace

TEST(TemplateList, ReadsEverySectionWithItsPathRulesAndWritesItBack) {
    const QString dir = qortest::freshDir("templatelist-read");
    const QString path = dir + "/qormodel.cfg";
    // More than the old fixed buffers held, so nothing may be cut.
    QByteArray text = "[制造业]\r\n利润表=\\样表\\a.rep\r\n资产负债表=/srv/t/b.rep\r\n"
                      "[空行业]\r\ndefault=\r\n[商业]\r\ndefault=/d.rep\r\nc=sub\\c.rep\r\n[大行业]\r\n";
    for (int i = 0; i < 150; ++i) text += QStringLiteral("模板%1=/long/folder/name/t%1.rep\r\n").arg(i).toUtf8();
    writeFile(path, text);
    const TemplateListFile file(path);
    const QVector<TemplateIndustry> all = file.ReadAll();
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(file.Industries(), (QStringList{"制造业", "空行业", "商业", "大行业"}));
    EXPECT_EQ(all[0].paths, (QStringList{dir + "/样表/a.rep", "/srv/t/b.rep"}));
    EXPECT_TRUE(all[1].names.isEmpty());                   // only "default": no templates
    EXPECT_EQ(all[2].names, (QStringList{"default", "c"})); // elsewhere an ordinary name
    EXPECT_EQ(all[2].paths[1], dir + "/sub/c.rep");
    EXPECT_EQ(all[3].names.size(), 150);

    QString error;
    ASSERT_TRUE(file.WriteAll(all, &error)) << error.toStdString();
    EXPECT_EQ(file.ReadAll(), all);  // resolved paths read back as they are
    // An independent reader sees every industry and template.
    const auto r = qortest::python(QStringLiteral(R"(
import sys, configparser
raw = open(sys.argv[1], 'rb').read()
text = raw.decode('utf-16') if raw[:2] in (b'\xff\xfe', b'\xfe\xff') else raw.decode('utf-8-sig')
c = configparser.ConfigParser(interpolation=None)
c.optionxform = str
c.read_string(text)
for s in c.sections():
    print(s, len(c[s]), '|'.join(k + '>' + v for k, v in list(c[s].items())[:2]))
)"),
                                     {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "制造业 2 利润表>" + dir + "/样表/a.rep|资产负债表>/srv/t/b.rep");
    EXPECT_EQ(lines[1], "空行业 1 default>");
    EXPECT_TRUE(lines[3].startsWith("大行业 150 "));

    // A name the file cannot hold is refused before anything is written.
    const QByteArray before = qortest::fileBytes(path);
    for (const QString& bad : {QStringLiteral("a]b"), QStringLiteral(";x"), QStringLiteral("x\ny")}) {
        QVector<TemplateIndustry> changed = all;
        changed[0].industry = bad;
        EXPECT_FALSE(file.WriteAll(changed, &error)) << bad.toStdString();
    }
    QVector<TemplateIndustry> badTemplate = all;
    badTemplate[0].names[0] = "a=b";
    EXPECT_FALSE(file.WriteAll(badTemplate, &error));
    EXPECT_EQ(qortest::fileBytes(path), before);
}

TEST(TemplateList, TemplateEditsAndAddedFiles) {
    const QString dir = qortest::freshDir("templatelist-add");
    EXPECT_EQ(TemplateFromEdits("", "x", "/f").path, "/f/x.rep");
    EXPECT_EQ(TemplateFromEdits("", "x", "/f").name, "x");
    EXPECT_EQ(TemplateFromEdits("", "y.rep", "/f").path, "/f/y.rep");
    EXPECT_EQ(TemplateFromEdits("", "/a/b/z.v1.rep", "/f").name, "z.v1");
    EXPECT_EQ(TemplateFromEdits("n", "p", "/f").path, "p");

    for (const char* name : {"/a.rep", "/b.rep", "/A.rep"}) writeFile(dir + name, "x");
    TemplateIndustry t{"i", {"a"}, {"/old/a.rep"}};
    QStringList messages;
    QStringList checked;
    const auto check = [&](const QString& p) {
        checked << p;
        return true;
    };
    // A listed name (in any case) and a missing file are told; the others go in.
    EXPECT_EQ(AddTemplateFiles(t, {dir + "/a.rep", dir + "/missing.rep", dir + "/b.rep"}, check,
                               &messages),
              1);
    EXPECT_EQ(t.names, (QStringList{"a", "b"}));
    EXPECT_EQ(messages,
              (QStringList{QString(LoadErrorText(qor::str::kTemplateExists)).replace("%s", "a"),
                           QString(LoadErrorText(qor::str::kTemplateFileMissing))
                               .replace("%s", dir + "/missing.rep")}));
    EXPECT_EQ(checked, QStringList{dir + "/b.rep"});
    // At most a hundred per industry.
    for (int i = t.names.size(); i < TemplateListFile::kMaxTemplates; ++i) {
        t.names << QString::number(i);
        t.paths << "/p";
    }
    messages.clear();
    EXPECT_EQ(AddTemplateFiles(t, {dir + "/A.rep"}, check, &messages), 0);
    EXPECT_EQ(messages.size(), 1);
}

TEST(TemplateDialogs, TheWizardEditsTheListAndTheChoiceDialogListsItAfterARestart) {
    const QString dir = qortest::freshDir("template-wizard");
    const QString listPath = TemplateListFile::DefaultPath();
    QDir().mkpath(QFileInfo(listPath).absolutePath());
    writeFile(listPath, "[制造业]\r\ndefault=\r\n");
    writeFile(dir + "/利润表.rep", "x");
    writeFile(dir + "/现金流量表.rep", "x");
    Answers answers;
    qortest::RegisteredDialogs dialogs;
    EXPECT_TRUE(HasDialog<ReportTemplateDlgMembers>() && HasDialog<ModelSheetRequest>());

    // No templates: OK stays open with 62229.
    CQorDialog::SetModalHook([](CQorDialog& d) { d.OnOK(); });
    EXPECT_FALSE(Ask(ReportTemplateDlgMembers{}));
    EXPECT_EQ(answers.shown, QStringList{LoadErrorText(qor::str::kNoTemplates)});
    answers.shown.clear();

    CQorDialog::SetModalHook([&](CQorDialog& d) {
        if (d.TemplateId() == CDefineTemplateDlg::IDD) {
            auto* name = qobject_cast<QLineEdit*>(d.GetDlgItem(CDefineTemplateDlg::IDC_NAME));
            d.OnOK();  // the unchanged name, or empty
            name->setText("商业");
            d.OnOK();
            return;
        }
        if (d.TemplateId() == CTemplateDlg::IDD) {
            qobject_cast<QLineEdit*>(d.GetDlgItem(CTemplateDlg::IDC_NAME))->clear();
            qobject_cast<QLineEdit*>(d.GetDlgItem(CTemplateDlg::IDC_PATH))->setText("x");
            d.OnOK();
            return;
        }
        auto& sheet = static_cast<CModelSheet&>(d);
        EXPECT_FALSE(enabled(d, CModelSheet::IDC_APPLY));
        // Renaming 制造业 to itself is refused; the rename then gives 商业.
        click(d, CModelSheet::IDC_RENAME_INDUSTRY);
        list(d, CModelSheet::IDC_INDUSTRIES)->setCurrentRow(-1);
        click(d, CModelSheet::IDC_NEXT);
        EXPECT_EQ(sheet.Page(), 1);
        list(d, CModelSheet::IDC_INDUSTRIES)->setCurrentRow(0);
        click(d, CModelSheet::IDC_NEXT);
        ASSERT_EQ(sheet.Page(), 2);
        QStringList labels;
        pickTemplateFiles(dir, {"利润表.rep", "现金流量表.rep"}, &labels);
        click(d, CModelSheet::IDC_ADD_TEMPLATES);
        EXPECT_EQ(labels,
                  (QStringList{LoadErrorText(qor::str::kAddTemplate), LoadErrorText(qor::str::kAdd),
                               LoadErrorText(qor::str::kTemplateName),
                               LoadErrorText(qor::str::kTemplateFileExtension),
                               LoadErrorText(qor::str::kTemplateFileFilter).section(u'|', 0, 0)}));
        EXPECT_EQ(list(d, CModelSheet::IDC_TEMPLATES)->count(), 2);
        // The same file again: its name is listed already.
        pickTemplateFiles(dir, {"利润表.rep"}, &labels);
        click(d, CModelSheet::IDC_ADD_TEMPLATES);
        EXPECT_EQ(list(d, CModelSheet::IDC_TEMPLATES)->count(), 2);
        list(d, CModelSheet::IDC_TEMPLATES)->setCurrentRow(0);
        click(d, CModelSheet::IDC_MODIFY_TEMPLATE);  // the first becomes "x"
        EXPECT_EQ(qobject_cast<QLabel*>(d.GetDlgItem(CModelSheet::IDC_PATH))->text(),
                  TemplateListFile().Folder() + "/x.rep");
        EXPECT_TRUE(enabled(d, CModelSheet::IDC_APPLY));
        click(d, CModelSheet::IDC_FINISH);
    });
    Ask(ModelSheetRequest{});
    EXPECT_EQ(
        answers.shown,
        (QStringList{LoadErrorText(qor::str::kIndustryExists),
                     LoadErrorText(qor::str::kChooseIndustry),
                     QString(LoadErrorText(qor::str::kTemplateExists)).replace("%s", "利润表")}));

    // Read again from the file: the new name, both templates, in order.
    CQorDialog::SetModalHook([](CQorDialog& d) {
        auto* templates = qobject_cast<QComboBox*>(d.GetDlgItem(CReportTemplateDlg::IDC_TEMPLATE));
        EXPECT_EQ(qobject_cast<QComboBox*>(d.GetDlgItem(CReportTemplateDlg::IDC_INDUSTRY))->currentText(),
                  "商业");
        ASSERT_EQ(templates->count(), 2);
        EXPECT_EQ(templates->itemText(0), "x");
        templates->setCurrentIndex(1);
        d.OnOK();
    });
    const auto chosen = Ask(ReportTemplateDlgMembers{});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->chosenPath, dir + "/现金流量表.rep");
}

TEST(TemplateDialogs, CancelWritesNothingAndAFailedWriteKeepsTheWizardOpen) {
    const QString dir = qortest::freshDir("template-wizard-fail");
    const QString good = dir + "/qormodel.cfg";
    writeFile(good, "[甲]\r\ndefault=\r\n[乙]\r\ndefault=\r\n");
    const QByteArray before = qortest::fileBytes(good);
    Answers answers;
    {
        CModelSheet sheet{TemplateListFile(good)};
        CQorDialog::SetModalHook([](CQorDialog& d) {
            // Deleting the last industry leaves nothing to delete or rename.
            click(d, CModelSheet::IDC_DELETE_INDUSTRY);
            click(d, CModelSheet::IDC_DELETE_INDUSTRY);
            EXPECT_FALSE(enabled(d, CModelSheet::IDC_DELETE_INDUSTRY));
            EXPECT_FALSE(enabled(d, CModelSheet::IDC_RENAME_INDUSTRY));
            d.OnCancel();
        });
        sheet.DoModal();
    }
    EXPECT_EQ(qortest::fileBytes(good), before);

    // A list whose folder cannot be made: the write is told, Apply stays on.
    writeFile(dir + "/plain", "not a folder");
    CModelSheet sheet{TemplateListFile(dir + "/plain/qormodel.cfg")};
    CQorDialog::ModalHook inner = [](CQorDialog& d) {
        if (d.TemplateId() == CDefineTemplateDlg::IDD) {
            qobject_cast<QLineEdit*>(d.GetDlgItem(CDefineTemplateDlg::IDC_NAME))->setText("丙");
            d.OnOK();
            return;
        }
        click(d, CModelSheet::IDC_ADD_INDUSTRY);
        click(d, CModelSheet::IDC_APPLY);
    };
    CQorDialog::SetModalHook(inner);
    EXPECT_EQ(sheet.DoModal(), CQorDialog::IDCANCEL);  // left open
    EXPECT_EQ(sheet.Result(), 0);
    EXPECT_TRUE(sheet.Modified());
    EXPECT_TRUE(enabled(sheet, CModelSheet::IDC_APPLY));
    ASSERT_EQ(answers.shown.size(), 1);
    EXPECT_TRUE(answers.shown[0].contains("不能写入"));
}
