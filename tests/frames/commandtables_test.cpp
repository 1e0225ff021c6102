// The command tables of the main window, the report's child frame, its
// document and its sheet: every id they name is a row of commands.tsv (so
// it has its generated constant), and the main window answers each of its
// own ids from its table.
#include <gtest/gtest.h>

#include "frame_fixture.h"
#include "frames/cfilemanagerbar.h"
#include "resources/commandids.h"
#include "resources/stringtable.h"

using frametest::FrameFixture;
using namespace qor::cmd_ids;

namespace {

using CommandTables = FrameFixture;

QStringList withoutRow(const qor::ICommandTarget& target) {
    QStringList missing;
    const qor::CommandIdSet* ids = target.DeclaredCommands();
    if (!ids) return {QStringLiteral("(names no ids)")};
    for (int id : ids->Ids())
        if (!qor::res::commandInfo(id)) missing << QString::number(id);
    return missing;
}

}  // namespace

TEST_F(CommandTables, EveryIdOfTheFrameAndTheReportHasATableRow) {
    qor::frames::CChildFrame* child = newReport();
    ASSERT_TRUE(child);
    EXPECT_EQ(withoutRow(*frame), QStringList());
    EXPECT_EQ(withoutRow(*child), QStringList());
    EXPECT_EQ(withoutRow(*child->GetDocument()), QStringList());
    EXPECT_EQ(withoutRow(*child->GetActiveView()), QStringList());
}

TEST_F(CommandTables, TheMainWindowAnswersEachOfItsIdsAndNoOther) {
    const qor::CommandIdSet* ids = frame->DeclaredCommands();
    ASSERT_TRUE(ids);
    // The view's print, export and split commands are the window's only while an object of
    // the report is edited in place (and the view is not asked).
    const QList<int> inPlaceOnly = {kCmdPrint,      kCmdPrintDirect, kCmdPrintPreview,
                                    kCmdDataOverlayPrint, kCmdExportText, kCmdExportXml,
                                    kCmdExportHtml, kCmdAuditMapping, kCmdSplitWindow};
    for (int id : ids->Ids()) {
        qor::CommandState state;
        // The file manager is known only once a control is registered.
        EXPECT_EQ(frame->OnUpdateCommand(id, state),
                  !inPlaceOnly.contains(id) &&
                      (id != kCmdFileManager || qor::frames::CFileManagerBar::HasControlFactory()))
            << id;
    }
    qor::CommandState state;
    EXPECT_FALSE(frame->OnUpdateCommand(kCmdCopy, state));  // the sheet's
    EXPECT_FALSE(frame->OnCommand(kCmdSwitchState));        // the child frame's
    // Without a report: what needs one is off and says why.
    EXPECT_TRUE(frame->OnUpdateCommand(kCmdFileSave, state));
    EXPECT_FALSE(state.enabled);
    EXPECT_EQ(state.reason, u"没有打开的报表");
    state = {};
    EXPECT_TRUE(frame->OnUpdateCommand(kCmdBarStatus, state));
    EXPECT_TRUE(state.enabled && state.checkable);
}
