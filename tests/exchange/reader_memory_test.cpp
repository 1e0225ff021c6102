// Readers whose memory follows what they keep, not the file's size: each
// large file is read in a child process under 1 GiB of address space
// (qortest::endsWellUnder1GiB), where holding the whole file ran out of
// memory.

#include <gtest/gtest.h>

#include <QFile>

#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/jetdriver.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"
#include "exchange/scratchstreams.h"
#include "exchange/spreadsheetxml.h"
#include "tests/common/largefiles.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

// A narrow dBASE file with the records listed in deleted marked deleted.
void writeNarrowDbf(const QString& path, quint32 records, const QList<quint32>& deleted) {
    ASSERT_TRUE(qortest::writeNarrowDbf(path, records));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    for (quint32 r : deleted) {
        f.seek(65 + qint64(r) * 2);
        f.write("*");
    }
}

QString notesOf(const QString& path, int* result, CReportHandle** keep = nullptr) {
    auto* h = new CReportHandle(path + QStringLiteral(".rep"));
    QString error;
    QStringList notes;
    *result = ImportDataFileToReport(path, h, &error, &notes);
    if (keep)
        *keep = h;
    else
        delete h;
    return error + notes.join(u'\n');
}

TEST(ReaderMemory, LargeTextAndDbaseFilesKeepTheirFirstPageAndCountTheRest) {
    const QString dir = qortest::testDir();
    // 15 MB of text and 24 MB of dBASE records: holding either whole took
    // more than a gigabyte.
    const QString csv = dir + QStringLiteral("/big.csv");
    ASSERT_TRUE(qortest::writeRepeated(csv, QByteArrayLiteral("a,b\r\n"), QByteArrayLiteral("1,2\r\n"), 3000000));
    EXPECT_TRUE(qortest::endsWellUnder1GiB([&] {
        int ok = 0;
        const QString notes = notesOf(csv, &ok);
        return ok == 1 && notes.contains(QStringLiteral("表“big.csv”：第9999条之后的2990001条记录未转换"));
    }));
    const QString dbf = dir + QStringLiteral("/big.dbf");
    // Records marked deleted, beyond those a page keeps, are not counted.
    writeNarrowDbf(dbf, 12000000, {5, 20000, 11999999});
    EXPECT_TRUE(qortest::endsWellUnder1GiB([&] {
        int ok = 0;
        const QString notes = notesOf(dbf, &ok);
        return ok == 1 && notes.contains(QStringLiteral("第9999条之后的11989998条记录未转换"));
    }));
}

TEST(ReaderMemory, ATextFileIsReadAsOneWhateverItsPieces) {
    const QString dir = qortest::testDir();
    const QString csv = dir + QStringLiteral("/pieces.csv");
    // Filler up to just short of the first piece's end, then a quoted field
    // whose line break ends that piece, and a column whose only text comes
    // after the records a page keeps: the type comes from every record.
    QByteArray text = "n,t\r\n";
    for (int r = 1; r <= 9998; ++r) text += QByteArray::number(r) + ",5\r\n";
    const QByteArray quoted = "\"甲\r\n";
    text += QByteArray((qsizetype(1) << 20) - text.size() - 4 - quoted.size(), 'x') + ",6\r\n";
    text += quoted + "乙\"\"\",7\r\n";
    text += "9,八\r\n";
    qortest::writeFile(csv, text);
    CReportHandle* h = nullptr;
    int ok = 0;
    const QString notes = notesOf(csv, &ok, &h);
    std::unique_ptr<CReportHandle> report(h);
    ASSERT_EQ(ok, 1) << notes.toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral("第9999条之后的2条记录未转换"))) << notes.toStdString();
    EXPECT_EQ(report->GetCellText(9998, 1, 1), QStringLiteral("9998"));
    EXPECT_EQ(report->GetCellText(9998, 2, 1), QStringLiteral("5"));  // a text column
    EXPECT_TRUE(report->GetCellText(9999, 1, 1).startsWith(QStringLiteral("xxxx")));

    // Parsed from memory the same: the quoted field keeps its line break.
    const jet::LoadedTable t = jet::parseTextTable(text, std::nullopt);
    ASSERT_EQ(t.rows.size(), 10001);
    EXPECT_EQ(t.fields.at(1).type, jet::kText);
    EXPECT_EQ(t.rows.at(9999).at(0).toString(), QStringLiteral("甲\r\n乙\""));
    EXPECT_EQ(t.rows.at(10000).at(1).toString(), QStringLiteral("八"));
}

