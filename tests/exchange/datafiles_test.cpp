// Data files as databases: driver choice, the listing operations, the
// working database, and reading text and dBASE files made by another
// program.

#include "exchange/datafiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <sys/stat.h>

#include <cmath>

#include "exchange/jetdriver.h"
#include "exchange/schemaini.h"
#include "engine/messages.h"
#include "engine/workfiles.h"
#include "tests/common/testsupport.h"

namespace {

using namespace qor::jet;

QString testDir() { return qortest::testDir(QStringLiteral("datafiles-")); }

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Writes a dBASE file with Python's struct module: fields as
// (name, type, width, decimals), records as tuples of byte strings, a
// leading "*" marking a deleted record. Header fields can be overridden to
// make damaged files.
const char* kDbfWriter = R"PY(
import struct, sys, json
path, layout = sys.argv[1], json.loads(sys.argv[2])
fields = layout["fields"]; records = layout["records"]
hlen = layout.get("hlen", 32 + 32 * len(fields) + 1)
rlen = 1 + sum(f[2] for f in fields)
count = layout.get("count", len(records))
out = struct.pack("<BBBBIHH20x", 3, 126, 12, 7, count, hlen, rlen)
out = bytearray(out); out[29] = 0x4D
for name, typ, width, dec in fields:
    out += struct.pack("<11sc4xBB14x", name.encode("cp936"), typ.encode(), width, dec)
out += b"\r"
for rec in records:
    deleted = rec[0].startswith("*")
    if deleted: rec = [rec[0][1:]] + rec[1:]
    out += b"*" if deleted else b" "
    for (name, typ, width, dec), v in zip(fields, rec):
        b = v.encode("cp936")
        out += (b.rjust(width) if typ == "N" else b.ljust(width))[:width]
out += b"\x1a"
open(path, "wb").write(bytes(out))
)PY";

void writeDbf(const QString& path, const QString& layoutJson) {
    const auto r = qortest::python(QString::fromLatin1(kDbfWriter), {path, layoutJson});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
}

TEST(DataFiles, KindByExtensionWithoutCase) {
    for (const char* name : {"BOOK.xls", "book.XLS", "Book.Xls"})
        EXPECT_EQ(dataFileKindFromPath(QString::fromLatin1(name)), DataFileKind::Excel) << name;
    EXPECT_EQ(dataFileKindFromPath(QStringLiteral("/d/sales.TxT")), DataFileKind::Text);
    EXPECT_EQ(dataFileKindFromPath(QStringLiteral("/d/sales.Dbf")), DataFileKind::DBase);
    EXPECT_EQ(dataFileKindFromPath(QStringLiteral("/d/s.wk4")), DataFileKind::Lotus);
    EXPECT_EQ(dataFileKindFromPath(QStringLiteral("/d/sales")), DataFileKind::Access);
    EXPECT_EQ(dataFileKindFromPath(QStringLiteral("x")), DataFileKind::Access);
}

TEST(DataFiles, FullPathNames) {
    EXPECT_FALSE(IsFullPathName(QStringLiteral("a/b.txt")));
    EXPECT_FALSE(IsFullPathName(QStringLiteral("/a/./b.txt")));
    EXPECT_FALSE(IsFullPathName(QStringLiteral("/a/../b.txt")));
    EXPECT_FALSE(IsFullPathName(QStringLiteral("/a//b.txt")));
    EXPECT_FALSE(IsFullPathName(QString()));
    EXPECT_TRUE(IsFullPathName(QStringLiteral("/a/b.txt")));
    EXPECT_TRUE(IsFullPathName(QStringLiteral("/A/b.TXT")));
    EXPECT_TRUE(IsFullPathName(QStringLiteral("/a/b/")));
}

TEST(DataFiles, FolderKindsCountOneTableEvenWhenMissing) {
    const QString dir = testDir();
    for (int index : {0, 1, 7}) {
        EXPECT_EQ(GetDataFileTableName(dir + QStringLiteral("/sales.txt"), index), QStringLiteral("sales#txt"));
        EXPECT_EQ(GetDataFileTableName(dir + QStringLiteral("/sales.dbf"), index), QStringLiteral("sales"));
    }
    EXPECT_EQ(GetDataFileTableCount(dir + QStringLiteral("/sales.txt")), 1);
    EXPECT_EQ(GetDataFileTableCount(dir + QStringLiteral("/sales.DBF")), 1);
    EXPECT_EQ(GetDataFileTableCount(QString()), 0);
    EXPECT_TRUE(GetDataFileTableName(QString(), 0).isNull());
}

