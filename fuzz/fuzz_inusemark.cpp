// The in-use mark of damaged files: reading it, the stale-mark check of
// opening, and writing it in place. Writing the mark may change the bytes
// of the mark and nothing else of the file, whatever the file holds.
//
// The first byte picks the input's form. Even: the rest is a whole file.
// Odd: the rest is the "QOR~REP" stream of a file the target builds.

#include <QByteArray>
#include <QFile>
#include <cstdint>
#include <cstdlib>

#include "engine/inusemarker.h"
#include "engine/reportlayout.h"
#include "fuzz/fuzzsupport.h"
#include "platform/compoundfile.h"

using namespace qor;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) std::abort();
    return f.readAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("mark.rep"));
    const char* body = reinterpret_cast<const char*>(data + 1);
    if (data[0] & 1) {
        auto cf = CompoundFile::create(path);
        if (!cf) std::abort();
        if (!cf->writeAll(QString::fromLatin1(kRepStreamName),
                          QByteArray(body, qsizetype(size - 1))) ||
            !cf->commit())
            return 0;
    } else {
        qorfuzz::writeFile(path, body, size - 1);
    }

    InUseMark mark;
    const bool readable = ReadInUseMark(path, &mark);
    QString computer;
    IsReportOpenElsewhere(path, &computer);
    if (!readable) return 0;

    QList<CompoundFile::Extent> extents;
    {
        auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
        if (!cf) std::abort();  // the mark was read from it a moment ago
        extents = cf->extents(QString::fromLatin1(kRepStreamName), kMarkerOffset, kMarkerLength);
    }
    const QByteArray before = fileBytes(path);
    const InUseMark set{true, QStringLiteral("FUZZ-HOST")};
    if (!WriteInUseMark(path, set)) return 0;
    const QByteArray after = fileBytes(path);
    if (after.size() != before.size()) std::abort();
    QByteArray masked = before, maskedAfter = after;
    for (const CompoundFile::Extent& e : extents) {
        if (e.fileOffset + e.length > quint64(after.size())) std::abort();
        for (quint64 i = 0; i < e.length; ++i)
            masked[qsizetype(e.fileOffset + i)] = maskedAfter[qsizetype(e.fileOffset + i)] = 0;
    }
    if (masked != maskedAfter) std::abort();
    InUseMark back;
    if (!ReadInUseMark(path, &back) || !back.inUse || back.computer != set.computer) std::abort();
    return 0;
}
