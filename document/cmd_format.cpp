#include "document/cmd_format.h"

#include <algorithm>

#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/varlines.h"

namespace qor {

namespace {

constexpr int kRefused = code(Status::Refused);

// The member of each cell-style code, in the order they are written.
struct StyleCode {
    int code;
    int32_t CellStyleDlgMembers::*member;
};
constexpr StyleCode kStyleCodes[] = {
    {kFmtHAlign, &CellStyleDlgMembers::hAlign},
    {kFmtVAlign, &CellStyleDlgMembers::vAlign},
    {kFmtFont, &CellStyleDlgMembers::font},
    {kFmtFontStyle, &CellStyleDlgMembers::fontStyle},
    {kFmtFontSize, &CellStyleDlgMembers::fontSize},
    {kFmtForeground, &CellStyleDlgMembers::foreColor},
    {kFmtBackground, &CellStyleDlgMembers::backColor},
    {kFmtPattern, &CellStyleDlgMembers::pattern},
    {kFmtWrap, &CellStyleDlgMembers::wordWrap},
};

int failed(const QString& what, int status) {
    ShowMessageText(what + LoadErrorText(str::kFailedSuffix));
    return status;
}

}  // namespace

// ---- cell style

CellStyleDlgMembers PresetCellStyleDlg(const CQorsDoc& doc) {
    CellStyleDlgMembers m;
    CReportHandle* r = DocReport(doc);
    if (!r) return m;
    const CellArea area = DocSelectionArea(doc);
    bool seen[std::size(kStyleCodes)] = {};
    size_t open = std::size(kStyleCodes);  // codes not yet found mixed
    for (int row = area.first.row; row <= area.last.row && open; ++row) {
        for (int col = area.first.col; col <= area.last.col && open; ++col) {
            const CellArea cell = CellArea::cell(row, col);
            for (size_t i = 0; i < std::size(kStyleCodes); ++i) {
                int32_t& member = m.*kStyleCodes[i].member;
                if (seen[i] && member == -1) continue;
                int32_t v = 0;
                if (r->AccessAreaFormat(0, kStyleCodes[i].code, &v, &cell) != 0) continue;
                if (!seen[i]) {
                    member = v;
                    seen[i] = true;
                } else if (member != v) {
                    member = -1;
                    --open;
                }
            }
        }
    }
    return m;
}

int ApplyCellStyleDlg(CQorsDoc& doc, const CellStyleDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    const CellArea area = DocSelectionArea(doc);
    bool changed = false;
    int status = 0;
    for (const StyleCode& c : kStyleCodes) {
        int32_t v = m.*c.member;
        if (v == -1) continue;
        status = r->AccessAreaFormat(1, c.code, &v, &area);
        if (status) break;
        changed = true;
    }
    if (changed) FinishChange(doc, CQorsDoc::kHintCells);
    return status ? failed(LoadErrorText(str::kSetCellStyleAction), status) : 0;
}

int OnCellStyle(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetCellStyleDlg(doc));
    return m ? ApplyCellStyleDlg(doc, *m) : -1;
}

// ---- row height and column width

namespace {

// Points for the dialog's millimetres; the points member when it is what
// the millimetres show.
int pointsFor(int mm, int points) { return MmFromPoints(points) == mm ? points : PointsFromMm(mm); }

int applyLineSize(CQorsDoc& doc, int kind, int first, int last, int size, const QString& what) {
    CReportHandle* r = DocReport(doc);
    int status = 0;
    bool changed = false;
    for (int i = std::min(first, last); i <= std::max(first, last); ++i) {
        uint16_t s = uint16_t(size);
        status = r->AccessRowColSize(1, kind, i + 1, &s);
        if (status) break;
        changed = true;
    }
    if (changed) FinishChange(doc, CQorsDoc::kHintLayout);
    return status ? failed(what, status) : 0;
}

}  // namespace

RowHeightDlgMembers PresetRowHeightDlg(const CQorsDoc& doc) {
    RowHeightDlgMembers m;
    m.area = DocSelectionDlgArea(doc);
    if (CReportHandle* r = DocReport(doc)) {
        uint16_t size = 0;
        if (r->AccessRowColSize(0, 0, m.area.firstRow + 1, &size) == 0) m.heightPoints = size;
    }
    m.heightMm = MmFromPoints(m.heightPoints);
    return m;
}

int ApplyRowHeightDlg(CQorsDoc& doc, const RowHeightDlgMembers& m) {
    if (!DocReport(doc)) return kRefused;
    if (m.heightMm < 0 || m.heightMm > 160) return failed(LoadErrorText(str::kSetRowHeightAction), kRefused);
    const int points = pointsFor(m.heightMm, m.heightPoints);
    const int rows = std::abs(m.area.lastRow - m.area.firstRow) + 1;
    if (points == 0 && rows >= 100) {
        ShowMessageId(str::kTooManyZeroRowHeights);
        return kRefused;
    }
    return applyLineSize(doc, 0, m.area.firstRow, m.area.lastRow, points, LoadErrorText(str::kSetRowHeightAction));
}

