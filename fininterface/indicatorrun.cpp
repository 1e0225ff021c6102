#include "fininterface/indicatorrun.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "platform/codepage.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "platform/safefile.h"

namespace qor {

namespace {

constexpr double kUnset = -1.7E+308;
const QString kInter = QStringLiteral("InterCS");
const QString kReportSoft = QStringLiteral("ReportSoft");
const QString kFinanceSoft = QStringLiteral("FinanceSoft");
const QString kType = QStringLiteral("TYPE");

// The leading decimal number of a text (0 without one), and where it ends.
int leadingNumber(const QString& text, qsizetype* end = nullptr) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) ++i;
    if (end) *end = i;
    return i ? text.left(i).toInt() : 0;
}

bool startsWithDigit(const QString& t) {
    return !t.isEmpty() && t[0].unicode() < 128 && t[0].isDigit();
}

// Year, month and day of "y-m-d"; false for any other shape.
bool parseDate(const QString& text, int* y, int* m, int* d) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,4})-(\\d{1,2})-(\\d{1,2})\\s*$"));
    const auto match = re.match(text);
    if (!match.hasMatch()) return false;
    *y = match.captured(1).toInt();
    *m = match.captured(2).toInt();
    *d = match.captured(3).toInt();
    return true;
}

QString shownDate(const QString& text) {
    QString out = text.trimmed();
    const qsizetype a = out.indexOf(QLatin1Char('-'));
    if (a >= 0) out.replace(a, 1, LoadErrorText(62037));
    const qsizetype b = out.indexOf(QLatin1Char('-'));
    if (b >= 0) out.replace(b, 1, LoadErrorText(62039));
    return out + LoadErrorText(62040);
}

QString resultDate(int y, int m, int d) {
    return QStringLiteral("%1-%2-%3")
        .arg(y)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(d, 2, 10, QLatin1Char('0'));
}

}  // namespace

std::optional<QString> ReadFormulaLibraryPath() {
    const QString v = Registry::readString(QString::fromLatin1(kIndicatorRegistryKey),
                                           QString::fromLatin1(kFormulaLibraryValue));
    if (v.isEmpty()) return std::nullopt;
    return v;
}

bool WriteFormulaLibraryPath(const QString& path) {
    // The key is our own file's section: it is made when missing, so the
    // choice is never dropped silently.
    return Registry::writeString(QString::fromLatin1(kIndicatorRegistryKey),
                                 QString::fromLatin1(kFormulaLibraryValue), path);
}

bool ReadInterfaceFile(const QString& path, IndicatorSettings* s) {
    const IniFile ini(path);
    s->interfacePath = path;
    s->missing.clear();
    s->warnings.clear();
    s->startText = ini.readString(kInter, QStringLiteral("StartTime"));
    s->endText = ini.readString(kInter, QStringLiteral("EndTime"));
    s->indicatorLib = ini.readString(kInter, QStringLiteral("CWZBK_File"));
    s->formulaLib =
        ReadFormulaLibraryPath().value_or(ini.readString(kInter, QStringLiteral("CWGSK_File")));
    s->resultLib = ini.readString(kInter, QStringLiteral("CWSJK_File"));
    s->logFile = ini.readString(kInter, QStringLiteral("Log_File"));
    const std::pair<const QString*, int> named[] = {{&s->indicatorLib, 62341},
                                                    {&s->formulaLib, 62342},
                                                    {&s->resultLib, 62343},
                                                    {&s->logFile, 62344}};
    for (const auto& [value, id] : named)
        if (value->isEmpty()) s->missing << LoadErrorText(id);
    if (!s->missing.isEmpty()) return false;

    // A date that is not year-month-day would read as month 0 and day 0:
    // it counts as empty, and the trace says so.
    auto date = [s](QString* text, int* y, int* m, int* d) {
        if (!text->trimmed().isEmpty() && !parseDate(*text, y, m, d)) {
            s->warnings << QStringLiteral(
                               "%1: \"%2\" is no date (year-month-day); 1999-01-01 is used")
                               .arg(s->interfacePath, *text);
            text->clear();
        }
        if (text->trimmed().isEmpty()) *text = QStringLiteral("1999-01-01");
        parseDate(*text, y, m, d);
    };
    date(&s->startText, &s->startYear, &s->startMonth, &s->startDay);
    date(&s->endText, &s->endYear, &s->endMonth, &s->endDay);
    s->startShown = shownDate(s->startText);
    s->endShown = shownDate(s->endText);

    s->accountSet = ini.readString(kInter, QStringLiteral("ZT_NO"));
    const int year = ini.readInt(kInter, QStringLiteral("KJ_ND"), -1);
    s->accountingYear = year > 0 ? year : s->endYear;
    const QString dir = ini.readString(kInter, QStringLiteral("KM_FX"));
    s->direction = dir == LoadErrorText(62356) ? 0 : dir == LoadErrorText(62357) ? 1 : -1;

    s->period = LoadErrorText(62358);
    if (s->startYear == s->endYear)
        s->period = LoadErrorText(s->startMonth != s->endMonth ? 62039 : 62040);
    return true;
}

