#include "charts/chartdesc.h"

#include <cstring>

#include "engine/messages.h"
#include "platform/bytes.h"

namespace qor::items {

ChartDesc::ChartDesc() {
    for (FontField f : {kXTitleFont, kYTitleFont, kTitleFont}) setU32(f + 32, 10);
}

bool ChartDesc::SetBytes(const QByteArray& bytes) {
    if (bytes.size() != kSize) return false;
    std::memcpy(m_raw.data(), bytes.constData(), kSize);
    return true;
}

QByteArray ChartDesc::Bytes() const {
    return QByteArray(reinterpret_cast<const char*>(m_raw.data()), kSize);
}

uint16_t ChartDesc::u16(int at) const { return readLE16(QByteArrayView(m_raw), at); }

uint32_t ChartDesc::u32(int at) const { return readLE32(QByteArrayView(m_raw), at); }

void ChartDesc::setU16(int at, uint16_t v) { storeLE16(m_raw, size_t(at), v); }

void ChartDesc::setU32(int at, uint32_t v) { storeLE32(m_raw, size_t(at), v); }

Rect ChartDesc::GetPartRect(RectPart part) const {
    const int at = int(part) * 16;
    return {int32_t(u32(at)), int32_t(u32(at + 4)), int32_t(u32(at + 8)), int32_t(u32(at + 12))};
}

void ChartDesc::SetPartRect(RectPart part, const Rect& r) {
    const int at = int(part) * 16;
    setU32(at, uint32_t(r.left));
    setU32(at + 4, uint32_t(r.top));
    setU32(at + 8, uint32_t(r.right));
    setU32(at + 12, uint32_t(r.bottom));
}

int16_t ChartDesc::SourceAreaField(int index) const {
    return index >= 0 && index < 6 ? int16_t(u16(96 + 2 * index)) : 0;
}

void ChartDesc::SetSourceAreaField(int index, int16_t value) {
    if (index >= 0 && index < 6) setU16(96 + 2 * index, uint16_t(value));
}

CellArea ChartDesc::GetSourceArea() const {
    return CellArea::area(SourceAreaField(1), SourceAreaField(2), SourceAreaField(4),
                          SourceAreaField(5));
}

void ChartDesc::SetSourceArea(const CellArea& area) {
    SetSourceAreaField(1, area.first.row);
    SetSourceAreaField(2, area.first.col);
    SetSourceAreaField(4, area.last.row);
    SetSourceAreaField(5, area.last.col);
}

QString ChartDesc::GetText(TextField field) const {
    // Ten units fit the 21-byte field; a foreign record may fill them all
    // without a terminator.
    QString s;
    for (int i = 0; i < 10; ++i) {
        const uint16_t u = u16(int(field) + 2 * i);
        if (!u) break;
        s.append(QChar(char16_t(u)));
    }
    return s;
}

void ChartDesc::writeText(int at, const QString& text, int maxUnits) {
    const int n = int(std::min<qsizetype>(text.size(), maxUnits));
    for (int i = 0; i < n; ++i) setU16(at + 2 * i, text.at(i).unicode());
    setU16(at + 2 * n, 0);
}

bool ChartDesc::SetText(TextField field, const QString& text) {
    if (text.size() > kTextChars) return false;
    // Only text and terminator are written; the bytes after them are the
    // field's own and stay as they were.
    writeText(int(field), text, kTextChars);
    return true;
}

ChartFont ChartDesc::GetFont(FontField field) const {
    ChartFont f;
    const int at = int(field);
    for (int i = 0; i < 16; ++i) {
        const uint16_t u = u16(at + 2 * i);
        if (!u) break;
        f.face.append(QChar(char16_t(u)));
    }
    f.size = int32_t(u32(at + 32));
    f.style = u32(at + 36);
    return f;
}

bool ChartDesc::SetFont(FontField field, const ChartFont& font) {
    if (font.face.size() > kFontFaceChars) return false;
    const int at = int(field);
    std::memset(m_raw.data() + at, 0, 32);
    writeText(at, font.face, kFontFaceChars);
    setU32(at + 32, uint32_t(font.size));
    setU32(at + 36, font.style);
    return true;
}

ChartDesc ChartDesc::MakeDefault(int w, int h, int chartCounter) {
    ChartDesc d;
    auto sx = [w](int n) { return int32_t(int64_t(n) * w / 16); };
    auto sy = [h](int n) { return int32_t(int64_t(n) * h / 16); };
    d.SetPartRect(kPlotRect, {sx(3), sy(3), sx(13), sy(13)});
    d.SetPartRect(kLegendRect, {sx(13), sy(3), sx(15), sy(13)});
    d.SetPartRect(kTitleRect, {sx(3), sy(1), sx(13), sy(3)});
    d.SetPartRect(kXTitleRect, {sx(3), sy(13), sx(13), sy(15)});
    d.SetPartRect(kYTitleRect, {sx(1), sy(3), sx(3), sy(13)});
    d.SetPartRect(kBottomRect, {sx(3), sy(14), sx(13), h});
    d.SetCurrentGroup(1);
    d.SetText(kTitleText, LoadErrorText(str::kChartTitle));
    d.SetText(kXTitleText, LoadErrorText(str::kChartXTitle));
    d.SetText(kYTitleText, LoadErrorText(str::kChartYTitle));
    // A generated name; past 999 charts only its first nine characters fit.
    d.writeText(kNameText, QStringLiteral("GRAPH_%1").arg(chartCounter), kTextChars);
    for (FontField f : {kXTitleFont, kYTitleFont, kTitleFont})
        d.SetFont(f, ChartFont{QStringLiteral("Tahoma"), 10, 0});
    return d;
}

}  // namespace qor::items
