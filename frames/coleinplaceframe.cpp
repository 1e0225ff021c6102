#include "frames/coleinplaceframe.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <algorithm>
#include <functional>

#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/cellformat.h"
#include "engine/messages.h"
#include "frames/cmainframe.h"
#include "frames/coletrackbar.h"
#include "frames/menustyle.h"
#include "frames/menutable.h"
#include "frames/toolbars.h"
#include "platform/uiservices.h"
#include "resources/commandids.h"
#include "view/cpagectrl.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"

namespace qor::frames {

namespace {

using namespace qor::cmd_ids;

COleInPlaceFrame* s_current = nullptr;

// The popup that lists the open windows.
bool isWindowGroup(const MenuEntry& popup) {
    return std::any_of(popup.children.begin(), popup.children.end(),
                       [](const MenuEntry& c) { return c.kind == MenuEntry::WindowList; });
}

// The groups of a report's menu bar the container keeps while one of its
// objects is edited in place: the first (file) and the window list's.
bool isContainerGroup(const QList<MenuEntry>& tops, qsizetype i) {
    return i == 0 || isWindowGroup(tops[i]);
}

}  // namespace

int InPlaceTabArea::Compute() const {
    int w = collapsed      ? stripWidth
            : firstLayout  ? innerWidth * 2 / 3
            : restoreSaved ? savedWidth
                           : width;
    w = std::min(w, innerWidth - kMinWidth);
    return std::max(w, kMinWidth);
}

COleInPlaceFrame* COleInPlaceFrame::Current() { return s_current; }

COleInPlaceFrame::COleInPlaceFrame(std::unique_ptr<CQorsDoc> doc, IInPlaceSite* site,
                                   const QRect& position)
    : QWidget(site->ContainerWindow()), m_doc(std::move(doc)), m_site(site) {
    setObjectName(QStringLiteral("inPlaceFrame"));
    // The frame's face shows where no child covers it.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    m_router.SetChain([this] {
        QList<qor::ICommandTarget*> targets;
        if (m_view) targets << m_view;
        targets << m_doc.get() << this;
        return targets;
    });
    // The main window's own commands (its bars, the command window, the
    // chart window, scripts) wait while an object is edited in place: they
    // say so rather than claim to be missing.
    m_router.SetFallbackReason(LoadErrorText(str::kNotWhileEditingInPlace));
    m_router.SetReasons(BuiltinMenuTable().reasons);
    m_router.SetCaptions(BuiltinMenuTable().captions);
    // The container's file and window commands stay the container's, also
    // on this frame's bars and keys (print and preview among them): one
    // action each, so a greyed item never has a live button or key.
    if (CommandRouter* outer = site->ContainerRouter()) {
        QList<int> kept;
        const QList<MenuEntry>& tops = BuiltinMenuTable().menus.value(kMenuReport);
        for (qsizetype i = 0; i < tops.size(); ++i)
            if (tops[i].kind == MenuEntry::Popup && isContainerGroup(tops, i))
                kept += CommandIdsOf(tops[i].children);
        m_router.SetOuter(outer, kept);
    }
    m_router.SetGate(kCmdCellFormula, [this](qor::CommandState& s) {
        if (!CMainFrame::CellFormulaAllowed(m_doc.get())) {
            if (s.enabled) s.reason = LoadErrorText(str::kFormulaCellReason);
            s.enabled = false;
        }
    });
    m_router.SetBeforeRun([this](int id) { return StoreEntryBeforeCommand(id); });
    connect(&m_router, &CommandRouter::commandExecuted, this, [this] { UpdateFrameState(); });

    m_view = new CQorsView(m_doc.get(), this);
    m_view->setObjectName(QStringLiteral("inPlaceView"));
    m_view->OnInitialUpdate();
    m_hBar = new QScrollBar(Qt::Horizontal, this);
    m_hBar->setObjectName(QStringLiteral("c%1").arg(kHScrollBarId));
    m_vBar = new QScrollBar(Qt::Vertical, this);
    m_vBar->setObjectName(QStringLiteral("c%1").arg(kVScrollBarId));
    m_view->Scroll().SetScrollBars(m_hBar, m_vBar);
    m_tabs = new CPageCtrl(this);
    m_tabs->Create(this, kPageCtrlId);
    m_tabs->SetSheetView(m_view);
    connect(m_tabs, &CPageCtrl::commandRequested, this, [this](int id) { m_router.Execute(id); });
    connect(m_tabs, &CPageCtrl::widthChanged, this, [this](int w) {
        // The mode button's width is not the tabs' width to come back to.
        if (m_tabs->IsTabAreaShown()) m_nTabAreaWidth = w;
        RecalcLayout();
    });
    disconnect(m_view, &CQorsView::commandRequested, m_view, nullptr);
    connect(m_view, &CQorsView::commandRequested, this, [this](int id) { m_router.Execute(id); });

    createBars();
    m_view->CellEdit().AttachFormulaBar(m_editBar->FormulaBar(), m_editBar->NameBox());
    auto* menuStyle = new CFlatMenuStyle;
    menuStyle->setParent(this);
    for (int id : {kMenuCells, kMenuItem, kMenuChart})
        m_contextMenus.insert(
            id, BuildMenu(BuiltinMenuTable().menus.value(id), QString(), m_router, this, menuStyle));
    connect(m_view, &CQorsView::contextMenuRequested, this,
            [this](int menuId, QPoint at) { ShowContextMenu(menuId, at); });
    // The menus this frame brings to the shared menu bar: the container
    // keeps its file and window groups (the first popup of the report's
    // menu bar and the one with the window list), this frame gives the
    // others, help last.
    auto serverMenus = [this, menuStyle](int barId, bool skipFirst, QList<QMenu*>* into) {
        const QList<MenuEntry>& tops = BuiltinMenuTable().menus.value(barId);
        for (qsizetype i = 0; i < tops.size(); ++i) {
            const MenuEntry& e = tops[i];
            if (e.kind != MenuEntry::Popup || (skipFirst && i == 0)) continue;
            if (isWindowGroup(e)) continue;
            const bool help = i == tops.size() - 1;
            if (help && m_helpMenu) continue;  // one help menu, the report's
            QMenu* menu = BuildMenu(e.children, e.text, m_router, this, menuStyle);
            if (help)
                m_helpMenu = menu;
            else
                into->append(menu);
        }
    };
    serverMenus(kMenuReport, true, &m_reportMenus);
    serverMenus(kMenuChartEdit, false, &m_chartMenus);
    // Esc on the sheet, with no entry open, ends the editing.
    m_view->installEventFilter(this);
    // Shift+F1 anywhere in the frame; the container's own keys stay its own.
    QAction* help = m_router.Action(kContextHelp, LoadErrorText(str::kHelpModeAction));
    m_router.SetKeys(kContextHelp, QStringLiteral("Shift+F1"), false);
    help->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(help);

    m_track = new COleTrackBar(site->ContainerWindow());
    m_track->SetSnap(
        [this](const QRect& proposed, int handle) { return FitToCells(proposed, handle); });
    connect(m_track, &COleTrackBar::sizeChildRequested, this,
            [this](int, const QRect& rect) { onSizeChildRequest(rect); });
    // After a drag of the border the sheet has the keyboard again, and Esc
    // on the border itself (a press that did not drag) ends the editing too.
    connect(m_track, &COleTrackBar::trackEnded, this, [this] {
        if (m_view) m_view->setFocus(Qt::OtherFocusReason);
    });
    m_track->installEventFilter(this);
    SetPosition(position);
    m_track->show();
    show();
    s_current = this;

    connect(m_doc.get(), &CQorsDoc::changed, this, [this](int) { UpdateFrameState(); });
    m_focusConnection =
        connect(qApp, &QApplication::focusChanged, this, [this] { UpdateFrameState(); });
    m_idle.setInterval(250);
    connect(&m_idle, &QTimer::timeout, this, &COleInPlaceFrame::UpdateFrameState);
    m_idle.start();

    publishPages();
    RecalcLayout();  // the strip now knows its state and width
    m_view->setFocus(Qt::OtherFocusReason);
    UpdateFrameState();
}

