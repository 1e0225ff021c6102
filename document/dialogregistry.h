#pragma once
// The dialogs the document's commands ask, one per members type. A window
// layer registers a handler for a members type at start-up; a command
// presets the members, asks, and applies what comes back. Without a handler
// the answer is "cancelled" (nothing shown), so the document runs and is
// tested headless, and the commands that need a dialog stay off.
//
// Adding a dialog: its members struct (document/cmd_dialogs.h), its dialog
// class, and one Register line in dialogs/docdialogs.cpp.

#include <any>
#include <functional>
#include <optional>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>
#include <utility>

namespace qor {

// Shows the dialog preset with the members; the confirmed members, nothing
// after Cancel.
template <class M>
using DialogHandler = std::function<std::optional<M>(const M&)>;

namespace dialogregistry {

using Slots = std::unordered_map<std::type_index, std::any>;
// Every registered handler, by members type.
Slots& Registered();

template <class M>
DialogHandler<M>* Find() {
    const auto it = Registered().find(std::type_index(typeid(M)));
    return it == Registered().end() ? nullptr : std::any_cast<DialogHandler<M>>(&it->second);
}

}  // namespace dialogregistry

// Makes handler the dialog of members type M (an empty one removes it);
// returns the handler registered before (empty: none).
template <class M>
DialogHandler<M> Register(DialogHandler<M> handler) {
    DialogHandler<M> previous;
    if (DialogHandler<M>* slot = dialogregistry::Find<M>()) previous = std::move(*slot);
    if (handler)
        dialogregistry::Registered()[std::type_index(typeid(M))] = std::move(handler);
    else
        dialogregistry::Registered().erase(std::type_index(typeid(M)));
    return previous;
}

// True when a dialog for members type M is registered.
template <class M>
bool HasDialog() {
    return dialogregistry::Find<M>() != nullptr;
}

// Runs the dialog of M preset with preset; nothing when it was cancelled or
// no dialog is registered. The handler is copied first, so a dialog may
// replace registrations while it runs.
template <class M>
std::optional<M> Ask(const M& preset) {
    const DialogHandler<M>* slot = dialogregistry::Find<M>();
    if (!slot) return std::nullopt;
    const DialogHandler<M> handler = *slot;
    return handler(preset);
}

// Registers a handler for M for its lifetime, then restores the one before.
template <class M>
class ScopedDialog {
public:
    explicit ScopedDialog(DialogHandler<M> handler) : m_previous(Register<M>(std::move(handler))) {}
    ~ScopedDialog() { Register<M>(std::move(m_previous)); }
    ScopedDialog(const ScopedDialog&) = delete;
    ScopedDialog& operator=(const ScopedDialog&) = delete;

private:
    DialogHandler<M> m_previous;
};

// Keeps every registration as it is on construction and puts them all back
// on destruction, whatever was registered or removed in between.
class ScopedDialogRegistry {
public:
    ScopedDialogRegistry() : m_saved(dialogregistry::Registered()) {}
    ~ScopedDialogRegistry() { dialogregistry::Registered() = std::move(m_saved); }
    ScopedDialogRegistry(const ScopedDialogRegistry&) = delete;
    ScopedDialogRegistry& operator=(const ScopedDialogRegistry&) = delete;

private:
    dialogregistry::Slots m_saved;
};

}  // namespace qor
