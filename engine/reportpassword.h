#pragma once
// The file password of a report: kept scrambled in its "OTHERS" stream
// and asked for before the report is opened.

#include <QString>

// 1 when the report may be opened: it has no file password, or the user
// typed it (letter case ignored). 0 when the user cancelled. The question
// goes through the text-prompt hook; headless, that cancels. A file that
// cannot be read as a report gives 1: opening it reports the failure.
int CheckReportPassword(const QString& path);

namespace qor {

// The stored file password ("" when none, or no readable "OTHERS").
QString ReadReportFilePassword(const QString& path);

}  // namespace qor
