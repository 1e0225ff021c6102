#include "chartui/cpicframe.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "charts/cgraphitem.h"
#include "chartui/cpicwnd.h"
#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "view/print_driver.h"

using qor::charts::ChartPrintPlan;

namespace qor {

void RefreshChangedCharts(CQorsDoc* doc) {
    if (!doc || !doc->Items().ChartWindow().changed) return;
    doc->Items().ChartWindow().changed = 0;
    for (CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos(); pos;)
        if (auto* chart = dynamic_cast<CGraphItem*>(doc->Items().GetNextComItem(pos))) chart->MarkPictureStale();
    doc->UpdateAllViews(CQorsDoc::kHintItems);
}

}  // namespace qor

namespace {

CGraphItem* currentChartOf(const CQorsDoc* doc) {
    return doc ? dynamic_cast<CGraphItem*>(doc->Items().GetCurrentChart()) : nullptr;
}

void tell(const QString& text) {
    qor::messageBox(text, LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok,
                    qor::MsgIcon::Warning);
}

}  // namespace

// ---------------------------------------------------------------------------
// CPictrueView

CPictrueView::CPictrueView(CQorsDoc* doc, QWidget* parent) : QScrollArea(parent), m_doc(doc) {
    setObjectName(QStringLiteral("CPictrueView"));
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("chartPage"));
    m_page->setAutoFillBackground(true);
    QPalette pal = m_page->palette();
    pal.setColor(QPalette::Window, Qt::white);
    m_page->setPalette(pal);
    m_page->setFixedSize(kPageSize, kPageSize);
    setWidget(m_page);
    setWidgetResizable(false);
}

CPictrueView::~CPictrueView() {
    // Only while it is still the report's chart view: a frame closed
    // earlier may go after a new one opened.
    if (m_doc && m_doc->Items().ChartWindow().view == this) {
        m_doc->Items().ChartWindow().frameOpen = 0;
        m_doc->Items().ChartWindow().view = nullptr;
    }
}

void CPictrueView::OnInitialUpdate() {
    if (!m_doc || m_wnd) return;
    m_doc->Items().ChartWindow().view = this;
    m_wnd = new CPicWnd(m_doc, m_page);
    CGraphItem* chart = currentChartOf(m_doc);
    const QSize size = chart && !chart->GetSize().isEmpty() ? chart->GetSize() : QSize(200, 200);
    m_wnd->setGeometry(QRect(kChartPos, size));
    m_wnd->show();
}

void CPictrueView::contextMenuEvent(QContextMenuEvent* event) {
    // The chart view has no context menu.
    event->accept();
}

const qor::CommandTable<CPictrueView>& CPictrueView::commands() {
    static const qor::CommandTable<CPictrueView> table(
        {
            {kCmdPrint, printable, [](CPictrueView& v, int) { v.OnFilePrint(); }, nullptr},
            {kCmdPrintPreview, printable, [](CPictrueView& v, int) { v.OnFilePrintPreview(); },
             nullptr},
        },
        qor::doccmd::ReasonNotBuilt());
    return table;
}

QString CPictrueView::printable(CPictrueView& view, int, qor::CommandState&) {
    return currentChartOf(view.m_doc) ? QString() : CPicWnd::NoChartReason();
}

// Printing is the view's; every other command is the chart window's.
bool CPictrueView::OnUpdateCommand(int id, qor::CommandState& state) {
    return commands().Update(*this, id, state) || (m_wnd && m_wnd->OnUpdateCommand(id, state));
}

bool CPictrueView::OnCommand(int id) {
    return commands().Run(*this, id) || (m_wnd && m_wnd->OnCommand(id));
}

ChartPrintPlan CPictrueView::PlanFor(const QPrinter& printer) const {
    const QRectF paint = printer.pageLayout().paintRect(QPageLayout::Point);
    const QSize pageTwips(int(paint.width() * 20.0), int(paint.height() * 20.0));
    CGraphItem* chart = currentChartOf(m_doc);
    const qor::items::Rect r = chart ? chart->GetRect() : qor::items::Rect{};
    return qor::charts::PlanChartPrint(QSize(r.width(), r.height()), m_doc ? m_doc->ViewState().scale : 1.4,
                                       pageTwips);
}

