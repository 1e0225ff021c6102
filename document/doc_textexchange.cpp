#include "document/doc_textexchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "document/cqorsdoc.h"
#include "document/doc_files.h"
#include "engine/cellformat.h"
#include "engine/celltypes.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "document/cmd_dialogs.h"
#include "platform/uiservices.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/csvline.h"
#include "platform/datadir.h"
#include "platform/inifile.h"
#include "platform/safefile.h"

namespace qor {

namespace {

// Keyword slots of the page's year and month.
constexpr int kYearSlot = 2, kMonthSlot = 4;
// What a report holds at most; the rest of a file is left out and said.
constexpr int kTextMaxRows = 9999, kTextMaxCols = 255, kTextMaxPages = 9999;
constexpr qint64 kMaxTextBytes = qint64(512) << 20;
constexpr int kMaxNotes = 20;

QString numberText(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

// A whole number of a field; false for anything else.
bool wholeNumber(const QString& text, int64_t* out) {
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || v != std::floor(v) || std::fabs(v) > 1e15) return false;
    *out = int64_t(v);
    return true;
}

}  // namespace

QString ImportFieldName(int index) { return LoadErrorText(str::kAccountingYear + index); }

void ReadImportFieldLine(const QString& line, ImportLayout& layout) {
    const QString wide = LoadErrorText(str::kWideComma);
    const qsizetype firstWide = line.indexOf(wide);
    const qsizetype firstAscii = line.indexOf(u',');
    const QString sep = firstWide > firstAscii ? wide : QStringLiteral(",");
    const qsizetype at = line.indexOf(sep);
    const QString name = (at < 0 ? line : line.left(at)).trimmed();
    int index = -1;
    for (int i = 0; i < kImportFieldCount; ++i)
        if (ImportFieldName(i) == name) index = i;
    if (index < 0) return;
    ImportField& field = layout.fields[size_t(index)];
    field.name = name;
    // The rest after the first full-width comma, or the first comma when
    // the line has none.
    const qsizetype restAt = firstWide >= 0 ? firstWide + wide.size() : firstAscii + 1;
    const QString rest = firstWide < 0 && firstAscii < 0 ? QString() : line.mid(restAt);
    qsizetype next = rest.indexOf(wide);
    qsizetype skip = wide.size();
    if (next < 0) {
        next = rest.indexOf(u',');
        skip = 1;
    }
    int64_t column = 0;
    if (wholeNumber(next < 0 ? rest : rest.left(next), &column) && column >= 0 && column <= 16384)
        field.column = int32_t(column);
    if (next < 0) return;
    const QString type = rest.mid(next + skip).trimmed();
    if (type == LoadErrorText(str::kNumberType)) field.type = 1;
    else if (type == LoadErrorText(str::kTextType)) field.type = 0;
}

bool ReadImportDescription(const QString& iniPath, ImportLayout* layout) {
    IniFile ini(iniPath);
    const QString section = LoadErrorText(str::kReportSection);
    const int count = ini.readInt(section, LoadErrorText(str::kFieldCount), 0);
    if (count <= 0) return false;
    ImportLayout read;
    const QString keyFormat = LoadErrorText(str::kFieldNumbered);
    // More lines than fields can only repeat one; stop at a sane count.
    for (int i = 1; i <= std::min(count, 1000); ++i) {
        QString key = keyFormat;
        key.replace(QStringLiteral("%d"), QString::number(i));
        ReadImportFieldLine(ini.readString(section, key).left(128), read);
    }
    if (layout) *layout = read;
    return true;
}

QStringList ResolveImportFiles(const QString& iniPath, const QStringList& files) {
    const QString folder = QFileInfo(iniPath).absolutePath();
    QStringList out;
    for (const QString& f : files) out << resolveListedPath(folder, f);
    return out;
}

int CheckExportName(QString* name, const QString& targetDir) {
    if (name->trimmed().isEmpty()) return str::kEnterFileName;
    if (!name->contains(u'.')) *name += QStringLiteral(".txt");
    const QString ext = name->mid(name->lastIndexOf(u'.') + 1);
    if (ext.toUpper() != QStringLiteral("TXT")) return str::kEnterTxtFileName;
    // A folder part would write somewhere else than the export folder.
    if (name->contains(u'\\') || name->contains(u':') || name->contains(u'/') ||
        name->startsWith(u'.'))
        return str::kInvalidFileNameChangeIt;
    if (QFileInfo::exists(QDir(targetDir).filePath(*name))) return str::kFileExistsChangeName;
    return 0;
}

// ---------------------------------------------------------------- export

bool ExportReportText(CReportHandle& report, const QString& path, const QString& reportName,
                      QString* error, int* cells) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (report.IsFormatState()) return fail(LoadErrorText(str::kExportInFormatState));
    const int pages = report.GetPageCount();
    const int rows = report.GetRowCount(), cols = report.GetColCount();
    QString text;
    int written = 0;
    std::vector<uint16_t> heights(size_t(rows) + 1, 0), widths(size_t(cols) + 1, 0);
    for (int r = 1; r <= rows; ++r) report.AccessRowColSize(0, 0, r, &heights[size_t(r)]);
    for (int c = 1; c <= cols; ++c) report.AccessRowColSize(0, 1, c, &widths[size_t(c)]);
    for (int page = 1; page <= pages; ++page) {
        KeywordValue year, month;
        report.GetPageKeyword(kYearSlot, &year, page);
        report.GetPageKeyword(kMonthSlot, &month, page);
        const QString yearText = year.kind == 1 ? numberText(year.number) : QString();
        const QString monthText = month.kind == 1 ? numberText(month.number) : QString();
        for (int r = 1; r <= rows; ++r) {
            for (int c = 1; c <= cols; ++c) {
                CellValue v;
                if (report.GetCellValue(&v, r, c, page) != 0) continue;
                const CellArea area = CellArea::cell(r, c);
                uint64_t word = 0;
                report.ReadAreaFormatWord(&area, &word);
                // Keyword cells show the page's keywords, carried above.
                if (kFmtKeywordCell.get(word)) continue;
                QString value;
                int kind = v.kind;
                if (v.kind == kCellUnset) continue;
                if (v.kind == kCellNumber) {
                    value = numberText(v.number);
                } else {
                    value = report.GetCellText(r, c, page);
                    if (value.isEmpty()) continue;
                    value = csv::Quote(value);
                    if (kind != kCellLabel) kind = kCellText;
                }
                const int points = kFontSizePoints[cellFormatGet(word, kFmtFontSize) & 15];
                const QStringList fields{
                    yearText,
                    monthText,
                    QString::number(r),
                    QString::number(c),
                    QString::number(kind),
                    value,
                    QString::number(page),
                    QString::number(heights[size_t(r)]),
                    QString::number(widths[size_t(c)]),
                    QString::number(cellFormatGet(word, kFmtRightLine) * 10 +
                                    cellFormatGet(word, kFmtBottomLine)),
                    QString::number(cellFormatGet(word, kFmtHAlign) * 10 +
                                    cellFormatGet(word, kFmtVAlign)),
                    QString::number(cellFormatGet(word, kFmtFont)),
                    QString::number(points),
                    QString::number(cellFormatGet(word, kFmtFontStyle)),
                };
                text += fields.join(u',') + QStringLiteral("\r\n");
                ++written;
            }
        }
    }
    int err = 0;
    if (!WriteFileSafely(path, csv::EncodeText(text), &err))
        return fail(
            LoadErrorText(str::kCannotWriteFileWhy).arg(QDir::toNativeSeparators(path), qor::FileErrorText(err)));

