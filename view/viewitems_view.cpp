// The sheet view's side of the page items: the mouse press on an item, the
// selection shared by the views of a document and the object commands. The
// rules themselves are in viewitems_logic.
#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/ctracker.h"
#include "view/viewitems_logic.h"

namespace {

using qor::items::Rect;

// The view as the items see it while they set up a tracker or hit-test.
class ViewForItems final : public qor::items::IItemView {
public:
    explicit ViewForItems(const CQorsView& v) : m_v(v) {}
    Rect DocToClient(const Rect& r) const override {
        Rect out = r;
        m_v.DocToClient(out);
        return out;
    }
    const CComItem* SelectedItem() const override { return m_v.m_pSelection; }
    bool IsChartEditing() const override { return m_v.m_bChartEditing != 0; }

private:
    const CQorsView& m_v;
};

template <typename F>
void forOtherViews(const CQorsView* self, const CQorsDoc* doc, F f) {
    for (QWidget* w : QApplication::allWidgets()) {
        auto* other = qobject_cast<CQorsView*>(w);
        if (other && other != self && other->GetDocument() == doc) f(other);
    }
}

}  // namespace

CComItem* CQorsView::HitTestItems(QPoint client) const {
    if (!m_pDoc) return nullptr;
    const ViewForItems view(*this);
    return qor::view::HitTestItems(*m_pDoc, client, QSize(m_nHeaderWidth, m_nHeaderHeight),
                                   qor::view::CurrentItemPage(*m_pDoc), &view);
}

void CQorsView::SetSelection(CComItem* item) {
    bool editing = m_bChartEditing != 0;
    const bool wasEditing = editing;
    CComItem* edited = m_pSelection;
    if (!qor::view::SelectItem(m_pSelection, item, &editing)) return;
    if (wasEditing && !editing) {
        // Another selection ends the editing: the chart keeps what was done.
        CComItem* next = m_pSelection;
        m_pSelection = edited;
        EndChartEdit();
        m_pSelection = next;
    }
    m_bChartEditing = editing ? 1 : 0;
    update();
}

bool CQorsView::BeginChartEdit(CComItem* item) {
    auto* chart = dynamic_cast<CGraphItem*>(item);
    if (!m_pDoc || !chart || !m_pDoc->IsOpen()) return false;
    if (m_bChartEditing && m_pSelection == chart && m_pPicWnd) return true;
    SetSelection(chart);
    m_pDoc->Items().SetCurrentChart(chart);
    // A chart larger than the window is edited in the chart frame, where it
    // can be scrolled; the chart is handed over as itself.
    {
        Rect client = chart->GetRect();
        DocToClient(client);
        if ((std::abs(client.width()) > width() || std::abs(client.height()) > height()) &&
            qor::view::ChartUi()->OpenChartFrame(m_pDoc))
            return true;
    }
    if (!m_pPicWnd) {
        m_pPicWnd = qor::view::ChartUi()->CreateChartWindow(m_pDoc, this);
        if (!m_pPicWnd) return false;
        m_pPicWnd->onEndEdit = [this] { EndChartEdit(); };
        m_pPicWnd->onContextMenu = [this](QPoint global) {
            emit contextMenuRequested(kMenuChart, global);
        };
    }
    Rect r = chart->GetRect();
    DocToClient(r);
    QWidget* w = m_pPicWnd->Widget();
    w->setGeometry(QRect(r.left, r.top, r.width(), r.height()).normalized());
    w->show();
    w->raise();
    w->setFocus();
    m_bChartEditing = 1;
    setSheetScrolling(false);
    update();
    return true;
}

void CQorsView::EndChartEdit() {
    if (!m_bChartEditing && !m_pPicWnd) return;
    m_bChartEditing = 0;
    setSheetScrolling(true);
    // Deleted later: this may run from one of the window's own handlers.
    if (m_pPicWnd) {
        QWidget* w = m_pPicWnd->Widget();
        w->hide();
        // The window is its widget: deleting the widget deletes it.
        (void)m_pPicWnd.release();
        w->deleteLater();
    }
    if (auto* chart = dynamic_cast<CGraphItem*>(m_pSelection)) {
        chart->MarkPictureStale();
        if (m_pDoc) m_pDoc->UpdateAllViews(CQorsDoc::kHintItems);
    }
    setFocus();
    update();
}

void CQorsView::setSheetScrolling(bool on) {
    for (QScrollBar* bar : {m_hBar.data(), m_vBar.data()})
        if (bar) bar->setEnabled(on);
}

bool CQorsView::PressItem(QPoint client, bool right) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return false;
    CComItem* item = HitTestItems(client);
    SetSelection(item);
    bool otherEditing = false;
    forOtherViews(this, m_pDoc, [&](CQorsView* v) {
        v->SetSelection(item);
        if (v->m_bChartEditing) otherEditing = true;
    });
    if (!item) return false;
    if (otherEditing || right) return true;
    // A format item belongs to the format: it stays put while a page shows.
    if (item->GetPage() == 0 && qor::view::CurrentItemPage(*m_pDoc) != 0) return true;
    const ViewForItems view(*this);
    qor::items::ItemTracker setup;
    item->SetupTracker(&setup, &view, nullptr);
    CRectTrackerEx tracker(setup, this);
    const int hit = tracker.HitTest(client);
    if (hit < 0) return true;
    // The middle of an item drags it out as data (to another window or a
    // new place here); the handles and the frame size and move it.
    if (hit == CRectTrackerEx::hitMiddle && StartItemDrag(item, client)) return true;
    if (!tracker.Track(this, client, false)) return true;
    Rect r = tracker.m_rect;
    ClientToDoc(r);
    qor::view::ApplyItemRect(*m_pDoc, *item, r);
    update();
    return true;
}

bool CQorsView::SetItemCursor(QPoint client) {
    if (!m_pDoc || !m_pSelection || client.x() <= m_nHeaderWidth || client.y() <= m_nHeaderHeight)
        return false;
    const ViewForItems view(*this);
    qor::items::ItemTracker setup;
    m_pSelection->SetupTracker(&setup, &view, nullptr);
    return CRectTrackerEx(setup, this).SetCursor(this, client);
}

void CQorsView::OnBringToFront() {
    if (m_pDoc && qor::view::BringToFront(*m_pDoc, m_pSelection)) update();
}

void CQorsView::OnSendToBack() {
    if (m_pDoc && qor::view::SendToBack(*m_pDoc, m_pSelection)) update();
}

void CQorsView::DeleteSelectedItem() {
    if (!m_pDoc || !m_pSelection || !qor::view::IsItemEditable(*m_pDoc, *m_pSelection)) return;
    CComItem* gone = m_pSelection;
    forOtherViews(this, m_pDoc, [&](CQorsView* v) {
        if (v->m_pSelection == gone) v->m_pSelection = nullptr;
    });
    qor::view::DeleteItem(*m_pDoc, gone, &m_pSelection);
    update();
}

void CQorsView::OnRButtonUp(QPoint client) {
    if (!m_pDoc) return;
    bool otherEditing = false;
    forOtherViews(this, m_pDoc, [&](CQorsView* v) { otherEditing |= v->m_bChartEditing != 0; });
    if (otherEditing) return;
    CComItem* item = HitTestItems(client);
    if (item != m_pSelection) {
        SetSelection(item);
        forOtherViews(this, m_pDoc, [&](CQorsView* v) { v->SetSelection(item); });
    }
    emit contextMenuRequested(m_pSelection ? kMenuItem : kMenuCells, mapToGlobal(client));
}
