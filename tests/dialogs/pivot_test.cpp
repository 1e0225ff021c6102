// The pivot over the following pages: the grid's rows, columns, caps and
// texts, its save into a new report read back by the engine and by an
// independent reader, and BROWSE showing it from a script.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/pivot_dlgs.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

// A report of pages pages; A1 holds page + 0.5 with two decimals, B1 the
// text "p<page>", C1 0, the rest nothing.
std::unique_ptr<CReportHandle> makeReport(const QString& path, int pages) {
    auto rep = std::make_unique<CReportHandle>(path);
    int32_t decimals = 2;
    const CellArea a1 = CellArea::cell(1, 1);
    EXPECT_EQ(rep->AccessAreaFormat(1, kFmtDecimals, &decimals, &a1), 0);
    int32_t text = kCellText;
    const CellArea b1 = CellArea::cell(1, 2);
    EXPECT_EQ(rep->AccessAreaFormat(1, kFmtKind, &text, &b1), 0);
    EXPECT_EQ(rep->EnterDataState(), 0);
    EXPECT_EQ(rep->AppendRowColPage(pages, 2), 0);
    for (int p = 1; p <= std::min(pages, 3); ++p) {
        EXPECT_EQ(rep->SetCellValue(CellValue::ofNumber(p + 0.5), 1, 1, p), 0);
        EXPECT_EQ(rep->SetCellValue(CellValue::ofText(QStringLiteral("p%1").arg(p)), 1, 2, p), 0);
        EXPECT_EQ(rep->SetCellValue(CellValue::ofNumber(0), 1, 3, p), 0);
    }
    return rep;
}

CalcRange range(int r1, int c1, int r2, int c2) {
    CalcRange r;
    r.r1 = int16_t(r1);
    r.c1 = int16_t(c1);
    r.r2 = int16_t(r2);
    r.c2 = int16_t(c2);
    return r;
}

QString pageLabel(int n) {
    return QString(LoadErrorText(qor::str::kPageNumbered)).replace("%d", QString::number(n));
}

}  // namespace

TEST(PivotGrid, RowsFromTheCurrentPageColumnsByAreaAndTheirTexts) {
    const QString dir = qortest::freshDir("pivot-grid");
    auto rep = makeReport(dir + "/r.rep", 3);
    // No page loaded: from page 1, not one row too many labelled 第0页.
    PivotGrid g = BuildPivotGrid(*rep, {range(0, 0, 2, 2), range(4, 4, 6, 6)}, {});
    ASSERT_EQ(g.rows, 4);
    EXPECT_EQ(g.cols, 19);
    EXPECT_EQ(g.at(1, 0), pageLabel(1));
    EXPECT_EQ(g.at(0, 1), "A1");
    EXPECT_EQ(g.at(0, 4), "A2");
    EXPECT_EQ(g.at(0, 10), "E5");
    EXPECT_EQ(g.at(2, 1), "2.50");  // with the cell's decimals
    EXPECT_EQ(g.at(2, 2), "p2");
    EXPECT_EQ(g.at(2, 5), "");       // an empty cell shows nothing

    // On the last page: one row; labels replace the references they have.
    ASSERT_EQ(rep->SetCurPage(3), 0);
    g = BuildPivotGrid(*rep, {range(0, 0, 0, 2)}, {"甲", "", "丙"});
    ASSERT_EQ(g.rows, 2);
    EXPECT_EQ(g.at(1, 0), pageLabel(3));
    EXPECT_EQ((QStringList{g.at(0, 1), g.at(0, 2), g.at(0, 3)}), (QStringList{"甲", "B1", "丙"}));
    // Areas skipped by their mark, and an empty list of areas.
    EXPECT_EQ(BuildPivotGrid(*rep, {CalcRange{}}, {}).cols, 1);
}

TEST(PivotGrid, CapsMarkOnlyWhatWasLeftOut) {
    const QString dir = qortest::freshDir("pivot-caps");
    auto rep = makeReport(dir + "/r.rep", 1500);
    // 3,000 cells from two areas fit exactly; one more is cut and marked.
    PivotGrid g = BuildPivotGrid(*rep, {range(0, 0, 9, 199), range(0, 0, 9, 99)}, {});
    EXPECT_EQ(g.rows, 1001);
    EXPECT_EQ(g.cols, 3001);
    EXPECT_EQ(g.at(1000, 0), pageLabel(1000) + " ......");
    EXPECT_FALSE(g.at(0, 3000).endsWith("......"));
    g = BuildPivotGrid(*rep, {range(0, 0, 9, 199), range(0, 0, 9, 100)}, {});
    EXPECT_EQ(g.cols, 3001);
    EXPECT_TRUE(g.at(0, 3000).endsWith(" ......"));
    auto exact = makeReport(dir + "/exact.rep", 1000);
    EXPECT_FALSE(BuildPivotGrid(*exact, {range(0, 0, 0, 0)}, {}).at(1000, 0).endsWith("......"));
}

