// The sheet view's menu commands as the frame's router reaches them: each
// id's update (enabled, checked, text, the reason it is off) and its run.
// The work itself lives with the view's other parts; the table size, page
// tabs, printing, exports and the split are here.

#include "view/view_commands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "exchange/chtmlexporter.h"
#include "exchange/ownxml_export.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "view/chartcmd_logic.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/displaystyle.h"
#include "view/objectprops_logic.h"
#include "view/print_preview.h"
#include "view/tabs_logic.h"
#include "view/viewitems_logic.h"

using namespace qor::view;
using namespace qor::viewcmd;
namespace dc = qor::doccmd;

namespace qor::viewcmd {

bool EndsWithRep(const QString& path) {
    return path.endsWith(QLatin1StringView(".rep"), Qt::CaseInsensitive);
}

QString SiblingPath(const QString& reportPath, const QString& extension) {
    if (!EndsWithRep(reportPath)) return QString();
    return reportPath.left(reportPath.size() - 4) + extension;
}

namespace {
DataInterfaceRunner& dataInterfaceRunner() {
    static DataInterfaceRunner runner;
    return runner;
}
}  // namespace

DataInterfaceRunner SetDataInterfaceRunner(DataInterfaceRunner runner) {
    return std::exchange(dataInterfaceRunner(), std::move(runner));
}

}  // namespace qor::viewcmd

