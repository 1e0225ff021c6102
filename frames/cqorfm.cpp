#include "frames/cqorfm.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QSaveFile>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "fininterface/consolfiles.h"
#include "finui/mailtransfer.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "platform/datadir.h"
#include "platform/inifile.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

namespace qor::frames {

// A context-menu entry chosen: the control and the item the menu was for.
struct CQORFM::MenuPick {
    CQORFM& fm;
    QTreeWidgetItem* item;
};

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kFilledRole = Qt::UserRole + 2;

std::function<int()>& downloadHandler() {
    static std::function<int()> handler;
    return handler;
}

QString caption() { return LoadErrorText(str::kAppTitle); }

void tell(const QString& text, MsgIcon icon = MsgIcon::Warning) {
    messageBox(text, caption(), MsgButtons::Ok, icon);
}

bool hasSuffix(const QString& path, const QStringList& suffixes) {
    const QString suffix = QFileInfo(path).suffix();
    for (const QString& s : suffixes)
        if (suffix.compare(s, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The types the data tree shows, and those of the client's folder.
const QStringList kDataTypes{QStringLiteral("rep"), QStringLiteral("shl"), QStringLiteral("mnu")};
const QStringList kClientTypes{QStringLiteral("rep"), QStringLiteral("xml")};

// A name a new file or folder can take: one path part, not hidden.
bool usableName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

// True when path lies inside folder (not the folder itself).
bool isBelow(const QString& path, const QString& folder) {
    const QString p = QFileInfo(path).canonicalFilePath();
    const QString f = QFileInfo(folder).canonicalFilePath();
    return !p.isEmpty() && !f.isEmpty() && p.startsWith(f + QLatin1Char('/'));
}

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

QList<int> FileManagerMenuEntries(int kind) {
    switch (kind) {
        case kFmKindFolder:
            return {kCmdFmNewFolder, kCmdFmNewReport, kCmdFmFavourite, kCmdFmProperties,
                    kCmdFmMail};
        case kFmKindFavourites:
            return {kCmdFmNewScript, kCmdFmRefresh};
        case kFmKindFavourite:
        case kFmKindFile:
            return {kCmdFmDelete};
        case kFmKindDownload:
            return {kCmdFmUseDownloads};
        default:
            return {kCmdFmFavourite, kCmdFmDelete, kCmdFmProperties, kCmdFmMail};
    }
}

QString SplitFolder() { return nativePath(QStringLiteral("C:\\qortemp")); }

QString SplitCopyPath(const QString& reportPath, int page) {
    return QDir(SplitFolder())
        .filePath(
            QStringLiteral("%1_%2.rep").arg(QFileInfo(reportPath).completeBaseName()).arg(page));
}

void CQORFM::SetDownloadHandler(std::function<int()> handler) {
    downloadHandler() = std::move(handler);
}
bool CQORFM::HasDownloadHandler() { return bool(downloadHandler()); }

QString CQORFM::DataFolder() { return dataDir(); }

QString CQORFM::DownloadFolder() {
    return consol::ClientRootDir(QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()));
}

QList<QPair<QString, QString>> CQORFM::Favourites() {
    QList<QPair<QString, QString>> list;
    IniFile profile(applicationProfilePath());
    for (const QString& key : profile.keys(kFavouritesSection)) {
        const QString path = profile.readString(kFavouritesSection, key);
        if (!path.isEmpty()) list.append({key, path});
    }
    return list;
}

CQORFM::CQORFM(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fileManagerControl"));
}

CQORFM::~CQORFM() = default;

void CQORFM::Start() {
    if (m_tree) return;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addAction(LoadErrorText(str::kRefresh), this, [this] { Refresh(); });
    m_splitButton = new QToolButton(bar);
    m_splitButton->setText(LoadErrorText(str::kSplitButton));
    m_splitButton->setToolTip(LoadErrorText(str::kSplitButtonTip));
    m_splitButton->setPopupMode(QToolButton::InstantPopup);
    auto* splitMenu = new QMenu(m_splitButton);
    splitMenu->addAction(LoadErrorText(str::kSplitToReports), this,
                         [this] { RequestSplit(m_tree->currentItem(), u'R'); });
    splitMenu->addAction(LoadErrorText(str::kSplitToWorkbooks), this,
                         [this] { RequestSplit(m_tree->currentItem(), u'C'); });
    splitMenu->addAction(LoadErrorText(str::kSplitToXml), this,
                         [this] { RequestSplit(m_tree->currentItem(), u'X'); });
    m_splitButton->setMenu(splitMenu);
    m_splitButton->setEnabled(false);
    bar->addWidget(m_splitButton);
    bar->addAction(LoadErrorText(str::kMinimiseAction), this, [this] { send(kFmMinimise, 0, QString()); })
        ->setToolTip(LoadErrorText(str::kMinimiseMainTip));
    layout->addWidget(bar);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("fileManagerTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    // A double click opens files; folders only open and close.
    m_tree->setExpandsOnDoubleClick(true);
    layout->addWidget(m_tree);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { fill(item); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OpenItem(item); });
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QTreeWidgetItem* item = m_tree->itemAt(at)) {
            m_tree->setCurrentItem(item);
            RequestMenu(item);
        }
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        m_splitButton->setEnabled(
            item && (ItemKind(item) == kFmKindFile || ItemKind(item) == kFmKindFavourite) &&
            hasSuffix(ItemPath(item), {QStringLiteral("rep")}));
    });
}

