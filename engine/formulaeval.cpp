#include "engine/formulaeval.h"

#include <atomic>
#include <mutex>

#include "engine/messages.h"

namespace qor {

namespace {

std::mutex g_mutex;
std::shared_ptr<IFormulaChecker> g_checker;
std::shared_ptr<IFormulaEvaluator> g_evaluator;
std::atomic<uint64_t> g_generation{1};

}  // namespace

std::shared_ptr<IFormulaChecker> InstallFormulaChecker(std::shared_ptr<IFormulaChecker> checker) {
    std::lock_guard lock(g_mutex);
    g_generation.fetch_add(1);
    std::swap(g_checker, checker);
    return checker;
}

std::shared_ptr<IFormulaChecker> FormulaChecker() {
    std::lock_guard lock(g_mutex);
    return g_checker;
}

std::shared_ptr<IFormulaEvaluator> InstallFormulaEvaluator(
    std::shared_ptr<IFormulaEvaluator> evaluator) {
    std::lock_guard lock(g_mutex);
    g_generation.fetch_add(1);
    std::swap(g_evaluator, evaluator);
    return evaluator;
}

std::shared_ptr<IFormulaEvaluator> FormulaEvaluator() {
    std::lock_guard lock(g_mutex);
    return g_evaluator;
}

uint64_t FormulaHooksGeneration() { return g_generation.load(); }

QStringList FormulaKeywordNames(const QString& userKeywordName) {
    // Slot order: unit name, unit code, year, quarter, month, day, user.
    static const int ids[6] = {str::kKeywordUnitName, str::kKeywordUnitCode, str::kKeywordYear,
                               str::kKeywordQuarter,  str::kKeywordMonth,    str::kKeywordDay};
    QStringList names;
    for (int id : ids) names << messageText(id, QString());
    names << userKeywordName.trimmed();
    return names;
}

}  // namespace qor
