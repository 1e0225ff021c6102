#include "document/formulatexts.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

#include "cmdlang/functions.h"
#include "engine/messages.h"
#include "resources/stringtable.h"
#include "resources/tsvtable.h"

namespace qor {

namespace {

// "@kPtotalDescription" stands for that string, its label ("函数说明:") left
// off.
QString resolved(const QString& field) {
    if (!field.startsWith(u'@')) return field;
    const std::optional<int> id = res::stringIdOf(QStringView(field).mid(1));
    if (!id) return field;
    QString text = LoadErrorText(*id);
    const qsizetype colon = text.indexOf(QRegularExpression(QStringLiteral("[:：]")));
    if (colon >= 0 && colon < 8) text = text.mid(colon + 1);
    return text.trimmed();
}

const QHash<QString, FunctionText>& table() {
    static const QHash<QString, FunctionText> t = [] {
        QHash<QString, FunctionText> out;
        const res::TsvParseResult parsed =
            res::parseTsv(res::builtinTableText(QStringLiteral("functions.tsv")), 3, 4);
        for (const res::TsvRecord& r : parsed.records) {
            FunctionText f;
            f.name = r.fields[0].trimmed().toUpper();
            f.form = r.fields[1].trimmed();
            f.description = resolved(r.fields[2].trimmed());
            if (r.fields.size() > 3)
                f.aliases = r.fields[3].toUpper().split(u' ', Qt::SkipEmptyParts);
            out.insert(f.name, f);
        }
        return out;
    }();
    return t;
}

int editDistance(const QString& a, const QString& b) {
    std::vector<int> prev(size_t(b.size()) + 1), cur(prev.size());
    for (size_t j = 0; j < prev.size(); ++j) prev[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        cur[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int change = prev[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            cur[size_t(j)] = std::min({prev[size_t(j)] + 1, cur[size_t(j - 1)] + 1, change});
        }
        std::swap(prev, cur);
    }
    return prev.back();
}

QString text(int id) { return LoadErrorText(id); }

// The checker's reason as the user reads it; the function named when it is
// one the language lacks.
QString reasonText(const QString& reason, QString* unknownFunction) {
    static const QRegularExpression unknown = [] {
        const QStringList around = text(str::kFormulaUnknownFunction).split(QStringLiteral("%1"));
        if (around.size() != 2) return QRegularExpression(QStringLiteral("(?!)"));
        return QRegularExpression(u'^' + QRegularExpression::escape(around[0]) +
                                  QStringLiteral("(\\S+?)") +
                                  QRegularExpression::escape(around[1]) + u'$');
    }();
    const QString why = reason.trimmed();
    const QRegularExpressionMatch m = unknown.match(why);
    if (m.hasMatch() && unknownFunction) *unknownFunction = m.captured(1);
    // The checker and the parser speak the user's language; a reason that
    // does not (a component's own words) is told as a formula written wrong.
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return why.contains(han) ? why : text(str::kFormulaSyntax);
}

}  // namespace

std::optional<FunctionText> FunctionTextOf(const QString& name) {
    const auto it = table().constFind(name.trimmed().toUpper());
    if (it == table().constEnd()) return std::nullopt;
    return it.value();
}

QString NearestFunction(const QString& name) {
    const QString wanted = name.trimmed().toUpper();
    if (wanted.isEmpty()) return {};
    if (cmd::FindFunction(wanted)) return wanted;
    for (const FunctionText& f : table())
        if (f.aliases.contains(wanted) && cmd::FindFunction(f.name)) return f.name;
    int count = 0;
    const cmd::FunctionInfo* all = cmd::BuiltinFunctions(&count);
    QString best;
    int bestDistance = 3;  // farther than two letters is another word
    for (int i = 0; i < count; ++i) {
        const QString candidate = QString::fromLatin1(all[i].name);
        const int d = editDistance(wanted, candidate);
        // The first of equally near names is the list's more common one.
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    // A short name is near too many others to point at one of them.
    return bestDistance < wanted.size() ? best : QString();
}

QString FormulaRefusalMessage(const QString& reason, int position) {
    QString message = text(str::kFormulaFailed);
    if (reason.trimmed().isEmpty()) return message;
    QString unknown;
    const QString why = reasonText(reason, &unknown);
    message += u'\n';
    message +=
        position >= 0 ? text(str::kFormulaAtPosition).arg(QString::number(position + 1), why) : why;
    if (!unknown.isEmpty()) {
        const QString nearest = NearestFunction(unknown);
        if (!nearest.isEmpty() && nearest.compare(unknown, Qt::CaseInsensitive) != 0) {
            const std::optional<FunctionText> f = FunctionTextOf(nearest);
            message += u'\n';
            message += text(str::kFormulaUseInstead)
                           .arg(nearest, f ? f->form : nearest + QStringLiteral("()"),
                                f ? f->description : QString());
        }
    }
    return message;
}

}  // namespace qor
