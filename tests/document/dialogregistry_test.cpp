// The dialog registry: what a command gets without a dialog, how tests and
// the desktop put dialogs in and take them out again, and that a command
// follows the registration.
#include "document/dialogregistry.h"

#include <gtest/gtest.h>

#include "document/cmd_dialogs.h"
#include "document/doc_commands.h"
#include "resources/commandids.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

DialogHandler<RowHeightDlgMembers> answerMm(int mm) {
    return [mm](const RowHeightDlgMembers& m) {
        RowHeightDlgMembers out = m;
        out.heightMm = mm;
        return std::optional(out);
    };
}

}  // namespace

TEST(DialogRegistry, WithoutADialogEveryQuestionIsCancelled) {
    EXPECT_FALSE(HasDialog<RowHeightDlgMembers>());
    EXPECT_FALSE(Ask(RowHeightDlgMembers{}).has_value());
    EXPECT_FALSE(Ask(ModelSheetRequest{}).has_value());
    // Removing what is not there is harmless and gives nothing back.
    EXPECT_FALSE(Register<RowHeightDlgMembers>({}));
    EXPECT_FALSE(HasDialog<RowHeightDlgMembers>());
}

TEST(DialogRegistry, ScopesPutBackWhatWasThereBefore) {
    {
        const ScopedDialog<RowHeightDlgMembers> outer(answerMm(5));
        EXPECT_EQ(Ask(RowHeightDlgMembers{})->heightMm, 5);
        {
            const ScopedDialog<RowHeightDlgMembers> inner(answerMm(7));
            EXPECT_EQ(Ask(RowHeightDlgMembers{})->heightMm, 7);
            // Another members type is a dialog of its own.
            EXPECT_FALSE(HasDialog<ColWidthDlgMembers>());
        }
        EXPECT_EQ(Ask(RowHeightDlgMembers{})->heightMm, 5);
        {
            const ScopedDialog<RowHeightDlgMembers> none({});
            EXPECT_FALSE(HasDialog<RowHeightDlgMembers>());
        }
        EXPECT_TRUE(HasDialog<RowHeightDlgMembers>());
        // Register hands back the dialog it replaces.
        const DialogHandler<RowHeightDlgMembers> before =
            Register<RowHeightDlgMembers>(answerMm(9));
        ASSERT_TRUE(before);
        EXPECT_EQ(before(RowHeightDlgMembers{})->heightMm, 5);
        Register<RowHeightDlgMembers>(before);
    }
    EXPECT_FALSE(HasDialog<RowHeightDlgMembers>());

    {
        const ScopedDialogRegistry all;
        Register<RowHeightDlgMembers>(answerMm(5));
        Register<ColWidthDlgMembers>([](const ColWidthDlgMembers& m) { return std::optional(m); });
    }
    EXPECT_FALSE(HasDialog<RowHeightDlgMembers>());
    EXPECT_FALSE(HasDialog<ColWidthDlgMembers>());
}

TEST(DialogRegistry, ACommandFollowsItsDialogsRegistration) {
    auto doc = newDoc(20, 4);
    doc->Selection().SetSelection(2, 0, 2, 0);
    CommandState s;
    ASSERT_TRUE(doc->OnUpdateCommand(cmd_ids::kCmdRowHeight, s));
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ(s.reason, doccmd::ReasonNoDialog());

    const ScopedDialog<RowHeightDlgMembers> dialog(answerMm(7));
    ASSERT_TRUE(doc->OnUpdateCommand(cmd_ids::kCmdRowHeight, s));
    EXPECT_TRUE(s.enabled);
    EXPECT_TRUE(doc->OnCommand(cmd_ids::kCmdRowHeight));
    uint16_t height = 0;
    ASSERT_EQ(doc->GetReport()->AccessRowColSize(0, 0, 3, &height), 0);
    EXPECT_EQ(height, 20);  // 7 mm / 0.3527 = 19.85 points
}
