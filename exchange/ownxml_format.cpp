#include "exchange/ownxml_format.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <charconv>
#include <chrono>
#include <cmath>
#include <string_view>

#include "engine/cellformat.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor::ownxml {

namespace {

constexpr std::array<QStringView, 8> kFixedFontNames = {
    u"Algerian",        u"Arial",  u"Arial Black", u"Arial Narrow",
    u"Times New Roman", u"Symbol", u"Wingdings",   u"Modern",
};

constexpr std::array<QStringView, 8> kFontStyleNames = {
    u"NORMAL",     u"BOLD",           u"SLOPE",           u"UNDERLINE",
    u"BOLD_SLOPE", u"BOLD_UNDERLINE", u"SLOPE_UNDERLINE", u"BOLD_SLOPE_UNDERLINE",
};

// As the report stores colours: 0x00BBGGRR written as if it were RGB.
constexpr std::array<QStringView, 16> kColourTexts = {
    u"#000000", u"#FFFFFF", u"#808080", u"#000080", u"#008080", u"#008000", u"#808000", u"#800000",
    u"#800080", u"#00FFFF", u"#00FF00", u"#FFFF00", u"#FF0000", u"#FF00FF", u"#0000FF", u"#C0C0C0",
};

constexpr std::array<int, 4> kFillNumbers = {6, 4, 3, 5};

// Keyword names of slots 0..5 by string id.
constexpr std::array<int, 6> kKeywordNameIds = {str::kKeywordUnitName, str::kKeywordUnitCode,
                                                str::kKeywordYear,     str::kKeywordQuarter,
                                                str::kKeywordMonth,    str::kKeywordDay};

}  // namespace

int CellChildOf(QStringView tag) {
    for (int i = 0; i < kCellChildCount; ++i)
        if (kCellChildTags[size_t(i)] == tag) return i;
    return -1;
}

int RootFlag(const std::optional<QString>& attribute) {
    if (!attribute || attribute->isEmpty() || *attribute == u"1") return 1;
    return 0;
}

QString FontName(int code) {
    if (code >= 0 && code < 8) return LoadErrorText(str::kFontName0 + code);
    if (code >= 8 && code < 16) return kFixedFontNames[size_t(code - 8)].toString();
    return LoadErrorText(str::kFontName0);
}

// The string table is read once and never changes, so its texts can be
// kept: the reader looks fonts and keywords up for every cell.
const std::array<QString, 8>& tableFontNames() {
    static const std::array<QString, 8> names = [] {
        std::array<QString, 8> n;
        for (int code = 0; code < 8; ++code)
            n[size_t(code)] = LoadErrorText(str::kFontName0 + code);
        return n;
    }();
    return names;
}

const std::array<QString, 6>& tableKeywordNames() {
    static const std::array<QString, 6> names = [] {
        std::array<QString, 6> n;
        for (size_t slot = 0; slot < n.size(); ++slot)
            n[slot] = LoadErrorText(kKeywordNameIds[slot]);
        return n;
    }();
    return names;
}

int FontCodeOf(const QString& name) {
    const std::array<QString, 8>& table = tableFontNames();
    for (int code = 0; code < 8; ++code)
        if (name == table[size_t(code)]) return code;
    for (size_t i = 0; i < kFixedFontNames.size(); ++i)
        if (name == kFixedFontNames[i]) return int(i) + 8;
    return 0;
}

QString FontStyleName(int code) {
    return kFontStyleNames[size_t(code >= 0 && code < 8 ? code : 0)].toString();
}

int FontStyleCodeOf(const QString& name) {
    for (size_t i = 0; i < kFontStyleNames.size(); ++i)
        if (name == kFontStyleNames[i]) return int(i);
    return 0;
}

int FontSizePoints(int code) { return kFontSizePoints[code >= 0 && code < 16 ? code : 1]; }

int FontSizeCodeOf(int points) {
    for (int code = 0; code < 16; ++code)
        if (kFontSizePoints[code] == points) return code;
    return 1;
}

QString ColourText(int code) {
    return kColourTexts[size_t(code >= 0 && code < 16 ? code : 0)].toString();
}

int ColourCodeOf(const QString& text, int fallback) {
    for (size_t i = 0; i < kColourTexts.size(); ++i)
        if (text == kColourTexts[i]) return int(i);
    return fallback;
}

int FillNumber(int code) { return kFillNumbers[size_t(code >= 0 && code < 4 ? code : 0)]; }

int FillCodeOf(int number) {
    switch (number) {
        case 3:
            return 2;
        case 4:
            return 1;
        case 5:
            return 3;
        default:
            return 0;
    }
}

QString HAlignText(int code, bool numberCell) {
    switch (code) {
        case 1:
            return QStringLiteral("left");
        case 2:
            return QStringLiteral("center");
        case 3:
            return QStringLiteral("right");
        default:
            return numberCell ? QStringLiteral("right") : QStringLiteral("left");
    }
}

int HAlignCodeOf(const QString& text) {
    if (text == u"center") return 2;
    if (text == u"right") return 3;
    return 1;
}

QString VAlignText(int code) {
    switch (code) {
        case 1:
            return QStringLiteral("top");
        case 2:
            return QStringLiteral("middle");
        default:
            return QStringLiteral("bottom");
    }
}