int CQORFM::ItemKind(const QTreeWidgetItem* item) {
    return item ? item->data(0, kKindRole).toInt() : 0;
}

QString CQORFM::ItemPath(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPathRole).toString() : QString();
}

QTreeWidgetItem* CQORFM::addFolder(QTreeWidgetItem* parent, const QString& path,
                                   const QString& text, int kind) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, text);
    item->setToolTip(0, shown(path));
    item->setData(0, kPathRole, path);
    item->setData(0, kKindRole, kind);
    item->setData(0, kFilledRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void CQORFM::fill(QTreeWidgetItem* folder) {
    if (!folder || folder->data(0, kFilledRole).toBool()) return;
    if (folder == m_favouritesItem) {
        fillFavourites();
        return;
    }
    const int kind = ItemKind(folder);
    if (kind != kFmKindFolder && kind != kFmKindDownload) return;
    folder->setData(0, kFilledRole, true);
    qDeleteAll(folder->takeChildren());
    // Files below the client's folder are its reports and samples.
    const bool client = folder == m_downloadItem || isBelow(ItemPath(folder), DownloadFolder());
    const QDir dir(ItemPath(folder));
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        addFolder(folder, info.filePath(), info.fileName(), kFmKindFolder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (!hasSuffix(info.fileName(), client ? kClientTypes : kDataTypes)) continue;
        auto* item = new QTreeWidgetItem(folder);
        item->setText(0, info.fileName());
        item->setToolTip(0, shown(info.filePath()));
        item->setData(0, kPathRole, info.filePath());
        item->setData(0, kKindRole, kFmKindFile);
    }
    if (folder->childCount() == 0)
        folder->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void CQORFM::fillFavourites() {
    m_favouritesItem->setData(0, kFilledRole, true);
    qDeleteAll(m_favouritesItem->takeChildren());
    for (const auto& [name, path] : Favourites()) {
        auto* item = new QTreeWidgetItem(m_favouritesItem);
        item->setText(0, name);
        item->setToolTip(0, shown(path));
        item->setData(0, kPathRole, path);
        item->setData(0, kKindRole, kFmKindFavourite);
    }
}

QStringList CQORFM::expandedPaths() const {
    QStringList paths;
    if (!m_tree) return paths;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->isExpanded() && ItemKind(*it) == kFmKindFolder) paths << ItemPath(*it);
    return paths;
}

bool CQORFM::Refresh() {
    if (!m_tree) return false;
    const QStringList expanded = expandedPaths();
    const QString current = ItemPath(m_tree->currentItem());
    const bool favouritesOpen = m_favouritesItem && m_favouritesItem->isExpanded();
    const bool downloadOpen = m_downloadItem && m_downloadItem->isExpanded();
    // The pages of the last split stay until the next one.
    QList<QTreeWidgetItem*> pages;
    if (m_pagesItem) pages = m_pagesItem->takeChildren();
    m_tree->clear();
    m_menuItem = nullptr;
    m_dataItem = addFolder(nullptr, DataFolder(), LoadErrorText(str::kDataFolderItem), kFmKindFolder);
    m_favouritesItem = addFolder(nullptr, QString(), LoadErrorText(str::kKeep), kFmKindFavourites);
    m_downloadItem =
        addFolder(nullptr, DownloadFolder(), LoadErrorText(str::kDownloadFolderItem), kFmKindDownload);
    m_pagesItem = new QTreeWidgetItem(m_tree);
    m_pagesItem->setText(0, LoadErrorText(str::kSplitPagesItem));
    m_pagesItem->setData(0, kKindRole, kFmKindPage);
    m_pagesItem->addChildren(pages);
    m_pagesItem->setHidden(pages.isEmpty());
    m_dataItem->setExpanded(true);
    if (favouritesOpen) m_favouritesItem->setExpanded(true);
    if (downloadOpen) m_downloadItem->setExpanded(true);
    for (const QString& path : expanded)
        if (QTreeWidgetItem* item = FindPath(path)) item->setExpanded(true);
    if (!current.isEmpty()) selectPath(current);
    return true;
}

QTreeWidgetItem* CQORFM::FindPath(const QString& path) {
    if (!m_tree || path.isEmpty()) return nullptr;
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (QTreeWidgetItem* root : {m_dataItem, m_downloadItem}) {
        const QString base = QFileInfo(ItemPath(root)).absoluteFilePath();
        if (wanted == base) return root;
        if (!wanted.startsWith(base + QLatin1Char('/'))) continue;
        QTreeWidgetItem* item = root;
        const QStringList parts = wanted.mid(base.size() + 1).split(u'/', Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            fill(item);
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < item->childCount() && !next; ++i)
                if (item->child(i)->text(0) == part) next = item->child(i);
            if (!next) break;
            item = next;
        }
        if (QFileInfo(ItemPath(item)).absoluteFilePath() == wanted) return item;
    }
    return nullptr;
}

