#include "dialogs/docdialogs.h"

#include "dialogs/cdefineformuladlg.h"
#include "dialogs/cformulalistdlg.h"
#include "dialogs/csetpagenodlg.h"
#include "dialogs/ctabhuizongwizardsheet.h"
#include "dialogs/cvhuizongwizardsheet.h"
#include "dialogs/exchange_dlgs.h"
#include "dialogs/findsort_dlgs.h"
#include "dialogs/format_dlgs.h"
#include "dialogs/keyword_dlgs.h"
#include "dialogs/password_dlgs.h"
#include "dialogs/pivot_dlgs.h"
#include "dialogs/rowcolpage_dlgs.h"
#include "dialogs/template_dlgs.h"

namespace qor {

namespace {

using Parent = QPointer<QWidget>;

// The combine-cells dialog ends with the button that closed it, which the
// command reads as the kind of combination; only Cancel gives nothing.
std::optional<CombineCellsDlgMembers> combineCells(const CombineCellsDlgMembers& preset,
                                                   QWidget* parent) {
    CCombineCellsDlg dlg(parent);
    static_cast<CombineCellsDlgMembers&>(dlg) = preset;
    const int code = dlg.DoModal();
    if (code == kIdCancel) return std::nullopt;
    CombineCellsDlgMembers out = dlg;
    out.result = code;
    return out;
}

// The consolidation wizards start into this report, by position.
std::optional<TabHuiZongWizardMembers> tabHuiZong(const TabHuiZongWizardMembers& preset,
                                                  QWidget* parent) {
    CTabHuiZongWizardSheet sheet(QString(), parent, 0);
    static_cast<TabHuiZongWizardMembers&>(sheet) = preset;
    sheet.AddWizardPages();
    sheet.toNewReport = 0;
    sheet.byPosition = 1;
    if (sheet.DoModal() != CTabHuiZongWizardSheet::ID_WIZFINISH) return std::nullopt;
    return static_cast<const TabHuiZongWizardMembers&>(sheet);
}

std::optional<VHuiZongWizardMembers> vHuiZong(const VHuiZongWizardMembers& preset,
                                              QWidget* parent) {
    CVHuiZongWizardSheet sheet(parent);
    static_cast<VHuiZongWizardMembers&>(sheet) = preset;
    sheet.AddWizardPages();
    if (sheet.DoModal() != CVHuiZongWizardSheet::ID_WIZFINISH) return std::nullopt;
    return static_cast<const VHuiZongWizardMembers&>(sheet);
}

std::optional<ReportTemplateDlgMembers> reportTemplate(const ReportTemplateDlgMembers& m,
                                                       QWidget* parent) {
    CReportTemplateDlg dlg(TemplateListFile(), parent);
    dlg.m_nIndustry = m.industry;
    dlg.m_nTemplate = m.templateIndex;
    if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
    return ReportTemplateDlgMembers{dlg.m_strChosenPath, dlg.m_nIndustry, dlg.m_nTemplate};
}

std::optional<MultiPivotDlgMembers> multiPivot(const MultiPivotDlgMembers& m, QWidget* parent) {
    CMultiPivotDlg dlg(parent);
    dlg.m_strAreas = m.areas;
    dlg.m_strLabels = m.labels;
    if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
    return MultiPivotDlgMembers{dlg.m_strAreas, dlg.m_strLabels};
}

// The dialogs that act on the document themselves; closing them is the
// answer.
void formulaList(const FormulaListRequest& r, QWidget* parent) {
    CFormulaListDlg dlg(parent);
    dlg.SetDocument(r.doc);
    dlg.DoModal();
}

void findDlg(const FindRequest& r, QWidget* parent) {
    CFindDlg dlg(*r.doc, parent);
    static_cast<FindDlgMembers&>(dlg) = r.members;
    dlg.DoModal();
}

void modelSheet(const ModelSheetRequest&, QWidget* parent) {
    CModelSheet sheet(TemplateListFile(), parent);
    sheet.DoModal();
}

template <class R>
DialogHandler<R> acting(void (*f)(const R&, QWidget*), QWidget* parent) {
    return [f, p = Parent(parent)](const R& r) {
        f(r, p);
        return std::optional<R>(r);
    };
}

}  // namespace

void RegisterDocumentDialogs(QWidget* parent) {
    Register<DefineFormulaDlgMembers>(ModalDialog<CDefineFormulaDlg>(parent));
    Register<AuditFormulaDlgMembers>(ModalDialog<CAuditFormulaDlg>(parent));
    Register<FormulaListRequest>(acting(&formulaList, parent));
    Register<LocateDlgMembers>(ModalDialog<CLocateDlg>(parent));
    Register<FindRequest>(acting(&findDlg, parent));
    Register<PageSortDlgMembers>(ModalDialog<CPageSortDlg>(parent));
    Register<CellStyleDlgMembers>(ModalDialog<CCellStyleDlg>(parent));
    Register<TableSizeDlgMembers>(ModalDialog<CTableSizeDlg>(parent));
    Register<RowHeightDlgMembers>(ModalDialog<CRowHeightDlg>(parent));
    Register<ColWidthDlgMembers>(ModalDialog<CColWidthDlg>(parent));
    Register<CombineCellsDlgMembers>(DialogFunction(&combineCells, parent));
    Register<SetVarAreaDlgMembers>(ModalDialog<CSetVarAreaDlg>(parent));
    Register<ApplyFormatDlgMembers>(ModalDialog<CApplyFormatDlg>(parent));
    Register<DrawLineDlgMembers>(ModalDialog<CDrawLineDlg>(parent));
    Register<PageSetupDlgMembers>(ModalDialog<CPageSetupDlg>(parent));
    Register<InsertCountDlgMembers>(ModalDialog<CInsertCountDlg>(parent));
    Register<SwapDlgMembers>(ModalDialog<CSwapDlg>(parent));
    Register<DeleteDlgMembers>(ModalDialog<CDeleteDlg>(parent));
    Register<DefineCondDlgMembers>(ModalDialog<CDefineCondDlg>(parent));
    Register<SetKeywordDlgMembers>(ModalDialog<CSetKeywordDlg>(parent));
    Register<CancelKeywordDlgMembers>(ModalDialog<CCancelKeywordDlg>(parent));
    Register<EnterKeywordDlgMembers>(ModalDialog<CEnterKeywordDlg>(parent));
    Register<KeywordOffsetDlgMembers>(ModalDialog<CKeywordOffsetDlg>(parent));
    Register<ResetVarAreaDlgMembers>(ModalDialog<CResetVarAreaDlg>(parent));
    Register<RoundBalanceDlgMembers>(ModalDialog<CRoundBalanceDlg>(parent));
    Register<FormatLockDlgMembers>(ModalDialog<CFormatLockDlg>(parent));
    Register<FormatPasswordDlgMembers>(ModalDialog<CFormatPasswordDlg>(parent));
    Register<SetFilePasswordDlgMembers>(ModalDialog<CSetFilePasswordDlg>(parent));
    Register<ReportTemplateDlgMembers>(DialogFunction(&reportTemplate, parent));
    Register<ModelSheetRequest>(acting(&modelSheet, parent));
    Register<MultiPivotDlgMembers>(DialogFunction(&multiPivot, parent));
    // The sheet choice of a workbook being opened.
    Register<SetPageNoDlgMembers>(ModalDialog<CSetPageNoDlg>(parent));
    Register<ExportDlgMembers>(DialogFunction(&RunExportDlg, parent));
    Register<TabHuiZongWizardMembers>(DialogFunction(&tabHuiZong, parent));
    Register<VHuiZongWizardMembers>(DialogFunction(&vHuiZong, parent));
    UseFormatPasswordDlg();
}

}  // namespace qor
