#include "cmdlang/parser.h"

#include <gtest/gtest.h>

#include "cmdlang/printer.h"
#include "qstringprint.h"

using namespace qor::cmd;

namespace {

// Prefix form of a tree, for checking its shape.
QString shape(const Node& n) {
    static const char* const kOps[] = {"",   "+", "-",  "*", "/",  "^",    "neg", "pos", "=",
                                       "<>", "<", "<=", ">", ">=", "like", "and", "or",  "not"};
    QString s;
    switch (n.kind) {
        case NodeKind::Number:
            return QString::number(n.number);
        case NodeKind::String:
            return u'"' + n.text + u'"';
        case NodeKind::Ident:
            return n.text;
        case NodeKind::Empty:
            return QStringLiteral("_");
        case NodeKind::CellRef:
        case NodeKind::Area:
        case NodeKind::VRef:
        case NodeKind::VRefArea:
            return PrintExpression(n);
        case NodeKind::Call:
            s = u'[' + n.text;
            break;
        case NodeKind::Filter:
            s = QStringLiteral("(filter") + u' ' + kOps[int(n.op)];
            break;
        default:
            s = u'(' + QString::fromLatin1(kOps[int(n.op)]);
    }
    for (const NodePtr& c : n.children) s += u' ' + shape(*c);
    return s + (n.kind == NodeKind::Call ? u']' : u')');
}

QString parsed(const QString& text) {
    ParseError e;
    NodePtr n = ParseExpression(text, &e);
    return n ? shape(*n) : QStringLiteral("error@%1: %2").arg(e.position).arg(e.reason);
}

int errorAt(const QString& text) {
    ParseError e;
    return ParseExpression(text, &e) ? -1 : e.position;
}

int formulaErrorAt(const QString& text) {
    ParseError e;
    return ParseFormula(text, &e) ? -1 : e.position;
}

}  // namespace

TEST(Parser, Precedence) {
    EXPECT_EQ(parsed("1+2*3^2"), "(+ 1 (* 2 (^ 3 2)))");
    EXPECT_EQ(parsed("-2^2"), "(neg (^ 2 2))");
    EXPECT_EQ(parsed("2^3^2"), "(^ 2 (^ 3 2))");
    EXPECT_EQ(parsed("2^-1"), "(^ 2 (neg 1))");
    EXPECT_EQ(parsed("1-2-3"), "(- (- 1 2) 3)");
    EXPECT_EQ(parsed("8/4/2"), "(/ (/ 8 4) 2)");
    EXPECT_EQ(parsed("1--2"), "(- 1 (neg 2))");
    EXPECT_EQ(parsed("(1+2)*3"), "(* (+ 1 2) 3)");
    EXPECT_EQ(parsed("NOT a=b AND c"), "(and (not (= a b)) c)");
    EXPECT_EQ(parsed("a OR b AND c"), "(or a (and b c))");
    EXPECT_EQ(parsed("not not x"), "(not (not x))");
    EXPECT_EQ(parsed("A1+1>B1*2 or 名称 like \"北%\""),
              "(or (> (+ A1 1) (* B1 2)) (like 名称 \"北%\"))");
    EXPECT_EQ(parsed("年=2004 AND 月>=6"), "(and (= 年 2004) (>= 月 6))");
    // One comparison per operand, one sign per factor.
    EXPECT_EQ(errorAt("a=b=c"), 3);
    EXPECT_EQ(errorAt("--2"), 1);
    EXPECT_EQ(errorAt("1+"), 2);
    EXPECT_EQ(errorAt("(1+2"), 4);
    EXPECT_EQ(errorAt("1+2)"), 3);
    EXPECT_EQ(errorAt("A1 FOR"), 3);
    EXPECT_EQ(errorAt("x AND FOR"), 6);
}

