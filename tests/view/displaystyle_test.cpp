// The display scale and display style commands: percent and scale, header
// sizes, the grid palette, the saved view state (through the document and
// a saved report) and what the painter is handed.

#include "view/displaystyle.h"

#include <gtest/gtest.h>

#include <QRect>
#include <limits>
#include <memory>

#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "view/cellpainter.h"
#include "view/cqorsview.h"

using namespace qor::view;

namespace {

const HeaderMetrics kBase{15, 30};

// Answers the dialogs with fixed members while it lives.
struct ScriptedDialogs {
    int percent = 100;
    int shownPercent = -1;
    DisplayStyleDlgMembers style, shownStyle;
    qor::ScopedDialog<ZoomDlgMembers> zoom{[this](const ZoomDlgMembers& m) {
        shownPercent = m.percent;
        return std::optional(ZoomDlgMembers{percent});
    }};
    qor::ScopedDialog<DisplayStyleDlgMembers> display{[this](const DisplayStyleDlgMembers& m) {
        shownStyle = m;
        return std::optional(style);
    }};
};

class Quiet {
public:
    Quiet() {
        qor::UiServices s;
        s.messageBox = [](const qor::MessageRequest& r) { return r.defaultAnswer; };
        m_previous = qor::installUiServices(s);
    }
    ~Quiet() { qor::installUiServices(m_previous); }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    qor::UiServices m_previous;
};

class DisplayCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.Files().OnNewDocument());
        view = std::make_unique<CQorsView>(&doc);
        view->resize(600, 400);
        view->OnInitialUpdate();
        doc.SetModifiedFlag(false);
    }
    ViewState Saved() {
        std::array<uint32_t, 4> s{};
        EXPECT_TRUE(doc.GetSavedViewState(&s));
        return DecodeViewState(s);
    }
    Quiet quiet;
    CQorsDoc doc;
    std::unique_ptr<CQorsView> view;
};

}  // namespace

TEST(DisplayScale, PercentAndScaleLimits) {
    EXPECT_EQ(ScaleToPercent(1.4f), 100);
    EXPECT_EQ(PercentToScale(100), 1.4f);
    EXPECT_EQ(ScaleToPercent(1.39f), 100);  // 99 shows as 100
    EXPECT_EQ(ScaleToPercent(2.8f), 200);
    EXPECT_EQ(ScaleToPercent(0.4f), kMinZoomPercent);  // 29 before the clamp
    EXPECT_EQ(ScaleToPercent(13.0f), kMaxZoomPercent);
    // Entries out of range are clamped, never handed to the view as such.
    EXPECT_EQ(PercentToScale(0), PercentToScale(30));
    EXPECT_EQ(PercentToScale(-5), PercentToScale(30));
    EXPECT_EQ(PercentToScale(100000), PercentToScale(900));
    EXPECT_TRUE(IsValidViewScale(PercentToScale(30)));
    EXPECT_TRUE(IsValidViewScale(PercentToScale(900)));
    // An unusable scale reads as the default.
    EXPECT_EQ(ScaleToPercent(std::numeric_limits<float>::quiet_NaN()), 100);
    EXPECT_EQ(ScaleToPercent(1e30f), 100);
}

TEST(DisplayScale, ZoomRescalesShownHeadersOnly) {
    ViewState s = DefaultViewState(kBase);
    s.headerWidth = 0;  // row headers hidden
    s.gridColour = 0xFF;
    const ViewState z = ApplyZoom(s, 200, kBase);
    EXPECT_EQ(z.scale, 2.8f);
    EXPECT_EQ(z.headerWidth, 0);
    EXPECT_EQ(z.headerHeight, 42);  // 15 x 2.8
    EXPECT_EQ(z.gridColour, 0xFFu);
}

TEST(DisplayStyle, PaletteMembersAndHeaders) {
    EXPECT_EQ(PaletteIndexFor(0xC0C0C0), 15);
    SetRememberedPaletteIndex(3);
    EXPECT_EQ(PaletteIndexFor(0x123456), 3);  // not in the palette
    SetRememberedPaletteIndex(99);            // ignored
    EXPECT_EQ(RememberedPaletteIndex(), 3);

    ViewState s = DefaultViewState(kBase);
    s.headerHeight = 0;
    const DisplayStyleDlgMembers m = StyleMembersFor(s);
    EXPECT_TRUE(m.hideColumnHeaders);
    EXPECT_FALSE(m.hideRowHeaders);

    DisplayStyleDlgMembers pick{true, false, true, 4};
    ViewState t = ApplyDisplayStyle(s, pick, kBase);
    EXPECT_EQ(t.headerWidth, 0);
    EXPECT_EQ(t.headerHeight, 21);  // shown again at the current scale
    EXPECT_EQ(t.gridColour, 0xFF00FFu);
    EXPECT_EQ(t.kindColours, 1);
    pick.gridIndex = 16;  // outside the palette: grid kept
    EXPECT_EQ(ApplyDisplayStyle(t, pick, kBase).gridColour, 0xFF00FFu);
}

TEST(DisplayScale, MergeKeepsSavedColoursAndStartsFreshWithoutThem) {
    ViewState s = DefaultViewState(kBase);
    s.gridColour = 0x808080;
    s.kindColours = 1;
    s.scale = 2.8f;
    const std::array<uint32_t, 4> saved{0x00100010, 0xFF, 0, 0};
    const auto merged = MergeZoomIntoSaved(saved, true, s);
    EXPECT_EQ(merged[1], 0xFFu);
    EXPECT_EQ(merged[2], 0u);
    EXPECT_EQ(DecodeViewState(merged).scale, 2.8f);
    // Nothing saved yet: the view's colours, not a black grid.
    EXPECT_EQ(MergeZoomIntoSaved({}, false, s), EncodeViewState(s));
}

