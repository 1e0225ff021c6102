// Text and dBASE files written from a working database and from a report,
// read back by other programs' readers.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/datafileconvert.h"
#include "exchange/jetdb.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor::jet;
using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("datawrite-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A working database of two tables of the same layout.
void makeDatabase(const QString& path, const QString& longText = QString()) {
    auto db = Database::create(path);
    const QList<FieldInfo> fields{{QStringLiteral("名称名称名称X"), kText, 255},
                                  {QStringLiteral("名称名称名称Y"), kText, 255},
                                  {QStringLiteral("Amount"), kDouble, 8}};
    db->createTable({QStringLiteral("first"), true, 0}, fields);
    db->createTable({QStringLiteral("second"), true, 0}, fields);
    db->addRecord(QStringLiteral("first"), {QStringLiteral("甲,\"乙\""), QString(""), 1234567.1234567});
    db->addRecord(QStringLiteral("first"), {QVariant(), longText.isEmpty() ? QStringLiteral("x") : longText, -0.5});
    db->addRecord(QStringLiteral("second"), {QStringLiteral("丙"), QStringLiteral("y"), QVariant()});
}

TEST(DataFileWrite, TextFileAndSchemaIniReadByPython) {
    const QString d = dir();
    const QString mdb = d + QStringLiteral("/work.Mdb");
    makeDatabase(mdb);
    const QByteArray otherSection = "[a.txt]\r\nColNameHeader=False\r\nFormat=TabDelimited\r\n\r\n";
    put(d + QStringLiteral("/Schema.ini"), otherSection + "[B.TXT]\r\nCol1=old Char Width 3\r\n");
    QString error;
    QStringList notes;
    ASSERT_EQ(ConvertMdbToTextFile(mdb, d + QStringLiteral("/b.txt"), &error, &notes), 1) << error.toStdString();
    EXPECT_TRUE(bytesOf(d + QStringLiteral("/Schema.ini")).startsWith(otherSection));

    const auto r = qortest::python(QStringLiteral(R"PY(
import csv, configparser, sys
d = sys.argv[1]
rows = list(csv.reader(open(d + "/b.txt", encoding="cp936", newline="")))
print(repr(rows))
raw = open(d + "/b.txt", "rb").read()
assert b"\r\n" in raw and raw.count(b"\r\n") == 4, raw
cp = configparser.ConfigParser(); cp.optionxform = str
cp.read(d + "/Schema.ini", encoding="cp936")
secs = [s for s in cp.sections() if s.lower() == "b.txt"]
assert secs == ["b.txt"], cp.sections()
s = cp["b.txt"]
print(s["ColNameHeader"], s["Format"], s["CharacterSet"], s["Col1"], s["Col3"])
)PY"),
                                   {d});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(QStringLiteral("['名称名称名称X', '名称名称名称Y', 'Amount']"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("['甲,\"乙\"', '', '1234567.1234567']"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("['', 'x', '-0.5']"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("['丙', 'y', '']"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("True CSVDelimited 936"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Amount Double"))) << out.toStdString();

    // And back: the null stays null, the empty text stays a text.
    const QString back = d + QStringLiteral("/back.Mdb");
    ASSERT_EQ(ConvertTextFileToMdb(d + QStringLiteral("/b.txt"), back, QStringLiteral("1"), &error), 1)
        << error.toStdString();
    auto db = Database::open(back, QString(), false, true);
    Recordset rs = db->openTable(QStringLiteral("1"));
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_TRUE(rs.value(1).isValid());
    EXPECT_DOUBLE_EQ(rs.value(2).toDouble(), 1234567.1234567);
    rs.moveNext();
    EXPECT_FALSE(rs.value(0).isValid());
}

TEST(DataFileWrite, TextOutsideCodePageIsWrittenAsUtf8) {
    const QString d = dir();
    const QString mdb = d + QStringLiteral("/work.Mdb");
    {
        auto db = Database::create(mdb);
        db->createTable({QStringLiteral("t"), true, 0}, {{QStringLiteral("T"), kText, 255}});
        db->addRecord(QStringLiteral("t"), {QStringLiteral("€ 😀 中")});
    }
    ASSERT_EQ(ConvertMdbToTextFile(mdb, d + QStringLiteral("/u.txt")), 1);
    const auto r = qortest::python(QStringLiteral(R"PY(
import csv, configparser, sys
d = sys.argv[1]
raw = open(d + "/Schema.ini", "rb").read()
enc = "utf-16" if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else "utf-8"
cp = configparser.ConfigParser(); cp.read(d + "/Schema.ini", encoding=enc)
assert cp["u.txt"]["CharacterSet"] == "65001"
rows = list(csv.reader(open(d + "/u.txt", encoding="utf-8", newline="")))
assert rows[1] == ["€ 😀 中"], rows
)PY"),
                                   {d});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

// Numbers are written in their shortest form and read back exactly by
// another program, at both ends of the range and around the point where
// the written form changes from plain digits to an exponent.
TEST(DataFileWrite, TextNumbersReadBackExactly) {
    const QString d = dir();
    const QString mdb = d + QStringLiteral("/work.Mdb");
    const QList<double> values{0.30000000000000004, 1e-7, 0.0001, 100000.0, 1234567.125,
                               123456789012345.67, 9999999999999998.0, 1e16, 12345678901234567890.0,
                               1e21, -0.0, -2.5e-310, 5e-324, 1.7976931348623157e308, -3.25};
    {
        auto db = Database::create(mdb);
        db->createTable({QStringLiteral("t"), true, 0}, {{QStringLiteral("N"), kDouble, 8}});
        for (double v : values) db->addRecord(QStringLiteral("t"), {v});
    }
    ASSERT_EQ(ConvertMdbToTextFile(mdb, d + QStringLiteral("/n.txt")), 1);
    const auto r = qortest::python(QStringLiteral(R"PY(
import csv, sys
for row in list(csv.reader(open(sys.argv[1] + "/n.txt", encoding="cp936", newline="")))[1:]:
    print(float(row[0]).hex())
)PY"),
                                   {d});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), values.size());
    for (int i = 0; i < values.size(); ++i) {
        char hex[64];
        std::snprintf(hex, sizeof hex, "%a", values.at(i));
        // Python writes 0x1.8p+1 where C writes the same; zero's sign is
        // the one difference a text file need not keep.
        const double back = std::strtod(lines.at(i).trimmed().toLatin1().constData(), nullptr);
        EXPECT_EQ(back, values.at(i)) << hex << " came back as " << lines.at(i).toStdString();
    }
}

TEST(DataFileWrite, DBaseReadByDbfread) {
    if (!qortest::needPythonModule(QStringLiteral("dbfread")))
        GTEST_SKIP() << "python3-dbfread missing";
    const QString d = dir();
    const QString mdb = d + QStringLiteral("/work.Mdb");
    makeDatabase(mdb, QString(300, QChar(u'长')));
    QString error;
    QStringList notes;
    ASSERT_EQ(ConvertMdbToDbfFile(mdb, d + QStringLiteral("/out.dbf"), &error, &notes), 1) << error.toStdString();
    EXPECT_EQ(bytesOf(d + QStringLiteral("/out.cpg")), QByteArray("936"));
    // Names cut to 10 bytes and kept apart; the long text cut and said so.
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("名称名称名"))) << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("截短到254字节")))
        << notes.join(u'\n').toStdString();

    const auto r = qortest::python(QStringLiteral(R"PY(
import sys, dbfread
t = dbfread.DBF(sys.argv[1] + "/out.dbf")
assert t.encoding == "cp936", t.encoding
print(t.field_names)
for rec in t: print(list(rec.values()))
)PY"),
                                   {d});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.constData();
    EXPECT_EQ(lines[0], QStringLiteral("['名称名称名', '名称名称~1', 'Amount']"));
    // A dBASE text field has no null: missing and empty texts read alike.
    EXPECT_EQ(lines[1], QStringLiteral("['甲,\"乙\"', '', 1234567.1234567]"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("['', '") + QString(127, QChar(u'长')) + QStringLiteral("', -0.5]")))
        << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("['丙', 'y', None]"));  // the second table follows the first
}

TEST(DataFileWrite, NothingToWriteLeavesTheOldFiles) {
    const QString d = dir();
    const QString mdb = d + QStringLiteral("/empty.Mdb");
    Database::create(mdb);
    put(d + QStringLiteral("/old.dbf"), "old dbf");
    put(d + QStringLiteral("/old.txt"), "old text");
    QString error;
    EXPECT_EQ(ConvertMdbToDbfFile(mdb, d + QStringLiteral("/old.dbf"), &error), 0);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ConvertMdbToTextFile(mdb, d + QStringLiteral("/old.txt"), &error), 0);
    EXPECT_EQ(bytesOf(d + QStringLiteral("/old.dbf")), QByteArray("old dbf"));
    EXPECT_EQ(bytesOf(d + QStringLiteral("/old.txt")), QByteArray("old text"));
    EXPECT_EQ(QDir(d).entryList(QDir::Files | QDir::Hidden).size(), 3);  // no temporaries left

    // A relative source is refused before the database path is touched.
    put(d + QStringLiteral("/keep.Mdb"), "keep");
    EXPECT_EQ(ConvertTextFileToMdb(QStringLiteral("rel/a.txt"), d + QStringLiteral("/keep.Mdb"), QStringLiteral("1")), 0);
    EXPECT_EQ(bytesOf(d + QStringLiteral("/keep.Mdb")), QByteArray("keep"));
}

