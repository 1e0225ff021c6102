// Consolidation commands: the exact TOTAL and GTOTAL lines built from the
// wizards' members, what the wizards are preset with, and what happens
// around the command.
#include "document/cmd_consolidate.h"

#include <gtest/gtest.h>

#include "document/cmd_support.h"
#include "document/doc_commandhook.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

struct CommandLog {
    QStringList lines;
    QList<int> modes;
    std::function<int(CQorsDoc*)> action;
    CommandLog() {
        SetCommandRunner([this](CQorsDoc* doc, const QString& line, int mode) {
            lines << line;
            modes << mode;
            return action ? action(doc) : 0;
        });
    }
    ~CommandLog() { SetCommandRunner({}); }
};

// Both wizards answered with the members set here.
struct WizardDialogs {
    TabHuiZongWizardMembers page;
    VHuiZongWizardMembers var;
    TabHuiZongWizardMembers presetSeen;
    ScopedDialog<TabHuiZongWizardMembers> pageWizard{
        [this](const TabHuiZongWizardMembers& m) -> std::optional<TabHuiZongWizardMembers> {
            presetSeen = m;
            TabHuiZongWizardMembers out = page;
            out.varKind = m.varKind;
            out.varExtent = m.varExtent;
            return out;
        }};
    ScopedDialog<VHuiZongWizardMembers> varWizard{
        [this](const VHuiZongWizardMembers&) { return std::optional(var); }};
};

}  // namespace

TEST(CmdConsolidate, TotalTexts) {
    TabHuiZongWizardMembers m;
    EXPECT_EQ(BuildTotalCommand(m), QStringLiteral("TOTAL "));
    m.toNewReport = 1;
    m.newReportName = QStringLiteral("sum");
    m.byPosition = 0;
    m.keyValue = QStringLiteral("V_A");
    m.pageCondition = QStringLiteral("年=2004");
    m.varKind = 1;
    EXPECT_EQ(BuildTotalCommand(m), QStringLiteral("TOTAL TO \"sum\"  KEY V_A FOR 年=2004"));
    // Without a variable area there is no key: by position.
    m.varKind = 0;
    EXPECT_EQ(BuildTotalCommand(m), QStringLiteral("TOTAL TO \"sum\"  FOR 年=2004"));
    m.toNewReport = 0;
    m.varKind = 2;
    m.pageCondition.clear();
    EXPECT_EQ(BuildTotalCommand(m), QStringLiteral("TOTAL  KEY V_A"));
}

TEST(CmdConsolidate, GTotalTexts) {
    VHuiZongWizardMembers m;
    EXPECT_EQ(BuildGTotalCommand(m), QStringLiteral("GTOTAL "));
    m.varCondition = QStringLiteral("V_A>100");
    EXPECT_EQ(BuildGTotalCommand(m), QStringLiteral("GTOTAL FOR ; V_A>100"));
    m.pageCondition = QStringLiteral("年=2004 AND 月>=6");
    EXPECT_EQ(BuildGTotalCommand(m), QStringLiteral("GTOTAL FOR 年=2004 AND 月>=6; V_A>100"));
    m.varCondition.clear();
    EXPECT_EQ(BuildGTotalCommand(m), QStringLiteral("GTOTAL FOR 年=2004 AND 月>=6"));
}

