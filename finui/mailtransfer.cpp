#include "finui/mailtransfer.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QThread>
#include <QVBoxLayout>
#include <vector>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/inusemarker.h"
#include "engine/messages.h"
#include "platform/datadir.h"
#include "platform/registry.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

namespace qor::mail {

namespace {

const QString kSettingsKey = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail");

const char16_t* u16(const QString& s) { return reinterpret_cast<const char16_t*>(s.utf16()); }

QString caption() { return LoadErrorText(str::kAppTitle); }

// Runs work on a worker thread while the window's events go on.
void onWorker(const std::function<void()>& work) {
    std::unique_ptr<QThread> t(QThread::create(work));
    QEventLoop loop;
    QObject::connect(t.get(), &QThread::finished, &loop, &QEventLoop::quit);
    t->start();
    if (!t->isFinished()) loop.exec();
    t->wait();
}

// Holds MailThreadEvent reset while a transfer window lives.
struct TransferMark {
    TransferMark() { MailThreadEvent().Reset(); }
    ~TransferMark() { MailThreadEvent().Set(); }
    TransferMark(const TransferMark&) = delete;
    TransferMark& operator=(const TransferMark&) = delete;
};

QStringList methodNames() {
    return {LoadErrorText(str::kMailMethodPointToPoint), LoadErrorText(str::kMailMethodPostOffice),
            LoadErrorText(str::kMailMethodEmail), LoadErrorText(str::kMailMethodDiskFile)};
}

QButtonGroup* addMethods(QDialog* dlg, QBoxLayout* into) {
    auto* group = new QButtonGroup(dlg);
    auto* row = new QHBoxLayout;
    const QStringList names = methodNames();
    for (int i = 0; i < names.size(); ++i) {
        auto* b = new QRadioButton(names[i], dlg);
        b->setObjectName(QStringLiteral("method%1").arg(i));
        group->addButton(b, i);
        row->addWidget(b);
    }
    group->button(0)->setChecked(true);
    into->addLayout(row);
    return group;
}

// A copy that is whole or not there: written beside the target, renamed.
bool copyInto(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) return false;
    for (;;) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty()) break;
        if (out.write(chunk) != chunk.size()) return false;
    }
    return in.error() == QFile::NoError && out.commit();
}

}  // namespace

QString MailLibraryPath() {
    QString dir = qEnvironmentVariable("QOR_MAIL_LIBRARY_DIR");
    if (dir.isEmpty()) dir = moduleDir();
    return QDir(dir).filePath(QStringLiteral("libvtmail8.so"));
}

VtMail::VtMail() = default;
VtMail::~VtMail() {
    if (lib) lib->unload();
}

bool VtMail::Load() {
    const QString path = MailLibraryPath();
    if (!QFileInfo::exists(path)) return false;
    lib = std::make_unique<QLibrary>(path);
    if (!lib->load()) return false;
    auto get = [this](auto& f, const char* name) {
        f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(lib->resolve(name));
    };
    get(IniSend, "IniSend");
    get(SetUser, "SetUser");
    get(AddFile, "AddFile");
    get(SendFile, "SendFile");
    get(CloseSend, "CloseSend");
    get(IniAccept, "IniAccept");
    get(FreeAccept, "FreeAccept");
    get(CloseAccept, "CloseAccept");
    get(AcceptMode, "AcceptMode");
    get(AcceptPost, "AcceptPost");
    get(AcceptFile, "AcceptFile");
    get(AcceptMail, "AcceptMail");
    get(Accept, "Accept");
    get(MailLastError, "MailLastError");
    get(Setup, "Setup");
    return true;
}

bool VtMail::HasSendEntries() const {
    return IniSend && SetUser && AddFile && SendFile && CloseSend && MailLastError;
}

bool VtMail::HasAcceptEntries() const {
    return SetUser && IniAccept && FreeAccept && CloseAccept && AcceptMode && AcceptPost &&
           AcceptFile && AcceptMail && Accept && MailLastError;
}

QString VtMail::LastError() const {
    if (!MailLastError) return QString();
    const int32_t n = MailLastError(nullptr, 0);
    if (n <= 0) return QString();
    std::vector<char16_t> buf(size_t(n) + 1);
    MailLastError(buf.data(), n + 1);
    return QString::fromUtf16(buf.data());
}

