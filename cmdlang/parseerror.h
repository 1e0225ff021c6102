#pragma once
// A syntax error of the command language: where it is and why.

#include <QString>

namespace qor::cmd {

struct ParseError {
    int position = -1;  // offset in the source text (UTF-16 units); -1 = no error
    QString reason;

    bool isError() const { return position >= 0; }
    // "column 5: missing ')'" (1-based column for people)
    QString toString() const;
};

}  // namespace qor::cmd
