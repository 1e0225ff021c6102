#pragma once
// The in-process workbook engine behind CExcelBridge: an application with
// its open workbooks, each with worksheets of cells that carry a value and
// a style. Ranges answer the calls the bridge makes (values, number
// formats, fonts, alignment, borders, merging, sizes) with the values and
// conventions of the published spreadsheet object model, so the bridge and
// the page export read the same as they would against a real server.
//
// Every failing call throws XlError; a call on a missing object fails
// with kXlPointer before anything changes.

#include <QHash>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <memory>
#include <vector>

namespace qor {

inline constexpr uint32_t kXlPointer = 0x80004003;      // E_POINTER
inline constexpr uint32_t kXlFail = 0x80004005;         // E_FAIL
inline constexpr uint32_t kXlArgument = 0x80070057;     // E_INVALIDARG
inline constexpr uint32_t kXlNotImpl = 0x80004001;      // E_NOTIMPL
inline constexpr uint32_t kXlObjectError = 0x800A03EC;  // the object model's own refusal

struct XlError {
    uint32_t code = kXlFail;
    QString source;
    QString description;
};

// Values of the object model.
namespace xl {
inline constexpr int kLineNone = -4142;
inline constexpr int kContinuous = 1;
inline constexpr int kDash = -4115;
inline constexpr int kDot = -4118;
inline constexpr int kDashDot = 4;
inline constexpr int kDashDotDot = 5;
inline constexpr int kSlantDashDot = 13;
inline constexpr int kDouble = -4119;
inline constexpr int kHairline = 1;
inline constexpr int kThin = 2;
inline constexpr int kMedium = -4138;
inline constexpr int kThick = 4;
inline constexpr int kGeneral = 1;  // horizontal alignment
inline constexpr int kLeft = -4131;
inline constexpr int kCenter = -4108;
inline constexpr int kRight = -4152;
inline constexpr int kJustify = -4130;
inline constexpr int kTop = -4160;
inline constexpr int kBottom = -4107;
inline constexpr int kUnderlineNone = -4142;
inline constexpr int kUnderlineSingle = 2;
inline constexpr int kUnderlineDouble = -4119;
// Border indices of Range.Borders.
inline constexpr int kEdgeLeft = 7;
inline constexpr int kEdgeTop = 8;
inline constexpr int kEdgeBottom = 9;
inline constexpr int kEdgeRight = 10;
inline constexpr double kDefaultFontSize = 11;
inline constexpr double kDefaultColumnWidth = 8.43;
inline constexpr double kDefaultRowHeight = 15;
}  // namespace xl

struct XlBorder {
    int lineStyle = xl::kLineNone;
    int weight = xl::kThin;
    bool operator==(const XlBorder&) const = default;
};

struct XlStyle {
    QString numberFormat;  // empty = "General"
    QString fontName;      // empty = the workbook's default font
    double fontSize = xl::kDefaultFontSize;
    bool bold = false;
    bool italic = false;
    int underline = xl::kUnderlineNone;
    uint32_t fontColor = 0;  // 0x00BBGGRR, as the object model's Color
    bool hasFill = false;
    uint32_t fillColor = 0xFFFFFF;  // 0x00BBGGRR
    int hAlign = xl::kGeneral;
    int vAlign = xl::kBottom;
    bool wrap = false;
    XlBorder left, top, bottom, right;
    bool operator==(const XlStyle&) const = default;
};

// A style as cells hold it: one object shared by every cell that has it
// (a sheet has a handful of styles and many thousand cells). Null is the
// plain style.
using XlSharedStyle = std::shared_ptr<XlStyle>;

struct XlCell {
    enum Kind { Empty, Number, Text } kind = Empty;
    // The file gave the cell a formula: the value is its cached result
    // (Empty when the writer kept none). The engine keeps no formulas.
    bool formula = false;
    double number = 0;
    QString text;

