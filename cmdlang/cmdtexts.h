#pragma once
// The command language's own texts: what its parser, evaluator and runner
// tell a user, in the system's language from the string table. Symbols and
// command words quoted inside them stay as they are written.

#include <QString>

#include "engine/messages.h"

namespace qor::cmd {

enum CmdTextId : int {
    kTxtStopRunning = 64500,  // "是否停止执行命令？"
    kTxtAtColumn = 64501,     // "第%1个字符处：%2"
    kTxtNestedTooDeeply = 64502,
    kTxtEndOfText = 64503,
    kTxtUnexpected = 64504,     // %1 what was found
    kTxtExpectedFound = 64505,  // %1 wanted, %2 found
    kTxtTooLong = 64506,
    kTxtAreaOnlyArgument = 64507,
    kTxtValueExpected = 64508,
    kTxtReportPathEmpty = 64509,
    kTxtVAreaEnds = 64510,
    kTxtFileNameEmpty = 64511,
    kTxtThreeSortKeys = 64512,
    kTxtRefExpected = 64513,
    kTxtUnknownCommand = 64514,  // %1 the word
    kTxtRelationExpected = 64515,
    kTxtColumnBeyondIV = 64516,  // %1 letters
    kTxtRowOutside = 64517,      // %1 the reference
    kTxtBadCharacter = 64518,    // %1 the character
    kTxtExponentDigits = 64519,
    kTxtBadNumber = 64520,    // %1 the number
    kTxtNumberRange = 64521,  // %1 the number
    kTxtNoClosingQuote = 64522,
    kTxtNameTooLong = 64523,      // %1 the limit
    kTxtCellsNotHere = 64525,     // %1 the report
    kTxtServiceFunction = 64526,  // %1 the function
    kTxtVarRowsNameColumns = 64527,
    kTxtVarColumnsNameRows = 64528,
    kTxtAreaNotCellValue = 64530,
    kTxtFilterOutside = 64531,  // %1 the filter
    kTxtUnknownExpression = 64532,
    kTxtPageMissing = 64534,  // %1 the page
    kTxtPageNotHere = 64535,  // %1 the page
    kTxtNumberOutOfRange = 64536,
    kTxtTextTooLong = 64537,  // %1 the limit
    kTxtDivisionByZero = 64538,
    kTxtFractionalPower = 64539,
    kTxtNotArithmetic = 64540,
    kTxtNotComparison = 64541,
    kTxtNoValidValue = 64542,
    kTxtReportNotOpened = 64543,    // %1 report, %2 why
    kTxtReportPageMissing = 64544,  // %1 page, %2 report
    kTxtNoServiceFunction = 64545,  // %1 the function
    kTxtNoRecordReader = 64546,
    // What the parser wanted where it stopped.
    kTxtWantValue = 64550,
    kTxtWantCell = 64551,
    kTxtWantVName = 64552,
    kTxtWantKeywordCellOrV = 64553,
    kTxtWantFileName = 64554,
    kTxtWantCellAreaOrVariable = 64555,
    kTxtWantVariable = 64556,
    kTxtWantPages = 64557,
    kTxtWantSortMode = 64558,
    kTxtWantMessage = 64559,
    kTxtWantCommaOrMess = 64560,
    kTxtWantCommaOrParen = 64561,
    kTxtNoPageOpen = 64562,
    kTxtCellFormulaFailed = 64563,
    kTxtRefOutside = 64564,
    kTxtVarPositionMissing = 64565,  // %1 line, %2 position
    kTxtOutsideTable = 64566,        // %1 the cell
    kTxtCellFailed = 64567,          // %1 the cell
    kTxtVarPositionUnread = 64568,   // %1 line, %2 position
    kTxtNotCompiled = 64569,
    kTxtAReference = 64570,
    kTxtScriptNotOpened = 64571,  // %1 path, %2 why
    kTxtScriptEmpty = 64572,      // %1 path
    kTxtScriptTooLarge = 64573,   // %1 path
    kTxtScriptUnread = 64574,     // %1 path, %2 why
    kTxtLineTooLong = 64575,      // %1 the limit
    // What the commands say of what they were doing.
    kTxtNoAuditFormulas = 64576,
    kTxtAuditFormulas = 64577,
    kTxtOnPage = 64578,
    kTxtPageRecalculation = 64579,
    kTxtRecalculation = 64580,
    kTxtPageOne = 64581,
    kTxtPage = 64582,
    kTxtAreaNotValue = 64583,
    kTxtLineSuffix = 64584,
    kTxtResultExists = 64585,
    kTxtIsOpen = 64586,
    kTxtCopyingFormat = 64587,
    kTxtDataState = 64588,
    kTxtNewPage = 64589,
    kTxtSaving = 64590,
    kTxtPartNotInstalled = 64591,
    kTxtFailed = 64592,
    kTxtTooManyCells = 64593,
    kTxtBrowseArea = 64594,
    kTxtVariableNameLength = 64595,
    kTxtNoSuchVariable = 64596,
    kTxtInFormatState = 64597,
    kTxtPageOutOfCount = 64598,
    kTxtDeletingPages = 64599,
    kTxtUnknownName = 63753,  // shared with the formula dialog
    kTxtNoVarArea = 64212,    // the code's own text
};

inline QString CmdText(int id) { return LoadErrorText(id); }

}  // namespace qor::cmd
