// Cell painting: the choice and fitting of cell texts, the drawing tables,
// and renders of a sample report (checked on pixels and through a painter
// that records what it is asked to draw).

#include <gtest/gtest.h>

#include <QDir>
#include <QFontInfo>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPicture>
#include <QTextItem>
#include <algorithm>
#include <memory>

#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/textutil.h"
#include "view/cellpainter.h"
#include "print/paint_celltext.h"
#include "print/paint_style.h"
#include "print/sheetgeometry.h"
#include "tests/common/testsupport.h"
#include "tests/view/recordingdevice.h"

using namespace qor;
using namespace qor::view;

namespace {

// ---------------------------------------------------------------------------
// Text measuring without a font: Latin characters 6 wide, others 12, lines
// 10 high with the baseline 8 down.
class StubMetrics : public TextMetrics {
public:
    int width(const QString& text) const override {
        int w = 0;
        for (QChar c : text) w += c.unicode() < 0x800 ? 6 : 12;
        return w;
    }
    int height() const override { return 10; }
    int ascent() const override { return 8; }
    int averageCharWidth() const override { return 6; }
};

constexpr uint32_t kRight = CQorsDoc::kDrawRight;
constexpr uint32_t kVCentre = CQorsDoc::kDrawVCentre;
constexpr uint32_t kWrap = CQorsDoc::kDrawWordBreak;
constexpr uint32_t kSingle = CQorsDoc::kDrawSingleLine;

QStringList lineTexts(const CellTextLayout& l) {
    QStringList out;
    for (const CellTextLine& line : l.lines) out << line.text;
    return out;
}

TEST(CellTextChoice, FormatStateShowsOnlyTableTextsAndTheFormulaLabel) {
    CellTextFacts f;
    f.dataState = false;
    f.kind = 1;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNone);
    f.kind = 2;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNone);
    f.kind = 3;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kLabel);

    f.kind = 1;
    f.formulaState = 1;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kFormulaLabel);
    f.printing = true;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNone);
    // A combined area never shows the label, only what its kind shows.
    f.printing = false;
    f.combinedArea = true;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNone);
    f.kind = 3;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kLabel);
}

TEST(CellTextChoice, DataStateShowsEveryKindAndErrorsWin) {
    CellTextFacts f;
    f.dataState = true;
    f.kind = 1;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNumber);
    f.kind = 2;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kText);
    f.kind = 3;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kLabel);
    f.dataOnly = true;  // overlay printing leaves the printed form's texts out
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNone);
    f.dataOnly = false;
    // A computed formula shows its value in data state.
    f.kind = 1;
    f.formulaState = 1;
    EXPECT_EQ(ChooseCellText(f), CellTextSource::kNumber);
    for (bool data : {false, true})
        for (bool print : {false, true}) {
            f.dataState = data;
            f.printing = print;
            f.formulaState = 2;
            EXPECT_EQ(ChooseCellText(f), CellTextSource::kErrorLabel) << data << print;
        }
}

TEST(CellTextLayout, NumbersThatDoNotFitBecomeHashes) {
    StubMetrics m;
    const items::Rect cell{10, 10, 40, 30};  // 30 wide
    // 5 characters, 30 wide: fits exactly, right-aligned at the right edge.
    CellTextLayout l = LayoutCellText("12345", 1, kRight | kSingle, cell, m);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_EQ(l.lines[0].text, "12345");
    EXPECT_EQ(l.lines[0].x, 10);
    EXPECT_EQ(l.lines[0].baseline, 18);
    // One more digit does not fit: one "#" per character.
    l = LayoutCellText("-12345", 1, kRight | kSingle, cell, m);
    EXPECT_EQ(lineTexts(l), QStringList{"######"});
    EXPECT_TRUE(l.clip);
    // Texts are clipped, never hashed.
    l = LayoutCellText("abcdefgh", 2, kSingle, cell, m);
    EXPECT_EQ(lineTexts(l), QStringList{"abcdefgh"});
    EXPECT_EQ(l.lines[0].x, 10);
}

TEST(CellTextLayout, AlignmentAndVerticalCentre) {
    StubMetrics m;
    const items::Rect cell{0, 0, 100, 40};
    CellTextLayout l = LayoutCellText("ab", 2, CQorsDoc::kDrawCentre | kVCentre, cell, m);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_EQ(l.lines[0].x, 50 - 6);
    EXPECT_EQ(l.lines[0].baseline, (40 - 10) / 2 + 8);
    l = LayoutCellText("ab", 2, CQorsDoc::kDrawBottom, cell, m);
    EXPECT_EQ(l.lines[0].baseline, 40 - 10 + 8);
}

TEST(CellTextLayout, WrappingBreaksWhereTheNextCharacterWouldNotFit) {
    StubMetrics m;
    // 40 wide: three Chinese characters (36) leave 4, less than one more.
    const items::Rect cell{0, 0, 40, 40};
    CellTextLayout l = LayoutCellText("中文字符测试", 2, kWrap | kVCentre, cell, m);
    EXPECT_EQ(lineTexts(l), (QStringList{"中文字", "符测试"}));
    EXPECT_EQ(l.lines[0].baseline, (40 - 2 * 10) / 2 + 8);
    EXPECT_EQ(l.lines[1].baseline, l.lines[0].baseline + 10);
    // Latin characters count one average width each.
    l = LayoutCellText("abcdefghij", 2, kWrap, cell, m);
    EXPECT_EQ(lineTexts(l), (QStringList{"abcdef", "ghij"}));
    // A line break in the text starts a new line.
    l = LayoutCellText("ab\r\ncd", 2, kWrap, cell, m);
    EXPECT_EQ(lineTexts(l), (QStringList{"ab", "cd"}));
}

