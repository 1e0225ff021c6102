#pragma once
// Syntax tree of the command language: expressions (cell formulas,
// conditions) and the command lines built around them.
//
// Rows and columns are 1-based as the report shows them (A = column 1).
// Every node remembers where it stood in the source text so that the
// interpreter can point at the offending part of a line.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qor::cmd {

constexpr int kMaxRow = 9999;
constexpr int kMaxColumn = 256;  // letters A..IV; a table holds at most 255 of them
constexpr int kMaxPage = 99999;

struct CellPos {
    int row = 0;  // 1..9,999
    int col = 0;  // 1..256
    friend bool operator==(const CellPos&, const CellPos&) = default;
};

// A variable-area name. `V_A` / `V_A3` name a column of a row area (all used
// lines, or line 3); `V_3` names row 3 of a column area.
struct VarRef {
    enum class Axis : uint8_t { Column, Row };
    Axis axis = Axis::Column;
    int index = 0;  // column (Axis::Column) or row (Axis::Row), 1-based
    int line = 0;   // 1-based line of the variable area; 0 = every used line
    friend bool operator==(const VarRef&, const VarRef&) = default;
};

enum class NodeKind : uint8_t {
    Number,
    String,
    CellRef,   // cell1
    Area,      // cell1:cell2, ordered top-left / bottom-right
    VRef,      // var1
    VRefArea,  // var1:var2
    Ident,     // keyword name or variable, spelled as written
    Call,      // text = upper-case name, children = arguments
    Unary,     // op Neg / Plus
    Binary,    // op Add Sub Mul Div Pow
    Compare,   // op Eq Ne Lt Le Gt Ge Like
    Logical,   // op And Or (two children) or Not (one child)
    Filter,    // statistic filter with the cell as implied left operand: ">0"
    Empty,     // an argument left out: F(a,,b) and F(a,)
};

enum class Op : uint8_t {
    None,
    Add,
    Sub,
    Mul,
    Div,
    Pow,
    Neg,
    Plus,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Like,
    And,
    Or,
    Not,
};

struct Node;
using NodePtr = std::unique_ptr<Node>;

struct Builtin;

struct Node {
    // What evaluation reads of every node comes first, so that it shares
    // one cache line: a recalculation walks thousands of trees.
    NodeKind kind = NodeKind::Number;
    Op op = Op::None;
    bool external = false;
    bool opaqueArgs = false;
    int height = 1;  // 1 + tallest child; bounded so tree walks cannot exhaust the stack
    double number = 0;
    QString text;  // string value, identifier, function name
    std::vector<NodePtr> children;
    // Calls only: the built-in function the name stands for, found once when
    // parsed (null for an application service).
    const Builtin* builtin = nullptr;
    int pos = 0;  // offset of the first character in the source (UTF-16 units)
    int len = 0;  // source length
    CellPos cell1, cell2;
    VarRef var1, var2;
    // References only: another report (`"path"->A1`) and a fixed page (`A1@3`).
    // external is set for the first.
    QString report;
    int page = 0;  // 0 = the page being evaluated
    // Calls only: the exact text between the parentheses (application
    // services receive it unparsed), and whether it could not be parsed as
    // arguments of this language (opaqueArgs; then children is empty).
    QString rawArgs;

    bool isReference() const {
        return kind == NodeKind::CellRef || kind == NodeKind::Area || kind == NodeKind::VRef ||
               kind == NodeKind::VRefArea;
    }
    // Deep equality of the meaning (positions and raw texts ignored).
    bool sameAs(const Node& other) const;
};

struct Relation {
    NodePtr key;         // this report's keyword (Ident), cell or V_ name
    QString path;        // the related report file
    NodePtr relatedKey;  // the related report's keyword, cell or V_ name
};

// Text of a cell formula: expr [For cond] [Relation k with "path"->k2].
struct Formula {
    NodePtr expr;
    NodePtr filter;  // the For clause
    std::optional<Relation> relation;
    bool totalKind = false;  // written "TOTAL expr": evaluated on consolidation result pages
    bool sameAs(const Formula& other) const;
};

struct Target {
    enum class Kind : uint8_t { Name, Cell, Area, Var };
    Kind kind = Kind::Name;
    QString name;  // Kind::Name, as written
    CellPos first, last;
    VarRef var;  // Kind::Var
    int pos = 0;
};

enum class CommandKind : uint8_t {
    Empty,  // blank or comment line
    Assign,
    Free,
    Find,
    GFind,
    Continue,
    Total,
    GTotal,
    Append,
    Delete,
    Sort,
    Round,
    Check,
    Recalc,
    Browse,
    Mail,
    Menu,
    Do,
    Convert,
    ListMemory,
    Help,
};

struct SortKey {
    NodePtr key;  // Ident (keyword name), CellRef or VRef
    bool descending = false;
};

enum class SortScope : uint8_t { Default, Pages, Var };

struct Command {
    CommandKind kind = CommandKind::Empty;
    int pos = 0;

    // Assign (with or without LET)
    bool let = false;
    Target target;
    Formula formula;

    QStringList names;  // FREE, as written

    NodePtr forCond;  // FIND, TOTAL, APPEND, DELETE; page condition of GFIND and GTOTAL
    NodePtr varCond;  // GFIND, GTOTAL: condition on variable-area lines

    std::optional<QString> file;    // TOTAL/ROUND TO, APPEND FROM, DO, MENU, CONVERT source
    std::optional<QString> file2;   // CONVERT destination
    std::optional<QString> labels;  // BROWSE LABELS
    NodePtr key;                    // TOTAL KEY V_x
    bool all = false;               // DELETE ALL, CHECK ALL, RECALC ALL
    std::vector<int> pages;         // DELETE 1,8,14
    SortScope sortScope = SortScope::Default;
    std::vector<SortKey> sortKeys;  // at most 3
    std::vector<NodePtr> areas;     // BROWSE: cell and area references
    QChar mailMode;                 // MAIL: null, 'S', 'A' or 'P'
    int page = 0;                   // CONVERT ... PAGE n
};

// Column letters for a 1-based column ("A" for 1, "AA" for 27).
QString ColumnLetters(int col);
// 1-based column of one or two letters (either case); 0 when not letters or
// beyond IV.
int ColumnFromLetters(QStringView letters);

}  // namespace qor::cmd
