// The item list of a report ("Contents") and the clipboard's item objects.
// A list that reads must write out and read back to the same bytes.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "charts/contentsstream.h"

using namespace qor::items;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    ReadItemObject(stream, &error);
    ItemList items;
    if (!ReadContents(stream, &items, &error)) return 0;
    const QByteArray written = WriteContents(items);
    ItemList again;
    if (!ReadContents(written, &again, &error) || WriteContents(again) != written) std::abort();
    return 0;
}
