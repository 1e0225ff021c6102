#include "engine/status.h"

#include <utility>

#include "engine/messages.h"

namespace {
// Each status has its text in the string table, so the desktop and the
// command line say the same thing in the user's language.
constexpr std::pair<Status, int> kStatusTexts[] = {
    {Status::Ok, 64400},
    {Status::Refused, 64401},
    {Status::FileNotFound, 63593},
    {Status::NotAReport, 64403},
    {Status::UnsupportedVersion, 64404},
    {Status::CorruptReport, 64405},
    {Status::TooManyReports, 64406},
    {Status::CannotCreate, 64407},
    {Status::ReadError, 64408},
    {Status::WriteError, 64409},
    {Status::PageWriteError, 64410},
    {Status::CloseError, 64411},
    {Status::OutOfMemory, 64412},
    {Status::PageOutOfRange, 64413},
    {Status::PageLimit, 64414},
    {Status::DiagonalTooLarge, 63162},
    {Status::VarAreaInvalid, 64416},
    {Status::TableSizeOutOfBounds, 64417},
    {Status::OutsideTable, 64418},
    {Status::KeywordPlacementInvalid, 64419},
    {Status::DiskFull, 64420},
    {Status::CombineSingleCell, 64421},
    {Status::CombineOverlap, 64422},
    {Status::CombineVarAreaStart, 64423},
    {Status::CombineFormula, 64424},
    {Status::SortListInvalid, 64425},
    {Status::FormulaVarAreaStart, 64426},
    {Status::FormulaCombined, 64427},
    {Status::TooManyFormulas, 64428},
    {Status::FormulaTooLong, 64429},
    {Status::FormulaInvalid, 64430},
};
constexpr int kMsgOtherStatus = 64431;
}  // namespace

QString StatusText(uint16_t c) {
    for (const auto& [status, id] : kStatusTexts)
        if (code(status) == c) return LoadErrorText(id);
    return LoadErrorText(kMsgOtherStatus).arg(c);
}