bool LoadIndicatorList(IndicatorSettings* s) {
    s->codes.clear();
    if (s->indicatorLib.isEmpty() || !QFileInfo(s->indicatorLib).isReadable()) return false;
    return LoadIndicatorList(s, IniFile(s->indicatorLib));
}

bool LoadIndicatorList(IndicatorSettings* s, const IniFile& ini) {
    s->codes.clear();
    if (!ini.exists()) return false;
    s->decimals = std::clamp(ini.readInt(kReportSoft, QStringLiteral("Decimal"), 2), 0, 8);
    s->unitName = LoadErrorText(62359);
    s->moneyUnit = 1;
    if (ini.hasKey(kReportSoft, QStringLiteral("MoneyUnit"))) {
        const QString unit = ini.readString(kReportSoft, QStringLiteral("MoneyUnit")).trimmed();
        qsizetype end = 0;
        s->moneyUnit = std::max(1, leadingNumber(unit, &end));
        const QString name = unit.mid(end).left(19);
        if (!name.isEmpty()) s->unitName = name;
    }
    const int merge = ini.readInt(kReportSoft, QStringLiteral("Merge"), 0);
    s->merge = merge == 1 ? 1 : 0;
    for (const QString& section : ini.sections()) {
        const QString code = section.trimmed().toLower();
        if (code == u"end") break;
        if (code.isEmpty() || code == u"type" || code == u"reportsoft" || code == u"financesoft")
            continue;
        s->codes << code;
    }
    return true;
}

QString ExpandIndicatorPlaceholders(const QString& e, const IndicatorSettings& s) {
    QString out;
    out.reserve(e.size() + 16);
    auto take = [&](qsizetype i, QStringView word) {
        return e.mid(i, word.size()).compare(word, Qt::CaseInsensitive) == 0;
    };
    // A year may carry "+n" or "-n" straight after it.
    auto year = [&](qsizetype* i, int value) {
        qsizetype j = *i;
        if (j < e.size() && (e[j] == u'+' || e[j] == u'-')) {
            qsizetype k = j + 1;
            while (k < e.size() && e[k].isDigit() && e[k].unicode() < 128) ++k;
            if (k > j + 1) {
                const int n = e.mid(j + 1, k - j - 1).toInt();
                value += e[j] == u'+' ? n : -n;
                *i = k;
            }
        }
        out += QString::number(value);
    };
    for (qsizetype i = 0; i < e.size();) {
        if (e[i] != u'%') {
            out += e[i++];
            continue;
        }
        struct P {
            const char16_t* word;
            int kind;
        };
        static const P places[] = {
            {u"%beginyear%", 0}, {u"%beginmonth%", 1}, {u"%beginday%", 2}, {u"%endyear%", 3},
            {u"%endmonth%", 4},  {u"%endday%", 5},     {u"%ztno%", 6},     {u"%kjnd%", 7},
            {u"%kmfx%", 8},      {u"%during%", 9},
        };
        bool matched = false;
        for (const P& p : places) {
            const QStringView word(p.word);
            if (!take(i, word)) continue;
            matched = true;
            i += word.size();
            switch (p.kind) {
                case 0:
                    year(&i, s.startYear);
                    break;
                case 1:
                    out += QString::number(s.startMonth);
                    break;
                case 2:
                    out += QString::number(s.startDay);
                    break;
                case 3:
                    year(&i, s.endYear);
                    break;
                case 4:
                    out += QString::number(s.endMonth);
                    break;
                case 5:
                    out += QString::number(s.endDay);
                    break;
                case 6:
                    out += s.accountSet;
                    break;
                case 7:
                    out += QString::number(s.accountingYear);
                    break;
                case 8:
                    if (s.direction >= 0) out += LoadErrorText(s.direction == 0 ? 62356 : 62357);
                    break;
                case 9:
                    out += s.period;
                    break;
            }
            break;
        }
        if (!matched) out += e[i++];
    }
    return out;
}

