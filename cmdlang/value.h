#pragma once
// Values of the command language: what an expression, a condition or a
// formula function yields.
//
//  - number (a double); conditions give 1 for true and 0 for false;
//  - text (UTF-16), each part marked with where it came from (see
//    TextPiece);
//  - empty: an unset cell or keyword, a left-out argument; 0 in arithmetic
//    and "" where a text is wanted;
//  - area: a reference to several cells, meaningful only as the argument
//    of a function (a statistic);
//  - error: carries a message for the error log and, where the language
//    fixes one, a numeric code. Errors spread through every operation that
//    reads them.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>

#include "cmdlang/syntaxtree.h"
#include "engine/formulaeval.h"

namespace qor::cmd {

// Codes of the errors the language reports by number (the interpreter
// hands them to its caller as QorError); 0 = an error with a message only.
constexpr int kErrorBadRecordLimit = 17;  // GETRECORD: record limit out of range
constexpr int kErrorMalformedCall = 101;  // GETRECORD: a malformed argument

// The longest text a value may hold, in characters (UTF-16 units). A join
// that would make a longer one gives an error instead, so a line doubling
// a text fails at once rather than eat the machine's memory.
constexpr qsizetype kMaxTextChars = 65536;

// An area as a value: cells of a page, or lines of the variable area.
struct AreaValue {
    enum class Kind : uint8_t { Cells, VarLines };
    Kind kind = Kind::Cells;
    CellPos first, last;  // Cells
    VarRef var1, var2;    // VarLines (line 0 = every used line)
    QString report;       // another report ("path"->A1:B2), "" for this one
    int page = 0;         // a fixed page (A1:B2@3), 0 for the page evaluated
    bool operator==(const AreaValue&) const = default;
};

// A run of a text by where it came from. Written: the formula's author
// wrote it between quotes (a quoted text of a formula, a command line or a
// script). Anything else is data: cells, keywords, variables filled from
// them, databases, answers typed at a prompt, file names, numbers turned
// into text. The marks travel with the text through variables, joins with
// "+" and the text functions, so a statement built from it can keep data
// as values, whatever quotes a cell's text holds (exchange/dbreaders.h).
struct TextPiece {
    QString text;
    bool written = false;
    bool operator==(const TextPiece&) const = default;
};

class Value {
public:
    enum class Kind : uint8_t { Empty, Number, Text, Area, Error };

    Value() = default;
    // A number that is not finite (overflow, an invalid operation) becomes
    // an error: no cell ever holds infinity or NaN.
    static Value number(double v);
    static Value boolean(bool b) { return plainNumber(b ? 1.0 : 0.0); }
    // A text that is data (see TextPiece).
    static Value text(QString t);
    // A text the formula's author wrote.
    static Value written(QString t);
    // The pieces joined, each keeping its mark.
    static Value fromPieces(const QList<TextPiece>& pieces);
    static Value empty() { return {}; }
    static Value area(const AreaValue& a);
    static Value error(QString message, int code = 0);

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_kind == Kind::Empty; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isText() const { return m_kind == Kind::Text; }
    bool isArea() const { return m_kind == Kind::Area; }
    bool isError() const { return m_kind == Kind::Error; }

    double asNumber() const { return m_number; }            // Number only
    const QString& asText() const { return m_text; }        // Text only
    const AreaValue& asArea() const { return *static_cast<const AreaValue*>(m_extra.get()); }  // Area only
    int errorCode() const { return m_code; }                // Error only
    const QString& errorMessage() const { return m_text; }  // Error only

    // Text only: its runs in order, neighbours of the same mark merged
    // (none for an empty text).
    QList<TextPiece> pieces() const;
    // Text only: true when every character is the author's.
    bool isWritten() const { return m_marks == Marks::Written; }
    // Text only: the characters [from, from + n) with their marks.
    Value sliced(qsizetype from, qsizetype n) const;
    // Text only: another text made from this one character by character
    // (case changed). Of the same length it keeps the marks; otherwise it
    // is written only when all of this was.
    Value retexted(QString t) const;

    // Same kind and contents (numbers exactly); the marks of texts are not
    // compared.
    bool operator==(const Value& other) const;

private:
    friend Value Arithmetic(Op op, const Value& a, const Value& b);
    static Value plainNumber(double v) {
        Value r;
        r.m_kind = Kind::Number;
        r.m_number = v;
        return r;
    }

    // Marks of a text: all data, all written, or runs (runs()).
    enum class Marks : uint8_t { Data, Written, Mixed };
    struct Run {
        qsizetype length;
        bool written;
    };

    Kind m_kind = Kind::Empty;
    Marks m_marks = Marks::Data;
    int m_code = 0;
    double m_number = 0;
    QString m_text;
    // An area's AreaValue, or a Mixed text's QList<Run>: one pointer for
    // both keeps a value as small as it was before texts had marks, which
    // recalculation copies millions of.
    std::shared_ptr<const void> m_extra;
    const QList<Run>& runs() const { return *static_cast<const QList<Run>*>(m_extra.get()); }
};

// The number a value stands for: texts through ParseDouble, empty 0.
// Areas and errors give 0 (callers test for them first).
double ToNumber(const Value& v);
// The text a value stands for: numbers as FormatNumber writes them, empty "".
QString ToText(const Value& v);
// Truth of a condition: a number other than 0, a text whose number is
// not 0. Empty is false.
bool IsTrue(const Value& v);
// A value standing as a condition (DELETE FOR A1, A1 AND B1): 1 or 0 as
// IsTrue reads it, but a text the number rule does not read ("12abc") is
// an error, as it is in a comparison. Errors pass through.
Value ConditionTruth(const Value& v);

// Shortest text of a number with up to 15 significant digits ("%.15g"),
// never "-0".
QString FormatNumber(double v);

// The binary operators + - * / ^ on two values. + on two texts (or a text
// and an empty value) joins them, each part keeping its marks (an error
// when the result would be longer than kMaxTextChars); anything else is arithmetic on the
// numbers the operands stand for. Division by zero is an error.
Value Arithmetic(Op op, const Value& a, const Value& b);
// Unary minus and plus.
Value Unary(Op op, const Value& a);
// = <> < <= > >= LIKE, giving 1 or 0. Two texts (an empty value counting
// as "") compare as texts, code unit by code unit; otherwise both sides
// compare as numbers, a text read by NumberForArithmetic's rule, and a text
// that rule does not read is an error. Numbers that agree to within
// rounding noise (a relative 1e-14) are equal, so 0.1+0.2=0.3.
Value Compare(Op op, const Value& a, const Value& b);
// SQL-style pattern: % any run of characters, _ one character (one UTF-16
// unit); case is ignored, as database conditions ignore it.
bool LikeMatch(QStringView text, QStringView pattern);

// Between this language and the engine's formula values. An area cannot be
// a cell's value and becomes an error.
qor::FormulaValue ToFormulaValue(const Value& v);
Value FromFormulaValue(const qor::FormulaValue& v);

}  // namespace qor::cmd
