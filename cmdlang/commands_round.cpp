// ROUND: the rounding balance of the current page.
//
// The report's rounding settings name a range, a number of digits (1..8)
// and balance formulas such as "A15=A12+A13". Every number of the range
// (and every cell a formula names) is divided by 10^digits and rounded to
// its cell's decimals; then each formula, in the order written, is made to
// hold again by giving the difference to the largest term on its right
// side, preferring terms that are not themselves the left side of another
// formula, so totals keep what their own rounding gives and details
// absorb the difference. The result replaces the page's values, or goes
// to a new report (ROUND TO "name", else the settings' table name) that
// gets this report's format and a copy of the page.
//
// A cell whose formula failed refuses the command (its 0 would take the
// whole difference). A text cell a formula names counts with the number
// its text holds, read as a cell write reads it; a text that holds none
// refuses the command.
#include <QFile>
#include <QMap>
#include <QSet>
#include <cmath>

#include "cmdlang/cmdtexts.h"
#include "cmdlang/commands_internal.h"
#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "engine/cellformat.h"
#include "engine/textutil.h"

namespace qor::cmd {

namespace {

using CellKey = std::pair<int, int>;  // stored row, column

struct Term {
    int sign = 1;
    CellKey cell;
};

struct Balance {
    CellKey lhs;
    std::vector<Term> terms;
};

[[noreturn]] void badFormula(const QString& text, const QString& why) {
    ThrowCalcError(CALC_ERR_BAD_ARGUMENT,
                   CmdText(str::kRoundingFormulaBad).arg(text, why));
}

bool plainCell(const Node& n) { return n.kind == NodeKind::CellRef && !n.external && !n.page; }

// The cells of a sum such as B1+B2-B3.
void collectTerms(const Node& n, int sign, std::vector<Term>* out, const QString& text) {
    if (plainCell(n)) {
        out->push_back({sign, {n.cell1.row, n.cell1.col}});
    } else if (n.kind == NodeKind::Binary && (n.op == Op::Add || n.op == Op::Sub)) {
        collectTerms(*n.children[0], sign, out, text);
        collectTerms(*n.children[1], n.op == Op::Sub ? -sign : sign, out, text);
    } else if (n.kind == NodeKind::Unary) {
        collectTerms(*n.children[0], n.op == Op::Neg ? -sign : sign, out, text);
    } else {
        badFormula(text, CmdText(str::kRoundingRightSide));
    }
}

std::vector<Balance> balances(const QString& formulas) {
    std::vector<AuditRelation> rels;
    ParseError e;
    if (!ParseAuditFormulas(formulas, &rels, &e))
        ThrowCalcError(CALC_ERR_SYNTAX,
                       CmdText(str::kRoundingFormulas).arg(e.toString()));
    std::vector<Balance> out;
    for (const AuditRelation& rel : rels) {
        const Node& n = *rel.relation;
        const QString text = PrintExpression(n);
        if (n.kind != NodeKind::Compare || n.op != Op::Eq || !plainCell(*n.children[0]))
            badFormula(text, CmdText(str::kRoundingFormShape));
        Balance b;
        b.lhs = {n.children[0]->cell1.row, n.children[0]->cell1.col};
        collectTerms(*n.children[1], 1, &b.terms, text);
        out.push_back(std::move(b));
    }
    return out;
}

// Stored areas of the range text ("A1:D20,F1:F20"); the whole table when
// it is empty.
std::vector<AreaRecord> rangeAreas(const QString& range, const ReportHeader& h) {
    std::vector<AreaRecord> out;
    for (const QString& part : range.split(u',', Qt::SkipEmptyParts)) {
        int c1, r1, c2, r2;
        if (!ParseAreaRef(part, &c1, &r1, &c2, &r2))
            ThrowCalcError(
                CALC_ERR_BAD_ARGUMENT,
                CmdText(str::kRoundingRangeNotArea).arg(part.trimmed()));
        AreaRecord a{uint16_t(std::min(r1, r2) + 1), uint16_t(std::min(c1, c2) + 1),
                     uint16_t(std::max(r1, r2) + 1), uint16_t(std::max(c1, c2) + 1)};
        if (a.r2 > h.rows || a.c2 > h.cols)
            ThrowCalcError(
                ::code(Status::OutsideTable),
                CmdText(str::kRoundingRangeOutside).arg(part.trimmed()));
        out.push_back(a);
    }
    if (out.empty()) out.push_back({1, 1, h.rows, h.cols});
    return out;
}

}  // namespace

void RunRound(CommandRun& run) {
    CReportHandle& r = run.report();
    const int page = run.currentPage();
    const RoundingSettings settings = r.GetRoundingSettings();
    if (settings.digits < 1 || settings.digits > 8)
        ThrowCalcError(CALC_ERR_NO_SETTINGS,
                       CmdText(str::kNoRoundingSettings));
    const ReportFormat& f = r.GetReportFile()->Format();
    const ReportHeader& h = f.header;
    const std::vector<Balance> rules = balances(settings.formula);
    const std::vector<AreaRecord> areas = rangeAreas(settings.range, h);

    const ReportScope scope = run.scope(&r);
    ReportPageEnvironment env(scope, page, r.GetPage(page));
    const double divisor = std::pow(10.0, settings.digits);
    auto inVarLine = [&](int row, int col) {
        return (h.varKind == 1 && row == h.varStart) || (h.varKind == 2 && col == h.varStart);
    };
    auto decimalsOf = [&](const CellKey& c) {
        return int(
            cellFormatGet(f.cellFormat(uint16_t(c.first), uint16_t(c.second)), kFmtDecimals));
    };
    QMap<CellKey, double> values;  // rounded
    auto take = [&](const CellKey& c, bool named) {
        if (values.contains(c) || inVarLine(c.first, c.second)) return;
        if (c.first > h.rows || c.second > h.cols)
            ThrowCalcError(::code(Status::OutsideTable),
                           CmdText(str::kOutsideTable).arg(PrintCell({c.first, c.second})));
        const Value v = run.amountCell(env, c.first, c.second);
        double number = 0;
        if (v.isNumber()) {
            number = v.asNumber();
        } else if (!named || !v.isText() || v.asText().trimmed().isEmpty()) {
            return;
        } else if (!TextAsCellNumber(v.asText(), &number)) {
            ThrowCalcError(CALC_ERR_BAD_ARGUMENT, CmdText(str::kRoundTextNoAmount)
                                                      .arg(page)
                                                      .arg(PrintCell({c.first, c.second}))
                                                      .arg(v.asText()));
        }
        values.insert(c, RoundedToDecimals(number / divisor, decimalsOf(c)));
    };
    for (const AreaRecord& a : areas)
        for (int row = a.r1; row <= a.r2; ++row)
            for (int col = a.c1; col <= a.c2; ++col) take({row, col}, false);
    for (const Balance& b : rules) {
        take(b.lhs, true);
        for (const Term& t : b.terms) take(t.cell, true);
    }

    QSet<CellKey> totals;
    for (const Balance& b : rules) totals.insert(b.lhs);
    for (const Balance& b : rules) {
        const double lhs = values.value(b.lhs);
        double sum = 0;
        for (const Term& t : b.terms) sum += t.sign * values.value(t.cell);
        const double diff = lhs - sum;
        if (std::fabs(diff) < 1e-9 || b.terms.empty()) continue;
        const Term* pick = nullptr;
        for (int pass = 0; pass < 2 && !pick; ++pass)
            for (const Term& t : b.terms) {
                if (pass == 0 && totals.contains(t.cell)) continue;
                if (!pick || std::fabs(values.value(t.cell)) > std::fabs(values.value(pick->cell)))
                    pick = &t;
            }
        values[pick->cell] = RoundedToDecimals(values.value(pick->cell) + pick->sign * diff,
                                               std::max(decimalsOf(pick->cell), decimalsOf(b.lhs)));
    }
    if (run.checkOnly()) return;

    const QString name = run.cmd.file ? *run.cmd.file : settings.tableName.trimmed();
    auto write = [&](CReportHandle& dest, int destPage) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            ThrowIfStatus(WriteStoredCell(dest, destPage, it.key().first, it.key().second,
                                          Value::number(it.value())),
                          PrintCell({it.key().first, it.key().second}));
    };
    if (name.isEmpty()) {
        write(r, page);
        run.refresh();
        return;
    }
    const QString path = run.resolvePath(name, true);
    std::unique_ptr<CReportHandle> out = CreateResultReport(path, r);
    try {
        std::shared_ptr<CSheetPage> from = r.GetPage(page);
        if (!from) ThrowIfStatus(1, CmdText(str::kPageOrdinal).arg(page));
        ThrowIfStatus(out->TakePageValues(1, *from), CmdText(str::kPageOrdinal).arg(page));
        write(*out, 1);
    } catch (...) {
        // The result was never written: nothing to take back.
        out.reset();
        throw;
    }
    SaveResultReport(std::move(out), path);
}

}  // namespace qor::cmd
