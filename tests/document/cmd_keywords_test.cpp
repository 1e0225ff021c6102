// Keyword commands: placing, naming, cancelling and filling keywords, their
// offsets, and what a save keeps of them.
#include "document/cmd_keywords.h"

#include <gtest/gtest.h>

#include "document/cmd_support.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

CellRef keywordCell(CQorsDoc& doc, int slot) {
    CellRef c;
    doc.GetReport()->AccessKeywordCell(0, slot, &c);
    return c;
}

}  // namespace

TEST(CmdKeywords, ALongCustomNameIsRefusedNotCut) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    doc->Selection().SetCurrentCell(1, 2);
    SetKeywordDlgMembers m = PresetSetKeywordDlg(*doc);
    m.kind = kKeywordCustom;
    m.customName = QStringLiteral("一二三四五六七八九十一二三四五");  // 15
    m.customType = 0;
    EXPECT_NE(ApplySetKeywordDlg(*doc, m), 0);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kKeywordNameTooLong)});
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetUserKeywordName(), QString());
    EXPECT_EQ(keywordCell(*doc, 6).row, 0);
    EXPECT_FALSE(doc->IsModified());

    m.customName.chop(1);  // 14 fit
    EXPECT_EQ(ApplySetKeywordDlg(*doc, m), 0);
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetUserKeywordName(), m.customName);
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetUserKeywordType(), 0);
    EXPECT_EQ(keywordCell(*doc, 6), (CellRef{0, 2, 3}));
    EXPECT_EQ(CustomKeywordName, m.customName);
    EXPECT_TRUE(doc->IsModified());

    m.customName = QStringLiteral("  ");
    EXPECT_NE(ApplySetKeywordDlg(*doc, m), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kKeywordNameEmpty)));

    // The preset knows the keyword at the current cell.
    EXPECT_EQ(PresetSetKeywordDlg(*doc).kind, 6);
}

TEST(CmdKeywords, PlaceEnterOffsetCancelAndReopen) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    SetKeywordDlgMembers set;
    doc->Selection().SetCurrentCell(0, 0);
    set.kind = kKeywordYear;
    ASSERT_EQ(ApplySetKeywordDlg(*doc, set), 0);
    doc->Selection().SetCurrentCell(0, 3);
    set.kind = kKeywordUnitName;
    ASSERT_EQ(ApplySetKeywordDlg(*doc, set), 0);
    EXPECT_EQ(keywordCell(*doc, 2), (CellRef{0, 1, 1}));
    EXPECT_EQ(keywordCell(*doc, 0), (CellRef{0, 1, 4}));

    KeywordOffsetDlgMembers off = PresetKeywordOffsetDlg(*doc);
    EXPECT_EQ(off.enableYear, 1);
    EXPECT_EQ(off.enableMonth, 0);
    off.offsets[2] = 25;
    off.offsets[4] = 99;  // month is not placed: left alone
    EXPECT_EQ(ApplyKeywordOffsetDlg(*doc, off), 0);
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetKeywordOffset(2), 25);
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetKeywordOffset(4), 0);
    off.offsets[2] = 301;
    EXPECT_NE(ApplyKeywordOffsetDlg(*doc, off), 0);
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetKeywordOffset(2), 25);

    ASSERT_TRUE(doc->EnterDataState());
    EnterKeywordDlgMembers enter = PresetEnterKeywordDlg(*doc);
    EXPECT_EQ(enter.enableYear, 1);
    EXPECT_EQ(enter.enableUnitName, 1);
    EXPECT_EQ(enter.enableDay, 0);
    enter.year = 2004;
    enter.unitName = QStringLiteral("甲公司");
    enter.day = 17;  // not enabled: not stored
    EXPECT_EQ(ApplyEnterKeywordDlg(*doc, enter), 0);
    const EnterKeywordDlgMembers again = PresetEnterKeywordDlg(*doc);
    EXPECT_EQ(again.year, 2004);
    EXPECT_EQ(again.unitName, QStringLiteral("甲公司"));
    EXPECT_EQ(again.day, 0);

    const QString path = testDir() + "/kw.rep";
    ASSERT_TRUE(doc->Files().OnSaveDocument(path));
    doc->Files().OnCloseDocument();
    CQorsDoc reopened;
    ASSERT_TRUE(reopened.Files().OnOpenDocument(path));
    EXPECT_EQ(keywordCell(reopened, 2), (CellRef{0, 1, 1}));
    EXPECT_EQ(reopened.GetReport()->GetReportFile()->GetKeywordOffset(2), 25);
    ASSERT_TRUE(reopened.EnterDataState());
    EXPECT_EQ(PresetEnterKeywordDlg(reopened).year, 2004);

    ASSERT_TRUE(reopened.SwitchToFormatState());
    CancelKeywordDlgMembers cancel = PresetCancelKeywordDlg(reopened);
    EXPECT_EQ(cancel.enable, (std::array<int16_t, 7>{1, 0, 1, 0, 0, 0, 0}));
    cancel.flags = {0, 1, 1, 1, 1, 1, 1};  // only the placed year goes
    EXPECT_EQ(ApplyCancelKeywordDlg(reopened, cancel), 0);
    EXPECT_EQ(keywordCell(reopened, 2).row, 0);
    EXPECT_EQ(keywordCell(reopened, 0), (CellRef{0, 1, 4}));
}

TEST(CmdKeywords, VarAreaSizeAndRoundingSettings) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    // No variable area: told why, nothing changes.
    QString why;
    EXPECT_FALSE(ResetVarAreaAllowed(*doc, &why));
    EXPECT_EQ(why, LoadErrorText(qor::str::kNoVariableAreaToReset));
    EXPECT_NE(ApplyResetVarAreaDlg(*doc, ResetVarAreaDlgMembers{}), 0);
    int kind = 1, start = 3, extent = 2;
    ASSERT_EQ(doc->GetReport()->AccessVarArea(1, &kind, &start, &extent), 0);
    ResetVarAreaDlgMembers size = PresetResetVarAreaDlg(*doc);
    EXPECT_EQ(size.size, 2);
    size.size = 5;
    EXPECT_EQ(ApplyResetVarAreaDlg(*doc, size), 0);
    doc->GetReport()->AccessVarArea(0, &kind, &start, &extent);
    EXPECT_EQ(extent, 5);
    // A size the table cannot hold says what is wrong with it.
    size.size = 0;
    EXPECT_NE(ApplyResetVarAreaDlg(*doc, size), 0);
    ASSERT_FALSE(ui.messages.isEmpty());
    EXPECT_TRUE(ui.messages.last().startsWith(
        LoadErrorText(qor::str::kResetVariableAreaFailed).section(u'%', 0, 0)));
    EXPECT_GT(ui.messages.last().size(),
              LoadErrorText(qor::str::kResetVariableAreaFailed).size() - 2);

    RoundBalanceDlgMembers round = PresetRoundBalanceDlg(*doc);
    EXPECT_EQ(round.digits, 1);
    round.tableName = QStringLiteral("表1");
    round.digits = 3;
    round.formula = QStringLiteral("A1=B1+C1");
    EXPECT_EQ(ApplyRoundBalanceDlg(*doc, round), 0);
    EXPECT_EQ(doc->GetReport()->GetRoundingSettings().digits, 3);
    round.digits = 9;
    EXPECT_NE(ApplyRoundBalanceDlg(*doc, round), 0);
    EXPECT_EQ(PresetRoundBalanceDlg(*doc).digits, 3);
}
