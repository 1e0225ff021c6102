#include "dialogs/viewsettings_viewdialogs.h"

#include "dialogs/ccellattrdlg.h"
#include "dialogs/viewsettings_dlgs.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "view/view_commands.h"

namespace qor {

int ViewSettingsDialogs::RunZoomDlg(view::ZoomDlgMembers& members) {
    CZoomDlg dlg(m_parent);
    static_cast<view::ZoomDlgMembers&>(dlg) = members;
    const int result = dlg.DoModal();
    if (result == kIdOk) members = dlg;
    return result;
}

int ViewSettingsDialogs::RunDisplayStyleDlg(view::DisplayStyleDlgMembers& members) {
    CDisplayStyleDlg dlg(m_parent);
    static_cast<view::DisplayStyleDlgMembers&>(dlg) = members;
    const int result = dlg.DoModal();
    if (result == kIdOk) members = dlg;
    return result;
}

int ViewSettingsDialogs::RunCellAttrDlg(CellAttrMembers& members, int removeMask) {
    CCellAttrDlg dlg(LoadErrorText(viewcmd::kStrCellAttrCaption), m_parent, 0);
    dlg.SetMembers(members);
    dlg.RemovePages(removeMask);
    const int result = dlg.DoModal();
    if (result == kIdOk) members = dlg.GetMembers();
    return result;
}

view::IViewDialogs* InstallViewSettingsDialogs(QWidget* parent) {
    static ViewSettingsDialogs dialogs;
    dialogs.SetParent(parent);
    return view::InstallViewDialogs(&dialogs);
}

std::optional<int> RunCurrencySymbolDlg(QWidget* parent) {
    CCurrencySymbolDlg dlg(parent);
    dlg.m_nIndex = CurrencySymbolIndex();
    if (dlg.DoModal() != kIdOk || dlg.m_nIndex < 0) return std::nullopt;
    SetCurrencySymbolIndex(dlg.m_nIndex);
    return dlg.m_nIndex;
}

}  // namespace qor
