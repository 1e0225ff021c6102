// TOTAL and GTOTAL: consolidation of pages and of variable lines.
//
// How cells add up (the same for both commands and in one place here):
//  - numeric cells: the sum of the pages (lines) that hold a number; a cell
//    no page fills stays empty;
//  - character cells: the text when every page (line) that holds one holds
//    the same text, else empty;
//  - labels and keyword cells are the format's and are not written;
//  - cell formulas are added as the values they hold; formulas written
//    "TOTAL expr", and those over the variable area's lines, are computed
//    on the result page afterwards;
//  - a cell whose formula failed holds no amount: it is left out, the
//    result cell is marked failed too, and the run is told how many were
//    left out and the first of them;
//  - the result page's keywords are empty.
// Variable lines: with KEY V_x, lines are grouped by the key column's
// value, one result line per distinct value in the order first seen, the
// key column holding the value; without KEY line i adds to line i. GTOTAL
// adds every line that passes its condition into one result line.
#include <QFile>
#include <QHash>
#include <algorithm>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "engine/cellformat.h"
#include "engine/cells_round.h"
#include "engine/cells_varmap.h"
#include "engine/textutil.h"
#include "engine/varlines.h"

namespace qor::cmd {

namespace {

enum CellUse : uint8_t { kSkip, kNumeric, kText };

struct Acc {
    double sum = 0;
    bool number = false;
    bool failed = false;  // a cell added in had a failed formula
    uint8_t text = 0;     // 0 none seen, 1 one text so far, 2 different texts
    QString value;

    // False for a cell whose formula failed (left out, the result marked).
    // A number adds as its cell (format word `word`) shows it, as a read of
    // the cell gives it.
    bool add(CellUse use, uint64_t word, const CellSlot& s, const QString& t) {
        if (s.flags & kSlotFormulaError) {
            failed = true;
            return false;
        }
        if (use == kNumeric) {
            if (s.isNumber() && !s.isEmptyNumber()) {
                sum += HeldToShownDecimals(s.numberValue(), word);
                number = true;
            } else if (double v = 0; s.isText() && TextAsCellNumber(t, &v)) {
                // Read as the cell reads it: "12abc" is no 12.
                sum += HeldToShownDecimals(v, word);
                number = true;
            }
            return true;
        }
        QString seen;
        if (s.isText())
            seen = t;
        else if (s.isNumber() && !s.isEmptyNumber())
            seen = FormatNumber(s.numberValue());
        else
            return true;
        if (text == 0) {
            text = 1;
            value = seen;
        } else if (text == 1 && seen != value) {
            text = 2;
            value.clear();
        }
        return true;
    }

    Value result() const {
        if (number) return Value::number(sum);
        if (text == 1) return Value::text(value);
        return Value::empty();
    }
    bool written() const { return number || text == 1 || failed; }
};

CellUse useOf(uint64_t format) {
    const int kind = int(cellFormatGet(format, kFmtKind));
    if (kind == kCellLabel || kFmtKeywordCell.get(format)) return kSkip;
    return kind == kCellText || kind == kCellOtherText ? kText : kNumeric;
}

class Consolidation {
public:
    // word: the command, as the run is told of what it could not add.
    Consolidation(const ReportFormat& f, QString word) : m_f(f), m_word(std::move(word)) {
        const ReportHeader& h = f.header;
        m_fixedUse.assign(size_t(h.rows) * h.cols, kSkip);
        m_fixedWord.assign(m_fixedUse.size(), 0);
        for (int r = 1; r <= h.rows; ++r)
            for (int c = 1; c <= h.cols; ++c) {
                const bool varLine =
                    (h.varKind == 1 && r == h.varStart) || (h.varKind == 2 && c == h.varStart);
                if (varLine) continue;
                m_fixedWord[index(r, c)] = f.cellFormat(uint16_t(r), uint16_t(c));
                m_fixedUse[index(r, c)] = useOf(m_fixedWord[index(r, c)]);
            }
        m_fixed.resize(m_fixedUse.size());
        const uint16_t len = VarLineLength(h);
        for (uint16_t j = 1; j <= len; ++j) {
            m_lineWord.push_back(h.varKind == 1 ? f.cellFormat(h.varStart, j)
                                                : f.cellFormat(j, h.varStart));
            m_lineUse.push_back(useOf(m_lineWord.back()));
        }
    }

