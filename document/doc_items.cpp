// The document's item list: charts and embedded objects, drawn from the
// head of the list to its tail, stored in the "Contents" stream.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <algorithm>

#include "charts/cgraphitem.h"
#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "charts/coleitem.h"
#include "charts/contentsstream.h"
#include "charts/itemformats.h"
#include "charts/objectdata.h"
#include "document/doc_items.h"

#include "document/cqorsdoc.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/workfiles.h"
#include "platform/uiservices.h"

using qor::items::ChartDesc;
using qor::items::Rect;

namespace {

bool isChart(const CComItem* item) { return item && item->IsKindOf(&CGraphItem::classCGraphItem); }

constexpr int kMaxChartPageSpan = 12;
constexpr int kCascadeStep = 10;

}  // namespace

DocItems::DocItems(CQorsDoc& doc) : m_doc(doc) {}

DocItems::~DocItems() {
    // The copies made for opening embedded objects go with the document.
    // Asked only when there are some: a document that lives until the
    // program ends must not ask for folders whose names are already gone.
    if (m_openObjects.isEmpty()) return;
    const QString work = qor::WorkFolder();
    if (work.isEmpty()) return;
    for (auto it = m_openObjects.begin(); it != m_openObjects.end(); ++it)
        if (it.key().startsWith(work + QLatin1Char('/'))) QFile::remove(it.key());
}

void DocItems::Clear() {
    for (const std::shared_ptr<CComItem>& p : m_items) p->SetDocument(nullptr);
    m_items.clear();
    m_posCurrentChart = nullptr;
}

void DocItems::ResetState() {
    m_pInPlaceItem = nullptr;
    m_nChartCounter = 0;
    m_currentChartDesc = qor::items::ChartDesc();
    m_chartWindow.frameOpen = 0;
    m_chartWindow.windowOpen = m_chartWindow.changed = m_chartWindow.editing = 0;
}

void DocItems::UpdateItemViews(CComItem* item) {
    if (m_doc.ViewState().redrawSuspended) return;
    emit m_doc.itemChanged(item);
}

void DocItems::SetModifiedFlag(bool modified) { m_doc.SetModifiedFlag(modified); }

QSize DocItems::SheetSize() const { return QSize(m_doc.ViewState().sheetWidth, m_doc.ViewState().sheetHeight); }

std::shared_ptr<CComItem> DocItems::CreateComItem(int ole) {
    if (!m_doc.GetReport()) return nullptr;
    const bool formatState = m_doc.GetReport()->IsFormatState() != 0;
    if (!ole && formatState) {
        qor::messageBox(LoadErrorText(qor::str::kNoChartInFormatState), QString(),
                        qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return nullptr;
    }
    std::shared_ptr<CComItem> item;
    if (ole)
        item = std::make_shared<COleItem>();
    else
        item = std::make_shared<CGraphItem>();
    item->SetPage(formatState ? 0 : uint32_t(std::max(0, int(m_doc.CurrentPage()))));
    AddComItem(item);
    if (!ole) {
        m_posCurrentChart = item.get();
    }
    return item;
}

void DocItems::AddComItem(const std::shared_ptr<CComItem>& item) {
    if (!item || FindComItem(item.get())) return;
    m_items.push_back(item);
    item->SetDocument(this);
}

void DocItems::RemoveComItem(CComItem* item) {
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [item](const std::shared_ptr<CComItem>& p) { return p.get() == item; });
    if (it == m_items.end()) return;
    if (m_posCurrentChart == item) m_posCurrentChart = nullptr;
    if (m_pInPlaceItem == item) m_pInPlaceItem = nullptr;
    item->SetDocument(nullptr);
    // The list may hold the last reference: the item can be gone after this.
    m_items.erase(it);
}

void DocItems::RemoveComItemAndRefresh(CComItem* item) {
    const std::shared_ptr<CComItem> keep = GetComItemShared(item);
    if (!keep) return;
    RemoveComItem(item);
    m_doc.UpdateServerItems();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
}

