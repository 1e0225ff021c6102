#include "dialogs/small_logic.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QStorageInfo>
#include <QSysInfo>
#include <sys/sysinfo.h>

#include "cmdlang/scripts.h"
#include "engine/errorlog.h"
#include "engine/messages.h"

namespace qor {

QString GroupDigits(const QString& digits) {
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += u',';
        out += digits.at(i);
    }
    return out;
}

QString GroupDigits(uint64_t n) { return GroupDigits(QString::number(n)); }

QString MemoryText(uint64_t bytes) { return GroupDigits(bytes) + QStringLiteral("Bytes"); }

QString DiskFreeText(uint64_t bytes) {
    const uint64_t mb = bytes / 1048576;
    if (mb > 0) return GroupDigits(mb) + QStringLiteral("M Bytes");
    return GroupDigits(bytes / 1024) + QStringLiteral("K BYtes");
}

QString CpuModelName(const QString& cpuinfo) {
    static const QRegularExpression re(QStringLiteral("^model name\\s*:\\s*(.+)$"),
                                       QRegularExpression::MultilineOption);
    const auto m = re.match(cpuinfo);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

SystemFigures ReadSystemFigures() {
    SystemFigures f;
    const QString name = QSysInfo::prettyProductName();
    f.os = name.isEmpty() || name == QStringLiteral("unknown")
               ? QStringLiteral("UnKnown")
               : name + u' ' + QSysInfo::kernelVersion();
    QFile cpu(QStringLiteral("/proc/cpuinfo"));
    if (cpu.open(QIODevice::ReadOnly)) f.cpu = CpuModelName(QString::fromUtf8(cpu.read(1 << 20)));
    if (f.cpu.isEmpty()) f.cpu = QSysInfo::currentCpuArchitecture();
    if (f.cpu.isEmpty()) f.cpu = QStringLiteral("UnKnown");
    struct sysinfo si {};
    if (sysinfo(&si) == 0) {
        f.memory = MemoryText(uint64_t(si.totalram) * si.mem_unit);
        uint64_t available = uint64_t(si.freeram) * si.mem_unit;
        QFile meminfo(QStringLiteral("/proc/meminfo"));
        if (meminfo.open(QIODevice::ReadOnly)) {
            static const QRegularExpression re(QStringLiteral("^MemAvailable:\\s*(\\d+)\\s*kB"),
                                               QRegularExpression::MultilineOption);
            const auto m = re.match(QString::fromLatin1(meminfo.read(1 << 16)));
            if (m.hasMatch()) available = m.captured(1).toULongLong() * 1024;
        }
        f.available = MemoryText(available);
    } else {
        f.memory = f.available = QStringLiteral("UnKnown");
    }
    if (const QScreen* s = QGuiApplication::primaryScreen())
        f.display = QString::number(s->size().width()) + LoadErrorText(str::kMultiplySign) +
                    QString::number(s->size().height());
    else
        f.display = QStringLiteral("UnKnown");
    // Each local block device once, however often it is mounted.
    uint64_t free = 0;
    QSet<QByteArray> devices;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || !v.device().startsWith("/dev/")) continue;
        if (devices.contains(v.device())) continue;
        devices.insert(v.device());
        free += uint64_t(v.bytesAvailable());
    }
    f.disk = DiskFreeText(free);
    f.computer = QSysInfo::machineHostName();
    if (f.computer.isEmpty()) f.computer = QStringLiteral("Unknown");
    f.errorLog = QDir::toNativeSeparators(ErrorLogPath());
    return f;
}

int StepScale(int value, int delta) {
    return delta < 0 ? std::min(value + 1, 1000) : std::max(value - 1, 0);
}

QString TipTimeStamp(const QDateTime& time) {
    const QLocale c = QLocale::c();
    const QDateTime t = time.toLocalTime();
    return c.toString(t, QStringLiteral("ddd MMM ")) +
           QString::number(t.date().day()).rightJustified(2, u' ') +
           c.toString(t, QStringLiteral(" HH:mm:ss yyyy"));
}

QString TipReader::Next(int64_t* offset) const {
    const int64_t size = m_bytes.size();
    if (size == 0) return QString();
    int64_t pos = *offset < 0 || *offset > size ? 0 : *offset;
    // At most one full pass, plus the line the start may sit inside.
    int64_t scanned = 0;
    while (scanned <= size + 1000) {
        if (pos >= size) pos = 0;
        int64_t end = m_bytes.indexOf('\n', pos);
        if (end < 0) end = size;
        const QByteArray raw = m_bytes.mid(pos, std::min<int64_t>(end - pos, 1000 * 4));
        scanned += end - pos + 1;
        pos = end + 1;
        QString line = cmd::DecodeScriptBytes(raw);
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.isEmpty() || line.startsWith(u' ') || line.startsWith(u'\t') ||
            line.startsWith(u';'))
            continue;
        *offset = pos >= size ? 0 : pos;
        return line.left(1000);
    }
    return QString();
}

}  // namespace qor
