#include "dialogs/keyword_logic.h"

#include "engine/messages.h"
#include "engine/reportlayout.h"

namespace qor {

namespace {

constexpr int kNameTooLong = 62897;
constexpr int kNameEmpty = 62898;
constexpr int kNameCombo = 1281;

// Characters a custom keyword's name may not hold, in the order they are
// checked, with their messages.
struct Refused {
    const char16_t* text;
    int message;
};
constexpr Refused kRefusedChars[] = {
    {u"#", 62899},  {u"＃", 62899}, {u"￥", 62901}, {u"％", 62903}, {u"＊", 62905}, {u"~", 62906},
    {u"!", 62907},  {u"@", 62908},  {u"$", 62909},  {u"^", 62910},  {u"&", 62911},  {u"'", 62912},
    {u"\"", 62913}, {u"<", 62914},  {u">", 62915},  {u"/", 62916},  {u"\\", 62917}, {u"|", 62918},
    {u"%", 62919},  {u"*", 62920},  {u"(", 62921},  {u")", 62922},
};

// Built-in keyword names by string id, with the message refusing each.
constexpr int kBuiltinNames[][2] = {{62036, 62923}, {62035, 62924}, {62037, 62925},
                                    {62038, 62926}, {62039, 62927}, {62040, 62928}};

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
    if (!ok) return {61712, {}, focus};
    if (v < low || v > high) return {message, std::move(args), focus};
    *out = int32_t(v);
    return {};
}

}  // namespace

DlgRefusal CheckCustomKeywordName(const QString& name) {
    // The report keeps this many characters; refusing here keeps the dialog
    // open instead of failing after it closed.
    if (name.size() > kUserKeywordNameChars) return {kNameTooLong, {}, kNameCombo};
    if (name.trimmed().isEmpty()) return {kNameEmpty, {}, kNameCombo};
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
        if (auto r = number(t.year, 1980, 2099, 62929, {}, 1000, &out.year); !r.accepted())
            return r;
    if (out.enableQuarter)
        if (auto r = number(t.quarter, 1, 4, 62930, {}, 1004, &out.quarter); !r.accepted())
            return r;
    if (out.enableMonth)
        if (auto r = number(t.month, 1, 12, 62931, {}, 1036, &out.month); !r.accepted()) return r;
    if (out.enableDay) {
        const int year = out.enableYear && out.year ? out.year : today.year();
        const int days = out.enableMonth ? DaysInMonth(year, out.month) : 31;
        if (auto r = number(t.day, 1, days, 62932, {QString::number(days)}, 1050, &out.day);
            !r.accepted())
            return r;
    }
    if (out.enableUnitName) out.unitName = t.unitName.left(kUnitNameChars);
    if (out.enableUnitNumber) out.unitNumber = t.unitNumber.left(kUnitNumberChars);
    if (out.enableCustom) {
        if (out.customNumeric) {
            int high = 30000, message = 62937;
            if (customName == QStringLiteral("周")) {
                high = 53;
                message = 62934;
            } else if (customName == QStringLiteral("旬")) {
                high = 36;
                message = 62936;
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
    if (!ok || d < 1 || d > 8) return {62190, {}, 1036};
    if (typed.tableName.size() > kMaxRoundTableName) return {62191, {}, 1000};
    if (typed.formula.size() > kMaxRoundFormula) return {62192, {}, 1050, 62085};
    *m = typed;
    m->digits = d;
    return {};
}

}  // namespace qor