TEST(CellTextLayout, WrappedTextLargerThanTheCellBecomesHashes) {
    StubMetrics m;
    // 72 wide x 10 high = 720 > 40 x 15 = 600.
    const CellTextLayout l = LayoutCellText("中文字符测试", 2, kWrap, {0, 0, 40, 15}, m);
    const QString all = lineTexts(l).join(QString());
    EXPECT_EQ(all, QString(6, QLatin1Char('#')));
}

TEST(CellTextLayout, CellsWithoutInsideDrawNothing) {
    StubMetrics m;
    // Cells of 2 and 1 pixels lose their inside to the frame (width 0 and
    // -1 after shrinking); wrapping and centring must not divide by that.
    for (int w : {0, -1})
        for (uint32_t f : {kWrap | kVCentre, kSingle | kVCentre, kWrap}) {
            const CellTextLayout l = LayoutCellText("中文", 1, f, {5, 5, 5 + w, 30}, m);
            EXPECT_TRUE(l.lines.empty()) << w << f;
        }
    EXPECT_TRUE(LayoutCellText("x", 2, kWrap | kVCentre, {0, 5, 30, 5}, m).lines.empty());
    EXPECT_TRUE(LayoutCellText("", 2, kSingle, {0, 0, 30, 30}, m).lines.empty());
}

TEST(CellTextLayout, FontWidthsMatchShapedWidths) {
    for (const char* face : {"宋体", "黑体", "Tahoma"}) {
        FontDesc fd;
        fd.face = face;
        fd.height = 16;
        const QFontMetrics fm(MakeFont(fd));
        const FontTextMetrics m(fm);
        for (const QString& t :
             {QString("1,234,567.50"), QString("-0.25%"), QString("项目5000"),
              QString("单位名称：某某有限公司"), QString("￥99.90"), QString("#########")}) {
            EXPECT_EQ(m.width(t), fm.horizontalAdvance(t)) << face << " " << t.toStdString();
            EXPECT_EQ(m.width(t), m.width(t));  // the cached answer is the same
        }
        // Texts that need shaping are shaped.
        const QString arabic = QString::fromUtf8("مرحبا");
        EXPECT_EQ(m.width(arabic), fm.horizontalAdvance(arabic));
        EXPECT_EQ(m.width("e\u0301"), fm.horizontalAdvance("e\u0301"));
        EXPECT_GT(m.averageCharWidth(), 0);
    }
}

TEST(CellTextLayout, KeywordTexts) {
    StubMetrics m;
    const uint32_t cellFormat = CQorsDoc::kDrawCentre | kRight | kVCentre;
    EXPECT_EQ(KeywordDrawFormat(cellFormat, 0), kVCentre);
    EXPECT_EQ(KeywordDrawFormat(cellFormat, 1), kVCentre);
    EXPECT_EQ(KeywordDrawFormat(kVCentre, 2), kVCentre | kRight);
    const CellTextLayout l = LayoutKeywordText("年：2024", kRight, {0, 0, 20, 20}, m);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_FALSE(l.clip);
    EXPECT_EQ(l.lines[0].text, "年：2024");  // never hashed, may run past the cell
    EXPECT_EQ(l.lines[0].x, 20 - m.width("年：2024"));
}

// ---------------------------------------------------------------------------
// Tables

TEST(PaintStyle, ColoursArePaintedTurnedRound) {
    EXPECT_EQ(RgbFromColorRef(0xFF0000), qRgb(0, 0, 255));  // stored blue
    EXPECT_EQ(RgbFromColorRef(0x0000FF), qRgb(255, 0, 0));
    EXPECT_EQ(RgbFromColorRef(0xFF0080), qRgb(0x80, 0, 0xFF));
    EXPECT_EQ(ColorFromRef(kCellPalette[kColourYellow]), QColor(255, 255, 0));
    EXPECT_EQ(KindColorRef(1), 0xFF0000u);
    EXPECT_EQ(KindColorRef(2), 0xFF0080u);
    EXPECT_EQ(KindColorRef(3), 0x008000u);
}

TEST(PaintStyle, PensOfTheLineCodes) {
    for (int code : {-1, 0, 8, 15}) EXPECT_EQ(CellLinePen(code, false).style(), Qt::NoPen) << code;
    EXPECT_EQ(CellLinePen(7, false).widthF(), 3.0);
    // Printing works in points: 15 twips per pixel of a solid pen; broken
    // lines stay one device pixel wide.
    EXPECT_DOUBLE_EQ(CellLinePen(1, true).widthF(), 0.75);
    EXPECT_DOUBLE_EQ(CellLinePen(7, true).widthF(), 2.25);
    for (bool print : {false, true})
        for (int code = 2; code <= 5; ++code)
            EXPECT_TRUE(CellLinePen(code, print).isCosmetic()) << code;
    EXPECT_EQ(PatternBrushStyle(6), Qt::NoBrush);
}