TEST(Parser, CallsAndEmptyArguments) {
    EXPECT_EQ(parsed("PAI()"), "[PAI]");
    EXPECT_EQ(parsed("mrecno( )"), "[MRECNO]");
    EXPECT_EQ(parsed("IFF(,)"), "[IFF _ _]");
    EXPECT_EQ(parsed("IFF(a,,b)"), "[IFF a _ b]");
    EXPECT_EQ(parsed("INDB(\"f.dbf\",\"t\",\"x\",1,)"), "[INDB \"f.dbf\" \"t\" \"x\" 1 _]");
    EXPECT_EQ(parsed(" PTOTAL ( C1:C12 , >0 ) "), "[PTOTAL C1:C12 (filter > 0)]");
    EXPECT_EQ(parsed("GTOTAL ( V_A1:V_B5 )"), "[GTOTAL V_A1:V_B5]");
    EXPECT_EQ(parsed("GCOUNT(V_A, V_A>100 AND V_B<5)"), "[GCOUNT V_A (and (> V_A 100) (< V_B 5))]");
    EXPECT_EQ(parsed("TOTAL(A1:A3,年=2004)"), "[TOTAL A1:A3 (= 年 2004)]");
    EXPECT_EQ(parsed("ROUND(SQR(2)*1e3, 2)"), "[ROUND (* [SQR 2] 1000) 2]");
    EXPECT_EQ(errorAt("ROUND(1 2)"), 8);
    EXPECT_EQ(errorAt("ABS(1"), 5);
    // Areas only as whole arguments.
    EXPECT_EQ(errorAt("A1:B2+1"), 0);
    EXPECT_EQ(errorAt("1+V_A1:V_A3"), 2);
    EXPECT_EQ(errorAt("A1:B2"), 0);
    EXPECT_EQ(errorAt("ABS(>0)+>1"), 8);
}

TEST(Parser, ServiceFunctionsKeepTheirArgumentText) {
    ParseError e;
    NodePtr n = ParseExpression(QStringLiteral("QC(1001,全年,,,\"Y\")+QM(5101.01.02,月)"), &e);
    ASSERT_TRUE(n) << e.toString().toStdString();
    const Node& qc = *n->children[0];
    EXPECT_FALSE(qc.opaqueArgs);
    EXPECT_EQ(qc.children.size(), 5u);
    EXPECT_EQ(qc.rawArgs, QStringLiteral("1001,全年,,,\"Y\""));
    const Node& qm = *n->children[1];
    EXPECT_TRUE(qm.opaqueArgs);
    EXPECT_TRUE(qm.children.empty());
    EXPECT_EQ(qm.rawArgs, QStringLiteral("5101.01.02,月"));
    EXPECT_EQ(PrintExpression(*n), QStringLiteral("QC(1001,全年,,,\"Y\")+QM(5101.01.02,月)"));
    // Parentheses inside quotes do not close the call.
    n = ParseExpression(QStringLiteral("JE(\"a)\"\"b\", ¥ (x))*2"), &e);
    ASSERT_TRUE(n) << e.toString().toStdString();
    EXPECT_EQ(n->children[0]->rawArgs, QStringLiteral("\"a)\"\"b\", ¥ (x)"));
    // A name shaped like a cell may still be a function.
    EXPECT_EQ(parsed("QC2(1)"), "[QC2 1]");
    EXPECT_EQ(errorAt("QM(5101.01.02"), 3);
}

TEST(Parser, References) {
    EXPECT_EQ(parsed("B2:a1"), QStringLiteral("error@0: 区域只能作为函数的参数"));
    EXPECT_EQ(parsed("PTOTAL(B2:a1)"), "[PTOTAL A1:B2]");
    EXPECT_EQ(parsed("GTOTAL(V_B:V_A)"), "[GTOTAL V_A:V_B]");
    ParseError e;
    NodePtr n = ParseExpression(QStringLiteral("\"c:\\x.rep\"->A1@2+\"y.rep\"->V_A3"), &e);
    ASSERT_TRUE(n) << e.toString().toStdString();
    const Node& a1 = *n->children[0];
    EXPECT_EQ(a1.kind, NodeKind::CellRef);
    EXPECT_TRUE(a1.external);
    EXPECT_EQ(a1.report, QStringLiteral("c:\\x.rep"));
    EXPECT_EQ(a1.page, 2);
    EXPECT_EQ(a1.pos, 0);
    EXPECT_EQ(a1.len, 16);
    EXPECT_EQ(n->children[1]->kind, NodeKind::VRef);
    EXPECT_EQ(parsed("A1@3*2"), "(* A1@3 2)");

    EXPECT_EQ(errorAt("1+IW1"), 2);
    EXPECT_EQ(errorAt("A10000"), 0);
    EXPECT_EQ(errorAt("A0+1"), 0);
    EXPECT_EQ(errorAt("IV9999+1"), -1);
    EXPECT_EQ(errorAt("PTOTAL(A1:IW2)"), 10);
    EXPECT_EQ(errorAt("V__A1"), 0);
    EXPECT_EQ(errorAt("GTOTAL(V_A1:V_B)"), 12);
    EXPECT_EQ(errorAt("GTOTAL(V_A:V_1)"), 11);
    EXPECT_EQ(errorAt("PTOTAL(A1:V_A)"), 10);
    EXPECT_EQ(errorAt("\"\"->A1"), 0);
    EXPECT_EQ(errorAt("\"x\"->1"), 5);
    EXPECT_EQ(errorAt("A1@0"), 3);
    EXPECT_EQ(errorAt("A1@1.5"), 3);
    EXPECT_EQ(errorAt("A1@100000"), 3);
}

