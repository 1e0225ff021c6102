// Spreadsheet XML workbooks through the whole import: the XML layer loading
// the file, the worksheet walk into a new report, then the data-validation
// check of the worksheet against the imported page.

#include <QString>
#include <cstdint>

#include "engine/creporthandle.h"
#include "exchange/spreadsheetxml.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString xml = qorfuzz::scratchFile(QStringLiteral("in.xml"));
    const QString rep = qorfuzz::scratchFile(QStringLiteral("new.rep"));
    qorfuzz::writeFile(xml, reinterpret_cast<const char*>(data), size);
    QFile::remove(rep);
    qor::HasSpreadsheetXmlRoot(xml);
    CReportHandle h(rep);
    // Making the report is not what is fuzzed here.
    if (!h.IsOpen()) return 0;
    if (!qor::ImportSpreadsheetXml(h, xml).ok) return 0;
    CSpreadsheetXmlDoc reader;
    reader.Open(xml);
    reader.SetReport(&h);
    try {
        reader.ReadDataValidation(reader.GetRootElement().firstChildElement(u"Worksheet"), 1);
    } catch (const qor::XmlError&) {
        // A node the DOM refuses is an error the caller reports.
    }
    return 0;
}
