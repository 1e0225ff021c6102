// The desktop's commands that change pages, keywords and values leave what
// the document shows and saves as a whole recalculation would: totals over
// pages and page references follow 删除表页, 插入表页, 追加表页, 交换表页,
// 表页排序, 表页汇总, 可变区汇总, 录入关键字, 清除 and a typed entry.
#include <gtest/gtest.h>

#include <QFile>
#include <functional>

#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "document/cmd_dialogs.h"
#include "document/dialogregistry.h"
#include "document/doc_interpreter.h"
#include "resources/commandids.h"
#include "tests/common/recalccompare.h"
#include "tests/document/doc_fixture.h"

using namespace qor;

namespace {

// Five pages, B2 10, 200, 3000, 40000, 500000 and 年 2004 on pages 2 and 4;
// row 4 a variable area (B amounts). C1 TOTAL(B2), C2 COUNT(B2),
// C3 TOTAL(B2,年=2004), C5 B2@3; below the area B6 GTOTAL(V_B) and D6 C1+D1.
QString makeReport(const QString& dir) {
    const QString path = dir + QStringLiteral("/pages.rep");
    QFile::remove(path);
    CReportHandle h(path, CReportHandle::OpenMode::CreateNew);
    EXPECT_TRUE(h.IsOpen());
    uint16_t rows = 6, cols = 5;
    EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
    int kind = 1, start = 4, extent = 5;
    EXPECT_EQ(h.AccessVarArea(1, &kind, &start, &extent), 0);
    const std::pair<CellArea, QString> formulas[] = {
        {CellArea::cell(1, 3), QStringLiteral("TOTAL(B2)")},
        {CellArea::cell(2, 3), QStringLiteral("COUNT(B2)")},
        {CellArea::cell(3, 3), QStringLiteral("TOTAL(B2,年=2004)")},
        {CellArea::cell(5, 3), QStringLiteral("B2@3")},
        {CellArea::cell(6, 2), QStringLiteral("GTOTAL(V_B)")},
        {CellArea::cell(6, 4), QStringLiteral("C1+D1")},
    };
    for (auto [area, text] : formulas) EXPECT_EQ(h.SetAreaFormula(&area, text), 0) << text.toStdString();
    EXPECT_EQ(h.EnterDataState(), 0);
    EXPECT_EQ(h.AppendRowColPage(5, 2), 0);
    double b2 = 10;
    for (int p = 1; p <= 5; ++p, b2 *= 20) {
        EXPECT_EQ(h.SetCurPage(p), 0);
        EXPECT_EQ(h.SetCellValue(CellValue::ofNumber(p == 1 ? 10 : b2 / 2), 2, 2, p), 0);
        EXPECT_EQ(h.SetCellValue(CellValue::ofNumber(p), 1, 4, p), 0);
        EXPECT_EQ(h.SetCellValue(CellValue::ofNumber(7 * p), 4, 2, p), 0);
        if (p % 2 == 0) {
            EXPECT_EQ(h.SetPageKeyword(2, KeywordValue{1, 2004, {}}, p), 0);
        }
    }
    EXPECT_EQ(h.RecalcAll(), 0);
    EXPECT_EQ(h.Save(), 0);
    return path;
}

struct DocRoute {
    const char* name;
    std::function<void(CQorsDoc&)> act;
};

template <class M>
std::function<std::optional<M>(const M&)> answer(M m) {
    return [m](const M&) { return std::optional<M>(m); };
}

class DocRoutesRecalc : public ::testing::Test {
protected:
    void SetUp() override {
        cmd::InstallEngineHooks();
        doc::InstallInterpreterLinks();
        CCalcInterpreter::Instance().Reset();
    }
};

}  // namespace