namespace {

CQorSplitterWnd* splitterOf(const QWidget* w) {
    for (QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
        if (auto* s = qobject_cast<CQorSplitterWnd*>(p)) return s;
    return nullptr;
}

void tellId(int id) {
    qor::messageBox(LoadErrorText(id), LoadErrorText(57344), qor::MsgButtons::Ok,
                    qor::MsgIcon::Warning);
}

// The preview shows the pages on the paper the print setup chose, on the
// printer of the last print dialog.
std::unique_ptr<QPrinter> previewPrinter() {
    qor::PrintRequest r;
    if (const CReaderApp* app = CReaderApp::Current()) r.printerName = app->m_lastPrint.printerName;
    return qor::view::PrinterForRequest(r);
}

CQorsView::PreviewRunner& previewRunner() {
    static CQorsView::PreviewRunner runner;
    return runner;
}

}  // namespace

CQorsView::PreviewRunner CQorsView::SetPreviewRunner(PreviewRunner runner) {
    PreviewRunner old = std::move(previewRunner());
    previewRunner() = std::move(runner);
    return old;
}

// ---------------------------------------------------------------------------
// Update and run

const qor::CommandIdSet* CQorsView::DeclaredCommands() const {
    if (m_bChartEditing && m_pPicWnd) return nullptr;
    // Every case of OnUpdateCommand below (the frame tests check that
    // none is missing).
    static const qor::CommandIdSet ids = {
        kCmdObjectVerbs, kCmdInsertObject, qor::clip::kCmdCopy,
        qor::clip::kCmdCut, qor::clip::kCmdClear, qor::clip::kCmdPaste, qor::clip::kCmdPasteLink,
        qor::clip::kCmdPasteSpecial, kCmdDisplayScale, kCmdDisplayStyle, kCmdForcedPageBreak,
        kCmdShowPageBreaks, kCmdClearPageBreaks, kCmdBringToFront, kCmdSendToBack,
        kCmdObjectProperties, kCmdObjectAppearance, kCmdObjectPreview, kCmdObjectPrint,
        kCmdInsertChart, kCmdTableSize, kCmdCellAttributes, kCmdPageTabsBack, kCmdPageTabsForward,
        kCmdPrintSetup, kCmdPrint, kCmdPrintDirect, kCmdPrintPreview, kCmdExportXml,
        kCmdExportHtml, kCmdDataOverlayPrint, kCmdSplitWindow, kCmdDataInterface,
        kCmdCancelEditCntr,
    };
    return &ids;
}

bool CQorsView::OnUpdateCommand(int id, qor::CommandState& state) {
    state = qor::CommandState{};
    // While a chart is edited its window answers first.
    if (m_bChartEditing && m_pPicWnd && m_pPicWnd->OnUpdateCommand(id, state)) return true;
    const bool open = m_pDoc && m_pDoc->IsOpen();
    const bool data = open && m_pDoc->IsDataState();
    auto off = [&state](const QString& why) {
        state.enabled = false;
        state.reason = why;
        return true;
    };
    auto on = [&state] {
        state.enabled = true;
        return true;
    };
    // An embedded or linked object has properties of its own.
    if (id == kCmdObjectProperties && dynamic_cast<COleItem*>(m_pSelection))
        return qor::view::ObjectPropsDialog() ? on() : off(dc::ReasonNoDialog());
    switch (id) {
        case kCmdCancelEditCntr:
            if (!m_pDoc || !m_pDoc->Items().GetInPlaceActiveItem())
                return off(QStringLiteral("没有就地编辑的对象"));
            return on();
        case kCmdObjectVerbs:
            // The object's verbs: open it (a link: its source file).
            if (!open) return off(dc::ReasonNoReport());
            if (!dynamic_cast<COleItem*>(m_pSelection))
                return off(QStringLiteral("没有选中的对象"));
            return on();
        case kCmdInsertObject:
            if (!open) return off(dc::ReasonNoReport());
            if (!ChartUi()->Provides(kDlgInsertObject)) return off(dc::ReasonNoDialog());
            return on();

        case qor::clip::kCmdCopy:
        case qor::clip::kCmdCut:
            if (!open) return off(dc::ReasonNoReport());
            return OnUpdateEditCopy() ? on() : off(QStringLiteral("没有选中的内容"));
        case qor::clip::kCmdClear:
            if (!open) return off(dc::ReasonNoReport());
            return OnUpdateEditCopy() ? on() : off(QStringLiteral("没有选中的内容"));
        case qor::clip::kCmdPaste:
            if (!open) return off(dc::ReasonNoReport());
            return OnUpdateEditPaste() ? on() : off(QStringLiteral("剪贴板中没有可粘贴的数据"));
        case qor::clip::kCmdPasteLink:
            return open ? on() : off(dc::ReasonNoReport());
        case qor::clip::kCmdPasteSpecial:
            if (!open) return off(dc::ReasonNoReport());
            if (!qor::clip::HasPasteSpecialDialog()) return off(dc::ReasonNoDialog());
            if (!OnUpdateEditPasteSpecial())
                return off(QStringLiteral("剪贴板中没有可选择性粘贴的数据"));
            return on();

        case kCmdDisplayScale:
        case kCmdDisplayStyle:
            if (!open) return off(dc::ReasonNoReport());
            if (!ViewDialogs()->Provides(id == kCmdDisplayScale ? kDlgZoom : kDlgDisplayStyle))
                return off(dc::ReasonNoDialog());
            return on();

        case kCmdForcedPageBreak:
            if (!open) return off(dc::ReasonNoReport());
            state.text =
                LoadErrorText(IsPageBreakAtCurrentCell() ? kStrRemoveBreak : kStrForceBreak);
            return on();
        case kCmdShowPageBreaks:
            state.checkable = true;
            state.checked = OnUpdateShowPageBreaks();
            return open ? on() : off(dc::ReasonNoReport());
        case kCmdClearPageBreaks:
            return open ? on() : off(dc::ReasonNoReport());

        case kCmdBringToFront:
        case kCmdSendToBack: {
            if (!open) return off(dc::ReasonNoReport());
            if (!m_pSelection || !IsItemEditable(*m_pDoc, *m_pSelection))
                return off(QStringLiteral("没有选中可编辑的对象"));
            const bool can = id == kCmdBringToFront ? CanBringToFront(*m_pDoc, m_pSelection)
                                                    : CanSendToBack(*m_pDoc, m_pSelection);
            return can ? on() : off(QStringLiteral("对象已在最前（最后）"));
        }
        case kCmdObjectAppearance:
            if (!m_pSelection) return off(QStringLiteral("没有选中的对象"));
            return ViewDialogs()->Provides(kDlgObjectLook) ? on() : off(dc::ReasonNoDialog());
        case kCmdObjectProperties:
            if (!m_pSelection) return off(QStringLiteral("没有选中的对象"));
            if (!dynamic_cast<CGraphItem*>(m_pSelection))
                return off(QStringLiteral("该对象没有可设置的属性"));
            return ViewDialogs()->Provides(kDlgObjectProp) ? on() : off(dc::ReasonNoDialog());
        case kCmdObjectPreview:
        case kCmdObjectPrint:
            if (!open) return off(dc::ReasonNoReport());
            if (printingBlocked()) return off(LoadErrorText(kMsgPrintInPlace));
            return m_pSelection ? on() : off(LoadErrorText(kMsgNoObjectToPrint));
        case kCmdInsertChart:
            if (!open) return off(dc::ReasonNoReport());
            if (!data) return off(dc::ReasonDataState());
            if (!ChartUi()->Provides(kDlgAreaChart)) return off(dc::ReasonNoDialog());
            return on();

        case kCmdTableSize:
        case kCmdCellAttributes:
            if (!open) return off(dc::ReasonNoReport());
            if (data) return off(dc::ReasonFormatState());
            if (id == kCmdTableSize ? !qor::DocDialogs().Provides(kDlgTableSize)
                                    : !ViewDialogs()->Provides(kDlgCellAttributes))
                return off(dc::ReasonNoDialog());
            return on();

        case kCmdPageTabsBack:
        case kCmdPageTabsForward:
            if (!open) return off(dc::ReasonNoReport());
            return data ? on() : off(dc::ReasonDataState());

        case kCmdPrint:
        case kCmdPrintDirect:
        case kCmdPrintPreview:
            // OnUpdatePrint: nothing prints while an object is being edited
            // in place, since the sheet under it is not what would print.
            if (!open) return off(dc::ReasonNoReport());
            return printingBlocked() ? off(LoadErrorText(kMsgPrintInPlace)) : on();
        case kCmdPrintSetup:
        case kCmdExportXml:
            return open ? on() : off(dc::ReasonNoReport());
        case kCmdExportHtml:
        case kCmdDataOverlayPrint:
            if (!open) return off(dc::ReasonNoReport());
            return data ? on() : off(dc::ReasonDataState());

        case kCmdSplitWindow: {
            const CQorSplitterWnd* s = splitterOf(this);
            if (!s) return off(QStringLiteral("窗口不能拆分"));
            const bool split = s->GetRowCount() > 1 || s->GetColumnCount() > 1;
            state.text = LoadErrorText(split ? kStrUnsplit : kStrSplit);
            return on();
        }
        case kCmdDataInterface:
            if (!open) return off(dc::ReasonNoReport());
            if (!data) return off(dc::ReasonDataState());
            return dataInterfaceRunner() ? on() : off(dc::ReasonNoDialog());
        default:
            return false;
    }
}

bool CQorsView::OnCommand(int id) {
    if (m_bChartEditing && m_pPicWnd) {
        qor::CommandState chartState;
        if (m_pPicWnd->OnUpdateCommand(id, chartState)) {
            if (chartState.enabled) m_pPicWnd->OnCommand(id);
            return true;
        }
    }
    qor::CommandState state;
    if (!OnUpdateCommand(id, state)) return false;
    // A command reached while it is off does what its greyed item does.
    if (!state.enabled) return true;
    if (id == kCmdObjectProperties && dynamic_cast<COleItem*>(m_pSelection)) {
        OnObjectItemProperties();
        return true;
    }
    switch (id) {
        case qor::clip::kCmdCopy:
        case qor::clip::kCmdCut:
        case qor::clip::kCmdClear:
        case qor::clip::kCmdPaste:
        case qor::clip::kCmdPasteLink:
        case qor::clip::kCmdPasteSpecial:
            OnClipboardCommand(id);
            break;
        case kCmdDisplayScale:
            OnDisplayScale();
            break;
        case kCmdDataInterface:
            if (auto run = dataInterfaceRunner()) run(*m_pDoc, this);
            break;
        case kCmdDisplayStyle:
            OnDisplayStyle();
            break;
        case kCmdForcedPageBreak:
            OnForcedPageBreak();
            break;
        case kCmdShowPageBreaks:
            OnShowPageBreaks();
            break;
        case kCmdClearPageBreaks:
            OnClearAllPageBreaks();
            break;
        case kCmdBringToFront:
            OnBringToFront();
            break;
        case kCmdObjectAppearance:
            OnObjectAppearance();
            break;
        case kCmdObjectProperties:
            OnObjectProperties();
            break;
        case kCmdSendToBack:
            OnSendToBack();
            break;
        case kCmdInsertChart:
            InsertAreaChart();
            break;
        case kCmdInsertObject:
            OnInsertObject();
            break;
        case kCmdCancelEditCntr:
            DeactivateInPlaceItem();
            break;
        case kCmdObjectVerbs: {
            QString error;
            if (!m_pDoc->Items().OpenObject(m_pSelection, &error))
                qor::messageBox(error, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
            break;
        }
        case kCmdObjectPreview:
            if (!m_pSelection) {
                tellId(kMsgNoObjectToPrint);
                break;
            }
            {
                PrintJobSettings settings;
                settings.objectOnly = m_pSelection;
                settings.viewScale = m_fScale;
                settings.preview = true;
                if (previewRunner()) {
                    previewRunner()(*m_pDoc, settings);
                } else {
                    CPrintPreview preview(*m_pDoc, settings);
                    preview.Exec(previewPrinter().get(), this);
                }
            }
            break;
        case kCmdObjectPrint:
            OnObjectPrint();
            break;
        case kCmdTableSize:
            OnTableSize();
            break;
        case kCmdCellAttributes:
            OnCellAttributes();
            break;
        case kCmdPageTabsBack:
            OnPageTabsBack();
            break;
        case kCmdPageTabsForward:
            OnPageTabsForward();
            break;
        case kCmdPrintSetup:
            OnFilePrintSetup();
            break;
        case kCmdPrint:
            OnFilePrint();
            break;
        case kCmdPrintDirect:
            OnFilePrint(false);
            break;
        case kCmdPrintPreview:
            OnFilePrintPreview();
            break;
        case kCmdDataOverlayPrint:
            OnDataOverlayPrint();
            break;
        case kCmdExportXml:
            OnExportXml();
            break;
        case kCmdExportHtml:
            OnExportHtml();
            break;
        case kCmdSplitWindow:
            OnSplitWindow();
            break;
        default:
            break;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Table size

void CQorsView::OnTableSize() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    qor::TableSizeDlgMembers m;
    m_pDoc->GetTableSize(&m.rows, &m.cols);
    const auto chosen = qor::DocDialogs().TableSizeDlg(m);
    if (chosen) SetTableSize(chosen->rows, chosen->cols);
}

bool CQorsView::SetTableSize(int rows, int cols) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return false;
    if (!m_pDoc->ResizeTable(rows, cols)) return false;
    RefreshGeometry();
    // Scroll positions inside the new ranges, and the first cell current.
    m_nFirstRow = std::min(m_nFirstRow, std::max(0, m_geo.LastRow()));
    m_nFirstCol = std::min(m_nFirstCol, std::max(0, m_geo.LastColumn()));
    SetCurrentAndSelection(SelectCell(CombinedAreas(), 0, 0));
    UpdateScrollRanges();
    int32_t pageRows = 0, pageCols = 0;
    m_pDoc->GetPageTableSize(&pageRows, &pageCols);
    m_pDoc->ViewState().sheetWidth = m_geo.GetColumnDistance(0, pageCols);
    m_pDoc->ViewState().sheetHeight = m_geo.GetRowDistance(0, pageRows);
    ClampItemsToSheet();
    for (QWidget* w : QApplication::allWidgets())
        if (auto* v = qobject_cast<CQorsView*>(w); v && v->GetDocument() == m_pDoc)
            v->m_bRelayoutPending = 1;
    if (m_pDoc->ViewState().showPageBreaks) RecalcPageLayout();
    m_pDoc->UpdateAllViews(CQorsDoc::kHintLayout);
    m_pDoc->UpdateServerItems(this);
    return true;
}

void CQorsView::ScrollResizePreview(int fixedEdge, int delta, bool horizontal) {
    if (delta == 0) return;
    // The lines after the dragged border move with the mouse; what opens up
    // between is drawn again by the paint the scroll causes.
    if (horizontal) {
        const int left = std::max(fixedEdge, m_nHeaderWidth);
        if (left < width()) scroll(delta, 0, QRect(left, 0, width() - left, height()));
    } else {
        const int top = std::max(fixedEdge, m_nHeaderHeight);
        if (top < height()) scroll(0, delta, QRect(0, top, width(), height() - top));
    }
}

// ---------------------------------------------------------------------------
// Page tabs

namespace {

// One page back or forward, as a press on the neighbouring tab would do:
// the frame (or the splitter) makes the strip's page current.
void stepPage(CQorsView* view, int delta) {
    CQorsDoc* doc = view->GetDocument();
    if (!doc || !doc->IsOpen() || !doc->IsDataState()) return;
    CQorSplitterWnd* s = splitterOf(view);
    if (!s) return;
    if (!s->PageCtrl().StepCurrentPage(delta)) return;
    s->OnPageCommand(kCmdPageChanged);
}

}  // namespace

void CQorsView::OnPageTabsBack() { stepPage(this, -1); }

void CQorsView::OnPageTabsForward() { stepPage(this, 1); }

// ---------------------------------------------------------------------------
// Printing

bool CQorsView::printingBlocked() const {
    return m_pDoc && m_pDoc->Items().GetInPlaceActiveItem() != nullptr;
}

void CQorsView::OnFilePrintSetup() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    m_bObjectsOnly = 0;
    // The setup is what mends a layout that does not fit the paper, so it
    // runs whatever the layout says now; the layout follows the choice.
    std::optional<qor::PrintRequest> chosen;
    if (CAppEnvironment* env = CAppEnvironment::Current()) {
        // The application keeps the printer for later prints and layouts.
        if (env->OnFilePrintSetup() == 1) chosen = env->App().m_lastPrint;
    } else {
        qor::PrintRequest r;
        r.flags = 0x14000C;
        r.setupOnly = true;
        chosen = qor::printDialog(r);
    }
    if (!chosen) return;
    m_printer = qor::view::PrinterForRequest(*chosen);
    m_bNoPrinter = 0;
    if (!RecalcPageLayout()) return;
    m_pDoc->UpdateAllViews(CQorsDoc::kHintLayout);
    m_pDoc->UpdateServerItems(this);
}

void CQorsView::OnFilePrint(bool ask) { PrintJob(ask, nullptr); }

void CQorsView::OnObjectPrint() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    if (!m_pSelection) {
        tellId(kMsgNoObjectToPrint);
        return;
    }
    PrintJob(true, m_pSelection);
}

