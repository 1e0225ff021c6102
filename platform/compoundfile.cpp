#include "platform/compoundfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "platform/bytes.h"
#include "platform/largeblock.h"
#include "platform/safefile.h"

namespace qor {

namespace {

constexpr quint32 kFreeSect = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;
constexpr quint32 kMaxRegSect = 0xFFFFFFFA;
constexpr quint32 kNoStream = 0xFFFFFFFF;

constexpr quint64 kHeaderBytes = 512;
constexpr quint64 kDirEntryBytes = 128;
constexpr quint64 kMiniSectorBytes = 64;
constexpr quint64 kMiniCutoff = 4096;
constexpr int kHeaderDifatCount = 109;
constexpr int kMaxNameUnits = 31;
// Version 3 keeps only 32 bits of a stream's size.
constexpr quint64 kMaxStreamSize = 0xFFFFFFFFull;

constexpr uchar kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

enum : quint8 { kTypeUnused = 0, kTypeStorage = 1, kTypeStream = 2, kTypeRoot = 5 };
enum : quint8 { kRed = 0, kBlack = 1 };

inline quint64 ceilDiv(quint64 a, quint64 b) { return (a + b - 1) / b; }

// Simple per-unit upper-casing: the format compares names by UTF-16 unit,
// so a full case mapping that changes the length would be wrong here.
QString upperUnits(const QString& s) {
    QString u = s;
    for (QChar& c : u) c = c.toUpper();
    return u;
}

// Sibling order: shorter names first, then unit by unit on the upper case.
int compareUpper(const QString& a, const QString& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a.at(i).unicode();
        const char16_t y = b.at(i).unicode();
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

// Sector ids of the allocation table and of chains: megabytes for a large
// file, so they take huge pages rather than a fault for every 4 KiB.
using SectorIds = std::vector<quint32, qor::LargeBlockAllocator<quint32, false>>;

struct DirEntry {
    QString name;
    QString upper;
    quint8 type = kTypeUnused;
    std::array<uchar, 16> clsid{};
    quint32 stateBits = 0;
    quint64 created = 0;
    quint64 modified = 0;
    quint64 size = 0;
    // Streams below the cutoff live in the mini stream; their chain then
    // holds mini-sector ids.
    bool mini = true;
    SectorIds chain;
    quint32 parent = kNoStream;
    std::vector<quint32> children;  // sorted by sibling order

    // Raw links as read from the file, used only while loading.
    quint32 left = kNoStream;
    quint32 right = kNoStream;
    quint32 child = kNoStream;
    quint32 start = kEndOfChain;

    bool isStorageLike() const { return type == kTypeStorage || type == kTypeRoot; }
};

}  // namespace

struct CompoundFile::Impl {
    QString path;
    int fd = -1;
    bool writable = false;
    bool dirty = false;
    // Cleared once copy_file_range turns out not to work between the files.
    bool kernelCopy = true;
    quint64 writeBehindStep = 0;
    quint64 unflushed = 0;  // bytes written since the disk was last set to work
    mutable QString error;

    quint32 sectorShift = 9;
    quint64 sectorSize = 512;
    quint16 majorVersion = 3;
    std::array<uchar, 16> headerClsid{};

    SectorIds fat;
    size_t fatHint = 0;
    std::vector<quint32> fatSectors;
    std::vector<quint32> difatSectors;
    std::vector<quint32> miniFat;
    size_t miniHint = 0;
    SectorIds miniFatChain;
    SectorIds dirChain;
    std::vector<DirEntry> dir;
    size_t dirHint = 1;

    ~Impl() {
        if (fd >= 0) ::close(fd);
    }

    bool fail(const QString& text) const {
        error = text;
        return false;
    }

    quint64 sectorOffset(quint32 s) const { return (quint64(s) + 1) << sectorShift; }
    quint32 fatPerSector() const { return quint32(sectorSize / 4); }

    // ---- raw file access -------------------------------------------------

