// What every command word shares: the report and page it works on, paths,
// conditions, and the document following along.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/printer.h"
#include "cmdlang/scripts.h"
#include "engine/errorlog.h"
#include "engine/messages.h"
#include "engine/openreports.h"

namespace qor::cmd {

CReportHandle& CommandRun::report() const {
    CReportHandle* r = ci.GetReport();
    if (!r || !r->IsOpen()) ThrowCalcError(CALC_ERR_NO_REPORT, QString());
    if (r->IsFormatState()) ThrowCalcError(CALC_ERR_FORMAT_STATE, QString());
    return *r;
}

int CommandRun::currentPage() const {
    CReportHandle& r = report();
    if (r.GetPageCount() < 1) ThrowCalcError(CALC_ERR_NO_PAGE, QString());
    if (r.GetCurPage() < 1) ThrowIfStatus(r.SetCurPage(1), CmdText(str::kFirstPage));
    return r.GetCurPage();
}

QString CommandRun::resolvePath(const QString& file, bool isReport) const {
    QString path = file.trimmed();
    if (QFileInfo(path).isRelative()) {
        // Reports live beside the report worked on, scripts and other files
        // beside the script that names them.
        const QString reportDir =
            ci.GetReport() ? QFileInfo(ci.GetReport()->GetPathName()).absolutePath() : QString();
        const QString scriptDir = ci.m_scriptDirs.isEmpty() ? QString() : ci.m_scriptDirs.last();
        QString dir = isReport ? reportDir : scriptDir;
        if (dir.isEmpty()) dir = isReport ? scriptDir : reportDir;
        if (!dir.isEmpty()) path = QDir(dir).filePath(path);
    }
    if (isReport) path = ReportPathWithExtension(path);
    return QFileInfo(path).absoluteFilePath();
}

void CommandRun::evaluationFailed(const Value& v, const QString& where) const {
    const QString why = v.isArea() ? CmdText(str::kAreaNotValue) : v.errorMessage();
    const int code = v.isError() && v.errorCode() ? v.errorCode() : CALC_ERR_EVALUATION;
    ThrowCalcError(code, where.isEmpty() ? why : QStringLiteral("%1: %2").arg(where, why));
}

namespace {

QString pageAndLine(const EvalEnvironment& env, int line) {
    QString where = CmdText(str::kPageOrdinal).arg(env.PageNumber());
    if (line > 0) where += CmdText(str::kLineSuffix).arg(line);
    return where;
}

}  // namespace

Value CommandRun::amountCell(const EvalEnvironment& env, int row, int col) const {
    const Value v = env.Cell(row, col);
    if (v.isError()) evaluationFailed(v, pageAndLine(env, 0));
    return v;
}

Value CommandRun::amountVarCell(const EvalEnvironment& env, int line, int index) const {
    const Value v = env.VarCell(line, index);
    if (v.isError()) evaluationFailed(v, pageAndLine(env, line));
    return v;
}

void FailedSources::add(int page, int row, int col) {
    if (!m_count++ || std::tie(page, row, col) < std::tie(m_page, m_row, m_col)) {
        m_page = page;
        m_row = row;
        m_col = col;
    }
}

void FailedSources::tell(const CommandRun& run, const QString& command) const {
    if (!m_count) return;
    const QString text = LoadErrorText(m_text)
                             .arg(command)
                             .arg(m_count)
                             .arg(m_page)
                             .arg(PrintCell({m_row, m_col}));
    WriteErrorLog(text);
    run.ci.NoteFailedCells(text);
}

bool CommandRun::holds(const Node& cond, const EvalEnvironment& env, int line) const {
    Evaluator ev(env);
    const Value v =
        ConditionTruth(line > 0 ? ev.evaluateOnLine(cond, line) : ev.evaluate(cond));
    if (v.isError()) evaluationFailed(v, pageAndLine(env, line));
    return IsTrue(v);
}

bool CommandRun::holdsOnPage(const Node& cond, const ReportScope& scope, int page) const {
    // The page is read only when the condition reads its cells or
    // keywords; one that cannot be read fails the command all the same.
    ReportPageEnvironment env(scope, page);
    const bool yes = holds(cond, env);
    ThrowIfStatus(env.LoadStatus(), CmdText(str::kPageOrdinal).arg(page));
    return yes;
}

namespace {

bool isPageNumber(const Node& n) {
    return n.kind == NodeKind::Call && n.text == u"MRECNO" && n.children.empty();
}

// Whether the expression gives the same on every page: literals, script
// variables and arithmetic over them.
bool sameOnEveryPage(const Node& n, const ReportScope& scope) {
    switch (n.kind) {
        case NodeKind::Number:
        case NodeKind::String:
            return true;
        case NodeKind::Ident:
            return scope.keywordSlot(n.text) < 0;
        case NodeKind::Unary:
        case NodeKind::Binary:
            for (const NodePtr& c : n.children)
                if (!c || !sameOnEveryPage(*c, scope)) return false;
            return !n.children.empty();
        default:
            return false;
    }
}

}  // namespace

std::optional<std::vector<int>> CommandRun::pagesByNumber(const Node& cond,
                                                          const ReportScope& scope) const {
    if (!scope.report || cond.kind != NodeKind::Compare || cond.op != Op::Eq ||
        cond.children.size() != 2 || !cond.children[0] || !cond.children[1])
        return std::nullopt;
    const Node* number = nullptr;
    if (isPageNumber(*cond.children[0]))
        number = cond.children[1].get();
    else if (isPageNumber(*cond.children[1]))
        number = cond.children[0].get();
    if (!number || !sameOnEveryPage(*number, scope)) return std::nullopt;
    // Anything unusual (an error, a text) goes the long way, page by page,
    // so that it fails or matches exactly as it always has.
    const ReportPageEnvironment env(scope, 0);
    Evaluator ev(env);
    const Value v = ev.evaluate(*number);
    if (!v.isNumber() || !std::isfinite(v.asNumber())) return std::nullopt;
    // Numbers compare within a small tolerance: the pages either side.
    const double n = v.asNumber();
    const int count = scope.report->GetPageCount();
    std::vector<int> pages;
    for (const double p : {std::floor(n), std::ceil(n)})
        if (p >= 1 && p <= count && (pages.empty() || pages.back() != int(p)))
            pages.push_back(int(p));
    return pages;
}

std::vector<int> CommandRun::matchingPages(const ReportScope& scope, const Node* cond) const {
    std::vector<int> pages;
    if (cond) {
        if (const std::optional<std::vector<int>> few = pagesByNumber(*cond, scope)) {
            std::vector<int> sorted = *few;
            std::sort(sorted.begin(), sorted.end());
            for (const int p : sorted)
                if (holdsOnPage(*cond, scope, p)) pages.push_back(p);
            return pages;
        }
    }
    const int count = scope.report ? scope.report->GetPageCount() : 0;
    pages.reserve(size_t(count));
    for (int p = 1; p <= count; ++p) {
        if (cond && !holdsOnPage(*cond, scope, p)) continue;
        pages.push_back(p);
    }
    return pages;
}

void CommandRun::showPage(int page) const {
    if (ci.GetDocument() && ci.DocumentHooks().showPage)
        ci.DocumentHooks().showPage(ci.GetDocument(), page);
}

void CommandRun::showCell(int page, int row, int col) const {
    if (ci.GetDocument() && ci.DocumentHooks().showCell)
        ci.DocumentHooks().showCell(ci.GetDocument(), page, row, col);
}

void CommandRun::refresh() const {
    if (ci.GetDocument() && ci.DocumentHooks().refresh)
        ci.DocumentHooks().refresh(ci.GetDocument());
}

void CommandRun::setFound(int page, int row, int col) const {
    ci.m_foundPage = page;
    ci.m_foundRow = row;
    ci.m_foundCol = col;
}

void CommandRun::runScriptFile(const QString& path) const {
    if (ci.m_doDepth >= kMaxDoDepth) ThrowCalcError(CALC_ERR_NESTING, QString());
    QString text, why;
    if (!ReadScriptFile(path, &text, &why)) ThrowCalcError(CALC_ERR_FILE, why);
    const QFileInfo info(path);
    const int saved = ci.TestRunMode(0xFF);
    ci.SetRunMode(0, CCalcInterpreter::kModeBatch);
    ++ci.m_doDepth;
    const bool ok = ci.runScript(text, info.fileName(), info.absolutePath(), &why);
    --ci.m_doDepth;
    ci.SetRunMode(0xFF, saved);
    if (!ok) ThrowCalcError(ci.LastErrorCode() ? ci.LastErrorCode() : CALC_ERR_EVALUATION, why);
}

// ---------------------------------------------------------------- result reports

std::unique_ptr<CReportHandle> CreateResultReport(const QString& path, CReportHandle& tmpl) {
    // A result never replaces a file: it may hold someone's work.
    if (QFileInfo::exists(path))
        ThrowCalcError(CALC_ERR_FILE, CmdText(str::kResultExists).arg(path));
    if (FindOpenReport(path)) ThrowCalcError(CALC_ERR_FILE, CmdText(str::kAlreadyOpen).arg(path));
    // Nothing is at the path until the result is saved whole.
    auto out = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::CreateNew);
    if (!out->IsOpen()) {
        const uint16_t status = out->OpenStatus();
        out.reset();
        ThrowIfStatus(status ? status : 1, path);
    }
    auto failed = [&](uint16_t status, const QString& what) {
        out.reset();
        ThrowIfStatus(status, what);
    };
    if (!out->IsFormatState()) out->EnterFormatState();
    if (uint16_t s = out->CopyFormatFrom(tmpl)) failed(s, CmdText(str::kCopyingFormat));
    if (uint16_t s = out->EnterDataState()) failed(s, CmdText(str::kEnteringDataState));
    if (uint16_t s = out->AppendRowColPage(1, 2)) failed(s, CmdText(str::kAppendingPage));
    if (uint16_t s = out->SetCurPage(1)) failed(s, CmdText(str::kFirstPage));
    return out;
}

void SaveResultReport(std::unique_ptr<CReportHandle> report, const QString& path) {
    const uint16_t s = report->Save();
    report.reset();
    // A failed save of a new result leaves nothing behind; whatever is at
    // the path now is somebody else's.
    if (s) {
        ThrowIfStatus(s, CmdText(str::kSaving).arg(path));
    }
}

}  // namespace qor::cmd