// A report saved as each data file and opened again gives the same values.
TEST(DataFileWrite, ReportRoundTrip) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 3, 3);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 3, 1));
    setFormat(*h, 3, 7, CellArea::area(1, 2, 3, 3));
    toData(*h, 1);
    const QString longText(100, QChar(u'报'));
    setText(*h, 1, 1, 1, longText);
    setText(*h, 1, 2, 1, QStringLiteral("乙"));
    setNumber(*h, 1, 1, 2, 0.1234567);
    setNumber(*h, 1, 2, 2, -98765432109.5);
    setNumber(*h, 1, 3, 3, 7);
    for (const QString& ext : {QStringLiteral("txt"), QStringLiteral("dbf")}) {
        const QString path = d + QStringLiteral("/r.") + ext;
        QString error;
        QStringList notes;
        ASSERT_EQ(ExportReportToDataFile(h.get(), path, 0, &error, &notes), 1) << error.toStdString();
        EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();
        EXPECT_EQ(h->GetCurPage(), 1);

        auto back = std::make_unique<CReportHandle>(d + QStringLiteral("/back-") + ext + QStringLiteral(".rep"));
        ASSERT_TRUE(back->IsOpen());
        ASSERT_EQ(ImportDataFileToReport(path, back.get(), &error, &notes), 1) << error.toStdString();
        EXPECT_EQ(back->GetRowCount(), 3);
        EXPECT_EQ(back->GetColCount(), 3);
        EXPECT_EQ(back->GetCellText(1, 1, 1), longText) << ext.toStdString();
        EXPECT_EQ(back->GetCellText(2, 1, 1), QStringLiteral("乙"));
        CellValue v;
        ASSERT_EQ(back->GetCellValue(&v, 1, 2, 1), 0);
        EXPECT_DOUBLE_EQ(v.number, 0.1234567);
        ASSERT_EQ(back->GetCellValue(&v, 2, 2, 1), 0);
        EXPECT_DOUBLE_EQ(v.number, -98765432109.5);
        ASSERT_EQ(back->GetCellValue(&v, 3, 3, 1), 0);
        EXPECT_DOUBLE_EQ(v.number, 7);
    }
}

}  // namespace

