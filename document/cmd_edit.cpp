#include "document/cmd_edit.h"

#include <algorithm>

#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "document/doc_commandhook.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/csheetpage.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "engine/varlines.h"

namespace qor {

namespace {

constexpr int kRefused = code(Status::Refused);

int failed(const QString& what, int status) {
    ShowMessageText(what + LoadErrorText(str::kFailedSuffix));
    return status;
}

}  // namespace

void UpdateCustomKeywordName(const CQorsDoc& doc) {
    CustomKeywordName = PlacedKeywordFlags(doc)[6] ? KeywordSlotName(doc, 6) : QString();
}

// ---- locate and find

LocateDlgMembers PresetLocateDlg(const CQorsDoc& doc) {
    LocateDlgMembers m;
    m.page = std::max(1, int(doc.ViewState().curPage));
    m.row = doc.Selection().CurrentRow() + 1;
    m.column = doc.Selection().CurrentColumn() + 1;
    m.columnText = ColumnToLetters(doc.Selection().CurrentColumn());
    return m;
}

int ApplyLocateDlg(CQorsDoc& doc, const LocateDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    if (doc.IsDataState() && (m.page < 1 || m.page > r->GetPageCount())) {
        ShowMessageText(LoadErrorText(str::kPageNumberOutOfRangeText).arg(r->GetPageCount()));
        return kRefused;
    }
    // The cell is checked against the page it is on (its variable lines),
    // and the old page comes back when it lies outside.
    const int oldPage = doc.ViewState().curPage;
    if (doc.IsDataState() && m.page != oldPage && !doc.SetCurrentPage(m.page))
        return failed(LoadErrorText(str::kLocateAction), kRefused);
    int32_t rows = 0, cols = 0;
    doc.GetPageTableSize(&rows, &cols);
    if (m.row < 1 || m.row > rows || m.column < 1 || m.column > cols) {
        if (doc.ViewState().curPage != oldPage && oldPage > 0) doc.SetCurrentPage(oldPage);
        ShowMessageText(LoadErrorText(str::kCellOutOfTable).arg(rows).arg(cols));
        return kRefused;
    }
    doc.Selection().SetCurrentCell(m.row - 1, m.column - 1);
    doc.UpdateAllViews(CQorsDoc::kHintState);
    doc.UpdateAllViews(CQorsDoc::kHintGoToCurrent);
    return 0;
}

int OnLocate(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    UpdateCustomKeywordName(doc);
    const auto m = Ask(PresetLocateDlg(doc));
    return m ? ApplyLocateDlg(doc, *m) : -1;
}

FindDlgMembers PresetFindDlg(const CQorsDoc& doc) {
    FindDlgMembers m;
    m.varSize = VarConditionLines(doc, &m.varKind);
    const KeywordFlags placed = PlacedKeywordFlags(doc);
    std::copy_n(placed.begin(), 6, m.keywordFlags.begin());
    m.values = GatherKeywordValues(doc);
    return m;
}

void OnFind(CQorsDoc& doc) {
    if (!DocReport(doc)) return;
    UpdateCustomKeywordName(doc);
    Ask(FindRequest{&doc, PresetFindDlg(doc)});
}

QString BuildFindCommand(int scope, const ConditionParts& first, int join,
                         const ConditionParts& second) {
    QString cond = ConditionTerm(first.keyword, first.op, first.value);
    if (cond.isEmpty()) return {};
    if (join == 0 || join == 1) {
        const QString more = ConditionTerm(second.keyword, second.op, second.value);
        if (more.isEmpty()) return {};
        cond += (join == 0 ? QStringLiteral(" AND ") : QStringLiteral(" OR ")) + more;
    }
    return (scope == 1 ? QStringLiteral("GFIND FOR ;") : QStringLiteral("FIND FOR ")) + cond;
}

int RunFindCommand(CQorsDoc& doc, const QString& line) {
    return RunCommandLine(&doc, line, kCommandRunMode);
}

// ---- sorting

PageSortDlgMembers PresetPageSortDlg(const CQorsDoc& doc, int pageMode) {
    PageSortDlgMembers m;
    m.pageMode = pageMode ? 1 : 0;
    int kind = 0;
    VarConditionLines(doc, &kind);
    m.rowArea = kind == 2 ? 0 : 1;
    return m;
}

int ApplyPageSortDlg(CQorsDoc& doc, const PageSortDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    int status = 0;
    if (m.pageMode) {
        // The dialog lists unit code before unit name; the report's slots
        // have them the other way round.
        static const int slotOfIndex[7] = {1, 0, 2, 3, 4, 5, 6};
        QList<CReportHandle::PageSortKey> keys;
        for (size_t i = 0; i < 3 && m.orders[i] != -1; ++i) {
            CReportHandle::PageSortKey k;
            if (m.keys[i] < 0) {
                k.kind = CReportHandle::PageSortKey::Cell;
                k.row = m.cells[i].row;
                k.col = m.cells[i].col;
            } else if (m.keys[i] < 7) {
                k.kind = CReportHandle::PageSortKey::Keyword;
                k.slot = slotOfIndex[m.keys[i]];
            } else {
                return failed(LoadErrorText(str::kSortPagesAction), kRefused);
            }
            k.descending = m.orders[i] == 1;
            keys.append(k);
        }
        if (keys.isEmpty()) return kRefused;
        status = r->SortPages(keys);
        if (status) return failed(LoadErrorText(str::kSortPagesAction), status);
        doc.SyncPagesFromReport();
    } else {
        QList<CReportHandle::VarSortKey> keys;
        for (size_t i = 0; i < 3 && m.orders[i] != -1; ++i)
            keys.append(CReportHandle::VarSortKey{m.keys[i], m.orders[i] == 1});
        if (keys.isEmpty()) return kRefused;
        status = r->SortVarLines(keys);
        if (status) return failed(LoadErrorText(str::kSortVariableAreaAction), status);
    }
    FinishChange(doc, CQorsDoc::kHintAll);
    return 0;
}

int OnSortPages(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    UpdateCustomKeywordName(doc);
    const auto m = Ask(PresetPageSortDlg(doc, 1));
    return m ? ApplyPageSortDlg(doc, *m) : -1;
}

int OnSortVarArea(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    UpdateCustomKeywordName(doc);
    const auto m = Ask(PresetPageSortDlg(doc, 0));
    return m ? ApplyPageSortDlg(doc, *m) : -1;
}

// ---- insert and append

namespace {

// The word a row (1), column (2) or page (3) is counted in.
QString lineWord(int mode) {
    return mode == 1   ? LoadErrorText(str::kWhatRow)
           : mode == 2 ? LoadErrorText(str::kColumnWord)
                       : LoadErrorText(str::kPageWord);
}

// Caption of each insert-count mode (62090 "追加行" ... 62100 "插入表页").
int insertCaptionId(int mode) {
    switch (mode) {
        case kAppendRows:
            return str::kAppendRows;
        case kAppendCols:
            return str::kAppendColumns;
        case kAppendPages:
            return str::kAppendPages;
        case kInsertRows:
            return str::kInsertRows;
        case kInsertCols:
            return str::kInsertColumns;
        case kInsertPages:
            return str::kInsertPages;
        default:
            return 0;
    }
}

}  // namespace

int PageInsertFailureMessage(int status) {
    switch (status) {
        case code(Status::PageWriteError):
            return str::kInsertPageWriteError;
        case code(Status::OutOfMemory):
            return str::kInsertPageNoMemory;
        case code(Status::DiskFull):
            return str::kInsertPageNoDiskSpace;
        default:
            return str::kInsertPageFailed;
    }
}

int InsertCountRoom(const CQorsDoc& doc, int mode, QString* why) {
    CReportHandle* r = DocReport(doc);
    if (!r || !insertCaptionId(mode)) return 0;
    const int kind = mode % 10 - 1;  // 0 rows, 1 columns, 2 pages
    if (kind != 2 && doc.IsDataState()) return VarLinesRoom(*r, why);
    const int have = kind == 0   ? r->GetRowCount()
                     : kind == 1 ? r->GetColCount()
                                 : r->GetPageCount();
    const int most = kind == 0 ? kMaxRows : kind == 1 ? kMaxCols : int(kMaxPages);
    if (have < most) return most - have;
    if (why) *why = LoadErrorText(str::kTableFull).arg(most).arg(lineWord(kind + 1)).arg(have);
    return 0;
}

InsertCountDlgMembers PresetInsertCountDlg(const CQorsDoc& doc, int mode) {
    InsertCountDlgMembers m;
    m.mode = mode;
    m.room = InsertCountRoom(doc, mode);
    return m;
}

namespace {

// After lines came or went the current cell stays where it was, or on the
// area's last line when its own line went.
int finishLines(CQorsDoc& doc, uint16_t status, const QString& why) {
    if (status) {
        if (!why.isEmpty()) ShowMessageText(why);
        return status;
    }
    int32_t rows = 1, cols = 1;
    doc.GetPageTableSize(&rows, &cols);
    const int row = std::min(doc.Selection().CurrentRow(), int(rows) - 1);
    const int col = std::min(doc.Selection().CurrentColumn(), int(cols) - 1);
    doc.Selection().SetSelection(row, col, row, col);
    FinishChange(doc, CQorsDoc::kHintLayout);
    return 0;
}

}  // namespace

int ApplyInsertCountDlg(CQorsDoc& doc, const InsertCountDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r || !insertCaptionId(m.mode)) return kRefused;
    const int kind = m.mode % 10 - 1;  // 0 rows, 1 columns, 2 pages
    const bool append = m.mode < 10;
    if (kind != 2 && doc.IsDataState()) {
        const CellArea sel = DocSelectionArea(doc);
        QString why;
        const uint16_t s = InsertVarLinesAt(
            *r, append ? 0 : kind == 0 ? sel.first.row : sel.first.col, m.count, &why);
        return finishLines(doc, s, why);
    }
    // What the dialog offers is what fits now; a count past it (asked
    // some other way) is refused in the dialog's words before anything
    // changes.
    QString full;
    const int room = InsertCountRoom(doc, m.mode, &full);
    if (!room || m.count < 1 || m.count > room) {
        ShowMessageText(room ? LoadErrorText(str::kIntegerOutOfRange).arg(1).arg(room) : full);
        return kRefused;
    }
    int status = 0;
    if (append) {
        status = r->AppendRowColPage(m.count, kind);
    } else {
        const CellArea sel = DocSelectionArea(doc);
        int pos = kind == 0   ? sel.first.row
                  : kind == 1 ? sel.first.col
                              : std::max(1, int(doc.ViewState().curPage));
        // The report takes a 16-bit count at a time; larger page counts go
        // in pieces instead of being cut.
        int remaining = m.count;
        while (remaining > 0 && !status) {
            const uint16_t asked = uint16_t(std::min(remaining, 0xFFFF));
            uint16_t n = asked;
            status = r->InsertRowColPage(pos, &n, kind);
            if (status) break;
            remaining -= n;
            pos += n;
            if (n < asked) break;  // the page limit was reached
        }
    }
    if (kind == 2) doc.SyncPagesFromReport();
    if (status) {
        if (kind == 2)
            ShowMessageId(PageInsertFailureMessage(status));
        else if (const QString why = VarLinesLossRefusal(*r); !why.isEmpty())
            ShowMessageText(why);
        else
            ShowMessageText(LoadErrorText(insertCaptionId(m.mode)) + LoadErrorText(str::kFailedSuffix));
        return status;
    }
    FinishChange(doc, kind == 2 ? CQorsDoc::kHintState : CQorsDoc::kHintLayout);
    return 0;
}

