#include "cmdlang/lexer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <cstring>

#include "qstringprint.h"

using namespace qor::cmd;

namespace {

std::vector<Token> lex(const QString& text) { return Lexer::tokenize(text); }

// Position of the lexing error, -1 when the text lexes.
int lexErrorAt(const QString& text) {
    try {
        Lexer::tokenize(text);
    } catch (const ParseError& e) {
        return e.position;
    }
    return -1;
}

}  // namespace

TEST(Lexer, ChineseNamesAndQuotedValues) {
    const auto t = lex(QStringLiteral("单位名称=\"北京\" AND 年>=2004"));
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[0].kind, TokenKind::Ident);
    EXPECT_EQ(t[0].text, QStringLiteral("单位名称"));
    EXPECT_EQ(t[1].kind, TokenKind::Eq);
    EXPECT_EQ(t[2].kind, TokenKind::String);
    EXPECT_EQ(t[2].text, QStringLiteral("北京"));
    EXPECT_TRUE(t[3].isWord("and"));
    EXPECT_EQ(t[4].text, QStringLiteral("年"));
    EXPECT_EQ(t[5].kind, TokenKind::Ge);
    EXPECT_EQ(t[6].number, 2004);
    EXPECT_EQ(t[7].kind, TokenKind::End);
    // Characters outside the basic plane are letters too.
    const auto wide = lex(QString::fromUcs4(U"\U00020000x_1"));
    EXPECT_EQ(wide[0].kind, TokenKind::Ident);
    EXPECT_EQ(wide[0].len, 5);
    // An ideographic space separates like a blank.
    EXPECT_EQ(lex(QStringLiteral("A1\u3000B1")).size(), 3u);
}

TEST(Lexer, CellReferencesAndTheirBounds) {
    const auto t = lex(QStringLiteral("A1:b2"));
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].kind, TokenKind::CellRef);
    EXPECT_EQ(t[0].cell, (CellPos{1, 1}));
    EXPECT_EQ(t[1].kind, TokenKind::Colon);
    EXPECT_EQ(t[2].cell, (CellPos{2, 2}));

    const auto iv = lex(QStringLiteral("IV9999"))[0];
    EXPECT_EQ(iv.kind, TokenKind::CellRef);
    EXPECT_TRUE(iv.refError.isEmpty());
    EXPECT_EQ(iv.cell, (CellPos{9999, 256}));
    EXPECT_EQ(lex(QStringLiteral("AA1"))[0].cell.col, 27);

    for (const char* bad : {"IW1", "ZZ5", "A10000", "A0", "B000000000000000001"}) {
        const Token t1 = lex(QString::fromLatin1(bad))[0];
        EXPECT_EQ(t1.kind, TokenKind::CellRef) << bad;
        EXPECT_FALSE(t1.refError.isEmpty()) << bad;
    }
    // Three letters or a letter after the digits: an ordinary name.
    EXPECT_EQ(lex(QStringLiteral("ABC1"))[0].kind, TokenKind::Ident);
    EXPECT_EQ(lex(QStringLiteral("A1B"))[0].kind, TokenKind::Ident);
}

TEST(Lexer, VariableAreaNames) {
    const Token a3 = lex(QStringLiteral("V_A3"))[0];
    EXPECT_EQ(a3.kind, TokenKind::VRef);
    EXPECT_TRUE(a3.refError.isEmpty());
    EXPECT_EQ(a3.var, (VarRef{VarRef::Axis::Column, 1, 3}));
    EXPECT_EQ(lex(QStringLiteral("v_ab"))[0].var, (VarRef{VarRef::Axis::Column, 28, 0}));
    EXPECT_EQ(lex(QStringLiteral("V_12"))[0].var, (VarRef{VarRef::Axis::Row, 12, 0}));
    for (const char* bad : {"V__A1", "V_", "V_ABC", "V_A12345", "V_0", "V_A0", "V_1A", "V_IW"}) {
        const Token t = lex(QString::fromLatin1(bad))[0];
        EXPECT_EQ(t.kind, TokenKind::VRef) << bad;
        EXPECT_FALSE(t.refError.isEmpty()) << bad;
    }
}

TEST(Lexer, OtherReportReference) {
    const auto t = lex(QStringLiteral("\"c:\\x.rep\"->A1@2"));
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].kind, TokenKind::String);
    EXPECT_EQ(t[0].text, QStringLiteral("c:\\x.rep"));
    EXPECT_EQ(t[1].kind, TokenKind::Arrow);
    EXPECT_EQ(t[2].kind, TokenKind::CellRef);
    EXPECT_EQ(t[3].kind, TokenKind::At);
    EXPECT_EQ(t[4].number, 2);
}

