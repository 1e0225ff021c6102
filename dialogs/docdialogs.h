#pragma once
// The dialogs of the document's commands, registered with the dialog
// registry (document/dialogregistry.h) by the desktop at start-up.

#include <QPointer>
#include <QWidget>
#include <optional>
#include <type_traits>

#include "document/cmd_dialogs.h"
#include "document/dialogregistry.h"

namespace qor {

// A dialog handler that runs dialog class D, which derives from the members
// it is asked with, modally over parent: preset, and the members after OK.
template <class D>
auto ModalDialog(QWidget* parent) {
    return [parent = QPointer<QWidget>(parent)](const auto& preset) {
        using M = std::decay_t<decltype(preset)>;
        D dlg(parent);
        static_cast<M&>(dlg) = preset;
        if (dlg.DoModal() != kIdOk) return std::optional<M>();
        return std::optional<M>(static_cast<const M&>(dlg));
    };
}

// A dialog handler that runs f(members, parent), for a dialog that is not
// simply its members (an extra setting, a result read from its buttons).
template <class M>
DialogHandler<M> DialogFunction(std::optional<M> (*f)(const M&, QWidget*), QWidget* parent) {
    return [f, p = QPointer<QWidget>(parent)](const M& m) { return f(m, p); };
}

// Registers every dialog of the document's commands, each modal over
// parent, and routes the documents' format-password question to its dialog.
void RegisterDocumentDialogs(QWidget* parent);

}  // namespace qor
