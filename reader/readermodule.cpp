#include "reader/readermodule.h"

#include "engine/messages.h"
#include "platform/registry.h"
#include "reader/creaderobject.h"

using namespace qor;

namespace {

QString typeLibKey() {
    return QStringLiteral("TypeLib\\%1\\%2")
        .arg(QLatin1String(kReaderTypeLib), QLatin1String(kReaderTypeLibVersion));
}

AutoClassInfo readerClassInfo(const QString& server = AutoRegistry::builtinServer()) {
    AutoClassInfo info;
    info.clsid = QLatin1String(kReaderClsid);
    info.progId = QLatin1String(kReaderProgId);
    info.versionIndependentProgId = QLatin1String(kReaderVersionIndependentProgId);
    info.description = QStringLiteral("Reader Class");
    info.server = server;
    info.threadingModel = QStringLiteral("Apartment");
    info.typeLib = QLatin1String(kReaderTypeLib);
    return info;
}

QObject* makeReader(const QString&) { return new CReaderObject(); }

void writeOrThrow(const QString& key, const QString& name, const QString& value) {
    if (!Registry::writeString(key, name, value))
        throw AutoError(
            LoadErrorText(qor::str::kCannotWriteWithReason).arg(key, Registry::filePath()));
}

bool isRegisteredAsBuiltin() {
    const std::optional<AutoClassInfo> info = AutoRegistry::classInfo(QLatin1String(kReaderClsid));
    const AutoClassInfo want = readerClassInfo();
    return info && info->server.compare(want.server, Qt::CaseInsensitive) == 0 &&
           info->progId == want.progId &&
           info->versionIndependentProgId == want.versionIndependentProgId &&
           info->typeLib.compare(want.typeLib, Qt::CaseInsensitive) == 0 &&
           AutoRegistry::clsidFromProgId(want.progId) == want.clsid &&
           AutoRegistry::clsidFromProgId(want.versionIndependentProgId) == want.clsid &&
           Registry::keyExists(typeLibKey());
}

}  // namespace

void qor::RegisterReaderModule() {
    AutoRegistry::addFactory(QLatin1String(kReaderClsid), makeReader);
    const std::optional<AutoClassInfo> info = AutoRegistry::classInfo(QLatin1String(kReaderClsid));
    // Someone installed a library serving this class: it is theirs.
    if (info && !info->server.isEmpty() &&
        info->server.compare(AutoRegistry::builtinServer(), Qt::CaseInsensitive) != 0)
        return;
    if (isRegisteredAsBuiltin()) return;
    QString error;
    if (!qor_DllRegisterServer(&error)) throw AutoError(error);
}

bool qor::RegisterReaderServer(const QString& server, QString* error) {
    try {
        AutoRegistry::registerClass(readerClassInfo(server));
        writeOrThrow(typeLibKey(), QString(), QStringLiteral("Pagoda2 1.0 Type Library"));
        writeOrThrow(typeLibKey() + QStringLiteral("\\0\\linux"), QString(), server);
    } catch (const AutoError& e) {
        if (error) *error = e.text();
        return false;
    }
    return true;
}

bool qor_DllRegisterServer(QString* error) {
    AutoRegistry::addFactory(QLatin1String(kReaderClsid), makeReader);
    return RegisterReaderServer(AutoRegistry::builtinServer(), error);
}

bool qor_DllUnregisterServer(QString* error) {
    const bool hadClass = AutoRegistry::unregisterClass(QLatin1String(kReaderClsid));
    const QString libKey = QStringLiteral("TypeLib\\%1").arg(QLatin1String(kReaderTypeLib));
    const bool hadTypeLib = Registry::keyExists(libKey) && Registry::deleteKey(libKey);
    if (hadClass || hadTypeLib) return true;
    if (error)
        *error = LoadErrorText(qor::str::kClassNotRegistered)
                     .arg(QLatin1String(kReaderClsid), Registry::filePath());
    return false;
}

qor::AutoFactory qor_DllGetClassObject(const QString& clsid) {
    if (AutoRegistry::normalizeClsid(clsid) != QLatin1String(kReaderClsid)) return {};
    return makeReader;
}

bool qor_DllCanUnloadNow() { return CReaderObject::liveCount() == 0; }