// A FIFO or a folder at a data file's name is refused at once, naming it,
// by every kind: nothing waits for a writer at the other end.
TEST(DataFiles, OnlyARegularFileIsReadAsData) {
    const QString dir = testDir();
    const QString notAFile = LoadErrorText(qor::str::kOpenNotAPlainFile).section(QLatin1Char('%'), 0, 0);
    for (const char* name : {"f.dbf", "f.txt", "f.xlsx", "f.xls", "f.wk4", "f.mdb"}) {
        SCOPED_TRACE(name);
        const QString fifo = dir + QLatin1Char('/') + QLatin1String(name);
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString error;
        EXPECT_EQ(GetDataFileTableCount(fifo, &error), 0);
        EXPECT_TRUE(error.contains(fifo)) << error.toStdString();
        error.clear();
        EXPECT_TRUE(GetDataFileTableName(fifo, 0, &error).isNull());
        EXPECT_FALSE(error.isEmpty());
        error.clear();
        EXPECT_EQ(GetDataTableFieldCount(fifo, QFileInfo(fifo).completeBaseName(), &error), 0);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_THROW(OpenDataFileDatabase(fifo, false, true, nullptr), JetError);
        QFile f;
        try {
            OpenDataFileForRead(f, fifo);
            ADD_FAILURE() << "a FIFO was opened";
        } catch (const JetError& e) {
            EXPECT_TRUE(e.message().contains(notAFile)) << e.message().toStdString();
        }
    }
    ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("d.xlsx")));
    QString error;
    EXPECT_EQ(GetDataFileTableCount(dir + QStringLiteral("/d.xlsx"), &error), 0);
    EXPECT_TRUE(error.contains(notAFile)) << error.toStdString();
}

// Opening a path that holds no database never makes one, and the listing
// says why it failed.
TEST(DataFiles, NoDatabaseIsCreatedByOpening) {
    const QString dir = testDir();
    const QString missing = dir + QStringLiteral("/none.mdb");
    QString why;
    EXPECT_EQ(GetDataFileTableCount(missing, &why), 0);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));

    const QString notDb = dir + QStringLiteral("/notes.xls");
    writeBytes(notDb, "just some text\n");
    int kind = -1;
    EXPECT_THROW(OpenDataFileDatabase(notDb, false, false, &kind), JetError);
    EXPECT_EQ(readBytes(notDb), QByteArray("just some text\n"));
    why.clear();
    EXPECT_TRUE(GetDataFileTableName(notDb, 0, &why).isNull());
    EXPECT_FALSE(why.isEmpty());
}

TEST(DataFiles, TemporaryDatabaseListsSystemAndUserTables) {
    QString path;
    {
        TemporaryDatabase temp;
        path = temp.path();
        // In the user's work folder, where a killed process's files are swept.
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(qor::WorkFolder()).absolutePath());
        EXPECT_TRUE(path.endsWith(QStringLiteral(".Mdb")));
        {
            auto db = Database::create(path);
            db->createTable({QStringLiteral("1"), true, 0},
                            {{QStringLiteral("名称"), kText, 255}, {QStringLiteral("Qty"), kDouble, 8}});
            db->addRecord(QStringLiteral("1"), {QStringLiteral("甲"), 2.5});
            db->addRecord(QStringLiteral("1"), {QString(""), QVariant()});
        }
        EXPECT_EQ(GetDataFileTableCount(path), 3);
        const QString user = GetDataFileTableName(path, 2);
        EXPECT_EQ(user, QStringLiteral("1"));
        int kind = -1;
        auto db = OpenDataFileDatabase(path, false, true, &kind);
        EXPECT_EQ(kind, 4);
        const auto defs = db->tableDefs();
        EXPECT_FALSE(isUserTable(defs.at(0).attributes));
        EXPECT_TRUE(isUserTable(defs.at(2).attributes));
        Recordset rs = db->openTable(user);
        ASSERT_EQ(rs.recordCount(), 2);
        EXPECT_EQ(rs.value(QStringLiteral("名称")).toString(), QStringLiteral("甲"));
        EXPECT_DOUBLE_EQ(rs.value(1).toDouble(), 2.5);
        rs.moveNext();
        // An empty text stays a text; a missing value stays null.
        EXPECT_TRUE(rs.value(0).isValid());
        EXPECT_EQ(rs.value(0).toString(), QString());
        EXPECT_FALSE(rs.value(1).isValid());
        rs.moveNext();
        EXPECT_TRUE(rs.isEOF());
        EXPECT_THROW(rs.value(0), JetError);
        EXPECT_THROW(db->addRecord(user, {1, 2}), JetError);  // opened read-only
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(DataFiles, TextFileFromAnotherWriter) {
    const QString dir = testDir();
    const QString path = dir + QStringLiteral("/sales.txt");
    const auto r = qortest::python(QStringLiteral(R"PY(
import csv, sys
with open(sys.argv[1], "w", encoding="cp936", newline="") as f:
    w = csv.writer(f, lineterminator="\r\n")
    w.writerow(["名称", "Qty", "Code"])
    w.writerow(["甲, 乙", "1.5", "007"])
    w.writerow(["say \"hi\"\nnext", "", "A1"])
    f.write('"",-2e3,\r\n')
)PY"),
                                   {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();

    EXPECT_EQ(GetDataTableFieldCount(path, QStringLiteral("sales#txt")), 3);
    FieldInfo info;
    ASSERT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("sales#txt"), 1), 1);
    EXPECT_EQ(info.name, QStringLiteral("Qty"));
    EXPECT_EQ(info.type, kDouble);
    EXPECT_EQ(info.recordCount, 3);
    // Past the last field: 0, the record untouched.
    info.name = QStringLiteral("kept");
    EXPECT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("sales#txt"), 3), 0);
    EXPECT_EQ(info.name, QStringLiteral("kept"));

    int kind = -1;
    auto db = OpenDataFileDatabase(path, false, true, &kind);
    EXPECT_EQ(kind, 0);
    Recordset rs = db->openTable(QStringLiteral("SALES#TXT"));
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fields().at(2).type, kText);  // "A1" among the codes
    EXPECT_EQ(rs.value(0).toString(), QStringLiteral("甲, 乙"));
    EXPECT_EQ(rs.value(2).toString(), QStringLiteral("007"));
    rs.moveNext();
    EXPECT_EQ(rs.value(0).toString(), QStringLiteral("say \"hi\"\nnext"));
    EXPECT_FALSE(rs.value(1).isValid());
    rs.moveNext();
    EXPECT_TRUE(rs.value(0).isValid());
    EXPECT_TRUE(rs.value(0).toString().isEmpty());
    EXPECT_DOUBLE_EQ(rs.value(1).toDouble(), -2000.0);
    EXPECT_FALSE(rs.value(2).isValid());
}

