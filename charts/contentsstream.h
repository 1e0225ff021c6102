#pragma once
// The document's item list in the report's "Contents" stream: every item
// as a class-tagged object, in list order (docs/report-file-format.md,
// "Contents stream"). Items of a class this program does not know, or of a
// newer schema, come back as UnknownItem and are written back unchanged.

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "charts/ccomitem.h"

namespace qor::items {

using ItemList = std::vector<std::shared_ptr<CComItem>>;

inline constexpr char kContentsStreamName[] = "Contents";
constexpr uint16_t kContentsRevision = 0x0001;
constexpr int kMaxClassNameChars = 64;

// An item kept for a class (or schema) this program cannot read. Its
// record's last 109 bytes are the common tail, which every item class
// writes last, so the page and place are known and may change; the bytes
// before the tail are written back as they were read.
class UnknownItem : public CComItem {
public:
    static const RuntimeClass classUnknownItem;

    UnknownItem(const QString& className, uint16_t schema)
        : m_className(className), m_schema(schema) {}
    const RuntimeClass* GetRuntimeClass() const override { return &classUnknownItem; }
    void StoreRecord(qor::ByteWriter& out) override;
    bool LoadRecord(qor::ByteReader& in, QString* error) override;

    QString StoredClassName() const { return m_className; }
    uint16_t StoredSchema() const { return m_schema; }
    // The bytes before the tail (the whole record when it is shorter than
    // a tail: then nothing of it is understood).
    QByteArray OwnPart() const { return m_ownPart; }
    bool HasTail() const { return m_hasTail; }

    QSize GetSize() const override { return m_contentSize; }
    QSize GetExtent() const override { return m_contentExtent; }
    Rect GetRect() const override { return rectFromSize(); }

private:
    QString m_className;
    uint16_t m_schema = 0;
    QByteArray m_ownPart;
    bool m_hasTail = false;
};

// The whole "Contents" stream of a list.
QByteArray WriteContents(const ItemList& items);
// Reads a "Contents" stream; false with *error (and *items untouched) when
// it is damaged or of a newer major revision. The items have no document
// yet: the document adds them.
bool ReadContents(const QByteArray& stream, ItemList* items, QString* error);

// One item as a class-tagged object (the clipboard's item formats carry
// the same bytes).
QByteArray WriteItemObject(CComItem& item);
// Null with *error when the bytes are not exactly one object.
std::shared_ptr<CComItem> ReadItemObject(const QByteArray& bytes, QString* error);

}  // namespace qor::items
