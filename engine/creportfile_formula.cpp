// Formulas of the report file: the list in the format, its cell index, the
// compiled forms and the dependency graph.
#include <QStringView>

#include "engine/cellformat.h"
#include "engine/creportfile.h"
#include "engine/formula_cache.h"
#include "engine/formula_store.h"
#include "engine/status.h"

using namespace qor;

// ---------------------------------------------------------------------------
// CReportFile::FormulaCache

CReportFile::FormulaCache::Environment CReportFile::FormulaCache::environmentOf(
    const ReportFormat& f) {
    return {f.header.rows,
            f.header.cols,
            f.header.varKind,
            f.header.varStart,
            f.header.userKeywordName,
            FormulaHooksGeneration()};
}

bool CReportFile::FormulaCache::sameList(const std::vector<FormulaRecord>& formulas) const {
    if (formulas.size() != m_seen.size()) return false;
    for (size_t i = 0; i < formulas.size(); ++i) {
        const FormulaRecord& a = formulas[i];
        const FormulaRecord& b = m_seen[i];
        if (!(a.area == b.area) || a.kind != b.kind) return false;
        // Texts copied from the list share their data: most compare by
        // address.
        if (a.text.constData() != b.text.constData() && a.text != b.text) return false;
    }
    return true;
}

void CReportFile::FormulaCache::appended(const FormulaRecord& fr) {
    m_seen.push_back(fr);
    m_seen.back().state = 0;
    m_index.add(fr.area, uint32_t(m_seen.size() - 1));
    m_graph.reset();
}

bool CReportFile::FormulaCache::sync(const ReportFormat& f) {
    const Environment env = environmentOf(f);
    if (!(env == m_env)) {
        // Whether a text compiles depends on the table, the variable area
        // and the keyword names.
        m_compiled.clear();
        m_graph.reset();
    }
    const bool listChanged = !m_synced || !sameList(f.formulas);
    if (listChanged || env.rows != m_env.rows) {
        m_index.build(f.formulas, f.header.rows);
        m_seen = f.formulas;
        for (FormulaRecord& fr : m_seen) fr.state = 0;
        m_graph.reset();
    }
    m_env = env;
    m_synced = true;
    return listChanged;
}

FormulaCheckInput CReportFile::FormulaCache::checkInput(const ReportFormat& f) const {
    FormulaCheckInput in;
    in.rows = f.header.rows;
    in.cols = f.header.cols;
    in.varKind = f.header.varKind;
    in.varStart = f.header.varStart;
    in.keywordNames = FormulaKeywordNames(f.header.userKeywordName);
    return in;
}

CompiledFormulaPtr CReportFile::FormulaCache::compile(const ReportFormat& f, const QString& text) {
    const auto it = m_compiled.constFind(text);
    if (it != m_compiled.constEnd()) return it.value();
    const std::shared_ptr<IFormulaChecker> checker = FormulaChecker();
    if (!checker) return nullptr;
    auto result = std::make_shared<FormulaCheckResult>();
    try {
        *result = checker->Check(text, checkInput(f));
    } catch (...) {
        // A checker that fails outright refuses the text.
        *result = FormulaCheckResult{};
        result->status = Status::FormulaInvalid;
        result->errorPosition = 0;
        result->errorReason = QStringLiteral("the formula could not be checked");
    }
    if (result->status == Status::Ok && !result->compiled) result->status = Status::FormulaInvalid;
    // Texts of formulas edited away pile up otherwise.
    if (size_t(m_compiled.size()) > 2 * f.formulas.size() + 256) m_compiled.clear();
    m_compiled.insert(text, result);
    return result;
}

const FormulaGraph& CReportFile::FormulaCache::graph(const ReportFormat& f) {
    if (m_graph) return *m_graph;
    m_listCompiled.assign(f.formulas.size(), nullptr);
    for (size_t i = 0; i < f.formulas.size(); ++i)
        if (f.formulas[i].kind == 0) m_listCompiled[i] = compile(f, f.formulas[i].text);
    m_graph = BuildFormulaGraph(f, m_index, m_listCompiled);
    return *m_graph;
}

// ---------------------------------------------------------------------------
// CReportFile

namespace {

constexpr uint16_t kRefused = code(Status::Refused);

void setFormulaBits(ReportFormat& f, const AreaRecord& a, bool on) {
    const uint16_t r2 = std::min(a.r2, f.header.rows), c2 = std::min(a.c2, f.header.cols);
    for (uint16_t r = std::max<uint16_t>(a.r1, 1); r <= r2; ++r)
        for (uint16_t c = std::max<uint16_t>(a.c1, 1); c <= c2; ++c)
            f.cellFormat(r, c) = kFmtHasFormula.set(f.cellFormat(r, c), on ? 1 : 0);
}

}  // namespace

