#include "frames/cmainframe.h"

#include <QAction>
#include <array>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "charts/cgraphitem.h"
#include "chartui/cpicframe.h"
#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/batchcmd_dlgs.h"
#include "dialogs/viewsettings_viewdialogs.h"
#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "exchange/ownxml_import.h"
#include "exchange/spreadsheetxml.h"
#include "exchange/xmldom.h"
#include "finui/auditmappingdlg.h"
#include "finui/mailtransfer.h"
#include "frames/ccmdbar.h"
#include "frames/cfilemanagerbar.h"
#include "frames/commandicons.h"
#include "frames/cchildframe.h"
#include "frames/cmyfiledlg.h"
#include "frames/coleinplaceframe.h"
#include "frames/inplacesession.h"
#include "frames/cstatusbarxp.h"
#include "frames/menustyle.h"
#include "frames/toolbars.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "frames/helpwindow.h"
#include "resources/commandids.h"
#include "resources/stringtable.h"
#include "view/cqorsplitterwnd.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"
#include "view/view_commands.h"

namespace qor::frames {

int CMainFrame::s_bClosing = 0;
std::function<bool(const QUrl&)> CMainFrame::s_openUrl = [](const QUrl& url) {
    return CHelpWindow::Show(url);
};

namespace {

using namespace qor::cmd_ids;

QString openFilter() { return LoadErrorText(str::kOpenFileFilter); }
QString saveFilter() { return LoadErrorText(str::kSaveAsFileFilter); }

QString caption() { return LoadErrorText(str::kAppTitle); }

void tell(const QString& text, MsgIcon icon = MsgIcon::Warning) {
    messageBox(text, caption(), MsgButtons::Ok, icon);
}

CAppEnvironment& env() { return CAppEnvironment::Instance(); }

// The current cell's 1-based area, or the selection's.
CellArea oneBased(const CellArea& a) {
    return CellArea::area(a.first.row + 1, a.first.col + 1, a.last.row + 1, a.last.col + 1);
}

bool isVarAreaFirstLine(const CQorsDoc* doc) {
    VarAreaInfo var;
    doc->GetVarAreaInfo(&var);
    if (var.kind == 1) return doc->Selection().CurrentRow() == var.start;
    if (var.kind == 2) return doc->Selection().CurrentColumn() == var.start;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("qorview"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiClient"));
    m_mdi->setBackground(Qt::white);
    setCentralWidget(m_mdi);

    m_router.SetChain([this] { return chain(); });
    m_router.SetBeforeRun([this](int id) { return storeActiveEntry(id); });
    m_router.SetReasons(BuiltinMenuTable().reasons);
    m_router.SetCaptions(BuiltinMenuTable().captions);
    m_router.SetGate(kCmdCellFormula, [this](CommandState& s) {
        if (!CellFormulaAllowed(ActiveDocument())) {
            if (s.enabled) s.reason = LoadErrorText(str::kFormulaCellReason);
            s.enabled = false;
        }
    });
    connect(&m_router, &CommandRouter::commandExecuted, this, [this] { UpdateFrameState(); });

    createBars();
    createMenus();

    // Settings the frame keeps between sessions.
    const int money = env().GetProfileInt(QStringLiteral("REZ"), QStringLiteral("Money"), 0);
    m_nCurrencyIndex = money >= 0 && money <= 4 ? money : 0;
    m_strMenuFile = env().GetProfileString(QStringLiteral("CustomMenu"), QStringLiteral("MenuFile"));
    // A command window left open is shown again with the first report.
    if (env().GetProfileInt(QStringLiteral("REZ"), QStringLiteral("wnd"), 0) != 0)
        m_cmdBar->m_nOpen = 2;
    const int show = env().GetProfileInt(QStringLiteral("Settings"), QStringLiteral("ShowCmd"), 3);
    CChildFrame::s_nShowCmd = show == 1 ? 1 : 3;
    const QString state =
        env().GetProfileString(LoadErrorText(str::kToolBarName), QStringLiteral("State"));
    if (!state.isEmpty()) restoreState(QByteArray::fromBase64(state.toLatin1()));
    m_cmdBar->hide();
    m_chartBar->hide();
    // Every button of the format bar works on a report in format state:
    // without a report the bar waits, put away, for the first one.
    ShowFormatBarForState(true);

    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (auto* chartFrame = qobject_cast<CPicFrame*>(w)) {
            m_lastChartFrame = chartFrame;
            UpdateFrameState();
            return;
        }
        if (w) m_lastChartFrame = nullptr;
        OnChildActivated(qobject_cast<CChildFrame*>(w));
    });
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        auto* view = qobject_cast<CQorsView*>(now);
        if (view && view->GetDocument() && view->GetDocument()->Items().IsRunningInPlace()) view = nullptr;
        if (view) {
            hookView(view);
            CChildFrame* child = ActiveChild();
            if (child && child->isAncestorOf(view)) {
                if (CFormulaBar* bar = FormulaBar())
                    view->CellEdit().AttachFormulaBar(bar, m_editBar->NameBox());
            }
        }
        UpdateFrameState();
    });
    // The idle pass keeps buttons in step with what the keyboard changed.
    m_idle.setInterval(250);
    connect(&m_idle, &QTimer::timeout, this, &CMainFrame::UpdateFrameState);
    m_idle.start();
    switchMenu(kMenuNoReport);
    resize(1000, 700);
    OnChildActivated(nullptr);
}

CMainFrame::~CMainFrame() {
    // An object edited in place goes back into its report while this
    // window is still whole.
    CInPlaceSession::DeactivateWithin(this);
    m_idle.stop();
    disconnect(m_focusConnection);
    disconnect(m_mdi, nullptr, this, nullptr);
    // The reports go before the bars their views point at.
    for (CChildFrame* child : findChildren<CChildFrame*>()) delete child;
}