TEST(ReaderMemory, ASpreadsheetXmlOfMoreCellsThanAWorkbookMayHaveIsRefusedBeforeItsTree) {
    const QString dir = qortest::testDir();
    const QString xml = dir + QStringLiteral("/cells.xml");
    const QByteArray head =
        "<?xml version=\"1.0\"?>\n<ss:Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
        "<ss:Worksheet ss:Name=\"S\"><ss:Table><ss:Row>";
    ASSERT_TRUE(qortest::writeRepeated(xml, head, QByteArrayLiteral("<ss:Cell/>"), 3000001,
                                       "</ss:Row></ss:Table></ss:Worksheet></ss:Workbook>\n"));
    // Tags cut by the end of a piece are counted once.
    EXPECT_EQ(CountSpreadsheetXmlCells(xml), 3000001);
    EXPECT_TRUE(qortest::endsWellUnder1GiB([&] {
        CReportHandle h(dir + QStringLiteral("/cells.rep"));
        const SpreadsheetXmlImport r = ImportSpreadsheetXml(h, xml);
        return !r.ok && r.error.contains(QStringLiteral("超出了能读取的限度"));
    }));
    // At the limit the file is read.
    const QString at = dir + QStringLiteral("/at.xml");
    ASSERT_TRUE(qortest::writeRepeated(at, head, QByteArrayLiteral("<Cell></Cell>"), 3000000,
                                       "</ss:Row></ss:Table></ss:Worksheet></ss:Workbook>\n"));
    EXPECT_EQ(CountSpreadsheetXmlCells(at), 3000000);
}

TEST(ReaderMemory, AnExchangeFileOfManyPagesGoesOutAndComesBackUnder1GiB) {
    const QString dir = qortest::testDir();
    const QString source = dir + QStringLiteral("/pages.rep");
    constexpr int kRows = 400, kCols = 60, kPages = 12;
    {
        auto h = oxtest::newReport(source, kRows, kCols);
        int32_t text = kCellText;
        const CellArea column = CellArea::area(1, 3, kRows, 3);
        ASSERT_EQ(h->AccessAreaFormat(1, 0, &text, &column), 0);
        oxtest::toData(*h, kPages);
        for (int p = 1; p <= kPages; ++p)
            for (int r = 1; r <= kRows; ++r) {
                ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(p * 10000 + r), r, 1, p), 0);
                ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("第%1页%2").arg(p).arg(r)), r, 3, p), 0);
            }
        ASSERT_EQ(h->Save(), 0);
    }
    const QString xml = dir + QStringLiteral("/pages.xml");
    const QString back = dir + QStringLiteral("/back.rep");
    EXPECT_TRUE(qortest::endsWellUnder1GiB([&] {
        CReportHandle h(source);
        return WriteOwnXml(h, xml, InitialExportSettings(&h)).written;
    }));
    EXPECT_TRUE(qortest::endsWellUnder1GiB([&] {
        CReportHandle h(back);
        const OwnXmlImportResult r = ImportOwnXmlReport(h, xml);
        return r.result == 1 && h.Save() == 0;
    }));
    CReportHandle h(back);
    ASSERT_EQ(h.GetPageCount(), kPages);
    for (int p : {1, 7, kPages}) {
        CellValue v;
        ASSERT_EQ(h.GetCellValue(&v, kRows, 1, p), 0);
        EXPECT_EQ(v.number, p * 10000 + kRows);
        EXPECT_EQ(h.GetCellText(kRows, 3, p), QStringLiteral("第%1页%2").arg(p).arg(kRows));
        ASSERT_EQ(h.GetCellValue(&v, 1, 2, p), 0);
        EXPECT_EQ(v.kind, 0);
    }
}

TEST(ScratchStreams, StreamsWrittenInTurnComeBackInOrderThroughTheFile) {
    // A few kilobytes of memory: most blocks go to the scratch file.
    ScratchStreams s(3, 8192);
    for (int i = 0; i < 20000; ++i)
        for (size_t k = 0; k < 3; ++k) {
            s.putDouble(k, i * 3.0 + double(k));
            if (i % 100 == 0) s.putText(k, QStringLiteral("文本%1").arg(i));
        }
    for (size_t k : {2, 0, 1}) {
        for (int i = 0; i < 20000; ++i) {
            ASSERT_EQ(s.getDouble(k), i * 3.0 + double(k)) << k << " " << i;
            if (i % 100 == 0) {
                ASSERT_EQ(s.getText(k), QStringLiteral("文本%1").arg(i));
            }
        }
        EXPECT_THROW(s.getDouble(k), ScratchFailure);
    }
}

}  // namespace
