#pragma once
// The commands of the main window whose dialogs need no report: 导入
// (33257), 自定义菜单 (33268), 常用批命令 (33269), and ours: 系统信息 and
// the log of formulas and commands. The desktop adds it to the main
// frame's command targets.

#include <QPointer>
#include <QWidget>

#include "document/cmdtarget.h"
#include "resources/commandids.h"

namespace qor {

template <class Target>
class CommandTable;

class ToolDialogsTarget : public ICommandTarget {
public:
    static constexpr int kCmdImportByIni = qor::cmd_ids::kCmdImportByIni;
    static constexpr int kCmdCustomMenu = qor::cmd_ids::kCmdCustomMenu;
    static constexpr int kCmdCommonBatch = qor::cmd_ids::kCmdCommonBatch;
    static constexpr int kCmdSystemInfo = qor::cmd_ids::kCmdSystemInfo;
    static constexpr int kCmdFormulaLog = qor::cmd_ids::kCmdFormulaLog;

    explicit ToolDialogsTarget(QWidget* parent = nullptr) : m_parent(parent) {}
    bool OnUpdateCommand(int id, CommandState& state) override;
    bool OnCommand(int id) override;

private:
    static const CommandTable<ToolDialogsTarget>& commands();
    QPointer<QWidget> m_parent;
};

}  // namespace qor
