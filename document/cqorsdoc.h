#pragma once
// The report document: one open report, its state, cells and geometry,
// the selection and the values its views share. Its items (charts and
// embedded objects), its clipboard and its files are parts of their own,
// reached through Items(), Clipboard() and Files().
//
// Rows and columns are counted from 0 here and are shown coordinates of
// the current page (a variable area expanded by its used lines); the
// document turns them into the report's 1-based ones and applies every
// change through the report's own operations. After a change it marks
// itself modified and emits changed(hint), which every view answers by
// redrawing (the update of all views).

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "charts/ccomitem.h"
#include "charts/chartdesc.h"
#include "charts/itemsupport.h"
#include "document/cmdtarget.h"
#include "document/doc_clipboard.h"
#include "document/doc_files.h"
#include "document/doc_items.h"
#include "document/doc_others.h"
#include "document/sheetselection.h"
#include "engine/celltypes.h"

class CGraphItem;
class CReportHandle;
class QMimeData;
namespace qor::charts {
struct ChartData;
}

namespace qor {
class IConsolExchange;
struct ImportLayout;
struct TextImportResult;

// A server item of the document (the whole report embedded elsewhere, or
// a linked cell range); the layer that makes them implements this.
class IDocServerItem {
public:
    virtual ~IDocServerItem() = default;
    virtual void OnDocumentUpdate(const QObject* sender, int hint, bool force) = 0;
};
}  // namespace qor

// The name of the current report's custom keyword (slot 6), "" when it has
// none. The sort, locate and find commands set it before their dialogs.
extern QString CustomKeywordName;

// The variable area as the views use it: kind 0 none, 1 rows, 2 columns;
// extent in lines; start the first row or column from 0; used the lines in
// use on the current page less 1 in data state, 0 in format state.
struct VarAreaInfo {
    int32_t kind = 0;
    int32_t extent = 0;
    int32_t start = 0;
    int32_t used = 0;
    bool operator==(const VarAreaInfo&) const = default;
};

// One entry of the area-line list, counted from 0.
struct AreaLineEntry {
    int16_t style = 0;  // line code 0..7
    int16_t firstRow = 0;
    int16_t firstCol = 0;
    int16_t direction = 0;  // non-zero: top-left to bottom-right
    int16_t lastRow = 0;
    int16_t lastCol = 0;
    bool operator==(const AreaLineEntry&) const = default;
};

class CQorsDoc : public QObject, public qor::ICommandTarget {
    Q_OBJECT

public:
    using ItemPos = DocItems::ItemPos;  // a place in the item list; null = none

    // Hints of changed(): what the views need to do again.
    enum UpdateHint : int {
        kHintAll = 0,       // everything
        kHintCells = 1,     // cell contents
        kHintLayout = 2,    // table shape, sizes, page breaks
        kHintItems = 3,     // the item list or an item
        kHintState = 4,     // data or format state, current page
        kHintDocument = 5,  // another report (open, new, close)
        kHintGoToCurrent = 6,  // a command moved the current cell: the views go there
    };

    // SetCellText modes.
    enum EntryMode : int { kEntryNumber = 1, kEntryDataText = 2, kEntryFormatText = 3 };

    // Clipboard format of cell areas ("Native QOR Data") and its MIME name.
    static const char* const kNativeFormatName;

    explicit CQorsDoc(QObject* parent = nullptr);
    ~CQorsDoc() override;

    // ======================================================================
    // Menu commands (doc_commands.cpp): the document's dialogs commands,
    // off with a reason when the report, its state or the dialog is missing.
    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;
    const qor::CommandIdSet* DeclaredCommands() const override;

    // ======================================================================
    // Open, save, close, templates, text import, the consolidation
    // client's exchange (doc_files.cpp)
    DocFiles& Files() { return *m_files; }
    const DocFiles& Files() const { return *m_files; }

    bool IsOpen() const { return m_pReport != nullptr; }
    CReportHandle* GetReport() const { return m_pReport.get(); }
    // The report's path; empty for a report never saved.
    QString GetPathName() const { return m_strPathName; }

    // ======================================================================
    // Modified flag and views (cqorsdoc.cpp)

