#pragma once
// The sheet view's commands that exist today, offered to the router for a
// view that is not a command target of its own: the clipboard, the display
// scale and style, the page breaks and the order of items. A view that
// answers commands itself is asked directly and this stays out.

#include <QPointer>

#include "document/cmdtarget.h"
#include "view/cqorsview.h"

namespace qor::frames {

class CViewBridge : public qor::ICommandTarget {
public:
    void SetView(CQorsView* view) { m_view = view; }
    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;

private:
    QPointer<CQorsView> m_view;
};

}  // namespace qor::frames
