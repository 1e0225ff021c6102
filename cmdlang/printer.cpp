#include "cmdlang/printer.h"

#include <QLocale>

namespace qor::cmd {

namespace {

// Binding strength, loosest first.
enum Prec { kOr = 1, kAnd, kNot, kCmp, kAdd, kMul, kUnary, kPow, kPrimary };

int precedence(const Node& n) {
    switch (n.kind) {
        case NodeKind::Logical:
            return n.op == Op::Or ? kOr : n.op == Op::And ? kAnd : kNot;
        case NodeKind::Compare:
            return kCmp;
        case NodeKind::Binary:
            if (n.op == Op::Add || n.op == Op::Sub) return kAdd;
            if (n.op == Op::Mul || n.op == Op::Div) return kMul;
            return kPow;
        case NodeKind::Unary:
            return kUnary;
        default:
            return kPrimary;
    }
}

const char* opText(Op op) {
    switch (op) {
        case Op::Add:
            return "+";
        case Op::Sub:
            return "-";
        case Op::Mul:
            return "*";
        case Op::Div:
            return "/";
        case Op::Pow:
            return "^";
        case Op::Neg:
            return "-";
        case Op::Plus:
            return "+";
        case Op::Eq:
            return "=";
        case Op::Ne:
            return "<>";
        case Op::Lt:
            return "<";
        case Op::Le:
            return "<=";
        case Op::Gt:
            return ">";
        case Op::Ge:
            return ">=";
        case Op::Like:
            return " LIKE ";
        case Op::And:
            return " AND ";
        case Op::Or:
            return " OR ";
        case Op::Not:
            return "NOT ";
        case Op::None:
            break;
    }
    return "";
}

QString quoted(const QString& s) {
    QString out = s;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString var(const VarRef& v) {
    QString s = QStringLiteral("V_");
    if (v.axis == VarRef::Axis::Column) {
        s += ColumnLetters(v.index);
        if (v.line) s += QString::number(v.line);
    } else {
        s += QString::number(v.index);
    }
    return s;
}

QString print(const Node& n, int minPrec);

QString render(const Node& n) {
    const auto child = [&](size_t i, int prec) { return print(*n.children[i], prec); };
    switch (n.kind) {
        case NodeKind::Number:
            return QString::number(n.number, 'g', QLocale::FloatingPointShortest);
        case NodeKind::String:
            return quoted(n.text);
        case NodeKind::Ident:
            return n.text;
        case NodeKind::Empty:
            return {};
        case NodeKind::CellRef:
        case NodeKind::Area:
        case NodeKind::VRef:
        case NodeKind::VRefArea: {
            QString s;
            if (n.external) s = quoted(n.report) + QStringLiteral("->");
            if (n.kind == NodeKind::CellRef) s += PrintCell(n.cell1);
            if (n.kind == NodeKind::Area) s += PrintCell(n.cell1) + u':' + PrintCell(n.cell2);
            if (n.kind == NodeKind::VRef) s += var(n.var1);
            if (n.kind == NodeKind::VRefArea) s += var(n.var1) + u':' + var(n.var2);
            if (n.page) s += u'@' + QString::number(n.page);
            return s;
        }
        case NodeKind::Call: {
            QString s = n.text + u'(';
            if (n.opaqueArgs) return s + n.rawArgs + u')';
            for (size_t i = 0; i < n.children.size(); ++i) {
                if (i) s += u',';
                s += child(i, 0);
            }
            return s + u')';
        }
        case NodeKind::Filter:
            return QString::fromLatin1(opText(n.op)).trimmed() +
                   (n.op == Op::Like ? QStringLiteral(" ") : QString()) + child(0, kAdd);
        case NodeKind::Unary:
            return QLatin1StringView(opText(n.op)) + child(0, kPow);
        case NodeKind::Binary: {
            const int p = precedence(n);
            if (n.op == Op::Pow) return child(0, kPrimary) + u'^' + child(1, kUnary);
            return child(0, p) + QLatin1StringView(opText(n.op)) + child(1, p + 1);
        }
        case NodeKind::Compare:
            return child(0, kAdd) + QLatin1StringView(opText(n.op)) + child(1, kAdd);
        case NodeKind::Logical:
            if (n.op == Op::Not) return QStringLiteral("NOT ") + child(0, kNot);
            return child(0, precedence(n)) + QLatin1StringView(opText(n.op)) +
                   child(1, precedence(n) + 1);
    }
    return {};
}

QString print(const Node& n, int minPrec) {
    const QString s = render(n);
    return precedence(n) < minPrec ? u'(' + s + u')' : s;
}

QString target(const Target& t) {
    switch (t.kind) {
        case Target::Kind::Name:
            return t.name;
        case Target::Kind::Cell:
            return PrintCell(t.first);
        case Target::Kind::Area:
            return PrintCell(t.first) + u':' + PrintCell(t.last);
        case Target::Kind::Var:
            return var(t.var);
    }
    return {};
}

QString forClause(const NodePtr& cond) {
    return cond ? QStringLiteral(" FOR ") + PrintExpression(*cond) : QString();
}

}  // namespace

QString PrintCell(CellPos cell) { return ColumnLetters(cell.col) + QString::number(cell.row); }

QString PrintExpression(const Node& node) { return print(node, 0); }

QString PrintFormula(const Formula& f) {
    QString s = f.totalKind ? QStringLiteral("TOTAL ") : QString();
    if (f.expr) s += PrintExpression(*f.expr);
    if (f.filter) s += QStringLiteral(" For ") + PrintExpression(*f.filter);
    if (f.relation) {
        s += QStringLiteral(" Relation ") + PrintExpression(*f.relation->key) +
             QStringLiteral(" with ") + quoted(f.relation->path) + QStringLiteral("->") +
             PrintExpression(*f.relation->relatedKey);
    }
    return s;
}

QString PrintCommand(const Command& c) {
    switch (c.kind) {
        case CommandKind::Empty:
            return {};
        case CommandKind::Assign:
            return (c.let ? QStringLiteral("LET ") : QString()) + target(c.target) + u'=' +
                   PrintFormula(c.formula);
        case CommandKind::Free:
            return QStringLiteral("FREE ") + c.names.join(u',');
        case CommandKind::Find:
            return QStringLiteral("FIND") + forClause(c.forCond);
        case CommandKind::GFind:
            return QStringLiteral("GFIND FOR ") +
                   (c.forCond ? PrintExpression(*c.forCond) : QString()) + u';' +
                   PrintExpression(*c.varCond);
        case CommandKind::Continue:
            return QStringLiteral("CONTINUE");
        case CommandKind::Total: {
            QString s = QStringLiteral("TOTAL");
            if (c.file) s += QStringLiteral(" TO ") + quoted(*c.file);
            if (c.key) s += QStringLiteral(" KEY ") + PrintExpression(*c.key);
            return s + forClause(c.forCond);
        }
        case CommandKind::GTotal: {
            QString s = QStringLiteral("GTOTAL");
            if (c.forCond || c.varCond) s += QStringLiteral(" FOR");
            if (c.forCond) s += u' ' + PrintExpression(*c.forCond);
            if (c.varCond) s += QStringLiteral("; ") + PrintExpression(*c.varCond);
            return s;
        }
        case CommandKind::Append:
            return QStringLiteral("APPEND FROM ") + quoted(c.file.value_or(QString())) +
                   forClause(c.forCond);
        case CommandKind::Delete: {
            QString s = QStringLiteral("DELETE");
            if (c.all) s += QStringLiteral(" ALL");
            for (size_t i = 0; i < c.pages.size(); ++i)
                s += (i ? u',' : u' ') + QString::number(c.pages[i]);
            return s + forClause(c.forCond);
        }
        case CommandKind::Sort: {
            QString s = QStringLiteral("SORT ");
            if (c.sortScope == SortScope::Pages) s += QStringLiteral("PAGES ");
            if (c.sortScope == SortScope::Var) s += QStringLiteral("VAR ");
            s += QStringLiteral("BY ");
            for (size_t i = 0; i < c.sortKeys.size(); ++i) {
                if (i) s += u',';
                s += PrintExpression(*c.sortKeys[i].key);
                if (c.sortKeys[i].descending) s += QStringLiteral(" DESC");
            }
            return s;
        }
        case CommandKind::Round:
            return QStringLiteral("ROUND") +
                   (c.file ? QStringLiteral(" TO ") + quoted(*c.file) : QString());
        case CommandKind::Check:
        case CommandKind::Recalc:
            return QLatin1StringView(c.kind == CommandKind::Check ? "CHECK" : "RECALC") +
                   (c.all ? QStringLiteral(" ALL") : QString());
        case CommandKind::Browse: {
            QString s = QStringLiteral("BROWSE");
            for (size_t i = 0; i < c.areas.size(); ++i)
                s += (i ? u',' : u' ') + PrintExpression(*c.areas[i]);
            if (c.labels) s += QStringLiteral(" LABELS ") + quoted(*c.labels);
            return s;
        }
        case CommandKind::Mail:
            return QStringLiteral("MAIL") +
                   (c.mailMode.isNull() ? QString() : QStringLiteral(" ") + c.mailMode);
        case CommandKind::Menu:
            return QStringLiteral("MENU") + (c.file ? u' ' + quoted(*c.file) : QString());
        case CommandKind::Do:
            return QStringLiteral("DO ") + quoted(c.file.value_or(QString()));
        case CommandKind::Convert:
            return QStringLiteral("CONVERT ") + quoted(c.file.value_or(QString())) +
                   QStringLiteral(" TO ") + quoted(c.file2.value_or(QString())) +
                   (c.page ? QStringLiteral(" PAGE ") + QString::number(c.page) : QString());
        case CommandKind::ListMemory:
            return QStringLiteral("LIST MEMORY");
        case CommandKind::Help:
            return QStringLiteral("HELP");
    }
    return {};
}

QString PrintVarName(const VarRef& v) { return var(v); }

}  // namespace qor::cmd
