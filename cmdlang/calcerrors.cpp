#include "cmdlang/calcerrors.h"

#include "engine/messages.h"

namespace qor::cmd {

namespace {

// The desktop's texts of the codes are 64000 + code.
constexpr int kLocalTextBase = 64000;

// The codes the command language has a text of its own for; any other
// number is an engine status, which has its own texts.
bool ownCode(int code) {
    return code == CALC_ERR_BAD_RECORD_LIMIT || code == CALC_ERR_MALFORMED_CALL ||
           (code >= CALC_ERR_SYNTAX && code <= CALC_ERR_NO_SETTINGS);
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
        default:
            if (ownCode(code)) return LoadErrorText(kLocalTextBase + code);
            if (code >= 1000) return LoadErrorText(str::kReportOperationFailed).arg(code);
            return LoadErrorText(str::kScriptCannotRun);
    }
}

QString LocalCalcFailure(int code, const QString& text) {
    // A stock text is already the code's text in the user's language; only
    // a failure told without words needs one.
    return text.isEmpty() ? LocalCalcErrorText(code) : text;
}

QString CalcErrorText(int code, const QString& detail) {
    if (!detail.isEmpty()) return detail;
    if (ownCode(code)) return LocalCalcErrorText(code);
    return StatusText(uint16_t(code));
}

}  // namespace qor::cmd
