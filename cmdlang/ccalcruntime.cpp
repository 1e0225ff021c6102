#include "cmdlang/ccalcruntime.h"

#include "cmdlang/calcerrors.h"
#include "engine/messages.h"

using namespace qor::cmd;

bool CCalcRuntime::SetCommandBuffer(const QString& line) {
    if (line.size() > kCommandBufferChars) return false;
    m_buffer = line;
    return true;
}

int CCalcRuntime::FindVariable(QStringView name) const {
    for (int i = int(m_vars.size()) - 1; i >= 0; --i)
        if (name.compare(m_vars[i].name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

std::optional<Value> CCalcRuntime::VariableValue(QStringView name) const {
    const int i = FindVariable(name);
    if (i < 0) return std::nullopt;
    const CalcVariable& v = m_vars[i];
    return v.type == 1 ? v.marked : Value::number(v.number);
}

int CCalcRuntime::SetVariable(const QString& name, const Value& value) {
    if (name.isEmpty() || value.isArea() || value.isError()) return CALC_ERR_BAD_ARGUMENT;
    if (name.size() > kMaxVariableName) return CALC_ERR_NAME_TOO_LONG;
    CalcVariable v;
    v.name = name;
    if (value.isText()) {
        v.type = 1;
        v.text = value.asText();
        v.marked = value;
    } else {
        v.number = value.isNumber() ? value.asNumber() : 0;
    }
    const int i = FindVariable(name);
    if (i >= 0) {
        v.name = m_vars[i].name;  // the spelling it was defined with
        m_vars[i] = v;
        return CALC_OK;
    }
    if (m_vars.size() >= kMaxVariables) return CALC_ERR_TOO_MANY_VARIABLES;
    m_vars.append(v);
    return CALC_OK;
}

int CCalcRuntime::FreeVariable(QStringView name) {
    const int i = FindVariable(name);
    if (i < 0) return CALC_ERR_UNKNOWN_VARIABLE;
    m_vars.removeAt(i);
    return CALC_OK;
}

QString CCalcRuntime::TypeText(const CalcVariable& v) {
    return LoadErrorText(v.type == 1 ? qor::str::kTextKeywordType : qor::str::kNumberKeywordType);
}

QString CCalcRuntime::ValueText(const CalcVariable& v) {
    return v.type == 1 ? v.text : FormatNumber(v.number);
}
