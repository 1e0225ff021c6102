#pragma once
// Numbers that a data file holds as text (a dBASE N field, a CSV value, a
// typed column of a text file) are read by the same rule as a text typed
// into a number cell; a file's own symbols are put to that rule first.

#include <QString>
#include <QStringView>

namespace qor::jet {

struct NumberSymbols {
    QChar decimal = u'.';
    // Put before or after a number and read past; empty for none.
    QString currency;
    // "(12.50)" for -12.50, where the file says its negatives look so.
    bool parenNegative = false;
    // A thousands separator other than ',' (when decimal is ',', '.'),
    // read past between groups of three.
    QChar grouping = u',';
};

// Whether text reads as a finite number, and which; "inf", "nan" and
// numbers beyond a double never do.
bool FileTextAsNumber(QStringView text, const NumberSymbols& symbols, double* out);
// The same with the plain symbols (point, no currency).
bool FileTextAsNumber(QStringView text, double* out);

}  // namespace qor::jet