int OnRowHeight(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetRowHeightDlg(doc));
    return m ? ApplyRowHeightDlg(doc, *m) : -1;
}

ColWidthDlgMembers PresetColWidthDlg(const CQorsDoc& doc) {
    ColWidthDlgMembers m;
    m.area = DocSelectionDlgArea(doc);
    if (CReportHandle* r = DocReport(doc)) {
        uint16_t size = 0;
        if (r->AccessRowColSize(0, 1, m.area.firstCol + 1, &size) == 0) m.widthPoints = size;
    }
    m.widthMm = MmFromPoints(m.widthPoints);
    return m;
}

int ApplyColWidthDlg(CQorsDoc& doc, const ColWidthDlgMembers& m) {
    if (!DocReport(doc)) return kRefused;
    if (m.widthMm < 0 || m.widthMm > 220) return failed(LoadErrorText(str::kSetColWidthAction), kRefused);
    return applyLineSize(doc, 1, m.area.firstCol, m.area.lastCol,
                         pointsFor(m.widthMm, m.widthPoints), LoadErrorText(str::kSetColWidthAction));
}

int OnColWidth(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetColWidthDlg(doc));
    return m ? ApplyColWidthDlg(doc, *m) : -1;
}

// ---- combined cells

namespace {

QString combineFailureText(int status) {
    switch (status) {
        case code(Status::CombineSingleCell):
            return LoadErrorText(str::kCombineSingleCell);
        case code(Status::CombineOverlap):
            return LoadErrorText(str::kCombineOverlaps);
        case code(Status::CombineVarAreaStart):
            return LoadErrorText(str::kCombineHoldsVariableStart);
        case code(Status::CombineFormula):
            return LoadErrorText(str::kCombineHoldsFormula);
        default:
            return LoadErrorText(str::kCombineFailed);
    }
}

}  // namespace

CombineCellsDlgMembers PresetCombineCellsDlg(const CQorsDoc& doc) {
    CombineCellsDlgMembers m;
    m.area = DocSelectionDlgArea(doc);
    return m;
}

int ApplyCombineCellsDlg(CQorsDoc& doc, const CombineCellsDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    const CellArea area = ReportArea(m.area);
    int status = 0;
    bool changed = false;
    switch (m.result) {
        case kCombineWhole:
            status = r->CombineCells(&area);
            changed = status == 0;
            break;
        case kCombineByRows:
        case kCombineByCols: {
            const bool rows = m.result == kCombineByRows;
            const int first = rows ? area.first.row : area.first.col;
            const int last = rows ? area.last.row : area.last.col;
            for (int i = first; i <= last && !status; ++i) {
                const CellArea piece = rows ? CellArea::area(i, area.first.col, i, area.last.col)
                                            : CellArea::area(area.first.row, i, area.last.row, i);
                status = r->CombineCells(&piece);
                changed |= status == 0;
            }
            break;
        }
        case kCombineUndo:
            status = r->UncombineCells(&area);
            changed = status == 0;
            break;
        default:
            return -1;
    }
    if (changed) FinishChange(doc, CQorsDoc::kHintLayout);
    if (status) ShowMessageText(combineFailureText(status));
    return status;
}

int OnCombineCells(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetCombineCellsDlg(doc));
    return m ? ApplyCombineCellsDlg(doc, *m) : -1;
}

// ---- variable area

SetVarAreaDlgMembers PresetSetVarAreaDlg(const CQorsDoc&) { return SetVarAreaDlgMembers{}; }

int ApplySetVarAreaDlg(CQorsDoc& doc, const SetVarAreaDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    if (m.kind != 1 && m.kind != 2) return failed(LoadErrorText(str::kSetVariableAreaAction), kRefused);
    const CellArea sel = DocSelectionArea(doc);
    int kind = m.kind;
    int start = m.kind == 1 ? sel.first.row : sel.first.col;
    int extent = m.count;
    const int status = r->AccessVarArea(1, &kind, &start, &extent);
    if (status) {
        // Pages whose lines the new extent would not hold, or whose values
        // the area would hide: the page says why.
        if (const QString why = VarAreaRefusal(*r, m.kind, start, m.count); !why.isEmpty()) {
            ShowMessageText(why);
            return status;
        }
        return failed(LoadErrorText(str::kSetVariableAreaAction), status);
    }
    FinishChange(doc, CQorsDoc::kHintLayout);
    return 0;
}

int OnSetVarArea(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetSetVarAreaDlg(doc));
    return m ? ApplySetVarAreaDlg(doc, *m) : -1;
}

// ---- table styles and lines

ApplyFormatDlgMembers PresetApplyFormatDlg(const CQorsDoc&) { return ApplyFormatDlgMembers{}; }

