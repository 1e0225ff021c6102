#pragma once
// Recursive-descent parser of command lines, cell formulas and conditions.
//
//   line     = command | formula-assign
//   formula  = expr ["FOR" cond] ["RELATION" key "WITH" STRING "->" key]
//   expr     = or;  or = and {"OR" and};  and = not {"AND" not};  not = ["NOT"] not | cmp
//   cmp      = add [("="|"<>"|"<"|"<="|">"|">="|"LIKE") add]
//   add      = mul {("+"|"-") mul};  mul = unary {("*"|"/") unary}
//   unary    = ["-"|"+"] pow;  pow = primary ["^" unary]
//   primary  = NUMBER | STRING | ref | IDENT "(" [arg {"," arg}] ")" | IDENT | "(" expr ")"
//   arg      = [expr | cmpop add]          (areas only here; empty arguments allowed)
//   ref      = [STRING "->"] (CELLREF [":" CELLREF] | VREF [":" VREF]) ["@" NUMBER]
//
// Calls of names that are not built in (application-service functions)
// whose argument text is not of this language are kept as raw text.

#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

#include "cmdlang/lexer.h"
#include "cmdlang/parseerror.h"
#include "cmdlang/syntaxtree.h"

namespace qor::cmd {

// Parser recursion bound (nested parentheses, calls, NOT, signs, powers).
constexpr int kMaxNesting = 256;
// Bound on the height of any tree, so long operator chains cannot make the
// recursive walks (evaluation, printing, destruction) exhaust the stack.
constexpr int kMaxTreeHeight = 2048;

// One relation of a report's audit formulas: `lhs relop rhs` with the
// message of the MESS clause that closes its group.
struct AuditRelation {
    NodePtr relation;
    QString message;
    bool hasMessage = false;
    int line = 0;      // 1-based line of the audit text
    int position = 0;  // offset in the audit text
};

// One parse per Parser object; the text must outlive it (trees hold copies).
class Parser {
public:
    explicit Parser(QStringView text);

    // A command line or a formula assignment ("A1=B1+C1"). Blank and comment
    // lines give CommandKind::Empty. Null on error.
    std::unique_ptr<Command> parseLine(ParseError* error);
    // The whole text as a cell formula with its clauses. Null on error.
    std::unique_ptr<Formula> parseFormula(ParseError* error);
    // The whole text as one expression (a condition). Null on error.
    NodePtr parseExpression(ParseError* error);

private:
    friend struct NestingGuard;
    friend bool ParseAuditFormulas(QStringView, std::vector<AuditRelation>*, ParseError*);

    // tokens
    void advance();
    const Token& peek();
    bool at(TokenKind k) const { return cur_.kind == k; }
    bool atWord(const char* w) const { return cur_.isWord(w); }
    void expect(TokenKind k, const char* what);
    void expectWord(const char* w);
    void expectEnd();
    [[noreturn]] void failHere(const QString& reason) const;
    [[noreturn]] void unexpected(const char* wanted) const;
    QString describe(const Token& t) const;
    static bool isReservedWord(const Token& t);

    // expressions
    NodePtr expr();
    NodePtr orExpr();
    NodePtr andExpr();
    NodePtr notExpr();
    NodePtr cmpExpr();
    NodePtr addExpr();
    NodePtr mulExpr();
    NodePtr unaryExpr();
    NodePtr powExpr();
    NodePtr primary();
    NodePtr call();
    void arguments(Node& call);
    NodePtr argument();
    NodePtr ref();
    NodePtr cond();
    NodePtr keyNode();
    CellPos cellOf(const Token& t) const;
    NodePtr leaf(NodeKind kind, const Token& t);
    NodePtr join(NodeKind kind, Op op, int pos, NodePtr a, NodePtr b = nullptr);
    void finish(Node& n);
    void noArea(const Node& n) const;

    // formulas and commands
    void formula(Formula& f);
    void target(Target& t);
    void command(Command& c);
    QString fileName(bool allowEmpty = false);
    int integer(int min, int max, const char* what);
    void auditLine(std::vector<AuditRelation>& out, size_t& groupStart, int line, int offset);

    QStringView text_;
    Lexer lexer_;
    Token cur_;
    std::optional<Token> ahead_;
    int prevEnd_ = 0;
    int depth_ = 0;
};

// Convenience entry points (null and *error filled on failure).
std::unique_ptr<Command> ParseLine(QStringView text, ParseError* error = nullptr);
std::unique_ptr<Formula> ParseFormula(QStringView text, ParseError* error = nullptr);
NodePtr ParseExpression(QStringView text, ParseError* error = nullptr);

// Audit formulas, one or more relations a line separated by commas, each
// group closed by an optional `MESS "text"` that applies to every relation
// since the previous MESS. Blank and comment lines are skipped. False and
// *error (position in the whole text) on the first bad line.
bool ParseAuditFormulas(QStringView text, std::vector<AuditRelation>* out,
                        ParseError* error = nullptr);

}  // namespace qor::cmd
