#include "charts/ui/chartui.h"

#include <QMdiArea>
#include <QPointer>
#include <QWidget>

#include "charts/ui/careachartdlg.h"
#include "charts/ui/cinsertobjectdlg.h"
#include "charts/ui/cpicframe.h"
#include "charts/ui/cpicwnd.h"
#include "document/cmd_dialogs.h"

namespace qor {

namespace {

class ChartUi : public view::IChartUi {
public:
    bool Provides(int templateId) const override {
        return templateId == CAreaChartDlg::IDD || templateId == CInsertObjectDlg::IDD;
    }
    int RunInsertObjectDlg(view::InsertObjectDlgMembers& members) override {
        CInsertObjectDlg dlg(m_parent);
        static_cast<view::InsertObjectDlgMembers&>(dlg) = members;
        const int result = dlg.DoModal();
        if (result == kIdOk) members = dlg;
        return result;
    }
    int RunAreaChartDlg(view::AreaChartDlgMembers& members) override {
        CAreaChartDlg dlg(m_parent);
        static_cast<view::AreaChartDlgMembers&>(dlg) = members;
        const int result = dlg.DoModal();
        if (result == kIdOk) members = dlg;
        return result;
    }
    std::unique_ptr<view::IChartWindow> CreateChartWindow(CQorsDoc* doc, QWidget* parent) override {
        return std::make_unique<CPicWnd>(doc, parent);
    }
    bool OpenChartFrame(CQorsDoc* doc) override {
        // The chart frame is a window of the main window's document area.
        QMdiArea* area = m_parent ? m_parent->findChild<QMdiArea*>() : nullptr;
        return CPicFrame::Open(area, doc) != nullptr;
    }
    QPointer<QWidget> m_parent;
};

}  // namespace

void InstallChartUi(QWidget* parent) {
    static ChartUi ui;
    ui.m_parent = parent;
    view::InstallChartUi(&ui);
}

}  // namespace qor
