#pragma once
// Rounding of the numbers a cell read hands out.

namespace qor {

// RoundedToDecimals (engine/textutil.h) with the same result; it goes
// through decimal text only for values near a half, so reading a whole
// page of numbers stays fast.
double RoundedForRead(double v, int decimals);

}  // namespace qor
