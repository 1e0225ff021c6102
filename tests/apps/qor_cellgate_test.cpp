// The hostile values of a cell through the command-line routes into a cell
// or keyword: each is stored by the one number rule or refused with a name,
// and the saved file shows which.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qorRun(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

struct Hostile {
    QString text;
    QString stored;  // what `qor get` then prints; "" when refused
};

// NUL cannot travel in a process argument; the engine and language tests
// carry it. The lengths are those of a text cell (255) and a keyword (32).
const QList<Hostile> kValues = {
    {QStringLiteral("12,345.60"), QStringLiteral("12345.6")},
    {QStringLiteral(" 12 "), QStringLiteral("12")},
    {QStringLiteral("1 234"), {}},
    {QStringLiteral("abc"), {}},
    {QStringLiteral("12x"), {}},
    {QStringLiteral("1e999"), {}},
    {QStringLiteral("inf"), {}},
};

TEST(QorCellGate, SetKeywordAndKindChangeKeepOneRule) {
    const QString dir = qortest::freshDir("qor-cellgate");
    const QString rep = dir + "/g.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "3", "--cols", "3", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "2", "kind", "text"}).exitCode, 0);
    for (const Hostile& v : kValues) {
        SCOPED_TRACE(v.text.toStdString());
        // `qor set` into a number cell.
        ASSERT_EQ(qorRun({"set", rep, "1", "1", "1", "7"}).exitCode, 0);
        const auto set = qorRun({"set", rep, "1", "1", "1", v.text, "--text"});
        const auto asNumber = qorRun({"set", rep, "1", "1", "1", v.text});
        const QString now = QString::fromUtf8(qorRun({"get", rep, "1", "1", "1"}).out).trimmed();
        if (v.stored.isEmpty()) {
            EXPECT_NE(asNumber.exitCode, 0);
            EXPECT_TRUE(QString::fromUtf8(asNumber.err).contains(v.text.trimmed()))
                << asNumber.err.constData();
            EXPECT_EQ(now, QStringLiteral("7"));
        } else {
            EXPECT_EQ(asNumber.exitCode, 0) << asNumber.err.constData();
            EXPECT_EQ(now, v.stored);
        }
        EXPECT_NE(set.exitCode, 0) << "--text into a number cell";

        // A number keyword.
        const auto year = qorRun({"keyword", rep, "1", "year", v.text});
        EXPECT_EQ(year.exitCode == 0, !v.stored.isEmpty()) << year.err.constData();

        // A text cell made numeric: converted on every page, or named.
        ASSERT_EQ(qorRun({"set", rep, "1", "1", "2", v.text, "--text"}).exitCode, 0);
        ASSERT_EQ(qorRun({"set", rep, "2", "1", "2", "5", "--text"}).exitCode, 0);
        const auto kind = qorRun({"format", rep, "1", "2", "kind", "number"});
        if (v.stored.isEmpty()) {
            EXPECT_NE(kind.exitCode, 0);
            EXPECT_TRUE(QString::fromUtf8(kind.err).contains(v.text.trimmed())) << kind.err.constData();
        } else {
            ASSERT_EQ(kind.exitCode, 0) << kind.err.constData();
            EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "1", "1", "2"}).out).trimmed(), v.stored);
            EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "2", "1", "2"}).out).trimmed(),
                      QStringLiteral("5"));
            ASSERT_EQ(qorRun({"format", rep, "1", "2", "kind", "text"}).exitCode, 0);
        }
    }
    // Lengths: 255 characters in a text cell, 32 in 单位名称.
    EXPECT_EQ(qorRun({"set", rep, "1", "1", "2", QString(255, u'x'), "--text"}).exitCode, 0);
    EXPECT_NE(qorRun({"set", rep, "1", "1", "2", QString(256, u'x'), "--text"}).exitCode, 0);
    EXPECT_EQ(qorRun({"keyword", rep, "1", "unit-name", QString(32, u'y')}).exitCode, 0);
    EXPECT_NE(qorRun({"keyword", rep, "1", "unit-name", QString(33, u'y')}).exitCode, 0);
}

// A number cell holds what it shows: the amount `qor set` writes, the total
// over two of them and the export all read 2.35, 2.35, 4.70.
TEST(QorCellGate, SetTotalAndExportKeepTheDecimalsACellShows) {
    const QString dir = qortest::freshDir("qor-cellgate-decimals");
    const QString rep = dir + "/d.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "2"}).exitCode, 0);
    for (const char* page : {"1", "2"})
        ASSERT_EQ(qorRun({"set", rep, page, "1", "1", "2.345"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "2", "decimals", "0"}).exitCode, 0);
    for (const char* page : {"1", "2"})
        ASSERT_EQ(qorRun({"set", rep, page, "1", "2", "0.4"}).exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "1", "1", "1"}).out).trimmed(), "2.35");
    QFile script(dir + "/t.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("TOTAL\n");
    script.close();
    const auto total = qorRun({"run", script.fileName(), rep});
    ASSERT_EQ(total.exitCode, 0) << total.err.constData();
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "3", "1", "1"}).out).trimmed(), "4.7");
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "3", "1", "2"}).out).trimmed(), "0")
        << "0.4 shown as 0 twice totals 0, not 1";
    const auto out = qorRun({"export-xml", rep, dir + "/d.xml"});
    ASSERT_EQ(out.exitCode, 0) << out.err.constData();
    QFile xml(dir + "/d.xml");
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    const QByteArray bytes = xml.readAll();
    EXPECT_TRUE(bytes.contains("2.35")) << bytes.constData();
    EXPECT_FALSE(bytes.contains("2.345"));
    EXPECT_FALSE(bytes.contains("0.4"));
}

