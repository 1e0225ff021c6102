#pragma once
// The display scale and display style commands without the widget: the
// percent the zoom dialog shows, the scale it gives back, the header sizes
// that follow a new scale or a hidden header, the grid-colour palette, the
// saved view state the commands store with the report, and the rescaling
// of the page's items when the scale changes.
//
// The commands ask their dialogs through the dialog registry
// (document/dialogregistry.h); with none registered a command is off and
// its work runs headless.

#include <array>
#include <cstdint>

#include "document/cmd_dialogs.h"
#include "resources/commandids.h"
#include "view/cellattr_model.h"
#include "print/sheetgeometry.h"

class CQorsDoc;

namespace qor::view {

using qor::cmd_ids::kCmdDisplayScale;
using qor::cmd_ids::kCmdDisplayStyle;

// ---------------------------------------------------------------------------
// Percent and scale

constexpr int kMinZoomPercent = 30;
constexpr int kMaxZoomPercent = 900;

// The scale relative to 1.4 in percent, 30..900; 99 (a rounding artefact
// of 1.4) shows as 100.
int ScaleToPercent(float scale);
// The scale of an entered percent; a percent out of 30..900 is clamped
// first, so no entry can give a scale the view would refuse.
float PercentToScale(int percent);
// A shown header (current not 0) takes base x scale; a hidden one stays 0.
int RescaledHeader(int current, int base, float scale);

// ---------------------------------------------------------------------------
// Grid colours

inline constexpr std::array<uint32_t, 16> kStylePalette = {
    0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0x00FFFF, 0xFFFFFF,
    0x800000, 0x808000, 0x008000, 0x800080, 0x000080, 0x008080, 0x808080, 0xC0C0C0};

// The process-wide last chosen entry.
int RememberedPaletteIndex();
void SetRememberedPaletteIndex(int index);
// The entry equal to grid, else the remembered one.
int PaletteIndexFor(uint32_t grid);

// ---------------------------------------------------------------------------
// The dialogs' members

struct ZoomDlgMembers {
    int percent = 100;
};

struct DisplayStyleDlgMembers {
    bool hideRowHeaders = false;
    bool hideColumnHeaders = false;
    bool standardColours = false;  // kind colours
    int gridIndex = 0;
    bool operator==(const DisplayStyleDlgMembers&) const = default;
};

// The appearance dialog of a selected item.
struct ObjectLookDlgMembers {
    bool border = false;
    bool transparent = false;
};

// The properties dialog of a selected chart: its name, source area and a
// second text of its description are shown; the scale (percent, within
// minScale..maxScale) of its current size or, with relative, of its
// native size is what OK applies, when changed says something moved.
struct ObjectPropDlgMembers {
    QString name;
    QString area;
    QString text;
    int scale = 100;
    int minScale = 0;
    int maxScale = 1000;
    bool relative = false;
    bool changed = false;
};

// The cell-attribute sheet over the members, without the pages of
// removeMask (1 type, 2 alignment, 4 font and pattern, 8 border).
struct CellAttrRequest {
    CellAttrMembers members;
    int removeMask = 0;
};

// ---------------------------------------------------------------------------
// What the commands do to a view state

// The state after the zoom dialog's OK with percent.
ViewState ApplyZoom(const ViewState& current, int percent,
                    const HeaderMetrics& base = BaseHeaderMetrics());
// The style dialog's members preset from a state.
DisplayStyleDlgMembers StyleMembersFor(const ViewState& state);
// The state after the style dialog's OK (an index outside the palette
// keeps the grid colour).
ViewState ApplyDisplayStyle(const ViewState& current, const DisplayStyleDlgMembers& members,
                            const HeaderMetrics& base = BaseHeaderMetrics());
// The saved state after a zoom: header sizes and scale from state, grid
// colour and flag from saved; with nothing saved yet, all from state.
std::array<uint32_t, 4> MergeZoomIntoSaved(const std::array<uint32_t, 4>& saved, bool haveSaved,
                                           const ViewState& state);

// ---------------------------------------------------------------------------
// Items

// Moves and sizes every item of the document by ratio (new scale over old):
// positions and sizes, a chart's tracked size and its font sizes.
void ScaleDocumentItems(CQorsDoc& doc, double ratio);
// Moves items that reach past the sheet (width x height pixels) back onto
// it, as far as their size allows.
void ClampDocumentItems(CQorsDoc& doc, int width, int height);

}  // namespace qor::view
