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
#include <optional>
#include <vector>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"
#include "document/doc_commands.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/workfiles.h"
#include "engine/textutil.h"
#include "exchange/chtmlexporter.h"
#include "exchange/ownxml_export.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "resources/commandids.h"
#include "view/chartcmd_logic.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/displaystyle.h"
#include "view/objectprops_logic.h"
#include "view/print_preview.h"
#include "view/tabs_logic.h"
#include "print/viewitems_logic.h"

using namespace qor::view;
using namespace qor::cmd_ids;
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
    qor::messageBox(LoadErrorText(id), LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok,
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

void showPreview(CQorsDoc& doc, const PrintJobSettings& settings, QWidget* parent) {
    if (previewRunner()) {
        previewRunner()(doc, settings);
        return;
    }
    CPrintPreview preview(doc, settings);
    preview.Exec(previewPrinter().get(), parent);
}

}  // namespace

CQorsView::PreviewRunner CQorsView::SetPreviewRunner(PreviewRunner runner) {
    PreviewRunner old = std::move(previewRunner());
    previewRunner() = std::move(runner);
    return old;
}

// ---------------------------------------------------------------------------
// Update and run

namespace {

QString needsReport(CQorsView& v, int, qor::CommandState&) {
    return dc::NeedsReport(v.GetDocument());
}

QString needsData(CQorsView& v, int, qor::CommandState&) {
    return dc::NeedsDataState(v.GetDocument());
}

// An open report (in format state), then the dialog of members type M
// registered.
template <class M>
QString needsReportAndDialog(CQorsView& v, int, qor::CommandState&) {
    if (const QString why = dc::NeedsReport(v.GetDocument()); !why.isEmpty()) return why;
    return dc::NeedsDialog<M>();
}

template <class M>
QString needsFormatAndDialog(CQorsView& v, int, qor::CommandState&) {
    if (const QString why = dc::NeedsFormatState(v.GetDocument()); !why.isEmpty()) return why;
    return dc::NeedsDialog<M>();
}

}  // namespace

