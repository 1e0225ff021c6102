#pragma once
// The frame of a report edited in place inside another report: when an
// embedded report item is activated, its report is edited where it is
// shown, in this frame, with the sheet view, the page tabs, the two scroll
// bars, the format/data switch and the formula bar, while the frame's tool
// bars go to the container's window. The resize bar round the frame sizes
// it; deactivating stores an edited report back into the item.
//
// The container is reached through IInPlaceSite; within this program the
// container is always one of our own reports.

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "document/cmdtarget.h"
#include "document/commandtable.h"
#include "frames/coletrackbar.h"
#include "frames/commandrouter.h"
#include "frames/reportframe.h"
#include "frames/toolbars.h"

class QMainWindow;
class QMenu;
class QScrollBar;
class CPageCtrl;

namespace qor::frames {

// The container's side of in-place editing.
class IInPlaceSite {
public:
    virtual ~IInPlaceSite() = default;
    // The window in which the frame and its resize bar sit.
    virtual QWidget* ContainerWindow() const = 0;
    // The container's main window, which docks the frame's tool bars;
    // without one the bars sit along the top of the frame.
    virtual QMainWindow* ContainerFrame() const { return nullptr; }
    // The frame asks for a new place (container-window coordinates).
    // False keeps the old one.
    virtual bool RequestPositionChange(const QRect& rect) = 0;
    // The edited report goes back into the item.
    virtual void StoreItem(CQorsDoc& doc) = 0;
    // While a chart of the report is edited here the container shows the
    // chart menu in place of its own, and its own again afterwards. A
    // container without menus ignores it.
    virtual void SetChartMenu(bool on) { (void)on; }
    // Esc on the edited sheet (no entry open): the user is done here. A
    // container that keeps the frame ignores it.
    virtual void CloseRequested() {}
    // The router of the container's window, which decides the commands the
    // container keeps on the shared menu bar (its file and window groups)
    // wherever the frame shows them too; null: the frame decides all.
    virtual CommandRouter* ContainerRouter() const { return nullptr; }
};

// The tab area's width in the frame: the strip's own width while it is
// collapsed to the mode button (format state); two thirds of the inner
// width on the first layout; the width saved when the frame shrank; else
// the present one. Never under 7 pixels nor over the inner width less 7.
struct InPlaceTabArea {
    bool collapsed = false;
    int stripWidth = 0;  // the strip's own width (the mode button's, collapsed)
    int innerWidth = 0;
    bool firstLayout = true;
    bool restoreSaved = false;
    int savedWidth = 0;
    int width = 0;  // the present tab-area width
    static constexpr int kMinWidth = 7;
    int Compute() const;
};

class COleInPlaceFrame : public QWidget, public CReportFrame, public qor::ICommandTarget {
    Q_OBJECT

public:
    static constexpr int kHScrollBarId = 59904;
    static constexpr int kVScrollBarId = 59920;
    static constexpr int kPageCtrlId = 1040;
    // Help mode (Shift+F1): the next click on a part of the frame or its
    // bars says what that part does.
    static constexpr int kContextHelp = 57669;

    // Activates a report in place at a rectangle of the container's
    // window. The frame owns the document while it lives.
    COleInPlaceFrame(std::unique_ptr<CQorsDoc> doc, IInPlaceSite* site, const QRect& position);
    ~COleInPlaceFrame() override;

    // The frame now editing in place (null when none).
    static COleInPlaceFrame* Current();

