#include "dialogs/editformat_logic.h"

#include <cmath>

#include "dialogs/rowcolpage_logic.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor {

DlgRefusal CheckLocate(const QString& page, const QString& row, const QString& columnText,
                       LocateDlgMembers* m) {
    int col0 = 0;
    if (!ParseColumnLetters(columnText, &col0)) return {str::kBadColumn, {}, 1036};
    LocateDlgMembers out = *m;
    out.columnText = columnText;
    out.column = col0 + 1;
    if (auto r = ExchangeInt(page, 1, 99999, 1000, &out.page); !r.accepted()) return r;
    if (auto r = ExchangeInt(row, 1, 9999, 1004, &out.row); !r.accepted()) return r;
    *m = out;
    return {};
}

QStringList FindVarCellNames(int32_t kind, int32_t size) {
    QStringList names;
    for (int i = 0; i < size && (kind == 1 || kind == 2); ++i)
        names << QStringLiteral("V_") + (kind == 1 ? ColumnToLetters(i) : QString::number(i + 1));
    return names;
}

QStringList FindKeywordValues(const KeywordValueLists& values, const QString& keyword,
                              const QString& customName) {
    const QString name = keyword.trimmed();
    if (!customName.isEmpty() && name == customName) {
        QStringList out;
        for (const QString& v : values.custom) {
            if (v == QLatin1String("0")) break;
            out << v;
        }
        return out;
    }
    return ConditionKeywordValues(values, name);
}

QStringList PageSortKeywordNames(const QString& customName) {
    QStringList names{LoadErrorText(str::kKeywordYear),     LoadErrorText(str::kKeywordQuarter),
                      LoadErrorText(str::kKeywordMonth),    LoadErrorText(str::kKeywordDay),
                      LoadErrorText(str::kKeywordUnitName), LoadErrorText(str::kKeywordUnitCode)};
    if (!customName.isEmpty()) names << customName;
    return names;
}

DlgRefusal CheckPageSort(const std::array<QString, 3>& keys, const QString& customName,
                         PageSortDlgMembers* m) {
    static constexpr int kCombos[3] = {1019, 1012, 1020};
    static constexpr int kEdits[3] = {1000, 1004, 1036};
    PageSortDlgMembers out = *m;
    bool given[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        if (out.orders[i] < 0) out.orders[i] = 0;
        const QString text = keys[i].trimmed();
        const int focus = out.pageMode ? kCombos[i] : kEdits[i];
        const DlgRefusal bad{str::kBadFirstSortKey + int(i), {}, focus};
        if (text.isEmpty()) {
            out.orders[i] = -1;
            out.keys[i] = -1;
            continue;
        }
        given[i] = true;
        if (out.pageMode) {
            // Index order: unit code, unit name, year, quarter, month, day.
            const QStringList names{
                LoadErrorText(str::kKeywordUnitCode), LoadErrorText(str::kKeywordUnitName),
                LoadErrorText(str::kKeywordYear),     LoadErrorText(str::kKeywordQuarter),
                LoadErrorText(str::kKeywordMonth),    LoadErrorText(str::kKeywordDay)};
            int index = names.indexOf(text);
            if (index < 0 && !customName.isEmpty() && text == customName) index = 6;
            out.keys[i] = index;
            if (index >= 0) continue;
            int col0 = 0, row0 = 0;
            if (!ParseCellRef(text, &col0, &row0)) return bad;
            out.cells[i] = {col0, row0};
        } else if (out.rowArea) {
            int col0 = 0;
            if (!ParseColumnLetters(text, &col0)) return bad;
            out.keys[i] = col0 + 1;
        } else {
            bool ok = false;
            const int row = text.toInt(&ok);
            if (!ok || row < 1) return bad;
            out.keys[i] = row;
        }
    }
    if (!given[0] || (given[2] && !given[1]))
        return {str::kSortKeyGap, {}, out.pageMode ? kCombos[0] : kEdits[0]};
    for (auto& c : out.cells) {
        ++c.col;
        ++c.row;
    }
    *m = out;
    return {};
}

DlgRefusal CheckTableSize(const QString& rows, const QString& cols, TableSizeDlgMembers* m) {
    TableSizeDlgMembers out = *m;
    if (auto r = ExchangeInt(rows, 1, kMaxTableRows, 1000, &out.rows); !r.accepted()) return r;
    if (auto r = ExchangeInt(cols, 1, kMaxTableCols, 1004, &out.cols); !r.accepted()) return r;
    *m = out;
    return {};
}

