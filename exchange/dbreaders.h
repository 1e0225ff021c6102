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
// "[definition texts]" replaced by field names, its quotes read as
// qor::HostCondition reads them (parts: the condition's pieces, empty when
// it is one piece of the formula). A condition that is more than one
// statement or holds a comment is refused. A query that ran and found no
// record gives 1 and a null value; a record number past the last record
// reads the last one. The query runs in a read-only transaction on a
// connection that refuses writes.
int ReadDatabaseFieldValue(QVariant* value, const QString& name, const QString& table,
                           const QString& field, const QString& condition, int record,
                           QString* error = nullptr,
                           const QList<qor::cmd::ConditionPart>& parts = {});

namespace qor {

// The readDatabase hook of the command language: INDB by the extension of
// the file name as written (without regard to case), INDBSQL and names
// without a data-file extension to the host database. A failure is an
// error value with its reason; no value is an empty text.
qor::cmd::Value ReadDatabaseForFormula(const qor::cmd::DatabaseRequest& request);

// A host condition with its quotes as the server reads them. The formula's
// own texts (written pieces) may quote with " or ': both become '. A value
// that lands between quotes keeps its quotes and has each ' doubled (each "
// inside a "..." name), so it can never end the literal: read back it is
// its text. A value outside quotes is the author's SQL and stays as it is.
// "[definition texts]" outside quotes are left for the caller to resolve.
// Without parts the whole condition counts as written.
QString HostCondition(const QString& condition, const QList<qor::cmd::ConditionPart>& parts);

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
