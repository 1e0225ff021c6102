// Maths, the page pointer (MRECNO, MNUMBER, SNUMBER), the local clock and
// the conditional value IFF.
#include <cmath>
#include <numbers>

#include "cmdlang/builtins.h"
#include "cmdlang/cmdtexts.h"
#include "engine/textutil.h"

namespace qor::cmd {

namespace {

using MathFn = double (*)(double);

// A function of one number; a result that is not a number (outside the
// function's domain) is an error that names the function.
Value unary(Evaluator& ev, const Node& call, MathFn fn) {
    double x = 0;
    Value bad;
    if (!NumberArgument(ev, call, 0, &x, &bad)) return bad;
    const double r = fn(x);
    if (!std::isfinite(r))
        return Value::error(CmdText(str::kFunctionNoValue).arg(call.text, FormatNumber(x)));
    return Value::number(r);
}

double cotangent(double x) { return 1.0 / std::tan(x); }
double squareRoot(double x) { return x < 0 ? NAN : std::sqrt(x); }
double naturalLog(double x) { return x <= 0 ? NAN : std::log(x); }
double decimalLog(double x) { return x <= 0 ? NAN : std::log10(x); }

Value fnSin(Evaluator& ev, const Node& c, const FunctionInfo&) {
    return unary(ev, c, [](double x) { return std::sin(x); });
}
Value fnCos(Evaluator& ev, const Node& c, const FunctionInfo&) {
    return unary(ev, c, [](double x) { return std::cos(x); });
}
Value fnTan(Evaluator& ev, const Node& c, const FunctionInfo&) {
    return unary(ev, c, [](double x) { return std::tan(x); });
}
Value fnCtan(Evaluator& ev, const Node& c, const FunctionInfo&) { return unary(ev, c, cotangent); }
Value fnAbs(Evaluator& ev, const Node& c, const FunctionInfo&) {
    return unary(ev, c, [](double x) { return std::fabs(x); });
}
// Toward zero: INT(-2.7) is -2.
Value fnInt(Evaluator& ev, const Node& c, const FunctionInfo&) {
    return unary(ev, c, [](double x) { return std::trunc(x); });
}
Value fnSqr(Evaluator& ev, const Node& c, const FunctionInfo&) { return unary(ev, c, squareRoot); }
Value fnLn(Evaluator& ev, const Node& c, const FunctionInfo&) { return unary(ev, c, naturalLog); }
Value fnLog(Evaluator& ev, const Node& c, const FunctionInfo&) { return unary(ev, c, decimalLog); }
Value fnExp(Evaluator& ev, const Node& c, const FunctionInfo&) {
    return unary(ev, c, [](double x) { return std::exp(x); });
}

// ROUND(x, n): halves away from zero, judged on the decimal value the
// number stands for, as cells round for display (so 2.675 gives 2.68).
// n from 0 to 7 counts decimals; a negative n rounds to tens, hundreds ..
// (ROUND(1250, -2) = 1300), as amounts are rounded to thousands.
Value fnRound(Evaluator& ev, const Node& call, const FunctionInfo&) {
    double x = 0;
    int n = 0;
    Value bad;
    if (!NumberArgument(ev, call, 0, &x, &bad)) return bad;
    if (!WholeArgument(ev, call, 1, -15, 7, &n, &bad)) return bad;
    if (n >= 0) return Value::number(RoundedToDecimals(x, n));
    const double scale = std::pow(10.0, -n);
    return Value::number(RoundedToDecimals(x / scale, 0) * scale);
}

Value fnPai(Evaluator&, const Node&, const FunctionInfo&) {
    return Value::number(std::numbers::pi);
}

Value fnRecno(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().PageNumber());
}
Value fnPages(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().PageCount());
}
Value fnFound(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().FoundPages());
}

Value fnDay(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().Now().date().day());
}
Value fnMonth(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().Now().date().month());
}
Value fnYear(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().Now().date().year());
}
Value fnSecond(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().Now().time().second());
}
Value fnMinute(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().Now().time().minute());
}
Value fnHour(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number(ev.env().Now().time().hour());
}
// The quarter of the year, 1 to 4.
Value fnSeason(Evaluator& ev, const Node&, const FunctionInfo&) {
    return Value::number((ev.env().Now().date().month() - 1) / 3 + 1);
}

// Only the branch chosen is evaluated, so IFF(B1=0, 0, A1/B1) is safe.
Value fnIff(Evaluator& ev, const Node& call, const FunctionInfo&) {
    const Value c = ev.argument(call, 0);
    if (c.isError()) return c;
    if (c.isArea()) return Value::error(CmdText(str::kIffConditionArea));
    const Value truth = ConditionTruth(c);
    if (truth.isError()) return truth;
    return ev.argument(call, IsTrue(truth) ? 1 : 2);
}

const BuiltinName kMaths[] = {
    {"SIN", fnSin},      {"COS", fnCos},       {"TAN", fnTan},       {"CTAN", fnCtan},
    {"ABS", fnAbs},      {"INT", fnInt},       {"SQR", fnSqr},       {"LN", fnLn},
    {"LOG", fnLog},      {"EXP", fnExp},       {"ROUND", fnRound},   {"PAI", fnPai},
    {"MRECNO", fnRecno}, {"MNUMBER", fnPages}, {"SNUMBER", fnFound}, {"DAY", fnDay},
    {"MONTH", fnMonth},  {"YEAR", fnYear},     {"SECOND", fnSecond}, {"MINUTE", fnMinute},
    {"HOUR", fnHour},    {"SEASON", fnSeason}, {"IFF", fnIff},
};

}  // namespace

const BuiltinName* MathsBuiltins(int* count) {
    *count = int(std::size(kMaths));
    return kMaths;
}

}  // namespace qor::cmd
