#pragma once
// The main window: several reports at once, each in its own child window
// inside the MDI area; the menus and tool bars built from the menu table
// over the command router; the formula bar, the status bar and the
// command window. Commands reach their handler through the router, which
// asks the active view, its document, the child window and this window in
// that order.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

#include "document/cmdtarget.h"
#include "document/commandtable.h"
#include "frames/commandrouter.h"
#include "frames/menutable.h"
#include "usermenu/usermenu.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStyle;
class CPicFrame;
class CQorsDoc;
class CQorsView;
class CFormulaBar;

namespace qor::frames {

class CChildFrame;
class CCmdBar;
class COleInPlaceFrame;
class CFileManagerBar;
class CFlatToolBar;
class CFontToolBar;
class CFormulaToolBar;
class CStatusBarXP;

// The outcome of converting reports to HTML: how many went through, the
// files that could not be converted, and those past the limit of one run.
constexpr int kMaxHtmlConversionFiles = 100;
struct HtmlConversion {
    int converted = 0;
    QStringList failed;
    QStringList leftOut;
    // The one message that ends the run: "done" when every file was
    // converted, otherwise the files that were not.
    QString Message() const;
};
// Writes every page of each report into "html" beside it; at most the
// first kMaxHtmlConversionFiles files are taken.
HtmlConversion ConvertReportsToHtml(const QStringList& files);

// The templates of an industry's common reports, from the template list
// "qormodel.cfg" in the language folder below listRoot (the data
// directory, where the template dialogs keep it), trying zh-TW, en-US and
// zh-CN after the current language; *language is the folder that had
// them. Empty when none has the industry.
QStringList CommonReportTemplates(const QString& listRoot, const QString& industry,
                                  QString* language);

class CMainFrame : public QMainWindow, public qor::ICommandTarget {
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // ---- reports
    // Opens a report by its type (.rep, .xlsx, own .xml); an open report is
    // activated instead. Null when it could not be opened (the user was
    // told, and no window was made).
    CChildFrame* OpenDocumentFile(const QString& path);
    CChildFrame* NewDocument();
    // Asks for a spreadsheet XML workbook and reads it into a new report
    // (command 33332). A file that does not load or is no workbook is
    // refused (62017) before any report is made; a failed import closes
    // the report it made. The new report's window, or null.
    CChildFrame* ImportSpreadsheetXml();
    // Asks for a file of the own XML format and reads it into a new report
    // (command 33324). Any other XML is refused (62017) before a report is
    // made; a failed import closes the report it made.
    CChildFrame* ImportOwnXml();
    // Asks for report files and converts each to HTML pages (33325).
    void OnConvertToHtml();
    // Makes a new report from each template of the account set's
    // industry, after asking (33302).
    void OnCommonReports();
    CChildFrame* ActiveChild() const;
    CQorsView* ActiveView() const;
    CQorsDoc* ActiveDocument() const;
    QList<CChildFrame*> Children() const;
    QMdiArea* MdiArea() const { return m_mdi; }
    // Saves a report (asking for a name when it has none or asAs is set).
    bool SaveDocument(CChildFrame* child, bool asAs);

    // ---- commands
    CommandRouter& Router() { return m_router; }
    // An update pass: every action, the format boxes and the formula bar.
    void UpdateFrameState();
    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;
    const qor::CommandIdSet* DeclaredCommands() const override;
    // A target asked after the main frame (the financial interfaces'
    // commands); the frame keeps it. One that names no ids has the ids it
    // knows read from it now, by asking it about each: what it knows must
    // not depend on its state.
    void AddCommandTarget(std::shared_ptr<qor::ICommandTarget> target);

    // ---- menus
    int CurrentMenuId() const { return m_currentMenu; }
    QList<QMenu*> TopMenus(int menuId) const { return m_topMenus.value(menuId); }
    QMenu* ContextMenu(int menuId) const { return m_contextMenus.value(menuId); }
    // Shows context menu 115 or 102 at a screen point (non-blocking).
    QMenu* ShowContextMenu(int menuId, QPoint globalPos);

