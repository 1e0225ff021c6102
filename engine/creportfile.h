#pragma once
// The storage of one report: the compound file it is read from (the
// working copy), the header and format sections held in memory, both page
// directories, pages loaded on demand with a small cache, the remapping of
// pages after format edits, and the save that writes a whole new file and
// renames it into place.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/celltypes.h"
#include "engine/csheetpage.h"
#include "engine/reportlayout.h"
#include "platform/compoundfile.h"

namespace qor {

// Test hook: every save writes at most this many bytes (all files of the
// save together) and then fails with errorNumber, as a full disk or a
// failing device would. -1 turns it off. ENOSPC makes the save return
// 1090, anything else 1030.
void SetSaveFaultAfterBytes(qint64 bytes, int errorNumber = EIO);

// Copies a file's bytes into an open, empty file and syncs it (1020 read
// error, 1030/1090 write error), without the save's fault hook.
uint16_t CopyFileInto(const QString& from, int to);

struct SaveOptions {
    // The target must not exist yet (a new report): 1010 when it does.
    bool noReplace = false;
    // Receives the descriptor of the file now at the target, holding the
    // writer's lock on it (-1 when the target is the working file).
    int* lockHandle = nullptr;
    // Set when the save failed because the report at the target belongs
    // to an account or group this one may not give the new file to.
    bool* ownerNotKept = nullptr;
};

// Pages kept loaded besides the current one.
constexpr int kPageCacheSize = 16;
// Unchanged pages nobody holds are kept only up to this many bytes: a
// page is read again in a few milliseconds, while sixteen full-size pages
// would hold half a gigabyte, and an export walking through the pages
// would grow with every page it passed.
constexpr size_t kPageCacheBytes = size_t(8) << 20;

}  // namespace qor

class CReportFile {
public:
    using ReportFormat = qor::ReportFormat;
    using RemapMatrix = qor::RemapMatrix;

    ~CReportFile();
    CReportFile(const CReportFile&) = delete;
    CReportFile& operator=(const CReportFile&) = delete;

    // Opens the report stored at path: reads the header, the format
    // sections and both page directories, no page. ownsFile: path is a
    // working file of ours, removed when it is replaced or the report is
    // closed. Null and *status 1006/1007/1008/1020 on failure.
    // opened: the compound file at path when the caller has it open already.
    // pendingFormats: the cell formats are read (and checked) when first
    // used, not here; the opener then checks FormatLoadStatus() after using
    // them (see CellFormatTable).
    static std::unique_ptr<CReportFile> Open(const QString& path, uint16_t* status,
                                             bool ownsFile = false,
                                             std::unique_ptr<qor::CompoundFile> opened = {},
                                             bool pendingFormats = false);
    // The same on an open report file, read in place until the first save:
    // opening copies nothing. The file stays the one read even when
    // something else is put at its name meanwhile.
    static std::unique_ptr<CReportFile> OpenHandle(int fd, uint16_t* status,
                                                   std::unique_ptr<qor::CompoundFile> opened = {},
                                                   bool pendingFormats = false);
    // A new report (50 x 7, format state, no pages); path names an empty
    // working file of ours.
    static std::unique_ptr<CReportFile> CreateNew(const QString& path);

    // The file pages are read from: the report itself until the first
    // save, then the working file each save leaves in the work folder.
    QString FilePath() const { return m_path; }
    // True when FilePath() is a working file of ours.
    bool OwnsFile() const { return m_ownsFile; }

