// Lotus worksheet files: written by our record writer, read by libwps'
// own wks2csv (as code page 437, mapped back to code page 936 bytes), and
// read back through the engine with their two tables per worksheet.

#include <gtest/gtest.h>

#include <QFile>

#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/datafileconvert.h"
#include "exchange/datafiles.h"
#include "exchange/dbreaders.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
#include "platform/codepage.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"
#include "tests/exchange/wk4_testutil.h"

namespace {

using namespace qor::jet;
using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("datawk4-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

NamedTable sheet(const QString& name, int records) {
    NamedTable t;
    t.name = name;
    t.table.fields = {{QStringLiteral("名称"), kText, 255}, {QStringLiteral("金额"), kDouble, 8}};
    for (int i = 0; i < records; ++i)
        t.table.rows.append(
            QVariantList{i == 1 ? QVariant() : QVariant(QStringLiteral("项目%1").arg(i)),
                         i == 2 ? QVariant() : QVariant(i + 0.125)});
    return t;
}

TEST(LotusFile, WrittenFileReadByWks2csvAndTheEngine) {
    if (!qortest::needProgram(QStringLiteral("wks2csv"))) GTEST_SKIP() << "libwps-tools missing";
    const QString d = dir();
    const QString path = d + QStringLiteral("/out.wk4");
    QStringList notes;
    writeLotusFile(
        path, {sheet(QStringLiteral("Sheet1"), 3), sheet(QStringLiteral("Sheet2"), 9000)}, &notes);
    ASSERT_EQ(notes.size(), 1) << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes.at(0).contains(QStringLiteral("809条记录"))) << notes.at(0).toStdString();

    const auto r = qortest::python(QStringLiteral(R"PY(
import subprocess, sys
out = subprocess.run(["wks2csv", "-e", "CP437", sys.argv[1]], capture_output=True, check=True).stdout
text = out.decode("utf-8").encode("cp437").decode("cp936")
lines = text.splitlines()
print(lines[:4])
)PY"),
                                   {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(),
              QStringLiteral(
                  "['Col1,Col2', '\"名称\",\"金额\"', '\"项目0\",\"0.125\"', '\"\",\"1.125\"']"));

    // Two table definitions per worksheet, every one listed.
    EXPECT_EQ(GetDataFileTableCount(path), 4);
    EXPECT_EQ(GetDataFileTableName(path, 0), QStringLiteral("Sheet1:"));
    EXPECT_EQ(GetDataFileTableName(path, 1), QStringLiteral("Sheet1:A1..B4"));
    EXPECT_EQ(GetDataFileTableName(path, 2), QStringLiteral("Sheet2:"));
    EXPECT_TRUE(GetDataFileTableName(path, 3).startsWith(QStringLiteral("Sheet2:A1..")));
    // Read as a table, row 1 stays a record (only a report's letters row
    // names fields): the names come in as the first record, fields F1, F2.
    FieldInfo info;
    ASSERT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("Sheet2:"), 1), 1);
    EXPECT_EQ(info.name, QStringLiteral("F2"));
    EXPECT_EQ(info.type, kText);
    EXPECT_EQ(info.recordCount, 8192);
    auto db = Database::open(path, QStringLiteral("Lotus WK3;"), false, true);
    Recordset rs = db->openTable(QStringLiteral("Sheet2:"));
    EXPECT_EQ(rs.value(1).toString(), QStringLiteral("金额"));
    rs.move(8191);
    EXPECT_EQ(rs.value(1).toString(), QStringLiteral("8190.125"));
    EXPECT_EQ(rs.value(0).toString(), QStringLiteral("项目8190"));

    // Into a working database: the "<sheet>:" tables only, names kept.
    const QString mdb = d + QStringLiteral("/w.Mdb");
    QString failure;
    ASSERT_EQ(ConvertWk4FileToMdb(path, mdb, &failure), 1) << failure.toStdString();
    {
        auto w = Database::open(mdb, QString(), false, true);
        QStringList names;
        for (const TableDefInfo& t : w->tableDefs())
            if (isUserTable(t.attributes)) names << t.name;
        EXPECT_EQ(names, QStringList({QStringLiteral("Sheet1:"), QStringLiteral("Sheet2:")}));
    }