    void addFixed(const CSheetPage& page, int pageNo) {
        const SlotGrid& g = page.Fixed();
        const ReportHeader& h = m_f.header;
        const int used = std::max<int>(1, page.VarUsed());
        for (int r = 1; r <= h.rows; ++r)
            for (int c = 1; c <= h.cols; ++c) {
                const size_t i = index(r, c);
                if (m_fixedUse[i] == kSkip) continue;
                const CellSlot s = g.slot(uint32_t(r - 1), uint16_t(c - 1));
                if (s.tag == kSlotNeverWritten) continue;
                if (!m_fixed[i].add(m_fixedUse[i], m_fixedWord[i], s,
                                    s.isText() ? g.text(uint32_t(r - 1), uint16_t(c - 1))
                                               : QString()))
                    m_failed.add(pageNo, ShownRow(h, used, r), ShownCol(h, used, c));
            }
    }

    // Adds a line of a page's variable area into result line `into`
    // (made when it does not exist yet).
    void addLine(const SlotGrid& g, int pageNo, int line, size_t into) {
        while (m_lines.size() <= into) m_lines.emplace_back(m_lineUse.size());
        std::vector<Acc>& out = m_lines[into];
        for (size_t j = 0; j < m_lineUse.size() && j < g.lineLength(); ++j) {
            if (m_lineUse[j] == kSkip) continue;
            const CellSlot s = g.slot(uint32_t(line - 1), uint16_t(j));
            if (s.tag == kSlotNeverWritten) continue;
            if (!out[j].add(m_lineUse[j], m_lineWord[j], s,
                            s.isText() ? g.text(uint32_t(line - 1), uint16_t(j)) : QString())) {
                int row = 0, col = 0;
                ShownVarCell(m_f.header, line, int(j + 1), &row, &col);
                m_failed.add(pageNo, row, col);
            }
        }
    }

    // KEY: the result line of the key value (in the order first seen).
    size_t lineForKey(const Value& key) {
        const QString k = key.isNumber() ? QStringLiteral("n") + FormatNumber(key.asNumber())
                          : key.isText() ? QStringLiteral("t") + key.asText()
                                         : QStringLiteral("e");
        const auto it = m_keyLines.constFind(k);
        if (it != m_keyLines.constEnd()) return *it;
        const size_t line = m_keys.size();
        m_keyLines.insert(k, line);
        m_keys.push_back(key);
        return line;
    }

    // Writes everything into a page of dest (current page, data state),
    // then computes the total formulas there.
    void write(CommandRun& run, CReportHandle& dest, int page, int keyIndex) const {
        const ReportHeader& h = m_f.header;
        ThrowIfStatus(dest.SetCurPage(page), CmdText(str::kPageOrdinal).arg(page));
        if (h.varKind) {
            int lines = std::max<int>(1, int(m_lines.size()));
            ThrowIfStatus(dest.AccessVarCount(1, &lines), CmdText(str::kSettingVarLines));
        }
        // A sum past what a number holds is no amount: its cell is marked
        // failed as one added from a failed cell is, and the run is told.
        FailedSources beyond(str::kTotalBeyondNumbers);
        const int used = std::max<int>(1, int(m_lines.size()));
        for (int r = 1; r <= h.rows; ++r)
            for (int c = 1; c <= h.cols; ++c) {
                const Acc& a = m_fixed[index(r, c)];
                if (!a.written()) continue;
                const Value v = a.result();
                if (v.isError()) beyond.add(page, ShownRow(h, used, r), ShownCol(h, used, c));
                ThrowIfStatus(WriteStoredCell(dest, page, r, c, v, a.failed || v.isError()),
                              PrintCell({r, c}));
            }
        for (size_t i = 0; i < m_lines.size(); ++i)
            for (size_t j = 0; j < m_lineUse.size(); ++j) {
                Value v;
                bool failed = false;
                if (keyIndex > 0 && int(j) == keyIndex - 1 && i < m_keys.size()) {
                    v = m_keys[i];
                } else if (m_lines[i][j].written()) {
                    v = m_lines[i][j].result();
                    failed = m_lines[i][j].failed || v.isError();
                    if (v.isError()) {
                        int row = 0, col = 0;
                        ShownVarCell(h, int(i + 1), int(j + 1), &row, &col);
                        beyond.add(page, row, col);
                    }
                } else {
                    continue;
                }
                if (v.isEmpty() && !failed) continue;
                ThrowIfStatus(WriteVarCell(dest, page, int(i + 1), int(j + 1), v, failed),
                              CmdText(str::kVarAreaLine).arg(i + 1));
            }
        computeTotalFormulas(run, dest, page);
        beyond.tell(run, m_word);
    }

