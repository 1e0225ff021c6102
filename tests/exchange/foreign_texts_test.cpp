// Texts, numbers and dates of dBASE tables, text files, Lotus worksheets
// and BIFF5 workbooks made elsewhere: one table of inputs (every code page
// the converters know, one they do not, bytes that are no character,
// numbers and dates their fields do not describe) read by each reader.
// Every file is written here byte by byte from the format's published
// layout, never by our own writers.

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

#include "exchange/datafileconvert.h"
#include "exchange/dbreaders.h"
#include "exchange/jetdriver.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"
#include "platform/compoundfile.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/biff5_testutil.h"
#include "tests/exchange/wk4_testutil.h"

namespace {

using namespace qor::jet;

QString testDir() { return qortest::testDir(QStringLiteral("foreigntexts-")); }

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Keeps what a reader hands over, and what it names.
struct Kept : RecordSink {
    QList<FieldInfo> fields;
    QList<QVariantList> rows;
    QStringList named;
    void begin(const QList<FieldInfo>& f) override { fields = f; }
    bool record(const QVariantList& row) override {
        rows.append(row);
        return true;
    }
    void leftOut(const QString& what) override { named.append(what); }
    QString namedText() const { return named.join(u'\n'); }
};

Kept readDbf(const QString& path) {
    Kept k;
    readDBaseTable(path, k);
    return k;
}

Kept readText(const QString& path) {
    Kept k;
    readTextTable(path, k);
    return k;
}

// A worksheet file's first sheet as INDB and the conversion to a working
// database read it.
Kept readWk4(const QList<wk4test::Cell>& cells) {
    Kept k;
    makeLotusDriverFromBytes(wk4test::wk4Bytes(cells), QStringLiteral("t.wk4"))->streamTable(QStringLiteral("Sheet1:"), k);
    return k;
}

// A BIFF5 book of one sheet saying codePage, one LABEL a text at A1, B1 ...
std::unique_ptr<qor::XlWorkbook> readBiff5(int codePage, const QList<QByteArray>& texts) {
    using namespace biff5test;
    Stream c;
    for (int i = 0; i < texts.size(); ++i)
        c.rec(0x0204, u16(0) + u16(i) + u16(15) + u16(int(texts[i].size())) + texts[i]);
    return qor::ReadBiffWorkbook(biff5Book(c.b, codePage, "Sheet1"), QStringLiteral("t.xls"));
}

struct DbfField {
    QByteArray name;
    char type;
    int width;
    int decimals = 0;
    quint8 flags = 0;
};

void putLE16(QByteArray& b, int at, quint16 v) { qToLittleEndian(v, reinterpret_cast<uchar*>(b.data() + at)); }
void putLE32(QByteArray& b, int at, quint32 v) { qToLittleEndian(v, reinterpret_cast<uchar*>(b.data() + at)); }

// A table as the format lays it out: a 32-byte header (version, date,
// record count, header and record lengths, language driver at byte 29),
// 32-byte field descriptors (48 in dBASE 7, after a 68-byte header), 0x0D,
// then the records, each a blank deletion mark and the fields' bytes.
QByteArray dbfBytes(quint8 version, quint8 driver, const QList<DbfField>& fields,
                    const QList<QList<QByteArray>>& records) {
    const bool seven = version == 0x04;
    const int start = seven ? 68 : 32;
    const int descriptor = seven ? 48 : 32;
    const int nameBytes = seven ? 32 : 11;
    const bool vfp = version == 0x30;
    const int headerLength = start + descriptor * int(fields.size()) + 1 + (vfp ? 263 : 0);
    int recordLength = 1;
    for (const DbfField& f : fields) recordLength += f.width;
    QByteArray out(start, '\0');
    out[0] = char(version);
    out[1] = 124;
    out[2] = 1;
    out[3] = 9;
    putLE32(out, 4, quint32(records.size()));
    putLE16(out, 8, quint16(headerLength));
    putLE16(out, 10, quint16(recordLength));
    out[29] = char(driver);
    int offset = 1;
    for (const DbfField& f : fields) {
        QByteArray d(descriptor, '\0');
        d.replace(0, f.name.size(), f.name);
        d[nameBytes] = f.type;
        if (seven) {
            d[nameBytes + 1] = char(f.width);
            d[nameBytes + 2] = char(f.decimals);
        } else {
            putLE32(d, 12, quint32(offset));
            d[16] = char(f.width);
            d[17] = char(f.decimals);
            d[18] = char(f.flags);
        }
        offset += f.width;
        out += d;
    }
    out += '\r';
    if (vfp) out += QByteArray(263, '\0');
    for (const QList<QByteArray>& rec : records) {
        out += ' ';
        for (int i = 0; i < fields.size(); ++i) {
            QByteArray v = rec.value(i);
            // Numbers stand right in their field, everything else left.
            const int w = fields.at(i).width;
            if (fields.at(i).type == 'N' || fields.at(i).type == 'F') v = v.rightJustified(w, ' ', true);
            else v = v.leftJustified(w, fields.at(i).type == 'C' || fields.at(i).type == 'D' ? ' ' : '\0', true);
            out += v;
        }
    }
    out += '\x1A';
    return out;
}

// One text in a code page: its bytes in that code page and the text.
struct Sample {
    int codePage;
    const char* hex;
    const char* text;
};

// Every code page a BIFF5 book's CODEPAGE record can give, which are also
// those a ".cpg" file or a Schema.ini CharacterSet names by number. Bytes
// as Python's codecs give them for the text (Perl's Encode for Hebrew
// Macintosh, which Python lacks).
const Sample kSamples[] = {
    {367, "506c61696e", "Plain"},
    {437, "43728a6d65206272966c8265", "Crème brûlée"},
    {720, "abe99fea", "سلام"},
    {737, "84a2a29ea4a0a1e1", "Ελληνικά"},
    {775, "ada264a5", "Łódź"},
    {850, "43728a6d65206272966c8265", "Crème brûlée"},
    {852, "9da264ab", "Łódź"},
    {855, "dde1b7eba8e5", "Привет"},
    {857, "499f8d6b", "Işık"},
    {858, "43728a6d6520d5", "Crème €"},
    {860, "4187846f", "Ação"},
    {861, "8da2728c7572", "Þórður"},
    {862, "998c858d", "שלום"},
    {863, "43728a6d65206272966c8265", "Crème brûlée"},
    {864, "bc9eef2094", "ﺱﻼﻡ ½"},
    {865, "539b72656e", "Søren"},
    {866, "8fe0a8a2a5e2", "Привет"},
    {869, "a8e5e5e1e7e3e49b", "Ελληνικά"},
    {874, "cac7d1cab4d5", "สวัสดี"},
    {932, "93fa967b8cea", "日本語"},
    {936, "d6d0cec4", "中文"},
    {949, "c7d1b1b9beee", "한국어"},
    {950, "a4a4a4e5", "中文"},
    {1250, "a3f3649f", "Łódź"},
    {1251, "cff0e8e2e5f2", "Привет"},
    {1252, "4372e86d65206272fb6ce965", "Crème brûlée"},
    {1253, "c5ebebe7ede9eadc", "Ελληνικά"},
    {1254, "49fefd6b", "Işık"},
    {1255, "f9ece5ed", "שלום"},
    {1256, "d3e1c7e3", "سلام"},
    {1257, "d9f364ea", "Łódź"},
    {1258, "d0e0", "Đà"},
    {1361, "d0658a82b4e1", "한국어"},
    {10000, "43728f6d652062729e6c8e65", "Crème brûlée"},
    {10001, "93fa967b8cea", "日本語"},
    {10002, "a4a4a4e5", "中文"},
    {10003, "c7d1b1b9beee", "한국어"},
    {10004, "d3e4c7e5", "سلام"},
    {10005, "f9ece5ed", "שלום"},
    {10006, "b6ecece8eee9ebc0", "Ελληνικά"},
    {10007, "8ff0e8e2e5f2", "Привет"},
    {10008, "d6d0cec4", "中文"},
    {10029, "fc976490", "Łódź"},
    {10079, "de9772dd7572", "Þórður"},
    {10081, "49dfdd6b", "Işık"},
    {32768, "43728f6d652062729e6c8e65", "Crème brûlée"},
    {32769, "4372e86d65206272fb6ce965", "Crème brûlée"},
};

// The language driver bytes of dBASE and FoxPro tables and the code page
// each names, as the drivers publish them.
const std::pair<quint8, int> kDriverBytes[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252},  {0x04, 10000}, {0x08, 865},  {0x09, 437},  {0x0A, 850},
    {0x0B, 437},  {0x0D, 437},  {0x0E, 850},   {0x0F, 437},   {0x10, 850},  {0x11, 437},  {0x12, 850},
    {0x13, 932},  {0x14, 850},  {0x15, 437},   {0x16, 850},   {0x17, 865},  {0x18, 437},  {0x19, 437},
    {0x1A, 850},  {0x1B, 437},  {0x1C, 863},   {0x1D, 850},   {0x1F, 852},  {0x22, 852},  {0x23, 852},
    {0x24, 860},  {0x25, 850},  {0x26, 866},   {0x37, 850},   {0x40, 852},  {0x4D, 936},  {0x4E, 949},
    {0x4F, 950},  {0x50, 874},  {0x57, 1252},  {0x58, 1252},  {0x59, 1252}, {0x64, 852},  {0x65, 866},
    {0x66, 865},  {0x67, 861},  {0x6A, 737},   {0x6B, 857},   {0x6C, 863},  {0x78, 950},  {0x79, 949},
    {0x7A, 936},  {0x7B, 932},  {0x7C, 874},   {0x7D, 1255},  {0x7E, 1256}, {0x86, 737},  {0x87, 852},
    {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254},
    {0xCB, 1253}, {0xCC, 1257},
};

