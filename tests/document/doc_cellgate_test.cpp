// Typed keys and pasted text meet the same gate as every other write: a
// text for a number cell by the number rule, lengths and the NUL refused
// and named; the cell keeps what it held.
#include <gtest/gtest.h>

#include <QMimeData>

#include "document/doc_clipboard.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

namespace {

struct Hostile {
    QString text;
    bool number;  // stored in a number cell
    double value;
    bool text255;  // fits a text cell
};

const QList<Hostile> kValues = {
    {QStringLiteral("12,345.60"), true, 12345.6, true},
    {QStringLiteral(" 12 "), true, 12, true},
    {QStringLiteral("1 234"), false, 0, true},
    {QStringLiteral("abc"), false, 0, true},
    {QStringLiteral("12x"), false, 0, true},
    {QStringLiteral("1e999"), false, 0, true},
    {QStringLiteral("inf"), false, 0, true},
    {QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd"), false, 0, false},
    {QString(256, u'x'), false, 0, false},
    {QString(33, u'y'), false, 0, true},
};

std::unique_ptr<CQorsDoc> numberAndTextColumns() {
    auto doc = newDoc(4, 3);
    setFormat(*doc, kFmtKind, kCellText, CellArea::area(1, 2, 4, 2));
    EXPECT_TRUE(doc->EnterDataState());
    return doc;
}

}  // namespace

TEST(DocCellGate, TypedValuesAreStoredByTheRuleOrRefusedByName) {
    UiRecorder ui;
    auto doc = numberAndTextColumns();
    CReportHandle* h = doc->GetReport();
    for (const Hostile& v : kValues) {
        SCOPED_TRACE(v.text.left(20).toStdString());
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(7), 1, 1), 0);
        doc->Selection().SetCurrentCell(0, 0);
        const int s = doc->SetCellText(v.text, CQorsDoc::kEntryNumber);
        double now = 0;
        ASSERT_TRUE(doc->GetNumCellValue(0, 0, &now));
        EXPECT_EQ(s == 0, v.number);
        EXPECT_DOUBLE_EQ(now, v.number ? v.value : 7);

        doc->Selection().SetCurrentCell(0, 1);
        ui.messages.clear();
        EXPECT_EQ(doc->SetCellText(v.text, CQorsDoc::kEntryDataText) == 0, v.text255);
        if (!v.text255) {
            ASSERT_EQ(ui.messages.size(), 1);
            EXPECT_TRUE(ui.messages[0].startsWith(QStringLiteral("B1"))) << ui.messages[0].toStdString();
        }
    }
}

TEST(DocCellGate, PastedTextIsStoredByTheRuleOrLeftOutAndTold) {
    UiRecorder ui;
    auto doc = numberAndTextColumns();
    QMimeData mime;
    mime.setText(QStringLiteral("12,345.60\n1 234\n"));
    doc->Selection().SetSelection(0, 0, 0, 0);
    doc->Clipboard().PasteFromClipboard(&mime);
    double v = 0;
    ASSERT_TRUE(doc->GetNumCellValue(0, 0, &v));
    EXPECT_DOUBLE_EQ(v, 12345.6);
    EXPECT_FALSE(doc->GetNumCellValue(1, 0, &v)) << "\"1 234\" is no number: the cell stays empty";
    EXPECT_FALSE(ui.messages.isEmpty());

    // A text cell keeps 255 characters: a longer pasted text is refused.
    mime.setText(QString(256, u'z'));
    doc->Selection().SetSelection(0, 1, 0, 1);
    EXPECT_NE(doc->Clipboard().PasteFromClipboard(&mime), 0);
    QString text;
    EXPECT_FALSE(doc->GetCharCellText(0, 1, &text) && text.size() > 255);
}
