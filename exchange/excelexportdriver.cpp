#include "exchange/excelexportdriver.h"

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/cexcelbridge.h"
#include "platform/uiservices.h"

namespace {

constexpr int kMsgNoExcel = 62079;

QString withPage(const char* pattern, int page) {
    return QString::fromUtf8(pattern).replace(QStringLiteral("%i"), QString::number(page));
}

}  // namespace

int ExportReportToExcel(CReportHandle* report, const QString& path) {
    if (!report || !report->IsOpen()) return 0;
    CExcelBridge bridge;
    if (!bridge.StartExcel()) {
        qor::messageBox(LoadErrorText(kMsgNoExcel), QString(), qor::MsgButtons::Ok);
        return 0;
    }
    try {
        bridge.CreateWorkbookFile(path);
        const int pages = report->GetPageCount();
        bridge.OpenWorkbookFile(path);
        // Each new sheet goes in front of the one made before it, so
        // writing from the last page leaves the sheets in page order.
        for (int page = pages; page >= 1; --page) {
            bridge.AddWorksheet(withPage("第%i页", page), page == pages ? 1 : 0);
            TraceMessage(withPage("正在保存第%i页", page));
            bridge.ExportPage(report, page);
            bridge.SaveWorkbook();
        }
        TraceMessage(QStringLiteral("完成"));
        bridge.CloseWorkbook();
        bridge.QuitExcel();
        return 1;
    } catch (const qor::XlError& e) {
        // A failed workbook call ends the export, not the program, and is
        // not reported as a saved workbook.
        DumpComError(e);
        TraceMessage(e.description);
        bridge.QuitExcel();
        return 0;
    }
}
