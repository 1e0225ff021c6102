// qor indicators INTERFACE.ini [REPORT]: the computation of the standard
// data-interface program, straight through and without its pacing.
#include <QFileInfo>

#include "apps/qor/verbs.h"
#include "cmdlang/ccalcinterpreter.h"
#include "engine/creporthandle.h"
#include "engine/status.h"
#include "fininterface/indicatorrun.h"

namespace qor::app {

int verbIndicators(const QStringList& args, Output* out) {
    if (args.isEmpty() || args.size() > 2) {
        out->err +=
            QStringLiteral("qor indicators: give the interface file and, optionally, a report\n");
        return 2;
    }
    IndicatorSettings settings;
    if (!QFileInfo(args[0]).isFile()) {
        out->err += QStringLiteral("qor indicators: %1 is not a file\n").arg(args[0]);
        return 1;
    }
    if (!ReadInterfaceFile(args[0], &settings)) {
        QString list = settings.missing.join(QString());
        list.chop(1);
        out->err += QStringLiteral("qor indicators: %1 names no %2\n").arg(args[0], list);
        return 1;
    }
    for (const QString& w : settings.warnings) out->err += w + u'\n';
    cmd::InstallInterpreterHooks();
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    std::unique_ptr<CReportHandle> report;
    if (args.size() == 2) {
        // The expressions read the report; nothing is written to it.
        report = std::make_unique<CReportHandle>(ReportPathWithExtension(args[1]),
                                                 CReportHandle::OpenMode::OpenExisting,
                                                 CReportHandle::Access::Read);
        if (!report->IsOpen()) {
            out->err +=
                QStringLiteral("qor indicators: %1: %2\n")
                    .arg(args[1], report->ErrorText().isEmpty() ? StatusText(report->OpenStatus())
                                                                : report->ErrorText());
            return 1;
        }
        if (report->IsFormatState()) report->EnterDataState();
        if (report->GetPageCount() > 0 && report->GetCurPage() < 1) report->SetCurPage(1);
    }
    ci.SetReport(report.get());
    CIndicatorRun run(
        settings,
        [&ci](const QString& line) {
            if (!ci.Runtime().SetCommandBuffer(line)) return -1;
            const int saved = ci.TestRunMode(0xFF);
            ci.SetRunMode(0, 0x12);
            const int rc = ci.RunCommand();
            ci.SetRunMode(0xFF, saved);
            return rc;
        },
        [out](const QString& line) { out->text += line + u'\n'; });
    QString message;
    if (!run.Start(&message)) {
        ci.SetReport(nullptr);
        out->err += QStringLiteral("qor indicators: %1\n").arg(message);
        return 1;
    }
    while (!run.Done()) run.Step();
    const bool written = run.Finish();
    ci.SetReport(nullptr);
    if (!written) {
        out->err +=
            QStringLiteral("qor indicators: %1 could not be written\n").arg(settings.resultLib);
        return 1;
    }
    // Done, but with indicators marked as failed: the result library says
    // which.
    return run.AnyFailed() ? 3 : 0;
}

}  // namespace qor::app
