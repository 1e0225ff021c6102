#include "dialogs/exportsetrunner.h"

#include <QApplication>
#include <QThread>

#include "dialogs/cexportsetdlg.h"

namespace qor::dlg {

bool ExportSetDialogRunner::RunExportSettings(ExportSetMembers* members) {
    if (!members) return false;
    // A window needs the widget application and its thread. Without them
    // (a script's export running beside the window, a console host that
    // installed this by mistake) answer as a script would rather than abort.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) {
        ApplyExportPageSelection(members, {});
        return true;
    }
    // The dialog starts from its own choices; the export gives it the
    // report (and its page count) only.
    CExportSetDlg dlg;
    dlg.m_pReport = members->m_pReport;
    dlg.m_nPageCount = members->m_nPageCount;
    if (dlg.DoModal() != CExportSetDlg::IDOK) return false;
    *members = static_cast<const ExportSetMembers&>(dlg);
    return true;
}

std::shared_ptr<IExportSettingsDialog> InstallExportSetDialog() {
    return InstallExportSettingsDialog(std::make_shared<ExportSetDialogRunner>());
}

}  // namespace qor::dlg
