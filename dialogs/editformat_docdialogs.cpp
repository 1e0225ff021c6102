#include "dialogs/editformat_docdialogs.h"

#include <algorithm>
#include <array>

#include "dialogs/findsort_dlgs.h"
#include "dialogs/format_dlgs.h"
#include "dialogs/keyword_dlgs.h"

namespace qor {

namespace {

// Runs dialog D preset with members M; the members after OK.
template <class D, class M>
std::optional<M> run(const M& preset, QWidget* parent) {
    D dlg(parent);
    static_cast<M&>(dlg) = preset;
    if (dlg.DoModal() != kIdOk) return std::nullopt;
    return static_cast<const M&>(dlg);
}

}  // namespace

bool EditFormatProvides(int t) {
    static constexpr std::array kIds{144, 145, 146, 147, 149, 160, 189, 190, 191,
                                     199, 200, 217, 326, 368, 369, 393, 407, 419};
    return std::find(kIds.begin(), kIds.end(), t) != kIds.end();
}

std::optional<LocateDlgMembers> RunLocateDlg(const LocateDlgMembers& m, QWidget* parent) {
    return run<CLocateDlg>(m, parent);
}

void RunFindDlg(CQorsDoc& doc, const FindDlgMembers& m, QWidget* parent) {
    CFindDlg dlg(doc, parent);
    static_cast<FindDlgMembers&>(dlg) = m;
    dlg.DoModal();
}

std::optional<PageSortDlgMembers> RunPageSortDlg(const PageSortDlgMembers& m, QWidget* parent) {
    return run<CPageSortDlg>(m, parent);
}

std::optional<CellStyleDlgMembers> RunCellStyleDlg(const CellStyleDlgMembers& m, QWidget* parent) {
    return run<CCellStyleDlg>(m, parent);
}

std::optional<TableSizeDlgMembers> RunTableSizeDlg(const TableSizeDlgMembers& m, QWidget* parent) {
    return run<CTableSizeDlg>(m, parent);
}

std::optional<RowHeightDlgMembers> RunRowHeightDlg(const RowHeightDlgMembers& m, QWidget* parent) {
    return run<CRowHeightDlg>(m, parent);
}

std::optional<ColWidthDlgMembers> RunColWidthDlg(const ColWidthDlgMembers& m, QWidget* parent) {
    return run<CColWidthDlg>(m, parent);
}

std::optional<CombineCellsDlgMembers> RunCombineCellsDlg(const CombineCellsDlgMembers& m,
                                                         QWidget* parent) {
    CCombineCellsDlg dlg(parent);
    static_cast<CombineCellsDlgMembers&>(dlg) = m;
    const int code = dlg.DoModal();
    if (code == kIdCancel) return std::nullopt;
    CombineCellsDlgMembers out = dlg;
    out.result = code;
    return out;
}

std::optional<SetVarAreaDlgMembers> RunSetVarAreaDlg(const SetVarAreaDlgMembers& m,
                                                     QWidget* parent) {
    return run<CSetVarAreaDlg>(m, parent);
}

std::optional<ApplyFormatDlgMembers> RunApplyFormatDlg(const ApplyFormatDlgMembers& m,
                                                       QWidget* parent) {
    return run<CApplyFormatDlg>(m, parent);
}

std::optional<DrawLineDlgMembers> RunDrawLineDlg(const DrawLineDlgMembers& m, QWidget* parent) {
    return run<CDrawLineDlg>(m, parent);
}

std::optional<PageSetupDlgMembers> RunPageSetupDlg(const PageSetupDlgMembers& m, QWidget* parent) {
    return run<CPageSetupDlg>(m, parent);
}

std::optional<SetKeywordDlgMembers> RunSetKeywordDlg(const SetKeywordDlgMembers& m,
                                                     QWidget* parent) {
    return run<CSetKeywordDlg>(m, parent);
}

std::optional<CancelKeywordDlgMembers> RunCancelKeywordDlg(const CancelKeywordDlgMembers& m,
                                                           QWidget* parent) {
    return run<CCancelKeywordDlg>(m, parent);
}

std::optional<EnterKeywordDlgMembers> RunEnterKeywordDlg(const EnterKeywordDlgMembers& m,
                                                         QWidget* parent) {
    return run<CEnterKeywordDlg>(m, parent);
}

std::optional<KeywordOffsetDlgMembers> RunKeywordOffsetDlg(const KeywordOffsetDlgMembers& m,
                                                           QWidget* parent) {
    return run<CKeywordOffsetDlg>(m, parent);
}

std::optional<ResetVarAreaDlgMembers> RunResetVarAreaDlg(const ResetVarAreaDlgMembers& m,
                                                         QWidget* parent) {
    return run<CResetVarAreaDlg>(m, parent);
}

std::optional<RoundBalanceDlgMembers> RunRoundBalanceDlg(const RoundBalanceDlgMembers& m,
                                                         QWidget* parent) {
    return run<CRoundBalanceDlg>(m, parent);
}

IDocDialogs* InstallEditFormatDocDialogs(QWidget* parent) {
    static EditFormatDocDialogs dialogs;
    dialogs.SetEditFormatParent(parent);
    return SetDocDialogs(&dialogs);
}

}  // namespace qor
