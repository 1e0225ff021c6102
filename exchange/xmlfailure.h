#pragma once
// How a failed XML import is told: one line, the reason first. The readers
// give a general message ("不支持该格式的XML文件") and the reason (a line
// that does not parse, an entity refused); a user acts on the reason.

#include <QString>

namespace qor {

// "<reason>（<message>）", the file named in front when the reason does not
// name it; without a reason "<file>：<message>". A reason of several lines
// is joined into one.
QString XmlFailureLine(const QString& path, const QString& message, const QString& reason);

// The same from a text whose first line is the message and whose further
// lines are the reason, as the spreadsheet XML import reports a failure.
QString XmlFailureLine(const QString& path, const QString& composed);

}  // namespace qor
