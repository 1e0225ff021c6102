#pragma once
// Message texts by string id, and the progress/trace sink. String ids are
// named: qor::str::k<Name> from resources/stringids.h, which the build writes
// from the name column of resources/strings.tsv.

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <functional>

#include "resources/stringids.h"

Q_DECLARE_LOGGING_CATEGORY(lcQorTrace)

// Text of a string-table entry; "Reader ERROR" when the table lacks the id.
QString LoadErrorText(int id);
void LoadErrorText(QString* out, int id);

// The message sink: one line of progress or error text. It goes to the
// debug category "qor.trace" and, when one is installed, to the trace hook
// (the desktop application shows it in its status line).
void TraceMessage(const QString& text);
// Whether TraceMessage reaches anyone (the debug category is on or a hook
// is installed): a caller with costly lines may skip building them.
bool TraceMessageWanted();

namespace qor {

// Text of a string id, or the fallback when the table lacks it; for the
// few places where a missing text would leave the user with nothing but
// "Reader ERROR".
QString messageText(int id, const QString& fallback);

// Fills the printf-style places of a string-table text ("%d", "%i", "%u",
// "%s", "%.0f") with values in order, as texts. Nothing else of the text
// is read as a format, so a table text can never act as one.
QString FillMessageText(QString text, const QStringList& values);

// The reason a file operation failed with this errno, in the user's
// language: the common cases of a save or an open have table texts, any
// other number falls back to the system's own text.
QString FileErrorText(int errorNumber);
// True for the errors of a full disk or a used-up quota.
bool IsDiskFullError(int errorNumber);
// "The disk is full, FILE was not written": what every writer says when
// the disk ran out under it, naming the file it was making.
QString DiskFullText(const QString& file);

// What a reader or writer that ran out of memory says: the file it was
// reading or writing, then "内存不够".
QString NoMemoryText(const QString& file);

// Installs a receiver for TraceMessage and returns the previous one; an
// empty function removes it.
using TraceHook = std::function<void(const QString&)>;
TraceHook setTraceHook(TraceHook hook);

}  // namespace qor
