#pragma once
// Print preview of a report: the printing driver drawing into the preview
// printer of QPrintPreviewWidget or QPrintPreviewDialog. The preview shows
// every printed page once, whatever copies or page range the printer
// carries.

#include <QObject>
#include <memory>

#include "view/print_driver.h"

class CQorsDoc;
class QPrinter;
class QPrintPreviewDialog;
class QPrintPreviewWidget;
class QWidget;

namespace qor::view {

// Keeps the document and the job settings and answers the preview's page
// requests. It must outlive the preview widget or dialog it is attached to.
class CPrintPreview : public QObject {
    Q_OBJECT
public:
    CPrintPreview(CQorsDoc& doc, const PrintJobSettings& settings, QObject* parent = nullptr);

    void Attach(QPrintPreviewWidget* widget);
    void Attach(QPrintPreviewDialog* dialog);
    // Runs a modal preview dialog over printer; true when it was accepted
    // (the user printed from it).
    bool Exec(QPrinter* printer, QWidget* parent = nullptr);

    // Pages the last request produced; 0 when it printed nothing.
    int PageCount() const { return m_pages; }

public slots:
    void PaintRequested(QPrinter* printer);

private:
    CQorsDoc& m_doc;
    PrintJobSettings m_settings;
    int m_pages = 0;
};

}  // namespace qor::view
