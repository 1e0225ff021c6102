// The locate, find, sort, cell style, table shape and page setup dialogs:
// their checks headless, then each driven through its controls from its
// document command on a real report.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "dialogs/dlgbuild.h"
#include "dialogs/editformat_logic.h"
#include "dialogs/findsort_dlgs.h"
#include "dialogs/format_dlgs.h"
#include "dialogs/viewsettings_logic.h"
#include "document/cmd_edit.h"
#include "document/cmd_format.h"
#include "document/doc_interpreter.h"
#include "engine/messages.h"
#include "tests/dialogs/dialog_answers.h"
#include "tests/document/doc_fixture.h"
#include "view/cqorsview.h"
#include "view/view_commands.h"
#include "resources/commandids.h"

using namespace qor;
using doctest::newDoc;
using doctest::UiRecorder;
using qortest::ModalAnswer;
using qortest::RegisteredDialogs;

namespace {

template <class W>
W* item(CQorDialog& dlg, int id) {
    auto* w = qobject_cast<W*>(dlg.GetDlgItem(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

void type(CQorDialog& dlg, int id, const QString& text) { item<QLineEdit>(dlg, id)->setText(text); }
void press(CQorDialog& dlg, int id) { item<QAbstractButton>(dlg, id)->click(); }

}  // namespace

TEST(EditFormatLogic, SpinStepAndIntegerExchange) {
    // A non-negative delta lowers, a negative one raises; bounds hold.
    EXPECT_EQ(stepSpin(5, 1, 1, 9), 4);
    EXPECT_EQ(stepSpin(1, 1, 1, 9), 1);
    EXPECT_EQ(stepSpin(9, -1, 1, 9), 9);
    EXPECT_EQ(stepSpin(8, -5, 1, 9, 5), 9);
    EXPECT_EQ(ZoomSpinStep(QStringLiteral("100"), -1), 105);

    int32_t v = 7;
    EXPECT_EQ(ExchangeInt(QStringLiteral("x"), 1, 9, 1000, &v).messageId, qor::str::kEnterInteger);
    const DlgRefusal range = ExchangeInt(QStringLiteral("10"), 1, 9, 1000, &v);
    EXPECT_EQ(range.messageId, qor::str::kIntegerOutOfRange);
    EXPECT_TRUE(range.text().contains(QStringLiteral("在1和9之间")));
    EXPECT_EQ(v, 7);  // untouched on refusal
    EXPECT_TRUE(ExchangeInt(QStringLiteral(" 9 "), 1, 9, 1000, &v).accepted());
    EXPECT_EQ(v, 9);
}

TEST(EditFormatLogic, LocateReadsLettersThenPageAndRow) {
    LocateDlgMembers m;
    EXPECT_TRUE(CheckLocate("3", "4", "AA", &m).accepted());
    EXPECT_EQ(m.column, 27);
    EXPECT_EQ(m.page, 3);
    for (const char* bad : {"A1", ""}) {
        const DlgRefusal r = CheckLocate("1", "1", bad, &m);
        EXPECT_EQ(r.messageId, qor::str::kBadColumn) << bad;
        EXPECT_EQ(r.focusId, 1036);
    }
    const DlgRefusal page = CheckLocate("100000", "1", "A", &m);
    EXPECT_EQ(page.messageId, qor::str::kIntegerOutOfRange);
    EXPECT_EQ(page.focusId, 1000);
    EXPECT_EQ(CheckLocate("1", "10000", "A", &m).focusId, 1004);
    EXPECT_EQ(m.page, 3);  // nothing taken from a refused entry
}

TEST(EditFormatLogic, FindOffersCellNamesAndCustomValues) {
    EXPECT_EQ(FindVarCellNames(1, 3), (QStringList{"V_A", "V_B", "V_C"}));
    EXPECT_EQ(FindVarCellNames(2, 2), (QStringList{"V_1", "V_2"}));
    EXPECT_TRUE(FindVarCellNames(0, 5).isEmpty());
    KeywordValueLists v;
    v.years = {"2003", "2004", "0", "2009"};
    v.custom = {"7", "9", "0"};
    EXPECT_EQ(FindKeywordValues(v, "年", "周"), (QStringList{"2003", "2004"}));
    // The custom keyword is never listed, but typed it offers its values.
    EXPECT_EQ(FindKeywordValues(v, "周", "周"), (QStringList{"7", "9"}));
    EXPECT_TRUE(FindKeywordValues(v, "V_A", "").isEmpty());
}

TEST(EditFormatLogic, PageSortKeys) {
    const auto check = [](std::array<QString, 3> keys, PageSortDlgMembers* m,
                          const QString& custom = QString()) {
        return CheckPageSort(keys, custom, m);
    };
    PageSortDlgMembers m;
    EXPECT_EQ(check({"年", "", "月"}, &m).messageId, qor::str::kSortKeyGap);
    EXPECT_EQ(check({"", "", ""}, &m).messageId, qor::str::kSortKeyGap);

    m = {};
    ASSERT_TRUE(check({"b3", "", ""}, &m).accepted());
    EXPECT_EQ(m.keys[0], -1);
    EXPECT_EQ(m.cells[0], (PageSortDlgMembers::Cell{2, 3}));
    EXPECT_EQ(m.orders, (std::array<int32_t, 3>{0, -1, -1}));
    // A keyword key's cell reads (1, 1), never garbage.
    EXPECT_EQ(m.cells[1], (PageSortDlgMembers::Cell{1, 1}));

    m = {};
    ASSERT_TRUE(check({"单位编号", "单位名称", "周"}, &m, "周").accepted());
    EXPECT_EQ(m.keys, (std::array<int32_t, 3>{0, 1, 6}));
    // A column without a row is no cell: refused, never read as B11.
    m = {};
    EXPECT_EQ(check({"年", "B", ""}, &m).messageId, qor::str::kBadSecondSortKey);
    EXPECT_EQ(check({"年", "月", "B"}, &m).focusId, 1020);

    m = {};
    m.pageMode = 0;
    ASSERT_TRUE(check({"AA", "", ""}, &m).accepted());
    EXPECT_EQ(m.keys[0], 27);
    m = {};
    m.pageMode = 0;
    m.rowArea = 0;
    EXPECT_EQ(check({"0", "", ""}, &m).messageId, qor::str::kBadFirstSortKey);
    EXPECT_EQ(check({"2", "x", ""}, &m).focusId, 1004);
    ASSERT_TRUE(check({"2", "", ""}, &m).accepted());
    EXPECT_EQ(m.keys[0], 2);
}

TEST(EditFormatLogic, TableShapeLimits) {
    TableSizeDlgMembers size;
    EXPECT_EQ(CheckTableSize("10000", "5", &size).focusId, 1000);
    EXPECT_EQ(CheckTableSize("9999", "256", &size).focusId, 1004);
    ASSERT_TRUE(CheckTableSize("9999", "255", &size).accepted());
    EXPECT_EQ(size.rows, 9999);

    SetVarAreaDlgMembers var;
    EXPECT_EQ(CheckSetVarArea("255", 1, &var).messageId, qor::str::kEnterNumber1To254);
    ASSERT_TRUE(CheckSetVarArea("255", 0, &var).accepted());
    EXPECT_EQ(var.kind, 1);
    EXPECT_EQ(CheckSetVarArea("9999", 0, &var).messageId, qor::str::kIntegerOutOfRange);
    ASSERT_TRUE(CheckSetVarArea("254", 1, &var).accepted());
    EXPECT_EQ(var.kind, 2);
}

TEST(EditFormatLogic, PageSetupRanges) {
    PageSetupDlgMembers base;
    base.tableLastRow = 19;  // 20 rows
    base.tableLastCol = 4;   // A..E
    base.rangeKind = -1;     // never chosen: rows
    PageSetupTexts t{"10", "10", "10", "10", "1.0", "3", "2", "", ""};
    base.headerEnabled = 1;
    PageSetupDlgMembers m = base;
    EXPECT_EQ(CheckPageSetup(t, &m).messageId, qor::str::kBadTitleRange);
    t.headerFirst = "2";
    t.headerLast = "3";
    ASSERT_TRUE(CheckPageSetup(t, &m).accepted());
    EXPECT_EQ(m.headerFirst, 1);
    EXPECT_EQ(m.headerLast, 2);
    // A disabled footer keeps its members.
    EXPECT_EQ(m.footerFirst, 1);
    EXPECT_EQ(m.footerLast, 1);

    m = base;
    m.footerEnabled = 1;
    t.footerFirst = "19";
    t.footerLast = "21";
    const DlgRefusal beyond = CheckPageSetup(t, &m);
    EXPECT_EQ(beyond.messageId, qor::str::kTitleBeyondRow);
    EXPECT_TRUE(beyond.text().contains(QStringLiteral("最大行:20")));

    m = base;
    m.rangeKind = 1;
    t.headerFirst = "A";
    t.headerLast = "C";
    ASSERT_TRUE(CheckPageSetup(t, &m).accepted());
    EXPECT_EQ(m.headerFirst, 0);
    EXPECT_EQ(m.headerLast, 2);
    t.headerFirst = "3";
    EXPECT_EQ(CheckPageSetup(t, &m).messageId, qor::str::kBadTitleRange);
    t.headerFirst = "A";
    t.headerLast = "F";
    const DlgRefusal col = CheckPageSetup(t, &m);
    EXPECT_EQ(col.messageId, qor::str::kTitleBeyondColumn);
    EXPECT_TRUE(col.text().contains(QStringLiteral("最大列:E")));

    // Margins and scale come first.
    m = base;
    t = {"101", "0", "0", "0", "1.0", "1", "1", "", ""};
    EXPECT_EQ(CheckPageSetup(t, &m).focusId, 1053);
    t.left = "0";
    t.scale = "0.29";
    EXPECT_EQ(CheckPageSetup(t, &m).focusId, 1097);
    t.scale = "0.3";
    EXPECT_TRUE(CheckPageSetup(t, &m).accepted());

    // Range texts: -1 counts as rows.
    EXPECT_EQ(PageSetupRangeText(1, -1), QStringLiteral("2"));
    EXPECT_EQ(PageSetupRangeText(1, 1), QStringLiteral("B"));
}

TEST(EditFormatLogic, ScaleSpinStopsAtItsLimits) {
    QString s = QStringLiteral("2.8");
    for (int i = 0; i < 5; ++i) s = ScaleSpinStep(s, -1);
    EXPECT_EQ(s, QStringLiteral("3.0"));
    s = QStringLiteral("0.7");
    for (int i = 0; i < 10; ++i) s = ScaleSpinStep(s, 1);
    EXPECT_EQ(s, QStringLiteral("0.4"));
    // Typed past an end, either arrow brings it back to that end.
    EXPECT_EQ(ScaleSpinStep(QStringLiteral("0.3"), 1), QStringLiteral("0.4"));
    EXPECT_EQ(ScaleSpinStep(QStringLiteral("0.3"), -1), QStringLiteral("0.4"));
    EXPECT_EQ(ScaleSpinStep(QStringLiteral("9.5"), 1), QStringLiteral("3.0"));
}

TEST(EditFormatLogic, EachTableStylePreviewDiffers) {
    QList<QImage> seen;
    for (int style = 0; style < 11; ++style) {
        const QImage img = TableStylePreview(style);
        ASSERT_FALSE(img.isNull());
        for (int other = 0; other < seen.size(); ++other)
            EXPECT_NE(img, seen[other]) << style << " vs " << other;
        seen << img;
    }
    EXPECT_TRUE(TableStylePreview(11).isNull());
}

// ---- the widgets

namespace {

int inkRows(const QImage& img) {
    int rows = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                ++rows;
                break;
            }
    }
    return rows;
}

QImage sample(const CCellStyleDlg& dlg, QSize size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    dlg.PaintSample(p, img.rect());
    return img;
}

}  // namespace

TEST(EditFormatDialogs, CellStyleMixedAndAutomaticStayUntouched) {
    CCellStyleDlg dlg;
    dlg.backColor = -1;  // mixed
    dlg.hAlign = 0;
    dlg.vAlign = -1;
    dlg.wordWrap = 0;
    dlg.OnInitDialog();
    for (int id = 1006; id <= 1011; ++id)
        EXPECT_FALSE(item<QAbstractButton>(dlg, id)->isChecked()) << id;
    EXPECT_EQ(item<QComboBox>(dlg, CCellStyleDlg::IDC_BACKGROUND)->currentIndex(), -1);
    // The sample stands on white.
    EXPECT_EQ(sample(dlg, QSize(200, 60)).pixel(1, 1), qRgb(255, 255, 255));
    dlg.OnOK();
    EXPECT_EQ(dlg.backColor, -1);
    EXPECT_EQ(dlg.hAlign, 0);
    EXPECT_EQ(dlg.vAlign, -1);

    // The face is stored as its font-table index.
    CCellStyleDlg faces;
    faces.OnInitDialog();
    auto* font = item<QComboBox>(faces, CCellStyleDlg::IDC_FONT);
    font->setCurrentIndex(font->findText(QStringLiteral("Tahoma")));
    emit font->activated(font->currentIndex());
    faces.OnOK();
    EXPECT_EQ(faces.qor::CellStyleDlgMembers::font, 12);
}

TEST(EditFormatDialogs, CellStyleSampleWrapsAndFallsBackToTwelvePoints) {
    CCellStyleDlg dlg;
    dlg.fontSize = 7;
    dlg.backColor = 1;  // white
    dlg.OnInitDialog();
    const QSize narrow(70, 120);
    const int single = inkRows(sample(dlg, narrow));
    item<QCheckBox>(dlg, CCellStyleDlg::IDC_WRAP)->setChecked(true);
    EXPECT_GT(inkRows(sample(dlg, narrow)), single);

    CCellStyleDlg odd, twelve;
    odd.fontSize = 40;
    twelve.fontSize = 3;
    odd.OnInitDialog();
    twelve.OnInitDialog();
    EXPECT_EQ(sample(odd, QSize(200, 60)), sample(twelve, QSize(200, 60)));
}

TEST(EditFormatDialogs, ShapeDialogsSpinAndKeepRefusalsOpen) {
    UiRecorder ui;
    CTableSizeDlg size;
    size.rows = 9998;
    size.cols = 1;
    size.OnInitDialog();
    for (int i = 0; i < 3; ++i) PressSpin(size.GetDlgItem(CTableSizeDlg::IDC_ROWS_SPIN), -1);
    PressSpin(size.GetDlgItem(CTableSizeDlg::IDC_COLS_SPIN), 1);
    EXPECT_EQ(item<QLineEdit>(size, CTableSizeDlg::IDC_ROWS)->text(), QStringLiteral("9999"));
    EXPECT_EQ(item<QLineEdit>(size, CTableSizeDlg::IDC_COLS)->text(), QStringLiteral("1"));
    type(size, CTableSizeDlg::IDC_COLS, "256");
    size.OnOK();
    EXPECT_EQ(size.Result(), 0);
    EXPECT_EQ(ui.messages.size(), 1);

    CSetVarAreaDlg var;
    var.OnInitDialog();
    type(var, CSetVarAreaDlg::IDC_COUNT, "255");
    press(var, CSetVarAreaDlg::IDC_COLS);
    var.OnOK();
    EXPECT_EQ(var.Result(), 0);
    EXPECT_EQ(ui.messages.last(), LoadErrorText(qor::str::kEnterNumber1To254));
    press(var, CSetVarAreaDlg::IDC_ROWS);
    var.OnOK();
    EXPECT_EQ(var.Result(), CQorDialog::IDOK);
    EXPECT_EQ(var.kind, 1);

    CDrawLineDlg lines;
    lines.OnInitDialog();
    press(lines, 1010);
    item<QComboBox>(lines, CDrawLineDlg::IDC_STYLE)->setCurrentIndex(-1);
    lines.OnOK();
    EXPECT_EQ(lines.lineType, 3);
    EXPECT_EQ(lines.lineStyle, 1);
}

TEST(EditFormatDialogs, CommandsDriveTheirDialogs) {
    auto doc = newDoc(20, 5);
    UiRecorder ui;
    RegisteredDialogs dialogs;
    doc->Selection().SetCurrentCell(0, 0);

    // Row height: 5 mm is stored as 14 points.
    {
        ModalAnswer a([](CQorDialog& d) {
            type(d, CRowHeightDlg::IDC_MM, "5");
            press(d, CQorDialog::IDOK);
        });
        EXPECT_EQ(OnRowHeight(*doc), 0);
    }
    EXPECT_EQ(PresetRowHeightDlg(*doc).heightPoints, 14);

    // Combine by columns hands back 1030 and nothing else.
    std::optional<CombineCellsDlgMembers> combined;
    {
        ModalAnswer a([](CQorDialog& d) { press(d, kCombineByCols); });
        combined = Ask(CombineCellsDlgMembers{});
    }
    ASSERT_TRUE(combined);
    EXPECT_EQ(combined->result, kCombineByCols);

    // Page setup: margins and titles are stored.
    {
        ModalAnswer a([](CQorDialog& d) {
            type(d, CPageSetupDlg::IDC_LEFT, "25");
            press(d, CPageSetupDlg::IDC_HEADER);
            press(d, CPageSetupDlg::IDC_ROWS);
            type(d, CPageSetupDlg::IDC_HEADER_FIRST, "1");
            type(d, CPageSetupDlg::IDC_HEADER_LAST, "2");
            press(d, CQorDialog::IDOK);
        });
        EXPECT_EQ(OnPageSetup(*doc), 0);
    }
    const PageSetupDlgMembers setup = PresetPageSetupDlg(*doc);
    EXPECT_EQ(setup.leftMm, 25);
    EXPECT_EQ(setup.headerEnabled, 1);
    EXPECT_EQ(setup.headerFirst, 0);
    EXPECT_EQ(setup.headerLast, 1);
}

TEST(EditFormatDialogs, FindAndSortOnPagesWithYears) {
    cmd::InstallEngineHooks();
    doc::InstallInterpreterLinks();
    CCalcInterpreter::Instance().Reset();
    auto doc = newDoc(10, 5);
    CReportHandle* r = doc->GetReport();
    CellRef yearCell{0, 1, 1};
    ASSERT_EQ(r->AccessKeywordCell(1, 2, &yearCell), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(r->AppendRowColPage(3, 2), 0);
    const int years[4] = {2003, 2004, 2001, 2004};
    for (int p = 0; p < 4; ++p) {
        ASSERT_EQ(r->SetPageKeyword(2, KeywordValue{1, double(years[p]), {}}, p + 1), 0);
        ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(10 - p), 3, 2, p + 1), 0);
    }
    UiRecorder ui;
    RegisteredDialogs dialogs;
    // The active report is the interpreter's, as the main frame makes it.
    CCalcInterpreter::Instance().SetDocument(doc.get());

