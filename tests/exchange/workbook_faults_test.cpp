// Workbook export and import faults: a page that fails is no finished
// export, and a value hidden under a merged area stays out of the report.

#include <gtest/gtest.h>

#include "exchange/cexcelbridge.h"
#include "exchange/excelimport.h"
#include "exchange/workbook_model.h"
#include "platform/uiservices.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

class WorkbookFaults : public ::testing::Test {
protected:
    void SetUp() override {
        dir = oxtest::testDir();
        UiServices ui;
        ui.messageBox = [this](const MessageRequest& m) {
            told << m.text;
            return m.defaultAnswer;
        };
        previous = installUiServices(ui);
    }
    void TearDown() override { installUiServices(previous); }
    QString dir;
    QStringList told;
    UiServices previous;
};

TEST_F(WorkbookFaults, AFailedPageIsCountedAndTheNextStillWritten) {
    auto h = oxtest::newReport(dir + QStringLiteral("/r.rep"), 3, 3);
    oxtest::toData(*h, 1);
    oxtest::setNumber(*h, 1, 1, 1, 42);
    CExcelBridge bridge;
    ASSERT_TRUE(bridge.StartExcel());
    bridge.NewWorkbook();
    bridge.AddWorksheet(QStringLiteral("第1页"), 1);
    // The failure is shown and the callers go on, but it is counted.
    EXPECT_EQ(bridge.ExportPage(h.get(), 7), 1);
    EXPECT_EQ(bridge.PagesFailed(), 1);
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(bridge.ExportPage(h.get(), 1), 1);
    EXPECT_EQ(bridge.PagesFailed(), 1);
    ASSERT_NE(bridge.worksheet()->findCell(1, 1), nullptr);
    EXPECT_EQ(bridge.worksheet()->findCell(1, 1)->number, 42);
}

TEST_F(WorkbookFaults, ASheetThatFailsIsCounted) {
    CExcelBridge bridge;
    ASSERT_TRUE(bridge.StartExcel());
    // No report to read into: both passes fail, are shown, and counted.
    EXPECT_EQ(bridge.ImportSheetData(1), 1);
    EXPECT_EQ(bridge.SheetsFailed(), 1);
    EXPECT_EQ(told.size(), 1);
}

TEST_F(WorkbookFaults, AValueHiddenUnderAMergedAreaIsNotImportedAndTold) {
    XlWorkbook wb(1);
    XlWorksheet* s = wb.sheet(1);
    s->range(QStringLiteral("A1:C2")).merge();
    s->range(QStringLiteral("A1")).setNumber(5);
    // Programs that keep the contents of merged-over cells write them.
    s->range(QStringLiteral("B1")).setNumber(7);
    s->range(QStringLiteral("A2")).setNumber(8);
    s->range(QStringLiteral("D1")).setNumber(9);
    const QString path = dir + QStringLiteral("/hidden.xls");
    wb.saveAs(path);
    auto h = oxtest::newReport(dir + QStringLiteral("/r.rep"), 3, 4);
    QList<WorkbookCellsLeftOut> leftOut;
    ASSERT_EQ(ImportExcelWorkbook(h.get(), path, nullptr, nullptr, &leftOut), 2);
    ASSERT_EQ(leftOut.size(), 1);
    EXPECT_EQ(leftOut[0].reason, WorkbookCellsLeftOut::UnderMerge);
    EXPECT_EQ(leftOut[0].count, 2);
    EXPECT_EQ(leftOut[0].firstCell(), QStringLiteral("B1"));
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 1, 1, 1), 0);
    EXPECT_EQ(v.number, 5);
    for (auto [r, c] : {std::pair{1, 2}, std::pair{2, 1}}) {
        ASSERT_EQ(h->GetCellValue(&v, r, c, 1), 0);
        EXPECT_EQ(v.kind, kCellUnset) << r << "," << c;
    }
    ASSERT_EQ(h->GetCellValue(&v, 1, 4, 1), 0);
    EXPECT_EQ(v.number, 9);
}

}  // namespace
