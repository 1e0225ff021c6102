#pragma once
// The data directory: where the system keeps what used to live
// in "C:\QORTEMP" and in its install directory (configuration, logs,
// templates). QOR_HOME when set, else the user's data directory.

#include <QString>

namespace qor {

// Data directory, created on first use.
QString dataDir();
// A path below the data directory ("" gives the directory itself).
QString dataPath(const QString& relative);
// Turns a Windows path of the system ("C:\QORTEMP\a.rep", "..\x\y.ini")
// into a native path: backslashes become '/', a drive-rooted path is
// mapped below the data directory, relative paths stay relative.
QString nativePath(const QString& windowsPath);
// A path a list file stores, read against the list's folder: "/..." is
// absolute, a drive-rooted or "\\server" path goes through nativePath, any
// other value ("\样表\a.rep", "b.txt") lies below folder.
QString resolveListedPath(const QString& folder, const QString& value);
// Directory of the running executable ("" when unknown).
QString moduleDir();

}  // namespace qor
