#pragma once
// The detail list of our file dialogs: the size, type and date columns take
// the width their texts need and the name takes the rest, so that nothing
// reads "22.…KiB"; the dialog opens wide enough for a long report name
// beside them.

class QFileDialog;

namespace qor {

// Call once, after the dialog's options are set; takes effect whenever the
// dialog is shown.
void KeepFileColumnsReadable(QFileDialog* dialog);

}  // namespace qor