const qor::CommandTable<CQorsView>& CQorsView::commands() {
    // The lambdas below are inside a member function, so they may reach the
    // view's private parts through the view they are given.
    using State = qor::CommandState;
    constexpr auto copyRule = [](CQorsView& v, int, State&) -> QString {
        if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
        return v.Clipboard().OnUpdateEditCopy() ? QString() : LoadErrorText(qor::str::kNothingSelected);
    };
    constexpr auto orderRule = [](bool front) {
        return [front](CQorsView& v, int, State&) -> QString {
            if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
            if (!v.Items().Selected() || !IsItemEditable(*v.m_pDoc, *v.Items().Selected()))
                return LoadErrorText(qor::str::kNoEditableObjectChosen);
            const bool can = front ? CanBringToFront(*v.m_pDoc, v.Items().Selected())
                                   : CanSendToBack(*v.m_pDoc, v.Items().Selected());
            return can ? QString() : LoadErrorText(qor::str::kObjectAlreadyAtEnd);
        };
    };
    constexpr auto objectPrintRule = [](CQorsView& v, int, State&) -> QString {
        if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
        if (v.printingBlocked()) return LoadErrorText(qor::str::kPrintWhileInPlace);
        return v.Items().Selected() ? QString() : LoadErrorText(qor::str::kNoObjectToPrint);
    };
    // Nothing prints while an object is being edited in place, since the
    // sheet under it is not what would print.
    constexpr auto printRule = [](CQorsView& v, int, State&) -> QString {
        if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
        return v.printingBlocked() ? LoadErrorText(qor::str::kPrintWhileInPlace) : QString();
    };
    static const qor::CommandTable<CQorsView> table(
        {
            {kCmdCancelEditCntr,
             [](CQorsView& v, int, State&) -> QString {
                 if (!v.m_pDoc || !v.m_pDoc->Items().GetInPlaceActiveItem())
                     return LoadErrorText(qor::str::kNoInPlaceObject);
                 return {};
             },
             [](CQorsView& v, int) { v.InPlace().Deactivate(); }},
            // The object's verbs: open it (a link: its source file).
            {kCmdObjectVerbs,
             [](CQorsView& v, int, State&) -> QString {
                 if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
                 if (!dynamic_cast<COleItem*>(v.Items().Selected()))
                     return LoadErrorText(qor::str::kNoObjectSelected);
                 return {};
             },
             [](CQorsView& v, int) {
                 QString error;
                 if (!v.m_pDoc->Items().OpenObject(v.Items().Selected(), &error))
                     qor::messageBox(error, QString(), qor::MsgButtons::Ok,
                                     qor::MsgIcon::Warning);
             }},
            // 定位 moves the current cell, and the page: an entry under way
            // goes where it was typed first, as a click on another cell
            // stores it; a refused one stays open and nothing moves. The
            // document decides the command.
            {kCmdLocate,
             [](CQorsView& v, int id, State& s) -> QString {
                 if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
                 v.m_pDoc->OnUpdateCommand(id, s);
                 return s.enabled ? QString() : s.reason;
             },
             [](CQorsView& v, int id) {
                 if (v.CellEdit().CommitPendingEdit()) v.m_pDoc->OnCommand(id);
             }},
            {kCmdInsertObject, needsReportAndDialog<InsertObjectDlgMembers>,
             [](CQorsView& v, int) { v.OnInsertObject(); }},
            {qor::clip::kCmdCopy, copyRule, [](CQorsView& v, int) { v.Clipboard().OnEditCopy(); }},
            {qor::clip::kCmdCut, copyRule, [](CQorsView& v, int) { v.Clipboard().OnEditCut(); }},
            {qor::clip::kCmdClear, copyRule,
             [](CQorsView& v, int) { v.Clipboard().OnEditClear(); }},
            {qor::clip::kCmdPaste,
             [](CQorsView& v, int, State&) -> QString {
                 if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
                 return v.Clipboard().OnUpdateEditPaste()
                            ? QString()
                            : LoadErrorText(qor::str::kClipboardNothingToPaste);
             },
             [](CQorsView& v, int) { v.Clipboard().OnEditPaste(); }},
            {qor::clip::kCmdPasteLink, needsReport,
             [](CQorsView& v, int) { v.Clipboard().OnEditPasteLink(); }},
            {qor::clip::kCmdPasteSpecial,
             [](CQorsView& v, int id, State& s) -> QString {
                 const QString why = needsReportAndDialog<qor::clip::PasteSpecialMembers>(v, id, s);
                 if (!why.isEmpty()) return why;
                 if (!v.Clipboard().OnUpdateEditPasteSpecial())
                     return LoadErrorText(qor::str::kClipboardNothingToPasteSpecial);
                 return {};
             },
             [](CQorsView& v, int) { v.Clipboard().OnEditPasteSpecial(); }},
            {kCmdDisplayScale, needsReportAndDialog<ZoomDlgMembers>,
             [](CQorsView& v, int) { v.Display().OnDisplayScale(); }},
            {kCmdDisplayStyle, needsReportAndDialog<DisplayStyleDlgMembers>,
             [](CQorsView& v, int) { v.Display().OnDisplayStyle(); }},
            {kCmdForcedPageBreak,
             [](CQorsView& v, int, State& s) -> QString {
                 if (const QString why = dc::NeedsReport(v.m_pDoc); !why.isEmpty()) return why;
                 s.text = LoadErrorText(v.Pages().IsPageBreakAtCurrentCell() ? qor::str::kRemovePageBreak
                                                                             : qor::str::kForcePageBreak);
                 return {};
             },
             [](CQorsView& v, int) { v.Pages().OnForcedPageBreak(); }},
            {kCmdShowPageBreaks,
             [](CQorsView& v, int id, State& s) -> QString {
                 s.checkable = true;
                 s.checked = v.Pages().OnUpdateShowPageBreaks();
                 return needsReport(v, id, s);
             },
             [](CQorsView& v, int) { v.Pages().OnShowPageBreaks(); }},
            {kCmdClearPageBreaks, needsReport,
             [](CQorsView& v, int) { v.Pages().OnClearAllPageBreaks(); }},
            {kCmdBringToFront, orderRule(true),
             [](CQorsView& v, int) { v.Items().OnBringToFront(); }},
            {kCmdSendToBack, orderRule(false), [](CQorsView& v, int) { v.Items().OnSendToBack(); }},
            {kCmdObjectAppearance,
             [](CQorsView& v, int, State&) -> QString {
                 if (!v.Items().Selected()) return LoadErrorText(qor::str::kNoObjectSelected);
                 return dc::NeedsDialog<ObjectLookDlgMembers>();
             },
             [](CQorsView& v, int) { v.OnObjectAppearance(); }},
            // A chart's name, area and scale; an embedded or linked object
            // has properties of its own, in a dialog of its own.
            {kCmdObjectProperties,
             [](CQorsView& v, int, State&) -> QString {
                 if (!v.Items().Selected()) return LoadErrorText(qor::str::kNoObjectSelected);
                 if (dynamic_cast<COleItem*>(v.Items().Selected()))
                     return qor::view::ObjectPropsDialog() ? QString() : dc::ReasonNoDialog();
                 if (!dynamic_cast<CGraphItem*>(v.Items().Selected()))
                     return LoadErrorText(qor::str::kObjectHasNoProperties);
                 return dc::NeedsDialog<ObjectPropDlgMembers>();
             },
             [](CQorsView& v, int) {
                 if (dynamic_cast<COleItem*>(v.Items().Selected()))
                     v.OnObjectItemProperties();
                 else
                     v.OnObjectProperties();
             }},
            {kCmdObjectPreview, objectPrintRule,
             [](CQorsView& v, int) {
                 if (!v.Items().Selected()) {
                     tellId(qor::str::kNoObjectToPrint);
                     return;
                 }
                 PrintJobSettings settings;
                 settings.objectOnly = v.Items().Selected();
                 settings.viewScale = v.m_fScale;
                 settings.preview = true;
                 showPreview(*v.m_pDoc, settings, &v);
             }},
            {kCmdObjectPrint, objectPrintRule, [](CQorsView& v, int) { v.OnObjectPrint(); }},
            {kCmdInsertChart,
             [](CQorsView& v, int, State&) -> QString {
                 if (const QString why = dc::NeedsDataState(v.m_pDoc); !why.isEmpty()) return why;
                 return dc::NeedsDialog<AreaChartDlgMembers>();
             },
             [](CQorsView& v, int) { v.InsertAreaChart(); }},
            {kCmdTableSize, needsFormatAndDialog<qor::TableSizeDlgMembers>,
             [](CQorsView& v, int) { v.OnTableSize(); }},
            {kCmdCellAttributes, needsFormatAndDialog<CellAttrRequest>,
             [](CQorsView& v, int) { v.OnCellAttributes(); }},
            {kCmdPageTabsBack, needsData, [](CQorsView& v, int) { v.OnPageTabsBack(); }},
            {kCmdPageTabsForward, needsData, [](CQorsView& v, int) { v.OnPageTabsForward(); }},
            {kCmdPrint, printRule, [](CQorsView& v, int) { v.OnFilePrint(); }},
            {kCmdPrintDirect, printRule, [](CQorsView& v, int) { v.OnFilePrint(false); }},
            {kCmdPrintPreview, printRule,
             [](CQorsView& v, int) {
                 if (!v.m_pDoc || !v.m_pDoc->IsOpen()) return;
                 PrintJobSettings settings;
                 settings.preview = true;
                 settings.viewScale = v.m_fScale;
                 showPreview(*v.m_pDoc, settings, &v);
             }},
            {kCmdPrintSetup, needsReport,
             [](CQorsView& v, int) {
                 if (!v.m_pDoc || !v.m_pDoc->IsOpen()) return;
                 v.m_bObjectsOnly = 0;
                 // The setup is what mends a layout that does not fit the paper,
                 // so it runs whatever the layout says now; the layout follows
                 // the choice.
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
                 v.m_printer = qor::view::PrinterForRequest(*chosen);
                 v.m_bNoPrinter = 0;
                 if (!v.Pages().RecalcPageLayout()) return;
                 v.m_pDoc->UpdateAllViews(CQorsDoc::kHintLayout);
                 v.m_pDoc->UpdateServerItems(&v);
             }},
            {kCmdExportXml, needsReport, [](CQorsView& v, int) { v.OnExportXml(); }},
            {kCmdExportHtml, needsData, [](CQorsView& v, int) { v.OnExportHtml(); }},
            // The values alone over a preprinted form.
            {kCmdDataOverlayPrint, needsData,
             [](CQorsView& v, int) {
                 v.m_bDataOnly = 1;
                 v.OnFilePrint();
                 v.m_bDataOnly = 0;
             }},
            {kCmdSplitWindow,
             [](CQorsView& v, int, State& s) -> QString {
                 const CQorSplitterWnd* splitter = splitterOf(&v);
                 if (!splitter) return LoadErrorText(qor::str::kCannotSplit);
                 const bool split = splitter->GetRowCount() > 1 || splitter->GetColumnCount() > 1;
                 s.text = LoadErrorText(split ? qor::str::kUnsplitWindow : qor::str::kSplitWindow);
                 if (split) s.prompt = LoadErrorText(qor::str::kUnsplitPrompt);
                 return {};
             },
             // Splits the window at the current cell, or removes the split.
             [](CQorsView& v, int) {
                 CQorSplitterWnd* s = splitterOf(&v);
                 if (!s) return;
                 if (s->GetRowCount() > 1 || s->GetColumnCount() > 1) {
                     if (s->GetRowCount() > 1) s->DeleteRow(1);
                     if (s->GetColumnCount() > 1) s->DeleteColumn(1);
                     return;
                 }
                 // Just below and right of the selection's first cell when it is
                 // shown, else in the middle.
                 const CellArea sel = v.CurrentSelection().area;
                 Rect r{sel.first.col, sel.first.row, sel.first.col, sel.first.row};
                 v.Geometry().CellRangeToDocRect(r);
                 v.Geometry().DocToClient(r);
                 const QPoint origin = v.mapTo(s, QPoint(0, 0));
                 const bool rowShown = sel.first.row >= v.m_nFirstRow && r.bottom < v.height();
                 const bool colShown = sel.first.col >= v.m_nFirstCol && r.right < v.width();
                 const int y = rowShown ? r.bottom + 3 : v.height() / 2;
                 const int x = colShown ? r.right + 3 : v.width() / 2;
                 s->m_nSplitRow = rowShown ? sel.first.row + 1 : 0;
                 s->m_nSplitCol = colShown ? sel.first.col + 1 : 0;
                 s->SplitRow(origin.y() + y);
                 s->SplitColumn(origin.x() + x);
             }},
            {kCmdDataInterface,
             [](CQorsView& v, int, State&) -> QString {
                 if (const QString why = dc::NeedsDataState(v.m_pDoc); !why.isEmpty()) return why;
                 return dataInterfaceRunner() ? QString() : dc::ReasonNoDialog();
             },
             [](CQorsView& v, int) {
                 if (auto run = dataInterfaceRunner()) run(*v.m_pDoc, &v);
             }},
        },
        dc::ReasonNotBuilt());
    return table;
}

