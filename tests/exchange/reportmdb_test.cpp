// A report into a working database and back: one table per page, keyword
// fields, the report's state kept, and targets replaced only when whole.

#include "exchange/reportmdb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/creporthandle.h"
#include "engine/workfiles.h"
#include "exchange/datafilechain.h"
#include "exchange/jetdb.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor::jet;
using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("reportmdb-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

// Files in d other than the ones named: temporaries left behind.
QStringList strays(const QString& d, const QStringList& expected) {
    QStringList out;
    for (const QString& f : QDir(d).entryList(QDir::Files | QDir::Hidden))
        if (!expected.contains(f)) out << f;
    return out;
}

QList<QVariantList> rowsOf(Database& db, const QString& table) {
    Recordset rs = db.openTable(table);
    QList<QVariantList> out;
    for (rs.moveFirst(); !rs.isEOF(); rs.moveNext()) {
        QVariantList row;
        for (int i = 0; i < rs.fieldCount(); ++i) row << rs.value(i);
        out << row;
    }
    return out;
}

TEST(ReportMdb, PagesAsTablesWithKeywordFields) {
    const QString d = dir();
    auto h = newReport(d + "/r.rep", 10, 4);
    setFormat(*h, 0, kCellLabel, CellArea::cell(1, 2));
    setFormat(*h, 0, kCellNumber, CellArea::cell(3, 3));
    // Unit name, year and a user keyword named like column A.
    CellRef unit{0, 10, 1}, year{0, 10, 2}, user{0, 10, 3};
    ASSERT_EQ(h->AccessKeywordCell(1, 0, &unit), 0);
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &year), 0);
    ASSERT_TRUE(h->GetReportFile()->SetUserKeywordName(QStringLiteral("a")));
    h->GetReportFile()->SetUserKeywordType(0);
    ASSERT_EQ(h->AccessKeywordCell(1, 6, &user), 0);
    toData(*h, 3);
    for (int p = 1; p <= 3; ++p) {
        setNumber(*h, p, 2, 2, p * 1.5);
        setKeywordText(*h, 0, p, QStringLiteral("单位%1").arg(p));
        setKeyword(*h, 2, p, 40000 + p);  // above a 16-bit integer
        setKeywordText(*h, 6, p, p == 2 ? QStringLiteral("甲") : QString());
    }
    setNumber(*h, 1, 4, 4, 123456789012345.0);
    setNumber(*h, 2, 3, 3, 0);
    setNumber(*h, 2, 3, 4, 0);
    ASSERT_EQ(h->SetCurPage(2), 0);

    const QString mdb = d + "/out.mdb";
    QString error;
    ASSERT_EQ(ExportReportToMdb(h.get(), mdb, &error), 1) << error.toStdString();
    EXPECT_EQ(h->GetCurPage(), 2);
    EXPECT_TRUE(strays(d, {"r.rep", "out.mdb"}).isEmpty()) << strays(d, {"r.rep", "out.mdb"}).join(' ').toStdString();
    // Built in the private work folder, it still gets a saved file's
    // permissions, and nothing of it stays there.
    EXPECT_EQ(QFileInfo(mdb).permissions() & 0x0777, QFileInfo(d + "/r.rep").permissions() & 0x0777);
    EXPECT_TRUE(QDir(qor::WorkFolder()).entryList({"*.Mdb", "*.tmp"}, QDir::Files | QDir::Hidden).isEmpty());

    auto db = Database::open(mdb, QString(), false, true);
    QStringList users;
    for (const TableDefInfo& t : db->tableDefs())
        if (isUserTable(t.attributes)) users << t.name;
    EXPECT_EQ(users, QStringList({"Sheet1", "Sheet2", "Sheet3"}));
    QStringList names;
    QList<int> types;
    for (const FieldInfo& f : db->fields("Sheet1")) {
        names << f.name;
        types << f.type;
    }
    EXPECT_EQ(names, QStringList({"A", "B", "C", "D", "单位名称", "年", "a_1"}));
    EXPECT_EQ(types, (QList<int>{kDouble, kText, kDouble, kDouble, kText, kLong, kText}));
    const auto rows = rowsOf(*db, "Sheet2");
    ASSERT_EQ(rows.size(), 10);
    // Keywords in record 1 only; whole numbers stay whole above 32,767.
    EXPECT_EQ(rows[0].mid(4), (QVariantList{QStringLiteral("单位2"), qlonglong(40002), QStringLiteral("甲")}));
    EXPECT_EQ(rows[1].mid(4), (QVariantList{QVariant(), QVariant(), QVariant()}));
    // A number in a text column stays a number; an empty cell is null, a
    // 0 the cell holds is 0 whether or not its type was set.
    EXPECT_EQ(rows[1][1].toDouble(), 3.0);
    EXPECT_FALSE(rows[0][0].isValid());
    EXPECT_TRUE(rows[2][2].isValid() && rows[2][2].toDouble() == 0);
    EXPECT_TRUE(rows[2][3].isValid() && rows[2][3].toDouble() == 0);
    EXPECT_EQ(rowsOf(*db, "Sheet1")[3][3].toDouble(), 123456789012345.0);
}

