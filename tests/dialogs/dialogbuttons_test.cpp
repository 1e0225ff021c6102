// Every dialog template of the table against the dialog built on it: no
// button shows a toolkit's English default, and the OK and Cancel buttons
// carry the texts their template gives them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QRegularExpression>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "dialogs/batchcmd_dlgs.h"
#include "dialogs/ccellattrdlg.h"
#include "dialogs/cdefineformuladlg.h"
#include "dialogs/cexportsetdlg.h"
#include "dialogs/cformulalistdlg.h"
#include "dialogs/cpasteasdlg.h"
#include "dialogs/cfuncwizarddlg.h"
#include "dialogs/csetpagenodlg.h"
#include "dialogs/dlgbuild.h"
#include "dialogs/ctabhuizongwizardsheet.h"
#include "dialogs/cvhuizongwizardsheet.h"
#include "dialogs/exchange_dlgs.h"
#include "dialogs/findsort_dlgs.h"
#include "dialogs/format_dlgs.h"
#include "dialogs/funcargdlgs.h"
#include "dialogs/input_dlgs.h"
#include "dialogs/keyword_dlgs.h"
#include "dialogs/password_dlgs.h"
#include "dialogs/pivot_dlgs.h"
#include "dialogs/readdata_dlgs.h"
#include "dialogs/rowcolpage_dlgs.h"
#include "dialogs/small_dlgs.h"
#include "dialogs/sqlwizard_dlgs.h"
#include "dialogs/template_dlgs.h"
#include "dialogs/viewsettings_dlgs.h"
#include "document/cqorsdoc.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

using Factory = std::function<std::unique_ptr<QWidget>()>;

template <class D>
Factory make() {
    return [] { return std::unique_ptr<QWidget>(new D); };
}

// The dialogs of this library by the template they are built on. A page of
// a property sheet or wizard is checked inside its sheet.
std::map<int, Factory> dialogFactories() {
    static CQorsDoc doc;
    std::map<int, Factory> f = {
        {107, make<CTipDlg>()},
        {144, make<CTableSizeDlg>()},
        {145, make<CDrawLineDlg>()},
        {146, make<CRowHeightDlg>()},
        {147, make<CColWidthDlg>()},
        {149, make<CSetKeywordDlg>()},
        {151, make<CDefineFormulaDlg>()},
        {152, make<CFilterCondDlg>()},
        {155, make<CAuditFormulaDlg>()},
        {160, make<CApplyFormatDlg>()},
        {161, make<CFormatLockDlg>()},
        {162, make<CFormatPasswordDlg>()},
        {175, make<CDefineCondDlg>()},
        {182, make<CInsertCountDlg>()},
        {183, make<CSwapDlg>()},
        {184, make<CDeleteDlg>()},
        {189, make<CCombineCellsDlg>()},
        {190, make<CSetVarAreaDlg>()},
        {191, make<CPageSortDlg>()},
        {199, make<CCellStyleDlg>()},
        {200, make<CEnterKeywordDlg>()},
        {205, make<CFormulaListDlg>()},
        {207, make<CFuncWizardDlg>()},
        {212, make<CFixedAreaStatDlg>()},
        {213, make<CVarAreaStatDlg>()},
        {217, make<CRoundBalanceDlg>()},
        {221, make<CCondValueDlg>()},
        {326, make<CPageSetupDlg>()},
        {330, make<CReadFileDataDlg>()},
        {331, make<CLenFuncDlg>()},
        {332, make<CStrFuncDlg>()},
        {333, make<CTrimFuncDlg>()},
        {334, make<CUpperFuncDlg>()},
        {335, make<CValFuncDlg>()},
        {336, make<CSinFuncDlg>()},
        {337, make<CCosFuncDlg>()},
        {338, make<CTanFuncDlg>()},
        {339, make<CCtanFuncDlg>()},
        {340, make<CAbsFuncDlg>()},
        {341, make<CIntFuncDlg>()},
        {342, make<CSqrFuncDlg>()},
        {343, make<CLnFuncDlg>()},
        {344, make<CLogFuncDlg>()},
        {345, make<CExpFuncDlg>()},
        {347, make<CRoundFuncDlg>()},
        {364, make<CZoomDlg>()},
        {368, make<CLocateDlg>()},
        {369, [] { return std::unique_ptr<QWidget>(new CFindDlg(doc)); }},
        {371, [] { return std::unique_ptr<QWidget>(new CReportTemplateDlg(TemplateListFile())); }},
        {388, make<CDisplayStyleDlg>()},
        {392, make<CCurrencySymbolDlg>()},
        {393, make<CResetVarAreaDlg>()},
        {395, make<CRelationCondDlg>()},
        {397, [] { return std::unique_ptr<QWidget>(new CPivotDlg(PivotGrid())); }},
        {400, make<CSubstrFuncDlg>()},
        {401, make<CLowerFuncDlg>()},
        {407, make<CKeywordOffsetDlg>()},
        {419, make<CCancelKeywordDlg>()},
        {428, make<CSetFilePasswordDlg>()},
        {429, make<CFilePasswordDlg>()},
        {441, make<CAcctFuncDlg>()},
        {442, make<CMultiPivotDlg>()},
        {449, [] { return std::unique_ptr<QWidget>(new CModelSheet(TemplateListFile())); }},
        {451, make<CDefineTemplateDlg>()},
        {452, make<CTemplateDlg>()},
        {454, make<CVariablesDlg>()},
        {456, make<CExportDlg>()},
        {457, make<CObjectLookDlg>()},
        {460, make<CObjectPropDlg>()},
        {478, make<CCustomMenuDlg>()},
        {479, make<CSysInfoDlg>()},
        {481, [] { return std::unique_ptr<QWidget>(new CBatchCmdDlg(ProfileAccess())); }},
        {482, make<CBatchCmdSetupDlg>()},
        {496, make<CTabHuiZongWizardSheet>()},
        {501, make<CVHuiZongWizardSheet>()},
        {502, [] { return std::unique_ptr<QWidget>(new CCellAttrDlg(QStringLiteral("单元格属性"))); }},
        {523, make<CReadDbDataDlg>()},
        {530, make<CSqlWizardDlg>()},
        {534, make<CCondExprWizardDlg>()},
        {536, make<CExportSetDlg>()},
        {537, make<CAskAlwaysDlg>()},
        {538, make<CSetPageNoDlg>()},
        {540, make<CPromptDlg>()},
        {600, make<CLogFileDlg>()},
        {30724, make<CTitleFontDlg>()},
        {30725, make<CGetIntDlg>()},
        {30726, make<CGetStrDlg>()},
        {30728, make<CImportDlg>()},
    };
    return f;
}

