// Reading a binary (.xls) workbook into the in-process engine: the BIFF8
// "Workbook" stream of current files and the BIFF5 "Book" stream of older
// ones, whose 8-bit texts are in the code page the file names.
//
// The file is untrusted. Every record's length is checked against what the
// record must hold and against the stream, every index (font, format, cell
// style, shared string, sheet offset) against what was defined, and the
// workbook is held to the limits of XlsxReadLimits. What the engine has no
// place for (formulas' expressions, rich-text runs, comments, pictures,
// charts, protection, names of
// anything but one block of a sheet) is passed over.

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "exchange/workbook_codes.h"
#include "exchange/workbook_dates.h"
#include "exchange/workbook_read.h"
#include "exchange/workbook_xls_names.h"
#include "platform/bytes.h"
#include "platform/codepage.h"
#include "platform/compoundfile.h"
#include "platform/safefile.h"

namespace qor {

namespace {

constexpr int kMaxRecordData = 8224;
constexpr int kSheetRows = 65536;
constexpr int kSheetCols = 256;
constexpr int kMaxCellText = 32767;

constexpr uint16_t kBof8 = 0x0809, kEof = 0x000A, kCodePage = 0x0042, kFont = 0x0031,
                   kFormat = 0x041E, kXf = 0x00E0, kPalette = 0x0092, kBoundSheet = 0x0085,
                   kSst = 0x00FC, kContinue = 0x003C, kDimensions = 0x0200, kColInfo = 0x007D,
                   kRow = 0x0208, kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD,
                   kLabelSst = 0x00FD, kLabel = 0x0204, kRString = 0x00D6, kBlank = 0x0201,
                   kMulBlank = 0x00BE,
                   kBoolErr = 0x0205, kFormula = 0x0006, kString = 0x0207, kMergedCells = 0x00E5,
                   kDefColWidth = 0x0055, kDateMode = 0x0022;

QString recordName(uint16_t type) {
    switch (type) {
        case kBof8:
            return QStringLiteral("BOF");
        case kCodePage:
            return QStringLiteral("CODEPAGE");
        case kFont:
            return QStringLiteral("FONT");
        case kFormat:
            return QStringLiteral("FORMAT");
        case kXf:
            return QStringLiteral("XF");
        case kPalette:
            return QStringLiteral("PALETTE");
        case kBoundSheet:
            return QStringLiteral("BOUNDSHEET");
        case kSst:
            return QStringLiteral("SST");
        case kContinue:
            return QStringLiteral("CONTINUE");
        case kColInfo:
            return QStringLiteral("COLINFO");
        case kRow:
            return QStringLiteral("ROW");
        case kNumber:
            return QStringLiteral("NUMBER");
        case kRk:
            return QStringLiteral("RK");
        case kMulRk:
            return QStringLiteral("MULRK");
        case kLabelSst:
            return QStringLiteral("LABELSST");
        case kLabel:
            return QStringLiteral("LABEL");
        case kRString:
            return QStringLiteral("RSTRING");
        case kBlank:
            return QStringLiteral("BLANK");
        case kMulBlank:
            return QStringLiteral("MULBLANK");
        case kBoolErr:
            return QStringLiteral("BOOLERR");
        case kFormula:
            return QStringLiteral("FORMULA");
        case kString:
            return QStringLiteral("STRING");
        case kMergedCells:
            return QStringLiteral("MERGEDCELLS");
        default:
            return QStringLiteral("0x%1").arg(type, 4, 16, QLatin1Char('0'));
    }
}

struct Record {
    uint16_t type = 0;
    qsizetype at = 0;  // stream offset of the header
    QByteArrayView data;
};

// A record's data, read through the byte reader: a read past the record's
// end fails with the record's name and offset.
class RecordReader {
public:
    RecordReader(const Record& r, const WorkbookReadFailure& fail) : m_r(r), m_fail(fail), m_in(r.data) {}
    qsizetype left() const { return qsizetype(m_in.remaining()); }
    int u8() { return checked(m_in.u8()); }
    int u16() { return checked(m_in.u16()); }
    uint32_t u32() { return checked(m_in.u32()); }
    double f64() { return checked(m_in.f64()); }
    QByteArray bytes(qsizetype n) {
        need(n);
        return m_in.bytes(size_t(n));
    }
    // n UTF-16LE characters; none gives an empty (not a null) text.
    QString utf16(qsizetype n) {
        need(n * 2);
        return n == 0 ? QString(qsizetype(0), Qt::Uninitialized) : m_in.utf16(size_t(n));
    }
    void skip(qsizetype n) {
        need(n);
        m_in.skip(size_t(n));
    }
    // A record that breaks the format is damaged where it stands; what
    // names a limit the record goes past instead.
    [[noreturn]] void bad(const QString& what) const {
        m_fail(what.isEmpty()
                   ? LoadErrorText(str::kXlsRecordDamaged).arg(recordName(m_r.type)).arg(m_r.at)
                   : what);
    }

private:
    void need(qsizetype n) {
        if (n < 0 || !m_in.has(size_t(n))) bad({});
    }
    template <class T>
    T checked(T v) const {
        if (!m_in.ok()) bad({});
        return v;
    }

