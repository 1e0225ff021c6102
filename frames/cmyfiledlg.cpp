#include "frames/cmyfiledlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/inusemarker.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "dialogs/filecolumns.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

namespace {

constexpr int kFolderEditId = 65531;
constexpr int kConditionLabelId = 65532;
constexpr int kConditionEditId = 65533;

QString& currentReportDir() {
    static QString dir;
    return dir;
}

const QString kFolderSection = QStringLiteral("Settings");
const QString kFolderKey = QStringLiteral("LastFolder");

// The folder of the last file chosen, for the next dialog of this run and
// of the next one.
void rememberFolder(const QString& dir) {
    if (dir.isEmpty() || dir == currentReportDir()) return;
    currentReportDir() = dir;
    CAppEnvironment::Instance().WriteProfileString(kFolderSection, kFolderKey, dir);
}

CMyFileDlg::ModalHook& myFileHook() {
    static CMyFileDlg::ModalHook hook;
    return hook;
}

CFileFolderDialog::ModalHook& folderHook() {
    static CFileFolderDialog::ModalHook hook;
    return hook;
}

bool sameText(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// The extension of a path's file name ("" when it has none); "abc." has
// an empty one too.
QString extensionOf(const QString& path) { return QFileInfo(path).suffix(); }

bool hasExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.contains(QLatin1Char('.')) && !name.endsWith(QLatin1Char('.'));
}

QString withExtension(const QString& path, const char* ext) {
    if (hasExtension(path)) return path;
    QString out = path;
    if (!out.endsWith(QLatin1Char('.'))) out += QLatin1Char('.');
    return out + QLatin1String(ext);
}

void warn(const QString& text) {
    qor::messageBox(text, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
}

}  // namespace

// ---------------------------------------------------------------------------
// CMyFileDlg

CMyFileDlg::CMyFileDlg(bool openFile, const QString& defaultExt, const QString& fileName,
                       const QString& filter, QWidget* parent)
    : QFileDialog(parent), m_open(openFile) {
    // The extra controls go into the dialog's own layout, which only the
    // widget-based dialog has.
    setOption(QFileDialog::DontUseNativeDialog, true);
    // Overwriting is asked by the checks of OK, with the program's text.
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setAcceptMode(openFile ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(openFile ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!defaultExt.isEmpty()) setDefaultSuffix(defaultExt);
    if (!filter.isEmpty()) {
        // The patterns are shown in the labels; the dialog's own bracket
        // part is the case-blind form.
        setOption(QFileDialog::HideNameFilterDetails, true);
        setNameFilter(CaseBlindFilter(filter));
    }
    if (!fileName.isEmpty()) {
        const QFileInfo info(fileName);
        if (info.isAbsolute()) m_initialDir = info.absolutePath();
        m_initialName = info.fileName();
    }
    connect(this, &QFileDialog::directoryEntered, this, &CMyFileDlg::onDirectoryEntered);
    qor::KeepFileColumnsReadable(this);
}

CMyFileDlg::~CMyFileDlg() = default;

void CMyFileDlg::SetMode(int mode) { m_mode = (mode >= kOpen && mode <= kCollectWhere) ? mode : kOpen; }

QLineEdit* CMyFileDlg::FileNameEdit() const {
    return findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

QString CMyFileDlg::CurrentReportDir() { return currentReportDir(); }
void CMyFileDlg::SetCurrentReportDir(const QString& dir) { currentReportDir() = dir; }

CMyFileDlg::ModalHook CMyFileDlg::SetModalHook(ModalHook hook) {
    ModalHook old = std::move(myFileHook());
    myFileHook() = std::move(hook);
    return old;
}

QString CMyFileDlg::FilterExtension(const QString& qtFilter) {
    static const QRegularExpression inBrackets(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    static const QRegularExpression eitherCase(QStringLiteral("\\[(.)(.)\\]"));
    const QRegularExpressionMatch m = inBrackets.match(qtFilter);
    QString patterns = m.hasMatch() ? m.captured(1) : qtFilter;
    // "[rR]" of a case-blind pattern is the letter r.
    patterns.replace(eitherCase, QStringLiteral("\\1"));
    const QString first = patterns.simplified().section(QLatin1Char(' '), 0, 0);
    if (!first.startsWith(QLatin1String("*."))) return QString();
    const QString ext = first.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')))
        return QString();
    return ext;
}

QString CMyFileDlg::CaseBlindFilter(const QString& qtFilter) {
    static const QRegularExpression entry(QStringLiteral("^(.*)\\(([^()]*)\\)\\s*$"));
    static const QRegularExpression ownPatterns(QStringLiteral("^(.*)[(（]([^()（）]*)[)）]$"));
    QStringList out;
    for (const QString& one : qtFilter.split(QStringLiteral(";;"))) {
        const QRegularExpressionMatch m = entry.match(one);
        if (!m.hasMatch()) {
            out << one;
            continue;
        }
        QStringList blind;
        for (const QString& pattern : m.captured(2).simplified().split(QLatin1Char(' '))) {
            QString b;
            for (QChar c : pattern) {
                if (c.isLetter() && c.toLower() != c.toUpper())
                    b += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
                else
                    b += c;
            }
            blind << b;
        }
        // Most labels of the string table already name their patterns
        // ("批命令文件(*.shl)"): shown once, in the label's brackets.
        const QString patterns = m.captured(2).simplified();
        QString label = m.captured(1).trimmed();
        const QRegularExpressionMatch own = ownPatterns.match(label);
        if (own.hasMatch() &&
            own.captured(2).replace(u';', u' ').replace(u',', u' ').simplified() == patterns)
            label = own.captured(1).trimmed();
        out << LoadErrorText(qor::str::kFilterLabelPatterns).arg(label, patterns, blind.join(u' '));
    }
    return out.join(QStringLiteral(";;"));
}

QString CMyFileDlg::StartFolder(const QString& reportPath) {
    if (!reportPath.isEmpty()) {
        const QString dir = QFileInfo(reportPath).absolutePath();
        if (QFileInfo(dir).isDir()) return dir;
    }
    QString last = currentReportDir();
    if (last.isEmpty())
        last = CAppEnvironment::Instance().GetProfileString(kFolderSection, kFolderKey);
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    return QDir::homePath();
}

QString CMyFileDlg::ReplaceExtension(const QString& name, const QString& ext) {
    const qsizetype slash =
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > slash) return name.left(dot + 1) + ext;
    return name + QLatin1Char('.') + ext;
}

void CMyFileDlg::setUpTexts() {
    static constexpr int okText[] = {qor::str::kOpen, qor::str::kExecute,      qor::str::kSetFolder, qor::str::kSaveAsButton, qor::str::kOpenSpaced,
                                     qor::str::kSave, qor::str::kOpen,     qor::str::kCollect,   qor::str::kCollect};
    const bool savesIn = m_mode == kFolder || m_mode == kSaveReport || m_mode == kSaveReplace;
    setLabelText(QFileDialog::LookIn, savesIn ? LoadErrorText(qor::str::kSavedIn) : LoadErrorText(qor::str::kLookInLabel));
    setLabelText(QFileDialog::FileName, LoadErrorText(qor::str::kFileNameLabel));
    setLabelText(QFileDialog::FileType, LoadErrorText(qor::str::kFileTypeLabel));
    setLabelText(QFileDialog::Accept, LoadErrorText(okText[m_mode]));
    setLabelText(QFileDialog::Reject, LoadErrorText(qor::str::kCancelButton));
    // What each control does, for the mouse.
    if (QLineEdit* edit = FileNameEdit()) edit->setToolTip(LoadErrorText(qor::str::kFileNameLabel));
    if (auto* box = findChild<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Open)
                                  ? box->button(QDialogButtonBox::Open)
                                  : box->button(QDialogButtonBox::Save))
            ok->setToolTip(LoadErrorText(okText[m_mode]).trimmed());
}

void CMyFileDlg::setUpExtraControls() {
    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (m_mode == kFolder) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly, true);
        // The folder is the one shown; the name and type rows are hidden
        // and a read-only edit shows where the path will be set.
        m_folderEdit = new QLineEdit(this);
        m_folderEdit->setObjectName(QStringLiteral("c%1").arg(kFolderEditId));
        m_folderEdit->setEnabled(false);
        m_folderEdit->setFont(font());
        const char* hidden[] = {"fileNameLabel", "fileNameEdit", "fileTypeLabel", "fileTypeCombo"};
        int row = -1;
        for (const char* name : hidden) {
            if (QWidget* w = findChild<QWidget*>(QLatin1String(name))) {
                if (row < 0 && grid) {
                    int r = 0, c = 0, rs = 0, cs = 0;
                    const int index = grid->indexOf(w);
                    if (index >= 0) grid->getItemPosition(index, &r, &c, &rs, &cs);
                    row = r;
                }
                w->hide();
            }
        }
        if (grid) grid->addWidget(m_folderEdit, row < 0 ? grid->rowCount() : row, 0, 1, 3);
        return;
    }
    if (m_mode == kCollectWhere) {
        // The condition takes the place of the file type.
        m_conditionLabel = new QLabel(LoadErrorText(qor::str::kCollectCondition), this);
        m_conditionLabel->setObjectName(QStringLiteral("c%1").arg(kConditionLabelId));
        m_conditionEdit = new QLineEdit(m_condition, this);
        m_conditionEdit->setObjectName(QStringLiteral("c%1").arg(kConditionEditId));
        m_conditionLabel->setBuddy(m_conditionEdit);
        QWidget* typeLabel = findChild<QWidget*>(QStringLiteral("fileTypeLabel"));
        QWidget* typeCombo = findChild<QWidget*>(QStringLiteral("fileTypeCombo"));
        auto place = [grid](QWidget* old, QWidget* fresh, int fallbackColumn) {
            int r = grid->rowCount(), c = fallbackColumn, rs = 1, cs = 1;
            const int index = old ? grid->indexOf(old) : -1;
            if (index >= 0) {
                grid->getItemPosition(index, &r, &c, &rs, &cs);
                old->hide();
                grid->removeWidget(old);
            }
            grid->addWidget(fresh, r, c, rs, cs);
        };
        if (grid) {
            place(typeLabel, m_conditionLabel, 0);
            place(typeCombo, m_conditionEdit, 1);
        }
    }
}

