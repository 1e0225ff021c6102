// The document's "OTHERS" stream as every reader of it takes it: the file
// password the engine looks at before a report is opened, and the whole
// stream the document reads on open. What decodes must encode to a stream
// that decodes to the same content.

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "document/doc_others.h"
#include "engine/reportlayout.h"

using namespace qor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data), qsizetype(size));
    QString password;
    decodeOthersFilePassword(stream, &password);
    DocOthers others;
    QString error;
    if (!decodeDocOthers(stream, &others, &error)) return 0;
    DocOthers again;
    if (!decodeDocOthers(encodeDocOthers(others), &again, &error) || !(again == others))
        std::abort();
    return 0;
}
