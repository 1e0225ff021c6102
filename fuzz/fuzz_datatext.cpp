// Text tables as the text driver reads them: an input is a Schema.ini and
// a CSV file (two parts; one part is the CSV file alone), the section read
// from the Schema.ini and the file parsed by it.

#include <QString>
#include <cstdint>

#include "exchange/jetdriver.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const std::vector<QByteArray> parts = qorfuzz::splitParts(reinterpret_cast<const char*>(data), size);
    const QString ini = qorfuzz::scratchFile(QStringLiteral("Schema.ini"));
    const QString csv = qorfuzz::scratchFile(QStringLiteral("in.txt"));
    if (parts.size() > 1) qorfuzz::writeFile(ini, parts[0]);
    try {
        qor::jet::parseTextTable(parts.empty() ? QByteArray() : parts.back(),
                                 parts.size() > 1 ? qor::ReadSchemaIniSection(csv) : std::nullopt);
    } catch (const qor::jet::JetError&) {
    }
    return 0;
}
