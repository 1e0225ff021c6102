#pragma once
// A free-standing object on a report page (a chart or an embedded object):
// the page it lies on, its place and size in sheet pixels, its natural
// extent, two display options and a name field, plus the operations
// through which the document and the views place, draw, select, copy and
// drag an item without knowing its kind.
//
// The stored record of every item ends with the same 109-byte tail (page,
// position, icon size, icon extent, content size, content extent, flags, 63
// bytes of the name field); a derived class writes its own part first.

#include <QPoint>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "charts/itemclass.h"
#include "charts/itemsupport.h"

class QPainter;

namespace qor {
class ByteReader;
class ByteWriter;
}  // namespace qor

class QMimeData;

class CComItem : public std::enable_shared_from_this<CComItem> {
public:
    static const qor::items::RuntimeClass classCComItem;

    static constexpr int kTailSize = 109;
    static constexpr int kNameFieldBytes = 126;
    static constexpr int kStoredNameBytes = 63;
    static constexpr int32_t kMaxItemSize = 1500;
    // Bits of the stored flags word that mirror the two display options.
    static constexpr uint16_t kFlagBorder = 0x0001;
    static constexpr uint16_t kFlagTransparent = 0x0002;

    using NameField = std::array<uint8_t, kNameFieldBytes>;

    CComItem() = default;
    virtual ~CComItem();
    CComItem(const CComItem&) = delete;
    CComItem& operator=(const CComItem&) = delete;

    virtual const qor::items::RuntimeClass* GetRuntimeClass() const { return &classCComItem; }
    bool IsKindOf(const qor::items::RuntimeClass* cls) const;

    // The owning document; null until the document adds the item.
    qor::items::IItemDocument* GetDocument() const { return m_document; }
    void SetDocument(qor::items::IItemDocument* doc) { m_document = doc; }

    // ---- the stored record
    // Writes the whole record (a derived class's part, then the tail).
    virtual void StoreRecord(qor::ByteWriter& out);
    // Reads a whole record from a reader that holds exactly that record;
    // false with *error when it is short, long or damaged (the item may
    // then hold part of it and is to be dropped).
    virtual bool LoadRecord(qor::ByteReader& in, QString* error);
    // The common tail. Storing first copies the two options into bits 0
    // and 1 of the flags; the other bits are written as they were read.
    void StoreTail(qor::ByteWriter& out);
    // Loading sets the two options from bits 0 and 1; the 63 name bytes
    // go to the start of the name field, the rest of it is left alone.
    bool LoadTail(qor::ByteReader& in);

    // ---- stored fields
    bool IsTransparent() const { return m_transparent; }
    void SetTransparent(bool on) { m_transparent = on; }
    bool HasBorder() const { return m_border; }
    void SetBorder(bool on) { m_border = on; }
    // From 1; 0 = the item belongs to every page (made in format state).
    uint32_t GetPage() const { return m_page; }
    void SetPage(uint32_t page) { m_page = page; }
    QPoint GetPosition() const { return m_position; }
    void SetPosition(QPoint p) { m_position = p; }
    // The two pairs as stored, whichever one the class uses.
    QSize IconSize() const { return m_iconSize; }
    QSize ContentSize() const { return m_contentSize; }
    QSize IconExtent() const { return m_iconExtent; }
    QSize ContentExtent() const { return m_contentExtent; }
    void SetStoredSizes(QSize iconSize, QSize contentSize, QSize iconExtent, QSize contentExtent);
    uint16_t GetFlags() const { return m_flags; }
    void SetFlags(uint16_t flags) { m_flags = flags; }
    const NameField& GetNameField() const { return m_name; }
    void SetNameField(const NameField& name) { m_name = name; }
    // The name field read as NUL-terminated UTF-16.
    QString GetName() const;

    // ---- operations (defaults: nothing, empty, or as noted)
    virtual QSize GetSize() const { return {0, 0}; }
    virtual void SetSize(int cx, int cy);
    virtual QSize GetExtent() const { return {0, 0}; }
    virtual void SetExtent(int cx, int cy);
    virtual qor::items::Rect GetRect() const { return {}; }
    virtual void SetRect(const qor::items::Rect& r);
    // True when the extent changed (the default says so).
    virtual bool UpdateExtent() { return true; }
    virtual void Move(const qor::items::Rect& r);
    virtual void ResetExtent() {}
    // Takes the item out of its document. The caller's own reference is
    // the last one that may still be used afterwards.
    virtual void Delete() {}
    // rect in client pixels.
    virtual void Draw(QPainter* painter, const qor::items::Rect& rect);
    virtual void SetupTracker(qor::items::ItemTracker* tracker, const qor::items::IItemView* view,
                              qor::items::Rect* trueRect);
    // The item as clipboard or drag data, in the formats other programs
    // and other reports read it by; null when it cannot be offered (a cut
    // must then keep the item). The caller owns the result.
    virtual QMimeData* CreateClipboardData() { return nullptr; }
    // x, y in client pixels.
    virtual bool HitTest(int x, int y, uint32_t page, const qor::items::IItemView* view);

    // Tells the document's views that the item changed.
    virtual void UpdateItemViews();

protected:
    // Bodies the derived classes share.
    qor::items::Rect rectFromSize() const;
    void setRectThroughSize(const qor::items::Rect& r);
    bool hitTestOnPage(int x, int y, uint32_t page, const qor::items::IItemView* view);
    void moveWithRefresh(const qor::items::Rect& r);
    void resetExtentWithRefresh();
    // Takes the item out of its document's list; the last step of a
    // Delete, as the list may have held the last reference.
    void removeFromDocument();

    bool m_transparent = false;
    bool m_border = true;
    uint32_t m_page = 0;
    QPoint m_position{100, 50};
    QSize m_iconSize{0, 0};
    QSize m_contentSize{0, 0};
    QSize m_iconExtent{0, 0};
    QSize m_contentExtent{0, 0};
    uint16_t m_flags = 0;
    NameField m_name{};

private:
    qor::items::IItemDocument* m_document = nullptr;
};
