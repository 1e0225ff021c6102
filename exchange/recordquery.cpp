#include "exchange/recordquery.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlDatabase>

#include "engine/messages.h"
#include "engine/recordfill.h"
#include "engine/textutil.h"
#include "exchange/dbreaders.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/cqordb.h"
#include "reader/sqldialect.h"

namespace {

// The far corner of an open-ended area.
constexpr int kOpenEnd = 10000;

// The statement with its bracketed definition texts replaced: a table
// definition becomes the current table, a field definition is looked up in
// it. Each replacement is final and quoted the way the driver quotes
// names, so mixed-case and Chinese names reach the server as they are; a
// "[" without "]" or a text the dictionary does not know fails.
bool resolveDefinitions(const QSqlDriver* driver, qor::SqlDialectKind dialect,
                        const QString& statement, QString* out, QString* why) {
    std::unique_ptr<CQorDB> dict;
    QString currentTable;
    QString result;
    qsizetype at = 0;
    while (at < statement.size()) {
        const qsizetype open = NextDefinitionBracket(statement, at, dialect);
        if (open < 0) {
            result += statement.mid(at);
            break;
        }
        result += statement.mid(at, open - at);
        const qsizetype close = statement.indexOf(u']', open + 1);
        if (close < 0) {
            *why = LoadErrorText(qor::str::kUnclosedBracket);
            return false;
        }
        const QString name = statement.mid(open + 1, close - open - 1);
        if (!dict) dict = std::make_unique<CQorDB>();
        dict->QueryTableByDefinition(name);
        dict->Open();
        QString replacement;
        bool isTable = false;
        if (!dict->IsEOF()) {
            replacement = dict->m_strTableName;
            currentTable = replacement;
            isTable = true;
        } else {
            dict->QueryFieldByDefinition(currentTable, name);
            dict->Open();
            if (!dict->IsEOF()) replacement = dict->m_strFieldName;
        }
        dict->Close();
        if (replacement.isEmpty()) {
            *why = LoadErrorText(qor::str::kNotInDictionary).arg(name);
            return false;
        }
        // As INDBSQL reads its names: "schema.table" is a qualified name.
        result += qor::QuoteIdentifier(driver, replacement, isTable);
        at = close + 1;
    }
    *out = result;
    return true;
}

}  // namespace

qsizetype NextDefinitionBracket(const QString& statement, qsizetype from,
                                qor::SqlDialectKind dialect) {
    // Read as the server reads its quotes, so that a "[" inside a literal,
    // a quoted name or a dollar-quoted body (a cell's text among them) is
    // never taken for a definition.
    qor::SqlQuoteReader reader(qor::SqlReading::ForDialect(dialect));
    for (qsizetype i = std::max<qsizetype>(from, 0); i < statement.size();) {
        if (statement.at(i) == u'[' && reader.ReadsAsCode(u'[')) return i;
        i += reader.Read(statement, i);
    }
    return -1;
}

QString VariantToCellText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QString();
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Float:
    case QMetaType::Double: {
        QString t = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        // The engine reads numbers with their leading zero.
        if (t.startsWith(u'.')) t.prepend(u'0');
        else if (t.startsWith(QLatin1String("-."))) t.insert(1, u'0');
        return t;
    }
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return v.toDateTime().toString(Qt::ISODate);
    default:
        return v.toString();
    }
}

