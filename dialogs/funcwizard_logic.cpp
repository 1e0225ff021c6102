#include "dialogs/funcwizard_logic.h"

#include "cmdlang/lexer.h"
#include "dialogs/defineformula_logic.h"
#include "document/formulatexts.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor {

namespace {

// The built-in categories in list order.
struct BuiltinCategory {
    int textId;
    int code;
    const char* functions;
    int descriptionId;
    int captionId;
};

const BuiltinCategory kBuiltins[] = {
    {str::kStatisticFunctions, kCatStatistics,
     "PTOTAL GTOTAL TOTAL PAVG GAVG AVG PCOUNT GCOUNT COUNT PMIN GMIN MIN PMAX GMAX MAX PVAR "
     "GVAR VAR PSTD GSTD STD",
     str::kQorStatisticFunctions, str::kNext},
    {str::kMathFunctions, kCatMaths, "SIN COS TAN CTAN ABS INT SQR LN LOG EXP ROUND PAI",
     str::kQorMathFunctions, str::kNext},
    {str::kTableHelperFunctions, kCatTable, "MRECNO", str::kQorTableHelperFunctions, str::kFinish},
    {str::kDateTimeFunctions, kCatDateTime, "DAY MONTH YEAR SECOND MINUTE HOUR SEASON",
     str::kQorDateTimeFunctions, str::kFinish},
    {str::kConditionalFunctions, kCatCondValue, "IFF", str::kQorConditionalFunctions, str::kNext},
    {str::kDatabaseFunctions, kCatDatabase, "INDB INDBSQL GETRECORD", str::kQorDatabaseFunctions,
     str::kNext},
    {str::kPointerStateFunctions, kCatPointer, "MNUMBER SNUMBER", str::kQorPointerStateFunctions,
     str::kFinish},
    {str::kTextFunctions, kCatStrings, "LEN STR TRIM UPPER VAL LOWER SUBSTR",
     str::kQorTextFunctions, str::kNext},
};

const char* const kMathsNames[] = {"SIN", "COS", "TAN", "CTAN", "ABS", "INT",
                                   "SQR", "LN",  "LOG", "EXP",  "ROUND", "PAI"};
const char* const kStringNames[] = {"LEN", "STR", "TRIM", "UPPER", "VAL", "LOWER", "SUBSTR"};
constexpr int kMathsRound = 11;
constexpr int kMathsPai = 12;

int numberOf(const QString& name, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if (name == QLatin1StringView(names[i])) return i + 1;
    return 0;
}

QString quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// A digit string that may start with "0" only when it is "0".
bool isPlainInteger(const QString& s) {
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return s.size() == 1 || s[0] != u'0';
}

// The leading decimal integer of s as a C library conversion reads it
// (blanks, a sign, digits); 0 when there is none. Only whether it is 0
// matters, so no overflow can occur.
bool leadingIntegerIsZero(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
    bool any = false;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
        if (s[i] != u'0') any = true;
    return !any;
}

}  // namespace

void ServiceFunctionLines(const QStringList& secondNames, const QStringList& firstNames,
                          int itemCount, QStringList* lines, QStringList* names) {
    lines->clear();
    names->clear();
    for (int i = 0; i < itemCount; ++i) {
        if (i >= secondNames.size() || i >= firstNames.size()) break;
        if (secondNames[i].isEmpty() || firstNames[i].isEmpty()) break;
        lines->append(secondNames[i] + QLatin1Char('(') + firstNames[i] + QLatin1Char(')'));
        names->append(firstNames[i]);
    }
}

// ---- FuncWizardModel -------------------------------------------------------

FuncWizardModel::FuncWizardModel(QList<FuncWizardService> services)
    : m_services(std::move(services)) {
    Reset();
}

QStringList FuncWizardModel::CategoryTexts() const {
    QStringList out;
    for (const FuncWizardService& s : m_services) out << s.name;
    for (const BuiltinCategory& c : kBuiltins) out << LoadErrorText(c.textId);
    return out;
}

QString FunctionHelpText(const QString& name) {
    const std::optional<FunctionText> f = FunctionTextOf(name);
    if (!f) return {};
    return LoadErrorText(str::kWizardFunctionFormat).arg(f->form) + u'\n' +
           LoadErrorText(str::kWizardFunctionDescription).arg(f->description);
}

const FuncWizardService* FuncWizardModel::Service() const {
    return m_category >= 0 && m_category < m_services.size() ? &m_services[m_category] : nullptr;
}

QString FuncWizardModel::ServiceFunctionName() const {
    const FuncWizardService* s = Service();
    if (!s || m_function < 0 || m_function >= s->firstNames.size()) return {};
    return s->firstNames[m_function];
}

void FuncWizardModel::Reset() {
    m_state = FuncWizardState{};
    SelectCategory(0);
}

