#include "engine/textutil.h"

#include <locale.h>

#include <QStringList>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <string>

#include "engine/messages.h"
#include "engine/paths.h"
#include "platform/codepage.h"
#include "platform/inifile.h"
#include "platform/uiservices.h"

namespace {

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

bool isAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

QChar asciiUpper(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? QChar(char16_t(u - 32)) : c;
}

// Blanks removed and a..z upper-cased; other characters stay as they are
// so that they are refused later rather than silently folded.
QString squeezeUpper(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!c.isSpace()) out.append(asciiUpper(c));
    }
    return out;
}

constexpr int kMaxRow = 9999;
constexpr int kMaxListColumns = 255;

// ---- decimal rounding ------------------------------------------------------

// |v| rounded to n decimals, halves away from zero, as the decimal digits
// of |v| * 10^n ("268" for 2.675 and n = 2). The half is judged on the
// shortest decimal form of the double, first brought to 15 significant
// digits when that still reaches below the rounding position: values a
// computation left a hair below a half (2.6749999999999998) then count as
// the half they stand for, while the integer part and the requested
// decimals are never touched by that step.
std::string roundedDigits(double v, int n) {
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
    const std::string sci(buf, res.ptr);
    const auto ePos = sci.find('e');
    std::string mant;
    for (size_t i = 0; i < ePos; ++i) {
        if (sci[i] != '.') mant.push_back(sci[i]);
    }
    int exp10 = std::atoi(sci.c_str() + ePos + 1);  // position of mant[0]

    auto roundAt = [](std::string& digits, size_t keep) {
        // Keeps the first `keep` digits, rounding half up on the next one;
        // returns true when the carry added a leading digit.
        const bool up = keep < digits.size() && digits[keep] >= '5';
        digits.resize(keep);
        if (!up) return false;
        for (size_t i = keep; i-- > 0;) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                return false;
            }
        }
        digits.insert(digits.begin(), '1');
        return true;
    };

    if (mant.size() > 15 && exp10 - 14 < -n) {
        std::string m15 = mant;
        if (roundAt(m15, 15)) {
            ++exp10;
            m15.pop_back();
        }
        mant = m15;
    }

    // Digits at positions exp10 .. -n are kept.
    const long keep = long(exp10) + n + 1;
    std::string out;
    if (keep <= 0) {
        out = (keep == 0 && !mant.empty() && mant[0] >= '5') ? "1" : "0";
    } else if (size_t(keep) >= mant.size()) {
        out = mant + std::string(size_t(keep) - mant.size(), '0');
    } else {
        out = mant;
        roundAt(out, size_t(keep));
    }
    const auto nz = out.find_first_not_of('0');
    return nz == std::string::npos ? std::string("0") : out.substr(nz);
}

// Digits of |v| * 10^n laid out with a point: "268", 2 -> "2.68".
std::string fixedFromDigits(const std::string& digits, int n) {
    std::string d = digits;
    if (d.size() <= size_t(n)) d.insert(0, size_t(n) + 1 - d.size(), '0');
    if (n == 0) return d;
    return d.substr(0, d.size() - size_t(n)) + '.' + d.substr(d.size() - size_t(n));
}

QString nonFiniteText(double v) {
    if (std::isnan(v)) return QStringLiteral("NAN");
    return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// ---- messages of ParseRowColList --------------------------------------------

void tellListError(int id) {
    QString fallback;
    switch (id) {
        case qor::str::kBadNumberList:
            fallback = QStringLiteral(u"输入错误！标准输入如：1,8,14");
            break;
        case 62738:
            fallback = QStringLiteral(u"输入错误！标准输入如：A,C,IU");
            break;
        default:
            fallback = QStringLiteral(u"输入的行号或列号超出范围！");
            break;
    }
    qor::messageBox(qor::messageText(id, fallback), QString(), qor::MsgButtons::Ok,
                    qor::MsgIcon::Warning);
}

// ---- common currency symbol --------------------------------------------------

std::mutex currencyMutex;
int currencyIndex = -1;  // -1: not read yet

int readCurrencyIndexFromProfile() {
    const int v = qor::IniFile::getProfileInt(qor::applicationProfilePath(), QStringLiteral("REZ"),
                                              QStringLiteral("Money"), 0);
    return (v >= 0 && v <= 4) ? v : 0;
}

}  // namespace

// ---- column letters and menu codes ---------------------------------------------

QString ColumnToLetters(int col0) {
    if (col0 < 0) return QString();
    QString out;
    long n = long(col0) + 1;  // bijective base 26
    while (n > 0) {
        const long r = (n - 1) % 26;
        out.prepend(QChar(char16_t(u'A' + r)));
        n = (n - 1) / 26;
    }
    return out;
}

QString ColumnLetters(int col1) { return col1 < 1 ? QString() : ColumnToLetters(col1 - 1); }

