#pragma once
// An open report. It is read in place until the first save, and from then
// on from the working file each save leaves in the work folder: the
// report's own file changes only when Save puts a complete new file in its
// place.

#include <QString>
#include <cstdint>
#include <array>
#include <memory>
#include <optional>

#include "engine/celltypes.h"
#include "engine/creportfile.h"
#include "engine/csheetpage.h"

class CReportHandle {
public:
    enum class OpenMode {
        OpenOrCreate,  // a missing file is created (the classic constructor)
        OpenExisting,  // a missing file is status 1005
        CreateNew,     // the file must not exist; it is written by the first Save
    };
    // A handle opened for writing holds an advisory lock on the report
    // file until it is destroyed: one writer per report, across processes.
    // A second writer is refused (status 1, ErrorText() says the report is
    // in use) and changes nothing. A read-only handle takes no lock, never
    // saves over the report it read (a save-as elsewhere is allowed), and
    // may read a report someone else is writing: saves rename a whole new
    // file into place, so it reads the file it opened, old and whole.
    // A report reached through a symbolic link is the file the link
    // points to (resolved once, here): it is locked and saved in its own
    // folder, and the link stays.
    enum class Access { Write, Read };
    // When the cell format table is read: at open (a damaged one fails the
    // open), or when first used, for a caller that reads little of a large
    // report and checks FormatLoadStatus() after each use (the Reader).
    enum class FormatReading { AtOpen, WhenUsed };

