#pragma once
// The ids of the sheet view's menu commands and the dialogs and texts they
// use. The view answers the frame's router for them (view_commands.cpp).

#include <QString>
#include <functional>

class CQorsDoc;
class QWidget;

namespace qor::viewcmd {

constexpr int kCmdTableSize = 32793;
constexpr int kCmdCellAttributes = 32797;
constexpr int kCmdPageTabsBack = 120;
constexpr int kCmdPageTabsForward = 121;
constexpr int kCmdForcedPageBreak = 33285;
constexpr int kCmdShowPageBreaks = 33294;
constexpr int kCmdClearPageBreaks = 33295;
constexpr int kCmdBringToFront = 33241;
constexpr int kCmdSendToBack = 33243;
constexpr int kCmdObjectPreview = 33245;
constexpr int kCmdObjectPrint = 33247;
constexpr int kCmdObjectAppearance = 33259;
constexpr int kCmdObjectProperties = 57860;
constexpr int kCmdObjectVerbs = 57872;
// Cancels the in-place editing of an object: no object is edited in place
// here, so it is always off.
constexpr int kCmdCancelEditCntr = 33239;
constexpr int kCmdInsertObject = 57856;
constexpr int kCmdInsertChart = 32850;
constexpr int kCmdPrintSetup = 57606;
constexpr int kCmdPrint = 57607;
constexpr int kCmdPrintDirect = 57608;
constexpr int kCmdPrintPreview = 57609;
constexpr int kCmdExportXml = 33323;
constexpr int kCmdExportHtml = 33237;
constexpr int kCmdDataOverlayPrint = 33248;
constexpr int kCmdSplitWindow = 57653;
constexpr int kCmdDataInterface = 33299;

// Dialog templates.
constexpr int kDlgTableSize = 144;
constexpr int kDlgCellAttributes = 233;
constexpr int kDlgZoom = 364;
constexpr int kDlgDisplayStyle = 388;
constexpr int kDlgObjectLook = 457;
constexpr int kDlgObjectProp = 460;

// Texts.
constexpr int kStrForceBreak = 62547;
constexpr int kStrRemoveBreak = 62548;
constexpr int kStrUnsplit = 62550;
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
