// Text functions and the input functions GETINT and GETSTR. Lengths and
// positions count UTF-16 units, as the report's texts are stored.
#include <climits>
#include <cmath>

#include "cmdlang/builtins.h"
#include "cmdlang/cmdtexts.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"

namespace qor::cmd {

namespace {

Value fnLen(Evaluator& ev, const Node& call, const FunctionInfo&) {
    QString s;
    Value bad;
    if (!TextArgument(ev, call, 0, &s, &bad)) return bad;
    return Value::number(double(s.size()));
}

// The text functions answer with their argument's characters, which keep
// their marks: a cell's text stays data through them (value.h).
Value fnTrim(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value s, bad;
    if (!MarkedTextArgument(ev, call, 0, &s, &bad)) return bad;
    // Both ends, the ideographic space included.
    const QString& t = s.asText();
    qsizetype from = 0, to = t.size();
    while (from < to && t[from].isSpace()) ++from;
    while (to > from && t[to - 1].isSpace()) --to;
    return s.sliced(from, to - from);
}

Value fnUpper(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value s, bad;
    if (!MarkedTextArgument(ev, call, 0, &s, &bad)) return bad;
    return s.retexted(s.asText().toUpper());
}

Value fnLower(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value s, bad;
    if (!MarkedTextArgument(ev, call, 0, &s, &bad)) return bad;
    return s.retexted(s.asText().toLower());
}

Value fnVal(Evaluator& ev, const Node& call, const FunctionInfo&) {
    QString s;
    Value bad;
    if (!TextArgument(ev, call, 0, &s, &bad)) return bad;
    // A whole amount as a cell reads it ("12,345.60"); otherwise the number
    // the text starts with ("12x" is 12).
    double whole = 0;
    if (qor::TextAsCellNumber(s, &whole)) return Value::number(whole);
    return Value::number(ParseDouble(s));
}

// A number becomes its shortest text; a text stays as it is.
Value fnStr(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value s, bad;
    if (!MarkedTextArgument(ev, call, 0, &s, &bad)) return bad;
    return s;
}

// SUBSTR(s, start[, length]): start from 1 (0 reads as 1); a start past
// the end gives "", a length past the end stops there.
Value fnSubstr(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value s, bad;
    int start = 0;
    if (!MarkedTextArgument(ev, call, 0, &s, &bad)) return bad;
    if (!WholeArgument(ev, call, 1, 0, INT_MAX, &start, &bad)) return bad;
    const qsizetype from = std::max(start, 1) - 1;
    if (from >= s.asText().size()) return Value::text(QString());
    qsizetype length = s.asText().size() - from;
    const bool hasLength = call.children.size() > 2 && call.children[2]->kind != NodeKind::Empty;
    if (hasLength) {
        int n = 0;
        if (!WholeArgument(ev, call, 2, 0, INT_MAX, &n, &bad)) return bad;
        length = std::min<qsizetype>(length, n);
    }
    return s.sliced(from, length);
}

QString captionOf(Evaluator& ev, const Node& call, Value* bad, bool* ok) {
    QString caption;
    *ok = TextArgument(ev, call, 0, &caption, bad);
    if (caption.isEmpty()) caption = LoadErrorText(str::kDialogCaption);
    return caption;
}

Value fnGetInt(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value bad;
    bool ok = false;
    const QString caption = captionOf(ev, call, &bad, &ok);
    if (!ok) return bad;
    if (ev.env().CheckOnly()) return Value::number(0);
    NumberPrompt prompt;
    prompt.caption = caption;
    prompt.decimals = 0;
    const std::optional<double> v = promptNumber(prompt);
    if (!v) return Value::error(CmdText(str::kNoNumberEntered));
    return Value::number(std::trunc(*v));
}

Value fnGetStr(Evaluator& ev, const Node& call, const FunctionInfo&) {
    Value bad;
    bool ok = false;
    const QString caption = captionOf(ev, call, &bad, &ok);
    if (!ok) return bad;
    if (ev.env().CheckOnly()) return Value::text(QString());
    TextPrompt prompt;
    prompt.caption = caption;
    const std::optional<QString> v = promptText(prompt);
    if (!v) return Value::error(CmdText(str::kNoTextEntered));
    return Value::text(*v);
}

const BuiltinName kText[] = {
    {"LEN", fnLen},       {"TRIM", fnTrim},     {"UPPER", fnUpper},
    {"LOWER", fnLower},   {"VAL", fnVal},       {"STR", fnStr},
    {"SUBSTR", fnSubstr}, {"GETINT", fnGetInt}, {"GETSTR", fnGetStr},
};

}  // namespace

const BuiltinName* TextBuiltins(int* count) {
    *count = int(std::size(kText));
    return kText;
}

}  // namespace qor::cmd
