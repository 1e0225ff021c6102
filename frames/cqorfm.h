#pragma once
// The file manager shown in the file-manager bar: the data directory's
// folders with their report, script and menu files, the user's favourites,
// the consolidation client's download folder and the pages of the last
// split report. It does nothing to a file itself: a double click or a right
// click becomes a message to the main window (open by type, context menu),
// and the main window hands the chosen context-menu entry back through
// PassCommand, which carries it out on the item the menu was for.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "frames/cfilemanagerbar.h"
#include "resources/commandids.h"

class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;

namespace qor {
template <class Target>
class CommandTable;
}

namespace qor::frames {

// The messages the control sends to the main window.
enum FileManagerMessage : int {
    kFmOpenFile = 0x501,      // wParam kind, text a path or a name ending "pop"
    kFmAddFavourite = 0x502,  // text the favourite's name
    kFmMinimise = 0x503,
    kFmSplitPages = 0x504,   // text: mode letter, one separator, path "#" keyword name
    kFmPassCommand = 0x507,  // wParam a context-menu command
};

// What an item is, as the context menu asks.
enum FileManagerKind : int {
    kFmKindFolder = 1,
    kFmKindFavourites = 2,
    kFmKindFavourite = 3,
    kFmKindFile = 4,
    kFmKindDownload = 5,
    kFmKindPage = 6,  // a page of the split report (any other kind's menu)
};

// The context-menu entries.
using qor::cmd_ids::kCmdFmNewFolder;
using qor::cmd_ids::kCmdFmNewReport;
using qor::cmd_ids::kCmdFmNewScript;
using qor::cmd_ids::kCmdFmRefresh;
using qor::cmd_ids::kCmdFmFavourite;
using qor::cmd_ids::kCmdFmDelete;
using qor::cmd_ids::kCmdFmUseDownloads;
using qor::cmd_ids::kCmdFmProperties;
using qor::cmd_ids::kCmdFmMail;
constexpr int kFmFirstCommand = kCmdFmNewFolder;
constexpr int kFmLastCommand = kCmdFmMail;

// The entries of the context menu for an item of this kind, in order.
QList<int> FileManagerMenuEntries(int kind);
// The message name that asks for the context menu.
inline const QString kFmPopupName = QStringLiteral("filemanager.pop");
// Where the split writes page i of a report: "<title>_<i>.rep" in the
// data directory's "qortemp" folder.
QString SplitFolder();
QString SplitCopyPath(const QString& reportPath, int page);
// The profile section of the favourites: name = path.
inline const QString kFavouritesSection = QStringLiteral("Favorites");

class CMainFrame;
// Registers the control with the file-manager bar (which makes 文件管理器
// available) and the context-menu entries' handler with the main window.
void InstallFileManager(CMainFrame* main);

class CQORFM : public QWidget, public IFileManagerControl {
    Q_OBJECT

public:
    explicit CQORFM(QWidget* parent = nullptr);
    ~CQORFM() override;

    // ---- the bar's calls
    QWidget* Widget() override { return this; }
    void Start() override;
    void SetLogin(QObject* login) override { m_login = login; }
    bool Refresh() override;
    void SetMainWindow(QWidget* main) override { m_main = main; }
    void AddPage(int16_t page, const QString& keyword, int16_t pageCount) override;
    void AddFavourite(const QString& name, const QString& path) override;
    void FrameActivated() override;
    void PassCommand(int16_t number, const QString& text) override;

    // ---- what the user does
    // A double click: files, favourites and pages are opened by type.
    void OpenItem(QTreeWidgetItem* item);
    // A right click: asks the main window for the item's context menu.
    void RequestMenu(QTreeWidgetItem* item);
    // Asks the main window to split the report into one file per page;
    // mode 'R' copies only, 'C' adds workbooks, 'X' the exchange XML. The
    // user is asked for the keyword name (the report's own offered).
    void RequestSplit(QTreeWidgetItem* item, QChar mode);

    // ---- the tree
    QTreeWidget* Tree() const { return m_tree; }
    QTreeWidgetItem* DataItem() const { return m_dataItem; }
    QTreeWidgetItem* FavouritesItem() const { return m_favouritesItem; }
    QTreeWidgetItem* DownloadItem() const { return m_downloadItem; }
    QTreeWidgetItem* PagesItem() const { return m_pagesItem; }
    // The item showing path below the data or download folder, its folders
    // filled on the way; null when it is not shown.
    QTreeWidgetItem* FindPath(const QString& path);
    static int ItemKind(const QTreeWidgetItem* item);
    static QString ItemPath(const QTreeWidgetItem* item);

    // The data directory the tree shows and the client's download folder.
    static QString DataFolder();
    static QString DownloadFolder();
    // The favourites in the profile, as name and path pairs.
    static QList<QPair<QString, QString>> Favourites();

    // What 使用下载目录 runs: the open client reports take in what the
    // client sent down. Installed by the desktop with the client's commands.
    static void SetDownloadHandler(std::function<int()> handler);
    static bool HasDownloadHandler();

private:
    struct MenuPick;
    static const qor::CommandTable<MenuPick>& menuCommands();
    void send(int message, int wParam, const QString& text);
    QString clientFileFor(const QString& path);
    void fill(QTreeWidgetItem* folder);
    void fillFavourites();
    QTreeWidgetItem* addFolder(QTreeWidgetItem* parent, const QString& path, const QString& text,
                               int kind);
    QStringList expandedPaths() const;
    bool itemAlive(QTreeWidgetItem* item) const;
    QString askName(const QString& label, const QString& initial);
    void newFolder(QTreeWidgetItem* item);
    void newReport(QTreeWidgetItem* item);
    void newScript();
    void addActiveReportToFavourites();
    void deleteItem(QTreeWidgetItem* item);
    void showProperties(QTreeWidgetItem* item);
    void mailItem(QTreeWidgetItem* item);
    void selectPath(const QString& path);

    QTreeWidget* m_tree = nullptr;
    QToolButton* m_splitButton = nullptr;
    QTreeWidgetItem* m_dataItem = nullptr;
    QTreeWidgetItem* m_favouritesItem = nullptr;
    QTreeWidgetItem* m_downloadItem = nullptr;
    QTreeWidgetItem* m_pagesItem = nullptr;
    QTreeWidgetItem* m_menuItem = nullptr;
    QString m_menuPath;  // the menu item's path, in case a refresh remade the item
    int m_menuKind = 0;
    QString m_splitReport;  // the report of the last split request
    QPointer<QWidget> m_main;
    QPointer<QObject> m_login;
};

}  // namespace qor::frames
