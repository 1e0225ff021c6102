#pragma once
// Printing a report: the current page of the report, or every page of it,
// cut into printed pages by the page layout, with the repeated head and tail
// titles on every printed page, in copies (collated or not) and within a
// page range.
//
// The driver paints through any QPainter whose units are points with the
// origin at the printable area's top-left (PrintToDevice sets that up for
// a paged device such as a PDF writer), so a page renders the same into a
// PDF, a preview and an image. It never paints what only the screen shows:
// no grid, headers, selection, page-break lines or formula labels. Nothing
// here needs a window or a printer: the command line prints through it.

#include <QPainter>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "resources/stringids.h"
#include "print/pagelayout.h"
#include "print/sheetgeometry.h"

class CComItem;
class CQorsDoc;
class QPageLayout;
class QPagedPaintDevice;

namespace qor::view {

class CellDrawer;

struct PrintJobSettings {
    // Every page of the report (the print dialog's selection choice); else
    // only the current one.
    bool allReportPages = false;
    // Only the printed pages fromPage .. toPage (from 1; a toPage below 1
    // means the last page).
    bool pageRange = false;
    int fromPage = 1;
    int toPage = 0;
    int copies = 1;
    bool collate = true;
    // A preview shows every page once.
    bool preview = false;
    // Overlay printing: no fills, lines or table texts.
    bool dataOnly = false;
    // Print this item alone, cut into as many pages as it needs.
    const CComItem* objectOnly = nullptr;
    // The scale of the items' rectangles (the view's display scale).
    float viewScale = kDefaultViewScale;
    // Brings a chart's picture up to date before it is printed; without
    // one the document draws each chart anew.
    std::function<void(CComItem*)> refreshItem;
};

// The print dialog's flags a print request carries and this system reads.
constexpr quint32 kPdSelection = 0x1;  // the selection choice: every page of the report
constexpr quint32 kPdPageNums = 0x2;
constexpr quint32 kPdNoSelection = 0x4;
constexpr quint32 kPdCollate = 0x10;
constexpr quint32 kPdPrintToFile = 0x20;
constexpr quint32 kPdUseDevModeCopies = 0x40000;

// The margin a side gets where neither the report nor the page setup gives
// one (about 10 mm): ink never reaches the paper's edge.
constexpr int kDefaultPageMargin = 28;

// The PDF file the print dialog proposes when it starts on a file: a saved
// report's name with ".pdf" beside it; a report without a file of its own
// (not saved yet, or a working copy in workFolder, such as an embedded
// report) gets 无标题.pdf in the folder the last print went to, else in
// home. Never inside workFolder, whose files go with the program; never a
// folder alone, which would make the print fail; never another report's
// file, which printing would overwrite.
QString SuggestedPdfPath(const QString& reportPath, const QString& lastOutput, const QString& home,
                         const QString& workFolder);

// The page setup (paper, orientation, margins) chosen last in the print
// setup or the print dialog; every printer made afterwards takes it.
void SetPageSetupDefaults(const QPageLayout& layout);
void ClearPageSetupDefaults();
// The page setup chosen last; none before a choice (or after clearing).
const std::optional<QPageLayout>& PageSetupDefaults();

// Where the sheet may print on a page, in points from the paper's corner,
// before the report's own margins are taken off (the layout does that). A
// side the report gives a margin keeps only what the printer cannot reach;
// a side it gives none takes the page setup's margin, or
// kDefaultPageMargin when that is 0 too.
PageRect PrintableAreaFor(const QPageLayout& layout, const PageSetup& report);

class PrintDriver {
public:
    PrintDriver(CQorsDoc& doc, const PrintJobSettings& settings);
    // Makes the report page that was current before Begin() current again.
    ~PrintDriver();
    PrintDriver(const PrintDriver&) = delete;
    PrintDriver& operator=(const PrintDriver&) = delete;

    // Counts the pages of the job for a printable area (points from 0, 0):
    // printed pages of the report page(s) within the range, times the
    // copies. Nothing, after telling the user, when the page is too small.
    std::optional<int> Begin(const PageRect& printable);
    int JobPageCount() const { return m_jobPages; }