    // A result of more lines than the area holds is refused before any
    // page is written.
    void checkLinesFit() const {
        const ReportHeader& h = m_f.header;
        const int limit = VarLineLimit(h);
        if (!h.varKind || int64_t(m_lines.size()) <= limit) return;
        ThrowCalcError(::code(Status::TableSizeOutOfBounds),
                       CmdText(str::kVarLinesResultPastExtent)
                           .arg(limit)
                           .arg(VarLineWord(h.varKind))
                           .arg(m_lines.size()));
    }

    const FailedSources& failed() const { return m_failed; }

private:
    size_t index(int r, int c) const { return size_t(r - 1) * m_f.header.cols + size_t(c - 1); }

    // A formula over the page's own lines (GTOTAL(V_C), GCOUNT(V_C)) reads
    // the result's lines, which are not the sum of the pages' lines (a
    // condition, KEY, pages of unequal counts): it is computed on the
    // result page as a "TOTAL expr" one is.
    static bool readsOwnLines(const Node& n) {
        if ((n.kind == NodeKind::VRef || n.kind == NodeKind::VRefArea) && !n.external) return true;
        return std::any_of(n.children.cbegin(), n.children.cend(),
                           [](const NodePtr& c) { return c && readsOwnLines(*c); });
    }

    void computeTotalFormulas(CommandRun& run, CReportHandle& dest, int page) const {
        const ReportFormat& df = dest.GetReportFile()->Format();
        const ReportScope scope = run.scope(&dest);
        for (const FormulaRecord& fr : df.formulas) {
            if (fr.kind != 1 && (fr.kind != 0 || !df.header.varKind)) continue;
            ParseError e;
            std::unique_ptr<Formula> f = ParseFormula(fr.text, &e);
            // A cell formula that does not compile keeps what was added up.
            if (!f && fr.kind == 0) continue;
            if (!f)
                ThrowCalcError(CALC_ERR_SYNTAX,
                               QStringLiteral("%1: %2").arg(fr.text, e.toString()));
            if (fr.kind == 0 && !readsOwnLines(*f->expr) && !(f->filter && readsOwnLines(*f->filter)))
                continue;
            for (int r = fr.area.r1; r <= fr.area.r2; ++r)
                for (int c = fr.area.c1; c <= fr.area.c2; ++c) {
                    ReportPageEnvironment env(scope, page, dest.GetPage(page));
                    Evaluator ev(env, r - fr.area.r1, c - fr.area.c1);
                    FormulaOutcome out = ev.evaluateFormula(*f);
                    if (!out.applies) continue;
                    // Over a total that left a failed cell out (TOTAL B1/A1
                    // with B1 failed) the result is failed as B1 is, and
                    // the run already names the source.
                    const bool failed = out.value.isError() && env.ReadFailedCell();
                    if (failed) {
                        ThrowIfStatus(WriteStoredCell(dest, page, r, c, Value::empty(), true),
                                      PrintCell({r, c}));
                        continue;
                    }
                    if (out.value.isError() || out.value.isArea())
                        run.evaluationFailed(out.value, PrintCell({r, c}));
                    ThrowIfStatus(WriteStoredCell(dest, page, r, c, out.value), PrintCell({r, c}));
                }
        }
    }