QString SafeTargetName(const QString& sourcePath) {
    QString name = sourcePath;
    const qsizetype cut = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (cut >= 0) name = name.mid(cut + 1);
    if (name.trimmed().isEmpty() || name == u"." || name == u"..") return QString();
    for (QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return QString();
    return name;
}

bool MailAvailable() { return MailThreadEvent().WaitFor(0); }

// ---- starting ----------------------------------------------------------

namespace {

template <class Dlg>
bool start(QWidget* parent, QString* why, const std::function<void(Dlg*)>& prepare = {}) {
    auto fail = [why](const QString& text, bool show) {
        if (why) *why = text;
        if (show) messageBox(text, caption(), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    };
    if (!MailAvailable()) return fail(LoadErrorText(str::kMailProgramRunning), false);
    // The window holds the mark; a start that fails gives it back at once.
    auto mark = std::make_shared<TransferMark>();
    auto mail = std::make_unique<VtMail>();
    if (!mail->Load()) return fail(LoadErrorText(str::kMailDllMissing), true);
    auto* dlg = new Dlg(parent, std::move(mail));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dlg, &QObject::destroyed, [mark]() mutable { mark.reset(); });
    if (prepare) prepare(dlg);
    dlg->show();
    dlg->raise();
    dlg->activateWindow();
    return true;
}

}  // namespace

bool StartSend(QWidget* parent, QString* why) { return start<CSendFileDlg>(parent, why); }
bool StartReceive(QWidget* parent, QString* why) { return start<CAcceptFileDlg>(parent, why); }
bool StartSend(QWidget* parent, QString* why, const QStringList& files) {
    return start<CSendFileDlg>(parent, why,
                               [&files](CSendFileDlg* dlg) { dlg->AddFiles(files); });
}

bool RunSetup(QString* why) {
    if (!MailAvailable()) {
        if (why) *why = LoadErrorText(str::kMailProgramRunning);
        return false;
    }
    VtMail mail;
    if (!mail.Load() || !mail.Setup) {
        const QString text = LoadErrorText(str::kMailDllNotInstalled);
        messageBox(text, caption(), MsgButtons::Ok, MsgIcon::Warning);
        if (why) *why = text;
        return false;
    }
    mail.Setup();
    return true;
}

void InstallMailCommand(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    cmd::CalcSubsystemHooks hooks = CCalcInterpreter::Instance().SubsystemHooks();
    hooks.mail = [owner](QChar mode, QString* why) {
        const QChar m = mode.toUpper();
        if (m.isNull() || m == u'S') return StartSend(owner, why);
        if (m == u'A') return StartReceive(owner, why);
        return RunSetup(why);
    };
    CCalcInterpreter::Instance().SetSubsystemHooks(hooks);
}

// ---- sending -------------------------------------------------------------

CSendFileDlg::CSendFileDlg(QWidget* parent, std::unique_ptr<VtMail> mail)
    : QDialog(parent), m_mail(std::move(mail)) {
    setObjectName(QStringLiteral("CSendFileDlg"));
    setWindowTitle(LoadErrorText(str::kMailSendTitle));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(str::kFilesToSend), this));
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("files"));
    m_files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(m_files);
    m_method = addMethods(this, layout);
    auto* addr = new QHBoxLayout;
    addr->addWidget(new QLabel(LoadErrorText(str::kMailSendAddressLabel), this));
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("address"));
    addr->addWidget(m_address);
    layout->addLayout(addr);
    auto* buttons = new QHBoxLayout;
    auto* choose = new QPushButton(LoadErrorText(str::kMailChooseFiles), this);
    m_delete = new QPushButton(LoadErrorText(str::kMailDeleteFileButton), this);
    m_send = new QPushButton(LoadErrorText(str::kMailSendButton), this);
    auto* exit = new QPushButton(LoadErrorText(str::kMailExitButton), this);
    m_send->setObjectName(QStringLiteral("send"));
    for (QPushButton* b : {choose, m_delete, m_send, exit}) buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(choose, &QPushButton::clicked, this, [this] {
        // The desktop's file dialog, several files at once.
        AddFiles(chooseFiles({LoadErrorText(str::kMailChooseFiles), QString(),
                              LoadErrorText(str::kAllFilesFilterText), false, 4})
                     .value_or(QStringList()));
    });
    connect(m_delete, &QPushButton::clicked, this, [this] { DeleteSelected(); });
    connect(m_send, &QPushButton::clicked, this, [this] { Send(); });
    connect(exit, &QPushButton::clicked, this, &QDialog::close);
    connect(m_method, &QButtonGroup::idClicked, this,
            [this](int id) { m_address->setEnabled(id != 3); });

    m_entriesOk = m_mail && m_mail->HasSendEntries();
    // A missing entry point is never called: sending stays off.
    if (!m_entriesOk) messageBox(LoadErrorText(str::kMailDllNotFound), caption(), MsgButtons::Ok, MsgIcon::Warning);
    updateButtons();
}

CSendFileDlg::~CSendFileDlg() = default;

void CSendFileDlg::updateButtons() {
    const bool any = m_files->count() > 0;
    m_send->setEnabled(any && m_entriesOk);
    m_delete->setEnabled(any);
}

