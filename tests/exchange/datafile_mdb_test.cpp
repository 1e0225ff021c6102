// Access files: written by our Jet 4 writer and proven by mdbtools' own
// programs, read back through libmdb, and damaged files refused.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <cmath>
#include <cstring>

#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/datafiles.h"
#include "exchange/dbreaders.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
#include "exchange/reportmdb.h"
#include "platform/codepage.h"
#include "engine/cellgate.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor::jet;
using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("datamdb-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

// The standard output of an mdbtools program; fails the test when it fails.
QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": "
                               << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

NamedTable sales() {
    NamedTable t;
    t.name = QStringLiteral("销售");
    t.table.fields = {{QStringLiteral("名称"), kText, 255},
                      {QStringLiteral("Amount"), kDouble, 8},
                      {QStringLiteral("Qty"), kLong, 4}};
    const QString hundred(100, QChar(u'汉'));
    t.table.rows = {{QStringLiteral("甲\"乙\""), 123456789012345.0, 7},
                    {QVariant(), 0.1234567, QVariant()},
                    {hundred, QVariant(), -2147483647}};
    return t;
}

TEST(AccessFile, WrittenFileReadByMdbtools) {
    const QString d = dir();
    const QString path = d + QStringLiteral("/out.mdb");
    NamedTable second;
    second.name = QStringLiteral("Sheet2");
    second.table.fields = {{QStringLiteral("A"), kDouble, 8}};
    for (int i = 0; i < 3000; ++i) second.table.rows.append(QVariantList{double(i) + 0.5});
    QStringList notes;
    writeAccessFile(path, {sales(), second}, &notes);
    EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();

    EXPECT_EQ(run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path})
                  .split(u'\n', Qt::SkipEmptyParts),
              QStringList({QStringLiteral("销售"), QStringLiteral("Sheet2")}));
    const QString schema = run(QStringLiteral("mdb-schema"), {path});
    EXPECT_TRUE(schema.contains(QStringLiteral("[名称]\t\t\tText (255)"))) << schema.toStdString();
    EXPECT_TRUE(schema.contains(QStringLiteral("[Amount]\t\t\tDouble"))) << schema.toStdString();
    EXPECT_TRUE(schema.contains(QStringLiteral("[Qty]\t\t\tLong Integer"))) << schema.toStdString();

    const QStringList lines = run(QStringLiteral("mdb-export"), {path, QStringLiteral("销售")})
                                  .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.at(0), QStringLiteral("名称,Amount,Qty"));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("\"甲\"\"乙\"\"\",123456789012345")))
        << lines.at(1).toStdString();
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral(",7")));
    EXPECT_TRUE(lines.at(2).startsWith(QStringLiteral(",0.1234567"))) << lines.at(2).toStdString();
    EXPECT_TRUE(lines.at(2).endsWith(QStringLiteral(",")));
    EXPECT_EQ(lines.at(3), QStringLiteral("\"%1\",,-2147483647").arg(QString(100, QChar(u'汉'))));
    // Many data pages, all reached through the usage map.
    EXPECT_EQ(
        run(QStringLiteral("mdb-export"), {QStringLiteral("-H"), path, QStringLiteral("Sheet2")})
            .count(u'\n'),
        3000);
}

