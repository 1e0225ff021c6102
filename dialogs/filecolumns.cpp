#include "dialogs/filecolumns.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QTreeView>

#include "engine/messages.h"

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

// Qt's own name for a folder's type has no Chinese translation; the list
// speaks the user's language throughout.
class FolderTypeNamer : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return LoadErrorText(str::kFolderType);
        return QFileIconProvider::type(info);
    }
};

}  // namespace

void KeepFileColumnsReadable(QFileDialog* dialog) {
    dialog->installEventFilter(new FileColumnsKeeper(dialog));
    // The dialog does not own its provider and its file-list thread may
    // still ask it while the dialog goes: one for the program's lifetime,
    // never destroyed (not after the application object either).
    static auto* namer = new FolderTypeNamer;
    dialog->setIconProvider(namer);
}

}  // namespace qor
