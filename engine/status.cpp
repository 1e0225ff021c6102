#include "engine/status.h"

#include <utility>

#include "engine/cellgate.h"
#include "engine/messages.h"

namespace {
// Each status has its text in the string table, so the desktop and the
// command line say the same thing in the user's language.
constexpr std::pair<Status, int> kStatusTexts[] = {
    {Status::Ok, qor::str::kStatusOk},
    {Status::Refused, qor::str::kStatusRefused},
    {Status::FileNotFound, qor::str::kFileNotFound},
    {Status::NotAReport, qor::str::kStatusNotAReport},
    {Status::UnsupportedVersion, qor::str::kStatusUnsupportedVersion},
    {Status::CorruptReport, qor::str::kStatusCorruptReport},
    {Status::TooManyReports, qor::str::kStatusTooManyReports},
    {Status::CannotCreate, qor::str::kStatusCannotCreate},
    {Status::ReadError, qor::str::kStatusReadError},
    {Status::WriteError, qor::str::kStatusWriteError},
    {Status::PageWriteError, qor::str::kStatusPageWriteError},
    {Status::CloseError, qor::str::kStatusCloseError},
    {Status::OutOfMemory, qor::str::kStatusOutOfMemory},
    {Status::PageOutOfRange, qor::str::kStatusPageOutOfRange},
    {Status::PageLimit, qor::str::kStatusPageLimit},
    {Status::DiagonalTooLarge, qor::str::kDiagonalAreaTooLarge},
    {Status::VarAreaInvalid, qor::str::kStatusVarAreaInvalid},
    {Status::TableSizeOutOfBounds, qor::str::kStatusTableSizeOutOfBounds},
    {Status::OutsideTable, qor::str::kStatusOutsideTable},
    {Status::KeywordPlacementInvalid, qor::str::kStatusKeywordPlacementInvalid},
    {Status::DiskFull, qor::str::kStatusDiskFull},
    {Status::CombineSingleCell, qor::str::kStatusCombineSingleCell},
    {Status::CombineOverlap, qor::str::kStatusCombinedAreasOverlap},
    {Status::CombineVarAreaStart, qor::str::kStatusVarAreaStartInCombined},
    {Status::CombineFormula, qor::str::kStatusFormulaInCombined},
    {Status::SortListInvalid, qor::str::kStatusBadOrderList},
    {Status::FormulaVarAreaStart, qor::str::kStatusVarAreaStartInFormula},
    {Status::FormulaCombined, qor::str::kStatusCombinedInFormula},
    {Status::TooManyFormulas, qor::str::kStatusTooManyFormulas},
    {Status::FormulaTooLong, qor::str::kStatusFormulaTooLong},
    {Status::FormulaInvalid, qor::str::kStatusFormulaNotCompiled},
};
}  // namespace

QString StatusText(uint16_t c) {
    if (c == qor::kValueRefusedStatus) {
        const QString why = qor::LastValueRefusal();
        return why.isEmpty() ? LoadErrorText(qor::str::kStatusRefused) : why;
    }
    for (const auto& [status, id] : kStatusTexts)
        if (code(status) == c) return LoadErrorText(id);
    return LoadErrorText(qor::str::kStatusNumber).arg(c);
}
