#include "document/doc_converters.h"

#include <QFile>
#include <memory>

#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/creportfile.h"
#include "engine/messages.h"
#include "exchange/chtmlexporter.h"
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
    // The names that are not the page names a workbook export gives are
    // lost in a report, which numbers its pages.
    QStringList own;
    void SheetRead(int page, const QString& name) override {
        if (name != QStringLiteral("第%1页").arg(page)) own << name;
    }
};

class WorkbookConverter final : public qor::IDocConverter {
public:
    // The workbook engine writes each type as what its name says: ".xlsx"
    // as a zip workbook, ".xls" as a binary one.
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle& report, const QString& path,
                QString* message) override {
        m_leftOut.clear();
        QString error;
        SheetChoiceHost host;
        QList<qor::WorkbookCellsLeftOut> beyond;
        if (qor::ImportExcelWorkbook(&report, path, &host, &error, &beyond)) {
            const QString cells = qor::LeftOutCellsMessage(beyond);
            if (!cells.isEmpty()) m_leftOut << cells.split(u'\n');
            // A report numbers its pages; names other than the ones a
            // workbook made from a report has are lost.
            if (!host.own.isEmpty())
                m_leftOut << QStringLiteral("the worksheets' names (%1): a report numbers its pages")
                                 .arg(host.own.join(QStringLiteral(", ")));
            return true;
        }
        if (message) *message = error;
        return false;
    }
    bool Export(CQorsDoc& doc, const QString& path, QString* message) override {
        m_leftOut.clear();
        if (doc.GetReport() && ExportReportToExcel(doc.GetReport(), path)) {
            // A worksheet gets each cell's value; the report's formulas stay
            // behind.
            const qsizetype formulas =
                doc.GetReport()->GetReportFile()->Format().formulas.size();
            if (formulas > 0)
                m_leftOut << QStringLiteral("%1 formulas: the workbook holds their values only")
                                 .arg(formulas);
            return true;
        }
        if (message) *message = LoadErrorText(62079);
        return false;
    }
    QStringList LeftOut() const override { return m_leftOut; }

private:
    QStringList m_leftOut;
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
        m_leftOut.clear();
        if (r.written) {
            if (const QString cut = qor::CutTextsNote(r); !cut.isEmpty()) m_leftOut << cut;
            return true;
        }
        if (message)
            *message = r.messageId ? LoadErrorText(r.messageId) + QStringLiteral("\n") + r.detail
                                   : r.detail;
        return false;
    }
    QStringList LeftOut() const override { return m_leftOut; }

private:
    QStringList m_leftOut;
};

// One page as an HTML document (the current page, else the first). The
// page-folder export of every page stays the export command's.
class HtmlConverter final : public qor::IDocConverter {
public:
    bool CanImport() const override { return false; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle&, const QString&, QString* message) override {
        if (message) *message = QStringLiteral("HTML files are written, not read.");
        return false;
    }
    bool Export(CQorsDoc& doc, const QString& path, QString* message) override {
        m_leftOut.clear();
        CReportHandle* report = doc.GetReport();
        if (!report) return false;
        if (report->IsFormatState()) {
            if (message) *message = QStringLiteral("HTML shows the data: enter data state first.");
            return false;
        }
        const int pages = report->GetPageCount();
        if (pages < 1) {
            if (message) *message = QStringLiteral("The report has no pages to show.");
            return false;
        }
        const int page = report->GetCurPage() > 0 ? report->GetCurPage() : 1;
        CHtmlExporter exporter;
        // The exporter names its file ".htm"; the caller's name is kept.
        const bool htm = path.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive);
        const QString written = htm ? path : path + QStringLiteral(".htm");
        if (!exporter.OpenSource(report->GetPathName(), page) ||
            !exporter.SetOutputPath(written) || !exporter.ExportPages()) {
            QFile::remove(written);
            if (message) *message = QStringLiteral("The HTML file was not written: ") + path;
            return false;
        }
        if (!htm) {
            QFile::remove(path);
            if (!QFile::rename(written, path)) {
                QFile::remove(written);
                if (message) *message = QStringLiteral("The HTML file was not written: ") + path;
                return false;
            }
        }
        if (pages > 1)
            m_leftOut << QStringLiteral("pages other than %1 of %2: an HTML file shows one page "
                                        "(qor export-html writes each page)")
                             .arg(page)
                             .arg(pages);
        return true;
    }
    QStringList LeftOut() const override { return m_leftOut; }

private:
    QStringList m_leftOut;
};

}  // namespace

void RegisterExchangeConverters() {
    auto html = std::make_shared<HtmlConverter>();
    qor::RegisterDocConverter(QStringLiteral("htm"), html);
    qor::RegisterDocConverter(QStringLiteral("html"), html);
    qor::RegisterDocConverter(QStringLiteral("xls"), std::make_shared<WorkbookConverter>());
    qor::RegisterDocConverter(QStringLiteral("xlsx"), std::make_shared<WorkbookConverter>());
    qor::RegisterDocConverter(QStringLiteral("xml"), std::make_shared<OwnXmlConverter>());
}

}  // namespace qor::doc
