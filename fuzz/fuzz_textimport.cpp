// The report text import: an import description (first part) and the text
// file it describes (second part) read into a new report, as 导入 does.
// Without a usable description the fields sit in the export's order.

#include <QDir>
#include <QString>
#include <cstdint>

#include "document/cqorsdoc.h"
#include "document/doc_textexchange.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString dir = qorfuzz::scratchDir();
    const std::vector<QByteArray> parts =
        qorfuzz::splitParts(reinterpret_cast<const char*>(data), size);
    qorfuzz::writeFile(dir + "/d.ini", parts[0]);
    qorfuzz::writeFile(dir + "/d.txt", parts.size() > 1 ? parts[1] : QByteArray());
    qor::ImportLayout layout;
    if (!qor::ReadImportDescription(dir + "/d.ini", &layout))
        for (int i = 0; i < qor::kImportFieldCount; ++i) layout.fields[size_t(i)].column = i + 1;
    CQorsDoc doc;
    if (!doc.Files().OnNewDocument()) return 0;
    qor::TextImportResult result;
    QString error;
    doc.Files().ImportExportText(dir + "/d.txt", layout, &result, &error);
    doc.Files().OnCloseDocument();
    return 0;
}
