#pragma once
// A tree with its own folder pictures: a double click on an item with
// children switches it between the open and the closed folder, and the
// leaf flag tells the owner whether the last double click hit a leaf.

#include <QTreeWidget>

namespace qor::frames {

class CImageTreeCtrl : public QTreeWidget {
    Q_OBJECT

public:
    explicit CImageTreeCtrl(QWidget* parent = nullptr);

    // 0 the closed folder, 1 the open one.
    QIcon FolderImage(int index) const { return index ? m_open : m_closed; }
    // Gives an item the folder picture of index.
    void SetItemImage(QTreeWidgetItem* item, int index);
    int ItemImage(const QTreeWidgetItem* item) const;

    int m_bLeaf = 1;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QIcon m_closed;
    QIcon m_open;
};

}  // namespace qor::frames
