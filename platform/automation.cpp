#include "platform/automation.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QMutex>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <map>
#include <memory>

#include "platform/datadir.h"
#include "platform/registry.h"

namespace qor {

AutoError::AutoError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}

namespace {

const QString kClsidRoot = QStringLiteral("CLSID");

QString clsidKey(const QString& clsid) { return kClsidRoot + QLatin1Char('\\') + clsid; }

QMutex& stateLock() {
    static QMutex m;
    return m;
}

QHash<QString, AutoFactory>& factories() {
    static QHash<QString, AutoFactory> f;
    return f;
}

// Keyed by the case-folded CLSID, ProgID or class name.
QHash<QString, DispIdTable>& dispIdTables() {
    static QHash<QString, DispIdTable> t;
    return t;
}

// Loaded server libraries by absolute path. The handles are freed at exit,
// but a library is never unloaded (destroying a QLibrary leaves it
// loaded), since objects it made may still be alive.
std::map<QString, std::unique_ptr<QLibrary>>& libraries() {
    static std::map<QString, std::unique_ptr<QLibrary>> l;
    return l;
}

void writeValue(const QString& key, const QString& name, const QString& value) {
    if (!Registry::writeString(key, name, value))
        throw AutoError(QStringLiteral("Cannot write \"%1\" to the registry file %2.")
                            .arg(key, Registry::filePath()));
}

void checkProgId(const QString& progId) {
    // A backslash would make the ProgID a path of nested keys.
    if (progId.trimmed().isEmpty() || progId.contains(QLatin1Char('\\')) ||
        progId.compare(kClsidRoot, Qt::CaseInsensitive) == 0)
        throw AutoError(QStringLiteral("\"%1\" is not a valid ProgID.").arg(progId));
}

QString describe(const QString& progIdOrClsid) {
    return AutoRegistry::isClsid(progIdOrClsid)
               ? QStringLiteral("class %1").arg(AutoRegistry::normalizeClsid(progIdOrClsid))
               : QStringLiteral("ProgID \"%1\"").arg(progIdOrClsid);
}

QObject* createFromLibrary(const QString& server, const QString& name) {
    QString path = server;
    if (QFileInfo(path).isRelative()) path = QDir(moduleDir()).filePath(path);
    path = QFileInfo(path).absoluteFilePath();

    QLibrary* lib = nullptr;
    {
        QMutexLocker lock(&stateLock());
        std::unique_ptr<QLibrary>& held = libraries()[path];
        if (!held) held = std::make_unique<QLibrary>(path);
        lib = held.get();
    }
    if (!lib->isLoaded() && !lib->load())
        throw AutoError(QStringLiteral("Cannot load the library %1 of %2: %3")
                            .arg(path, describe(name), lib->errorString()));
    using CreateFn = QObject* (*)(const char*);
    auto create = reinterpret_cast<CreateFn>(lib->resolve("qor_create"));
    if (!create)
        throw AutoError(QStringLiteral("The library %1 does not export qor_create.").arg(path));
    const QByteArray utf8 = name.toUtf8();
    QObject* object = create(utf8.constData());
    if (!object)
        throw AutoError(
            QStringLiteral("The library %1 made no object for %2.").arg(path, describe(name)));
    return object;
}

}  // namespace

// ---------------------------------------------------------------------------
// AutoRegistry

QString AutoRegistry::normalizeClsid(const QString& text) {
    const QString t = text.trimmed();
    // Only the braced form names a class: a ProgID may well look like hex.
    if (t.size() != 38 || !t.startsWith(QLatin1Char('{')) || !t.endsWith(QLatin1Char('}')))
        return QString();
    const QUuid id = QUuid::fromString(t);
    if (id.isNull()) return QString();
    return id.toString(QUuid::WithBraces).toUpper();
}

void AutoRegistry::addFactory(const QString& clsid, AutoFactory factory) {
    const QString c = normalizeClsid(clsid);
    if (c.isEmpty()) throw AutoError(QStringLiteral("\"%1\" is not a CLSID.").arg(clsid));
    QMutexLocker lock(&stateLock());
    factories().insert(c, std::move(factory));
}

void AutoRegistry::removeFactory(const QString& clsid) {
    QMutexLocker lock(&stateLock());
    factories().remove(normalizeClsid(clsid));
}

