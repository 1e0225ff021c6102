#include "dialogs/small_dlgs.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/dlgbuild.h"
#include "dialogs/small_logic.h"
#include "engine/errorlog.h"
#include "engine/messages.h"
#include "platform/datadir.h"
#include "platform/safefile.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString controlText(int templateId, int id, const QString& fallback) {
    const auto info = res::controlInfo(templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

void warn(const QString& text, const QString& caption) {
    messageBox(text, caption, MsgButtons::Ok, MsgIcon::Warning);
}

QLineEdit* readOnlyEdit(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setReadOnly(true);
    return e;
}

}  // namespace

// ---- CObjectLookDlg ---------------------------------------------------------

CObjectLookDlg::CObjectLookDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kObjectLookTitle)));
    auto* layout = new QVBoxLayout(this);
    m_border = Bind(
        IDC_BORDER,
        new QCheckBox(controlText(IDD, IDC_BORDER, LoadErrorText(qor::str::kObjectLookBorderCheck)),
                      this));
    m_transparent = Bind(
        IDC_TRANSPARENT,
        new QCheckBox(
            controlText(IDD, IDC_TRANSPARENT, LoadErrorText(qor::str::kObjectLookTransparentCheck)),
            this));
    layout->addWidget(m_border);
    layout->addWidget(m_transparent);
    AddDlgButtons(this, layout);
}

bool CObjectLookDlg::OnInitDialog() {
    m_border->setChecked(m_bBorder);
    m_transparent->setChecked(m_bTransparent);
    return true;
}

void CObjectLookDlg::OnOK() {
    m_bBorder = m_border->isChecked();
    m_bTransparent = m_transparent->isChecked();
    EndDialog(IDOK);
}

// ---- CObjectPropDlg ---------------------------------------------------------

CObjectPropDlg::CObjectPropDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kProperties)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_name = Bind(IDC_NAME, readOnlyEdit(this));
    AddDlgRow(grid, controlText(IDD, IDC_NAME, LoadErrorText(qor::str::kObjectPropNameLabel)),
              m_name);
    m_scale = Bind(IDC_SCALE, new QLineEdit(this));
    m_scale->setMaxLength(4);
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(m_scale);
    scaleRow->addWidget(AttachSpin(this, IDC_SPIN, m_scale, [this](const QString& text, int delta) {
        const int next = std::clamp(StepScale(text.toInt(), delta), m_nMinScale, m_nMaxScale);
        m_bChanged = true;
        return QString::number(next);
    }));
    scaleRow->addWidget(new QLabel(QStringLiteral("%"), this));
    auto* scaleBox = new QWidget(this);
    scaleRow->setContentsMargins(0, 0, 0, 0);
    scaleBox->setLayout(scaleRow);
    AddDlgRow(grid, LoadErrorText(qor::str::kObjectPropScaleLabel), scaleBox);
    m_relative = Bind(IDC_RELATIVE,
                      new QCheckBox(controlText(IDD, IDC_RELATIVE,
                                                LoadErrorText(qor::str::kObjectPropRelativeCheck)),
                                    this));
    grid->addWidget(m_relative, grid->rowCount(), 1);
    m_area = Bind(IDC_AREA, readOnlyEdit(this));
    AddDlgRow(grid, controlText(IDD, IDC_AREA, LoadErrorText(qor::str::kObjectPropAreaLabel)),
              m_area);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
    connect(m_scale, &QLineEdit::textEdited, this, [this] { m_bChanged = true; });
    connect(m_relative, &QCheckBox::toggled, this, [this] {
        if (!m_filling) m_bChanged = true;
    });
}

bool CObjectPropDlg::OnInitDialog() {
    m_filling = true;
    m_name->setText(m_strName);
    m_area->setText(m_strArea);
    m_scale->setText(QString::number(m_nScale));
    m_relative->setChecked(m_bRelative);
    m_filling = false;
    m_bChanged = false;
    return true;
}

void CObjectPropDlg::OnOK() {
    bool ok = false;
    const int v = m_scale->text().trimmed().toInt(&ok);
    if (!ok || v < m_nMinScale || v > m_nMaxScale) {
        warn(LoadErrorText(qor::str::kObjectPropScaleOutOfRange).arg(m_nMinScale).arg(m_nMaxScale),
             windowTitle());
        m_scale->setFocus();
        m_scale->selectAll();
        return;
    }
    m_nScale = v;
    m_bRelative = m_relative->isChecked();
    EndDialog(IDOK);
}

// ---- CCustomMenuDlg ---------------------------------------------------------

