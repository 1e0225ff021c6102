#include "cmdlang/ccalcinterpreter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <new>

#include "cmdlang/calcenvironment.h"
#include "cmdlang/calcerrors.h"
#include "cmdlang/cellformulaevaluator.h"
#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/parser.h"
#include "cmdlang/scripts.h"
#include "engine/creporthandle.h"
#include "engine/errorlog.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/cappservicelist.h"

using namespace qor::cmd;

namespace {

// Reports a formula of another report is read from stay open between
// commands of one run; this many at most.
constexpr size_t kMaxExternalReports = 8;

// The application title, as the program's other message boxes have it.
QString caption() { return qor::messageText(qor::str::kAppTitle, QStringLiteral("QOR")); }

}  // namespace

struct CCalcInterpreter::ExternalReport {
    QString path;  // full path
    QDateTime modified;
    std::unique_ptr<CReportHandle> handle;
};

CCalcInterpreter::CCalcInterpreter() = default;
CCalcInterpreter::~CCalcInterpreter() = default;

CCalcInterpreter& CCalcInterpreter::Instance() {
    static CCalcInterpreter instance;
    return instance;
}

void CCalcInterpreter::SetReport(CReportHandle* report) {
    if (report != m_report) {
        m_search.reset();
        m_foundPage = m_foundRow = m_foundCol = 0;
    }
    m_report = report;
}

void CCalcInterpreter::SyncReportFromDocument() {
    CReportHandle* r = nullptr;
    if (m_doc && m_docHooks.reportOf) r = m_docHooks.reportOf(m_doc);
    SetReport(r);
}

void CCalcInterpreter::SetRunMode(int clear, int set) {
    clear &= 0xFF;
    set &= 0xFF;
    m_runMode &= ~clear;
    // UI command, batch script and recalculation exclude one another.
    for (int bit : {kModeUi, kModeBatch, kModeRecalc})
        if (set & bit) m_runMode = (m_runMode & ~(kModeUi | kModeBatch | kModeRecalc)) | bit;
    m_runMode |= set & ~(kModeUi | kModeBatch | kModeRecalc);
}

int CCalcInterpreter::FoundPages() const { return m_search ? m_search->pages : 0; }

void CCalcInterpreter::Reset() {
    m_runtime.ClearVariables();
    m_runtime.ClearCommandBuffer();
    m_runMode = 0;
    m_lastCode = 0;
    m_lastText.clear();
    m_doDepth = 0;
    m_scriptDirs.clear();
    m_search.reset();
    m_foundPage = m_foundRow = m_foundCol = 0;
    CloseExternalReports();
}

// ---------------------------------------------------------------- running

int CCalcInterpreter::RunCommand() { return run(m_runtime.GetCommandBuffer(), 0, QString()); }

int CCalcInterpreter::RunLine(const QString& line) {
    if (!m_runtime.SetCommandBuffer(line)) {
        fail(CALC_ERR_LINE_TOO_LONG, CalcErrorText(CALC_ERR_LINE_TOO_LONG), line.left(80), 0,
             QString());
        return -1;
    }
    return RunCommand();
}

int CCalcInterpreter::run(const QString& line, int lineNumber, const QString& scriptName,
                          const Command* parsed) {
    m_lastCode = 0;
    m_lastText.clear();
    int code = 0;
    QString text;
    try {
        std::unique_ptr<Command> owned;
        if (!parsed) {
            ParseError e;
            owned = ParseLine(line, &e);
            if (!owned) ThrowCalcError(CALC_ERR_SYNTAX, e.toString());
            parsed = owned.get();
        }
        execute(*parsed, line);
    } catch (const QorError& e) {
        code = e.code ? e.code : CALC_ERR_EVALUATION;
        text = CalcErrorText(code, e.detail);
    } catch (int status) {
        code = status ? status : CALC_ERR_EVALUATION;
        text = CalcErrorText(code);
    } catch (const std::bad_alloc&) {
        code = ::code(Status::OutOfMemory);
        text = CalcErrorText(code);
    } catch (const std::exception& e) {
        // Whatever a component below throws ends this line, not the program.
        code = CALC_ERR_EVALUATION;
        text = QString::fromUtf8(e.what());
    }
    if (m_scriptDirs.isEmpty()) CloseExternalReports();
    if (code == 0) return 0;
    fail(code, text, line, lineNumber, scriptName);
    return -1;
}

bool CCalcInterpreter::BringCurrentForRead(CReportHandle& report) const {
    if (m_currentForCommand == &report) return false;
    m_currentForCommand = &report;
    if (report.ValuesCurrent()) return false;
    ThrowIfStatus(report.BringCurrent(), CmdText(qor::str::kRecalculation));
    return true;
}

