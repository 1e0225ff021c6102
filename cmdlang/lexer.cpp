#include "cmdlang/lexer.h"

#include <cmath>

#include "cmdlang/cmdtexts.h"

namespace qor::cmd {

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isAsciiLetter(QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool isBlank(QChar c) { return c.isSpace() || c == QChar(0xFEFF); }

[[noreturn]] void fail(int pos, const QString& reason) { throw ParseError{pos, reason}; }

// Value of a run of ASCII digits, saturating so that long runs stay
// out of range instead of wrapping.
int digitsValue(QStringView digits) {
    int v = 0;
    for (QChar c : digits) {
        v = v * 10 + (c.unicode() - u'0');
        if (v > 1000000) return 1000000;
    }
    return v;
}

// "A1" .. "IV9999" (any case, any number of row digits): fills the cell or
// says why it is out of range. False when the word is not shaped like a cell.
bool classifyCell(QStringView w, Token& t) {
    int letters = 0;
    while (letters < w.size() && isAsciiLetter(w[letters])) ++letters;
    if (letters < 1 || letters > 2 || letters == w.size()) return false;
    for (int i = letters; i < w.size(); ++i)
        if (!isAsciiDigit(w[i])) return false;
    const int col = ColumnFromLetters(w.left(letters));
    const int row = digitsValue(w.mid(letters));
    t.kind = TokenKind::CellRef;
    if (col == 0)
        t.refError = CmdText(str::kColumnBeyondIV).arg(w.left(letters).toString());
    else if (row < 1 || row > kMaxRow || w.size() - letters > 4)
        t.refError = CmdText(str::kRowOutside).arg(w.toString());
    t.cell = {row, col};
    return true;
}

// "V_A", "V_A3", "V_3" (prefix in either case).
void classifyVar(QStringView w, Token& t) {
    t.kind = TokenKind::VRef;
    const QStringView rest = w.mid(2);
    const QString bad = CmdText(str::kNotVarAreaName).arg(w.toString());
    int letters = 0;
    while (letters < rest.size() && isAsciiLetter(rest[letters])) ++letters;
    int digits = 0;
    while (letters + digits < rest.size() && isAsciiDigit(rest[letters + digits])) ++digits;
    if (letters + digits != rest.size() || rest.isEmpty() || letters > 2 || digits > 4) {
        t.refError = bad;
        return;
    }
    const int number = digits ? digitsValue(rest.mid(letters)) : 0;
    if (digits && number == 0) {
        t.refError = bad;
        return;
    }
    if (letters) {
        t.var.axis = VarRef::Axis::Column;
        t.var.index = ColumnFromLetters(rest.left(letters));
        t.var.line = number;
        if (t.var.index == 0) t.refError = bad;
    } else {
        t.var.axis = VarRef::Axis::Row;
        t.var.index = number;
        t.var.line = 0;
    }
}

}  // namespace

bool IsVariableAreaName(QStringView word) {
    if (word.size() < 2 || (word[0] != u'V' && word[0] != u'v') || word[1] != u'_') return false;
    Token t;
    classifyVar(word, t);
    return t.refError.isEmpty();
}

bool Token::isWord(const char* word) const {
    return kind == TokenKind::Ident &&
           text.compare(QLatin1StringView(word), Qt::CaseInsensitive) == 0;
}

char32_t Lexer::codePointAt(int pos, int* units) const {
    const QChar c = text_[pos];
    if (c.isHighSurrogate() && pos + 1 < text_.size() && text_[pos + 1].isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text_[pos + 1]);
    }
    *units = 1;
    return c.unicode();
}

void Lexer::skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
}

Token Lexer::next() {
    skipBlanks();
    Token t;
    t.pos = pos_;
    if (pos_ >= text_.size()) {
        t.kind = TokenKind::End;
        return t;
    }
    const QChar c = text_[pos_];
    const QChar n = pos_ + 1 < text_.size() ? text_[pos_ + 1] : QChar();
    if (isAsciiDigit(c) || (c == u'.' && isAsciiDigit(n))) return lexNumber();
    if (c == u'"') return lexString();
    int units = 0;
    const char32_t cp = codePointAt(pos_, &units);
    if (QChar::isLetter(cp) || c == u'_' || c == u'&') return lexWord();

    auto op = [&](TokenKind k, int len) {
        t.kind = k;
        t.len = len;
        pos_ += len;
        return t;
    };
    switch (c.unicode()) {
        case u'+':
            return op(TokenKind::Plus, 1);
        case u'-':
            return n == u'>' ? op(TokenKind::Arrow, 2) : op(TokenKind::Minus, 1);
        case u'*':
            return op(TokenKind::Star, 1);
        case u'/':
            return op(TokenKind::Slash, 1);
        case u'^':
            return op(TokenKind::Caret, 1);
        case u'=':
            return op(TokenKind::Eq, 1);
        case u'<':
            if (n == u'>') return op(TokenKind::Ne, 2);
            if (n == u'=') return op(TokenKind::Le, 2);
            return op(TokenKind::Lt, 1);
        case u'>':
            return n == u'=' ? op(TokenKind::Ge, 2) : op(TokenKind::Gt, 1);
        case u'(':
            return op(TokenKind::LParen, 1);
        case u')':
            return op(TokenKind::RParen, 1);
        case u',':
            return op(TokenKind::Comma, 1);
        case u':':
            return op(TokenKind::Colon, 1);
        case u';':
            return op(TokenKind::Semicolon, 1);
        case u'@':
            return op(TokenKind::At, 1);
        default:
            break;
    }
    // What a shape edit leaves where a referenced row or column went.
    if (text_.mid(pos_).startsWith(u"#REF!")) fail(pos_, CmdText(str::kDeletedReference));
    const QString shown = c.isPrint() ? text_.mid(pos_, units).toString()
                                      : QStringLiteral("U+%1").arg(uint(cp), 4, 16, QChar(u'0'));
    fail(pos_, CmdText(str::kBadCharacter).arg(shown));
}

