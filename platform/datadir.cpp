#include "platform/datadir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QStandardPaths>

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcDataDir, "qor.datadir")

bool isDriveRooted(const QString& p) {
    return p.size() >= 2 && p.at(1) == QLatin1Char(':') && p.at(0).unicode() < 0x80 &&
           p.at(0).isLetter();
}

// Windows paths were case-blind: "C:\QorTemp" and "C:\QORTEMP" are one
// folder. Below the data directory each part that exists under another
// case is taken with the spelling on disk.
QString resolveCase(const QString& base, const QStringList& parts) {
    QString cur = base;
    for (const QString& part : parts) {
        const QString exact = cur + QLatin1Char('/') + part;
        if (QFileInfo::exists(exact)) {
            cur = exact;
            continue;
        }
        QString match;
        const QStringList entries = QDir(cur).entryList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot);
        for (const QString& e : entries) {
            if (e.compare(part, Qt::CaseInsensitive) != 0) continue;
            if (!match.isEmpty()) {
                match.clear();  // ambiguous: keep the name as given
                break;
            }
            match = e;
        }
        cur += QLatin1Char('/') + (match.isEmpty() ? part : match);
    }
    return cur;
}

// The parts of a path with "." and ".." resolved against a root, so the
// result can never climb above whatever it is placed below.
QStringList confinedParts(const QString& path) {
    QStringList out;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
            continue;
        }
        out.append(part);
    }
    return out;
}

}  // namespace

QString dataDir() {
    static QMutex mutex;
    static QString created;
    static QString told;  // said once, not at every look-up
    QString dir = qEnvironmentVariable("QOR_HOME");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
              QStringLiteral("/qor");
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    QMutexLocker lock(&mutex);
    if (dir != created) {
        if (!QDir().mkpath(dir)) {
            if (told != dir) qCWarning(lcDataDir) << "cannot create the data directory" << dir;
            told = dir;
        } else
            created = dir;
    }
    return dir;
}

QString dataPath(const QString& relative) {
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = confinedParts(rel);
    if (parts.isEmpty()) return dataDir();
    return dataDir() + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString resolveListedPath(const QString& folder, const QString& value) {
    if (value.isEmpty() || value.startsWith(u'/')) return value;
    const bool driveRooted = value.size() >= 2 && value[1] == u':' && value[0].isLetter();
    if (driveRooted || value.startsWith(QStringLiteral("\\\\"))) return nativePath(value);
    QString relative = value;
    relative.replace(u'\\', u'/');
    while (relative.startsWith(u'/')) relative.remove(0, 1);
    return QDir::cleanPath(folder + u'/' + relative);
}

QString nativePath(const QString& windowsPath) {
    if (windowsPath.isEmpty()) return windowsPath;
    QString p = windowsPath;
    bool mapped = false;
    if (isDriveRooted(p)) {
        p = p.mid(2);
        mapped = true;
    } else if (p.startsWith(QLatin1Char('\\'))) {
        // Rooted on the current drive, or a "\\server\share" name: both
        // lived outside anything we have, so they go below the data
        // directory too. A path starting with '/' is already native.
        mapped = true;
    }
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!mapped) return QDir::cleanPath(p);
    return resolveCase(dataDir(), confinedParts(p));
}

QString moduleDir() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (exe.isEmpty()) return QString();
    return QFileInfo(exe).absolutePath();
}

}  // namespace qor
