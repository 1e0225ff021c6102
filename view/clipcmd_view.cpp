// The sheet view's clipboard commands: the view supplies its selected
// item, the chart-editing state of its sibling views and the focus; the
// decisions are in clipcmd_logic.

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>

#include "document/cqorsdoc.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsview.h"

using namespace qor::clip;

std::vector<CQorsView*> SheetViewsOf(const CQorsDoc* doc) {
    std::vector<CQorsView*> views;
    if (!doc) return views;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* v = qobject_cast<CQorsView*>(w); v && v->GetDocument() == doc) views.push_back(v);
    return views;
}

namespace qor::clip {

ClipContext ViewClipContext(CQorsView& view) {
    ClipContext ctx;
    ctx.doc = view.GetDocument();
    ctx.selection = view.m_pSelection;
    ctx.viewChartEditing = view.m_bChartEditing != 0;
    for (CQorsView* other : SheetViewsOf(ctx.doc))
        if (other != &view && other->m_bChartEditing) ctx.otherViewChartEditing = true;
    const CQorsDoc* doc = ctx.doc;
    ctx.dropSelection = [doc](CComItem* item) {
        for (CQorsView* v : SheetViewsOf(doc))
            if (!item || v->m_pSelection == item) v->SetSelection(nullptr);
    };
    ctx.clampItems = [&view] { view.ClampItemsToSheet(); };
    ctx.selectItem = [&view](CComItem* item) { view.SetSelection(item); };
    QPoint start(100, 100);
    view.ClientToDocPoint(start);
    ctx.newItemPoint = start;
    return ctx;
}

}  // namespace qor::clip

namespace {
ClipContext contextOf(CQorsView& view) { return ViewClipContext(view); }
}  // namespace

void CQorsView::OnEditCopy() {
    ClipContext ctx = contextOf(*this);
    EditCopy(ctx);
}

void CQorsView::OnEditCut() {
    ClipContext ctx = contextOf(*this);
    EditCut(ctx);
}

void CQorsView::OnEditClear() {
    ClipContext ctx = contextOf(*this);
    EditClear(ctx);
}

void CQorsView::OnEditPaste() {
    ClipContext ctx = contextOf(*this);
    EditPaste(ctx);
}

void CQorsView::OnEditPasteLink() {
    ClipContext ctx = contextOf(*this);
    EditPasteLink(ctx);
}

void CQorsView::OnEditPasteSpecial(IPasteSpecialDialog* dialog) {
    ClipContext ctx = contextOf(*this);
    EditPasteSpecial(ctx, dialog ? *dialog : DefaultPasteSpecialDialog());
}

bool CQorsView::OnUpdateEditCopy(const void* inPlaceFrame) const {
    CopyUpdateInput in;
    in.inPlaceFrame = inPlaceFrame != nullptr;
    in.inPlaceActiveItem = m_pDoc && m_pDoc->Items().GetInPlaceActiveItem() != nullptr;
    const QWidget* focus = QApplication::focusWidget();
    const QLineEdit* bar = m_pFormulaBar;
    in.focusOnFormulaBar = bar && focus == bar;
    in.formulaBarHasSelection = bar && bar->hasSelectedText();
    return UpdateEditCopy(in);
}

bool CQorsView::OnUpdateEditPaste() const { return UpdateEditPaste(SystemClipboard().Data()); }

bool CQorsView::OnUpdateEditPasteSpecial() const {
    return UpdateEditPasteSpecial(SystemClipboard().Data());
}

bool CQorsView::OnClipboardCommand(int id) {
    switch (id) {
        case kCmdCopy:
            OnEditCopy();
            return true;
        case kCmdCut:
            OnEditCut();
            return true;
        case kCmdClear:
            OnEditClear();
            return true;
        case kCmdPaste:
            OnEditPaste();
            return true;
        case kCmdPasteLink:
            OnEditPasteLink();
            return true;
        case kCmdPasteSpecial:
            OnEditPasteSpecial();
            return true;
        default:
            return false;
    }
}
