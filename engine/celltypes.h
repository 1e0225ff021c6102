#pragma once
// Records the engine's callers pass: areas, cell values, keyword cell
// references and formula records. Rows and columns count from 1 and are
// shown coordinates (variable area expanded) unless a name says stored.

#include <QString>
#include <cstdint>

#include "engine/reportlayout.h"

// One corner of an area, or a keyword's cell.
struct CellRef {
    uint8_t tag = 0;
    int16_t row = 0;
    int16_t col = 0;
    bool operator==(const CellRef&) const = default;
};

// An area given by its first and last cell; a single cell has equal
// corners. The document's accessors hand out the same record counted from 0.
struct CellArea {
    CellRef first;
    CellRef last;

    static CellArea cell(int row, int col) { return area(row, col, row, col); }
    static CellArea area(int r1, int c1, int r2, int c2) {
        CellArea a;
        a.first = {0, int16_t(r1), int16_t(c1)};
        a.last = {0, int16_t(r2), int16_t(c2)};
        return a;
    }
    bool isSingleCell() const { return first.row == last.row && first.col == last.col; }
    bool operator==(const CellArea&) const = default;
};

// Kinds of a cell value record and of a cell.
enum CellKind : int32_t {
    kCellUnset = 0,   // read as a number
    kCellNumber = 1,
    kCellText = 2,    // character text
    kCellLabel = 3,   // table-style text, the same on every page
    kCellOtherText = 4,  // a further text kind; read as text, never produced
};

constexpr int kCellValueTextChars = 32;

// A cell's value: a number, or a text of at most 32 characters (longer
// texts are read with CReportHandle::GetCellText).
struct CellValue {
    int32_t kind = kCellUnset;
    double number = 0;
    QString text;

    static CellValue ofNumber(double v) { return {kCellNumber, v, {}}; }
    static CellValue ofText(const QString& t) { return {kCellText, 0, t}; }
    bool isText() const { return kind == kCellText || kind == kCellLabel || kind == kCellOtherText; }
    bool operator==(const CellValue&) const = default;
};

// A formula and the area it was set on.
struct FormulaInfo {
    int16_t row = 0;  // first corner of the area the formula was set on
    int16_t col = 0;
    CellArea area;
    QString text;
    uint16_t kind = 0;   // 0 cell formula, 1 total formula
    uint16_t state = 0;  // 0 good, 2 in error
};