void CSendFileDlg::AddFiles(const QStringList& paths) {
    const int before = m_files->count();
    for (const QString& p : paths) {
        if (p.isEmpty()) break;
        if (!m_files->findItems(p, Qt::MatchExactly).isEmpty()) continue;
        m_files->insertItem(before, p);
    }
    updateButtons();
}

void CSendFileDlg::DeleteSelected() {
    qDeleteAll(m_files->selectedItems());
    updateButtons();
}

bool CSendFileDlg::Send() {
    if (!m_entriesOk) return false;
    const int method = m_method->checkedId();
    const QString address = m_address->text();
    if (m_files->count() == 0) {
        messageBox(LoadErrorText(str::kChooseAFile), caption());
        return false;
    }
    if (address.isEmpty() && method != 3) {
        messageBox(LoadErrorText(str::kEnterSendAddress), caption());
        return false;
    }
    QStringList files;
    for (int i = 0; i < m_files->count(); ++i) files << m_files->item(i)->text();
    // Reports another computer holds open travel unmarked; each gets its
    // holder's mark back afterwards, unless it was closed meanwhile.
    QList<std::pair<QString, QString>> held;
    for (const QString& f : files) {
        QString holder;
        if (IsReportOpenElsewhere(f, &holder) && MarkReportClosed(f)) held.append({f, holder});
    }
    int32_t rc = -1;
    QString reason;
    setEnabled(false);
    VtMail* mail = m_mail.get();
    onWorker([&] {
        mail->IniSend();
        mail->SetUser(u16(QStringLiteral("DZBB")));
        for (const QString& f : files) mail->AddFile(u16(f));
        rc = mail->SendFile(method + 1, u16(address));
        if (rc != 0) reason = mail->LastError();
        mail->CloseSend();
    });
    setEnabled(true);
    for (const auto& [path, holder] : held) {
        QString now;
        if (!IsReportOpenElsewhere(path, &now)) MarkReportOpenedBy(path, holder);
    }
    raise();
    activateWindow();
    if (rc != 0) {
        messageBox(LoadErrorText(str::kMailNotSentReason).arg(reason), caption(), MsgButtons::Ok,
                   MsgIcon::Warning);
        return false;
    }
    // Said, not only done: what went and where to. The disk exchange
    // folder is the transport's setting.
    constexpr int kDiskMethod = 3;
    messageBox(method == kDiskMethod
                   ? LoadErrorText(str::kMailSentToDisk).arg(files.size())
                   : LoadErrorText(str::kMailSent).arg(files.size()).arg(methodNames().value(method), address),
               caption(), MsgButtons::Ok, MsgIcon::Information);
    return true;
}

// ---- receiving -----------------------------------------------------------

