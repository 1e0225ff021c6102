#pragma once
// Rounding of the numbers a cell holds and hands out.

#include <cstdint>

namespace qor {

// RoundedToDecimals (engine/textutil.h) with the same result; it goes
// through decimal text only for values near a half, so reading a whole
// page of numbers stays fast.
double RoundedForRead(double v, int decimals);

// v as a cell of this format word holds it: to the decimals it shows (a
// number cell) or unchanged (any other cell, or a value that is not finite).
double HeldToShownDecimals(double v, uint64_t formatWord);

}  // namespace qor
