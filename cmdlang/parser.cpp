#include "cmdlang/parser.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "cmdlang/builtins.h"
#include "cmdlang/cmdtexts.h"
#include "cmdlang/functions.h"

namespace qor::cmd {

namespace {

// Quoted texts repeat across the formulas of a report: a file, a table and
// a condition in every cell of a column. The parsed trees share one copy of
// each, so a recalculation walking thousands of trees finds them in the
// cache rather than in thousands of places.
QString sharedText(const QString& text) {
    constexpr qsizetype kLongest = 256;
    constexpr qsizetype kKept = 8192;
    if (text.size() > kLongest) return text;
    static std::mutex mutex;
    static QSet<QString> kept;
    std::lock_guard lock(mutex);
    const auto it = kept.constFind(text);
    if (it != kept.cend()) return *it;
    if (kept.size() >= kKept) kept.clear();
    kept.insert(text);
    return text;
}

}  // namespace

struct NestingGuard {
    Parser& p;
    NestingGuard(Parser& parser, int pos) : p(parser) {
        if (++p.depth_ > kMaxNesting) {
            --p.depth_;
            throw ParseError{pos, CmdText(str::kNestedTooDeeply)};
        }
    }
    ~NestingGuard() { --p.depth_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

namespace {

// Function names are matched without regard to case, but only Latin letters
// have case here. Full Unicode upper-casing can turn one letter into a letter
// plus combining marks (U+0390 becomes three characters), which the lexer
// would refuse when the printed formula is read again.
QString upperAsciiName(const QString& name) {
    QString out = name;
    for (QChar& c : out) {
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - u'a' + u'A');
    }
    return out;
}

Op compareOp(const Token& t) {
    switch (t.kind) {
        case TokenKind::Eq:
            return Op::Eq;
        case TokenKind::Ne:
            return Op::Ne;
        case TokenKind::Lt:
            return Op::Lt;
        case TokenKind::Le:
            return Op::Le;
        case TokenKind::Gt:
            return Op::Gt;
        case TokenKind::Ge:
            return Op::Ge;
        default:
            return t.isWord("LIKE") ? Op::Like : Op::None;
    }
}

template <class T>
T failed(ParseError* out, const ParseError& e) {
    if (out) *out = e;
    return T{};
}

}  // namespace

Parser::Parser(QStringView text) : text_(text), lexer_(text) {}

// ---------------------------------------------------------------- tokens

void Parser::advance() {
    prevEnd_ = cur_.pos + cur_.len;
    if (ahead_) {
        cur_ = std::move(*ahead_);
        ahead_.reset();
    } else {
        cur_ = lexer_.next();
    }
}

const Token& Parser::peek() {
    if (!ahead_) ahead_ = lexer_.next();
    return *ahead_;
}

void Parser::failHere(const QString& reason) const { throw ParseError{cur_.pos, reason}; }

namespace {

// What the parser wanted, in the user's words; a symbol or a command word
// is shown as written.
QString wantedText(const char* wanted) {
    static const std::pair<const char*, int> kWanted[] = {
        {"value", str::kWantValue},
        {"cell reference", str::kWantCell},
        {"V_ name", str::kWantVName},
        {"keyword name, cell or V_ name", str::kWantKeywordCellOrV},
        {"quoted file name", str::kWantFileName},
        {"cell, area or variable name", str::kWantCellAreaOrVariable},
        {"variable name", str::kWantVariable},
        {"ALL, page numbers or FOR", str::kWantPages},
        {"S, A or P", str::kWantSortMode},
        {"quoted message", str::kWantMessage},
        {"page number", str::kWantPageNumber},
        {"',' or MESS", str::kWantCommaOrMess},
        {"',' or ')'", str::kWantCommaOrParen},
    };
    for (const auto& [english, id] : kWanted)
        if (qstrcmp(english, wanted) == 0) return CmdText(id);
    QString shown = QString::fromLatin1(wanted);
    if (shown.size() > 2 && shown.startsWith(u'\'') && shown.endsWith(u'\''))
        shown = QStringLiteral("“%1”").arg(shown.mid(1, shown.size() - 2));
    return shown;
}

}  // namespace

QString Parser::describe(const Token& t) const {
    if (t.kind == TokenKind::End) return CmdText(str::kEndOfText);
    return QStringLiteral("“%1”").arg(text_.mid(t.pos, t.len).toString());
}

void Parser::unexpected(const char* wanted) const {
    failHere(CmdText(str::kExpectedFound).arg(wantedText(wanted), describe(cur_)));
}

void Parser::expect(TokenKind k, const char* what) {
    if (cur_.kind != k) unexpected(what);
    advance();
}

void Parser::expectWord(const char* w) {
    if (!cur_.isWord(w)) unexpected(w);
    advance();
}

void Parser::expectEnd() {
    if (cur_.kind != TokenKind::End) failHere(CmdText(str::kUnexpected).arg(describe(cur_)));
}

bool Parser::isReservedWord(const Token& t) {
    static const char* const kWords[] = {"AND", "OR",  "NOT",  "LIKE", "FOR",
                                         "TO",  "KEY", "FROM", "WITH", "RELATION"};
    if (t.kind != TokenKind::Ident) return false;
    return std::any_of(std::begin(kWords), std::end(kWords),
                       [&](const char* w) { return t.isWord(w); });
}

// ---------------------------------------------------------------- nodes

void Parser::finish(Node& n) {
    int h = 0;
    for (const NodePtr& c : n.children) h = std::max(h, c->height);
    n.height = h + 1;
    if (n.height > kMaxTreeHeight) throw ParseError{n.pos, CmdText(str::kExpressionTooLong)};
}

void Parser::noArea(const Node& n) const {
    if (n.kind == NodeKind::Area || n.kind == NodeKind::VRefArea)
        throw ParseError{n.pos, CmdText(str::kAreaOnlyArgument)};
    if (n.kind == NodeKind::Empty || n.kind == NodeKind::Filter)
        throw ParseError{n.pos, CmdText(str::kValueExpected)};
}

NodePtr Parser::leaf(NodeKind kind, const Token& t) {
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->pos = t.pos;
    n->len = t.len;
    return n;
}

NodePtr Parser::join(NodeKind kind, Op op, int pos, NodePtr a, NodePtr b) {
    noArea(*a);
    if (b) noArea(*b);
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->op = op;
    n->pos = pos;
    n->len = prevEnd_ - pos;
    n->children.push_back(std::move(a));
    if (b) n->children.push_back(std::move(b));
    finish(*n);
    return n;
}

CellPos Parser::cellOf(const Token& t) const {
    if (!t.refError.isEmpty()) throw ParseError{t.pos, t.refError};
    return t.cell;
}

// ---------------------------------------------------------------- expressions

NodePtr Parser::expr() {
    NestingGuard guard(*this, cur_.pos);
    return orExpr();
}

NodePtr Parser::cond() {
    NodePtr n = expr();
    noArea(*n);
    return n;
}

NodePtr Parser::orExpr() {
    const int pos = cur_.pos;
    NodePtr left = andExpr();
    while (atWord("OR")) {
        advance();
        NodePtr right = andExpr();
        left = join(NodeKind::Logical, Op::Or, pos, std::move(left), std::move(right));
    }
    return left;
}

NodePtr Parser::andExpr() {
    const int pos = cur_.pos;
    NodePtr left = notExpr();
    while (atWord("AND")) {
        advance();
        NodePtr right = notExpr();
        left = join(NodeKind::Logical, Op::And, pos, std::move(left), std::move(right));
    }
    return left;
}

NodePtr Parser::notExpr() {
    if (!atWord("NOT")) return cmpExpr();
    const int pos = cur_.pos;
    NestingGuard guard(*this, pos);
    advance();
    NodePtr operand = notExpr();
    return join(NodeKind::Logical, Op::Not, pos, std::move(operand));
}

NodePtr Parser::cmpExpr() {
    const int pos = cur_.pos;
    NodePtr left = addExpr();
    const Op op = compareOp(cur_);
    if (op == Op::None) return left;
    advance();
    NodePtr right = addExpr();
    return join(NodeKind::Compare, op, pos, std::move(left), std::move(right));
}

NodePtr Parser::addExpr() {
    const int pos = cur_.pos;
    NodePtr left = mulExpr();
    while (at(TokenKind::Plus) || at(TokenKind::Minus)) {
        const Op op = at(TokenKind::Plus) ? Op::Add : Op::Sub;
        advance();
        NodePtr right = mulExpr();
        left = join(NodeKind::Binary, op, pos, std::move(left), std::move(right));
    }
    return left;
}

NodePtr Parser::mulExpr() {
    const int pos = cur_.pos;
    NodePtr left = unaryExpr();
    while (at(TokenKind::Star) || at(TokenKind::Slash)) {
        const Op op = at(TokenKind::Star) ? Op::Mul : Op::Div;
        advance();
        NodePtr right = unaryExpr();
        left = join(NodeKind::Binary, op, pos, std::move(left), std::move(right));
    }
    return left;
}

NodePtr Parser::unaryExpr() {
    const int pos = cur_.pos;
    if (at(TokenKind::Minus) || at(TokenKind::Plus)) {
        const Op op = at(TokenKind::Minus) ? Op::Neg : Op::Plus;
        advance();
        NodePtr operand = powExpr();
        return join(NodeKind::Unary, op, pos, std::move(operand));
    }
    return powExpr();
}

NodePtr Parser::powExpr() {
    const int pos = cur_.pos;
    NodePtr base = primary();
    if (!at(TokenKind::Caret)) return base;
    NestingGuard guard(*this, cur_.pos);
    advance();
    NodePtr exponent = unaryExpr();
    return join(NodeKind::Binary, Op::Pow, pos, std::move(base), std::move(exponent));
}

NodePtr Parser::primary() {
    switch (cur_.kind) {
        case TokenKind::Number: {
            NodePtr n = leaf(NodeKind::Number, cur_);
            n->number = cur_.number;
            advance();
            return n;
        }
        case TokenKind::String: {
            if (peek().kind == TokenKind::Arrow) return ref();
            NodePtr n = leaf(NodeKind::String, cur_);
            n->text = sharedText(cur_.text);
            advance();
            return n;
        }
        case TokenKind::CellRef:
        case TokenKind::VRef:
            // A service function may be named like a cell ("QC2(...)").
            if (peek().kind == TokenKind::LParen) return call();
            return ref();
        case TokenKind::Ident: {
            if (isReservedWord(cur_)) unexpected("value");
            if (peek().kind == TokenKind::LParen) return call();
            NodePtr n = leaf(NodeKind::Ident, cur_);
            n->text = cur_.text;
            advance();
            return n;
        }
        case TokenKind::LParen: {
            advance();
            NodePtr inner = expr();
            expect(TokenKind::RParen, "')'");
            return inner;
        }
        default:
            unexpected("value");
    }
}

NodePtr Parser::call() {
    NodePtr n = leaf(NodeKind::Call, cur_);
    n->text = upperAsciiName(cur_.text);
    n->builtin = FindBuiltin(n->text);
    advance();  // name
    const int open = cur_.pos;
    if (FindFunction(n->text)) {
        advance();  // "("
        arguments(*n);
    } else {
        try {
            advance();  // "("
            arguments(*n);
        } catch (const ParseError& strict) {
            // Application services define their own argument syntax: find the
            // closing parenthesis (outside quotes) and keep the text as it is.
            int depth = 1;
            int p = open + 1;
            for (; p < text_.size(); ++p) {
                const QChar c = text_[p];
                if (c == u'"') {
                    const int close = int(text_.indexOf(u'"', p + 1));
                    if (close < 0) throw strict;
                    p = close;
                } else if (c == u'(') {
                    ++depth;
                } else if (c == u')' && --depth == 0) {
                    break;
                }
            }
            if (depth != 0) throw strict;
            n->children.clear();
            n->opaqueArgs = true;
            lexer_.seek(p + 1);
            ahead_.reset();
            cur_ = Token();
            cur_.kind = TokenKind::RParen;
            cur_.pos = p;
            cur_.len = 1;
            advance();
        }
    }
    const int close = prevEnd_ - 1;  // the ")" just consumed
    n->rawArgs = text_.mid(open + 1, close - open - 1).toString();
    n->len = prevEnd_ - n->pos;
    finish(*n);
    return n;
}

void Parser::arguments(Node& call) {
    if (at(TokenKind::RParen)) {
        advance();
        return;
    }
    for (;;) {
        call.children.push_back(argument());
        if (at(TokenKind::Comma)) {
            advance();
            continue;
        }
        expect(TokenKind::RParen, "',' or ')'");
        return;
    }
}

NodePtr Parser::argument() {
    if (at(TokenKind::Comma) || at(TokenKind::RParen)) {
        NodePtr n = leaf(NodeKind::Empty, cur_);
        n->len = 0;
        return n;
    }
    const Op op = compareOp(cur_);
    if (op != Op::None) {
        // Statistic filter: the cell being counted is the left operand.
        const int pos = cur_.pos;
        advance();
        NodePtr operand = addExpr();
        noArea(*operand);
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Filter;
        n->op = op;
        n->pos = pos;
        n->len = prevEnd_ - pos;
        n->children.push_back(std::move(operand));
        finish(*n);
        return n;
    }
    return expr();
}

NodePtr Parser::ref() {
    auto n = std::make_unique<Node>();
    n->pos = cur_.pos;
    if (at(TokenKind::String)) {
        if (cur_.text.trimmed().isEmpty()) failHere(CmdText(str::kReportPathEmpty));
        n->report = cur_.text;
        n->external = true;
        advance();
        expect(TokenKind::Arrow, "'->'");
    }
    if (at(TokenKind::CellRef)) {
        n->kind = NodeKind::CellRef;
        n->cell1 = cellOf(cur_);
        advance();
        if (at(TokenKind::Colon)) {
            advance();
            if (!at(TokenKind::CellRef)) unexpected("cell reference");
            const CellPos other = cellOf(cur_);
            advance();
            n->kind = NodeKind::Area;
            n->cell2 = {std::max(n->cell1.row, other.row), std::max(n->cell1.col, other.col)};
            n->cell1 = {std::min(n->cell1.row, other.row), std::min(n->cell1.col, other.col)};
        }
    } else if (at(TokenKind::VRef)) {
        if (!cur_.refError.isEmpty()) failHere(cur_.refError);
        n->kind = NodeKind::VRef;
        n->var1 = cur_.var;
        advance();
        if (at(TokenKind::Colon)) {
            advance();
            if (!at(TokenKind::VRef)) unexpected("V_ name");
            if (!cur_.refError.isEmpty()) failHere(cur_.refError);
            VarRef a = n->var1;
            VarRef b = cur_.var;
            if (a.axis != b.axis || (a.line == 0) != (b.line == 0))
                failHere(CmdText(str::kVAreaEndsDiffer));
            advance();
            n->kind = NodeKind::VRefArea;
            n->var1 = {a.axis, std::min(a.index, b.index), std::min(a.line, b.line)};
            n->var2 = {a.axis, std::max(a.index, b.index), std::max(a.line, b.line)};
        }
    } else {
        unexpected("cell reference");
    }
    if (at(TokenKind::At)) {
        advance();
        n->page = integer(1, kMaxPage, "page number");
    }
    n->len = prevEnd_ - n->pos;
    return n;
}

NodePtr Parser::keyNode() {
    if (at(TokenKind::Ident) && !isReservedWord(cur_)) {
        NodePtr n = leaf(NodeKind::Ident, cur_);
        n->text = cur_.text;
        advance();
        return n;
    }
    if (at(TokenKind::CellRef)) {
        NodePtr n = leaf(NodeKind::CellRef, cur_);
        n->cell1 = cellOf(cur_);
        advance();
        return n;
    }
    if (at(TokenKind::VRef)) {
        if (!cur_.refError.isEmpty()) failHere(cur_.refError);
        NodePtr n = leaf(NodeKind::VRef, cur_);
        n->var1 = cur_.var;
        advance();
        return n;
    }
    unexpected("keyword name, cell or V_ name");
}

int Parser::integer(int min, int max, const char* what) {
    if (!at(TokenKind::Number)) unexpected(what);
    const double v = cur_.number;
    if (v != std::floor(v) || v < min || v > max)
        failHere(CmdText(str::kWholeNumberRange).arg(wantedText(what)).arg(min).arg(max));
    advance();
    return int(v);
}

QString Parser::fileName(bool allowEmpty) {
    if (!at(TokenKind::String)) unexpected("quoted file name");
    if (!allowEmpty && cur_.text.trimmed().isEmpty()) failHere(CmdText(str::kScriptFileNameEmpty));
    QString s = cur_.text;
    advance();
    return s;
}

// ---------------------------------------------------------------- formulas

void Parser::formula(Formula& f) {
    // "TOTAL expr" marks a formula evaluated on consolidation result pages;
    // "TOTAL(" is the statistic function.
    if (atWord("TOTAL")) {
        const Token& next = peek();
        if ((next.kind == TokenKind::Number || next.kind == TokenKind::String ||
             next.kind == TokenKind::Ident || next.kind == TokenKind::CellRef ||
             next.kind == TokenKind::VRef) &&
            !isReservedWord(next)) {
            f.totalKind = true;
            advance();
        }
    }
    f.expr = cond();
    if (atWord("FOR")) {
        advance();
        f.filter = cond();
    }
    if (atWord("RELATION")) {
        advance();
        Relation r;
        r.key = keyNode();
        expectWord("WITH");
        r.path = fileName();
        expect(TokenKind::Arrow, "'->'");
        r.relatedKey = keyNode();
        f.relation = std::move(r);
    }
}

void Parser::target(Target& t) {
    t.pos = cur_.pos;
    if (at(TokenKind::CellRef)) {
        t.kind = Target::Kind::Cell;
        t.first = t.last = cellOf(cur_);
        advance();
        if (at(TokenKind::Colon)) {
            advance();
            if (!at(TokenKind::CellRef)) unexpected("cell reference");
            const CellPos other = cellOf(cur_);
            advance();
            t.kind = Target::Kind::Area;
            t.last = {std::max(t.first.row, other.row), std::max(t.first.col, other.col)};
            t.first = {std::min(t.first.row, other.row), std::min(t.first.col, other.col)};
        }
        return;
    }
    if (at(TokenKind::VRef)) {
        if (!cur_.refError.isEmpty()) failHere(cur_.refError);
        t.kind = Target::Kind::Var;
        t.var = cur_.var;
        advance();
        return;
    }
    if (at(TokenKind::Ident) && !isReservedWord(cur_)) {
        t.kind = Target::Kind::Name;
        t.name = cur_.text;
        advance();
        return;
    }
    unexpected("cell, area or variable name");
}

// ---------------------------------------------------------------- commands

void Parser::command(Command& c) {
    c.pos = cur_.pos;
    // A command word followed by "=" is an assignment to a variable of that name.
    const bool word = at(TokenKind::Ident) && peek().kind != TokenKind::Eq;
    auto is = [&](const char* w) { return word && atWord(w); };

    if (is("LET")) {
        advance();
        c.let = true;
    } else if (is("FREE")) {
        c.kind = CommandKind::Free;
        advance();
        for (;;) {
            if (!at(TokenKind::Ident) || isReservedWord(cur_)) unexpected("variable name");
            c.names << cur_.text;
            advance();
            if (!at(TokenKind::Comma)) return;
            advance();
        }
    } else if (is("FIND")) {
        c.kind = CommandKind::Find;
        advance();
        expectWord("FOR");
        c.forCond = cond();
        return;
    } else if (is("GFIND")) {
        c.kind = CommandKind::GFind;
        advance();
        expectWord("FOR");
        if (!at(TokenKind::Semicolon)) c.forCond = cond();
        expect(TokenKind::Semicolon, "';'");
        c.varCond = cond();
        return;
    } else if (is("CONTINUE")) {
        c.kind = CommandKind::Continue;
        advance();
        return;
    } else if (is("TOTAL")) {
        c.kind = CommandKind::Total;
        advance();
        if (atWord("TO")) {
            advance();
            c.file = fileName();
        }
        if (atWord("KEY")) {
            advance();
            if (!at(TokenKind::VRef)) unexpected("V_ name");
            c.key = keyNode();
        }
        if (atWord("FOR")) {
            advance();
            c.forCond = cond();
        }
        return;
    } else if (is("GTOTAL")) {
        c.kind = CommandKind::GTotal;
        advance();
        if (atWord("FOR")) {
            advance();
            if (!at(TokenKind::Semicolon) && !at(TokenKind::End)) c.forCond = cond();
            if (at(TokenKind::Semicolon)) {
                advance();
                c.varCond = cond();
            }
        }
        return;
    } else if (is("APPEND")) {
        c.kind = CommandKind::Append;
        advance();
        expectWord("FROM");
        c.file = fileName();
        if (atWord("FOR")) {
            advance();
            c.forCond = cond();
        }
        return;
    } else if (is("DELETE")) {
        c.kind = CommandKind::Delete;
        advance();
        if (atWord("ALL")) {
            c.all = true;
            advance();
        } else if (at(TokenKind::Number)) {
            for (;;) {
                c.pages.push_back(integer(1, kMaxPage, "page number"));
                if (!at(TokenKind::Comma)) break;
                advance();
            }
        } else if (!atWord("FOR")) {
            unexpected("ALL, page numbers or FOR");
        }
        if (atWord("FOR")) {
            advance();
            c.forCond = cond();
        }
        return;
    } else if (is("SORT")) {
        c.kind = CommandKind::Sort;
        advance();
        if (atWord("PAGES")) {
            c.sortScope = SortScope::Pages;
            advance();
        } else if (atWord("VAR")) {
            c.sortScope = SortScope::Var;
            advance();
        }
        expectWord("BY");
        for (;;) {
            if (c.sortKeys.size() == 3) failHere(CmdText(str::kThreeSortKeys));
            SortKey k;
            k.key = keyNode();
            if (atWord("DESC")) {
                k.descending = true;
                advance();
            } else if (atWord("ASC")) {
                advance();
            }
            c.sortKeys.push_back(std::move(k));
            if (!at(TokenKind::Comma)) return;
            advance();
        }
    } else if (is("ROUND")) {
        c.kind = CommandKind::Round;
        advance();
        if (atWord("TO")) {
            advance();
            c.file = fileName();
        }
        return;
    } else if (is("CHECK") || is("RECALC")) {
        c.kind = atWord("CHECK") ? CommandKind::Check : CommandKind::Recalc;
        advance();
        if (atWord("ALL")) {
            c.all = true;
            advance();
        }
        return;
    } else if (is("BROWSE")) {
        c.kind = CommandKind::Browse;
        advance();
        // Empty pieces ("A1:C3,,E5") are skipped as the pivot dialog does.
        while (!at(TokenKind::End) && !atWord("LABELS")) {
            if (at(TokenKind::Comma)) {
                advance();
                continue;
            }
            NodePtr area = ref();
            if (area->kind != NodeKind::CellRef && area->kind != NodeKind::Area)
                throw ParseError{area->pos, CmdText(str::kRefExpected)};
            c.areas.push_back(std::move(area));
            if (!at(TokenKind::Comma)) break;
            advance();
        }
        if (atWord("LABELS")) {
            advance();
            c.labels = fileName(true);
        }
        return;
    } else if (is("MAIL")) {
        c.kind = CommandKind::Mail;
        advance();
        if (at(TokenKind::Ident) || at(TokenKind::String)) {
            const QString m = cur_.text.trimmed().toUpper();
            if (m != u"S" && m != u"A" && m != u"P") unexpected("S, A or P");
            c.mailMode = m[0];
            advance();
        }
        return;
    } else if (is("MENU")) {
        c.kind = CommandKind::Menu;
        advance();
        if (at(TokenKind::String)) c.file = fileName(true);
        return;
    } else if (is("DO")) {
        c.kind = CommandKind::Do;
        advance();
        c.file = fileName();
        return;
    } else if (is("CONVERT")) {
        c.kind = CommandKind::Convert;
        advance();
        c.file = fileName();
        expectWord("TO");
        c.file2 = fileName();
        if (atWord("PAGE")) {
            advance();
            c.page = integer(1, kMaxPage, "page number");
        }
        return;
    } else if (is("LIST")) {
        c.kind = CommandKind::ListMemory;
        advance();
        expectWord("MEMORY");
        return;
    } else if (is("HELP")) {
        c.kind = CommandKind::Help;
        advance();
        return;
    }

    // [LET] target = formula
    c.kind = CommandKind::Assign;
    if (!c.let && at(TokenKind::Ident) && peek().kind != TokenKind::Eq &&
        peek().kind != TokenKind::End)
        failHere(CmdText(str::kUnknownCommand).arg(describe(cur_)));
    target(c.target);
    expect(TokenKind::Eq, "'='");
    formula(c.formula);
}

// ---------------------------------------------------------------- entry points

std::unique_ptr<Command> Parser::parseLine(ParseError* error) {
    auto c = std::make_unique<Command>();
    if (IsCommentLine(text_)) return c;
    try {
        advance();
        command(*c);
        expectEnd();
    } catch (const ParseError& e) {
        return failed<std::unique_ptr<Command>>(error, e);
    }
    return c;
}

std::unique_ptr<Formula> Parser::parseFormula(ParseError* error) {
    auto f = std::make_unique<Formula>();
    try {
        advance();
        formula(*f);
        expectEnd();
    } catch (const ParseError& e) {
        return failed<std::unique_ptr<Formula>>(error, e);
    }
    return f;
}

NodePtr Parser::parseExpression(ParseError* error) {
    try {
        advance();
        NodePtr n = cond();
        expectEnd();
        return n;
    } catch (const ParseError& e) {
        return failed<NodePtr>(error, e);
    }
}

void Parser::auditLine(std::vector<AuditRelation>& out, size_t& groupStart, int line, int offset) {
    advance();
    while (!at(TokenKind::End)) {
        if (atWord("MESS")) {
            advance();
            if (!at(TokenKind::String)) unexpected("quoted message");
            for (size_t i = groupStart; i < out.size(); ++i) {
                out[i].message = cur_.text;
                out[i].hasMessage = true;
            }
            groupStart = out.size();
            advance();
            expectEnd();
            return;
        }
        const int pos = cur_.pos;
        NodePtr rel = cond();
        if (rel->kind != NodeKind::Compare && rel->kind != NodeKind::Logical)
            throw ParseError{pos, CmdText(str::kRelationExpected)};
        out.push_back({std::move(rel), {}, false, line, offset + pos});
        if (at(TokenKind::Comma)) {
            advance();
            continue;
        }
        if (!at(TokenKind::End) && !atWord("MESS")) unexpected("',' or MESS");
    }
}

std::unique_ptr<Command> ParseLine(QStringView text, ParseError* error) {
    return Parser(text).parseLine(error);
}

std::unique_ptr<Formula> ParseFormula(QStringView text, ParseError* error) {
    return Parser(text).parseFormula(error);
}

NodePtr ParseExpression(QStringView text, ParseError* error) {
    return Parser(text).parseExpression(error);
}

bool ParseAuditFormulas(QStringView text, std::vector<AuditRelation>* out, ParseError* error) {
    out->clear();
    size_t groupStart = 0;
    for (const ScriptLine& line : SplitScriptLines(text)) {
        Parser p(line.text);
        try {
            p.auditLine(*out, groupStart, line.number, line.offset);
        } catch (const ParseError& e) {
            if (error) *error = {line.offset + e.position, e.reason};
            out->clear();
            return false;
        }
    }
    return true;
}

}  // namespace qor::cmd
