// The Reader: its state rules, what it refuses and why, and its face as an
// automation object made by ProgID.
#include "reader/creader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "platform/compoundfile.h"
#include "platform/automation.h"
#include "platform/registry.h"
#include "reader/creaderobject.h"
#include "reader/readermodule.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

namespace {

std::string str(const QString& s) { return s.toStdString(); }

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedRegistry_ = qgetenv("QOR_REGISTRY");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = qortest::freshDir(
            QStringLiteral("reader-%1-%2").arg(info->test_suite_name(), info->name()));
        qputenv("QOR_REGISTRY", QFile::encodeName(dir_ + "/registry.ini"));
        qor::RegisterReaderModule();
    }
    void TearDown() override { qputenv("QOR_REGISTRY", savedRegistry_); }

    // 20 x 6, three pages in data state: a label in (1,1), a number in
    // (2,2) and a text in (2,3) of page 1, unit name "单位A" on page 1.
    QString makeReport(const QString& name = QStringLiteral("r.rep")) {
        const QString path = dir_ + "/" + name;
        CReportHandle h(path);
        EXPECT_TRUE(h.IsOpen());
        uint16_t rows = 20, cols = 6;
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
        const CellArea textCell = CellArea::cell(2, 3);
        int32_t kind = kCellText;
        EXPECT_EQ(h.AccessAreaFormat(1, qor::kFmtKind, &kind, &textCell), 0);
        EXPECT_EQ(h.SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("项目")}, 1, 1), 0);
        EXPECT_EQ(h.EnterDataState(1), 0);
        EXPECT_EQ(h.AppendRowColPage(3, 2), 0);
        EXPECT_EQ(h.SetCurPage(1), 0);
        EXPECT_EQ(h.SetCellValue(CellValue::ofNumber(12.5), 2, 2), 0);
        EXPECT_EQ(h.SetCellValue(CellValue::ofText(QStringLiteral("收入")), 2, 3), 0);
        EXPECT_EQ(h.SetPageKeyword(0, qor::KeywordValue{2, 0, QStringLiteral("单位A")}, 0), 0);
        EXPECT_EQ(h.Save(), 0);
        return path;
    }

    QByteArray savedRegistry_;
    QString dir_;
};

TEST_F(ReaderTest, OpenGivesTheTextOfWhatIsWrongWithTheFile) {
    CReader r;
    const QString missing = dir_ + "/missing.rep";
    ReaderResult res = r.OpenRep8File(missing, {});
    EXPECT_FALSE(res.ok);
    EXPECT_TRUE(res.error.contains(QStringLiteral("不存在"))) << str(res.error);
    EXPECT_TRUE(res.error.contains(missing)) << str(res.error);

    QFile junk(dir_ + "/junk.rep");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    res = r.OpenRep8File(junk.fileName(), {});
    EXPECT_FALSE(res.ok);
    EXPECT_TRUE(res.error.contains("1006")) << str(res.error);
    EXPECT_FALSE(r.IsOpen());

    // A report under another extension would be looked for as "<name>.rep".
    const QString rep = makeReport();
    ASSERT_TRUE(QFile::copy(rep, dir_ + "/copy.dat"));
    res = r.OpenRep8File(dir_ + "/copy.dat", {});
    EXPECT_FALSE(res.ok);
    EXPECT_TRUE(res.error.contains(".rep")) << str(res.error);

    // The extension may be left off; the last failure stays readable.
    QString last;
    r.GetLastError(&last);
    EXPECT_EQ(last, res.error);
    EXPECT_TRUE(r.OpenRep8File(dir_ + "/r", QStringLiteral("zh-CN")).ok);
    EXPECT_EQ(r.FileName(), QFileInfo(rep).absoluteFilePath());
}

TEST_F(ReaderTest, OneReportPerReaderAndOneReaderPerReport) {
    const QString path = makeReport();
    CReader a, b;
    ASSERT_TRUE(a.OpenRep8File(path, {}).ok);
    const ReaderResult again = a.OpenRep8File(path, {});
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.error.contains("CloseFile")) << str(again.error);
    // Two working copies of one file: the second save would undo the first.
    EXPECT_FALSE(b.OpenRep8File(path, {}).ok);
    ASSERT_TRUE(a.CloseFile().ok);
    EXPECT_TRUE(b.OpenRep8File(path, {}).ok);
}

