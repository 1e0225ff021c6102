#pragma once
// Spreadsheet XML workbooks (root "Workbook", "ss:" attributes, a "Styles"
// section and "Worksheet" elements each holding one "Table") read into an
// open report: the layout, formats and texts of one worksheet, the period
// keywords its "Period" element asks for, and the check of a report's
// numbers against the worksheet's "DataValidation" rules.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/celltypes.h"
#include "exchange/cxmldochelper.h"
#include "exchange/excelimport.h"

class CReportHandle;

namespace qor {
// The largest amount (in magnitude) a client report keeps: one with more
// integer digits fails the check before a save, so it is never taken in.
inline constexpr double kLargestAmount = 1e12;
}  // namespace qor

class CSpreadsheetXmlDoc : public CXmlDocHelper {
public:
    // Resizes the report's table so that whatever shows it follows.
    using ResizeTable = std::function<void(int rows, int cols)>;

    CSpreadsheetXmlDoc();
    ~CSpreadsheetXmlDoc() override;

    // ---- styles
    // The "Style" element whose ss:ID is id (exact), or null. The styles of
    // a document are gathered once, on the first look-up.
    qor::XmlNode FindStyle(const QString& id, const qor::XmlNode& anyNode);
    void ApplyStyle(const CellArea& area, const qor::XmlNode& style);
    void ReadAlignment(const CellArea& area, const qor::XmlNode& alignment);
    void ReadBorders(const CellArea& area, const QList<qor::XmlNode>& borders);
    void ReadFont(const CellArea& area, const qor::XmlNode& font);
    void ReadFontSize(const CellArea& area, const qor::XmlNode& font);
    void ReadNumberFormat(const CellArea& area, const qor::XmlNode& numberFormat);

    // "#RRGGBB" in either case gives its palette index, any other colour the
    // nearest palette colour; an empty or unreadable text gives 0.
    static int ColorToIndex(const QString& text);
    // Exact names of the font table; 0 for any other.
    static int FontNameToIndex(const QString& name);
    // The sixteen sizes give their index; any other number 1 (10 points).
    static int FontSizeToIndex(int points);
    static int FontStyleCode(int bold, int italic, int underline);

    // The root element's "SampleID" and "SampleName" ("" when absent).
    QString GetSampleId() const;
    QString GetSampleName() const;
    // -1 until a "Period" element is read; 0 yearly, 1 half-yearly, 2
    // quarterly, 3 monthly.
    int GetPeriodKind() const { return m_nPeriodKind; }

    // ---- the worksheet's table
    // Resizing goes through the callback when one is given; otherwise the
    // report's table is sized directly.
    void SetResizeCallback(ResizeTable resize) { m_resize = std::move(resize); }
    // The report the validation reads (ReadWorksheetTable sets it too).
    void SetReport(CReportHandle* report) { m_pReport = report; }
    // Fills the report (in format state) from the worksheet: size, widths,
    // heights, combined cells, formats, texts and period keywords. Cells
    // with values that the table cannot hold are listed in LeftOutCells.
    // Returns 1.
    int ReadWorksheetTable(const qor::XmlNode& worksheet, CReportHandle* report, int numeric);

    // The same a child of the table at a time, for a table whose rows are
    // read as the file is (XmlDocument::loadThinned) rather than held:
    // BeginWorksheetTable with the worksheet (its table may be empty; its
    // styles are looked up in its document), then ReadTableChild for each
    // Column and Row in file order, then EndWorksheetTable. `held` is how
    // far the table's children reach, for a table that does not declare
    // its counts (TableExtent::add over the same children). Begin is false
    // when there is nothing to read into.
    class TableCursor;
    class TableExtent {
    public:
        void add(const qor::XmlNode& tableChild);
        qint64 rows = 0, cols = 0;

    private:
        std::shared_ptr<TableCursor> m_cursor;
    };
    bool BeginWorksheetTable(const qor::XmlNode& worksheet, CReportHandle* report, int numeric,
                             const TableExtent& held);
    // The rows and columns ReadWorksheetTable gives the report's table for
    // the worksheet (a held tree): its declared counts, a missing one from
    // how far its table's children reach, within the report's limits.
    static std::pair<int, int> WorksheetTableSize(const qor::XmlNode& worksheet);
    void ReadTableChild(const qor::XmlNode& tableChild);
    void EndWorksheetTable();
    // Looks the cell's style up, widens the area by MergeAcross and
    // MergeDown (combining it), and applies the style.
    void ApplyCellStyle(CellArea* area, const qor::XmlNode& cell, const qor::XmlNode& worksheet);
    // A cell without "Data" becomes numeric without a value; one with it a
    // label holding the cell's text.
    void SetCellData(const CellArea& area, const qor::XmlNode& data, const QString& text);
    // The cells of the last worksheet read that hold a value beyond the
    // table (empty when everything fitted).
    const QList<qor::WorkbookCellsLeftOut>& LeftOutCells() const { return m_leftOut; }
    // Texts of the last worksheet read that were longer than a cell holds
    // and were cut, and the first such cell ("B7"; "" when none).
    int CutTexts() const { return m_nCutTexts; }
    const QString& FirstCutText() const { return m_strFirstCut; }
    // The figures of the last worksheet read that are number cells (those
    // of percent cells, in percent units): values of a page, which the
    // layout read in format state cannot hold. The caller sets them once
    // the report has a page.
    struct Figure {
        int row = 0;
        int col = 0;
        double number = 0;
    };
    const std::vector<Figure>& Figures() const { return m_figures; }