    const Record& m_r;
    const WorkbookReadFailure& m_fail;
    ByteReader m_in;
};

// The record at an offset of the stream, its length checked.
Record recordAt(const QByteArray& s, qsizetype at, const WorkbookReadFailure& fail) {
    if (at < 0 || at + 4 > s.size())
        fail(LoadErrorText(str::kXlsRecordDamaged).arg(QString()).arg(at));
    Record r;
    r.type = readLE16(s, at);
    const qsizetype len = readLE16(s, at + 2);
    r.at = at;
    if (len > kMaxRecordData)
        fail(LoadErrorText(str::kXlsRecordDamaged).arg(recordName(r.type)).arg(at));
    if (at + 4 + len > s.size())
        fail(LoadErrorText(str::kXlsRecordDamaged).arg(recordName(r.type)).arg(at));
    r.data = QByteArrayView(s.constData() + at + 4, len);
    return r;
}

// The converter's name for a CODEPAGE record's number, for the 8-bit
// texts of a BIFF5 stream, from the one decoder of named code pages;
// empty for a number no converter knows. Some writers put 1200 (UTF-16)
// into a BIFF5 file, whose texts are one byte a character all the same:
// they are read as the Western code page, as other spreadsheet programs
// read them.
QByteArray codePageName(int cp) {
    if (cp == 1200 || cp == 21010) cp = 1252;
    return codePageEncoding(QByteArray::number(cp));
}

struct Font {
    QString name;
    double size = xl::kDefaultFontSize;
    bool bold = false, italic = false;
    int underline = xl::kUnderlineNone;
    int colour = 0x7FFF;
};

struct Xf {
    int font = 0;
    int format = 0;
    int hAlign = 0, vAlign = 2;
    bool wrap = false;
    int left = 0, right = 0, top = 0, bottom = 0;
    bool fill = false;
    int fillColour = 64;
};

class BiffReader {
public:
    BiffReader(const QByteArray& stream, const XlsxReadLimits& limits, const WorkbookReadFailure& fail)
        : m_s(stream), m_limits(limits), m_fail(fail) {
        for (int i = 0; i < 56; ++i) m_palette[i] = kBiffDefaultPalette[i];
    }

    std::unique_ptr<XlWorkbook> read() {
        readGlobals();
        if (m_sheets.empty()) m_fail(LoadErrorText(str::kWorkbookHasNoSheets));
        auto wb = std::make_unique<XlWorkbook>(int(m_sheets.size()));
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            XlWorksheet* ws = wb->sheet(int(i) + 1);
            wb->nameSheetAsRead(ws, m_sheets[i].name);
            if (m_sheets[i].worksheet) readSheet(ws, m_sheets[i].offset);
        }
        m_names.addTo(*wb);
        return wb;
    }

private:
    struct Sheet {
        QString name;
        qsizetype offset = 0;
        bool worksheet = true;
    };

    // ---- texts ----

