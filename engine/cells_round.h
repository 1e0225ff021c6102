#pragma once
// Rounding of the numbers a cell holds and hands out.

#include <cstdint>

namespace qor {

// RoundedToDecimals (engine/textutil.h) with the same result; it goes
// through decimal text only for values near a half, so reading a whole
// page of numbers stays fast.
double RoundedForRead(double v, int decimals);

// The decimals of its value a cell of this format word shows: a percent
// cell shows its value times 100, so two more of the value's own. -1 for a
// cell that holds no number (text, other text, label).
int ShownDecimals(uint64_t formatWord);

// v as a cell of this format word holds it: to the decimals it shows (a
// number cell) or unchanged (any other cell, or a value that is not finite).
double HeldToShownDecimals(double v, uint64_t formatWord);

}  // namespace qor
