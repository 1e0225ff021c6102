#pragma once
// How the engine reaches the command language for cell formulas. The
// engine sits below the language, so it declares here what it needs and the
// language registers its implementations at start-up
// (qor::cmd::InstallEngineHooks):
//  - a checker that compiles a formula text against a report and tells
//    what the formula reads (the dependency graph is built from that), and
//    rewrites the references of a text (area formulas cut in pieces, table
//    shape edits);
//  - an evaluator that computes a compiled formula for one target cell of
//    one page, reading cells and keywords through a context the engine
//    hands it.
// Both are process-wide. Without a checker the engine stores formulas after
// checking their length and placement only; without a checker and an
// evaluator it cannot recalculate.
//
// Coordinates here are stored ones: formulas are written in format state,
// where the table shows its template (one line of the variable area), so a
// formula's "A5" is stored row 5 on every page.
//
// Reference meaning in an area formula: the target cell (r, c) of a formula
// set on an area with first corner (r1, c1) moves every cell reference and
// every area reference that is not the area of a statistic function by
// (r - r1, c - c1). Statistic areas and V_ names stay where they are.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/reportlayout.h"
#include "engine/status.h"

class CReportHandle;

namespace qor {

// A value a formula yields or reads.
struct FormulaValue {
    enum Kind : uint8_t { Empty, Number, Text, Error };
    Kind kind = Empty;
    double number = 0;
    QString text;

    static FormulaValue empty() { return {}; }
    static FormulaValue ofNumber(double v) { return {Number, v, {}}; }
    static FormulaValue ofText(const QString& t) { return {Text, 0, t}; }
    // An error's text says why the formula failed ("" when nothing did).
    static FormulaValue error(QString why = {}) { return {Error, 0, std::move(why)}; }
    bool isError() const { return kind == Error; }
    // Two errors are the same value whatever their reasons.
    bool operator==(const FormulaValue& o) const {
        return kind == o.kind && (kind == Error || (number == o.number && text == o.text));
    }
};

// One thing a formula reads.
struct FormulaRef {
    enum Kind : uint8_t {
        Cell,     // area.r1 == area.r2, area.c1 == area.c2
        Area,     // area, ordered
        Var,      // lines of the variable area (V_ names)
        Keyword,  // a keyword of the page
    };
    Kind kind = Cell;
    AreaRecord area;  // Cell and Area: stored rows and columns
    // Var: axis 0 names columns of a row area (index = column), axis 1 rows
    // of a column area (index = row); lines 1.., 0 = every used line.
    uint8_t varAxis = 0;
    uint16_t index1 = 0, index2 = 0;
    uint16_t line1 = 0, line2 = 0;
    int keywordSlot = -1;        // Keyword: 0..6
    bool statisticArea = false;  // the area of a statistic function: never moved
    // Read on every page (the area or condition of TOTAL, COUNT, AVG, MIN,
    // MAX... over pages); page is then 0.
    bool overPages = false;
    bool external = false;       // a cell of another report ("path"->A1)
    uint32_t page = 0;           // a fixed page (A1@3); 0 = the page evaluated
    // Set by a rewrite callback: the reference no longer names anything (its
    // cells were deleted); the text then carries a mark that does not
    // compile.
    bool lost = false;