TEST(PaintStyle, FontFacesMapToInstalledFamilies) {
    // Families whose glyphs name one character each come first, the Noto
    // families behind them.
    EXPECT_EQ(SubstituteFontFamilies("宋体").value(0), "AR PL UMing CN");
    EXPECT_EQ(SubstituteFontFamilies("仿宋_GB2312").value(0), "AR PL UMing CN");
    EXPECT_EQ(SubstituteFontFamilies("黑体").value(0), "WenQuanYi Zen Hei");
    EXPECT_TRUE(SubstituteFontFamilies("宋体").contains("Noto Serif CJK SC"));
    EXPECT_EQ(SubstituteFontFamilies("@黑体"), SubstituteFontFamilies("黑体"));
    const QStringList kai = SubstituteFontFamilies("楷体_GB2312");
    EXPECT_TRUE(kai.contains("AR PL UMing CN"));
    EXPECT_TRUE(kai.contains("Noto Serif CJK SC"));
    EXPECT_NE(kai.value(0), "AR PL UMing CN");  // a Kai family is preferred
    EXPECT_EQ(SubstituteFontFamilies("Arial").value(0), "Arial");
    EXPECT_TRUE(SubstituteFontFamilies("Arial").contains("WenQuanYi Zen Hei"));
    EXPECT_TRUE(SubstituteFontFamilies("Arial").contains("Noto Sans CJK SC"));

    // Drawing uses the substitute, not whatever the system would pick.
    FontDesc fd;
    fd.face = "宋体";
    fd.height = 16;
    EXPECT_EQ(QFontInfo(MakeFont(fd)).family(), "AR PL UMing CN");
    fd.face = "黑体";
    EXPECT_EQ(QFontInfo(MakeFont(fd)).family(), "WenQuanYi Zen Hei");
    fd.face = "楷体_GB2312";
    const QString kaiFamily = QFontInfo(MakeFont(fd)).family();
    EXPECT_TRUE(kaiFamily.contains("Kai", Qt::CaseInsensitive) || kaiFamily == "AR PL UMing CN")
        << kaiFamily.toStdString();
}

// ---------------------------------------------------------------------------
// A sample report

void ok(uint16_t status, const char* what) { EXPECT_EQ(status, 0) << what; }

CellArea area1(int r1, int c1, int r2, int c2) { return CellArea::area(r1, c1, r2, c2); }

void combine(CReportHandle* r, int r1, int c1, int r2, int c2) {
    CellArea a = area1(r1, c1, r2, c2);
    ok(r->CombineCells(&a), "combine");
}

void areaLines(CReportHandle* r, int r1, int c1, int r2, int c2, int type, int style) {
    CellArea a = area1(r1, c1, r2, c2);
    ok(r->DrawAreaLines(&a, type, style), "area lines");
}

void setFormat(CReportHandle* r, const CellArea& a, int code, int value) {
    int32_t v = value;
    ok(r->AccessAreaFormat(1, code, &v, &a), "format");
}

void setLabel(CReportHandle* r, int row, int col, const QString& text) {
    ok(r->SetCellValue({kCellLabel, 0, text}, row, col), "label");
}

// 1-based report coordinates below. Rows 1..24, columns A..G:
//   1  title "资产负债表", combined A1:G1, 黑体 16 pt bold, centred
//   2  keywords: unit (slot 0) in A2, year (slot 2) in F2
//   3  column heads on silver, bold, centred, framed
//   4-8 items: labels, numbers with thousands and two decimals, a
//      character column, a percent column, a currency column; D8 a formula
//   9  the row variable area (extent 5; three lines used in data state)
//   10-11 "附注" combined A10:B11 on yellow with a hatch; a diagonal over
//      C10:D11
//   12 a number too wide for column B, a wrapped text in E12
//   13 fonts: 楷体 italic, Arial underlined, a red text
//   14 the check-line area C14:D14 (data state)
struct SampleReport {
    CQorsDoc doc;

