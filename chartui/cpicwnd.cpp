#include "chartui/cpicwnd.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

#include "charts/cgraphitem.h"
#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "charts/chartframe_logic.h"
#include "charts/chartwindow_logic.h"
#include "dialogs/cqordialog.h"
#include "dialogs/dlgbuild.h"
#include "dialogs/viewsettings_dlgs.h"
#include "document/cmdtarget.h"
#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "view/cqorsview.h"
#include "view/ctracker.h"
#include "print/viewitems_logic.h"

using qor::items::ChartDesc;
using qor::items::ChartFont;
using qor::items::Rect;
using namespace qor::charts;

namespace {

QRect toQRect(const Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }

// "编辑标题": one line of at most nine characters.
class CEditTitleDlg : public CQorDialog {
public:
    CEditTitleDlg(QWidget* parent, const QString& prompt, const QString& text)
        : CQorDialog(parent, CPicWnd::kDlgEditTitle) {
        setWindowTitle(qor::DlgCaption(CPicWnd::kDlgEditTitle, LoadErrorText(qor::str::kEditChartTitleCaption)));
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

// Dialog 228: the data groups are rows or columns.
class CDataGroupDlg : public CQorDialog {
public:
    static constexpr int IDC_BY_ROWS = 1073;
    static constexpr int IDC_BY_COLUMNS = 1074;
    CDataGroupDlg(QWidget* parent, bool byRows) : CQorDialog(parent, CPicWnd::kDlgDataGroup) {
        setWindowTitle(qor::DlgCaption(CPicWnd::kDlgDataGroup, LoadErrorText(qor::str::kDataGroupCaption)));
        auto* layout = new QVBoxLayout(this);
        m_rows = Bind(IDC_BY_ROWS, new QRadioButton(LoadErrorText(qor::str::kDataGroupByRows), this));
        m_cols = Bind(IDC_BY_COLUMNS, new QRadioButton(LoadErrorText(qor::str::kDataGroupByColumns), this));
        (byRows ? m_rows : m_cols)->setChecked(true);
        layout->addWidget(m_rows);
        layout->addWidget(m_cols);
        qor::AddDlgButtons(this, layout);
    }
    bool ByRows() const { return m_rows->isChecked(); }

private:
    QRadioButton* m_rows;
    QRadioButton* m_cols;
};

// Dialog 229 "打开图表": the report's charts by name.
class COpenChartDlg : public CQorDialog {
public:
    static constexpr int IDC_LIST = 1002;
    COpenChartDlg(QWidget* parent, const QStringList& names, int current)
        : CQorDialog(parent, CPicWnd::kDlgOpenChart) {
        setWindowTitle(qor::DlgCaption(CPicWnd::kDlgOpenChart, LoadErrorText(qor::str::kOpenChartCaption)));
        auto* layout = new QVBoxLayout(this);
        m_list = Bind(IDC_LIST, new QListWidget(this));
        m_list->addItems(names);
        if (current >= 0) m_list->setCurrentRow(current);
        connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnOK(); });
        layout->addWidget(m_list);
        qor::AddDlgButtons(this, layout);
    }
    int Chosen() const {
        // A list with nothing selected chooses nothing.
        return m_list->selectedItems().isEmpty() ? -1 : m_list->currentRow();
    }

private:
    QListWidget* m_list;
};

// The title-font dialog for a chart: the chart keeps at most 15 characters
// of a face name, and a cut name is a face no font has, so only faces that
// fit are offered and a longer one typed in is refused.
class CChartTitleFontDlg : public CTitleFontDlg {
public:
    using CTitleFontDlg::CTitleFontDlg;
    bool OnInitDialog() override {
        CTitleFontDlg::OnInitDialog();
        if (auto* face = faceBox()) {
            const QString shown = face->currentText();
            for (int i = face->count() - 1; i >= 0; --i)
                if (face->itemText(i).size() > ChartDesc::kFontFaceChars) face->removeItem(i);
            face->setEditText(shown);
        }
        return true;
    }
    void OnOK() override {
        const QString face = faceBox() ? faceBox()->currentText().trimmed() : QString();
        if (face.size() > ChartDesc::kFontFaceChars) {
            qor::messageBox(LoadErrorText(qor::str::kChartFontNameTooLong).arg(ChartDesc::kFontFaceChars), QString(),
                            qor::MsgButtons::Ok, qor::MsgIcon::Warning);
            return;
        }
        CTitleFontDlg::OnOK();
    }

private:
    QComboBox* faceBox() const { return qobject_cast<QComboBox*>(GetDlgItem(IDC_FACE)); }
};

// The style word of a chart font: italic, bold, underline and strike-out,
// one byte each from the low end.
uint32_t styleWord(bool italic, bool bold, bool underline, bool strikeOut) {
    return (italic ? 1u : 0u) | (bold ? 1u << 8 : 0u) | (underline ? 1u << 16 : 0u) |
           (strikeOut ? 1u << 24 : 0u);
}

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

// Cursors of the window's own handles, by tracker hit.
Qt::CursorShape windowCursor(int hit) {
    switch (hit) {
        case kWindowHitTopLeft:
        case kWindowHitBottomRight:
            return Qt::SizeFDiagCursor;
        case kWindowHitTopRight:
        case kWindowHitBottomLeft:
            return Qt::SizeBDiagCursor;
        case kWindowHitTop:
        case kWindowHitBottom:
            return Qt::SizeVerCursor;
        case kWindowHitLeft:
        case kWindowHitRight:
            return Qt::SizeHorCursor;
        default:
            return Qt::ArrowCursor;
    }
}

// The squares of the window's tracker, in hit order.
QList<QRect> windowHandles(QSize size, int s) {
    const int w = size.width(), h = size.height();
    return {QRect(0, 0, s, s),
            QRect(w - s, 0, s, s),
            QRect(w - s, h - s, s, s),
            QRect(0, h - s, s, s),
            QRect(w / 2 - s / 2, 0, s, s),
            QRect(w - s, h / 2 - s / 2, s, s),
            QRect(w / 2 - s / 2, h - s, s, s),
            QRect(0, h / 2 - s / 2, s, s)};
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
    return m_doc ? dynamic_cast<CGraphItem*>(m_doc->Items().GetCurrentChart()) : nullptr;
}

CQorsView* CPicWnd::sheetView() const { return qobject_cast<CQorsView*>(parentWidget()); }

bool CPicWnd::InChartView() const { return !sheetView(); }

bool CPicWnd::chartFrameState() const { return m_doc && m_doc->Items().ChartWindow().frameOpen != 0; }

int CPicWnd::HandleSize() const { return InChartView() ? 10 : CRectTrackerEx::kHandleSize; }

QList<CGraphItem*> CPicWnd::Charts() const {
    QList<CGraphItem*> list;
    if (!m_doc) return list;
    for (CQorsDoc::ItemPos pos = m_doc->Items().GetFirstComItemPos(); pos;)
        if (auto* chart = dynamic_cast<CGraphItem*>(m_doc->Items().GetNextComItem(pos))) list << chart;
    return list;
}

bool CPicWnd::reload() {
    CGraphItem* chart = currentChart();
    m_haveWork = chart != nullptr;
    if (chart) m_work = chart->GetChartDesc();
    return m_haveWork;
}

void CPicWnd::commit() {
    if (!m_doc || !currentChart()) return;
    m_doc->Items().CreateChart(m_work);
    // The sheet shows the charts anew once the chart frame is left.
    if (chartFrameState()) m_doc->Items().ChartWindow().changed = 1;
    m_doc->UpdateAllViews(CQorsDoc::kHintItems);
    update();
}

bool CPicWnd::ShowChart(CGraphItem* chart) {
    if (!m_doc || !chart || !m_doc->Items().SetCurrentChart(chart)) return false;
    m_selected = 0;
    m_handleMode = 0;
    reload();
    if (InChartView()) {
        const QSize size = chart->GetSize();
        setGeometry(QRect(kSteppedChartPos, size.isEmpty() ? QSize(200, 200) : size));
    }
    setEnabled(true);
    show();
    if (chartFrameState()) m_doc->UpdateAllViews(CQorsDoc::kHintItems);
    update();
    return true;
}

void CPicWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    CGraphItem* chart = currentChart();
    ChartDesc desc;
    ChartData data;
    if (chart && m_doc->Items().ReadChartItemData(*chart, &desc, &data)) {
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
    // The window's frame and the handles it is moved and sized by: white
    // squares framed in black.
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    for (const QRect& h : windowHandles(size(), HandleSize())) p.drawRect(h.adjusted(0, 0, -1, -1));
}

void CPicWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const int hit = ChartWindowHit(size(), HandleSize(), pos);
    const bool onPlotHandle = m_selected == kPartPlot && m_handleMode;
    int part = kNoPart;
    if (currentChart() && (onPlotHandle || hit == kWindowHitMiddle)) {
        if (!m_haveWork) reload();
        part = onPlotHandle ? kPartPlot : HitTestPart(m_work, pos);
        if (part != m_selected) {
            m_selected = part;
            update();
        }
    }
    if (part) {
        m_last = pos;
        m_dragRect = m_work.GetPartRect(RectOfPart(part));
        m_dragState = 1;
        if (!m_handleMode && part == kPartPlot) setCursor(Qt::SizeAllCursor);
        return;
    }
    // Anywhere else the window itself is moved, or sized by its handles.
    if (hit == kWindowHitNone) return;
    m_trackHit = hit;
    m_trackStartGlobal = event->globalPosition().toPoint();
    m_trackStartRect = geometry();
    if (hit == kWindowHitMiddle) setCursor(Qt::SizeAllCursor);
}