void CQORFM::selectPath(const QString& path) {
    QTreeWidgetItem* item = FindPath(path);
    if (!item && m_favouritesItem) {
        for (int i = 0; i < m_favouritesItem->childCount() && !item; ++i)
            if (ItemPath(m_favouritesItem->child(i)) == path) item = m_favouritesItem->child(i);
    }
    if (!item) return;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
    m_tree->setCurrentItem(item);
    m_tree->scrollToItem(item);
}

void CQORFM::FrameActivated() {
    auto* frame = qobject_cast<CMainFrame*>(m_main.data());
    const CQorsDoc* doc = frame ? frame->ActiveDocument() : nullptr;
    if (doc && !doc->GetPathName().isEmpty()) selectPath(doc->GetPathName());
}

void CQORFM::AddFavourite(const QString& name, const QString& path) {
    if (name.isEmpty() || path.isEmpty()) return;
    IniFile profile(applicationProfilePath());
    QDir().mkpath(QFileInfo(applicationProfilePath()).absolutePath());
    if (!profile.setString(kFavouritesSection, name, path) || !profile.save()) {
        tell(LoadErrorText(str::kFavouriteNotSaved).arg(name));
        return;
    }
    if (!m_tree) return;
    fillFavourites();
    m_favouritesItem->setExpanded(true);
    for (int i = 0; i < m_favouritesItem->childCount(); ++i)
        if (m_favouritesItem->child(i)->text(0).compare(name, Qt::CaseInsensitive) == 0)
            m_tree->setCurrentItem(m_favouritesItem->child(i));
}

void CQORFM::AddPage(int16_t page, const QString& keyword, int16_t pageCount) {
    if (!m_tree || !m_pagesItem) return;
    // A split lists its pages from the first on: a first page starts anew.
    if (page <= 1) qDeleteAll(m_pagesItem->takeChildren());
    auto* item = new QTreeWidgetItem(m_pagesItem);
    item->setText(0, LoadErrorText(str::kPageWithKeyword).arg(page).arg(keyword).trimmed());
    item->setData(0, kKindRole, kFmKindPage);
    if (!m_splitReport.isEmpty()) {
        item->setData(0, kPathRole, SplitCopyPath(m_splitReport, page));
        item->setToolTip(0, shown(SplitCopyPath(m_splitReport, page)));
    }
    m_pagesItem->setText(0, LoadErrorText(str::kSplitPagesCount).arg(pageCount));
    m_pagesItem->setHidden(false);
    m_pagesItem->setExpanded(true);
}

