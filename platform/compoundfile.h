#pragma once
// Compound files (structured storage): version 3 files with 512-byte
// sectors, FAT, DIFAT beyond 109 FAT sectors, mini stream and a red-black
// directory tree. Report files and the document's items live in them.
//
// Entry paths name nested entries with '/', e.g. "QOR~REP" or
// "Embedding 1/Contents". Names are compared without regard to case, as
// the format requires, and are at most 31 UTF-16 units long.
//
// Stream data are written to the file as they are written here; commit()
// writes the tables that make the file whole again. Files with 4,096-byte
// sectors (version 4) are read, but only in Mode::ReadOnly. Not safe for
// use from several threads at once.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

namespace qor {

class CompoundFile {
public:
    enum class Mode { ReadOnly, ReadWrite };

    struct Entry {
        QString name;  // this entry's own name
        QString path;  // full path from the root, '/'-separated
        bool isStorage = false;
        quint64 size = 0;  // streams only
    };

    // Where one byte range of a stream lies in the file (for patching a
    // few bytes in place without rewriting anything else).
    struct Extent {
        quint64 fileOffset = 0;
        quint64 length = 0;
    };

    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    // True when the file starts with the compound-file signature.
    static bool isCompoundFile(const QString& path);

    // Opens an existing file; null and *error set on failure (missing file,
    // bad signature, damaged header, FAT or directory). Every chain, id and
    // size is checked here, so later reads cannot run off the tables.
    static std::unique_ptr<CompoundFile> open(const QString& path, Mode mode,
                                              QString* error = nullptr);

    // Creates (truncates) a file with an empty root storage.
    static std::unique_ptr<CompoundFile> create(const QString& path, QString* error = nullptr);
    // The same on a new, empty file the caller made (open for reading and
    // writing); the compound file takes the descriptor over and closes it.
    static std::unique_ptr<CompoundFile> createOnHandle(int fd, const QString& path,
                                                        QString* error = nullptr);

    QString fileName() const;
    bool isWritable() const;
    QString lastError() const;

    // Entries directly below a storage ("" = root), in directory order.
    QList<Entry> entries(const QString& storage = QString()) const;
    // Every entry of the file, depth first.
    QList<Entry> allEntries() const;
    bool exists(const QString& path) const;
    bool isStorage(const QString& path) const;
    // Size of a stream; -1 when there is no such stream.
    qint64 streamSize(const QString& path) const;

    // Reads up to len bytes from offset; returns the count read (0 at or
    // past the end), -1 on error (no such stream, I/O error).
    qint64 read(const QString& path, quint64 offset, char* buf, quint64 len) const;
    QByteArray read(const QString& path, quint64 offset, quint64 len) const;
    QByteArray readAll(const QString& path) const;

    // Writing needs Mode::ReadWrite or a created file. The parent storage
    // must exist; the functions below that write data create a missing
    // stream. On failure they return false and set lastError().

    // Succeeds also when the storage already exists.
    bool createStorage(const QString& path);
    // Creates an empty stream (replacing an existing one's content).
    bool createStream(const QString& path);
    // Writes in place; the stream grows when the range passes its end.
    bool write(const QString& path, quint64 offset, const char* data, quint64 len);
    bool write(const QString& path, quint64 offset, const QByteArray& data);
    // Replaces the stream's whole content.
    bool writeAll(const QString& path, const QByteArray& data);
    // Writes len bytes of a stream of another compound file at offset, as
    // write() would. The kernel moves the bytes from file to file
    // (copy_file_range; file systems that can share extents do so), so a
    // large unchanged stream costs no trip through memory here. Fails
    // when the range does not lie in the source stream.
    bool copyFrom(const QString& path, quint64 offset, const CompoundFile& source,
                  const QString& sourcePath, quint64 sourceOffset, quint64 len);
    // Grows (zero-filled) or shrinks a stream; moves it between the mini
    // stream and regular sectors across the 4,096-byte cutoff.
    bool resize(const QString& path, quint64 size);
    // Removes a stream or a storage with everything below it.
    bool remove(const QString& path);

    // Physical location of a stream's byte range, sector run by sector run
    // (mini-stream data resolved through the root's chain). Empty when
    // the range does not lie in the stream.
    QList<Extent> extents(const QString& path, quint64 offset, quint64 len) const;

    // Starts the disk writing what was written here every `step` bytes
    // (0 = never, as by default), without waiting for it: a large file
    // written in one go is then mostly on the disk by the time sync()
    // waits for it, instead of being written only then.
    void setWriteBehind(quint64 step);

    // Writes FAT, DIFAT, mini FAT, directory and header; the file on disk
    // is a valid compound file afterwards. Also run by the destructor.
    // Does nothing (and succeeds) when nothing changed or the file is
    // read-only.
    bool commit();
    // commit(), then waits until the file's data are on the disk (before
    // renaming a saved copy into place).
    bool sync();

private:
    CompoundFile();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace qor