    // ---- user menus
    // Loads a ".mnu" file as the menu bar (".mnu" added to a name without
    // extension), or, for an empty name, returns to the standard menu.
    // False with *error's text when the file is missing, of another type,
    // damaged or not codable; the menu bar is then unchanged. A UTF-16
    // menu file is refused while a user menu is shown.
    bool LoadMenuFile(const QString& name, QString* error = nullptr);
    // Shows the tables as the menu bar; false (nothing changed) when a
    // level has more items than can be coded.
    bool BuildUserMenu(const UserMenuTables& tables);
    void ReturnToStandardMenu();
    bool IsUserMenuActive() const { return m_userMenuActive; }
    const UserMenuTables& UserMenu() const { return m_userMenu; }
    // Runs the command text of the item with this id; false when it has
    // none or the script failed (the user was told).
    bool RunUserMenuItem(int id);
    // The status-bar prompt of a user-menu item under the mouse.
    void ShowUserMenuPrompt(QAction* action);
    // Execute: runs a chosen ".shl" or loads a chosen ".mnu".
    void OnExecute();

    // ---- the file manager's messages
    // One message of the file-manager control: 0x501 open a file by its
    // type (or show the context menu for a name ending "pop"), 0x502 add
    // a favourite, 0x503 minimise, 0x504 split a report, 0x507 pass a
    // command back. False for a message the frame does not know.
    bool OnFileManagerMessage(int message, int wParam, const QString& text);
    // ".rep" opens (or activates) the report, ".shl" runs, ".mnu" loads
    // as the user menu; any other type is a file of the consolidation
    // client. The path is passed on as spelled.
    void OnOpenFileMessage(int kind, const QString& name);
    void OnAddFavourite(const QString& name);
    // "M:" (M the mode letter: C adds workbooks, X the exchange XML), the
    // report path, "#" and the user keyword's name. True when every page
    // was written; a failure names the page and leaves the report alone.
    bool OnSplitReportPages(const QString& request);
    // A context-menu entry of the file manager, carried out by its control.
    void OnFileManagerCommand(int number);
    // The file manager's context menu (null before the first one).
    QMenu* FileManagerMenu() const { return m_fileManagerMenu; }
    int m_bFileManagerPopup = 0;
    // How a file of the consolidation client is opened (the client's
    // commands install it); without it such files are refused.
    void SetClientFileOpener(std::function<int(const QString&)> opener) {
        m_clientFileOpener = std::move(opener);
    }

    // ---- bars
    CFlatToolBar* ToolBar(int id) const;
    CFontToolBar* FormatBar() const { return m_formatBar; }
    CFormulaToolBar* EditBar() const { return m_editBar; }
    CFormulaBar* FormulaBar() const;
    CStatusBarXP* StatusBarXP() const { return m_status; }
    CCmdBar* CmdBar() const { return m_cmdBar; }
    // The file-manager bar, made on first use when a control is registered
    // (null otherwise).
    CFileManagerBar* CreateFileManagerBar();
    CFileManagerBar* FileManagerBar() const { return m_fileManager; }
    // The format bar is for format state: hidden (to come back) in data
    // state, shown again in format state when it was hidden so.
    void ShowFormatBarForState(bool dataState);

    // ---- formula bar
    void OnInputConfirm();
    void OnInputCancel();
    void CommitFormulaBar();
    // Whether the formula bar may take typing for the active report's
    // current cell, and whether the cell-formula command may run.
    static bool FormulaBarEditable(const CQorsDoc* doc);
    static bool CellFormulaAllowed(const CQorsDoc* doc);

    // ---- page tabs, as the documents publish them
    void SetPageTabs(int count, int current, int mode);
    void SetChildPageTabs(CChildFrame* child, int count, int current, int mode);

    // ---- application-wide values
    int m_nCurrencyIndex = 0;      // the common currency symbol, 0..4
    int m_bExitConfirmed = 0;      // the user confirmed leaving
    QString m_strMenuFile;         // the user menu file
    QString m_strPendingBatch;     // a batch file to run from the command window
    static int s_bClosing;         // set while windows close for good

