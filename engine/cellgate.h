#pragma once
// The one gate a value passes on its way into a cell or a keyword. Every
// route (a command line, a formula, an import, a paste, a host) ends in
// CReportHandle::SetCellValue or SetPageKeyword, and both ask here, so a
// text meets the same number rule, the same lengths and the same NUL
// refusal whichever way it came.

#include <QString>
#include <cstdint>

#include "engine/cellformat.h"
#include "engine/celltypes.h"
#include "engine/reportlayout.h"

class CReportFile;
class CReportHandle;

namespace qor {

enum class ValueFault {
    None,
    NotANumber,  // a text for a number cell the number rule does not read
    NotFinite,   // inf or NaN, from a text or a computation
    TooLong,     // past what the cell or keyword keeps
    HoldsNul,    // the report's texts end at a NUL: the rest would be lost
};

// Whether a cell of this format word keeps texts (text and other text).
bool CellKeepsText(uint64_t formatWord);

// What a cell of that format word keeps for the value: a text cell a text
// (a number as text with 15 significant digits), a number cell a number
// read by TextAsCellNumber (a blank text empties it), held to the decimals
// the cell shows. Kind 0 stays kind 0. The fault, and *out untouched, when
// the value cannot enter.
ValueFault ValueForCell(const CellValue& in, uint64_t formatWord, CellValue* out);
// The same for a keyword slot holding texts (32 characters) or numbers.
ValueFault ValueForKeyword(const KeywordValue& in, bool textSlot, KeywordValue* out);
// The text a refused value showed, for the message.
QString FaultyValueText(const CellValue& v);
QString FaultyValueText(const KeywordValue& v);

// "C2: ..." naming the place (a cell reference or a keyword's name), the
// value (shortened when long) and why it cannot enter.
QString ValueFaultMessage(ValueFault fault, const QString& place, const QString& text,
                          int limit);

// The status of a value the gate refused. Its StatusText is the message of
// the last refusal on this thread, so whoever passes the status on with its
// text names the cell and the value without knowing where they came from.
constexpr uint16_t kValueRefusedStatus = 1270;
uint16_t RefuseValue(ValueFault fault, const QString& place, const QString& text, int limit);
QString LastValueRefusal();
// Forgets the last refusal, for a caller that learns of refusals only
// through LastValueRefusal (a write that reports no status of its own).
void ForgetValueRefusal();

// "第2页 C3": a cell of a page, as a refusal names it.
QString PageCellPlace(int page, int row, int col);

// Brings every value of a page (data state) to the kind of its cell by the
// gate: a text in a number cell becomes its number, a number in a text cell
// its text. With apply false nothing changes and only a refusal is found.
// 0, the status of a page that does not load, or kValueRefusedStatus.
// A refusal names the page as namedPage when one is given (a page copied
// in is named by its number where it came from).
uint16_t ConformPageValues(CReportHandle& report, int page, bool apply, int namedPage = 0);

// Brings every page's custom keyword to a text (type 0) or number (1)
// keyword by the gate; with apply false only a refusal is found (the
// first page whose value does not convert, named). The report's type is
// left to the caller.
uint16_t ConvertUserKeyword(CReportFile& file, int type, bool apply);

}  // namespace qor