    // A BIFF5 text in the book's code page; one whose bytes are no
    // character of it (or of a code page no converter knows, where only
    // ASCII reads) holds U+FFFD for them and sets m_undecoded.
    QString eightBit(const QByteArray& b) {
        if (m_biff8) return QString::fromLatin1(b);
        QString out;
        if (!m_encoding.isEmpty()) {
            if (!decodeStrict(b, m_encoding, &out)) m_undecoded = true;
            return out;
        }
        out.reserve(b.size());
        for (const char c : b) {
            if (uchar(c) >= 0x80) m_undecoded = true;
            out.append(uchar(c) < 0x80 ? QChar(c) : QChar(0xFFFD));
        }
        return out;
    }
    // Names the cell whose text was just read when its bytes did not read.
    void tellUndecoded(int row, int col) {
        if (!m_undecoded) return;
        m_undecoded = false;
        const QString kind = m_encoding.isEmpty()
                                 ? LoadErrorText(str::kLossCodePageUnknown).arg(m_codePage)
                                 : LoadErrorText(str::kLossBytesNotInCodePage).arg(QString::fromLatin1(m_encoding));
        m_sheet->noteUndecoded(row + 1, col + 1, kind);
    }

    // A text whose characters follow a flag byte (BIFF8) or not (BIFF5).
    QString chars(RecordReader& r, int count) {
        if (!m_biff8) return eightBit(r.bytes(count));
        const int flags = r.u8();
        if (flags & 0x08) r.skip(2);  // rich-text run count
        if (flags & 0x04) r.skip(4);  // extended data size
        // A record's own strings carry neither in practice; their data, if
        // any, would follow the characters, where nothing is read.
        return unicodeChars(r, count, flags & 1);
    }
    QString unicodeChars(RecordReader& r, int count, bool wide) {
        if (!wide) return QString::fromLatin1(r.bytes(count));
        return r.utf16(count);
    }
    QString shortText(RecordReader& r) { return chars(r, r.u8()); }  // one-byte count
    QString longText(RecordReader& r) { return chars(r, r.u16()); }  // two-byte count

    // ---- globals ----

    void readGlobals() {
        Record bof = recordAt(m_s, 0, m_fail);
        if (bof.type != kBof8) m_fail(LoadErrorText(str::kNotAWorkbook));
        {
            RecordReader r(bof, m_fail);
            const int version = r.u16();
            if (version == 0x0600)
                m_biff8 = true;
            else if (version == 0x0500)
                m_biff8 = false;
            else
                r.bad(LoadErrorText(str::kNotAWorkbook));
            if (r.u16() != 0x0005) r.bad(LoadErrorText(str::kNotAWorkbook));
        }
        m_encoding = "CP1252";
        qsizetype at = 4 + bof.data.size();
        for (;;) {
            const Record rec = recordAt(m_s, at, m_fail);
            at += 4 + rec.data.size();
            RecordReader r(rec, m_fail);
            switch (rec.type) {
                case kEof:
                    return;
                case kCodePage:
                    m_codePage = r.u16();
                    m_encoding = codePageName(m_codePage);
                    break;
                case kFont:
                    readFont(r);
                    break;
                case kFormat: {
                    const int id = r.u16();
                    QString code = m_biff8 ? longText(r) : shortText(r);
                    if (m_formats.size() >= size_t(m_limits.maxStyles))
                        r.bad(LoadErrorText(str::kWorkbookTooLarge));
                    m_formats[id] = std::move(code);
                    break;
                }
                case kXf:
                    readXf(r);
                    break;
                case kPalette: {
                    const int n = r.u16();
                    if (n > 56) r.bad({});
                    for (int i = 0; i < n; ++i) {
                        const uint32_t red = uint32_t(r.u8()), green = uint32_t(r.u8()),
                                       blue = uint32_t(r.u8());
                        r.u8();
                        m_palette[i] = red << 16 | green << 8 | blue;
                    }
                    break;
                }
                case kBoundSheet: {
                    Sheet s;
                    s.offset = qsizetype(r.u32());
                    r.u8();
                    const int kind = r.u8();
                    s.worksheet = kind == 0;
                    s.name = shortText(r);
                    if (s.offset <= 0 || s.offset >= m_s.size()) r.bad({});
                    if (int(m_sheets.size()) >= m_limits.maxSheets)
                        m_fail(LoadErrorText(str::kWorkbookTooLarge));
                    m_sheets.push_back(s);
                    break;
                }
                case kSst:
                    at = readSharedStrings(rec, at);
                    break;
                case kDateMode:
                    // Serial numbers count days from 1900 or, here, from 1904.
                    m_date1904 = r.u16() != 0;
                    break;
                // Names of blocks (BIFF8 only): NAME, EXTERNSHEET, SUPBOOK.
                case 0x0018:
                    if (m_biff8) m_names.name(rec.data);
                    break;
                case 0x0017:
                    if (m_biff8) m_names.externSheet(rec.data);
                    break;
                case 0x01AE:
                    if (m_biff8) m_names.supBook(rec.data);
                    break;
                default:
                    break;
            }
        }
    }

