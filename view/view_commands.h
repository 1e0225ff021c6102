#pragma once
// The texts and hooks of the sheet view's menu commands. The view answers
// the frame's router through its table (view_commands.cpp).

#include <QString>
#include <functional>

#include "resources/stringids.h"

class CQorsDoc;
class QWidget;

namespace qor::viewcmd {

// The data-interface program the view's command 33299 opens on a report
// in data state; the financial interfaces register it (none: the command
// stays greyed). Returns the one registered before.
using DataInterfaceRunner = std::function<void(CQorsDoc& doc, QWidget* parent)>;
DataInterfaceRunner SetDataInterfaceRunner(DataInterfaceRunner runner);

// True when path ends in ".rep" in any letter case.
bool EndsWithRep(const QString& path);
// The report's path with ".rep" replaced by extension, the spelling of
// the rest kept; empty for a path not ending in ".rep".
QString SiblingPath(const QString& reportPath, const QString& extension);

}  // namespace qor::viewcmd