    void build() {
        ASSERT_TRUE(doc.Files().OnNewDocument());
        CReportHandle* r = doc.GetReport();
        ASSERT_NE(r, nullptr);
        uint16_t rows = 24, cols = 7;
        ok(r->AccessTableSize(1, &rows, &cols), "size");
        const uint16_t widths[7] = {80, 34, 80, 80, 90, 60, 50};
        for (int c = 0; c < 7; ++c) {
            uint16_t w = widths[c];
            ok(r->AccessRowColSize(1, 1, c + 1, &w), "width");
        }
        uint16_t h = 26;
        ok(r->AccessRowColSize(1, 0, 1, &h), "title height");

        combine(r, 1, 1, 1, 7);
        setLabel(r, 1, 1, "资产负债表");
        setFormat(r, area1(1, 1, 1, 1), kFmtFont, 2);
        setFormat(r, area1(1, 1, 1, 1), kFmtFontSize, 5);
        setFormat(r, area1(1, 1, 1, 1), kFmtFontStyle, kFontBold);
        setFormat(r, area1(1, 1, 1, 1), kFmtHAlign, kAlignCentre);

        CellRef unit{0, 2, 1}, year{0, 2, 6};
        ok(r->AccessKeywordCell(1, 0, &unit), "keyword 0");
        ok(r->AccessKeywordCell(1, 2, &year), "keyword 2");

        const char* heads[7] = {"项目", "行次", "年初数", "期末数", "说明", "比率", "金额"};
        for (int c = 0; c < 7; ++c) setLabel(r, 3, c + 1, QString::fromUtf8(heads[c]));
        setFormat(r, area1(3, 1, 3, 7), kFmtBackground, kColourSilver);
        setFormat(r, area1(3, 1, 3, 7), kFmtFontStyle, kFontBold);
        setFormat(r, area1(3, 1, 3, 7), kFmtHAlign, kAlignCentre);
        areaLines(r, 3, 1, 8, 7, 0, 1);
        areaLines(r, 3, 1, 8, 7, 3, 6);

        const char* items[5] = {"货币资金", "应收账款", "存货", "固定资产", "合计"};
        for (int i = 0; i < 5; ++i) {
            setLabel(r, 4 + i, 1, QString::fromUtf8(items[i]));
            setLabel(r, 4 + i, 2, QString::number(i + 1));
        }
        setFormat(r, area1(4, 2, 8, 2), kFmtHAlign, kAlignCentre);
        setFormat(r, area1(4, 3, 8, 4), kFmtKind, kCellNumber);
        setFormat(r, area1(4, 3, 8, 4), kFmtThousands, 1);
        setFormat(r, area1(4, 3, 8, 4), kFmtDecimals, 2);
        setFormat(r, area1(4, 5, 8, 5), kFmtKind, kCellText);
        setFormat(r, area1(4, 6, 8, 6), kFmtPercent, 1);
        setFormat(r, area1(4, 6, 8, 6), kFmtDecimals, 1);
        setFormat(r, area1(4, 7, 8, 7), kFmtCurrency, 1);
        setFormat(r, area1(4, 7, 8, 7), kFmtDecimals, 2);
        CellArea sum = area1(8, 4, 8, 4);
        ok(r->SetAreaFormula(&sum, "D4+D5+D6+D7"), "formula");

        int kind = 1, start = 9, extent = 5;
        ok(r->AccessVarArea(1, &kind, &start, &extent), "variable area");
        setLabel(r, 9, 1, "明细");
        setFormat(r, area1(9, 3, 9, 3), kFmtDecimals, 2);
        setFormat(r, area1(9, 5, 9, 5), kFmtKind, kCellText);

        combine(r, 10, 1, 11, 2);
        setLabel(r, 10, 1, "附注");
        setFormat(r, area1(10, 1, 11, 2), kFmtBackground, kColourYellow);
        setFormat(r, area1(10, 1, 11, 2), kFmtPattern, 1);
        setFormat(r, area1(10, 1, 11, 2), kFmtHAlign, kAlignCentre);
        areaLines(r, 10, 3, 11, 4, 4, 1);

        setFormat(r, area1(12, 5, 12, 5), kFmtKind, kCellText);
        setFormat(r, area1(12, 5, 12, 5), kFmtWrap, 1);
        setFormat(r, area1(12, 5, 12, 5), kFmtVAlign, kAlignStart);
        uint16_t tall = 40;
        ok(r->AccessRowColSize(1, 0, 12, &tall), "row 12 height");

        setLabel(r, 13, 1, "楷体斜体");
        setFormat(r, area1(13, 1, 13, 1), kFmtFont, 3);
        setFormat(r, area1(13, 1, 13, 1), kFmtFontStyle, kFontItalic);
        setLabel(r, 13, 3, "Arial");
        setFormat(r, area1(13, 3, 13, 3), kFmtFont, 9);
        setFormat(r, area1(13, 3, 13, 3), kFmtFontStyle, kFontUnderline);
        setLabel(r, 13, 5, "红色");
        setFormat(r, area1(13, 5, 13, 5), kFmtForeground, kColourRed);
    }

    void enterData() {
        ASSERT_TRUE(doc.EnterDataState());
        CReportHandle* r = doc.GetReport();
        int used = 3;
        ok(r->AccessVarCount(1, &used), "lines used");
        ok(r->SetPageKeyword(0, {2, 0, "某某有限公司"}, 0), "unit");
        ok(r->SetPageKeyword(2, {1, 2024, {}}, 0), "year");
        const double begin[4] = {1234567.5, 89000, 4500.25, 1000000};
        const double end[4] = {2345678.75, 91000.5, 3999, 980000};
        for (int i = 0; i < 4; ++i) {
            ok(r->SetCellValue(CellValue::ofNumber(begin[i]), 4 + i, 3), "begin");
            ok(r->SetCellValue(CellValue::ofNumber(end[i]), 4 + i, 4), "end");
            ok(r->SetCellValue(CellValue::ofText(QString("说明%1").arg(i + 1)), 4 + i, 5), "text");
            ok(r->SetCellValue(CellValue::ofNumber(12.5 * (i + 1)), 4 + i, 6), "percent");
            ok(r->SetCellValue(CellValue::ofNumber(99.9 * (i + 1)), 4 + i, 7), "money");
        }
        for (int i = 0; i < 3; ++i) {
            ok(r->SetCellValue(CellValue::ofNumber(100.5 * (i + 1)), 9 + i, 3), "detail");
            ok(r->SetCellValue(CellValue::ofText(QString("明细%1").arg(i + 1)), 9 + i, 5),
               "detail text");
        }
        // Rows after the area moved down by the two extra lines in use.
        ok(r->SetCellValue(CellValue::ofNumber(123456789012.5), 14, 2), "too wide");
        ok(r->SetCellValue(CellValue::ofText("一段需要自动换行显示的较长说明文字"), 14, 5),
           "wrapped");
        CellArea check = area1(16, 3, 16, 4);
        ok(r->SetCheckLineArea(r->GetCurPage(), &check), "check line");
    }

    void showBreaks() {
        doc.SetShowPageBreaks(true);
        qor::ManualBreakTable manual = doc.ViewState().manualBreaks;
        manual[0].row = 6;
        manual[0].col = 3;
        doc.SetManualBreaks(manual);
        doc.SetAutoBreaks({{-1, 17, 5}, {-1, -1, 0}});
    }
};

struct View {
    DocSheetSource source;
    SheetGeometry geo;
    explicit View(const CQorsDoc* doc, int firstRow = 0, int firstCol = 0)
        : source(doc), geo(&source, 1.4f) {
        geo.SetHeaders(42, 21);
        geo.SetFirstCell(firstRow, firstCol);
        geo.Refresh();
    }
};

