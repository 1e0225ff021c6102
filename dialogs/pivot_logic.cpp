#include "dialogs/pivot_logic.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cmath>
#include <cstdio>
#include <utility>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/status.h"
#include "engine/textutil.h"

namespace qor {

namespace {

constexpr int kKeywordSlots = 7;
const QString kCut = QStringLiteral(" ......");

QString keywordHeader(int slot) {
    static const int ids[] = {str::kKeywordUnitName, str::kKeywordUnitCode, str::kKeywordYear,
                              str::kKeywordQuarter,  str::kKeywordMonth,    str::kKeywordDay};
    return slot < 6 ? LoadErrorText(ids[slot]) : QString();
}

struct CellPos {
    int row0;
    int col0;
    int decimals;  // -1: unknown
};

}  // namespace

void PivotGrid::SetNumber(int r, int c, double value, int decimals) {
    const qsizetype n = qsizetype(rows) * cols, i = qsizetype(r) * cols + c;
    if (places.size() != n) {
        places.fill(-1, n);
        numbers.fill(0, n);
    }
    numbers[i] = value;
    places[i] = qint8(decimals);
    cells[i] = QString();
}

const QString& PivotGrid::at(int r, int c) const {
    const qsizetype i = qsizetype(r) * cols + c;
    if (i < places.size() && places[i] >= 0 && cells[i].isNull())
        cells[i] = FormatFixedNumber(numbers[i], places[i]);
    return cells[i];
}

QString& PivotGrid::at(int r, int c) {
    const qsizetype i = qsizetype(r) * cols + c;
    if (i < places.size() && places[i] >= 0) {
        std::as_const(*this).at(r, c);
        places[i] = -1;
    }
    return cells[i];
}

PivotGrid BuildPivotGrid(CReportHandle& report, const QList<CalcRange>& areas,
                         const QStringList& labels) {
    QList<int> keywordSlots;
    for (int slot = 0; slot < kKeywordSlots; ++slot) {
        CellRef cell;
        if (report.AccessKeywordCell(0, slot, &cell) == 0 && cell.row > 0) keywordSlots << slot;
    }
    // With no page loaded the pivot starts at the first page.
    const int first = std::max(1, report.GetCurPage());
    int pages = std::max(0, report.GetPageCount() - first + 1);
    const bool rowsCut = pages > PivotGrid::kMaxPages;
    pages = std::min(pages, int(PivotGrid::kMaxPages));

    QVector<CellPos> cells;
    long total = 0;
    for (const CalcRange& a : areas) {
        if (a.r1 == -1) continue;
        for (int r = a.r1; r <= a.r2; ++r)
            for (int c = a.c1; c <= a.c2; ++c) {
                ++total;
                if (cells.size() < PivotGrid::kMaxCells) cells.append({r, c, -1});
            }
    }
    const bool colsCut = total > PivotGrid::kMaxCells;
    for (CellPos& p : cells) {
        int32_t decimals = 0;
        const CellArea area = CellArea::cell(p.row0 + 1, p.col0 + 1);
        if (report.AccessAreaFormat(0, kFmtDecimals, &decimals, &area) == 0) p.decimals = decimals;
    }

    PivotGrid g;
    g.rows = pages + 1;
    g.cols = int(cells.size()) + int(keywordSlots.size()) + 1;
    g.cells.resize(qsizetype(g.rows) * g.cols);
    const QString pageText = LoadErrorText(str::kPageNumbered);
    for (int r = 1; r < g.rows; ++r) {
        g.at(r, 0) = QString(pageText).replace(QStringLiteral("%d"), QString::number(first + r - 1));
        if (rowsCut && r == g.rows - 1) g.at(r, 0) += kCut;
    }
    for (int i = 0; i < cells.size(); ++i) {
        const QString label = labels.value(i);
        g.at(0, i + 1) = label.isEmpty() ? FormatCellRef(cells[i].col0, cells[i].row0) : label;
    }
    if (colsCut && !cells.isEmpty()) g.at(0, int(cells.size())) += kCut;
    for (int k = 0; k < keywordSlots.size(); ++k) g.at(0, int(cells.size()) + 1 + k) = keywordHeader(keywordSlots[k]);

    for (int r = 1; r < g.rows; ++r) {
        const int page = first + r - 1;
        for (int i = 0; i < cells.size(); ++i) {
            CellValue v;
            if (report.GetCellValue(&v, cells[i].row0 + 1, cells[i].col0 + 1, page) != 0) continue;
            if (v.isText())
                g.at(r, i + 1) = v.text.left(32);
            else if (v.kind != kCellUnset && cells[i].decimals >= 0)
                g.SetNumber(r, i + 1, v.number, std::min(cells[i].decimals, 127));
        }
        for (int k = 0; k < keywordSlots.size(); ++k) {
            KeywordValue kv;
            if (report.GetPageKeyword(keywordSlots[k], &kv, page) != 0 || kv.kind == 0) continue;
            QString text;
            if (keywordSlots[k] <= 1)
                text = kv.kind == 2 ? kv.text : QString::number(kv.number, 'g', 15);
            else if (const double whole = std::trunc(kv.kind == 2 ? ParseDouble(kv.text) : kv.number);
                     whole != 0)
                text = QString::number(qint64(whole));
            g.at(r, int(cells.size()) + 1 + k) = text;
        }
    }
    return g;
}

namespace {

bool isDateColumn(const QString& header) {
    for (int id : {str::kKeywordYear, str::kKeywordQuarter, str::kKeywordMonth, str::kKeywordDay})
        if (header == LoadErrorText(id)) return true;
    return false;
}

bool wholeNumber(const QString& text, double* value) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

}  // namespace

bool SavePivotGrid(const PivotGrid& grid, const QString& path, QString* error, QString* note) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (path.isEmpty()) return fail(LoadErrorText(str::kNoFileNameGiven));
    if (FindOpenReport(path)) return fail(LoadErrorText(str::kReportOpenCannotOverwrite).arg(path));
    const int rows = std::min(grid.rows, 9999);
    const int cols = std::min(grid.cols - 1, 255);
    if (rows < 1 || cols < 1) return fail(LoadErrorText(str::kPivotNothingToSave));
    if (note) {
        note->clear();
        if (grid.rows > rows || grid.cols - 1 > cols)
            *note = LoadErrorText(str::kPivotRowsColumnsNotSaved)
                        .arg(grid.rows - rows)
                        .arg(grid.cols - 1 - cols);
    }