    // ---- header and format
    // The format as it now stands (in format state: with the edits made).
    const ReportFormat& Format() const { return m_format; }
    // For format edits; shape changes go through RemapTable instead.
    ReportFormat& MutableFormat() { return m_format; }
    // The format pages are shaped for (differs from Format() only while
    // format edits are pending).
    const ReportFormat& CommittedFormat() const { return m_committed ? *m_committed : m_format; }
    // The committed cell that edited cell (row, col) comes from: pages keep
    // the committed shape until the edit is committed, so this is where the
    // cell's values sit on them. False for a line the edit added.
    bool PendingOrigin(uint16_t row, uint16_t col, uint16_t* oldRow, uint16_t* oldCol) const;
    // 0, or why cell formats read when first used could not be read (1007,
    // 1008, 1020, 1040): then they are not to be trusted, and saves refuse.
    uint16_t FormatLoadStatus() const {
        return m_committed ? std::max(m_committed->cellFormats.loadStatus(),
                                      m_format.cellFormats.loadStatus())
                           : m_format.cellFormats.loadStatus();
    }
    uint16_t GetRowCount() const { return m_format.header.rows; }
    uint16_t GetColCount() const { return m_format.header.cols; }
    QByteArray VersionText() const { return m_format.header.versionText; }
    bool HasExtendedPageRecords() const { return m_format.header.flags & qor::kFlagExtendedPages; }

    // Format state bookkeeping. Begin keeps a snapshot; Commit gives every
    // page the new shape (once, through the remapping matrix); Cancel
    // returns to the snapshot.
    bool IsFormatEditing() const { return m_committed.has_value(); }
    void BeginFormatEdit();
    void CommitFormatEdit();
    void CancelFormatEdit();
    // True once after a commit rounded stored numbers to fewer decimals:
    // the formulas that read them are then to be computed again.
    bool TakeNumbersRounded() { return std::exchange(m_numbersRounded, false); }

    // Changes the table's shape during a format edit: step maps the rows
    // and columns of the current shape to the new one. Row and column
    // records, cell formats, labels, areas, formulas, keyword cells and the
    // variable area follow; the step joins the pending remapping matrix.
    // 0; 1 outside a format edit or when step does not start from the
    // current shape; 1070 for a new shape beyond 1..9,999 x 1..255; 1040.
    uint16_t RemapTable(const RemapMatrix& step);
    // A step that would cost a page its variable lines is refused (1065)
    // before anything changes: lines that would reach past row 9,999 or
    // column 255, or lines holding values whose area's row (column) goes.
    // LastVarLinesLoss names the first such page.
    struct VarLinesLoss {
        int page = 0;   // 0 when the last step was not refused for this
        int lines = 0;  // the page's lines
        int kind = 0;   // 1 row area, 2 column area
        bool areaGone = false;
    };
    VarLinesLoss LastVarLinesLoss() const { return m_varLinesLoss; }
    // The first cell of row (kind 1) or column (kind 2) `line` of the
    // table as it now stands that holds a value, text or failed mark on a
    // page, a formula's cell aside; a row or column that becomes the variable area's would hide it
    // behind the area's lines. Page 0 when none does (or the line is
    // already the area's, or new); *status gets a page that does not read.
    struct HeldCell {
        int page = 0;
        uint16_t row = 0;  // as the table now stands
        uint16_t col = 0;
    };
    HeldCell FirstHeldCellInLine(int kind, uint16_t line, uint16_t* status = nullptr);
    // Cut or extend at the end (format edit only). 1070 outside the bounds.
    uint16_t SetTableSize(uint16_t rows, uint16_t cols);
    // Format edit only. 1 when n <= 0 or the table would pass 9,999 rows /
    // 255 columns; 1040 out of memory; 0.
    uint16_t AppendRows(int n);
    uint16_t AppendCols(int n);

    // ---- pages (numbered from 1)
    int PageCount() const { return int(m_pages.size()); }
    // Loads the page when needed (null and *status on failure: 1045 out of
    // range, 1008 damaged record, 1020 read error, 1040 out of memory). A
    // page held through the returned pointer is never dropped from memory.
    std::shared_ptr<CSheetPage> Page(int page, uint16_t* status = nullptr);
    bool IsPageLoaded(int page) const;
    // The page kept loaded outside the cache (0 = none).
    void SetPinnedPage(int page);
    // New empty pages at the end / before pos; 1050 past 99,999 pages.
    uint16_t AppendPages(int count);
    uint16_t InsertPages(int pos, int count);
    uint16_t DeletePages(int pos, int count);
    // The keyword values of a page without loading it (from memory when
    // it is loaded). The record is checked as a load checks it, so a
    // damaged page gives the same status; it is not kept in the cache.
    uint16_t PageKeywords(int page, std::array<qor::KeywordValue, qor::kPageKeywordSlots>* out);
    // Page records read from the file since it was opened.
    uint64_t PageReads() const { return m_pageReads; }
    // Pages now held in memory (the pinned one included).
    int LoadedPageCount() const;
    // Lets go of the pages past the page memory's budget that nobody holds
    // any longer (after a recalculation that held the pages it read).
    void TrimPageMemory();