    // Reads cells of another page or report: not part of this page's graph.
    bool elsewhere() const { return external || page != 0; }
    // Moves with the target cell of an area formula.
    bool shifts() const { return kind == Cell || (kind == Area && !statisticArea); }
};

// The report a formula is checked against.
struct FormulaCheckInput {
    int rows = 0;  // stored table size
    int cols = 0;
    int varKind = 0;  // 0 none, 1 rows, 2 columns
    int varStart = 0;
    QStringList keywordNames;     // by slot 0..6; "" = the slot has no name
    bool allowVariables = false;  // LET lines only; never for stored formulas
};

// A formula compiled by the checker. Only the evaluator of the same
// language looks inside.
class CompiledFormula {
public:
    virtual ~CompiledFormula() = default;
    // A hint: asks for the memory an evaluation will read, one level of the
    // formula deeper at each step (0 first, each step only after the one
    // before was asked a while earlier). A recalculation asks a few
    // formulas ahead, so that their memory arrives together instead of one
    // read waiting for the next.
    virtual void Prefetch(int step) const { (void)step; }
    static constexpr int kPrefetchSteps = 3;
};

struct FormulaCheckResult {
    Status status = Status::Ok;  // Ok or FormulaInvalid
    int errorPosition = -1;      // offset in the text
    QString errorReason;
    std::shared_ptr<const CompiledFormula> compiled;
    std::vector<FormulaRef> refs;
    // Recomputed on every recalculation (other pages or reports, the clock,
    // a database, the user, services).
    bool isVolatile = false;
    // Reads cells of other pages of its own report (A1@3, TOTAL(A1)): a
    // change on one page can move its result on another.
    bool readsPages = false;
    bool totalKind = false;  // written "TOTAL expr"
};

// Gives each reference of a text in turn; it may change the reference in
// place (or set lost) and returns false to abandon the rewrite.
using FormulaRefMap = std::function<bool(FormulaRef& ref)>;

class IFormulaChecker {
public:
    virtual ~IFormulaChecker() = default;
    virtual FormulaCheckResult Check(QStringView text, const FormulaCheckInput& report) = 0;
    // The text with its references passed through map; everything else of
    // the text is kept as written. False when the text does not parse or
    // map gave up.
    virtual bool RewriteReferences(QStringView text, const FormulaRefMap& map, QString* out) = 0;
};

// What an evaluator reads while it computes one target cell.
class FormulaEvalContext {
public:
    virtual ~FormulaEvalContext() = default;
    virtual CReportHandle* Report() const = 0;
    virtual int Page() const = 0;
    // The area the formula was set on, and the cell being computed.
    virtual AreaRecord FormulaArea() const = 0;
    virtual uint16_t TargetRow() const = 0;
    virtual uint16_t TargetCol() const = 0;
    int RowShift() const { return int(TargetRow()) - FormulaArea().r1; }
    int ColShift() const { return int(TargetCol()) - FormulaArea().c1; }

    virtual uint16_t RowCount() const = 0;
    virtual uint16_t ColCount() const = 0;
    // A cell of the page by stored row and column: Error outside the table
    // and for a cell whose formula failed; the template row (column) of the
    // variable area reads its first line.
    virtual FormulaValue Cell(int row, int col) const = 0;

    virtual int VarKind() const = 0;
    virtual int VarStart() const = 0;
    virtual int VarUsed() const = 0;
    // line 1..VarUsed(); index = column of a row area, row of a column area.
    // Error outside.
    virtual FormulaValue VarCell(int line, int index) const = 0;

    // The page's keyword value (slot 0..6); Empty when unset.
    virtual FormulaValue Keyword(int slot) const = 0;
    // Slot of a keyword name (case ignored), -1 when none.
    virtual int KeywordSlot(QStringView name) const = 0;

    // The same report read on another page (its stored record is loaded
    // when needed), for the same formula and target cell; null when there
    // is no such page or the context reads no report.
    virtual std::unique_ptr<FormulaEvalContext> ForPage(int page) const {
        (void)page;
        return nullptr;
    }

    // A statistic over every page gives the same on whichever page it is
    // worked out: the recalculation keeps it, by the call (key) and the
    // target's shift, for the other pages to take. Null when nothing is kept
    // (or nothing is kept outside a recalculation).
    virtual const FormulaValue* SharedValue(const void* key, int rowShift, int colShift) const {
        (void)key, (void)rowShift, (void)colShift;
        return nullptr;
    }
    virtual void KeepShared(const void* key, int rowShift, int colShift,
                            const FormulaValue& value) const {
        (void)key, (void)rowShift, (void)colShift, (void)value;
    }
};

class IFormulaEvaluator {
public:
    virtual ~IFormulaEvaluator() = default;
    // Exceptions thrown from here count as an error of that cell.
    virtual FormulaValue Evaluate(const CompiledFormula& formula,
                                  const FormulaEvalContext& context) = 0;
};

// Install returns the previous one (tests restore it); null uninstalls.
std::shared_ptr<IFormulaChecker> InstallFormulaChecker(std::shared_ptr<IFormulaChecker> checker);
std::shared_ptr<IFormulaChecker> FormulaChecker();
std::shared_ptr<IFormulaEvaluator> InstallFormulaEvaluator(
    std::shared_ptr<IFormulaEvaluator> evaluator);
std::shared_ptr<IFormulaEvaluator> FormulaEvaluator();
// Changes with every install, so compiled forms made by a checker that has
// gone are not used again.
uint64_t FormulaHooksGeneration();

// The keyword names a formula may read, by slot: the six built-in names
// and the user keyword's name ("" when it has none).
QStringList FormulaKeywordNames(const QString& userKeywordName);

}  // namespace qor
