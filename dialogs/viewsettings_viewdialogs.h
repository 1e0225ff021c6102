#pragma once
// The sheet view's dialogs (zoom, display style, cell attributes, paste
// special, an item's appearance and a chart's properties) and the main
// frame's currency symbol setting.

#include <QWidget>
#include <optional>

namespace qor {

// Registers the sheet view's dialogs with the dialog registry, each modal
// over parent.
void RegisterViewDialogs(QWidget* parent);

// Runs the currency symbol dialog preset with the common symbol; after OK
// with an entry chosen, makes it the common symbol and gives its index
// (storing it in the profile is the caller's), else nothing.
std::optional<int> RunCurrencySymbolDlg(QWidget* parent = nullptr);

}  // namespace qor
