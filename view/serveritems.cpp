#include "view/serveritems.h"

#include <QDir>
#include <QMimeData>
#include <QFile>
#include <algorithm>

#include "charts/itemformats.h"
#include "charts/objectdata.h"
#include "engine/creporthandle.h"
#include "engine/textutil.h"
#include "engine/workfiles.h"
#include "view/cqorsview.h"

namespace qor::view {

QImage RenderCellRange(const CQorsDoc& doc, int left, int top, int right, int bottom, float scale) {
    if (!doc.IsOpen() || left > right || top > bottom || left < 0 || top < 0) return {};
    const DocSheetSource source(&doc);
    SheetGeometry geo(&source, scale);
    geo.Refresh();
    const int r1 = geo.ViewRow(top), r2 = geo.ViewRow(bottom);
    const int c1 = geo.ViewColumn(left), c2 = geo.ViewColumn(right);
    const QSize size(geo.GetColumnSpan(c1, c2), geo.GetRowSpan(r1, r2));
    // A block of hidden lines, or one past the sheet, has nothing to show.
    if (size.width() <= 0 || size.height() <= 0) return {};
    // A picture of a whole large sheet is more than anyone pastes.
    if (size.width() > kMaxRangePicture || size.height() > kMaxRangePicture ||
        int64_t(size.width()) * size.height() > int64_t(kMaxRangePicture) * 2048)
        return {};
    // No headers: the block's first cell is the image's corner.
    geo.SetHeaders(0, 0);
    geo.SetFirstCell(r1, c1);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintRequest req;
    req.doc = &doc;
    req.geometry = &geo;
    req.clientSize = size;
    req.mode = PaintMode::kImage;
    CQorsDoc* mutableDoc = const_cast<CQorsDoc*>(&doc);
    req.refreshItem = [mutableDoc](CComItem* item) { mutableDoc->Items().RefreshChartPicture(item); };
    PaintSheet(painter, req);
    return image;
}

QImage ReportObjectPicture(const QByteArray& bytes) {
    // One level deep: a report that links to itself, or to one that links
    // back, would otherwise open without end.
    static int depth = 0;
    if (depth > 0 || bytes.isEmpty()) return {};
    ++depth;
    QImage image;
    {
        // A working file of this process's own: the work folder's sweep
        // leaves it alone while we live, and removes it if we die here.
        QString path;
        const int fd = qor::CreateWorkFile(QStringLiteral(".rep"), &path);
        if (fd >= 0) {
            QFile file;
            const bool written = file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
                                 file.write(bytes) == bytes.size() && file.flush();
            file.close();
            if (written) {
                CQorsDoc doc;
                if (doc.Files().OnOpenDocument(path)) {
                    image = COlesvrItem(&doc).Render();
                    doc.Files().OnCloseDocument();
                }
            }
            QFile::remove(path);
        }
    }
    --depth;
    return image;
}

void InstallReportViewer() {
    qor::items::RegisterObjectViewer(QString::fromLatin1(qor::items::kReportObjectClass),
                                     &ReportObjectPicture);
}

QString MakeLinkName(int page, int left, int top, int right, int bottom) {
    QString range;
    FormatAreaRef(left, top, right, bottom, &range);
    return QStringLiteral("Page%1!%2").arg(page).arg(range);
}

bool ParseLinkName(const QString& name, int* page, int* left, int* top, int* right, int* bottom) {
    const int bang = name.indexOf(u'!');
    if (bang < 0) return false;
    // The page number follows "Page" before the first "!", the range
    // follows the last.
    const QString head = name.left(bang);
    if (!head.startsWith(QLatin1String("Page"), Qt::CaseInsensitive)) return false;
    const QString digits = head.mid(4);
    if (digits.isEmpty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return false;
    const int n = digits.toInt();
    if (n < 1) return false;
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    if (!ParseAreaRef(name.mid(name.lastIndexOf(u'!') + 1), &c1, &r1, &c2, &r2)) return false;
    *page = n;
    *left = std::min(c1, c2);
    *right = std::max(c1, c2);
    *top = std::min(r1, r2);
    *bottom = std::max(r1, r2);
    return true;
}

}  // namespace qor::view

COlesvrItem::COlesvrItem(CQorsDoc* doc) : m_doc(doc) {
    if (m_doc) m_doc->AddServerItem(this);
}

COlesvrItem::~COlesvrItem() {
    if (m_doc) m_doc->RemoveServerItem(this);
}

void COlesvrItem::SetRange(int left, int top, int right, int bottom) {
    m_left = std::max(0, std::min(left, right));
    m_right = std::max(0, std::max(left, right));
    m_top = std::max(0, std::min(top, bottom));
    m_bottom = std::max(0, std::max(top, bottom));
}

void COlesvrItem::ClampedRange(int* left, int* top, int* right, int* bottom) const {
    int32_t rows = 0, cols = 0;
    // The page's table: its own lines with the variable area's in use.
    if (m_doc && m_doc->IsOpen()) m_doc->GetPageTableSize(&rows, &cols);
    auto fit = [](int lo, int hi, int count, int* outLo, int* outHi) {
        const int last = std::max(0, count - 1);
        if (hi > last) {
            lo = std::max(0, lo - (hi - last));
            hi = last;
        }
        *outLo = std::min(lo, hi);
        *outHi = hi;
    };
    fit(m_left, m_right, cols, left, right);
    fit(m_top, m_bottom, rows, top, bottom);
}

QSize COlesvrItem::GetExtent() const {
    int l = 0, t = 0, r = 0, b = 0;
    ClampedRange(&l, &t, &r, &b);
    if (!m_doc) return {};
    const qor::items::Rect px = m_doc->CellRangeToSheetRect(CellArea::area(t, l, b, r));
    return qor::items::PixelsToHimetric(QSize(std::abs(px.width()), std::abs(px.height())));
}

QImage COlesvrItem::Render() const {
    if (!m_doc) return {};
    int l = 0, t = 0, r = 0, b = 0;
    ClampedRange(&l, &t, &r, &b);
    // Drawn as the report's first window shows it.
    const std::vector<CQorsView*> views = SheetViewsOf(m_doc);
    if (!views.empty()) return views.front()->Items().DrawCellRange(l, t, r, b);
    return qor::view::RenderCellRange(*m_doc, l, t, r, b);
}

void COlesvrItem::AddClipboardFormats(QMimeData* data) const {
    if (!data || !m_doc) return;
    const QImage image = Render();
    if (!image.isNull()) {
        const QByteArray png = qor::items::PngBytes(image);
        if (!png.isEmpty()) data->setData(QStringLiteral("image/png"), png);
    }
    const QByteArray report = m_doc->Items().SaveEmbeddingCopy();
    if (!report.isEmpty())
        data->setData(QString::fromLatin1(qor::items::kEmbedSourceFormat), report);
    data->setData(QString::fromLatin1(qor::items::kObjectDescriptorMime),
                  qor::items::ObjectDescriptor(GetExtent()));
}

void COlesvrItem::OnDocumentUpdate(const QObject*, int, bool) { ++m_updates; }

COleLinkItem::COleLinkItem(CQorsDoc* doc, const QString& name) : COlesvrItem(doc) {
    m_page = doc ? std::max(1, int(doc->ViewState().curPage)) : 1;
    int page = 0, l = 0, t = 0, r = 0, b = 0;
    m_accepted = qor::view::ParseLinkName(name, &page, &l, &t, &r, &b);
    if (!m_accepted) return;
    m_page = page;
    SetRange(l, t, r, b);
}

COleLinkItem::COleLinkItem(CQorsDoc* doc, int left, int top, int right, int bottom)
    : COlesvrItem(doc) {
    m_page = doc ? std::max(1, int(doc->ViewState().curPage)) : 1;
    SetRange(left, top, right, bottom);
}

QString COleLinkItem::GetItemName() const {
    return qor::view::MakeLinkName(m_page, m_left, m_top, m_right, m_bottom);
}

void COleLinkItem::AddClipboardFormats(QMimeData* data) const {
    COlesvrItem::AddClipboardFormats(data);
    if (!data || !m_doc || m_doc->GetPathName().isEmpty()) return;
    data->setData(QString::fromLatin1(qor::items::kLinkSourceFormat),
                  qor::items::WriteLinkSource(m_doc->GetPathName(), GetItemName()));
}
