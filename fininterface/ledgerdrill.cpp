#include "fininterface/ledgerdrill.h"

#include <QHash>
#include <QRegularExpression>
#include <QLoggingCategory>
#include <algorithm>

#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/callarguments.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/automation.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/dispatchdrivers.h"
#include "reader/ledgerstandins.h"

namespace qor::ledger {

namespace {

Q_LOGGING_CATEGORY(lcDrill, "qor.ledger.drill")

bool isLedgerName(const QString& name) {
    static const QStringList bases = {
        QStringLiteral("QC"),  QStringLiteral("QM"),  QStringLiteral("FS"), QStringLiteral("JE"),
        QStringLiteral("TFS"), QStringLiteral("DFS"), QStringLiteral("LFS")};
    if (bases.contains(name)) return true;
    return name.size() > 1 && (name.front() == u'S' || name.front() == u'W') &&
           bases.contains(name.mid(1));
}

// The counterpart family has one argument more before the period.
bool isCounterpartName(const QString& name) {
    return name == u"DFS" || name == u"SDFS" || name == u"WDFS";
}

// One ledger call found in the formula: its account code, its
// arguments and where its argument list starts.
struct FoundCall {
    QString code;
    QStringList args;
    qsizetype open = 0;  // position of its "("
};

// The name written right before position open ("(").
QString callNameAt(const QString& f, qsizetype open) {
    qsizetype start = open;
    while (start > 0 && f.at(start - 1).isLetter()) --start;
    return f.mid(start, open - start);
}

QString stripQuotes(QString text) {
    text = text.trimmed();
    if (text.startsWith(u'"')) text.remove(0, 1);
    if (text.endsWith(u'"')) text.chop(1);
    return text.trimmed();
}

// The arguments of the call whose "(" stands at open, as written (see
// SplitCallArguments); *close, when asked, the position of its ")" in f or
// -1.
QStringList callArguments(const QString& f, qsizetype open, qsizetype* close = nullptr) {
    qsizetype end = -1;
    const QStringList args = SplitCallArguments(QStringView(f).mid(open + 1), &end);
    if (close) *close = end < 0 ? -1 : open + 1 + end;
    return args;
}

// The "(" of every call in the formula, in order; brackets inside quoted
// texts are no calls.
QList<qsizetype> openingBrackets(const QString& f) {
    QList<qsizetype> out;
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (f.at(i) == u'"') quoted = !quoted;
        else if (!quoted && f.at(i) == u'(') out << i;
    }
    return out;
}

QList<FoundCall> findCalls(const QString& f) {
    QList<FoundCall> calls;
    QList<qsizetype> seen;
    const QList<qsizetype> opens = openingBrackets(f);
    for (const char* word : {"QC", "QM", "FS", "JE"}) {
        const QString w = QLatin1String(word);
        for (const qsizetype open : opens) {
            if (calls.size() >= kMaxAccountCodes) return calls;
            if (seen.contains(open) || !callNameAt(f, open).contains(w)) continue;
            const QStringList args = callArguments(f, open);
            // A code argument that is itself a call or an expression names
            // no account as written: its value is known only when the cell
            // is computed, and the calls inside it are read on their own.
            const QString code = stripQuotes(args.front());
            if (code.isEmpty() || ArgumentHoldsCall(args.front())) continue;
            seen.append(open);
            calls.append({code, args, open});
        }
    }
    return calls;
}

// The month of a date written year-month-day (or year-month) in the
// call's eighth argument; empty when the call has fewer arguments or the
// date names no day of the calendar ("2024-13-40", "abcd-05-31").
QString monthOfEighthArgument(const QStringList& args) {
    if (args.size() < 8) return QString();
    static const QRegularExpression date(
        QStringLiteral("^(\\d{1,4})-(\\d{1,2})(?:-(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = date.match(stripQuotes(args.at(7)));
    if (!m.hasMatch()) return QString();
    const int day = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    if (!QDate(m.captured(1).toInt(), m.captured(2).toInt(), day).isValid()) return QString();
    return m.captured(2);
}

QString keywordText(CReportHandle* report, int slot, int page) {
    if (!report || page < 1) return QString();
    KeywordValue value;
    if (report->GetPageKeyword(slot, &value, page) != 0) return QString();
    if (value.kind == 1) return QString::asprintf("%.0f", value.number);
    if (value.kind == 2) return value.text.trimmed();
    return QString();
}

constexpr int kQuarterSlot = 3;
constexpr int kMonthSlot = 4;

}  // namespace

bool IsLedgerFunctionName(QStringView name) {
    const QString upper = name.toString().toUpper();
    return upper.endsWith(QLatin1String("EX")) || isLedgerName(upper);
}

bool IsLedgerFunction(const QString& formula) {
    QString rest = formula;
    rest.remove(u' ');
    rest.remove(u'\t');
    qsizetype open = rest.indexOf(u'(');
    if (open < 0) return false;
    for (;;) {
        const QString head = rest.left(open);
        if (head.endsWith(QLatin1String("EX"))) return true;
        if (!isLedgerName(head)) return false;
        // A call that never closes is no call; its arguments (quoted texts,
        // nested calls) are its own, whatever brackets they hold.
        qsizetype close = -1;
        callArguments(rest, open, &close);
        if (close < 0) return false;
        rest = rest.mid(close + 1);
        if (!rest.contains(u'(')) return true;
        rest.remove(0, 1);  // the operator joining the next call
        open = rest.indexOf(u'(');
    }
}

LedgerRequest ReadLedgerRequest(const QString& f) {
    LedgerRequest request;
    QList<FoundCall> calls = findCalls(f);
    if (calls.isEmpty()) return request;
    std::stable_sort(calls.begin(), calls.end(),
                     [](const FoundCall& a, const FoundCall& b) { return a.code < b.code; });
    for (const FoundCall& c : calls) request.codes.append(c.code);

    // The arguments of the call that gave the first code, not of whichever
    // earlier call happens to mention the same digits. The include flag is
    // an argument of its own, after the period (one further on for the
    // counterpart family): a "Y" in an account code or a period says
    // nothing about it.
    const FoundCall& first = calls.front();
    const int period = isCounterpartName(callNameAt(f, first.open)) ? 2 : 1;
    const auto argument = [&first](int i) {
        return i < first.args.size() ? stripQuotes(first.args.at(i)) : QString();
    };
    request.include = argument(period + 1) == u"Y";
    request.period = argument(period);
    if (request.period.isEmpty()) request.period = monthOfEighthArgument(first.args);
    return request;
}

QString ResolvePeriod(const QString& formula, const QString& period, const PeriodContext& context) {
    const bool opening = formula.contains(QLatin1String("QC"));
    static const QHash<QString, std::pair<const char*, const char*>> quarters = {
        {QStringLiteral("21"), {"1", "3"}},
        {QStringLiteral("22"), {"4", "6"}},
        {QStringLiteral("23"), {"7", "9"}},
        {QStringLiteral("24"), {"10", "12"}},
    };
    if (auto it = quarters.constFind(period); it != quarters.constEnd())
        return QLatin1String(opening ? it->first : it->second);
    if (period == u"30" || period == LoadErrorText(str::kWholeYear))
        return opening ? QStringLiteral("1") : QStringLiteral("12");
    const QString loginMonth = QString::asprintf("%i", context.loginDate.month());
    auto unset = [](const QString& k) { return k.isEmpty() || k == u"0"; };
    if (period == LoadErrorText(str::kKeywordMonth))
        return unset(context.monthKeyword) ? loginMonth : context.monthKeyword;
    if (period == LoadErrorText(str::kKeywordQuarter)) {
        const QString& q = context.quarterKeyword;
        if (unset(q)) return loginMonth;
        static const QHash<QString, std::pair<const char*, const char*>> byQuarter = {
            {QStringLiteral("1"), {"1", "3"}},
            {QStringLiteral("2"), {"4", "6"}},
            {QStringLiteral("3"), {"7", "9"}},
            {QStringLiteral("4"), {"10", "12"}},
        };
        if (auto it = byQuarter.constFind(q); it != byQuarter.constEnd())
            return QLatin1String(opening ? it->first : it->second);
        return period;
    }
    return period;
}

PeriodContext PeriodContextOf(const CQorsDoc& doc, const QDate& loginDate) {
    PeriodContext context;
    context.loginDate = loginDate;
    context.monthKeyword = keywordText(doc.GetReport(), kMonthSlot, doc.ViewState().curPage);
    context.quarterKeyword = keywordText(doc.GetReport(), kQuarterSlot, doc.ViewState().curPage);
    return context;
}

LedgerDrillResult DrillToLedger(const CQorsDoc& doc, CAppEnvironment& env) {
    LedgerDrillResult result;
    QString formula;
    if (!doc.IsOpen() || !doc.GetCellFormula(doc.Selection().CurrentRow(),
                                             doc.Selection().CurrentColumn(), &formula)) {
        result.error = LoadErrorText(str::kCellHasNoFormula);
        return result;
    }
    const QString f = formula.toUpper();
    if (!IsLedgerFunction(f)) {
        result.error = LoadErrorText(str::kFormulaNotLedgerFunction);
        return result;
    }
    const LedgerRequest request = ReadLedgerRequest(f);
    if (request.codes.isEmpty()) {
        result.error = LoadErrorText(str::kFormulaLacksAccount);
        return result;
    }
    if (!env.IsLoggedIn()) env.Login();
    result.codeList = request.codeList();
    result.period = ResolvePeriod(f, request.period, PeriodContextOf(doc, env.GetLoginDate()));
    result.include = request.include;

    CLedgerDriver ledger;
    CLedgerQueryDriver query;
    if (!ledger.CreateDispatch(QLatin1String(LedgerStandIn::kClsid)) ||
        !query.CreateDispatch(QLatin1String(LedgerQueryStandIn::kClsid))) {
        const QString why = ledger.IsNull() ? ledger.LastError() : query.LastError();
        result.error = LoadErrorText(str::kLedgerComponentNotMade).arg(why);
        return result;
    }
    try {
        ledger.SetLogin(env.GetLoginObject());
        query.Init(env.GetLoginSystemDb(), env.GetLoginDbName(), env.GetAccountSetId(),
                   qint16(env.GetLoginYear().toInt(nullptr, 10)), env.GetUserId(),
                   env.GetLoginDate(), QVariant(env.GetLoginSysPassword()),
                   QVariant(env.GetUserPassword()));
        ledger.SetQuery(query.GetDispatch());
        // The component's answer tells nothing the user does not see.
        ledger.ShowLedger(result.codeList, result.period, result.include);
    } catch (const AutoError& e) {
        result.error = LoadErrorText(str::kLedgerComponentError).arg(e.text());
        return result;
    }
    result.ok = true;
    return result;
}

void RunLedgerDrill(CQorsDoc& doc) {
    const LedgerDrillResult r = DrillToLedger(doc, CAppEnvironment::Instance());
    if (r.ok) return;
    qCWarning(lcDrill).noquote() << r.error;
    messageBox(r.error, LoadErrorText(str::kLedgerDrillCaption), MsgButtons::Ok, MsgIcon::Warning);
}

void InstallLedgerDrill() {
    doccmd::SetLedgerDrillHook({[](const QString& f) { return IsLedgerFunction(f); },
                                [](CQorsDoc& doc) { RunLedgerDrill(doc); }});
}

}  // namespace qor::ledger
