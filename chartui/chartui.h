#pragma once
// The chart windows' dialogs as the sheet view reaches them.

class QWidget;

namespace qor {

// Installs the chart windows for the sheet views and registers the
// area-chart and insert-object dialogs, parented to parent.
void InstallChartUi(QWidget* parent);

}  // namespace qor
