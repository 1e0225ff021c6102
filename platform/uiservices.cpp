#include "platform/uiservices.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QStringList>

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcUi, "qor.ui")

QString logLine(const QString& caption, const QString& text) {
    return caption.isEmpty() ? text : caption + QLatin1String(": ") + text;
}

bool offers(MsgButtons buttons, MsgAnswer a) {
    switch (buttons) {
        case MsgButtons::Ok:
            return a == MsgAnswer::Ok;
        case MsgButtons::OkCancel:
            return a == MsgAnswer::Ok || a == MsgAnswer::Cancel;
        case MsgButtons::YesNo:
            return a == MsgAnswer::Yes || a == MsgAnswer::No;
        case MsgButtons::YesNoCancel:
            return a == MsgAnswer::Yes || a == MsgAnswer::No || a == MsgAnswer::Cancel;
        case MsgButtons::RetryCancel:
            return a == MsgAnswer::Retry || a == MsgAnswer::Cancel;
    }
    return false;
}

MsgAnswer firstButton(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
            return MsgAnswer::Yes;
        case MsgButtons::RetryCancel:
            return MsgAnswer::Retry;
    }
    return MsgAnswer::Ok;
}

MsgAnswer headlessMessageBox(const MessageRequest& r) {
    // A caller may leave the default at Ok for a Yes/No box; answering a
    // button the box does not have would match none of the caller's
    // branches, so take the box's first button as a dialog's Enter would.
    const MsgAnswer answer =
        offers(r.buttons, r.defaultAnswer) ? r.defaultAnswer : firstButton(r.buttons);
    if (r.icon == MsgIcon::Warning || r.icon == MsgIcon::Error)
        qCWarning(lcUi).noquote() << logLine(r.caption, r.text);
    else
        qCInfo(lcUi).noquote() << logLine(r.caption, r.text);
    return answer;
}

UiServices withDefaults(const UiServices& s) {
    const UiServices h = headlessUiServices();
    UiServices out = s;
    if (!out.messageBox) out.messageBox = h.messageBox;
    if (!out.promptText) out.promptText = h.promptText;
    if (!out.promptNumber) out.promptNumber = h.promptNumber;
    if (!out.chooseFile) out.chooseFile = h.chooseFile;
    if (!out.chooseFiles) out.chooseFiles = h.chooseFiles;
    if (!out.stopRequested) out.stopRequested = h.stopRequested;
    if (!out.printDialog) out.printDialog = h.printDialog;
    if (!out.filePassword) out.filePassword = h.filePassword;
    if (!out.openInDesktop) out.openInDesktop = h.openInDesktop;
    return out;
}

QMutex& lock() {
    static QMutex m;
    return m;
}

UiServices& current() {
    static UiServices s = headlessUiServices();
    return s;
}

// Hooks are copied out under the lock and called outside it, so a hook may
// itself install hooks or ask another question.
template <class F>
F hook(F UiServices::*member) {
    QMutexLocker l(&lock());
    return current().*member;
}

}  // namespace

UiServices headlessUiServices() {
    UiServices s;
    s.messageBox = headlessMessageBox;
    s.promptText = [](const TextPrompt& p) -> std::optional<QString> {
        qCInfo(lcUi).noquote() << "prompt cancelled:" << logLine(p.caption, p.label);
        return std::nullopt;
    };
    s.promptNumber = [](const NumberPrompt& p) -> std::optional<double> {
        qCInfo(lcUi).noquote() << "prompt cancelled:" << logLine(p.caption, p.label);
        return std::nullopt;
    };
    s.chooseFile = [](const FilePrompt& p) -> std::optional<QString> {
        qCInfo(lcUi).noquote() << "file choice cancelled:" << p.caption;
        return std::nullopt;
    };
    s.chooseFiles = [](const FilePrompt& p) -> std::optional<QStringList> {
        qCInfo(lcUi).noquote() << "file choice cancelled:" << p.caption;
        return std::nullopt;
    };
    s.stopRequested = [] { return false; };
    s.openInDesktop = [](const QString& path) {
        qCInfo(lcUi).noquote() << "not opened without a desktop:" << path;
        return false;
    };
    s.printDialog = [](const PrintRequest& r) -> std::optional<PrintRequest> {
        qCInfo(lcUi).noquote() << "print dialog accepted with its defaults";
        return r;
    };
    s.filePassword = [](const QString& path) -> std::optional<QString> {
        TextPrompt prompt;
        prompt.caption = QStringLiteral("文件口令");
        prompt.label = QFileInfo(path).fileName();
        prompt.password = true;
        prompt.maxLength = 100;
        return promptText(prompt);
    };
    return s;
}

const UiServices& uiServices() {
    QMutexLocker l(&lock());
    return current();
}

UiServices installUiServices(const UiServices& services) {
    UiServices filled = withDefaults(services);
    QMutexLocker l(&lock());
    UiServices previous = current();
    current() = std::move(filled);
    return previous;
}

MsgAnswer messageBox(const QString& text, const QString& caption, MsgButtons buttons, MsgIcon icon,
                     MsgAnswer defaultAnswer) {
    MessageRequest r;
    r.text = text;
    r.caption = caption;
    r.buttons = buttons;
    r.icon = icon;
    r.defaultAnswer = defaultAnswer;
    return hook(&UiServices::messageBox)(r);
}

bool askYesNo(const QString& text, const QString& caption, bool defaultYes) {
    return messageBox(text, caption, MsgButtons::YesNo, MsgIcon::Question,
                      defaultYes ? MsgAnswer::Yes : MsgAnswer::No) == MsgAnswer::Yes;
}

std::optional<QString> promptText(const TextPrompt& prompt) {
    return hook(&UiServices::promptText)(prompt);
}

std::optional<double> promptNumber(const NumberPrompt& prompt) {
    return hook(&UiServices::promptNumber)(prompt);
}

std::optional<QString> chooseFile(const FilePrompt& prompt) {
    return hook(&UiServices::chooseFile)(prompt);
}

QString QtFileFilter(const QString& systemFilter) {
    const QStringList parts = systemFilter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (label.isEmpty() || patterns.isEmpty()) break;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << label + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QStringList> chooseFiles(const FilePrompt& prompt) {
    return hook(&UiServices::chooseFiles)(prompt);
}

bool stopRequested() { return hook(&UiServices::stopRequested)(); }

std::optional<PrintRequest> printDialog(const PrintRequest& request) {
    return hook(&UiServices::printDialog)(request);
}

std::optional<QString> askFilePassword(const QString& path) {
    return hook(&UiServices::filePassword)(path);
}

bool openInDesktop(const QString& path) { return hook(&UiServices::openInDesktop)(path); }

}  // namespace qor
