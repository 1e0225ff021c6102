#pragma once
// Byte layout of a report file: the header and format sections of the
// "QOR~REP" stream, the page directories of "PageEx" and "QOR~VEP", page
// records and variable-line blobs, the in-use mark and the scrambled
// password fields. docs/report-file-format.md describes every byte; this
// file is the one place that turns those bytes into values and back.
//
// Every integer is little-endian and read through ByteReader/ByteWriter;
// every length and count is checked before it is used, so a damaged file
// gives status 1008 instead of a crash.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/labeltable.h"
#include "platform/bytes.h"
#include "platform/largeblock.h"

namespace qor {

// ---------------------------------------------------------------------------
// Checksums and tags

// CRC-32 (IEEE, reflected, as zip uses it). Pass the previous result to
// continue over several pieces.
uint32_t crc32(const void* data, size_t len, uint32_t crc = 0);
// The same computed with the tables alone (the reference for the faster path).
uint32_t crc32Tables(const void* data, size_t len, uint32_t crc = 0);
// CRC-32 of n zero bytes appended to a running CRC (empty page records
// are streamed, not built).
uint32_t crc32Zeros(size_t n, uint32_t crc = 0);

constexpr uint32_t fourcc(const char (&tag)[5]) {
    return uint32_t(uint8_t(tag[0])) | uint32_t(uint8_t(tag[1])) << 8 |
           uint32_t(uint8_t(tag[2])) << 16 | uint32_t(uint8_t(tag[3])) << 24;
}

// ---------------------------------------------------------------------------
// Constants

inline constexpr char kReportVersionText[] = "QOR8.61";
inline constexpr char kRepStreamName[] = "QOR~REP";
inline constexpr char kPageStreamName[] = "PageEx";
inline constexpr char kVarStreamName[] = "QOR~VEP";
inline constexpr char kOthersStreamName[] = "OTHERS";

constexpr int kHeaderSize = 1816;
// Layout revision: major in bits 8-15 (a reader refuses a higher major),
// minor in bits 0-7 (additive changes).
constexpr uint16_t kLayoutRevision = 0x0001;
constexpr uint16_t kRevisionMajorMask = 0xFF00;

constexpr int kMarkerOffset = 224;  // in-use flag
constexpr int kMarkerLength = 66;   // flag, reserved byte, 64-byte name
constexpr int kComputerNameChars = 31;
constexpr int kSectionDirOffset = 304;
constexpr int kMaxSections = 16;
constexpr int kSectionCrcOffset = 496;
constexpr int kHeaderCrcOffset = 1812;
// "QOR~REP" is padded to this size so it lives in regular sectors and the
// in-use mark can be patched at a fixed place in the file.
constexpr int kMinRepStreamSize = 4096;

constexpr uint16_t kMaxRows = 9999;
constexpr uint16_t kMaxCols = 255;
constexpr uint32_t kMaxPages = 99999;
constexpr uint32_t kMaxFormulas = 20000;
constexpr int kMaxFormulaChars = 1025;
constexpr int kMaxLabelChars = 255;
constexpr int kMaxCellTextChars = 255;
constexpr int kMaxAuditChars = 4096 + 2;
constexpr uint16_t kNewReportRows = 50;
constexpr uint16_t kNewReportCols = 7;
constexpr int kUserKeywordNameChars = 14;
constexpr int kFormatPasswordChars = 12;  // field capacity; the dialogs allow 9
constexpr int kFilePasswordChars = 50;

constexpr uint64_t kEmptyNumberBits = 0x7575757575757575ull;

// Cell format word (CFMT) bit fields; a new cell is numeric-by-default,
// white background, 12 pt, two decimals.
constexpr uint64_t kDefaultCellFormat =
    (uint64_t(2) << 6) | (uint64_t(1) << 12) | (uint64_t(3) << 29);
constexpr uint16_t kDefaultRowHeight = 18;
constexpr uint16_t kDefaultColWidth = 64;

constexpr int kPageRecordHeaderSize = 576;
constexpr int kVarRecordHeaderSize = 16;
constexpr int kSlotSize = 12;
constexpr int kPageKeywordSlots = 7;
constexpr int kKeywordValueSize = 72;
constexpr int kKeywordTextChars = 32;
constexpr int kDirectoryHeaderSize = 16;
constexpr int kDirectoryEntrySize = 32;

constexpr uint32_t kPageDirMagic = fourcc("QPGX");
constexpr uint32_t kVarDirMagic = fourcc("QVEP");
constexpr uint32_t kPageRecordMagic = fourcc("PAGE");
constexpr uint32_t kVarRecordMagic = fourcc("VARL");
constexpr uint32_t kOthersMagic = fourcc("QOTH");
constexpr uint16_t kRecordRevision = 0x0001;
constexpr uint16_t kSectionRevision = 0x0001;

namespace section {
constexpr uint32_t Rows = fourcc("ROWS");
constexpr uint32_t Cols = fourcc("COLS");
constexpr uint32_t CellFormats = fourcc("CFMT");
constexpr uint32_t Labels = fourcc("LABL");
constexpr uint32_t Combined = fourcc("COMB");
constexpr uint32_t AreaLines = fourcc("ALIN");
constexpr uint32_t Formulas = fourcc("FRML");
constexpr uint32_t Audit = fourcc("AUDT");
constexpr uint32_t Rounding = fourcc("ROUN");
}  // namespace section

// Header flag bits.
enum HeaderFlag : uint32_t {
    kFlagExtendedPages = 1u << 0,  // never set by us; read only
    kFlagViewStateSet = 1u << 1,
    kFlagCalcOverwritesFormulas = 1u << 2,
    kFlagFormatPasswordSet = 1u << 3,
    kFlagAuditPresent = 1u << 4,
    kFlagRoundingPresent = 1u << 5,
    kFlagPageSetupSet = 1u << 6,
    kFlagFormatState = 1u << 7,  // the report was saved in format state
};

// Page record flag bits.
enum PageFlag : uint32_t {
    kPageCheckLineArea = 1u << 0,
    kPageNeedsRecalc = 1u << 1,
};

// ---------------------------------------------------------------------------
// Header

struct KeywordSlot {
    uint16_t row = 0;  // stored, 0 = not placed
    uint16_t col = 0;
    int16_t textOffset = 0;
    uint16_t flags = 0;
    bool operator==(const KeywordSlot&) const = default;
};

struct PageSetupBlock {
    std::array<int32_t, 4> margins{};  // left, top, right, bottom (points)
    float scale = 1.0f;                // 0.3 .. 3.0
    int32_t titleSwitch = 0;           // 0 rows, 1 columns
    int32_t headFlag = 0, headFirst = 0, headLast = 0;
    int32_t tailFlag = 0, tailFirst = 0, tailLast = 0;
    bool operator==(const PageSetupBlock&) const = default;
};

struct SectionEntry {
    uint32_t tag = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t crc = 0;
};

struct ReportHeader {
    QByteArray versionText = kReportVersionText;
    uint16_t revision = kLayoutRevision;
    uint32_t flags = 0;
    uint16_t rows = kNewReportRows;
    uint16_t cols = kNewReportCols;
    uint16_t varKind = 0;  // 0 none, 1 rows, 2 columns
    uint16_t varStart = 0;
    uint16_t varExtent = 0;
    uint16_t userKeywordType = 0;  // 1 numeric, 0 character
    uint32_t pageCount = 0;
    uint32_t formulaCount = 0;
    uint32_t formatGeneration = 1;
    std::array<KeywordSlot, 8> keywords{};
    QString userKeywordName;
    QString formatPassword;  // plain here, scrambled in the file
    std::array<uint32_t, 4> viewState{};
    PageSetupBlock pageSetup;
    bool inUse = false;
    QString inUseComputer;
    // Filled by the stream encoder/decoder.
    std::vector<SectionEntry> sections;
};

// The whole header (with CRC). Sections must already be placed.
QByteArray encodeHeader(const ReportHeader& h);
// 0, 1007 (another version text "QORd.dd", or a higher layout major),
// 1008 (damaged: no version text, CRC, sizes, bounds).
uint16_t decodeHeader(const char* data, size_t size, ReportHeader* out);
// The version text at the start of a "QOR~REP" stream ("" when none).
QByteArray versionTextOf(const QByteArray& streamStart);

// ---------------------------------------------------------------------------
// Format sections

struct RowColRecord {
    uint16_t size = 0;
    uint8_t line = 0;
    uint8_t reserved = 0;
    bool operator==(const RowColRecord&) const = default;
};

struct AreaRecord {
    uint16_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    bool operator==(const AreaRecord&) const = default;
};

struct AreaLineRecord {
    uint16_t style = 0, r1 = 0, c1 = 0, direction = 0, r2 = 0, c2 = 0;
    bool operator==(const AreaLineRecord&) const = default;
};

struct FormulaRecord {
    AreaRecord area;
    uint16_t kind = 0;   // 0 cell, 1 total
    uint16_t state = 0;  // 0 ok, 2 error
    QString text;
    bool operator==(const FormulaRecord&) const = default;
};

struct RoundingSettings {
    QString tableName;
    QString range;
    uint16_t digits = 0;
    QString formula;
    bool operator==(const RoundingSettings&) const = default;
};

struct RawSection {
    uint32_t tag = 0;
    QByteArray data;  // verbatim, revision word included
    bool operator==(const RawSection&) const = default;
};

constexpr uint32_t cellKey(uint16_t row, uint16_t col) { return uint32_t(row) << 16 | col; }

// Where the words of a table read on first use come from (the report
// file's cell formats section). Both calls read and check the whole
// section, so a word is used only after its record's CRC held.
class CellFormatSource {
public:
    virtual ~CellFormatSource() = default;
    // The whole table into words (resized to the table's size); 0 or a
    // status (1007, 1008, 1020).
    virtual uint16_t load(LargeVector<uint64_t>* words) = 0;
    // Words [first, first + count) into out, through a small buffer that
    // is reused piece by piece; 0 or a status as load.
    virtual uint16_t peek(size_t first, size_t count, uint64_t* out) = 0;
};

// The cell format words of a table, shared between copies until one of
// them is changed. Format state keeps a snapshot of the whole format to
// return to; a full-size table holds 2.5 million words, and copying them
// when nothing has been edited yet would be most of opening a report.
//
// A table may also be pending: its words are read from a source when first
// used. A single word asked of a pending table is read through a small
// buffer (with the words near it), so reading one cell of a large report
// never holds its 20 MB of formats; a second word elsewhere, or anything
// that needs the whole table, reads it whole. A table whose source fails
// holds default words and says so through loadStatus(): whoever opened it
// pending checks that before trusting an answer (the Reader does after
// every call), and a save refuses it.
class CellFormatTable {
public:
    using value_type = uint64_t;
    using iterator = uint64_t*;
    using const_iterator = const uint64_t*;
    using Words = LargeVector<uint64_t>;