QImage render(const CQorsDoc& doc, const SheetGeometry& geo, QSize size,
              PaintMode mode = PaintMode::kImage, PaintResult* result = nullptr) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);  // anything left unpainted shows
    QPainter p(&image);
    PaintRequest req;
    req.doc = &doc;
    req.geometry = &geo;
    req.clientSize = size;
    req.mode = mode;
    const PaintResult r = PaintSheet(p, req);
    if (result) *result = r;
    return image;
}

// The client y of the top of a row and x of the left of a column.
int rowTop(const SheetGeometry& g, int row) {
    return g.HeaderHeight() + g.GetRowDistance(g.FirstRow(), row);
}
int colLeft(const SheetGeometry& g, int col) {
    return g.HeaderWidth() + g.GetColumnDistance(g.FirstColumn(), col);
}

constexpr QRgb kGrid = 0xFFC0C0C0;

// ---------------------------------------------------------------------------
// A paint device that records what it is asked to draw instead of drawing.
class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        texts.push_back({p, item.text()});
    }
    void drawLines(const QLine* l, int n) override {
        for (int i = 0; i < n; ++i) lines.push_back(l[i]);
    }
    void drawLines(const QLineF* l, int n) override {
        for (int i = 0; i < n; ++i) lines.push_back(l[i].toLine());
    }
    void drawRects(const QRect* r, int n) override {
        for (int i = 0; i < n; ++i) rects.push_back(r[i]);
    }
    void drawRects(const QRectF* r, int n) override {
        for (int i = 0; i < n; ++i) rects.push_back(r[i].toRect());
    }
    void drawPath(const QPainterPath&) override { ++paths; }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}

    struct Text {
        QPointF at;
        QString text;
    };
    std::vector<Text> texts;
    std::vector<QLine> lines;
    std::vector<QRect> rects;
    int paths = 0;

    int countText(const QString& t) const {
        return int(
            std::count_if(texts.begin(), texts.end(), [&](const Text& x) { return x.text == t; }));
    }
};

using RecordingDevice = RecordingPaintDevice<RecordingEngine, 96>;

RecordingEngine& record(const CQorsDoc& doc, const SheetGeometry& geo, RecordingDevice& dev,
                        QRect clip = {}) {
    QPainter p(&dev);
    PaintRequest req;
    req.doc = &doc;
    req.geometry = &geo;
    req.clientSize = QSize(dev.width(), dev.height());
    req.clip = clip;
    req.mode = PaintMode::kImage;
    PaintSheet(p, req);
    return dev.engine;
}

// ---------------------------------------------------------------------------