    // Which report page and which printed page of it job page m (from 1)
    // prints; the report page is made current.
    struct JobPage {
        int reportPage = 0;  // 0: the current page of a report in format state
        int layoutPage = 1;
        bool operator==(const JobPage&) const = default;
    };
    std::optional<JobPage> ResolveJobPage(int m);

    // Prints job page m. False (after telling the user) when the page is
    // too small; nothing is drawn then.
    bool PrintPage(QPainter& painter, int m);
    // Prints one printed page of the current report page.
    bool PrintLayoutPage(QPainter& painter, int layoutPage);

    // Makes the remembered report page current again (also done by the
    // destructor).
    void End();

    // The geometry at the print scale for the current report page, and the
    // settings the layout uses (titles validated).
    const SheetGeometry& Geometry() const { return m_geo; }
    const PageSetup& Setup() const { return m_setup; }
    // What the last printed page found: its block of cells, the right and
    // bottom end of its body, the outer (margins only) and inner (also
    // without the titles) rectangles.
    const PageRange& LastBlock() const { return m_block; }
    int PrintEndX() const { return m_xPrintEnd; }
    int PrintEndY() const { return m_yPrintEnd; }
    const PageRect& OuterRect() const { return m_outer; }
    const PageRect& InnerRect() const { return m_inner; }

private:
    void refreshPage();
    std::optional<int> layoutPages() const;
    std::optional<int> objectPages() const;
    items::Rect itemPoints(const CComItem& item) const;
    void printPageCells(const PageRange& block, int left, int top, bool withTitles);
    void printCell(int row, int col, const items::Rect& rect);
    void printAreas(const PageRange& block, int left, int top, bool withTitles);
    void printItems(const PageRange& block, int left, int top, int right, int bottom,
                    bool withTitles);
    void printItem(CComItem* item, const items::Rect& rect);
    void printTitles(const PageRange& block, const PageRect& outer);
    void printObject(int layoutPage);
    bool getPrintAreaRect(const CellArea& viewArea, const PageRange& block, int left, int top,
                          bool withTitles, items::Rect* out) const;
    int offsetInBlock(bool rows, const PageRange& block, int index, bool withTitles) const;
    bool isTitleLine(bool rows, int index) const;
    bool isTitleArea(const CellArea& viewArea) const;
    void tell(int message) const;

    CQorsDoc& m_doc;
    PrintJobSettings m_settings;
    DocSheetSource m_source;
    SheetGeometry m_geo;
    PageSetup m_setup;
    float m_pageSetupScale = 1.0f;
    PageRect m_printable;
    std::vector<int> m_reportPageCounts;  // printed pages per report page (all pages)
    int m_rememberedPage = 0;
    int m_perCopy = 0;  // printed pages of one copy
    int m_jobPages = 0;
    int m_firstPrintPage = 1;
    bool m_began = false;

    // State of the page being printed.
    QPainter* m_painter = nullptr;
    std::unique_ptr<CellDrawer> m_drawer;
    PageRange m_block;
    PageRect m_outer, m_inner;
    bool m_trackPrintEnd = false;
    int m_xPrintEnd = 0, m_yPrintEnd = 0;
};

// Paints every page of a job begun on device (full-page coordinates, one
// unit a point) and gives the number of pages painted; -1 when the painter
// could not start on the device (no file, no printer).
int PaintJob(PrintDriver& driver, QPagedPaintDevice& device, int pages);

// Prints a whole job onto a paged device (a PDF writer): the printable area
// comes from the device's page layout, and the painter starts at the
// paper's corner while the job paints. False when nothing could be printed;
// *deviceFailed then tells whether the device or its file could not be
// written (the other failures were told to the user by the job).
bool PrintToDevice(CQorsDoc& doc, QPagedPaintDevice& device, const PrintJobSettings& settings,
                   bool* deviceFailed = nullptr);

// The same job on a device whose painter the caller switches: fullPage(true)
// before the first page makes it start at the paper's corner, and
// fullPage(false) after the last puts the device back as it was.
bool PrintOnDevice(CQorsDoc& doc, QPagedPaintDevice& device, const PrintJobSettings& settings,
                   bool* deviceFailed, const std::function<void(bool)>& fullPage);

}  // namespace qor::view
