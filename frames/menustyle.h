#pragma once
// The flat look of the menu bar and its menus: items measured as label +
// h/2 + 24 (+ accelerator + h/2), at least 20 pixels high; the selected
// item filled with the menu-highlight colour and framed with the
// highlight colour; a checked item boxed with a drawn check; images 16
// pixels high two pixels from the left; mnemonics underlined only while
// the keyboard drives the menu. Colours come from the palette.

#include <QFont>
#include <QProxyStyle>

namespace qor::frames {

class CFlatMenuStyle : public QProxyStyle {
    Q_OBJECT

public:
    CFlatMenuStyle();

    // The size of an item with this text ("label\taccelerator") in font.
    static QSize MenuItemSize(const QString& text, const QFont& font);

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
};

}  // namespace qor::frames
