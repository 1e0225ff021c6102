// dBASE files as the dBASE driver reads them: the header and field table,
// the records, the memo file beside the table and the code page its
// ".cpg" names; and as a report opens them, taking the first record and
// counting the rest from their marks. An input is the table, then
// optionally its memo file (written as both ".dbt" and ".fpt") and its
// ".cpg", separated by the part marker.

#include <QFile>
#include <QString>
#include <cstdint>

#include "exchange/jetdriver.h"
#include "fuzz/fuzzsupport.h"

namespace {

struct FirstRecord : qor::jet::RecordSink {
    void begin(const QList<qor::jet::FieldInfo>&) override {}
    bool record(const QVariantList&) override { return false; }
};

void writeOrRemove(const QString& path, const std::vector<QByteArray>& parts, size_t index) {
    if (index < parts.size())
        qorfuzz::writeFile(path, parts[index]);
    else
        QFile::remove(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const std::vector<QByteArray> parts = qorfuzz::splitParts(reinterpret_cast<const char*>(data), size);
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.dbf"));
    qorfuzz::writeFile(path, parts[0]);
    writeOrRemove(qorfuzz::scratchFile(QStringLiteral("in.dbt")), parts, 1);
    writeOrRemove(qorfuzz::scratchFile(QStringLiteral("in.fpt")), parts, 1);
    writeOrRemove(qorfuzz::scratchFile(QStringLiteral("in.cpg")), parts, 2);
    try {
        qor::jet::readDBaseFile(path);
        FirstRecord first;
        qor::jet::readDBaseTable(path, first);
    } catch (const qor::jet::JetError&) {
    }
    return 0;
}
