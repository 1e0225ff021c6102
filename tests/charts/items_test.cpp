// Document items: defaults, the size rules, page filtering of hit tests,
// the extent rules, the chart description's fields and the run-time classes.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "charts/cgraphitem.h"
#include "charts/chartdesc.h"
#include "charts/coleitem.h"
#include "charts/contentsstream.h"
#include "engine/reportlayout.h"

using qor::items::ChartDesc;
using qor::items::OleClientRecord;
using qor::items::Rect;

namespace {

// A document that owns its items through shared pointers, as the report
// document does, and counts what the items tell it.
struct FakeDocument : qor::items::IItemDocument {
    std::vector<std::shared_ptr<CComItem>> items;
    int updates = 0;
    int modified = 0;
    bool chartEditing = false;
    QSize sheet{1000, 800};

    void add(const std::shared_ptr<CComItem>& item) {
        items.push_back(item);
        item->SetDocument(this);
    }
    void RemoveComItem(CComItem* item) override {
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [item](const auto& p) { return p.get() == item; }),
                    items.end());
    }
    void UpdateItemViews(CComItem*) override { ++updates; }
    void SetModifiedFlag(bool) override { ++modified; }
    QSize SheetSize() const override { return sheet; }
    bool IsFirstViewChartEditing() const override { return chartEditing; }
};

QByteArray storedRecord(CComItem& item) {
    QByteArray out;
    qor::ByteWriter w(out);
    item.StoreRecord(w);
    return out;
}

uint16_t flagsOfTail(const QByteArray& record) {
    const int at = record.size() - CComItem::kTailSize + 44;
    return uint16_t(uint8_t(record[at]) | uint8_t(record[at + 1]) << 8);
}

}  // namespace

TEST(ComItem, NewItemDefaultsAndTheStoredTail) {
    CComItem item;
    EXPECT_EQ(item.GetPosition(), QPoint(100, 50));
    EXPECT_EQ(item.IconSize(), QSize(0, 0));
    EXPECT_EQ(item.ContentExtent(), QSize(0, 0));
    EXPECT_TRUE(item.HasBorder());
    EXPECT_FALSE(item.IsTransparent());
    EXPECT_EQ(item.GetRect(), Rect{});
    EXPECT_TRUE(item.UpdateExtent());
    EXPECT_FALSE(item.HitTest(110, 60, 0, nullptr));

    const QByteArray rec = storedRecord(item);
    ASSERT_EQ(rec.size(), 109);
    EXPECT_EQ(flagsOfTail(rec), 1);
    // Position lies after the page.
    qor::ByteReader r(rec);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_EQ(r.i32(), 100);
    EXPECT_EQ(r.i32(), 50);
}

TEST(ComItem, FlagsKeepUnknownBitsAndDriveTheOptions) {
    CComItem item;
    item.SetFlags(0xA5F3);  // both options and bits nobody defines
    QByteArray rec = storedRecord(item);
    // Storing follows the options (border on, transparent off).
    EXPECT_EQ(flagsOfTail(rec), 0xA5F1);

    CComItem loaded;
    rec[rec.size() - CComItem::kTailSize + 44] = char(0xF3);
    qor::ByteReader r(rec);
    ASSERT_TRUE(loaded.LoadRecord(r, nullptr));
    EXPECT_TRUE(loaded.HasBorder());
    EXPECT_TRUE(loaded.IsTransparent());
    EXPECT_EQ(flagsOfTail(storedRecord(loaded)), 0xA5F3);

    loaded.SetBorder(false);
    EXPECT_EQ(flagsOfTail(storedRecord(loaded)), 0xA5F2);
}

