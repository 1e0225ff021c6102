#include "exchange/ownxml_export.h"

#include <QDate>
#include <QDir>
#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cmdlang/functions.h"
#include "cmdlang/parser.h"
#include "cmdlang/references.h"
#include "engine/cellformat.h"
#include "engine/cells_varmap.h"
#include "engine/creporthandle.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/losstally.h"
#include "exchange/ownxml_format.h"
#include "exchange/scratchstreams.h"
#include "exchange/xmldom.h"
#include "platform/uiservices.h"

namespace qor {

namespace {

using namespace ownxml;

// A failure that ends the export with message 62043.
struct ExportFailure {
    QString why;
};

// The table the file shows. A variable area is expanded by the most lines
// any exported page uses, so that every page's cells sit at the same rows
// of the file; a page that uses fewer lines leaves the rest empty. The
// report's own calls take the coordinates of a page as that page shows
// them, which this translates to.
class Layout {
public:
    Layout(const ReportHeader& h, int fileLines, int currentLines)
        : m_h(h), m_fileLines(std::max(fileLines, 1)), m_curLines(std::max(currentLines, 1)) {}

    int rows() const { return ShownRowCount(m_h, m_fileLines); }
    int cols() const { return ShownColCount(m_h, m_fileLines); }

    bool map(int row, int col, StoredCell* cell) const {
        return MapShownCell(m_h, m_fileLines, row, col, cell);
    }

    // Coordinates for the calls that read the format (they map through the
    // report's current page). A variable line reads its template line.
    int formatRow(const StoredCell& c) const { return ShownRowOf(m_h, m_curLines, c.row); }
    int formatCol(const StoredCell& c) const { return ShownColOf(m_h, m_curLines, c.col); }

    // The cell on a page that uses `lines` variable lines; false when the
    // cell is a variable line that page does not have.
    bool pageCell(const StoredCell& c, int lines, int* row, int* col) const {
        lines = std::max(lines, 1);
        if (c.inVarArea()) {
            if (c.line >= lines) return false;
            *row = m_h.varKind == 1 ? m_h.varStart + c.line : ShownRowOf(m_h, lines, c.row);
            *col = m_h.varKind == 2 ? m_h.varStart + c.line : ShownColOf(m_h, lines, c.col);
            return true;
        }
        *row = ShownRowOf(m_h, lines, c.row);
        *col = ShownColOf(m_h, lines, c.col);
        return true;
    }

private:
    const ReportHeader& m_h;
    int m_fileLines;
    int m_curLines;
};

enum class Kind : uint8_t { Number, Text, Label };

struct OutCell {
    int row = 0, col = 0, endRow = 0, endCol = 0;  // in the file
    StoredCell stored;
    Kind kind = Kind::Number;
    uint64_t format = 0;
    QString label;
    QString formula;
    QString formulaArea;  // empty: no formula
    int keywordSlot = -1;
};

// What the reading of the pages needs of a cell with values or a keyword:
// a few bytes where a whole cell would take a hundred.
struct ValueCell {
    uint16_t row = 0, col = 0;  // stored
    int16_t line = -1;          // a variable line (StoredCell::line)
    Kind kind = Kind::Number;
    int8_t keywordSlot = -1;
    StoredCell stored() const { return StoredCell{row, col, line}; }
};

uint32_t field(uint64_t word, int code) { return cellFormatGet(word, code); }

QString number(int v) { return QString::number(v); }

// An integer as the file writes it (QString::number's text), for the
// writer's Latin-1 form.
struct IntText {
    explicit IntText(long long v) { len = int(std::to_chars(buf, buf + sizeof buf, v).ptr - buf); }
    QLatin1StringView view() const { return QLatin1StringView(buf, len); }
    char buf[24];
    int len;
};

class Writer {
public:
    Writer(CReportHandle& report, const ExportSetMembers& choice)
        : m_report(report), m_file(*report.GetReportFile()), m_choice(choice) {}