QString IndexToLetters(int n) {
    // The three-letter codes start at 676, where the menu command ids of
    // third-level items start, although the two-letter codes run on to
    // 701 ("ZZ"): numbers 676..701 are written with three letters.
    auto letter = [](int v) { return QChar(char16_t(u'A' + v)); };
    if (n < 0) return QString();
    if (n < 26) return QString(letter(n));
    if (n < 676) {
        const int m = n - 26;
        return QString(letter(m / 26)) + letter(m % 26);
    }
    if (n < 676 + 26 * 26 * 26) {
        const int m = n - 676;
        return QString(letter(m / 676)) + letter((m / 26) % 26) + letter(m % 26);
    }
    return QString();
}

int LettersToIndex(const QString& text, int* n) {
    if (text.isEmpty() || text.size() > 3) return 0;
    int v[3] = {0, 0, 0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < u'A' || u > u'Z') return 0;
        v[i] = u - u'A';
    }
    switch (text.size()) {
        case 1:
            *n = v[0];
            break;
        case 2:
            *n = 26 + 26 * v[0] + v[1];
            break;
        default:
            *n = 676 + 676 * v[0] + 26 * v[1] + v[2];
            break;
    }
    return 1;
}

QString MenuIndexToCode(int i1, int i2, int i3) {
    static const char16_t table[] = u"ABCDEFGHIJKL";
    const int idx[3] = {i1, i2, i3};
    QString out;
    bool ended = false;
    for (int level : idx) {
        if (level == -1) {
            ended = true;
            continue;
        }
        if (ended || level < 0 || level > 11) return QString();
        out.append(QChar(table[level]));
    }
    return out;
}

int GetMenuCodeLevel(const QString& code) {
    const auto n = code.size();
    return (n >= 1 && n <= 3) ? int(n) : -1;
}

// ---- cell references ----------------------------------------------------------

QString FormatCellRef(int col0, int row0) {
    if (col0 < 0 || row0 < 0) return QString();
    return ColumnToLetters(col0) + QString::number(qint64(row0) + 1);
}

int FormatAreaRef(int c1, int r1, int c2, int r2, QString* out) {
    if (c1 == c2 && r1 == r2) {
        *out = FormatCellRef(c1, r1);
    } else {
        *out = FormatCellRef(c1, r1) + QLatin1Char(':') + FormatCellRef(c2, r2);
    }
    return 1;
}

int ParseColumnLetters(const QString& text, int* col0) {
    const QString t = squeezeUpper(text);
    if (t.isEmpty() || t.size() > 2) return 0;
    int v = 0;
    for (QChar c : t) {
        if (c.unicode() < u'A' || c.unicode() > u'Z') return 0;
        v = v * 26 + (c.unicode() - u'A' + 1);
    }
    v -= 1;
    if (v >= 256) return 0;
    *col0 = v;
    return 1;
}

int ParseCellRef(const QString& text, int* col0, int* row0) {
    const QString t = squeezeUpper(text);
    qsizetype i = 0;
    while (i < t.size() && isAsciiLetter(t.at(i))) ++i;
    if (i == 0 || i == t.size()) return 0;  // no letters, or no row digits
    int col = 0;
    if (!ParseColumnLetters(t.left(i), &col)) return 0;
    int row = 0;
    for (qsizetype j = i; j < t.size(); ++j) {
        if (!isAsciiDigit(t.at(j))) return 0;
        row = row * 10 + (t.at(j).unicode() - u'0');
        if (row > kMaxRow) return 0;
    }
    if (row < 1) return 0;
    *col0 = col;
    *row0 = row - 1;
    return 1;
}

int ParseAreaRef(const QString& text, int* c1, int* r1, int* c2, int* r2) {
    const QString t = squeezeUpper(text);
    const auto parts = t.split(QLatin1Char(':'));
    int a = 0, b = 0, c = 0, d = 0;
    if (parts.size() == 1) {
        if (!ParseCellRef(parts[0], &a, &b)) return 0;
        c = a;
        d = b;
    } else if (parts.size() == 2) {
        if (!ParseCellRef(parts[0], &a, &b) || !ParseCellRef(parts[1], &c, &d)) return 0;
    } else {
        return 0;
    }
    *c1 = a;
    *r1 = b;
    *c2 = c;
    *r2 = d;
    return 1;
}