TEST(Lexer, Numbers) {
    EXPECT_EQ(lex(QStringLiteral(".5"))[0].number, 0.5);
    EXPECT_EQ(lex(QStringLiteral("1e3"))[0].number, 1000);
    EXPECT_EQ(lex(QStringLiteral("1."))[0].number, 1);
    EXPECT_EQ(lex(QStringLiteral("1.5E-2"))[0].number, 0.015);
    const auto big = lex(QStringLiteral("-1.7E+308"));
    EXPECT_EQ(big[0].kind, TokenKind::Minus);
    EXPECT_EQ(big[1].number, 1.7e308);
    EXPECT_EQ(big[1].len, 8);
    // Typing errors are refused where the number starts.
    EXPECT_EQ(lexErrorAt(QStringLiteral("x+1e")), 2);
    EXPECT_EQ(lexErrorAt(QStringLiteral("1e+")), 0);
    EXPECT_EQ(lexErrorAt(QStringLiteral("A1*12abc")), 3);
    EXPECT_EQ(lexErrorAt(QStringLiteral("1.2.3")), 0);
    EXPECT_EQ(lexErrorAt(QStringLiteral("1e999")), 0);
}

// Digit runs on both sides of fifteen digits, with leading zeros and
// followed by a point or an exponent, give the value the general
// conversion gives.
TEST(Lexer, WholeNumbersOfAnyLength) {
    for (const char* text : {"0", "007", "2004", "999999999999999", "1000000000000000",
                             "9007199254740993", "123456789012345678901234567890", "12.",
                             "12e2", "000000000000000000001"}) {
        const auto tokens = lex(QString::fromLatin1(text));
        ASSERT_EQ(tokens[0].kind, TokenKind::Number) << text;
        EXPECT_EQ(tokens[0].number, QByteArray(text).toDouble()) << text;
        EXPECT_EQ(tokens[0].len, int(std::strlen(text))) << text;
    }
    EXPECT_EQ(lexErrorAt(QStringLiteral("2004年")), 0);
}

TEST(Lexer, Strings) {
    EXPECT_EQ(lex(QStringLiteral("\"a\"\"b\""))[0].text, QStringLiteral("a\"b"));
    EXPECT_EQ(lex(QStringLiteral("\"\"\"\""))[0].text, QStringLiteral("\""));
    const auto empty = lex(QStringLiteral("\"\"+\"\""));
    EXPECT_EQ(empty[0].text, QString());
    EXPECT_EQ(empty[1].kind, TokenKind::Plus);
    EXPECT_EQ(lexErrorAt(QStringLiteral("x=\"abc")), 2);
    EXPECT_EQ(lexErrorAt(QStringLiteral("x=\"a\"\"")), 2);
    EXPECT_EQ(lexErrorAt(QStringLiteral("\"ab\ncd\"")), 0);
}

TEST(Lexer, OperatorsAndBadCharacters) {
    const auto t = lex(QStringLiteral("<><=>=< > = ->-@:;^,()/*+"));
    const std::vector<TokenKind> want = {
        TokenKind::Ne,    TokenKind::Le,     TokenKind::Ge,        TokenKind::Lt,
        TokenKind::Gt,    TokenKind::Eq,     TokenKind::Arrow,     TokenKind::Minus,
        TokenKind::At,    TokenKind::Colon,  TokenKind::Semicolon, TokenKind::Caret,
        TokenKind::Comma, TokenKind::LParen, TokenKind::RParen,    TokenKind::Slash,
        TokenKind::Star,  TokenKind::Plus,   TokenKind::End};
    ASSERT_EQ(t.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(t[i].kind, want[i]) << i;
    EXPECT_EQ(lexErrorAt(QStringLiteral("A1 # 2")), 3);
    EXPECT_EQ(lexErrorAt(QString(QStringLiteral("A1+")) + QChar(0)), 3);
    EXPECT_EQ(lexErrorAt(QStringLiteral("A1\uFF0BB1")), 2);  // a full-width plus
}

TEST(Lexer, NameLength) {
    EXPECT_EQ(lexErrorAt(QString(64, u'x')), -1);
    EXPECT_EQ(lexErrorAt(QStringLiteral("1+") + QString(65, u'x')), 2);
    EXPECT_EQ(lex(QStringLiteral("&abcdefg"))[0].kind, TokenKind::Ident);
}

TEST(Script, SplitsLinesAndSkipsComments) {
    const QString script = QStringLiteral(
        "\uFEFFlet A1=B1+C1\r\n"
        "* a comment\r\n"
        "\r\n"
        "   ; another\n"
        "GFIND FOR ;V_B>100\r\n"
        "TOTAL");
    const auto lines = SplitScriptLines(script);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, QStringLiteral("let A1=B1+C1"));
    EXPECT_EQ(lines[0].number, 1);
    EXPECT_EQ(lines[0].offset, 1);
    EXPECT_EQ(lines[1].text, QStringLiteral("GFIND FOR ;V_B>100"));
    EXPECT_EQ(lines[1].number, 5);
    EXPECT_EQ(script.mid(lines[1].offset, 5), QStringLiteral("GFIND"));
    EXPECT_EQ(lines[2].text, QStringLiteral("TOTAL"));
    EXPECT_TRUE(SplitScriptLines(QStringLiteral("\r\n\r\n")).empty());
}