void CMainFrame::createBars() {
    m_standardBar = new CFlatToolBar(kCmdBarStandard, LoadErrorText(str::kStandardToolBar), this);
    m_formatBar = new CFontToolBar(this);
    m_formatBar->setWindowTitle(LoadErrorText(str::kFormatToolBar));
    m_editBar = new CFormulaToolBar(this);
    m_editBar->setWindowTitle(LoadErrorText(str::kEditToolBar));
    m_editBar->setMovable(false);
    m_chartBar = new CFlatToolBar(kCmdBarChart, LoadErrorText(str::kChartToolBar), this);
    m_status = new CStatusBarXP(this);
    setStatusBar(m_status);
    m_status->SetLogin(env().GetAccountSetId(), env().GetUserId());

    m_cmdBar = new CCmdBar(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_cmdBar);
    resizeDocks({m_cmdBar}, {100}, Qt::Vertical);
    connect(m_cmdBar, &CCmdBar::helpRequested, this, [this] { OpenHelp(true); });

    const std::array<CFlatToolBar*, 4> bars = {m_standardBar, m_formatBar, m_editBar, m_chartBar};
    for (CFlatToolBar* bar : bars) {
        FillToolBar(bar, m_router, style());
        if (bar == m_editBar) addToolBarBreak();
        addToolBar(Qt::TopToolBarArea, bar);
    }
    // The edit bar under the two others, as wide as the window.
    insertToolBarBreak(m_editBar);

    connect(m_formatBar->FontNameBox(), &QComboBox::activated, this,
            [this](int index) { onFontBox(kFmtFont, index); });
    connect(m_formatBar->FontSizeBox(), &QComboBox::activated, this,
            [this](int index) { onFontBox(kFmtFontSize, index); });
    // Enter and Esc in the formula bar are the frame's commands.
    m_editBar->FormulaBar()->installEventFilter(this);
}

QMenu* CMainFrame::buildMenu(const QList<MenuEntry>& entries, const QString& title) {
    MenuHooks hooks;
    hooks.placed = [this](QAction* a) { addAction(a); };  // keys work whichever menu bar is shown
    hooks.windowList = [this](QMenu* m) { m_windowMenus.append(m); };
    hooks.shown = [this](QMenu* m) {
        if (m_windowMenus.contains(m)) fillWindowList(m);
    };
    return BuildMenu(entries, title, m_router, this, m_menuStyle, hooks);
}

void CMainFrame::createMenus() {
    m_menuStyle = new CFlatMenuStyle;
    m_menuStyle->setParent(this);
    menuBar()->setStyle(m_menuStyle);
    const MenuTable& table = BuiltinMenuTable();
    for (int id : {kMenuNoReport, kMenuReport, kMenuChartEdit}) {
        QList<QMenu*> tops;
        for (const MenuEntry& e : table.menus.value(id))
            if (e.kind == MenuEntry::Popup) tops.append(buildMenu(e.children, e.text));
        m_topMenus.insert(id, tops);
    }
    for (int id : {kMenuCells, kMenuItem, kMenuChart})
        m_contextMenus.insert(id, buildMenu(table.menus.value(id), QString()));
    // F1 is help wherever the focus is; in the command window it is the
    // command language's.
    QAction* help = m_router.Action(kCmdHelp, LoadErrorText(str::kHelp));
    m_router.SetKeys(kCmdHelp, QStringLiteral("F1"), false);
    addAction(help);
}

void CMainFrame::switchMenu(int menuId) {
    m_wantedMenu = menuId;
    // A user menu stays while reports are opened, closed and activated;
    // the shared menu stays while an object is edited in place.
    if (m_userMenuActive || m_inPlaceFrame) return;
    if (m_currentMenu == menuId) return;
    m_currentMenu = menuId;
    QMenuBar* bar = menuBar();
    bar->clear();
    for (QMenu* m : m_topMenus.value(menuId)) bar->addMenu(m);
}

void CMainFrame::SetInPlaceFrame(COleInPlaceFrame* frame) {
    if (frame && !m_inPlaceFrame) {
        for (QWidget* bar : {static_cast<QWidget*>(m_standardBar), static_cast<QWidget*>(m_formatBar),
                             static_cast<QWidget*>(m_editBar), static_cast<QWidget*>(m_chartBar)}) {
            if (!bar->isVisibleTo(this)) continue;
            m_inPlaceHiddenBars.append(bar);
            bar->hide();
        }
    } else if (!frame && m_inPlaceFrame) {
        for (const QPointer<QWidget>& bar : m_inPlaceHiddenBars)
            if (bar) bar->show();
        m_inPlaceHiddenBars.clear();
    }
    m_inPlaceFrame = frame;
    if (!frame) {
        m_currentMenu = 0;  // the menu bar holds the shared menu: made again
        switchMenu(m_wantedMenu ? m_wantedMenu : kMenuReport);
        UpdateFrameState();
        return;
    }
    if (m_userMenuActive) return;
    QMenuBar* bar = menuBar();
    bar->clear();
    const QList<QMenu*> own = m_topMenus.value(kMenuReport);
    if (!own.isEmpty()) bar->addMenu(own.first());
    for (QMenu* m : frame->SharedMenus()) bar->addMenu(m);
    for (QMenu* m : own)
        if (m_windowMenus.contains(m)) bar->addMenu(m);
    if (QMenu* help = frame->HelpMenu()) bar->addMenu(help);
    m_currentMenu = -1;
    UpdateFrameState();
}

void CMainFrame::fillWindowList(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a->property("windowList").toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    int n = 1;
    for (CChildFrame* child : Children()) {
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(n++).arg(child->windowTitle().remove(
                                  QStringLiteral("[*]"))),
                              menu);
        a->setProperty("windowList", true);
        const QString path = child->GetDocument() ? child->GetDocument()->GetPathName() : QString();
        a->setStatusTip(LoadErrorText(str::kWindowListPrompt)
                            .arg(path.isEmpty() ? child->windowTitle().remove(QStringLiteral("[*]"))
                                                : QDir::toNativeSeparators(path)));
        a->setCheckable(true);
        a->setChecked(child == ActiveChild());
        connect(a, &QAction::triggered, this, [this, child] {
            // Like a command, the switch waits for an entry the report
            // left would refuse: going on would drop what was typed.
            if (child != ActiveChild() && !storeActiveEntry(0)) return;
            m_mdi->setActiveSubWindow(child);
        });
        menu->addAction(a);
    }
}

bool CMainFrame::storeActiveEntry(int id) {
    CChildFrame* child = ActiveChartFrame() ? nullptr : ActiveChild();
    if (!child || (m_inPlaceFrame && child->isAncestorOf(m_inPlaceFrame))) return true;
    return child->StoreEntryBeforeCommand(id);
}

