#include "dialogs/tooldialogs.h"

#include "dialogs/batchcmd_dlgs.h"
#include "dialogs/exchange_dlgs.h"
#include "dialogs/small_dlgs.h"
#include "document/commandtable.h"
#include "document/doc_commands.h"

namespace qor {

const CommandTable<ToolDialogsTarget>& ToolDialogsTarget::commands() {
    // None of them needs a report: always on.
    static const CommandTable<ToolDialogsTarget> table(
        {
            {kCmdImportByIni, nullptr,
             [](ToolDialogsTarget& t, int) { RunImportByIniCommand(t.m_parent.data()); }, nullptr},
            {kCmdCustomMenu, nullptr,
             [](ToolDialogsTarget& t, int) { RunCustomMenuCommand(t.m_parent.data()); }, nullptr},
            {kCmdCommonBatch, nullptr,
             [](ToolDialogsTarget& t, int) { RunCommonBatchCommand(t.m_parent.data()); }, nullptr},
            {kCmdSystemInfo, nullptr,
             [](ToolDialogsTarget& t, int) {
                 CSysInfoDlg dlg(t.m_parent.data());
                 dlg.DoModal();
             },
             nullptr},
            {kCmdFormulaLog, nullptr,
             [](ToolDialogsTarget& t, int) {
                 CLogFileDlg dlg(t.m_parent.data());
                 dlg.DoModal();
             },
             nullptr},
        },
        doccmd::ReasonNotBuilt());
    return table;
}

bool ToolDialogsTarget::OnUpdateCommand(int id, CommandState& state) {
    return commands().Update(*this, id, state);
}

bool ToolDialogsTarget::OnCommand(int id) { return commands().Run(*this, id); }

}  // namespace qor
