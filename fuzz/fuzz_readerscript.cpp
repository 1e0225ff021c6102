// The parser of the command line's Reader scripts (qor reader-script).

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "apps/qor/verbs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<qor::app::ReaderScriptCall> calls;
    QString error;
    qor::app::ParseReaderScript(text, &calls, &error);
    return 0;
}
