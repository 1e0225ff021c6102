#pragma once
// What a formula reads, for the dependency graph of recalculation.

#include <vector>

#include "cmdlang/syntaxtree.h"

namespace qor::cmd {

struct Reference {
    const Node* node = nullptr;  // CellRef, Area, VRef or VRefArea
    // The area argument of a statistic function: it names a fixed region and
    // is not moved when an area formula is applied cell by cell.
    bool statisticArea = false;
    // Read on every page of the report: the area and the condition of a
    // statistic over pages (TOTAL(B4, 年=2004)).
    bool overPages = false;
    // Another report (`"path"->A1`) or a fixed page (`A1@3`): nothing of this
    // page's cells.
    bool elsewhere() const { return node->external || node->page != 0; }
};

struct FormulaReferences {
    std::vector<Reference> refs;
    std::vector<const Node*> names;  // identifiers: keyword names, variables
    std::vector<const Node*> calls;  // every function call
    // Must be recomputed on every recalculation of a page: reads other
    // reports, a database, the clock, the user, or calls an application
    // service. Other pages of the same report are not volatile: what a
    // formula reads there is known and followed like its own page's cells.
    bool isVolatile = false;
    // Reads other pages of its own report: a fixed page (A1@3) or a
    // statistic over every page (TOTAL(A1)).
    bool readsPages = false;
};

// Appends what the tree reads to *out (pointers stay valid while the tree lives).
void CollectReferences(const Node& node, FormulaReferences* out);
// The expression, the For clause and the keys of the Relation clause.
void CollectReferences(const Formula& formula, FormulaReferences* out);

}  // namespace qor::cmd
