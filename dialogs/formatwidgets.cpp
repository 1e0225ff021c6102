#include "dialogs/formatwidgets.h"

#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>

#include "engine/cellformat.h"
#include "engine/messages.h"
#include "engine/uifont.h"
#include "print/paint_style.h"

namespace qor {

namespace {

bool inPalette(int i) { return i >= 0 && i < 16; }

QIcon lineStyleIcon(int style) {
    QPixmap pm(60, 14);
    pm.fill(Qt::white);
    QPainter p(&pm);
    PaintLineStyle(p, QRect(6, 0, 48, 14), style);
    return QIcon(pm);
}

}  // namespace

QColor PaletteColour(int index) { return view::ColorFromRef(kCellPalette[index & 15]); }

QIcon FormatSwatch(const QBrush& fill, const QSize& size) {
    QPixmap pm(size);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.fillRect(pm.rect().adjusted(2, 2, -2, -2), fill);
    return QIcon(pm);
}

void FillColourCombo(QComboBox* combo) {
    combo->setIconSize(QSize(40, 14));
    for (int i = 0; i < 16; ++i)
        combo->addItem(FormatSwatch(PaletteColour(i)), QString(), QVariant(uint(kCellPalette[i])));
}

void FillPatternCombo(QComboBox* combo) {
    combo->setIconSize(QSize(40, 14));
    for (int i = 0; i < kPatternCount; ++i)
        combo->addItem(
            FormatSwatch(i ? QBrush(Qt::black, view::PatternBrushStyle(i)) : QBrush(Qt::white)),
            QString(), QVariant((i + 1) * 10000));
}

void PaintLineStyle(QPainter& p, const QRect& rect, int style) {
    if (style == kLineNone) return;
    const QPen pen = view::CellLinePen(style, false);
    if (pen.style() == Qt::NoPen) return;
    p.save();
    p.setPen(pen);
    const int y = rect.center().y();
    p.drawLine(rect.left(), y, rect.right(), y);
    p.restore();
}

void FillLineStyleList(QListWidget* list) {
    list->setIconSize(QSize(60, 14));
    for (int style = 0; style < kLineStyleCount; ++style)
        list->addItem(new QListWidgetItem(
            lineStyleIcon(style), style == kLineNone ? LoadErrorText(str::kNone) : QString()));
}

void FillLineStyleCombo(QComboBox* combo) {
    combo->setIconSize(QSize(60, 14));
    for (int style = 0; style < kLineStyleCount; ++style)
        combo->addItem(lineStyleIcon(style),
                       style == kLineNone ? LoadErrorText(str::kNone) : QString(),
                       QVariant((style + 1) * 100));
}

void SelectComboIndex(QComboBox* combo, int32_t index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void PaintFontSample(QPainter& p, const QRect& rect, const FontSampleLook& s, const QString& text) {
    FontDesc fd = GetDefaultUiFont();
    ApplyFontStyleIndex(s.style >= 0 && s.style < 8 ? s.style : 0, &fd);
    fd.face = QString::fromUtf8(kCellFontFaces[s.font >= 0 && s.font < 16 ? s.font : 0]);
    fd.height = int(kFontSizePoints[s.size >= 0 && s.size < 16 ? s.size : 3] * 1.4);
    p.save();
    p.fillRect(rect, PaletteColour(inPalette(s.background) ? s.background : kColourWhite));
    if (s.pattern > 0 && s.pattern < kPatternCount)
        p.fillRect(rect, QBrush(Qt::black, view::PatternBrushStyle(s.pattern)));
    p.setFont(view::MakeFont(fd));
    p.setPen(PaletteColour(inPalette(s.foreground) ? s.foreground : kColourBlack));
    int flags = 0;
    if (s.centred) {
        flags = Qt::AlignCenter;
    } else {
        flags |= s.hAlign == 2 ? Qt::AlignHCenter : s.hAlign == 3 ? Qt::AlignRight : Qt::AlignLeft;
        flags |= s.vAlign == 2 ? Qt::AlignVCenter : s.vAlign == 3 ? Qt::AlignBottom : Qt::AlignTop;
    }
    flags |= s.wrap ? Qt::TextWordWrap : Qt::TextSingleLine;
    p.drawText(rect, flags, text);
    p.restore();
}

}  // namespace qor
