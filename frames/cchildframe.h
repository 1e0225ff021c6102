#pragma once
// The window of one report inside the main window: the splitter of sheet
// views with its page tabs, over the document the window owns. It
// switches the report between format and data state, keeps the page tabs
// in step, and on activation makes its report the command language's
// current one.

#include <QMdiSubWindow>
#include <memory>

#include "document/cmdtarget.h"
#include "frames/reportframe.h"

class CQorsDoc;
class CQorsView;
class CQorSplitterWnd;

namespace qor::frames {

class CMainFrame;

class CChildFrame : public QMdiSubWindow, public CReportFrame, public qor::ICommandTarget {
    Q_OBJECT

public:
    // Takes the document, which lives as long as the window.
    CChildFrame(CMainFrame* mainFrame, std::unique_ptr<CQorsDoc> doc);
    ~CChildFrame() override;

    CQorsDoc* GetDocument() const { return m_doc.get(); }
    CQorSplitterWnd* Splitter() const { return m_splitter; }
    // The pane that has (or last had) the focus.
    CQorsView* GetActiveView() const;

    bool m_bWasActive = false;
    // Asks to save a modified report: false when the user cancelled or the
    // save failed (the window then stays).
    bool QuerySave();
    void ForgetSaveAnswer() { m_bSaveAnswered = false; }
    void UpdateTitle();

    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;
    const qor::CommandIdSet* DeclaredCommands() const override { return &StateCommands(); }

    // The show command child windows open with (1 normal, 3 maximised),
    // written to the profile when it changed.
    static int s_nShowCmd;
    // The size a report window opens at when not maximised: three quarters
    // of the room the main window gives, at least 640 by 420 where it fits.
    static QSize ChildWindowSize(QSize room);
    static void SaveShowCmd();
    // Gives a window that is neither maximised nor minimised the size above
    // and moves it to lie inside the area; before the area is shown (the
    // program opening a report named on its command line) it is done when
    // the window is first shown.
    void FitIntoArea();
    // What cascading gives each window: the size a new window opens at.
    QSize sizeHint() const override;

signals:
    void activated(CChildFrame* frame);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    CQorsDoc* FrameDocument() const override { return m_doc.get(); }
    CQorsView* FrameActiveView() const override { return GetActiveView(); }
    QList<CQorsView*> FrameViews() const override;
    CPageCtrl* FrameTabs() const override;
    CFormulaBar* FrameFormulaBar() const override;
    void FrameShowFormatBar(bool dataState) override;
    QWidget* FrameWidget() const override { return const_cast<CChildFrame*>(this); }

private:
    void followDocumentState();
    // The main window's title shows this report's modified mark while the
    // report is maximised in it.
    void showMarkInMainTitle();

    CMainFrame* m_main;
    bool m_bSaveAnswered = false;   // the user answered the save question
    bool m_fitOnShow = false;       // sized before the area had its size
    std::unique_ptr<CQorsDoc> m_doc;
    CQorSplitterWnd* m_splitter = nullptr;
    QObject* m_titleWatch = nullptr;  // watches the main window's title; owned
};

}  // namespace qor::frames
