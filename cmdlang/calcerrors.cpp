#include "cmdlang/calcerrors.h"

#include "engine/messages.h"

namespace qor::cmd {

namespace {

// The desktop's texts of the codes are 64000 + code.
constexpr int kLocalTextBase = 64000;

QString ownText(int code) {
    switch (code) {
        case CALC_ERR_BAD_RECORD_LIMIT:
            return QStringLiteral("the record limit is out of range");
        case CALC_ERR_MALFORMED_CALL:
            return QStringLiteral("malformed function call");
        case CALC_ERR_SYNTAX:
            return QStringLiteral("syntax error");
        case CALC_ERR_LINE_TOO_LONG:
            return QStringLiteral("the command line is longer than 4096 characters");
        case CALC_ERR_NO_REPORT:
            return QStringLiteral("no report is open");
        case CALC_ERR_FORMAT_STATE:
            return QStringLiteral("the report is in format state; commands work on data state");
        case CALC_ERR_NO_PAGE:
            return QStringLiteral("the report has no pages");
        case CALC_ERR_EVALUATION:
            return QStringLiteral("the expression cannot be evaluated");
        case CALC_ERR_UNKNOWN_VARIABLE:
            return QStringLiteral("no such variable");
        case CALC_ERR_TOO_MANY_VARIABLES:
            return QStringLiteral("at most 80 variables can be defined");
        case CALC_ERR_NAME_TOO_LONG:
            return QStringLiteral("a variable name has at most 9 characters");
        case CALC_ERR_NO_SEARCH:
            return QStringLiteral("CONTINUE needs a FIND or GFIND first");
        case CALC_ERR_NOT_FOUND:
            return LoadErrorText(str::kNoRecordFound);
        case CALC_ERR_NO_VAR_AREA:
            return QStringLiteral("the report has no variable area");
        case CALC_ERR_FILE:
            return QStringLiteral("the file cannot be used");
        case CALC_ERR_SHAPE_MISMATCH:
            return QStringLiteral("the reports' tables differ in shape");
        case CALC_ERR_NESTING:
            return QStringLiteral("DO is nested more than %1 deep").arg(kMaxDoDepth);
        case CALC_ERR_CHECK_FAILED:
            return QStringLiteral("an audit relation does not hold");
        case CALC_ERR_NOT_AVAILABLE:
            return QStringLiteral("this command is not available here");
        case CALC_ERR_STOPPED:
            return QStringLiteral("stopped by the user");
        case CALC_ERR_BAD_ARGUMENT:
            return QStringLiteral("bad argument");
        case CALC_ERR_MAIL_BUSY:
            return LoadErrorText(str::kMailProgramRunning);
        case CALC_ERR_NO_SETTINGS:
            return QStringLiteral("the report has no such settings");
        default:
            return QString();
    }
}

}  // namespace

void ThrowCalcError(int code, const QString& detail) { throw QorError{code, detail}; }

void ThrowIfStatus(uint16_t status, const QString& what) {
    if (status == 0) return;
    throw QorError{int(status), QStringLiteral("%1: %2").arg(what, StatusText(status))};
}

QString LocalCalcErrorText(int code) {
    switch (code) {
        case CALC_ERR_NOT_FOUND:
            return LoadErrorText(str::kNoRecordFound);
        case CALC_ERR_MAIL_BUSY:
            return LoadErrorText(str::kMailProgramRunning).trimmed();
        case CALC_ERR_BAD_RECORD_LIMIT:
        case CALC_ERR_MALFORMED_CALL:
            return LoadErrorText(kLocalTextBase + code);
        default:
            if (code >= CALC_ERR_SYNTAX && code <= CALC_ERR_NO_SETTINGS)
                return LoadErrorText(kLocalTextBase + code);
            if (code >= 1000) return LoadErrorText(str::kReportOperationFailed).arg(code);
            return LoadErrorText(str::kScriptCannotRun);
    }
}

QString LocalCalcFailure(int code, const QString& text) {
    return text.isEmpty() || text == ownText(code) ? LocalCalcErrorText(code) : text;
}

QString CalcErrorText(int code, const QString& detail) {
    if (!detail.isEmpty()) return detail;
    const QString own = ownText(code);
    if (!own.isEmpty()) return own;
    return StatusText(uint16_t(code));
}

}  // namespace qor::cmd
