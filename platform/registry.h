#pragma once
// The registry of the host system, kept in one INI file: the path in
// QOR_REGISTRY, else "<config dir>/qor/registry.ini". A key path such as
// "Software\Vantix\QX\V8.610\Install" is one section (backslashes kept,
// case ignored); a value name is a key in it; "" names the default value.

#include <QString>
#include <QStringList>
#include <QVariant>

namespace qor {

class Registry {
public:
    // Path of the registry file now in use.
    static QString filePath();

    static bool keyExists(const QString& key);
    static QString readString(const QString& key, const QString& name,
                              const QString& defaultValue = QString());
    static quint32 readDword(const QString& key, const QString& name, quint32 defaultValue = 0);
    static bool writeString(const QString& key, const QString& name, const QString& value);
    static bool writeDword(const QString& key, const QString& name, quint32 value);
    static bool deleteValue(const QString& key, const QString& name);
    // Deletes the key and every key below it.
    static bool deleteKey(const QString& key);
    // Names of the keys directly below a key.
    static QStringList subKeys(const QString& key);
    static QStringList valueNames(const QString& key);

    // Writes made while a Batch lives are seen at once by every read of
    // this process and reach the file together, once, when the (outermost)
    // batch ends: many values registered at start-up cost one write.
    class Batch {
    public:
        Batch();
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Ends the batch now; false when the file could not be written.
        bool finish();

    private:
        bool m_done = false;
        bool m_ok = true;
    };
};

}  // namespace qor