TEST_F(ReaderTest, EveryMethodNeedsAnOpenReport) {
    CReader r;
    int i = 0;
    QVariant v;
    const QList<ReaderResult> results = {
        r.GetPages(&i),        r.SetCurPage(1),  r.GetCellDataMatrix(1, 1, &v),
        r.BeginDesign(),       r.BeginData(),    r.SetData(1.0),
        r.SetCellFormat(1, 1), r.AppendPages(1), r.AppendRows(1),
        r.SetKeyword(0, "x"),  r.Save(),         r.CloseFile(),
        r.InsertRows(1, 1),
    };
    for (const ReaderResult& res : results) {
        EXPECT_FALSE(res.ok);
        EXPECT_EQ(res.error, QStringLiteral("没有打开报表"));
    }
}

TEST_F(ReaderTest, ReadsNumbersTextsAndLabelsOfTheCurrentPage) {
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(makeReport(), {}).ok);
    int page = 0, pages = 0;
    r.GetPages(&pages);
    r.GetCurPage(&page);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(page, 1);  // opening makes the first page current

    QVariant v;
    ASSERT_TRUE(r.GetCellDataMatrix(2, 2, &v).ok);
    EXPECT_EQ(v.metaType().id(), QMetaType::Double);
    EXPECT_EQ(v.toDouble(), 12.5);
    ASSERT_TRUE(r.GetCellDataMatrix(2, 3, &v).ok);
    EXPECT_EQ(v, QVariant(QStringLiteral("收入")));
    ASSERT_TRUE(r.GetCellDataMatrix(1, 1, &v).ok);
    EXPECT_EQ(v, QVariant(QStringLiteral("项目")));
    EXPECT_FALSE(r.GetCellDataMatrix(21, 1, &v).ok);
    EXPECT_FALSE(r.GetCellDataMatrix(0, 1, &v).ok);

    ASSERT_TRUE(r.SetCurPage(2).ok);
    ASSERT_TRUE(r.GetCellDataMatrix(2, 2, &v).ok);
    EXPECT_EQ(v.toDouble(), 0.0);
    // The engine would take page 1 for these; the host asked for another.
    for (int bad : {0, 4, -1}) {
        const ReaderResult res = r.SetCurPage(bad);
        EXPECT_FALSE(res.ok) << bad;
        EXPECT_TRUE(res.error.contains("1045")) << str(res.error);
    }
    r.GetCurPage(&page);
    EXPECT_EQ(page, 2);
}

TEST_F(ReaderTest, APageNobodyAskedForIsNeverRead) {
    const QString path = makeReport();
    // Page 1's record comes first after the directory: damage a cell slot.
    qortest::flipStreamByte(path, QString::fromLatin1(qor::kPageStreamName),
                            qor::directorySize(3) + qor::kPageRecordHeaderSize + 40);
    if (HasFatalFailure()) return;
    // Opening, and leaving format state, choose page 1 without reading it:
    // the host goes on to page 3 and reads it.
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
    ASSERT_TRUE(r.BeginDesign().ok);
    ASSERT_TRUE(r.BeginData().ok);
    int page = 0;
    r.GetCurPage(&page);
    EXPECT_EQ(page, 1);
    ASSERT_TRUE(r.SetCurPage(3).ok);
    QVariant v;
    ASSERT_TRUE(r.GetCellDataMatrix(2, 2, &v).ok);
    EXPECT_EQ(v.toDouble(), 0.0);
    // Page 1 itself fails where it is used, naming the damage.
    ASSERT_TRUE(r.SetCurPage(1).ok);
    const ReaderResult res = r.GetCellDataMatrix(2, 2, &v);
    EXPECT_FALSE(res.ok);
    EXPECT_TRUE(res.error.contains("1008")) << str(res.error);
}

