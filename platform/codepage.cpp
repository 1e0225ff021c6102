#include "platform/codepage.h"

#include <iconv.h>

#include <QHash>
#include <algorithm>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QtEndian>
#include <cerrno>

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcCodepage, "qor.codepage")

// iconv's name for the machine's own UTF-16 layout, so QString storage can
// be handed over without a byte swap.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char* kNativeUtf16 = "UTF-16LE";
#else
constexpr const char* kNativeUtf16 = "UTF-16BE";
#endif

constexpr char16_t kReplacement = 0xFFFD;

// Conversion descriptors are costly to open and cells are converted one
// by one, so each thread keeps the ones it has used.
class IconvCache {
public:
    ~IconvCache() {
        for (iconv_t cd : std::as_const(cds_)) iconv_close(cd);
    }
    iconv_t get(const char* to, const char* from) {
        const QByteArray key = QByteArray(to) + '\n' + from;
        auto it = cds_.constFind(key);
        if (it != cds_.constEnd()) return *it;
        iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
        cds_.insert(key, cd);
        return cd;
    }

private:
    QHash<QByteArray, iconv_t> cds_;
};

iconv_t converter(const char* to, const char* from) {
    thread_local IconvCache cache;
    iconv_t cd = cache.get(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return cd;
}

bool isAscii(const QByteArray& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

// The code pages files declare that the system's converters do not know:
// the characters of their bytes 0x80 to 0xFF, from the vendors' published
// mapping tables (their lower half is ASCII); 0 where a byte is no
// character, or stands for a private-use character (a vendor's logo) no
// report means.
// 720, Arabic (DOS)
constexpr char16_t kCp720[128] = {
    0x0000, 0x0000, 0x00E9, 0x00E2, 0x0000, 0x00E0, 0x0000, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0651, 0x0652, 0x00F4, 0x00A4, 0x0640, 0x00FB, 0x00F9,
    0x0621, 0x0622, 0x0623, 0x0624, 0x00A3, 0x0625, 0x0626, 0x0627,
    0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E, 0x062F,
    0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0636, 0x0637, 0x0638, 0x0639, 0x063A, 0x0641, 0x00B5, 0x0642,
    0x0643, 0x0644, 0x0645, 0x0646, 0x0647, 0x0648, 0x0649, 0x064A,
    0x2261, 0x064B, 0x064C, 0x064D, 0x064E, 0x064F, 0x0650, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// 10004, Arabic (Macintosh)
constexpr char16_t kMacArabic[128] = {
    0x00C4, 0x00A0, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x06BA, 0x00AB, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x2026, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00BB, 0x00F4, 0x00F6, 0x00F7, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x066A, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x060C, 0x002D, 0x002E, 0x002F,
    0x0660, 0x0661, 0x0662, 0x0663, 0x0664, 0x0665, 0x0666, 0x0667,
    0x0668, 0x0669, 0x003A, 0x061B, 0x003C, 0x003D, 0x003E, 0x061F,
    0x274A, 0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627,
    0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E, 0x062F,
    0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x0637,
    0x0638, 0x0639, 0x063A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0640, 0x0641, 0x0642, 0x0643, 0x0644, 0x0645, 0x0646, 0x0647,
    0x0648, 0x0649, 0x064A, 0x064B, 0x064C, 0x064D, 0x064E, 0x064F,
    0x0650, 0x0651, 0x0652, 0x067E, 0x0679, 0x0686, 0x06D5, 0x06A4,
    0x06AF, 0x0688, 0x0691, 0x007B, 0x007C, 0x007D, 0x0698, 0x06D2,
};
// 10005, Hebrew (Macintosh)
constexpr char16_t kMacHebrew[128] = {
    0x00C4, 0x0000, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x20AA, 0x0027,
    0x0029, 0x0028, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x0000, 0x201E, 0x0000, 0x0000, 0x0000, 0x0000, 0x05BC, 0xFB4B,
    0xFB35, 0x2026, 0x00A0, 0x05B8, 0x05B7, 0x05B5, 0x05B6, 0x05B4,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0xFB2A, 0xFB2B,
    0x05BF, 0x05B0, 0x05B2, 0x05B1, 0x05BB, 0x05B9, 0x0000, 0x05B3,
    0x05D0, 0x05D1, 0x05D2, 0x05D3, 0x05D4, 0x05D5, 0x05D6, 0x05D7,
    0x05D8, 0x05D9, 0x05DA, 0x05DB, 0x05DC, 0x05DD, 0x05DE, 0x05DF,
    0x05E0, 0x05E1, 0x05E2, 0x05E3, 0x05E4, 0x05E5, 0x05E6, 0x05E7,
    0x05E8, 0x05E9, 0x05EA, 0x007D, 0x005D, 0x007B, 0x005B, 0x007C,
};
// 10006, Greek (Macintosh)
constexpr char16_t kMacGreek[128] = {
    0x00C4, 0x00B9, 0x00B2, 0x00C9, 0x00B3, 0x00D6, 0x00DC, 0x0385,
    0x00E0, 0x00E2, 0x00E4, 0x0384, 0x00A8, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00A3, 0x2122, 0x00EE, 0x00EF, 0x2022, 0x00BD,
    0x2030, 0x00F4, 0x00F6, 0x00A6, 0x20AC, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x0393, 0x0394, 0x0398, 0x039B, 0x039E, 0x03A0, 0x00DF,
    0x00AE, 0x00A9, 0x03A3, 0x03AA, 0x00A7, 0x2260, 0x00B0, 0x00B7,
    0x0391, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x0392, 0x0395, 0x0396,
    0x0397, 0x0399, 0x039A, 0x039C, 0x03A6, 0x03AB, 0x03A8, 0x03A9,
    0x03AC, 0x039D, 0x00AC, 0x039F, 0x03A1, 0x2248, 0x03A4, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x03A5, 0x03A7, 0x0386, 0x0388, 0x0153,
    0x2013, 0x2015, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x0389,
    0x038A, 0x038C, 0x038E, 0x03AD, 0x03AE, 0x03AF, 0x03CC, 0x038F,
    0x03CD, 0x03B1, 0x03B2, 0x03C8, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03BE, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03CE, 0x03C1, 0x03C3, 0x03C4, 0x03B8, 0x03C9, 0x03C2,
    0x03C7, 0x03C5, 0x03B6, 0x03CA, 0x03CB, 0x0390, 0x03B0, 0x00AD,
};
// 10079, Icelandic (Macintosh): the system's converter of that name
// has other characters at a dozen bytes (Ð, ð and Ý among them).
constexpr char16_t kMacIcelandic[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x00DD, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x00D0, 0x00F0, 0x00DE, 0x00FE,
    0x00FD, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0x0000, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};
// 10081, Turkish (Macintosh)
constexpr char16_t kMacTurkish[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x011E, 0x011F, 0x0130, 0x0131, 0x015E, 0x015F,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0x0000, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0000, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

struct ByteTable {
    const char* name;
    const char16_t* chars;
};
constexpr ByteTable kByteTables[] = {
    {"CP720", kCp720},
    {"X-MAC-ARABIC", kMacArabic},
    {"X-MAC-GREEK", kMacGreek},
    {"X-MAC-HEBREW", kMacHebrew},
    {"X-MAC-ICELANDIC", kMacIcelandic},
    {"X-MAC-TURKISH", kMacTurkish},
};

const char16_t* byteTable(const QByteArray& canonical) {
    for (const ByteTable& t : kByteTables)
        if (canonical == t.name) return t.chars;
    return nullptr;
}

// Bytes of a table's code page; a byte that is no character becomes one
// U+FFFD and clears *clean.
QString tableDecode(const QByteArray& bytes, const char16_t* table, bool* clean) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* o = out.data();
    for (const char c : bytes) {
        const uchar b = uchar(c);
        char16_t u = b < 0x80 ? char16_t(b) : table[b - 0x80];
        if (u == 0) {
            u = kReplacement;
            if (clean) *clean = false;
        }
        *o++ = QChar(u);
    }
    return out;
}

QByteArray tableEncode(const QString& text, const char16_t* table) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        char b = '?';
        if (u < 0x80) {
            b = char(u);
        } else {
            for (int k = 0; k < 128; ++k)
                if (table[k] == u) {
                    b = char(0x80 + k);
                    break;
                }
        }
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) ++i;
        out.append(b);
    }
    return out;
}