void FuncWizardModel::SelectCategory(int line) {
    const int n = int(m_services.size());
    if (line < 0 || line >= n + int(std::size(kBuiltins))) return;
    m_category = line;
    if (line < n) {
        const FuncWizardService& s = m_services[line];
        m_state.category = kCatService;
        m_functions = s.lines;
        m_description = s.description;
        m_nextCaption = LoadErrorText(str::kNext);
    } else {
        const BuiltinCategory& c = kBuiltins[line - n];
        m_state.category = c.code;
        if (c.code == kCatStatistics) {
            m_state.areaKind = kAreaFixed;
            m_state.statKind = 1;
        } else if (c.code == kCatMaths) {
            m_state.mathsNumber = 1;
        } else if (c.code == kCatStrings) {
            m_state.stringNumber = 1;
        }
        m_functions = QString::fromLatin1(c.functions).split(QLatin1Char(' '));
        m_description = LoadErrorText(c.descriptionId);
        m_nextCaption = LoadErrorText(c.captionId);
    }
    m_function = -1;
    m_state.functionName.clear();
    if (!m_functions.isEmpty()) SelectFunction(0);
}

void FuncWizardModel::SelectFunction(int line) {
    if (line < 0 || line >= m_functions.size()) return;
    m_function = line;
    const QString name = m_functions[line];
    m_state.functionName = name;
    switch (m_state.category) {
        case kCatStatistics:
            m_state.areaKind = name.startsWith(u'P')   ? kAreaFixed
                               : name.startsWith(u'G') ? kAreaVariable
                                                       : kAreaAllPages;
            m_state.statKind = line / 3 + 1;
            break;
        case kCatMaths:
            m_state.mathsNumber = numberOf(name, kMathsNames, int(std::size(kMathsNames)));
            m_nextCaption =
                LoadErrorText(m_state.mathsNumber == kMathsPai ? str::kFinish : str::kNext);
            break;
        case kCatStrings:
            m_state.stringNumber = numberOf(name, kStringNames, int(std::size(kStringNames)));
            break;
        default:
            break;
    }
}

int FuncWizardModel::NextStep() const {
    // A service that lists nothing has nothing to go on with.
    if (m_function < 0) return 0;
    switch (m_state.category) {
        case kCatStatistics:
            return m_state.areaKind == kAreaVariable ? kTplVarAreaStat
                   : m_state.areaKind == kAreaFixed  ? kTplFixedAreaStat
                                                     : kTplRegionStat;
        case kCatTable:
        case kCatDateTime:
        case kCatPointer:
            return kIdNoArguments;
        case kCatService:
            return kTplAcctFunc;
        case kCatMaths:
            if (m_state.mathsNumber == kMathsPai) return kIdNoArguments;
            if (m_state.mathsNumber == kMathsRound) return kTplRound;
            return m_state.mathsNumber >= 1 ? kTplSin + m_state.mathsNumber - 1 : 0;
        case kCatCondValue:
            return kTplCondValue;
        case kCatDatabase:
            if (m_state.functionName == u"INDB") return kTplReadFileData;
            if (m_state.functionName == u"INDBSQL") return kTplReadDbData;
            if (m_state.functionName == u"GETRECORD") return kTplSqlWizard;
            return 0;
        case kCatStrings: {
            static const int kTemplates[] = {kTplLen,   kTplStr,   kTplTrim,  kTplUpper,
                                             kTplVal,   kTplLower, kTplSubstr};
            const int n = m_state.stringNumber;
            return n >= 1 && n <= 7 ? kTemplates[n - 1] : 0;
        }
        default:
            return 0;
    }
}

// ---- call text ---------------------------------------------------------------

QString BuildFunctionCall(const FuncWizardState& state, const FuncArgFields& f) {
    const QString& name = state.functionName;
    const QString blankName = QLatin1Char(' ') + name;
    switch (state.category) {
        case kCatStatistics:
            return StatisticsCallText(name, f.arg1, f.arg2);
        case kCatService:
            return f.serviceName + QLatin1Char('(') + f.serviceText + QLatin1Char(')');
        case kCatMaths:
            if (state.mathsNumber == kMathsRound)
                return blankName + QLatin1Char('(') + f.arg1 + QLatin1Char(',') + f.arg2 +
                       QLatin1Char(')');
            return blankName + QLatin1Char('(') + f.arg1 + QLatin1Char(')');
        case kCatCondValue:
            return blankName + QStringLiteral(" ( ") + f.arg1 + QLatin1Char(',') + f.arg2 +
                   QLatin1Char(',') + f.arg3 + QStringLiteral(" ) ");
        case kCatDatabase:
            if (name == u"GETRECORD")
                return blankName + QLatin1Char('(') + quoted(f.sql) + QLatin1Char(',') +
                       quoted(f.displayArea) + QLatin1Char(',') + f.horizontal +
                       QLatin1Char(',') + f.limit + QLatin1Char(')');
            return blankName + QLatin1Char('(') + quoted(f.source) + QLatin1Char(',') +
                   quoted(f.table) + QLatin1Char(',') + quoted(f.field) + QLatin1Char(',') +
                   f.record + QLatin1Char(',') + f.condition + QLatin1Char(')');
        case kCatStrings:
            if (name == u"STR") return blankName + QLatin1Char('(') + f.arg1 + QLatin1Char(')');
            if (name == u"SUBSTR") {
                QString out = blankName + QLatin1Char('(') + quoted(f.arg1) + QLatin1Char(',') +
                              f.arg2;
                if (!f.arg3.isEmpty()) out += QLatin1Char(',') + f.arg3;
                return out + QLatin1Char(')');
            }
            return blankName + QLatin1Char('(') + quoted(f.arg1) + QLatin1Char(')');
        default:
            // Functions without an argument dialog.
            return blankName + QStringLiteral("()");
    }
}

