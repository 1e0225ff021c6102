#include "document/cmd_support.h"

#include <algorithm>
#include <cmath>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"

namespace qor {

CReportHandle* DocReport(const CQorsDoc& doc) { return doc.GetReport(); }

CellArea DocSelectionArea(const CQorsDoc& doc) {
    const CellArea a = doc.Selection().Area();
    return CellArea::area(a.first.row + 1, a.first.col + 1, a.last.row + 1, a.last.col + 1);
}

DlgArea DocSelectionDlgArea(const CQorsDoc& doc) {
    const CellArea a = doc.Selection().Area();
    return {a.first.col, a.first.row, a.last.col, a.last.row};
}

CellArea ReportArea(const DlgArea& a) {
    return CellArea::area(std::min(a.firstRow, a.lastRow) + 1, std::min(a.firstCol, a.lastCol) + 1,
                          std::max(a.firstRow, a.lastRow) + 1, std::max(a.firstCol, a.lastCol) + 1);
}

void ShowMessageId(int id) { ShowMessageText(LoadErrorText(id)); }

void ShowMessageText(const QString& text) {
    TraceMessage(text);
    messageBox(text, QString(), MsgButtons::Ok, MsgIcon::Warning);
}

void FinishChange(CQorsDoc& doc, int hint) {
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews(hint);
    doc.UpdateServerItems();
}

int MmFromPoints(int points) { return int(std::floor(points * 0.3527 + 0.5)); }

int PointsFromMm(int mm) { return int(mm / 0.3527 + 0.5); }

QString KeywordSlotName(const CQorsDoc& doc, int slot) {
    static const int ids[6] = {str::kKeywordUnitName, str::kKeywordUnitCode, str::kKeywordYear,
                               str::kKeywordQuarter,  str::kKeywordMonth,    str::kKeywordDay};
    if (slot >= 0 && slot < 6) return LoadErrorText(ids[slot]);
    if (slot == 6) {
        const CReportHandle* r = DocReport(doc);
        return r ? r->GetReportFile()->GetUserKeywordName() : QString();
    }
    return {};
}

KeywordFlags PlacedKeywordFlags(const CQorsDoc& doc) {
    KeywordFlags flags{};
    CReportHandle* r = DocReport(doc);
    if (!r) return flags;
    for (int slot = 0; slot < 7; ++slot) {
        CellRef cell;
        if (r->AccessKeywordCell(0, slot, &cell) == 0 && cell.row > 0 && cell.col > 0)
            flags[size_t(slot)] = 1;
    }
    return flags;
}

KeywordValueLists GatherKeywordValues(const CQorsDoc& doc, int maxPages) {
    KeywordValueLists lists;
    CReportHandle* r = DocReport(doc);
    if (!r) return lists;
    const KeywordFlags placed = PlacedKeywordFlags(doc);
    QStringList* targets[7] = {&lists.unitNames, &lists.unitCodes, &lists.years, &lists.quarters,
                               &lists.months,    &lists.days,      &lists.custom};
    static const int capacity[7] = {10, 10, 16, 4, 12, 31, 100};
    const int pages = std::min(maxPages, r->GetPageCount());
    for (int page = 1; page <= pages; ++page) {
        for (int slot = 0; slot < 7; ++slot) {
            QStringList& list = *targets[slot];
            if (!placed[size_t(slot)] || list.size() >= capacity[slot]) continue;
            KeywordValue v;
            if (r->GetPageKeyword(slot, &v, page) != 0) continue;
            QString text;
            if (v.kind == 2) {
                text = v.text.trimmed();
            } else if (v.kind == 1 && v.number != 0 && std::isfinite(v.number)) {
                // Numeric keywords are whole numbers in the dialogs' lists.
                text = QString::number(qint64(std::llround(v.number)));
            }
            if (!text.isEmpty() && !list.contains(text)) list.append(text);
        }
    }
    return lists;
}

int VarConditionLines(const CQorsDoc& doc, int* kind) {
    VarAreaInfo info;
    doc.GetVarAreaInfo(&info);
    if (kind) *kind = info.kind;
    if (info.kind != 1 && info.kind != 2) return 0;
    int32_t rows = 0, cols = 0;
    doc.GetTableSize(&rows, &cols);
    return std::min(20, int(info.kind == 1 ? cols : rows));
}

QString ConditionTerm(const QString& keyword, const QString& op, const QString& value) {
    if (keyword.isEmpty() || op.isEmpty() || value.isEmpty()) return {};
    const bool quoted = keyword == LoadErrorText(str::kKeywordUnitCode) ||
                        keyword == LoadErrorText(str::kKeywordUnitName);
    return keyword + op + (quoted ? u'"' + value + u'"' : value);
}

}  // namespace qor
