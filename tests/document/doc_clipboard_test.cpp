// Copy, cut and paste of cell blocks between documents.
#include "document/doc_clipboard.h"

#include <gtest/gtest.h>

#include <QMimeData>

#include "cmdlang/enginehooks.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

const QString kNative = QString::fromLatin1(CQorsDoc::kNativeFormatName);

// Source: 6 x 5. B2:C3 combined with a table text, D2:D4 a formula set on
// the area, E2 a red character cell, A5 a table text; page 1 values.
std::unique_ptr<CQorsDoc> sourceDoc() {
    auto doc = newDoc(6, 5);
    CReportHandle* h = doc->GetReport();
    const CellArea comb = CellArea::area(2, 2, 3, 3);
    EXPECT_EQ(h->CombineCells(&comb), 0);
    EXPECT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("合计")}, 2, 2), 0);
    CellArea f = CellArea::area(2, 4, 4, 4);
    EXPECT_EQ(h->SetAreaFormula(&f, QStringLiteral("A2*2")), 0);
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(2, 5));
    setFormat(*doc, kFmtForeground, kColourRed, CellArea::cell(2, 5));
    setFormat(*doc, kFmtHAlign, kAlignCentre, CellArea::cell(2, 5));
    EXPECT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("注")}, 5, 1), 0);
    EXPECT_TRUE(doc->EnterDataState());
    EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(1.5), 2, 1), 0);
    EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(-4), 3, 1), 0);
    EXPECT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("红字")), 2, 5), 0);
    return doc;
}

}  // namespace

TEST(DocClipboard, BlockWithCombinedCellAndFormulaArrivesWhole) {
    UiRecorder ui;
    auto src = sourceDoc();
    src->Selection().SetSelection(1, 0, 4, 4);  // A2:E5
    src->SetModifiedFlag(false);
    QMimeData mime;
    ASSERT_TRUE(src->Clipboard().CopyAreaToClipboard(&mime));
    EXPECT_FALSE(src->IsModified());
    ASSERT_TRUE(mime.hasFormat(kNative));
    EXPECT_TRUE(mime.text().startsWith(QStringLiteral("1.50\t合计\t")))
        << mime.text().toStdString();
    EXPECT_EQ(src->Clipboard().CopyPage(), 1);

    // Into another report, one row and one column further: the format in
    // format state, then the values in data state.
    auto dst = newDoc(8, 7);
    dst->Selection().SetSelection(2, 1, 2, 1);  // B3
    ASSERT_EQ(dst->Clipboard().PasteFromClipboard(&mime), 0);
    ASSERT_TRUE(dst->EnterDataState());
    dst->Selection().SetSelection(2, 1, 2, 1);
    ASSERT_EQ(dst->Clipboard().PasteFromClipboard(&mime), 0);
    EXPECT_TRUE(dst->IsModified());

    CellArea area;
    ASSERT_TRUE(dst->GetCombinedArea(3, 3, &area));
    EXPECT_EQ(area, CellArea::area(2, 2, 3, 3));  // C3:D4
    QString text;
    ASSERT_TRUE(dst->GetStyleCellText(2, 2, &text));
    EXPECT_EQ(text, QStringLiteral("合计"));
    ASSERT_TRUE(dst->GetStyleCellText(5, 1, &text));
    EXPECT_EQ(text, QStringLiteral("注"));
    for (int r = 2; r <= 4; ++r) {
        ASSERT_TRUE(dst->GetCellFormula(r, 4, &text)) << r;
        EXPECT_EQ(text, QStringLiteral("A2*2"));
    }
    EXPECT_FALSE(dst->GetCellFormula(5, 4, &text));
    std::vector<FormulaInfo> formulas = dst->GetReport()->EnumFormulas(-1);
    ASSERT_EQ(formulas.size(), 1u);
    EXPECT_EQ(formulas[0].area, CellArea::area(3, 5, 5, 5));  // one area, not three cells
    EXPECT_EQ(dst->GetCellKind(2, 5), kCellText);
    EXPECT_EQ(dst->GetCellForeColor(2, 5), kCellPalette[kColourRed]);
    EXPECT_EQ(dst->GetCellDrawFormat(2, 5) & CQorsDoc::kDrawCentre, CQorsDoc::kDrawCentre);
    double v = 0;
    ASSERT_TRUE(dst->GetNumCellValue(2, 1, &v));
    EXPECT_DOUBLE_EQ(v, 1.5);
    ASSERT_TRUE(dst->GetNumCellValue(3, 1, &v));
    EXPECT_DOUBLE_EQ(v, -4);
    ASSERT_TRUE(dst->GetCharCellText(2, 5, &text));
    EXPECT_EQ(text, QStringLiteral("红字"));

    // And it survives the second document's save.
    const QString path = testDir() + "/dst.rep";
    ASSERT_TRUE(dst->Files().OnSaveDocument(path));
    dst->Files().OnCloseDocument();
    ASSERT_TRUE(dst->Files().OnOpenDocument(path));
    ASSERT_TRUE(dst->GetCombinedArea(2, 2, &area));
    ASSERT_TRUE(dst->GetCellFormula(4, 4, &text));
    ASSERT_TRUE(dst->GetNumCellValue(3, 1, &v));
    EXPECT_DOUBLE_EQ(v, -4);
}

