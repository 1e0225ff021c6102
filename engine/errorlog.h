#pragma once
// The error log "qorerr.log", which is also the log of formulas and
// commands that the log dialog shows.
//
// UTF-16LE with a byte-order mark, lines ending in CR LF. The first entry
// of a process run (and the first after ResetErrorLogSession or
// ClearErrorLog) is preceded by a time-stamp header line. The file never
// grows past 65,535 bytes: when an entry would take it there, the user is
// asked whether to clear the log; "yes" empties it, "no" (the answer of a
// headless run) moves it to "qorerr.log.1" and starts a new one, so
// nothing is lost. Each new file starts with a header. The log holds the
// texts of failed statements and cells: it is readable by its user only
// (0600), and an older log found open to others is closed on the next entry.

#include <QString>

constexpr qint64 kErrorLogLimit = 65535;

// Appends one entry (a line break is added unless the text ends in one).
// False when the log cannot be written.
bool WriteErrorLog(const QString& text);

// Makes the next entry start with a time-stamp header again.
void ResetErrorLogSession();

// Deletes the log (when it exists) and re-arms the header, as the log
// dialog's Clear does. False when an existing log could not be removed.
bool ClearErrorLog();

// Where the log is written: "qorerr.log" in the data directory (QOR_HOME,
// else the user's data folder, e.g. ~/.local/share/qor).
QString ErrorLogPath();

// Points the log somewhere else (tests, the host); "" returns to the
// default place. Re-arms the header.
void SetErrorLogPath(const QString& path);

// The log's text without the byte-order mark ("" when there is none).
QString ReadErrorLogText();
