#pragma once

#include <optional>
// Shared by the command words (commands_*.cpp): one command being run,
// with the checks and helpers every word needs. Not for other callers.

#include <QString>
#include <memory>
#include <vector>

#include "cmdlang/calcenvironment.h"
#include "cmdlang/calcerrors.h"
#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/syntaxtree.h"

namespace qor::cmd {

struct CommandRun {
    CCalcInterpreter& ci;
    const QString& line;
    const Command& cmd;

    bool checkOnly() const { return ci.TestRunMode(CCalcInterpreter::kModeCheckOnly) != 0; }

    // The current report in data state; throws CALC_ERR_NO_REPORT or
    // CALC_ERR_FORMAT_STATE.
    CReportHandle& report() const;
    // The report's current page (page 1 made current when none is);
    // throws CALC_ERR_NO_PAGE for a report without pages.
    int currentPage() const;
    ReportScope scope(CReportHandle* report) const { return ReportScope::Of(report, &ci); }

    // A file named by a command. A relative report name is taken from the
    // current report's folder (else the running script's), any other name
    // from the running script's folder (else the report's); the working
    // folder when there is neither. Reports get ".rep" when they have
    // another extension.
    QString resolvePath(const QString& file, bool isReport) const;

    // A condition on a page (or, with line > 0, on a variable line): true
    // or false; an error value throws CALC_ERR_EVALUATION naming the page.
    bool holds(const Node& cond, const EvalEnvironment& env, int line = 0) const;
    // The condition on one page of the scope's report, reading the page
    // only if the condition needs it.
    bool holdsOnPage(const Node& cond, const ReportScope& scope, int page) const;
    // For a condition of the form MRECNO() = n, where n reads nothing of a
    // page, the few pages that can hold it (unordered; each still to be
    // checked with the whole condition); none for any other condition, or
    // when n does not come out a number.
    std::optional<std::vector<int>> pagesByNumber(const Node& cond,
                                                  const ReportScope& scope) const;
    // Pages 1..count of a report whose page condition holds (all when
    // cond is null).
    std::vector<int> matchingPages(const ReportScope& scope, const Node* cond) const;
    // Throws CALC_ERR_EVALUATION with the value's message.
    [[noreturn]] void evaluationFailed(const Value& v, const QString& where) const;
    // A stored cell a command takes as an amount or a key. A cell whose
    // formula failed refuses the command as it refuses FIND's condition
    // (206 naming the page and the cell): its value is no amount.
    Value amountCell(const EvalEnvironment& env, int row, int col) const;
    // The same for index (from 1) of a variable line.
    Value amountVarCell(const EvalEnvironment& env, int line, int index) const;

    // The document follows what a command did.
    void showPage(int page) const;
    void showCell(int page, int row, int col) const;
    void refresh() const;

    // The search CONTINUE goes on with.
    std::unique_ptr<CCalcInterpreter::Search>& search() const { return ci.m_search; }
    void setFound(int page, int row, int col) const;
    // Runs another script (DO).
    void runScriptFile(const QString& path) const;
};

// Cells whose formulas failed that a command carried over rather than
// refused: a total leaves them out of its sum, APPEND copies them. The
// cells written from them keep the mark, and the run hears how many there
// were and the first by page, row and column (it then exits 3).
class FailedSources {
public:
    // text: the message told, of the command word (%1), the count (%2) and
    // the first cell's page (%3) and cell (%4).
    explicit FailedSources(uint32_t text = str::kFailedCellsCarried) : m_text(text) {}
    // A shown cell of a source page.
    void add(int page, int row, int col);
    int count() const { return m_count; }
    // Logs the count and the first cell and notes them on the run; nothing
    // when none failed.
    void tell(const CommandRun& run, const QString& command) const;

private:
    uint32_t m_text;
    int m_count = 0;
    int m_page = 0, m_row = 0, m_col = 0;
};

void RunAssign(CommandRun& run);
void RunFree(CommandRun& run);
void RunListMemory(CommandRun& run);
void RunHelp(CommandRun& run);
void RunFind(CommandRun& run);
void RunGFind(CommandRun& run);
void RunContinue(CommandRun& run);
void RunTotal(CommandRun& run);
void RunGTotal(CommandRun& run);
void RunAppend(CommandRun& run);
void RunDelete(CommandRun& run);
void RunSort(CommandRun& run);
void RunRound(CommandRun& run);
void RunCheck(CommandRun& run);
void RunRecalc(CommandRun& run);
void RunBrowse(CommandRun& run);
void RunMail(CommandRun& run);
void RunMenu(CommandRun& run);
void RunConvert(CommandRun& run);
void RunDo(CommandRun& run);

// A new report at path with the format of tmpl and one page (made
// current), or a thrown error. An existing file is never replaced.
std::unique_ptr<CReportHandle> CreateResultReport(const QString& path, CReportHandle& tmpl);
// Saves a report made by CreateResultReport; on failure the file is
// removed and the error thrown.
void SaveResultReport(std::unique_ptr<CReportHandle> report, const QString& path);

}  // namespace qor::cmd