void CCalcInterpreter::execute(const Command& c, const QString& line) {
    CommandRun r{*this, line, c};
    // A command reads what the formulas give after the lines before it:
    // what those changed is worked out before its first read (once, not at
    // each read, so a command that writes as it goes pays for it at the
    // next command that reads). The commands whose every read goes through
    // the page a value is evaluated on ask for it there, so one that reads
    // nothing (FIND FOR MRECNO()=k, LET B4 = 7) works nothing out; the
    // others are brought current before they start.
    m_currentForCommand = nullptr;
    const bool readsOnDemand = c.kind == CommandKind::Assign || c.kind == CommandKind::Find ||
                               c.kind == CommandKind::GFind || c.kind == CommandKind::Continue ||
                               c.kind == CommandKind::Free || c.kind == CommandKind::Empty;
    if (!readsOnDemand && c.kind != CommandKind::Recalc && !r.checkOnly())
        if (CReportHandle* report = GetReport(); report && report->IsOpen())
            BringCurrentForRead(*report);
    switch (c.kind) {
        case CommandKind::Empty:
            return;
        case CommandKind::Assign:
            return RunAssign(r);
        case CommandKind::Free:
            return RunFree(r);
        case CommandKind::Find:
            return RunFind(r);
        case CommandKind::GFind:
            return RunGFind(r);
        case CommandKind::Continue:
            return RunContinue(r);
        case CommandKind::Total:
            return RunTotal(r);
        case CommandKind::GTotal:
            return RunGTotal(r);
        case CommandKind::Append:
            return RunAppend(r);
        case CommandKind::Delete:
            return RunDelete(r);
        case CommandKind::Sort:
            return RunSort(r);
        case CommandKind::Round:
            return RunRound(r);
        case CommandKind::Check:
            return RunCheck(r);
        case CommandKind::Recalc:
            return RunRecalc(r);
        case CommandKind::Browse:
            return RunBrowse(r);
        case CommandKind::Mail:
            return RunMail(r);
        case CommandKind::Menu:
            return RunMenu(r);
        case CommandKind::Do:
            return RunDo(r);
        case CommandKind::Convert:
            return RunConvert(r);
        case CommandKind::ListMemory:
            return RunListMemory(r);
        case CommandKind::Help:
            return RunHelp(r);
    }
}

void CCalcInterpreter::fail(int code, const QString& text, const QString& line, int lineNumber,
                            const QString& scriptName) {
    m_lastCode = code;
    // One pass over the place's form: a script name holding "%2" stays as
    // it is.
    const auto placed = [&](const QString& what) {
        return scriptName.isEmpty() || lineNumber <= 0
                   ? what
                   : LoadErrorText(qor::str::kScriptLineFailed)
                         .arg(scriptName, QString::number(lineNumber), what);
    };
    m_lastText = placed(text);
    // The log of formulas and commands keeps every failure with its line,
    // in the user's language: it is read in the desktop's log dialog.
    const QString local = placed(qor::cmd::LocalCalcFailure(code, text));
    WriteErrorLog(QStringLiteral("%1\n    ").arg(line.trimmed()) +
                  LoadErrorText(qor::str::kLogFailure).arg(code).arg(local));
    // The box shows the same words the log keeps.
    if (!(m_runMode & (kModeBatch | kModeQuiet | kModeCheckOnly)))
        qor::messageBox(local, caption(), qor::MsgButtons::Ok, qor::MsgIcon::Error);
}

bool CCalcInterpreter::pollStop() {
    if (!qor::stopRequested()) return false;
    return qor::askYesNo(CmdText(qor::str::kStopRunningQuestion), caption(), true);
}

