#pragma once
// What a user is told about formula functions: the argument form and the
// one-line description of each function (the function wizard lists them),
// the function of the command language nearest to a name it does not have,
// and why a formula was refused, in the user's language.

#include <QString>
#include <QStringList>
#include <optional>

namespace qor {

struct FunctionText {
    QString name;         // as a formula calls it, upper case
    QString form;         // the call with its arguments, "PTOTAL(<区域>[,<区域筛选条件>])"
    QString description;  // one line
    QStringList aliases;  // names other programs use for it, upper case
};

// The texts of a function of the command language; nothing for a name the
// table does not hold. The name is matched in any case.
std::optional<FunctionText> FunctionTextOf(const QString& name);

// The function of the command language a user most likely meant by a name
// it does not have: one known under that name elsewhere (SUM: PTOTAL), else
// the one spelled nearest (at most two letters apart). Empty when none is
// near; the name itself when the language has it.
QString NearestFunction(const QString& name);

// The message for a formula the report refused: the failure, where in the
// text (position, an offset; -1 unknown) and why, read from the checker's
// reason; a function the language lacks names the nearest one it offers.
QString FormulaRefusalMessage(const QString& reason, int position);

}  // namespace qor
