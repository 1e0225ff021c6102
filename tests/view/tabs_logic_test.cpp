// The page-tab strip's arithmetic: captions, which tabs a strip of a given
// width shows, the arrow buttons, what a press selects and the gripper's
// limits.

#include "view/tabs_logic.h"

#include <gtest/gtest.h>

using namespace qor::view;

namespace {

// 15 x 30 header metrics: mode button 42, arrows 15 each, tabs from 106.
TabMetrics metrics() { return MakeTabMetrics(HeaderMetrics{15, 30}, 0); }

// Every caption 30 pixels wide: every tab 50, 52 with the gap.
int fixedWidth(const QString&) { return 30; }

TabStripState strip(int pages, int width) {
    TabStripState s;
    s.pageCount = pages;
    s.shown = true;
    s.width = width;
    return s;
}

}  // namespace

TEST(TabsLogic, CaptionsAndFixedParts) {
    EXPECT_EQ(PageTabCaption(1), QString::fromUtf8(" 第1页"));
    EXPECT_EQ(PageTabCaption(99999), QString::fromUtf8(" 第99999页"));
    EXPECT_EQ(ModeButtonCaption(true), QString::fromUtf8("数据"));
    EXPECT_EQ(ModeButtonCaption(false), QString::fromUtf8("格式"));
    const TabMetrics m = metrics();
    EXPECT_EQ(m.modeWidth, 42);
    EXPECT_EQ(m.arrowWidth, 15);
    EXPECT_EQ(m.TabsLeft(), 106);
    EXPECT_EQ(m.CollapsedWidth(), 42);
    EXPECT_EQ(ModeButtonWidth(HeaderMetrics{15, 31}), 43);  // 43.4 rounds down
    EXPECT_EQ(InitialStripWidth(true, 600, m), 400);
    EXPECT_EQ(InitialStripWidth(false, 600, m), 47);
}

TEST(TabsLogic, PageCountsOutsideTheRangeShowAsOne) {
    for (int bad : {0, -3, 100000}) {
        TabStripState s = strip(bad, 400);
        s.current = 7;
        s.first = 5;
        NormalizePages(s);
        EXPECT_EQ(s.pageCount, 1) << bad;
        EXPECT_EQ(s.current, 1);
        EXPECT_EQ(s.first, 1);
    }
    TabStripState s = strip(10, 400);
    s.current = 12;
    s.first = 0;
    NormalizePages(s);
    EXPECT_EQ(s.current, 10);
    EXPECT_EQ(s.first, 1);
}

TEST(TabsLogic, LayoutShowsTabsThatStartInsideTheArea) {
    TabStripState s = strip(1000, 400);
    s.first = 998;
    // Three pages remain: all shown, however wide the strip.
    std::vector<TabRect> tabs = LayoutTabs(s, metrics(), fixedWidth);
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0].page, 998);
    EXPECT_EQ(tabs[2].x, 106 + 2 * 52);

    // From page 1: tabs at 106, 158, 210, 262, 314 (cut off at 393).
    s.first = 1;
    tabs = LayoutTabs(s, metrics(), fixedWidth);
    ASSERT_EQ(tabs.size(), 6u);
    EXPECT_EQ(tabs.back().x, 366);
    EXPECT_EQ(s.tabWidths.size(), 6u);
    EXPECT_EQ(VisibleTabCount(s, metrics()), 6);

    // A wide strip with many pages keeps every tab it shows, beyond 20.
    s.width = 3000;
    tabs = LayoutTabs(s, metrics(), fixedWidth);
    EXPECT_EQ(tabs.size(), 56u);
    EXPECT_EQ(tabs.back().page, 56);
}

