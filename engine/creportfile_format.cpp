// Cell formats, combined cells, area lines and labels of the report file.
#include <algorithm>

#include "engine/creportfile.h"
#include "engine/format_areas.h"
#include "engine/status.h"

using namespace qor;

namespace {

bool inTable(const ReportFormat& f, uint16_t row, uint16_t col) {
    return row >= 1 && col >= 1 && row <= f.header.rows && col <= f.header.cols &&
           f.cellFormats.size() == size_t(f.header.rows) * f.header.cols;
}

}  // namespace

int CReportFile::GetCombineCode(uint16_t storedRow, uint16_t storedCol) const {
    if (!inTable(m_format, storedRow, storedCol)) return 0;
    return int(kFmtCombineCode.get(m_format.cellFormat(storedRow, storedCol)));
}

bool CReportFile::FindCombinedArea(uint16_t storedRow, uint16_t storedCol, AreaRecord* out) const {
    const AreaRecord* a = findCombined(m_format, storedRow, storedCol);
    if (!a) return false;
    if (out) *out = *a;
    return true;
}

bool CReportFile::AreaTouchesCombined(const AreaRecord& stored) const {
    const AreaRecord a{std::min(stored.r1, stored.r2), std::min(stored.c1, stored.c2),
                       std::max(stored.r1, stored.r2), std::max(stored.c1, stored.c2)};
    return std::any_of(m_format.combined.begin(), m_format.combined.end(),
                       [&](const AreaRecord& c) { return areasIntersect(a, c); });
}

int CReportFile::GetAreaLine(const CellArea& mapped, int kind, int* style) const {
    const uint16_t r1 = uint16_t(std::min(mapped.first.row, mapped.last.row));
    const uint16_t r2 = uint16_t(std::max(mapped.first.row, mapped.last.row));
    const uint16_t c1 = uint16_t(std::min(mapped.first.col, mapped.last.col));
    const uint16_t c2 = uint16_t(std::max(mapped.first.col, mapped.last.col));
    for (const AreaLineRecord& l : m_format.areaLines) {
        if (int(l.direction) == kind && l.r1 == r1 && l.c1 == c1 && l.r2 == r2 && l.c2 == c2) {
            if (style) *style = l.style;
            return 1;
        }
    }
    return 0;
}

int CReportFile::GetAreaLineCount() const { return int(m_format.areaLines.size()); }

const std::vector<AreaLineRecord>& CReportFile::GetAreaLines() const { return m_format.areaLines; }

uint32_t CReportFile::GetCellFormatField(uint16_t storedRow, uint16_t storedCol, int code) const {
    if (!inTable(m_format, storedRow, storedCol)) return 0;
    return cellFormatGet(m_format.cellFormat(storedRow, storedCol), code);
}

QString CReportFile::GetLabel(uint16_t storedRow, uint16_t storedCol) const {
    const QString* text = m_format.labels.find(cellKey(storedRow, storedCol));
    return text ? *text : QString();
}

uint16_t CReportFile::SetLabel(uint16_t storedRow, uint16_t storedCol, const QString& text) {
    if (!inTable(m_format, storedRow, storedCol)) return code(Status::OutsideTable);
    uint64_t& w = m_format.cellFormat(storedRow, storedCol);
    if (text.isEmpty()) {
        m_format.labels.erase(cellKey(storedRow, storedCol));
        w = kFmtHasLabel.set(w, 0);
    } else {
        // A text built up by appending has room to grow; a report may hold
        // millions of labels, so each keeps its characters and no more.
        QString kept = text.left(kMaxLabelChars);
        if (kept.capacity() > kept.size()) kept = QString(kept.constData(), kept.size());
        m_format.labels.set(cellKey(storedRow, storedCol), std::move(kept));
        w = kFmtHasLabel.set(w, 1);
    }
    return 0;
}
