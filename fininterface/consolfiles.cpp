#include "fininterface/consolfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

#include "engine/cellformat.h"
#include "engine/celltypes.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "exchange/ownxml_format.h"
#include "exchange/spreadsheetxml.h"

namespace qor::consol {

// The sample folder's name from the string table ("\样表\"): the folder
// separators around it are ours to add.
QString SampleFolderName() {
    QString name = qor::messageText(str::kSampleFolder, QStringLiteral("\\样表\\"));
    name.remove(QLatin1Char('\\')).remove(QLatin1Char('/'));
    return name.isEmpty() ? QStringLiteral("样表") : name;
}

namespace {

QString normalised(const QString& path) { return QDir::fromNativeSeparators(path); }

}  // namespace

QString StripExtension(const QString& reportPath) {
    const QString p = normalised(reportPath);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = p.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? p.left(dot) : p;
}

QString ReportName(const QString& reportPath) {
    return QFileInfo(StripExtension(reportPath)).fileName();
}

QString ReportFolderName(const QString& reportPath) {
    return QFileInfo(normalised(reportPath)).dir().dirName();
}

QString GetUploadDir(const QString& reportPath) {
    return QFileInfo(normalised(reportPath)).dir().filePath(QStringLiteral("upload"));
}

QString GetDownloadDir(const QString& reportPath) {
    return QFileInfo(normalised(reportPath)).dir().filePath(QStringLiteral("download"));
}

QString ClientRootDir(const QString& dataDir) {
    return QDir(normalised(dataDir)).filePath(QStringLiteral("hbbb"));
}

QString SamplePath(const QString& dataDir, const QString& reportPath) {
    return QDir(ClientRootDir(dataDir))
        .filePath(SampleFolderName() + QLatin1Char('/') + ReportFolderName(reportPath) +
                  QStringLiteral(".xml"));
}

QString LocalSamplePath(const QString& reportPath) {
    return StripExtension(reportPath) + QLatin1Char('/') + ReportFolderName(reportPath) +
           QStringLiteral(".xml");
}

namespace {

// "Name(Code)": the code stands in the last brackets, which close the
// folder's name; brackets inside a firm's name ("星河科技(深圳)有限公司(001)")
// stay with the name. Both empty for a folder of another shape.
void splitFirmName(const QString& folder, QString* name, QString* code) {
    name->clear();
    code->clear();
    if (!folder.endsWith(QLatin1Char(')'))) return;
    const qsizetype open = folder.lastIndexOf(QLatin1Char('('));
    if (open < 0) return;
    *name = folder.left(open);
    *code = folder.mid(open + 1, folder.size() - open - 2);
}

}  // namespace

void UploadFirm(const QString& reportPath, QString* name, QString* code) {
    name->clear();
    code->clear();
    const QString p = normalised(reportPath);
    const qsizetype root = p.indexOf(QStringLiteral("hbbb/"));
    if (root < 0) return;
    const qsizetype start = root + 5;
    const qsizetype slash = p.indexOf(QLatin1Char('/'), start);
    if (slash < 0) return;
    splitFirmName(p.mid(start, slash - start), name, code);
}

void SplitFirmFolder(const QString& reportPath, QString* name, QString* code) {
    const QString folder = QFileInfo(QFileInfo(normalised(reportPath)).path()).path();
    splitFirmName(folder.section(QLatin1Char('/'), -1), name, code);
}

bool ParseCellAddress(const QString& address, int* col, int* row) {
    qsizetype digit = -1;
    for (qsizetype i = 0; i < address.size() && i < 100; ++i) {
        if (address[i] >= QLatin1Char('0') && address[i] <= QLatin1Char('9')) {
            digit = i;
            break;
        }
    }
    if (digit < 1) return false;
    int col0 = 0;
    if (!ParseColumnLetters(address.left(digit), &col0)) return false;
    bool ok = false;
    const int r = address.mid(digit).toInt(&ok);
    if (!ok || r < 1) return false;
    *col = col0 + 1;
    *row = r;
    return true;
}

bool ParseCellCoordinate(const QString& coordinate, QString* sheet, int* col, int* row) {
    const QString text = coordinate.trimmed();
    const qsizetype bang = text.lastIndexOf(QLatin1Char('!'));
    if (bang < 1) return false;
    // An absolute address marks its column and its row with "$".
    QString address = text.mid(bang + 1).trimmed();
    if (address.startsWith(QLatin1Char('$'))) address.remove(0, 1);
    for (qsizetype i = 1; i + 1 < address.size(); ++i)
        if (address[i] == QLatin1Char('$') && address[i + 1].isDigit() && !address[i - 1].isDigit()) {
            address.remove(i, 1);
            break;
        }
    if (!ParseCellAddress(address, col, row)) return false;
    *sheet = text.left(bang);
    return true;
}

bool MatchCellCoordinate(const QString& coordinate, const QString& sheetName, int* col,
                         int* row) {
    QString sheet;
    int c = 0, r = 0;
    if (!ParseCellCoordinate(coordinate, &sheet, &c, &r) ||
        sheet.compare(sheetName, Qt::CaseInsensitive) != 0)
        return false;
    *col = c;
    *row = r;
    return true;
}

bool MisplacedAliasCell(const QList<XmlNode>& children, const SheetTableSize& tableSize,
                        QString* alias, QString* coordinate) {
    QString owner;
    for (const XmlNode& child : children) {
        if (child.tagName() == u"SName") owner = child.text().trimmed();
        if (child.tagName() != u"CellCoor") continue;
        QString sheet;
        int col = 0, row = 0, rows = 0, cols = 0;
        // A sheet the sample does not hold is another report's: its table
        // is not known here.
        if (ParseCellCoordinate(child.text(), &sheet, &col, &row) &&
            (!tableSize(sheet, &rows, &cols) || (row <= rows && col <= cols)))
            continue;
        *alias = owner;
        *coordinate = child.text().trimmed();
        return true;
    }
    return false;
}

bool FindAliasInList(const QList<XmlNode>& children, const QString& sheetName,
                     const QString& alias, int* col, int* row) {
    // An alias owns the CellCoor elements between its SName and the next
    // one: a cell further on is another alias's.
    bool own = false;
    for (const XmlNode& child : children) {
        if (child.tagName() == u"SName") {
            own = child.text().trimmed() == alias;
        } else if (own && child.tagName() == u"CellCoor" &&
                   MatchCellCoordinate(child.text().trimmed(), sheetName, col, row)) {
            return true;
        }
    }
    return false;
}

QString DamagedAliasList(const QList<XmlNode>& children) {
    QString open;  // the SName still waiting for its first cell
    bool waiting = false;
    for (const XmlNode& child : children) {
        if (child.tagName() == u"SName") {
            if (waiting) return open;
            open = child.text().trimmed();
            waiting = true;
        } else if (child.tagName() == u"CellCoor") {
            if (!waiting && open.isNull()) return QStringLiteral("CellCoor");
            waiting = false;
        }
    }
    return waiting ? open : QString();
}

bool AliasClash(const QList<QList<XmlNode>>& groups, QString* first, QString* second,
                QString* cell) {
    QHash<QString, QString> owners;  // cell key -> the alias that owns it
    QSet<QString> names;
    for (const QList<XmlNode>& children : groups) {
        QString alias;
        for (const XmlNode& child : children) {
            if (child.tagName() == u"SName") {
                alias = child.text().trimmed();
                if (!names.contains(alias)) {
                    names.insert(alias);
                    continue;
                }
                *first = *second = alias;
                cell->clear();
                return true;
            }
            if (child.tagName() != u"CellCoor" || alias.isNull()) continue;
            // The same cell however its address is written ("b3", "B3",
            // "$B$3", the sheet in another letter case).
            const QString text = child.text().trimmed();
            QString sheet;
            int col = 0, row = 0;
            const QString key = ParseCellCoordinate(text, &sheet, &col, &row)
                                    ? QStringLiteral("%1!%2,%3").arg(sheet.toCaseFolded()).arg(col).arg(row)
                                    : text;
            const auto owner = owners.constFind(key);
            if (owner == owners.constEnd()) {
                owners.insert(key, alias);
            } else if (*owner != alias) {
                *first = *owner;
                *second = alias;
                *cell = text;
                return true;
            }
        }
    }
    return false;
}

QString PeriodText(int year, int month, int quarter) {
    if (month == 0) month = 1;
    if (quarter > 0) month = (quarter - 1) * 3 + 1;
    QString m = QString::number(month);
    if (m.size() == 1) m.prepend(QLatin1Char('0'));
    // Four digits of year, as the download's name had them: "1-01-01.xml"
    // would be no period's name.
    return QStringLiteral("%1-%2-01").arg(year, 4, 10, QLatin1Char('0')).arg(m);
}

QString KindLetter(int kind) {
    static const char* const letters[] = {"Y", "H", "S", "M"};
    return kind >= 0 && kind < 4 ? QString::fromLatin1(letters[kind]) : QString();
}

bool DownloadPeriod(const QString& fileName, int* year, int* month) {
    // "YYYY-MM" or "YYYY-MM-DD" first, an XML file last: a backup copy
    // ("….xml~") or a day the calendar lacks is no period the client sent.
    static const QRegularExpression shape(QStringLiteral("^(\\d{4})-(\\d{2})(?:-(\\d+))?(\\D.*)?\\.xml$"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = shape.match(fileName);
    if (!m.hasMatch()) return false;
    const int y = m.captured(1).toInt(), mo = m.captured(2).toInt();
    if (y < 1 || mo < 1 || mo > 12) return false;
    if (m.hasCaptured(3) &&
        (m.captured(3).size() != 2 || !QDate(y, mo, m.captured(3).toInt()).isValid()))
        return false;
    *year = y;
    *month = mo;
    return true;
}

int QuarterOfMonth(int month) { return month >= 1 && month <= 12 ? (month - 1) / 3 + 1 : 0; }

int HalfYearMonth(int month) { return month >= 1 && month <= 12 ? (month <= 6 ? 1 : 7) : 0; }

QList<XmlNode> ElementChildren(const XmlNode& node) {
    return node.isNull() ? QList<XmlNode>() : node.childElements();
}

bool IsXmlName(const QString& text) {
    if (text.isEmpty()) return false;
    const auto start = [](QChar c) {
        return c.isLetter() || c == QLatin1Char('_');
    };
    if (!start(text[0])) return false;
    for (QChar c : text)
        if (!(start(c) || c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('.') ||
              c.category() == QChar::Mark_NonSpacing || c == QChar(0xB7)))
            return false;
    // Names starting with "xml" in any case are reserved.
    return !text.startsWith(QStringLiteral("xml"), Qt::CaseInsensitive);
}

namespace {

// A table cell (as a CellCoor names it) on page, and the same cell as the
// format calls read it (through the current page's lines). False when the
// cell lies outside the table or the page cannot be read.
bool placeTableCell(CReportHandle& report, int row, int col, int page, int* pageRow, int* pageCol,
                    CellArea* format) {
    const AreaRecord stored{uint16_t(row), uint16_t(col), uint16_t(row), uint16_t(col)};
    CellArea onPage;
    if (row < 1 || col < 1 || row > 0xFFFF || col > 0xFFFF ||
        report.ShownAreaOnPage(page, stored, &onPage) != 0 || report.ShownAreaOnPage(0, stored, format) != 0)
        return false;
    *pageRow = onPage.first.row;
    *pageCol = onPage.first.col;
    format->last = format->first;
    return true;
}

// The text of an amount a hundredth of the one text holds, by moving its
// point: 0.35 shown as 0.35% goes up as "0.0035", never as the double
// nearest a hundredth of it. A text with an exponent is left to the caller.
QString hundredthText(const QString& text) {
    if (text.contains(u'e') || text.contains(u'E')) return QString();
    const bool negative = text.startsWith(u'-');
    QString digits = negative ? text.mid(1) : text;
    qsizetype point = digits.indexOf(u'.');
    if (point < 0) point = digits.size();
    digits.remove(u'.');
    point -= 2;
    while (point < 1) {
        digits.prepend(u'0');
        ++point;
    }
    QString out = digits.left(point) + u'.' + digits.mid(point);
    while (out.endsWith(u'0')) out.chop(1);
    if (out.endsWith(u'.')) out.chop(1);
    while (out.size() > 1 && out.startsWith(u'0') && out[1] != u'.') out.remove(0, 1);
    if (out == u"0") return out;
    return negative ? u'-' + out : out;
}

}  // namespace

QString UploadValue(CReportHandle& report, int row, int col, int page) {
    int r = 0, c = 0;
    CellArea format;
    if (!placeTableCell(report, row, col, page, &r, &c, &format)) return QString();
    CellValue v;
    if (report.GetCellValue(&v, r, c, page) != 0) return QString();
    switch (v.kind) {
    case kCellNumber: {
        int32_t percent = 0;
        report.AccessAreaFormat(0, kFmtPercent, &percent, &format);
        if (percent != 1) return qor::ownxml::NumberText(v.number);
        const QString shifted = hundredthText(qor::ownxml::NumberText(v.number));
        return shifted.isEmpty() ? qor::ownxml::NumberText(v.number / 100.0) : shifted;
    }
    case kCellText:
    case kCellLabel:
    case kCellOtherText:
        return report.GetCellText(r, c, page);
    default:
        return QString();
    }
}

DownloadStore StoreDownloadValue(CReportHandle& report, int row, int col, int page, const QString& text,
                                 QString* rounded) {
    if (rounded) rounded->clear();
    if (text.trimmed().isEmpty()) return DownloadStore::Kept;
    // The one rule every route into a number cell keeps: "12,345.60" is an
    // amount, "abc", "1e999" and "nan" are none.
    double n = 0;
    if (!TextAsCellNumber(text, &n)) return DownloadStore::NotNumber;
    int r = 0, c = 0;
    CellArea format;
    if (!placeTableCell(report, row, col, page, &r, &c, &format)) return DownloadStore::Refused;
    int32_t kind = 0;
    report.AccessAreaFormat(0, kFmtKind, &kind, &format);
    // A label is the sample's text on every page: an amount written there
    // would be lost and the label sent up in its place.
    if (kind == kCellLabel) return DownloadStore::LabelCell;
    // A formula's cell keeps what its formula computes: the amount would
    // stand until the next recalculation and be gone after it.
    if (report.GetCellFormulaState(format.first.row, format.first.col) != 0) return DownloadStore::FormulaCell;
    int32_t percent = 0;
    report.AccessAreaFormat(0, kFmtPercent, &percent, &format);
    if (percent == 1) n *= 100.0;
    // The save refuses amounts of more integer digits than a report keeps.
    if (std::fabs(n) > kLargestAmount) return DownloadStore::TooLarge;
    if (report.SetCellValue(CellValue::ofNumber(n), r, c, page) != 0) return DownloadStore::Refused;
    // The cell keeps the number to the decimals it shows (and to seven at
    // most); differences below the digits a double carries are none.
    CellValue kept;
    if (rounded && report.GetCellValue(&kept, r, c, page) == 0 && kept.kind == kCellNumber &&
        std::fabs(kept.number - n) > std::fabs(n) * 1e-15)
        *rounded = UploadValue(report, row, col, page);
    return DownloadStore::Kept;
}

}  // namespace qor::consol