double ParseDouble(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    std::string num;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        num.push_back(char(text.at(i).unicode()));
        ++i;
    }
    int mantDigits = 0;
    while (i < text.size() && isAsciiDigit(text.at(i))) {
        num.push_back(char(text.at(i++).unicode()));
        ++mantDigits;
    }
    if (i < text.size() && text.at(i) == u'.') {
        num.push_back('.');
        ++i;
        while (i < text.size() && isAsciiDigit(text.at(i))) {
            num.push_back(char(text.at(i++).unicode()));
            ++mantDigits;
        }
    }
    if (mantDigits == 0) return 0;
    if (i < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        std::string e = "e";
        if (j < text.size() && (text.at(j) == u'+' || text.at(j) == u'-')) {
            e.push_back(char(text.at(j).unicode()));
            ++j;
        }
        const qsizetype digitsStart = j;
        while (j < text.size() && isAsciiDigit(text.at(j)))
            e.push_back(char(text.at(j++).unicode()));
        if (j > digitsStart) num += e;
    }
    // The process locale may use a decimal comma; read in the C locale.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(num.c_str(), nullptr, cLocale);
}

namespace {

// kind 2: numbers unbounded (ParseNumberList).
int parseList(int kind, const QString& text, QList<int>* list, int* count) {
    const bool bounded = kind != 2;
    if (!bounded) kind = 0;
    const int malformedId = kind == 0 ? qor::str::kBadNumberList : 62738;
    QList<int> items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace()) ++i;
    };
    skipBlanks();
    if (i == n) {
        tellListError(malformedId);
        return 0;
    }
    for (;;) {
        skipBlanks();
        const qsizetype start = i;
        if (kind == 0) {
            while (i < n && isAsciiDigit(text.at(i))) ++i;
        } else {
            while (i < n && isAsciiLetter(text.at(i))) ++i;
        }
        if (i == start) {
            tellListError(malformedId);
            return 0;
        }
        const QString item = text.mid(start, i - start);
        int value = 0;
        if (kind == 0) {
            // Leading zeros are harmless; length guards the conversion.
            qsizetype z = 0;
            while (z + 1 < item.size() && item.at(z) == u'0') ++z;
            const QString digits = item.mid(z);
            bool ok = false;
            const qlonglong v = digits.size() <= 9 ? digits.toLongLong(&ok) : -1;
            if (!bounded) {
                value = ok ? int(v) : std::numeric_limits<int>::max();
            } else if (!ok || v < 1 || v > kMaxRow) {
                tellListError(62739);
                return 0;
            } else {
                value = int(v);
            }
        } else {
            int col = 0;
            if (item.size() > 2 || !ParseColumnLetters(item, &col) || col >= kMaxListColumns) {
                tellListError(62739);
                return 0;
            }
            value = col + 1;
        }
        items.append(value);
        skipBlanks();
        if (i == n) break;
        if (text.at(i) != u',') {
            tellListError(malformedId);
            return 0;
        }
        ++i;  // an item must follow the comma
    }
    *list = items;
    if (count) *count = int(items.size());
    return 1;
}

}  // namespace

int ParseRowColList(int kind, const QString& text, QList<int>* list, int* count) {
    if (kind != 0 && kind != 1) return 0;
    return parseList(kind, text, list, count);
}

int ParseNumberList(const QString& text, QList<int>* list) {
    return parseList(2, text, list, nullptr);
}

QString AnsiToWideInPlace(const QByteArray& buffer, qsizetype byteLength) {
    qsizetype len = buffer.size();
    if (byteLength < 0) {
        const auto nul = buffer.indexOf('\0');
        if (nul >= 0) len = nul;
    } else if (byteLength < len) {
        len = byteLength;
    }
    return qor::decodeCp936(buffer.left(len));
}

// ---- characters a file cannot carry ------------------------------------------

QString LeftWholeChars(const QString& text, qsizetype units) {
    if (units >= text.size()) return text;
    if (units <= 0) return QString();
    if (text.at(units - 1).isHighSurrogate() && text.at(units).isLowSurrogate()) --units;
    return text.left(units);
}

bool IsUncarriedChar(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    if (c < 0x20) return c != u'\t' && c != u'\n' && c != u'\r';
    if (c == 0xFFFE || c == 0xFFFF) return true;
    if (QChar::isHighSurrogate(c)) return i + 1 >= text.size() || !text[i + 1].isLowSurrogate();
    if (QChar::isLowSurrogate(c)) return i == 0 || !text[i - 1].isHighSurrogate();
    return false;
}

qsizetype UncarriedChars(QStringView text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (IsUncarriedChar(text, i)) ++n;
    return n;
}

QString WithoutUncarriedChars(const QString& text) {
    if (UncarriedChars(text) == 0) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!IsUncarriedChar(text, i)) out += text.at(i);
    return out;
}

qsizetype UnpairedSurrogates(QStringView text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].isSurrogate() && IsUncarriedChar(text, i)) ++n;
    return n;
}

