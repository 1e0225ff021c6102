#include "charts/cgraphitem.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "charts/contentsstream.h"
#include "charts/itemformats.h"
#include "engine/reportlayout.h"

using qor::items::Rect;

const qor::items::RuntimeClass CGraphItem::classCGraphItem{
    "CGraphItem", "CComItem", 0,
    []() -> std::shared_ptr<CComItem> { return std::make_shared<CGraphItem>(); }};

CGraphItem::~CGraphItem() = default;

void CGraphItem::StoreRecord(qor::ByteWriter& out) {
    out.bytes(m_desc.Bytes());
    StoreTail(out);
}

bool CGraphItem::LoadRecord(qor::ByteReader& in, QString* error) {
    if (in.size() != size_t(kRecordSize)) {
        if (error)
            *error = QStringLiteral("chart record of %1 bytes, %2 expected")
                         .arg(in.size())
                         .arg(kRecordSize);
        return false;
    }
    m_desc.SetBytes(in.bytes(qor::items::ChartDesc::kSize));
    if (!LoadTail(in) || !in.ok()) {
        if (error) *error = QStringLiteral("damaged chart record");
        return false;
    }
    return true;
}

void CGraphItem::SetSize(int cx, int cy) {
    m_contentSize = QSize(std::min(cx, kMaxItemSize), std::min(cy, kMaxItemSize));
}

void CGraphItem::SetExtent(int cx, int cy) { m_contentExtent = QSize(cx, cy); }

bool CGraphItem::UpdateExtent() {
    using qor::items::MulDiv;
    const QSize measured = m_measuredExtent;
    if (measured.width() == 0 && measured.height() == 0) return false;
    UpdateItemViews();
    const QSize current = GetExtent();
    if (measured == current) return false;
    if (current.width() == 0 && current.height() == 0) {
        SetSize(MulDiv(measured.width(), 10, 254), MulDiv(measured.height(), 10, 254));
    } else {
        const qor::items::IItemDocument* doc = GetDocument();
        if (!(doc && doc->IsFirstViewChartEditing())) {
            // A zero extent on one axis cannot scale that axis; it keeps
            // its size instead of taking MulDiv's -1.
            const QSize size = GetSize();
            const int cx = current.width() ? MulDiv(size.width(), measured.width(), current.width())
                                           : size.width();
            const int cy = current.height()
                               ? MulDiv(size.height(), measured.height(), current.height())
                               : size.height();
            SetSize(cx, cy);
        }
    }
    SetExtent(measured.width(), measured.height());
    UpdateItemViews();
    return true;
}

void CGraphItem::Delete() {
    m_picture.reset();
    removeFromDocument();
}

void CGraphItem::Draw(QPainter* painter, const Rect& rect) {
    if (!painter || !m_picture || m_picture->isNull()) return;
    const QRect bounds = m_picture->boundingRect();
    if (bounds.isEmpty() || rect.width() <= 0 || rect.height() <= 0) return;
    // On the screen the picture is played once into an image of the
    // chart's size, and later paints only copy the image: laying out the
    // chart's texts again is what makes playing a picture slow.
    const QPaintDevice* device = painter->device();
    const int type = device ? device->devType() : 0;
    const QTransform& t = painter->worldTransform();
    if ((type == QInternal::Widget || type == QInternal::Image || type == QInternal::Pixmap) &&
        t.type() <= QTransform::TxTranslate) {
        const qreal ratio = device->devicePixelRatioF();
        const QSize pixels(int(std::ceil(rect.width() * ratio)), int(std::ceil(rect.height() * ratio)));
        if (m_screenImage.size() != pixels || m_screenImageSerial != m_pictureSerial) {
            QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::transparent);
            {
                QPainter p(&image);
                play(&p, Rect{0, 0, rect.width(), rect.height()});
            }
            m_screenImage = image;
            m_screenImageSerial = m_pictureSerial;
        }
        painter->drawImage(QPoint(rect.left, rect.top), m_screenImage);
        return;
    }
    play(painter, rect);
}

void CGraphItem::play(QPainter* painter, const Rect& rect) const {
    const QRect bounds = m_picture->boundingRect();
    painter->save();
    painter->translate(rect.left, rect.top);
    painter->scale(double(rect.width()) / bounds.width(), double(rect.height()) / bounds.height());
    painter->translate(-bounds.left(), -bounds.top());
    // A picture plays itself scaled by the device's resolution over the
    // screen's; a printer's 1200 dpi would draw the chart twelve times too
    // large, off the page. Undo that here so the rectangle alone decides.
    if (const QPaintDevice* device = painter->device()) {
        // A new image carries the screen resolution the picture assumes.
        static const QImage probe(1, 1, QImage::Format_RGB32);
        const int dx = device->logicalDpiX(), dy = device->logicalDpiY();
        if (dx > 0 && dy > 0 && probe.logicalDpiX() > 0 && probe.logicalDpiY() > 0)
            painter->scale(double(probe.logicalDpiX()) / dx, double(probe.logicalDpiY()) / dy);
    }
    painter->drawPicture(0, 0, *m_picture);
    painter->restore();
}

QMimeData* CGraphItem::CreateClipboardData() {
    const QByteArray record = qor::items::WriteItemObject(*this);
    if (record.isEmpty()) return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(qor::items::kGraphFormatName), record);
    const Rect r = GetRect();
    const QSize size(std::abs(r.width()), std::abs(r.height()));
    if (GetDocument()) GetDocument()->RefreshChartPicture(this, false);
    if (m_picture && !m_picture->isNull() && !size.isEmpty()) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            Draw(&p, Rect{0, 0, size.width(), size.height()});
        }
        QByteArray png;
        QBuffer buffer(&png);
        if (buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"))
            data->setData(QStringLiteral("image/png"), png);
    }
    data->setData(QString::fromLatin1(qor::items::kObjectDescriptorMime),
                  qor::items::ObjectDescriptor(qor::items::PixelsToHimetric(size)));
    return data.release();
}

void CGraphItem::SetupTracker(qor::items::ItemTracker* tracker, const qor::items::IItemView* view,
                              Rect* trueRect) {
    if (!tracker) return;
    const Rect r = GetRect();
    tracker->rect = view ? view->DocToClient(r) : r;
    tracker->minimum = QSize(8, 8);
    tracker->style = 0;
    const bool selected = view && view->SelectedItem() == this;
    if (!(selected && view->IsChartEditing()))
        tracker->style = selected ? (qor::items::kTrackSolidLine | qor::items::kTrackResizeInside)
                                  : qor::items::kTrackSolidLine;
    if (trueRect) *trueRect = tracker->rect;
}

void CGraphItem::UpdateItemViews() {
    if (qor::items::IItemDocument* doc = GetDocument()) {
        doc->UpdateItemViews(this);
        doc->SetModifiedFlag(true);
    }
}
