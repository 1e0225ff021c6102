#include "document/cqorsdoc.h"

#include <algorithm>

#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/inusemarker.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "platform/uiservices.h"

QString CustomKeywordName;

const char* const CQorsDoc::kNativeFormatName = "Native QOR Data";

namespace {

std::optional<QString> defaultFormatPasswordPrompt() {
    qor::TextPrompt p;
    p.caption = LoadErrorText(qor::str::kCheckFormatPasswordCaption);
    p.label = LoadErrorText(qor::str::kFormatPasswordPrompt);
    p.password = true;
    p.maxLength = 9;
    return qor::promptText(p);
}

CQorsDoc::FormatPasswordPrompt& passwordPromptSlot() {
    static CQorsDoc::FormatPasswordPrompt prompt = defaultFormatPasswordPrompt;
    return prompt;
}

}  // namespace

CQorsDoc::CQorsDoc(QObject* parent)
    : QObject(parent),
      m_items(std::make_unique<DocItems>(*this)),
      m_clipboard(std::make_unique<DocClipboard>(*this)),
      m_files(std::make_unique<DocFiles>(*this)) {
    resetFields();
}

// The items go after the report (their copies of opened objects too).
CQorsDoc::~CQorsDoc() { m_files->ReleaseReport(); }

void CQorsDoc::resetFields() {
    m_view.redrawSuspended = 0;
    m_bDataState = 0;
    m_view.curPage = m_view.shownPage = m_view.pageCount = 0;
    Selection() = qor::SheetSelection{};
    m_view.savedViewState = {};
    m_view.showPageBreaks = 0;
    m_view.manualBreaks.fill(PageBreakEntry{});
    m_view.autoBreaks.clear();
    m_view.autoBreakCapacity = 0;
    m_pageSetup = qor::PageSetupBlock{};
    m_items->ResetState();
}

// ---------------------------------------------------------------------------
// Modified flag and views

void CQorsDoc::SetModifiedFlag(bool modified) {
    const bool was = m_bModified;
    m_bModified = modified;
    if (modified) ++m_contentGeneration;
    // Whatever changed the report, also without a redraw, the mark shown is
    // the mark kept.
    if (was != modified) emit modifiedChanged(modified);
}

void CQorsDoc::UpdateAllViews(int hint) {
    // Whatever the views are told besides an item's own change may alter
    // what a chart shows; its picture is drawn again at the next paint.
    if (hint != kHintItems) ++m_contentGeneration;
    if (m_view.redrawSuspended) return;
    emit changed(hint);
}

void CQorsDoc::AddServerItem(qor::IDocServerItem* item) {
    if (item && std::find(m_serverItems.begin(), m_serverItems.end(), item) == m_serverItems.end())
        m_serverItems.push_back(item);
}

void CQorsDoc::RemoveServerItem(qor::IDocServerItem* item) {
    std::erase(m_serverItems, item);
}

void CQorsDoc::UpdateServerItems(const QObject* sender, int hint, bool force) {
    // A copy: an item may take itself off the list while it updates.
    const std::vector<qor::IDocServerItem*> items = m_serverItems;
    for (qor::IDocServerItem* item : items)
        if (static_cast<const void*>(item) != static_cast<const void*>(sender))
            item->OnDocumentUpdate(sender, hint, force);
}

// ---------------------------------------------------------------------------
// State

CQorsDoc::FormatPasswordPrompt CQorsDoc::SetFormatPasswordPrompt(FormatPasswordPrompt prompt) {
    FormatPasswordPrompt old = passwordPromptSlot();
    passwordPromptSlot() =
        prompt ? std::move(prompt) : FormatPasswordPrompt(defaultFormatPasswordPrompt);
    return old;
}

QString CQorsDoc::formulaSignature() const {
    QString out;
    if (!m_pReport) return out;
    for (const FormulaInfo& f : m_pReport->EnumFormulas(-1))
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7:%8\n")
                   .arg(f.kind)
                   .arg(f.row)
                   .arg(f.col)
                   .arg(f.area.first.row)
                   .arg(f.area.first.col)
                   .arg(f.area.last.row)
                   .arg(f.area.last.col)
                   .arg(f.text);
    return out;
}

