#pragma once
// The value axis of a chart: its range, rounded to a readable maximum and
// minimum, the step between grid lines, and how the labels and the unit
// caption are written.

#include <QString>
#include <cstdint>

#include "charts/chart_data.h"

namespace qor::charts {

struct ValueScale {
    double max = 10;
    double min = 0;
    double step = 0;  // 0: nothing to draw (no values, or all of them 0)
    bool operator==(const ValueScale&) const = default;
};

// The decimal exponent of a positive number as its fixed six-decimal form
// shows it: the digits before the point less one, or, below 1, minus the
// zeros after the point and one more (0 when all six decimals are 0).
int DecimalExponent(double x);

// Rounds a positive value up to the next half or whole unit of its
// leading digit (93 -> 95, 97 -> 100).
double RoundUpToHalfUnit(double x);

// The scale of the values; stacked bars use the sums of the positive and of
// the negative values of each category.
ValueScale ComputeValueScale(uint32_t type, const SeriesValues& values);

// How many steps lie between two value labels (at least 1).
int LabelIncrement(const ValueScale& scale);

// The step as the unit caption writes it after "单位：": "10", "0.01",
// "1+e12", "1-e15".
QString StepText(double step);

}  // namespace qor::charts