TEST(SheetPaint, SampleReportRendersToPng) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    s.showBreaks();
    const QSize size(720, 480);

    View formatView(&s.doc);
    PaintResult formatResult;
    const QImage formatImage =
        render(s.doc, formatView.geo, size, PaintMode::kImage, &formatResult);

    s.enterData();
    if (HasFatalFailure()) return;
    View dataView(&s.doc);
    // A one-cell selection and a chart item, so both show in the picture.
    s.doc.Selection().SetSelection(3, 2, 5, 3);
    auto chart = std::make_shared<CGraphItem>();
    {
        auto picture = std::make_unique<QPicture>();
        QPainter pp(picture.get());
        pp.setPen(Qt::darkBlue);
        pp.setBrush(QColor(120, 160, 220));
        pp.drawRect(0, 40, 30, 60);
        pp.drawRect(40, 20, 30, 80);
        pp.drawRect(80, 0, 30, 100);
        pp.end();
        chart->SetPicture(std::move(picture));
    }
    chart->SetPage(0);
    chart->SetRect({520, 300, 660, 420});
    s.doc.Items().AddComItem(chart);
    const QImage dataImage = render(s.doc, dataView.geo, size, PaintMode::kScreen);

    // The picture a person looks at: format state above, data state below.
    QImage sheet(size.width(), size.height() * 2 + 8, QImage::Format_RGB32);
    sheet.fill(QColor(60, 60, 60));
    {
        QPainter p(&sheet);
        p.drawImage(0, 0, formatImage);
        p.drawImage(0, size.height() + 8, dataImage);
    }
    const QString path = qortest::artifactPath(QStringLiteral("view-sample.png"));
    ASSERT_TRUE(sheet.save(path, "PNG")) << path.toStdString();

    // Nothing is left unpainted.
    for (const QImage* img : {&formatImage, &dataImage})
        for (int y = 0; y < img->height(); y += 7)
            for (int x = 0; x < img->width(); x += 7)
                ASSERT_NE(img->pixel(x, y), QColor(Qt::magenta).rgb()) << x << "," << y;

    // Format state: plain cells have grid lines in the grid colour.
    const SheetGeometry& fg = formatView.geo;
    const int y20 = rowTop(fg, 19);
    const int xMidA = colLeft(fg, 0) + 20;
    EXPECT_EQ(formatImage.pixel(xMidA, y20), kGrid);
    EXPECT_EQ(formatImage.pixel(colLeft(fg, 3), rowTop(fg, 19) + 5), kGrid);
    // Inside the title area the grid lines between its cells are gone.
    const int titleMid = rowTop(fg, 0) + fg.GetRowHeightPixels(0) / 2;
    EXPECT_EQ(formatImage.pixel(colLeft(fg, 6), titleMid), qRgb(255, 255, 255));
    EXPECT_EQ(formatImage.pixel(colLeft(fg, 6), rowTop(fg, 1) + 5), kGrid);
    // Header strips: light grey, the corner included.
    EXPECT_EQ(formatImage.pixel(5, 5), qRgb(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(formatResult.lastCol, 6);
    EXPECT_TRUE(formatResult.columnsEnd);
    // Past the sheet's last column nothing but white.
    ASSERT_LT(colLeft(fg, 7) + 10, size.width());
    EXPECT_EQ(formatImage.pixel(colLeft(fg, 7) + 10, rowTop(fg, 19) + 3), qRgb(255, 255, 255));
    EXPECT_EQ(formatImage.pixel(colLeft(fg, 7) + 10, rowTop(fg, 19)), qRgb(255, 255, 255));

    // Data state: no grid. Rows 17.. have no borders, so their lines are
    // white all along the sheet (the page-break lines are black or white).
    const SheetGeometry& dg = dataView.geo;
    for (int row = 17; row < 21; ++row) {
        const int y = rowTop(dg, row);
        for (int x = dg.HeaderWidth(); x < std::min(colLeft(dg, 7), size.width()); ++x)
            ASSERT_NE(dataImage.pixel(x, y), kGrid) << "row " << row << " x " << x;
    }
    // The note area: yellow with a black hatch.
    const int noteRow = dg.ViewRow(11);  // report row 10 of the data page
    int yellow = 0, black = 0;
    for (int y = rowTop(dg, noteRow) + 2; y < rowTop(dg, noteRow) + 12; ++y)
        for (int x = colLeft(dg, 0) + 2; x < colLeft(dg, 0) + 12; ++x) {
            const QRgb px = dataImage.pixel(x, y) & 0xFFFFFF;
            yellow += px == 0xFFFF00;
            black += px == 0;
        }
    EXPECT_GT(yellow, 50);
    EXPECT_GT(black, 5);
    // The silver column heads.
    EXPECT_EQ(dataImage.pixel(colLeft(dg, 0) + 5, rowTop(dg, 2) + 3), qRgb(0xC0, 0xC0, 0xC0));
}

TEST(SheetPaint, CombinedAreaIsDrawnOnceHoweverLittleShows) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    const QString title = "资产负债表";

    {
        View v(&s.doc);
        RecordingDevice dev(QSize(700, 400));
        EXPECT_EQ(record(s.doc, v.geo, dev).countText(title), 1);
    }
    {
        // Scrolled so the area's first columns are off the window.
        View v(&s.doc, 0, 2);
        RecordingDevice dev(QSize(700, 400));
        EXPECT_EQ(record(s.doc, v.geo, dev).countText(title), 1);
    }
    {
        // A repaint of a strip in the middle of the area (neither its first
        // column nor the first visible one) still draws it, once.
        View v(&s.doc);
        RecordingDevice dev(QSize(700, 400));
        const QRect strip(colLeft(v.geo, 3) + 5, 0, 30, 200);
        EXPECT_EQ(record(s.doc, v.geo, dev, strip).countText(title), 1);
    }
}

TEST(SheetPaint, FormatStateLabelsAndFormulaCells) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    View v(&s.doc);
    RecordingDevice dev(QSize(720, 600));
    RecordingEngine& e = record(s.doc, v.geo, dev);
    EXPECT_EQ(e.countText("货币资金"), 1);
    EXPECT_EQ(e.countText("公式单元"), 1);      // D8
    EXPECT_EQ(e.countText("1,234,567.50"), 0);  // numbers only in data state
    // Keywords show their names in format state.
    const QString name = s.doc.GetKeywordDisplayText(0, false);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_EQ(e.countText(name), 1);
}

TEST(SheetPaint, DataStateTextsThroughTheirFormats) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    s.enterData();
    if (HasFatalFailure()) return;
    View v(&s.doc);
    RecordingDevice dev(QSize(720, 700));
    RecordingEngine& e = record(s.doc, v.geo, dev);
    const SheetGeometry& g = v.geo;
    EXPECT_EQ(e.countText("1,234,567.50"), 1);
    EXPECT_EQ(e.countText("12.5%"), 1);
    EXPECT_EQ(e.countText(CurrencySymbol(CurrencySymbolIndex()) + "99.90"), 1);
    EXPECT_EQ(e.countText("说明1"), 1);
    EXPECT_EQ(e.countText("公式单元"), 0);
    for (const char* t : {"明细1", "明细2", "明细3"}) EXPECT_EQ(e.countText(t), 1) << t;
    // 123456789012.50 does not fit column B: one "#" per character.
    const QString wide = FormatNumberCell(s.doc, 13, 1);
    EXPECT_EQ(wide, "123456789012.50");
    EXPECT_EQ(e.countText(QString(wide.size(), QLatin1Char('#'))), 1);
    EXPECT_EQ(e.countText(wide), 0);
    EXPECT_EQ(e.countText(s.doc.GetKeywordDisplayText(0, false)), 1);
    EXPECT_GE(e.paths, 1);  // the check mark
    // The diagonal over C10:D11 of the form sits below the two extra lines
    // the variable area uses on this page.
    const QLine diagonal(colLeft(g, 2), rowTop(g, 13), colLeft(g, 4), rowTop(g, 15));
    EXPECT_NE(std::find(e.lines.begin(), e.lines.end(), diagonal), e.lines.end());
    // The long text comes in lines, each a piece of it.
    const QString longText = "一段需要自动换行显示的较长说明文字";
    QString joined;
    for (const auto& t : e.texts)
        if (t.at.x() >= colLeft(g, 4) && t.at.y() > rowTop(g, 15) && t.at.y() < rowTop(g, 17) &&
            t.text != "红色")
            joined += t.text;
    EXPECT_EQ(joined, longText);
}

