#pragma once
// The inside of the data-file engine: what a file driver gives the working
// database. A driver names the tables its folder holds and reads one of
// them whole when it is first used.

#include <QFile>

#include <functional>
#include <map>
#include <optional>
#include <set>

#include "exchange/jetdb.h"
#include "exchange/losstally.h"
#include "exchange/schemaini.h"

namespace qor::jet {

struct LoadedTable {
    QList<FieldInfo> fields;
    QList<QVariantList> rows;  // one value per field, null as an invalid QVariant
};

// Takes a table a record at a time: its fields first, then each record in
// order (the row is valid while record runs; one value per field, null as
// an invalid QVariant). record answers false when it wants no more: a
// reader then stops handing records over.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void begin(const QList<FieldInfo>& fields) = 0;
    virtual bool record(const QVariantList& row) = 0;
    // The first line of a text file that has no Schema.ini section, taken
    // as the fields' names as the text driver takes it (before begin): the
    // names as the line holds them. A report opened from the file shows no
    // names, so it tells the user when they were more than placeholders.
    virtual void namesFromFirstLine(const QStringList& names) { Q_UNUSED(names); }
    // What the reader leaves out or changes (a field of a type it cannot
    // read, before begin; values that do not read as their field's type,
    // after the records), one line each.
    virtual void leftOut(const QString& what) { Q_UNUSED(what); }
};

// What a reader's values could not carry (bytes that are no character,
// numbers and dates that do not read), tallied field by field so that each
// field is named with the count and its first record; told to the sink
// once the records are read, as "<file>: <kind>: <count>, first at ...".
class FieldLosses {
public:
    void add(const QString& field, const QString& kind, qint64 record);
    void tell(RecordSink& sink, const QString& file) const;

private:
    QStringList m_fields;
    QList<LossTally> m_tallies;
};

// Runs read (which hands a table to the sink it is given) and keeps every
// record in *out; what read answers.
bool collectTable(const std::function<bool(RecordSink&)>& read, LoadedTable* out);

class Driver {
public:
    virtual ~Driver() = default;
    // The table names of the folder, in a stable order.
    virtual QStringList tableNames() = 0;
    // Reads a table; throws JetError when it cannot be read, false when
    // the folder holds no such table.
    virtual bool loadTable(const QString& table, LoadedTable* out) = 0;
    // The same a record at a time, for as long as the sink takes them: a
    // driver reading a file record by record holds none of them. The
    // drivers that read a table whole hand over what loadTable read.
    virtual bool streamTable(const QString& table, RecordSink& sink);
    // The attribute word of a table (system and hidden bits); folder
    // drivers hold user tables only.
    virtual quint32 tableAttributes(const QString& table) {
        Q_UNUSED(table);
        return 0;
    }
};

// Opens the data file at path in f for reading, only when it is a regular
// file: a FIFO or a device at the name would hold the read until something
// wrote to it. Throws JetError naming the file and why otherwise.
void OpenDataFileForRead(QFile& f, const QString& path);

// The drivers of the folder kinds; each throws JetError when folder is not
// a folder.
std::unique_ptr<Driver> makeTextDriver(const QString& folder);
std::unique_ptr<Driver> makeDBaseDriver(const QString& folder);
// The driver of an Access (".mdb") file, read through libmdb; throws
// JetError when the file is not one it can read safely.
std::unique_ptr<Driver> makeAccessDriver(const QString& path);

// One table of a database to be written: its name and its content.
struct NamedTable {
    QString name;
    LoadedTable table;
};
// The most values (records times fields) a worksheet table may spread
// over: a sheet with two cells far apart would otherwise become millions
// of empty values. A larger table is refused with a reason. Returns the
// previous limit (4,000,000 at start).
qint64 SetWorksheetAreaLimit(qint64 values);
// JetError naming the sheet, its block ("A1:C9") and its size when a table
// of rows x cols values would pass the limit: the values a sheet holds may
// be few while the block they spread over is not.
void CheckWorksheetArea(const QString& sheet, const QString& block, qint64 rows, qint64 cols);

// The driver of a workbook file (.xls or .xlsx, by content): one table
// "<sheet>$" per worksheet and one per name the workbook defines for a
// block of cells (the name; "<sheet>$<name>" for a name of one sheet;
// hidden and built-in names left out), its first row the field names
// ("F<n>" when empty), a column Double when every value below is a number.
std::unique_ptr<Driver> makeExcelDriver(const QString& path);
// Writes tables as a values-only workbook at path (binary unless the name
// ends in ".xlsx"): one worksheet per table, the field names in its first
// row, at most 65,535 records and 256 fields; *notes gets what was cut.
void writeValuesWorkbook(const QString& path, const QList<NamedTable>& tables, QStringList* notes);

// Every user table of db, whole, in catalog order.
QList<NamedTable> userTablesOf(Database& db);

