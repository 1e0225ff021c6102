#include "engine/varlines.h"

#include <algorithm>
#include <functional>

#include "engine/cells_varmap.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "resources/stringids.h"

namespace qor {

namespace {

// The current page's area as the user sees it.
struct ShownLines {
    int kind = 0;
    int first = 0;  // shown row or column of line 1
    int used = 1;
    int limit = 0;  // most lines a page may hold
    int last() const { return first + used - 1; }
};

uint16_t refuse(QString* why, uint16_t status, const QString& text) {
    if (why) *why = text;
    return status;
}

uint16_t shownLines(CReportHandle& report, ShownLines* out, QString* why) {
    const uint16_t refused = code(Status::Refused);
    if (report.IsFormatState()) return refuse(why, refused, LoadErrorText(str::kVarLinesNeedDataState));
    int kind = 0, start = 0, extent = 0;
    if (report.AccessVarArea(0, &kind, &start, &extent) != 0 || kind == 0)
        return refuse(why, refused, LoadErrorText(str::kReportHasNoVariableArea));
    out->kind = kind;
    out->first = start;
    report.AccessVarCount(0, &out->used);
    out->limit = VarLineLimit(report.GetReportFile()->Format().header);
    return 0;
}

uint16_t outside(const ShownLines& l, int pos, int lastAllowed, QString* why) {
    return refuse(why, code(Status::OutsideTable),
                  LoadErrorText(str::kVarLineOutside)
                      .arg(pos)
                      .arg(VarLineWord(l.kind))
                      .arg(l.first)
                      .arg(lastAllowed));
}

uint16_t finish(CReportHandle& report, uint16_t status, QString* why) {
    if (status) return refuse(why, status, StatusText(status));
    // GTOTAL, GCOUNT and the sums over the area's rows follow the lines
    // through the engine's marks.
    (void)report;
    return 0;
}

}  // namespace

QString VarLineWord(int kind) {
    return LoadErrorText(kind == 2 ? str::kColumnWord : str::kWhatRow);
}

QString VarExtentRefusal(CReportHandle& report, int kind, int extent) {
    int used = 0;
    const int page = report.PageOverVarExtent(kind, extent, &used);
    if (!page) return QString();
    return LoadErrorText(str::kVarExtentBelowUsed).arg(page).arg(used).arg(VarLineWord(kind));
}

QString VarAreaRefusal(CReportHandle& report, int kind, int start, int extent) {
    if (QString why = VarExtentRefusal(report, kind, extent); !why.isEmpty()) return why;
    CReportFile* file = report.GetReportFile();
    if (!file || start < 1 || start > 0xFFFF) return QString();
    const CReportFile::HeldCell held = file->FirstHeldCellInLine(kind, uint16_t(start));
    if (!held.page) return QString();
    return LoadErrorText(str::kVarAreaOverValues)
        .arg(held.page)
        .arg(held.row)
        .arg(held.col)
        .arg(VarLineWord(kind));
}

QString VarLinesLossRefusal(CReportHandle& report) {
    const CReportFile* file = report.GetReportFile();
    if (!file) return QString();
    const CReportFile::VarLinesLoss loss = file->LastVarLinesLoss();
    if (!loss.page) return QString();
    return LoadErrorText(loss.areaGone ? str::kVarLinesWithArea : str::kVarLinesPastTable)
        .arg(loss.page)
        .arg(loss.lines)
        .arg(VarLineWord(loss.kind));
}

namespace {

uint16_t pastExtent(const ShownLines& l, int count, QString* why) {
    return refuse(why, code(Status::TableSizeOutOfBounds),
                  LoadErrorText(str::kVarLinesPastExtent)
                      .arg(l.limit)
                      .arg(VarLineWord(l.kind))
                      .arg(l.used)
                      .arg(std::max(count, 1)));
}

}  // namespace

uint16_t InsertVarLinesAt(CReportHandle& report, int pos, int count, QString* why) {
    ShownLines l;
    if (uint16_t s = shownLines(report, &l, why)) return s;
    if (pos == 0) pos = l.last() + 1;
    if (pos < l.first || pos > l.last() + 1) return outside(l, pos, l.last() + 1, why);
    // The range offered is what still fits on this page; a full page
    // answers any count with the extent (not even one more fits).
    const int room = l.limit - l.used;
    if (count < 1 && room > 0)
        return refuse(why, code(Status::Refused),
                      LoadErrorText(str::kIntegerOutOfRange).arg(1).arg(room));
    if (count < 1 || int64_t(l.used) + count > l.limit) return pastExtent(l, count, why);
    return finish(report, report.InsertVarLines(pos - l.first + 1, count), why);
}

int VarLinesRoom(CReportHandle& report, QString* why) {
    ShownLines l;
    if (shownLines(report, &l, why)) return 0;
    if (l.used >= l.limit) {
        pastExtent(l, 1, why);
        return 0;
    }
    return l.limit - l.used;
}

namespace {

// From the highest down, so the numbers still to go keep their meaning.
void highestFirst(QList<int>* positions) {
    std::sort(positions->begin(), positions->end(), std::greater<int>());
    positions->erase(std::unique(positions->begin(), positions->end()), positions->end());
}

uint16_t checkDelete(const ShownLines& l, const QList<int>& positions, QString* why) {
    if (positions.isEmpty()) return code(Status::Refused);
    for (int pos : positions)
        if (pos < l.first || pos > l.last()) return outside(l, pos, l.last(), why);
    if (positions.size() >= l.used)
        return refuse(why, code(Status::Refused),
                      LoadErrorText(str::kVarLastLineKept).arg(VarLineWord(l.kind)).arg(l.used));
    return 0;
}

}  // namespace

uint16_t CheckVarLinesDelete(int kind, int first, int used, QList<int> positions, QString* why) {
    ShownLines l;
    l.kind = kind;
    l.first = first;
    l.used = std::max(1, used);
    highestFirst(&positions);
    return checkDelete(l, positions, why);
}

uint16_t DeleteVarLinesAt(CReportHandle& report, QList<int> positions, QString* why) {
    ShownLines l;
    if (uint16_t s = shownLines(report, &l, why)) return s;
    highestFirst(&positions);
    if (uint16_t s = checkDelete(l, positions, why)) return s;
    uint16_t status = 0;
    for (int pos : positions)
        if ((status = report.DeleteVarLines(pos - l.first + 1, 1))) break;
    return finish(report, status, why);
}

}  // namespace qor
