#pragma once
// The system's default printer, for `qor print` without --pdf. It lives in a
// module of its own (libqorprintdev.so beside the program) because reaching
// a printer needs the print-support library, and with it the widgets, which
// the command line otherwise never loads. The program loads the module only
// for that one case and paints the job itself onto the printer it hands out.

class QPagedPaintDevice;
class QString;

#define QORPRINTDEV_API extern "C" __attribute__((visibility("default")))

// A high-resolution printer on the default printer; null when there is none.
QORPRINTDEV_API QPagedPaintDevice* QorOpenDefaultPrinter();
// The printer's name.
QORPRINTDEV_API void QorPrinterName(const QPagedPaintDevice* printer, QString* name);
// Switches the painter to start at the paper's corner (and one copy a
// page, the job making its own copies), or back to how it was.
QORPRINTDEV_API void QorPrinterFullPage(QPagedPaintDevice* printer, bool on);
QORPRINTDEV_API void QorClosePrinter(QPagedPaintDevice* printer);
