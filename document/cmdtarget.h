#pragma once
// A place that handles menu and tool-bar commands by their ids. The frame's
// command router asks its targets in turn (the active view, its document,
// the child frame, the main frame): the first target that knows an id
// answers its update and runs it. The view and the document implement it
// without knowing the frame; the frame builds menus and buttons over it.

#include <QString>

namespace qor {

// What a menu item or tool button shows for a command at this moment.
struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool checkable = false;
    QString text;    // empty keeps the command table's text
    QString reason;  // why it is off (shown as its status prompt)
};

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // True when this target knows the command; then `state` is filled.
    virtual bool OnUpdateCommand(int id, CommandState& state) = 0;
    // True when this target knows the command and ran it.
    virtual bool OnCommand(int id) = 0;
};

}  // namespace qor
