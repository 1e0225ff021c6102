#pragma once
// The report document: one open report, the selection and the display and
// print settings its views share, the clipboard range and the list of
// free-standing items (charts and embedded objects) on its pages.
//
// Rows and columns are counted from 0 here and are shown coordinates of
// the current page (a variable area expanded by its used lines); the
// document turns them into the report's 1-based ones and applies every
// change through the report's own operations. After a change it marks
// itself modified and emits changed(hint), which every view answers by
// redrawing (the update of all views).

#include <QHash>
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
struct NativeArea;
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

class CQorsDoc : public QObject, public qor::items::IItemDocument, public qor::ICommandTarget {
    Q_OBJECT

public:
    using ItemPos = CComItem*;  // a place in the item list; null = none

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

    // What ForwardToCellEdit forwards.
    enum CellEditMessage : int { kEditCopy = 0x0301, kEditCut = 0x0300, kEditPaste = 0x0302 };

    // Clipboard format of cell areas ("Native QOR Data") and its MIME name.
    static const char* const kNativeFormatName;

    explicit CQorsDoc(QObject* parent = nullptr);
    ~CQorsDoc() override;
    CQorsDoc(const CQorsDoc&) = delete;
    CQorsDoc& operator=(const CQorsDoc&) = delete;

    // ======================================================================
    // Menu commands (doc_commands.cpp): the document's dialogs commands,
    // off with a reason when the report, its state or the dialog is missing.
    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;
    const qor::CommandIdSet* DeclaredCommands() const override;

    // ======================================================================
    // Open, save, close (doc_files.cpp)

    // A new report: 50 x 7, format state, never saved (empty path name).
    bool OnNewDocument();
    // Opens a file by its type: ".rep" natively (file password, in-use
    // mark, working copy), other types through their converter. On failure
    // the user is told why and the document is left as it was.
    // forReading: the document is a source to read (a conversion's): the
    // report is opened without the writer's lock or the in-use mark, so it
    // keeps nobody out, and can only be saved under another name.
    bool OnOpenDocument(const QString& path, bool forReading = false);
    // Saves by the type of path (empty = the document's own path). A ".rep"
    // save writes "OTHERS" and the items first; a failed save leaves the
    // file at path as it was and the document modified.
    bool OnSaveDocument(const QString& path = QString());
    // Drops the report (unsaved changes too), clears its in-use mark and
    // deletes the items.
    void OnCloseDocument();

    // The native open and save behind the two above.
    bool OpenRepFile(const QString& path, bool forReading = false);
    bool SaveRepFile(const QString& path);
    // The own XML import (command 1280) from the pending exchange path:
    // the format pass, data state, then the data pass. False when the
    // format pass stops.
    bool OnXmlImport();
    // The spreadsheet XML import (command 1285) from the pending exchange
    // path: the first worksheet's layout, formats, texts and period
    // keywords, then data state. The table follows in the views as it is
    // sized. False, with the reason told, when nothing could be read.
    bool OnSpreadsheetXmlImport();
    // Imports a workbook through the registered ".xls" converter.
    bool OpenXlsFile(const QString& path);
    // Applies the format of the report template at path (format state,
    // after the question 63157). 0 applied; 1 refused or cancelled; or the
    // engine's status.
    int ApplyTemplateFile(const QString& path);
    // TRUE when path names an existing compound file; otherwise the user is
    // told ("模板文件不存在！" or 63158) and FALSE.
    static int CheckTemplateFile(const QString& path);
    // Reads the cells of a text file, its fields placed as layout says,
    // into this report: the table grows to hold them, formats and table
    // texts in format state, then keywords and values page by page in data
    // state. Lines that cannot be read are left out and listed in *result.
    // False with *error when nothing could be imported or the report
    // refused a change (doc_textexchange.cpp).
    bool ImportExportText(const QString& path, const qor::ImportLayout& layout,
                          qor::TextImportResult* result, QString* error);
    // Runs the exchange object's sample preparation (made on first use).
    int PrepareClientSamples(const QString& path, int newReport, int formatChanged);
    // Rebuilds the page-period list from the year, month and day keywords
    // of every page ("0-0-0" for a page without them).
    void RecordPagePeriods();
    // The document's exchange object, made on first use; null when no
    // factory is registered.
    qor::IConsolExchange* GetConsolExchange();
    // The consolidation client's marker (kConsolClientMarker or 0).
    uint32_t GetClientMarker() const { return m_nClientMarker; }
    void SetClientMarker(uint32_t marker) { m_nClientMarker = marker; }
    // The page periods recorded at the last open or save, and the ones the
    // pages hold now.
    const QStringList& GetPagePeriods() const { return m_pagePeriods; }
    QStringList CurrentPagePeriods() const { return computePagePeriods(); }