int VAlignCodeOf(const QString& text) {
    if (text == u"top") return 1;
    if (text == u"middle") return 2;
    return 3;
}

QString KeywordName(int slot, const QString& userKeywordName) {
    if (slot >= 0 && slot < int(kKeywordNameIds.size()))
        return LoadErrorText(kKeywordNameIds[size_t(slot)]);
    return userKeywordName;
}

int KeywordSlotOf(const QString& name) {
    const std::array<QString, 6>& table = tableKeywordNames();
    for (size_t slot = 0; slot < table.size(); ++slot)
        if (name == table[slot]) return int(slot);
    return kUserKeywordSlot;
}

QString BoolText(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }

std::optional<bool> ParseBoolText(const QString& text) {
    // ASCII, as the files hold it, compared as it stands; anything else
    // through the full lower-casing.
    if (text.size() == 4 || text.size() == 5) {
        char lower[5];
        bool ascii = true;
        for (qsizetype i = 0; i < text.size() && ascii; ++i) {
            const char16_t c = text[i].unicode();
            ascii = c < 0x80;
            lower[i] = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        }
        if (ascii) {
            const std::string_view t(lower, size_t(text.size()));
            if (t == "true") return true;
            if (t == "false") return false;
            return std::nullopt;
        }
    }
    const QString t = text.toLower();
    if (t == u"true") return true;
    if (t == u"false") return false;
    return std::nullopt;
}

int NumberChars(double value, char* buf) {
    if (!std::isfinite(value)) return 0;
    const double magnitude = std::fabs(value);
    // Plain decimals for what a report normally holds; the exponent form
    // only where the plain one would run to hundreds of digits.
    const bool plain = magnitude == 0 || (magnitude >= 1e-6 && magnitude < 1e21);
    const auto r = plain
                       ? std::to_chars(buf, buf + kNumberCharsMax, value, std::chars_format::fixed)
                       : std::to_chars(buf, buf + kNumberCharsMax, value);
    if (r.ec != std::errc()) return 0;
    return int(r.ptr - buf);
}

QString NumberText(double value) {
    char buf[kNumberCharsMax];
    const int n = NumberChars(value, buf);
    if (!n) return {};
    return QString::fromLatin1(buf, n);
}

std::optional<double> ParseNumberText(QStringView text, bool decimalComma) {
    // What NumberText writes ("-1234.5"), read without the general reader's
    // scratch string; anything else, or anything from_chars does not take
    // whole, the general way.
    if (const qsizetype n = text.size(); n > 0 && n <= 64) {
        char buf[64];
        qsizetype i = 0;
        bool dot = false, plain = true;
        for (; i < n && plain; ++i) {
            const char16_t c = text[i].unicode();
            if (c >= u'0' && c <= u'9') {
                buf[i] = char(c);
            } else if (c == u'.' && !dot && i > (text[0] == u'-' ? 1 : 0) && i + 1 < n) {
                dot = true;
                buf[i] = '.';
            } else if (c == u'-' && i == 0 && n > 1) {
                buf[i] = '-';
            } else {
                plain = false;
            }
        }
        if (plain) {
            double v = 0;
            const auto r = std::from_chars(buf, buf + n, v);
            if (r.ec == std::errc() && r.ptr == buf + n) return v;
        }
    }
    // Files of systems that wrote numbers in a comma locale give a comma
    // between digits and no point ("12,345" is 12.345); anything else
    // is read by the number rule every route into a cell applies.
    QString t = text.trimmed().toString();
    if (decimalComma) {
        static const QRegularExpression comma(QStringLiteral("^[+-]?[0-9]+,[0-9]+$"));
        if (comma.match(t).hasMatch()) t.replace(u',', u'.');
    }
    double v = 0;
    if (!qor::TextAsCellNumber(t, &v)) return std::nullopt;
    return v;
}

QString WholeNumberText(double value) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    return QString::asprintf("%.0f", value);
}

QString ReportNameOf(const QString& reportPath) {
    QString name = reportPath;
    const qsizetype sep = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (sep >= 0) name = name.mid(sep + 1);
    const qsizetype dot = name.indexOf(u'.');
    return dot < 0 ? QString() : name.left(dot);
}

QString KeywordDateText(bool hasYear, long long year, bool hasMonth, long long month, bool hasDay,
                        long long day, int currentYear) {
    using namespace std::chrono;
    const long long y = hasYear ? year : currentYear;
    const long long m = hasMonth ? month : 12;
    // A four-digit year, as the page dates were always written.
    const auto inRange = [](long long v, long long lo, long long hi) { return v >= lo && v <= hi; };
    if (!inRange(y, 1, 9999) || !inRange(m, 1, 12)) return QStringLiteral("0000-00-00");
    const std::chrono::year cy{int(y)};
    const std::chrono::month cm{unsigned(m)};
    year_month_day date{};
    if (hasDay) {
        if (!inRange(day, 1, 31)) return QStringLiteral("0000-00-00");
        date = year_month_day{cy, cm, std::chrono::day{unsigned(day)}};
    } else {
        date = year_month_day{year_month_day_last{cy, month_day_last{cm}}};
    }
    if (!date.ok()) return QStringLiteral("0000-00-00");
    return QString::asprintf("%i-%02u-%02u", int(date.year()), unsigned(date.month()),
                             unsigned(date.day()));
}

}  // namespace qor::ownxml
