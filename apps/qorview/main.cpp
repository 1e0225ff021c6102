// qorview: the desktop application. A main window over one report; the
// same start-up wiring as the command-line host, plus the interpreter's
// links to the document and the dialogs.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "apps/qorview/mainwindow.h"
#include "apps/qorview/widgetui.h"
#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "dialogs/consol_docdialogs.h"
#include "dialogs/cpastespecialdlg.h"
#include "dialogs/csetpagenodlg.h"
#include "dialogs/defineformula_docdialogs.h"
#include "dialogs/password_docdialogs.h"
#include "dialogs/password_dlgs.h"
#include "dialogs/rowcolpage_docdialogs.h"
#include "dialogs/viewsettings_viewdialogs.h"
#include "dialogs/exportsetrunner.h"
#include "document/doc_interpreter.h"
#include "platform/automation.h"
#include "reader/builtincomponents.h"
#include "reader/readermodule.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qorview"));

    QStringList args = app.arguments().mid(1);
    // Loads, lets the window settle once and exits: 0 when the report was
    // opened, 1 when not. No dialog is shown, so nothing waits for a user.
    const bool quitAfterLoad = args.removeAll(QStringLiteral("--quit-after-load")) > 0;
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith('-'))) {
        std::fputs("usage: qorview [FILE.rep] [--quit-after-load]\n", stderr);
        return 2;
    }

    try {
        qor::RegisterBuiltinComponents();
        qor::RegisterReaderModule();
    } catch (const qor::AutoError& e) {
        std::fprintf(stderr, "qorview: warning: %s\n", qPrintable(e.text()));
    }
    qor::cmd::InstallEngineHooks();
    qor::cmd::InstallInterpreterHooks();
    qor::doc::InstallInterpreterLinks();
    if (!quitAfterLoad) qor::app::InstallWidgetUiServices();

    qor::app::MainWindow window;
    qor::dlg::InstallExportSetDialog();
    // The dialogs the document runs, one layer each over the headless
    // answers of the dialogs not built yet.
    static qor::ImportDocDialogsT<qor::DefineFormulaDocDialogsT<qor::ConsolDocDialogsT<
        qor::PasswordDocDialogsT<qor::RowColPageDocDialogsT<>>>>>
        docDialogs;
    docDialogs.SetImportParent(&window);
    docDialogs.SetConsolParent(&window);
    docDialogs.SetDefineFormulaParent(&window);
    docDialogs.SetPasswordParent(&window);
    docDialogs.SetRowColPageParent(&window);
    qor::SetDocDialogs(&docDialogs);
    // The document asks for the format password through its dialog.
    qor::UseFormatPasswordDlg();
    // A protected report asks for its password in its own dialog.
    if (!quitAfterLoad) qor::InstallFilePasswordDlg(&window);
    qor::InstallViewSettingsDialogs(&window);
    qor::InstallPasteSpecialDlg(&window);

    const bool loaded = args.isEmpty() || window.openFile(args.first());
    window.show();
    if (quitAfterLoad) {
        QCoreApplication::processEvents();
        return loaded ? 0 : 1;
    }
    return app.exec();
}
