#pragma once
// The number a value stands for where arithmetic meets it.

#include "cmdlang/value.h"

namespace qor::cmd {

// A number as it is, an empty or blank value as 0, a text by the rule a
// number cell reads texts with ("12,345.60" is 12345.6). False for any
// other text: "abc" is no 0 and "12x" no 12.
bool NumberForArithmetic(const Value& v, double* out);

}  // namespace qor::cmd
