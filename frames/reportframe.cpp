#include "frames/reportframe.h"

#include <QWidget>

#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "view/cpagectrl.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"

namespace qor::frames {

void CReportFrame::SetPageTabs(int count, int current, int mode) {
    // A report without pages still shows one tab.
    CQorsDoc* doc = FrameDocument();
    const CReportHandle* report = doc->GetReport();
    if (count <= 0) count = report ? report->GetPageCount() : doc->ViewState().pageCount;
    if (current <= 0) current = doc->ViewState().curPage;
    m_nPageCount = std::max(1, count);
    m_nCurPage = std::max(1, current);
    m_nCurPageDrawn = m_nCurPage;
    m_nMode = mode;
    if (CPageCtrl* tabs = FrameTabs()) {
        if ((mode != 0) != tabs->IsTabAreaShown()) {
            if (mode)
                tabs->RestoreTabArea();
            else
                tabs->CollapseTabArea();
        }
        tabs->SetPageTabs(m_nPageCount, m_nCurPage);
        tabs->repaint();
    }
    if (CQorsView* view = FrameActiveView()) view->CellEdit().ShowCellReference(1);
}

void CReportFrame::publishPages() { SetPageTabs(0, 0, FrameDocument()->IsDataState() ? 1 : 0); }

bool CReportFrame::CommitPendingEntry(bool stay) {
    CQorsView* view = FrameActiveView();
    if (!view) return true;
    CFormulaBar* bar = FrameFormulaBar();
    CCellEdit* editor = view->CellEdit().CellEditor();
    QWidget* own = FrameWidget();
    const bool barPending =
        bar && bar->View() && own && own->isAncestorOf(bar->View()) && bar->m_nMode != -1;
    const bool editorPending = editor && editor->isVisible() && editor->m_nMode != -1;
    if (barPending) {
        // A text refused before is told again: what stops here must say why.
        if (stay) bar->m_strRefused = QString();
        // Stored where it was typed; the focus stays where the clerk is
        // going (another report, a page, a dialog) unless it is to stay.
        if (bar->Commit(false) == CCellEdit::CommitResult::Refused) {
            if (stay) bar->setFocus(Qt::OtherFocusReason);
            return false;
        }
    } else if (editorPending) {
        if (stay) editor->m_strRefused = QString();
        if (!view->CellEdit().CommitPendingEdit()) return false;  // open and focused
    }
    if (editor) {
        editor->m_nMode = -1;
        editor->clear();
        editor->hide();
    }
    return true;
}

bool CReportFrame::StoreEntryBeforeCommand(int id) {
    if (id == qor::cmd_ids::kCmdInputConfirm || id == qor::cmd_ids::kCmdInputCancel) return true;
    return CommitPendingEntry(true);
}

void CReportFrame::refreshAfterStateChange() {
    publishPages();
    for (CQorsView* v : FrameViews()) {
        v->Scroll().UpdateScrollRanges();
        v->Pages().RecalcPageLayout();
    }
    if (CQorsView* view = FrameActiveView()) {
        view->CellEdit().ShowCellReference(1);
        view->CellEdit().UpdateEditLine(1);
    }
    CQorsDoc* doc = FrameDocument();
    doc->UpdateAllViews(CQorsDoc::kHintState);
    doc->UpdateServerItems();
}

bool CReportFrame::EnterDataState() {
    CommitPendingEntry();
    if (CQorsView* view = FrameActiveView()) view->setFocus(Qt::OtherFocusReason);
    if (!FrameDocument()->EnterDataState()) {
        publishPages();  // a refusal changes nothing
        return false;
    }
    refreshAfterStateChange();
    FrameShowFormatBar(true);
    return true;
}

bool CReportFrame::EnterFormatState() {
    CommitPendingEntry();
    if (CQorsView* view = FrameActiveView()) view->setFocus(Qt::OtherFocusReason);
    CQorsDoc* doc = FrameDocument();
    doc->EnterFormatState();
    if (doc->IsDataState()) {
        publishPages();
        return false;
    }
    refreshAfterStateChange();
    FrameShowFormatBar(false);
    return true;
}

void CReportFrame::EnterDataStateUnchecked() {
    // The page chosen on the strip.
    CPageCtrl* tabs = FrameTabs();
    const int page = tabs ? tabs->CurrentPage() : FrameDocument()->ViewState().curPage;
    CommitPendingEntry();
    if (!FrameDocument()->SetCurrentPage(page)) {
        publishPages();  // a page the document refuses must not stay shown
        return;
    }
    if (CQorsView* view = FrameActiveView()) view->setFocus(Qt::OtherFocusReason);
    refreshAfterStateChange();
}

const qor::CommandTable<CReportFrame>& CReportFrame::stateTable() {
    static const qor::CommandTable<CReportFrame> table = [] {
        using Row = qor::CommandRow<CReportFrame>;
        const Row::Rule open = [](CReportFrame& f, int, qor::CommandState&) {
            return f.FrameDocument()->IsOpen() ? QString() : qor::doccmd::ReasonNoReport();
        };
        return qor::CommandTable<CReportFrame>(
            {
                {kCmdSwitchState, open,
                 [](CReportFrame& f, int) {
                     if (f.FrameDocument()->IsDataState())
                         f.EnterFormatState();
                     else
                         f.EnterDataState();
                 },
                 nullptr},
                {kCmdEnterData, open, [](CReportFrame& f, int) { f.EnterDataState(); }, nullptr},
                {kCmdEnterFormat, open, [](CReportFrame& f, int) { f.EnterFormatState(); },
                 nullptr},
                {kCmdPageActivate, open, [](CReportFrame& f, int) { f.EnterDataStateUnchecked(); },
                 nullptr},
            },
            qor::doccmd::ReasonNotBuilt());
    }();
    return table;
}

const qor::CommandIdSet& CReportFrame::StateCommands() { return stateTable().Ids(); }

bool CReportFrame::UpdateStateCommand(int id, qor::CommandState& s) const {
    // The rules only read the frame.
    return stateTable().Update(const_cast<CReportFrame&>(*this), id, s);
}

bool CReportFrame::RunStateCommand(int id) { return stateTable().Run(*this, id); }

}  // namespace qor::frames
