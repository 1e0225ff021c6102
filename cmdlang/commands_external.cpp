// Commands done by other parts of the program: BROWSE (the pivot), MAIL,
// MENU, CONVERT, and DO (another script).
#include <QFileInfo>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "reader/cappenvironment.h"

namespace qor::cmd {

namespace {

constexpr int kMaxBrowseCells = 3000;

[[noreturn]] void notInstalled(const char* what) {
    ThrowCalcError(CALC_ERR_NOT_AVAILABLE,
                   CmdText(str::kPartNotInstalled).arg(QLatin1StringView(what)));
}

void failedWith(bool ok, const QString& why, const char* what) {
    if (!ok)
        ThrowCalcError(
            CALC_ERR_NOT_AVAILABLE,
            why.isEmpty() ? CmdText(str::kActionFailed).arg(QLatin1StringView(what)) : why);
}

}  // namespace

void RunBrowse(CommandRun& run) {
    CReportHandle& r = run.report();
    QList<CalcRange> areas;
    long cells = 0;
    for (const NodePtr& a : run.cmd.areas) {
        const CellPos last = a->kind == NodeKind::Area ? a->cell2 : a->cell1;
        cells += long(last.row - a->cell1.row + 1) * (last.col - a->cell1.col + 1);
        if (cells > kMaxBrowseCells)
            ThrowCalcError(CALC_ERR_BAD_ARGUMENT, CmdText(str::kTooManyCells).arg(kMaxBrowseCells));
        CalcRange c;
        c.kind = a->external ? 1 : 0;
        c.path = a->external ? run.resolvePath(a->report, true) : QString();
        c.page = a->page;
        c.r1 = int16_t(a->cell1.row - 1);
        c.c1 = int16_t(a->cell1.col - 1);
        c.r2 = int16_t(last.row - 1);
        c.c2 = int16_t(last.col - 1);
        areas.append(c);
    }
    if (areas.isEmpty()) ThrowCalcError(CALC_ERR_BAD_ARGUMENT, CmdText(str::kBrowseNeedsArea));
    QStringList labels;
    if (run.cmd.labels)
        for (const QString& l : run.cmd.labels->split(u',')) labels << l.trimmed();
    if (run.checkOnly()) return;
    const auto& hook = run.ci.SubsystemHooks().browse;
    if (!hook) notInstalled("BROWSE");
    QString why;
    failedWith(hook(areas, labels, &r, &why), why, "BROWSE");
}

void RunMail(CommandRun& run) {
    if (run.checkOnly()) return;
    // One mail transfer at a time: the event is signalled while none runs.
    if (!MailThreadEvent().WaitFor(0)) ThrowCalcError(CALC_ERR_MAIL_BUSY, QString());
    const auto& hook = run.ci.SubsystemHooks().mail;
    if (!hook) notInstalled("MAIL");
    QString why;
    failedWith(hook(run.cmd.mailMode, &why), why, "MAIL");
}

void RunMenu(CommandRun& run) {
    const QString file = run.cmd.file && !run.cmd.file->trimmed().isEmpty()
                             ? run.resolvePath(*run.cmd.file, false)
                             : QString();
    if (run.checkOnly()) return;
    const auto& hook = run.ci.SubsystemHooks().loadMenu;
    if (!hook) notInstalled("MENU");
    QString why;
    failedWith(hook(file, &why), why, "MENU");
}

void RunConvert(CommandRun& run) {
    const QString from = run.resolvePath(*run.cmd.file, false);
    const QString to = run.resolvePath(*run.cmd.file2, false);
    if (run.checkOnly()) return;
    const auto& hook = run.ci.SubsystemHooks().convert;
    if (!hook) notInstalled("CONVERT");
    QString why;
    // The current report is only read (or not touched at all): nothing to
    // redraw, and it is not changed.
    QStringList leftOut;
    failedWith(hook(from, to, run.cmd.page, run.ci.GetReport(), &why, &leftOut), why, "CONVERT");
    if (!leftOut.isEmpty()) run.ci.NoteConversionLoss();
}

void RunDo(CommandRun& run) {
    QString path = run.resolvePath(*run.cmd.file, false);
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".shl");
    if (run.checkOnly()) return;
    run.runScriptFile(path);
}

}  // namespace qor::cmd
