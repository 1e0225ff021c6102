#pragma once
// The peak resident memory of this process over a stretch of work: the
// kernel's high-water mark is reset to what is resident now, and read
// again at the end.
#include <QByteArray>
#include <QFile>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace qorbench {

inline double statusKiB(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ')[0].toDouble();
    return 0;
}

class PeakMemory {
public:
    PeakMemory() {
#ifdef __GLIBC__
        // What earlier work left free in the heap goes back first, so that
        // growth shows as growth rather than as reuse.
        malloc_trim(0);
#endif
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly)) clear.write("5");
        m_start = statusKiB("VmRSS:");
    }
    // MiB above what was resident at the start.
    double growthMiB() const { return (statusKiB("VmHWM:") - m_start) / 1024.0; }

private:
    double m_start = 0;
};

}  // namespace qorbench
