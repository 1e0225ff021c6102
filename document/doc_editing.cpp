// Cell entry, clearing, formula lists, the file password and the manual
// page breaks of the document.

#include <QRegularExpression>
#include <algorithm>

#include "document/cqorsdoc.h"
#include "engine/cellgate.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"
#include "reader/creader.h"

namespace {

constexpr uint16_t kRefused = 1;

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

// The lines of a text, each ended by CR LF; a last empty line is dropped.
QString withCrLfLines(const QString& text) {
    if (text.isEmpty()) return QString();
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    QString out;
    for (const QString& l : lines) out += l + QStringLiteral("\r\n");
    return out;
}

QString areaReference(const CellArea& a) {
    const QString first = FormatCellRef(a.first.col - 1, a.first.row - 1);
    if (a.isSingleCell()) return first;
    return first + QLatin1Char(':') + FormatCellRef(a.last.col - 1, a.last.row - 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Cell entry and clearing

int CQorsDoc::SetCellText(const QString& text, int mode) {
    if (!m_pReport) return kRefused;
    const int row = Selection().CurrentRow() + 1, col = Selection().CurrentColumn() + 1;
    uint16_t status = kRefused;
    switch (mode) {
        case kEntryNumber:
        case kEntryDataText: {
            if (m_pReport->IsFormatState()) return kRefused;
            CellValue v;
            double number = 0;
            if (isBlank(text)) {
                v.kind = kCellUnset;
            } else if (mode == kEntryNumber && !qor::TextAsCellNumber(text, &number)) {
                // A number cell keeps its value; the typist is told so in
                // the same words whichever edit line the entry came from.
                qor::messageBox(
                    LoadErrorText(qor::str::kEnterNumberCellUnchanged).arg(text.trimmed()),
                    QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
                return kRefused;
            } else if (mode == kEntryNumber) {
                v = CellValue::ofNumber(number);
            } else {
                v = CellValue::ofText(text);
            }
            status = m_pReport->SetCellValue(v, row, col, 0);
            break;
        }
        case kEntryFormatText: {
            if (!m_pReport->IsFormatState()) return kRefused;
            // An empty entry takes the table text away but leaves the cell's
            // kind as it was.
            if (isBlank(text)) {
                const CellArea a = CellArea::cell(row, col);
                status = m_pReport->ClearArea(&a, CReportHandle::kClearValues);
            } else {
                status = m_pReport->SetCellValue(CellValue{kCellLabel, 0, text}, row, col, 0);
            }
            break;
        }
        default:
            return kRefused;
    }
    if (status == qor::kValueRefusedStatus)
        // The cell keeps what it held; the typist hears which text and why.
        qor::messageBox(StatusText(status), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
    if (status) return status;
    RecalcChangedCells();
    SetModifiedFlag();
    UpdateAllViews(kHintCells);
    UpdateServerItems();
    return 0;
}

int CQorsDoc::ClearArea() {
    if (!m_pReport) return kRefused;
    const CellArea sel = Selection().Area();
    const CellArea area =
        CellArea::area(sel.first.row + 1, sel.first.col + 1, sel.last.row + 1, sel.last.col + 1);
    const int what = m_pReport->IsFormatState()
                         ? CReportHandle::kClearValues | CReportHandle::kClearFormulas |
                               CReportHandle::kClearCombines
                         : CReportHandle::kClearValues;
    const uint16_t status = m_pReport->ClearArea(&area, what);
    m_items->RemoveChartsInArea(sel);
    RecalcChangedCells();
    SetModifiedFlag();
    UpdateAllViews(kHintCells);
    UpdateServerItems();
    return status;
}

int CQorsDoc::EditClear() {
    uint16_t status = kRefused;
    if (m_pReport) {
        const CellArea sel = Selection().Area();
        const CellArea area = CellArea::area(sel.first.row + 1, sel.first.col + 1, sel.last.row + 1,
                                             sel.last.col + 1);
        status = m_pReport->ClearArea(&area, CReportHandle::kClearValues);
    }
    if (status) {
        qor::messageBox(LoadErrorText(qor::str::kClearFailed), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        return status;
    }
    RecalcChangedCells();
    SetModifiedFlag();
    UpdateAllViews(kHintCells);
    UpdateServerItems();
    return 0;
}

uint16_t CQorsDoc::RecalcChangedCells() {
    if (!m_pReport) return 0;
    // The engine noted what changed and works out what reads it; here
    // only a failure to do so (a page that does not read, a full disk)
    // is told. The change itself stands.
    const uint16_t s = m_pReport->BringCurrent();
    if (s <= 1) return 0;
    TraceMessage(LoadErrorText(qor::str::kRecalcFailed) + StatusText(s));
    return s;
}

// ---------------------------------------------------------------------------
// Formula lists

void CQorsDoc::BuildFormulaListText(int type, QString* out) const {
    if (!out) return;
    out->clear();
    if (!m_pReport) return;
    switch (type) {
        case 0:
            for (const FormulaInfo& f : m_pReport->EnumFormulas(-1)) {
                QString text = f.text;
                if (f.kind == 1 &&
                    !text.trimmed().startsWith(QLatin1String("TOTAL "), Qt::CaseInsensitive))
                    text = QStringLiteral("TOTAL ") + text;
                *out += areaReference(f.area) + QLatin1Char('=') + text + QStringLiteral("\r\n");
            }
            break;
        case 1:
            *out = withCrLfLines(m_pReport->GetAuditFormulas());
            break;
        case 2:
            *out = withCrLfLines(m_pReport->GetRoundingSettings().formula);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// Page breaks and print titles

void CQorsDoc::ClearAllManualBreaks() {
    for (PageBreakEntry& e : m_view.manualBreaks) e.row = e.col = -1;
    SetModifiedFlag();
    UpdateAllViews(kHintLayout);
}

void CQorsDoc::SetAutoBreaks(std::vector<PageBreakEntry> breaks) {
    m_view.autoBreaks = std::move(breaks);
    m_view.autoBreakCapacity = int32_t(m_view.autoBreaks.size());
}

void CQorsDoc::SetPrintTitleFlags(bool head, bool tail) {
    m_pageSetup.headFlag = head ? 1 : 0;
    m_pageSetup.tailFlag = tail ? 1 : 0;
}