COleInPlaceFrame::~COleInPlaceFrame() {
    if (s_current == this) s_current = nullptr;
    if (IsInHelpMode()) QWhatsThis::leaveWhatsThisMode();
    if (m_bChartMenu) m_site->SetChartMenu(false);
    m_idle.stop();
    disconnect(m_focusConnection);
    if (m_editBar) m_editBar->FormulaBar()->SetView(nullptr);
    // The view points at the document: it goes first, and so do the bars
    // the container's window holds for this frame.
    CQorsView* view = m_view;
    m_view = nullptr;
    delete view;
    for (QWidget* bar :
         {static_cast<QWidget*>(m_standardBar.data()), static_cast<QWidget*>(m_formatBar.data()),
          static_cast<QWidget*>(m_editBar.data()), static_cast<QWidget*>(m_chartBar.data())})
        delete bar;
    delete m_track.data();
    disconnect(m_doc.get(), nullptr, this, nullptr);
}

void COleInPlaceFrame::createBars() {
    QMainWindow* host = m_site->ContainerFrame();
    QWidget* parent = host ? static_cast<QWidget*>(host) : this;
    m_standardBar = new CFlatToolBar(kCmdBarStandard, LoadErrorText(str::kStandardToolBar), parent);
    m_formatBar = new CFontToolBar(parent);
    m_formatBar->setWindowTitle(LoadErrorText(str::kFormatToolBar));
    m_editBar = new CFormulaToolBar(parent);
    m_editBar->setWindowTitle(LoadErrorText(str::kEditToolBar));
    m_chartBar = new CFlatToolBar(kCmdBarChart, LoadErrorText(str::kChartToolBar), parent);
    for (CFlatToolBar* bar : {m_standardBar.data(), static_cast<CFlatToolBar*>(m_formatBar.data()),
                              static_cast<CFlatToolBar*>(m_editBar.data()), m_chartBar.data()})
        FillToolBar(bar, m_router, style());
    if (host) {
        host->addToolBar(Qt::TopToolBarArea, m_standardBar);
        host->addToolBar(Qt::TopToolBarArea, m_formatBar);
        host->addToolBarBreak(Qt::TopToolBarArea);
        host->addToolBar(Qt::TopToolBarArea, m_editBar);
        host->addToolBar(Qt::TopToolBarArea, m_chartBar);
    } else {
        // No window to dock them in: the bars sit along the frame's top.
        m_barArea = new QWidget(this);
        auto* rows = new QVBoxLayout(m_barArea);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(0);
        auto* first = new QHBoxLayout;
        first->addWidget(m_standardBar);
        first->addWidget(m_formatBar);
        first->addStretch();
        rows->addLayout(first);
        rows->addWidget(m_editBar);
        rows->addWidget(m_chartBar);
        // A small frame still shows the formula bar rather than folding it
        // away behind the bar's overflow button.
        m_editBar->FormulaBar()->setMinimumWidth(80);
    }
    m_chartBar->hide();
    m_editBar->setMovable(false);
    m_formatBar->setMovable(false);
    for (QComboBox* box : {m_formatBar->FontNameBox(), m_formatBar->FontSizeBox()}) {
        const int code = box == m_formatBar->FontNameBox() ? kFmtFont : kFmtFontSize;
        connect(box, &QComboBox::activated, this, [this, code](int index) {
            const QString refusal = CFontToolBar::ApplyPick(m_doc.get(), code, index);
            if (!refusal.isEmpty())
                messageBox(refusal, LoadErrorText(str::kAppTitle), MsgButtons::Ok,
                           MsgIcon::Information);
        });
    }
    // Enter and Esc in the formula bar are this frame's commands.
    m_editBar->FormulaBar()->installEventFilter(this);
}