TEST_F(ReaderTest, FormatWorkNeedsFormatStateAndDataWorkNeedsDataState) {
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(makeReport(), {}).ok);
    ASSERT_TRUE(r.SetCurPage(3).ok);
    ASSERT_TRUE(r.SetCurCell(4, 2).ok);
    for (const ReaderResult& res :
         {r.SetCellFormat(qor::kFmtHAlign, 3), r.SetRowHeight(1, 30), r.SetColWidth(1, 80),
          r.CombineCells(5, 1, 5, 2), r.SetTableSize(30, 6), r.AppendRows(1), r.DeleteRows(1, 1),
          r.InsertRows(1, 1), r.SetFormula("A1+1"), r.SetKeywordCell(0, 1, 2)}) {
        EXPECT_FALSE(res.ok);
        EXPECT_TRUE(res.error.contains("BeginDesign")) << str(res.error);
    }

    ASSERT_TRUE(r.BeginDesign().ok);
    EXPECT_TRUE(r.BeginDesign().ok);  // already there
    bool format = false;
    r.IsFormatState(&format);
    EXPECT_TRUE(format);
    int page = -1;
    r.GetCurPage(&page);
    EXPECT_EQ(page, 0);
    QVariant v;
    for (const ReaderResult& res :
         {r.SetCurPage(1), r.SetKeyword(0, "x"), r.GetKeyword(0, &v), r.Recalc()}) {
        EXPECT_FALSE(res.ok);
        EXPECT_TRUE(res.error.contains("BeginData")) << str(res.error);
    }
    EXPECT_TRUE(r.SetCellFormat(qor::kFmtHAlign, 3).ok);
    EXPECT_TRUE(r.SetCellFormat(qor::kFmtDecimals, 7).ok);
    // Out of the attribute's range, or no attribute at all: refused, not cut.
    EXPECT_FALSE(r.SetCellFormat(qor::kFmtDecimals, 8).ok);
    EXPECT_FALSE(r.SetCellFormat(qor::kFmtBackground, 16).ok);
    EXPECT_FALSE(r.SetCellFormat(qor::kFmtHAlign, -1).ok);
    EXPECT_FALSE(r.SetCellFormat(qor::kFmtUndefined, 0).ok);
    EXPECT_FALSE(r.SetCellFormat(17, 0).ok);
    int value = 0;
    ASSERT_TRUE(r.GetCellFormat(qor::kFmtDecimals, &value).ok);
    EXPECT_EQ(value, 7);

    // Back in data state the page that was current is current again.
    ASSERT_TRUE(r.BeginData().ok);
    r.GetCurPage(&page);
    EXPECT_EQ(page, 3);
    ASSERT_TRUE(r.GetCellFormat(qor::kFmtHAlign, &value).ok);
    EXPECT_EQ(value, 3);
}

TEST_F(ReaderTest, SetDataWritesTheCurrentCellAsItsKindAllows) {
    const QString path = makeReport();
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
    QVariant v;

    ASSERT_TRUE(r.SetCurCell(3, 2).ok);
    ASSERT_TRUE(r.SetData(99).ok);
    ASSERT_TRUE(r.GetData(&v).ok);
    EXPECT_EQ(v.toDouble(), 99.0);
    EXPECT_TRUE(r.SetData(QStringLiteral(" 1.5e2 ")).ok);
    r.GetData(&v);
    EXPECT_EQ(v.toDouble(), 150.0);
    // The engine would read "12abc" as 12 and "abc" as 0.
    for (const char* text : {"abc", "12abc"}) {
        const ReaderResult res = r.SetData(QString::fromLatin1(text));
        EXPECT_FALSE(res.ok) << text;
        EXPECT_TRUE(res.error.contains(QStringLiteral("不是数字"))) << str(res.error);
    }
    r.GetData(&v);
    EXPECT_EQ(v.toDouble(), 150.0);
    EXPECT_TRUE(r.SetData(QVariant()).ok);
    r.GetData(&v);
    EXPECT_EQ(v.toDouble(), 0.0);

    ASSERT_TRUE(r.SetCurCell(2, 3).ok);
    ASSERT_TRUE(r.SetData(QStringLiteral("支出")).ok);
    r.GetData(&v);
    EXPECT_EQ(v, QVariant(QStringLiteral("支出")));
    EXPECT_FALSE(r.SetData(QString(256, QLatin1Char('x'))).ok);

    // Table text changes in format state only, where SetData sets it.
    ASSERT_TRUE(r.SetCurCell(1, 1).ok);
    EXPECT_FALSE(r.SetData(QStringLiteral("x")).ok);
    ASSERT_TRUE(r.BeginDesign().ok);
    ASSERT_TRUE(r.SetData(QStringLiteral("科目")).ok);

    // A formula's cell: the engine keeps the formula's value and would
    // answer success.
    ASSERT_TRUE(r.SetCurCell(4, 4).ok);
    ASSERT_TRUE(r.SetFormula(QStringLiteral("B2+1")).ok);
    QString formula;
    ASSERT_TRUE(r.GetFormula(&formula).ok);
    EXPECT_EQ(formula, QStringLiteral("B2+1"));
    ASSERT_TRUE(r.BeginData().ok);
    const ReaderResult res = r.SetData(5);
    EXPECT_FALSE(res.ok);
    EXPECT_TRUE(res.error.contains(QStringLiteral("公式"))) << str(res.error);

    ASSERT_TRUE(r.Save().ok);
    ASSERT_TRUE(r.CloseFile().ok);
    CReader again;
    ASSERT_TRUE(again.OpenRep8File(path, {}).ok);
    ASSERT_TRUE(again.GetCellDataMatrix(2, 3, &v).ok);
    EXPECT_EQ(v, QVariant(QStringLiteral("支出")));
    ASSERT_TRUE(again.GetCellDataMatrix(1, 1, &v).ok);
    EXPECT_EQ(v, QVariant(QStringLiteral("科目")));
}