// The driver of a Lotus 1-2-3 worksheet file, read through libwps: per
// worksheet the tables "<sheet>:" and "<sheet>:<first>..<last>", both the
// same cells, the first row naming the fields only when it is a report
// export's letters row (see lotusTableShape). From bytes in memory too
// (path names the file in errors).
std::unique_ptr<Driver> makeLotusDriver(const QString& path);
std::unique_ptr<Driver> makeLotusDriverFromBytes(const QByteArray& bytes, const QString& path);
// The worksheets of a Lotus file as they stand, for a report that takes
// them cell for cell: each cell at its (row, column) from 0, a number or a
// text; the cells that held a formula come with the result the file kept.
// The texts are read in encoding ("UTF-8" when every text of the file is
// valid UTF-8, else "CP936"); those whose bytes are no character of it
// hold U+FFFD for them, their cells in undecoded, for the caller to name.
// A sheet the file names nothing that reads is named A, B ... by its place;
// givenName is then what the file names it (empty for nothing, U+FFFD for
// bytes that are no character).
struct LotusSheet {
    QString name;
    QString givenName;
    std::map<std::pair<int, int>, QVariant> cells;
    std::set<std::pair<int, int>> formulas;
    std::set<std::pair<int, int>> undecoded;
    QString encoding;
};
QList<LotusSheet> readLotusSheets(const QString& path);
// How a worksheet becomes a table, the one rule of every route that reads
// one (a report, a working database, INDB): every cell stays at its row
// and column, counted from A1. Only a first row as a report's own export
// writes it is no record: it names the fields. That row holds a text in
// every column the cells reach: the upper-case column letters A, B, C ...
// and after them only the names of keyword fields, columns with a value
// in the first record at most. Otherwise row 1 is the first record,
// whatever it holds, and the fields are F1, F2 ... by column.
struct LotusTableShape {
    int first = 0;           // the row (from 0) of the first record: 1 past a letters row
    QStringList head;        // the letters row by column, when first is 1
    int letters = 0;         // how many of head are the column letters
    int rows = 0, cols = 0;  // the rows and columns the cells reach, from A1
    // A field a column: Double when every value of its records is a
    // number, Text otherwise; named by the letters row, else F<column>.
    QList<FieldInfo> fields;
};
LotusTableShape lotusTableShape(const LotusSheet& sheet);
// Writes tables as a ".wk4" file, a worksheet per table: the field names in
// the first row, numbers as doubles, texts as code page 936 labels, at most
// 8,191 records and 256 fields a worksheet (what is cut is in *notes).
void writeLotusFile(const QString& path, const QList<NamedTable>& tables, QStringList* notes);

// Writes tables as an Access (Jet 4) file at path: Text (UCS-2, 255
// characters), Double and Long columns, no indexes. Other field types are
// held by these three (Boolean, Byte, Integer as Long; Currency, Single as
// Double; Date and Memo as Text). Written beside the target and renamed,
// so a failure leaves the old file. Throws JetError; *notes gets every
// text cut, value changed and record left out.
void writeAccessFile(const QString& path, const QList<NamedTable>& tables, QStringList* notes);
// The same a table at a time and a record at a time, for records that are
// never all in memory: beginTable, add each record, endTable, and after
// the last table finish, which puts the file at path. Without finish
// nothing reaches path.
class AccessWriter {
public:
    AccessWriter(const QString& path, QStringList* notes);
    ~AccessWriter();
    AccessWriter(const AccessWriter&) = delete;
    AccessWriter& operator=(const AccessWriter&) = delete;
    void beginTable(const QString& name, const QList<FieldInfo>& fields);
    void add(const QVariantList& row);
    void endTable();
    void finish();

private:
    struct Open;
    std::unique_ptr<Open> m;
};

// Parses a whole text table (CSV bytes) by the layout of its Schema.ini
// section, when there is one. Throws JetError on malformed input.
LoadedTable parseTextTable(const QByteArray& bytes, const std::optional<SchemaIniTable>& layout);
// Reads a dBASE file; throws JetError on a damaged file.
LoadedTable readDBaseFile(const QString& path);
// The text file or dBASE file at path read into sink a record at a time,
// without holding the file or its records: the text is checked whole
// first (its fields' types come from every record), then read again for
// as long as the sink takes records. The number of records the file holds,
// those the sink did not take included. Throws JetError as the drivers do.
qint64 readTextTable(const QString& path, RecordSink& sink);
qint64 readDBaseTable(const QString& path, RecordSink& sink);

// Writes table as the text file at path: CSV with a header row, texts
// quoted, CRLF lines, code page 936 (UTF-8 when a text cannot be held in
// it), and a fresh Schema.ini section describing it. The file is written
// beside the target and renamed, so a failure leaves the old one. Throws
// JetError on failure; *notes gets what had to be changed.
void writeTextTable(const QString& path, const LoadedTable& table, QStringList* notes);
// The same with the records handed out one at a time by records, which may
// be asked for them more than once (once more when the file has to be
// written in UTF-8).
using RecordSource = std::function<void(const std::function<void(const QVariantList&)>& take)>;
void writeTextTable(const QString& path, const QList<FieldInfo>& fields, const RecordSource& records,
                    QStringList* notes);
// Writes table as a dBASE file with its ".cpg" the same way: C fields as
// wide as their longest text in code-page bytes (at most 254), N fields
// for numbers, field names cut to 10 bytes and kept unique. *notes gets
// every cut text, name and number.
void writeDBaseFile(const QString& path, const LoadedTable& table, QStringList* notes);
// The same a record at a time, for records that are never all in memory:
// the text widths are known first (widths, one a field, from 1, widened
// by widenDBaseTextWidths over every record to come), then each record is
// added in order (a short record's missing values are empty), and finish
// puts the file in place. Without finish nothing reaches path.
void widenDBaseTextWidths(const QList<FieldInfo>& fields, const QVariantList& row, QList<int>* widths);
class DBaseWriter {
public:
    DBaseWriter(const QString& path, const QList<FieldInfo>& fields, const QList<int>& widths,
                QStringList* notes);
    ~DBaseWriter();
    DBaseWriter(const DBaseWriter&) = delete;
    DBaseWriter& operator=(const DBaseWriter&) = delete;
    void add(const QVariantList& row);
    void finish();

private:
    struct Open;
    std::unique_ptr<Open> m;
};

// Case-blind lookup of a file name in a folder: the name on disk, or the
// name itself when none matches.
QString findInFolder(const QString& folder, const QString& fileName);

}  // namespace qor::jet