void CQorsView::PrintJob(bool ask, CComItem* object) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    if (printingBlocked()) {
        tellId(kMsgPrintInPlace);
        return;
    }
    // A print asks for a printer again even after a layout found none.
    m_bNoPrinter = 0;
    const std::optional<int> pages = RecalcPageLayout();
    if (!pages) return;  // the layout told why

    qor::PrintRequest r;
    const CReaderApp* app = CReaderApp::Current();
    // With no printer to print on without asking, the dialog offers a file.
    if (!ask && (!app || app->m_lastPrint.printerName.isEmpty()) &&
        QPrinterInfo::defaultPrinter().isNull())
        ask = true;
    if (!ask && app) {
        // Without the dialog the choices of the last one hold.
        constexpr quint32 kept = kPdCollate | kPdPageNums | kPdSelection | kPdPrintToFile |
                                 kPdNoSelection | kPdUseDevModeCopies;
        r.flags = app->m_lastPrint.flags & kept;
        r.fromPage = app->m_lastPrint.fromPage;
        r.toPage = app->m_lastPrint.toPage;
        r.allPages = app->m_lastPrint.allPages;
        r.copies = app->m_lastPrint.copies;
        r.printerName = app->m_lastPrint.printerName;
    } else if (app) {
        // The dialog starts on the printer (or file) chosen last.
        r.printerName = app->m_lastPrint.printerName;
        r.outputFile = app->m_lastPrint.outputFile;
    }
    if (ask && r.printerName.isEmpty() && QPrinterInfo::defaultPrinter().isNull()) {
        // Only a file can be printed to: it is named after this report.
        r.outputFile =
            qor::view::SuggestedPdfPath(m_pDoc->GetPathName(), r.outputFile, QDir::homePath());
    }
    r.maxPage = std::max(1, *pages);
    r.toPage = ask ? r.maxPage : std::min(r.toPage, r.maxPage);
    // The selection choice stands for every page of the report.
    r.flags &= ~(kPdNoSelection | kPdUseDevModeCopies);
    if (object) r.flags |= kPdNoSelection;

    if (ask) {
        if (!PreparePrinting(&r)) return;
    } else {
        m_printer = qor::view::PrinterForRequest(r);
    }
    PrintJobSettings settings = SettingsFromPrinter(*m_printer);
    if (object) settings.allReportPages = false;
    settings.objectOnly = object;
    settings.dataOnly = m_bDataOnly != 0;
    settings.viewScale = m_fScale;
    m_bObjectsOnly = object ? 1 : 0;
    bool deviceFailed = false;
    PrintToPrinter(*m_pDoc, *m_printer, settings, &deviceFailed);
    m_bObjectsOnly = 0;
    // A page too small was told by the job itself; this is the printer or
    // the output file that could not be written.
    if (deviceFailed) tellId(kMsgPrintNotDone);
}

