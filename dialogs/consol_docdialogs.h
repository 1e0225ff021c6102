#pragma once
// The consolidation wizards as the document's commands run them. The
// desktop composes its dialogs from layers like this one: each layer
// answers its own dialogs and leaves the rest to the layer below, e.g.
//   ConsolDocDialogsT<OtherDialogsT<qor::IDocDialogs>>.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "document/cmd_dialogs.h"

namespace qor {

// Runs a wizard modally with the preset members: into this report, by
// position, as the consolidation commands start it. The members after
// Finish; nothing after Cancel.
std::optional<TabHuiZongWizardMembers> RunTabHuiZongWizard(const TabHuiZongWizardMembers& preset,
                                                           QWidget* parent = nullptr);
std::optional<VHuiZongWizardMembers> RunVHuiZongWizard(const VHuiZongWizardMembers& preset,
                                                       QWidget* parent = nullptr);

template <class Base = IDocDialogs>
class ConsolDocDialogsT : public Base {
public:
    using Base::Base;
    bool Provides(int t) const override { return t == 496 || t == 501 || Base::Provides(t); }

    // The window the wizards belong to (null: none).
    void SetConsolParent(QWidget* parent) { m_consolParent = parent; }

    std::optional<TabHuiZongWizardMembers> TabHuiZongWizard(
        const TabHuiZongWizardMembers& m) override {
        return RunTabHuiZongWizard(m, m_consolParent);
    }
    std::optional<VHuiZongWizardMembers> VHuiZongWizard(const VHuiZongWizardMembers& m) override {
        return RunVHuiZongWizard(m, m_consolParent);
    }

private:
    QPointer<QWidget> m_consolParent;
};

using ConsolDocDialogs = ConsolDocDialogsT<>;

// Installs the consolidation wizards (on the headless answers for every
// other dialog) as the document's dialogs; returns the ones installed
// before (null: the headless ones).
IDocDialogs* InstallConsolDocDialogs(QWidget* parent = nullptr);

}  // namespace qor
