#include "reader/hostloginstandin.h"

#include <QLoggingCategory>
#include <atomic>

#include "platform/registry.h"

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcLogin, "qor.login")

std::atomic<int> g_loginCalls{0};

QDate parseDate(const QString& text) {
    const QString t = text.trimmed();
    for (const char* f : {"yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d", "yyyyMMdd"}) {
        const QDate d = QDate::fromString(t, QLatin1String(f));
        if (d.isValid()) return d;
    }
    return QDate();
}

}  // namespace

const char* const HostLoginStandIn::kClsid = "{E1412B14-3283-4B74-9233-BBC4A7149DAA}";
const char* const HostLoginStandIn::kProgIds[3] = {"Vantix.V9.Framework.Login.UI.clsLogin",
                                                   "VTLogin.Login", "V9Login.clsLogin"};
const QString HostLoginStandIn::kLoginKey = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Login");

HostLoginStandIn::HostLoginStandIn(QObject* parent) : QObject(parent) {}

bool HostLoginStandIn::Login() {
    ++g_loginCalls;
    auto value = [](const char* name) {
        return Registry::readString(kLoginKey, QLatin1String(name)).trimmed();
    };
    m_dbName = value("VtDbName");
    m_accountSetId = value("CAcc_Id");
    m_year = value("CIYear");
    m_userId = value("CUserId");
    m_userPassword = Registry::readString(kLoginKey, QStringLiteral("CUserPassWord"));
    m_systemPassword = Registry::readString(kLoginKey, QStringLiteral("SysPassword"));
    m_loginDate = parseDate(value("CurDate"));
    if (!m_loginDate.isValid()) m_loginDate = QDate::currentDate();
    QString sysDb = value("SysDbName");
    if (sysDb.isEmpty()) sysDb = m_dbName;
    delete m_systemDb;
    m_systemDb = new HostSystemDb(sysDb, this);
    m_loggedIn = !m_accountSetId.isEmpty();
    qCInfo(lcLogin).noquote() << "login" << (m_loggedIn ? "to account set" : "without account set")
                              << m_accountSetId << m_year << "as" << m_userId;
    return m_loggedIn;
}

int HostLoginStandIn::logEnd() {
    m_loggedIn = false;
    return 0;
}

int HostLoginStandIn::loginCount() { return g_loginCalls.load(); }

}  // namespace qor