TEST(AccessFile, ValuesTheColumnsCannotHoldAreReported) {
    const QString d = dir();
    NamedTable t;
    t.name = QStringLiteral("T");
    t.table.fields = {{QStringLiteral("N"), kInteger, 2}, {QStringLiteral("S"), kText, 255}};
    t.table.rows = {{1e12, QString(300, QChar(u'x'))}, {2.5, QStringLiteral("ok")}};
    QStringList notes;
    writeAccessFile(d + QStringLiteral("/t.mdb"), {t}, &notes);
    // Each kind once, with its count and the first place.
    EXPECT_EQ(notes,
              (QStringList{
                  QStringLiteral("超出长整数范围或带小数的数值（写成了空值）：共2处，"
                                 "第一处在表“T”第1条记录的字段“N”"),
                  QStringLiteral("截短到255个字符的文本：共1处，第一处在表“T”第1条记录的字段“S”")}))
        << notes.join(u'\n').toStdString();
    const QStringList lines =
        run(QStringLiteral("mdb-export"),
            {QStringLiteral("-H"), d + QStringLiteral("/t.mdb"), QStringLiteral("T")})
            .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QStringLiteral(",\"%1\"").arg(QString(255, QChar(u'x'))));
    EXPECT_EQ(lines.at(1), QStringLiteral(",\"ok\""));

    // Twenty texts of 200 Chinese characters cannot share a 4,096-byte
    // page: the longest are cut until the record fits, and that is said.
    NamedTable wide;
    wide.name = QStringLiteral("W");
    QVariantList row;
    for (int i = 0; i < 20; ++i) {
        wide.table.fields.append({QStringLiteral("T%1").arg(i), kText, 255});
        row.append(QString(200, QChar(u'宽')));
    }
    wide.table.rows = {row, row};
    notes.clear();
    writeAccessFile(d + QStringLiteral("/w.mdb"), {wide}, &notes);
    ASSERT_EQ(notes.size(), 1) << notes.join(u'\n').toStdString();
    EXPECT_EQ(notes.at(0),
              QStringLiteral("为放进一页而截短了文本的记录：共2处，第一处在表“W”第1条记录"));
    const QString exported =
        run(QStringLiteral("mdb-export"),
            {QStringLiteral("-H"), d + QStringLiteral("/w.mdb"), QStringLiteral("W")});
    EXPECT_EQ(exported.count(u'\n'), 2);
    EXPECT_GT(exported.count(QChar(u'宽')), 3000);
}

// Definitions longer than one page: 255 columns, and columns with 64-character
// Chinese names (each 130 bytes in the definition), continue on further
// pages. mdbtools and our own reader see every column and every value.
TEST(AccessFile, DefinitionsContinueOnFurtherPages) {
    const QString d = dir();
    NamedTable wide;
    wide.name = QStringLiteral("Wide");
    NamedTable named;
    named.name = QStringLiteral("长名");
    QVariantList wideRow, namedRow;
    for (int i = 0; i < 255; ++i) {
        wide.table.fields.append({QStringLiteral("C%1").arg(i + 1), i % 10 == 9 ? kText : kDouble, 8});
        wideRow.append(i % 10 == 9 ? QVariant(QStringLiteral("文%1").arg(i)) : QVariant(i - 100.25));
    }
    for (int i = 0; i < 60; ++i) {
        named.table.fields.append(
            {QString(62, QChar(u'名')) + QStringLiteral("%1").arg(i, 2, 10, QChar(u'0')), kLong, 4});
        namedRow.append(-i);
    }
    wide.table.rows = {wideRow, wideRow};
    named.table.rows = {namedRow};
    const QString path = d + QStringLiteral("/wide.mdb");
    QStringList notes;
    writeAccessFile(path, {wide, named}, &notes);
    EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();

    const QString schema = run(QStringLiteral("mdb-schema"), {path});
    EXPECT_TRUE(schema.contains(QStringLiteral("[C255]\t\t\tDouble"))) << schema.toStdString();
    EXPECT_TRUE(schema.contains(QStringLiteral("[C250]\t\t\tText (255)")));
    EXPECT_TRUE(schema.contains(QStringLiteral("[%1]").arg(QString(62, QChar(u'名')) + "59")));
    const QStringList lines = run(QStringLiteral("mdb-export"), {path, QStringLiteral("Wide")})
                                  .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0).split(u',').size(), 255);
    EXPECT_TRUE(lines.at(0).endsWith(QStringLiteral("C254,C255")));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("-100.25,-99.25,"))) << lines.at(1).toStdString();
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral(",\"文249\",149.75,150.75,151.75,152.75,153.75")))
        << lines.at(1).toStdString();
    const QStringList longNames = run(QStringLiteral("mdb-export"), {path, QStringLiteral("长名")})
                                      .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(longNames.size(), 2);
    EXPECT_EQ(longNames.at(1).split(u',').last(), QStringLiteral("-59"));

    auto db = Database::open(path, QString(), false, true);
    Recordset rs = db->openTable(QStringLiteral("Wide"));
    ASSERT_EQ(rs.fieldCount(), 255);
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.value(254).toDouble(), 153.75);
    EXPECT_EQ(rs.value(249).toString(), QStringLiteral("文249"));
    const QList<FieldInfo> fields = db->fields(QStringLiteral("长名"));
    ASSERT_EQ(fields.size(), 60);
    EXPECT_EQ(fields.last().name, QString(62, QChar(u'名')) + QStringLiteral("59"));
}

