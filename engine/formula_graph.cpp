#include "engine/formula_graph.h"

#include <utility>

namespace qor {

// ---------------------------------------------------------------------------
// FormulaCellIndex

void FormulaCellIndex::build(const std::vector<FormulaRecord>& formulas, uint16_t rows) {
    m_rows.assign(size_t(rows) + 1, {});
    m_count = 0;
    for (size_t i = 0; i < formulas.size(); ++i) add(formulas[i].area, uint32_t(i));
}

void FormulaCellIndex::add(const AreaRecord& a, uint32_t formula) {
    const uint16_t last = uint16_t(std::min<size_t>(a.r2, m_rows.empty() ? 0 : m_rows.size() - 1));
    for (uint16_t r = std::max<uint16_t>(a.r1, 1); r <= last; ++r)
        m_rows[r].push_back({a.c1, a.c2, formula});
    ++m_count;
}

int FormulaCellIndex::find(uint16_t row, uint16_t col) const {
    if (row >= m_rows.size()) return -1;
    int best = -1;
    for (const Span& s : m_rows[row])
        if (col >= s.c1 && col <= s.c2 && int(s.formula) > best) best = int(s.formula);
    return best;
}

bool FormulaCellIndex::anyIn(const AreaRecord& area) const {
    const size_t last = std::min<size_t>(area.r2, m_rows.empty() ? 0 : m_rows.size() - 1);
    for (size_t r = area.r1; r <= last; ++r)
        for (const Span& s : m_rows[r])
            if (s.c2 >= area.c1 && s.c1 <= area.c2) return true;
    return false;
}

// ---------------------------------------------------------------------------
// FormulaGraph

uint32_t FormulaGraph::nodeOf(const std::vector<FormulaRecord>& formulas,
                              const FormulaCellIndex& index, uint16_t row, uint16_t col) const {
    const int f = index.find(row, col);
    if (f < 0 || size_t(f) >= firstNode.size() || firstNode[size_t(f)] == kNoFormula)
        return kNoFormula;
    const AreaRecord& a = formulas[size_t(f)].area;
    const uint32_t width = uint32_t(a.c2 - a.c1 + 1);
    return firstNode[size_t(f)] + uint32_t(row - a.r1) * width + uint32_t(col - a.c1);
}

namespace {

// The area clipped to the table; false when nothing of it is inside.
bool clip(int r1, int c1, int r2, int c2, uint16_t rows, uint16_t cols, AreaRecord* out) {
    r1 = std::max(r1, 1);
    c1 = std::max(c1, 1);
    r2 = std::min<int>(r2, rows);
    c2 = std::min<int>(c2, cols);
    if (r1 > r2 || c1 > c2) return false;
    *out = {uint16_t(r1), uint16_t(c1), uint16_t(r2), uint16_t(c2)};
    return true;
}

// Tarjan's strongly connected components without recursion (a chain of
// 20,000 formulas would otherwise be 20,000 frames deep). Components come
// out sinks first; *order receives them reversed, sources first.
void stronglyConnected(FormulaGraph& g) {
    const uint32_t n = uint32_t(g.nodes.size());
    constexpr uint32_t kUnset = UINT32_MAX;
    std::vector<uint32_t> index(n, kUnset), low(n, 0), edgePos(n, 0);
    std::vector<uint8_t> onStack(n, 0);
    std::vector<uint32_t> stack, calls;
    std::vector<uint32_t> emitted;       // nodes, component by component
    std::vector<uint32_t> componentEnd;  // end offsets in emitted
    emitted.reserve(n);
    uint32_t next = 0;
    g.cyclic.assign(n, 0);

    for (uint32_t root = 0; root < n; ++root) {
        if (index[root] != kUnset) continue;
        calls.push_back(root);
        index[root] = low[root] = next++;
        edgePos[root] = g.edgeStart[root];
        stack.push_back(root);
        onStack[root] = 1;
        while (!calls.empty()) {
            const uint32_t v = calls.back();
            if (edgePos[v] < g.edgeStart[v + 1]) {
                const uint32_t w = g.edges[edgePos[v]++];
                if (index[w] == kUnset) {
                    index[w] = low[w] = next++;
                    edgePos[w] = g.edgeStart[w];
                    stack.push_back(w);
                    onStack[w] = 1;
                    calls.push_back(w);
                } else if (onStack[w]) {
                    low[v] = std::min(low[v], index[w]);
                }
                continue;
            }
            calls.pop_back();
            if (!calls.empty()) low[calls.back()] = std::min(low[calls.back()], low[v]);
            if (low[v] != index[v]) continue;
            const size_t begin = emitted.size();
            uint32_t w;
            do {
                w = stack.back();
                stack.pop_back();
                onStack[w] = 0;
                emitted.push_back(w);
            } while (w != v);
            bool cycle = emitted.size() - begin > 1;
            if (!cycle) {
                for (uint32_t e = g.edgeStart[v]; e < g.edgeStart[v + 1]; ++e)
                    if (g.edges[e] == v) cycle = true;
            }
            if (cycle)
                for (size_t i = begin; i < emitted.size(); ++i) g.cyclic[emitted[i]] = 1;
            componentEnd.push_back(uint32_t(emitted.size()));
        }
    }
    g.order.clear();
    g.order.reserve(n);
    for (size_t k = componentEnd.size(); k-- > 0;) {
        const uint32_t begin = k ? componentEnd[k - 1] : 0;
        g.order.insert(g.order.end(), emitted.begin() + begin, emitted.begin() + componentEnd[k]);
    }
}

}  // namespace

FormulaGraph BuildFormulaGraph(const ReportFormat& format, const FormulaCellIndex& index,
                               const std::vector<CompiledFormulaPtr>& compiled) {
    const std::vector<FormulaRecord>& formulas = format.formulas;
    const uint16_t rows = format.header.rows, cols = format.header.cols;
    FormulaGraph g;
    g.firstNode.assign(formulas.size(), FormulaGraph::kNoFormula);
    g.problem.assign(formulas.size(), 0);

    for (size_t f = 0; f < formulas.size(); ++f) {
        const FormulaRecord& fr = formulas[f];
        AreaRecord a;
        if (fr.kind != 0 || !clip(fr.area.r1, fr.area.c1, fr.area.r2, fr.area.c2, rows, cols, &a) ||
            !(a == fr.area))
            continue;
        g.firstNode[f] = uint32_t(g.nodes.size());
        for (uint16_t r = a.r1; r <= a.r2; ++r)
            for (uint16_t c = a.c1; c <= a.c2; ++c)
                g.nodes.push_back({uint32_t(f), r, c, index.find(r, c) == int(f)});
        const CompiledFormulaPtr& cf = f < compiled.size() ? compiled[f] : nullptr;
        if (!cf || cf->status != Status::Ok || !cf->compiled) g.problem[f] = 1;
    }

    std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (read cell, reader)
    auto readsOf = [&](const AreaRecord& area, uint32_t reader) {
        index.forEachIn(area, [&](uint32_t f, uint16_t r, uint16_t c1, uint16_t c2) {
            if (g.firstNode[f] == FormulaGraph::kNoFormula) return;
            const AreaRecord& fa = formulas[f].area;
            const uint32_t width = uint32_t(fa.c2 - fa.c1 + 1);
            const uint32_t rowBase = g.firstNode[f] + uint32_t(r - fa.r1) * width;
            for (uint16_t c = c1; c <= c2; ++c) {
                const uint32_t node = rowBase + uint32_t(c - fa.c1);
                if (g.nodes[node].owned) pairs.emplace_back(node, reader);
            }
        });
    };
    for (size_t f = 0; f < formulas.size(); ++f) {
        if (g.firstNode[f] == FormulaGraph::kNoFormula || g.problem[f]) continue;
        const FormulaRecord& fr = formulas[f];
        const uint32_t first = g.firstNode[f];
        const uint32_t count =
            uint32_t(fr.area.r2 - fr.area.r1 + 1) * (fr.area.c2 - fr.area.c1 + 1);
        for (const FormulaRef& ref : compiled[f]->refs) {
            if (ref.elsewhere() || (ref.kind != FormulaRef::Cell && ref.kind != FormulaRef::Area))
                continue;
            if (!ref.shifts()) {
                AreaRecord a;
                if (!clip(ref.area.r1, ref.area.c1, ref.area.r2, ref.area.c2, rows, cols, &a) ||
                    !index.anyIn(a))
                    continue;
                const uint32_t shared = uint32_t(g.nodes.size());
                g.nodes.push_back({FormulaGraph::kNoFormula, a.r1, a.c1, true});
                readsOf(a, shared);
                for (uint32_t i = 0; i < count; ++i)
                    if (g.nodes[first + i].owned) pairs.emplace_back(shared, first + i);
                continue;
            }
            for (uint32_t i = 0; i < count; ++i) {
                const FormulaGraph::Node& t = g.nodes[first + i];
                if (!t.owned) continue;
                const int dr = t.row - fr.area.r1, dc = t.col - fr.area.c1;
                AreaRecord a;
                if (clip(ref.area.r1 + dr, ref.area.c1 + dc, ref.area.r2 + dr, ref.area.c2 + dc,
                         rows, cols, &a))
                    readsOf(a, first + i);
            }
        }
    }

    const uint32_t n = uint32_t(g.nodes.size());
    g.edgeStart.assign(size_t(n) + 1, 0);
    for (const auto& [from, to] : pairs) ++g.edgeStart[from + 1];
    for (uint32_t i = 0; i < n; ++i) g.edgeStart[i + 1] += g.edgeStart[i];
    g.edges.resize(pairs.size());
    {
        std::vector<uint32_t> fill(g.edgeStart.begin(), g.edgeStart.end() - 1);
        for (const auto& [from, to] : pairs) g.edges[fill[from]++] = to;
    }
    pairs.clear();
    pairs.shrink_to_fit();

    stronglyConnected(g);
    for (uint32_t i = 0; i < n; ++i) {
        const FormulaGraph::Node& node = g.nodes[i];
        if (!g.cyclic[i] || node.formula == FormulaGraph::kNoFormula || !node.owned) continue;
        ++g.cyclicCells;
        if (!g.problem[node.formula]) g.problem[node.formula] = 2;
    }

    // The edges turned round: what each node reads on its page.
    g.inputStart.assign(size_t(n) + 1, 0);
    for (uint32_t e = 0; e < g.edges.size(); ++e) ++g.inputStart[g.edges[e] + 1];
    for (uint32_t i = 0; i < n; ++i) g.inputStart[i + 1] += g.inputStart[i];
    g.inputs.resize(g.edges.size());
    {
        std::vector<uint32_t> fill(g.inputStart.begin(), g.inputStart.end() - 1);
        for (uint32_t from = 0; from < n; ++from)
            for (uint32_t e = g.edgeStart[from]; e < g.edgeStart[from + 1]; ++e)
                g.inputs[fill[g.edges[e]]++] = from;
    }

    // Other pages of the report.
    struct FixedRead {
        uint32_t reader;
        FormulaGraph::PageNode read;
    };
    std::vector<FixedRead> fixed;
    g.groupOf.assign(n, FormulaGraph::kNoFormula);
    std::vector<uint32_t> inGroup(n, UINT32_MAX);  // last group that took the node
    const auto nodesIn = [&](const AreaRecord& area, auto&& take) {
        index.forEachIn(area, [&](uint32_t f, uint16_t r, uint16_t c1, uint16_t c2) {
            if (g.firstNode[f] == FormulaGraph::kNoFormula) return;
            const AreaRecord& fa = formulas[f].area;
            const uint32_t rowBase =
                g.firstNode[f] + uint32_t(r - fa.r1) * uint32_t(fa.c2 - fa.c1 + 1);
            for (uint16_t c = c1; c <= c2; ++c)
                if (g.nodes[rowBase + uint32_t(c - fa.c1)].owned)
                    take(rowBase + uint32_t(c - fa.c1));
        });
    };
    for (size_t f = 0; f < formulas.size(); ++f) {
        if (g.firstNode[f] == FormulaGraph::kNoFormula || g.problem[f] == 1 ||
            !compiled[f]->readsPages)
            continue;
        const FormulaRecord& fr = formulas[f];
        const uint32_t first = g.firstNode[f];
        const uint32_t count =
            uint32_t(fr.area.r2 - fr.area.r1 + 1) * (fr.area.c2 - fr.area.c1 + 1);
        uint32_t group = FormulaGraph::kNoFormula;
        for (const FormulaRef& ref : compiled[f]->refs) {
            if (ref.external || (ref.kind != FormulaRef::Cell && ref.kind != FormulaRef::Area))
                continue;
            if (!ref.overPages && ref.page == 0) continue;
            if (ref.overPages && group == FormulaGraph::kNoFormula) {
                group = uint32_t(g.groups.size());
                g.groups.push_back({uint32_t(f), {}, {}});
                for (uint32_t i = 0; i < count; ++i)
                    if (g.nodes[first + i].owned) {
                        g.groups.back().targets.push_back(first + i);
                        g.groupOf[first + i] = group;
                    }
            }
            for (uint32_t i = 0; i < count; ++i) {
                const FormulaGraph::Node& t = g.nodes[first + i];
                if (!t.owned) continue;
                const int dr = ref.shifts() ? t.row - fr.area.r1 : 0;
                const int dc = ref.shifts() ? t.col - fr.area.c1 : 0;
                AreaRecord a;
                if (!clip(ref.area.r1 + dr, ref.area.c1 + dc, ref.area.r2 + dr, ref.area.c2 + dc,
                          rows, cols, &a))
                    continue;
                if (ref.overPages) {
                    nodesIn(a, [&](uint32_t node) {
                        if (inGroup[node] == group) return;
                        inGroup[node] = group;
                        g.groups[group].reads.push_back(node);
                    });
                } else {
                    nodesIn(a, [&](uint32_t node) { fixed.push_back({first + i, {ref.page, node}}); });
                }
                // An area that does not move is the same for every target.
                if (!ref.shifts() && ref.overPages) break;
            }
        }
    }
    const auto compress = [n](auto&& keyOf, const auto& items, std::vector<uint32_t>* start,
                              auto* out, auto&& valueOf) {
        start->assign(size_t(n) + 1, 0);
        for (const auto& it : items) ++(*start)[keyOf(it) + 1];
        for (uint32_t i = 0; i < n; ++i) (*start)[i + 1] += (*start)[i];
        out->resize(items.size());
        std::vector<uint32_t> fill(start->begin(), start->end() - 1);
        for (const auto& it : items) (*out)[fill[keyOf(it)]++] = valueOf(it);
    };
    compress([](const FixedRead& x) { return x.reader; }, fixed, &g.fixedStart, &g.fixedInputs,
             [](const FixedRead& x) { return x.read; });
    compress([](const FixedRead& x) { return x.read.node; }, fixed, &g.fixedReaderStart,
             &g.fixedReaders,
             [](const FixedRead& x) { return FormulaGraph::PageNode{x.read.page, x.reader}; });
    std::vector<std::pair<uint32_t, uint32_t>> groupReads;  // (node, group)
    for (uint32_t k = 0; k < g.groups.size(); ++k)
        for (const uint32_t node : g.groups[k].reads) groupReads.emplace_back(node, k);
    compress([](const auto& x) { return x.first; }, groupReads, &g.readByStart, &g.readBy,
             [](const auto& x) { return x.second; });
    return g;
}

}  // namespace qor
