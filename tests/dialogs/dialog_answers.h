#pragma once
// How the dialog tests stand in for the user: ModalAnswer plays the user
// inside every dialog DoModal opens; RegisteredDialogs puts the desktop's
// real dialogs behind the document's commands, so a test reaches them the
// way the program does.

#include <functional>
#include <utility>

#include "dialogs/cqordialog.h"
#include "dialogs/docdialogs.h"
#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"

namespace qortest {

// Answers every dialog DoModal opens while it lives.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(CQorDialog&)> body)
        : m_previous(CQorDialog::SetModalHook(std::move(body))) {}
    ~ModalAnswer() { CQorDialog::SetModalHook(m_previous); }
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

private:
    CQorDialog::ModalHook m_previous;
};

// The document's dialogs as the desktop registers them (no parent) while it
// lives; the registrations and the format-password question before it come
// back after.
class RegisteredDialogs {
public:
    RegisteredDialogs() : m_prompt(CQorsDoc::SetFormatPasswordPrompt({})) {
        qor::RegisterDocumentDialogs(nullptr);
    }
    ~RegisteredDialogs() { CQorsDoc::SetFormatPasswordPrompt(std::move(m_prompt)); }
    RegisteredDialogs(const RegisteredDialogs&) = delete;
    RegisteredDialogs& operator=(const RegisteredDialogs&) = delete;

private:
    qor::ScopedDialogRegistry m_saved;
    CQorsDoc::FormatPasswordPrompt m_prompt;
};

}  // namespace qortest