// A report of 255 columns goes out as an Access file, and a failed export
// names no driver the system does not have.
TEST(AccessFile, ReportOf255Columns) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 3, 255);
    setFormat(*h, 0, kCellText, CellArea::area(1, 255, 3, 255));
    toData(*h, 2);
    setNumber(*h, 2, 3, 254, -1.5);
    setText(*h, 2, 3, 255, QStringLiteral("末列"));
    QString error;
    QStringList notes;
    const QString path = d + QStringLiteral("/r.mdb");
    ASSERT_EQ(ExportReportToDataFile(h.get(), path, 0, &error, &notes), 1) << error.toStdString();
    const QStringList lines = run(QStringLiteral("mdb-export"), {path, QStringLiteral("Sheet2")})
                                  .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines.at(0).endsWith(QStringLiteral("IT,IU")));
    EXPECT_TRUE(lines.at(3).endsWith(QStringLiteral(",-1.5,\"末列\""))) << lines.at(3).toStdString();

    auto back = std::make_unique<CReportHandle>(d + QStringLiteral("/back.rep"));
    ASSERT_EQ(ImportDataFileToReport(path, back.get(), &error, &notes), 1) << error.toStdString();
    EXPECT_EQ(back->GetColCount(), 255);
    EXPECT_EQ(back->GetCellText(3, 255, 2), QStringLiteral("末列"));

    EXPECT_EQ(ExportReportToDataFile(h.get(), d + QStringLiteral("/no/such/folder/r.mdb"), 0, &error), 0);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains(QStringLiteral("ODBC"))) << error.toStdString();
}

