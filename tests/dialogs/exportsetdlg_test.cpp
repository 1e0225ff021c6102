#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "dialogs/cexportsetdlg.h"
#include "dialogs/exportsetchoice.h"
#include "dialogs/exportsetrunner.h"
#include "engine/creporthandle.h"
#include "exchange/ownxml_export.h"
#include "resources/stringtable.h"
#include "tests/common/testsupport.h"

namespace {

// A new report with the given number of pages, in data state.
std::unique_ptr<CReportHandle> reportWithPages(int pages) {
    const QString dir = qortest::freshDir(
        QStringLiteral("exportset-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    auto h = std::make_unique<CReportHandle>(dir + "/r.rep");
    EXPECT_TRUE(h->IsOpen());
    EXPECT_EQ(h->EnterDataState(), 0);
    if (pages > h->GetPageCount()) {
        EXPECT_EQ(h->AppendRowColPage(pages - h->GetPageCount(), 2), 0);
    }
    EXPECT_EQ(h->GetPageCount(), pages);
    return h;
}

QListWidget* pageList(const CExportSetDlg& d) {
    return qobject_cast<QListWidget*>(d.GetDlgItem(CExportSetDlg::IDC_PAGE_LIST));
}
QCheckBox* check(const CExportSetDlg& d, int id) {
    return qobject_cast<QCheckBox*>(d.GetDlgItem(id));
}
QPushButton* button(const CExportSetDlg& d, int id) {
    return qobject_cast<QPushButton*>(d.GetDlgItem(id));
}

QList<int> selectedRows(const QListWidget* list) {
    QList<int> rows;
    for (int r = 0; r < list->count(); ++r)
        if (list->item(r)->isSelected()) rows.append(r);
    return rows;
}

// Acts on the next export settings dialog once it runs modally.
void answerNextDialog(std::function<void(CExportSetDlg&)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        if (auto* d = qobject_cast<CExportSetDlg*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*d);
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no export settings dialog came up";
        }
    });
    timer->start(10);
}

class RunnerScope {
public:
    RunnerScope() : m_previous(qor::dlg::InstallExportSetDialog()) {}
    ~RunnerScope() { qor::InstallExportSettingsDialog(m_previous); }

private:
    std::shared_ptr<qor::IExportSettingsDialog> m_previous;
};

}  // namespace

TEST(ExportSetChoice, PageLinesPresetRowsAndTheOkRule) {
    EXPECT_EQ(qor::dlg::ExportPageLines(3), (QStringList{"第1页", "第2页", "第3页"}));

    EXPECT_EQ(qor::dlg::ExportPageRowsFromList("3/1/3/", 3), (QList<int>{0, 2}));
    EXPECT_EQ(qor::dlg::ExportPageRowsFromList("2/9/0/-1/", 3), (QList<int>{1}))
        << "pages the report lacks select nothing";
    EXPECT_TRUE(qor::dlg::ExportPageRowsFromList("1/x/", 3).isEmpty());

    qor::ExportSetMembers m;
    m.m_bAllPages = 0;
    qor::dlg::ApplyExportRowSelection(&m, {4, 0, 2, 0});
    EXPECT_EQ(m.m_strPageList, "1/3/5/") << "list order, each page once";
    EXPECT_EQ(m.m_nPageCount, 3);
}

TEST(CExportSetDlg, PresetMembersShowAndEditedControlsReadBack) {
    auto h = reportWithPages(3);
    CExportSetDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), qor::res::templateCaption(CExportSetDlg::IDD).value());
    for (int id : {CExportSetDlg::IDC_DATA, CExportSetDlg::IDC_FORMAT, CExportSetDlg::IDC_FORMULA,
                   CExportSetDlg::IDC_ALL_PAGES})
        EXPECT_EQ(check(dlg, id)->text(), qor::res::controlInfo(CExportSetDlg::IDD, id)->caption);

    dlg.m_pReport = h.get();
    dlg.m_bAllPages = 0;
    dlg.m_bData = 0;
    dlg.m_bFormula = 0;
    dlg.m_nPageCount = 99;
    dlg.m_strPageList = "3/1/";
    dlg.OnInitDialog();

    EXPECT_EQ(dlg.m_nPageCount, 3) << "the report's page count";
    QListWidget* list = pageList(dlg);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), "第3页");
    EXPECT_EQ(selectedRows(list), (QList<int>{0, 2}));
    EXPECT_TRUE(list->isEnabled());
    EXPECT_FALSE(check(dlg, CExportSetDlg::IDC_ALL_PAGES)->isChecked());
    EXPECT_FALSE(check(dlg, CExportSetDlg::IDC_DATA)->isChecked());
    EXPECT_TRUE(check(dlg, CExportSetDlg::IDC_FORMAT)->isChecked());
    EXPECT_FALSE(check(dlg, CExportSetDlg::IDC_FORMULA)->isChecked());

    // Page 2 picked after page 3: the text still goes in list order.
    list->item(0)->setSelected(false);
    list->item(1)->setSelected(true);
    check(dlg, CExportSetDlg::IDC_DATA)->click();
    check(dlg, CExportSetDlg::IDC_FORMAT)->click();
    button(dlg, CExportSetDlg::IDOK)->click();

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_strPageList, "2/3/");
    EXPECT_EQ(dlg.m_nPageCount, 2);
    EXPECT_EQ(dlg.m_bAllPages, 0);
    EXPECT_EQ(dlg.m_bData, 1);
    EXPECT_EQ(dlg.m_bFormat, 0);
    EXPECT_EQ(dlg.m_bFormula, 0);
}

