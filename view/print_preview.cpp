#include "view/print_preview.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

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
    const QRect paint = printer->pageLayout().paintRectPoints();
    const std::optional<int> pages = driver.Begin({0, 0, paint.width(), paint.height()});
    if (!pages || *pages < 1) return;
    QPainter painter(printer);
    painter.scale(printer->logicalDpiX() / 72.0, printer->logicalDpiY() / 72.0);
    for (int m = 1; m <= *pages; ++m) {
        if (m > 1) printer->newPage();
        if (driver.PrintPage(painter, m)) ++m_pages;
    }
    painter.end();
    driver.End();
}

}  // namespace qor::view
