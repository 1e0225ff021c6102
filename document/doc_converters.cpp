#include "document/doc_converters.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <memory>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "charts/objectdata.h"
#include "cmdlang/ccalcinterpreter.h"
#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/creportfile.h"
#include "engine/messages.h"
#include "exchange/chtmlexporter.h"
#include "exchange/datafilechain.h"
#include "exchange/excelexport.h"
#include "exchange/excelexportdriver.h"
#include "exchange/excelimport.h"
#include "exchange/losstally.h"
#include "exchange/xmlfailure.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"
#include "exchange/spreadsheetxml.h"
#include "exchange/readerhooks.h"
#include "platform/safefile.h"
#include "platform/uiservices.h"

namespace qor::doc {

namespace {

// Asks which sheets to read through the document's dialogs; without the
// sheet dialog every sheet is read, the format from the first, as a script
// would have it.
class SheetChoiceHost final : public qor::IWorkbookImportHost {
public:
    bool ChooseSheets(int sheetCount, int* choice, int* sheetNumber) override {
        if (!qor::HasDialog<qor::SetPageNoDlgMembers>())
            return qor::DefaultWorkbookImportHost().ChooseSheets(sheetCount, choice, sheetNumber);
        qor::SetPageNoDlgMembers m;
        m.sheetCount = sheetCount;
        const auto chosen = qor::Ask(m);
        if (!chosen) return false;
        *choice = chosen->choice;
        *sheetNumber = chosen->sheetNumber;
        return true;
    }
    // The names that are not the page names a workbook export gives are
    // lost in a report, which numbers its pages.
    QStringList own;
    void SheetRead(int page, const QString& name) override { qor::NoteLostSheetName(page, name, &own); }
};

// Every type but a report carries what data state shows: the pages'
// values. A report in format state goes through data state for the length
// of the export and comes back to format state; a report without pages
// gets one for the export only, so that its table's layout is written as
// its first page would be. Save As and CONVERT both export inside one.
class ExportState {
public:
    ExportState(CQorsDoc* doc, CReportHandle* report)
        : m_doc(doc && doc->GetReport() == report ? doc : nullptr),
          m_report(report),
          m_format(report->IsFormatState() != 0) {
        if (m_format) {
            // The document's own way recalculates formulas changed in
            // format state, so the file gets their new results.
            if (m_doc && report->GetPageCount() > 0)
                m_ok = m_doc->EnterDataState();
            else
                m_ok = report->EnterDataState() == 0;
            if (!m_ok) return;
        }
        if (report->GetPageCount() == 0) {
            m_added = report->AppendRowColPage(1, 2) == 0;
            m_ok = m_added && report->SetCurPage(1) == 0;
        }
    }
    ~ExportState() {
        if (m_added) m_report->DeleteRowColPage(1, 1, 2);
        if (!m_format) return;
        if (m_doc)
            m_doc->SwitchToFormatState();
        else if (!m_report->IsFormatState())
            m_report->EnterFormatState();
    }
    ExportState(const ExportState&) = delete;
    ExportState& operator=(const ExportState&) = delete;
    bool ok() const { return m_ok; }

private:
    CQorsDoc* m_doc;
    CReportHandle* m_report;
    bool m_format;
    bool m_ok = true;
    bool m_added = false;
};

bool hasSuffix(const QString& path, const char* suffix) {
    return QFileInfo(path).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}

// The charts and objects of the report: no other type of file carries them
// (they live in the report's own streams), so a conversion names them
// beside what the tally of the cells found.
void TallyItemLosses(const CQorsDoc& doc, QStringList* notes) {
    qor::LossTally losses;
    for (CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos(); pos;) {
        const CComItem* item = doc.Items().GetNextComItem(pos);
        if (!item) continue;
        // A chart goes by the name the open-chart list shows, else its title.
        const auto* chart = dynamic_cast<const CGraphItem*>(item);
        QString name = chart ? chart->GetChartDesc().GetText(qor::items::ChartDesc::kNameText)
                             : item->GetName();
        if (chart && name.isEmpty())
            name = chart->GetChartDesc().GetText(qor::items::ChartDesc::kTitleText);
        // An object keeps no name of its own: its linked file, else its type.
        // An embedded report goes by the word the paste list uses for it.
        if (const auto* object = dynamic_cast<const COleItem*>(item); object && name.isEmpty()) {
            const auto& client = object->GetClient();
            name = !client.linkSource.isEmpty() ? QFileInfo(client.linkSource).fileName()
                   : client.classId == QLatin1String(qor::items::kReportObjectClass)
                       ? LoadErrorText(str::kClipReportObject)
                       : client.classId;
        }
        const int page = int(item->GetPage());
        const QString place = name.isEmpty() && page > 0
                                  ? LoadErrorText(str::kLossPagePlace).arg(page)
                              : page > 0 ? LoadErrorText(str::kItemOnPage).arg(page).arg(name)
                                         : LoadErrorText(str::kItemOfFormat).arg(name);
        losses.add(LoadErrorText(chart ? str::kLossCharts : str::kLossObjects), place);
    }
    losses.appendTo(notes);
}

// A converter that lists what the last conversion could not carry. Its
// exports run in data state and count what the target type cannot hold.
class ReportingConverter : public qor::IDocConverter {
public:
    QStringList LeftOut() const override { return m_leftOut; }
    bool Export(CQorsDoc& doc, const QString& path, QString* message) override {
        m_leftOut.clear();
        CReportHandle* report = doc.GetReport();
        if (!report) return false;
        const ExportState state(&doc, report);
        if (!state.ok()) {
            if (message) *message = LoadErrorText(str::kExportNoDataState);
            return false;
        }
        if (!write(doc, *report, path, message)) return false;
        qor::TallyReportLosses(*report, path, &m_leftOut, writtenPages());
        TallyItemLosses(doc, &m_leftOut);
        // Written, but not whole: the user hears what is missing rather
        // than a plain success.
        if (!m_leftOut.isEmpty()) {
            qor::MessageRequest r;
            r.text = LoadErrorText(str::kLeftOutHeading) + u'\n' + m_leftOut.join(u'\n');
            r.icon = qor::MsgIcon::Warning;
            qor::uiServices().messageBox(r);
        }
        return true;
    }

protected:
    // Writes the report, in data state with at least one page.
    virtual bool write(CQorsDoc& doc, CReportHandle& report, const QString& path,
                       QString* message) = 0;
    // The pages the last write put into the file (empty: all).
    virtual QList<int> writtenPages() const { return {}; }
    QStringList m_leftOut;
};

XlsSaveChoice g_xlsChoice = XlsSaveChoice::Ask;

// A binary workbook may carry the report's formats or its values only;
// the values alone are much quicker to write. A zip workbook always
// carries both.
bool withFormats(const QString& path) {
    if (QFileInfo(path).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) != 0) return true;
    if (g_xlsChoice != XlsSaveChoice::Ask) return g_xlsChoice == XlsSaveChoice::WithFormats;
    qor::MessageRequest r;
    r.text = LoadErrorText(str::kAlsoConvertToExcel);
    r.buttons = qor::MsgButtons::YesNo;
    r.icon = qor::MsgIcon::Question;
    r.defaultAnswer = qor::MsgAnswer::Yes;
    return qor::uiServices().messageBox(r) != qor::MsgAnswer::No;
}

class WorkbookConverter final : public ReportingConverter {
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
            if (!host.own.isEmpty()) m_leftOut << qor::SheetNamesNotKeptMessage(host.own);
            return true;
        }
        if (message) *message = error;
        return false;
    }
    bool write(CQorsDoc&, CReportHandle& report, const QString& path, QString* message) override {
        if (!withFormats(path)) {
            QString error;
            if (ExportReportToValuesWorkbook(&report, path, 0, &error, &m_leftOut)) return true;
            if (message)
                *message = error.isEmpty() ? LoadErrorText(str::kExcelNotInstalled) : error;
            return false;
        }
        QString error;
        if (ExportReportToExcel(&report, path, &error)) return true;
        if (message) *message = error.isEmpty() ? LoadErrorText(str::kExcelNotInstalled) : error;
        return false;
    }
};