bool CPictrueView::PrintTo(QPrinter& printer, int from, int to) {
    CGraphItem* chart = currentChartOf(m_doc);
    if (!chart) return false;
    const ChartPrintPlan plan = PlanFor(printer);
    if (!plan.paperOk) {
        tell(LoadErrorText(qor::str::kCannotPrintPaper));
        return false;
    }
    const int last = plan.Pages();
    to = to < 1 ? last : std::min(to, last);
    from = std::clamp(from, 1, to);
    m_bPrinting = true;
    // Printing draws the chart from the cells as they are now.
    m_doc->Items().RefreshChartPicture(chart, true);
    QPainter p;
    if (!p.begin(&printer)) {
        m_bPrinting = false;
        return false;
    }
    // Twips as the painter's unit, from the printable area's top-left.
    const double unit = printer.resolution() / 1440.0;
    const QRect page(QPoint(0, 0), plan.pageTwips);
    for (int n = from; n <= to; ++n) {
        if (n > from) printer.newPage();
        p.save();
        p.scale(unit, unit);
        p.setClipRect(page);
        const QRect r(qor::charts::ChartPageOrigin(plan, n), plan.chartTwips);
        if (r.intersects(page)) {
            p.setPen(QPen(Qt::black, 0));
            p.setBrush(Qt::white);
            p.drawRect(r);
            chart->Draw(&p, {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
            p.setBrush(Qt::NoBrush);
            p.drawRect(r);
        }
        p.restore();
    }
    p.end();
    m_bPrinting = false;
    return true;
}

void CPictrueView::OnFilePrint() {
    if (!currentChartOf(m_doc)) return;
    qor::PrintRequest request;
    {
        // The page count the dialog offers, on the printer it starts with.
        auto printer = qor::view::PrinterForRequest(request);
        const ChartPrintPlan plan = PlanFor(*printer);
        if (!plan.paperOk) {
            tell(LoadErrorText(qor::str::kCannotPrintPaper));
            return;
        }
        request.maxPage = std::max(1, plan.Pages());
        request.toPage = request.maxPage;
    }
    const std::optional<qor::PrintRequest> chosen = qor::printDialog(request);
    if (!chosen) return;
    auto printer = qor::view::PrinterForRequest(*chosen);
    printer->setCopyCount(std::max(1, chosen->copies));
    if (!PrintTo(*printer, chosen->allPages ? 1 : chosen->fromPage, chosen->allPages ? 0 : chosen->toPage))
        tell(LoadErrorText(qor::str::kPrintNotFinished));
}

void CPictrueView::OnFilePrintPreview() {
    if (!currentChartOf(m_doc)) return;
    QPrinter printer(QPrinter::HighResolution);
    // A separate window: the chart frame keeps its own place and size.
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PrintTo(*target); });
    preview.exec();
}

// ---------------------------------------------------------------------------
// CPicFrame

CPicFrame::CPicFrame(CQorsDoc* doc, QWidget* parent) : QMdiSubWindow(parent), m_doc(doc) {
    setObjectName(QStringLiteral("CPicFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new CPictrueView(doc, this);
    setWidget(m_view);
    const QString path = doc ? doc->GetPathName() : QString();
    const QString name = path.isEmpty() ? LoadErrorText(qor::str::kUntitled) : QFileInfo(path).fileName();
    // A change made here is a change of the report: the mark shows it
    // while this window stands in front of the report's own.
    setWindowTitle(name + LoadErrorText(qor::str::kChartWindowTitleSuffix) + QStringLiteral("[*]"));
    if (doc) {
        setWindowModified(doc->IsModified());
        connect(doc, &CQorsDoc::modifiedChanged, this, [this](bool modified) {
            setWindowModified(modified);
            // Maximised in front, this window lends its title to the main
            // window, whose mark the area does not keep in step by itself.
            QMdiArea* area = mdiArea();
            QWidget* top = window();
            if (isMaximized() && area && area->activeSubWindow() == this && top != this &&
                top->windowTitle().contains(QStringLiteral("[*]")))
                top->setWindowModified(modified);
        });
    }
}

CPicFrame::~CPicFrame() { leaveReport(); }

void CPicFrame::leaveReport() {
    if (!m_doc || m_doc->Items().ChartWindow().view != m_view) return;
    m_doc->Items().ChartWindow().windowOpen = 0;
    m_doc->Items().ChartWindow().frameOpen = 0;
    m_doc->Items().ChartWindow().view = nullptr;
    qor::RefreshChangedCharts(m_doc);
    m_doc = nullptr;
}

void CPicFrame::closeEvent(QCloseEvent* event) {
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted()) return;
    // The report is free at once: the window itself goes a little later.
    leaveReport();
    // The area has picked the next window by its own order by now; the
    // clerk's next entry belongs in the report the chart window served.
    if (QMdiArea* area = mdiArea(); area && m_returnTo && m_returnTo != this)
        area->setActiveSubWindow(m_returnTo);
}

const qor::CommandTable<CPicFrame>& CPicFrame::commands() {
    static const qor::CommandTable<CPicFrame> table(
        {{kCmdExit, nullptr, [](CPicFrame& f, int) { f.close(); }, nullptr}},
        qor::doccmd::ReasonNotBuilt());
    return table;
}

// Closing is the frame's; every other command goes to its view.
bool CPicFrame::OnUpdateCommand(int id, qor::CommandState& state) {
    return commands().Update(*this, id, state) || (m_view && m_view->OnUpdateCommand(id, state));
}

bool CPicFrame::OnCommand(int id) {
    return commands().Run(*this, id) || (m_view && m_view->OnCommand(id));
}

CPicFrame* CPicFrame::FindFor(QMdiArea* area, const CQorsDoc* doc) {
    if (!area || !doc) return nullptr;
    for (QMdiSubWindow* w : area->subWindowList())
        if (auto* frame = qobject_cast<CPicFrame*>(w); frame && frame->GetDocument() == doc) return frame;
    return nullptr;
}

CPicFrame* CPicFrame::Open(QMdiArea* area, CQorsDoc* doc) {
    if (!area || !doc) return nullptr;
    if (CPicFrame* open = FindFor(area, doc)) {
        if (CPicWnd* wnd = open->View()->ChartWindow())
            if (auto* chart = currentChartOf(doc)) wnd->ShowChart(chart);
        area->setActiveSubWindow(open);
        return open;
    }
    auto* frame = new CPicFrame(doc);
    if (QMdiSubWindow* from = area->activeSubWindow(); from && !qobject_cast<CPicFrame*>(from))
        frame->m_returnTo = from;
    area->addSubWindow(frame);
    doc->Items().ChartWindow().windowOpen = 1;
    doc->Items().ChartWindow().frameOpen = 1;
    frame->View()->OnInitialUpdate();
    frame->showMaximized();
    area->setActiveSubWindow(frame);
    doc->UpdateAllViews(CQorsDoc::kHintItems);
    return frame;
}
