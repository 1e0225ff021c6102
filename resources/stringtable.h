#pragma once
// The string table: every message, caption and name the system loads by
// numeric id.

#include <QString>
#include <optional>

namespace qor::res {

// Text of a string id, or nothing when the table lacks it.
std::optional<QString> stringText(int id);
// Number of ids in the table.
int stringCount();

}  // namespace qor::res
