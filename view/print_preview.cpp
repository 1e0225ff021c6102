#include "view/print_preview.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <algorithm>

namespace qor::view {

CPrintPreview::CPrintPreview(CQorsDoc& doc, const PrintJobSettings& settings, QObject* parent)
    : QObject(parent), m_doc(doc), m_settings(settings) {
    m_settings.preview = true;
    m_settings.copies = 1;
    m_settings.pageRange = false;
}

void CPrintPreview::Attach(QPrintPreviewWidget* widget) {
    if (widget)
        connect(widget, &QPrintPreviewWidget::paintRequested, this, &CPrintPreview::PaintRequested);
}

void CPrintPreview::Attach(QPrintPreviewDialog* dialog) {
    if (dialog)
        connect(dialog, &QPrintPreviewDialog::paintRequested, this, &CPrintPreview::PaintRequested);
}

bool CPrintPreview::Exec(QPrinter* printer, QWidget* parent) {
    QPrintPreviewDialog dialog(printer, parent);
    Attach(&dialog);
    return dialog.exec() == QDialog::Accepted;
}

void CPrintPreview::PaintRequested(QPrinter* printer) {
    m_pages = 0;
    if (!printer) return;
    // The preview printer's copies and range belong to the printing that
    // may follow from the dialog, not to the pages shown.
    PrintJobSettings settings = m_settings;
    PrintDriver driver(m_doc, settings);
    const PageRect area = PrintableAreaFor(printer->pageLayout(), PageSetupFromDocument(m_doc));
    const std::optional<int> pages = driver.Begin(area);
    if (!pages || *pages < 1) return;
    printer->setFullPage(true);
    m_pages = std::max(0, PaintJob(driver, *printer, *pages));
    driver.End();
}

}  // namespace qor::view
