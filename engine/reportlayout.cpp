#include "engine/reportlayout.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QOR_CRC_FOLDING 1
#endif

#include "engine/status.h"

namespace qor {

// ---------------------------------------------------------------------------
// CRC-32, slicing by eight (page records are tens of megabytes)

namespace {

struct CrcTables {
    uint32_t t[8][256];
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

const CrcTables& crcTables() {
    static const CrcTables tables;
    return tables;
}

#ifdef QOR_CRC_FOLDING
#define QOR_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

QOR_FOLD_TARGET inline __m128i loadBlock(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// acc times the folding constants, added to the next block.
QOR_FOLD_TARGET inline __m128i foldBlock(__m128i acc, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, next), lo);
}

// Folding constants (x^(d+32) and x^(d-32) modulo the polynomial, bit
// reflected) for folding over d bits.
alignas(16) const uint64_t kFold512[] = {0x0154442bd4, 0x01c6e41596};
alignas(16) const uint64_t kFold2048[] = {0x011542778a, 0x01322d1430};

// Carry-less multiplication folds 64 bytes a step, several times faster
// than the tables: every page read checks the CRC of its whole record.
// Goes on from four accumulators over the 64 bytes before buf (the running
// value already added); len a multiple of 16.
QOR_FOLD_TARGET uint32_t crcFoldFrom(__m128i x1, __m128i x2, __m128i x3, __m128i x4,
                                     const uint8_t* buf, size_t len) {
    alignas(16) static const uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const uint64_t poly[] = {0x01db710641, 0x01f7011641};

    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold512));
    while (len >= 64) {
        x1 = foldBlock(x1, k, loadBlock(buf));
        x2 = foldBlock(x2, k, loadBlock(buf + 16));
        x3 = foldBlock(x3, k, loadBlock(buf + 32));
        x4 = foldBlock(x4, k, loadBlock(buf + 48));
        buf += 64;
        len -= 64;
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = foldBlock(x1, k, x2);
    x1 = foldBlock(x1, k, x3);
    x1 = foldBlock(x1, k, x4);
    while (len >= 16) {
        x1 = foldBlock(x1, k, loadBlock(buf));
        buf += 16;
        len -= 16;
    }
    // 128 bits to 64, then Barrett reduction to 32.
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x00), x2);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_and_si128(x1, mask32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x10);
    x2 = _mm_and_si128(x2, mask32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return uint32_t(_mm_extract_epi32(x1, 1));
}

// Takes and returns the inverted running value; len >= 64, a multiple of 16.
QOR_FOLD_TARGET uint32_t crcFold(const uint8_t* buf, size_t len, uint32_t c) {
    __m128i x1 = loadBlock(buf), x2 = loadBlock(buf + 16), x3 = loadBlock(buf + 32),
            x4 = loadBlock(buf + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(int(c)));
    return crcFoldFrom(x1, x2, x3, x4, buf + 64, len - 64);
}

#define QOR_WIDE_FOLD_TARGET \
    __attribute__((target("avx512f,avx512vl,avx512bw,vpclmulqdq,pclmul,sse4.1")))