TEST(ReportMdb, OnePageAndTheReportsStateKept) {
    const QString d = dir();
    auto h = newReport(d + "/r.rep", 3, 2);
    CellRef year{0, 3, 2};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &year), 0);
    toData(*h, 2);
    setNumber(*h, 2, 1, 1, 42);
    ASSERT_EQ(h->EnterFormatState(), 0);

    const QString mdb = d + "/page.mdb";
    QFile old(mdb);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the old file");
    old.close();
    QString error;
    // A page that is not there: nothing written, the old file as it was.
    EXPECT_EQ(ExportPageToMdb(h.get(), mdb, 3, &error), 0);
    EXPECT_EQ(qortest::fileBytes(mdb), QByteArray("the old file"));
    EXPECT_EQ(h->IsFormatState(), 1);

    ASSERT_EQ(ExportPageToMdb(h.get(), mdb, 2, &error), 1) << error.toStdString();
    EXPECT_EQ(h->IsFormatState(), 1);
    auto db = Database::open(mdb, QString(), false, true);
    QStringList names;
    for (const FieldInfo& f : db->fields("SHEET")) names << f.name;
    EXPECT_EQ(names, QStringList({"A", "B"}));  // no keyword fields
    EXPECT_EQ(rowsOf(*db, "SHEET")[0][0].toDouble(), 42);
    EXPECT_TRUE(strays(d, {"r.rep", "page.mdb"}).isEmpty());
}

