// The Excel driver: a workbook (.xls or .xlsx, by content) read through
// the workbook engine as tables, one per worksheet named "<sheet>$" and one
// per name the workbook defines for a block of cells (named as it is, or
// "<sheet>$<name>" for a name of one sheet only), and a working database's
// tables written as a values-only workbook.

#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

#include "exchange/jetdriver.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor::jet {
namespace {

// The rows a worksheet of a binary workbook holds, less the header row.
constexpr qint64 kMaxSheetRecords = 65535;
constexpr int kMaxSheetFields = 256;

QString numberText(double d) { return QString::number(d, 'g', QLocale::FloatingPointShortest); }

qint64 g_areaLimit = 4000000;

QString sheetOf(const QString& table) { return table.endsWith(u'$') ? table.chopped(1) : table; }

class ExcelDriver : public Driver {
public:
    ExcelDriver(QString path, std::unique_ptr<qor::XlWorkbook> book)
        : m_path(std::move(path)), m_book(std::move(book)) {}

    QStringList tableNames() override {
        QStringList names;
        for (const auto& s : m_book->sheets()) names.append(s->name() + QLatin1Char('$'));
        for (const qor::XlDefinedName& n : m_book->definedNames())
            if (!n.hidden) names.append(nameTable(n));
        return names;
    }

    bool loadTable(const QString& table, LoadedTable* out) override { return load(table, out, nullptr); }

    // With the texts whose bytes did not read named, field by field.
    bool streamTable(const QString& table, RecordSink& sink) override {
        LoadedTable loaded;
        FieldLosses losses;
        if (!load(table, &loaded, &losses)) return false;
        sink.begin(loaded.fields);
        for (const QVariantList& row : std::as_const(loaded.rows))
            if (!sink.record(row)) break;
        losses.tell(sink, QFileInfo(m_path).fileName());
        return true;
    }

private:
    bool load(const QString& table, LoadedTable* out, FieldLosses* losses) {
        for (const qor::XlDefinedName& n : m_book->definedNames()) {
            if (n.hidden || nameTable(n).compare(table, Qt::CaseInsensitive) != 0) continue;
            const qor::XlWorksheet* sheet = m_book->sheets().at(size_t(n.sheet - 1)).get();
            loadBlock(*sheet, n.area, n.name, out, losses);
            return true;
        }
        const qor::XlWorksheet* sheet = nullptr;
        for (const auto& s : m_book->sheets())
            if (s->name().compare(sheetOf(table), Qt::CaseInsensitive) == 0) sheet = s.get();
        if (!sheet) return false;
        if (sheet->cells().empty()) return true;  // no field, no record
        loadBlock(*sheet, sheet->usedArea(), sheet->name(), out, losses);
        return true;
    }

    // A name of one sheet only is told apart by its sheet.
    QString nameTable(const qor::XlDefinedName& n) const {
        if (n.scope < 1 || n.scope > int(m_book->sheets().size())) return n.name;
        return m_book->sheets().at(size_t(n.scope - 1))->name() + QLatin1Char('$') + n.name;
    }

    // A block of a sheet as a table: its first row the field names.
    static void loadBlock(const qor::XlWorksheet& sheet, const qor::XlArea& used, const QString& what,
                          LoadedTable* out, FieldLosses* losses) {
        const int cols = used.c2 - used.c1 + 1;
        CheckWorksheetArea(what,
                           ColumnLetters(used.c1) + QString::number(used.r1) + u':' +
                               ColumnLetters(used.c2) + QString::number(used.r2),
                           used.r2 - used.r1 + 1, cols);
        for (int c = 0; c < cols; ++c) {
            const qor::XlCell* head = sheet.findCell(used.r1, used.c1 + c);
            FieldInfo f;
            if (head && head->kind == qor::XlCell::Text)
                f.name = head->text.trimmed();
            else if (head && head->kind == qor::XlCell::Number)
                f.name = numberText(head->number);
            if (f.name.isEmpty()) f.name = QStringLiteral("F%1").arg(c + 1);
            // A column is a number column when every value below the names
            // is a number.
            bool numbers = true;
            for (int r = used.r1 + 1; r <= used.r2 && numbers; ++r) {
                const qor::XlCell* v = sheet.findCell(r, used.c1 + c);
                if (v && v->kind == qor::XlCell::Text) numbers = false;
            }
            f.type = numbers ? kDouble : kText;
            f.size = numbers ? 8 : 255;
            out->fields.append(f);
        }
        for (int r = used.r1 + 1; r <= used.r2; ++r) {
            QVariantList row;
            for (int c = 0; c < cols; ++c) {
                const qor::XlCell* v = sheet.findCell(r, used.c1 + c);
                if (!v || v->kind == qor::XlCell::Empty)
                    row.append(QVariant());
                else if (v->kind == qor::XlCell::Text)
                    row.append(v->text);
                else if (out->fields.at(c).type == kText)
                    row.append(numberText(v->number));
                else
                    row.append(v->number);
            }
            out->rows.append(row);
        }
        if (!losses) return;
        for (const auto& [r, c] : sheet.undecoded().cells)
            if (r > used.r1 && r <= used.r2 && c >= used.c1 && c <= used.c2)
                losses->add(out->fields.at(c - used.c1).name, sheet.undecoded().kind, r - used.r1);
    }

