// The audit-office interface: the statement list and mapping files, the
// location of a statement's fields in a report, and the mapping dialog as
// qorview opens it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "exchange/cxmldochelper.h"
#include "fininterface/auditlayoutscan.h"
#include "finui/auditmappingdlg.h"
#include "fininterface/auditstatements.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::cmd_ids;

namespace {

const QString kBalance = QStringLiteral("企业资产负债表");
const QString kProfit = QStringLiteral("企业利润表");

void clearConfigDir() {
    QDir dir(GetConfigDir());
    for (const QString& f : dir.entryList(QDir::Files)) dir.remove(f);
}

using qortest::writeFile;

QString configFile(const QString& name) { return QDir(GetConfigDir()).filePath(name); }

// A report in format state: cols columns and rows rows, each row of labels
// given from column 1; every other cell stays empty.
std::unique_ptr<CReportHandle> makeReport(const QString& name, int rows, int cols,
                                          const QList<std::pair<int, QStringList>>& labels) {
    const QString path = qortest::freshDir("audit-" + name) + "/" + name + ".rep";
    auto h = std::make_unique<CReportHandle>(path);
    uint16_t r = uint16_t(rows), c = uint16_t(cols);
    EXPECT_EQ(h->AccessTableSize(1, &r, &c), 0);
    for (const auto& [row, texts] : labels)
        for (int i = 0; i < texts.size(); ++i) {
            if (!texts[i].isEmpty()) {
                EXPECT_EQ(h->SetCellValue({kCellLabel, 0, texts[i]}, row, i + 1), 0);
            }
        }
    return h;
}

const QStringList kHeader = {"项目", "行次", "年初数", "期末数",
                             "项目", "行次", "年初数", "期末数"};

std::unique_ptr<CReportHandle> twoGroupReport() {
    return makeReport(
        "two", 20, 8,
        {{1, {"资产负债表"}}, {2, {"会企01表", "", "", "", "", "", "单位:元"}}, {3, kHeader}});
}

class AuditFiles : public ::testing::Test {
protected:
    void SetUp() override {
        clearConfigDir();
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return r.defaultAnswer;
        };
        previous = qor::installUiServices(s);
    }
    void TearDown() override { qor::installUiServices(previous); }
    QStringList messages;
    qor::UiServices previous;
};

}  // namespace

TEST_F(AuditFiles, AnEmptyFolderGetsTheBuiltInListThatXmllintReads) {
    const CAuditStatementList list;
    EXPECT_EQ(list.GetCount(), 15);
    EXPECT_EQ(list.GetCount(2), 5);
    EXPECT_EQ(list.GetListName(0, 2), u"事业单位资产负债表");
    EXPECT_EQ(list.GetListName(15, 0), u"");
    EXPECT_EQ(list.GetListName(5, 2), u"");
    EXPECT_EQ(list.GetFormat(2).count("\r\n"), 6);
    // Two statements share one statement file, and so one mapping file.
    EXPECT_EQ(list.FindFileName(QStringLiteral("小企业现金流量表")), u"Q_XJLLB.TXT");
    EXPECT_EQ(QFileInfo(CAuditStatementList::MappingPath(
                            list.FindFileName(QStringLiteral("小企业现金流量表"))))
                  .fileName(),
              u"q_xjllb.config");

    const QString path = CAuditStatementList::DefinitionPath();
    ASSERT_TRUE(QFileInfo::exists(path));
    if (!qortest::needProgram("xmllint")) GTEST_SKIP() << "xmllint missing";
    auto xp = [&](const QString& q) {
        return QString::fromUtf8(qortest::run("xmllint", {"--xpath", q, path}).out).trimmed();
    };
    EXPECT_EQ(xp("count(/ReportData/List)"), u"15");
    EXPECT_EQ(xp("string(/ReportData/@version)"), u"0.8");
    EXPECT_EQ(xp("count(/ReportData/List[@filepath=''])"), u"15");
    EXPECT_EQ(xp("count(/ReportData/List/Format)"), u"15");
    // Attributes in the order the statement writers expect.
    const QString first =
        QString::fromUtf8(qortest::run("xmllint", {"--xpath", "/ReportData/List[1]", path}).out);
    EXPECT_LT(first.indexOf("listname="), first.indexOf("filename="));
    EXPECT_LT(first.indexOf("filename="), first.indexOf("filepath="));
    EXPECT_LT(first.indexOf("filepath="), first.indexOf("unittype="));
}

