// The Schema.ini of a folder of text tables: writing a table's section,
// reading it back, and dropping one file's section before a new export.

#include "exchange/schemaini.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "exchange/datafilepath.h"
#include "platform/inifile.h"
#include "tests/common/testsupport.h"

namespace {

using namespace qor;

QString testDir() { return qortest::testDir(QStringLiteral("schemaini-")); }

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Restores the current directory a test moves into.
class CurrentDir {
public:
    explicit CurrentDir(const QString& dir) : m_old(QDir::currentPath()) {
        EXPECT_TRUE(QDir::setCurrent(dir));
    }
    ~CurrentDir() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

SchemaIniTable salesTable() {
    SchemaIniTable t;
    t.characterSet = QStringLiteral("936");
    t.columns = {{QStringLiteral("CODE"), 10, 12},
                 {QStringLiteral("单位 名称"), 10, 0},
                 {QStringLiteral("AMOUNT"), 7, 0},
                 {QStringLiteral("COUNT"), 4, 0},
                 {QStringLiteral("DAY"), 8, 0}};
    return t;
}

TEST(SchemaIni, SectionOfATableIsWrittenLineByLine) {
    const QString dir = testDir();
    const QString text = dir + QStringLiteral("/sales.txt");
    ASSERT_TRUE(WriteSchemaIniSection(text, salesTable()));

    const QString ini = dir + QStringLiteral("/Schema.ini");
    EXPECT_EQ(schemaIniPathFor(text), ini);
    IniFile file(ini);
    EXPECT_EQ(file.sections(), QStringList{QStringLiteral("sales.txt")});
    const QStringList keys = {"ColNameHeader", "Format", "CharacterSet", "Col1",
                              "Col2",          "Col3",   "Col4",         "Col5"};
    EXPECT_EQ(file.keys(QStringLiteral("sales.txt")), keys);
    const QStringList values = {
        "True",          "CSVDelimited", "936",         "CODE Char Width 12", "\"单位 名称\" Char",
        "AMOUNT Double", "COUNT Long",   "DAY DateTime"};
    for (qsizetype i = 0; i < keys.size(); ++i)
        EXPECT_EQ(file.readString(QStringLiteral("sales.txt"), keys[i]), values[i])
            << keys[i].toStdString();

    const std::optional<SchemaIniTable> back = ReadSchemaIniSection(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->characterSet, "936");
    EXPECT_TRUE(back->colNameHeader);
    ASSERT_EQ(back->columns.size(), 5);
    EXPECT_EQ(back->columns[1].name, QStringLiteral("单位 名称"));
    EXPECT_EQ(back->columns[0].width, 12);
    EXPECT_EQ(back->columns[2].daoType, 7);
    EXPECT_EQ(back->columns[4].daoType, 8);
    EXPECT_FALSE(ReadSchemaIniSection(dir + QStringLiteral("/other.txt")));
}

TEST(SchemaIni, RewritingASectionKeepsTheOthersAndTheFileEncoding) {
    const QString dir = testDir();
    const QString ini = dir + QStringLiteral("/Schema.ini");
    // An ANSI (GB18030) file of two sections, as another program left it.
    const QByteArray before =
        "; \xB5\xA5\xCE\xBB\r\n[a.txt]\r\nColNameHeader=False\r\nFormat=TabDelimited\r\nCol1=X "
        "Char\r\n"
        "[b.txt]\r\nFormat=CSVDelimited\r\nCol1=A Double\r\nCol2=B Double\r\nCol3=C Double\r\n";
    writeBytes(ini, before);
    SchemaIniTable t;
    t.colNameHeader = false;
    t.columns = {{QStringLiteral("名称"), 10, 4}};
    ASSERT_TRUE(WriteSchemaIniSection(dir + QStringLiteral("/B.TXT"), t));

    const QByteArray after = readBytes(ini);
    EXPECT_TRUE(after.startsWith(
        "; \xB5\xA5\xCE\xBB\r\n[a.txt]\r\nColNameHeader=False\r\nFormat=TabDelimited\r\nCol1=X "
        "Char\r\n[B.TXT]\r\n"))
        << after.constData();
    EXPECT_TRUE(after.contains("Col1=\xC3\xFB\xB3\xC6 Char Width 4\r\n"));
    IniFile file(ini);
    EXPECT_EQ(file.encoding(), IniFile::Encoding::Gb18030);
    EXPECT_EQ(file.readString(QStringLiteral("b.txt"), QStringLiteral("Col1")),
              QStringLiteral("名称 Char Width 4"));
    // The old section's extra columns went with it.
    EXPECT_FALSE(file.hasKey(QStringLiteral("b.txt"), QStringLiteral("Col2")));
    EXPECT_EQ(file.readString(QStringLiteral("a.txt"), QStringLiteral("Format")),
              QStringLiteral("TabDelimited"));

    // A column name the driver could not read back refuses the whole write.
    t.columns = {{QStringLiteral("say \"hi\""), 10, 0}};
    EXPECT_FALSE(WriteSchemaIniSection(dir + QStringLiteral("/b.txt"), t));
    EXPECT_EQ(readBytes(ini), after);
}

TEST(SchemaIni, RemovingASectionDropsOnlyItsLines) {
    const QString dir = testDir();
    const QString ini = dir + QStringLiteral("/Schema.ini");
    writeBytes(ini,
               "; written by hand\r\n"
               "[a.txt]\r\nFormat=CSVDelimited\r\nCol1=X Char\r\n"
               "[B.TXT]\r\nFormat=TabDelimited\r\n\r\nCol1=Y Long\r\n"
               "[c.txt]\r\n\r\nCol1=Z Double\r\n");
    RemoveSchemaIniSection(dir + QStringLiteral("/b.txt"));
    EXPECT_EQ(readBytes(ini),
              "; written by hand\r\n"
              "[a.txt]\r\nFormat=CSVDelimited\r\nCol1=X Char\r\n"
              "[c.txt]\r\n\r\nCol1=Z Double\r\n");
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/Schemanew.ini")));
}

TEST(SchemaIni, RemovingAMissingSectionLeavesTheFileAlone) {
    const QString dir = testDir();
    const QString ini = dir + QStringLiteral("/Schema.ini");
    const QByteArray text = "[a.txt]\nFormat=CSVDelimited\nstray line";
    writeBytes(ini, text);
    // A rewrite would give the same bytes; its time gives it away.
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    RemoveSchemaIniSection(dir + QStringLiteral("/b.txt"));
    EXPECT_EQ(readBytes(ini), text);
    EXPECT_EQ(QFileInfo(ini).lastModified().toUTC(), old);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("Schema.ini")});

