#pragma once
// A command on a connection: a statement run once, its result kept as a
// record set (field count, types and values, moves and the end test).

#include <QString>
#include <QVariantList>

#include "reader/cadorecordset.h"

class CAdoConnection;

class CAdoCommand {
public:
    explicit CAdoCommand(CAdoConnection* connection);
    ~CAdoCommand();
    CAdoCommand(const CAdoCommand&) = delete;
    CAdoCommand& operator=(const CAdoCommand&) = delete;

    // Sets the command up: its name, its text (a statement, or a table name
    // with adCmdTable) and how the text is read (CAdoRecordset::CommandType).
    void Create(const QString& name, const QString& text, int type = CAdoRecordset::adCmdText);
    // Values for the "?" marks of the text, in order.
    void SetParameters(const QVariantList& values) { m_values = values; }
    // Runs the command; throws CAdoException. A statement that returns no
    // rows leaves an open, empty result.
    void Execute();

    QString GetName() const { return m_name; }
    // Rows changed by the last statement that returned no rows; -1 else.
    long GetRecordsAffected() const { return m_result.m_affected; }
    // The result of the last Execute.
    CAdoRecordset& GetRecordset() { return m_result; }

private:
    QString m_name;
    QString m_text;
    int m_type = CAdoRecordset::adCmdText;
    QVariantList m_values;
    CAdoRecordset m_result;
};