    QString m_path;
    std::unique_ptr<qor::XlWorkbook> m_book;
};

// A worksheet name for a table: at most 31 characters, none of : \ / ? *
// [ ], unique without regard to case.
QString sheetNameFor(const QString& table, const QStringList& taken) {
    QString base = table;
    for (QChar bad : {u':', u'\\', u'/', u'?', u'*', u'[', u']'}) base.replace(bad, u'_');
    base = base.left(31);
    if (base.isEmpty()) base = QStringLiteral("Sheet");
    QString name = base;
    for (int k = 2; taken.contains(name, Qt::CaseInsensitive); ++k) {
        const QString tail = QStringLiteral("(%1)").arg(k);
        name = base.left(31 - int(tail.size())) + tail;
    }
    return name;
}

}  // namespace

qint64 SetWorksheetAreaLimit(qint64 values) {
    const qint64 old = g_areaLimit;
    g_areaLimit = values;
    return old;
}

void CheckWorksheetArea(const QString& sheet, const QString& block, qint64 rows, qint64 cols) {
    if (rows * cols <= g_areaLimit) return;
    throw JetError(LoadErrorText(str::kSheetBlockTooLarge)
                       .arg(sheet, block)
                       .arg(rows)
                       .arg(cols)
                       .arg(rows * cols)
                       .arg(g_areaLimit));
}

std::unique_ptr<Driver> makeExcelDriver(const QString& path) {
    try {
        return std::make_unique<ExcelDriver>(path, qor::ReadWorkbookFile(path));
    } catch (const qor::XlError& e) {
        throw JetError(LoadErrorText(str::kCannotOpenWithReason).arg(path, e.description));
    }
}

void writeValuesWorkbook(const QString& path, const QList<NamedTable>& tables, QStringList* notes) {
    if (tables.isEmpty()) throw JetError(LoadErrorText(str::kNothingToWrite));
    std::vector<QString> names;
    QStringList taken;
    for (const NamedTable& t : tables) {
        const QString name = sheetNameFor(t.name, taken);
        if (name != t.name && notes)
            notes->append(LoadErrorText(str::kTableWrittenAsSheet).arg(t.name, name));
        taken.append(name);
        names.push_back(name);
    }
    try {
        std::unique_ptr<qor::XlStreamWriter> writer = qor::OpenWorkbookWriter(path, names, 0);
        for (int k = 0; k < tables.size(); ++k) {
            const NamedTable& t = tables.at(k);
            qor::XlWorksheet sheet(names[size_t(k)]);
            const int cols = std::min(int(t.table.fields.size()), kMaxSheetFields);
            if (notes && t.table.fields.size() > kMaxSheetFields)
                notes->append(
                    QStringLiteral(
                        "table \"%1\": %2 fields beyond the worksheet's %3 columns left out")
                        .arg(t.name)
                        .arg(t.table.fields.size() - kMaxSheetFields)
                        .arg(kMaxSheetFields));
            for (int c = 0; c < cols; ++c) {
                qor::XlCell& head = sheet.cell(1, c + 1);
                head.kind = qor::XlCell::Text;
                // A worksheet's first row names the fields when it is read.
                head.text = t.table.fields.at(c).name.isEmpty() ? QStringLiteral("F%1").arg(c + 1)
                                                                : t.table.fields.at(c).name;
            }
            const qint64 records = std::min<qint64>(t.table.rows.size(), kMaxSheetRecords);
            if (notes && t.table.rows.size() > kMaxSheetRecords)
                notes->append(LoadErrorText(str::kRecordsBeyondTarget)
                                  .arg(t.name)
                                  .arg(t.table.rows.size() - kMaxSheetRecords)
                                  .arg(kMaxSheetRecords));
            for (qint64 r = 0; r < records; ++r) {
                const QVariantList& row = t.table.rows.at(r);
                for (int c = 0; c < cols; ++c) {
                    const QVariant v = row.value(c);
                    if (!v.isValid() || v.isNull()) continue;
                    qor::XlCell& cell = sheet.cell(int(r) + 2, c + 1);
                    const int type = t.table.fields.at(c).type;
                    bool ok = false;
                    const double d = v.toDouble(&ok);
                    // A text field holds the numbers of its column too (a
                    // column under a label is a text field): a value stored
                    // as a number stays a number.
                    const bool stored = v.typeId() == QMetaType::Double ||
                                        v.typeId() == QMetaType::LongLong ||
                                        v.typeId() == QMetaType::Int;
                    if (((type >= kBoolean && type <= kDouble) || stored) && ok && std::isfinite(d)) {
                        cell.kind = qor::XlCell::Number;
                        cell.number = d;
                    } else {
                        cell.kind = qor::XlCell::Text;
                        cell.text = v.typeId() == QMetaType::QDate
                                        ? v.toDate().toString(Qt::ISODate)
                                        : v.toString();
                    }
                }
            }
            writer->writeSheet(k, sheet);
        }
        writer->commit();
    } catch (const qor::XlError& e) {
        throw JetError(LoadErrorText(str::kCannotWriteWorkbook).arg(path, e.description));
    }
}

}  // namespace qor::jet
