#pragma once
// Reading one value: the formula functions INDB and INDBSQL take one field
// of one record of a data file (dBASE, text, Access, Excel, Lotus) or of
// the host accounting database.
//
// Each reader returns 1 with the value in *value (a null field stays an
// invalid QVariant); 0 when there is no value. A reader that failed (file,
// table, field or condition unusable) also returns 0 and says why in
// *error; "no value" leaves *error empty. Record numbers count from 1.

#include <QString>
#include <QVariant>

#include "cmdlang/evaluator.h"
#include "cmdlang/value.h"

class CAdoConnection;

namespace qor {
struct SqlDialect;
}

// The text and dBASE readers take the file's own table, whatever the
// caller's table argument says.
int ReadDbfFieldValue(QVariant* value, const QString& path, const QString& field,
                      const QString& condition, int record, QString* error = nullptr);
int ReadTextFieldValue(QVariant* value, const QString& path, const QString& field,
                       const QString& condition, int record, QString* error = nullptr);
int ReadMdbFieldValue(QVariant* value, const QString& path, const QString& table,
                      const QString& field, const QString& condition, int record,
                      QString* error = nullptr);
int ReadXlsFieldValue(QVariant* value, const QString& path, const QString& table,
                      const QString& field, const QString& condition, int record,
                      QString* error = nullptr);
int ReadWk4FieldValue(QVariant* value, const QString& path, const QString& table,
                      const QString& field, const QString& condition, int record,
                      QString* error = nullptr);

// The host accounting database of the account set the name holds
// ("001xxx20030101": set 001, year 2003). Table and field may be given as
// "[definition text]"; the condition is the formula author's SQL, its
// "[definition texts]" replaced by field names, its data bound as
// qor::BindHostText binds it (pieces: the condition by where its parts
// came from; empty: all of it is the author's). A condition that is more than one
// statement or holds a comment is refused. A query that ran and found no
// record gives 1 and a null value; a record number past the last record
// reads the last one. The query runs in a read-only transaction on a
// connection that refuses writes.
int ReadDatabaseFieldValue(QVariant* value, const QString& name, const QString& table,
                           const QString& field, const QString& condition, int record,
                           QString* error = nullptr,
                           const QList<qor::cmd::TextPiece>& pieces = {});

namespace qor {

// The readDatabase hook of the command language: INDB by the extension of
// the file name as written (without regard to case), INDBSQL and names
// without a data-file extension to the host database. A failure is an
// error value with its reason; no value is an empty text.
qor::cmd::Value ReadDatabaseForFormula(const qor::cmd::DatabaseRequest& request);

// A formula's condition or statement for a host database, made of the
// parts its author wrote and of data (qor::cmd::TextPiece: cells,
// keywords, variables filled from them, answers typed at a prompt...).
// Data is never SQL: each data part is one value, bound to a "?" mark of
// out->sql (its text in out->values) or, in a condition, written as the
// dialect's exact literal (SqlDialect::TextLiteral) where it has one, so
// that the query needs no prepared statement. A data part between the
// author's quotes is that literal: `memo = "` + B1 + `"` becomes
// `memo = ?`, and `memo like "%` + B1 + `%"` joins the author's parts and
// the value with the dialect's concatenation. Outside quotes a data part
// is one value.
// Condition (INDBSQL's): the author's " quotes a text as ' does.
// Statement (GETRECORD's, prepared anyway for its record count): " quotes
// a name, and data is always bound.
// "[definition texts]" are left for the caller to resolve. Without pieces
// the whole text counts as the author's. Refused, with the reason in
// *error: a data part where a name stands ("[...]" or a quoted name), and
// a non-blank text of which the author wrote nothing.
enum class HostText { Condition, Statement };
struct BoundStatement {
    QString sql;
    QVariantList values;
};
bool BindHostText(const QString& text, const QList<qor::cmd::TextPiece>& pieces,
                  const SqlDialect& dialect, HostText kind, BoundStatement* out,
                  QString* error);

// Host queries only read: while one lives, the connection refuses writes
// where its driver can (SQLite, PostgreSQL).
class HostReadOnlyScope {
public:
    explicit HostReadOnlyScope(CAdoConnection* connection);
    ~HostReadOnlyScope();
    HostReadOnlyScope(const HostReadOnlyScope&) = delete;
    HostReadOnlyScope& operator=(const HostReadOnlyScope&) = delete;

private:
    CAdoConnection* m_connection;
    bool m_wasReadOnly;
};

// A value of a host query as a number of a formula: dates as their serial
// day numbers, booleans as 1 and 0.
qor::cmd::Value VariantToFormulaValue(const QVariant& v);

}  // namespace qor
