// The verbs that drive the Reader. They know it only by ProgID and method
// names, as a host in another language would; only register and unregister
// reach into the module, as a registration tool does.
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVariantList>
#include <QVariantMap>
#include <cmath>
#include <cstdio>
#include <optional>

#include "apps/qor/codenames.h"
#include "apps/qor/verbs.h"
#include "engine/celltypes.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/automation.h"
#include "platform/registry.h"
#include "reader/creader.h"
#include "reader/readermodule.h"
#include "resources/stringids.h"

namespace qor::app {

namespace {

const QString kProgId = QStringLiteral("Pagoda2.Reader");

// Texts are quoted so that "12" the text and 12 the number differ.
QString quoted(const QString& text) {
    QString q = text;
    q.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    q.replace(QLatin1Char('"'), QLatin1String("\\\""));
    q.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    q.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    q.replace(QChar(u'\0'), QLatin1String("\\0"));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString shown(const QVariant& v, bool quoteTexts) {
    switch (v.metaType().id()) {
        case QMetaType::UnknownType:
            return QStringLiteral("empty");
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(v.toDouble(), 'g', 15);
        case QMetaType::QVariantList: {
            QStringList parts;
            for (const QVariant& e : v.toList()) parts << shown(e, quoteTexts);
            return QLatin1Char('[') + parts.join(QLatin1String(", ")) + QLatin1Char(']');
        }
        case QMetaType::QString:
            return quoteTexts ? quoted(v.toString()) : v.toString();
        default:
            return v.toString();
    }
}

// A number when the whole argument reads as one, else a text.
QVariant valueArgument(const QString& text, bool forceText) {
    if (forceText) return text;
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]{1,9}$"));
    if (integer.match(text).hasMatch()) return text.toInt();
    bool ok = false;
    const double d = text.toDouble(&ok);
    // "inf" and "nan" stay texts: no cell holds them as numbers.
    if (ok && std::isfinite(d)) return d;
    return text;
}

bool parseInt(const QString& text, int* out) {
    bool ok = false;
    *out = text.toInt(&ok);
    return ok;
}

// One Reader object driven by name for the length of a verb.
class Session {
public:
    Session(const char* verb, Output* out) : m_verb(verb), m_out(out) {}
    ~Session() {
        // What a failed verb changed is not saved.
        if (!m_open) return;
        try {
            m_reader.invoke(QStringLiteral("CloseFile"));
        } catch (const AutoError&) {
            // The object goes with the session anyway.
        }
    }

    // Creates the Reader and opens the report; false after telling why.
    // forReading: the verb only reads, and takes no writer's lock that
    // would refuse someone saving the report meanwhile.
    bool open(const QString& file, bool forReading = false) {
        // The Reader's own text for this is a dialog's ("please choose
        // again"), which a command line has nothing to choose in.
        if (!QFileInfo::exists(file) && !QFileInfo::exists(ReportPathWithExtension(file)))
            return failed(QStringLiteral("file not found: %1").arg(file));
        try {
            m_reader = AutoObject::create(kProgId);
            if (forReading) m_reader.setProperty(QStringLiteral("ReadOnly"), true);
        } catch (const AutoError& e) {
            return failed(e.text());
        }
        if (!call("OpenRep8File", {file, QString()})) return false;
        m_open = true;
        return true;
    }

    // Calls a method; false after telling why. *value gets the out value.
    bool call(const char* method, const QVariantList& args = {}, QVariant* value = nullptr) {
        QVariantMap answer;
        try {
            answer = m_reader.invoke(QLatin1String(method), args).toMap();
        } catch (const AutoError& e) {
            return failed(e.text());
        }
        m_formulaFailed = answer.value(QStringLiteral("formulaFailed")).toBool();
        if (!answer.value(QStringLiteral("ok")).toBool())
            return failed(answer.value(QStringLiteral("error")).toString());
        if (value) *value = answer.value(QStringLiteral("value"));
        return true;
    }

