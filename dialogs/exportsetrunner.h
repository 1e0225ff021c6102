#pragma once
// The export settings dialog behind the interface the export asks through.

#include <memory>

#include "exchange/ownxml_settings.h"

namespace qor::dlg {

// Runs CExportSetDlg modally with the members as its initial state; on OK
// the members take the choice, on Cancel they stay as they were.
class ExportSetDialogRunner : public IExportSettingsDialog {
public:
    bool RunExportSettings(ExportSetMembers* members) override;
};

// Makes the export ask the user through CExportSetDlg (the desktop
// application calls this at start-up). Returns the dialog installed before.
std::shared_ptr<IExportSettingsDialog> InstallExportSetDialog();

}  // namespace qor::dlg
