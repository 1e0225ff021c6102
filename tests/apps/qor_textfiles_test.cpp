// Text files from other programs: UTF-8 without a mark comes in as
// written, and ".csv" is taken wherever ".txt" is.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

QString out(const qortest::ProcessResult& r) { return QString::fromUtf8(r.out).trimmed(); }

using qortest::writeFile;

// Converted to a report: the first record's first value (the header row
// names the columns; without a Schema.ini section the conversion names
// that line as not in the report).
QString firstValue(const QString& dir, const QString& name, const QByteArray& bytes) {
    writeFile(dir + "/" + name, bytes);
    const QString rep = dir + "/" + name + ".rep";
    auto c = qor({"convert", dir + "/" + name, rep});
    EXPECT_EQ(c.exitCode, 3) << name.toStdString() << c.err.constData();
    EXPECT_TRUE(QString::fromUtf8(c.err).contains(QStringLiteral("第1行“项目,金额”"))) << c.err.constData();
    return out(qor({"get", rep, "1", "1", "1"}));
}

TEST(QorTextFiles, EncodingIsTakenFromTheBytesWhenNothingSaysIt) {
    const QString dir = qortest::freshDir("encoding");
    const QByteArray text = QStringLiteral("项目,金额\n营业收入,1\n").toUtf8();
    const QString want = QStringLiteral("营业收入");
    EXPECT_EQ(firstValue(dir, "plain.txt", text), want);
    EXPECT_EQ(firstValue(dir, "marked.txt", "\xEF\xBB\xBF" + text), want);
    EXPECT_EQ(firstValue(dir, "comma.csv", text), want);
    // Code page 936 as before: its Chinese bytes are no valid UTF-8.
    const QByteArray gbk("\xCF\xEE\xC4\xBF,\xBD\xF0\xB6\xEE\n\xD3\xAA\xD2\xB5\xCA\xD5\xC8\xEB,1\n");
    EXPECT_EQ(firstValue(dir, "gbk.txt", gbk), want);

    // A Schema.ini section naming a character set is obeyed.
    const QString sub = qortest::freshDir("encoding-said");
    writeFile(sub + "/Schema.ini", "[said.txt]\r\nColNameHeader=True\r\nFormat=CSVDelimited\r\n"
                                   "CharacterSet=936\r\n");
    writeFile(sub + "/said.txt", gbk);
    ASSERT_EQ(qor({"convert", sub + "/said.txt", sub + "/said.rep"}).exitCode, 0);
    EXPECT_EQ(out(qor({"get", sub + "/said.rep", "1", "1", "1"})), want);
}

TEST(QorTextFiles, CsvIsWrittenAndReadLikeText) {
    const QString dir = qortest::freshDir("csv");
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qor({"new", rep, "--rows", "2", "--cols", "2", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"format", rep, "1", "1", "kind", "text"}).exitCode, 0);
    ASSERT_EQ(qor({"set", rep, "1", "1", "1", QStringLiteral("备注")}).exitCode, 0);
    ASSERT_EQ(qor({"set", rep, "1", "2", "2", "12.5"}).exitCode, 0);
    auto w = qor({"convert", rep, dir + "/r.csv"});
    ASSERT_EQ(w.exitCode, 0) << w.err.constData();
    EXPECT_TRUE(qortest::fileBytes(dir + "/r.csv").contains(','));
    ASSERT_EQ(qor({"convert", dir + "/r.csv", dir + "/back.rep"}).exitCode, 0);
    EXPECT_EQ(out(qor({"get", dir + "/back.rep", "1", "1", "1"})), QStringLiteral("备注"));
    EXPECT_EQ(out(qor({"get", dir + "/back.rep", "1", "2", "2"})), "12.5");
    EXPECT_TRUE(out(qor({"data-info", dir + "/r.csv"})).contains("r#csv"));

    // INDB reads a .csv as it reads a .txt.
    QFile script(dir + "/indb.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("LET B1 = INDB(\"%1\", \"\", \"B\", 2, )\n")
                     .arg(dir + "/r.csv")
                     .toUtf8());
    script.close();
    auto ran = qor({"run", dir + "/indb.shl", rep});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData() << ran.out.constData();
    EXPECT_EQ(out(qor({"get", rep, "1", "1", "2"})), "12.5");
}

}  // namespace
