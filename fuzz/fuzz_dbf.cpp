// dBASE files as the dBASE driver reads them: our header checks, then the
// library's reading of fields and records.

#include <QString>
#include <cstdint>

#include "exchange/jetdriver.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.dbf"));
    qorfuzz::writeFile(path, reinterpret_cast<const char*>(data), size);
    try {
        qor::jet::readDBaseFile(path);
    } catch (const qor::jet::JetError&) {
    }
    return 0;
}
