#pragma once
// The commands of the main window whose dialogs need no report: 常用批命令
// (33269). The desktop adds it to the main frame's command targets.

#include <QPointer>
#include <QWidget>

#include "document/cmdtarget.h"

namespace qor {

class ToolDialogsTarget : public ICommandTarget {
public:
    static constexpr int kCommonBatch = 33269;

    explicit ToolDialogsTarget(QWidget* parent = nullptr) : m_parent(parent) {}
    bool OnUpdateCommand(int id, CommandState& state) override;
    bool OnCommand(int id) override;

private:
    QPointer<QWidget> m_parent;
};

}  // namespace qor