QString sampleText(const Sample& s) { return QString::fromUtf8(s.text); }
QByteArray sampleBytes(const Sample& s) { return QByteArray::fromHex(s.hex); }
const Sample* sampleOf(int codePage) {
    for (const Sample& s : kSamples)
        if (s.codePage == codePage) return &s;
    return nullptr;
}

// Every code page, named by a ".cpg" file and by a Schema.ini
// CharacterSet, and every language driver byte, reads its own text;
// never another.
TEST(ForeignTexts, EveryCodePageTheConvertersKnowReadsItsOwnText) {
    const QList<DbfField> fields{{"NAME", 'C', 20}, {"N", 'N', 4}};
    for (const auto& [driver, codePage] : kDriverBytes) {
        SCOPED_TRACE(driver);
        const Sample* s = sampleOf(codePage);
        ASSERT_TRUE(s) << codePage;
        const QString dir = testDir();
        writeBytes(dir + "/bydriver.dbf", dbfBytes(0x03, driver, fields, {{sampleBytes(*s), "1"}}));
        const Kept k = readDbf(dir + "/bydriver.dbf");
        ASSERT_EQ(k.rows.size(), 1);
        EXPECT_EQ(k.rows[0][0].toString(), sampleText(*s));
        EXPECT_TRUE(k.named.isEmpty()) << k.namedText().toStdString();
    }
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.codePage);
        const QString dir = testDir();
        const QList<QList<QByteArray>> records{{sampleBytes(s), "1"}};
        // A ".cpg" beside the table wins over the driver byte.
        writeBytes(dir + "/bycpg.dbf", dbfBytes(0x03, 0x57, fields, records));
        writeBytes(dir + "/bycpg.cpg", QByteArray::number(s.codePage) + "\r\n");
        Kept k = readDbf(dir + "/bycpg.dbf");
        ASSERT_EQ(k.rows.size(), 1);
        EXPECT_EQ(k.rows[0][0].toString(), sampleText(s));
        EXPECT_TRUE(k.named.isEmpty()) << k.namedText().toStdString();

        writeBytes(dir + "/t.csv", "NAME,N\r\n\"" + sampleBytes(s) + "\",1\r\n");
        writeBytes(dir + "/Schema.ini",
                   "[t.csv]\r\nFormat=CSVDelimited\r\nCharacterSet=" + QByteArray::number(s.codePage) + "\r\n");
        k = readText(dir + "/t.csv");
        ASSERT_EQ(k.rows.size(), 1);
        EXPECT_EQ(k.rows[0][0].toString(), sampleText(s));
    }
    // The drivers' two code pages no converter of this system knows
    // (Kamenický and Mazovia) are named by their number, never guessed.
    for (const auto& [driver, name] : {std::pair<quint8, const char*>{0x68, "CP895"}, {0x69, "CP620"}}) {
        const QString dir = testDir();
        writeBytes(dir + "/t.dbf", dbfBytes(0x03, driver, fields, {{"\x80\xA0", "1"}}));
        const Kept k = readDbf(dir + "/t.dbf");
        EXPECT_TRUE(k.namedText().contains(QLatin1String(name))) << k.namedText().toStdString();
    }
}

