#include "reader/cappenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <cerrno>
#include <chrono>

#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/paths.h"
#include "platform/datadir.h"
#include "platform/registry.h"
#include "reader/cappservicelist.h"
#include "reader/cqordb.h"
#include "reader/creaderapp.h"

namespace {

Q_LOGGING_CATEGORY(lcEnv, "qor.environment")

QMutex& envsLock() {
    static QMutex m;
    return m;
}

QList<CAppEnvironment*>& liveEnvironments() {
    static QList<CAppEnvironment*> e;
    return e;
}

QDate toDate(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDate) return v.toDate();
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime().date();
    const QString t = v.toString().trimmed();
    for (const char* f : {"yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d", "yyyyMMdd"}) {
        const QDate d = QDate::fromString(t, QLatin1String(f));
        if (d.isValid()) return d;
    }
    return QDate();
}

}  // namespace

// ---------------------------------------------------------------------------
// Mail-thread event

namespace qor {

void ManualResetEvent::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    m_cv.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

void ManualResetEvent::Wait() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_signalled || m_closed; });
}

bool ManualResetEvent::WaitFor(int milliseconds) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [this] { return m_signalled || m_closed; });
}

void ManualResetEvent::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_cv.notify_all();
}

}  // namespace qor

qor::ManualResetEvent& MailThreadEvent() {
    static qor::ManualResetEvent e(true);
    return e;
}

// ---------------------------------------------------------------------------
// CAppEnvironment

const char* const CAppEnvironment::kLoginProgIds[3] = {"Vantix.V9.Framework.Login.UI.clsLogin",
                                                       "VTLogin.Login", "V9Login.clsLogin"};
const QString CAppEnvironment::kInstallKey =
    QStringLiteral("Software\\Vantix\\QX\\V8.610\\Install");

CAppEnvironment::CAppEnvironment(CReaderApp& app) : m_app(app) {
    {
        QMutexLocker lock(&envsLock());
        liveEnvironments().append(this);
    }
    // The data dictionary lives in the login's database. Without a login
    // component the value the host keeps under its login key still names
    // it, as it did before the environment existed.
    CQorDB::SetLoginDbNameSource([] {
        QString name;
        if (CAppEnvironment* e = Current()) name = e->GetLoginDbName();
        if (name.trimmed().isEmpty())
            name = qor::Registry::readString(CQorDB::kLoginKey, QStringLiteral("VtDbName"));
        return name;
    });
}

CAppEnvironment::~CAppEnvironment() {
    // Services may hold the login object; they go first.
    m_services.reset();
    QMutexLocker lock(&envsLock());
    liveEnvironments().removeAll(this);
}

CAppEnvironment* CAppEnvironment::Current() {
    QMutexLocker lock(&envsLock());
    return liveEnvironments().isEmpty() ? nullptr : liveEnvironments().last();
}

CAppEnvironment& CAppEnvironment::Instance() {
    if (CAppEnvironment* e = Current()) return *e;
    // Lives for the process: the login component and the services may be
    // reached from anywhere until the end.
    static CReaderApp* app = new CReaderApp();
    static CAppEnvironment* env = new CAppEnvironment(*app);
    return *env;
}

bool CAppEnvironment::Login() {
    if (m_login.isNull()) {
        QStringList problems;
        for (const char* progId : kLoginProgIds) {
            try {
                m_login = qor::AutoObject::create(QLatin1String(progId));
                break;
            } catch (const qor::AutoError& e) {
                problems.append(e.text());
            }
        }
        if (m_login.isNull()) {
            qCWarning(lcEnv).noquote() << "no host login component:" << problems.join(u"; ");
            TraceMessage(problems.value(0));
            return false;
        }
    }
    constexpr int kLoggingInWithoutEntry = 63165;  // the table has no text for it
    TraceMessage(qor::messageText(kLoggingInWithoutEntry, QStringLiteral("正在登录...")));
    bool ok = true;
    try {
        if (m_login.hasMember(QStringLiteral("Login")))
            ok = m_login.invoke(QStringLiteral("Login")).toBool();
    } catch (const qor::AutoError& e) {
        qCWarning(lcEnv).noquote() << "login failed:" << e.text();
        ok = false;
    }
    ReadLoginValues();
    m_loggedIn = ok;
    // The account set the user logged in to is one the application's
    // database formulas and dialogs may read.
    bool yearOk = false;
    const int year = m_year.trimmed().toInt(&yearOk);
    if (ok && !m_accountSetId.isEmpty() && yearOk) {
        bool known = false;
        for (int i = 0; i < m_app.GetAccountSetCount() && !known; ++i) {
            const CAccountSet& a = m_app.GetAccountSet(i);
            known = a.m_strId == m_accountSetId && a.m_nYear == year;
        }
        if (!known) m_app.AddAccountSet(m_accountSetId, year);
    }
    return ok;
}

QVariant CAppEnvironment::LoginProperty(const char* name) {
    if (m_login.isNull()) return QVariant();
    const QString n = QLatin1String(name);
    try {
        return m_login.hasMember(n) ? m_login.property(n) : QVariant();
    } catch (const qor::AutoError& e) {
        qCWarning(lcEnv).noquote() << e.text();
        return QVariant();
    }
}

void CAppEnvironment::ReadLoginValues() {
    m_accountSetId = LoginProperty("CAcc_Id").toString();
    m_year = LoginProperty("CIYear").toString();
    m_userId = LoginProperty("CUserId").toString();
    m_userPassword = LoginProperty("CUserPassWord").toString();
    m_loginDate = toDate(LoginProperty("CurDate"));
}

