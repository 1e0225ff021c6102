#include "frames/menustyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

#include "frames/drawutil.h"

namespace qor::frames {

CFlatMenuStyle::CFlatMenuStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
    // Alt goes to whatever has the focus, so the whole program is watched.
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

void CFlatMenuStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget)) {
        m_menus.removeAll(nullptr);
        if (!m_menus.contains(widget)) m_menus.append(widget);
    }
}

void CFlatMenuStyle::setKeyboardMode(bool on) {
    if (on == m_keyboardMode) return;
    m_keyboardMode = on;
    for (const QPointer<QWidget>& w : m_menus)
        if (w && w->isVisible()) w->update();
}

bool CFlatMenuStyle::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool inMenus = qobject_cast<QMenu*>(watched) || qobject_cast<QMenuBar*>(watched);
            if (key->key() == Qt::Key_Alt || inMenus)
                setKeyboardMode(true);
            else if (!(key->modifiers() & Qt::AltModifier) && watched->isWidgetType())
                setKeyboardMode(false);
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            setKeyboardMode(false);
            break;
        default:
            break;
    }
    return QProxyStyle::eventFilter(watched, event);
}

QSize CFlatMenuStyle::MenuItemSize(const QString& text, const QFont& font) {
    const QFontMetrics fm(font);
    const qsizetype tab = text.indexOf(u'\t');
    const QString label = tab < 0 ? text : text.left(tab);
    const QString keys = tab < 0 ? QString() : text.mid(tab + 1);
    const int h = std::max(20, fm.height());
    int w = fm.horizontalAdvance(QString(label).remove(u'&')) + h / 2 + 24;
    if (!keys.isEmpty()) w += fm.horizontalAdvance(keys) + h / 2;
    return QSize(w, h);
}

QSize CFlatMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                       const QSize& size, const QWidget* widget) const {
    if (type == CT_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            if (item->menuItemType == QStyleOptionMenuItem::Separator)
                return QProxyStyle::sizeFromContents(type, option, size, widget);
            QString text = item->text;
            QSize s = MenuItemSize(text, item->font);
            if (item->menuItemType == QStyleOptionMenuItem::SubMenu) s.rwidth() += 12;
            return s;
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void CFlatMenuStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item ||
        item->menuItemType == QStyleOptionMenuItem::Separator) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QPalette& pal = item->palette;
    const QRect r = item->rect;
    const bool selected = item->state & State_Selected;
    const bool enabled = item->state & State_Enabled;
    painter->save();
    painter->fillRect(r, selected ? pal.color(QPalette::Highlight).lighter(170) : pal.color(QPalette::Base));
    if (selected) {
        painter->setPen(pal.color(QPalette::Highlight));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    const int h = r.height();
    if (!item->icon.isNull()) {
        // The command's image in its three looks: grey when the item is
        // off, hot under the mouse, normal otherwise.
        ImageSet images;
        const qreal ratio = widget ? widget->devicePixelRatio() : 1.0;
        images.normal = {item->icon.pixmap(QSize(16, 16), ratio, QIcon::Normal)};
        images.hot = {item->icon.pixmap(QSize(16, 16), ratio, QIcon::Active)};
        images.disabled = {item->icon.pixmap(QSize(16, 16), ratio, QIcon::Disabled)};
        images.depth = painter->device() ? painter->device()->depth() : 32;
        images.flatMenus = true;
        images.palette = pal;
        const int look = !enabled ? kLookDisabled : selected ? kLookHot : kLookNormal;
        DrawImageListItem(*painter, images, r.left() + 2, r.top() + (h - 16) / 2, look, 0);
    }
    if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked) {
        const QRect box(r.left() + 2, r.top() + (h - 16) / 2, 16, 16);
        if (selected) {
            painter->fillRect(box, pal.color(QPalette::Base));
        } else {
            painter->setPen(pal.color(QPalette::Highlight));
            painter->drawRect(box.adjusted(-1, -1, 0, 0));
        }
        if (item->icon.isNull()) {
            // The check mark, drawn rather than taken from a symbol font.
            QPen pen(pal.color(QPalette::Text), 2);
            painter->setPen(pen);
            const QPointF c = QRectF(box).center();
            painter->drawPolyline(QPolygonF{c + QPointF(-4, 0), c + QPointF(-1, 3), c + QPointF(4, -3)});
        }
    }
    QColor text = pal.color(QPalette::Text);
    if (!enabled) text = selected ? pal.color(QPalette::Dark) : pal.color(QPalette::Disabled, QPalette::Text);
    painter->setPen(text);
    painter->setFont(item->font);
    // The item was measured as label + h/2 + 24: the text gets all of it
    // but the right margin, so a narrow menu never cuts its labels.
    const QRect textRect(r.left() + 24, r.top(), r.width() - 24 - h / 2, h);
    const qsizetype tab = item->text.indexOf(u'\t');
    const QString label = tab < 0 ? item->text : item->text.left(tab);
    int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (!styleHint(SH_UnderlineShortcut, option, widget, nullptr)) flags |= Qt::TextHideMnemonic;
    painter->drawText(textRect, flags | Qt::AlignLeft, label);
    if (tab >= 0) painter->drawText(textRect, flags | Qt::AlignRight, item->text.mid(tab + 1));
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
        QStyleOption arrow = *option;
        arrow.rect = QRect(r.right() - h / 2 - 4, r.top() + (h - 8) / 2, 8, 8);
        proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, painter, widget);
    }
    painter->restore();
}

int CFlatMenuStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* returnData) const {
    // Mnemonics show only while the keyboard drives the menu.
    if (hint == SH_UnderlineShortcut) return m_keyboardMode ? 1 : 0;
    // A greyed item can be pointed at, so the status line can say why it
    // is greyed.
    if (hint == SH_Menu_AllowActiveAndDisabled) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int CFlatMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                const QWidget* widget) const {
    if (metric == PM_MenuPanelWidth) return 1;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

}  // namespace qor::frames
