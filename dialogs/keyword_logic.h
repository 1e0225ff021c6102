#pragma once
// What the keyword, variable-area and rounding-balance dialogs decide,
// without their widgets: the custom keyword's name rules, the dates of
// the enter-keyword dialog (against an injectable today) and the rounding
// settings' limits.

#include <QDate>
#include <QString>
#include <functional>

#include "dialogs/dlgexchange.h"
#include "document/cmd_dialogs.h"

namespace qor {

constexpr int kUnitNameChars = 30;
constexpr int kUnitNumberChars = 32;  // what a keyword value holds
constexpr int kMaxOffset = 300;
constexpr int kMaxRoundTableName = 255;
constexpr int kMaxRoundFormula = 3745;

// The name of a custom keyword: too long (62897), empty (62898), a
// character that the command language reads as an operator (62899 ..
// 62922, in a fixed order) or a built-in keyword's name (62923 .. 62928).
// The focus goes to the name combo.
DlgRefusal CheckCustomKeywordName(const QString& name);

// Days of a month; 31 when month is 0 (not known). February counts 29 in a
// leap year.
int DaysInMonth(int year, int month);

// Today for the enter-keyword dialog; tests set their own day. An empty
// function restores the system clock. Returns the clock installed before.
using KeywordClock = std::function<QDate()>;
KeywordClock SetKeywordClock(KeywordClock clock);
QDate KeywordToday();

// The members as the dialog opens: zero dates become today's, a numeric
// custom value outside 1..30000 becomes 1.
EnterKeywordDlgMembers EnterKeywordShown(const EnterKeywordDlgMembers& m, const QDate& today);

struct EnterKeywordTexts {
    QString year, quarter, month, day, custom, unitName, unitNumber;
};
// The enabled fields in the order year, quarter, month, day, then the
// custom value against its name (周 1..53, 旬 1..36, otherwise 1..30000).
// An empty number edit passes as 0.
DlgRefusal CheckEnterKeyword(const EnterKeywordTexts& t, const QString& customName,
                             const QDate& today, EnterKeywordDlgMembers* m);

// Digits 1..8 (62190, focus 1036), the table name under 256 characters
// (62191, focus 1000), the formula under 3,746 (62192 and 62085, focus 1050).
DlgRefusal CheckRoundBalance(const QString& digits, const RoundBalanceDlgMembers& typed,
                             RoundBalanceDlgMembers* m);

}  // namespace qor
