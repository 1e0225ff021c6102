#pragma once
// A chart on a report page: a document item carrying the chart's
// description and the picture of the chart as last drawn. The picture is
// not stored; the view draws it again from the description.

#include <QImage>
#include <QPicture>
#include <memory>

#include "charts/ccomitem.h"
#include "charts/chartdesc.h"

class CGraphItem : public CComItem {
public:
    static const qor::items::RuntimeClass classCGraphItem;
    static constexpr int kRecordSize = qor::items::ChartDesc::kSize + kTailSize;

    CGraphItem() = default;
    ~CGraphItem() override;
    const qor::items::RuntimeClass* GetRuntimeClass() const override { return &classCGraphItem; }

    void StoreRecord(qor::ByteWriter& out) override;
    bool LoadRecord(qor::ByteReader& in, QString* error) override;

    const qor::items::ChartDesc& GetChartDesc() const { return m_desc; }
    void SetChartDesc(const qor::items::ChartDesc& desc) {
        m_desc = desc;
        MarkPictureStale();
    }
    // Width and height set when the chart is resized in the chart view.
    QSize GetTrackedSize() const { return m_trackedSize; }
    void SetTrackedSize(QSize s) { m_trackedSize = s; }
    // HIMETRIC size of the rectangle the chart was last drawn into on a
    // screen or printer; (0, 0) until then.
    void SetMeasuredExtent(QSize s) { m_measuredExtent = s; }
    // The chart as last drawn (null until the view renders it); replacing
    // it drops the old one.
    const QPicture* GetPicture() const { return m_picture.get(); }
    void SetPicture(std::unique_ptr<QPicture> picture) {
        m_picture = std::move(picture);
        m_pictureSource = {};
        ++m_pictureSerial;
    }
    // What the picture was drawn from: the document's content generation,
    // the page whose cells it shows and the size it was drawn at. The view
    // draws the chart again when any of them moved on.
    struct PictureSource {
        quint64 generation = 0;
        int page = -1;
        QSize size;
        bool operator==(const PictureSource&) const = default;
    };
    const PictureSource& GetPictureSource() const { return m_pictureSource; }
    void SetPicture(std::unique_ptr<QPicture> picture, const PictureSource& source) {
        m_picture = std::move(picture);
        m_pictureSource = source;
        ++m_pictureSerial;
    }
    // The next paint draws the chart again.
    void MarkPictureStale() { m_pictureSource = {}; }

    // A chart always uses the content pair; sizes are clamped to 1500.
    QSize GetSize() const override { return m_contentSize; }
    void SetSize(int cx, int cy) override;
    QSize GetExtent() const override { return m_contentExtent; }
    void SetExtent(int cx, int cy) override;
    qor::items::Rect GetRect() const override { return rectFromSize(); }
    void SetRect(const qor::items::Rect& r) override { setRectThroughSize(r); }
    // Adapts the size to a changed measured extent; false when nothing
    // changed.
    bool UpdateExtent() override;
    void Move(const qor::items::Rect& r) override { moveWithRefresh(r); }
    void ResetExtent() override { resetExtentWithRefresh(); }
    void Delete() override;
    // Plays the stored picture into the rectangle; nothing without one.
    // (Drawing into a picture being recorded is the chart renderer's
    // business and comes with it.)
    void Draw(QPainter* painter, const qor::items::Rect& rect) override;
    void SetupTracker(qor::items::ItemTracker* tracker, const qor::items::IItemView* view,
                      qor::items::Rect* trueRect) override;
    bool HitTest(int x, int y, uint32_t page, const qor::items::IItemView* view) override {
        return hitTestOnPage(x, y, page, view);
    }
    // "Graph QOR Data" (the item's record), the chart as a PNG picture and
    // the object descriptor, in that order.
    QMimeData* CreateClipboardData() override;
    // A chart's change also marks the document modified.
    void UpdateItemViews() override;

private:
    // Plays the picture scaled into the rectangle.
    void play(QPainter* painter, const qor::items::Rect& rect) const;
    qor::items::ChartDesc m_desc;
    QSize m_trackedSize{0, 0};
    QSize m_measuredExtent{0, 0};
    std::unique_ptr<QPicture> m_picture;
    PictureSource m_pictureSource;
    // The picture played once into an image for the screen, and which
    // picture that was.
    QImage m_screenImage;
    quint64 m_pictureSerial = 0;
    quint64 m_screenImageSerial = 0;
};