int CMyFileDlg::DoModal() {
    m_result = 0;
    m_path.clear();
    if (!m_started) {
        m_started = true;
        if (m_mode == kSaveReport || m_mode == kSaveReplace) {
            setAcceptMode(QFileDialog::AcceptSave);
            setFileMode(QFileDialog::AnyFile);
        } else if (m_mode != kFolder && m_open) {
            setAcceptMode(QFileDialog::AcceptOpen);
            // The open button stays usable for a name not listed.
            setFileMode(m_newNameAllowed ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        }
        setUpExtraControls();
        setUpTexts();
        // The dialog's own handling of a new type puts the pattern's raw
        // suffix ("[xX][lL][sS][xX]") on the name; the name is mended after it.
        if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            connect(types, &QComboBox::activated, this, &CMyFileDlg::onFilterSelected);
    }
    // The dialog opens in its folder; the process's own directory stays
    // where it is, so relative paths of the command language keep working.
    QString dir = m_initialDir;
    if (dir.isEmpty()) dir = StartFolder();
    if (!dir.isEmpty() && QFileInfo(dir).isDir()) setDirectory(dir);
    if (!m_initialName.isEmpty() && m_mode != kFolder) selectFile(m_initialName);
    if (m_folderEdit) m_folderEdit->setText(QDir::toNativeSeparators(directory().absolutePath()));
    if (const ModalHook& hook = myFileHook()) {
        hook(*this);
        return m_result ? m_result : IDCANCEL;
    }
    exec();
    return m_result ? m_result : IDCANCEL;
}

void CMyFileDlg::done(int code) {
    m_result = code == QDialog::Accepted ? IDOK : IDCANCEL;
    QFileDialog::done(code);
}

QString CMyFileDlg::currentFilter() const {
    // selectedNameFilter() gives the label shown, without the patterns.
    const auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    return nameFilters().value(types ? types->currentIndex() : 0);
}

void CMyFileDlg::onFilterSelected(int index) {
    QLineEdit* edit = FileNameEdit();
    if (!edit) return;
    const QString name = edit->text().trimmed();
    const QString ext = FilterExtension(nameFilters().value(index));
    // "All files" leaves the name as typed; so does a list of names.
    if (name.isEmpty() || ext.isEmpty() || name.contains(QLatin1Char('"'))) return;
    edit->setText(ReplaceExtension(name, ext));
}

void CMyFileDlg::onDirectoryEntered(const QString& dir) {
    if (m_folderEdit) m_folderEdit->setText(QDir::toNativeSeparators(dir));
}

void CMyFileDlg::accept() {
    if (m_mode == kFolder) {
        m_folder = directory().absolutePath();
        m_path = m_folder;
        done(QDialog::Accepted);
        return;
    }
    QString path;
    if (QLineEdit* edit = FileNameEdit(); edit && !edit->text().trimmed().isEmpty()) {
        const QString typed = edit->text().trimmed();
        path = QDir::isAbsolutePath(typed) ? typed : directory().absoluteFilePath(typed);
    } else {
        path = selectedFiles().value(0);
    }
    if (path.isEmpty()) return;
    path = QDir::cleanPath(path);
    // A folder typed or chosen is entered, as in any file dialog.
    if (QFileInfo(path).isDir()) {
        setDirectory(path);
        if (QLineEdit* edit = FileNameEdit()) edit->clear();
        return;
    }
    if (!checkName(path)) return;
    m_path = path;
    done(QDialog::Accepted);
}

bool CMyFileDlg::checkName(QString& path) {
    switch (m_mode) {
        case kSaveReport:
            if (!checkSaveReport(path)) return false;
            break;
        case kSaveReplace:
            // The writer replaces the file only once the new one is
            // complete: deleting it here would lose it when the write fails.
            return true;
        case kOpenMenu:
            if (!checkMenuFile(path)) return false;
            break;
        case kCollectWhere:
            if (!checkCondition(path)) return false;
            break;
        default: {
            QString ext = defaultSuffix();
            if (ext.isEmpty() && m_newNameAllowed) ext = FilterExtension(currentFilter());
            if (!ext.isEmpty() && !hasExtension(path) && !QFileInfo::exists(path))
                path = withExtension(path, ext.toLatin1().constData());
            break;
        }
    }
    const bool mustExist = m_open && m_mode != kSaveReport && !m_newNameAllowed;
    if (mustExist && !QFileInfo(path).isFile()) {
        warn(QDir::toNativeSeparators(path) + LoadErrorText(qor::str::kFileNotFoundCheckName));
        return false;
    }
    rememberFolder(QFileInfo(path).absolutePath());
    return true;
}

bool CMyFileDlg::checkSaveReport(QString& path) {
    path = withExtension(path, "rep");
    const QFileInfo info(path);
    if (!info.exists()) return true;
    const QString shown = QDir::toNativeSeparators(path);
    if (sameText(extensionOf(path), "rep")) {
        if (FindOpenReport(path)) {
            warn(shown + LoadErrorText(qor::str::kFileOpenSaveAsOther));
            return false;
        }
        QString computer;
        if (IsReportOpenElsewhere(path, &computer)) {
            warn(shown + QStringLiteral("\r\n") + LoadErrorText(qor::str::kReportHeldBy) + computer +
                 LoadErrorText(qor::str::kReportHeldByEnd) + LoadErrorText(qor::str::kEnterDifferentName));
            return false;
        }
    }
    return qor::askYesNo(shown + LoadErrorText(qor::str::kFileExistsOverwriteQuestion));
}

bool CMyFileDlg::checkMenuFile(QString& path) {
    path = withExtension(path, "MNU");
    if (!sameText(extensionOf(path), "mnu")) {
        warn(LoadErrorText(qor::str::kChooseMenuFile));
        return false;
    }
    if (!QFileInfo(path).isFile()) {
        warn(LoadErrorText(qor::str::kMenuFileMissing));
        return false;
    }
    return true;
}

bool CMyFileDlg::checkCondition(const QString& path) {
    m_condition = (m_conditionEdit ? m_conditionEdit->text() : m_condition).trimmed();
    if (m_condition.isEmpty()) return true;
    // The condition is put into a command line: a line break would start a
    // command of its own, and a quote in the path would end the name early.
    if (m_condition.contains(QLatin1Char('\n')) || m_condition.contains(QLatin1Char('\r')) ||
        path.contains(QLatin1Char('"'))) {
        warn(LoadErrorText(qor::str::kBadCollectCondition));
        return false;
    }
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    const int saved = ci.TestRunMode(0xFF);
    ci.SetRunMode(0, CCalcInterpreter::kModeUi);
    const int rc = ci.RunLine(QStringLiteral("APPEND FROM \"%1\" FOR %2\n")
                                  .arg(QDir::toNativeSeparators(path), m_condition));
    ci.SetRunMode(0xFF, saved);
    if (rc != 0) {
        warn(LoadErrorText(qor::str::kBadCollectCondition));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// CFileFolderDialog

CFileFolderDialog::CFileFolderDialog(bool openFile, const QString& filter, QWidget* parent)
    : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(openFile ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(openFile ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    if (!filter.isEmpty()) {
        // The patterns are shown in the labels; the dialog's own bracket
        // part is the case-blind form.
        setOption(QFileDialog::HideNameFilterDetails, true);
        setNameFilter(CMyFileDlg::CaseBlindFilter(filter));
    }
    setLabelText(QFileDialog::LookIn, LoadErrorText(qor::str::kLookInLabel));
    setLabelText(QFileDialog::FileName, LoadErrorText(qor::str::kFileNameLabel));
    setLabelText(QFileDialog::FileType, LoadErrorText(qor::str::kFileTypeLabel));
    setLabelText(QFileDialog::Accept, LoadErrorText(qor::str::kOpen));
    setLabelText(QFileDialog::Reject, LoadErrorText(qor::str::kCancelButton));
    // Many files are picked here: the list gets more room.
    const QSize base = sizeHint();
    resize(base.width(), base.height() + kExtraHeight);
    qor::KeepFileColumnsReadable(this);
}

CFileFolderDialog::ModalHook CFileFolderDialog::SetModalHook(ModalHook hook) {
    ModalHook old = std::move(folderHook());
    folderHook() = std::move(hook);
    return old;
}

int CFileFolderDialog::DoModal() {
    m_files.clear();
    int code = QDialog::Rejected;
    if (const ModalHook& hook = folderHook()) {
        setResult(QDialog::Rejected);
        hook(*this);
        code = result();
    } else {
        code = exec();
    }
    if (code != QDialog::Accepted) return IDCANCEL;
    m_files = selectedFiles();
    return m_files.isEmpty() ? IDCANCEL : IDOK;
}

QString CFileFolderDialog::GetNextPathName(int& pos) const {
    if (pos <= 0 || pos > m_files.size()) {
        pos = 0;
        return QString();
    }
    const QString path = m_files.at(pos - 1);
    pos = pos < m_files.size() ? pos + 1 : 0;
    return path;
}
