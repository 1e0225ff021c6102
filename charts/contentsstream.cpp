#include "charts/contentsstream.h"

#include "engine/reportlayout.h"

namespace qor::items {

namespace {

constexpr uint32_t kContentsMagic = fourcc("QCNT");
constexpr int kHeadSize = 12;
// Class-name length, shortest name, schema and record length.
constexpr size_t kMinObjectSize = 2 + 2 + 2 + 4;

bool setError(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

void writeObject(ByteWriter& w, CComItem& item) {
    QString name;
    uint16_t schema = 0;
    if (auto* unknown = dynamic_cast<UnknownItem*>(&item)) {
        name = unknown->StoredClassName();
        schema = unknown->StoredSchema();
    } else {
        name = QLatin1String(item.GetRuntimeClass()->name);
        schema = item.GetRuntimeClass()->schema;
    }
    QByteArray record;
    ByteWriter rw(record);
    item.StoreRecord(rw);
    w.u16(uint16_t(name.size()));
    w.utf16(name);
    w.u16(schema);
    w.u32(uint32_t(record.size()));
    w.bytes(record);
}

std::shared_ptr<CComItem> readObject(ByteReader& r, int index, QString* error) {
    const QString where = QStringLiteral("item %1: ").arg(index + 1);
    const uint16_t nameLength = r.u16();
    if (!r.ok() || nameLength == 0 || nameLength > kMaxClassNameChars) {
        setError(error, where + QStringLiteral("bad class name length"));
        return nullptr;
    }
    const QString name = r.utf16(nameLength);
    const uint16_t schema = r.u16();
    const uint32_t length = r.u32();
    if (!r.ok() || length > r.remaining()) {
        setError(error, where + QStringLiteral("record runs past the stream"));
        return nullptr;
    }
    ByteReader record(r.current(), length);
    r.skip(length);

    const RuntimeClass* cls = FindRuntimeClass(name);
    std::shared_ptr<CComItem> item;
    if (cls && cls->create && cls->schema == schema)
        item = cls->create();
    else
        item = std::make_shared<UnknownItem>(name, schema);
    QString why;
    if (!item->LoadRecord(record, &why)) {
        setError(error, where + name + QStringLiteral(": ") + why);
        return nullptr;
    }
    return item;
}

}  // namespace

const RuntimeClass UnknownItem::classUnknownItem{"UnknownItem", "CComItem", 0, nullptr};

void UnknownItem::StoreRecord(ByteWriter& out) {
    out.bytes(m_ownPart);
    if (m_hasTail) StoreTail(out);
}

bool UnknownItem::LoadRecord(ByteReader& in, QString*) {
    m_hasTail = in.size() >= size_t(kTailSize);
    if (!m_hasTail) {
        m_ownPart = in.bytes(in.size());
        return in.ok();
    }
    m_ownPart = in.bytes(in.size() - size_t(kTailSize));
    return LoadTail(in) && in.remaining() == 0;
}

QByteArray WriteContents(const ItemList& items) {
    QByteArray out;
    ByteWriter w(out);
    w.u32(kContentsMagic);
    w.u16(kContentsRevision);
    w.u16(0);
    uint32_t count = 0;
    const size_t countAt = w.pos();
    w.u32(0);
    for (const std::shared_ptr<CComItem>& item : items) {
        if (!item) continue;
        writeObject(w, *item);
        ++count;
    }
    w.patchU32(countAt, count);
    w.u32(crc32(out.constData(), size_t(out.size())));
    return out;
}

bool ReadContents(const QByteArray& stream, ItemList* items, QString* error) {
    ByteReader r(stream);
    if (stream.size() < kHeadSize + 4)
        return setError(error, QStringLiteral("\"Contents\" stream too short"));
    if (r.u32() != kContentsMagic)
        return setError(error, QStringLiteral("\"Contents\" is not an item list"));
    const uint16_t revision = r.u16();
    r.u16();
    if ((revision & kRevisionMajorMask) > (kContentsRevision & kRevisionMajorMask))
        return setError(error, QStringLiteral("\"Contents\" of a newer revision"));
    const uint32_t count = r.u32();
    const size_t body = size_t(stream.size()) - 4;
    if (count > (body - kHeadSize) / kMinObjectSize)
        return setError(error, QStringLiteral("\"Contents\" item count too large"));
    ByteReader tail(stream.constData() + body, 4);
    if (tail.u32() != crc32(stream.constData(), body))
        return setError(error, QStringLiteral("\"Contents\" checksum does not match"));

    ByteReader objects(stream.constData(), body);
    objects.skip(kHeadSize);
    ItemList read;
    read.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::shared_ptr<CComItem> item = readObject(objects, int(i), error);
        if (!item) return false;
        read.push_back(std::move(item));
    }
    if (objects.remaining() != 0)
        return setError(error, QStringLiteral("\"Contents\" has bytes after its last item"));
    *items = std::move(read);
    return true;
}

QByteArray WriteItemObject(CComItem& item) {
    QByteArray out;
    ByteWriter w(out);
    writeObject(w, item);
    return out;
}

std::shared_ptr<CComItem> ReadItemObject(const QByteArray& bytes, QString* error) {
    ByteReader r(bytes);
    std::shared_ptr<CComItem> item = readObject(r, 0, error);
    if (item && r.remaining() != 0) {
        setError(error, QStringLiteral("bytes after the item"));
        return nullptr;
    }
    return item;
}

}  // namespace qor::items
