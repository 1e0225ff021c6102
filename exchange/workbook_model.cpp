#include "exchange/workbook_model.h"

#include <QFileInfo>
#include <algorithm>

#include "engine/messages.h"
#include "exchange/workbook_read.h"

namespace qor {

namespace {

[[noreturn]] void fail(uint32_t code, const QString& what) {
    throw XlError{code, QStringLiteral("Workbook"), what};
}

constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;

QString canonicalKey(const QString& path) {
    const QFileInfo fi(path);
    const QString c = fi.canonicalFilePath();
    return c.isEmpty() ? fi.absoluteFilePath() : c;
}

XlBorder& borderOf(XlStyle& s, int edge) {
    switch (edge) {
        case xl::kEdgeLeft:
            return s.left;
        case xl::kEdgeTop:
            return s.top;
        case xl::kEdgeBottom:
            return s.bottom;
        case xl::kEdgeRight:
            return s.right;
        default:
            fail(kXlArgument, LoadErrorText(str::kBadBorderIndex).arg(edge));
    }
}

bool edgeCell(const XlArea& a, int edge, int r, int c) {
    switch (edge) {
        case xl::kEdgeLeft:
            return c == a.c1;
        case xl::kEdgeTop:
            return r == a.r1;
        case xl::kEdgeBottom:
            return r == a.r2;
        default:
            return c == a.c2;
    }
}

bool validLineStyle(int v) {
    switch (v) {
        case xl::kLineNone:
        case xl::kContinuous:
        case xl::kDash:
        case xl::kDot:
        case xl::kDashDot:
        case xl::kDashDotDot:
        case xl::kSlantDashDot:
        case xl::kDouble:
            return true;
        default:
            return false;
    }
}

bool validWeight(int v) {
    return v == xl::kHairline || v == xl::kThin || v == xl::kMedium || v == xl::kThick;
}

}  // namespace

// ---- XlCellMap ------------------------------------------------------------

namespace {

// The entry of a sorted array holding key, by its offset from the first
// entry when the keys run without gaps, else by a binary search; the place
// it would go when missing.
template <class Vec, class KeyOf>
size_t slotOf(const Vec& v, int key, KeyOf keyOf) {
    if (v.empty()) return 0;
    const qint64 guess = qint64(key) - keyOf(v.front());
    if (guess >= 0 && guess < qint64(v.size()) && keyOf(v[size_t(guess)]) == key)
        return size_t(guess);
    size_t lo = 0, hi = v.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (keyOf(v[mid]) < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int rowKey(const XlCellMap::Row& r) { return r.row; }
int colKey(const XlCellMap::Entry& e) { return e.first.second; }

}  // namespace

const XlCellMap::Row* XlCellMap::findRow(int row) const {
    const size_t i = slotOf(m_rows, row, rowKey);
    return i < m_rows.size() && m_rows[i].row == row ? &m_rows[i] : nullptr;
}

const XlCell* XlCellMap::find(int row, int col) const {
    const Row* r = findRow(row);
    if (!r) return nullptr;
    const size_t i = slotOf(r->cells, col, colKey);
    return i < r->cells.size() && r->cells[i].first.second == col ? &r->cells[i].second
                                                                   : nullptr;
}

size_t XlCellMap::rowIndex(int row) {
    if (m_lastRow < m_rows.size() && m_rows[m_lastRow].row == row) return m_lastRow;
    size_t i;
    if (m_rows.empty() || m_rows.back().row < row) {
        i = m_rows.size();
        m_rows.push_back(Row{row, {}});
        // Rows of a sheet tend to be alike: a new last row is given room
        // for as many cells as the one before it holds.
        if (i > 0) m_rows[i].cells.reserve(m_rows[i - 1].cells.size());
    } else {
        i = slotOf(m_rows, row, rowKey);
        if (m_rows[i].row != row) m_rows.insert(m_rows.begin() + qsizetype(i), Row{row, {}});
    }
    m_lastRow = i;
    return i;
}

XlCell& XlCellMap::at(int row, int col) {
    std::vector<Entry>& cells = m_rows[rowIndex(row)].cells;
    if (cells.empty() || cells.back().first.second < col) {
        cells.emplace_back(Key{row, col}, XlCell{});
        ++m_count;
        return cells.back().second;
    }
    const size_t i = slotOf(cells, col, colKey);
    if (cells[i].first.second != col) {
        cells.insert(cells.begin() + qsizetype(i), Entry{Key{row, col}, XlCell{}});
        ++m_count;
    }
    return cells[i].second;
}

void XlCellMap::assign(std::vector<Entry> entries) {
    clear();
    const auto before = [](const Entry& a, const Entry& b) { return a.first < b.first; };
    if (!std::is_sorted(entries.begin(), entries.end(), before))
        std::stable_sort(entries.begin(), entries.end(), before);
    size_t i = 0;
    while (i < entries.size()) {
        const int row = entries[i].first.first;
        size_t end = i;
        while (end < entries.size() && entries[end].first.first == row) ++end;
        Row r{row, {}};
        r.cells.reserve(end - i);
        for (size_t k = i; k < end; ++k) {
            // The last of equal entries is the one that stays.
            if (k + 1 < end && entries[k + 1].first == entries[k].first) continue;
            r.cells.push_back(std::move(entries[k]));
        }
        m_count += r.cells.size();
        m_rows.push_back(std::move(r));
        i = end;
    }
}

void XlCellMap::load(int row, int col, XlCell cell) {
    if (m_rows.empty() || row > m_rows.back().row ||
        (row == m_rows.back().row && col > m_rows.back().cells.back().first.second)) {
        at(row, col) = std::move(cell);
        return;
    }
    m_late.emplace_back(Key{row, col}, std::move(cell));
}

void XlCellMap::finishLoading() {
    if (m_late.empty()) return;
    // The cells in place came before every waiting one of the same key.
    std::vector<Entry> all;
    all.reserve(m_count + m_late.size());
    for (Row& r : m_rows)
        for (Entry& e : r.cells) all.push_back(std::move(e));
    std::vector<Entry> late = std::move(m_late);
    m_late.clear();
    for (Entry& e : late) all.push_back(std::move(e));
    assign(std::move(all));
}

void XlCellMap::dropRowsThrough(int lastRow) {
    auto end = m_rows.begin();
    while (end != m_rows.end() && end->row <= lastRow) {
        m_count -= end->cells.size();
        ++end;
    }
    m_rows.erase(m_rows.begin(), end);
    m_lastRow = 0;
}

void XlCellMap::clear() {
    m_rows.clear();
    m_count = 0;
    m_lastRow = 0;
    m_late.clear();
}

// ---- XlRange ------------------------------------------------------------

XlRange::XlRange(XlWorksheet* sheet, XlArea area) : m_sheet(sheet), m_area(area) {
    if (!m_sheet) fail(kXlPointer, LoadErrorText(str::kNoSheet));
    if (m_area.r1 > m_area.r2) std::swap(m_area.r1, m_area.r2);
    if (m_area.c1 > m_area.c2) std::swap(m_area.c1, m_area.c2);
    if (m_area.r1 < 1 || m_area.c1 < 1 || m_area.r2 > kMaxRows || m_area.c2 > kMaxCols)
        fail(kXlObjectError, LoadErrorText(str::kRangeOutsideSheet));
}

const XlStyle& XlCell::plainStyle() {
    static const XlStyle plain;
    return plain;
}

template <class F>
void XlRange::forEach(F f) {
    for (int r = m_area.r1; r <= m_area.r2; ++r)
        for (int c = m_area.c1; c <= m_area.c2; ++c) f(m_sheet->cell(r, c), r, c);
}

template <class Pick, class Change>
void XlRange::restyle(Pick pick, Change change) {
    XlSharedStyle from, to;  // the last change made
    bool changed = false;
    forEach([&](XlCell& c, int r, int col) {
        if (!pick(r, col)) return;
        if (changed && c.m_style == from) {
            c.m_style = to;
            return;
        }
        if (c.m_style && c.m_style.use_count() == 1) {
            // The cell's own style: changed where it is.
            change(*c.m_style);
            return;
        }
        from = c.m_style;
        to = std::make_shared<XlStyle>(c.style());
        change(*to);
        c.m_style = to;
        changed = true;
    });
}

void XlRange::setNumber(double v) {
    forEach([&](XlCell& cell, int, int) {
        cell.kind = XlCell::Number;
        cell.number = v;
        cell.text.clear();
    });
}

void XlRange::setText(const QString& t) {
    if (t.size() > 32767) fail(kXlObjectError, LoadErrorText(str::kTextTooLongForCell));
    forEach([&](XlCell& cell, int, int) {
        cell.kind = t.isEmpty() ? XlCell::Empty : XlCell::Text;
        cell.number = 0;
        cell.text = t;
    });
}

const XlCell* XlRange::firstCell() const { return m_sheet->findCell(m_area.r1, m_area.c1); }

void XlStyleEdit::setNumberFormat(const QString& f) {
    if (f.size() > 255) fail(kXlObjectError, LoadErrorText(str::kNumberFormatTooLong));
    m_s.numberFormat = f;
}
void XlStyleEdit::setFontName(const QString& name) {
    if (name.isEmpty() || name.size() > 31)
        fail(kXlObjectError, LoadErrorText(str::kBadFontName).arg(name));
    m_s.fontName = name;
}
void XlStyleEdit::setFontSize(double points) {
    if (!(points >= 1 && points <= 409))
        fail(kXlObjectError, LoadErrorText(str::kBadFontSize).arg(points));
    m_s.fontSize = points;
}
void XlStyleEdit::setUnderline(int code) {
    if (code != xl::kUnderlineNone && code != xl::kUnderlineSingle && code != xl::kUnderlineDouble)
        fail(kXlObjectError, LoadErrorText(str::kBadUnderline).arg(code));
    m_s.underline = code;
}
void XlStyleEdit::setFillColor(uint32_t bgr) {
    m_s.hasFill = true;
    m_s.fillColor = bgr & 0xFFFFFF;
}
void XlStyleEdit::setHorizontalAlignment(int code) {
    if (code != xl::kGeneral && code != xl::kLeft && code != xl::kCenter && code != xl::kRight &&
        code != xl::kJustify)
        fail(kXlObjectError, LoadErrorText(str::kBadHorizontalAlignment).arg(code));
    m_s.hAlign = code;
}
void XlStyleEdit::setVerticalAlignment(int code) {
    if (code != xl::kTop && code != xl::kCenter && code != xl::kBottom && code != xl::kJustify)
        fail(kXlObjectError, LoadErrorText(str::kBadVerticalAlignment).arg(code));
    m_s.vAlign = code;
}
void XlStyleEdit::setBorderLineStyle(int edge, int lineStyle) {
    XlBorder& b = borderOf(m_s, edge);
    if (!validLineStyle(lineStyle))
        fail(kXlObjectError, LoadErrorText(str::kBadLineStyle).arg(lineStyle));
    b.lineStyle = lineStyle;
}
void XlStyleEdit::setBorderWeight(int edge, int weight) {
    XlBorder& b = borderOf(m_s, edge);
    if (!validWeight(weight))
        fail(kXlObjectError, LoadErrorText(str::kBadBorderWeight).arg(weight));
    b.weight = weight;
    // Setting a weight on an edge without a line draws it.
    if (b.lineStyle == xl::kLineNone) b.lineStyle = xl::kContinuous;
}

void XlRange::setNumberFormat(const QString& f) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setNumberFormat(f); });
}
void XlRange::setFontName(const QString& name) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setFontName(name); });
}
void XlRange::setFontSize(double points) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setFontSize(points); });
}
void XlRange::setBold(bool on) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setBold(on); });
}
void XlRange::setItalic(bool on) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setItalic(on); });
}
void XlRange::setUnderline(int code) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setUnderline(code); });
}
void XlRange::setFontColor(uint32_t bgr) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setFontColor(bgr); });
}
void XlRange::setFillColor(uint32_t bgr) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setFillColor(bgr); });
}
void XlRange::setHorizontalAlignment(int code) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setHorizontalAlignment(code); });
}
void XlRange::setVerticalAlignment(int code) {
    restyle([&](XlStyle& s) { XlStyleEdit(s).setVerticalAlignment(code); });
}