CAcceptFileDlg::CAcceptFileDlg(QWidget* parent, std::unique_ptr<VtMail> mail)
    : QDialog(parent), m_mail(std::move(mail)) {
    setObjectName(QStringLiteral("CAcceptFileDlg"));
    setWindowTitle(LoadErrorText(str::kMailReceiveTitle));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* source = new QHBoxLayout;
    source->addWidget(new QLabel(LoadErrorText(str::kMailSourceLabel), this));
    m_source = new QComboBox(this);
    m_source->addItems({LoadErrorText(str::kUpdateSheetObject), LoadErrorText(str::kDecisionSupport)});
    source->addWidget(m_source);
    layout->addLayout(source);
    // The list's title says what it holds: files waiting, then, once a
    // receive has run, the files received.
    m_filesHeader = new QLabel(LoadErrorText(str::kWaitingToReceive), this);
    m_filesHeader->setObjectName(QStringLiteral("filesHeader"));
    layout->addWidget(m_filesHeader);
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("files"));
    layout->addWidget(m_files);
    m_method = addMethods(this, layout);
    auto* folder = new QHBoxLayout;
    folder->addWidget(new QLabel(LoadErrorText(str::kMailSaveFolderLabel), this));
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("folder"));
    folder->addWidget(m_folder);
    auto* saveTo = new QPushButton(LoadErrorText(str::kMailSaveToButton), this);
    folder->addWidget(saveTo);
    layout->addLayout(folder);
    auto* buttons = new QHBoxLayout;
    m_receive = new QPushButton(LoadErrorText(str::kMailReceiveButton), this);
    m_receive->setObjectName(QStringLiteral("receive"));
    auto* close = new QPushButton(LoadErrorText(str::kClose), this);
    buttons->addWidget(m_receive);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    // The folder last received into, else the data folder.
    m_folder->setText(QDir::toNativeSeparators(
        Registry::readString(kSettingsKey, QStringLiteral("LastSaveFolder"), dataDir())));
    connect(saveTo, &QPushButton::clicked, this, [this] {
        // The desktop's file dialog in its folder mode.
        const std::optional<QString> chosen =
            chooseFile({LoadErrorText(str::kChooseFolder), SaveFolder(), QString(), true, 2});
        if (chosen && !chosen->isEmpty()) SetSaveFolder(*chosen);
    });
    connect(m_receive, &QPushButton::clicked, this, [this] { Receive(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    m_entriesOk = m_mail && m_mail->HasAcceptEntries();
    if (!m_entriesOk) messageBox(LoadErrorText(str::kMailDllNotFound), caption(), MsgButtons::Ok, MsgIcon::Warning);
    m_receive->setEnabled(m_entriesOk);
}

CAcceptFileDlg::~CAcceptFileDlg() = default;

void CAcceptFileDlg::SetSaveFolder(const QString& folder) {
    QString f = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    m_folder->setText(QDir::toNativeSeparators(f));
}

QString CAcceptFileDlg::SaveFolder() const {
    return QDir::cleanPath(QDir::fromNativeSeparators(m_folder->text().trimmed()));
}

int CAcceptFileDlg::Receive() {
    if (!m_entriesOk) return 0;
    m_files->clear();
    m_filesHeader->setText(LoadErrorText(str::kReceiveFiles));
    const QString folder = SaveFolder();
    const int method = m_method->checkedId();
    static const char16_t* const users[] = {u"DZBB", u"cwfx", u"vtdss"};
    const char16_t* user = users[std::clamp(m_source->currentIndex(), 0, 2)];

    int32_t count = 0;
    QStringList sources;
    QString reason;
    VtMail* mail = m_mail.get();
    setEnabled(false);
    onWorker([&] {
        mail->IniAccept();
        mail->SetUser(user);
        switch (method) {
            case 0:
                count = mail->AcceptMode();
                break;
            case 1:
                count = mail->AcceptPost();
                break;
            case 2:
                count = mail->AcceptMail();
                break;
            case 3:
                count = mail->AcceptFile();
                break;
            default:
                count = 0;
        }
        if (count < 0) reason = mail->LastError();
        for (int32_t i = 1; i <= count; ++i) {
            // Asked for the length first, so no path is ever cut.
            const int32_t n = mail->Accept(i, nullptr, 0);
            if (n < 0) {
                sources << QString();
                reason = mail->LastError();
                continue;
            }
            std::vector<char16_t> buf(size_t(n) + 1);
            mail->Accept(i, buf.data(), n + 1);
            sources << QString::fromUtf16(buf.data());
        }
    });
    setEnabled(true);

    int received = 0;
    bool lost = false;
    if (count == 0) {
        messageBox(LoadErrorText(str::kNoFilesToReceive), caption());
    } else if (count < 0) {
        messageBox(LoadErrorText(str::kMailCannotReceive).arg(reason), caption(), MsgButtons::Ok,
                   MsgIcon::Warning);
    } else if (!QDir().mkpath(folder)) {
        messageBox(LoadErrorText(str::kCannotCreate) + QDir::toNativeSeparators(folder) + LoadErrorText(str::kFolderSuffix),
                   caption(), MsgButtons::Ok, MsgIcon::Error);
        lost = true;
    } else {
        Registry::writeString(kSettingsKey, QStringLiteral("LastSaveFolder"), folder);
        for (const QString& source : sources) {
            const QString name = SafeTargetName(source);
            if (source.isEmpty() || name.isEmpty()) {
                messageBox(LoadErrorText(str::kMailOneNotReceived).arg(reason), caption(),
                           MsgButtons::Ok, MsgIcon::Warning);
                lost = true;
                continue;
            }
            QString target = QDir(folder).filePath(name);
            while (QFileInfo::exists(target)) {
                if (askYesNo(QDir::toNativeSeparators(target) + LoadErrorText(str::kFileExistsOverwrite), caption()))
                    break;
                const std::optional<QString> other =
                    chooseFile({LoadErrorText(str::kReceiveFiles), folder, LoadErrorText(str::kAllFilesFilterText), true});
                const QString otherName = other ? SafeTargetName(*other) : QString();
                if (!otherName.isEmpty()) {
                    target = QDir(folder).filePath(otherName);
                    break;
                }
            }
            if (!copyInto(source, target)) {
                messageBox(QDir::toNativeSeparators(source) + LoadErrorText(str::kDoesNotExist), caption());
                lost = true;
                continue;
            }
            m_files->addItem(QDir::toNativeSeparators(target));
            ++received;
        }
    }
    setEnabled(false);
    onWorker([&] {
        // A message any file of which did not arrive stays unseen.
        if (lost) mail->IniAccept();
        mail->CloseAccept();
    });
    setEnabled(true);
    raise();
    activateWindow();
    return received;
}

}  // namespace qor::mail
