#include "print/paint_style.h"

#include <cmath>

#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"

namespace qor::view {

uint32_t KindColorRef(int kind) {
    switch (kind) {
        case kCellText:
            return kRefKindText;
        case kCellLabel:
            return kRefKindLabel;
        default:
            return kRefKindNumber;
    }
}

QFont MakeFont(const FontDesc& fd) {
    QFont font;
    font.setFamilies(SubstituteFontFamilies(fd.face));
    font.setPixelSize(std::max(1, std::abs(fd.height)));
    font.setWeight(fd.weight >= kFontWeightBold ? QFont::Bold : QFont::Normal);
    font.setItalic(fd.italic);
    font.setUnderline(fd.underline);
    font.setStrikeOut(false);
    font.setKerning(false);
    // Integer advances keep column text where the stored widths put it.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

bool BuildCellFont(const CQorsDoc& doc, int row, int col, double scale, FontDesc* font) {
    CReportHandle* report = doc.GetReport();
    if (!report || !font) return false;
    const CellArea cell = CellArea::cell(row + 1, col + 1);
    int32_t face = 0, style = 0, size = 0;
    // A cell the report cannot map keeps the first entry of each table.
    if (report->AccessAreaFormat(0, kFmtFont, &face, &cell) != 0) face = 0;
    if (report->AccessAreaFormat(0, kFmtFontStyle, &style, &cell) != 0) style = 0;
    if (report->AccessAreaFormat(0, kFmtFontSize, &size, &cell) != 0) size = 0;
    FontDesc f;
    f.face = QString::fromUtf8(kCellFontFaces[face & 15]);
    f.height = int(std::trunc(double(kFontSizePoints[size & 15]) * scale));
    ApplyFontStyleIndex(style, &f);
    *font = f;
    return true;
}

QPen CellLinePen(int code, bool printing) {
    PenDesc fd;
    int index = code;
    fd.style = kPenNull;
    if (code >= 0 && code <= 7) MapLineStyle(kLineStyleToPen, &fd, &index);
    if (fd.style == kPenNull) return QPen(Qt::NoPen);

    QPen pen(Qt::black);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (fd.style == kPenSolid) {
        pen.setStyle(Qt::SolidLine);
        pen.setWidthF(printing ? 0.75 * fd.width : double(fd.width));
        return pen;
    }
    // Broken lines keep the dash lengths of the platform the reports come
    // from, in pixels; they are always one device pixel wide.
    pen.setWidth(printing ? 0 : 1);
    pen.setCosmetic(true);
    switch (fd.style) {
        case kPenDash:
            pen.setDashPattern({18, 6});
            break;
        case kPenDot:
            pen.setDashPattern({3, 3});
            break;
        case kPenDashDot:
            pen.setDashPattern({9, 6, 3, 6});
            break;
        default:
            pen.setDashPattern({9, 3, 3, 3, 3, 3});
            break;
    }
    return pen;
}

Qt::BrushStyle PatternBrushStyle(int pattern) {
    switch (pattern) {
        case 1:
            return Qt::FDiagPattern;
        case 2:
            return Qt::BDiagPattern;
        case 3:
            return Qt::DiagCrossPattern;
        case 4:
            return Qt::HorPattern;
        case 5:
            return Qt::VerPattern;
        default:
            return Qt::NoBrush;
    }
}

}  // namespace qor::view