// ---- checks -----------------------------------------------------------------

bool CheckVariableArea(const QString& area) {
    if (!(area.startsWith(QLatin1StringView("V_")) || area.startsWith(QLatin1StringView("v_"))))
        return true;
    const QStringList corners = area.split(QLatin1Char(':'));
    if (corners.size() > 2) return false;
    for (const QString& c : corners)
        if (!cmd::IsVariableAreaName(c)) return false;
    return true;
}

ArgCheck CheckFuncArgs(int templateId, const QStringList& values) {
    auto value = [&](int i) { return i < values.size() ? values[i] : QString(); };
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    switch (templateId) {
        case kTplFixedAreaStat:
        case kTplRegionStat:
            if (!ParseAreaRef(value(0), &c1, &r1, &c2, &r2))
                return {str::kBadAreaLikeC1C12, kIdcEdit1};
            return {};
        case kTplVarAreaStat:
            if (!CheckVariableArea(value(0))) return {str::kBadAreaLikeVArea, kIdcEdit1};
            return {};
        case kTplCondValue: {
            const int ids[] = {kIdcEdit1, kIdcEdit2, kIdcEdit3};
            for (int i = 0; i < 3; ++i)
                if (value(i).isEmpty()) return {str::kArgumentEmpty, ids[i]};
            return {};
        }
        case kTplRound:
            if (value(0).isEmpty() || value(1).isEmpty())
                return {str::kBothArgumentsRequired, value(0).isEmpty() ? kIdcEdit1 : kIdcEdit2};
            if (leadingIntegerIsZero(value(1)) || value(1).startsWith(u'0'))
                return {str::kSecondArgumentInteger, kIdcEdit2};
            return {};
        case kTplSubstr:
            if (value(0).isEmpty()) return {str::kArgumentEmpty, kIdcEdit1};
            if (value(1).isEmpty() && value(2).isEmpty())
                return {str::kBothArgumentsEmpty, kIdcEdit2};
            if (!value(1).isEmpty() && !isPlainInteger(value(1)))
                return {str::kMustBeAnInteger, kIdcEdit2};
            if (!value(2).isEmpty() && !isPlainInteger(value(2)))
                return {str::kMustBeAnInteger, kIdcEdit3};
            return {};
        case kTplLog:
            if (value(0).isEmpty()) return {str::kArgumentEmpty, kIdcEdit2};
            return {};
        default:
            // The one-argument dialogs.
            if (value(0).isEmpty()) return {str::kArgumentEmpty, kIdcEdit1};
            return {};
    }
}

ArgCheck CheckRelationCond(const QString& key, const QString& table, const QString& relatedKey) {
    if (key.isEmpty()) return {str::kCurrentKeyValueEmpty, 1019};
    if (table.isEmpty()) return {str::kTableNameEmpty, kIdcEdit1};
    if (relatedKey.isEmpty()) return {str::kRelatedKeyValueEmpty, 1012};
    return {};
}

std::pair<int, int> StatisticLines(int templateId, int kind) {
    const bool known = kind >= 1 && kind <= 7;
    switch (templateId) {
        case kTplFixedAreaStat: {
            if (!known || kind == 1) return {str::kPtotalFormat, str::kPtotalDescription};
            const int first = str::kPavgFormat + 2 * (kind - 2);
            return {first, first + 1};
        }
        case kTplVarAreaStat:
            if (!known) return {0, 0};
            return {str::kGtotalFormat + 2 * (kind - 1), str::kGtotalDescription + 2 * (kind - 1)};
        case kTplRegionStat:
            if (!known) return {0, 0};
            return {str::kTotalFormat + 2 * (kind - 1), str::kTotalDescription + 2 * (kind - 1)};
        default:
            return {0, 0};
    }
}

HelpTopic AccountingHelpTopic(const QString& programDirectory, const QString& language,
                              int helpNumber) {
    HelpTopic t;
    t.file = programDirectory + QLatin1Char('/') + language + QStringLiteral("/Vtsvr_") +
             language + QStringLiteral(".hlp");
    t.context = 98000000u + quint32(helpNumber);
    return t;
}

bool IsAccountingService(const QString& serviceName) {
    const QString mark = LoadErrorText(str::kLedgerFunctions);
    return serviceName.left(mark.size()).toUpper() == mark.toUpper();
}

}  // namespace qor
