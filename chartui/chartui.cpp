#include "chartui/chartui.h"

#include <QMdiArea>
#include <QPointer>
#include <QWidget>

#include "chartui/careachartdlg.h"
#include "chartui/cinsertobjectdlg.h"
#include "chartui/cpicframe.h"
#include "chartui/cpicwnd.h"
#include "dialogs/docdialogs.h"

namespace qor {

namespace {

class ChartUi : public view::IChartUi {
public:
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
    Register<view::AreaChartDlgMembers>(ModalDialog<CAreaChartDlg>(parent));
    Register<view::InsertObjectDlgMembers>(ModalDialog<CInsertObjectDlg>(parent));
}

}  // namespace qor