DlgRefusal CheckSetVarArea(const QString& count, int32_t kindIndex, SetVarAreaDlgMembers* m) {
    int32_t n = 0;
    if (auto r = ExchangeInt(count, 1, kMaxVarAreaCount, 1000, &n); !r.accepted()) return r;
    if (kindIndex == 1 && n > kMaxVarAreaColumns) return {str::kEnterNumber1To254, {}, 1000};
    m->count = n;
    m->kind = (kindIndex == 1 ? 1 : 0) + 1;
    return {};
}

DlgRefusal CheckRowHeight(const QString& mm, RowHeightDlgMembers* m) {
    return ExchangeInt(mm, 0, kMaxRowHeightMm, 1004, &m->heightMm);
}

DlgRefusal CheckColWidth(const QString& mm, ColWidthDlgMembers* m) {
    return ExchangeInt(mm, 0, kMaxColWidthMm, 1000, &m->widthMm);
}

QString PageSetupRangeText(int32_t value, int32_t rangeKind) {
    if (rangeKind == 1) return value >= 0 ? ColumnToLetters(value) : QString();
    return QString::number(value + 1);
}

int ScaleTenths(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 1e6) return 0;
    return int(std::lround(v * 10));
}

QString ScaleText(int tenths) { return QString::asprintf("%0.1f", tenths / 10.0); }

QString ScaleSpinStep(const QString& text, int delta) {
    return ScaleText(stepSpin(ScaleTenths(text), delta, 4, 30));
}

namespace {

// A whole number as a range edit holds it (from 1), minus one.
bool rowNumber(const QString& text, int32_t* out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok) return false;
    *out = v - 1;
    return true;
}

bool columnNumber(const QString& text, int32_t* out) {
    int col0 = 0;
    if (!ParseColumnLetters(text, &col0)) return false;
    *out = col0;
    return true;
}

}  // namespace

DlgRefusal CheckPageSetup(const PageSetupTexts& t, PageSetupDlgMembers* m) {
    PageSetupDlgMembers out = *m;
    const struct {
        const QString* text;
        int32_t* member;
        int id;
    } margins[] = {{&t.left, &out.leftMm, 1053},
                   {&t.right, &out.rightMm, 1054},
                   {&t.top, &out.topMm, 1051},
                   {&t.bottom, &out.bottomMm, 1052}};
    for (const auto& g : margins)
        if (auto r = ExchangeInt(*g.text, 0, 100, g.id, g.member); !r.accepted()) return r;

    bool ok = false;
    const double scale = t.scale.trimmed().toDouble(&ok);
    if (!ok) return {str::kEnterNumber, {}, 1097};
    // A small tolerance, so 0.3 and 3.0 typed are the bounds themselves.
    if (!std::isfinite(scale) || scale < 0.3 - 1e-6 || scale > 3.0 + 1e-6)
        return {str::kNumberOutOfRange, {QStringLiteral("0.3"), QStringLiteral("3.0")}, 1097};
    out.scale = float(scale);

    const bool columns = out.rangeKind == 1;
    const auto read = columns ? columnNumber : rowNumber;
    int32_t hf = out.headerFirst, hl = out.headerLast, ff = out.footerFirst, fl = out.footerLast;
    if (out.headerEnabled) {
        if (!read(t.headerFirst, &hf)) return {str::kBadTitleRange, {}, 1000};
        if (!read(t.headerLast, &hl)) return {str::kBadTitleRange, {}, 1004};
        if (hf < 0 || hf > hl) return {str::kBadTitleRange, {}, 1000};
    }
    if (out.footerEnabled) {
        if (!read(t.footerFirst, &ff)) return {str::kBadTitleRange, {}, 1036};
        if (!read(t.footerLast, &fl)) return {str::kBadTitleRange, {}, 1050};
        if (ff < 0 || ff > fl) return {str::kBadTitleRange, {}, 1036};
    }
    const int32_t last = columns ? out.tableLastCol : out.tableLastRow;
    const auto beyond = [&](int id) -> DlgRefusal {
        if (columns) return {str::kTitleBeyondColumn, {ColumnToLetters(last)}, id};
        return {str::kTitleBeyondRow, {QString::number(last + 1)}, id};
    };
    if (out.headerEnabled && hl > last) return beyond(hf > last ? 1000 : 1004);
    if (out.footerEnabled && fl > last) return beyond(ff > last ? 1036 : 1050);
    if (out.headerEnabled) {
        out.headerFirst = hf;
        out.headerLast = hl;
    }
    if (out.footerEnabled) {
        out.footerFirst = ff;
        out.footerLast = fl;
    }
    *m = out;
    return {};
}

}  // namespace qor
