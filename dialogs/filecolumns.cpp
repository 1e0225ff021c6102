#include "dialogs/filecolumns.h"

#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace qor {

namespace {

// The dialog builds its list when it is first shown and restores its own
// column widths then, so the columns are set up at every show.
class FileColumnsKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) return false;
        auto* dialog = static_cast<QFileDialog*>(watched);
        if (auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
            QHeaderView* header = view->header();
            header->setStretchLastSection(false);
            header->setSectionResizeMode(0, QHeaderView::Stretch);
            for (int column = 1; column < header->count(); ++column)
                header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
        constexpr int kMinimumWidth = 760;
        if (dialog->width() < kMinimumWidth) dialog->resize(kMinimumWidth, dialog->height());
        return false;
    }
};

}  // namespace

void KeepFileColumnsReadable(QFileDialog* dialog) {
    dialog->installEventFilter(new FileColumnsKeeper(dialog));
}

}  // namespace qor
