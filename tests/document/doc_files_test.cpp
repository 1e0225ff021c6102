// Opening and saving through the document: what a save keeps, which files
// are touched when, the in-use mark, passwords, and foreign file types.
#include "document/doc_files.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include "engine/creportfile.h"
#include "engine/inusemarker.h"
#include "engine/openreports.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

// A report with something of everything, saved in data state at path.
// Stored layout (1-based): row 1 table texts, C1:D1 combined; column B
// character cells; the year keyword at E2; rows 3 a row variable area; a
// formula at C6; page 1 with three variable lines.
void buildRichReport(CQorsDoc& doc, const QString& path) {
    CReportHandle* h = doc.GetReport();
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("项目")}, 1, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("合并")}, 1, 3), 0);
    const CellArea comb = CellArea::area(1, 3, 1, 4);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    setFormat(doc, kFmtKind, kCellText, CellArea::area(2, 2, 10, 2));
    setFormat(doc, kFmtPattern, 2, CellArea::cell(4, 4));
    setFormat(doc, kFmtBackground, kColourYellow, CellArea::cell(4, 4));
    setFormat(doc, kFmtDecimals, 3, CellArea::cell(7, 4));
    CellRef kw{0, 2, 5};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &kw), 0);
    int kind = 1, start = 3, extent = 3;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    CellArea f = CellArea::cell(6, 3);
    ASSERT_EQ(h->SetAreaFormula(&f, QStringLiteral("A1+A2")), 0);

    ASSERT_TRUE(doc.EnterDataState());
    int lines = 3;
    ASSERT_EQ(h->AccessVarCount(1, &lines), 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(i + 1.5), 3 + i, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("甲")), 4, 2), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(42.125), 9, 4), 0);  // stored row 7
    ASSERT_EQ(h->SetPageKeyword(2, KeywordValue{1, 2004, {}}, 0), 0);

    qor::ManualBreakTable manual{};
    for (int i = 0; i < kManualBreakCount; ++i)
        manual[size_t(i)] = {-1, int16_t(i + 1), int16_t(i % 5 == 0 ? -1 : i)};
    doc.SetManualBreaks(manual);
    doc.SetShowPageBreaks(true);
    ASSERT_TRUE(doc.Files().SetFilePassword(QStringLiteral("abc")));
    doc.Files().SetClientMarker(kConsolClientMarker);
    doc.Items().SetChartCounter(4);
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), QFileInfo(path).absoluteFilePath());
}

}  // namespace

TEST(DocFiles, SaveAndReopenKeepsEverything) {
    UiRecorder ui;
    const QString path = testDir() + "/rich.rep";
    qor::ManualBreakTable breaks;
    {
        auto doc = newDoc(10, 6);
        buildRichReport(*doc, path);
        breaks = doc->ViewState().manualBreaks;
        // A client report stores the periods its pages have at the save.
        EXPECT_EQ(doc->Files().GetPagePeriods(), QStringList{QStringLiteral("2004-0-0")});
        doc->Files().OnCloseDocument();
    }

    CQorsDoc doc;
    ui.replies << QStringLiteral("ABC");  // letter case does not matter
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    EXPECT_EQ(ui.prompts, 1);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.IsDataState());
    EXPECT_EQ(doc.ViewState().curPage, 1);
    EXPECT_EQ(doc.Files().GetFilePassword(), QStringLiteral("abc"));
    EXPECT_EQ(doc.Files().GetClientMarker(), 20041014u);
    EXPECT_EQ(doc.Files().GetPagePeriods(), QStringList{QStringLiteral("2004-0-0")});
    EXPECT_EQ(doc.ViewState().manualBreaks, breaks);
    EXPECT_EQ(doc.ViewState().showPageBreaks, 1);
    EXPECT_EQ(doc.Items().ChartCounter(), 4);

    // Variable lines and values (shown rows from 0: the area shows three).
    VarAreaInfo var;
    doc.GetVarAreaInfo(&var);
    EXPECT_EQ(var, (VarAreaInfo{1, 3, 2, 2}));
    for (int i = 0; i < 3; ++i) {
        double v = 0;
        ASSERT_TRUE(doc.GetNumCellValue(2 + i, 0, &v));
        EXPECT_DOUBLE_EQ(v, i + 1.5);
    }
    QString text;
    ASSERT_TRUE(doc.GetCharCellText(3, 1, &text));
    EXPECT_EQ(text, QStringLiteral("甲"));
    double fixed = 0;
    ASSERT_TRUE(doc.GetNumCellValue(8, 3, &fixed));
    EXPECT_DOUBLE_EQ(fixed, 42.125);

    // Format: table texts, combined cells, attributes, formula, keyword.
    ASSERT_TRUE(doc.GetStyleCellText(0, 0, &text));
    EXPECT_EQ(text, QStringLiteral("项目"));
    CellArea comb;
    ASSERT_TRUE(doc.GetCombinedArea(0, 3, &comb));
    EXPECT_EQ(comb, CellArea::area(0, 2, 0, 3));
    int pattern = -1;
    uint32_t colour = 0;
    doc.GetCellBackPattern(5, 3, &pattern, &colour);  // stored D4
    EXPECT_EQ(pattern, 2);
    EXPECT_EQ(colour, kCellPalette[kColourYellow]);
    int a, b, c, d;
    doc.GetCellFont(8, 3, &a, &b, &c, &d);
    EXPECT_EQ(d, 3);
    ASSERT_TRUE(doc.GetCellFormula(7, 2, &text));  // stored C6
    EXPECT_EQ(text, QStringLiteral("A1+A2"));
    int row = -1, col = -1;
    ASSERT_TRUE(doc.GetKeywordCell(2, &row, &col));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(col, 4);
    EXPECT_EQ(doc.GetKeywordDisplayText(2, true), QStringLiteral("2004"));
}

