#include "engine/cells_round.h"

#include <algorithm>
#include <cmath>

#include "engine/cellformat.h"
#include "engine/celltypes.h"
#include "engine/textutil.h"

namespace qor {

double RoundedForRead(double v, int decimals) {
    static constexpr double kPow10[8] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7};
    const int n = std::clamp(decimals, 0, 7);
    if (!std::isfinite(v)) return v;
    const double t = std::fabs(v * kPow10[n]);
    // The decimal rounding judges the half on at most 15 significant digits
    // of v; that cannot move a value of t further than t * 1e-14, so when
    // t lies further than that from a half the answer is plain.
    const double fromHalf = std::fabs(t - std::floor(t) - 0.5);
    if (!(fromHalf > t * 1e-14)) return RoundedToDecimals(v, n);
    const double k = std::floor(t + 0.5);
    return k == 0 ? 0.0 : std::copysign(k / kPow10[n], v);
}

double HeldToShownDecimals(double v, uint64_t word) {
    const int decimals = cellShownDecimals(word);
    return decimals < 0 ? v : RoundedForRead(v, decimals);
}

}  // namespace qor