TEST(ComItem, OnlyTheFirst63NameBytesAreStored) {
    CComItem item;
    CComItem::NameField name{};
    for (int i = 0; i < CComItem::kNameFieldBytes; ++i) name[size_t(i)] = uint8_t(i + 1);
    item.SetNameField(name);
    const QByteArray rec = storedRecord(item);

    CComItem loaded;
    CComItem::NameField before{};
    before.fill(0xEE);
    loaded.SetNameField(before);
    qor::ByteReader r(rec);
    ASSERT_TRUE(loaded.LoadRecord(r, nullptr));
    for (int i = 0; i < CComItem::kNameFieldBytes; ++i)
        EXPECT_EQ(loaded.GetNameField()[size_t(i)], i < 63 ? uint8_t(i + 1) : 0xEE) << i;
}

TEST(ComItem, SizesAreClampedAboveOnlyInThePairTheClassUses) {
    CGraphItem chart;
    chart.SetSize(2000, 40);
    EXPECT_EQ(chart.GetSize(), QSize(1500, 40));
    chart.SetSize(-5, 0);
    EXPECT_EQ(chart.GetSize(), QSize(-5, 0));
    chart.SetExtent(90000, 3);  // extents are not clamped
    EXPECT_EQ(chart.ContentExtent(), QSize(90000, 3));
    EXPECT_EQ(chart.IconSize(), QSize(0, 0));

    COleItem ole;
    OleClientRecord icon;
    icon.drawAspect = OleClientRecord::kAspectIcon;
    ole.SetClient(icon);
    ole.SetSize(32, 2400);
    EXPECT_EQ(ole.IconSize(), QSize(32, 1500));
    EXPECT_EQ(ole.ContentSize(), QSize(0, 0));
    ole.SetClient(OleClientRecord());
    ole.SetRect(Rect{10, 20, 110, 70});
    EXPECT_EQ(ole.ContentSize(), QSize(100, 50));
    EXPECT_EQ(ole.GetRect(), (Rect{10, 20, 110, 70}));
    EXPECT_EQ(ole.IconSize(), QSize(32, 1500));
}

namespace {
struct CountingChart : CGraphItem {
    int trackers = 0;
    void SetupTracker(qor::items::ItemTracker* t, const qor::items::IItemView* v,
                      Rect* r) override {
        ++trackers;
        CGraphItem::SetupTracker(t, v, r);
    }
};
}  // namespace

TEST(ComItem, HitTestFiltersByPageBeforeSettingUpATracker) {
    CountingChart chart;
    chart.SetRect(Rect{100, 50, 300, 150});
    chart.SetPage(0);
    for (uint32_t page : {1u, 2u, 7u}) EXPECT_TRUE(chart.HitTest(150, 100, page, nullptr));
    EXPECT_FALSE(chart.HitTest(350, 100, 1, nullptr));
    chart.trackers = 0;
    chart.SetPage(3);
    EXPECT_FALSE(chart.HitTest(150, 100, 2, nullptr));
    EXPECT_EQ(chart.trackers, 0);
    EXPECT_TRUE(chart.HitTest(150, 100, 3, nullptr));
    EXPECT_EQ(chart.trackers, 1);
}

TEST(ComItem, TrackerHandlesAndInside) {
    qor::items::ItemTracker t;
    t.rect = Rect{0, 0, 100, 60};
    t.style = qor::items::kTrackSolidLine;
    EXPECT_EQ(t.HitTest({1, 1}), 8);  // no handles without a resize style
    EXPECT_EQ(t.HitTest({100, 60}), -1);
    t.style |= qor::items::kTrackResizeInside;
    EXPECT_EQ(t.HitTest({1, 1}), 0);
    EXPECT_EQ(t.HitTest({98, 58}), 2);
    EXPECT_EQ(t.HitTest({50, 2}), 4);
    EXPECT_EQ(t.HitTest({50, 30}), 8);
}

