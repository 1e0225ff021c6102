#pragma once
// The page a command evaluates its expressions on: stored cells, keywords
// and variable lines of one page of an open report, the interpreter's
// variables, and through the interpreter what lies beyond the report.
// Cells read exactly as the recalculation reads them (no display
// rounding), so a condition and a cell formula see the same numbers.
//
// Also the small translations between stored and shown coordinates the
// commands need when they write through the report's own calls.

#include <QStringList>
#include <memory>

#include "cmdlang/evaluator.h"
#include "engine/creporthandle.h"

class CCalcInterpreter;

namespace qor::cmd {

// What every page of one report shares while a command runs.
struct ReportScope {
    CReportHandle* report = nullptr;  // null: no report (variables only)
    const qor::ReportFormat* format = nullptr;
    QStringList keywordNames;                  // by slot 0..6
    const CCalcInterpreter* interp = nullptr;  // may be null (tests)

    static ReportScope Of(CReportHandle* report, const CCalcInterpreter* interp);
    // Slot 0..6 of a keyword name (case ignored), -1 when none.
    int keywordSlot(QStringView name) const;
};

class ReportPageEnvironment final : public EvalEnvironment {
public:
    // sheet may be null for a scope without report (page 0).
    ReportPageEnvironment(const ReportScope& scope, int page, std::shared_ptr<CSheetPage> sheet);
    // The page is read from the report the first time something reads its
    // cells, lines or keywords, so a condition on the page number alone
    // never loads it. A page that cannot be read leaves LoadStatus() set
    // and reads as empty.
    ReportPageEnvironment(const ReportScope& scope, int page);
    uint16_t LoadStatus() const { return m_loadStatus; }

    int RowCount() const override;
    int ColCount() const override;
    Value Cell(int row, int col) const override;
    int VarKind() const override;
    int VarStart() const override;
    int VarUsed() const override;
    Value VarCell(int line, int index) const override;
    int KeywordSlot(QStringView name) const override { return m_scope.keywordSlot(name); }
    Value Keyword(int slot) const override;
    std::optional<Value> Variable(QStringView name) const override;
    int PageNumber() const override { return m_page; }
    int PageCount() const override;
    int FoundPages() const override;
    bool WithPage(int page, const std::function<void(const EvalEnvironment&)>& fn) const override;
    Value ExternalCell(const ExternalCellRequest& request) const override;
    Value CallService(const QString& name, const QString& rawArgs) const override;
    Value ReadDatabase(const DatabaseRequest& request) const override;
    Value GetRecord(const RecordRequest& request) const override;
    bool CheckOnly() const override;

    const CSheetPage* sheet() const { return page(); }
    // Whether something read a cell or line whose formula failed: an error
    // that came from one is that cell's, not the reader's own.
    bool ReadFailedCell() const { return m_readFailed; }

private:
    const CSheetPage* page() const;
    // The page as read, without bringing the report's values current first.
    const CSheetPage* loaded() const;
    // Brings the report's values current before a read (see
    // CCalcInterpreter::BringCurrentForRead).
    void current() const;
    const ReportScope& m_scope;
    int m_page;
    mutable std::shared_ptr<CSheetPage> m_sheet;
    mutable bool m_pending = false;  // not read yet
    mutable uint16_t m_loadStatus = 0;
    mutable bool m_readFailed = false;
};

// A stored slot as a value of the language (kind-blind: a text slot is a
// text, a number slot a number). A slot whose formula failed is an error
// naming the cell when one is given: whatever reads it as an amount, a
// condition or a key fails with it.
Value SlotValue(const CellSlot& slot, const QString& text, const QString& cell = QString());

// The shown row and column of a stored cell on a page using `used` lines
// of the variable area (the template line stands for its first line).
int ShownRow(const qor::ReportHeader& h, int used, int storedRow);
int ShownCol(const qor::ReportHeader& h, int used, int storedCol);
// The shown cell of line (from 1) and index (column of a row area, row of
// a column area) of the variable area.
void ShownVarCell(const qor::ReportHeader& h, int line, int index, int* row, int* col);

// Writes a value into a stored cell of a page through the report (data
// state; formula cells are overwritten). An empty value empties the cell.
// failed marks the written value as a failed formula's (a total of cells
// one of which failed).
uint16_t WriteStoredCell(CReportHandle& report, int page, int storedRow, int storedCol,
                         const Value& value, bool failed = false);
// The same for a cell of the variable area.
uint16_t WriteVarCell(CReportHandle& report, int page, int line, int index, const Value& value,
                      bool failed = false);

}  // namespace qor::cmd
