#include "document/cmd_dialogs.h"

#include "document/cqorsdoc.h"

namespace qor {

namespace {

IDocDialogs*& installed() {
    static IDocDialogs* dialogs = nullptr;
    return dialogs;
}

}  // namespace

IDocDialogs& DocDialogs() {
    static IDocDialogs headless;
    IDocDialogs* d = installed();
    return d ? *d : headless;
}

IDocDialogs* SetDocDialogs(IDocDialogs* dialogs) {
    IDocDialogs* old = installed();
    installed() = dialogs;
    return old;
}

void UseFormatPasswordDlg() {
    CQorsDoc::SetFormatPasswordPrompt([]() -> std::optional<QString> {
        const std::optional<FormatPasswordDlgMembers> m =
            DocDialogs().FormatPasswordDlg(FormatPasswordDlgMembers{});
        if (!m) return std::nullopt;
        return m->typed;
    });
}

}  // namespace qor