    CQorsDoc* GetDocument() const { return m_doc.get(); }
    CQorsView* GetActiveView() const { return m_view; }
    CPageCtrl* PageCtrl() const { return m_tabs; }
    QScrollBar* HorizontalBar() const { return m_hBar; }
    QScrollBar* VerticalBar() const { return m_vBar; }
    COleTrackBar* TrackBar() const { return m_track; }
    CFlatToolBar* ToolBar(int id) const;
    CFontToolBar* FormatBar() const { return m_formatBar; }
    CFormulaToolBar* EditBar() const { return m_editBar; }
    CommandRouter& Router() { return m_router; }
    // The sheet's mouse menus (115 cells, 102 an item, 114 the chart
    // window) over this frame's commands.
    QMenu* ContextMenu(int menuId) const { return m_contextMenus.value(menuId); }
    // Shows one at a screen point (non-blocking).
    QMenu* ShowContextMenu(int menuId, QPoint globalPos);
    int TabAreaWidth() const { return m_nTabAreaWidth; }
    // The frame's part of the shared menu bar, over this frame's commands:
    // the report's 编辑 to 工具 menus (the chart's 编辑 while a chart is
    // edited), and 帮助. The container adds its own 文件 before them and
    // 窗口 before 帮助.
    QList<QMenu*> SharedMenus() const { return m_bChartMenu ? m_chartMenus : m_reportMenus; }
    QMenu* HelpMenu() const { return m_helpMenu; }

    // Moves the frame (and its resize bar) to a rectangle of the
    // container's window.
    void SetPosition(const QRect& rect);
    // A proposed place fitted to whole rows and columns from the first
    // shown cell (at least one of each); the sides the dragged handle does
    // not move stay where they are.
    QRect FitToCells(const QRect& proposed, int handle) const;
    // Stores a pending entry and hands an edited report back to the
    // container. The frame may then be deleted.
    void Deactivate();
    // Places the bars' edit, the view, the scroll bars and the tabs.
    void RecalcLayout();
    // A bars, formula bar and format boxes pass.
    void UpdateFrameState();
    // True while a chart of the report is edited here (the chart bar is
    // shown and the container has the chart menu).
    bool IsChartMenuOn() const { return m_bChartMenu; }
    static bool IsInHelpMode();

    // The formula bar's commands, on this frame's bar and view.
    void OnInputConfirm();
    void OnInputCancel();
    void CommitFormulaBar();

    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;
    const qor::CommandIdSet* DeclaredCommands() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CQorsDoc* FrameDocument() const override { return m_doc.get(); }
    CQorsView* FrameActiveView() const override { return m_view; }
    QList<CQorsView*> FrameViews() const override;
    CPageCtrl* FrameTabs() const override { return m_tabs; }
    CFormulaBar* FrameFormulaBar() const override;
    void FrameShowFormatBar(bool dataState) override;
    QWidget* FrameWidget() const override { return const_cast<COleInPlaceFrame*>(this); }

private:
    // The frame's own commands besides the report's state commands.
    static const qor::CommandTable<COleInPlaceFrame>& commands();
    void createBars();
    void syncChartMenu();
    void onSizeChildRequest(const QRect& rect);

    std::unique_ptr<CQorsDoc> m_doc;
    IInPlaceSite* m_site;
    CommandRouter m_router;
    CQorsView* m_view = nullptr;
    CPageCtrl* m_tabs = nullptr;
    QScrollBar* m_hBar = nullptr;
    QScrollBar* m_vBar = nullptr;
    QPointer<COleTrackBar> m_track;
    QWidget* m_barArea = nullptr;  // the bars when the container docks none
    QPointer<CFlatToolBar> m_standardBar;
    QPointer<CFontToolBar> m_formatBar;
    QPointer<CFormulaToolBar> m_editBar;
    QPointer<CFlatToolBar> m_chartBar;
    int m_nTabAreaWidth = InPlaceTabArea::kMinWidth;
    bool m_bFirstLayout = true;
    bool m_bRestoreTabWidth = false;
    int m_nSavedTabWidth = 0;
    int m_nLastHeight = 0;
    bool m_bChartMenu = false;
    QHash<int, QMenu*> m_contextMenus;
    QList<QMenu*> m_reportMenus;
    QList<QMenu*> m_chartMenus;
    QMenu* m_helpMenu = nullptr;
    QTimer m_idle;
    QMetaObject::Connection m_focusConnection;
};

}  // namespace qor::frames
