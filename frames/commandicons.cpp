#include "frames/commandicons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

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
    {57600, "file-new"},      {57601, "file-open"},      {57603, "file-save"},
    {57604, "file-save-as"},  {57607, "print"},          {57609, "print-preview"},
    {57635, "edit-cut"},      {57634, "edit-copy"},      {57637, "edit-paste"},
    {57632, "edit-clear"},    {57665, "app-exit"},       {57667, "help"},
    {33298, "state-switch"},  {32801, "cell-formula"},   {33210, "command-window"},
    {33024, "chart-window"},  {33326, "standard-menu"},  {32797, "cell-attributes"},
    {33283, "decimals-more"}, {33284, "decimals-fewer"}, {33216, "zoom"},
    {32944, "input-cancel"},  {32945, "input-confirm"},  {33027, "go-previous"},
    {33028, "go-next"},       {33029, "go-first"},       {33030, "go-last"},
    {33014, "chart-bar"},     {33018, "chart-line"},     {33020, "chart-pie"},
    {33021, "chart-area"},    {33022, "chart-bar3d"},    {33229, "data-previous"},
    {33230, "data-next"},     {33034, "chart-close"},
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
