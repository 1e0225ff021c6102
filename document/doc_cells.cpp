// Cell accessors of the document: 0-based shown rows and columns of the
// current page, read through the report.

#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"

using namespace qor;

namespace {

CellArea cellAt(int row, int col) { return CellArea::cell(row + 1, col + 1); }

CellArea toZeroBased(const CellArea& a) {
    return CellArea::area(a.first.row - 1, a.first.col - 1, a.last.row - 1, a.last.col - 1);
}

// One attribute of a cell (the top-left cell's for a cell of a combined
// area, as the report reads it); 0 when the cell cannot be read.
int32_t attribute(CReportHandle* report, int row, int col, int code) {
    if (!report || row < 0 || col < 0) return 0;
    int32_t v = 0;
    const CellArea a = cellAt(row, col);
    return report->AccessAreaFormat(0, code, &v, &a) == 0 ? v : 0;
}

QString numberText(double v) { return QString::number(v, 'g', 15); }

}  // namespace

int CQorsDoc::GetCellKind(int row, int col) const {
    const int32_t kind = attribute(m_pReport.get(), row, col, kFmtKind);
    return kind == kCellUnset ? kCellNumber : kind;
}

bool CQorsDoc::GetNumCellValue(int row, int col, double* value) const {
    if (!m_pReport || GetCellKind(row, col) != kCellNumber) return false;
    CellValue v;
    if (m_pReport->GetCellValue(&v, row + 1, col + 1, 0) != 0) return false;
    // An empty number is not a value: the view leaves such cells blank.
    if (v.kind != kCellNumber) return false;
    if (value) *value = v.number;
    return true;
}

bool CQorsDoc::GetCharCellText(int row, int col, QString* text) const {
    if (!m_pReport || GetCellKind(row, col) != kCellText) return false;
    uint16_t status = 0;
    const QString t = m_pReport->GetCellText(row + 1, col + 1, 0, &status);
    if (status) return false;
    if (text) *text = t;
    return true;
}

bool CQorsDoc::GetStyleCellText(int row, int col, QString* text) const {
    if (!m_pReport || GetCellKind(row, col) != kCellLabel) return false;
    uint16_t status = 0;
    const QString t = m_pReport->GetCellText(row + 1, col + 1, 0, &status);
    if (status) return false;
    if (text) *text = t;
    return true;
}

void CQorsDoc::GetCellFont(int row, int col, int* a, int* b, int* c, int* d) const {
    CReportHandle* r = m_pReport.get();
    if (a) *a = attribute(r, row, col, kFmtThousands);
    if (b) *b = attribute(r, row, col, kFmtPercent);
    if (c) *c = attribute(r, row, col, kFmtCurrency);
    if (d) *d = attribute(r, row, col, kFmtDecimals);
}

uint32_t CQorsDoc::GetCellForeColor(int row, int col) const {
    const int32_t index = attribute(m_pReport.get(), row, col, kFmtForeground);
    return kCellPalette[index & 15];
}

void CQorsDoc::GetCellBackPattern(int row, int col, int* pattern, uint32_t* colour) const {
    // The pattern attribute is the number of the view's hatch style; 0 is
    // no pattern. Without a report a cell is plain white.
    if (!m_pReport) {
        if (pattern) *pattern = 0;
        if (colour) *colour = kCellPalette[kColourWhite];
        return;
    }
    if (pattern) *pattern = attribute(m_pReport.get(), row, col, kFmtPattern);
    if (colour) *colour = kCellPalette[attribute(m_pReport.get(), row, col, kFmtBackground) & 15];
}

uint32_t CQorsDoc::GetCellDrawFormat(int row, int col) const {
    CReportHandle* r = m_pReport.get();
    uint32_t flags = 0;
    switch (attribute(r, row, col, kFmtHAlign)) {
        case kAlignDefault:
            if (GetCellKind(row, col) == kCellNumber) flags |= kDrawRight;
            break;
        case kAlignCentre:
            flags |= kDrawCentre;
            break;
        case kAlignEnd:
            flags |= kDrawRight;
            break;
        default:
            break;
    }
    switch (attribute(r, row, col, kFmtVAlign)) {
        case kAlignDefault:
        case kAlignCentre:
            flags |= kDrawVCentre;
            break;
        case kAlignEnd:
            flags |= kDrawBottom;
            break;
        default:
            break;
    }
    flags |= attribute(r, row, col, kFmtWrap) ? kDrawWordBreak : kDrawSingleLine;
    return flags;
}

