#pragma once
// Script files (".shl"): one command line a line, blank lines and lines
// starting with '*' or ';' are comments. The formula list writes them as
// UTF-16LE with a byte-order mark and CR LF; hand-written ones come as
// UTF-8 or code page 936.

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "cmdlang/lexer.h"
#include "cmdlang/syntaxtree.h"

namespace qor::cmd {

// Text of a script's bytes: a UTF-16 (LE or BE) or UTF-8 byte-order mark
// decides; without one, valid UTF-8 is UTF-8 and anything else is read as
// GB18030 (a superset of code page 936).
QString DecodeScriptBytes(const QByteArray& bytes);

// Reads a script file. False and the reason for a file that is missing,
// unreadable, empty or larger than 16 MiB.
bool ReadScriptFile(const QString& path, QString* text, QString* error);

struct ScriptCommand {
    int lineNumber = 0;  // 1-based line of the file
    QString text;
    std::unique_ptr<Command> command;
};

// Parses every command line of a script. False on the first line that is
// longer than the command buffer or does not parse; *error then names the
// script and line N in the user's words, then where in the line and why,
// and *errorLine holds N.
bool ParseScript(const QString& text, const QString& name, std::vector<ScriptCommand>* out,
                 QString* error, int* errorLine = nullptr);

}  // namespace qor::cmd
