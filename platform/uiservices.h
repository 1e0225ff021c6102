#pragma once
// Hooks through which headless code asks the user something. The desktop
// application installs real dialogs; the defaults answer as a script
// would: message boxes are logged and give their default button, prompts
// are cancelled, yes/no questions answer their default.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qor {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct MessageRequest {
    QString text;
    QString caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    MsgAnswer defaultAnswer = MsgAnswer::Ok;  // what a script answers
};

struct TextPrompt {
    QString caption;
    QString label;
    QString initial;
    bool password = false;  // echo hidden
    int maxLength = 0;      // 0 = no limit
};

struct NumberPrompt {
    QString caption;
    QString label;
    double initial = 0;
    double minimum = -1e300;
    double maximum = 1e300;
    int decimals = 0;
};

struct FilePrompt {
    QString caption;
    QString directory;
    QString filter;  // "Reports (*.rep);;All (*)"
    bool save = false;
    // The desktop's file dialog mode (open 0, run 1, save a report 3,
    // open own XML 4, save replacing 5, ...); -1 takes 0 to open and 5 to
    // save.
    int mode = -1;
    // An open choice that also takes the name of a file not there yet
    // (a report the caller is about to create); a name typed without an
    // extension gets the filter's.
    bool mayBeNew = false;
};

// The print dialog. The caller fills what it knows (the system's dialog
// flags, the page range); the dialog gives the user's choice back.
struct PrintRequest {
    quint32 flags = 0;       // the system's print-dialog flags, kept for the caller
    bool setupOnly = false;  // printer setup: no page range or copies
    int fromPage = 1;
    int toPage = 1;
    int minPage = 1;
    int maxPage = 0xFFFF;
    int copies = 1;
    bool allPages = true;  // false: only fromPage..toPage
    QString printerName;   // empty: the default printer
    QString outputFile;    // non-empty: print into this file (PDF)
};

struct UiServices {
    std::function<MsgAnswer(const MessageRequest&)> messageBox;
    std::function<std::optional<QString>(const TextPrompt&)> promptText;
    std::function<std::optional<double>(const NumberPrompt&)> promptNumber;
    std::function<std::optional<QString>(const FilePrompt&)> chooseFile;
    // Several existing files at once (never a save); headless: cancelled.
    std::function<std::optional<QStringList>(const FilePrompt&)> chooseFiles;
    // True when the user asked to stop a long run (Esc in the window).
    std::function<bool()> stopRequested;
    // Nothing when the user cancelled. Headless: accepted as given, so a
    // script prints with the defaults.
    std::function<std::optional<PrintRequest>(const PrintRequest&)> printDialog;
    // The password of a protected report file before it opens; nothing
    // when the user cancelled. Default: the text prompt, hidden echo, at
    // most 100 characters, with the file's name as its label.
    std::function<std::optional<QString>(const QString& path)> filePassword;
    // Opens a file in the desktop's program for its type; false when
    // nothing could open it. Headless: false.
    std::function<bool(const QString& path)> openInDesktop;
};

// The hooks now installed (never empty: unset members use the defaults).
const UiServices& uiServices();
// Installs hooks; members left empty keep the headless defaults. Returns
// the previous set so tests can restore it.
UiServices installUiServices(const UiServices& services);
UiServices headlessUiServices();

// Shortcuts.
MsgAnswer messageBox(const QString& text, const QString& caption = QString(),
                     MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                     MsgAnswer defaultAnswer = MsgAnswer::Ok);
bool askYesNo(const QString& text, const QString& caption = QString(), bool defaultYes = false);
std::optional<QString> promptText(const TextPrompt& prompt);
std::optional<double> promptNumber(const NumberPrompt& prompt);
std::optional<QString> chooseFile(const FilePrompt& prompt);
std::optional<QStringList> chooseFiles(const FilePrompt& prompt);
bool stopRequested();
std::optional<PrintRequest> printDialog(const PrintRequest& request);
std::optional<QString> askFilePassword(const QString& path);
bool openInDesktop(const QString& path);

// The system's file-type filter ("Text (*.txt)|*.txt|Scripts|*.shl||") in
// the form FilePrompt::filter takes ("Text (*.txt) (*.txt);;Scripts
// (*.shl)"); blanks around the patterns are dropped and a label without
// its patterns ends the list.
QString QtFileFilter(const QString& systemFilter);

}  // namespace qor