void AutoRegistry::registerClass(const AutoClassInfo& info) {
    const QString c = normalizeClsid(info.clsid);
    if (c.isEmpty()) throw AutoError(QStringLiteral("\"%1\" is not a CLSID.").arg(info.clsid));
    if (info.server.trimmed().isEmpty())
        throw AutoError(QStringLiteral("Class %1 is registered without a server.").arg(c));
    if (!info.progId.isEmpty()) checkProgId(info.progId);
    if (!info.versionIndependentProgId.isEmpty()) checkProgId(info.versionIndependentProgId);

    const QString key = clsidKey(c);
    writeValue(key, QString(), info.description);
    writeValue(key + QStringLiteral("\\InprocServer32"), QString(), info.server);
    writeValue(key + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel"),
               info.threadingModel);
    if (!info.typeLib.isEmpty())
        writeValue(key + QStringLiteral("\\TypeLib"), QString(), info.typeLib);
    if (!info.progId.isEmpty()) {
        writeValue(key + QStringLiteral("\\ProgID"), QString(), info.progId);
        writeValue(info.progId, QString(), info.description);
        writeValue(info.progId + QStringLiteral("\\CLSID"), QString(), c);
    }
    if (!info.versionIndependentProgId.isEmpty()) {
        writeValue(key + QStringLiteral("\\VersionIndependentProgID"), QString(),
                   info.versionIndependentProgId);
        registerProgId(info.versionIndependentProgId, c, info.progId);
        writeValue(info.versionIndependentProgId, QString(), info.description);
    }
}

void AutoRegistry::registerBuiltin(AutoClassInfo info, AutoFactory factory) {
    info.server = builtinServer();
    addFactory(info.clsid, std::move(factory));
    registerClass(info);
}

void AutoRegistry::registerProgId(const QString& progId, const QString& clsid,
                                  const QString& curVer) {
    checkProgId(progId);
    const QString c = normalizeClsid(clsid);
    if (c.isEmpty()) throw AutoError(QStringLiteral("\"%1\" is not a CLSID.").arg(clsid));
    writeValue(progId + QStringLiteral("\\CLSID"), QString(), c);
    if (!curVer.isEmpty() && curVer.compare(progId, Qt::CaseInsensitive) != 0)
        writeValue(progId + QStringLiteral("\\CurVer"), QString(), curVer);
}

bool AutoRegistry::unregisterClass(const QString& clsid) {
    const QString c = normalizeClsid(clsid);
    if (c.isEmpty()) return false;
    bool removed = false;
    for (const QString& key : Registry::subKeys(QString())) {
        if (key.compare(kClsidRoot, Qt::CaseInsensitive) == 0) continue;
        const QString target =
            normalizeClsid(Registry::readString(key + QStringLiteral("\\CLSID"), QString()));
        if (target == c) removed = Registry::deleteKey(key) || removed;
    }
    return Registry::deleteKey(clsidKey(c)) || removed;
}

QString AutoRegistry::clsidFromProgId(const QString& progId) {
    const QString p = progId.trimmed();
    if (p.isEmpty() || p.contains(QLatin1Char('\\'))) return QString();
    QString c = Registry::readString(p + QStringLiteral("\\CLSID"), QString());
    if (c.isEmpty()) {
        const QString cur = Registry::readString(p + QStringLiteral("\\CurVer"), QString());
        if (!cur.isEmpty() && !cur.contains(QLatin1Char('\\')) &&
            cur.compare(p, Qt::CaseInsensitive) != 0)
            c = Registry::readString(cur + QStringLiteral("\\CLSID"), QString());
    }
    return normalizeClsid(c);
}

QString AutoRegistry::progIdFromClsid(const QString& clsid) {
    const QString c = normalizeClsid(clsid);
    if (c.isEmpty()) return QString();
    return Registry::readString(clsidKey(c) + QStringLiteral("\\ProgID"), QString());
}

std::optional<AutoClassInfo> AutoRegistry::classInfo(const QString& progIdOrClsid) {
    const QString c =
        isClsid(progIdOrClsid) ? normalizeClsid(progIdOrClsid) : clsidFromProgId(progIdOrClsid);
    if (c.isEmpty()) return std::nullopt;
    const QString key = clsidKey(c);
    const QString server =
        Registry::readString(key + QStringLiteral("\\InprocServer32"), QString());
    if (server.isEmpty() && !Registry::keyExists(key)) return std::nullopt;
    AutoClassInfo info;
    info.clsid = c;
    info.description = Registry::readString(key, QString());
    info.server = server;
    info.threadingModel = Registry::readString(key + QStringLiteral("\\InprocServer32"),
                                               QStringLiteral("ThreadingModel"));
    info.progId = Registry::readString(key + QStringLiteral("\\ProgID"), QString());
    info.versionIndependentProgId =
        Registry::readString(key + QStringLiteral("\\VersionIndependentProgID"), QString());
    info.typeLib = Registry::readString(key + QStringLiteral("\\TypeLib"), QString());
    return info;
}