void CPicWnd::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_trackHit >= 0 && (event->buttons() & Qt::LeftButton)) {
        const QPoint delta = event->globalPosition().toPoint() - m_trackStartGlobal;
        const QRect wanted = TrackChartWindow(m_trackStartRect, m_trackHit, delta);
        setGeometry(placeInParent(wanted, m_trackHit == kWindowHitMiddle));
        return;
    }
    if (!currentChart()) return;
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
        if (m_handleMode) {
            setCursor(handleCursor(m_handleMode));
            return;
        }
    } else {
        m_handleMode = 0;
    }
    const int hit = ChartWindowHit(size(), HandleSize(), pos);
    if (hit >= 0 && hit != kWindowHitMiddle)
        setCursor(windowCursor(hit));
    else
        unsetCursor();
}

void CPicWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (m_trackHit >= 0) {
        m_trackHit = -1;
        unsetCursor();
        if (geometry() != m_trackStartRect) syncItemToWindow();
        return;
    }
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

QRect CPicWnd::placeInParent(const QRect& wanted, bool moving) const {
    QRect bounds;
    if (CQorsView* view = sheetView()) {
        // Over the sheet: inside the headers and the sheet's far corner.
        Rect sheet{0, 0, m_doc ? m_doc->ViewState().sheetWidth : 0, m_doc ? m_doc->ViewState().sheetHeight : 0};
        view->Geometry().DocToClient(sheet);
        const int right = std::max(view->Display().CurrentViewState().headerWidth + 1,
                                   std::min(view->width(), sheet.right));
        const int bottom = std::max(view->Display().CurrentViewState().headerHeight + 1,
                                    std::min(view->height(), sheet.bottom));
        bounds = QRect(QPoint(view->Display().CurrentViewState().headerWidth,
                              view->Display().CurrentViewState().headerHeight),
                       QPoint(right - 1, bottom - 1));
    } else if (parentWidget()) {
        bounds = parentWidget()->rect();
    } else {
        return wanted;
    }
    if (!moving) {
        const QRect cut = wanted.intersected(bounds);
        return cut.width() >= kMinChartWindow && cut.height() >= kMinChartWindow ? cut : geometry();
    }
    // A move keeps the size and stops at the edges.
    QRect r = wanted;
    if (r.right() > bounds.right()) r.moveRight(bounds.right());
    if (r.bottom() > bounds.bottom()) r.moveBottom(bounds.bottom());
    if (r.left() < bounds.left()) r.moveLeft(bounds.left());
    if (r.top() < bounds.top()) r.moveTop(bounds.top());
    return r;
}