CCustomMenuDlg::CCustomMenuDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kCustomMenu)));
    auto* layout = new QVBoxLayout(this);
    m_custom = Bind(
        IDC_CUSTOM,
        new QRadioButton(
            controlText(IDD, IDC_CUSTOM, LoadErrorText(qor::str::kUserMenuCustomRadio)), this));
    m_standard = Bind(
        IDC_STANDARD,
        new QRadioButton(
            controlText(IDD, IDC_STANDARD, LoadErrorText(qor::str::kUserMenuStandardRadio)), this));
    layout->addWidget(m_custom);
    auto* row = new QHBoxLayout;
    m_file = Bind(IDC_FILE, new QLineEdit(this));
    m_file->setMaxLength(256);
    row->addWidget(m_file);
    auto* browse = DlgButton(this, IDC_BROWSE, QStringLiteral("..."));
    m_browse = browse;
    row->addWidget(browse);
    layout->addLayout(row);
    layout->addWidget(m_standard);
    AddDlgButtons(this, layout);
    connect(browse, &QPushButton::clicked, this, &CCustomMenuDlg::OnBrowse);
    connect(m_custom, &QRadioButton::toggled, this, [this] { enableFile(); });
}

bool CCustomMenuDlg::OnInitDialog() {
    m_file->setText(m_strFileName);
    (m_nChoice == 1 ? m_standard : m_custom)->setChecked(true);
    enableFile();
    return true;
}

void CCustomMenuDlg::enableFile() {
    m_file->setEnabled(m_custom->isChecked());
    m_browse->setEnabled(m_custom->isChecked());
}

void CCustomMenuDlg::OnBrowse() {
    if (!m_custom->isChecked()) return;
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kCustomMenu);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kMenuFileFilter));
    prompt.mode = 6;
    if (const auto path = chooseFile(prompt); path && !path->isEmpty()) m_file->setText(*path);
}

void CCustomMenuDlg::OnOK() {
    m_nChoice = m_standard->isChecked() ? 1 : 0;
    if (m_nChoice == 0) {
        const QString name = m_file->text().trimmed();
        QString message;
        if (name.isEmpty())
            message = LoadErrorText(qor::str::kFileNameRequired);
        else if (!QFileInfo(name).isFile())
            message = LoadErrorText(qor::str::kFileMissingChooseAgain)
                          .replace(QStringLiteral("%s"), name);
        if (!message.isEmpty()) {
            warn(message, windowTitle());
            m_file->setFocus();
            return;
        }
        m_strFileName = name;
    }
    EndDialog(IDOK);
}

void qor::RunCustomMenuCommand(QWidget* parent) {
    static QString current;  // the user menu file of this run
    try {
        CCustomMenuDlg dlg(parent);
        dlg.m_strFileName = current;
        dlg.m_nChoice = current.isEmpty() ? 1 : 0;
        if (dlg.DoModal() != CQorDialog::IDOK) return;
        if (dlg.m_nChoice == 1) {
            // The menu now shown stays until the next start.
            current.clear();
            return;
        }
        current = dlg.m_strFileName;
        const auto& hooks = CCalcInterpreter::Instance().SubsystemHooks();
        QString error;
        if (!hooks.loadMenu)
            error = LoadErrorText(qor::str::kUserMenuNotSupported);
        else if (!hooks.loadMenu(current, &error) && error.isEmpty())
            error = LoadErrorText(qor::str::kUserMenuFileNotLoaded).arg(current);
        if (!error.isEmpty()) warn(error, dlg.windowTitle());
    } catch (const std::exception& e) {
        warn(QString::fromLocal8Bit(e.what()), LoadErrorText(qor::str::kCustomMenu));
    }
}

// ---- CVariablesDlg ----------------------------------------------------------

CVariablesDlg::CVariablesDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kVariableDlgTitle)));
    auto* layout = new QVBoxLayout(this);
    m_list = Bind(IDC_LIST, new QListWidget(this));
    layout->addWidget(m_list);
    auto* grid = new QGridLayout;
    m_type = Bind(IDC_TYPE, readOnlyEdit(this));
    m_value = Bind(IDC_VALUE, readOnlyEdit(this));
    AddDlgRow(grid, controlText(IDD, IDC_TYPE, LoadErrorText(qor::str::kVariableTypeLabel)),
              m_type);
    AddDlgRow(grid, controlText(IDD, IDC_VALUE, LoadErrorText(qor::str::kVariableValueLabel)),
              m_value);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(DlgButton(this, IDOK, LoadErrorText(qor::str::kOkButton)));
    layout->addLayout(buttons);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { showSelected(); });
}

bool CVariablesDlg::OnInitDialog() {
    m_list->clear();
    m_list->addItems(m_names);
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    showSelected();
    return true;
}

void CVariablesDlg::showSelected() {
    const int row = m_list->currentRow();
    m_type->setText(row >= 0 ? m_types.value(row) : QString());
    m_value->setText(row >= 0 ? m_values.value(row) : QString());
}