int BuildCellRangeXml(const QString& statement, const QString& area, int recordLimit,
                      const QString& direction, int page, QString* error,
                      const QList<qor::cmd::TextPiece>& pieces) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = LoadErrorText(qor::str::kCheckSqlStatement) + QStringLiteral("\n") + why;
        return 0;
    };
    if (error) error->clear();
    // The area, blanks removed.
    QString areaText;
    for (const QChar c : area)
        if (!c.isSpace()) areaText += c;
    RecordFillRequest req;
    req.direction = direction;
    req.page = page;
    if (areaText.isEmpty()) {
        req.c1 = req.r1 = 0;
        req.c2 = req.r2 = kOpenEnd;
        req.wholeTable = 1;
    } else {
        int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
        if (!ParseAreaRef(areaText, &c1, &r1, &c2, &r2))
            return fail(LoadErrorText(qor::str::kNotACellArea).arg(areaText));
        req.c1 = c1;
        req.r1 = r1;
        if (areaText.indexOf(u':') > 0) {
            req.c2 = c2;
            req.r2 = r2;
        } else {
            req.c2 = req.r2 = kOpenEnd;
        }
    }

    auto cells = std::make_shared<qor::RecordCellList>();
    try {
        CAdoConnection connection;
        connection.Open(CQorDB::LoginDbName());
        // Data (a cell's text) is bound, never part of the statement.
        qor::BoundStatement bound;
        QString why;
        if (!qor::BindHostText(statement, pieces, connection.Dialect(), qor::HostText::Statement,
                               &bound, &why))
            return fail(why);
        QString sql;
        if (!resolveDefinitions(connection.Database().driver(), connection.Dialect().kind, bound.sql,
                                &sql, &why))
            return fail(why);
        // One statement only: a second one could end the read-only
        // transaction it runs in, a comment cut off the record limit.
        if (!qor::IsSingleStatement(sql))
            return fail(LoadErrorText(qor::str::kOneStatementOnly).arg(statement));
        const bool down = direction == QLatin1String("1");
        // Fields across (down) the area, records the other way.
        int& fieldLast = down ? req.c2 : req.r2;
        const int fieldFirst = down ? req.c1 : req.r1;
        int& recordLast = down ? req.r2 : req.c2;
        const int recordFirst = down ? req.r1 : req.c1;
        const int limit = std::max(0, std::min(recordLimit, recordLast - recordFirst + 1));
        // The server sends no more records than the area takes. The
        // author's statement stays whole inside (its own order, limit or
        // "with" included); the number is bound.
        // ODBC's servers may refuse an ordered statement inside another,
        // so there the statement runs as written and the loop below limits.
        QString limited = sql;
        QVariantList values = bound.values;
        if (connection.Dialect().kind != qor::SqlDialectKind::Odbc) {
            QString inner = sql.trimmed();
            while (inner.endsWith(u';')) inner = inner.chopped(1).trimmed();
            limited = connection.Dialect().LimitRecords(
                QStringLiteral("select * from (%1\n) q").arg(inner), limit, &values);
        }
        qor::HostReadOnlyScope readOnly(&connection);
        CAdoRecordset rs(&connection);
        rs.SetQuery(limited, values);
        connection.ReadOnlyTransaction([&] { rs.Open(); });
        int fields = rs.GetFieldCount();
        if (fields > fieldLast - fieldFirst + 1) fields = fieldLast - fieldFirst + 1;
        else fieldLast = fieldFirst + std::max(fields, 1) - 1;
        int taken = 0;
        for (int i = 0; i < fields; ++i) {
            const int kind = CAdoRecordset::IsNumberType(rs.GetFieldType(i)) ? 1 : 2;
            taken = 0;
            for (rs.MoveFirst(); !rs.IsEOF() && taken < limit; rs.MoveNext(), ++taken)
                cells->Append(kind, VariantToCellText(rs.GetFieldValue(i)));
        }
        // No record still fills one line: the area never turns inside out.
        recordLast = recordFirst + std::max(taken, 1) - 1;
    } catch (const CAdoException& e) {
        return fail(e.GetErrorMessage());
    }
    req.cells = std::move(cells);
    qor::RecordFillQueue::instance().Append(std::move(req));
    return 1;
}

namespace qor {

qor::cmd::Value GetRecordForFormula(const qor::cmd::RecordRequest& r) {
    QString error;
    if (!BuildCellRangeXml(r.sql, r.area, r.limit, QString::number(r.direction), r.page, &error,
                           r.sqlPieces))
        return qor::cmd::Value::error(QStringLiteral("GETRECORD: ") + error);
    return qor::cmd::Value::number(0);
}

}  // namespace qor
