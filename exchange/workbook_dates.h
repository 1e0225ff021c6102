#pragma once
// Dates and times of workbook files. A workbook stores a date as the
// number of days since its epoch (1900 or 1904) and shows it through the
// cell's number format; a report has no date cells, so such a cell comes
// in as the text the format shows.

#include <QString>
#include <optional>

namespace qor {

// True when the number format shows a date or a time (its first section
// has a y, m, d, h or s outside quotes, escapes and brackets, or an
// elapsed-time bracket such as [h]).
bool IsDateNumberFormat(const QString& format);

// The text the date or time format shows for the serial value; none for a
// value no date can have (negative, beyond 9999-12-31, not finite).
// A format that leaves the order to the reader's locale (the short-date
// format of built-in format 14) shows yyyy-mm-dd.
std::optional<QString> FormatDateSerial(double serial, const QString& format, bool date1904);

// The format for a date that came without one: yyyy-mm-dd, with
// hh:mm:ss when it has a time of day; hh:mm:ss alone for a time (a value
// below 1).
QString PlainDateFormat(double serial);

// The serial value of an ISO 8601 date or date and time ("2024-01-09",
// "2024-01-09T14:30:00"); none for another text or a date before the
// epoch.
std::optional<double> SerialOfIsoDate(const QString& iso, bool date1904);

}  // namespace qor