TEST_F(AuditFiles, ReportPathsOutsideGb2312SurviveAndStrictReadersAcceptTheFile) {
    const QString report = QStringLiteral("/tmp/报表€😀/年报.rep");
    {
        CAuditStatementList list;
        list.SetFilePath(kProfit, report);
        ASSERT_TRUE(list.Save());
    }
    EXPECT_EQ(CAuditStatementList().GetFilePath(1), report);
    if (!qortest::needProgram("xmllint")) GTEST_SKIP() << "xmllint missing";
    const auto r = qortest::run("xmllint", {"--noout", CAuditStatementList::DefinitionPath()});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

TEST_F(AuditFiles, AnotherVersionOrABrokenFileIsReplacedButKeptAside) {
    const QString path = CAuditStatementList::DefinitionPath();
    writeFile(path,
              "<?xml version='1.0' encoding='GB2312'?>\r\n<ReportData version=\"0.7\">"
              "<List listname=\"x\" filename=\"x.txt\" filepath=\"/keep/me.rep\" unittype=\"1\">"
              "<Format>a,C1</Format></List></ReportData>");
    EXPECT_EQ(CAuditStatementList().GetCount(), 15);
    QStringList kept = QDir(GetConfigDir()).entryList({"shenjishu.xml.*.old"});
    ASSERT_EQ(kept.size(), 1);
    QFile old(configFile(kept[0]));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(old.readAll().contains("/keep/me.rep"));

    writeFile(path, "<ReportData version=\"0.8\"><List");
    EXPECT_EQ(CAuditStatementList().GetCount(), 15);
    EXPECT_EQ(QDir(GetConfigDir()).entryList({"shenjishu.xml.*.old"}).size(), 2);
}

TEST_F(AuditFiles, AListWithoutFieldsKeepsTheOthersInStep) {
    writeFile(CAuditStatementList::DefinitionPath(),
              "<ReportData version=\"0.8\">\n"
              "  <List listname=\"A\" filename=\"a.txt\" filepath=\"\" unittype=\"1\"/>\n"
              "  <List listname=\"B\" filename=\"b.txt\" filepath=\"\" unittype=\"1\">"
              "<Format>f,C1</Format></List>\n</ReportData>");
    const CAuditStatementList list;
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetFormat(0), u"");
    EXPECT_EQ(list.GetFormat(1), u"f,C1");
}

TEST_F(AuditFiles, MappingFilesNeverLeaveTheConfigFolderNorNameTheList) {
    const QString dir = QDir(GetConfigDir()).absolutePath();
    EXPECT_EQ(CAuditStatementList::MappingPath("Q_ZCFZB.TXT"), dir + "/q_zcfzb.config");
    EXPECT_EQ(CAuditStatementList::MappingPath("../../x.txt"), dir + "/x.config");
    EXPECT_EQ(CAuditStatementList::MappingPath("..\\..\\y.Txt"), dir + "/y.config");
    EXPECT_EQ(CAuditStatementList::MappingPath("shenjishu.xml"), dir + "/shenjishu.xml.config");
}