// ".xml" is read by its root element: the own format ("iqor_export"), a
// spreadsheet workbook ("Workbook"), anything else refused (62017).
class OwnXmlConverter final : public ReportingConverter {
public:
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle& report, const QString& path,
                QString* message) override {
        m_leftOut.clear();
        if (qor::HasSpreadsheetXmlRoot(path)) {
            const qor::SpreadsheetXmlImport r = qor::ImportSpreadsheetXml(report, path);
            if (!r.ok) {
                if (message) *message = qor::XmlFailureLine(path, r.error);
                return false;
            }
            if (const QString note = r.LeftOutText(); !note.isEmpty()) {
                m_leftOut << note.split(u'\n');
                qor::messageBox(note, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
            }
            return true;
        }
        if (!qor::HasOwnXmlRoot(path)) {
            // Any other XML would open as an empty report.
            if (message)
                *message =
                    qor::XmlFailureLine(path, LoadErrorText(str::kUnsupportedXml), QString());
            return false;
        }
        const qor::OwnXmlImportResult r = qor::ImportOwnXmlReport(
            report, path, [&report] { return report.EnterDataState(0); });
        if (r.result) {
            if (!r.leftOut.isEmpty()) {
                m_leftOut << r.leftOut;
                qor::messageBox(LoadErrorText(str::kLeftOutHeading) + u'\n' + r.leftOut.join(u'\n'),
                                QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
            }
            return true;
        }
        if (message)
            *message = qor::XmlFailureLine(
                path, r.messageId ? LoadErrorText(r.messageId) : QString(), r.detail);
        return false;
    }
    bool write(CQorsDoc&, CReportHandle& report, const QString& path, QString* message) override {
        // Saving as a file type writes the whole report: every page, data,
        // format and formulas.
        qor::ExportSetMembers all;
        all.m_pReport = &report;
        all.m_nPageCount = report.GetPageCount();
        const qor::OwnXmlExportResult r = qor::WriteOwnXml(report, path, all);
        if (r.written) {
            m_leftOut << qor::OwnXmlExportNotes(r);
            return true;
        }
        if (message)
            *message = r.messageId ? LoadErrorText(r.messageId) + QStringLiteral("\n") + r.detail
                                   : r.detail;
        return false;
    }
};

// One page as an HTML document (the current page, else the first). The
// page-folder export of every page stays the export command's.
class HtmlConverter final : public ReportingConverter {
public:
    bool CanImport() const override { return false; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle&, const QString&, QString* message) override {
        if (message) *message = LoadErrorText(str::kHtmlOnlyWritten);
        return false;
    }
    bool write(CQorsDoc&, CReportHandle& reportRef, const QString& path,
               QString* message) override {
        CReportHandle* report = &reportRef;
        const int pages = report->GetPageCount();
        if (pages < 1) {
            if (message) *message = LoadErrorText(str::kNoPagesToShow);
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
            if (message) *message = LoadErrorText(str::kHtmlNotWritten).arg(path);
            return false;
        }
        // Renamed over what is there in one step: no moment without a file
        // at the name, and a link there is replaced, not followed.
        if (!htm) {
            if (!MoveFileInto(written, path, nullptr, /*replace=*/true)) {
                QFile::remove(written);
                if (message) *message = LoadErrorText(str::kHtmlNotWritten).arg(path);
                return false;
            }
        }
        if (pages > 1) m_leftOut << LoadErrorText(str::kHtmlOnePageOnly).arg(page).arg(pages);
        m_page = page;
        return true;
    }
    QList<int> writtenPages() const override { return {m_page}; }

private:
    int m_page = 1;
};

// Text (".txt") and dBASE (".dbf") files: every page's rows one after the
// other as records, columns as fields; opened as one page per table.
class DataFileConverter final : public ReportingConverter {
public:
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle& report, const QString& path,
                QString* message) override {
        m_leftOut.clear();
        QString error;
        if (!ImportDataFileToReport(path, &report, &error, &m_leftOut)) {
            if (message) *message = error;
            return false;
        }
        // Read, but not whole: told as a workbook's losses are.
        if (!m_leftOut.isEmpty())
            qor::messageBox(m_leftOut.join(u'\n'), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return true;
    }
    bool write(CQorsDoc&, CReportHandle& report, const QString& path, QString* message) override {
        QString error;
        if (ExportReportToDataFile(&report, path, 0, &error, &m_leftOut)) return true;
        if (message)
            *message = error.isEmpty() ? LoadErrorText(str::kConvert) +
                                             LoadErrorText(str::kConvertNoOdbcDriverShort)
                                       : error;
        return false;
    }
};

bool isReportPath(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("rep"), Qt::CaseInsensitive) == 0;
}