    CellFormatTable() = default;
    CellFormatTable(Words&& words);
    CellFormatTable(const std::vector<uint64_t>& words);
    CellFormatTable& operator=(Words&& words);
    // A table of n words read from source when first used.
    static CellFormatTable pending(size_t n, std::shared_ptr<CellFormatSource> source);

    size_t size() const { return m_pending ? m_pendingSize : m_words ? m_words->size() : 0; }
    bool empty() const { return size() == 0; }
    const uint64_t* data() const { return resolved() ? m_words->data() : nullptr; }
    uint64_t* data() { return own().data(); }
    uint64_t operator[](size_t i) const { return m_pending ? word(i) : (*m_words)[i]; }
    uint64_t& operator[](size_t i) { return own()[i]; }
    const uint64_t* begin() const { return data(); }
    const uint64_t* end() const { return data() + size(); }
    uint64_t* begin() { return data(); }
    uint64_t* end() { return data() + size(); }

    void assign(size_t n, uint64_t word);
    // New words are left unset: for a decoder that fills them at once.
    void resize(size_t n) { own().resize(n); }
    void clear() {
        m_words.reset();
        m_pending.reset();
        m_status = 0;
    }
    // True when both share one table (no copy was made yet).
    bool sharesWith(const CellFormatTable& other) const {
        return (m_words && m_words == other.m_words) ||
               (m_pending && m_pending == other.m_pending);
    }
    bool operator==(const CellFormatTable& other) const;

