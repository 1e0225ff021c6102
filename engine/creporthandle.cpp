#include "engine/creporthandle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "engine/openreports.h"
#include "engine/status.h"
#include "engine/versionconvert.h"
#include "platform/compoundfile.h"

using namespace qor;

namespace {

constexpr uint16_t kRefused = code(Status::Refused);

// An empty file with a fresh "qorXXXXXX.rep" name in the temporary folder.
QString newWorkingCopyPath(uint16_t* status) {
    QTemporaryFile tf(QDir::tempPath() + QStringLiteral("/qorXXXXXX.rep"));
    tf.setAutoRemove(false);
    if (!tf.open()) {
        *status = code(Status::CannotCreate);
        return {};
    }
    *status = 0;
    return tf.fileName();
}

void removeWorkFiles(const QString& work) {
    if (work.isEmpty()) return;
    QFile::remove(work);
    QFile::remove(work + QStringLiteral(".new"));
}

}  // namespace

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

uint16_t qor::OpenWorkingCopy(const QString& path, QString* workPath) {
    const QFileInfo fi(path);
    if (!fi.exists()) return code(Status::FileNotFound);
    if (!fi.isFile() || !CompoundFile::isCompoundFile(path)) return code(Status::NotAReport);
    QByteArray version;
    {
        std::unique_ptr<CompoundFile> cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
        if (!cf) return code(Status::CorruptReport);
        const QString rep = QString::fromLatin1(kRepStreamName);
        if (cf->streamSize(rep) < 0) return code(Status::NotAReport);
        const QByteArray start = cf->read(rep, 0, 8);
        if (start.size() != 8) return code(Status::CorruptReport);
        version = versionTextOf(start);
    }
    const ReportVersionKind kind = ClassifyVersionText(version);
    if (kind == ReportVersionKind::NotAVersion) return code(Status::CorruptReport);
    if (kind == ReportVersionKind::Other) return code(Status::UnsupportedVersion);
    uint16_t status = 0;
    const QString work = newWorkingCopyPath(&status);
    if (status) return status;
    status = kind == ReportVersionKind::Current ? CopyFileData(path, work)
                                                : ConvertReport(version, path, work);
    if (status) {
        removeWorkFiles(work);
        return status;
    }
    *workPath = work;
    return 0;
}

CReportHandle::CReportHandle(const QString& path) : CReportHandle(path, OpenMode::OpenOrCreate) {}

CReportHandle::CReportHandle(const QString& path, OpenMode mode) {
    open(path, mode);
    SetReportLastError(m_openStatus);
}

void CReportHandle::open(const QString& path, OpenMode mode) {
    m_path = FullReportPath(ReportPathWithExtension(path));
    if (m_path.isEmpty()) {
        m_openStatus = code(Status::FileNotFound);
        return;
    }
    if (OpenReportCount() >= kMaxOpenReports) {
        m_openStatus = code(Status::TooManyReports);
        return;
    }
    uint16_t status = 0;
    if (QFileInfo::exists(m_path)) {
        status = OpenWorkingCopy(m_path, &m_work);
        if (!status) {
            m_file = CReportFile::Open(m_work, &status);
            if (!m_file) removeWorkFiles(m_work);
        }
    } else if (mode == OpenMode::OpenExisting) {
        status = code(Status::FileNotFound);
    } else {
        m_work = newWorkingCopyPath(&status);
        if (!status) {
            m_file = CReportFile::CreateNew(m_work);
            // The report exists from now on, as opening it promised.
            if (m_file->Save(m_path) != 0) {
                m_file.reset();
                removeWorkFiles(m_work);
                status = code(Status::CannotCreate);
            }
            m_created = m_file != nullptr;
        }
    }
    if (!m_file) {
        m_work.clear();
        m_openStatus = status ? status : code(Status::ReadError);
        return;
    }
    RegisterOpenReport(this);
    m_openStatus = 0;
}

CReportHandle::~CReportHandle() {
    UnregisterOpenReport(this);
    m_current.reset();
    m_file.reset();
    removeWorkFiles(m_work);
}

QString CReportHandle::GetPathName() const { return m_altPath.isEmpty() ? m_path : m_altPath; }

void CReportHandle::SetAlternatePath(const QString& path) { m_altPath = FullReportPath(path); }

uint16_t CReportHandle::Save() {
    if (!m_file) return kRefused;
    return m_file->Save(GetPathName());
}

uint16_t CReportHandle::CloseStreams() {
    if (!m_file) return 0;
    return m_file->CloseStreams() ? code(Status::CloseError) : 0;
}

uint16_t CReportHandle::EnterFormatState() {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    m_current.reset();
    m_curPage = 0;
    m_file->SetPinnedPage(0);
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
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> p = m_file->Page(page, &status);
    if (!p) return kRefused;
    m_current = std::move(p);
    m_curPage = page;
    m_file->SetPinnedPage(page);
    return 0;
}

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