    void readFont(RecordReader& r) {
        if (m_fonts.size() >= size_t(m_limits.maxStyles))
            r.bad(LoadErrorText(str::kWorkbookTooLarge));
        Font f;
        f.size = r.u16() / 20.0;
        const int flags = r.u16();
        f.italic = flags & 0x02;
        f.colour = r.u16();
        f.bold = r.u16() >= 600;
        r.u16();  // super- and subscript
        const int u = r.u8();
        f.underline = (u == 1 || u == 0x21)   ? xl::kUnderlineSingle
                      : (u == 2 || u == 0x22) ? xl::kUnderlineDouble
                                              : xl::kUnderlineNone;
        r.u8();
        r.u8();
        r.u8();
        f.name = shortText(r);
        m_fonts.push_back(f);
        // The fifth font is number 5: there is no number 4.
        if (m_fonts.size() == 4) m_fonts.push_back(f);
    }

    void readXf(RecordReader& r) {
        if (m_xfs.size() >= size_t(m_limits.maxStyles))
            r.bad(LoadErrorText(str::kWorkbookTooLarge));
        Xf x;
        x.font = r.u16();
        x.format = r.u16();
        r.u16();
        const int align = r.u8();
        x.hAlign = align & 0x07;
        x.wrap = align & 0x08;
        x.vAlign = align >> 4 & 0x07;
        if (m_biff8) {
            r.u8();
            r.u8();
            r.u8();
            const uint32_t b1 = r.u32(), b2 = r.u32();
            const int colours = r.u16();
            x.left = int(b1 & 0x0F);
            x.right = int(b1 >> 4 & 0x0F);
            x.top = int(b1 >> 8 & 0x0F);
            x.bottom = int(b1 >> 12 & 0x0F);
            x.fill = (b2 >> 26) == 1;
            x.fillColour = colours & 0x7F;
        } else {
            r.u8();
            const uint32_t a = r.u32(), b = r.u32();
            x.fillColour = int(a & 0x7F);
            x.fill = (a >> 16 & 0x3F) == 1;
            x.bottom = int(a >> 22 & 0x07);
            x.top = int(b & 0x07);
            x.left = int(b >> 3 & 0x07);
            x.right = int(b >> 6 & 0x07);
        }
        m_xfs.push_back(x);
    }

    // The SST's strings, read across the CONTINUE records that follow it;
    // returns the offset after the last of them.
    qsizetype readSharedStrings(const Record& sst, qsizetype after) {
        std::vector<Record> parts{sst};
        for (;;) {
            if (after + 4 > m_s.size()) break;
            const Record next = recordAt(m_s, after, m_fail);
            if (next.type != kContinue) break;
            parts.push_back(next);
            after += 4 + next.data.size();
        }
        size_t part = 0;
        qsizetype pos = 0;
        // The next byte, moving on to the next record at a record's end.
        const auto byte = [&]() -> int {
            while (pos >= parts[part].data.size()) {
                if (++part >= parts.size())
                    m_fail(LoadErrorText(str::kXlsRecordDamaged)
                               .arg(QStringLiteral("SST"))
                               .arg(sst.at));
                pos = 0;
            }
            return uchar(parts[part].data[pos++]);
        };
        const auto u16 = [&] {
            const int lo = byte();
            return lo | byte() << 8;
        };
        const auto u32 = [&] {
            const uint32_t lo = uint32_t(u16());
            return lo | uint32_t(u16()) << 16;
        };
        const auto skip = [&](qint64 n) {
            while (n > 0) {
                if (pos >= parts[part].data.size()) {
                    byte();
                    --n;
                    continue;
                }
                const qint64 step = std::min<qint64>(n, parts[part].data.size() - pos);
                pos += step;
                n -= step;
            }
        };
        u32();
        const uint32_t unique = u32();
        if (unique > uint32_t(m_limits.maxStrings))
            m_fail(LoadErrorText(str::kXlsRecordDamaged).arg(QStringLiteral("SST")).arg(sst.at));
        m_strings.reserve(std::min<uint32_t>(unique, 65536));
        for (uint32_t i = 0; i < unique; ++i) {
            const int count = m_biff8 ? u16() : u16();
            int flags = m_biff8 ? byte() : 0;
            const int runs = (flags & 0x08) ? u16() : 0;
            const uint32_t ext = (flags & 0x04) ? u32() : 0;
            QString s;
            s.reserve(count);
            while (s.size() < count) {
                if (pos >= parts[part].data.size()) {
                    // A string split between records: the next one starts
                    // with the flag byte again, which may change the width.
                    if (++part >= parts.size())
                        m_fail(LoadErrorText(str::kXlsRecordDamaged)
                                   .arg(QStringLiteral("SST"))
                                   .arg(sst.at));
                    pos = 0;
                    if (m_biff8) flags = byte();
                    continue;
                }
                if (m_biff8 && (flags & 1)) {
                    // A writer splits a text only between characters: a
                    // record that ends inside one is damaged, and reading
                    // on would take the next record's flag byte for half
                    // of it.
                    if (pos + 1 >= parts[part].data.size())
                        m_fail(LoadErrorText(str::kXlsRecordDamaged)
                                   .arg(recordName(parts[part].type))
                                   .arg(parts[part].at));
                    const int lo = byte();
                    s.append(QChar(ushort(lo | byte() << 8)));
                } else {
                    const char c = char(byte());
                    s.append(m_biff8 ? QString(QChar(uchar(c))) : eightBit(QByteArray(1, c)));
                }
            }
            skip(qint64(runs) * 4 + ext);
            m_strings.push_back(std::move(s));
        }
        return after;
    }