TEST_F(ReaderTest, PagesRowsAndKeywordsChangeAndSurviveASave) {
    const QString path = makeReport();
    {
        CReader r;
        ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
        ASSERT_TRUE(r.AppendPages(2).ok);
        ASSERT_TRUE(r.DeletePages(2, 1).ok);
        EXPECT_FALSE(r.DeletePages(5, 1).ok);
        EXPECT_FALSE(r.AppendPages(0).ok);
        int pages = 0;
        r.GetPages(&pages);
        EXPECT_EQ(pages, 4);

        ASSERT_TRUE(r.SetKeyword(1, QStringLiteral("001")).ok);
        ASSERT_TRUE(r.SetKeyword(2, 2024).ok);
        ASSERT_TRUE(r.SetKeyword(3, QStringLiteral("6")).ok);
        EXPECT_FALSE(r.SetKeyword(4, QStringLiteral("June")).ok);
        EXPECT_FALSE(r.SetKeyword(0, QString(33, QLatin1Char('x'))).ok);
        EXPECT_FALSE(r.SetKeyword(7, 1).ok);

        ASSERT_TRUE(r.BeginDesign().ok);
        ASSERT_TRUE(r.AppendRows(5).ok);
        ASSERT_TRUE(r.DeleteRows(1, 2).ok);
        ASSERT_TRUE(r.InsertRows(1, 1).ok);
        // All or nothing: the engine would insert what fits.
        const ReaderResult tooMany = r.InsertRows(1, 9999);
        EXPECT_FALSE(tooMany.ok);
        EXPECT_TRUE(tooMany.error.contains("1070")) << str(tooMany.error);
        int rows = 0, cols = 0;
        r.GetTableSize(&rows, &cols);
        EXPECT_EQ(rows, 24);
        EXPECT_EQ(cols, 6);
        ASSERT_TRUE(r.BeginData().ok);
        ASSERT_TRUE(r.Save().ok);
        // Dropped: never saved.
        ASSERT_TRUE(r.AppendPages(10).ok);
        ASSERT_TRUE(r.CloseFile().ok);
    }
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
    int pages = 0, rows = 0, cols = 0;
    r.GetPages(&pages);
    r.GetTableSize(&rows, &cols);
    EXPECT_EQ(pages, 4);
    EXPECT_EQ(rows, 24);
    QVariant v;
    ASSERT_TRUE(r.GetKeyword(0, &v).ok);
    EXPECT_EQ(v, QVariant(QStringLiteral("单位A")));
    ASSERT_TRUE(r.GetKeyword(1, &v).ok);
    EXPECT_EQ(v, QVariant(QStringLiteral("001")));
    ASSERT_TRUE(r.GetKeyword(2, &v).ok);
    EXPECT_EQ(v.toDouble(), 2024.0);
    ASSERT_TRUE(r.GetKeyword(3, &v).ok);
    EXPECT_EQ(v.toDouble(), 6.0);
    ASSERT_TRUE(r.GetKeyword(5, &v).ok);
    EXPECT_FALSE(v.isValid());
    // Rows 1 and 2 went, one row came in at the top: the number moved
    // from row 2 to row 1.
    ASSERT_TRUE(r.GetCellDataMatrix(1, 2, &v).ok);
    EXPECT_EQ(v.toDouble(), 0.0);
}

