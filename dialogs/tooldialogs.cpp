#include "dialogs/tooldialogs.h"

#include "dialogs/batchcmd_dlgs.h"
#include "dialogs/exchange_dlgs.h"
#include "dialogs/small_dlgs.h"

namespace qor {

bool ToolDialogsTarget::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
        case kImportByIni:
        case kCustomMenu:
        case kCommonBatch:
        case kSystemInfo:
        case kFormulaLog:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

bool ToolDialogsTarget::OnCommand(int id) {
    switch (id) {
        case kImportByIni:
            RunImportByIniCommand(m_parent.data());
            return true;
        case kCustomMenu:
            RunCustomMenuCommand(m_parent.data());
            return true;
        case kCommonBatch:
            RunCommonBatchCommand(m_parent.data());
            return true;
        case kSystemInfo: {
            CSysInfoDlg dlg(m_parent.data());
            dlg.DoModal();
            return true;
        }
        case kFormulaLog: {
            CLogFileDlg dlg(m_parent.data());
            dlg.DoModal();
            return true;
        }
        default:
            return false;
    }
}

}  // namespace qor