TEST(CExportSetDlg, AllPagesDisablesTheListAndNoSelectionGivesPageOne) {
    auto h = reportWithPages(4);
    {
        CExportSetDlg dlg;
        dlg.m_pReport = h.get();
        dlg.m_bAllPages = 1;
        dlg.m_strPageList = "2/";
        dlg.OnInitDialog();
        QListWidget* list = pageList(dlg);
        QCheckBox* all = check(dlg, CExportSetDlg::IDC_ALL_PAGES);
        EXPECT_TRUE(all->isChecked());
        EXPECT_FALSE(list->isEnabled());
        all->click();
        EXPECT_TRUE(list->isEnabled());
        all->click();
        EXPECT_FALSE(list->isEnabled());
        button(dlg, CExportSetDlg::IDOK)->click();
        EXPECT_EQ(dlg.m_strPageList, "") << "a selection under \"all\" is not a page list";
        EXPECT_EQ(dlg.m_nPageCount, 4);
    }
    {
        CExportSetDlg dlg;
        dlg.m_pReport = h.get();
        dlg.m_bAllPages = 0;
        dlg.OnInitDialog();
        EXPECT_TRUE(selectedRows(pageList(dlg)).isEmpty());
        button(dlg, CExportSetDlg::IDOK)->click();
        EXPECT_EQ(dlg.m_strPageList, "1/");
        EXPECT_EQ(dlg.m_nPageCount, 1);
    }
}

TEST(ExportSetDialogRunner, TheExportAsksTheDialogAndCancelLeavesTheMembers) {
    auto h = reportWithPages(3);
    RunnerScope scope;
    const QString xml = QFileInfo(h->GetPathName()).absolutePath() + "/out.xml";

    answerNextDialog([](CExportSetDlg& d) {
        EXPECT_EQ(pageList(d)->count(), 3);
        // "全部" starts cleared: the pages are chosen in the list.
        EXPECT_FALSE(check(d, CExportSetDlg::IDC_ALL_PAGES)->isChecked());
        EXPECT_TRUE(pageList(d)->isEnabled());
        check(d, CExportSetDlg::IDC_FORMULA)->click();
        pageList(d)->item(1)->setSelected(true);
        button(d, CExportSetDlg::IDOK)->click();
    });
    const qor::OwnXmlExportResult r = qor::ExportOwnXml(*h, xml);
    ASSERT_TRUE(r.written) << r.detail.toStdString();
    QFile f(xml);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_EQ(text.count("<keyword_date"), 1) << "page 2 alone";
    EXPECT_TRUE(text.contains("formula=\"0\""));

    qor::ExportSetMembers m = qor::InitialExportSettings(h.get());
    answerNextDialog([](CExportSetDlg& d) {
        check(d, CExportSetDlg::IDC_ALL_PAGES)->click();
        check(d, CExportSetDlg::IDC_DATA)->click();
        button(d, CExportSetDlg::IDCANCEL)->click();
    });
    EXPECT_FALSE(qor::dlg::ExportSetDialogRunner().RunExportSettings(&m));
    EXPECT_EQ(m.m_bAllPages, 1);
    EXPECT_EQ(m.m_bData, 1);
    EXPECT_EQ(m.m_nPageCount, 3);
}

TEST(ExportSetDialogRunner, TheShownDialogStartsWithThePageListAndOkTakesPageOne) {
    auto h = reportWithPages(3);
    RunnerScope scope;
    qor::ExportSetMembers m = qor::InitialExportSettings(h.get());
    ASSERT_EQ(m.m_bAllPages, 1) << "a script's export takes every page";
    bool seen = false;
    answerNextDialog([&seen](CExportSetDlg& d) {
        seen = d.isVisible();
        EXPECT_FALSE(check(d, CExportSetDlg::IDC_ALL_PAGES)->isChecked());
        EXPECT_TRUE(check(d, CExportSetDlg::IDC_DATA)->isChecked());
        EXPECT_TRUE(pageList(d)->isEnabled());
        button(d, CExportSetDlg::IDOK)->click();
    });
    ASSERT_TRUE(qor::dlg::ExportSetDialogRunner().RunExportSettings(&m));
    EXPECT_TRUE(seen);
    EXPECT_EQ(m.m_bAllPages, 0);
    EXPECT_EQ(m.m_strPageList, "1/");
    EXPECT_EQ(m.m_nPageCount, 1);
}
