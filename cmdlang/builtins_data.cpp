// Database functions: INDB and INDBSQL read one field, GETRECORD queues
// records to be written into an area of the page. The reading itself is
// done by whoever gives the environment a database reader.
#include <QChar>
#include <climits>

#include "cmdlang/builtins.h"
#include "cmdlang/cmdtexts.h"
#include "engine/textutil.h"

namespace qor::cmd {

namespace {

constexpr int kMaxRowsDown = 9999;  // GETRECORD, records written down the rows
constexpr int kMaxColsAcross = 255;

Value readField(Evaluator& ev, const Node& call, bool host) {
    DatabaseRequest r;
    r.hostDatabase = host;
    Value bad;
    Value table, field;
    if (!TextArgument(ev, call, 0, &r.file, &bad) || !MarkedTextArgument(ev, call, 1, &table, &bad) ||
        !MarkedTextArgument(ev, call, 2, &field, &bad) ||
        !WholeArgument(ev, call, 3, 0, INT_MAX, &r.record, &bad))
        return bad;
    r.table = table.asText();
    r.field = field.asText();
    r.tableWritten = r.table.isEmpty() || table.isWritten();
    r.fieldWritten = r.field.isEmpty() || field.isWritten();
    // Which parts of the condition the author wrote and which are data
    // travels with its value (cells, variables, TRIM...).
    Value condition;
    if (!MarkedTextArgument(ev, call, 4, &condition, &bad)) return bad;
    r.condition = condition.asText();
    r.conditionPieces = condition.pieces();
    if (ev.env().CheckOnly()) return Value::number(0);
    const Value v = ev.env().ReadDatabase(r);
    // The whole field: a text its cell cannot keep fails there, by name,
    // rather than arriving cut.
    if (v.isText()) return Value::text(v.asText());
    if (v.isEmpty()) return Value::number(0);  // a null field
    return v;
}

Value fnInDb(Evaluator& ev, const Node& call, const FunctionInfo&) {
    return readField(ev, call, false);
}

Value fnInDbSql(Evaluator& ev, const Node& call, const FunctionInfo&) {
    return readField(ev, call, true);
}

Value malformed(const QString& why) {
    return Value::error(CmdText(str::kGetRecordMalformed).arg(why), kErrorMalformedCall);
}

// GETRECORD("sql", "area", dir[, limit]): the arguments are checked before
// anything is queried, so a check-only run finds every fault a real run
// would; the value is 0.
Value fnGetRecord(Evaluator& ev, const Node& call, const FunctionInfo&) {
    RecordRequest r;
    QString area, direction;
    Value sql, bad;
    if (!MarkedTextArgument(ev, call, 0, &sql, &bad) || !TextArgument(ev, call, 1, &area, &bad) ||
        !TextArgument(ev, call, 2, &direction, &bad))
        return bad;
    r.sql = sql.asText();
    r.sqlPieces = sql.pieces();
    if (r.sql.trimmed().isEmpty()) return malformed(CmdText(str::kQueryEmpty));
    for (const QChar c : area)
        if (!c.isSpace()) r.area += c;
    int c1, r1, c2, r2;
    if (!r.area.isEmpty() && !ParseAreaRef(r.area, &c1, &r1, &c2, &r2))
        return malformed(CmdText(str::kTextNotArea).arg(r.area));
    if (direction.isEmpty() || (direction[0] != u'1' && direction[0] != u'0'))
        return malformed(CmdText(str::kDirectionOneOrZero));
    r.direction = direction[0] == u'1' ? 1 : 0;
    const int max = r.direction == 1 ? kMaxRowsDown : kMaxColsAcross;
    r.limit = max;
    if (call.children.size() > 3 && call.children[3]->kind != NodeKind::Empty &&
        !WholeArgument(ev, call, 3, 1, max, &r.limit, &bad, kErrorBadRecordLimit))
        return bad;
    if (ev.env().CheckOnly()) return Value::number(0);
    r.page = ev.env().PageNumber();
    const Value v = ev.env().GetRecord(r);
    if (v.isError()) return v;
    return Value::number(0);
}

const BuiltinName kData[] = {
    {"INDB", fnInDb},
    {"INDBSQL", fnInDbSql},
    {"GETRECORD", fnGetRecord},
};

}  // namespace

const BuiltinName* DataBuiltins(int* count) {
    *count = int(std::size(kData));
    return kData;
}

}  // namespace qor::cmd