    // Reads a pending table whole now; its status (0 also for a table that
    // was never pending).
    uint16_t load() const;
    // 0, or why the words of a pending table could not be read.
    uint16_t loadStatus() const { return m_pending ? pendingStatus() : m_status; }
    bool isPending() const { return m_pending != nullptr; }

private:
    struct Pending;
    // The table for writing: copied first while another holder shares it.
    Words& own();
    // Makes m_words the whole table; false only for an empty table.
    bool resolved() const;
    uint64_t word(size_t i) const;
    uint16_t pendingStatus() const;

    mutable std::shared_ptr<Words> m_words;
    // Shared by the copies made while pending, so the table is read once;
    // dropped by each copy once it has the words.
    mutable std::shared_ptr<Pending> m_pending;
    size_t m_pendingSize = 0;
    mutable uint16_t m_status = 0;
};

// Everything "QOR~REP" holds: the header and the format of the table.
struct ReportFormat {
    ReportHeader header;
    std::vector<RowColRecord> rowRecs;   // header.rows entries
    std::vector<RowColRecord> colRecs;   // header.cols entries
    CellFormatTable cellFormats;         // rows x cols, row-major
    LabelTable labels;                   // cellKey(row, col) -> text
    std::vector<AreaRecord> combined;
    std::vector<AreaLineRecord> areaLines;
    std::vector<FormulaRecord> formulas;
    QString auditText;
    RoundingSettings rounding;
    std::vector<RawSection> unknownSections;

