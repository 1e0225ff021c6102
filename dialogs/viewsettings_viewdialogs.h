#pragma once
// The sheet view's zoom and display style commands with the real dialogs,
// and the main frame's currency symbol setting.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "view/displaystyle.h"

namespace qor {

class ViewSettingsDialogs : public view::IViewDialogs {
public:
    void SetParent(QWidget* parent) { m_parent = parent; }
    bool Provides(int templateId) const override {
        return templateId == 364 || templateId == 388 || templateId == 233 ||
               templateId == 457 || templateId == 460;
    }
    int RunZoomDlg(view::ZoomDlgMembers& members) override;
    int RunDisplayStyleDlg(view::DisplayStyleDlgMembers& members) override;
    int RunCellAttrDlg(CellAttrMembers& members, int removeMask) override;
    // Item appearance and chart properties (small_dlgs.cpp).
    int RunObjectLookDlg(view::ObjectLookDlgMembers& members) override;
    int RunObjectPropDlg(view::ObjectPropDlgMembers& members) override;

private:
    QPointer<QWidget> m_parent;
};

// Installs the dialogs for the view commands; returns the ones installed
// before.
view::IViewDialogs* InstallViewSettingsDialogs(QWidget* parent = nullptr);

// Runs the currency symbol dialog preset with the common symbol; after OK
// with an entry chosen, makes it the common symbol and gives its index
// (storing it in the profile is the caller's), else nothing.
std::optional<int> RunCurrencySymbolDlg(QWidget* parent = nullptr);

}  // namespace qor
