#include "reader/cappservicelist.h"

#include <QLoggingCategory>
#include <QSet>
#include <algorithm>

#include "engine/messages.h"
#include "platform/registry.h"
#include "reader/dispatchdrivers.h"

namespace {

Q_LOGGING_CATEGORY(lcServices, "qor.services")

}  // namespace

const QString CAppServiceList::kServiceKey =
    QStringLiteral("Software\\Vantix\\QX\\V8.610\\AppService");
const QString CAppServiceList::kErpServiceKey =
    QStringLiteral("Software\\Vantix\\VtErp-M\\8.0\\AppService");

struct CAppServiceList::Service {
    qor::AutoObject object;
    CServiceRef ref;
    QStringList firstNames;
    QStringList secondNames;
};

CAppServiceList::CAppServiceList() : m_date(QDate::currentDate()) {}

CAppServiceList::~CAppServiceList() = default;

int CAppServiceList::Load() {
    m_services.clear();
    m_sortedNames.clear();
    m_names.clear();
    m_problems.clear();

    QSet<QString> seen;
    for (const QString& key : {kServiceKey, kErpServiceKey}) {
        for (const QString& valueName : qor::Registry::valueNames(key)) {
            if (valueName.isEmpty()) continue;
            QString cls = qor::Registry::readString(key, valueName).trimmed();
            if (cls.isEmpty()) cls = valueName.trimmed();
            QString identity = qor::AutoRegistry::normalizeClsid(cls);
            if (identity.isEmpty()) identity = qor::AutoRegistry::clsidFromProgId(cls);
            if (identity.isEmpty()) identity = cls.toCaseFolded();
            if (seen.contains(identity)) continue;
            seen.insert(identity);

            auto s = std::make_unique<Service>();
            try {
                s->object = qor::AutoObject::create(cls);
                const int count = s->object.invoke(QStringLiteral("srvItemCount")).toInt();
                for (int i = 0; i < count; ++i) {
                    s->firstNames.append(
                        s->object.invoke(QStringLiteral("srvItemName"), {i, 0}).toString());
                    s->secondNames.append(
                        s->object.invoke(QStringLiteral("srvItemName"), {i, 1}).toString());
                }
                // A property or a method without arguments: plugins differ.
                auto optional = [&](const char* name) {
                    const QString n = QLatin1String(name);
                    return s->object.hasMember(n) ? s->object.invoke(n) : QVariant();
                };
                s->ref.m_strName = optional("srvName").toString();
                if (s->ref.m_strName.isEmpty()) s->ref.m_strName = valueName;
                s->ref.m_nNumber = optional("srvNumber").toInt();
                s->ref.m_nHelp = optional("srvHelp").toInt();
                s->ref.m_nItemCount = count;
            } catch (const qor::AutoError& e) {
                const QString text =
                    QStringLiteral("Service \"%1\" (%2): %3").arg(valueName, cls, e.text());
                qCWarning(lcServices).noquote() << text;
                m_problems.append(text);
                continue;
            }
            m_services.push_back(std::move(s));
        }
    }

    // srvNumber orders the services; the number callers use is the index.
    std::stable_sort(m_services.begin(), m_services.end(), [](const auto& a, const auto& b) {
        return a->ref.m_nNumber < b->ref.m_nNumber;
    });
    for (size_t i = 0; i < m_services.size(); ++i) {
        Service& s = *m_services[i];
        s.ref.m_nNumber = int(i);
        for (int k = 0; k < s.firstNames.size(); ++k) {
            const QString& name = s.firstNames.at(k);
            if (name.trimmed().isEmpty()) continue;
            NameEntry e;
            e.key = name.trimmed().toLower();
            e.item.m_strName = name;
            e.item.m_strSecondName = s.secondNames.value(k);
            e.item.m_nService = int(i);
            m_sortedNames.append(e);
        }
    }
    std::stable_sort(m_sortedNames.begin(), m_sortedNames.end(),
                     [](const NameEntry& a, const NameEntry& b) { return a.key < b.key; });
    return GetCount();
}

CAppServiceList::Service* CAppServiceList::ServiceOf(int service) const {
    if (service < 0 || service >= GetCount()) return nullptr;
    return m_services[size_t(service)].get();
}

CServiceRef CAppServiceList::GetEntry(int index) const {
    const Service* s = ServiceOf(index);
    return s ? s->ref : CServiceRef();
}

