#include "frames/desktop.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <cstdio>

#include "chartui/chartui.h"
#include "chartui/cobjectpropsdlg.h"
#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/csetpagenodlg.h"
#include "dialogs/docdialogs.h"
#include "dialogs/exchange_dlgs.h"
#include "dialogs/exportsetrunner.h"
#include "dialogs/input_dlgs.h"
#include "dialogs/password_dlgs.h"
#include "dialogs/pivot_dlgs.h"
#include "dialogs/small_dlgs.h"
#include "dialogs/template_dlgs.h"
#include "dialogs/tooldialogs.h"
#include "dialogs/viewsettings_viewdialogs.h"
#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/startup.h"
#include "fininterface/consolcommands.h"
#include "fininterface/consolexchange.h"
#include "fininterface/ledgerdrill.h"
#include "finui/auditmappingdlg.h"
#include "finui/indicatordlg.h"
#include "finui/ledgerwindow.h"
#include "finui/mailtransfer.h"
#include "frames/cchildframe.h"
#include "frames/cfilemanagerbar.h"
#include "frames/chyperlink.h"
#include "frames/cmainframe.h"
#include "frames/commandicons.h"
#include "frames/cqorfm.h"
#include "frames/csplashtimerwnd.h"
#include "frames/inplacesession.h"
#include "frames/widgetui.h"
#include "platform/automation.h"
#include "reader/cappenvironment.h"
#include "reader/dispatchdrivers.h"
#include "view/serveritems.h"

namespace qor::frames {

namespace {

void installOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    StartOptions options;
    // Cells may call the host's ledger functions; its services answer them.
    options.isServiceFunction = &ledger::IsLedgerFunctionName;
    options.interpreter = true;
    options.installMore = [] {
        dlg::InstallExportSetDialog();
        // Client reports are checked before a save and send their upload files.
        InstallConsolExchange();
    };
    for (const QString& warning : StartUp(options))
        std::fprintf(stderr, "qorview: warning: %s\n", qPrintable(warning));
}

}  // namespace

void StartUpPause(CMainFrame* frame) {
    static CLoginDriver login;
    QObject* host = CAppEnvironment::Instance().GetLoginObject();
    if (host) login.AttachDispatch(host);
    new CSplashTimerWnd(frame, host ? &login : nullptr);
}

bool InstallChineseQtTranslation() {
    return InstallChineseQtTranslation(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool InstallChineseQtTranslation(const QString& folder) {
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto* t = new QTranslator(qApp);
    if (!t->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    // What Qt takes from the locale rather than from its translation (the
    // file dialog's file types and dates) speaks the same language.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    return true;
}

std::unique_ptr<CMainFrame> SetUpDesktop(const DesktopOptions& options) {
    if (options.chineseQt) InstallChineseQtTranslation();
    installOnce();
    if (options.widgetDialogs) InstallWidgetUiServices();
    // Every window of the program, dialogs included, shows our picture.
    QApplication::setWindowIcon(ApplicationIcon());

    auto frame = std::make_unique<CMainFrame>();
    CMainFrame* main = frame.get();
    if (options.documentDialogs) {
        // The document's dialogs, the sheet choice of a workbook included,
        // belong to the main window.
        RegisterDocumentDialogs(main);
        RegisterAuditDialogs(main);
    }
    // BROWSE shows its pivot in the main window.
    InstallPivotDialog(main);
    RegisterViewDialogs(main);
    InstallChartUi(main);
    InstallObjectPropsDlg(main);
    qor::view::InstallReportViewer();
    // A double click on an embedded report edits it where it is shown.
    CInPlaceSession::Install();
    // The data-interface program of the view, its file links our hyperlinks.
    CDataIfaceDlg::SetFileLinkFactory(
        {[](QWidget* parent) -> QLabel* { return new CHyperLink(QString(), parent); },
         [](QLabel* label, const QString& path, const QString& tip) {
             auto* link = static_cast<CHyperLink*>(label);
             link->setText(path);
             link->SetURL(path);
             link->SetTipText(tip);
         }});
    InstallDataIfaceDlg();
    // 联查明细账 from a cell with ledger calls, shown in our ledger window
    // unless the host's component is installed.
    qor::ledger::InstallLedgerDrill();
    qor::ledger::InstallLedgerWindow(main);
    // MAIL in the command window opens the transfer windows.
    qor::mail::InstallMailCommand(main);
    // A protected report asks for its password in its own dialog.
    if (options.widgetDialogs) InstallFilePasswordDlg(main);
    // GETINT and GETSTR ask in their own dialogs, and a failed line of a
    // batch file asks whether to go on.
    if (options.widgetDialogs) InstallInputDialogs(main);
    // The HTML export asks before replacing a page file.
    if (options.widgetDialogs) InstallOverwriteAskDialog(main);
    // LIST MEMORY lists in its own dialog; the tip of the day at start-up.
    if (options.widgetDialogs) InstallSmallDialogs(main);
    // 导入, 自定义菜单, 常用批命令, 系统信息 and the formula log.
    main->AddCommandTarget(std::make_shared<ToolDialogsTarget>(main));

    // The command language opens and makes reports in the main window.
    CAppEnvironment::DocumentHooks hooks;
    hooks.findOpen = [main](const QString& path) -> CQorsDoc* {
        const QString wanted = QFileInfo(path).canonicalFilePath();
        for (CChildFrame* child : main->Children()) {
            const QString open = child->GetDocument()->GetPathName();
            if (!wanted.isEmpty() && !open.isEmpty() &&
                QFileInfo(open).canonicalFilePath() == wanted)
                return child->GetDocument();
        }
        return nullptr;
    };
    hooks.open = [main](const QString& path) -> CQorsDoc* {
        CChildFrame* child = main->OpenDocumentFile(path);
        return child ? child->GetDocument() : nullptr;
    };
    hooks.create = [main]() -> CQorsDoc* {
        CChildFrame* child = main->NewDocument();
        return child ? child->GetDocument() : nullptr;
    };
    CAppEnvironment::Instance().SetDocumentHooks(std::move(hooks));
    // MENU loads a user menu into this window (or returns to the standard
    // menu); once the window is gone it answers as the headless program.
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    qor::cmd::CalcSubsystemHooks subsystems = ci.SubsystemHooks();
    subsystems.loadMenu = [window = QPointer<CMainFrame>(main)](const QString& file,
                                                                QString* error) {
        if (!window) {
            if (error) *error = QStringLiteral("MENU: no main window");
            return false;
        }
        return window->LoadMenuFile(file, error);
    };
    ci.SetSubsystemHooks(std::move(subsystems));

    // 文件 › 合并报表客户端.
    auto consol = std::make_shared<consol::ConsolCommands>(
        [main] {
            QList<CQorsDoc*> docs;
            for (CChildFrame* child : main->Children()) docs << child->GetDocument();
            return docs;
        },
        [window = QPointer<QWidget>(main)] { return window ? qint32(window->winId()) : qint32(0); });
    consol->SetAfterDownload([main] {
        // The file manager shows what came down (when its control is there).
        if (CFileManagerBar* bar = main->CreateFileManagerBar()) bar->Refresh();
    });
    main->AddCommandTarget(consol);
    // 文件管理器: its control, its context menu, and the client's files it
    // opens and takes in.
    InstallFileManager(main);
    main->SetClientFileOpener([consol](const QString& path) { return consol->OpenClientFile(path); });
    CQORFM::SetDownloadHandler([consol] { return consol->TakeInDownloads(); });
    return frame;
}

}  // namespace qor::frames