    // Reads what the file will hold. Throws ExportFailure; returns false
    // (with cannotMap()) for a cell that cannot be mapped.
    bool prepare();
    bool cannotMap() const { return m_cannotMap; }
    // Writes the file into the writer, after prepare().
    void write(XmlStreamWriter& out, const QString& reportName);
    int cutTexts() const { return m_cutTexts; }
    const QStringList& cutPlaces() const { return m_cutPlaces; }
    // The formulas written as values alone, by kind.
    const LossTally& formulasLeftOut() const { return m_formulasLeftOut; }

private:
    // A formula's text as it reads in the file, or nothing when no text
    // there reads what it reads in the report.
    // *why: the string naming the kind of loss.
    std::optional<QString> fileFormula(const QString& text, const AreaRecord& stored, int* why);
    const std::optional<QString>& fileFormulaOf(const FormulaInfo& info, const AreaRecord& stored,
                                                const QString& fileCorner);

    // The file holds kCellValueTextChars characters of a text; what is cut
    // is counted so that the caller can say so.
    template <typename Place>
    QString fitted(const QString& text, const Place& place) {
        if (text.size() <= kCellValueTextChars) return text;
        if (++m_cutTexts <= kCutPlacesShown) m_cutPlaces << place();
        return LeftWholeChars(text, kCellValueTextChars);
    }
    static constexpr int kCutPlacesShown = 5;

    void choosePages();
    void readSizes(const Layout& layout);
    // Calls take for each cell of the file in order; false when a cell
    // cannot be mapped. Only with whole are labels, formulas and keyword
    // names read.
    template <typename Take>
    bool walkCells(const Layout& layout, bool whole, Take take);
    void readPages(const Layout& layout);

