// Access files as the Access driver reads them: our checks of the pages
// libmdb walks, then the library's catalog and every table's records.

#include <QString>
#include <cstdint>

#include "exchange/jetdriver.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.mdb"));
    qorfuzz::writeFile(path, reinterpret_cast<const char*>(data), size);
    try {
        auto driver = qor::jet::makeAccessDriver(path);
        for (const QString& t : driver->tableNames()) {
            qor::jet::LoadedTable table;
            driver->loadTable(t, &table);
        }
    } catch (const qor::jet::JetError&) {
    }
    return 0;
}
