#include "charts/chart_renderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

#include "charts/fontfamilies.h"
#include "charts/itemsupport.h"
#include "engine/messages.h"

namespace qor::charts {

using qor::items::ChartDesc;
using qor::items::ChartFont;
using qor::items::Rect;
using qor::items::SubstituteFontFamilies;

namespace {

constexpr uint32_t kPalette[16] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00,
                                   0x000080, 0x008000, 0x800000, 0x008080, 0x800080, 0x808000,
                                   0x0000C0, 0x00C000, 0xC00000, 0x00C0C0};
constexpr Qt::BrushStyle kPieHatch[6] = {Qt::HorPattern,   Qt::VerPattern,   Qt::CrossPattern,
                                         Qt::BDiagPattern, Qt::FDiagPattern, Qt::DiagCrossPattern};
// Colours are kept as the description's 0x00BBGGRR values.
QColor fromColorRef(uint32_t c) {
    return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}
const QColor kGridGrey = fromColorRef(0xC0C0C0);
const QColor kAreaFill = fromColorRef(0x808040);

QRect toQRect(const Rect& r, QPoint origin) {
    return QRect(r.left + origin.x(), r.top + origin.y(), r.width(), r.height());
}

// A filled block between two heights, as wide as given; nothing when flat.
void fillBlock(QPainter* p, int x, int w, int y1, int y2, const QColor& c) {
    if (w <= 0 || y1 == y2) return;
    p->fillRect(QRect(x, std::min(y1, y2), w, std::abs(y1 - y2)), c);
}

bool isLineType(uint32_t t) { return t == kPlainLine || t == kGroupedLine || t == kArea; }
bool is3D(uint32_t t) { return t == kBar3D || t == kGroupedBar3D; }

}  // namespace

QColor PaletteColor(int index) { return fromColorRef(kPalette[((index % 16) + 16) % 16]); }

QColor DarkerFace(const QColor& c, int shift) {
    return QColor(c.red() >> shift, c.green() >> shift, c.blue() >> shift);
}

int ChartRenderer::valueY(double v) const {
    const double dy = v * m_geo.pixelsPerUnit;
    if (!std::isfinite(dy)) return m_geo.zeroY;
    return m_geo.zeroY - int(std::lround(std::clamp(dy, -1e7, 1e7)));
}

bool ChartRenderer::Draw(QPainter* p, const QRect& rect, ChartDesc* desc, const ChartData& data) {
    m_geo = AxisGeometry{};
    m_categoryLabels.clear();
    m_drewSeries = false;
    m_origin = rect.topLeft();
    const uint32_t type = desc->GetChartType();
    p->save();
    // The chart's labels take the families the cells take, so that a
    // printed chart keeps its characters in the PDF's text layer.
    QFont chartFont;
    chartFont.setFamilies(SubstituteFontFamilies(LoadErrorText(str::kFontName0)));
    chartFont.setPixelSize(12);
    chartFont.setWeight(QFont::Normal);
    p->setFont(chartFont);
    if (!BuildSeriesValues(*desc, data, &m_values)) {
        p->setPen(Qt::black);
        p->drawText(rect, Qt::AlignLeft | Qt::AlignTop, LoadErrorText(str::kInsertChartNoMemory));
        p->restore();
        return false;
    }
    const QFontMetrics fm(chartFont, p->device());
    m_charSize = QSize(fm.horizontalAdvance(LoadErrorText(str::kChartCountry)), fm.height());
    m_geo.categories = m_values.categories;
    m_geo.series = m_values.series;
    m_geo.pages = m_values.pages;

    Rect plotRect = desc->GetPartRect(ChartDesc::kPlotRect);
    Rect legendRect = desc->GetPartRect(ChartDesc::kLegendRect);
    const std::vector<LegendEntry> entries = legendEntries(type, data);
    fitLegend(p, &plotRect, &legendRect, entries, rect.width());
    bool hidePageLabels = true;
    if (m_values.pages >= 2)
        for (const QString& l : data.pageLabels)
            if (!l.isEmpty()) hidePageLabels = false;

    if (type != kPie) {
        m_geo.scale = ComputeValueScale(type, m_values);
        layoutAxes(p, toQRect(plotRect, m_origin), type, !hidePageLabels);
        drawAxes(p, data, !hidePageLabels);
    } else {
        p->setPen(Qt::black);
        p->setBrush(Qt::NoBrush);
        const QRect r = toQRect(plotRect, m_origin);
        if (r.width() > 0 && r.height() > 0) p->drawRect(r.adjusted(0, 0, -1, -1));
        m_geo.scale.step = 1.0;
    }
    if (m_geo.scale.step > 0 && !m_values.IsEmpty()) {
        if (type == kPie)
            drawPie(p, toQRect(plotRect, m_origin));
        else
            drawSeries(p, type);
    }
    desc->SetPartRect(ChartDesc::kLegendRect, drawLegend(p, legendRect, entries));
    desc->SetPartRect(
        ChartDesc::kTitleRect,
        drawTitle(p, desc->GetText(ChartDesc::kTitleText), desc->GetPartRect(ChartDesc::kTitleRect),
                  false, desc->GetFont(ChartDesc::kTitleFont)));
    for (auto [rectPart, text, font, vertical] :
         {std::tuple{ChartDesc::kXTitleRect, ChartDesc::kXTitleText, ChartDesc::kXTitleFont, false},
          std::tuple{ChartDesc::kYTitleRect, ChartDesc::kYTitleText, ChartDesc::kYTitleFont,
                     true}}) {
        Rect r = desc->GetPartRect(rectPart);
        if (type == kPie)
            r.right = r.left - 1;  // the pie has no axes to name
        else
            r = drawTitle(p, desc->GetText(text), r, vertical, desc->GetFont(font));
        desc->SetPartRect(rectPart, r);
    }
    p->restore();
    return true;
}