bool sameFile(const QString& a, const QString& b) {
    return !a.isEmpty() && QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
}

// What a conversion could not carry across, told the way the command
// language tells anything (a script's run prints it).
void tellLeftOut(const QString& target, const QStringList& notes) {
    if (notes.isEmpty()) return;
    qor::MessageRequest r;
    r.text = QStringLiteral("%1:\n").arg(QFileInfo(target).fileName()) + notes.join(u'\n');
    r.icon = qor::MsgIcon::Information;
    qor::uiServices().messageBox(r);
}

// The command language's CONVERT: a report into a data file (one page
// when page is not 0) or a data file into a new report.
bool ConvertByCommand(const QString& from, const QString& to, int page, CReportHandle* current,
                      QString* error, QStringList* leftOut) {
    const bool fromReport = isReportPath(from);
    if (fromReport == isReportPath(to)) {
        if (error) *error = LoadErrorText(str::kConvertNeedsReportFile).arg(from, to);
        return false;
    }
    QStringList notes;
    if (fromReport) {
        const bool workbook = hasSuffix(to, "xls") || hasSuffix(to, "xlsx");
        if (!DataFileChainWrites(to) && !workbook) {
            // The own XML and web pages are written, just not by CONVERT:
            // "not installed" would send the user looking for a program.
            const std::shared_ptr<IDocConverter> other = FindDocConverter(QFileInfo(to).suffix());
            if (error)
                *error = LoadErrorText(other && other->CanExport() ? str::kConvertTypeByOtherVerb
                                                                   : str::kConvertTypeNotInstalled)
                             .arg(QFileInfo(to).fileName());
            return false;
        }
        // A binary workbook: one page with its formats, or the whole report
        // with or without them as the user answers.
        auto write = [&](CReportHandle* report) -> bool {
            if (!workbook) return ExportReportToDataFile(report, to, page, error, &notes);
            if (page == 0 && !withFormats(to)) return ExportReportToValuesWorkbook(report, to, 0, error, &notes);
            QString why;
            const bool done = page != 0 ? SaveReportAsExcel(report, to, page) == 1
                                        : ExportReportToExcel(report, to, &why) != 0;
            if (!done && error)
                *error = why.isEmpty() ? LoadErrorText(str::kExcelNotInstalled) : why;
            return done;
        };
        // Inside the same export state as Save As, counting the same losses.
        auto exportFrom = [&](CQorsDoc* doc, CReportHandle* report) -> bool {
            if (page < 0 || page > report->GetPageCount()) {
                if (error)
                    *error = LoadErrorText(str::kReportLacksPageOfCount)
                                 .arg(page)
                                 .arg(report->GetPageCount());
                return false;
            }
            const ExportState state(doc, report);
            if (!state.ok()) {
                if (error) *error = LoadErrorText(str::kExportNoDataState);
                return false;
            }
            if (!write(report)) return false;
            qor::TallyReportLosses(*report, to, &notes);
            if (doc) TallyItemLosses(*doc, &notes);
            return true;
        };
        bool ok = false;
        if (current && sameFile(current->GetPathName(), from)) {
            ok = exportFrom(nullptr, current);
            // The open report's charts and objects are its document's.
            const CQorsDoc* own = CCalcInterpreter::Instance().GetDocument();
            if (ok && own && own->GetReport() == current) TallyItemLosses(*own, &notes);
        } else {
            CQorsDoc doc;
            if (!doc.Files().OnOpenDocument(from)) {
                if (error) *error = LoadErrorText(str::kCannotOpenReport).arg(from);
                return false;
            }
            ok = exportFrom(&doc, doc.GetReport());
            doc.Files().OnCloseDocument();
        }
        if (ok) tellLeftOut(to, notes);
        if (ok && leftOut) *leftOut = notes;
        return ok;
    }
    // A workbook opens as the document opens it, formats and all.
    const bool fromWorkbook = QFileInfo(from).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0;
    if (!DataFileChainReads(from) && !fromWorkbook) {
        if (error)
            *error = LoadErrorText(str::kOpenTypeNotInstalled).arg(QFileInfo(from).fileName());
        return false;
    }
    CQorsDoc doc;
    // Some readers tell what they left out as they read (a workbook's
    // cells, a spreadsheet XML's comments): those lines are not told twice.
    QStringList told;
    bool opened = false;
    {
        qor::UiServices ui = qor::uiServices();
        const auto inner = ui.messageBox;
        ui.messageBox = [&told, inner](const qor::MessageRequest& r) {
            told << r.text;
            return inner ? inner(r) : r.defaultAnswer;
        };
        const struct Restore {
            qor::UiServices saved;
            ~Restore() { qor::installUiServices(saved); }
        } restore{qor::installUiServices(ui)};
        opened = doc.Files().OnOpenDocument(from);
    }
    if (!opened) {
        if (error) *error = LoadErrorText(str::kCannotOpen).arg(from);
        return false;
    }
    const std::shared_ptr<qor::IDocConverter> conv = qor::FindDocConverter(QFileInfo(from).suffix());
    if (conv) notes = conv->LeftOut();
    const bool ok = doc.Files().OnSaveDocument(to);
    doc.Files().OnCloseDocument();
    if (!ok) {
        if (error) *error = LoadErrorText(str::kCannotWriteReport).arg(to);
        return false;
    }
    QStringList untold;
    for (const QString& n : notes)
        if (std::none_of(told.cbegin(), told.cend(), [&n](const QString& t) { return t.contains(n); }))
            untold << n;
    tellLeftOut(to, untold);
    if (leftOut) *leftOut = notes;
    return true;
}

}  // namespace

