#pragma once
// Which cell holds which formula, and in which order a page's formula cells
// are computed.
//
// The graph has a node for every target cell of every cell formula and an
// edge from each formula cell to the formula cells that read it. An area
// that every target of a formula reads alike (a statistic area) gets one
// node of its own between the cells it holds and the targets, so a column
// total over a column of formulas costs rows + targets edges, not their
// product. Strongly connected parts (Tarjan) with more than one node or a
// node reading itself are cycles: their cells are errors; everything else
// is computed in topological order.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/formulaeval.h"
#include "engine/reportlayout.h"

namespace qor {

// Formula cells by row: spans of columns with the formula that covers them.
// Where formulas overlap (only a damaged or foreign list does that) the
// later one owns the cell.
class FormulaCellIndex {
public:
    void build(const std::vector<FormulaRecord>& formulas, uint16_t rows);
    // Formula i (the last of the list) on area.
    void add(const AreaRecord& area, uint32_t formula);
    // Index of the formula that owns the cell, -1 when none.
    int find(uint16_t row, uint16_t col) const;
    bool anyIn(const AreaRecord& area) const;
    bool empty() const { return m_count == 0; }

    // f(formulaIndex, row, firstCol, lastCol) for each span part inside
    // area (cells owned by another formula included; check with find).
    template <class F>
    void forEachIn(const AreaRecord& area, F&& f) const {
        const size_t last = std::min<size_t>(area.r2, m_rows.empty() ? 0 : m_rows.size() - 1);
        for (size_t r = area.r1; r <= last; ++r) {
            for (const Span& s : m_rows[r]) {
                if (s.c2 < area.c1 || s.c1 > area.c2) continue;
                f(s.formula, uint16_t(r), std::max(s.c1, area.c1), std::min(s.c2, area.c2));
            }
        }
    }

private:
    struct Span {
        uint16_t c1, c2;
        uint32_t formula;
    };
    std::vector<std::vector<Span>> m_rows;  // index = stored row
    size_t m_count = 0;
};

using CompiledFormulaPtr = std::shared_ptr<const FormulaCheckResult>;

struct FormulaGraph {
    static constexpr uint32_t kNoFormula = UINT32_MAX;
    struct Node {
        uint32_t formula = kNoFormula;  // kNoFormula: a shared area node
        uint16_t row = 0, col = 0;
        bool owned = true;  // false: another formula covers the cell
    };
    std::vector<Node> nodes;
    std::vector<uint32_t> edgeStart;  // nodes.size() + 1 entries
    std::vector<uint32_t> edges;      // readers of each node
    std::vector<uint32_t> order;      // every node, sources first
    std::vector<uint8_t> cyclic;      // per node, on its own page

    // What the nodes of one page read, the edges above turned round.
    std::vector<uint32_t> inputStart;  // nodes.size() + 1 entries
    std::vector<uint32_t> inputs;

    // Reads of a fixed page (B8@3). Per node: the (page, node) cells it
    // reads on every page; and per node the (page, reader) pairs: the node
    // on that page is read by the reader on every page.
    struct PageNode {
        uint32_t page = 0, node = 0;
    };
    std::vector<uint32_t> fixedStart;  // nodes.size() + 1 entries
    std::vector<PageNode> fixedInputs;
    std::vector<uint32_t> fixedReaderStart;  // nodes.size() + 1 entries
    std::vector<PageNode> fixedReaders;

    // Statistics over every page (TOTAL, COUNT, AVG, MIN, MAX...): one
    // group per formula that holds any. A group reads its nodes on every
    // page and is read by every target of its formula on every page, so a
    // total over 2,000 pages is one dependency, not 2,000.
    struct PageGroup {
        uint32_t formula = kNoFormula;
        std::vector<uint32_t> reads;    // nodes read on every page
        std::vector<uint32_t> targets;  // owned nodes of the formula
    };
    std::vector<PageGroup> groups;
    std::vector<uint32_t> groupOf;  // per node: the group it reads, kNoFormula for none
    std::vector<uint32_t> readByStart;  // nodes.size() + 1 entries
    std::vector<uint32_t> readBy;       // groups reading each node
    // Per formula: the first node of its area (row by row), kNoFormula for
    // formulas without nodes (total formulas).
    std::vector<uint32_t> firstNode;
    // Per formula: 0 fine, 1 does not compile, 2 part of a cycle.
    std::vector<uint8_t> problem;
    size_t cyclicCells = 0;

    // Node of a formula cell, kNoFormula when the cell has none.
    uint32_t nodeOf(const std::vector<FormulaRecord>& formulas, const FormulaCellIndex& index,
                    uint16_t row, uint16_t col) const;
};

// compiled[i] is the check result of formula i (null: no checker, or the
// text was not compiled). Total formulas get no nodes: consolidation
// computes them.
FormulaGraph BuildFormulaGraph(const ReportFormat& format, const FormulaCellIndex& index,
                               const std::vector<CompiledFormulaPtr>& compiled);

}  // namespace qor