// A report goes into its Access file straight from its pages, table by
// table: the same file and notes as through a working database, with
// keywords, the longest texts a cell holds, records cut to fit a page,
// and more records than one data page holds.
TEST(AccessFile, ReportStraightToTheFileAsThroughAWorkingDatabase) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 400, 24);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 400, 1));
    setFormat(*h, 0, kCellText, CellArea::area(1, 13, 400, 24));
    CellRef unit{0, 1, 2}, year{0, 1, 3};
    ASSERT_EQ(h->AccessKeywordCell(1, 0, &unit), 0);
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &year), 0);
    toData(*h, 2);
    for (int p = 1; p <= 2; ++p) {
        for (int r = 1; r <= 400; r += p) {
            setText(*h, p, r, 1, QStringLiteral("项目%1").arg(r));
            setNumber(*h, p, r, 2, -r * 1000.125);
        }
        setKeywordText(*h, 0, p, QStringLiteral("单位%1").arg(p));
        setKeyword(*h, 2, p, 2020 + p);
    }
    setText(*h, 1, 5, 1, QString(255, QChar(u'长')));
    for (int c = 13; c <= 24; ++c) setText(*h, 2, 7, c, QString(200, QChar(u'宽')));
    EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(std::nan("")), 8, 3, 2), qor::kValueRefusedStatus);

    QString error;
    QStringList direct;
    ASSERT_EQ(ExportReportToDataFile(h.get(), d + QStringLiteral("/direct.mdb"), 0, &error, &direct), 1)
        << error.toStdString();
    ASSERT_EQ(ExportReportToMdb(h.get(), d + QStringLiteral("/work.db"), &error), 1) << error.toStdString();
    QStringList via;
    {
        auto db = Database::open(d + QStringLiteral("/work.db"), QString(), false, true);
        ASSERT_EQ(ConvertDatabaseToAccessFile(*db, d + QStringLiteral("/via.mdb"), &error, &via), 1)
            << error.toStdString();
    }
    QFile a(d + QStringLiteral("/direct.mdb")), b(d + QStringLiteral("/via.mdb"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray directBytes = a.readAll();
    EXPECT_GT(directBytes.size(), 20 * 4096);
    EXPECT_TRUE(directBytes == b.readAll()) << "files differ";
    EXPECT_EQ(direct, via);
    EXPECT_EQ(direct, QStringList(QStringLiteral(
                          "为放进一页而截短了文本的记录：共1处，第一处在表“Sheet2”第7条记录")));
    EXPECT_EQ(run(QStringLiteral("mdb-export"), {QStringLiteral("-H"), d + QStringLiteral("/direct.mdb"),
                                                 QStringLiteral("Sheet2")})
                  .count(u'\n'),
              400);
}

TEST(AccessFile, ReadBackThroughTheEngine) {
    const QString d = dir();
    const QString path = d + QStringLiteral("/in.mdb");
    writeAccessFile(path, {sales()}, nullptr);
    EXPECT_EQ(GetDataFileTableCount(path), 2);  // the file's catalog counts
    EXPECT_EQ(GetDataFileTableName(path, 1), QStringLiteral("销售"));
    FieldInfo info;
    ASSERT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("销售"), 1), 1);
    EXPECT_EQ(info.name, QStringLiteral("Amount"));
    EXPECT_EQ(info.type, kDouble);
    EXPECT_EQ(info.recordCount, 3);

    auto db = Database::open(path, QString(), false, true);
    EXPECT_FALSE(isUserTable(db->tableDef(QStringLiteral("MSysObjects")).attributes));
    Recordset rs = db->openTable(QStringLiteral("销售"));
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.value(0).toString(), QStringLiteral("甲\"乙\""));
    EXPECT_DOUBLE_EQ(rs.value(1).toDouble(), 123456789012345.0);
    EXPECT_EQ(rs.value(2).toInt(), 7);
    rs.moveNext();
    EXPECT_FALSE(rs.value(0).isValid());
    EXPECT_DOUBLE_EQ(rs.value(1).toDouble(), 0.1234567);
    EXPECT_FALSE(rs.value(2).isValid());

    // Doubles come back whole through the library's text of them.
    NamedTable precise;
    precise.name = QStringLiteral("P");
    precise.table.fields = {{QStringLiteral("V"), kDouble, 8}};
    const QList<double> values{1234567.1234567, 1e-7, -987654321012345.0, 0.1 + 0.2, 5e-324};
    for (double v : values) precise.table.rows.append(QVariantList{v});
    writeAccessFile(d + QStringLiteral("/p.mdb"), {precise}, nullptr);
    auto pdb = Database::open(d + QStringLiteral("/p.mdb"), QString(), false, true);
    Recordset prs = pdb->openTable(QStringLiteral("P"));
    for (double v : values) {
        ASSERT_FALSE(prs.isEOF());
        EXPECT_EQ(prs.value(0).toDouble(), v);
        prs.moveNext();
    }
}

