#include "exchange/workbook_xls_names.h"

#include "platform/bytes.h"

namespace qor {
namespace {

// The most names kept; more is a damaged file, whose further names are
// passed over.
constexpr size_t kMaxNames = 65536;

}  // namespace

void BiffNameCollector::supBook(QByteArrayView data) {
    // The workbook's own entry: the sheet count then 0x0401.
    m_supBookIsSelf.push_back(data.size() == 4 && uchar(data[2]) == 0x01 && uchar(data[3]) == 0x04);
}

void BiffNameCollector::externSheet(QByteArrayView data) {
    ByteReader b(data);
    if (!b.has(2)) return;
    const int count = b.u16();
    for (int i = 0; i < count && b.has(6); ++i) {
        Reference r;
        r.supBook = b.u16();
        r.firstSheet = b.u16();
        r.lastSheet = b.u16();
        m_references.push_back(r);
    }
}

void BiffNameCollector::name(QByteArrayView data) {
    if (m_names.size() >= kMaxNames) return;
    ByteReader b(data);
    if (!b.has(14)) return;
    const int flags = b.u16();
    b.u8();  // keyboard shortcut
    const int chars = b.u8();
    const int formulaSize = b.u16();
    b.u16();
    const int localSheet = b.u16();
    b.skip(4);  // menu, description, help and status text lengths
    if (chars == 0 || !b.has(1)) return;
    const bool wide = b.u8() & 1;
    if (!b.has(qsizetype(chars) * (wide ? 2 : 1))) return;
    Name n;
    QString text;
    for (int i = 0; i < chars; ++i) text.append(QChar(ushort(wide ? b.u16() : b.u8())));
    const bool builtIn = flags & 0x0020;
    // A built-in name is a one-character code (6 the print area ...).
    n.name.name = builtIn ? QStringLiteral("_xlnm.%1").arg(int(text.at(0).unicode())) : text;
    n.name.hidden = builtIn || (flags & 0x0001) ||
                    n.name.name.startsWith(QLatin1String("_xlnm."), Qt::CaseInsensitive);
    n.name.scope = localSheet;
    if (!b.has(formulaSize)) return;
    // One token: a 3-D area (0x3B and its other classes) or a 3-D
    // reference (0x3A ...), rows from 0, columns in the low bits.
    if (formulaSize == 11 && (b.u8() & 0x1F) == 0x1B) {
        n.reference = b.u16();
        n.name.area.r1 = b.u16() + 1;
        n.name.area.r2 = b.u16() + 1;
        n.name.area.c1 = (b.u16() & 0x3FFF) + 1;
        n.name.area.c2 = (b.u16() & 0x3FFF) + 1;
    } else if (formulaSize == 7 && (b.u8() & 0x1F) == 0x1A) {
        n.reference = b.u16();
        n.name.area.r1 = n.name.area.r2 = b.u16() + 1;
        n.name.area.c1 = n.name.area.c2 = (b.u16() & 0x3FFF) + 1;
    } else {
        return;
    }
    m_names.push_back(n);
}

void BiffNameCollector::addTo(XlWorkbook& wb) const {
    for (const Name& n : m_names) {
        if (n.reference < 0 || size_t(n.reference) >= m_references.size()) continue;
        const Reference& r = m_references[size_t(n.reference)];
        if (size_t(r.supBook) >= m_supBookIsSelf.size() || !m_supBookIsSelf[size_t(r.supBook)]) continue;
        if (r.firstSheet != r.lastSheet || r.firstSheet >= wb.sheetCount()) continue;
        if (n.name.scope < 0 || n.name.scope > wb.sheetCount()) continue;
        XlDefinedName d = n.name;
        d.sheet = r.firstSheet + 1;
        if (d.area.r1 > d.area.r2) std::swap(d.area.r1, d.area.r2);
        if (d.area.c1 > d.area.c2) std::swap(d.area.c1, d.area.c2);
        wb.addDefinedName(std::move(d));
    }
}

}  // namespace qor
