// The sheet view's printed pages: the printer, the layout's automatic
// breaks and the forced-break commands.

#include "view/viewpages.h"

#include <QPrinter>

#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "view/cqorsview.h"
#include "view/print_driver.h"

using namespace qor::view;

namespace {

void tell(const QString& text) {
    qor::messageBox(text, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
}

// The print dialog of the application, which remembers the choice for a
// later print without dialog; the UI-services hook alone where no
// application environment runs (tests, a bare view).
std::optional<qor::PrintRequest> askPrintDialog(qor::PrintRequest request) {
    if (CAppEnvironment* env = CAppEnvironment::Current()) {
        if (env->DoPrintDialog(request) != 1) return std::nullopt;
        return request;
    }
    return qor::printDialog(request);
}

}  // namespace

bool ViewPages::PreparePrinting(qor::PrintRequest* ask) {
    if (ask) {
        if (ask->minPage > ask->maxPage) ask->maxPage = ask->minPage;
        ask->fromPage = ask->toPage = ask->minPage;
        const std::optional<qor::PrintRequest> chosen = askPrintDialog(*ask);
        if (!chosen) return false;
        *ask = *chosen;
        // The chosen printer lays the pages out from now on.
        m_v.m_printer = PrinterForRequest(*chosen);
    }
    if (!m_v.m_printer) {
        const CReaderApp* app = CReaderApp::Current();
        m_v.m_printer = PrinterForRequest(app ? app->m_lastPrint : qor::PrintRequest{});
    }
    if (!m_v.m_printer->isValid()) {
        tell(LoadErrorText(qor::str::kNoPrinter));
        return false;
    }
    return true;
}

PageRect ViewPages::PrintableArea() const {
    if (!m_v.m_printer || !m_v.m_pDoc) return {};
    return PrintableAreaFor(m_v.m_printer->pageLayout(), PageSetupFromDocument(*m_v.m_pDoc));
}

std::optional<int> ViewPages::RecalcPageLayout() {
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen() || m_v.m_bNoPrinter) return std::nullopt;
    // A layout never asks with a dialog: it takes the printer there is.
    if (!PreparePrinting()) {
        m_v.m_bNoPrinter = 1;
        return std::nullopt;
    }
    SheetGeometry printGeo = m_v.m_geo;
    printGeo.SetScale(m_v.m_pDoc->PageSetup().scale);

    // Breaks left past the end of a shrunken table mean nothing any more.
    qor::ManualBreakTable manual = m_v.m_pDoc->ViewState().manualBreaks;
    DropBreaksBeyond(manual, printGeo.LastRow(), printGeo.LastColumn());
    m_v.m_pDoc->SetManualBreaks(manual);
    PageSetup setup = PageSetupFromDocument(*m_v.m_pDoc);
    std::vector<int> titleMessages;
    setup.titles = ValidatePrintTitles(printGeo, setup.titles, &titleMessages);
    m_v.m_pDoc->SetPrintTitleFlags(setup.titles.head, setup.titles.tail);
    for (int id : titleMessages) tell(LoadErrorText(id));

    const LayoutResult result = ComputePageLayout(printGeo, setup, PrintableArea());
    std::vector<PageBreakEntry> autoBreaks;
    StoreAutoBreaks(result.breaks, &autoBreaks);
    m_v.m_pDoc->SetAutoBreaks(std::move(autoBreaks));
    if (result.message) tell(LoadErrorText(result.message));
    return result.pages;
}

void ViewPages::OnForcedPageBreak() {
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) return;
    m_v.m_pDoc->SetShowPageBreaks(true);
    const CellArea sel = m_v.CurrentSelection().area;
    qor::ManualBreakTable manual = m_v.m_pDoc->ViewState().manualBreaks;
    const ForcedBreakResult r = ToggleForcedBreak(manual, m_v.m_geo, sel.first.row, sel.first.col);
    m_v.m_pDoc->SetManualBreaks(manual);
    if (r == ForcedBreakResult::TableFull) tell(LoadErrorText(qor::str::kForcedBreaksFull));
    // A removed break changes what is printed and saved as much as an added
    // one, so both mark the report modified; the layout follows the update.
    m_v.m_pDoc->SetModifiedFlag();
    m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintLayout);
}

void ViewPages::OnShowPageBreaks() {
    if (!m_v.m_pDoc) return;
    if (!m_v.m_pDoc->ViewState().showPageBreaks)
        m_v.m_pDoc->SetShowPageBreaks(RecalcPageLayout().has_value());
    else
        m_v.m_pDoc->SetShowPageBreaks(false);
    m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
}

bool ViewPages::OnUpdateShowPageBreaks() const {
    return m_v.m_pDoc && m_v.m_pDoc->ViewState().showPageBreaks;
}

void ViewPages::OnClearAllPageBreaks() {
    if (m_v.m_pDoc) m_v.m_pDoc->ClearAllManualBreaks();
}

int ViewPages::IsPageBreakAtCurrentCell() {
    if (!m_v.m_pDoc) return 0;
    // Asked while a menu opens: answer from a copy, so that the question
    // never changes the document (stale entries go at the next layout).
    qor::ManualBreakTable table = m_v.m_pDoc->ViewState().manualBreaks;
    DropBreaksBeyond(table, m_v.m_geo.LastRow(), m_v.m_geo.LastColumn());
    const CellArea sel = m_v.CurrentSelection().area;
    return IsBreakBefore(table, sel.first.row, sel.first.col) ? 1 : 0;
}
