#include "view/tabs_logic.h"

#include <algorithm>
#include <cmath>

#include "engine/messages.h"

namespace qor::view {

int ModeButtonWidth(const HeaderMetrics& base) { return int(std::lround(1.4 * base.baseWidth)); }

TabMetrics MakeTabMetrics(const HeaderMetrics& base, int left) {
    TabMetrics m;
    m.left = left;
    m.modeWidth = ModeButtonWidth(base);
    m.arrowWidth = base.baseHeight;
    return m;
}

QString PageTabCaption(int page) { return LoadErrorText(str::kPageTab).arg(page); }

QString ModeButtonCaption(bool dataMode) {
    return dataMode ? LoadErrorText(str::kDataStateTab) : LoadErrorText(str::kFormatStateTab);
}

void NormalizePages(TabStripState& state) {
    if (state.pageCount < 1 || state.pageCount > kMaxPages) state.pageCount = 1;
    state.current = std::clamp(state.current, 1, state.pageCount);
    state.first = std::clamp(state.first, 1, state.pageCount);
}

std::vector<TabRect> LayoutTabs(TabStripState& state, const TabMetrics& metrics,
                                const TextWidthFn& textWidth) {
    NormalizePages(state);
    std::vector<TabRect> tabs;
    state.tabWidths.clear();
    const int right = state.width - kGripperWidth;
    int x = metrics.TabsLeft();
    // Every tab that starts inside the area is kept, however many fit; a
    // fixed table here would overflow on a wide strip with short captions.
    for (int page = state.first; page <= state.pageCount && x < right; ++page) {
        const int w = textWidth(PageTabCaption(page)) + kTabPadding;
        tabs.push_back({page, x, w});
        state.tabWidths.push_back(w);
        x += w + kTabGap;
    }
    return tabs;
}

namespace {

// Pages before the first that fit into what the tabs from the first on
// leave free: a strip whose end was cut away (pages deleted while the last
// one was current) shows the current page among its neighbours, not alone.
void FillFromTheLeft(TabStripState& state, int room, const TextWidthFn& textWidth) {
    int used = -kTabGap;
    for (int page = state.first; page <= state.pageCount && used <= room; ++page)
        used += textWidth(PageTabCaption(page)) + kTabPadding + kTabGap;
    while (state.first > 1) {
        const int w = textWidth(PageTabCaption(state.first - 1)) + kTabPadding + kTabGap;
        if (used + w > room) break;
        used += w;
        --state.first;
    }
}

}  // namespace

void ShowCurrentTab(TabStripState& state, const TabMetrics& metrics, const TextWidthFn& textWidth) {
    NormalizePages(state);
    const int room = state.width - kGripperWidth - metrics.TabsLeft();
    if (state.current <= state.first) {
        state.first = state.current;
        if (room > 0) FillFromTheLeft(state, room, textWidth);
        return;
    }
    if (room <= 0) return;
    // No tab is narrower than its padding: pages further back than the
    // area holds can never share it with the current one.
    state.first = std::max(state.first, state.current - room / (kTabPadding + kTabGap));
    std::vector<int> widths;
    int used = 0;
    for (int page = state.first; page <= state.current; ++page) {
        const int w = textWidth(PageTabCaption(page)) + kTabPadding;
        widths.push_back(w);
        used += w + kTabGap;
    }
    used -= kTabGap;
    size_t dropped = 0;
    while (state.first < state.current && used > room) {
        used -= widths[dropped++] + kTabGap;
        ++state.first;
    }
    FillFromTheLeft(state, room, textWidth);
}

int VisibleTabCount(const TabStripState& state, const TabMetrics& metrics) {
    int x = metrics.TabsLeft();
    int n = 0;
    while (n < int(state.tabWidths.size()) && x + 1 < state.width &&
           state.first + n <= state.pageCount) {
        x += state.tabWidths[size_t(n)] + kTabGap;
        ++n;
    }
    return n;
}

int InitialStripWidth(bool dataMode, int parentClientWidth, const TabMetrics& metrics) {
    if (!dataMode) return metrics.modeWidth + 5 + metrics.left;
    return int(std::lround(double(parentClientWidth) * 2.0 / 3.0));
}

int DraggedStripWidth(int x, int viewClientWidth) {
    return std::max(kMinStripWidth, std::min(x, viewClientWidth - kViewMarginOnDrag));
}

void ScrollTabs(TabStripState& state, ArrowButton button) {
    switch (button) {
        case ArrowButton::First:
            state.first = 1;
            break;
        case ArrowButton::Previous:
            if (state.first > 1) --state.first;
            break;
        case ArrowButton::Next:
            if (state.first < state.pageCount) ++state.first;
            break;
        case ArrowButton::Last:
            state.first = std::max(1, state.pageCount);
            break;
        case ArrowButton::None:
            break;
    }
}

bool OverGripper(const TabStripState& state, int x, int y, int height) {
    // Collapsed, the strip's right end is the mode button; a gripper there
    // would swallow presses meant for the button.
    return state.shown && x >= state.width - kGripperWidth && x <= state.width && y >= 0 &&
           y <= height;
}

StripPress PressStrip(TabStripState& state, const TabMetrics& metrics, int x, int y, int height) {
    StripPress result;
    if (OverGripper(state, x, y, height)) {
        result.kind = StripPress::Gripper;
        return result;
    }
    if (x > metrics.left && x < metrics.left + metrics.modeWidth && y > 0 && y < height) {
        result.kind = StripPress::ModeButton;
        return result;
    }
    if (!state.shown) return result;
    NormalizePages(state);
    for (int k = 0; k < 4; ++k) {
        if (x > metrics.ArrowLeft(k) && x < metrics.ArrowLeft(k + 1)) {
            result.kind = StripPress::Arrow;
            result.arrow = ArrowButton(k);
            ScrollTabs(state, result.arrow);
            return result;
        }
    }
    if (x > state.width) return result;

    const int visible = VisibleTabCount(state, metrics);
    const int areaLeft = metrics.TabsLeft();
    const bool oneBack = x > areaLeft && x < areaLeft + kBackZone;
    int hit = -1;
    int tabX = areaLeft;
    for (int i = 0; i < int(state.tabWidths.size()); ++i) {
        const int w = state.tabWidths[size_t(i)] + kTabGap;
        if (x >= tabX && x < tabX + w) {
            hit = i;
            break;
        }
        tabX += w;
    }
    if (hit < 0 || hit >= state.pageCount - state.first + 1) return result;

    result.kind = StripPress::Tab;
    const int page = state.first + hit;
    if (hit == visible - 1 && hit != 0) {
        // The last tab may be cut off: selecting it brings it into view.
        if (state.current == page) result.forceRefresh = true;
        state.current = page;
        ++state.first;
    } else {
        state.current = page;
    }
    if (oneBack && state.first > 1) {
        --state.first;
        state.current = state.first;
    }
    result.page = state.current;
    return result;
}

}  // namespace qor::view