void XlRange::setBorderLineStyle(int edge, int lineStyle) {
    const XlArea a = m_area;
    restyle([&](int r, int col) { return edgeCell(a, edge, r, col); },
            [&](XlStyle& s) { XlStyleEdit(s).setBorderLineStyle(edge, lineStyle); });
}

void XlRange::setBorderWeight(int edge, int weight) {
    const XlArea a = m_area;
    restyle([&](int r, int col) { return edgeCell(a, edge, r, col); },
            [&](XlStyle& s) { XlStyleEdit(s).setBorderWeight(edge, weight); });
}

void XlRange::merge() { m_sheet->addMerge(m_area); }

XlRange XlRange::mergeArea() const {
    for (const XlArea& m : m_sheet->merges())
        if (m.contains(m_area.r1, m_area.c1)) return XlRange(m_sheet, m);
    return XlRange(m_sheet, XlArea{m_area.r1, m_area.c1, m_area.r1, m_area.c1});
}

void XlRange::setColumnWidth(double width) {
    if (!(width >= 0 && width <= 255))
        fail(kXlObjectError, LoadErrorText(str::kBadColumnWidth).arg(width));
    for (int c = m_area.c1; c <= m_area.c2; ++c) m_sheet->m_colWidths[c] = width;
}

void XlRange::setRowHeight(double points) {
    if (!(points >= 0 && points <= 409))
        fail(kXlObjectError, LoadErrorText(str::kBadRowHeight).arg(points));
    for (int r = m_area.r1; r <= m_area.r2; ++r) m_sheet->m_rowHeights[r] = points;
}

