#pragma once
// Compile-time check of a cell formula against the report it is stored in:
// syntax, names, references and argument counts. A formula that fails is
// refused with FormulaInvalid and nothing is stored.

#include <QStringView>
#include <functional>
#include <memory>

#include "cmdlang/parseerror.h"
#include "cmdlang/syntaxtree.h"
#include "engine/status.h"

namespace qor::cmd {

struct FormulaCheckContext {
    int rows = kMaxRow;  // table size: references beyond it are refused
    int cols = kMaxColumn - 1;
    int varKind = 0;              // 0 none, 1 row area (V_ + letters), 2 column area (V_ + number)
    bool allowVariables = false;  // LET lines may read user variables
    std::function<bool(QStringView)> isKeyword;          // the report's keyword names
    std::function<bool(QStringView)> isServiceFunction;  // application-service lookup
};

// Status::Ok, or Status::FormulaInvalid with *error saying where and why.
// On success *compiled (when given) receives the tree.
Status CheckFormula(QStringView text, const FormulaCheckContext& context,
                    ParseError* error = nullptr, std::unique_ptr<Formula>* compiled = nullptr);

}  // namespace qor::cmd
