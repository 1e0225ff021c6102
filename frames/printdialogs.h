#pragma once
// The print dialog and the print setup of the desktop: Qt's own dialogs on
// a printer made from the request, answered as the request the hook gives
// back. Printing to a PDF file is always among the printers, so a machine
// without a printer can print.

#include <optional>

#include "platform/uiservices.h"

class QWidget;

namespace qor::frames {

// The print dialog (page range, copies, collation, every page of the
// report as its selection choice) or, for a setup request, the page setup
// (paper, orientation, margins). The page setup chosen in either is kept
// for every later printer. Nothing when the user cancelled.
std::optional<PrintRequest> RunPrintDialog(const PrintRequest& request, QWidget* parent);

}  // namespace qor::frames
