#include "apps/qor/printdev/qorprintdev.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QString>

namespace {

// The printer with what it had before the job switched it to a full page.
struct DefaultPrinter : QPrinter {
    DefaultPrinter() : QPrinter(QPrinter::HighResolution) {}
    int savedCopies = 1;
    bool savedFullPage = false;
};

}  // namespace

QPagedPaintDevice* QorOpenDefaultPrinter() {
    if (QPrinterInfo::defaultPrinter().isNull()) return nullptr;
    return new DefaultPrinter;
}

void QorPrinterName(const QPagedPaintDevice* printer, QString* name) {
    *name = static_cast<const DefaultPrinter*>(printer)->printerName();
}

void QorPrinterFullPage(QPagedPaintDevice* device, bool on) {
    auto* printer = static_cast<DefaultPrinter*>(device);
    if (on) {
        printer->savedCopies = printer->copyCount();
        printer->savedFullPage = printer->fullPage();
    }
    printer->setCopyCount(on ? 1 : printer->savedCopies);
    printer->setFullPage(on || printer->savedFullPage);
}

void QorClosePrinter(QPagedPaintDevice* printer) { delete static_cast<DefaultPrinter*>(printer); }
