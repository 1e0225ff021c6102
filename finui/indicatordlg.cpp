#include "finui/indicatordlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "platform/datadir.h"
#include "platform/registry.h"
#include "platform/uiservices.h"
#include "reader/creaderapp.h"
#include "view/view_commands.h"

namespace {

// The registry value that keeps the interface file last chosen.
const QString kInterfaceValue = QStringLiteral("InterfaceFile");

CDataIfaceDlg::RunClock& runClock() {
    static CDataIfaceDlg::RunClock clock;
    return clock;
}

// Milliseconds on a clock that never goes back: a run across midnight, or
// across a change of the computer's time, still counts forwards.
qint64 runClockNow() {
    if (runClock()) return runClock()();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int& tickInterval() {
    static int ms = 500;
    return ms;
}

CDataIfaceDlg::FileLinkFactory& linkFactory() {
    static CDataIfaceDlg::FileLinkFactory f;
    return f;
}

QString registryKey() { return QString::fromLatin1(qor::kIndicatorRegistryKey); }

// The folder that holds "Library": the application's, else the data folder.
QString libraryRoot() {
    const CReaderApp* app = CReaderApp::Current();
    return app && !app->m_strLibraryRoot.isEmpty() ? app->m_strLibraryRoot : qor::dataDir();
}

const char* const kKinds[] = {
    "1 工业",           "2 商品流通业",       "3 农业",
    "4 邮电通信",       "5 施工企业",         "6 建设单位",
    "7 房地产开发业",   "8 运输(交通)",       "9 运输(铁路)",
    "10运输(民用航空)", "11金融业",           "12保险业",
    "13旅游饮食",       "14对外经济合作企业", "15外商投资企业",
    "16股份制",         "17普通事业",         "18科学事业",
    "19行政",           "20地质勘探",         "21医院",
    "22高校",           "23中小学校",         "24社保失业",
    "25社保养老",       "26社保医疗",         "27社保其他",
    "28 <<空>>",
};

}  // namespace

// ---- CFormulaLibDlg ----------------------------------------------------------

CFormulaLibDlg::CFormulaLibDlg(QWidget* parent) : CQorDialog(parent, kTemplate) {
    setWindowTitle(qor::DlgCaption(kTemplate, LoadErrorText(qor::str::kFormulaLibChoiceTitle)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kFormulaLibChoiceHint), this));
    auto* grid = new QGridLayout;
    m_combo = Bind(IDC_KIND, new QComboBox(this));
    m_combo->setEditable(false);
    for (const char* kind : kKinds) m_combo->addItem(QString::fromUtf8(kind));
    m_combo->setCurrentIndex(-1);
    grid->addWidget(new QLabel(LoadErrorText(qor::str::kFormulaLibInfoLabel), this), 0, 0);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kFormulaLibLabel), m_combo);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    qor::AddDlgButtons(this, buttons);
    layout->addLayout(buttons);
}

void CFormulaLibDlg::OnOK() {
    QString text = m_combo->currentIndex() < 0 ? QString() : m_combo->currentText();
    // Each entry is a two-character number field and the name.
    if (!text.isEmpty()) text = text.mid(2).trimmed();
    m_strChoice = text;
    EndDialog(IDOK);
}

// ---- CDataIfaceDlg -----------------------------------------------------------

void CDataIfaceDlg::SetFileLinkFactory(FileLinkFactory factory) {
    linkFactory() = std::move(factory);
}

void CDataIfaceDlg::SetTickInterval(int ms) { tickInterval() = std::max(0, ms); }

void CDataIfaceDlg::SetRunClock(RunClock clock) { runClock() = std::move(clock); }

