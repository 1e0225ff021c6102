#pragma once
// The sheet view's clipboard commands: copy, cut, clear, paste, paste link
// and paste special, and whether each can run now. The view supplies its
// selected item, the chart-editing state of its sibling views and the
// focus; the decisions are in clipcmd_logic.

class CQorsView;

class ViewClipboard {
public:
    explicit ViewClipboard(CQorsView& view) : m_view(view) {}

    void OnEditCopy();
    void OnEditCut();
    void OnEditClear();
    void OnEditPaste();
    void OnEditPasteLink();
    void OnEditPasteSpecial();
    // inPlaceFrame: non-null while the report runs in place in another
    // program.
    bool OnUpdateEditCopy(const void* inPlaceFrame = nullptr) const;
    bool OnUpdateEditPaste() const;
    bool OnUpdateEditPasteSpecial() const;

private:
    CQorsView& m_view;
};
