#include "view/print_driver.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

#include "platform/uiservices.h"

namespace qor::view {

std::unique_ptr<QPrinter> PrinterForRequest(const qor::PrintRequest& r) {
    std::unique_ptr<QPrinter> printer;
    if (!r.printerName.isEmpty()) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(r.printerName);
        if (!info.isNull()) printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    if (!printer) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        printer = info.isNull() || !r.outputFile.isEmpty()
                      ? std::make_unique<QPrinter>(QPrinter::HighResolution)
                      : std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    if (!r.outputFile.isEmpty() || printer->outputFormat() == QPrinter::PdfFormat) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        if (!r.outputFile.isEmpty()) printer->setOutputFileName(r.outputFile);
    }
    if (const std::optional<QPageLayout>& layout = PageSetupDefaults())
        printer->setPageLayout(*layout);
    else if (printer->outputFormat() == QPrinter::PdfFormat)
        // A file has no printer's own defaults: the page setup starts
        // from the default margin on every side.
        printer->setPageMargins(QMarginsF(kDefaultPageMargin, kDefaultPageMargin,
                                          kDefaultPageMargin, kDefaultPageMargin),
                                QPageLayout::Point);
    if (!r.setupOnly) {
        printer->setCopyCount(std::max(1, r.copies));
        printer->setCollateCopies((r.flags & kPdCollate) != 0);
        if (r.flags & kPdSelection) {
            printer->setPrintRange(QPrinter::Selection);
        } else if (!r.allPages) {
            printer->setPrintRange(QPrinter::PageRange);
            printer->setFromTo(std::max(1, r.fromPage),
                               std::max(std::max(1, r.fromPage), r.toPage));
        } else {
            printer->setPrintRange(QPrinter::AllPages);
        }
    }
    return printer;
}

qor::PrintRequest RequestFromPrinter(const QPrinter& printer, const qor::PrintRequest& asked) {
    qor::PrintRequest out = asked;
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    out.printerName = toFile ? QString() : printer.printerName();
    out.outputFile = toFile ? printer.outputFileName() : QString();
    if (asked.setupOnly) return out;
    out.copies = std::max(1, printer.copyCount());
    out.flags &= ~(kPdSelection | kPdPageNums | kPdCollate | kPdPrintToFile);
    if (printer.collateCopies()) out.flags |= kPdCollate;
    if (toFile) out.flags |= kPdPrintToFile;
    out.allPages = true;
    switch (printer.printRange()) {
        case QPrinter::Selection:
            out.flags |= kPdSelection;
            break;
        case QPrinter::PageRange:
            out.flags |= kPdPageNums;
            out.allPages = false;
            out.fromPage = printer.fromPage();
            out.toPage = printer.toPage();
            break;
        default:
            break;
    }
    return out;
}

PrintJobSettings SettingsFromPrinter(const QPrinter& printer) {
    PrintJobSettings s;
    s.copies = std::max(1, printer.copyCount());
    s.collate = printer.collateCopies();
    switch (printer.printRange()) {
        case QPrinter::Selection:
            s.allReportPages = true;
            break;
        case QPrinter::PageRange:
            s.pageRange = true;
            s.fromPage = printer.fromPage();
            s.toPage = printer.toPage();
            break;
        default:
            break;
    }
    return s;
}

bool PrintToPrinter(CQorsDoc& doc, QPrinter& printer, const PrintJobSettings& settings,
                    bool* deviceFailed) {
    const int savedCopies = printer.copyCount();
    const bool savedFullPage = printer.fullPage();
    return PrintOnDevice(doc, printer, settings, deviceFailed, [&](bool on) {
        printer.setCopyCount(on ? 1 : savedCopies);
        printer.setFullPage(on || savedFullPage);
    });
}

}  // namespace qor::view