    // ---- validation
    // 1 when every value of the page passes the worksheet's rules; 0 after
    // a message box about the first that fails (its text is kept in
    // ValidationMessage). A cell whose formula failed fails its rule. A
    // rule whose range or bounds cannot be read, or whose range reaches past
    // the table, is named in a message box (once while the pages are
    // checked from page 1 on) and does not by itself fail the page.
    int ReadDataValidation(const qor::XmlNode& worksheet, int page);
    const QString& ValidationMessage() const { return m_strValidationMessage; }

private:
    // One write of a style: an attribute, a line, or the decimals of a
    // number format, which count two more on a percent cell.
    struct StyleOp {
        enum Kind { Format, Line, Decimals } kind;
        int code;
        int32_t value;
    };
    void setFormat(const CellArea& area, int code, int32_t value);
    void drawLine(const CellArea& area, int type, int style);
    void setDecimals(const CellArea& area, int32_t decimals);
    void replay(const CellArea& area, const std::vector<StyleOp>& ops);
    void resizeTable(int rows, int cols);
    QString dateText(const QString& iso, const qor::XmlNode& cell, const qor::XmlNode& worksheet);

    // While set, the style steps are recorded here instead of written, so
    // each style is read once and replayed on every cell that names it.
    std::vector<StyleOp>* m_recording = nullptr;
    struct TableRead;
    std::unique_ptr<TableRead> m_table;  // the table being read
    QHash<QString, std::vector<StyleOp>> m_styleOps;  // by ss:ID

    CReportHandle* m_pReport = nullptr;
    int m_nPeriodKind = -1;
    ResizeTable m_resize;
    QList<qor::WorkbookCellsLeftOut> m_leftOut;
    int m_nCutTexts = 0;
    QString m_strFirstCut;
    std::vector<Figure> m_figures;
    QString m_strValidationMessage;
    QStringList m_toldRules;  // rule problems told in this run over the pages
    // ss:ID -> Style element, for the document m_styleDoc.
    QHash<QString, qor::XmlNode> m_styles;
    qor::XmlDocument m_styleDoc;
};

namespace qor {

// Names of spreadsheet XML files. A writer binds the spreadsheet namespace
// to a prefix of its choosing or to none ("<ss:Worksheet>" and
// "<Worksheet>" are the same element), so elements and attributes are
// matched by namespace and local name. Elements and attributes in no
// namespace count too (samples that never declare one), as do those whose
// prefix the file never declared. DataValidation and its children may also
// stand in the spreadsheet program's own namespace, where it writes them.
inline constexpr char16_t kSpreadsheetNamespace[] = u"urn:schemas-microsoft-com:office:spreadsheet";
bool IsSpreadsheetElement(const XmlNode& element, QStringView local);
XmlNode SpreadsheetChild(const XmlNode& parent, QStringView local);
XmlNode NextSpreadsheetSibling(const XmlNode& element, QStringView local);
QList<XmlNode> SpreadsheetChildren(const XmlNode& parent, QStringView local);
std::optional<QString> SpreadsheetAttribute(const XmlNode& element, QStringView local);
inline QString SpreadsheetAttributeText(const XmlNode& element, QStringView local) {
    return SpreadsheetAttribute(element, local).value_or(QString());
}

// What an import of a spreadsheet XML file into a report did.
struct SpreadsheetXmlImport {
    bool ok = false;
    QString error;  // why nothing was imported
    QList<WorkbookCellsLeftOut> leftOut;
    QStringList otherSheets;  // worksheets after the first, not read
    int cutTexts = 0;         // texts longer than a cell holds, cut
    QString firstCutText;     // the first such cell
    QString sampleId, sampleName;
    int periodKind = -1;
    // The lines telling what did not come into the report ("" when all did).
    QString LeftOutText() const;
};

// The cell elements ("Cell" under any prefix) the file's markup holds,
// counted from its bytes without building anything; 0 for a file that
// cannot be read. An import refuses a file of more cells than a workbook
// file may have (XlsxReadLimits::maxCells) before reading it.
qint64 CountSpreadsheetXmlCells(const QString& path);

// True when the file's root element is a spreadsheet workbook ("Workbook"
// in any namespace).
bool HasSpreadsheetXmlRoot(const QString& path);

// Reads the first worksheet of the spreadsheet XML file at path into the
// report (put into format state) and leaves it in data state on page 1.
// resize may be empty. Nothing is read when the file does not load, is no
// workbook or has no worksheet.
SpreadsheetXmlImport ImportSpreadsheetXml(CReportHandle& report, const QString& path,
                                          const CSpreadsheetXmlDoc::ResizeTable& resize = {});

}  // namespace qor
