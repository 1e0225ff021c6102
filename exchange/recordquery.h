#pragma once
// GETRECORD's working part: a query on the host system's login database
// whose values wait in the record-fill queue until the report's next
// recalculation writes them into an area of a page.

#include <QString>
#include <QVariant>

#include "cmdlang/evaluator.h"
#include "cmdlang/value.h"
#include "reader/sqldialect.h"

// Runs statement (its "[definition texts]" replaced by the dictionary's
// table and field names, left to right, once each) and queues its values
// for the area (empty: the whole table; one cell: from there on) of page,
// records down the rows for direction "1", across the columns otherwise,
// at most recordLimit of them. 1 when a request was queued; 0 and the
// reason (after message 62061's text) in *error, with nothing queued.
// pieces: the statement by where its parts came from (a formula's); its
// data is bound as qor::BindHostText binds it. Empty: all of it is the
// author's (the SQL dialogs' statements).
int BuildCellRangeXml(const QString& statement, const QString& area, int recordLimit,
                      const QString& direction, int page, QString* error = nullptr,
                      const QList<qor::cmd::TextPiece>& pieces = {});

// A value as its cell text: null empty, booleans "1"/"0", numbers in the
// shortest C-locale form that reads back the same (".5" as "0.5"), texts
// unchanged, dates in ISO form.
QString VariantToCellText(const QVariant& value);

// Where the next bracketed definition text of a statement begins: the
// first "[" at or after from that the dialect's servers would read as
// code (not inside a literal, a quoted name or a dollar-quoted body), -1
// when there is none. from must not be inside a quoted text.
qsizetype NextDefinitionBracket(const QString& statement, qsizetype from,
                                qor::SqlDialectKind dialect);

namespace qor {

// The getRecord hook of the command language: 0, or an error value with
// message 62061 and the reason.
qor::cmd::Value GetRecordForFormula(const qor::cmd::RecordRequest& request);

}  // namespace qor
