// Save As into a workbook from the shown window's 文件 menu: the box that
// lists what the workbook could not hold names the report's charts and
// objects beside its formulas, as `qor convert` does.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <functional>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "charts/objectdata.h"
#include "document/doc_converters.h"
#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/commandrouter.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

using SaveLosses = frametest::FrameFixture;

TEST_F(SaveLosses, SaveAsAWorkbookNamesTheChartsAndObjectsLeftOut) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    CQorsDoc* doc = child->GetDocument();
    // An embedded report and another object in format state, a chart on
    // page 1 in data state.
    CQorsDoc::NewObject report;
    report.bytes = QByteArray("a report");
    report.classId = QString::fromLatin1(qor::items::kReportObjectClass);
    CComItem* reportItem = doc->Items().InsertObject(report, QPoint(300, 240)).get();
    ASSERT_NE(reportItem, nullptr);
    CQorsDoc::NewObject o;
    o.bytes = QByteArray("not much");
    o.name = QStringLiteral("附件.txt");
    o.classId = QStringLiteral("text/plain");
    ASSERT_NE(doc->Items().InsertObject(o, QPoint(300, 40)), nullptr);
    ASSERT_TRUE(child->EnterDataState());
    const auto chart = doc->Items().CreateComItem(0);
    ASSERT_NE(chart, nullptr);
    auto* graph = dynamic_cast<CGraphItem*>(chart.get());
    ASSERT_NE(graph, nullptr);
    const QString chartName = QStringLiteral("收入图");
    qor::items::ChartDesc desc = graph->GetChartDesc();
    ASSERT_TRUE(desc.SetText(qor::items::ChartDesc::kNameText, chartName));
    graph->SetChartDesc(desc);

    const QString dir = qortest::freshDir(QStringLiteral("save-losses"));
    for (const char* type : {"xlsx", "xls"}) {
        messages.clear();
        const QString target = dir + QStringLiteral("/月报.") + QLatin1String(type);
        files << target;
        answers = {qor::MsgAnswer::Yes};  // a binary workbook with its formats
        frame->UpdateFrameState();
        QAction* saveAs = frametest::menuBarItem(frame->menuBar(), kCmdFileSaveAs);
        ASSERT_NE(saveAs, nullptr);
        saveAs->trigger();
        QApplication::processEvents();
        ASSERT_TRUE(QFileInfo(target).size() > 0) << type;
        const QString box = messages.join(u'\n');
        EXPECT_TRUE(box.contains(LoadErrorText(qor::str::kLossCharts)))
            << type << ": " << box.toStdString();
        EXPECT_TRUE(
            box.contains(LoadErrorText(qor::str::kItemOnPage).arg(chart->GetPage()).arg(chartName)))
            << type << ": " << box.toStdString();
        EXPECT_TRUE(box.contains(LoadErrorText(qor::str::kLossObjects)))
            << type << ": " << box.toStdString();
        if (reportItem) {
            // An embedded report by the name the user knows it by, never a
            // type code.
            EXPECT_TRUE(box.contains(LoadErrorText(qor::str::kItemOfFormat)
                                         .arg(LoadErrorText(qor::str::kClipReportObject))))
                << type << ": " << box.toStdString();
            EXPECT_FALSE(box.contains(QLatin1String(qor::items::kReportObjectClass))) << type;
            // The list names the first object of a kind: the next type
            // is saved without the report.
            doc->Items().RemoveComItem(reportItem);
            reportItem = nullptr;
        } else {
            // Another embedded object keeps no file name: its type names it.
            EXPECT_TRUE(box.contains(
                LoadErrorText(qor::str::kItemOfFormat).arg(QStringLiteral("text/plain"))))
                << type << ": " << box.toStdString();
        }
    }
}

