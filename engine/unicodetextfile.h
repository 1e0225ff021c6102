#pragma once
// Output file of the HTML export: raw bytes and UTF-16 text.
//
// The content goes to a temporary file beside the target and replaces the
// target at Close(), so an export that fails half-way leaves an older file
// of that name whole. Closing happens in the destructor too; Abort()
// drops what was written.

#include <QByteArray>
#include <QString>
#include <memory>

#include "platform/safefile.h"

class CUnicodeTextFile {
public:
    CUnicodeTextFile();
    ~CUnicodeTextFile();
    CUnicodeTextFile(const CUnicodeTextFile&) = delete;
    CUnicodeTextFile& operator=(const CUnicodeTextFile&) = delete;

    // Creates the file for writing (an existing file is replaced at
    // Close). A file already open is closed first. False when the file
    // cannot be written.
    bool Open(const QString& path);
    bool IsOpen() const;

    // Bytes exactly as given.
    bool Write(const void* data, qsizetype size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }

    // The text as UTF-16LE bytes; adds no byte-order mark, terminator or
    // line break.
    bool WriteString(const QString& text);

    // Puts the file in place. False when a write failed or the file could
    // not be committed; the target is then left as it was.
    bool Close();
    void Abort();

    // errno of the first failure of Open, a write or Close (0 none).
    int Error() const { return error_; }

    // The path given to Open ("" before).
    QString GetFileName() const;

private:
    std::unique_ptr<qor::SafeFileWriter> file_;
    QString name_;
    bool failed_ = false;
    int error_ = 0;
};
