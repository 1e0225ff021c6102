#pragma once
// The chart frame: a window of its own inside the main window in which
// the report's charts are shown one at a time on a large white page, edited
// in the chart window floating on it, stepped through and printed. One
// chart frame per report; while it is open the report is in its chart-frame
// state (the chart window's stepping, open and delete commands are on).

#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollArea>

#include "charts/chartframe_logic.h"
#include "document/cmdtarget.h"
#include "document/cqorsdoc.h"
#include "resources/commandids.h"

class CPicWnd;
class QMdiArea;
class QPrinter;
namespace qor {
template <class Target>
class CommandTable;
}

// The chart view: a scroll area over a 10000 x 10000 white page carrying
// the chart window. Every command but print and print preview goes to the
// chart window; there is no context menu here.
class CPictrueView : public QScrollArea, public qor::ICommandTarget {
    Q_OBJECT

public:
    static constexpr int kPageSize = 10000;
    static constexpr QPoint kChartPos{100, 120};
    static constexpr int kCmdPrint = qor::cmd_ids::kCmdPrint;
    static constexpr int kCmdPrintPreview = qor::cmd_ids::kCmdPrintPreview;

    CPictrueView(CQorsDoc* doc, QWidget* parent = nullptr);
    ~CPictrueView() override;

    // Makes the chart window for the document's current chart at (100, 120)
    // with the chart's size, 200 x 200 when there is none.
    void OnInitialUpdate();
    CPicWnd* ChartWindow() const { return m_wnd; }
    QWidget* Page() const { return m_page; }
    CQorsDoc* GetDocument() const { return m_doc; }

    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;

    // The pages the current chart takes on this printer; refused (62733
    // told, nothing printed) when the paper is too small.
    qor::charts::ChartPrintPlan PlanFor(const QPrinter& printer) const;
    // Prints pages from..to (from 1; to < 1 the last) of the current chart.
    // False when nothing could be printed (the user was told why).
    bool PrintTo(QPrinter& printer, int from = 1, int to = 0);
    void OnFilePrint();
    void OnFilePrintPreview();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    static const qor::CommandTable<CPictrueView>& commands();
    // On while there is a chart to print.
    static QString printable(CPictrueView& view, int id, qor::CommandState& state);

    QPointer<CQorsDoc> m_doc;
    QWidget* m_page = nullptr;
    CPicWnd* m_wnd = nullptr;
    bool m_bPrinting = false;
};

class CPicFrame : public QMdiSubWindow, public qor::ICommandTarget {
    Q_OBJECT

public:
    static constexpr int kCmdExit = qor::cmd_ids::kCmdExit;

    explicit CPicFrame(CQorsDoc* doc, QWidget* parent = nullptr);
    ~CPicFrame() override;

    CPictrueView* View() const { return m_view; }
    CQorsDoc* GetDocument() const { return m_doc; }

    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;

    // The document's chart frame in the area, null when none is open. The
    // report's window deletes it before the report goes.
    static CPicFrame* FindFor(QMdiArea* area, const CQorsDoc* doc);
    // Opens the document's chart frame (or brings its open one to the
    // front) on the document's current chart; null when there is no area.
    static CPicFrame* Open(QMdiArea* area, CQorsDoc* doc);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static const qor::CommandTable<CPicFrame>& commands();
    // The report leaves its chart-frame state, and its charts are drawn
    // anew when the frame changed them.
    void leaveReport();

    QPointer<CQorsDoc> m_doc;
    CPictrueView* m_view = nullptr;
    // The report window the chart window was opened from: closing goes
    // back there, not to whichever window the area would pick.
    QPointer<QMdiSubWindow> m_returnTo;
};

namespace qor {
// After a chart frame changed the charts, each chart of the document is
// drawn anew the next time the sheet shows it.
void RefreshChangedCharts(CQorsDoc* doc);
}  // namespace qor