// A formula below a variable area is named by the row the screen shows it
// on: the page's lines in use put the stored row 4 on row 10, where the
// workbook holds it too.
TEST_F(SaveLosses, TheBoxNamesAFormulaByTheRowTheScreenShows) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    CQorsDoc* doc = child->GetDocument();
    CReportHandle* r = doc->GetReport();
    uint16_t rows = 8, cols = 4;
    ASSERT_EQ(r->AccessTableSize(1, &rows, &cols), 0);
    int kind = 1, start = 3, extent = 8;
    ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
    CellArea total = CellArea::cell(4, 3);
    ASSERT_EQ(r->SetAreaFormula(&total, QStringLiteral("GTOTAL(V_C)")), 0);
    ASSERT_TRUE(child->EnterDataState());
    int used = 7;
    ASSERT_EQ(r->AccessVarCount(1, &used), 0);
    const QString target = qortest::freshDir(QStringLiteral("save-losses-rows")) + QStringLiteral("/行.xlsx");
    files << target;
    messages.clear();
    QAction* saveAs = frametest::menuBarItem(frame->menuBar(), kCmdFileSaveAs);
    ASSERT_NE(saveAs, nullptr);
    frame->UpdateFrameState();
    saveAs->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(QFileInfo(target).size() > 0);
    const QString box = messages.join(u'\n');
    EXPECT_TRUE(box.contains(LoadErrorText(qor::str::kLossLine)
                                 .arg(LoadErrorText(qor::str::kLossFormulas))
                                 .arg(1)
                                 .arg(QStringLiteral("第1页第10行第3列"))))
        << box.toStdString();
    doc->SetModifiedFlag(false);
}

// What `qor convert` prints and its exit code 3 come from the same list:
// every type but a report names the charts and objects it leaves out.
TEST(SaveLossesList, ChartsAndObjectsAreListedForEveryTypeButAReport) {
    qor::doc::RegisterExchangeConverters();
    const qor::doc::XlsSaveChoice previous =
        qor::doc::SetXlsSaveChoice(qor::doc::XlsSaveChoice::WithFormats);
    const QString dir = qortest::freshDir(QStringLiteral("loss-list"));
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    // A linked object in format state (no page), two charts on page 1.
    const QString linked = dir + QStringLiteral("/附注.txt");
    qortest::writeFile(linked, "notes");
    CQorsDoc::NewObject o;
    o.name = linked;
    o.link = true;
    ASSERT_NE(doc.Items().InsertObject(o, QPoint(200, 20)), nullptr);
    ASSERT_TRUE(doc.EnterDataState());
    for (const char* name : {"收入图", "支出图"}) {
        auto* chart = dynamic_cast<CGraphItem*>(doc.Items().CreateComItem(0).get());
        ASSERT_NE(chart, nullptr);
        qor::items::ChartDesc desc = chart->GetChartDesc();
        ASSERT_TRUE(desc.SetText(qor::items::ChartDesc::kNameText, QString::fromUtf8(name)));
        chart->SetChartDesc(desc);
    }
    qor::UiServices quiet;
    quiet.messageBox = [](const qor::MessageRequest& r) { return r.defaultAnswer; };
    const qor::UiServices before = qor::installUiServices(quiet);
    const QString charts = QStringLiteral("图表（未导出）：共2处，第一处在第1页的“收入图”");
    const QString objects = QStringLiteral("对象（未导出）：共1处，第一处在“附注.txt”");
    for (const char* suffix : {"xlsx", "xls", "xml", "dbf", "txt"}) {
        ASSERT_TRUE(doc.Files().OnSaveDocument(dir + "/c." + suffix)) << suffix;
        const QStringList left = qor::FindDocConverter(QString::fromLatin1(suffix))->LeftOut();
        EXPECT_TRUE(left.contains(charts)) << suffix << ": " << qPrintable(left.join('\n'));
        EXPECT_TRUE(left.contains(objects)) << suffix << ": " << qPrintable(left.join('\n'));
    }
    qor::installUiServices(before);
    qor::doc::SetXlsSaveChoice(previous);
    doc.Files().OnCloseDocument();
}

}  // namespace
