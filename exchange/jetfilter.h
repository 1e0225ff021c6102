#pragma once
// Record filters and conditions as users write them (the WHERE text of a
// data-file query: [Qty] > 5 AND Name Like 'A*') made into SQLite.
//
// The text is read token by token; every token becomes a fixed piece of
// SQL, an identifier the caller maps, or a "?" whose value is bound. No
// part of the user's text is ever pasted into the statement, and a token
// the translator does not know is an error that names it.

#include <QString>
#include <QVariantList>
#include <functional>

namespace qor::jet {

struct TranslatedFilter {
    QString sql;          // an SQLite expression with "?" marks
    QVariantList binds;   // one value per "?", in order
};

// Maps a field name (brackets removed) to the SQL that stands for it;
// throws JetError for a field that does not exist.
using FilterIdentifierMap = std::function<QString(const QString& name)>;

// Translates a filter text; throws JetError naming the offending token.
//  - [bracketed] and bare identifiers go through mapIdentifier;
//  - '...' and "..." texts (quotes doubled inside), numbers and #dates#
//    are bound as values;
//  - after LIKE, a text pattern's * and ? become % and _ (the SQL wildcards
//    in it are taken literally);
//  - & joins texts; True/False are 1/0; AND OR NOT IS NULL BETWEEN IN LIKE
//    MOD, comparisons, + - * / and parentheses keep their meaning.
TranslatedFilter translateFilter(const QString& filter, const FilterIdentifierMap& mapIdentifier);

}  // namespace qor::jet
