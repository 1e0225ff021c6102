// A whole report saved as a workbook, one worksheet per page, read back by
// openpyxl.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "exchange/excelexportdriver.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

const char* kSheets = R"PY(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print(json.dumps([[ws.title, ws["A1"].value, ws["B2"].value] for ws in wb.worksheets]))
)PY";

class ExcelDriver : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::havePythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
        dir = testDir();
        previous = qor::setTraceHook([this](const QString& t) { traces.append(t); });
    }
    void TearDown() override { qor::setTraceHook(previous); }

    QString dir;
    QStringList traces;
    qor::TraceHook previous;
};

TEST_F(ExcelDriver, EveryPageBecomesASheetInPageOrder) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    setFormat(*h, kFmtKind, kCellNumber, CellArea::area(1, 1, 2, 2));
    setFormat(*h, kFmtKind, kCellText, CellArea::cell(2, 2));
    toData(*h, 3);
    for (int page = 1; page <= 3; ++page) {
        setNumber(*h, page, 1, 1, page * 10.5);
        setText(*h, page, 2, 2, QStringLiteral("页%1").arg(page));
    }
    ASSERT_EQ(h->SetCurPage(2), 0);

    const QString book = dir + QStringLiteral("/r.xlsx");
    ASSERT_EQ(ExportReportToExcel(h.get(), book), 1);
    // The export reads each page without moving the user off the current one.
    EXPECT_EQ(h->GetCurPage(), 2);

    const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kSheets), {book});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray sheets = QJsonDocument::fromJson(r.out).array();
    ASSERT_EQ(sheets.size(), 3) << r.out.constData();
    for (int page = 1; page <= 3; ++page) {
        const QJsonArray s = sheets[page - 1].toArray();
        EXPECT_EQ(s[0].toString(), QStringLiteral("第%1页").arg(page));
        EXPECT_EQ(s[1].toDouble(), page * 10.5);
        EXPECT_EQ(s[2].toString(), QStringLiteral("页%1").arg(page));
    }

    // Pages are written from the last one down, and the end is announced.
    QStringList steps;
    for (const QString& t : traces)
        if ((t.startsWith(QStringLiteral("正在保存第")) && t.endsWith(u'页')) || t == "完成")
            steps.append(t);
    EXPECT_EQ(steps, (QStringList{QStringLiteral("正在保存第3页"), QStringLiteral("正在保存第2页"),
                                  QStringLiteral("正在保存第1页"), QStringLiteral("完成")}));
}

TEST_F(ExcelDriver, FailuresAreNotReportedAsSuccess) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    toData(*h, 2);
    EXPECT_EQ(ExportReportToExcel(h.get(), dir + QStringLiteral("/no/such/dir/r.xlsx")), 0);
    EXPECT_FALSE(traces.contains(QStringLiteral("完成")));
    EXPECT_EQ(ExportReportToExcel(nullptr, dir + QStringLiteral("/r.xlsx")), 0);
}

}  // namespace
