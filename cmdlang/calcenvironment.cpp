#include "cmdlang/calcenvironment.h"

#include "cmdlang/calcerrors.h"
#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/cmdtexts.h"
#include "cmdlang/printer.h"
#include "engine/cellformat.h"
#include "engine/cells_varmap.h"
#include "engine/formulaeval.h"

namespace qor::cmd {

namespace {

Value noReport() { return Value::error(CmdText(str::kNoPageOpen)); }

}  // namespace

ReportScope ReportScope::Of(CReportHandle* report, const CCalcInterpreter* interp) {
    ReportScope s;
    s.report = report && report->IsOpen() ? report : nullptr;
    s.interp = interp;
    if (s.report) {
        s.format = &s.report->GetReportFile()->Format();
        s.keywordNames = FormulaKeywordNames(s.format->header.userKeywordName);
    }
    return s;
}

int ReportScope::keywordSlot(QStringView name) const {
    for (int i = 0; i < keywordNames.size(); ++i)
        if (!keywordNames[i].isEmpty() && name.compare(keywordNames[i], Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Value SlotValue(const CellSlot& s, const QString& text, const QString& cell) {
    if (s.flags & kSlotFormulaError)
        return Value::error(cell.isEmpty() ? CmdText(str::kCellFormulaFailed)
                                           : CmdText(str::kCellFailed).arg(cell));
    if (s.isText()) return Value::text(text);
    if (s.isNumber() && !s.isEmptyNumber()) return Value::number(s.numberValue());
    return Value::empty();
}

ReportPageEnvironment::ReportPageEnvironment(const ReportScope& scope, int page,
                                             std::shared_ptr<CSheetPage> sheet)
    : m_scope(scope), m_page(page), m_sheet(std::move(sheet)) {}

ReportPageEnvironment::ReportPageEnvironment(const ReportScope& scope, int page)
    : m_scope(scope), m_page(page), m_pending(scope.report != nullptr) {}

void ReportPageEnvironment::current() const {
    if (!m_scope.report) return;
    bool recalculated = false;
    if (m_scope.interp) {
        recalculated = m_scope.interp->BringCurrentForRead(*m_scope.report);
    } else if (!m_scope.report->ValuesCurrent()) {
        ThrowIfStatus(m_scope.report->BringCurrent(), CmdText(str::kRecalculation));
        recalculated = true;
    }
    // A page held from before the recalculation may be one the page memory
    // has since let go of: read it again.
    if (recalculated && !m_pending && m_sheet) m_sheet = m_scope.report->GetPage(m_page);
}

const CSheetPage* ReportPageEnvironment::page() const {
    current();
    return loaded();
}

const CSheetPage* ReportPageEnvironment::loaded() const {
    if (m_pending) {
        m_pending = false;
        uint16_t status = 0;
        m_sheet = m_scope.report->GetPage(m_page, &status);
        if (!m_sheet) m_loadStatus = status ? status : 1;
    }
    return m_sheet.get();
}

int ReportPageEnvironment::RowCount() const {
    return m_scope.format ? m_scope.format->header.rows : 0;
}

int ReportPageEnvironment::ColCount() const {
    return m_scope.format ? m_scope.format->header.cols : 0;
}

Value ReportPageEnvironment::Cell(int row, int col) const {
    if (!m_scope.format) return noReport();
    const ReportHeader& h = m_scope.format->header;
    if (row < 1 || col < 1 || row > h.rows || col > h.cols)
        return Value::error(CmdText(str::kRefOutside));
    // The template line of the variable area reads as its first line.
    if (h.varKind == 1 && row == h.varStart) return VarCell(1, col);
    if (h.varKind == 2 && col == h.varStart) return VarCell(1, row);
    const uint16_t r = uint16_t(row), c = uint16_t(col);
    if (cellFormatGet(m_scope.format->cellFormat(r, c), kFmtKind) == kCellLabel)
        return Value::text(m_scope.report->GetReportFile()->GetLabel(r, c));
    // A cell no formula computes holds what was written into it, whatever
    // waits to be worked out: a loop reading one amount on each page does
    // not work out every total over the pages once per page.
    const CSheetPage* sheet =
        m_scope.report->GetReportFile()->CellHasFormula(r, c) ? page() : loaded();
    if (!sheet) return Value::empty();
    const CellSlot s = sheet->Slot(r, c);
    if (s.flags & kSlotFormulaError) m_readFailed = true;
    return SlotValue(s, s.isText() ? sheet->Text(r, c) : QString(), PrintCell({row, col}));
}

int ReportPageEnvironment::VarKind() const {
    return m_scope.format ? m_scope.format->header.varKind : 0;
}

int ReportPageEnvironment::VarStart() const {
    return VarKind() ? m_scope.format->header.varStart : 0;
}

int ReportPageEnvironment::VarUsed() const {
    if (!VarKind()) return 0;
    // No recalculation adds or removes lines: counting them needs no values
    // brought current (a loop writing one line on each page would otherwise
    // work out every total over the pages once per line written).
    const CSheetPage* sheet = loaded();
    return sheet ? sheet->VarUsed() : 0;
}

Value ReportPageEnvironment::VarCell(int line, int index) const {
    if (!VarKind()) return Value::error(CmdText(str::kReportHasNoVariableArea));
    // No formula computes a line's cell (the area's row holds none).
    const CSheetPage* sheet = loaded();
    if (!sheet) return Value::empty();
    const SlotGrid& g = sheet->VarLines();
    if (line < 1 || index < 1 || !g.contains(uint32_t(line - 1), uint32_t(index - 1)))
        return Value::error(CmdText(str::kVarPositionMissing).arg(line).arg(index));
    const CellSlot s = g.slot(uint32_t(line - 1), uint16_t(index - 1));
    if (s.flags & kSlotFormulaError) m_readFailed = true;
    return SlotValue(s, s.isText() ? g.text(uint32_t(line - 1), uint16_t(index - 1)) : QString());
}

Value ReportPageEnvironment::Keyword(int slot) const {
    KeywordValue k;
    // No formula computes a keyword: reading one needs nothing worked out.
    if (m_pending && slot >= 0 && slot < kPageKeywordSlots) {
        // Keywords alone do not need the page loaded.
        if (uint16_t s = m_scope.report->GetPageKeyword(slot, &k, m_page)) {
            m_pending = false;
            m_loadStatus = s;
            return Value::empty();
        }
    } else {
        const CSheetPage* sheet = loaded();
        if (!sheet) return Value::empty();
        k = sheet->Keyword(slot);
    }
    if (k.kind == 1) return Value::number(k.number);
    if (k.kind == 2) return Value::text(k.text);
    return Value::empty();
}

std::optional<Value> ReportPageEnvironment::Variable(QStringView name) const {
    if (!m_scope.interp) return std::nullopt;
    return m_scope.interp->Runtime().VariableValue(name);
}

int ReportPageEnvironment::PageCount() const {
    return m_scope.report ? m_scope.report->GetPageCount() : 0;
}

int ReportPageEnvironment::FoundPages() const {
    return m_scope.interp ? m_scope.interp->FoundPages() : 0;
}

bool ReportPageEnvironment::WithPage(int page,
                                     const std::function<void(const EvalEnvironment&)>& fn) const {
    if (page == m_page && this->page()) {
        fn(*this);
        return true;
    }
    if (!m_scope.report || page < 1 || page > m_scope.report->GetPageCount()) return false;
    std::shared_ptr<CSheetPage> sheet = m_scope.report->GetPage(page);
    if (!sheet) return false;
    fn(ReportPageEnvironment(m_scope, page, std::move(sheet)));
    return true;
}

Value ReportPageEnvironment::ExternalCell(const ExternalCellRequest& r) const {
    return m_scope.interp ? m_scope.interp->ExternalCell(r) : EvalEnvironment::ExternalCell(r);
}

Value ReportPageEnvironment::CallService(const QString& name, const QString& rawArgs) const {
    return m_scope.interp ? m_scope.interp->CallService(name, rawArgs)
                          : EvalEnvironment::CallService(name, rawArgs);
}

Value ReportPageEnvironment::ReadDatabase(const DatabaseRequest& r) const {
    return m_scope.interp ? m_scope.interp->ReadDatabase(r) : EvalEnvironment::ReadDatabase(r);
}

Value ReportPageEnvironment::GetRecord(const RecordRequest& r) const {
    return m_scope.interp ? m_scope.interp->GetRecord(r) : EvalEnvironment::GetRecord(r);
}

bool ReportPageEnvironment::CheckOnly() const {
    return m_scope.interp && m_scope.interp->TestRunMode(CCalcInterpreter::kModeCheckOnly);
}

// ---------------------------------------------------------------- coordinates

int ShownRow(const ReportHeader& h, int used, int storedRow) {
    return ShownRowOf(h, used, storedRow);
}

int ShownCol(const ReportHeader& h, int used, int storedCol) {
    return ShownColOf(h, used, storedCol);
}

void ShownVarCell(const ReportHeader& h, int line, int index, int* row, int* col) {
    if (h.varKind == 2) {
        *row = index;
        *col = h.varStart + line - 1;
    } else {
        *row = h.varStart + line - 1;
        *col = index;
    }
}

namespace {

CellValue cellValueOf(const Value& v) {
    if (v.isNumber()) return CellValue::ofNumber(v.asNumber());
    if (v.isText()) return CellValue::ofText(v.asText());
    return CellValue{};
}

}  // namespace

namespace {

uint16_t writeShown(CReportHandle& report, int page, int row, int col, const Value& value,
                    bool failed) {
    if (uint16_t s = report.SetCellValue(cellValueOf(value), row, col, page, 0, 1)) return s;
    return failed ? report.MarkCellValueFailed(row, col, page) : 0;
}

}  // namespace

uint16_t WriteStoredCell(CReportHandle& report, int page, int storedRow, int storedCol,
                         const Value& value, bool failed) {
    const ReportHeader& h = report.GetReportFile()->Format().header;
    std::shared_ptr<CSheetPage> sheet = report.GetPage(page);
    const int used = sheet ? std::max<int>(1, sheet->VarUsed()) : 1;
    return writeShown(report, page, ShownRow(h, used, storedRow), ShownCol(h, used, storedCol),
                      value, failed);
}

uint16_t WriteVarCell(CReportHandle& report, int page, int line, int index, const Value& value,
                      bool failed) {
    const ReportHeader& h = report.GetReportFile()->Format().header;
    int row = 0, col = 0;
    ShownVarCell(h, line, index, &row, &col);
    return writeShown(report, page, row, col, value, failed);
}

}  // namespace qor::cmd
