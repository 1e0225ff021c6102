// CHECK (the audit relations) and RECALC.
#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "engine/cellgate.h"
#include "engine/errorlog.h"
#include "engine/messages.h"

namespace qor::cmd {

void RunCheck(CommandRun& run) {
    CReportHandle& r = run.report();
    const int current = run.currentPage();
    const QString text = r.GetAuditFormulas();
    if (text.trimmed().isEmpty())
        ThrowCalcError(CALC_ERR_NO_SETTINGS, CmdText(str::kReportHasNoAuditFormulas));
    std::vector<AuditRelation> relations;
    ParseError e;
    if (!ParseAuditFormulas(text, &relations, &e))
        ThrowCalcError(CALC_ERR_SYNTAX, CmdText(str::kAuditFormulasLine).arg(e.toString()));
    const ReportScope scope = run.scope(&r);
    std::vector<int> pages;
    if (run.cmd.all)
        for (int p = 1; p <= r.GetPageCount(); ++p) pages.push_back(p);
    else
        pages.push_back(current);

    QStringList failures, logLines;
    for (int p : pages) {
        ReportPageEnvironment env(scope, p, r.GetPage(p));
        for (const AuditRelation& rel : relations) {
            const Value v = Evaluate(*rel.relation, env);
            if (!v.isError() && !v.isArea() && IsTrue(v)) continue;
            QString what = rel.hasMessage ? rel.message : PrintExpression(*rel.relation);
            if (v.isError()) what += QStringLiteral(" (%1)").arg(v.errorMessage());
            // The log is read in the desktop: its page prefix is in the
            // user's language.
            logLines << (run.cmd.all ? LoadErrorText(str::kLogPageLine).arg(p).arg(what) : what);
            if (run.cmd.all) what = CmdText(str::kOnPage).arg(p).arg(what);
            failures << what;
        }
    }
    if (failures.isEmpty()) return;
    // Each failed relation goes to the log on its own line; the command's
    // own failure then carries them all to the user at once.
    for (const QString& f : logLines) WriteErrorLog(f);
    ThrowCalcError(CALC_ERR_CHECK_FAILED, failures.join(u'\n'));
}

namespace {

// Cells whose formulas failed keep a value that is no amount: the log gets
// each of them (the first few) and the run hears how many, so nobody takes
// the report's figures for computed ones.
void noteFailedFormulas(CommandRun& run, const CReportHandle& r) {
    const CReportHandle::RecalcSummary& summary = r.LastRecalcSummary();
    if (!summary.errorCells) return;
    const QString text = r.RecalcFailureText();
    WriteErrorLog(text);
    for (const CReportHandle::FailedCell& cell : summary.failed)
        WriteErrorLog(CReportHandle::FailedCellText(cell));
    run.ci.NoteFailedCells(text);
}

// Writes the queued records; a value a cell refused (the others are still
// written) fails the command with its cell and text.
void fillRecords(CReportHandle& r, int page) {
    qor::ForgetValueRefusal();
    r.FillFromRecordset(page);
    const QString refused = qor::LastValueRefusal();
    if (!refused.isEmpty()) ThrowCalcError(int(qor::kValueRefusedStatus), refused);
}

}  // namespace

void RunRecalc(CommandRun& run) {
    CReportHandle& r = run.report();
    const int current = run.currentPage();
    if (run.checkOnly()) return;
    if (run.cmd.all) {
        const uint16_t s = r.RecalcAll();
        if (s && r.LastRecalcSummary().stopped) ThrowCalcError(CALC_ERR_STOPPED, QString());
        ThrowIfStatus(s, CmdText(str::kRecalculation));
        noteFailedFormulas(run, r);
        fillRecords(r, 0);
    } else {
        ThrowIfStatus(r.RecalcPage(current), CmdText(str::kPageRecalculation).arg(current));
        noteFailedFormulas(run, r);
        fillRecords(r, current);
    }
    run.refresh();
}

}  // namespace qor::cmd