    void SetModifiedFlag(bool modified = true);
    bool IsModified() const { return m_bModified; }
    // Tells every view (changed) unless redrawing is suspended.
    void UpdateAllViews(int hint = kHintAll);

    // Server items (the layer above registers them).
    void AddServerItem(qor::IDocServerItem* item);
    void RemoveServerItem(qor::IDocServerItem* item);
    // Passes an update to every server item except the sender.
    void UpdateServerItems(const QObject* sender = nullptr, int hint = 0, bool force = false);

    // ======================================================================
    // State (cqorsdoc.cpp)

    // Data state: page 1 is made when the report has none; the current page
    // becomes the report's. False when the report refuses.
    bool EnterDataState();
    // Format state after its checks: a format password must be typed
    // (letter case ignored) and the chart window must be closed. False,
    // still in data state, when refused. flag: kept for callers, unused.
    bool EnterFormatState(int flag = 0);
    // Format state without checks.
    bool SwitchToFormatState();
    // Makes the document's current page (at least 1) the report's.
    void ActivateCurrentPage();
    // Makes page (from 1) current in both members and on the report.
    bool SetCurrentPage(int page);
    // The current page (from 1; 0 none).
    int CurrentPage() const { return m_view.curPage; }
    int IsEditLocked() const { return 0; }
    bool IsDataState() const { return m_bDataState != 0; }

    // Asks for the format password; nothing = cancelled.
    using FormatPasswordPrompt = std::function<std::optional<QString>()>;
    // The prompt documents use (default: the UI-services text prompt,
    // hidden echo, at most 9 characters). An empty function restores it.
    static FormatPasswordPrompt SetFormatPasswordPrompt(FormatPasswordPrompt prompt);

    // ======================================================================
    // Selection (cqorsdoc.cpp)

    // The current cell and the selected cells. The views of the document
    // share one selection and lend it here; with no view open the
    // document's own answers.
    qor::SheetSelection& Selection() { return *m_selection; }
    const qor::SheetSelection& Selection() const { return *m_selection; }
    // A view's shared selection takes over from what the document held;
    // nullptr (the last view goes) hands the state back to the document.
    void LendSelection(qor::SheetSelection* shared);

    // ======================================================================
    // Cell accessors, 0-based, current page (doc_cells.cpp)

    // 1 numeric (also a cell never given a kind), 2 character, 3 table text.
    int GetCellKind(int row, int col) const;
    bool GetNumCellValue(int row, int col, double* value) const;
    bool GetCharCellText(int row, int col, QString* text) const;
    bool GetStyleCellText(int row, int col, QString* text) const;
    // a thousands separator, b percent, c currency, d decimal places.
    void GetCellFont(int row, int col, int* a, int* b, int* c, int* d) const;
    // Text colour as 0x00BBGGRR.
    uint32_t GetCellForeColor(int row, int col) const;
    // The fill pattern number (0 none, 1 forward diagonal, 2 backward
    // diagonal, 3 crossed diagonals; the view's hatch table knows up to 5)
    // and the background colour as 0x00BBGGRR.
    void GetCellBackPattern(int row, int col, int* pattern, uint32_t* colour) const;
    // Text drawing flags: 1 horizontal centre, 2 right, 4 vertical centre,
    // 8 bottom, 0x10 word break, 0x20 single line. Numbers default to the
    // right, texts to the left; vertically cells default to the centre.
    enum DrawFormat : uint32_t {
        kDrawCentre = 0x01,
        kDrawRight = 0x02,
        kDrawVCentre = 0x04,
        kDrawBottom = 0x08,
        kDrawWordBreak = 0x10,
        kDrawSingleLine = 0x20,
    };
    uint32_t GetCellDrawFormat(int row, int col) const;
    // Four 4-bit edge styles: bits 0-3 right, 4-7 left, 8-11 bottom, 12-15
    // top. Left and top come from the left and upper neighbours' right and
    // bottom lines, in column 0 and row 0 from the row's and column's
    // attribute bytes. 0 without a report.
    uint16_t GetCellLineStyle(int row, int col) const;
    bool GetCellFormula(int row, int col, QString* text) const;
    // 0 none, 1 a formula, 2 a formula in error ("#错误公式").
    int GetCellFormulaState(int row, int col) const;
    bool GetCombinedArea(int row, int col, CellArea* area) const;
    bool IsCombinedCell(int row, int col) const;
    // The area-line list (named after the view's use of it).
    int GetCombinedAreaCount() const;
    std::vector<AreaLineEntry> GetCombinedAreas() const;
    // Slot 0..7: true and the cell when the keyword is placed.
    bool GetKeywordCell(int slot, int* row, int* col) const;
    // Format state: the keyword's name. Data state: the page's value,
    // after the name and "：" unless dataOnly.
    QString GetKeywordDisplayText(int slot, bool dataOnly) const;
    int16_t GetKeywordOffset(int slot) const;
    bool GetCheckLineArea(CellArea* area) const;

