#pragma once
// The main window of the desktop application: one report in the splitter
// of sheet views, the file menu and a status bar showing the engine's
// trace messages.

#include <QMainWindow>
#include <memory>

#include "engine/messages.h"

class CQorsDoc;
class CQorSplitterWnd;

namespace qor::app {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens a report; on failure the user has been told and the report
    // shown before stays.
    bool openFile(const QString& path);
    CQorsDoc* document() const { return m_doc.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void updateTitle();
    void showTrace(const QString& text);
    // False when the user cancelled or the save failed.
    bool maybeSave();
    bool save();
    bool saveAs();
    // The report's path for exports, which find the report by it; empty
    // (after telling the user) for a report never saved.
    QString savedPath();

    void onNew();
    void onOpen();
    void onExportXml();
    void onExportHtml();
    void onExportExcel();
    void onPrint();
    void onPrintPreview();

    std::unique_ptr<CQorsDoc> m_doc;
    CQorSplitterWnd* m_splitter = nullptr;
    TraceHook m_previousTrace;
};

}  // namespace qor::app