    // ---- styles ----

    uint32_t colourOf(int index, uint32_t automatic) const {
        if (index >= 8 && index < 64) {
            const uint32_t rgb = m_palette[index - 8];
            return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
        }
        if (index >= 0 && index < 8) {
            const uint32_t rgb = kBiffDefaultPalette[index];
            return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
        }
        return automatic;
    }

    // Shared by every cell of the style; null for the plain style.
    const XlSharedStyle& styleOf(int xf, RecordReader& r) {
        if (xf < 0 || size_t(xf) >= m_xfs.size()) r.bad({});
        if (m_styles.empty()) m_styles.resize(m_xfs.size());
        std::optional<XlSharedStyle>& made = m_styles[size_t(xf)];
        if (made) return *made;
        const Xf& x = m_xfs[size_t(xf)];
        XlStyle s;
        if (x.font < 0 || size_t(x.font) >= m_fonts.size()) r.bad({});
        const Font& f = m_fonts[size_t(x.font)];
        s.fontName = f.name;
        s.fontSize = f.size;
        s.bold = f.bold;
        s.italic = f.italic;
        s.underline = f.underline;
        s.fontColor = colourOf(f.colour, 0);
        if (x.format >= 164 || m_formats.count(x.format)) {
            auto it = m_formats.find(x.format);
            if (it == m_formats.end()) r.bad({});
            s.numberFormat = it->second;
        } else {
            s.numberFormat = BuiltinNumberFormat(x.format);
        }
        if (s.numberFormat == u"General") s.numberFormat.clear();
        static constexpr int horizontal[8] = {xl::kGeneral, xl::kLeft,    xl::kCenter,
                                              xl::kRight,   xl::kGeneral, xl::kJustify,
                                              xl::kCenter,  xl::kJustify};
        s.hAlign = horizontal[x.hAlign & 7];
        s.vAlign = x.vAlign == 0 ? xl::kTop
                   : x.vAlign == 1 ? xl::kCenter
                   : x.vAlign >= 3 ? xl::kJustify
                                   : xl::kBottom;
        s.wrap = x.wrap;
        s.left = BorderOfLineCode(x.left);
        s.right = BorderOfLineCode(x.right);
        s.top = BorderOfLineCode(x.top);
        s.bottom = BorderOfLineCode(x.bottom);
        if (x.fill) {
            s.hasFill = true;
            s.fillColor = colourOf(x.fillColour, 0xFFFFFF);
        }
        made = s == XlCell::plainStyle() ? nullptr : std::make_shared<XlStyle>(std::move(s));
        return *made;
    }

    // ---- sheets ----

