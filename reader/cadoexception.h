#pragma once
// The exception every failed call of the database wrappers throws.

#include <QByteArray>
#include <QString>
#include <exception>

class CAdoException : public std::exception {
public:
    explicit CAdoException(QString text);
    // The text to show: what failed and the database's own words.
    QString GetErrorMessage() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};