void ChartRenderer::layoutAxes(QPainter* p, const QRect& plotRect, uint32_t type, bool pageLabels) {
    const QFontMetrics fm(p->font(), p->device());
    const int w99 = fm.horizontalAdvance(QStringLiteral("-99"));
    const int h99 = fm.height();
    const int mx = plotRect.width() / 100, my = plotRect.height() / 100;
    int left = plotRect.left() + mx + w99;
    int top = plotRect.top() + my;
    int right = plotRect.left() + plotRect.width() - mx;
    int bottom =
        plotRect.top() + plotRect.height() - my - m_charSize.height() * (pageLabels ? 2 : 1);
    const double step = m_geo.scale.step;
    top += (step == 1.0 || step == 0) ? h99 / 2 : m_charSize.height();

    const int n = m_geo.categories * m_geo.pages;
    const int s = std::max(1, m_geo.series);
    const int width = std::max(0, right - left);
    if (n > 0) {
        if (isLineType(type)) {
            m_geo.slot = int(width / (n - 0.5));
            if (n >= 2) right -= m_geo.slot / 2;
        } else {
            m_geo.slot = width / n;
            if (is3D(type)) {
                m_geo.bar = int(0.8 * m_geo.slot * 3 / (3 * s + 1));
                m_geo.depth = m_geo.bar / 3;
                top += m_geo.depth;
            } else {
                m_geo.bar = int(0.8 * m_geo.slot / s);
            }
        }
    }
    // A chart squeezed below its label room still gets a one-pixel plot
    // rather than a negative scale.
    if (bottom <= top) bottom = top + 1;
    if (right <= left) right = left + 1;
    m_geo.plot = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    m_geo.xOrigin = left;
    const double range = m_geo.scale.max - m_geo.scale.min;
    m_geo.pixelsPerUnit = range > 0 ? (bottom - top) / range : 0;
    m_geo.zeroY = bottom + int(std::lround(m_geo.scale.min * m_geo.pixelsPerUnit));
}

