#pragma once
// Report cells through text files: the export writes one line per
// non-empty cell (year, period, row, column, kind, value, page, row
// height, column width, line style, alignment, font, font size, font
// style) and beside it a description "<name>.ini" that lists the file and
// says which column holds which field, so the import reads an export back
// and a description written by hand reads other programs' files.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

class CQorsDoc;
class CReportHandle;

namespace qor {

// The fields of an import description, in this order.
enum ImportFieldIndex : int {
    kFieldYear = 0,  // 会计年度: the year keyword of the cell's page
    kFieldPeriod,    // 会计期间: the month keyword
    kFieldRow,
    kFieldCol,
    kFieldKind,  // 1 number, 2 character, 3 table text
    kFieldValue,
    kFieldPage,
    kFieldRowHeight,
    kFieldColWidth,
    kFieldLines,      // 10 x right line + bottom line (styles 0..7)
    kFieldAlignment,  // 10 x horizontal + vertical (0 default, 1..3)
    kFieldFont,       // face index 0..15
    kFieldFontSize,   // points
    kFieldFontStyle,  // 0 plain .. 7 bold italic underline
    kImportFieldCount
};

struct ImportField {
    QString name;         // set when the description names this field
    int32_t column = 0;   // position in a line, from 1 (0: not in the file)
    int32_t type = 0;     // 1 number, 0 character
    bool operator==(const ImportField&) const = default;
};

struct ImportLayout {
    std::array<ImportField, kImportFieldCount> fields{};
    bool operator==(const ImportLayout&) const = default;
};

// The field's name ("会计年度" .. "字型").
QString ImportFieldName(int index);

// Reads one field line "名，列，数值|字符" (full-width or ASCII commas) into
// the record its name picks; a line naming no field changes nothing.
void ReadImportFieldLine(const QString& line, ImportLayout& layout);

// Reads the field layout of a description file; false when it declares
// no fields ("字段数" missing or 0).
bool ReadImportDescription(const QString& iniPath, ImportLayout* layout);

// The import list's files resolved against the description's folder.
QStringList ResolveImportFiles(const QString& iniPath, const QStringList& files);

// The export dialog's check of a file name. name gets ".txt" when it has
// no extension; the answer is 0 when the name may be used, else the
// message that refuses it: 62311 empty, 62312 not a text file, 62313 a
// folder or drive part (nothing but a bare name is written), 62314 the
// file exists in targetDir.
int CheckExportName(QString* name, const QString& targetDir);

// Writes every page's non-empty cells of the report (data state) into the
// text file at path and its description beside it ("<base>.ini"); both
// are written beside their targets and renamed into place. False with
// *error when nothing was written; *cells gets the lines written.
bool ExportReportText(CReportHandle& report, const QString& path, const QString& reportName,
                      QString* error, int* cells = nullptr);

// What an import read and what it left out.
struct TextImportResult {
    int cells = 0;
    int pages = 0;
    QStringList notes;  // lines refused or cut, one text each (at most 20)
};

// The export command (导出报表, data state): asks for a file name in the
// import folder, writes the text and its description and says what it
// did; every failure is told, nothing else changes.
void OnExportText(CQorsDoc& doc);

}  // namespace qor