    const XlStyle& style() const { return m_style ? *m_style : plainStyle(); }
    bool hasPlainStyle() const { return !m_style || *m_style == plainStyle(); }
    // Shares style with whoever else holds it.
    void shareStyle(XlSharedStyle style) { m_style = std::move(style); }
    const XlSharedStyle& sharedStyle() const { return m_style; }
    static const XlStyle& plainStyle();

private:
    friend class XlRange;
    XlSharedStyle m_style;
};

// The changes the range setters make, on one style: a caller that makes a
// cell's style whole before the cell takes it applies them itself. XlError
// for a value the setter refuses, before anything changes.
class XlStyleEdit {
public:
    explicit XlStyleEdit(XlStyle& s) : m_s(s) {}
    void setNumberFormat(const QString& f);
    void setFontName(const QString& name);
    void setFontSize(double points);
    void setBold(bool on) { m_s.bold = on; }
    void setItalic(bool on) { m_s.italic = on; }
    void setUnderline(int code);
    void setFontColor(uint32_t bgr) { m_s.fontColor = bgr & 0xFFFFFF; }
    void setFillColor(uint32_t bgr);
    void setHorizontalAlignment(int code);
    void setVerticalAlignment(int code);
    // edge 7..10 (kEdgeLeft..kEdgeRight); XlError for another index.
    void setBorderLineStyle(int edge, int lineStyle);
    void setBorderWeight(int edge, int weight);

private:
    XlStyle& m_s;
};

struct XlArea {
    int r1 = 1, c1 = 1, r2 = 1, c2 = 1;  // from 1, ordered
    bool contains(int r, int c) const { return r >= r1 && r <= r2 && c >= c1 && c <= c2; }
    bool intersects(const XlArea& o) const {
        return r1 <= o.r2 && o.r1 <= r2 && c1 <= o.c2 && o.c1 <= c2;
    }
    bool operator==(const XlArea&) const = default;
};

// The cells of a worksheet in (row, column) order. They are held row by
// row, the rows and the cells of each row in sorted arrays: a sheet is
// written and read in order, so a new cell goes in at the end without a
// search and without an allocation of its own, and a cell of a dense block
// is found by its offset from the block's first one.
class XlCellMap {
public:
    using Key = std::pair<int, int>;  // (row, column) from 1
    using Entry = std::pair<Key, XlCell>;
    struct Row {
        int row = 0;
        std::vector<Entry> cells;  // never empty, by column
    };

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = const Entry*;
        using reference = const Entry&;
        const_iterator() = default;
        reference operator*() const { return (*m_rows)[m_row].cells[m_cell]; }
        pointer operator->() const { return &**this; }
        const_iterator& operator++() {
            if (++m_cell == (*m_rows)[m_row].cells.size()) {
                ++m_row;
                m_cell = 0;
            }
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator was = *this;
            ++*this;
            return was;
        }
        bool operator==(const const_iterator& o) const {
            return m_row == o.m_row && m_cell == o.m_cell;
        }

    private:
        friend class XlCellMap;
        const_iterator(const std::vector<Row>* rows, size_t row) : m_rows(rows), m_row(row) {}
        const std::vector<Row>* m_rows = nullptr;
        size_t m_row = 0, m_cell = 0;
    };

    bool empty() const { return m_count == 0; }
    size_t size() const { return m_count; }
    const_iterator begin() const { return const_iterator(&m_rows, 0); }
    const_iterator end() const { return const_iterator(&m_rows, m_rows.size()); }
    const std::vector<Row>& rows() const { return m_rows; }

    // The row, or null.
    const Row* findRow(int row) const;
    const XlCell* find(int row, int col) const;
    // The cell, made when missing. The reference holds until the next cell
    // of the same row is made. Cells made out of order are moved aside one
    // by one: a file's cells are read through assign().
    XlCell& at(int row, int col);
    // Replaces every cell with entries given in any order; of two entries
    // for one cell the later one counts. They are sorted once, so a file
    // whose cells come in a strange order costs no more than one in order.
    void assign(std::vector<Entry> entries);
    // A cell of a file, as it comes: after the last cell it goes straight
    // in, otherwise it waits for finishLoading(), which sorts the waiting
    // ones in (the later of two for one cell counts).
    void load(int row, int col, XlCell cell);
    void finishLoading();
    void clear();
    // Drops the rows up to lastRow: a sheet written out in bands of rows
    // keeps only the rows not yet written.
    void dropRowsThrough(int lastRow);

private:
    size_t rowIndex(int row);  // made when missing
    std::vector<Row> m_rows;
    size_t m_count = 0;
    size_t m_lastRow = 0;  // where the last cell was made or reached
    std::vector<Entry> m_late;  // loaded out of order, not yet sorted in
};