QString WithReplacementChars(const QString& text, bool nonCharacters) {
    QString out = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((c.isSurrogate() || (nonCharacters && c.unicode() >= 0xFFFE)) && IsUncarriedChar(text, i))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

// ---- numbers -------------------------------------------------------------------

double RoundedToDecimals(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    const int n = decimals < 0 ? 0 : (decimals > 7 ? 7 : decimals);
    std::string s = roundedDigits(value, n);
    if (s == "0") return 0.0;
    if (std::signbit(value)) s.insert(0, 1, '-');
    s += "e-" + std::to_string(n);
    double out = 0;
    std::from_chars(s.data(), s.data() + s.size(), out);
    return out;
}

void RoundToDecimals(double* value, uint16_t decimals) {
    *value = RoundedToDecimals(*value, decimals > 7 ? 7 : int(decimals));
}

QString FormatFixedNumber(double value, int decimals) {
    if (!std::isfinite(value)) return nonFiniteText(value);
    const int n = decimals < 0 ? 0 : (decimals > 8 ? 8 : decimals);
    // Whole amounts, most of what is formatted, need no rounding: their
    // integer digits and n zeros. Below 1e15 every such double is an exact
    // integer of at most 15 digits, so the text is the one rounding gives.
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        char buf[32];
        char* o = buf;
        if (value < 0) *o++ = '-';
        o = std::to_chars(o, buf + sizeof buf, static_cast<long long>(std::fabs(value))).ptr;
        if (n > 0) {
            *o++ = '.';
            for (int i = 0; i < n; ++i) *o++ = '0';
        }
        return QString::fromLatin1(buf, qsizetype(o - buf));
    }
    const std::string digits = roundedDigits(value, n);
    std::string text = fixedFromDigits(digits, n);
    if (std::signbit(value) && digits != "0") text.insert(0, 1, '-');
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString FormatNumberText(double value, bool pct, bool thou, bool cur, int decimals) {
    QString text = FormatFixedNumber(value, decimals);
    if (thou && std::isfinite(value)) {
        const qsizetype signLen = text.startsWith(QLatin1Char('-')) ? 1 : 0;
        qsizetype intEnd = text.indexOf(QLatin1Char('.'));
        if (intEnd < 0) intEnd = text.size();
        for (qsizetype pos = intEnd - 3; pos > signLen; pos -= 3)
            text.insert(pos, QLatin1Char(','));
    }
    if (pct) text.append(QLatin1Char('%'));
    if (cur) text.prepend(CurrencySymbol(CurrencySymbolIndex()));
    return text;
}

int CurrencySymbolIndex() {
    std::lock_guard lock(currencyMutex);
    if (currencyIndex < 0) currencyIndex = readCurrencyIndexFromProfile();
    return currencyIndex;
}

void SetCurrencySymbolIndex(int index) {
    std::lock_guard lock(currencyMutex);
    currencyIndex = (index >= -1 && index <= 4) ? index : 0;
}

QString CurrencySymbol(int index) {
    static const int ids[5] = {qor::str::kCurrencySymbol0, qor::str::kCurrencySymbol1,
                               qor::str::kCurrencySymbol2, qor::str::kCurrencySymbol3,
                               qor::str::kCurrencySymbol4};
    static const char16_t* const fallback[5] = {u"￥", u"＄", u"￡", u"￠", u"／"};
    if (index < 0 || index > 4) index = 0;
    return qor::messageText(ids[index], QString::fromUtf16(fallback[index]));
}

// ---- the number rule of a cell -------------------------------------------

QString qor::TextIntoNumberCellMessage(const QString& text, int row, int col) {
    return LoadErrorText(qor::str::kTextForNumberCell)
        .arg(text)
        .arg(row)
        .arg(col);
}

namespace {

// "80,000.50" as a clerk writes an amount: commas between groups of three
// digits before the point. A comma anywhere else ("1,5", "12,34") is not a
// grouping and the text stays refused rather than read as another number.
QString withoutThousandsSeparators(const QString& t) {
    if (!t.contains(u',')) return t;
    const qsizetype point = t.indexOf(u'.');
    const QString whole = point < 0 ? t : t.left(point);
    if (point >= 0 && t.indexOf(u',', point) >= 0) return t;  // a comma after the point
    const qsizetype start = !whole.isEmpty() && (whole[0] == u'-' || whole[0] == u'+') ? 1 : 0;
    const QStringList groups = whole.mid(start).split(u',');
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QString& g = groups[i];
        const bool sized = i == 0 ? g.size() >= 1 && g.size() <= 3 : g.size() == 3;
        if (!sized) return t;
        for (QChar c : g)
            if (c < u'0' || c > u'9') return t;
    }
    QString out = t;
    out.remove(u',');
    return out;
}

}  // namespace

bool qor::TextAsCellNumber(const QString& text, double* number) {
    bool ok = false;
    const double v = withoutThousandsSeparators(text.trimmed()).toDouble(&ok);
    // "inf" and "nan" read as doubles, but no cell holds them as a value.
    if (!ok || !std::isfinite(v)) return false;
    if (number) *number = v;
    return true;
}
