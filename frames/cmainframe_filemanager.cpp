// The main frame's side of the file manager: the messages its control
// sends (open by type, context menu, favourites, minimise, split a report
// into one file per page) and the context-menu entries it hands back.
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dialogs/batchcmd_dlgs.h"
#include "document/commandtable.h"
#include "document/doc_commands.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/cexcelbridge.h"
#include "exchange/excelexport.h"
#include "exchange/ownxml_export.h"
#include "finui/mailtransfer.h"
#include "frames/cchildframe.h"
#include "frames/cfilemanagerbar.h"
#include "frames/cmainframe.h"
#include "frames/cqorfm.h"
#include "frames/cstatusbarxp.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "view/cqorsview.h"

namespace qor::frames {

namespace {

void tellUser(const QString& text, MsgIcon icon = MsgIcon::Warning) {
    messageBox(text, LoadErrorText(str::kAppTitle), MsgButtons::Ok, icon);
}

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

bool isType(const QString& path, const char* suffix) {
    return QFileInfo(path).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}

// The keyword value a page list shows.
QString keywordText(const KeywordValue& value) {
    if (value.kind == 2) return value.text;
    if (value.kind == 1) return QString::number(value.number, 'g', 15);
    return QString();
}

// Copies source into a new file beside target and returns its name
// (empty, with *why, on failure). The caller renames it into place.
QString copyBeside(const QString& source, const QString& target, QString* why) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return {};
    }
    const QFileInfo t(target);
    QTemporaryFile out(t.absolutePath() + QLatin1Char('/') + t.completeBaseName() +
                       QStringLiteral(".XXXXXX.rep"));
    out.setAutoRemove(false);
    if (!out.open()) {
        *why = out.errorString();
        return {};
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) break;
        if (out.write(chunk) != chunk.size()) {
            *why = out.errorString();
            out.remove();
            return {};
        }
    }
    if (in.error() != QFileDevice::NoError || !out.flush()) {
        *why = in.error() != QFileDevice::NoError ? in.errorString() : out.errorString();
        out.remove();
        return {};
    }
    return out.fileName();
}

// Writes page of the report at source as a report of that page alone at
// target: a copy is trimmed beside it, saved and renamed into place, so
// the target is either the finished page or what it was before. Empty on
// success, else why not.
QString writePageCopy(const QString& source, int page, int pageCount, const QString& target) {
    QString why;
    const QString temp = copyBeside(source, target, &why);
    if (temp.isEmpty()) return why;
    auto fail = [&temp](const QString& text) {
        QFile::remove(temp);
        return text;
    };
    {
        CReportHandle copy(temp, CReportHandle::OpenMode::OpenExisting);
        if (!copy.IsOpen())
            return fail(copy.ErrorText().isEmpty() ? LoadErrorText(copy.OpenStatus())
                                                   : copy.ErrorText());
        copy.SetCurPage(1);
        uint16_t status = 0;
        if (page < pageCount) status = copy.DeleteRowColPage(page + 1, pageCount - page, 2);
        if (status == 0 && page > 1) status = copy.DeleteRowColPage(1, page - 1, 2);
        if (status != 0) return fail(LoadErrorText(status));
        if (copy.GetPageCount() != 1) return fail(LoadErrorText(str::kWrongPageCount));
        status = copy.Save();
        if (status != 0)
            return fail(copy.ErrorText().isEmpty() ? LoadErrorText(status) : copy.ErrorText());
    }
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) !=
        0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

// The context-menu entries of the file manager: on while its control is
// shown, 发送邮件 while no mail transfer runs, 使用下载目录 once the
// consolidation client is there.
class FileManagerCommands : public ICommandTarget {
public:
    explicit FileManagerCommands(CMainFrame* main) : m_main(main) {}

    bool OnUpdateCommand(int id, CommandState& s) override { return table().Update(*this, id, s); }
    bool OnCommand(int id) override { return table().Run(*this, id); }
    const CommandIdSet* DeclaredCommands() const override { return &table().Ids(); }

private:
    using Table = CommandTable<FileManagerCommands>;