TEST_F(ReaderTest, TheModuleRegistersAndRemovesItsNames) {
    using qor::AutoRegistry;
    const auto info = AutoRegistry::classInfo(QStringLiteral("Pagoda2.Reader"));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->clsid, QLatin1String(qor::kReaderClsid));
    EXPECT_EQ(info->progId, QStringLiteral("Pagoda2.Reader.1"));
    EXPECT_EQ(info->versionIndependentProgId, QStringLiteral("Pagoda2.Reader"));
    EXPECT_EQ(info->threadingModel, QStringLiteral("Apartment"));
    EXPECT_EQ(info->typeLib, QStringLiteral("{3632775D-409B-473B-81B3-CB329D55A9B1}"));
    EXPECT_EQ(AutoRegistry::clsidFromProgId("Pagoda2.Reader.1"), QLatin1String(qor::kReaderClsid));

    EXPECT_TRUE(qor_DllUnregisterServer());
    EXPECT_FALSE(AutoRegistry::classInfo(QStringLiteral("Pagoda2.Reader")).has_value());
    EXPECT_TRUE(AutoRegistry::clsidFromProgId("Pagoda2.Reader.1").isEmpty());
    EXPECT_FALSE(qor::Registry::keyExists(
        QStringLiteral("TypeLib\\{3632775D-409B-473B-81B3-CB329D55A9B1}\\1.0")));
    EXPECT_THROW(AutoRegistry::create(QStringLiteral("Pagoda2.Reader")), qor::AutoError);
    QString error;
    EXPECT_FALSE(qor_DllUnregisterServer(&error));
    EXPECT_FALSE(error.isEmpty());

    EXPECT_TRUE(qor_DllRegisterServer());
    EXPECT_TRUE(AutoRegistry::classInfo(QStringLiteral("Pagoda2.Reader")).has_value());

    // A library serving the class stays registered.
    qor::AutoClassInfo other = *AutoRegistry::classInfo(QLatin1String(qor::kReaderClsid));
    other.server = dir_ + "/libotherreader.so";
    AutoRegistry::registerClass(other);
    qor::RegisterReaderModule();
    EXPECT_EQ(AutoRegistry::classInfo(QStringLiteral("Pagoda2.Reader"))->server, other.server);

    EXPECT_FALSE(qor_DllGetClassObject(QStringLiteral("{00000000-0000-0000-0000-000000000001}")));
    const qor::AutoFactory factory = qor_DllGetClassObject(QLatin1String(qor::kReaderClsid));
    ASSERT_TRUE(factory);
    EXPECT_TRUE(qor_DllCanUnloadNow());
    std::unique_ptr<QObject> made(factory(QLatin1String(qor::kReaderClsid)));
    EXPECT_FALSE(qor_DllCanUnloadNow());
    made.reset();
    EXPECT_TRUE(qor_DllCanUnloadNow());
}

TEST_F(ReaderTest, HostsDriveTheReaderByProgIdNameAndDispatchId) {
    const QString path = makeReport();
    qor::AutoObject a = qor::AutoObject::create(QStringLiteral("Pagoda2.Reader"));
    qor::AutoObject b = qor::AutoObject::create(QStringLiteral("Pagoda2.Reader.1"));
    ASSERT_NE(a.object(), b.object());  // one Reader per request

    QVariantMap m = a.invoke("OpenRep8File", {path}).toMap();
    EXPECT_TRUE(m.value("ok").toBool()) << str(m.value("error").toString());
    EXPECT_FALSE(m.contains("value"));
    m = a.invoke("getpages").toMap();  // names are not case-sensitive
    EXPECT_EQ(m.value("value").toInt(), 3);
    // Texts holding numbers are converted as the host's variants would be.
    m = a.invoke("GetCellDataMatrix", {QStringLiteral("2"), 2.0}).toMap();
    EXPECT_EQ(m.value("value").toDouble(), 12.5);
    m = a.invoke(qint32(5), {2, 3}).toMap();  // dispatch id of GetCellDataMatrix
    EXPECT_EQ(m.value("value").toString(), QStringLiteral("收入"));
    EXPECT_EQ(a.nameOfId(1), QStringLiteral("OpenRep8File"));
    EXPECT_EQ(a.nameOfId(33), QStringLiteral("InsertRows"));
    m = a.invoke("GetTableSize").toMap();
    EXPECT_EQ(m.value("value").toList(), (QVariantList{20, 6}));

    m = a.invoke("SetCurPage", {QStringLiteral("two")}).toMap();
    EXPECT_FALSE(m.value("ok").toBool());
    EXPECT_TRUE(m.value("error").toString().contains("page"));
    m = a.invoke("SetCurPage", {2.5}).toMap();
    EXPECT_FALSE(m.value("ok").toBool());
    const QString conversion = m.value("error").toString();
    EXPECT_EQ(a.invoke("GetLastError").toMap().value("value").toString(), conversion);
    EXPECT_THROW(a.invoke("GetCellDataMatrix", {1}), qor::AutoError);  // wrong count
    EXPECT_THROW(a.invoke("NoSuchMethod"), qor::AutoError);

    // The object hands in-process hosts the interface itself.
    auto* object = qobject_cast<CReaderObject*>(a.object());
    ASSERT_NE(object, nullptr);
    int pages = 0;
    EXPECT_TRUE(object->reader()->GetPages(&pages).ok);
    EXPECT_EQ(pages, 3);
}

}  // namespace

