#pragma once
// The function wizard without widgets: its categories and function lists,
// the codes it hands on, which argument dialog a function needs, the
// checks of the argument dialogs and the call text that goes into the
// formula.

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace qor {

// Category codes the wizard hands on.
enum FuncCategory {
    kCatNone = 0,
    kCatStatistics = 1,
    kCatTable = 2,
    kCatService = 3,
    kCatMaths = 4,
    kCatCondValue = 5,
    kCatDatabase = 6,
    kCatStrings = 7,
    kCatDateTime = 8,
    kCatPointer = 9,
};

// Statistics area kinds.
enum StatAreaKind { kAreaVariable = 1, kAreaFixed = 2, kAreaAllPages = 3 };

// Templates of the argument dialogs.
enum FuncArgTemplate {
    kTplFixedAreaStat = 212,
    kTplVarAreaStat = 213,
    kTplRegionStat = 214,
    kTplCondValue = 221,
    kTplReadFileData = 330,
    kTplLen = 331,
    kTplStr = 332,
    kTplTrim = 333,
    kTplUpper = 334,
    kTplVal = 335,
    kTplSin = 336,  // SIN .. EXP are 336 .. 345 in the order of the maths numbers
    kTplLog = 344,
    kTplExp = 345,
    kTplRound = 347,
    kTplRelationCond = 395,
    kTplSubstr = 400,
    kTplLower = 401,
    kTplAcctFunc = 441,
    kTplReadDbData = 523,
    kTplSqlWizard = 530,
};

// Control ids of the argument dialogs' edits.
constexpr int kIdcEdit1 = 1000;
constexpr int kIdcEdit2 = 1004;
constexpr int kIdcEdit3 = 1036;

// One application service as the wizard lists it. lines and firstNames
// are copies, one element per listed item, in step.
struct FuncWizardService {
    QString name;
    QString description;
    int number = 0;
    int help = 0;
    QStringList lines;       // second name + "(" + first name + ")"
    QStringList firstNames;  // the name a formula calls
};

// The lines of a service's function list from its two name arrays (items
// with equal names already left out by the service list), at most
// itemCount of them; the list stops at the first missing or empty name.
void ServiceFunctionLines(const QStringList& secondNames, const QStringList& firstNames,
                          int itemCount, QStringList* lines, QStringList* names);

// What the wizard hands the define-formula dialog besides its result.
struct FuncWizardState {
    int category = kCatNone;
    int areaKind = kAreaVariable;
    int statKind = 1;  // 1 TOTAL .. 7 STD
    int mathsNumber = 0;
    int stringNumber = 0;
    QString functionName;
};

// What the wizard says about a function of the command language: its
// argument form and its one-line description, a line each; empty for a
// name the function table does not hold (a service's function).
QString FunctionHelpText(const QString& name);

// The categories, the selections and the codes they set.
class FuncWizardModel {
public:
    explicit FuncWizardModel(QList<FuncWizardService> services = {});

    // Category lines: the services, then the eight built-in ones.
    QStringList CategoryTexts() const;
    int CategoryIndex() const { return m_category; }
    int FunctionIndex() const { return m_function; }
    const QStringList& Functions() const { return m_functions; }
    // The text of static 1109 and the caption of button 1029.
    QString Description() const { return m_description; }
    QString NextCaption() const { return m_nextCaption; }
    // FunctionHelpText of the selected function.
    QString FunctionHelp() const { return FunctionHelpText(m_state.functionName); }
    const FuncWizardState& State() const { return m_state; }
    // The service of the current category line; null for a built-in one.
    const FuncWizardService* Service() const;
    // The name a formula calls for the selected service line; empty when
    // none is selected.
    QString ServiceFunctionName() const;

    // Selects the category line and its first function (no services: the
    // statistics line).
    void Reset();
    void SelectCategory(int line);
    void SelectFunction(int line);
    // The cancel of an argument dialog clears the category.
    void ClearCategory() { m_state.category = kCatNone; }

    // What going on does: the template of the argument dialog to run,
    // kIdNoArguments (888) to end at once, or 0 for nothing.
    int NextStep() const;

private:
    QList<FuncWizardService> m_services;
    int m_category = 0;
    int m_function = 0;
    QStringList m_functions;
    QString m_description;
    QString m_nextCaption;
    FuncWizardState m_state;
};

// The fields of the argument dialog a wizard run confirmed; which of them
// count follows from the state.
struct FuncArgFields {
    QString arg1, arg2, arg3;  // the edits 1000, 1004, 1036 (statistics: 1000 area, 1004 filter)
    // The read-database dialogs and the SQL wizard.
    QString source, table, field, record, condition;
    QString sql, displayArea, horizontal, limit;
    // The accounting-function dialog: its name and the typed text.
    QString serviceName, serviceText;
};

// The text appended to the formula after the wizard ended with IDOK.
QString BuildFunctionCall(const FuncWizardState& state, const FuncArgFields& fields);

// ---- checks of the argument dialogs ---------------------------------------

// A refused entry: the message and the edit to focus; ok when id is 0.
struct ArgCheck {
    int messageId = 0;
    int focusId = 0;
    bool ok() const { return messageId == 0; }
};

// The variable-area dialog's area: a text starting "V_" or "v_" must name
// a variable area ("V_A1:V_B5", "V_A:V_B", "V_1:V_5"); any other text,
// the empty one included, is not checked.
bool CheckVariableArea(const QString& area);

// The edits' texts (1000, 1004, 1036 as the template has them) checked by
// the OK of template templateId.
ArgCheck CheckFuncArgs(int templateId, const QStringList& values);

// The relation condition: current keyword, related table, related keyword.
ArgCheck CheckRelationCond(const QString& key, const QString& table, const QString& relatedKey);

// The format and description lines (message ids) of a statistic dialog
// for a function kind; zeros for none.
std::pair<int, int> StatisticLines(int templateId, int kind);

// Where the accounting functions' help lives and the topic of a function.
struct HelpTopic {
    QString file;
    quint32 context = 0;
};
HelpTopic AccountingHelpTopic(const QString& programDirectory, const QString& language,
                              int helpNumber);

// Whether a service's functions are the host's accounting functions
// (string 62208), compared without regard to case.
bool IsAccountingService(const QString& serviceName);

}  // namespace qor
