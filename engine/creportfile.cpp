#include "engine/creportfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <set>

#include "engine/cellformat.h"
#include "engine/cells_varmap.h"
#include "engine/format_areas.h"
#include "engine/formula_store.h"
#include "engine/inusemarker.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "engine/workfiles.h"
#include "platform/safefile.h"

using namespace qor;

namespace {

constexpr size_t kChunk = size_t(1) << 20;  // copies and large writes go in 1 MB pieces
// Copies from file to file pass no buffer of ours: larger pieces, fewer calls.
constexpr uint64_t kCopyChunk = uint64_t(16) << 20;
// A save's new file is set to be written out in pieces of this size as it
// grows, so the sync at its end has little left to wait for.
constexpr quint64 kWriteBehindStep = quint64(16) << 20;

constexpr uint16_t kOk = 0;
constexpr uint16_t kRefused = code(Status::Refused);
constexpr uint16_t kCorrupt = code(Status::CorruptReport);
constexpr uint16_t kReadError = code(Status::ReadError);
constexpr uint16_t kWriteError = code(Status::WriteError);
constexpr uint16_t kDiskFull = code(Status::DiskFull);
constexpr uint16_t kNoMemory = code(Status::OutOfMemory);

struct SaveFault {
    qint64 limit = -1;
    int error = EIO;
};
SaveFault g_saveFault;

const QString& repStream() {
    static const QString s = QString::fromLatin1(kRepStreamName);
    return s;
}
const QString& pageStream() {
    static const QString s = QString::fromLatin1(kPageStreamName);
    return s;
}
const QString& varStream() {
    static const QString s = QString::fromLatin1(kVarStreamName);
    return s;
}

bool isReportStream(const QString& path) {
    return path.compare(repStream(), Qt::CaseInsensitive) == 0 ||
           path.compare(pageStream(), Qt::CaseInsensitive) == 0 ||
           path.compare(varStream(), Qt::CaseInsensitive) == 0;
}

const char* zeroChunk() {
    static const std::vector<char> zeros(kChunk, '\0');
    return zeros.data();
}

quint64 freeBytes(const QString& dir) {
    struct statvfs s;
    if (::statvfs(QFile::encodeName(dir).constData(), &s) != 0) return ~quint64(0);
    return quint64(s.f_bavail) * s.f_frsize;
}

}  // namespace

void qor::SetSaveFaultAfterBytes(qint64 bytes, int errorNumber) {
    g_saveFault.limit = bytes;
    g_saveFault.error = errorNumber;
}

// ---------------------------------------------------------------------------
// Writers used by saves and by spilling pages out of the cache

// Counts what a save writes (for the fault hook) and keeps the first error.
class CReportFile::SaveWriter {
public:
    explicit SaveWriter(bool hooked = true) : m_hooked(hooked) {}
    int error = 0;

    bool account(quint64 n) {
        if (m_hooked && g_saveFault.limit >= 0 && qint64(m_written + n) > g_saveFault.limit) {
            error = g_saveFault.error;
            return false;
        }
        m_written += n;
        return true;
    }
    bool fail(int err) {
        if (!error) error = err ? err : EIO;
        return false;
    }
    uint16_t status() const { return error == ENOSPC ? kDiskFull : kWriteError; }

private:
    bool m_hooked;
    quint64 m_written = 0;
};

namespace {

// Where encoded blobs go: a stream of the new compound file or the spill
// file. Tracks the position and the CRC of the current blob.
class BlobSink {
public:
    virtual ~BlobSink() = default;
    virtual bool write(const char* data, size_t n) = 0;
    uint64_t pos() const { return m_pos; }
    void beginBlob() {
        m_blobStart = m_pos;
        m_crc = 0;
    }
    uint64_t blobLength() const { return m_pos - m_blobStart; }
    uint64_t blobStart() const { return m_blobStart; }
    uint32_t crc() const { return m_crc; }
    // withCrc false: the bytes are a verbatim copy whose CRC is known.
    bool put(const char* data, size_t n, bool withCrc = true) {
        while (n) {
            const size_t k = std::min(n, kChunk);
            if (!write(data, k)) return false;
            if (withCrc) m_crc = crc32(data, k, m_crc);
            m_pos += k;
            data += k;
            n -= k;
        }
        return true;
    }
    bool putZeros(uint64_t n) {
        while (n) {
            const size_t k = size_t(std::min<uint64_t>(n, kChunk));
            if (!write(zeroChunk(), k)) return false;
            m_pos += k;
            n -= k;
        }
        return true;
    }
    void addZeroCrc(uint32_t crcAfterZeros) { m_crc = crcAfterZeros; }
    void setPos(uint64_t p) { m_pos = p; }

protected:
    uint64_t m_pos = 0;
    uint64_t m_blobStart = 0;
    uint32_t m_crc = 0;
};

class StreamSink : public BlobSink {
public:
    StreamSink(CompoundFile& cf, const QString& stream, CReportFile::SaveWriter& w)
        : m_cf(cf), m_stream(stream), m_w(w) {}
    bool write(const char* data, size_t n) override {
        if (!m_w.account(n)) return false;
        errno = 0;
        if (!m_cf.write(m_stream, m_pos, data, n)) return m_w.fail(errno);
        return true;
    }
    // Appends n bytes of a stream of the file being replaced, copied from
    // file to file by the kernel: what did not change is not read in and
    // written out again. Counts as written, as put() does.
    bool copy(const CompoundFile& from, const QString& stream, uint64_t offset, uint64_t n) {
        while (n) {
            const uint64_t k = std::min<uint64_t>(n, kCopyChunk);
            if (!m_w.account(k)) return false;
            errno = 0;
            if (!m_cf.copyFrom(m_stream, m_pos, from, stream, offset, k)) return m_w.fail(errno);
            m_pos += k;
            offset += k;
            n -= k;
        }
        return true;
    }

private:
    CompoundFile& m_cf;
    QString m_stream;
    CReportFile::SaveWriter& m_w;
};

class FileSink : public BlobSink {
public:
    explicit FileSink(QFile& f) : m_f(f) { m_pos = quint64(f.size()); }
    bool write(const char* data, size_t n) override {
        if (!m_f.seek(qint64(m_pos))) return false;
        return m_f.write(data, qint64(n)) == qint64(n);
    }

private:
    QFile& m_f;
};

// Writes a slot grid's heap as UTF-16LE.
bool putHeap(BlobSink& sink, const std::vector<char16_t>& heap) {
    std::vector<char> buf;
    size_t done = 0;
    while (done < heap.size()) {
        const size_t k = std::min(heap.size() - done, kChunk / 2);
        buf.resize(k * 2);
        qToLittleEndian<quint16>(heap.data() + done, qsizetype(k), buf.data());
        if (!sink.put(buf.data(), buf.size())) return false;
        done += k;
    }
    return true;
}

// The fixed part of a page as a page record.
bool encodeFixed(CSheetPage& page, BlobSink& sink, BlobEntry* entry) {
    // Compaction changes heap offsets only, not what the page holds.
    const bool wasDirty = page.IsDirty();
    SlotGrid& grid = page.MutableFixed();
    grid.compactHeap();
    page.SetDirty(wasDirty);
    sink.beginBlob();
    const QByteArray head = encodePageRecordHeader(page.RecordHeader());
    if (!sink.put(head.constData(), size_t(head.size()))) return false;
    if (!sink.put(grid.slotData(), grid.slotBytes())) return false;
    if (!putHeap(sink, grid.heap())) return false;
    *entry = {sink.blobStart(), sink.blobLength(), sink.crc(), page.Generation(), 0};
    return true;
}

// The variable lines of a page; no blob at all when the report has no
// variable area or the page holds one empty line (the defaults).
bool encodeVar(CSheetPage& page, uint16_t varKind, BlobSink& sink, BlobEntry* entry) {
    *entry = {};
    entry->generation = page.Generation();
    const SlotGrid& lines = page.VarLines();
    if (varKind == 0 || lines.lines() == 0 || lines.lineLength() == 0) return true;
    if (lines.lines() == 1 && lines.isBlank()) return true;
    const bool wasDirty = page.IsDirty();
    page.MutableVarLines().compactHeap();
    page.SetDirty(wasDirty);
    sink.beginBlob();
    VarRecordHeader h;
    h.used = uint16_t(lines.lines());
    h.lineLength = lines.lineLength();
    h.heapChars = lines.heapChars();
    const QByteArray head = encodeVarRecordHeader(h);
    if (!sink.put(head.constData(), size_t(head.size()))) return false;
    if (!sink.put(lines.slotData(), lines.slotBytes())) return false;
    if (!putHeap(sink, lines.heap())) return false;
    *entry = {sink.blobStart(), sink.blobLength(), sink.crc(), page.Generation(), 0};
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Opening

CReportFile::CReportFile(const QString& path) : m_path(path) {}

CReportFile::~CReportFile() {
    m_cf.reset();
    if (m_ownsFile) ::unlink(QFile::encodeName(m_path).constData());
    if (m_sourceFd >= 0) ::close(m_sourceFd);
    if (m_spill) m_spill->close();
}

std::unique_ptr<CReportFile> CReportFile::CreateNew(const QString& path) {
    std::unique_ptr<CReportFile> f(new CReportFile(path));
    f->m_ownsFile = true;
    f->m_format = ReportFormat::newReport();
    f->BeginFormatEdit();
    return f;
}

uint16_t CReportFile::openFile() {
    // Through the open file when there is one: its name may meanwhile
    // stand for another file.
    const QString path = m_sourceFd >= 0 ? HandlePath(m_sourceFd) : m_path;
    if (!QFileInfo::exists(path)) return code(Status::FileNotFound);
    QString err;
    m_cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly, &err);
    if (!m_cf) return CompoundFile::isCompoundFile(path) ? kCorrupt : code(Status::NotAReport);
    return kOk;
}

uint16_t CReportFile::ensureOpen() const {
    if (m_cf) return kOk;
    return const_cast<CReportFile*>(this)->openFile();
}

std::unique_ptr<CReportFile> CReportFile::OpenHandle(int fd, uint16_t* status,
                                                     std::unique_ptr<CompoundFile> opened,
                                                     bool pendingFormats) {
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        if (status) *status = errno == ENOMEM ? kNoMemory : kReadError;
        return nullptr;
    }
    std::unique_ptr<CReportFile> f =
        Open(HandlePath(own), status, false, std::move(opened), pendingFormats);
    if (!f) {
        ::close(own);
        return nullptr;
    }
    f->m_sourceFd = own;
    return f;
}