namespace {

// Exact bytes of a text export whose columns change kind from record to
// record and whose texts recur; with a text code page 936 cannot hold, the
// recurring texts must come out in UTF-8 too, not in bytes kept from the
// first attempt.
TEST(DataFileWrite, TextBytesOfRecurringTextsAndMixedColumns) {
    const QString d = dir();
    const auto exportWith = [&](const QString& odd) {
        const QString mdb = d + QStringLiteral("/w") + QString::number(odd.size()) + QStringLiteral(".Mdb");
        {
            auto db = Database::create(mdb);
            db->createTable({QStringLiteral("t"), true, 0},
                            {{QStringLiteral("N"), kDouble, 8}, {QStringLiteral("T"), kText, 255}});
            const QString t = QStringLiteral("项目");
            db->addRecord(QStringLiteral("t"), {1.5, t});
            db->addRecord(QStringLiteral("t"), {QVariant(), t});
            db->addRecord(QStringLiteral("t"), {qint64(3), odd});
            db->addRecord(QStringLiteral("t"), {-0.25, t});
            db->addRecord(QStringLiteral("t"), {2.0, QVariant()});
        }
        const QString out = d + QStringLiteral("/o") + QString::number(odd.size()) + QStringLiteral(".txt");
        EXPECT_EQ(ConvertMdbToTextFile(mdb, out), 1);
        return bytesOf(out);
    };
    const QByteArray gb = QByteArray::fromHex("cfeec4bf");  // 项目 in code page 936
    EXPECT_EQ(exportWith(QStringLiteral("乙")),
              "\"N\",\"T\"\r\n1.5,\"" + gb + "\"\r\n,\"" + gb + "\"\r\n3,\"" + QByteArray::fromHex("d2d2") + "\"\r\n-0.25,\"" +
                  gb + "\"\r\n2,\r\n");
    const QByteArray u8 = QStringLiteral("项目").toUtf8();
    EXPECT_EQ(exportWith(QStringLiteral("€😀")), "\"N\",\"T\"\r\n1.5,\"" + u8 + "\"\r\n,\"" + u8 + "\"\r\n3,\"" +
                                                      QStringLiteral("€😀").toUtf8() + "\"\r\n-0.25,\"" + u8 +
                                                      "\"\r\n2,\r\n");
}

}  // namespace