void CQorsView::OnFilePrintPreview() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    PrintJobSettings settings;
    settings.preview = true;
    settings.viewScale = m_fScale;
    if (previewRunner()) {
        previewRunner()(*m_pDoc, settings);
        return;
    }
    CPrintPreview preview(*m_pDoc, settings);
    preview.Exec(previewPrinter().get(), this);
}

void CQorsView::OnDataOverlayPrint() {
    m_bDataOnly = 1;
    OnFilePrint();
    m_bDataOnly = 0;
}

// ---------------------------------------------------------------------------
// Exports

void CQorsView::OnExportXml() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    const QString report = m_pDoc->GetPathName();
    if (report.isEmpty()) {
        tellId(kMsgExportNeedsName);
        return;
    }
    // The name beside the report, spelt as the report is: file names are
    // case-sensitive here.
    QString target = SiblingPath(report, QStringLiteral(".xml"));
    if (target.isEmpty() || QFileInfo::exists(target)) {
        const auto chosen =
            qor::chooseFile({QStringLiteral("导出成XML"), QFileInfo(report).absolutePath(),
                             QStringLiteral("(*.xml)"), true});
        if (!chosen || chosen->isEmpty()) return;
        target = *chosen;
    }
    // The writer finds the open report by the path it is open under.
    ExportReportXml(target, m_pDoc->GetReport()->GetPathName());
}

