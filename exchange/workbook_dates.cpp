#include "exchange/workbook_dates.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <cmath>
#include <vector>

namespace qor {
namespace {

struct Token {
    enum Kind { Literal, Year, Month, Minute, Day, Hour, Second, Fraction, AmPm, Weekday, Elapsed };
    Kind kind = Literal;
    int length = 0;  // letters of the run (yyyy is 4)
    QString text;  // Literal: the text; AmPm: "AM/PM", "A/P" or "上午/下午"; Elapsed: the unit
};

bool startsWithAt(const QString& s, qsizetype at, QLatin1StringView what) {
    return s.mid(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// The first section of a format (up to an unquoted ";").
QString firstSection(const QString& format) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar ch = format[i];
        if (ch == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (ch == u'\\')
            ++i;
        else if (ch == u';')
            return format.left(i);
    }
    return format;
}

// The named formats of spreadsheet XML files ("Short Date") and the
// built-in short date, whose order is the reader's locale's: shown in the
// order that reads the same everywhere.
QString displayPattern(const QString& format) {
    const QString f = format.trimmed();
    if (f == u"mm-dd-yy" || f.compare(QLatin1String("Short Date"), Qt::CaseInsensitive) == 0 ||
        f.compare(QLatin1String("Medium Date"), Qt::CaseInsensitive) == 0 ||
        f.compare(QLatin1String("Long Date"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("yyyy-mm-dd");
    if (f.compare(QLatin1String("General Date"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("yyyy-mm-dd hh:mm:ss");
    if (f.compare(QLatin1String("Short Time"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("hh:mm");
    if (f.compare(QLatin1String("Medium Time"), Qt::CaseInsensitive) == 0 ||
        f.compare(QLatin1String("Long Time"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("hh:mm:ss");
    return firstSection(format);
}

std::vector<Token> tokenize(const QString& f) {
    std::vector<Token> out;
    auto literal = [&out](const QString& t) {
        if (!out.empty() && out.back().kind == Token::Literal)
            out.back().text += t;
        else
            out.push_back(Token{Token::Literal, 0, t});
    };
    auto runOf = [&f](qsizetype at) {
        const QChar c = f[at].toLower();
        qsizetype n = at;
        while (n < f.size() && f[n].toLower() == c) ++n;
        return int(n - at);
    };
    for (qsizetype i = 0; i < f.size();) {
        const QChar ch = f[i];
        const QChar low = ch.toLower();
        if (ch == u'"') {
            const qsizetype end = f.indexOf(u'"', i + 1);
            literal(f.mid(i + 1, end < 0 ? -1 : end - i - 1));
            i = end < 0 ? f.size() : end + 1;
        } else if (ch == u'\\') {
            if (i + 1 < f.size()) literal(f.mid(i + 1, 1));
            i += 2;
        } else if (ch == u'_') {
            literal(QStringLiteral(" "));
            i += 2;
        } else if (ch == u'*') {
            i += 2;
        } else if (ch == u'[') {
            const qsizetype end = f.indexOf(u']', i);
            const QString inner = f.mid(i + 1, end < 0 ? -1 : end - i - 1).toLower();
            if (!inner.isEmpty() && (inner.count(inner[0]) == inner.size()) &&
                (inner[0] == u'h' || inner[0] == u'm' || inner[0] == u's'))
                out.push_back(Token{Token::Elapsed, int(inner.size()), inner.left(1)});
            // Colours, conditions and locale tags show nothing.
            i = end < 0 ? f.size() : end + 1;
        } else if (startsWithAt(f, i, QLatin1StringView("AM/PM"))) {
            out.push_back(Token{Token::AmPm, 0, QStringLiteral("AM/PM")});
            i += 5;
        } else if (startsWithAt(f, i, QLatin1StringView("A/P"))) {
            out.push_back(Token{Token::AmPm, 0, QStringLiteral("A/P")});
            i += 3;
        } else if (f.mid(i, 5) == u"上午/下午") {
            out.push_back(Token{Token::AmPm, 0, QStringLiteral("上午/下午")});
            i += 5;
        } else if (low == u'y' || low == u'm' || low == u'd' || low == u'h' || low == u's') {
            const int n = runOf(i);
            Token::Kind kind = Token::Year;
            if (low == u'm')
                kind = Token::Month;
            else if (low == u'd')
                kind = Token::Day;
            else if (low == u'h')
                kind = Token::Hour;
            else if (low == u's')
                kind = Token::Second;
            out.push_back(Token{kind, n, {}});
            i += n;
        } else if (low == u'a' && runOf(i) >= 3) {
            const int n = runOf(i);
            out.push_back(Token{Token::Weekday, n, {}});
            i += n;
        } else if (ch == u'.' && i + 1 < f.size() && f[i + 1] == u'0' && !out.empty() &&
                   (out.back().kind == Token::Second ||
                    (out.back().kind == Token::Elapsed && out.back().text == u"s"))) {
            qsizetype n = i + 1;
            while (n < f.size() && f[n] == u'0') ++n;
            out.push_back(Token{Token::Fraction, int(n - i - 1), {}});
            i = n;
        } else {
            literal(QString(ch));
            ++i;
        }
    }
    // An m (or mm) next to an hour or a second is minutes.
    for (size_t k = 0; k < out.size(); ++k) {
        if (out[k].kind != Token::Month || out[k].length > 2) continue;
        auto neighbour = [&](int step) -> Token::Kind {
            for (long j = long(k) + step; j >= 0 && j < long(out.size()); j += step)
                if (out[size_t(j)].kind != Token::Literal) return out[size_t(j)].kind;
            return Token::Literal;
        };
        const Token::Kind before = neighbour(-1), after = neighbour(1);
        if (before == Token::Hour || (before == Token::Elapsed) || after == Token::Second ||
            (after == Token::Elapsed))
            out[k].kind = Token::Minute;
    }
    return out;
}

bool hasDateToken(const std::vector<Token>& tokens) {
    for (const Token& t : tokens)
        if (t.kind != Token::Literal) return true;
    return false;
}

QString padded(qint64 v, int width) { return QString::number(v).rightJustified(width, u'0'); }

}  // namespace

bool IsDateNumberFormat(const QString& format) {
    const QString f = format.trimmed();
    if (f.isEmpty() || f.startsWith(QLatin1String("General"), Qt::CaseInsensitive) || f == u"@")
        return false;
    return hasDateToken(tokenize(displayPattern(f)));
}

std::optional<QString> FormatDateSerial(double serial, const QString& format, bool date1904) {
    const std::vector<Token> tokens = tokenize(displayPattern(format));
    if (!hasDateToken(tokens)) return std::nullopt;
    const double maxSerial = date1904 ? 2957003 : 2958465;  // 9999-12-31
    if (!std::isfinite(serial) || serial < 0 || serial >= maxSerial + 1) return std::nullopt;

    // Milliseconds of the day, rounded to what the format shows (whole
    // seconds unless it shows their fractions); a day's last half second
    // rounds into the next day.
    int fractionDigits = 0;
    for (const Token& t : tokens)
        if (t.kind == Token::Fraction)
            fractionDigits = std::max(fractionDigits, std::min(t.length, 3));
    const qint64 step = fractionDigits >= 3   ? 1
                        : fractionDigits == 2 ? 10
                        : fractionDigits == 1 ? 100
                                              : 1000;
    qint64 days = qint64(std::floor(serial));
    qint64 ms = qint64(std::llround((serial - double(days)) * 86400000.0 / double(step))) * step;
    if (ms >= 86400000) {
        ++days;
        ms -= 86400000;
    }
    if (days > qint64(maxSerial)) return std::nullopt;
    int year = 0, month = 0, day = 0, weekday = 1;
    if (date1904) {
        const QDate d = QDate(1904, 1, 1).addDays(days);
        year = d.year(), month = d.month(), day = d.day(), weekday = d.dayOfWeek();
    } else if (days == 0) {
        // The day before the first, as the 1900 system shows it.
        year = 1900, month = 1, day = 0, weekday = 6;
    } else if (days == 60) {
        // The 1900 system counts a 29 February 1900 that never was.
        year = 1900, month = 2, day = 29, weekday = 3;
    } else {
        const QDate d = (days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30)).addDays(days);
        year = d.year(), month = d.month(), day = d.day(), weekday = d.dayOfWeek();
    }
    bool twelveHour = false;
    for (const Token& t : tokens)
        if (t.kind == Token::AmPm) twelveHour = true;
    const qint64 seconds = ms / 1000;
    const int hour = int(seconds / 3600), minute = int(seconds / 60 % 60),
              second = int(seconds % 60);

    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    static const char* const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    static const char16_t* const kChineseDays[] = {u"一", u"二", u"三", u"四", u"五", u"六", u"日"};
    QString out;
    for (const Token& t : tokens) {
        switch (t.kind) {
            case Token::Literal:
                out += t.text;
                break;
            case Token::Year:
                out += t.length <= 2 ? padded(year % 100, 2) : padded(year, 4);
                break;
            case Token::Month: {
                const QString name = QString::fromLatin1(kMonths[month - 1]);
                if (t.length == 1)
                    out += QString::number(month);
                else if (t.length == 2)
                    out += padded(month, 2);
                else if (t.length == 3)
                    out += name.left(3);
                else if (t.length == 4)
                    out += name;
                else
                    out += name.left(1);
                break;
            }
            case Token::Minute:
                out += t.length >= 2 ? padded(minute, 2) : QString::number(minute);
                break;
            case Token::Day: {
                const QString name = QString::fromLatin1(kDays[weekday - 1]);
                if (t.length == 1)
                    out += QString::number(day);
                else if (t.length == 2)
                    out += padded(day, 2);
                else if (t.length == 3)
                    out += name.left(3);
                else
                    out += name;
                break;
            }
            case Token::Weekday:
                out += (t.length >= 4 ? QStringLiteral("星期") : QString()) +
                       QString::fromUtf16(kChineseDays[weekday - 1]);
                break;
            case Token::Hour: {
                int h = hour;
                if (twelveHour) h = hour % 12 == 0 ? 12 : hour % 12;
                out += t.length >= 2 ? padded(h, 2) : QString::number(h);
                break;
            }
            case Token::Second:
                out += t.length >= 2 ? padded(second, 2) : QString::number(second);
                break;
            case Token::Fraction: {
                const int digits = std::min(t.length, 3);
                qint64 part = ms % 1000;
                for (int k = digits; k < 3; ++k) part /= 10;
                out += u'.' + padded(part, digits) + QString(t.length - digits, u'0');
                break;
            }
            case Token::AmPm: {
                const bool pm = hour >= 12;
                if (t.text == u"A/P")
                    out += pm ? u'P' : u'A';
                else if (t.text == u"AM/PM")
                    out += pm ? QStringLiteral("PM") : QStringLiteral("AM");
                else
                    out += pm ? QStringLiteral("下午") : QStringLiteral("上午");
                break;
            }
            case Token::Elapsed: {
                const qint64 total = days * 86400 + seconds;
                qint64 v = total / 3600;
                if (t.text == u"m")
                    v = total / 60;
                else if (t.text == u"s")
                    v = total;
                out += padded(v, t.length);
                break;
            }
        }
    }
    return out;
}

QString PlainDateFormat(double serial) {
    if (serial >= 0 && serial < 1) return QStringLiteral("hh:mm:ss");
    return serial == std::floor(serial) ? QStringLiteral("yyyy-mm-dd")
                                        : QStringLiteral("yyyy-mm-dd hh:mm:ss");
}

std::optional<double> SerialOfIsoDate(const QString& iso, bool date1904) {
    QString t = iso.trimmed();
    if (t.endsWith(u'Z')) t.chop(1);
    QDateTime when = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!when.isValid()) when = QDateTime(QDate::fromString(t, Qt::ISODate), QTime(0, 0));
    if (!when.isValid()) {
        // A time alone: a fraction of a day.
        const QTime time = QTime::fromString(t, Qt::ISODateWithMs);
        if (!time.isValid()) return std::nullopt;
        return time.msecsSinceStartOfDay() / 86400000.0;
    }
    const QDate epoch = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    qint64 days = epoch.daysTo(when.date());
    if (days < 0) return std::nullopt;
    // The 1900 system counts a 29 February 1900 that never was. A time of
    // day alone is written on 1899-12-30 by some programs and on
    // 1899-12-31 by others: both are day 0.
    if (!date1904 && days < 61) days = std::max<qint64>(days - 1, 0);
    return double(days) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

}  // namespace qor
