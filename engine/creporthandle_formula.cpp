// Formulas of an open report: setting and reading them, audit and
// rounding-balance texts.
#include <QStringList>
#include <algorithm>
#include <new>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/formula_cache.h"
#include "engine/formula_graph.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/textutil.h"

using namespace qor;

namespace {

constexpr uint16_t kRefused = code(Status::Refused);
constexpr int kMaxAuditTextChars = 4095;  // a final CR LF comes on top
constexpr int kMaxRoundingNameChars = 255;
constexpr int kMaxRoundingFormulaChars = 3745;

}  // namespace

// ---------------------------------------------------------------------------
// Setting and reading formulas

uint16_t CReportHandle::SetAreaFormula(CellArea* area, const QString& text) {
    if (!m_file || !area) return kRefused;
    if (!m_file->IsFormatEditing()) return kRefused;
    CellArea mapped;
    if (!m_file->MapAreaAddress(*area, &mapped)) return code(Status::OutsideTable);
    const AreaRecord stored{uint16_t(mapped.first.row), uint16_t(mapped.first.col),
                            uint16_t(mapped.last.row), uint16_t(mapped.last.col)};
    try {
        return m_file->SetStoredAreaFormula(stored, text);
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
}

QString CReportHandle::LastFormulaError() const {
    return m_file ? m_file->LastFormulaError() : QString();
}

int CReportHandle::LastFormulaErrorPosition() const {
    return m_file ? m_file->LastFormulaErrorPosition() : -1;
}

namespace {

// Shown row and column of a stored cell: rows (columns) after the variable
// area's template move down (right) by the lines the area shows.
void storedToShown(const CReportFile& file, uint16_t row, uint16_t col, int16_t* shownRow,
                   int16_t* shownCol) {
    const ReportHeader& h = file.Format().header;
    int r = row, c = col;
    if (h.varKind) {
        const int extra = std::max(1, file.VarUsedLines()) - 1;
        if (h.varKind == 1 && r > h.varStart) r += extra;
        if (h.varKind == 2 && c > h.varStart) c += extra;
    }
    *shownRow = int16_t(r);
    *shownCol = int16_t(c);
}

FormulaInfo infoOf(const CReportFile& file, const FormulaRecord& fr, uint16_t state) {
    FormulaInfo info;
    storedToShown(file, fr.area.r1, fr.area.c1, &info.area.first.row, &info.area.first.col);
    storedToShown(file, fr.area.r2, fr.area.c2, &info.area.last.row, &info.area.last.col);
    info.row = info.area.first.row;
    info.col = info.area.first.col;
    info.text = fr.text;
    info.kind = fr.kind;
    info.state = state;
    return info;
}

// State of formula i: 2 when it does not compile or lies in a cycle (as far
// as a checker can tell), else what the list holds.
uint16_t formulaState(const CReportFile& file, CReportFile::FormulaCache& cache, int i) {
    const FormulaRecord& fr = file.Format().formulas[size_t(i)];
    if (fr.state == 2) return 2;
    if (fr.kind != 0 || !FormulaChecker()) return 0;
    const FormulaGraph& g = cache.graph(file.Format());
    return size_t(i) < g.problem.size() && g.problem[size_t(i)] ? 2 : 0;
}

}  // namespace

int CReportHandle::GetCellFormula(CellRef cell, FormulaInfo* rec) const {
    if (rec) *rec = FormulaInfo{};
    if (!m_file || !rec) return 0;
    uint16_t r = 0, c = 0;
    if (!m_file->MapCellAddress(cell.row, cell.col, &r, &c)) return 0;
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const int i = cache.index().find(r, c);
    if (i < 0) return 0;
    *rec = infoOf(*m_file, m_file->Format().formulas[size_t(i)], formulaState(*m_file, cache, i));
    return 1;
}

int CReportHandle::GetCellFormulaState(int row, int col) const {
    if (!m_file) return 0;
    uint16_t r = 0, c = 0;
    if (!m_file->MapCellAddress(row, col, &r, &c)) return 0;
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const int i = cache.index().find(r, c);
    if (i < 0) return 0;
    if (formulaState(*m_file, cache, i) == 2) return 2;
    if (!m_file->IsFormatEditing()) {
        const std::shared_ptr<CSheetPage> current = currentPage();
        if (current && (current->Slot(r, c).flags & kSlotFormulaError)) return 2;
    }
    return 1;
}

std::vector<FormulaInfo> CReportHandle::EnumFormulas(int kind) const {
    std::vector<FormulaInfo> out;
    if (!m_file) return out;
    CReportFile::FormulaCache& cache = m_file->Formulas();
    const std::vector<FormulaRecord>& list = m_file->Format().formulas;
    for (size_t i = 0; i < list.size(); ++i)
        if (kind < 0 || list[i].kind == kind)
            out.push_back(infoOf(*m_file, list[i], formulaState(*m_file, cache, int(i))));
    return out;
}

// ---------------------------------------------------------------------------
// Audit and rounding-balance texts

QString CReportHandle::GetAuditFormulas() const {
    if (!m_file || m_file->Format().auditText.isEmpty()) return QString();
    return m_file->Format().auditText;
}

uint16_t CReportHandle::SetAuditFormulas(const QString& text) {
    if (!m_file) return kRefused;
    QStringView body(text);
    if (body.endsWith(u"\r\n")) body.chop(2);
    if (body.size() > kMaxAuditTextChars) return kRefused;
    try {
        m_file->MutableFormat().auditText = text;
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
    return 0;
}

RoundingSettings CReportHandle::GetRoundingSettings() const {
    return m_file ? m_file->Format().rounding : RoundingSettings{};
}

uint16_t CReportHandle::SetRoundingSettings(const RoundingSettings& s) {
    if (!m_file) return kRefused;
    const bool clearing = s == RoundingSettings{};
    if (!clearing &&
        (s.tableName.size() > kMaxRoundingNameChars || s.range.size() > kMaxRoundingNameChars ||
         s.digits < 1 || s.digits > 8 || s.formula.size() > kMaxRoundingFormulaChars))
        return kRefused;
    try {
        m_file->MutableFormat().rounding = s;
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
    return 0;
}