    // The description: the file as the only report of the list, and every
    // field at its column.
    const QFileInfo info(path);
    const QString iniPath = info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".ini");
    IniFile ini(iniPath);
    if (!ini.exists()) ini.setEncoding(IniFile::Encoding::Utf16Le);
    const QString section = LoadErrorText(str::kReportSection);
    ini.removeSection(section);
    QString name = reportName.isEmpty() ? info.completeBaseName() : reportName;
    name.replace(u'\r', u' ').replace(u'\n', u' ');
    ini.setString(section, QStringLiteral("个数"), QStringLiteral("1"));
    ini.setString(section, QStringLiteral("名称1"), name);
    ini.setString(section, QStringLiteral("文件1"), info.fileName());
    ini.setString(section, LoadErrorText(str::kFieldCount), QString::number(kImportFieldCount));
    const QString wide = LoadErrorText(str::kWideComma);
    for (int i = 0; i < kImportFieldCount; ++i) {
        QString key = LoadErrorText(str::kFieldNumbered);
        key.replace(QStringLiteral("%d"), QString::number(i + 1));
        const QString type = LoadErrorText(i == kFieldValue ? str::kTextType : str::kNumberType);
        ini.setString(section, key, ImportFieldName(i) + wide + QString::number(i + 1) + wide + type);
    }
    if (!ini.save())
        return fail(LoadErrorText(str::kExportDescriptionNotWritten).arg(QDir::toNativeSeparators(path),
                                             QDir::toNativeSeparators(iniPath)));
    if (cells) *cells = written;
    return true;
}

}  // namespace qor