CReportFile::FormulaCache& CReportFile::Formulas() const {
    if (!m_formulaCache) m_formulaCache = std::make_shared<FormulaCache>();
    m_formulaCache->sync(m_format);
    return *m_formulaCache;
}

bool CReportFile::AreaHasFormula(const AreaRecord& stored) const {
    return Formulas().index().anyIn(stored);
}

bool CReportFile::CellHasFormula(uint16_t storedRow, uint16_t storedCol) const {
    return Formulas().index().find(storedRow, storedCol) >= 0;
}

QString CReportFile::LastFormulaError() const {
    return m_formulaCache ? m_formulaCache->lastError : QString();
}

int CReportFile::LastFormulaErrorPosition() const {
    return m_formulaCache ? m_formulaCache->lastErrorPosition : -1;
}

uint16_t CReportFile::SetStoredAreaFormula(const AreaRecord& a, const QString& text) {
    if (!m_formulaCache) m_formulaCache = std::make_shared<FormulaCache>();
    FormulaCache& cache = *m_formulaCache;
    // The formula bits follow the list; a shape edit or a template may have
    // moved the list without them.
    if (cache.sync(m_format)) SyncFormulaBits(m_format);
    cache.lastError.clear();
    cache.lastErrorPosition = -1;
    if (!IsFormatEditing()) return kRefused;
    ReportFormat& f = m_format;
    if (a.r1 < 1 || a.c1 < 1 || a.r1 > a.r2 || a.c1 > a.c2 || a.r2 > f.header.rows ||
        a.c2 > f.header.cols)
        return code(Status::OutsideTable);

    const bool removing = QStringView(text).trimmed().isEmpty();
    if (!removing) {
        if (text.size() > kMaxFormulaChars) return code(Status::FormulaTooLong);
        const uint16_t varKind = f.header.varKind, varStart = f.header.varStart;
        if ((varKind == 1 && varStart >= a.r1 && varStart <= a.r2) ||
            (varKind == 2 && varStart >= a.c1 && varStart <= a.c2))
            return code(Status::FormulaVarAreaStart);
        if (AreaTouchesCombined(a)) return code(Status::FormulaCombined);
    }
    // A new area over cells without formulas is the common case (a script
    // setting thousands of formulas): it goes to the end of the list.
    const bool cuts = cache.index().anyIn(a);
    if (!cuts && removing) return 0;
    std::vector<FormulaRecord> list;
    if (cuts) {
        list = f.formulas;
        if (const uint16_t s = ReplaceAreaFormulas(&list, a, removing ? QString() : text, 0))
            return s;
    } else if (f.formulas.size() >= kMaxFormulas) {
        return code(Status::TooManyFormulas);
    }
    uint16_t kind = 0;
    if (!removing) {
        // Without a checker (tools that do not link the command language)
        // a formula is stored after the length and placement checks only;
        // it is compiled when a checker is there to recalculate it.
        if (const CompiledFormulaPtr c = cache.compile(f, text)) {
            if (c->status != Status::Ok) {
                cache.lastError = c->errorReason.isEmpty()
                                      ? QStringLiteral("the formula does not compile")
                                      : c->errorReason;
                cache.lastErrorPosition = c->errorPosition;
                return code(Status::FormulaInvalid);
            }
            kind = c->totalKind ? 1 : 0;
        }
    }
    if (!cuts) {
        f.formulas.push_back({a, kind, 0, text});
        f.header.formulaCount = uint32_t(f.formulas.size());
        setFormulaBits(f, a, true);
        cache.appended(f.formulas.back());
        return 0;
    }
    if (!removing) list.back().kind = kind;

    // The bits of every cell whose formula changed: the old areas that the
    // new one touched, then whatever now covers them.
    std::vector<AreaRecord> touched{a};
    for (const FormulaRecord& fr : f.formulas)
        if (AreasIntersect(fr.area, a)) touched.push_back(fr.area);
    for (const AreaRecord& t : touched) setFormulaBits(f, t, false);
    for (const FormulaRecord& fr : list)
        for (const AreaRecord& t : touched)
            if (AreasIntersect(fr.area, t)) {
                setFormulaBits(f, fr.area, true);
                break;
            }
    f.formulas = std::move(list);
    f.header.formulaCount = uint32_t(f.formulas.size());
    cache.sync(f);
    return 0;
}