    static QString barShown(FileManagerCommands& t, int, CommandState&) {
        CFileManagerBar* bar = t.m_main ? t.m_main->FileManagerBar() : nullptr;
        return bar && bar->IsReady() ? QString() : LoadErrorText(str::kFileManagerNotOpen);
    }
    static void run(FileManagerCommands& t, int id) {
        if (t.m_main) t.m_main->OnFileManagerCommand(id);
    }
    static const Table& table() {
        static const Table t(
            {
                {kCmdFmNewFolder, barShown, run},
                {kCmdFmNewReport, barShown, run},
                {kCmdFmNewScript, barShown, run},
                {kCmdFmRefresh, barShown, run},
                {kCmdFmFavourite, barShown, run},
                {kCmdFmDelete, barShown, run},
                {kCmdFmUseDownloads,
                 [](FileManagerCommands& f, int id, CommandState& s) {
                     const QString why = barShown(f, id, s);
                     if (!why.isEmpty() || CQORFM::HasDownloadHandler()) return why;
                     return LoadErrorText(str::kConsolClientNotInstalled);
                 },
                 run},
                {kCmdFmProperties, barShown, run},
                {kCmdFmMail,
                 [](FileManagerCommands& f, int id, CommandState& s) {
                     const QString why = barShown(f, id, s);
                     if (!why.isEmpty() || mail::MailAvailable()) return why;
                     return LoadErrorText(str::kMailProgramRunning).trimmed();
                 },
                 run},
            },
            doccmd::ReasonNotBuilt());
        return t;
    }

    QPointer<CMainFrame> m_main;
};

}  // namespace

void InstallFileManager(CMainFrame* main) {
    CFileManagerBar::SetControlFactory([] { return std::make_unique<CQORFM>(); });
    main->AddCommandTarget(std::make_shared<FileManagerCommands>(main));
}

bool CMainFrame::OnFileManagerMessage(int message, int wParam, const QString& text) {
    switch (message) {
        case kFmOpenFile:
            OnOpenFileMessage(wParam, text);
            return true;
        case kFmAddFavourite:
            OnAddFavourite(text);
            return true;
        case kFmMinimise:
            showMinimized();
            return true;
        case kFmSplitPages:
            OnSplitReportPages(text);
            return true;
        case kFmPassCommand:
            OnFileManagerCommand(wParam);
            return true;
        default:
            return false;
    }
}

void CMainFrame::OnOpenFileMessage(int kind, const QString& name) {
    // Only the extension tells the type; the path goes on as spelled.
    const QString notHandled = LoadErrorText(str::kFileTypeNotHandled).arg(shown(name));
    if (name.size() < 3) {
        tellUser(notHandled);
        return;
    }
    if (isType(name, "pop")) {
        if (!m_fileManagerMenu) {
            m_fileManagerMenu = new QMenu(this);
            m_fileManagerMenu->setObjectName(QStringLiteral("fileManagerMenu"));
            m_fileManagerMenu->setStyle(m_menuStyle);
        }
        m_fileManagerMenu->clear();
        for (int id : FileManagerMenuEntries(kind))
            m_fileManagerMenu->addAction(m_router.Action(id));
        m_router.UpdateActions(m_fileManagerMenu->actions());
        m_bFileManagerPopup = 1;
        m_fileManagerMenu->popup(QCursor::pos());
        return;
    }
    QString error;
    if (isType(name, "rep")) {
        // Opened as File > Open does; an open report comes to the front.
        OpenDocumentFile(name);
    } else if (isType(name, "shl")) {
        RunBatchScript(name, LoadErrorText(str::kAppTitle));
        UpdateFrameState();
    } else if (isType(name, "mnu")) {
        if (!LoadMenuFile(name, &error) && !error.isEmpty()) tellUser(error);
    } else if (m_clientFileOpener) {
        m_clientFileOpener(name);
    } else {
        tellUser(notHandled);
    }
}

void CMainFrame::OnAddFavourite(const QString& name) {
    CQorsView* view = ActiveView();
    if (!view || !ActiveDocument()) {
        tellUser(LoadErrorText(str::kNoReportToKeep));
        return;
    }
    QString key;
    for (QChar c : name)
        if (!c.isSpace()) key += c;
    key = key.toUpper();
    const QString path = ActiveDocument()->GetPathName();
    if (key.isEmpty() || path.isEmpty()) {
        tellUser(key.isEmpty() ? LoadErrorText(str::kFavouriteNameEmpty) : LoadErrorText(str::kFavouriteUnsavedReport));
        return;
    }
    if (m_fileManager) m_fileManager->AddFavourite(key, path);
}

void CMainFrame::OnFileManagerCommand(int number) {
    if (m_fileManager) m_fileManager->PassCommand(int16_t(number), QString());
}

