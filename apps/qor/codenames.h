#pragma once
// Names the command line accepts beside the numbers of cell format codes and
// page keyword slots, so that "qor format F 1 2 kind 2" reads as what it does.
// The help text is made from the same tables.

#include <QString>

namespace qor::app {

// A format code 0-14 or 16 from its number or name; -1 when neither.
int FormatCodeFromText(const QString& text);
// A keyword slot 0-6 from its number or name; -1 when neither.
int KeywordSlotFromText(const QString& text);
// The value of a format code given as a number or, for the cell kind, as
// "number", "text" or "label"; false when neither.
bool FormatValueFromText(int code, const QString& text, int* value);

// "kind (0), h-align (1), ..." for the help and the README.
QString FormatCodeNameList();
QString KeywordSlotNameList();

}  // namespace qor::app
