#pragma once
// Reports made for the tests of values, variable areas, keywords and pages.

#include <gtest/gtest.h>

#include <QString>
#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "tests/common/testsupport.h"

namespace cellstest {

using qortest::testDir;

// A new report of rows x cols, still in format state.
inline std::unique_ptr<CReportHandle> newReport(const QString& path, uint16_t rows, uint16_t cols) {
    auto h = std::make_unique<CReportHandle>(path);
    EXPECT_TRUE(h->IsOpen());
    EXPECT_EQ(h->IsFormatState(), 1);
    EXPECT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    return h;
}

// Sets one format attribute over an area (format state).
inline void setFormat(CReportHandle& h, int code, int32_t value, const CellArea& area) {
    EXPECT_EQ(h.AccessAreaFormat(1, code, &value, &area), 0) << "code " << code;
}

// Leaves format state, adds pages and makes page 1 current.
inline void toData(CReportHandle& h, int pages) {
    ASSERT_EQ(h.EnterDataState(), 0);
    if (pages > h.GetPageCount()) {
        ASSERT_EQ(h.AppendRowColPage(pages - h.GetPageCount(), 2), 0);
    }
    ASSERT_EQ(h.SetCurPage(1), 0);
}

inline std::unique_ptr<CReportHandle> reopen(std::unique_ptr<CReportHandle> h) {
    const QString path = h->GetPathName();
    EXPECT_EQ(h->Save(), 0);
    h.reset();
    auto again = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_TRUE(again->IsOpen());
    return again;
}

inline CellValue valueAt(CReportHandle& h, int row, int col, int page = 0) {
    CellValue v;
    EXPECT_EQ(h.GetCellValue(&v, row, col, page), 0) << row << "," << col << " p" << page;
    return v;
}

inline double numberAt(CReportHandle& h, int row, int col, int page = 0) {
    return valueAt(h, row, col, page).number;
}

inline QString textAt(CReportHandle& h, int row, int col, int page = 0) {
    return valueAt(h, row, col, page).text;
}

}  // namespace cellstest
