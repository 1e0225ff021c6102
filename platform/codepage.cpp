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

enum class Kind { Gb, Utf8, Utf16Le, Utf16Be, Utf16, Latin1, Other };

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
