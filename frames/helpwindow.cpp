#include "frames/helpwindow.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "engine/messages.h"

// The guides live in this static library's resources, which the linker
// drops unless something names them.
static void initHelpResources() { Q_INIT_RESOURCE(help); }

namespace qor::frames {

namespace {

QPointer<CHelpWindow>& current() {
    static QPointer<CHelpWindow> window;
    return window;
}

}  // namespace

// The desktop guide in the language every menu and dialog speaks.
QUrl CHelpWindow::UserGuide() {
    return QUrl(QStringLiteral("qrc:/qor/help/docs/qorview.zh-CN.md"));
}

QUrl CHelpWindow::CommandLanguageGuide() {
    return QUrl(QStringLiteral("qrc:/qor/help/docs/command-language.md"));
}

CHelpWindow* CHelpWindow::Current() { return current().data(); }

bool CHelpWindow::Show(const QUrl& document) {
    if (!current()) {
        current() = new CHelpWindow;
        current()->setAttribute(Qt::WA_DeleteOnClose);
    }
    CHelpWindow* w = current();
    if (!w->Load(document)) return false;
    w->show();
    w->showStart();
    w->raise();
    w->activateWindow();
    return true;
}

CHelpWindow::CHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(LoadErrorText(str::kHelpWindowTitle) + QStringLiteral(" - ") +
                   LoadErrorText(str::kAppTitle));
    m_browser = new QTextBrowser(this);
    // Links between the guides stay inside; a web address goes to the
    // desktop only when the user follows it.
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    QSize size(820, 640);
    if (const QScreen* screen = QApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    resize(size);
    // Esc closes the guide, as it closes the program's other windows and
    // dialogs; the browser itself has no use for the key.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

bool CHelpWindow::Load(const QUrl& document) {
    static const bool loaded = (initHelpResources(), true);
    (void)loaded;
    const QString path = QLatin1Char(':') + document.path();
    if (!QFile::exists(path)) return false;
    m_browser->setSource(document, QTextDocument::MarkdownResource);
    showStart();
    return true;
}

void CHelpWindow::showStart() {
    // A guide opens at its title, whatever was shown before.
    m_browser->moveCursor(QTextCursor::Start);
    m_browser->ensureCursorVisible();
}

}  // namespace qor::frames
