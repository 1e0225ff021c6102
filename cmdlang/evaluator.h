#pragma once
// Evaluation of expressions, conditions and cell formulas of the command
// language against an environment that gives the cells, keywords and
// variables of one page, and reaches further (other pages, other reports,
// databases, application services) through optional members whose
// defaults answer with an error that says what is missing.
//
// Rows and columns are the stored ones, from 1. The template line of the
// variable area stands for the area's lines; its cells are read through
// VarCell by the statistics of the variable area and skipped by those of
// the fixed area.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

#include "cmdlang/syntaxtree.h"
#include "cmdlang/value.h"

namespace qor::cmd {

// A cell of another report: `"path"->A1` (or `"path"->V_A3`).
struct ExternalCellRequest {
    QString report;  // the path as written
    bool isVar = false;
    CellPos cell;  // shifted already for the target cell of an area formula
    VarRef var;    // isVar: a line of the other report's variable area
    // A fixed page (`@n`); 0: the page the relation finds, or without a
    // relation the page with the number of the page evaluated.
    int page = 0;
    int currentPage = 0;
    // The formula's Relation clause: the other report's page is the one
    // whose relatedKey equals keyValue (this page's key).
    const Relation* relation = nullptr;
    Value keyValue;
};

// INDB(file, table, field, recno, cond) and INDBSQL(accountset, table,
// field, recno, cond).
struct DatabaseRequest {
    bool hostDatabase = false;  // INDBSQL
    QString file;               // INDB: data file; INDBSQL: account set
    QString table;
    QString field;
    // Whether the formula's author wrote the table and field names (as
    // literals, or joined from literals): a name taken from a cell, a
    // keyword or a prompt's answer could open any table the login reads.
    bool tableWritten = true;
    bool fieldWritten = true;
    int record = 0;
    QString condition;  // may be empty
    // The condition by where its parts came from (Value::pieces): what the
    // formula's author wrote and what is data. A host database gets the
    // data as values, never as SQL (see qor::BindTextPieces).
    QList<TextPiece> conditionPieces;
};

// GETRECORD("sql", "area", dir, limit), arguments already checked.
struct RecordRequest {
    QString sql;
    QList<TextPiece> sqlPieces;  // the statement by where its parts came from
    QString area;       // blanks removed; empty or an area reference
    int direction = 1;  // 1 or 0, the first character of the argument
    int limit = 9999;
    int page = 0;  // the page the records are written to
};

class EvalEnvironment {
public:
    virtual ~EvalEnvironment() = default;

    // ---- the page evaluated
    virtual int RowCount() const = 0;
    virtual int ColCount() const = 0;
    // A cell by stored row and column; an error outside the table or for a
    // cell whose formula failed.
    virtual Value Cell(int row, int col) const = 0;

    // 0 none, 1 rows (V_ + column letters), 2 columns (V_ + row number).
    virtual int VarKind() const { return 0; }
    virtual int VarStart() const { return 0; }
    virtual int VarUsed() const { return 0; }
    // line 1..VarUsed(); index = column of a row area, row of a column area.
    virtual Value VarCell(int line, int index) const;

    // Slot 0..6 of a keyword name (case ignored), -1 for none.
    virtual int KeywordSlot(QStringView name) const;
    virtual Value Keyword(int slot) const;

    // A variable of the interpreter; nothing when there is none of that name.
    virtual std::optional<Value> Variable(QStringView name) const;

    // ---- pages of the report
    virtual int PageNumber() const { return 0; }
    virtual int PageCount() const { return 0; }
    // Pages the last FIND matched (0 when none).
    virtual int FoundPages() const { return 0; }
    // Runs fn with the environment of page 1..PageCount(); false (fn not
    // run) when that page cannot be read from here.
    virtual bool WithPage(int page, const std::function<void(const EvalEnvironment&)>& fn) const;
    // A statistic over every page, worked out once for every page of one
    // recalculation (key: the call; the shift of the target cell). Nothing
    // when none is kept.
    virtual std::optional<Value> SharedValue(const void* key, int rowShift, int colShift) const {
        (void)key, (void)rowShift, (void)colShift;
        return std::nullopt;
    }
    virtual void KeepShared(const void* key, int rowShift, int colShift, const Value& v) const {
        (void)key, (void)rowShift, (void)colShift, (void)v;
    }

    // ---- beyond the report
    virtual Value ExternalCell(const ExternalCellRequest& request) const;
    // An application-service function: its name (upper case) and the
    // unparsed text between its parentheses.
    virtual Value CallService(const QString& name, const QString& rawArgs) const;
    // The value read: number, text, empty (a null field) or an error.
    virtual Value ReadDatabase(const DatabaseRequest& request) const;
    // Queues the records for the page; an error when that fails.
    virtual Value GetRecord(const RecordRequest& request) const;

    // Check only: nothing outside is touched and nobody is asked (database
    // functions give 0, input functions 0 or "").
    virtual bool CheckOnly() const { return false; }
    // The local clock of the date and time functions.
    virtual QDateTime Now() const { return QDateTime::currentDateTime(); }
};

// What a cell formula gives: its value, or nothing when the For clause
// leaves this page alone (the cell keeps what it holds).
struct FormulaOutcome {
    bool applies = true;
    Value value;
};

class Evaluator {
public:
    // rowShift/colShift move the cell references of an area formula to the
    // target cell (target minus the area's first corner).
    explicit Evaluator(const EvalEnvironment& env, int rowShift = 0, int colShift = 0);

    // The value of an expression. An area reference gives an area value.
    Value evaluate(const Node& node);
    // A cell formula with its For and Relation clauses. An area as the
    // result is an error.
    FormulaOutcome evaluateFormula(const Formula& formula);
    // The expression with V_ names that name no line bound to line (GFIND
    // conditions, variable-area filters).
    Value evaluateOnLine(const Node& node, int line);
    // evaluateFormula with V_ names bound to line as evaluateOnLine does.
    FormulaOutcome evaluateFormulaOnLine(const Formula& formula, int line);
    // A statistic filter: a Filter node (">0") compares subject with its
    // operand; any other node is a condition evaluated as it stands. A line
    // above 0 binds V_ names as evaluateOnLine does.
    Value evaluateFilter(const Node& filter, const Value& subject, int line = 0);

    const EvalEnvironment& env() const { return *m_env; }
    int rowShift() const { return m_rowShift; }
    int colShift() const { return m_colShift; }

    // For the formula functions: argument i (empty when left out or absent).
    Value argument(const Node& call, size_t i);
    // A cell (var null) or variable-area line of the other report a
    // reference node names, through the environment.
    Value readExternal(const Node& ref, int row, int col, const VarRef* var);

private:
    Value node(const Node& n);
    Value cellRef(const Node& n);
    Value varRef(const Node& n);
    Value areaRef(const Node& n);
    Value identifier(const Node& n);
    Value call(const Node& n);
    // An application-service call, its nested calls' values in their place.
    Value serviceCall(const Node& n);
    Value logical(const Node& n);
    Value onPage(int page, const std::function<Value(const EvalEnvironment&)>& read);

    const EvalEnvironment* m_env;
    int m_rowShift;
    int m_colShift;
    int m_varLine = 0;
    const Value* m_subject = nullptr;
    const Relation* m_relation = nullptr;
    Value m_relationKey;
};

// Convenience: the value of an expression in an environment.
Value Evaluate(const Node& node, const EvalEnvironment& env);

}  // namespace qor::cmd