std::unique_ptr<CReportFile> CReportFile::Open(const QString& path, uint16_t* status,
                                               bool ownsFile,
                                               std::unique_ptr<CompoundFile> opened,
                                               bool pendingFormats) {
    auto fail = [&](uint16_t s) {
        if (status) *status = s;
        return nullptr;
    };
    try {
        std::unique_ptr<CReportFile> f(new CReportFile(path));
        f->m_ownsFile = ownsFile;
        // Loading a large file's allocation tables is most of an open: done once.
        uint16_t s = kOk;
        if (opened)
            f->m_cf = std::move(opened);
        else
            s = f->openFile();
        if (s) return fail(s);
        CompoundFile& cf = *f->m_cf;

        const qint64 repSize = cf.streamSize(repStream());
        if (repSize < 0) return fail(code(Status::NotAReport));
        // The cell formats make up most of it: they are read straight into
        // their table, the rest section by section.
        bool readFailed = false;
        const QString rep = repStream();
        // Later reads go through the compound file this one opened, kept
        // alive by them: whatever the report does with its file meanwhile
        // (a save moves it to a working file), they read what was opened.
        const std::shared_ptr<CompoundFile> kept = f->m_cf;
        const RepStreamReader later = [kept, rep](uint64_t at, char* buf, uint64_t len) {
            return kept->read(rep, at, buf, len) == qint64(len);
        };
        s = decodeRepStream(
            uint64_t(repSize),
            [&](uint64_t at, char* buf, uint64_t len) {
                if (cf.read(rep, at, buf, len) == qint64(len)) return true;
                readFailed = true;
                return false;
            },
            &f->m_format, pendingFormats ? &later : nullptr);
        if (readFailed) return fail(kReadError);
        if (s) return fail(s);

        auto readDirectory = [&](const QString& stream, uint32_t magic,
                                 std::vector<BlobEntry>* entries) -> uint16_t {
            const qint64 size = cf.streamSize(stream);
            if (size < kDirectoryHeaderSize) return kCorrupt;
            const QByteArray head = cf.read(stream, 0, kDirectoryHeaderSize);
            if (head.size() != kDirectoryHeaderSize) return kReadError;
            uint32_t n = 0;
            uint16_t st = decodeDirectoryHead(head, magic, &n);
            if (st) return st;
            const uint64_t dirSize = directorySize(n);
            if (dirSize > uint64_t(size)) return kCorrupt;
            const QByteArray dir = cf.read(stream, 0, dirSize);
            if (uint64_t(dir.size()) != dirSize) return kReadError;
            return decodeDirectory(dir, magic, uint64_t(size), entries);
        };
        std::vector<BlobEntry> fixed, var;
        s = readDirectory(pageStream(), kPageDirMagic, &fixed);
        if (s) return fail(s);
        s = readDirectory(varStream(), kVarDirMagic, &var);
        if (s) return fail(s);
        if (fixed.size() != f->m_format.header.pageCount) return fail(kCorrupt);
        if (!var.empty() && var.size() != fixed.size()) return fail(kCorrupt);
        for (size_t i = 0; i < fixed.size(); ++i)
            if (fixed[i].length < uint64_t(kPageRecordHeaderSize)) return fail(kCorrupt);

        f->m_pages.reserve(fixed.size());
        for (size_t i = 0; i < fixed.size(); ++i) {
            auto e = std::make_unique<PageEntry>();
            e->source.kind = BlobSource::Stored;
            e->source.fixed = fixed[i];
            if (!var.empty()) e->source.var = var[i];
            e->generation = fixed[i].generation;
            f->m_pages.push_back(std::move(e));
        }
        if (f->m_format.header.flags & kFlagFormatState) f->BeginFormatEdit();
        if (status) *status = kOk;
        return f;
    } catch (const std::bad_alloc&) {
        return fail(kNoMemory);
    }
}

uint16_t CReportFile::CloseStreams() {
    m_cf.reset();
    return kOk;
}

QList<CompoundFile::Entry> CReportFile::Entries() const {
    if (ensureOpen()) return {};
    return m_cf->allEntries();
}

// ---------------------------------------------------------------------------
// Format state

void CReportFile::BeginFormatEdit() {
    if (m_committed) return;
    m_committed = m_format;
    m_editRemap = RemapMatrix::identity(m_format.header.rows, m_format.header.cols);
}

void CReportFile::CancelFormatEdit() {
    if (!m_committed) return;
    m_format = std::move(*m_committed);
    m_committed.reset();
    m_editRemap = RemapMatrix::identity(m_format.header.rows, m_format.header.cols);
}

namespace {

// Whether two formats give every formula the same inputs: the formulas
// themselves, the kinds and decimals of cells, labels, the variable area
// and the keyword names.
bool formulasReadTheSame(const ReportFormat& a, const ReportFormat& b) {
    const ReportHeader &ha = a.header, &hb = b.header;
    if (ha.rows != hb.rows || ha.cols != hb.cols || ha.varKind != hb.varKind ||
        ha.varStart != hb.varStart || ha.varExtent != hb.varExtent ||
        ha.userKeywordType != hb.userKeywordType || ha.userKeywordName != hb.userKeywordName)
        return false;
    if (a.formulas != b.formulas) return false;
    if (!a.cellFormats.sharesWith(b.cellFormats) && !(a.cellFormats == b.cellFormats)) return false;
    if (a.labels.size() != b.labels.size()) return false;
    for (auto i = a.labels.begin(), j = b.labels.begin(); i != a.labels.end(); ++i, ++j) {
        const auto x = *i, y = *j;
        if (x.first != y.first || x.second != y.second) return false;
    }
    return true;
}

}  // namespace

void CReportFile::CommitFormatEdit() {
    if (!m_committed) return;
    const RemapMatrix step = m_editRemap;
    const uint16_t oldVarKind = m_committed->header.varKind;
    const ReportFormat before = std::move(*m_committed);
    m_committed.reset();
    ReportHeader& h = m_format.header;
    if (!step.isIdentity()) {
        const uint32_t oldGen = h.formatGeneration;
        h.formatGeneration = oldGen + 1;
        for (auto& [gen, m] : m_remaps) m = m.then(step);
        m_remaps[oldGen] = step;
        for (auto& e : m_pages) {
            if (!e->page) continue;
            e->page->Reshape(step, h.varKind);
            e->page->SetGeneration(h.formatGeneration);
        }
    }
    if (!step.isIdentity() || oldVarKind != h.varKind) {
        for (auto& e : m_pages) {
            if (!e->page) continue;
            const SlotGrid& lines = e->page->VarLines();
            if (h.varKind == 0) {
                if (lines.lines()) e->page->SetVarLines(SlotGrid());
            } else if (lines.lines() == 0 || lines.lineLength() != varLineLength()) {
                e->page->SetVarLines(defaultVarLines());
            }
        }
    }
    m_editRemap = RemapMatrix::identity(h.rows, h.cols);
    roundToFewerDecimals(before, step);
    clearFailuresOfRemovedFormulas(before, step);
    // Formulas, kinds, labels, keyword names or the shape changed: whatever
    // any formula read may read differently now. Entering and leaving
    // format state without such a change leaves the values as they are.
    if (!step.isIdentity() || !formulasReadTheSame(before, m_format)) m_marks->NoteAll();
}