TEST(ComItem, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(qor::items::MulDiv(2540, 10, 254), 100);
    EXPECT_EQ(qor::items::MulDiv(5, 1, 2), 3);
    EXPECT_EQ(qor::items::MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(qor::items::MulDiv(7, 3, 0), -1);
}

TEST(GraphItem, UpdateExtentSizesANewChartThenScalesIt) {
    FakeDocument doc;
    auto chart = std::make_shared<CGraphItem>();
    doc.add(chart);

    EXPECT_FALSE(chart->UpdateExtent());  // nothing measured yet
    EXPECT_EQ(doc.updates, 0);

    chart->SetMeasuredExtent(QSize(5080, 2540));
    EXPECT_TRUE(chart->UpdateExtent());
    EXPECT_EQ(chart->GetSize(), QSize(200, 100));
    EXPECT_EQ(chart->GetExtent(), QSize(5080, 2540));
    EXPECT_GT(doc.modified, 0);           // a chart's refresh marks the document
    EXPECT_FALSE(chart->UpdateExtent());  // same extent again

    chart->SetMeasuredExtent(QSize(10160, 1270));
    EXPECT_TRUE(chart->UpdateExtent());
    EXPECT_EQ(chart->GetSize(), QSize(400, 50));

    // While the first view edits a chart, the size is left alone.
    doc.chartEditing = true;
    chart->SetMeasuredExtent(QSize(5080, 2540));
    EXPECT_TRUE(chart->UpdateExtent());
    EXPECT_EQ(chart->GetSize(), QSize(400, 50));
    EXPECT_EQ(chart->GetExtent(), QSize(5080, 2540));

    chart->ResetExtent();
    EXPECT_EQ(chart->GetExtent(), QSize(5080, 2540));  // re-measured from zero
    EXPECT_EQ(chart->GetSize(), QSize(200, 100));
}

TEST(OleItem, UpdateExtentKeepsTheItemInsideTheSheet) {
    FakeDocument doc;
    doc.sheet = QSize(300, 200);
    auto ole = std::make_shared<COleItem>();
    doc.add(ole);
    EXPECT_FALSE(ole->UpdateExtent());  // extent unknown: a 50 x 50 start
    EXPECT_EQ(ole->GetSize(), QSize(50, 50));

    OleClientRecord c;
    c.cachedExtent = QSize(10160, 5080);  // 400 x 200 pixels
    ole->SetClient(c);
    ole->SetExtent(0, 0);
    ole->SetPosition(QPoint(100, 50));
    EXPECT_TRUE(ole->UpdateExtent());
    // 400 wide on a 300-wide sheet: pushed left to end at the edge, then
    // its left edge comes back to 0.
    EXPECT_EQ(ole->GetRect(), (Rect{0, 0, 400, 200}));
    EXPECT_FALSE(ole->IsSizeFixed());

    // A second change rescales once and then holds the size.
    c.cachedExtent = QSize(5080, 2540);
    ole->SetClient(c);
    EXPECT_TRUE(ole->UpdateExtent());
    EXPECT_EQ(ole->GetSize(), QSize(200, 100));
    EXPECT_TRUE(ole->IsSizeFixed());
    c.cachedExtent = QSize(2540, 2540);
    ole->SetClient(c);
    EXPECT_TRUE(ole->UpdateExtent());
    EXPECT_EQ(ole->GetSize(), QSize(200, 100));
}

TEST(Items, DeleteLeavesTheDocumentAndDropsTheItem) {
    FakeDocument doc;
    std::weak_ptr<CComItem> chartRef, oleRef;
    {
        auto chart = std::make_shared<CGraphItem>();
        auto ole = std::make_shared<COleItem>();
        doc.add(chart);
        doc.add(ole);
        chartRef = chart;
        oleRef = ole;
    }
    ASSERT_EQ(doc.items.size(), 2u);
    doc.items.front()->Delete();  // the list held the last reference
    EXPECT_TRUE(chartRef.expired());
    ASSERT_EQ(doc.items.size(), 1u);
    oleRef.lock()->Delete();
    EXPECT_TRUE(doc.items.empty());
    EXPECT_TRUE(oleRef.expired());
}

TEST(Items, DrawPlaysTheStoredPicture) {
    CGraphItem chart;
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        chart.Draw(&p, Rect{0, 0, 40, 40});  // no picture: nothing drawn
    }
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 255, 255));

    auto picture = std::make_unique<QPicture>();
    {
        QPainter p(picture.get());
        p.fillRect(QRect(0, 0, 10, 10), Qt::red);
    }
    chart.SetPicture(std::move(picture));
    {
        QPainter p(&image);
        chart.Draw(&p, Rect{10, 10, 30, 30});
    }
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
}

