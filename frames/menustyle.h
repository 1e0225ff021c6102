#pragma once
// The flat look of the menu bar and its menus: items measured as label +
// h/2 + 24 (+ accelerator + h/2), at least 20 pixels high; the selected
// item filled with the menu-highlight colour and framed with the
// highlight colour; a checked item boxed with a drawn check; images 16
// pixels high two pixels from the left; mnemonics underlined only while
// the keyboard drives the menu. Colours come from the palette.

#include <QFont>
#include <QList>
#include <QPointer>
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
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;

    // The keyboard drives the menus: Alt was pressed, or a key went to a
    // menu or the menu bar. A mouse press, or typing outside the menus,
    // ends it.
    bool KeyboardMode() const { return m_keyboardMode; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setKeyboardMode(bool on);

    bool m_keyboardMode = false;
    QList<QPointer<QWidget>> m_menus;  // the menus and menu bars drawn here
};

}  // namespace qor::frames
