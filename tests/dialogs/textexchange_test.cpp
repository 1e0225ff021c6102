// The report text exchange: the description's field lines, the export
// name check, the export read back by 导入 (and by independent readers),
// and the two dialogs' refusals.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "dialogs/exchange_dlgs.h"
#include "document/cqorsdoc.h"
#include "document/doc_files.h"
#include "document/doc_textexchange.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

struct Messages {
    QStringList texts;
    UiServices previous;
    Messages() {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            texts << r.text;
            return MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    ~Messages() { installUiServices(previous); }
};

using qortest::writeFile;

}  // namespace

TEST(TextExchange, FieldLinesWithEitherCommaFillTheirRecordAndOthersChangeNothing) {
    ImportLayout layout;
    ReadImportFieldLine(QStringLiteral("行号，3，数值"), layout);
    ReadImportFieldLine(QStringLiteral("值,5,字符"), layout);
    EXPECT_EQ(layout.fields[kFieldRow].name, QStringLiteral("行号"));
    EXPECT_EQ(layout.fields[kFieldRow].column, 3);
    EXPECT_EQ(layout.fields[kFieldRow].type, 1);
    EXPECT_EQ(layout.fields[kFieldValue].column, 5);
    EXPECT_EQ(layout.fields[kFieldValue].type, 0);
    // An unknown type keeps the type the record had.
    ReadImportFieldLine(QStringLiteral("列号,4,其他"), layout);
    EXPECT_EQ(layout.fields[kFieldCol].column, 4);
    EXPECT_EQ(layout.fields[kFieldCol].type, 0);
    const ImportLayout before = layout;
    ReadImportFieldLine(QStringLiteral("金额，7，数值"), layout);
    ReadImportFieldLine(QString(), layout);
    EXPECT_EQ(layout, before);

    const QString dir = qortest::freshDir("textexchange-fields");
    writeFile(dir + "/none.ini", "[\xe6\x8a\xa5\xe8\xa1\xa8]\r\n\xe5\xad\x97\xe6\xae\xb5\xe6\x95\xb0=0\r\n");
    EXPECT_FALSE(ReadImportDescription(dir + "/none.ini", &layout));
    EXPECT_FALSE(ReadImportDescription(dir + "/missing.ini", &layout));
}

TEST(TextExchange, ExportNamesAreBareTextFileNamesThatDoNotExistYet) {
    const QString dir = qortest::freshDir("textexchange-names");
    writeFile(dir + "/old.txt", "x");
    QString name = "abc";
    EXPECT_EQ(CheckExportName(&name, dir), 0);
    EXPECT_EQ(name, "abc.txt");
    name = "B.TXT";
    EXPECT_EQ(CheckExportName(&name, dir), 0);
    for (const char* bad : {"a.xls", "a.txt.bak"}) {
        name = QString::fromUtf8(bad);
        EXPECT_EQ(CheckExportName(&name, dir), qor::str::kEnterTxtFileName) << bad;
    }
    // Anything that would write outside the export folder.
    for (const char* bad : {"C:\\a.txt", "d/a.txt", "../x.txt", "..\\x.txt", "/tmp/a.txt"}) {
        name = QString::fromUtf8(bad);
        EXPECT_EQ(CheckExportName(&name, dir), qor::str::kInvalidFileNameChangeIt) << bad;
    }
    name = "old";
    EXPECT_EQ(CheckExportName(&name, dir), qor::str::kFileExistsChangeName);
    name = "  ";
    EXPECT_EQ(CheckExportName(&name, dir), qor::str::kEnterFileName);
}

