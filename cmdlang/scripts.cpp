#include "cmdlang/scripts.h"

#include <QFile>
#include <QStringDecoder>

#include "cmdlang/ccalcruntime.h"
#include "cmdlang/cmdtexts.h"
#include "cmdlang/parser.h"
#include "platform/codepage.h"

namespace qor::cmd {

namespace {

constexpr qint64 kMaxScriptBytes = 16 * 1024 * 1024;

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, bool* failed) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (failed) *failed = decoder.hasError();
    return text;
}

}  // namespace

QString DecodeScriptBytes(const QByteArray& bytes) {
    const auto starts = [&](std::initializer_list<unsigned char> mark) {
        if (bytes.size() < qsizetype(mark.size())) return false;
        qsizetype i = 0;
        for (unsigned char b : mark)
            if (static_cast<unsigned char>(bytes[i++]) != b) return false;
        return true;
    };
    if (starts({0xFF, 0xFE})) return decodeWith(QStringConverter::Utf16LE, bytes.mid(2), nullptr);
    if (starts({0xFE, 0xFF})) return decodeWith(QStringConverter::Utf16BE, bytes.mid(2), nullptr);
    if (starts({0xEF, 0xBB, 0xBF}))
        return decodeWith(QStringConverter::Utf8, bytes.mid(3), nullptr);
    bool failed = false;
    QString text = decodeWith(QStringConverter::Utf8, bytes, &failed);
    if (!failed) return text;
    return qor::decodeCp936(bytes);
}

bool ReadScriptFile(const QString& path, QString* text, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = CmdText(str::kScriptNotOpened).arg(path, f.errorString());
        return false;
    }
    if (f.size() == 0) {
        if (error) *error = CmdText(str::kScriptEmpty).arg(path);
        return false;
    }
    if (f.size() > kMaxScriptBytes) {
        if (error) *error = CmdText(str::kScriptTooLarge).arg(path);
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (bytes.size() != f.size()) {
        if (error) *error = CmdText(str::kScriptUnread).arg(path, f.errorString());
        return false;
    }
    *text = DecodeScriptBytes(bytes);
    return true;
}

bool ParseScript(const QString& text, const QString& name, std::vector<ScriptCommand>* out,
                 QString* error, int* errorLine) {
    out->clear();
    for (const ScriptLine& line : SplitScriptLines(text)) {
        QString why;
        if (line.text.size() > CCalcRuntime::kCommandBufferChars) {
            why = CmdText(str::kLineTooLong).arg(CCalcRuntime::kCommandBufferChars);
        } else {
            ParseError e;
            std::unique_ptr<Command> c = ParseLine(line.text, &e);
            if (c) {
                out->push_back({line.number, line.text, std::move(c)});
                continue;
            }
            why = e.toString();
        }
        if (error) *error = CmdText(str::kScriptLineFailed).arg(name, QString::number(line.number), why);
        if (errorLine) *errorLine = line.number;
        out->clear();
        return false;
    }
    return true;
}

}  // namespace qor::cmd