void CQorsView::OnExportHtml() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    const QString report = m_pDoc->GetPathName();
    if (report.isEmpty()) {
        tellId(kMsgConvertNeedsName);
        return;
    }
    CHtmlExporter exporter;
    const int page = std::max(1, m_pDoc->ViewState().curPage);
    if (!exporter.OpenSource(m_pDoc->GetReport()->GetPathName(), page)) return;
    QString target = SiblingPath(report, QStringLiteral(".htm"));
    if (target.isEmpty() || QFileInfo::exists(target)) {
        QString filter = LoadErrorText(kStrHtmlFilter);
        filter = filter.section('|', 0, 0);
        const auto chosen = qor::chooseFile(
            {QStringLiteral("生成HTML"), QFileInfo(report).absolutePath(), filter, true});
        if (!chosen || chosen->isEmpty()) return;
        target = *chosen;
    }
    exporter.SetOutputPath(target);
    exporter.ExportPages();
}

// ---------------------------------------------------------------------------
// Split

void CQorsView::OnSplitWindow() {
    CQorSplitterWnd* s = splitterOf(this);
    if (!s) return;
    if (s->GetRowCount() > 1 || s->GetColumnCount() > 1) {
        if (s->GetRowCount() > 1) s->DeleteRow(1);
        if (s->GetColumnCount() > 1) s->DeleteColumn(1);
        return;
    }
    // Just below and right of the selection's first cell when it is shown,
    // else in the middle.
    const CellArea sel = SelectionArea();
    Rect r{sel.first.col, sel.first.row, sel.first.col, sel.first.row};
    CellRangeToDocRect(r);
    DocToClient(r);
    const QPoint origin = mapTo(s, QPoint(0, 0));
    const bool rowShown = sel.first.row >= m_nFirstRow && r.bottom < height();
    const bool colShown = sel.first.col >= m_nFirstCol && r.right < width();
    const int y = rowShown ? r.bottom + 3 : height() / 2;
    const int x = colShown ? r.right + 3 : width() / 2;
    s->m_nSplitRow = rowShown ? sel.first.row + 1 : 0;
    s->m_nSplitCol = colShown ? sel.first.col + 1 : 0;
    s->SplitRow(origin.y() + y);
    s->SplitColumn(origin.x() + x);
}