bool CCalcInterpreter::runScript(const QString& text, const QString& name, const QString& dir,
                                 QString* error) {
    std::vector<ScriptCommand> commands;
    QString why;
    int badLine = 0;
    if (!ParseScript(text, name, &commands, &why, &badLine)) {
        // Nothing has run: the whole script is refused with its line.
        m_lastCode = CALC_ERR_SYNTAX;
        m_lastText = why;
        WriteErrorLog(why);
        if (error) *error = why;
        return false;
    }
    m_scriptDirs.append(dir);
    bool ok = true;
    bool alwaysGoOn = false;
    int firstCode = 0;
    QString firstText;
    for (const ScriptCommand& sc : commands) {
        if (pollStop()) {
            fail(CALC_ERR_STOPPED, CalcErrorText(CALC_ERR_STOPPED), sc.text, sc.lineNumber, name);
            if (!firstCode) {
                firstCode = m_lastCode;
                firstText = m_lastText;
            }
            ok = false;
            break;
        }
        if (run(sc.text, sc.lineNumber, name, sc.command.get()) == 0) continue;
        ok = false;
        if (!firstCode) {
            firstCode = m_lastCode;
            firstText = m_lastText;
        }
        if (m_lastCode == CALC_ERR_STOPPED) break;
        if (alwaysGoOn) continue;
        if (m_hooks.batchError && !(m_runMode & kModeQuiet)) {
            const BatchErrorAnswer a = m_hooks.batchError(m_lastText);
            if (a.goOn) {
                alwaysGoOn = a.dontAskAgain;
                continue;
            }
        }
        break;
    }
    m_scriptDirs.removeLast();
    if (ok) {
        m_lastCode = 0;
        m_lastText.clear();
        if (error) error->clear();
        return true;
    }
    m_lastCode = firstCode;
    m_lastText = firstText;
    if (error) *error = firstText;
    return false;
}

bool CCalcInterpreter::RunBatchFile(const QString& path, QString* error) {
    QString text, why;
    if (!ReadScriptFile(path, &text, &why)) {
        m_lastCode = CALC_ERR_FILE;
        m_lastText = why;
        WriteErrorLog(why);
        if (error) *error = why;
        return false;
    }
    const QFileInfo info(path);
    const int saved = TestRunMode(0xFF);
    SetRunMode(0, kModeBatch);
    const bool ok = runScript(text, info.fileName(), info.absolutePath(), error);
    SetRunMode(0xFF, saved);
    if (m_scriptDirs.isEmpty()) {
        CloseExternalReports();
        if (!ok && !m_hooks.batchError && !(m_runMode & (kModeQuiet | kModeCheckOnly)))
            qor::messageBox(m_lastText, caption(), qor::MsgButtons::Ok, qor::MsgIcon::Error);
    }
    return ok;
}

bool CCalcInterpreter::RunScriptText(const QString& text, const QString& name, QString* error) {
    const int saved = TestRunMode(0xFF);
    SetRunMode(0, kModeBatch);
    const bool ok = runScript(text, name, QDir::currentPath(), error);
    SetRunMode(0xFF, saved);
    if (m_scriptDirs.isEmpty()) CloseExternalReports();
    return ok;
}

// ---------------------------------------------------------------- beyond the report

CReportHandle* CCalcInterpreter::externalReport(const QString& path, QString* error) const {
    QString file = path;
    if (QFileInfo(file).isRelative() && m_report)
        file = QFileInfo(m_report->GetPathName()).absoluteDir().filePath(file);
    const QString full = qor::FullReportPath(qor::ReportPathWithExtension(file));
    if (m_report &&
        qor::FullReportPath(m_report->GetPathName()).compare(full, Qt::CaseInsensitive) == 0)
        return m_report;
    const QDateTime modified = QFileInfo(full).lastModified();
    for (auto it = m_external.begin(); it != m_external.end(); ++it) {
        if ((*it)->path.compare(full, Qt::CaseInsensitive) != 0) continue;
        if ((*it)->modified == modified) return (*it)->handle.get();
        m_external.erase(it);  // changed on disk since: read it again
        break;
    }
    if (CReportHandle* open = FindOpenReport(full)) return open;
    auto handle = std::make_unique<CReportHandle>(full, CReportHandle::OpenMode::OpenExisting,
                                                  CReportHandle::Access::Read);
    if (!handle->IsOpen()) {
        if (error)
            *error =
                CmdText(qor::str::kReportNotOpened).arg(path, StatusText(handle->OpenStatus()));
        return nullptr;
    }
    if (handle->IsFormatState()) handle->EnterDataState();
    if (m_external.size() >= kMaxExternalReports) m_external.erase(m_external.begin());
    auto entry = std::make_unique<ExternalReport>();
    entry->path = full;
    entry->modified = modified;
    entry->handle = std::move(handle);
    m_external.push_back(std::move(entry));
    return m_external.back()->handle.get();
}

void CCalcInterpreter::CloseExternalReports() const { m_external.clear(); }

