#pragma once
// Draws a chart from its description and data through QPainter, into any
// device: the chart window, a printer, an image or a recorded picture.
// Nothing is cached between drawings except what the chart window asks
// back afterwards (character size, pie margins, the axis geometry).

#include <QBrush>
#include <QColor>
#include <QPicture>
#include <QRect>
#include <QSize>
#include <memory>
#include <vector>

#include "charts/chart_data.h"
#include "charts/chart_scale.h"
#include "charts/chartdesc.h"

class QPainter;
class QPaintDevice;

namespace qor::charts {

// Series or category i uses entry i mod 16.
QColor PaletteColor(int index);
// The colour of a 3-D bar's side (shift 2) or top (shift 1) face.
QColor DarkerFace(const QColor& c, int shift);

// What one drawing laid out.
struct AxisGeometry {
    int categories = 0;
    int series = 0;
    int pages = 0;
    int slot = 0;   // pixels per category
    int bar = 0;    // pixels per bar
    int depth = 0;  // 3-D bars only
    QRect plot;     // the plot after margins and label room
    int xOrigin = 0;
    int zeroY = 0;  // the zero line
    double pixelsPerUnit = 0;
    ValueScale scale;
};

class ChartRenderer {
public:
    // Draws the chart of *desc into rect; the description's rectangles are
    // taken relative to rect's top-left. The legend and title rectangles
    // are written back as drawn (empty for an empty title, and for the
    // pie's axis titles). False, with a message drawn at rect's corner,
    // when the type is not one of the ten.
    bool Draw(QPainter* painter, const QRect& rect, qor::items::ChartDesc* desc,
              const ChartData& data);

    QSize CharSize() const { return m_charSize; }
    const AxisGeometry& Geometry() const { return m_geo; }
    // True when series were drawn (a positive step and something to draw).
    bool DrewSeries() const { return m_drewSeries; }
    // Where the category labels under the axis were written (the text's
    // own extent, inside its clip), one per label shown.
    const std::vector<QRect>& CategoryLabelRects() const { return m_categoryLabels; }

private:
    void layoutAxes(QPainter* p, const QRect& plotRect, uint32_t type, bool pageLabels);
    void drawAxes(QPainter* p, const ChartData& data, bool pageLabels);
    void drawSeries(QPainter* p, uint32_t type);
    void drawBars(QPainter* p, uint32_t type);
    void drawStacked(QPainter* p);
    void drawLines(QPainter* p);
    void drawArea(QPainter* p);
    void drawPie(QPainter* p, const QRect& plotRect);
    void drawBars3D(QPainter* p, uint32_t type);
    struct LegendEntry {
        QString label;
        QBrush brush;
        QColor background = Qt::white;
    };
    std::vector<LegendEntry> legendEntries(uint32_t type, const ChartData& data) const;
    // Widens the legend to the left, into the plot, until its labels fit
    // (at most half the chart's width): the default layout leaves it too
    // narrow for names of several characters.
    void fitLegend(QPainter* p, qor::items::Rect* plot, qor::items::Rect* legend,
                   const std::vector<LegendEntry>& entries, int chartWidth) const;
    qor::items::Rect drawLegend(QPainter* p, const qor::items::Rect& r,
                                const std::vector<LegendEntry>& entries);
    qor::items::Rect drawTitle(QPainter* p, const QString& text, const qor::items::Rect& r,
                               bool vertical, const qor::items::ChartFont& font);
    int valueY(double v) const;

    QPoint m_origin;
    std::vector<QRect> m_categoryLabels;
    SeriesValues m_values;
    AxisGeometry m_geo;
    QSize m_charSize;
    QSize m_pieMargins;
    bool m_drewSeries = false;
};

// The size of rect in HIMETRIC (0.01 mm) on the device: what a chart
// drawn there measures.
QSize MeasuredExtent(const QPaintDevice* device, const QRect& rect);

// The chart recorded as a picture of size w x h (the item's cached
// drawing); the description's rectangles as drawn go to *desc.
std::unique_ptr<QPicture> RenderChartPicture(qor::items::ChartDesc* desc, const ChartData& data,
                                             QSize size);

}  // namespace qor::charts