    bool IsOpen() const { return m_pReport != nullptr; }
    CReportHandle* GetReport() const { return m_pReport.get(); }
    // The report's path; empty for a report never saved.
    QString GetPathName() const { return m_strPathName; }
    // The name a window shows for the report: its file's name, else the
    // name of the file it was opened from (a workbook, say: saving still
    // asks for a report name), else empty for a new report.
    QString GetTitle() const;

    // ======================================================================
    // Modified flag and views (cqorsdoc.cpp)

    void SetModifiedFlag(bool modified = true) override;
    bool IsModified() const { return m_bModified; }
    // Tells every view (changed) unless redrawing is suspended.
    void UpdateAllViews(int hint = kHintAll);
    void UpdateItemViews(CComItem* item) override;
    QSize SheetSize() const override { return QSize(m_nSheetWidth, m_nSheetHeight); }
    bool IsFirstViewChartEditing() const override { return m_bChartEditing != 0; }

    // Server items (the layer above registers them).
    void AddServerItem(qor::IDocServerItem* item);
    void RemoveServerItem(qor::IDocServerItem* item);
    // Passes an update to every server item except the sender.
    void UpdateServerItems(const QObject* sender = nullptr, int hint = 0, bool force = false);
    // The object of this report now edited in place (null when none). The
    // window that edits it sets and clears it; the document only answers.
    CComItem* GetInPlaceActiveItem() const { return m_pInPlaceItem; }
    void SetInPlaceActiveItem(CComItem* item) { m_pInPlaceItem = item; }
    // Set on a report that is itself an object being edited in place in
    // another report.
    bool IsRunningInPlace() const { return m_bRunningInPlace; }
    void SetRunningInPlace(bool on) { m_bRunningInPlace = on; }

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
    // Formula lists: type 0 cell formulas ("A1=text", "TOTAL " before total
    // formulas), 1 the audit formulas, 2 the rounding formula; every line
    // ends with CR LF.
    void BuildFormulaListText(int type, QString* out) const;
    // The in-cell edit: while a handler is set and the edit has the focus,
    // copy, cut and paste go to it.
    using CellEditForwarder = std::function<bool(int message)>;
    void SetCellEditForwarder(CellEditForwarder forwarder) { m_cellEdit = std::move(forwarder); }
    bool ForwardToCellEdit(int message);

    // File password ("" removes it); stored in "OTHERS" by the next save.
    bool SetFilePassword(const QString& password);
    QString GetFilePassword() const { return m_strFilePassword; }

    // ---- manual page breaks (the view's forced-break command)
    enum BreakChange { kBreakNone, kBreakAdded, kBreakRemoved, kBreakTableFull };
    // Sets or removes a forced break before (row, col) as the view's
    // command does; either way the breaks are shown and the document is
    // marked modified.
    BreakChange ToggleManualBreak(int row, int col);
    void ClearAllManualBreaks();
    // 1 when a manual break lies just before (row, col).
    int IsPageBreakAt(int row, int col);
    // Grows the automatic break array by 10 entries (new ones -1).
    void GrowAutoBreakTable();

    // ======================================================================
    // Clipboard (doc_clipboard.cpp)

    // Puts the selection on source as tab-separated text and as "Native
    // QOR Data". Records the copy range and page. False (nothing added)
    // when the selection cannot be read.
    bool CopyAreaToClipboard(QMimeData* source);
    // Copy, then clear the selection, only when the copy succeeded.
    bool CutAreaToClipboard(QMimeData* source);
    // Pastes at the selection's first cell: in data state the values, in
    // format state the formats, table texts, combined cells and formulas.
    // "Native QOR Data" is preferred to text. 0, or the first failing
    // status (the caller tells the user, message 62004).
    int PasteFromClipboard(const QMimeData* data);

    // ---- fill (doc_clipboard.cpp): the selection's first row (down),
    // first column (right), last row (up) or last column (left) copied
    // across the rest of it, as a copy and paste would: values in data
    // state; kinds, formats, table texts and formulas in format state, the
    // formulas' references moved by the distance from the source line.
    enum FillDirection { kFillDown, kFillRight, kFillUp, kFillLeft };
    // Whether the fill can act: an open report and a selection of more than
    // one row (down, up) or column (right, left). *reason says why not.
    bool CanFill(FillDirection direction, QString* reason = nullptr) const;
    // 0, or the first status a cell refused with (the other cells are
    // filled all the same, as a paste fills them).
    int FillSelection(FillDirection direction);

