// Foreign dBASE, text, Lotus and Excel 95 files where a user meets them:
// qor convert into a report (what does not read is named, exit 3), a
// report's texts through a .dbf and back, and INDB's date conditions over
// a text file.
#include <gtest/gtest.h>

#include <QFile>
#include <limits>

#include "platform/codepage.h"
#include "platform/compoundfile.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/biff5_testutil.h"
#include "tests/exchange/wk4_testutil.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) { return qortest::run(QStringLiteral(QOR_APP_BINARY), args); }

QString text(const QByteArray& b) { return QString::fromUtf8(b).trimmed(); }

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A dBASE III table by its published layout: header, 32-byte field
// descriptors, 0x0D, records, 0x1A; fields are C(8), N(6,0), D(8).
QByteArray dbf(quint8 driver, const QList<QList<QByteArray>>& records) {
    const QList<QPair<QByteArray, QPair<char, int>>> fields{
        {"NAME", {'C', 8}}, {"N", {'N', 6}}, {"D", {'D', 8}}};
    QByteArray out(32, '\0');
    out[0] = 0x03;
    out[4] = char(records.size());
    const int headerLength = 32 + 32 * int(fields.size()) + 1;
    out[8] = char(headerLength & 0xFF);
    out[9] = char(headerLength >> 8);
    out[10] = char(1 + 8 + 6 + 8);
    out[29] = char(driver);
    for (const auto& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, f.first.size(), f.first);
        d[11] = f.second.first;
        d[16] = char(f.second.second);
        out += d;
    }
    out += '\r';
    for (const QList<QByteArray>& r : records) {
        out += ' ';
        out += r[0].leftJustified(8, ' ', true);
        out += r[1].rightJustified(6, ' ', true);
        out += r[2].leftJustified(8, ' ', true);
    }
    out += '\x1A';
    return out;
}

TEST(QorForeignTexts, DBaseIntoAReportNamesWhatDoesNotRead) {
    const QString dir = qortest::freshDir("qor-foreign-dbf");
    // 1253 by its driver byte: Greek comes in as Greek.
    writeBytes(dir + "/greek.dbf", dbf(0xCB, {{QByteArray::fromHex("c5ebebe7ede9eadc"), "  12.5", "20240109"}}));
    auto greek = qor({"convert", dir + "/greek.dbf", dir + "/greek.rep"});
    ASSERT_EQ(greek.exitCode, 0) << greek.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/greek.rep", "1", "1", "1"}).out), QStringLiteral("Ελληνικά"));
    EXPECT_EQ(text(qor({"get", dir + "/greek.rep", "1", "1", "2"}).out), QStringLiteral("12.5"));

    // Numbers and dates that do not read, and a code page no converter
    // knows: the file comes in without them, exit 3, each named.
    writeBytes(dir + "/bad.dbf", dbf(0x4D, {{"  007", "abc", "20240230"}, {"x", "1,50", "20240109"}}));
    auto bad = qor({"convert", dir + "/bad.dbf", dir + "/bad.rep"});
    EXPECT_EQ(bad.exitCode, 3) << bad.err.constData();
    const QString said = QString::fromUtf8(bad.err);
    EXPECT_TRUE(said.contains(QStringLiteral("共2处，第一处在第1条记录的字段“N”"))) << bad.err.constData();
    EXPECT_TRUE(said.contains(QStringLiteral("共1处，第一处在第1条记录的字段“D”"))) << bad.err.constData();
    // Leading blanks are the text's own.
    EXPECT_EQ(QString::fromUtf8(qor({"get", dir + "/bad.rep", "1", "1", "1"}).out).chopped(1),
              QStringLiteral("  007"));

    writeBytes(dir + "/odd.dbf", dbf(0xF0, {{"abc", "1", "20240109"}}));
    auto odd = qor({"convert", dir + "/odd.dbf", dir + "/odd.rep"});
    EXPECT_EQ(odd.exitCode, 3) << odd.err.constData();
    EXPECT_TRUE(odd.err.contains("0xF0")) << odd.err.constData();
}

