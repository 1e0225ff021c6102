#include "reader/cadocommand.h"

#include "engine/messages.h"
#include "reader/cadoexception.h"

CAdoCommand::CAdoCommand(CAdoConnection* connection) : m_result(connection) {}

CAdoCommand::~CAdoCommand() = default;

void CAdoCommand::Create(const QString& name, const QString& text, int type) {
    m_result.Close();
    m_name = name;
    m_text = text;
    m_type = type;
    m_values.clear();
}

void CAdoCommand::Execute() {
    if (m_text.trimmed().isEmpty())
        throw CAdoException(LoadErrorText(qor::str::kCommandWithoutText).arg(m_name));
    m_result.Run(m_type == CAdoRecordset::adCmdUnknown ? CAdoRecordset::adCmdText : m_type, m_text,
                 m_values);
}