void CPicWnd::syncItemToWindow() {
    CGraphItem* chart = currentChart();
    if (!m_doc || !chart) return;
    if (CQorsView* view = sheetView()) {
        // Over the sheet the window is the chart: its place and size go to
        // the item, the parts scaled with it.
        if (!view->Items().IsChartEditing() || chartFrameState()) return;
        Rect r{x(), y(), x() + width(), y() + height()};
        view->Geometry().ClientToDoc(r);
        if (qor::view::ApplyItemRect(*m_doc, *chart, r)) {
            reload();
            m_doc->UpdateAllViews(CQorsDoc::kHintItems);
        }
        update();
        return;
    }
    // On the chart page only the size counts: the chart keeps its place on
    // the report page and is drawn anew at the new size.
    const Rect old = chart->GetRect();
    if (old.width() == width() && old.height() == height()) return;
    chart->SetSize(width(), height());
    const Rect now = chart->GetRect();
    ChartDesc desc = chart->GetChartDesc();
    qor::view::ScaleChartDesc(&desc, now.width(), old.width(), now.height(), old.height());
    chart->SetChartDesc(desc);
    chart->SetTrackedSize(QSize(now.width(), now.height()));
    m_doc->Items().SetCurrentChart(chart);
    reload();
    m_doc->Items().ChartWindow().changed = 1;
    m_doc->SetModifiedFlag();
    m_doc->UpdateAllViews(CQorsDoc::kHintItems);
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
    const QString prompt = kind == 2   ? LoadErrorText(qor::str::kXAxisTitle)
                           : kind == 3 ? LoadErrorText(qor::str::kYAxisTitle)
                                       : LoadErrorText(qor::str::kEnterTitlePrompt);
    CEditTitleDlg dlg(this, prompt, m_work.GetText(field));
    if (dlg.DoModal() != CQorDialog::IDOK) return false;
    m_work.SetText(field, dlg.Text().left(ChartDesc::kTextChars));
    commit();
    return true;
}

