#pragma once
// Error codes of the command language. A command that fails throws one of
// these (or an engine status, 1 and 1005..1260, which pass through as they
// are) in a QorError; the run entry catches it, logs it and tells the user.
// The numbers are shown to users and written to the log, so they never
// change.

#include <QString>

#include "engine/status.h"

enum ERROR_CODES : int {
    CALC_OK = 0,
    // Fixed by the record function's callers.
    CALC_ERR_BAD_RECORD_LIMIT = 17,  // GETRECORD: record limit out of range
    CALC_ERR_MALFORMED_CALL = 101,   // GETRECORD: a malformed argument
    // Ours; kept clear of the engine's statuses.
    CALC_ERR_SYNTAX = 201,              // the line does not parse
    CALC_ERR_LINE_TOO_LONG = 202,       // more than the command buffer holds
    CALC_ERR_NO_REPORT = 203,           // no open report to work on
    CALC_ERR_FORMAT_STATE = 204,        // the report is in format state
    CALC_ERR_NO_PAGE = 205,             // the report has no pages
    CALC_ERR_EVALUATION = 206,          // an expression gave an error
    CALC_ERR_UNKNOWN_VARIABLE = 207,    // FREE of a name that is not defined
    CALC_ERR_TOO_MANY_VARIABLES = 208,  // an 81st variable
    CALC_ERR_NAME_TOO_LONG = 209,       // a variable name of more than 9 characters
    CALC_ERR_NO_SEARCH = 210,           // CONTINUE without FIND or GFIND
    CALC_ERR_NOT_FOUND = 211,           // no page or line satisfies the condition
    CALC_ERR_NO_VAR_AREA = 212,         // the report has no variable area
    CALC_ERR_FILE = 213,                // a file cannot be opened, read or made
    CALC_ERR_SHAPE_MISMATCH = 214,      // another report's table differs
    CALC_ERR_NESTING = 215,             // DO nested more than 8 deep
    CALC_ERR_CHECK_FAILED = 216,        // an audit relation does not hold
    CALC_ERR_NOT_AVAILABLE = 217,       // the subsystem that does this is not installed
    CALC_ERR_STOPPED = 218,             // the user stopped the run
    CALC_ERR_BAD_ARGUMENT = 219,        // a page number, sort key or setting is unusable
    CALC_ERR_MAIL_BUSY = 220,           // a mail transfer is running
    CALC_ERR_NO_SETTINGS = 221,         // no audit formulas / rounding settings
};

namespace qor::cmd {

// Depth of DO inside DO (a script running a script ...).
constexpr int kMaxDoDepth = 8;

// The error a command throws.
[[noreturn]] void ThrowCalcError(int code, const QString& detail);
// Passes a failed engine status on (nothing for 0).
void ThrowIfStatus(uint16_t status, const QString& what);

// The text of an error for the user: detail when given, else the code's
// text from the string table (LocalCalcErrorText for the language's own
// codes, the engine's status texts for statuses).
QString CalcErrorText(int code, const QString& detail = QString());

// The code's text in the user's language, from the string table: what the
// desktop shows and the log of formulas and commands keeps.
QString LocalCalcErrorText(int code);
// text as a failure of the code reads in the user's language: the code's
// own text when text is empty, else text unchanged (the stock text and
// every detail the language gives are already in the user's language).
QString LocalCalcFailure(int code, const QString& text);

}  // namespace qor::cmd