QObject* AutoRegistry::create(const QString& progIdOrClsid) {
    const QString name = progIdOrClsid.trimmed();
    if (name.isEmpty()) throw AutoError(QStringLiteral("No ProgID or CLSID was given."));
    const std::optional<AutoClassInfo> info = classInfo(name);
    if (!info) {
        const QString c = isClsid(name) ? QString() : clsidFromProgId(name);
        if (!c.isEmpty())
            throw AutoError(QStringLiteral("ProgID \"%1\" names class %2, which is not registered.")
                                .arg(name, c));
        throw AutoError(QStringLiteral("%1 is not registered.").arg(describe(name)));
    }
    if (info->server.isEmpty())
        throw AutoError(QStringLiteral("Class %1 has no server registered.").arg(info->clsid));

    if (info->server.compare(builtinServer(), Qt::CaseInsensitive) != 0)
        return createFromLibrary(info->server, name);

    AutoFactory factory;
    {
        QMutexLocker lock(&stateLock());
        factory = factories().value(info->clsid);
    }
    if (!factory)
        throw AutoError(
            QStringLiteral("%1 is registered as built in, but this program does not provide it.")
                .arg(describe(name)));
    QObject* object = nullptr;
    try {
        object = factory(name);
    } catch (const AutoError&) {
        throw;
    } catch (const std::exception& e) {
        throw AutoError(QStringLiteral("Creating %1 failed: %2")
                            .arg(describe(name), QString::fromLocal8Bit(e.what())));
    }
    if (!object) throw AutoError(QStringLiteral("No object was made for %1.").arg(describe(name)));
    return object;
}

// ---------------------------------------------------------------------------
// AutoObject

namespace {

bool isCallable(const QMetaMethod& m) {
    // QObject's own slots and signals (deleteLater, destroyed) are not part
    // of any automation interface.
    return m.access() == QMetaMethod::Public &&
           (m.methodType() == QMetaMethod::Method || m.methodType() == QMetaMethod::Slot) &&
           m.methodIndex() >= QObject::staticMetaObject.methodCount();
}

QList<QMetaMethod> methodsNamed(const QMetaObject* mo, const QString& name) {
    QList<QMetaMethod> out;
    for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (isCallable(m) && QString::fromLatin1(m.name()).compare(name, Qt::CaseInsensitive) == 0)
            out.append(m);
    }
    return out;
}

std::optional<QMetaProperty> staticProperty(const QMetaObject* mo, const QString& name) {
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0) return p;
    }
    return std::nullopt;
}

QByteArray dynamicProperty(const QObject* o, const QString& name) {
    for (const QByteArray& n : o->dynamicPropertyNames())
        if (QString::fromUtf8(n).compare(name, Qt::CaseInsensitive) == 0) return n;
    return QByteArray();
}

QString className(const QObject* o) { return QString::fromLatin1(o->metaObject()->className()); }

// Converts one argument to a parameter type. An empty argument gives the
// type's default value, as a missing optional argument does.
bool convertArgument(const QVariant& in, QMetaType target, QVariant* out) {
    if (!target.isValid()) return false;
    if (target.id() == QMetaType::QVariant) {
        *out = in;
        return true;
    }
    if (!in.isValid()) {
        *out = QVariant(target);
        return true;
    }
    if (in.metaType() == target) {
        *out = in;
        return true;
    }
    if (target.flags() & QMetaType::PointerToQObject) {
        if (!(in.metaType().flags() & QMetaType::PointerToQObject)) return false;
        QObject* o = *static_cast<QObject* const*>(in.constData());
        if (o && target.metaObject() && !o->metaObject()->inherits(target.metaObject()))
            return false;
        *out = QVariant(target, &o);
        return true;
    }
    QVariant v = in;
    if (!v.canConvert(target) || !v.convert(target)) return false;
    *out = v;
    return true;
}