void CQORFM::send(int message, int wParam, const QString& text) {
    if (auto* frame = qobject_cast<CMainFrame*>(m_main.data()))
        frame->OnFileManagerMessage(message, wParam, text);
}

void CQORFM::OpenItem(QTreeWidgetItem* item) {
    const int kind = ItemKind(item);
    if (kind != kFmKindFile && kind != kFmKindFavourite && kind != kFmKindPage) return;
    QString path = ItemPath(item);
    if (kind == kFmKindFile && hasSuffix(path, {QStringLiteral("xml")}) &&
        isBelow(path, DownloadFolder()))
        path = clientFileFor(path);
    if (!path.isEmpty()) send(kFmOpenFile, kind, path);
}

QString CQORFM::clientFileFor(const QString& path) {
    // A file the client sent down is taken in by the report of its
    // folder: the client's name of that report (".xml" beside the
    // ".rep"), asked for when the folder has none or several.
    const QFileInfo info(path);
    if (info.dir().dirName().compare(QLatin1String("download"), Qt::CaseInsensitive) != 0)
        return path;
    const QDir folder(QFileInfo(info.absolutePath()).absolutePath());
    QStringList reports;
    for (const QFileInfo& r : folder.entryInfoList(QDir::Files, QDir::Name))
        if (hasSuffix(r.fileName(), {QStringLiteral("rep")})) reports << r.completeBaseName();
    QString name = reports.size() == 1 ? reports.first() : QString();
    if (name.isEmpty()) {
        name =
            askName(LoadErrorText(str::kDownloadReportNamePrompt), reports.isEmpty() ? folder.dirName() : reports.first());
        if (name.isEmpty()) return {};
        if (!usableName(name)) {
            tell(LoadErrorText(str::kBadFileName).arg(name));
            return {};
        }
    }
    const QString report = folder.filePath(name + QStringLiteral(".rep"));
    if (QDir::cleanPath(consol::GetDownloadDir(report)) != QDir::cleanPath(info.absolutePath()))
        return path;
    return folder.filePath(name + QStringLiteral(".xml"));
}

void CQORFM::RequestMenu(QTreeWidgetItem* item) {
    if (!item) return;
    m_menuItem = item;
    m_menuPath = ItemPath(item);
    m_menuKind = ItemKind(item);
    send(kFmOpenFile, m_menuKind, kFmPopupName);
}

bool CQORFM::itemAlive(QTreeWidgetItem* item) const {
    if (!item || !m_tree) return false;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (*it == item) return true;
    return false;
}

void CQORFM::RequestSplit(QTreeWidgetItem* item, QChar mode) {
    const QString path = ItemPath(item);
    if (path.isEmpty() || !hasSuffix(path, {QStringLiteral("rep")})) {
        tell(LoadErrorText(str::kChooseReportFirst));
        return;
    }
    QString keyword;
    {
        CReportHandle report(path, CReportHandle::OpenMode::OpenExisting,
                             CReportHandle::Access::Read);
        if (report.IsOpen()) keyword = report.GetReportFile()->GetUserKeywordName();
    }
    const QString name = askName(LoadErrorText(str::kSplitKeywordPrompt), keyword);
    if (name.isEmpty()) return;
    m_splitReport = path;
    send(kFmSplitPages, 0, QString(mode) + QLatin1Char(':') + path + QLatin1Char('#') + name);
}

QString CQORFM::askName(const QString& label, const QString& initial) {
    const std::optional<QString> answer = promptText({caption(), label, initial});
    return answer ? answer->trimmed() : QString();
}

void CQORFM::PassCommand(int16_t number, const QString&) {
    if (!m_tree) return;
    // A refresh since the menu opened made the items anew: find the one
    // that shows the same thing.
    QTreeWidgetItem* item = m_menuItem;
    if (!itemAlive(item)) {
        item = nullptr;
        for (QTreeWidgetItemIterator it(m_tree); *it && !item; ++it)
            if (ItemKind(*it) == m_menuKind && ItemPath(*it) == m_menuPath) item = *it;
        if (!item && m_menuKind == kFmKindFavourites) item = m_favouritesItem;
    }
    // The number travels as a 16-bit value; the entries' ids are above
    // the signed range.
    MenuPick pick{*this, item};
    menuCommands().Run(pick, int(uint16_t(number)));
}

