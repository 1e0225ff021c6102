// The item list of a report ("Contents") and the clipboard's item objects:
// "Graph QOR Data", "OLE QOR Data" with its bytes, "Link Source" and the
// object descriptor.
// A list that reads must write out and read back to the same bytes.

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "charts/coleitem.h"
#include "charts/contentsstream.h"
#include "charts/itemformats.h"
#include "charts/objectdata.h"

using namespace qor::items;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    ReadItemObject(stream, &error);
    if (auto object = COleItem::FromClipboardData(stream, &error)) {
        // What reads must write out whole again.
        QByteArray record, bytes;
        if (!ReadOlePayload(WriteOlePayload(WriteItemObject(*object), object->GetObjectData()),
                            &record, &bytes, &error))
            std::abort();
    }
    QString path, name;
    if (ReadLinkSource(stream, &path, &name) && (path.isEmpty() || name.isEmpty())) std::abort();
    QSize extent;
    QPoint offset;
    ReadObjectDescriptor(stream, &extent, &offset);
    ItemList items;
    if (!ReadContents(stream, &items, &error)) return 0;
    const QByteArray written = WriteContents(items);
    ItemList again;
    if (!ReadContents(written, &again, &error) || WriteContents(again) != written) std::abort();
    return 0;
}