void ChartRenderer::drawAxes(QPainter* p, const ChartData& data, bool pageLabels) {
    const QRect& plot = m_geo.plot;
    const int left = plot.left(), right = plot.left() + plot.width();
    const int top = plot.top(), bottom = plot.top() + plot.height();
    const int ch = m_charSize.height();
    QPen grey(kGridGrey);
    grey.setWidth(1);
    p->setPen(grey);
    p->setBrush(Qt::NoBrush);
    p->drawRect(plot);

    const QFontMetrics fm(p->font(), p->device());
    const int w99 = fm.horizontalAdvance(QStringLiteral("-99"));
    const double step = m_geo.scale.step;
    if (step > 0) {
        const int inc = LabelIncrement(m_geo.scale);
        const int px = std::max(1, int(std::lround(inc * step * m_geo.pixelsPerUnit)));
        auto mark = [&](int y, long long label) {
            p->setPen(grey);
            p->drawLine(left, y, right - 1, y);
            p->setPen(Qt::black);
            p->drawText(QRect(left - w99 - 2, y - ch / 2, w99, ch),
                        Qt::AlignRight | Qt::AlignVCenter, QString::number(label));
        };
        for (int k = 0; m_geo.zeroY - k * px >= top; ++k) mark(m_geo.zeroY - k * px, k * 1LL * inc);
        for (int k = 1; m_geo.zeroY + k * px <= bottom; ++k)
            mark(m_geo.zeroY + k * px, -k * 1LL * inc);
        if (step != 1.0) {
            p->setPen(Qt::black);
            p->drawText(QPoint(left - w99, top - ch / 4 - 2) + QPoint(0, -fm.descent()),
                        LoadErrorText(str::kUnitLabel) + StepText(step));
        }
    }

    // Category labels under their slots (centred on the points of lines).
    // Each is clipped to the room it is given. Labels wider than a slot
    // would fill their slots edge to edge and read as one word
    // ("银行存款应收账款"), so then only every k-th label is written, k the
    // fewest slots the widest label needs with a blank either side, each
    // centred on its own slot and clipped to its k slots less the blank.
    if (m_geo.slot <= 0) return;
    const bool centred = m_geo.bar == 0 && m_geo.depth == 0;
    p->setPen(Qt::black);
    const int n = m_geo.categories * m_geo.pages;
    const int gap = std::max(2, fm.horizontalAdvance(u' '));
    int widest = 0;
    for (int c = 0; c < m_geo.categories; ++c)
        widest = std::max(widest, fm.horizontalAdvance(CategoryLabel(data, m_values, c)));
    const int every = std::max(1, (widest + gap + m_geo.slot - 1) / m_geo.slot);
    const int room = every == 1 ? m_geo.slot : every * m_geo.slot - gap;
    for (int i = 0; i < n; i += every) {
        const int mid = m_geo.xOrigin + i * m_geo.slot + (centred ? 0 : m_geo.slot / 2);
        const QRect cell(mid - room / 2, bottom + 1, room, ch);
        const QString label = CategoryLabel(data, m_values, i % m_geo.categories);
        p->save();
        p->setClipRect(cell);
        QRect drawn;
        p->drawText(cell, Qt::AlignHCenter | Qt::AlignTop, label, &drawn);
        p->restore();
        if (!label.isEmpty()) m_categoryLabels.push_back(drawn.intersected(cell));
    }
    if (!pageLabels) return;
    const int span = m_geo.categories * m_geo.slot;
    for (int pg = 0; pg < m_geo.pages && pg < data.pageLabels.size(); ++pg) {
        const int x = m_geo.xOrigin + pg * span - (centred ? m_geo.slot / 2 : 0);
        const QRect cell(x, bottom + 1 + ch, span, ch);
        p->save();
        p->setClipRect(cell);
        p->drawText(cell, Qt::AlignHCenter | Qt::AlignTop, data.pageLabels.at(pg));
        p->restore();
    }
}

void ChartRenderer::drawSeries(QPainter* p, uint32_t type) {
    m_drewSeries = true;
    switch (type) {
        case kPlainBar:
        case kSumBar:
        case kGroupedBar:
            drawBars(p, type);
            break;
        case kStackedBar:
            drawStacked(p);
            break;
        case kPlainLine:
        case kGroupedLine:
            drawLines(p);
            break;
        case kArea:
            drawArea(p);
            break;
        case kBar3D:
        case kGroupedBar3D:
            drawBars3D(p, type);
            break;
        default:
            m_drewSeries = false;
            break;
    }
}

