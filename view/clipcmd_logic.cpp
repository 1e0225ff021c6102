#include "view/clipcmd_logic.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <memory>
#include <optional>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "charts/objectdata.h"
#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/bytes.h"
#include "platform/uiservices.h"
#include "view/cqorsview.h"
#include "view/serveritems.h"

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

// Other programs get the copied cells as a picture, the report to embed
// and a link to the range.
void addServedFormats(const ClipContext& ctx, QMimeData* data) {
    const CellArea a = ctx.doc->Selection().Area();
    const COleLinkItem link(ctx.doc, std::min(a.first.col, a.last.col),
                            std::min(a.first.row, a.last.row), std::max(a.first.col, a.last.col),
                            std::max(a.first.row, a.last.row));
    link.AddClipboardFormats(data);
}

// Puts the selected cells, or the selected item, on the clipboard.
bool copySelection(ClipContext& ctx) {
    if (ctx.selection) {
        QMimeData* data = ctx.selection->CreateClipboardData();
        return data && clipboardOf(ctx).SetData(data);
    }
    auto data = std::make_unique<QMimeData>();
    if (!ctx.doc->Clipboard().CopyAreaToClipboard(data.get())) return false;
    addServedFormats(ctx, data.get());
    return clipboardOf(ctx).SetData(data.release());
}

void removeItem(ClipContext& ctx, CComItem* item, bool everyView) {
    // The views draw their selected item, so they let go of it before it
    // is destroyed.
    if (ctx.dropSelection) ctx.dropSelection(everyView ? nullptr : item);
    ctx.selection = nullptr;
    ctx.doc->Items().RemoveComItemAndRefresh(item);
}

// Items of page 0 belong to the format and stay while a page is shown.
bool pageShown(const CQorsDoc& doc) {
    const CReportHandle* report = doc.GetReport();
    return report && !report->IsFormatState() && report->GetCurPage() != 0;
}

QString fmt(const char* name) { return QString::fromLatin1(name); }

// The first picture the data hold, as the bytes of an image file.
QByteArray pictureBytes(const QMimeData* data, QString* suffix) {
    const QString png = QStringLiteral("image/png");
    if (data->hasFormat(png)) {
        const QByteArray bytes = data->data(png);
        if (bytes.size() <= qor::items::kMaxObjectBytes &&
            !QImage::fromData(bytes, "PNG").isNull()) {
            *suffix = QStringLiteral("png");
            return bytes;
        }
    }
    for (const QString& f : data->formats()) {
        if (!f.startsWith(QLatin1String("image/"))) continue;
        const QByteArray bytes = data->data(f);
        if (bytes.size() > qor::items::kMaxObjectBytes || QImage::fromData(bytes).isNull())
            continue;
        *suffix = f.mid(6);
        return bytes;
    }
    if (data->hasImage()) {
        *suffix = QStringLiteral("png");
        return qor::items::PngBytes(qvariant_cast<QImage>(data->imageData()));
    }
    return {};
}

bool hasPictureFormat(const QMimeData* data) {
    if (data->hasImage()) return true;
    for (const QString& f : data->formats())
        if (f.startsWith(QLatin1String("image/"))) return true;
    return false;
}

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (!data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
    return files;
}

void selectPasted(ClipContext& ctx, const std::shared_ptr<CComItem>& item) {
    if (ctx.selectItem) ctx.selectItem(item.get());
    ctx.selection = item.get();
}

}  // namespace

PasteKind PasteKindOf(const QMimeData* data, bool link) {
    if (!data) return PasteKind::None;
    if (link) {
        QString path, name;
        if (data->hasFormat(fmt(qor::items::kLinkSourceFormat)) &&
            qor::items::ReadLinkSource(data->data(fmt(qor::items::kLinkSourceFormat)), &path,
                                       &name))
            return PasteKind::ReportLink;
        return localFiles(data).isEmpty() ? PasteKind::None : PasteKind::Files;
    }
    if (data->hasFormat(nativeFormat())) return PasteKind::Cells;
    if (data->hasFormat(fmt(kGraphFormatName))) return PasteKind::Chart;
    if (data->hasFormat(fmt(kOleFormatName))) return PasteKind::Object;
    if (data->hasText() && !data->hasUrls()) return PasteKind::Cells;
    if (data->hasFormat(fmt(qor::items::kEmbedSourceFormat))) return PasteKind::Report;
    if (!localFiles(data).isEmpty()) return PasteKind::Files;
    // Only the offer is looked at here (the enable rule asks often); the
    // paste reads and checks the picture.
    if (hasPictureFormat(data)) return PasteKind::Picture;
    if (data->hasText()) return PasteKind::Cells;
    return PasteKind::None;
}

