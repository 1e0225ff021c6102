#pragma once
// Statements run with plain Qt, apart from the database code under test, on
// the database a connection text names.

#include <QString>
#include <QStringList>

namespace qordbtest {

// Runs the statements in order on a connection of its own; empty when all
// of them worked, else the failing statement and the database's error.
QString RunPlain(const QString& text, const QStringList& statements);

}  // namespace qordbtest