TEST_F(DocRoutesRecalc, EveryPageCommandShowsAndSavesWhatARecalculationGives) {
    const QString dir = qortest::testDir(QStringLiteral("doc-routes"));
    const QString base = makeReport(dir);
    ASSERT_TRUE(qortest::SavedEqualsRecalculated(base));
    const auto deletePages = [](const char* list) {
        return [list](CQorsDoc& d) {
            DeleteDlgMembers m;
            m.list = QString::fromLatin1(list);
            m.mode = 3;
            const ScopedDialog<DeleteDlgMembers> dialog(answer(m));
            EXPECT_TRUE(d.OnCommand(cmd_ids::kCmdDeletePages));
        };
    };
    const auto countCommand = [](int mode, int command) {
        return [mode, command](CQorsDoc& d) {
            const ScopedDialog<InsertCountDlgMembers> dialog(answer(InsertCountDlgMembers{1, mode}));
            EXPECT_TRUE(d.OnCommand(command));
        };
    };
    const QList<DocRoute> routes = {
        {"删除表页 the current page", deletePages("1")},
        {"删除表页 a middle page", deletePages("2")},
        {"删除表页 the page a reference names", deletePages("3")},
        {"插入表页", countCommand(kInsertPages, cmd_ids::kCmdInsertPages)},
        {"追加表页", countCommand(kAppendPages, cmd_ids::kCmdAppendPages)},
        {"交换表页",
         [](CQorsDoc& d) {
             const ScopedDialog<SwapDlgMembers> dialog(answer(SwapDlgMembers{"1", "3", 3}));
             EXPECT_TRUE(d.OnCommand(cmd_ids::kCmdSwapPages));
         }},
        {"表页排序",
         [](CQorsDoc& d) {
             PageSortDlgMembers m;
             m.orders = {1, -1, -1};
             m.keys = {-1, -1, -1};
             m.cells[0] = {2, 2};
             const ScopedDialog<PageSortDlgMembers> dialog(answer(m));
             EXPECT_TRUE(d.OnCommand(cmd_ids::kCmdSortPages));
         }},
        {"表页汇总",
         [](CQorsDoc& d) {
             const ScopedDialog<TabHuiZongWizardMembers> dialog(
                 [](const TabHuiZongWizardMembers& m) { return std::optional(m); });
             EXPECT_TRUE(d.OnCommand(cmd_ids::kCmdPageConsolidation));
         }},
        {"可变区汇总",
         [](CQorsDoc& d) {
             const ScopedDialog<VHuiZongWizardMembers> dialog(
                 [](const VHuiZongWizardMembers& m) { return std::optional(m); });
             EXPECT_TRUE(d.OnCommand(cmd_ids::kCmdVarAreaConsolidation));
         }},
        {"录入关键字",
         [](CQorsDoc& d) {
             EnterKeywordDlgMembers m;
             m.year = 2004;
             m.enableYear = 1;
             const ScopedDialog<EnterKeywordDlgMembers> dialog(answer(m));
             EXPECT_TRUE(d.SetCurrentPage(3));
             EXPECT_TRUE(d.OnCommand(cmd_ids::kCmdEnterKeyword));
         }},
        // Only formula cells, nothing they read: each keeps its result.
        {"清除 a block of totals",
         [](CQorsDoc& d) {
             EXPECT_TRUE(d.SetCurrentPage(2));
             d.Selection().SetSelection(0, 2, 2, 2);  // C1:C3
             EXPECT_EQ(d.ClearArea(), 0);
         }},
        {"a typed entry",
         [](CQorsDoc& d) {
             EXPECT_TRUE(d.SetCurrentPage(2));
             d.Selection().SetSelection(1, 1, 1, 1);
             EXPECT_EQ(d.SetCellText(QStringLiteral("77"), CQorsDoc::kEntryNumber), 0);
         }},
    };
    for (const DocRoute& route : routes) {
        SCOPED_TRACE(route.name);
        const QString path = dir + QStringLiteral("/r.rep");
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(base, path));
        {
            CQorsDoc d;
            ASSERT_TRUE(d.Files().OnOpenDocument(path));
            ASSERT_TRUE(d.IsDataState());
            route.act(d);
            // What the view reads: the total over pages of page 1 as shown.
            CReportHandle* h = d.GetReport();
            double sum = 0;
            int count = 0;
            for (int p = 1; p <= h->GetPageCount(); ++p) {
                CellValue v;
                ASSERT_EQ(h->GetCellValue(&v, 2, 2, p), 0);
                if (v.kind == kCellNumber) {
                    sum += v.number;
                    ++count;
                }
            }
            CellValue total, counted;
            ASSERT_EQ(h->GetCellValue(&total, 1, 3, 1), 0);
            ASSERT_EQ(h->GetCellValue(&counted, 2, 3, 1), 0);
            EXPECT_DOUBLE_EQ(total.number, sum);
            EXPECT_EQ(counted.number, count);
            ASSERT_TRUE(d.Files().OnSaveDocument(path));
        }
        EXPECT_TRUE(qortest::SavedEqualsRecalculated(path));
    }
}