    // ---- streams the document owns ("OTHERS", "Contents", "Embedding n")
    // Written by the next save; other entries of the file are carried over
    // as they are. Paths may name nested entries ("Embedding 1/Contents").
    void SetDocumentStream(const QString& path, const QByteArray& data);
    void RemoveDocumentEntry(const QString& path);
    // The pending content, else the stored one; empty when neither.
    QByteArray DocumentStream(const QString& path) const;
    // Every entry of the stored file.
    QList<qor::CompoundFile::Entry> Entries() const;

    // ---- saving
    // Writes the whole report to a new working file in the work folder,
    // which pages are read from from then on, then puts it at a new
    // temporary beside the target (a second name of the same file where
    // the file system allows, else a copy) and renames that onto the target
    // (skipped when targetPath is empty). Pages get the committed shape; in format state the
    // edits are committed first and editing goes on. A failure leaves the
    // target as it was: 1090 disk full, 1030 other write errors, 1040 out
    // of memory, 1010 a target that appeared under noReplace.
    uint16_t Save(const QString& targetPath, const qor::SaveOptions& options = {});
    // Closes the compound file; pages are read again by reopening it.
    uint16_t CloseStreams();

    // ---- model operations, grouped by the file that implements them
    // ---- shown and stored coordinates (engine/cells_varmap.h tells how)
    // Lines the variable area shows: those of the pinned page in data state;
    // 1 in format state, without a pinned page or without an area.
    int VarUsedLines() const;
    // 1 and the stored address of a shown cell; 0 when it lies outside.
    int MapCellAddress(int shownRow, int shownCol, uint16_t* storedRow, uint16_t* storedCol) const;
    // 0 when a corner lies outside; else 1 and both corners mapped to stored
    // ones, ordered (first the smaller row and column).
    int MapAreaAddress(const CellArea& area, CellArea* mapped) const;
    uint16_t GetShownRowCount() const;
    uint16_t GetShownColCount() const;

    // ---- keywords (slots 0 unit name, 1 unit code, 2 year, 3 quarter, 4
    // month, 5 day, 6 user keyword; 7 is kept but never placed)
    // 1 and the slot (0..6) when a keyword is placed at the shown cell.
    int FindKeywordAt(int row, int col, int* slot) const;
    // Places slot 0..6 at a shown cell with a horizontal text offset; row or
    // column 0 removes it. Anything PlaceKeyword refuses is ignored.
    void SetKeywordPos(int slot, int row, int col, int textOffset);
    // As SetKeywordPos, slot 0..7, with a status: 1 bad slot; 1080 a cell
    // outside the table, in the variable area, inside a combined area other
    // than at its first cell, or holding another keyword.
    uint16_t PlaceKeyword(int slot, int row, int col, int textOffset);
    // Stored text offset of a slot (0 for a bad slot).
    int GetKeywordOffset(int slot) const;
    void SetKeywordOffset(int slot, int textOffset);
    QString GetUserKeywordName() const;
    // Names of more than 14 characters are refused (false, nothing stored).
    bool SetUserKeywordName(const QString& name);
    // 1 numeric, 0 character.
    int GetUserKeywordType() const;
    void SetUserKeywordType(int type);

