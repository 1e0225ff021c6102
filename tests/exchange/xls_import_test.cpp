// Binary (.xls) workbooks read back into the engine: what the engine
// wrote, BIFF5 streams built record by record, and damaged streams.

#include <gtest/gtest.h>

#include <QFile>
#include <cstring>

#include "engine/messages.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"
#include "platform/codepage.h"
#include "platform/compoundfile.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/biff5_testutil.h"

namespace {

using namespace qor;
using namespace biff5test;

class XlsImport : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QStringLiteral("xls-import-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    QString dir;
};

QByteArray biff5Cells() {
    const QByteArray text = encodeText(QStringLiteral("货币资金"), "GB18030");
    Stream c;
    c.rec(0x0204, u16(0) + u16(0) + u16(15) + u16(int(text.size())) + text);
    c.rec(0x0203, u16(0) + u16(1) + u16(15) + f64(-2.5));
    c.rec(0x027E, u16(1) + u16(0) + u16(15) + u32(uint32_t(1234) << 2 | 3));
    c.rec(0x00BD, u16(2) + u16(3) + u16(15) + u32(7u << 2 | 2) + u16(15) + u32(8u << 2 | 2) + u16(4));
    return c.b;
}

void writeCompound(const QString& path, const QString& stream, const QByteArray& bytes) {
    std::unique_ptr<CompoundFile> cf = CompoundFile::create(path);
    ASSERT_TRUE(cf);
    ASSERT_TRUE(cf->writeAll(stream, bytes));
    ASSERT_TRUE(cf->commit());
}

QString failureOf(const QByteArray& stream) {
    try {
        ReadBiffWorkbook(stream, QStringLiteral("bad.xls"));
    } catch (const XlError& e) {
        return e.description;
    }
    return QStringLiteral("(read)");
}

TEST_F(XlsImport, WhatTheEngineWroteComesBackFromItsBytes) {
    XlWorkbook wb(2);
    XlWorksheet* s = wb.sheet(1);
    wb.renameSheet(s, QStringLiteral("第1页"));
    XlRange a1 = s->range(QStringLiteral("A1"));
    a1.setNumber(12.5);
    a1.setNumberFormat(QStringLiteral("##0.0\\%"));
    a1.setHorizontalAlignment(xl::kRight);
    a1.setVerticalAlignment(xl::kCenter);
    XlRange b1 = s->range(QStringLiteral("B1"));
    b1.setText(QStringLiteral("合计"));
    b1.setFontName(QStringLiteral("黑体"));
    b1.setFontSize(12);
    b1.setBold(true);
    b1.setUnderline(xl::kUnderlineDouble);
    b1.setFontColor(0x000080);  // maroon
    b1.setFillColor(0xC0C0C0);
    for (int edge = xl::kEdgeLeft; edge <= xl::kEdgeRight; ++edge)
        b1.setBorderLineStyle(edge, edge == xl::kEdgeTop ? xl::kDot : xl::kContinuous);
    s->range(QStringLiteral("C2:D4")).merge();
    s->range(QStringLiteral("C2")).setNumber(3);
    s->range(QStringLiteral("B1")).setColumnWidth(16);
    s->range(QStringLiteral("A2")).setRowHeight(24.5);
    QString longText;
    for (int i = 0; i < 9000; ++i) longText.append(QChar(0x4E00 + i % 500));
    wb.sheet(2)->range(QStringLiteral("A1")).setText(longText);
    wb.sheet(2)->range(QStringLiteral("IV65536")).setNumber(1);

    const QString path = dir + QStringLiteral("/round.xls");
    wb.saveAs(path);
    const std::unique_ptr<XlWorkbook> back = ReadWorkbookFile(path);
    ASSERT_EQ(back->sheetCount(), 2);
    XlWorksheet* t = back->sheet(1);
    EXPECT_EQ(t->name(), QStringLiteral("第1页"));
    const XlCell* c = t->findCell(1, 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->kind, XlCell::Number);
    EXPECT_EQ(c->number, 12.5);
    EXPECT_EQ(c->style().numberFormat, QStringLiteral("##0.0\\%"));
    EXPECT_EQ(c->style().hAlign, xl::kRight);
    EXPECT_EQ(c->style().vAlign, xl::kCenter);
    const XlCell* d = t->findCell(1, 2);
    ASSERT_TRUE(d);
    const XlStyle& want = s->findCell(1, 2)->style();
    EXPECT_EQ(d->text, QStringLiteral("合计"));
    EXPECT_EQ(d->style(), want);
    EXPECT_EQ(t->merges(), (std::vector<XlArea>{XlArea{2, 3, 4, 4}}));
    EXPECT_EQ(t->findCell(2, 3)->number, 3);
    EXPECT_EQ(t->columnWidth(2), 16);
    EXPECT_EQ(t->rowHeight(2), 24.5);
    EXPECT_EQ(back->sheet(2)->findCell(1, 1)->text, longText);
    EXPECT_EQ(back->sheet(2)->findCell(65536, 256)->number, 1);
}

TEST_F(XlsImport, Biff5TextsInTheFilesCodePage) {
    const QString path = dir + QStringLiteral("/old.xls");
    writeCompound(path, QStringLiteral("Book"), biff5Book(biff5Cells()));
    const std::unique_ptr<XlWorkbook> wb = ReadWorkbookFile(path);
    XlWorksheet* s = wb->sheet(1);
    EXPECT_EQ(s->name(), QStringLiteral("数据"));
    EXPECT_EQ(s->findCell(1, 1)->text, QStringLiteral("货币资金"));
    EXPECT_EQ(s->findCell(1, 2)->number, -2.5);
    EXPECT_DOUBLE_EQ(s->findCell(2, 1)->number, 12.34);
    EXPECT_EQ(s->findCell(3, 4)->number, 7);
    EXPECT_EQ(s->findCell(3, 5)->number, 8);
}

// A BIFF5 book whose CODEPAGE record says 1200 (UTF-16), as one spreadsheet
// program writes it: its texts are one byte a character whatever the record
// says, and the book reads as the same book saying 1252 does: texts, dates
// and percent formats alike.
TEST_F(XlsImport, Biff5SayingUtf16ReadsAsTheWesternCodePage) {
    Stream c;
    const QByteArray cafe("Caf\xE9", 4);
    c.rec(0x0204, u16(0) + u16(0) + u16(15) + u16(4) + "Name");
    c.rec(0x0204, u16(0) + u16(1) + u16(15) + u16(int(cafe.size())) + cafe);
    c.rec(0x0203, u16(1) + u16(0) + u16(16) + f64(45300));  // 2024-01-09
    c.rec(0x0203, u16(1) + u16(1) + u16(17) + f64(0.125));
    const QList<QByteArray> formats = {"yyyy-mm-dd", "0.0%"};
    std::vector<std::unique_ptr<XlWorkbook>> books;
    for (const int codePage : {1252, 1200})
        books.push_back(ReadBiffWorkbook(biff5Book(c.b, codePage, "Sheet1", formats),
                                      QStringLiteral("old.xls")));
    for (const std::unique_ptr<XlWorkbook>& wb : books) {
        const XlWorksheet* s = wb->sheet(1);
        EXPECT_EQ(s->name(), QStringLiteral("Sheet1"));
        EXPECT_EQ(s->findCell(1, 1)->text, QStringLiteral("Name"));
        EXPECT_EQ(s->findCell(1, 2)->text, QStringLiteral("Café"));
        EXPECT_EQ(s->findCell(2, 1)->kind, XlCell::Text);
        EXPECT_EQ(s->findCell(2, 1)->text, QStringLiteral("2024-01-09"));
        EXPECT_EQ(s->findCell(2, 2)->number, 0.125);
        EXPECT_EQ(s->findCell(2, 2)->style().numberFormat, QStringLiteral("0.0%"));
    }
}

// Cells may come in any order, and a cell twice: they are found where they
// are, in order, and the later record of a cell is the one kept.
TEST_F(XlsImport, CellsInAnyOrderAndTwice) {
    Stream c;
    for (int row = 40; row >= 0; row -= 20)
        for (int col = 9; col >= 0; col -= 3)
            c.rec(0x0203, u16(row) + u16(col) + u16(15) + f64(row * 100 + col));
    c.rec(0x0203, u16(20) + u16(3) + u16(15) + f64(-1));  // again, later
    const std::unique_ptr<XlWorkbook> wb =
        ReadBiffWorkbook(biff5Book(c.b), QStringLiteral("shuffled.xls"));
    const XlWorksheet* s = wb->sheet(1);
    EXPECT_EQ(s->cells().size(), 12u);
    std::vector<std::pair<int, int>> order;
    for (const auto& [pos, cell] : s->cells()) order.push_back(pos);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(s->findCell(41, 10)->number, 4009);
    EXPECT_EQ(s->findCell(1, 1)->number, 0);
    EXPECT_EQ(s->findCell(21, 4)->number, -1);
    EXPECT_FALSE(s->findCell(21, 5));
    EXPECT_EQ(s->usedArea(), (XlArea{1, 1, 41, 10}));
}

// The content decides, not the name.
TEST_F(XlsImport, FilesAreReadByContent) {
    XlWorkbook wb(1);
    wb.sheet(1)->range(QStringLiteral("A1")).setNumber(5);
    wb.saveAs(dir + QStringLiteral("/zip.xlsx"));
    QFile::rename(dir + QStringLiteral("/zip.xlsx"), dir + QStringLiteral("/zip.xls"));
    EXPECT_EQ(ReadWorkbookFile(dir + QStringLiteral("/zip.xls"))->sheet(1)->findCell(1, 1)->number,
              5);
    wb.saveAs(dir + QStringLiteral("/bin.xls"));
    QFile::rename(dir + QStringLiteral("/bin.xls"), dir + QStringLiteral("/bin.xlsx"));
    EXPECT_EQ(ReadWorkbookFile(dir + QStringLiteral("/bin.xlsx"))->sheet(1)->findCell(1, 1)->number,
              5);

    QFile text(dir + QStringLiteral("/t.xls"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("a,b\n1,2\n");
    text.close();
    try {
        ReadWorkbookFile(text.fileName());
        FAIL() << "read";
    } catch (const XlError& e) {
        EXPECT_TRUE(e.description.contains(QStringLiteral("t.xls"))) << e.description.toStdString();
        EXPECT_TRUE(e.description.contains(QStringLiteral("不是工作簿文件")))
            << e.description.toStdString();
    }
    writeCompound(dir + QStringLiteral("/other.xls"), QStringLiteral("Contents"), "x");
    EXPECT_THROW(ReadWorkbookFile(dir + QStringLiteral("/other.xls")), XlError);
}

// Damaged streams give an error naming the file and the record, never a
// crash or a made-up workbook.
TEST_F(XlsImport, DamagedStreamsAreRefusedWithTheirRecord) {
    const QByteArray good = biff5Book(biff5Cells());
    EXPECT_EQ(failureOf(good), QStringLiteral("(read)"));
    for (qsizetype cut : {qsizetype(3), qsizetype(30), good.size() - 3}) {
        const QString why = failureOf(good.left(cut));
        EXPECT_TRUE(why.contains(QStringLiteral("bad.xls"))) << why.toStdString();
    }
    // A record that claims more than the stream holds.
    QByteArray longRecord = good;
    longRecord[qsizetype(2)] = char(0xFF);
    longRecord[qsizetype(3)] = char(0x1F);
    EXPECT_TRUE(failureOf(longRecord).contains(QStringLiteral("BOF"))) << failureOf(longRecord).toStdString();

    Stream badXf;
    badXf.rec(0x0203, u16(0) + u16(0) + u16(99) + f64(1));
    EXPECT_TRUE(failureOf(biff5Book(badXf.b)).contains(QStringLiteral("NUMBER")));
    Stream badString;
    badString.rec(0x00FD, u16(0) + u16(0) + u16(15) + u32(0));
    EXPECT_TRUE(failureOf(biff5Book(badString.b)).contains(QStringLiteral("LABELSST记录已损坏")));
    Stream badColumn;
    badColumn.rec(0x0201, u16(0) + u16(300) + u16(15));
    EXPECT_TRUE(failureOf(biff5Book(badColumn.b)).contains(QStringLiteral("BLANK")));
    Stream badMulRk;
    badMulRk.rec(0x00BD, u16(0) + u16(0) + u16(15) + u32(2) + u16(9));
    EXPECT_TRUE(failureOf(biff5Book(badMulRk.b)).contains(QStringLiteral("MULRK")));
    Stream badMerge;
    badMerge.rec(0x00E5, u16(1000) + u16(0) + u16(1) + u16(0) + u16(1));
    EXPECT_TRUE(failureOf(biff5Book(badMerge.b)).contains(QStringLiteral("MERGEDCELLS")));

    QByteArray farSheet = good;
    const qsizetype bound = farSheet.indexOf(QByteArray("\x85\x00", 2));
    ASSERT_GT(bound, 0);
    farSheet.replace(bound + 4, 4, u32(0x7FFFFFF0));
    EXPECT_TRUE(failureOf(farSheet).contains(QStringLiteral("BOUNDSHEET")));

    // Limits hold for every workbook read.
    XlsxReadLimits few;
    few.maxCells = 2;
    try {
        ReadBiffWorkbook(good, QStringLiteral("bad.xls"), few);
        FAIL() << "read";
    } catch (const XlError& e) {
        EXPECT_TRUE(e.description.contains(QStringLiteral("超出了能读取的限度")))
            << e.description.toStdString();
    }
}

// A BIFF8 stream of one sheet whose A1 is shared string 0: the SST data
// given record by record (the first goes into the SST, the rest into
// CONTINUE records), a font, a style, the sheet and its LABELSST.
QByteArray biff8Book(const QList<QByteArray>& sstParts) {
    Stream g;
    g.rec(0x0809, u16(0x0600) + u16(0x0005) + u16(0) + u16(0) + u32(0) + u32(0));
    g.rec(0x0031, u16(200) + u16(0) + u16(0x7FFF) + u16(400) + u16(0) + QByteArray(4, '\0') +
                      QByteArray(1, 5) + QByteArray(1, 0) + "Arial");
    g.rec(0x00E0, u16(0) + u16(0) + u16(1) + QByteArray(1, 0x20) + QByteArray(3, '\0') + u32(0) + u32(0) + u16(0));
    g.rec(0x00FC, sstParts.value(0));
    for (qsizetype i = 1; i < sstParts.size(); ++i) g.rec(0x003C, sstParts[i]);
    const qsizetype boundAt = g.b.size();
    g.rec(0x0085, u32(0) + QByteArray(2, '\0') + QByteArray(1, 6) + QByteArray(1, 0) + "Sheet1");
    g.rec(0x000A, {});
    g.b.replace(boundAt + 4, 4, u32(uint32_t(g.b.size())));
    g.rec(0x0809, u16(0x0600) + u16(0x0010) + u16(0) + u16(0) + u32(0) + u32(0));
    g.rec(0x00FD, u16(0) + u16(0) + u16(0) + u32(0));
    g.rec(0x000A, {});
    return g.b;
}

QByteArray utf16(const QString& s) {
    QByteArray b;
    for (QChar c : s) b += u16(c.unicode());
    return b;
}

// A shared string goes on in a CONTINUE that starts with its own flag
// byte, which may change the width; a record that ends inside a UTF-16
// character is damaged, named with its offset, as the independent reader
// refuses it too.
TEST_F(XlsImport, SharedStringsSplitBetweenRecords) {
    const QString total = QStringLiteral("营业收入合计");
    const QByteArray head = u32(1) + u32(1) + u16(int(total.size())) + QByteArray(1, 1);
    const QByteArray wide = utf16(total);
    auto a1 = [](const QByteArray& stream) {
        const auto wb = ReadBiffWorkbook(stream, QStringLiteral("split.xls"));
        const XlCell* c = wb->sheet(1)->findCell(1, 1);
        return c ? c->text : QString();
    };
    // Between characters: whole, the rest wide or, by its flag, 8-bit.
    EXPECT_EQ(a1(biff8Book({head + wide.left(6), QByteArray(1, 1) + wide.mid(6)})), total);
    EXPECT_EQ(a1(biff8Book({head, QByteArray(1, 1) + wide})), total);
    const QByteArray mixed = u32(1) + u32(1) + u16(5) + QByteArray(1, 1) + utf16(QStringLiteral("营业"));
    EXPECT_EQ(a1(biff8Book({mixed, QByteArray(1, 0) + "abc"})), QStringLiteral("营业abc"));
    // Rich-text runs after the characters go on without a flag byte.
    const QByteArray rich = u32(1) + u32(1) + u16(2) + QByteArray(1, 0x09) + u16(1) + utf16(QStringLiteral("营业"));
    EXPECT_EQ(a1(biff8Book({rich + u16(0), u16(0)})), QStringLiteral("营业"));

    // Inside a character: 5 of the 12 bytes, then the flag byte.
    const QByteArray cut = biff8Book({head + wide.left(5), QByteArray(1, 1) + wide.mid(5)});
    const QString why = failureOf(cut);
    const qsizetype sstAt = cut.indexOf(QByteArray("\xFC\x00", 2));
    EXPECT_TRUE(why.contains(LoadErrorText(str::kXlsRecordDamaged).arg(QStringLiteral("SST")).arg(sstAt)))
        << why.toStdString();
    // The same inside a CONTINUE, which is named then.
    const QByteArray cut2 = biff8Book({head + wide.left(4), QByteArray(1, 1) + wide.mid(4, 3), QByteArray(1, 1) + wide.mid(7)});
    const qsizetype continueAt = cut2.indexOf(QByteArray("\x3C\x00", 2));
    EXPECT_TRUE(failureOf(cut2).contains(
        LoadErrorText(str::kXlsRecordDamaged).arg(QStringLiteral("CONTINUE")).arg(continueAt)))
        << failureOf(cut2).toStdString();
    if (qortest::needPythonModule("xlrd")) {
        writeCompound(dir + "/cut.xls", QStringLiteral("Workbook"), cut);
        writeCompound(dir + "/whole.xls", QStringLiteral("Workbook"),
                      biff8Book({head + wide.left(6), QByteArray(1, 1) + wide.mid(6)}));
        const auto r = qortest::python("import sys, xlrd\n"
                                       "print(xlrd.open_workbook(sys.argv[1]).sheet_by_index(0).cell_value(0, 0))\n"
                                       "try:\n"
                                       "    v = xlrd.open_workbook(sys.argv[2]).sheet_by_index(0).cell_value(0, 0)\n"
                                       "    print(v == sys.argv[3])\n"
                                       "except Exception:\n"
                                       "    print('refused')\n",
                                       {dir + "/whole.xls", dir + "/cut.xls", total});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        const QStringList lines = QString::fromUtf8(r.out).trimmed().split(u'\n');
        ASSERT_EQ(lines.size(), 2) << r.out.constData();
        EXPECT_EQ(lines[0].trimmed(), total);
        EXPECT_NE(lines[1].trimmed(), QStringLiteral("True")) << r.out.constData();
    }

    // What the engine writes splits its long texts between characters at
    // every offset a record leaves: all of them read back.
    XlWorkbook wb(1);
    XlWorksheet* sheet = wb.sheet(1);
    QStringList texts;
    for (int i = 0; i < 40; ++i) {
        QString t = QString(i, QLatin1Char('a'));
        for (int k = 0; k < 300 + i * 7; ++k) t.append(QChar(0x4E00 + (k * 31 + i) % 5000));
        texts.append(t);
        sheet->range(QStringLiteral("A%1").arg(i + 1)).setText(t);
    }
    wb.saveAs(dir + "/long.xls");
    const auto back = ReadWorkbookFile(dir + "/long.xls");
    for (int i = 0; i < texts.size(); ++i) {
        const XlCell* c = back->sheet(1)->findCell(i + 1, 1);
        ASSERT_TRUE(c) << i;
        EXPECT_EQ(c->text, texts[i]) << i;
    }
}

}  // namespace

namespace {

// DEFCOLWIDTH sets the width of every column without a COLINFO of its own.
TEST_F(XlsImport, DefaultColumnWidthReachesColumnsWithoutAWidth) {
    Stream c;
    c.rec(0x0055, u16(20));
    // 10 characters, stored with the padding of five pixels at seven a digit.
    c.rec(0x007D, u16(0) + u16(0) + u16(2742) + u16(15) + u16(0) + u16(0));
    const QString path = dir + QStringLiteral("/wide.xls");
    writeCompound(path, QStringLiteral("Book"), biff5Book(c.b + biff5Cells()));
    const std::unique_ptr<XlWorkbook> wb = ReadWorkbookFile(path);
    const XlWorksheet* s = wb->sheet(1);
    EXPECT_DOUBLE_EQ(s->columnWidth(1), 10);
    EXPECT_DOUBLE_EQ(s->columnWidth(3), 20 + xl::kDefaultColumnWidth - 8);
    // What the engine writes (8) is the usual default.
    XlWorkbook ours(1);
    ours.sheet(1)->range(QStringLiteral("A1")).setNumber(1);
    ours.saveAs(dir + QStringLiteral("/ours.xls"));
    EXPECT_DOUBLE_EQ(ReadWorkbookFile(dir + QStringLiteral("/ours.xls"))->sheet(1)->columnWidth(2),
                     xl::kDefaultColumnWidth);
}

}  // namespace
