#include "frames/viewbridge.h"

#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "view/cqorsview.h"

namespace qor::frames {

namespace {

constexpr int kClear = 57632, kCopy = 57634, kCut = 57635, kPaste = 57637, kPasteLink = 57638;
constexpr int kScale = 33216, kStyle = 33217;
constexpr int kForcedBreak = 33285, kShowBreaks = 33294, kClearBreaks = 33295;
constexpr int kToFront = 33241, kToBack = 33243;

}  // namespace

bool CViewBridge::OnUpdateCommand(int id, qor::CommandState& s) {
    switch (id) {
        case kClear: case kCopy: case kCut: case kPaste: case kPasteLink: case kScale:
        case kStyle: case kForcedBreak: case kShowBreaks: case kClearBreaks: case kToFront:
        case kToBack:
            break;
        default:
            return false;
    }
    CQorsView* v = m_view;
    if (!v) return false;
    const CQorsDoc* doc = v->GetDocument();
    const bool open = doc && doc->IsOpen();
    const bool item = v->m_pSelection != nullptr;
    s.reason = open ? QString() : QStringLiteral("没有打开的报表");
    switch (id) {
        case kCopy:
        case kCut:
            // Items cannot be put on the clipboard yet; cutting one would
            // lose it.
            s.enabled = open && !item && v->OnUpdateEditCopy();
            if (item) s.reason = QStringLiteral("选中的对象不能复制到剪贴板");
            return true;
        case kPaste:
        case kPasteLink:
            s.enabled = open && v->OnUpdateEditPaste();
            if (open && !s.enabled) s.reason = QStringLiteral("剪贴板上没有可粘贴的内容");
            return true;
        case kClear:
            s.enabled = open;
            return true;
        case kScale:
        case kStyle:
        case kClearBreaks:
            s.enabled = open;
            return true;
        case kForcedBreak:
            s.enabled = open;
            if (open) s.text = LoadErrorText(v->IsPageBreakAtCurrentCell() ? 62548 : 62547);
            return true;
        case kShowBreaks:
            s.enabled = open;
            s.checkable = true;
            s.checked = v->OnUpdateShowPageBreaks();
            return true;
        case kToFront:
        case kToBack:
            s.enabled = open && item;
            if (open && !item) s.reason = QStringLiteral("没有选中的对象");
            return true;
        default:
            return false;
    }
}

bool CViewBridge::OnCommand(int id) {
    CQorsView* v = m_view;
    if (!v) return false;
    switch (id) {
        case kClear:
            // Del on a selected item removes the item, otherwise the cells.
            if (v->m_pSelection) {
                v->DeleteSelectedItem();
                return true;
            }
            return v->OnClipboardCommand(id);
        case kCopy:
        case kCut:
        case kPaste:
        case kPasteLink:
            return v->OnClipboardCommand(id);
        case kScale:
            v->OnDisplayScale();
            return true;
        case kStyle:
            v->OnDisplayStyle();
            return true;
        case kForcedBreak:
            v->OnForcedPageBreak();
            return true;
        case kShowBreaks:
            v->OnShowPageBreaks();
            return true;
        case kClearBreaks:
            v->OnClearAllPageBreaks();
            return true;
        case kToFront:
            v->OnBringToFront();
            return true;
        case kToBack:
            v->OnSendToBack();
            return true;
        default:
            return false;
    }
}

}  // namespace qor::frames