    CReportHandle& m_report;
    CReportFile& m_file;
    const ExportSetMembers& m_choice;
    std::vector<int> m_pages;      // the exported pages, in file order
    std::vector<int> m_pageLines;  // variable lines each uses
    std::optional<Layout> m_layout;
    std::vector<ValueCell> m_valueCells;
    // The values of each page, a stream a page, in the order of the cells:
    // numbers (NaN where the page's value is not a number) and texts. They
    // are read page by page and written cell by cell.
    std::unique_ptr<ScratchStreams> m_values;
    std::vector<QString> m_keywordValues;  // per keyword cell: one text per page
    std::vector<uint16_t> m_heights, m_widths;
    std::vector<int> m_topLines;  // attribute bytes of the columns and rows
    std::vector<int> m_leftLines;
    std::array<bool, 3> m_hasDatePart{};
    std::array<std::vector<long long>, 3> m_dateParts;  // year, month, day per page
    bool m_cannotMap = false;
    int m_cutTexts = 0;
    QStringList m_cutPlaces;
    int m_fileLines = 1;
    bool m_allPages = true;
    // Some page is written at another number than its own.
    bool m_renumbered = false;
    // Each formula's text in the file, by its first stored cell: an area
    // formula is written at every cell of its area.
    QHash<quint32, std::optional<QString>> m_fileFormulas;
    LossTally m_formulasLeftOut;
};

std::optional<QString> Writer::fileFormula(const QString& text, const AreaRecord& stored,
                                           int* why) {
    const ReportHeader& h = m_file.Format().header;
    const bool varArea = h.varKind == 1 || h.varKind == 2;
    if (!varArea && m_allPages) return text;
    const std::shared_ptr<IFormulaChecker> checker = FormulaChecker();
    if (!checker) return text;
    if (!m_allPages) {
        // The file numbers the pages it holds from 1: a total over every
        // page would add up fewer of them.
        const std::unique_ptr<cmd::Formula> parsed = cmd::ParseFormula(text);
        if (!parsed) return text;
        cmd::FormulaReferences refs;
        cmd::CollectReferences(*parsed, &refs);
        for (const cmd::Node* call : refs.calls) {
            const cmd::FunctionInfo* f = cmd::FindFunction(call->text);
            if (f && f->group == cmd::FunctionGroup::PageStat) {
                *why = str::kLossFormulasOfUnwrittenPages;
                return std::nullopt;
            }
            // The file's page count is the pages it holds, and a page
            // written elsewhere than at its own number has another one.
            if (f && (std::strcmp(f->name, "MNUMBER") == 0 ||
                      (m_renumbered && std::strcmp(f->name, "MRECNO") == 0))) {
                *why = str::kLossFormulasOfPageNumbers;
                return std::nullopt;
            }
        }
        // Another report's cell is read on the page of the same number,
        // unless a relation finds the page.
        if (m_renumbered && !parsed->relation) {
            for (const cmd::Reference& r : refs.refs) {
                if (r.node->external && r.node->page == 0) {
                    *why = str::kLossFormulasOfPageNumbers;
                    return std::nullopt;
                }
            }
        }
    }
    // The file has fileLines plain rows (columns) where the report has its
    // template line, on every page alike: what lies past the template moves
    // by the lines added. A reference that reaches across the template
    // cannot follow: a statistic passes the template by, and a cell moved
    // with an area formula's cells would land on a line.
    const bool rows = h.varKind == 1;
    const int extra = m_fileLines - 1;
    const int stretch = rows ? stored.r2 - stored.r1 : stored.c2 - stored.c1;
    const auto move = [&](FormulaRef& ref) {
        if (ref.external || (ref.kind != FormulaRef::Cell && ref.kind != FormulaRef::Area))
            return true;
        if (ref.page != 0 && !m_allPages) {
            const auto at = std::find(m_pages.begin(), m_pages.end(), int(ref.page));
            if (at == m_pages.end()) {
                *why = str::kLossFormulasOfUnwrittenPages;
                return false;
            }
            ref.page = uint32_t(at - m_pages.begin() + 1);
        }
        if (!varArea) return true;
        uint16_t& first = rows ? ref.area.r1 : ref.area.c1;
        uint16_t& last = rows ? ref.area.r2 : ref.area.c2;
        const int reach = last + (ref.shifts() ? stretch : 0);
        if (first <= h.varStart && h.varStart <= reach) {
            // The template cell alone reads the first line, which the
            // file's first line is.
            *why = str::kLossFormulasAcrossVariableArea;
            return first == reach && !ref.statisticArea;
        }
        if (first > h.varStart) {
            first = uint16_t(first + extra);
            last = uint16_t(last + extra);
        }
        return true;
    };
    QString out;
    if (checker->RewriteReferences(text, move, &out)) return out;
    // A text that does not parse reads nothing; it goes as it is.
    return cmd::ParseFormula(text) ? std::nullopt : std::optional<QString>(text);
}

const std::optional<QString>& Writer::fileFormulaOf(const FormulaInfo& info,
                                                    const AreaRecord& stored,
                                                    const QString& fileCorner) {
    const quint32 key = (quint32(stored.r1) << 16) | stored.c1;
    auto it = m_fileFormulas.find(key);
    if (it == m_fileFormulas.end()) {
        int why = 0;
        it = m_fileFormulas.insert(key, fileFormula(info.text, stored, &why));
        if (!*it) m_formulasLeftOut.add(LoadErrorText(why), fileCorner + u'：' + info.text);
    }
    return *it;
}

void Writer::choosePages() {
    const int count = m_report.GetPageCount();
    if (m_choice.m_bAllPages) {
        for (int p = 1; p <= count; ++p) m_pages.push_back(p);
    } else {
        const std::optional<QList<int>> list = ParseExportPageList(m_choice.m_strPageList);
        if (!list)
            throw ExportFailure{LoadErrorText(str::kBadPageList).arg(m_choice.m_strPageList)};
        for (int p : *list) {
            if (p < 1 || p > count)
                throw ExportFailure{LoadErrorText(str::kReportLacksPageOfCount).arg(p).arg(count)};
            m_pages.push_back(p);
        }
    }
    const ReportHeader& h = m_file.Format().header;
    m_pageLines.assign(m_pages.size(), 1);
    if (h.varKind == 1 || h.varKind == 2) {
        for (size_t k = 0; k < m_pages.size(); ++k) {
            uint16_t status = 0;
            std::shared_ptr<CSheetPage> page = m_report.GetPage(m_pages[k], &status);
            if (!page)
                throw ExportFailure{
                    LoadErrorText(str::kXmlPageUnreadable).arg(m_pages[k]).arg(StatusText(status))};
            m_pageLines[k] = std::max<int>(1, page->VarUsed());
        }
    }
}

void Writer::readSizes(const Layout& layout) {
    const int rows = layout.rows(), cols = layout.cols();
    m_heights.assign(size_t(rows) + 1, 0);
    m_widths.assign(size_t(cols) + 1, 0);
    m_leftLines.assign(size_t(rows) + 1, 0);
    m_topLines.assign(size_t(cols) + 1, 0);
    StoredCell sc;
    for (int r = 1; r <= rows; ++r) {
        if (!layout.map(r, 1, &sc)) {
            m_cannotMap = true;
            return;
        }
        const int fr = layout.formatRow(sc);
        if (m_report.AccessRowColSize(0, 0, fr, &m_heights[size_t(r)]) != 0) m_cannotMap = true;
        int32_t line = 0;
        m_report.AccessRowColFlag(0, 0, fr, &line);
        m_leftLines[size_t(r)] = line;
    }
    for (int c = 1; c <= cols; ++c) {
        if (!layout.map(1, c, &sc)) {
            m_cannotMap = true;
            return;
        }
        const int fc = layout.formatCol(sc);
        if (m_report.AccessRowColSize(0, 1, fc, &m_widths[size_t(c)]) != 0) m_cannotMap = true;
        int32_t line = 0;
        m_report.AccessRowColFlag(0, 1, fc, &line);
        m_topLines[size_t(c)] = line;
    }
}

template <typename Take>
bool Writer::walkCells(const Layout& layout, bool whole, Take take) {
    const int rows = layout.rows(), cols = layout.cols();
    StoredCell sc;
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= cols; ++c) {
            if (!layout.map(r, c, &sc)) return false;
            OutCell cell;
            cell.row = cell.endRow = r;
            cell.col = cell.endCol = c;
            cell.stored = sc;
            AreaRecord area;
            if (m_file.FindCombinedArea(sc.row, sc.col, &area)) {
                // The area's first cell stands for it; a combined area never
                // holds the variable area's first line, so it spans the same
                // rows and columns in the file as in the report.
                if (area.r1 != sc.row || area.c1 != sc.col) continue;
                cell.endRow = r + (area.r2 - area.r1);
                cell.endCol = c + (area.c2 - area.c1);
            }
            cell.format = m_file.Format().cellFormat(sc.row, sc.col);
            switch (field(cell.format, kFmtKind)) {
                case kCellText:
                    cell.kind = Kind::Text;
                    break;
                case kCellLabel:
                    cell.kind = Kind::Label;
                    // The file carries what a cell value holds; the first
                    // walk counts what is cut.
                    if (whole)
                        cell.label = LeftWholeChars(m_file.GetLabel(sc.row, sc.col), kCellValueTextChars);
                    else
                        fitted(m_file.GetLabel(sc.row, sc.col), [&] { return FormatCellRef(c - 1, r - 1); });
                    break;
                default:
                    cell.kind = Kind::Number;
                    break;
            }
            const int fr = layout.formatRow(sc), fc = layout.formatCol(sc);
            FormulaInfo info;
            // The file has no place for a total formula, and read back as a
            // cell formula it would compute something else.
            if (whole && m_report.GetCellFormula(CellRef{0, int16_t(fr), int16_t(fc)}, &info) &&
                info.kind == 0) {
                // The formula's first cell, in the file's rows and columns
                // and in the report's stored ones: a formula never spans
                // the variable area's first line, so it lies as far from
                // this cell in either as on the page.
                const QString corner = FormatCellRef(c - (fc - info.col) - 1, r - (fr - info.row) - 1);
                AreaRecord stored;
                stored.r1 = uint16_t(sc.row - (fr - info.row));
                stored.c1 = uint16_t(sc.col - (fc - info.col));
                stored.r2 = uint16_t(stored.r1 + (info.area.last.row - info.area.first.row));
                stored.c2 = uint16_t(stored.c1 + (info.area.last.col - info.area.first.col));
                // A formula the file cannot hold leaves its cells their
                // values.
                if (const std::optional<QString>& text = fileFormulaOf(info, stored, corner)) {
                    cell.formula = *text;
                    cell.formulaArea = corner;
                }
            }
            int slot = -1;
            if (m_file.FindKeywordAt(fr, fc, &slot)) cell.keywordSlot = slot;
            take(cell);
        }
    }
    return true;
}

