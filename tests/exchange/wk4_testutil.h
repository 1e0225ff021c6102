#pragma once
// Lotus 1-2-3 release 4 worksheet files built record by record from the
// format's published layout (little-endian: type, length, body): BOF of
// version 0x1002, a sheet-name record, LABEL cells (a prefix character,
// the text's bytes, NUL) and NUMBER cells (an 8-byte double), EOF.

#include <QByteArray>
#include <QList>
#include <QVariant>
#include <cstring>

namespace wk4test {

// A cell at row and column from 0: a QByteArray is a label's bytes, a
// double a number.
struct Cell {
    int row, col;
    QVariant value;
};

inline QByteArray le16(int v) { return QByteArray(1, char(v & 0xFF)) + QByteArray(1, char(v >> 8 & 0xFF)); }

inline QByteArray record(int type, const QByteArray& body) { return le16(type) + le16(int(body.size())) + body; }

inline QByteArray wk4Bytes(const QList<Cell>& cells, const QByteArray& sheetName = "Sheet1") {
    QByteArray out = record(0x0000, le16(0x1002) + QByteArray(24, '\0'));
    out += record(0x0023, le16(14000) + QByteArray(2, '\0') + sheetName + QByteArray(1, '\0'));
    for (const Cell& c : cells) {
        const QByteArray head = le16(c.row) + QByteArray(1, '\0') + QByteArray(1, char(c.col));
        if (c.value.typeId() == QMetaType::QByteArray) {
            out += record(0x0016, head + '\'' + c.value.toByteArray() + QByteArray(1, '\0'));
        } else {
            const double d = c.value.toDouble();
            char raw[8];
            std::memcpy(raw, &d, 8);
            out += record(0x0027, head + QByteArray(raw, 8));
        }
    }
    return out + record(0x0001, {});
}

}  // namespace wk4test
