#include "exchange/variantconvert.h"

#include <QByteArray>
#include <charconv>
#include <cmath>
#include <limits>

#include "exchange/xmldom.h"

namespace qor {

namespace {

std::optional<double> parseNumber(QStringView text, bool* overflow) {
    *overflow = false;
    const QStringView t = text.trimmed();
    QByteArray ascii;
    ascii.reserve(t.size());
    qsizetype i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ascii.append(char(t[i++].unicode()));
    int intDigits = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= '0' && c <= '9') {
            ascii.append(char(c.unicode()));
            ++intDigits;
        } else if (c == ',' && intDigits > 0) {
            // Thousands separator: dropped.
        } else {
            break;
        }
    }
    int fracDigits = 0;
    if (i < t.size() && t[i] == '.') {
        ascii.append('.');
        for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
            ascii.append(char(t[i].unicode()));
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ascii.append('e');
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ascii.append(char(t[i++].unicode()));
        int expDigits = 0;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++expDigits)
            ascii.append(char(t[i].unicode()));
        if (expDigits == 0) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;

    const char* first = ascii.constData();
    const char* last = first + ascii.size();
    if (*first == '+') ++first;  // from_chars takes no plus sign
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range) {
        // Tiny magnitudes are zero; huge ones do not fit.
        bool tiny = false;
        const qsizetype e = ascii.indexOf('e');
        if (e >= 0) tiny = ascii.at(e + 1) == '-';
        if (!tiny) {
            *overflow = true;
            return std::nullopt;
        }
        return 0.0;
    }
    if (r.ec != std::errc() || r.ptr != last) return std::nullopt;
    return v;
}

template <typename T>
NumberConversion toInteger(QStringView text, T* out) {
    bool overflow = false;
    const std::optional<double> v = parseNumber(text, &overflow);
    if (overflow) return NumberConversion::Overflow;
    if (!v) return NumberConversion::TypeMismatch;
    const double r = roundHalfEven(*v);
    if (!std::isfinite(r) || r < double(std::numeric_limits<T>::min()) ||
        r > double(std::numeric_limits<T>::max()))
        return NumberConversion::Overflow;
    *out = T(r);
    return NumberConversion::Ok;
}

[[noreturn]] void raise(NumberConversion c, QStringView text) {
    if (c == NumberConversion::Overflow)
        throw XmlError(XmlError::Overflow,
                       QStringLiteral("\"%1\" is out of range").arg(text.toString()));
    throw XmlError(XmlError::TypeMismatch,
                   QStringLiteral("\"%1\" is not a number").arg(text.toString()));
}

}  // namespace

std::optional<double> parseVariantNumber(QStringView text) {
    bool overflow = false;
    return parseNumber(text, &overflow);
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double f = std::floor(value);
    const double diff = value - f;
    if (diff > 0.5) return f + 1;
    if (diff < 0.5) return f;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

NumberConversion textToDouble(QStringView text, double* out) {
    bool overflow = false;
    const std::optional<double> v = parseNumber(text, &overflow);
    if (overflow) return NumberConversion::Overflow;
    if (!v) return NumberConversion::TypeMismatch;
    *out = *v;
    return NumberConversion::Ok;
}

NumberConversion textToInt32(QStringView text, int32_t* out) { return toInteger(text, out); }
NumberConversion textToInt16(QStringView text, int16_t* out) { return toInteger(text, out); }

double variantToDouble(QStringView text) {
    double v = 0;
    const NumberConversion c = textToDouble(text, &v);
    if (c != NumberConversion::Ok) raise(c, text);
    return v;
}

int32_t variantToInt32(QStringView text) {
    int32_t v = 0;
    const NumberConversion c = textToInt32(text, &v);
    if (c != NumberConversion::Ok) raise(c, text);
    return v;
}

int16_t variantToInt16(QStringView text) {
    int16_t v = 0;
    const NumberConversion c = textToInt16(text, &v);
    if (c != NumberConversion::Ok) raise(c, text);
    return v;
}

}  // namespace qor
