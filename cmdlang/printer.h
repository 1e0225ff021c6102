#pragma once
// Canonical text of syntax trees: upper-case words and references, no
// blanks except around words, parentheses only where precedence needs
// them. Parsing the text again gives the same tree.

#include <QString>

#include "cmdlang/syntaxtree.h"

namespace qor::cmd {

QString PrintExpression(const Node& node);
// Clauses are written as the formula dialog writes them (" For ", " Relation
// k with "path"->k2"), so a printed formula still edits there.
QString PrintFormula(const Formula& formula);
QString PrintCommand(const Command& command);
// "A1", "IV9999"
QString PrintCell(CellPos cell);
// "V_B", "V_B3", "V_2"
QString PrintVarName(const VarRef& var);

}  // namespace qor::cmd
