// Selecting, moving, sizing, deleting and reordering the items of a page
// through the view's item functions, on a real document.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <memory>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/cqorsdoc.h"
#include "view/cqorsview.h"
#include "print/viewitems_logic.h"

namespace {

using qor::items::Rect;
namespace v = qor::view;

// Sheet pixels shown unscrolled, 40 x 20 pixels of headers.
class ShiftView : public qor::items::IItemView {
public:
    Rect DocToClient(const Rect& r) const override {
        return {r.left + 40, r.top + 20, r.right + 40, r.bottom + 20};
    }
    const CComItem* SelectedItem() const override { return selected; }
    bool IsChartEditing() const override { return false; }
    const CComItem* selected = nullptr;
};

struct ItemsDoc : ::testing::Test {
    CQorsDoc doc;
    ShiftView view;

    void SetUp() override {
        ASSERT_TRUE(doc.Files().OnNewDocument());  // format state
        doc.SetSheetSize(600, 400);
    }
    std::shared_ptr<CComItem> chart(Rect r, uint32_t page = 0) {
        auto item = std::make_shared<CGraphItem>();
        item->SetRect(r);
        item->SetPage(page);
        doc.Items().AddComItem(item);
        return item;
    }
    CComItem* at(QPoint client) { return v::HitTestItems(doc, client, {40, 20}, 0, &view); }
    std::vector<CComItem*> order() {
        std::vector<CComItem*> out;
        for (CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos(); pos;)
            out.push_back(doc.Items().GetNextComItem(pos));
        return out;
    }
};

TEST_F(ItemsDoc, HitTestFindsTheTopmostItemAndIgnoresHeaders) {
    auto low = chart({0, 0, 100, 100});
    auto high = chart({50, 50, 150, 150});
    EXPECT_EQ(at({100, 100}), high.get());  // sheet (60, 80): both; the later wins
    EXPECT_EQ(at({50, 30}), low.get());
    EXPECT_EQ(at({300, 300}), nullptr);
    EXPECT_EQ(at({30, 30}), nullptr);  // over the row header
    // An item of another page is not hit.
    auto other = chart({0, 0, 100, 100}, 2);
    EXPECT_EQ(at({50, 30}), low.get());
    EXPECT_EQ(v::HitTestItems(doc, {50, 30}, {40, 20}, 2, &view), other.get());
}

TEST_F(ItemsDoc, SelectingEndsChartEditingOnlyOnAChange) {
    auto a = chart({0, 0, 100, 100});
    CComItem* sel = a.get();
    bool editing = true;
    EXPECT_FALSE(v::SelectItem(sel, a.get(), &editing));
    EXPECT_TRUE(editing);
    EXPECT_TRUE(v::SelectItem(sel, nullptr, &editing));
    EXPECT_FALSE(editing);
    EXPECT_EQ(sel, nullptr);
}

TEST_F(ItemsDoc, MovingStoresTheRectangleKeptOnTheSheet) {
    auto a = chart({10, 10, 110, 60});
    EXPECT_TRUE(v::MoveItemTo(doc, *a, {200, 100}));
    EXPECT_EQ(a->GetRect(), (Rect{200, 100, 300, 150}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(v::MoveItemTo(doc, *a, {580, -30}));
    EXPECT_EQ(a->GetRect(), (Rect{500, 0, 600, 50}));
    EXPECT_FALSE(v::MoveItemTo(doc, *a, {500, 0}));

    EXPECT_EQ(v::ClampRectToSheet({-5, 390, 95, 430}, {600, 400}), (Rect{0, 360, 100, 400}));
    EXPECT_EQ(v::ClampRectToSheet({100, 10, 0, 0}, {600, 400}), (Rect{0, 0, 100, 10}));
    EXPECT_EQ(v::ClampRectToSheet({0, 0, 700, 10}, {600, 400}), (Rect{0, 0, 700, 10}));
}

TEST_F(ItemsDoc, SizingAChartScalesItsDescription) {
    auto a = chart({0, 0, 100, 50});
    auto* g = static_cast<CGraphItem*>(a.get());
    qor::items::ChartDesc desc = g->GetChartDesc();
    desc.SetPartRect(qor::items::ChartDesc::kPlotRect, {10, 10, 90, 40});
    g->SetChartDesc(desc);
    EXPECT_TRUE(v::ApplyItemRect(doc, *a, {0, 0, 200, 25}));
    EXPECT_EQ(a->GetRect(), (Rect{0, 0, 200, 25}));
    EXPECT_EQ(g->GetChartDesc().GetPartRect(qor::items::ChartDesc::kPlotRect),
              (Rect{20, 5, 180, 20}));
    EXPECT_EQ(g->GetTrackedSize(), QSize(200, 25));
    EXPECT_FALSE(v::ApplyItemRect(doc, *a, {5, 5, 5, 30}));  // empty: refused
    EXPECT_EQ(a->GetRect(), (Rect{0, 0, 200, 25}));
}

TEST_F(ItemsDoc, DeletingRemovesTheItemAndClearsTheSelection) {
    auto a = chart({0, 0, 100, 100});
    auto b = chart({200, 0, 300, 100});
    CComItem* sel = b.get();
    EXPECT_TRUE(v::DeleteItem(doc, b.get(), &sel));
    EXPECT_EQ(sel, nullptr);
    EXPECT_EQ(order(), std::vector<CComItem*>{a.get()});
    EXPECT_FALSE(v::DeleteItem(doc, b.get(), &sel));  // no longer the document's
    auto ole = std::make_shared<COleItem>();
    doc.Items().AddComItem(ole);
    EXPECT_TRUE(v::DeleteItem(doc, ole.get()));
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
}

TEST_F(ItemsDoc, AppearanceStoresOnlyChangedFlags) {
    auto a = chart({0, 0, 10, 10});
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(v::ApplyItemLook(doc, *a, a->HasBorder(), a->IsTransparent()));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(v::ApplyItemLook(doc, *a, false, true));
    EXPECT_FALSE(a->HasBorder());
    EXPECT_TRUE(a->IsTransparent());
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ItemsDoc, OrderCommandsMoveToTheEndsOfTheList) {
    auto a = chart({0, 0, 10, 10});
    auto b = chart({0, 0, 20, 20});
    auto c = chart({0, 0, 30, 30});
    EXPECT_FALSE(v::CanBringToFront(doc, c.get()));
    EXPECT_FALSE(v::CanSendToBack(doc, a.get()));
    EXPECT_TRUE(v::BringToFront(doc, a.get()));
    EXPECT_EQ(order(), (std::vector<CComItem*>{b.get(), c.get(), a.get()}));
    EXPECT_TRUE(v::SendToBack(doc, c.get()));
    EXPECT_EQ(order(), (std::vector<CComItem*>{c.get(), b.get(), a.get()}));
    EXPECT_FALSE(v::SendToBack(doc, c.get()));
    EXPECT_EQ(at({45, 25}), a.get());  // the front item is hit first
    // A format item is not editable in data state: the commands stay off.
    ASSERT_TRUE(doc.EnterDataState());
    EXPECT_FALSE(v::IsItemEditable(doc, *b));
    EXPECT_FALSE(v::BringToFront(doc, b.get()));
    b->SetPage(1);
    EXPECT_TRUE(v::BringToFront(doc, b.get()));
}

}  // namespace

namespace {

TEST(ItemPlacement, NewChartFitsTheVisibleSheet) {
    EXPECT_EQ(v::NewChartClientRect({40, 20, 840, 620}), (Rect{290, 220, 590, 420}));
    // Only 250 pixels wide even at the first column: 248 wide, height kept.
    const Rect r = v::NewChartClientRect({40, 20, 290, 620});
    EXPECT_EQ(r.width(), 248);
    EXPECT_EQ(r.height(), 200);
    EXPECT_EQ(r.left, 41);
    EXPECT_EQ(v::NewChartClientRect({0, 0, 1, 1}).width(), 0);
}

TEST(ItemPlacement, DropPointStaysOnTheSheetAndCtrlCopies) {
    EXPECT_EQ(v::DropPoint({100, 80}, {30, 20}, {600, 400}), QPoint(70, 60));
    EXPECT_EQ(v::DropPoint({10, 900}, {30, 20}, {600, 400}), QPoint(0, 400));
    EXPECT_EQ(v::DropEffectFor(false, true), v::kDropNone);
    EXPECT_EQ(v::DropEffectFor(true, true), v::kDropCopy);
    EXPECT_EQ(v::DropEffectFor(true, false), v::kDropMove);
}

}  // namespace

namespace {

void drag(QWidget* w, QPoint to) {
    QTimer::singleShot(0, w, [w, to] {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(w->mapToGlobal(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(to), QPointF(w->mapToGlobal(to)),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &up);
    });
}

TEST(ItemsInView, PressSelectsThenMovesAndSizesTheItem) {
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    CQorsView view(&doc);
    view.resize(800, 600);
    view.OnInitialUpdate();
    doc.SetSheetSize(std::max(doc.ViewState().sheetWidth, 1000), std::max(doc.ViewState().sheetHeight, 1000));
    auto item = std::make_shared<CGraphItem>();
    item->SetRect({100, 100, 200, 160});
    doc.Items().AddComItem(item);
    Rect client = item->GetRect();
    view.Geometry().DocToClient(client);

    EXPECT_FALSE(view.Items().PressItem({client.right + 50, client.bottom + 50}, false));
    EXPECT_EQ(view.Items().Selected(), nullptr);

    // The middle of the selected item drags it.
    const QPoint mid((client.left + client.right) / 2, (client.top + client.bottom) / 2);
    drag(&view, mid + QPoint(30, 20));
    EXPECT_TRUE(view.Items().PressItem(mid, false));
    EXPECT_TRUE(view.Items().IsSelected(item.get()));
    EXPECT_EQ(item->GetRect(), (Rect{130, 120, 230, 180}));

    // The bottom-right handle sizes it.
    client = item->GetRect();
    view.Geometry().DocToClient(client);
    drag(&view, QPoint(client.right + 39, client.bottom + 9));
    EXPECT_TRUE(view.Items().PressItem({client.right - 1, client.bottom - 1}, false));
    EXPECT_EQ(item->GetRect(), (Rect{130, 120, 270, 190}));

    view.Items().OnSendToBack();  // alone in the list: nothing to do
    view.Items().DeleteSelectedItem();
    EXPECT_EQ(view.Items().Selected(), nullptr);
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
}

}  // namespace

// Resizing a chart by its tracker or by 属性's scale sizes its titles with
// it, as zooming the sheet does.
TEST_F(ItemsDoc, TitleFontsFollowTheChartsHeight) {
    using D = qor::items::ChartDesc;
    auto a = chart({0, 0, 100, 50});
    auto* g = static_cast<CGraphItem*>(a.get());
    auto setFonts = [&](int title, int x, int y) {
        D desc = g->GetChartDesc();
        for (auto [field, size] :
             {std::pair{D::kTitleFont, title}, {D::kXTitleFont, x}, {D::kYTitleFont, y}}) {
            qor::items::ChartFont f = desc.GetFont(field);
            f.size = size;
            desc.SetFont(field, f);
        }
        g->SetChartDesc(desc);
    };
    auto fonts = [&] {
        const D desc = g->GetChartDesc();
        return std::vector<int>{desc.GetFont(D::kTitleFont).size, desc.GetFont(D::kXTitleFont).size,
                                desc.GetFont(D::kYTitleFont).size};
    };
    setFonts(10, 12, 9);
    ASSERT_TRUE(v::ApplyItemRect(doc, *a, {0, 0, 300, 100}));  // twice as tall
    EXPECT_EQ(fonts(), (std::vector<int>{20, 24, 18}));
    ASSERT_TRUE(v::ApplyChartScale(doc, *a, 50, false));
    EXPECT_EQ(a->GetRect(), (Rect{0, 0, 150, 50}));
    EXPECT_EQ(fonts(), (std::vector<int>{10, 12, 9}));
    // Only the width changes: the titles keep their size.
    ASSERT_TRUE(v::ApplyItemRect(doc, *a, {0, 0, 600, 50}));
    EXPECT_EQ(fonts(), (std::vector<int>{10, 12, 9}));
    // A tiny chart keeps readable-at-all titles, and a zero height leaves them.
    ASSERT_TRUE(v::ApplyItemRect(doc, *a, {0, 0, 600, 2}));
    EXPECT_EQ(fonts(), (std::vector<int>{1, 1, 1}));
    D desc = g->GetChartDesc();
    setFonts(10, 12, 9);
    desc = g->GetChartDesc();
    v::ScaleChartDesc(&desc, 1, 1, 0, 5);
    EXPECT_EQ(desc.GetFont(D::kXTitleFont).size, 12);
}
