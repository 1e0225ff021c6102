#pragma once
// The picture of a command on its tool button and beside its menu item, and
// the program's own picture for its windows. All of them are drawn for this
// program (resources/icons) in one style, so a bar never mixes a desktop
// theme's icons with ours; they are rendered here at the bar sizes rather
// than left to an icon-engine plug-in that a machine may lack.

#include <QIcon>

class QStyle;

namespace qor::frames {

// The command's picture, or a null icon when the command has none.
// The style argument is kept for callers that pass one; our pictures do
// not depend on it.
QIcon CommandIcon(int id, const QStyle* style = nullptr);

// The picture of qorview and of every window it opens.
QIcon ApplicationIcon();

// A picture of resources/icons by its name (without ".svg"), rendered at
// 16, 24, 32 and 48 pixels; null when there is no such picture.
QIcon ResourceIcon(const QString& name);

}  // namespace qor::frames