    // ======================================================================
    // Items (doc_items.cpp)

    // A new OLE item (ole non-zero) or chart, of the current page (0 in
    // format state), added to the list; a chart becomes the current chart.
    // Null, with message 62722, for a chart in format state.
    std::shared_ptr<CComItem> CreateComItem(int ole);
    void AddComItem(const std::shared_ptr<CComItem>& item);
    void RemoveComItem(CComItem* item) override;
    void RemoveComItemAndRefresh(CComItem* item);
    // Moves the item 10 pixels right and down while its rectangle equals
    // another item's.
    void CascadeComItem(CComItem* item);
    ItemPos FindComItem(const CComItem* item) const;
    ItemPos GetFirstComItemPos() const;
    ItemPos GetLastComItemPos() const;
    // The item at pos; pos moves to the next (previous) one, null at the end.
    CComItem* GetNextComItem(ItemPos& pos) const;
    CComItem* GetPrevComItem(ItemPos& pos) const;
    // Moves the item to the tail of the list (drawn last, on top) or to its
    // head; false when it is not in the list or already there.
    bool MoveComItemToEnd(const CComItem* item, bool toTail);
    int GetComItemCount() const { return int(m_items.size()); }
    std::shared_ptr<CComItem> GetComItemShared(const CComItem* item) const;

    // Stores the description into the current chart (that chart alone);
    // 1.
    int CreateChart(const qor::items::ChartDesc& desc);
    // Removes the current chart; the next chart (else the previous) becomes
    // current. False when no chart remains.
    bool DeleteCurrentChart();
    int GetChartCount() const;
    void GetChartListInfo(int* count, ItemPos* pos) const;
    bool GetChartName(ItemPos pos, QString* name) const;
    bool SetCurrentChart(ItemPos pos);
    ItemPos GetCurrentChart() const { return m_posCurrentChart; }
    // 0 without pages; else the current chart's description and 1 page,
    // or the page count capped at 12 for a whole-report chart; 1.
    int GetChartPageSpan(qor::items::ChartDesc* desc, int* pages) const;