TEST(TabsLogic, ArrowButtonsScrollTheRow) {
    TabStripState s = strip(9, 400);
    ScrollTabs(s, ArrowButton::Previous);
    EXPECT_EQ(s.first, 1);  // previous at page 1 stays
    ScrollTabs(s, ArrowButton::Last);
    EXPECT_EQ(s.first, 9);
    ScrollTabs(s, ArrowButton::Next);
    EXPECT_EQ(s.first, 9);  // next at the last page stays
    ScrollTabs(s, ArrowButton::Previous);
    EXPECT_EQ(s.first, 8);
    ScrollTabs(s, ArrowButton::First);
    EXPECT_EQ(s.first, 1);

    // Pressing the third arrow (x 42 + 30 .. 42 + 45) moves on by one.
    const StripPress r = PressStrip(s, metrics(), 80, 5, 16);
    EXPECT_EQ(r.kind, StripPress::Arrow);
    EXPECT_EQ(r.arrow, ArrowButton::Next);
    EXPECT_EQ(s.first, 2);
    // The edges between buttons press nothing.
    EXPECT_EQ(PressStrip(s, metrics(), 72, 5, 16).kind, StripPress::Nothing);
}

TEST(TabsLogic, PressingTabsSelectsPages) {
    TabStripState s = strip(20, 400);
    LayoutTabs(s, metrics(), fixedWidth);

    StripPress r = PressStrip(s, metrics(), 106 + 52 + 20, 5, 16);  // second tab
    EXPECT_EQ(r.kind, StripPress::Tab);
    EXPECT_EQ(r.page, 2);
    EXPECT_EQ(s.current, 2);
    EXPECT_EQ(s.first, 1);
    EXPECT_FALSE(r.forceRefresh);

    // The cut-off last tab (page 6) is selected and scrolled into view.
    r = PressStrip(s, metrics(), 380, 5, 16);
    EXPECT_EQ(r.page, 6);
    EXPECT_EQ(s.first, 2);
    // Pressing the last tab again while it is current forces a refresh.
    LayoutTabs(s, metrics(), fixedWidth);
    r = PressStrip(s, metrics(), 380, 5, 16);
    EXPECT_EQ(r.page, 7);
    EXPECT_EQ(s.first, 3);
    s.current = 8;
    LayoutTabs(s, metrics(), fixedWidth);
    r = PressStrip(s, metrics(), 380, 5, 16);
    EXPECT_TRUE(r.forceRefresh);
    EXPECT_EQ(s.first, 4);

    // The first pixels of the tab area go back one page.
    LayoutTabs(s, metrics(), fixedWidth);
    r = PressStrip(s, metrics(), 109, 5, 16);
    EXPECT_EQ(r.page, 3);
    EXPECT_EQ(s.first, 3);

    // Right of the strip and past the last page: nothing.
    EXPECT_EQ(PressStrip(s, metrics(), 401, 5, 16).kind, StripPress::Nothing);
    TabStripState few = strip(2, 400);
    LayoutTabs(few, metrics(), fixedWidth);
    EXPECT_EQ(PressStrip(few, metrics(), 106 + 2 * 52 + 10, 5, 16).kind, StripPress::Nothing);
}

TEST(TabsLogic, ModeButtonGripperAndFormatMode) {
    TabStripState s = strip(5, 300);
    EXPECT_EQ(PressStrip(s, metrics(), 20, 5, 16).kind, StripPress::ModeButton);
    EXPECT_EQ(PressStrip(s, metrics(), 0, 5, 16).kind, StripPress::Nothing);  // strict edge
    EXPECT_EQ(PressStrip(s, metrics(), 296, 5, 16).kind, StripPress::Gripper);

    // Collapsed to the mode button: its right end is still the button, and
    // arrows and tabs do nothing.
    TabStripState f = strip(5, metrics().CollapsedWidth());
    f.shown = false;
    EXPECT_EQ(PressStrip(f, metrics(), 40, 5, 16).kind, StripPress::ModeButton);
    EXPECT_FALSE(OverGripper(f, 40, 5, 16));
    EXPECT_EQ(PressStrip(f, metrics(), 80, 5, 16).kind, StripPress::Nothing);
    EXPECT_EQ(f.first, 1);

    EXPECT_EQ(DraggedStripWidth(3, 500), 7);
    EXPECT_EQ(DraggedStripWidth(250, 500), 250);
    EXPECT_EQ(DraggedStripWidth(600, 500), 488);
    EXPECT_EQ(DraggedStripWidth(600, 10), 7);
}
