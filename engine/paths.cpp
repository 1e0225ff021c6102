#include "engine/paths.h"

#include <fcntl.h>
#include <cerrno>
#include <stdio.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <mutex>

#include "platform/datadir.h"
#include "platform/registry.h"

namespace {

qsizetype lastSeparator(const QString& path) {
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

}  // namespace

QString FileNameFromPath(const QString& path) {
    const qsizetype sep = lastSeparator(path);
    return sep < 0 ? QStringLiteral("") : path.left(sep + 1);
}

QString JetTableNameFromPath(const QString& path) {
    if (path.isEmpty()) return QString();
    QString name = path.mid(lastSeparator(path) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && name.mid(dot).compare(QLatin1String(".dbf"), Qt::CaseInsensitive) == 0) {
        return name.left(dot);
    }
    return name.replace(QLatin1Char('.'), QLatin1Char('#'));
}

QString TrimAtDelimiters(const QString& name) {
    if (name.isEmpty()) return QString();
    QString out = name;
    for (QLatin1Char delim : {QLatin1Char('$'), QLatin1Char(':'), QLatin1Char('#')}) {
        const qsizetype at = out.indexOf(delim);
        if (at >= 0) out.truncate(at);
    }
    return out;
}

double GetDiskFreeBytes(const QString& root) {
    if (root.isEmpty()) return 0;
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(root).constData(), &st) != 0) return 0;
    return double(st.f_bavail) * double(st.f_frsize);
}

bool DiskFullFor(const QString& file, int errorNumber) {
    if (errorNumber == ENOSPC || errorNumber == EDQUOT) return true;
    // Less than a few blocks: the write that failed had nowhere to go.
    constexpr double kNearlyNothing = 64 * 1024;
    const QString folder = QFileInfo(file).absolutePath();
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(folder).constData(), &st) != 0) return false;
    return double(st.f_bavail) * double(st.f_frsize) < kNearlyNothing;
}

QString GetConfigDir() {
    // Cached per data directory: tests and the host may move QOR_HOME.
    static std::mutex mutex;
    static QString cachedFor;
    static QString cached;
    const QString base = qor::dataDir();
    std::lock_guard lock(mutex);
    if (!cached.isEmpty() && cachedFor == base) return cached;
    QString dir = QDir::cleanPath(base + QStringLiteral("/config"));
    if (base.isEmpty() || !QDir().mkpath(dir)) {
        dir = QDir::cleanPath(QDir::tempPath() + QStringLiteral("/QORTEMP"));
        QDir().mkpath(dir);
    }
    cachedFor = base;
    cached = dir;
    return cached;
}

QString GetImportPath() {
    const QString path = qor::Registry::readString(QStringLiteral("Software\\Vantix\\QX\\V8.610"),
                                                   QStringLiteral("ZWQORImportPath"));
    return path.isEmpty() ? QDir::homePath() : path;
}

namespace qor {

QString applicationProfilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/qor/qor.ini");
}

QString legacyDataFolder(const QString& name) {
    return QDir::cleanPath(dataDir() + QStringLiteral("/qor/") + name);
}

int MoveLegacyDataFolders() {
    const QString base = dataDir();
    int moved = 0;
    for (const char* name : {"config", "work", "data"}) {
        const QByteArray from = QFile::encodeName(legacyDataFolder(QLatin1String(name)));
        const QByteArray to =
            QFile::encodeName(QDir::cleanPath(base + QLatin1Char('/') + QLatin1String(name)));
        // One rename, refused by the kernel when the new place is taken:
        // no moment in which a folder made meanwhile could be replaced.
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            ++moved;
    }
    // The old parent goes once it is empty; anything else in it stays.
    if (moved) ::rmdir(QFile::encodeName(base + QStringLiteral("/qor")).constData());
    return moved;
}

}  // namespace qor