namespace {

bool roundSlot(CellSlot* s, int decimals) {
    if (!s->isNumber() || s->isEmptyNumber()) return false;
    const double rounded = RoundedToDecimals(s->numberValue(), decimals);
    if (rounded == s->numberValue()) return false;
    *s = CellSlot::number(rounded, s->flags);
    return true;
}

}  // namespace

template <class Change>
bool CReportFile::changeSlotsOnEveryPage(const std::vector<TableCell>& cells, Change change) {
    const ReportHeader& h = m_format.header;
    bool changed = false;
    for (int p = 1; p <= PageCount(); ++p) {
        const std::shared_ptr<CSheetPage> page = Page(p);
        if (!page) continue;
        for (size_t i = 0; i < cells.size(); ++i) {
            const TableCell& cell = cells[i];
            const bool varRow = h.varKind == 1 && cell.row == h.varStart;
            const bool varCol = h.varKind == 2 && cell.col == h.varStart;
            if (varRow || varCol) {
                const uint16_t index = uint16_t((varRow ? cell.col : cell.row) - 1);
                const SlotGrid& lines = page->VarLines();
                if (index >= lines.lineLength()) continue;
                for (uint32_t line = 0; line < lines.lines(); ++line) {
                    CellSlot s = lines.slot(line, index);
                    if (change(i, &s)) {
                        page->MutableVarLines().setSlot(line, index, s);
                        changed = true;
                    }
                }
                continue;
            }
            CellSlot s = page->Slot(cell.row, cell.col);
            if (change(i, &s)) {
                page->SetSlot(cell.row, cell.col, s);
                changed = true;
            }
        }
    }
    return changed;
}

// A cell holds its number to the decimals it shows: when a format edit cuts
// them, every page's number there is rounded, so what the cell shows, what
// its totals add, what an export writes and what the file keeps stay one
// number.
void CReportFile::roundToFewerDecimals(const ReportFormat& before, const RemapMatrix& step) {
    // No format word written since the edit began: nothing can be cut.
    if (m_format.cellFormats.sharesWith(before.cellFormats)) return;
    const ReportHeader& h = m_format.header;
    std::vector<TableCell> cuts;
    std::vector<int> decimals;
    for (uint16_t r = 1; r <= h.rows && r <= step.rows(); ++r) {
        const uint16_t oldRow = step.rowOrigin[r - 1u];
        if (!oldRow || oldRow > before.header.rows) continue;
        for (uint16_t c = 1; c <= h.cols && c <= step.cols(); ++c) {
            const uint16_t oldCol = step.colOrigin[c - 1u];
            if (!oldCol || oldCol > before.header.cols) continue;
            const int now = cellShownDecimals(m_format.cellFormat(r, c));
            const int was = cellShownDecimals(before.cellFormat(oldRow, oldCol));
            if (now >= 0 && was >= 0 && now < was) {
                cuts.push_back({r, c});
                decimals.push_back(now);
            }
        }
    }
    if (cuts.empty()) return;
    if (changeSlotsOnEveryPage(cuts,
                               [&](size_t i, CellSlot* s) { return roundSlot(s, decimals[i]); }))
        m_numbersRounded = true;
}

// A formula that failed marks its cell's value as no amount. Once the
// formula is gone nothing will work the cell out again, and the mark would
// stay until a value is typed there: it goes with the formula. Marks that
// are not a failure of the cell's own formula (a total that left out a
// failed value, a copied page) were not written as its result and stay.
void CReportFile::clearFailuresOfRemovedFormulas(const ReportFormat& before,
                                                 const RemapMatrix& step) {
    if (before.formulas.empty() || (step.isIdentity() && before.formulas == m_format.formulas))
        return;
    // Where each old row and column now stands (0: gone).
    std::vector<uint16_t> rowNow(size_t(before.header.rows) + 1, 0);
    std::vector<uint16_t> colNow(size_t(before.header.cols) + 1, 0);
    const auto place = [](const std::vector<uint16_t>& origin, std::vector<uint16_t>* now) {
        for (size_t i = 0; i < origin.size(); ++i)
            if (const uint16_t o = origin[i]; o && o < now->size() && !(*now)[o])
                (*now)[o] = uint16_t(i + 1);
    };
    place(step.rowOrigin, &rowNow);
    place(step.colOrigin, &colNow);
    std::vector<TableCell> gone;
    for (const FormulaRecord& fr : before.formulas) {
        const uint16_t r2 = std::min(fr.area.r2, before.header.rows);
        const uint16_t c2 = std::min(fr.area.c2, before.header.cols);
        for (uint16_t r = std::max<uint16_t>(fr.area.r1, 1); r <= r2; ++r) {
            if (!rowNow[r]) continue;
            for (uint16_t c = std::max<uint16_t>(fr.area.c1, 1); c <= c2; ++c)
                if (colNow[c] && !CellHasFormula(rowNow[r], colNow[c]))
                    gone.push_back({rowNow[r], colNow[c]});
        }
    }
    if (gone.empty()) return;
    constexpr uint8_t failedResult = kSlotComputed | kSlotFormulaError;
    changeSlotsOnEveryPage(gone, [](size_t, CellSlot* s) {
        if ((s->flags & failedResult) != failedResult) return false;
        s->flags = uint8_t(s->flags & ~kSlotFormulaError);
        return true;
    });
}

bool CReportFile::PendingOrigin(uint16_t row, uint16_t col, uint16_t* oldRow,
                                uint16_t* oldCol) const {
    if (row < 1 || col < 1 || row > m_format.header.rows || col > m_format.header.cols)
        return false;
    if (!IsFormatEditing()) {
        *oldRow = row;
        *oldCol = col;
        return true;
    }
    if (row > m_editRemap.rows() || col > m_editRemap.cols()) return false;
    *oldRow = m_editRemap.rowOrigin[row - 1u];
    *oldCol = m_editRemap.colOrigin[col - 1u];
    return *oldRow && *oldCol;
}