bool CMainFrame::OnSplitReportPages(const QString& request) {
    const qsizetype hash = request.lastIndexOf(QLatin1Char('#'));
    if (request.size() < 3 || hash < 3) {
        tellUser(LoadErrorText(str::kSplitRequestIncomplete).arg(request));
        return false;
    }
    const QChar mode = request.at(0).toUpper();
    const QString path = request.mid(2, hash - 2);
    const QString keyword = request.mid(hash + 1).trimmed();
    if (mode == u'C') {
        CExcelBridge bridge;
        if (!bridge.StartExcel()) {
            tellUser(LoadErrorText(str::kExcelNotInstalled));
            return false;
        }
        bridge.QuitExcel();
    }
    // The report of an open window, or the file read here (and closed on
    // every way out).
    CReportHandle* report = nullptr;
    QString source = path;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (CChildFrame* child : Children()) {
        CQorsDoc* doc = child->GetDocument();
        if (canonical.isEmpty() || QFileInfo(doc->GetPathName()).canonicalFilePath() != canonical)
            continue;
        // The copies are made from the file: changes on screen go in only
        // once saved.
        if (doc->IsModified()) {
            const MsgAnswer answer =
                messageBox(LoadErrorText(str::kAskSaveBeforeSplit).arg(shown(path)), LoadErrorText(str::kAppTitle),
                           MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::Cancel);
            if (answer == MsgAnswer::Cancel) return false;
            if (answer == MsgAnswer::Yes && !SaveDocument(child, false)) return false;
        }
        report = doc->GetReport();
        source = doc->GetPathName();
    }
    std::unique_ptr<CReportHandle> own;
    if (!report) {
        own = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting,
                                              CReportHandle::Access::Read);
        if (!own->IsOpen()) {
            tellUser(LoadErrorText(str::kCannotOpenReportWhy).arg(shown(path), own->ErrorText().isEmpty()
                                                               ? LoadErrorText(own->OpenStatus())
                                                               : own->ErrorText()));
            return false;
        }
        report = own.get();
    }
    const QString userKeyword = report->GetReportFile()->GetUserKeywordName();
    if (keyword.isEmpty() || userKeyword != keyword) {
        tellUser(LoadErrorText(str::kSplitKeywordMismatch).arg(shown(path), keyword));
        return false;
    }
    if (report->HasExtendedPageRecords()) {
        tellUser(LoadErrorText(str::kSplitExtendedPages).arg(shown(path)));
        return false;
    }
    const int count = report->GetPageCount();
    if (count < 1) {
        tellUser(LoadErrorText(str::kSplitNoPages).arg(shown(path)));
        return false;
    }
    for (int page = 1; page <= count; ++page) {
        KeywordValue value;
        report->GetPageKeyword(6, &value, page);
        if (m_fileManager)
            m_fileManager->AddPage(int16_t(page), keywordText(value), int16_t(count));
    }
    own.reset();
    if (!QDir().mkpath(SplitFolder())) {
        tellUser(LoadErrorText(str::kCannotMakeFolder).arg(shown(SplitFolder())));
        return false;
    }
    for (int page = 1; page <= count; ++page) {
        const QString target = SplitCopyPath(path, page);
        // A copy shown in a window is not replaced under it.
        QString why;
        const QString openCopy = QFileInfo(target).canonicalFilePath();
        for (CChildFrame* child : Children())
            if (!openCopy.isEmpty() &&
                QFileInfo(child->GetDocument()->GetPathName()).canonicalFilePath() == openCopy)
                why = LoadErrorText(str::kSplitTargetOpen);
        if (why.isEmpty()) why = writePageCopy(source, page, count, target);
        if (why.isEmpty() && (mode == u'C' || mode == u'X')) {
            CReportHandle copy(target, CReportHandle::OpenMode::OpenExisting,
                               CReportHandle::Access::Read);
            const QString base = target.chopped(4);
            if (!copy.IsOpen())
                why = LoadErrorText(copy.OpenStatus());
            else if (mode == u'C' && !SaveReportAsExcel(&copy, base + QStringLiteral(".xlsx"), 1))
                why = LoadErrorText(str::kCannotWriteWorkbookText).arg(shown(base + QStringLiteral(".xlsx")));
            else if (mode == u'X' &&
                     !WriteOwnXml(copy, base + QStringLiteral(".xml"), InitialExportSettings(&copy))
                          .written)
                why = LoadErrorText(str::kCannotWriteXml).arg(shown(base + QStringLiteral(".xml")));
        }
        if (!why.isEmpty()) {
            tellUser(LoadErrorText(str::kSplitPageNotWritten).arg(shown(path)).arg(page).arg(shown(target), why));
            return false;
        }
    }
    if (m_fileManager) m_fileManager->Refresh();
    if (m_status) m_status->showMessage(LoadErrorText(str::kSplitDone).arg(count).arg(shown(SplitFolder())));
    return true;
}

}  // namespace qor::frames
