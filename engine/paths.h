#pragma once
// Path helpers: splitting file paths, table names of data files, and the
// folders the system keeps its configuration and imports in.

#include <QString>

// The folder part of a path with its trailing separator ("/a/b/" for
// "/a/b/c.txt"); "" for a bare file name. Both '/' and '\' separate.
QString FileNameFromPath(const QString& path);

// The table name a data file gets: the file name without its folder; a
// ".dbf" extension (any case) is dropped, otherwise every "." becomes "#"
// ("sales.txt" -> "sales#txt"). A null string for an empty path.
QString JetTableNameFromPath(const QString& path);

// The name cut at the first "$", then at the first ":", then at the first
// "#" ("Sheet1$A1:B2" -> "Sheet1"). A null string for an empty name.
QString TrimAtDelimiters(const QString& name);

// Bytes available to this user on the file system holding the path; 0
// when it cannot be asked.
double GetDiskFreeBytes(const QString& root);

// Whether a write of file failed because its disk (or the user's quota)
// is full: the error says so, or the file system holding the file has
// next to nothing left (for libraries that keep errno to themselves).
bool DiskFullFor(const QString& file, int errorNumber);

// The configuration folder (audit-office definition and mapping files):
// "<data dir>/config", created on first use; when it cannot be
// created, "$TMPDIR/QORTEMP". No trailing separator.
QString GetConfigDir();

// The import folder kept in the registry value "ZWQORImportPath" under
// "Software\Vantix\QX\V8.610"; the home folder when that value is empty.
QString GetImportPath();

namespace qor {

// The application profile (settings such as "REZ"/"Money"):
// "$XDG_CONFIG_HOME/qor/qor.ini".
QString applicationProfilePath();

// The data folder holds "config", "work" (working copies) and "data" (named
// databases) directly. An older layout kept them one level deeper, in
// "<data dir>/qor"; each moves to its new place once, at start-up, while
// that place is free, never over a folder already there. What cannot move
// stays where it was, and the sweep of working copies looks there too.
// How many moved.
int MoveLegacyDataFolders();
// Where the older layout kept one of them: "<data dir>/qor/<name>".
QString legacyDataFolder(const QString& name);

}  // namespace qor