bool CPicWnd::EditTitleFont() {
    if (!currentChart() || m_selected < kPartYTitle || m_selected > kPartTitle) return false;
    if (!m_haveWork) reload();
    const ChartDesc::FontField field = m_selected == kPartXTitle   ? ChartDesc::kXTitleFont
                                       : m_selected == kPartYTitle ? ChartDesc::kYTitleFont
                                                                   : ChartDesc::kTitleFont;
    const ChartFont font = m_work.GetFont(field);
    CChartTitleFontDlg dlg(this);
    dlg.m_faceName = font.face;
    dlg.m_nSize = font.size;
    dlg.m_bItalic = (font.style & 0xFF) != 0;
    dlg.m_bBold = (font.style >> 8 & 0xFF) != 0;
    dlg.m_bUnderline = (font.style >> 16 & 0xFF) != 0;
    dlg.m_bStrikeOut = (font.style >> 24 & 0xFF) != 0;
    if (dlg.DoModal() != CQorDialog::IDOK) return false;
    ChartFont chosen;
    chosen.face = dlg.m_faceName;
    chosen.size = dlg.m_nSize;
    chosen.style = styleWord(dlg.m_bItalic, dlg.m_bBold, dlg.m_bUnderline, dlg.m_bStrikeOut);
    // The dialog refuses longer names; a record that cannot take the name
    // keeps the old font rather than a cut one.
    if (!m_work.SetFont(field, chosen)) return false;
    commit();
    return true;
}

bool CPicWnd::DefineDataGroup() {
    if (!currentChart()) return false;
    if (!m_haveWork) reload();
    CDataGroupDlg dlg(this, m_work.GroupsByRows());
    if (dlg.DoModal() != CQorDialog::IDOK) return false;
    SetDataGrouping(&m_work, dlg.ByRows());
    commit();
    return true;
}