int DoPasteItem(ClipContext& ctx, bool link, const QMimeData* data, const QPoint* at,
                bool dropped) {
    if (!ctx.doc || !data) return 1;
    QString error;
    std::shared_ptr<CComItem> item;
    // Objects without a place go where new objects start, moved off any
    // object already there.
    const QPoint place = at ? *at : ctx.newItemPoint;
    switch (PasteKindOf(data, link)) {
        case PasteKind::None:
            return 1;
        case PasteKind::Cells:
            return ctx.doc->Clipboard().PasteFromClipboard(data);
        case PasteKind::Chart:
            item = ctx.doc->Items().PasteChartItem(data->data(fmt(kGraphFormatName)), at, &error);
            break;
        case PasteKind::Object:
            item = ctx.doc->Items().PasteObjectItem(data->data(fmt(kOleFormatName)), at, !dropped, &error);
            break;
        case PasteKind::Report: {
            CQorsDoc::NewObject o;
            o.bytes = data->data(fmt(qor::items::kEmbedSourceFormat));
            o.name = LoadErrorText(str::kPastedReportName);
            o.classId = fmt(qor::items::kReportObjectClass);
            QString suffix;
            o.picture = pictureBytes(data, &suffix);
            item = ctx.doc->Items().InsertObject(o, place, &error);
            break;
        }
        case PasteKind::ReportLink: {
            CQorsDoc::NewObject o;
            QString name;
            qor::items::ReadLinkSource(data->data(fmt(qor::items::kLinkSourceFormat)), &o.name,
                                       &name);
            o.link = true;
            o.classId = fmt(qor::items::kReportObjectClass);
            QString suffix;
            o.picture = pictureBytes(data, &suffix);
            item = ctx.doc->Items().InsertObject(o, place, &error);
            break;
        }
        case PasteKind::Picture: {
            CQorsDoc::NewObject o;
            QString suffix;
            o.bytes = pictureBytes(data, &suffix);
            if (o.bytes.isEmpty()) return 1;
            o.name = LoadErrorText(str::kPastedPicturePrefix) + suffix;
            item = ctx.doc->Items().InsertObject(o, place, &error);
            break;
        }
        case PasteKind::Files: {
            QStringList refused;
            for (const QString& path : localFiles(data)) {
                QString why;
                std::shared_ptr<CComItem> made =
                    ctx.doc->Items().InsertObjectFromFile(path, place, link, false, &why);
                if (made)
                    item = made;
                else
                    refused << why;
            }
            if (!refused.isEmpty())
                messageBox(refused.join(QLatin1Char('\n')), QString(), MsgButtons::Ok,
                           MsgIcon::Warning);
            if (!item) return 1;
            break;
        }
    }
    if (!item) {
        TraceMessage(LoadErrorText(str::kPastedDataDamaged) + error);
        return 1;
    }
    selectPasted(ctx, item);
    ctx.doc->UpdateServerItems(nullptr, 0, true);
    return 0;
}