int OnInsertCount(CQorsDoc& doc, int mode) {
    if (!DocReport(doc)) return -1;
    if (QString full; !InsertCountRoom(doc, mode, &full)) {
        ShowMessageText(full);
        return kRefused;
    }
    const auto m = Ask(PresetInsertCountDlg(doc, mode));
    return m ? ApplyInsertCountDlg(doc, *m) : -1;
}

// ---- swap and delete

SwapDlgMembers PresetSwapDlg(const CQorsDoc&, int mode) {
    SwapDlgMembers m;
    m.mode = mode;
    return m;
}

int ApplySwapDlg(CQorsDoc& doc, const SwapDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r || m.mode < 1 || m.mode > 3) return kRefused;
    QList<int> source, target;
    // The list parser tells the user what is wrong with a list.
    const int listKind = m.mode == 2 ? 1 : 0;
    if (!ParseRowColList(listKind, m.source, &source) ||
        !ParseRowColList(listKind, m.target, &target))
        return kRefused;
    if (source.size() != target.size()) {
        ShowMessageId(str::kSourceTargetMismatch);
        return kRefused;
    }
    const int status = r->SwapRowColPage(source, target, m.mode - 1);
    if (m.mode == 3) doc.SyncPagesFromReport();
    if (status) return failed(LoadErrorText(str::kSwapAction) + lineWord(m.mode), status);
    FinishChange(doc, CQorsDoc::kHintAll);
    return 0;
}

