#pragma once
// Text, number and cell-reference helpers shared by the engine, the
// exchange formats, the dialogs and the command language.
//
// Conventions: "col0"/"row0" count from 0, "col1" from 1. Functions that
// only produce a text return it; those whose callers also want a result
// code keep the out-parameter form and return the code (1 success, 0 not).

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// ---- column letters and menu codes --------------------------------------

// Column letters of a column counted from 1: 1 "A", 26 "Z", 27 "AA".
// "" for a column below 1.
QString ColumnLetters(int col1);
inline void ColumnLetters(int col1, QString* out) { *out = ColumnLetters(col1); }

// Column letters of a column counted from 0: 0 "A", 26 "AA", 701 "ZZ",
// 702 "AAA". "" for a negative column.
QString ColumnToLetters(int col0);
inline void ColumnToLetters(int col0, QString* out) { *out = ColumnToLetters(col0); }

// The code LettersToIndex reads back as n: one letter below 26, two below
// 676, three up to 18,251 ("ZZZ"); "" for any other number. (Two-letter
// codes from "ZA" read as the numbers of "AAA".."AAZ"; menu codes, whose
// letters stop at "L", never meet that.)
QString IndexToLetters(int n);
inline void IndexToLetters(int n, QString* out) { *out = IndexToLetters(n); }

// One letter 0..25, two letters 26 + 26a + b, three 676 + 676a + 26b + c
// (A = 0). Upper-case A..Z only; 1 and the number on success, else 0 and
// *n untouched.
int LettersToIndex(const QString& text, int* n);

// Code of a user-menu position: each level index 0..11 becomes one of the
// letters "A".."L"; -1 marks an unused level (a used level may not follow
// an unused one). "" when the position cannot be coded.
QString MenuIndexToCode(int i1, int i2 = -1, int i3 = -1);

// 1, 2 or 3 for a code of that many characters, -1 otherwise.
int GetMenuCodeLevel(const QString& code);

// ---- cell references ------------------------------------------------------

// "C5" for column 2, row 4 (both from 0). "" for a negative coordinate.
QString FormatCellRef(int col0, int row0);
inline void FormatCellRef(int col0, int row0, QString* out) { *out = FormatCellRef(col0, row0); }

// "A1" when both corners are the same cell, else "A1:B2" (corners as
// given, from 0). Always returns 1.
int FormatAreaRef(int c1, int r1, int c2, int r2, QString* out);

// Column letters (blanks removed, upper-cased), one or two letters giving
// a column below 256 (A..Z = 0..25, AA = 26, IV = 255). 1 and the column
// from 0 on success, else 0 and *col0 untouched.
int ParseColumnLetters(const QString& text, int* col0);

// One cell reference: column letters as ParseColumnLetters accepts them,
// then a row number 1..9,999. Blanks are ignored and case does not
// matter. A text without row digits is refused. 1 and the zero-based
// column and row on success, else 0 and the outputs untouched.
int ParseCellRef(const QString& text, int* col0, int* row0);

// "A1" or "A1:B2" (blanks removed, upper-cased); each corner as
// ParseCellRef accepts it; corners are returned as written, from 0. For a
// single cell both corners are that cell. 1 on success, else 0.
int ParseAreaRef(const QString& text, int* c1, int* r1, int* c2, int* r2);

// The number at the start of the text, as the C library's string-to-double
// conversion reads it (leading white space, sign, digits, point, exponent);
// 0 when the text does not start with a number. Only decimal numbers are
// taken: "inf", "nan" and hexadecimal forms give 0.
double ParseDouble(const QString& text);

// A list such as "1,8,14" (kind 0, row or page numbers 1..9,999) or
// "A,C,IU" (kind 1, column letters A..IU, any case). Blanks may surround
// the items; every item must be followed by a comma or the end. Both kinds
// give numbers counted from 1 (column A = 1). On an empty or malformed
// list, or an item out of range, the user is told (messages 62115 for a
// number list, 62738 for a letter list, 62739 for an item out of range)
// and 0 is returned with the outputs untouched; 1 on success.
int ParseRowColList(int kind, const QString& text, QList<int>* list, int* count = nullptr);
// A number list read as ParseRowColList reads one (kind 0), its numbers
// taken as typed whatever their size (0 included; one of more digits than
// an int holds reads as the largest int), for a caller that checks them
// against what there is now in its own words. A malformed list is told
// (62115) and gives 0.
int ParseNumberList(const QString& text, QList<int>* list);

