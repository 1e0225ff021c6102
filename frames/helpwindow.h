#pragma once
// The program's own help: the user guide and the command-language guide,
// built into the program and shown in a window of its own, so help never
// depends on a browser being installed.

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace qor::frames {

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    // The guides as the program carries them.
    static QUrl UserGuide();
    static QUrl CommandLanguageGuide();
    // Shows the one help window with the document (a guide's address),
    // creating it on first use. False when the program carries no such
    // document.
    static bool Show(const QUrl& document);
    // The window while it is open (null otherwise).
    static CHelpWindow* Current();

    explicit CHelpWindow(QWidget* parent = nullptr);
    bool Load(const QUrl& document);
    QTextBrowser* Browser() const { return m_browser; }

private:
    // Brings the document's title into view.
    void showStart();

    QTextBrowser* m_browser = nullptr;
};

}  // namespace qor::frames