// A BIFF5 book names its code page in its CODEPAGE record: each reads as
// the same text the other readers give it.
TEST(ForeignTexts, Biff5ReadsTheCodePageItsRecordNames) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.codePage);
        const auto wb = readBiff5(s.codePage, {sampleBytes(s)});
        const qor::XlWorksheet* sheet = wb->sheet(1);
        ASSERT_TRUE(sheet->findCell(1, 1));
        EXPECT_EQ(sheet->findCell(1, 1)->text, sampleText(s));
        EXPECT_EQ(sheet->undecoded().count, 0);
    }
    // A number no converter knows: ASCII reads, the rest is U+FFFD and
    // named with its cell and the number, never read as 936 ("烹腌黹贶").
    auto wb = readBiff5(9999, {"Name", QByteArray::fromHex("c5ebebe7ede9eadc")});
    const qor::XlWorksheet* sheet = wb->sheet(1);
    EXPECT_EQ(sheet->findCell(1, 1)->text, QStringLiteral("Name"));
    EXPECT_EQ(sheet->findCell(1, 2)->text, QString(8, QChar(0xFFFD)));
    EXPECT_EQ(sheet->undecoded().count, 1);
    EXPECT_EQ(sheet->undecoded().col, 2);
    EXPECT_TRUE(sheet->undecoded().kind.contains(QStringLiteral("9999"))) << sheet->undecoded().kind.toStdString();
    // 0xAA is no character of 1253: named with its cell.
    wb = readBiff5(1253, {"ok", "a\xAA", QByteArray::fromHex("c5ebebe7")});
    sheet = wb->sheet(1);
    EXPECT_EQ(sheet->findCell(1, 3)->text, QStringLiteral("Ελλη"));
    EXPECT_EQ(sheet->findCell(1, 2)->text, QStringLiteral("a\uFFFD"));
    EXPECT_EQ(sheet->undecoded().count, 1);
    EXPECT_EQ(sheet->undecoded().row, 1);
    EXPECT_EQ(sheet->undecoded().col, 2);
    EXPECT_TRUE(sheet->undecoded().kind.contains(QStringLiteral("CP1253"))) << sheet->undecoded().kind.toStdString();
}

