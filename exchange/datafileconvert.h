#pragma once
// Converting text and dBASE files into a working database and back. Each
// returns 1 on success; 0 with the reason in *error (the target as it
// was). *notes gets what the target could not hold as it was (cut texts,
// renamed fields); empty when nothing was changed.

#include <QString>
#include <QStringList>

namespace qor::jet {
class RecordSink;
}

// The table of the text or dBASE file at path (an absolute path; the
// file's name found without regard to case) read into sink a record at a
// time; the number of records it holds (qor::jet::readTextTable). Throws
// JetError: no such folder (63594) or file (63507), or what the reader
// refuses.
qint64 readDataFileTable(const QString& path, qor::jet::RecordSink& sink);

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
// workbook (at most 65,535 records a worksheet) or a Lotus file (at most
// 8,191): one worksheet per table, named by the table's name cut at "$",
// ":" or "#", the field names first; what is cut is in *notes. The file is
// replaced only on success.
int ConvertMdbToXlsFile(const QString& mdbPath, const QString& xlsPath, QString* error = nullptr,
                        QStringList* notes = nullptr);
int ConvertMdbToWk4File(const QString& mdbPath, const QString& wk4Path, QString* error = nullptr,
                        QStringList* notes = nullptr);

// A workbook's tables "<sheet>$", or a Lotus file's tables "<sheet>:",
// names kept, into a new working database at mdbPath (replaced only when
// every table has been copied). *notes gets what reading the file named
// (texts whose bytes did not read, with field and first record).
int ConvertXlsFileToMdb(const QString& xlsPath, const QString& mdbPath, QString* error = nullptr,
                        QStringList* notes = nullptr);
int ConvertWk4FileToMdb(const QString& wk4Path, const QString& mdbPath, QString* error = nullptr,
                        QStringList* notes = nullptr);