const qor::CommandIdSet* CQorsView::DeclaredCommands() const {
    // While a chart is edited its window answers first, for any id.
    if (m_items.IsChartEditing() && m_items.ChartWindow()) return nullptr;
    return &commands().Ids();
}

bool CQorsView::OnUpdateCommand(int id, qor::CommandState& state) {
    state = qor::CommandState{};
    // While a chart is edited its window answers first.
    if (Items().IsChartEditing() && Items().ChartWindow() &&
        Items().ChartWindow()->OnUpdateCommand(id, state))
        return true;
    return commands().Update(*this, id, state);
}

bool CQorsView::OnCommand(int id) {
    if (Items().IsChartEditing() && Items().ChartWindow()) {
        qor::CommandState chartState;
        if (Items().ChartWindow()->OnUpdateCommand(id, chartState)) {
            if (chartState.enabled) Items().ChartWindow()->OnCommand(id);
            return true;
        }
    }
    return qor::RunWhenOn(commands(), *this, id);
}

// ---------------------------------------------------------------------------
// Table size

void CQorsView::OnTableSize() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    qor::TableSizeDlgMembers m;
    m_pDoc->GetTableSize(&m.rows, &m.cols);
    const auto chosen = qor::Ask(m);
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
    m_scroll.UpdateScrollRanges();
    int32_t pageRows = 0, pageCols = 0;
    m_pDoc->GetPageTableSize(&pageRows, &pageCols);
    m_pDoc->SetSheetSize(m_geo.GetColumnDistance(0, pageCols), m_geo.GetRowDistance(0, pageRows));
    Items().ClampItemsToSheet();
    for (QWidget* w : QApplication::allWidgets())
        if (auto* v = qobject_cast<CQorsView*>(w); v && v->GetDocument() == m_pDoc)
            v->m_bRelayoutPending = 1;
    if (m_pDoc->ViewState().showPageBreaks) Pages().RecalcPageLayout();
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
    if (!s) {
        // A sheet with no page tabs of its own (a report edited in place)
        // steps through the document's pages; the last page stays put.
        const int pages = doc->GetReport() ? int(doc->GetReport()->GetPageCount()) : 0;
        const int page = std::clamp(doc->CurrentPage() + delta, 1, std::max(1, pages));
        if (page != doc->CurrentPage()) doc->SetCurrentPage(page);
        return;
    }
    if (!s->PageCtrl().StepCurrentPage(delta)) return;
    s->OnPageCommand(kCmdPageActivate);
}

}  // namespace

