// qor run SCRIPT.shl [REPORT] [--progress]: a script of the command language against a
// report, the way the desktop application runs a batch file.
#include <unistd.h>

#include <QFileInfo>
#include <optional>

#include "apps/qor/verbs.h"
#include "cmdlang/ccalcinterpreter.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "platform/uiservices.h"

namespace qor::app {

namespace {

// Puts the interpreter's and the user interface's hooks back however the
// verb ends.
class RunSession {
public:
    RunSession(Output* out) : m_ci(CCalcInterpreter::Instance()) {
        m_savedHooks = m_ci.SubsystemHooks();
        cmd::CalcSubsystemHooks hooks = m_savedHooks;
        hooks.listVariables = [out](const cmd::VariableListing& list) {
            for (int i = 0; i < list.names.size(); ++i)
                out->text += QStringLiteral("%1 = %2 (%3)\n")
                                 .arg(list.names[i], list.values[i], list.types[i]);
        };
        hooks.help = [out](const QString&) {
            out->text +=
                QStringLiteral("The command language is described in docs/command-language.md.\n");
        };
        // Transfers run beside the desktop's windows; a script here can only
        // be told so.
        hooks.mail = [](QChar, QString* why) {
            if (why) *why = LoadErrorText(str::kMailOnlyInDesktop);
            return false;
        };
        m_ci.SetSubsystemHooks(hooks);
        UiServices ui = uiServices();
        // Nobody sits at a run: a question takes its default answer and
        // is not printed; what is only told is printed.
        ui.messageBox = [out](const MessageRequest& r) {
            if (r.buttons == MsgButtons::Ok) out->text += r.text + u'\n';
            return r.defaultAnswer;
        };
        // A CONVERT of a protected report takes its password as the
        // convert verb does.
        ui.filePassword = [out](const QString& path) {
            QStringList told;
            const std::optional<QString> password =
                FilePasswordFromEnvironment(path, &told);
            for (const QString& t : told) out->err += QStringLiteral("qor run: %1\n").arg(t);
            return password;
        };
        m_savedUi = installUiServices(ui);
        m_savedMode = m_ci.TestRunMode(0xFF);
        m_ci.SetRunMode(0, CCalcInterpreter::kModeQuiet);
    }
    ~RunSession() {
        m_ci.SetRunMode(0xFF, m_savedMode);
        m_ci.SetReport(nullptr);
        m_ci.SetSubsystemHooks(m_savedHooks);
        installUiServices(m_savedUi);
    }
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    CCalcInterpreter& ci() { return m_ci; }

private:
    CCalcInterpreter& m_ci;
    cmd::CalcSubsystemHooks m_savedHooks;
    UiServices m_savedUi;
    int m_savedMode = 0;
};

QString statusLine(const QString& what, uint16_t status, const QString& detail = {}) {
    return QStringLiteral("qor run: %1: %2 (status %3)\n")
        .arg(what, detail.isEmpty() ? StatusText(status) : detail)
        .arg(status);
}

}  // namespace

int verbRun(const QStringList& given, Output* out) {
    QStringList args;
    bool progress = false;
    for (const QString& a : given) {
        if (a == u"--progress")
            progress = true;
        else
            args << a;
    }
    if (args.isEmpty() || args.size() > 2 || args[0].startsWith(u"--") ||
        (args.size() == 2 && args[1].startsWith(u"--"))) {
        out->err += QStringLiteral("qor run: give a script and, optionally, a report\n");
        return 2;
    }
    const QString script = args[0];
    if (!QFileInfo(script).isFile()) {
        out->err += QStringLiteral("qor run: %1 is not a file\n").arg(script);
        return 2;
    }
    cmd::InstallInterpreterHooks();

    std::unique_ptr<CReportHandle> report;
    bool wasFormatState = false;
    if (args.size() == 2) {
        const QString path = ReportPathWithExtension(args[1]);
        report = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting);
        if (!report->IsOpen()) {
            out->err += statusLine(path, report->OpenStatus(), report->ErrorText());
            return 1;
        }
        // Commands work on data; the report goes back to the state it
        // was in before it is saved.
        wasFormatState = report->IsFormatState();
        if (wasFormatState) {
            if (uint16_t s = report->EnterDataState()) {
                out->err += statusLine(QStringLiteral("data state"), s);
                return 1;
            }
        }
        if (report->GetPageCount() > 0 && report->GetCurPage() < 1) report->SetCurPage(1);
    }

    // The writers' progress lines are for someone watching: a terminal, or
    // whoever asks with --progress. Otherwise they are shown only when the
    // run fails.
    std::optional<TracesKept> traces;
    if (!progress && !isatty(STDERR_FILENO)) traces.emplace();
    RunSession session(out);
    session.ci().SetReport(report.get());
    const int lossesBefore = session.ci().ConversionLosses();
    const int failedCellsBefore = session.ci().FailedCellNotes();
    const uint64_t recalcsBefore = report ? report->RecalcRuns() : 0;
    QString error;
    if (!session.ci().RunBatchFile(script, &error)) {
        // Nothing is saved: the report file stays as it was before the run.
        if (traces) traces->showOn("run", out);
        out->err +=
            QStringLiteral("qor run: %1 (error %2)\n").arg(error).arg(session.ci().LastErrorCode());
        return 1;
    }
    // What the script changed is worked out in data state, before the
    // report goes back to format state and is saved.
    QString recalcFailed;
    if (report) {
        if (uint16_t s = report->BringCurrent()) {
            out->err += statusLine(report->GetPathName(), s, report->ErrorText());
            return 1;
        }
        if (report->RecalcRuns() != recalcsBefore) recalcFailed = report->RecalcFailureText();
        if (wasFormatState) report->EnterFormatState();
        if (uint16_t s = report->Save()) {
            out->err += statusLine(report->GetPathName(), s, report->ErrorText());
            return 1;
        }
    }
    // A recalculation, a total or an append left cells whose formulas
    // failed: their values are no amounts, and a nightly script must not
    // take them for some.
    const bool noted = session.ci().FailedCellNotes() > failedCellsBefore;
    if (noted) out->err += QStringLiteral("qor run: %1\n").arg(session.ci().LastFailedCellsText());
    if (!recalcFailed.isEmpty() && (!noted || recalcFailed != session.ci().LastFailedCellsText()))
        out->err += QStringLiteral("qor run: %1\n").arg(recalcFailed);
    const bool formulasFailed = noted || !recalcFailed.isEmpty();
    // A conversion of the script wrote its file but left something out
    // (listed above): the run tells it as qor convert does.
    return session.ci().ConversionLosses() > lossesBefore || formulasFailed ? 3 : 0;
}

}  // namespace qor::app