// ---- XlWorksheet ----------------------------------------------------------

XlRange XlWorksheet::range(const QString& ref) {
    // Worksheets are far wider than a report: letters and rows are read
    // here rather than through the report's own reference parser.
    auto corner = [](QStringView t, int* r, int* c) {
        int i = 0, col = 0, row = 0;
        while (i < t.size() && t[i].isLetter() && t[i].unicode() < 128) {
            col = col * 26 + (t[i].toUpper().unicode() - 'A' + 1);
            if (col > kMaxCols) return false;
            ++i;
        }
        if (i == 0 || i == t.size()) return false;
        for (; i < t.size(); ++i) {
            if (!t[i].isDigit() || t[i].unicode() >= 128) return false;
            row = row * 10 + (t[i].unicode() - '0');
            if (row > kMaxRows) return false;
        }
        *r = row;
        *c = col;
        return row >= 1;
    };
    const QString t = ref.trimmed();
    const qsizetype colon = t.indexOf(u':');
    XlArea a;
    bool ok = colon < 0 ? corner(t, &a.r1, &a.c1)
                        : corner(QStringView(t).left(colon), &a.r1, &a.c1) &&
                              corner(QStringView(t).mid(colon + 1), &a.r2, &a.c2);
    if (!ok) fail(kXlObjectError, LoadErrorText(str::kBadRange).arg(ref));
    if (colon < 0) {
        a.r2 = a.r1;
        a.c2 = a.c1;
    }
    return XlRange(this, a);
}

