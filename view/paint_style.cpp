#include "view/paint_style.h"

#include <QHash>
#include <cmath>

#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"

namespace qor::view {

namespace {

// The Ming (Song) and Hei families come first: they map each ideograph to
// a glyph of its own. The Noto CJK families share glyphs between
// ideographs and the look-alike radicals (入 and ⼊), and a PDF's text layer
// then gives the radical back, so a printed report could not be searched
// for 收入; they also shape digits beside letters into glyphs the text
// layer cannot name. They stay as the fallback where the others are
// missing.
const QString kSerifCjk = QStringLiteral("AR PL UMing CN");
const QString kSansCjk = QStringLiteral("WenQuanYi Zen Hei");
const QString kSerifFallback = QStringLiteral("Noto Serif CJK SC");
const QString kSansFallback = QStringLiteral("Noto Sans CJK SC");

// Chinese faces of the font table and the families that stand in for them.
// A Kai family is listed first for 楷体 so that it is used where one is
// installed; QFont takes the first family it finds.
const QHash<QString, QStringList>& cjkSubstitutes() {
    static const QStringList serif{kSerifCjk, kSansCjk, kSerifFallback, kSansFallback};
    static const QStringList sans{kSansCjk, kSerifCjk, kSansFallback, kSerifFallback};
    static const QStringList kai =
        QStringList{QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL KaitiM GB"),
                    QStringLiteral("KaiTi"), QStringLiteral("Kaiti SC")} +
        serif;
    static const QHash<QString, QStringList> table = {
        {QStringLiteral("宋体"), serif},
        {QStringLiteral("仿宋_GB2312"), serif},
        {QStringLiteral("仿宋"), serif},
        {QStringLiteral("新宋体"), serif},
        {QStringLiteral("黑体"), sans},
        {QStringLiteral("楷体_GB2312"), kai},
        {QStringLiteral("楷体"), kai},
    };
    return table;
}

}  // namespace

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

QStringList SubstituteFontFamilies(const QString& face) {
    // Vertical faces ("@宋体") draw upright: the sheet has no vertical text.
    const QString upright = face.startsWith(QLatin1Char('@')) ? face.mid(1) : face;
    const auto& table = cjkSubstitutes();
    const auto it = table.constFind(upright);
    if (it != table.constEnd()) return *it;
    if (upright.isEmpty()) return {kSansCjk, kSansFallback};
    return {upright, kSansCjk, kSansFallback};
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
