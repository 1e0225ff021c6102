#include "engine/creporthandle.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/inusemarker.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/status.h"
#include "engine/versionconvert.h"
#include "engine/workfiles.h"
#include "platform/compoundfile.h"
#include "platform/safefile.h"

using namespace qor;

namespace {

constexpr uint16_t kRefused = code(Status::Refused);

int g_openFault = 0;

// A new empty working file of this process in the work folder.
QString newWorkingCopy(int* fd, uint16_t* status) {
    QString path;
    *fd = CreateWorkFile(QStringLiteral(".rep"), &path);
    *status = *fd < 0 ? code(Status::CannotCreate) : 0;
    return *fd < 0 ? QString() : path;
}

void removeWorkFiles(const QString& work) {
    if (work.isEmpty()) return;
    QFile::remove(work);
}

// 0 when the file can be read, else its errno (the test hook's first).
int readError(const QString& path) {
    if (g_openFault) return g_openFault;
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return errno ? errno : EIO;
    ::close(fd);
    return 0;
}

// Test hook: a run that sets QOR_TEST_OPEN_BARRIER to a folder makes every
// writer wait there, right after it tried the report's lock, until two
// writers have arrived (at most 30 s): two processes then race for one
// report at the same moment.
void waitAtOpenBarrier() {
    static const QByteArray dir = qgetenv("QOR_TEST_OPEN_BARRIER");
    if (dir.isEmpty()) return;
    QFile mark(QFile::decodeName(dir) + QStringLiteral("/%1").arg(::getpid()));
    if (mark.open(QIODevice::WriteOnly)) mark.close();
    for (int i = 0; i < 3000; ++i) {
        if (QDir(QFile::decodeName(dir)).entryList(QDir::Files).size() >= 2) return;
        ::usleep(10000);
    }
}

QString inUseText(const QString& path) {
    InUseMark mark;
    const QString holder = ReadInUseMark(path, &mark) && mark.inUse && !mark.computer.isEmpty()
                               ? mark.computer
                               : LoadErrorText(qor::str::kAnotherProgram);
    return LoadErrorText(qor::str::kReportHeldBy) + holder + LoadErrorText(qor::str::kInUseSuffix);
}

}  // namespace

void qor::SetReportOpenFaultForTests(int errorNumber) { g_openFault = errorNumber; }

QString qor::ReportPathWithExtension(const QString& path) {
    const QFileInfo fi(path);
    const QString name = fi.fileName();
    const qsizetype dot = name.lastIndexOf('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot > 0) {
        if (QStringView(name).mid(dot + 1).compare(QLatin1String("rep"), Qt::CaseInsensitive) == 0)
            return path;
        return path.left(path.size() - (name.size() - dot)) + QStringLiteral(".rep");
    }
    if (name.isEmpty()) return path;
    return path + QStringLiteral(".rep");
}

namespace {

// What kind of report is at path: 1005 missing, 1006 not a compound file
// or no "QOR~REP", 1007 a version no converter is registered for, 1008
// damaged, 1020 unreadable (errno set).
uint16_t checkReport(const QString& path, ReportVersionKind* kind, QByteArray* versionText,
                     std::unique_ptr<CompoundFile>* keep = nullptr) {
    const QFileInfo fi(path);
    if (!fi.exists()) return code(Status::FileNotFound);
    // A folder, a FIFO, a device or a socket is no report: looked at
    // before anything opens it (a FIFO's open waits for a writer).
    if (!fi.isFile()) return code(Status::NotAReport);
    // A file we may not read is a read error, not a file of the wrong kind.
    if (const int err = readError(path)) {
        errno = err;
        return err == ENODEV || err == EISDIR ? code(Status::NotAReport) : code(Status::ReadError);
    }
    if (!CompoundFile::isCompoundFile(path)) return code(Status::NotAReport);
    QByteArray version;
    {
        std::unique_ptr<CompoundFile> cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
        if (!cf) return code(Status::CorruptReport);
        const QString rep = QString::fromLatin1(kRepStreamName);
        if (cf->streamSize(rep) < 0) return code(Status::NotAReport);
        const QByteArray start = cf->read(rep, 0, 8);
        if (start.size() != 8) return code(Status::CorruptReport);
        version = versionTextOf(start);
        if (keep) *keep = std::move(cf);
    }
    *kind = ClassifyVersionText(version);
    *versionText = version;
    if (*kind == ReportVersionKind::NotAVersion) return code(Status::CorruptReport);
    if (*kind == ReportVersionKind::Other) return code(Status::UnsupportedVersion);
    return 0;
}

}  // namespace

