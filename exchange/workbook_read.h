#pragma once
// Reading an .xlsx file into a workbook of the in-process engine: sheet
// names and order, cell values (shared and inline strings, numbers,
// booleans, cached formula results), the cell styles of styles.xml
// (number formats, fonts, fills, borders, alignment), merged areas,
// column widths and row heights.
//
// The file is untrusted: every part is read through a size cap, every
// index and reference is checked, and a workbook larger than the limits
// is refused rather than read. Failures throw XlError (kXlObjectError)
// with a description naming the file and what is wrong with it.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "exchange/workbook_model.h"

namespace qor {

struct XlsxReadLimits {
    qint64 maxPartBytes = qint64(256) << 20;   // one part of the package, unpacked
    qint64 maxTotalBytes = qint64(768) << 20;  // all parts read, unpacked
    qint64 maxRatio = 250;                     // unpacked to packed, for parts over 1 MiB
    int maxParts = 10000;                      // entries of the package
    int maxSheets = 4096;
    qint64 maxCells = 3000000;  // cells of all sheets together
    int maxStrings = 3000000;   // shared strings
    int maxMerges = 20000;      // merged areas of one sheet
    int maxStyles = 65536;      // cell styles, fonts, fills, borders, number formats each
};

// Throws XlError when the file cannot be read as a workbook.
std::unique_ptr<XlWorkbook> ReadXlsxWorkbook(const QString& path,
                                             const XlsxReadLimits& limits = XlsxReadLimits());

// A binary workbook: a compound file with a "Workbook" (BIFF8) or "Book"
// (BIFF5) stream, read under the same limits.
std::unique_ptr<XlWorkbook> ReadXlsWorkbook(const QString& path,
                                            const XlsxReadLimits& limits = XlsxReadLimits());
// The records of such a stream; fileName names the file in errors.
std::unique_ptr<XlWorkbook> ReadBiffWorkbook(const QByteArray& stream, const QString& fileName,
                                             const XlsxReadLimits& limits = XlsxReadLimits());
// Any workbook, by its content: a zip package as .xlsx, a compound file as
// .xls; anything else is "not a workbook". The name's extension is not
// consulted.
std::unique_ptr<XlWorkbook> ReadWorkbookFile(const QString& path,
                                             const XlsxReadLimits& limits = XlsxReadLimits());

}  // namespace qor
