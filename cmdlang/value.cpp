#include "cmdlang/value.h"

#include <algorithm>
#include <cmath>

#include "cmdlang/arithnumber.h"
#include "cmdlang/cmdtexts.h"
#include "engine/textutil.h"

namespace qor::cmd {

namespace {

// Two numbers closer than this part of the larger are the same number:
// sums of amounts carry rounding noise in their last bits, and an audit
// relation such as A15=A12+A13 must not fail on it.
constexpr double kRelativeTolerance = 1e-14;

bool textLike(const Value& v) { return v.isText() || v.isEmpty(); }

Value areaError() { return Value::error(CmdText(str::kAreaOnlyArgument)); }

Value notANumberError(const Value& v) {
    return Value::error(CmdText(str::kConditionNotANumber).arg(v.asText()));
}

// -1, 0 or 1.
int compareNumbers(double a, double b) {
    if (a == b) return 0;
    const double scale = std::max(std::fabs(a), std::fabs(b));
    if (std::fabs(a - b) <= scale * kRelativeTolerance) return 0;
    return a < b ? -1 : 1;
}

bool sameChar(QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); }

}  // namespace

Value Value::number(double v) {
    if (!std::isfinite(v)) return error(CmdText(str::kNumberOutOfBounds));
    return plainNumber(v);
}

Value Value::text(QString t) {
    Value r;
    r.m_kind = Kind::Text;
    r.m_text = std::move(t);
    return r;
}

Value Value::written(QString t) {
    Value r = text(std::move(t));
    r.m_marks = Marks::Written;
    return r;
}

Value Value::fromPieces(const QList<TextPiece>& pieces) {
    Value r = text(QString());
    QList<Run> runs;
    qsizetype length = 0;
    for (const TextPiece& p : pieces) length += p.text.size();
    r.m_text.reserve(length);
    for (const TextPiece& p : pieces) {
        if (p.text.isEmpty()) continue;
        r.m_text += p.text;
        if (!runs.isEmpty() && runs.last().written == p.written)
            runs.last().length += p.text.size();
        else
            runs.append({p.text.size(), p.written});
    }
    if (runs.size() == 1 && runs[0].written) r.m_marks = Marks::Written;
    if (runs.size() > 1) {
        r.m_marks = Marks::Mixed;
        r.m_extra = std::make_shared<const QList<Run>>(std::move(runs));
    }
    return r;
}

QList<TextPiece> Value::pieces() const {
    QList<TextPiece> out;
    if (m_kind != Kind::Text || m_text.isEmpty()) return out;
    if (m_marks != Marks::Mixed) {
        out.append({m_text, m_marks == Marks::Written});
        return out;
    }
    qsizetype at = 0;
    for (const Run& run : runs()) {
        out.append({m_text.mid(at, run.length), run.written});
        at += run.length;
    }
    return out;
}

Value Value::sliced(qsizetype from, qsizetype n) const {
    from = std::clamp<qsizetype>(from, 0, m_text.size());
    n = std::clamp<qsizetype>(n, 0, m_text.size() - from);
    if (m_marks != Marks::Mixed) {
        Value r = text(m_text.mid(from, n));
        r.m_marks = m_marks;
        return r;
    }
    QList<TextPiece> kept;
    qsizetype at = 0;
    for (const Run& run : runs()) {
        const qsizetype start = std::max(at, from), end = std::min(at + run.length, from + n);
        if (start < end) kept.append({m_text.mid(start, end - start), run.written});
        at += run.length;
    }
    return fromPieces(kept);
}

Value Value::retexted(QString t) const {
    if (t.size() == m_text.size()) {
        Value r = *this;
        r.m_text = std::move(t);
        return r;
    }
    return isWritten() ? written(std::move(t)) : text(std::move(t));
}

Value Value::area(const AreaValue& a) {
    Value r;
    r.m_kind = Kind::Area;
    r.m_extra = std::make_shared<const AreaValue>(a);
    return r;
}

Value Value::error(QString message, int code) {
    Value r;
    r.m_kind = Kind::Error;
    r.m_code = code;
    r.m_text = std::move(message);
    return r;
}

bool Value::operator==(const Value& o) const {
    if (m_kind != o.m_kind) return false;
    switch (m_kind) {
        case Kind::Empty:
            return true;
        case Kind::Number:
            return m_number == o.m_number;
        case Kind::Text:
            return m_text == o.m_text;
        case Kind::Area:
            return asArea() == o.asArea();
        case Kind::Error:
            return m_code == o.m_code && m_text == o.m_text;
    }
    return false;
}

double ToNumber(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Number:
            return v.asNumber();
        case Value::Kind::Text:
            return ParseDouble(v.asText());
        default:
            return 0;
    }
}

bool NumberForArithmetic(const Value& v, double* out) {
    if (!v.isText()) {
        *out = ToNumber(v);
        return true;
    }
    if (v.asText().trimmed().isEmpty()) {
        *out = 0;
        return true;
    }
    return qor::TextAsCellNumber(v.asText(), out);
}

QString ToText(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Number:
            return FormatNumber(v.asNumber());
        case Value::Kind::Text:
            return v.asText();
        default:
            return QString();
    }
}

bool IsTrue(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Number:
            return v.asNumber() != 0;
        case Value::Kind::Text: {
            double x = 0;
            if (qor::TextAsCellNumber(v.asText(), &x)) return x != 0;
            return ParseDouble(v.asText()) != 0;
        }
        default:
            return false;
    }
}