TEST(TextExchange, AnExportImportsBackWithValuesKindsPagesKeywordsAndFormats) {
    const QString dir = qortest::freshDir("textexchange-roundtrip");
    CQorsDoc source;
    ASSERT_TRUE(source.Files().OnNewDocument());
    CReportHandle* rep = source.GetReport();
    // B2 text, C3 a number with two decimals, A1 a table text; formats on C3.
    auto set = [&](int code, int32_t v, int r, int c) {
        const CellArea a = CellArea::cell(r, c);
        ASSERT_EQ(rep->AccessAreaFormat(1, code, &v, &a), 0);
    };
    set(kFmtKind, kCellText, 2, 2);
    set(kFmtDecimals, 2, 3, 3);
    set(kFmtRightLine, 3, 3, 3);
    set(kFmtBottomLine, 1, 3, 3);
    set(kFmtHAlign, 3, 3, 3);
    set(kFmtFont, 2, 3, 3);
    set(kFmtFontSize, 4, 3, 3);
    set(kFmtFontStyle, 5, 3, 3);
    uint16_t height = 30;
    ASSERT_EQ(rep->AccessRowColSize(1, 0, 3, &height), 0);
    ASSERT_EQ(rep->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("项目,\"甲\"")}, 1, 1, 0), 0);
    ASSERT_TRUE(source.EnterDataState());
    ASSERT_EQ(rep->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(rep->GetPageCount(), 2);
    for (int p = 1; p <= 2; ++p) {
        ASSERT_EQ(rep->SetCellValue(CellValue::ofText(QStringLiteral("第%1页，“引号”").arg(p)), 2, 2, p), 0);
        ASSERT_EQ(rep->SetCellValue(CellValue::ofNumber(p * 1000.25), 3, 3, p), 0);
        ASSERT_EQ(rep->SetPageKeyword(2, {1, 2025.0 + p, {}}, p), 0);
        ASSERT_EQ(rep->SetPageKeyword(4, {1, double(p + 5), {}}, p), 0);
    }
    // A zero is a value, not an empty cell.
    ASSERT_EQ(rep->SetCellValue(CellValue::ofNumber(0), 4, 1, 2), 0);

    const QString text = dir + "/out.txt";
    QString error;
    int cells = 0;
    ASSERT_TRUE(ExportReportText(*rep, text, "样表", &error, &cells)) << error.toStdString();
    EXPECT_EQ(cells, 7);  // the table text on both pages, B2 and C3 twice, A4 once

    // The description lists the file and its fields; the import reads it.
    QStringList names, files;
    ASSERT_TRUE(ReadIniReportList(dir + "/out.ini", &names, &files));
    EXPECT_EQ(names, QStringList{"样表"});
    EXPECT_EQ(ResolveImportFiles(dir + "/out.ini", files), QStringList{text});
    ImportLayout layout;
    ASSERT_TRUE(ReadImportDescription(dir + "/out.ini", &layout));
    for (int i = 0; i < kImportFieldCount; ++i) EXPECT_EQ(layout.fields[size_t(i)].column, i + 1);

    CQorsDoc target;
    ASSERT_TRUE(target.Files().OnNewDocument());
    TextImportResult result;
    ASSERT_TRUE(target.Files().ImportExportText(text, layout, &result, &error)) << error.toStdString();
    EXPECT_TRUE(result.notes.isEmpty()) << result.notes.join('\n').toStdString();
    CReportHandle* back = target.GetReport();
    ASSERT_EQ(back->GetPageCount(), 2);
    for (int p = 1; p <= 2; ++p) {
        CellValue v;
        ASSERT_EQ(back->GetCellValue(&v, 3, 3, p), 0);
        EXPECT_EQ(v.kind, kCellNumber);
        EXPECT_DOUBLE_EQ(v.number, p * 1000.25);
        EXPECT_EQ(back->GetCellText(2, 2, p), QStringLiteral("第%1页，“引号”").arg(p));
        ASSERT_EQ(back->GetCellValue(&v, 1, 1, p), 0);
        EXPECT_EQ(v.kind, kCellLabel);
        EXPECT_EQ(back->GetCellText(1, 1, p), QStringLiteral("项目,\"甲\""));
        KeywordValue year, month;
        back->GetPageKeyword(2, &year, p);
        back->GetPageKeyword(4, &month, p);
        EXPECT_EQ(year.number, 2025.0 + p);
        EXPECT_EQ(month.number, double(p + 5));
    }
    CellValue zero;
    ASSERT_EQ(back->GetCellValue(&zero, 4, 1, 2), 0);
    EXPECT_EQ(zero.kind, kCellNumber);
    uint64_t word = 0;
    const CellArea c3 = CellArea::cell(3, 3);
    ASSERT_EQ(back->ReadAreaFormatWord(&c3, &word), 0);
    EXPECT_EQ(cellFormatGet(word, kFmtRightLine), 3u);
    EXPECT_EQ(cellFormatGet(word, kFmtBottomLine), 1u);
    EXPECT_EQ(cellFormatGet(word, kFmtHAlign), 3u);
    EXPECT_EQ(cellFormatGet(word, kFmtFont), 2u);
    EXPECT_EQ(cellFormatGet(word, kFmtFontSize), 4u);
    EXPECT_EQ(cellFormatGet(word, kFmtFontStyle), 5u);
    uint16_t h = 0;
    ASSERT_EQ(back->AccessRowColSize(0, 0, 3, &h), 0);
    EXPECT_EQ(h, 30);

    // Independent readers: the text as code page 936 CSV of 14 fields a
    // line, the description as UTF-16 INI with every field.
    if (qortest::needPythonModule("csv")) {
        const auto r = qortest::python(
            "import csv,sys\n"
            "rows=list(csv.reader(open(sys.argv[1],encoding='cp936',newline='')))\n"
            "assert all(len(r)==14 for r in rows), rows\n"
            "print(len(rows), rows[1][5])\n",
            {text});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), QStringLiteral("7 第1页，“引号”"));
        const auto ini = qortest::python(
            "import configparser,sys\n"
            "c=configparser.ConfigParser(); c.read(sys.argv[1],encoding='utf-16')\n"
            "s=c['报表']\n"
            "print(s['字段数'], s['文件1'], ' '.join(s['字段%d'%i].split('，')[0] for i in range(1,15)))\n",
            {dir + "/out.ini"});
        EXPECT_EQ(ini.exitCode, 0) << ini.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(ini.out).trimmed(),
                  QStringLiteral("14 out.txt 会计年度 会计期间 行号 列号 类型 值 页号 行高 列宽 线型 "
                                 "对齐方式 字体 字号 字型"));
    }
}

