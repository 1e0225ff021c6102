// Drawing charts into images: every kind draws its series where the axis
// geometry says, degenerate data draws no series, titles and legend
// rectangles come back as drawn, and one sample picture per kind is kept.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

#include "charts/cgraphitem.h"
#include "charts/chart_renderer.h"
#include "engine/messages.h"
#include "tests/common/testsupport.h"

using namespace qor::charts;
using qor::items::ChartDesc;
using qor::items::Rect;

namespace {

constexpr int kW = 480, kH = 360;

ChartCell num(double v) { return {1, {}, v}; }
ChartCell txt(const QString& t) { return {2, t, 0}; }

// Rows of cells, the first row and column labels; the same on each page.
ChartData makeData(const std::vector<std::vector<ChartCell>>& rows, int pages = 1) {
    ChartData d;
    d.rows = int(rows.size());
    d.cols = int(rows.front().size());
    d.pages = pages;
    for (int p = 0; p < pages; ++p) {
        for (const auto& r : rows) d.cells.insert(d.cells.end(), r.begin(), r.end());
        d.pageLabels << QString();
    }
    return d;
}

ChartData salesData() {
    return makeData({{txt(""), txt("一月"), txt("二月"), txt("三月"), txt("四月")},
                     {txt("甲"), num(30), num(50), num(20), num(80)},
                     {txt("乙"), num(40), num(10), num(60), num(25)},
                     {txt("丙"), num(15), num(35), num(45), num(55)}});
}

ChartDesc chartOf(uint32_t type) {
    ChartDesc d = ChartDesc::MakeDefault(kW, kH, 1);
    d.SetChartType(type);
    d.SetGroupByRows(true);
    return d;
}

QImage blank() {
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

struct Drawn {
    QImage image;
    ChartRenderer renderer;
    ChartDesc desc;
    bool ok = false;
};

void draw(Drawn& out, const ChartDesc& desc, const ChartData& data) {
    out.image = blank();
    out.desc = desc;
    QPainter p(&out.image);
    out.ok = out.renderer.Draw(&p, out.image.rect(), &out.desc, data);
}

QColor at(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

int countColour(const QImage& img, const QColor& c, QRect area = QRect()) {
    if (area.isNull()) area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += img.pixelColor(x, y) == c;
    return n;
}

QRect plotOf(const ChartDesc& d) {
    const Rect r = d.GetPartRect(ChartDesc::kPlotRect);
    return QRect(r.left, r.top, r.width(), r.height());
}

void saveSample(const QImage& img, uint32_t type) {
    const QString dir = qortest::artifactPath(QStringLiteral("chart_samples"));
    QDir().mkpath(dir);
    EXPECT_TRUE(img.save(QStringLiteral("%1/chart_type%2.png").arg(dir).arg(type)));
}

// The middle of bar s of category c (from the bar's foot a few pixels up).
QPoint barFoot(const AxisGeometry& g, int c, int s, int up = 3) {
    return {g.xOrigin + c * g.slot + int(0.1 * g.slot) + s * g.bar + g.bar / 2, g.zeroY - up};
}

}  // namespace

TEST(ChartRender, BarKindsDrawTheirBarsInPaletteColours) {
    const ChartData data = salesData();
    for (uint32_t type : {kPlainBar, kSumBar, kGroupedBar, kBar3D, kGroupedBar3D}) {
        SCOPED_TRACE(type);
        Drawn d;
        draw(d, chartOf(type), data);
        ASSERT_TRUE(d.ok);
        ASSERT_TRUE(d.renderer.DrewSeries());
        saveSample(d.image, type);
        const AxisGeometry& g = d.renderer.Geometry();
        EXPECT_EQ(g.categories, 4);
        ASSERT_GT(g.bar, 2);
        const bool bySeries = type == kGroupedBar || type == kGroupedBar3D;
        // Category 3, last series: coloured by series or by category.
        const int s = g.series - 1;
        EXPECT_EQ(at(d.image, barFoot(g, 3, s).x(), barFoot(g, 3, s).y()),
                  PaletteColor(bySeries ? s : 3));
        // The top of the highest bar of the plain chart (80) meets its value.
        if (type == kPlainBar) {
            const int top = g.zeroY - int(std::lround(80 * g.pixelsPerUnit));
            EXPECT_EQ(at(d.image, barFoot(g, 3, 0).x(), top + 1), PaletteColor(3));
            EXPECT_NE(at(d.image, barFoot(g, 3, 0).x(), top - 2), PaletteColor(3));
            EXPECT_EQ(g.scale, (ValueScale{80, 0, 1}));
        }
        if (type == kBar3D) {
            EXPECT_GT(g.depth, 0);
            // Above the front face's top lies the half-bright top face.
            const int top = g.zeroY - int(std::lround(80 * g.pixelsPerUnit));
            const QPoint p = barFoot(g, 3, 0);
            EXPECT_EQ(at(d.image, p.x() + g.depth / 2, top - g.depth / 2),
                      DarkerFace(PaletteColor(3), 1));
        }
    }
}

TEST(ChartRender, StackedBarsGoBothWaysFromTheZeroLine) {
    ChartData data = makeData({{txt(""), txt("A"), txt("B")},
                               {txt("x"), num(40), num(-20)},
                               {txt("y"), num(30), num(-10)}});
    Drawn d;
    draw(d, chartOf(kStackedBar), data);
    ASSERT_TRUE(d.renderer.DrewSeries());
    saveSample(d.image, kStackedBar);
    const AxisGeometry& g = d.renderer.Geometry();
    const int x = g.xOrigin + g.slot + g.slot / 2;  // category B
    EXPECT_EQ(at(d.image, x, g.zeroY + 3), PaletteColor(0));
    EXPECT_EQ(at(d.image, x, g.zeroY + int(25 * g.pixelsPerUnit)), PaletteColor(1));
    const int xa = g.xOrigin + g.slot / 2;  // category A: 40 then 30 on top
    EXPECT_EQ(at(d.image, xa, g.zeroY - int(60 * g.pixelsPerUnit)), PaletteColor(1));
}

TEST(ChartRender, LinesAndAreaFollowTheValues) {
    const ChartData data = salesData();
    Drawn line;
    draw(line, chartOf(kGroupedLine), data);
    saveSample(line.image, kGroupedLine);
    ASSERT_TRUE(line.renderer.DrewSeries());
    const AxisGeometry& g = line.renderer.Geometry();
    // Each series' polyline passes through its first point.
    for (int s = 0; s < 3; ++s) {
        const double v = data.At(0, s + 1, 1).value;
        EXPECT_EQ(at(line.image, g.xOrigin, g.zeroY - int(std::lround(v * g.pixelsPerUnit))),
                  PaletteColor(s))
            << s;
    }
    Drawn plain;
    draw(plain, chartOf(kPlainLine), data);
    saveSample(plain.image, kPlainLine);
    EXPECT_GT(countColour(plain.image, PaletteColor(0), plotOf(plain.desc)), 100);
    EXPECT_EQ(countColour(plain.image, PaletteColor(1), plotOf(plain.desc)), 0);

    Drawn area;
    draw(area, chartOf(kArea), data);
    saveSample(area.image, kArea);
    const AxisGeometry& ga = area.renderer.Geometry();
    const QColor fill(0x40, 0x80, 0x80);
    EXPECT_EQ(at(area.image, ga.xOrigin + ga.slot / 2, ga.zeroY - 4), fill);
    // Above the line between 30 and 50 is no longer the area.
    EXPECT_NE(at(area.image, ga.xOrigin + 2, ga.zeroY - int(45 * ga.pixelsPerUnit)), fill);
}

TEST(ChartRender, PieSlicesTurnCounterClockwiseFromTheRight) {
    ChartData data =
        makeData({{txt(""), txt("a"), txt("b"), txt("c")}, {txt("x"), num(25), num(-25), num(50)}});
    Drawn d;
    ChartDesc desc = chartOf(kPie);
    draw(d, desc, data);
    saveSample(d.image, kPie);
    ASSERT_TRUE(d.renderer.DrewSeries());
    const Rect plot = desc.GetPartRect(ChartDesc::kPlotRect);
    const QPoint c((plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2);
    // a: 0..90 degrees (up-right), b (negative, counted by size): 90..180,
    // c: the lower half.
    EXPECT_EQ(at(d.image, c.x() + 20, c.y() - 20), PaletteColor(0));
    EXPECT_EQ(at(d.image, c.x() - 20, c.y() - 20), PaletteColor(1));
    EXPECT_EQ(at(d.image, c.x(), c.y() + 30), PaletteColor(2));
    // The pie has no axis titles.
    EXPECT_LT(d.desc.GetPartRect(ChartDesc::kXTitleRect).width(), 0);
    EXPECT_LT(d.desc.GetPartRect(ChartDesc::kYTitleRect).width(), 0);
}

TEST(ChartRender, PieEdgeCases) {
    // One non-zero value: a whole disc in the colour of its index.
    ChartData single = makeData({{txt(""), txt("a"), txt("b")}, {txt("x"), num(0), num(7)}});
    Drawn d;
    ChartDesc desc = chartOf(kPie);
    draw(d, desc, single);
    ASSERT_TRUE(d.renderer.DrewSeries());
    const Rect plot = desc.GetPartRect(ChartDesc::kPlotRect);
    const QPoint c((plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2);
    for (QPoint off : {QPoint(20, 0), QPoint(-20, 0), QPoint(0, 20), QPoint(0, -20)})
        EXPECT_EQ(at(d.image, c.x() + off.x(), c.y() + off.y()), PaletteColor(1));
    EXPECT_EQ(countColour(d.image, PaletteColor(0), plotOf(desc)), 0);

    // A plot 30 pixels high leaves a radius below 17: nothing.
    ChartDesc flat = chartOf(kPie);
    flat.SetPartRect(ChartDesc::kPlotRect, {100, 100, 300, 130});
    draw(d, flat, single);
    EXPECT_FALSE(d.renderer.DrewSeries());
    EXPECT_EQ(countColour(d.image, PaletteColor(1), plotOf(flat)), 0);

    // All zero (or not numbers at all): nothing, and nothing divides by 0.
    ChartData zero = makeData({{txt(""), txt("a")}, {txt("x"), num(0)}});
    draw(d, chartOf(kPie), zero);
    EXPECT_FALSE(d.renderer.DrewSeries());
}

TEST(ChartRender, PiePagesAreHatched) {
    ChartData data = makeData({{txt(""), txt("a"), txt("b")}, {txt("x"), num(1), num(1)}}, 3);
    data.pageLabels = QStringList{"一", "二", "三"};
    Drawn d;
    draw(d, chartOf(kPie), data);
    ASSERT_TRUE(d.renderer.DrewSeries());
    // Solid slices for page 1 only: page 2 and 3 mix their colour with the
    // white hatch background.
    const int solid = countColour(d.image, PaletteColor(0));
    EXPECT_GT(solid, 300);
    EXPECT_GT(countColour(d.image, Qt::white), 1000);
}

TEST(ChartRender, DegenerateDataDrawsAxesOnly) {
    Drawn d;
    ChartData zero = makeData({{txt(""), txt("a"), txt("b")}, {txt("x"), num(0), num(0)}});
    for (uint32_t type : {kPlainBar, kStackedBar, kPlainLine, kArea, kBar3D}) {
        draw(d, chartOf(type), zero);
        EXPECT_TRUE(d.ok);
        EXPECT_FALSE(d.renderer.DrewSeries()) << type;
        EXPECT_EQ(d.renderer.Geometry().scale, (ValueScale{10, 0, 0}));
    }
    // A label row alone, or one data cell under a label.
    ChartData labelsOnly = makeData({{txt(""), txt("a"), txt("b")}});
    ChartData oneCell = makeData({{num(5)}});
    for (const ChartData* data : {&labelsOnly, &oneCell})
        for (uint32_t type = 0; type <= kLastChartType; ++type) {
            draw(d, chartOf(type), *data);
            EXPECT_TRUE(d.ok);
            EXPECT_FALSE(d.renderer.DrewSeries()) << type;
        }
    // One category on a line chart: a single point, no line, no crash.
    ChartData one = makeData({{txt(""), txt("a")}, {txt("x"), num(5)}});
    draw(d, chartOf(kPlainLine), one);
    EXPECT_EQ(countColour(d.image, PaletteColor(0), plotOf(d.desc)), 0);
    // A plot squeezed to nothing still draws without a negative scale.
    ChartDesc tiny = chartOf(kPlainBar);
    tiny.SetPartRect(ChartDesc::kPlotRect, {10, 10, 14, 12});
    draw(d, tiny, salesData());
    EXPECT_GT(d.renderer.Geometry().pixelsPerUnit, 0);
}

TEST(ChartRender, AnUnknownTypeWritesTheMessage) {
    Drawn d;
    ChartDesc desc = chartOf(10);
    draw(d, desc, salesData());
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(desc.GetPartRect(ChartDesc::kLegendRect), d.desc.GetPartRect(ChartDesc::kLegendRect));
    int dark = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x) dark += at(d.image, x, y).lightness() < 128;
    EXPECT_GT(dark, 10);
}

TEST(ChartRender, TitlesComeBackAsDrawn) {
    ChartDesc desc = chartOf(kPlainBar);
    ASSERT_TRUE(desc.SetText(ChartDesc::kXTitleText, QString()));
    ASSERT_TRUE(desc.SetText(ChartDesc::kTitleText, QStringLiteral("销售情况")));
    Drawn d;
    draw(d, desc, salesData());
    // An empty title can no longer be hit.
    const Rect x = d.desc.GetPartRect(ChartDesc::kXTitleRect);
    EXPECT_LT(x.width(), 0);
    EXPECT_LT(x.height(), 0);
    // A title's rectangle covers its text: wider than tall, taller than
    // the font's size, and ink lies inside it.
    const Rect t = d.desc.GetPartRect(ChartDesc::kTitleRect);
    const Rect before = desc.GetPartRect(ChartDesc::kTitleRect);
    EXPECT_EQ(t.left, before.left);
    EXPECT_EQ(t.top, before.top);
    EXPECT_GT(t.height(), 10);
    EXPECT_GT(t.width(), t.height());
    int ink = 0;
    for (int yy = t.top; yy < t.bottom; ++yy)
        for (int xx = t.left; xx < t.right; ++xx) ink += at(d.image, xx, yy).lightness() < 128;
    EXPECT_GT(ink, 10);
    // The Y title stands upright: taller than wide.
    const Rect y = d.desc.GetPartRect(ChartDesc::kYTitleRect);
    EXPECT_GT(y.height(), y.width());
    // A one-group chart lists its four categories in the legend.
    EXPECT_EQ(d.desc.GetPartRect(ChartDesc::kLegendRect), desc.GetPartRect(ChartDesc::kLegendRect));
    const Rect lg = desc.GetPartRect(ChartDesc::kLegendRect);
    const int h = d.renderer.CharSize().height();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(at(d.image, lg.left + 8, lg.top + 2 + i * (h + 2) + h / 2), PaletteColor(i)) << i;
}

TEST(ChartRender, PictureReplaysIntoTheItem) {
    ChartDesc desc = chartOf(kPlainBar);
    auto picture = RenderChartPicture(&desc, salesData(), QSize(kW, kH));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->boundingRect(), QRect(0, 0, kW, kH));
    CGraphItem item;
    item.SetPicture(std::move(picture));
    QImage img(kW / 2, kH / 2, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        item.Draw(&p, {0, 0, kW / 2, kH / 2});
    }
    EXPECT_GT(countColour(img, PaletteColor(3)), 50);

    QImage dpi(10, 10, QImage::Format_RGB32);
    dpi.setDotsPerMeterX(3780);  // 96 dpi
    dpi.setDotsPerMeterY(3780);
    EXPECT_EQ(MeasuredExtent(&dpi, QRect(0, 0, 96, 48)), QSize(2540, 1270));
}

// A printed chart keeps its characters: the PDF's text layer gives back the
// labels and titles as written, never the look-alike radicals (行 once came
// back as U+2F8F from chart text while cell text was right).
TEST(ChartRender, PdfTextLayerKeepsTheLabels) {
    if (!qortest::needProgram("pdftotext")) GTEST_SKIP() << "no pdftotext";
    const ChartData data = makeData({{txt(""), txt("银行存款"), txt("应收账款"), txt("入库")},
                                     {txt("期初数"), num(30), num(50), num(20)},
                                     {txt("期末数"), num(40), num(10), num(60)}});
    ChartDesc desc = chartOf(kPlainBar);
    ASSERT_TRUE(desc.SetText(ChartDesc::kTitleText, QStringLiteral("银行存款余额")));
    ASSERT_TRUE(desc.SetFont(ChartDesc::kTitleFont, {QStringLiteral("黑体"), 16, 0}));
    ASSERT_TRUE(desc.SetText(ChartDesc::kXTitleText, QStringLiteral("行次")));
    const QString path = qortest::freshDir(QStringLiteral("ChartPdf")) + "/chart.pdf";
    {
        // As a printed page does: the chart's picture played into the page.
        auto picture = RenderChartPicture(&desc, data, QSize(kW, kH));
        ASSERT_TRUE(picture);
        CGraphItem item;
        item.SetPicture(std::move(picture));
        QPdfWriter pdf(path);
        QPainter p(&pdf);
        p.scale(pdf.logicalDpiX() / 72.0, pdf.logicalDpiY() / 72.0);
        item.Draw(&p, {20, 20, 20 + kW, 20 + kH});
    }
    const qortest::ProcessResult r = qortest::run("pdftotext", {path, "-"});
    ASSERT_EQ(r.exitCode, 0);
    const QString text = QString::fromUtf8(r.out).remove(QLatin1Char(' '));
    for (const char* word : {"银行存款", "应收账款", "入库", "银行存款余额", "行次"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << word << "\n" << text.toStdString();
    for (QChar c : text)
        EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() < 0x2FE0) << std::hex << int(c.unicode());
}

// At the default layout of a small chart the legend is narrow: it widens
// into the plot until names of several characters fit, and the plot's bars
// stay left of it.
TEST(ChartRender, TheLegendWidensUntilItsNamesFit) {
    constexpr int w = 300, h = 200;
    ChartDesc desc = ChartDesc::MakeDefault(w, h, 1);
    desc.SetChartType(kStackedBar);
    desc.SetGroupByRows(true);
    const ChartData data = makeData({{txt(""), txt("一月"), txt("二月"), txt("三月")},
                                     {txt("银行存款"), num(30), num(50), num(20)},
                                     {txt("应收账款"), num(40), num(10), num(60)},
                                     {txt("固定资产"), num(15), num(35), num(45)}});
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    ChartRenderer renderer;
    ChartDesc drawn = desc;
    ASSERT_TRUE(renderer.Draw(&p, image.rect(), &drawn, data));
    p.end();
    image.save(qortest::artifactPath(QStringLiteral("chart_samples/narrow_legend.png")));
    const Rect before = desc.GetPartRect(ChartDesc::kLegendRect);
    const Rect legend = drawn.GetPartRect(ChartDesc::kLegendRect);
    QFont font(LoadErrorText(qor::str::kFontName0));
    font.setPixelSize(12);  // the renderer's text
    const int nameWidth = QFontMetrics(font, &image).horizontalAdvance(QStringLiteral("应收账款"));
    EXPECT_EQ(legend.right, before.right);
    EXPECT_LT(legend.left, before.left);
    EXPECT_GE(legend.width(), std::min(w / 2, nameWidth + 16));
    // The bars end left of the legend.
    const int barsRight = renderer.Geometry().xOrigin + renderer.Geometry().slot * 3;
    EXPECT_LE(barsRight, legend.left);
    // The description's own layout is kept: only the drawn legend is wider.
    EXPECT_EQ(desc.GetPartRect(ChartDesc::kPlotRect), drawn.GetPartRect(ChartDesc::kPlotRect));
}

// A new chart at the size the sheet gives it (300 by 200 pixels): the
// vertical axis title is drawn whole, clear of the value labels, and
// inside the chart.
TEST(ChartRender, TheAxisTitlesShowWholeAtTheDefaultSize) {
    constexpr int w = 300, h = 200;
    ChartDesc desc = ChartDesc::MakeDefault(w, h, 1);
    desc.SetChartType(kPlainBar);
    desc.SetGroupByRows(true);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    ChartRenderer renderer;
    ChartDesc drawn = desc;
    const ChartData data = makeData({{txt(""), txt("一月"), txt("二月"), txt("三月")},
                                     {txt("收入"), num(80000.5), num(123456), num(45000)},
                                     {txt("支出"), num(62000), num(98000), num(30500)}});
    ASSERT_TRUE(renderer.Draw(&p, image.rect(), &drawn, data));
    p.end();
    QDir().mkpath(qortest::artifactPath(QStringLiteral("chart_samples")));
    image.save(qortest::artifactPath(QStringLiteral("chart_samples/default_size.png")));
    // The vertical title lies inside the chart, left of the value labels,
    // and all of its ink is inside its part (a click there finds it).
    const Rect y = drawn.GetPartRect(ChartDesc::kYTitleRect);
    const QRect yRect(y.left, y.top, y.width(), y.height());
    EXPECT_TRUE(image.rect().contains(yRect));
    auto ink = [&image](const QRect& area) {
        int n = 0;
        for (int row = area.top(); row <= area.bottom(); ++row)
            for (int col = area.left(); col <= area.right(); ++col)
                n += qGray(image.pixel(col, row)) < 160;
        return n;
    };
    const int inside = ink(yRect);
    EXPECT_GT(inside, 30);
    EXPECT_EQ(ink(QRect(0, 0, y.right + 1, h)), inside);
    EXPECT_LT(y.right, renderer.Geometry().xOrigin - 20);
}

TEST(ChartRender, CategoryLabelsNeverRunTogether) {
    // Account names under a chart of the default size: wider than a slot
    // each, they are thinned to every other (or third...) slot, each
    // written whole where it has room and clear of its neighbours.
    const std::vector<ChartCell> names{txt(""),         txt("银行存款"), txt("应收账款"),
                                       txt("其他应收款"), txt("存货"),     txt("固定资产"),
                                       txt("短期借款"),   txt("应付账款"), txt("应交税费")};
    std::vector<ChartCell> values{txt("期末")};
    for (size_t i = 1; i < names.size(); ++i) values.push_back(num(double(i) * 1000));
    const ChartData data = makeData({names, values});
    for (const auto& [type, file] : {std::pair{uint32_t(0), "account_bars.png"},
                                     std::pair{uint32_t(4), "account_lines.png"}}) {
        for (const int width : {300, 480, 1200}) {
            Drawn d;
            ChartDesc desc = ChartDesc::MakeDefault(width, kH, 1);
            desc.SetChartType(type);
            desc.SetGroupByRows(true);
            d.image = QImage(width, kH, QImage::Format_RGB32);
            d.image.fill(Qt::white);
            d.desc = desc;
            QPainter p(&d.image);
            ASSERT_TRUE(d.renderer.Draw(&p, d.image.rect(), &d.desc, data));
            p.end();
            const std::vector<QRect>& labels = d.renderer.CategoryLabelRects();
            ASSERT_FALSE(labels.empty()) << width;
            for (size_t i = 0; i < labels.size(); ++i)
                for (size_t j = i + 1; j < labels.size(); ++j)
                    EXPECT_FALSE(labels[i].adjusted(0, 0, 1, 0).intersects(labels[j]))
                        << width << " " << i << " " << j;
            // Thinned only as far as needed: a wide chart shows them all.
            if (width == 1200) {
                EXPECT_EQ(labels.size(), names.size() - 1);
            }
            if (width == 480 && type == 0) {
                QDir().mkpath(qortest::artifactPath(QStringLiteral("chart_samples")));
                d.image.save(qortest::artifactPath(QStringLiteral("chart_samples/") + file));
            }
        }
    }
}