QMenu* COleInPlaceFrame::ShowContextMenu(int menuId, QPoint globalPos) {
    QMenu* menu = m_contextMenus.value(menuId);
    if (menu && menuId == kMenuCells) PlaceVarLineItems(menu, m_router, m_doc.get());
    if (menu) menu->popup(globalPos);
    return menu;
}

CFlatToolBar* COleInPlaceFrame::ToolBar(int id) const {
    for (CFlatToolBar* bar : {m_standardBar.data(), static_cast<CFlatToolBar*>(m_formatBar.data()),
                              static_cast<CFlatToolBar*>(m_editBar.data()), m_chartBar.data()})
        if (bar && bar->BarId() == id) return bar;
    return nullptr;
}

QList<CQorsView*> COleInPlaceFrame::FrameViews() const {
    QList<CQorsView*> views;
    if (m_view) views << m_view;
    return views;
}

CFormulaBar* COleInPlaceFrame::FrameFormulaBar() const {
    return m_editBar ? m_editBar->FormulaBar() : nullptr;
}

void COleInPlaceFrame::FrameShowFormatBar(bool dataState) {
    if (m_formatBar) m_formatBar->setVisible(!dataState);
    RecalcLayout();
}

// ---------------------------------------------------------------------------
// Place and layout

void COleInPlaceFrame::SetPosition(const QRect& rect) {
    setGeometry(rect);
    if (m_track) {
        m_track->Surround(rect);
        m_track->stackUnder(this);
    }
}