int OnSwap(CQorsDoc& doc, int mode) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetSwapDlg(doc, mode));
    return m ? ApplySwapDlg(doc, *m) : -1;
}

namespace {

// What a delete list may name now: the pages, the table's rows or columns,
// or in data state the area's lines in use.
void presetListBounds(const CQorsDoc& doc, DeleteDlgMembers* m) {
    const CReportHandle* r = DocReport(doc);
    m->total = 0;
    m->first = 1;
    m->linesKind = 0;
    if (!r || m->mode < 1 || m->mode > 3) return;
    if (m->mode == 3) {
        m->total = r->GetPageCount();
    } else if (!doc.IsDataState()) {
        m->total = m->mode == 1 ? r->GetRowCount() : r->GetColCount();
    } else {
        VarAreaInfo var;
        doc.GetVarAreaInfo(&var);
        if (!var.kind) return;  // the lines' own refusal says why
        m->linesKind = var.kind;
        m->first = var.start + 1;
        m->total = var.used + 1;
    }
}

}  // namespace

DeleteDlgMembers PresetDeleteDlg(const CQorsDoc& doc, int mode) {
    DeleteDlgMembers m;
    m.mode = mode;
    // The rows or columns the selection holds are the ones meant; a
    // selection of very many is rather a slip than a wish to delete them.
    if (mode == 1 || mode == 2) {
        constexpr int kOfferedLines = 100;
        const CellArea a = DocSelectionArea(doc);
        const int first = mode == 1 ? a.first.row : a.first.col;
        const int last = mode == 1 ? a.last.row : a.last.col;
        QStringList lines;
        for (int i = first; i >= 1 && i <= last && last - first < kOfferedLines; ++i)
            lines << QString::number(i);
        m.list = lines.join(u',');
    }
    presetListBounds(doc, &m);
    const KeywordFlags placed = PlacedKeywordFlags(doc);
    std::copy_n(placed.begin(), 6, m.keywordFlags.begin());
    m.values = GatherKeywordValues(doc);
    return m;
}

