// A document saved as a workbook or as own XML opens again with its values
// and formats.
#include <gtest/gtest.h>

#include "document/doc_converters.h"
#include "tests/document/doc_fixture.h"

namespace {

void fillDoc(CQorsDoc& doc) {
    CReportHandle* h = doc.GetReport();
    int32_t bold = 1;
    CellArea head = CellArea::area(1, 1, 1, 3);
    ASSERT_EQ(h->AccessAreaFormat(1, qor::kFmtFontStyle, &bold, &head), 0);
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, "项目"}, 1, 1), 0);
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(1234.5), 2, 2), 0);
}

void checkDoc(CQorsDoc& doc) {
    CReportHandle* h = doc.GetReport();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetCellText(1, 1, 1), QStringLiteral("项目"));
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 2, 2, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 1234.5);
    int32_t style = 0;
    CellArea a1 = CellArea::cell(1, 1);
    ASSERT_EQ(h->AccessAreaFormat(0, qor::kFmtFontStyle, &style, &a1), 0);
    EXPECT_EQ(style, 1);
}

TEST(DocConverters, WorkbookAndOwnXmlRoundTripThroughTheDocument) {
    qor::doc::RegisterExchangeConverters();
    const QString dir = doctest::testDir();
    for (const QString& name : {QStringLiteral("book.xlsx"), QStringLiteral("own.xml")}) {
        SCOPED_TRACE(qPrintable(name));
        doctest::UiRecorder ui;
        auto doc = doctest::newDoc(4, 3);
        fillDoc(*doc);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(doc->Files().OnSaveDocument(dir + "/" + name)) << qPrintable(ui.messages.join("; "));

        auto back = std::make_unique<CQorsDoc>();
        ASSERT_TRUE(back->Files().OnOpenDocument(dir + "/" + name)) << qPrintable(ui.messages.join("; "));
        checkDoc(*back);
    }
}

}  // namespace
