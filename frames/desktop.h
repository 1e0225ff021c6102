#pragma once
// The desktop application put together: every hook, converter, dialog
// and translation installed, and the main window made. The program's main
// and the tests that look at the whole window go through the same door.

#include <QString>
#include <memory>

namespace qor::frames {

class CMainFrame;

struct DesktopOptions {
    // Real Qt message boxes and file dialogs (a run that loads and leaves
    // keeps the headless answers, so nothing waits for a user).
    bool widgetDialogs = true;
    // Qt's own dialogs in Chinese when the translation is installed.
    bool chineseQt = true;
    // The document's dialogs (sheet choice, passwords, row and column
    // counts...). A run that loads and leaves answers them as a script.
    bool documentDialogs = true;
};

// Installs what the desktop needs (once per process) and makes the main
// window; the caller shows it.
std::unique_ptr<CMainFrame> SetUpDesktop(const DesktopOptions& options = {});

// The start-up pause of an interactive run: the window maximised after a
// moment, the host login told, the tip of the day offered.
void StartUpPause(CMainFrame* frame);

// Loads Qt's zh_CN translation from Qt's translations folder. False (Qt
// stays in English, nothing else changes) when the file is missing.
bool InstallChineseQtTranslation();
// The same from another folder.
bool InstallChineseQtTranslation(const QString& folder);

}  // namespace qor::frames