    // Shows a help guide (default: the program's own help window); tests
    // replace it. True when it was shown.
    static std::function<bool(const QUrl&)> s_openUrl;
    bool OpenHelp(bool commandLanguage);

    // The chart frame in front (null when a report window or nothing is).
    CPicFrame* ActiveChartFrame() const;
    // Shows the report's charts in the chart frame (33024): the chart
    // selected in the active view, else the first chart. Null when the
    // report has no window or its chart frame is open already.
    CPicFrame* OpenChartWindow();

    // ---- an object of the active report edited in place
    // The frame editing it: the menu bar becomes the shared one (this
    // window's 文件, the frame's menus, this window's 窗口, the frame's
    // 帮助), this window's tool bars give way to the frame's, and the
    // report's own commands are not asked here meanwhile. Null: this
    // window's own menus and bars again.
    void SetInPlaceFrame(COleInPlaceFrame* frame);

    // The child window a child frame calls when it is activated or goes.
    void OnChildActivated(CChildFrame* child);
    void OnChildClosing(CChildFrame* child);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createBars();
    // Sends a sheet view's commands and mouse menus here (once per view).
    void hookView(CQorsView* view);
    void createMenus();
    QMenu* buildMenu(const QList<MenuEntry>& entries, const QString& title);
    void fillWindowList(QMenu* menu);
    // The active report stores what was typed for it before command `id`
    // acts (see CReportFrame::StoreEntryBeforeCommand); a report edited in
    // place inside it keeps its own. False: the entry was refused.
    bool storeActiveEntry(int id);
    void switchMenu(int menuId);
    void clearUserMenuWidgets();
    CChildFrame* addChild(std::unique_ptr<CQorsDoc> doc);
    void onFontBox(int code, int index);
    void toggleCmdBar();
    // Menu 419 and the chart bar while a chart is edited, the report's menu
    // and bars otherwise.
    void syncChartMenu();
    void syncCmdBar(bool chartFrameInFront);
    void showPictureBars(bool chart);
    void saveSettings();
    bool isFocusInFormulaEdit() const;
    QList<qor::ICommandTarget*> chain();
    // The window's own commands, one row each: id, enable rule, handler.
    static const qor::CommandTable<CMainFrame>& commands();

    QMdiArea* m_mdi = nullptr;
    CommandRouter m_router;
    QStyle* m_menuStyle = nullptr;
    QHash<int, QList<QMenu*>> m_topMenus;
    QHash<int, QMenu*> m_contextMenus;
    QList<QMenu*> m_windowMenus;
    int m_currentMenu = 0;
    int m_wantedMenu = 0;  // the standard menu the active window wants
    UserMenuTables m_userMenu;
    bool m_userMenuActive = false;
    QList<QMenu*> m_userMenus;
    QList<QAction*> m_userActions;
    CFlatToolBar* m_standardBar = nullptr;
    CFontToolBar* m_formatBar = nullptr;
    CFormulaToolBar* m_editBar = nullptr;
    CFlatToolBar* m_chartBar = nullptr;
    QHash<QWidget*, bool> m_tempHidden;
    CStatusBarXP* m_status = nullptr;
    CCmdBar* m_cmdBar = nullptr;
    CFileManagerBar* m_fileManager = nullptr;
    QTimer m_idle;
    QMetaObject::Connection m_focusConnection;
    QPointer<CChildFrame> m_lastActive;
    QList<std::shared_ptr<qor::ICommandTarget>> m_extraTargets;
    CChildFrame* m_passChild = nullptr;  // the child the last chain was made for (used at once)
    QPointer<CPicFrame> m_lastChartFrame;
    bool m_pictureBars = false;          // the bars are arranged for a chart
    bool m_chartBarShown = false;        // the chart bar was shown for it
    bool m_chartFrameInFront = false;    // the command window was put away for it
    QMenu* m_fileManagerMenu = nullptr;  // a child of the frame
    std::function<int(const QString&)> m_clientFileOpener;
    QPointer<QWidget> m_inPlaceFrame;  // the COleInPlaceFrame
    QList<QPointer<QWidget>> m_inPlaceHiddenBars;  // to show again afterwards
};

}  // namespace qor::frames