    // A worksheet spread wider than the limit is refused, not blown up.
    const qint64 old = SetWorksheetAreaLimit(100);
    QString error;
    EXPECT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("Sheet2:"), 0, &error), 0);
    // The message says the limit is about the block the values spread over.
    EXPECT_TRUE(error.contains(QStringLiteral("超过一个表最多的100个"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("A1..B8192有8192行2列，共16384个值")))
        << error.toStdString();
    SetWorksheetAreaLimit(old);
}

TEST(LotusFile, ReportRoundTripAndDamagedFiles) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 3, 3);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 3, 1));
    setFormat(*h, 3, 7, CellArea::area(1, 2, 3, 3));
    toData(*h, 2);
    const QString longText(100, QChar(u'报'));
    setText(*h, 1, 1, 1, longText);
    setNumber(*h, 1, 1, 2, 0.1234567);
    setNumber(*h, 2, 3, 3, -98765432109.5);
    const QString path = d + QStringLiteral("/r.wk4");
    QString error;
    QStringList notes;
    ASSERT_EQ(ExportReportToDataFile(h.get(), path, 0, &error, &notes), 1) << error.toStdString();
    EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();

    auto back = std::make_unique<CReportHandle>(d + QStringLiteral("/back.rep"));
    ASSERT_TRUE(back->IsOpen());
    ASSERT_EQ(ImportDataFileToReport(path, back.get(), &error, &notes), 1) << error.toStdString();
    EXPECT_EQ(back->GetPageCount(), 2);  // one page per worksheet, not per table definition
    EXPECT_EQ(back->GetCellText(1, 1, 1), longText);
    CellValue v;
    ASSERT_EQ(back->GetCellValue(&v, 1, 2, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 0.1234567);
    ASSERT_EQ(back->GetCellValue(&v, 3, 3, 2), 0);
    EXPECT_DOUBLE_EQ(v.number, -98765432109.5);

    // Cut, random and foreign bytes: refused with a reason.
    const QByteArray good = qortest::fileBytes(path);
    for (const QByteArray& bad :
         {good.left(30), QByteArray(4096, '\x5a'), QByteArray("\0\0\x1a\0\x02\x10", 6)}) {
        const QString p = d + QStringLiteral("/bad.wk4");
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bad);
        f.close();
        error.clear();
        EXPECT_EQ(GetDataFileTableCount(p, &error), 0);
        EXPECT_FALSE(error.isEmpty());
    }
}