// INDB of a field holding a text whose bytes did not read fails with the
// note (field and record); the file's other fields still answer; the
// conversion into a working database names it. The same for a Lotus file
// and a BIFF5 book.
TEST(ForeignTexts, DataRoutesNameATextThatDidNotRead) {
    const QString dir = testDir();
    using wk4test::Cell;
    writeBytes(dir + "/t.wk4", wk4test::wk4Bytes({Cell{0, 0, QByteArray("\xD6\xD0\xCE\xC4")}, Cell{0, 1, 1.0},
                                                  Cell{1, 0, QByteArray("\xD6\xD0\xCE")}, Cell{1, 1, 2.0}}));
    QVariant v;
    QString error;
    EXPECT_EQ(ReadWk4FieldValue(&v, dir + "/t.wk4", "Sheet1:", "F2", QString(), 2, &error), 1) << error.toStdString();
    EXPECT_EQ(v.toDouble(), 2.0);
    EXPECT_EQ(ReadWk4FieldValue(&v, dir + "/t.wk4", "Sheet1:", "F1", QString(), 1, &error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("第2条记录的字段“F1”"))) << error.toStdString();
    QStringList notes;
    ASSERT_EQ(ConvertWk4FileToMdb(dir + "/t.wk4", dir + "/w.Mdb", &error, &notes), 1) << error.toStdString();
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("第2条记录的字段“F1”"))) << notes.join(u'\n').toStdString();

    using namespace biff5test;
    Stream c;
    c.rec(0x0204, u16(0) + u16(0) + u16(15) + u16(4) + "Name");
    c.rec(0x0204, u16(0) + u16(1) + u16(15) + u16(3) + "Qty");
    c.rec(0x0204, u16(1) + u16(0) + u16(15) + u16(2) + "a\xAA");
    c.rec(0x0203, u16(1) + u16(1) + u16(15) + f64(3));
    {
        std::unique_ptr<qor::CompoundFile> cf = qor::CompoundFile::create(dir + "/t.xls");
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->writeAll(QStringLiteral("Book"), biff5Book(c.b, 1253, "Sheet1")));
        ASSERT_TRUE(cf->commit());
    }
    EXPECT_EQ(ReadXlsFieldValue(&v, dir + "/t.xls", "Sheet1$", "Qty", QString(), 1, &error), 1) << error.toStdString();
    EXPECT_EQ(v.toDouble(), 3.0);
    EXPECT_EQ(ReadXlsFieldValue(&v, dir + "/t.xls", "Sheet1$", "Name", QString(), 1, &error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("CP1253"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("第1条记录的字段“Name”"))) << error.toStdString();
    notes.clear();
    ASSERT_EQ(ConvertXlsFileToMdb(dir + "/t.xls", dir + "/x.Mdb", &error, &notes), 1) << error.toStdString();
    ASSERT_EQ(notes.size(), 1) << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes[0].contains(QStringLiteral("第1条记录的字段“Name”"))) << notes[0].toStdString();
}

TEST(ForeignTexts, CodePageNamesOtherThanNumbers) {
    const QString dir = testDir();
    const QList<DbfField> fields{{"NAME", 'C', 20}};
    writeBytes(dir + "/g.dbf", dbfBytes(0x03, 0, fields, {{QByteArray::fromHex("c5ebebe7ede9eadc")}}));
    for (const char* name : {"ISO-8859-7", "windows-1253", "CP1253", "ANSI 1253"}) {
        writeBytes(dir + "/g.cpg", name);
        const Kept k = readDbf(dir + "/g.dbf");
        EXPECT_EQ(k.rows.value(0).value(0).toString(), QStringLiteral("Ελληνικά")) << name;
    }
    // A text file's OEM and ANSI are this system's 936.
    writeBytes(dir + "/t.csv", "A\r\n" + QByteArray::fromHex("d6d0cec4") + "\r\n");
    for (const char* name : {"OEM", "ANSI", "936"}) {
        writeBytes(dir + "/Schema.ini", QByteArray("[t.csv]\r\nCharacterSet=") + name + "\r\n");
        EXPECT_EQ(readText(dir + "/t.csv").rows.value(0).value(0).toString(), QStringLiteral("中文")) << name;
    }
}

// A code page no converter knows: the table's texts are left out and named
// (its numbers still come); a text file naming one is refused. Neither is
// ever read as 936.
TEST(ForeignTexts, UnknownCodePageIsNamedNeverGuessed) {
    const QString dir = testDir();
    const QList<DbfField> fields{{"NAME", 'C', 8}, {"QTY", 'N', 6, 2}};
    const QList<QList<QByteArray>> records{{QByteArray::fromHex("c5ebebe7"), "1.50"}};
    writeBytes(dir + "/x.dbf", dbfBytes(0x03, 0, fields, records));
    writeBytes(dir + "/x.cpg", "KLINGON-9");
    Kept k = readDbf(dir + "/x.dbf");
    ASSERT_EQ(k.fields.size(), 1);
    EXPECT_EQ(k.fields[0].name, QStringLiteral("QTY"));
    EXPECT_DOUBLE_EQ(k.rows.value(0).value(0).toDouble(), 1.5);
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("KLINGON-9"))) << k.namedText().toStdString();
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("NAME")));

    writeBytes(dir + "/y.dbf", dbfBytes(0x03, 0xF0, fields, records));
    k = readDbf(dir + "/y.dbf");
    EXPECT_EQ(k.fields.size(), 1);
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("0xF0"))) << k.namedText().toStdString();

    writeBytes(dir + "/t.csv", "A\r\n" + QByteArray::fromHex("c5ebebe7") + "\r\n");
    writeBytes(dir + "/Schema.ini", "[t.csv]\r\nCharacterSet=KLINGON-9\r\n");
    try {
        readText(dir + "/t.csv");
        ADD_FAILURE() << "an unknown character set was read";
    } catch (const JetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("KLINGON-9"))) << e.message().toStdString();
    }
}