TEST_F(AuditFiles, MappingsRoundTripAndAFileOutOfStepStopsWithAMessage) {
    CAuditIfaceDef def;
    def.SetFormat(LoadErrorText(qor::str::kAuditFieldsAmountC6));
    def.ParseFormat(2);
    ASSERT_EQ(def.EntryCount(), 14);
    EXPECT_EQ(def.EntryGroup(6), u"0");
    EXPECT_EQ(def.EntryGroup(7), u"1");
    EXPECT_EQ(def.EntryName(7), u"报表编号");
    // A line without a comma is the field name as a whole.
    def.SetFormat("甲\r\n乙,C1");
    def.ParseFormat(1);
    ASSERT_EQ(def.EntryCount(), 2);
    EXPECT_EQ(def.EntryName(0), u"甲");

    CAuditIfaceDef built;
    auto report = twoGroupReport();
    ASSERT_TRUE(built.BuildMapping(report.get(), kBalance));
    ASSERT_EQ(built.GetGroupCount(), 2);
    built.SetCell(1, "项目", "Z9");
    ASSERT_TRUE(built.SaveMapping());
    const QString mapping = built.MappingPath();
    EXPECT_EQ(QFileInfo(mapping).fileName(), u"q_zcfzb.config");

    CAuditIfaceDef loaded;
    ASSERT_TRUE(loaded.LoadMapping(kBalance));
    EXPECT_EQ(loaded.GetGroupCount(), 2);
    EXPECT_EQ(loaded.GetCell(1, "项目"), u"Z9");
    EXPECT_EQ(loaded.GetCell(1, "期末数"), built.GetCell(1, "期末数"));
    EXPECT_TRUE(messages.isEmpty());

    if (qortest::needProgram("xmllint")) {
        auto xp = [&](const QString& q) {
            return QString::fromUtf8(qortest::run("xmllint", {"--xpath", q, mapping}).out)
                .trimmed();
        };
        EXPECT_EQ(xp("count(/ReportData/Area)"), u"2");
        EXPECT_EQ(xp("count(/ReportData/Area/Cell)"), u"16");
        EXPECT_EQ(xp("string(/ReportData/Area[2]/Cell[1]/@name)"), u"报表编号");
    }

    // Second cell named out of step; then more cells than the list has.
    writeFile(mapping,
              "<ReportData><Area><Cell name=\"报表编号\">A1</Cell>"
              "<Cell name=\"报告期\">x</Cell><Cell name=\"报告日\">y</Cell></Area></ReportData>");
    CAuditIfaceDef bad;
    ASSERT_TRUE(bad.LoadMapping(kBalance));
    EXPECT_EQ(messages, QStringList{"OpenDefInterfaceXML error"});
    EXPECT_EQ(bad.GetCell(0, "报表编号"), u"A1");
    EXPECT_EQ(bad.GetCell(0, "报告日"), u"");

    QByteArray many = "<ReportData><Area>";
    for (const QString& line :
         CAuditStatementList::FormatLines(LoadErrorText(qor::str::kAuditFieldsBalanceSheet)))
        many += "<Cell name=\"" + CAuditStatementList::FieldName(line).toUtf8() + "\">c</Cell>";
    many += "<Cell name=\"extra\">d</Cell></Area></ReportData>";
    writeFile(mapping, many);
    CAuditIfaceDef over;
    ASSERT_TRUE(over.LoadMapping(kBalance));
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(over.GetCell(0, "期末数"), u"c");
}

TEST_F(AuditFiles, TheLayoutScanFindsHeaderGroupsAndAreasInFormatState) {
    auto report = twoGroupReport();
    ASSERT_TRUE(report->IsFormatState());
    CAuditLayoutScan scan(report.get(), kBalance);
    EXPECT_EQ(scan.Mode(), 1);
    EXPECT_EQ(scan.HeaderLine(), 3);
    EXPECT_EQ(scan.CountGroups(), 2);
    EXPECT_EQ(scan.GroupStart(1), 5);
    EXPECT_EQ(scan.Locate("期末数", 1), u"H4:H20");
    EXPECT_EQ(scan.Locate("报表编号", 0), u"A2");
    EXPECT_EQ(scan.Locate("货币单位", 0), u"G2");
    EXPECT_EQ(scan.Locate("编制单位", 0), u"单位名称");
    EXPECT_EQ(scan.Locate("报告期", 0), u"年月日");
    EXPECT_EQ(CAuditLayoutScan(report.get(), kProfit).Locate("报告期", 0), u"年月");
    EXPECT_EQ(scan.Locate("报告日", 0), u"年月日");
    EXPECT_EQ(scan.Locate("x", 20), u"");
    // A missing title takes the column after the previous field's.
    EXPECT_EQ(scan.Locate("年初数", 0), u"C4:C20");
    EXPECT_EQ(scan.Locate("金额", 0), u"D4:D20");
    // ...but never one past the table.
    EXPECT_EQ(scan.Locate("期末数", 1), u"H4:H20");
    EXPECT_EQ(scan.Locate("金额", 1), u"");
}

