#include "engine/unicodetextfile.h"

#include <QtEndian>

CUnicodeTextFile::CUnicodeTextFile() = default;

CUnicodeTextFile::~CUnicodeTextFile() { Close(); }

bool CUnicodeTextFile::Open(const QString& path) {
    Close();
    name_ = path;
    failed_ = false;
    error_ = 0;
    file_ = std::make_unique<qor::SafeFileWriter>(path);
    if (!file_->open()) {
        error_ = file_->error();
        file_.reset();
        return false;
    }
    return true;
}

bool CUnicodeTextFile::IsOpen() const { return file_ != nullptr; }

bool CUnicodeTextFile::Write(const void* data, qsizetype size) {
    if (!file_ || size < 0) return false;
    if (size == 0) return true;
    if (!file_->write(static_cast<const char*>(data), size_t(size))) {
        failed_ = true;
        error_ = file_->error();
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
        file_->cancel();
    } else {
        ok = file_->commit();
        if (!ok) error_ = file_->error();
    }
    file_.reset();
    failed_ = !ok;
    return ok;
}

void CUnicodeTextFile::Abort() {
    if (!file_) return;
    file_->cancel();
    file_.reset();
}

QString CUnicodeTextFile::GetFileName() const { return name_; }