bool CPicWnd::OpenChartByName() {
    const QList<CGraphItem*> charts = Charts();
    QStringList names;
    for (CGraphItem* chart : charts) names << chart->GetChartDesc().GetText(ChartDesc::kNameText);
    // The current chart is found as itself: names may repeat.
    const int current = int(charts.indexOf(currentChart()));
    COpenChartDlg dlg(this, ChartListNames(names), current);
    if (dlg.DoModal() != CQorDialog::IDOK) return false;
    const int chosen = dlg.Chosen();
    if (chosen < 0 || chosen >= charts.size()) return false;
    if (!m_doc->Items().SetCurrentChart(charts.at(chosen))) return false;
    m_selected = 0;
    reload();
    if (chartFrameState()) m_doc->UpdateAllViews(CQorsDoc::kHintItems);
    update();
    return true;
}

namespace {

// The chart window's stepping, open and delete commands outside the chart frame.
const QString& frameOnly() {
    static const QString text = LoadErrorText(qor::str::kChartWindowOnly);
    return text;
}

}  // namespace

const QString& CPicWnd::NoChartReason() {
    static const QString text = LoadErrorText(qor::str::kNoChart);
    return text;
}

int CPicWnd::currentIndex(const QList<CGraphItem*>& charts) const {
    return int(charts.indexOf(currentChart()));
}

void CPicWnd::deleteCurrentChart() {
    // No view may keep pointing at the chart that goes.
    CComItem* gone = m_doc->Items().GetCurrentChart();
    for (CQorsView* v : SheetViewsOf(m_doc)) {
        if (v->Items().Selected() != gone) continue;
        if (v->Items().IsChartEditing()) v->Items().EndChartEdit();
        v->Items().AssignSelected(nullptr);
    }
    m_doc->Items().DeleteCurrentChart();
    m_doc->Items().ChartWindow().changed = 1;
    auto* next = currentChart();
    for (CQorsView* v : SheetViewsOf(m_doc)) v->Items().SetSelection(next);
    if (next) {
        ShowChart(next);
    } else {
        m_haveWork = false;
        m_selected = 0;
        setEnabled(false);
        hide();
    }
}

