#pragma once
// What the fuzz targets share: a scratch folder of their own (the data
// directory, the registry file and the temporary folder point into it, so
// a target never touches the user's files), writing an input to a file,
// and splitting an input into the parts of a structured input.

#include <stdlib.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace qorfuzz {

// Parts of a structured input are separated by this marker (the seeds are
// made with it; the dictionaries name it so mutations keep it).
inline constexpr char kPartSeparator[] = "\n--QORFUZZ--\n";

inline void removeScratch();

// Made on first use; removed when the process ends normally.
inline const QString& scratchDir() {
    static const QString dir = [] {
        // A memory file system where there is one: targets write a file or
        // two for every input, and saves sync them.
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        QByteArray tmpl = QFile::encodeName(base) + "/qor-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl.data())) std::abort();
        const QString d = QFile::decodeName(tmpl);
        QDir().mkpath(d + "/home");
        QDir().mkpath(d + "/tmp");
        ::setenv("QOR_HOME", QFile::encodeName(d + "/home").constData(), 1);
        ::setenv("QOR_REGISTRY", QFile::encodeName(d + "/registry.ini").constData(), 1);
        ::setenv("TMPDIR", QFile::encodeName(d + "/tmp").constData(), 1);
        std::atexit(removeScratch);
        return d;
    }();
    return dir;
}

inline void removeScratch() { QDir(scratchDir()).removeRecursively(); }

inline QString scratchFile(const QString& name) { return scratchDir() + QLatin1Char('/') + name; }

inline void writeFile(const QString& path, const char* data, size_t size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (f.write(data, qint64(size)) != qint64(size)) std::abort();
}

inline void writeFile(const QString& path, const QByteArray& data) {
    writeFile(path, data.constData(), size_t(data.size()));
}

inline std::vector<QByteArray> splitParts(const char* data, size_t size) {
    std::vector<QByteArray> parts;
    const QByteArray all = QByteArray::fromRawData(data, qsizetype(size));
    const QByteArray sep(kPartSeparator);
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = all.indexOf(sep, from);
        if (at < 0) {
            parts.emplace_back(all.constData() + from, all.size() - from);
            return parts;
        }
        parts.emplace_back(all.constData() + from, at - from);
        from = at + sep.size();
    }
}

inline QByteArray joinParts(const std::vector<QByteArray>& parts) {
    QByteArray out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += kPartSeparator;
        out += parts[i];
    }
    return out;
}

}  // namespace qorfuzz
