#include "engine/unicodetextfile.h"

#include <QtEndian>

CUnicodeTextFile::CUnicodeTextFile() = default;

CUnicodeTextFile::~CUnicodeTextFile() { Close(); }

bool CUnicodeTextFile::Open(const QString& path) {
    Close();
    name_ = path;
    failed_ = false;
    file_ = std::make_unique<QSaveFile>(path);
    // Folders where no temporary file can be made beside the target (a
    // target that is a symbolic link, say) get a direct write instead.
    file_->setDirectWriteFallback(true);
    if (!file_->open(QIODevice::WriteOnly)) {
        file_.reset();
        return false;
    }
    return true;
}

bool CUnicodeTextFile::IsOpen() const { return file_ != nullptr; }

bool CUnicodeTextFile::Write(const void* data, qsizetype size) {
    if (!file_ || size < 0) return false;
    if (size == 0) return true;
    if (file_->write(static_cast<const char*>(data), size) != size) {
        failed_ = true;
        return false;
    }
    return true;
}

bool CUnicodeTextFile::WriteString(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (QChar c : text) {
        qToLittleEndian<quint16>(c.unicode(), out);
        out += 2;
    }
    return Write(bytes);
}

bool CUnicodeTextFile::Close() {
    if (!file_) return !failed_;
    bool ok = false;
    if (failed_) {
        file_->cancelWriting();
        file_->commit();
    } else {
        ok = file_->commit();
    }
    file_.reset();
    failed_ = !ok;
    return ok;
}

void CUnicodeTextFile::Abort() {
    if (!file_) return;
    file_->cancelWriting();
    file_->commit();
    file_.reset();
}

QString CUnicodeTextFile::GetFileName() const { return name_; }