namespace {

// The pixels of whole lines from first on that fit in room (at least the
// first line's), walking up to the last line.
int wholeLines(int room, int first, int last, const std::function<int(int, int)>& distance) {
    int used = distance(first, first + 1);
    for (int line = first + 1; line <= last; ++line) {
        const int next = distance(first, line + 1);
        if (next > room) break;
        used = next;
    }
    return used;
}

}  // namespace

QRect COleInPlaceFrame::FitToCells(const QRect& proposed, int handle) const {
    // The hatched border itself moves the frame: its size stays as it is.
    if (handle < CRectTrackerEx::hitTopLeft || handle > CRectTrackerEx::hitLeft) return proposed;
    const qor::view::SheetGeometry& geo = m_view->Geometry();
    if (geo.LastRow() < 0 || geo.LastColumn() < 0) return proposed;
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int bottom = m_tabs->RowHeight(extent);
    const int top = m_barArea ? m_barArea->sizeHint().height() : 0;
    const int headerW = m_view->Display().CurrentViewState().headerWidth,
              headerH = m_view->Display().CurrentViewState().headerHeight;
    const int columns =
        wholeLines(proposed.width() - extent - headerW, m_view->FirstColumn(), geo.LastColumn(),
                   [&geo](int a, int b) { return geo.GetColumnDistance(a, b); });
    const int rows =
        wholeLines(proposed.height() - top - bottom - headerH, m_view->FirstRow(), geo.LastRow(),
                   [&geo](int a, int b) { return geo.GetRowDistance(a, b); });
    const QSize size(headerW + columns + extent, top + headerH + rows + bottom);
    // Handles 0 top-left, 3 bottom-left and 7 left move the left side;
    // 0, 1 top-right and 4 top move the top.
    const bool movesLeft = handle == CRectTrackerEx::hitTopLeft ||
                           handle == CRectTrackerEx::hitBottomLeft ||
                           handle == CRectTrackerEx::hitLeft;
    const bool movesTop = handle == CRectTrackerEx::hitTopLeft ||
                          handle == CRectTrackerEx::hitTopRight || handle == CRectTrackerEx::hitTop;
    QRect fitted(proposed.topLeft(), size);
    if (movesLeft) fitted.moveRight(proposed.right());
    if (movesTop) fitted.moveBottom(proposed.bottom());
    // A side the handle does not move keeps its size.
    if (handle == CRectTrackerEx::hitTop || handle == CRectTrackerEx::hitBottom) {
        fitted.setLeft(proposed.left());
        fitted.setWidth(proposed.width());
    }
    if (handle == CRectTrackerEx::hitLeft || handle == CRectTrackerEx::hitRight) {
        fitted.setTop(proposed.top());
        fitted.setHeight(proposed.height());
    }
    return fitted;
}