class XlWorksheet;

// A name the workbook file defines for one block of one of its worksheets
// ("Sales" for Sheet1!$A$1:$C$9), as read from the file. Names of anything
// else (formulas, several blocks, other files) are not kept, and nothing
// but the data-file reader looks at them: saving does not write them.
struct XlDefinedName {
    QString name;
    int sheet = 1;      // the worksheet the block lies on, from 1
    XlArea area;
    int scope = 0;      // 0: the whole workbook's; else the sheet (from 1) it belongs to
    bool hidden = false;   // hidden or built in ("_xlnm.Print_Area")
};

// A block of cells of one worksheet. Setters write every cell of the
// block; getters read its first cell. Borders(edge) writes the cells along
// that edge of the block, as the object model does.
class XlRange {
public:
    XlRange(XlWorksheet* sheet, XlArea area);
    const XlArea& area() const { return m_area; }
    XlWorksheet* sheet() const { return m_sheet; }

    void setNumber(double v);
    void setText(const QString& t);
    const XlCell* firstCell() const;

    void setNumberFormat(const QString& f);
    void setFontName(const QString& name);
    void setFontSize(double points);
    void setBold(bool on);
    void setItalic(bool on);
    void setUnderline(int code);
    void setFontColor(uint32_t bgr);
    void setFillColor(uint32_t bgr);
    void setHorizontalAlignment(int code);
    void setVerticalAlignment(int code);
    // edge 7..10 (kEdgeLeft..kEdgeRight); XlError for another index.
    void setBorderLineStyle(int edge, int lineStyle);
    void setBorderWeight(int edge, int weight);
    void merge();
    // The merged area holding the first cell, or the first cell itself.
    XlRange mergeArea() const;
    // Width in characters for every column of the block; height in points
    // for every row. XlError outside 0..255 and 0..409.
    void setColumnWidth(double width);
    void setRowHeight(double points);

private:
    template <class F>
    void forEach(F f);
    // Changes the style of the cells that pick(row, col) names; cells that
    // shared a style before share the changed one.
    template <class Pick, class Change>
    void restyle(Pick pick, Change change);
    template <class Change>
    void restyle(Change change) {
        restyle([](int, int) { return true; }, change);
    }
    XlWorksheet* m_sheet;
    XlArea m_area;
};

class XlWorksheet {
public:
    explicit XlWorksheet(QString name) : m_name(std::move(name)) {}
    const QString& name() const { return m_name; }
    // Names are 1..31 characters, none of : \ / ? * [ ], unique in the
    // workbook: the workbook names its sheets (XlWorkbook::renameSheet),
    // since it keeps the names in use.

    // "A1" or "A1:C3"; XlError for anything else.
    XlRange range(const QString& ref);
    XlRange range(XlArea area) { return XlRange(this, area); }

