#include "charts/ui/cpicwnd.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "charts/cgraphitem.h"
#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "charts/chartwindow_logic.h"
#include "dialogs/cqordialog.h"
#include "dialogs/dlgbuild.h"
#include "document/cmdtarget.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"

using qor::items::ChartDesc;
using qor::items::Rect;
using namespace qor::charts;

namespace {

QRect toQRect(const Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }

// "编辑标题": one line of at most nine characters.
class CEditTitleDlg : public CQorDialog {
public:
    CEditTitleDlg(QWidget* parent, const QString& prompt, const QString& text)
        : CQorDialog(parent, CPicWnd::kDlgEditTitle) {
        setWindowTitle(qor::DlgCaption(CPicWnd::kDlgEditTitle, QStringLiteral("编辑标题")));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(Bind(1070, new QLabel(prompt, this)));
        m_edit = Bind(1000, new QLineEdit(text, this));
        m_edit->setMaxLength(ChartDesc::kTextChars);
        layout->addWidget(m_edit);
        qor::AddDlgButtons(this, layout);
    }
    QString Text() const { return m_edit->text(); }

private:
    QLineEdit* m_edit;
};

// Cursors of the plot's handles, by handle mode.
Qt::CursorShape handleCursor(int mode) {
    switch (mode) {
        case 1:
        case 4:
            return Qt::SizeFDiagCursor;
        case 2:
        case 3:
            return Qt::SizeBDiagCursor;
        case 5:
        case 6:
            return Qt::SizeVerCursor;
        case 7:
        case 8:
            return Qt::SizeHorCursor;
        default:
            return Qt::ArrowCursor;
    }
}

}  // namespace

CPicWnd::CPicWnd(CQorsDoc* doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("CPicWnd"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPicWnd::~CPicWnd() = default;

CGraphItem* CPicWnd::currentChart() const {
    return m_doc ? dynamic_cast<CGraphItem*>(m_doc->GetCurrentChart()) : nullptr;
}

bool CPicWnd::reload() {
    CGraphItem* chart = currentChart();
    m_haveWork = chart != nullptr;
    if (chart) m_work = chart->GetChartDesc();
    return m_haveWork;
}

void CPicWnd::commit() {
    if (!m_doc || !currentChart()) return;
    m_doc->CreateChart(m_work);
    m_doc->UpdateAllViews(CQorsDoc::kHintItems);
    update();
}

void CPicWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    CGraphItem* chart = currentChart();
    ChartDesc desc;
    ChartData data;
    if (chart && m_doc->ReadChartItemData(*chart, &desc, &data)) {
        ChartRenderer renderer;
        renderer.Draw(&p, rect(), &desc, data);
        // The parts as drawn are what the mouse hits; the stored page stays.
        desc.SetSourcePage(chart->GetChartDesc().GetSourcePage());
        m_work = desc;
        m_haveWork = true;
    } else {
        reload();
    }
    // The selected part's marks: black squares framed in white. A pie has
    // no axis titles to mark.
    const bool pie = m_work.GetChartType() == kPie;
    if (m_haveWork && m_selected && !(pie && (m_selected == kPartYTitle || m_selected == kPartXTitle))) {
        const Rect r = m_work.GetPartRect(RectOfPart(m_selected));
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::black);
        for (const Rect& h : PartHandles(r))
            if (h.right > h.left) p.drawRect(QRect(h.left, h.top, h.width() - 1, h.height() - 1));
    }
    if (m_dragState == 2) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(toQRect(NormalizedRect(m_dragRect)));
    }
    // The window's own hatched frame marks the chart being edited.
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CPicWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !currentChart()) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (!m_haveWork) reload();
    const QPoint pos = event->position().toPoint();
    const int part = m_selected == kPartPlot && m_handleMode ? kPartPlot : HitTestPart(m_work, pos);
    m_selected = part;
    if (part) {
        m_last = pos;
        m_dragRect = m_work.GetPartRect(RectOfPart(part));
        m_dragState = 1;
        if (!m_handleMode && part == kPartPlot) setCursor(Qt::SizeAllCursor);
    }
    update();
}

void CPicWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!currentChart()) return;
    const QPoint pos = event->position().toPoint();
    if (m_dragState && (event->buttons() & Qt::LeftButton)) {
        QPoint applied;
        const QPoint d = pos - m_last;
        m_dragRect = MovePartRect(m_dragRect, m_handleMode, d.x(), d.y(), size(), &applied);
        m_last += applied;
        m_dragState = 2;
        update();
        return;
    }
    if (m_selected == kPartPlot) {
        m_handleMode = HandleAt(m_work.GetPartRect(ChartDesc::kPlotRect), pos);
        setCursor(handleCursor(m_handleMode));
    } else {
        m_handleMode = 0;
        unsetCursor();
    }
}

void CPicWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (m_dragState == 2 && m_selected) {
        const Rect r = m_handleMode ? NormalizedRect(m_dragRect) : m_dragRect;
        m_work.SetPartRect(RectOfPart(m_selected), r);
        commit();
    }
    m_dragState = 0;
    m_handleMode = 0;
    unsetCursor();
    update();
}

void CPicWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    const int part = HitTestPart(m_work, event->position().toPoint());
    if (part == kPartYTitle)
        EditTitle(3);
    else if (part == kPartXTitle)
        EditTitle(2);
    else if (part == kPartTitle)
        EditTitle(1);
}

void CPicWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (onEndEdit) onEndEdit();
        return;
    }
    if (event->key() == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier)) {
        if (onContextMenu) onContextMenu(mapToGlobal(QPoint(5, 5)));
        return;
    }
    QWidget::keyPressEvent(event);
}

void CPicWnd::contextMenuEvent(QContextMenuEvent* event) {
    if (onContextMenu) onContextMenu(event->globalPos());
}

bool CPicWnd::EditTitle(int kind) {
    if (!currentChart()) return false;
    if (!m_haveWork) reload();
    const ChartDesc::TextField field = kind == 2   ? ChartDesc::kXTitleText
                                       : kind == 3 ? ChartDesc::kYTitleText
                                                   : ChartDesc::kTitleText;
    const QString prompt = kind == 2   ? LoadErrorText(62730)
                           : kind == 3 ? LoadErrorText(62731)
                                       : QStringLiteral("请输入标题：");
    CEditTitleDlg dlg(this, prompt, m_work.GetText(field));
    if (dlg.DoModal() != CQorDialog::IDOK) return false;
    m_work.SetText(field, dlg.Text().left(ChartDesc::kTextChars));
    commit();
    return true;
}

bool CPicWnd::OnUpdateCommand(int id, qor::CommandState& state) {
    const bool chart = currentChart() != nullptr;
    if (chart && !m_haveWork) reload();
    auto set = [&state](bool enabled, const QString& reason = QString()) {
        state.enabled = enabled;
        if (!enabled) state.reason = reason.isEmpty() ? QStringLiteral("没有图表") : reason;
        return true;
    };
    if (const int type = ChartTypeOfCommand(id); type >= 0) {
        state.checkable = true;
        state.checked = chart && int(m_work.GetChartType()) == type;
        return set(chart);
    }
    switch (id) {
        case kCmdTitle:
        case kCmdXTitle:
        case kCmdYTitle:
        case kCmdToggleGrouping:
            return set(chart);
        case kCmdPreviousGroup:
        case kCmdNextGroup:
            return set(chart && CanStepDataGroup(m_work, id == kCmdNextGroup),
                       QStringLiteral("没有可换的数据组"));
        default:
            return false;
    }
}

bool CPicWnd::OnCommand(int id) {
    if (!currentChart()) return false;
    if (!m_haveWork) reload();
    if (const int type = ChartTypeOfCommand(id); type >= 0) {
        m_work.SetChartType(uint32_t(type));
        commit();
        return true;
    }
    switch (id) {
        case kCmdTitle:
            EditTitle(1);
            return true;
        case kCmdXTitle:
            EditTitle(2);
            return true;
        case kCmdYTitle:
            EditTitle(3);
            return true;
        case kCmdToggleGrouping:
            SetDataGrouping(&m_work, !m_work.GroupsByRows());
            commit();
            return true;
        case kCmdPreviousGroup:
        case kCmdNextGroup:
            if (!CanStepDataGroup(m_work, id == kCmdNextGroup)) return true;
            StepDataGroup(&m_work, id == kCmdNextGroup);
            commit();
            return true;
        default:
            return false;
    }
}