// ---- CSysInfoDlg ------------------------------------------------------------

CSysInfoDlg::CSysInfoDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kSysInfoTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const std::pair<int, int> rows[] = {
        {1000, qor::str::kSysInfoOsLabel},
        {1004, qor::str::kSysInfoCpuLabel},
        {1036, qor::str::kSysInfoMemoryLabel},
        {1050, qor::str::kSysInfoFreeMemoryLabel},
        {1051, qor::str::kSysInfoDisplayLabel},
        {1052, qor::str::kSysInfoFreeDiskLabel},
        {1053, qor::str::kSysInfoComputerNameLabel},
        {CSysInfoDlg::IDC_ERROR_LOG, qor::str::kSysInfoLogFileLabel}};
    for (const auto& [id, label] : rows) {
        QLineEdit* edit = Bind(id, readOnlyEdit(this));
        edit->setMinimumWidth(300);
        AddDlgRow(grid, LoadErrorText(label), edit);
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(DlgButton(this, IDOK, LoadErrorText(qor::str::kOkButton)));
    layout->addLayout(buttons);
}

bool CSysInfoDlg::OnInitDialog() {
    const SystemFigures f = ReadSystemFigures();
    const std::pair<int, QString> values[] = {{1000, f.os},        {1004, f.cpu},  {1036, f.memory},
                                              {1050, f.available}, {1051, f.display}, {1052, f.disk},
                                              {1053, f.computer}, {IDC_ERROR_LOG, f.errorLog}};
    for (const auto& [id, text] : values)
        if (auto* e = qobject_cast<QLineEdit*>(GetDlgItem(id))) {
            e->setText(text);
            e->setCursorPosition(0);
        }
    return true;
}

// ---- CTipDlg ----------------------------------------------------------------

namespace {
const QString kTipSection = QStringLiteral("Tip");
}

QString CTipDlg::TipsFilePath() {
    const CReaderApp* app = CReaderApp::Current();
    const QString dir = app ? app->ProgramDirectory : moduleDir();
    // Before a login has set the language the program speaks Chinese.
    const QString language = LanguageCode().isEmpty() ? QStringLiteral("zh-CN") : LanguageCode();
    return QDir(dir).filePath(language + QStringLiteral("/qorw.txt"));
}

CTipDlg::CTipDlg(QWidget* parent, const QString& path)
    : CQorDialog(parent, IDD), m_path(path.isEmpty() ? TipsFilePath() : path) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kTipDlgTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* header = Bind(IDC_HEADER, new QWidget(this));
    header->setAutoFillBackground(true);
    QPalette white = header->palette();
    white.setColor(QPalette::Window, Qt::white);
    header->setPalette(white);
    auto* headerRow = new QHBoxLayout(header);
    auto* icon = new QLabel(header);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    headerRow->addWidget(icon);
    auto* know = new QLabel(LoadErrorText(qor::str::kTipDidYouKnow), header);
    QFont bold = know->font();
    bold.setBold(true);
    know->setFont(bold);
    headerRow->addWidget(know, 1);
    layout->addWidget(header);
    m_tip = Bind(IDC_TIP, new QLabel(this));
    m_tip->setWordWrap(true);
    m_tip->setTextFormat(Qt::PlainText);
    m_tip->setAutoFillBackground(true);
    m_tip->setPalette(white);
    m_tip->setMinimumSize(320, 80);
    m_tip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_tip);
    m_startUp = Bind(
        IDC_STARTUP,
        new QCheckBox(
            controlText(IDD, IDC_STARTUP, LoadErrorText(qor::str::kTipShowAtStartupCheck)), this));
    layout->addWidget(m_startUp);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* next = DlgButton(this, IDC_NEXT, LoadErrorText(qor::str::kTipNextButton));
    m_next = next;
    connect(next, &QPushButton::clicked, this, &CTipDlg::OnNext);
    buttons->addWidget(next);
    buttons->addWidget(DlgButton(this, IDOK, LoadErrorText(qor::str::kClose)));
    layout->addLayout(buttons);

    CAppEnvironment& env = CAppEnvironment::Instance();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > (64 << 20)) {
        m_strTip = LoadErrorText(qor::str::kTipFileMissing);
        m_next->setEnabled(false);
        return;
    }
    m_open = true;
    m_bytes = file.readAll();
    const QString stamp = TipTimeStamp(QFileInfo(m_path).lastModified());
    m_offset = env.GetProfileInt(kTipSection, QStringLiteral("FilePos"), 0);
    // A changed file starts again at its first tip.
    if (env.GetProfileString(kTipSection, QStringLiteral("TimeStamp"), QString()) != stamp) {
        m_offset = 0;
        env.WriteProfileString(kTipSection, QStringLiteral("TimeStamp"), stamp);
    }
    m_strTip = TipReader(m_bytes).Next(&m_offset);
    // A file without a tip line shows nothing and has nothing to step to.
    if (m_strTip.isEmpty()) m_next->setEnabled(false);
}