// One rule for every route that reads a worksheet (INDB, the conversion
// into a working database, a report): cells stay where they stand from A1;
// only a report's letters row names the fields. Each file is written byte
// by byte.
TEST(LotusFile, EveryRouteKeepsRowsWhereTheyStand) {
    using wk4test::Cell;
    struct Case {
        const char* what;
        QList<Cell> cells;
        QStringList fields;                  // name and kind ("A:D" Double, "F1:T" Text)
        QList<QStringList> records;          // as INDB reads them, "" for none
        QList<std::tuple<int, int, QString>> report;  // row, column, text of the report
    };
    const QList<Case> cases = {
        {"first used row is row 3", {{2, 0, QByteArray("A")}, {2, 1, QByteArray("B")}, {3, 0, 1.0}, {4, 0, 2.0}},
         {"F1:T", "F2:T"}, {{"", ""}, {"", ""}, {"A", "B"}, {"1", ""}, {"2", ""}},
         {{1, 1, ""}, {3, 1, "A"}, {3, 2, "B"}, {4, 1, "1"}, {5, 1, "2"}}},
        {"row 1 of texts is a record", {{0, 0, QByteArray("Name")}, {0, 1, QByteArray("Amount")}, {1, 0, QByteArray("甲")}, {1, 1, 5.0}},
         {"F1:T", "F2:T"}, {{"Name", "Amount"}, {"甲", "5"}},
         {{1, 1, "Name"}, {1, 2, "Amount"}, {2, 1, "甲"}, {2, 2, "5"}}},
        {"row 1 of numbers is a record", {{0, 0, 10.0}, {0, 1, 20.0}, {1, 0, 30.0}},
         {"F1:D", "F2:D"}, {{"10", "20"}, {"30", ""}}, {{1, 1, "10"}, {1, 2, "20"}, {2, 1, "30"}}},
        {"a report's letters row", {{0, 0, QByteArray("A")}, {0, 1, QByteArray("B")}, {1, 0, 1.5}, {1, 1, QByteArray("甲")}},
         {"A:D", "B:T"}, {{"1.5", "甲"}}, {{1, 1, "1.5"}, {1, 2, "甲"}}},
        {"letters then a keyword's name", {{0, 0, QByteArray("A")}, {0, 1, QByteArray("年")}, {1, 0, 1.5}, {1, 1, 2024.0}},
         {"A:D", "年:D"}, {{"1.5", "2024"}}, {{1, 1, "1.5"}, {1, 2, "2024"}}},
    };
    const QString d = dir();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = d + QStringLiteral("/t.wk4");
        QFile::remove(path);
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            // Code page 936, as 1-2-3 on a Chinese system writes it.
            QList<Cell> gb = c.cells;
            for (Cell& cell : gb)
                if (cell.value.typeId() == QMetaType::QByteArray)
                    cell.value = qor::encodeCp936(QString::fromUtf8(cell.value.toByteArray()));
            f.write(wk4test::wk4Bytes(gb));
        }
        // The fields and records INDB reads.
        for (int i = 0; i < c.fields.size(); ++i) {
            FieldInfo info;
            ASSERT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("Sheet1:"), i), 1);
            EXPECT_EQ(info.name + (info.type == kDouble ? ":D" : ":T"), c.fields[i]);
            EXPECT_EQ(info.recordCount, c.records.size());
        }
        for (int r = 0; r < c.records.size(); ++r)
            for (int i = 0; i < c.fields.size(); ++i) {
                QVariant v;
                QString error;
                // No value reads as 0, which INDB gives as its number 0.
                EXPECT_EQ(ReadWk4FieldValue(&v, path, QStringLiteral("Sheet1:"), c.fields[i].section(u':', 0, 0),
                                            QString(), r + 1, &error),
                          c.records[r][i].isEmpty() ? 0 : 1)
                    << error.toStdString();
                const QString got = v.typeId() == QMetaType::Double ? QString::number(v.toDouble()) : v.toString();
                EXPECT_EQ(got, c.records[r][i]) << "record " << r + 1 << " field " << i + 1;
            }
        // Into a working database: the same fields and records.
        const QString mdb = d + QStringLiteral("/t.Mdb");
        QFile::remove(mdb);
        QString failure;
        ASSERT_EQ(ConvertWk4FileToMdb(path, mdb, &failure), 1) << failure.toStdString();
        {
            auto w = Database::open(mdb, QString(), false, true);
            Recordset rs = w->openTable(QStringLiteral("Sheet1:"));
            QStringList names;
            for (const FieldInfo& f : rs.fields()) names << f.name + (f.type == kDouble ? ":D" : ":T");
            EXPECT_EQ(names, c.fields);
            for (int r = 0; r < c.records.size(); ++r, rs.move(1))
                for (int i = 0; i < c.fields.size(); ++i) {
                    const QVariant v = rs.value(i);
                    const QString got = v.typeId() == QMetaType::Double ? QString::number(v.toDouble()) : v.toString();
                    EXPECT_EQ(got, c.records[r][i]) << "record " << r + 1 << " field " << i + 1;
                }
            EXPECT_TRUE(rs.isEOF());
        }
        // Into a report, a page of cells where they stand.
        auto h = std::make_unique<CReportHandle>(d + QStringLiteral("/r.rep"));
        ASSERT_TRUE(h->IsOpen());
        QString error;
        QStringList notes;
        ASSERT_EQ(ImportDataFileToReport(path, h.get(), &error, &notes), 1) << error.toStdString();
        for (const auto& [row, col, text] : c.report) EXPECT_EQ(h->GetCellText(row, col, 1), text) << row << "," << col;
        h.reset();
        QFile::remove(d + QStringLiteral("/r.rep"));
    }
}

}  // namespace