TEST(DocFiles, OnlyTheWorkingCopyChangesUntilSave) {
    UiRecorder ui;
    const QString path = testDir() + "/w.rep";
    {
        auto doc = newDoc(5, 5);
        ASSERT_TRUE(doc->EnterDataState());
        ASSERT_TRUE(doc->Files().OnSaveDocument(path));
    }
    const QByteArray original = fileBytes(path);
    ASSERT_FALSE(original.isEmpty());
    const QDateTime modified = QFileInfo(path).lastModified();

    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    InUseMark mark;
    ASSERT_TRUE(ReadInUseMark(path, &mark));
    EXPECT_TRUE(mark.inUse);
    doc.Selection().SetCurrentCell(1, 1);
    ASSERT_EQ(doc.SetCellText(QStringLiteral("12.5"), CQorsDoc::kEntryNumber), 0);
    ASSERT_TRUE(doc.IsModified());

    // Only the in-use mark's bytes differ while the document is open.
    const QByteArray during = fileBytes(path);
    ASSERT_EQ(during.size(), original.size());
    int changed = 0;
    for (qsizetype i = 0; i < during.size(); ++i) changed += during[i] != original[i];
    EXPECT_LE(changed, kMarkerLength);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);

    // Closing without saving gives the file back as it was.
    doc.Files().OnCloseDocument();
    EXPECT_EQ(fileBytes(path), original);
    ASSERT_TRUE(ReadInUseMark(path, &mark));
    EXPECT_FALSE(mark.inUse);
}

TEST(DocFiles, FailedSaveLeavesTheReportAsItWas) {
    UiRecorder ui;
    const QString path = testDir() + "/f.rep";
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    doc.Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc.SetCellText(QStringLiteral("7"), CQorsDoc::kEntryNumber), 0);
    const QByteArray before = fileBytes(path);

    for (qint64 limit : {0, 100, 5000}) {
        SetSaveFaultAfterBytes(limit, ENOSPC);
        ui.messages.clear();
        EXPECT_FALSE(doc.Files().OnSaveDocument()) << limit;
        SetSaveFaultAfterBytes(-1);
        EXPECT_EQ(fileBytes(path), before) << limit;
        EXPECT_TRUE(doc.IsModified());
        EXPECT_FALSE(ui.messages.isEmpty());
    }
    ASSERT_TRUE(doc.Files().OnSaveDocument());
    doc.Files().OnCloseDocument();
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(0, 0, &v));
    EXPECT_EQ(v, 7);
}

TEST(DocFiles, SaveAsMovesTheMarkAndRefusesAnOpenReport) {
    UiRecorder ui;
    const QString dir = testDir();
    CQorsDoc first, second;
    ASSERT_TRUE(first.Files().OnNewDocument());
    ASSERT_TRUE(first.Files().OnSaveDocument(dir + "/a.rep"));
    ASSERT_TRUE(second.Files().OnNewDocument());
    ASSERT_TRUE(second.Files().OnSaveDocument(dir + "/b"));  // ".rep" is added
    EXPECT_TRUE(QFileInfo::exists(dir + "/b.rep"));

    ASSERT_TRUE(first.Files().OnOpenDocument(dir + "/a.rep") == false);  // open here already
    EXPECT_FALSE(second.Files().OnSaveDocument(dir + "/a.rep"));
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kFileOpenSaveAsOther)));

    ASSERT_TRUE(second.Files().OnSaveDocument(dir + "/c.rep"));
    InUseMark mark;
    ASSERT_TRUE(ReadInUseMark(dir + "/c.rep", &mark));
    EXPECT_TRUE(mark.inUse);
    ASSERT_TRUE(ReadInUseMark(dir + "/b.rep", &mark));
    EXPECT_FALSE(mark.inUse);
}