TEST(Parser, FormulaClauses) {
    ParseError e;
    auto f =
        ParseFormula(QStringLiteral("A1+B1 For C1>0 Relation 年 with \"d:\\b.rep\"->年度"), &e);
    ASSERT_TRUE(f) << e.toString().toStdString();
    EXPECT_EQ(shape(*f->expr), "(+ A1 B1)");
    EXPECT_EQ(shape(*f->filter), "(> C1 0)");
    ASSERT_TRUE(f->relation);
    EXPECT_EQ(f->relation->key->text, QStringLiteral("年"));
    EXPECT_EQ(f->relation->path, QStringLiteral("d:\\b.rep"));
    EXPECT_EQ(f->relation->relatedKey->text, QStringLiteral("年度"));
    EXPECT_FALSE(f->totalKind);

    f = ParseFormula(QStringLiteral("A1 relation V_A WITH \"b.rep\"->V_B"), &e);
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->filter);
    EXPECT_EQ(f->relation->key->kind, NodeKind::VRef);

    f = ParseFormula(QStringLiteral("TOTAL B1+C1"), &e);
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->totalKind);
    EXPECT_EQ(shape(*f->expr), "(+ B1 C1)");
    f = ParseFormula(QStringLiteral("TOTAL(A1:A3)+1"), &e);
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->totalKind);

    EXPECT_EQ(formulaErrorAt("A1 For"), 6);
    EXPECT_EQ(formulaErrorAt("A1 Relation 年 \"b.rep\"->年"), 14);
    EXPECT_EQ(formulaErrorAt("A1 Relation 年 with \"\"->年"), 19);
    EXPECT_EQ(formulaErrorAt("A1 Relation 年 with \"b.rep\"年"), 26);
    EXPECT_EQ(formulaErrorAt("A1 Relation 年 with \"b.rep\"->年 For x"), 30);
    EXPECT_EQ(formulaErrorAt("A1 GTOTAL ( V_A1:V_B5 ) "), 3);  // no operator after A1
}

TEST(Parser, NestingIsBounded) {
    auto nested = [](int depth) { return QString(depth, u'(') + u'1' + QString(depth, u')'); };
    EXPECT_EQ(errorAt(nested(200)), -1);
    ParseError e;
    EXPECT_FALSE(ParseExpression(nested(5000), &e));
    EXPECT_EQ(e.reason, QStringLiteral("表达式嵌套太深"));
    EXPECT_GT(e.position, 200);

    QString calls;
    for (int i = 0; i < 400; ++i) calls += QStringLiteral("ABS(");
    calls += u'1' + QString(400, u')');
    EXPECT_NE(errorAt(calls), -1);
    EXPECT_NE(errorAt(QStringLiteral("NOT ").repeated(400) + u'x'), -1);
    EXPECT_NE(errorAt(QStringLiteral("2^").repeated(400) + u'2'), -1);

    // Long flat chains are fine up to the height bound, then refused.
    QString sum = QStringLiteral("A1");
    for (int i = 0; i < 1000; ++i) sum += QStringLiteral("+A1");
    NodePtr n = ParseExpression(sum, &e);
    ASSERT_TRUE(n);
    EXPECT_EQ(PrintExpression(*n), sum);
    EXPECT_NE(errorAt(QStringLiteral("1+").repeated(5000) + u'1'), -1);
}

