// Items dragged out of the sheet and data dropped onto it: the drag of a
// selected item from the middle of its frame, the drop target's frame and
// auto-scroll, and the drop itself through the paste rules.
#include <QDateTime>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>

#include "charts/ccomitem.h"
#include "charts/itemformats.h"
#include "document/cqorsdoc.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsview.h"
#include "view/serveritems.h"
#include "view/viewitems.h"
#include "print/viewitems_logic.h"

using qor::items::Rect;

namespace {

constexpr int kScrollBand = 20;
constexpr qint64 kScrollIntervalMs = 100;

ViewItems::DragRunner& dragRunner() {
    static ViewItems::DragRunner runner;
    return runner;
}

int runDrag(QDrag& drag, CQorsView& source) {
    if (dragRunner()) return dragRunner()(drag, source);
    // Without a windowing system nothing would ever drop.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return -1;
    return int(drag.exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction));
}

// A move is offered only for our own items: the sender of a file or a
// picture must never take a move as licence to delete its original.
int effectForData(int effect, const QMimeData* data) {
    const bool item = data && (data->hasFormat(QString::fromLatin1(qor::items::kGraphFormatName)) ||
                               data->hasFormat(QString::fromLatin1(qor::items::kOleFormatName)));
    if (!item && (effect & qor::view::kDropMove))
        effect = (effect & ~qor::view::kDropMove) | qor::view::kDropCopy;
    return effect;
}

Qt::DropAction actionFor(int effect) {
    if (effect & qor::view::kDropMove) return Qt::MoveAction;
    if (effect & qor::view::kDropCopy) return Qt::CopyAction;
    if (effect & qor::view::kDropLink) return Qt::LinkAction;
    return Qt::IgnoreAction;
}

}  // namespace

QImage ViewItems::DrawCellRange(int left, int top, int right, int bottom) const {
    return m_v.m_pDoc
               ? qor::view::RenderCellRange(*m_v.m_pDoc, left, top, right, bottom, m_v.m_fScale)
               : QImage();
}

ViewItems::DragRunner ViewItems::SetDragRunner(DragRunner runner) {
    DragRunner old = std::move(dragRunner());
    dragRunner() = std::move(runner);
    return old;
}

bool ViewItems::StartItemDrag(CComItem* item, QPoint client) {
    if (!m_v.m_pDoc || !item) return false;
    std::unique_ptr<QMimeData> data(item->CreateClipboardData());
    if (!data) return false;
    Rect r = item->GetRect();
    m_v.m_geo.DocToClient(r);
    const QPoint offset = client - QPoint(std::min(r.left, r.right), std::min(r.top, r.bottom));
    const QSize size(std::abs(r.width()), std::abs(r.height()));
    // The target learns the size and where the item was grabbed.
    data->setData(QString::fromLatin1(qor::items::kObjectDescriptorMime),
                  qor::items::ObjectDescriptor(qor::items::PixelsToHimetric(size), [&] {
                      const QSize o = qor::items::PixelsToHimetric(QSize(offset.x(), offset.y()));
                      return QPoint(o.width(), o.height());
                  }()));
    QDrag drag(&m_v);
    drag.setMimeData(data.release());
    drag.setHotSpot(offset);
    m_bDraggingOut = true;
    m_bDroppedHere = false;
    const int result = runDrag(drag, m_v);
    const bool droppedHere = m_bDroppedHere;
    m_bDraggingOut = false;
    m_bDroppedHere = false;
    if (result < 0) return false;
    if (droppedHere) {
        m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintItems);
        m_v.m_pDoc->UpdateServerItems();
    } else if (result == Qt::MoveAction && m_v.m_pDoc->Items().GetComItemShared(item)) {
        // Moved into another window: it lives there now.
        for (CQorsView* v : SheetViewsOf(m_v.m_pDoc))
            if (v->Items().Selected() == item) v->Items().SetSelection(nullptr);
        qor::view::DeleteItem(*m_v.m_pDoc, item, &m_pSelection);
    }
    m_v.update();
    return true;
}

int ViewItems::DropEffectAt(QPoint client, bool ctrl, QPoint* sheetCorner) const {
    if (!m_v.m_pDoc) return qor::view::kDropNone;
    QPoint doc = client;
    m_v.m_geo.ClientToDocPoint(doc);
    const QPoint corner = qor::view::DropPoint(
        doc, m_dropOffset, QSize(m_v.m_pDoc->ViewState().sheetWidth, m_v.m_pDoc->ViewState().sheetHeight));
    if (sheetCorner) *sheetCorner = corner;
    const bool inside = client.x() >= m_v.m_nHeaderWidth && client.y() >= m_v.m_nHeaderHeight &&
                        client.x() < m_v.width() && client.y() < m_v.height();
    return qor::view::DropEffectFor(inside, ctrl);
}

