#include "cmdlang/evaluator.h"

#include "cmdlang/builtins.h"
#include "cmdlang/cmdtexts.h"
#include "cmdlang/printer.h"
#include "engine/callarguments.h"

namespace qor::cmd {

// ---------------------------------------------------------------- environment defaults

Value EvalEnvironment::VarCell(int, int) const {
    return Value::error(CmdText(str::kReportHasNoVariableArea));
}

int EvalEnvironment::KeywordSlot(QStringView) const { return -1; }

Value EvalEnvironment::Keyword(int) const { return Value::empty(); }

std::optional<Value> EvalEnvironment::Variable(QStringView) const { return std::nullopt; }

bool EvalEnvironment::WithPage(int, const std::function<void(const EvalEnvironment&)>&) const {
    return false;
}

Value EvalEnvironment::ExternalCell(const ExternalCellRequest& r) const {
    return Value::error(CmdText(str::kCellsNotHere).arg(r.report));
}

Value EvalEnvironment::CallService(const QString& name, const QString&) const {
    return Value::error(CmdText(str::kServiceFunction).arg(name));
}

Value EvalEnvironment::ReadDatabase(const DatabaseRequest& r) const {
    return Value::error(
        CmdText(str::kNoDatabaseReader)
            .arg(r.hostDatabase ? QStringLiteral("INDBSQL") : QStringLiteral("INDB")));
}

Value EvalEnvironment::GetRecord(const RecordRequest&) const {
    return Value::error(CmdText(str::kNoRecordReader));
}

// ---------------------------------------------------------------- evaluator

namespace {

// A line of the variable area as a V_ name reads it; line 0 is the whole
// column (row) and gives an area.
Value readVar(const EvalEnvironment& env, const VarRef& v, int line) {
    const int kind = env.VarKind();
    if (kind == 0) return Value::error(CmdText(str::kReportHasNoVariableArea));
    if ((kind == 1) != (v.axis == VarRef::Axis::Column))
        return Value::error(kind == 1 ? CmdText(str::kVarRowsNameColumns)
                                      : CmdText(str::kVarColumnsNameRows));
    if (line == 0) {
        AreaValue a;
        a.kind = AreaValue::Kind::VarLines;
        a.var1 = a.var2 = v;
        return Value::area(a);
    }
    // Pages hold different numbers of lines: a line this page lacks is empty.
    if (line > env.VarUsed()) return Value::empty();
    return env.VarCell(line, v.index);
}

Value notAValue() { return Value::error(CmdText(str::kAreaOnlyArgument)); }

}  // namespace

Evaluator::Evaluator(const EvalEnvironment& env, int rowShift, int colShift)
    : m_env(&env), m_rowShift(rowShift), m_colShift(colShift) {}

Value Evaluator::evaluate(const Node& node) { return this->node(node); }

FormulaOutcome Evaluator::evaluateFormula(const Formula& f) {
    FormulaOutcome out;
    if (f.filter) {
        const Value c = ConditionTruth(node(*f.filter));
        if (c.isError()) {
            out.value = c;
            return out;
        }
        if (!IsTrue(c)) {
            out.applies = false;
            return out;
        }
    }
    if (f.relation) {
        m_relationKey = node(*f.relation->key);
        if (m_relationKey.isError()) {
            out.value = m_relationKey;
            m_relationKey = Value();
            return out;
        }
        m_relation = &*f.relation;
    }
    out.value = node(*f.expr);
    m_relation = nullptr;
    m_relationKey = Value();
    if (out.value.isArea()) out.value = Value::error(CmdText(str::kAreaNotCellValue));
    return out;
}

namespace {

// V_ names read the given line while one evaluation runs; nesting (a filter
// inside a LET over the lines) gets its caller's line back after.
class LineScope {
public:
    LineScope(int& varLine, int line) : m_varLine(varLine), m_saved(varLine) {
        if (line > 0) m_varLine = line;
    }
    ~LineScope() { m_varLine = m_saved; }
    LineScope(const LineScope&) = delete;
    LineScope& operator=(const LineScope&) = delete;

private:
    int& m_varLine;
    const int m_saved;
};

}  // namespace

Value Evaluator::evaluateOnLine(const Node& n, int line) {
    const LineScope scope(m_varLine, line);
    return node(n);
}

FormulaOutcome Evaluator::evaluateFormulaOnLine(const Formula& f, int line) {
    const LineScope scope(m_varLine, line);
    return evaluateFormula(f);
}

Value Evaluator::evaluateFilter(const Node& filter, const Value& subject, int line) {
    const Value* savedSubject = m_subject;
    const LineScope scope(m_varLine, line);
    if (filter.kind == NodeKind::Filter) m_subject = &subject;
    Value v = node(filter);
    m_subject = savedSubject;
    return v;
}

Value Evaluator::argument(const Node& call, size_t i) {
    if (i >= call.children.size()) return Value::empty();
    return node(*call.children[i]);
}

Value Evaluator::node(const Node& n) {
    switch (n.kind) {
        case NodeKind::Number:
            return Value::number(n.number);
        case NodeKind::String:
            return Value::written(n.text);
        case NodeKind::CellRef:
            return cellRef(n);
        case NodeKind::Area:
        case NodeKind::VRefArea:
            return areaRef(n);
        case NodeKind::VRef:
            return varRef(n);
        case NodeKind::Ident:
            return identifier(n);
        case NodeKind::Call:
            return call(n);
        case NodeKind::Unary:
            return Unary(n.op, node(*n.children[0]));
        case NodeKind::Binary: {
            const Value a = node(*n.children[0]);
            if (a.isError()) return a;
            return Arithmetic(n.op, a, node(*n.children[1]));
        }
        case NodeKind::Compare: {
            const Value a = node(*n.children[0]);
            if (a.isError()) return a;
            return Compare(n.op, a, node(*n.children[1]));
        }
        case NodeKind::Logical:
            return logical(n);
        case NodeKind::Filter:
            if (!m_subject)
                return Value::error(CmdText(str::kFilterOutside).arg(PrintExpression(n)));
            return Compare(n.op, *m_subject, node(*n.children[0]));
        case NodeKind::Empty:
            return Value::empty();
    }
    return Value::error(CmdText(str::kUnknownExpression));
}

Value Evaluator::logical(const Node& n) {
    const Value a = node(*n.children[0]);
    if (a.isError()) return a;
    if (a.isArea()) return notAValue();
    const Value ta = ConditionTruth(a);
    if (ta.isError()) return ta;
    if (n.op == Op::Not) return Value::boolean(!IsTrue(ta));
    // The right side is read only when it decides: a condition can guard
    // a division or a cell of another page.
    const bool left = IsTrue(ta);
    if (n.op == Op::And && !left) return Value::boolean(false);
    if (n.op == Op::Or && left) return Value::boolean(true);
    const Value b = node(*n.children[1]);
    if (b.isError()) return b;
    if (b.isArea()) return notAValue();
    return ConditionTruth(b);
}

Value Evaluator::cellRef(const Node& n) {
    const int row = n.cell1.row + m_rowShift, col = n.cell1.col + m_colShift;
    if (n.external) return readExternal(n, row, col, nullptr);
    if (n.page) return onPage(n.page, [&](const EvalEnvironment& e) { return e.Cell(row, col); });
    return m_env->Cell(row, col);
}

Value Evaluator::varRef(const Node& n) {
    VarRef v = n.var1;
    if (!v.line) v.line = m_varLine;
    if (n.external) {
        if (!v.line) return areaRef(n);
        return readExternal(n, 0, 0, &v);
    }
    if (n.page)
        return onPage(n.page, [&](const EvalEnvironment& e) { return readVar(e, v, v.line); });
    return readVar(*m_env, v, v.line);
}

Value Evaluator::areaRef(const Node& n) {
    AreaValue a;
    if (n.kind == NodeKind::Area) {
        a.first = n.cell1;
        a.last = n.cell2;
    } else {
        a.kind = AreaValue::Kind::VarLines;
        a.var1 = n.var1;
        a.var2 = n.kind == NodeKind::VRefArea ? n.var2 : n.var1;
    }
    a.report = n.report;
    a.page = n.page;
    return Value::area(a);
}

Value Evaluator::identifier(const Node& n) {
    const int slot = m_env->KeywordSlot(n.text);
    if (slot >= 0) return m_env->Keyword(slot);
    if (std::optional<Value> v = m_env->Variable(n.text)) return *v;
    return Value::error(CmdText(str::kFormulaUnknownName).arg(n.text));
}

Value Evaluator::serviceCall(const Node& n) {
    // A service reads its arguments as text: an argument that is a call of
    // this language (QM(QC("1001",5),6)) is handed over as its value, never
    // as the text of the call, which the service would split at the inner
    // call's commas.
    if (n.opaqueArgs || !ArgumentHoldsCall(n.rawArgs)) return m_env->CallService(n.text, n.rawArgs);
    QStringList args = SplitCallArguments(n.rawArgs);
    if (args.size() != qsizetype(n.children.size())) return m_env->CallService(n.text, n.rawArgs);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!ArgumentHoldsCall(args[i])) continue;
        const Value v = node(*n.children[size_t(i)]);
        if (v.isError()) return v;
        if (v.isNumber()) args[i] = ToText(v);
        else if (v.isText()) args[i] = u'"' + v.asText() + u'"';
        else if (v.isEmpty()) args[i].clear();
    }
    return m_env->CallService(n.text, args.join(u','));
}

