// Document state, editing, page breaks, items and the command hook.
#include <gtest/gtest.h>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/doc_commandhook.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

TEST(DocState, FormatPasswordGatesFormatState) {
    UiRecorder ui;
    auto doc = newDoc(3, 3);
    ASSERT_EQ(doc->GetReport()->SetFormatPassword(QStringLiteral("Lock")), 0);
    ASSERT_TRUE(doc->EnterDataState());
    EXPECT_TRUE(doc->IsDataState());
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 1);  // page 1 made
    EXPECT_EQ(doc->ViewState().curPage, 1);

    QStringList typed;
    int asked = 0;
    const auto previous = CQorsDoc::SetFormatPasswordPrompt([&]() -> std::optional<QString> {
        ++asked;
        if (typed.isEmpty()) return std::nullopt;
        return typed.takeFirst();
    });
    EXPECT_FALSE(doc->EnterFormatState(0));  // cancelled
    EXPECT_TRUE(doc->IsDataState());
    typed << QStringLiteral("nope");
    EXPECT_FALSE(doc->EnterFormatState(0));
    EXPECT_TRUE(doc->IsDataState());
    EXPECT_FALSE(doc->GetReport()->IsFormatState());
    doc->Items().ChartWindow().windowOpen = 1;
    typed << QStringLiteral("lock");
    EXPECT_FALSE(doc->EnterFormatState(0));  // the chart window is open
    EXPECT_EQ(asked, 2);
    doc->Items().ChartWindow().windowOpen = 0;
    EXPECT_TRUE(doc->EnterFormatState(0));  // letter case ignored
    EXPECT_FALSE(doc->IsDataState());
    CQorsDoc::SetFormatPasswordPrompt(previous);

    // Without checks.
    ASSERT_TRUE(doc->EnterDataState());
    EXPECT_TRUE(doc->SwitchToFormatState());
    EXPECT_TRUE(doc->GetReport()->IsFormatState());
    EXPECT_EQ(doc->IsEditLocked(), 0);
}

TEST(DocState, ViewsHearOfChangesUnlessSuspended) {
    UiRecorder ui;
    auto doc = newDoc(4, 4);
    int updates = 0;
    QObject::connect(doc.get(), &CQorsDoc::changed, [&updates](int) { ++updates; });
    ASSERT_EQ(doc->SetRowHeight(1, 30), 0);
    EXPECT_EQ(doc->GetRowHeight(0, 1), 30);
    EXPECT_EQ(doc->SetColumnWidth(2, 641), 1);
    EXPECT_EQ(doc->GetColumnWidth(2, 0), kDefaultColWidth);
    EXPECT_EQ(updates, 1);
    EXPECT_TRUE(doc->IsModified());
    doc->SuspendRedraw();
    doc->UpdateAllViews();
    EXPECT_EQ(updates, 1);
    doc->ResumeRedraw();

    // Resizing: refused in data state with message 62481.
    ASSERT_TRUE(doc->ResizeTable(6, 5));
    int32_t rows = 0, cols = 0;
    doc->GetTableSize(&rows, &cols);
    EXPECT_EQ(rows, 6);
    EXPECT_EQ(cols, 5);
    ASSERT_TRUE(doc->EnterDataState());
    EXPECT_FALSE(doc->ResizeTable(8, 8));
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kTableSizeError)));
    EXPECT_EQ(doc->GetRowHeight(0, 99), 0);
}

