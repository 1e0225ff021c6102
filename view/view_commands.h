#pragma once
// The texts and hooks of the sheet view's menu commands. The view answers
// the frame's router through its table (view_commands.cpp).

#include <QString>
#include <functional>

class CQorsDoc;
class QWidget;

namespace qor::viewcmd {

// Texts.
constexpr int kStrForceBreak = 62547;
constexpr int kStrRemoveBreak = 62548;
constexpr int kStrUnsplit = 62550;
constexpr int kStrUnsplitPrompt = 64962;
constexpr int kStrCannotSplit = 64963;
constexpr int kStrSplit = 62551;
constexpr int kMsgExportNeedsName = 62996;
// Printing: off while an object is active in place; the printer or file
// could not be written; object printing with nothing selected.
constexpr int kMsgPrintInPlace = 63420;
constexpr int kMsgPrintNotDone = 63421;
constexpr int kMsgNoObjectToPrint = 63423;
constexpr int kMsgConvertNeedsName = 62997;
constexpr int kStrHtmlFilter = 62998;
constexpr int kMsgDiagonalTooLarge = 63162;
constexpr int kStrCellAttrCaption = 63137;

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
