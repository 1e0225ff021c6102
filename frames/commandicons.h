#pragma once
// The picture of a command on its tool button and beside its menu item:
// the desktop theme's icon, else one of the style's standard pictures, else
// none (the button then shows its short text).

#include <QIcon>

class QStyle;

namespace qor::frames {

QIcon CommandIcon(int id, const QStyle* style);

}  // namespace qor::frames
