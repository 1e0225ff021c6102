// Cutting a sheet into printed pages: fitting, manual breaks, repeated
// titles, page numbering, the automatic break table and the forced-break
// command's table work. Sizes are whole points at print scale 1.

#include "print/pagelayout.h"

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "tests/view/fakesheet.h"

using namespace qor::view;
using viewtest::FakeSheet;

namespace {

// rows x cols cells of 20 x 60 points.
struct Sheet {
    FakeSheet fake;
    SheetGeometry geo;
    Sheet(int rows, int cols) {
        fake.rows = rows;
        fake.cols = cols;
        geo.SetSource(&fake);
        geo.SetScale(1.0f);
        geo.Refresh();
    }
};

PageRect area(int width, int height) { return {0, 0, width, height}; }

}  // namespace

TEST(PageLayout, FittingRowsAndColumns) {
    Sheet s(12, 4);
    const PageLayout layout(s.geo, PageSetup{});
    EXPECT_EQ(layout.FitRowsOnPage(0, 100), 4);  // exactly five rows
    EXPECT_EQ(layout.FitRowsOnPage(0, 110), 4);  // the sixth would not fit
    EXPECT_EQ(layout.FitRowsOnPage(0, 19), 0);   // a row taller than the page
    EXPECT_EQ(layout.FitRowsOnPage(10, 100), 11);
    EXPECT_EQ(layout.FitRowsOnPage(40, 100), 11);
    EXPECT_EQ(layout.FitColumnsOnPage(1, 130), 2);

    // Hidden lines of the variable area take no room on the page.
    s.fake.rowArea(2, 5);  // rows 3..6 hidden
    s.geo.Refresh();
    EXPECT_EQ(PageLayout(s.geo, PageSetup{}).FitRowsOnPage(0, 100), 8);
}

TEST(PageLayout, SheetThatFitsCountsOnePage) {
    Sheet s(10, 5);
    const PageLayout layout(s.geo, PageSetup{});
    EXPECT_EQ(layout.CountPrintPages(area(500, 800), 0), 1);
    Sheet empty(0, 0);
    EXPECT_EQ(PageLayout(empty.geo, PageSetup{}).CountPrintPages(area(500, 800), 0), 1);
}

TEST(PageLayout, ManualBreakShortensItsPage) {
    Sheet s(12, 1);
    PageSetup setup;
    LayoutResult plain = ComputePageLayout(s.geo, setup, area(200, 100));
    ASSERT_EQ(plain.pages, 3);
    EXPECT_EQ(plain.breaks.rows, (std::vector<int>{5, 10}));
    EXPECT_TRUE(plain.breaks.cols.empty());

    setup.manual[7].row = 2;  // a page ends after row 2
    const LayoutResult broken = ComputePageLayout(s.geo, setup, area(200, 100));
    ASSERT_EQ(broken.pages, 3);
    // The shortened page records no automatic break; the next page starts
    // right after the manual one and runs its full length.
    EXPECT_EQ(broken.breaks.rows, (std::vector<int>{8}));
    const PageLayout layout(s.geo, setup);
    PageRange r;
    layout.CountPrintPages(area(200, 100), 1, &r);
    EXPECT_EQ(r.firstRow, 0);
    EXPECT_EQ(r.lastRow, 2);
    layout.CountPrintPages(area(200, 100), 2, &r);
    EXPECT_EQ(r.firstRow, 3);
    EXPECT_EQ(r.lastRow, 7);
}

