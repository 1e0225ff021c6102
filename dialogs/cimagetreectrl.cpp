#include "dialogs/cimagetreectrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {

constexpr int kImageRole = Qt::UserRole + 533;
constexpr int kSelectedImageRole = Qt::UserRole + 534;
constexpr int kSide = 15;

// A small grid: a table of the dictionary. The chosen one has its title
// row filled with the highlight colour.
QPixmap tablePicture(const QPalette& palette, bool chosen) {
    QPixmap pm(kSide, kSide);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRect box(1, 2, kSide - 3, kSide - 5);
    p.fillRect(box, palette.color(QPalette::Base));
    p.fillRect(QRect(box.left(), box.top(), box.width(), 3),
               chosen ? palette.color(QPalette::Highlight) : palette.color(QPalette::Mid));
    p.setPen(palette.color(QPalette::Dark));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    for (int y = box.top() + 3; y < box.bottom(); y += 3) p.drawLine(box.left(), y, box.right(), y);
    const int mid = box.left() + box.width() / 2;
    p.drawLine(mid, box.top() + 3, mid, box.bottom());
    return pm;
}

}  // namespace

CImageTreeCtrl::CImageTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    m_images[kClosedFolder] =
        style()->standardIcon(QStyle::SP_DirClosedIcon).pixmap(kSide, kSide);
    m_images[kOpenFolder] = style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(kSide, kSide);
    m_images[kTable] = tablePicture(palette(), false);
    m_images[kChosenTable] = tablePicture(palette(), true);
    setHeaderHidden(true);
    setIconSize(QSize(kSide, kSide));
}

QIcon CImageTreeCtrl::FolderImage(int index) const {
    return index >= 0 && index < kImageCount ? QIcon(m_images[index]) : QIcon();
}

void CImageTreeCtrl::SetItemImage(QTreeWidgetItem* item, int image, int selectedImage) {
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, selectedImage);
    QIcon icon;
    if (image >= 0 && image < kImageCount) icon.addPixmap(m_images[image], QIcon::Normal);
    if (selectedImage >= 0 && selectedImage < kImageCount)
        icon.addPixmap(m_images[selectedImage], QIcon::Selected);
    item->setIcon(0, icon);
}

int CImageTreeCtrl::ItemImage(const QTreeWidgetItem* item) const {
    return item->data(0, kImageRole).toInt();
}

int CImageTreeCtrl::ItemSelectedImage(const QTreeWidgetItem* item) const {
    return item->data(0, kSelectedImageRole).toInt();
}

void CImageTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    m_bLeaf = 1;
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item && item->childCount() > 0) {
        m_bLeaf = 0;
        // About to close when it is open and selected, else about to open.
        const int image = item->isExpanded() && item->isSelected() ? kClosedFolder : kOpenFolder;
        SetItemImage(item, image, image);
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}