TEST_F(DisplayCommandTest, CancelledDialogsChangeNothing) {
    const ViewState before = view->Display().CurrentViewState();
    view->Display().OnDisplayScale();
    view->Display().OnDisplayStyle();
    EXPECT_EQ(view->Display().CurrentViewState(), before);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DisplayCommandTest, ScaleIsSavedWithTheReportAndRestored) {
    ScriptedDialogs dialogs;
    dialogs.percent = 200;
    view->Display().OnDisplayScale();
    EXPECT_EQ(dialogs.shownPercent, 100);
    EXPECT_EQ(view->Display().CurrentViewState().scale, 2.8f);
    EXPECT_EQ(view->Geometry().Scale(), 2.8f);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Saved(), view->Display().CurrentViewState());
    EXPECT_EQ(doc.ViewState().sheetWidth, view->Geometry().SheetWidth());

    // Absurd entries end at the limits.
    dialogs.percent = -7;
    view->Display().OnDisplayScale();
    EXPECT_EQ(view->Display().CurrentViewState().scale, PercentToScale(30));
    dialogs.percent = 250;
    view->Display().OnDisplayScale();

    const QString path = qortest::freshDir("displayscale") + "/zoom.rep";
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    const ViewState kept = view->Display().CurrentViewState();
    doc.Files().OnCloseDocument();
    CQorsDoc reopened;
    ASSERT_TRUE(reopened.Files().OnOpenDocument(path));
    CQorsView other(&reopened);
    other.OnInitialUpdate();
    EXPECT_EQ(other.Display().CurrentViewState().scale, 3.5f);
    EXPECT_EQ(other.Display().CurrentViewState(), kept);
}

TEST_F(DisplayCommandTest, StyleHidesHeadersAndReachesThePainterAndOtherViews) {
    CQorsView second(&doc);
    second.OnInitialUpdate();
    ScriptedDialogs dialogs;
    dialogs.style = {true, true, true, 1};
    view->Display().OnDisplayStyle();
    EXPECT_EQ(view->Display().CurrentViewState().headerWidth, 0);
    EXPECT_EQ(view->Display().CurrentViewState().headerHeight, 0);
    EXPECT_EQ(view->Geometry().HeaderWidth(), 0);
    EXPECT_EQ(view->Geometry().HeaderHeight(), 0);
    EXPECT_TRUE(doc.IsModified());

    const PaintRequest req = view->ScreenPaintRequest(QRect(0, 0, 10, 10));
    EXPECT_TRUE(req.kindColours);
    EXPECT_EQ(req.gridColour, 0xFF0000u);

    // The other view takes colours, not header sizes.
    EXPECT_EQ(second.Display().CurrentViewState().gridColour, 0xFF0000u);
    EXPECT_EQ(second.Display().CurrentViewState().kindColours, 1);
    EXPECT_NE(second.Display().CurrentViewState().headerWidth, 0);

    const ViewState saved = Saved();
    EXPECT_EQ(saved.headerWidth, 0);
    EXPECT_EQ(saved.kindColours, 1);
    EXPECT_EQ(saved.gridColour, 0xFF0000u);

    // A zoom keeps hidden headers hidden, and the dialog opens on them.
    dialogs.percent = 200;
    view->Display().OnDisplayScale();
    EXPECT_EQ(view->Display().CurrentViewState().headerWidth, 0);
    EXPECT_EQ(Saved().kindColours, 1);
    dialogs.style = {false, false, false, 15};
    view->Display().OnDisplayStyle();
    EXPECT_TRUE(dialogs.shownStyle.hideRowHeaders);
    EXPECT_EQ(dialogs.shownStyle.gridIndex, 1);
    EXPECT_EQ(view->ScreenPaintRequest(QRect()).kindColours, false);
    EXPECT_EQ(view->Display().CurrentViewState().headerWidth,
              ScaleSize(BaseHeaderMetrics().baseWidth, 2.8));
}

TEST_F(DisplayCommandTest, ZoomMovesAndSizesItemsAndChartFonts) {
    ASSERT_TRUE(doc.EnterDataState());
    std::shared_ptr<CComItem> item = doc.Items().CreateComItem(0);
    ASSERT_TRUE(item);
    auto* chart = dynamic_cast<CGraphItem*>(item.get());
    ASSERT_NE(chart, nullptr);
    item->SetRect({10, 20, 110, 70});
    chart->SetTrackedSize(QSize(100, 50));
    ScriptedDialogs dialogs;
    dialogs.percent = 200;
    view->Display().OnDisplayScale();
    EXPECT_EQ(item->GetRect(), (qor::items::Rect{20, 40, 220, 140}));
    EXPECT_EQ(chart->GetTrackedSize(), QSize(200, 100));
    using F = qor::items::ChartDesc::FontField;
    EXPECT_EQ(chart->GetChartDesc().GetFont(F::kTitleFont).size, 20);

    // Without a tracked size the chart keeps its scaled size.
    chart->SetTrackedSize(QSize(0, 0));
    dialogs.percent = 100;
    view->Display().OnDisplayScale();
    EXPECT_EQ(item->GetRect(), (qor::items::Rect{10, 20, 110, 70}));
}