QString typeNameOf(const QVariant& v) {
    return v.isValid() ? QString::fromLatin1(v.typeName()) : QStringLiteral("empty");
}

QVariant callMethod(QObject* object, const QMetaMethod& m, QVariantList& args) {
    QList<QByteArray> names = m.parameterTypes();
    QGenericArgument a[10];
    for (int i = 0; i < args.size(); ++i) {
        void* data = m.parameterMetaType(i).id() == QMetaType::QVariant
                         ? static_cast<void*>(&args[i])
                         : args[i].data();
        a[i] = QGenericArgument(names.at(i).constData(), data);
    }
    const QMetaType rt = m.returnMetaType();
    QVariant ret;
    QGenericReturnArgument r;
    if (rt.id() == QMetaType::QVariant) {
        r = QGenericReturnArgument("QVariant", &ret);
    } else if (rt.isValid() && rt.id() != QMetaType::Void) {
        ret = QVariant(rt);
        r = QGenericReturnArgument(m.typeName(), ret.data());
    } else if (rt.id() != QMetaType::Void) {
        throw AutoError(QStringLiteral("%1.%2 returns a type automation cannot carry (%3).")
                            .arg(className(object), QString::fromLatin1(m.name()),
                                 QString::fromLatin1(m.typeName())));
    }
    bool ok = false;
    try {
        ok = m.invoke(object, Qt::DirectConnection, r, a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                      a[7], a[8], a[9]);
    } catch (const AutoError&) {
        throw;
    } catch (const std::exception& e) {
        throw AutoError(QStringLiteral("%1.%2 failed: %3")
                            .arg(className(object), QString::fromLatin1(m.name()),
                                 QString::fromLocal8Bit(e.what())));
    }
    if (!ok)
        throw AutoError(QStringLiteral("The call of %1.%2 failed.")
                            .arg(className(object), QString::fromLatin1(m.methodSignature())));
    return ret;
}

}  // namespace

AutoObject::AutoObject(QObject* object, bool owned) : m_object(object), m_owned(owned) {}

AutoObject::~AutoObject() {
    if (m_owned) delete m_object.data();
}

AutoObject::AutoObject(AutoObject&& other) noexcept
    : m_object(other.m_object),
      m_owned(other.m_owned),
      m_clsid(std::move(other.m_clsid)),
      m_classKeys(std::move(other.m_classKeys)) {
    other.m_object = nullptr;
    other.m_owned = false;
}

AutoObject& AutoObject::operator=(AutoObject&& other) noexcept {
    if (this != &other) {
        if (m_owned) delete m_object.data();
        m_object = other.m_object;
        m_owned = other.m_owned;
        m_clsid = std::move(other.m_clsid);
        m_classKeys = std::move(other.m_classKeys);
        other.m_object = nullptr;
        other.m_owned = false;
    }
    return *this;
}

AutoObject AutoObject::create(const QString& progIdOrClsid) {
    AutoObject a(AutoRegistry::create(progIdOrClsid), true);
    if (const auto info = AutoRegistry::classInfo(progIdOrClsid)) {
        a.m_clsid = info->clsid;
        a.m_classKeys = {info->clsid, info->progId, info->versionIndependentProgId};
    }
    a.m_classKeys.append(progIdOrClsid.trimmed());
    a.m_classKeys.removeAll(QString());
    return a;
}

QObject* AutoObject::release() {
    QObject* o = m_object.data();
    m_object = nullptr;
    m_owned = false;
    return o;
}

void AutoObject::registerDispIds(const QString& classKey, const DispIdTable& table) {
    QMutexLocker lock(&stateLock());
    dispIdTables().insert(classKey.trimmed().toCaseFolded(), table);
}

void AutoObject::unregisterDispIds(const QString& classKey) {
    QMutexLocker lock(&stateLock());
    dispIdTables().remove(classKey.trimmed().toCaseFolded());
}

void AutoObject::requireObject() const {
    if (m_object.isNull()) throw AutoError(QStringLiteral("The automation object is missing."));
}