CDataIfaceDlg::CDataIfaceDlg(CQorsDoc* doc, QWidget* parent)
    : CQorDialog(parent, kTemplate), m_pDoc(doc) {
    setWindowTitle(qor::DlgCaption(kTemplate, LoadErrorText(qor::str::kDataIfaceTitle)));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_startDate = Bind(IDC_START_DATE, new QLabel(this));
    m_endDate = Bind(IDC_END_DATE, new QLabel(this));
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kDataIfaceStartDateLabel), m_startDate);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kDataIfaceEndDateLabel), m_endDate);
    const QString names[] = {LoadErrorText(qor::str::kDataIfaceIndicatorLibLabel),
                             LoadErrorText(qor::str::kDataIfaceFormulaLibLabel),
                             LoadErrorText(qor::str::kDataIfaceResultLibLabel),
                             LoadErrorText(qor::str::kDataIfaceErrorLogLabel)};
    for (int i = 0; i < 4; ++i) {
        QLabel* link = linkFactory().create ? linkFactory().create(this) : new QLabel(this);
        m_links[size_t(i)] = Bind(IDC_LINK_INDICATORS + i, link);
        qor::AddDlgRow(grid, names[i], link);
    }
    layout->addLayout(grid);
    m_progress = Bind(IDC_PROGRESS, new QProgressBar(this));
    m_progress->setTextVisible(false);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    m_percent = Bind(IDC_PERCENT, new QLabel(this));
    m_elapsedText = Bind(IDC_ELAPSED, new QLabel(this));
    progressRow->addWidget(m_percent);
    progressRow->addWidget(m_elapsedText);
    layout->addLayout(progressRow);
    m_info = Bind(IDC_INFO, new QLabel(this));
    m_info->setWordWrap(true);
    layout->addWidget(m_info);

    auto* buttons = new QHBoxLayout;
    auto add = [&](int id, const QString& text) {
        QPushButton* b = qor::DlgButton(this, id, text);
        buttons->addWidget(b);
        return b;
    };
    add(IDC_CHOOSE_FILE, LoadErrorText(qor::str::kDataIfaceChooseFileButton));
    add(IDC_CHOOSE_LIBRARY, LoadErrorText(qor::str::kDataIfaceChooseLibButton));
    // 账套初始 and 关于... have nothing to do here: they keep their places,
    // greyed, so that no button looks usable and does nothing.
    add(IDC_ACCOUNT_INIT, LoadErrorText(qor::str::kDataIfaceAccountInitButton))->setEnabled(false);
    add(IDC_START, LoadErrorText(qor::str::kDataIfaceStartButton));
    add(IDC_STOP, LoadErrorText(qor::str::kDataIfaceStopButton));
    add(IDC_ABOUT, LoadErrorText(qor::str::kDataIfaceAboutButton))->setEnabled(false);
    add(IDOK, LoadErrorText(qor::str::kClose));
    layout->addLayout(buttons);

    connect(static_cast<QPushButton*>(GetDlgItem(IDC_START)), &QPushButton::clicked, this,
            &CDataIfaceDlg::OnStart);
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_STOP)), &QPushButton::clicked, this,
            &CDataIfaceDlg::OnStop);
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_CHOOSE_FILE)), &QPushButton::clicked, this,
            &CDataIfaceDlg::OnChooseFile);
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_CHOOSE_LIBRARY)), &QPushButton::clicked, this,
            &CDataIfaceDlg::OnChooseLibrary);

    m_tick.setSingleShot(true);
    m_clear.setSingleShot(true);
    connect(&m_tick, &QTimer::timeout, this, &CDataIfaceDlg::onTick);
    connect(&m_clear, &QTimer::timeout, this, [this] {
        m_percent->hide();
        m_elapsedText->hide();
        m_progress->setValue(0);
    });
    // Progress and completion arrive as queued messages, after the tick
    // that sent them has returned.
    connect(this, &CDataIfaceDlg::progressed, this, &CDataIfaceDlg::onProgress,
            Qt::QueuedConnection);
    connect(this, &CDataIfaceDlg::completed, this, &CDataIfaceDlg::onCompleted,
            Qt::QueuedConnection);
}

CDataIfaceDlg::~CDataIfaceDlg() = default;

bool CDataIfaceDlg::OnInitDialog() {
    m_percent->hide();
    m_elapsedText->hide();
    m_startDate->clear();
    m_endDate->clear();
    for (QLabel* link : m_links) {
        if (linkFactory().set)
            linkFactory().set(link, QString(), QString());
        else
            link->clear();
    }
    m_loaded = false;
    GetDlgItem(IDC_START)->setEnabled(false);
    GetDlgItem(IDC_STOP)->hide();
    if (!m_strInterfacePath.isEmpty() && QFileInfo(m_strInterfacePath).isReadable())
        showInterface();
    return true;
}