TEST(ChartDesc, TextsStayInsideTheirFields) {
    ChartDesc d;
    EXPECT_EQ(d.GetFont(ChartDesc::kTitleFont).size, 10);
    ASSERT_TRUE(d.SetText(ChartDesc::kTitleText, QStringLiteral("标题")));
    ASSERT_TRUE(d.SetText(ChartDesc::kNameText, QStringLiteral("GRAPH_123")));
    EXPECT_EQ(d.GetText(ChartDesc::kNameText), QStringLiteral("GRAPH_123"));
    EXPECT_EQ(d.GetText(ChartDesc::kTitleText), QStringLiteral("标题"));
    EXPECT_FALSE(d.SetText(ChartDesc::kXTitleText, QStringLiteral("0123456789")));
    EXPECT_EQ(d.GetText(ChartDesc::kXTitleText), QString());

    // The unaligned fields sit where the layout puts them.
    const QByteArray b = d.Bytes();
    ASSERT_EQ(b.size(), 360);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 132), 9),
              QStringLiteral("GRAPH_123"));
    EXPECT_EQ(uint8_t(b[153]), 0x07);  // low byte of U+6807
    EXPECT_EQ(uint8_t(b[154]), 0x68);
}

TEST(ChartDesc, DefinedChartDefaults) {
    const ChartDesc d = ChartDesc::MakeDefault(320, 160, 4);
    EXPECT_EQ(d.GetPartRect(ChartDesc::kPlotRect), (Rect{60, 30, 260, 130}));
    EXPECT_EQ(d.GetPartRect(ChartDesc::kBottomRect), (Rect{60, 140, 260, 160}));
    EXPECT_EQ(d.GetCurrentGroup(), 1);
    EXPECT_EQ(d.GetText(ChartDesc::kNameText), QStringLiteral("GRAPH_4"));
    EXPECT_EQ(d.GetText(ChartDesc::kYTitleText), QStringLiteral("Y标题"));
    EXPECT_EQ(d.GetFont(ChartDesc::kXTitleFont),
              (qor::items::ChartFont{QStringLiteral("Tahoma"), 10, 0}));

    ChartDesc area;
    area.SetSourceArea(CellArea::area(2, 3, 9, 5));
    EXPECT_EQ(area.SourceAreaField(1), 2);
    EXPECT_EQ(area.SourceAreaField(5), 5);
    EXPECT_EQ(area.GetSourceArea(), CellArea::area(2, 3, 9, 5));
}

TEST(RuntimeClasses, NamesMakeObjectsOfTheirClass) {
    using namespace qor::items;
    auto g = CreateItemObject(QStringLiteral("CGraphItem"));
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->IsKindOf(&CGraphItem::classCGraphItem));
    EXPECT_TRUE(g->IsKindOf(&CComItem::classCComItem));
    EXPECT_FALSE(g->IsKindOf(&COleItem::classCOleItem));
    EXPECT_TRUE(CreateItemObject(QStringLiteral("COleItem"))->IsKindOf(&COleItem::classCOleItem));
    EXPECT_TRUE(CreateItemObject(QStringLiteral("CComItem")));
    EXPECT_FALSE(CreateItemObject(QStringLiteral("cgraphitem")));
    EXPECT_FALSE(CreateItemObject(QStringLiteral("CDocItem")));
    EXPECT_FALSE(RegisterRuntimeClass(&CGraphItem::classCGraphItem));
}
