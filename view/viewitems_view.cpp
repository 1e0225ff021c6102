// The sheet view's side of the page items: the mouse press on an item, the
// selection shared by the views of a document and the object commands. The
// rules themselves are in viewitems_logic.
#include <QApplication>
#include <QDateTime>
#include <QWidget>
#include <cstdlib>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/ctracker.h"
#include "view/displaystyle.h"
#include "view/viewitems.h"
#include "print/viewitems_logic.h"

namespace {

using qor::items::Rect;

// The view as the items see it while they set up a tracker or hit-test.
class ViewForItems final : public qor::items::IItemView {
public:
    explicit ViewForItems(CQorsView& v) : m_v(v) {}
    Rect DocToClient(const Rect& r) const override {
        Rect out = r;
        m_v.Geometry().DocToClient(out);
        return out;
    }
    const CComItem* SelectedItem() const override { return m_v.Items().Selected(); }
    bool IsChartEditing() const override { return m_v.Items().IsChartEditing(); }

private:
    CQorsView& m_v;
};

template <typename F>
void forOtherViews(const CQorsView* self, const CQorsDoc* doc, F f) {
    for (QWidget* w : QApplication::allWidgets()) {
        auto* other = qobject_cast<CQorsView*>(w);
        if (other && other != self && other->GetDocument() == doc) f(other);
    }
}

}  // namespace

ViewItems::ViewItems(CQorsView& view)
    : m_v(view), m_dwLastDragTick(QDateTime::currentMSecsSinceEpoch()) {}

ViewItems::~ViewItems() = default;

CComItem* ViewItems::HitTestItems(QPoint client) const {
    if (!m_v.m_pDoc) return nullptr;
    const ViewForItems view(m_v);
    return qor::view::HitTestItems(*m_v.m_pDoc, client,
                                   QSize(m_v.m_nHeaderWidth, m_v.m_nHeaderHeight),
                                   qor::view::CurrentItemPage(*m_v.m_pDoc), &view);
}

void ViewItems::SetSelection(CComItem* item) {
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
    m_v.update();
}

bool ViewItems::BeginChartEdit(CComItem* item) {
    auto* chart = dynamic_cast<CGraphItem*>(item);
    if (!m_v.m_pDoc || !chart || !m_v.m_pDoc->IsOpen()) return false;
    if (m_bChartEditing && m_pSelection == chart && m_pPicWnd) return true;
    SetSelection(chart);
    m_v.m_pDoc->Items().SetCurrentChart(chart);
    // A chart larger than the window is edited in the chart frame, where it
    // can be scrolled; the chart is handed over as itself.
    {
        Rect client = chart->GetRect();
        m_v.m_geo.DocToClient(client);
        if ((std::abs(client.width()) > m_v.width() || std::abs(client.height()) > m_v.height()) &&
            qor::view::ChartUi()->OpenChartFrame(m_v.m_pDoc))
            return true;
    }
    if (!m_pPicWnd) {
        m_pPicWnd = qor::view::ChartUi()->CreateChartWindow(m_v.m_pDoc, &m_v);
        if (!m_pPicWnd) return false;
        m_pPicWnd->onEndEdit = [this] { EndChartEdit(); };
        m_pPicWnd->onContextMenu = [this](QPoint global) {
            emit m_v.contextMenuRequested(CQorsView::kMenuChart, global);
        };
    }
    Rect r = chart->GetRect();
    m_v.m_geo.DocToClient(r);
    QWidget* w = m_pPicWnd->Widget();
    w->setGeometry(QRect(r.left, r.top, r.width(), r.height()).normalized());
    w->show();
    w->raise();
    w->setFocus();
    m_bChartEditing = 1;
    m_v.m_scroll.SetSheetScrolling(false);
    m_v.update();
    return true;
}

