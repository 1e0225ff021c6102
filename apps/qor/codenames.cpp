#include "apps/qor/codenames.h"

#include <QStringList>

#include "engine/cellformat.h"
#include "engine/celltypes.h"

namespace qor::app {

namespace {

struct Named {
    const char* name;
    int number;
};

constexpr Named kFormatCodes[] = {
    {"kind", kFmtKind},
    {"h-align", kFmtHAlign},
    {"v-align", kFmtVAlign},
    {"decimals", kFmtDecimals},
    {"percent", kFmtPercent},
    {"thousands", kFmtThousands},
    {"currency", kFmtCurrency},
    {"background", kFmtBackground},
    {"foreground", kFmtForeground},
    {"pattern", kFmtPattern},
    {"font", kFmtFont},
    {"font-style", kFmtFontStyle},
    {"font-size", kFmtFontSize},
    {"right-line", kFmtRightLine},
    {"bottom-line", kFmtBottomLine},
    {"wrap", kFmtWrap},
};

constexpr Named kKeywordSlots[] = {
    {"unit-name", 0}, {"unit-number", 1}, {"year", 2},   {"quarter", 3},
    {"month", 4},     {"day", 5},         {"custom", 6},
};

constexpr Named kCellKinds[] = {
    {"number", kCellNumber},
    {"text", kCellText},
    {"label", kCellLabel},
};

template <size_t N>
int fromText(const Named (&table)[N], const QString& text) {
    bool isNumber = false;
    const int n = text.toInt(&isNumber);
    for (const Named& e : table) {
        if (isNumber ? n == e.number
                     : text.compare(QLatin1String(e.name), Qt::CaseInsensitive) == 0)
            return e.number;
    }
    return -1;
}

template <size_t N>
QString nameList(const Named (&table)[N]) {
    QStringList parts;
    for (const Named& e : table)
        parts << QStringLiteral("%1 (%2)").arg(QLatin1String(e.name)).arg(e.number);
    return parts.join(QLatin1String(", "));
}

}  // namespace

int FormatCodeFromText(const QString& text) { return fromText(kFormatCodes, text); }

int KeywordSlotFromText(const QString& text) { return fromText(kKeywordSlots, text); }

bool FormatValueFromText(int code, const QString& text, int* value) {
    bool ok = false;
    *value = text.toInt(&ok);
    if (ok || code != kFmtKind) return ok;
    const int kind = fromText(kCellKinds, text);
    if (kind < 0) return false;
    *value = kind;
    return true;
}

QString FormatCodeNameList() { return nameList(kFormatCodes); }

QString KeywordSlotNameList() { return nameList(kKeywordSlots); }

}  // namespace qor::app