CAppServiceList* CAppEnvironment::EnsureLoggedIn() {
    const bool wasLoggedIn = m_loggedIn;
    if (!m_loggedIn) Login();
    if (!m_services) {
        m_services = std::make_unique<CAppServiceList>();
        m_services->Load();
    } else if (wasLoggedIn || !m_loggedIn) {
        return m_services.get();
    }
    // New services, or a login that came after them: hand over the session.
    if (m_loggedIn) m_services->SetLogin(m_login.object());
    const QDate d = m_loginDate.isValid() ? m_loginDate : QDate::currentDate();
    m_services->SetServiceDate(d.year(), d.month(), d.day());
    return m_services.get();
}

QString CAppEnvironment::GetLoginDbName() {
    if (m_login.isNull()) Login();
    return LoginProperty("VtDbName").toString();
}

QString CAppEnvironment::GetLoginSysPassword() {
    if (m_login.isNull()) Login();
    return LoginProperty("SysPassword").toString();
}

QObject* CAppEnvironment::GetLoginSystemDb() {
    if (m_login.isNull()) Login();
    return LoginProperty("SysDb").value<QObject*>();
}

CQorsDoc* CAppEnvironment::FindOpenDocument(const QString& path) {
    if (m_documents.findOpen)
        if (CQorsDoc* d = m_documents.findOpen(path)) return d;
    if (qor::OpenReportCount() >= qor::kMaxOpenReports) {
        ShowTooManyFilesMessage();
        return nullptr;
    }
    if (!m_documents.open) {
        qCWarning(lcEnv).noquote() << "no document layer to open" << path;
        return nullptr;
    }
    return m_documents.open(path);
}

CQorsDoc* CAppEnvironment::NewDocument() {
    if (qor::OpenReportCount() >= qor::kMaxOpenReports) {
        ShowTooManyFilesMessage();
        return nullptr;
    }
    if (!m_documents.create) {
        qCWarning(lcEnv) << "no document layer to make a new report";
        return nullptr;
    }
    return m_documents.create();
}

void CAppEnvironment::ShowTooManyFilesMessage() {
    const bool wasBusy = m_app.m_bBusy;
    m_app.m_bBusy = true;
    qor::messageBox(LoadErrorText(qor::str::kTooManyFilesOpen), QString(), qor::MsgButtons::Ok,
                    qor::MsgIcon::Warning);
    m_app.m_bBusy = wasBusy;
}

bool CAppEnvironment::RunBatchFile(const QString& path, QString* error) {
    auto fail = [&](const QString& text) {
        qCWarning(lcEnv).noquote() << text;
        if (error) *error = text;
        return false;
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(LoadErrorText(qor::str::kBatchFileNotOpened)
                        .arg(path, qor::FileErrorText(!QFileInfo::exists(path)  ? ENOENT
                                                      : QFileInfo(path).isDir() ? EISDIR
                                                                                : EACCES)));
    if (f.size() == 0) return fail(LoadErrorText(qor::str::kBatchFileEmpty).arg(path));
    f.close();
    if (!m_batchRunner) return fail(LoadErrorText(qor::str::kNoCommandLanguage).arg(path));
    QString why;
    const bool ok = m_batchRunner(path, &why);
    if (!ok) return fail(why.isEmpty() ? LoadErrorText(qor::str::kBatchFileFailed).arg(path) : why);
    if (error) error->clear();
    return true;
}

int CAppEnvironment::DoPrintDialog(qor::PrintRequest& request) {
    const std::optional<qor::PrintRequest> r = qor::printDialog(request);
    if (!r) return 2;
    request = *r;
    m_app.m_lastPrint = request;
    return 1;
}

int CAppEnvironment::OnFilePrintSetup() {
    qor::PrintRequest r = m_app.m_lastPrint;
    r.flags = 0x14000C;
    r.setupOnly = true;
    const std::optional<qor::PrintRequest> chosen = qor::printDialog(r);
    if (!chosen) return 2;
    // Setup changes the printer, not the pages or copies of the last print.
    m_app.m_lastPrint.printerName = chosen->printerName;
    m_app.m_lastPrint.outputFile = chosen->outputFile;
    return 1;
}

int CAppEnvironment::GetProfileInt(const QString& section, const QString& key, int defaultValue) {
    return m_app.GetProfileInt(section, key, defaultValue);
}

QString CAppEnvironment::GetProfileString(const QString& section, const QString& key,
                                          const QString& defaultValue) {
    return m_app.GetProfileString(section, key, defaultValue);
}

bool CAppEnvironment::WriteProfileString(const QString& section, const QString& key,
                                         const QString& value) {
    return m_app.WriteProfileString(section, key, value);
}

bool CAppEnvironment::WriteProfileInt(const QString& section, const QString& key, int value) {
    return m_app.WriteProfileInt(section, key, value);
}

bool CAppEnvironment::ShowTipAtStartup() {
    // 0 (or nothing stored) means show.
    if (GetProfileInt(QStringLiteral("Tip"), QStringLiteral("StartUp"), 0) != 0) return false;
    if (!m_tipDialog) return false;
    m_tipDialog();
    return true;
}

QString CAppEnvironment::GetInstallDir() {
    const QString inst =
        qor::Registry::readString(kInstallKey, QStringLiteral("CurrentInstPath")).trimmed();
    QString dir = inst.isEmpty() ? qor::nativePath(QStringLiteral("C:\\QORTEMP"))
                                 : QDir(qor::nativePath(inst)).filePath(QStringLiteral("qor"));
    dir = QDir::cleanPath(dir);
    if (!QDir().mkpath(dir)) qCWarning(lcEnv).noquote() << "cannot make" << dir;
    return dir;
}

QString CAppEnvironment::GetConfigDir() { return ::GetConfigDir(); }

QString CAppEnvironment::GetImportPath() { return ::GetImportPath(); }
