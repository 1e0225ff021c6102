#include "fininterface/auditlayoutscan.h"

#include "engine/cellformat.h"
#include "engine/celltypes.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace {

constexpr int kHeaderRows = 5;
constexpr int kHeaderCols = 4;
constexpr int kTitleRows = 4;

}  // namespace

CAuditLayoutScan::CAuditLayoutScan(CReportHandle* report, const QString& listName)
    : m_pReport(report), m_strListName(listName) {
    // Row mode would need a list name holding both of these statements'
    // names; no statement has such a name, so the tables are read by
    // columns.
    m_nMode = listName.contains(LoadErrorText(qor::str::kPublicBodyBusinessExpenditure)) &&
                      listName.contains(LoadErrorText(qor::str::kPublicBodyProgramExpenditure))
                  ? 0
                  : 1;
    m_groupStart.fill(1);
    findHeader();
}

CAuditLayoutScan::~CAuditLayoutScan() = default;

int CAuditLayoutScan::rows() const { return m_pReport ? m_pReport->GetRowCount() : 0; }
int CAuditLayoutScan::cols() const { return m_pReport ? m_pReport->GetColCount() : 0; }

// The scan reads the table as it is drawn, not the values of a page: the
// cell kinds and labels of the report's format. A report saved in data
// state has no current page when it is opened, and any page's values would
// only get in the way, so the same report is mapped alike in either state.
// Format state shows one line of a variable area, so its shown rows and
// columns are the stored ones. Cells that are not labels read as their
// kind without a value, as the empty table shows them.
bool CAuditLayoutScan::formatCell(int row, int col, int* kind, QString* label) const {
    *kind = kCellUnset;
    label->clear();
    const CReportFile* file = m_pReport ? m_pReport->GetReportFile() : nullptr;
    if (!file || row < 1 || col < 1 || row > rows() || col > cols()) return false;
    const uint64_t word = file->Format().cellFormat(uint16_t(row), uint16_t(col));
    const int k = int(qor::cellFormatGet(word, qor::kFmtKind));
    if (k == kCellLabel) {
        *kind = kCellLabel;
        *label = file->GetLabel(uint16_t(row), uint16_t(col));
    } else if (k == kCellText) {
        *kind = kCellText;
    }
    return true;
}

int CAuditLayoutScan::cellKind(int row, int col) const {
    int kind = kCellUnset;
    QString label;
    formatCell(row, col, &kind, &label);
    return kind;
}

QString CAuditLayoutScan::cellText(int row, int col) const {
    int kind = kCellUnset;
    QString text;
    if (!formatCell(row, col, &kind, &text)) return {};
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!c.isSpace()) out += c;
    return out;
}

void CAuditLayoutScan::findHeader() {
    const bool byCols = m_nMode == 1;
    const int lines = byCols ? kHeaderRows : kHeaderCols;
    const int length = byCols ? cols() : rows();
    for (int line = 1; line <= lines && line <= (byCols ? rows() : cols()); ++line) {
        QString prev;
        bool ok = true;
        for (int i = 1; i <= length && ok; ++i) {
            const int row = byCols ? line : i;
            const int col = byCols ? i : line;
            const int kind = cellKind(row, col);
            if (kind == kCellLabel) {
                const QString t = cellText(row, col);
                if (prev.isEmpty()) {
                    prev = t;
                    continue;
                }
                if (t == prev) ok = false;
                prev = t;
            } else if (!(kind == kCellUnset && !byCols)) {
                ok = false;
            }
        }
        if (ok && length > 0) m_nHeaderLine = line;
    }
    m_nLastMatch = m_nHeaderLine;
}

int CAuditLayoutScan::CountGroups() {
    if (m_nHeaderLine == 0) return 1;
    const bool byCols = m_nMode == 1;
    const int length = byCols ? cols() : rows();
    int repeats = 0;
    for (int s = 1; s <= 2 && repeats == 0; ++s) {
        QString first;
        for (int i = 1; i <= length; ++i) {
            const int row = byCols ? m_nHeaderLine : i;
            const int col = byCols ? i : m_nHeaderLine;
            if (cellKind(row, col) != kCellLabel) continue;
            const QString t = cellText(row, col);
            if (i == s) {
                first = t;
            } else if (!first.isEmpty() && t == first && repeats + 1 < kMaxGroups) {
                // At most twenty copies: the slots hold twenty starts.
                m_groupStart[++repeats] = i;
            }
        }
    }
    return repeats + 1;
}

