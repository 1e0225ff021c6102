#pragma once
// The ids of the sheet view's menu commands and the dialogs and texts they
// use. The view answers the frame's router for them (view_commands.cpp).

#include <QString>
#include <functional>

#include "resources/commandids.h"
#include "resources/stringids.h"

class CQorsDoc;
class QWidget;

namespace qor::viewcmd {

using qor::cmd_ids::kCmdTableSize;
using qor::cmd_ids::kCmdCellAttributes;
using qor::cmd_ids::kCmdPageTabsBack;
using qor::cmd_ids::kCmdPageTabsForward;
using qor::cmd_ids::kCmdForcedPageBreak;
using qor::cmd_ids::kCmdShowPageBreaks;
using qor::cmd_ids::kCmdClearPageBreaks;
using qor::cmd_ids::kCmdBringToFront;
using qor::cmd_ids::kCmdSendToBack;
using qor::cmd_ids::kCmdObjectPreview;
using qor::cmd_ids::kCmdObjectPrint;
using qor::cmd_ids::kCmdObjectAppearance;
using qor::cmd_ids::kCmdObjectProperties;
using qor::cmd_ids::kCmdObjectVerbs;
// Cancels the in-place editing of an object: no object is edited in place
// here, so it is always off.
using qor::cmd_ids::kCmdCancelEditCntr;
using qor::cmd_ids::kCmdInsertObject;
using qor::cmd_ids::kCmdInsertChart;
using qor::cmd_ids::kCmdPrintSetup;
using qor::cmd_ids::kCmdPrint;
using qor::cmd_ids::kCmdPrintDirect;
using qor::cmd_ids::kCmdPrintPreview;
using qor::cmd_ids::kCmdExportXml;
using qor::cmd_ids::kCmdExportHtml;
using qor::cmd_ids::kCmdDataOverlayPrint;
using qor::cmd_ids::kCmdSplitWindow;
using qor::cmd_ids::kCmdDataInterface;

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
