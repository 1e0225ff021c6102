#include "dialogs/keyword_logic.h"

#include "engine/messages.h"
#include "engine/reportlayout.h"

namespace qor {

namespace {

constexpr int kNameCombo = 1281;

// Characters a custom keyword's name may not hold, in the order they are
// checked, with their messages.
struct Refused {
    const char16_t* text;
    int message;
};
constexpr Refused kRefusedChars[] = {
    {u"#", str::kKeywordNameHash},          {u"＃", str::kKeywordNameHash},
    {u"￥", str::kKeywordNameYen},          {u"％", str::kKeywordNameWidePercent},
    {u"＊", str::kKeywordNameWideAsterisk}, {u"~", str::kKeywordNameTilde},
    {u"!", str::kKeywordNameExclamation},   {u"@", str::kKeywordNameAt},
    {u"$", str::kKeywordNameDollar},        {u"^", str::kKeywordNameCaret},
    {u"&", str::kKeywordNameAmpersand},     {u"'", str::kKeywordNameApostrophe},
    {u"\"", str::kKeywordNameQuote},        {u"<", str::kKeywordNameLess},
    {u">", str::kKeywordNameGreater},       {u"/", str::kKeywordNameSlash},
    {u"\\", str::kKeywordNameBackslash},    {u"|", str::kKeywordNameBar},
    {u"%", str::kKeywordNamePercent},       {u"*", str::kKeywordNameAsterisk},
    {u"(", str::kKeywordNameOpenParen},     {u")", str::kKeywordNameCloseParen},
};

// Built-in keyword names by string id, with the message refusing each.
constexpr int kBuiltinNames[][2] = {{str::kKeywordUnitName, str::kKeywordIsUnitName},
                                    {str::kKeywordUnitCode, str::kKeywordIsUnitCode},
                                    {str::kKeywordYear, str::kKeywordIsYear},
                                    {str::kKeywordQuarter, str::kKeywordIsQuarter},
                                    {str::kKeywordMonth, str::kKeywordIsMonth},
                                    {str::kKeywordDay, str::kKeywordIsDay}};

KeywordClock& clock() {
    static KeywordClock c;
    return c;
}

// An enabled number edit; empty passes as 0.
DlgRefusal number(const QString& text, int low, int high, int message, QStringList args, int focus,
                  int32_t* out) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *out = 0;
        return {};
    }
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok) return {str::kEnterInteger, {}, focus};
    if (v < low || v > high) return {message, std::move(args), focus};
    *out = int32_t(v);
    return {};
}

}  // namespace

DlgRefusal CheckCustomKeywordName(const QString& name) {
    // The report keeps this many characters; refusing here keeps the dialog
    // open instead of failing after it closed.
    if (name.size() > kUserKeywordNameChars) return {str::kKeywordNameTooLong, {}, kNameCombo};
    if (name.trimmed().isEmpty()) return {str::kKeywordNameEmpty, {}, kNameCombo};
    for (const Refused& r : kRefusedChars)
        if (name.contains(QString::fromUtf16(r.text))) return {r.message, {}, kNameCombo};
    for (const auto& b : kBuiltinNames)
        if (name.trimmed() == LoadErrorText(b[0])) return {b[1], {}, kNameCombo};
    return {};
}

int DaysInMonth(int year, int month) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2:
            return QDate::isLeapYear(year) && year > 0 ? 29 : 28;
        default:
            return 31;
    }
}

KeywordClock SetKeywordClock(KeywordClock c) {
    KeywordClock old = std::move(clock());
    clock() = std::move(c);
    return old;
}

QDate KeywordToday() { return clock() ? clock()() : QDate::currentDate(); }

EnterKeywordDlgMembers EnterKeywordShown(const EnterKeywordDlgMembers& m, const QDate& today) {
    EnterKeywordDlgMembers s = m;
    if (s.year == 0) s.year = today.year();
    if (s.month == 0) s.month = today.month();
    if (s.day == 0) s.day = today.day();
    if (s.quarter == 0) s.quarter = (today.month() - 1) / 3 + 1;
    if (s.customNumeric && (s.customNumber < 1 || s.customNumber > 30000)) s.customNumber = 1;
    return s;
}

DlgRefusal CheckEnterKeyword(const EnterKeywordTexts& t, const QString& customName,
                             const QDate& today, EnterKeywordDlgMembers* m) {
    EnterKeywordDlgMembers out = *m;
    if (out.enableYear)
        if (auto r = number(t.year, 1980, 2099, str::kYearRange, {}, 1000, &out.year);
            !r.accepted())
            return r;
    if (out.enableQuarter)
        if (auto r = number(t.quarter, 1, 4, str::kQuarterRange, {}, 1004, &out.quarter);
            !r.accepted())
            return r;
    if (out.enableMonth)
        if (auto r = number(t.month, 1, 12, str::kMonthRange, {}, 1036, &out.month); !r.accepted())
            return r;
    if (out.enableDay) {
        const int year = out.enableYear && out.year ? out.year : today.year();
        const int days = out.enableMonth ? DaysInMonth(year, out.month) : 31;
        if (auto r =
                number(t.day, 1, days, str::kDayRange, {QString::number(days)}, 1050, &out.day);
            !r.accepted())
            return r;
    }
    if (out.enableUnitName) out.unitName = t.unitName.left(kUnitNameChars);
    if (out.enableUnitNumber) out.unitNumber = t.unitNumber.left(kUnitNumberChars);
    if (out.enableCustom) {
        if (out.customNumeric) {
            int high = 30000, message = str::kCustomKeywordRange;
            if (customName == QStringLiteral("周")) {
                high = 53;
                message = str::kWeekRange;
            } else if (customName == QStringLiteral("旬")) {
                high = 36;
                message = str::kTenDayRange;
            }
            if (auto r = number(t.custom, 1, high, message, {}, 1053, &out.customNumber);
                !r.accepted())
                return r;
        } else {
            out.customText = t.custom;
        }
    }
    *m = out;
    return {};
}

DlgRefusal CheckRoundBalance(const QString& digits, const RoundBalanceDlgMembers& typed,
                             RoundBalanceDlgMembers* m) {
    bool ok = false;
    const int d = digits.trimmed().toInt(&ok);
    if (!ok || d < 1 || d > 8) return {str::kRoundingDigitsRange, {}, 1036};
    if (typed.tableName.size() > kMaxRoundTableName) return {str::kTableNameTooLong, {}, 1000};
    if (typed.formula.size() > kMaxRoundFormula)
        return {str::kRoundingFormulaCapacity, {}, 1050, str::kOverLimitSetAgain};
    *m = typed;
    m->digits = d;
    return {};
}

}  // namespace qor