// A file that is no database, a cut one, and one whose usage map points
// outside the file are refused with a reason; nothing is created.
TEST(AccessFile, DamagedFilesAreRefused) {
    const QString d = dir();
    const QString good = d + QStringLiteral("/good.mdb");
    writeAccessFile(good, {sales()}, nullptr);
    const QByteArray bytes = qortest::fileBytes(good);

    auto refused = [&](const QString& name, const QByteArray& content) {
        const QString path = d + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QString error;
        EXPECT_EQ(GetDataFileTableCount(path, &error), 0) << name.toStdString();
        EXPECT_FALSE(error.isEmpty()) << name.toStdString();
        EXPECT_EQ(qortest::fileBytes(path), content);
    };
    refused(QStringLiteral("empty.mdb"), QByteArray());
    refused(QStringLiteral("text.mdb"), QByteArray("just some text, not a database\n"));
    refused(QStringLiteral("cut.mdb"), bytes.left(4096 * 2 + 100));
    QByteArray badMap = bytes;
    badMap[2 * 4096 + 55 + 3] = char(0x7F);  // the catalog's usage map far past the end
    refused(QStringLiteral("badmap.mdb"), badMap);
    QByteArray loop = bytes;
    loop[2 * 4096 + 4] = 2;  // the catalog's definition continues on itself
    refused(QStringLiteral("loop.mdb"), loop);

    QString error;
    EXPECT_EQ(GetDataFileTableCount(d + QStringLiteral("/none.mdb"), &error), 0);
    EXPECT_FALSE(QFile::exists(d + QStringLiteral("/none.mdb")));
}

// A report of several pages saved as an Access file and opened again.
TEST(AccessFile, ReportRoundTrip) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 3, 3);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 3, 1));
    setFormat(*h, 3, 7, CellArea::area(1, 2, 3, 3));
    toData(*h, 2);
    const QString longText(100, QChar(u'报'));
    setText(*h, 1, 1, 1, longText);
    setNumber(*h, 1, 1, 2, 0.1234567);
    setNumber(*h, 2, 3, 3, -98765432109.5);
    const QString path = d + QStringLiteral("/r.mdb");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QString error;
    QStringList notes;
    ASSERT_EQ(ExportReportToDataFile(h.get(), path, 0, &error, &notes), 1) << error.toStdString();
    EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();
    EXPECT_EQ(run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path})
                  .split(u'\n', Qt::SkipEmptyParts),
              QStringList({QStringLiteral("Sheet1"), QStringLiteral("Sheet2")}));

    auto back = std::make_unique<CReportHandle>(d + QStringLiteral("/back.rep"));
    ASSERT_TRUE(back->IsOpen());
    ASSERT_EQ(ImportDataFileToReport(path, back.get(), &error, &notes), 1) << error.toStdString();
    EXPECT_EQ(back->GetPageCount(), 2);
    EXPECT_EQ(back->GetCellText(1, 1, 1), longText);
    CellValue v;
    ASSERT_EQ(back->GetCellValue(&v, 1, 2, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 0.1234567);
    ASSERT_EQ(back->GetCellValue(&v, 3, 3, 2), 0);
    EXPECT_DOUBLE_EQ(v.number, -98765432109.5);
}

}  // namespace