XlsSaveChoice SetXlsSaveChoice(XlsSaveChoice choice) {
    const XlsSaveChoice old = g_xlsChoice;
    g_xlsChoice = choice;
    return old;
}

void RegisterExchangeConverters() {
    {
        CCalcInterpreter& ci = CCalcInterpreter::Instance();
        qor::cmd::CalcSubsystemHooks hooks = ci.SubsystemHooks();
        hooks.convert = ConvertByCommand;
        ci.SetSubsystemHooks(hooks);
    }
    // INDB, INDBSQL and GETRECORD read data files and the host database.
    qor::InstallDatabaseFunctionHooks();
    auto dataFiles = std::make_shared<DataFileConverter>();
    qor::RegisterDocConverter(QStringLiteral("dbf"), dataFiles);
    qor::RegisterDocConverter(QStringLiteral("txt"), dataFiles);
    qor::RegisterDocConverter(QStringLiteral("csv"), dataFiles);
    qor::RegisterDocConverter(QStringLiteral("mdb"), dataFiles);
    qor::RegisterDocConverter(QStringLiteral("wk4"), dataFiles);
    auto html = std::make_shared<HtmlConverter>();
    qor::RegisterDocConverter(QStringLiteral("htm"), html);
    qor::RegisterDocConverter(QStringLiteral("html"), html);
    qor::RegisterDocConverter(QStringLiteral("xls"), std::make_shared<WorkbookConverter>());
    qor::RegisterDocConverter(QStringLiteral("xlsx"), std::make_shared<WorkbookConverter>());
    qor::RegisterDocConverter(QStringLiteral("xml"), std::make_shared<OwnXmlConverter>());
}

}  // namespace qor::doc
