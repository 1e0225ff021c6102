#pragma once
// Status codes of the engine: 0 success, 1 a refused request (no report,
// wrong state, bad slot or argument), 1005..1260 failures. The numbers are
// stored by callers and shown to users, so they never change.

#include <QString>
#include <cstdint>

enum class Status : uint16_t {
    Ok = 0,
    Refused = 1,
    FileNotFound = 1005,       // no file at the path
    NotAReport = 1006,         // not a compound file, or a compound file without a report
    UnsupportedVersion = 1007, // an older or newer version text we cannot read
    CorruptReport = 1008,      // stream missing or damaged (magic, checksum, lengths)
    TooManyReports = 1009,     // the table of open reports is full (999)
    CannotCreate = 1010,       // the file cannot be created
    ReadError = 1020,
    WriteError = 1030,
    PageWriteError = 1035,     // writing pages while inserting or appending them
    CloseError = 1037,         // closing the streams failed
    OutOfMemory = 1040,
    PageOutOfRange = 1045,
    PageLimit = 1050,          // 99,999 pages
    DiagonalTooLarge = 1060,
    VarAreaInvalid = 1065,
    TableSizeOutOfBounds = 1070,
    OutsideTable = 1075,       // area, cell or index outside the table / not mappable
    KeywordPlacementInvalid = 1080,
    DiskFull = 1090,
    CombineSingleCell = 1110,
    CombineOverlap = 1120,
    CombineVarAreaStart = 1135,
    CombineFormula = 1137,
    SortListInvalid = 1150,
    FormulaVarAreaStart = 1200,
    FormulaCombined = 1220,
    TooManyFormulas = 1240,
    FormulaTooLong = 1250,
    FormulaInvalid = 1260,
};

constexpr uint16_t code(Status s) { return static_cast<uint16_t>(s); }

// What a status code means, in the string table's words (logs, messages).
QString StatusText(uint16_t code);
inline QString StatusText(Status s) { return StatusText(code(s)); }

// Integer error codes thrown by pages and the command language travel in
// this one type.
struct QorError {
    int code = 0;
    QString detail;
};