// No mark at all: valid UTF-8 is UTF-8, else GB18030; bytes that are
// neither are named in a table and refuse a text file.
TEST(ForeignTexts, UnmarkedTextsFollowOneRule) {
    const QString dir = testDir();
    const QList<DbfField> fields{{"NAME", 'C', 12}};
    writeBytes(dir + "/u.dbf", dbfBytes(0x03, 0, fields, {{"Caf\xC3\xA9"}, {"\xE7\x94\xB2\xE5\x85\xAC\xE5\x8F\xB8"}}));
    Kept k = readDbf(dir + "/u.dbf");
    ASSERT_EQ(k.rows.size(), 2);
    EXPECT_EQ(k.rows[0][0].toString(), QStringLiteral("Café"));
    EXPECT_EQ(k.rows[1][0].toString(), QStringLiteral("甲公司"));
    EXPECT_TRUE(k.named.isEmpty());

    writeBytes(dir + "/g.dbf", dbfBytes(0x03, 0, fields, {{"\xD6\xD0\xCE\xC4"}, {"ok"}}));
    k = readDbf(dir + "/g.dbf");
    EXPECT_EQ(k.rows.value(0).value(0).toString(), QStringLiteral("中文"));

    // 0x80 alone and a cut-off pair are no GB18030 character.
    writeBytes(dir + "/bad.dbf", dbfBytes(0x03, 0, fields, {{"ok"}, {"x\x80y"}, {"\xD6\xD0\xCE"}}));
    k = readDbf(dir + "/bad.dbf");
    ASSERT_EQ(k.rows.size(), 3);
    EXPECT_EQ(k.rows[0][0].toString(), QStringLiteral("ok"));
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("GB18030"))) << k.namedText().toStdString();
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("第2条记录"))) << k.namedText().toStdString();

    // A Lotus file names no code page: the same rule over its texts.
    using wk4test::Cell;
    k = readWk4({Cell{0, 0, QByteArray("Caf\xC3\xA9")}, Cell{1, 0, QByteArray("\xE7\x94\xB2\xE5\x85\xAC\xE5\x8F\xB8")}});
    ASSERT_EQ(k.rows.size(), 2);
    EXPECT_EQ(k.rows[0][0].toString(), QStringLiteral("Café"));
    EXPECT_EQ(k.rows[1][0].toString(), QStringLiteral("甲公司"));
    EXPECT_TRUE(k.named.isEmpty()) << k.namedText().toStdString();
    k = readWk4({Cell{0, 0, QByteArray("ok")}, Cell{1, 0, QByteArray("x\x80y")}, Cell{2, 0, QByteArray("\xD6\xD0\xCE")},
                 Cell{3, 0, QByteArray("\xD6\xD0\xCE\xC4")}});
    ASSERT_EQ(k.rows.size(), 4);
    EXPECT_EQ(k.rows[0][0].toString(), QStringLiteral("ok"));
    EXPECT_EQ(k.rows[3][0].toString(), QStringLiteral("中文"));
    EXPECT_TRUE(k.rows[2][0].toString().contains(QChar(0xFFFD)));
    // The lone 0x80 is the euro sign of code page 936, which our own
    // writer puts there; the cut pair is no character: named, record 3.
    EXPECT_EQ(k.rows[1][0].toString(), QStringLiteral("x€y"));
    ASSERT_EQ(k.named.size(), 1) << k.namedText().toStdString();
    EXPECT_TRUE(k.named[0].contains(QStringLiteral("CP936"))) << k.namedText().toStdString();
    EXPECT_TRUE(k.named[0].contains(QStringLiteral("共1处，第一处在第3条记录的字段“F1”"))) << k.namedText().toStdString();

    writeBytes(dir + "/neither.csv", "A,B\r\n\"\xe4\xb8\xad\xe6\x96\x87x\xed\xa0\x80y\",1\r\n");
    EXPECT_THROW(readText(dir + "/neither.csv"), JetError);
    writeBytes(dir + "/gb.csv", "A,B\r\n\"\xD6\xD0\xCE\xC4\",1\r\n");
    EXPECT_EQ(readText(dir + "/gb.csv").rows.value(0).value(0).toString(), QStringLiteral("中文"));
}

