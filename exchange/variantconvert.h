#pragma once
// Text to number the way the older platform's variant conversion did it,
// which the exchange files were written against: blanks around the number
// allowed, "," as a thousands separator, "." as the decimal point, an
// optional exponent, and whole numbers rounded half to even (2.5 gives 2,
// 3.5 gives 4, 54.75 gives 55). The results do not depend on the locale.

#include <QStringView>
#include <cstdint>
#include <optional>

namespace qor {

enum class NumberConversion { Ok, TypeMismatch, Overflow };

// The number a text holds; nullopt when it holds none.
std::optional<double> parseVariantNumber(QStringView text);

// Rounds half to even; the caller checks the range.
double roundHalfEven(double value);

NumberConversion textToDouble(QStringView text, double* out);
NumberConversion textToInt32(QStringView text, int32_t* out);
NumberConversion textToInt16(QStringView text, int16_t* out);

// The same, throwing XmlError (TypeMismatch or Overflow) on failure.
double variantToDouble(QStringView text);
int32_t variantToInt32(QStringView text);
int16_t variantToInt16(QStringView text);

}  // namespace qor
