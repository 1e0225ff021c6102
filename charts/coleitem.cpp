#include "charts/coleitem.h"

#include <QMimeData>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "charts/contentsstream.h"
#include "charts/itemformats.h"
#include "charts/objectdata.h"
#include "engine/reportlayout.h"

using qor::items::OleClientRecord;
using qor::items::Rect;

const qor::items::RuntimeClass COleItem::classCOleItem{
    "COleItem", "CComItem", 0,
    []() -> std::shared_ptr<CComItem> { return std::make_shared<COleItem>(); }};

COleItem::~COleItem() = default;

namespace {

constexpr int kMaxTextUnits = 4096;

void writeText(qor::ByteWriter& out, const QString& s) {
    const QString t = s.left(kMaxTextUnits);
    out.u16(uint16_t(t.size()));
    out.utf16(t);
}

bool readText(qor::ByteReader& in, QString* s) {
    const uint16_t n = in.u16();
    if (!in.ok() || n > kMaxTextUnits || !in.need(size_t(n) * 2)) return false;
    *s = in.utf16(n);
    return in.ok();
}

}  // namespace

// Client record: u16 revision, u16 reserved, u32 length of the fields that
// follow up to the tail, then item type, draw aspect, embedding number (32-bit
// each), cached extent (two 32-bit values), class id and link source (u16
// units + UTF-16 each), presentation (u32 length + bytes), then whatever a newer revision
// adds.
void COleItem::StoreRecord(qor::ByteWriter& out) {
    QByteArray body;
    qor::ByteWriter w(body);
    w.u32(m_client.itemType);
    w.u32(m_client.drawAspect);
    w.u32(m_client.embedding);
    w.i32(m_client.cachedExtent.width());
    w.i32(m_client.cachedExtent.height());
    writeText(w, m_client.classId);
    writeText(w, m_client.linkSource);
    w.u32(uint32_t(m_client.presentation.size()));
    w.bytes(m_client.presentation);
    w.bytes(m_client.extra);
    out.u16(OleClientRecord::kRevision);
    out.u16(0);
    out.u32(uint32_t(body.size()));
    out.bytes(body);
    StoreTail(out);
}

bool COleItem::LoadRecord(qor::ByteReader& in, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const uint16_t revision = in.u16();
    in.u16();
    const uint32_t bodySize = in.u32();
    if (!in.ok()) return fail(QStringLiteral("OLE item record too short"));
    if ((revision & qor::kRevisionMajorMask) >
        (OleClientRecord::kRevision & qor::kRevisionMajorMask))
        return fail(QStringLiteral("OLE client record of a newer revision"));
    if (in.remaining() < size_t(kTailSize) || bodySize != in.remaining() - size_t(kTailSize))
        return fail(QStringLiteral("OLE client record length does not match the item record"));
    qor::ByteReader body(in.current(), bodySize);
    OleClientRecord c;
    c.itemType = body.u32();
    c.drawAspect = body.u32();
    c.embedding = body.u32();
    const int32_t ecx = body.i32();
    const int32_t ecy = body.i32();
    c.cachedExtent = QSize(ecx, ecy);
    if (!body.ok() || !readText(body, &c.classId) || !readText(body, &c.linkSource))
        return fail(QStringLiteral("damaged OLE client record"));
    const uint32_t pictureSize = body.u32();
    if (!body.ok() || pictureSize > body.remaining())
        return fail(QStringLiteral("damaged OLE client record"));
    c.presentation = body.bytes(pictureSize);
    c.extra = body.bytes(body.remaining());
    if (!body.ok()) return fail(QStringLiteral("damaged OLE client record"));
    in.skip(bodySize);
    if (!LoadTail(in) || in.remaining() != 0) return fail(QStringLiteral("damaged OLE item tail"));
    m_client = c;
    m_sizeFixed = true;
    return true;
}

QSize COleItem::GetSize() const { return iconShown() ? m_iconSize : m_contentSize; }

void COleItem::SetSize(int cx, int cy) {
    const QSize s(std::min(cx, kMaxItemSize), std::min(cy, kMaxItemSize));
    (iconShown() ? m_iconSize : m_contentSize) = s;
}

QSize COleItem::GetExtent() const { return iconShown() ? m_iconExtent : m_contentExtent; }

void COleItem::SetExtent(int cx, int cy) {
    (iconShown() ? m_iconExtent : m_contentExtent) = QSize(cx, cy);
}

