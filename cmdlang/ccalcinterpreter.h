#pragma once
// The interpreter context of the command language: the current document
// and report, the run-mode word, the runtime (command buffer and user
// variables) and the single run entry every caller goes through.
//
// Callers run one line this way (the run-mode byte is theirs to restore):
//
//     CCalcInterpreter& ci = CCalcInterpreter::Instance();
//     ci.Runtime().SetCommandBuffer(line);
//     const int saved = ci.TestRunMode(0xFF);
//     ci.SetRunMode(0, 1);
//     const int rc = ci.RunCommand();  // 0 done, -1 failed (reported inside)
//     ci.SetRunMode(0xFF, saved);
//
// Run-mode bits callers see (the low byte): 1 a command of the user
// interface, 2 a batch script, 4 formula recalculation (of these three
// setting one clears the other two), 8 check only (expressions are
// evaluated but nothing is written, queried or asked), 0x10 quiet (no
// message boxes). Bits above the low byte are kept for the interpreter's
// own use and never shown.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "cmdlang/calchooks.h"
#include "cmdlang/ccalcruntime.h"
#include "cmdlang/evaluator.h"
#include "cmdlang/syntaxtree.h"

class CQorsDoc;
class CReportHandle;

namespace qor::cmd {
struct CommandRun;
struct ReportScope;
}  // namespace qor::cmd

class CCalcInterpreter {
public:
    enum RunMode : int {
        kModeUi = 0x01,
        kModeBatch = 0x02,
        kModeRecalc = 0x04,
        kModeCheckOnly = 0x08,
        kModeQuiet = 0x10,
    };

    CCalcInterpreter();
    ~CCalcInterpreter();
    CCalcInterpreter(const CCalcInterpreter&) = delete;
    CCalcInterpreter& operator=(const CCalcInterpreter&) = delete;

    // The process-wide context.
    static CCalcInterpreter& Instance();

    // ---- current document and report
    CQorsDoc* GetDocument() const { return m_doc; }
    void SetDocument(CQorsDoc* doc) { m_doc = doc; }
    CReportHandle* GetReport() const { return m_report; }
    // Changing the report ends the last search.
    void SetReport(CReportHandle* report);
    // The current document's report (through the document hook), or none.
    void SyncReportFromDocument();

    CCalcRuntime& Runtime() { return m_runtime; }
    const CCalcRuntime& Runtime() const { return m_runtime; }

    // ---- run mode
    void SetRunMode(int clear, int set);
    int TestRunMode(int mask) const { return m_runMode & mask & 0xFF; }

    // ---- running
    // Runs the command buffer against the current report: 0 done, -1
    // failed (logged, and shown unless batch, quiet or check-only mode).
    int RunCommand();
    // Copies the line into the buffer and runs it; a line too long for the
    // buffer fails like any other error.
    int RunLine(const QString& line);
    // Runs a ".shl" file in batch mode (the run-mode byte is restored).
    // Refuses a missing or empty file; the whole script is parsed before
    // its first line runs, so a syntax error runs nothing. Lines run in
    // order; Esc is polled between them; the first failing line stops the
    // run unless the batch-error hook answers to go on.
    bool RunBatchFile(const QString& path, QString* error = nullptr);
    // The same for a script held in memory; name is used in messages.
    bool RunScriptText(const QString& text, const QString& name, QString* error = nullptr);

    // Conversions (CONVERT) that wrote their file but could not carry
    // everything, counted over the interpreter's life: a caller compares
    // the count before and after a run.
    int ConversionLosses() const { return m_conversionLosses; }
    void NoteConversionLoss() { ++m_conversionLosses; }
    // Commands that left cells whose formulas failed (each cell keeps the
    // value a failed formula gives, which is no amount): a RECALC, a total
    // that skipped such cells, an APPEND that copied them. Counted over the
    // interpreter's life like the losses above; the text says how many
    // cells the last such command left and which one first.
    int FailedCellNotes() const { return m_failedCellNotes; }
    QString LastFailedCellsText() const { return m_failedCellsText; }
    void NoteFailedCells(const QString& text) {
        ++m_failedCellNotes;
        m_failedCellsText = text;
    }

    // The last failure of RunCommand or a script (0 / "" after a success).
    int LastErrorCode() const { return m_lastCode; }
    QString LastErrorText() const { return m_lastText; }

