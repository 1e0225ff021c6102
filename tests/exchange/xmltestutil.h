#pragma once
// Small helpers shared by the XML layer tests.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>

#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toStdString() << "\" (hex " << b.toHex().toStdString() << ')';
}

namespace xmltest {

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}

// Runs xmllint with the arguments; empty optional when xmllint is missing.
inline std::optional<qortest::ProcessResult> xmllint(const QStringList& args) {
    if (!qortest::needProgram("xmllint")) return std::nullopt;
    return qortest::run("xmllint", args);
}

// Collects the message boxes shown while it lives.
class MessageCatcher {
public:
    MessageCatcher() {
        qor::UiServices s = qor::headlessUiServices();
        s.messageBox = [this](const qor::MessageRequest& r) {
            texts.append(r.text);
            return qor::MsgAnswer::Ok;
        };
        previous_ = qor::installUiServices(s);
    }
    ~MessageCatcher() { qor::installUiServices(previous_); }
    QStringList texts;

private:
    qor::UiServices previous_;
};

}  // namespace xmltest
