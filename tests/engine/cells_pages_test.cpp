// Pages: inserting, deleting and sorting them with the current page kept
// right, check-line areas, and the report's settings.

#include <cmath>

#include "engine/status.h"
#include "tests/engine/cells_fixture.h"

using namespace cellstest;
using namespace qor;

namespace {

// Pages 1..n, each with its number in A1.
std::unique_ptr<CReportHandle> numberedPages(const QString& dir, int n) {
    auto h = newReport(dir + "/pages", 5, 3);
    toData(*h, n);
    for (int p = 1; p <= n; ++p) EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(p), 1, 1, p), 0);
    return h;
}

QList<int> pageOrder(CReportHandle& h) {
    QList<int> order;
    for (int p = 1; p <= h.GetPageCount(); ++p) order.append(int(numberAt(h, 1, 1, p)));
    return order;
}

}  // namespace

TEST(Pages, InsertAndDeleteKeepTheCurrentPage) {
    auto h = numberedPages(testDir(), 5);
    ASSERT_EQ(h->SetCurPage(3), 0);
    uint16_t n = 2;
    ASSERT_EQ(h->InsertRowColPage(1, &n, 2), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(h->GetCurPage(), 5);
    EXPECT_EQ(numberAt(*h, 1, 1), 3);
    n = 1;
    ASSERT_EQ(h->InsertRowColPage(99, &n, 2), 0);  // past the end appends
    EXPECT_EQ(pageOrder(*h), (QList<int>{0, 0, 1, 2, 3, 4, 5, 0}));
    n = 0;
    EXPECT_EQ(h->InsertRowColPage(1, &n, 2), code(Status::Refused));
    n = 1;
    EXPECT_EQ(h->InsertRowColPage(0, &n, 2), code(Status::Refused));
    EXPECT_EQ(h->InsertRowColPage(1, &n, 3), code(Status::Refused));

    ASSERT_EQ(h->DeleteRowColPage(1, 3, 2), 0);  // pages before the current one
    EXPECT_EQ(h->GetCurPage(), 2);
    EXPECT_EQ(numberAt(*h, 1, 1), 3);
    ASSERT_EQ(h->DeleteRowColPage(2, 1, 2), 0);  // the current page itself
    EXPECT_EQ(h->GetCurPage(), 2);
    EXPECT_EQ(numberAt(*h, 1, 1), 4);
    ASSERT_EQ(h->DeleteRowColPage(2, 100, 2), 0);  // cut at the end
    EXPECT_EQ(h->GetPageCount(), 1);
    EXPECT_EQ(h->GetCurPage(), 1);
    EXPECT_EQ(numberAt(*h, 1, 1), 2);
    EXPECT_EQ(h->DeleteRowColPage(2, 1, 2), code(Status::Refused));
    ASSERT_EQ(h->DeleteRowColPage(1, 1, 2), 0);
    EXPECT_EQ(h->GetCurPage(), 0);
    EXPECT_EQ(h->GetCurrentPage(), nullptr);
    EXPECT_EQ(h->SetCurPage(1), code(Status::Refused));
}

TEST(Pages, InsertCutsTheCountToWhatFits) {
    auto h = numberedPages(testDir(), 2);
    uint16_t n = 60000;
    ASSERT_EQ(h->InsertRowColPage(2, &n, 2), 0);
    n = 60000;
    ASSERT_EQ(h->InsertRowColPage(2, &n, 2), 0);
    EXPECT_EQ(n, 99999 - 60002);
    EXPECT_EQ(h->GetPageCount(), 99999);
    EXPECT_EQ(numberAt(*h, 1, 1, 99999), 2);
    n = 1;
    EXPECT_EQ(h->InsertRowColPage(1, &n, 2), code(Status::PageLimit));
    EXPECT_EQ(n, 1);
}

TEST(Pages, RowsAndColumnsGoToTheTableShape) {
    auto h = newReport(testDir() + "/shape", 5, 3);
    uint16_t n = 2;
    ASSERT_EQ(h->InsertRowColPage(2, &n, 0), 0);
    ASSERT_EQ(h->DeleteRowColPage(1, 1, 1), 0);
    EXPECT_EQ(h->GetRowCount(), 7);
    EXPECT_EQ(h->GetColCount(), 2);
    toData(*h, 1);
    EXPECT_EQ(h->InsertRowColPage(2, &n, 0), code(Status::Refused));
}

TEST(Pages, SortByKeywordsAndCellsFollowsTheCurrentPage) {
    auto h = numberedPages(testDir(), 5);
    const int years[] = {2023, 2021, 2023, 2022, 2021};
    const char* units[] = {"b", "a", "a", "c", "b"};
    for (int p = 1; p <= 5; ++p) {
        ASSERT_EQ(h->SetPageKeyword(2, {1, double(years[p - 1]), {}}, p), 0);
        ASSERT_EQ(h->SetPageKeyword(0, {2, 0, QString::fromLatin1(units[p - 1])}, p), 0);
    }
    ASSERT_EQ(h->SetCurPage(4), 0);
    using Key = CReportHandle::PageSortKey;
    Key year{Key::Keyword, 2, 0, 0, true};
    Key unit{Key::Keyword, 0, 0, 0, false};
    ASSERT_EQ(h->SortPages({year, unit}), 0);
    EXPECT_EQ(pageOrder(*h), (QList<int>{3, 1, 4, 2, 5}));
    EXPECT_EQ(h->GetCurPage(), 3);
    EXPECT_EQ(numberAt(*h, 1, 1), 4);
    ASSERT_EQ(h->SortPages({Key{Key::Cell, 0, 1, 1, false}}), 0);
    EXPECT_EQ(pageOrder(*h), (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(h->GetCurPage(), 4);
    h = reopen(std::move(h));
    EXPECT_EQ(pageOrder(*h), (QList<int>{1, 2, 3, 4, 5}));
    KeywordValue v;
    ASSERT_EQ(h->GetPageKeyword(2, &v, 2), 0);
    EXPECT_EQ(v.number, 2021);

    ASSERT_EQ(h->SetCurPage(1), 0);
    EXPECT_EQ(h->SortPages({Key{Key::Keyword, 7, 0, 0, false}}), code(Status::Refused));
    EXPECT_EQ(h->SortPages({Key{Key::Cell, 0, 6, 1, false}}), code(Status::OutsideTable));
    EXPECT_EQ(h->SortPages({year, year, year, year}), code(Status::SortListInvalid));
}

TEST(Pages, CheckLineAreaIsKeptPerPage) {
    auto h = newReport(testDir() + "/check", 8, 4);
    int kind = 1, start = 2, extent = 4;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    toData(*h, 2);
    int n = 3;
    ASSERT_EQ(h->AccessVarCount(1, &n), 0);
    CellArea a = CellArea::area(6, 3, 1, 2);
    ASSERT_EQ(h->SetCheckLineArea(0, &a), 0);
    CellArea out;
    ASSERT_EQ(h->GetCheckLineArea(1, &out), 1);
    // The template row stands for all its lines.
    EXPECT_EQ(out, CellArea::area(1, 2, 6, 3));
    EXPECT_EQ(h->GetCheckLineArea(2, &out), 0);
    CellArea outside = CellArea::area(1, 1, 11, 1);
    EXPECT_EQ(h->SetCheckLineArea(2, &outside), code(Status::OutsideTable));
    h = reopen(std::move(h));
    ASSERT_EQ(h->SetCurPage(1), 0);
    ASSERT_EQ(h->GetCheckLineArea(0, &out), 1);
    EXPECT_EQ(out, CellArea::area(1, 2, 6, 3));
    ASSERT_EQ(h->SetCheckLineArea(1, nullptr), 0);
    EXPECT_EQ(h->GetCheckLineArea(1, &out), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(h->SetCheckLineArea(1, &a), code(Status::Refused));
}

TEST(ReportSettings, PageSetupViewStateAndPasswordSurviveSave) {
    auto h = newReport(testDir() + "/settings", 5, 3);
    PageSetupBlock ps;
    ps.margins = {10, 20, 30, 40};
    ps.scale = 1.5f;
    ps.headFlag = 1;
    ps.headLast = 2;
    ASSERT_EQ(h->SetPageSetup(ps), 0);
    PageSetupBlock bad = ps;
    bad.scale = 3.5f;
    EXPECT_EQ(h->SetPageSetup(bad), code(Status::Refused));
    bad.scale = std::nanf("");
    EXPECT_EQ(h->SetPageSetup(bad), code(Status::Refused));
    bad = ps;
    bad.margins[2] = -1;
    EXPECT_EQ(h->SetPageSetup(bad), code(Status::Refused));
    std::array<uint32_t, 4> view{};
    EXPECT_FALSE(h->GetSavedViewState(&view));
    h->SetSavedViewState({0x00400020, 0xC0C0C0, 1, 0x3F800000});
    EXPECT_EQ(h->SetFormatPassword(QString(13, QChar('p'))), code(Status::Refused));
    ASSERT_EQ(h->SetFormatPassword(QStringLiteral("Secret9")), 0);
    EXPECT_FALSE(h->HasExtendedPageRecords());

    h = reopen(std::move(h));
    PageSetupBlock back;
    ASSERT_EQ(h->GetPageSetup(&back), 0);
    EXPECT_EQ(back, ps);
    ASSERT_TRUE(h->GetSavedViewState(&view));
    EXPECT_EQ(view, (std::array<uint32_t, 4>{0x00400020, 0xC0C0C0, 1, 0x3F800000}));
    EXPECT_EQ(h->GetFormatPassword(), QStringLiteral("Secret9"));
    EXPECT_TRUE(h->GetReportFile()->Format().header.flags & kFlagFormatPasswordSet);
    ASSERT_EQ(h->SetFormatPassword(QString()), 0);
    h->SetSavedViewState({}, false);
    h = reopen(std::move(h));
    EXPECT_EQ(h->GetFormatPassword(), QString());
    EXPECT_FALSE(h->GetReportFile()->Format().header.flags & kFlagFormatPasswordSet);
    EXPECT_FALSE(h->GetSavedViewState(&view));
}