// ---------------------------------------------------------------------------
// Cell attributes

bool CQorsView::OnCellAttributes() { return EditCellAttributes(0); }

bool CQorsView::EditCellAttributes(int removeMask) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return false;
    setFocus();
    const CellArea sel = m_pDoc->GetSelectionArea();
    const CellArea area =
        CellArea::area(sel.first.row + 1, sel.first.col + 1, sel.last.row + 1, sel.last.col + 1);
    CReportHandle& report = *m_pDoc->GetReport();
    qor::CellAttrMembers members = qor::GatherCellAttr(report, area);
    const bool ok = ViewDialogs()->RunCellAttrDlg(members, removeMask) == qor::kIdOk;
    if (ok) {
        const qor::CellAttrApplyResult r = qor::ApplyCellAttr(report, area, members);
        if (r.diagonalTooLarge) tellId(kMsgDiagonalTooLarge);
        // The report's refusal would otherwise look like a change that
        // silently did not happen.
        if (r.refused)
            qor::messageBox(QStringLiteral("部分单元属性未能设置：报表拒绝了修改。"),
                            LoadErrorText(57344), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        if (r.changed) {
            m_pDoc->SetModifiedFlag();
            m_pDoc->UpdateAllViews(CQorsDoc::kHintAll);
        }
    }
    setFocus();
    return ok;
}