void ViewItems::EndChartEdit() {
    if (!m_bChartEditing && !m_pPicWnd) return;
    m_bChartEditing = 0;
    m_v.m_scroll.SetSheetScrolling(true);
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
        if (m_v.m_pDoc) m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintItems);
    }
    m_v.setFocus();
    m_v.update();
}

bool ViewItems::PressItem(QPoint client, bool right) {
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) return false;
    CComItem* item = HitTestItems(client);
    SetSelection(item);
    bool otherEditing = false;
    forOtherViews(&m_v, m_v.m_pDoc, [&](CQorsView* v) {
        v->Items().SetSelection(item);
        if (v->Items().IsChartEditing()) otherEditing = true;
    });
    if (!item) return false;
    if (otherEditing || right) return true;
    // A format item belongs to the format: it stays put while a page shows.
    if (item->GetPage() == 0 && qor::view::CurrentItemPage(*m_v.m_pDoc) != 0) return true;
    const ViewForItems view(m_v);
    qor::items::ItemTracker setup;
    item->SetupTracker(&setup, &view, nullptr);
    CRectTrackerEx tracker(setup, &m_v);
    const int hit = tracker.HitTest(client);
    if (hit < 0) return true;
    // The middle of an item drags it out as data (to another window or a
    // new place here); the handles and the frame size and move it.
    if (hit == CRectTrackerEx::hitMiddle && StartItemDrag(item, client)) return true;
    if (!tracker.Track(&m_v, client, false)) return true;
    Rect r = tracker.m_rect;
    m_v.m_geo.ClientToDoc(r);
    qor::view::ApplyItemRect(*m_v.m_pDoc, *item, r);
    m_v.update();
    return true;
}

bool ViewItems::SetItemCursor(QPoint client) {
    if (!m_v.m_pDoc || !m_pSelection || client.x() <= m_v.m_nHeaderWidth ||
        client.y() <= m_v.m_nHeaderHeight)
        return false;
    const ViewForItems view(m_v);
    qor::items::ItemTracker setup;
    m_pSelection->SetupTracker(&setup, &view, nullptr);
    return CRectTrackerEx(setup, &m_v).SetCursor(&m_v, client);
}

void ViewItems::OnBringToFront() {
    if (m_v.m_pDoc && qor::view::BringToFront(*m_v.m_pDoc, m_pSelection)) m_v.update();
}

void ViewItems::OnSendToBack() {
    if (m_v.m_pDoc && qor::view::SendToBack(*m_v.m_pDoc, m_pSelection)) m_v.update();
}

void ViewItems::DeleteSelectedItem() {
    if (!m_v.m_pDoc || !m_pSelection || !qor::view::IsItemEditable(*m_v.m_pDoc, *m_pSelection))
        return;
    CComItem* gone = m_pSelection;
    forOtherViews(&m_v, m_v.m_pDoc, [&](CQorsView* v) {
        if (v->Items().Selected() == gone) v->Items().AssignSelected(nullptr);
    });
    qor::view::DeleteItem(*m_v.m_pDoc, gone, &m_pSelection);
    m_v.update();
}

void ViewItems::OnRButtonUp(QPoint client) {
    if (!m_v.m_pDoc) return;
    bool otherEditing = false;
    forOtherViews(&m_v, m_v.m_pDoc,
                  [&](CQorsView* v) { otherEditing |= v->Items().IsChartEditing(); });
    if (otherEditing) return;
    CComItem* item = HitTestItems(client);
    if (item != m_pSelection) {
        SetSelection(item);
        forOtherViews(&m_v, m_v.m_pDoc, [&](CQorsView* v) { v->Items().SetSelection(item); });
    }
    emit m_v.contextMenuRequested(m_pSelection ? CQorsView::kMenuItem : CQorsView::kMenuCells,
                                  m_v.mapToGlobal(client));
}

void ViewItems::ClampItemsToSheet() {
    CQorsDoc* doc = m_v.m_pDoc;
    if (doc) qor::view::ClampDocumentItems(*doc, doc->ViewState().sheetWidth, doc->ViewState().sheetHeight);
}
