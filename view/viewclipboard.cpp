// The sheet view's clipboard commands: the view supplies its selected
// item, the chart-editing state of its sibling views and the focus; the
// decisions are in clipcmd_logic.

#include "view/viewclipboard.h"

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
    ctx.selection = view.Items().Selected();
    ctx.viewChartEditing = view.Items().IsChartEditing();
    for (CQorsView* other : SheetViewsOf(ctx.doc))
        if (other != &view && other->Items().IsChartEditing()) ctx.otherViewChartEditing = true;
    const CQorsDoc* doc = ctx.doc;
    ctx.dropSelection = [doc](CComItem* item) {
        for (CQorsView* v : SheetViewsOf(doc))
            if (!item || v->Items().Selected() == item) v->Items().SetSelection(nullptr);
    };
    ctx.clampItems = [&view] { view.Items().ClampItemsToSheet(); };
    ctx.selectItem = [&view](CComItem* item) { view.Items().SetSelection(item); };
    QPoint start(100, 100);
    view.Geometry().ClientToDocPoint(start);
    ctx.newItemPoint = start;
    return ctx;
}

}  // namespace qor::clip

void ViewClipboard::OnEditCopy() {
    ClipContext ctx = ViewClipContext(m_view);
    EditCopy(ctx);
}

void ViewClipboard::OnEditCut() {
    ClipContext ctx = ViewClipContext(m_view);
    EditCut(ctx);
}

void ViewClipboard::OnEditClear() {
    ClipContext ctx = ViewClipContext(m_view);
    EditClear(ctx);
}

void ViewClipboard::OnEditPaste() {
    ClipContext ctx = ViewClipContext(m_view);
    EditPaste(ctx);
}

void ViewClipboard::OnEditPasteLink() {
    ClipContext ctx = ViewClipContext(m_view);
    EditPasteLink(ctx);
}

void ViewClipboard::OnEditPasteSpecial() {
    ClipContext ctx = ViewClipContext(m_view);
    EditPasteSpecial(ctx);
}

bool ViewClipboard::OnUpdateEditCopy(const void* inPlaceFrame) const {
    CopyUpdateInput in;
    in.inPlaceFrame = inPlaceFrame != nullptr;
    const CQorsDoc* doc = m_view.GetDocument();
    in.inPlaceActiveItem = doc && doc->Items().GetInPlaceActiveItem() != nullptr;
    const QWidget* focus = QApplication::focusWidget();
    const QLineEdit* bar = m_view.CellEdit().FormulaBar();
    in.focusOnFormulaBar = bar && focus == bar;
    in.formulaBarHasSelection = bar && bar->hasSelectedText();
    return UpdateEditCopy(in);
}

bool ViewClipboard::OnUpdateEditPaste() const { return UpdateEditPaste(SystemClipboard().Data()); }

bool ViewClipboard::OnUpdateEditPasteSpecial() const {
    return UpdateEditPasteSpecial(SystemClipboard().Data());
}