void DocItems::CascadeComItem(CComItem* item) {
    if (!item) return;
    // Every step leaves the rectangle it had; at most one step per other
    // item can meet an equal one.
    for (size_t step = 0; step <= m_items.size(); ++step) {
        const qor::items::Rect r = item->GetRect();
        const bool clash = std::any_of(m_items.begin(), m_items.end(),
                                       [item, &r](const std::shared_ptr<CComItem>& other) {
                                           return other.get() != item && other->GetRect() == r;
                                       });
        if (!clash) return;
        item->SetPosition(item->GetPosition() + QPoint(kCascadeStep, kCascadeStep));
    }
}

DocItems::ItemPos DocItems::FindComItem(const CComItem* item) const {
    for (const std::shared_ptr<CComItem>& p : m_items)
        if (p.get() == item) return p.get();
    return nullptr;
}

DocItems::ItemPos DocItems::GetFirstComItemPos() const {
    return m_items.empty() ? nullptr : m_items.front().get();
}

DocItems::ItemPos DocItems::GetLastComItemPos() const {
    return m_items.empty() ? nullptr : m_items.back().get();
}

CComItem* DocItems::GetNextComItem(ItemPos& pos) const {
    CComItem* item = pos;
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [item](const std::shared_ptr<CComItem>& p) { return p.get() == item; });
    if (it == m_items.end()) {
        pos = nullptr;
        return nullptr;
    }
    ++it;
    pos = it == m_items.end() ? nullptr : it->get();
    return item;
}

CComItem* DocItems::GetPrevComItem(ItemPos& pos) const {
    CComItem* item = pos;
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [item](const std::shared_ptr<CComItem>& p) { return p.get() == item; });
    if (it == m_items.end()) {
        pos = nullptr;
        return nullptr;
    }
    pos = it == m_items.begin() ? nullptr : std::prev(it)->get();
    return item;
}

bool DocItems::MoveComItemToEnd(const CComItem* item, bool toTail) {
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [item](const std::shared_ptr<CComItem>& p) { return p.get() == item; });
    if (it == m_items.end()) return false;
    if (toTail) {
        if (std::next(it) == m_items.end()) return false;
        std::rotate(it, std::next(it), m_items.end());
    } else {
        if (it == m_items.begin()) return false;
        std::rotate(m_items.begin(), it, std::next(it));
    }
    return true;
}