Value ConditionTruth(const Value& v) {
    if (v.isError()) return v;
    if (v.isArea()) return areaError();
    double x = 0;
    if (v.isText() && !NumberForArithmetic(v, &x)) return notANumberError(v);
    return Value::boolean(IsTrue(v));
}

QString FormatNumber(double v) {
    if (v == 0) return QStringLiteral("0");
    return QString::asprintf("%.15g", v);
}

Value Arithmetic(Op op, const Value& a, const Value& b) {
    if (a.isError()) return a;
    if (b.isError()) return b;
    if (a.isArea() || b.isArea()) return areaError();
    if (op == Op::Add && textLike(a) && textLike(b) && (a.isText() || b.isText())) {
        const qsizetype length = (a.isText() ? a.asText().size() : 0) +
                                 (b.isText() ? b.asText().size() : 0);
        if (length > kMaxTextChars)
            return Value::error(CmdText(str::kTextTooLong).arg(kMaxTextChars));
        if (!b.isText() || b.asText().isEmpty()) return a.isText() ? a : b;
        if (!a.isText() || a.asText().isEmpty()) return b;
        if (a.m_marks == b.m_marks && a.m_marks != Value::Marks::Mixed) {
            Value r = Value::text(a.asText() + b.asText());
            r.m_marks = a.m_marks;
            return r;
        }
        return Value::fromPieces(a.pieces() + b.pieces());
    }
    // A text meets a number by the rule a number cell reads it with: "12x"
    // is no 12 and "abc" no 0.
    double x = 0, y = 0;
    if (!NumberForArithmetic(a, &x)) return notANumberError(a);
    if (!NumberForArithmetic(b, &y)) return notANumberError(b);
    switch (op) {
        case Op::Add:
            return Value::number(x + y);
        case Op::Sub:
            return Value::number(x - y);
        case Op::Mul:
            return Value::number(x * y);
        case Op::Div:
            if (y == 0) return Value::error(CmdText(str::kDivisionByZero));
            return Value::number(x / y);
        case Op::Pow: {
            if (x == 0 && y < 0) return Value::error(CmdText(str::kDivisionByZero));
            const double r = std::pow(x, y);
            if (std::isnan(r)) return Value::error(CmdText(str::kFractionalPower));
            return Value::number(r);
        }
        default:
            return Value::error(CmdText(str::kNotArithmetic));
    }
}

Value Unary(Op op, const Value& a) {
    if (a.isError()) return a;
    if (a.isArea()) return areaError();
    double x = 0;
    if (!NumberForArithmetic(a, &x)) return notANumberError(a);
    return Value::number(op == Op::Neg ? -x : x);
}

Value Compare(Op op, const Value& a, const Value& b) {
    if (a.isError()) return a;
    if (b.isError()) return b;
    if (a.isArea() || b.isArea()) return areaError();
    if (op == Op::Like) return Value::boolean(LikeMatch(ToText(a), ToText(b)));
    int c;
    if (textLike(a) && textLike(b)) {
        const int t = QStringView(ToText(a)).compare(ToText(b), Qt::CaseSensitive);
        c = t < 0 ? -1 : (t > 0 ? 1 : 0);
    } else {
        // A text meets a number as arithmetic meets it: "12abc" is no 12,
        // so a condition over it fails rather than picking pages by a
        // leading number.
        double x = 0, y = 0;
        if (!NumberForArithmetic(a, &x)) return notANumberError(a);
        if (!NumberForArithmetic(b, &y)) return notANumberError(b);
        c = compareNumbers(x, y);
    }
    switch (op) {
        case Op::Eq:
            return Value::boolean(c == 0);
        case Op::Ne:
            return Value::boolean(c != 0);
        case Op::Lt:
            return Value::boolean(c < 0);
        case Op::Le:
            return Value::boolean(c <= 0);
        case Op::Gt:
            return Value::boolean(c > 0);
        case Op::Ge:
            return Value::boolean(c >= 0);
        default:
            return Value::error(CmdText(str::kNotComparison));
    }
}

bool LikeMatch(QStringView text, QStringView pattern) {
    // Greedy match that goes back to the last % when the rest fails: linear
    // in practice, never exponential.
    qsizetype i = 0, j = 0, star = -1, mark = 0;
    while (i < text.size()) {
        if (j < pattern.size() && pattern[j] == u'%') {
            star = j++;
            mark = i;
        } else if (j < pattern.size() && (pattern[j] == u'_' || sameChar(pattern[j], text[i]))) {
            ++i;
            ++j;
        } else if (star >= 0) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < pattern.size() && pattern[j] == u'%') ++j;
    return j == pattern.size();
}

qor::FormulaValue ToFormulaValue(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Empty:
            return qor::FormulaValue::empty();
        case Value::Kind::Number:
            return qor::FormulaValue::ofNumber(v.asNumber());
        case Value::Kind::Text:
            return qor::FormulaValue::ofText(v.asText());
        case Value::Kind::Error:
            return qor::FormulaValue::error(v.errorMessage());
        default:
            return qor::FormulaValue::error();
    }
}

Value FromFormulaValue(const qor::FormulaValue& v) {
    switch (v.kind) {
        case qor::FormulaValue::Number:
            return Value::number(v.number);
        case qor::FormulaValue::Text:
            return Value::text(v.text);
        case qor::FormulaValue::Error:
            return Value::error(CmdText(str::kNoValidValue));
        default:
            return Value::empty();
    }
}

}  // namespace qor::cmd
