#pragma once
// A whole process run as a user runs it, under /usr/bin/time for its peak
// resident memory: a child spawned from the benchmark would count the
// benchmark's own memory as its high-water mark.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <chrono>
#include <vector>

namespace qorbench {

struct ProcessRun {
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
};

inline ProcessRun runProcess(const std::vector<QByteArray>& args, const std::vector<QByteArray>& env,
                      const QByteArray& peakFile) {
    std::vector<QByteArray> all = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (const QByteArray& a : all) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    for (const QByteArray& e : env) envp.push_back(const_cast<char*>(e.constData()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ProcessRun r;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid) {
            r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            QFile peak(QString::fromLocal8Bit(peakFile));
            if (peak.open(QIODevice::ReadOnly))
                r.peakMiB = peak.readAll().trimmed().split('\n').last().toDouble() / 1024.0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

}  // namespace qorbench
