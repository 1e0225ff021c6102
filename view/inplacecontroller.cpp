#include "view/inplacecontroller.h"

#include "document/cqorsdoc.h"
#include "view/cqorsview.h"

namespace {

InPlaceController::Hooks& inPlaceHooks() {
    static InPlaceController::Hooks hooks;
    return hooks;
}

}  // namespace

void InPlaceController::SetHooks(Hooks hooks) { inPlaceHooks() = std::move(hooks); }

const InPlaceController::Hooks& InPlaceController::GetHooks() { return inPlaceHooks(); }

bool InPlaceController::IsActive() const {
    const CQorsDoc* doc = m_v.GetDocument();
    return doc && (doc->Items().GetInPlaceActiveItem() != nullptr || doc->Items().IsRunningInPlace());
}

bool InPlaceController::Deactivate() {
    const CQorsDoc* doc = m_v.GetDocument();
    if (!doc || !doc->Items().GetInPlaceActiveItem() || !inPlaceHooks().deactivate) return false;
    return inPlaceHooks().deactivate(m_v);
}

void InPlaceController::SetSheetScrolling(bool on) { m_v.m_scroll.SetSheetScrolling(on); }