void Writer::readPages(const Layout& layout) {
    const size_t pages = m_pages.size();
    size_t keywordCells = 0;
    for (const ValueCell& cell : m_valueCells)
        if (cell.keywordSlot >= 0) ++keywordCells;
    // A few megabytes in memory: the rest waits on disk for the writing,
    // which reads each page's stream in turn.
    m_values = std::make_unique<ScratchStreams>(pages, size_t(8) << 20);
    m_keywordValues.assign(keywordCells * pages, QString());
    for (auto& list : m_dateParts) list.assign(pages, 0);

    // Page by page, so that each page is read once whatever the number of
    // pages, and held while its cells are read.
    for (size_t k = 0; k < pages; ++k) {
        const int p = m_pages[k];
        uint16_t status = 0;
        const std::shared_ptr<CSheetPage> held = m_report.GetPage(p, &status);
        if (!held)
            throw ExportFailure{
                LoadErrorText(str::kXmlPageUnreadable).arg(p).arg(StatusText(status))};
        size_t keywordIndex = 0;
        for (const ValueCell& cell : m_valueCells) {
            if (cell.kind != Kind::Label) {
                int pr = 0, pc = 0;
                QString text;
                // NumberText writes nothing for NaN: an empty value.
                double number = std::numeric_limits<double>::quiet_NaN();
                if (layout.pageCell(cell.stored(), m_pageLines[k], &pr, &pc)) {
                    CellValue v;
                    if (uint16_t s = m_report.GetCellValue(&v, pr, pc, p))
                        throw ExportFailure{LoadErrorText(str::kXmlCellUnreadable)
                                                .arg(FormatCellRef(pc - 1, pr - 1))
                                                .arg(p)
                                                .arg(StatusText(s))};
                    if (cell.kind == Kind::Text) {
                        // A value record holds the first characters of a
                        // longer text (one fewer where the last would be
                        // half a character); whether it was cut takes the
                        // whole.
                        if (v.isText() && v.text.size() >= kCellValueTextChars - 1) {
                            const QString whole = m_report.GetCellText(pr, pc, p);
                            fitted(whole, [&] {
                                return LoadErrorText(str::kLossPagePlace).arg(p) +
                                       FormatCellRef(pc - 1, pr - 1);
                            });
                        }
                        text = std::move(v.text);
                    } else if (v.kind == kCellNumber) {
                        number = v.number;
                    }
                }
                if (cell.kind == Kind::Text)
                    m_values->putText(k, text);
                else
                    m_values->putDouble(k, number);
            }
            if (cell.keywordSlot < 0) continue;
            KeywordValue kv;
            if (uint16_t s = m_report.GetPageKeyword(cell.keywordSlot, &kv, p))
                throw ExportFailure{LoadErrorText(str::kXmlKeywordUnreadable)
                                        .arg(cell.keywordSlot)
                                        .arg(p)
                                        .arg(StatusText(s))};
            QString text;
            const int slot = cell.keywordSlot;
            const auto keywordPlace = [&] {
                return LoadErrorText(str::kXmlPageKeyword).arg(p).arg(slot);
            };
            if (slot <= 1) {
                text = fitted(kv.text, keywordPlace);
            } else if (slot == kUserKeywordSlot && kv.kind == 2) {
                // A character user keyword keeps its text.
                text = fitted(kv.text, keywordPlace);
            } else if (kv.kind == 1) {
                text = WholeNumberText(kv.number);
                const double whole = std::trunc(kv.number);
                const long long part =
                    std::isfinite(whole) && std::fabs(whole) < 1e15 ? (long long)whole : 0;
                const int dateSlot = slot == 2 ? 0 : slot == 4 ? 1 : slot == 5 ? 2 : -1;
                if (dateSlot >= 0) {
                    m_hasDatePart[size_t(dateSlot)] = true;
                    m_dateParts[size_t(dateSlot)][k] = part;
                }
            } else {
                // An unset keyword is written empty, so it comes back unset
                // rather than as 0 (which prints as "年：0").
                const int dateSlot = slot == 2 ? 0 : slot == 4 ? 1 : slot == 5 ? 2 : -1;
                if (dateSlot >= 0) m_hasDatePart[size_t(dateSlot)] = true;
            }
            m_keywordValues[keywordIndex * pages + k] = std::move(text);
            ++keywordIndex;
        }
#ifdef __GLIBC__
        // What the page held goes back to the system before the next page
        // is read, not only to the heap.
        malloc_trim(0);
#endif
    }
}