    // The cell, made when missing.
    XlCell& cell(int row, int col) { return m_cells.at(row, col); }
    // The cells of a file, in the file's order (see XlCellMap::load).
    void loadCell(int row, int col, XlCell cell) { m_cells.load(row, col, std::move(cell)); }
    void finishLoading() { m_cells.finishLoading(); }
    const XlCell* findCell(int row, int col) const { return m_cells.find(row, col); }
    const XlCellMap& cells() const { return m_cells; }
    const std::vector<XlArea>& merges() const { return m_merges; }
    const std::map<int, double>& columnWidths() const { return m_colWidths; }
    const std::map<int, double>& rowHeights() const { return m_rowHeights; }
    // Columns without a width of their own have the sheet's default.
    double columnWidth(int col) const;
    void setDefaultColumnWidth(double width) { m_defaultColWidth = width; }
    double defaultColumnWidth() const { return m_defaultColWidth; }
    double rowHeight(int row) const;
    // The block from the first to the last cell that holds a value or a
    // style, merged areas and sized rows/columns not counted; A1 when empty.
    XlArea usedArea() const;
    // The part a workbook file gave for this sheet when that part is no
    // worksheet (a damaged file); the sheet is then empty. Empty otherwise.
    const QString& unreadPart() const { return m_unreadPart; }
    void setUnreadPart(QString part) { m_unreadPart = std::move(part); }
    // Texts a file held in bytes that are no character of its code page
    // (each such byte a U+FFFD), for the reader's caller to name: how many,
    // the first cell (row, column from 1), and what they were read as.
    struct Undecoded {
        qint64 count = 0;
        int row = 0, col = 0;
        QString kind;  // the loss as it is named ("bytes that are no character of CP1253")
        std::set<std::pair<int, int>> cells;  // every one, (row, column)
    };
    void noteUndecoded(int row, int col, const QString& kind) {
        if (!m_undecoded.cells.insert({row, col}).second) return;
        if (m_undecoded.count++ == 0) {
            m_undecoded.row = row;
            m_undecoded.col = col;
            m_undecoded.kind = kind;
        }
    }
    const Undecoded& undecoded() const { return m_undecoded; }
    // Drops every cell, merge and size, keeping the name: a sheet that has
    // been written out no longer holds its page in memory.
    void releaseContents();
    // Drops the cells of the rows up to lastRow, which have been written
    // out; merges and sizes stay.
    void dropRowsThrough(int lastRow) { m_cells.dropRowsThrough(lastRow); }

private:
    friend class XlRange;
    friend class XlWorkbook;
    void setName(QString name) { m_name = std::move(name); }
    void addMerge(const XlArea& a);
    QString m_name;
    QString m_unreadPart;
    Undecoded m_undecoded;
    XlCellMap m_cells;
    std::vector<XlArea> m_merges;
    std::map<int, double> m_colWidths;
    std::map<int, double> m_rowHeights;
    double m_defaultColWidth = xl::kDefaultColumnWidth;
};

class XlWorkbook {
public:
    // A new workbook: sheets "Sheet1".."SheetN", the first active.
    explicit XlWorkbook(int sheets = 3);

    int sheetCount() const { return int(m_sheets.size()); }
    XlWorksheet* sheet(int index1);  // from 1; XlError outside
    XlWorksheet* activeSheet() {
        return m_sheets.empty() ? nullptr : m_sheets[size_t(m_active)].get();
    }
    int activeIndex() const { return m_active + 1; }
    // Sheets.Add without a position: a new sheet before the active one,
    // which becomes active.
    XlWorksheet* addSheet();
    // Deleting the only sheet is refused (a workbook keeps at least one).
    void deleteSheet(XlWorksheet* sheet);
    void renameSheet(XlWorksheet* sheet, const QString& name);
    // The name a workbook file gives the sheet, kept as the file has it
    // (readers take what they find; two sheets of one name are the file's).
    void nameSheetAsRead(XlWorksheet* sheet, const QString& name);
    void activate(XlWorksheet* sheet);

    const QString& fullName() const { return m_path; }
    void setFullName(const QString& path) { m_path = path; }
    bool saved() const { return m_saved; }
    void setSaved(bool saved) { m_saved = saved; }

    // Writes the workbook through a temporary file renamed into place, as
    // .xlsx for an ".xlsx" name and as .xls for any other; XlError when it
    // cannot (the target is then left as it was).
    void saveAs(const QString& path) const;

    const std::vector<std::unique_ptr<XlWorksheet>>& sheets() const { return m_sheets; }

    // The names the file read defines for blocks of its worksheets.
    const std::vector<XlDefinedName>& definedNames() const { return m_names; }
    void addDefinedName(XlDefinedName name) { m_names.push_back(std::move(name)); }

    // A deep copy.
    std::unique_ptr<XlWorkbook> clone() const;

private:
    int indexOf(const XlWorksheet* s) const;
    // "SheetN" for the lowest N whose name no sheet has.
    QString freshName();
    void useName(const QString& name);
    void releaseName(const QString& name);
    std::vector<std::unique_ptr<XlWorksheet>> m_sheets;
    // How many sheets have each name, by case-folded name: a workbook of
    // thousands of sheets (one a report page) adds and renames them all,
    // and looking through every sheet for each made that cubic.
    QHash<QString, int> m_usedNames;
    int m_active = 0;
    int m_nextName = 1;  // no "SheetN" below this is free
    QString m_path;
    bool m_saved = true;
    std::vector<XlDefinedName> m_names;
};