void ChartRenderer::drawBars(QPainter* p, uint32_t type) {
    const SeriesValues& v = m_values;
    for (int pg = 0; pg < v.pages; ++pg)
        for (int c = 0; c < v.categories; ++c) {
            const int x0 =
                m_geo.xOrigin + (pg * v.categories + c) * m_geo.slot + int(0.1 * m_geo.slot);
            for (int s = 0; s < v.series; ++s)
                fillBlock(p, x0 + s * m_geo.bar, m_geo.bar, m_geo.zeroY, valueY(v.At(pg, c, s)),
                          PaletteColor(type == kGroupedBar ? s : c));
        }
}

void ChartRenderer::drawStacked(QPainter* p) {
    const SeriesValues& v = m_values;
    const int w = int(0.8 * m_geo.slot);
    for (int pg = 0; pg < v.pages; ++pg)
        for (int c = 0; c < v.categories; ++c) {
            const int x =
                m_geo.xOrigin + (pg * v.categories + c) * m_geo.slot + int(0.1 * m_geo.slot);
            double up = 0, down = 0;
            for (int s = 0; s < v.series; ++s) {
                const double val = v.At(pg, c, s);
                double& base = val > 0 ? up : down;
                const int from = valueY(base);
                base += val;
                fillBlock(p, x, w, from, valueY(base), PaletteColor(s));
            }
        }
}

void ChartRenderer::drawLines(QPainter* p) {
    const SeriesValues& v = m_values;
    for (int s = 0; s < v.series; ++s) {
        QPolygon line;
        for (int pg = 0; pg < v.pages; ++pg)
            for (int c = 0; c < v.categories; ++c)
                line << QPoint(m_geo.xOrigin + (pg * v.categories + c) * m_geo.slot,
                               valueY(v.At(pg, c, s)));
        if (line.size() < 2) continue;
        QPen pen(PaletteColor(s));
        pen.setWidth(1);
        p->setPen(pen);
        p->drawPolyline(line);
    }
}

void ChartRenderer::drawArea(QPainter* p) {
    const SeriesValues& v = m_values;
    p->setPen(Qt::black);
    p->setBrush(kAreaFill);
    for (int pg = 0; pg < v.pages; ++pg) {
        QPolygon area;
        for (int c = 0; c < v.categories; ++c) {
            const int x = m_geo.xOrigin + (pg * v.categories + c) * m_geo.slot;
            if (c == 0) area << QPoint(x, m_geo.zeroY);
            area << QPoint(x, valueY(v.At(pg, c, 0)));
            if (c == v.categories - 1) area << QPoint(x, m_geo.zeroY);
        }
        if (area.size() >= 3) p->drawPolygon(area);
    }
    p->setBrush(Qt::NoBrush);
}

void ChartRenderer::drawBars3D(QPainter* p, uint32_t type) {
    const SeriesValues& v = m_values;
    const int bar = m_geo.bar, d = m_geo.depth;
    p->setPen(Qt::black);
    for (int pg = 0; pg < v.pages; ++pg)
        for (int c = 0; c < v.categories; ++c) {
            const int x0 =
                m_geo.xOrigin + (pg * v.categories + c) * m_geo.slot + int(0.1 * m_geo.slot);
            for (int s = 0; s < v.series; ++s) {
                const int x = x0 + s * bar;
                const int y = valueY(v.At(pg, c, s));
                const int top = std::min(y, m_geo.zeroY), bottom = std::max(y, m_geo.zeroY);
                const QColor colour = PaletteColor(type == kBar3D ? c : s);
                p->setBrush(colour);
                p->drawRect(QRect(x, top, bar, bottom - top));
                p->setBrush(DarkerFace(colour, 2));
                p->drawPolygon(
                    QPolygon({QPoint(x + bar, top), QPoint(x + bar + d, top - d),
                              QPoint(x + bar + d, bottom - d), QPoint(x + bar, bottom)}));
                p->setBrush(DarkerFace(colour, 1));
                p->drawPolygon(QPolygon({QPoint(x, top), QPoint(x + d, top - d),
                                         QPoint(x + bar + d, top - d), QPoint(x + bar, top)}));
            }
        }
    p->setBrush(Qt::NoBrush);
}