void CQorsView::OnPageTabsBack() { stepPage(this, -1); }

void CQorsView::OnPageTabsForward() { stepPage(this, 1); }

// ---------------------------------------------------------------------------
// Printing

bool CQorsView::printingBlocked() const {
    // Either side of in-place editing: the sheet under an active object is
    // not what would print, and the edited report is a working copy the
    // user prints with its container.
    return m_inPlace.IsActive();
}

void CQorsView::OnFilePrint(bool ask) { PrintJob(ask, nullptr); }

void CQorsView::OnObjectPrint() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    if (!Items().Selected()) {
        tellId(qor::str::kNoObjectToPrint);
        return;
    }
    PrintJob(true, Items().Selected());
}

void CQorsView::PrintJob(bool ask, CComItem* object) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    if (printingBlocked()) {
        tellId(qor::str::kPrintWhileInPlace);
        return;
    }
    // A print asks for a printer again even after a layout found none.
    m_bNoPrinter = 0;
    const std::optional<int> pages = Pages().RecalcPageLayout();
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
    if (ask && (!r.outputFile.isEmpty() ||
                (r.printerName.isEmpty() && QPrinterInfo::defaultPrinter().isNull()))) {
        // The dialog starts on a file (chosen last, or the only thing to
        // print to): it is named after this report, never the last report's.
        r.outputFile = qor::view::SuggestedPdfPath(m_pDoc->GetPathName(), r.outputFile,
                                                   QDir::homePath(), qor::WorkFolder());
    }
    r.maxPage = std::max(1, *pages);
    r.toPage = ask ? r.maxPage : std::min(r.toPage, r.maxPage);
    // The selection choice stands for every page of the report.
    r.flags &= ~(kPdNoSelection | kPdUseDevModeCopies);
    if (object) r.flags |= kPdNoSelection;

    if (ask) {
        if (!Pages().PreparePrinting(&r)) return;
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
    if (deviceFailed) tellId(qor::str::kPrintNotDone);
}