void Writer::write(XmlStreamWriter& out, const QString& reportName) {
    // Names and the texts every cell repeats, made once.
    std::array<XmlStreamWriter::Name, kCellChildCount> tag;
    for (size_t i = 0; i < tag.size(); ++i) tag[i] = out.name(kCellChildTags[i]);
    const XmlStreamWriter::Name cellTag = out.name(kCellTag);
    const XmlStreamWriter::Name dateTag = out.name(kDateTag);
    std::array<QString, 16> fontNames;
    for (size_t i = 0; i < fontNames.size(); ++i) fontNames[i] = FontName(int(i));
    auto fontName = [&](int code) {
        return code >= 0 && code < 16 ? fontNames[size_t(code)] : FontName(code);
    };
    // A reader drops a text of blanks alone as layout between elements
    // unless the element says it keeps blanks; here it is a cell's value.
    const auto blank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
    };
    auto put = [&](int child, QStringView text) {
        if (text.isEmpty() || !std::all_of(text.begin(), text.end(), blank)) {
            out.textElement(tag[size_t(child)], text);
            return;
        }
        out.startElement(tag[size_t(child)]);
        out.setAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        out.text(text);
        out.endElement();
    };
    auto putInt = [&](int child, long long v) {
        out.textElement(tag[size_t(child)], IntText(v).view());
    };

    out.startElement(kRootTag);
    // Through the writer, so that any name makes a well-formed file.
    out.setAttribute(kExportTypeAttr, kExportTypeValue.toString());
    out.setAttribute(kFormatAttr, number(m_choice.m_bFormat ? 1 : 0));
    out.setAttribute(kDataAttr, number(m_choice.m_bData ? 1 : 0));
    out.setAttribute(kFormulaAttr, number(m_choice.m_bFormula ? 1 : 0));
    out.setAttribute(kRepNameAttr, reportName);

    const size_t pages = m_pages.size();
    const QString userKeyword = m_file.GetUserKeywordName();
    char numberBuf[kNumberCharsMax];
    size_t keywordIndex = 0;
    // Each cell is written as the walk reaches it, its values taken from
    // the pages' streams.
    walkCells(*m_layout, true, [&](const OutCell& cell) {
        out.startElement(cellTag);
        const uint64_t f = cell.format;
        putInt(kHeight, m_heights[size_t(cell.row)]);
        putInt(kWidth, m_widths[size_t(cell.col)]);
        putInt(kStartRow, cell.row);
        putInt(kStartCol, cell.col);
        putInt(kEndRow, cell.endRow);
        putInt(kEndCol, cell.endCol);
        switch (cell.kind) {
            case Kind::Number:
                putInt(kDataType, kDataNumber);
                put(kCellValue, {});
                for (size_t k = 0; k < pages; ++k) {
                    const int n = NumberChars(m_values->getDouble(k), numberBuf);
                    out.textElement(tag[kCellValue], QLatin1StringView(numberBuf, n));
                }
                break;
            case Kind::Text:
                putInt(kDataType, kDataText);
                put(kCellValue, {});
                for (size_t k = 0; k < pages; ++k) put(kCellValue, m_values->getText(k));
                break;
            case Kind::Label:
                putInt(kDataType, kDataLabel);
                for (size_t k = 0; k <= pages; ++k) put(kCellValue, cell.label);
                break;
        }
        putInt(kDecimalDigits, int(field(f, kFmtDecimals)));
        put(kHasComma, BoolText(field(f, kFmtThousands)));
        putInt(kCurrencySymbol, field(f, kFmtCurrency) ? 1 : 0);
        put(kHasPercent, BoolText(field(f, kFmtPercent)));
        putInt(kMultiLine, int(field(f, kFmtWrap)));
        put(kFontName, fontName(int(field(f, kFmtFont))));
        put(kFontStyle, FontStyleName(int(field(f, kFmtFontStyle))));
        putInt(kFontSize, FontSizePoints(int(field(f, kFmtFontSize))));
        if (!cell.formulaArea.isEmpty()) {
            put(kFormula, cell.formula);
            put(kFormulaArea, cell.formulaArea);
        }
        if (cell.keywordSlot >= 0) {
            put(kKeywordValue, {});
            for (size_t k = 0; k < pages; ++k)
                put(kKeywordValue, m_keywordValues[keywordIndex * pages + k]);
            ++keywordIndex;
            put(kKeywordName, KeywordName(cell.keywordSlot, userKeyword));
        }
        put(kHAlign, HAlignText(int(field(f, kFmtHAlign)), cell.kind == Kind::Number));
        put(kVAlign, VAlignText(int(field(f, kFmtVAlign))));
        putInt(kRightLine, int(field(f, kFmtRightLine)));
        putInt(kBottomLine, int(field(f, kFmtBottomLine)));
        putInt(kTopLine, cell.row == 1 ? m_topLines[size_t(cell.col)] : 0);
        putInt(kLeftLine, cell.col == 1 ? m_leftLines[size_t(cell.row)] : 0);
        put(kBackground, ColourText(int(field(f, kFmtBackground))));
        put(kForeground, ColourText(int(field(f, kFmtForeground))));
        putInt(kFillType, FillNumber(int(field(f, kFmtPattern))));
        out.endElement();
    });

    const int currentYear = QDate::currentDate().year();
    for (size_t k = 0; k < pages; ++k) {
        out.textElement(dateTag, KeywordDateText(m_hasDatePart[0], m_dateParts[0][k],
                                                 m_hasDatePart[1], m_dateParts[1][k],
                                                 m_hasDatePart[2], m_dateParts[2][k], currentYear));
    }
    out.endElement();
}