    void place(RecordReader& r, int row, int col, int xf, XlCell cell) {
        if (row < 0 || row >= kSheetRows || col < 0 || col >= kSheetCols) r.bad({});
        const XlSharedStyle& style = styleOf(xf, r);
        if (cell.kind == XlCell::Text && cell.text.size() > kMaxCellText) r.bad({});
        if (cell.kind == XlCell::Text && cell.text.isEmpty()) cell.kind = XlCell::Empty;
        if (cell.kind == XlCell::Number && style && isDateStyle(xf, *style)) {
            // A date comes in as the text its format shows.
            if (std::optional<QString> shown =
                    FormatDateSerial(cell.number, style->numberFormat, m_date1904)) {
                cell.kind = XlCell::Text;
                cell.text = std::move(*shown);
            }
        }
        if (cell.kind == XlCell::Empty && !style && !cell.formula) return;
        if (++m_cells > m_limits.maxCells) m_fail(LoadErrorText(str::kWorkbookTooLarge));
        cell.shareStyle(style);
        m_sheet->loadCell(row + 1, col + 1, std::move(cell));
    }

    // Whether the cell style's number format shows a date, worked out once
    // a cell style.
    bool isDateStyle(int xf, const XlStyle& style) {
        if (xf < 0) return false;
        if (m_dateXfs.size() <= size_t(xf)) m_dateXfs.resize(size_t(xf) + 1, -1);
        int8_t& known = m_dateXfs[size_t(xf)];
        if (known < 0) known = IsDateNumberFormat(style.numberFormat) ? 1 : 0;
        return known == 1;
    }

    static XlCell formulaResult(XlCell c) {
        c.formula = true;
        return c;
    }

    static double rkValue(uint32_t rk) {
        double v;
        if (rk & 2) {
            v = double(int32_t(rk) >> 2);
        } else {
            const uint64_t bits = uint64_t(rk & 0xFFFFFFFC) << 32;
            std::memcpy(&v, &bits, sizeof v);
        }
        return (rk & 1) ? v / 100 : v;
    }

