#pragma once
// BIFF5 (Excel 95) streams built record by record from the format's
// published layout, for the tests of the readers that meet them.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <cstring>

#include "platform/codepage.h"

namespace biff5test {

// Records of a stream, built by hand.
struct Stream {
    QByteArray b;
    static QByteArray le(uint64_t v, int n) {
        QByteArray out;
        for (int i = 0; i < n; ++i) out.append(char(v >> (8 * i) & 0xFF));
        return out;
    }
    Stream& rec(uint16_t type, const QByteArray& data) {
        b += le(type, 2) + le(uint64_t(data.size()), 2) + data;
        return *this;
    }
};

inline QByteArray u16(int v) { return Stream::le(uint64_t(v), 2); }
inline QByteArray u32(uint32_t v) { return Stream::le(v, 4); }
inline QByteArray f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return Stream::le(bits, 8);
}

// A BIFF5 workbook of one sheet "数据" in code page 936: a LABEL, a
// NUMBER, an RK holding 12.34 (as 1234 / 100) and a MULRK.
// Or (formats given) a book of another code page and sheet name, whose
// FORMAT records come with a cell style each, from style 16 on.
inline QByteArray biff5Book(const QByteArray& sheetCells, int codePage = 936,
                     QByteArray name = qor::encodeText(QStringLiteral("数据"), "GB18030"),
                     const QList<QByteArray>& formats = {}) {
    Stream g;
    g.rec(0x0809, u16(0x0500) + u16(0x0005) + u16(0) + u16(0));
    g.rec(0x0042, u16(codePage));
    for (int i = 0; i < 4; ++i)
        g.rec(0x0031, u16(200) + u16(0) + u16(0x7FFF) + u16(400) + u16(0) + QByteArray(4, '\0') +
                          QByteArray(1, 5) + "Arial");
    for (int i = 0; i < formats.size(); ++i)
        g.rec(0x041E, u16(164 + i) + QByteArray(1, char(formats[i].size())) + formats[i]);
    for (int i = 0; i < 16 + formats.size(); ++i)
        g.rec(0x00E0, u16(0) + u16(i < 16 ? 0 : 164 + i - 16) + u16(i < 15 ? 0xFFF5 : 1) +
                          QByteArray(1, 0x20) + QByteArray(1, 0) + u32(0) + u32(0));
    const qsizetype boundAt = g.b.size();
    g.rec(0x0085, u32(0) + QByteArray(2, '\0') + QByteArray(1, char(name.size())) + name);
    g.rec(0x000A, {});
    const uint32_t sheetAt = uint32_t(g.b.size());
    g.b.replace(boundAt + 4, 4, u32(sheetAt));
    Stream s;
    s.rec(0x0809, u16(0x0500) + u16(0x0010) + u16(0) + u16(0));
    s.b += sheetCells;
    s.rec(0x000A, {});
    return g.b + s.b;
}

}  // namespace biff5test
