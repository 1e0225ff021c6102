#pragma once
// A sheet of the geometry's own making: sizes by document index, a
// variable area and the state, without a report behind it.

#include <cstdint>
#include <functional>

#include "print/sheetgeometry.h"

namespace viewtest {

class FakeSheet : public qor::view::SheetSource {
public:
    int rows = 30;
    int cols = 10;
    VarAreaInfo var;
    bool data = false;
    std::function<uint16_t(int)> height = [](int) { return uint16_t(20); };
    std::function<uint16_t(int)> width = [](int) { return uint16_t(60); };

    void GetTableSize(int32_t* r, int32_t* c) const override {
        *r = rows;
        *c = cols;
    }
    void GetVarAreaInfo(VarAreaInfo* info) const override { *info = var; }
    uint16_t GetRowHeight(int row) const override { return height(row); }
    uint16_t GetColumnWidth(int col) const override { return width(col); }
    bool IsDataState() const override { return data; }

    // A row area from start (0-based) over extent lines, used lines in use
    // less 1 (data state only).
    void rowArea(int start, int extent, int used = 0) { var = {1, extent, start, used}; }
    void columnArea(int start, int extent, int used = 0) { var = {2, extent, start, used}; }
};

}  // namespace viewtest
