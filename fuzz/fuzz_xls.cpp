// The binary workbook (.xls) reader: the records of a BIFF8 or BIFF5
// stream, and the compound file that holds it.
//
// The first byte picks the input's form. Even: the rest is the workbook
// stream itself, so mutations reach the records directly. Odd: the rest is
// a whole file, read from the compound file's directory on.

#include <QByteArray>
#include <cstdint>

#include "exchange/workbook_read.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const char* body = reinterpret_cast<const char*>(data + 1);
    qor::XlsxReadLimits limits;
    limits.maxCells = 200000;  // keep one input's work small; the checks are the same
    try {
        if (data[0] & 1) {
            const QString path = qorfuzz::scratchFile(QStringLiteral("in.xls"));
            qorfuzz::writeFile(path, body, size - 1);
            qor::ReadXlsWorkbook(path, limits);
        } else {
            qor::ReadBiffWorkbook(QByteArray(body, qsizetype(size - 1)), QStringLiteral("in.xls"),
                                  limits);
        }
    } catch (const qor::XlError&) {
    }
    return 0;
}
