// dBASE files as the dBASE driver reads them: our header checks, then the
// library's reading of fields and records; and as a report opens them,
// taking the first record and counting the rest from their marks.

#include <QString>
#include <cstdint>

#include "exchange/jetdriver.h"
#include "fuzz/fuzzsupport.h"

namespace {

struct FirstRecord : qor::jet::RecordSink {
    void begin(const QList<qor::jet::FieldInfo>&) override {}
    bool record(const QVariantList&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.dbf"));
    qorfuzz::writeFile(path, reinterpret_cast<const char*>(data), size);
    try {
        qor::jet::readDBaseFile(path);
        FirstRecord first;
        qor::jet::readDBaseTable(path, first);
    } catch (const qor::jet::JetError&) {
    }
    return 0;
}