Value CCalcInterpreter::ExternalCell(const ExternalCellRequest& r) const {
    QString why;
    CReportHandle* rep = externalReport(r.report, &why);
    if (!rep) return Value::error(why);
    const ReportScope scope = ReportScope::Of(rep, this);
    int page = r.page;
    if (!page && r.relation) {
        // The page of the other report whose key equals this page's key.
        for (int p = 1; p <= rep->GetPageCount() && !page; ++p) {
            ReportPageEnvironment env(scope, p, rep->GetPage(p));
            const Value key = Evaluate(*r.relation->relatedKey, env);
            if (key.isError() || key.isArea()) continue;
            // A key that cannot be compared (a text that is no number met
            // by a number) fails the read rather than finding no unit.
            const Value same = Compare(Op::Eq, key, r.keyValue);
            if (same.isError()) return same;
            if (IsTrue(same)) page = p;
        }
        // A unit missing from the other report reads as empty, as a page
        // without a value there would.
        if (!page) return Value::empty();
    }
    if (!page) page = r.currentPage;
    if (page < 1 || page > rep->GetPageCount())
        return Value::error(CmdText(qor::str::kReportPageMissing).arg(page).arg(r.report));
    ReportPageEnvironment env(scope, page, rep->GetPage(page));
    return r.isVar ? env.VarCell(r.var.line, r.var.index) : env.Cell(r.cell.row, r.cell.col);
}

Value CCalcInterpreter::CallService(const QString& name, const QString& rawArgs) const {
    // Check-only runs touch nothing outside.
    if (TestRunMode(kModeCheckOnly)) return Value::number(0);
    CAppEnvironment& env = CAppEnvironment::Instance();
    CAppServiceList* list = env.GetServiceList();
    if (!list) list = env.EnsureLoggedIn();
    const CServiceFuncItem item = list ? list->FindItem(name) : CServiceFuncItem();
    if (item.IsEmpty()) return Value::error(CmdText(qor::str::kNoServiceFunction).arg(name));
    QVariant v;
    QString why;
    if (!list->CallItem(item, rawArgs, &v, &why))
        return Value::error(QStringLiteral("%1: %2").arg(name, why));
    if (!v.isValid() || v.isNull()) return Value::empty();
    if (v.typeId() == QMetaType::QString) return Value::text(v.toString());
    bool isNumber = false;
    const double d = v.toDouble(&isNumber);
    if (isNumber) return Value::number(d);
    return Value::text(v.toString());
}

Value CCalcInterpreter::ReadDatabase(const DatabaseRequest& r) const {
    if (m_hooks.readDatabase) return m_hooks.readDatabase(r);
    return Value::error(
        qor::cmd::CmdText(qor::str::kNoDatabaseReader)
            .arg(r.hostDatabase ? QStringLiteral("INDBSQL") : QStringLiteral("INDB")));
}

Value CCalcInterpreter::GetRecord(const RecordRequest& r) const {
    if (m_hooks.getRecord) return m_hooks.getRecord(r);
    return Value::error(CmdText(qor::str::kNoRecordReader));
}

// ---------------------------------------------------------------- callers

int RunCommandLineForDocument(CQorsDoc* doc, const QString& line, int runMode) {
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    CQorsDoc* savedDoc = ci.GetDocument();
    CReportHandle* savedReport = ci.GetReport();
    ci.SetDocument(doc);
    ci.SyncReportFromDocument();
    const int saved = ci.TestRunMode(0xFF);
    ci.SetRunMode(0, runMode);
    const int rc = ci.RunLine(line);
    ci.SetRunMode(0xFF, saved);
    // A command may leave the search to CONTINUE with; keep it when the
    // document stays the interpreter's.
    if (savedDoc != doc) {
        ci.SetDocument(savedDoc);
        ci.SetReport(savedReport);
    }
    return rc;
}

namespace qor::cmd {

void InstallInterpreterHooks() {
    CellFormulaHooks hooks;
    hooks.externalCell = [](const ExternalCellRequest& r) {
        return CCalcInterpreter::Instance().ExternalCell(r);
    };
    hooks.callService = [](const QString& name, const QString& raw) {
        return CCalcInterpreter::Instance().CallService(name, raw);
    };
    hooks.readDatabase = [](const DatabaseRequest& r) {
        return CCalcInterpreter::Instance().ReadDatabase(r);
    };
    hooks.getRecord = [](const RecordRequest& r) {
        return CCalcInterpreter::Instance().GetRecord(r);
    };
    hooks.foundPages = [] { return CCalcInterpreter::Instance().FoundPages(); };
    InstallFormulaEvaluatorHook(std::move(hooks));
    CAppEnvironment::Instance().SetBatchRunner([](const QString& path, QString* error) {
        return CCalcInterpreter::Instance().RunBatchFile(path, error);
    });
}

}  // namespace qor::cmd
