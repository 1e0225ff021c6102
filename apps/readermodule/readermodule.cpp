// Entry points of the Reader module (libqorreadermodule.so). A host loads
// the module through the automation layer, which calls qor_create; the
// Dll* functions register and unregister the module under its own path.
#include <dlfcn.h>

#include <QObject>
#include <QString>
#include <mutex>

#include "cmdlang/enginehooks.h"
#include "reader/builtincomponents.h"
#include "reader/creaderobject.h"
#include "reader/readermodule.h"

namespace {

QString modulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&modulePath), &info) == 0 || !info.dli_fname) return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

// The module carries its own engine: it checks and computes formulas with
// its own command language, set up once when the first Reader is made.
void setUpModule() {
    static std::once_flag once;
    std::call_once(once, [] { qor::cmd::InstallEngineHooks(); });
}

}  // namespace

extern "C" {

Q_DECL_EXPORT QObject* qor_create(const char* progIdOrClsid) {
    const QString asked = QString::fromUtf8(progIdOrClsid ? progIdOrClsid : "");
    const QString clsid = qor::AutoRegistry::normalizeClsid(asked);
    const bool isReader =
        clsid == QLatin1String(qor::kReaderClsid) ||
        asked.compare(QLatin1String(qor::kReaderProgId), Qt::CaseInsensitive) == 0 ||
        asked.compare(QLatin1String(qor::kReaderVersionIndependentProgId), Qt::CaseInsensitive) ==
            0;
    if (!isReader) return nullptr;
    setUpModule();
    return new CReaderObject();
}

// 0 on success, 1 on failure (the registry file cannot be written).
Q_DECL_EXPORT int DllRegisterServer() {
    const QString path = modulePath();
    if (path.isEmpty()) return 1;
    return qor::RegisterReaderServer(path) ? 0 : 1;
}

Q_DECL_EXPORT int DllUnregisterServer() { return qor_DllUnregisterServer() ? 0 : 1; }

// 0 when no Reader made by this module is alive, 1 while one is.
Q_DECL_EXPORT int DllCanUnloadNow() { return qor_DllCanUnloadNow() ? 0 : 1; }

}  // extern "C"