TEST(DocState, ClearingAndFormulaLists) {
    UiRecorder ui;
    auto doc = newDoc(5, 4);
    CReportHandle* h = doc->GetReport();
    CellArea f = CellArea::area(2, 2, 3, 3);
    ASSERT_EQ(h->SetAreaFormula(&f, QStringLiteral("A1+A2")), 0);
    f = CellArea::cell(5, 4);
    ASSERT_EQ(h->SetAreaFormula(&f, QStringLiteral("D1")), 0);
    ASSERT_EQ(h->SetAuditFormulas(QStringLiteral("A1=B1\nC1>0")), 0);
    QString list;
    doc->BuildFormulaListText(0, &list);
    EXPECT_EQ(list, QStringLiteral("B2:C3=A1+A2\r\nD5=D1\r\n"));
    doc->BuildFormulaListText(1, &list);
    EXPECT_EQ(list, QStringLiteral("A1=B1\r\nC1>0\r\n"));
    doc->BuildFormulaListText(2, &list);
    EXPECT_TRUE(list.isEmpty());

    // Format state: a clear takes formulas, combined cells and texts.
    const CellArea comb = CellArea::area(4, 1, 4, 2);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText(QStringLiteral("标题"), CQorsDoc::kEntryFormatText), 0);
    doc->Selection().SetSelection(0, 0, 3, 3);
    EXPECT_EQ(doc->ClearArea(), 0);
    EXPECT_EQ(doc->GetCellFormulaState(1, 1), 0);
    EXPECT_FALSE(doc->IsCombinedCell(3, 0));
    EXPECT_EQ(doc->GetCellKind(0, 0), kCellLabel);
    QString text = QStringLiteral("x");
    ASSERT_TRUE(doc->GetStyleCellText(0, 0, &text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(doc->GetCellFormulaState(4, 3), 1);

    // The clear command fails plainly without a report.
    CQorsDoc none;
    EXPECT_NE(none.EditClear(), 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kClearFailed)));
}

TEST(DocState, ItemsListChartsAndContents) {
    UiRecorder ui;
    auto doc = newDoc(4, 4);
    EXPECT_EQ(doc->Items().CreateComItem(0), nullptr);  // no chart in format state
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kNoChartInFormatState)));
    std::shared_ptr<CComItem> ole = doc->Items().CreateComItem(1);
    ASSERT_TRUE(ole);
    EXPECT_EQ(ole->GetPage(), 0u);
    EXPECT_EQ(ole->GetDocument(), &doc->Items());

    ASSERT_TRUE(doc->EnterDataState());
    std::shared_ptr<CComItem> c1 = doc->Items().CreateComItem(0);
    std::shared_ptr<CComItem> c2 = doc->Items().CreateComItem(0);
    ASSERT_TRUE(c1 && c2);
    EXPECT_EQ(c1->GetPage(), 1u);
    EXPECT_EQ(doc->Items().GetCurrentChart(), c2.get());
    EXPECT_EQ(doc->Items().GetChartCount(), 2);
    c1->SetSize(40, 30);
    c2->SetSize(40, 30);
    doc->Items().CascadeComItem(c2.get());
    EXPECT_EQ(c2->GetPosition(), QPoint(110, 60));

    // Walk both ways.
    QList<CComItem*> forward, backward;
    for (CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos(); pos;)
        forward << doc->Items().GetNextComItem(pos);
    for (CQorsDoc::ItemPos pos = doc->Items().GetLastComItemPos(); pos;)
        backward << doc->Items().GetPrevComItem(pos);
    EXPECT_EQ(forward, (QList<CComItem*>{ole.get(), c1.get(), c2.get()}));
    EXPECT_EQ(backward, (QList<CComItem*>{c2.get(), c1.get(), ole.get()}));

    items::ChartDesc desc = items::ChartDesc::MakeDefault(300, 200, 1);
    ASSERT_TRUE(desc.SetText(items::ChartDesc::kNameText, QStringLiteral("GRAPH_1")));
    desc.SetWholeReport(true);
    ASSERT_TRUE(doc->Items().SetCurrentChart(c1.get()));
    EXPECT_EQ(doc->Items().CreateChart(desc), 1);
    QString name;
    ASSERT_TRUE(doc->Items().GetChartName(c1.get(), &name));
    EXPECT_EQ(name, QStringLiteral("GRAPH_1"));
    EXPECT_FALSE(doc->Items().GetChartName(ole.get(), &name));
    items::ChartDesc span;
    int pages = 0;
    ASSERT_EQ(doc->GetReport()->AppendRowColPage(20, 2), 0);
    EXPECT_EQ(doc->Items().GetChartPageSpan(&span, &pages), 1);
    EXPECT_EQ(pages, 12);
    EXPECT_EQ(span, desc);

    // Stored with the report and read back in list order.
    const QString path = testDir() + "/items.rep";
    ASSERT_TRUE(doc->Files().OnSaveDocument(path));
    doc->Files().OnCloseDocument();
    ASSERT_TRUE(doc->Files().OnOpenDocument(path));
    ASSERT_EQ(doc->Items().GetComItemCount(), 3);
    CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos();
    EXPECT_TRUE(doc->Items().GetNextComItem(pos)->IsKindOf(&COleItem::classCOleItem));
    CComItem* chart = doc->Items().GetNextComItem(pos);
    ASSERT_TRUE(chart->IsKindOf(&CGraphItem::classCGraphItem));
    EXPECT_EQ(static_cast<CGraphItem*>(chart)->GetChartDesc(), desc);
    EXPECT_EQ(chart->GetDocument(), &doc->Items());

    // Deleting the current chart moves to the next one, then there is none.
    ASSERT_TRUE(doc->Items().SetCurrentChart(chart));
    EXPECT_TRUE(doc->Items().DeleteCurrentChart());
    EXPECT_EQ(doc->Items().GetChartCount(), 1);
    EXPECT_FALSE(doc->Items().DeleteCurrentChart());
    EXPECT_EQ(doc->Items().GetChartCount(), 0);
    EXPECT_EQ(doc->Items().GetComItemCount(), 1);
    // Removing every item removes the stream at the next save.
    doc->Items().RemoveComItemAndRefresh(doc->Items().GetFirstComItemPos());
    ASSERT_TRUE(doc->Files().OnSaveDocument());
    doc->Files().OnCloseDocument();
    ASSERT_TRUE(doc->Files().OnOpenDocument(path));
    EXPECT_EQ(doc->Items().GetComItemCount(), 0);
}

