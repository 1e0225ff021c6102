#pragma once
// The command language's own texts: what its parser, evaluator and runner
// tell a user, in the system's language from the string table. Symbols and
// command words quoted inside them stay as they are written.

#include <QString>

#include "engine/messages.h"

namespace qor::cmd {

inline QString CmdText(int id) { return LoadErrorText(id); }

}  // namespace qor::cmd