enum class Kind { Gb, Utf8, Utf16Le, Utf16Be, Utf16, Latin1, Table, Other };

Kind classify(const QByteArray& encoding, QByteArray* canonical) {
    const QByteArray e = encoding.trimmed().toUpper();
    *canonical = e;
    if (e.isEmpty() || e == "GB2312" || e == "GBK" || e == "GB18030" || e == "CP936" ||
        e == "936" || e == "MS936" || e == "WINDOWS-936" || e == "EUC-CN" || e == "X-GBK" ||
        e == "CSGB2312")
        return Kind::Gb;
    if (e == "UTF-8" || e == "UTF8") return Kind::Utf8;
    if (e == "UTF-16LE" || e == "UTF16LE" || e == "UCS-2LE" || e == "UNICODE") return Kind::Utf16Le;
    if (e == "UTF-16BE" || e == "UTF16BE" || e == "UCS-2BE") return Kind::Utf16Be;
    if (e == "UTF-16" || e == "UTF16" || e == "UCS-2") return Kind::Utf16;
    if (e == "ISO-8859-1" || e == "LATIN1" || e == "LATIN-1") return Kind::Latin1;
    if (byteTable(e)) return Kind::Table;
    return Kind::Other;
}

QString fromUtf16Bytes(const char* data, qsizetype size, bool bigEndian) {
    QString out;
    out.reserve(size / 2 + 1);
    for (qsizetype i = 0; i + 1 < size; i += 2) {
        const uchar* p = reinterpret_cast<const uchar*>(data + i);
        out.append(QChar(bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p)));
    }
    // A dangling half code unit cannot be a character.
    if (size % 2) out.append(QChar(kReplacement));
    return out;
}