TEST(DocFiles, FilePasswordGuardsTheOpen) {
    UiRecorder ui;
    const QString path = testDir() + "/p.rep";
    {
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnNewDocument());
        ASSERT_TRUE(doc.Files().SetFilePassword(QStringLiteral("key")));
        EXPECT_FALSE(doc.Files().SetFilePassword(QString(51, QLatin1Char('x'))));
        ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    }
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    ui.replies << QStringLiteral("wrong");  // then cancelled
    EXPECT_FALSE(doc.Files().OnOpenDocument(path));
    EXPECT_EQ(ui.prompts, 2);
    EXPECT_TRUE(doc.GetPathName().isEmpty());  // the new document stays
    EXPECT_TRUE(doc.IsOpen());

    // Removing the password is stored too.
    ui.replies << QStringLiteral("key");
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    ASSERT_TRUE(doc.Files().SetFilePassword(QString()));
    ASSERT_TRUE(doc.Files().OnSaveDocument());
    doc.Files().OnCloseDocument();
    ui.prompts = 0;
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    EXPECT_EQ(ui.prompts, 0);
}

TEST(DocFiles, UnknownOthersRecordsAndDamagedSettings) {
    UiRecorder ui;
    const QString dir = testDir();
    const QString path = dir + "/u.rep";
    DocOthers others;
    others.unknownRecords = {{fourcc("NEWR"), QByteArray("future", 6)}};
    others.clientMarker = 7;
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        h.GetReportFile()->SetDocumentStream("OTHERS", encodeDocOthers(others));
        ASSERT_EQ(h.Save(), 0);
    }
    {
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnOpenDocument(path));
        EXPECT_EQ(doc.Files().GetClientMarker(), 7u);
        doc.SetShowPageBreaks(true);
        ASSERT_TRUE(doc.Files().OnSaveDocument());
    }
    {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        DocOthers back;
        ASSERT_TRUE(decodeDocOthers(h.GetReportFile()->DocumentStream("OTHERS"), &back));
        EXPECT_EQ(back.unknownRecords, others.unknownRecords);
        EXPECT_TRUE(back.showPageBreaks);
        // Damage the settings: the report still opens, with defaults.
        h.GetReportFile()->SetDocumentStream("OTHERS", encodeDocOthers(back).left(120));
        ASSERT_EQ(h.Save(), 0);
    }
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnOpenDocument(path));
    EXPECT_EQ(doc.Files().GetClientMarker(), 0u);
    EXPECT_EQ(doc.ViewState().showPageBreaks, 0);
    EXPECT_FALSE(ui.messages.isEmpty());
}

namespace {

// Reads a text file as a one-column report; writes the first column back.
class FakeTextConverter : public IDocConverter {
public:
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle& report, const QString& path, QString* message) override {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            *message = QStringLiteral("cannot read ") + path;
            return false;
        }
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        uint16_t rows = uint16_t(lines.size()), cols = 1;
        if (report.AccessTableSize(1, &rows, &cols) || report.EnterDataState() ||
            report.AppendRowColPage(1, 2) || report.SetCurPage(1))
            return false;
        for (int i = 0; i < lines.size(); ++i)
            report.SetCellValue(CellValue::ofText(lines[i]), i + 1, 1);
        return true;
    }
    bool Export(CQorsDoc& doc, const QString& path, QString*) override {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return false;
        double v = 0;
        doc.GetNumCellValue(0, 0, &v);
        f.write(QByteArray::number(v));
        return true;
    }
};

}  // namespace