// Numbers met as text: what reads as a number is that number, whatever the
// field's width and decimals; anything else is named with its field and
// first record. Read the same way by both readers.
TEST(ForeignTexts, NumbersAsTextReadByOneRuleInEveryReader) {
    struct Case {
        const char* text;
        bool reads;
        double value;
    };
    const Case cases[] = {
        {"12.5", true, 12.5},     {"-3", true, -3},         {"1.23456789", true, 1.23456789},
        {"1,234.5", true, 1234.5}, {"1,50", false, 0},      {"abc", false, 0},
        {"inf", false, 0},        {"-INF", false, 0},       {"nan", false, 0},
        {"1e999", false, 0},      {"12-", false, 0},        {"1.5%", false, 0},
    };
    const QString dir = testDir();
    QList<QList<QByteArray>> records;
    QByteArray csv = "V\r\n";
    for (const Case& c : cases) {
        records.append({QByteArray(c.text)});
        csv += "\"" + QByteArray(c.text) + "\"\r\n";
    }
    writeBytes(dir + "/n.dbf", dbfBytes(0x03, 0x4D, {{"V", 'N', 12, 0}}, records));
    writeBytes(dir + "/n.csv", csv);
    writeBytes(dir + "/Schema.ini", "[n.csv]\r\nColNameHeader=True\r\nCol1=V Double\r\n");
    for (const QString& file : {QStringLiteral("n.dbf"), QStringLiteral("n.csv")}) {
        SCOPED_TRACE(file.toStdString());
        const Kept k = file.endsWith(u"dbf") ? readDbf(dir + u'/' + file) : readText(dir + u'/' + file);
        ASSERT_EQ(k.rows.size(), qsizetype(std::size(cases)));
        int notRead = 0;
        for (qsizetype i = 0; i < k.rows.size(); ++i) {
            const Case& c = cases[i];
            const QVariant v = k.rows[i][0];
            if (c.reads) {
                EXPECT_DOUBLE_EQ(v.toDouble(), c.value) << c.text;
            } else {
                EXPECT_FALSE(v.isValid()) << c.text;
                ++notRead;
            }
            if (v.isValid()) {
                EXPECT_TRUE(std::isfinite(v.toDouble())) << c.text;
            }
        }
        // One line for the kind: the count and the first place.
        ASSERT_EQ(k.named.size(), 1) << k.namedText().toStdString();
        EXPECT_TRUE(k.named[0].contains(QString::number(notRead))) << k.named[0].toStdString();
        EXPECT_TRUE(k.named[0].contains(QStringLiteral("第5条记录"))) << k.named[0].toStdString();
    }
    // Without a section an inf/nan column is a text column, never a number.
    writeBytes(dir + "/Schema.ini", "");
    const Kept k = readText(dir + "/n.csv");
    EXPECT_EQ(k.fields[0].type, kText);
    EXPECT_EQ(k.rows[6][0].toString(), QStringLiteral("inf"));
}

// A number of more decimals than its field declares, a dBASE date that
// does not exist and leading blanks of a text.
TEST(ForeignTexts, DBaseFieldsTheirWidthDoesNotDescribe) {
    const QString dir = testDir();
    const QList<DbfField> fields{{"CODE", 'C', 6}, {"N", 'N', 6}, {"D", 'D', 8}};
    writeBytes(dir + "/d.dbf", dbfBytes(0x03, 0x4D, fields,
                                        {{"  007 ", "  12.5", "20240109"},
                                         {" lead", "7", "20240230"},
                                         {"x", "******", "        "}}));
    const Kept k = readDbf(dir + "/d.dbf");
    ASSERT_EQ(k.rows.size(), 3);
    EXPECT_EQ(k.rows[0][0].toString(), QStringLiteral("  007"));
    EXPECT_EQ(k.rows[1][0].toString(), QStringLiteral(" lead"));
    EXPECT_DOUBLE_EQ(k.rows[0][1].toDouble(), 12.5);
    EXPECT_EQ(k.rows[1][1].toInt(), 7);
    EXPECT_FALSE(k.rows[2][1].isValid());  // asterisks: an empty number
    EXPECT_EQ(k.rows[0][2].toDate(), QDate(2024, 1, 9));
    EXPECT_FALSE(k.rows[1][2].isValid());
    EXPECT_FALSE(k.rows[2][2].isValid());
    ASSERT_EQ(k.named.size(), 1) << k.namedText().toStdString();
    EXPECT_TRUE(k.named[0].contains(QStringLiteral("第2条记录的字段“D”"))) << k.named[0].toStdString();
}

// Visual FoxPro: a Currency a double cannot hold exactly is named; a memo
// of block type 0 (binary) is left out and named, a text memo read.
TEST(ForeignTexts, VisualFoxProCurrencyAndBinaryMemos) {
    const QString dir = testDir();
    auto currency = [](qint64 v) {
        QByteArray b(8, '\0');
        qToLittleEndian(v, reinterpret_cast<uchar*>(b.data()));
        return b;
    };
    auto block = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, reinterpret_cast<uchar*>(b.data()));
        return b;
    };
    const QList<DbfField> fields{{"AMT", 'Y', 8, 4}, {"NOTE", 'M', 4}};
    writeBytes(dir + "/v.dbf", dbfBytes(0x30, 0x7A, fields,
                                        {{currency(123456), block(8)},
                                         {currency(12345678901234567LL), block(9)},
                                         {currency(std::numeric_limits<qint64>::min() + 1), block(0)}}));
    // The memo file: a 512-byte header with a big-endian 64-byte block
    // size, then blocks of big-endian type and length.
    QByteArray fpt(512, '\0');
    fpt[6] = 0;
    fpt[7] = 64;
    auto memo = [&fpt](quint32 type, const QByteArray& data) {
        QByteArray head(8, '\0');
        qToBigEndian(type, reinterpret_cast<uchar*>(head.data()));
        qToBigEndian(quint32(data.size()), reinterpret_cast<uchar*>(head.data() + 4));
        fpt += (head + data).leftJustified(64, '\0');
    };
    memo(1, "text memo");
    memo(0, QByteArray("\x89PNG\0\0\x01", 7));
    writeBytes(dir + "/v.fpt", fpt);
    const Kept k = readDbf(dir + "/v.dbf");
    ASSERT_EQ(k.rows.size(), 3);
    EXPECT_DOUBLE_EQ(k.rows[0][0].toDouble(), 12.3456);
    EXPECT_EQ(k.rows[0][1].toString(), QStringLiteral("text memo"));
    EXPECT_FALSE(k.rows[1][1].isValid());
    const QString named = k.namedText();
    EXPECT_TRUE(named.contains(QStringLiteral("货币值（导入为最接近的数值）：共2处，第一处在第2条记录"))) << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("二进制备注（未导入）：共1处，第一处在第2条记录"))) << named.toStdString();
}