const qor::CommandTable<CPicWnd>& CPicWnd::commands() {
    static const qor::CommandTable<CPicWnd> table = [] {
        using Row = qor::CommandRow<CPicWnd>;
        // Off with `why`, or without a chart when no reason is given.
        auto unless = [](bool on, const QString& why = QString()) {
            return on ? QString() : why.isEmpty() ? NoChartReason() : why;
        };
        auto hasChart = [](const CPicWnd& w) { return w.currentChart() != nullptr; };
        const Row::Rule withChart = [=](CPicWnd& w, int, qor::CommandState&) {
            return unless(hasChart(w));
        };
        const Row::Rule chartType = [=](CPicWnd& w, int id, qor::CommandState& s) {
            s.checkable = true;
            s.checked = hasChart(w) && int(w.m_work.GetChartType()) == ChartTypeOfCommand(id);
            return unless(hasChart(w));
        };
        const Row::Handler setType = [](CPicWnd& w, int id) {
            w.m_work.SetChartType(uint32_t(ChartTypeOfCommand(id)));
            w.commit();
        };
        const Row::Rule stepGroup = [=](CPicWnd& w, int id, qor::CommandState&) {
            return unless(hasChart(w) && CanStepDataGroup(w.m_work, id == kCmdNextGroup),
                          LoadErrorText(qor::str::kNoDataGroupToSwap));
        };
        const Row::Handler runStepGroup = [](CPicWnd& w, int id) {
            StepDataGroup(&w.m_work, id == kCmdNextGroup);
            w.commit();
        };
        // Stepping through the charts belongs to the chart frame.
        const Row::Rule notFirst = [=](CPicWnd& w, int, qor::CommandState&) {
            if (!w.chartFrameState()) return frameOnly();
            const bool chart = hasChart(w);
            return unless(chart && w.currentIndex(w.Charts()) > 0,
                          chart ? LoadErrorText(qor::str::kAlreadyFirstChart) : QString());
        };
        const Row::Rule notLast = [=](CPicWnd& w, int, qor::CommandState&) {
            if (!w.chartFrameState()) return frameOnly();
            const bool chart = hasChart(w);
            const QList<CGraphItem*> charts = w.Charts();
            const int index = w.currentIndex(charts);
            return unless(chart && index >= 0 && index < charts.size() - 1,
                          chart ? LoadErrorText(qor::str::kAlreadyLastChart) : QString());
        };
        return qor::CommandTable<CPicWnd>(
            {
                {kCmdTitle, withChart, [](CPicWnd& w, int) { w.EditTitle(1); }, nullptr},
                {kCmdXTitle, withChart, [](CPicWnd& w, int) { w.EditTitle(2); }, nullptr},
                {kCmdYTitle, withChart, [](CPicWnd& w, int) { w.EditTitle(3); }, nullptr},
                {kCmdDataGroup, withChart, [](CPicWnd& w, int) { w.DefineDataGroup(); }, nullptr},
                {kCmdToggleGrouping, withChart,
                 [](CPicWnd& w, int) {
                     SetDataGrouping(&w.m_work, !w.m_work.GroupsByRows());
                     w.commit();
                 },
                 nullptr},
                {kCmdTitleFont,
                 [=](CPicWnd& w, int, qor::CommandState&) {
                     return unless(
                         hasChart(w) && w.m_selected >= kPartYTitle && w.m_selected <= kPartTitle,
                         LoadErrorText(qor::str::kChooseTitleFirst));
                 },
                 [](CPicWnd& w, int) { w.EditTitleFont(); }, nullptr},
                {kCmdPreviousGroup, stepGroup, runStepGroup, nullptr},
                {kCmdNextGroup, stepGroup, runStepGroup, nullptr},
                {kCmdOpenChart,
                 [=](CPicWnd& w, int, qor::CommandState&) {
                     return unless(w.chartFrameState() && !w.Charts().isEmpty(),
                                   w.chartFrameState() ? QString() : frameOnly());
                 },
                 [](CPicWnd& w, int) { w.OpenChartByName(); }, nullptr},
                {kCmdPreviousChart, notFirst,
                 [](CPicWnd& w, int) {
                     const QList<CGraphItem*> charts = w.Charts();
                     w.ShowChart(charts.at(w.currentIndex(charts) - 1));
                 },
                 nullptr},
                {kCmdFirstChart, notFirst, [](CPicWnd& w, int) { w.ShowChart(w.Charts().first()); },
                 nullptr},
                {kCmdNextChart, notLast,
                 [](CPicWnd& w, int) {
                     const QList<CGraphItem*> charts = w.Charts();
                     w.ShowChart(charts.at(w.currentIndex(charts) + 1));
                 },
                 nullptr},
                {kCmdLastChart, notLast, [](CPicWnd& w, int) { w.ShowChart(w.Charts().last()); },
                 nullptr},
                {kCmdDeleteChart,
                 [=](CPicWnd& w, int, qor::CommandState&) {
                     return w.chartFrameState() ? unless(hasChart(w)) : frameOnly();
                 },
                 [](CPicWnd& w, int) { w.deleteCurrentChart(); }, nullptr},
                {qor::cmd_ids::kCmdChartType0, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType1, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType2, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType3, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType4, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType5, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType6, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType7, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType8, chartType, setType, nullptr},
                {qor::cmd_ids::kCmdChartType9, chartType, setType, nullptr},
            },
            qor::doccmd::ReasonNotBuilt());
    }();
    return table;
}

bool CPicWnd::OnUpdateCommand(int id, qor::CommandState& state) {
    // The rules read the chart as the document holds it.
    if (currentChart() && !m_haveWork) reload();
    return commands().Update(*this, id, state);
}

bool CPicWnd::OnCommand(int id) {
    // A command runs only while its rule lets it: the handlers take what
    // the rule checked (a chart, the frame, a chart to step to) as given.
    qor::CommandState state;
    return OnUpdateCommand(id, state) && state.enabled && commands().Run(*this, id);
}
