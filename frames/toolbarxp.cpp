#include "frames/toolbarxp.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionToolButton>

#include "frames/drawutil.h"

namespace qor::frames {

namespace {

uint32_t toColorref(const QColor& c) {
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

QColor fromColorref(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

QColor adjusted(const QColor& c, int lightness, int saturation) {
    return fromColorref(AdjustColorHls(toColorref(c), lightness, saturation));
}

// The icon reduced to one colour: every pixel it covers.
QPixmap silhouette(const QPixmap& icon, const QColor& colour) {
    QImage image = icon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), colour);
    p.end();
    return QPixmap::fromImage(image);
}

// A 3-D bar: highlight on the top and left, shadow on the bottom and right.
void raisedBar(QPainter* p, const QRect& r, const QPalette& pal) {
    p->setPen(pal.color(QPalette::Light));
    p->drawLine(r.topLeft(), r.topRight());
    p->drawLine(r.topLeft(), r.bottomLeft());
    p->setPen(pal.color(QPalette::Dark));
    p->drawLine(r.bottomLeft(), r.bottomRight());
    p->drawLine(r.topRight(), r.bottomRight());
}

}  // namespace

CToolBarXPStyle::CToolBarXPStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

CToolBarXPStyle* CToolBarXPStyle::Instance() {
    static CToolBarXPStyle* style = [] {
        auto* s = new CToolBarXPStyle;
        s->setParent(QCoreApplication::instance());
        return s;
    }();
    return style;
}

QColor CToolBarXPStyle::BarColor(const QPalette& pal) {
    return adjusted(pal.color(QPalette::Button), 20, 0);
}

QColor CToolBarXPStyle::SeparatorColor(const QPalette& pal) {
    return adjusted(pal.color(QPalette::Button), -15, 0);
}

QColor CToolBarXPStyle::ButtonFill(const QPalette& pal, bool hot, bool checked, bool pressed) {
    const QColor h = pal.color(QPalette::Highlight);
    if (pressed || (hot && checked)) return adjusted(h, 50, -50);
    if (hot) return adjusted(h, 70, -57);
    return adjusted(h, 80, -66);
}

QColor CToolBarXPStyle::ShadowColor(const QPalette& pal, bool hot, bool enabled) {
    if (!enabled) return adjusted(pal.color(QPalette::Button), -27, 0);
    return hot ? adjusted(pal.color(QPalette::Highlight), 50, -66) : pal.color(QPalette::Button);
}

QPoint CToolBarXPStyle::IconPlace(const QRect& button, QSize icon, int offset) {
    // Offset 3 centres the icon; the others move it by the difference.
    return QPoint(button.left() + (button.width() - icon.width()) / 2 + offset - 3,
                  button.top() + (button.height() - icon.height()) / 2 + offset - 3);
}

void CToolBarXPStyle::drawToolButton(const QStyleOptionToolButton* opt, QPainter* p,
                                     const QWidget* widget) const {
    const QPalette& pal = opt->palette;
    const QRect r = opt->rect;
    const bool enabled = opt->state & State_Enabled;
    const bool hot = enabled && (opt->state & State_MouseOver);
    const bool checked = opt->state & State_On;
    const bool pressed = hot && (opt->state & State_Sunken);
    p->save();
    p->fillRect(r, BarColor(pal));
    if (hot || checked) {
        p->fillRect(r, ButtonFill(pal, hot, checked, pressed));
        p->setPen(pal.color(QPalette::Highlight));
        p->drawRect(r.adjusted(0, 0, -1, -1));
    }
    if (!opt->icon.isNull()) {
        const QPixmap icon =
            opt->icon.pixmap(opt->iconSize, widget ? widget->devicePixelRatio() : 1.0);
        const QSize size = opt->iconSize;
        if (!enabled || (hot && !pressed)) {
            p->drawPixmap(IconPlace(r, size, hot ? 4 : 3),
                          silhouette(icon, ShadowColor(pal, hot, enabled)));
        }
        if (enabled) p->drawPixmap(IconPlace(r, size, hot && !pressed ? 2 : 3), icon);
    } else {
        // No picture: the short text, greyed when off.
        p->setPen(enabled ? pal.color(QPalette::ButtonText)
                          : pal.color(QPalette::Disabled, QPalette::Text));
        p->setFont(opt->font);
        p->drawText(r.translated(hot && !pressed ? -1 : 0, hot && !pressed ? -1 : 0),
                    Qt::AlignCenter | Qt::TextHideMnemonic, opt->text);
    }
    p->restore();
}

void CToolBarXPStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const {
    if (control == CC_ToolButton) {
        const auto* opt = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        // A button with a menu part keeps the usual look until a bar needs one.
        if (opt && !(opt->features & QStyleOptionToolButton::MenuButtonPopup)) {
            drawToolButton(opt, painter, widget);
            return;
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void CToolBarXPStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                    QPainter* painter, const QWidget* widget) const {
    const QPalette& pal = option->palette;
    const QRect r = option->rect;
    switch (element) {
        case PE_PanelToolBar:
            painter->fillRect(r, BarColor(pal));
            // The thin border along the bar's bottom.
            painter->setPen(pal.color(QPalette::Dark));
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            return;
        case PE_IndicatorToolBarHandle: {
            painter->save();
            // Two raised bars 3 pixels wide, 2 and 6 pixels from the start.
            if (option->state & State_Horizontal) {
                for (int at : {2, 6})
                    raisedBar(painter, QRect(r.left() + at, r.top() + 2, 3, r.height() - 4), pal);
            } else {
                for (int at : {2, 6})
                    raisedBar(painter, QRect(r.left() + 2, r.top() + at, r.width() - 4, 3), pal);
            }
            painter->restore();
            return;
        }
        case PE_IndicatorToolBarSeparator: {
            painter->save();
            painter->setPen(SeparatorColor(pal));
            // A horizontal bar's separator stands upright, and the reverse.
            if (option->state & State_Horizontal) {
                const int x = r.center().x();
                painter->drawLine(x, r.top() + 2, x, r.bottom() - 2);
            } else {
                const int y = r.center().y();
                painter->drawLine(r.left() + 2, y, r.right() - 2, y);
            }
            painter->restore();
            return;
        }
        default:
            break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

int CToolBarXPStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                 const QWidget* widget) const {
    switch (metric) {
        case PM_ToolBarHandleExtent:
            return 11;  // room for the two bars of the gripper
        case PM_ToolBarFrameWidth:
            return 1;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

}  // namespace qor::frames