// ---------------------------------------------------------------------------
// Exports

void CQorsView::OnExportXml() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    const QString report = m_pDoc->GetPathName();
    if (report.isEmpty()) {
        tellId(qor::str::kSaveBeforeExport);
        return;
    }
    // The name beside the report, spelt as the report is: file names are
    // case-sensitive here.
    QString target = SiblingPath(report, QStringLiteral(".xml"));
    if (target.isEmpty() || QFileInfo::exists(target)) {
        const auto chosen = qor::chooseFile({LoadErrorText(qor::str::kExportXmlCaption), QFileInfo(report).absolutePath(),
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
        tellId(qor::str::kSaveBeforeConvert);
        return;
    }
    CHtmlExporter exporter;
    const int page = std::max(1, m_pDoc->ViewState().curPage);
    if (!exporter.OpenSource(m_pDoc->GetReport()->GetPathName(), page)) return;
    QString target = SiblingPath(report, QStringLiteral(".htm"));
    if (target.isEmpty() || QFileInfo::exists(target)) {
        QString filter = LoadErrorText(qor::str::kHtmlFileFilter);
        filter = filter.section('|', 0, 0);
        const auto chosen =
            qor::chooseFile({LoadErrorText(qor::str::kMakeHtmlCaption), QFileInfo(report).absolutePath(), filter, true});
        if (!chosen || chosen->isEmpty()) return;
        target = *chosen;
    }
    exporter.SetOutputPath(target);
    exporter.ExportPages();
}

// ---------------------------------------------------------------------------
// Cell attributes

bool CQorsView::OnCellAttributes() { return EditCellAttributes(0); }

bool CQorsView::EditCellAttributes(int removeMask) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return false;
    setFocus();
    const CellArea sel = m_pDoc->Selection().Area();
    const CellArea area =
        CellArea::area(sel.first.row + 1, sel.first.col + 1, sel.last.row + 1, sel.last.col + 1);
    CReportHandle& report = *m_pDoc->GetReport();
    const std::optional<CellAttrRequest> asked =
        qor::Ask(CellAttrRequest{qor::GatherCellAttr(report, area), removeMask});
    const bool ok = asked.has_value();
    if (ok) {
        const qor::CellAttrApplyResult r = qor::ApplyCellAttr(report, area, asked->members);
        if (r.diagonalTooLarge) tellId(qor::str::kDiagonalAreaTooLarge);
        // The report's refusal would otherwise look like a change that
        // silently did not happen.
        if (r.refused)
            qor::messageBox(r.why.isEmpty() ? LoadErrorText(qor::str::kCellAttrsPartlyRefused)
                                            : LoadErrorText(qor::str::kCellAttrsPartlyRefused) +
                                                  QLatin1Char('\n') + r.why,
                            LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
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
    const CellArea sel = CurrentSelection().area;
    const int rows = std::abs(sel.last.row - sel.first.row) + 1;
    const int cols = std::abs(sel.last.col - sel.first.col) + 1;
    if (const int why = CheckChartAreaSize(rows, cols)) {
        qor::messageBox(LoadErrorText(why), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return false;
    }
    const std::optional<AreaChartDlgMembers> asked = qor::Ask(PresetAreaChart(
        sel, m_pDoc->ViewState().curPage, m_pDoc->Items().ChartCounter(),
        m_pDoc->GetReport()->GetRowCount() - 1, m_pDoc->GetReport()->GetColCount() - 1));
    if (!asked) return false;
    const AreaChartDlgMembers& m = *asked;
    m_pDoc->Items().SetChartCounter(m_pDoc->Items().ChartCounter() + 1);
    // Centred in the part of the sheet the window shows: inside the
    // headers, and pulled in to the sheet's end when it ends in the window.
    Rect sheet{0, 0, m_pDoc->ViewState().sheetWidth, m_pDoc->ViewState().sheetHeight};
    Geometry().DocToClient(sheet);
    const Rect visible{m_nHeaderWidth, m_nHeaderHeight,
                       std::max(m_nHeaderWidth, std::min(width(), sheet.right)),
                       std::max(m_nHeaderHeight, std::min(height(), sheet.bottom))};
    Rect r = NewChartClientRect(visible);
    Geometry().ClientToDoc(r);
    const qor::items::ChartDesc desc =
        BuildAreaChartDesc(m, QSize(r.width(), r.height()), m_pDoc->Items().ChartCounter() - 1);
    std::shared_ptr<CComItem> item = m_pDoc->Items().CreateComItem(0);
    auto* chart = dynamic_cast<CGraphItem*>(item.get());
    if (!chart) return false;
    chart->SetRect(r);
    chart->SetChartDesc(desc);
    m_pDoc->Items().SetCurrentChart(chart);
    m_pDoc->Items().CreateChart(desc);
    for (CQorsView* v : SheetViewsOf(m_pDoc)) v->Items().SetSelection(chart);
    m_pDoc->SetModifiedFlag();
    // The new chart is opened for editing at once: its titles and parts are
    // what the user usually changes next.
    Items().BeginChartEdit(chart);
    m_pDoc->UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool CQorsView::OnInsertObject() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return false;
    const std::optional<InsertObjectDlgMembers> asked = qor::Ask(InsertObjectDlgMembers{});
    if (!asked || asked->m_strPath.isEmpty()) return false;
    const InsertObjectDlgMembers& m = *asked;
    // A report reached under another name (a link to it) that is open here
    // is refused; a report named as such is refused by the document.
    const QString suffix = QFileInfo(m.m_strPath).suffix().toUpper();
    if (suffix != QLatin1String("REP") && suffix != QLatin1String("RBK") &&
        IsOpenReportFile(m.m_strPath)) {
        qor::messageBox(LoadErrorText(qor::str::kFileOpenCannotInsert), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Error);
        return false;
    }
    // Placed near the top-left of the visible sheet.
    QPoint at(100, 50);
    Geometry().ClientToDocPoint(at);
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::shared_ptr<CComItem> item =
        m_pDoc->Items().InsertObjectFromFile(m.m_strPath, at, m.m_bLink, m.m_bIcon, &error);
    QApplication::restoreOverrideCursor();
    if (!item) {
        qor::messageBox(error, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return false;
    }
    for (CQorsView* v : SheetViewsOf(m_pDoc)) v->Items().SetSelection(item.get());
    Items().ClampItemsToSheet();
    return true;
}

void CQorsView::OnObjectAppearance() {
    if (!m_pDoc || !Items().Selected()) return;
    ObjectLookDlgMembers preset;
    preset.border = Items().Selected()->HasBorder();
    preset.transparent = Items().Selected()->IsTransparent();
    const std::optional<ObjectLookDlgMembers> m = qor::Ask(preset);
    if (!m) return;
    ApplyItemLook(*m_pDoc, *Items().Selected(), m->border, m->transparent);
}

void CQorsView::OnObjectProperties() {
    auto* chart = dynamic_cast<CGraphItem*>(Items().Selected());
    if (!m_pDoc || !chart) return;
    const qor::items::ChartDesc& desc = chart->GetChartDesc();
    ObjectPropDlgMembers preset;
    preset.name = desc.GetText(qor::items::ChartDesc::kTitleText);
    preset.area = ChartAreaText(desc);
    preset.text = desc.GetText(qor::items::ChartDesc::kNameText);
    const std::optional<ObjectPropDlgMembers> m = qor::Ask(preset);
    if (!m || !m->changed) return;
    ApplyChartScale(*m_pDoc, *chart, m->scale, m->relative);
    m_pDoc->UpdateAllViews();
}

void CQorsView::OnObjectItemProperties() {
    auto* object = dynamic_cast<COleItem*>(Items().Selected());
    const qor::view::ObjectPropsRunner& run = qor::view::ObjectPropsDialog();
    if (!m_pDoc || !object || !run) return;
    qor::view::ObjectPropsMembers m = qor::view::PresetObjectProps(*object);
    const int before = m.scale;
    CQorsDoc* doc = m_pDoc;
    m.updateNow = [doc, object] {
        // A file that is gone keeps the picture the report has.
        if (!doc->Items().RefreshLinkedObject(object))
            qor::messageBox(LoadErrorText(qor::str::kLinkedFileUnreadable).arg(object->GetClient().linkSource), QString(),
                            qor::MsgButtons::Ok, qor::MsgIcon::Warning);
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
