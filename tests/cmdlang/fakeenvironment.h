#pragma once
// An evaluation environment made of plain tables, for the evaluator and
// function tests.

#include <QDateTime>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <ostream>
#include <vector>

#include "cmdlang/evaluator.h"
#include "cmdlang/parser.h"
#include "engine/textutil.h"

namespace qor::cmd {
// Readable values in failure messages.
inline void PrintTo(const Value& v, std::ostream* os) {
    switch (v.kind()) {
        case Value::Kind::Empty:
            *os << "empty";
            break;
        case Value::Kind::Number:
            *os << "number " << v.asNumber();
            break;
        case Value::Kind::Text:
            *os << "text \"" << v.asText().toStdString() << '"';
            break;
        case Value::Kind::Area:
            *os << "area";
            break;
        case Value::Kind::Error:
            *os << "error " << v.errorCode() << " " << v.errorMessage().toStdString();
            break;
    }
}
}  // namespace qor::cmd

namespace qortest {

using qor::cmd::Value;

class FakeEnvironment : public qor::cmd::EvalEnvironment {
public:
    int rows = 30, cols = 10;
    std::map<std::pair<int, int>, Value> cells;
    int varKind = 0, varStart = 0;
    std::vector<std::vector<Value>> varLines;  // [line - 1][index - 1]
    QStringList keywordNames{QStringLiteral("单位名称"), QStringLiteral("单位编号"),
                             QStringLiteral("年"),       QStringLiteral("季"),
                             QStringLiteral("月"),       QStringLiteral("日"),
                             QStringLiteral("项目")};
    std::array<Value, 7> keywords;
    std::map<QString, Value> variables;
    int page = 1;
    std::vector<const FakeEnvironment*> pages;  // page i = pages[i - 1]; empty: none reachable
    int found = 0;
    QDateTime now = QDateTime(QDate(2004, 5, 17), QTime(13, 45, 30));
    bool checkOnly = false;
    std::function<Value(const qor::cmd::ExternalCellRequest&)> external;
    std::function<Value(const QString&, const QString&)> service;
    std::function<Value(const qor::cmd::DatabaseRequest&)> database;
    std::function<Value(const qor::cmd::RecordRequest&)> records;

    // "B3" = number or text.
    void set(const char* ref, double v) { cells[pos(ref)] = Value::number(v); }
    void set(const char* ref, const QString& t) { cells[pos(ref)] = Value::text(t); }
    void set(const char* ref, const Value& v) { cells[pos(ref)] = v; }
    void setVar(int line, int index, double v) {
        if (int(varLines.size()) < line) varLines.resize(size_t(line));
        auto& l = varLines[size_t(line - 1)];
        if (int(l.size()) < index) l.resize(size_t(index));
        l[size_t(index - 1)] = Value::number(v);
    }

    int RowCount() const override { return rows; }
    int ColCount() const override { return cols; }
    Value Cell(int row, int col) const override {
        if (row < 1 || col < 1 || row > rows || col > cols)
            return Value::error(QStringLiteral("outside"));
        if (varKind == 1 && row == varStart) return VarCell(1, col);
        if (varKind == 2 && col == varStart) return VarCell(1, row);
        const auto it = cells.find({row, col});
        return it == cells.end() ? Value() : it->second;
    }
    int VarKind() const override { return varKind; }
    int VarStart() const override { return varStart; }
    int VarUsed() const override { return varKind ? std::max(1, int(varLines.size())) : 0; }
    Value VarCell(int line, int index) const override {
        if (!varKind || line < 1 || index < 1 || index > (varKind == 1 ? cols : rows))
            return Value::error(QStringLiteral("no such line"));
        if (line > int(varLines.size())) return Value();
        const auto& l = varLines[size_t(line - 1)];
        return index <= int(l.size()) ? l[size_t(index - 1)] : Value();
    }
    int KeywordSlot(QStringView name) const override {
        for (int i = 0; i < keywordNames.size(); ++i)
            if (name.compare(keywordNames[i], Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    Value Keyword(int slot) const override { return keywords[size_t(slot)]; }
    std::optional<Value> Variable(QStringView name) const override {
        for (const auto& [k, v] : variables)
            if (name.compare(k, Qt::CaseInsensitive) == 0) return v;
        return std::nullopt;
    }
    int PageNumber() const override { return page; }
    int PageCount() const override { return pages.empty() ? 1 : int(pages.size()); }
    int FoundPages() const override { return found; }
    bool WithPage(int p, const std::function<void(const EvalEnvironment&)>& fn) const override {
        if (pages.empty() && p == page) {
            fn(*this);
            return true;
        }
        if (p < 1 || p > int(pages.size())) return false;
        fn(*pages[size_t(p - 1)]);
        return true;
    }
    Value ExternalCell(const qor::cmd::ExternalCellRequest& r) const override {
        return external ? external(r) : EvalEnvironment::ExternalCell(r);
    }
    Value CallService(const QString& name, const QString& raw) const override {
        return service ? service(name, raw) : EvalEnvironment::CallService(name, raw);
    }
    Value ReadDatabase(const qor::cmd::DatabaseRequest& r) const override {
        return database ? database(r) : EvalEnvironment::ReadDatabase(r);
    }
    Value GetRecord(const qor::cmd::RecordRequest& r) const override {
        return records ? records(r) : EvalEnvironment::GetRecord(r);
    }
    bool CheckOnly() const override { return checkOnly; }
    QDateTime Now() const override { return now; }

private:
    static std::pair<int, int> pos(const char* ref) {
        int c = 0, r = 0;
        ParseCellRef(QString::fromLatin1(ref), &c, &r);
        return {r + 1, c + 1};
    }
};

// The value of an expression text; a text that does not parse fails the test
// through an error value naming it.
inline Value eval(const QString& text, const qor::cmd::EvalEnvironment& env, int rowShift = 0,
                  int colShift = 0) {
    qor::cmd::ParseError e;
    qor::cmd::NodePtr n = qor::cmd::ParseExpression(text, &e);
    if (!n) return Value::error(QStringLiteral("PARSE: ") + e.reason);
    return qor::cmd::Evaluator(env, rowShift, colShift).evaluate(*n);
}

inline double num(const Value& v) { return v.isNumber() ? v.asNumber() : -999999.25; }

}  // namespace qortest