// a times the constants, added to next, in each 128-bit lane.
QOR_WIDE_FOLD_TARGET inline __m512i foldWide(__m512i a, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(a, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(a, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // three-way xor
}

// The same fold over 512-bit registers, 256 bytes a step: a page record's
// check then costs less than copying it. The four registers are folded
// into one, whose lanes go on as the four accumulators above.
// len >= 256, a multiple of 16.
QOR_WIDE_FOLD_TARGET uint32_t crcFoldWide(const uint8_t* buf, size_t len, uint32_t c) {
    __m512i z1 = _mm512_loadu_si512(buf), z2 = _mm512_loadu_si512(buf + 64),
            z3 = _mm512_loadu_si512(buf + 128), z4 = _mm512_loadu_si512(buf + 192);
    z1 = _mm512_xor_si512(z1, _mm512_setr_epi32(int(c), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    buf += 256;
    len -= 256;
    const auto lo2048 = static_cast<long long>(kFold2048[0]),
               hi2048 = static_cast<long long>(kFold2048[1]);
    __m512i k = _mm512_setr_epi64(lo2048, hi2048, lo2048, hi2048, lo2048, hi2048, lo2048, hi2048);
    while (len >= 256) {
        z1 = foldWide(z1, k, _mm512_loadu_si512(buf));
        z2 = foldWide(z2, k, _mm512_loadu_si512(buf + 64));
        z3 = foldWide(z3, k, _mm512_loadu_si512(buf + 128));
        z4 = foldWide(z4, k, _mm512_loadu_si512(buf + 192));
        buf += 256;
        len -= 256;
    }
    const auto lo512 = static_cast<long long>(kFold512[0]),
               hi512 = static_cast<long long>(kFold512[1]);
    k = _mm512_setr_epi64(lo512, hi512, lo512, hi512, lo512, hi512, lo512, hi512);
    z1 = foldWide(z1, k, z2);
    z1 = foldWide(z1, k, z3);
    z1 = foldWide(z1, k, z4);
    alignas(64) uint8_t lanes[64];
    _mm512_store_si512(lanes, z1);
    return crcFoldFrom(loadBlock(lanes), loadBlock(lanes + 16), loadBlock(lanes + 32),
                       loadBlock(lanes + 48), buf, len);
}

bool canFold() {
    static const bool yes = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return yes;
}

bool canFoldWide() {
    static const bool yes = canFold() && __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512vl") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("vpclmulqdq");
    return yes;
}
#endif

}  // namespace

uint32_t crc32Tables(const void* data, size_t len, uint32_t crc) {
    const auto& t = crcTables().t;
    const auto* p = static_cast<const uint8_t*>(data);
    uint32_t c = ~crc;
    while (len >= 8) {
        const uint32_t lo =
            (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) ^
            c;
        const uint32_t hi =
            uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        len -= 8;
    }
    while (len--) c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return ~c;
}

uint32_t crc32(const void* data, size_t len, uint32_t crc) {
#ifdef QOR_CRC_FOLDING
    if (len >= 256 && canFold()) {
        const auto* p = static_cast<const uint8_t*>(data);
        const size_t bulk = len & ~size_t(15);
        crc = len >= 1024 && canFoldWide() ? ~crcFoldWide(p, bulk, ~crc) : ~crcFold(p, bulk, ~crc);
        return crc32Tables(p + bulk, len - bulk, crc);
    }
#endif
    return crc32Tables(data, len, crc);
}

uint32_t crc32Zeros(size_t n, uint32_t crc) {
    static const std::vector<char> zeros(1 << 16, '\0');
    while (n) {
        const size_t k = std::min(n, zeros.size());
        crc = crc32(zeros.data(), k, crc);
        n -= k;
    }
    return crc;
}

// ---------------------------------------------------------------------------
// Cell format table

struct CellFormatTable::Pending {
    std::mutex mutex;
    std::shared_ptr<CellFormatSource> source;
    size_t size = 0;
    std::shared_ptr<Words> words;  // once read whole (default words on failure)
    uint16_t status = 0;
    // The words read around the one word asked for first.
    size_t windowFirst = 0;
    std::vector<uint64_t> window;
    bool peeked = false;

    // Under the mutex.
    void loadWhole() {
        if (words) return;
        auto w = std::make_shared<Words>();
        try {
            status = source->load(w.get());
        } catch (const std::bad_alloc&) {
            status = code(Status::OutOfMemory);
        }
        if (status || w->size() != size) {
            if (!status) status = code(Status::CorruptReport);
            // Nothing of a table that failed its check is used.
            w = std::make_shared<Words>(size, kDefaultCellFormat);
        }
        words = std::move(w);
        window.clear();
        source.reset();
    }
};

CellFormatTable::CellFormatTable(Words&& words)
    : m_words(std::make_shared<Words>(std::move(words))) {}

CellFormatTable::CellFormatTable(const std::vector<uint64_t>& words)
    : m_words(std::make_shared<Words>(words.begin(), words.end())) {}

CellFormatTable& CellFormatTable::operator=(Words&& words) {
    m_words = std::make_shared<Words>(std::move(words));
    m_pending.reset();
    m_status = 0;
    return *this;
}

CellFormatTable CellFormatTable::pending(size_t n, std::shared_ptr<CellFormatSource> source) {
    CellFormatTable t;
    t.m_pending = std::make_shared<Pending>();
    t.m_pending->source = std::move(source);
    t.m_pending->size = n;
    t.m_pendingSize = n;
    return t;
}

void CellFormatTable::assign(size_t n, uint64_t word) {
    m_words = std::make_shared<Words>(n, word);
    m_pending.reset();
    m_status = 0;
}

bool CellFormatTable::resolved() const {
    if (m_pending) {
        {
            std::lock_guard lock(m_pending->mutex);
            m_pending->loadWhole();
            m_words = m_pending->words;
            m_status = m_pending->status;
        }
        m_pending.reset();
    }
    return m_words != nullptr;
}

uint16_t CellFormatTable::load() const {
    resolved();
    return m_status;
}

uint16_t CellFormatTable::pendingStatus() const {
    std::lock_guard lock(m_pending->mutex);
    return m_pending->status;
}

uint64_t CellFormatTable::word(size_t i) const {
    Pending& p = *m_pending;
    {
        std::lock_guard lock(p.mutex);
        if (!p.words && i >= p.windowFirst && i - p.windowFirst < p.window.size())
            return p.window[i - p.windowFirst];
        if (!p.words && !p.peeked) {
            // The block of words around it: a cell's neighbours (its
            // combined area, the rest of its row) are often asked next.
            constexpr size_t kWindow = 1024;
            p.peeked = true;
            const size_t first = i / kWindow * kWindow;
            std::vector<uint64_t> w(std::min(kWindow, p.size - first));
            uint16_t st = 0;
            try {
                st = p.source->peek(first, w.size(), w.data());
            } catch (const std::bad_alloc&) {
                st = code(Status::OutOfMemory);
            }
            if (!st) {
                p.windowFirst = first;
                p.window = std::move(w);
                return p.window[i - first];
            }
        }
    }
    resolved();
    return (*m_words)[i];
}

CellFormatTable::Words& CellFormatTable::own() {
    resolved();
    if (!m_words)
        m_words = std::make_shared<Words>();
    else if (m_words.use_count() > 1)
        m_words = std::make_shared<Words>(*m_words);
    return *m_words;
}

bool CellFormatTable::operator==(const CellFormatTable& other) const {
    if (sharesWith(other)) return true;
    return size() == other.size() && std::equal(begin(), end(), other.begin());
}

// ---------------------------------------------------------------------------
// Header

namespace {

constexpr uint16_t kStatusOk = 0;
constexpr uint16_t kUnsupported = code(Status::UnsupportedVersion);
constexpr uint16_t kCorrupt = code(Status::CorruptReport);

bool majorTooHigh(uint16_t revision, uint16_t ours) {
    return (revision & kRevisionMajorMask) > (ours & kRevisionMajorMask);
}

// "QORd.dd": a version text of this family (ours, older or newer ones).
bool looksLikeVersionText(const QByteArray& v) {
    if (v == "QOR7.xx") return true;
    if (v.size() != 7 || !v.startsWith("QOR")) return false;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(v[3]) && v[4] == '.' && digit(v[5]) && digit(v[6]);
}

uint32_t headerCrc(const char* data) {
    uint32_t c = crc32(data, kMarkerOffset);
    c = crc32Zeros(kMarkerLength, c);
    return crc32(data + kMarkerOffset + kMarkerLength,
                 kHeaderCrcOffset - (kMarkerOffset + kMarkerLength), c);
}

}  // namespace

QByteArray versionTextOf(const QByteArray& streamStart) {
    QByteArray v = streamStart.left(8);
    const qsizetype nul = v.indexOf('\0');
    if (nul < 0) return {};
    v.truncate(nul);
    return v;
}

QByteArray encodeHeader(const ReportHeader& h) {
    QByteArray out;
    out.reserve(kHeaderSize);
    ByteWriter w(out);
    QByteArray version = h.versionText.left(7);
    w.bytes(version);
    w.zeros(8 - size_t(version.size()));
    w.u16(kHeaderSize);
    w.u16(h.revision);
    w.u32(h.flags);
    w.u16(h.rows);
    w.u16(h.cols);
    w.u16(h.varKind);
    w.u16(h.varStart);
    w.u16(h.varExtent);
    w.u16(h.userKeywordType);
    w.u32(h.pageCount);
    w.u32(h.formulaCount);
    w.u32(h.formatGeneration);
    for (const KeywordSlot& k : h.keywords) {
        w.u16(k.row);
        w.u16(k.col);
        w.i16(k.textOffset);
        w.u16(k.flags);
    }
    w.utf16z(h.userKeywordName, 30);
    w.bytes(encodeScrambledText(h.formatPassword, 26));
    for (uint32_t v : h.viewState) w.u32(v);
    for (int32_t m : h.pageSetup.margins) w.i32(m);
    w.f32(h.pageSetup.scale);
    w.i32(h.pageSetup.titleSwitch);
    w.i32(h.pageSetup.headFlag);
    w.i32(h.pageSetup.headFirst);
    w.i32(h.pageSetup.headLast);
    w.i32(h.pageSetup.tailFlag);
    w.i32(h.pageSetup.tailFirst);
    w.i32(h.pageSetup.tailLast);
    Q_ASSERT(w.pos() == size_t(kMarkerOffset));
    w.bytes(encodeInUseMark({h.inUse, h.inUseComputer}));
    w.zeros(kSectionDirOffset - w.pos());
    for (int i = 0; i < kMaxSections; ++i) {
        const SectionEntry e = i < int(h.sections.size()) ? h.sections[size_t(i)] : SectionEntry{};
        w.u32(e.tag);
        w.u32(e.offset);
        w.u32(e.length);
    }
    for (int i = 0; i < kMaxSections; ++i)
        w.u32(i < int(h.sections.size()) ? h.sections[size_t(i)].crc : 0);
    w.zeros(kHeaderCrcOffset - w.pos());
    w.u32(headerCrc(out.constData()));
    Q_ASSERT(out.size() == kHeaderSize);
    return out;
}

uint16_t decodeHeader(const char* data, size_t size, ReportHeader* out) {
    if (size < 8) return kCorrupt;
    const QByteArray version = versionTextOf(QByteArray(data, 8));
    if (version != kReportVersionText) {
        return looksLikeVersionText(version) ? kUnsupported : kCorrupt;
    }
    if (size < size_t(kHeaderSize)) return kCorrupt;
    ByteReader r(data, kHeaderSize);
    r.skip(8);
    if (r.u16() != kHeaderSize) return kCorrupt;
    ReportHeader h;
    h.versionText = version;
    h.revision = r.u16();
    if (majorTooHigh(h.revision, kLayoutRevision)) return kUnsupported;
    r.seek(kHeaderCrcOffset);
    if (r.u32() != headerCrc(data)) return kCorrupt;

    r.seek(12);
    h.flags = r.u32();
    h.rows = r.u16();
    h.cols = r.u16();
    h.varKind = r.u16();
    h.varStart = r.u16();
    h.varExtent = r.u16();
    h.userKeywordType = r.u16();
    h.pageCount = r.u32();
    h.formulaCount = r.u32();
    h.formatGeneration = r.u32();
    for (KeywordSlot& k : h.keywords) {
        k.row = r.u16();
        k.col = r.u16();
        k.textOffset = r.i16();
        k.flags = r.u16();
    }
    h.userKeywordName = r.utf16z(30);
    h.formatPassword = decodeScrambledText(data + r.pos(), 26);
    r.skip(26);
    for (uint32_t& v : h.viewState) v = r.u32();
    for (int32_t& m : h.pageSetup.margins) m = r.i32();
    h.pageSetup.scale = r.f32();
    h.pageSetup.titleSwitch = r.i32();
    h.pageSetup.headFlag = r.i32();
    h.pageSetup.headFirst = r.i32();
    h.pageSetup.headLast = r.i32();
    h.pageSetup.tailFlag = r.i32();
    h.pageSetup.tailFirst = r.i32();
    h.pageSetup.tailLast = r.i32();
    const InUseMark mark = decodeInUseMark(data + kMarkerOffset, kMarkerLength);
    h.inUse = mark.inUse;
    h.inUseComputer = mark.computer;
    r.seek(kSectionDirOffset);
    std::set<uint32_t> tags;
    for (int i = 0; i < kMaxSections; ++i) {
        SectionEntry e;
        e.tag = r.u32();
        e.offset = r.u32();
        e.length = r.u32();
        if (e.tag == 0) continue;
        if (!tags.insert(e.tag).second) return kCorrupt;
        if (e.offset < uint32_t(kHeaderSize)) return kCorrupt;
        e.crc = qFromLittleEndian<quint32>(data + kSectionCrcOffset + 4 * i);
        h.sections.push_back(e);
    }
    if (!r.ok()) return kCorrupt;

    if (h.rows < 1 || h.rows > kMaxRows || h.cols < 1 || h.cols > kMaxCols) return kCorrupt;
    if (h.pageCount > kMaxPages || h.formulaCount > kMaxFormulas) return kCorrupt;
    if (h.varKind > 2) return kCorrupt;
    if (h.varKind == 1 && (h.varStart < 1 || h.varStart > h.rows || h.varExtent > kMaxRows - 1))
        return kCorrupt;
    if (h.varKind == 2 && (h.varStart < 1 || h.varStart > h.cols || h.varExtent > kMaxCols - 1))
        return kCorrupt;
    for (const KeywordSlot& k : h.keywords)
        if (k.row > h.rows || k.col > h.cols) return kCorrupt;
    *out = std::move(h);
    return kStatusOk;
}

// ---------------------------------------------------------------------------
// Format sections

ReportFormat ReportFormat::newReport() {
    ReportFormat f;
    f.header.flags = kFlagFormatState;
    f.rowRecs.assign(f.header.rows, RowColRecord{kDefaultRowHeight, 0, 0});
    f.colRecs.assign(f.header.cols, RowColRecord{kDefaultColWidth, 0, 0});
    f.cellFormats.assign(size_t(f.header.rows) * f.header.cols, kDefaultCellFormat);
    return f;
}

namespace {

void sectionHead(ByteWriter& w) {
    w.u16(kSectionRevision);
    w.u16(0);
}

void writeArea(ByteWriter& w, const AreaRecord& a) {
    w.u16(a.r1);
    w.u16(a.c1);
    w.u16(a.r2);
    w.u16(a.c2);
}

AreaRecord readArea(ByteReader& r) {
    AreaRecord a;
    a.r1 = r.u16();
    a.c1 = r.u16();
    a.r2 = r.u16();
    a.c2 = r.u16();
    return a;
}

bool areaInside(const AreaRecord& a, uint16_t rows, uint16_t cols) {
    return a.r1 >= 1 && a.c1 >= 1 && a.r1 <= a.r2 && a.c1 <= a.c2 && a.r2 <= rows && a.c2 <= cols;
}

// Exactly count records (the header's rows or columns): a short vector is
// padded with defaults so the file stays readable whatever the model holds.
QByteArray encodeRowCols(const std::vector<RowColRecord>& recs, size_t count,
                         uint16_t defaultSize) {
    QByteArray b;
    b.reserve(4 + qsizetype(count) * 4);
    ByteWriter w(b);
    sectionHead(w);
    for (size_t i = 0; i < count; ++i) {
        const RowColRecord rc = i < recs.size() ? recs[i] : RowColRecord{defaultSize, 0, 0};
        w.u16(rc.size);
        w.u8(rc.line);
        w.u8(rc.reserved);
    }
    return b;
}

QByteArray encodeCellFormats(const ReportFormat& f) {
    QByteArray b;
    const size_t n = size_t(f.header.rows) * f.header.cols;
    b.reserve(qsizetype(8 + n * 8));
    ByteWriter w(b);
    sectionHead(w);
    w.u16(f.header.rows);
    w.u16(f.header.cols);
    const qsizetype at = b.size();
    b.resize(at + qsizetype(n * 8));
    const size_t have = std::min(n, f.cellFormats.size());
    if (have) qToLittleEndian<quint64>(f.cellFormats.data(), qsizetype(have), b.data() + at);
    for (size_t i = have; i < n; ++i)
        qToLittleEndian<quint64>(kDefaultCellFormat, b.data() + at + qsizetype(i * 8));
    return b;
}

// The labels section a piece at a time: it grows with the report's texts,
// so the stream takes it straight from the labels and never holds it on
// its own as well (its size and check sum come from a first walk).
template <class Sink>
void encodeLabelsInPieces(const ReportFormat& f, Sink sink) {
    constexpr qsizetype kPiece = qsizetype(1) << 16;
    QByteArray piece;
    piece.reserve(kPiece + 1024);
    ByteWriter w(piece);
    sectionHead(w);
    w.u32(uint32_t(f.labels.size()));
    for (const auto& [key, text] : f.labels) {
        const QStringView t = QStringView(text).left(kMaxLabelChars);
        w.u16(uint16_t(key >> 16));
        w.u16(uint16_t(key & 0xFFFF));
        w.u16(uint16_t(t.size()));
        w.utf16(t);
        if (piece.size() >= kPiece) {
            sink(piece);
            piece.resize(0);
        }
    }
    sink(piece);
}

QByteArray encodeCombined(const ReportFormat& f) {
    QByteArray b;
    ByteWriter w(b);
    sectionHead(w);
    w.u32(uint32_t(f.combined.size()));
    for (const AreaRecord& a : f.combined) writeArea(w, a);
    return b;
}

QByteArray encodeAreaLines(const ReportFormat& f) {
    QByteArray b;
    ByteWriter w(b);
    sectionHead(w);
    w.u32(uint32_t(f.areaLines.size()));
    for (const AreaLineRecord& a : f.areaLines) {
        w.u16(a.style);
        w.u16(a.r1);
        w.u16(a.c1);
        w.u16(a.direction);
        w.u16(a.r2);
        w.u16(a.c2);
    }
    return b;
}

QByteArray encodeFormulas(const ReportFormat& f) {
    QByteArray b;
    ByteWriter w(b);
    sectionHead(w);
    w.u32(uint32_t(f.formulas.size()));
    for (const FormulaRecord& fr : f.formulas) {
        const QStringView t = QStringView(fr.text).left(kMaxFormulaChars);
        writeArea(w, fr.area);
        w.u16(fr.kind);
        w.u16(fr.state);
        w.u16(uint16_t(t.size()));
        w.utf16(t);
    }
    return b;
}

QByteArray encodeAudit(const ReportFormat& f) {
    QByteArray b;
    ByteWriter w(b);
    sectionHead(w);
    const QStringView t = QStringView(f.auditText).left(kMaxAuditChars);
    w.u32(uint32_t(t.size()));
    w.utf16(t);
    return b;
}

void writeShortText(ByteWriter& w, const QString& text) {
    const QStringView t = QStringView(text).left(0xFFFF);
    w.u16(uint16_t(t.size()));
    w.utf16(t);
}

QByteArray encodeRounding(const ReportFormat& f) {
    QByteArray b;
    ByteWriter w(b);
    sectionHead(w);
    writeShortText(w, f.rounding.tableName);
    writeShortText(w, f.rounding.range);
    w.u16(f.rounding.digits);
    w.u32(uint32_t(f.rounding.formula.size()));
    w.utf16(f.rounding.formula);
    return b;
}

// Reads the revision word of a known section; false for a higher major.
bool readSectionHead(ByteReader& r, uint16_t* status) {
    const uint16_t rev = r.u16();
    r.u16();
    if (!r.ok()) {
        *status = kCorrupt;
        return false;
    }
    if (majorTooHigh(rev, kSectionRevision)) {
        *status = kUnsupported;
        return false;
    }
    return true;
}

uint16_t decodeSection(uint32_t tag, ByteReader& r, ReportFormat* f) {
    const uint16_t rows = f->header.rows;
    const uint16_t cols = f->header.cols;
    uint16_t status = kCorrupt;
    if (!readSectionHead(r, &status)) return status;
    switch (tag) {
        case section::Rows:
        case section::Cols: {
            const size_t n = tag == section::Rows ? rows : cols;
            if (!r.need(n * 4)) return kCorrupt;
            auto& recs = tag == section::Rows ? f->rowRecs : f->colRecs;
            recs.resize(n);
            for (RowColRecord& rc : recs) {
                rc.size = r.u16();
                rc.line = r.u8();
                rc.reserved = r.u8();
            }
            break;
        }
        case section::CellFormats: {
            if (r.u16() != rows || r.u16() != cols) return kCorrupt;
            const size_t n = size_t(rows) * cols;
            if (!r.need(n * 8)) return kCorrupt;
            f->cellFormats.resize(n);
            qFromLittleEndian<quint64>(r.current(), qsizetype(n), f->cellFormats.data());
            r.skip(n * 8);
            break;
        }
        case section::Labels: {
            const uint32_t n = r.u32();
            if (!r.need(size_t(n) * 6)) return kCorrupt;
            for (uint32_t i = 0; i < n; ++i) {
                const uint16_t row = r.u16();
                const uint16_t col = r.u16();
                const uint16_t len = r.u16();
                if (!r.ok() || row < 1 || row > rows || col < 1 || col > cols ||
                    len > kMaxLabelChars)
                    return kCorrupt;
                f->labels.set(cellKey(row, col), r.utf16(len));
            }
            break;
        }
        case section::Combined: {
            const uint32_t n = r.u32();
            if (!r.need(size_t(n) * 8)) return kCorrupt;
            f->combined.resize(n);
            for (AreaRecord& a : f->combined) {
                a = readArea(r);
                if (!areaInside(a, rows, cols)) return kCorrupt;
            }
            break;
        }
        case section::AreaLines: {
            const uint32_t n = r.u32();
            if (!r.need(size_t(n) * 12)) return kCorrupt;
            f->areaLines.resize(n);
            for (AreaLineRecord& a : f->areaLines) {
                a.style = r.u16();
                a.r1 = r.u16();
                a.c1 = r.u16();
                a.direction = r.u16();
                a.r2 = r.u16();
                a.c2 = r.u16();
                if (!areaInside({a.r1, a.c1, a.r2, a.c2}, rows, cols)) return kCorrupt;
            }
            break;
        }
        case section::Formulas: {
            const uint32_t n = r.u32();
            if (n > kMaxFormulas || !r.need(size_t(n) * 14)) return kCorrupt;
            f->formulas.resize(n);
            for (FormulaRecord& fr : f->formulas) {
                fr.area = readArea(r);
                fr.kind = r.u16();
                fr.state = r.u16();
                const uint16_t len = r.u16();
                if (!r.ok() || !areaInside(fr.area, rows, cols) || len > kMaxFormulaChars)
                    return kCorrupt;
                fr.text = r.utf16(len);
            }
            break;
        }
        case section::Audit: {
            const uint32_t len = r.u32();
            if (len > uint32_t(kMaxAuditChars)) return kCorrupt;
            f->auditText = r.utf16(len);
            break;
        }
        case section::Rounding: {
            f->rounding.tableName = r.utf16(r.u16());
            f->rounding.range = r.utf16(r.u16());
            f->rounding.digits = r.u16();
            const uint32_t len = r.u32();
            if (!r.need(size_t(len) * 2)) return kCorrupt;
            f->rounding.formula = r.utf16(len);
            break;
        }
        default:
            return kCorrupt;
    }
    return r.ok() ? kStatusOk : kCorrupt;
}

bool isKnownSection(uint32_t tag) {
    switch (tag) {
        case section::Rows:
        case section::Cols:
        case section::CellFormats:
        case section::Labels:
        case section::Combined:
        case section::AreaLines:
        case section::Formulas:
        case section::Audit:
        case section::Rounding:
            return true;
    }
    return false;
}

}  // namespace

RepStreamEncoder::RepStreamEncoder(const ReportFormat& f) : m_format(f) {
    // Every section but the labels is encoded here; the labels go into the
    // stream straight from the report (encodeLabelsInPieces).
    auto& sections = m_sections;
    sections.emplace_back(section::Rows,
                          encodeRowCols(f.rowRecs, f.header.rows, kDefaultRowHeight));
    sections.emplace_back(section::Cols, encodeRowCols(f.colRecs, f.header.cols, kDefaultColWidth));
    sections.emplace_back(section::CellFormats, encodeCellFormats(f));
    sections.emplace_back(section::Labels, QByteArray());
    sections.emplace_back(section::Combined, encodeCombined(f));
    sections.emplace_back(section::AreaLines, encodeAreaLines(f));
    sections.emplace_back(section::Formulas, encodeFormulas(f));
    if (!f.auditText.isEmpty()) sections.emplace_back(section::Audit, encodeAudit(f));
    if (!(f.rounding == RoundingSettings{}))
        sections.emplace_back(section::Rounding, encodeRounding(f));
    for (const RawSection& raw : f.unknownSections) {
        if (sections.size() >= size_t(kMaxSections)) break;
        if (raw.tag == 0 || isKnownSection(raw.tag)) continue;
        sections.emplace_back(raw.tag, raw.data);
    }
    size_t labelsSize = 0;
    uint32_t labelsCrc = 0;
    encodeLabelsInPieces(f, [&](const QByteArray& piece) {
        labelsSize += size_t(piece.size());
        labelsCrc = crc32(piece.constData(), size_t(piece.size()), labelsCrc);
    });

    ReportHeader h = f.header;
    h.revision = kLayoutRevision;  // what we write is our layout, whatever was read
    h.formulaCount = uint32_t(f.formulas.size());
    h.flags &= ~(kFlagAuditPresent | kFlagRoundingPresent);
    if (!f.auditText.isEmpty()) h.flags |= kFlagAuditPresent;
    if (!(f.rounding == RoundingSettings{})) h.flags |= kFlagRoundingPresent;
    h.sections.clear();
    size_t total = kHeaderSize;
    for (const auto& [tag, data] : sections) {
        total = (total + 7) & ~size_t(7);
        const bool labels = tag == section::Labels;
        h.sections.push_back({tag, uint32_t(total), uint32_t(labels ? labelsSize : size_t(data.size())),
                              labels ? labelsCrc : crc32(data.constData(), size_t(data.size()))});
        total += labels ? labelsSize : size_t(data.size());
    }
    m_header = encodeHeader(h);
    m_size = std::max<size_t>(total, kMinRepStreamSize);
}

bool RepStreamEncoder::write(const std::function<bool(QByteArrayView)>& sink) {
    size_t pos = size_t(m_header.size());
    if (!sink(m_header)) return false;
    m_header = QByteArray();
    static const char kZeros[64] = {};
    auto zeros = [&](size_t n) {
        for (; n > 0; n -= std::min(n, sizeof kZeros)) {
            if (!sink(QByteArrayView(kZeros, qsizetype(std::min(n, sizeof kZeros))))) return false;
            pos += std::min(n, sizeof kZeros);
        }
        return true;
    };
    for (auto& [tag, data] : m_sections) {
        if (!zeros(((pos + 7) & ~size_t(7)) - pos)) return false;
        if (tag == section::Labels) {
            bool ok = true;
            encodeLabelsInPieces(m_format, [&](const QByteArray& piece) {
                if (ok) ok = sink(piece);
                pos += size_t(piece.size());
            });
            if (!ok) return false;
        } else {
            if (!sink(data)) return false;
            pos += size_t(data.size());
        }
        // Each section goes once it is in the stream, so the larger ones
        // are not held twice.
        data = QByteArray();
    }
    return zeros(m_size - std::min(pos, m_size));
}

QByteArray encodeRepStream(const ReportFormat& f) {
    RepStreamEncoder encoder(f);
    QByteArray out;
    out.reserve(qsizetype(encoder.size()));
    encoder.write([&out](QByteArrayView piece) {
        out.append(piece);
        return true;
    });
    return out;
}

uint16_t decodeRepStream(const QByteArray& stream, ReportFormat* out) {
    return decodeRepStream(
        uint64_t(stream.size()),
        [&](uint64_t at, char* buf, uint64_t len) {
            if (at > uint64_t(stream.size()) || len > uint64_t(stream.size()) - at) return false;
            std::memcpy(buf, stream.constData() + at, size_t(len));
            return true;
        },
        out);
}

namespace {

constexpr uint64_t kCellFormatsHead = 8;  // revision, reserved, rows, columns

// Whether the cell formats section has the shape the header gives
// (rows and columns, room for every word); head gets its first bytes.
// A section that does not is left to the general path, which gives its
// status.
bool cellFormatsShaped(const SectionEntry& e, const RepStreamReader& read, uint16_t rows,
                       uint16_t cols, char* head, bool* readFailed) {
    const size_t n = size_t(rows) * cols;
    *readFailed = false;
    if (e.length < kCellFormatsHead + uint64_t(n) * 8) return false;
    if (!read(e.offset, head, kCellFormatsHead)) {
        *readFailed = true;
        return false;
    }
    return qFromLittleEndian<quint16>(head + 4) == rows &&
           qFromLittleEndian<quint16>(head + 6) == cols;
}

// Reads the whole cell formats section and checks its CRC and revision.
// With dst, the words go straight into it (the table that keeps them:
// the largest part of the stream is copied once, and checked while the
// piece just read is still in the cache); without, they pass through one
// small buffer, and only words [first, first + count) are kept, in window.
// readError: the status of a read that fails.
uint16_t scanCellFormats(const SectionEntry& e, const RepStreamReader& read, const char* head,
                         size_t n, uint64_t* dst, size_t first, size_t count, uint64_t* window,
                         uint16_t readError) {
    uint32_t crc = crc32(head, kCellFormatsHead);
    constexpr uint64_t kPiece = uint64_t(256) << 10;
    const uint64_t bytes = uint64_t(n) * 8;
    std::vector<char> buffer;
    if (!dst) buffer.resize(size_t(std::min(kPiece, bytes)));
    for (uint64_t done = 0; done < bytes;) {
        const uint64_t k = std::min(kPiece, bytes - done);
        char* at = dst ? reinterpret_cast<char*>(dst) + done : buffer.data();
        if (!read(e.offset + kCellFormatsHead + done, at, k)) return readError;
        crc = crc32(at, size_t(k), crc);
        if (!dst) {
            // The wanted words within this piece, as they are stored.
            const uint64_t lo = std::max<uint64_t>(done, uint64_t(first) * 8);
            const uint64_t hi = std::min<uint64_t>(done + k, uint64_t(first + count) * 8);
            if (lo < hi)
                std::memcpy(reinterpret_cast<char*>(window) + (lo - uint64_t(first) * 8),
                            at + (lo - done), size_t(hi - lo));
        }
        done += k;
    }
    const uint64_t rest = e.length - kCellFormatsHead - bytes;
    if (rest) {
        QByteArray tail(qsizetype(rest), Qt::Uninitialized);
        if (!read(e.offset + kCellFormatsHead + bytes, tail.data(), rest)) return readError;
        crc = crc32(tail.constData(), size_t(rest), crc);
    }
    if (crc != e.crc) return kCorrupt;
    ByteReader r(head, kCellFormatsHead);
    uint16_t status = kCorrupt;
    if (!readSectionHead(r, &status)) return status;
    if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
        uint64_t* words = dst ? dst : window;
        for (size_t i = 0, m = dst ? n : count; i < m; ++i) words[i] = qFromLittleEndian(words[i]);
    }
    return kStatusOk;
}

// The cell formats section of a report file, read when the table is
// first used.
class SectionFormatSource final : public CellFormatSource {
public:
    SectionFormatSource(RepStreamReader read, const SectionEntry& e, uint16_t rows, uint16_t cols)
        : m_read(std::move(read)), m_entry(e), m_rows(rows), m_cols(cols) {}
    uint16_t load(LargeVector<uint64_t>* words) override {
        char head[kCellFormatsHead];
        if (uint16_t s = readHead(head)) return s;
        const size_t n = size_t(m_rows) * m_cols;
        words->resize(n);
        return scanCellFormats(m_entry, m_read, head, n, words->data(), 0, 0, nullptr,
                               code(Status::ReadError));
    }
    uint16_t peek(size_t first, size_t count, uint64_t* out) override {
        char head[kCellFormatsHead];
        if (uint16_t s = readHead(head)) return s;
        const size_t n = size_t(m_rows) * m_cols;
        if (first > n || count > n - first) return code(Status::Refused);
        return scanCellFormats(m_entry, m_read, head, n, nullptr, first, count, out,
                               code(Status::ReadError));
    }

private:
    // The shape was checked at open; the file read in place may have
    // changed since.
    uint16_t readHead(char* head) {
        bool readFailed = false;
        if (cellFormatsShaped(m_entry, m_read, m_rows, m_cols, head, &readFailed)) return 0;
        return readFailed ? code(Status::ReadError) : kCorrupt;
    }

    RepStreamReader m_read;
    SectionEntry m_entry;
    uint16_t m_rows, m_cols;
};

// The cell formats section read straight into their table. False (nothing
// decided) for a section whose shape does not match the header: the
// general path gives its status.
bool readCellFormatsDirect(const SectionEntry& e, const RepStreamReader& read, ReportFormat* f,
                           uint16_t* status) {
    char head[kCellFormatsHead];
    bool readFailed = false;
    if (!cellFormatsShaped(e, read, f->header.rows, f->header.cols, head, &readFailed)) {
        if (!readFailed) return false;
        *status = kCorrupt;
        return true;
    }
    const size_t n = size_t(f->header.rows) * f->header.cols;
    CellFormatTable::Words words;
    words.resize(n);
    *status = scanCellFormats(e, read, head, n, words.data(), 0, 0, nullptr, kCorrupt);
    if (*status == kStatusOk) f->cellFormats = std::move(words);
    return true;
}

}  // namespace

uint16_t decodeRepStream(uint64_t size, const RepStreamReader& read, ReportFormat* out,
                         const RepStreamReader* pendingRead) {
    ReportFormat f;
    QByteArray head(qsizetype(std::min<uint64_t>(size, uint64_t(kHeaderSize))), Qt::Uninitialized);
    if (!read(0, head.data(), uint64_t(head.size()))) return kCorrupt;
    const uint16_t hs = decodeHeader(head.constData(), size_t(head.size()), &f.header);
    if (hs != kStatusOk) return hs;
    bool haveRows = false, haveCols = false, haveFormats = false;
    for (const SectionEntry& e : f.header.sections) {
        if (uint64_t(e.offset) + e.length > size) return kCorrupt;
        if (e.tag == section::CellFormats && pendingRead) {
            char head[kCellFormatsHead];
            bool readFailed = false;
            if (cellFormatsShaped(e, read, f.header.rows, f.header.cols, head, &readFailed)) {
                f.cellFormats = CellFormatTable::pending(
                    size_t(f.header.rows) * f.header.cols,
                    std::make_shared<SectionFormatSource>(*pendingRead, e, f.header.rows,
                                                          f.header.cols));
                haveFormats = true;
                continue;
            }
            if (readFailed) return kCorrupt;
        }
        if (e.tag == section::CellFormats) {
            uint16_t s = kCorrupt;
            if (readCellFormatsDirect(e, read, &f, &s)) {
                if (s != kStatusOk) return s;
                haveFormats = true;
                continue;
            }
        }
        QByteArray bytes(qsizetype(e.length), Qt::Uninitialized);
        if (!read(e.offset, bytes.data(), e.length)) return kCorrupt;
        const char* data = bytes.constData();
        if (crc32(data, e.length) != e.crc) return kCorrupt;
        if (!isKnownSection(e.tag)) {
            f.unknownSections.push_back({e.tag, bytes});
            continue;
        }
        ByteReader r(data, e.length);
        const uint16_t s = decodeSection(e.tag, r, &f);
        if (s != kStatusOk) return s;
        haveRows |= e.tag == section::Rows;
        haveCols |= e.tag == section::Cols;
        haveFormats |= e.tag == section::CellFormats;
    }
    if (!haveRows) f.rowRecs.assign(f.header.rows, RowColRecord{kDefaultRowHeight, 0, 0});
    if (!haveCols) f.colRecs.assign(f.header.cols, RowColRecord{kDefaultColWidth, 0, 0});
    if (!haveFormats)
        f.cellFormats.assign(size_t(f.header.rows) * f.header.cols, kDefaultCellFormat);
    if (f.formulas.size() != f.header.formulaCount) return kCorrupt;
    *out = std::move(f);
    return kStatusOk;
}

// ---------------------------------------------------------------------------
// Directories

uint64_t directorySize(size_t count) {
    return kDirectoryHeaderSize + uint64_t(count) * kDirectoryEntrySize;
}

QByteArray encodeDirectory(uint32_t magic, const std::vector<BlobEntry>& entries) {
    QByteArray out;
    out.reserve(qsizetype(directorySize(entries.size())));
    ByteWriter w(out);
    w.u32(magic);
    w.u16(kRecordRevision);
    w.u16(kDirectoryEntrySize);
    w.u32(uint32_t(entries.size()));
    w.u32(0);  // CRC of the entries, patched below
    for (const BlobEntry& e : entries) {
        w.u64(e.offset);
        w.u64(e.length);
        w.u32(e.crc);
        w.u32(e.generation);
        w.u32(e.flags);
        w.u32(0);
    }
    w.patchU32(12, crc32(out.constData() + kDirectoryHeaderSize,
                         size_t(out.size()) - kDirectoryHeaderSize));
    return out;
}

uint16_t decodeDirectoryHead(const QByteArray& head, uint32_t magic, uint32_t* count) {
    ByteReader r(head);
    if (r.u32() != magic) return kCorrupt;
    const uint16_t rev = r.u16();
    const uint16_t entrySize = r.u16();
    const uint32_t n = r.u32();
    if (!r.ok()) return kCorrupt;
    if (majorTooHigh(rev, kRecordRevision)) return kUnsupported;
    if (entrySize != kDirectoryEntrySize || n > kMaxPages) return kCorrupt;
    *count = n;
    return kStatusOk;
}

uint16_t decodeDirectory(const QByteArray& bytes, uint32_t magic, uint64_t streamSize,
                         std::vector<BlobEntry>* out) {
    uint32_t n = 0;
    const uint16_t s = decodeDirectoryHead(bytes.left(kDirectoryHeaderSize), magic, &n);
    if (s != kStatusOk) return s;
    const uint64_t dirSize = directorySize(n);
    if (uint64_t(bytes.size()) < dirSize || dirSize > streamSize) return kCorrupt;
    ByteReader r(bytes);
    r.seek(12);
    const uint32_t crc = r.u32();
    if (crc !=
        crc32(bytes.constData() + kDirectoryHeaderSize, size_t(dirSize) - kDirectoryHeaderSize))
        return kCorrupt;
    std::vector<BlobEntry> entries(n);
    for (BlobEntry& e : entries) {
        e.offset = r.u64();
        e.length = r.u64();
        e.crc = r.u32();
        e.generation = r.u32();
        e.flags = r.u32();
        r.u32();
        if (e.length == 0) continue;
        if (e.offset < dirSize || e.offset > streamSize || e.length > streamSize - e.offset)
            return kCorrupt;
    }
    if (!r.ok()) return kCorrupt;
    *out = std::move(entries);
    return kStatusOk;
}

// ---------------------------------------------------------------------------
// Page records

uint64_t pageRecordLength(uint16_t rows, uint16_t cols, uint32_t heapChars) {
    return kPageRecordHeaderSize + uint64_t(rows) * cols * kSlotSize + uint64_t(heapChars) * 2;
}

namespace {

void writeKeywordValue(ByteWriter& w, const KeywordValue& v) {
    const size_t start = w.pos();
    w.u16(v.kind);
    if (v.kind == 2) {
        const QStringView t = QStringView(v.text).left(kKeywordTextChars);
        w.u16(uint16_t(t.size()));
        w.u32(0);
        w.utf16(t);
    } else {
        w.u16(0);
        w.u32(0);
        if (v.kind == 1) w.f64(v.number);
    }
    w.zeros(start + kKeywordValueSize - w.pos());
}

bool readKeywordValue(ByteReader& r, KeywordValue* v) {
    const size_t start = r.pos();
    v->kind = r.u16();
    const uint16_t len = r.u16();
    r.u32();
    if (v->kind == 1) {
        v->number = r.f64();
    } else if (v->kind == 2) {
        if (len > kKeywordTextChars) return false;
        v->text = r.utf16(len);
    } else if (v->kind != 0) {
        return false;
    }
    r.seek(start + kKeywordValueSize);
    return r.ok();
}

}  // namespace

QByteArray encodePageRecordHeader(const PageRecordHeader& h) {
    QByteArray out;
    out.reserve(kPageRecordHeaderSize);
    ByteWriter w(out);
    w.u32(kPageRecordMagic);
    w.u16(kPageRecordHeaderSize);
    w.u16(kRecordRevision);
    w.u16(h.rows);
    w.u16(h.cols);
    w.u32(h.generation);
    w.u32(h.flags);
    writeArea(w, h.checkLine);
    w.u32(h.heapChars);
    w.zeros(64 - w.pos());
    for (const KeywordValue& k : h.keywords) writeKeywordValue(w, k);
    w.zeros(kPageRecordHeaderSize - w.pos());
    return out;
}

uint16_t decodePageRecordHeader(const char* data, size_t size, uint64_t recordLength,
                                PageRecordHeader* out) {
    ByteReader r(data, size);
    if (r.u32() != kPageRecordMagic) return kCorrupt;
    PageRecordHeader h;
    h.headerSize = r.u16();
    h.revision = r.u16();
    if (!r.ok()) return kCorrupt;
    if (majorTooHigh(h.revision, kRecordRevision)) return kUnsupported;
    if (h.headerSize < kPageRecordHeaderSize || size < size_t(kPageRecordHeaderSize))
        return kCorrupt;
    h.rows = r.u16();
    h.cols = r.u16();
    h.generation = r.u32();
    h.flags = r.u32();
    h.checkLine = readArea(r);
    h.heapChars = r.u32();
    r.seek(64);
    for (KeywordValue& k : h.keywords)
        if (!readKeywordValue(r, &k)) return kCorrupt;
    if (!r.ok()) return kCorrupt;
    if (h.rows < 1 || h.rows > kMaxRows || h.cols < 1 || h.cols > kMaxCols) return kCorrupt;
    const uint64_t expect =
        pageRecordLength(h.rows, h.cols, h.heapChars) - kPageRecordHeaderSize + h.headerSize;
    if (expect != recordLength) return kCorrupt;
    *out = std::move(h);
    return kStatusOk;
}

uint64_t varRecordLength(uint16_t used, uint16_t lineLength, uint32_t heapChars) {
    return kVarRecordHeaderSize + uint64_t(used) * lineLength * kSlotSize + uint64_t(heapChars) * 2;
}

QByteArray encodeVarRecordHeader(const VarRecordHeader& h) {
    QByteArray out;
    ByteWriter w(out);
    w.u32(kVarRecordMagic);
    w.u16(kVarRecordHeaderSize);
    w.u16(kRecordRevision);
    w.u16(h.used);
    w.u16(h.lineLength);
    w.u32(h.heapChars);
    return out;
}

uint16_t decodeVarRecordHeader(const char* data, size_t size, uint64_t recordLength,
                               VarRecordHeader* out) {
    ByteReader r(data, size);
    if (r.u32() != kVarRecordMagic) return kCorrupt;
    const uint16_t headerSize = r.u16();
    const uint16_t rev = r.u16();
    VarRecordHeader h;
    h.used = r.u16();
    h.lineLength = r.u16();
    h.heapChars = r.u32();
    if (!r.ok()) return kCorrupt;
    if (majorTooHigh(rev, kRecordRevision)) return kUnsupported;
    if (headerSize != kVarRecordHeaderSize || h.used < 1 || h.used > kMaxRows || h.lineLength < 1 ||
        h.lineLength > kMaxRows)
        return kCorrupt;
    if (varRecordLength(h.used, h.lineLength, h.heapChars) != recordLength) return kCorrupt;
    *out = h;
    return kStatusOk;
}

// ---------------------------------------------------------------------------
// In-use mark

QByteArray encodeInUseMark(const InUseMark& mark) {
    QByteArray out;
    ByteWriter w(out);
    w.u8(mark.inUse ? 1 : 0);
    w.u8(0);
    w.utf16z(mark.inUse ? QStringView(mark.computer).left(kComputerNameChars) : QStringView(),
             kMarkerLength - 2);
    return out;
}

InUseMark decodeInUseMark(const char* data, size_t size) {
    ByteReader r(data, size);
    InUseMark m;
    m.inUse = r.u8() != 0;
    r.u8();
    m.computer = r.utf16z(kMarkerLength - 2);
    if (!r.ok()) return {};
    return m;
}

// ---------------------------------------------------------------------------
// Scrambled fields

namespace {
constexpr uint8_t kScrambleKey[16] = {0x5A, 0x3C, 0x96, 0xE1, 0x47, 0xB2, 0x0D, 0x78,
                                      0xC3, 0x29, 0x6E, 0x91, 0xF4, 0x1B, 0x85, 0xD6};
}

QByteArray scrambleBytes(QByteArray bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char(bytes[i] ^ kScrambleKey[i % 16]);
    return bytes;
}

QByteArray encodeScrambledText(QStringView text, size_t fieldBytes) {
    QByteArray plain;
    ByteWriter w(plain);
    w.utf16z(text, fieldBytes);
    return scrambleBytes(plain);
}

QString decodeScrambledText(const char* data, size_t fieldBytes) {
    const QByteArray plain = scrambleBytes(QByteArray(data, qsizetype(fieldBytes)));
    ByteReader r(plain);
    return r.utf16z(fieldBytes);
}

QByteArray encodeFilePasswordField(QStringView password) {
    const QStringView t = password.left(kFilePasswordChars);
    QByteArray plain;
    ByteWriter pw(plain);
    pw.utf16(t);
    pw.zeros(100 - size_t(plain.size()));
    QByteArray out;
    ByteWriter w(out);
    w.u16(uint16_t(t.size()));
    w.bytes(scrambleBytes(plain));
    return out;
}

bool decodeOthersFilePassword(const QByteArray& others, QString* password) {
    password->clear();
    ByteReader r(others);
    if (r.u32() != kOthersMagic) return false;
    const uint16_t rev = r.u16();
    r.u16();
    const uint16_t len = r.u16();
    if (!r.need(100) || majorTooHigh(rev, kRecordRevision) || len > kFilePasswordChars)
        return false;
    const QByteArray plain = scrambleBytes(r.bytes(100));
    ByteReader pr(plain);
    *password = pr.utf16(len);
    return true;
}

}  // namespace qor
