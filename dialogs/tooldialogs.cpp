#include "dialogs/tooldialogs.h"

#include "dialogs/batchcmd_dlgs.h"

namespace qor {

bool ToolDialogsTarget::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
        case kCommonBatch:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

bool ToolDialogsTarget::OnCommand(int id) {
    switch (id) {
        case kCommonBatch:
            RunCommonBatchCommand(m_parent.data());
            return true;
        default:
            return false;
    }
}

}  // namespace qor