bool DeleteListFits(const DeleteDlgMembers& m, QList<int>* items) {
    if (m.total < 1) return ParseRowColList(0, m.list, items) != 0;
    QList<int> typed;
    if (!ParseNumberList(m.list, &typed)) return false;
    if (m.linesKind) {
        QString why;
        if (CheckVarLinesDelete(m.linesKind, m.first, m.total, typed, &why)) {
            ShowMessageText(why);
            return false;
        }
    } else {
        // Every number outside the table (0 and one past the largest row
        // alike) is told in the same words.
        for (int item : typed) {
            if (item < 1 || item > m.total) {
                ShowMessageText(LoadErrorText(str::kDeleteListOutside)
                                    .arg(item)
                                    .arg(lineWord(m.mode))
                                    .arg(m.total));
                return false;
            }
        }
        QList<int> distinct = typed;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        if (m.mode != 3 && distinct.size() >= m.total) {
            ShowMessageText(
                LoadErrorText(str::kDeleteKeepsOneLine).arg(lineWord(m.mode)).arg(m.total));
            return false;
        }
    }
    *items = typed;
    return true;
}

int ApplyDeleteDlg(CQorsDoc& doc, const DeleteDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r || m.mode < 1 || m.mode > 3) return kRefused;
    if (m.list.trimmed().isEmpty() && (m.mode != 3 || m.condition.trimmed().isEmpty())) {
        ShowMessageText(LoadErrorText(str::kDeleteNothingListed).arg(lineWord(m.mode)));
        return kRefused;
    }
    // The whole list is checked against the report as it is now before
    // anything goes: a delete stopped half-way would leave a table nobody
    // asked for.
    DeleteDlgMembers now = m;
    presetListBounds(doc, &now);
    if (m.mode != 3 && doc.IsDataState()) {
        QList<int> items;
        if (!DeleteListFits(now, &items)) return kRefused;
        QString why;
        const uint16_t s = DeleteVarLinesAt(*r, items, &why);
        return finishLines(doc, s, why);
    }
    int status = 0;
    bool changed = false;
    if (!m.list.trimmed().isEmpty()) {
        QList<int> items;
        if (!DeleteListFits(now, &items)) return kRefused;
        std::sort(items.begin(), items.end(), std::greater<int>());
        items.erase(std::unique(items.begin(), items.end()), items.end());
        if (m.mode == 3) {
            // From the highest down, so the numbers still to go keep their
            // meaning.
            for (int item : items) {
                status = r->DeleteRowColPage(item, 1, 2);
                if (status) break;
                changed = true;
            }
        } else {
            // One step for the whole list, so it is done whole or not at all.
            CReportFile* file = r->GetReportFile();
            RemapMatrix step = RemapMatrix::identity(file->GetRowCount(), file->GetColCount());
            for (int item : items) {
                if (m.mode == 1)
                    step.deleteRows(uint16_t(item), 1);
                else
                    step.deleteCols(uint16_t(item), 1);
            }
            status = file->RemapTable(step);
            changed = !status;
        }
    }
    if (!status && m.mode == 3 && !m.condition.trimmed().isEmpty()) {
        // The command language reports its own failures.
        if (RunCommandLine(&doc, QStringLiteral("DELETE FOR ") + m.condition, kCommandRunMode) == 0)
            changed = true;
    }
    if (m.mode == 3) doc.SyncPagesFromReport();
    if (changed) FinishChange(doc, CQorsDoc::kHintAll);
    if (status) {
        if (const QString why = VarLinesLossRefusal(*r); !why.isEmpty() && m.mode != 3) {
            ShowMessageText(why);
            return status;
        }
        return failed(LoadErrorText(str::kDelete) + lineWord(m.mode), status);
    }
    return 0;
}

int OnDelete(CQorsDoc& doc, int mode) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetDeleteDlg(doc, mode));
    return m ? ApplyDeleteDlg(doc, *m) : -1;
}

}  // namespace qor
