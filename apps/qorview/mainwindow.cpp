#include "apps/qorview/mainwindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "exchange/chtmlexporter.h"
#include "exchange/excelexportdriver.h"
#include "exchange/ownxml_export.h"
#include "platform/uiservices.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/print_driver.h"
#include "view/print_preview.h"

namespace qor::app {

namespace {

const QString kReportFilter = QStringLiteral("报表文件 (*.rep);;所有文件 (*)");

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_doc(new CQorsDoc) {
    m_doc->OnNewDocument();
    m_splitter = new CQorSplitterWnd;
    m_splitter->Create(this, 2, 2, QSize(10, 10), m_doc.get());
    setCentralWidget(m_splitter);
    buildMenu();
    statusBar()->showMessage(QStringLiteral("就绪"));

    connect(m_doc.get(), &CQorsDoc::changed, this, [this](int) { updateTitle(); });
    // Trace messages may come from any thread; the status bar is shown in
    // the window's own.
    m_previousTrace = setTraceHook([this](const QString& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { showTrace(text); }, Qt::QueuedConnection);
    });
    resize(900, 640);
    updateTitle();
}

MainWindow::~MainWindow() {
    setTraceHook(m_previousTrace);
    // The views point at the document: they go first.
    delete takeCentralWidget();
    m_doc->OnCloseDocument();
}

void MainWindow::buildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("新建"), QKeySequence::New, this, &MainWindow::onNew);
    file->addAction(QStringLiteral("打开..."), QKeySequence::Open, this, &MainWindow::onOpen);
    file->addAction(QStringLiteral("保存"), QKeySequence::Save, this, [this] { save(); });
    file->addAction(QStringLiteral("另存为..."), this, [this] { saveAs(); });
    file->addSeparator();
    file->addAction(QStringLiteral("导出成XML..."), this, &MainWindow::onExportXml);
    file->addAction(QStringLiteral("导出HTML..."), this, &MainWindow::onExportHtml);
    file->addAction(QStringLiteral("导出Excel..."), this, &MainWindow::onExportExcel);
    file->addSeparator();
    file->addAction(QStringLiteral("打印..."), QKeySequence::Print, this, &MainWindow::onPrint);
    file->addAction(QStringLiteral("打印预览..."), this, &MainWindow::onPrintPreview);
    file->addSeparator();
    file->addAction(QStringLiteral("退出"), QKeySequence::Quit, this, &QWidget::close);
}

void MainWindow::updateTitle() {
    const QString path = m_doc->GetPathName();
    const QString name = path.isEmpty() ? QStringLiteral("无标题") : QFileInfo(path).fileName();
    setWindowTitle(name + QStringLiteral("[*] - qorview"));
    setWindowModified(m_doc->IsModified());
}

void MainWindow::showTrace(const QString& text) { statusBar()->showMessage(text.trimmed()); }

bool MainWindow::openFile(const QString& path) {
    if (!m_doc->OnOpenDocument(path)) return false;
    updateTitle();
    return true;
}

bool MainWindow::maybeSave() {
    if (!m_doc->IsOpen() || !m_doc->IsModified()) return true;
    const MsgAnswer a = messageBox(QStringLiteral("报表已修改，是否保存？"), windowTitle(),
                                   MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::Yes);
    if (a == MsgAnswer::Cancel) return false;
    if (a == MsgAnswer::No) return true;
    return save();
}

bool MainWindow::save() {
    if (m_doc->GetPathName().isEmpty()) return saveAs();
    const bool ok = m_doc->OnSaveDocument();
    updateTitle();
    return ok;
}

bool MainWindow::saveAs() {
    const std::optional<QString> path =
        chooseFile({QStringLiteral("另存为"), m_doc->GetPathName(), kReportFilter, true});
    if (!path || path->isEmpty()) return false;
    const bool ok = m_doc->OnSaveDocument(*path);
    updateTitle();
    return ok;
}

QString MainWindow::savedPath() {
    if (m_doc->IsOpen() && !m_doc->GetPathName().isEmpty())
        return m_doc->GetReport()->GetPathName();
    messageBox(QStringLiteral("请先保存报表。"), windowTitle(), MsgButtons::Ok,
               MsgIcon::Information);
    return QString();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

void MainWindow::onNew() {
    if (!maybeSave()) return;
    m_doc->OnNewDocument();
    updateTitle();
}

void MainWindow::onOpen() {
    if (!maybeSave()) return;
    const std::optional<QString> path =
        chooseFile({QStringLiteral("打开"), QFileInfo(m_doc->GetPathName()).absolutePath(),
                    kReportFilter, false});
    if (path && !path->isEmpty()) openFile(*path);
}

void MainWindow::onExportXml() {
    const QString report = savedPath();
    if (report.isEmpty()) return;
    const std::optional<QString> target =
        chooseFile({QStringLiteral("导出成XML"), QFileInfo(report).absolutePath(),
                    QStringLiteral("XML 文件 (*.xml)"), true});
    // The export itself tells the user how it went.
    if (target && !target->isEmpty()) ExportReportXml(*target, report);
}

void MainWindow::onExportHtml() {
    const QString report = savedPath();
    if (report.isEmpty()) return;
    CHtmlExporter exporter;
    if (!exporter.OpenSource(report, 0)) return;
    if (exporter.ExportPages())
        statusBar()->showMessage(QStringLiteral("已导出 %1 页 HTML 到 %2")
                                     .arg(exporter.PageCount())
                                     .arg(QFileInfo(report).absolutePath() + "/html"));
}

void MainWindow::onExportExcel() {
    if (!m_doc->IsOpen()) return;
    const std::optional<QString> target =
        chooseFile({QStringLiteral("导出Excel"), QFileInfo(m_doc->GetPathName()).absolutePath(),
                    QStringLiteral("Excel 工作簿 (*.xls *.xlsx)"), true});
    if (target && !target->isEmpty() && ExportReportToExcel(m_doc->GetReport(), *target))
        statusBar()->showMessage(QStringLiteral("已导出到 %1").arg(*target));
}

void MainWindow::onPrint() {
    if (!m_doc->IsOpen()) return;
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() != QDialog::Accepted) return;
    view::PrintToPrinter(*m_doc, printer, view::SettingsFromPrinter(printer));
}

void MainWindow::onPrintPreview() {
    if (!m_doc->IsOpen()) return;
    view::PrintJobSettings settings;
    settings.preview = true;
    QPrinter printer;
    view::CPrintPreview preview(*m_doc, settings);
    preview.Exec(&printer, this);
}

}  // namespace qor::app