TEST_F(AuditFiles, TheLayoutScanCopesWithOddTables) {
    // Equal neighbours are no header; no header means areas from row 1.
    auto flat = makeReport("flat", 10, 3, {{3, {"项目", "项目", "金额"}}, {1, {"第1表"}}});
    CAuditLayoutScan noHeader(flat.get(), kBalance);
    EXPECT_EQ(noHeader.HeaderLine(), 0);
    EXPECT_EQ(noHeader.CountGroups(), 1);
    EXPECT_EQ(noHeader.Locate("报表编号", 0), u"A1");  // a digit before 表
    EXPECT_EQ(noHeader.Locate("金额", 0), u"A1:A10");
    EXPECT_EQ(noHeader.Locate("货币单位", 0), u"");

    // A header on the last row leaves no rows for the data.
    auto last = makeReport("last", 2, 2, {{2, {"项目", "金额"}}, {1, {"封面"}}});
    CAuditLayoutScan lastScan(last.get(), kBalance);
    EXPECT_EQ(lastScan.HeaderLine(), 2);
    EXPECT_EQ(lastScan.Locate("金额", 0), u"");
    EXPECT_EQ(lastScan.Locate("报表编号", 0), u"");

    // Twenty-two copies side by side count as twenty.
    QStringList wide;
    for (int i = 0; i < 22; ++i)
        wide << "项目"
             << "金额";
    auto many = makeReport("many", 5, 44, {{1, wide}});
    CAuditLayoutScan manyScan(many.get(), kBalance);
    EXPECT_EQ(manyScan.CountGroups(), 20);
    EXPECT_EQ(manyScan.GroupStart(19), 39);
    CAuditIfaceDef def;
    ASSERT_TRUE(def.BuildMapping(many.get(), kBalance));
    EXPECT_EQ(def.GetGroupCount(), 20);
    EXPECT_EQ(def.GetCell(19, "项目"), u"AM2:AM5");
}

