#pragma once
// Data-file names as the user types them, or as the formula function INDB
// is given them, made into absolute paths.

#include <QString>

// The absolute, normalised path of name (relative names are taken from the
// current directory). When name holds no "." anywhere, "." and
// defaultExtension (given without the dot) are appended; an empty
// defaultExtension appends nothing. 1 and the path in *out on success; 0
// and an empty *out for an empty name or a path of 260 characters or more.
int ResolveDataFilePath(const QString& name, const QString& defaultExtension, QString* out);