TEST_F(ReaderTest, AReadOnlyReaderKeepsNoWriterOutAndRefusesToSave) {
    const QString path = makeReport();
    qor::AutoObject a = qor::AutoObject::create(QStringLiteral("Pagoda2.Reader"));
    a.setProperty(QStringLiteral("ReadOnly"), true);
    EXPECT_TRUE(a.property(QStringLiteral("ReadOnly")).toBool());
    QVariantMap m = a.invoke("OpenRep8File", {path}).toMap();
    ASSERT_TRUE(m.value("ok").toBool()) << str(m.value("error").toString());
    m = a.invoke("GetCellDataMatrix", {2, 2}).toMap();
    EXPECT_EQ(m.value("value").toDouble(), 12.5);

    // A writer opens, changes and saves the report while the Reader reads.
    {
        CReportHandle writer(path, CReportHandle::OpenMode::OpenExisting);
        ASSERT_TRUE(writer.IsOpen()) << str(writer.ErrorText());
        ASSERT_EQ(writer.SetCurPage(1), 0);
        ASSERT_EQ(writer.SetCellValue(CellValue::ofNumber(99), 2, 2), 0);
        ASSERT_EQ(writer.Save(), 0);
    }
    // The Reader goes on with the file it opened, and cannot save over
    // the writer's work.
    m = a.invoke("GetCellDataMatrix", {2, 2}).toMap();
    EXPECT_EQ(m.value("value").toDouble(), 12.5);
    m = a.invoke("Save").toMap();
    EXPECT_FALSE(m.value("ok").toBool());
    EXPECT_TRUE(m.value("error").toString().contains(QStringLiteral("只读方式"))) << str(m.value("error").toString());
    EXPECT_TRUE(a.invoke("CloseFile").toMap().value("ok").toBool());

    // Without the property the Reader is a writer again.
    qor::AutoObject b = qor::AutoObject::create(QStringLiteral("Pagoda2.Reader"));
    ASSERT_TRUE(b.invoke("OpenRep8File", {path}).toMap().value("ok").toBool());
    EXPECT_EQ(b.invoke("GetCellDataMatrix", {2, 2}).toMap().value("value").toDouble(), 99);
    CReportHandle second(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_FALSE(second.IsOpen());
}

namespace {

// 10 x 4 with a variable area (kind 1 rows at row 3, 2 columns at
// column 2) of extent 4, two pages, 1 in row 3 column 2 of page 1; a row
// area has the formula 1+1 in B4, below its lines.
QString makeAreaReport(const QString& path, int kind) {
    CReportHandle h(path);
    EXPECT_TRUE(h.IsOpen());
    uint16_t rows = 10, cols = 4;
    EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
    int start = kind == 1 ? 3 : 2, extent = 4;
    EXPECT_EQ(h.AccessVarArea(1, &kind, &start, &extent), 0);
    // A formula in the fixed row after a row area.
    CellArea below = CellArea::cell(4, 2);
    if (kind == 1) {
        EXPECT_EQ(h.SetAreaFormula(&below, QStringLiteral("1+1")), 0);
    }
    EXPECT_EQ(h.EnterDataState(1), 0);
    EXPECT_EQ(h.AppendRowColPage(2, 2), 0);
    EXPECT_EQ(h.SetCurPage(1), 0);
    EXPECT_EQ(h.SetCellValue(CellValue::ofNumber(1), 3, 2), 0);
    EXPECT_EQ(h.Save(), 0);
    return path;
}

int varLines(CReader& r) {
    int n = -1;
    EXPECT_TRUE(r.GetVarLines(&n).ok);
    return n;
}

}  // namespace

TEST_F(ReaderTest, InDataStateTheRowMethodsWorkOnTheCurrentPagesLines) {
    const QString path = makeAreaReport(dir_ + "/rows.rep", 1);
    {
        CReader r;
        ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
        ASSERT_TRUE(r.SetCurPage(1).ok);
        EXPECT_EQ(varLines(r), 1);
        ASSERT_TRUE(r.InsertRows(3, 1).ok);  // before the first line
        ASSERT_TRUE(r.AppendRows(1).ok);
        EXPECT_EQ(varLines(r), 3);
        QVariant v;
        ASSERT_TRUE(r.GetCellDataMatrix(4, 2, &v).ok);
        EXPECT_EQ(v.toDouble(), 1.0);

        // Refusals say why and change nothing.
        const ReaderResult past = r.AppendRows(2);
        EXPECT_FALSE(past.ok);
        EXPECT_TRUE(past.error.startsWith(QStringLiteral("AppendRows: 可变区最多4行")))
            << str(past.error);
        const ReaderResult off = r.InsertRows(2, 1);
        EXPECT_FALSE(off.ok);
        EXPECT_TRUE(off.error.contains(QStringLiteral("第2行不在"))) << str(off.error);
        const ReaderResult all = r.DeleteRows(3, 3);
        EXPECT_FALSE(all.ok);
        EXPECT_TRUE(all.error.contains(QStringLiteral("至少留一行"))) << str(all.error);
        EXPECT_FALSE(r.DeleteRows(5, 2).ok);  // only one line from row 5 on
        EXPECT_EQ(varLines(r), 3);

        ASSERT_TRUE(r.DeleteRows(3, 1).ok);
        ASSERT_TRUE(r.GetCellDataMatrix(3, 2, &v).ok);
        EXPECT_EQ(v.toDouble(), 1.0);
        EXPECT_EQ(varLines(r), 2);
        // Page 2 keeps its own count.
        ASSERT_TRUE(r.SetCurPage(2).ok);
        EXPECT_EQ(varLines(r), 1);
        // Format state: the table's rows, as before.
        ASSERT_TRUE(r.BeginDesign().ok);
        ASSERT_TRUE(r.AppendRows(1).ok);
        int rows = 0, cols = 0;
        r.GetTableSize(&rows, &cols);
        EXPECT_EQ(rows, 11);
        EXPECT_FALSE(r.GetVarLines(&rows).ok);
        ASSERT_TRUE(r.BeginData().ok);
        ASSERT_TRUE(r.Save().ok);
    }
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
    ASSERT_TRUE(r.SetCurPage(1).ok);
    // The first call after opening addresses a cell on line 2: it is that
    // line's, not the formula's below a one-line page.
    ASSERT_TRUE(r.SetCurCell(4, 2).ok);
    ASSERT_TRUE(r.SetData(5.0).ok);
    QVariant v;
    ASSERT_TRUE(r.GetCellDataMatrix(4, 2, &v).ok);
    EXPECT_EQ(v.toDouble(), 5.0);
    ASSERT_TRUE(r.GetCellDataMatrix(5, 2, &v).ok);
    EXPECT_EQ(v.toDouble(), 0.0);
    EXPECT_EQ(varLines(r), 2);
}

TEST_F(ReaderTest, AColumnAreasLinesAreItsColumns) {
    const QString path = makeAreaReport(dir_ + "/cols.rep", 2);
    CReader r;
    ASSERT_TRUE(r.OpenRep8File(path, {}).ok);
    ASSERT_TRUE(r.SetCurPage(1).ok);
    ASSERT_TRUE(r.InsertRows(2, 2).ok);
    EXPECT_EQ(varLines(r), 3);
    QVariant v;
    ASSERT_TRUE(r.GetCellDataMatrix(3, 4, &v).ok);
    EXPECT_EQ(v.toDouble(), 1.0);
    const ReaderResult past = r.AppendRows(2);
    EXPECT_TRUE(past.error.contains(QStringLiteral("可变区最多4列"))) << str(past.error);
    ASSERT_TRUE(r.DeleteRows(2, 2).ok);
    ASSERT_TRUE(r.GetCellDataMatrix(3, 2, &v).ok);
    EXPECT_EQ(v.toDouble(), 1.0);
}
