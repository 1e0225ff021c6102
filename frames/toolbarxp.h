#pragma once
// The flat, highlighted look of the frame's tool bars: the bar lighter
// than the 3-D face; a hot or checked button boxed in the highlight colour
// and filled with a pale highlight (paler when only checked, deeper when
// pressed); a hot button's icon raised over a one-colour shadow, a
// disabled one drawn as its shadow alone; separators as thin darker lines;
// the gripper as two raised bars across the bar's start (the left of a
// horizontal bar, the top of a vertical one).

#include <QColor>
#include <QProxyStyle>

class QStyleOptionToolButton;

namespace qor::frames {

class CToolBarXPStyle : public QProxyStyle {
    Q_OBJECT

public:
    CToolBarXPStyle();
    // The one instance the bars share; it lives as long as the program.
    static CToolBarXPStyle* Instance();

    // The colours of the look, from a palette.
    static QColor BarColor(const QPalette& palette);
    static QColor SeparatorColor(const QPalette& palette);
    // A hot or checked button's fill (pressed: the left button is down on
    // it).
    static QColor ButtonFill(const QPalette& palette, bool hot, bool checked, bool pressed);
    static QColor ShadowColor(const QPalette& palette, bool hot, bool enabled);

    // Where the icon of a button of this size sits for an offset (3 is the
    // resting place, 2 a raised icon, 4 its shadow).
    static QPoint IconPlace(const QRect& button, QSize icon, int offset);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;

private:
    void drawToolButton(const QStyleOptionToolButton* option, QPainter* painter,
                        const QWidget* widget) const;
};

}  // namespace qor::frames
