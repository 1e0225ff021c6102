// Selection queries: the path subset the exchange formats use ("Workbook",
// "//Styles/*", "Table/Row", element names of a sample file), matched by
// qualified name without namespace resolution, as the files were written
// and read by the older DOM.

#include <QSet>

#include "exchange/xmldom.h"
#include "exchange/xmlinternal.h"

namespace qor::detail {

namespace {

struct Predicate {
    enum Kind { Index, Last, HasAttribute, AttributeEquals, HasChild, ChildEquals, SelfEquals };
    Kind kind = Index;
    qsizetype index = 0;
    QByteArray name;
    QByteArray value;
};

struct Step {
    enum Test { Self, Parent, Name, AnyElement, Text, AnyNode, Comment, Instruction };
    bool descendant = false;  // preceded by "//"
    Test test = Name;
    QByteArray name;
    QList<Predicate> predicates;
};

struct Path {
    bool absolute = false;
    QList<Step> steps;
};

class Parser {
public:
    explicit Parser(QStringView text) : s_(text) {}

    QList<Path> parseUnion() {
        QList<Path> paths;
        for (;;) {
            paths.append(parsePath());
            skipSpace();
            if (atEnd()) break;
            if (peek() != '|') fail("unexpected character");
            ++i_;
        }
        return paths;
    }

private:
    [[noreturn]] void fail(const char* why) const {
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("query \"%1\": %2 at %3")
                                                      .arg(s_.toString(), QLatin1String(why))
                                                      .arg(i_ + 1));
    }
    bool atEnd() const { return i_ >= s_.size(); }
    QChar peek(qsizetype ahead = 0) const {
        return i_ + ahead < s_.size() ? s_.at(i_ + ahead) : QChar();
    }
    void skipSpace() {
        while (!atEnd() && peek().isSpace()) ++i_;
    }
    bool take(QStringView word) {
        if (s_.mid(i_).startsWith(word)) {
            i_ += word.size();
            return true;
        }
        return false;
    }

    static bool isNameChar(QChar c) {
        if (c.unicode() >= 0x80) return true;
        return c.isLetterOrNumber() || c == '_' || c == '-' || c == '.' || c == ':';
    }

    QByteArray parseName() {
        const qsizetype start = i_;
        while (!atEnd() && isNameChar(peek())) ++i_;
        if (i_ == start) fail("name expected");
        return s_.mid(start, i_ - start).toUtf8();
    }

    QByteArray parseLiteral() {
        const QChar quote = peek();
        if (quote != '\'' && quote != '"') fail("quoted text expected");
        const qsizetype start = ++i_;
        while (!atEnd() && peek() != quote) ++i_;
        if (atEnd()) fail("unterminated text");
        const QByteArray v = s_.mid(start, i_ - start).toUtf8();
        ++i_;
        return v;
    }

    bool takeEquals() {
        skipSpace();
        if (peek() != '=') return false;
        ++i_;
        skipSpace();
        return true;
    }

    Predicate parsePredicate() {
        Predicate p;
        skipSpace();
        if (peek().isDigit()) {
            qsizetype n = 0;
            while (!atEnd() && peek().isDigit()) {
                n = n * 10 + peek().digitValue();
                if (n > (1 << 30)) fail("position too large");
                ++i_;
            }
            if (n < 1) fail("positions count from 1");
            p.kind = Predicate::Index;
            p.index = n;
        } else if (take(u"last()")) {
            p.kind = Predicate::Last;
        } else if (peek() == '@') {
            ++i_;
            p.name = parseName();
            p.kind = Predicate::HasAttribute;
            if (takeEquals()) {
                p.kind = Predicate::AttributeEquals;
                p.value = parseLiteral();
            }
        } else if (peek() == '.' && !isNameChar(peek(1))) {
            ++i_;
            if (!takeEquals()) fail("'=' expected");
            p.kind = Predicate::SelfEquals;
            p.value = parseLiteral();
        } else {
            p.name = parseName();
            p.kind = Predicate::HasChild;
            if (takeEquals()) {
                p.kind = Predicate::ChildEquals;
                p.value = parseLiteral();
            }
        }
        skipSpace();
        if (peek() != ']') fail("']' expected");
        ++i_;
        return p;
    }

    Step parseStep(bool descendant) {
        Step st;
        st.descendant = descendant;
        skipSpace();
        if (take(u"..")) {
            st.test = Step::Parent;
        } else if (peek() == '.' && !isNameChar(peek(1))) {
            ++i_;
            st.test = Step::Self;
        } else if (peek() == '*') {
            ++i_;
            st.test = Step::AnyElement;
        } else if (take(u"text()")) {
            st.test = Step::Text;
        } else if (take(u"node()")) {
            st.test = Step::AnyNode;
        } else if (take(u"comment()")) {
            st.test = Step::Comment;
        } else if (take(u"processing-instruction()")) {
            st.test = Step::Instruction;
        } else {
            st.name = parseName();
            st.test = Step::Name;
        }
        skipSpace();
        while (peek() == '[') {
            ++i_;
            st.predicates.append(parsePredicate());
            skipSpace();
        }
        return st;
    }

    Path parsePath() {
        Path path;
        skipSpace();
        bool descendant = false;
        if (peek() == '/') {
            path.absolute = true;
            ++i_;
            if (peek() == '/') {
                ++i_;
                descendant = true;
            } else {
                skipSpace();
                // "/" alone selects the document.
                if (atEnd() || peek() == '|') return path;
            }
        }
        for (;;) {
            path.steps.append(parseStep(descendant));
            skipSpace();
            if (peek() != '/') break;
            ++i_;
            descendant = false;
            if (peek() == '/') {
                ++i_;
                descendant = true;
            }
        }
        return path;
    }

