// Mail transfer: a 50 MB report sent into a Maildir and received back
// through the transport library, against a plain copy of the same file plus
// a whole-file base64 encode and decode; resident growth is reported.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <vector>

#include "bench/peakmemory.h"
#include "platform/registry.h"

namespace {

constexpr qint64 kSize = 50 * 1024 * 1024;

struct Fixture {
    QTemporaryDir dir;
    QString file;
    Fixture() {
        qputenv("QOR_HOME", QFile::encodeName(dir.path() + "/home"));
        qputenv("QOR_REGISTRY", QFile::encodeName(dir.path() + "/registry.ini"));
        qor::Registry::writeString(QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail"),
                                   QStringLiteral("DiskFolder"), dir.path() + "/disk");
        file = dir.path() + "/big.rep";
        QByteArray bytes(kSize, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data()), kSize / 4);
        QFile f(file);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_MailRoundTripMaildir(benchmark::State& state) {
    Fixture& fx = fixture();
    QLibrary lib(QStringLiteral(QOR_VTMAIL8_PATH));
    if (!lib.load()) {
        state.SkipWithError("libvtmail8 cannot be loaded");
        return;
    }
    auto iniSend = reinterpret_cast<void (*)()>(lib.resolve("IniSend"));
    auto setUser = reinterpret_cast<void (*)(const char16_t*)>(lib.resolve("SetUser"));
    auto addFile = reinterpret_cast<void (*)(const char16_t*)>(lib.resolve("AddFile"));
    auto sendFile =
        reinterpret_cast<int32_t (*)(int32_t, const char16_t*)>(lib.resolve("SendFile"));
    auto closeSend = reinterpret_cast<void (*)()>(lib.resolve("CloseSend"));
    auto iniAccept = reinterpret_cast<void (*)()>(lib.resolve("IniAccept"));
    auto acceptFile = reinterpret_cast<int32_t (*)()>(lib.resolve("AcceptFile"));
    auto accept = reinterpret_cast<int32_t (*)(int32_t, char16_t*, int32_t)>(lib.resolve("Accept"));
    auto closeAccept = reinterpret_cast<void (*)()>(lib.resolve("CloseAccept"));
    const auto* path = reinterpret_cast<const char16_t*>(fx.file.utf16());
    double growth = 0;
    for (auto _ : state) {
        qorbench::PeakMemory peak;
        iniSend();
        setUser(u"DZBB");
        addFile(path);
        if (sendFile(4, u"") != 0) state.SkipWithError("send failed");
        closeSend();
        iniAccept();
        setUser(u"DZBB");
        if (acceptFile() != 1 || accept(1, nullptr, 0) < 0) state.SkipWithError("receive failed");
        closeAccept();
        growth = std::max(growth, peak.growthMiB());
        state.PauseTiming();
        QDir(fx.dir.path() + "/disk").removeRecursively();
        state.ResumeTiming();
    }
    state.counters["resident_growth_MiB"] = growth;
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_MailRoundTripMaildir)->Unit(benchmark::kMillisecond);

// The yardstick: a copy of the file and a base64 encode and decode of it.
void BM_MailYardstickCopyAndBase64(benchmark::State& state) {
    Fixture& fx = fixture();
    const QString copy = fx.dir.path() + "/copy.rep";
    for (auto _ : state) {
        QFile::remove(copy);
        QFile::copy(fx.file, copy);
        QFile f(fx.file);
        if (!f.open(QIODevice::ReadOnly)) state.SkipWithError("cannot read");
        const QByteArray encoded = f.readAll().toBase64();
        benchmark::DoNotOptimize(QByteArray::fromBase64(encoded).size());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_MailYardstickCopyAndBase64)->Unit(benchmark::kMillisecond);

}  // namespace
