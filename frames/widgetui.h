#pragma once
// Questions, prompts and file choices of the engine and the document
// asked through Qt dialogs instead of the headless answers.

namespace qor::frames {

void InstallWidgetUiServices();

}  // namespace qor::frames