TEST(DataFiles, TextFileLaidOutBySchemaIni) {
    const QString dir = testDir();
    const QString path = dir + QStringLiteral("/codes.txt");
    writeBytes(path, "ignored,too\r\n007,3\r\n");
    qor::SchemaIniTable layout;
    layout.characterSet = QStringLiteral("936");
    layout.columns = {{QStringLiteral("Code"), kText, 10}, {QStringLiteral("N"), kDouble, 0}};
    ASSERT_TRUE(qor::WriteSchemaIniSection(path, layout));
    auto db = OpenDataFileDatabase(path, false, true, nullptr);
    Recordset rs = db->openSnapshot(QStringLiteral("codes#txt"), {QStringLiteral("n"), QStringLiteral("Code")},
                                    QString());
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_DOUBLE_EQ(rs.value(0).toDouble(), 3.0);
    EXPECT_EQ(rs.value(1).toString(), QStringLiteral("007"));
    EXPECT_EQ(rs.fields().at(1).size, 10);
}

// A text column reads as numbers exactly when the C locale reads every
// value as one, with the value it reads, whichever way a value is written.
TEST(DataFiles, TextNumbersReadAsTheCLocaleReadsThem) {
    const QStringList numbers{"0", "-12.5", " 7 ", "+5", "1e5", "1E-07", "-.5", "5.", "00012",
                              "1.5e+3", "123456789012345678901234567890", "5e-324", "1,000"};
    QByteArray csv = "N\r\n";
    for (const QString& n : numbers) csv += "\"" + n.toLatin1() + "\"\r\n";
    const LoadedTable t = parseTextTable(csv, std::nullopt);
    ASSERT_EQ(t.fields.size(), 1);
    EXPECT_EQ(t.fields.at(0).type, kDouble);
    ASSERT_EQ(t.rows.size(), numbers.size());
    for (int i = 0; i < numbers.size(); ++i) {
        bool ok = false;
        const double expected = QLocale::c().toDouble(numbers.at(i).trimmed(), &ok);
        EXPECT_TRUE(ok) << numbers.at(i).toStdString();
        EXPECT_EQ(t.rows.at(i).at(0).toDouble(), expected) << numbers.at(i).toStdString();
    }
    for (const char* text : {"1e", "--1", "1-2", "e5", "1e5e5", "1e999", "0x10", "nan", "1 2"}) {
        const QByteArray one = QByteArray("N\r\n1\r\n\"") + text + "\"\r\n";
        bool ok = false;
        const double v = QLocale::c().toDouble(QString::fromLatin1(text), &ok);
        // "nan" reads in the C locale, but no number cell holds it.
        EXPECT_EQ(parseTextTable(one, std::nullopt).fields.at(0).type == kDouble, ok && std::isfinite(v)) << text;
    }
}