CTipDlg::~CTipDlg() {
    if (m_open)
        CAppEnvironment::Instance().WriteProfileInt(kTipSection, QStringLiteral("FilePos"),
                                                    int(m_offset));
}

bool CTipDlg::OnInitDialog() {
    // The box shows "show at start-up", the profile stores "do not show".
    m_startUp->setChecked(
        CAppEnvironment::Instance().GetProfileInt(kTipSection, QStringLiteral("StartUp"), 0) <= 0);
    m_tip->setText(m_strTip);
    return true;
}

void CTipDlg::OnNext() {
    if (!m_open) return;
    m_strTip = TipReader(m_bytes).Next(&m_offset);
    m_tip->setText(m_strTip);
}

void CTipDlg::OnOK() {
    CAppEnvironment::Instance().WriteProfileInt(kTipSection, QStringLiteral("StartUp"),
                                                m_startUp->isChecked() ? 0 : 1);
    EndDialog(IDOK);
}

// ---- CLogFileDlg ------------------------------------------------------------

CLogFileDlg::CLogFileDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kErrorLogCaption)));
    auto* layout = new QVBoxLayout(this);
    m_text = Bind(IDC_TEXT, new QPlainTextEdit(this));
    m_text->setReadOnly(true);
    m_text->setMinimumSize(480, 300);
    m_text->installEventFilter(this);
    layout->addWidget(m_text);
    auto* buttons = new QHBoxLayout;
    auto* clear = DlgButton(this, IDC_CLEAR, LoadErrorText(qor::str::kLogFileClearButton));
    auto* save = DlgButton(this, IDC_SAVE, LoadErrorText(qor::str::kSave));
    connect(clear, &QPushButton::clicked, this, &CLogFileDlg::OnClear);
    connect(save, &QPushButton::clicked, this, &CLogFileDlg::OnSave);
    buttons->addWidget(clear);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(DlgButton(this, IDOK, LoadErrorText(qor::str::kClose)));
    layout->addLayout(buttons);
}

bool CLogFileDlg::OnInitDialog() {
    m_text->setPlainText(ReadErrorLogText());
    return true;
}

bool CLogFileDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::FocusIn) {
        m_text->moveCursor(QTextCursor::End);
        m_text->ensureCursorVisible();
    }
    return CQorDialog::eventFilter(watched, event);
}

void CLogFileDlg::OnClear() {
    ClearErrorLog();
    m_text->clear();
}

void CLogFileDlg::OnSave() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kSaveAs);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kTextFileFilter));
    prompt.directory = LoadErrorText(qor::str::kNewFile);
    prompt.save = true;
    const auto chosen = chooseFile(prompt);
    if (!chosen || chosen->isEmpty()) return;
    QString path = *chosen, error;
    if (!SaveLogCopy(ErrorLogPath(), &path, &error) && !error.isEmpty()) warn(error, windowTitle());
}

bool qor::SaveLogCopy(const QString& logPath, QString* path, QString* error) {
    if (QFileInfo(*path).suffix().isEmpty()) *path += QStringLiteral(".txt");
    if (QFileInfo::exists(*path) &&
        !askYesNo(
            LoadErrorText(qor::str::kLogFileSaveReplaceAsk).arg(QDir::toNativeSeparators(*path)),
            LoadErrorText(qor::str::kSaveAs), false))
        return false;
    QByteArray bytes;
    QFile log(logPath);
    if (log.exists()) {
        if (!log.open(QIODevice::ReadOnly)) {
            if (error) *error = LoadErrorText(qor::str::kLogFileUnreadable).arg(logPath);
            return false;
        }
        bytes = log.readAll();
    }
    int err = 0;
    if (!WriteFileSafely(*path, bytes, &err)) {
        if (error)
            *error = LoadErrorText(qor::str::kCannotWriteFileWhy).arg(QDir::toNativeSeparators(*path),
                                              QString::fromLocal8Bit(strerror(err)));
        return false;
    }
    return true;
}

// ---- installation -----------------------------------------------------------

void qor::InstallSmallDialogs(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    cmd::CalcSubsystemHooks hooks = ci.SubsystemHooks();
    hooks.listVariables = [owner](const cmd::VariableListing& listing) {
        CVariablesDlg dlg(owner.data());
        dlg.m_names = listing.names;
        dlg.m_types = listing.types;
        dlg.m_values = listing.values;
        dlg.DoModal();
    };
    ci.SetSubsystemHooks(std::move(hooks));
    CAppEnvironment::Instance().SetTipDialog([owner] {
        CTipDlg dlg(owner.data());
        dlg.DoModal();
    });
}
