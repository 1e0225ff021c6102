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

    // Opens the report at path or creates it (50 x 7, format state, no
    // pages, written at once). A path whose extension is not "rep" (any
    // case) gets ".rep". Registers in the table of open reports. The
    // engine's last error holds the outcome: 0, or 1005 missing, 1006 not
    // a report, 1007 unsupported version, 1008 damaged, 1009 table full,
    // 1010 cannot create, 1020 read error.
    // Write access also refuses (status 1) a report file without write
    // permission; a file that cannot be read is 1020 naming the cause.
    explicit CReportHandle(const QString& path);
    CReportHandle(const QString& path, OpenMode mode, Access access = Access::Write);
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
#include "engine/creporthandle_cells.inc"
#include "engine/creporthandle_format.inc"
#include "engine/creporthandle_formula.inc"

private:
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