void XlWorksheet::releaseContents() {
    m_cells.clear();
    m_merges.clear();
    m_colWidths.clear();
    m_rowHeights.clear();
}

double XlWorksheet::columnWidth(int col) const {
    auto it = m_colWidths.find(col);
    return it == m_colWidths.end() ? m_defaultColWidth : it->second;
}

double XlWorksheet::rowHeight(int row) const {
    auto it = m_rowHeights.find(row);
    return it == m_rowHeights.end() ? xl::kDefaultRowHeight : it->second;
}

XlArea XlWorksheet::usedArea() const {
    bool any = false;
    XlArea a;
    for (const auto& [pos, cell] : m_cells) {
        if (cell.kind == XlCell::Empty && cell.hasPlainStyle()) continue;
        if (!any) {
            a = {pos.first, pos.second, pos.first, pos.second};
            any = true;
        }
        a.r1 = std::min(a.r1, pos.first);
        a.r2 = std::max(a.r2, pos.first);
        a.c1 = std::min(a.c1, pos.second);
        a.c2 = std::max(a.c2, pos.second);
    }
    return a;
}

void XlWorksheet::addMerge(const XlArea& area) {
    if (area.r1 == area.r2 && area.c1 == area.c2) return;  // one cell merges to nothing
    // Merging over existing merged areas joins them into one block, as the
    // object model does; the same area merged again changes nothing.
    XlArea joined = area;
    bool grew = true;
    while (grew) {
        grew = false;
        for (auto it = m_merges.begin(); it != m_merges.end();) {
            if (it->intersects(joined)) {
                const XlArea before = joined;
                joined = {std::min(joined.r1, it->r1), std::min(joined.c1, it->c1),
                          std::max(joined.r2, it->r2), std::max(joined.c2, it->c2)};
                grew = grew || !(before == joined);
                it = m_merges.erase(it);
            } else {
                ++it;
            }
        }
    }
    m_merges.push_back(joined);
}