TEST(Parser, PrintingRoundTrips) {
    const char* const cases[] = {
        "1+2*3^2",
        "(1+2)*3",
        "-2^2",
        "(-2)^2",
        "-(-2)",
        "2^(3^2)",
        "(2^3)^2",
        "1-(2-3)",
        "1--2",
        "NOT (a AND b) OR c",
        "(a OR b) AND NOT c=d",
        "(a<b)=(c>d)",
        "A1<-1",
        "\"say \"\"hi\"\"\"+\"x\"",
        "PTOTAL(C1:C12,>=0)+GTOTAL(V_A1:V_B5)",
        "IFF(A1>0,,\"neg\")",
        "PTOTAL(\"c:\\a b.rep\"->B3:C4@12)",
        "V_3*V_AB7",
        "0.1+1e+21+1.5e-07",
        "名称 LIKE \"a%\"",
        "QM(5101.01.02,月)",
        // Upper-casing a name must not grow letters into combining marks.
        "cΐҼ(=B4)+-m(2)",
    };
    for (const char* text : cases) {
        ParseError e;
        const QString source = QString::fromUtf8(text);
        NodePtr first = ParseExpression(source, &e);
        ASSERT_TRUE(first) << text << ": " << e.toString().toStdString();
        const QString printed = PrintExpression(*first);
        NodePtr second = ParseExpression(printed, &e);
        ASSERT_TRUE(second) << printed.toStdString();
        EXPECT_TRUE(first->sameAs(*second)) << text << " -> " << printed.toStdString();
        EXPECT_EQ(PrintExpression(*second), printed);
    }
    EXPECT_EQ(PrintExpression(*ParseExpression(QStringLiteral("( a1 + b2 ) * 2"))),
              QStringLiteral("(A1+B2)*2"));
    EXPECT_EQ(PrintExpression(*ParseExpression(QStringLiteral("sum(1)+cΐ(2)"))),
              QStringLiteral("SUM(1)+Cΐ(2)"));
    auto f = ParseFormula(QStringLiteral("total a1 for b1>0 relation 年 with \"r.rep\"->年"));
    ASSERT_TRUE(f);
    EXPECT_EQ(PrintFormula(*f), QStringLiteral("TOTAL A1 For B1>0 Relation 年 with \"r.rep\"->年"));
}

TEST(Parser, AuditFormulas) {
    const QString text = QStringLiteral(
        "A15=A12+A13,\r\n"
        "A15+A16=B15+B16\r\n"
        "MESS \"收入与支出不等！\"\r\n"
        "D12>D11+D10+D9       MESS \"D12<=D11+D10+D9！\"\r\n"
        "A1=1, A2=2\r\n");
    std::vector<AuditRelation> rel;
    ParseError e;
    ASSERT_TRUE(ParseAuditFormulas(text, &rel, &e)) << e.toString().toStdString();
    ASSERT_EQ(rel.size(), 5u);
    EXPECT_EQ(rel[0].message, QStringLiteral("收入与支出不等！"));
    EXPECT_EQ(rel[1].message, QStringLiteral("收入与支出不等！"));
    EXPECT_EQ(rel[1].line, 2);
    EXPECT_EQ(rel[2].message, QStringLiteral("D12<=D11+D10+D9！"));
    EXPECT_EQ(rel[2].line, 4);
    EXPECT_FALSE(rel[3].hasMessage);
    EXPECT_FALSE(rel[4].hasMessage);
    EXPECT_EQ(text.mid(rel[4].position, 4), QStringLiteral("A2=2"));

    EXPECT_FALSE(ParseAuditFormulas(QStringLiteral("A1=B1\r\nA2+B2\r\n"), &rel, &e));
    EXPECT_EQ(e.position, 7);
    EXPECT_TRUE(rel.empty());
    EXPECT_FALSE(ParseAuditFormulas(QStringLiteral("A1=B1 MESS"), &rel, &e));
    EXPECT_FALSE(ParseAuditFormulas(QStringLiteral("A1=B1 MESS \"x\" A2=B2"), &rel, &e));
    EXPECT_EQ(e.position, 15);
}

// Quoted texts repeated across formulas share one copy, and stay right when
// more distinct texts were read than are kept for sharing.
TEST(Parser, RepeatedQuotedTextsAreSharedAndStayRight) {
    ParseError e;
    NodePtr a = ParseExpression(QStringLiteral("INDBSQL(\"001xxx20240101\", \"凭证\", \"金额\", 1, \"\")"), &e);
    NodePtr b = ParseExpression(QStringLiteral("INDBSQL(\"001xxx20240101\", \"凭证\", \"金额\", 2, \"\")"), &e);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->children[1]->text.constData(), b->children[1]->text.constData());
    EXPECT_TRUE(a->builtin && a->builtin == b->builtin);
    std::vector<NodePtr> many;
    for (int i = 0; i < 10000; ++i)
        many.push_back(ParseExpression(QStringLiteral("\"t%1\"").arg(i), &e));
    for (int i = 0; i < 10000; i += 997) EXPECT_EQ(many[size_t(i)]->text, QStringLiteral("t%1").arg(i));
    EXPECT_EQ(a->children[1]->text, QStringLiteral("凭证"));
    EXPECT_EQ(parsed("\"" + QString(300, u'长') + "\""), "\"" + QString(300, u'长') + "\"");
    // A name that is no function is left to the application's services.
    NodePtr service = ParseExpression(QStringLiteral("QC2(\"x\")"), &e);
    ASSERT_TRUE(service);
    EXPECT_EQ(service->builtin, nullptr);
}
