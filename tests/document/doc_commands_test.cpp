// The document as a command target: which commands it knows, when each is
// off and why, and that running one reaches its dialog.
#include "document/doc_commands.h"

#include <gtest/gtest.h>

#include <QList>

#include "document/cmd_dialogs.h"
#include "document/cmd_edit.h"
#include "document/doc_commandhook.h"
#include "resources/commandids.h"
#include "tests/document/doc_fixture.h"

using namespace qor::cmd_ids;
using namespace doctest;
using namespace qor;
using namespace qor::doccmd;

namespace {

// The dialogs the tests below run, registered for the test's lifetime;
// each records that it ran and answers cancelled, so nothing changes.
struct RecordingDialogs {
    std::optional<DeleteDlgMembers> deleteAnswer;
    QList<int> ran;
    QList<int> modes;
    ScopedDialog<InsertCountDlgMembers> insertCount{
        [this](const InsertCountDlgMembers& m) -> std::optional<InsertCountDlgMembers> {
            ran << 182;
            modes << m.mode;
            return std::nullopt;
        }};
    ScopedDialog<DeleteDlgMembers> deleteDlg{
        [this](const DeleteDlgMembers& m) -> std::optional<DeleteDlgMembers> {
            ran << 184;
            modes << m.mode;
            if (!deleteAnswer) return std::nullopt;
            DeleteDlgMembers out = m;
            out.list = deleteAnswer->list;
            out.condition = deleteAnswer->condition;
            return out;
        }};
    ScopedDialog<TabHuiZongWizardMembers> tabHuiZong{[this](const TabHuiZongWizardMembers&) {
        ran << 496;
        return std::optional<TabHuiZongWizardMembers>();
    }};
    ScopedDialog<DefineFormulaDlgMembers> defineFormula{[this](const DefineFormulaDlgMembers&) {
        ran << 151;
        return std::optional<DefineFormulaDlgMembers>();
    }};
};

CommandState stateOf(CQorsDoc& doc, int id) {
    CommandState s;
    EXPECT_TRUE(doc.OnUpdateCommand(id, s)) << id;
    return s;
}

}  // namespace

TEST(DocCommands, UnknownIdsAreLeftToOthers) {
    auto doc = newDoc();
    CommandState s;
    EXPECT_FALSE(doc->OnUpdateCommand(kCmdCopy, s));  // the view's copy
    EXPECT_FALSE(doc->OnCommand(kCmdSwitchState));  // the frame's state switch
}

TEST(DocCommands, ACommandIsOnOnlyWhileItsDialogIsRegistered) {
    auto doc = newDoc();
    EXPECT_FALSE(stateOf(*doc, kCmdDeleteRows).enabled);
    EXPECT_EQ(stateOf(*doc, kCmdDeleteRows).reason, ReasonNoDialog());
    {
        RecordingDialogs dialogs;
        EXPECT_TRUE(stateOf(*doc, kCmdDeleteRows).enabled);
        EXPECT_TRUE(doc->OnCommand(kCmdDeleteRows));
        EXPECT_EQ(dialogs.ran, QList<int>{184});
    }
    EXPECT_EQ(stateOf(*doc, kCmdDeleteRows).reason, ReasonNoDialog());
}

TEST(DocCommands, HeadlessDialogsLeaveEveryDialogCommandOff) {
    auto doc = newDoc();
    for (int id :
         {kCmdCellStyle, kCmdInsertRows, kCmdDeletePages, kCmdSetFilePassword, kCmdPageSetup}) {
        const CommandState s = stateOf(*doc, id);
        EXPECT_FALSE(s.enabled) << id;
        EXPECT_EQ(s.reason, ReasonNoDialog()) << id;
    }
    // Running one anyway does nothing and still counts as handled.
    EXPECT_TRUE(doc->OnCommand(kCmdInsertRows));
}