TEST(ReportMdb, ImportBuildsANewReportBesideTheOld) {
    const QString d = dir();
    const QString mdb = d + "/in.mdb";
    {
        auto db = Database::create(mdb);
        db->createTable({"small", true, 0}, {{"名称", kText, 255}, {"金额", kDouble, 8}});
        db->addRecord("small", {QStringLiteral("甲"), 1.25});
        QList<FieldInfo> wide;
        for (int i = 0; i < 260; ++i) wide << FieldInfo{QStringLiteral("F%1").arg(i), kDouble, 8};
        db->createTable({"wide", true, 0}, wide);
        for (int r = 0; r < 3; ++r) {
            QVariantList row;
            for (int i = 0; i < 260; ++i) row << double(r * 1000 + i);
            db->addRecord("wide", row);
        }
        db->createTable({"hidden", true, kHiddenObjectBit}, {{"x", kText, 10}});
    }
    const QString rep = d + "/out.rep";
    QFile old(rep);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("not yet replaced");
    old.close();

    QString error;
    QStringList notes;
    // A database without user tables makes nothing.
    const QString empty = d + "/empty.mdb";
    Database::create(empty);
    EXPECT_EQ(ImportMdbToReport(empty, rep, &error, &notes), 0);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(qortest::fileBytes(rep), QByteArray("not yet replaced"));

    ASSERT_EQ(ImportMdbToReport(mdb, rep, &error, &notes), 1) << error.toStdString();
    EXPECT_TRUE(notes.join(' ').contains("wide")) << notes.join(' ').toStdString();
    CReportHandle back(rep, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    ASSERT_TRUE(back.IsOpen());
    EXPECT_EQ(back.GetPageCount(), 2);
    EXPECT_EQ(back.GetRowCount(), 3);
    EXPECT_EQ(back.GetColCount(), 255);
    EXPECT_EQ(back.GetCellText(1, 1, 1), QStringLiteral("甲"));
    CellValue v;
    ASSERT_EQ(back.GetCellValue(&v, 3, 255, 2), 0);
    EXPECT_DOUBLE_EQ(v.number, 2254);
    EXPECT_TRUE(strays(d, {"in.mdb", "empty.mdb", "out.rep"}).isEmpty())
        << strays(d, {"in.mdb", "empty.mdb", "out.rep"}).join(' ').toStdString();

    // A report file exported from its file, back to a database.
    ASSERT_EQ(ExportReportFileToMdb(rep, d + "/again.mdb", &error), 1) << error.toStdString();
    auto again = Database::open(d + "/again.mdb", QString(), false, true);
    EXPECT_EQ(again->recordCount("Sheet2"), 3);
    EXPECT_EQ(ExportReportFileToMdb(d + "/none.rep", d + "/x.mdb", &error), 0);
    EXPECT_FALSE(QFileInfo::exists(d + "/x.mdb"));
}

TEST(ReportMdb, AReportWithoutPagesGivesItsOneNewPageAndTheDataFileChainTakesTheSameTables) {
    const QString d = dir();
    auto h = newReport(d + "/r.rep", 4, 3);
    ASSERT_EQ(h->GetPageCount(), 0);
    QString error;
    // The export adds the page it writes: page 1 is there to be written.
    EXPECT_EQ(ExportPageToMdb(h.get(), d + "/two.mdb", 2, &error), 0);
    ASSERT_EQ(ExportPageToMdb(h.get(), d + "/one.mdb", 1, &error), 1) << error.toStdString();
    auto one = Database::open(d + "/one.mdb", QString(), false, true);
    EXPECT_EQ(one->recordCount("SHEET"), 4);

    // A data file is written from the same export: its records are the
    // report's tables as the database has them.
    ASSERT_EQ(h->EnterDataState(), 0);
    setNumber(*h, 1, 2, 3, 7.5);
    ASSERT_EQ(ExportReportToMdb(h.get(), d + "/all.mdb", &error), 1) << error.toStdString();
    QStringList notes;
    ASSERT_EQ(ExportReportToDataFile(h.get(), d + "/all.dbf", 0, &error, &notes), 1) << error.toStdString();
    auto all = Database::open(d + "/all.mdb", QString(), false, true);
    auto dbf = Database::open(d, QStringLiteral("dBASE IV;"), false, true);
    EXPECT_EQ(dbf->recordCount(QStringLiteral("all")), all->recordCount(QStringLiteral("Sheet1")));
    EXPECT_DOUBLE_EQ(rowsOf(*dbf, QStringLiteral("all"))[1][2].toDouble(), 7.5);
    EXPECT_DOUBLE_EQ(rowsOf(*all, QStringLiteral("Sheet1"))[1][2].toDouble(), 7.5);
    EXPECT_TRUE(strays(d, {"r.rep", "one.mdb", "all.mdb", "all.dbf", "all.cpg"}).isEmpty())
        << strays(d, {"r.rep", "one.mdb", "all.mdb", "all.dbf", "all.cpg"}).join(' ').toStdString();
}

}  // namespace
