// Lotus worksheet files as the Lotus driver reads them: libwps' parse
// through our spreadsheet collector, then every table of every sheet.

#include <QByteArray>
#include <cstdint>

#include "exchange/jetdriver.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // Keep one input's work small; the checks are the same.
    qor::jet::SetWorksheetAreaLimit(50000);
    try {
        auto driver = qor::jet::makeLotusDriverFromBytes(
            QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
            QStringLiteral("in.wk4"));
        for (const QString& t : driver->tableNames()) {
            qor::jet::LoadedTable table;
            driver->loadTable(t, &table);
        }
    } catch (const qor::jet::JetError&) {
    }
    return 0;
}
