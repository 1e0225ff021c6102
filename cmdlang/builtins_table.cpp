// The function table: names of functions.cpp joined with their
// implementations, and the argument helpers the families share.
#include <QHash>
#include <cmath>

#include "cmdlang/builtins.h"
#include "cmdlang/arithnumber.h"
#include "cmdlang/cmdtexts.h"

namespace qor::cmd {

namespace {

QHash<QString, Builtin> buildTable() {
    QHash<QString, Builtin> table;
    int count = 0;
    const FunctionInfo* infos = BuiltinFunctions(&count);
    for (int i = 0; i < count; ++i)
        table.insert(QString::fromLatin1(infos[i].name), Builtin{&infos[i], nullptr});
    for (auto family : {StatisticBuiltins, MathsBuiltins, TextBuiltins, DataBuiltins}) {
        int n = 0;
        const BuiltinName* names = family(&n);
        for (int i = 0; i < n; ++i) {
            const auto it = table.find(QString::fromLatin1(names[i].name));
            if (it != table.end()) it->fn = names[i].fn;
        }
    }
    // A name the checker knows but nobody implements would evaluate to
    // nothing; such a gap is caught by the tests, and here it is an error.
    return table;
}

Value notImplemented(Evaluator&, const Node& call, const FunctionInfo&) {
    return Value::error(CmdText(str::kFunctionNotEvaluable).arg(call.text));
}

}  // namespace

const Builtin* FindBuiltin(const QString& upperName) {
    static const QHash<QString, Builtin> table = [] {
        QHash<QString, Builtin> t = buildTable();
        for (Builtin& b : t)
            if (!b.fn) b.fn = notImplemented;
        return t;
    }();
    const auto it = table.constFind(upperName);
    return it == table.constEnd() ? nullptr : &*it;
}

bool NumberArgument(Evaluator& ev, const Node& call, size_t i, double* out, Value* bad) {
    const Value v = ev.argument(call, i);
    if (v.isError()) {
        *bad = v;
        return false;
    }
    if (v.isArea()) {
        *bad = Value::error(
            CmdText(str::kFormulaArgumentNotArea).arg(i + 1).arg(call.text));
        return false;
    }
    if (!NumberForArithmetic(v, out)) {
        *bad = Value::error(CmdText(str::kConditionNotANumber).arg(v.asText()));
        return false;
    }
    return true;
}

bool TextArgument(Evaluator& ev, const Node& call, size_t i, QString* out, Value* bad) {
    // A quoted text, by far the most common argument, is taken as it is.
    if (i < call.children.size() && call.children[i]->kind == NodeKind::String) {
        *out = call.children[i]->text;
        return true;
    }
    Value v;
    if (!MarkedTextArgument(ev, call, i, &v, bad)) return false;
    *out = v.asText();
    return true;
}

bool MarkedTextArgument(Evaluator& ev, const Node& call, size_t i, Value* out, Value* bad) {
    const Value v = ev.argument(call, i);
    if (v.isError()) {
        *bad = v;
        return false;
    }
    if (v.isArea()) {
        *bad = Value::error(
            CmdText(str::kFormulaArgumentNotArea).arg(i + 1).arg(call.text));
        return false;
    }
    *out = v.isText() ? v : Value::text(ToText(v));
    return true;
}

bool WholeArgument(Evaluator& ev, const Node& call, size_t i, int min, int max, int* out,
                   Value* bad, int errorCode) {
    double d = 0;
    if (!NumberArgument(ev, call, i, &d, bad)) return false;
    if (d != std::floor(d) || d < min || d > max) {
        *bad = Value::error(CmdText(str::kArgumentWholeRange)
                                .arg(i + 1)
                                .arg(call.text)
                                .arg(min)
                                .arg(max),
                            errorCode);
        return false;
    }
    *out = int(d);
    return true;
}

}  // namespace qor::cmd