namespace {

// Three pages with labels, long Chinese texts and numbers of 0 to 7
// decimals: saved as each file of several tables and opened again, every
// page gives back the same values.
TEST(TablesFiles, ThreePagesComeBackPageByPage) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 4, 9);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 4, 1));
    for (int c = 2; c <= 9; ++c) setFormat(*h, 3, c - 2, CellArea::area(1, c, 4, c));
    toData(*h, 3);
    auto textOf = [](int p, int r) { return QString(100, QChar(u'甲' + p)) + QString::number(r); };
    auto numberOf = [](int p, int r, int c) {
        // c - 2 decimals: 1.5, 12.25, ... one digit more each column.
        const double scale = std::pow(10.0, c - 2);
        return std::round((p * 1000 + r * 10 + c + 0.1234567) * scale) / scale * (r % 2 ? -1 : 1);
    };
    for (int p = 1; p <= 3; ++p)
        for (int r = 1; r <= 4; ++r) {
            setText(*h, p, r, 1, textOf(p, r));
            for (int c = 2; c <= 9; ++c) setNumber(*h, p, r, c, numberOf(p, r, c));
        }
    for (const QString& ext : {QStringLiteral("mdb"), QStringLiteral("wk4")}) {
        const QString path = d + QStringLiteral("/r.") + ext;
        QString error;
        QStringList notes;
        ASSERT_EQ(ExportReportToDataFile(h.get(), path, 0, &error, &notes), 1)
            << error.toStdString();
        EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();
        auto back = std::make_unique<CReportHandle>(d + QStringLiteral("/back-") + ext +
                                                    QStringLiteral(".rep"));
        ASSERT_EQ(ImportDataFileToReport(path, back.get(), &error, &notes), 1)
            << error.toStdString();
        ASSERT_EQ(back->GetPageCount(), 3) << ext.toStdString();
        for (int p = 1; p <= 3; ++p)
            for (int r = 1; r <= 4; ++r) {
                EXPECT_EQ(back->GetCellText(r, 1, p), textOf(p, r)) << ext.toStdString();
                for (int c = 2; c <= 9; ++c) {
                    CellValue v;
                    ASSERT_EQ(back->GetCellValue(&v, r, c, p), 0);
                    EXPECT_DOUBLE_EQ(v.number, numberOf(p, r, c))
                        << ext.toStdString() << " page " << p << " row " << r << " col " << c;
                }
            }
    }
}