    const ReportFormat& m_f;
    QString m_word;
    std::vector<CellUse> m_fixedUse;
    std::vector<uint64_t> m_fixedWord;
    std::vector<uint64_t> m_lineWord;
    std::vector<Acc> m_fixed;
    std::vector<CellUse> m_lineUse;
    std::vector<std::vector<Acc>> m_lines;
    std::vector<Value> m_keys;
    QHash<QString, size_t> m_keyLines;
    FailedSources m_failed;
};

std::shared_ptr<CSheetPage> loadPage(CReportHandle& r, int page) {
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> sheet = r.GetPage(page, &status);
    if (!sheet) ThrowIfStatus(status ? status : 1, CmdText(str::kPageOrdinal).arg(page));
    return sheet;
}

// The column (row area) or row (column area) KEY names, checked against
// the report.
int keyIndexOf(const Node& key, const ReportHeader& h) {
    if (!h.varKind)
        ThrowCalcError(CALC_ERR_NO_VAR_AREA, CmdText(str::kKeyNeedsVarArea));
    const bool rows = key.var1.axis == VarRef::Axis::Column;
    if (rows != (h.varKind == 1) || key.var1.line != 0)
        ThrowCalcError(CALC_ERR_BAD_ARGUMENT,
                       h.varKind == 1
                           ? CmdText(str::kKeyNamesColumn)
                           : CmdText(str::kKeyNamesRow));
    if (key.var1.index > VarLineLength(h))
        ThrowCalcError(CALC_ERR_BAD_ARGUMENT, CmdText(str::kKeyOutside));
    return key.var1.index;
}

// Appends a page to the report and writes the result there; the page
// goes again when writing fails.
void writeIntoThisReport(CommandRun& run, CReportHandle& r, const Consolidation& c, int keyIndex) {
    ThrowIfStatus(r.AppendRowColPage(1, 2), CmdText(str::kAppendingPage));
    const int page = r.GetPageCount();
    try {
        c.write(run, r, page, keyIndex);
    } catch (...) {
        r.DeleteRowColPage(page, 1, 2);
        throw;
    }
    run.refresh();
    run.showPage(page);
}

void writeIntoNewReport(CommandRun& run, CReportHandle& r, const Consolidation& c, int keyIndex,
                        const QString& path) {
    std::unique_ptr<CReportHandle> out = CreateResultReport(path, r);
    try {
        c.write(run, *out, 1, keyIndex);
    } catch (...) {
        // The result was never written: nothing to take back.
        out.reset();
        throw;
    }
    SaveResultReport(std::move(out), path);
}

}  // namespace

void RunTotal(CommandRun& run) {
    CReportHandle& r = run.report();
    const ReportScope scope = run.scope(&r);
    const ReportFormat& f = *scope.format;
    const int keyIndex = run.cmd.key ? keyIndexOf(*run.cmd.key, f.header) : 0;
    const std::vector<int> pages = run.matchingPages(scope, run.cmd.forCond.get());
    if (run.checkOnly()) return;
    Consolidation c(f, QStringLiteral("TOTAL"));
    for (int p : pages) {
        std::shared_ptr<CSheetPage> sheet = loadPage(r, p);
        c.addFixed(*sheet, p);
        if (!f.header.varKind) continue;
        const SlotGrid& g = sheet->VarLines();
        ReportPageEnvironment env(scope, p, sheet);
        for (int line = 1; line <= int(g.lines()); ++line) {
            size_t into = size_t(line - 1);
            // A line is grouped by what its key holds: a failed key holds
            // nothing to group by.
            if (keyIndex) into = c.lineForKey(run.amountVarCell(env, line, keyIndex));
            c.addLine(g, p, line, into);
        }
    }
    c.checkLinesFit();
    if (run.cmd.file)
        writeIntoNewReport(run, r, c, keyIndex, run.resolvePath(*run.cmd.file, true));
    else
        writeIntoThisReport(run, r, c, keyIndex);
    c.failed().tell(run, QStringLiteral("TOTAL"));
}

void RunGTotal(CommandRun& run) {
    CReportHandle& r = run.report();
    const ReportScope scope = run.scope(&r);
    const ReportFormat& f = *scope.format;
    if (!f.header.varKind) ThrowCalcError(CALC_ERR_NO_VAR_AREA, QString());
    const std::vector<int> pages = run.matchingPages(scope, run.cmd.forCond.get());
    Consolidation c(f, QStringLiteral("GTOTAL"));
    for (int p : pages) {
        std::shared_ptr<CSheetPage> sheet = loadPage(r, p);
        c.addFixed(*sheet, p);
        ReportPageEnvironment env(scope, p, sheet);
        const SlotGrid& g = sheet->VarLines();
        for (int line = 1; line <= int(g.lines()); ++line)
            if (!run.cmd.varCond || run.holds(*run.cmd.varCond, env, line))
                c.addLine(g, p, line, 0);
    }
    if (run.checkOnly()) return;
    writeIntoThisReport(run, r, c, 0);
    c.failed().tell(run, QStringLiteral("GTOTAL"));
}

}  // namespace qor::cmd
