#include "frames/commandicons.h"

#include <QStyle>

namespace qor::frames {

namespace {

struct IconSource {
    int id;
    const char* theme;
    int fallback;  // a QStyle::StandardPixmap, or -1
};

constexpr IconSource kIcons[] = {
    {57600, "document-new", QStyle::SP_FileIcon},
    {57601, "document-open", QStyle::SP_DialogOpenButton},
    {57603, "document-save", QStyle::SP_DialogSaveButton},
    {57604, "document-save-as", -1},
    {57607, "document-print", -1},
    {57609, "document-print-preview", QStyle::SP_FileDialogContentsView},
    {57635, "edit-cut", -1},
    {57634, "edit-copy", -1},
    {57637, "edit-paste", -1},
    {57632, "edit-clear", -1},
    {57665, "application-exit", QStyle::SP_DialogCloseButton},
    {57667, "help-contents", QStyle::SP_DialogHelpButton},
    {33298, "view-refresh", QStyle::SP_BrowserReload},
    {33210, "utilities-terminal", QStyle::SP_ComputerIcon},
    {32797, "document-properties", QStyle::SP_FileDialogDetailedView},
    {32944, "process-stop", QStyle::SP_DialogCancelButton},
    {32945, "dialog-ok", QStyle::SP_DialogApplyButton},
    {33216, "zoom-in", -1},
    {33027, "go-previous", QStyle::SP_ArrowLeft},
    {33028, "go-next", QStyle::SP_ArrowRight},
    {33029, "go-first", QStyle::SP_MediaSkipBackward},
    {33030, "go-last", QStyle::SP_MediaSkipForward},
};

}  // namespace

QIcon CommandIcon(int id, const QStyle* style) {
    for (const IconSource& s : kIcons) {
        if (s.id != id) continue;
        const QIcon themed = QIcon::fromTheme(QString::fromLatin1(s.theme));
        if (!themed.isNull()) return themed;
        if (s.fallback >= 0 && style)
            return style->standardIcon(static_cast<QStyle::StandardPixmap>(s.fallback));
        return QIcon();
    }
    return QIcon();
}

}  // namespace qor::frames