    // The text of an error code (BOOLERR, a formula's error result); an
    // unknown code gives the text of the workbook's catch-all error.
    static XlCell errorText(int code) {
        static constexpr std::pair<int, const char*> kTexts[] = {
            {0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"}, {0x17, "#REF!"},
            {0x1D, "#NAME?"}, {0x24, "#NUM!"},   {0x2A, "#N/A"}};
        XlCell c;
        c.kind = XlCell::Text;
        c.text = QStringLiteral("#VALUE!");
        for (const auto& [k, t] : kTexts)
            if (k == code) c.text = QLatin1String(t);
        return c;
    }

    static XlCell number(double v) {
        XlCell c;
        c.kind = XlCell::Number;
        c.number = v;
        return c;
    }

    void readSheet(XlWorksheet* ws, qsizetype at) {
        m_sheet = ws;
        const Record bof = recordAt(m_s, at, m_fail);
        if (bof.type != kBof8)
            m_fail(LoadErrorText(str::kSheetFailure)
                       .arg(ws->name(), LoadErrorText(str::kSheetStructureDamaged)));
        at += 4 + bof.data.size();
        int merges = 0;
        struct Pending {
            int row = -1, col = 0, xf = 0;
        } pendingString;  // a formula whose text follows in a STRING record
        int depth = 0;    // substreams embedded in the sheet (charts)
        for (;;) {
            const Record rec = recordAt(m_s, at, m_fail);
            at += 4 + rec.data.size();
            RecordReader r(rec, m_fail);
            if (depth > 0) {
                if (rec.type == kBof8) ++depth;
                if (rec.type == kEof) --depth;
                continue;
            }
            switch (rec.type) {
                case kEof:
                    ws->finishLoading();
                    return;
                case kBof8:
                    ++depth;
                    break;
                case kNumber: {
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    place(r, row, col, xf, number(r.f64()));
                    break;
                }
                case kRk: {
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    place(r, row, col, xf, number(rkValue(r.u32())));
                    break;
                }
                case kMulRk: {
                    const int row = r.u16(), first = r.u16();
                    const qsizetype n = (r.left() - 2) / 6;
                    if (n < 1 || (r.left() - 2) % 6) r.bad({});
                    for (qsizetype i = 0; i < n; ++i) {
                        const int xf = r.u16();
                        place(r, row, first + int(i), xf, number(rkValue(r.u32())));
                    }
                    if (r.u16() != first + int(n) - 1) r.bad({});
                    break;
                }
                case kBlank: {
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    place(r, row, col, xf, XlCell{});
                    break;
                }
                case kMulBlank: {
                    const int row = r.u16(), first = r.u16();
                    const qsizetype n = (r.left() - 2) / 2;
                    if (n < 1 || (r.left() - 2) % 2) r.bad({});
                    for (qsizetype i = 0; i < n; ++i) place(r, row, first + int(i), r.u16(), XlCell{});
                    if (r.u16() != first + int(n) - 1) r.bad({});
                    break;
                }
                case kLabelSst: {
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    const uint32_t i = r.u32();
                    if (i >= m_strings.size()) r.bad({});
                    XlCell c;
                    c.kind = XlCell::Text;
                    c.text = m_strings[i];
                    place(r, row, col, xf, std::move(c));
                    break;
                }
                case kLabel:
                case kRString: {
                    // A text with formatting runs (written by some programs
                    // in place of a shared string) is the text before its
                    // runs; the runs only change fonts.
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    XlCell c;
                    c.kind = XlCell::Text;
                    m_undecoded = false;
                    c.text = longText(r);
                    place(r, row, col, xf, std::move(c));
                    tellUndecoded(row, col);
                    break;
                }
                case kBoolErr: {
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    const int value = r.u8();
                    // Booleans come through as 1 and 0, an error as the
                    // text the workbook shows.
                    place(r, row, col, xf, r.u8() ? errorText(value) : number(value ? 1 : 0));
                    break;
                }
                case kFormula: {
                    const int row = r.u16(), col = r.u16(), xf = r.u16();
                    const QByteArray result = r.bytes(8);
                    r.skip(6);
                    // The cached result; shared and array formulas (SHRFMLA,
                    // ARRAY) follow as records of their own and add no value.
                    if (uchar(result[6]) == 0xFF && uchar(result[7]) == 0xFF) {
                        const int kind = uchar(result[0]);
                        if (kind == 0) {
                            pendingString = {row, col, xf};
                            place(r, row, col, xf, formulaResult(XlCell{}));
                        } else if (kind == 1) {
                            place(r, row, col, xf, formulaResult(number(uchar(result[2]) ? 1 : 0)));
                        } else if (kind == 2) {
                            place(r, row, col, xf, formulaResult(errorText(uchar(result[2]))));
                        } else {
                            place(r, row, col, xf, formulaResult(XlCell{}));
                        }
                    } else {
                        double v;
                        std::memcpy(&v, result.constData(), sizeof v);
                        place(r, row, col, xf, formulaResult(number(v)));
                    }
                    break;
                }
                case kString: {
                    if (pendingString.row < 0) break;
                    XlCell c;
                    c.kind = XlCell::Text;
                    m_undecoded = false;
                    c.text = longText(r);
                    place(r, pendingString.row, pendingString.col, pendingString.xf,
                          formulaResult(std::move(c)));
                    tellUndecoded(pendingString.row, pendingString.col);
                    pendingString.row = -1;
                    break;
                }
                case kMergedCells: {
                    const int n = r.u16();
                    if (r.left() < qsizetype(n) * 8) r.bad({});
                    for (int i = 0; i < n; ++i) {
                        XlArea a;
                        a.r1 = r.u16() + 1;
                        a.r2 = r.u16() + 1;
                        a.c1 = r.u16() + 1;
                        a.c2 = r.u16() + 1;
                        if (a.r1 > a.r2 || a.c1 > a.c2 || a.c2 > kSheetCols) r.bad({});
                        if (a.r1 == a.r2 && a.c1 == a.c2) continue;
                        if (++merges > m_limits.maxMerges)
                            m_fail(LoadErrorText(str::kWorkbookTooLarge));
                        try {
                            ws->range(a).merge();
                        } catch (const XlError&) {
                            // Overlapping areas: the first one stands.
                        }
                    }
                    break;
                }
                case kColInfo: {
                    const int first = r.u16();
                    int last = r.u16();
                    const int width = r.u16();
                    r.u16();
                    const int flags = r.u16();
                    if (first >= kSheetCols || first > last) r.bad({});
                    last = std::min(last, kSheetCols - 1);
                    ws->range(XlArea{1, first + 1, 1, last + 1})
                        .setColumnWidth((flags & 1) ? 0.0 : ColumnCharsOfStoredWidth(width / 256.0));
                    break;
                }
                case kRow: {
                    const int row = r.u16();
                    r.skip(4);
                    const int height = r.u16();
                    r.skip(4);
                    const uint32_t flags = r.u32();
                    if (flags & 0x20)
                        ws->range(XlArea{row + 1, 1, row + 1, 1}).setRowHeight(0);
                    else if (flags & 0x40)
                        ws->range(XlArea{row + 1, 1, row + 1, 1})
                            .setRowHeight(std::min((height & 0x7FFF) / 20.0, 409.0));
                    break;
                }
                case kDefColWidth:
                    ws->setDefaultColumnWidth(ColumnCharsOfBaseWidth(r.u16()));
                    break;
                case kDimensions:
                default:
                    break;
            }
        }
    }

    const QByteArray& m_s;
    const XlsxReadLimits& m_limits;
    const WorkbookReadFailure& m_fail;
    bool m_biff8 = true;
    QByteArray m_encoding;  // empty: a code page no converter knows
    int m_codePage = 1252;
    bool m_undecoded = false;  // the last 8-bit text held bytes that did not read
    uint32_t m_palette[56];
    std::vector<Font> m_fonts;
    std::map<int, QString> m_formats;
    std::vector<Xf> m_xfs;
    std::vector<std::optional<XlSharedStyle>> m_styles;
    XlWorksheet* m_sheet = nullptr;  // the sheet being read
    bool m_date1904 = false;
    std::vector<int8_t> m_dateXfs;  // by cell style: -1 not yet known, 0 no date, 1 date
    std::vector<QString> m_strings;
    std::vector<Sheet> m_sheets;
    BiffNameCollector m_names;
    qint64 m_cells = 0;
};

}  // namespace

std::unique_ptr<XlWorkbook> ReadBiffWorkbook(const QByteArray& stream, const QString& fileName,
                                             const XlsxReadLimits& limits) {
    const WorkbookReadFailure fail(fileName);
    try {
        return BiffReader(stream, limits, fail).read();
    } catch (const std::bad_alloc&) {
        fail(StatusText(Status::OutOfMemory));
    }
}

std::unique_ptr<XlWorkbook> ReadXlsWorkbook(const QString& path, const XlsxReadLimits& limits) {
    const WorkbookReadFailure fail(QFileInfo(path).fileName());
    QString error;
    const std::unique_ptr<CompoundFile> cf =
        CompoundFile::open(path, CompoundFile::Mode::ReadOnly, &error);
    if (!cf) fail(LoadErrorText(str::kNotAWorkbook));
    QString stream;
    for (const QString& name : {QStringLiteral("Workbook"), QStringLiteral("Book")})
        if (cf->streamSize(name) >= 0) {
            stream = name;
            break;
        }
    if (stream.isEmpty()) fail(LoadErrorText(str::kNotAWorkbook));
    const qint64 size = cf->streamSize(stream);
    if (size > limits.maxPartBytes) fail(LoadErrorText(str::kWorkbookTooLarge));
    const QByteArray bytes = cf->readAll(stream);
    if (bytes.size() != size) fail(LoadErrorText(str::kWorkbookPartDamaged).arg(stream));
    return ReadBiffWorkbook(bytes, QFileInfo(path).fileName(), limits);
}

std::unique_ptr<XlWorkbook> ReadWorkbookFile(const QString& path, const XlsxReadLimits& limits) {
    // Only a regular file is looked into: a FIFO at the name would hold the
    // read until something wrote to it.
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0 && errno == ENODEV)
        throw XlError{kXlObjectError, QStringLiteral("Workbook"),
                      LoadErrorText(str::kOpenNotAPlainFile).arg(QFileInfo(path).fileName())};
    QFile f;
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        throw XlError{kXlObjectError, QStringLiteral("Workbook"),
                      LoadErrorText(str::kCannotReadWithReason)
                          .arg(QFileInfo(path).fileName(), StatusText(Status::ReadError))};
    }
    const QByteArray head = f.read(8);
    f.close();
    if (head.startsWith("PK\x03\x04")) return ReadXlsxWorkbook(path, limits);
    if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return ReadXlsWorkbook(path, limits);
    throw XlError{kXlObjectError, QStringLiteral("Workbook"),
                  LoadErrorText(str::kCannotReadWithReason)
                      .arg(QFileInfo(path).fileName(), LoadErrorText(str::kNotAWorkbook))};
}

}  // namespace qor
