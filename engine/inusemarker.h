#pragma once
// The in-use mark of a report file: a flag byte and the name of the
// computer holding the file open, inside the header of "QOR~REP". Other
// computers see it before they open the file. The mark is written in
// place, a few bytes, and the file's time stamps are put back, so marking
// a file neither rewrites it nor makes it look changed.
//
// Only ".rep" and ".rbk" files (any case) are marked.

#include <QString>

#include "engine/reportlayout.h"

// Non-zero when the report carries an in-use mark; the marking computer's
// name comes back in *computer. A mark with this computer's name on a
// report that is neither in the table of open reports nor locked by a
// writer of another process is left over from a run that ended without
// closing it: it is cleared and 0 returned.
int IsReportOpenElsewhere(const QString& path, QString* computer);
// Sets the mark with this computer's name; 1 on success.
int MarkReportOpened(const QString& path);
// Clears the mark; 1 on success.
int MarkReportClosed(const QString& path);
// Sets the mark with the given computer's name (a holder's mark put back);
// 1 on success.
int MarkReportOpenedBy(const QString& path, const QString& computer);

namespace qor {

// This computer's name as marks carry it (host name, at most 31 chars).
QString LocalComputerName();
// ".rep" or ".rbk", any case.
bool IsMarkableReportPath(const QString& path);
// The mark of any report file of our layout (no extension check). False
// when the file is not a report we can read the mark of.
bool ReadInUseMark(const QString& path, InUseMark* mark);
// Writes the mark in place; keepTimes puts the access and modification
// times back afterwards.
bool WriteInUseMark(const QString& path, const InUseMark& mark, bool keepTimes = true);

}  // namespace qor