    // ======================================================================
    // Geometry (doc_geometry.cpp)

    // Stored size, the variable area counted once; untouched without a
    // report.
    void GetTableSize(int32_t* rows, int32_t* cols) const;
    // The current page's size with the variable area's extra lines.
    void GetPageTableSize(int32_t* rows, int32_t* cols) const;
    void GetVarAreaInfo(VarAreaInfo* info) const;
    uint16_t GetRowHeight(int ignored, int row) const;
    uint16_t GetColumnWidth(int col, int ignored) const;
    // Stored units (rows 0..480, columns 0..640); format state. 0 or the
    // engine's status.
    int SetRowHeight(int row, int size);
    int SetColumnWidth(int col, int size);
    // New table size (format state) with redrawing suspended; message 62481
    // and false on failure.
    bool ResizeTable(int rows, int cols);
    bool GetSavedViewState(std::array<uint32_t, 4>* state);
    void SetSavedViewState(const std::array<uint32_t, 4>& state);
    // Sheet-pixel rectangle of a block of cells at the document's display
    // scale (the same rule the sheet view draws with).
    qor::items::Rect CellRangeToSheetRect(const CellArea& area) const;
    int RowPixelHeight(int row) const;
    int ColumnPixelWidth(int col) const;
    // The last row and column (from 0) the current page shows.
    int LastShownRow() const;
    int LastShownCol() const;

    // ======================================================================
    // Editing (doc_editing.cpp)

    // Stores typed text into the current cell: mode 1 a number, 2 a text
    // in data state, 3 a table text in format state. The formulas that
    // read the cell are then recalculated. 0 or the engine's status.
    int SetCellText(const QString& text, int mode);
    // Clears the selection: contents, formulas and combined cells (the
    // last two in format state) and the chart items inside it.
    int ClearArea();
    // The clear command: the selection's contents; message 63154 on
    // failure.
    int EditClear();
    // After cells changed in data state: the current page's formulas are
    // worked out again, so no total shows or saves what the cells held
    // before. 0 (also when there is nothing to work out) or the engine's
    // failure status, which is logged.
    uint16_t RecalcChangedCells();
    // Formula lists: type 0 cell formulas ("A1=text", "TOTAL " before total
    // formulas), 1 the audit formulas, 2 the rounding formula; every line
    // ends with CR LF.
    void BuildFormulaListText(int type, QString* out) const;


    // The report's page setup (margins, print scale, title rows or
    // columns) as the views and printing use it; read from the report when
    // it opens and after a template changed it.
    const qor::PageSetupBlock& PageSetup() const { return m_pageSetup; }
    // What changes it. Each sets the values and nothing else: no signal,
    // no layout, not marked modified (the callers do what follows).
    // The block the page setup command stored in the report.
    void SetPageSetup(const qor::PageSetupBlock& setup) { m_pageSetup = setup; }
    // The title rows or columns the page layout keeps (those that do not
    // fit the page are switched off), for this session's printing only.
    void SetPrintTitleFlags(bool head, bool tail);

    // The view's command that clears the forced page breaks: the report is
    // marked modified and the views lay their pages out again.
    void ClearAllManualBreaks();

