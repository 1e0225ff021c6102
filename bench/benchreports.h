#pragma once
// The reports the benchmarks read and write: rows x cols on every one of
// pages pages, every tenth column texts ("项目<row>"), the other cells
// numbers, as a finance report mixes them.
#include <QString>
#include <QTemporaryDir>
#include <cstdint>

#include "engine/creporthandle.h"

namespace qorbench {

using NumberAt = double (*)(int page, int row, int col);
inline double DefaultNumberAt(int page, int row, int col) { return row * 1000.25 + col + page; }
inline QString TextAt(int row) { return QStringLiteral("项目%1").arg(row); }

// Lays out and fills the new report h (not saved: the caller saves it).
inline void FillReport(CReportHandle& h, uint16_t rows, uint16_t cols, int pages,
                       NumberAt numberAt = DefaultNumberAt) {
    uint16_t r = rows, c = cols;
    h.AccessTableSize(1, &r, &c);
    for (int col = 10; col <= cols; col += 10) {
        int32_t kind = kCellText;
        const CellArea a = CellArea::area(1, col, rows, col);
        h.AccessAreaFormat(1, 0, &kind, &a);
    }
    h.EnterDataState();
    h.AppendRowColPage(pages, 2);
    for (int p = 1; p <= pages; ++p)
        for (int row = 1; row <= rows; ++row)
            for (int col = 1; col <= cols; ++col)
                h.SetCellValue(col % 10 ? CellValue::ofNumber(numberAt(p, row, col))
                                        : CellValue::ofText(TextAt(row)),
                               row, col, p);
}

// A filled report saved in a temporary folder, with room beside it for
// what the benchmark writes.
struct FilledReport {
    QTemporaryDir dir;
    QString report = dir.path() + QStringLiteral("/big.rep");

    FilledReport(uint16_t rows, uint16_t cols, int pages, NumberAt numberAt = DefaultNumberAt) {
        CReportHandle h(report);
        FillReport(h, rows, cols, pages, numberAt);
        h.Save();
    }
    QString path(const QString& name) const { return dir.path() + u'/' + name; }
};

}  // namespace qorbench
