// Feeds arbitrary bytes to the compound-file reader, and when a file is
// accepted, reads everything in it, changes it and reads the result back.
//
//   fuzz_compoundfile -max_len=65536 CORPUS_DIR

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

#include "platform/compoundfile.h"

using qor::CompoundFile;

namespace {

const QString& scratchPath() {
    static const QString path = [] {
        QByteArray tmpl = QFile::encodeName(QDir::tempPath()) + "/qor-fuzz-cfb-XXXXXX";
        const int fd = ::mkstemp(tmpl.data());
        if (fd < 0) std::abort();
        ::close(fd);
        return QFile::decodeName(tmpl);
    }();
    return path;
}

void putBytes(const uint8_t* data, size_t size) {
    QFile f(scratchPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(reinterpret_cast<const char*>(data), qint64(size));
}

void readEverything(const CompoundFile& cf) {
    for (const CompoundFile::Entry& e : cf.allEntries()) {
        if (e.isStorage) {
            cf.entries(e.path);
            continue;
        }
        const QByteArray all = cf.readAll(e.path);
        if (quint64(all.size()) != e.size) std::abort();
        cf.read(e.path, e.size / 2, 100);
        cf.extents(e.path, 0, e.size);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    putBytes(data, size);
    if (auto cf = CompoundFile::open(scratchPath(), CompoundFile::Mode::ReadOnly)) {
        readEverything(*cf);
    } else {
        return 0;
    }
    const QByteArray added(5000, 'z');
    {
        auto cf = CompoundFile::open(scratchPath(), CompoundFile::Mode::ReadWrite);
        if (!cf) return 0;  // e.g. 4,096-byte sectors
        const QList<CompoundFile::Entry> all = cf->allEntries();
        if (!all.isEmpty() && !all.first().isStorage) {
            cf->resize(all.first().path, all.first().size / 2 + 4000);
            cf->write(all.first().path, 3, "abc", 3);
        }
        if (!all.isEmpty()) cf->remove(all.last().path);
        if (!cf->writeAll(QStringLiteral("Added"), added) || !cf->commit()) return 0;
    }
    auto again = CompoundFile::open(scratchPath(), CompoundFile::Mode::ReadOnly);
    if (!again || again->readAll(QStringLiteral("Added")) != added) std::abort();
    readEverything(*again);
    return 0;
}
