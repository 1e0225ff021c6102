// A document runs command lines through the command language, and the
// language moves the document to what it found.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "document/doc_commandhook.h"
#include "document/doc_converters.h"
#include "document/doc_interpreter.h"
#include "tests/document/doc_fixture.h"

namespace {

TEST(DocInterpreter, FindMovesTheDocumentAndTotalAddsItsPage) {
    qor::cmd::InstallEngineHooks();
    qor::doc::InstallInterpreterLinks();
    CCalcInterpreter::Instance().Reset();

    auto doc = doctest::newDoc(6, 4);
    CReportHandle* h = doc->GetReport();
    CellRef yearCell{0, 1, 4};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &yearCell), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);  // three pages with the first
    for (int p = 1; p <= 3; ++p) {
        ASSERT_EQ(h->SetPageKeyword(2, qor::KeywordValue{1, 2003.0 + p, {}}, p), 0);
        ASSERT_TRUE(doc->SetCurrentPage(p));
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(p * 10), 3, 2), 0);
    }
    ASSERT_TRUE(doc->SetCurrentPage(1));

    QSignalSpy changed(doc.get(), &CQorsDoc::changed);
    EXPECT_EQ(RunCommandLine(doc.get(), QStringLiteral("FIND FOR 年=2005"), 1), 0);
    EXPECT_EQ(h->GetCurPage(), 2);
    EXPECT_GE(changed.count(), 1);

    EXPECT_EQ(RunCommandLine(doc.get(), QStringLiteral("TOTAL "), 1), 0);
    EXPECT_EQ(h->GetPageCount(), 4);
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 3, 2, 4), 0);
    EXPECT_EQ(v.number, 60);

    // A line the language refuses fails without moving anything.
    const int page = h->GetCurPage();
    doctest::UiRecorder ui;
    EXPECT_NE(RunCommandLine(doc.get(), QStringLiteral("FIND FOR 年=1999"), 1), 0);
    EXPECT_EQ(h->GetCurPage(), page);
}

TEST(DocInterpreter, OnlyLinesThatWriteIntoTheReportMarkItChanged) {
    qor::cmd::InstallEngineHooks();
    qor::doc::InstallInterpreterLinks();
    qor::doc::RegisterExchangeConverters();
    CCalcInterpreter::Instance().Reset();
    auto doc = doctest::newDoc(6, 4);
    ASSERT_TRUE(doc->EnterDataState());
    const QString rep = doctest::testDir() + QStringLiteral("/marks.rep");
    ASSERT_TRUE(doc->Files().OnSaveDocument(rep));
    ASSERT_FALSE(doc->IsModified());
    QSignalSpy marked(doc.get(), &CQorsDoc::modifiedChanged);

    // Reading, finding and writing the report out change nothing of it.
    for (const QString& line :
         {QStringLiteral("LET &x = A1"), QStringLiteral("FIND FOR MRECNO()=1"),
          QStringLiteral("CONVERT \"%1\" TO \"%2\"")
              .arg(rep, doctest::testDir() + QStringLiteral("/marks.txt"))}) {
        EXPECT_EQ(RunCommandLine(doc.get(), line, 1 | 0x10), 0)
            << line.toStdString() << ": "
            << CCalcInterpreter::Instance().LastErrorText().toStdString();
        EXPECT_FALSE(doc->IsModified()) << line.toStdString();
    }
    EXPECT_EQ(marked.count(), 0);

    // A value written is a change, told to whoever shows the mark.
    EXPECT_EQ(RunCommandLine(doc.get(), QStringLiteral("LET C4 = 7"), 1), 0);
    EXPECT_TRUE(doc->IsModified());
    ASSERT_EQ(marked.count(), 1);
    EXPECT_EQ(marked.at(0).at(0).toBool(), true);
    ASSERT_TRUE(doc->Files().OnSaveDocument());
    EXPECT_EQ(marked.count(), 2);
    EXPECT_FALSE(doc->IsModified());
}

}  // namespace
