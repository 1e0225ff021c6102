#pragma once
// The clipboard commands of the sheet: copy, cut, clear, paste, paste link
// and paste special, and when each is enabled.
//
// Each command acts on the in-cell edit while it has the focus, else on the
// view's selected item, else on the selected block of cells. The cell work
// itself (formats, the block codec, clearing) is the document's; this layer
// decides which of the three a command reaches and talks to the clipboard
// through IClipboard, so everything here runs without a window.

#include <QPoint>
#include <QString>
#include <QUuid>
#include <functional>
#include <vector>

#include "charts/itemformats.h"
#include "resources/commandids.h"
#include "resources/stringids.h"

class CQorsDoc;
class CQorsView;
class CComItem;
class QMimeData;

namespace qor::clip {

using qor::cmd_ids::kCmdClear;
using qor::cmd_ids::kCmdCopy;
using qor::cmd_ids::kCmdCut;
using qor::cmd_ids::kCmdPaste;
using qor::cmd_ids::kCmdPasteLink;
using qor::cmd_ids::kCmdPasteSpecial;

// The item formats the document registers next to "Native QOR Data".
using qor::items::kGraphFormatName;
using qor::items::kOleFormatName;
inline constexpr char kTextFormatName[] = "text/plain";

// Embedded objects of these classes cannot go through paste special.
QUuid BlockedObjectClass(int index);  // 0 or 1
inline constexpr int kBlockedObjectClasses = 2;

// The clipboard as the commands see it.
class IClipboard {
public:
    virtual ~IClipboard() = default;
    // What the clipboard holds now; null when empty.
    virtual const QMimeData* Data() const = 0;
    // Replaces the clipboard's contents; takes ownership of data. False
    // when the clipboard did not take it.
    virtual bool SetData(QMimeData* data) = 0;
};
// The application's clipboard.
IClipboard& SystemClipboard();

// What a command needs from the view it runs in.
struct ClipContext {
    CQorsDoc* doc = nullptr;
    CComItem* selection = nullptr;       // the view's selected item, if any
    bool viewChartEditing = false;       // this view edits a chart
    bool otherViewChartEditing = false;  // another view of the document does
    IClipboard* clipboard = nullptr;     // null: the system clipboard
    // Clears the item selection of the views of the document: of every
    // view for null, else of those that have item selected. The item is
    // destroyed right after, so no view may keep pointing at it.
    std::function<void(CComItem* item)> dropSelection;
    // Moves items back onto the sheet after a paste.
    std::function<void()> clampItems;
    // Selects a pasted item in the view.
    std::function<void(CComItem* item)> selectItem;
    // Where an object pasted without a place goes (sheet pixels).
    QPoint newItemPoint{100, 100};
};

// The context of a command run in the view.
ClipContext ViewClipContext(CQorsView& view);

// Each returns true when it changed the clipboard or the document.
bool EditCopy(ClipContext& ctx);
// The cells, or the selected item, go only when the copy succeeded.
bool EditCut(ClipContext& ctx);
bool EditClear(ClipContext& ctx);
// 0 or the failing status (the user is told, message 62004).
int EditPaste(ClipContext& ctx);
// A copied range as a linked report object, files as linked files; cells
// are never pasted as linked cells. Failure is told (62005).
int EditPasteLink(ClipContext& ctx);

// What data become when pasted (link: as a link): cells first, then a
// chart, an object, text, an embedded report, files, a picture.
enum class PasteKind { None, Cells, Chart, Object, Report, ReportLink, Picture, Files };
PasteKind PasteKindOf(const QMimeData* data, bool link);
// Pastes data (the clipboard's, a drop's) at `at` (sheet pixels; null:
// an item where new items start, cells at the selection). dropped: an
// object takes the page on screen rather than its own. 0, or 1 with
// nothing added; the pasted item becomes the selection.
int DoPasteItem(ClipContext& ctx, bool link, const QMimeData* data, const QPoint* at, bool dropped);

// ---- paste special

struct PasteSpecialEntry {
    QString format;  // the clipboard format pasted
    QString text;    // what the dialog lists
    bool linkable = false;
    bool operator==(const PasteSpecialEntry&) const = default;
};

struct PasteSpecialMembers {
    std::vector<PasteSpecialEntry> entries;
    int selected = 0;       // index into entries
    int selectionType = 0;  // 0 paste, 1 paste link
};

// The formats offered for data: cell data first, then text.
PasteSpecialMembers PresetPasteSpecial(const QMimeData* data);
// Pastes the chosen entry; 0, or the failing status after telling the user.
int ApplyPasteSpecial(ClipContext& ctx, const PasteSpecialMembers& m);
// Asks the paste-special dialog (the dialog registry's, for
// PasteSpecialMembers): -1 when cancelled or none is registered, else as
// ApplyPasteSpecial.
int EditPasteSpecial(ClipContext& ctx);

// ---- enabling

struct CopyUpdateInput {
    bool inPlaceFrame = false;       // the report runs in place in another program
    bool inPlaceActiveItem = false;  // the document has an in-place active item
    bool focusOnFormulaBar = false;
    bool formulaBarHasSelection = false;
};
// Copy, cut and clear.
bool UpdateEditCopy(const CopyUpdateInput& in);
bool UpdateEditPaste(const QMimeData* data);
bool UpdateEditPasteSpecial(const QMimeData* data);
// The class of the embedded object data describes; null when none.
QUuid EmbeddedObjectClass(const QMimeData* data);

}  // namespace qor::clip