void COleInPlaceFrame::onSizeChildRequest(const QRect& rect) {
    // The container decides; a refusal leaves everything where it was.
    if (m_site->RequestPositionChange(rect)) SetPosition(rect);
}

void COleInPlaceFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int h = height();
    if (m_nLastHeight > 0 && h < m_nLastHeight) {
        // A shrinking frame keeps the tabs in proportion.
        m_nSavedTabWidth = m_nTabAreaWidth * h / m_nLastHeight;
        m_bRestoreTabWidth = true;
    }
    RecalcLayout();
    m_nLastHeight = h;
}

void COleInPlaceFrame::RecalcLayout() {
    if (!m_view) return;
    int top = 0;
    if (m_barArea) {
        const int barHeight = m_barArea->sizeHint().height();
        m_barArea->setGeometry(0, 0, width(), barHeight);
        top = barHeight;
    }
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    // The bottom row carries the page tabs: as tall as their captions need.
    const int bottom = m_tabs->RowHeight(extent);
    const QRect content(0, top, width(), std::max(0, height() - top));
    const QRect inner(content.left(), content.top(), std::max(0, content.width() - extent),
                      std::max(0, content.height() - bottom));

    InPlaceTabArea tabs;
    tabs.collapsed = !m_tabs->IsTabAreaShown();
    // Collapsed, the strip is its mode button.
    tabs.stripWidth = tabs.collapsed ? m_tabs->Metrics().CollapsedWidth() : m_tabs->StripWidth();
    tabs.innerWidth = inner.width();
    tabs.firstLayout = m_bFirstLayout && !tabs.collapsed;
    tabs.restoreSaved = m_bRestoreTabWidth;
    tabs.savedWidth = m_nSavedTabWidth;
    tabs.width = m_nTabAreaWidth;
    const int tabWidth = tabs.Compute();
    if (!tabs.collapsed) {
        m_nTabAreaWidth = tabWidth;
        m_bFirstLayout = false;
        m_bRestoreTabWidth = false;
    }

    m_view->setGeometry(inner);
    const QRect v(inner.right() + 1, inner.top(), extent, inner.height());
    const QRect h(inner.left() + tabWidth, inner.bottom() + 1, inner.width() - tabWidth, bottom);
    // A bar with no room is hidden rather than squeezed.
    m_vBar->setGeometry(v);
    m_vBar->setVisible(v.width() >= 2 && v.height() >= 2);
    m_hBar->setGeometry(h);
    m_hBar->setVisible(h.width() >= 2 && h.height() >= 2);
    m_tabs->SetPosition(inner.left(), inner.bottom() + 1, inner.left() + tabWidth,
                        inner.bottom() + 1 + bottom, tabWidth);
}

// ---------------------------------------------------------------------------
// Commands

bool COleInPlaceFrame::IsInHelpMode() { return QWhatsThis::inWhatsThisMode(); }

void COleInPlaceFrame::syncChartMenu() {
    const bool chart = m_view && m_view->Items().IsChartEditing();
    if (chart == m_bChartMenu) return;
    m_bChartMenu = chart;
    // The chart's bar stands beside the report's while a chart is edited.
    if (m_chartBar) m_chartBar->setVisible(chart);
    RecalcLayout();
    m_site->SetChartMenu(chart);
}

void COleInPlaceFrame::UpdateFrameState() {
    syncChartMenu();
    m_router.UpdateAll();
    if (m_formatBar) m_formatBar->ShowFor(m_doc.get());
    if (CFormulaBar* bar = FrameFormulaBar()) {
        const bool editable = CMainFrame::FormulaBarEditable(m_doc.get());
        // Never take the bar away from under a typed entry.
        if (bar->isEnabled() != editable && !(bar->hasFocus() && bar->m_nMode != -1))
            bar->setEnabled(editable);
    }
}