DispIdTable AutoObject::fixedIds() const {
    DispIdTable out;
    if (m_object.isNull()) return out;
    const QMetaObject* mo = m_object->metaObject();
    // The class's own declarations first: they travel with plugins.
    for (int i = 0; i < mo->classInfoCount(); ++i) {
        const QMetaClassInfo ci = mo->classInfo(i);
        const QString key = QString::fromLatin1(ci.name());
        if (!key.startsWith(QLatin1String("DispId:"), Qt::CaseInsensitive)) continue;
        bool ok = false;
        const quint32 id = key.mid(7).trimmed().toUInt(&ok, 0);
        if (ok && !out.contains(static_cast<qint32>(id)))
            out.insert(static_cast<qint32>(id), QString::fromLatin1(ci.value()));
    }
    QStringList keys = m_classKeys;
    for (const QMetaObject* m = mo; m; m = m->superClass())
        keys.append(QString::fromLatin1(m->className()));
    QMutexLocker lock(&stateLock());
    for (const QString& k : keys) {
        const auto it = dispIdTables().constFind(k.toCaseFolded());
        if (it == dispIdTables().constEnd()) continue;
        for (auto e = it->constBegin(); e != it->constEnd(); ++e)
            if (!out.contains(e.key())) out.insert(e.key(), e.value());
    }
    return out;
}

QStringList AutoObject::memberNames() const {
    QStringList out;
    if (m_object.isNull()) return out;
    QSet<QString> seen;
    auto add = [&](const QString& n) {
        const QString f = n.toCaseFolded();
        if (seen.contains(f)) return;
        seen.insert(f);
        out.append(n);
    };
    const QMetaObject* mo = m_object->metaObject();
    for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i)
        if (isCallable(mo->method(i))) add(QString::fromLatin1(mo->method(i).name()));
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i)
        add(QString::fromLatin1(mo->property(i).name()));
    for (const QByteArray& n : m_object->dynamicPropertyNames()) add(QString::fromUtf8(n));
    return out;
}

QList<AutoMethodInfo> AutoObject::methods() const {
    QList<AutoMethodInfo> out;
    if (m_object.isNull()) return out;
    const QMetaObject* mo = m_object->metaObject();
    QHash<QString, qsizetype> byName;
    for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (!isCallable(m)) continue;
        const QString name = QString::fromLatin1(m.name());
        QStringList params;
        for (const QByteArray& p : m.parameterNames()) params << QString::fromLatin1(p);
        const QString key = name.toCaseFolded();
        const auto it = byName.constFind(key);
        if (it == byName.constEnd()) {
            AutoMethodInfo info;
            info.name = name;
            info.parameters = params;
            info.required = int(params.size());
            const int ci = mo->indexOfClassInfo(QByteArray("Help:" + m.name()).constData());
            if (ci >= 0) info.help = QString::fromUtf8(mo->classInfo(ci).value());
            byName.insert(key, out.size());
            out.append(info);
            continue;
        }
        // moc makes one overload per default argument: the longest names
        // every parameter, the shortest says how many are needed.
        AutoMethodInfo& info = out[*it];
        if (params.size() > info.parameters.size()) info.parameters = params;
        info.required = std::min(info.required, int(params.size()));
    }
    return out;
}

bool AutoObject::hasMember(const QString& name) const {
    if (m_object.isNull()) return false;
    const QMetaObject* mo = m_object->metaObject();
    return !methodsNamed(mo, name).isEmpty() || staticProperty(mo, name) ||
           !dynamicProperty(m_object.data(), name).isEmpty();
}

std::optional<qint32> AutoObject::idOfName(const QString& name) const {
    const DispIdTable fixed = fixedIds();
    for (auto it = fixed.constBegin(); it != fixed.constEnd(); ++it)
        if (it.value().compare(name, Qt::CaseInsensitive) == 0) return it.key();
    const QStringList names = memberNames();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0) return kDynamicIdBase + i;
    return std::nullopt;
}

QString AutoObject::nameOfId(qint32 dispId) const {
    const DispIdTable fixed = fixedIds();
    if (fixed.contains(dispId)) return fixed.value(dispId);
    if (dispId >= kDynamicIdBase) {
        const QStringList names = memberNames();
        const qint64 i = qint64(dispId) - kDynamicIdBase;
        if (i < names.size()) return names.at(i);
    }
    return QString();
}

