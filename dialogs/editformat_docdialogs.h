#pragma once
// The find, sort, format, page-setup and keyword dialogs as the document's
// commands run them, as one layer of the desktop's dialogs (see
// consol_docdialogs.h): EditFormatDocDialogsT<...<qor::IDocDialogs>>.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "document/cmd_dialogs.h"

namespace qor {

// The template ids this layer answers for.
bool EditFormatProvides(int templateId);

std::optional<LocateDlgMembers> RunLocateDlg(const LocateDlgMembers& m, QWidget* parent);
void RunFindDlg(CQorsDoc& doc, const FindDlgMembers& m, QWidget* parent);
std::optional<PageSortDlgMembers> RunPageSortDlg(const PageSortDlgMembers& m, QWidget* parent);
std::optional<CellStyleDlgMembers> RunCellStyleDlg(const CellStyleDlgMembers& m, QWidget* parent);
std::optional<TableSizeDlgMembers> RunTableSizeDlg(const TableSizeDlgMembers& m, QWidget* parent);
std::optional<RowHeightDlgMembers> RunRowHeightDlg(const RowHeightDlgMembers& m, QWidget* parent);
std::optional<ColWidthDlgMembers> RunColWidthDlg(const ColWidthDlgMembers& m, QWidget* parent);
std::optional<CombineCellsDlgMembers> RunCombineCellsDlg(const CombineCellsDlgMembers& m,
                                                         QWidget* parent);
std::optional<SetVarAreaDlgMembers> RunSetVarAreaDlg(const SetVarAreaDlgMembers& m,
                                                     QWidget* parent);
std::optional<ApplyFormatDlgMembers> RunApplyFormatDlg(const ApplyFormatDlgMembers& m,
                                                       QWidget* parent);
std::optional<DrawLineDlgMembers> RunDrawLineDlg(const DrawLineDlgMembers& m, QWidget* parent);
std::optional<PageSetupDlgMembers> RunPageSetupDlg(const PageSetupDlgMembers& m, QWidget* parent);
std::optional<SetKeywordDlgMembers> RunSetKeywordDlg(const SetKeywordDlgMembers& m,
                                                     QWidget* parent);
std::optional<CancelKeywordDlgMembers> RunCancelKeywordDlg(const CancelKeywordDlgMembers& m,
                                                           QWidget* parent);
std::optional<EnterKeywordDlgMembers> RunEnterKeywordDlg(const EnterKeywordDlgMembers& m,
                                                         QWidget* parent);
std::optional<KeywordOffsetDlgMembers> RunKeywordOffsetDlg(const KeywordOffsetDlgMembers& m,
                                                           QWidget* parent);
std::optional<ResetVarAreaDlgMembers> RunResetVarAreaDlg(const ResetVarAreaDlgMembers& m,
                                                         QWidget* parent);
std::optional<RoundBalanceDlgMembers> RunRoundBalanceDlg(const RoundBalanceDlgMembers& m,
                                                         QWidget* parent);

template <class Base = IDocDialogs>
class EditFormatDocDialogsT : public Base {
public:
    using Base::Base;
    bool Provides(int t) const override { return EditFormatProvides(t) || Base::Provides(t); }

    void SetEditFormatParent(QWidget* parent) { m_editFormatParent = parent; }

    std::optional<LocateDlgMembers> LocateDlg(const LocateDlgMembers& m) override {
        return RunLocateDlg(m, m_editFormatParent);
    }
    void FindDlg(CQorsDoc& doc, const FindDlgMembers& m) override {
        RunFindDlg(doc, m, m_editFormatParent);
    }
    std::optional<PageSortDlgMembers> PageSortDlg(const PageSortDlgMembers& m) override {
        return RunPageSortDlg(m, m_editFormatParent);
    }
    std::optional<CellStyleDlgMembers> CellStyleDlg(const CellStyleDlgMembers& m) override {
        return RunCellStyleDlg(m, m_editFormatParent);
    }
    std::optional<TableSizeDlgMembers> TableSizeDlg(const TableSizeDlgMembers& m) override {
        return RunTableSizeDlg(m, m_editFormatParent);
    }
    std::optional<RowHeightDlgMembers> RowHeightDlg(const RowHeightDlgMembers& m) override {
        return RunRowHeightDlg(m, m_editFormatParent);
    }
    std::optional<ColWidthDlgMembers> ColWidthDlg(const ColWidthDlgMembers& m) override {
        return RunColWidthDlg(m, m_editFormatParent);
    }
    std::optional<CombineCellsDlgMembers> CombineCellsDlg(
        const CombineCellsDlgMembers& m) override {
        return RunCombineCellsDlg(m, m_editFormatParent);
    }
    std::optional<SetVarAreaDlgMembers> SetVarAreaDlg(const SetVarAreaDlgMembers& m) override {
        return RunSetVarAreaDlg(m, m_editFormatParent);
    }
    std::optional<ApplyFormatDlgMembers> ApplyFormatDlg(const ApplyFormatDlgMembers& m) override {
        return RunApplyFormatDlg(m, m_editFormatParent);
    }
    std::optional<DrawLineDlgMembers> DrawLineDlg(const DrawLineDlgMembers& m) override {
        return RunDrawLineDlg(m, m_editFormatParent);
    }
    std::optional<PageSetupDlgMembers> PageSetupDlg(const PageSetupDlgMembers& m) override {
        return RunPageSetupDlg(m, m_editFormatParent);
    }
    std::optional<SetKeywordDlgMembers> SetKeywordDlg(const SetKeywordDlgMembers& m) override {
        return RunSetKeywordDlg(m, m_editFormatParent);
    }
    std::optional<CancelKeywordDlgMembers> CancelKeywordDlg(
        const CancelKeywordDlgMembers& m) override {
        return RunCancelKeywordDlg(m, m_editFormatParent);
    }
    std::optional<EnterKeywordDlgMembers> EnterKeywordDlg(
        const EnterKeywordDlgMembers& m) override {
        return RunEnterKeywordDlg(m, m_editFormatParent);
    }
    std::optional<KeywordOffsetDlgMembers> KeywordOffsetDlg(
        const KeywordOffsetDlgMembers& m) override {
        return RunKeywordOffsetDlg(m, m_editFormatParent);
    }
    std::optional<ResetVarAreaDlgMembers> ResetVarAreaDlg(
        const ResetVarAreaDlgMembers& m) override {
        return RunResetVarAreaDlg(m, m_editFormatParent);
    }
    std::optional<RoundBalanceDlgMembers> RoundBalanceDlg(
        const RoundBalanceDlgMembers& m) override {
        return RunRoundBalanceDlg(m, m_editFormatParent);
    }

private:
    QPointer<QWidget> m_editFormatParent;
};

using EditFormatDocDialogs = EditFormatDocDialogsT<>;

// Installs these dialogs (on the headless answers for every other dialog)
// as the document's dialogs; returns the ones installed before.
IDocDialogs* InstallEditFormatDocDialogs(QWidget* parent = nullptr);

}  // namespace qor
