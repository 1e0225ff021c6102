// Profile (INI) files and the registry file: reading every section and
// key, then a write through the in-place editor. A value written must read
// back, and every value read before must read the same after it.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzzsupport.h"
#include "platform/inifile.h"
#include "platform/registry.h"

using qor::IniFile;

namespace {

QMap<QString, QString> everything(const IniFile& ini) {
    QMap<QString, QString> all;
    for (const QString& s : ini.sections())
        for (const QString& k : ini.keys(s))
            all.insert(s.toLower() + QLatin1Char('\x01') + k.toLower(), ini.readString(s, k));
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (256u << 10)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.ini"));
    qorfuzz::writeFile(path, reinterpret_cast<const char*>(data), size);

    // The registry file is the same format; the registry reads it through
    // its own key paths.
    const QString registry = qEnvironmentVariable("QOR_REGISTRY");
    qorfuzz::writeFile(registry, reinterpret_cast<const char*>(data), size);
    for (const QString& key : qor::Registry::subKeys(QString())) {
        qor::Registry::valueNames(key);
        qor::Registry::readDword(key, QString());
    }

    IniFile ini(path);
    const QMap<QString, QString> before = everything(ini);
    for (const QString& s : ini.sections())
        for (const QString& k : ini.keys(s)) ini.readInt(s, k);

    const QString section = QStringLiteral("Fuzz Section");
    const QString value = QStringLiteral(" a \"value\" 值 ");
    if (!ini.setString(section, QStringLiteral("Key"), value)) std::abort();
    if (!ini.save()) return 0;
    IniFile back(path);
    if (back.readString(section, QStringLiteral("Key")) != value) std::abort();
    QMap<QString, QString> after = everything(back);
    after.remove(section.toLower() + QLatin1Char('\x01') + QStringLiteral("key"));
    // Values that read cleanly must read the same; a value holding bytes no
    // encoding can read has no text to keep, and how its broken bytes
    // decode may follow the file's encoding guess.
    for (auto it = before.begin(); it != before.end(); ++it)
        if (!it.value().contains(QChar::ReplacementCharacter) && after.value(it.key()) != it.value())
            std::abort();
    return 0;
}
