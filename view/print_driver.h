#pragma once
// Printing a report on a printer: the print dialog's choices as a QPrinter
// carries them, and a whole job printed onto one. The job itself (the
// driver, its settings and the page setup) is print_job.h.

#include <memory>

#include "print/print_job.h"

class QPrinter;
namespace qor {
struct PrintRequest;
}

namespace qor::view {

// The print dialog's choices as a QPrinter carries them: copies, collation,
// a page range, and the selection choice for every page of the report.
PrintJobSettings SettingsFromPrinter(const QPrinter& printer);

// A printer of the print dialog's choice: the named printer, else the
// default one; a PDF file when an output file was chosen or no printer
// exists. It carries the request's copies, collation and page range (the
// selection flag: every page of the report) and the page setup last chosen.
std::unique_ptr<QPrinter> PrinterForRequest(const qor::PrintRequest& request);
// The other way round: what a print dialog left on its printer, as the
// request the dialog was asked with, answered.
qor::PrintRequest RequestFromPrinter(const QPrinter& printer, const qor::PrintRequest& asked);

// Prints a whole job onto a printer: pages from the driver, copies made here
// (the printer's own copy count is set to 1 meanwhile, so that nothing is
// printed twice over). False when nothing could be printed; *deviceFailed
// then tells whether the printer or its file could not be written (the
// other failures were told to the user by the job).
bool PrintToPrinter(CQorsDoc& doc, QPrinter& printer, const PrintJobSettings& settings,
                    bool* deviceFailed = nullptr);

}  // namespace qor::view
