#include "frames/cchildframe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "cmdlang/ccalcinterpreter.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/cmainframe.h"
#include "frames/inplacesession.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "resources/commandids.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"

namespace qor::frames {

int CChildFrame::s_nShowCmd = 3;

namespace {

int s_nShowCmdWritten = 3;

// Tells of the events of the object it watches and lets them pass.
class EventWatch : public QObject {
public:
    EventWatch(QObject* parent, std::function<void(const QEvent*)> seen)
        : QObject(parent), m_seen(std::move(seen)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        m_seen(event);
        return false;
    }

private:
    std::function<void(const QEvent*)> m_seen;
};

}  // namespace

CChildFrame::CChildFrame(CMainFrame* mainFrame, std::unique_ptr<CQorsDoc> doc)
    : QMdiSubWindow(nullptr), m_main(mainFrame), m_doc(std::move(doc)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_splitter = new CQorSplitterWnd;
    m_splitter->Create(this, 2, 2, QSize(10, 10), m_doc.get());
    // The strip's commands are this window's.
    m_splitter->SetFrameTakesCommands(true);
    setWidget(m_splitter);
    connect(m_splitter, &CQorSplitterWnd::commandRequested, this, [this](int id) {
        if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
        m_main->Router().Execute(id);
    });
    connect(m_doc.get(), &CQorsDoc::changed, this, [this](int) {
        UpdateTitle();
        followDocumentState();
    });
    connect(m_doc.get(), &CQorsDoc::modifiedChanged, this, [this] { UpdateTitle(); });
    // The main window's title is watched for the mark (see
    // showMarkInMainTitle) by an object of its own: the area adds and
    // removes this window as a filter of the main window as it maximises
    // and restores it.
    m_titleWatch = new EventWatch(this, [this](const QEvent* e) {
        if (e->type() == QEvent::WindowTitleChange || e->type() == QEvent::ModifiedChange)
            showMarkInMainTitle();
    });
    m_main->installEventFilter(m_titleWatch);
    resize(640, 420);
    UpdateTitle();
}

CChildFrame::~CChildFrame() {
    // The area gives the main window its own title back as this window
    // goes, when nothing of the report is to be asked any more.
    delete m_titleWatch;
    m_titleWatch = nullptr;
    m_main->OnChildClosing(this);
    // The views point at the document: they go first. The pointer is
    // cleared before they die, so an update pass that focus changes start
    // during their teardown finds no view instead of a dying one.
    CQorSplitterWnd* splitter = m_splitter;
    m_splitter = nullptr;
    delete splitter;
    // Nobody listens to a report that goes.
    disconnect(m_doc.get(), nullptr, nullptr, nullptr);
    m_doc->Files().OnCloseDocument();
}

CQorsView* CChildFrame::GetActiveView() const { return m_splitter ? m_splitter->ActivePane() : nullptr; }

void CChildFrame::UpdateTitle() {
    const QString title = m_doc->Files().GetTitle();
    setWindowTitle((title.isEmpty() ? LoadErrorText(str::kUntitled) : title) +
                   QStringLiteral("[*]"));
    setWindowModified(m_doc->IsModified());
    showMarkInMainTitle();
}

void CChildFrame::showMarkInMainTitle() {
    // Maximised, the active report window lends its title to the main
    // window, but the area does not keep the mark in step: a window that
    // was maximised in front and goes (the chart window) takes the mark
    // with it, and the title came back without the mark the report keeps.
    QMdiArea* area = mdiArea();
    if (!isMaximized() || !area || area->activeSubWindow() != this ||
        !m_main->windowTitle().contains(QStringLiteral("[*]")))
        return;
    if (m_main->isWindowModified() != m_doc->IsModified())
        m_main->setWindowModified(m_doc->IsModified());
}

void CChildFrame::followDocumentState() {
    // The report may change state without this window's commands (the
    // consolidation exchange prepares a new report in data state): the
    // tabs and the format bar follow it as after the state command.
    if (!m_splitter || !m_doc->IsOpen()) return;
    const int mode = m_doc->IsDataState() ? 1 : 0;
    if (mode == m_nMode) return;
    publishPages();
    if (m_main->ActiveChild() == this) FrameShowFormatBar(mode == 1);
}

// ---------------------------------------------------------------------------
// What the shared report-window logic needs

QList<CQorsView*> CChildFrame::FrameViews() const {
    QList<CQorsView*> views;
    if (!m_splitter) return views;
    for (int r = 0; r < m_splitter->GetRowCount(); ++r)
        for (int c = 0; c < m_splitter->GetColumnCount(); ++c)
            if (CQorsView* v = m_splitter->GetPane(r, c)) views.append(v);
    return views;
}

CPageCtrl* CChildFrame::FrameTabs() const { return m_splitter ? &m_splitter->PageCtrl() : nullptr; }

CFormulaBar* CChildFrame::FrameFormulaBar() const { return m_main->FormulaBar(); }

void CChildFrame::FrameShowFormatBar(bool dataState) { m_main->ShowFormatBarForState(dataState); }

bool CChildFrame::OnUpdateCommand(int id, qor::CommandState& s) { return UpdateStateCommand(id, s); }

bool CChildFrame::OnCommand(int id) { return RunStateCommand(id); }

// ---------------------------------------------------------------------------
// Closing and sizing

bool CChildFrame::QuerySave() {
    if (m_bSaveAnswered || !m_doc->IsOpen() || !m_doc->IsModified()) return true;
    const QString name = windowTitle().remove(QStringLiteral("[*]"));
    const MsgAnswer a = messageBox(LoadErrorText(str::kAskSaveModifiedReport).arg(name), LoadErrorText(str::kAppTitle),
                                   MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::Yes);
    if (a == MsgAnswer::Cancel) return false;
    if (a == MsgAnswer::Yes && !m_main->SaveDocument(this, false)) return false;
    m_bSaveAnswered = true;
    return true;
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    CMainFrame::s_bClosing = 1;
    // The chart window of this report must go first; the flag is cleared
    // on every way out.
    if (m_doc->Items().ChartWindow().windowOpen) {
        messageBox(LoadErrorText(str::kCloseChartWindowsFirst), LoadErrorText(str::kAppTitle), MsgButtons::Ok, MsgIcon::Warning);
        CMainFrame::s_bClosing = 0;
        event->ignore();
        return;
    }
    // An object edited in place goes back into the report, and what was
    // typed is stored, before any widget goes.
    CInPlaceSession::DeactivateWithin(this);
    if (!CommitPendingEntry(true) || !QuerySave()) {
        CMainFrame::s_bClosing = 0;
        event->ignore();
        return;
    }
    m_main->OnChildClosing(this);
    CMainFrame::s_bClosing = 0;
    QMdiSubWindow::closeEvent(event);
}

void CChildFrame::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    if (isMinimized() && m_doc->IsDataState()) {
        // Minimised reports in data state line up along the bottom.
        QTimer::singleShot(0, m_main, [main = m_main] {
            main->Router().Execute(cmd_ids::kCmdWindowArrange);
        });
    }
    // Only the window the user works with tells how reports are wanted:
    // the area restores the one it leaves when another is maximised, and
    // that must not undo the user's choice.
    QMdiArea* area = mdiArea();
    const bool active = !area || !area->activeSubWindow() || area->activeSubWindow() == this;
    if (isVisible() && active) {
        if (isMaximized())
            s_nShowCmd = 3;
        else if (!isMinimized())
            s_nShowCmd = 1;
    }
}