TEST(PivotGrid, SavesANewReportWholeOrNotAtAll) {
    const QString dir = qortest::freshDir("pivot-save");
    PivotGrid g;
    g.rows = 3;
    g.cols = 301;
    g.cells.resize(g.rows * g.cols);
    g.at(0, 1) = "金额";
    g.at(0, 2) = LoadErrorText(qor::str::kKeywordYear);  // 年
    g.at(0, 3) = "名称";
    g.at(1, 1) = "0.00";
    g.at(2, 1) = "1234.5";
    g.at(1, 2) = "2024";
    g.at(1, 3) = "abc";
    g.at(2, 300) = "9";
    const QString path = dir + "/p.rep";
    QString error, note;
    ASSERT_TRUE(SavePivotGrid(g, path, &error, &note)) << error.toStdString();
    EXPECT_TRUE(note.contains("255"));
    {
        CReportHandle back(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
        ASSERT_TRUE(back.IsOpen());
        EXPECT_EQ(back.GetColCount(), 255);
        EXPECT_EQ(back.GetRowCount(), 3);
        CellValue v;
        ASSERT_EQ(back.GetCellValue(&v, 1, 1, 1), 0);
        EXPECT_EQ(v.text, "金额");
        ASSERT_EQ(back.GetCellValue(&v, 2, 1, 1), 0);
        EXPECT_EQ(v.kind, kCellNumber);  // "0.00" is a number, not a text
        ASSERT_EQ(back.GetCellValue(&v, 3, 1, 1), 0);
        EXPECT_EQ(v.number, 1234.5);
        ASSERT_EQ(back.GetCellValue(&v, 2, 2, 1), 0);
        EXPECT_TRUE(v.isText());  // a year stays a text
        EXPECT_EQ(v.text, "2024");
        ASSERT_EQ(back.GetCellValue(&v, 2, 3, 1), 0);
        EXPECT_EQ(v.text, "abc");
    }
    const auto r = qortest::python("import sys, olefile; print(olefile.isOleFile(sys.argv[1]))", {path});
    EXPECT_EQ(r.out.trimmed(), "True") << r.err.toStdString();
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{"p.rep"});  // no temporary file left

    // A report open here is refused and stays as it was.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    {
        CReportHandle open(path);
        EXPECT_FALSE(SavePivotGrid(g, path, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    // A folder that does not exist: told, nothing made.
    EXPECT_FALSE(SavePivotGrid(g, dir + "/no/such/p.rep", &error));
}

TEST(PivotDialogs, BrowseFromAScriptShowsTheGridAndSavesIt) {
    const QString dir = qortest::freshDir("pivot-browse");
    auto rep = makeReport(dir + "/r.rep", 2);
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    const auto hooks = ci.SubsystemHooks();
    InstallPivotDialog(nullptr);
    ci.SetDocument(nullptr);
    ci.SetReport(rep.get());
    UiServices s = uiServices();
    s.chooseFile = [&](const FilePrompt&) -> std::optional<QString> { return dir + "/saved"; };
    const UiServices previous = installUiServices(s);
    int shown = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CPivotDlg::IDD);
        ++shown;
        EXPECT_EQ(static_cast<CPivotDlg&>(d).Grid().rows, 3);
        qobject_cast<QPushButton*>(d.GetDlgItem(CPivotDlg::IDC_SAVE))->click();
        d.OnCancel();
    });
    EXPECT_EQ(ci.RunLine("BROWSE A1:B1 LABELS \"金额,名称\""), 0) << ci.LastErrorText().toStdString();
    EXPECT_EQ(shown, 1);
    CReportHandle back(dir + "/saved.rep", CReportHandle::OpenMode::OpenExisting,
                       CReportHandle::Access::Read);
    CellValue v;
    ASSERT_EQ(back.GetCellValue(&v, 1, 2, 1), 0);
    EXPECT_EQ(v.text, "名称");
    ASSERT_EQ(back.GetCellValue(&v, 3, 1, 1), 0);
    EXPECT_EQ(v.number, 2.5);

    // 多区域透视 refuses a bad piece and accepts an empty list.
    CMultiPivotDlg dlg;
    UiServices msgs = uiServices();
    QStringList told;
    msgs.messageBox = [&](const MessageRequest& r) {
        told << r.text;
        return MsgAnswer::Ok;
    };
    installUiServices(msgs);
    dlg.OnInitDialog();
    qobject_cast<QLineEdit*>(dlg.GetDlgItem(CMultiPivotDlg::IDC_AREAS))->setText("A1:C3,X");
    dlg.OnOK();
    EXPECT_EQ(told, QStringList{LoadErrorText(qor::str::kBadArea)});
    qobject_cast<QLineEdit*>(dlg.GetDlgItem(CMultiPivotDlg::IDC_AREAS))->clear();
    dlg.OnOK();
    EXPECT_EQ(dlg.Result(), CQorDialog::IDOK);

    CQorDialog::SetModalHook({});
    installUiServices(previous);
    ci.SetReport(nullptr);
    ci.SetSubsystemHooks(hooks);
}