QObject* CAppServiceList::GetService(int service) const {
    const Service* s = ServiceOf(service);
    return s ? s->object.object() : nullptr;
}

CServiceFuncItem CAppServiceList::FindItem(const QString& name) const {
    const QString key = name.trimmed().toLower();
    const auto it =
        std::lower_bound(m_sortedNames.begin(), m_sortedNames.end(), key,
                         [](const NameEntry& e, const QString& k) { return e.key < k; });
    if (it == m_sortedNames.end() || it->key != key || key.isEmpty()) return CServiceFuncItem();
    return it->item;
}

QString CAppServiceList::AskItem(const CServiceFuncItem& item, const char* method) const {
    Service* s = ServiceOf(item.m_nService);
    if (!s) return QString();
    try {
        return s->object.invoke(QLatin1String(method), {item.m_strName}).toString();
    } catch (const qor::AutoError& e) {
        qCInfo(lcServices).noquote() << s->ref.m_strName << method << item.m_strName << e.text();
        return QString();
    }
}

QString CAppServiceList::GetItemConference(const CServiceFuncItem& item) const {
    return AskItem(item, "srvConference");
}

QString CAppServiceList::GetItemDescription(const CServiceFuncItem& item) const {
    return AskItem(item, "srvItemDesc");
}

QString CAppServiceList::GetItemForm(const CServiceFuncItem& item) const {
    return AskItem(item, "srvItemForm");
}

const QStringList& CAppServiceList::GetItemNames(int service, int which, int leaveOutEqual) {
    m_names.clear();
    const Service* s = ServiceOf(service);
    if (!s) return m_names;
    for (int i = 0; i < s->firstNames.size(); ++i) {
        const QString& first = s->firstNames.at(i);
        const QString second = s->secondNames.value(i);
        if (leaveOutEqual && first == second) continue;
        m_names.append(which == 1 ? second : first);
    }
    return m_names;
}

QString CAppServiceList::GetServiceDescription(int service) const {
    Service* s = ServiceOf(service);
    if (!s) return QString();
    try {
        return s->object.invoke(QStringLiteral("srvDescript")).toString();
    } catch (const qor::AutoError&) {
        return QString();
    }
}

void CAppServiceList::SetServiceDate(int year, int month, int day) {
    const QDate today = QDate::currentDate();
    const int y = year < 1 ? today.year() : year;
    const int m = month < 1 ? today.month() : std::min(month, 12);
    const int last = QDate(y, m, 1).daysInMonth();
    const int d = day < 1 ? std::min(today.day(), last) : std::min(day, last);
    m_date = QDate(y, m, d);
    for (const auto& s : m_services) {
        try {
            s->object.invoke(QStringLiteral("SetDate"),
                             {m_date.year(), m_date.month(), m_date.day()});
        } catch (const qor::AutoError& e) {
            qCInfo(lcServices).noquote() << s->ref.m_strName << "SetDate:" << e.text();
        }
    }
}

int CAppServiceList::SetLogin(QObject* login) {
    int n = 0;
    for (const auto& s : m_services) {
        CServiceDriver driver;
        driver.AttachDispatch(s->object.object(), false);
        try {
            driver.SetLogin(login);
            ++n;
        } catch (const qor::AutoError& e) {
            qCWarning(lcServices).noquote() << s->ref.m_strName << "SetLogin:" << e.text();
        }
    }
    return n;
}

bool CAppServiceList::CallItem(const CServiceFuncItem& item, const QString& arguments,
                               QVariant* value, QString* error) const {
    auto failWith = [&](const QString& text) {
        if (value) *value = QVariant();
        if (error) *error = text;
        return false;
    };
    const Service* s = ServiceOf(item.m_nService);
    if (!s)
        return failWith(LoadErrorText(qor::str::kServiceLacksFunction)
                            .replace(QStringLiteral("%s"), item.m_strName));
    CServiceDriver driver;
    driver.AttachDispatch(s->object.object(), false);
    CServiceResult result;
    try {
        if (!driver.CallService(item.m_strName, arguments, &result)) {
            const QString why = result.error().isEmpty()
                                    ? QStringLiteral("%1 refused %2(%3).")
                                          .arg(s->ref.m_strName, item.m_strName, arguments)
                                    : result.error();
            return failWith(why);
        }
    } catch (const qor::AutoError& e) {
        return failWith(e.text());
    }
    if (value) *value = result.value();
    if (error) error->clear();
    return true;
}