uint16_t CReportFile::RemapTable(const RemapMatrix& step) {
    try {
        return remapTable(step);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
}

uint16_t CReportFile::remapTable(const RemapMatrix& step) {
    m_varLinesLoss = {};
    ReportFormat& f = m_format;
    const uint16_t rows = f.header.rows;
    const uint16_t cols = f.header.cols;
    if (!IsFormatEditing() || step.oldRows != rows || step.oldCols != cols) return kRefused;
    if (step.rowOrigin.size() < 1 || step.rowOrigin.size() > kMaxRows ||
        step.colOrigin.size() < 1 || step.colOrigin.size() > kMaxCols)
        return code(Status::TableSizeOutOfBounds);
    const uint16_t nr = step.rows();
    const uint16_t nc = step.cols();
    std::vector<uint16_t> rowNew(size_t(rows) + 1, 0), colNew(size_t(cols) + 1, 0);
    for (uint16_t i = 0; i < nr; ++i) {
        const uint16_t o = step.rowOrigin[i];
        if (o >= 1 && o <= rows && !rowNew[o]) rowNew[o] = uint16_t(i + 1);
    }
    for (uint16_t i = 0; i < nc; ++i) {
        const uint16_t o = step.colOrigin[i];
        if (o >= 1 && o <= cols && !colNew[o]) colNew[o] = uint16_t(i + 1);
    }
    const uint16_t newVarStart =
        f.header.varKind == 1   ? (f.header.varStart <= rows ? rowNew[f.header.varStart] : 0)
        : f.header.varKind == 2 ? (f.header.varStart <= cols ? colNew[f.header.varStart] : 0)
                                : 0;
    if (uint16_t s = checkVarLinesKept(newVarStart, nr, nc)) return s;
    auto origin = [](const std::vector<uint16_t>& v, size_t i, uint16_t limit) -> uint16_t {
        const uint16_t o = v[i];
        return (o >= 1 && o <= limit) ? o : 0;
    };

    std::vector<RowColRecord> rowRecs(nr, RowColRecord{kDefaultRowHeight, 0, 0});
    for (uint16_t i = 0; i < nr; ++i)
        if (uint16_t o = origin(step.rowOrigin, i, rows)) rowRecs[i] = f.rowRecs[o - 1u];
    std::vector<RowColRecord> colRecs(nc, RowColRecord{kDefaultColWidth, 0, 0});
    for (uint16_t i = 0; i < nc; ++i)
        if (uint16_t o = origin(step.colOrigin, i, cols)) colRecs[i] = f.colRecs[o - 1u];
    CellFormatTable::Words formats(size_t(nr) * nc, kDefaultCellFormat);
    for (uint16_t r = 0; r < nr; ++r) {
        const uint16_t ro = origin(step.rowOrigin, r, rows);
        if (!ro) continue;
        const uint64_t* src = f.cellFormats.data() + size_t(ro - 1u) * cols;
        uint64_t* dst = formats.data() + size_t(r) * nc;
        for (uint16_t c = 0; c < nc; ++c)
            if (uint16_t co = origin(step.colOrigin, c, cols)) dst[c] = src[co - 1u];
    }
    std::vector<std::pair<uint32_t, QString>> labels;
    for (const auto& [key, text] : f.labels) {
        const uint16_t r = uint16_t(key >> 16), c = uint16_t(key & 0xFFFF);
        if (r <= rows && c <= cols && rowNew[r] && colNew[c])
            labels.emplace_back(cellKey(rowNew[r], colNew[c]), text);
    }
    // Combined areas and area lines follow their rows and columns as long
    // as those stay together.
    const LineRemap rowMap(step.rowOrigin, rows), colMap(step.colOrigin, cols);
    std::vector<AreaRecord> combined;
    for (AreaRecord a : f.combined)
        if (remapWholeArea(a, rowMap, colMap, 2)) combined.push_back(a);
    std::vector<AreaLineRecord> lines;
    for (AreaLineRecord l : f.areaLines) {
        AreaRecord a{l.r1, l.c1, l.r2, l.c2};
        if (!remapWholeArea(a, rowMap, colMap, 1)) continue;
        l.r1 = a.r1;
        l.c1 = a.c1;
        l.r2 = a.r2;
        l.c2 = a.c2;
        lines.push_back(l);
    }
    std::vector<FormulaRecord> formulas = RemapFormulas(f.formulas, step);
    for (KeywordSlot& k : f.header.keywords) {
        if (!k.row || !k.col) continue;
        const uint16_t r = k.row <= rows ? rowNew[k.row] : 0;
        const uint16_t c = k.col <= cols ? colNew[k.col] : 0;
        if (r && c) {
            k.row = r;
            k.col = c;
        } else {
            k.row = k.col = 0;
        }
    }
    if (f.header.varKind == 1 || f.header.varKind == 2) {
        if (newVarStart) {
            f.header.varStart = newVarStart;
        } else {
            f.header.varKind = f.header.varStart = f.header.varExtent = 0;
        }
    }
    f.rowRecs = std::move(rowRecs);
    f.colRecs = std::move(colRecs);
    f.cellFormats = std::move(formats);
    f.labels.assign(std::move(labels));
    f.combined = std::move(combined);
    f.areaLines = std::move(lines);
    f.formulas = std::move(formulas);
    f.header.formulaCount = uint32_t(f.formulas.size());
    f.header.rows = nr;
    f.header.cols = nc;
    // Cells inserted into a combined area or a formula's area, and cells of
    // an area that was cut or dropped, need their markers anew.
    markCombinedAreas(f);
    SyncFormulaBits(f);
    m_editRemap = m_editRemap.then(step);
    return kOk;
}

// The pages' lines stay as they are through a change of the table: one
// that would put a line past the last row or column a report can have, or
// take the area's row (column) away from lines holding values, costs data
// no later step brings back, and is refused naming the first such page.
uint16_t CReportFile::checkVarLinesKept(uint16_t newStart, uint16_t rows, uint16_t cols) {
    const ReportHeader& h = m_format.header;
    if (h.varKind != 1 && h.varKind != 2) return kOk;
    ReportHeader after = h;
    after.rows = rows;
    after.cols = cols;
    const int room = MaxVarLines(after);
    // Pages hold no more lines than the area's extent allows today: only a
    // smaller room, or the area going, needs the pages read.
    if (newStart && room >= VarLineLimit(h)) return kOk;
    for (int p = 1; p <= PageCount(); ++p) {
        uint16_t status = 0;
        const std::shared_ptr<CSheetPage> page = Page(p, &status);
        if (!page) return status ? status : kRefused;
        const int used = page->VarUsed();
        const bool lost = newStart ? used > room : used > 0 && !page->VarLines().isBlank();
        if (!lost) continue;
        m_varLinesLoss = {p, used, h.varKind, !newStart};
        return code(Status::VarAreaInvalid);
    }
    return kOk;
}

CReportFile::HeldCell CReportFile::FirstHeldCellInLine(int kind, uint16_t line,
                                                      uint16_t* status) {
    if (status) *status = kOk;
    const ReportHeader& now = m_format.header;
    if ((kind != 1 && kind != 2) || line < 1 || line > (kind == 1 ? now.rows : now.cols))
        return {};
    // Pages keep the committed shape until the format edit ends.
    const bool editing = IsFormatEditing();
    auto rowOrigin = [&](uint16_t r) -> uint16_t {
        return !editing ? r : r <= m_editRemap.rows() ? m_editRemap.rowOrigin[r - 1u] : 0;
    };
    auto colOrigin = [&](uint16_t c) -> uint16_t {
        return !editing ? c : c <= m_editRemap.cols() ? m_editRemap.colOrigin[c - 1u] : 0;
    };
    const uint16_t stored = kind == 1 ? rowOrigin(line) : colOrigin(line);
    const ReportHeader& was = CommittedFormat().header;
    // The area's own row keeps its values in the lines already.
    if (!stored || (was.varKind == kind && was.varStart == stored)) return {};
    const uint16_t across = kind == 1 ? now.cols : now.rows;
    for (int p = 1; p <= PageCount(); ++p) {
        uint16_t s = 0;
        const std::shared_ptr<CSheetPage> page = Page(p, &s);
        if (!page) {
            if (status) *status = s ? s : kRefused;
            return {};
        }
        for (uint16_t i = 1; i <= across; ++i) {
            const uint16_t other = kind == 1 ? colOrigin(i) : rowOrigin(i);
            if (!other) continue;
            // A formula's cell holds what its formula gives, worked out
            // again on every line: nothing typed is hidden there.
            if (kind == 1 ? CellHasFormula(line, i) : CellHasFormula(i, line)) continue;
            const CellSlot slot = kind == 1 ? page->Slot(stored, other) : page->Slot(other, stored);
            const bool held = (slot.flags & kSlotFormulaError) ||
                              (slot.isNumber() && !slot.isEmptyNumber()) ||
                              (slot.isText() && slot.textLength() > 0);
            if (held)
                return {p, kind == 1 ? line : i, kind == 1 ? i : line};
        }
    }
    return {};
}

uint16_t CReportFile::SetTableSize(uint16_t rows, uint16_t cols) {
    m_varLinesLoss = {};
    if (rows < 1 || rows > kMaxRows || cols < 1 || cols > kMaxCols)
        return code(Status::TableSizeOutOfBounds);
    if (!IsFormatEditing()) return kRefused;
    if (rows == GetRowCount() && cols == GetColCount()) return kOk;
    return RemapTable(RemapMatrix::byPosition(GetRowCount(), GetColCount(), rows, cols));
}

uint16_t CReportFile::AppendRows(int n) {
    if (!IsFormatEditing() || n <= 0 || GetRowCount() + n > kMaxRows) return kRefused;
    return SetTableSize(uint16_t(GetRowCount() + n), GetColCount());
}

uint16_t CReportFile::AppendCols(int n) {
    if (!IsFormatEditing() || n <= 0 || GetColCount() + n > kMaxCols) return kRefused;
    return SetTableSize(GetRowCount(), uint16_t(GetColCount() + n));
}

// ---------------------------------------------------------------------------
// Pages

uint16_t CReportFile::varLineLength() const {
    const ReportHeader& h = CommittedFormat().header;
    return h.varKind == 1 ? h.cols : h.varKind == 2 ? h.rows : 0;
}

SlotGrid CReportFile::defaultVarLines() const {
    const uint16_t len = varLineLength();
    return len ? SlotGrid(1, len) : SlotGrid();
}

uint16_t CReportFile::readBlob(const BlobSource& src, bool var, uint64_t offset, char* buf,
                               uint64_t len) const {
    const BlobEntry& e = var ? src.var : src.fixed;
    if (offset > e.length || len > e.length - offset) return kCorrupt;
    if (src.kind == BlobSource::Spilled) {
        if (!m_spill || !m_spill->seek(qint64(e.offset + offset))) return kReadError;
        return m_spill->read(buf, qint64(len)) == qint64(len) ? kOk : kReadError;
    }
    if (uint16_t s = ensureOpen()) return s;
    const qint64 got = m_cf->read(var ? varStream() : pageStream(), e.offset + offset, buf, len);
    return got == qint64(len) ? kOk : kReadError;
}

uint16_t CReportFile::readBlobWithCrc(const BlobSource& src, bool var, uint64_t offset, char* buf,
                                      uint64_t len, uint32_t* crc, const uint64_t* slotHeap) const {
    // In pieces that stay in the cache between the copy and the checks
    // (whole slots, so each piece's slots are checked as they go by).
    constexpr uint64_t kPiece = uint64_t(kSlotSize) * 21845;
    for (uint64_t done = 0; done < len;) {
        const uint64_t k = std::min(kPiece, len - done);
        if (uint16_t s = readBlob(src, var, offset + done, buf + done, k)) return s;
        *crc = crc32(buf + done, size_t(k), *crc);
        if (slotHeap && !SlotGrid::validSlots(buf + done, size_t(k / kSlotSize), *slotHeap))
            return kCorrupt;
        done += k;
    }
    return kOk;
}

uint16_t CReportFile::checkFixed(const BlobSource& src, PageRecordHeader* out) {
    const BlobEntry& e = src.fixed;
    char head[kPageRecordHeaderSize];
    if (e.length < uint64_t(kPageRecordHeaderSize)) return kCorrupt;
    if (uint16_t s = readBlob(src, false, 0, head, sizeof head)) return s;
    PageRecordHeader h;
    if (uint16_t s = decodePageRecordHeader(head, sizeof head, e.length, &h)) return s;
    if (h.generation != e.generation) return kCorrupt;
    uint32_t crc = crc32(head, sizeof head);
    // The rest passes through one piece of memory: slots in whole slots,
    // checked as they go by, then the heap for its CRC alone.
    constexpr uint64_t kPiece = uint64_t(kSlotSize) * 21845;
    // One buffer for every record checked: listing the keywords of many
    // pages allocates it once.
    std::vector<char>& buf = m_checkBuffer;
    if (buf.size() < kPiece) buf.resize(kPiece);
    bool slotsOk = true;
    auto pass = [&](uint64_t at, uint64_t len, bool slotPart) -> uint16_t {
        for (uint64_t done = 0; done < len;) {
            const uint64_t k = std::min(kPiece, len - done);
            if (uint16_t s = readBlob(src, false, at + done, buf.data(), k)) return s;
            crc = crc32(buf.data(), size_t(k), crc);
            if (slotPart && slotsOk)
                slotsOk = SlotGrid::validSlots(buf.data(), size_t(k / kSlotSize), h.heapChars);
            done += k;
        }
        return kOk;
    };
    const uint64_t slotBytes = uint64_t(h.rows) * h.cols * kSlotSize;
    if (uint16_t s = pass(sizeof head, uint64_t(h.headerSize) - sizeof head, false)) return s;
    if (uint16_t s = pass(h.headerSize, slotBytes, true)) return s;
    if (uint16_t s = pass(h.headerSize + slotBytes, uint64_t(h.heapChars) * 2, false)) return s;
    if (crc != e.crc || !slotsOk) return kCorrupt;
    *out = h;
    return kOk;
}

uint16_t CReportFile::PageKeywords(int page, std::array<KeywordValue, kPageKeywordSlots>* out) {
    if (page < 1 || page > PageCount()) return code(Status::PageOutOfRange);
    PageEntry& e = *m_pages[size_t(page - 1)];
    try {
        if (e.page) {
            for (int i = 0; i < kPageKeywordSlots; ++i) (*out)[size_t(i)] = e.page->Keyword(i);
            return kOk;
        }
        if (e.source.kind == BlobSource::Empty) {
            out->fill(KeywordValue{});
            return kOk;
        }
        PageRecordHeader h;
        if (uint16_t s = checkFixed(e.source, &h)) return s;
        // A load reads the variable lines too; their damage fails it alike.
        SlotGrid lines;
        if (uint16_t s = decodeVar(e.source, &lines, varLineLength())) return s;
        ++m_pageReads;
        *out = h.keywords;
        return kOk;
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
}

uint16_t CReportFile::decodeFixed(const BlobSource& src, CSheetPage** out) {
    const BlobEntry& e = src.fixed;
    char head[kPageRecordHeaderSize];
    if (e.length < uint64_t(kPageRecordHeaderSize)) return kCorrupt;
    if (uint16_t s = readBlob(src, false, 0, head, sizeof head)) return s;
    PageRecordHeader h;
    if (uint16_t s = decodePageRecordHeader(head, sizeof head, e.length, &h)) return s;
    if (h.generation != e.generation) return kCorrupt;
    uint32_t crc = crc32(head, sizeof head);
    if (h.headerSize > kPageRecordHeaderSize) {
        QByteArray extra(h.headerSize - kPageRecordHeaderSize, '\0');
        if (uint16_t s = readBlob(src, false, sizeof head, extra.data(), uint64_t(extra.size())))
            return s;
        crc = crc32(extra.constData(), size_t(extra.size()), crc);
    }
    auto page = std::make_unique<CSheetPage>(h.rows, h.cols, SlotGrid::NoFill{});
    page->ApplyRecordHeader(h);
    SlotGrid& grid = page->MutableFixed();
    uint64_t at = h.headerSize;
    const uint64_t heapChars = h.heapChars;
    if (uint16_t s =
            readBlobWithCrc(src, false, at, grid.slotData(), grid.slotBytes(), &crc, &heapChars))
        return s;
    at += grid.slotBytes();
    if (h.heapChars) {
        QByteArray raw(qsizetype(h.heapChars) * 2, Qt::Uninitialized);
        if (uint16_t s = readBlob(src, false, at, raw.data(), uint64_t(raw.size()))) return s;
        crc = crc32(raw.constData(), size_t(raw.size()), crc);
        grid.heapStorage().resize(h.heapChars);
        qFromLittleEndian<quint16>(raw.constData(), h.heapChars, grid.heapStorage().data());
    }
    // The slots were checked against the heap size as they were read.
    if (crc != e.crc) return kCorrupt;
    page->SetGeneration(h.generation);
    page->SetDirty(false);
    ++m_pageReads;
    *out = page.release();
    return kOk;
}

uint16_t CReportFile::decodeVar(const BlobSource& src, SlotGrid* out, uint16_t lineLength) {
    const BlobEntry& e = src.var;
    if (e.length == 0) {
        *out = lineLength ? SlotGrid(1, lineLength) : SlotGrid();
        return kOk;
    }
    char head[kVarRecordHeaderSize];
    if (e.length < uint64_t(kVarRecordHeaderSize)) return kCorrupt;
    if (uint16_t s = readBlob(src, true, 0, head, sizeof head)) return s;
    VarRecordHeader h;
    if (uint16_t s = decodeVarRecordHeader(head, sizeof head, e.length, &h)) return s;
    uint32_t crc = crc32(head, sizeof head);
    SlotGrid grid(h.used, h.lineLength, SlotGrid::NoFill{});
    uint64_t at = kVarRecordHeaderSize;
    const uint64_t heapChars = h.heapChars;
    if (uint16_t s =
            readBlobWithCrc(src, true, at, grid.slotData(), grid.slotBytes(), &crc, &heapChars))
        return s;
    at += grid.slotBytes();
    if (h.heapChars) {
        QByteArray raw(qsizetype(h.heapChars) * 2, Qt::Uninitialized);
        if (uint16_t s = readBlob(src, true, at, raw.data(), uint64_t(raw.size()))) return s;
        crc = crc32(raw.constData(), size_t(raw.size()), crc);
        grid.heapStorage().resize(h.heapChars);
        qFromLittleEndian<quint16>(raw.constData(), h.heapChars, grid.heapStorage().data());
    }
    if (crc != e.crc) return kCorrupt;
    *out = std::move(grid);
    return kOk;
}

void CReportFile::shapeLoadedPage(CSheetPage& page, uint32_t blobGeneration) {
    const ReportHeader& h = CommittedFormat().header;
    const bool wasDirty = page.IsDirty();
    bool changed = false;
    if (blobGeneration != h.formatGeneration) {
        auto it = m_remaps.find(blobGeneration);
        // A generation we hold no matrix for (a file written elsewhere):
        // rows and columns keep their positions.
        const RemapMatrix m =
            it != m_remaps.end()
                ? it->second
                : RemapMatrix::byPosition(page.GetRowCount(), page.GetColCount(), h.rows, h.cols);
        page.Reshape(m, h.varKind);
        changed = true;
    }
    if (page.GetRowCount() != h.rows || page.GetColCount() != h.cols) {
        page.Reshape(
            RemapMatrix::byPosition(page.GetRowCount(), page.GetColCount(), h.rows, h.cols),
            h.varKind);
        changed = true;
    }
    const uint16_t len = varLineLength();
    const SlotGrid& lines = page.VarLines();
    if (len == 0 && lines.lines()) {
        page.SetVarLines(SlotGrid());
        changed = true;
    } else if (len && lines.lines() == 0) {
        page.SetVarLines(defaultVarLines());  // what an absent blob means
    } else if (len && lines.lineLength() != len) {
        std::vector<uint16_t> keep(lines.lines()), pos(len);
        for (size_t i = 0; i < keep.size(); ++i) keep[i] = uint16_t(i + 1);
        for (size_t i = 0; i < pos.size(); ++i)
            pos[i] = i < lines.lineLength() ? uint16_t(i + 1) : 0;
        page.SetVarLines(lines.remapped(keep, pos));
        changed = true;
    }
    page.SetGeneration(h.formatGeneration);
    page.SetDirty(wasDirty || changed);
}

uint16_t CReportFile::loadPage(PageEntry& e, int number, std::shared_ptr<CSheetPage>* out) {
    if (e.page) {
        *out = e.page;
        touch(&e);
        return kOk;
    }
    try {
        std::shared_ptr<CSheetPage> page;
        if (e.source.kind == BlobSource::Empty) {
            const ReportHeader& h = CommittedFormat().header;
            page = std::make_shared<CSheetPage>(h.rows, h.cols);
            page->SetGeneration(h.formatGeneration);
            if (varLineLength()) page->SetVarLines(defaultVarLines());
            page->SetDirty(false);
        } else {
            CSheetPage* raw = nullptr;
            if (uint16_t s = decodeFixed(e.source, &raw)) return s;
            page.reset(raw);
            SlotGrid lines;
            if (uint16_t s = decodeVar(e.source, &lines, varLineLength())) return s;
            page->SetVarLines(std::move(lines));
            page->SetDirty(false);
            shapeLoadedPage(*page, e.generation);
        }
        page->AttachMarks(m_marks, number);
        e.page = page;
        *out = page;
        touch(&e);
        trimCache();
        return kOk;
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
}

std::shared_ptr<CSheetPage> CReportFile::Page(int page, uint16_t* status) {
    std::shared_ptr<CSheetPage> p;
    uint16_t s = code(Status::PageOutOfRange);
    if (page >= 1 && page <= PageCount()) s = loadPage(*m_pages[size_t(page - 1)], page, &p);
    if (status) *status = s;
    return s ? nullptr : p;
}

bool CReportFile::IsPageLoaded(int page) const {
    return page >= 1 && page <= PageCount() && m_pages[size_t(page - 1)]->page != nullptr;
}

int CReportFile::LoadedPageCount() const {
    return int(std::count_if(m_pages.begin(), m_pages.end(),
                             [](const auto& e) { return e->page != nullptr; }));
}

void CReportFile::touch(PageEntry* e) {
    if (e == m_pinned) return;
    if (e->inLru) {
        m_lru.erase(e->lruPos);
        m_lruBytes -= e->lruBytes;
    }
    m_lru.push_front(e);
    e->lruPos = m_lru.begin();
    e->inLru = true;
    e->lruBytes = e->page->MemoryBytes();
    m_lruBytes += e->lruBytes;
}

void CReportFile::SetPinnedPage(int page) {
    PageEntry* e = (page >= 1 && page <= PageCount()) ? m_pages[size_t(page - 1)].get() : nullptr;
    if (e == m_pinned) return;
    PageEntry* old = m_pinned;
    m_pinned = e;
    if (e && e->inLru) {
        m_lru.erase(e->lruPos);
        m_lruBytes -= e->lruBytes;
        e->inLru = false;
    }
    if (old && old->page) touch(old);
    trimCache();
}

void CReportFile::dropLoaded(PageEntry& e) {
    if (e.inLru) {
        m_lru.erase(e.lruPos);
        m_lruBytes -= e.lruBytes;
        e.inLru = false;
    }
    e.page.reset();
}

bool CReportFile::spill(PageEntry& e) {
    if (!m_spill) {
        // Pages are only ever read back through the open file: its name
        // goes at once, so nothing is left behind whatever happens.
        QString name;
        const int fd = CreateWorkFile(QStringLiteral(".spill"), &name);
        if (fd < 0) return false;
        ::unlink(QFile::encodeName(name).constData());
        m_spill = std::make_unique<QFile>();
        // Unbuffered: a write the disk has no room for must fail here, while
        // the page is still in memory, not when a buffer is flushed after
        // the page was let go (it would then read back as damaged).
        if (!m_spill->open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered,
                           QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            m_spill.reset();
            return false;
        }
    }
    FileSink sink(*m_spill);
    BlobSource src;
    src.kind = BlobSource::Spilled;
    if (!encodeFixed(*e.page, sink, &src.fixed)) return false;
    if (!encodeVar(*e.page, CommittedFormat().header.varKind, sink, &src.var)) return false;
    e.source = src;
    e.generation = e.page->Generation();
    return true;
}

void CReportFile::trimCache(bool full) {
    if (m_lru.size() <= size_t(kPageCacheSize) && m_lruBytes <= kPageCacheBytes) {
        m_trimFloor = 0;
        return;
    }
    if (!full && m_lru.size() < 2 * m_trimFloor) return;
    auto it = m_lru.end();
    while (m_lru.size() > size_t(kPageCacheSize) && it != m_lru.begin()) {
        --it;
        PageEntry* e = *it;
        // Pages someone still holds stay; dirty pages go to the spill file
        // first so nothing is lost.
        if (e->page.use_count() > 1) continue;
        if (e->page->IsDirty() && !spill(*e)) continue;
        auto next = std::next(it);
        dropLoaded(*e);
        it = next;
    }
    // Then the least recently used unchanged pages beyond the byte budget.
    for (it = m_lru.end(); m_lruBytes > kPageCacheBytes && it != m_lru.begin();) {
        --it;
        PageEntry* e = *it;
        if (e->page.use_count() > 1 || e->page->IsDirty()) continue;
        auto next = std::next(it);
        dropLoaded(*e);
        it = next;
    }
    const bool over = m_lru.size() > size_t(kPageCacheSize) || m_lruBytes > kPageCacheBytes;
    m_trimFloor = over ? m_lru.size() : 0;
}

void CReportFile::TrimPageMemory() { trimCache(true); }

uint16_t CReportFile::AppendPages(int count) { return InsertPages(PageCount() + 1, count); }

uint16_t CReportFile::InsertPages(int pos, int count) {
    if (count <= 0 || pos < 1 || pos > PageCount() + 1) return kRefused;
    if (size_t(PageCount()) + size_t(count) > kMaxPages) return code(Status::PageLimit);
    try {
        std::vector<std::unique_ptr<PageEntry>> fresh;
        fresh.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            fresh.push_back(std::make_unique<PageEntry>());
            fresh.back()->generation = CommittedFormat().header.formatGeneration;
        }
        m_pages.insert(m_pages.begin() + (pos - 1), std::make_move_iterator(fresh.begin()),
                       std::make_move_iterator(fresh.end()));
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    renumberLoadedPages();
    m_marks->NoteAll();
    return kOk;
}

uint16_t CReportFile::DeletePages(int pos, int count) {
    if (count <= 0 || pos < 1 || pos > PageCount()) return kRefused;
    const int n = std::min(count, PageCount() - pos + 1);
    for (int i = 0; i < n; ++i) {
        PageEntry& e = *m_pages[size_t(pos - 1 + i)];
        if (&e == m_pinned) m_pinned = nullptr;
        // Whoever still holds the page writes into nothing of ours.
        if (e.page) e.page->AttachMarks(nullptr, 0);
        dropLoaded(e);
    }
    m_pages.erase(m_pages.begin() + (pos - 1), m_pages.begin() + (pos - 1 + n));
    renumberLoadedPages();
    m_marks->NoteAll();
    return kOk;
}

void CReportFile::renumberLoadedPages() {
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i]->page) m_pages[i]->page->SetNumber(int(i + 1));
}

// ---------------------------------------------------------------------------
// Document streams

void CReportFile::SetDocumentStream(const QString& path, const QByteArray& data) {
    if (path.isEmpty() || isReportStream(path)) return;
    m_docOps[path.toLower()] = DocOp{path, data};
}

void CReportFile::RemoveDocumentEntry(const QString& path) {
    if (path.isEmpty() || isReportStream(path)) return;
    // Pending writes below a removed storage go too.
    const QString key = path.toLower();
    for (auto it = m_docOps.begin(); it != m_docOps.end();) {
        if (it->first.startsWith(key + '/'))
            it = m_docOps.erase(it);
        else
            ++it;
    }
    m_docOps[key] = DocOp{path, std::nullopt};
}

QByteArray CReportFile::DocumentStream(const QString& path) const {
    const QString key = path.toLower();
    for (const auto& [k, op] : m_docOps) {
        if (k == key) return op.data.value_or(QByteArray());
        if (!op.data && key.startsWith(k + '/')) return {};
    }
    if (ensureOpen() || m_cf->streamSize(path) < 0) return {};
    return m_cf->readAll(path);
}

// ---------------------------------------------------------------------------
// Saving

uint16_t CReportFile::writeReport(SaveWriter& w, CompoundFile& out,
                                  std::vector<BlobEntry>* fixedOut,
                                  std::vector<BlobEntry>* varOut) {
    const ReportHeader& h = m_format.header;
    const size_t n = m_pages.size();
    fixedOut->assign(n, {});
    varOut->assign(n, {});
    const uint64_t dirSize = directorySize(n);
    errno = 0;
    if (!out.createStream(pageStream()) || !out.createStream(varStream())) {
        w.fail(errno);
        return w.status();
    }
    StreamSink pages(out, pageStream(), w);
    StreamSink vars(out, varStream(), w);
    // Directories first as placeholders; the real ones are written over
    // them once every blob's place is known.
    if (!pages.putZeros(dirSize) || !vars.putZeros(dirSize)) return w.status();

    std::vector<char> buf;
    auto copyBlob = [&](const BlobSource& src, bool var, StreamSink& sink, BlobEntry* entry) {
        const BlobEntry& e = var ? src.var : src.fixed;
        *entry = e;
        if (e.length == 0) {
            entry->offset = 0;
            return kOk;
        }
        sink.beginBlob();
        if (src.kind == BlobSource::Stored) {
            // Straight from the file being replaced, checked by the next load
            // as it was before: the record's CRC travels with it.
            if (uint16_t s = ensureOpen()) return s;
            const QString& stream = var ? varStream() : pageStream();
            const qint64 size = m_cf->streamSize(stream);
            if (size < 0 || e.offset > uint64_t(size) || e.length > uint64_t(size) - e.offset)
                return kReadError;
            if (!sink.copy(*m_cf, stream, e.offset, e.length)) return w.status();
            entry->offset = sink.blobStart();
            return kOk;
        }
        buf.resize(kChunk);
        for (uint64_t done = 0; done < e.length;) {
            const uint64_t k = std::min<uint64_t>(kChunk, e.length - done);
            if (uint16_t s = readBlob(src, var, done, buf.data(), k)) return s;
            if (!sink.put(buf.data(), size_t(k), false)) return w.status();
            done += k;
        }
        entry->offset = sink.blobStart();
        return kOk;
    };
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> emptyCrc;  // shape -> CRC of the record

    for (size_t i = 0; i < n; ++i) {
        PageEntry& e = *m_pages[i];
        BlobEntry& fe = (*fixedOut)[i];
        BlobEntry& ve = (*varOut)[i];
        const bool current = e.generation == h.formatGeneration;
        const bool copyable =
            e.source.kind != BlobSource::Empty && current && (!e.page || !e.page->IsDirty());
        if (copyable) {
            if (uint16_t s = copyBlob(e.source, false, pages, &fe)) return s;
            if (uint16_t s = copyBlob(e.source, true, vars, &ve)) return s;
            continue;
        }
        if (e.page) {
            if (!encodeFixed(*e.page, pages, &fe) || !encodeVar(*e.page, h.varKind, vars, &ve))
                return w.status();
            continue;
        }
        if (e.source.kind == BlobSource::Empty) {
            // A page nobody has touched: its record is written, never built.
            PageRecordHeader ph;
            ph.rows = h.rows;
            ph.cols = h.cols;
            ph.generation = h.formatGeneration;
            const QByteArray head = encodePageRecordHeader(ph);
            const uint64_t zeros = uint64_t(h.rows) * h.cols * kSlotSize;
            pages.beginBlob();
            if (!pages.put(head.constData(), size_t(head.size()))) return w.status();
            if (!pages.putZeros(zeros)) return w.status();
            const auto key = std::make_pair(uint32_t(h.rows) << 16 | h.cols, h.formatGeneration);
            auto it = emptyCrc.find(key);
            if (it == emptyCrc.end())
                it = emptyCrc.emplace(key, crc32Zeros(zeros, pages.crc())).first;
            pages.addZeroCrc(it->second);
            fe = {pages.blobStart(), pages.blobLength(), pages.crc(), h.formatGeneration, 0};
            ve = {0, 0, 0, h.formatGeneration, 0};
            continue;
        }
        // Stored in an older shape: load it alone, reshape, write, let go.
        std::shared_ptr<CSheetPage> page;
        {
            CSheetPage* raw = nullptr;
            if (uint16_t s = decodeFixed(e.source, &raw)) return s;
            page.reset(raw);
            SlotGrid lines;
            if (uint16_t s = decodeVar(e.source, &lines, 0)) return s;
            page->SetVarLines(std::move(lines));
            shapeLoadedPage(*page, e.generation);
        }
        if (!encodeFixed(*page, pages, &fe) || !encodeVar(*page, h.varKind, vars, &ve))
            return w.status();
    }
    const QByteArray pageDir = encodeDirectory(kPageDirMagic, *fixedOut);
    const QByteArray varDir = encodeDirectory(kVarDirMagic, *varOut);
    pages.setPos(0);
    vars.setPos(0);
    if (!pages.put(pageDir.constData(), size_t(pageDir.size()), false) ||
        !vars.put(varDir.constData(), size_t(varDir.size()), false))
        return w.status();
    return kOk;
}

uint16_t CReportFile::writeDocumentEntries(SaveWriter& w, CompoundFile& out) {
    auto removed = [&](const QString& lowerPath) {
        for (const auto& [k, op] : m_docOps)
            if (!op.data && (lowerPath == k || lowerPath.startsWith(k + '/'))) return true;
        return false;
    };
    auto writeStream = [&](const QString& path, const QByteArray& data) {
        errno = 0;
        if (!out.createStream(path)) return w.fail(errno);
        StreamSink sink(out, path, w);
        return sink.put(data.constData(), size_t(data.size()), false);
    };
    std::set<QString> written;
    if ((m_sourceFd >= 0 || (!m_path.isEmpty() && QFileInfo::exists(m_path))) && !ensureOpen()) {
        for (const CompoundFile::Entry& e : m_cf->allEntries()) {
            if (!e.path.contains('/') && isReportStream(e.path)) continue;
            const QString key = e.path.toLower();
            if (removed(key)) continue;
            if (e.isStorage) {
                errno = 0;
                if (!out.createStorage(e.path)) {
                    w.fail(errno);
                    return w.status();
                }
                continue;
            }
            auto op = m_docOps.find(key);
            if (op != m_docOps.end() && op->second.data) {
                if (!writeStream(e.path, *op->second.data)) return w.status();
                written.insert(key);
                continue;
            }
            errno = 0;
            if (!out.createStream(e.path)) {
                w.fail(errno);
                return w.status();
            }
            StreamSink sink(out, e.path, w);
            if (!sink.copy(*m_cf, e.path, 0, e.size)) return w.status();
        }
    }
    for (const auto& [key, op] : m_docOps) {
        if (!op.data || written.count(key)) continue;
        const QStringList parts = op.path.split('/', Qt::SkipEmptyParts);
        QString prefix;
        for (int i = 0; i + 1 < parts.size(); ++i) {
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral("/")) + parts[i];
            if (!out.exists(prefix)) {
                errno = 0;
                if (!out.createStorage(prefix)) {
                    w.fail(errno);
                    return w.status();
                }
            }
        }
        if (!writeStream(op.path, *op.data)) return w.status();
    }
    return kOk;
}