void ChartRenderer::drawPie(QPainter* p, const QRect& r) {
    const SeriesValues& v = m_values;
    double total = 0;
    for (double x : v.values)
        if (std::isfinite(x)) total += std::fabs(x);
    const int hw = r.width() / 2, hh = r.height() / 2;
    m_pieMargins = QSize(int(0.02 * hw), int(0.02 * hh));
    if (!(total > 0) || !std::isfinite(total)) return;
    const int radius = std::min(hw - 4 * m_pieMargins.width(), hh - 4 * m_pieMargins.height());
    if (radius < 17) return;
    m_drewSeries = true;
    const QPoint centre(r.left() + hw, r.top() + hh);
    const QRect box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    auto pointAt = [&](double a) {
        return QPoint(centre.x() + int(std::lround(radius * std::cos(a))),
                      centre.y() - int(std::lround(radius * std::sin(a))));
    };
    constexpr double kSixteenthsPerRadian = 180.0 * 16 / std::numbers::pi;
    double angle = 0;
    p->setBackgroundMode(Qt::OpaqueMode);
    for (int pg = 0; pg < v.pages; ++pg) {
        p->setBackground(pg >= 7 ? Qt::black : Qt::white);
        const int perPage = v.categories * v.series;
        for (int i = 0; i < perPage; ++i) {
            const double x = v.values[size_t(pg * perPage + i)];
            if (x == 0 || !std::isfinite(x)) continue;
            const double frac = std::fabs(x) / total;
            const double end = angle + 2 * std::numbers::pi * frac;
            const QColor colour = PaletteColor(i);
            QPen pen(colour);
            pen.setWidth(1);
            p->setPen(pen);
            p->setBrush(pg == 0 ? QBrush(colour) : QBrush(colour, kPieHatch[(pg - 1) % 6]));
            const bool closes = pointAt(angle) == pointAt(end);
            if (closes && frac >= 0.03) {
                p->drawEllipse(box);
                p->setBackgroundMode(Qt::TransparentMode);
                p->setBrush(Qt::NoBrush);
                return;
            }
            if (!(closes && frac <= 0.02)) {
                const int a16 = int(std::lround(angle * kSixteenthsPerRadian));
                const int e16 = int(std::lround(end * kSixteenthsPerRadian));
                p->drawPie(box, a16, e16 - a16);
            }
            angle = end;
        }
    }
    p->setBackgroundMode(Qt::TransparentMode);
    p->setBackground(Qt::white);
    p->setBrush(Qt::NoBrush);
}

std::vector<ChartRenderer::LegendEntry> ChartRenderer::legendEntries(uint32_t type,
                                                                     const ChartData& data) const {
    std::vector<LegendEntry> entries;
    const SeriesValues& v = m_values;
    if (type == kPie && v.pages >= 2) {
        for (int pg = 0; pg < v.pages; ++pg)
            entries.push_back({pg < data.pageLabels.size() ? data.pageLabels.at(pg) : QString(),
                               pg == 0 ? QBrush(PaletteColor(pg))
                                       : QBrush(PaletteColor(pg), kPieHatch[(pg - 1) % 6]),
                               pg >= 7 ? QColor(Qt::black) : QColor(Qt::white)});
    } else if (type == kPlainLine || type == kArea) {
        // One line or one area is drawn, in one colour: one entry says so.
        if (!v.IsEmpty())
            entries.push_back(
                {SeriesLabel(data, v, 0), QBrush(type == kArea ? kAreaFill : PaletteColor(0))});
    } else if (v.series == 1) {
        for (int c = 0; c < v.categories; ++c)
            entries.push_back({CategoryLabel(data, v, c), QBrush(PaletteColor(c))});
    } else {
        for (int s = 0; s < v.series; ++s)
            entries.push_back({SeriesLabel(data, v, s), QBrush(PaletteColor(s))});
    }
    return entries;
}

void ChartRenderer::fitLegend(QPainter* p, Rect* plot, Rect* legend,
                              const std::vector<LegendEntry>& entries, int chartWidth) const {
    if (entries.empty() || legend->width() <= 0 || legend->height() <= 0) return;
    const QFontMetrics fm(p->font(), p->device());
    int widest = 0;
    for (const LegendEntry& e : entries) widest = std::max(widest, fm.horizontalAdvance(e.label));
    // The square, the gaps around it and a margin at the right edge.
    const int need = widest + 16 + 4;
    const int room = std::max(legend->width(), chartWidth / 2);
    const int width = std::min(need, room);
    if (width <= legend->width()) return;
    const int left = legend->right - width;
    // The plot gives way only where it reaches into the wider legend.
    if (plot->right > left && plot->left < legend->left) plot->right = std::max(plot->left, left);
    legend->left = left;
}