    // A new report: 50 x 7 defaults.
    static ReportFormat newReport();
    uint64_t& cellFormat(uint16_t row, uint16_t col) {
        return cellFormats[size_t(row - 1) * header.cols + (col - 1)];
    }
    uint64_t cellFormat(uint16_t row, uint16_t col) const {
        return cellFormats[size_t(row - 1) * header.cols + (col - 1)];
    }
};

// "QOR~REP": header, sections (8-aligned), zero padding to 4,096 bytes.
QByteArray encodeRepStream(const ReportFormat& f);

// The same stream a piece at a time, for a report too large to hold it
// whole beside its labels: the sections but the labels are encoded when
// the encoder is made, so the size is known before a byte is written, and
// write() hands the pieces to sink in order, the labels straight from the
// report, which must not change in between. It stops at the first piece
// sink refuses (false).
class RepStreamEncoder {
public:
    explicit RepStreamEncoder(const ReportFormat& f);
    size_t size() const { return m_size; }
    bool write(const std::function<bool(QByteArrayView)>& sink);

private:
    const ReportFormat& m_format;
    std::vector<std::pair<uint32_t, QByteArray>> m_sections;
    QByteArray m_header;
    size_t m_size = 0;
};
// 0, 1007 or 1008 as decodeHeader; missing format sections take
// their defaults.
uint16_t decodeRepStream(const QByteArray& stream, ReportFormat* out);
// Reads len bytes of the stream at an offset into buf; false when it cannot.
using RepStreamReader = std::function<bool(uint64_t offset, char* buf, uint64_t len)>;
// The same on a stream of size bytes read piece by piece: the cell formats
// go straight into their table, without a copy of the whole stream. With
// pendingRead, the cell formats are not read here but when first used,
// through pendingRead (which must stay valid as long as the table lives);
// their section's shape is checked here.
uint16_t decodeRepStream(uint64_t size, const RepStreamReader& read, ReportFormat* out,
                         const RepStreamReader* pendingRead = nullptr);

// ---------------------------------------------------------------------------
// Page directories ("PageEx" and "QOR~VEP" begin with one)

struct BlobEntry {
    uint64_t offset = 0;  // from the stream's start
    uint64_t length = 0;  // 0 = no blob (variable lines: defaults)
    uint32_t crc = 0;
    uint32_t generation = 0;
    uint32_t flags = 0;
    bool operator==(const BlobEntry&) const = default;
};

uint64_t directorySize(size_t count);
QByteArray encodeDirectory(uint32_t magic, const std::vector<BlobEntry>& entries);
// Reads the 16-byte head: magic, revision, count. 0 or 1007/1008.
uint16_t decodeDirectoryHead(const QByteArray& head, uint32_t magic, uint32_t* count);
// The whole directory (head included); checks the entries' CRC and that
// every blob lies inside a stream of streamSize bytes after the directory.
uint16_t decodeDirectory(const QByteArray& bytes, uint32_t magic, uint64_t streamSize,
                         std::vector<BlobEntry>* out);

// ---------------------------------------------------------------------------
// Page records and variable-line blobs

struct KeywordValue {
    uint16_t kind = 0;  // 0 unset, 1 number, 2 text
    double number = 0;
    QString text;  // at most 32 units
    bool operator==(const KeywordValue&) const = default;
};

struct PageRecordHeader {
    uint16_t headerSize = kPageRecordHeaderSize;
    uint16_t revision = kRecordRevision;
    uint16_t rows = 0;
    uint16_t cols = 0;
    uint32_t generation = 0;
    uint32_t flags = 0;
    AreaRecord checkLine;
    uint32_t heapChars = 0;
    std::array<KeywordValue, kPageKeywordSlots> keywords{};
};

uint64_t pageRecordLength(uint16_t rows, uint16_t cols, uint32_t heapChars);
QByteArray encodePageRecordHeader(const PageRecordHeader& h);
// Checks magic, sizes and that the record is exactly recordLength long.
uint16_t decodePageRecordHeader(const char* data, size_t size, uint64_t recordLength,
                                PageRecordHeader* out);

struct VarRecordHeader {
    uint16_t used = 1;        // lines in use, at least 1
    uint16_t lineLength = 0;  // slots per line
    uint32_t heapChars = 0;
};

uint64_t varRecordLength(uint16_t used, uint16_t lineLength, uint32_t heapChars);
QByteArray encodeVarRecordHeader(const VarRecordHeader& h);
uint16_t decodeVarRecordHeader(const char* data, size_t size, uint64_t recordLength,
                               VarRecordHeader* out);

// ---------------------------------------------------------------------------
// In-use mark (header bytes 224..289, outside the header CRC)

struct InUseMark {
    bool inUse = false;
    QString computer;
};
QByteArray encodeInUseMark(const InUseMark& mark);
InUseMark decodeInUseMark(const char* data, size_t size);

// ---------------------------------------------------------------------------
// Scrambled password fields (format password in the header, file password
// in "OTHERS"). Symmetric: scrambling twice gives the input back.

QByteArray scrambleBytes(QByteArray bytes);
// A text in a field of fieldBytes bytes: UTF-16LE, NUL-terminated, zero
// padded, then scrambled.
QByteArray encodeScrambledText(QStringView text, size_t fieldBytes);
QString decodeScrambledText(const char* data, size_t fieldBytes);

// "OTHERS" starts with "QOTH", u16 revision, u16 reserved, then the file
// password as u16 length (<= 50) + 100 scrambled bytes.
constexpr int kOthersHeadSize = 8;
constexpr int kFilePasswordFieldSize = 2 + 100;
QByteArray encodeFilePasswordField(QStringView password);
// False when the stream is not an "OTHERS" stream we understand or the
// field is damaged; *password is empty when none is set.
bool decodeOthersFilePassword(const QByteArray& others, QString* password);

}  // namespace qor
