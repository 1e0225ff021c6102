// qorview: the desktop application. Everything is put together by the
// frames library; this only reads the command line.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/messages.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/desktop.h"

namespace {

void print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

bool set(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window exists: a terminal without a display
    // still gets the usage and the version, never the platform's abort.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            print(stdout, LoadErrorText(qor::str::kViewerUsage));
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            print(stdout, QStringLiteral("qorview " QOR_VERSION_TEXT));
            return 0;
        }
    }
    // Without a display and without a chosen platform Qt would abort with a
    // page of plugin names; one line says how to get a display instead.
    if (!set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
        print(stderr, LoadErrorText(qor::str::kViewerNoDisplay));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qorview"));

    QStringList args = app.arguments().mid(1);
    // Loads, lets the window settle once and exits: 0 when the report was
    // opened, 1 when not. No dialog is shown, so nothing waits for a user.
    const bool quitAfterLoad = args.removeAll(QStringLiteral("--quit-after-load")) > 0;
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith('-'))) {
        print(stderr, LoadErrorText(qor::str::kViewerUsage));
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
