#pragma once
// Automation objects by ProgID and CLSID. A class is registered in our
// Registry the way the Windows registry holds it:
//
//   CLSID\{CLSID}                  (default) description
//   CLSID\{CLSID}\ProgID           (default) versioned ProgID
//   CLSID\{CLSID}\VersionIndependentProgID
//   CLSID\{CLSID}\InprocServer32   (default) library path or "builtin"
//                                  ThreadingModel
//   CLSID\{CLSID}\TypeLib          (default) type library id
//   <ProgID>\CLSID                 (default) {CLSID}
//   <ProgID>\CurVer                (default) versioned ProgID (only on the
//                                  version-independent ProgID)
//
// A "builtin" server is a factory that C++ code of this process has added;
// any other server is a shared library exporting
//   extern "C" QObject* qor_create(const char* progIdOrClsid);
// which is loaded on first use and stays loaded (objects it made may
// outlive any handle to it).
//
// Calls go through AutoObject: methods (Q_INVOKABLE or public slots) and
// properties are found by name without regard to case, as automation
// clients expect, arguments are converted to the declared parameter types,
// and the fixed dispatch ids the system's callers use are mapped to names.
// Every failure throws AutoError with a readable text.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <exception>
#include <functional>
#include <optional>

namespace qor {

class AutoError : public std::exception {
public:
    explicit AutoError(QString text);
    const QString& text() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// Makes a new object for the ProgID or CLSID it was asked for; null when it
// cannot. The caller owns the object.
using AutoFactory = std::function<QObject*(const QString& progIdOrClsid)>;

struct AutoClassInfo {
    QString clsid;                     // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    QString progId;                    // "Pagoda2.Reader.1"; may be empty
    QString versionIndependentProgId;  // "Pagoda2.Reader"; may be empty
    QString description;
    QString server;  // library path or AutoRegistry::builtinServer()
    QString threadingModel = QStringLiteral("Apartment");
    QString typeLib;  // may be empty
};

class AutoRegistry {
public:
    // The server name of classes made by in-process factories.
    static QString builtinServer() { return QStringLiteral("builtin"); }

    // "{...}" in upper case; empty when the text is not a CLSID.
    static QString normalizeClsid(const QString& text);
    static bool isClsid(const QString& text) { return !normalizeClsid(text).isEmpty(); }

    // In-process factories, keyed by CLSID. They live for the process and
    // are not written anywhere; registerBuiltin also writes the keys.
    static void addFactory(const QString& clsid, AutoFactory factory);
    static void removeFactory(const QString& clsid);

    // Writes the keys of a class (and of its one or two ProgIDs). Throws
    // AutoError on a malformed CLSID or when the Registry cannot be written.
    static void registerClass(const AutoClassInfo& info);
    // registerClass with the builtin server + addFactory.
    static void registerBuiltin(AutoClassInfo info, AutoFactory factory);
    // One more ProgID naming an existing class (several host components
    // answer to more than one name). curVer is only for version-independent
    // names.
    static void registerProgId(const QString& progId, const QString& clsid,
                               const QString& curVer = QString());
    // Removes the CLSID key and every ProgID key that points at the class.
    // The in-process factory stays (the class may be registered again).
    // False when nothing was registered.
    static bool unregisterClass(const QString& clsid);

    // Lookups in the Registry; empty / nullopt when not registered. A
    // version-independent ProgID without its own CLSID follows CurVer.
    static QString clsidFromProgId(const QString& progId);
    static QString progIdFromClsid(const QString& clsid);
    static std::optional<AutoClassInfo> classInfo(const QString& progIdOrClsid);

    // A new object of the class (the caller owns it). Throws AutoError when
    // the name is not registered, the library cannot be loaded or has no
    // qor_create, the builtin factory is missing, or nothing is made.
    static QObject* create(const QString& progIdOrClsid);
};

// One method as a client may call it. Parameters that only a longer
// overload takes (default arguments) count from `required` on. The help
// text is the class's own, from Q_CLASSINFO("Help:<method>", "...").
struct AutoMethodInfo {
    QString name;
    QStringList parameters;
    int required = 0;
    QString help;
};

// Fixed dispatch ids of an interface: id -> member name.
using DispIdTable = QHash<qint32, QString>;

class AutoObject {
public:
    // First id handed out for members without a fixed id (as late-bound
    // automation does, ids come from asking by name).
    static constexpr qint32 kDynamicIdBase = 0x00010000;

    AutoObject() = default;
    // Takes ownership when owned is true.
    explicit AutoObject(QObject* object, bool owned = true);
    ~AutoObject();
    AutoObject(AutoObject&& other) noexcept;
    AutoObject& operator=(AutoObject&& other) noexcept;
    AutoObject(const AutoObject&) = delete;
    AutoObject& operator=(const AutoObject&) = delete;

    // AutoRegistry::create wrapped; remembers the CLSID for its id table.
    static AutoObject create(const QString& progIdOrClsid);

    bool isNull() const { return m_object.isNull(); }
    QObject* object() const { return m_object.data(); }
    // Gives up ownership and answers the object.
    QObject* release();
    QString clsid() const { return m_clsid; }

    // Fixed dispatch ids, registered per CLSID, ProgID or class name (the
    // meta-object class name, base classes included). A class may also
    // declare them itself: Q_CLASSINFO("DispId:0x60030003", "CallService").
    static void registerDispIds(const QString& classKey, const DispIdTable& table);
    static void unregisterDispIds(const QString& classKey);

    // Calls a method by name. When no method has the name, a property of
    // that name is read (no arguments) or written (one argument).
    QVariant invoke(const QString& name, const QVariantList& args = {});
    // The same through a dispatch id.
    QVariant invoke(qint32 dispId, const QVariantList& args = {});

    QVariant property(const QString& name) const;
    void setProperty(const QString& name, const QVariant& value);

    bool hasMember(const QString& name) const;
    // The callable methods in declaration order, one entry per name.
    QList<AutoMethodInfo> methods() const;
    // The dispatch id of a method or property: its fixed id when it has one,
    // else a stable id from kDynamicIdBase on; nullopt for an unknown name.
    std::optional<qint32> idOfName(const QString& name) const;
    // The member name of a dispatch id; empty when unknown.
    QString nameOfId(qint32 dispId) const;

private:
    void requireObject() const;
    DispIdTable fixedIds() const;
    QStringList memberNames() const;

    // Guarded: the object may be deleted by its parent or by itself.
    QPointer<QObject> m_object;
    bool m_owned = false;
    QString m_clsid;
    // CLSID and ProgIDs the object was made under, for the id tables.
    QStringList m_classKeys;
};

}  // namespace qor