uint16_t qor::OpenWorkingCopy(const QString& path, QString* workPath) {
    ReportVersionKind kind;
    QByteArray version;
    uint16_t status = checkReport(path, &kind, &version);
    if (status) return status;
    int fd = -1;
    const QString work = newWorkingCopy(&fd, &status);
    if (status) return status;
    if (kind == ReportVersionKind::Current) {
        status = CopyFileInto(path, fd);
        ::close(fd);
    } else {
        // Converters write by name; the file is ours, in our own folder.
        ::close(fd);
        status = ConvertReport(version, path, work);
    }
    if (status) {
        removeWorkFiles(work);
        return status;
    }
    *workPath = work;
    return 0;
}

CReportHandle::CReportHandle(const QString& path) : CReportHandle(path, OpenMode::OpenOrCreate) {}

CReportHandle::CReportHandle(const QString& path, OpenMode mode, Access access,
                             FormatReading formats)
    : m_access(access), m_formats(formats) {
    open(path, mode);
    SetReportLastError(m_openStatus);
}

uint16_t CReportHandle::lockForWriting(const QString& path, int* fd) {
    *fd = -1;
    const QByteArray name = QFile::encodeName(path);
    // The file may be replaced by another writer's save between our open
    // and our lock: then the lock is taken again on the file now there.
    for (int attempt = 0; attempt < 20; ++attempt) {
        struct stat st {};
        if (::stat(name.constData(), &st) != 0) return code(Status::FileNotFound);
        // No write permission for anyone (root included) is a read-only
        // report: it is not rewritten behind its owner's back.
        if ((st.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0) {
            m_errorText = LoadErrorText(qor::str::kReportFileReadOnly);
            return kRefused;
        }
        const int f = OpenRegularFile(path, O_RDWR);
        if (f < 0) {
            const int err = errno;
            if (err == ENODEV || err == EISDIR) return code(Status::NotAReport);
            m_errorText = LoadErrorText(qor::str::kCannotOpenForWriting).arg(FileErrorText(err));
            return err == EACCES || err == EPERM || err == EROFS ? kRefused
                                                                 : code(Status::ReadError);
        }
        const LockResult r = TryLockFile(f);
        waitAtOpenBarrier();
        if (r == LockResult::Busy) {
            ::close(f);
            m_errorText = inUseText(path);
            return kRefused;
        }
        // A file system without locks: the report opens as it always did.
        if (r == LockResult::Failed || IsSameFile(f, path)) {
            *fd = f;
            return 0;
        }
        ::close(f);
    }
    m_errorText = inUseText(path);
    return kRefused;
}

void CReportHandle::releaseLock() {
    if (m_lockFd >= 0) ::close(m_lockFd);
    m_lockFd = -1;
}

void CReportHandle::open(const QString& path, OpenMode mode) {
    // An open report holds up to three descriptors (its lock, the file read
    // in place, the compound file): 999 reports need more than the usual
    // soft limit of 1,024, so it is raised towards the hard one once.
    static const bool raised = [] {
        rlimit lim {};
        if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return false;
        const rlim_t want = std::min<rlim_t>(lim.rlim_max, 8192);
        if (lim.rlim_cur >= want) return true;
        lim.rlim_cur = want;
        return ::setrlimit(RLIMIT_NOFILE, &lim) == 0;
    }();
    (void)raised;
    const QString named = FullReportPath(ReportPathWithExtension(path));
    if (named.isEmpty()) {
        m_openStatus = code(Status::FileNotFound);
        return;
    }
    // Another account that can write the folder could have put a link
    // where the report was: it is not followed, for reading or writing.
    if (!LinkSafeToFollow(named)) {
        m_path = named;
        m_errorText = LoadErrorText(qor::str::kForeignLinkNotFollowed).arg(named);
        m_openStatus = kRefused;
        return;
    }
    m_path = RealReportPath(named);
    if (OpenReportCount() >= kMaxOpenReports) {
        m_openStatus = code(Status::TooManyReports);
        return;
    }
    uint16_t status = 0;
    const bool exists = QFileInfo::exists(m_path);
    if (exists && mode == OpenMode::CreateNew) {
        status = code(Status::CannotCreate);
        m_errorText = LoadErrorText(qor::str::kFileExists);
    } else if (exists) {
        if (!QFileInfo(m_path).isFile()) {
            // Not a regular file: nothing opens it, not even to look.
            status = code(Status::NotAReport);
        } else if (const int err = readError(m_path)) {
            status = err == ENODEV || err == EISDIR ? code(Status::NotAReport)
                                                    : code(Status::ReadError);
            if (status == code(Status::ReadError))
                m_errorText = LoadErrorText(qor::str::kCannotReadFile).arg(FileErrorText(err));
        }
        if (!status && m_access == Access::Write) status = lockForWriting(m_path, &m_lockFd);
        // Temporaries of saves that were killed half-way lie beside the
        // report until someone opens it.
        if (!status) SweepStaleTemporaries(m_path);
        ReportVersionKind kind = ReportVersionKind::Current;
        QByteArray version;
        // Read in place: nothing is copied until a save needs it. What is
        // checked is the very file then read (the one locked for writing).
        const int readFd = status || m_lockFd >= 0 ? -1 : OpenRegularFile(m_path, O_RDONLY);
        const int fd = m_lockFd >= 0 ? m_lockFd : readFd;
        if (!status && fd < 0)
            status = errno == ENODEV || errno == EISDIR ? code(Status::NotAReport)
                                                        : code(Status::ReadError);
        std::unique_ptr<CompoundFile> cf;
        if (!status) status = checkReport(HandlePath(fd), &kind, &version, &cf);
        if (!status && kind == ReportVersionKind::Current) {
            m_file = CReportFile::OpenHandle(fd, &status, std::move(cf),
                                             m_formats == FormatReading::WhenUsed);
        } else if (!status) {
            // An older layout is read from a converted working copy.
            QString work;
            status = OpenWorkingCopy(m_path, &work);
            if (!status) {
                m_file = CReportFile::Open(work, &status, true, {},
                                           m_formats == FormatReading::WhenUsed);
                if (!m_file) removeWorkFiles(work);
            }
        }
        if (readFd >= 0) ::close(readFd);
        if (status == code(Status::ReadError) && m_errorText.isEmpty())
            m_errorText = LoadErrorText(qor::str::kCannotReadFile).arg(FileErrorText(errno));
    } else if (mode == OpenMode::OpenExisting || m_access == Access::Read) {
        status = code(Status::FileNotFound);
    } else {
        int fd = -1;
        const QString work = newWorkingCopy(&fd, &status);
        if (fd >= 0) ::close(fd);
        if (!status) {
            m_file = CReportFile::CreateNew(work);
            m_created = true;
            if (mode == OpenMode::CreateNew) {
                m_unwritten = true;
            } else {
                // The report exists from now on, as opening it promised.
                SaveOptions options;
                options.noReplace = true;
                options.lockHandle = &m_lockFd;
                if (m_file->Save(m_path, options) != 0) {
                    m_file.reset();
                    m_created = false;
                    status = code(Status::CannotCreate);
                }
            }
        }
    }
    if (!m_file) {
        releaseLock();
        m_openStatus = status ? status : code(Status::ReadError);
        return;
    }
    m_errorText.clear();
    RegisterOpenReport(this);
    m_openStatus = 0;
}

uint16_t CReportHandle::FormatLoadStatus() const {
    return m_file ? m_file->FormatLoadStatus() : 0;
}

CReportHandle::~CReportHandle() {
    UnregisterOpenReport(this);
    m_current.reset();
    m_file.reset();  // takes its working file with it
    releaseLock();
}

QString CReportHandle::GetPathName() const { return m_altPath.isEmpty() ? m_path : m_altPath; }

void CReportHandle::SetAlternatePath(const QString& path) {
    m_altPath = path.isEmpty() ? QString() : RealReportPath(path);
}

uint16_t CReportHandle::Save() {
    if (!m_file) return kRefused;
    m_errorText.clear();
    const QString target = GetPathName();
    // A reader may write what it read under another name (a conversion),
    // never over the report it read.
    if (m_access == Access::Read && (m_altPath.isEmpty() || m_altPath == m_path)) {
        m_errorText = LoadErrorText(qor::str::kReportReadOnly);
        return kRefused;
    }
    // Nothing is written with a value its formula no longer gives; in
    // format state the pages take the edits as the save commits them, and
    // are worked out with them: a formula written since format state was
    // entered is saved with what it gives, as the report reopened would
    // not know to work it out.
    if (m_file->IsFormatEditing()) {
        uint16_t s = 0;
        try {
            m_file->CommitFormatEdit();
            s = BringCurrent();
            m_file->BeginFormatEdit();
        } catch (const std::bad_alloc&) {
            return code(Status::OutOfMemory);
        }
        if (s) return s;
    } else if (const uint16_t s = BringCurrent()) {
        return s;
    }
    // Saving over another report takes that report's lock first: its
    // writer, if it has one, would save over us afterwards.
    int targetLock = -1;
    const bool held = m_lockFd >= 0 && IsSameFile(m_lockFd, target);
    if (!held && QFileInfo::exists(target)) {
        if (uint16_t s = lockForWriting(target, &targetLock)) return s;
    }
    int newLock = -1;
    SaveOptions options;
    options.noReplace = m_unwritten;
    options.lockHandle = &newLock;
    bool ownerNotKept = false;
    options.ownerNotKept = &ownerNotKept;
    const uint16_t status = m_file->Save(target, options);
    if (targetLock >= 0) ::close(targetLock);
    if (status) {
        if (newLock >= 0) ::close(newLock);
        if (ownerNotKept) m_errorText = LoadErrorText(qor::str::kOwnerNotKept);
        return status;
    }
    if (newLock >= 0) {
        // The lock moves to the file now at the path; after a save-as the
        // report we came from is free again.
        releaseLock();
        m_lockFd = newLock;
    }
    m_unwritten = false;
    return 0;
}

uint16_t CReportHandle::CloseStreams() {
    if (!m_file) return 0;
    return m_file->CloseStreams() ? code(Status::CloseError) : 0;
}

uint16_t CReportHandle::EnterFormatState() {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    makeCurrent(0, false);
    m_file->BeginFormatEdit();
    return 0;
}

uint16_t CReportHandle::EnterDataState(int) {
    if (!m_file || !m_file->IsFormatEditing() || m_curPage != 0) return kRefused;
    try {
        m_file->CommitFormatEdit();
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
    // Numbers rounded to fewer decimals, like every other change of the
    // format, are noted: their totals add what they now hold once values
    // are next read or saved.
    m_file->TakeNumbersRounded();
    return 0;
}

int CReportHandle::IsFormatState() const { return m_file && m_file->IsFormatEditing() ? 1 : 0; }

uint16_t CReportHandle::CancelFormatState() {
    if (!m_file || !m_file->IsFormatEditing()) return kRefused;
    m_file->CancelFormatEdit();
    return 0;
}

int CReportHandle::GetPageCount() const { return m_file ? m_file->PageCount() : 0; }

uint16_t CReportHandle::SetCurPage(int page) {
    if (!m_file || m_file->IsFormatEditing() || m_file->PageCount() == 0) return kRefused;
    if (page < 1 || page > m_file->PageCount()) page = 1;
    return makeCurrent(page, true);
}

uint16_t CReportHandle::SelectCurPage(int page) {
    if (!m_file || m_file->IsFormatEditing() || m_file->PageCount() == 0) return kRefused;
    if (page < 1 || page > m_file->PageCount()) page = 1;
    return makeCurrent(page, false);
}

uint16_t CReportHandle::makeCurrent(int page, bool load) {
    std::shared_ptr<CSheetPage> p;
    if (page && load) {
        uint16_t status = 0;
        p = m_file->Page(page, &status);
        if (!p) return kRefused;
    }
    m_current = std::move(p);
    m_curKeywords.reset();
    m_curPage = page;
    m_file->SetPinnedPage(page);
    return 0;
}

std::shared_ptr<CSheetPage> CReportHandle::currentPage(uint16_t* status) const {
    if (status) *status = 0;
    if (!m_current && m_file && m_curPage > 0 && !m_file->IsFormatEditing()) {
        uint16_t s = 0;
        m_current = m_file->Page(m_curPage, &s);
        if (m_current) m_curKeywords.reset();
        if (status) *status = s;
    }
    if (!m_current && status && !*status) *status = kRefused;
    return m_current;
}

CSheetPage* CReportHandle::GetCurrentPage() const { return currentPage().get(); }

std::shared_ptr<CSheetPage> CReportHandle::GetPage(int page, uint16_t* status) {
    if (!m_file) {
        if (status) *status = kRefused;
        return nullptr;
    }
    return m_file->Page(page, status);
}

uint16_t CReportHandle::AccessTableSize(int flag, uint16_t* rows, uint16_t* cols) {
    if (!m_file || !rows || !cols) return kRefused;
    if (flag == 0) {
        *rows = m_file->GetRowCount();
        *cols = m_file->GetColCount();
        return 0;
    }
    if (!m_file->IsFormatEditing()) return kRefused;
    return m_file->SetTableSize(*rows, *cols);
}

uint16_t CReportHandle::AppendRowColPage(int count, int kind) {
    if (!m_file) return kRefused;
    switch (kind) {
        case 0:
        case 1:
            if (!m_file->IsFormatEditing()) return kRefused;
            return kind == 0 ? m_file->AppendRows(count) : m_file->AppendCols(count);
        case 2:
            return m_file->AppendPages(count);
    }
    return kRefused;
}

uint16_t CReportHandle::GetRowCount() const { return m_file ? m_file->GetRowCount() : 0; }

uint16_t CReportHandle::GetColCount() const { return m_file ? m_file->GetColCount() : 0; }

bool CReportHandle::HasExtendedPageRecords() const {
    return m_file && m_file->HasExtendedPageRecords();
}

uint64_t CReportHandle::GetPageReadCount() const { return m_file ? m_file->PageReads() : 0; }