int CAuditLayoutScan::GroupStart(int group) const {
    return group >= 0 && group < kMaxGroups ? m_groupStart[group] : 0;
}

QString CAuditLayoutScan::findFormNumber() const {
    const QString hui = LoadErrorText(qor::str::kAccountingWord);
    const QString biao = LoadErrorText(qor::str::kTableWord);
    const int lastRow = std::min(kTitleRows, rows());
    for (int r = 1; r <= lastRow; ++r)
        for (int c = 1; c <= cols(); ++c) {
            const QString t = cellText(r, c);
            const qsizetype at = t.indexOf(hui);
            if (at >= 0 && t.indexOf(biao, at) >= 0) return FormatCellRef(c - 1, r - 1);
        }
    for (int r = 1; r <= lastRow; ++r)
        for (int c = 1; c <= cols(); ++c) {
            const QString t = cellText(r, c);
            for (qsizetype at = t.indexOf(biao); at > 0; at = t.indexOf(biao, at + 1))
                if (t[at - 1].isDigit()) return FormatCellRef(c - 1, r - 1);
        }
    return {};
}

QString CAuditLayoutScan::findCurrency() const {
    const QString unit = LoadErrorText(qor::str::kUnitWord);
    const QString yuan = LoadErrorText(qor::str::kYuan);
    const int lastRow = std::min(kTitleRows, rows());
    for (int r = 1; r <= lastRow; ++r)
        for (int c = 1; c <= cols(); ++c) {
            const QString t = cellText(r, c);
            const qsizetype at = t.indexOf(unit);
            if (at >= 0 && t.indexOf(yuan, at + unit.size()) >= 0)
                return FormatCellRef(c - 1, r - 1);
        }
    for (int r = 1; r <= lastRow; ++r)
        for (int c = 1; c <= cols(); ++c)
            if (cellText(r, c).contains(yuan)) return FormatCellRef(c - 1, r - 1);
    return {};
}

QString CAuditLayoutScan::locateArea(const QString& fieldName, int group) {
    const bool byCols = m_nMode == 1;
    const int length = byCols ? cols() : rows();
    const int end = byCols ? rows() : cols();
    int found = 0;
    for (int i = m_groupStart[group]; i <= length && !fieldName.isEmpty(); ++i) {
        const int row = byCols ? m_nHeaderLine : i;
        const int col = byCols ? i : m_nHeaderLine;
        if (cellText(row, col).contains(fieldName)) {
            found = i;
            break;
        }
    }
    m_nLastMatch = found ? found : m_nLastMatch + 1;
    const int line = m_nLastMatch;
    const int first = m_nHeaderLine + 1;
    // Past the last column, or a header on the last line, leaves nothing
    // inside the table to point at.
    if (line < 1 || line > length || first > end) return {};
    if (byCols)
        return FormatCellRef(line - 1, first - 1) + QLatin1Char(':') +
               FormatCellRef(line - 1, end - 1);
    return FormatCellRef(first - 1, line - 1) + QLatin1Char(':') + FormatCellRef(end - 1, line - 1);
}

QString CAuditLayoutScan::Locate(const QString& fieldName, int group) {
    if (group < 0 || group >= kMaxGroups) return {};
    if (fieldName == LoadErrorText(qor::str::kReportCode)) return findFormNumber();
    if (fieldName == LoadErrorText(qor::str::kPreparedBy))
        return LoadErrorText(qor::str::kKeywordUnitName);
    if (fieldName == LoadErrorText(qor::str::kReportPeriod))
        return m_strListName.contains(QStringLiteral("资产负债"))
                   ? LoadErrorText(qor::str::kYearMonthDay)
                   : LoadErrorText(qor::str::kYearMonth);
    if (fieldName == LoadErrorText(qor::str::kReportDate))
        return LoadErrorText(qor::str::kYearMonthDay);
    if (fieldName == LoadErrorText(qor::str::kCurrencyUnit)) return findCurrency();
    return locateArea(fieldName, group);
}
