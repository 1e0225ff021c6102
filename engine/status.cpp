#include "engine/status.h"

QString StatusText(uint16_t c) {
    switch (static_cast<Status>(c)) {
        case Status::Ok: return QStringLiteral("success");
        case Status::Refused: return QStringLiteral("request refused (no report or wrong state)");
        case Status::FileNotFound: return QStringLiteral("file not found");
        case Status::NotAReport: return QStringLiteral("not a report file");
        case Status::UnsupportedVersion: return QStringLiteral("version not supported");
        case Status::CorruptReport: return QStringLiteral("report file damaged");
        case Status::TooManyReports: return QStringLiteral("too many open reports");
        case Status::CannotCreate: return QStringLiteral("cannot create the file");
        case Status::ReadError: return QStringLiteral("read error");
        case Status::WriteError: return QStringLiteral("write error");
        case Status::PageWriteError: return QStringLiteral("error writing pages");
        case Status::CloseError: return QStringLiteral("closing the streams failed");
        case Status::OutOfMemory: return QStringLiteral("out of memory");
        case Status::PageOutOfRange: return QStringLiteral("page number out of range");
        case Status::PageLimit: return QStringLiteral("page count limit reached");
        case Status::DiagonalTooLarge: return QStringLiteral("diagonal area too large");
        case Status::VarAreaInvalid: return QStringLiteral("variable area invalid");
        case Status::TableSizeOutOfBounds: return QStringLiteral("table size out of bounds");
        case Status::OutsideTable: return QStringLiteral("outside the table");
        case Status::KeywordPlacementInvalid: return QStringLiteral("keyword placement invalid");
        case Status::DiskFull: return QStringLiteral("disk full");
        case Status::CombineSingleCell: return QStringLiteral("cannot combine a single cell");
        case Status::CombineOverlap: return QStringLiteral("combined areas overlap");
        case Status::CombineVarAreaStart: return QStringLiteral("variable area start inside the combined area");
        case Status::CombineFormula: return QStringLiteral("formula inside the combined area");
        case Status::SortListInvalid: return QStringLiteral("sort or swap list invalid");
        case Status::FormulaVarAreaStart: return QStringLiteral("variable area start inside the formula area");
        case Status::FormulaCombined: return QStringLiteral("combined cell inside the formula area");
        case Status::TooManyFormulas: return QStringLiteral("more than 20,000 formulas");
        case Status::FormulaTooLong: return QStringLiteral("formula longer than 1,025 characters");
        case Status::FormulaInvalid: return QStringLiteral("formula does not compile");
    }
    return QStringLiteral("status %1").arg(c);
}