TEST(TextExchange, ImportLeavesOutBadLinesAndRefusesAFileWithNothingToRead) {
    const QString dir = qortest::freshDir("textexchange-bad");
    ImportLayout layout;
    ReadImportFieldLine(QStringLiteral("行号,1,数值"), layout);
    ReadImportFieldLine(QStringLiteral("列号,2,数值"), layout);
    ReadImportFieldLine(QStringLiteral("值,3,数值"), layout);
    writeFile(dir + "/a.txt", "1,1,5\r\nx,1,6\r\n2,1,abc\r\n99999,1,1\r\n3,2,7.5\r\n");
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    TextImportResult result;
    QString error;
    ASSERT_TRUE(doc.Files().ImportExportText(dir + "/a.txt", layout, &result, &error));
    EXPECT_EQ(result.cells, 2);
    EXPECT_EQ(result.notes.size(), 3);
    CellValue v;
    ASSERT_EQ(doc.GetReport()->GetCellValue(&v, 3, 2, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 7.5);

    // Without a kind field a character value makes a text cell; it is
    // never turned into a number.
    ImportLayout texts;
    ReadImportFieldLine(QStringLiteral("行号,1,数值"), texts);
    ReadImportFieldLine(QStringLiteral("列号,2,数值"), texts);
    ReadImportFieldLine(QStringLiteral("值,3,字符"), texts);
    // A hand-written UTF-8 file without its mark reads as UTF-8.
    writeFile(dir + "/t.txt", "1,1,00123\r\n2,1,\xe7\x8e\xb0\xe9\x87\x91\r\n");
    CQorsDoc textDoc;
    ASSERT_TRUE(textDoc.Files().OnNewDocument());
    ASSERT_TRUE(textDoc.Files().ImportExportText(dir + "/t.txt", texts, &result, &error));
    EXPECT_EQ(textDoc.GetReport()->GetCellText(1, 1, 1), "00123");
    EXPECT_EQ(textDoc.GetReport()->GetCellText(2, 1, 1), QStringLiteral("现金"));

    writeFile(dir + "/b.txt", "\"open quote,1,2\r\n");
    CQorsDoc other;
    ASSERT_TRUE(other.Files().OnNewDocument());
    EXPECT_FALSE(other.Files().ImportExportText(dir + "/b.txt", layout, &result, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(other.IsModified());
}

// A number value reads by the rule every cell write keeps; what it refuses
// is a line left out and told, never a number made from part of a text.
TEST(TextExchange, NumberValuesKeepTheCellNumberRule) {
    const QString dir = qortest::freshDir("textexchange-rule");
    ImportLayout layout;
    ReadImportFieldLine(QStringLiteral("行号,1,数值"), layout);
    ReadImportFieldLine(QStringLiteral("列号,2,数值"), layout);
    ReadImportFieldLine(QStringLiteral("值,3,数值"), layout);
    writeFile(dir + "/n.txt",
              "1,1,\"12,345.60\"\r\n2,1, 12 \r\n3,1,1 234\r\n4,1,abc\r\n5,1,12x\r\n"
              "6,1,1e999\r\n7,1,inf\r\n");
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    TextImportResult result;
    QString error;
    ASSERT_TRUE(doc.Files().ImportExportText(dir + "/n.txt", layout, &result, &error));
    EXPECT_EQ(result.cells, 2);
    EXPECT_EQ(result.notes.size(), 5);
    CellValue v;
    ASSERT_EQ(doc.GetReport()->GetCellValue(&v, 1, 1, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 12345.6);
    ASSERT_EQ(doc.GetReport()->GetCellValue(&v, 2, 1, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 12);
    for (int row = 3; row <= 7; ++row) {
        ASSERT_EQ(doc.GetReport()->GetCellValue(&v, row, 1, 1), 0);
        EXPECT_EQ(v.kind, kCellUnset) << row;
    }
}

TEST(TextExchangeDialogs, ImportRefusesNoFieldsAndAnEmptyListAndExportShowsTheFixedName) {
    Messages messages;
    const QString dir = qortest::freshDir("textexchange-dlg");
    writeFile(dir + "/zero.ini", QStringLiteral("[报表]\r\n字段数=0\r\n").toUtf8());
    writeFile(dir + "/ok.ini", QStringLiteral("[报表]\r\n字段数=1\r\n字段1=值,1,数值\r\n").toUtf8());
    int ended = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        static_cast<CImportDlg&>(d).OnImport();
        ended = d.Result();
    });
    CImportDlg zero;
    zero.m_strIniPath = dir + "/zero.ini";
    zero.m_names = {"a"};
    zero.m_paths = {dir + "/zero.ini"};
    zero.DoModal();
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kFieldError)});
    // No report listed: nothing is read from a missing entry.
    messages.texts.clear();
    CImportDlg empty;
    empty.m_strIniPath = dir + "/ok.ini";
    empty.DoModal();
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kImportFileNotFound)});
    CImportDlg good;
    good.m_strIniPath = dir + "/ok.ini";
    good.m_names = {"a"};
    good.m_paths = {dir + "/ok.ini"};
    good.DoModal();
    EXPECT_EQ(ended, CQorDialog::IDOK);
    EXPECT_EQ(good.m_strChosenPath, dir + "/ok.ini");
    EXPECT_EQ(good.m_layout.fields[kFieldValue].column, 1);

    messages.texts.clear();
    QString shown;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        auto* edit = qobject_cast<QLineEdit*>(d.GetDlgItem(CExportDlg::IDC_NAME));
        edit->setText("d/a");
        d.OnOK();
        shown = edit->text();
        edit->setText("abc");
        d.OnOK();
    });
    ExportDlgMembers m;
    m.targetDir = dir;
    const auto out = RunExportDlg(m, nullptr);
    CQorDialog::SetModalHook({});
    EXPECT_EQ(shown, "d/a.txt");
    EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kInvalidFileNameChangeIt)});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->fileName, "abc.txt");
}
