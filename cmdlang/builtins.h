#pragma once
// The formula functions' implementations, one file per family
// (builtins_*.cpp); the evaluator finds them by name.

#include <QString>

#include "cmdlang/evaluator.h"
#include "cmdlang/functions.h"

namespace qor::cmd {

// Arguments are reached through the evaluator, so that IFF and the
// statistics decide what to evaluate and when.
using BuiltinFn = Value (*)(Evaluator& ev, const Node& call, const FunctionInfo& info);

struct Builtin {
    const FunctionInfo* info = nullptr;
    BuiltinFn fn = nullptr;
};

// Null for a name that is not built in (upper case, as the parser keeps
// function names).
const Builtin* FindBuiltin(const QString& upperName);

// ---- families (each file lists its functions by name)
struct BuiltinName {
    const char* name;
    BuiltinFn fn;
};
// Each returns its table and sets *count.
const BuiltinName* StatisticBuiltins(int* count);
const BuiltinName* MathsBuiltins(int* count);
const BuiltinName* TextBuiltins(int* count);
const BuiltinName* DataBuiltins(int* count);

// Helpers shared by the families.
// The argument as a number; an error or area argument comes back in *bad.
bool NumberArgument(Evaluator& ev, const Node& call, size_t i, double* out, Value* bad);
bool TextArgument(Evaluator& ev, const Node& call, size_t i, QString* out, Value* bad);
// The argument as a text value keeping where its parts came from (a number
// becomes data, a left-out argument an empty text): for functions whose
// answer is made of their argument's characters.
bool MarkedTextArgument(Evaluator& ev, const Node& call, size_t i, Value* out, Value* bad);
// A whole number in [min, max]; an error naming the function otherwise.
bool WholeArgument(Evaluator& ev, const Node& call, size_t i, int min, int max, int* out,
                   Value* bad, int errorCode = 0);

}  // namespace qor::cmd