    // Enters format (true) or data state, remembering the state to go back to.
    bool enterState(bool format) {
        QVariant now;
        if (!call("IsFormatState", {}, &now)) return false;
        m_restoreFormat = now.toBool();
        if (now.toBool() == format) return true;
        return call(format ? "BeginDesign" : "BeginData");
    }
    bool restoreState() {
        if (!m_restoreFormat) return true;
        const bool format = *m_restoreFormat;
        m_restoreFormat.reset();
        return call(format ? "BeginDesign" : "BeginData");
    }

    // A save whose recalculation left failed formulas is a save: they are
    // named on standard error and the verb ends with exit code 3.
    bool saveAndClose() {
        if (!call("Save")) {
            if (!m_formulaFailed) return false;
            m_savedWithFailures = true;
        }
        return close();
    }
    bool savedWithFailures() const { return m_savedWithFailures; }
    bool close() {
        m_open = false;
        return call("CloseFile");
    }
    // The last call read a cell whose formula failed.
    bool formulaFailed() const { return m_formulaFailed; }

    // Tells why the verb stops; false.
    bool failed(const QString& text) {
        m_out->err += QStringLiteral("qor %1: %2\n").arg(QLatin1String(m_verb), text);
        return false;
    }

private:
    const char* m_verb;
    Output* m_out;
    AutoObject m_reader;
    bool m_open = false;
    bool m_formulaFailed = false;
    bool m_savedWithFailures = false;
    std::optional<bool> m_restoreFormat;
};

// Splits off the flag --text; false on any other option.
bool takeTextFlag(QStringList* args, bool* text, const char* verb, Output* out) {
    *text = false;
    QStringList rest;
    for (const QString& a : *args) {
        if (a == QLatin1String("--text")) {
            *text = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            out->err += QStringLiteral("qor %1: unknown option %2\n").arg(QLatin1String(verb), a);
            return false;
        } else {
            rest << a;
        }
    }
    *args = rest;
    return true;
}

// FILE followed by whole numbers; false (usage) when the count or a number
// is wrong.
bool fileAndInts(const QStringList& args, int count, const char* verb, const char* usage,
                 QString* file, QList<int>* ints, Output* out) {
    if (args.size() != count + 1) {
        out->err += QStringLiteral("qor %1: usage: qor %1 %2\n")
                        .arg(QLatin1String(verb), QLatin1String(usage));
        return false;
    }
    *file = args.first();
    for (int i = 1; i <= count; ++i) {
        int v = 0;
        if (!parseInt(args[i], &v)) {
            out->err += QStringLiteral("qor %1: \"%2\" is not a whole number\n")
                            .arg(QLatin1String(verb), args[i]);
            return false;
        }
        ints->append(v);
    }
    return true;
}

int usageError(const char* verb, const char* usage, Output* out) {
    out->err +=
        QStringLiteral("qor %1: usage: qor %1 %2\n").arg(QLatin1String(verb), QLatin1String(usage));
    return 2;
}

QString tableSizeLine(Session& s) {
    QVariant size;
    if (!s.call("GetTableSize", {}, &size)) return QString();
    const QVariantList rc = size.toList();
    return QStringLiteral("table: %1 rows, %2 columns\n")
        .arg(rc.value(0).toInt())
        .arg(rc.value(1).toInt());
}

QString pageCountLine(Session& s) {
    QVariant pages;
    if (!s.call("GetPages", {}, &pages)) return QString();
    return QStringLiteral("pages: %1\n").arg(pages.toInt());
}

// A verb that changed the report says what it did only once the change is
// saved: a save that fails (a full disk) must not follow a success line.
int saveThenSay(Session& s, const QString& line, Output* out) {
    if (!s.saveAndClose()) return 1;
    out->text += line;
    return s.savedWithFailures() ? 3 : 0;
}

// Shared shape of the verbs that change pages or rows.
int shapeVerb(const QStringList& args, int intCount, const char* verb, const char* usage,
              const char* method, bool needsFormat, bool pagesChanged, Output* out) {
    QString file;
    QList<int> n;
    if (!fileAndInts(args, intCount, verb, usage, &file, &n, out)) return 2;
    Session s(verb, out);
    if (!s.open(file)) return 1;
    if (needsFormat && !s.enterState(true)) return 1;
    QVariantList callArgs;
    for (int v : n) callArgs << v;
    if (!s.call(method, callArgs)) return 1;
    if (needsFormat && !s.restoreState()) return 1;
    return saveThenSay(s, pagesChanged ? pageCountLine(s) : tableSizeLine(s), out);
}

QString varLinesLine(Session& s, int page) {
    QVariant lines;
    if (!s.call("GetVarLines", {}, &lines)) return QString();
    const int n = lines.toInt();
    return QStringLiteral("page %1: %2 %3\n")
        .arg(page)
        .arg(n)
        .arg(n == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
}

// The variable lines of one page: the Reader's row methods in data state.
int linesVerb(const QStringList& args, int intCount, const char* verb, const char* usage,
              const char* method, Output* out) {
    QString file;
    QList<int> n;
    if (!fileAndInts(args, intCount, verb, usage, &file, &n, out)) return 2;
    Session s(verb, out);
    if (!s.open(file, !method) || !s.enterState(false) || !s.call("SetCurPage", {n[0]})) return 1;
    if (!method) {
        const QString line = varLinesLine(s, n[0]);
        if (line.isEmpty()) return 1;
        out->text += line;
        return s.close() ? 0 : 1;
    }
    // Without an area the Reader's row methods would change the table,
    // which wants format state: the lines verbs only say there are none.
    QVariant used;
    if (!s.call("GetVarLines", {}, &used)) return 1;
    if (used.toInt() == 0) {
        s.failed(QStringLiteral("%1: %2").arg(QLatin1String(method),
                                              LoadErrorText(str::kReportHasNoVariableArea)));
        return 1;
    }
    QVariantList callArgs;
    for (int i = 1; i < n.size(); ++i) callArgs << n[i];
    if (!s.call(method, callArgs)) return 1;
    const QString line = varLinesLine(s, n[0]);
    if (line.isEmpty() || !s.restoreState()) return 1;
    return saveThenSay(s, line, out);
}

}  // namespace

int verbRegister(const QStringList& args, Output* out) {
    if (!args.isEmpty()) return usageError("register", "", out);
    QString error;
    if (!qor_DllRegisterServer(&error)) {
        out->err += QStringLiteral("qor register: %1\n").arg(error);
        return 1;
    }
    out->text +=
        QStringLiteral("registered %1 and %2 as %3 in %4\n")
            .arg(QLatin1String(kReaderProgId), QLatin1String(kReaderVersionIndependentProgId),
                 QLatin1String(kReaderClsid), Registry::filePath());
    return 0;
}

int verbUnregister(const QStringList& args, Output* out) {
    if (!args.isEmpty()) return usageError("unregister", "", out);
    QString error;
    if (!qor_DllUnregisterServer(&error)) {
        out->err += QStringLiteral("qor unregister: %1\n").arg(error);
        return 1;
    }
    out->text += QStringLiteral("removed %1 and %2 from %3\n")
                     .arg(QLatin1String(kReaderProgId),
                          QLatin1String(kReaderVersionIndependentProgId), Registry::filePath());
    return 0;
}

int verbPages(const QStringList& args, Output* out) {
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--")))
        return usageError("pages", "FILE", out);
    Session s("pages", out);
    if (!s.open(args.first(), true)) return 1;
    // Pages are walked in data state; the report is not saved, so a report
    // kept in format state stays so.
    if (!s.enterState(false)) return 1;
    QVariant pages;
    if (!s.call("GetPages", {}, &pages)) return 1;
    out->text += QStringLiteral("pages: %1\n").arg(pages.toInt());
    for (int p = 1; p <= pages.toInt(); ++p) {
        if (!s.call("SetCurPage", {p})) return 1;
        QStringList keywords;
        for (int slot = 0; slot < 7; ++slot) {
            QVariant k;
            if (!s.call("GetKeyword", {slot}, &k)) return 1;
            if (k.isValid()) keywords << QStringLiteral("%1=%2").arg(slot).arg(shown(k, true));
        }
        out->text += QStringLiteral("page %1:%2%3\n")
                         .arg(p)
                         .arg(keywords.isEmpty() ? QString() : QStringLiteral(" "))
                         .arg(keywords.join(QLatin1Char(' ')));
    }
    return s.close() ? 0 : 1;
}

int verbGet(const QStringList& args, Output* out) {
    QString file;
    QList<int> n;
    if (!fileAndInts(args, 3, "get", "FILE PAGE ROW COL", &file, &n, out)) return 2;
    Session s("get", out);
    if (!s.open(file, true) || !s.enterState(false) || !s.call("SetCurPage", {n[0]})) return 1;
    QVariant value;
    // A failed formula's cell keeps 0, which is no amount: nothing goes to
    // standard output, the failure to standard error, and the exit code
    // tells a script the read worked but found no value.
    if (!s.call("GetCellDataMatrix", {n[1], n[2]}, &value)) return s.formulaFailed() ? 3 : 1;
    out->text += shown(value, false) + QLatin1Char('\n');
    return s.close() ? 0 : 1;
}

int verbSet(const QStringList& argsIn, Output* out) {
    QStringList args = argsIn;
    bool asText = false;
    if (!takeTextFlag(&args, &asText, "set", out)) return 2;
    if (args.size() != 5) return usageError("set", "FILE PAGE ROW COL VALUE [--text]", out);
    const QString value = args.takeLast();
    QString file;
    QList<int> n;
    if (!fileAndInts(args, 3, "set", "FILE PAGE ROW COL VALUE [--text]", &file, &n, out)) return 2;
    Session s("set", out);
    if (!s.open(file) || !s.enterState(false) || !s.call("SetCurPage", {n[0]}) ||
        !s.call("SetCurCell", {n[1], n[2]}))
        return 1;
    if (asText) {
        // A number cell would take "00123" as the number 123: the caller
        // asked for the text, so that is refused like any other text.
        QVariant kind;
        if (!s.call("GetCellFormat", {0}, &kind)) return 1;
        const int k = kind.toInt();
        if (k != kCellText && k != kCellLabel && k != kCellOtherText) {
            out->err += QStringLiteral("qor set: SetData: %1\n")
                            .arg(TextIntoNumberCellMessage(value, n[1], n[2]));
            return 1;
        }
    }
    // The value goes as given: a number cell reads it by the number rule, a
    // text cell keeps it (an account number of 19 digits is no double).
    if (!s.call("SetData", {value})) return 1;
    // What reads the cell is worked out again by the engine before the
    // value is read back and saved. Formulas that fail do not undo the
    // write: the save names them (standard error, exit 3), and a read of
    // such a cell says so.
    QVariant now;
    if (!s.call("GetData", {}, &now) || !s.restoreState()) return 1;
    return saveThenSay(s,
                       QStringLiteral("page %1, row %2, column %3: %4\n")
                           .arg(n[0])
                           .arg(n[1])
                           .arg(n[2])
                           .arg(shown(now, true)),
                       out);
}

int verbFormat(const QStringList& argsIn, Output* out) {
    const char* usage = "FILE ROW COL CODE [VALUE]";
    QString file;
    QList<int> n;
    // Codes and the cell kinds may be given by name.
    QStringList args = argsIn;
    if (args.size() == 4 || args.size() == 5) {
        const int code = FormatCodeFromText(args[3]);
        if (code < 0) {
            out->err +=
                QStringLiteral("qor format: \"%1\" is not a format code; the codes are %2\n")
                    .arg(args[3], FormatCodeNameList());
            return 2;
        }
        args[3] = QString::number(code);
        int value = 0;
        if (args.size() == 5 && FormatValueFromText(code, args[4], &value))
            args[4] = QString::number(value);
    }
    if (args.size() == 4) {
        if (!fileAndInts(args, 3, "format", usage, &file, &n, out)) return 2;
        Session s("format", out);
        QVariant value;
        if (!s.open(file, true) || !s.call("SetCurCell", {n[0], n[1]}) ||
            !s.call("GetCellFormat", {n[2]}, &value))
            return 1;
        out->text += shown(value, false) + QLatin1Char('\n');
        return s.close() ? 0 : 1;
    }
    if (!fileAndInts(args, 4, "format", usage, &file, &n, out)) return 2;
    Session s("format", out);
    if (!s.open(file) || !s.enterState(true) || !s.call("SetCurCell", {n[0], n[1]}) ||
        !s.call("SetCellFormat", {n[2], n[3]}) || !s.restoreState())
        return 1;
    return saveThenSay(s,
                       QStringLiteral("row %1, column %2: format code %3 = %4\n")
                           .arg(n[0])
                           .arg(n[1])
                           .arg(n[2])
                           .arg(n[3]),
                       out);
}

int verbAppendPages(const QStringList& args, Output* out) {
    return shapeVerb(args, 1, "append-pages", "FILE N", "AppendPages", false, true, out);
}

int verbDeletePages(const QStringList& args, Output* out) {
    return shapeVerb(args, 2, "delete-pages", "FILE POS N", "DeletePages", false, true, out);
}

int verbAppendRows(const QStringList& args, Output* out) {
    return shapeVerb(args, 1, "append-rows", "FILE N", "AppendRows", true, false, out);
}

int verbInsertRows(const QStringList& args, Output* out) {
    return shapeVerb(args, 2, "insert-rows", "FILE POS N", "InsertRows", true, false, out);
}

int verbDeleteRows(const QStringList& args, Output* out) {
    return shapeVerb(args, 2, "delete-rows", "FILE POS N", "DeleteRows", true, false, out);
}

int verbLines(const QStringList& args, Output* out) {
    return linesVerb(args, 1, "lines", "FILE PAGE", nullptr, out);
}

int verbAppendLines(const QStringList& args, Output* out) {
    return linesVerb(args, 2, "append-lines", "FILE PAGE N", "AppendRows", out);
}

int verbInsertLines(const QStringList& args, Output* out) {
    return linesVerb(args, 3, "insert-lines", "FILE PAGE POS N", "InsertRows", out);
}

int verbDeleteLines(const QStringList& args, Output* out) {
    return linesVerb(args, 3, "delete-lines", "FILE PAGE POS N", "DeleteRows", out);
}

int verbKeyword(const QStringList& argsIn, Output* out) {
    const char* usage = "FILE PAGE SLOT [VALUE] [--text]";
    QStringList args = argsIn;
    bool asText = false;
    if (!takeTextFlag(&args, &asText, "keyword", out)) return 2;
    std::optional<QString> value;
    if (args.size() == 4) value = args.takeLast();
    if (args.size() == 3) {
        const int slot = KeywordSlotFromText(args[2]);
        if (slot < 0) {
            out->err +=
                QStringLiteral("qor keyword: \"%1\" is not a keyword slot; the slots are %2\n")
                    .arg(args[2], KeywordSlotNameList());
            return 2;
        }
        args[2] = QString::number(slot);
    }
    QString file;
    QList<int> n;
    if (!fileAndInts(args, 2, "keyword", usage, &file, &n, out)) return 2;
    Session s("keyword", out);
    if (!s.open(file, !value) || !s.enterState(false) || !s.call("SetCurPage", {n[0]})) return 1;
    // As given, as `set` writes it: a number keyword reads it by the rule.
    if (value && !s.call("SetKeyword", {n[1], *value})) return 1;
    QVariant now;
    if (!s.call("GetKeyword", {n[1]}, &now)) return 1;
    if (!value) {
        out->text += shown(now, false) + QLatin1Char('\n');
        return s.close() ? 0 : 1;
    }
    if (!s.restoreState()) return 1;
    return saveThenSay(
        s, QStringLiteral("page %1, keyword %2: %3\n").arg(n[0]).arg(n[1]).arg(shown(now, true)),
        out);
}

int verbTableSize(const QStringList& args, Output* out) {
    const char* usage = "FILE [ROWS COLS]";
    QString file;
    QList<int> n;
    if (args.size() == 1) {
        if (!fileAndInts(args, 0, "table-size", usage, &file, &n, out)) return 2;
        Session s("table-size", out);
        if (!s.open(file, true)) return 1;
        out->text += tableSizeLine(s);
        return s.close() ? 0 : 1;
    }
    if (!fileAndInts(args, 2, "table-size", usage, &file, &n, out)) return 2;
    Session s("table-size", out);
    if (!s.open(file) || !s.enterState(true) || !s.call("SetTableSize", {n[0], n[1]}) ||
        !s.restoreState())
        return 1;
    return saveThenSay(s, tableSizeLine(s), out);
}

// ---------------------------------------------------------------------------
// reader-script

namespace {

// Splits one line into the method and its arguments; false with a reason.
bool parseScriptLine(const QString& line, ReaderScriptCall* call, QString* error) {
    QStringList words;
    QList<bool> quotedWords;
    int i = 0;
    const int n = int(line.size());
    while (i < n) {
        while (i < n && line[i].isSpace()) ++i;
        if (i >= n) break;
        QString word;
        if (line[i] == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line[i++];
                if (c == QLatin1Char('"')) {
                    closed = true;
                    break;
                }
                if (c == QLatin1Char('\\') && i < n) {
                    // The escapes the output writes read back as what they
                    // stand for, so a text printed can be sent again.
                    const QChar e = line[i++];
                    if (e == QLatin1Char('n'))
                        word += QChar(QLatin1Char('\n'));
                    else if (e == QLatin1Char('r'))
                        word += QChar(QLatin1Char('\r'));
                    else if (e == QLatin1Char('0'))
                        word += QChar(u'\0');
                    else
                        word += e;
                } else {
                    word += c;
                }
            }
            if (!closed) {
                *error = QStringLiteral("a quoted text is not closed");
                return false;
            }
            if (i < n && !line[i].isSpace()) {
                *error = QStringLiteral("a quoted text runs into the next argument");
                return false;
            }
            words << word;
            quotedWords << true;
        } else {
            while (i < n && !line[i].isSpace()) word += line[i++];
            words << word;
            quotedWords << false;
        }
    }
    if (words.isEmpty() || quotedWords.first()) {
        *error = QStringLiteral("a line starts with the name of a method");
        return false;
    }
    call->method = words.first();
    for (int w = 1; w < words.size(); ++w) call->args << valueArgument(words[w], quotedWords[w]);
    return true;
}

}  // namespace

bool ParseReaderScript(const QString& text, QList<ReaderScriptCall>* calls, QString* error) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        ReaderScriptCall call;
        call.line = i + 1;
        QString reason;
        if (!parseScriptLine(line, &call, &reason)) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(reason);
            return false;
        }
        *calls << call;
    }
    return true;
}

