#include "print/print_job.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <algorithm>
#include <cmath>
#include <optional>

#include "charts/ccomitem.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/uifont.h"
#include "platform/uiservices.h"
#include "print/paint_cells.h"
#include "print/paint_style.h"

namespace qor::view {

namespace {

bool inRange(int v, int first, int last) { return v >= first && v <= last; }

bool tooSmall(const PageRect& r) { return r.bottom < r.top + 30 || r.right < r.left + 60; }

QRect toQRect(const items::Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

std::optional<QPageLayout>& pageSetupDefaults() {
    static std::optional<QPageLayout> layout;
    return layout;
}

}  // namespace

void SetPageSetupDefaults(const QPageLayout& layout) {
    if (layout.isValid()) pageSetupDefaults() = layout;
}

void ClearPageSetupDefaults() { pageSetupDefaults().reset(); }

const std::optional<QPageLayout>& PageSetupDefaults() { return pageSetupDefaults(); }

PageRect PrintableAreaFor(const QPageLayout& layout, const PageSetup& report) {
    const QPageLayout points = [&] {
        QPageLayout l = layout;
        l.setUnits(QPageLayout::Point);
        return l;
    }();
    const QRectF paper = points.fullRectPoints();
    const QMarginsF setup = points.margins();
    const QMarginsF reach = points.minimumMargins();
    // What is kept free beyond the report's own margin on one side.
    auto side = [](int reportMargin, double setupMargin, double minimum) {
        if (reportMargin > 0) return std::max(0, int(std::ceil(minimum)) - reportMargin);
        const int m = int(std::lround(setupMargin));
        return m > 0 ? m : std::max(kDefaultPageMargin, int(std::ceil(minimum)));
    };
    const int left = side(report.marginLeft, setup.left(), reach.left());
    const int top = side(report.marginTop, setup.top(), reach.top());
    const int right = side(report.marginRight, setup.right(), reach.right());
    const int bottom = side(report.marginBottom, setup.bottom(), reach.bottom());
    const int width = int(std::floor(paper.width())), height = int(std::floor(paper.height()));
    return {left, top, width - right, height - bottom};
}

namespace {

// Whether path lies in folder (or is it), links resolved where they exist.
bool isWithin(const QString& path, const QString& folder) {
    if (path.isEmpty() || folder.isEmpty()) return false;
    auto clean = [](const QString& p) {
        const QFileInfo info(p);
        const QString real = info.canonicalFilePath();
        return QDir::cleanPath(real.isEmpty() ? info.absoluteFilePath() : real);
    };
    const QString p = clean(path), f = clean(folder);
    return p == f || p.startsWith(f + u'/');
}

}  // namespace

QString SuggestedPdfPath(const QString& reportPath, const QString& lastOutput, const QString& home,
                         const QString& workFolder) {
    if (!reportPath.isEmpty() && !isWithin(reportPath, workFolder)) {
        const QFileInfo report(reportPath);
        return QDir(report.absolutePath()).filePath(report.completeBaseName() + QStringLiteral(".pdf"));
    }
    QString folder = home;
    if (!lastOutput.isEmpty()) {
        const QString last =
            QFileInfo(lastOutput).isDir() ? lastOutput : QFileInfo(lastOutput).absolutePath();
        if (!isWithin(last, workFolder)) folder = last;
    }
    return QDir(folder).filePath(LoadErrorText(str::kUntitled) + QStringLiteral(".pdf"));
}

PrintDriver::PrintDriver(CQorsDoc& doc, const PrintJobSettings& settings)
    : m_doc(doc), m_settings(settings), m_source(&doc) {
    m_settings.copies = std::max(1, m_settings.copies);
    if (!(m_settings.viewScale > 0.0f)) m_settings.viewScale = kDefaultViewScale;
    if (const CReportHandle* report = doc.GetReport()) m_rememberedPage = report->GetCurPage();
    // Every page of the report only exists in data state; in format state
    // the one format page is printed.
    if (!doc.IsDataState()) m_settings.allReportPages = false;
    m_geo.SetSource(&m_source);
    refreshPage();
}

PrintDriver::~PrintDriver() { End(); }

void PrintDriver::End() {
    if (!m_began) return;
    m_began = false;
    const CReportHandle* report = m_doc.GetReport();
    if (m_settings.allReportPages && report && m_rememberedPage > 0 &&
        report->GetCurPage() != m_rememberedPage)
        m_doc.SetCurrentPage(m_rememberedPage);
}

void PrintDriver::tell(int message) const {
    qor::messageBox(LoadErrorText(message), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
}

void PrintDriver::refreshPage() {
    m_geo.SetScale(m_doc.PageSetup().scale);
    m_geo.SetHeaders(0, 0);
    m_geo.SetFirstCell(0, 0);
    m_geo.Refresh();
    m_setup = PageSetupFromDocument(m_doc);
    // Invalid title ranges were reported by the layout; here they are only
    // left out, once per page, without asking again.
    m_setup.titles = ValidatePrintTitles(m_geo, m_setup.titles);
    m_pageSetupScale = m_setup.printScale;
    PageSetupBlock block;
    if (CReportHandle* report = m_doc.GetReport(); report && report->GetPageSetup(&block) == 0)
        m_pageSetupScale = block.scale;
}

std::optional<int> PrintDriver::layoutPages() const {
    return ComputePageLayout(m_geo, m_setup, m_printable).pages;
}

items::Rect PrintDriver::itemPoints(const CComItem& item) const {
    const items::Rect r = item.GetRect();
    const double f = double(m_setup.printScale) / double(m_settings.viewScale);
    auto conv = [f](int v) { return int(std::trunc(v * f)); };
    return {conv(r.left), conv(r.top), conv(r.right), conv(r.bottom)};
}

std::optional<int> PrintDriver::objectPages() const {
    const PageRect inner = m_inner;
    if (inner.width() <= 0 || inner.height() <= 0 || !m_settings.objectOnly) return std::nullopt;
    const items::Rect r = itemPoints(*m_settings.objectOnly);
    // Whole pages the item needs: an item exactly one page wide takes one
    // page, not one and an empty one.
    const int across = std::max(1, (std::abs(r.width()) + inner.width() - 1) / inner.width());
    const int down = std::max(1, (std::abs(r.height()) + inner.height() - 1) / inner.height());
    return across * down;
}

std::optional<int> PrintDriver::Begin(const PageRect& printable) {
    m_printable = printable;
    m_began = true;
    m_jobPages = 0;
    m_reportPageCounts.clear();
    CReportHandle* report = m_doc.GetReport();
    if (!report) return std::nullopt;

    // The first validation of a job tells the user about titles it drops.
    {
        std::vector<int> messages;
        ValidatePrintTitles(m_geo, PageSetupFromDocument(m_doc).titles, &messages);
        for (int id : messages) tell(id);
    }

    const LayoutResult layout = ComputePageLayout(m_geo, m_setup, m_printable);
    m_inner = layout.body;
    // A page too small for anything is told as such, before the layout's
    // own complaint about a count it could not make.
    if (tooSmall(m_inner) && !m_settings.objectOnly) {
        tell(str::kCannotPrintPaper);
        return std::nullopt;
    }
    std::optional<int> n = layout.pages;
    if (!n && !m_settings.objectOnly) {
        tell(layout.message);
        return std::nullopt;
    }
    if (m_settings.objectOnly) n = objectPages();
    if (!n || *n < 1) return std::nullopt;

    int perCopy = *n;
    m_firstPrintPage = 1;
    if (m_settings.allReportPages && !m_settings.objectOnly) {
        perCopy = 0;
        const int pages = report->GetPageCount();
        for (int p = 1; p <= pages; ++p) {
            // A page that cannot be made current prints nothing, but keeps
            // its place so later pages keep their numbers.
            std::optional<int> c;
            if (m_doc.SetCurrentPage(p)) {
                refreshPage();
                c = layoutPages();
            }
            m_reportPageCounts.push_back(c.value_or(0));
            perCopy += c.value_or(0);
        }
        if (m_rememberedPage > 0 && report->GetCurPage() != m_rememberedPage)
            m_doc.SetCurrentPage(m_rememberedPage);
        refreshPage();
    } else if (m_settings.pageRange && !m_settings.preview) {
        const int to = m_settings.toPage < 1 ? perCopy : std::min(m_settings.toPage, perCopy);
        const int from = std::min(std::max(1, m_settings.fromPage), to);
        m_firstPrintPage = from;
        perCopy = to - from + 1;
    }
    m_perCopy = perCopy;
    m_jobPages = m_settings.preview ? perCopy : perCopy * m_settings.copies;
    return m_jobPages;
}

std::optional<PrintDriver::JobPage> PrintDriver::ResolveJobPage(int m) {
    if (!m_began || m < 1 || m > m_jobPages || m_perCopy < 1) return std::nullopt;
    int page = m;
    if (!m_settings.preview) {
        const int c = m_settings.copies;
        // A collated job repeats the whole set of one copy; the set is every
        // printed page of the job divided by the copies (also when the
        // report pages lay out into different numbers of printed pages).
        if (m_settings.collate)
            page = (m - 1) % m_perCopy + 1;
        else
            page = (m - 1) / c + 1;
    }
    page = std::max(1, page);
    JobPage out;
    if (m_settings.allReportPages && !m_settings.objectOnly) {
        int rest = page;
        for (size_t i = 0; i < m_reportPageCounts.size(); ++i) {
            if (rest <= m_reportPageCounts[i]) {
                out.reportPage = int(i) + 1;
                out.layoutPage = rest;
                break;
            }
            rest -= m_reportPageCounts[i];
        }
        if (out.reportPage == 0) return std::nullopt;
        const CReportHandle* report = m_doc.GetReport();
        if (report && report->GetCurPage() != out.reportPage) {
            if (!m_doc.SetCurrentPage(out.reportPage)) return std::nullopt;
            refreshPage();
        }
        return out;
    }
    out.reportPage = m_doc.GetReport() ? m_doc.GetReport()->GetCurPage() : 0;
    out.layoutPage =
        page + (m_settings.pageRange && !m_settings.preview ? m_firstPrintPage - 1 : 0);
    return out;
}

bool PrintDriver::PrintPage(QPainter& painter, int m) {
    const std::optional<JobPage> page = ResolveJobPage(m);
    if (!page) return false;
    return PrintLayoutPage(painter, page->layoutPage);
}

bool PrintDriver::PrintLayoutPage(QPainter& painter, int layoutPage) {
    if (!m_doc.GetReport()) return false;
    const LayoutResult r = ComputePageLayout(m_geo, m_setup, m_printable);
    m_inner = r.body;
    const PageRect reserve = PageLayout(m_geo, m_setup).GetPrintReserve();
    m_outer = {m_inner.left - reserve.left, m_inner.top - reserve.top,
               m_inner.right + reserve.right, m_inner.bottom + reserve.bottom};
    if (!m_settings.objectOnly && (!r.pages || tooSmall(m_inner))) {
        tell(str::kBadPaper);
        return false;
    }

    m_painter = &painter;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    if (m_settings.objectOnly) {
        printObject(layoutPage);
    } else {
        // The sheet font: what a cell whose own font cannot be made prints in.
        FontDesc sheetFont = GetDefaultUiFont();
        sheetFont.height = int(std::trunc(double(m_setup.printScale) * 10.0));
        painter.setFont(MakeFont(sheetFont));
        painter.setBackgroundMode(Qt::TransparentMode);
        CellDrawOptions options;
        options.printing = true;
        options.fontScale = m_setup.printScale;
        options.dataOnly = m_settings.dataOnly;
        m_drawer = std::make_unique<CellDrawer>(painter, m_doc, options);

        PageLayout layout(m_geo, m_setup);
        m_block = PageRange{};
        layout.CountPrintPages(m_inner, std::max(1, layoutPage), &m_block);
        m_xPrintEnd = m_inner.left;
        m_yPrintEnd = m_inner.top;
        m_trackPrintEnd = true;
        printPageCells(m_block, m_inner.left, m_inner.top, true);
        m_trackPrintEnd = false;
        printTitles(m_block, m_outer);
        m_drawer.reset();
    }
    painter.restore();
    m_painter = nullptr;
    return true;
}

// ---------------------------------------------------------------------------
// Cells

bool PrintDriver::isTitleLine(bool rows, int index) const {
    const PrintTitles& t = m_setup.titles;
    if (t.asColumns == rows) return false;
    return (t.head && inRange(index, t.headFirst, t.headLast)) ||
           (t.tail && inRange(index, t.tailFirst, t.tailLast));
}

bool PrintDriver::isTitleArea(const CellArea& a) const {
    const bool rows = !m_setup.titles.asColumns;
    return isTitleLine(rows, rows ? a.first.row : a.first.col);
}

void PrintDriver::printPageCells(const PageRange& block, int left, int top, bool withTitles) {
    const bool titleRows = withTitles && !m_setup.titles.asColumns;
    const bool titleCols = withTitles && m_setup.titles.asColumns;
    int y = top;
    int x = left;
    bool printed = false;
    for (int r = block.firstRow; r != -1 && r <= block.lastRow; r = m_geo.StepRow(r, false)) {
        if (m_geo.IsRowHidden(r) || (titleRows && isTitleLine(true, r))) continue;
        const int h = m_geo.GetRowHeightPixels(r);
        x = left;
        for (int c = block.firstCol; c != -1 && c <= block.lastCol;
             c = m_geo.StepColumn(c, false)) {
            if (m_geo.IsColumnHidden(c) || (titleCols && isTitleLine(false, c))) continue;
            const int w = m_geo.GetColumnWidthPixels(c);
            printCell(r, c, {x, y, x + w, y + h});
            printed = true;
            x += w;
        }
        y += h;
    }
    if (m_trackPrintEnd) {
        m_xPrintEnd = x;
        m_yPrintEnd = y;
    }
    printAreas(block, left, top, withTitles);
    if (printed && !m_settings.dataOnly) printItems(block, left, top, x, y, withTitles);
}

void PrintDriver::printCell(int row, int col, const items::Rect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const int dr = m_geo.DocRow(row), dc = m_geo.DocColumn(col);
    if (dr < 0 || dc < 0) return;
    CellArea area;
    if (m_doc.GetCombinedArea(dr, dc, &area)) return;  // drawn whole with the areas
    m_drawer->DrawCell(dr, dc, rect);
}

int PrintDriver::offsetInBlock(bool rows, const PageRange& block, int index,
                               bool withTitles) const {
    const bool skipTitles = withTitles && (rows != m_setup.titles.asColumns);
    const int first = rows ? block.firstRow : block.firstCol;
    int sum = 0;
    for (int i = first; i != -1 && i < index;
         i = rows ? m_geo.StepRow(i, false) : m_geo.StepColumn(i, false)) {
        if (rows ? m_geo.IsRowHidden(i) : m_geo.IsColumnHidden(i)) continue;
        if (skipTitles && isTitleLine(rows, i)) continue;
        sum += rows ? m_geo.GetRowHeightPixels(i) : m_geo.GetColumnWidthPixels(i);
    }
    return sum;
}

bool PrintDriver::getPrintAreaRect(const CellArea& a, const PageRange& block, int left, int top,
                                   bool withTitles, items::Rect* out) const {
    if (a.last.row < block.firstRow || a.first.row > block.lastRow || a.last.col < block.firstCol ||
        a.first.col > block.lastCol)
        return false;
    const int r1 = std::max<int>(a.first.row, block.firstRow);
    const int r2 = std::min<int>(a.last.row, block.lastRow);
    const int c1 = std::max<int>(a.first.col, block.firstCol);
    const int c2 = std::min<int>(a.last.col, block.lastCol);
    if (out)
        *out = {left + offsetInBlock(false, block, c1, withTitles),
                top + offsetInBlock(true, block, r1, withTitles),
                left + offsetInBlock(false, block, c2 + 1, withTitles),
                top + offsetInBlock(true, block, r2 + 1, withTitles)};
    return true;
}

void PrintDriver::printAreas(const PageRange& block, int left, int top, bool withTitles) {
    const bool titleRows = withTitles && !m_setup.titles.asColumns;
    const bool titleCols = withTitles && m_setup.titles.asColumns;
    // Combined areas met by the printed cells, each once.
    std::vector<CellArea> found;
    for (int r = block.firstRow; r != -1 && r <= block.lastRow; r = m_geo.StepRow(r, false)) {
        if (m_geo.IsRowHidden(r) || (titleRows && isTitleLine(true, r))) continue;
        for (int c = block.firstCol; c != -1 && c <= block.lastCol;
             c = m_geo.StepColumn(c, false)) {
            if (m_geo.IsColumnHidden(c) || (titleCols && isTitleLine(false, c))) continue;
            const int dr = m_geo.DocRow(r), dc = m_geo.DocColumn(c);
            CellArea docArea;
            if (dr < 0 || dc < 0 || !m_doc.GetCombinedArea(dr, dc, &docArea)) continue;
            if (std::find(found.begin(), found.end(), docArea) != found.end()) continue;
            found.push_back(docArea);
            items::Rect rect;
            if (getPrintAreaRect(m_geo.ViewArea(docArea), block, left, top, withTitles, &rect) &&
                rect.width() > 0 && rect.height() > 0)
                m_drawer->DrawCombinedArea(docArea, rect);
        }
    }

    if (!m_settings.dataOnly) {
        for (const AreaLineEntry& e : m_doc.GetCombinedAreas()) {
            const CellArea view = m_geo.StoredAreaToView(
                CellArea::area(e.firstRow, e.firstCol, e.lastRow, e.lastCol));
            items::Rect rect;
            if (getPrintAreaRect(view, block, left, top, withTitles, &rect))
                m_drawer->DrawAreaLine(e.style, e.direction != 0, rect);
        }
    }

    CellArea check;
    if (m_doc.IsDataState() && m_doc.GetCheckLineArea(&check)) {
        items::Rect rect;
        if (getPrintAreaRect(m_geo.ViewArea(check), block, left, top, withTitles, &rect))
            m_drawer->DrawCheckMark(rect);
    }

    for (int slot = 0; slot <= 7; ++slot) {
        int row = 0, col = 0;
        if (!m_doc.GetKeywordCell(slot, &row, &col)) continue;
        CellArea docArea = CellArea::cell(row, col);
        m_doc.GetCombinedArea(row, col, &docArea);
        const CellArea view = m_geo.ViewArea(docArea);
        // The body leaves the titles' keywords to the titles, which print
        // only those.
        if (isTitleArea(view) == withTitles) continue;
        items::Rect rect;
        if (!getPrintAreaRect(view, block, left, top, withTitles, &rect)) continue;
        const int offset = int(std::trunc(m_doc.GetKeywordOffset(slot) * double(m_pageSetupScale)));
        m_drawer->DrawKeywordText(slot, row, col, rect, offset,
                                  m_doc.GetKeywordDisplayText(slot, m_settings.dataOnly));
    }
}

// ---------------------------------------------------------------------------
// Items

void PrintDriver::printItem(CComItem* item, const items::Rect& rect) {
    const QRect qr = toQRect(rect).normalized();
    if (!item->IsTransparent()) m_painter->fillRect(qr, Qt::white);
    // A printed chart is always drawn anew from the page being printed.
    if (m_settings.refreshItem)
        m_settings.refreshItem(item);
    else
        m_doc.Items().RefreshChartPicture(item, true);
    m_painter->save();
    item->Draw(m_painter, rect);
    m_painter->restore();
    if (item->HasBorder()) {
        m_painter->save();
        m_painter->setPen(QPen(Qt::black, 0));
        m_painter->setBrush(Qt::NoBrush);
        m_painter->drawRect(qr.adjusted(0, 0, -1, -1));
        m_painter->restore();
    }
}

void PrintDriver::printItems(const PageRange& block, int left, int top, int right, int bottom,
                             bool withTitles) {
    const CReportHandle* report = m_doc.GetReport();
    const uint32_t page = report ? uint32_t(std::max(0, report->GetCurPage())) : 0;
    const QRect blockRect(QPoint(left, top), QPoint(right, bottom));
    const int blockX = m_geo.GetColumnDistance(0, block.firstCol);
    const int blockY = m_geo.GetRowDistance(0, block.firstRow);
    const bool rows = !m_setup.titles.asColumns;
    const PrintTitles& t = m_setup.titles;

    m_painter->save();
    m_painter->setClipRect(blockRect, Qt::IntersectClip);
    CQorsDoc::ItemPos pos = m_doc.Items().GetFirstComItemPos();
    while (pos) {
        CComItem* item = m_doc.Items().GetNextComItem(pos);
        if (!item || (item->GetPage() != page && item->GetPage() != 0)) continue;
        items::Rect r = itemPoints(*item);
        int x = r.left - blockX, y = r.top - blockY;
        if (withTitles) {
            // Title lines inside the block are not printed in the body, so
            // an item after them moves back by their size to stay over its
            // cells; an item lying on the titles is printed with them.
            bool onTitle = false;
            auto adjust = [&](bool on, int first, int last) {
                if (!on) return;
                const int lo = std::max(first, rows ? block.firstRow : block.firstCol);
                const int hi = std::min(last, rows ? block.lastRow : block.lastCol);
                if (lo > hi) return;
                const int start =
                    rows ? m_geo.GetRowDistance(0, lo) : m_geo.GetColumnDistance(0, lo);
                const int size = rows ? m_geo.GetRowSpan(lo, hi) : m_geo.GetColumnSpan(lo, hi);
                const int itemStart = rows ? r.top : r.left;
                const int itemEnd = rows ? r.bottom : r.right;
                if (itemStart >= start && itemEnd <= start + size) onTitle = true;
                if (start + size <= itemStart) (rows ? y : x) -= size;
            };
            adjust(t.head, t.headFirst, t.headLast);
            adjust(t.tail, t.tailFirst, t.tailLast);
            if (onTitle) continue;
        }
        const items::Rect placed{left + x, top + y, left + x + r.width(), top + y + r.height()};
        if (!toQRect(placed).normalized().intersects(blockRect)) continue;
        printItem(item, placed);
    }
    m_painter->restore();
}

void PrintDriver::printObject(int layoutPage) {
    CComItem* item = nullptr;
    for (CQorsDoc::ItemPos pos = m_doc.Items().GetFirstComItemPos(); pos;) {
        CComItem* it = m_doc.Items().GetNextComItem(pos);
        if (it == m_settings.objectOnly) item = it;
    }
    if (!item || m_inner.width() <= 0 || m_inner.height() <= 0) return;
    const items::Rect r = itemPoints(*item);
    const int pageW = m_inner.width(), pageH = m_inner.height();
    const int across = std::max(1, (std::abs(r.width()) + pageW - 1) / pageW);
    const int index = std::max(0, layoutPage - 1);
    const int x = m_inner.left - (index % across) * pageW;
    const int y = m_inner.top - (index / across) * pageH;
    const items::Rect placed{x, y, x + r.width(), y + r.height()};
    m_painter->save();
    m_painter->setClipRect(QRect(m_inner.left, m_inner.top, pageW, pageH), Qt::IntersectClip);
    printItem(item, placed);
    m_painter->restore();
}

// ---------------------------------------------------------------------------
// Titles

void PrintDriver::printTitles(const PageRange& block, const PageRect& outer) {
    const PrintTitles& t = m_setup.titles;
    if (!t.asColumns) {
        if (t.head)
            printPageCells({block.firstCol, t.headFirst, block.lastCol, t.headLast}, outer.left,
                           outer.top, false);
        if (t.tail)
            printPageCells({block.firstCol, t.tailFirst, block.lastCol, t.tailLast}, outer.left,
                           m_yPrintEnd, false);
    } else {
        if (t.head)
            printPageCells({t.headFirst, block.firstRow, t.headLast, block.lastRow}, outer.left,
                           outer.top, false);
        if (t.tail)
            printPageCells({t.tailFirst, block.firstRow, t.tailLast, block.lastRow}, m_xPrintEnd,
                           outer.top, false);
    }
}

// ---------------------------------------------------------------------------
// A whole job

int PaintJob(PrintDriver& driver, QPagedPaintDevice& device, int pages) {
    QPainter painter;
    if (!painter.begin(&device)) return -1;
    // One unit is one point, from the paper's corner.
    painter.scale(device.logicalDpiX() / 72.0, device.logicalDpiY() / 72.0);
    int painted = 0;
    for (int m = 1; m <= pages; ++m) {
        // A page is only started for a page that follows: the last one
        // leaves no empty sheet behind it.
        if (m > 1 && !device.newPage()) break;
        if (!driver.PrintPage(painter, m)) break;
        ++painted;
    }
    painter.end();
    return painted;
}

bool PrintOnDevice(CQorsDoc& doc, QPagedPaintDevice& device, const PrintJobSettings& settings,
                   bool* deviceFailed, const std::function<void(bool)>& fullPage) {
    if (deviceFailed) *deviceFailed = false;
    PrintDriver driver(doc, settings);
    const PageRect area = PrintableAreaFor(device.pageLayout(), PageSetupFromDocument(doc));
    const std::optional<int> pages = driver.Begin(area);
    if (!pages || *pages < 1) return false;
    // The area above counts from the paper's corner; so does the painter.
    fullPage(true);
    const int painted = PaintJob(driver, device, *pages);
    fullPage(false);
    driver.End();
    if (painted < 0 && deviceFailed) *deviceFailed = true;
    return painted == *pages;
}

bool PrintToDevice(CQorsDoc& doc, QPagedPaintDevice& device, const PrintJobSettings& settings,
                   bool* deviceFailed) {
    const QPageLayout saved = device.pageLayout();
    return PrintOnDevice(doc, device, settings, deviceFailed, [&](bool on) {
        QPageLayout layout = saved;
        if (on) layout.setMode(QPageLayout::FullPageMode);
        device.setPageLayout(layout);
    });
}

}  // namespace qor::view