// A Visual FoxPro table of a double (B) and a logical (L) field, by the
// published layout: records 1.5/T, NaN/?, +inf/X, -inf/F.
QByteArray foxDoubles() {
    QByteArray out(32, '\0');
    out[0] = 0x30;
    out[4] = 4;
    const int headerLength = 32 + 2 * 32 + 1 + 263;
    out[8] = char(headerLength & 0xFF);
    out[9] = char(headerLength >> 8);
    out[10] = char(1 + 8 + 1);
    out[29] = 0x7A;
    const QList<QPair<QByteArray, QPair<char, int>>> fields{{"AMT", {'B', 8}}, {"OK", {'L', 1}}};
    int offset = 1;
    for (const auto& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, f.first.size(), f.first);
        d[11] = f.second.first;
        d[12] = char(offset);
        d[16] = char(f.second.second);
        if (f.second.first == 'B') d[17] = 2;
        offset += f.second.second;
        out += d;
    }
    out += '\r';
    out += QByteArray(263, '\0');
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, char> records[] = {
        {1.5, 'T'}, {std::numeric_limits<double>::quiet_NaN(), '?'}, {inf, 'X'}, {-inf, 'F'}};
    for (const auto& [v, b] : records) {
        out += ' ';
        out += QByteArray(reinterpret_cast<const char*>(&v), 8);
        out += b;
    }
    out += '\x1A';
    return out;
}

// NaN and the infinities of a double field, and a logical that is none of
// T, F, Y, N, "?": named with exit 3 through qor convert, CONVERT and a
// workbook target, and INDB of the field fails naming it; never an empty
// cell without a word.
TEST(QorForeignTexts, FoxProDoublesThatAreNoNumberAreNamedOnEveryRoute) {
    const QString dir = qortest::freshDir("qor-foreign-fox");
    writeBytes(dir + "/v.dbf", foxDoubles());
    const QString doubles = QStringLiteral("非数值或无穷大（导入为空值）：共3处，第一处在第2条记录的字段“AMT”");
    const QString logical = QStringLiteral("不是T、F、Y、N的值（导入为空值）：共1处，第一处在第3条记录的字段“OK”");
    auto in = qor({"convert", dir + "/v.dbf", dir + "/v.rep"});
    EXPECT_EQ(in.exitCode, 3) << in.err.constData();
    EXPECT_TRUE(QString::fromUtf8(in.err).contains(doubles)) << in.err.constData();
    EXPECT_TRUE(QString::fromUtf8(in.err).contains(logical)) << in.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/v.rep", "1", "1", "1"}).out), QStringLiteral("1.5"));

    auto xlsx = qor({"convert", dir + "/v.dbf", dir + "/v.xlsx"});
    EXPECT_EQ(xlsx.exitCode, 3) << xlsx.err.constData();
    EXPECT_TRUE(QString::fromUtf8(xlsx.err).contains(doubles)) << xlsx.err.constData();

    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qor({"new", rep, "--rows", "2", "--cols", "2", "--pages", "1"}).exitCode, 0);
    QFile script(dir + "/c.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("CONVERT \"%1\" TO \"%2\"\n").arg(dir + "/v.dbf", dir + "/c.rep").toUtf8());
    script.close();
    auto converted = qor({"run", dir + "/c.shl", rep});
    EXPECT_EQ(converted.exitCode, 3) << converted.err.constData() << converted.out.constData();
    EXPECT_TRUE(QString::fromUtf8(converted.err + converted.out).contains(doubles))
        << converted.err.constData() << converted.out.constData();

    QFile indb(dir + "/i.shl");
    ASSERT_TRUE(indb.open(QIODevice::WriteOnly));
    indb.write(QStringLiteral("LET A1 = INDB(\"%1\", \"\", \"AMT\", 3)\n").arg(dir + "/v.dbf").toUtf8());
    indb.close();
    auto read = qor({"run", dir + "/i.shl", rep});
    EXPECT_EQ(read.exitCode, 1) << read.err.constData();
    EXPECT_TRUE(QString::fromUtf8(read.err).contains(QStringLiteral("第2条记录的字段“AMT”"))) << read.err.constData();
}

