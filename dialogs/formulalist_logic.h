#pragma once
// What the formula-list and audit-formula dialogs decide, without a
// display: the lines of a list, the file filters, the list writers, the
// audit-text limit and the import of a text file at the caret.

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class CQorsDoc;

namespace qor {

// Formula types of the formula list: cell, audit and rounding formulas.
enum FormulaListType { kCellFormulas = 0, kAuditFormulas = 1, kRoundingFormulas = 2 };

struct FormulaListDlgMembers {
    CQorsDoc* document = nullptr;
    int formulaType = kCellFormulas;
};

// A formula list as the document builds it: the text once, and where each
// line lies in it (a report may hold tens of thousands of formulas; the
// lines are cut out only when shown).
struct FormulaList {
    QString text;
    QList<std::pair<qsizetype, qsizetype>> lines;  // start and length of each line
    qsizetype size() const { return lines.size(); }
    bool isEmpty() const { return lines.isEmpty(); }
    QString Line(qsizetype i) const { return text.mid(lines[i].first, lines[i].second); }
};

// The document's formulas of a type, one list line each.
FormulaList BuildFormulaList(const CQorsDoc& doc, int type);
// Splits a CR LF text into lines: each line ends at its CR and the next
// starts after the LF.
FormulaList SplitFormulaList(QString text);
QStringList SplitFormulaListText(const QString& text);
// The line shown for an empty list ("本表没有单元公式！" ...).
QString EmptyFormulaListText(int type);

// The save dialog's filter: text and command files for cell formulas,
// text files only for the others.
QString FormulaListFilter(int type);

enum class FormulaListFile { Text, Script, Refused };
// What a chosen file name is saved as, by its extension (any case).
FormulaListFile FormulaListFileKind(const QString& path);
// A name typed without an extension gets the first one offered:
// ".shl" for cell formulas, ".txt" for the others.
QString WithDefaultListExtension(const QString& path, int type);

// Writes the lines as UTF-16LE with a byte-order mark, each ended by
// CR LF; a script gets "let " before every line. The file appears whole
// or not at all: false leaves an older file of that name as it was.
bool WriteFormulaList(const QString& path, const FormulaList& list, bool script);

// Audit formulas: at most this many characters can be confirmed.
constexpr int kAuditFormulaMaxChars = 4095;
// Empty when the text can be confirmed, else the message to show.
QString CheckAuditFormulaText(const QString& text);

// The text of a file to import: decoded like a script (byte-order mark,
// else UTF-8, else GB18030) and cut at the first NUL. False with the
// reason when the file cannot be read or is too large.
bool ReadAuditImportFile(const QString& path, QString* text, QString* error);

struct AuditImport {
    QString text;
    int caret = 0;  // the start of the inserted text
};
// The file's text inserted at pos (clamped into the text).
AuditImport InsertAuditImport(const QString& text, int pos, const QString& imported);

}  // namespace qor
