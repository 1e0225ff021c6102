#include "charts/itemclass.h"

#include <QMutex>
#include <QMutexLocker>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "charts/coleitem.h"

namespace qor::items {

namespace {

// Built in here rather than by static registrars in each item's file: a
// static library drops object files nobody references, registrars with them.
struct Registry {
    QMutex mutex;
    std::vector<const RuntimeClass*> classes{&CComItem::classCComItem, &CGraphItem::classCGraphItem,
                                             &COleItem::classCOleItem};
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

const RuntimeClass* FindRuntimeClass(const QString& name) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    for (const RuntimeClass* c : r.classes)
        if (name == QLatin1String(c->name)) return c;
    return nullptr;
}

std::shared_ptr<CComItem> CreateItemObject(const QString& name) {
    const RuntimeClass* c = FindRuntimeClass(name);
    return c && c->create ? c->create() : nullptr;
}

bool RegisterRuntimeClass(const RuntimeClass* cls) {
    if (!cls || !cls->name) return false;
    if (FindRuntimeClass(QLatin1String(cls->name))) return false;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.classes.push_back(cls);
    return true;
}

std::vector<const RuntimeClass*> RuntimeClasses() {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.classes;
}

const RuntimeClass* RuntimeClass::BaseClass() const {
    return baseName ? FindRuntimeClass(QLatin1String(baseName)) : nullptr;
}

bool RuntimeClass::IsDerivedFrom(const RuntimeClass* base) const {
    // The chain is short (three levels today); the bound guards against a
    // registered class naming itself as its base.
    const RuntimeClass* c = this;
    for (int depth = 0; c && depth < 32; ++depth, c = c->BaseClass())
        if (c == base) return true;
    return false;
}

}  // namespace qor::items
