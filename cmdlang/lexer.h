#pragma once
// Lexer of the command language. Works on UTF-16 text; blanks (including
// the ideographic space) and line breaks separate tokens. Words are matched
// without regard to case; identifiers keep their spelling.

#include <QString>
#include <QStringView>

#include "cmdlang/parseerror.h"
#include "cmdlang/syntaxtree.h"

namespace qor::cmd {

constexpr int kMaxIdentLength = 64;

enum class TokenKind : uint8_t {
    End,
    Number,
    String,
    Ident,
    CellRef,  // a word shaped like letters + digits ("A1", "iv9999")
    VRef,     // a word starting with "V_"
    Plus,
    Minus,
    Star,
    Slash,
    Caret,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    LParen,
    RParen,
    Comma,
    Colon,
    Semicolon,
    At,
    Arrow,
};

struct Token {
    TokenKind kind = TokenKind::End;
    int pos = 0;
    int len = 0;
    QString text;       // Ident/CellRef/VRef: as written; String: the value, quotes undone
    double number = 0;  // Number
    CellPos cell;       // CellRef
    VarRef var;         // VRef
    // CellRef/VRef that cannot name a cell (row 0, column beyond IV, V__A...).
    // The word may still serve as a function name, so the parser decides.
    QString refError;

    // Case-insensitive comparison for command and clause words.
    bool isWord(const char* word) const;
};

class Lexer {
public:
    explicit Lexer(QStringView text) : text_(text) {}

    // The next token; throws ParseError on a character or literal that
    // cannot start or form a token.
    Token next();

    int position() const { return pos_; }
    void seek(int pos) { pos_ = pos; }
    QStringView text() const { return text_; }

    // Lexes the whole text (for tests and tools).
    static std::vector<Token> tokenize(QStringView text);

private:
    void skipBlanks();
    Token lexNumber();
    Token lexString();
    Token lexWord();
    char32_t codePointAt(int pos, int* units) const;

    QStringView text_;
    int pos_ = 0;
};

// Blank lines and lines whose first non-blank character is '*' or ';' are
// comments in scripts.
bool IsCommentLine(QStringView line);

// Whether word ("V_A", "v_A3", "V_3") names a variable area or one of its
// cells as formulas write it; the prefix must be there.
bool IsVariableAreaName(QStringView word);

struct ScriptLine {
    int number = 0;  // 1-based line number in the script
    int offset = 0;  // offset of the line in the script text
    QString text;
};

// Splits a script (LF or CR LF line ends, optional byte-order mark) into its
// command lines, leaving out blank and comment lines.
std::vector<ScriptLine> SplitScriptLines(QStringView script);

}  // namespace qor::cmd