bool Writer::prepare() {
    choosePages();
    int fileLines = m_file.VarUsedLines();
    if (!m_pageLines.empty()) fileLines = *std::max_element(m_pageLines.begin(), m_pageLines.end());
    m_fileLines = std::max(fileLines, 1);
    m_allPages = int(m_pages.size()) == m_report.GetPageCount();
    for (size_t k = 0; k < m_pages.size(); ++k) m_renumbered = m_renumbered || m_pages[k] != int(k) + 1;
    m_allPages = m_allPages && !m_renumbered;
    const Layout& layout = m_layout.emplace(m_file.Format().header, fileLines, m_file.VarUsedLines());
    readSizes(layout);
    if (m_cannotMap) return false;
    m_cannotMap = !walkCells(layout, false, [&](const OutCell& cell) {
        if (cell.kind != Kind::Label || cell.keywordSlot >= 0)
            m_valueCells.push_back({cell.stored.row, cell.stored.col, int16_t(cell.stored.line), cell.kind,
                                    int8_t(cell.keywordSlot)});
    });
    if (m_cannotMap) return false;
    readPages(layout);
    m_valueCells = std::vector<ValueCell>();
    return true;
}

}  // namespace

QString CutTextsNote(const OwnXmlExportResult& result) {
    if (result.cutTexts <= 0) return QString();
    return LoadErrorText(str::kXmlTextsCut)
        .arg(result.cutTexts)
        .arg(kCellValueTextChars)
        .arg(result.cutPlaces.join(LoadErrorText(str::kListSeparatorText)),
             result.cutTexts > result.cutPlaces.size() ? QStringLiteral("……") : QString());
}