    // One cell of a chart's source area: kind 1 a number, else a text (at
    // most 65 characters).
    struct ChartCellRecord {
        int32_t kind = 0;
        QString text;
        double value = 0;
        bool operator==(const ChartCellRecord&) const = default;
    };
    // The chart's source area, page after page (from the description's
    // page, or page 1 for a whole-report chart), row by row, plus one spare
    // record; and one label per page (the value of the description's label
    // keyword, at most 310 characters). False, with a message, for an area
    // outside the table or no pages in data state.
    bool GetChartDataFromArea(const qor::items::ChartDesc& desc, int pages,
                              std::vector<ChartCellRecord>* cells, QStringList* pageLabels);
    // Brings a chart item's picture up to date: drawn again from the cells
    // of the item's page (a format item: the page on screen; a whole-report
    // chart: pages 1 to 12) when the cells, that page or the item's size
    // changed since it was last drawn, or always with `force`. Quiet: an
    // area outside the table, too large, or a report without pages leaves
    // the chart without a picture. True when the item has a fresh picture.
    bool RefreshChartPicture(CComItem* item, bool force = false) override;
    // The page whose cells a chart item shows.
    int ChartItemPage(const CComItem& item) const;
    // A chart item's description (its page set to the page shown) and the
    // cells it draws; false, quietly, when they cannot be read.
    bool ReadChartItemData(const CGraphItem& chart, qor::items::ChartDesc* desc,
                           qor::charts::ChartData* data) const;
    // Adds the chart of a "Graph QOR Data" record (clipboard or drop): a new
    // "GRAPH_<n>" name, the current page in data state (else its own page
    // when that page exists here, else 0), placed at `at` when given and
    // moved off an equal rectangle. Null with *error, adding nothing, for
    // bytes that are not exactly one chart.
    std::shared_ptr<CComItem> PasteChartItem(const QByteArray& record, const QPoint* at,
                                             QString* error = nullptr);
    // An object made from a file, added at `at` (sheet pixels): embedded
    // (its bytes kept in the report) or linked (the file named), shown as
    // its picture or as an icon. Null with *error, adding nothing, for a
    // report file, a file too large or unreadable.
    std::shared_ptr<CComItem> InsertObjectFromFile(const QString& path, QPoint at, bool link,
                                                   bool icon, QString* error = nullptr);
    // An object of bytes already in hand (a dropped or pasted picture, a
    // copied report): embedded, or linked to the file `name`; shown as
    // `picture` (PNG) when given, else as its bytes show. Null with
    // *error, adding nothing, for no bytes or too many.
    struct NewObject {
        QByteArray bytes;
        QString name;     // file name (the class and the placeholder come from it)
        QString classId;  // empty: from the bytes and the name
        QByteArray picture;
        bool link = false;
        bool icon = false;
    };
    std::shared_ptr<CComItem> InsertObject(const NewObject& object, QPoint at,
                                           QString* error = nullptr);
    // Adds the object of an "OLE QOR Data" payload with its bytes (a new
    // embedding number here), at `at` when given, moved off an equal
    // rectangle. Null with *error, adding nothing, for damaged bytes.
    std::shared_ptr<CComItem> PasteObjectItem(const QByteArray& payload, const QPoint* at,
                                              bool keepOwnPage, QString* error = nullptr);
    // The page a pasted or dropped item gets: in format state its own page
    // when that page exists here, else 0; in data state the current page,
    // or with keepOwnPage its own page when that exists here.
    uint32_t PastedItemPage(uint32_t page, bool keepOwnPage) const;
    // The report's bytes as saved, for another report to embed; empty with
    // *error while it has unsaved changes or no file.
    QByteArray SaveEmbeddingCopy(QString* error = nullptr) const;
    // The object's primary verb: an embedded object opens as a copy in the
    // work folder, a linked one as its file, in the desktop's program;
    // changes saved there come back (ObjectFileChanged). False with *error
    // when there is nothing to open or no program opened it.
    bool OpenObject(CComItem* item, QString* error = nullptr);
    // A file opened by OpenObject changed: an embedded object takes the new
    // bytes, a linked one its new picture; both are drawn again and the
    // report is marked modified. False when the file is not one of ours or
    // cannot be read (the object keeps what it had).
    bool ObjectFileChanged(const QString& path);
    // An embedded object takes new bytes (edited elsewhere): its picture is
    // made anew from them, it is drawn again and the report is marked
    // modified. False, changing nothing, for no bytes, the same bytes, a
    // link or an item that is not an object of this report.
    bool TakeObjectData(CComItem* item, const QByteArray& bytes, const QString& fileName);
    // A linked object's picture made anew from its file; false, keeping the
    // stored picture, when the file is gone or unreadable.
    bool RefreshLinkedObject(CComItem* item);
    // Counts changes of what charts show (cells, pages, the page on screen).
    quint64 ContentGeneration() const { return m_contentGeneration; }

    // The item list as the "Contents" stream, and back (loading replaces
    // the list). False with *error for a damaged stream.
    QByteArray SerializeItems() const;
    bool LoadItems(const QByteArray& contents, QString* error = nullptr);

signals:
    // The update of all views.
    void changed(int hint);
    // One item changed (its rectangle is to be drawn again).
    void itemChanged(CComItem* item);

public:
    // ======================================================================
    // Fields the views, the frames and the exchange formats read or write.

    // ---- core
    int32_t m_bRedrawSuspended = 0;
    int32_t m_bDataState = 0;      // 1 data state, 0 format state
    int32_t m_nCurPage = 0;        // from 1; 0 none
    quint64 m_contentGeneration = 1;
    // Files opened for objects (path -> item) and their watcher.
    QHash<QString, CComItem*> m_openObjects;
    CComItem* m_pInPlaceItem = nullptr;
    bool m_bRunningInPlace = false;
    std::unique_ptr<class QFileSystemWatcher> m_objectWatcher;
    int32_t m_nShownPage = 0;      // the page last published to the page tabs
    int32_t m_nPageCount = 0;      // set by the XML import's data pass too
    uint32_t m_nClientMarker = 0;  // kConsolClientMarker for client reports
    QStringList m_pagePeriods;     // "%d-%d-%d" per page, "0-0-0" none

    // ---- display
    int32_t m_nSheetWidth = 0, m_nSheetHeight = 0;  // pixels
    float m_fScale = 1.4f;
    std::array<uint32_t, 4> m_savedViewState{};  // copy of the report's