// Whether an entry is on is the main window's to say; here each entry
// does its work on the item the menu was for.
const qor::CommandTable<CQORFM::MenuPick>& CQORFM::menuCommands() {
    static const qor::CommandTable<MenuPick> table(
        {
            {kCmdFmNewFolder, nullptr, [](MenuPick& p, int) { p.fm.newFolder(p.item); }, nullptr},
            {kCmdFmNewReport, nullptr, [](MenuPick& p, int) { p.fm.newReport(p.item); }, nullptr},
            {kCmdFmNewScript, nullptr, [](MenuPick& p, int) { p.fm.newScript(); }, nullptr},
            {kCmdFmRefresh, nullptr, [](MenuPick& p, int) { p.fm.Refresh(); }, nullptr},
            {kCmdFmFavourite, nullptr, [](MenuPick& p, int) { p.fm.addActiveReportToFavourites(); },
             nullptr},
            {kCmdFmDelete, nullptr, [](MenuPick& p, int) { p.fm.deleteItem(p.item); }, nullptr},
            {kCmdFmUseDownloads, nullptr,
             [](MenuPick& p, int) {
                 if (downloadHandler())
                     downloadHandler()();
                 else
                     tell(LoadErrorText(str::kConsolClientNotInstalledSentence));
                 p.fm.Refresh();
             },
             nullptr},
            {kCmdFmProperties, nullptr, [](MenuPick& p, int) { p.fm.showProperties(p.item); },
             nullptr},
            {kCmdFmMail, nullptr, [](MenuPick& p, int) { p.fm.mailItem(p.item); }, nullptr},
        },
        qor::doccmd::ReasonNotBuilt());
    return table;
}

void CQORFM::newFolder(QTreeWidgetItem* item) {
    if (!item || (ItemKind(item) != kFmKindFolder && ItemKind(item) != kFmKindDownload)) return;
    const QString name =
        askName(LoadErrorText(str::kNewFolder) + LoadErrorText(str::kNamePromptSuffix), QString());
    if (name.isEmpty()) return;
    if (!usableName(name)) {
        tell(LoadErrorText(str::kBadFolderName).arg(name));
        return;
    }
    const QDir dir(ItemPath(item));
    const QString path = dir.filePath(name);
    if (QFileInfo::exists(path)) {
        tell(LoadErrorText(str::kFolderOrFileExists).arg(shown(path)));
        return;
    }
    if (!dir.mkdir(name)) {
        tell(LoadErrorText(str::kCannotMakeFolder).arg(shown(path)));
        return;
    }
    item->setData(0, kFilledRole, false);
    selectPath(path);
}

void CQORFM::newReport(QTreeWidgetItem* item) {
    if (!item || (ItemKind(item) != kFmKindFolder && ItemKind(item) != kFmKindDownload)) return;
    QString name =
        askName(LoadErrorText(str::kNewFileItem) + LoadErrorText(str::kNamePromptSuffix), QString());
    if (name.isEmpty()) return;
    if (!usableName(name)) {
        tell(LoadErrorText(str::kBadFileName).arg(name));
        return;
    }
    if (!hasSuffix(name, {QStringLiteral("rep")})) name += QStringLiteral(".rep");
    const QString path = QDir(ItemPath(item)).filePath(name);
    if (QFileInfo::exists(path)) {
        tell(LoadErrorText(str::kFileExistsText).arg(shown(path)));
        return;
    }
    {
        // An empty report, written whole by its first save.
        CReportHandle report(path, CReportHandle::OpenMode::CreateNew);
        const uint16_t status = report.IsOpen() ? report.Save() : report.OpenStatus();
        if (!report.IsOpen() || status != 0) {
            QString why = report.ErrorText();
            if (why.isEmpty()) why = LoadErrorText(status ? status : 1010);
            tell(LoadErrorText(str::kCannotMakeReportWhy).arg(shown(path), why));
            return;
        }
    }
    item->setData(0, kFilledRole, false);
    selectPath(path);
}

