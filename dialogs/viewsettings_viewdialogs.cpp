#include "dialogs/viewsettings_viewdialogs.h"

#include "dialogs/ccellattrdlg.h"
#include "dialogs/cpasteasdlg.h"
#include "dialogs/docdialogs.h"
#include "dialogs/small_dlgs.h"
#include "dialogs/viewsettings_dlgs.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "view/displaystyle.h"
#include "view/view_commands.h"

namespace qor {

namespace {

std::optional<view::CellAttrRequest> cellAttr(const view::CellAttrRequest& r, QWidget* parent) {
    CCellAttrDlg dlg(LoadErrorText(str::kCellAttributes), parent, 0);
    dlg.SetMembers(r.members);
    dlg.RemovePages(r.removeMask);
    if (dlg.DoModal() != kIdOk) return std::nullopt;
    return view::CellAttrRequest{dlg.GetMembers(), r.removeMask};
}

std::optional<view::ObjectLookDlgMembers> objectLook(const view::ObjectLookDlgMembers& m,
                                                     QWidget* parent) {
    CObjectLookDlg dlg(parent);
    dlg.m_bBorder = m.border;
    dlg.m_bTransparent = m.transparent;
    if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
    view::ObjectLookDlgMembers out = m;
    out.border = dlg.m_bBorder;
    out.transparent = dlg.m_bTransparent;
    return out;
}

std::optional<view::ObjectPropDlgMembers> objectProp(const view::ObjectPropDlgMembers& m,
                                                     QWidget* parent) {
    CObjectPropDlg dlg(parent);
    dlg.m_strName = m.name;
    dlg.m_strArea = m.area;
    dlg.m_nScale = m.scale;
    dlg.m_nMinScale = m.minScale;
    dlg.m_nMaxScale = m.maxScale;
    dlg.m_bRelative = m.relative;
    if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
    view::ObjectPropDlgMembers out = m;
    out.scale = dlg.m_nScale;
    out.relative = dlg.m_bRelative;
    out.changed = dlg.m_bChanged;
    return out;
}

}  // namespace

void RegisterViewDialogs(QWidget* parent) {
    Register<view::ZoomDlgMembers>(ModalDialog<CZoomDlg>(parent));
    Register<view::DisplayStyleDlgMembers>(ModalDialog<CDisplayStyleDlg>(parent));
    Register<view::CellAttrRequest>(DialogFunction(&cellAttr, parent));
    Register<view::ObjectLookDlgMembers>(DialogFunction(&objectLook, parent));
    Register<view::ObjectPropDlgMembers>(DialogFunction(&objectProp, parent));
    Register<clip::PasteSpecialMembers>(ModalDialog<CPasteSpecialDlg>(parent));
}

std::optional<int> RunCurrencySymbolDlg(QWidget* parent) {
    CCurrencySymbolDlg dlg(parent);
    dlg.m_nIndex = CurrencySymbolIndex();
    if (dlg.DoModal() != kIdOk || dlg.m_nIndex < 0) return std::nullopt;
    SetCurrencySymbolIndex(dlg.m_nIndex);
    return dlg.m_nIndex;
}

}  // namespace qor