// ---- a Jet 3 file made by hand -------------------------------------------
//
// Old programs leave Access 97 (Jet 3) files, whose texts are bytes of the
// machine's code page: here code page 936. Nothing here writes Jet 3, so
// the test builds one, byte by byte:
//   page 0  header: 00 01 00 00, "Standard Jet DB" at 4, version 0 (Jet 3)
//           at 0x14, sort order 0x0409 at 0x3A and code page 936 at 0x3C;
//           the 126 bytes from 0x18 are masked with RC4 under C7 DA 39 6B.
//   page 1  a data page with the catalog's two usage-map rows.
//   page 2  the catalog's table definition, MSysObjects.
//   page 3  the catalog's records: Id (a table's definition page), ParentId,
//           Name, Type (1, a table), Flags (0x80000002 marks a system table).
//   page 4  the table "客户"'s definition, page 5 its usage-map rows,
//           page 6 its records.
// A data page: 01 01, free space (2), owning definition page (4), record
// count at 8, record offsets from 10, records placed from the page's end
// down. A definition page: 02 01 "VC", next page 0; at 8 the length of
// what follows, the record count at 12, 0x4E (user) or 0x53 (system) at
// 20, the column counts at 21, 23 and 25, no index, the two usage maps at
// 35 and 39 as page << 8 | record; 18-byte column entries from 43 (type,
// number, variable index, number, sort order, code page, flags at 13,
// fixed offset at 14, length at 16), then the names with a one-byte
// length, then FF FF. A usage map record: 00, first page (4), a bit per
// page. A record: its column count (1 byte), fixed columns, variable
// columns, the end of the data (1 byte), the variable columns' offsets
// last to first (1 byte each), their count, the null mask (bit set: a
// value).
namespace jet3 {

constexpr int kPage = 2048;

void put16(QByteArray& b, int at, quint32 v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}
void put32(QByteArray& b, int at, quint32 v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

struct Column {
    QByteArray name;
    quint8 type;  // 4 Long, 3 Integer, 10 Text, 11 OLE
    bool fixed() const { return type == 3 || type == 4; }
    int size() const { return type == 4 ? 4 : type == 3 ? 2 : type == 10 ? 255 : 0; }
};

QByteArray record(const QList<Column>& cols, const QList<QByteArray>& values) {
    QByteArray fixed, var, mask((cols.size() + 7) / 8, '\0');
    QList<int> starts;
    for (int i = 0; i < cols.size(); ++i) {
        const bool present = !values.at(i).isNull();
        if (present) mask[i / 8] = char(quint8(mask[i / 8]) | 1 << (i % 8));
        if (cols.at(i).fixed()) {
            fixed += present ? values.at(i) : QByteArray(cols.at(i).size(), '\0');
        } else {
            starts.append(int(var.size()));
            var += values.at(i);
        }
    }
    // Variable offsets count from the record's start and need the fixed
    // part's final width.
    QByteArray r(1, char(cols.size()));
    r += fixed + var;
    const int varStart = 1 + int(fixed.size());
    r.append(char(varStart + var.size()));
    for (qsizetype k = starts.size() - 1; k >= 0; --k) r.append(char(varStart + starts.at(k)));
    r.append(char(starts.size()));
    r += mask;
    EXPECT_LT(r.size(), 256);  // one-byte offsets only
    return r;
}

QByteArray dataPage(quint32 owner, const QList<QByteArray>& records) {
    QByteArray p(kPage, '\0');
    p[0] = 0x01;
    p[1] = 0x01;
    put32(p, 4, owner);
    put16(p, 8, quint32(records.size()));
    int end = kPage;
    for (int i = 0; i < records.size(); ++i) {
        end -= int(records.at(i).size());
        std::memcpy(p.data() + end, records.at(i).constData(), size_t(records.at(i).size()));
        put16(p, 10 + 2 * i, quint32(end));
    }
    put16(p, 2, quint32(end - 10 - 2 * records.size()));
    return p;
}

// A usage map record owning pages.
QByteArray usageMap(const QList<int>& pages) {
    QByteArray m(128, '\0');
    for (int p : pages) m[5 + p / 8] = char(quint8(m[5 + p / 8]) | 1 << (p % 8));
    return m;
}

QByteArray definition(const QList<Column>& cols, quint32 records, bool system, quint32 maps) {
    QByteArray p(kPage, '\0');
    p[0] = 0x02;
    p[1] = 0x01;
    p[2] = 'V';
    p[3] = 'C';
    put32(p, 12, records);
    p[20] = char(system ? 0x53 : 0x4E);
    int varCount = 0, fixedAt = 0;
    for (const Column& c : cols) varCount += c.fixed() ? 0 : 1;
    put16(p, 21, quint32(cols.size()));
    put16(p, 23, quint32(varCount));
    put16(p, 25, quint32(cols.size()));
    put32(p, 35, maps << 8 | 0);
    put32(p, 39, maps << 8 | 1);
    int at = 43, varIndex = 0;
    for (int i = 0; i < cols.size(); ++i, at += 18) {
        const Column& c = cols.at(i);
        p[at] = char(c.type);
        put16(p, at + 1, quint32(i));
        put16(p, at + 3, c.fixed() ? 0 : quint32(varIndex++));
        put16(p, at + 5, quint32(i));
        if (c.type == 10) {
            put16(p, at + 7, 0x0409);
            put16(p, at + 9, 936);
        }
        p[at + 13] = char(c.fixed() ? 0x03 : 0x02);
        put16(p, at + 14, c.fixed() ? quint32(fixedAt) : 0);
        put16(p, at + 16, quint32(c.size()));
        if (c.fixed()) fixedAt += c.size();
    }
    for (const Column& c : cols) {
        p[at++] = char(c.name.size());
        std::memcpy(p.data() + at, c.name.constData(), size_t(c.name.size()));
        at += int(c.name.size());
    }
    put16(p, at, 0xFFFF);
    at += 2;
    put32(p, 8, quint32(at - 8));
    return p;
}

QByteArray header() {
    QByteArray p(kPage, '\0');
    p[1] = 0x01;
    std::memcpy(p.data() + 4, "Standard Jet DB", 15);
    put16(p, 0x3A, 0x0409);
    put16(p, 0x3C, 936);
    const quint8 key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    quint8 s[256];
    for (int i = 0; i < 256; ++i) s[i] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (int k = 0, i = 0, j = 0; k < 126; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        p[0x18 + k] = char(quint8(p[0x18 + k]) ^ s[(s[i] + s[j]) & 0xFF]);
    }
    return p;
}

QByteArray long32(qint32 v) {
    QByteArray b(4, '\0');
    put32(b, 0, quint32(v));
    return b;
}

// The whole file: the table "客户" of three records.
QByteArray file() {
    const QByteArray table = qor::encodeCp936(QStringLiteral("客户"));
    const QList<Column> catalog{{"Id", 4}, {"ParentId", 4}, {"Name", 10},
                                {"Type", 3}, {"Flags", 4}, {"LvProp", 11}};
    QByteArray one(2, '\0');
    put16(one, 0, 1);
    const QList<QByteArray> catalogRows{
        record(catalog, {long32(2), long32(0), "MSysObjects", one, long32(qint32(0x80000002)), QByteArray()}),
        record(catalog, {long32(4), long32(0), table, one, long32(0), QByteArray()})};
    const QList<Column> cols{{qor::encodeCp936(QStringLiteral("编号")), 4},
                             {qor::encodeCp936(QStringLiteral("名称")), 10},
                             {qor::encodeCp936(QStringLiteral("备注")), 10}};
    const QList<QByteArray> rows{
        record(cols, {long32(1), qor::encodeCp936(QStringLiteral("北京分公司")),
                      qor::encodeCp936(QStringLiteral("应收账款"))}),
        record(cols, {long32(2), qor::encodeCp936(QStringLiteral("上海")), QByteArray()}),
        record(cols, {long32(-3), "ABC", qor::encodeCp936(QStringLiteral("预付，“引号”"))})};
    QByteArray out = header();
    out += dataPage(0, {usageMap({3}), usageMap({})});
    out += definition(catalog, 2, true, 1);
    out += dataPage(2, catalogRows);
    out += definition(cols, 3, false, 5);
    out += dataPage(0, {usageMap({6}), usageMap({})});
    out += dataPage(4, rows);
    return out;
}

}  // namespace jet3

TEST(AccessFile, Jet3TextsReadAsCodePage936) {
    const QString path = dir() + QStringLiteral("/old.mdb");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jet3::file());
    }
    // mdbtools reads the file as we made it, given the code page.
    qputenv("MDB_JET3_CHARSET", "CP936");
    EXPECT_EQ(run(QStringLiteral("mdb-ver"), {path}).trimmed(), QStringLiteral("JET3"));
    EXPECT_EQ(run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).trimmed(),
              QStringLiteral("客户"));
    EXPECT_EQ(run(QStringLiteral("mdb-export"), {path, QStringLiteral("客户")}),
              QStringLiteral("编号,名称,备注\n1,\"北京分公司\",\"应收账款\"\n2,\"上海\",\n"
                             "-3,\"ABC\",\"预付，“引号”\"\n"));
    qunsetenv("MDB_JET3_CHARSET");

    // Our reader sets the code page itself.
    auto db = Database::open(path, QString(), false, true);
    Recordset rs = db->openTable(QStringLiteral("客户"));
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fields().at(1).name, QStringLiteral("名称"));
    EXPECT_EQ(rs.value(QStringLiteral("名称")).toString(), QStringLiteral("北京分公司"));
    EXPECT_EQ(rs.value(QStringLiteral("备注")).toString(), QStringLiteral("应收账款"));
    rs.moveNext();
    EXPECT_EQ(rs.value(0).toInt(), 2);
    EXPECT_FALSE(rs.value(2).isValid());
    rs.moveNext();
    EXPECT_EQ(rs.value(0).toInt(), -3);
    EXPECT_EQ(rs.value(2).toString(), QStringLiteral("预付，“引号”"));
    QVariant v;
    ASSERT_EQ(ReadMdbFieldValue(&v, path, QStringLiteral("客户"), QStringLiteral("名称"),
                                QStringLiteral("[备注] = '应收账款'"), 1),
              1);
    EXPECT_EQ(v.toString(), QStringLiteral("北京分公司"));
}

}  // namespace