Token Lexer::lexNumber() {
    Token t;
    t.kind = TokenKind::Number;
    t.pos = pos_;
    int p = pos_;
    const int size = int(text_.size());
    while (p < size && isAsciiDigit(text_[p])) ++p;
    if (p < size && text_[p] == u'.') {
        ++p;
        while (p < size && isAsciiDigit(text_[p])) ++p;
    }
    if (p < size && (text_[p] == u'e' || text_[p] == u'E')) {
        int q = p + 1;
        if (q < size && (text_[q] == u'+' || text_[q] == u'-')) ++q;
        if (q >= size || !isAsciiDigit(text_[q])) fail(pos_, CmdText(str::kExponentDigits));
        while (q < size && isAsciiDigit(text_[q])) ++q;
        p = q;
    }
    // "12abc", "1.2.3" and the like are typing errors, not two tokens.
    if (p < size) {
        const QChar c = text_[p];
        if (c == u'.' || c == u'_' || c.isLetterOrNumber())
            fail(pos_, CmdText(str::kBadNumber).arg(text_.mid(pos_, p - pos_ + 1).toString()));
    }
    bool ok = false;
    t.len = p - pos_;
    // Up to fifteen digits alone are an integer a double holds exactly:
    // summed here, as most numbers of a line are, rather than through the
    // general conversion.
    qint64 whole = 0;
    int q = pos_;
    if (t.len <= 15) {
        while (q < p && isAsciiDigit(text_[q])) whole = whole * 10 + (text_[q++].unicode() - u'0');
    }
    if (t.len <= 15 && q == p) {
        t.number = double(whole);
        ok = true;
    } else {
        t.number = text_.mid(pos_, t.len).toDouble(&ok);
    }
    if (!ok || !std::isfinite(t.number))
        fail(pos_, CmdText(str::kNumberRange).arg(text_.mid(pos_, t.len).toString()));
    pos_ = p;
    return t;
}

Token Lexer::lexString() {
    Token t;
    t.kind = TokenKind::String;
    t.pos = pos_;
    int p = pos_ + 1;
    const int size = int(text_.size());
    for (;;) {
        if (p >= size || text_[p] == u'\r' || text_[p] == u'\n')
            fail(pos_, CmdText(str::kNoClosingQuote));
        if (text_[p] == u'"') {
            if (p + 1 < size && text_[p + 1] == u'"') {
                t.text += u'"';
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        t.text += text_[p++];
    }
    t.len = p - pos_;
    pos_ = p;
    return t;
}

Token Lexer::lexWord() {
    Token t;
    t.kind = TokenKind::Ident;
    t.pos = pos_;
    int p = pos_;
    const int size = int(text_.size());
    int units = 0;
    // The first character is a letter, '_' or '&' (checked by the caller).
    codePointAt(p, &units);
    p += units;
    while (p < size) {
        const QChar c = text_[p];
        if (isAsciiDigit(c) || c == u'_') {
            ++p;
            continue;
        }
        const char32_t cp = codePointAt(p, &units);
        if (!QChar::isLetter(cp)) break;
        p += units;
    }
    t.len = p - pos_;
    if (t.len > kMaxIdentLength) fail(pos_, CmdText(str::kNameTooLong).arg(kMaxIdentLength));
    t.text = text_.mid(pos_, t.len).toString();
    pos_ = p;
    const QStringView w(t.text);
    if (w.size() >= 2 && (w[0] == u'V' || w[0] == u'v') && w[1] == u'_')
        classifyVar(w, t);
    else
        classifyCell(w, t);
    return t;
}

std::vector<Token> Lexer::tokenize(QStringView text) {
    Lexer lexer(text);
    std::vector<Token> out;
    for (;;) {
        out.push_back(lexer.next());
        if (out.back().kind == TokenKind::End) return out;
    }
}

bool IsCommentLine(QStringView line) {
    for (QChar c : line) {
        if (isBlank(c)) continue;
        return c == u'*' || c == u';';
    }
    return true;
}

std::vector<ScriptLine> SplitScriptLines(QStringView script) {
    std::vector<ScriptLine> lines;
    int start = 0;
    if (!script.isEmpty() && script[0] == QChar(0xFEFF)) start = 1;
    int number = 1;
    while (start <= script.size()) {
        int end = int(script.indexOf(u'\n', start));
        const bool last = end < 0;
        if (last) end = int(script.size());
        int stop = end;
        if (stop > start && script[stop - 1] == u'\r') --stop;
        const QStringView line = script.mid(start, stop - start);
        if (!IsCommentLine(line)) lines.push_back({number, start, line.toString()});
        if (last) break;
        start = end + 1;
        ++number;
    }
    return lines;
}

}  // namespace qor::cmd