// Decodes with iconv; every byte the source code page rejects becomes one
// U+FFFD and decoding resumes at the next byte, so a damaged byte never
// swallows the ASCII that follows it. gbFallback: a lone 0x80 is the euro
// sign in the 936 tables although GB18030 has no single-byte form for it.
QString iconvDecode(const QByteArray& bytes, const char* from, bool gbFallback, bool* ok,
                    bool* clean = nullptr) {
    *ok = true;
    iconv_t cd = converter(kNativeUtf16, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *ok = false;
        return {};
    }
    QString out;
    // Every input byte makes at most one UTF-16 code unit, except four-byte
    // GB18030 sequences which make at most two.
    out.resize(bytes.size() + 4);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* outStart = reinterpret_cast<char*>(out.data());
    char* op = outStart;
    size_t outLeft = static_cast<size_t>(out.size()) * 2;

    auto putUnit = [&](char16_t u) {
        if (outLeft < 2) return;
        memcpy(op, &u, 2);
        op += 2;
        outLeft -= 2;
    };

    while (inLeft > 0) {
        const size_t r = iconv(cd, &in, &inLeft, &op, &outLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == EILSEQ) {
            const uchar b = static_cast<uchar>(*in);
            const bool euro = gbFallback && b == 0x80;
            if (!euro && clean) *clean = false;
            putUnit(euro ? char16_t(0x20AC) : kReplacement);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (errno == EINVAL) {
            // Truncated sequence at the end of the input.
            if (clean) *clean = false;
            putUnit(kReplacement);
            break;
        } else if (errno == E2BIG) {
            // Cannot happen with the size above; stop rather than loop.
            qCWarning(lcCodepage) << "decode buffer too small";
            break;
        } else {
            break;
        }
    }
    // Converters that combine characters (1255, 1258) hold the last one
    // back until told the input has ended.
    iconv(cd, nullptr, nullptr, &op, &outLeft);
    out.resize((op - outStart) / 2);
    return out;
}

// Encodes with iconv; a character the target cannot hold becomes '?' and
// encoding resumes at the next code point (a surrogate pair counts as one).
QByteArray iconvEncode(const QString& text, const char* to, bool* lossless, bool* ok) {
    *ok = true;
    iconv_t cd = converter(to, kNativeUtf16);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *ok = false;
        return {};
    }
    QByteArray out;
    out.resize(text.size() * 4 + 16);
    const char* base = reinterpret_cast<const char*>(text.utf16());
    char* in = const_cast<char*>(base);
    size_t inLeft = static_cast<size_t>(text.size()) * 2;
    size_t used = 0;

    while (inLeft > 0) {
        char* op = out.data() + used;
        size_t outLeft = static_cast<size_t>(out.size()) - used;
        const size_t r = iconv(cd, &in, &inLeft, &op, &outLeft);
        used = static_cast<size_t>(op - out.data());
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) break;
        // Skip one code point: a valid pair is four bytes, anything else two.
        const qsizetype pos = (in - base) / 2;
        qsizetype skip = 1;
        if (QChar::isHighSurrogate(text.at(pos).unicode()) && pos + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(pos + 1).unicode()))
            skip = 2;
        if (used + 1 > static_cast<size_t>(out.size())) out.resize(out.size() * 2);
        out[used++] = '?';
        in += skip * 2;
        inLeft -= static_cast<size_t>(skip) * 2;
        if (lossless) *lossless = false;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state (none for the code pages used here).
    {
        char* op = out.data() + used;
        size_t outLeft = static_cast<size_t>(out.size()) - used;
        iconv(cd, nullptr, nullptr, &op, &outLeft);
        used = static_cast<size_t>(op - out.data());
    }
    out.resize(static_cast<qsizetype>(used));
    return out;
}

