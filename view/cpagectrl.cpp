#include "view/cpagectrl.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include "document/cqorsdoc.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/tabs_splitter.h"

using namespace qor::view;

CPageCtrl::CPageCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

bool CPageCtrl::Create(QWidget* parent, int id) {
    if (!parent) return false;
    setParent(parent);
    m_id = id;
    setObjectName(QStringLiteral("pagectrl_%1").arg(id));
    show();
    return true;
}

void CPageCtrl::SetPosition(int left, int top, int right, int bottom, int width) {
    const bool resized = m_state.width != width;
    m_state.width = width;
    if (resized && m_state.shown) showCurrentTab();
    setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
    lower();
    if (parentWidget()) show();  // never as a window of its own
    update();
}

TabMetrics CPageCtrl::Metrics() const { return MakeTabMetrics(BaseHeaderMetrics(), 0); }

void CPageCtrl::CollapseTabArea() {
    // Only a shown strip has a width worth keeping: collapsing twice must
    // not replace it with the mode button's.
    if (m_state.shown && m_state.width >= kMinStripWidth) m_state.savedWidth = m_state.width;
    m_state.width = Metrics().CollapsedWidth();
    m_state.shown = false;
    relayoutParent();
    update();
}

void CPageCtrl::RestoreTabArea() {
    m_state.shown = true;
    // A strip never laid out keeps nothing worth restoring.
    if (m_state.savedWidth >= kMinStripWidth) m_state.width = m_state.savedWidth;
    relayoutParent();
    update();
}

void CPageCtrl::SetPageTabs(int pageCount, int currentPage) {
    m_state.pageCount = pageCount;
    m_state.current = currentPage;
    NormalizePages(m_state);
    showCurrentTab();
    update();
}

bool CPageCtrl::StepCurrentPage(int delta) {
    NormalizePages(m_state);
    const int page = std::clamp(m_state.current + delta, 1, std::max(1, m_state.pageCount));
    if (page == m_state.current) return false;
    m_state.current = page;
    showCurrentTab();
    update();
    return true;
}

void CPageCtrl::SetChosenWidth(int width) {
    m_widthChosen = true;
    m_state.width = width;
    m_state.savedWidth = width;
}

void CPageCtrl::showCurrentTab() {
    // A page added at the end, or chosen from a menu, must not become
    // current out of sight.
    ShowCurrentTab(m_state, Metrics(), [this](const QString& t) { return textWidth(t); });
}

CQorsView* CPageCtrl::GetSheetView() const {
    if (auto* splitter = qobject_cast<CQorSplitterWnd*>(parentWidget()))
        return splitter->GetPane(0, 0);
    return m_view;
}

CQorsDoc* CPageCtrl::GetDocument() const {
    CQorsView* view = GetSheetView();
    return view ? view->GetDocument() : nullptr;
}

int CPageCtrl::RowHeight(int scrollBarExtent) const {
    return std::max(scrollBarExtent, QFontMetrics(font()).height() + 4);
}

int CPageCtrl::textWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text);
}

std::vector<TabRect> CPageCtrl::TabLayout() {
    return LayoutTabs(m_state, Metrics(), [this](const QString& t) { return textWidth(t); });
}

void CPageCtrl::relayoutParent() {
    if (auto* splitter = qobject_cast<CQorSplitterWnd*>(parentWidget()))
        splitter->SetTabAreaWidth(m_state.width);
    emit widthChanged(m_state.width);
}

void CPageCtrl::SetSplitCursor(QWidget* widget, int hit) {
    if (!widget) return;
    if (IsRowHit(hit))
        widget->setCursor(Qt::SplitVCursor);
    else if (IsColumnHit(hit))
        widget->setCursor(Qt::SplitHCursor);
    else if (IsBothHit(hit))
        widget->setCursor(Qt::SizeAllCursor);
    else
        widget->setCursor(Qt::ArrowCursor);
}

// ---------------------------------------------------------------------------
// Mouse

void CPageCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) press(event->position().toPoint());
}

void CPageCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) press(event->position().toPoint());
}

void CPageCtrl::press(QPoint p) {
    m_widthAtPress = m_state.width;
    m_dragging = false;
    TabLayout();  // the press works on the tabs as they are shown
    const StripPress r = PressStrip(m_state, Metrics(), p.x(), p.y(), height());
    switch (r.kind) {
        case StripPress::Gripper:
            m_dragging = true;
            break;
        case StripPress::ModeButton:
            if (CQorsDoc* doc = GetDocument())
                emit commandRequested(doc->IsDataState() ? kCmdEnterFormat : kCmdEnterData);
            break;
        case StripPress::Arrow:
            m_pressed = r.arrow;
            update();
            break;
        case StripPress::Tab: {
            CQorsDoc* doc = GetDocument();
            const bool differs = !doc || doc->ViewState().curPage != m_state.current;
            if (differs || r.forceRefresh || m_bRefreshRequested) {
                m_bRefreshRequested = 0;
                emit commandRequested(kCmdPageActivate);
            }
            update();
            break;
        }
        case StripPress::Nothing:
            break;
    }
}

void CPageCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (m_pressed != ArrowButton::None) update();
    m_pressed = ArrowButton::None;
    m_dragging = false;
}

void CPageCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if ((event->buttons() & Qt::LeftButton) && m_dragging && m_state.shown) {
        setCursor(Qt::SplitHCursor);
        const CQorsView* view = GetSheetView();
        const int room = view ? view->width() : (parentWidget() ? parentWidget()->width() : 0);
        m_state.width = DraggedStripWidth(p.x(), room);
        m_widthChosen = true;
        relayoutParent();
        update();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton))
        setCursor(OverGripper(m_state, p.x(), p.y(), height()) ? Qt::SplitHCursor
                                                               : Qt::ArrowCursor);
}

// ---------------------------------------------------------------------------
// Painting

namespace {

void drawRaisedBox(QPainter& p, const QRect& r, const QPalette& pal, bool sunken) {
    p.fillRect(r, pal.button());
    const QColor light = sunken ? pal.dark().color() : pal.light().color();
    const QColor dark = sunken ? pal.light().color() : pal.dark().color();
    p.setPen(light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// Two triangles, with a bar before them (first) or after them (last).
void drawArrowGlyph(QPainter& p, const QRect& r, int k) {
    const bool left = k < 2;
    const int h = std::max(3, r.height() / 3);
    const int cy = r.center().y();
    const int w = h / 2 + 1;
    const int total = (k == 0 || k == 3) ? w + 2 : w;
    int x = r.center().x() - total / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    if (k == 0) {
        p.drawRect(x, cy - h / 2, 1, h);
        x += 2;
    }
    QPolygon tri;
    if (left)
        tri << QPoint(x, cy) << QPoint(x + w, cy - h / 2) << QPoint(x + w, cy + h / 2);
    else
        tri << QPoint(x + w, cy) << QPoint(x, cy - h / 2) << QPoint(x, cy + h / 2);
    p.drawPolygon(tri);
    if (k == 3) p.drawRect(x + w + 1, cy - h / 2, 1, h);
}

void drawTab(QPainter& p, const TabRect& t, int height, const QString& caption, bool current) {
    QPolygon shape;
    shape << QPoint(t.x, 0) << QPoint(t.x + 5, height - 2) << QPoint(t.x + t.width - 5, height - 2)
          << QPoint(t.x + t.width, 0);
    p.setPen(Qt::black);
    p.setBrush(current ? QColor(Qt::white) : QColor(0xE0, 0xE0, 0xE0));
    p.drawPolygon(shape);
    p.drawText(QRect(t.x, 0, t.width, height - 1), Qt::AlignCenter | Qt::TextSingleLine, caption);
}

}  // namespace

void CPageCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const TabMetrics m = Metrics();
    if (m_state.width < 0) {
        const int parentWidth = parentWidget() ? parentWidget()->width() : width();
        m_state.width = InitialStripWidth(m_state.shown, parentWidth, m);
        m_state.savedWidth = m_state.width;
    }
    const int h = height();
    if (m_dragging && m_state.width > m_widthAtPress) {
        p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
        p.drawLine(m_widthAtPress - 1, 0, m_widthAtPress - 1, h);
    }

    drawRaisedBox(p, QRect(m.left, 0, m.modeWidth, h), palette(), false);
    QFont captionFont = font();
    captionFont.setPixelSize(std::max(1, h - 4));
    p.setFont(captionFont);
    p.setPen(Qt::black);
    p.drawText(QRect(m.left, 0, m.modeWidth, h), Qt::AlignCenter | Qt::TextSingleLine,
               ModeButtonCaption(m_state.shown));
    if (!m_state.shown) return;

    for (int k = 0; k < 4; ++k) {
        const QRect r(m.ArrowLeft(k), 0, m.arrowWidth, h);
        drawRaisedBox(p, r, palette(), int(m_pressed) == k);
        drawArrowGlyph(p, r, k);
    }

    p.setFont(font());
    const std::vector<TabRect> tabs = TabLayout();
    const int areaRight = m_state.width - kGripperWidth;
    p.save();
    p.setClipRect(QRect(QPoint(m.TabsLeft(), 0), QPoint(areaRight - 1, h)));
    const TabRect* currentTab = nullptr;
    for (const TabRect& t : tabs) {
        drawTab(p, t, h, PageTabCaption(t.page), false);
        if (t.page == m_state.current) currentTab = &t;
    }
    // The current tab lies over its neighbours.
    if (currentTab) drawTab(p, *currentTab, h, PageTabCaption(currentTab->page), true);
    p.restore();

    drawRaisedBox(p, QRect(areaRight, 0, kGripperWidth, h), palette(), false);
}
