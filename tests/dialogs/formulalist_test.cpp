// The formula list and the audit-formula editor: the lines shown, the
// files written (read back independently, and run as a script by qor),
// the audit-text limit and the import of a text file at the caret.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QTimer>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextCursor>
#include <functional>

#include "cmdlang/enginehooks.h"
#include "dialogs/cformulalistdlg.h"
#include "dialogs/formulalist_logic.h"
#include "document/cmd_formula.h"
#include "platform/codepage.h"
#include "tests/dialogs/dialog_answers.h"
#include "tests/document/doc_fixture.h"

using namespace qor;

namespace {

struct HookGuard {
    explicit HookGuard(CQorDialog::ModalHook hook)
        : previous(CQorDialog::SetModalHook(std::move(hook))) {}
    ~HookGuard() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

// Answers file choices with the given names (none left: cancel) and
// records the prompts.
struct FileChooser {
    explicit FileChooser(QStringList answers) : answers(std::move(answers)) {
        UiServices s = uiServices();
        s.chooseFile = [this](const FilePrompt& p) -> std::optional<QString> {
            prompts << p;
            if (this->answers.isEmpty()) return std::nullopt;
            return this->answers.takeFirst();
        };
        previous = installUiServices(s);
    }
    ~FileChooser() { installUiServices(previous); }
    QStringList answers;
    QList<FilePrompt> prompts;
    UiServices previous;
};

QAbstractItemModel* list(CQorDialog& d) {
    return qobject_cast<QListView*>(d.GetDlgItem(CFormulaListDlg::IDC_LIST))->model();
}
QStringList shown(CQorDialog& d) {
    QStringList out;
    for (int i = 0; i < list(d)->rowCount(); ++i) out << list(d)->index(i, 0).data().toString();
    return out;
}
void click(CQorDialog& d, int id) { static_cast<QAbstractButton*>(d.GetDlgItem(id))->click(); }
QPlainTextEdit* auditEdit(CQorDialog& d) {
    return static_cast<QPlainTextEdit*>(d.GetDlgItem(CAuditFormulaDlg::IDC_TEXT));
}

// A report with the formula A1=B1+C1 and the given audit formulas.
std::unique_ptr<CQorsDoc> docWithFormulas(const QString& audit = QString()) {
    cmd::InstallEngineHooks();
    auto doc = doctest::newDoc(4, 4);
    CellArea a1 = CellArea::cell(1, 1);
    EXPECT_EQ(doc->GetReport()->SetAreaFormula(&a1, QStringLiteral("B1+C1")), 0);
    if (!audit.isEmpty()) {
        EXPECT_EQ(doc->GetReport()->SetAuditFormulas(audit), 0);
    }
    return doc;
}

using qortest::writeFile;

QByteArray encoded(const char* codec, const QString& text, bool bom) {
    QStringEncoder enc(codec,
                       bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return enc.encode(text);
}

}  // namespace

TEST(FormulaListLogic, LinesFiltersAndFileKinds) {
    EXPECT_EQ(SplitFormulaListText("A1=B1\r\nA2=B2\r\n"), (QStringList{"A1=B1", "A2=B2"}));
    EXPECT_EQ(SplitFormulaListText("X\r\n\r\nY"), (QStringList{"X", "", "Y"}));
    EXPECT_TRUE(SplitFormulaListText("").isEmpty());

    // Cell formulas may be saved as text or as a script; the others only
    // as text.
    EXPECT_TRUE(FormulaListFilter(kCellFormulas).contains("(*.txt)"));
    EXPECT_TRUE(FormulaListFilter(kCellFormulas).contains("(*.shl)"));
    for (int t : {kAuditFormulas, kRoundingFormulas}) {
        EXPECT_TRUE(FormulaListFilter(t).contains("(*.txt)"));
        EXPECT_FALSE(FormulaListFilter(t).contains("shl"));
    }
    EXPECT_EQ(QtFileFilter("A|*.a|B|*.b; *.c ||"), "A (*.a);;B (*.b *.c)");

    EXPECT_EQ(FormulaListFileKind("/x/F.TXT"), FormulaListFile::Text);
    EXPECT_EQ(FormulaListFileKind("/x/f.Shl"), FormulaListFile::Script);
    EXPECT_EQ(FormulaListFileKind("/x/f.csv"), FormulaListFile::Refused);
    EXPECT_EQ(FormulaListFileKind("/x.txt/f"), FormulaListFile::Refused);
    EXPECT_EQ(WithDefaultListExtension("/x/f", kCellFormulas), "/x/f.shl");
    EXPECT_EQ(WithDefaultListExtension("/x/f", kAuditFormulas), "/x/f.txt");
    EXPECT_EQ(WithDefaultListExtension("/x/f.csv", kAuditFormulas), "/x/f.csv");
}

TEST(FormulaListLogic, AuditTextLimitAndImportPlace) {
    EXPECT_TRUE(CheckAuditFormulaText(QString(4095, 'A')).isEmpty());
    EXPECT_EQ(CheckAuditFormulaText(QString(4096, 'A')),
              LoadErrorText(qor::str::kAuditFormulaCapacity) +
                  LoadErrorText(qor::str::kOverLimitSetAgain));

    AuditImport in = InsertAuditImport("A1=B1\nC1=D1", 6, "X=Y\n");
    EXPECT_EQ(in.text, "A1=B1\nX=Y\nC1=D1");
    EXPECT_EQ(in.caret, 6);
    EXPECT_EQ(InsertAuditImport("ab", 99, "c").text, "abc");
    EXPECT_EQ(InsertAuditImport("ab", -1, "c").caret, 0);
}

TEST(FormulaListLogic, ImportReadsEveryEncodingAlike) {
    const QString dir = doctest::testDir();
    const QString text = QStringLiteral("A1=B1 MESS \"收入与支出不等！\"\r\n");
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {{"utf16.txt", encoded("UTF-16LE", text, true)},
                 {"utf8.txt", text.toUtf8()},
                 {"gbk.txt", encodeCp936(text)}};
    for (const auto& f : files) {
        writeFile(dir + "/" + f.name, f.bytes);
        QString read, why;
        ASSERT_TRUE(ReadAuditImportFile(dir + "/" + f.name, &read, &why)) << f.name;
        EXPECT_EQ(read, text) << f.name;
    }
    // A NUL ends the text.
    writeFile(dir + "/nul.txt", QByteArray("A1=B1\0rest", 10));
    QString read, why;
    ASSERT_TRUE(ReadAuditImportFile(dir + "/nul.txt", &read, &why));
    EXPECT_EQ(read, "A1=B1");
    EXPECT_FALSE(ReadAuditImportFile(dir + "/none.txt", &read, &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(FormulaListDlg, EmptyListsSayWhatIsMissingAndCannotBeSaved) {
    doctest::UiRecorder ui;
    auto doc = doctest::newDoc(4, 4);
    FileChooser files({});
    int runs = 0;
    HookGuard hook([&](CQorDialog& d) {
        ++runs;
        ASSERT_EQ(d.TemplateId(), CFormulaListDlg::IDD);
        EXPECT_EQ(shown(d), QStringList{LoadErrorText(qor::str::kNoCellFormulas)});
        EXPECT_FALSE(d.GetDlgItem(CFormulaListDlg::IDC_SAVE)->isEnabled());
        click(d, CFormulaListDlg::IDC_AUDIT);
        EXPECT_EQ(shown(d), QStringList{LoadErrorText(qor::str::kNoAuditFormulas)});
        click(d, CFormulaListDlg::IDC_ROUNDING);
        EXPECT_EQ(shown(d), QStringList{LoadErrorText(qor::str::kNoRoundingFormulas)});
        click(d, CFormulaListDlg::IDC_SAVE);
        click(d, CQorDialog::IDCANCEL);
    });
    qortest::RegisteredDialogs dialogs;
    EXPECT_TRUE(HasDialog<FormulaListRequest>());
    EXPECT_TRUE(HasDialog<AuditFormulaDlgMembers>());
    OnFormulaList(*doc);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(files.prompts.isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST(FormulaListDlg, SavedScriptRunsWithQor) {
    doctest::UiRecorder ui;
    const QString dir = doctest::testDir();
    auto doc = docWithFormulas(QStringLiteral("A1=B1+C1\r\n"));
    FileChooser files({dir + "/cells.shl", dir + "/cells.txt", dir + "/audit"});
    HookGuard hook([&](CQorDialog& d) {
        EXPECT_EQ(shown(d), QStringList{"A1=B1+C1"});
        click(d, CFormulaListDlg::IDC_SAVE);
        click(d, CFormulaListDlg::IDC_SAVE);
        click(d, CFormulaListDlg::IDC_AUDIT);
        click(d, CFormulaListDlg::IDC_SAVE);
        click(d, CQorDialog::IDCANCEL);
    });
    qortest::RegisteredDialogs dialogs;
    OnFormulaList(*doc);
    EXPECT_TRUE(ui.messages.isEmpty()) << qPrintable(ui.messages.join('\n'));
    ASSERT_EQ(files.prompts.size(), 3);
    EXPECT_TRUE(files.prompts[0].save);
    EXPECT_FALSE(files.prompts[2].filter.contains("shl"));

    EXPECT_EQ(doctest::fileBytes(dir + "/cells.shl"),
              encoded("UTF-16LE", QStringLiteral("let A1=B1+C1\r\n"), true));
    // Read back independently: UTF-16 with a byte-order mark, CR LF lines.
    const auto py = qortest::python(
        "import sys\n"
        "for p in sys.argv[1:]:\n"
        "    b = open(p, 'rb').read()\n"
        "    assert b[:2] == b'\\xff\\xfe', p\n"
        "    print(repr(b[2:].decode('utf-16-le')))\n",
        {dir + "/cells.shl", dir + "/cells.txt", dir + "/audit.txt"});
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    EXPECT_EQ(QString::fromUtf8(py.out),
              "'let A1=B1+C1\\r\\n'\n'A1=B1+C1\\r\\n'\n'A1=B1+C1\\r\\n'\n");

    // The script gives the cells' values when qor runs it on a report.
    auto qor = [](const QStringList& args) {
        return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
    };
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "3", "--cols", "3", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "1", "1", "2", "5"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "1", "1", "3", "7"}).exitCode, 0);
    auto ran = qor({"run", dir + "/cells.shl", report});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData();
    EXPECT_EQ(qor({"get", report, "1", "1", "1"}).out.trimmed(), "12");
}

TEST(FormulaListDlg, FailedSavesAreToldAndLeaveNoFile) {
    doctest::UiRecorder ui;
    const QString dir = doctest::testDir();
    auto doc = docWithFormulas();
    writeFile(dir + "/old.txt", "older");
    writeFile(dir + "/plain", "a file, not a folder");
    // Another extension; a folder that cannot hold the file.
    FileChooser files({dir + "/cells.csv", dir + "/plain/cells.txt"});
    HookGuard hook([&](CQorDialog& d) {
        click(d, CFormulaListDlg::IDC_SAVE);
        click(d, CFormulaListDlg::IDC_SAVE);
        click(d, CQorDialog::IDCANCEL);
    });
    qortest::RegisteredDialogs dialogs;
    OnFormulaList(*doc);
    EXPECT_EQ(ui.messages, QStringList(2, LoadErrorText(qor::str::kFileSaveFailed)));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot),
              (QStringList{"old.txt", "plain"}));
    EXPECT_EQ(doctest::fileBytes(dir + "/old.txt"), "older");
}

TEST(AuditFormulaDlg, LimitImportAndStore) {
    doctest::UiRecorder ui;
    const QString dir = doctest::testDir();
    auto doc = docWithFormulas(QStringLiteral("A1=B1\r\nC1=D1\r\n"));
    writeFile(dir + "/more.txt", QStringLiteral("X1=Y1\r\n").toUtf8());
    FileChooser files({dir + "/none.txt", dir + "/more.txt"});
    int runs = 0;
    HookGuard hook([&](CQorDialog& d) {
        ++runs;
        ASSERT_EQ(d.TemplateId(), CAuditFormulaDlg::IDD);
        QPlainTextEdit* e = auditEdit(d);
        EXPECT_EQ(e->toPlainText(), "A1=B1\nC1=D1\n");

        // Too long: refused, the dialog stays with the text.
        e->setPlainText(QString(4096, 'A'));
        click(d, CQorDialog::IDOK);
        EXPECT_EQ(d.Result(), 0);
        EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kAuditFormulaCapacity) +
                                           LoadErrorText(qor::str::kOverLimitSetAgain)});

