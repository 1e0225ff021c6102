#include "view/clipcmd_logic.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <memory>
#include <optional>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "view/cqorsview.h"

namespace qor::clip {

namespace {

QString nativeFormat() { return QString::fromLatin1(CQorsDoc::kNativeFormatName); }

IClipboard& clipboardOf(const ClipContext& ctx) {
    return ctx.clipboard ? *ctx.clipboard : SystemClipboard();
}

void tell(int id) { messageBox(LoadErrorText(id), QString(), MsgButtons::Ok, MsgIcon::Warning); }

class QtClipboard : public IClipboard {
public:
    const QMimeData* Data() const override {
        QClipboard* c = QGuiApplication::clipboard();
        return c ? c->mimeData() : nullptr;
    }
    bool SetData(QMimeData* data) override {
        QClipboard* c = QGuiApplication::clipboard();
        if (!c) {
            delete data;
            return false;
        }
        c->setMimeData(data);
        return true;
    }
};

class CancelPasteSpecial : public IPasteSpecialDialog {
public:
    bool Run(PasteSpecialMembers&) override { return false; }
};

// Puts the selected cells, or the selected item, on the clipboard.
bool copySelection(ClipContext& ctx) {
    if (ctx.selection) {
        QMimeData* data = ctx.selection->CreateClipboardData();
        return data && clipboardOf(ctx).SetData(data);
    }
    auto data = std::make_unique<QMimeData>();
    if (!ctx.doc->CopyAreaToClipboard(data.get())) return false;
    return clipboardOf(ctx).SetData(data.release());
}

void removeItem(ClipContext& ctx, CComItem* item, bool everyView) {
    // The views draw their selected item, so they let go of it before it
    // is destroyed.
    if (ctx.dropSelection) ctx.dropSelection(everyView ? nullptr : item);
    ctx.selection = nullptr;
    ctx.doc->RemoveComItemAndRefresh(item);
}

// Items of page 0 belong to the format and stay while a page is shown.
bool pageShown(const CQorsDoc& doc) {
    const CReportHandle* report = doc.GetReport();
    return report && !report->IsFormatState() && report->GetCurPage() != 0;
}

// A chart from the clipboard: at the selection's top-left corner when no
// item is selected.
int pasteChart(ClipContext& ctx, const QMimeData* data) {
    std::optional<QPoint> at;
    if (!ctx.selection) {
        const qor::items::Rect r = ctx.doc->CellRangeToSheetRect(ctx.doc->GetSelectionArea());
        at = QPoint(r.left, r.top);
    }
    QString error;
    std::shared_ptr<CComItem> item = ctx.doc->PasteChartItem(
        data->data(QString::fromLatin1(kGraphFormatName)), at ? &*at : nullptr, &error);
    if (!item) {
        TraceMessage(QStringLiteral("粘贴的图表数据已损坏：") + error);
        return 1;
    }
    if (ctx.selectItem) ctx.selectItem(item.get());
    ctx.selection = item.get();
    return 0;
}

int pasteData(ClipContext& ctx, const QMimeData* data) {
    int status = 1;
    if (data && !data->hasFormat(nativeFormat()) && !data->hasText() &&
        data->hasFormat(QString::fromLatin1(kGraphFormatName)))
        status = pasteChart(ctx, data);
    else if (data)
        status = ctx.doc->PasteFromClipboard(data);
    if (status) tell(kMsgPasteFailed);
    if (ctx.clampItems) ctx.clampItems();
    return status;
}

uint32_t le32(const QByteArray& b, int at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t le16(const QByteArray& b, int at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

}  // namespace

QUuid BlockedObjectClass(int index) {
    return index == 0 ? QUuid(QStringLiteral("{2AC24F61-BFA9-11D0-80A4-000021888317}"))
                      : QUuid(QStringLiteral("{73D334A7-2DCE-11D2-B8A5-0000210015FE}"));
}

IClipboard& SystemClipboard() {
    static QtClipboard clipboard;
    return clipboard;
}

namespace {
IPasteSpecialDialog* g_pasteSpecial = nullptr;
}  // namespace

IPasteSpecialDialog& DefaultPasteSpecialDialog() {
    static CancelPasteSpecial dialog;
    return g_pasteSpecial ? *g_pasteSpecial : dialog;
}

IPasteSpecialDialog* InstallPasteSpecialDialog(IPasteSpecialDialog* dialog) {
    IPasteSpecialDialog* old = g_pasteSpecial;
    g_pasteSpecial = dialog;
    return old;
}

bool HasPasteSpecialDialog() { return g_pasteSpecial != nullptr; }

bool EditCopy(ClipContext& ctx) {
    if (!ctx.doc) return false;
    const bool wasModified = ctx.doc->IsModified();
    if (ctx.doc->ForwardToCellEdit(CQorsDoc::kEditCopy)) return true;
    const bool done = copySelection(ctx);
    if (wasModified && !ctx.doc->IsModified()) ctx.doc->SetModifiedFlag(true);
    return done;
}

bool EditCut(ClipContext& ctx) {
    if (!ctx.doc || ctx.otherViewChartEditing) return false;
    if (ctx.doc->ForwardToCellEdit(CQorsDoc::kEditCut)) return true;
    if (ctx.selection) {
        // The item goes only once it is safely on the clipboard.
        if (!copySelection(ctx)) return false;
        return EditClear(ctx);
    }
    auto data = std::make_unique<QMimeData>();
    // Clearing after a failed copy would lose the cells.
    if (!ctx.doc->CutAreaToClipboard(data.get())) return false;
    return clipboardOf(ctx).SetData(data.release());
}

bool EditClear(ClipContext& ctx) {
    if (!ctx.doc || ctx.otherViewChartEditing) return false;
    CComItem* item = ctx.selection;
    if (!item) return ctx.doc->EditClear() == 0;
    if (auto* ole = dynamic_cast<COleItem*>(item)) {
        if (ole->GetPage() == 0 && pageShown(*ctx.doc)) return false;
        if (ole->GetClientState() >= qor::items::OleClientRecord::kOpen)
            ole->SetClientState(qor::items::OleClientRecord::kLoaded);
        removeItem(ctx, ole, false);
        // Without the mark a close would drop the removal unasked.
        ctx.doc->SetModifiedFlag();
        return true;
    }
    if (ctx.viewChartEditing || ctx.doc->m_bChartFrameOpen) return false;
    removeItem(ctx, item, true);
    ctx.doc->UpdateAllViews(CQorsDoc::kHintItems);
    ctx.doc->SetModifiedFlag();
    return true;
}

int EditPaste(ClipContext& ctx) {
    if (!ctx.doc) return 1;
    if (ctx.doc->ForwardToCellEdit(CQorsDoc::kEditPaste)) return 0;
    return pasteData(ctx, clipboardOf(ctx).Data());
}

int EditPasteLink(ClipContext& ctx) {
    if (!ctx.doc) return 1;
    // Nothing in this program serves a link to cells, so a link is never
    // made; saying so beats pasting a copy that looks like a link.
    tell(kMsgLinkFailed);
    return 1;
}

PasteSpecialMembers PresetPasteSpecial(const QMimeData* data) {
    PasteSpecialMembers m;
    if (!data) return m;
    if (data->hasFormat(nativeFormat()))
        m.entries.push_back({nativeFormat(), LoadErrorText(kStrNativeEntry), false});
    if (data->hasText())
        m.entries.push_back(
            {QString::fromLatin1(kTextFormatName), QStringLiteral("Unicode Text"), false});
    return m;
}

int ApplyPasteSpecial(ClipContext& ctx, const PasteSpecialMembers& m) {
    if (!ctx.doc || m.selected < 0 || size_t(m.selected) >= m.entries.size()) return 1;
    const PasteSpecialEntry& entry = m.entries[size_t(m.selected)];
    if (m.selectionType == 1) {
        tell(kMsgLinkFailed);
        return 1;
    }
    const QMimeData* source = clipboardOf(ctx).Data();
    if (!source || !source->hasFormat(entry.format)) {
        tell(kMsgPasteFailed);
        return 1;
    }
    // Only the chosen format goes on, so the document cannot prefer
    // another one.
    QMimeData chosen;
    if (entry.format == QLatin1String(kTextFormatName))
        chosen.setText(source->text());
    else
        chosen.setData(entry.format, source->data(entry.format));
    return pasteData(ctx, &chosen);
}

int EditPasteSpecial(ClipContext& ctx, IPasteSpecialDialog& dialog) {
    if (!ctx.doc) return 1;
    PasteSpecialMembers m = PresetPasteSpecial(clipboardOf(ctx).Data());
    if (m.entries.empty() || !dialog.Run(m)) return -1;
    return ApplyPasteSpecial(ctx, m);
}

bool UpdateEditCopy(const CopyUpdateInput& in) {
    if (in.inPlaceFrame) return !in.inPlaceActiveItem;
    if (in.focusOnFormulaBar) return in.formulaBarHasSelection;
    return true;
}

bool UpdateEditPaste(const QMimeData* data) {
    if (!data) return false;
    return data->hasText() || data->hasFormat(nativeFormat()) ||
           data->hasFormat(QString::fromLatin1(kGraphFormatName));
}

QUuid EmbeddedObjectClass(const QMimeData* data) {
    const QString descriptor = QString::fromLatin1(kObjectDescriptorMime);
    if (!data || !data->hasFormat(descriptor)) return {};
    // The descriptor starts with its size (32 bits) and the class id.
    const QByteArray b = data->data(descriptor);
    if (b.size() < 20) return {};
    const int at = 4;
    return QUuid(le32(b, at), le16(b, at + 4), le16(b, at + 6), uint8_t(b[at + 8]),
                 uint8_t(b[at + 9]), uint8_t(b[at + 10]), uint8_t(b[at + 11]), uint8_t(b[at + 12]),
                 uint8_t(b[at + 13]), uint8_t(b[at + 14]), uint8_t(b[at + 15]));
}

bool UpdateEditPasteSpecial(const QMimeData* data) {
    if (!UpdateEditPaste(data)) return false;
    const QUuid cls = EmbeddedObjectClass(data);
    if (cls.isNull()) return true;
    for (int i = 0; i < kBlockedObjectClasses; ++i)
        if (cls == BlockedObjectClass(i)) return false;
    return true;
}

}  // namespace qor::clip
