// Script files (".shl") as the loader takes them: the encoding detection
// of the file's bytes, then every command line through the command-line
// parser. Whatever parses prints to a line that parses again the same.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "cmdlang/printer.h"
#include "cmdlang/scripts.h"
#include "fuzz/fuzzsupport.h"

using namespace qor::cmd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const QString path = qorfuzz::scratchFile(QStringLiteral("in.shl"));
    qorfuzz::writeFile(path, reinterpret_cast<const char*>(data), size);
    QString text, error;
    if (!ReadScriptFile(path, &text, &error)) return 0;
    if (text != DecodeScriptBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        std::abort();
    std::vector<ScriptCommand> commands;
    int errorLine = 0;
    ParseScript(text, QStringLiteral("in.shl"), &commands, &error, &errorLine);
    for (const ScriptCommand& c : commands) {
        if (!c.command) continue;
        const QString printed = PrintCommand(*c.command);
        std::vector<ScriptCommand> again;
        if (!ParseScript(printed, QStringLiteral("again"), &again, &error) || again.size() != 1 ||
            !again[0].command || PrintCommand(*again[0].command) != printed)
            std::abort();
    }
    return 0;
}