void COleInPlaceFrame::CommitFormulaBar() {
    if (CFormulaBar* bar = FrameFormulaBar(); bar && bar->View()) bar->CommitFormulaBar();
}

void COleInPlaceFrame::OnInputConfirm() {
    if (CFormulaBar* bar = FrameFormulaBar(); bar && bar->View()) bar->OnInputConfirm();
}

void COleInPlaceFrame::OnInputCancel() {
    if (CFormulaBar* bar = FrameFormulaBar(); bar && bar->View()) bar->OnInputCancel();
}

const qor::CommandTable<COleInPlaceFrame>& COleInPlaceFrame::commands() {
    // Inside a member function, so the rules may reach the frame's bar and
    // report through the frame they are given.
    constexpr auto inputRule = [](COleInPlaceFrame& f, int, qor::CommandState&) {
        const CFormulaBar* bar = f.FrameFormulaBar();
        return bar && bar->View() && f.m_doc->IsOpen() ? QString()
                                                       : LoadErrorText(str::kNoCellBeingEdited);
    };
    static const qor::CommandTable<COleInPlaceFrame> table(
        {
            {kContextHelp,
             [](COleInPlaceFrame&, int, qor::CommandState& s) {
                 s.checkable = true;
                 s.checked = IsInHelpMode();
                 return QString();
             },
             [](COleInPlaceFrame&, int) {
                 if (IsInHelpMode())
                     QWhatsThis::leaveWhatsThisMode();
                 else
                     QWhatsThis::enterWhatsThisMode();
             }},
            {kCmdInputConfirm, inputRule, [](COleInPlaceFrame& f, int) { f.OnInputConfirm(); }},
            {kCmdInputCancel, inputRule, [](COleInPlaceFrame& f, int) { f.OnInputCancel(); }},
        },
        doccmd::ReasonNotBuilt());
    return table;
}

// The report's state commands are the shared report frame's; the rest are
// this frame's table.
const qor::CommandIdSet* COleInPlaceFrame::DeclaredCommands() const {
    static const qor::CommandIdSet ids = [] {
        QList<int> list = StateCommands().Ids();
        list << commands().Ids().Ids();
        return qor::CommandIdSet(std::move(list));
    }();
    return &ids;
}

bool COleInPlaceFrame::OnUpdateCommand(int id, qor::CommandState& s) {
    return UpdateStateCommand(id, s) || commands().Update(*this, id, s);
}

bool COleInPlaceFrame::OnCommand(int id) {
    return RunStateCommand(id) || commands().Run(*this, id);
}

bool COleInPlaceFrame::eventFilter(QObject* watched, QEvent* event) {
    // Only key presses are looked at: other events (a hide while the bars
    // are torn down) may come while a bar is half destroyed, when even
    // comparing it through its guarded pointer would cast a dying object.
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const bool onSheet = m_view && watched == m_view && !m_view->Items().IsChartEditing();
    const bool onBorder = m_track && watched == m_track && !m_track->IsTracking();
    if ((onSheet || onBorder) && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        m_site->CloseRequested();
        return true;
    }
    if (m_editBar && watched == m_editBar->FormulaBar()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_router.Execute(kCmdInputConfirm);
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_router.Execute(kCmdInputCancel);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Deactivation

void COleInPlaceFrame::Deactivate() {
    if (IsInHelpMode()) QWhatsThis::leaveWhatsThisMode();
    if (m_bChartMenu) {
        m_bChartMenu = false;
        m_site->SetChartMenu(false);
    }
    CommitPendingEntry();
    if (m_doc->IsOpen() && m_doc->IsModified()) m_site->StoreItem(*m_doc);
    if (s_current == this) s_current = nullptr;
}

}  // namespace qor::frames