QVariant AutoObject::invoke(const QString& name, const QVariantList& args) {
    requireObject();
    QObject* object = m_object.data();
    const QMetaObject* mo = object->metaObject();
    const QList<QMetaMethod> named = methodsNamed(mo, name);

    if (named.isEmpty()) {
        const bool isProperty =
            staticProperty(mo, name) || !dynamicProperty(object, name).isEmpty();
        if (!isProperty)
            throw AutoError(QStringLiteral("%1 has no method or property named \"%2\".")
                                .arg(className(object), name));
        if (args.isEmpty()) return property(name);
        if (args.size() == 1) {
            setProperty(name, args.first());
            return QVariant();
        }
        throw AutoError(QStringLiteral("Wrong number of arguments for the property %1.%2: %3.")
                            .arg(className(object), name)
                            .arg(args.size()));
    }

    QList<QMetaMethod> candidates;
    QList<int> arities;
    for (const QMetaMethod& m : named) {
        if (!arities.contains(m.parameterCount())) arities.append(m.parameterCount());
        if (m.parameterCount() == args.size()) candidates.append(m);
    }
    if (candidates.isEmpty() || args.size() > 10) {
        std::sort(arities.begin(), arities.end());
        QStringList expected;
        for (int n : arities) expected.append(QString::number(n));
        throw AutoError(
            QStringLiteral("Wrong number of arguments for %1.%2: %3 given, %4 expected.")
                .arg(className(object), name)
                .arg(args.size())
                .arg(expected.join(QStringLiteral(" or "))));
    }
    // Among overloads of one arity, the one whose declared types match the
    // arguments most closely goes first.
    auto exactMatches = [&](const QMetaMethod& m) {
        int n = 0;
        for (int i = 0; i < args.size(); ++i)
            if (args.at(i).metaType() == m.parameterMetaType(i)) ++n;
        return n;
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const QMetaMethod& x, const QMetaMethod& y) {
                         return exactMatches(x) > exactMatches(y);
                     });

    QString firstFailure;
    for (const QMetaMethod& m : candidates) {
        QVariantList converted;
        converted.reserve(args.size());
        bool ok = true;
        for (int i = 0; i < args.size() && ok; ++i) {
            QVariant v;
            ok = convertArgument(args.at(i), m.parameterMetaType(i), &v);
            if (ok) {
                converted.append(v);
            } else if (firstFailure.isEmpty()) {
                firstFailure =
                    QStringLiteral(
                        "Argument %1 of %2.%3 cannot be converted from %4 "
                        "to %5.")
                        .arg(i + 1)
                        .arg(className(object), QString::fromLatin1(m.name()),
                             typeNameOf(args.at(i)), QString::fromLatin1(m.parameterTypes().at(i)));
            }
        }
        if (ok) return callMethod(object, m, converted);
    }
    throw AutoError(firstFailure);
}

QVariant AutoObject::invoke(qint32 dispId, const QVariantList& args) {
    requireObject();
    const QString name = nameOfId(dispId);
    if (name.isEmpty())
        throw AutoError(QStringLiteral("%1 has no member with dispatch id 0x%2.")
                            .arg(className(m_object.data()))
                            .arg(quint32(dispId), 8, 16, QLatin1Char('0')));
    return invoke(name, args);
}

QVariant AutoObject::property(const QString& name) const {
    requireObject();
    QObject* object = m_object.data();
    if (const auto p = staticProperty(object->metaObject(), name)) {
        if (!p->isReadable())
            throw AutoError(
                QStringLiteral("The property %1.%2 cannot be read.").arg(className(object), name));
        return p->read(object);
    }
    const QByteArray dyn = dynamicProperty(object, name);
    if (!dyn.isEmpty()) return object->property(dyn.constData());
    throw AutoError(
        QStringLiteral("%1 has no property named \"%2\".").arg(className(object), name));
}

void AutoObject::setProperty(const QString& name, const QVariant& value) {
    requireObject();
    QObject* object = m_object.data();
    if (const auto p = staticProperty(object->metaObject(), name)) {
        if (!p->isWritable())
            throw AutoError(
                QStringLiteral("The property %1.%2 is read-only.").arg(className(object), name));
        QVariant v;
        if (!convertArgument(value, p->metaType(), &v) || !p->write(object, v))
            throw AutoError(QStringLiteral("The property %1.%2 cannot take a value of type %3.")
                                .arg(className(object), name, typeNameOf(value)));
        return;
    }
    const QByteArray dyn = dynamicProperty(object, name);
    if (!dyn.isEmpty()) {
        object->setProperty(dyn.constData(), value);
        return;
    }
    throw AutoError(
        QStringLiteral("%1 has no property named \"%2\".").arg(className(object), name));
}

}  // namespace qor
