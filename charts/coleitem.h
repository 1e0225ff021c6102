#pragma once
// An object of another application embedded in or linked into a report
// page. Its client record (what the object is, how it is shown, where its
// data lie) precedes the common tail in the stored record; the object's own
// data live in the report's "Embedding n" storage.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "charts/ccomitem.h"

namespace qor::items {

// The object's client record.
struct OleClientRecord {
    static constexpr uint16_t kRevision = 0x0001;
    enum ItemType : uint32_t { kLink = 1, kEmbedded = 2, kStatic = 3 };
    enum Aspect : uint32_t { kAspectContent = 1, kAspectIcon = 4 };
    // Client states (not stored).
    enum State { kEmpty = 0, kLoaded = 1, kOpen = 2, kActive = 3, kActiveUI = 4 };

    uint32_t itemType = kEmbedded;
    uint32_t drawAspect = kAspectContent;
    uint32_t embedding = 0;    // n of the "Embedding n" storage; 0 none
    QSize cachedExtent{0, 0};  // HIMETRIC in the draw aspect; (0, 0) unknown
    QString classId;           // the object's class name
    QString linkSource;        // the linked file (links only)
    QByteArray presentation;   // PNG of the object as last shown; may be empty
    QByteArray extra;          // bytes a newer revision wrote after these fields
    bool operator==(const OleClientRecord&) const = default;
};

}  // namespace qor::items

class COleItem : public CComItem {
public:
    static const qor::items::RuntimeClass classCOleItem;

    COleItem() = default;
    ~COleItem() override;
    const qor::items::RuntimeClass* GetRuntimeClass() const override { return &classCOleItem; }

    void StoreRecord(qor::ByteWriter& out) override;
    // Marks the item size-fixed: a loaded object keeps the size it was
    // given when its extent changes.
    bool LoadRecord(qor::ByteReader& in, QString* error) override;

    const qor::items::OleClientRecord& GetClient() const { return m_client; }
    void SetClient(const qor::items::OleClientRecord& client) { m_client = client; }
    // The object's own bytes (an embedded object's "Embedding n" contents);
    // not part of the record.
    const QByteArray& GetObjectData() const { return m_data; }
    void SetObjectData(const QByteArray& data) { m_data = data; }
    int GetClientState() const { return m_state; }
    void SetClientState(int state) { m_state = state; }
    bool IsSizeFixed() const { return m_sizeFixed; }
    void SetSizeFixed(bool fixed) { m_sizeFixed = fixed; }

    // The icon pair while the object is shown as an icon, else the content
    // pair; sizes are clamped to 1500.
    QSize GetSize() const override;
    void SetSize(int cx, int cy) override;
    QSize GetExtent() const override;
    void SetExtent(int cx, int cy) override;
    qor::items::Rect GetRect() const override { return rectFromSize(); }
    void SetRect(const qor::items::Rect& r) override { setRectThroughSize(r); }
    // Follows the object's cached extent and keeps the item inside the
    // sheet; false when the extent did not change.
    bool UpdateExtent() override;
    void Move(const qor::items::Rect& r) override { moveWithRefresh(r); }
    void ResetExtent() override { resetExtentWithRefresh(); }
    void Delete() override;
    // Shows the cached presentation scaled into the rectangle.
    void Draw(QPainter* painter, const qor::items::Rect& rect) override;
    void SetupTracker(qor::items::ItemTracker* tracker, const qor::items::IItemView* view,
                      qor::items::Rect* trueRect) override;
    // "OLE QOR Data" (the record with the object's bytes inside), the
    // object's own format (its class with its bytes, an embedded object
    // only), its picture as image/png and the object descriptor, in that
    // order; null when the record cannot be written.
    QMimeData* CreateClipboardData() override;
    // The object of an "OLE QOR Data" payload, with its bytes; null with
    // *error for anything but exactly one object item.
    static std::shared_ptr<COleItem> FromClipboardData(const QByteArray& payload, QString* error);
    bool HitTest(int x, int y, uint32_t page, const qor::items::IItemView* view) override {
        return hitTestOnPage(x, y, page, view);
    }

private:
    bool iconShown() const {
        return m_client.drawAspect == qor::items::OleClientRecord::kAspectIcon;
    }

    qor::items::OleClientRecord m_client;
    QByteArray m_data;
    int m_state = qor::items::OleClientRecord::kLoaded;
    // Unset for a new object, so the first change of its extent rescales
    // it once.
    bool m_sizeFixed = false;
};
