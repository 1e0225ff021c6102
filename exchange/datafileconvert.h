#pragma once
// Converting text and dBASE files into a working database and back. Each
// returns 1 on success; 0 with the reason in *error (the target as it
// was). *notes gets what the target could not hold as it was (cut texts,
// renamed fields); empty when nothing was changed.

#include <QString>
#include <QStringList>

// A text or dBASE file (an absolute path) into the table tableName of a
// new working database at mdbPath, which replaces any file there only when
// the whole table has been copied.
int ConvertTextFileToMdb(const QString& textPath, const QString& mdbPath, const QString& tableName,
                         QString* error = nullptr);
int ConvertDbfFileToMdb(const QString& dbfPath, const QString& mdbPath, const QString& tableName,
                        QString* error = nullptr);

// The user tables of the working database at mdbPath into one text or
// dBASE file (an absolute path): the first user table gives the layout,
// the records of every user table follow by field index. A database
// without a user table writes nothing.
int ConvertMdbToTextFile(const QString& mdbPath, const QString& textPath, QString* error = nullptr,
                         QStringList* notes = nullptr);
int ConvertMdbToDbfFile(const QString& mdbPath, const QString& dbfPath, QString* error = nullptr,
                        QStringList* notes = nullptr);

// The user tables of the working database at mdbPath as a values-only
// workbook at xlsPath (an absolute path): one worksheet per table, the
// field names first, at most 65,535 records a worksheet (what is cut is in
// *notes). The file at xlsPath is replaced only on success.
int ConvertMdbToXlsFile(const QString& mdbPath, const QString& xlsPath, QString* error = nullptr,
                        QStringList* notes = nullptr);
