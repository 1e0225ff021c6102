#include "engine/cellgate.h"

#include <cmath>

#include "engine/cells_round.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor {

namespace {

QString numberText(double v) { return QString::number(v, 'g', 15); }

ValueFault textFault(const QString& text, int limit) {
    if (text.contains(QChar(u'\0'))) return ValueFault::HoldsNul;
    if (text.size() > limit) return ValueFault::TooLong;
    return ValueFault::None;
}

// A text for a number place: blanks empty it, the number rule reads the
// rest; anything else is refused rather than read as a part of itself.
ValueFault numberOfText(const QString& text, double* number, bool* blank) {
    if (text.contains(QChar(u'\0'))) return ValueFault::HoldsNul;
    *blank = text.trimmed().isEmpty();
    if (*blank) return ValueFault::None;
    if (TextAsCellNumber(text, number)) return ValueFault::None;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && !std::isfinite(v) ? ValueFault::NotFinite : ValueFault::NotANumber;
}

}  // namespace

bool CellKeepsText(uint64_t word) {
    const auto kind = cellFormatGet(word, kFmtKind);
    return kind == kCellText || kind == kCellOtherText;
}

ValueFault ValueForCell(const CellValue& in, uint64_t word, CellValue* out) {
    const bool textCell = CellKeepsText(word);
    if (in.kind == kCellUnset) {
        *out = CellValue{};
        return ValueFault::None;
    }
    if (!in.isText() && !std::isfinite(in.number)) return ValueFault::NotFinite;
    if (in.kind == kCellLabel) {
        if (ValueFault f = textFault(in.text, kMaxLabelChars); f != ValueFault::None) return f;
        *out = in;
        return ValueFault::None;
    }
    if (textCell) {
        const QString text = in.isText() ? in.text : numberText(in.number);
        if (ValueFault f = textFault(text, kMaxCellTextChars); f != ValueFault::None) return f;
        *out = CellValue::ofText(text);
        return ValueFault::None;
    }
    // A number cell holds what it shows, as a cut of its decimals leaves
    // it: its totals, exports and the file then agree with the screen.
    if (!in.isText()) {
        *out = CellValue::ofNumber(HeldToShownDecimals(in.number, word));
        return ValueFault::None;
    }
    double number = 0;
    bool blank = false;
    if (ValueFault f = numberOfText(in.text, &number, &blank); f != ValueFault::None) return f;
    *out = blank ? CellValue{} : CellValue::ofNumber(HeldToShownDecimals(number, word));
    return ValueFault::None;
}

ValueFault ValueForKeyword(const KeywordValue& in, bool textSlot, KeywordValue* out) {
    if (in.kind == 0) {
        *out = KeywordValue{};
        return ValueFault::None;
    }
    if (in.kind == 1 && !std::isfinite(in.number)) return ValueFault::NotFinite;
    if (textSlot) {
        const QString text = in.kind == 1 ? numberText(in.number) : in.text;
        if (ValueFault f = textFault(text, kKeywordTextChars); f != ValueFault::None) return f;
        *out = KeywordValue{2, 0, text};
        return ValueFault::None;
    }
    if (in.kind == 1) {
        *out = KeywordValue{1, in.number, {}};
        return ValueFault::None;
    }
    double number = 0;
    bool blank = false;
    if (ValueFault f = numberOfText(in.text, &number, &blank); f != ValueFault::None) return f;
    *out = blank ? KeywordValue{} : KeywordValue{1, number, {}};
    return ValueFault::None;
}

QString FaultyValueText(const CellValue& v) { return v.isText() ? v.text : numberText(v.number); }

QString FaultyValueText(const KeywordValue& v) {
    return v.kind == 2 ? v.text : numberText(v.number);
}

QString ValueFaultMessage(ValueFault fault, const QString& place, const QString& text,
                          int limit) {
    // A long text is named by its start; the NUL is shown where it sits.
    constexpr int kShown = 40;
    QString shown = text.left(kShown);
    shown.replace(QChar(u'\0'), QStringLiteral("\\0"));
    if (text.size() > kShown) shown += QStringLiteral("...");
    const QString named = LoadErrorText(str::kNameAndText);
    switch (fault) {
        case ValueFault::NotANumber:
        case ValueFault::NotFinite:
            return named.arg(place, LoadErrorText(str::kConditionNotANumber).arg(shown));
        case ValueFault::TooLong:
            return named.arg(LoadErrorText(str::kTextOverLimit).arg(place).arg(limit), shown);
        case ValueFault::HoldsNul:
            return named.arg(LoadErrorText(str::kTextHoldsNul).arg(place), shown);
        case ValueFault::None:
            break;
    }
    return QString();
}

namespace {
thread_local QString t_lastRefusal;
}  // namespace

uint16_t RefuseValue(ValueFault fault, const QString& place, const QString& text, int limit) {
    t_lastRefusal = ValueFaultMessage(fault, place, text, limit);
    return kValueRefusedStatus;
}

QString LastValueRefusal() { return t_lastRefusal; }

void ForgetValueRefusal() { t_lastRefusal.clear(); }

QString PageCellPlace(int page, int row, int col) {
    return LoadErrorText(str::kLossPagePlace).arg(page) + QLatin1Char(' ') +
           FormatCellRef(col - 1, row - 1);
}

}  // namespace qor
