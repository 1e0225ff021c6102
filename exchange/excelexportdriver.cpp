#include "exchange/excelexportdriver.h"

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/cexcelbridge.h"
#include "platform/uiservices.h"

#include <memory>
#include <vector>

namespace {

QString withPage(QString pattern, int page) {
    return pattern.replace(QStringLiteral("%i"), QString::number(page));
}

}  // namespace

int ExportReportToExcel(CReportHandle* report, const QString& path, QString* error) {
    auto failed = [error](const QString& why) {
        if (error) *error = why;
        return 0;
    };
    if (!report || !report->IsOpen()) return failed(LoadErrorText(qor::str::kNoReportOpen));
    CExcelBridge bridge;
    if (!bridge.StartExcel()) {
        qor::messageBox(LoadErrorText(qor::str::kExcelNotInstalled), QString(), qor::MsgButtons::Ok);
        return failed(LoadErrorText(qor::str::kExcelNotInstalled));
    }
    try {
        const int pages = report->GetPageCount();
        // The sheets are named up front in page order, so each page goes
        // to the file as it is made, a large one in bands of rows, and
        // leaves memory again; the workbook is written once, when the last
        // page is in.
        std::vector<QString> names;
        names.reserve(size_t(pages));
        for (int page = 1; page <= pages; ++page)
            names.push_back(withPage(LoadErrorText(qor::str::kSheetName), page));
        const std::unique_ptr<qor::XlStreamWriter> out = qor::OpenWorkbookWriter(path, names, 0);
        bridge.NewWorkbook();
        // Each new sheet goes in front of the one made before it, so
        // making them from the last page leaves the sheets in page order.
        for (int page = pages; page >= 1; --page) {
            bridge.AddWorksheet(names[size_t(page - 1)], page == pages ? 1 : 0);
            TraceMessage(withPage(LoadErrorText(qor::str::kSavingPage), page));
            bridge.ExportPageTo(report, page, *out, page - 1);
        }
        out->commit();
        bridge.CloseWorkbook();
        bridge.QuitExcel();
        // The other pages went on and stay in the file, but the workbook
        // lacks what the failed pages hold: no success.
        if (bridge.PagesFailed() > 0)
            return failed(LoadErrorText(qor::str::kPagesNotWrittenWhole)
                              .arg(LoadErrorText(qor::str::kFileConvertError), path)
                              .arg(bridge.PagesFailed()));
        TraceMessage(LoadErrorText(qor::str::kFinish));
        return 1;
    } catch (const qor::XlError& e) {
        // A failed workbook call ends the export, not the program, and is
        // not reported as a saved workbook.
        DumpComError(e);
        TraceMessage(e.description);
        bridge.QuitExcel();
        return failed(e.description);
    }
}