// ---- the run ----------------------------------------------------------------

// The result library is written as the run goes: its head once, through a
// temporary file, then each indicator's section appended whole as soon as
// it is computed, so a stop or a crash keeps every section written and no
// indicator costs a rewrite of the file. The end of a run sets the head's
// validity flag in place (one byte, "1" or "0") and appends the end mark.
struct CIndicatorRun::Files {
    IniFile indicators;
    IniFile formulas;
    QFile result;
    QFile log;
    qint64 validFlagAt = -1;  // offset of the head's DBValidFlag value
    QString pendingLog;       // the indicator's trace lines, written with its section
    QList<std::pair<QString, QString>> section;  // the indicator being computed
    Files(const IndicatorSettings& s)
        : indicators(s.indicatorLib), formulas(s.formulaLib), result(s.resultLib) {}
    void set(const QString& key, const QString& value) {
        for (auto& kv : section)
            if (kv.first == key) {
                kv.second = value;
                return;
            }
        section.append({key, value});
    }
};

namespace {

// One INI line; a value never carries a line break into the file. Lines
// are gathered as text and encoded together: one conversion per section.
void iniLine(QString* out, const QString& key, QString value) {
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    *out += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
}

void iniHeader(QString* out, const QString& name) {
    *out += QLatin1Char('[') + name + QStringLiteral("]\r\n");
}

QByteArray gb18030(const QString& text) { return encodeText(text, "GB18030"); }

}  // namespace

CIndicatorRun::CIndicatorRun(IndicatorSettings settings, LineRunner run, TraceSink trace)
    : m_settings(std::move(settings)),
      m_run(std::move(run)),
      m_trace(std::move(trace)),
      m_random(std::random_device{}()) {}

CIndicatorRun::~CIndicatorRun() = default;

void CIndicatorRun::trace(const QString& line) {
    TraceMessage(line);
    if (m_trace) m_trace(line);
    if (m_files && m_files->log.isOpen()) {
        // Written with each indicator's section (saveResult).
        m_files->pendingLog += line + QStringLiteral("\r\n");
    }
}