// Writes a workbook file sheet by sheet, so a workbook of many pages never
// sits in memory whole. The sheets are named up front, in their order in
// the file; each is then written once, in any order. commit() finishes the
// file in a temporary beside the target and renames it into place; a
// writer dropped without commit() leaves the target as it was. XlError for
// every failure.
//
// A sheet too large to sit in memory whole goes in bands of rows instead:
// beginSheet() takes its column widths and row heights (all of them, set
// before any row is written), each writeRows() writes the rows up to
// lastRow that have not been written yet, which the sheet then holds in
// their final state (the caller may drop them afterwards), and endSheet()
// writes the rows left and closes it. Merged areas are added in the order
// of their first rows, each with its first cell in its final state before
// the band holding that cell is written. One sheet at a time.
class XlStreamWriter {
public:
    virtual ~XlStreamWriter() = default;
    virtual void writeSheet(int index0, const XlWorksheet& sheet) = 0;
    virtual void beginSheet(int index0, const XlWorksheet& sheet) = 0;
    virtual void writeRows(const XlWorksheet& sheet, int lastRow) = 0;
    virtual void endSheet(const XlWorksheet& sheet) = 0;
    virtual void commit() = 0;
};

// True for a name ending in ".xlsx" in any case: such a file is written as
// a zip workbook, every other name as a binary (BIFF8) workbook, so a file
// never disagrees with its name.
bool IsXlsxName(const QString& path);
// The writer for the file's name.
std::unique_ptr<XlStreamWriter> OpenWorkbookWriter(const QString& path,
                                                   const std::vector<QString>& sheetNames,
                                                   int activeIndex0);

// The zip workbook (.xlsx); each sheet's rows go out as they are written.
class XlsxStreamWriter final : public XlStreamWriter {
public:
    XlsxStreamWriter(const QString& path, const std::vector<QString>& sheetNames, int activeIndex0);
    ~XlsxStreamWriter() override;
    XlsxStreamWriter(const XlsxStreamWriter&) = delete;
    XlsxStreamWriter& operator=(const XlsxStreamWriter&) = delete;

    void writeSheet(int index0, const XlWorksheet& sheet) override;
    void beginSheet(int index0, const XlWorksheet& sheet) override;
    void writeRows(const XlWorksheet& sheet, int lastRow) override;
    void endSheet(const XlWorksheet& sheet) override;
    void commit() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The binary workbook (.xls): a compound file with one "Workbook" stream.
// Each sheet's records go to a scratch file as they are encoded; the
// workbook's tables (fonts, formats, cell styles, shared strings) and the
// file follow on commit().
// Up to 65,536 rows and 256 columns a sheet.
class XlsStreamWriter final : public XlStreamWriter {
public:
    XlsStreamWriter(const QString& path, const std::vector<QString>& sheetNames, int activeIndex0);
    ~XlsStreamWriter() override;
    XlsStreamWriter(const XlsStreamWriter&) = delete;
    XlsStreamWriter& operator=(const XlsStreamWriter&) = delete;

    void writeSheet(int index0, const XlWorksheet& sheet) override;
    void beginSheet(int index0, const XlWorksheet& sheet) override;
    void writeRows(const XlWorksheet& sheet, int lastRow) override;
    void endSheet(const XlWorksheet& sheet) override;
    void commit() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// How many .xlsx files this process has finished writing.
int XlsxFilesWritten();

// The application: its collection of open workbooks.
class XlApplication {
public:
    XlApplication();
    ~XlApplication();
    XlApplication(const XlApplication&) = delete;
    XlApplication& operator=(const XlApplication&) = delete;

    void setVisible(bool v) { m_visible = v; }
    void setDisplayAlerts(bool v) { m_alerts = v; }

    XlWorkbook* addWorkbook();
    // The open workbook of that file when there is one, else the file is
    // read by its content, .xlsx or .xls (exchange/workbook_read.h).
    XlWorkbook* openWorkbook(const QString& path);
    void saveCopyAs(const XlWorkbook* wb, const QString& path);
    void save(XlWorkbook* wb);
    void close(XlWorkbook* wb);
    XlWorksheet* activeSheet();
    XlWorkbook* activeWorkbook() const { return m_active; }
    bool isOpen(const XlWorkbook* wb) const;
    void quit();
    int workbookCount() const { return int(m_books.size()); }

private:
    std::vector<std::unique_ptr<XlWorkbook>> m_books;
    XlWorkbook* m_active = nullptr;
    bool m_visible = false;
    bool m_alerts = true;
};

}  // namespace qor
