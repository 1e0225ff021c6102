#pragma once
// The command language's run-time data: the command buffer callers fill
// before they run a line, and the table of user variables LET makes.
//
// The buffer holds 4,096 UTF-16 characters, the longest command text a
// user menu item carries. Variables are looked up from the last one
// defined back to the first, names compared without regard to case.

#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

#include "cmdlang/value.h"

struct CalcVariable {
    QString name;
    int16_t type = 0;  // 0 numeric, 1 text
    double number = 0;
    QString text;
    // type 1: the text with the marks of where its parts came from, so a
    // cell's text put into a variable stays data (value.h).
    qor::cmd::Value marked;
};

class CCalcRuntime {
public:
    static constexpr int kCommandBufferChars = 4096;
    static constexpr int kMaxVariables = 80;
    static constexpr int kMaxVariableName = 9;

    // False (buffer unchanged) for a line longer than the buffer.
    bool SetCommandBuffer(const QString& line);
    const QString& GetCommandBuffer() const { return m_buffer; }
    void ClearCommandBuffer() { m_buffer.clear(); }

    int GetVariableCount() const { return int(m_vars.size()); }
    const CalcVariable& GetVariable(int index) const { return m_vars.at(index); }
    // Index of the variable, searching from the last; -1 when none.
    int FindVariable(QStringView name) const;
    // The variable's value as the language reads it; nothing when none.
    std::optional<qor::cmd::Value> VariableValue(QStringView name) const;
    // Creates or overwrites a variable; the type follows the value (a
    // number, a text; empty counts as the number 0). 0, or
    // CALC_ERR_NAME_TOO_LONG / CALC_ERR_TOO_MANY_VARIABLES /
    // CALC_ERR_BAD_ARGUMENT (an empty name, an area or error value).
    int SetVariable(const QString& name, const qor::cmd::Value& value);
    // 0, or CALC_ERR_UNKNOWN_VARIABLE.
    int FreeVariable(QStringView name);
    void ClearVariables() { m_vars.clear(); }

    // "numeric" / "text" and the value as LIST MEMORY shows them.
    static QString TypeText(const CalcVariable& v);
    static QString ValueText(const CalcVariable& v);

private:
    QString m_buffer;
    QList<CalcVariable> m_vars;
};