// ---------------------------------------------------------------- import

namespace qor {
namespace {

struct ImportedCell {
    int line = 0, page = 1, row = 0, col = 0, kind = kCellNumber;
    double number = 0;
    QString text;
};

// The formats of one cell position; -1 where the file gives none.
struct ImportedFormat {
    int lines = -1, alignment = -1, font = -1, fontSize = -1, fontStyle = -1, kind = -1;
};

int fontSizeIndex(int points) {
    int best = 0;
    for (int i = 1; i < 16; ++i)
        if (std::abs(kFontSizePoints[i] - points) < std::abs(kFontSizePoints[best] - points)) best = i;
    return best;
}

}  // namespace

}  // namespace qor

bool DocFiles::ImportExportText(const QString& path, const qor::ImportLayout& layout,
                                qor::TextImportResult* result, QString* error) {
    using namespace qor;
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    CReportHandle* rep = m_doc.GetReport();
    if (!rep) return fail(LoadErrorText(qor::str::kNoReportOpenSentence));
    auto column = [&](int field) { return layout.fields[size_t(field)].column; };
    if (column(kFieldRow) <= 0 || column(kFieldCol) <= 0 || column(kFieldValue) <= 0)
        return fail(LoadErrorText(qor::str::kFieldError) + LoadErrorText(qor::str::kDescriptionLacksPlaces));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(LoadErrorText(qor::str::kImportFileNotFound) + u' ' + QDir::toNativeSeparators(path));
    if (file.size() > kMaxTextBytes)
        return fail(LoadErrorText(qor::str::kImportFileTooLarge).arg(QDir::toNativeSeparators(path)));
    QList<QStringList> records;
    QString splitError;
    if (!csv::SplitRecords(csv::DecodeText(file.readAll()), &records, &splitError))
        return fail(LoadErrorText(qor::str::kImportFileUnreadable).arg(QDir::toNativeSeparators(path), splitError));

    TextImportResult res;
    auto note = [&](int line, const QString& text) {
        if (res.notes.size() < kMaxNotes)
            res.notes << LoadErrorText(qor::str::kLineNote).arg(line).arg(text);
        else if (res.notes.size() == kMaxNotes)
            res.notes << QStringLiteral("……");
    };
    std::vector<ImportedCell> cells;
    std::map<std::pair<int, int>, ImportedFormat> formats;
    std::map<int, int> heights, widths;
    std::map<int, std::pair<double, double>> keywords;  // page → year, month (NaN: none)
    int maxRow = 0, maxCol = 0, maxPage = 1;
    const bool valueIsNumber = layout.fields[kFieldValue].type == 1;
    for (int line = 1; line <= records.size(); ++line) {
        const QStringList& rec = records.at(line - 1);
        auto field = [&](int f) -> QString {
            const int c = column(f);
            return c > 0 && c <= rec.size() ? rec.at(c - 1) : QString();
        };
        auto number = [&](int f, int64_t* out) {
            return column(f) > 0 && wholeNumber(field(f), out);
        };
        ImportedCell cell;
        int64_t row = 0, col = 0, page = 1, kind = 0;
        if (!number(kFieldRow, &row) || !number(kFieldCol, &col) || row < 1 || col < 1) {
            note(line, LoadErrorText(qor::str::kImportBadRowCol));
            continue;
        }
        if (row > kTextMaxRows || col > kTextMaxCols) {
            note(line, LoadErrorText(qor::str::kImportCellBeyondSize).arg(kTextMaxRows).arg(kTextMaxCols));
            continue;
        }
        if (column(kFieldPage) > 0 && (!number(kFieldPage, &page) || page < 1 || page > kTextMaxPages)) {
            note(line, LoadErrorText(qor::str::kImportBadPage));
            continue;
        }
        if (column(kFieldKind) > 0 && number(kFieldKind, &kind) && kind >= 1 && kind <= 3)
            cell.kind = int(kind);
        else
            cell.kind = valueIsNumber ? kCellNumber : kCellText;
        const QString value = field(kFieldValue);
        if (cell.kind == kCellNumber) {
            if (value.trimmed().isEmpty()) continue;
            // The number rule every cell write keeps ("12,345.60" reads,
            // "12x" and "1e999" do not).
            if (!qor::TextAsCellNumber(value, &cell.number)) {
                note(line, LoadErrorText(qor::str::kImportNotNumber).arg(value.left(40)));
                continue;
            }
        } else {
            cell.text = value;
        }
        cell.line = line;
        cell.row = int(row);
        cell.col = int(col);
        cell.page = int(page);
        maxRow = std::max(maxRow, cell.row);
        maxCol = std::max(maxCol, cell.col);
        maxPage = std::max(maxPage, cell.page);
        // The cell's kind always: a text written into a number cell would
        // be turned into a number.
        ImportedFormat& fmt = formats[{cell.row, cell.col}];
        fmt.kind = cell.kind;
        int64_t v = 0;
        if (number(kFieldLines, &v) && v >= 0 && v <= 77 && v % 10 <= 7) fmt.lines = int(v);
        if (number(kFieldAlignment, &v) && v >= 0 && v <= 33 && v % 10 <= 3) fmt.alignment = int(v);
        if (number(kFieldFont, &v) && v >= 0 && v <= 15) fmt.font = int(v);
        if (number(kFieldFontSize, &v) && v > 0 && v <= 1000) fmt.fontSize = fontSizeIndex(int(v));
        if (number(kFieldFontStyle, &v) && v >= 0 && v <= 7) fmt.fontStyle = int(v);
        if (number(kFieldRowHeight, &v) && v > 0 && v <= 2000) heights[cell.row] = int(v);
        if (number(kFieldColWidth, &v) && v > 0 && v <= 2000) widths[cell.col] = int(v);
        auto& kw = keywords.try_emplace(cell.page, std::nan(""), std::nan("")).first->second;
        if (number(kFieldYear, &v)) kw.first = double(v);
        if (number(kFieldPeriod, &v)) kw.second = double(v);
        cells.push_back(std::move(cell));
    }
    if (cells.empty()) {
        if (result) *result = res;
        return fail(LoadErrorText(qor::str::kImportNoCells).arg(QDir::toNativeSeparators(path)) +
                    (res.notes.isEmpty() ? QString() : u'\n' + res.notes.join(u'\n')));
    }

    // The format first: table size, kinds, formats, sizes and table texts.
    if (!rep->IsFormatState() && !m_doc.EnterFormatState()) return fail(LoadErrorText(qor::str::kImportNoFormatState));
    uint16_t st = 0;
    auto check = [&](uint16_t s) {
        if (s != 0 && st == 0) st = s;
        return st == 0;
    };
    uint16_t rows = 0, cols = 0;
    check(rep->AccessTableSize(0, &rows, &cols));
    if (rows < maxRow || cols < maxCol) {
        rows = uint16_t(std::max<int>(rows, maxRow));
        cols = uint16_t(std::max<int>(cols, maxCol));
        check(rep->AccessTableSize(1, &rows, &cols));
    }
    for (const auto& [pos, fmt] : formats) {
        if (st) break;
        const CellArea area = CellArea::cell(pos.first, pos.second);
        auto set = [&](int code, int value) {
            int32_t v = value;
            check(rep->AccessAreaFormat(1, code, &v, &area));
        };
        if (fmt.kind >= 0) set(kFmtKind, fmt.kind);
        if (fmt.lines >= 0) {
            set(kFmtRightLine, fmt.lines / 10);
            set(kFmtBottomLine, fmt.lines % 10);
        }
        if (fmt.alignment >= 0) {
            set(kFmtHAlign, fmt.alignment / 10);
            set(kFmtVAlign, fmt.alignment % 10);
        }
        if (fmt.font >= 0) set(kFmtFont, fmt.font);
        if (fmt.fontSize >= 0) set(kFmtFontSize, fmt.fontSize);
        if (fmt.fontStyle >= 0) set(kFmtFontStyle, fmt.fontStyle);
    }
    for (const auto& [r, h] : heights) {
        uint16_t v = uint16_t(h);
        check(rep->AccessRowColSize(1, 0, r, &v));
    }
    for (const auto& [c, w] : widths) {
        uint16_t v = uint16_t(w);
        check(rep->AccessRowColSize(1, 1, c, &v));
    }
    for (const ImportedCell& c : cells)
        if (st == 0 && c.kind == kCellLabel)
            check(rep->SetCellValue(CellValue{kCellLabel, 0, c.text}, c.row, c.col, 0));

    // Then the pages: their keywords and values.
    if (st == 0 && !m_doc.EnterDataState()) st = 1;
    if (st == 0 && rep->GetPageCount() < maxPage)
        check(rep->AppendRowColPage(maxPage - rep->GetPageCount(), 2));
    for (const auto& [page, kw] : keywords) {
        if (st) break;
        if (!std::isnan(kw.first)) check(rep->SetPageKeyword(kYearSlot, {1, kw.first, {}}, page));
        if (!std::isnan(kw.second)) check(rep->SetPageKeyword(kMonthSlot, {1, kw.second, {}}, page));
    }
    // A value the report refuses (a formula cell, a table text written for
    // the same place) is left out and said; the others still go in.
    int written = 0;
    for (const ImportedCell& c : cells) {
        if (st) break;
        if (c.kind == kCellLabel) {
            ++written;
            continue;
        }
        const CellValue v = c.kind == kCellNumber ? CellValue::ofNumber(c.number) : CellValue::ofText(c.text);
        if (const uint16_t s = rep->SetCellValue(v, c.row, c.col, c.page))
            note(c.line, LoadErrorText(qor::str::kImportValueRefused).arg(StatusText(s)));
        else
            ++written;
    }
    res.cells = written;
    res.pages = maxPage;
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews();
    if (result) *result = res;
    if (st) return fail(LoadErrorText(qor::str::kImportError).arg(QDir::toNativeSeparators(path), StatusText(st)));
    return true;
}

namespace qor {

void OnExportText(CQorsDoc& doc) {
    CReportHandle* rep = doc.GetReport();
    if (!rep) return;
    ExportDlgMembers m;
    m.targetDir = GetImportPath();
    const auto chosen = Ask(m);
    if (!chosen) return;
    const QString path = QDir(chosen->targetDir).filePath(chosen->fileName);
    QString error;
    int cells = 0;
    bool ok = false;
    try {
        ok = ExportReportText(*rep, path, QFileInfo(doc.GetPathName()).completeBaseName(), &error,
                              &cells);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = LoadErrorText(str::kExportUnexpectedError);
    }
    if (!ok) {
        messageBox(error, LoadErrorText(str::kDialogCaption), MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    messageBox(LoadErrorText(str::kExportedCells).arg(cells).arg(QDir::toNativeSeparators(path)),
               LoadErrorText(str::kDialogCaption), MsgButtons::Ok, MsgIcon::Information);
}

}  // namespace qor