// A Visual FoxPro double holding NaN or an infinity is no number a cell
// holds: empty and named, as an N field's "inf" is. A logical's "?" (and
// blank) is the format's mark of a value never set: empty, as any empty
// field; anything but T, F, Y, N besides is named.
TEST(ForeignTexts, VisualFoxProDoublesAndLogicalsThatAreNoValue) {
    const QString dir = testDir();
    auto dbl = [](double v) {
        QByteArray b(8, '\0');
        quint64 bits = 0;
        std::memcpy(&bits, &v, 8);
        qToLittleEndian(bits, reinterpret_cast<uchar*>(b.data()));
        return b;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const QList<DbfField> fields{{"AMT", 'B', 8, 2}, {"OK", 'L', 1}};
    writeBytes(dir + "/b.dbf", dbfBytes(0x30, 0x7A, fields,
                                        {{dbl(1.5), "T"},
                                         {dbl(std::numeric_limits<double>::quiet_NaN()), "?"},
                                         {dbl(inf), "X"},
                                         {dbl(-inf), "n"},
                                         {dbl(-0.25), " "}}));
    const Kept k = readDbf(dir + "/b.dbf");
    ASSERT_EQ(k.rows.size(), 5);
    EXPECT_DOUBLE_EQ(k.rows[0][0].toDouble(), 1.5);
    EXPECT_TRUE(k.rows[0][1].toBool());
    for (int r : {1, 2, 3}) EXPECT_FALSE(k.rows[r][0].isValid()) << r;
    EXPECT_DOUBLE_EQ(k.rows[4][0].toDouble(), -0.25);
    EXPECT_FALSE(k.rows[1][1].isValid());  // "?": never set, not False
    EXPECT_FALSE(k.rows[2][1].isValid());
    ASSERT_TRUE(k.rows[3][1].isValid());
    EXPECT_FALSE(k.rows[3][1].toBool());
    EXPECT_FALSE(k.rows[4][1].isValid());
    const QString named = k.namedText();
    ASSERT_EQ(k.named.size(), 2) << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("非数值或无穷大（导入为空值）：共3处，第一处在第2条记录的字段“AMT”")))
        << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("不是T、F、Y、N的值（导入为空值）：共1处，第一处在第3条记录的字段“OK”")))
        << named.toStdString();
}

// dBASE 7: 48-byte field descriptors after a 68-byte header; C, N, F, D
// and L read, the other kinds left out and named.
TEST(ForeignTexts, DBase7TablesRead) {
    const QString dir = testDir();
    const QList<DbfField> fields{{"NAME", 'C', 6}, {"QTY", 'N', 8, 2}, {"RATE", 'F', 6, 1},
                                 {"DAY", 'D', 8},  {"OK", 'L', 1},     {"ID", 'I', 4},
                                 {"AMOUNT", 'O', 8}};
    writeBytes(dir + "/seven.dbf",
               dbfBytes(0x04, 0, fields,
                        {{"ann", "1.50", "2.5", "20240109", "T", QByteArray("\x80\0\0\x01", 4), QByteArray(8, '\0')},
                         {"bob", "-3", "", "", "F", QByteArray("\x80\0\0\x02", 4), QByteArray(8, '\0')}}));
    const Kept k = readDbf(dir + "/seven.dbf");
    ASSERT_EQ(k.fields.size(), 5);
    ASSERT_EQ(k.rows.size(), 2);
    EXPECT_EQ(k.rows[0][0].toString(), QStringLiteral("ann"));
    EXPECT_DOUBLE_EQ(k.rows[0][1].toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(k.rows[0][2].toDouble(), 2.5);
    EXPECT_EQ(k.rows[0][3].toDate(), QDate(2024, 1, 9));
    EXPECT_TRUE(k.rows[0][4].toBool());
    EXPECT_DOUBLE_EQ(k.rows[1][1].toDouble(), -3);
    EXPECT_FALSE(k.rows[1][4].toBool());
    EXPECT_EQ(k.named.size(), 2);
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("“ID”"))) << k.namedText().toStdString();
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("“AMOUNT”")));
}

