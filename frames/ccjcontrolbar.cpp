#include "frames/ccjcontrolbar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "engine/messages.h"

namespace qor::frames {

namespace {

// The title of a docked bar: a gripper of two raised lines, the caption and
// the two buttons; a double click floats or docks the bar.
class BarTitle : public QWidget {
public:
    BarTitle(CCJControlBar* bar, QToolButton* close, QToolButton* dock) : QWidget(bar), m_bar(bar) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 2, 3, 2);
        layout->setSpacing(2);
        auto* caption = new QLabel(bar->windowTitle(), this);
        connect(bar, &QWidget::windowTitleChanged, caption, &QLabel::setText);
        layout->addWidget(caption, 1);
        layout->addWidget(dock);
        layout->addWidget(close);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_bar->isFloating()) return;
        QPainter p(this);
        const QPalette& pal = palette();
        for (int x : {2, 6}) {
            p.setPen(pal.color(QPalette::Light));
            p.drawLine(x, 3, x, height() - 4);
            p.setPen(pal.color(QPalette::Dark));
            p.drawLine(x + 1, 3, x + 1, height() - 4);
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        m_bar->setFloating(!m_bar->isFloating());
        event->accept();
    }

private:
    CCJControlBar* m_bar;
};

QToolButton* captionButton(QWidget* parent, int id, QStyle::StandardPixmap image, int tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("c%1").arg(id));
    b->setFixedSize(12, 12);
    b->setIconSize(QSize(10, 10));
    b->setIcon(parent->style()->standardIcon(image));
    b->setAutoRaise(true);  // drawn raised while the mouse is over it
    b->setToolTip(LoadErrorText(tip));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

CCJControlBar::CCJControlBar(int id, const QString& title, QSize size, QWidget* parent)
    : QDockWidget(title, parent), m_id(id), m_size(size) {
    setObjectName(QStringLiteral("bar%1").arg(id));
    setMinimumSize(kBarMinimum, kBarMinimum);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    m_close = captionButton(this, kBarCloseButton, QStyle::SP_TitleBarCloseButton, str::kClose);
    m_dock = captionButton(this, kBarDockButton, QStyle::SP_TitleBarNormalButton, str::kRestore);
    connect(m_close, &QToolButton::clicked, this, &QWidget::hide);
    connect(m_dock, &QToolButton::clicked, this, [this] { setFloating(!isFloating()); });
    setTitleBarWidget(new BarTitle(this, m_close, m_dock));
    connect(this, &QDockWidget::topLevelChanged, this, [this] { placeButtons(); });
    connect(this, &QDockWidget::dockLocationChanged, this, [this] { placeButtons(); });
    placeButtons();
}

bool CCJControlBar::IsHorzDocked() const {
    auto* main = qobject_cast<QMainWindow*>(parentWidget());
    if (!main || isFloating()) return false;
    const Qt::DockWidgetArea area = main->dockWidgetArea(const_cast<CCJControlBar*>(this));
    return area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
}

void CCJControlBar::placeButtons() {
    // A floating bar has the window's own buttons.
    const bool floating = isFloating();
    m_close->setVisible(!floating);
    m_dock->setVisible(!floating);
}

int CCJControlBar::TrackSizingEdge(int moved) {
    auto* main = qobject_cast<QMainWindow*>(parentWidget());
    if (!main || isFloating()) return 0;
    const bool horizontal = IsHorzDocked();
    const int old = horizontal ? height() : width();
    const int limit = horizontal ? main->centralWidget() ? main->centralWidget()->height() + old
                                                         : main->height()
                                 : main->centralWidget() ? main->centralWidget()->width() + old
                                                         : main->width();
    const int wanted = std::clamp(old + moved, kBarMinimum, std::max(kBarMinimum, limit));
    main->resizeDocks({this}, {wanted}, horizontal ? Qt::Vertical : Qt::Horizontal);
    if (horizontal)
        m_size.setHeight(wanted);
    else
        m_size.setWidth(wanted);
    return wanted;
}

}  // namespace qor::frames