QMenu* CMainFrame::ShowContextMenu(int menuId, QPoint globalPos) {
    QMenu* menu = m_contextMenus.value(menuId);
    if (!menu) return nullptr;
    if (menuId == kMenuCells) PlaceVarLineItems(menu, m_router, ActiveDocument());
    menu->popup(globalPos);
    return menu;
}

CFlatToolBar* CMainFrame::ToolBar(int id) const {
    const std::array<std::pair<int, CFlatToolBar*>, 4> bars = {{{kCmdBarStandard, m_standardBar},
                                                                {kCmdBarFormat, m_formatBar},
                                                                {kCmdBarEdit, m_editBar},
                                                                {kCmdBarChart, m_chartBar}}};
    for (const auto& [barId, bar] : bars)
        if (barId == id) return bar;
    return nullptr;
}

CFormulaBar* CMainFrame::FormulaBar() const { return m_editBar ? m_editBar->FormulaBar() : nullptr; }

CFileManagerBar* CMainFrame::CreateFileManagerBar() {
    if (m_fileManager) return m_fileManager;
    std::unique_ptr<IFileManagerControl> control = CFileManagerBar::MakeControl();
    if (!control) return nullptr;
    m_fileManager = new CFileManagerBar(std::move(control), this);
    addDockWidget(Qt::LeftDockWidgetArea, m_fileManager);
    m_fileManager->hide();
    return m_fileManager;
}

void CMainFrame::ShowFormatBarForState(bool dataState) {
    if (dataState) {
        if (m_formatBar->isVisibleTo(this)) {
            m_tempHidden.insert(m_formatBar, true);
            m_formatBar->hide();
        }
    } else if (m_tempHidden.take(m_formatBar)) {
        m_formatBar->show();
    }
}

void CMainFrame::hookView(CQorsView* view) {
    // A report edited in place has its own frame's commands and menus.
    if (view->GetDocument() && view->GetDocument()->Items().IsRunningInPlace()) return;
    if (view->property("qorHooked").toBool()) return;
    view->setProperty("qorHooked", true);
    // The sheet's own shortcut to its clipboard commands gives way to the
    // router, which asks the view in its turn.
    disconnect(view, &CQorsView::commandRequested, view, nullptr);
    connect(view, &CQorsView::commandRequested, this, [this](int id) { m_router.Execute(id); });
    connect(view, &CQorsView::contextMenuRequested, this,
            [this](int menuId, QPoint at) { ShowContextMenu(menuId, at); });
}

// ---------------------------------------------------------------------------
// Reports

QList<CChildFrame*> CMainFrame::Children() const {
    QList<CChildFrame*> list;
    for (QMdiSubWindow* w : m_mdi->subWindowList())
        if (auto* child = qobject_cast<CChildFrame*>(w)) list.append(child);
    return list;
}

CChildFrame* CMainFrame::ActiveChild() const {
    auto* child = qobject_cast<CChildFrame*>(m_mdi->activeSubWindow());
    if (!child && m_lastActive && m_mdi->subWindowList().contains(m_lastActive.data()))
        child = m_lastActive;  // the main window itself lost the focus
    return child;
}

CQorsView* CMainFrame::ActiveView() const {
    CChildFrame* child = ActiveChild();
    return child ? child->GetActiveView() : nullptr;
}

CQorsDoc* CMainFrame::ActiveDocument() const {
    CChildFrame* child = ActiveChild();
    return child ? child->GetDocument() : nullptr;
}

CChildFrame* CMainFrame::addChild(std::unique_ptr<CQorsDoc> doc) {
    auto* child = new CChildFrame(this, std::move(doc));
    m_mdi->addSubWindow(child);
    connect(child->GetDocument(), &CQorsDoc::changed, this, [this] { UpdateFrameState(); });
    // A report opens at a size to work in, whatever a tiling left the
    // other windows at; a maximised one gets it back when restored.
    if (m_mdi->viewport()->isVisible())
        child->resize(CChildFrame::ChildWindowSize(m_mdi->viewport()->size()));
    if (CChildFrame::s_nShowCmd == 3) {
        child->showMaximized();
    } else {
        child->show();
        child->FitIntoArea();
    }
    m_mdi->setActiveSubWindow(child);
    OnChildActivated(child);
    return child;
}

CChildFrame* CMainFrame::NewDocument() {
    auto doc = std::make_unique<CQorsDoc>();
    if (!doc->Files().OnNewDocument()) return nullptr;
    return addChild(std::move(doc));
}

