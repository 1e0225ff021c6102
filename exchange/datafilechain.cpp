#include "exchange/datafilechain.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <algorithm>
#include <cmath>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/creportfile.h"
#include "engine/reportlayout.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "exchange/datafileconvert.h"
#include "exchange/excelimport.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
#include "exchange/losstally.h"
#include "exchange/reportmdb.h"

using namespace qor::jet;

namespace {

constexpr int kMaxRows = 9999;
constexpr int kMaxCols = 255;

bool isFolderKind(const QString& path) {
    const DataFileKind k = dataFileKindFromPath(path);
    return k == DataFileKind::Text || k == DataFileKind::DBase;
}

QString notInstalled(const QString& path) {
    return LoadErrorText(qor::str::kDataDriverMissing).arg(QFileInfo(path).fileName());
}

bool isNumber(int type) { return type >= kBoolean && type <= kDouble; }

int cellTypeOf(CReportHandle* report, int row, int col) {
    int32_t type = kCellUnset;
    const CellArea a = CellArea::cell(row, col);
    return report->AccessAreaFormat(0, 0, &type, &a) == 0 ? type : kCellUnset;
}

// A placed keyword written as a field: slots 0 and 1 texts, 2 to 5 whole
// numbers, the user keyword (6) a whole number unless a page holds a text
// in it.
struct KeywordField {
    int slot = 0;
    QString name;
    int type = kLong;
};

QList<KeywordField> keywordFieldsOf(CReportHandle* report) {
    static const char* const kNames[] = {"单位名称", "单位编号", "年", "季", "月", "日"};
    QList<KeywordField> out;
    for (int slot = 0; slot <= 6; ++slot) {
        CellRef cell;
        if (report->AccessKeywordCell(0, slot, &cell) != 0 || cell.row == 0 || cell.col == 0) continue;
        KeywordField k;
        k.slot = slot;
        if (slot < 6) {
            k.name = QString::fromUtf8(kNames[slot]);
            k.type = slot < 2 ? kText : kLong;
        } else {
            k.name = report->GetReportFile()->GetUserKeywordName().trimmed();
            if (k.name.isEmpty()) k.name = QStringLiteral("关键字");
            for (int p = 1; p <= report->GetPageCount() && k.type != kText; ++p) {
                qor::KeywordValue v;
                if (report->GetPageKeyword(6, &v, p) == 0 && v.kind == 2) k.type = kText;
            }
        }
        out.append(k);
    }
    return out;
}

// Appends the keyword fields after the column fields, each name made unique
// among them without regard to case ("A" becomes "A_1", and so on).
void appendKeywordFields(const QList<KeywordField>& keywords, QList<FieldInfo>* fields) {
    auto taken = [fields](const QString& name) {
        for (const FieldInfo& f : *fields)
            if (f.name.compare(name, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    for (const KeywordField& k : keywords) {
        FieldInfo f;
        f.name = k.name;
        for (int n = 1; taken(f.name); ++n) f.name = k.name + QStringLiteral("_%1").arg(n);
        f.type = k.type;
        f.size = k.type == kText ? 255 : 4;
        fields->append(f);
    }
}

QVariant keywordValueOf(CReportHandle* report, const KeywordField& k, int page) {
    qor::KeywordValue v;
    if (report->GetPageKeyword(k.slot, &v, page) != 0 || v.kind == 0) return QVariant();
    if (k.type == kText) {
        const QString t = v.kind == 2 ? v.text : QString::number(v.number, 'g', QLocale::FloatingPointShortest);
        return t.isEmpty() ? QVariant() : QVariant(t);
    }
    if (v.kind == 2) return QVariant();
    // Whole numbers, cut toward zero.
    return QVariant(qint64(std::trunc(v.number)));
}

// Restores the report's state and current page when the export leaves,
// whichever way it leaves.
class StateKeeper {
public:
    explicit StateKeeper(CReportHandle* r) : m_report(r), m_page(r->GetCurPage()), m_format(r->IsFormatState() == 1) {}
    ~StateKeeper() {
        if (m_format) m_report->EnterFormatState();
        else if (m_page > 0) m_report->SetCurPage(m_page);
    }
    bool wasFormat() const { return m_format; }

private:
    CReportHandle* m_report;
    int m_page;
    bool m_format;
};

bool isAccessPath(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("mdb"), Qt::CaseInsensitive) == 0;
}

bool isLotusPath(const QString& path) { return dataFileKindFromPath(path) == DataFileKind::Lotus; }

// Every save into a data file starts as the report's export to a database:
// the whole report, or the one page asked for.
int exportToWorkingDatabase(CReportHandle* report, const QString& dbPath, int page, QString* error) {
    return page == 0 ? ExportReportToMdb(report, dbPath, error)
                     : ExportPageToMdb(report, dbPath, page, error);
}

// A file of several tables: Access or Lotus.
bool isTablesFile(const QString& path) { return isAccessPath(path) || isLotusPath(path); }

}  // namespace

bool DataFileChainReads(const QString& path) { return isFolderKind(path) || isTablesFile(path); }
bool DataFileChainWrites(const QString& path) { return isFolderKind(path) || isTablesFile(path); }

int ConvertDatabaseToAccessFile(Database& db, const QString& path, QString* error, QStringList* notes) {
    try {
        const QList<NamedTable> tables = userTablesOf(db);
        if (tables.isEmpty()) throw JetError(LoadErrorText(qor::str::kNothingToWrite));
        writeAccessFile(path, tables, notes);
        return 1;
    } catch (const JetError& e) {
        if (error)
            *error = LoadErrorText(qor::str::kConvertFileFailed) + QLatin1Char('\n') + e.message();
        return 0;
    }
}

namespace {

void writeFailed(const JetError& e, QString* error) {
    const QString text =
        LoadErrorText(qor::str::kConvertFileFailed) + QLatin1Char('\n') + e.message();
    TraceMessage(text);
    if (error) *error = text;
}

// Takes a report's pages as tables: begin names a page's table and its
// fields, its records follow one at a time (the list is reused: valid
// while record runs), end closes the table. wants says which fields of the
// current table the taker reads; values of the others may be left empty.
class PageTables {
public:
    virtual ~PageTables() = default;
    virtual void begin(const QString& table, const QList<FieldInfo>& fields) = 0;
    virtual bool wants(int /*field*/) const { return true; }
    virtual void record(const QVariantList& row) = 0;
    virtual void end() {}
};

// A page or cell the export cannot read.
struct ReadFailure {
    QString message;
};

// The table a report's page is in a working database, and so the sheet
// it is in a Lotus file: "Sheet<n>", or "SHEET" for the one page written.
QString pageTableName(int page, bool onlyPage) {
    return onlyPage ? QStringLiteral("SHEET") : QStringLiteral("Sheet%1").arg(page);
}

// Walks the report's pages ("Sheet<n>" for every page, or the one page as
// "SHEET"): columns are fields "A", "B" ..: Text when a cell of the column
// is a text or label cell, Double otherwise; one record per row, the
// placed keywords (whole report only) as fields after the columns, their
// values in each page's first record. Values are as a working database
// keeps them: a number that is no number is empty. The report comes back
// in the state and on the page it was in. 1 or 0 with *error when the
// report cannot be read; what out throws reaches the caller.
int walkReportPages(CReportHandle* report, int page, PageTables& out, QString* error) {
    if (!report) return 0;
    StateKeeper keep(report);
    if (keep.wasFormat() && report->EnterDataState() != 0) {
        if (error) *error = LoadErrorText(qor::str::kCannotLeaveFormatState);
        return 0;
    }
    if (report->GetPageCount() == 0 && report->AppendRowColPage(1, 2) != 0) {
        if (error) *error = LoadErrorText(qor::str::kNoPagesCannotAppend);
        return 0;
    }
    if (page != 0 && (page < 1 || page > report->GetPageCount())) {
        if (error) *error = LoadErrorText(qor::str::kReportLacksPage).arg(page);
        return 0;
    }
    int kind = 0, start = 0, extent = 0;
    report->AccessVarArea(0, &kind, &start, &extent);
    const int tableRows = report->GetRowCount();
    const int tableCols = report->GetColCount();
    const int first = page == 0 ? 1 : page;
    const int last = page == 0 ? report->GetPageCount() : page;
    // The whole report carries its placed keywords as fields of its own;
    // one page ("SHEET") does not.
    const QList<KeywordField> keywords = page == 0 ? keywordFieldsOf(report) : QList<KeywordField>();
    // A cell covered by a combined area shows nothing whatever it holds.
    const bool anyCombined = !report->GetReportFile()->Format().combined.empty();
    const auto covered = [report](int r, int c) {
        CellArea area;
        return report->GetCombinedArea(CellArea::cell(r, c), &area) == 1 &&
               (area.first.row != r || area.first.col != c);
    };
    QMap<std::pair<int, int>, QList<FieldInfo>> columnFields;
    try {
        for (int p = first; p <= last; ++p) {
            if (report->SetCurPage(p) != 0)
                throw ReadFailure{LoadErrorText(qor::str::kPageUnreadable).arg(p)};
            int count = 0;
            if (kind != 0 && report->AccessVarCount(0, &count) != 0) count = 1;
            const int rows = kind == 1 ? tableRows - 1 + count : tableRows;
            const int cols = kind == 2 ? tableCols - 1 + count : tableCols;
            // Every page has the report's one layout: pages of the same
            // size have the same field types.
            const auto sized = columnFields.constFind({rows, cols});
            QList<FieldInfo> fields = sized != columnFields.constEnd() ? *sized : QList<FieldInfo>();
            for (int c = int(fields.size()) + 1; c <= cols; ++c) {
                FieldInfo f;
                f.name = ColumnLetters(c);
                f.type = kDouble;
                f.size = 8;
                for (int r = 1; r <= rows; ++r) {
                    int32_t type = 0;
                    const CellArea a = CellArea::cell(r, c);
                    if (report->AccessAreaFormat(0, 0, &type, &a) == 0 && (type == kCellText || type == kCellLabel)) {
                        f.type = kText;
                        f.size = 255;
                        break;
                    }
                }
                fields.append(f);
            }
            columnFields.insert({rows, cols}, fields);
            appendKeywordFields(keywords, &fields);
            const QString table = pageTableName(p, page != 0);
            out.begin(table, fields);
            std::vector<char> wanted(size_t(cols), 0);
            for (int c = 0; c < cols; ++c) wanted[size_t(c)] = out.wants(c);
            // One record's list serves every record of the page; a number
            // replaces the one before it in place.
            QVariantList row(cols + keywords.size());
            for (int r = 1; r <= rows; ++r) {
                QVariant* record = row.data();
                for (int c = 1; c <= cols; ++c) {
                    if (!wanted[size_t(c - 1)]) continue;
                    if (anyCombined && covered(r, c)) {
                        record[c - 1].clear();
                        continue;
                    }
                    CellValue v;
                    if (report->GetCellValue(&v, r, c, p) != 0)
                        throw ReadFailure{LoadErrorText(qor::str::kCellUnreadable)
                                              .arg(ColumnLetters(c))
                                              .arg(r)
                                              .arg(p)};
                    QVariant& slot = record[c - 1];
                    if (v.isText()) {
                        const QString t = report->GetCellText(r, c, p);
                        if (t.isEmpty()) slot.clear();
                        else slot.setValue(t);
                    } else if (std::isnan(v.number) ||
                               (v.kind != kCellNumber && cellTypeOf(report, r, c) == kCellUnset)) {
                        // An empty cell never typed is no value; a 0 any
                        // cell holds is a value whether or not its type was
                        // set, and an empty number cell is written as 0, as
                        // always. A working database keeps no NaN.
                        slot.clear();
                    } else {
                        slot.setValue(v.number);
                    }
                }
                // The page's keyword values go into its first record only.
                for (qsizetype k = 0; k < keywords.size(); ++k)
                    record[cols + k] = r == 1 && out.wants(int(cols + k)) ? keywordValueOf(report, keywords.at(k), p)
                                                                         : QVariant();
                out.record(row);
            }
            out.end();
        }
    } catch (const ReadFailure& e) {
        if (error) *error = e.message;
        return 0;
    }
    return 1;
}

// Counts, column by column, the numbers put into a text field (a column
// that also holds a text or label cell): every data file keeps such a
// field's values as texts, so they come back as text cells. Reads the
// text fields only.
class NumbersInTextFields : public PageTables {
public:
    void begin(const QString&, const QList<FieldInfo>& fields) override { m_fields = fields; }
    bool wants(int field) const override { return field < m_fields.size() && !isNumber(m_fields.at(field).type); }
    void record(const QVariantList& row) override {
        for (qsizetype c = 0; c < row.size() && c < m_fields.size(); ++c)
            if (row.at(c).typeId() == QMetaType::Double && !isNumber(m_fields.at(c).type))
                ++m_counts[m_fields.at(c).name];
    }
    // The line naming the columns and their counts; "" when there are none.
    QString note() const {
        if (m_counts.isEmpty()) return QString();
        QStringList columns;
        // Column letters in the report's order: shorter first.
        QStringList names = m_counts.keys();
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        for (const QString& name : names)
            columns.append(
                LoadErrorText(qor::str::kColumnAndCount).arg(name).arg(m_counts.value(name)));
        return LoadErrorText(qor::str::kNumbersWrittenAsText)
            .arg(columns.join(LoadErrorText(qor::str::kListSeparator)));
    }

private:
    QList<FieldInfo> m_fields;
    QHash<QString, qint64> m_counts;
};

// The pages into a working database, a page's table and records one
// transaction.
class DatabaseTables : public PageTables {
public:
    explicit DatabaseTables(Database& db) : m_db(db) {}
    void begin(const QString& table, const QList<FieldInfo>& fields) override {
        m_table = table;
        m_db.beginBulk();
        m_db.createTable({table, true, 0}, fields);
    }
    void record(const QVariantList& row) override { m_db.addRecord(m_table, row); }
    void end() override { m_db.commitBulk(); }

private:
    Database& m_db;
    QString m_table;
};

// The pages as the records of one dBASE table, laid out by the first page:
// the fields of a wider page beyond the first's are left out (and told),
// a narrower page's records are filled with empty values. The records are
// walked twice, first for the widths of the text fields (reading no
// number), then to write them.
class DBaseLayout : public PageTables {
public:
    explicit DBaseLayout(QStringList* notes) : m_notes(notes) {}
    void begin(const QString& table, const QList<FieldInfo>& fields) override {
        if (m_fields.isEmpty()) {
            m_fields = fields;
            m_widths = QList<int>(fields.size(), 1);
        } else if (fields.size() > m_fields.size() && m_notes) {
            m_notes->append(LoadErrorText(qor::str::kFieldsBeyondFirstTable)
                                .arg(table)
                                .arg(fields.size() - m_fields.size())
                                .arg(m_fields.size()));
        }
    }
    bool wants(int field) const override { return field < m_fields.size() && !isNumber(m_fields.at(field).type); }
    void record(const QVariantList& row) override { widenDBaseTextWidths(m_fields, row, &m_widths); }
    const QList<FieldInfo>& fields() const { return m_fields; }
    const QList<int>& widths() const { return m_widths; }

private:
    QStringList* m_notes;
    QList<FieldInfo> m_fields;
    QList<int> m_widths;
};

class DBaseRecords : public PageTables {
public:
    DBaseRecords(DBaseWriter& writer, qsizetype width) : m_writer(writer), m_width(width) {}
    void begin(const QString&, const QList<FieldInfo>&) override {}
    bool wants(int field) const override { return field < m_width; }
    void record(const QVariantList& row) override { m_writer.add(row); }

private:
    DBaseWriter& m_writer;
    qsizetype m_width;
};

// The report straight into a dBASE file, page by page: the same file the
// way through a working database gives, without holding the records.
int exportToDBaseFile(CReportHandle* report, const QString& path, int page, QString* error, QStringList* notes) {
    QStringList layoutNotes;
    DBaseLayout layout(&layoutNotes);
    if (!walkReportPages(report, page, layout, error)) return 0;
    try {
        DBaseWriter writer(path, layout.fields(), layout.widths(), notes ? &layoutNotes : nullptr);
        DBaseRecords records(writer, layout.fields().size());
        if (!walkReportPages(report, page, records, error)) return 0;
        writer.finish();
    } catch (const JetError& e) {
        writeFailed(e, error);
        return 0;
    }
    if (notes) notes->append(layoutNotes);
    return 1;
}

// The pages into an Access file, a table each, written as they are read.
class AccessTables : public PageTables {
public:
    explicit AccessTables(AccessWriter& writer) : m_writer(writer) {}
    void begin(const QString& table, const QList<FieldInfo>& fields) override { m_writer.beginTable(table, fields); }
    void record(const QVariantList& row) override { m_writer.add(row); }
    void end() override { m_writer.endTable(); }

private:
    AccessWriter& m_writer;
};

int exportToAccessFile(CReportHandle* report, const QString& path, int page, QString* error, QStringList* notes) {
    try {
        AccessWriter writer(path, notes);
        AccessTables tables(writer);
        if (!walkReportPages(report, page, tables, error)) return 0;
        writer.finish();
        return 1;
    } catch (const JetError& e) {
        writeFailed(e, error);
        return 0;
    }
}

}  // namespace

int ExportReportPagesToDatabase(CReportHandle* report, Database& db, int page, QString* error) {
    DatabaseTables tables(db);
    try {
        return walkReportPages(report, page, tables, error);
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
}

namespace {

// A table as a report takes it: its fields, the records it holds and the
// first of them, as many as a page has rows.
struct KeptTable {
    QString name;
    QList<FieldInfo> fields;
    qint64 records = 0;
    QList<QVariantList> rows;
    // A text file's first line read as names that no cell will show.
    QString namesLine;
    // What the reader left out of every record.
    QStringList leftOut;
};

// Keeps the first records of a table read record by record, and asks for
// no more once a page is full.
class KeepFirstRecords : public RecordSink {
public:
    explicit KeepFirstRecords(KeptTable* table) : m_table(table) {}
    void begin(const QList<FieldInfo>& fields) override { m_table->fields = fields; }
    bool record(const QVariantList& row) override {
        m_table->rows.append(row);
        return m_table->rows.size() < kMaxRows;
    }
    // Names that are the column letters (what a report's own export
    // writes) or empty hold nothing the report lacks; any other is a line
    // of the file the report will not show.
    void namesFromFirstLine(const QStringList& names) override {
        for (qsizetype c = 0; c < names.size(); ++c) {
            const QString name = names.at(c).trimmed();
            if (!name.isEmpty() && name.compare(ColumnLetters(int(c + 1)), Qt::CaseInsensitive) != 0) {
                m_table->namesLine = names.join(u',');
                return;
            }
        }
    }

    void leftOut(const QString& what) override { m_table->leftOut.append(what); }

private:
    KeptTable* m_table;
};

// Pages from the tables, one each; see ImportDatabaseToReport.
int fillReport(const QList<KeptTable>& tables, CReportHandle* report, QString* error, QStringList* notes) {
    try {
        if (tables.isEmpty()) throw JetError(LoadErrorText(qor::str::kFileHasNoTable));
        qint64 rows = 0;
        int cols = 0;
        QList<bool> textColumn;
        for (const KeptTable& t : tables) {
            const QList<FieldInfo>& fields = t.fields;
            const qint64 n = t.records;
            rows = std::max(rows, n);
            cols = std::max(cols, int(fields.size()));
            for (int j = 0; j < fields.size() && j < kMaxCols; ++j) {
                if (textColumn.size() <= j) textColumn.append(false);
                if (!isNumber(fields.at(j).type)) textColumn[j] = true;
            }
            if (notes && n > kMaxRows)
                notes->append(LoadErrorText(qor::str::kRecordsBeyondTarget)
                                  .arg(t.name)
                                  .arg(n - kMaxRows)
                                  .arg(kMaxRows));
            if (notes && fields.size() > kMaxCols)
                notes->append(LoadErrorText(qor::str::kFieldsBeyondTarget)
                                  .arg(t.name)
                                  .arg(fields.size() - kMaxCols)
                                  .arg(kMaxCols));
        }
        if (cols == 0) {
            // Every field was left out (a code page no converter knows, types
            // not read): that is the reason, not a table without records.
            QStringList why;
            for (const KeptTable& t : tables) why += t.leftOut;
            if (!why.isEmpty()) throw JetError(why.join(u'\n'));
        }
        if (rows == 0 || cols == 0) throw JetError(LoadErrorText(qor::str::kFileHasNoRecords));
        // A number column shows as many decimals (up to 7) as its values
        // need: the report keeps a value at its cell's decimals, and names
        // the values of more, which come in rounded.
        QList<int> decimals(std::min(cols, kMaxCols), 0);
        qor::LossTally rounded;
        const auto decimalsOf = [](double number) {
            QString f = QString::number(number, 'f', 7);
            while (f.endsWith(u'0')) f.chop(1);
            const qsizetype dot = f.indexOf(u'.');
            return dot < 0 ? 0 : int(f.size() - dot - 1);
        };
        // A worksheet's column may hold texts above numbers: its numbers
        // stay numbers in cells of their own, unless another page holds a
        // text in the same cell (pages share one format); then they come
        // in as texts, and are named.
        QList<bool> mixed(decimals.size(), false);
        bool anyMixed = false;
        for (int k = 0; k < tables.size(); ++k) {
            const QList<QVariantList>& records = tables.at(k).rows;
            for (int r = 0; r < records.size() && r < kMaxRows; ++r) {
                const QVariantList& record = records.at(r);
                for (int j = 0; j < record.size() && j < decimals.size(); ++j) {
                    const QVariant& v = record.at(j);
                    if (!v.isValid() || v.isNull()) continue;
                    if (textColumn.value(j)) {
                        if (v.typeId() == QMetaType::Double) anyMixed = mixed[j] = true;
                        continue;
                    }
                    const double number = v.toDouble();
                    if (!qor::ReportHoldsDecimals(number))
                        rounded.add(qor::RoundedNumbersKind(), qor::CellPlace(k + 1, r + 1, j + 1));
                    if (decimals[j] == 7) continue;
                    decimals[j] = std::max(decimals[j], decimalsOf(number));
                }
            }
        }
        QHash<qint64, int> numberCells;  // (row, column) from 0 -> decimals; -1 a text there
        const auto cellKey = [](int r, int j) { return qint64(r) << 16 | j; };
        for (int k = 0; anyMixed && k < tables.size(); ++k) {
            const QList<QVariantList>& records = tables.at(k).rows;
            for (int r = 0; r < records.size() && r < kMaxRows; ++r) {
                const QVariantList& record = records.at(r);
                for (int j = 0; j < record.size() && j < mixed.size(); ++j) {
                    const QVariant& v = record.at(j);
                    if (!mixed.at(j) || !v.isValid() || v.isNull()) continue;
                    int& cell = numberCells[cellKey(r, j)];
                    if (v.typeId() != QMetaType::Double)
                        cell = -1;
                    else if (cell >= 0)
                        cell = std::max(cell, decimalsOf(v.toDouble()));
                }
            }
        }
        for (auto it = numberCells.begin(); it != numberCells.end();)
            it = it.value() < 0 ? numberCells.erase(it) : std::next(it);
        uint16_t r16 = uint16_t(std::min<qint64>(rows, kMaxRows));
        uint16_t c16 = uint16_t(std::min(cols, kMaxCols));
        if (report->IsFormatState() != 1 && report->EnterFormatState() != 0)
            throw JetError(LoadErrorText(qor::str::kCannotSetUpReportFormat));
        if (uint16_t s = report->AccessTableSize(1, &r16, &c16))
            throw JetError(LoadErrorText(qor::str::kCannotSetTableSize).arg(s));
        for (int c = 0; c < c16; ++c) {
            const CellArea a = CellArea::area(1, c + 1, r16, c + 1);
            if (!textColumn.value(c)) {
                int32_t dec = decimals.value(c);
                if (uint16_t s = report->AccessAreaFormat(1, qor::kFmtDecimals, &dec, &a))
                    throw JetError(LoadErrorText(qor::str::kCannotSetColumnDecimals)
                                       .arg(ColumnLetters(c + 1))
                                       .arg(s));
                continue;
            }
            int32_t type = kCellText;
            if (uint16_t s = report->AccessAreaFormat(1, 0, &type, &a))
                throw JetError(LoadErrorText(qor::str::kCannotMakeTextColumn)
                                   .arg(ColumnLetters(c + 1))
                                   .arg(s));
        }
        for (auto it = numberCells.cbegin(); it != numberCells.cend(); ++it) {
            const int r = int(it.key() >> 16), j = int(it.key() & 0xFFFF);
            if (r >= r16 || j >= c16) continue;
            const CellArea a = CellArea::cell(r + 1, j + 1);
            int32_t type = kCellNumber;
            int32_t dec = it.value();
            if (uint16_t s = report->AccessAreaFormat(1, 0, &type, &a))
                throw JetError(LoadErrorText(qor::str::kCannotMakeTextColumn)
                                   .arg(ColumnLetters(j + 1))
                                   .arg(s));
            report->AccessAreaFormat(1, qor::kFmtDecimals, &dec, &a);
        }
        if (uint16_t s = report->EnterDataState())
            throw JetError(LoadErrorText(qor::str::kCannotEnterDataState).arg(s));
        while (report->GetPageCount() < tables.size()) {
            if (uint16_t s = report->AppendRowColPage(1, 2))
                throw JetError(LoadErrorText(qor::str::kCannotAppendPage).arg(s));
        }
        int cutTexts = 0;
        QString firstCut;
        qor::LossTally asText;
        for (int k = 0; k < tables.size(); ++k) {
            const int page = k + 1;
            const QList<QVariantList>& records = tables.at(k).rows;
            for (int r = 1; r <= r16 && r <= records.size(); ++r) {
                const QVariantList& record = records.at(r - 1);
                for (int j = 0; j < record.size() && j < c16; ++j) {
                    const QVariant& v = record.at(j);
                    if (!v.isValid() || v.isNull()) continue;
                    CellValue cell;
                    if (textColumn.value(j) && numberCells.contains(cellKey(r - 1, j))) {
                        cell = CellValue::ofNumber(v.toDouble());
                        if (!qor::ReportHoldsDecimals(v.toDouble()))
                            rounded.add(qor::RoundedNumbersKind(), qor::CellPlace(page, r, j + 1));
                    } else if (textColumn.value(j)) {
                        QString t;
                        if (v.typeId() == QMetaType::Double)
                            asText.add(LoadErrorText(qor::str::kLossNumbersAsTexts), qor::CellPlace(page, r, j + 1));
                        if (v.typeId() == QMetaType::Double) t = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
                        else if (v.typeId() == QMetaType::QDate) t = v.toDate().toString(Qt::ISODate);
                        else if (v.typeId() == QMetaType::QDateTime) t = dateValueText(v.toDateTime());
                        else t = v.toString();
                        // A cell keeps a label of 255 characters: a longer
                        // one comes in cut, and is named.
                        if (t.size() > qor::kMaxLabelChars && cutTexts++ == 0)
                            firstCut = qor::CellPlace(page, r, j + 1);
                        cell = CellValue::ofText(LeftWholeChars(t, qor::kMaxCellTextChars));
                    } else {
                        cell = CellValue::ofNumber(v.toDouble());
                    }
                    if (uint16_t s = report->SetCellValue(cell, r, j + 1, page))
                        throw JetError(LoadErrorText(qor::str::kCellUnwritable)
                                           .arg(ColumnLetters(j + 1))
                                           .arg(r)
                                           .arg(page)
                                           .arg(s));
                }
            }
        }
        report->SetCurPage(1);
        rounded.appendTo(notes);
        asText.appendTo(notes);
        if (notes && cutTexts > 0)
            notes->append(LoadErrorText(qor::str::kTextsCut)
                              .arg(cutTexts)
                              .arg(qor::kMaxLabelChars)
                              .arg(firstCut));
        return 1;
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
}

}  // namespace

// The worksheets of a Lotus file, a page each, every cell at the row and
// column where it stands. Only the first row of the letters a report's own
// export writes above its records (A, B, C ...: the keyword fields may
// follow) is no row of the page; anything else in that row is named.
static int importLotusToReport(const QString& path, CReportHandle* report, QString* error, QStringList* notes) {
    QList<LotusSheet> sheets;
    try {
        sheets = readLotusSheets(path);
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
    QList<KeptTable> tables;
    QList<qor::WorkbookCellsLeftOut> formulas;
    QStringList namesRows;
    QStringList lostNames;     // sheet names a report has no place for
    qor::LossTally undecoded;  // texts whose bytes are no character
    for (const LotusSheet& s : sheets) {
        KeptTable& t = tables.emplace_back();
        t.name = s.name + u':';
        const int page = int(tables.size());
        if (sheets.size() > 1 || s.givenName != pageTableName(1, true))
            qor::NoteLostSheetName(page, s.givenName, &lostNames, pageTableName(page, false));
        const LotusTableShape shape = lotusTableShape(s);
        const int first = shape.first;
        if (first && std::any_of(shape.head.cbegin() + shape.letters, shape.head.cend(),
                                 [](const QString& h) { return !h.isEmpty(); }))
            namesRows << LoadErrorText(qor::str::kSheetFirstRowAsNames).arg(t.name, shape.head.join(u','));
        // The report shows no names: each column is its letter.
        for (int c = 0; c < shape.cols; ++c) {
            FieldInfo f = shape.fields.at(c);
            f.name = ColumnLetters(c + 1);
            t.fields.append(f);
        }
        t.records = std::max(0, shape.rows - first);
        t.rows = QList<QVariantList>(std::min<qint64>(t.records, kMaxRows),
                                     QVariantList(std::min(shape.cols, kMaxCols)));
        for (const auto& [pos, v] : s.cells) {
            const int r = pos.first - first;
            if (r < 0 || r >= kMaxRows || pos.second >= kMaxCols) continue;
            t.rows[r][pos.second] = v;
            if (s.undecoded.count(pos))
                undecoded.add(LoadErrorText(qor::str::kLossBytesNotInCodePage).arg(s.encoding),
                              qor::CellPlace(int(tables.size()), r + 1, pos.second + 1));
        }
        // A formula's cell takes the result the file kept, as a workbook's
        // does, and the formulas are named the same way.
        if (!s.formulas.empty()) {
            qor::WorkbookCellsLeftOut l;
            l.reason = qor::WorkbookCellsLeftOut::Formula;
            l.sheet = s.name;
            l.count = qint64(s.formulas.size());
            l.row = s.formulas.begin()->first + 1;
            l.col = s.formulas.begin()->second + 1;
            formulas.append(l);
        }
    }
    if (!fillReport(tables, report, error, notes)) return 0;
    if (notes) {
        *notes += namesRows;
        if (!lostNames.isEmpty()) *notes += qor::SheetNamesNotKeptMessage(lostNames);
        undecoded.appendTo(notes);
        if (!formulas.isEmpty()) *notes += qor::LeftOutCellsMessage(formulas).split(u'\n');
    }
    return 1;
}

int ImportDatabaseToReport(Database& db, CReportHandle* report, QString* error, QStringList* notes) {
    QList<KeptTable> tables;
    try {
        for (const TableDefInfo& t : db.tableDefs()) {
            if (!isUserTable(t.attributes)) continue;
            KeptTable& kept = tables.emplace_back();
            kept.name = t.name;
            kept.fields = db.fields(t.name);
            kept.records = db.recordCount(t.name);
            db.forEachRecord(t.name, [&kept](const QVariantList& row) { kept.rows.append(row); }, kMaxRows);
        }
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
    return fillReport(tables, report, error, notes);
}

int ImportDatabaseFileToReport(const QString& dbPath, CReportHandle* report, QString* error,
                               QStringList* notes) {
    auto db = Database::open(dbPath, QString(), false, true);
    return ImportDatabaseToReport(*db, report, error, notes);
}

int ImportDataFileToReport(const QString& path, CReportHandle* report, QString* error, QStringList* notes) {
    if (!report || path.isEmpty()) return 0;
    if (!DataFileChainReads(path)) {
        if (error) *error = notInstalled(path);
        return 0;
    }
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    try {
        if (isAccessPath(path)) return ImportDatabaseFileToReport(full, report, error, notes);
        if (isLotusPath(path)) return importLotusToReport(full, report, error, notes);
        // A text or dBASE file is read straight into the page, as far as
        // a page holds records; the rest is only counted.
        KeptTable table;
        table.name = QFileInfo(path).fileName();
        KeepFirstRecords keep(&table);
        try {
            table.records = readDataFileTable(full, keep);
        } catch (const JetError& e) {
            writeFailed(e, error);
            return 0;
        }
        if (!fillReport({table}, report, error, notes)) return 0;
        if (notes) notes->append(table.leftOut);
        if (notes && !table.namesLine.isEmpty())
            notes->append(
                LoadErrorText(qor::str::kFirstLineAsNames).arg(table.name, table.namesLine));
        return 1;
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
}

namespace {

int exportReportToDataFile(CReportHandle* report, const QString& path, const QString& full, int page,
                           QString* error, QStringList* notes) {
    // A data file is one table: the pages follow one another as records.
    auto pagesInOne = [&] {
        if (page == 0 && report->GetPageCount() > 1 && notes)
            notes->append(LoadErrorText(qor::str::kPagesAsRecords).arg(report->GetPageCount()));
    };
    if (dataFileKindFromPath(path) == DataFileKind::DBase) {
        pagesInOne();
        return exportToDBaseFile(report, full, page, error, notes);
    }
    // An Access file holds every page as a table of its own.
    if (isAccessPath(path)) return exportToAccessFile(report, full, page, error, notes);
    try {
        TemporaryDatabase temp;
        if (!exportToWorkingDatabase(report, temp.path(), page, error)) return 0;
        // So does a Lotus file, a worksheet each.
        if (isLotusPath(path)) return ConvertMdbToWk4File(temp.path(), full, error, notes);
        pagesInOne();
        return ConvertMdbToTextFile(temp.path(), full, error, notes);
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
}

}  // namespace

int ExportReportToDataFile(CReportHandle* report, const QString& path, int page, QString* error, QStringList* notes) {
    if (!report || path.isEmpty()) return 0;
    if (!DataFileChainWrites(path)) {
        if (error) *error = notInstalled(path);
        return 0;
    }
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    NumbersInTextFields mixed;
    if (notes && !walkReportPages(report, page, mixed, error)) return 0;
    if (!exportReportToDataFile(report, path, full, page, error, notes)) return 0;
    if (notes && !mixed.note().isEmpty()) notes->append(mixed.note());
    return 1;
}

int ExportReportToValuesWorkbook(CReportHandle* report, const QString& path, int page, QString* error,
                                 QStringList* notes) {
    if (!report || path.isEmpty()) return 0;
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    try {
        TemporaryDatabase temp;
        if (!exportToWorkingDatabase(report, temp.path(), page, error)) return 0;
        return ConvertMdbToXlsFile(temp.path(), full, error, notes);
    } catch (const JetError& e) {
        if (error) *error = e.message();
        return 0;
    }
}
