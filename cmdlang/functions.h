#pragma once
// The built-in formula functions: names, argument counts and what the
// checker and the dependency graph need to know of them. Their evaluation
// lives with the interpreter.

#include <QString>
#include <QStringView>
#include <cstdint>

namespace qor::cmd {

enum class FunctionGroup : uint8_t {
    FixedStat,  // PTOTAL ..: fixed-area cells of an area of this page
    VarStat,    // GTOTAL ..: variable-area cells
    PageStat,   // TOTAL ..: an area summed over every page that passes a filter
    Maths,
    Table,     // MRECNO
    DateTime,  // local clock
    Conditional,
    Database,  // INDB, INDBSQL, GETRECORD
    Pointer,   // MNUMBER, SNUMBER
    String,
    Input,  // GETINT, GETSTR
};

struct FunctionInfo {
    const char* name;  // upper case
    FunctionGroup group;
    int8_t minArgs;
    int8_t maxArgs;
    // Depends on more than the cells it names (the clock, a database, the
    // user): recomputed on every recalculation of a page.
    bool isVolatile;

    bool isStatistic() const {
        return group == FunctionGroup::FixedStat || group == FunctionGroup::VarStat ||
               group == FunctionGroup::PageStat;
    }
};

// Case-insensitive lookup; null for a name that is not built in (it may
// still be an application-service function).
const FunctionInfo* FindFunction(QStringView name);

// Every built-in function, for listings.
const FunctionInfo* BuiltinFunctions(int* count);

// What a call of name with the wrong number of arguments is told: the
// count it takes, min～max when that is a range.
QString ArgumentCountText(const QString& name, int minArgs, int maxArgs);

}  // namespace qor::cmd
