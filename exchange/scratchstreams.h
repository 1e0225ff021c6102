#pragma once
// Values set aside in several streams, each written from its start to its
// end and then read back in the same order: a report's values read page by
// page and written cell by cell, or read cell by cell and written page by
// page, without holding them all. Up to a bounded amount stays in memory;
// the rest goes to an unnamed file of the work folder, which leaves no name
// behind whatever happens to the process.

#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace qor {

// The scratch file could not be made, written or read: why, in the
// system's words (FileErrorText).
struct ScratchFailure {
    QString why;
};

class ScratchStreams {
public:
    explicit ScratchStreams(size_t streams, size_t memoryBytes = size_t(32) << 20);
    ~ScratchStreams();
    ScratchStreams(const ScratchStreams&) = delete;
    ScratchStreams& operator=(const ScratchStreams&) = delete;

    size_t count() const { return m_streams.size(); }

    // Writing: appends to the end of a stream. Throws ScratchFailure.
    void put(size_t stream, const void* data, size_t bytes);
    void putDouble(size_t stream, double v) { put(stream, &v, sizeof v); }
    void putText(size_t stream, QStringView text);

    // Reading, once a stream is written: from its start, in the order it
    // was written; what was read is let go. Throws ScratchFailure, also
    // for reading past what was written.
    void get(size_t stream, void* data, size_t bytes);
    double getDouble(size_t stream) {
        double v = 0;
        get(stream, &v, sizeof v);
        return v;
    }
    QString getText(size_t stream);

private:
    struct Block {
        std::vector<char> bytes;  // in memory; empty when in the file
        int64_t offset = -1;      // in the file
        size_t size = 0;
    };
    struct Stream {
        std::deque<Block> blocks;  // sealed, in order
        std::vector<char> open;    // being written
        std::vector<char> read;    // the block being read
        size_t readAt = 0;
        bool reading = false;
    };
    void seal(Stream& s);
    void startReading(Stream& s);
    bool nextBlock(Stream& s);

    std::vector<Stream> m_streams;
    size_t m_blockBytes;
    size_t m_memoryBytes;
    size_t m_held = 0;  // bytes of sealed blocks in memory
    int m_fd = -1;
    int64_t m_fileEnd = 0;
};

}  // namespace qor