// A report opened as saved has no current page; mapped in data state it
// gives what the same report gives in format state.
TEST_F(AuditFiles, DataAndFormatStateCopiesOfAReportMapAlike) {
    auto format = twoGroupReport();
    const QString formatPath = format->GetPathName();
    ASSERT_EQ(format->Save(), 0);
    format.reset();

    auto data = twoGroupReport();
    const QString dataPath = data->GetPathName();
    ASSERT_EQ(data->EnterDataState(), 0);
    ASSERT_EQ(data->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(data->SetCurPage(2), 0);
    // Values on a page never pass for the table's own text.
    ASSERT_EQ(data->SetCellValue(CellValue::ofNumber(2004), 2, 2), 0);
    ASSERT_EQ(data->SetCellValue(CellValue::ofNumber(7), 5, 3), 0);
    ASSERT_EQ(data->Save(), 0);
    data.reset();

    auto mapped = [](const QString& path, bool formatState) {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        EXPECT_TRUE(h.IsOpen());
        EXPECT_EQ(h.GetCurPage(), 0);
        if (formatState) {
            EXPECT_EQ(h.EnterFormatState(), 0);
        }
        EXPECT_EQ(bool(h.IsFormatState()), formatState);
        CAuditIfaceDef def;
        EXPECT_TRUE(def.BuildMapping(&h, kBalance));
        QStringList cells{QString::number(def.GetGroupCount())};
        for (int i = 0; i < def.EntryCount(); ++i)
            cells << def.EntryGroup(i) + "/" + def.EntryName(i) + "=" + def.EntryCell(i);
        return cells;
    };
    const QStringList fromFormat = mapped(formatPath, true);
    const QStringList fromData = mapped(dataPath, false);
    EXPECT_EQ(fromData, fromFormat);
    ASSERT_FALSE(fromData.isEmpty());
    EXPECT_EQ(fromData.first(), u"2");
    for (const char* expected : {"报表编号=A2", "货币单位=G2", "期末数=D4:D20", "期末数=H4:H20"})
        EXPECT_TRUE(fromData.join('|').contains(QString::fromUtf8(expected))) << expected;
}

// ---- the dialog, opened from qorview's menu --------------------------------

namespace {

class AuditDialog : public frametest::FrameFixture {
protected:
    void SetUp() override {
        clearConfigDir();
        FrameFixture::SetUp();
        answerDialogs = false;
        rep = qortest::freshDir("audit-dlg") + "/balance.rep";
        auto h = twoGroupReportAt(rep);
        ASSERT_EQ(h->Save(), 0);
    }
    void TearDown() override {
        CQorDialog::SetModalHook({});
        FrameFixture::TearDown();
    }
    static std::unique_ptr<CReportHandle> twoGroupReportAt(const QString& path) {
        auto h = std::make_unique<CReportHandle>(path);
        uint16_t r = 20, c = 8;
        EXPECT_EQ(h->AccessTableSize(1, &r, &c), 0);
        for (int i = 0; i < kHeader.size(); ++i)
            EXPECT_EQ(h->SetCellValue({kCellLabel, 0, kHeader[i]}, 3, i + 1), 0);
        EXPECT_EQ(h->SetCellValue({kCellLabel, 0, "会企01表"}, 1, 1), 0);
        EXPECT_EQ(h->AppendRowColPage(1, 2), 0);
        return h;
    }
    // Runs 设置 on the open report with what the user does.
    int runMapping(const std::function<void(CAuditMappingDlg&)>& user) {
        int result = 0;
        CQorDialog::SetModalHook([&](CQorDialog& d) {
            auto* dlg = dynamic_cast<CAuditMappingDlg*>(&d);
            ASSERT_NE(dlg, nullptr);
            user(*dlg);
            result = dlg->Result();
        });
        EXPECT_TRUE(frame->Router().Query(kCmdAuditMapping).enabled);
        EXPECT_TRUE(frame->Router().Execute(kCmdAuditMapping));
        return result;
    }
    static QComboBox* combo(CAuditMappingDlg& d) {
        return static_cast<QComboBox*>(d.GetDlgItem(CAuditMappingDlg::IDC_STATEMENT));
    }
    static QLineEdit* cell(CAuditMappingDlg& d, int k) {
        return static_cast<QLineEdit*>(d.GetDlgItem(CAuditMappingDlg::IDC_FIRST_CELL + k));
    }
    static void click(CAuditMappingDlg& d, int id) {
        static_cast<QPushButton*>(d.GetDlgItem(id))->click();
    }
    QString rep;
};

}  // namespace

TEST_F(AuditDialog, ChoosingEditingAndConfirmingWritesTheListAndTheMapping) {
    ASSERT_NE(frame->OpenDocumentFile(rep), nullptr);
    const int result = runMapping([&](CAuditMappingDlg& d) {
        EXPECT_EQ(combo(d)->currentIndex(), -1);
        EXPECT_FALSE(cell(d, 0)->isVisibleTo(&d));
        d.OnOK();  // nothing chosen
        EXPECT_EQ(d.Result(), 0);
        combo(d)->setCurrentIndex(0);
        EXPECT_EQ(d.GroupCount(), 2);
        auto* prev = d.GetDlgItem(CAuditMappingDlg::IDC_PREV_GROUP);
        auto* next = d.GetDlgItem(CAuditMappingDlg::IDC_NEXT_GROUP);
        EXPECT_FALSE(prev->isEnabled());
        EXPECT_TRUE(next->isEnabled());
        EXPECT_EQ(cell(d, 0)->text(), u"A1");
        EXPECT_TRUE(cell(d, 7)->isVisibleTo(&d));
        EXPECT_FALSE(cell(d, 8)->isVisibleTo(&d));
        cell(d, 4)->setText("B5:B9");
        click(d, CAuditMappingDlg::IDC_NEXT_GROUP);
        EXPECT_EQ(d.CurrentGroup(), 1);
        EXPECT_TRUE(prev->isEnabled());
        EXPECT_FALSE(next->isEnabled());
        EXPECT_EQ(static_cast<QGroupBox*>(d.GetDlgItem(CAuditMappingDlg::IDC_GROUP_BOX))->title(),
                  u"第2组数据位置对照");
        EXPECT_EQ(cell(d, 7)->text(), u"H4:H20");
        click(d, CAuditMappingDlg::IDC_PREV_GROUP);
        EXPECT_EQ(cell(d, 4)->text(), u"B5:B9");
        EXPECT_FALSE(QFileInfo::exists(configFile("q_zcfzb.config")));
        d.OnOK();
    });
    EXPECT_EQ(result, CQorDialog::IDOK);
    EXPECT_TRUE(said(LoadErrorText(qor::str::kChooseAFile)));
    CAuditIfaceDef def;
    ASSERT_TRUE(def.LoadMapping(kBalance));
    EXPECT_EQ(def.GetCell(0, "项目"), u"B5:B9");
    EXPECT_EQ(CAuditStatementList().GetFilePath(0), frame->ActiveDocument()->GetPathName());

    // The report named by a statement opens with it chosen and its mapping.
    runMapping([&](CAuditMappingDlg& d) {
        EXPECT_EQ(combo(d)->currentIndex(), 0);
        EXPECT_EQ(cell(d, 4)->text(), u"B5:B9");
        d.OnCancel();
    });
    EXPECT_EQ(CAuditIfaceDef().LoadMapping(kBalance), true);
}

TEST_F(AuditDialog, CancelNeverTouchesAMappingConfirmedBefore) {
    ASSERT_NE(frame->OpenDocumentFile(rep), nullptr);
    // The profit statement is confirmed first.
    runMapping([&](CAuditMappingDlg& d) {
        combo(d)->setCurrentIndex(1);
        cell(d, 4)->setText("Q1");
        d.OnOK();
    });
    const QString profit = configFile("q_lrb.config");
    ASSERT_TRUE(QFileInfo::exists(profit));
    // A new mapping for the balance sheet, then back to the profit
    // statement, then Cancel.
    runMapping([&](CAuditMappingDlg& d) {
        combo(d)->setCurrentIndex(0);
        combo(d)->setCurrentIndex(1);
        EXPECT_EQ(cell(d, 4)->text(), u"Q1");
        d.OnCancel();
    });
    EXPECT_TRUE(QFileInfo::exists(profit));
    EXPECT_FALSE(QFileInfo::exists(configFile("q_zcfzb.config")));
    const CAuditStatementList list;
    EXPECT_EQ(list.GetFilePath(0), u"");
    EXPECT_EQ(list.GetFilePath(1), frame->ActiveDocument()->GetPathName());
}

TEST_F(AuditDialog, AChangedTableRebuildsTheMappingOnlyInMemoryUntilOk) {
    ASSERT_NE(frame->OpenDocumentFile(rep), nullptr);
    runMapping([&](CAuditMappingDlg& d) {
        combo(d)->setCurrentIndex(0);
        d.OnOK();
    });
    // A stored mapping of one group no longer fits the two-group table.
    const QString mapping = configFile("q_zcfzb.config");
    writeFile(mapping, "<ReportData><Area><Cell name=\"报表编号\">Z1</Cell></Area></ReportData>");
    runMapping([&](CAuditMappingDlg& d) {
        EXPECT_EQ(d.GroupCount(), 2);
        EXPECT_EQ(cell(d, 0)->text(), u"A1");
        d.OnCancel();
    });
    QFile f(mapping);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Z1"));
}

TEST_F(AuditDialog, TheCommandsNeedASavedReportAndTheCountIsShown) {
    newReport();
    int opened = 0;
    CQorDialog::SetModalHook([&](CQorDialog&) { ++opened; });
    EXPECT_TRUE(frame->Router().Execute(kCmdAuditMapping));
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(said(LoadErrorText(qor::str::kSaveBeforeMapping)));
    ASSERT_TRUE(frame->Router().Execute(kCmdAuditStatementCount));
    // The number says what it counts.
    EXPECT_EQ(messages.last(), LoadErrorText(qor::str::kAuditInterfaceCount).arg(15));
    EXPECT_TRUE(messages.last().contains(u"15 张报表"));
}
