// The router asks a target only about the ids it names: an id a target
// answers but leaves out of its list would never reach it. Each target of
// a real window is asked about every id in the states a user meets.
#include <QMdiArea>

#include "frame_fixture.h"

using namespace qor::frames;
using frametest::FrameFixture;

namespace {

class CommandOwners : public FrameFixture {};

TEST_F(CommandOwners, EveryTargetNamesEachCommandItAnswers) {
    CChildFrame* child = frame->NewDocument();
    ASSERT_NE(child, nullptr);
    frame->MdiArea()->setActiveSubWindow(child);
    CQorsDoc* doc = child->GetDocument();
    CQorsView* view = child->GetActiveView();
    for (const char* state : {"format state", "data state", "a chart selected"}) {
        SCOPED_TRACE(state);
        if (state[0] != 'f' && !doc->IsDataState()) child->EnterDataState();
        if (state[0] == 'a') view->Items().SetSelection(doc->Items().CreateComItem(0).get());
        QApplication::processEvents();
        frame->Router().UpdateAll();  // the main frame learns the pass's window
        const QList<std::pair<const char*, qor::ICommandTarget*>> targets = {
            {"view", view}, {"document", doc}, {"child frame", child}, {"main frame", frame.get()}};
        QStringList faults;
        for (const auto& [name, target] : targets) {
            const qor::CommandIdSet* named = target->DeclaredCommands();
            ASSERT_NE(named, nullptr) << name;
            for (int id = 1; id <= 0xFFFF; ++id) {
                qor::CommandState answer;
                if (target->OnUpdateCommand(id, answer) && !named->Contains(id))
                    faults << QStringLiteral("%1 answers %2 without naming it")
                                  .arg(QLatin1String(name))
                                  .arg(id);
            }
        }
        EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
    }
    doc->SetModifiedFlag(false);
}

}  // namespace