// ---------------------------------------------------------------------------
// Charts

bool CQorsView::InsertAreaChart() {
    if (!m_pDoc || !m_pDoc->IsDataState()) return false;
    const CellArea sel = SelectionArea();
    const int rows = std::abs(sel.last.row - sel.first.row) + 1;
    const int cols = std::abs(sel.last.col - sel.first.col) + 1;
    if (const int why = CheckChartAreaSize(rows, cols)) {
        qor::messageBox(LoadErrorText(why), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return false;
    }
    AreaChartDlgMembers m =
        PresetAreaChart(sel, m_pDoc->ViewState().curPage, m_pDoc->Items().ChartCounter(),
                        m_pDoc->GetReport()->GetRowCount() - 1, m_pDoc->GetReport()->GetColCount() - 1);
    if (ChartUi()->RunAreaChartDlg(m) != qor::kIdOk) return false;
    m_pDoc->Items().SetChartCounter(m_pDoc->Items().ChartCounter() + 1);
    // Centred in the part of the sheet the window shows: inside the
    // headers, and pulled in to the sheet's end when it ends in the window.
    Rect sheet{0, 0, m_pDoc->ViewState().sheetWidth, m_pDoc->ViewState().sheetHeight};
    DocToClient(sheet);
    const Rect visible{m_nHeaderWidth, m_nHeaderHeight,
                       std::max(m_nHeaderWidth, std::min(width(), sheet.right)),
                       std::max(m_nHeaderHeight, std::min(height(), sheet.bottom))};
    Rect r = NewChartClientRect(visible);
    ClientToDoc(r);
    const qor::items::ChartDesc desc =
        BuildAreaChartDesc(m, QSize(r.width(), r.height()), m_pDoc->Items().ChartCounter() - 1);
    std::shared_ptr<CComItem> item = m_pDoc->Items().CreateComItem(0);
    auto* chart = dynamic_cast<CGraphItem*>(item.get());
    if (!chart) return false;
    chart->SetRect(r);
    chart->SetChartDesc(desc);
    m_pDoc->Items().SetCurrentChart(chart);
    m_pDoc->Items().CreateChart(desc);
    for (CQorsView* v : SheetViewsOf(m_pDoc)) v->SetSelection(chart);
    m_pDoc->SetModifiedFlag();
    // The new chart is opened for editing at once: its titles and parts are
    // what the user usually changes next.
    BeginChartEdit(chart);
    m_pDoc->UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool CQorsView::OnInsertObject() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return false;
    InsertObjectDlgMembers m;
    if (ChartUi()->RunInsertObjectDlg(m) != qor::kIdOk || m.m_strPath.isEmpty()) return false;
    // A report reached under another name (a link to it) that is open here
    // is refused; a report named as such is refused by the document.
    const QString suffix = QFileInfo(m.m_strPath).suffix().toUpper();
    if (suffix != QLatin1String("REP") && suffix != QLatin1String("RBK") &&
        IsOpenReportFile(m.m_strPath)) {
        qor::messageBox(LoadErrorText(kMsgFileAlreadyOpen), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Error);
        return false;
    }
    // Placed near the top-left of the visible sheet.
    QPoint at(100, 50);
    ClientToDocPoint(at);
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::shared_ptr<CComItem> item =
        m_pDoc->Items().InsertObjectFromFile(m.m_strPath, at, m.m_bLink, m.m_bIcon, &error);
    QApplication::restoreOverrideCursor();
    if (!item) {
        qor::messageBox(error, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return false;
    }
    for (CQorsView* v : SheetViewsOf(m_pDoc)) v->SetSelection(item.get());
    ClampItemsToSheet();
    return true;
}

void CQorsView::OnObjectAppearance() {
    if (!m_pDoc || !m_pSelection) return;
    ObjectLookDlgMembers m;
    m.border = m_pSelection->HasBorder();
    m.transparent = m_pSelection->IsTransparent();
    if (ViewDialogs()->RunObjectLookDlg(m) != qor::kIdOk) return;
    ApplyItemLook(*m_pDoc, *m_pSelection, m.border, m.transparent);
}

void CQorsView::OnObjectProperties() {
    auto* chart = dynamic_cast<CGraphItem*>(m_pSelection);
    if (!m_pDoc || !chart) return;
    const qor::items::ChartDesc& desc = chart->GetChartDesc();
    ObjectPropDlgMembers m;
    m.name = desc.GetText(qor::items::ChartDesc::kTitleText);
    m.area = ChartAreaText(desc);
    m.text = desc.GetText(qor::items::ChartDesc::kNameText);
    if (ViewDialogs()->RunObjectPropDlg(m) != qor::kIdOk || !m.changed) return;
    ApplyChartScale(*m_pDoc, *chart, m.scale, m.relative);
    m_pDoc->UpdateAllViews();
}

void CQorsView::OnObjectItemProperties() {
    auto* object = dynamic_cast<COleItem*>(m_pSelection);
    const qor::view::ObjectPropsRunner& run = qor::view::ObjectPropsDialog();
    if (!m_pDoc || !object || !run) return;
    qor::view::ObjectPropsMembers m = qor::view::PresetObjectProps(*object);
    const int before = m.scale;
    CQorsDoc* doc = m_pDoc;
    m.updateNow = [doc, object] {
        // A file that is gone keeps the picture the report has.
        if (!doc->Items().RefreshLinkedObject(object))
            qor::messageBox(QStringLiteral("不能读取链接的文件 %1，对象仍显示原来的图片。")
                                .arg(object->GetClient().linkSource),
                            QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        else
            doc->SetModifiedFlag();
    };
    m.openSource = [doc, object] {
        QString error;
        if (!doc->Items().OpenObject(object, &error))
            qor::messageBox(error, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
    };
    if (!run(m, this) || m.scale == before) return;
    if (qor::view::ApplyObjectScale(*m_pDoc, *object, m.scale)) {
        m_pDoc->UpdateAllViews(CQorsDoc::kHintItems);
        m_pDoc->UpdateServerItems();
    }
}
