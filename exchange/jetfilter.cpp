#include "exchange/jetfilter.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include "exchange/jetdb.h"
#include "engine/messages.h"

namespace qor::jet {

namespace {

// Words with a fixed meaning; everything else bare is a field name.
struct Keyword {
    const char* word;
    const char* sql;
};
constexpr Keyword kKeywords[] = {
    {"AND", "AND"}, {"OR", "OR"},         {"NOT", "NOT"},   {"IS", "IS"},
    {"NULL", "NULL"}, {"BETWEEN", "BETWEEN"}, {"IN", "IN"}, {"LIKE", "LIKE"},
    {"MOD", "%"},   {"TRUE", "1"},        {"FALSE", "0"},
};

bool isIdentifierStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentifierPart(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

QString near(const QString& text, qsizetype at) {
    return text.mid(at, 20).trimmed();
}

// Tells where reading stopped (counting characters from 1) and why, so a
// user can mend the condition without guessing.
[[noreturn]] void fail(const QString& condition, qsizetype at, const QString& why) {
    throw JetError(
        LoadErrorText(str::kConditionSyntax).arg(condition, QString::number(at + 1), why));
}

// Operators that need a value after them: a condition that ends on one,
// or that puts a comparison straight after one, is missing that value.
bool wantsValueAfter(const QString& piece) {
    static const QStringList ops = {
        QStringLiteral("="),   QStringLiteral("<"),  QStringLiteral(">"),   QStringLiteral("<>"),
        QStringLiteral("<="),  QStringLiteral(">="), QStringLiteral("+"),   QStringLiteral("-"),
        QStringLiteral("*"),   QStringLiteral("/"),  QStringLiteral("||"),  QStringLiteral("%"),
        QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("NOT"), QStringLiteral("LIKE"),
        QStringLiteral("("),   QStringLiteral(",")};
    return ops.contains(piece);
}
bool isComparison(const QString& piece) {
    return piece == u"=" || piece == u"<" || piece == u">" || piece == u"<>" || piece == u"<=" ||
           piece == u">=";
}

// A #date# literal: m/d/yyyy as the data-file engines write it, or
// yyyy-mm-dd / yyyy/m/d, each with an optional h:mm[:ss].
QVariant parseDateLiteral(const QString& inner) {
    const QString s = inner.trimmed();
    const qsizetype space = s.indexOf(u' ');
    const QString datePart = space < 0 ? s : s.left(space);
    const QString timePart = space < 0 ? QString() : s.mid(space + 1).trimmed();
    QDate d;
    for (const char* f : {"M/d/yyyy", "yyyy-M-d", "yyyy/M/d"}) {
        d = QDate::fromString(datePart, QString::fromLatin1(f));
        if (d.isValid()) break;
    }
    if (!d.isValid()) return QVariant();
    if (timePart.isEmpty()) return d;
    QTime t;
    for (const char* f : {"H:mm:ss", "H:mm"}) {
        t = QTime::fromString(timePart, QString::fromLatin1(f));
        if (t.isValid()) break;
    }
    if (!t.isValid()) return QVariant();
    return QDateTime(d, t).toString(Qt::ISODate);
}

// A LIKE pattern with the wildcards * and ? as SQL's % and _; the SQL
// wildcards and the escape character itself are matched literally. A
// bracketed single character ([*], [?], [#]) stands for itself.
// An empty result (with *ok false) for a pattern whose [ ] is not one
// character.
QString likePattern(const QString& pattern, bool* ok) {
    *ok = true;
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'*') {
            out += u'%';
        } else if (c == u'?') {
            out += u'_';
        } else if (c == u'[') {
            if (i + 2 < pattern.size() && pattern.at(i + 2) == u']') {
                const QChar lit = pattern.at(i + 1);
                if (lit == u'%' || lit == u'_' || lit == u'\\') out += u'\\';
                out += lit;
                i += 2;
            } else {
                *ok = false;
                return QString();
            }
        } else if (c == u'%' || c == u'_' || c == u'\\') {
            out += u'\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

TranslatedFilter translateFilter(const QString& filter, const FilterIdentifierMap& mapIdentifier) {
    TranslatedFilter out;
    QStringList pieces;
    bool afterLike = false;  // the token before was LIKE
    int depth = 0;
    const QString& s = filter;
    qsizetype i = 0;
    const qsizetype n = s.size();
    qsizetype pieceAt = 0;  // where the piece being read starts
    QList<qsizetype> starts;
    auto put = [&](const QString& piece) {
        if (isComparison(piece) && !pieces.isEmpty() && wantsValueAfter(pieces.last()) &&
            pieces.last() != u"NOT")
            fail(s, pieceAt,
                 LoadErrorText(str::kConditionValueMissing)
                     .arg(s.mid(starts.last(), pieceAt - starts.last()).trimmed()));
        pieces.append(piece);
        starts.append(pieceAt);
    };
    auto bindValue = [&](const QVariant& v) {
        put(QStringLiteral("?"));
        out.binds.append(v);
    };
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        pieceAt = i;
        const bool likeBefore = afterLike;
        afterLike = false;
        if (c == u'[') {
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0) fail(s, i, LoadErrorText(str::kConditionMissing).arg(QChar(u']')));
            const QString name = s.mid(i + 1, close - i - 1);
            if (name.trimmed().isEmpty()) fail(s, i, LoadErrorText(str::kConditionEmptyBrackets));
            put(mapIdentifier(name));
            i = close + 1;
        } else if (c == u'\'' || c == u'"') {
            QString text;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s.at(j) == c) {
                    if (j + 1 < n && s.at(j + 1) == c) {
                        text += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                text += s.at(j++);
            }
            if (!closed) fail(s, i, LoadErrorText(str::kUnclosedQuote));
            if (likeBefore) {
                bool ok = true;
                const QString pattern = likePattern(text, &ok);
                if (!ok) fail(s, i, LoadErrorText(str::kConditionCannotUse).arg(text));
                bindValue(pattern);
                put(QStringLiteral("ESCAPE '\\'"));
            } else {
                bindValue(text);
            }
            i = j + 1;
        } else if (c == u'#') {
            const qsizetype close = s.indexOf(u'#', i + 1);
            if (close < 0) fail(s, i, LoadErrorText(str::kConditionMissing).arg(QChar(u'#')));
            const QString inner = s.mid(i + 1, close - i - 1);
            const QVariant d = parseDateLiteral(inner);
            if (!d.isValid()) fail(s, i, LoadErrorText(str::kConditionNotADate).arg(inner));
            bindValue(d);
            i = close + 1;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && s.at(i + 1).isDigit())) {
            qsizetype j = i;
            while (j < n && s.at(j).isDigit()) ++j;
            bool real = false;
            if (j < n && s.at(j) == u'.') {
                real = true;
                ++j;
                while (j < n && s.at(j).isDigit()) ++j;
            }
            if (j < n && (s.at(j) == u'e' || s.at(j) == u'E')) {
                qsizetype k = j + 1;
                if (k < n && (s.at(k) == u'+' || s.at(k) == u'-')) ++k;
                if (k < n && s.at(k).isDigit()) {
                    real = true;
                    j = k;
                    while (j < n && s.at(j).isDigit()) ++j;
                }
            }
            if (j < n && isIdentifierPart(s.at(j)))
                fail(s, i,
                     LoadErrorText(str::kConditionNotANumber).arg(near(s, i).section(u' ', 0, 0)));
            const QString number = s.mid(i, j - i);
            bool ok = false;
            if (!real) {
                const qlonglong v = number.toLongLong(&ok);
                if (ok) bindValue(v);
            }
            if (!ok) {
                const double d = number.toDouble(&ok);
                if (!ok) fail(s, i, LoadErrorText(str::kConditionNotANumber).arg(number));
                bindValue(d);
            }
            i = j;
        } else if (isIdentifierStart(c)) {
            qsizetype j = i;
            while (j < n && isIdentifierPart(s.at(j))) ++j;
            const QString word = s.mid(i, j - i);
            const QString upper = word.toUpper();
            const Keyword* kw = nullptr;
            for (const Keyword& k : kKeywords)
                if (upper == QLatin1String(k.word)) kw = &k;
            if (kw) {
                put(QString::fromLatin1(kw->sql));
                afterLike = upper == QLatin1String("LIKE");
            } else {
                qsizetype k = j;
                while (k < n && s.at(k).isSpace()) ++k;
                if (k < n && s.at(k) == u'(')
                    fail(s, i, LoadErrorText(str::kConditionFunctionCall).arg(word));
                put(mapIdentifier(word));
            }
            i = j;
        } else {
            // Operators: the two-character ones first.
            const QString two = s.mid(i, 2);
            if (two == QLatin1String("<>") || two == QLatin1String("<=") || two == QLatin1String(">=")) {
                put(two);
                i += 2;
                continue;
            }
            switch (c.unicode()) {
            case '=': case '<': case '>': case '+': case '-': case '*': case '/': case ',':
                put(QString(c));
                break;
            case '&':
                put(QStringLiteral("||"));
                break;
            case '(':
                ++depth;
                put(QStringLiteral("("));
                break;
            case ')':
                if (--depth < 0)
                    fail(s, i, LoadErrorText(str::kConditionUnmatched).arg(QChar(u')')));
                put(QStringLiteral(")"));
                break;
            default:
                fail(s, i, LoadErrorText(str::kConditionCannotUse).arg(c));
            }
            ++i;
        }
    }
    if (depth != 0) fail(s, n, LoadErrorText(str::kConditionMissing).arg(QChar(u')')));
    if (!pieces.isEmpty() && wantsValueAfter(pieces.last()) && pieces.last() != u"(")
        fail(s, starts.last(),
             LoadErrorText(str::kConditionValueMissing).arg(s.mid(starts.last()).trimmed()));
    out.sql = pieces.join(u' ');
    return out;
}

}  // namespace qor::jet