// The old end mark ends a text file; a typed column reads the symbols its
// section declares, a Bit column True and False, a Date column its format.
TEST(ForeignTexts, TextFilesBySchemaIni) {
    const QString dir = testDir();
    writeBytes(dir + "/e.csv", "A,B\r\n1,x\r\n2,y\r\n\x1A");
    Kept k = readText(dir + "/e.csv");
    ASSERT_EQ(k.rows.size(), 2);
    EXPECT_EQ(k.fields[0].type, kDouble);

    writeBytes(dir + "/s.csv",
               "V;C;B;D\r\n"
               "\"1,50\";\"$12,50\";True;09.01.2024\r\n"
               "\"1.234,5\";\"(12,50)\";False;1/9/2024\r\n"
               "\"1.5\";\"12-\";0;2024-01-09\r\n"
               "abc;\"1.5%\";yes;31.02.2024\r\n");
    writeBytes(dir + "/Schema.ini",
               "[s.csv]\r\nFormat=Delimited(;)\r\nColNameHeader=True\r\nDecimalSymbol=,\r\nCurrencySymbol=$\r\n"
               "CurrencyNegFormat=0\r\nDateTimeFormat=dd.mm.yyyy\r\n"
               "Col1=V Double\r\nCol2=C Currency\r\nCol3=B Bit\r\nCol4=D Date\r\n");
    k = readText(dir + "/s.csv");
    ASSERT_EQ(k.rows.size(), 4);
    EXPECT_DOUBLE_EQ(k.rows[0][0].toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(k.rows[1][0].toDouble(), 1234.5);
    EXPECT_FALSE(k.rows[2][0].isValid());  // a point where the section says comma
    EXPECT_FALSE(k.rows[3][0].isValid());
    EXPECT_DOUBLE_EQ(k.rows[0][1].toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(k.rows[1][1].toDouble(), -12.5);
    EXPECT_FALSE(k.rows[2][1].isValid());
    EXPECT_FALSE(k.rows[3][1].isValid());
    EXPECT_EQ(k.rows[0][2].toDouble(), 1);
    EXPECT_EQ(k.rows[1][2].toDouble(), 0);
    EXPECT_EQ(k.rows[2][2].toDouble(), 0);
    EXPECT_FALSE(k.rows[3][2].isValid());
    // The section's format alone reads: "1/9/2024" and "2024-01-09" are
    // another convention in the same column, named, never guessed.
    EXPECT_EQ(k.rows[0][3].toDate(), QDate(2024, 1, 9));
    for (int r = 1; r < 4; ++r) EXPECT_FALSE(k.rows[r][3].isValid()) << r;
    const QString named = k.namedText();
    // Each field named on its own line, with its count and first record.
    EXPECT_TRUE(named.contains(QStringLiteral("共2处，第一处在第3条记录的字段“V”"))) << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("共2处，第一处在第3条记录的字段“C”"))) << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("共1处，第一处在第4条记录的字段“B”"))) << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("共3处，第一处在第2条记录的字段“D”"))) << named.toStdString();

    // Without a format the unambiguous forms read, and "02.03.2024" does
    // not: no form of its own is guessed for it.
    writeBytes(dir + "/Schema.ini", "[s.csv]\r\nColNameHeader=True\r\nCol1=D Date\r\n");
    writeBytes(dir + "/s.csv", "D\r\n02/03/2024\r\n2024-03-02\r\n02.03.2024\r\n");
    k = readText(dir + "/s.csv");
    ASSERT_EQ(k.rows.size(), 3);
    EXPECT_EQ(k.rows[0][0].toDate(), QDate(2024, 2, 3));
    EXPECT_EQ(k.rows[1][0].toDate(), QDate(2024, 3, 2));
    EXPECT_FALSE(k.rows[2][0].isValid());
    // With one, a time after the date still reads by it.
    writeBytes(dir + "/Schema.ini", "[s.csv]\r\nColNameHeader=True\r\nDateTimeFormat=dd.mm.yyyy\r\nCol1=D Date\r\n");
    writeBytes(dir + "/s.csv", "D\r\n02.03.2024 10:30:00\r\n02/03/2024\r\n");
    k = readText(dir + "/s.csv");
    ASSERT_EQ(k.rows.size(), 2);
    EXPECT_EQ(k.rows[0][0].toDateTime(), QDateTime(QDate(2024, 3, 2), QTime(10, 30)));
    EXPECT_FALSE(k.rows[1][0].isValid());
    EXPECT_TRUE(k.namedText().contains(QStringLiteral("共1处，第一处在第2条记录的字段“D”"))) << k.namedText().toStdString();
    // Two digits of a year are 1930 to 2029 ("24" was read as 1924), with
    // or without a time.
    writeBytes(dir + "/Schema.ini", "[s.csv]\r\nColNameHeader=True\r\nDateTimeFormat=dd/mm/yy\r\nCol1=D Date\r\n");
    writeBytes(dir + "/s.csv", "D\r\n01/02/24\r\n31/12/30\r\n01/01/29 08:00:00\r\n29/02/00\r\n");
    k = readText(dir + "/s.csv");
    ASSERT_EQ(k.rows.size(), 4);
    EXPECT_EQ(k.rows[0][0].toDate(), QDate(2024, 2, 1));
    EXPECT_EQ(k.rows[1][0].toDate(), QDate(1930, 12, 31));
    EXPECT_EQ(k.rows[2][0].toDateTime(), QDateTime(QDate(2029, 1, 1), QTime(8, 0)));
    // Qt reads "00" as 1900, which has no 29 February: named, never 1900.
    EXPECT_FALSE(k.rows[3][0].isValid());
}

}  // namespace