TEST(DocFiles, ForeignTypesGoThroughConverters) {
    UiRecorder ui;
    const QString dir = testDir();
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    ASSERT_TRUE(doc.Files().OnSaveDocument(dir + "/keep.rep"));

    // Nothing registered: refused with a message, the document unchanged.
    RegisterDocConverter("txt", nullptr);
    RegisterDocConverter("xls", nullptr);
    RegisterDocConverter("htm", nullptr);
    QFile in(dir + "/in.txt");
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write("5\n6\n");
    in.close();
    EXPECT_FALSE(doc.Files().OnOpenDocument(dir + "/in.txt"));
    EXPECT_EQ(doc.GetPathName(), QFileInfo(dir + "/keep.rep").absoluteFilePath());
    EXPECT_FALSE(doc.Files().OnSaveDocument(dir + "/out.htm"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/out.htm"));
    // The workbook import asks for its own converter and fails plainly.
    ui.messages.clear();
    EXPECT_FALSE(doc.Files().OpenXlsFile(dir + "/book.xls"));
    EXPECT_EQ(ui.messages.size(), 1);

    RegisterDocConverter("TXT", std::make_shared<FakeTextConverter>());
    ASSERT_TRUE(doc.Files().OnOpenDocument(dir + "/in.txt"));
    EXPECT_TRUE(doc.GetPathName().isEmpty());
    // Opened, not changed: the file still holds it all.
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.IsDataState());
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(1, 0, &v));
    EXPECT_EQ(v, 6);
    ASSERT_TRUE(doc.Files().OnSaveDocument(dir + "/out.txt"));
    EXPECT_EQ(fileBytes(dir + "/out.txt"), QByteArray("5"));
    // The keep.rep report was let go when the import replaced it.
    EXPECT_EQ(FindOpenReport(dir + "/keep.rep"), nullptr);
    RegisterDocConverter("txt", nullptr);
}

TEST(DocFiles, IniReportList) {
    const QString ini = testDir() + "/list.ini";
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[报表]\n个数=3\n名称1=资产表\n文件1=a.rep\n名称2=空\n文件2=\n名称3=利润表\n文件3=c.rep\n");
    f.close();
    QStringList names, files;
    ASSERT_TRUE(ReadIniReportList(ini, &names, &files));
    EXPECT_EQ(names, (QStringList{QStringLiteral("资产表"), QStringLiteral("利润表")}));
    EXPECT_EQ(files, (QStringList{"a.rep", "c.rep"}));
    EXPECT_FALSE(ReadIniReportList(testDir() + "/none.ini", &names, &files));
}

TEST(DocFiles, UnreadableItemsAreKeptInTheFile) {
    UiRecorder ui;
    const QString path = testDir() + "/c.rep";
    const QByteArray junk("not an item list", 16);
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        h.GetReportFile()->SetDocumentStream("Contents", junk);
        ASSERT_EQ(h.Save(), 0);
    }
    {
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnOpenDocument(path));
        EXPECT_EQ(doc.Items().GetComItemCount(), 0);
        EXPECT_FALSE(ui.messages.isEmpty());
        ASSERT_TRUE(doc.Files().SetFilePassword(QString()));
        doc.SetModifiedFlag();
        ASSERT_TRUE(doc.Files().OnSaveDocument());
    }
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_EQ(h.GetReportFile()->DocumentStream("Contents"), junk);
}

TEST(DocFiles, TemplateFileChecks) {
    UiRecorder ui;
    const QString dir = testDir();
    EXPECT_EQ(DocFiles::CheckTemplateFile(dir + "/none.rep"), 0);
    EXPECT_TRUE(ui.said(QStringLiteral("模板文件不存在！")));
    QFile plain(dir + "/plain.rep");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("plain text");
    plain.close();
    EXPECT_EQ(DocFiles::CheckTemplateFile(dir + "/plain.rep"), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kTemplateVersionError)));
    {
        CReportHandle t(dir + "/t.rep");
        ASSERT_TRUE(t.IsOpen());
    }
    EXPECT_EQ(DocFiles::CheckTemplateFile(dir + "/t.rep"), 1);
}

TEST(DocFiles, AReportOpenedForReadingKeepsNobodyOutAndIsSavedOnlyElsewhere) {
    UiRecorder ui;
    const QString dir = testDir();
    const QString path = dir + "/src.rep";
    {
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnNewDocument());
        ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    }
    const QByteArray original = fileBytes(path);

    {
        CQorsDoc reader;
        ASSERT_TRUE(reader.Files().OnOpenDocument(path, true));
        // No in-use mark and no lock: a writer opens the report meanwhile.
        EXPECT_EQ(fileBytes(path), original);
        CReportHandle writer(path, CReportHandle::OpenMode::OpenExisting);
        EXPECT_TRUE(writer.IsOpen()) << writer.ErrorText().toStdString();
    }
    {
        // What was read is written under another name, never over itself.
        CQorsDoc reader;
        ASSERT_TRUE(reader.Files().OnOpenDocument(path, true));
        EXPECT_FALSE(reader.Files().OnSaveDocument());
        EXPECT_EQ(fileBytes(path), original);
        EXPECT_TRUE(reader.Files().OnSaveDocument(dir + "/copy.rep"));
        EXPECT_TRUE(QFileInfo::exists(dir + "/copy.rep"));
    }
    EXPECT_EQ(fileBytes(path), original);
}
