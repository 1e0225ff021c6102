#include "frames/commandicons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "resources/commandids.h"
#include "resources/stringtable.h"

namespace qor::frames {

namespace {

struct IconSource {
    int id;
    const char* name;  // resources/icons/<name>.svg
};

// Every command a tool bar carries has its picture here; a few menu-only
// commands too, so that menus show the same set.
constexpr IconSource kIcons[] = {
    {cmd_ids::kCmdFileNew, "file-new"},
    {cmd_ids::kCmdFileOpen, "file-open"},
    {cmd_ids::kCmdFileSave, "file-save"},
    {cmd_ids::kCmdFileSaveAs, "file-save-as"},
    {cmd_ids::kCmdPrint, "print"},
    {cmd_ids::kCmdPrintPreview, "print-preview"},
    {cmd_ids::kCmdCut, "edit-cut"},
    {cmd_ids::kCmdCopy, "edit-copy"},
    {cmd_ids::kCmdPaste, "edit-paste"},
    {cmd_ids::kCmdClear, "edit-clear"},
    {cmd_ids::kCmdAppExit, "app-exit"},
    {cmd_ids::kCmdHelpTopics, "help"},
    {cmd_ids::kCmdSwitchState, "state-switch"},
    {cmd_ids::kCmdCellFormula, "cell-formula"},
    {cmd_ids::kCmdCommandWindow, "command-window"},
    {cmd_ids::kCmdChartWindow, "chart-window"},
    {cmd_ids::kCmdStandardMenu, "standard-menu"},
    {cmd_ids::kCmdCellAttributes, "cell-attributes"},
    {cmd_ids::kCmdMoreDecimals, "decimals-more"},
    {cmd_ids::kCmdFewerDecimals, "decimals-fewer"},
    {cmd_ids::kCmdDisplayScale, "zoom"},
    {cmd_ids::kCmdInputCancel, "input-cancel"},
    {cmd_ids::kCmdInputConfirm, "input-confirm"},
    {cmd_ids::kCmdPreviousChart, "go-previous"},
    {cmd_ids::kCmdNextChart, "go-next"},
    {cmd_ids::kCmdFirstChart, "go-first"},
    {cmd_ids::kCmdLastChart, "go-last"},
    {cmd_ids::kCmdChartType0, "chart-bar"},
    {cmd_ids::kCmdChartType4, "chart-line"},
    {cmd_ids::kCmdChartType7, "chart-pie"},
    {cmd_ids::kCmdChartType6, "chart-area"},
    {cmd_ids::kCmdChartType8, "chart-bar3d"},
    {cmd_ids::kCmdPreviousGroup, "data-previous"},
    {cmd_ids::kCmdNextGroup, "data-next"},
    {cmd_ids::kCmdExit, "chart-close"},
};

}  // namespace

QIcon ResourceIcon(const QString& name) {
    // Rendering is cheap but every bar and menu asks for the same few
    // pictures; render each once per run.
    static QHash<QString, QIcon> cache;
    if (auto it = cache.constFind(name); it != cache.constEnd()) return *it;
    res::ensureResources();
    QIcon icon;
    QSvgRenderer renderer(QStringLiteral(":/qor/icons/%1.svg").arg(name));
    if (renderer.isValid()) {
        for (int side : {16, 24, 32, 48}) {
            QPixmap pixmap(side, side);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
    }
    cache.insert(name, icon);
    return icon;
}

QIcon CommandIcon(int id, const QStyle*) {
    for (const IconSource& s : kIcons)
        if (s.id == id) return ResourceIcon(QString::fromLatin1(s.name));
    return QIcon();
}

QIcon ApplicationIcon() { return ResourceIcon(QStringLiteral("qorview")); }

}  // namespace qor::frames