// A file that comes into a folder after the folder was opened read-only is
// a table of it all the same, records and all; so is a name in other case.
TEST(DataFiles, AFileThatAppearsLaterIsATableOfTheOpenFolder) {
    const QString d = qortest::freshDir(QStringLiteral("datafiles-later"));
    auto db = Database::open(d, QStringLiteral("Text;"), false, true);
    QFile f(d + QStringLiteral("/late.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("A,B\r\n1,x\r\n2,y\r\n");
    f.close();
    Recordset rs = db->openTable(QStringLiteral("LATE#TXT"));
    ASSERT_EQ(rs.recordCount(), 2);
    rs.moveNext();
    EXPECT_EQ(rs.value(QStringLiteral("B")).toString(), QStringLiteral("y"));
    EXPECT_EQ(db->recordCount(QStringLiteral("late#txt")), 2);
}

TEST(DataFiles, DamagedTextIsRefusedWithReason) {
    const QString dir = testDir();
    const QString path = dir + QStringLiteral("/bad.txt");
    writeBytes(path, "a,b\r\n\"open,1\r\n");
    QString why;
    EXPECT_EQ(GetDataTableFieldCount(path, QStringLiteral("bad#txt"), &why), 0);
    EXPECT_TRUE(why.contains(QStringLiteral("引号中的文本没有结束"))) << why.toStdString();
    why.clear();
    EXPECT_EQ(GetDataTableFieldCount(path, QStringLiteral("other#txt"), &why), 0);
    EXPECT_FALSE(why.isEmpty());
}

TEST(DataFiles, DBaseFileFromAnotherWriter) {
    const QString dir = testDir();
    const QString path = dir + QStringLiteral("/SALES.DBF");
    writeDbf(path, QStringLiteral(R"({"fields": [["NAME","C",10,0],["名称","C",8,0],["QTY","N",12,2],["N","N",5,0]],
        "records": [["ann","甲乙","1.50","7"], ["*gone","x","0","0"], ["bob","","-3.25",""], ["cy","丙","12","42"]]})"));
    EXPECT_EQ(GetDataTableFieldCount(dir + QStringLiteral("/sales.dbf"), QStringLiteral("sales")), 4);
    FieldInfo info;
    ASSERT_EQ(GetDataTableFieldInfo(&info, path, QStringLiteral("SALES"), 1), 1);
    EXPECT_EQ(info.name, QStringLiteral("名称"));
    EXPECT_EQ(info.type, kText);
    EXPECT_EQ(info.size, 8);
    EXPECT_EQ(info.recordCount, 3);  // the deleted record is not there

    auto db = OpenDataFileDatabase(path, false, true, nullptr);
    Recordset rs = db->openTable(QStringLiteral("sales"));
    EXPECT_EQ(rs.fields().at(2).type, kDouble);
    EXPECT_EQ(rs.fields().at(3).type, kLong);
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.value(1).toString(), QStringLiteral("甲乙"));
    EXPECT_DOUBLE_EQ(rs.value(2).toDouble(), 1.5);
    rs.moveNext();
    EXPECT_EQ(rs.value(0).toString(), QStringLiteral("bob"));
    EXPECT_DOUBLE_EQ(rs.value(2).toDouble(), -3.25);
    EXPECT_FALSE(rs.value(3).isValid());
    rs.move(1);
    EXPECT_EQ(rs.value(3).toInt(), 42);
}

TEST(DataFiles, DamagedDBaseIsRefused) {
    const QString dir = testDir();
    const QString huge = dir + QStringLiteral("/huge.dbf");
    writeDbf(huge, QStringLiteral(R"({"fields": [["A","C",4,0]], "records": [["x"]], "hlen": 65000})"));
    const QString counted = dir + QStringLiteral("/counted.dbf");
    writeDbf(counted, QStringLiteral(R"({"fields": [["A","C",4,0]], "records": [["x"]], "count": 100000000})"));
    const QString cut = dir + QStringLiteral("/cut.dbf");
    writeBytes(cut, QByteArray("\x03\x7e\x0c", 3));
    for (const QString& path : {huge, counted, cut}) {
        const QByteArray before = readBytes(path);
        QString why;
        EXPECT_EQ(GetDataTableFieldCount(path, QFileInfo(path).completeBaseName(), &why), 0) << path.toStdString();
        EXPECT_TRUE(why.contains(QStringLiteral("dBASE"))) << why.toStdString();
        EXPECT_EQ(readBytes(path), before);
    }
}

}  // namespace