    // Opens the report at path or creates it (50 x 7, format state, no
    // pages, written at once). A path whose extension is not "rep" (any
    // case) gets ".rep". Registers in the table of open reports. The
    // engine's last error holds the outcome: 0, or 1005 missing, 1006 not
    // a report, 1007 unsupported version, 1008 damaged, 1009 table full,
    // 1010 cannot create, 1020 read error.
    // Write access also refuses (status 1) a report file without write
    // permission; a file that cannot be read is 1020 naming the cause.
    explicit CReportHandle(const QString& path);
    CReportHandle(const QString& path, OpenMode mode, Access access = Access::Write,
                  FormatReading formats = FormatReading::AtOpen);
    // Unsaved changes, format edits included, are dropped.
    ~CReportHandle();
    CReportHandle(const CReportHandle&) = delete;
    CReportHandle& operator=(const CReportHandle&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    uint16_t OpenStatus() const { return m_openStatus; }
    // The cause of the last failed open or refused save in words, when
    // the status alone does not tell it (in use, read-only, permission);
    // "" otherwise.
    QString ErrorText() const { return m_errorText; }
    bool IsReadOnly() const { return m_access == Access::Read; }
    // 0, or why cell formats read when first used could not be read.
    uint16_t FormatLoadStatus() const;
    // True when the constructor made a new report.
    bool WasCreated() const { return m_created; }

    // The report's full path, or the alternate path when one is set.
    QString GetPathName() const;
    // Save-as: later saves go to path (empty = back to the report's own).
    void SetAlternatePath(const QString& path);
    // The working file pages are read from: "" while the report is read
    // in place (until its first save).
    QString WorkingCopyPath() const {
        return m_file && m_file->OwnsFile() ? m_file->FilePath() : QString();
    }
    CReportFile* GetReportFile() const { return m_file.get(); }

    // Writes the whole report to GetPathName(); 1030/1090/1040 leave the
    // file there as it was. In format state the format edits are kept.
    // 1 for a read-only handle saving over its own report, or a save-as
    // target another writer holds.
    uint16_t Save();
    uint16_t CloseStreams();

    // 0; 1 when already in format state. The current page is let go.
    uint16_t EnterFormatState();
    // 0; 1 when not in format state or a page is loaded. The format edits
    // take effect: every page gets the new shape (in memory now, in the
    // file with the next save). The argument is not used.
    uint16_t EnterDataState(int unused = 0);
    int IsFormatState() const;
    // Leaves format state dropping the edits made since it was entered
    // (or since the last save); 1 when not in format state.
    uint16_t CancelFormatState();

    int GetPageCount() const;
    // From 1; 0 when no page is current.
    int GetCurPage() const { return m_curPage; }
    // 0; 1 in format state or on failure. 0 or a page beyond the count
    // selects page 1. The page is read at once, so a damaged record fails
    // here.
    uint16_t SetCurPage(int page);
    // The same, but the page is read only when something first uses it: a
    // caller that goes on to another page never pays for this one. A
    // damaged record fails that first use instead.
    uint16_t SelectCurPage(int page);
    // The current page, read now if it was not yet; null when no page is
    // current or its record cannot be read.
    CSheetPage* GetCurrentPage() const;
    // Any page, loaded when needed (the current page stays current).
    std::shared_ptr<CSheetPage> GetPage(int page, uint16_t* status = nullptr);

    // flag 0 get, 1 set. Set: 1 outside format state, 1070 beyond
    // 1..9,999 x 1..255.
    uint16_t AccessTableSize(int flag, uint16_t* rows, uint16_t* cols);
    // kind 0 rows, 1 columns (format state, at the end), 2 pages (any
    // state). 1 for a bad count or kind, 1050 past 99,999 pages, 1040.
    uint16_t AppendRowColPage(int count, int kind);
    uint16_t GetRowCount() const;
    uint16_t GetColCount() const;
    bool HasExtendedPageRecords() const;
    // Page records read from the file since the report was opened.
    uint64_t GetPageReadCount() const;

    // ---- model operations, grouped by the file that implements them
    // Rows, columns and pages are shown coordinates from 1 (the variable area
    // expanded by the lines of the page concerned); page 0 means the current
    // page. Bad page numbers give 1045.

    // ---- pages
    // kind 0 rows, 1 columns (format state, through InsertRowsCols /
    // DeleteRowsCols), 2 pages (any state). Pages: *count is cut to what fits
    // below 99,999 pages and written back; 1 for a count below 1 or a position
    // below 1 (a position past the end appends); 1050 when no page fits; 1040.
    uint16_t InsertRowColPage(int pos, uint16_t* count, int kind);
    // Pages: deletes up to count pages from pos on; 1 for a bad position or
    // count. The current page keeps its number when pages before it go; when
    // it goes itself, the page now at its place (or the last one) is current.
    uint16_t DeleteRowColPage(int pos, int count, int kind);

    // A stored area (rows and columns of the table, as a sample or a rule
    // names them) as it stands on a page: a variable area's template row
    // (column) stands for every line the page uses. Page 0 is the current
    // page, whose lines the format calls map through. 0; 1045 for a page
    // that cannot be read; 1075 for an area outside the table.
    uint16_t ShownAreaOnPage(int page, const qor::AreaRecord& stored, CellArea* shown);

    // The area marked with a tick on a page: 1 and the area, 0 when the page
    // has none (or the page cannot be read).
    int GetCheckLineArea(int page, CellArea* area);
    // Null removes the mark. 0; 1 in format state; 1075 for an area outside.
    uint16_t SetCheckLineArea(int page, const CellArea* area);

    struct PageSortKey {
        enum Kind { None, Keyword, Cell } kind = None;
        int slot = 0;  // keyword slot 0..6
        int row = 0;   // shown cell
        int col = 0;
        bool descending = false;
    };
    // Orders the pages by up to three keys (numbers before texts, equal pages
    // keep their order; a key holding both orders by number, a text read by
    // the number rule, and one it does not read refuses with
    // kValueRefusedStatus). The current page stays current under its new number.
    // 1 in format state or for a bad slot; 1075 for a cell outside; 1150 for
    // more than three keys.
    uint16_t SortPages(const QList<PageSortKey>& keys);

    // ---- cells and values
    // 0; 1 for no current page (page 0) or another page in format state; 1075
    // outside the table. Numbers are rounded to the cell's decimals; an empty
    // number reads as kind 0 and 0, an empty text as "". Label cells read as
    // kind 3 with their label. In format state page 0 gives the labels and
    // empty values.
    uint16_t GetCellValue(CellValue* value, int row, int col, int page);
    // Writes one cell. Kinds 1 and 2 go into a page in data state; a value of
    // the other kind is converted to the cell's kind (text by ParseDouble,
    // numbers as text with up to 15 significant digits); kind 0 empties the
    // cell. Kind 3 stores the cell's label (format state only) and makes it a
    // label cell. A cell holding a formula keeps its value unless
    // intoFormulaCells is 1 or the report lets values overwrite formula cells
    // (SetCalcFlag). 0; 1 for the wrong state, a label cell in data state or
    // a bad kind; 1075 outside the table.
    uint16_t SetCellValue(CellValue value, int row, int col, int page = 0, int zero = 0,
                          int intoFormulaCells = 0);
    // The cell's whole text (up to 255 characters; CellValue keeps 32): the
    // label, the text, or the number as GetCellValue reads it.
    QString GetCellText(int row, int col, int page, uint16_t* status = nullptr);

    enum ClearWhat { kClearValues = 1, kClearFormulas = 2, kClearCombines = 4 };
    // Clears an area: values (data state: the current page's values, but
    // not those of formula cells unless SetCalcFlag lets values replace
    // them; format state: the labels), formulas (through SetAreaFormula with an empty text)
    // and combined cells (UncombineCells). The first failing status is
    // returned; 1075 for an area outside, 1 without a current page.
    uint16_t ClearArea(const CellArea* area, int what);

    // The calculation flag: 1 lets written values replace the values of
    // formula cells.
    int GetCalcFlag() const;
    void SetCalcFlag(int flag);

    // Writes the queued record fills of a page (every request when page is 0
    // or 10,000) into their pages; a non-zero page then empties the queue.
    void FillFromRecordset(int page);

    // ---- variable area
    // op 0 get: kind (0 none, 1 rows, 2 columns), start (from 1, 0 when none),
    // extent (lines when expanded). op 1 set, op 2 remove (format state): 1 in
    // data state or for a bad op; 1065 for a bad kind, start or extent (1..
    // 9,998 rows, 1..254 columns) or a start row/column that crosses a
    // combined area, holds a formula or a keyword, or whose cells hold
    // values on a page (the area's lines would hide them; see
    // CReportFile::FirstHeldCellInLine).
    uint16_t AccessVarArea(int op, int* kind, int* start, int* extent);
    // New extent of the existing area (format state); 1 without an area, 1065
    // for a bad extent. Both refuse (1065) an extent below the lines a page
    // keeps through the change (those of an area of the same kind).
    uint16_t SetVarExtent(int extent);
    // The first page whose lines would pass an area of this kind and extent,
    // 0 when every page fits; *used gets its lines.
    int PageOverVarExtent(int kind, int extent, int* used = nullptr);
    // flag 0 get: lines used on the current page (1 without a page or area);
    // flag 1 set: grow with empty lines or cut to *count (data state, current
    // page). 1 for no page or no area or a count below 1; 1070 past the
    // area's extent (or where the shown table would pass 9,999 rows or 255
    // columns).
    uint16_t AccessVarCount(int flag, int* count);
    // Lines from 1 on the current page: insert count empty lines before line
    // (used + 1 appends); delete count lines from line on (one empty line is
    // left when all go). 1 for no page, no area or a bad count; 1075 for a bad
    // line; 1070 past the area's extent or the table's bounds.
    uint16_t InsertVarLines(int line, int count);
    uint16_t DeleteVarLines(int line, int count);

    struct VarSortKey {
        int pos = 0;  // column of a row area, row of a column area (stored, from 1)
        bool descending = false;
    };
    // Orders the current page's variable lines by up to three keys. 1 for no
    // page or no area; 1150 for a bad key or more than three.
    uint16_t SortVarLines(const QList<VarSortKey>& keys);

    // ---- keywords
    // op 0 get, 1 set the cell of slot 0..7 (shown; row or column 0 = not
    // placed). 1 for a bad slot or op; 1080 for a cell PlaceKeyword refuses.
    uint16_t AccessKeywordCell(int op, int slot, CellRef* cell);
    // Slots 0, 1 texts; 2..5 numbers; 6 as the user keyword type says. An unset
    // value reads as kind 0. 1 for a bad slot or no current page (page 0).
    uint16_t GetPageKeyword(int slot, qor::KeywordValue* value, int page);
    // Converts the value to the slot's kind (kind 0 unsets). recalc 1 then
    // recalculates the page (data state).
    uint16_t SetPageKeyword(int slot, qor::KeywordValue value, int page, int recalc = 0);
    // Makes the custom keyword a text (0) or number (1) keyword: every
    // page's value converts by the gate, or nothing changes and the first
    // page whose value does not is named (1270).
    uint16_t SetUserKeywordType(int type);
    // Fills page `page` with the values and keywords of a page of a report
    // of the same shape, each entering by the gate: a value this report's
    // cells or keywords do not take leaves the page as it was and is named
    // (1270), by `namedPage` when given (the source's page), else by `page`.
    uint16_t TakePageValues(int page, const CSheetPage& from, int namedPage = 0);

    // ---- page setup, saved view state, format password
    uint16_t GetPageSetup(qor::PageSetupBlock* block) const;
    // 1 for a scale outside 0.3..3.0 or negative margins.
    uint16_t SetPageSetup(const qor::PageSetupBlock& block);
    // The four saved words; true when they were set.
    bool GetSavedViewState(std::array<uint32_t, 4>* state) const;
    void SetSavedViewState(const std::array<uint32_t, 4>& state, bool set = true);
    QString GetFormatPassword() const;
    // 1 for more than 12 characters; an empty text removes the password.
    uint16_t SetFormatPassword(const QString& password);

private:
    struct CellSite;  // a located cell of a page, see creporthandle_cells.cpp
    uint16_t pageFor(int page, bool inFormatState, std::shared_ptr<CSheetPage>* out);
    uint16_t locateCell(int row, int col, const CSheetPage* page, CellSite* site) const;
    uint16_t readCell(const CSheetPage* page, int row, int col, CellValue* value,
                      QString* fullText) const;
    // BringCurrent before a read of a cell (shown coordinates) a formula computes.
    void bringCurrentFor(int row, int col, int page);

public:
    // ---- table shape (format state; positions are stored rows and columns,
    // which in format state are the shown ones)

    // Inserts *count empty rows (kind 0) or columns (kind 1) before pos
    // (from 1; one past the last row or column appends). The count is cut to what fits and
    // written back. New lines take the format of the line before them (of
    // the line after them at position 1). 0; 1 outside format state, for a
    // bad kind or count; 1075 for a bad position; 1070 when nothing fits;
    // 1040.
    uint16_t InsertRowsCols(int pos, uint16_t* count, int kind);
    // Deletes count rows or columns from pos on (cut at the table's end). 0;
    // 1 outside format state or for a bad kind or count; 1075 for a bad
    // position; 1070 when no row or column would be left; 1040.
    uint16_t DeleteRowsCols(int pos, int count, int kind);
    // Swaps listA[i] with listB[i], in order: rows (kind 0) or columns (kind
    // 1) in format state, pages (kind 2) in either state. 0; 1 outside format
    // state (rows, columns) or for a bad kind; 1150 for lists of different
    // lengths, empty lists or entries outside the table.
    uint16_t SwapRowColPage(const QList<int>& listA, const QList<int>& listB, int kind);
    // Gives this report the whole format of the report tmpl (table size,
    // row and column records, cell formats, labels, combined cells, area
    // lines, formulas, audit and rounding texts, keyword cells, the variable
    // area and the page setup); pages keep their values by position. This
    // report's passwords and view state stay. 0; 1 outside format state, for
    // a closed template or the report itself; 1040.
    uint16_t CopyFormatFrom(CReportHandle& tmpl);
    // Gives the area (shown; null = the whole table) one of the eleven table
    // styles, index 0..10. 0; 1 outside format state or for a bad index;
    // 1075 for an area outside the table.
    uint16_t ApplyTableStyle(int styleIndex, const CellArea* area = nullptr);

    // ---- cell formats
    // flag 0 get / 1 set attribute code 0..16 (qor::CellFormatCode). A get
    // reads the area's first cell, or the top-left cell of the combined area
    // holding it; a set writes every cell of the area, the value cut to the
    // field's width (decimals to 0..7). 0; 1 for a set outside format state
    // (except code 0), for code 15 or a bad code or flag; 1075 when the area
    // cannot be mapped.
    uint16_t AccessAreaFormat(int flag, int code, int32_t* value, const CellArea* area);
    // The whole format word a get of AccessAreaFormat reads its field from,
    // for a caller that wants many fields of one cell (cellFormatGet takes
    // them out). 0; 1 for bad arguments; 1075 when the area cannot be mapped.
    uint16_t ReadAreaFormatWord(const CellArea* area, uint64_t* word);
    // Row height (kind 0) or column width (kind 1) of a shown index, in
    // points. 0; 1 for a set outside format state or bad arguments; 1075 for
    // an index outside the table.
    uint16_t AccessRowColSize(int flag, int kind, int index, uint16_t* size);
    // Attribute byte of a row (line style of the left edge of its cell in
    // column 1) or column (top edge of its cell in row 1); a get sign-extends
    // it, a set keeps the low 8 bits. Statuses as AccessRowColSize.
    uint16_t AccessRowColFlag(int flag, int kind, int index, int32_t* value);

    // ---- combined cells and lines (format state)
    // 0; 1 outside format state; 1075 bad area; 1110 a single cell; 1120
    // overlapping another combined area; 1135 the variable area's start
    // inside; 1137 a formula inside; 1080 a placed keyword inside other than
    // in the area's first cell. Combining an area that already is one
    // changes nothing.
    uint16_t CombineCells(const CellArea* area);
    // 1 and the whole combined area (shown) holding the input area; 0, out
    // untouched, when the input does not lie in one combined area.
    int GetCombinedArea(const CellArea& in, CellArea* out) const;
    // Undoes every combined area the area touches. 0; 1 outside format
    // state; 1075 bad area.
    uint16_t UncombineCells(const CellArea* area);
    // Line type 0 grid, 1 inner horizontal, 2 inner vertical, 3 frame, 4
    // diagonal top-left to bottom-right, 5 bottom-left to top-right, 6 top, 7
    // bottom, 8 left, 9 right; style 0 (none, removes) .. 7. 0; 1 outside
    // format state or for a bad type or style; 1060 a diagonal over more than
    // 31 x 31 cells; 1075 bad area.
    uint16_t DrawAreaLines(const CellArea* area, int type, int style);

private:
    // The stored area of a shown one: 0, 1 (null), 1075.
    uint16_t mapFormatArea(const CellArea* area, qor::AreaRecord* stored) const;
    uint16_t mapRowColIndex(int kind, int index, uint16_t* stored) const;
    void copyInsertedLineFormats(int kind, uint16_t pos, uint16_t count);

public:
    // ---- formulas (shown coordinates unless a name says stored)
    // Sets a formula on an area in format state; an empty (or blank) text
    // removes the formulas of the area. Formulas the area cuts keep their other
    // cells. 0; 1 outside format state (or a cut formula that cannot be kept
    // without the formula checker); 1075 an area outside the table; 1200 the
    // variable area's first row or column inside; 1220 a combined cell inside;
    // 1240 more than 20,000 formulas; 1250 a text longer than 1,025
    // characters (also a cut formula's text that its moved references would
    // make longer); 1260 a text that does not compile (LastFormulaError says why).
    uint16_t SetAreaFormula(CellArea* area, const QString& text);
    QString LastFormulaError() const;
    // Where in the refused text the problem lies (an offset), -1 when unknown.
    int LastFormulaErrorPosition() const;
    // 1 and the record (first corner and area the formula was set on, text,
    // kind, state) when the cell holds a formula; 0 and an empty text otherwise.
    int GetCellFormula(CellRef cell, FormulaInfo* rec) const;
    // 0 no formula, 1 a formula, 2 a formula in error (it does not compile, it
    // is part of a cycle, or it failed on the current page).
    int GetCellFormulaState(int row, int col) const;
    // Whether the value of a cell (shown row and column; page 0 = the
    // current one; data state) is what a failed formula left: its own
    // formula failed, or the value was taken over from a cell whose formula
    // had (a total that skipped it, an appended page). Such a value is no
    // amount.
    bool CellValueFailed(int row, int col, int page = 0);
    // Marks a cell's value as a failed formula's; the mark is stored with
    // the page and goes when a value is written into the cell. 0; the
    // status of the page or the cell.
    uint16_t MarkCellValueFailed(int row, int col, int page);
    // Every formula of a kind (0 cell formulas, 1 total formulas, -1 both), in
    // the order they were set.
    std::vector<FormulaInfo> EnumFormulas(int kind) const;

    // The audit formulas: a null text when there are none. Set: 0; 1 for a text
    // of 4,096 characters or more (a final CR LF not counted); 1040; an empty
    // text removes them.
    QString GetAuditFormulas() const;
    uint16_t SetAuditFormulas(const QString& text);
    // The rounding-balance settings (all empty when none). Set: 0; 1 for a
    // table name or range of 256 characters or more, digits outside 1..8 or a
    // formula of 3,746 characters or more (nothing stored); all empty with
    // digits 0 removes them.
    qor::RoundingSettings GetRoundingSettings() const;
    uint16_t SetRoundingSettings(const qor::RoundingSettings& settings);

    // ---- recalculation (data state; needs the formula checker and evaluator)
    struct FailedCell {
        int page = 0;
        QString cell;    // "B3"
        QString reason;  // why its formula failed ("" when nothing tells)
        int row = 0, col = 0;
    };
    struct RecalcSummary {
        int pages = 0;         // pages recalculated
        int cells = 0;         // formula cells computed
        int errorCells = 0;    // cells left in error (cycles included)
        int cyclicCells = 0;   // cells of formulas in a cycle
        bool stopped = false;  // RecalcAll stopped by the user
        // The first few cells left in error by position (page, row, column),
        // for whoever has to tell the user: the order formulas are computed
        // in follows what they read, which is not where a reader looks first.
        std::vector<FailedCell> failed;
    };
    static constexpr size_t kFailedCellsKept = 10;
    // Results are kept current by working out again every formula cell that
    // reads a change, on any page, directly or through other cells, each
    // once and after everything it reads; a cell that reads itself through
    // any path fails as a cycle (formula state 2 when its own page shows
    // it), and so do the cells that read it. Cycles are reported through
    // TraceMessage. Statuses: 0; 1 in format state, with no evaluator or
    // checker; 1045 no such page; a page load failure.
    // RecalcPage: every formula of a page (0 = the current page), with what
    // reads that page elsewhere and every statistic over pages.
    uint16_t RecalcPage(int page);
    // Every page; stops between pages when the user asks (1, summary.stopped).
    uint16_t RecalcAll();
    // After a cell edit: the formulas that read the cell (shown coordinates)
    // on any page, directly or through others, and the volatile ones of its
    // page.
    uint16_t RecalcDependents(int page, int row, int col);
    // Brings every value up to what its formula gives now, after whatever
    // changed since they last were (the engine notes every change: values,
    // keywords, pages, lines, formulas, the shape). Saves and reads of
    // values call it; nothing to do costs nothing. 0 when nothing was
    // noted, in format state (the marks stay until data state), while a
    // recalculation is running, or without the formula evaluator; else as
    // RecalcAll, with its summary in LastRecalcSummary().
    uint16_t BringCurrent();
    // True when no change waits for BringCurrent.
    bool ValuesCurrent() const;
    const RecalcSummary& LastRecalcSummary() const { return m_recalcSummary; }
    // Recalculations run since the report was opened, whoever asked for
    // them: a route tells what the last one left failed only when one ran
    // during it.
    uint64_t RecalcRuns() const { return m_recalcRuns; }
    // "Page 2, B3: its formula failed" with the reason when one is known.
    static QString FailedCellText(const FailedCell& cell);
    // What the last recalculation left failed: how many cells and the first
    // of them with its reason; "" when every formula gave a value.
    QString RecalcFailureText() const;

private:
    // What changed since the results were last worked out: every formula
    // cell that reads any of it, on any page and through any number of
    // others, is worked out again.
    struct RecalcSeeds {
        struct Cell {
            int page = 0;  // 1..
            uint16_t row = 0, col = 0;  // stored
        };
        bool all = false;        // every formula cell of every page
        std::vector<int> pages;  // pages changed as a whole (keywords, lines)
        std::vector<Cell> cells;
    };
    struct RecalcRun;
    uint16_t recalcFrom(const RecalcSeeds& seeds);
    RecalcSummary m_recalcSummary;
    uint64_t m_recalcRuns = 0;

    void open(const QString& path, OpenMode mode);
    uint16_t lockForWriting(const QString& path, int* fd);
    void releaseLock();
    // Makes page current (0 = none), reading it only when load is true.
    uint16_t makeCurrent(int page, bool load);
    // The current page, read on first use (null and *status when none is
    // current or it cannot be read).
    std::shared_ptr<CSheetPage> currentPage(uint16_t* status = nullptr) const;

    QString m_path;     // full path of the report
    QString m_altPath;  // save-as target
    std::unique_ptr<CReportFile> m_file;
    // The current page once read; m_curPage names it before that.
    mutable std::shared_ptr<CSheetPage> m_current;
    int m_curPage = 0;
    // Keyword values of the current page while it is not read, from its
    // record alone: a caller asking for them one slot at a time checks
    // the record once.
    mutable std::optional<std::array<qor::KeywordValue, qor::kPageKeywordSlots>> m_curKeywords;
    uint16_t m_openStatus = 0;
    bool m_created = false;
    bool m_unwritten = false;  // CreateNew: nothing at the path until the first save
    Access m_access = Access::Write;
    FormatReading m_formats = FormatReading::AtOpen;
    int m_lockFd = -1;  // the report file, locked for writing
    QString m_errorText;
};

namespace qor {

// "x.REP" stays, "x.txt" becomes "x.rep", "x" becomes "x.rep".
QString ReportPathWithExtension(const QString& path);

// Checks the report at path (1005 missing, 1006 not a compound file or
// no "QOR~REP", 1007 a version no converter is registered for, 1008
// damaged, 1020 unreadable) and copies it, converted when older, to a new
// working file in the work folder; *workPath names it.
uint16_t OpenWorkingCopy(const QString& path, QString* workPath);

// Test hook: opening a report for reading fails with this errno (0 off),
// as a file without read permission does for anyone but root.
void SetReportOpenFaultForTests(int errorNumber);

}  // namespace qor
