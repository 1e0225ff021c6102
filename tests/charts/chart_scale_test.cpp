// The value axis: exponents, rounding of the range, the step, the label
// increment and the unit caption.
#include "charts/chart_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qor::charts;

namespace {

SeriesValues oneSeries(std::vector<double> values, int series = 1) {
    SeriesValues v;
    v.pages = 1;
    v.series = series;
    v.categories = int(values.size()) / series;
    v.values = std::move(values);
    return v;
}

}  // namespace

TEST(ChartScale, DecimalExponentFollowsTheFixedForm) {
    EXPECT_EQ(DecimalExponent(93), 1);
    EXPECT_EQ(DecimalExponent(100), 2);
    EXPECT_EQ(DecimalExponent(5), 0);
    EXPECT_EQ(DecimalExponent(0.5), -1);
    EXPECT_EQ(DecimalExponent(0.003), -3);
    // Six decimals show nothing: exponent 0.
    EXPECT_EQ(DecimalExponent(1e-9), 0);
    // Rounded to six decimals 0.9999999 shows as 1.000000.
    EXPECT_EQ(DecimalExponent(0.9999999), 0);
    EXPECT_EQ(DecimalExponent(1e300), 300);
    EXPECT_EQ(DecimalExponent(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ChartScale, RangeRoundsToHalfUnitsAndGivesTheStep) {
    EXPECT_EQ(ComputeValueScale(kPlainBar, oneSeries({10, 93, 4})), (ValueScale{95, 0, 1}));
    EXPECT_EQ(ComputeValueScale(kPlainBar, oneSeries({97})), (ValueScale{100, 0, 10}));
    // The short side gets a tenth of the long one.
    EXPECT_EQ(ComputeValueScale(kPlainBar, oneSeries({-50, 3})), (ValueScale{5, -50, 1}));
    const ValueScale neg = ComputeValueScale(kPlainBar, oneSeries({-7, -3}));
    EXPECT_EQ(neg.min, -7);
    EXPECT_EQ(neg.max, 0);  // no positive side to balance
    EXPECT_DOUBLE_EQ(neg.step, 0.1);
    const ValueScale small = ComputeValueScale(kPlainLine, oneSeries({0.23, 0.1}));
    EXPECT_DOUBLE_EQ(small.max, 0.25);
    EXPECT_DOUBLE_EQ(small.step, 0.01);
}

TEST(ChartScale, NothingToScaleGivesStepZero) {
    EXPECT_EQ(ComputeValueScale(kPlainBar, oneSeries({0, 0, 0})), (ValueScale{10, 0, 0}));
    EXPECT_EQ(ComputeValueScale(kPlainBar, SeriesValues{}), (ValueScale{10, 0, 0}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ComputeValueScale(kPlainBar, oneSeries({nan, inf, -inf})), (ValueScale{10, 0, 0}));
    EXPECT_EQ(ComputeValueScale(kPlainBar, oneSeries({nan, 93})), (ValueScale{95, 0, 1}));
}

TEST(ChartScale, StackedBarsScaleTheSums) {
    // Two categories, three series: sums +60/-0 and +30/-25.
    const SeriesValues v = oneSeries({20, 20, 20, 30, -10, -15}, 3);
    const ValueScale s = ComputeValueScale(kStackedBar, v);
    EXPECT_EQ(s.max, 60);
    EXPECT_EQ(s.min, -25);
    EXPECT_EQ(s.step, 1);
    EXPECT_EQ(ComputeValueScale(kGroupedBar, v).max, 30);
}

TEST(ChartScale, LabelIncrementAndStepText) {
    EXPECT_EQ(LabelIncrement({95, 0, 1}), 19);
    EXPECT_EQ(LabelIncrement({5, -50, 1}), 10);
    EXPECT_EQ(LabelIncrement({100, 0, 10}), 2);
    EXPECT_EQ(LabelIncrement({10, 0, 0}), 1);  // never 0: labels must advance
    EXPECT_EQ(LabelIncrement({1, 0, 5}), 1);

    EXPECT_EQ(StepText(10), QStringLiteral("10"));
    EXPECT_EQ(StepText(1000), QStringLiteral("1000"));
    EXPECT_EQ(StepText(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(StepText(0.001), QStringLiteral("0.001"));
    EXPECT_EQ(StepText(1e12), QStringLiteral("1+e12"));
    EXPECT_EQ(StepText(1e-15), QStringLiteral("1-e15"));
    EXPECT_EQ(StepText(0), QString());
}