    // No Schema.ini at all: nothing is made.
    const QString empty = testDir() + QStringLiteral("/x");
    ASSERT_TRUE(QDir().mkpath(empty));
    RemoveSchemaIniSection(empty + QStringLiteral("/b.txt"));
    EXPECT_TRUE(QDir(empty).entryList(QDir::Files).isEmpty());
}

TEST(SchemaIni, ABareFileNameUsesTheCurrentDirectory) {
    const QString dir = testDir();
    CurrentDir here(dir);
    writeBytes(dir + QStringLiteral("/Schema.ini"), "[a.txt]\nCol1=X Char\n[b.txt]\nCol1=Y Char\n");
    RemoveSchemaIniSection(QStringLiteral("a.txt"));
    EXPECT_EQ(readBytes(dir + QStringLiteral("/Schema.ini")), "[b.txt]\nCol1=Y Char\n");
}

TEST(DataFilePath, NamesBecomeAbsolutePathsWithTheirExtension) {
    const QString dir = QDir(testDir()).canonicalPath();
    ASSERT_TRUE(QDir().mkpath(dir + QStringLiteral("/v1.0")));
    CurrentDir here(dir);
    QString out = QStringLiteral("old");
    EXPECT_EQ(ResolveDataFilePath(QStringLiteral("sales"), QStringLiteral("MDB"), &out), 1);
    EXPECT_EQ(out, dir + QStringLiteral("/sales.MDB"));
    EXPECT_EQ(ResolveDataFilePath(QStringLiteral("sales.xls"), QStringLiteral("MDB"), &out), 1);
    EXPECT_EQ(out, dir + QStringLiteral("/sales.xls"));
    // A dot in a folder of the name counts as the name's own.
    EXPECT_EQ(ResolveDataFilePath(QStringLiteral("v1.0/sales"), QStringLiteral("MDB"), &out), 1);
    EXPECT_EQ(out, dir + QStringLiteral("/v1.0/sales"));
    EXPECT_EQ(ResolveDataFilePath(QStringLiteral("/data/../data/./x"), QStringLiteral("DBF"), &out),
              1);
    EXPECT_EQ(out, QStringLiteral("/data/x"));  // the dots of the path count as well
    // No default extension: nothing appended (a trailing dot would name
    // another file here).
    EXPECT_EQ(ResolveDataFilePath(QStringLiteral("sales"), QString(), &out), 1);
    EXPECT_EQ(out, dir + QStringLiteral("/sales"));

    EXPECT_EQ(ResolveDataFilePath(QString(), QStringLiteral("MDB"), &out), 0);
    EXPECT_TRUE(out.isEmpty());
    out = QStringLiteral("old");
    EXPECT_EQ(
        ResolveDataFilePath(QStringLiteral("/") + QString(300, u'a'), QStringLiteral("MDB"), &out),
        0);
    EXPECT_TRUE(out.isEmpty());
}

}  // namespace