TEST(SheetPaint, PageBreakLines) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    CReportHandle* r = s.doc.GetReport();
    uint16_t zero = 0;
    ok(r->AccessRowColSize(1, 0, 3, &zero), "row 2 hidden");  // view row 2
    s.doc.SetShowPageBreaks(true);
    qor::ManualBreakTable manual = s.doc.ViewState().manualBreaks;
    manual[0].row = 2;  // the next row's top is the header's edge
    manual[1].row = 4;
    manual[0].col = 1;
    s.doc.SetManualBreaks(manual);
    // Row list ends at its own terminator (entry 1), the column list at
    // entry 2; entry 3 is stale.
    s.doc.SetAutoBreaks({{-1, 5, 3}, {-1, -1, 4}, {-1, -1, 0}, {-1, 9, 6}});

    View v(&s.doc, 2, 0);
    QImage image(QSize(720, 600), QImage::Format_RGB32);
    QPainter p(&image);
    PaintRequest req;
    req.doc = &s.doc;
    req.geometry = &v.geo;
    req.clientSize = image.size();
    CellPainter painter(p, req);
    painter.Paint();
    const SheetGeometry& g = v.geo;
    const int right = 720, bottom = 600;
    const std::vector<BreakLine> expected = {
        {QLine(colLeft(g, 2), 21, colLeft(g, 2), bottom), true},
        {QLine(42, rowTop(g, 5), right, rowTop(g, 5)), true},
        {QLine(42, rowTop(g, 5), right, rowTop(g, 5)), false},
        {QLine(colLeft(g, 3), 21, colLeft(g, 3), bottom), false},
        {QLine(colLeft(g, 4), 21, colLeft(g, 4), bottom), false},
    };
    EXPECT_EQ(painter.PageBreakLines(), expected);
    EXPECT_EQ(rowTop(g, 3), 21);  // the skipped manual break's line

    s.doc.SetShowPageBreaks(false);
    EXPECT_TRUE(painter.PageBreakLines().empty());
}

TEST(SheetPaint, CellFontsComeFromTheFontAttributes) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    FontDesc f;
    ASSERT_TRUE(BuildCellFont(s.doc, 0, 3, 1.4, &f));  // inside the title area
    EXPECT_EQ(f.face, "黑体");
    EXPECT_EQ(f.height, 22);  // 16 pt x 1.4, truncated
    EXPECT_EQ(f.weight, kFontWeightBold);
    ASSERT_TRUE(BuildCellFont(s.doc, 12, 0, 1.4, &f));
    EXPECT_EQ(f.face, "楷体_GB2312");
    EXPECT_TRUE(f.italic);
    EXPECT_FALSE(f.underline);
    ASSERT_TRUE(BuildCellFont(s.doc, 12, 2, 2.0, &f));
    EXPECT_EQ(f.face, "Arial");
    EXPECT_TRUE(f.underline);
    int32_t sizeIndex = -1;
    const CellArea arial = CellArea::cell(13, 3);
    ASSERT_EQ(s.doc.GetReport()->AccessAreaFormat(0, kFmtFontSize, &sizeIndex, &arial), 0);
    EXPECT_EQ(f.height, kFontSizePoints[sizeIndex & 15] * 2);
    CQorsDoc closed;
    EXPECT_FALSE(BuildCellFont(closed, 0, 0, 1.4, &f));
}

TEST(SheetPaint, PrintingLeavesTheFormulaLabelOut) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    View v(&s.doc);
    RecordingDevice dev(QSize(720, 1200));
    QPainter p(&dev);
    PaintRequest req;
    req.doc = &s.doc;
    req.geometry = &v.geo;
    req.clientSize = QSize(720, 1200);
    req.mode = PaintMode::kPrint;
    const PaintResult result = PaintSheet(p, req);
    p.end();
    EXPECT_EQ(dev.engine.countText("公式单元"), 0);
    EXPECT_EQ(dev.engine.countText("货币资金"), 1);
    EXPECT_EQ(dev.engine.countText("A"), 0);  // no header strips
    EXPECT_EQ(result.lastRow, v.geo.LastRow());
}

TEST(SheetPaint, SelectionOverlayAndHeaders) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    // The current cell lies in the title area: the selection shows the
    // whole area, and the document's selection is left as it was.
    s.doc.Selection().SetCurrentCell(0, 3);
    const CellArea before = s.doc.Selection().Area();
    View v(&s.doc);
    const QSize size(720, 300);
    const QImage image = render(s.doc, v.geo, size, PaintMode::kScreen);
    EXPECT_EQ(s.doc.Selection().Area(), before);
    const SheetGeometry& g = v.geo;
    const int mid = rowTop(g, 0) + 3;
    EXPECT_EQ(image.pixel(colLeft(g, 6) + 3, mid), qRgb(166, 166, 190));
    EXPECT_EQ(image.pixel(colLeft(g, 0) + 3, mid), qRgb(166, 166, 190));
    EXPECT_EQ(image.pixel(colLeft(g, 2) + 3, rowTop(g, 1) + 5), qRgb(255, 255, 255));

    // A whole-column selection: its header cells dark grey.
    s.doc.Selection().SetSelection(0, 2, v.geo.LastRow(), 3);
    s.doc.Selection().SetWholeColumns(true);
    const QImage whole = render(s.doc, v.geo, size, PaintMode::kScreen);
    EXPECT_EQ(whole.pixel(colLeft(g, 2) + 4, 4), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(whole.pixel(colLeft(g, 4) + 4, 4), qRgb(0xC0, 0xC0, 0xC0));
    // In the selection: overlay, except over the current cell.
    EXPECT_EQ(whole.pixel(colLeft(g, 3) + 4, rowTop(g, 4) + 3), qRgb(166, 166, 190));
    EXPECT_EQ(whole.pixel(colLeft(g, 2) + 4, rowTop(g, 4) + 3), qRgb(166, 166, 190));
}

