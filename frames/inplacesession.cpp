#include "frames/inplacesession.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "charts/ccomitem.h"
#include "document/cqorsdoc.h"
#include "document/embeddededit.h"
#include "engine/messages.h"
#include "frames/cmainframe.h"
#include "platform/uiservices.h"
#include "view/cqorsview.h"

namespace qor::frames {

namespace {

CInPlaceSession* s_session = nullptr;

void tell(const QString& text) {
    messageBox(text, LoadErrorText(str::kAppTitle), MsgButtons::Ok, MsgIcon::Warning);
}

}  // namespace

void CInPlaceSession::Install() {
    CQorsView::InPlaceHooks hooks;
    hooks.activate = [](CQorsView& container, CComItem* item) { return Activate(container, item); };
    hooks.deactivate = [](CQorsView& container) {
        // Any view of the containing report ends the editing in it.
        CInPlaceSession* s = Current();
        if (!s || !s->m_view || s->m_view->GetDocument() != container.GetDocument()) return false;
        s->Deactivate();
        return true;
    };
    InPlaceController::SetHooks(std::move(hooks));
}

CInPlaceSession* CInPlaceSession::Current() { return s_session; }

bool CInPlaceSession::Activate(CQorsView& container, CComItem* item) {
    CQorsDoc* doc = container.GetDocument();
    if (!doc || !item) return false;
    if (CInPlaceSession* s = Current()) {
        if (s->m_view == &container && s->Item() == item) {
            if (s->m_frame) s->m_frame->GetActiveView()->setFocus(Qt::OtherFocusReason);
            return true;
        }
        // One object at a time: the one edited before goes back first.
        s->Deactivate();
    }
    QString error;
    std::unique_ptr<EmbeddedReportEdit> edit = EmbeddedReportEdit::Open(*doc, item, &error);
    if (!edit) {
        tell(error);
        return false;
    }
    container.Items().SetSelection(item);
    s_session = new CInPlaceSession(container, std::move(edit));
    return true;
}

bool CInPlaceSession::DeactivateWithin(const QWidget* ancestor) {
    CInPlaceSession* s = Current();
    if (!s || !s->m_view || !ancestor) return false;
    if (ancestor != s->m_view && !ancestor->isAncestorOf(s->m_view)) return false;
    s->Deactivate();
    return true;
}

CInPlaceSession::CInPlaceSession(CQorsView& container, std::unique_ptr<EmbeddedReportEdit> edit)
    : QObject(&container), m_view(&container), m_edit(std::move(edit)) {
    m_main = qobject_cast<CMainFrame*>(container.window());
    // The object stays where it is on the sheet while it is edited.
    container.InPlace().SetSheetScrolling(false);
    container.installEventFilter(this);
    m_frame = new COleInPlaceFrame(m_edit->TakeDocument(), this, itemPlace());
    if (m_main) m_main->SetInPlaceFrame(m_frame);
    // Another report's window coming to the front ends the editing.
    for (QWidget* w = container.parentWidget(); w; w = w->parentWidget()) {
        auto* sub = qobject_cast<QMdiSubWindow*>(w);
        if (!sub || !sub->mdiArea()) continue;
        connect(sub->mdiArea(), &QMdiArea::subWindowActivated, this, [this, sub](QMdiSubWindow* now) {
            if (now && now != sub) Deactivate();
        });
        break;
    }
    container.GetDocument()->UpdateAllViews(CQorsDoc::kHintItems);
    m_frame->GetActiveView()->setFocus(Qt::OtherFocusReason);
}

CInPlaceSession::~CInPlaceSession() {
    if (s_session == this) s_session = nullptr;
}

CComItem* CInPlaceSession::Item() const { return m_edit ? m_edit->Item() : nullptr; }

QRect CInPlaceSession::itemPlace() const {
    qor::view::Rect r = Item()->GetRect();
    m_view->Geometry().DocToClient(r);
    return QRect(r.left, r.top, std::max(1, r.width()), std::max(1, r.height()));
}

bool CInPlaceSession::StoreNow() {
    if (!m_frame || !m_edit) return false;
    if (!m_frame->CommitPendingEntry(true)) return false;
    QString error;
    if (!m_edit->StoreBack(*m_frame->GetDocument(), &error)) {
        tell(error);
        return false;
    }
    return true;
}

void CInPlaceSession::Deactivate() {
    if (m_ending) return;
    m_ending = true;
    if (s_session == this) s_session = nullptr;
    // The frame stores a pending entry and hands the edited report back
    // (StoreItem) before anything goes.
    if (m_frame) m_frame->Deactivate();
    if (m_main) m_main->SetInPlaceFrame(nullptr);
    if (m_frame) {
        // This may run from the frame's own key handling: it goes once
        // that has returned.
        if (COleTrackBar* bar = m_frame->TrackBar()) bar->hide();
        m_frame->hide();
        m_frame->deleteLater();
    }
    m_edit.reset();
    if (m_view) {
        m_view->removeEventFilter(this);
        m_view->InPlace().SetSheetScrolling(true);
        m_view->GetDocument()->UpdateAllViews(CQorsDoc::kHintItems);
    }
    deleteLater();
}

QWidget* CInPlaceSession::ContainerWindow() const { return m_view; }

QMainWindow* CInPlaceSession::ContainerFrame() const { return m_main; }

CommandRouter* CInPlaceSession::ContainerRouter() const {
    return m_main ? &m_main->Router() : nullptr;
}

bool CInPlaceSession::RequestPositionChange(const QRect& rect) {
    CComItem* item = Item();
    // The object may have gone from the report meanwhile (a script).
    if (!m_view || !item || !m_view->GetDocument()->Items().FindComItem(item) || rect.width() < 1 ||
        rect.height() < 1)
        return false;
    qor::view::Rect r{rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
    m_view->Geometry().ClientToDoc(r);
    if (r == item->GetRect()) return true;
    item->SetRect(r);
    CQorsDoc* doc = m_view->GetDocument();
    doc->SetModifiedFlag();
    doc->UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

void CInPlaceSession::StoreItem(CQorsDoc& doc) {
    QString error;
    if (m_edit && !m_edit->StoreBack(doc, &error)) tell(error);
}

void CInPlaceSession::SetChartMenu(bool) {
    // The frame has switched its menus; the shared menu bar follows.
    if (m_main && m_frame && !m_ending) m_main->SetInPlaceFrame(m_frame);
}

void CInPlaceSession::CloseRequested() {
    QPointer<CQorsView> view = m_view;
    Deactivate();
    if (view) view->setFocus(Qt::OtherFocusReason);
}

bool CInPlaceSession::eventFilter(QObject* watched, QEvent* event) {
    // The sheet under the object does not scroll away from it.
    if (watched == m_view && event->type() == QEvent::Wheel) return true;
    return QObject::eventFilter(watched, event);
}

}  // namespace qor::frames
