#pragma once
// Objects of the sheet view's report edited in place over the view, and the
// view of a report that is itself such an object: the window layer installs
// what activates and deactivates one (hooks); the view reaches its part
// through CQorsView::InPlace().

#include <functional>

class CQorsView;
class CComItem;

class InPlaceController {
public:
    // What edits an embedded report in place; the window layer installs it.
    // activate: the object is edited over the view (false: it was not);
    // deactivate: what is active in the view's report is stored back and
    // its window goes (false: nothing was active).
    struct Hooks {
        std::function<bool(CQorsView& container, CComItem* item)> activate;
        std::function<bool(CQorsView& container)> deactivate;
    };
    static void SetHooks(Hooks hooks);
    static const Hooks& GetHooks();

    explicit InPlaceController(CQorsView& view) : m_v(view) {}

    // True while an object of this view's report is edited in place over
    // the view, and in the view of a report that is itself such an object:
    // printing is off then.
    bool IsActive() const;
    // Ends in-place editing in this view's report; false when none was on.
    bool Deactivate();
    // The scroll bars off while an object edited in place sits over the
    // sheet at a fixed place, on again afterwards.
    void SetSheetScrolling(bool on);

private:
    CQorsView& m_v;
};
