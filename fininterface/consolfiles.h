#pragma once
// Folders, file names and cell rules of the consolidation client's
// exchange. A report lives at D/hbbb/Name(Code)/F/B.rep; its sample
// workbook is D/hbbb/样表/F.xml, its work folder the report path without
// the extension, its page upload files F's "upload" folder and the files
// the client sent down F's "download" folder. All paths use "/".

#include <QList>
#include <QString>
#include <functional>

#include "exchange/xmldom.h"

class CReportHandle;

namespace qor::consol {

// The report path without its extension (everything before the last ".",
// the whole path when the name has none): the report's work folder.
QString StripExtension(const QString& reportPath);
// The report's name B: its file name without the extension.
QString ReportName(const QString& reportPath);
// The name of the folder that holds the report (F).
QString ReportFolderName(const QString& reportPath);
// The name of the client's folder of samples ("样表").
QString SampleFolderName();
QString GetUploadDir(const QString& reportPath);
QString GetDownloadDir(const QString& reportPath);
// D/hbbb given D.
QString ClientRootDir(const QString& dataDir);
// D/hbbb/样表/F.xml.
QString SamplePath(const QString& dataDir, const QString& reportPath);
// The sample's copy kept with the report: work folder/F.xml.
QString LocalSamplePath(const QString& reportPath);

// Firm name and code of the upload header, from the folder right after
// the first "hbbb/". A firm folder is "Name(Code)": the code stands in its
// last brackets, the name may hold brackets of its own. Both empty when
// the path does not have that shape.
void UploadFirm(const QString& reportPath, QString* name, QString* code);
// Firm name and code of the special tables: the report's grandparent
// folder, split by the same rule.
void SplitFirmFolder(const QString& reportPath, QString* name, QString* code);

// "AB12" -> column 28, row 12 (both from 1). False when the address has
// no letters before its digits, the letters name no column, or no digit
// stands at positions 1..99.
bool ParseCellAddress(const QString& address, int* col, int* row);
// The one reading of a CellCoor: "Sheet!AB12", the address also absolute
// ("Sheet!$AB$12") and in either letter case. False when no sheet is
// named or the address does not read.
bool ParseCellCoordinate(const QString& coordinate, QString* sheet, int* col, int* row);
// True with the cell when the coordinate reads and its sheet is sheetName,
// whatever the letter case.
bool MatchCellCoordinate(const QString& coordinate, const QString& sheetName, int* col,
                         int* row);
// The table of a sheet of the sample: false when the sample has no sheet
// of that name (whatever the letter case), else its rows and columns.
using SheetTableSize = std::function<bool(const QString& sheet, int* rows, int* cols)>;
// The first CellCoor of a SampleAlias element's children that places its
// alias in no cell: one that does not read (no sheet named, no address),
// or lies past the table of a sheet the sample holds. False when every
// CellCoor places.
bool MisplacedAliasCell(const QList<XmlNode>& children, const SheetTableSize& tableSize,
                        QString* alias, QString* coordinate);
// The alias rule over the element children of one SampleAlias element:
// the first CellCoor on the sheet among those that follow an SName holding
// alias, up to the next SName (an alias never takes another's cell).
bool FindAliasInList(const QList<XmlNode>& children, const QString& sheetName,
                     const QString& alias, int* col, int* row);
// The alias of a SampleAlias element's children that has no CellCoor of
// its own ("CellCoor" for a cell before any SName); a null text when every
// alias has its cells.
QString DamagedAliasList(const QList<XmlNode>& children);
// Over the element children of every SampleAlias element of a sample: an
// alias named by two SName elements (first and second both that alias,
// cell empty), or a cell owned by two aliases, however each CellCoor
// writes it (cell as the second one's CellCoor writes it). False when every alias and every cell has one
// owner: a download item or an upload value then has one place.
bool AliasClash(const QList<QList<XmlNode>>& groups, QString* first, QString* second,
                QString* cell);

// "%d-%02d-01" of year and month, where month 0 counts as 1 and a
// quarter above 0 sets the month to its first (1, 4, 7, 10).
QString PeriodText(int year, int month, int quarter);
// "Y", "H", "S", "M" for kinds 0..3; "" for any other.
QString KindLetter(int kind);
// The period a download file's name gives: true for a name that starts
// "YYYY-MM" or "YYYY-MM-DD" naming a real date of a year from 1 (no digit
// after it) and ends ".xml" in any letter case.
bool DownloadPeriod(const QString& fileName, int* year, int* month);
// The quarter a month lies in: 1..3 give 1, ..., 10..12 give 4; any
// other month 0.
int QuarterOfMonth(int month);
// The first month of the half-year a month lies in: 1..6 give 1, 7..12
// give 7; any other month 0.
int HalfYearMonth(int month);

// The element children of node (white-space text between them is not
// counted).
QList<XmlNode> ElementChildren(const XmlNode& node);
// True when text can stand as an element name.
bool IsXmlName(const QString& text);

// The upload text of a table cell (rows and columns of the table, as a
// CellCoor names them, found on page through its variable lines): "" for
// an empty cell, for a number the shortest text that reads back as the same
// double (no exponent for the amounts a report holds), on a percent cell
// the same text with its point moved two places (what the clerk sees,
// never the double nearest a hundredth of it); the text for text cells.
QString UploadValue(CReportHandle& report, int row, int col, int page);

enum class DownloadStore {
    Kept,         // stored (an empty text leaves the cell alone)
    NotNumber,    // no finite number by the number rule
    LabelCell,    // the cell is a label of the sample
    FormulaCell,  // a formula computes the cell
    TooLarge,     // more integer digits than the save keeps
    Refused,      // the cell lies outside the table or refused the value
};
// Stores a downloaded text in a table cell (found on page as UploadValue
// finds it): read by the number rule every cell write keeps, times 100 on
// a percent cell. Nothing is written unless Kept. A number cell keeps a
// number to its decimals: when what it keeps differs from the text's
// number, *rounded (when given) is the kept value's upload text, else it is
// left null.
DownloadStore StoreDownloadValue(CReportHandle& report, int row, int col, int page, const QString& text,
                                 QString* rounded = nullptr);

}  // namespace qor::consol
