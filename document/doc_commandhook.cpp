#include "document/doc_commandhook.h"

#include "engine/messages.h"
#include "platform/uiservices.h"

namespace {

CommandRunner& runnerSlot() {
    static CommandRunner runner;
    return runner;
}

}  // namespace

void SetCommandRunner(CommandRunner runner) { runnerSlot() = std::move(runner); }

int RunCommandLine(CQorsDoc* doc, const QString& line, int runMode) {
    const CommandRunner& runner = runnerSlot();
    if (!runner) {
        const QString text = LoadErrorText(qor::str::kNoInterpreterForCommand) + line;
        TraceMessage(text);
        qor::messageBox(text, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Error);
        return -1;
    }
    return runner(doc, line, runMode);
}