// ---- XlWorkbook -----------------------------------------------------------

XlWorkbook::XlWorkbook(int sheets) {
    for (int i = 0; i < std::max(sheets, 1); ++i) {
        const QString name = freshName();
        useName(name);
        m_sheets.push_back(std::make_unique<XlWorksheet>(name));
    }
}

namespace {

// N of a name "SheetN" as freshName() makes them (no leading zero, any
// case), else 0.
int defaultNameNumber(const QString& name) {
    static const QString prefix = QStringLiteral("Sheet");
    if (name.size() <= prefix.size() || !name.startsWith(prefix, Qt::CaseInsensitive)) return 0;
    const QStringView digits = QStringView(name).mid(prefix.size());
    if (digits.front() == u'0') return 0;
    for (QChar c : digits)
        if (c < u'0' || c > u'9') return 0;
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? n : 0;
}

}  // namespace

QString XlWorkbook::freshName() {
    for (;; ++m_nextName) {
        const QString name = QStringLiteral("Sheet%1").arg(m_nextName);
        if (!m_usedNames.contains(name.toCaseFolded())) return name;
    }
}

void XlWorkbook::useName(const QString& name) { ++m_usedNames[name.toCaseFolded()]; }

void XlWorkbook::releaseName(const QString& name) {
    const auto it = m_usedNames.find(name.toCaseFolded());
    if (it != m_usedNames.end() && --it.value() <= 0) {
        m_usedNames.erase(it);
        // A default name given up is the next new sheet's again.
        if (const int n = defaultNameNumber(name); n > 0) m_nextName = std::min(m_nextName, n);
    }
}

XlWorksheet* XlWorkbook::sheet(int index1) {
    if (index1 < 1 || index1 > sheetCount())
        fail(kXlObjectError, LoadErrorText(str::kNoSuchSheetNumber).arg(index1));
    return m_sheets[size_t(index1 - 1)].get();
}

int XlWorkbook::indexOf(const XlWorksheet* s) const {
    for (size_t i = 0; i < m_sheets.size(); ++i)
        if (m_sheets[i].get() == s) return int(i);
    fail(kXlPointer, LoadErrorText(str::kSheetNotInWorkbook));
}

XlWorksheet* XlWorkbook::addSheet() {
    if (m_sheets.size() >= 4096) fail(kXlObjectError, LoadErrorText(str::kTooManySheets));
    const QString name = freshName();
    auto s = std::make_unique<XlWorksheet>(name);
    useName(name);
    XlWorksheet* p = s.get();
    m_sheets.insert(m_sheets.begin() + m_active, std::move(s));
    m_saved = false;
    return p;
}

void XlWorkbook::deleteSheet(XlWorksheet* sheet) {
    const int i = indexOf(sheet);
    if (m_sheets.size() == 1) fail(kXlObjectError, LoadErrorText(str::kLastSheetKept));
    releaseName(sheet->name());
    m_sheets.erase(m_sheets.begin() + i);
    if (m_active > i || m_active >= int(m_sheets.size())) m_active = std::max(m_active - 1, 0);
    m_saved = false;
}

