#pragma once
// The financial-indicator interface without its window: the interface
// file and the libraries it names, and the computation of every indicator
// of the period into the result library the sibling indicator program
// reads. The dialog drives a run one indicator per tick; `qor indicators`
// drives it straight through.

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <random>

namespace qor {

class IniFile;
struct IndicatorTraceLine;

// Registry key and value that hold the formula library chosen.
inline constexpr const char* kIndicatorRegistryKey = "Software\\KORMEL\\QOR_ZH\\";
inline constexpr const char* kFormulaLibraryValue = "CWGSK_Dir";

struct IndicatorSettings {
    QString interfacePath;
    QString startText, endText;    // as read, "1999-01-01" when empty
    QString startShown, endShown;  // 1999年01月01日
    int startYear = 1999, startMonth = 1, startDay = 1;
    int endYear = 1999, endMonth = 1, endDay = 1;
    QString indicatorLib, formulaLib, resultLib, logFile;
    QString accountSet;
    int accountingYear = 0;
    int direction = -1;  // 0 借, 1 贷
    QString period;      // 全年, 月 or 日
    int decimals = 2;
    int moneyUnit = 1;
    QString unitName;
    int merge = 0;
    QStringList codes;     // lower case, in library order
    QStringList missing;   // names of the entries the interface file lacks
    QStringList warnings;  // trace lines about what was read
};

// The formula library in the registry; nothing when unset or empty.
std::optional<QString> ReadFormulaLibraryPath();
// Stores the formula library chosen (empty: use the interface file's);
// false when the registry cannot be written.
bool WriteFormulaLibraryPath(const QString& path);

// Reads the interface file; false when one of the four files is not named
// (settings->missing lists them, in the order the dialog shows them).
bool ReadInterfaceFile(const QString& path, IndicatorSettings* settings);
// Reads [ReportSoft] and the indicator codes; false when the indicator
// library cannot be read.
bool LoadIndicatorList(IndicatorSettings* settings);
// The same over the indicator library already read.
bool LoadIndicatorList(IndicatorSettings* settings, const IniFile& indicatorLibrary);

// Replaces the period placeholders (%beginyear%, %endmonth%...).
QString ExpandIndicatorPlaceholders(const QString& expression, const IndicatorSettings& s);
// The same, appended to *out.
void ExpandIndicatorPlaceholders(QStringView expression, const IndicatorSettings& s, QString* out);

class CIndicatorRun {
public:
    // Runs one command-language line; 0 done, anything else failed.
    using LineRunner = std::function<int(const QString& line)>;
    // Receives each trace line of the run.
    using TraceSink = std::function<void(const QString& line)>;

    static constexpr int kMaxExpressionChars = 1023;
    // How deep sub-indicators may use one another.
    static constexpr int kMaxSubIndicatorDepth = 16;

    CIndicatorRun(IndicatorSettings settings, LineRunner run, TraceSink trace = {});
    ~CIndicatorRun();

    // The checks before a run and the result library's head; false with
    // the message to show when the run cannot start (nothing written).
    bool Start(QString* message);
    bool Done() const { return m_index >= m_settings.codes.size(); }
    int Index() const { return m_index; }
    int Count() const { return int(m_settings.codes.size()); }
    // Computes the next indicator and saves the result library.
    void Step();
    // Marks the run complete: DBValidFlag and the End section.
    bool Finish();
    bool AnyFailed() const { return m_failed; }
    // The indicators written so far, those written as failed (ZBValidFlag
    // 0), and the first of those as "code name".
    int WrittenCount() const { return m_written; }
    int FailedCount() const { return m_failedCount; }
    const QString& FirstFailed() const { return m_firstFailed; }
    const IndicatorSettings& Settings() const { return m_settings; }

private:
    struct Evaluated {
        bool ok = false;
        bool numeric = false;
        double number = 0;
        QString text;
    };
    Evaluated evaluate(QStringView expression);
    // The expression with each sub-indicator's value put in, a negative
    // one bracketed; false when a sub-indicator has none. chain holds the
    // codes (case-folded) whose expressions are being expanded, outermost
    // first: a code met again is a cycle.
    bool expandSubIndicators(QStringView expression, QString* out, QStringList* chain);
    void trace(const IndicatorTraceLine& line);
    void trace(QStringView line);
    bool saveResult();
    void writeLog(bool now);
    QString freshVariableName();

    IndicatorSettings m_settings;
    LineRunner m_run;
    TraceSink m_trace;
    int m_index = 0;
    bool m_failed = false;
    int m_written = 0;
    int m_failedCount = 0;
    QString m_firstFailed;
    struct Files;
    std::unique_ptr<Files> m_files;
    std::mt19937 m_random;
    // Reused from indicator to indicator: the expression with its
    // sub-indicators, then with its placeholders, and the command line.
    QString m_withSubs, m_full, m_line;
    QString m_variable;  // see freshVariableName
    // The operand each sub-indicator (code case-folded) entered as, for
    // the indicator being computed.
    QHash<QString, QString> m_subOperands;
};

}  // namespace qor
