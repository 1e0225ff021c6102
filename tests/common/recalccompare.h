#pragma once
// Whether a saved report holds what its formulas give: a copy of it is
// recalculated whole (as RECALC ALL does) and every cell of every page,
// variable lines included, is compared with the saved one, value for value
// and failed mark for failed mark. The formula evaluator must be installed
// by the binary (cmdlang's InstallEngineHooks).

#include <gtest/gtest.h>

#include <QFile>
#include <QString>

#include "engine/csheetpage.h"
#include "engine/creporthandle.h"
#include "engine/formulaeval.h"

namespace qortest {

namespace recalccompare_detail {

inline QString slotText(const qor::CellSlot& s, const QString& text) {
    const QString failed = (s.flags & qor::kSlotFormulaError) ? QStringLiteral(" (failed)") : QString();
    if (s.isText()) return QLatin1Char('"') + text + QLatin1Char('"') + failed;
    if (s.isNumber() && !s.isEmptyNumber()) return QString::number(s.numberValue(), 'g', 17) + failed;
    return QStringLiteral("empty") + failed;
}

inline bool sameSlot(const qor::CellSlot& a, const QString& ta, const qor::CellSlot& b,
                     const QString& tb) {
    if ((a.flags & qor::kSlotFormulaError) != (b.flags & qor::kSlotFormulaError)) return false;
    if (a.isText() != b.isText()) return false;
    if (a.isText()) return ta == tb;
    return a.isEmptyNumber() == b.isEmptyNumber() && a.numberValue() == b.numberValue();
}

}  // namespace recalccompare_detail

inline ::testing::AssertionResult SavedEqualsRecalculated(const QString& path) {
    using namespace recalccompare_detail;
    if (!qor::FormulaEvaluator()) return ::testing::AssertionFailure() << "no formula evaluator";
    const QString copy = path + QStringLiteral(".recalc.rep");
    QFile::remove(copy);
    if (!QFile::copy(path, copy)) return ::testing::AssertionFailure() << "cannot copy " << path.toStdString();
    CReportHandle saved(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    CReportHandle whole(copy, CReportHandle::OpenMode::OpenExisting);
    if (!saved.IsOpen() || !whole.IsOpen())
        return ::testing::AssertionFailure() << "cannot open " << path.toStdString();
    if (saved.IsFormatState() || whole.IsFormatState())
        return ::testing::AssertionFailure() << "saved in format state";
    if (const uint16_t s = whole.RecalcAll(); s)
        return ::testing::AssertionFailure() << "RecalcAll: " << s;
    if (saved.GetPageCount() != whole.GetPageCount())
        return ::testing::AssertionFailure() << "page counts differ";
    QString differences;
    int count = 0;
    const auto differ = [&](int page, const QString& where, const QString& a, const QString& b) {
        if (++count <= 5)
            differences += QStringLiteral("\n  page %1 %2: saved %3, recalculated %4")
                               .arg(page)
                               .arg(where, a, b);
    };
    for (int p = 1; p <= saved.GetPageCount(); ++p) {
        const std::shared_ptr<CSheetPage> a = saved.GetReportFile()->Page(p);
        const std::shared_ptr<CSheetPage> b = whole.GetReportFile()->Page(p);
        if (!a || !b) return ::testing::AssertionFailure() << "page " << p << " does not read";
        for (uint16_t r = 1; r <= a->GetRowCount(); ++r)
            for (uint16_t c = 1; c <= a->GetColCount(); ++c) {
                const qor::CellSlot sa = a->Slot(r, c), sb = b->Slot(r, c);
                const QString ta = a->Text(r, c), tb = b->Text(r, c);
                if (!sameSlot(sa, ta, sb, tb))
                    differ(p, QStringLiteral("R%1C%2").arg(r).arg(c), slotText(sa, ta), slotText(sb, tb));
            }
        const qor::SlotGrid& la = a->VarLines();
        const qor::SlotGrid& lb = b->VarLines();
        if (la.lines() != lb.lines()) return ::testing::AssertionFailure() << "lines differ on page " << p;
        for (uint32_t l = 0; l < la.lines(); ++l)
            for (uint16_t i = 0; i < la.lineLength(); ++i) {
                const qor::CellSlot sa = la.slot(l, i), sb = lb.slot(l, i);
                const QString ta = la.text(l, i), tb = lb.text(l, i);
                if (!sameSlot(sa, ta, sb, tb))
                    differ(p, QStringLiteral("line %1 #%2").arg(l + 1).arg(i + 1), slotText(sa, ta),
                           slotText(sb, tb));
            }
    }
    if (count)
        return ::testing::AssertionFailure()
               << count << " cells differ from a recalculation" << differences.toStdString();
    return ::testing::AssertionSuccess();
}

}  // namespace qortest
