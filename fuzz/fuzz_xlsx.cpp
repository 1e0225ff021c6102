// The .xlsx reader: the package (zip) and every part it reads (workbook,
// relationships, shared strings, styles, sheets).
//
// The first byte picks the input's form. Even: the rest is a whole file,
// so the zip layer is reached. Odd: the rest is parts "NAME\nCONTENT"
// (split by the separator of fuzzsupport.h) that the target packs into a
// valid zip, so mutations reach the XML of the parts.

#include <zip.h>

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "exchange/workbook_read.h"
#include "fuzz/fuzzsupport.h"

namespace {

bool pack(const QString& path, const std::vector<QByteArray>& parts) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) std::abort();
    // The sources read these bytes when the archive is closed.
    std::vector<QByteArray> contents;
    contents.reserve(parts.size());
    for (const QByteArray& part : parts) {
        const qsizetype nl = part.indexOf('\n');
        if (nl <= 0) continue;
        const QByteArray name = part.left(nl);
        contents.push_back(part.mid(nl + 1));
        zip_source_t* src = zip_source_buffer(z, contents.back().constData(),
                                              zip_uint64_t(contents.back().size()), 0);
        if (src && zip_file_add(z, name.constData(), src, ZIP_FL_ENC_UTF_8) < 0)
            zip_source_free(src);
    }
    return zip_close(z) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.xlsx"));
    QFile::remove(path);
    const char* body = reinterpret_cast<const char*>(data + 1);
    if (data[0] & 1) {
        if (!pack(path, qorfuzz::splitParts(body, size - 1))) return 0;
    } else {
        qorfuzz::writeFile(path, body, size - 1);
    }
    try {
        qor::ReadXlsxWorkbook(path);
    } catch (const qor::XlError&) {
    }
    return 0;
}
