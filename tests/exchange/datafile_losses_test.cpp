// What a data file carries into a report and out of it is whole, or the
// conversion says what it left out: the first line of a text file, cells
// covered by a combined area, numbers of a column that also holds texts.
// The files are made by other programs' writers (python's csv module,
// dbfread reading ours) where that is practical.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/datafilechain.h"
#include "exchange/datafileconvert.h"
#include "exchange/jetdb.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("datalosses-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// What a report cell shows: its text, its number as text, or "" when it
// holds nothing.
QString shown(CReportHandle& h, int r, int c) {
    CellValue v;
    if (h.GetCellValue(&v, r, c, 1) != 0) return QStringLiteral("<no cell>");
    if (v.kind == kCellText || v.kind == kCellLabel) return v.text;
    if (v.kind == kCellUnset) return QString();
    return QString::number(v.number, 'g', 15);
}

struct Imported {
    int result = 0;
    QString error;
    QStringList notes;
    std::unique_ptr<CReportHandle> report;
};

Imported importFile(const QString& path) {
    Imported out;
    out.report = std::make_unique<CReportHandle>(path + QStringLiteral(".rep"));
    out.result = ImportDataFileToReport(path, out.report.get(), &out.error, &out.notes);
    return out;
}

// A text file's first line is the fields' names unless its Schema.ini
// section says otherwise; names that are more than the column letters a
// report's own export writes reach no cell, so the import names the line.
TEST(DataFileLosses, TextFirstLineReachesTheReportOrIsNamed) {
    const QString d = dir();
    if (!qortest::needPythonModule("csv")) return;
    struct Case {
        const char* file;
        const char* rows;       // python list of rows, written by csv.writer
        const char* schemaIni;  // the folder's section for the file, or ""
        bool named;             // the first line is named as left out
        const char* firstCell;  // what A1 of the report shows
    };
    const Case cases[] = {
        {"named.csv", "[['项目', '金额'], ['收入', 120.5], ['支出', -20.25]]", "", true, "收入"},
        // The title line another program writes above a table.
        {"title.csv", "[['资产负债表', ''], ['项目', '金额'], ['收入', 120.5]]", "", true, "项目"},
        // What a report's own export writes as names holds nothing else.
        {"letters.csv", "[['A', 'B'], ['收入', 120.5], ['支出', -20.25]]", "", false, "收入"},
        {"blank.csv", "[['', ''], ['收入', 120.5]]", "", false, "收入"},
        // The section the decisions tell the user to write keeps the line.
        {"kept.csv", "[['资产负债表', ''], ['项目', '金额'], ['收入', 120.5]]",
         "[kept.csv]\r\nColNameHeader=False\r\n", false, "资产负债表"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = d + QLatin1Char('/') + QString::fromUtf8(c.file);
        const auto made = qortest::python(
            QStringLiteral("import csv, sys\n"
                           "with open(sys.argv[1], 'w', newline='', encoding='utf-8') as f:\n"
                           "    csv.writer(f).writerows(%1)\n")
                .arg(QString::fromUtf8(c.rows)),
            {path});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        QFile::remove(d + QStringLiteral("/Schema.ini"));
        if (*c.schemaIni) put(d + QStringLiteral("/Schema.ini"), c.schemaIni);

        const Imported in = importFile(path);
        ASSERT_EQ(in.result, 1) << in.error.toStdString();
        EXPECT_EQ(shown(*in.report, 1, 1), QString::fromUtf8(c.firstCell));
        const QString told = in.notes.join(u'\n');
        EXPECT_EQ(told.contains(QStringLiteral("第1行")), c.named) << told.toStdString();
        if (c.named) {
            EXPECT_TRUE(told.contains(QString::fromUtf8(c.file))) << told.toStdString();
            EXPECT_TRUE(told.contains(QStringLiteral("ColNameHeader=False"))) << told.toStdString();
        }
    }
    // Every value below the names comes in.
    const Imported named = importFile(d + QStringLiteral("/named.csv"));
    EXPECT_EQ(shown(*named.report, 2, 1), QStringLiteral("支出"));
    EXPECT_EQ(shown(*named.report, 1, 2), QStringLiteral("120.5"));
    EXPECT_EQ(shown(*named.report, 2, 2), QStringLiteral("-20.25"));
}

// A cell holds a label of 255 characters: one that long comes in whole, a
// longer one cut, and the cut is named with its place.
TEST(DataFileLosses, TextsLongerThanACellHoldsAreNamed) {
    const QString d = dir();
    const QString path = d + QStringLiteral("/long.csv");
    const QString whole(255, u'甲'), longer(300, u'乙');
    put(path, (QStringLiteral("A,B\r\n") + whole + QStringLiteral(",1\r\n") + longer +
               QStringLiteral(",2\r\n短,3\r\n"))
                  .toUtf8());
    const Imported in = importFile(path);
    ASSERT_EQ(in.result, 1) << in.error.toStdString();
    EXPECT_EQ(in.report->GetCellText(1, 1, 1), whole);
    EXPECT_EQ(in.report->GetCellText(2, 1, 1), longer.left(255));
    EXPECT_EQ(in.report->GetCellText(3, 1, 1), QStringLiteral("短"));
    const QString told = in.notes.join(u'\n');
    EXPECT_TRUE(told.contains(QStringLiteral("1个文本超过单元能容纳的255个字符"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("第1页第2行第1列"))) << told.toStdString();
}

// A table whose every field is left out gives the report nothing: the
// import fails naming why, not as a file without records.
TEST(DataFileLosses, ATableOfTextsInACodePageNoConverterKnowsSaysSo) {
    const QString d = dir();
    QByteArray head(32, '\0');
    head[0] = 3;
    head[4] = 1;  // one record
    head[8] = 32 + 32 + 1;
    head[10] = 1 + 6;
    head[29] = char(0xEE);  // a language driver byte no table lists
    QByteArray field(32, '\0');
    field.replace(0, 4, "NAME");
    field[11] = 'C';
    field[16] = 6;
    put(d + QStringLiteral("/t.dbf"), head + field + "\r \xC5\xEB\xEB\xE7  \x1A");
    const Imported in = importFile(d + QStringLiteral("/t.dbf"));
    EXPECT_EQ(in.result, 0);
    EXPECT_TRUE(in.error.contains(QStringLiteral("0xEE"))) << in.error.toStdString();
    EXPECT_TRUE(in.error.contains(QStringLiteral("NAME"))) << in.error.toStdString();
}

// A file that is no text in any encoding the reader takes is refused with
// the reason; text in each of them comes in whole.
TEST(DataFileLosses, BytesThatAreNoTextAreRefusedTextInEveryEncodingIsRead) {
    const QString d = dir();
    const QString table = QStringLiteral("项目,金额\r\n收入,120.5\r\n支出😀,-20.25\r\n");
    struct Case {
        const char* file;
        QByteArray bytes;
        const char* reason;  // what the refusal says, or nullptr: read
    };
    QByteArray random(4096, '\0');
    quint32 seed = 12345;
    for (char& b : random) {
        seed = seed * 1103515245u + 12345u;
        b = char(seed >> 23);
    }
    QByteArray utf16le("\xFF\xFE"), utf16be("\xFE\xFF");
    for (const QChar c : table) {
        const char16_t u = c.unicode();
        utf16le += char(u & 0xFF);
        utf16le += char(u >> 8);
        utf16be += char(u >> 8);
        utf16be += char(u & 0xFF);
    }
    const Case cases[] = {
        {"random.txt", random, "不是文本文件"},
        {"nul.csv", QByteArray("项目,金额\r\n收入,1") + '\0' + "\r\n", "第2行有控制字符U+0000"},
        {"utf8.csv", table.toUtf8(), nullptr},
        {"utf8bom.csv", "\xEF\xBB\xBF" + table.toUtf8(), nullptr},
        {"utf16le.csv", utf16le, nullptr},
        {"utf16be.csv", utf16be, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = d + QLatin1Char('/') + QString::fromUtf8(c.file);
        put(path, c.bytes);
        const Imported in = importFile(path);
        if (c.reason) {
            EXPECT_EQ(in.result, 0);
            EXPECT_TRUE(in.error.contains(QString::fromUtf8(c.reason))) << in.error.toStdString();
            EXPECT_TRUE(in.error.contains(QString::fromUtf8(c.file))) << in.error.toStdString();
            continue;
        }
        ASSERT_EQ(in.result, 1) << in.error.toStdString();
        EXPECT_EQ(shown(*in.report, 1, 1), QStringLiteral("收入"));
        EXPECT_EQ(shown(*in.report, 2, 1), QStringLiteral("支出😀"));
        EXPECT_EQ(shown(*in.report, 1, 2), QStringLiteral("120.5"));
        EXPECT_EQ(shown(*in.report, 2, 2), QStringLiteral("-20.25"));
    }
    // GB18030 as python writes it, four-byte characters included.
    const QString gbPath = d + QStringLiteral("/gb.csv");
    const auto made = qortest::python(
        QStringLiteral("import sys\nopen(sys.argv[1], 'wb').write(sys.argv[2].encode('gb18030'))\n"),
        {gbPath, table});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const Imported gb = importFile(gbPath);
    ASSERT_EQ(gb.result, 1) << gb.error.toStdString();
    EXPECT_EQ(shown(*gb.report, 2, 1), QStringLiteral("支出😀"));
    EXPECT_EQ(shown(*gb.report, 2, 2), QStringLiteral("-20.25"));
}

// A report cell keeps seven decimals: numbers of more come in rounded and
// are named, with how many and the first; the rest come in equal. The
// dBASE files (an N(20,10) field) are made by shapelib's dbfcreate/dbfadd
// and byte by byte by python, the text files by python's csv module; the
// Access and Lotus files carry a python dBASE file's doubles whole (as
// mdb-export shows).
TEST(DataFileLosses, NumbersOfMoreThanSevenDecimalsAreNamed) {
    const QString d = dir();
    const char* const kDbf =
        "import struct, sys\n"
        "vals = [float(x) for x in sys.argv[2].split(',')]\n"
        "head = struct.pack('<BBBBIHH20x', 3, 126, 1, 1, len(vals), 32 + 32 + 1, 1 + 20)\n"
        "field = struct.pack('<11sc4xBB14x', b'AMOUNT', b'N', 20, 10)\n"
        "recs = b''.join(b' ' + ('%20.10f' % v).encode() for v in vals)\n"
        "open(sys.argv[1], 'wb').write(head + field + b'\\r' + recs + b'\\x1a')\n";
    const char* const kCsv =
        "import csv, sys\n"
        "with open(sys.argv[1], 'w', newline='') as f:\n"
        "    csv.writer(f).writerows([['A']] + [[x] for x in sys.argv[2].split(',')])\n";
    const char* const kPi = "3.1415926535,0.000000001,120.5";
    struct Case {
        const char* file;
        const char* values;  // the file's numbers, in order
        int rounded;         // how many are named as rounded (0: none)
        int firstRow;        // the row of the first named
        int above = 0;       // rows above the numbers (a worksheet's names row stays a row)
    };
    const Case cases[] = {
        {"pi.dbf", kPi, 2, 1},
        {"seven.dbf", "3.1415927,0.0000001,-120.25", 0, 0},
        {"shapelib.dbf", "120.5,-0.000000001,3.1415926535", 2, 2},
        {"pi.mdb", kPi, 2, 1},
        {"pi.wk4", kPi, 2, 2, 1},
        {"pi.csv", "120.5,3.1415926535,-0.000000001", 2, 2},
        {"seven.csv", "3.1415927,0.0000001,-120.25", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = d + QLatin1Char('/') + QString::fromUtf8(c.file);
        const QString values = QString::fromUtf8(c.values);
        if (path.endsWith(QStringLiteral("shapelib.dbf"))) {
            if (!qortest::needProgram(QStringLiteral("dbfcreate"))) continue;
            ASSERT_EQ(qortest::run(QStringLiteral("dbfcreate"),
                                   {path, QStringLiteral("-n"), QStringLiteral("AMOUNT"),
                                    QStringLiteral("20"), QStringLiteral("10")})
                          .exitCode,
                      0);
            for (const QString& v : values.split(u','))
                ASSERT_EQ(qortest::run(QStringLiteral("dbfadd"), {path, v}).exitCode, 0);
        } else if (path.endsWith(QStringLiteral(".mdb")) || path.endsWith(QStringLiteral(".wk4"))) {
            // The dBASE file's table in a working database, written out.
            const QString work = d + QStringLiteral("/work.mdb");
            QString error;
            ASSERT_EQ(ConvertDbfFileToMdb(d + QStringLiteral("/pi.dbf"), work, QStringLiteral("t"), &error), 1)
                << error.toStdString();
            if (path.endsWith(QStringLiteral(".wk4"))) {
                ASSERT_EQ(ConvertMdbToWk4File(work, path, &error), 1) << error.toStdString();
            } else {
                auto db = qor::jet::Database::open(work, QString(), false, true);
                ASSERT_EQ(ConvertDatabaseToAccessFile(*db, path, &error, nullptr), 1) << error.toStdString();
                if (qortest::needProgram(QStringLiteral("mdb-export"))) {
                    const auto out = qortest::run(QStringLiteral("mdb-export"), {path, QStringLiteral("t")});
                    EXPECT_TRUE(out.out.contains("3.1415926535")) << out.out.toStdString();
                }
            }
        } else {
            const auto made =
                qortest::python(QString::fromUtf8(path.endsWith(QStringLiteral(".dbf")) ? kDbf : kCsv),
                                {path, values});
            ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        }
        const Imported in = importFile(path);
        ASSERT_EQ(in.result, 1) << in.error.toStdString();
        const QString told = in.notes.join(u'\n');
        int rounded = 0;
        const QStringList numbers = values.split(u',');
        for (int r = 1; r <= numbers.size(); ++r) {
            const double want = numbers[r - 1].toDouble();
            if (shown(*in.report, r + c.above, 1) != QString::number(want, 'g', 15)) ++rounded;
        }
        EXPECT_EQ(rounded, c.rounded) << told.toStdString();
        if (c.rounded == 0) {
            EXPECT_TRUE(told.isEmpty()) << told.toStdString();
            continue;
        }
        const QString line = QStringLiteral("小数位超过7位的数值已舍入：共%1处，第一处在第1页第%2行第1列")
                                 .arg(c.rounded)
                                 .arg(c.firstRow);
        EXPECT_TRUE(told.contains(line)) << told.toStdString();
    }
}

// A report with a combined area and a column of a label above numbers,
// written to every data file and read back.
class ReportOut : public ::testing::Test {
protected:
    void SetUp() override {
        d = dir();
        h = newReport(d + QStringLiteral("/r.rep"), 4, 3);
        // A1:A2 combined over number cells; B1 a label above numbers.
        setFormat(*h, 0, kCellNumber, CellArea::area(1, 1, 4, 3));
        setFormat(*h, 3, 2, CellArea::area(1, 1, 4, 3));
        const CellArea a1a2 = CellArea::area(1, 1, 2, 1);
        ASSERT_EQ(h->CombineCells(&a1a2), 0);
        ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("金额")}, 1, 2), 0);
        toData(*h, 1);
        setNumber(*h, 1, 1, 1, 5);
        for (int r = 2; r <= 4; ++r) setNumber(*h, 1, r, 2, r * 10.25);
        for (int r = 3; r <= 4; ++r) setNumber(*h, 1, r, 1, r);
        for (int r = 1; r <= 4; ++r) setNumber(*h, 1, r, 3, -r * 0.5);
    }
    // The report saved as d/<stem>.<ext> (its notes in *notes) and opened
    // again.
    Imported roundTrip(const char* stem, const char* ext, QStringList* notes) {
        const QString path = d + QLatin1Char('/') + QString::fromLatin1(stem) + QLatin1Char('.') +
                             QString::fromLatin1(ext);
        QString error;
        Imported back;
        back.result = ExportReportToDataFile(h.get(), path, 0, &error, notes);
        EXPECT_EQ(back.result, 1) << error.toStdString();
        return back.result ? importFile(path) : std::move(back);
    }
    QString d;
    std::unique_ptr<CReportHandle> h;
};

const char* const kDataKinds[] = {"txt", "csv", "dbf", "mdb", "wk4"};

TEST_F(ReportOut, CellsUnderACombinedAreaAreWrittenEmpty) {
    for (const char* ext : kDataKinds) {
        SCOPED_TRACE(ext);
        QStringList notes;
        const Imported back = roundTrip("c", ext, &notes);
        ASSERT_EQ(back.result, 1) << back.error.toStdString();
        EXPECT_EQ(shown(*back.report, 1, 1), QStringLiteral("5"));
        EXPECT_EQ(shown(*back.report, 2, 1), QString());  // covered by A1
        EXPECT_EQ(shown(*back.report, 3, 1), QStringLiteral("3"));
    }
    // Other programs read no value there either.
    if (qortest::needPythonModule("dbfread")) {
        const auto r = qortest::python(QStringLiteral("import sys, dbfread\n"
                                                      "print([rec['A'] for rec in dbfread.DBF(sys.argv[1])])\n"),
                                       {d + QStringLiteral("/c.dbf")});
        EXPECT_EQ(r.out.trimmed(), QByteArray("[5.0, None, 3.0, 4.0]")) << r.err.toStdString();
    }
    const auto csv = qortest::python(QStringLiteral("import csv, sys\n"
                                                    "print([row[0] for row in csv.reader(open(sys.argv[1], newline='', encoding='gb18030'))])\n"),
                                     {d + QStringLiteral("/c.csv")});
    EXPECT_EQ(csv.out.trimmed(), QByteArray("['A', '5', '', '3', '4']")) << csv.err.toStdString();
}

TEST_F(ReportOut, NumbersOfAColumnWithALabelAreNamedWhenWrittenAsTexts) {
    for (const char* ext : kDataKinds) {
        SCOPED_TRACE(ext);
        QStringList notes;
        const Imported back = roundTrip("l", ext, &notes);
        ASSERT_EQ(back.result, 1) << back.error.toStdString();
        // Column B is named with its three numbers; A and C keep number
        // fields and are not named.
        ASSERT_EQ(notes.size(), 1) << notes.join(u'\n').toStdString();
        EXPECT_TRUE(notes[0].contains(QStringLiteral("B（3个）"))) << notes[0].toStdString();
        EXPECT_FALSE(notes[0].contains(QStringLiteral("A（"))) << notes[0].toStdString();
        EXPECT_FALSE(notes[0].contains(QStringLiteral("C（"))) << notes[0].toStdString();
        // Every value is there, the named ones as their texts.
        EXPECT_EQ(shown(*back.report, 1, 2), QStringLiteral("金额"));
        for (int r = 2; r <= 4; ++r) {
            EXPECT_EQ(shown(*back.report, r, 2), QString::number(r * 10.25)) << r;
            EXPECT_EQ(shown(*back.report, r, 3), QString::number(-r * 0.5)) << r;
        }
    }
    // Values only, a workbook keeps numbers as numbers: nothing to name.
    QString error;
    QStringList notes;
    ASSERT_EQ(ExportReportToValuesWorkbook(h.get(), d + QStringLiteral("/l.xls"), 0, &error, &notes), 1)
        << error.toStdString();
    EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();
}

}  // namespace
