#include "frames/cimagetreectrl.h"

#include <QMouseEvent>
#include <QStyle>

namespace qor::frames {

namespace {

constexpr int kImageRole = Qt::UserRole + 533;

}  // namespace

CImageTreeCtrl::CImageTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    m_closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    setHeaderHidden(true);
    setIconSize(QSize(15, 15));
}

void CImageTreeCtrl::SetItemImage(QTreeWidgetItem* item, int index) {
    item->setData(0, kImageRole, index);
    item->setIcon(0, index ? m_open : m_closed);
}

int CImageTreeCtrl::ItemImage(const QTreeWidgetItem* item) const {
    return item->data(0, kImageRole).toInt();
}

void CImageTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    m_bLeaf = 1;
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item && item->childCount() > 0) {
        m_bLeaf = 0;
        // About to close when it is open and selected, else about to open.
        const bool closing = item->isExpanded() && item->isSelected();
        SetItemImage(item, closing ? 0 : 1);
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

}  // namespace qor::frames