// Code page 936 text to UTF-16. byteLength -1 takes the bytes up to the
// first NUL (or the end). The name is kept from the buffer-in-place form;
// here the text is returned.
QString AnsiToWideInPlace(const QByteArray& buffer, qsizetype byteLength = -1);

// ---- characters a file cannot carry --------------------------------------

// The first `units` UTF-16 units of text (every limit of the report counts
// units, a character beyond the basic plane two), one less where the cut
// would leave half of such a character.
QString LeftWholeChars(const QString& text, qsizetype units);

// Characters no exchange file carries as themselves: C0 controls other
// than tab, line feed and carriage return (XML has no place for them, and
// a text file holding them reads as no text), U+FFFE and U+FFFF, and a
// surrogate without its pair (no UTF-8 or UTF-16 reader takes it).
bool IsUncarriedChar(QStringView text, qsizetype i);
qsizetype UncarriedChars(QStringView text);
// The text without them.
QString WithoutUncarriedChars(const QString& text);
// Halves of surrogate pairs alone, and the text with each (and, with
// nonCharacters, U+FFFE and U+FFFF) as U+FFFD: for the formats that hold
// any UTF-16 unit but whose readers decode it strictly.
qsizetype UnpairedSurrogates(QStringView text);
QString WithReplacementChars(const QString& text, bool nonCharacters);

// ---- numbers -------------------------------------------------------------

// Rounds to at most 7 decimal places (more are cut to 7), halves away from
// zero. The half is judged on the decimal value the double stands for (its
// 15 significant digits), so 2.675 gives 2.68 and 123456789.675 gives
// 123456789.68, while 2.6749999995 stays below the half. Non-finite values
// are left as they are.
void RoundToDecimals(double* value, uint16_t decimals);
double RoundedToDecimals(double value, int decimals);

// Fixed-point text with 0..8 decimals (out-of-range counts are clamped),
// rounded as RoundToDecimals rounds: "-" for negatives, "0" before the
// point when the integer part is empty ("0.50", "-0.50"); a value that
// rounds to zero has no sign ("0.00" for -0.001). Non-finite values give
// "NAN", "INF" or "-INF".
QString FormatFixedNumber(double value, int decimals);
inline void FormatFixedNumber(double value, int decimals, QString* out) {
    *out = FormatFixedNumber(value, decimals);
}

// A number as a cell shows it: fixed decimals (0..8), thousands commas
// when thou is set, "%" appended when pct is set (the value is not scaled),
// the common currency symbol in front of everything when cur is set.
QString FormatNumberText(double value, bool pct, bool thou, bool cur, int decimals);
inline void FormatNumberText(double value, bool pct, bool thou, bool cur, QString* out,
                             int decimals) {
    *out = FormatNumberText(value, pct, thou, cur, decimals);
}

// The common currency symbol: index 0..4 = "￥", "＄", "￡", "￠", "／". Read
// once from the application profile ("REZ"/"Money", default 0; values
// outside 0..4 count as 0) unless set; the currency dialog sets it.
// Setting -1 makes the next use read the profile again.
int CurrencySymbolIndex();
void SetCurrencySymbolIndex(int index);
QString CurrencySymbol(int index);

// ---- the number rule of a cell -------------------------------------------

namespace qor {
// What every way of writing a value (a host, the command line, the sheet
// view) tells when a text meets a cell that holds numbers. Rows and
// columns count from 1.
QString TextIntoNumberCellMessage(const QString& text, int row, int col);
// Whether a text written into a number cell reads as a number (blanks
// around it allowed), and which. Commas that group the digits before the
// point by three ("80,000.50") are read as thousands separators.
bool TextAsCellNumber(const QString& text, double* number);
}  // namespace qor
