#pragma once
// The "Schema.ini" of a folder of text tables: one section per text file,
// headed "[file name]", holding the layout the text driver reads the file
// by (Format, ColNameHeader, CharacterSet and one ColN entry per column).
// The file goes through qor::IniFile, so an existing Schema.ini keeps its
// encoding, its other sections and the bytes of every line not touched.

#include <QList>
#include <QString>
#include <optional>

// Drops the section of the text file at path from the "Schema.ini" of the
// file's folder (of the current directory for a bare file name), so that
// the next export of the file writes a fresh one. The section header is
// matched without regard to case; its key lines, blank lines and comments
// go with it, every other section stays in order. A Schema.ini without the
// section is not written at all, and a failure leaves it as it was (the
// new text replaces the old one in a single rename).
void RemoveSchemaIniSection(const QString& path);

namespace qor {

struct SchemaIniColumn {
    QString name;
    int daoType = 10;  // DAO type code of the field: 1..8 numbers and dates, 10 text, 12 memo
    int width = 0;     // characters of a text column; 0 leaves it to the driver
};

struct SchemaIniTable {
    QString format = QStringLiteral("CSVDelimited");
    bool colNameHeader = true;
    // What a section read names ("" when it names none); written as given.
    QString characterSet = QStringLiteral("ANSI");
    QList<SchemaIniColumn> columns;
    // How the file writes numbers and dates, where the section says so
    // (empty or -1 otherwise): DecimalSymbol, CurrencySymbol,
    // CurrencyNegFormat (its codes 0, 4, 14, 15 put negatives in
    // parentheses) and DateTimeFormat ("dd.mm.yyyy", "yyyy-mm-dd hh:nn:ss").
    QString decimalSymbol;
    QString currencySymbol;
    int currencyNegFormat = -1;
    QString dateTimeFormat;
};

// The Schema.ini that describes the text file at path.
QString schemaIniPathFor(const QString& textFilePath);

// The column type word of a DAO type code ("Double", "Char" ...); text for
// codes the text driver has no word for.
QString schemaIniTypeName(int daoType);

// "Col1=NAME Char Width 20": the value of one ColN entry. A name holding
// blanks is quoted. Empty when the name cannot be written (empty, or
// holding a quote or a line break).
QString schemaIniColumnText(const SchemaIniColumn& column);

// Writes the section of the text file at path, replacing any section of
// that name and keeping all others. False, with the file unchanged, when a
// column cannot be described or the file cannot be written.
bool WriteSchemaIniSection(const QString& path, const SchemaIniTable& table);

// The section of the text file at path as the text driver would read it;
// nothing when the folder's Schema.ini has no such section. Columns are
// taken from Col1 upwards until the first missing or unreadable entry.
std::optional<SchemaIniTable> ReadSchemaIniSection(const QString& path);

}  // namespace qor
