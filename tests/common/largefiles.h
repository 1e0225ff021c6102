#pragma once
// Large generated input files, for the tests that read them under a memory
// limit and for the benchmarks that measure the same reading, and the run
// under that limit. Header only: the benchmarks use it without the test
// library.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <functional>

namespace qortest {

// head, then unit count times, then tail; false when the file cannot be
// written.
inline bool writeRepeated(const QString& path, const QByteArray& head, const QByteArray& unit,
                          qint64 count, const QByteArray& tail = {}) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    bool ok = f.write(head) == head.size();
    const QByteArray block = unit.repeated(qsizetype(std::max<qint64>(1, (qint64(1) << 20) / unit.size())));
    const qint64 perBlock = block.size() / unit.size();
    for (; ok && count >= perBlock; count -= perBlock) ok = f.write(block) == block.size();
    const QByteArray rest = unit.repeated(qsizetype(count));
    return ok && f.write(rest) == rest.size() && f.write(tail) == tail.size();
}

// A dBASE file of records one character wide ("x" in field "A").
inline bool writeNarrowDbf(const QString& path, quint32 records) {
    QByteArray head(65, '\0');
    head[0] = 3;
    qToLittleEndian<quint32>(records, head.data() + 4);
    qToLittleEndian<quint16>(65, head.data() + 8);
    qToLittleEndian<quint16>(2, head.data() + 10);
    head[32] = 'A';
    head[43] = 'C';
    head[48] = 1;
    head[64] = '\r';
    return writeRepeated(path, head, QByteArrayLiteral(" x"), records, QByteArrayLiteral("\x1a"));
}

// Runs work in a forked child under 1 GiB of address space: true when the
// child ended by itself and work answered true. A reader that runs out of
// memory there ends otherwise.
inline bool endsWellUnder1GiB(const std::function<bool()>& work) {
    const pid_t pid = fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        // (The address sanitizer reserves far more than any such limit.)
        rlimit lim{rlim_t(1) << 30, rlim_t(1) << 30};
        setrlimit(RLIMIT_AS, &lim);
#endif
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qortest
