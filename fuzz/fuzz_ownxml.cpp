// Exchange files ("iqor_export") through the whole import: the XML layer
// loading the file, then the format pass and the data pass on a new
// report, as the command line's import-xml runs them.

#include <QString>
#include <cstdint>

#include "engine/creporthandle.h"
#include "exchange/ownxml_import.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString xml = qorfuzz::scratchFile(QStringLiteral("in.xml"));
    const QString rep = qorfuzz::scratchFile(QStringLiteral("new.rep"));
    qorfuzz::writeFile(xml, reinterpret_cast<const char*>(data), size);
    QFile::remove(rep);
    qor::IsOwnXmlExchangeFile(xml);
    CReportHandle h(rep);
    // Making the report is not what is fuzzed here; a save interrupted by
    // the fuzzer's own timer signal may fail it.
    if (!h.IsOpen()) return 0;
    qor::ImportOwnXmlReport(h, xml);
    return 0;
}
