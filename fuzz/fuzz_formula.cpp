// Feeds arbitrary text to the command-language parser: command lines,
// cell formulas, audit formulas and the formula check. Whatever parses must
// print to text that parses again to the same tree.

#include <QString>
#include <cstdint>
#include <cstdlib>

#include "cmdlang/formulacheck.h"
#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "cmdlang/references.h"

using namespace qor::cmd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 16384) return 0;
    // The first byte picks the encoding, so lone surrogates and other
    // UTF-16 oddities are reached as well as readable text.
    const QString text =
        data[0] & 1
            ? QString::fromUtf16(reinterpret_cast<const char16_t*>(data + 1),
                                 qsizetype((size - 1) / 2))
            : QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    ParseError error;
    if (auto line = ParseLine(text, &error)) {
        const QString printed = PrintCommand(*line);
        auto again = ParseLine(printed, &error);
        if (!again || PrintCommand(*again) != printed) abort();
    }
    if (auto formula = ParseFormula(text, &error)) {
        const QString printed = PrintFormula(*formula);
        auto again = ParseFormula(printed, &error);
        if (!again || !again->sameAs(*formula)) abort();
        FormulaReferences refs;
        CollectReferences(*formula, &refs);
    }
    std::vector<AuditRelation> audit;
    ParseAuditFormulas(text, &audit, &error);

    FormulaCheckContext context;
    context.rows = 50;
    context.cols = 20;
    context.varKind = 1;
    context.isKeyword = [](QStringView s) { return s == u"年"; };
    context.isServiceFunction = [](QStringView s) { return s.size() == 2; };
    CheckFormula(text, context, &error);
    return 0;
}
