#pragma once
// The arithmetic of the page-tab strip at the bottom of a report window:
// where the mode button, the four arrow buttons, the tabs and the gripper
// lie, which tabs are shown from the first visible page on, what a press
// does to the current and first visible page, and how far the gripper may
// drag the strip. The widget (cpagectrl.h) only paints and forwards mouse
// events here, so all of it is tested without a window.
//
// Coordinates are client pixels of the strip, x from its left edge `left`.

#include <QString>
#include <functional>
#include <vector>

#include "resources/commandids.h"
#include "print/sheetgeometry.h"

namespace qor::view {

// Frame commands the strip asks for.
using qor::cmd_ids::kCmdEnterData;
using qor::cmd_ids::kCmdEnterFormat;
using qor::cmd_ids::kCmdPageActivate;
// The strip's child id inside its parent.
inline constexpr int kPageCtrlId = 1040;

inline constexpr int kGripperWidth = 7;
// The narrowest strip the gripper leaves, and what it keeps of the view.
inline constexpr int kMinStripWidth = 7;
inline constexpr int kViewMarginOnDrag = 12;
inline constexpr int kInitialSavedWidth = 230;
inline constexpr int kMaxPages = 99999;
// Tab width beyond its caption's text width.
inline constexpr int kTabPadding = 20;
// Gap between tabs counted when walking them.
inline constexpr int kTabGap = 2;
// Width at the left of the tab area that scrolls back by one page.
inline constexpr int kBackZone = 7;

// The fixed parts of the strip.
struct TabMetrics {
    int left = 0;
    int modeWidth = 42;   // 1.4 x base header width, rounded
    int arrowWidth = 15;  // base header height
    int ArrowsLeft() const { return left + modeWidth; }
    int ArrowLeft(int k) const { return ArrowsLeft() + k * arrowWidth; }
    int ArrowsRight() const { return ArrowsLeft() + 4 * arrowWidth; }
    int TabsLeft() const { return ArrowsRight() + 4; }
    // The strip collapsed to the mode button (format mode).
    int CollapsedWidth() const { return left + modeWidth; }
};
TabMetrics MakeTabMetrics(const HeaderMetrics& base = BaseHeaderMetrics(), int left = 0);
// 1.4 x the base header width to the nearest pixel: the mode button.
int ModeButtonWidth(const HeaderMetrics& base = BaseHeaderMetrics());

// " 第<n>页".
QString PageTabCaption(int page);
// "格式" in format mode, "数据" in data mode.
QString ModeButtonCaption(bool dataMode);

enum class ArrowButton : int { None = -1, First = 0, Previous = 1, Next = 2, Last = 3 };

// The strip's own state (one per strip).
struct TabStripState {
    int pageCount = 0;
    int current = 1;
    int first = 1;
    bool shown = false;  // data mode: tabs shown
    int width = -1;      // -1: not laid out yet
    int savedWidth = kInitialSavedWidth;
    // Widths of the tabs from the first visible one on, as last laid out.
    std::vector<int> tabWidths;
};

// The page count as shown (0, negative or above 99,999 shows as 1) with
// the current and first visible page clamped into 1 .. that count.
void NormalizePages(TabStripState& state);

// One tab as laid out: its page, left edge and width (caption + padding).
struct TabRect {
    int page = 0;
    int x = 0;
    int width = 0;
};
using TextWidthFn = std::function<int(const QString&)>;

// Lays out the tabs from the first visible page on while a tab starts
// inside the tab area (the last may be cut off at the gripper), storing
// their widths in the state. Pages are normalised first.
std::vector<TabRect> LayoutTabs(TabStripState& state, const TabMetrics& metrics,
                                const TextWidthFn& textWidth);

// Moves the first visible page so that the current page's tab lies whole
// inside the tab area: back to it when it is left of the first, on until
// its right edge fits when it is right of the area. A tab wider than the
// whole area is shown first.
void ShowCurrentTab(TabStripState& state, const TabMetrics& metrics, const TextWidthFn& textWidth);

// Tabs counted as visible for a press: the stored widths walked from the
// tab area's left edge while the running x + 1 stays left of the width.
int VisibleTabCount(const TabStripState& state, const TabMetrics& metrics);

// The first paint's width: two thirds of the parent's client width in data
// mode, the mode button and 5 pixels in format mode.
int InitialStripWidth(bool dataMode, int parentClientWidth, const TabMetrics& metrics);

// The width a gripper drag to x gives: at least 7 pixels, and leaving 12
// pixels of the view beside it; 7 wins when the view is narrower than that.
int DraggedStripWidth(int x, int viewClientWidth);

// Moves the first visible page as an arrow button does.
void ScrollTabs(TabStripState& state, ArrowButton button);

// What a press on the strip did.
struct StripPress {
    enum Kind { Nothing, Gripper, ModeButton, Arrow, Tab } kind = Nothing;
    ArrowButton arrow = ArrowButton::None;
    // A tab press: the page that became current, and whether the frame
    // must be told even when the document already shows that page.
    int page = 0;
    bool forceRefresh = false;
};

// A press at (x, y) on a strip of the given height; updates the current and
// first visible page for arrows and tabs. Arrows and tabs are ignored while
// the strip is collapsed to the mode button.
StripPress PressStrip(TabStripState& state, const TabMetrics& metrics, int x, int y, int height);

// Gripper test for the cursor and the press.
bool OverGripper(const TabStripState& state, int x, int y, int height);

}  // namespace qor::view