QByteArray encodeUtf16(const QString& text, bool bigEndian) {
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    uchar* p = reinterpret_cast<uchar*>(out.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const quint16 u = text.at(i).unicode();
        if (bigEndian)
            qToBigEndian(u, p + 2 * i);
        else
            qToLittleEndian(u, p + 2 * i);
    }
    return out;
}

// UTF-8 has no room for unpaired surrogates; they become '?' like any
// other character a target cannot hold.
QByteArray encodeUtf8(const QString& text, bool* lossless) {
    bool clean = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
        } else if (QChar::isSurrogate(u)) {
            clean = false;
            break;
        }
    }
    if (clean) return text.toUtf8();
    QString fixed;
    fixed.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            fixed.append(text.at(i));
            fixed.append(text.at(++i));
        } else if (QChar::isSurrogate(u)) {
            fixed.append(QLatin1Char('?'));
        } else {
            fixed.append(text.at(i));
        }
    }
    if (lossless) *lossless = false;
    return fixed.toUtf8();
}

}  // namespace

bool isValidUtf8(const QByteArray& bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return true;
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = dec.decode(bytes);
    return !dec.hasError();
}

QString decodeCp936(const QByteArray& bytes) {
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    bool ok = false;
    QString s = iconvDecode(bytes, "GB18030", true, &ok);
    if (!ok) {
        qCWarning(lcCodepage) << "GB18030 converter unavailable";
        return QString::fromUtf8(bytes);
    }
    return s;
}

QByteArray encodeCp936(const QString& text, bool* lossless) {
    if (lossless) *lossless = true;
    if (isAscii(text)) return text.toLatin1();
    bool ok = false;
    QByteArray out = iconvEncode(text, "CP936", lossless, &ok);
    if (!ok) out = iconvEncode(text, "GBK", lossless, &ok);
    if (!ok) {
        qCWarning(lcCodepage) << "CP936 converter unavailable";
        if (lossless) *lossless = false;
        QByteArray ascii;
        for (QChar c : text) ascii.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
        return ascii;
    }
    // The converter drops some characters (the tag characters among them)
    // without any error: only reading the bytes back tells the text whole.
    if (lossless && *lossless && decodeCp936(out) != text) *lossless = false;
    return out;
}

QString decodeText(const QByteArray& bytes, const QByteArray& encoding) {
    QByteArray name;
    switch (classify(encoding, &name)) {
        case Kind::Gb:
            return decodeCp936(bytes);
        case Kind::Utf8: {
            QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            return dec.decode(bytes);
        }
        case Kind::Utf16Le:
            return fromUtf16Bytes(bytes.constData(), bytes.size(), false);
        case Kind::Utf16Be:
            return fromUtf16Bytes(bytes.constData(), bytes.size(), true);
        case Kind::Utf16: {
            // Byte-order mark decides; without one, little-endian as the
            // files of this system are written.
            if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFE && uchar(bytes[1]) == 0xFF)
                return fromUtf16Bytes(bytes.constData() + 2, bytes.size() - 2, true);
            if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE)
                return fromUtf16Bytes(bytes.constData() + 2, bytes.size() - 2, false);
            return fromUtf16Bytes(bytes.constData(), bytes.size(), false);
        }
        case Kind::Latin1:
            return QString::fromLatin1(bytes);
        case Kind::Table:
            return tableDecode(bytes, byteTable(name), nullptr);
        case Kind::Other:
            break;
    }
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    bool ok = false;
    QString s = iconvDecode(bytes, name.constData(), false, &ok);
    if (ok) return s;
    qCWarning(lcCodepage) << "unknown encoding" << encoding << "- reading as UTF-8";
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return dec.decode(bytes);
}

