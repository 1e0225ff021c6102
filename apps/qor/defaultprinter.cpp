#include "apps/qor/defaultprinter.h"

#include <QCoreApplication>
#include <QDir>

namespace qor::app {

DefaultPrinter::~DefaultPrinter() {
    // The module stays loaded: the print-support library it brought in is
    // torn down with the process.
    if (m_printer) m_close(m_printer);
}

QString DefaultPrinter::ModulePath() {
    QString dir = qEnvironmentVariable("QOR_PRINT_MODULE_DIR");
    if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath();
    return QDir(dir).filePath(QStringLiteral("libqorprintdev.so"));
}

QPagedPaintDevice* DefaultPrinter::Open() {
    m_lib.setFileName(ModulePath());
    if (!m_lib.load()) return nullptr;
    auto open = reinterpret_cast<OpenFn>(m_lib.resolve("QorOpenDefaultPrinter"));
    m_name = reinterpret_cast<NameFn>(m_lib.resolve("QorPrinterName"));
    m_fullPage = reinterpret_cast<FullPageFn>(m_lib.resolve("QorPrinterFullPage"));
    m_close = reinterpret_cast<CloseFn>(m_lib.resolve("QorClosePrinter"));
    if (!open || !m_name || !m_fullPage || !m_close) return nullptr;
    m_printer = open();
    return m_printer;
}

QString DefaultPrinter::Name() const {
    QString name;
    if (m_printer) m_name(m_printer, &name);
    return name;
}

std::function<void(bool)> DefaultPrinter::FullPage() {
    return [this](bool on) { m_fullPage(m_printer, on); };
}

}  // namespace qor::app