// Templates whose dialog is checked with another template: pages inside
// their sheet (the sheet's template above), the model wizard's second page.
const QList<int> kInsideAnother = {450, 497, 498, 503, 504, 505, 506};
// Templates of dialogs that other libraries build (charts, the financial
// interfaces, the frames) or that carry no class of their own.
const QList<int> kOtherLibraries = {214, 225, 228, 229, 233, 264, 475, 476, 509, 510, 542};

bool englishDefault(QString text) {
    text.remove(u'&');
    static const QRegularExpression english(
        QStringLiteral("^(OK|Cancel|Close|Yes|No|Apply|Help|Open|Save|Reset|Abort|Retry|"
                       "Ignore|Discard|Yes to All|No to All|Save All|Restore Defaults)$"),
        QRegularExpression::CaseInsensitiveOption);
    return english.match(text.trimmed()).hasMatch();
}

QList<int> everyTemplate() {
    QList<int> ids;
    for (int id = 1; id < 65536 && ids.size() < res::templateCount(); ++id)
        if (res::templateInfo(id)) ids.append(id);
    return ids;
}

}  // namespace

TEST(DialogButtons, EveryTemplateGivesItsDialogsButtonTexts) {
    const std::map<int, Factory> factories = dialogFactories();
    const QList<int> templates = everyTemplate();
    ASSERT_EQ(templates.size(), res::templateCount());
    int checked = 0;
    for (int id : templates) {
        SCOPED_TRACE(id);
        const auto made = factories.find(id);
        if (made == factories.end()) {
            EXPECT_TRUE(kInsideAnother.contains(id) || kOtherLibraries.contains(id))
                << "template " << id << " has no dialog to check";
            continue;
        }
        const std::unique_ptr<QWidget> dlg = made->second();
        ++checked;
        for (QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) {
            EXPECT_FALSE(englishDefault(b->text()))
                << "template " << id << ": button \"" << b->text().toStdString() << "\"";
        }
        auto* items = dynamic_cast<CDlgItems*>(dlg.get());
        if (!items) continue;
        for (int button : {CQorDialog::IDOK, CQorDialog::IDCANCEL}) {
            auto* b = qobject_cast<QAbstractButton*>(items->GetDlgItem(button));
            if (!b) continue;
            const auto row = res::controlInfo(id, button);
            if (!row) {
                ADD_FAILURE() << "template " << id << " lists no button " << button
                              << " (shown as \"" << b->text().toStdString() << "\")";
                continue;
            }
            EXPECT_EQ(b->text(), row->caption) << "template " << id << " button " << button;
        }
    }
    // Every dialog of the table above was reached through the table.
    EXPECT_EQ(checked, int(factories.size()));
}

TEST(DialogButtons, ShownDialogsCarryTheirTemplatesOkAndCancel) {
    const std::map<int, Factory> factories = dialogFactories();
    std::vector<std::unique_ptr<QWidget>> shown;
    for (int id : {151, 152, 161, 162, 428, 429, 175, 182, 183, 184})
        shown.push_back(factories.at(id)());
    shown.push_back(std::make_unique<CPasteSpecialDlg>());
    for (const auto& w : shown) {
        auto* dlg = static_cast<CQorDialog*>(w.get());
        SCOPED_TRACE(dlg->metaObject()->className());
        QStringList texts;
        bool visible = false;
        QTimer::singleShot(0, [&] {
            visible = dlg->isVisible();
            for (int b : {CQorDialog::IDOK, CQorDialog::IDCANCEL})
                if (auto* button = qobject_cast<QAbstractButton*>(dlg->GetDlgItem(b)))
                    texts << button->text();
            if (auto* cancel = qobject_cast<QAbstractButton*>(dlg->GetDlgItem(CQorDialog::IDCANCEL)))
                cancel->click();
            else
                dlg->reject();
        });
        dlg->exec();
        EXPECT_TRUE(visible);
        EXPECT_EQ(texts, (QStringList{DlgButtonText(dlg->TemplateId(), CQorDialog::IDOK),
                                      DlgButtonText(dlg->TemplateId(), CQorDialog::IDCANCEL)}));
        for (const QString& t : texts) EXPECT_FALSE(englishDefault(t)) << t.toStdString();
    }
}
