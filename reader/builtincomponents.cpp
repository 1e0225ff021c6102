#include "reader/builtincomponents.h"

#include "engine/messages.h"
#include "platform/automation.h"
#include "platform/registry.h"
#include "reader/cappservicelist.h"
#include "reader/consolidationclientstandin.h"
#include "reader/demoledgerservice.h"
#include "reader/hostloginstandin.h"
#include "reader/ledgerstandins.h"

namespace qor {

namespace {

template <class T>
AutoFactory factoryOf() {
    return [](const QString&) -> QObject* { return new T(); };
}

// A ProgID a real component holds stays with it.
bool progIdFree(const QString& progId, const QString& clsid) {
    if (progId.isEmpty()) return false;
    const QString current = AutoRegistry::clsidFromProgId(progId);
    return current.isEmpty() || current == clsid || !AutoRegistry::classInfo(current);
}

// Answers true when the class was not registered before.
bool registerStandIn(AutoClassInfo info, AutoFactory factory, const QStringList& moreProgIds = {}) {
    info.clsid = AutoRegistry::normalizeClsid(info.clsid);
    AutoRegistry::addFactory(info.clsid, std::move(factory));
    const std::optional<AutoClassInfo> existing = AutoRegistry::classInfo(info.clsid);
    // The host's own component under the same class id is served by its
    // library: leave it in place.
    if (existing && !existing->server.isEmpty() &&
        existing->server.compare(AutoRegistry::builtinServer(), Qt::CaseInsensitive) != 0)
        return false;
    if (!progIdFree(info.progId, info.clsid)) info.progId.clear();
    info.server = AutoRegistry::builtinServer();
    AutoRegistry::registerClass(info);
    for (const QString& p : moreProgIds)
        if (progIdFree(p, info.clsid)) AutoRegistry::registerProgId(p, info.clsid);
    return !existing;
}

}  // namespace

void RegisterBuiltinComponents() {
    {
        AutoClassInfo info;
        info.clsid = QLatin1String(HostLoginStandIn::kClsid);
        info.progId = QLatin1String(HostLoginStandIn::kProgIds[0]);
        info.description = LoadErrorText(str::kHostLoginStandIn);
        registerStandIn(info, factoryOf<HostLoginStandIn>(),
                        {QLatin1String(HostLoginStandIn::kProgIds[1]),
                         QLatin1String(HostLoginStandIn::kProgIds[2])});
    }
    {
        AutoClassInfo info;
        info.clsid = QLatin1String(DemoLedgerService::kClsid);
        info.progId = QLatin1String(DemoLedgerService::kProgId);
        info.description = LoadErrorText(str::kDemoLedgerService);
        // Listed among the services the first time only: whoever takes it
        // off the list later keeps it off.
        if (registerStandIn(info, factoryOf<DemoLedgerService>()))
            Registry::writeString(CAppServiceList::kServiceKey, info.progId,
                                  AutoRegistry::normalizeClsid(info.clsid));
    }
    {
        AutoClassInfo info;
        info.clsid = QLatin1String(LedgerStandIn::kClsid);
        info.description = LoadErrorText(str::kDetailLedgerStandIn);
        registerStandIn(info, factoryOf<LedgerStandIn>());
    }
    {
        AutoClassInfo info;
        info.clsid = QLatin1String(LedgerQueryStandIn::kClsid);
        info.description = LoadErrorText(str::kDetailLedgerQueryStandIn);
        registerStandIn(info, factoryOf<LedgerQueryStandIn>());
    }
    {
        AutoClassInfo info;
        info.clsid = QLatin1String(ConsolidationClientStandIn::kClsid);
        info.progId = QLatin1String(ConsolidationClientStandIn::kProgId);
        info.description = LoadErrorText(str::kConsolidationClientStandIn);
        registerStandIn(info, factoryOf<ConsolidationClientStandIn>());
    }
}

}  // namespace qor