        // A file that cannot be read is told; the text stays.
        e->setPlainText("A1=B1\nC1=D1");
        QTextCursor c = e->textCursor();
        c.setPosition(6);
        e->setTextCursor(c);
        click(d, CAuditFormulaDlg::IDC_IMPORT);
        EXPECT_EQ(ui.messages.size(), 2);
        EXPECT_EQ(e->toPlainText(), "A1=B1\nC1=D1");

        // Inserted at the caret, which stands at the start of the insertion.
        click(d, CAuditFormulaDlg::IDC_IMPORT);
        EXPECT_EQ(e->toPlainText(), "A1=B1\nX1=Y1\nC1=D1");
        EXPECT_EQ(e->textCursor().position(), 6);
        click(d, CQorDialog::IDOK);
    });
    qortest::RegisteredDialogs dialogs;
    EXPECT_EQ(OnAuditFormulas(*doc), 0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(doc->GetReport()->GetAuditFormulas(), "A1=B1\r\nX1=Y1\r\nC1=D1\r\n");
}

TEST(FormulaListDlg, ShownWithItsTwoGroupTitles) {
    auto doc = doctest::newDoc(4, 4);
    CFormulaListDlg dlg;
    dlg.SetDocument(doc.get());
    dlg.OnInitDialog();
    QStringList titles;
    QTimer::singleShot(0, [&] {
        for (auto* g : dlg.findChildren<QGroupBox*>())
            if (g->isVisible()) titles << g->title();
        click(dlg, CFormulaListDlg::IDC_AUDIT);
        click(dlg, CQorDialog::IDCANCEL);
    });
    dlg.exec();
    titles.sort();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("公式内容"), QStringLiteral("公式类型")}));
    EXPECT_EQ(dlg.formulaType, 1);
}