// A percent cell shows what it holds with the sign after it (12.345 of two
// decimals shows 12.35%), so it holds 12.35: typed, totalled, or from a
// workbook's "0.00%" (0.12345 is 12.345 percent units, named as rounded).
TEST(QorCellGate, PercentCellsHoldTheDecimalsTheyShow) {
    const QString dir = qortest::freshDir("qor-cellgate-percent");
    const QString rep = dir + "/p.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "1", "percent", "1"}).exitCode, 0);
    for (const char* page : {"1", "2"})
        ASSERT_EQ(qorRun({"set", rep, page, "1", "1", "12.345"}).exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "1", "1", "1"}).out).trimmed(), "12.35");
    QFile script(dir + "/t.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("TOTAL\n");
    script.close();
    ASSERT_EQ(qorRun({"run", script.fileName(), rep}).exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "3", "1", "1"}).out).trimmed(), "24.7")
        << "12.35% and 12.35% total 24.70%";

    if (!qortest::needReader(qortest::havePythonModule(QStringLiteral("openpyxl")), QStringLiteral("openpyxl")))
        GTEST_SKIP() << "no openpyxl";
    const auto made = qortest::python(
        "import sys\n"
        "from openpyxl import Workbook\n"
        "wb = Workbook()\n"
        "wb.active['A1'] = 0.12345\n"
        "wb.active['A1'].number_format = '0.00%'\n"
        "wb.save(sys.argv[1])\n",
        {dir + "/p.xlsx"});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const auto in = qorRun({"convert", dir + "/p.xlsx", dir + "/x.rep"});
    EXPECT_EQ(in.exitCode, 3);
    EXPECT_TRUE(QString::fromUtf8(in.err).contains(QStringLiteral("小数位多于单元格显示位数"))) << in.err.constData();
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", dir + "/x.rep", "1", "1", "1"}).out).trimmed(), "12.35");
}

// A text cell or keyword keeps the digits typed; a text that reached a
// number cell by way of a label is named as one changed directly is.
TEST(QorCellGate, TextCellsKeepTheTextAndNoKindChangeGoesRoundTheGate) {
    const QString dir = qortest::freshDir("qor-cellgate-texts");
    const QString rep = dir + "/t.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "2", "kind", "text"}).exitCode, 0);
    const QString account = QStringLiteral("6222020200012345678");
    ASSERT_EQ(qorRun({"set", rep, "1", "1", "2", account}).exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", rep, "1", "1", "2"}).out).trimmed(), account);
    ASSERT_EQ(qorRun({"keyword", rep, "1", "unit-number", account}).exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(qorRun({"keyword", rep, "1", "unit-number"}).out).trimmed(), account);

    ASSERT_EQ(qorRun({"set", rep, "1", "1", "2", "12abc"}).exitCode, 0);
    ASSERT_EQ(qorRun({"set", rep, "2", "1", "2", "1,234.5"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "2", "kind", "label"}).exitCode, 0);
    const auto number = qorRun({"format", rep, "1", "2", "kind", "number"});
    EXPECT_NE(number.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(number.err).contains(QStringLiteral("第1页")) &&
                QString::fromUtf8(number.err).contains(QStringLiteral("12abc")))
        << number.err.constData();
}

// An own-XML cell longer than a cell keeps is named, not cut to 32.
TEST(QorCellGate, ImportXmlOfATextPastItsCellIsNamed) {
    const QString dir = qortest::freshDir("qor-cellgate-xml");
    const QString rep = dir + "/g.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "1", "kind", "text"}).exitCode, 0);
    const QString shortText = QString(20, u'q');
    ASSERT_EQ(qorRun({"set", rep, "1", "1", "1", shortText, "--text"}).exitCode, 0);
    ASSERT_EQ(qorRun({"export-xml", rep, dir + "/g.xml"}).exitCode, 0);
    QFile f(dir + "/g.xml");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray xml = f.readAll();
    f.close();
    // A file written elsewhere may carry a cell's whole 255 characters.
    const QString text = QString(255, u'q');
    ASSERT_TRUE(xml.contains(shortText.toUtf8()));
    xml.replace(shortText.toUtf8(), text.toUtf8());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(xml);
    f.close();

    // The whole 255 come back.
    const auto back = qorRun({"import-xml", dir + "/g.xml", dir + "/back.rep"});
    ASSERT_EQ(back.exitCode, 0) << back.err.constData();
    EXPECT_EQ(QString::fromUtf8(qorRun({"get", dir + "/back.rep", "1", "1", "1"}).out).trimmed(), text);

    xml.replace(text.toUtf8(), QString(300, u'q').toUtf8());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(xml);
    f.close();
    const auto over = qorRun({"import-xml", dir + "/g.xml", dir + "/over.rep"});
    EXPECT_NE(over.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(over.err).contains(QStringLiteral("255"))) << over.err.constData();
    EXPECT_FALSE(QFile::exists(dir + "/over.rep"));
}

}  // namespace