CChildFrame* CMainFrame::ImportSpreadsheetXml() {
    const std::optional<QString> path = chooseFile(
        {QString(), QString(), QtFileFilter(QStringLiteral("(*.xml)|*.xml||")), false});
    if (!path || path->isEmpty()) return nullptr;
    // Only a workbook makes a report: any other XML (or none) is refused
    // before an empty report appears.
    QString error;
    try {
        if (qor::XmlDocument::load(*path, &error).isNull() || !qor::HasSpreadsheetXmlRoot(*path)) {
            tell(LoadErrorText(str::kUnsupportedXml));
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        tell(qor::NoMemoryText(*path));
        return nullptr;
    }
    CChildFrame* child = NewDocument();
    if (!child) return nullptr;
    ::g_strXmlExchangePath = *path;
    CQorsDoc* doc = child->GetDocument();
    if (!doc->Files().OnSpreadsheetXmlImport()) {
        // The document told the user why; the empty report goes.
        doc->SetModifiedFlag(false);
        child->close();
        return nullptr;
    }
    return child;
}

CChildFrame* CMainFrame::OpenDocumentFile(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    for (CChildFrame* child : Children()) {
        const QString open = child->GetDocument()->GetPathName();
        if (!canonical.isEmpty() && !open.isEmpty() &&
            QFileInfo(open).canonicalFilePath() == canonical) {
            m_mdi->setActiveSubWindow(child);
            return child;
        }
    }
    auto doc = std::make_unique<CQorsDoc>();
    // A file too large for the memory left fails alone: the other reports
    // stay open and unsaved work in them is kept.
    try {
        if (!doc->Files().OnOpenDocument(path)) return nullptr;  // the document told the user why
    } catch (const std::bad_alloc&) {
        doc.reset();
        tell(qor::NoMemoryText(path));
        return nullptr;
    }
    return addChild(std::move(doc));
}

bool CMainFrame::SaveDocument(CChildFrame* child, bool asAs) {
    if (!child) return false;
    CQorsDoc* doc = child->GetDocument();
    // An object edited in place is saved as it is now.
    if (CInPlaceSession* session = CInPlaceSession::Current();
        session && session->ContainerView() && child->isAncestorOf(session->ContainerView()) &&
        !session->StoreNow())
        return false;
    // A refused entry is not saved over: it stays to be mended.
    if (!child->CommitPendingEntry(true)) return false;
    QString path = doc->GetPathName();
    if (asAs || path.isEmpty()) {
        // A report saved before offers its own name in its folder.
        FilePrompt prompt{LoadErrorText(str::kSaveAsButton), path.isEmpty() ? CMyFileDlg::StartFolder() : path,
                          saveFilter(), true};
        prompt.mode = 3;  // report protection, ".rep" added, overwrite asked
        const std::optional<QString> chosen = chooseFile(prompt);
        if (!chosen || chosen->isEmpty()) return false;
        path = *chosen;
        QFileInfo info(path);
        if (info.suffix().isEmpty()) path += QStringLiteral(".rep");
    }
    bool ok = false;
    try {
        ok = doc->Files().OnSaveDocument(path);
    } catch (const std::bad_alloc&) {
        tell(qor::NoMemoryText(path));
    }
    child->UpdateTitle();
    return ok;
}

// ---------------------------------------------------------------------------
// Activation and the update pass

void CMainFrame::OnChildActivated(CChildFrame* child) {
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    CFormulaBar* bar = FormulaBar();
    if (m_lastActive && m_lastActive != child) {
        // The report going to the background keeps what was typed.
        m_lastActive->CommitPendingEntry();
    }
    if (!child) {
        if (!m_mdi->subWindowList().isEmpty() && m_lastActive) return;  // focus left the window
        m_lastActive = nullptr;
        ci.SetDocument(nullptr);
        ci.SetReport(nullptr);
        if (bar) {
            bar->SetView(nullptr);
            bar->clear();
        }
        m_editBar->NameBox()->clear();
        ShowFormatBarForState(true);
        switchMenu(kMenuNoReport);
        UpdateFrameState();
        return;
    }
    const bool first = m_lastActive != child;
    m_lastActive = child;
    for (CQorsView* view : child->findChildren<CQorsView*>()) hookView(view);
    child->m_bWasActive = true;
    if (m_cmdBar->m_nOpen == 2) {
        m_cmdBar->m_nOpen = 1;
        m_cmdBar->show();
    }
    CQorsDoc* doc = child->GetDocument();
    // Charts changed in the chart frame are drawn anew on the sheet.
    qor::RefreshChangedCharts(doc);
    if (first) {
        child->SetPageTabs(0, 0, doc->IsDataState() ? 1 : 0);
        ShowFormatBarForState(doc->IsDataState());
        for (QWidget* w : {static_cast<QWidget*>(m_standardBar), static_cast<QWidget*>(m_editBar)})
            if (m_tempHidden.take(w)) w->show();
        if (CQorsView* view = child->GetActiveView()) {
            if (bar) view->CellEdit().AttachFormulaBar(bar, m_editBar->NameBox());
        }
        ci.SetDocument(doc);
        ci.SyncReportFromDocument();
    }
    if (m_fileManager) m_fileManager->OnFrameActivated();
    switchMenu(kMenuReport);
    UpdateFrameState();
}

void CMainFrame::OnChildClosing(CChildFrame* child) {
    // A report that goes takes its chart frame with it.
    if (CPicFrame* chartFrame = CPicFrame::FindFor(m_mdi, child->GetDocument())) {
        if (m_lastChartFrame == chartFrame) m_lastChartFrame = nullptr;
        delete chartFrame;
    }
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    if (ci.GetDocument() == child->GetDocument()) {
        ci.SetDocument(nullptr);
        ci.SetReport(nullptr);
    }
    CFormulaBar* bar = FormulaBar();
    if (bar && bar->View() && child->isAncestorOf(bar->View())) {
        bar->SetView(nullptr);
        bar->clear();
    }
    if (m_lastActive == child) m_lastActive = nullptr;
    if (m_passChild == child) m_passChild = nullptr;
}

bool CMainFrame::CellFormulaAllowed(const CQorsDoc* doc) {
    if (!doc || !doc->IsOpen() || doc->IsDataState()) return false;
    CellArea combined;
    if (doc->GetCombinedArea(doc->Selection().CurrentRow(), doc->Selection().CurrentColumn(),
                             &combined))
        return false;
    return !isVarAreaFirstLine(doc);
}

bool CMainFrame::FormulaBarEditable(const CQorsDoc* doc) {
    if (!doc || !doc->IsOpen()) return false;
    if (doc->GetCellFormulaState(doc->Selection().CurrentRow(), doc->Selection().CurrentColumn()) !=
        0)
        return false;
    if (doc->IsDataState())
        return doc->GetCellKind(doc->Selection().CurrentRow(), doc->Selection().CurrentColumn()) !=
               3;
    return !isVarAreaFirstLine(doc);
}

void CMainFrame::UpdateFrameState() {
    syncChartMenu();
    m_router.UpdateAll();
    CQorsDoc* doc = ActiveDocument();
    m_formatBar->ShowFor(doc);
    if (CFormulaBar* bar = FormulaBar()) {
        const bool editable = FormulaBarEditable(doc);
        // Never take the bar away from under a typed entry.
        if (bar->isEnabled() != editable && !(bar->hasFocus() && bar->m_nMode != -1))
            bar->setEnabled(editable);
    }
    // The decimal-places buttons tell the selection's places.
    for (int id : {kCmdMoreDecimals, kCmdFewerDecimals}) {
        QAction* a = m_router.FindAction(id);
        if (!a) continue;
        QString tip = PlainCaption(a->text());
        const std::optional<QString> prompt = res::commandPrompt(id);
        if (prompt && prompt->contains(u'\n')) tip = prompt->mid(prompt->indexOf(u'\n') + 1);
        if (doc && doc->IsOpen()) {
            const CellArea sel = oneBased(doc->Selection().Area());
            int32_t places = 0;
            if (doc->GetReport()->AccessAreaFormat(0, kFmtDecimals, &places, &sel) == 0 && places > 0)
                tip += LoadErrorText(str::kDigitsCount).replace(QStringLiteral("%d"), QString::number(places));
        }
        if (a->toolTip() != tip) a->setToolTip(tip);
    }
}

// ---------------------------------------------------------------------------
// Formula bar

bool CMainFrame::isFocusInFormulaEdit() const {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return false;
    if (focus == FormulaBar()) return true;
    CQorsView* view = ActiveView();
    return view && focus == view->CellEdit().CellEditor();
}

void CMainFrame::OnInputConfirm() {
    if (!ActiveChild()) return;
    if (CFormulaBar* bar = FormulaBar(); bar && bar->View()) bar->OnInputConfirm();
}

void CMainFrame::OnInputCancel() {
    CFormulaBar* bar = FormulaBar();
    if (!bar) return;
    if (!ActiveChild() || !bar->View()) {
        bar->clear();
        return;
    }
    bar->OnInputCancel();
}

void CMainFrame::CommitFormulaBar() {
    if (!ActiveChild()) return;
    if (CFormulaBar* bar = FormulaBar(); bar && bar->View()) bar->CommitFormulaBar();
}

void CMainFrame::SetPageTabs(int count, int current, int mode) {
    // A report edited in place takes the tabs while it is active.
    if (COleInPlaceFrame* inPlace = COleInPlaceFrame::Current()) {
        inPlace->SetPageTabs(count, current, mode);
        return;
    }
    SetChildPageTabs(nullptr, count, current, mode);
}

void CMainFrame::SetChildPageTabs(CChildFrame* child, int count, int current, int mode) {
    if (!child) child = ActiveChild();
    if (child) child->SetPageTabs(count, current, mode);
}

// ---------------------------------------------------------------------------
// Commands

namespace {

// Last in the chain while no report is open: a report's command the bars
// show then is off because there is no report, and says so.
class NoReportTarget : public qor::ICommandTarget {
public:
    bool OnUpdateCommand(int, CommandState& state) override {
        state = CommandState();
        state.reason = doccmd::ReasonNoReport();
        return true;
    }
    bool OnCommand(int) override { return false; }
    const qor::CommandIdSet* DeclaredCommands() const override { return nullptr; }
};

}  // namespace

QList<qor::ICommandTarget*> CMainFrame::chain() {
    QList<qor::ICommandTarget*> targets;
    // The chart frame takes the commands it knows; the report's window and
    // document are not asked while it is in front.
    if (CPicFrame* chartFrame = ActiveChartFrame()) {
        m_passChild = nullptr;
        targets.append(chartFrame);
        targets.append(this);
        for (const auto& target : m_extraTargets) targets.append(target.get());
        return targets;
    }
    CChildFrame* child = ActiveChild();
    m_passChild = child;
    // While an object of the report is edited in place, the report's
    // commands are the in-place frame's, on its own bars and menus; here
    // only this window's own (the containing report's 文件 and 窗口).
    if (child && !(m_inPlaceFrame && child->isAncestorOf(m_inPlaceFrame))) {
        if (CQorsView* view = child->GetActiveView()) targets.append(view);
        targets.append(child->GetDocument());
        targets.append(child);
    }
    targets.append(this);
    for (const auto& target : m_extraTargets) targets.append(target.get());
    if (!child) {
        static NoReportTarget noReport;
        targets.append(&noReport);
    }
    return targets;
}

namespace {

// A target added to the main window that names no ids of its own: the ids
// it knows are read from it once, by asking it about every id, so that a
// pass asks it about those only. Which ids such a target knows must not
// change with its state (whether a command is on may).
class NamedTarget : public qor::ICommandTarget {
public:
    explicit NamedTarget(std::shared_ptr<qor::ICommandTarget> inner) : m_inner(std::move(inner)) {
        QList<int> ids;
        for (int id = 1; id <= 0xFFFF; ++id) {
            qor::CommandState state;
            if (m_inner->OnUpdateCommand(id, state)) ids << id;
        }
        m_ids = qor::CommandIdSet(std::move(ids));
    }
    bool OnUpdateCommand(int id, qor::CommandState& state) override {
        return m_inner->OnUpdateCommand(id, state);
    }
    bool OnCommand(int id) override { return m_inner->OnCommand(id); }
    const qor::CommandIdSet* DeclaredCommands() const override { return &m_ids; }

private:
    std::shared_ptr<qor::ICommandTarget> m_inner;
    qor::CommandIdSet m_ids;
};

}  // namespace

void CMainFrame::AddCommandTarget(std::shared_ptr<qor::ICommandTarget> target) {
    if (target) {
        if (!target->DeclaredCommands()) target = std::make_shared<NamedTarget>(std::move(target));
        m_extraTargets.append(std::move(target));
    }
    m_router.UpdateAll();
}

namespace {

// While an object of the active report is edited in place the report's
// view is not asked (its commands are the in-place frame's), yet its print
// commands stay on the shared file menu: they are the window's then, off
// for the view's own reason, wherever the window shows them.
bool inPlaceEditing(const CMainFrame&) { return CInPlaceSession::Current() != nullptr; }

// One transfer window at a time.
QString mailRule(CMainFrame&, int, CommandState&) {
    return mail::MailAvailable() ? QString() : LoadErrorText(str::kMailProgramRunning).trimmed();
}

}  // namespace

const qor::CommandTable<CMainFrame>& CMainFrame::commands() {
    // The lambdas below are inside a member function, so they may reach the
    // window's private parts through the frame they are given. A rule asks
    // about the report window the router's chain found for this update pass
    // (m_passChild; null: no report); a handler works on the active one.
    constexpr auto needChild = [](CMainFrame& f, int, CommandState&) {
        return f.m_passChild ? QString() : doccmd::ReasonNoReport();
    };
    constexpr auto windowsRule = [](CMainFrame& f, int, CommandState&) {
        return f.m_mdi->subWindowList().isEmpty() ? doccmd::ReasonNoReport() : QString();
    };
    constexpr auto barRule = [](CMainFrame& f, int id, CommandState& s) {
        s.checkable = true;
        s.checked = f.ToolBar(id)->isVisibleTo(&f);
        return QString();
    };
    constexpr auto toggleToolBar = [](CMainFrame& f, int id) {
        CFlatToolBar* bar = f.ToolBar(id);
        bar->setVisible(!bar->isVisibleTo(&f));
        f.m_tempHidden.remove(bar);
    };
    constexpr auto inputRule = [](CMainFrame& f, int, CommandState&) {
        if (!f.m_passChild) return doccmd::ReasonNoReport();
        return f.isFocusInFormulaEdit() ? QString() : LoadErrorText(str::kNothingBeingTyped);
    };
    // Nothing prints while an object is edited in place: the run tells so,
    // as the view's own print does.
    constexpr auto printInPlace = [](CMainFrame&, int, CommandState&) {
        return LoadErrorText(str::kPrintWhileInPlace);
    };
    constexpr auto tellPrintInPlace = [](CMainFrame&, int) {
        messageBox(LoadErrorText(str::kPrintWhileInPlace), caption(), MsgButtons::Ok,
                   MsgIcon::Warning);
    };
    constexpr auto editingInPlace = [](CMainFrame&, int, CommandState&) {
        return LoadErrorText(str::kNotWhileEditingInPlace);
    };
    constexpr auto tellEditingInPlace = [](CMainFrame&, int) {
        messageBox(LoadErrorText(str::kNotWhileEditingInPlace), caption(), MsgButtons::Ok,
                   MsgIcon::Warning);
    };
    static const qor::CommandTable<CMainFrame> table(
        {
            {kCmdFileNew, nullptr, [](CMainFrame& f, int) { f.NewDocument(); }},
            {kCmdFileOpen, nullptr,
             [](CMainFrame& f, int) {
                 const QString dir = CMyFileDlg::StartFolder(
                     f.ActiveDocument() ? f.ActiveDocument()->GetPathName() : QString());
                 const std::optional<QString> path =
                     chooseFile({LoadErrorText(str::kOpen), dir, openFilter(), false});
                 if (path && !path->isEmpty()) f.OpenDocumentFile(*path);
             }},
            {kCmdFileClose, needChild,
             [](CMainFrame& f, int) {
                 if (CChildFrame* child = f.ActiveChild()) child->close();
             }},
            {kCmdFileSave, needChild,
             [](CMainFrame& f, int) { f.SaveDocument(f.ActiveChild(), false); }},
            {kCmdFileSaveAs, needChild,
             [](CMainFrame& f, int) { f.SaveDocument(f.ActiveChild(), true); }},
            {kCmdSpreadsheetXmlImport, nullptr,
             [](CMainFrame& f, int) { f.ImportSpreadsheetXml(); }},
            {kCmdAuditStatementCount, nullptr, [](CMainFrame&, int) { ShowAuditStatementCount(); }},
            {kCmdExecute, nullptr, [](CMainFrame& f, int) { f.OnExecute(); }},
            {kCmdImportOwnXml, nullptr, [](CMainFrame& f, int) { f.ImportOwnXml(); }},
            {kCmdConvertToHtml, nullptr, [](CMainFrame& f, int) { f.OnConvertToHtml(); }},
            {kCmdCommonReports, nullptr, [](CMainFrame& f, int) { f.OnCommonReports(); }},
            {kCmdStandardMenu,
             [](CMainFrame& f, int, CommandState&) {
                 return f.m_userMenuActive ? QString() : LoadErrorText(str::kUserMenuNotShown);
             },
             [](CMainFrame& f, int) { f.ReturnToStandardMenu(); }},
            {kCmdChartWindow,
             [](CMainFrame& f, int, CommandState&) {
                 CQorsDoc* doc = f.m_passChild ? f.m_passChild->GetDocument() : nullptr;
                 const bool open = doc && doc->Items().ChartWindow().windowOpen;
                 if (doc && doc->IsOpen() && !open) return QString();
                 return f.ActiveChartFrame() || open ? LoadErrorText(str::kChartWindowAlreadyOpen)
                                                     : doccmd::ReasonNoReport();
             },
             [](CMainFrame& f, int) { f.OpenChartWindow(); }},
            {kCmdPrint, printInPlace, tellPrintInPlace, inPlaceEditing},
            {kCmdPrintDirect, printInPlace, tellPrintInPlace, inPlaceEditing},
            {kCmdPrintPreview, printInPlace, tellPrintInPlace, inPlaceEditing},
            {kCmdDataOverlayPrint, printInPlace, tellPrintInPlace, inPlaceEditing},
            // The report's exports and its audit settings on the shared
            // file menu wait for the in-place editing to end, and say so.
            {kCmdExportText, editingInPlace, tellEditingInPlace, inPlaceEditing},
            {kCmdExportXml, editingInPlace, tellEditingInPlace, inPlaceEditing},
            {kCmdExportHtml, editingInPlace, tellEditingInPlace, inPlaceEditing},
            {kCmdAuditMapping, editingInPlace, tellEditingInPlace, inPlaceEditing},
            // The report's window is not split while the frame over it is
            // open; its 拆分窗口 on the shared window menu says so.
            {kCmdSplitWindow, editingInPlace, tellEditingInPlace, inPlaceEditing},
            {kCmdMailSend, mailRule, [](CMainFrame& f, int) { mail::StartSend(&f); }},
            {kCmdMailReceive, mailRule, [](CMainFrame& f, int) { mail::StartReceive(&f); }},
            {kCmdMailSetup, mailRule, [](CMainFrame&, int) { mail::RunSetup(); }},
            // Without a report the printer is still chosen for the session;
            // a report's window answers first and lays its pages out anew.
            {kCmdPrintSetup, nullptr,
             [](CMainFrame&, int) {
                 if (CAppEnvironment* env = CAppEnvironment::Current()) env->OnFilePrintSetup();
             }},
            {kCmdAppExit, nullptr, [](CMainFrame& f, int) { f.close(); }},
            // The chart frame is arranged with the reports.
            {kCmdWindowCascade, windowsRule,
             [](CMainFrame& f, int) { f.m_mdi->cascadeSubWindows(); }},
            {kCmdWindowTile, windowsRule, [](CMainFrame& f, int) { f.m_mdi->tileSubWindows(); }},
            {kCmdWindowArrange, windowsRule,
             [](CMainFrame& f, int) {
                 // Minimised windows in a row along the bottom.
                 int x = 0;
                 for (CChildFrame* c : f.Children()) {
                     if (!c->isMinimized()) continue;
                     c->move(x, f.m_mdi->viewport()->height() - c->height());
                     x += c->width();
                 }
             }},
            {kCmdHelpTopics, nullptr, [](CMainFrame& f, int) { f.OpenHelp(false); }},
            // The chart menu's help is the main window's own.
            {kCmdChartHelp, nullptr, [](CMainFrame& f, int) { f.OpenHelp(false); }},
            {kCmdHelp, nullptr,
             [](CMainFrame& f, int) { f.OpenHelp(f.m_cmdBar->Edit()->hasFocus()); }},
            {kCmdBarStandard, barRule, toggleToolBar},
            {kCmdBarEdit, barRule, toggleToolBar},
            {kCmdBarChart, barRule, toggleToolBar},
            {kCmdBarStatus,
             [](CMainFrame& f, int, CommandState& s) {
                 s.checkable = true;
                 s.checked = f.m_status->isVisibleTo(&f);
                 return QString();
             },
             [](CMainFrame& f, int) { f.m_status->setVisible(!f.m_status->isVisibleTo(&f)); }},
            {kCmdBarFormat,
             [](CMainFrame& f, int, CommandState& s) {
                 CQorsDoc* doc = f.m_passChild ? f.m_passChild->GetDocument() : nullptr;
                 s.checkable = true;
                 s.checked = f.m_formatBar->isVisibleTo(&f);
                 if (!doc) return doccmd::ReasonNoReport();
                 return doc->IsDataState() ? LoadErrorText(str::kFormatBarFormatOnly) : QString();
             },
             toggleToolBar},
            {kCmdCommandWindow,
             [](CMainFrame& f, int, CommandState& s) {
                 s.checkable = true;
                 s.checked = f.m_cmdBar->isVisibleTo(&f);
                 return QString();
             },
             [](CMainFrame& f, int) { f.toggleCmdBar(); }},
            // Known only once a file-manager control is registered; until then
            // the menu table says why it is off.
            {kCmdFileManager,
             [](CMainFrame& f, int, CommandState& s) {
                 s.checkable = true;
                 s.checked = f.m_fileManager && f.m_fileManager->isVisibleTo(&f);
                 return QString();
             },
             [](CMainFrame& f, int) {
                 CFileManagerBar* bar = f.CreateFileManagerBar();
                 if (!bar) return;  // the registered factory made no control
                 if (!bar->IsReady()) {
                     TraceMessage(LoadErrorText(str::kInitialisingLabel));
                     bar->InitControl(env().GetLoginObject(), &f);
                     TraceMessage(LoadErrorText(str::kReady));
                 }
                 bar->setVisible(!bar->isVisibleTo(&f));
             },
             [](const CMainFrame&) { return CFileManagerBar::HasControlFactory(); }},
            {kCmdPendingBatch,
             [](CMainFrame& f, int, CommandState&) {
                 return f.m_cmdBar->isVisibleTo(&f) ? QString() : LoadErrorText(str::kCommandBarNotShown);
             },
             [](CMainFrame& f, int) {
                 if (f.m_cmdBar->Edit()->hasFocus()) {
                     f.setFocus();
                 } else {
                     f.m_cmdBar->Edit()->setFocus();
                 }
                 const QString pending = f.m_strPendingBatch;
                 f.m_strPendingBatch.clear();
                 if (!pending.isEmpty()) RunBatchScript(pending, caption());
             }},
            {kCmdCurrency, nullptr,
             [](CMainFrame& f, int) {
                 if (const std::optional<int> index = RunCurrencySymbolDlg(&f)) {
                     f.m_nCurrencyIndex = *index >= 0 && *index <= 4 ? *index : 0;
                     env().WriteProfileInt(QStringLiteral("REZ"), QStringLiteral("Money"),
                                           f.m_nCurrencyIndex);
                     if (CQorsDoc* doc = f.ActiveDocument())
                         doc->UpdateAllViews(CQorsDoc::kHintCells);
                 }
             }},
            {kCmdInputConfirm, inputRule, [](CMainFrame& f, int) { f.OnInputConfirm(); }},
            {kCmdInputCancel, inputRule, [](CMainFrame& f, int) { f.OnInputCancel(); }},
        },
        doccmd::ReasonNotBuilt());
    return table;
}

const qor::CommandIdSet* CMainFrame::DeclaredCommands() const {
    // Every row, the file manager's whether or not a control is registered
    // yet: the set must not change with the state.
    return &commands().Ids();
}

bool CMainFrame::OnUpdateCommand(int id, CommandState& s) {
    if (!m_cmdBar) return false;  // still being made
    return commands().Update(*this, id, s);
}

bool CMainFrame::OnCommand(int id) { return commands().Run(*this, id); }

// ---------------------------------------------------------------------------
// Charts

CPicFrame* CMainFrame::ActiveChartFrame() const {
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    if (auto* chartFrame = qobject_cast<CPicFrame*>(active)) return chartFrame;
    // The main window itself lost the focus: the chart frame stays in front.
    if (!active && m_lastChartFrame && m_mdi->subWindowList().contains(m_lastChartFrame.data()))
        return m_lastChartFrame;
    return nullptr;
}

CPicFrame* CMainFrame::OpenChartWindow() {
    if (ActiveChartFrame()) return nullptr;
    CChildFrame* child = ActiveChild();
    CQorsDoc* doc = child ? child->GetDocument() : nullptr;
    if (!doc || !doc->IsOpen() || doc->Items().ChartWindow().windowOpen) return nullptr;
    if (CQorsView* view = child->GetActiveView()) {
        // One chart window at a time: the chart edited on the page is done.
        if (view->Items().IsChartEditing()) view->Items().EndChartEdit();
        if (auto* chart = dynamic_cast<CGraphItem*>(view->Items().Selected())) {
            doc->Items().SetCurrentChart(chart);
        } else if (!view->Items().Selected()) {
            for (CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos(); pos;)
                if (auto* first = dynamic_cast<CGraphItem*>(doc->Items().GetNextComItem(pos))) {
                    doc->Items().SetCurrentChart(first);
                    break;
                }
        }
    }
    if (!qor::view::ChartUi()->OpenChartFrame(doc)) return nullptr;
    return CPicFrame::FindFor(m_mdi, doc);
}

void CMainFrame::syncChartMenu() {
    CPicFrame* chartFrame = ActiveChartFrame();
    syncCmdBar(chartFrame != nullptr);
    if (!chartFrame && Children().isEmpty()) {
        if (m_pictureBars) showPictureBars(false);
        return;
    }
    CQorsView* view = chartFrame ? nullptr : ActiveView();
    const bool chart = chartFrame || (view && view->Items().IsChartEditing());
    const int wanted = chart ? kMenuChartEdit : kMenuReport;
    if (m_wantedMenu != wanted || m_currentMenu != wanted) switchMenu(wanted);
    if (m_pictureBars != chart) showPictureBars(chart);
}

void CMainFrame::showPictureBars(bool chart) {
    m_pictureBars = chart;
    if (chart) {
        for (QWidget* bar : {static_cast<QWidget*>(m_standardBar), static_cast<QWidget*>(m_editBar),
                             static_cast<QWidget*>(m_formatBar)}) {
            if (!bar->isVisibleTo(this)) continue;
            m_tempHidden.insert(bar, true);
            bar->hide();
        }
        if (!m_chartBar->isVisibleTo(this)) {
            m_chartBar->show();
            m_chartBarShown = true;
        }
        return;
    }
    for (QWidget* bar : {static_cast<QWidget*>(m_standardBar), static_cast<QWidget*>(m_editBar)})
        if (m_tempHidden.take(bar)) bar->show();
    if (CQorsDoc* doc = ActiveDocument()) ShowFormatBarForState(doc->IsDataState());
    if (m_chartBarShown) {
        m_chartBar->hide();
        m_chartBarShown = false;
    }
}

void CMainFrame::syncCmdBar(bool chartFrameInFront) {
    // The command window works on the report in front: a chart frame coming
    // to the front puts it away, and it comes back as it was when the frame
    // leaves the front or closes. Only the change does it, so what the user
    // toggles meanwhile stands.
    if (chartFrameInFront == m_chartFrameInFront) return;
    m_chartFrameInFront = chartFrameInFront;
    if (chartFrameInFront) {
        if (m_cmdBar->isVisibleTo(this)) {
            m_tempHidden.insert(m_cmdBar, true);
            m_cmdBar->hide();
        }
    } else if (m_tempHidden.take(m_cmdBar)) {
        m_cmdBar->show();
    }
}

void CMainFrame::toggleCmdBar() {
    const bool show = !m_cmdBar->isVisibleTo(this);
    // Closed with the focus in it, the focus goes back to the window in
    // front, not to whichever report window comes next (which would push a
    // chart frame back).
    if (!show && m_cmdBar->isAncestorOf(QApplication::focusWidget()))
        if (QMdiSubWindow* front = m_mdi->activeSubWindow(); front && front->widget())
            front->widget()->setFocus();
    m_cmdBar->setVisible(show);
    m_tempHidden.remove(m_cmdBar);
    // The flag follows what the user sees, so the next start shows the
    // same.
    m_cmdBar->m_nOpen = show ? 1 : 0;
    if (show) m_cmdBar->Edit()->setFocus();
}

void CMainFrame::onFontBox(int code, int index) {
    const QString refusal = CFontToolBar::ApplyPick(ActiveDocument(), code, index);
    if (refusal.isEmpty()) return;
    // A data-state pick is explained, not refused as a fault.
    tell(refusal, ActiveDocument()->IsDataState() ? MsgIcon::Information : MsgIcon::Warning);
}

bool CMainFrame::OpenHelp(bool commandLanguage) {
    // The guides travel inside the program: help never waits on a browser
    // or on the source folder being at hand.
    const QUrl guide =
        commandLanguage ? CHelpWindow::CommandLanguageGuide() : CHelpWindow::UserGuide();
    if (!s_openUrl(guide)) {
        tell(LoadErrorText(str::kGuideMissing));
        return false;
    }
    return true;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FormulaBar() && event->type() == QEvent::KeyPress) {
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
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Closing

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (messageBox(LoadErrorText(str::kConfirmExit), caption(), MsgButtons::OkCancel, MsgIcon::Question,
                   MsgAnswer::Ok) != MsgAnswer::Ok) {
        m_bExitConfirmed = 0;
        event->ignore();
        return;
    }
    // A mail transfer still running would hold the exit without end.
    if (!MailThreadEvent().IsSet()) {
        tell(LoadErrorText(str::kMailBusyCannotExit));
        m_bExitConfirmed = 0;
        event->ignore();
        return;
    }
    m_bExitConfirmed = 1;
    for (CChildFrame* child : Children()) {
        // A refused entry holds the exit, as a cancelled save does.
        if (!child->CommitPendingEntry(true) || !child->QuerySave()) {
            // The answers given so far were for this exit only: every
            // later close or exit asks again.
            for (CChildFrame* asked : Children()) asked->ForgetSaveAnswer();
            m_bExitConfirmed = 0;
            event->ignore();
            return;
        }
    }
    s_bClosing = 1;
    saveSettings();
    for (CChildFrame* child : Children()) {
        OnChildClosing(child);
        delete child;
    }
    s_bClosing = 0;
    event->accept();
}

void CMainFrame::saveSettings() {
    // A bar put away for the moment (the format bar in data state, the
    // bars behind a chart or an object edited in place) is one the user
    // wants: it is kept as shown, and the next start puts it away again
    // only where the state asks for it.
    QList<QWidget*> away;
    for (QWidget* bar : m_tempHidden.keys())
        if (qobject_cast<QToolBar*>(bar)) away.append(bar);
    for (QWidget* bar : away) bar->setVisible(true);
    const QByteArray state = saveState();
    for (QWidget* bar : away) bar->setVisible(false);
    env().WriteProfileString(LoadErrorText(str::kToolBarName), QStringLiteral("State"),
                             QString::fromLatin1(state.toBase64()));
    env().WriteProfileInt(QStringLiteral("REZ"), QStringLiteral("wnd"), m_cmdBar->m_nOpen != 0 ? 1 : 0);
    env().WriteProfileString(QStringLiteral("CustomMenu"), QStringLiteral("MenuFile"), m_strMenuFile);
    env().WriteProfileInt(QStringLiteral("ToolBar80B-Bar0"), QStringLiteral("Visible"), 1);
    CChildFrame::SaveShowCmd();
}

}  // namespace qor::frames