int ApplyApplyFormatDlg(CQorsDoc& doc, const ApplyFormatDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    const CellArea sel = DocSelectionArea(doc);
    const int status =
        r->ApplyTableStyle(m.chosenFormat, doc.Selection().Exists() ? &sel : nullptr);
    if (status) return failed(LoadErrorText(str::kApplyFormatAction), status);
    FinishChange(doc, CQorsDoc::kHintLayout);
    return 0;
}

int OnApplyFormat(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetApplyFormatDlg(doc));
    return m ? ApplyApplyFormatDlg(doc, *m) : -1;
}

DrawLineDlgMembers PresetDrawLineDlg(const CQorsDoc&) { return DrawLineDlgMembers{}; }

int ApplyDrawLineDlg(CQorsDoc& doc, const DrawLineDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    const CellArea sel = DocSelectionArea(doc);
    const int status = r->DrawAreaLines(&sel, m.lineType, m.lineStyle);
    if (status) {
        ShowMessageId(str::kDrawAreaLinesFailed);
        return status;
    }
    FinishChange(doc, CQorsDoc::kHintCells);
    return 0;
}

int OnDrawLines(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetDrawLineDlg(doc));
    return m ? ApplyDrawLineDlg(doc, *m) : -1;
}

// ---- page setup

PageSetupDlgMembers PresetPageSetupDlg(const CQorsDoc& doc) {
    PageSetupDlgMembers m;
    CReportHandle* r = DocReport(doc);
    if (!r) return m;
    PageSetupBlock b;
    r->GetPageSetup(&b);
    m.leftMm = MmFromPoints(b.margins[0]);
    m.topMm = MmFromPoints(b.margins[1]);
    m.rightMm = MmFromPoints(b.margins[2]);
    m.bottomMm = MmFromPoints(b.margins[3]);
    m.scale = b.scale;
    m.rangeKind = b.titleSwitch;
    m.headerEnabled = b.headFlag;
    m.headerFirst = b.headFirst;
    m.headerLast = b.headLast;
    m.footerEnabled = b.tailFlag;
    m.footerFirst = b.tailFirst;
    m.footerLast = b.tailLast;
    int32_t rows = 0, cols = 0;
    doc.GetPageTableSize(&rows, &cols);
    m.tableLastRow = rows - 1;
    m.tableLastCol = cols - 1;
    return m;
}

int ApplyPageSetupDlg(CQorsDoc& doc, const PageSetupDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    PageSetupBlock b;
    r->GetPageSetup(&b);
    const int mm[4] = {m.leftMm, m.topMm, m.rightMm, m.bottomMm};
    for (int i = 0; i < 4; ++i) {
        if (mm[i] < 0 || mm[i] > 100) return failed(LoadErrorText(str::kPageSetupAction), kRefused);
        b.margins[size_t(i)] = pointsFor(mm[i], b.margins[size_t(i)]);
    }
    b.scale = m.scale;
    b.titleSwitch = m.rangeKind == 1 ? 1 : 0;
    b.headFlag = m.headerEnabled ? 1 : 0;
    b.headFirst = m.headerFirst;
    b.headLast = m.headerLast;
    b.tailFlag = m.footerEnabled ? 1 : 0;
    b.tailFirst = m.footerFirst;
    b.tailLast = m.footerLast;
    const int status = r->SetPageSetup(b);
    if (status) return failed(LoadErrorText(str::kPageSetupAction), status);
    doc.SetPageSetup(b);
    FinishChange(doc, CQorsDoc::kHintLayout);
    return 0;
}

int OnPageSetup(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetPageSetupDlg(doc));
    return m ? ApplyPageSetupDlg(doc, *m) : -1;
}

}  // namespace qor

namespace qor {

// ---- decimal places

int StepDecimals(CQorsDoc& doc, int step) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    const CellArea area = DocSelectionArea(doc);
    bool changed = false;
    int status = 0;
    for (int row = area.first.row; row <= area.last.row && !status; ++row) {
        // One write per run of cells that end with the same count.
        int runStart = 0, runValue = -1;
        auto flush = [&](int endCol) {
            if (runValue < 0) return;
            int32_t v = runValue;
            const CellArea run = CellArea::area(row, runStart, row, endCol);
            const int s = r->AccessAreaFormat(1, kFmtDecimals, &v, &run);
            if (s == 0)
                changed = true;
            else if (!status)
                status = s;
            runValue = -1;
        };
        for (int col = area.first.col; col <= area.last.col; ++col) {
            int next = -1;
            if (doc.GetCellKind(row - 1, col - 1) == kCellNumber) {
                int32_t current = 0;
                const CellArea cell = CellArea::cell(row, col);
                if (r->AccessAreaFormat(0, kFmtDecimals, &current, &cell) == 0)
                    next = std::clamp<int>(current + step, 0, 7);
            }
            if (next != runValue) {
                flush(col - 1);
                runStart = col;
                runValue = next;
            }
        }
        flush(area.last.col);
    }
    if (changed) FinishChange(doc, CQorsDoc::kHintCells);
    if (status) ShowMessageText(LoadErrorText(str::kSetDecimalsFailed));
    return status;
}

}  // namespace qor
