// Opens damaged report files the way every caller does (CReportHandle:
// header, format sections, both page directories), then loads every page
// with its variable lines and reads cells, keywords and the format.
//
// The first byte picks the input's form. Even: the rest is a whole file.
// Odd: the rest is the streams "QOR~REP", "PageEx" and "QOR~VEP" (parts
// split by the separator of fuzzsupport.h); the target fixes every
// checksum in them before it builds the file, so mutations get past the
// checks and reach the decoders behind them. Its second bit opens the
// report as the Reader does, with the cell formats read when first used.

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "fuzz/fuzzsupport.h"
#include "platform/bytes.h"
#include "platform/compoundfile.h"

using namespace qor;

namespace {

void fixRepStream(QByteArray& rep) {
    if (rep.size() < kHeaderSize) return;
    for (int i = 0; i < kMaxSections; ++i) {
        const qsizetype at = kSectionDirOffset + 12 * i;
        const uint64_t off = readLE32(rep, at + 4), len = readLE32(rep, at + 8);
        if (readLE32(rep, at) == 0 || off + len > uint64_t(rep.size())) continue;
        storeLE32(rep, kSectionCrcOffset + 4 * i, crc32(rep.constData() + off, size_t(len)));
    }
    uint32_t c = crc32(rep.constData(), kMarkerOffset);
    c = crc32Zeros(kMarkerLength, c);
    c = crc32(rep.constData() + kMarkerOffset + kMarkerLength,
              kHeaderCrcOffset - (kMarkerOffset + kMarkerLength), c);
    storeLE32(rep, kHeaderCrcOffset, c);
}

void fixDirectoryStream(QByteArray& s) {
    if (s.size() < kDirectoryHeaderSize) return;
    const uint64_t n = readLE32(s, 8);
    const uint64_t dirSize = directorySize(size_t(n));
    if (dirSize > uint64_t(s.size())) return;
    for (uint64_t i = 0; i < n; ++i) {
        const qsizetype at = qsizetype(kDirectoryHeaderSize + i * kDirectoryEntrySize);
        const uint64_t off = readLE64(s, at), len = readLE64(s, at + 8);
        if (off > uint64_t(s.size()) || len > uint64_t(s.size()) - off) continue;
        storeLE32(s, at + 16, crc32(s.constData() + off, size_t(len)));
    }
    storeLE32(s, 12,
          crc32(s.constData() + kDirectoryHeaderSize, size_t(dirSize) - kDirectoryHeaderSize));
}

bool buildFile(const QString& path, std::vector<QByteArray> parts) {
    parts.resize(3);
    fixRepStream(parts[0]);
    fixDirectoryStream(parts[1]);
    fixDirectoryStream(parts[2]);
    auto cf = CompoundFile::create(path);
    if (!cf) std::abort();
    const char* names[] = {kRepStreamName, kPageStreamName, kVarStreamName};
    for (int i = 0; i < 3; ++i)
        if (!cf->writeAll(QString::fromLatin1(names[i]), parts[size_t(i)])) return false;
    return cf->commit();
}

void readReport(CReportHandle& h) {
    const int rows = h.GetRowCount(), cols = h.GetColCount();
    CellArea combined;
    for (int r = 1; r <= rows; r += 1 + rows / 40)
        for (int c = 1; c <= cols; c += 1 + cols / 20) {
            int32_t v = 0;
            const CellArea cell = CellArea::cell(r, c);
            h.AccessAreaFormat(0, 1, &v, &cell);
            h.GetCombinedArea(cell, &combined);
        }
    int kind = 0, start = 0, extent = 0;
    h.AccessVarArea(0, &kind, &start, &extent);
    h.GetFormatPassword();
    PageSetupBlock setup;
    h.GetPageSetup(&setup);
    if (h.IsFormatState()) h.EnterDataState();
    const int pages = std::min(h.GetPageCount(), 64);
    // Keywords straight from the page records, before any page is loaded.
    for (int p = 1; p <= pages; ++p)
        for (int slot = 0; slot < 7; ++slot) {
            KeywordValue k;
            h.GetPageKeyword(slot, &k, p);
        }
    for (int p = 1; p <= pages; ++p) {
        if (h.SetCurPage(p) != 0) continue;
        int used = 0;
        h.AccessVarCount(0, &used);
        for (int slot = 1; slot <= 8; ++slot) {
            KeywordValue k;
            h.GetPageKeyword(slot, &k, p);
        }
        CellArea check;
        h.GetCheckLineArea(p, &check);
        for (int r = 1; r <= rows; r += 1 + rows / 40)
            for (int c = 1; c <= cols; c += 1 + cols / 20) {
                CellValue v;
                h.GetCellValue(&v, r, c, p);
            }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (4u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.rep"));
    QFile::remove(path);
    const char* body = reinterpret_cast<const char*>(data + 1);
    if (data[0] & 1) {
        if (!buildFile(path, qorfuzz::splitParts(body, size - 1))) return 0;
    } else {
        qorfuzz::writeFile(path, body, size - 1);
    }
    const auto formats = (data[0] & 2) ? CReportHandle::FormatReading::WhenUsed
                                       : CReportHandle::FormatReading::AtOpen;
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Write,
                    formats);
    if (h.IsOpen()) {
        readReport(h);
        (void)h.FormatLoadStatus();
    }
    return 0;
}
