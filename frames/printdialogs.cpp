#include "frames/printdialogs.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <algorithm>

#include "engine/messages.h"
#include "view/print_driver.h"

namespace qor::frames {

std::optional<PrintRequest> RunPrintDialog(const PrintRequest& request, QWidget* parent) {
    std::unique_ptr<QPrinter> printer = qor::view::PrinterForRequest(request);
    if (request.setupOnly) {
        QPageSetupDialog dialog(printer.get(), parent);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        qor::view::SetPageSetupDefaults(printer->pageLayout());
        return qor::view::RequestFromPrinter(*printer, request);
    }

    QPrintDialog dialog(printer.get(), parent);
    QAbstractPrintDialog::PrintDialogOptions options =
        QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
        QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize;
    // The selection choice prints every page of the report; the report's
    // own name for it replaces Qt's.
    if (!(request.flags & qor::view::kPdNoSelection)) {
        options |= QAbstractPrintDialog::PrintSelection;
        if (auto* all = dialog.findChild<QRadioButton*>(QStringLiteral("printSelection")))
            all->setText(LoadErrorText(str::kAllReportPages));
    }
    dialog.setOptions(options);
    const int minPage = std::max(1, request.minPage);
    dialog.setMinMax(minPage, std::max(minPage, request.maxPage));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    qor::view::SetPageSetupDefaults(printer->pageLayout());
    return qor::view::RequestFromPrinter(*printer, request);
}

}  // namespace qor::frames
