#include "charts/chart_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace qor::charts {

int DecimalExponent(double x) {
    if (!(x > 0) || !std::isfinite(x)) return 0;
    const int n = std::snprintf(nullptr, 0, "%lf", x);
    if (n <= 0) return 0;
    std::string s(size_t(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), "%lf", x);
    s.resize(size_t(n));
    const size_t point = s.find('.');
    const std::string whole = s.substr(0, point);
    if (whole != "0") return int(whole.size()) - 1;
    if (point == std::string::npos) return 0;
    int zeros = 0;
    for (size_t i = point + 1; i < s.size() && s[i] == '0'; ++i) ++zeros;
    if (point + 1 + size_t(zeros) >= s.size()) return 0;  // all decimals zero
    return -zeros - 1;
}

double RoundUpToHalfUnit(double x) {
    const double unit = std::pow(10.0, DecimalExponent(x));
    const double m = x / unit;
    const double i = std::floor(m);
    const double f = m - i;
    if (f <= 0) return x;
    return f <= 0.5 ? unit * (i + 0.5) : unit * (i + 1);
}

ValueScale ComputeValueScale(uint32_t type, const SeriesValues& v) {
    ValueScale s;
    double max = 0, min = 0;
    auto take = [&](double x) {
        if (!std::isfinite(x)) return;
        max = std::max(max, x);
        min = std::min(min, x);
    };
    if (!v.IsEmpty() && v.values.size() >= size_t(v.pages) * v.categories * v.series) {
        for (int p = 0; p < v.pages; ++p)
            for (int c = 0; c < v.categories; ++c) {
                if (type == kStackedBar) {
                    double pos = 0, neg = 0;
                    for (int i = 0; i < v.series; ++i) {
                        const double x = v.At(p, c, i);
                        if (!std::isfinite(x)) continue;
                        (x > 0 ? pos : neg) += x;
                    }
                    take(pos);
                    take(neg);
                } else {
                    for (int i = 0; i < v.series; ++i) take(v.At(p, c, i));
                }
            }
    }
    if (max == 0 && min == 0) return s;  // 10, 0, step 0

    int e = 0;
    if (max > 0) {
        max = RoundUpToHalfUnit(max);
        e = DecimalExponent(max);
    }
    int e2 = 0;
    if (min < 0) {
        min = -RoundUpToHalfUnit(-min);
        e2 = DecimalExponent(-min);
    }
    // A short side gets at least a tenth of the long one, so the zero line
    // never sits on the frame.
    if (-min < max && min < 0) {
        min = std::min(min, -0.1 * max);
    } else if (-min >= max && max > 0) {
        max = std::max(max, -0.1 * min);
    }
    if (min != 0) e = max == 0 ? e2 : std::max(e, e2);
    s.max = max;
    s.min = min;
    s.step = std::pow(10.0, e - 1);
    return s;
}

int LabelIncrement(const ValueScale& s) {
    if (!(s.step > 0)) return 1;
    long long l = -s.min < s.max ? static_cast<long long>(s.max / s.step) / 5
                                 : static_cast<long long>(s.min / s.step) / -5;
    return int(std::clamp<long long>(l, 1, 1000000000LL));
}

QString StepText(double step) {
    if (!(step > 0) || !std::isfinite(step)) return QString();
    const double lg = std::log10(step);
    int n = int(lg);  // truncated
    if (std::fabs(lg - n) > 0.1) n += lg < 0 ? -1 : 1;
    const int a = std::abs(n);
    if (a >= 10)
        return (n > 0 ? QStringLiteral("1+e") : QStringLiteral("1-e")) + QString::number(a);
    if (n >= 0) return QStringLiteral("1") + QString(n, QLatin1Char('0'));
    return QStringLiteral("0.") + QString(std::max(0, -n - 1), QLatin1Char('0')) +
           QStringLiteral("1");
}

}  // namespace qor::charts