    // ---- printing
    int32_t m_bShowPageBreaks = 0;
    qor::ManualBreakTable m_manualBreaks{};
    std::vector<PageBreakEntry> m_autoBreaks;  // size = capacity
    int32_t m_nAutoBreakCapacity = 0;
    int32_t m_nMarginLeft = 0, m_nMarginTop = 0, m_nMarginRight = 0, m_nMarginBottom = 0;
    float m_fPrintScale = 1.0f;
    int32_t m_nTitleSwitch = 0;  // 0 rows, 1 columns
    int32_t m_bHeadTitle = 0, m_nHeadFirst = 0, m_nHeadLast = 0;
    int32_t m_bTailTitle = 0, m_nTailFirst = 0, m_nTailLast = 0;

    // ---- clipboard
    std::array<int32_t, 4> m_copyRange{};  // first col, first row, last col, last row
    std::array<int32_t, 4> m_copyRect{};   // sheet pixels
    int32_t m_nCopyPage = 0;

    // ---- items
    int32_t m_bChartFrameOpen = 0;
    int32_t m_nChartCounter = 0;  // for "GRAPH_" names
    qor::items::ChartDesc m_currentChartDesc;
    int32_t m_bChartWindowOpen = 0;
    int32_t m_bChartChanged = 0;
    QObject* m_pChartView = nullptr;
    int32_t m_bHasCharts = 0;
    int32_t m_bOleBusy = 0;
    int32_t m_bChartEditing = 0;

    // ---- in place / server
    qor::IDocServerItem* m_pEmbeddedItem = nullptr;
    int32_t m_nEmbFirstRow = 0, m_nEmbFirstCol = 0, m_nEmbLastRow = 0, m_nEmbLastCol = 0;
    int32_t m_bKeepRange = 0;
    int32_t m_nInPlaceFirstRow = 0, m_nInPlaceFirstCol = 0;
    int32_t m_nInPlaceLastRow = 0, m_nInPlaceLastCol = 0;

private:
    void resetFields();
    void adoptReport(std::unique_ptr<CReportHandle> report, const QString& pathName,
                     bool markedInUse);
    void releaseReport();
    void applyOthers(const qor::DocOthers& others);
    qor::DocOthers collectOthers(const QStringList& periods) const;
    QStringList computePagePeriods() const;
    void syncPageSetupFields();
    // The cell and total formulas as one text, to tell whether format state
    // changed any.
    QString formulaSignature() const;
    bool writeDocumentStreams(const QStringList& periods, QString* error);
    void removeItemsInArea(const CellArea& area);
    int pasteNative(const QByteArray& bytes, bool* touched);
    // The cells (r1, c1)-(r2, c2) (from 0) as a copy reads them; the text a
    // copy puts beside them into *shownText.
    bool copyBlock(int r1, int c1, int r2, int c2, qor::NativeArea* out, QString* shownText);
    // Writes block at (r0, c0) (from 0) as a paste does, moving its
    // formulas' references by (dr, dc).
    int placeBlock(const qor::NativeArea& block, int r0, int c0, int dr, int dc);
    int pasteText(const QString& text);
    int lastShownRow() const;
    bool chartAreaInTable(const qor::items::ChartDesc& desc) const;
    // Embedded objects' bytes to and from their "Embedding n" storages.
    void writeObjectStorages();
    uint32_t nextEmbeddingNumber() const;
    void readObjectStorages();
    int lastShownCol() const;

    std::unique_ptr<CReportHandle> m_pReport;
    QString m_strPathName;
    QString m_strOpenedFrom;  // the other type's file an unsaved report came from
    QString m_strTempReport;  // the never-saved report's own file
    QString m_strMarkedPath;  // the file this document marked in use
    bool m_bModified = false;
    // formulaSignature() when format state was entered: data state
    // recalculates when the formulas differ from it.
    QString m_formulasAtFormatEntry;
    bool m_bKeepStoredContents = false;  // "Contents" could not be read
    QString m_strFilePassword;
    std::vector<qor::OthersRecord> m_unknownOthers;
    std::vector<std::shared_ptr<CComItem>> m_items;
    ItemPos m_posCurrentChart = nullptr;
    std::vector<qor::IDocServerItem*> m_serverItems;
    std::unique_ptr<qor::IConsolExchange> m_pConsolExchange;
    CellEditForwarder m_cellEdit;
    // The selection while no view lends one, and the one in use.
    qor::SheetSelection m_ownSelection;
    qor::SheetSelection* m_selection = &m_ownSelection;
};