std::shared_ptr<CComItem> DocItems::GetComItemShared(const CComItem* item) const {
    for (const std::shared_ptr<CComItem>& p : m_items)
        if (p.get() == item) return p;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Charts

int DocItems::CreateChart(const ChartDesc& desc) {
    m_currentChartDesc = desc;
    // Only the current chart itself changes: names repeat (pasted charts,
    // counters past 999), so another chart of the same name is never taken
    // for it.
    if (auto* chart = dynamic_cast<CGraphItem*>(m_posCurrentChart)) {
        chart->SetChartDesc(desc);
        UpdateItemViews(chart);
    }
    SetModifiedFlag();
    return 1;
}

bool DocItems::DeleteCurrentChart() {
    CComItem* current = m_posCurrentChart;
    if (!current) return false;
    const std::shared_ptr<CComItem> keep = GetComItemShared(current);
    if (!keep) {
        m_posCurrentChart = nullptr;
        return false;
    }
    auto it = std::find(m_items.begin(), m_items.end(), keep);
    CComItem* next = nullptr;
    for (auto n = std::next(it); n != m_items.end() && !next; ++n)
        if (isChart(n->get())) next = n->get();
    for (auto p = it; p != m_items.begin() && !next;) {
        --p;
        if (isChart(p->get())) next = p->get();
    }
    keep->Delete();
    RemoveComItem(current);  // in case the item's Delete left it listed
    m_posCurrentChart = next;
    if (auto* chart = dynamic_cast<CGraphItem*>(next)) m_currentChartDesc = chart->GetChartDesc();
    SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return next != nullptr;
}

int DocItems::GetChartCount() const {
    return int(std::count_if(m_items.begin(), m_items.end(),
                             [](const std::shared_ptr<CComItem>& p) { return isChart(p.get()); }));
}

void DocItems::GetChartListInfo(int* count, ItemPos* pos) const {
    if (count) *count = GetChartCount();
    if (pos) *pos = m_posCurrentChart;
}

bool DocItems::GetChartName(ItemPos pos, QString* name) const {
    const auto* chart = dynamic_cast<const CGraphItem*>(FindComItem(pos));
    if (!chart) return false;
    if (name) *name = chart->GetChartDesc().GetText(ChartDesc::kNameText);
    return true;
}

bool DocItems::SetCurrentChart(ItemPos pos) {
    auto* chart = dynamic_cast<CGraphItem*>(FindComItem(pos));
    if (!chart) return false;
    m_posCurrentChart = chart;
    m_currentChartDesc = chart->GetChartDesc();
    return true;
}

int DocItems::GetChartPageSpan(ChartDesc* desc, int* pages) const {
    if (!m_doc.GetReport() || m_doc.GetReport()->GetPageCount() == 0) return 0;
    ChartDesc d = m_currentChartDesc;
    if (const auto* chart = dynamic_cast<const CGraphItem*>(m_posCurrentChart))
        d = chart->GetChartDesc();
    if (desc) *desc = d;
    if (pages)
        *pages = d.IsWholeReport() ? std::min(m_doc.GetReport()->GetPageCount(), kMaxChartPageSpan) : 1;
    return 1;
}

bool DocItems::GetChartDataFromArea(const ChartDesc& desc, int pages,
                                    std::vector<ChartCellRecord>* cells, QStringList* pageLabels) {
    if (cells) cells->clear();
    if (pageLabels) pageLabels->clear();
    if (!m_doc.GetReport() || m_doc.GetReport()->IsFormatState() || m_doc.GetReport()->GetPageCount() == 0) return false;
    if (!chartAreaInTable(desc)) {
        qor::messageBox(LoadErrorText(qor::str::kChartAreaWrong), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        return false;
    }
    // The cells are read the way the chart renderer reads them.
    qor::charts::ReportChartSource source(*m_doc.GetReport());
    qor::charts::ChartData data;
    if (!qor::charts::ReadChartData(desc, source, std::max(1, int(m_doc.CurrentPage())), pages, &data))
        return false;
    if (cells) {
        cells->reserve(data.cells.size() + 1);
        for (const qor::charts::ChartCell& c : data.cells)
            cells->push_back(ChartCellRecord{c.kind == 1 ? 1 : 0, c.text, c.value});
        cells->push_back(ChartCellRecord{});
    }
    if (pageLabels) *pageLabels = data.pageLabels;
    return true;
}

bool DocItems::chartAreaInTable(const ChartDesc& desc) const {
    const CellArea a = desc.GetSourceArea();
    const int r1 = std::min(a.first.row, a.last.row), r2 = std::max(a.first.row, a.last.row);
    const int c1 = std::min(a.first.col, a.last.col), c2 = std::max(a.first.col, a.last.col);
    return r1 >= 1 && c1 >= 1 && r2 <= m_doc.LastShownRow() + 1 && c2 <= m_doc.LastShownCol() + 1;
}

int DocItems::ChartItemPage(const CComItem& item) const {
    // The cells of the item's own page; a format item follows the page on
    // screen. The description's stored page only says where the chart was
    // defined.
    return item.GetPage() > 0 ? int(item.GetPage()) : std::max(1, int(m_doc.CurrentPage()));
}

bool DocItems::ReadChartItemData(const CGraphItem& chart, ChartDesc* desc,
                                 qor::charts::ChartData* data) const {
    if (!m_doc.GetReport() || m_doc.GetReport()->GetPageCount() == 0) return false;
    *desc = chart.GetChartDesc();
    if (!chartAreaInTable(*desc)) return false;
    const int page = ChartItemPage(chart);
    desc->SetSourcePage(uint32_t(page));
    qor::charts::ReportChartSource cells(*m_doc.GetReport());
    const int pages = qor::charts::ChartPageSpan(*desc, m_doc.GetReport()->GetPageCount());
    return qor::charts::ReadChartData(*desc, cells, page, pages, data);
}

bool DocItems::RefreshChartPicture(CComItem* item, bool force) {
    auto* chart = dynamic_cast<CGraphItem*>(item);
    if (!chart) return false;
    const Rect r = chart->GetRect();
    const QSize size(std::abs(r.width()), std::abs(r.height()));
    const CGraphItem::PictureSource source{m_doc.ContentGeneration(), ChartItemPage(*chart), size};
    if (!force && chart->GetPicture() && chart->GetPictureSource() == source) return true;
    ChartDesc desc;
    qor::charts::ChartData data;
    // Whatever cannot be drawn shows as an empty frame, never as an old
    // picture of other cells.
    if (size.width() < 1 || size.height() < 1 || !ReadChartItemData(*chart, &desc, &data)) {
        chart->SetPicture(nullptr);
        return false;
    }
    // Drawn from a copy: painting never changes what the item stores.
    chart->SetPicture(qor::charts::RenderChartPicture(&desc, data, size), source);
    return true;
}

std::shared_ptr<CComItem> DocItems::PasteChartItem(const QByteArray& record, const QPoint* at,
                                                   QString* error) {
    auto fail = [error](const QString& why) -> std::shared_ptr<CComItem> {
        if (error) *error = why;
        return nullptr;
    };
    if (!m_doc.GetReport()) return fail(LoadErrorText(qor::str::kNoReportOpen));
    std::shared_ptr<CComItem> item = qor::items::ReadItemObject(record, error);
    if (!item) return nullptr;
    auto* chart = dynamic_cast<CGraphItem*>(item.get());
    if (!chart) return fail(LoadErrorText(qor::str::kPasteFailed));
    ChartDesc desc = chart->GetChartDesc();
    desc.SetText(ChartDesc::kNameText, QStringLiteral("GRAPH_%1").arg(m_nChartCounter));
    ++m_nChartCounter;
    chart->SetChartDesc(desc);
    // The page comes from another report or program: kept only when it
    // exists here.
    chart->SetPage(PastedItemPage(chart->GetPage(), false));
    if (at) chart->SetPosition(*at);
    AddComItem(item);
    CascadeComItem(chart);
    SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return item;
}

std::shared_ptr<CComItem> DocItems::InsertObjectFromFile(const QString& path, QPoint at, bool link,
                                                         bool icon, QString* error) {
    auto fail = [error](const QString& why) -> std::shared_ptr<CComItem> {
        if (error) *error = why;
        return nullptr;
    };
    if (!m_doc.GetReport()) return fail(LoadErrorText(qor::str::kNoReportOpen));
    const QString suffix = QFileInfo(path).suffix().toUpper();
    if (suffix == QLatin1String("REP") || suffix == QLatin1String("RBK"))
        return fail(LoadErrorText(qor::str::kReportAsObject));
    // The file is read first: the item is added only once its object is made.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(LoadErrorText(qor::str::kCannotReadFileWhy).arg(path, file.errorString()));
    if (file.size() > qor::items::kMaxObjectBytes)
        return fail(
            LoadErrorText(qor::str::kObjectFileTooLarge).arg(path).arg(qor::items::kMaxObjectBytes / (1024 * 1024)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(LoadErrorText(qor::str::kCannotReadFileWhy).arg(path, file.errorString()));
    NewObject o;
    o.bytes = bytes;
    o.name = path;
    o.link = link;
    o.icon = icon;
    return InsertObject(o, at, error);
}

uint32_t DocItems::nextEmbeddingNumber() const {
    uint32_t last = 0;
    for (const std::shared_ptr<CComItem>& p : m_items)
        if (const auto* o = dynamic_cast<const COleItem*>(p.get()))
            last = std::max(last, o->GetClient().embedding);
    return last + 1;
}

std::shared_ptr<CComItem> DocItems::InsertObject(const NewObject& o, QPoint at, QString* error) {
    auto fail = [error](const QString& why) -> std::shared_ptr<CComItem> {
        if (error) *error = why;
        return nullptr;
    };
    if (!m_doc.GetReport()) return fail(LoadErrorText(qor::str::kNoReportOpen));
    if (o.bytes.size() > qor::items::kMaxObjectBytes)
        return fail(LoadErrorText(qor::str::kObjectTooLarge).arg(qor::items::kMaxObjectBytes / (1024 * 1024)));
    if (!o.link && o.bytes.isEmpty()) return fail(LoadErrorText(qor::str::kObjectEmpty));
    QImage picture;
    if (!o.picture.isEmpty() && !o.icon) picture = QImage::fromData(o.picture);
    if (picture.width() > qor::items::kMaxObjectPicture ||
        picture.height() > qor::items::kMaxObjectPicture)
        picture = picture.scaled(qor::items::kMaxObjectPicture, qor::items::kMaxObjectPicture,
                                 Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (picture.isNull()) {
        // A link without a picture of its own is shown as its file is now.
        QByteArray bytes = o.bytes;
        if (o.link && bytes.isEmpty()) {
            QFile file(o.name);
            if (file.open(QIODevice::ReadOnly) && file.size() <= qor::items::kMaxObjectBytes)
                bytes = file.readAll();
        }
        picture = qor::items::ObjectPicture(bytes, o.name, o.icon, o.classId);
    }
    qor::items::OleClientRecord client;
    client.itemType =
        o.link ? qor::items::OleClientRecord::kLink : qor::items::OleClientRecord::kEmbedded;
    client.drawAspect = o.icon ? qor::items::OleClientRecord::kAspectIcon
                               : qor::items::OleClientRecord::kAspectContent;
    client.classId = o.classId.isEmpty() ? qor::items::ObjectClassOf(o.bytes, o.name) : o.classId;
    client.presentation = qor::items::PngBytes(picture);
    client.cachedExtent = qor::items::PixelsToHimetric(picture.size());
    if (o.link)
        client.linkSource = QFileInfo(o.name).absoluteFilePath();
    else
        client.embedding = nextEmbeddingNumber();
    std::shared_ptr<CComItem> item = CreateComItem(1);
    auto* object = dynamic_cast<COleItem*>(item.get());
    if (!object) return fail(LoadErrorText(qor::str::kCannotCreateObject));
    object->SetClient(client);
    if (!o.link) object->SetObjectData(o.bytes);
    object->SetSizeFixed(true);
    object->SetPosition(at);
    object->SetSize(picture.width(), picture.height());
    CascadeComItem(object);
    SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return item;
}

uint32_t DocItems::PastedItemPage(uint32_t page, bool keepOwnPage) const {
    if (!m_doc.GetReport()) return 0;
    const int count = m_doc.GetReport()->GetPageCount();
    // A page from another report or program counts only when it exists here.
    const bool exists = page >= 1 && int64_t(page) <= count;
    if (m_doc.GetReport()->IsFormatState()) return exists ? page : 0;
    if (keepOwnPage && exists) return page;
    return uint32_t(std::max(0, int(m_doc.CurrentPage())));
}

std::shared_ptr<CComItem> DocItems::PasteObjectItem(const QByteArray& payload, const QPoint* at,
                                                    bool keepOwnPage, QString* error) {
    auto fail = [error](const QString& why) -> std::shared_ptr<CComItem> {
        if (error) *error = why;
        return nullptr;
    };
    if (!m_doc.GetReport()) return fail(LoadErrorText(qor::str::kNoReportOpen));
    std::shared_ptr<COleItem> object = COleItem::FromClipboardData(payload, error);
    if (!object) return nullptr;
    qor::items::OleClientRecord client = object->GetClient();
    if (client.itemType != qor::items::OleClientRecord::kLink) {
        if (object->GetObjectData().isEmpty() && client.presentation.isEmpty())
            return fail(LoadErrorText(qor::str::kPasteFailed));
        // Its bytes get a storage of their own here.
        client.embedding = object->GetObjectData().isEmpty() ? 0 : nextEmbeddingNumber();
    }
    object->SetClient(client);
    object->SetClientState(qor::items::OleClientRecord::kLoaded);
    object->SetPage(PastedItemPage(object->GetPage(), keepOwnPage));
    if (at) object->SetPosition(*at);
    AddComItem(object);
    CascadeComItem(object.get());
    SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return object;
}

QByteArray DocItems::SaveEmbeddingCopy(QString* error) const {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return QByteArray();
    };
    // The report as its file holds it: changes not yet saved are not part
    // of a copy another report embeds.
    if (!m_doc.GetReport() || m_doc.GetPathName().isEmpty())
        return fail(LoadErrorText(qor::str::kSaveBeforeMapping));
    if (m_doc.IsModified()) return fail(LoadErrorText(qor::str::kSaveBeforeMapping));
    QFile file(m_doc.GetPathName());
    if (!file.open(QIODevice::ReadOnly)) return fail(StatusText(Status::ReadError));
    if (file.size() > qor::items::kMaxObjectBytes)
        return fail(LoadErrorText(qor::str::kFileTooLarge));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.isEmpty())
        return fail(StatusText(Status::ReadError));
    return bytes;
}

void DocItems::WriteObjectStorages() {
    CReportFile* file = m_doc.GetReport() ? m_doc.GetReport()->GetReportFile() : nullptr;
    if (!file) return;
    QSet<QString> kept;
    for (const std::shared_ptr<CComItem>& p : m_items) {
        const auto* o = dynamic_cast<const COleItem*>(p.get());
        if (!o || o->GetClient().itemType != qor::items::OleClientRecord::kEmbedded ||
            o->GetClient().embedding == 0)
            continue;
        const QString storage = QStringLiteral("Embedding %1").arg(o->GetClient().embedding);
        kept.insert(storage.toLower());
        // An object whose bytes never came in (a damaged storage) keeps what
        // the file holds.
        if (!o->GetObjectData().isEmpty())
            file->SetDocumentStream(storage + QStringLiteral("/Contents"), o->GetObjectData());
    }
    // Storages of objects that are gone go with the next save.
    for (const qor::CompoundFile::Entry& e : file->Entries())
        if (e.isStorage && !e.path.contains(u'/') && e.name.startsWith(QLatin1String("Embedding ")) &&
            !kept.contains(e.name.toLower()))
            file->RemoveDocumentEntry(e.name);
}

void DocItems::ReadObjectStorages() {
    CReportFile* file = m_doc.GetReport() ? m_doc.GetReport()->GetReportFile() : nullptr;
    if (!file) return;
    for (const std::shared_ptr<CComItem>& p : m_items) {
        auto* o = dynamic_cast<COleItem*>(p.get());
        // A linked file is shown as it is now; a missing one keeps the
        // picture stored with the report.
        if (o && o->GetClient().itemType == qor::items::OleClientRecord::kLink) {
            RefreshLinkedObject(o);
            continue;
        }
        if (!o || o->GetClient().embedding == 0) continue;
        o->SetObjectData(file->DocumentStream(
            QStringLiteral("Embedding %1/Contents").arg(o->GetClient().embedding)));
    }
}

namespace {

// The picture, class and extent of an object made anew from its bytes.
void showObjectBytes(COleItem* o, const QByteArray& bytes, const QString& fileName) {
    qor::items::OleClientRecord client = o->GetClient();
    const bool icon = client.drawAspect == qor::items::OleClientRecord::kAspectIcon;
    // A report is drawn by its viewer; where none is registered, or the
    // bytes do not open, it keeps the picture of its range it has rather
    // than a placeholder.
    QImage picture = icon ? QImage() : qor::items::ViewerPicture(client.classId, bytes);
    if (picture.isNull() && client.classId == QLatin1String(qor::items::kReportObjectClass) &&
        !client.presentation.isEmpty())
        return;
    if (picture.isNull()) picture = qor::items::ObjectPicture(bytes, fileName, icon);
    client.presentation = qor::items::PngBytes(picture);
    client.cachedExtent = qor::items::PixelsToHimetric(picture.size());
    o->SetClient(client);
}

}  // namespace

bool DocItems::OpenObject(CComItem* item, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    auto* o = dynamic_cast<COleItem*>(item);
    if (!o) return fail(LoadErrorText(qor::str::kNoObjectChosen));
    const qor::items::OleClientRecord& c = o->GetClient();
    QString path;
    if (c.itemType == qor::items::OleClientRecord::kLink) {
        path = c.linkSource;
        if (!QFileInfo(path).isFile()) return fail(LoadErrorText(qor::str::kLinkedFileMissing).arg(path));
    } else {
        if (o->GetObjectData().isEmpty()) return fail(LoadErrorText(qor::str::kObjectEmpty));
        // Our own reports open as reports, whatever the desktop's types say.
        const QString suffix = c.classId == QLatin1String(qor::items::kReportObjectClass)
                                   ? QStringLiteral("rep")
                                   : QMimeDatabase().mimeTypeForName(c.classId).preferredSuffix();
        // Only into the user's private work folder: with none, the content
        // is not written anywhere others could read or swap it.
        const QString work = qor::WorkFolder();
        if (work.isEmpty()) return fail(LoadErrorText(qor::str::kObjectCopyNoPrivateFolder));
        path = QStringLiteral("%1/object-%2-%3%4")
                   .arg(work)
                   .arg(QCoreApplication::applicationPid())
                   .arg(c.embedding)
                   .arg(suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix);
        QSaveFile copy(path);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(o->GetObjectData()) < 0 || !copy.commit())
            return fail(LoadErrorText(qor::str::kObjectCopyNotWritten).arg(path, copy.errorString()));
    }
    if (!m_objectWatcher) {
        m_objectWatcher = std::make_unique<QFileSystemWatcher>();
        QObject::connect(m_objectWatcher.get(), &QFileSystemWatcher::fileChanged,
                         m_objectWatcher.get(),
                [this](const QString& changed) { ObjectFileChanged(changed); });
    }
    m_openObjects.insert(path, item);
    m_objectWatcher->addPath(path);
    o->SetClientState(qor::items::OleClientRecord::kOpen);
    if (!qor::openInDesktop(path)) return fail(LoadErrorText(qor::str::kNoProgramToOpen).arg(path));
    return true;
}

bool DocItems::ObjectFileChanged(const QString& path) {
    CComItem* item = m_openObjects.value(path);
    auto* o = FindComItem(item) ? dynamic_cast<COleItem*>(item) : nullptr;
    if (!o) {
        m_openObjects.remove(path);
        return false;
    }
    // Programs that save by replacing the file drop it from the watch.
    if (m_objectWatcher && !m_objectWatcher->files().contains(path)) m_objectWatcher->addPath(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > qor::items::kMaxObjectBytes) return false;
    const QByteArray bytes = file.readAll();
    if (o->GetClient().itemType != qor::items::OleClientRecord::kLink)
        return TakeObjectData(o, bytes, path);
    showObjectBytes(o, bytes, path);
    SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool DocItems::TakeObjectData(CComItem* item, const QByteArray& bytes, const QString& fileName) {
    auto* o = FindComItem(item) ? dynamic_cast<COleItem*>(item) : nullptr;
    if (!o || o->GetClient().itemType == qor::items::OleClientRecord::kLink) return false;
    if (bytes.isEmpty() || bytes.size() > qor::items::kMaxObjectBytes || bytes == o->GetObjectData())
        return false;
    o->SetObjectData(bytes);
    showObjectBytes(o, bytes, fileName);
    SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool DocItems::RefreshLinkedObject(CComItem* item) {
    auto* o = dynamic_cast<COleItem*>(item);
    if (!o || o->GetClient().itemType != qor::items::OleClientRecord::kLink) return false;
    QFile file(o->GetClient().linkSource);
    if (!file.open(QIODevice::ReadOnly) || file.size() > qor::items::kMaxObjectBytes) return false;
    showObjectBytes(o, file.readAll(), o->GetClient().linkSource);
    m_doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

// ---------------------------------------------------------------------------
// Items inside a cleared area

void DocItems::RemoveChartsInArea(const CellArea& area) {
    if (m_items.empty() || !m_doc.GetReport()) return;
    const qor::items::Rect box = m_doc.CellRangeToSheetRect(area);
    const uint32_t page = m_doc.GetReport()->IsFormatState() ? 0 : uint32_t(std::max(0, int(m_doc.CurrentPage())));
    std::vector<std::shared_ptr<CComItem>> inside;
    for (const std::shared_ptr<CComItem>& p : m_items) {
        if (!isChart(p.get()) || p->GetPage() != page) continue;
        const qor::items::Rect r = p->GetRect();
        if (r.left >= box.left && r.top >= box.top && r.right <= box.right &&
            r.bottom <= box.bottom)
            inside.push_back(p);
    }
    for (const std::shared_ptr<CComItem>& p : inside) {
        p->Delete();
        RemoveComItem(p.get());
    }
}

// ---------------------------------------------------------------------------
// "Contents"

QByteArray DocItems::SerializeItems() const { return qor::items::WriteContents(m_items); }

bool DocItems::LoadItems(const QByteArray& contents, QString* error) {
    qor::items::ItemList items;
    if (!contents.isEmpty() && !qor::items::ReadContents(contents, &items, error)) return false;
    Clear();
    for (const std::shared_ptr<CComItem>& p : items) AddComItem(p);
    for (const std::shared_ptr<CComItem>& p : m_items)
        if (isChart(p.get())) {
            SetCurrentChart(p.get());
            break;
        }
    return true;
}