TEST(DocState, ClearingAnAreaTakesTheChartsInIt) {
    UiRecorder ui;
    auto doc = newDoc(6, 6);
    ASSERT_TRUE(doc->EnterDataState());
    doc->SetDisplayScale(1.0f);
    std::shared_ptr<CComItem> inside = doc->Items().CreateComItem(0);
    std::shared_ptr<CComItem> outside = doc->Items().CreateComItem(0);
    inside->SetPosition(QPoint(10, 5));
    inside->SetSize(50, 20);
    outside->SetPosition(QPoint(300, 5));
    outside->SetSize(50, 20);
    doc->Selection().SetSelection(0, 0, 2, 2);  // 3 x 64 wide, 3 x 18 high
    EXPECT_EQ(doc->CellRangeToSheetRect(doc->Selection().Area()), (items::Rect{0, 0, 193, 55}));
    EXPECT_EQ(doc->ClearArea(), 0);
    EXPECT_EQ(doc->Items().GetComItemCount(), 1);
    EXPECT_EQ(doc->Items().GetFirstComItemPos(), outside.get());
}

TEST(DocState, CommandLinesWithoutAnInterpreter) {
    UiRecorder ui;
    CQorsDoc doc;
    SetCommandRunner(nullptr);
    EXPECT_EQ(RunCommandLine(&doc, QStringLiteral("TOTAL"), 1), -1);
    EXPECT_TRUE(ui.said(QStringLiteral("TOTAL")));
    QString seen;
    SetCommandRunner([&](CQorsDoc* d, const QString& line, int mode) {
        seen = line;
        return d == &doc && mode == 3 ? 0 : 9;
    });
    EXPECT_EQ(RunCommandLine(&doc, QStringLiteral("GTOTAL"), 3), 0);
    EXPECT_EQ(seen, QStringLiteral("GTOTAL"));
    SetCommandRunner(nullptr);
}