namespace {

// Copies a whole file into an open, empty one in chunks through the fault
// hook, and syncs it.
uint16_t copyFileInto(int in, int out, CReportFile::SaveWriter& w) {
    struct stat st {};
    if (::fstat(in, &st) != 0) return kReadError;
    uint16_t status = kOk;
    std::vector<char> buf;
    bool useCopyRange = true;
    const uint64_t size = uint64_t(st.st_size);
    for (uint64_t done = 0; done < size && !status;) {
        const size_t k = size_t(std::min<uint64_t>(kChunk, size - done));
        if (!w.account(k)) {
            status = w.status();
            break;
        }
        if (useCopyRange) {
            // The kernel copies without passing the bytes through us (and
            // shares extents where the file system can).
            // A signal arriving meanwhile (a child process ending, a timer)
            // interrupts the copy; that is no failure of the disk.
            loff_t inPos = loff_t(done), outPos = loff_t(done);
            ssize_t got;
            do {
                got = ::copy_file_range(in, &inPos, out, &outPos, k, 0);
            } while (got < 0 && errno == EINTR);
            if (got > 0) {
                done += uint64_t(got);
                continue;
            }
            if (got == 0) {
                status = kReadError;  // the file shrank under us
                break;
            }
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                errno != EBADF) {
                w.fail(errno);
                status = w.status();
                break;
            }
            useCopyRange = false;
        }
        buf.resize(k);
        ssize_t got;
        do {
            got = ::pread(in, buf.data(), k, off_t(done));
        } while (got < 0 && errno == EINTR);
        if (got != ssize_t(k)) {
            status = kReadError;
            break;
        }
        for (size_t put = 0; put < k;) {
            const ssize_t n = ::pwrite(out, buf.data() + put, k - put, off_t(done + put));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                w.fail(errno);
                status = w.status();
                break;
            }
            put += size_t(n);
        }
        done += k;
    }
    if (!status && ::fsync(out) != 0) {
        w.fail(errno);
        status = w.status();
    }
    return status;
}

}  // namespace