TEST(CmdConsolidate, WizardPresetFromThePages) {
    auto doc = newDoc(10, 30);
    CReportHandle* r = doc->GetReport();
    CellRef year{0, 1, 1}, name{0, 1, 2};
    ASSERT_EQ(r->AccessKeywordCell(1, 2, &year), 0);
    ASSERT_EQ(r->AccessKeywordCell(1, 0, &name), 0);
    int kind = 1, start = 3, extent = 2;
    ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(r->AppendRowColPage(52, 2), 0);  // 53 pages
    const int years[] = {2004, 2005, 2004};
    for (int p = 1; p <= 3; ++p) {
        ASSERT_EQ(r->SetPageKeyword(2, KeywordValue{1, double(years[p - 1]), {}}, p), 0);
        ASSERT_EQ(r->SetPageKeyword(0, KeywordValue{2, 0, QStringLiteral("单位%1").arg(p % 2)}, p),
                  0);
    }
    // Past the first 50 pages nothing is gathered.
    ASSERT_EQ(r->SetPageKeyword(2, KeywordValue{1, 1999, {}}, 51), 0);

    const TabHuiZongWizardMembers m = PresetTabHuiZongWizard(*doc);
    EXPECT_EQ(m.varKind, 1);
    EXPECT_EQ(m.varExtent, 20);  // 30 columns, at most 20 offered
    EXPECT_EQ(m.keywordFlags, (KeywordFlags{1, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(m.values.years, (QStringList{"2004", "2005"}));
    EXPECT_EQ(m.values.unitNames, (QStringList{"单位1", "单位0"}));
    EXPECT_TRUE(m.values.unitCodes.isEmpty());
    EXPECT_EQ(m.toNewReport, 0);
    EXPECT_EQ(m.byPosition, 1);
    EXPECT_EQ(CustomKeywordName, QString());
}

TEST(CmdConsolidate, PageConsolidationRunsTheLineAndShowsTheLastPage) {
    auto doc = newDoc(10, 6);
    ASSERT_TRUE(doc->EnterDataState());
    UiRecorder ui;
    CommandLog log;
    // The command language appends the result page.
    log.action = [](CQorsDoc* d) { return int(d->GetReport()->AppendRowColPage(1, 2)); };
    WizardDialogs dialogs;
    dialogs.page.pageCondition = QStringLiteral("年=2004");
    EXPECT_EQ(OnPageConsolidation(*doc), 0);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("TOTAL  FOR 年=2004")});
    EXPECT_EQ(log.modes, QList<int>{kCommandRunMode});
    EXPECT_EQ(doc->ViewState().pageCount, 2);
    EXPECT_EQ(doc->ViewState().curPage, 2);
    EXPECT_EQ(doc->GetReport()->GetCurPage(), 2);

    // A new report needs its name; a failing command changes nothing.
    dialogs.page.toNewReport = 1;
    EXPECT_NE(OnPageConsolidation(*doc), 0);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kNoNewReportName)});
    EXPECT_EQ(log.lines.size(), 1);
    dialogs.page.newReportName = QStringLiteral("汇总");
    log.action = [](CQorsDoc*) { return -1; };
    doc->SetModifiedFlag(false);
    EXPECT_EQ(OnPageConsolidation(*doc), -1);
    EXPECT_EQ(log.lines.last(), QStringLiteral("TOTAL TO \"汇总\"  FOR 年=2004"));
    EXPECT_FALSE(doc->IsModified());

    log.action = nullptr;
    dialogs.var.varCondition = QStringLiteral("V_A>100");
    EXPECT_EQ(OnVarAreaConsolidation(*doc), 0);
    EXPECT_EQ(log.lines.last(), QStringLiteral("GTOTAL FOR ; V_A>100"));
    EXPECT_TRUE(doc->IsModified());
}

TEST(CmdConsolidate, AuditMappingNeedsASavedReport) {
    auto doc = newDoc();
    UiRecorder ui;
    int runs = 0;
    ScopedDialog<AuditMappingRequest> mapping([&runs](const AuditMappingRequest& r) {
        ++runs;
        return std::optional(r);
    });
    EXPECT_FALSE(OnAuditMapping(*doc));
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kSaveBeforeMapping)});
    EXPECT_EQ(runs, 0);
    ASSERT_TRUE(doc->Files().OnSaveDocument(testDir() + "/a.rep"));
    EXPECT_TRUE(OnAuditMapping(*doc));
    EXPECT_EQ(runs, 1);
}
