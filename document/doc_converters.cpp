#include "document/doc_converters.h"

#include <memory>

#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/excelexportdriver.h"
#include "exchange/excelimport.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"

namespace qor::doc {

namespace {

// Asks which sheets to read through the document's dialogs; without the
// sheet dialog every sheet is read, the format from the first, as a script
// would have it.
class SheetChoiceHost final : public qor::IWorkbookImportHost {
public:
    bool ChooseSheets(int sheetCount, int* choice, int* sheetNumber) override {
        constexpr int kSetPageNoDlg = 538;
        if (!qor::DocDialogs().Provides(kSetPageNoDlg))
            return qor::DefaultWorkbookImportHost().ChooseSheets(sheetCount, choice, sheetNumber);
        qor::SetPageNoDlgMembers m;
        m.sheetCount = sheetCount;
        const auto chosen = qor::DocDialogs().SetPageNoDlg(m);
        if (!chosen) return false;
        *choice = chosen->choice;
        *sheetNumber = chosen->sheetNumber;
        return true;
    }
};

class WorkbookConverter final : public qor::IDocConverter {
public:
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle& report, const QString& path,
                QString* message) override {
        QString error;
        SheetChoiceHost host;
        if (qor::ImportExcelWorkbook(&report, path, &host, &error)) return true;
        if (message) *message = error;
        return false;
    }
    bool Export(CQorsDoc& doc, const QString& path, QString* message) override {
        if (doc.GetReport() && ExportReportToExcel(doc.GetReport(), path)) return true;
        if (message) *message = LoadErrorText(62079);
        return false;
    }
};

class OwnXmlConverter final : public qor::IDocConverter {
public:
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle& report, const QString& path,
                QString* message) override {
        const qor::OwnXmlImportResult r = qor::ImportOwnXmlReport(
            report, path, [&report] { return report.EnterDataState(0); });
        if (r.result) return true;
        if (message)
            *message = r.messageId ? LoadErrorText(r.messageId) + QStringLiteral("\n") + r.detail
                                   : r.detail;
        return false;
    }
    bool Export(CQorsDoc& doc, const QString& path, QString* message) override {
        if (!doc.GetReport()) return false;
        // Saving as a file type writes the whole report: every page, data,
        // format and formulas.
        qor::ExportSetMembers all;
        all.m_pReport = doc.GetReport();
        all.m_nPageCount = doc.GetReport()->GetPageCount();
        const qor::OwnXmlExportResult r = qor::WriteOwnXml(*doc.GetReport(), path, all);
        if (r.written) return true;
        if (message)
            *message = r.messageId ? LoadErrorText(r.messageId) + QStringLiteral("\n") + r.detail
                                   : r.detail;
        return false;
    }
};

}  // namespace

void RegisterExchangeConverters() {
    auto workbook = std::make_shared<WorkbookConverter>();
    qor::RegisterDocConverter(QStringLiteral("xls"), workbook);
    qor::RegisterDocConverter(QStringLiteral("xlsx"), workbook);
    qor::RegisterDocConverter(QStringLiteral("xml"), std::make_shared<OwnXmlConverter>());
}

}  // namespace qor::doc
