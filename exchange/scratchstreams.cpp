#include "exchange/scratchstreams.h"

#include <QFile>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/messages.h"
#include "engine/workfiles.h"

namespace qor {

namespace {

[[noreturn]] void failWith(int error) { throw ScratchFailure{FileErrorText(error)}; }

// All of the bytes through pread or pwrite, however the call splits them;
// short means the end of the file (reading) or a full disk (writing).
template <typename Io, typename Bytes>
void whole(Io io, int fd, Bytes* p, size_t bytes, int64_t at, int shortError) {
    while (bytes > 0) {
        const ssize_t n = io(fd, p, bytes, off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failWith(n < 0 ? errno : shortError);
        p += n;
        bytes -= size_t(n);
        at += n;
    }
}

}  // namespace

ScratchStreams::ScratchStreams(size_t streams, size_t memoryBytes)
    : m_streams(streams),
      // Blocks small enough that every stream's open block and read block
      // together stay within the memory asked for, and large enough to
      // make few file calls.
      m_blockBytes(std::clamp<size_t>(memoryBytes / std::max<size_t>(4 * streams, 1), 4096, 256 * 1024)),
      m_memoryBytes(memoryBytes) {}

ScratchStreams::~ScratchStreams() {
    if (m_fd >= 0) ::close(m_fd);
}

void ScratchStreams::seal(Stream& s) {
    if (s.open.empty()) return;
    Block b;
    b.size = s.open.size();
    if (m_held + b.size <= m_memoryBytes) {
        m_held += b.size;
        b.bytes.swap(s.open);
        s.open.clear();
    } else {
        if (m_fd < 0) {
            QString name;
            m_fd = CreateWorkFile(QStringLiteral(".scratch"), &name);
            if (m_fd < 0) failWith(errno);
            // Read back only through the descriptor: no name stays.
            ::unlink(QFile::encodeName(name).constData());
        }
        whole(::pwrite, m_fd, s.open.data(), b.size, m_fileEnd, ENOSPC);
        b.offset = m_fileEnd;
        m_fileEnd += int64_t(b.size);
        s.open.clear();
    }
    s.blocks.push_back(std::move(b));
}

void ScratchStreams::put(size_t stream, const void* data, size_t bytes) {
    Stream& s = m_streams[stream];
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        if (s.open.size() >= m_blockBytes) seal(s);
        const size_t n = std::min(bytes, m_blockBytes - s.open.size());
        s.open.insert(s.open.end(), p, p + n);
        p += n;
        bytes -= n;
    }
}

void ScratchStreams::putText(size_t stream, QStringView text) {
    const uint32_t n = uint32_t(text.size());
    put(stream, &n, sizeof n);
    put(stream, text.data(), size_t(n) * sizeof(QChar));
}

void ScratchStreams::startReading(Stream& s) {
    s.reading = true;
    // The block still open is the stream's last.
    if (!s.open.empty()) {
        Block b;
        b.size = s.open.size();
        b.bytes.swap(s.open);
        s.blocks.push_back(std::move(b));
    }
    s.read.clear();
    s.readAt = 0;
}

bool ScratchStreams::nextBlock(Stream& s) {
    if (s.blocks.empty()) return false;
    Block b = std::move(s.blocks.front());
    s.blocks.pop_front();
    s.readAt = 0;
    if (b.offset < 0) {
        if (m_held >= b.bytes.size()) m_held -= b.bytes.size();
        s.read.swap(b.bytes);
        return true;
    }
    s.read.resize(b.size);
    whole(::pread, m_fd, s.read.data(), b.size, b.offset, EIO);
    return true;
}

void ScratchStreams::get(size_t stream, void* data, size_t bytes) {
    Stream& s = m_streams[stream];
    if (!s.reading) startReading(s);
    char* p = static_cast<char*>(data);
    while (bytes > 0) {
        if (s.readAt >= s.read.size() && !nextBlock(s)) failWith(EIO);
        const size_t n = std::min(bytes, s.read.size() - s.readAt);
        memcpy(p, s.read.data() + s.readAt, n);
        s.readAt += n;
        p += n;
        bytes -= n;
    }
}

QString ScratchStreams::getText(size_t stream) {
    uint32_t n = 0;
    get(stream, &n, sizeof n);
    QString text(qsizetype(n), Qt::Uninitialized);
    get(stream, text.data(), size_t(n) * sizeof(QChar));
    return text;
}

}  // namespace qor