TEST(PageLayout, HeadTitlesAreReservedOnEveryPage) {
    Sheet s(12, 1);
    PageSetup setup;
    setup.titles.head = true;
    setup.titles.headFirst = 0;
    setup.titles.headLast = 1;
    const PageLayout layout(s.geo, setup);
    EXPECT_EQ(layout.GetPrintReserve(), (PageRect{0, 40, 0, 0}));

    const LayoutResult res = ComputePageLayout(s.geo, setup, area(200, 140));
    EXPECT_EQ(res.body, (PageRect{0, 40, 200, 140}));
    ASSERT_EQ(res.pages, 2);
    // The title rows never count towards a body: five body rows a page.
    PageRange r;
    layout.CountPrintPages(res.body, 1, &r);
    EXPECT_EQ(r.lastRow, 6);
    layout.CountPrintPages(res.body, 2, &r);
    EXPECT_EQ(r.firstRow, 7);
    EXPECT_EQ(r.lastRow, 11);

    // Tail titles come off the bottom, title columns off the sides.
    setup.titles.tail = true;
    setup.titles.tailFirst = setup.titles.tailLast = 11;
    EXPECT_EQ(PageLayout(s.geo, setup).GetPrintReserve(), (PageRect{0, 40, 0, 20}));
    setup.titles.asColumns = true;
    setup.titles.headLast = 0;
    setup.titles.tail = false;
    EXPECT_EQ(PageLayout(s.geo, setup).GetPrintReserve(), (PageRect{60, 0, 0, 0}));
}

TEST(PageLayout, TitleValidation) {
    Sheet s(12, 4);
    PrintTitles t;
    t.head = true;
    t.headFirst = 10;
    t.headLast = 12;  // past the last row
    t.tail = true;
    t.tailFirst = 5;
    t.tailLast = 6;
    std::vector<int> msgs;
    PrintTitles v = ValidatePrintTitles(s.geo, t, &msgs);
    EXPECT_FALSE(v.head);
    EXPECT_TRUE(v.tail);
    EXPECT_EQ(msgs, (std::vector<int>{qor::str::kHeadBeyondTable}));

    s.fake.rowArea(6, 3);
    s.geo.Refresh();
    msgs.clear();
    t.headLast = 11;
    v = ValidatePrintTitles(s.geo, t, &msgs);
    EXPECT_TRUE(v.head);
    EXPECT_FALSE(v.tail);
    EXPECT_EQ(msgs, (std::vector<int>{qor::str::kTailOverlapsVariableArea}));
}

TEST(PageLayout, PagesRunAcrossThenDown) {
    Sheet s(12, 4);  // 2 page columns of 2 columns, 3 page rows
    const PageLayout layout(s.geo, PageSetup{});
    const PageRect body = area(120, 100);
    EXPECT_EQ(layout.CountPrintPages(body, 0), 6);

    PageRange r;
    AutoBreaks breaks;
    layout.CountPrintPages(body, 5, &r, &breaks);
    // Page 5 of 2 across: page column 1, page row 3.
    EXPECT_EQ(r, (PageRange{0, 10, 1, 11}));
    EXPECT_EQ(breaks.cols, (std::vector<int>{2}));
    EXPECT_EQ(breaks.rows, (std::vector<int>{5, 10}));
    layout.CountPrintPages(body, 6, &r, &breaks);
    EXPECT_EQ(r, (PageRange{2, 10, 3, 11}));
    layout.CountPrintPages(body, 2, &r, &breaks);
    EXPECT_EQ(r, (PageRange{2, 0, 3, 4}));
    // Each call rewrites the breaks from the start.
    EXPECT_EQ(breaks.rows, (std::vector<int>{5}));
}

TEST(PageLayout, AreaTooSmallOrTooManyPages) {
    Sheet s(12, 4);
    const PageSetup setup;
    for (const PageRect& tiny : {area(500, 20), area(19, 500), area(500, 0)}) {
        const LayoutResult r = ComputePageLayout(s.geo, setup, tiny);
        EXPECT_FALSE(r.pages);
        EXPECT_EQ(r.message, qor::str::kPrintAreaTooSmall);
        EXPECT_EQ(LegacyPageCount(r.pages), 0xFFFF);
    }
    for (const PageRect& poor : {area(500, 29), area(59, 500)}) {
        const LayoutResult r = ComputePageLayout(s.geo, setup, poor);
        EXPECT_FALSE(r.pages);
        EXPECT_EQ(r.message, qor::str::kBadPaper);
        EXPECT_EQ(LegacyPageCount(r.pages), 0xFFFF);
    }
    // Margins are taken before the check.
    PageSetup margins;
    margins.marginTop = 40;
    margins.marginBottom = 40;
    EXPECT_EQ(ComputePageLayout(s.geo, margins, area(500, 100)).message,
              qor::str::kPrintAreaTooSmall);
    EXPECT_EQ(ComputePageLayout(s.geo, setup, area(60, 30)).pages, 4 * 12);

    Sheet big(9999, 255);
    const LayoutResult many = ComputePageLayout(big.geo, setup, area(20, 21));
    EXPECT_FALSE(many.pages);
    EXPECT_EQ(many.message, qor::str::kPrintAreaTooSmall);

    // What the user is then told has words, not the unknown-id text.
    for (int id : {qor::str::kPrintAreaTooSmall, qor::str::kNoPrinter, qor::str::kBadPaper}) {
        EXPECT_NE(LoadErrorText(id), "Reader ERROR") << id;
        EXPECT_TRUE(LoadErrorText(id).contains(QStringLiteral("打印")) ||
                    LoadErrorText(id).contains(QStringLiteral("纸"))) << id;
    }

    EXPECT_EQ(LegacyPageCount(65535), 65534);
    EXPECT_EQ(LegacyPageCount(7), 7);
}