    // ---- the last FIND / GFIND
    // Pages the last search matched (0 when none or after a reset).
    int FoundPages() const;
    // The shown cell GFIND or CONTINUE moved to (0s when none).
    int FoundRow() const { return m_foundRow; }
    int FoundCol() const { return m_foundCol; }

    // ---- hooks of the layers above
    void SetDocumentHooks(qor::cmd::CalcDocumentHooks hooks) { m_docHooks = std::move(hooks); }
    const qor::cmd::CalcDocumentHooks& DocumentHooks() const { return m_docHooks; }
    void SetSubsystemHooks(qor::cmd::CalcSubsystemHooks hooks) { m_hooks = std::move(hooks); }
    const qor::cmd::CalcSubsystemHooks& SubsystemHooks() const { return m_hooks; }

    // ---- what expressions reach beyond the report
    // A cell of another report ("path"->A1), opened when not open already.
    qor::cmd::Value ExternalCell(const qor::cmd::ExternalCellRequest& request) const;
    // An application-service function (CAppServiceList of the environment).
    qor::cmd::Value CallService(const QString& name, const QString& rawArgs) const;
    qor::cmd::Value ReadDatabase(const qor::cmd::DatabaseRequest& request) const;
    qor::cmd::Value GetRecord(const qor::cmd::RecordRequest& request) const;
    // Closes the reports ExternalCell opened.
    void CloseExternalReports() const;
    // What the lines before changed is worked out before the first value a
    // command reads from `report`, once per command: a script that only
    // writes (a loop of FIND and LET) pays for it once, at the save or at
    // its first read. True when something was worked out, so a page held
    // from before is fetched again.
    bool BringCurrentForRead(CReportHandle& report) const;

    // Resets variables, the search, the run mode and the last error (tests,
    // a new session). Hooks stay.
    void Reset();

    // What CONTINUE goes on with.
    struct Search {
        bool lines = false;  // GFIND
        CReportHandle* report = nullptr;
        struct Match {
            int page = 0;
            int line = 0;
        };
        std::vector<Match> matches;  // in the order CONTINUE visits them
        size_t next = 0;             // the match CONTINUE shows next
        int pages = 0;               // distinct pages among the matches
        int varIndex = 0;            // GFIND: the column (row) of the first V_ name
    };

private:
    friend struct qor::cmd::CommandRun;

    struct ExternalReport;

    int run(const QString& line, int lineNumber, const QString& scriptName,
            const qor::cmd::Command* parsed = nullptr);
    void execute(const qor::cmd::Command& command, const QString& line);
    bool runScript(const QString& text, const QString& name, const QString& dir, QString* error);
    void fail(int code, const QString& text, const QString& line, int lineNumber,
              const QString& scriptName);
    bool pollStop();
    CReportHandle* externalReport(const QString& path, QString* error) const;

    CQorsDoc* m_doc = nullptr;
    CReportHandle* m_report = nullptr;
    int m_runMode = 0;
    CCalcRuntime m_runtime;
    int m_lastCode = 0;
    QString m_lastText;
    int m_doDepth = 0;
    QStringList m_scriptDirs;  // folders of the scripts running (DO paths are relative to them)
    std::unique_ptr<Search> m_search;
    int m_foundPage = 0, m_foundRow = 0, m_foundCol = 0;
    qor::cmd::CalcDocumentHooks m_docHooks;
    qor::cmd::CalcSubsystemHooks m_hooks;
    int m_conversionLosses = 0;
    int m_failedCellNotes = 0;
    QString m_failedCellsText;
    mutable std::vector<std::unique_ptr<ExternalReport>> m_external;
    mutable const CReportHandle* m_currentForCommand = nullptr;  // brought current this command
};

// The document's command runner (document/doc_commandhook.h's
// SetCommandRunner takes it): runs one line against the document's report
// with the run mode set for the line and restored after; 0 done, -1
// failed. The interpreter's document and report are put back afterwards.
int RunCommandLineForDocument(CQorsDoc* doc, const QString& line, int runMode);

namespace qor::cmd {

// Wires the interpreter into the rest of the program: the evaluator of
// cell formulas (the last FIND, other reports, application services,
// databases) and the environment's batch runner. Call once at start-up,
// after InstallEngineHooks.
void InstallInterpreterHooks();

}  // namespace qor::cmd
