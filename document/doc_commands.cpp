#include "document/doc_commands.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "document/cmd_consolidate.h"
#include "document/cmd_dialogs.h"
#include "document/cmd_edit.h"
#include "document/cmd_format.h"
#include "document/cmd_formula.h"
#include "document/cmd_keywords.h"
#include "document/cmd_passwords.h"
#include "document/cmd_support.h"
#include "document/cmd_templates.h"
#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_textexchange.h"
#include "engine/messages.h"
#include "engine/varlines.h"
#include "resources/commandids.h"

namespace qor::doccmd {

QString ReasonNoReport() { return LoadErrorText(str::kNoReportOpen); }
QString ReasonFormatState() { return LoadErrorText(str::kOnlyInFormatState); }
QString ReasonDataState() { return LoadErrorText(str::kOnlyInDataState); }
QString ReasonNoDialog() { return LoadErrorText(str::kDialogNotProvided); }
QString ReasonNotBuilt() { return LoadErrorText(str::kFeatureNotProvided); }

namespace {

using namespace qor::cmd_ids;
using Row = CommandRow<CQorsDoc>;
using Rule = Row::Rule;

LedgerDrillHook& ledgerDrill() {
    static LedgerDrillHook hook;
    return hook;
}

// The state a command needs besides an open report.
enum class Need { Report, Format, Data };

// The rule of a command on the report, its checks in the order their
// reasons win: an open report in the state the command needs, the dialog
// it runs (members type M; void: none) registered, then the command's own
// condition `also` (a reason, or empty when it may run).
template <class M = void>
Rule needs(Need need, QString (*also)(CQorsDoc&) = nullptr) {
    return [need, also](CQorsDoc& d, int, CommandState&) {
        QString why = need == Need::Format ? NeedsFormatState(&d)
                      : need == Need::Data ? NeedsDataState(&d)
                                           : NeedsReport(&d);
        if constexpr (!std::is_void_v<M>)
            if (why.isEmpty()) why = NeedsDialog<M>();
        if (why.isEmpty() && also) why = also(d);
        return why;
    };
}

// The handler of a command that is one call on the document.
template <auto F>
void call(CQorsDoc& d, int) {
    (void)F(d);
}

QString cellFormula(CQorsDoc& d) {
    QString why;
    return CellFormulaAllowed(d, &why) ? QString() : why;
}

// Rows and columns: the table's in format state; in data state the
// variable area's lines, reached from a cell on one of them. A delete
// offers the selection's lines: a selection reaching past the area (the
// total row below it) offers none, and says so rather than blaming the
// current cell, which may well be on a line.
template <int Kind, bool Deleting = false>
QString tableOrLines(CQorsDoc& d) {
    if (!d.IsDataState()) return QString();
    VarAreaInfo var;
    d.GetVarAreaInfo(&var);
    if (var.kind == 0) return ReasonFormatState();
    const int at = Kind == 1 ? d.Selection().CurrentRow() : d.Selection().CurrentColumn();
    const int last = var.start + var.used;  // the area's last line in use, from 0
    if (var.kind != Kind || at < var.start || at > last)
        return LoadErrorText(str::kCellNotOnVarLine);
    if (Deleting) {
        const CellArea sel = d.Selection().Area();
        const int selFirst = Kind == 1 ? sel.first.row : sel.first.col;
        const int selLast = Kind == 1 ? sel.last.row : sel.last.col;
        if (selFirst < var.start || selLast > last)
            return LoadErrorText(str::kSelectionPastVarLines)
                .arg(VarLineWord(Kind))
                .arg(var.start + 1)
                .arg(last + 1);
    }
    return QString();
}

QString resetVarArea(CQorsDoc& d) {
    QString why;
    return ResetVarAreaAllowed(d, &why) ? QString() : why;
}

template <DocClipboard::FillDirection Direction>
QString canFill(CQorsDoc& d) {
    QString why;
    return d.Clipboard().CanFill(Direction, &why) ? QString() : why;
}

template <DocClipboard::FillDirection Direction>
void fill(CQorsDoc& d, int) {
    if (d.Clipboard().FillSelection(Direction) != 0) ShowMessageText(LoadErrorText(str::kFillFailed));
}

// Nothing stands behind the drill-down until the financial interfaces
// install the ledger; then only a cell whose formula is built from ledger
// calls names accounts and a period to show.
QString drillDown(CQorsDoc& d, int, CommandState&) {
    if (!(ledgerDrill().accepts && ledgerDrill().run)) return ReasonNotBuilt();
    if (const QString why = NeedsReport(&d); !why.isEmpty()) return why;
    QString formula;
    if (!d.Selection().Exists() ||
        !d.GetCellFormula(d.Selection().CurrentRow(), d.Selection().CurrentColumn(), &formula) ||
        formula.trimmed().isEmpty() || !ledgerDrill().accepts(formula.toUpper()))
        return LoadErrorText(str::kFormulaNotLedgerFunction);
    return QString();
}

const CommandTable<CQorsDoc>& commands() {
    constexpr Need report = Need::Report, format = Need::Format, data = Need::Data;
    static const CommandTable<CQorsDoc> table(
        {
            {kCmdCellFormula, needs<DefineFormulaDlgMembers>(format, cellFormula),
             call<OnCellFormula>},
            {kCmdAuditFormulas, needs<AuditFormulaDlgMembers>(format), call<OnAuditFormulas>},
            {kCmdFormulaList, needs<FormulaListRequest>(report), call<OnFormulaList>},
            {kCmdRowHeight, needs<RowHeightDlgMembers>(format), call<OnRowHeight>},
            {kCmdColWidth, needs<ColWidthDlgMembers>(format), call<OnColWidth>},
            {kCmdCombineCells, needs<CombineCellsDlgMembers>(format), call<OnCombineCells>},
            {kCmdApplyFormat, needs<ApplyFormatDlgMembers>(format), call<OnApplyFormat>},
            // The sheet view inserts the chart over its selection; nothing
            // stands behind it here.
            {kCmdInsertChart, nullptr, nullptr},
            {kCmdSortPages, needs<PageSortDlgMembers>(data), call<OnSortPages>},
            {kCmdSortVarArea, needs<PageSortDlgMembers>(data), call<OnSortVarArea>},
            {kCmdLocate, needs<LocateDlgMembers>(report), call<OnLocate>},
            {kCmdFind, needs<FindRequest>(data), call<OnFind>},
            {kCmdDrillDown, drillDown,
             [](CQorsDoc& d, int) {
                 if (ledgerDrill().run) ledgerDrill().run(d);
             }},
            {kCmdAuditMapping, needs<AuditMappingRequest>(report), call<OnAuditMapping>},
            {kCmdInsertRows, needs<InsertCountDlgMembers>(report, tableOrLines<1>),
             [](CQorsDoc& d, int) { OnInsertCount(d, kInsertRows); }},
            {kCmdInsertCols, needs<InsertCountDlgMembers>(report, tableOrLines<2>),
             [](CQorsDoc& d, int) { OnInsertCount(d, kInsertCols); }},
            {kCmdInsertPages, needs<InsertCountDlgMembers>(report),
             [](CQorsDoc& d, int) { OnInsertCount(d, kInsertPages); }},
            {kCmdAppendRows, needs<InsertCountDlgMembers>(report, tableOrLines<1>),
             [](CQorsDoc& d, int) { OnInsertCount(d, kAppendRows); }},
            {kCmdAppendCols, needs<InsertCountDlgMembers>(report, tableOrLines<2>),
             [](CQorsDoc& d, int) { OnInsertCount(d, kAppendCols); }},
            {kCmdAppendPages, needs<InsertCountDlgMembers>(report),
             [](CQorsDoc& d, int) { OnInsertCount(d, kAppendPages); }},
            {kCmdSwapRows, needs<SwapDlgMembers>(format), [](CQorsDoc& d, int) { OnSwap(d, 1); }},
            {kCmdSwapCols, needs<SwapDlgMembers>(format), [](CQorsDoc& d, int) { OnSwap(d, 2); }},
            {kCmdSwapPages, needs<SwapDlgMembers>(report), [](CQorsDoc& d, int) { OnSwap(d, 3); }},
            {kCmdDeleteRows, needs<DeleteDlgMembers>(report, tableOrLines<1, true>),
             [](CQorsDoc& d, int) { OnDelete(d, 1); }},
            {kCmdDeleteCols, needs<DeleteDlgMembers>(report, tableOrLines<2, true>),
             [](CQorsDoc& d, int) { OnDelete(d, 2); }},
            {kCmdDeletePages, needs<DeleteDlgMembers>(report),
             [](CQorsDoc& d, int) { OnDelete(d, 3); }},
            {kCmdCellStyle, needs<CellStyleDlgMembers>(format), call<OnCellStyle>},
            {kCmdDrawLines, needs<DrawLineDlgMembers>(format), call<OnDrawLines>},
            {kCmdSetVarArea, needs<SetVarAreaDlgMembers>(format), call<OnSetVarArea>},
            {kCmdResetVarArea, needs<ResetVarAreaDlgMembers>(format, resetVarArea),
             call<OnResetVarArea>},
            {kCmdSetKeyword, needs<SetKeywordDlgMembers>(format), call<OnSetKeyword>},
            {kCmdCancelKeyword, needs<CancelKeywordDlgMembers>(format), call<OnCancelKeyword>},
            {kCmdEnterKeyword, needs<EnterKeywordDlgMembers>(data), call<OnEnterKeyword>},
            {kCmdKeywordOffset, needs<KeywordOffsetDlgMembers>(format), call<OnKeywordOffset>},
            {kCmdPageSetup, needs<PageSetupDlgMembers>(report), call<OnPageSetup>},
            {kCmdRoundBalance, needs<RoundBalanceDlgMembers>(format), call<OnRoundBalance>},
            {kCmdFormatLock, needs<FormatLockDlgMembers>(format), call<OnFormatLock>},
            {kCmdSetFilePassword, needs<SetFilePasswordDlgMembers>(report),
             call<OnSetFilePassword>},
            {kCmdReportTemplate, needs<ReportTemplateDlgMembers>(format), call<OnReportTemplate>},
            {kCmdCustomTemplate, needs<ModelSheetRequest>(report), call<OnCustomTemplate>},
            {kCmdMultiPivot, needs<MultiPivotDlgMembers>(data), call<OnMultiPivot>},
            {kCmdPageConsolidation, needs<TabHuiZongWizardMembers>(data),
             call<OnPageConsolidation>},
            {kCmdVarAreaConsolidation, needs<VHuiZongWizardMembers>(data),
             call<OnVarAreaConsolidation>},
            // Sent by the main frame once the pending exchange path names a
            // spreadsheet XML workbook: reads it into this (new) report.
            {kCmdImportSpreadsheetXml, needs(format),
             [](CQorsDoc& d, int) { d.Files().OnSpreadsheetXmlImport(); }},
            {kCmdExportText, needs<ExportDlgMembers>(data), call<OnExportText>},
            {kCmdFillDown, needs(report, canFill<DocClipboard::kFillDown>),
             fill<DocClipboard::kFillDown>},
            {kCmdFillRight, needs(report, canFill<DocClipboard::kFillRight>),
             fill<DocClipboard::kFillRight>},
            {kCmdFillUp, needs(report, canFill<DocClipboard::kFillUp>),
             fill<DocClipboard::kFillUp>},
            {kCmdFillLeft, needs(report, canFill<DocClipboard::kFillLeft>),
             fill<DocClipboard::kFillLeft>},
            {kCmdMoreDecimals, needs(format), [](CQorsDoc& d, int) { StepDecimals(d, 1); }},
            {kCmdFewerDecimals, needs(format), [](CQorsDoc& d, int) { StepDecimals(d, -1); }},
        },
        ReasonNotBuilt());
    return table;
}

}  // namespace

LedgerDrillHook SetLedgerDrillHook(LedgerDrillHook hook) {
    return std::exchange(ledgerDrill(), std::move(hook));
}

QString NeedsReport(const CQorsDoc* doc) {
    return doc && doc->IsOpen() ? QString() : ReasonNoReport();
}

QString NeedsFormatState(const CQorsDoc* doc) {
    if (QString why = NeedsReport(doc); !why.isEmpty()) return why;
    return doc->IsDataState() ? ReasonFormatState() : QString();
}

QString NeedsDataState(const CQorsDoc* doc) {
    if (QString why = NeedsReport(doc); !why.isEmpty()) return why;
    return doc->IsDataState() ? QString() : ReasonDataState();
}

bool CellFormulaAllowed(const CQorsDoc& doc, QString* reason) {
    auto no = [reason](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    if (const QString why = NeedsFormatState(&doc); !why.isEmpty()) return no(why);
    if (doc.IsCombinedCell(doc.Selection().CurrentRow(), doc.Selection().CurrentColumn()))
        return no(LoadErrorText(str::kCellInCombined));
    VarAreaInfo var;
    doc.GetVarAreaInfo(&var);
    if ((var.kind == 1 && var.start == doc.Selection().CurrentRow()) ||
        (var.kind == 2 && var.start == doc.Selection().CurrentColumn()))
        return no(LoadErrorText(str::kCellOnVariableStart));
    return true;
}

}  // namespace qor::doccmd

bool CQorsDoc::OnUpdateCommand(int id, qor::CommandState& state) {
    return qor::doccmd::commands().Update(*this, id, state);
}

const qor::CommandIdSet* CQorsDoc::DeclaredCommands() const {
    return &qor::doccmd::commands().Ids();
}

bool CQorsDoc::OnCommand(int id) { return qor::RunWhenOn(qor::doccmd::commands(), *this, id); }
