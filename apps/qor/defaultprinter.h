#pragma once
// The system's default printer for `qor print` without --pdf, reached
// through the print module beside the program (apps/qor/printdev): the
// command line itself links no printing or widget library, and loads that
// module only when it prints to a printer.

#include <QLibrary>
#include <QString>
#include <functional>

class QPagedPaintDevice;

namespace qor::app {

class DefaultPrinter {
public:
    DefaultPrinter() = default;
    ~DefaultPrinter();
    DefaultPrinter(const DefaultPrinter&) = delete;
    DefaultPrinter& operator=(const DefaultPrinter&) = delete;

    // The default printer; null when there is none or the module cannot
    // be loaded (either way nothing can reach a printer).
    QPagedPaintDevice* Open();
    QPagedPaintDevice* Device() const { return m_printer; }
    QString Name() const;
    // Makes the printer's painter start at the paper's corner while a job
    // paints, and puts it back after (print_job.h's PrintOnDevice).
    std::function<void(bool)> FullPage();

    // Where the module is looked for: the program's folder, or the folder
    // QOR_PRINT_MODULE_DIR names.
    static QString ModulePath();

private:
    using OpenFn = QPagedPaintDevice* (*)();
    using NameFn = void (*)(const QPagedPaintDevice*, QString*);
    using FullPageFn = void (*)(QPagedPaintDevice*, bool);
    using CloseFn = void (*)(QPagedPaintDevice*);

    QLibrary m_lib;
    NameFn m_name = nullptr;
    FullPageFn m_fullPage = nullptr;
    CloseFn m_close = nullptr;
    QPagedPaintDevice* m_printer = nullptr;
};

}  // namespace qor::app