// A cell " lead" written to a .dbf keeps its blank, as an independent
// reader sees it, and comes back with it.
TEST(QorForeignTexts, LeadingBlanksSurviveADBaseRoundTrip) {
    const QString dir = qortest::freshDir("qor-foreign-lead");
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qor({"new", rep, "--rows", "2", "--cols", "1", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"format", rep, "1", "1", "kind", "text"}).exitCode, 0);
    ASSERT_EQ(qor({"set", rep, "1", "1", "1", " lead"}).exitCode, 0);
    auto out = qor({"convert", rep, dir + "/r.dbf"});
    ASSERT_EQ(out.exitCode, 0) << out.err.constData();
    if (qortest::needPythonModule("dbfread")) {
        auto r = qortest::python("import sys, dbfread\n"
                                 "for rec in dbfread.DBF(sys.argv[1]): print(repr(list(rec.values())[0]))\n",
                                 {dir + "/r.dbf"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_TRUE(text(r.out).startsWith(QStringLiteral("' lead'"))) << r.out.constData();
    }
    ASSERT_EQ(qor({"convert", dir + "/r.dbf", dir + "/back.rep"}).exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(qor({"get", dir + "/back.rep", "1", "1", "1"}).out).chopped(1),
              QStringLiteral(" lead"));
}

// INDB compares a Date column as dates, read by the section's format; a
// date the format cannot read fails the formula with its field and record.
TEST(QorForeignTexts, IndbComparesTextFileDatesAsDates) {
    const QString dir = qortest::freshDir("qor-foreign-indb");
    writeBytes(dir + "/d.txt", "N,D\r\n1,09.01.2024\r\n2,09.01.2024\r\n3,09.01.2024\r\n4,10.01.2024\r\n");
    writeBytes(dir + "/Schema.ini",
               "[d.txt]\r\nColNameHeader=True\r\nFormat=CSVDelimited\r\nDateTimeFormat=dd.mm.yyyy\r\n"
               "Col1=N Double\r\nCol2=D Date\r\n");
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qor({"new", rep, "--rows", "3", "--cols", "3", "--pages", "1"}).exitCode, 0);
    QFile script(dir + "/s.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("LET A1 = INDB(\"%1\", \"\", \"N\", 1, \"[D] = #1/9/2024#\")\n"
                                "LET B1 = INDB(\"%1\", \"\", \"N\", 3, \"[D] = #1/9/2024#\")\n"
                                "LET C1 = INDB(\"%1\", \"\", \"N\", 4, \"[D] = #1/9/2024#\")\n")
                     .arg(dir + "/d.txt")
                     .toUtf8());
    script.close();
    auto ran = qor({"run", dir + "/s.shl", rep});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData() << ran.out.constData();
    EXPECT_EQ(text(qor({"get", rep, "1", "1", "1"}).out), QStringLiteral("1"));
    EXPECT_EQ(text(qor({"get", rep, "1", "1", "2"}).out), QStringLiteral("3"));
    // Only three records match: the fourth is no value, which a number
    // cell shows as 0.
    EXPECT_EQ(text(qor({"get", rep, "1", "1", "3"}).out), QStringLiteral("0"));

    writeBytes(dir + "/d.txt", "N,D\r\n1,09.01.2024\r\n2,31.02.2024\r\n");
    auto failed = qor({"run", dir + "/s.shl", rep});
    EXPECT_EQ(failed.exitCode, 1) << failed.err.constData();
    EXPECT_TRUE(QString::fromUtf8(failed.err).contains(QStringLiteral("第2条记录的字段“D”"))) << failed.err.constData();

    // Another convention in the same column is no date of the section's
    // format: named, never read as the first of September.
    writeBytes(dir + "/d.txt", "N,D\r\n1,09.01.2024\r\n2,01/09/2024\r\n");
    failed = qor({"run", dir + "/s.shl", rep});
    EXPECT_EQ(failed.exitCode, 1) << failed.err.constData();
    EXPECT_TRUE(QString::fromUtf8(failed.err).contains(QStringLiteral("第2条记录的字段“D”"))) << failed.err.constData();
}

// A CSV's old end mark ends it; the texts inf and nan stay texts.
TEST(QorForeignTexts, CsvEndMarkAndNonFiniteTexts) {
    const QString dir = qortest::freshDir("qor-foreign-csv");
    writeBytes(dir + "/e.csv", "A,B\r\n1,inf\r\n2,nan\r\n\x1A");
    auto in = qor({"convert", dir + "/e.csv", dir + "/e.rep"});
    ASSERT_EQ(in.exitCode, 0) << in.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/e.rep", "1", "2", "1"}).out), QStringLiteral("2"));
    EXPECT_EQ(text(qor({"get", dir + "/e.rep", "1", "1", "2"}).out), QStringLiteral("inf"));
    EXPECT_EQ(text(qor({"get", dir + "/e.rep", "1", "3", "1"}).out), QString());

    writeBytes(dir + "/n.csv", "A,B\r\n\"\xe4\xb8\xad\xe6\x96\x87x\xed\xa0\x80y\",1\r\n");
    EXPECT_EQ(qor({"convert", dir + "/n.csv", dir + "/n.rep"}).exitCode, 1);
}