    // Reads fully; bytes past the end of the file read as zeros (a last
    // sector cut short is common in files from other writers).
    bool readAt(quint64 offset, void* buf, quint64 len) const {
        auto* p = static_cast<char*>(buf);
        while (len > 0) {
            const size_t chunk = size_t(std::min<quint64>(len, 1u << 30));
            const ssize_t n = ::pread(fd, p, chunk, off_t(offset));
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(QStringLiteral("read error: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
            }
            if (n == 0) {
                std::memset(p, 0, size_t(len));
                return true;
            }
            p += n;
            offset += quint64(n);
            len -= quint64(n);
        }
        return true;
    }

    void wrote(quint64 n) {
        if (!writeBehindStep) return;
        unflushed += n;
        if (unflushed < writeBehindStep) return;
        unflushed = 0;
        // Only a hint: the sync before the file is used is what counts.
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }

    bool writeAt(quint64 offset, const void* buf, quint64 len) {
        wrote(len);
        const auto* p = static_cast<const char*>(buf);
        while (len > 0) {
            const size_t chunk = size_t(std::min<quint64>(len, 1u << 30));
            const ssize_t n = ::pwrite(fd, p, chunk, off_t(offset));
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(QStringLiteral("write error: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
            }
            p += n;
            offset += quint64(n);
            len -= quint64(n);
        }
        return true;
    }

    // Copies bytes from another compound file into this one, file offset
    // to file offset. The kernel copies where it can; where it cannot (a
    // file system without copy_file_range, another device on older
    // kernels, a source cut short before its last sector) the bytes pass
    // through a buffer, bytes past the source's end reading as zeros.
    bool copyIn(const Impl& src, quint64 srcOffset, quint64 offset, quint64 len) {
        while (len > 0 && kernelCopy) {
            loff_t in = loff_t(srcOffset), out = loff_t(offset);
            ssize_t n;
            do {
                n = ::copy_file_range(src.fd, &in, fd, &out,
                                      size_t(std::min<quint64>(len, 1u << 30)), 0);
            } while (n < 0 && errno == EINTR);
            if (n > 0) {
                wrote(quint64(n));
                srcOffset += quint64(n);
                offset += quint64(n);
                len -= quint64(n);
                continue;
            }
            if (n == 0) break;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                errno != EBADF) {
                const int err = errno;
                fail(QStringLiteral("write error: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(err))));
                errno = err;
                return false;
            }
            kernelCopy = false;
        }
        std::vector<char> buf(size_t(std::min<quint64>(len, 1u << 20)));
        while (len > 0) {
            const quint64 k = std::min<quint64>(len, buf.size());
            if (!src.readAt(srcOffset, buf.data(), k)) {
                const int err = errno;
                fail(src.error);
                errno = err;
                return false;
            }
            if (!writeAt(offset, buf.data(), k)) return false;
            srcOffset += k;
            offset += k;
            len -= k;
        }
        return true;
    }

    // Reads whole sectors into one buffer, merging physically adjacent ones.
    bool readSectors(std::span<const quint32> ids, uchar* out) const {
        size_t i = 0;
        while (i < ids.size()) {
            size_t j = i + 1;
            while (j < ids.size() && ids[j] == ids[j - 1] + 1) ++j;
            if (!readAt(sectorOffset(ids[i]), out + i * sectorSize, (j - i) * sectorSize))
                return false;
            i = j;
        }
        return true;
    }

    bool writeSectors(std::span<const quint32> ids, const uchar* data) {
        size_t i = 0;
        while (i < ids.size()) {
            size_t j = i + 1;
            while (j < ids.size() && ids[j] == ids[j - 1] + 1) ++j;
            if (!writeAt(sectorOffset(ids[i]), data + i * sectorSize, (j - i) * sectorSize))
                return false;
            i = j;
        }
        return true;
    }

    // ---- allocation -------------------------------------------------------

    bool allocSector(quint32* out) {
        while (fatHint < fat.size() && fat[fatHint] != kFreeSect) ++fatHint;
        if (fatHint < fat.size()) {
            *out = quint32(fatHint++);
            fat[*out] = kEndOfChain;
            return true;
        }
        if (fat.size() >= kMaxRegSect) return fail(QStringLiteral("compound file is full"));
        fat.push_back(kEndOfChain);
        fatHint = fat.size();
        *out = quint32(fat.size() - 1);
        return true;
    }

    void freeSector(quint32 s) {
        fat[s] = kFreeSect;
        fatHint = std::min<size_t>(fatHint, s);
    }

    bool setRegularChainLength(SectorIds& chain, size_t n) {
        if (chain.size() > n) {
            for (size_t i = n; i < chain.size(); ++i) freeSector(chain[i]);
            chain.resize(n);
            if (!chain.empty()) fat[chain.back()] = kEndOfChain;
        }
        // Grown a little at a time while a large stream is written: room
        // for twice as much, so the chain is not moved on every step.
        if (n > chain.capacity()) chain.reserve(std::max(n, 2 * chain.capacity()));
        while (chain.size() < n) {
            quint32 s;
            if (!allocSector(&s)) return false;
            if (!chain.empty()) fat[chain.back()] = s;
            chain.push_back(s);
        }
        return true;
    }

    bool allocMiniSector(quint32* out) {
        while (miniHint < miniFat.size() && miniFat[miniHint] != kFreeSect) ++miniHint;
        if (miniHint < miniFat.size()) {
            *out = quint32(miniHint++);
            miniFat[*out] = kEndOfChain;
            return true;
        }
        if (miniFat.size() >= kMaxRegSect) return fail(QStringLiteral("mini stream is full"));
        // The mini stream is the root entry's chain; grow it a sector at a time.
        SectorIds& rootChain = dir[0].chain;
        const quint64 needBytes = (quint64(miniFat.size()) + 1) * kMiniSectorBytes;
        if (needBytes > rootChain.size() * sectorSize &&
            !setRegularChainLength(rootChain, rootChain.size() + 1))
            return false;
        miniFat.push_back(kEndOfChain);
        miniHint = miniFat.size();
        *out = quint32(miniFat.size() - 1);
        return true;
    }

    void freeMiniSector(quint32 m) {
        miniFat[m] = kFreeSect;
        miniHint = std::min<size_t>(miniHint, m);
    }

    bool setMiniChainLength(SectorIds& chain, size_t n) {
        if (chain.size() > n) {
            for (size_t i = n; i < chain.size(); ++i) freeMiniSector(chain[i]);
            chain.resize(n);
            if (!chain.empty()) miniFat[chain.back()] = kEndOfChain;
        }
        while (chain.size() < n) {
            quint32 m;
            if (!allocMiniSector(&m)) return false;
            if (!chain.empty()) miniFat[chain.back()] = m;
            chain.push_back(m);
        }
        return true;
    }

    void releaseChain(DirEntry& e) {
        if (e.mini)
            setMiniChainLength(e.chain, 0);
        else
            setRegularChainLength(e.chain, 0);
        e.chain.clear();
    }

    // ---- stream data ------------------------------------------------------

    quint64 miniOffset(quint32 m) const {
        const quint64 pos = quint64(m) * kMiniSectorBytes;
        const SectorIds& rootChain = dir[0].chain;
        const quint64 idx = pos / sectorSize;
        if (idx >= rootChain.size()) return 0;
        return sectorOffset(rootChain[idx]) + pos % sectorSize;
    }

    // Calls fn(fileOffset, position in the range, length) for every
    // physically contiguous piece of [offset, offset + len) of the stream.
    template <class F>
    bool forEachRun(const DirEntry& e, quint64 offset, quint64 len, F fn) const {
        const quint64 unit = e.mini ? kMiniSectorBytes : sectorSize;
        quint64 runStart = 0, runPos = 0, runLen = 0;
        quint64 done = 0;
        while (done < len) {
            const quint64 pos = offset + done;
            const quint64 idx = pos / unit;
            const quint64 within = pos % unit;
            if (idx >= e.chain.size())
                return fail(QStringLiteral("stream data lies past its sectors"));
            const quint64 n = std::min(unit - within, len - done);
            const quint64 base = e.mini ? miniOffset(e.chain[idx]) : sectorOffset(e.chain[idx]);
            if (base == 0) return fail(QStringLiteral("mini stream is damaged"));
            const quint64 phys = base + within;
            if (runLen > 0 && runStart + runLen == phys) {
                runLen += n;
            } else {
                if (runLen > 0 && !fn(runStart, runPos, runLen)) return false;
                runStart = phys;
                runPos = done;
                runLen = n;
            }
            done += n;
        }
        if (runLen > 0) return fn(runStart, runPos, runLen);
        return true;
    }

    bool rawRead(const DirEntry& e, quint64 offset, char* buf, quint64 len) const {
        return forEachRun(e, offset, len, [&](quint64 phys, quint64 pos, quint64 n) {
            return readAt(phys, buf + pos, n);
        });
    }

    bool rawWrite(const DirEntry& e, quint64 offset, const char* data, quint64 len) {
        return forEachRun(e, offset, len, [&](quint64 phys, quint64 pos, quint64 n) {
            return writeAt(phys, data + pos, n);
        });
    }

    bool writeZeros(const DirEntry& e, quint64 offset, quint64 len) {
        static const std::vector<char> zeros(1 << 16, 0);
        while (len > 0) {
            const quint64 n = std::min<quint64>(len, zeros.size());
            if (!rawWrite(e, offset, zeros.data(), n)) return false;
            offset += n;
            len -= n;
        }
        return true;
    }

    // Makes the stream id ready to take len (> 0) bytes at offset: grown
    // to hold them, a gap before them filled with zeros.
    bool growForWrite(quint32 id, const QString& path, quint64 offset, quint64 len) {
        if (offset > kMaxStreamSize || len > kMaxStreamSize - offset)
            return fail(QStringLiteral("stream \"%1\" would exceed 4 GB").arg(path));
        dirty = true;
        const quint64 end = offset + len;
        const quint64 oldSize = dir[id].size;
        if (end > oldSize) {
            if (!setStreamSize(id, end, false)) return false;
            if (offset > oldSize && !writeZeros(dir[id], oldSize, offset - oldSize)) return false;
        }
        return true;
    }

    // Sets a stream's size, moving its data between the mini stream and
    // regular sectors when it crosses the cutoff. New bytes are zeroed only
    // when asked (a write that covers them skips the extra pass).
    bool setStreamSize(quint32 id, quint64 newSize, bool zeroFill) {
        DirEntry& e = dir[id];
        const quint64 oldSize = e.size;
        const bool wantMini = newSize < kMiniCutoff;
        if (e.chain.empty()) e.mini = wantMini;
        if (e.mini == wantMini) {
            const quint64 unit = e.mini ? kMiniSectorBytes : sectorSize;
            const size_t need = size_t(ceilDiv(newSize, unit));
            if (!(e.mini ? setMiniChainLength(e.chain, need)
                         : setRegularChainLength(e.chain, need)))
                return false;
            e.size = newSize;
        } else {
            const quint64 keep = std::min(oldSize, newSize);  // below the cutoff
            QByteArray buf(qsizetype(keep), Qt::Uninitialized);
            if (!rawRead(e, 0, buf.data(), keep)) return false;
            releaseChain(e);
            e.mini = wantMini;
            const quint64 unit = e.mini ? kMiniSectorBytes : sectorSize;
            const size_t need = size_t(ceilDiv(newSize, unit));
            if (!(e.mini ? setMiniChainLength(e.chain, need)
                         : setRegularChainLength(e.chain, need)))
                return false;
            e.size = newSize;
            if (!rawWrite(e, 0, buf.constData(), keep)) return false;
        }
        if (zeroFill && newSize > oldSize) return writeZeros(e, oldSize, newSize - oldSize);
        return true;
    }

    // ---- directory --------------------------------------------------------

    quint32 findChild(quint32 parent, const QString& name) const {
        const QString up = upperUnits(name);
        const std::vector<quint32>& kids = dir[parent].children;
        auto it = std::lower_bound(kids.begin(), kids.end(), up, [&](quint32 id, const QString& u) {
            return compareUpper(dir[id].upper, u) < 0;
        });
        if (it != kids.end() && compareUpper(dir[*it].upper, up) == 0) return *it;
        return kNoStream;
    }

    static QStringList splitPath(const QString& path) {
        return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    }

    quint32 find(const QString& path) const {
        quint32 cur = 0;
        for (const QString& part : splitPath(path)) {
            if (!dir[cur].isStorageLike()) return kNoStream;
            cur = findChild(cur, part);
            if (cur == kNoStream) return kNoStream;
        }
        return cur;
    }

    QString pathOf(quint32 id) const {
        QStringList parts;
        while (id != 0 && id != kNoStream) {
            parts.prepend(dir[id].name);
            id = dir[id].parent;
        }
        return parts.join(QLatin1Char('/'));
    }

    CompoundFile::Entry entryInfo(quint32 id) const {
        CompoundFile::Entry info;
        info.name = dir[id].name;
        info.path = pathOf(id);
        info.isStorage = dir[id].isStorageLike();
        info.size = info.isStorage ? 0 : dir[id].size;
        return info;
    }

    bool checkWritable() const {
        if (!writable) return fail(QStringLiteral("%1 is open read-only").arg(path));
        return true;
    }

    static bool validName(const QString& name, QString* why) {
        if (name.isEmpty()) {
            *why = QStringLiteral("empty entry name");
            return false;
        }
        if (name.size() > kMaxNameUnits) {
            *why = QStringLiteral("entry name \"%1\" is longer than 31 characters").arg(name);
            return false;
        }
        for (QChar c : name) {
            if (c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char('!') ||
                c.unicode() == 0) {
                *why = QStringLiteral("entry name \"%1\" contains a character the format forbids")
                           .arg(name);
                return false;
            }
        }
        return true;
    }

    // Creates the entry at path (its parent storage must exist); returns
    // the id of an existing entry of the same type unchanged.
    quint32 createEntry(const QString& path, quint8 type) {
        QStringList parts = splitPath(path);
        if (parts.isEmpty()) {
            fail(QStringLiteral("no entry name given"));
            return kNoStream;
        }
        const QString name = parts.takeLast();
        const quint32 parent = find(parts.join(QLatin1Char('/')));
        if (parent == kNoStream || !dir[parent].isStorageLike()) {
            fail(QStringLiteral("no storage \"%1\"").arg(parts.join(QLatin1Char('/'))));
            return kNoStream;
        }
        QString why;
        if (!validName(name, &why)) {
            fail(why);
            return kNoStream;
        }
        const quint32 existing = findChild(parent, name);
        if (existing != kNoStream) {
            if (dir[existing].type != type) {
                fail(QStringLiteral("\"%1\" already exists as a %2")
                         .arg(path, dir[existing].type == kTypeStream ? QStringLiteral("stream")
                                                                      : QStringLiteral("storage")));
                return kNoStream;
            }
            return existing;
        }
        while (dirHint < dir.size() && dir[dirHint].type != kTypeUnused) ++dirHint;
        if (dirHint >= kMaxRegSect) {
            fail(QStringLiteral("directory is full"));
            return kNoStream;
        }
        if (dirHint == dir.size()) dir.emplace_back();
        const quint32 id = quint32(dirHint++);
        DirEntry& e = dir[id];
        e = DirEntry();
        e.name = name;
        e.upper = upperUnits(name);
        e.type = type;
        e.parent = parent;
        std::vector<quint32>& kids = dir[parent].children;
        auto it = std::lower_bound(kids.begin(), kids.end(), id, [&](quint32 a, quint32 b) {
            return compareUpper(dir[a].upper, dir[b].upper) < 0;
        });
        kids.insert(it, id);
        dirty = true;
        return id;
    }

    quint32 streamForWrite(const QString& path) {
        if (!checkWritable()) return kNoStream;
        const quint32 id = find(path);
        if (id != kNoStream) {
            if (dir[id].type != kTypeStream) {
                fail(QStringLiteral("\"%1\" is not a stream").arg(path));
                return kNoStream;
            }
            return id;
        }
        return createEntry(path, kTypeStream);
    }

    quint32 streamForRead(const QString& path) const {
        const quint32 id = find(path);
        if (id == kNoStream || dir[id].type != kTypeStream) {
            fail(QStringLiteral("no stream \"%1\"").arg(path));
            return kNoStream;
        }
        return id;
    }

    // ---- loading ----------------------------------------------------------

    bool load(bool forWriting);
    bool loadChain(quint32 start, std::vector<quint8>& used, SectorIds& out,
                   const QString& what) const;
    bool loadMiniChain(quint32 start, std::vector<quint8>& used, SectorIds& out,
                       const QString& what) const;
    bool loadTree();
    void initEmpty();

    // ---- saving -----------------------------------------------------------

    bool commit();
    quint32 buildTree(const std::vector<quint32>& kids, size_t lo, size_t hi, int depth,
                      int redDepth, std::vector<quint32>& left, std::vector<quint32>& right,
                      std::vector<quint8>& colour) const;
};

bool CompoundFile::Impl::loadChain(quint32 start, std::vector<quint8>& used, SectorIds& out,
                                   const QString& what) const {
    out.clear();
    quint32 s = start;
    while (s != kEndOfChain) {
        if (s >= fat.size())
            return fail(QStringLiteral("the sector chain of %1 leaves the file").arg(what));
        if (used[s])
            return fail(
                QStringLiteral("the sector chain of %1 loops or overlaps other data").arg(what));
        used[s] = 1;
        out.push_back(s);
        s = fat[s];
    }
    return true;
}

bool CompoundFile::Impl::loadMiniChain(quint32 start, std::vector<quint8>& used, SectorIds& out,
                                       const QString& what) const {
    out.clear();
    quint32 m = start;
    while (m != kEndOfChain) {
        if (m >= miniFat.size())
            return fail(
                QStringLiteral("the mini sector chain of %1 leaves the mini stream").arg(what));
        if (used[m])
            return fail(QStringLiteral("the mini sector chain of %1 loops or overlaps other data")
                            .arg(what));
        used[m] = 1;
        out.push_back(m);
        m = miniFat[m];
    }
    return true;
}

bool CompoundFile::Impl::load(bool forWriting) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(QStringLiteral("cannot read %1").arg(path));
    const quint64 fileSize = quint64(st.st_size);
    uchar hdr[kHeaderBytes];
    if (fileSize < kHeaderBytes)
        return fail(QStringLiteral("%1 is not a compound file (too short)").arg(path));
    if (!readAt(0, hdr, kHeaderBytes)) return false;
    if (std::memcmp(hdr, kSignature, sizeof kSignature) != 0)
        return fail(QStringLiteral("%1 is not a compound file").arg(path));
    std::memcpy(headerClsid.data(), hdr + 8, 16);
    const QByteArrayView head(hdr, qsizetype(kHeaderBytes));
    majorVersion = readLE16(head, 0x1A);
    if (readLE16(head, 0x1C) != 0xFFFE)
        return fail(QStringLiteral("%1: unsupported byte order").arg(path));
    sectorShift = readLE16(head, 0x1E);
    if (!((majorVersion == 3 && sectorShift == 9) || (majorVersion == 4 && sectorShift == 12)))
        return fail(QStringLiteral("%1: unsupported compound file version %2 (sector shift %3)")
                        .arg(path)
                        .arg(majorVersion)
                        .arg(sectorShift));
    if (majorVersion == 4 && forWriting)
        return fail(QStringLiteral(
                        "%1: compound files with 4,096-byte sectors can only be opened read-only")
                        .arg(path));
    sectorSize = quint64(1) << sectorShift;
    if (readLE16(head, 0x20) != 6)
        return fail(QStringLiteral("%1: unsupported mini sector size").arg(path));
    if (readLE32(head, 0x38) != kMiniCutoff)
        return fail(QStringLiteral("%1: unsupported mini stream cutoff").arg(path));

    const quint64 sectorsInFile =
        fileSize > sectorSize ? ceilDiv(fileSize - sectorSize, sectorSize) : 0;
    if (sectorsInFile >= kMaxRegSect) return fail(QStringLiteral("%1 is too large").arg(path));
    const quint32 nSectors = quint32(sectorsInFile);
    const quint32 perFat = fatPerSector();

    // FAT sector locations: 109 in the header, the rest in the DIFAT chain.
    const quint32 fatCount = readLE32(head, 0x2C);
    if (fatCount == 0 || fatCount > nSectors)
        return fail(QStringLiteral("%1: the FAT sector count is damaged").arg(path));
    fatSectors.clear();
    for (int i = 0; i < kHeaderDifatCount && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(readLE32(head, 0x4C + 4 * i));
    difatSectors.clear();
    // Sectors already taken: the DIFAT's (marked 2 while its chain is
    // walked), the FAT's, then every chain's. One table for all of them: on
    // a large file each is most of a megabyte of fresh memory.
    std::vector<quint8> used(nSectors, 0);
    constexpr quint8 kDifatMark = 2;
    {
        std::vector<uchar> buf(sectorSize);
        const QByteArrayView sector(buf.data(), qsizetype(sectorSize));
        quint32 d = readLE32(head, 0x44);
        while (fatSectors.size() < fatCount) {
            if (d >= nSectors)
                return fail(QStringLiteral("%1: the DIFAT chain is broken").arg(path));
            if (used[d]) return fail(QStringLiteral("%1: the DIFAT chain loops").arg(path));
            used[d] = kDifatMark;
            difatSectors.push_back(d);
            if (!readAt(sectorOffset(d), buf.data(), sectorSize)) return false;
            for (quint32 i = 0; i + 1 < perFat && fatSectors.size() < fatCount; ++i)
                fatSectors.push_back(readLE32(sector, 4 * i));
            d = readLE32(sector, qsizetype(sectorSize - 4));
        }
    }
    for (quint32 s : fatSectors)
        if (s >= nSectors)
            return fail(QStringLiteral("%1: a FAT sector lies past the end of the file").arg(path));

    // The FAT itself, cut to the sectors the file holds; sectors it does not
    // cover are free.
    // Read straight into the table: on a large file it is megabytes, and
    // every fresh page of a second buffer would cost a fault and a copy.
    {
        const size_t n = std::min<size_t>(size_t(fatSectors.size()) * perFat, nSectors);
        fat.assign(size_t(fatSectors.size()) * perFat, 0);
        if (!readSectors(fatSectors, reinterpret_cast<uchar*>(fat.data()))) return false;
        if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN)
            for (size_t i = 0; i < n; ++i) fat[i] = qFromLittleEndian(fat[i]);
        fat.resize(n);
        fat.resize(nSectors, kFreeSect);
    }
    // Mark the table's own sectors whatever the FAT says about them, so the
    // allocator can never hand them out.
    for (quint32 s : fatSectors) {
        if (used[s] == kDifatMark)
            return fail(QStringLiteral("%1: a DIFAT sector is also a FAT sector").arg(path));
        if (used[s]) return fail(QStringLiteral("%1: a FAT sector is listed twice").arg(path));
        used[s] = 1;
        fat[s] = kFatSect;
    }
    for (quint32 s : difatSectors) fat[s] = kDifSect;

    // Directory.
    if (!loadChain(readLE32(head, 0x30), used, dirChain, QStringLiteral("the directory")))
        return false;
    if (dirChain.empty()) return fail(QStringLiteral("%1: the directory is empty").arg(path));
    {
        std::vector<uchar> raw(dirChain.size() * sectorSize);
        if (!readSectors(dirChain, raw.data())) return false;
        const size_t count = raw.size() / kDirEntryBytes;
        dir.assign(count, DirEntry());
        for (size_t i = 0; i < count; ++i) {
            const QByteArrayView p(raw.data() + i * kDirEntryBytes, qsizetype(kDirEntryBytes));
            DirEntry& e = dir[i];
            e.type = p[66];
            if (e.type != kTypeStorage && e.type != kTypeStream && e.type != kTypeRoot) {
                e.type = kTypeUnused;
                continue;
            }
            const int units = std::min<int>(readLE16(p, 64) / 2, 32);
            QString name;
            for (int k = 0; k < units; ++k) {
                const quint16 c = readLE16(p, 2 * k);
                if (c == 0) break;
                name.append(QChar(c));
            }
            e.name = name;
            e.upper = upperUnits(name);
            e.left = readLE32(p, 68);
            e.right = readLE32(p, 72);
            e.child = readLE32(p, 76);
            std::memcpy(e.clsid.data(), p.data() + 80, 16);
            e.stateBits = readLE32(p, 96);
            e.created = readLE64(p, 100);
            e.modified = readLE64(p, 108);
            e.start = readLE32(p, 116);
            e.size = majorVersion == 3 ? readLE32(p, 120) : readLE64(p, 120);
        }
    }
    if (dir[0].type != kTypeRoot)
        return fail(QStringLiteral("%1: the root entry is missing").arg(path));
    if (!loadTree()) return false;

    // Mini stream: the root entry's chain holds it, the mini FAT maps it.
    DirEntry& root = dir[0];
    root.mini = false;
    if (root.size > 0 && root.start != kEndOfChain) {
        if (!loadChain(root.start, used, root.chain, QStringLiteral("the mini stream")))
            return false;
        if (quint64(root.chain.size()) * sectorSize < root.size)
            return fail(QStringLiteral("%1: the mini stream is shorter than its size").arg(path));
    }
    {
        const quint32 miniFatStart = readLE32(head, 0x3C);
        if (miniFatStart != kEndOfChain && miniFatStart != kFreeSect) {
            if (!loadChain(miniFatStart, used, miniFatChain, QStringLiteral("the mini FAT")))
                return false;
        }
        std::vector<uchar> raw(miniFatChain.size() * sectorSize);
        if (!readSectors(miniFatChain, raw.data())) return false;
        const size_t capacity = size_t(root.chain.size() * (sectorSize / kMiniSectorBytes));
        const size_t n = std::min<size_t>(raw.size() / 4, capacity);
        miniFat.resize(n);
        const QByteArrayView table(raw.data(), qsizetype(raw.size()));
        for (size_t i = 0; i < n; ++i) miniFat[i] = readLE32(table, qsizetype(4 * i));
    }

    // Stream chains, each checked against the size it must hold.
    std::vector<quint8> miniUsed(miniFat.size(), 0);
    for (size_t i = 1; i < dir.size(); ++i) {
        DirEntry& e = dir[i];
        if (e.type != kTypeStream) continue;
        const QString what = QStringLiteral("stream \"%1\"").arg(pathOf(quint32(i)));
        if (e.size > kMaxStreamSize || e.size > fileSize)
            return fail(QStringLiteral("%1: the size of %2 exceeds the file").arg(path, what));
        e.mini = e.size < kMiniCutoff;
        if (e.size == 0) continue;
        // The chain holds one entry per sector its size needs: reserved at
        // once, a large stream's chain is not copied as it grows.
        const quint64 unit = e.mini ? kMiniSectorBytes : sectorSize;
        e.chain.reserve(
            size_t(std::min<quint64>(ceilDiv(e.size, unit), e.mini ? miniFat.size() : fat.size())));
        if (e.mini) {
            if (!loadMiniChain(e.start, miniUsed, e.chain, what)) return false;
            if (quint64(e.chain.size()) * kMiniSectorBytes < e.size)
                return fail(QStringLiteral("%1: %2 is shorter than its size").arg(path, what));
        } else {
            if (!loadChain(e.start, used, e.chain, what)) return false;
            if (quint64(e.chain.size()) * sectorSize < e.size)
                return fail(QStringLiteral("%1: %2 is shorter than its size").arg(path, what));
        }
    }
    fatHint = 0;
    miniHint = 0;
    dirHint = 1;
    return true;
}

// Rebuilds parent/children lists from the sibling trees, refusing ids out
// of range and any entry reached twice (cycles, shared subtrees). Entries
// the tree does not reach are treated as free slots.
bool CompoundFile::Impl::loadTree() {
    std::vector<quint8> visited(dir.size(), 0);
    visited[0] = 1;
    std::vector<quint32> storages{0};
    std::vector<quint32> stack;
    for (size_t si = 0; si < storages.size(); ++si) {
        const quint32 sid = storages[si];
        stack.assign(1, dir[sid].child);
        while (!stack.empty()) {
            const quint32 id = stack.back();
            stack.pop_back();
            if (id == kNoStream) continue;
            if (id >= dir.size())
                return fail(QStringLiteral("%1: a directory id is out of range").arg(path));
            if (visited[id])
                return fail(QStringLiteral("%1: the directory tree has a cycle").arg(path));
            visited[id] = 1;
            DirEntry& e = dir[id];
            if (e.type != kTypeStorage && e.type != kTypeStream)
                return fail(
                    QStringLiteral("%1: the directory tree reaches an invalid entry").arg(path));
            e.parent = sid;
            dir[sid].children.push_back(id);
            stack.push_back(e.left);
            stack.push_back(e.right);
            if (e.type == kTypeStorage) storages.push_back(id);
        }
        // Paths must name one entry each.
        std::vector<quint32>& kids = dir[sid].children;
        std::stable_sort(kids.begin(), kids.end(), [&](quint32 a, quint32 b) {
            return compareUpper(dir[a].upper, dir[b].upper) < 0;
        });
        for (size_t k = 0; k < kids.size(); ++k) {
            const DirEntry& e = dir[kids[k]];
            if (e.name.isEmpty() || e.name.size() > kMaxNameUnits ||
                e.name.contains(QLatin1Char('/')))
                return fail(QStringLiteral("%1: the directory holds an invalid name").arg(path));
            if (k > 0 && compareUpper(dir[kids[k - 1]].upper, e.upper) == 0)
                return fail(
                    QStringLiteral("%1: the directory holds \"%2\" twice").arg(path, e.name));
        }
    }
    for (size_t i = 1; i < dir.size(); ++i)
        if (!visited[i]) dir[i] = DirEntry();
    return true;
}

void CompoundFile::Impl::initEmpty() {
    sectorShift = 9;
    sectorSize = 512;
    majorVersion = 3;
    dir.assign(1, DirEntry());
    dir[0].name = QStringLiteral("Root Entry");
    dir[0].upper = upperUnits(dir[0].name);
    dir[0].type = kTypeRoot;
    dir[0].mini = false;
    dirty = true;
}

// Middle-split tree over the sorted children. Its null links all lie on
// two adjacent levels, so colouring the nodes of the lower, incomplete
// level red gives every path the same number of black nodes and no red
// node a red child.
quint32 CompoundFile::Impl::buildTree(const std::vector<quint32>& kids, size_t lo, size_t hi,
                                      int depth, int redDepth, std::vector<quint32>& left,
                                      std::vector<quint32>& right,
                                      std::vector<quint8>& colour) const {
    if (lo >= hi) return kNoStream;
    const size_t mid = lo + (hi - lo) / 2;
    const quint32 id = kids[mid];
    left[id] = buildTree(kids, lo, mid, depth + 1, redDepth, left, right, colour);
    right[id] = buildTree(kids, mid + 1, hi, depth + 1, redDepth, left, right, colour);
    colour[id] = depth >= redDepth ? kRed : kBlack;
    return id;
}

bool CompoundFile::Impl::commit() {
    if (!writable || !dirty) return true;
    const quint32 perFat = fatPerSector();

    // FAT and DIFAT sectors are placed afresh below.
    for (quint32 s : fatSectors) freeSector(s);
    for (quint32 s : difatSectors) freeSector(s);
    fatSectors.clear();
    difatSectors.clear();

    while (!miniFat.empty() && miniFat.back() == kFreeSect) miniFat.pop_back();
    miniHint = std::min(miniHint, miniFat.size());
    DirEntry& root = dir[0];
    root.size = quint64(miniFat.size()) * kMiniSectorBytes;
    if (!setRegularChainLength(root.chain, size_t(ceilDiv(root.size, sectorSize)))) return false;
    if (!setRegularChainLength(miniFatChain, size_t(ceilDiv(miniFat.size() * 4, sectorSize))))
        return false;

    while (dir.size() > 1 && dir.back().type == kTypeUnused) dir.pop_back();
    dirHint = std::min<size_t>(dirHint, dir.size());
    const size_t perDirSector = size_t(sectorSize / kDirEntryBytes);
    if (!setRegularChainLength(dirChain, ceilDiv(dir.size(), perDirSector))) return false;

    while (!fat.empty() && fat.back() == kFreeSect) fat.pop_back();
    fatHint = std::min(fatHint, fat.size());
    for (;;) {
        const size_t needFat = ceilDiv(fat.size(), perFat);
        const size_t needDifat = needFat > size_t(kHeaderDifatCount)
                                     ? ceilDiv(needFat - kHeaderDifatCount, perFat - 1)
                                     : 0;
        quint32 s;
        if (fatSectors.size() < needFat) {
            if (!allocSector(&s)) return false;
            fat[s] = kFatSect;
            fatSectors.push_back(s);
        } else if (difatSectors.size() < needDifat) {
            if (!allocSector(&s)) return false;
            fat[s] = kDifSect;
            difatSectors.push_back(s);
        } else {
            break;
        }
    }

    // FAT.
    {
        std::vector<uchar> raw(fatSectors.size() * sectorSize, 0xFF);
        for (size_t i = 0; i < fat.size(); ++i) storeLE32(raw, 4 * i, fat[i]);
        if (!writeSectors(fatSectors, raw.data())) return false;
    }
    // DIFAT chain: the FAT sector ids beyond the header's 109.
    if (!difatSectors.empty()) {
        std::vector<uchar> raw(difatSectors.size() * sectorSize, 0xFF);
        size_t next = kHeaderDifatCount;
        for (size_t d = 0; d < difatSectors.size(); ++d) {
            const std::span<uchar> p(raw.data() + d * sectorSize, sectorSize);
            for (quint32 i = 0; i + 1 < perFat && next < fatSectors.size(); ++i)
                storeLE32(p, 4 * i, fatSectors[next++]);
            storeLE32(p, sectorSize - 4,
                 d + 1 < difatSectors.size() ? difatSectors[d + 1] : kEndOfChain);
        }
        if (!writeSectors(difatSectors, raw.data())) return false;
    }
    // Mini FAT.
    if (!miniFatChain.empty()) {
        std::vector<uchar> raw(miniFatChain.size() * sectorSize, 0xFF);
        for (size_t i = 0; i < miniFat.size(); ++i) storeLE32(raw, 4 * i, miniFat[i]);
        if (!writeSectors(miniFatChain, raw.data())) return false;
    }
    // Directory with fresh sibling trees.
    {
        std::vector<quint32> left(dir.size(), kNoStream), right(dir.size(), kNoStream),
            child(dir.size(), kNoStream);
        std::vector<quint8> colour(dir.size(), kBlack);
        for (size_t i = 0; i < dir.size(); ++i) {
            const DirEntry& e = dir[i];
            if (!e.isStorageLike() || e.children.empty()) continue;
            int redDepth = 0;
            while ((size_t(2) << redDepth) <= e.children.size() + 1) ++redDepth;
            child[i] =
                buildTree(e.children, 0, e.children.size(), 0, redDepth, left, right, colour);
        }
        std::vector<uchar> raw(dirChain.size() * sectorSize, 0);
        for (size_t i = 0; i < dirChain.size() * perDirSector; ++i) {
            const std::span<uchar> p(raw.data() + i * kDirEntryBytes, kDirEntryBytes);
            storeLE32(p, 68, kNoStream);
            storeLE32(p, 72, kNoStream);
            storeLE32(p, 76, kNoStream);
            if (i >= dir.size() || dir[i].type == kTypeUnused) continue;
            const DirEntry& e = dir[i];
            const int units = int(std::min<qsizetype>(e.name.size(), kMaxNameUnits));
            for (int k = 0; k < units; ++k) storeLE16(p, 2 * k, e.name.at(k).unicode());
            storeLE16(p, 64, quint16((units + 1) * 2));
            p[66] = e.type;
            p[67] = colour[i];
            storeLE32(p, 68, left[i]);
            storeLE32(p, 72, right[i]);
            storeLE32(p, 76, child[i]);
            std::memcpy(p.data() + 80, e.clsid.data(), 16);
            storeLE32(p, 96, e.stateBits);
            storeLE64(p, 100, e.type == kTypeRoot ? 0 : e.created);
            storeLE64(p, 108, e.modified);
            if (e.type == kTypeStorage) {
                storeLE32(p, 116, 0);
                storeLE64(p, 120, 0);
            } else {
                storeLE32(p, 116, e.chain.empty() ? kEndOfChain : e.chain.front());
                storeLE64(p, 120, e.chain.empty() ? 0 : e.size);
            }
        }
        if (!writeSectors(dirChain, raw.data())) return false;
    }
    // Header.
    {
        uchar hdr[kHeaderBytes];
        std::memset(hdr, 0, sizeof hdr);
        std::memcpy(hdr, kSignature, sizeof kSignature);
        std::memcpy(hdr + 8, headerClsid.data(), 16);
        storeLE16(hdr, 0x18, 0x003E);
        storeLE16(hdr, 0x1A, 3);
        storeLE16(hdr, 0x1C, 0xFFFE);
        storeLE16(hdr, 0x1E, 9);
        storeLE16(hdr, 0x20, 6);
        storeLE32(hdr, 0x2C, quint32(fatSectors.size()));
        storeLE32(hdr, 0x30, dirChain.front());
        storeLE32(hdr, 0x38, quint32(kMiniCutoff));
        storeLE32(hdr, 0x3C, miniFatChain.empty() ? kEndOfChain : miniFatChain.front());
        storeLE32(hdr, 0x40, quint32(miniFatChain.size()));
        storeLE32(hdr, 0x44, difatSectors.empty() ? kEndOfChain : difatSectors.front());
        storeLE32(hdr, 0x48, quint32(difatSectors.size()));
        for (int i = 0; i < kHeaderDifatCount; ++i)
            storeLE32(hdr, 0x4C + 4 * i, size_t(i) < fatSectors.size() ? fatSectors[i] : kFreeSect);
        if (!writeAt(0, hdr, sizeof hdr)) return false;
    }
    const quint64 fileSize = (quint64(fat.size()) + 1) * sectorSize;
    if (::ftruncate(fd, off_t(fileSize)) != 0)
        return fail(QStringLiteral("cannot set the size of %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    dirty = false;
    return true;
}

// ---- public interface -----------------------------------------------------

CompoundFile::CompoundFile() : d(std::make_unique<Impl>()) {}

CompoundFile::~CompoundFile() {
    if (d && d->writable && d->dirty) d->commit();
}

bool CompoundFile::isCompoundFile(const QString& path) {
    // A FIFO at the name would hold the read until someone writes to it.
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return false;
    unsigned char head[sizeof kSignature];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return n == ssize_t(sizeof head) && std::memcmp(head, kSignature, sizeof kSignature) == 0;
}

std::unique_ptr<CompoundFile> CompoundFile::open(const QString& path, Mode mode, QString* error) {
    std::unique_ptr<CompoundFile> cf(new CompoundFile());
    Impl& d = *cf->d;
    d.path = path;
    const bool rw = mode == Mode::ReadWrite;
    d.fd = OpenRegularFile(path, rw ? O_RDWR : O_RDONLY);
    if (d.fd < 0) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    if (!d.load(rw)) {
        if (error) *error = d.error;
        return nullptr;
    }
    d.writable = rw;
    return cf;
}

std::unique_ptr<CompoundFile> CompoundFile::create(const QString& path, QString* error) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("cannot create %1: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return createOnHandle(fd, path, error);
}

std::unique_ptr<CompoundFile> CompoundFile::createOnHandle(int fd, const QString& path,
                                                           QString* error) {
    std::unique_ptr<CompoundFile> cf(new CompoundFile());
    Impl& d = *cf->d;
    d.path = path;
    d.fd = fd;
    d.writable = true;
    d.initEmpty();
    if (!d.commit()) {
        if (error) *error = d.error;
        d.writable = false;
        return nullptr;
    }
    return cf;
}

QString CompoundFile::fileName() const { return d->path; }
bool CompoundFile::isWritable() const { return d->writable; }
QString CompoundFile::lastError() const { return d->error; }

QList<CompoundFile::Entry> CompoundFile::entries(const QString& storage) const {
    QList<Entry> out;
    const quint32 id = d->find(storage);
    if (id == kNoStream || !d->dir[id].isStorageLike()) {
        d->fail(QStringLiteral("no storage \"%1\"").arg(storage));
        return out;
    }
    for (quint32 c : d->dir[id].children) out.append(d->entryInfo(c));
    return out;
}

QList<CompoundFile::Entry> CompoundFile::allEntries() const {
    QList<Entry> out;
    std::vector<quint32> stack(d->dir[0].children.rbegin(), d->dir[0].children.rend());
    while (!stack.empty()) {
        const quint32 id = stack.back();
        stack.pop_back();
        out.append(d->entryInfo(id));
        const std::vector<quint32>& kids = d->dir[id].children;
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

bool CompoundFile::exists(const QString& path) const { return d->find(path) != kNoStream; }

bool CompoundFile::isStorage(const QString& path) const {
    const quint32 id = d->find(path);
    return id != kNoStream && d->dir[id].isStorageLike();
}

qint64 CompoundFile::streamSize(const QString& path) const {
    const quint32 id = d->find(path);
    if (id == kNoStream || d->dir[id].type != kTypeStream) return -1;
    return qint64(d->dir[id].size);
}

qint64 CompoundFile::read(const QString& path, quint64 offset, char* buf, quint64 len) const {
    const quint32 id = d->streamForRead(path);
    if (id == kNoStream) return -1;
    const DirEntry& e = d->dir[id];
    if (offset >= e.size) return 0;
    const quint64 n = std::min(len, e.size - offset);
    if (!d->rawRead(e, offset, buf, n)) return -1;
    return qint64(n);
}

QByteArray CompoundFile::read(const QString& path, quint64 offset, quint64 len) const {
    const quint32 id = d->streamForRead(path);
    if (id == kNoStream) return {};
    const DirEntry& e = d->dir[id];
    if (offset >= e.size) return {};
    const quint64 n = std::min(len, e.size - offset);
    QByteArray out(qsizetype(n), Qt::Uninitialized);
    if (!d->rawRead(e, offset, out.data(), n)) return {};
    return out;
}

QByteArray CompoundFile::readAll(const QString& path) const {
    return read(path, 0, std::numeric_limits<quint64>::max());
}

bool CompoundFile::createStorage(const QString& path) {
    if (!d->checkWritable()) return false;
    return d->createEntry(path, kTypeStorage) != kNoStream;
}

bool CompoundFile::createStream(const QString& path) {
    const quint32 id = d->streamForWrite(path);
    if (id == kNoStream) return false;
    d->dirty = true;
    return d->setStreamSize(id, 0, false);
}

bool CompoundFile::write(const QString& path, quint64 offset, const char* data, quint64 len) {
    const quint32 id = d->streamForWrite(path);
    if (id == kNoStream) return false;
    if (len == 0) return true;
    if (!d->growForWrite(id, path, offset, len)) return false;
    return d->rawWrite(d->dir[id], offset, data, len);
}

bool CompoundFile::write(const QString& path, quint64 offset, const QByteArray& data) {
    return write(path, offset, data.constData(), quint64(data.size()));
}

bool CompoundFile::writeAll(const QString& path, const QByteArray& data) {
    const quint32 id = d->streamForWrite(path);
    if (id == kNoStream) return false;
    d->dirty = true;
    if (!d->setStreamSize(id, quint64(data.size()), false)) return false;
    return d->rawWrite(d->dir[id], 0, data.constData(), quint64(data.size()));
}

bool CompoundFile::copyFrom(const QString& path, quint64 offset, const CompoundFile& source,
                            const QString& sourcePath, quint64 sourceOffset, quint64 len) {
    const Impl& src = *source.d;
    const quint32 sid = src.streamForRead(sourcePath);
    if (sid == kNoStream) return d->fail(src.error);
    const DirEntry& se = src.dir[sid];
    if (sourceOffset > se.size || len > se.size - sourceOffset)
        return d->fail(
            QStringLiteral("the range to copy lies past the end of \"%1\"").arg(sourcePath));
    const quint32 id = d->streamForWrite(path);
    if (id == kNoStream) return false;
    if (len == 0) return true;
    if (!d->growForWrite(id, path, offset, len)) return false;
    // Source runs against destination runs: each piece lies whole in one
    // of each.
    bool here = false;  // the failure, if any, is this file's
    const bool ok =
        src.forEachRun(se, sourceOffset, len, [&](quint64 from, quint64 pos, quint64 n) {
            const bool done =
                d->forEachRun(d->dir[id], offset + pos, n, [&](quint64 to, quint64 at, quint64 k) {
                    return d->copyIn(src, from + at, to, k);
                });
            here = !done;
            return done;
        });
    if (!ok && !here) {
        const int err = errno;
        d->fail(src.error);
        errno = err;
    }
    return ok;
}

bool CompoundFile::resize(const QString& path, quint64 size) {
    const quint32 id = d->streamForWrite(path);
    if (id == kNoStream) return false;
    if (size > kMaxStreamSize)
        return d->fail(QStringLiteral("stream \"%1\" would exceed 4 GB").arg(path));
    d->dirty = true;
    return d->setStreamSize(id, size, true);
}

bool CompoundFile::remove(const QString& path) {
    if (!d->checkWritable()) return false;
    const quint32 id = d->find(path);
    if (id == kNoStream) return d->fail(QStringLiteral("no entry \"%1\"").arg(path));
    if (id == 0) return d->fail(QStringLiteral("the root storage cannot be removed"));
    std::vector<quint32>& siblings = d->dir[d->dir[id].parent].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), id));
    std::vector<quint32> stack{id};
    while (!stack.empty()) {
        const quint32 cur = stack.back();
        stack.pop_back();
        DirEntry& e = d->dir[cur];
        stack.insert(stack.end(), e.children.begin(), e.children.end());
        if (e.type == kTypeStream) d->releaseChain(e);
        e = DirEntry();
        d->dirHint = std::min<size_t>(d->dirHint, cur);
    }
    d->dirty = true;
    return true;
}

QList<CompoundFile::Extent> CompoundFile::extents(const QString& path, quint64 offset,
                                                  quint64 len) const {
    QList<Extent> out;
    const quint32 id = d->streamForRead(path);
    if (id == kNoStream) return out;
    const DirEntry& e = d->dir[id];
    if (len == 0 || offset > e.size || len > e.size - offset) return out;
    const bool ok = d->forEachRun(e, offset, len, [&](quint64 phys, quint64, quint64 n) {
        out.append(Extent{phys, n});
        return true;
    });
    if (!ok) out.clear();
    return out;
}

void CompoundFile::setWriteBehind(quint64 step) {
    d->writeBehindStep = step;
    d->unflushed = 0;
}

bool CompoundFile::commit() { return d->commit(); }

bool CompoundFile::sync() {
    if (!d->commit()) return false;
    if (d->writable && ::fdatasync(d->fd) != 0)
        return d->fail(QStringLiteral("cannot flush %1: %2")
                           .arg(d->path, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

}  // namespace qor