TEST(SheetPaint, KindColours) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    s.enterData();
    if (HasFatalFailure()) return;
    View v(&s.doc);
    auto countInCell = [&](const QImage& img, int row, int col, auto pred) {
        int n = 0;
        for (int y = rowTop(v.geo, row) + 1; y < rowTop(v.geo, row + 1) - 1; ++y)
            for (int x = colLeft(v.geo, col) + 1; x < colLeft(v.geo, col + 1) - 1; ++x)
                n += pred(QColor(img.pixel(x, y)));
        return n;
    };
    auto blue = [](const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; };
    auto green = [](const QColor& c) { return c.green() > 80 && c.red() < 40 && c.blue() < 40; };
    QImage image(QSize(720, 400), QImage::Format_RGB32);
    {
        QPainter p(&image);
        PaintRequest req;
        req.doc = &s.doc;
        req.geometry = &v.geo;
        req.clientSize = image.size();
        req.mode = PaintMode::kImage;
        req.kindColours = true;
        PaintSheet(p, req);
    }
    EXPECT_GT(countInCell(image, 3, 2, blue), 10);   // a number
    EXPECT_GT(countInCell(image, 3, 0, green), 10);  // a table text
    const QImage plain = render(s.doc, v.geo, image.size());
    EXPECT_EQ(countInCell(plain, 3, 2, blue), 0);  // black by the cell's own colour
}

TEST(SheetPaint, HiddenHeadersStartTheSheetAtTheEdge) {
    SampleReport s;
    s.build();
    if (HasFatalFailure()) return;
    View v(&s.doc);
    v.geo.SetHeaders(0, 0);
    const QImage image = render(s.doc, v.geo, QSize(400, 600));
    // Row 3 (silver heads) begins at the window's left edge, and the grid
    // line under row 19 runs from x = 0.
    EXPECT_EQ(image.pixel(1, rowTop(v.geo, 2) + 3), qRgb(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(image.pixel(2, rowTop(v.geo, 19)), kGrid);
    EXPECT_EQ(image.pixel(2, rowTop(v.geo, 19) + 3), qRgb(255, 255, 255));
}

}  // namespace

namespace {

// The labels of the row strip (top to bottom) or the column strip (left to
// right) as drawn.
QStringList headerLabels(const CQorsDoc& doc, const SheetGeometry& geo, bool columns) {
    RecordingDevice dev(QSize(1400, 900));
    const RecordingEngine& e = record(doc, geo, dev);
    std::vector<RecordingEngine::Text> strip;
    for (const RecordingEngine::Text& t : e.texts) {
        const bool inRows = t.at.x() < geo.HeaderWidth() && t.at.y() > geo.HeaderHeight();
        const bool inCols = t.at.y() < geo.HeaderHeight() && t.at.x() > geo.HeaderWidth();
        if (columns ? inCols : inRows) strip.push_back(t);
    }
    std::sort(strip.begin(), strip.end(), [columns](const auto& a, const auto& b) {
        return columns ? a.at.x() < b.at.x() : a.at.y() < b.at.y();
    });
    QStringList labels;
    for (const auto& t : strip) labels << t.text;
    return labels;
}

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i) out << QString::number(i);
    return out;
}

}  // namespace

// The headers number the rows and columns as the name box, the formulas and
// the dialogs do: after an area of 8 lines the stored row 4 is row 4 in
// format state and row 3 + lines in use in data state, never 3 + extent.
TEST(SheetPaint, HeadersNumberTheLinesAsTheReportDoes) {
    for (const int kind : {1, 2}) {
        SCOPED_TRACE(kind == 1 ? "row area" : "column area");
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnNewDocument());
        CReportHandle* r = doc.GetReport();
        uint16_t rows = 8, cols = 6;
        ok(r->AccessTableSize(1, &rows, &cols), "size");
        int k = kind, start = 3, extent = 8;
        ok(r->AccessVarArea(1, &k, &start, &extent), "area");
        const bool columns = kind == 2;
        const QStringList letters = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K"};
        const QStringList formatWant = columns ? letters.mid(0, 6) : numbers(1, 8);
        {
            View v(&doc);
            EXPECT_EQ(headerLabels(doc, v.geo, columns), formatWant);
            // The other strip is not touched by the area.
            EXPECT_EQ(headerLabels(doc, v.geo, !columns), columns ? numbers(1, 8) : letters.mid(0, 6));
        }
        ASSERT_TRUE(doc.EnterDataState());
        int used = 6;
        ok(r->AccessVarCount(1, &used), "lines used");
        View v(&doc);
        EXPECT_EQ(headerLabels(doc, v.geo, columns), columns ? letters.mid(0, 11) : numbers(1, 13));
        // The row after the area is the one the name box calls row 9 (I).
        const int after = columns ? v.geo.ViewColumn(8) : v.geo.ViewRow(8);
        EXPECT_EQ(columns ? v.geo.DocColumn(after) : v.geo.DocRow(after), 8);
    }
}
