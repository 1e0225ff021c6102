// What the document's converters tell a user who opened or saved a file
// they cannot take: Chinese texts from the string table, never a sentence
// of the program's own language.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "document/doc_converters.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

namespace {

using qortest::writeFile;

// Two English words in a row: what a sentence of the old texts had.
bool hasEnglishWords(const QString& text) {
    static const QRegularExpression words(QStringLiteral("[A-Za-z]{2,} [A-Za-z]{2,}"));
    return words.match(text).hasMatch();
}

TEST(DocMessages, RefusedFilesAreToldFromTheStringTable) {
    qor::doc::RegisterExchangeConverters();
    const QString dir = doctest::testDir();
    doctest::UiRecorder ui;

    // A text file of its header row alone holds no records.
    writeFile(dir + "/empty.txt", "A,B\r\n");
    CQorsDoc text;
    EXPECT_FALSE(text.Files().OnOpenDocument(dir + "/empty.txt"));
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kFileHasNoRecords)))
        << qPrintable(ui.messages.join("; "));

    // A .dbf whose table the data layer cannot find names the table.
    writeFile(dir + "/junk.dbf", QByteArray(40, '\x01'));
    CQorsDoc dbf;
    EXPECT_FALSE(dbf.Files().OnOpenDocument(dir + "/junk.dbf"));

    ASSERT_GE(ui.messages.size(), 2);
    for (const QString& m : ui.messages) {
        EXPECT_FALSE(hasEnglishWords(m)) << qPrintable(m);
        EXPECT_FALSE(m.contains("Reader ERROR")) << qPrintable(m);
    }
}

TEST(DocMessages, EveryNewTextIsInTheTable) {
    // The texts of the data layer and of opening by type (63500 on) and
    // the printer's two (63150, 63151) are loaded, not "Reader ERROR".
    for (int id :
         {qor::str::kNoPrinter, qor::str::kPrintAreaTooSmall, qor::str::kNoCurrentRecord,
          qor::str::kCannotWriteWithReason, qor::str::kCannotReadWithReason,
          qor::str::kNothingToWrite, qor::str::kFileHasNoRecords, qor::str::kCellUnwritable,
          qor::str::kHtmlNotWritten, qor::str::kCannotCreateReport, qor::str::kApplyTemplateFailed})
        EXPECT_NE(LoadErrorText(id), "Reader ERROR") << id;
    EXPECT_EQ(LoadErrorText(qor::str::kCellUnreadable).arg("B").arg(3).arg(2),
              QStringLiteral("第2页的单元B3不能读取。"));
}

}  // namespace
