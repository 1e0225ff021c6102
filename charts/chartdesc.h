#pragma once
// The fixed 360-byte description of a chart: which cell area of which page
// feeds it, how the area is cut into data groups, the chart type, where the
// chart's parts lie, their texts and their fonts. The bytes are kept as
// they are, so fields this program does not use (and the odd byte after
// each text) survive a load and a store.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

#include "charts/itemsupport.h"
#include "engine/celltypes.h"

namespace qor::items {

struct ChartFont {
    QString face;       // at most 15 characters
    int32_t size = 10;  // points
    uint32_t style = 0;
    bool operator==(const ChartFont&) const = default;
};

class ChartDesc {
public:
    static constexpr int kSize = 360;
    static constexpr int kTextChars = 9;       // the dialogs' limit; text + NUL fit 20 bytes
    static constexpr int kFontFaceChars = 15;  // 16 units with the NUL

    // Rectangles in chart-window pixels.
    enum RectPart { kPlotRect, kLegendRect, kTitleRect, kXTitleRect, kYTitleRect, kBottomRect };
    // Byte offsets of the four texts (21 bytes apart, unaligned).
    enum TextField { kNameText = 132, kTitleText = 153, kXTitleText = 174, kYTitleText = 195 };
    // Byte offsets of the three font records.
    enum FontField { kXTitleFont = 240, kYTitleFont = 280, kTitleFont = 320 };

    // All zero, the three font sizes 10.
    ChartDesc();
    // False (nothing changed) unless exactly 360 bytes are given.
    bool SetBytes(const QByteArray& bytes);
    QByteArray Bytes() const;

    // What a chart defined over a chart window of w x h pixels starts with;
    // its name is "GRAPH_" and the chart counter.
    static ChartDesc MakeDefault(int w, int h, int chartCounter);

    Rect GetPartRect(RectPart part) const;
    void SetPartRect(RectPart part, const Rect& r);

    // The source area's six 16-bit fields; rows and columns from 1 at
    // fields 1, 2 (top, left) and 4, 5 (bottom, right).
    int16_t SourceAreaField(int index) const;
    void SetSourceAreaField(int index, int16_t value);
    CellArea GetSourceArea() const;
    void SetSourceArea(const CellArea& area);

    uint32_t GetSourcePage() const { return u32(108); }
    void SetSourcePage(uint32_t page) { setU32(108, page); }
    bool GroupsByRows() const { return u32(112) != 0; }
    void SetGroupByRows(bool rows) { setU32(112, rows ? 1 : 0); }
    int16_t GetCurrentGroup() const { return int16_t(u16(116)); }
    void SetCurrentGroup(int16_t group) { setU16(116, uint16_t(group)); }
    // 0..9 (plain bar ... 3D grouped bar).
    uint32_t GetChartType() const { return u32(120); }
    void SetChartType(uint32_t type) { setU32(120, type); }
    bool IsWholeReport() const { return u32(124) != 0; }
    void SetWholeReport(bool whole) { setU32(124, whole ? 1 : 0); }
    // 0 unit name, 1 unit number, 2 year, 3 quarter, 4 month, 5 day.
    uint32_t GetLabelKind() const { return u32(128); }
    void SetLabelKind(uint32_t kind) { setU32(128, kind); }

    QString GetText(TextField field) const;
    // False, nothing stored, for more than 9 characters: a longer text
    // would run into the next field.
    bool SetText(TextField field, const QString& text);

    ChartFont GetFont(FontField field) const;
    // False, nothing stored, for a face name of more than 15 characters.
    bool SetFont(FontField field, const ChartFont& font);

    bool operator==(const ChartDesc&) const = default;

private:
    uint16_t u16(int at) const;
    uint32_t u32(int at) const;
    void setU16(int at, uint16_t v);
    void setU32(int at, uint32_t v);
    void writeText(int at, const QString& text, int maxUnits);

    std::array<uint8_t, kSize> m_raw{};
};

}  // namespace qor::items