Value Evaluator::call(const Node& n) {
    const Builtin* b = n.builtin ? n.builtin : FindBuiltin(n.text);
    if (!b) return serviceCall(n);
    const int count = int(n.children.size());
    if (count < b->info->minArgs || count > b->info->maxArgs)
        return Value::error(ArgumentCountText(n.text, b->info->minArgs, b->info->maxArgs));
    // The arguments' nodes are asked for memory together rather than one
    // after another as each is evaluated: a recalculation goes through
    // thousands of trees, few of which are in the cache.
    for (const NodePtr& c : n.children) __builtin_prefetch(c.get());
    return b->fn(*this, n, *b->info);
}

Value Evaluator::readExternal(const Node& n, int row, int col, const VarRef* var) {
    ExternalCellRequest r;
    r.report = n.report;
    r.cell = {row, col};
    if (var) {
        r.isVar = true;
        r.var = *var;
    }
    r.page = n.page;
    r.currentPage = m_env->PageNumber();
    r.relation = m_relation;
    r.keyValue = m_relationKey;
    return m_env->ExternalCell(r);
}

Value Evaluator::onPage(int page, const std::function<Value(const EvalEnvironment&)>& read) {
    const int count = m_env->PageCount();
    if (count > 0 && page > count) return Value::error(CmdText(str::kPageMissing).arg(page));
    Value out;
    if (!m_env->WithPage(page, [&](const EvalEnvironment& e) { out = read(e); }))
        return Value::error(CmdText(str::kPageNotHere).arg(page));
    return out;
}

Value Evaluate(const Node& node, const EvalEnvironment& env) {
    return Evaluator(env).evaluate(node);
}

}  // namespace qor::cmd
