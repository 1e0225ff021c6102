#pragma once
// The arguments of a function call as written, for the calls whose
// arguments are handed on as text (the application services' ledger
// functions and the drill-down that reads them).

#include <QString>
#include <QStringList>
#include <QStringView>

namespace qor {

// text starts right after a call's "(". The arguments up to the call's own
// ")", split at its own commas only: a comma or bracket inside a
// double-quoted text or inside an inner call's brackets belongs to the
// argument that holds it ("10,01" stays one argument, and so does
// QC("1001",5)). Arguments keep their blanks and quotes. *close, when
// asked, is the position of the call's ")" in text, -1 when the call never
// closes (the arguments then run to the end).
QStringList SplitCallArguments(QStringView text, qsizetype* close = nullptr);

// True when an argument holds a "(" outside double quotes: a nested call
// or a bracketed expression, whose value is known only when computed.
bool ArgumentHoldsCall(QStringView argument);

}  // namespace qor