Rect ChartRenderer::drawLegend(QPainter* p, const Rect& legend,
                               const std::vector<LegendEntry>& entries) {
    const QRect box = toQRect(legend, m_origin);
    const int h = std::max(1, m_charSize.height());
    p->save();
    p->setClipRect(box);
    int y = box.top() + 2;
    for (const LegendEntry& e : entries) {
        if (y > box.top() + box.height()) break;
        const int x = box.left() + 4;
        const QRect square(x, y + h / 2 - 4, 8, 8);
        p->fillRect(square, e.background);
        p->fillRect(square, e.brush);
        p->setPen(Qt::black);
        p->drawText(QRect(x + 12, y, std::max(0, box.width() - 16), h),
                    Qt::AlignLeft | Qt::AlignVCenter, e.label);
        y += h + 2;
    }
    p->restore();
    p->setPen(Qt::black);
    if (box.width() > 0 && box.height() > 0) {
        const int l = box.left(), t = box.top(), r = l + box.width() - 1, b = t + box.height() - 1;
        p->drawLine(l, t, r, t);
        p->drawLine(r, t, r, b);
        p->drawLine(r, b, l, b);
        p->drawLine(l, b, l, t);
    }
    return legend;
}

Rect ChartRenderer::drawTitle(QPainter* p, const QString& text, const Rect& r, bool vertical,
                              const ChartFont& font) {
    if (text.isEmpty()) return {r.left, r.top, r.left - 1, r.top - 1};
    QFont f = p->font();
    if (!font.face.isEmpty()) f.setFamilies(SubstituteFontFamilies(font.face));
    // A record with no usable size draws at the default size.
    f.setPixelSize(font.size > 0 && font.size <= 400 ? font.size : 10);
    f.setItalic(font.style & 0xFF);
    f.setWeight((font.style >> 8 & 0xFF) ? QFont::Bold : QFont::Normal);
    f.setUnderline(font.style >> 16 & 0xFF);
    f.setStrikeOut(font.style >> 24 & 0xFF);
    const QFontMetrics fm(f, p->device());
    const int n = int(text.size());
    const int cx = fm.horizontalAdvance(text), cy = fm.height();
    p->save();
    p->setFont(f);
    p->setPen(Qt::black);
    p->setBackgroundMode(Qt::TransparentMode);
    Rect out;
    if (!vertical) {
        out = {r.left, r.top, r.left + cx + n, r.top + cy + n};
        p->drawText(QRect(m_origin.x() + r.left + n / 2, m_origin.y() + r.top + n / 2, cx, cy),
                    Qt::AlignLeft | Qt::AlignTop, text);
    } else {
        // Reads upwards: the text starts at the bottom of its rectangle.
        out = {r.left, r.top, r.left + cy + n, r.top + cx + n};
        p->translate(m_origin.x() + r.left + n / 2, m_origin.y() + r.top + n / 2 + cx);
        p->rotate(-90);
        p->drawText(QRect(0, 0, cx, cy), Qt::AlignLeft | Qt::AlignTop, text);
    }
    p->restore();
    return out;
}

QSize MeasuredExtent(const QPaintDevice* device, const QRect& rect) {
    const int dx = device && device->logicalDpiX() > 0 ? device->logicalDpiX() : 96;
    const int dy = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    return QSize(qor::items::MulDiv(rect.width(), 2540, dx),
                 qor::items::MulDiv(rect.height(), 2540, dy));
}

std::unique_ptr<QPicture> RenderChartPicture(ChartDesc* desc, const ChartData& data, QSize size) {
    auto picture = std::make_unique<QPicture>();
    {
        QPainter p(picture.get());
        ChartRenderer().Draw(&p, QRect(QPoint(0, 0), size), desc, data);
    }
    // The item scales the picture by its bounds: they are the chart's, not
    // just what happened to be inked.
    picture->setBoundingRect(QRect(QPoint(0, 0), size));
    return picture;
}

}  // namespace qor::charts