QStringList OwnXmlExportNotes(const OwnXmlExportResult& result) {
    QStringList notes;
    if (const QString cut = CutTextsNote(result); !cut.isEmpty()) notes << cut;
    return notes + result.leftOut;
}

OwnXmlExportResult WriteOwnXml(CReportHandle& report, const QString& target,
                               const ExportSetMembers& choice) {
    OwnXmlExportResult result;
    result.messageId = str::kProcessingFailed;
    if (!report.IsOpen()) {
        result.detail = LoadErrorText(str::kNoReportOpen);
        return result;
    }
    if (report.IsFormatState()) {
        // The pages keep the shape of the last committed format until the
        // edits are taken over; their values cannot be read against this one.
        result.detail = LoadErrorText(str::kReportInFormatState);
        return result;
    }
    try {
        Writer writer(report, choice);
        if (!writer.prepare()) {
            result.messageId = str::kCellConvertError;
            result.detail = LoadErrorText(str::kCellNotMappable);
            return result;
        }
        // The file goes to a temporary beside the target as it is made and
        // is renamed into place once whole: a failure on the way leaves the
        // target as it was, and the file never sits in memory.
        XmlStreamWriter out(QStringLiteral("version='1.0' encoding='gb2312'"));
        QString error;
        XmlSaveStatus status = out.streamTo(target, &error);
        if (status == XmlSaveStatus::Ok) {
            writer.write(out, ReportNameOf(report.GetPathName()));
            status = out.save(target, &error);
        }
        switch (status) {
            case XmlSaveStatus::Ok:
                result.written = true;
                result.messageId = str::kConversionDone;
                result.cutTexts = writer.cutTexts();
                result.cutPlaces = writer.cutPlaces();
                result.leftOut = writer.formulasLeftOut().lines();
                break;
            case XmlSaveStatus::AccessDenied:
                result.messageId = str::kNoWriteAccess;
                result.detail = error;
                break;
            case XmlSaveStatus::WriteFailed:
                result.detail = error;
                break;
            case XmlSaveStatus::DiskFull:
                // Not the program's fault: nobody needs to call support.
                result.messageId = 0;
                result.detail = DiskFullText(target);
                break;
        }
    } catch (const ExportFailure& e) {
        result.detail = e.why;
    } catch (const ScratchFailure& e) {
        result.detail = e.why;
    } catch (const XmlError& e) {
        result.detail = e.message();
    } catch (const std::bad_alloc&) {
        result.detail = StatusText(Status::OutOfMemory);
    }
    return result;
}

