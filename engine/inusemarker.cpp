#include "engine/inusemarker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "engine/openreports.h"
#include "platform/compoundfile.h"
#include "platform/safefile.h"

using namespace qor;

namespace {

// Where header bytes 224..289 of "QOR~REP" lie in the file. Only files of
// our own layout are touched: an older layout keeps other data there.
bool locateMark(const QString& path, QList<CompoundFile::Extent>* extents, QByteArray* current) {
    const QString rep = QString::fromLatin1(kRepStreamName);
    std::unique_ptr<CompoundFile> cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
    if (!cf || cf->streamSize(rep) < kHeaderSize) return false;
    if (versionTextOf(cf->read(rep, 0, 8)) != kReportVersionText) return false;
    *extents = cf->extents(rep, kMarkerOffset, kMarkerLength);
    quint64 total = 0;
    for (const CompoundFile::Extent& e : *extents) total += e.length;
    if (total != quint64(kMarkerLength)) return false;
    if (current) {
        *current = cf->read(rep, kMarkerOffset, kMarkerLength);
        if (current->size() != kMarkerLength) return false;
    }
    return true;
}

}  // namespace

QString qor::LocalComputerName() { return QSysInfo::machineHostName().left(kComputerNameChars); }

bool qor::IsMarkableReportPath(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    return suffix.compare(QLatin1String("rep"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("rbk"), Qt::CaseInsensitive) == 0;
}

bool qor::ReadInUseMark(const QString& path, InUseMark* mark) {
    QList<CompoundFile::Extent> extents;
    QByteArray bytes;
    if (!locateMark(path, &extents, &bytes)) return false;
    *mark = decodeInUseMark(bytes.constData(), size_t(bytes.size()));
    return true;
}

bool qor::WriteInUseMark(const QString& path, const InUseMark& mark, bool keepTimes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) return false;
    QList<CompoundFile::Extent> extents;
    if (!locateMark(path, &extents, nullptr)) return false;
    const QByteArray bytes = encodeInUseMark(mark);
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = true;
    qsizetype at = 0;
    for (const CompoundFile::Extent& e : extents) {
        const ssize_t n =
            ::pwrite(fd, bytes.constData() + at, size_t(e.length), off_t(e.fileOffset));
        if (n != ssize_t(e.length)) {
            ok = false;
            break;
        }
        at += qsizetype(e.length);
    }
    if (ok) ok = ::fsync(fd) == 0;
    if (keepTimes) {
        // Marking is not a change of the report: keep both stamps.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(fd, times) != 0) ok = false;
    }
    if (::close(fd) != 0) ok = false;
    return ok;
}

int IsReportOpenElsewhere(const QString& path, QString* computer) {
    if (computer) computer->clear();
    if (!IsMarkableReportPath(path)) return 0;
    InUseMark mark;
    if (!ReadInUseMark(path, &mark) || !mark.inUse) return 0;
    // Our own computer's mark is stale when no process here holds the
    // report (a writer holds its lock for as long as it has it open).
    if (mark.computer.compare(LocalComputerName(), Qt::CaseInsensitive) == 0 &&
        !FindOpenReport(path) && !IsFileLocked(path)) {
        WriteInUseMark(path, InUseMark{});
        return 0;
    }
    if (computer) *computer = mark.computer;
    return 1;
}

int MarkReportOpened(const QString& path) {
    if (!IsMarkableReportPath(path)) return 0;
    return WriteInUseMark(path, InUseMark{true, LocalComputerName()}) ? 1 : 0;
}

int MarkReportOpenedBy(const QString& path, const QString& computer) {
    if (!IsMarkableReportPath(path)) return 0;
    return WriteInUseMark(path, InUseMark{true, computer}) ? 1 : 0;
}

int MarkReportClosed(const QString& path) {
    if (!IsMarkableReportPath(path)) return 0;
    return WriteInUseMark(path, InUseMark{}) ? 1 : 0;
}