uint16_t CQorsDoc::GetCellLineStyle(int row, int col) const {
    CReportHandle* r = m_pReport.get();
    if (!r || row < 0 || col < 0) return 0;
    const uint16_t right = uint16_t(attribute(r, row, col, kFmtRightLine) & 15);
    const uint16_t bottom = uint16_t(attribute(r, row, col, kFmtBottomLine) & 15);
    int32_t left = 0, top = 0;
    if (col > 0)
        left = attribute(r, row, col - 1, kFmtRightLine);
    else if (r->AccessRowColFlag(0, 0, row + 1, &left) != 0)
        left = 0;
    if (row > 0)
        top = attribute(r, row - 1, col, kFmtBottomLine);
    else if (r->AccessRowColFlag(0, 1, col + 1, &top) != 0)
        top = 0;
    return uint16_t(right | (left & 15) << 4 | bottom << 8 | (top & 15) << 12);
}

bool CQorsDoc::GetCellFormula(int row, int col, QString* text) const {
    if (!m_pReport) return false;
    FormulaInfo info;
    if (!m_pReport->GetCellFormula(CellRef{0, int16_t(row + 1), int16_t(col + 1)}, &info))
        return false;
    if (text) *text = info.text;
    return true;
}

int CQorsDoc::GetCellFormulaState(int row, int col) const {
    return m_pReport ? m_pReport->GetCellFormulaState(row + 1, col + 1) : 0;
}

bool CQorsDoc::GetCombinedArea(int row, int col, CellArea* area) const {
    if (!m_pReport) return false;
    CellArea out;
    if (!m_pReport->GetCombinedArea(cellAt(row, col), &out)) return false;
    if (area) *area = toZeroBased(out);
    return true;
}

bool CQorsDoc::IsCombinedCell(int row, int col) const { return GetCombinedArea(row, col, nullptr); }

int CQorsDoc::GetCombinedAreaCount() const {
    return m_pReport ? m_pReport->GetReportFile()->GetAreaLineCount() : 0;
}

std::vector<AreaLineEntry> CQorsDoc::GetCombinedAreas() const {
    std::vector<AreaLineEntry> out;
    if (!m_pReport) return out;
    for (const AreaLineRecord& l : m_pReport->GetReportFile()->GetAreaLines())
        out.push_back({int16_t(l.style), int16_t(l.r1 - 1), int16_t(l.c1 - 1), int16_t(l.direction),
                       int16_t(l.r2 - 1), int16_t(l.c2 - 1)});
    return out;
}

bool CQorsDoc::GetKeywordCell(int slot, int* row, int* col) const {
    if (!m_pReport) return false;
    CellRef cell;
    if (m_pReport->AccessKeywordCell(0, slot, &cell) != 0 || cell.row <= 0 || cell.col <= 0)
        return false;
    if (row) *row = cell.row - 1;
    if (col) *col = cell.col - 1;
    return true;
}

QString CQorsDoc::GetKeywordDisplayText(int slot, bool dataOnly) const {
    if (!m_pReport || slot < 0 || slot > 6) return QString();
    const QStringList names = FormulaKeywordNames(m_pReport->GetReportFile()->GetUserKeywordName());
    const QString name = names.value(slot);
    if (m_pReport->IsFormatState()) return dataOnly ? QString() : name;
    KeywordValue v;
    QString value;
    if (m_pReport->GetPageKeyword(slot, &v, 0) == 0) {
        if (v.kind == 1)
            value = numberText(v.number);
        else if (v.kind == 2)
            value = v.text;
    }
    if (dataOnly || name.isEmpty()) return value;
    return LoadErrorText(qor::str::kNameAndText).arg(name, value);
}

int16_t CQorsDoc::GetKeywordOffset(int slot) const {
    return m_pReport ? int16_t(m_pReport->GetReportFile()->GetKeywordOffset(slot)) : 0;
}

bool CQorsDoc::GetCheckLineArea(CellArea* area) const {
    if (!m_pReport || m_pReport->IsFormatState() || m_pReport->GetCurPage() < 1) return false;
    CellArea a;
    if (!m_pReport->GetCheckLineArea(m_pReport->GetCurPage(), &a)) return false;
    if (area) *area = toZeroBased(a);
    return true;
}