void XlWorkbook::renameSheet(XlWorksheet* sheet, const QString& name) {
    indexOf(sheet);
    static const QString bad = QStringLiteral(":\\/?*[]");
    if (name.isEmpty() || name.size() > 31 || name.startsWith(u'\'') || name.endsWith(u'\''))
        fail(kXlObjectError, LoadErrorText(str::kBadSheetName).arg(name));
    for (QChar ch : name)
        if (bad.contains(ch)) fail(kXlObjectError, LoadErrorText(str::kBadSheetName).arg(name));
    const QString key = name.toCaseFolded();
    const int others = m_usedNames.value(key) - (sheet->name().toCaseFolded() == key ? 1 : 0);
    if (others > 0) fail(kXlObjectError, LoadErrorText(str::kSheetNameTaken).arg(name));
    nameSheetAsRead(sheet, name);
    m_saved = false;
}

void XlWorkbook::nameSheetAsRead(XlWorksheet* sheet, const QString& name) {
    indexOf(sheet);
    releaseName(sheet->name());
    sheet->setName(name);
    useName(name);
}

void XlWorkbook::activate(XlWorksheet* sheet) { m_active = indexOf(sheet); }

std::unique_ptr<XlWorkbook> XlWorkbook::clone() const {
    auto wb = std::make_unique<XlWorkbook>(1);
    wb->m_sheets.clear();
    for (const auto& s : m_sheets) wb->m_sheets.push_back(std::make_unique<XlWorksheet>(*s));
    wb->m_usedNames = m_usedNames;
    wb->m_nextName = m_nextName;
    wb->m_active = m_active;
    wb->m_path = m_path;
    wb->m_saved = m_saved;
    wb->m_names = m_names;
    return wb;
}

// ---- XlApplication --------------------------------------------------------

XlApplication::XlApplication() = default;
XlApplication::~XlApplication() = default;

XlWorkbook* XlApplication::addWorkbook() {
    m_books.push_back(std::make_unique<XlWorkbook>(3));
    m_active = m_books.back().get();
    return m_active;
}

XlWorkbook* XlApplication::openWorkbook(const QString& path) {
    const QString key = canonicalKey(path);
    for (const auto& b : m_books)
        if (!b->fullName().isEmpty() && canonicalKey(b->fullName()) == key) {
            m_active = b.get();
            return m_active;
        }
    if (!QFileInfo(path).isFile())
        fail(kXlObjectError, QStringLiteral("\"%1\" cannot be found").arg(path));
    // Always from the file's bytes, by its content: a workbook written
    // here comes back as any program would read it.
    std::unique_ptr<XlWorkbook> wb = ReadWorkbookFile(path);
    wb->setFullName(QFileInfo(path).absoluteFilePath());
    wb->setSaved(true);
    m_books.push_back(std::move(wb));
    m_active = m_books.back().get();
    return m_active;
}

void XlApplication::saveCopyAs(const XlWorkbook* wb, const QString& path) {
    if (!wb) fail(kXlPointer, LoadErrorText(str::kNoWorkbookOpen));
    wb->saveAs(path);
}

void XlApplication::save(XlWorkbook* wb) {
    if (!wb) fail(kXlPointer, LoadErrorText(str::kNoWorkbookOpen));
    if (wb->fullName().isEmpty()) fail(kXlObjectError, LoadErrorText(str::kWorkbookNeedsFileName));
    wb->saveAs(wb->fullName());
    wb->setSaved(true);
}

void XlApplication::close(XlWorkbook* wb) {
    if (!wb) fail(kXlPointer, LoadErrorText(str::kNoWorkbookOpen));
    auto it =
        std::find_if(m_books.begin(), m_books.end(), [wb](const auto& b) { return b.get() == wb; });
    if (it == m_books.end()) fail(kXlPointer, LoadErrorText(str::kWorkbookNotOpen));
    m_books.erase(it);
    m_active = m_books.empty() ? nullptr : m_books.back().get();
}

bool XlApplication::isOpen(const XlWorkbook* wb) const {
    return wb && std::any_of(m_books.begin(), m_books.end(),
                             [wb](const auto& b) { return b.get() == wb; });
}

XlWorksheet* XlApplication::activeSheet() { return m_active ? m_active->activeSheet() : nullptr; }

void XlApplication::quit() {
    // Unsaved changes are dropped: the bridge saves before it quits and the
    // engine has no one to ask.
    m_books.clear();
    m_active = nullptr;
}

}  // namespace qor