TEST(DocClipboard, PasteIsCutAtTheTableEdge) {
    UiRecorder ui;
    auto src = sourceDoc();
    src->Selection().SetSelection(1, 0, 4, 4);
    QMimeData mime;
    ASSERT_TRUE(src->Clipboard().CopyAreaToClipboard(&mime));
    auto dst = newDoc(4, 4);
    dst->Selection().SetSelection(2, 2, 2, 2);  // C3: two rows and two columns fit
    EXPECT_EQ(dst->Clipboard().PasteFromClipboard(&mime), 0);
    // The combined area B2:C3 lands on D4:E5, which does not fit: left out.
    EXPECT_FALSE(dst->IsCombinedCell(3, 3));
    QString text;
    ASSERT_TRUE(dst->GetStyleCellText(2, 3, &text));
    EXPECT_EQ(text, QStringLiteral("合计"));
    dst->Selection().SetSelection(3, 3, 3, 3);
    EXPECT_EQ(dst->Clipboard().PasteFromClipboard(&mime), 0);
    dst->Selection().SetSelection(9, 9, 9, 9);
    EXPECT_EQ(dst->Clipboard().PasteFromClipboard(&mime), code(Status::OutsideTable));
}

TEST(DocClipboard, CutFormulaIsRewrittenForItsNewFirstCell) {
    UiRecorder ui;
    cmd::InstallEngineHooks();
    auto src = newDoc(6, 4);
    CellArea f = CellArea::area(1, 2, 5, 2);
    ASSERT_EQ(src->GetReport()->SetAreaFormula(&f, QStringLiteral("A1+1")), 0);
    src->Selection().SetSelection(2, 0, 4, 1);  // A3:B5, the formula's rows 3..5
    QMimeData mime;
    ASSERT_TRUE(src->Clipboard().CopyAreaToClipboard(&mime));
    NativeArea block;
    ASSERT_TRUE(decodeNativeArea(mime.data(kNative), &block));
    ASSERT_EQ(block.formulas.size(), 1u);
    EXPECT_EQ(block.formulas[0].area, (AreaRecord{0, 1, 2, 1}));
    // B3 read A3 in the original area; its piece now starts at B3.
    EXPECT_EQ(block.formulas[0].text, QStringLiteral("A3+1"));
    InstallFormulaChecker(nullptr);
}