void CQORFM::newScript() {
    QString name =
        askName(LoadErrorText(str::kNewCustomFile) + LoadErrorText(str::kNamePromptSuffix), QString());
    if (name.isEmpty()) return;
    if (!usableName(name)) {
        tell(LoadErrorText(str::kBadFileName).arg(name));
        return;
    }
    if (!hasSuffix(name, {QStringLiteral("shl")})) name += QStringLiteral(".shl");
    const QString path = QDir(DataFolder()).filePath(name);
    if (QFileInfo::exists(path)) {
        tell(LoadErrorText(str::kFileExistsText).arg(shown(path)));
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.commit()) {
        tell(LoadErrorText(str::kCannotMakeFile).arg(shown(path)));
        return;
    }
    // The new script is kept among the favourites, where it was asked for,
    // and opened for writing where the desktop can.
    AddFavourite(QFileInfo(path).completeBaseName().toUpper(), path);
    if (m_dataItem) m_dataItem->setData(0, kFilledRole, false);
    fill(m_dataItem);
    openInDesktop(path);
}

void CQORFM::addActiveReportToFavourites() {
    auto* frame = qobject_cast<CMainFrame*>(m_main.data());
    const CQorsDoc* doc = frame ? frame->ActiveDocument() : nullptr;
    if (!doc) {
        // The main window says why nothing can be kept.
        send(kFmAddFavourite, 0, QString());
        return;
    }
    if (doc->GetPathName().isEmpty()) {
        tell(LoadErrorText(str::kFavouriteUnsavedReport));
        return;
    }
    const QString name =
        askName(LoadErrorText(str::kFavouriteNamePrompt), QFileInfo(doc->GetPathName()).completeBaseName());
    if (!name.isEmpty()) send(kFmAddFavourite, 0, name);
}

void CQORFM::deleteItem(QTreeWidgetItem* item) {
    if (!item) return;
    const QString path = ItemPath(item);
    if (ItemKind(item) == kFmKindFavourite) {
        // Only the entry goes; the file stays where it is.
        IniFile profile(applicationProfilePath());
        profile.removeKey(kFavouritesSection, item->text(0));
        if (!profile.save()) {
            tell(LoadErrorText(str::kFavouriteNotRemoved).arg(item->text(0)));
            return;
        }
        fillFavourites();
        return;
    }
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    if (!isBelow(path, DataFolder())) {
        tell(LoadErrorText(str::kDeleteOnlyInDataFolder).arg(shown(path)));
        return;
    }
    if (auto* frame = qobject_cast<CMainFrame*>(m_main.data())) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        for (CChildFrame* child : frame->Children()) {
            if (QFileInfo(child->GetDocument()->GetPathName()).canonicalFilePath() == canonical) {
                tell(LoadErrorText(str::kDeleteOpenReport).arg(shown(path)));
                return;
            }
        }
    }
    if (!askYesNo(LoadErrorText(str::kAskDeleteFile).arg(shown(path)), caption(), false)) return;
    if (!QFile::remove(path)) {
        tell(LoadErrorText(str::kCannotDeleteFile).arg(shown(path)));
        return;
    }
    if (ItemKind(item) == kFmKindPage) {
        item->setData(0, kPathRole, QString());
        item->setText(0, item->text(0) + LoadErrorText(str::kDeletedMark));
        return;
    }
    QTreeWidgetItem* parent = item->parent();
    if (m_menuItem == item) m_menuItem = nullptr;
    delete item;
    if (parent) m_tree->setCurrentItem(parent);
}

void CQORFM::showProperties(QTreeWidgetItem* item) {
    const QString path = ItemPath(item);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        if (!path.isEmpty()) tell(LoadErrorText(str::kNotFound).arg(shown(path)));
        return;
    }
    QString text = LoadErrorText(str::kFileInfoPath).arg(item->text(0), shown(info.absoluteFilePath()));
    if (info.isDir())
        text += LoadErrorText(str::kFileInfoFolder);
    else
        text += LoadErrorText(str::kFileInfoSize).arg(info.size());
    text += LoadErrorText(str::kFileInfoModified).arg(
        info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    tell(text, MsgIcon::Information);
}

void CQORFM::mailItem(QTreeWidgetItem* item) {
    const QString path = ItemPath(item);
    QStringList files;
    if (QFileInfo(path).isDir()) {
        // A folder sends its reports.
        const QDir dir(path);
        for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Name))
            if (hasSuffix(info.fileName(), {QStringLiteral("rep")})) files << info.filePath();
    } else if (QFileInfo(path).isFile()) {
        files << path;
    }
    if (files.isEmpty()) {
        tell(LoadErrorText(str::kNoReportToSend));
        return;
    }
    QString why;
    mail::StartSend(m_main, &why, files);
}

}  // namespace qor::frames
