#pragma once
// What the small dialogs compute: digit grouping, the system figures'
// texts, the tip-of-the-day reader and the spinner of the properties
// dialog.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace qor {

// "1234567" → "1,234,567": a comma before every group of three digits
// counted from the right, never in front.
QString GroupDigits(const QString& digits);
QString GroupDigits(uint64_t n);

// "<grouped>Bytes".
QString MemoryText(uint64_t bytes);
// Whole megabytes "<grouped>M Bytes", or under one megabyte whole
// kilobytes "<grouped>K BYtes".
QString DiskFreeText(uint64_t bytes);
// The "model name" of /proc/cpuinfo's text; "" when it has none.
QString CpuModelName(const QString& cpuinfo);

// The figures the system information dialog shows.
struct SystemFigures {
    QString os, cpu, memory, available, display, disk, computer;
    QString errorLog;  // where the error log is written, for a support call
};
// Read from this machine ("UnKnown"/"Unknown" where nothing is found).
SystemFigures ReadSystemFigures();

// The properties dialog's spinner: a negative delta adds one (at most
// 1,000), any other subtracts one (at least 0).
int StepScale(int value, int delta);

// A file's modification time as the run-time library writes it:
// "Mon Dec  7 18:06:07 2026".
QString TipTimeStamp(const QDateTime& time);

// The tips file read line by line from a byte offset: empty lines and
// lines starting with a blank, a tab or ";" are skipped, the end wraps
// to the beginning. A file without one tip line gives "" after one pass.
class TipReader {
public:
    explicit TipReader(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    // The next tip from offset (moved past it); "" when there is none.
    QString Next(int64_t* offset) const;

private:
    QByteArray m_bytes;
};

}  // namespace qor