    QList<int> visited;
    {
        ModalAnswer a([&](CQorDialog& d) {
            auto* next = item<QPushButton>(d, CFindDlg::IDC_NEXT);
            EXPECT_FALSE(next->isEnabled());
            EXPECT_FALSE(item<QRadioButton>(d, CFindDlg::IDC_VAR_AREA)->isEnabled());
            auto* keyword = item<QComboBox>(d, CFindDlg::IDC_KEYWORD1);
            keyword->setCurrentIndex(keyword->findText(QStringLiteral("年")));
            EXPECT_GE(item<QComboBox>(d, CFindDlg::IDC_VALUE1)->findText("2004"), 0);
            item<QComboBox>(d, CFindDlg::IDC_OP1)->setCurrentText(QStringLiteral("="));
            item<QComboBox>(d, CFindDlg::IDC_VALUE1)->setEditText(QStringLiteral("2004"));
            press(d, CQorDialog::IDOK);
            visited << r->GetCurPage();
            EXPECT_TRUE(next->isEnabled());
            press(d, CFindDlg::IDC_NEXT);
            visited << r->GetCurPage();
            // A join twice clears both buttons and needs a new find.
            press(d, CFindDlg::IDC_AND);
            EXPECT_FALSE(next->isEnabled());
            press(d, CFindDlg::IDC_AND);
            EXPECT_FALSE(item<QRadioButton>(d, CFindDlg::IDC_AND)->isChecked());
            EXPECT_FALSE(item<QRadioButton>(d, CFindDlg::IDC_OR)->isChecked());
            // A value of 5,000 characters is refused with a message; the
            // dialog stays.
            item<QComboBox>(d, CFindDlg::IDC_VALUE1)->setEditText(QString(5000, u'9'));
            int said = int(ui.messages.size());
            press(d, CQorDialog::IDOK);
            EXPECT_EQ(d.Result(), 0);
            EXPECT_GT(ui.messages.size(), said);
            // A unit value with a stray quote goes in as typed; the
            // language refuses the broken literal and the dialog stays.
            item<QComboBox>(d, CFindDlg::IDC_KEYWORD1)
                ->setEditText(LoadErrorText(qor::str::kKeywordUnitName));
            item<QComboBox>(d, CFindDlg::IDC_VALUE1)->setEditText(QStringLiteral("甲\"乙"));
            said = int(ui.messages.size());
            press(d, CQorDialog::IDOK);
            EXPECT_EQ(d.Result(), 0);
            EXPECT_GT(ui.messages.size(), said);
            press(d, CQorDialog::IDCANCEL);
        });
        OnFind(*doc);
    }
    EXPECT_EQ(visited, (QList<int>{2, 4}));