TEST(DocCommands, StateRulesAndReasons) {
    RecordingDialogs dialogs;
    CQorsDoc closed;
    EXPECT_EQ(stateOf(closed, kCmdInsertPages).reason, ReasonNoReport());

    auto doc = newDoc();
    // Format state: format changes on, value work off.
    EXPECT_TRUE(stateOf(*doc, kCmdInsertRows).enabled);
    EXPECT_TRUE(stateOf(*doc, kCmdInsertPages).enabled);
    EXPECT_EQ(stateOf(*doc, kCmdEnterKeyword).reason, ReasonDataState());
    EXPECT_EQ(stateOf(*doc, kCmdPageConsolidation).reason, ReasonDataState());

    ASSERT_TRUE(doc->EnterDataState());
    EXPECT_EQ(stateOf(*doc, kCmdInsertRows).reason, ReasonFormatState());
    EXPECT_EQ(stateOf(*doc, kCmdCellFormula).reason, ReasonFormatState());
    EXPECT_TRUE(stateOf(*doc, kCmdInsertPages).enabled);  // pages in either state
    EXPECT_TRUE(stateOf(*doc, kCmdPageConsolidation).enabled);

    // Commands this system has no work for stay off whatever the state.
    EXPECT_EQ(stateOf(*doc, kCmdDrillDown).reason, ReasonNotBuilt());
    EXPECT_EQ(stateOf(*doc, kCmdInsertChart).reason, ReasonNotBuilt());

    // A command whose dialog is not registered is off.
    const ScopedDialog<DeleteDlgMembers> noDelete({});
    EXPECT_TRUE(stateOf(*doc, kCmdAppendPages).enabled);
    EXPECT_EQ(stateOf(*doc, kCmdDeletePages).reason, ReasonNoDialog());
}

TEST(DocCommands, RunningReachesTheDialogWithItsMode) {
    RecordingDialogs dialogs;
    auto doc = newDoc();
    EXPECT_TRUE(doc->OnCommand(kCmdAppendCols));
    EXPECT_TRUE(doc->OnCommand(kCmdDeleteRows));
    EXPECT_TRUE(doc->OnCommand(kCmdCellFormula));
    // Off in format state: the wizard is not asked.
    EXPECT_TRUE(doc->OnCommand(kCmdPageConsolidation));
    ASSERT_TRUE(doc->EnterDataState());
    EXPECT_TRUE(doc->OnCommand(kCmdPageConsolidation));
    EXPECT_EQ(dialogs.ran, (QList<int>{182, 184, 151, 496}));
    EXPECT_EQ(dialogs.modes, (QList<int>{kAppendCols, 1}));
}

TEST(DocCommands, CellFormulaNeedsAPlainCellOutsideTheVariableAreasFirstLine) {
    RecordingDialogs dialogs;
    auto doc = newDoc();
    doc->Selection().SetCurrentCell(2, 1);
    EXPECT_TRUE(stateOf(*doc, kCmdCellFormula).enabled);

    const CellArea comb = CellArea::area(3, 2, 3, 3);  // B3:C3
    ASSERT_EQ(doc->GetReport()->CombineCells(&comb), 0);
    QString why;
    EXPECT_FALSE(CellFormulaAllowed(*doc, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(stateOf(*doc, kCmdCellFormula).enabled);

    doc->Selection().SetCurrentCell(4, 0);
    int kind = 1, start = 5, extent = 3;
    ASSERT_EQ(doc->GetReport()->AccessVarArea(1, &kind, &start, &extent), 0);
    EXPECT_FALSE(stateOf(*doc, kCmdCellFormula).enabled);  // row 5 is the area's first
    doc->Selection().SetCurrentCell(3, 0);
    EXPECT_TRUE(stateOf(*doc, kCmdCellFormula).enabled);
}

TEST(DocCommands, AnEmptyDeleteDeletesNothing) {
    RecordingDialogs dialogs;
    QStringList lines;
    SetCommandRunner([&lines](CQorsDoc*, const QString& line, int) {
        lines << line;
        return 0;
    });
    auto doc = newDoc();
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(ApplyInsertCountDlg(*doc, {3, kAppendPages}), 0);
    const int pages = doc->GetReport()->GetPageCount();
    doc->SetModifiedFlag(false);
    dialogs.deleteAnswer = DeleteDlgMembers{};
    dialogs.deleteAnswer->list = QStringLiteral("  ");
    EXPECT_TRUE(doc->OnCommand(kCmdDeletePages));
    EXPECT_EQ(doc->GetReport()->GetPageCount(), pages);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(lines.isEmpty());
    SetCommandRunner({});
}
