#pragma once
// The chart windows' dialogs as the sheet view reaches them.

class QWidget;

namespace qor {

// Installs the chart interface for the sheet views, its dialogs parented
// to parent.
void InstallChartUi(QWidget* parent);

}  // namespace qor