    // Sort by the cell b3, ascending.
    {
        ModalAnswer a([](CQorDialog& d) {
            item<QComboBox>(d, CPageSortDlg::IDC_KEY_COMBOS[0])->setEditText(QStringLiteral("b3"));
            press(d, CQorDialog::IDOK);
        });
        EXPECT_EQ(OnSortPages(*doc), 0);
    }
    QList<double> values;
    for (int p = 1; p <= 4; ++p) {
        CellValue v;
        r->GetCellValue(&v, 3, 2, p);
        values << v.number;
    }
    EXPECT_EQ(values, (QList<double>{7, 8, 9, 10}));
    CCalcInterpreter::Instance().SetDocument(nullptr);
}

TEST(EditFormatDialogs, TableSizeFromTheViewInFormatStateOnly) {
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    CQorsView view(&doc);
    view.resize(400, 300);
    view.OnInitialUpdate();
    RegisteredDialogs dialogs;
    CommandState s;
    ASSERT_TRUE(view.OnUpdateCommand(cmd_ids::kCmdTableSize, s));
    EXPECT_TRUE(s.enabled);
    {
        ModalAnswer a([](CQorDialog& d) {
            type(d, CTableSizeDlg::IDC_ROWS, "12");
            type(d, CTableSizeDlg::IDC_COLS, "4");
            press(d, CQorDialog::IDOK);
        });
        view.OnCommand(cmd_ids::kCmdTableSize);
    }
    int32_t rows = 0, cols = 0;
    doc.GetTableSize(&rows, &cols);
    EXPECT_EQ(rows, 12);
    EXPECT_EQ(cols, 4);
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_TRUE(view.OnUpdateCommand(cmd_ids::kCmdTableSize, s));
    EXPECT_FALSE(s.enabled);
}
