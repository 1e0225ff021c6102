#include "cmdlang/functions.h"

#include <QLatin1StringView>
#include <iterator>

#include "cmdlang/cmdtexts.h"

namespace qor::cmd {

namespace {

using G = FunctionGroup;

constexpr FunctionInfo kFunctions[] = {
    // Statistics: area, optional filter.
    {"PTOTAL", G::FixedStat, 1, 2, false},
    {"PAVG", G::FixedStat, 1, 2, false},
    {"PCOUNT", G::FixedStat, 1, 2, false},
    {"PMIN", G::FixedStat, 1, 2, false},
    {"PMAX", G::FixedStat, 1, 2, false},
    {"PVAR", G::FixedStat, 1, 2, false},
    {"PSTD", G::FixedStat, 1, 2, false},
    {"GTOTAL", G::VarStat, 1, 2, false},
    {"GAVG", G::VarStat, 1, 2, false},
    {"GCOUNT", G::VarStat, 1, 2, false},
    {"GMIN", G::VarStat, 1, 2, false},
    {"GMAX", G::VarStat, 1, 2, false},
    {"GVAR", G::VarStat, 1, 2, false},
    {"GSTD", G::VarStat, 1, 2, false},
    {"TOTAL", G::PageStat, 1, 2, false},
    {"AVG", G::PageStat, 1, 2, false},
    {"COUNT", G::PageStat, 1, 2, false},
    {"MIN", G::PageStat, 1, 2, false},
    {"MAX", G::PageStat, 1, 2, false},
    {"VAR", G::PageStat, 1, 2, false},
    {"STD", G::PageStat, 1, 2, false},
    // Maths.
    {"SIN", G::Maths, 1, 1, false},
    {"COS", G::Maths, 1, 1, false},
    {"TAN", G::Maths, 1, 1, false},
    {"CTAN", G::Maths, 1, 1, false},
    {"ABS", G::Maths, 1, 1, false},
    {"INT", G::Maths, 1, 1, false},
    {"SQR", G::Maths, 1, 1, false},
    {"LN", G::Maths, 1, 1, false},
    {"LOG", G::Maths, 1, 1, false},
    {"EXP", G::Maths, 1, 1, false},
    {"ROUND", G::Maths, 2, 2, false},
    {"PAI", G::Maths, 0, 0, false},
    // Table, date and time, pointer state.
    {"MRECNO", G::Table, 0, 0, true},
    {"DAY", G::DateTime, 0, 0, true},
    {"MONTH", G::DateTime, 0, 0, true},
    {"YEAR", G::DateTime, 0, 0, true},
    {"SECOND", G::DateTime, 0, 0, true},
    {"MINUTE", G::DateTime, 0, 0, true},
    {"HOUR", G::DateTime, 0, 0, true},
    {"SEASON", G::DateTime, 0, 0, true},
    {"MNUMBER", G::Pointer, 0, 0, true},
    {"SNUMBER", G::Pointer, 0, 0, true},
    // Conditional value.
    {"IFF", G::Conditional, 3, 3, false},
    // Database: the condition may be left empty ("...,recno,)").
    {"INDB", G::Database, 4, 5, true},
    {"INDBSQL", G::Database, 4, 5, true},
    {"GETRECORD", G::Database, 3, 4, true},
    // Strings.
    {"LEN", G::String, 1, 1, false},
    {"TRIM", G::String, 1, 1, false},
    {"UPPER", G::String, 1, 1, false},
    {"LOWER", G::String, 1, 1, false},
    {"VAL", G::String, 1, 1, false},
    {"STR", G::String, 1, 1, false},
    {"SUBSTR", G::String, 2, 3, false},
    // Input through the user-interface hooks (caption optional).
    {"GETINT", G::Input, 0, 1, true},
    {"GETSTR", G::Input, 0, 1, true},
};

}  // namespace

const FunctionInfo* FindFunction(QStringView name) {
    for (const FunctionInfo& f : kFunctions)
        if (name.compare(QLatin1StringView(f.name), Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

const FunctionInfo* BuiltinFunctions(int* count) {
    *count = int(std::size(kFunctions));
    return kFunctions;
}

QString ArgumentCountText(const QString& name, int minArgs, int maxArgs) {
    QString count = QString::number(minArgs);
    if (maxArgs != minArgs) count += CmdText(str::kRangeTilde) + QString::number(maxArgs);
    return CmdText(str::kFormulaArgumentCount).arg(name, count);
}

}  // namespace qor::cmd