OwnXmlExportResult ExportOwnXml(CReportHandle& report, const QString& target) {
    ExportSetMembers members = InitialExportSettings(&report);
    if (!ExportSettingsDialog()->RunExportSettings(&members)) {
        OwnXmlExportResult result;
        result.cancelled = true;
        return result;
    }
    return WriteOwnXml(report, target, members);
}

}  // namespace qor

int ExportReportXml(QString target, QString reportPath) {
    CReportHandle* report = FindOpenReport(reportPath);
    if (!report) {
        TraceMessage(LoadErrorText(qor::str::kCannotOpenReport).arg(reportPath));
        return 0;
    }
    const qor::OwnXmlExportResult r = qor::ExportOwnXml(*report, target);
    if (r.cancelled) return 1;
    if (!r.detail.isEmpty()) TraceMessage(LoadErrorText(qor::str::kXmlDetail).arg(r.detail));
    // Done names the file: the user chose no name when it went beside the
    // report.
    // A failure with no message of its own (a full disk) shows its detail.
    const QString text =
        r.written ? LoadErrorText(qor::str::kConversionDoneAt).arg(QDir::toNativeSeparators(target))
                  : (r.messageId ? LoadErrorText(r.messageId) : r.detail);
    if (r.messageId || !r.written)
        qor::messageBox(text, LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok,
                        r.written ? qor::MsgIcon::Information : qor::MsgIcon::Warning);
    return r.written ? 1 : 0;
}