    // ---- pages
    // Page i+1 becomes what page order[i] (from 1) was. 1 unless order is a
    // permutation of the pages.
    uint16_t ReorderPages(const std::vector<int>& order);
    // The position (from 1) of the page pinned as current, 0 when none.
    int PinnedPageNumber() const;

private:
    bool keywordCellAllowed(int slot, const qor::AreaRecord& cell) const;
    void markKeywordCell(uint16_t row, uint16_t col);

public:
    // ---- cell formats, combined cells, area lines, labels (stored
    // coordinates from 1)

    // The cell's combined-area position code: 0 none, 1 top-left (and top of
    // a one-column area), 2 left end of a one-row area, 3 bottom-right (and
    // bottom of a one-column area), 4 right end of a one-row area, 5
    // top-right, 6 bottom-left, 7 interior, 8 top or bottom edge (and middle
    // of a one-row area), 9 left or right edge (and middle of a one-column
    // area). 0 outside the table.
    int GetCombineCode(uint16_t storedRow, uint16_t storedCol) const;
    // The combined area holding the cell; false (out untouched) when none.
    bool FindCombinedArea(uint16_t storedRow, uint16_t storedCol, qor::AreaRecord* out) const;
    // True when any combined area intersects the stored area.
    bool AreaTouchesCombined(const qor::AreaRecord& stored) const;
    // The style of the diagonal of that area (stored corners, in either
    // order) with direction kind (1 top-left to bottom-right, 0 bottom-left
    // to top-right): 1 and *style, or 0 and *style untouched.
    int GetAreaLine(const CellArea& mapped, int kind, int* style) const;
    // The area lines of the table: {style, r1, c1, direction, r2, c2}.
    int GetAreaLineCount() const;
    const std::vector<qor::AreaLineRecord>& GetAreaLines() const;
    // Attribute code 0..16 of a cell's format word; 0 outside the table and
    // for code 15.
    uint32_t GetCellFormatField(uint16_t storedRow, uint16_t storedCol, int code) const;
    // The label text (the same on every page) of a cell; "" when none.
    QString GetLabel(uint16_t storedRow, uint16_t storedCol) const;
    // Stores a label text, cut to 255 characters; an empty text removes it.
    // 0; 1075 outside the table.
    uint16_t SetLabel(uint16_t storedRow, uint16_t storedCol, const QString& text);

    // ---- formulas (stored coordinates; engine/formula_cache.h)
    // Whether a formula covers any cell of the area / the cell.
    bool AreaHasFormula(const qor::AreaRecord& stored) const;
    bool CellHasFormula(uint16_t storedRow, uint16_t storedCol) const;
    // Sets the formula of a stored area during a format edit; an empty (or
    // blank) text removes the formulas of the area. Statuses as
    // CReportHandle::SetAreaFormula.
    uint16_t SetStoredAreaFormula(const qor::AreaRecord& stored, const QString& text);
    // Why the last text was refused with 1260 ("" after a success).
    QString LastFormulaError() const;
    // Where in the refused text the problem lies (an offset), -1 when unknown.
    int LastFormulaErrorPosition() const;

    // What changed since the values were last brought current: every page
    // this file holds notes its writes here, and page and format changes
    // are noted by the file.
    qor::ValueMarks& Marks() const { return *m_marks; }

    // The compiled forms, cell index and dependency graph of the formulas,
    // brought up to the format as it now stands.
    class FormulaCache;
    FormulaCache& Formulas() const;

private:
    mutable std::shared_ptr<FormulaCache> m_formulaCache;
    std::shared_ptr<qor::ValueMarks> m_marks = std::make_shared<qor::ValueMarks>();
    // Loaded pages learn their new positions after pages were added,
    // removed or moved.
    void renumberLoadedPages();

    struct BlobSource {
        enum Kind { Empty, Stored, Spilled } kind = Empty;
        qor::BlobEntry fixed;
        qor::BlobEntry var;
    };
    struct PageEntry {
        BlobSource source;
        uint32_t generation = 0;  // of the blobs in source
        std::shared_ptr<CSheetPage> page;
        bool inLru = false;
        std::list<PageEntry*>::iterator lruPos;
        size_t lruBytes = 0;  // what it counted for in m_lruBytes
    };
    struct DocOp {
        QString path;
        std::optional<QByteArray> data;  // nullopt = remove
    };

public:
    class SaveWriter;  // internal to saving

private:
    explicit CReportFile(const QString& path);