void CDataIfaceDlg::showInterface() {
    m_startDate->clear();
    m_endDate->clear();
    const bool ok = qor::ReadInterfaceFile(m_strInterfacePath, &m_settings);
    for (const QString& w : m_settings.warnings) TraceMessage(w);
    m_loaded = ok;
    GetDlgItem(IDC_START)->setEnabled(ok);
    if (!ok) {
        QString list = m_settings.missing.join(QString());
        list.chop(1);
        qor::messageBox(LoadErrorText(qor::str::kInWord) + m_strInterfacePath +
                            LoadErrorText(qor::str::kInFilePleaseName) + list,
                        LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        m_info->setText(LoadErrorText(qor::str::kInfoIn) + m_strInterfacePath +
                        LoadErrorText(qor::str::kInFilePleaseName) + list);
        return;
    }
    m_startDate->setText(m_settings.startShown);
    m_endDate->setText(m_settings.endShown);
    const QString paths[] = {m_settings.indicatorLib, m_settings.formulaLib, m_settings.resultLib,
                             m_settings.logFile};
    for (int i = 0; i < 4; ++i) {
        const QString tip = LoadErrorText(qor::str::kIndicatorLibraryFileName + i);
        if (linkFactory().set) {
            linkFactory().set(m_links[size_t(i)], paths[i], tip);
        } else {
            m_links[size_t(i)]->setText(paths[i]);
            m_links[size_t(i)]->setToolTip(tip);
        }
    }
    m_info->setText(LoadErrorText(qor::str::kInfoInterfaceFile) + m_strInterfacePath +
                    LoadErrorText(qor::str::kIsOpened));
}

void CDataIfaceDlg::OnChooseFile() {
    if (m_running) return;
    const std::optional<QString> path = qor::chooseFile(
        {LoadErrorText(qor::str::kInterfaceFile), QFileInfo(m_strInterfacePath).absolutePath(),
         qor::QtFileFilter(LoadErrorText(qor::str::kInterfaceFileFilter)), false});
    if (!path || path->isEmpty()) return;
    m_strInterfacePath = *path;
    // The choice is offered again next time.
    qor::Registry::writeString(registryKey(), kInterfaceValue, *path);
    if (CReaderApp* app = CReaderApp::Current()) app->m_strInterfacePath = *path;
    showInterface();
}

void CDataIfaceDlg::OnChooseLibrary() {
    if (m_running) return;
    CFormulaLibDlg dlg(this);
    if (dlg.DoModal() != IDOK || dlg.Choice().isEmpty()) return;
    const QString path = dlg.Choice() == LoadErrorText(qor::str::kEmptyMarker)
                             ? QString()
                             : QDir(libraryRoot())
                                   .filePath(QStringLiteral("Library/") + dlg.Choice() +
                                             LoadErrorText(qor::str::kFormulaLibraryIni));
    if (!qor::WriteFormulaLibraryPath(path)) {
        qor::messageBox(
            LoadErrorText(qor::str::kFormulaLibChoiceNotSaved).arg(qor::Registry::filePath()),
            LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return;
    }
    if (!m_strInterfacePath.isEmpty()) showInterface();
}

void CDataIfaceDlg::setRunning(bool running) {
    m_running = running;
    GetDlgItem(IDC_START)->setVisible(!running);
    GetDlgItem(IDC_STOP)->setVisible(running);
    GetDlgItem(IDC_STOP)->setEnabled(running);
    for (int id : {int(IDOK), IDC_CHOOSE_FILE, IDC_CHOOSE_LIBRARY})
        GetDlgItem(id)->setEnabled(!running);
    // The window's close button is left as it is: changing a window flag
    // re-creates a shown window, which ends the modal loop and with it the
    // run. Closing is refused while running instead (closeEvent, OnCancel).
    (running ? GetDlgItem(IDC_STOP) : GetDlgItem(IDC_START))->setFocus();
}

void CDataIfaceDlg::OnStart() {
    if (m_running || !m_loaded) return;
    CQorsDoc* doc = m_pDoc;
    m_run = std::make_unique<qor::CIndicatorRun>(m_settings, [doc](const QString& line) {
        return RunCommandLineForDocument(doc, line, 0x12);
    });
    QString message;
    if (!m_run->Start(&message)) {
        m_run.reset();
        qor::messageBox(message, LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        return;
    }
    setRunning(true);
    m_progress->setRange(0, std::max(1, m_run->Count()));
    m_progress->setValue(0);
    m_percent->setText(QStringLiteral("0%"));
    m_elapsedText->setText(LoadErrorText(qor::str::kZeroSecondsTaken));
    m_percent->show();
    m_elapsedText->show();
    m_startedAt = runClockNow();
    m_tick.start(tickInterval());
}

void CDataIfaceDlg::onTick() {
    if (!m_run || !m_running) return;
    if (m_run->Done()) {
        emit completed();
        return;
    }
    m_run->Step();
    emit progressed(m_run->Index());
    showElapsed();
    m_tick.start(tickInterval());
}

void CDataIfaceDlg::showElapsed() {
    const qint64 seconds = std::max<qint64>(0, runClockNow() - m_startedAt) / 1000;
    m_elapsedText->setText(
        qor::FillMessageText(LoadErrorText(qor::str::kSecondsTaken), {QString::number(seconds)}));
    const int count = m_run ? m_run->Count() : 0;
    m_percent->setText(count < 1 ? QStringLiteral("0%")
                                 : QStringLiteral("%1%").arg(m_run->Index() * 100 / count));
}

void CDataIfaceDlg::onProgress(int position) { m_progress->setValue(position); }

void CDataIfaceDlg::onCompleted() {
    if (!m_run) return;
    const bool finished = m_run->Finish();
    const int written = m_run->WrittenCount(), failed = m_run->FailedCount();
    const QString firstFailed = m_run->FirstFailed();
    m_run.reset();
    setRunning(false);
    m_clear.start(1000);
    // The run's outcome stays on the line and is said once: a cleared bar
    // alone cannot tell a clean run from one that wrote ERROR values.
    const QString text =
        !finished ? LoadErrorText(qor::str::kIndicatorsNotFinished)
        : failed  ? LoadErrorText(qor::str::kIndicatorsWrittenSomeFailed)
                       .arg(written)
                       .arg(failed)
                       .arg(firstFailed)
                  : LoadErrorText(qor::str::kIndicatorsWritten).arg(written);
    m_info->setText(text);
    qor::messageBox(text, LoadErrorText(qor::str::kAppTitle), qor::MsgButtons::Ok,
                    finished && !failed ? qor::MsgIcon::Information : qor::MsgIcon::Warning);
}

void CDataIfaceDlg::OnStop() {
    if (!m_running) return;
    m_tick.stop();
    m_run.reset();
    m_progress->setValue(0);
    setRunning(false);
    m_percent->hide();
    m_elapsedText->hide();
}

void CDataIfaceDlg::OnOK() {
    if (m_running) return;
    EndDialog(IDOK);
}

void CDataIfaceDlg::OnCancel() {
    if (m_running) return;
    EndDialog(IDCANCEL);
}

void CDataIfaceDlg::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    CQorDialog::closeEvent(event);
}

namespace qor {

void RunDataIfaceDlg(CQorsDoc& doc, QWidget* parent) {
    CDataIfaceDlg dlg(&doc, parent);
    QString path;
    if (const CReaderApp* app = CReaderApp::Current()) path = app->m_strInterfacePath;
    if (path.isEmpty()) path = Registry::readString(registryKey(), kInterfaceValue);
    dlg.SetInterfacePath(path);
    dlg.DoModal();
}

void InstallDataIfaceDlg() {
    viewcmd::SetDataInterfaceRunner(
        [](CQorsDoc& doc, QWidget* parent) { RunDataIfaceDlg(doc, parent); });
}

}  // namespace qor
