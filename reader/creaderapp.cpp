#include "reader/creaderapp.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <cmath>

#include "engine/paths.h"
#include "platform/datadir.h"
#include "platform/inifile.h"
#include "reader/cadoconnection.h"

namespace {

Q_LOGGING_CATEGORY(lcApp, "qor.app")

QMutex& appsLock() {
    static QMutex m;
    return m;
}

QList<CReaderApp*>& liveApps() {
    static QList<CReaderApp*> a;
    return a;
}

QMutex& languageLock() {
    static QMutex m;
    return m;
}

QString& languageCode() {
    static QString c;
    return c;
}

}  // namespace

CReaderApp::CReaderApp(const QString& profilePath)
    : ProgramDirectory(qor::moduleDir()),
      m_profilePath(profilePath.isEmpty() ? qor::applicationProfilePath() : profilePath) {
    QMutexLocker lock(&appsLock());
    liveApps().append(this);
}

CReaderApp::~CReaderApp() {
    // Connections first: record sets made on them are told they are gone.
    m_accountSets.clear();
    QMutexLocker lock(&appsLock());
    liveApps().removeAll(this);
}

CReaderApp* CReaderApp::Current() {
    QMutexLocker lock(&appsLock());
    return liveApps().isEmpty() ? nullptr : liveApps().last();
}

int CReaderApp::GetProfileInt(const QString& section, const QString& key, int defaultValue) const {
    return qor::IniFile::getProfileInt(m_profilePath, section, key, defaultValue);
}

QString CReaderApp::GetProfileString(const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    qor::IniFile f(m_profilePath);
    if (!f.hasKey(section, key)) return defaultValue;
    return f.readString(section, key, defaultValue);
}

bool CReaderApp::WriteProfileString(const QString& section, const QString& key,
                                    const QString& value) {
    if (section.isEmpty()) return false;
    qor::IniFile f(m_profilePath);
    if (key.isNull()) {
        if (!f.hasSection(section)) return true;
        f.removeSection(section);
    } else if (value.isNull()) {
        if (!f.hasKey(section, key)) return true;
        f.removeKey(section, key);
    } else if (!f.setString(section, key, value)) {
        return false;
    }
    // A first setting on a fresh account: its folder is not there yet.
    QDir().mkpath(QFileInfo(m_profilePath).absolutePath());
    if (f.save()) return true;
    qCWarning(lcApp) << "cannot write the settings file" << m_profilePath;
    return false;
}

bool CReaderApp::WriteProfileInt(const QString& section, const QString& key, int value) {
    return WriteProfileString(section, key, QString::number(value));
}

void CReaderApp::AddAccountSet(const QString& id, int year) {
    CAccountSet a;
    a.m_strId = id;
    a.m_nYear = year;
    m_accountSets.push_back(std::move(a));
}

QString CReaderApp::AccountDatabaseName(const QString& loginDbName, const QString& key) {
    const qsizetype at = loginDbName.indexOf(QLatin1String("VTDATA"));
    if (at < 0) return key;
    return loginDbName.left(at + 7) + key;
}

CAdoConnection* CReaderApp::GetAccountConnection(const QString& key, const QString& loginDbName) {
    for (CAccountSet& a : m_accountSets) {
        if (QStringLiteral("%1_%2").arg(a.m_strId).arg(a.m_nYear) != key) continue;
        if (!a.m_pConnection) {
            auto c = std::make_unique<CAdoConnection>();
            c->Open(AccountDatabaseName(loginDbName, key));
            a.m_pConnection = std::move(c);
        }
        return a.m_pConnection.get();
    }
    return nullptr;
}

QSize CReaderApp::BaseHeaderMetrics(double logPixelsX, double logPixelsY) {
    return QSize(int(std::trunc(logPixelsY * 0.32)), int(std::trunc(logPixelsX * 0.164)));
}

void CReaderApp::WinHelp(quint32 context, quint32 command) const {
    qCInfo(lcApp) << "help requested: context" << context << "command" << command;
}

QString LanguageCode() {
    QMutexLocker lock(&languageLock());
    return languageCode();
}

void SetLanguageCode(const QString& code) {
    QMutexLocker lock(&languageLock());
    languageCode() = code;
}