bool COleItem::UpdateExtent() {
    using qor::items::MulDiv;
    const QSize current = GetExtent();
    const QSize cached = m_client.cachedExtent;
    const bool currentZero = current.width() == 0 && current.height() == 0;
    if (cached.width() <= 0 && cached.height() <= 0) {
        // The object cannot say how large it is.
        if (currentZero) SetSize(50, 50);
        return false;
    }
    UpdateItemViews();
    if (cached == current) return false;
    if (currentZero) {
        SetSize(MulDiv(cached.width(), 10, 254), MulDiv(cached.height(), 10, 254));
    } else if (m_state != OleClientRecord::kActive && m_state != OleClientRecord::kActiveUI &&
               !m_sizeFixed) {
        const QSize size = GetSize();
        const int cx =
            current.width() ? MulDiv(size.width(), cached.width(), current.width()) : size.width();
        const int cy = current.height() ? MulDiv(size.height(), cached.height(), current.height())
                                        : size.height();
        SetSize(cx, cy);
        m_sizeFixed = true;
    }
    SetExtent(cached.width(), cached.height());
    if (const qor::items::IItemDocument* doc = GetDocument()) {
        const QSize sheet = doc->SheetSize();
        Rect r = GetRect();
        const Rect before = r;
        if (r.right > sheet.width()) {
            r.left -= r.right - sheet.width();
            r.right = sheet.width();
        }
        if (r.bottom > sheet.height()) {
            r.top -= r.bottom - sheet.height();
            r.bottom = sheet.height();
        }
        if (r.left < 0) {
            r.right -= r.left;
            r.left = 0;
        }
        if (r.top < 0) {
            r.bottom -= r.top;
            r.top = 0;
        }
        if (r.width() < 10) r.right = r.left + 10;
        if (r.height() < 10) r.bottom = r.top + 10;
        if (!(r == before)) SetRect(r);
    }
    UpdateItemViews();
    return true;
}

void COleItem::Delete() {
    m_client = OleClientRecord();
    removeFromDocument();
}

void COleItem::Draw(QPainter* painter, const Rect& rect) {
    if (!painter || m_client.presentation.isEmpty() || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QImage image = QImage::fromData(m_client.presentation);
    if (image.isNull()) return;
    const QRect target(rect.left, rect.top, rect.width(), rect.height());
    if (iconShown() || m_client.classId != QLatin1String(qor::items::kReportObjectClass)) {
        painter->drawImage(target, image);
        return;
    }
    // An embedded report shows its cells as the sheet shows cells, at the
    // view's scale, as many as the object holds: a table squeezed into the
    // object's rectangle cannot be read.
    const Rect onSheet = GetRect();
    const double zoom = onSheet.width() > 0 ? double(rect.width()) / onSheet.width() : 1.0;
    painter->save();
    painter->setClipRect(target, Qt::IntersectClip);
    painter->drawImage(QRectF(target.left(), target.top(), image.width() * zoom, image.height() * zoom),
                       image);
    painter->restore();
}

void COleItem::SetupTracker(qor::items::ItemTracker* tracker, const qor::items::IItemView* view,
                            Rect* trueRect) {
    if (!tracker) return;
    const Rect r = GetRect();
    tracker->rect = view ? view->DocToClient(r) : r;
    tracker->minimum = QSize(8, 8);
    tracker->style = view && view->SelectedItem() == this
                         ? (qor::items::kTrackResizeInside | qor::items::kTrackSolidLine)
                         : 0;
    tracker->style |= m_client.itemType == OleClientRecord::kLink ? qor::items::kTrackDottedLine
                                                                  : qor::items::kTrackSolidLine;
    if (m_state == OleClientRecord::kOpen || m_state == OleClientRecord::kActiveUI)
        tracker->style |= qor::items::kTrackHatchInside;
    if (trueRect) *trueRect = tracker->rect;
}

QMimeData* COleItem::CreateClipboardData() {
    const QByteArray record = qor::items::WriteItemObject(*this);
    if (record.isEmpty()) return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(qor::items::kOleFormatName),
                  qor::items::WriteOlePayload(record, m_data));
    const QString png = QStringLiteral("image/png");
    // Other programs read the object by its own class; the picture follows
    // unless the object is a PNG itself.
    if (m_client.itemType != OleClientRecord::kLink && !m_data.isEmpty() &&
        !m_client.classId.isEmpty() && !m_client.classId.startsWith(QLatin1String("text/")))
        data->setData(m_client.classId, m_data);
    if (!m_client.presentation.isEmpty() && !data->hasFormat(png))
        data->setData(png, m_client.presentation);
    const Rect r = GetRect();
    const QSize size(std::abs(r.width()), std::abs(r.height()));
    data->setData(QString::fromLatin1(qor::items::kObjectDescriptorMime),
                  qor::items::ObjectDescriptor(qor::items::PixelsToHimetric(size)));
    return data.release();
}

std::shared_ptr<COleItem> COleItem::FromClipboardData(const QByteArray& payload, QString* error) {
    QByteArray record, bytes;
    if (!qor::items::ReadOlePayload(payload, &record, &bytes, error)) return nullptr;
    std::shared_ptr<CComItem> item = qor::items::ReadItemObject(record, error);
    auto object = std::dynamic_pointer_cast<COleItem>(item);
    if (!object) {
        if (item && error) *error = QStringLiteral("the data hold no object");
        return nullptr;
    }
    if (object->m_client.itemType == OleClientRecord::kLink) bytes.clear();
    object->m_data = bytes;
    return object;
}