    const QFileInfo target(path);
    const QString temp = target.absolutePath() + QStringLiteral("/.~pivot-") +
                         QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".rep");
    uint16_t st = 0;
    {
        CReportHandle rep(temp, CReportHandle::OpenMode::CreateNew);
        auto check = [&](uint16_t s) {
            if (s != 0 && st == 0) st = s;
            return st == 0;
        };
        if (!rep.IsOpen()) {
            st = rep.OpenStatus() ? rep.OpenStatus() : 1010;
        } else {
            if (!rep.IsFormatState()) check(rep.EnterFormatState());
            uint16_t r16 = uint16_t(rows), c16 = uint16_t(cols);
            check(rep.AccessTableSize(1, &r16, &c16));
            // Each cell's kind by its text; texts in date columns stay texts.
            QVector<QVector<bool>> numeric(rows, QVector<bool>(cols + 1, false));
            QVector<QVector<double>> numbers(rows, QVector<double>(cols + 1, 0));
            for (int c = 1; c <= cols && st == 0; ++c) {
                const bool dates = isDateColumn(grid.at(0, c));
                for (int r = 0; r < rows; ++r) {
                    double v = 0;
                    if (grid.IsNumber(r, c)) {
                        // The value read from its cell, already rounded to
                        // the decimals it shows.
                        v = grid.Number(r, c);
                        numeric[r][c] = !(r > 0 && dates);
                    } else {
                        numeric[r][c] = !(r > 0 && dates) && wholeNumber(grid.at(r, c), &v);
                    }
                    numbers[r][c] = v;
                }
                // One format call per run of rows of the same kind.
                for (int r = 0; r < rows && st == 0;) {
                    int end = r;
                    while (end + 1 < rows && numeric[end + 1][c] == numeric[r][c]) ++end;
                    int32_t kind = numeric[r][c] ? kCellNumber : kCellText;
                    const CellArea area = CellArea::area(r + 1, c, end + 1, c);
                    check(rep.AccessAreaFormat(1, kFmtKind, &kind, &area));
                    r = end + 1;
                }
            }
            if (st == 0) check(rep.EnterDataState());
            if (st == 0) check(rep.AppendRowColPage(1, 2));
            for (int r = 0; r < rows && st == 0; ++r)
                for (int c = 1; c <= cols && st == 0; ++c) {
                    if (numeric[r][c]) {
                        check(rep.SetCellValue(CellValue::ofNumber(numbers[r][c]), r + 1, c, 1));
                        continue;
                    }
                    const QString& text = grid.at(r, c);
                    if (!text.isEmpty())
                        check(rep.SetCellValue(CellValue::ofText(text), r + 1, c, 1));
                }
            if (st == 0) check(rep.Save());
        }
    }
    if (st != 0) {
        QFile::remove(temp);
        return fail(LoadErrorText(str::kPivotCannotSaveAs).arg(path, StatusText(st)));
    }
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temp);
        return fail(LoadErrorText(str::kPivotFileNotWritable).arg(path));
    }
    return true;
}

}  // namespace qor
