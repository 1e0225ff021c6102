#pragma once
// Working copies of open reports.
//
// They live in one folder, "<data dir>/work", so that they can be
// found again. Each process that makes working copies holds a lock file
// "<token>.lock" there (an advisory lock on it, held as long as the
// process lives) and names its files "<token>-XXXXXX<suffix>". A process
// killed without closing its reports leaves files whose token's lock
// nobody holds: the next process to start removes them. A normal end of
// the process removes its own files, whatever is still open.

#include <QString>

namespace qor {

// The folder of working copies (created on first use): "<data dir>/work"
// while it and the data folder are real folders of this user's that nobody
// else may write into, else "<temp>/qor-work-<uid>" (or the next free name
// of that kind that is this user's own, or a fresh one). "" when even the
// temporary folder could be replaced by someone else: then no working
// copies are made.
QString WorkFolder();

// A new, empty, exclusive file in the work folder for this process;
// "<token>-XXXXXX<suffix>". The descriptor (the caller closes it) or -1
// with errno set.
int CreateWorkFile(const QString& suffix, QString* path);

// A new, empty, private folder in the work folder for this process,
// "<token>-XXXXXX.d", for work that writes files by name (a conversion's
// output before it is moved into place). Its whole content goes with the
// process's other working files. Empty with errno set on failure.
QString CreateWorkFolder();

// Removes the working files of processes that are gone; how many.
int SweepOrphanedWorkFiles();

}  // namespace qor
