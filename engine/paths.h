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

// The configuration folder (audit-office definition and mapping files):
// "<data dir>/qor/config", created on first use; when it cannot be
// created, "$TMPDIR/QORTEMP". No trailing separator.
QString GetConfigDir();

// The import folder kept in the registry value "ZWQORImportPath" under
// "Software\Vantix\QX\V8.610"; the home folder when that value is empty.
QString GetImportPath();

namespace qor {

// The application profile (settings such as "REZ"/"Money"):
// "$XDG_CONFIG_HOME/qor/qor.ini".
QString applicationProfilePath();

}  // namespace qor
