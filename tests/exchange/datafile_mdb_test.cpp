// Access files: written by our Jet 4 writer and proven by mdbtools' own
// programs, read back through libmdb, and damaged files refused.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <cmath>

#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/datafiles.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
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
    EXPECT_EQ(notes.size(), 3) << notes.join(u'\n').toStdString();
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
    ASSERT_EQ(notes.size(), 2) << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes.at(0).contains(QStringLiteral("record 1"))) << notes.at(0).toStdString();
    const QString exported =
        run(QStringLiteral("mdb-export"),
            {QStringLiteral("-H"), d + QStringLiteral("/w.mdb"), QStringLiteral("W")});
    EXPECT_EQ(exported.count(u'\n'), 2);
    EXPECT_GT(exported.count(QChar(u'宽')), 3000);
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

}  // namespace