namespace {

// The Reader's methods as the object itself declares them, so the list
// cannot fall behind the object.
int listReaderMethods(Output* out) {
    AutoObject reader;
    try {
        reader = AutoObject::create(kProgId);
    } catch (const AutoError& e) {
        out->err += QStringLiteral("qor reader-script: %1\n").arg(e.text());
        return 1;
    }
    out->text += QStringLiteral(
        "Every method answers ok=true or ok=false error=\"TEXT\"; those that read\n"
        "something also answer value=V. Rows, columns and pages count from 1.\n\n");
    for (const AutoMethodInfo& m : reader.methods()) {
        QString call = m.name;
        for (int i = 0; i < m.parameters.size(); ++i)
            call += i < m.required ? QStringLiteral(" %1").arg(m.parameters[i])
                                   : QStringLiteral(" [%1]").arg(m.parameters[i]);
        out->text += QStringLiteral("%1\n    %2\n").arg(call, m.help);
    }
    return 0;
}

}  // namespace

int verbReaderScript(const QStringList& args, Output* out) {
    if (args.size() == 1 && args.first() == QLatin1String("--list")) return listReaderMethods(out);
    if (args.size() != 1) return usageError("reader-script", "SCRIPT | --list", out);
    QString text;
    if (args.first() == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            out->err += QStringLiteral("qor reader-script: cannot read standard input\n");
            return 2;
        }
        text = QString::fromUtf8(in.readAll());
    } else {
        QFile in(args.first());
        if (!in.open(QIODevice::ReadOnly)) {
            out->err += QStringLiteral("qor reader-script: cannot read %1: %2\n")
                            .arg(args.first(), in.errorString());
            return 2;
        }
        text = QString::fromUtf8(in.readAll());
    }

    QList<ReaderScriptCall> calls;
    QString error;
    if (!ParseReaderScript(text, &calls, &error)) {
        out->err += QStringLiteral("qor reader-script: %1\n").arg(error);
        return 2;
    }

    AutoObject reader;
    try {
        reader = AutoObject::create(kProgId);
    } catch (const AutoError& e) {
        out->err += QStringLiteral("qor reader-script: %1\n").arg(e.text());
        return 1;
    }
    bool allOk = true;
    // Calls that failed only because formulas failed (a read of such a
    // cell, a Recalc or Save that left some): exit code 3, as qor run's.
    bool onlyFormulas = true;
    for (const ReaderScriptCall& call : calls) {
        QVariantMap answer;
        try {
            const QVariant result = reader.invoke(call.method, call.args);
            if (result.metaType().id() == QMetaType::QVariantMap) {
                answer = result.toMap();
            } else {
                // A property ("ReadOnly true" sets one, "ReadOnly" reads
                // it): it answers no map of its own, only its value.
                answer.insert(QStringLiteral("ok"), true);
                if (call.args.isEmpty()) answer.insert(QStringLiteral("value"), result);
            }
        } catch (const AutoError& e) {
            out->text += QStringLiteral("%1: call failed: %2\n").arg(call.method, e.text());
            allOk = false;
            onlyFormulas = false;
            continue;
        }
        const bool ok = answer.value(QStringLiteral("ok")).toBool();
        QString line = QStringLiteral("%1: ok=%2").arg(call.method, ok ? "true" : "false");
        if (!ok) {
            line += QStringLiteral(" error=") +
                    quoted(answer.value(QStringLiteral("error")).toString());
            allOk = false;
            if (!answer.value(QStringLiteral("formulaFailed")).toBool()) onlyFormulas = false;
            // A failed formula's cell: the value it keeps, marked as such.
            if (answer.value(QStringLiteral("formulaFailed")).toBool())
                line += QStringLiteral(" formulaFailed=true value=") +
                        shown(answer.value(QStringLiteral("value")), true);
        } else if (answer.contains(QStringLiteral("value"))) {
            line += QStringLiteral(" value=") + shown(answer.value(QStringLiteral("value")), true);
        }
        out->text += line + QLatin1Char('\n');
    }
    return allOk ? 0 : onlyFormulas ? 3 : 1;
}

}  // namespace qor::app