bool ViewItems::AutoScrollForDrop(QPoint client, qint64 nowMs) {
    if (nowMs - m_dwLastDragTick < kScrollIntervalMs) return false;
    int row = m_v.m_nFirstRow, col = m_v.m_nFirstCol;
    if (client.x() < m_v.m_nHeaderWidth)
        col = m_v.m_geo.StepColumn(col, true);
    else if (client.x() >= m_v.width() - kScrollBand)
        col = m_v.m_geo.StepColumn(col, false);
    if (client.y() < m_v.m_nHeaderHeight)
        row = m_v.m_geo.StepRow(row, true);
    else if (client.y() >= m_v.height() - kScrollBand)
        row = m_v.m_geo.StepRow(row, false);
    if (row < 0) row = m_v.m_nFirstRow;
    if (col < 0) col = m_v.m_nFirstCol;
    if (row == m_v.m_nFirstRow && col == m_v.m_nFirstCol) return false;
    m_dwLastDragTick = nowMs;
    m_v.Scroll().SetFirstCell(row, col);
    m_v.update();
    return true;
}

bool ViewItems::DropData(const QMimeData* data, QPoint client, int effect) {
    if (!m_v.m_pDoc || !data || effect == qor::view::kDropNone) return false;
    QPoint corner;
    DropEffectAt(client, false, &corner);
    if (m_bDraggingOut && m_pSelection) {
        // Dropped where it came from: the item moves itself, and the drop
        // fails so that the source does not take it away.
        m_bDroppedHere = true;
        if (m_pSelection->GetRect().left != corner.x() || m_pSelection->GetRect().top != corner.y())
            qor::view::MoveItemTo(*m_v.m_pDoc, *m_pSelection, corner);
        return false;
    }
    qor::clip::ClipContext ctx = qor::clip::ViewClipContext(m_v);
    ctx.selection = nullptr;
    bool done = false;
    if (effect & qor::view::kDropLink)
        done = qor::clip::DoPasteItem(ctx, true, data, &corner, true) == 0;
    if (!done) done = qor::clip::DoPasteItem(ctx, false, data, &corner, true) == 0;
    if (done) ClampItemsToSheet();
    m_v.update();
    return done;
}

void ViewItems::DragEnter(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen() || !data ||
        (qor::clip::PasteKindOf(data, false) == qor::clip::PasteKind::None &&
         qor::clip::PasteKindOf(data, true) == qor::clip::PasteKind::None)) {
        event->ignore();
        return;
    }
    QSize size, offset;
    QPoint off;
    if (qor::items::ReadObjectDescriptor(
            data->data(QString::fromLatin1(qor::items::kObjectDescriptorMime)), &size, &off)) {
        m_dropSize = qor::items::HimetricToPixels(size);
        offset = qor::items::HimetricToPixels(QSize(off.x(), off.y()));
        m_dropOffset = QPoint(offset.width(), offset.height());
    } else {
        m_dropSize = QSize();
        m_dropOffset = QPoint();
    }
    event->acceptProposedAction();
    DragMove(event);
}

void ViewItems::DragMove(QDragMoveEvent* event) {
    const QPoint client = event->position().toPoint();
    AutoScrollForDrop(client, QDateTime::currentMSecsSinceEpoch());
    QPoint corner;
    const int effect = effectForData(
        DropEffectAt(client, event->modifiers() & Qt::ControlModifier, &corner), event->mimeData());
    const std::optional<QRect> before = m_dropRect;
    m_dropRect.reset();
    if (effect != qor::view::kDropNone && m_dropSize.isValid() && !m_dropSize.isEmpty()) {
        Rect r{corner.x(), corner.y(), corner.x() + m_dropSize.width(),
               corner.y() + m_dropSize.height()};
        m_v.m_geo.DocToClient(r);
        m_dropRect = QRect(r.left, r.top, r.width(), r.height());
    }
    if (before != m_dropRect) m_v.update();
    if (effect == qor::view::kDropNone) {
        event->ignore();
        return;
    }
    event->setDropAction(actionFor(effect));
    event->accept();
}

void ViewItems::DragLeave() {
    if (m_dropRect) m_v.update();
    m_dropRect.reset();
}

void ViewItems::Drop(QDropEvent* event) {
    if (m_dropRect) m_v.update();
    m_dropRect.reset();
    const QPoint client = event->position().toPoint();
    int effect = effectForData(
        DropEffectAt(client, event->modifiers() & Qt::ControlModifier, nullptr), event->mimeData());
    if (event->dropAction() == Qt::LinkAction) effect |= qor::view::kDropLink;
    if (DropData(event->mimeData(), client, effect)) {
        event->setDropAction(actionFor(effect & ~qor::view::kDropLink));
        event->accept();
    } else {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    }
}

// The view's drag and drop events go to its items.
void CQorsView::dragEnterEvent(QDragEnterEvent* event) { m_items.DragEnter(event); }

void CQorsView::dragMoveEvent(QDragMoveEvent* event) { m_items.DragMove(event); }

void CQorsView::dragLeaveEvent(QDragLeaveEvent* event) {
    m_items.DragLeave();
    event->accept();
}

void CQorsView::dropEvent(QDropEvent* event) { m_items.Drop(event); }