QSize CChildFrame::ChildWindowSize(QSize room) {
    const int w = std::min(room.width(), std::max(640, room.width() * 3 / 4));
    const int h = std::min(room.height(), std::max(420, room.height() * 3 / 4));
    return QSize(std::max(w, 200), std::max(h, 150));
}

QSize CChildFrame::sizeHint() const {
    const QMdiArea* area = mdiArea();
    return area ? ChildWindowSize(area->viewport()->size()) : QMdiSubWindow::sizeHint();
}

void CChildFrame::FitIntoArea() {
    QMdiArea* area = mdiArea();
    if (!area || isMaximized() || isMinimized()) return;
    if (!area->viewport()->isVisible()) {
        m_fitOnShow = true;
        return;
    }
    const QSize room = area->viewport()->size();
    resize(ChildWindowSize(room));
    // The area places a new window before it has its size, and after a
    // tiling the only free place may be at the area's edge.
    const QPoint at(std::clamp(x(), 0, std::max(0, room.width() - width())),
                    std::clamp(y(), 0, std::max(0, room.height() - height())));
    if (at != pos()) move(at);
}

void CChildFrame::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    if (!m_fitOnShow) return;
    m_fitOnShow = false;
    FitIntoArea();
}

void CChildFrame::SaveShowCmd() {
    if (s_nShowCmd == s_nShowCmdWritten) return;
    CAppEnvironment::Instance().WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("ShowCmd"),
                                                s_nShowCmd);
    s_nShowCmdWritten = s_nShowCmd;
}

}  // namespace qor::frames