TEST(DocState, ChartDataFromTheSourceArea) {
    UiRecorder ui;
    auto doc = newDoc(3, 3);
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(1, 2));
    ASSERT_TRUE(doc->EnterDataState());
    CReportHandle* h = doc->GetReport();
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 3; ++p) {
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(p * 10), 1, 1, p), 0);
        ASSERT_EQ(h->SetCellValue(CellValue::ofText(QString(80, QLatin1Char('t'))), 1, 2, p), 0);
        ASSERT_EQ(h->SetPageKeyword(2, KeywordValue{1, 2000.0 + p, {}}, p), 0);
    }
    items::ChartDesc desc;
    desc.SetSourceArea(CellArea::area(1, 1, 2, 2));
    desc.SetWholeReport(true);
    desc.SetLabelKind(2);
    std::vector<CQorsDoc::ChartCellRecord> cells;
    QStringList labels;
    ASSERT_TRUE(doc->Items().GetChartDataFromArea(desc, 2, &cells, &labels));
    ASSERT_EQ(cells.size(), 2u * 4 + 1);
    EXPECT_EQ(cells[0].kind, 1);
    EXPECT_EQ(cells[0].value, 10);
    EXPECT_NE(cells[1].kind, 1);
    EXPECT_EQ(cells[1].text.size(), 65);
    EXPECT_EQ(cells[4].value, 20);
    EXPECT_EQ(labels, (QStringList{"2001", "2002"}));

    desc.SetSourceArea(CellArea::area(1, 1, 4, 2));
    EXPECT_FALSE(doc->Items().GetChartDataFromArea(desc, 1, &cells, &labels));
    EXPECT_FALSE(ui.messages.isEmpty());
}

TEST(DocState, OwnXmlImportRunsBothPasses) {
    UiRecorder ui;
    const QString dir = testDir();
    auto src = newDoc(3, 3);
    ASSERT_EQ(
        src->GetReport()->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("名称")}, 1, 1), 0);
    ASSERT_TRUE(src->EnterDataState());
    ASSERT_EQ(src->GetReport()->SetCellValue(CellValue::ofNumber(8.5), 2, 2), 0);
    ExportSetMembers all;
    ASSERT_TRUE(WriteOwnXml(*src->GetReport(), dir + "/x.xml", all).written);

    auto doc = newDoc();
    g_strXmlExchangePath.clear();
    EXPECT_FALSE(doc->Files().OnXmlImport());  // nothing pending: the report stays
    EXPECT_FALSE(doc->IsDataState());
    g_strXmlExchangePath = dir + "/x.xml";
    ASSERT_TRUE(doc->Files().OnXmlImport());
    g_strXmlExchangePath.clear();
    EXPECT_TRUE(doc->IsDataState());
    EXPECT_TRUE(doc->IsModified());
    double v = 0;
    ASSERT_TRUE(doc->GetNumCellValue(1, 1, &v));
    EXPECT_EQ(v, 8.5);
    QString text;
    ASSERT_TRUE(doc->GetStyleCellText(0, 0, &text));
    EXPECT_EQ(text, QStringLiteral("名称"));
}

// The parts the document hands out belong to it for its whole life: a new
// or another report keeps the same parts but forgets what the last one set.
TEST(DocParts, AnotherReportForgetsTheChartStateAndKeepsTheParts) {
    auto doc = newDoc(3, 3);
    DocItems* items = &doc->Items();
    items->SetChartCounter(4);
    items->ChartWindow().frameOpen = 1;
    items->ChartWindow().windowOpen = 1;
    ASSERT_TRUE(doc->Items().CreateComItem(1));
    ASSERT_TRUE(doc->Files().SetFilePassword(QStringLiteral("pw")));

    ASSERT_TRUE(doc->Files().OnNewDocument());
    EXPECT_EQ(&doc->Items(), items);
    EXPECT_EQ(items->ChartCounter(), 0);
    EXPECT_EQ(items->ChartWindow().frameOpen, 0);
    EXPECT_EQ(items->ChartWindow().windowOpen, 0);
    EXPECT_EQ(items->GetComItemCount(), 0);
    EXPECT_EQ(doc->Files().GetFilePassword(), QString());
    EXPECT_FALSE(doc->IsModified());
}
