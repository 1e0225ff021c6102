#pragma once
// Data files as databases: which driver a file gets, what is opened (the
// file, or its folder for the text and dBASE kinds), and the four listing
// operations the data-file dialog fills its table and field lists with.
// Each call opens, works and closes; nothing stays open between calls.

#include <QString>
#include <memory>

#include "exchange/jetdb.h"

// Opens the database of the data file at path by its kind (folder for
// text and dBASE, the file otherwise) and stores the kind (0 text, 1
// dBASE, 2 Lotus, 3 Excel, 4 Access). When that fails, the text, dBASE,
// Lotus and Excel drivers are tried on the file path itself, in that
// order, and last the working-database open, whose error reaches the
// caller (a path that holds no database is an error, never created).
// A folder, a FIFO or a device at path is refused first, naming it.
std::unique_ptr<qor::jet::Database> OpenDataFileDatabase(const QString& path, bool exclusive,
                                                         bool readOnly, int* kind);

// True when path is absolute and already in its normal form (no "." or
// ".." steps, no doubled separators).
bool IsFullPathName(const QString& path);

// The number of tables of the data file: 1 for a text or dBASE file
// (whether or not it exists), all table definitions otherwise (system ones
// included; a Lotus file's two of every worksheet). 0 on failure, with the
// reason in *error.
int GetDataFileTableCount(const QString& path, QString* error = nullptr);

// The name of table index: the file's own table name for text and dBASE
// whatever the index, else the name of the table definition at index. A
// null string past the end or on failure (the reason in *error).
QString GetDataFileTableName(const QString& path, int index, QString* error = nullptr);

// The number of fields of table; 0 on failure (the reason in *error).
int GetDataTableFieldCount(const QString& path, const QString& table, QString* error = nullptr);

// Fills *info with field index of table (name, type, size, attributes) and
// puts the table's record count into its required flag and recordCount.
// 1 on success; 0, with *info untouched, for an index past the last field
// or on failure (the reason in *error).
int GetDataTableFieldInfo(qor::jet::FieldInfo* info, const QString& path, const QString& table,
                          int index, QString* error = nullptr);
