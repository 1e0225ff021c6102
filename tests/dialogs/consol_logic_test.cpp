// The consolidation wizards' step logic without windows, and the command
// lines their results make through the document's builders.
#include "dialogs/consol_logic.h"

#include <gtest/gtest.h>

#include "document/cmd_consolidate.h"
#include "resources/stringids.h"

using namespace qor;
using namespace qor::consol;

namespace {
const QString kYear = QStringLiteral("年");
const QString kUnitName = QStringLiteral("单位名称");
const QString kUnitCode = QStringLiteral("单位编号");

QStringList numbers(int from, int count) {
    QStringList out;
    for (int i = 0; i < count; ++i) out << QString::number(from + i);
    return out;
}
}  // namespace

TEST(ConsolLogic, KeywordComboListsPlacedKeywordsInSlotOrder) {
    KeywordFlags all{1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(KeywordEntries(all, QStringLiteral("部门")),
              (QStringList{kUnitName, kUnitCode, kYear, QStringLiteral("季"), QStringLiteral("月"),
                           QStringLiteral("日"), QStringLiteral("部门")}));
    // The custom keyword not placed, or placed without a name: six at most.
    KeywordFlags noCustom{1, 1, 1, 1, 1, 1, 0};
    EXPECT_EQ(KeywordEntries(noCustom, QStringLiteral("部门")).size(), 6);
    EXPECT_EQ(KeywordEntries(all, QString()).size(), 6);
    KeywordFlags some{0, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(KeywordEntries(some, QString()), (QStringList{kUnitCode, kYear}));
    EXPECT_TRUE(KeywordEntries(KeywordFlags{}, QString()).isEmpty());
}

TEST(ConsolLogic, ValueComboFollowsTheChosenKeyword) {
    KeywordValueLists v;
    v.years = {QStringLiteral("2004"), QStringLiteral("2005")};
    v.unitNames = {QStringLiteral("Alpha")};
    v.custom = {QStringLiteral("7")};
    v.quarters = numbers(1, 6);
    EXPECT_EQ(KeywordValueEntries(kYear, v, QString()), v.years);
    EXPECT_EQ(KeywordValueEntries(kUnitName, v, QString()), v.unitNames);
    EXPECT_EQ(KeywordValueEntries(QStringLiteral("部门"), v, QStringLiteral("部门")), v.custom);
    EXPECT_TRUE(KeywordValueEntries(QStringLiteral("部门"), v, QString()).isEmpty());
    EXPECT_TRUE(KeywordValueEntries(QString(), v, QString()).isEmpty());
    // A list longer than the combo holds is cut to its capacity.
    EXPECT_EQ(KeywordValueEntries(QStringLiteral("季"), v, QString()), numbers(1, 4));
    // A custom keyword named like a built-in one: the first match wins.
    EXPECT_EQ(KeywordValueEntries(kYear, v, kYear), v.years);
}

TEST(ConsolLogic, VariableLineNames) {
    EXPECT_EQ(VarLineEntries(1, 3),
              (QStringList{QStringLiteral("V_A"), QStringLiteral("V_B"), QStringLiteral("V_C")}));
    EXPECT_EQ(VarLineEntries(2, 2), (QStringList{QStringLiteral("V_1"), QStringLiteral("V_2")}));
    const QStringList wide = VarLineEntries(1, 30);
    ASSERT_EQ(wide.size(), 20);
    EXPECT_EQ(wide.last(), QStringLiteral("V_T"));
    EXPECT_EQ(VarLineEntries(2, 30).last(), QStringLiteral("V_20"));
    EXPECT_EQ(VarLineEntries(0, 5), QStringList{QStringLiteral("不存在可变区！")});
    EXPECT_EQ(VarLineEntries(3, 5), QStringList{QStringLiteral("不存在可变区！")});
    EXPECT_TRUE(VarLineEntries(1, -4).isEmpty());
}

TEST(ConsolLogic, ConditionTerms) {
    const QString eq = QStringLiteral("=");
    EXPECT_EQ(AppendPageTerm(QString(), kYear, eq, QStringLiteral("2004")),
              QStringLiteral("年=2004"));
    EXPECT_EQ(AppendPageTerm(QString(), kUnitName, eq, QStringLiteral("Alpha")),
              QStringLiteral("单位名称=\"Alpha\""));
    EXPECT_EQ(AppendPageTerm(QStringLiteral("年=2004 AND "), kUnitCode, QStringLiteral("<>"),
                             QStringLiteral("01")),
              QStringLiteral("年=2004 AND 单位编号<>\"01\""));
    // Any part missing: nothing appended.
    EXPECT_EQ(AppendPageTerm(QStringLiteral("x"), kYear, QString(), QStringLiteral("2004")),
              QStringLiteral("x"));
    EXPECT_EQ(AppendPageTerm(QStringLiteral("x"), kYear, eq, QString()), QStringLiteral("x"));
    EXPECT_EQ(AppendAnd(QStringLiteral("a")), QStringLiteral("a AND "));
    EXPECT_EQ(AppendOr(QString()), QStringLiteral(" OR "));
    // Line terms are never quoted; without an area there is no line.
    EXPECT_EQ(AppendVarTerm(QString(), 1, QStringLiteral("V_A"), QStringLiteral(">"),
                            QStringLiteral("100")),
              QStringLiteral("V_A>100"));
    EXPECT_EQ(AppendVarTerm(QString(), 0, QStringLiteral("不存在可变区！"), QStringLiteral(">"),
                            QStringLiteral("100")),
              QString());
}

TEST(ConsolLogic, DirectionStepRefusesANewReportWithoutName) {
    TabHuiZongWizardMembers m;
    EXPECT_EQ(LeaveDirectionStep(&m, true, QString()), qor::str::kNoNewReportName);
    EXPECT_EQ(LeaveDirectionStep(&m, true, QStringLiteral("  ")), qor::str::kNoNewReportName);
    EXPECT_TRUE(m.newReportName.isEmpty());
    EXPECT_EQ(LeaveDirectionStep(&m, true, QStringLiteral("sum")), 0);
    EXPECT_EQ(m.toNewReport, 1);
    EXPECT_EQ(m.newReportName, QStringLiteral("sum"));
    EXPECT_EQ(LeaveDirectionStep(&m, false, QString()), 0);
    EXPECT_EQ(m.toNewReport, 0);
}

TEST(ConsolLogic, PositionStepNeedsAKeyOnlyWithAVariableArea) {
    TabHuiZongWizardMembers m;
    m.varKind = 1;
    m.byPosition = 0;
    EXPECT_EQ(LeavePositionStep(&m, QString()), qor::str::kChooseKeyValue);
    EXPECT_EQ(LeavePositionStep(&m, QStringLiteral("V_B")), 0);
    EXPECT_EQ(m.keyValue, QStringLiteral("V_B"));
    EXPECT_EQ(m.byPosition, 0);

    TabHuiZongWizardMembers flat;
    flat.byPosition = 0;
    EXPECT_EQ(LeavePositionStep(&flat, QString()), 0);
    EXPECT_EQ(flat.byPosition, 1);
    EXPECT_EQ(BuildTotalCommand(flat), QStringLiteral("TOTAL "));
}

TEST(ConsolLogic, StepResultsMakeTheCommandLines) {
    TabHuiZongWizardMembers m;
    m.varKind = 1;
    m.varExtent = 3;
    EXPECT_EQ(BuildTotalCommand(m), QStringLiteral("TOTAL "));
    ASSERT_EQ(LeaveDirectionStep(&m, true, QStringLiteral("sum")), 0);
    m.pageCondition = AppendPageTerm(QString(), kYear, QStringLiteral("="), QStringLiteral("2004"));
    m.byPosition = 0;
    ASSERT_EQ(LeavePositionStep(&m, VarLineEntries(m.varKind, m.varExtent).first()), 0);
    EXPECT_EQ(BuildTotalCommand(m), QStringLiteral("TOTAL TO \"sum\"  KEY V_A FOR 年=2004"));

    VHuiZongWizardMembers v;
    v.varKind = 1;
    v.varExtent = 2;
    EXPECT_EQ(BuildGTotalCommand(v), QStringLiteral("GTOTAL "));
    v.varCondition = AppendVarTerm(QString(), v.varKind, QStringLiteral("V_A"), QStringLiteral(">"),
                                   QStringLiteral("100"));
    EXPECT_EQ(BuildGTotalCommand(v), QStringLiteral("GTOTAL FOR ; V_A>100"));
}