// Lotus and Excel 95 texts by the one decoder: what reads comes in, bytes
// that are no character are named with their cell (exit 3), and a code
// page no converter knows is named, never read as 936.
TEST(QorForeignTexts, LotusAndExcel95IntoAReportNameWhatDoesNotRead) {
    const QString dir = qortest::freshDir("qor-foreign-wk4-xls");
    using wk4test::Cell;
    writeBytes(dir + "/gb.wk4", wk4test::wk4Bytes({Cell{0, 0, QByteArray("\xD6\xD0\xCE\xC4")},
                                                   Cell{1, 0, QByteArray("\xD6\xD0\xCE")}, Cell{1, 1, 2.5}}));
    auto gb = qor({"convert", dir + "/gb.wk4", dir + "/gb.rep"});
    EXPECT_EQ(gb.exitCode, 3) << gb.err.constData();
    EXPECT_TRUE(QString::fromUtf8(gb.err).contains(
        QStringLiteral("代码页CP936中不是文字的字节（存成了替换字符U+FFFD）：共1处，第一处在第1页第2行第1列")))
        << gb.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/gb.rep", "1", "1", "1"}).out), QStringLiteral("中文"));
    EXPECT_EQ(text(qor({"get", dir + "/gb.rep", "1", "2", "2"}).out), QStringLiteral("2.5"));

    writeBytes(dir + "/utf8.wk4", wk4test::wk4Bytes({Cell{0, 0, QByteArray("Caf\xC3\xA9")}, Cell{1, 0, 1.0}}));
    auto utf8 = qor({"convert", dir + "/utf8.wk4", dir + "/utf8.rep"});
    EXPECT_EQ(utf8.exitCode, 0) << utf8.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/utf8.rep", "1", "1", "1"}).out), QStringLiteral("Café"));

    using namespace biff5test;
    auto xls = [&](const char* name, int codePage, const QList<QByteArray>& texts) {
        Stream c;
        for (int i = 0; i < texts.size(); ++i)
            c.rec(0x0204, u16(0) + u16(i) + u16(15) + u16(int(texts[i].size())) + texts[i]);
        std::unique_ptr<qor::CompoundFile> cf = qor::CompoundFile::create(dir + "/" + name);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->writeAll(QStringLiteral("Book"), biff5Book(c.b, codePage, "Sheet1")));
        ASSERT_TRUE(cf->commit());
    };
    const QByteArray greek = QByteArray::fromHex("c5ebebe7ede9eadc");
    xls("greek.xls", 1253, {"Name", greek});
    // (Exit 3 all the same: a report's pages keep no sheet names.)
    auto el = qor({"convert", dir + "/greek.xls", dir + "/greek.rep"});
    EXPECT_FALSE(QString::fromUtf8(el.err).contains(QStringLiteral("代码页"))) << el.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/greek.rep", "1", "1", "2"}).out), QStringLiteral("Ελληνικά"));

    xls("unknown.xls", 9999, {"Name", greek});
    auto unknown = qor({"convert", dir + "/unknown.xls", dir + "/unknown.rep"});
    EXPECT_EQ(unknown.exitCode, 3) << unknown.err.constData();
    EXPECT_TRUE(QString::fromUtf8(unknown.err).contains(
        QStringLiteral("代码页9999不是本系统认识的代码页，文字中非ASCII的字节（存成了替换字符U+FFFD）：共1处，第一处在工作表“Sheet1”的B1")))
        << unknown.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/unknown.rep", "1", "1", "1"}).out), QStringLiteral("Name"));
    EXPECT_FALSE(qor({"get", dir + "/unknown.rep", "1", "1", "2"}).out.contains(qor::encodeCp936(QStringLiteral("烹"))));

    xls("bad.xls", 1253, {"ok", "a\xAA"});
    auto bad = qor({"convert", dir + "/bad.xls", dir + "/bad.rep"});
    EXPECT_EQ(bad.exitCode, 3) << bad.err.constData();
    EXPECT_TRUE(QString::fromUtf8(bad.err).contains(QStringLiteral("代码页CP1253中不是文字的字节"))) << bad.err.constData();
    EXPECT_TRUE(QString::fromUtf8(bad.err).contains(QStringLiteral("工作表“Sheet1”的B1"))) << bad.err.constData();
}

}  // namespace