bool CIndicatorRun::Start(QString* message) {
    IndicatorSettings& s = m_settings;
    const QString cannotOpen = LoadErrorText(62364);
    const QString checkIt = LoadErrorText(62365);
    m_files.reset();
    // Both libraries are read once, here, and serve the whole run.
    auto files = std::make_unique<Files>(s);
    if (s.indicatorLib.isEmpty() || !QFileInfo(s.indicatorLib).isReadable() ||
        !LoadIndicatorList(&s, files->indicators)) {
        *message = cannotOpen + s.indicatorLib + checkIt;
        return false;
    }
    if (s.codes.isEmpty()) {
        *message = LoadErrorText(62366);
        return false;
    }
    if (s.formulaLib.isEmpty() || !QFileInfo(s.formulaLib).isReadable()) {
        *message = cannotOpen + s.formulaLib + checkIt;
        return false;
    }
    if (s.resultLib.isEmpty()) {
        *message = LoadErrorText(62367);
        return false;
    }
    // A new run starts the result library afresh.
    if (!files->result.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        *message = LoadErrorText(62369);
        return false;
    }
    m_files = std::move(files);
    m_files->log.setFileName(s.logFile);
    if (!m_files->log.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_files.reset();
        *message = LoadErrorText(62370);
        return false;
    }
    // What the sibling program reads: GB18030 with CR LF.
    const IniFile& f = m_files->formulas;
    const IniFile& i = m_files->indicators;
    QString text;
    iniHeader(&text, kFinanceSoft);
    iniLine(&text, QStringLiteral("FCorp"), f.readString(kFinanceSoft, QStringLiteral("FCorp")));
    iniLine(&text, QStringLiteral("FVersion"),
            f.readString(kFinanceSoft, QStringLiteral("FVersion")));
    iniLine(&text, QStringLiteral("RCorp"), i.readString(kReportSoft, QStringLiteral("RCorp")));
    iniLine(&text, QStringLiteral("RVersion"),
            i.readString(kReportSoft, QStringLiteral("RVersion")));
    iniLine(&text, QStringLiteral("Class"), f.readString(kFinanceSoft, QStringLiteral("Class")));
    iniLine(&text, QStringLiteral("StartTime"), resultDate(s.startYear, s.startMonth, s.startDay));
    iniLine(&text, QStringLiteral("EndTime"), resultDate(s.endYear, s.endMonth, s.endDay));
    iniLine(&text, QStringLiteral("CreateTime"),
            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    QByteArray head = gb18030(text);
    head += "DBValidFlag=";
    const qint64 validFlagAt = head.size();
    head += "1\r\n";
    text.clear();
    for (const char* key : {"MoneyUnit", "Decimal", "Merge"})
        iniLine(&text, QString::fromLatin1(key),
                i.readString(kReportSoft, QString::fromLatin1(key)));
    iniHeader(&text, kType);
    for (const char* key : {"1", "2", "3", "4"})
        iniLine(&text, QString::fromLatin1(key), f.readString(kType, QString::fromLatin1(key)));
    head += gb18030(text);
    if (m_files->result.write(head) != head.size() || !m_files->result.flush()) {
        m_files.reset();
        *message = LoadErrorText(62369);
        return false;
    }
    m_files->validFlagAt = validFlagAt;
    m_index = 0;
    m_failed = false;
    return true;
}

void CIndicatorRun::writeLog() {
    if (m_files->pendingLog.isEmpty()) return;
    m_files->log.write(gb18030(m_files->pendingLog));
    m_files->pendingLog.clear();
    m_files->log.flush();
}

bool CIndicatorRun::saveResult() {
    if (m_files->section.isEmpty()) return true;
    QString text;
    iniHeader(&text, m_files->section.first().first);
    for (qsizetype k = 1; k < m_files->section.size(); ++k)
        iniLine(&text, m_files->section[k].first, m_files->section[k].second);
    const QByteArray block = gb18030(text);
    m_files->section.clear();
    writeLog();
    const bool ok = m_files->result.write(block) == block.size() && m_files->result.flush();
    if (!ok)
        trace(QStringLiteral("%1: %2").arg(m_settings.resultLib, m_files->result.errorString()));
    return ok;
}

QString CIndicatorRun::freshVariableName() {
    const CCalcRuntime& rt = CCalcInterpreter::Instance().Runtime();
    QString name;
    do {
        name = QStringLiteral("&");
        for (int i = 0; i < 7; ++i)
            name += QChar(u'a' + char16_t((m_random() % unsigned(11 + 10 * i)) % 26));
    } while (rt.FindVariable(name) >= 0);
    return name;
}

CIndicatorRun::Evaluated CIndicatorRun::evaluate(const QString& expression) {
    Evaluated out;
    CCalcRuntime& rt = CCalcInterpreter::Instance().Runtime();
    const QString name = freshVariableName();
    const QString line = QStringLiteral("let %1 = %2").arg(name, expression);
    // A line the command buffer cannot hold fails whole; it is never cut.
    if (line.size() > CCalcRuntime::kCommandBufferChars) {
        trace(QStringLiteral("%1 characters: the expression does not fit the command buffer")
                  .arg(line.size()));
        return out;
    }
    m_run(QStringLiteral("let %1 = -1.7E+308").arg(name));
    m_run(line);
    const int at = rt.FindVariable(name);
    if (at < 0) {
        trace(LoadErrorText(62380));
        return out;
    }
    const CalcVariable v = rt.GetVariable(at);
    m_run(QStringLiteral("free %1").arg(name));
    if (v.type == 0) {
        if (v.number == kUnset) return out;
        out.numeric = true;
        out.number = v.number;
    } else {
        out.text = v.text;
    }
    out.ok = true;
    return out;
}

std::optional<QString> CIndicatorRun::expandSubIndicators(const QString& expression) {
    static const QRegularExpression re(QStringLiteral("%zb([^%]{1,20})%"),
                                       QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype from = 0;
    auto it = re.globalMatch(expression);
    while (it.hasNext()) {
        const auto m = it.next();
        out += expression.mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QString sub =
            m_files->formulas.readString(m.captured(1), QStringLiteral("Expressions"));
        if (sub.isEmpty()) {
            out += QStringLiteral("0.0");
            continue;
        }
        const QString expanded = ExpandIndicatorPlaceholders(sub, m_settings);
        trace(LoadErrorText(62376) + expanded);
        const Evaluated v = evaluate(expanded);
        // A sub-indicator without a value fails the indicator using it.
        if (!v.ok) return std::nullopt;
        out += v.numeric ? QString::number(v.number, 'g', 17) : v.text;
    }
    out += expression.mid(from);
    return out;
}

void CIndicatorRun::Step() {
    if (Done() || !m_files) return;
    const IndicatorSettings& s = m_settings;
    const QString code = s.codes[m_index];
    const int number = m_index + 1;
    ++m_index;
    const IniFile& ind = m_files->indicators;
    // The section's name leads the pending list; its keys follow.
    m_files->section = {{code, QString()}};

    const QString name = ind.readString(code, QStringLiteral("Name"));
    QString unit = ind.readString(code, QStringLiteral("MoneyUnit"));
    if (unit.isEmpty()) {
        unit = QString::number(s.moneyUnit) + s.unitName;
        if (leadingNumber(unit) <= 0) unit = s.unitName;
    }
    QString decimals = ind.readString(code, QStringLiteral("Decimal"));
    if (decimals.isEmpty() || !startsWithDigit(decimals) || leadingNumber(decimals) > 8)
        decimals = QString::number(s.decimals);
    const QString expression = m_files->formulas.readString(code, QStringLiteral("Expressions"));

    m_files->set(QStringLiteral("Name"), name);
    m_files->set(QStringLiteral("MoneyUnit"), unit);
    m_files->set(QStringLiteral("Decimal"), decimals);
    m_files->set(QStringLiteral("Value"), QString());
    m_files->set(QStringLiteral("ZBValidFlag"), QStringLiteral("1"));
    trace(FillMessageText(LoadErrorText(62374), {QString::number(number), code, name}));
    trace(LoadErrorText(62375) + expression);

    auto fail = [&](const QString& value) {
        m_files->set(QStringLiteral("Value"), value);
        m_files->set(QStringLiteral("ZBValidFlag"), QStringLiteral("0"));
        m_failed = true;
        saveResult();
    };
    if (expression.isEmpty()) return fail(QString());
    if (expression.size() > kMaxExpressionChars) {
        trace(QStringLiteral("%1: the expression has %2 characters, more than %3")
                  .arg(code)
                  .arg(expression.size())
                  .arg(kMaxExpressionChars));
        return fail(QStringLiteral("ERROR"));
    }
    const std::optional<QString> withSubs = expandSubIndicators(expression);
    if (!withSubs) {
        trace(FillMessageText(LoadErrorText(62381), {QString::number(number)}));
        return fail(QStringLiteral("ERROR"));
    }
    const QString full = ExpandIndicatorPlaceholders(*withSubs, s);
    trace(LoadErrorText(62377) + full);
    const Evaluated v = evaluate(full);
    if (!v.ok) {
        trace(FillMessageText(LoadErrorText(62381), {QString::number(number)}));
        return fail(QStringLiteral("ERROR"));
    }
    QString value = v.text;
    if (v.numeric) {
        const int div = startsWithDigit(unit) && leadingNumber(unit) > 0 ? leadingNumber(unit) : 1;
        const int dec = startsWithDigit(decimals) ? std::clamp(leadingNumber(decimals), 0, 8) : 2;
        value = FormatFixedNumber(v.number / div, dec);
    }
    m_files->set(QStringLiteral("Value"), value);
    trace(FillMessageText(LoadErrorText(62379), {QString::number(number)}));
    saveResult();
}

bool CIndicatorRun::Finish() {
    if (!m_files) return false;
    QFile& r = m_files->result;
    // The end mark is the section itself: a bare "=" line would stop
    // ordinary INI readers, so the section is written without keys.
    bool ok = r.write("[End]\r\n") == 7 && r.flush();
    if (m_failed) ok = r.seek(m_files->validFlagAt) && r.write("0", 1) == 1 && r.flush() && ok;
    if (!ok) trace(QStringLiteral("%1: %2").arg(m_settings.resultLib, r.errorString()));
    r.close();
    writeLog();
    m_files.reset();
    return ok;
}

}  // namespace qor