namespace {

int pasteData(ClipContext& ctx, const QMimeData* data, bool link = false) {
    // Cells and charts go to the selection's corner when no item is
    // selected.
    std::optional<QPoint> at;
    if (!ctx.selection) {
        const qor::items::Rect r = ctx.doc->CellRangeToSheetRect(ctx.doc->Selection().Area());
        at = QPoint(r.left, r.top);
    }
    const int status = DoPasteItem(ctx, link, data, at ? &*at : nullptr, false);
    if (status) tell(link ? str::kLinkFailed : str::kPasteFailed);
    if (ctx.clampItems) ctx.clampItems();
    return status;
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

bool EditCopy(ClipContext& ctx) {
    if (!ctx.doc) return false;
    const bool wasModified = ctx.doc->IsModified();
    if (ctx.doc->Clipboard().ForwardToCellEdit(DocClipboard::kEditCopy)) return true;
    const bool done = copySelection(ctx);
    if (wasModified && !ctx.doc->IsModified()) ctx.doc->SetModifiedFlag(true);
    return done;
}

bool EditCut(ClipContext& ctx) {
    if (!ctx.doc || ctx.otherViewChartEditing) return false;
    if (ctx.doc->Clipboard().ForwardToCellEdit(DocClipboard::kEditCut)) return true;
    if (ctx.selection) {
        // The item goes only once it is safely on the clipboard.
        if (!copySelection(ctx)) return false;
        return EditClear(ctx);
    }
    auto data = std::make_unique<QMimeData>();
    // The picture is taken before the cells go; a link to cells that are
    // gone is not offered.
    QMimeData served;
    addServedFormats(ctx, &served);
    served.removeFormat(QString::fromLatin1(qor::items::kLinkSourceFormat));
    // Clearing after a failed copy would lose the cells.
    if (!ctx.doc->Clipboard().CutAreaToClipboard(data.get())) return false;
    for (const QString& f : served.formats()) data->setData(f, served.data(f));
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
    if (ctx.viewChartEditing || ctx.doc->Items().ChartWindow().frameOpen) return false;
    removeItem(ctx, item, true);
    ctx.doc->UpdateAllViews(CQorsDoc::kHintItems);
    ctx.doc->SetModifiedFlag();
    return true;
}

int EditPaste(ClipContext& ctx) {
    if (!ctx.doc) return 1;
    if (ctx.doc->Clipboard().ForwardToCellEdit(DocClipboard::kEditPaste)) return 0;
    return pasteData(ctx, clipboardOf(ctx).Data());
}

int EditPasteLink(ClipContext& ctx) {
    if (!ctx.doc) return 1;
    // Cells are never pasted as linked cells; a copied range comes as a
    // linked report object, files as linked files.
    return pasteData(ctx, clipboardOf(ctx).Data(), true);
}

PasteSpecialMembers PresetPasteSpecial(const QMimeData* data) {
    PasteSpecialMembers m;
    if (!data) return m;
    if (data->hasFormat(nativeFormat()))
        m.entries.push_back({nativeFormat(), LoadErrorText(str::kNativeClipboardEntry), false});
    if (data->hasText())
        m.entries.push_back(
            {QString::fromLatin1(kTextFormatName), LoadErrorText(str::kClipText), false});
    auto offer = [&](const QString& format, int text, bool linkable) {
        if (data->hasFormat(format)) m.entries.push_back({format, LoadErrorText(text), linkable});
    };
    offer(fmt(kGraphFormatName), str::kClipChart, false);
    offer(fmt(kOleFormatName), str::kClipEmbeddedObject, false);
    offer(fmt(qor::items::kEmbedSourceFormat), str::kClipReportObject, false);
    offer(fmt(qor::items::kLinkSourceFormat), str::kClipReportLink, true);
    QString suffix;
    if (!pictureBytes(data, &suffix).isEmpty())
        m.entries.push_back({QStringLiteral("image/png"), LoadErrorText(str::kClipPicture), false});
    if (!localFiles(data).isEmpty())
        m.entries.push_back(
            {QStringLiteral("text/uri-list"), LoadErrorText(str::kClipFiles), true});
    return m;
}

int ApplyPasteSpecial(ClipContext& ctx, const PasteSpecialMembers& m) {
    if (!ctx.doc || m.selected < 0 || size_t(m.selected) >= m.entries.size()) return 1;
    const PasteSpecialEntry& entry = m.entries[size_t(m.selected)];
    const bool link = entry.format == fmt(qor::items::kLinkSourceFormat) || m.selectionType == 1;
    if (link && !entry.linkable) {
        tell(str::kLinkFailed);
        return 1;
    }
    const QMimeData* source = clipboardOf(ctx).Data();
    QString suffix;
    const bool picture = entry.format == QLatin1String("image/png");
    const bool files = entry.format == QLatin1String("text/uri-list");
    if (!source || (!picture && !files && !source->hasFormat(entry.format)) ||
        (picture && pictureBytes(source, &suffix).isEmpty()) ||
        (files && localFiles(source).isEmpty())) {
        tell(link ? str::kLinkFailed : str::kPasteFailed);
        return 1;
    }
    // Only the chosen format goes on, so the document cannot prefer
    // another one; a report keeps its picture.
    QMimeData chosen;
    if (entry.format == QLatin1String(kTextFormatName))
        chosen.setText(source->text());
    else if (picture)
        chosen.setData(QStringLiteral("image/png"), pictureBytes(source, &suffix));
    else if (files)
        chosen.setUrls(source->urls());
    else
        chosen.setData(entry.format, source->data(entry.format));
    if (entry.format == fmt(qor::items::kEmbedSourceFormat) ||
        entry.format == fmt(qor::items::kLinkSourceFormat)) {
        const QByteArray png = pictureBytes(source, &suffix);
        if (!png.isEmpty()) chosen.setData(QStringLiteral("image/png"), png);
    }
    return pasteData(ctx, &chosen, link);
}

int EditPasteSpecial(ClipContext& ctx) {
    if (!ctx.doc) return 1;
    const PasteSpecialMembers preset = PresetPasteSpecial(clipboardOf(ctx).Data());
    if (preset.entries.empty()) return -1;
    const std::optional<PasteSpecialMembers> m = qor::Ask(preset);
    return m ? ApplyPasteSpecial(ctx, *m) : -1;
}

bool UpdateEditCopy(const CopyUpdateInput& in) {
    if (in.inPlaceFrame) return !in.inPlaceActiveItem;
    if (in.focusOnFormulaBar) return in.formulaBarHasSelection;
    return true;
}

bool UpdateEditPaste(const QMimeData* data) {
    if (!data) return false;
    return PasteKindOf(data, false) != PasteKind::None;
}

QUuid EmbeddedObjectClass(const QMimeData* data) {
    const QString descriptor = QString::fromLatin1(kObjectDescriptorMime);
    if (!data || !data->hasFormat(descriptor)) return {};
    // The descriptor starts with its size (32 bits) and the class id.
    const QByteArray b = data->data(descriptor);
    if (b.size() < 20) return {};
    const int at = 4;
    return QUuid(readLE32(b, at), readLE16(b, at + 4), readLE16(b, at + 6), uint8_t(b[at + 8]),
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