QByteArray codePageEncoding(const QByteArray& given) {
    QByteArray name = given.trimmed().toUpper();
    // Only what a code page's name holds reaches the converter: no
    // "//TRANSLIT" or other converter options from a file.
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ' ' ||
              c == '.' || c == ':'))
            return {};
    if (name.isEmpty()) return {};
    if (name == "ANSI" || name == "OEM") return "CP936";
    if (name == "UTF-8" || name == "UTF8" || name == "65001") return "UTF-8";
    QByteArray number = name;
    for (const char* prefix : {"WINDOWS-", "ANSI ", "OEM ", "CP", "IBM", "MS"})
        if (number.startsWith(prefix)) number = number.mid(qsizetype(strlen(prefix))).trimmed();
    bool isNumber = false;
    const int n = number.toInt(&isNumber);
    if (isNumber && n == 65001) return "UTF-8";
    // Numbers the converters know by another name: the Macintosh code
    // pages (those of Chinese, Japanese and Korean by the tables they
    // extend), and the Macintosh and Western numbers a workbook's CODEPAGE
    // record gives its own.
    struct Named {
        int number;
        const char* name;
    };
    static constexpr Named kNamed[] = {
        {720, "CP720"},           {10000, "MACINTOSH"},    {10001, "SHIFT_JIS"},
        {10002, "BIG5"},          {10003, "EUC-KR"},       {10004, "X-MAC-ARABIC"},
        {10005, "X-MAC-HEBREW"},  {10006, "X-MAC-GREEK"},  {10007, "MAC-CYRILLIC"},
        {10008, "GB2312"},        {10029, "MAC-CENTRALEUROPE"}, {10079, "X-MAC-ICELANDIC"},
        {10081, "X-MAC-TURKISH"}, {32768, "MACINTOSH"},         {32769, "CP1252"},
    };
    if (isNumber)
        for (const Named& k : kNamed)
            if (k.number == n) return k.name;
    const QByteArray candidate = isNumber ? "CP" + QByteArray::number(n) : name;
    QByteArray canonical;
    if (classify(candidate, &canonical) != Kind::Other) return candidate;
    iconv_t cd = converter(kNativeUtf16, candidate.constData());
    return cd == reinterpret_cast<iconv_t>(-1) ? QByteArray() : candidate;
}

bool decodeStrict(const QByteArray& bytes, const QByteArray& encoding, QString* out) {
    if (isAscii(bytes)) {
        *out = QString::fromLatin1(bytes);
        return true;
    }
    QByteArray name;
    const Kind kind = classify(encoding, &name);
    if (kind == Kind::Utf8) {
        QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        *out = dec.decode(bytes);
        return !dec.hasError();
    }
    if (kind == Kind::Table) {
        bool clean = true;
        *out = tableDecode(bytes, byteTable(name), &clean);
        return clean;
    }
    if (kind == Kind::Utf16Le || kind == Kind::Utf16Be || kind == Kind::Utf16 || kind == Kind::Latin1) {
        *out = decodeText(bytes, encoding);
        return (kind == Kind::Latin1 || bytes.size() % 2 == 0) && !out->contains(QChar(kReplacement));
    }
    // The 936 names keep the euro sign a lone 0x80 stands for in that
    // table; GB18030 by name has no such byte.
    const char* from = kind == Kind::Gb ? "GB18030" : name.constData();
    bool ok = false;
    bool clean = true;
    *out = iconvDecode(bytes, from, kind == Kind::Gb && name != "GB18030", &ok, &clean);
    if (!ok) {
        *out = decodeText(bytes, encoding);
        return false;
    }
    return clean;
}

QByteArray unmarkedEncoding(const QByteArray& bytes) {
    if (isValidUtf8(bytes)) return "UTF-8";
    QString ignored;
    if (decodeStrict(bytes, "GB18030", &ignored)) return "GB18030";
    return {};
}

QByteArray encodeText(const QString& text, const QByteArray& encoding) {
    QByteArray name;
    switch (classify(encoding, &name)) {
        case Kind::Gb:
            // GB18030 itself holds every character; the 936 names mean the
            // two-byte table.
            if (name == "GB18030") {
                // ASCII is the same in GB18030; most texts are nothing else.
                if (isAscii(text)) return text.toLatin1();
                bool ok = false;
                QByteArray out = iconvEncode(text, "GB18030", nullptr, &ok);
                if (ok) return out;
            }
            return encodeCp936(text);
        case Kind::Utf8:
            return encodeUtf8(text, nullptr);
        case Kind::Utf16Le:
        case Kind::Utf16:
            return encodeUtf16(text, false);
        case Kind::Utf16Be:
            return encodeUtf16(text, true);
        case Kind::Latin1: {
            QByteArray out;
            out.reserve(text.size());
            for (qsizetype i = 0; i < text.size(); ++i) {
                const char16_t u = text.at(i).unicode();
                out.append(u < 0x100 ? char(u) : '?');
                if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                    QChar::isLowSurrogate(text.at(i + 1).unicode()))
                    ++i;
            }
            return out;
        }
        case Kind::Table:
            return tableEncode(text, byteTable(name));
        case Kind::Other:
            break;
    }
    bool ok = false;
    QByteArray out = iconvEncode(text, name.constData(), nullptr, &ok);
    if (ok) return out;
    qCWarning(lcCodepage) << "unknown encoding" << encoding << "- writing UTF-8";
    return encodeUtf8(text, nullptr);
}

}  // namespace qor