    QStringView s_;
    qsizetype i_ = 0;
};

bool isContainer(const xmlNode* n) {
    return n->type == XML_ELEMENT_NODE || n->type == XML_DOCUMENT_NODE ||
           n->type == XML_HTML_DOCUMENT_NODE;
}

// The node and everything below it in document order.
void appendSelfAndDescendants(xmlNodePtr start, QList<xmlNodePtr>& out) {
    out.append(start);
    if (!isContainer(start) || !start->children) return;
    xmlNodePtr n = start->children;
    while (n) {
        out.append(n);
        if (isContainer(n) && n->children) {
            n = n->children;
            continue;
        }
        while (n != start && !n->next) n = n->parent;
        if (n == start) break;
        n = n->next;
    }
}

bool matchesTest(const xmlNode* n, const Step& st) {
    switch (st.test) {
        case Step::Name:
            return isElementNamed(n, st.name);
        case Step::AnyElement:
            return n->type == XML_ELEMENT_NODE;
        case Step::Text:
            return n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE;
        case Step::AnyNode:
            return n->type != XML_DTD_NODE;
        case Step::Comment:
            return n->type == XML_COMMENT_NODE;
        case Step::Instruction:
            return n->type == XML_PI_NODE;
        default:
            return false;
    }
}

bool matchesPredicate(const xmlNode* n, const Predicate& p) {
    switch (p.kind) {
        case Predicate::HasAttribute: {
            QByteArray v;
            return attributeValue(n, p.name, &v);
        }
        case Predicate::AttributeEquals: {
            QByteArray v;
            return attributeValue(n, p.name, &v) && v == p.value;
        }
        case Predicate::HasChild:
        case Predicate::ChildEquals:
            if (!isContainer(n)) return false;
            for (const xmlNode* c = n->children; c; c = c->next)
                if (isElementNamed(c, p.name) &&
                    (p.kind == Predicate::HasChild || textContent(c) == p.value))
                    return true;
            return false;
        case Predicate::SelfEquals:
            return textContent(n) == p.value;
        default:
            return false;
    }
}

QList<xmlNodePtr> applyPredicates(QList<xmlNodePtr> nodes, const QList<Predicate>& preds) {
    for (const Predicate& p : preds) {
        QList<xmlNodePtr> kept;
        if (p.kind == Predicate::Index) {
            if (p.index <= nodes.size()) kept.append(nodes.at(p.index - 1));
        } else if (p.kind == Predicate::Last) {
            if (!nodes.isEmpty()) kept.append(nodes.last());
        } else {
            for (xmlNodePtr n : nodes)
                if (matchesPredicate(n, p)) kept.append(n);
        }
        nodes = std::move(kept);
    }
    return nodes;
}

void dedupe(QList<xmlNodePtr>& nodes) {
    if (nodes.size() < 2) return;
    QSet<xmlNodePtr> seen;
    QList<xmlNodePtr> out;
    out.reserve(nodes.size());
    for (xmlNodePtr n : nodes)
        if (!seen.contains(n)) {
            seen.insert(n);
            out.append(n);
        }
    nodes = std::move(out);
}

QList<xmlNodePtr> evaluatePath(xmlNodePtr context, const Path& path) {
    QList<xmlNodePtr> current;
    if (path.absolute) {
        if (!context->doc) return {};
        current.append(reinterpret_cast<xmlNodePtr>(context->doc));
    } else {
        current.append(context);
    }
    for (const Step& st : path.steps) {
        QList<xmlNodePtr> contexts;
        if (st.descendant) {
            for (xmlNodePtr c : current) appendSelfAndDescendants(c, contexts);
            dedupe(contexts);
        } else {
            contexts = std::move(current);
        }
        QList<xmlNodePtr> next;
        for (xmlNodePtr c : contexts) {
            QList<xmlNodePtr> matched;
            if (st.test == Step::Self) {
                matched.append(c);
            } else if (st.test == Step::Parent) {
                if (c->parent) matched.append(c->parent);
            } else if (isContainer(c)) {
                for (xmlNodePtr k = c->children; k; k = k->next)
                    if (matchesTest(k, st)) matched.append(k);
            }
            next.append(applyPredicates(std::move(matched), st.predicates));
        }
        if (st.test == Step::Parent || st.descendant) dedupe(next);
        current = std::move(next);
        if (current.isEmpty()) break;
    }
    return current;
}

xmlNodePtr topOf(xmlNodePtr n) {
    while (n->parent) n = n->parent;
    return n;
}

}  // namespace

QList<xmlNodePtr> evaluateQuery(xmlNodePtr context, QStringView query) {
    if (query.trimmed().isEmpty())
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("empty query"));
    const QList<Path> paths = Parser(query).parseUnion();
    if (paths.size() == 1) return evaluatePath(context, paths.first());

    // A union comes back in document order.
    QSet<xmlNodePtr> chosen;
    QList<xmlNodePtr> tops;
    for (const Path& p : paths)
        for (xmlNodePtr n : evaluatePath(context, p)) {
            chosen.insert(n);
            xmlNodePtr t = topOf(n);
            if (!tops.contains(t)) tops.append(t);
        }
    QList<xmlNodePtr> ordered;
    for (xmlNodePtr t : tops) {
        QList<xmlNodePtr> all;
        appendSelfAndDescendants(t, all);
        for (xmlNodePtr n : all)
            if (chosen.contains(n)) ordered.append(n);
    }
    return ordered;
}

}  // namespace qor::detail