TEST(PageLayout, AutomaticBreakTableIsRebuiltWhole) {
    std::vector<PageBreakEntry> table;
    StoreAutoBreaks({{5, 10, 15}, {3}}, &table);
    EXPECT_EQ(ReadAutoBreaks(table), (AutoBreaks{{5, 10, 15}, {3}}));
    StoreAutoBreaks({{7}, {}}, &table);
    EXPECT_EQ(ReadAutoBreaks(table), (AutoBreaks{{7}, {}}));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1].row, -1);

    // Each list ends at its own terminator, even in a table that an older
    // writer left with a live row list after the column list's end.
    const std::vector<PageBreakEntry> old{{-1, 5, 0}, {-1, 10, 4}, {-1, -1, 6}};
    EXPECT_EQ(ReadAutoBreaks(old), (AutoBreaks{{5, 10}, {}}));
}

TEST(ManualBreaks, ForcedBreakTogglesAndDropsStaleOnes) {
    Sheet s(12, 4);
    qor::ManualBreakTable table{};
    EXPECT_EQ(ToggleForcedBreak(table, s.geo, 0, 0), ForcedBreakResult::Nothing);
    EXPECT_EQ(table, qor::ManualBreakTable{});

    table[3].row = 40;  // left from a larger table
    EXPECT_EQ(ToggleForcedBreak(table, s.geo, 3, 2), ForcedBreakResult::Added);
    EXPECT_EQ(table[3].row, -1);
    EXPECT_EQ(table[0].row, 2);
    EXPECT_EQ(table[0].col, 1);
    EXPECT_TRUE(IsBreakBefore(table, 3, 0));
    EXPECT_TRUE(IsBreakBefore(table, 0, 2));
    EXPECT_FALSE(IsBreakBefore(table, 4, 3));

    // Again on the broken row: the break goes, nothing is added.
    EXPECT_EQ(ToggleForcedBreak(table, s.geo, 3, 3), ForcedBreakResult::Removed);
    EXPECT_EQ(table[0].row, -1);
    EXPECT_EQ(table[0].col, 1);
    EXPECT_EQ(ToggleForcedBreak(table, s.geo, 5, 2), ForcedBreakResult::Removed);
    EXPECT_EQ(table, qor::ManualBreakTable{});

    DropBreaksBeyond(table, 11, 3);
    EXPECT_EQ(table, qor::ManualBreakTable{});
}

TEST(ManualBreaks, VariableAreaAndFullTable) {
    Sheet s(20, 6);
    s.fake.data = true;
    s.fake.rowArea(4, 10, 3);
    s.geo.Refresh();
    qor::ManualBreakTable table{};
    // Inside the shown lines of the area only the column break is set.
    EXPECT_EQ(ToggleForcedBreak(table, s.geo, 6, 2), ForcedBreakResult::Added);
    EXPECT_EQ(table[0].row, -1);
    EXPECT_EQ(table[0].col, 1);

    // A full table says so instead of dropping the break in silence; the
    // column break still finds room.
    table = {};
    for (int i = 0; i < qor::kManualBreakCount; ++i) table[size_t(i)].row = int16_t(i % 3);
    EXPECT_EQ(ToggleForcedBreak(table, s.geo, 16, 3), ForcedBreakResult::TableFull);
    EXPECT_EQ(table[0].col, 2);
}