    // ======================================================================
    // What the document's views share: the current page and the page the
    // tabs show, the page count they show without a report, the sheet's
    // size and scale, redrawing suspended (changed() and itemChanged() are
    // held back while it is non-zero), the copy of the report's saved view
    // state and the page breaks. Read here; changed only through the
    // operations below (and SetCurrentPage, the page breaks' commands and
    // opening, saving and the state changes).
    struct ViewStateFields {
        int32_t curPage = 0;    // from 1; 0 none
        int32_t shownPage = 0;  // the page last published to the page tabs
        int32_t pageCount = 0;  // set by the XML import's data pass too
        int32_t redrawSuspended = 0;
        int32_t sheetWidth = 0, sheetHeight = 0;  // pixels
        float scale = 1.4f;
        std::array<uint32_t, 4> savedViewState{};  // copy of the report's
        int32_t showPageBreaks = 0;
        qor::ManualBreakTable manualBreaks{};
        std::vector<PageBreakEntry> autoBreaks;  // size = capacity
        int32_t autoBreakCapacity = 0;
    };
    const ViewStateFields& ViewState() const { return m_view; }

    // What changes it. Each sets the values and nothing else: no signal,
    // no layout, not marked modified (the callers do what follows).
    // The page count and the current page as the report now has them,
    // after a command added, removed or moved pages (the current page at
    // most the last).
    void SyncPagesFromReport();
    // Holds changed() and itemChanged() back until as many ResumeRedraw
    // calls came (a view changing many things at once).
    void SuspendRedraw() { ++m_view.redrawSuspended; }
    void ResumeRedraw() { --m_view.redrawSuspended; }
    // The sheet's size in pixels and the scale the views show it at.
    void SetSheetSize(int width, int height);
    void SetDisplayScale(float scale) { m_view.scale = scale; }
    // Page breaks: whether the views draw them, the forced breaks (the
    // view's break commands edit a copy and put it back), the automatic
    // breaks of the last page layout.
    void SetShowPageBreaks(bool show) { m_view.showPageBreaks = show ? 1 : 0; }
    void SetManualBreaks(const qor::ManualBreakTable& breaks) { m_view.manualBreaks = breaks; }
    void SetAutoBreaks(std::vector<PageBreakEntry> breaks);

    // ======================================================================
    // Copy, cut, paste and fill of cell blocks (doc_clipboard.cpp)
    DocClipboard& Clipboard() { return *m_clipboard; }
    const DocClipboard& Clipboard() const { return *m_clipboard; }

    // ======================================================================
    // Items: charts, embedded objects, the chart window's state and the
    // object in place (doc_items.cpp)
    DocItems& Items() { return *m_items; }
    const DocItems& Items() const { return *m_items; }
    using NewObject = DocItems::NewObject;
    using ChartCellRecord = DocItems::ChartCellRecord;
    // Counts changes of what charts show (cells, pages, the page on screen).
    quint64 ContentGeneration() const { return m_contentGeneration; }

signals:
    // The update of all views.
    void changed(int hint);
    // One item changed (its rectangle is to be drawn again).
    void itemChanged(CComItem* item);
    // The modified mark was set or cleared (a window title shows it).
    void modifiedChanged(bool modified);

public:
    // ======================================================================
    // Fields the views read or write.

private:
    // Opening and saving set up the document's own state.
    friend class DocFiles;

    void resetFields();
    // Takes the report's page setup into PageSetup().
    void readPageSetup();
    // The cell and total formulas as one text, to tell whether format state
    // changed any.
    QString formulaSignature() const;

    std::unique_ptr<CReportHandle> m_pReport;
    int32_t m_bDataState = 0;  // 1 data state, 0 format state
    quint64 m_contentGeneration = 1;
    ViewStateFields m_view;
    QString m_strPathName;
    bool m_bModified = false;
    qor::PageSetupBlock m_pageSetup;
    // formulaSignature() when format state was entered: data state
    // recalculates when the formulas differ from it.
    QString m_formulasAtFormatEntry;
    std::vector<qor::IDocServerItem*> m_serverItems;
    std::unique_ptr<DocItems> m_items;
    std::unique_ptr<DocClipboard> m_clipboard;
    std::unique_ptr<DocFiles> m_files;
    // The selection while no view lends one, and the one in use.
    qor::SheetSelection m_ownSelection;
    qor::SheetSelection* m_selection = &m_ownSelection;
};
