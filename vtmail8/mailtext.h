#pragma once
// Texts of the mail library. They come from the system's string table like
// every other message; the library sits on platform and the table's own
// library (qorresources) only, not on the engine, so it reads the table
// here, with the engine's answer for an id the table lacks.

#include <QString>

#include "resources/stringids.h"
#include "resources/stringtable.h"

namespace vtmail {

inline QString LoadErrorText(int id) {
    return qor::res::stringText(id).value_or(QStringLiteral("Reader ERROR"));
}

}  // namespace vtmail