    uint16_t remapTable(const RemapMatrix& step);
    uint16_t openFile();
    uint16_t ensureOpen() const;
    uint16_t loadPage(PageEntry& e, int number, std::shared_ptr<CSheetPage>* out);
    uint16_t readBlob(const BlobSource& src, bool var, uint64_t offset, char* buf,
                      uint64_t len) const;
    // readBlob, continuing *crc over the bytes read. slotHeap: the bytes
    // are cell slots, each checked against a heap of that many units.
    uint16_t readBlobWithCrc(const BlobSource& src, bool var, uint64_t offset, char* buf,
                             uint64_t len, uint32_t* crc,
                             const uint64_t* slotHeap = nullptr) const;
    // Reads and checks a stored page record without building the page.
    uint16_t checkFixed(const BlobSource& src, qor::PageRecordHeader* header);
    uint16_t decodeFixed(const BlobSource& src, CSheetPage** page);
    uint16_t decodeVar(const BlobSource& src, qor::SlotGrid* grid, uint16_t lineLength);
    void shapeLoadedPage(CSheetPage& page, uint32_t blobGeneration);
    qor::SlotGrid defaultVarLines() const;
    void roundToFewerDecimals(const qor::ReportFormat& before, const RemapMatrix& step);
    void clearFailuresOfRemovedFormulas(const qor::ReportFormat& before, const RemapMatrix& step);
    // A cell of the table as it now stands (stored row and column).
    struct TableCell {
        uint16_t row, col;
    };
    // Gives `change` the slot of each cell on every page (every line's, for
    // a cell of the variable area's row or column) with the cell's index in
    // `cells`; it says whether it changed the slot. Whether any did.
    template <class Change>
    bool changeSlotsOnEveryPage(const std::vector<TableCell>& cells, Change change);
    uint16_t checkVarLinesKept(uint16_t newStart, uint16_t rows, uint16_t cols);
    uint16_t varLineLength() const;
    void touch(PageEntry* e);
    void trimCache(bool full = false);
    bool spill(PageEntry& e);
    void dropLoaded(PageEntry& e);
    uint16_t writeReport(SaveWriter& w, qor::CompoundFile& out, std::vector<qor::BlobEntry>* fixed,
                         std::vector<qor::BlobEntry>* var);
    uint16_t writeDocumentEntries(SaveWriter& w, qor::CompoundFile& out);

    QString m_path;
    bool m_ownsFile = false;
    int m_sourceFd = -1;  // the report read in place, until the first save
    // Shared with cell formats read when first used.
    mutable std::shared_ptr<qor::CompoundFile> m_cf;
    ReportFormat m_format;
    std::optional<ReportFormat> m_committed;
    RemapMatrix m_editRemap;
    bool m_numbersRounded = false;
    VarLinesLoss m_varLinesLoss;
    // For blobs of an older generation still in the file or the spill
    // file: how their rows and columns map to the committed shape.
    std::map<uint32_t, RemapMatrix> m_remaps;
    std::vector<std::unique_ptr<PageEntry>> m_pages;
    std::list<PageEntry*> m_lru;  // front = most recently used
    size_t m_lruBytes = 0;        // the pages of m_lru, as of when each was last used
    // Pages the last trim could not let go of (held elsewhere, or changed
    // past the byte budget): it walks them again only once the cache has
    // doubled past them, so reading n pages while a recalculation holds
    // them costs n, not n squared.
    size_t m_trimFloor = 0;
    PageEntry* m_pinned = nullptr;
    std::unique_ptr<QFile> m_spill;
    std::map<QString, DocOp> m_docOps;  // key: lower-case path
    uint64_t m_pageReads = 0;
    std::vector<char> m_checkBuffer;  // records checked without building the page
};