uint16_t qor::CopyFileInto(const QString& from, int to) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return kReadError;
    CReportFile::SaveWriter w(false);
    const uint16_t status = copyFileInto(in, to, w);
    ::close(in);
    return status;
}

uint16_t CReportFile::Save(const QString& targetPath, const SaveOptions& options) {
    try {
        if (IsFormatEditing()) {
            CommitFormatEdit();
            BeginFormatEdit();
        }
        ReportHeader& h = m_format.header;
        h.pageCount = uint32_t(m_pages.size());
        if (IsFormatEditing())
            h.flags |= kFlagFormatState;
        else
            h.flags &= ~kFlagFormatState;
        // The mark belongs to the file on disk, not to what we write.
        h.inUse = false;
        h.inUseComputer.clear();
        if (m_committed) m_committed->header = h;
        // Formats that failed their check are not written as if they were
        // the report's.
        if (uint16_t s = m_format.cellFormats.load()) return s;
        if (uint16_t s = FormatLoadStatus()) return s;
        RepStreamEncoder rep(m_format);

        // Refuse early when the disk obviously cannot take the new file.
        quint64 estimate = quint64(rep.size()) + 2 * directorySize(m_pages.size()) + 65536;
        for (const auto& e : m_pages) {
            if (e->source.kind == BlobSource::Empty && !e->page)
                estimate += pageRecordLength(h.rows, h.cols, 0);
            else if (e->page)
                estimate += pageRecordLength(h.rows, h.cols, e->page->Fixed().heapChars());
            else
                estimate += e->source.fixed.length + e->source.var.length;
        }
        const QString dir = WorkFolder();
        if (freeBytes(dir) < estimate) return kDiskFull;

        // The new file is made in the work folder under a name of its own,
        // so no other save and no planted link can share it.
        // It is never opened by its name again: the descriptor made with
        // it is written, synced, read from and copied from.
        QString newPath;
        SaveWriter w;
        std::vector<BlobEntry> fixed, var;
        uint16_t status = kOk;
        int newFd = -1;
        // Kept to read pages from once the save succeeds: its tables are
        // those the file now holds, so the new file is not loaded again.
        std::unique_ptr<CompoundFile> out;
        {
            QString err;
            errno = 0;
            const int fd = CreateWorkFile(QStringLiteral(".rep"), &newPath);
            if (fd >= 0) newFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            out = fd >= 0 && newFd >= 0 ? CompoundFile::createOnHandle(fd, newPath, &err) : nullptr;
            if (fd >= 0 && newFd < 0) ::close(fd);
            if (out) out->setWriteBehind(kWriteBehindStep);
            if (!out) {
                w.fail(errno);
                status = w.status();
            }
            if (!status) {
                errno = 0;
                if (!out->createStream(repStream())) {
                    w.fail(errno);
                    status = w.status();
                }
            }
            if (!status) {
                StreamSink sink(*out, repStream(), w);
                // Written as it is encoded, a megabyte at a time: the stream
                // of a report of millions of labels is never held whole
                // beside them, and it goes to regular sectors from the first
                // write, as one written whole does.
                QByteArray pending;
                pending.reserve(qsizetype(kChunk));
                const auto flush = [&] {
                    const bool ok = sink.put(pending.constData(), size_t(pending.size()), false);
                    pending.resize(0);
                    return ok;
                };
                if (!rep.write([&](QByteArrayView piece) {
                        if (pending.size() >= kMinRepStreamSize && size_t(piece.size()) >= kChunk)
                            return flush() && sink.put(piece.data(), size_t(piece.size()), false);
                        pending.append(piece);
                        return size_t(pending.size()) < kChunk || flush();
                    }) ||
                    !flush())
                    status = w.status();
            }
            if (!status) status = writeReport(w, *out, &fixed, &var);
            if (!status) status = writeDocumentEntries(w, *out);
            if (!status) {
                errno = 0;
                if (!out->commit()) {
                    w.fail(errno);
                    status = w.status();
                }
            }
        }
        if (!status && ::fsync(newFd) != 0) status = kWriteError;
        if (status) {
            out.reset();
            if (newFd >= 0) ::close(newFd);
            if (!newPath.isEmpty()) QFile::remove(newPath);
            return status;
        }

        // The new file is now the one pages are read from.
        m_cf.reset();
        if (m_ownsFile) ::unlink(QFile::encodeName(m_path).constData());
        if (m_sourceFd >= 0) ::close(m_sourceFd);
        m_sourceFd = newFd;
        m_path = newPath;
        m_ownsFile = true;
        for (size_t i = 0; i < m_pages.size(); ++i) {
            PageEntry& e = *m_pages[i];
            e.source.kind = BlobSource::Stored;
            e.source.fixed = fixed[i];
            e.source.var = var[i];
            e.generation = h.formatGeneration;
            if (e.page) e.page->SetDirty(false);
        }
        m_remaps.clear();
        m_docOps.clear();
        if (m_spill) m_spill->resize(0);
        m_cf = std::move(out);

        if (targetPath.isEmpty()) return kOk;

        // A temporary beside the target, then a rename: the target is whole
        // at every moment, old or new. The temporary is locked before it
        // becomes the report, so the writer's lock moves with it.
        const QString targetDir = QFileInfo(targetPath).absolutePath();
        struct stat st {};
        const bool targetExists = ::stat(QFile::encodeName(targetPath).constData(), &st) == 0;
        if (targetExists && options.noReplace) return code(Status::CannotCreate);
        InUseMark mark;
        const bool keepMark = targetExists && ReadInUseMark(targetPath, &mark) && mark.inUse;
        struct stat workSt {};
        if (::fstat(m_sourceFd, &workSt) != 0) return kReadError;
        const quint64 size = quint64(workSt.st_size);
        SafeFileWriter tmp(targetPath);
        // The working file is whole and synced: on the target's file
        // system it becomes the report under a second name, and the file
        // is written once. Elsewhere it is copied.
        if (tmp.openLinkTo(m_sourceFd)) {
            // What the copy would have written, for the fault hook.
            if (!w.account(size)) status = w.status();
        } else {
            if (freeBytes(targetDir) < size) return kDiskFull;
            if (!tmp.open()) {
                w.fail(tmp.error());
                return w.status();
            }
            status = copyFileInto(m_sourceFd, tmp.handle(), w);
        }
        // Through the open file itself: the temporary's name is in a folder
        // others may write to.
        if (!status && keepMark && !WriteInUseMark(HandlePath(tmp.handle()), mark, false))
            status = kWriteError;
        if (!status && !tmp.commit(options.noReplace)) {
            if (options.noReplace && tmp.error() == EEXIST) return code(Status::CannotCreate);
            if (options.ownerNotKept) *options.ownerNotKept = tmp.ownerNotKept();
            w.fail(tmp.error());
            status = w.status();
        }
        if (status) return status;
        if (options.lockHandle) *options.lockHandle = tmp.takeHandle();
        return kOk;
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
}
