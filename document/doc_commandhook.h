#pragma once
// How the document runs a command line (TOTAL, GTOTAL, DELETE FOR, FIND
// ...) through the command language's interpreter. The interpreter sits
// above the document's dependencies at start-up time, so it registers
// itself here; until then a command line is refused with a clear message.

#include <QString>
#include <functional>

class CQorsDoc;

// Runs one command line against the document with the interpreter's run
// mode set; the result is the interpreter's (0 success).
using CommandRunner = std::function<int(CQorsDoc*, const QString& line, int runMode)>;

// Installs the runner (an empty function removes it).
void SetCommandRunner(CommandRunner runner);
// -1, with a message to the user, when no runner is installed.
int RunCommandLine(CQorsDoc* doc, const QString& line, int runMode);
