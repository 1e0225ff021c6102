#include "document/doc_commands.h"

#include <algorithm>
#include <array>
#include <utility>

#include "document/cmd_consolidate.h"
#include "document/cmd_dialogs.h"
#include "document/cmd_edit.h"
#include "document/cmd_format.h"
#include "document/cmd_formula.h"
#include "document/cmd_keywords.h"
#include "document/cmd_passwords.h"
#include "document/cmd_templates.h"
#include "document/cmdtarget.h"
#include "document/cqorsdoc.h"
#include "document/cmd_support.h"
#include "document/doc_textexchange.h"
#include "engine/messages.h"

namespace qor::doccmd {

QString ReasonNoReport() { return QStringLiteral("没有打开的报表"); }
QString ReasonFormatState() { return QStringLiteral("只能在格式状态下使用"); }
QString ReasonDataState() { return QStringLiteral("只能在数据状态下使用"); }
QString ReasonNoDialog() { return QStringLiteral("本功能的对话框尚未提供"); }
QString ReasonNotBuilt() { return QStringLiteral("本功能尚未提供"); }

namespace {

LedgerDrillHook& ledgerDrill() {
    static LedgerDrillHook hook;
    return hook;
}

void runLedgerDrill(CQorsDoc& doc) {
    if (ledgerDrill().run) ledgerDrill().run(doc);
}

// The fill direction of a fill command; -1 for any other command.
int fillDirection(int id) {
    switch (id) {
        case kCmdFillDown: return DocClipboard::kFillDown;
        case kCmdFillRight: return DocClipboard::kFillRight;
        case kCmdFillUp: return DocClipboard::kFillUp;
        case kCmdFillLeft: return DocClipboard::kFillLeft;
        default: return -1;
    }
}

void runFill(CQorsDoc& doc, int id) {
    if (doc.Clipboard().FillSelection(DocClipboard::FillDirection(fillDirection(id))) != 0)
        ShowMessageText(LoadErrorText(63903));
}

// The state a command needs besides an open report.
enum class Need { Report, Format, Data };

using Handler = void (*)(CQorsDoc&);

// A command's dialog: its template id and whether one is registered.
struct DocDialog {
    int templateId = 0;
    bool (*registered)() = nullptr;
};

template <class M>
constexpr DocDialog dialogOf(int templateId) {
    return DocDialog{templateId, &HasDialog<M>};
}

struct DocCommand {
    int id;
    DocDialog dialog;  // kNoDialog when the command runs no dialog of ours
    Need need;
    Handler run;  // null: the command has no work in this system and stays off
};

// The dialogs of the commands.
constexpr DocDialog kNoDialog;
constexpr DocDialog kDlgDrawLine = dialogOf<DrawLineDlgMembers>(145);
constexpr DocDialog kDlgRowHeight = dialogOf<RowHeightDlgMembers>(146);
constexpr DocDialog kDlgColWidth = dialogOf<ColWidthDlgMembers>(147);
constexpr DocDialog kDlgSetKeyword = dialogOf<SetKeywordDlgMembers>(149);
constexpr DocDialog kDlgDefineFormula = dialogOf<DefineFormulaDlgMembers>(151);
constexpr DocDialog kDlgAuditFormula = dialogOf<AuditFormulaDlgMembers>(155);
constexpr DocDialog kDlgApplyFormat = dialogOf<ApplyFormatDlgMembers>(160);
constexpr DocDialog kDlgFormatLock = dialogOf<FormatLockDlgMembers>(161);
constexpr DocDialog kDlgInsertCount = dialogOf<InsertCountDlgMembers>(182);
constexpr DocDialog kDlgSwap = dialogOf<SwapDlgMembers>(183);
constexpr DocDialog kDlgDelete = dialogOf<DeleteDlgMembers>(184);
constexpr DocDialog kDlgCombine = dialogOf<CombineCellsDlgMembers>(189);
constexpr DocDialog kDlgSetVarArea = dialogOf<SetVarAreaDlgMembers>(190);
constexpr DocDialog kDlgPageSort = dialogOf<PageSortDlgMembers>(191);
constexpr DocDialog kDlgCellStyle = dialogOf<CellStyleDlgMembers>(199);
constexpr DocDialog kDlgEnterKeyword = dialogOf<EnterKeywordDlgMembers>(200);
constexpr DocDialog kDlgFormulaList = dialogOf<FormulaListRequest>(205);
constexpr DocDialog kDlgRoundBalance = dialogOf<RoundBalanceDlgMembers>(217);
constexpr DocDialog kDlgPageSetup = dialogOf<PageSetupDlgMembers>(326);
constexpr DocDialog kDlgLocate = dialogOf<LocateDlgMembers>(368);
constexpr DocDialog kDlgFind = dialogOf<FindRequest>(369);
constexpr DocDialog kDlgReportTemplate = dialogOf<ReportTemplateDlgMembers>(371);
constexpr DocDialog kDlgResetVarArea = dialogOf<ResetVarAreaDlgMembers>(393);
constexpr DocDialog kDlgKeywordOffset = dialogOf<KeywordOffsetDlgMembers>(407);
constexpr DocDialog kDlgCancelKeyword = dialogOf<CancelKeywordDlgMembers>(419);
constexpr DocDialog kDlgSetFilePassword = dialogOf<SetFilePasswordDlgMembers>(428);
constexpr DocDialog kDlgMultiPivot = dialogOf<MultiPivotDlgMembers>(442);
constexpr DocDialog kDlgExport = dialogOf<ExportDlgMembers>(456);
constexpr DocDialog kDlgModel = dialogOf<ModelSheetRequest>(449);
constexpr DocDialog kDlgTabHuiZong = dialogOf<TabHuiZongWizardMembers>(496);
constexpr DocDialog kDlgVHuiZong = dialogOf<VHuiZongWizardMembers>(501);
constexpr DocDialog kDlgAuditMapping = dialogOf<AuditMappingRequest>(542);

#define QOR_RUN(...) [](CQorsDoc& d) { (void)(__VA_ARGS__); }

const std::array kCommands = {
    DocCommand{kCmdCellFormula, kDlgDefineFormula, Need::Format, QOR_RUN(OnCellFormula(d))},
    DocCommand{kCmdAuditFormulas, kDlgAuditFormula, Need::Format, QOR_RUN(OnAuditFormulas(d))},
    DocCommand{kCmdFormulaList, kDlgFormulaList, Need::Report, QOR_RUN(OnFormulaList(d))},
    DocCommand{kCmdRowHeight, kDlgRowHeight, Need::Format, QOR_RUN(OnRowHeight(d))},
    DocCommand{kCmdColWidth, kDlgColWidth, Need::Format, QOR_RUN(OnColWidth(d))},
    DocCommand{kCmdCombineCells, kDlgCombine, Need::Format, QOR_RUN(OnCombineCells(d))},
    DocCommand{kCmdApplyFormat, kDlgApplyFormat, Need::Format, QOR_RUN(OnApplyFormat(d))},
    DocCommand{kCmdInsertChart, kNoDialog, Need::Data, nullptr},
    DocCommand{kCmdSortPages, kDlgPageSort, Need::Data, QOR_RUN(OnSortPages(d))},
    DocCommand{kCmdSortVarArea, kDlgPageSort, Need::Data, QOR_RUN(OnSortVarArea(d))},
    DocCommand{kCmdLocate, kDlgLocate, Need::Report, QOR_RUN(OnLocate(d))},
    DocCommand{kCmdFind, kDlgFind, Need::Data, QOR_RUN(OnFind(d))},
    DocCommand{kCmdDrillDown, kNoDialog, Need::Report, QOR_RUN(runLedgerDrill(d))},
    DocCommand{kCmdAuditMapping, kDlgAuditMapping, Need::Report, QOR_RUN(OnAuditMapping(d))},
    DocCommand{kCmdInsertRows, kDlgInsertCount, Need::Format,
               QOR_RUN(OnInsertCount(d, kInsertRows))},
    DocCommand{kCmdInsertCols, kDlgInsertCount, Need::Format,
               QOR_RUN(OnInsertCount(d, kInsertCols))},
    DocCommand{kCmdInsertPages, kDlgInsertCount, Need::Report,
               QOR_RUN(OnInsertCount(d, kInsertPages))},
    DocCommand{kCmdAppendRows, kDlgInsertCount, Need::Format,
               QOR_RUN(OnInsertCount(d, kAppendRows))},
    DocCommand{kCmdAppendCols, kDlgInsertCount, Need::Format,
               QOR_RUN(OnInsertCount(d, kAppendCols))},
    DocCommand{kCmdAppendPages, kDlgInsertCount, Need::Report,
               QOR_RUN(OnInsertCount(d, kAppendPages))},
    DocCommand{kCmdSwapRows, kDlgSwap, Need::Format, QOR_RUN(OnSwap(d, 1))},
    DocCommand{kCmdSwapCols, kDlgSwap, Need::Format, QOR_RUN(OnSwap(d, 2))},
    DocCommand{kCmdSwapPages, kDlgSwap, Need::Report, QOR_RUN(OnSwap(d, 3))},
    DocCommand{kCmdDeleteRows, kDlgDelete, Need::Format, QOR_RUN(OnDelete(d, 1))},
    DocCommand{kCmdDeleteCols, kDlgDelete, Need::Format, QOR_RUN(OnDelete(d, 2))},
    DocCommand{kCmdDeletePages, kDlgDelete, Need::Report, QOR_RUN(OnDelete(d, 3))},
    DocCommand{kCmdCellStyle, kDlgCellStyle, Need::Format, QOR_RUN(OnCellStyle(d))},
    DocCommand{kCmdDrawLines, kDlgDrawLine, Need::Format, QOR_RUN(OnDrawLines(d))},
    DocCommand{kCmdSetVarArea, kDlgSetVarArea, Need::Format, QOR_RUN(OnSetVarArea(d))},
    DocCommand{kCmdResetVarArea, kDlgResetVarArea, Need::Format, QOR_RUN(OnResetVarArea(d))},
    DocCommand{kCmdSetKeyword, kDlgSetKeyword, Need::Format, QOR_RUN(OnSetKeyword(d))},
    DocCommand{kCmdCancelKeyword, kDlgCancelKeyword, Need::Format, QOR_RUN(OnCancelKeyword(d))},
    DocCommand{kCmdEnterKeyword, kDlgEnterKeyword, Need::Data, QOR_RUN(OnEnterKeyword(d))},
    DocCommand{kCmdKeywordOffset, kDlgKeywordOffset, Need::Format, QOR_RUN(OnKeywordOffset(d))},
    DocCommand{kCmdPageSetup, kDlgPageSetup, Need::Report, QOR_RUN(OnPageSetup(d))},
    DocCommand{kCmdRoundBalance, kDlgRoundBalance, Need::Format, QOR_RUN(OnRoundBalance(d))},
    DocCommand{kCmdFormatLock, kDlgFormatLock, Need::Format, QOR_RUN(OnFormatLock(d))},
    DocCommand{kCmdSetFilePassword, kDlgSetFilePassword, Need::Report,
               QOR_RUN(OnSetFilePassword(d))},
    DocCommand{kCmdReportTemplate, kDlgReportTemplate, Need::Format, QOR_RUN(OnReportTemplate(d))},
    DocCommand{kCmdCustomTemplate, kDlgModel, Need::Report, QOR_RUN(OnCustomTemplate(d))},
    DocCommand{kCmdMultiPivot, kDlgMultiPivot, Need::Data, QOR_RUN(OnMultiPivot(d))},
    DocCommand{kCmdPageConsolidation, kDlgTabHuiZong, Need::Data, QOR_RUN(OnPageConsolidation(d))},
    DocCommand{kCmdVarAreaConsolidation, kDlgVHuiZong, Need::Data,
               QOR_RUN(OnVarAreaConsolidation(d))},
    DocCommand{kCmdImportSpreadsheetXml, kNoDialog, Need::Format,
               QOR_RUN(d.Files().OnSpreadsheetXmlImport())},
    DocCommand{kCmdExportText, kDlgExport, Need::Data, QOR_RUN(OnExportText(d))},
    DocCommand{kCmdFillDown, kNoDialog, Need::Report, QOR_RUN(runFill(d, kCmdFillDown))},
    DocCommand{kCmdFillRight, kNoDialog, Need::Report, QOR_RUN(runFill(d, kCmdFillRight))},
    DocCommand{kCmdFillUp, kNoDialog, Need::Report, QOR_RUN(runFill(d, kCmdFillUp))},
    DocCommand{kCmdFillLeft, kNoDialog, Need::Report, QOR_RUN(runFill(d, kCmdFillLeft))},
    DocCommand{kCmdMoreDecimals, kNoDialog, Need::Format, QOR_RUN(StepDecimals(d, 1))},
    DocCommand{kCmdFewerDecimals, kNoDialog, Need::Format, QOR_RUN(StepDecimals(d, -1))},
};

#undef QOR_RUN

const DocCommand* find(int id) {
    // Every update pass asks for every command id of the frame, most of
    // which are not the document's: a sorted index, made once, answers
    // without walking the table.
    static const auto index = [] {
        std::array<const DocCommand*, kCommands.size()> sorted{};
        for (size_t i = 0; i < kCommands.size(); ++i) sorted[i] = &kCommands[i];
        std::sort(sorted.begin(), sorted.end(),
                  [](const DocCommand* a, const DocCommand* b) { return a->id < b->id; });
        return sorted;
    }();
    const auto it = std::lower_bound(index.begin(), index.end(), id,
                                     [](const DocCommand* c, int value) { return c->id < value; });
    return it != index.end() && (*it)->id == id ? *it : nullptr;
}

bool isFormatState(const CQorsDoc& doc) { return !doc.IsDataState(); }

}  // namespace

LedgerDrillHook SetLedgerDrillHook(LedgerDrillHook hook) {
    return std::exchange(ledgerDrill(), std::move(hook));
}

int DialogOfCommand(int id) {
    const DocCommand* c = find(id);
    return c ? c->dialog.templateId : 0;
}

bool CellFormulaAllowed(const CQorsDoc& doc, QString* reason) {
    auto no = [reason](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    if (!doc.IsOpen()) return no(ReasonNoReport());
    if (!isFormatState(doc)) return no(ReasonFormatState());
    if (doc.IsCombinedCell(doc.Selection().CurrentRow(), doc.Selection().CurrentColumn()))
        return no(QStringLiteral("当前单元在组合单元中"));
    VarAreaInfo var;
    doc.GetVarAreaInfo(&var);
    if ((var.kind == 1 && var.start == doc.Selection().CurrentRow()) ||
        (var.kind == 2 && var.start == doc.Selection().CurrentColumn()))
        return no(QStringLiteral("当前单元在可变区的第一行（列）上"));
    return true;
}

}  // namespace qor::doccmd

using namespace qor::doccmd;

bool CQorsDoc::OnUpdateCommand(int id, qor::CommandState& state) {
    const DocCommand* c = find(id);
    if (!c) return false;
    state = qor::CommandState{};
    auto off = [&state](const QString& why) {
        state.enabled = false;
        state.reason = why;
        return true;
    };
    if (!c->run) return off(ReasonNotBuilt());
    if (id == kCmdDrillDown && !(ledgerDrill().accepts && ledgerDrill().run))
        return off(ReasonNotBuilt());
    if (!IsOpen()) return off(ReasonNoReport());
    if (c->need == Need::Format && IsDataState()) return off(ReasonFormatState());
    if (c->need == Need::Data && !IsDataState()) return off(ReasonDataState());
    if (c->dialog.registered && !c->dialog.registered()) return off(ReasonNoDialog());
    if (const int fill = fillDirection(id); fill >= 0) {
        QString why;
        if (!m_clipboard->CanFill(DocClipboard::FillDirection(fill), &why)) return off(why);
    }
    if (id == kCmdCellFormula) {
        QString why;
        if (!CellFormulaAllowed(*this, &why)) return off(why);
    }
    if (id == kCmdResetVarArea) {
        QString why;
        if (!ResetVarAreaAllowed(*this, &why)) return off(why);
    }
    if (id == kCmdDrillDown) {
        // Only a cell whose formula is built from ledger calls names
        // accounts and a period to show.
        QString formula;
        if (!Selection().Exists() ||
            !GetCellFormula(Selection().CurrentRow(), Selection().CurrentColumn(), &formula) ||
            formula.trimmed().isEmpty() || !ledgerDrill().accepts(formula.toUpper()))
            return off(QStringLiteral("当前单元格的公式不是账务函数"));
    }
    state.enabled = true;
    return true;
}

const qor::CommandIdSet* CQorsDoc::DeclaredCommands() const {
    static const qor::CommandIdSet ids = [] {
        QList<int> list;
        for (const DocCommand& c : kCommands) list << c.id;
        return qor::CommandIdSet(std::move(list));
    }();
    return &ids;
}

bool CQorsDoc::OnCommand(int id) {
    const DocCommand* c = find(id);
    if (!c) return false;
    // A command reached while it is off (a stale menu, a key) does nothing,
    // exactly as its greyed item would.
    qor::CommandState state;
    OnUpdateCommand(id, state);
    if (state.enabled) c->run(*this);
    return true;
}