TEST(DocClipboard, TextPasteAndDamagedNativeData) {
    UiRecorder ui;
    auto doc = newDoc(4, 4);
    setFormat(*doc, kFmtKind, kCellText, CellArea::cell(1, 2));
    ASSERT_TRUE(doc->EnterDataState());
    QMimeData text;
    text.setText(QStringLiteral("1\tabc\r\n2.5\t\r\n"));
    doc->Selection().SetSelection(0, 0, 0, 0);
    ASSERT_EQ(doc->Clipboard().PasteFromClipboard(&text), 0);
    double v = 0;
    ASSERT_TRUE(doc->GetNumCellValue(1, 0, &v));
    EXPECT_DOUBLE_EQ(v, 2.5);
    QString t;
    ASSERT_TRUE(doc->GetCharCellText(0, 1, &t));
    EXPECT_EQ(t, QStringLiteral("abc"));

    // Native data that is damaged anywhere is refused; nothing is written.
    doc->Selection().SetSelection(0, 0, 1, 1);
    QMimeData good;
    ASSERT_TRUE(doc->Clipboard().CopyAreaToClipboard(&good));
    const QByteArray bytes = good.data(kNative);
    doc->Selection().SetSelection(2, 2, 2, 2);
    for (qsizetype n : {qsizetype(3), qsizetype(16), bytes.size() - 1}) {
        QMimeData bad;
        bad.setData(kNative, bytes.left(n));
        EXPECT_EQ(doc->Clipboard().PasteFromClipboard(&bad), 1) << n;
    }
    QByteArray flipped = bytes;
    flipped[flipped.size() - 3] = char(flipped[flipped.size() - 3] ^ 0x40);
    QMimeData bad;
    bad.setData(kNative, flipped);
    EXPECT_EQ(doc->Clipboard().PasteFromClipboard(&bad), 1);
    EXPECT_FALSE(doc->GetNumCellValue(2, 2, &v));
}

TEST(DocClipboard, NativeAreaCodecChecksEveryCount) {
    NativeArea a;
    a.rows = 2;
    a.cols = 2;
    a.cells.resize(4);
    a.cells[1].kind = 2;
    a.cells[1].text = QStringLiteral("字");
    a.cells[2].kind = 1;
    a.cells[2].number = 3.5;
    a.cells[3].kind = 3;
    a.cells[3].text = QStringLiteral("表");
    a.cells[3].attributes[7] = 9;
    a.combined = {{0, 0, 1, 0}};
    a.formulas = {{{0, 1, 1, 1}, QStringLiteral("A1")}};
    const QByteArray bytes = encodeNativeArea(a);
    NativeArea back;
    ASSERT_TRUE(decodeNativeArea(bytes, &back));
    EXPECT_EQ(back, a);
    for (qsizetype n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(decodeNativeArea(bytes.left(n), &back));

    // An area outside the block is refused even with a good checksum.
    NativeArea outside = a;
    outside.combined = {{0, 0, 2, 0}};
    EXPECT_FALSE(decodeNativeArea(encodeNativeArea(outside), &back));
    NativeArea kind = a;
    kind.cells[0].kind = 7;
    EXPECT_FALSE(decodeNativeArea(encodeNativeArea(kind), &back));
}

TEST(DocClipboard, CutClearsOnlyAfterASuccessfulCopy) {
    UiRecorder ui;
    auto doc = newDoc(3, 3);
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText("5", CQorsDoc::kEntryNumber), 0);
    doc->SetModifiedFlag(false);

    // A selection the copy cannot read: nothing is cleared.
    doc->Selection().SetSelection(5, 5, 6, 6);
    EXPECT_FALSE(doc->Clipboard().CutAreaToClipboard(nullptr));
    QMimeData mime;
    EXPECT_FALSE(doc->Clipboard().CutAreaToClipboard(&mime));
    double v = 0;
    EXPECT_TRUE(doc->GetNumCellValue(0, 0, &v));
    EXPECT_FALSE(doc->IsModified());

    doc->Selection().SetSelection(0, 0, 0, 0);
    ASSERT_TRUE(doc->Clipboard().CutAreaToClipboard(&mime));
    EXPECT_FALSE(doc->GetNumCellValue(0, 0, &v));
    EXPECT_TRUE(doc->IsModified());
    doc->Selection().SetSelection(1, 1, 1, 1);
    ASSERT_EQ(doc->Clipboard().PasteFromClipboard(&mime), 0);
    ASSERT_TRUE(doc->GetNumCellValue(1, 1, &v));
    EXPECT_EQ(v, 5);
}