bool CQorsDoc::EnterDataState() {
    if (!m_pReport) return false;
    const bool fromFormat = m_pReport->IsFormatState();
    if (fromFormat) {
        const uint16_t s = m_pReport->EnterDataState();
        if (s) {
            TraceMessage(LoadErrorText(qor::str::kEnterDataStateFailed) + StatusText(s));
            return false;
        }
    }
    m_bDataState = 1;
    if (m_pReport->GetPageCount() == 0) {
        if (m_pReport->AppendRowColPage(1, 2) == 0) SetModifiedFlag();
    }
    // A changed formula shows its new result, and so does every cell that
    // reads it, on every page: the values were computed by the old ones.
    if (fromFormat && formulaSignature() != m_formulasAtFormatEntry) {
        const uint16_t s = m_pReport->BringCurrent();
        // Without the formula evaluator installed the values stay.
        if (s > 1) TraceMessage(LoadErrorText(qor::str::kRecalcFailed) + StatusText(s));
        if (s == 0) SetModifiedFlag();
    }
    if (m_view.curPage < 1 || m_view.curPage > m_pReport->GetPageCount()) m_view.curPage = 1;
    ActivateCurrentPage();
    m_view.pageCount = m_pReport->GetPageCount();
    UpdateAllViews(kHintState);
    return true;
}

bool CQorsDoc::EnterFormatState(int) {
    if (!m_pReport) return false;
    if (m_pReport->IsFormatState()) {
        m_bDataState = 0;
        return true;
    }
    if (m_items->ChartWindow().windowOpen) {
        qor::messageBox(LoadErrorText(qor::str::kCloseChartsBeforeFormat), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        return false;
    }
    const QString password = m_pReport->GetFormatPassword();
    if (!password.isEmpty()) {
        const std::optional<QString> typed = passwordPromptSlot()();
        if (!typed) return false;
        if (typed->compare(password, Qt::CaseInsensitive) != 0) {
            qor::messageBox(LoadErrorText(qor::str::kFormatPasswordWrong), QString(), qor::MsgButtons::Ok,
                            qor::MsgIcon::Warning);
            return false;
        }
    }
    return SwitchToFormatState();
}

bool CQorsDoc::SwitchToFormatState() {
    if (!m_pReport) return false;
    if (!m_pReport->IsFormatState() && m_pReport->EnterFormatState() != 0) return false;
    m_bDataState = 0;
    m_formulasAtFormatEntry = formulaSignature();
    UpdateAllViews(kHintState);
    return true;
}

void CQorsDoc::ActivateCurrentPage() {
    if (!m_pReport || m_pReport->IsFormatState() || m_pReport->GetPageCount() == 0) return;
    const int page = std::max(1, int(m_view.curPage));
    if (m_pReport->SetCurPage(page) == 0) m_view.curPage = m_view.shownPage = m_pReport->GetCurPage();
}

void CQorsDoc::SyncPagesFromReport() {
    if (!m_pReport) return;
    m_view.pageCount = m_pReport->GetPageCount();
    if (m_pReport->GetCurPage() > 0) m_view.curPage = m_view.shownPage = m_pReport->GetCurPage();
    if (m_view.curPage > m_view.pageCount) m_view.curPage = m_view.shownPage = m_view.pageCount;
}

bool CQorsDoc::SetCurrentPage(int page) {
    if (!m_pReport || m_pReport->IsFormatState()) return false;
    if (page < 1 || page > m_pReport->GetPageCount()) return false;
    if (m_pReport->SetCurPage(page) != 0) return false;
    m_view.curPage = m_view.shownPage = page;
    UpdateAllViews(kHintState);
    return true;
}

// ---------------------------------------------------------------------------
// Selection

void CQorsDoc::LendSelection(qor::SheetSelection* shared) {
    qor::SheetSelection* next = shared ? shared : &m_ownSelection;
    if (next == m_selection) return;
    // The selection goes on where it was: into the lent one as the first
    // view opens, back into the document's own as the last one closes.
    *next = *m_selection;
    m_selection = next;
}
