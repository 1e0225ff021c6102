#include "document/cmd_dialogs.h"

#include "document/cqorsdoc.h"

namespace qor {

void UseFormatPasswordDlg() {
    CQorsDoc::SetFormatPasswordPrompt([]() -> std::optional<QString> {
        const std::optional<FormatPasswordDlgMembers> m = Ask(FormatPasswordDlgMembers{});
        if (!m) return std::nullopt;
        return m->typed;
    });
}

}  // namespace qor
