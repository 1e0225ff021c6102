#include "charts/ccomitem.h"

#include <cstring>

#include "engine/reportlayout.h"

using qor::items::Rect;

const qor::items::RuntimeClass CComItem::classCComItem{
    "CComItem", "CDocItem", 0,
    []() -> std::shared_ptr<CComItem> { return std::make_shared<CComItem>(); }};

CComItem::~CComItem() = default;

bool CComItem::IsKindOf(const qor::items::RuntimeClass* cls) const {
    return GetRuntimeClass()->IsDerivedFrom(cls);
}

void CComItem::SetStoredSizes(QSize iconSize, QSize contentSize, QSize iconExtent,
                              QSize contentExtent) {
    m_iconSize = iconSize;
    m_contentSize = contentSize;
    m_iconExtent = iconExtent;
    m_contentExtent = contentExtent;
}

QString CComItem::GetName() const {
    QString s;
    for (int i = 0; i + 1 < kNameFieldBytes; i += 2) {
        const char16_t u = char16_t(m_name[size_t(i)] | (m_name[size_t(i) + 1] << 8));
        if (!u) break;
        s.append(QChar(u));
    }
    return s;
}

// ---- stored record

void CComItem::StoreRecord(qor::ByteWriter& out) { StoreTail(out); }

bool CComItem::LoadRecord(qor::ByteReader& in, QString* error) {
    if (!LoadTail(in) || in.remaining() != 0) {
        if (error)
            *error = QStringLiteral("item record of %1 bytes, %2 expected")
                         .arg(in.size())
                         .arg(kTailSize);
        return false;
    }
    return true;
}

static void writeSize(qor::ByteWriter& out, QSize s) {
    out.i32(s.width());
    out.i32(s.height());
}

static QSize readSize(qor::ByteReader& in) {
    const int32_t cx = in.i32();
    const int32_t cy = in.i32();
    return {cx, cy};
}

void CComItem::StoreTail(qor::ByteWriter& out) {
    m_flags = uint16_t((m_flags & ~(kFlagBorder | kFlagTransparent)) |
                       (m_border ? kFlagBorder : 0) | (m_transparent ? kFlagTransparent : 0));
    out.u32(m_page);
    out.i32(m_position.x());
    out.i32(m_position.y());
    writeSize(out, m_iconSize);
    writeSize(out, m_iconExtent);
    writeSize(out, m_contentSize);
    writeSize(out, m_contentExtent);
    out.u16(m_flags);
    out.bytes(reinterpret_cast<const char*>(m_name.data()), kStoredNameBytes);
}

bool CComItem::LoadTail(qor::ByteReader& in) {
    if (!in.need(kTailSize)) return false;
    m_page = in.u32();
    const int32_t x = in.i32();
    const int32_t y = in.i32();
    m_position = QPoint(x, y);
    m_iconSize = readSize(in);
    m_iconExtent = readSize(in);
    m_contentSize = readSize(in);
    m_contentExtent = readSize(in);
    m_flags = in.u16();
    const QByteArray name = in.bytes(kStoredNameBytes);
    std::memcpy(m_name.data(), name.constData(), kStoredNameBytes);
    m_border = (m_flags & kFlagBorder) != 0;
    m_transparent = (m_flags & kFlagTransparent) != 0;
    return in.ok();
}

// ---- default operations

void CComItem::SetSize(int, int) {}
void CComItem::SetExtent(int, int) {}
void CComItem::SetRect(const Rect&) {}
void CComItem::Move(const Rect&) {}
void CComItem::Draw(QPainter*, const Rect&) {}
void CComItem::SetupTracker(qor::items::ItemTracker*, const qor::items::IItemView*, Rect*) {}
bool CComItem::HitTest(int, int, uint32_t, const qor::items::IItemView*) { return false; }

void CComItem::UpdateItemViews() {
    if (m_document) m_document->UpdateItemViews(this);
}

// ---- shared bodies of the derived classes

Rect CComItem::rectFromSize() const { return Rect::fromPosSize(m_position, GetSize()); }

void CComItem::setRectThroughSize(const Rect& r) {
    m_position = QPoint(r.left, r.top);
    SetSize(r.width(), r.height());
}

bool CComItem::hitTestOnPage(int x, int y, uint32_t page, const qor::items::IItemView* view) {
    if (m_page != 0 && m_page != page) return false;
    qor::items::ItemTracker tracker;
    SetupTracker(&tracker, view, nullptr);
    return tracker.HitTest(QPoint(x, y)) >= 0;
}

void CComItem::moveWithRefresh(const Rect& r) {
    UpdateItemViews();
    SetRect(r);
    UpdateItemViews();
}

void CComItem::resetExtentWithRefresh() {
    UpdateItemViews();
    SetExtent(0, 0);
    UpdateExtent();
}

void CComItem::removeFromDocument() {
    // The document's list may hold the last reference: keep this object
    // alive until the document is done with it and the pointer is cleared.
    std::shared_ptr<CComItem> self = weak_from_this().lock();
    if (m_document) m_document->RemoveComItem(this);
    m_document = nullptr;
}
