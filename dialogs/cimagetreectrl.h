#pragma once
// A tree with its own pictures: a closed and an open folder for items that
// hold others, and a table and a chosen table for the leaves. A double
// click on an item with children switches it between the open and the
// closed folder; the leaf flag tells the owner whether the last double
// click hit a leaf, which is what the dictionary wizards open.

#include <QTreeWidget>

class CImageTreeCtrl : public QTreeWidget {
    Q_OBJECT

public:
    // The pictures by index.
    enum Image { kClosedFolder = 0, kOpenFolder = 1, kTable = 2, kChosenTable = 3, kImageCount };

    explicit CImageTreeCtrl(QWidget* parent = nullptr);

    // The picture of an index (a null icon outside 0..3).
    QIcon FolderImage(int index) const;
    // Gives an item its picture and the one it shows while selected.
    void SetItemImage(QTreeWidgetItem* item, int image, int selectedImage);
    void SetItemImage(QTreeWidgetItem* item, int image) { SetItemImage(item, image, image); }
    int ItemImage(const QTreeWidgetItem* item) const;
    int ItemSelectedImage(const QTreeWidgetItem* item) const;

    // 1 when the last double click hit a leaf (or nothing), 0 for an item
    // with children.
    int m_bLeaf = 1;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap m_images[kImageCount];
};
