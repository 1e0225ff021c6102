#include "dialogs/tooldialogs.h"

#include "dialogs/batchcmd_dlgs.h"
#include "dialogs/exchange_dlgs.h"
#include "dialogs/small_dlgs.h"

namespace qor {

bool ToolDialogsTarget::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
        case kCmdImportByIni:
        case kCmdCustomMenu:
        case kCmdCommonBatch:
        case kCmdSystemInfo:
        case kCmdFormulaLog:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

bool ToolDialogsTarget::OnCommand(int id) {
    switch (id) {
        case kCmdImportByIni:
            RunImportByIniCommand(m_parent.data());
            return true;
        case kCmdCustomMenu:
            RunCustomMenuCommand(m_parent.data());
            return true;
        case kCmdCommonBatch:
            RunCommonBatchCommand(m_parent.data());
            return true;
        case kCmdSystemInfo: {
            CSysInfoDlg dlg(m_parent.data());
            dlg.DoModal();
            return true;
        }
        case kCmdFormulaLog: {
            CLogFileDlg dlg(m_parent.data());
            dlg.DoModal();
            return true;
        }
        default:
            return false;
    }
}

}  // namespace qor
