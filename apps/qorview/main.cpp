// qorview: the desktop application. Everything is put together by the
// frames library; this only reads the command line.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/desktop.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed: it works over ssh.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("qorview %s\n", QOR_VERSION_TEXT);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qorview"));

    QStringList args = app.arguments().mid(1);
    // Loads, lets the window settle once and exits: 0 when the report was
    // opened, 1 when not. No dialog is shown, so nothing waits for a user.
    const bool quitAfterLoad = args.removeAll(QStringLiteral("--quit-after-load")) > 0;
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith('-'))) {
        std::fputs(
            "usage: qorview [FILE.rep|FILE.xlsx|FILE.xml] [--quit-after-load] | qorview --version\n",
            stderr);
        return 2;
    }

    qor::frames::DesktopOptions options;
    options.widgetDialogs = !quitAfterLoad;
    options.documentDialogs = !quitAfterLoad;
    std::unique_ptr<qor::frames::CMainFrame> window = qor::frames::SetUpDesktop(options);

    bool loaded = true;
    if (args.isEmpty())
        loaded = window->NewDocument() != nullptr;
    else
        loaded = window->OpenDocumentFile(args.first()) != nullptr;
    window->show();
    if (quitAfterLoad) {
        QCoreApplication::processEvents();
        // Leaving without the exit question: nothing was changed.
        const int code = loaded ? 0 : 1;
        window.reset();
        return code;
    }
    qor::frames::StartUpPause(window.get());
    return app.exec();
}
