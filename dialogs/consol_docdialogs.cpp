#include "dialogs/consol_docdialogs.h"

#include "dialogs/ctabhuizongwizardsheet.h"
#include "dialogs/cvhuizongwizardsheet.h"

namespace qor {

std::optional<TabHuiZongWizardMembers> RunTabHuiZongWizard(const TabHuiZongWizardMembers& preset,
                                                           QWidget* parent) {
    CTabHuiZongWizardSheet sheet(QString(), parent, 0);
    static_cast<TabHuiZongWizardMembers&>(sheet) = preset;
    sheet.AddWizardPages();
    sheet.toNewReport = 0;
    sheet.byPosition = 1;
    if (sheet.DoModal() != CTabHuiZongWizardSheet::ID_WIZFINISH) return std::nullopt;
    return static_cast<const TabHuiZongWizardMembers&>(sheet);
}

std::optional<VHuiZongWizardMembers> RunVHuiZongWizard(const VHuiZongWizardMembers& preset,
                                                       QWidget* parent) {
    CVHuiZongWizardSheet sheet(parent);
    static_cast<VHuiZongWizardMembers&>(sheet) = preset;
    sheet.AddWizardPages();
    if (sheet.DoModal() != CVHuiZongWizardSheet::ID_WIZFINISH) return std::nullopt;
    return static_cast<const VHuiZongWizardMembers&>(sheet);
}

IDocDialogs* InstallConsolDocDialogs(QWidget* parent) {
    static ConsolDocDialogs dialogs;
    dialogs.SetConsolParent(parent);
    return SetDocDialogs(&dialogs);
}

}  // namespace qor
