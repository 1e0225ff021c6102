// qor as the host of the Reader: shell scripts of qor calls, run as a user
// would run them, and the report checked afterwards with the engine itself.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "platform/registry.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

// Runs a shell script (stderr joined to stdout) with $Q set to qor and $D
// to the folder.
qortest::ProcessResult shell(const QString& dir, const QString& body) {
    const QString path = dir + "/run.sh";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QString script = QStringLiteral("exec 2>&1\nQ='%1'\nD='%2'\n%3")
                               .arg(QStringLiteral(QOR_APP_BINARY), dir, body);
    f.write(script.toUtf8());
    f.close();
    return qortest::run(QStringLiteral("/bin/sh"), {path});
}

// 20 x 6 in data state, three pages: a label in (1,1), 12.5 in (2,2) and
// the text "收入" in (2,3) of page 1 (a text cell), unit name on page 1.
void makeReport(const QString& path) {
    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());
    uint16_t rows = 20, cols = 6;
    ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
    const CellArea textCell = CellArea::cell(2, 3);
    int32_t kind = kCellText;
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtKind, &kind, &textCell), 0);
    ASSERT_EQ(h.SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("项目")}, 1, 1), 0);
    ASSERT_EQ(h.EnterDataState(1), 0);
    ASSERT_EQ(h.AppendRowColPage(3, 2), 0);
    ASSERT_EQ(h.SetCurPage(1), 0);
    ASSERT_EQ(h.SetCellValue(CellValue::ofNumber(12.5), 2, 2), 0);
    ASSERT_EQ(h.SetCellValue(CellValue::ofText(QStringLiteral("收入")), 2, 3), 0);
    ASSERT_EQ(h.SetPageKeyword(0, qor::KeywordValue{2, 0, QStringLiteral("单位A")}, 0), 0);
    ASSERT_EQ(h.Save(), 0);
}

// The lines of the output between two marker lines.
QString section(const QString& out, const QString& from, const QString& to) {
    const qsizetype a = out.indexOf(from);
    const qsizetype b = out.indexOf(to, a + 1);
    if (a < 0 || b < 0) return QString();
    return out.mid(a + from.size(), b - a - from.size());
}

TEST(QorReader, AScriptOfQorCallsWalksTheRoadOfOneRequest) {
    const QString dir = qortest::freshDir("qor-reader-road");
    ASSERT_NO_FATAL_FAILURE(makeReport(dir + "/r.rep"));
    QFile junk(dir + "/junk.rep");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(3000, 'j'));
    junk.close();

    const QString body = QStringLiteral(R"(F="$D/r.rep"
set -e
"$Q" register
echo '== walk'
"$Q" pages "$F"
"$Q" get "$F" 1 2 2
"$Q" get "$F" 1 2 3
echo '== design'
cat > "$D/design.txt" <<EOF
OpenRep8File "$F"
BeginDesign
IsFormatState
SetCurCell 3 2
SetCellFormat 1 3
SetCellFormat 7 12
SetCellFormat 7 16
BeginData
IsFormatState
SetCurPage 2
SetCurCell 3 2
SetData 77.5
GetData
Save
CloseFile
EOF
"$Q" reader-script "$D/design.txt" || echo "script rc=$?"
echo '== change'
"$Q" format "$F" 4 2 3 2
"$Q" set "$F" 1 2 3 支出
"$Q" set "$F" 1 4 4 1234.5
"$Q" append-pages "$F" 2
"$Q" delete-pages "$F" 4 1
"$Q" append-rows "$F" 3
"$Q" delete-rows "$F" 21 1
"$Q" keyword "$F" 1 2 2024
"$Q" keyword "$F" 2 0 单位B
echo '== reopened'
"$Q" pages "$F"
"$Q" get "$F" 1 2 2
"$Q" get "$F" 1 2 3
"$Q" get "$F" 1 4 4
"$Q" get "$F" 2 3 2
"$Q" format "$F" 3 2 1
"$Q" format "$F" 3 2 7
"$Q" format "$F" 4 2 3
"$Q" table-size "$F"
"$Q" keyword "$F" 1 2
echo '== errors'
set +e
"$Q" pages "$D/missing.rep"; echo "rc=$?"
"$Q" pages "$D/junk.rep"; echo "rc=$?"
printf 'OpenRep8File "%s"\nOpenRep8File "%s"\n' "$D/missing.rep" "$D/junk.rep" > "$D/bad.txt"
"$Q" reader-script "$D/bad.txt"; echo "rc=$?"
echo '== end'
)");
    const auto run = shell(dir, body);
    const QString out = QString::fromUtf8(run.out);
    ASSERT_EQ(run.exitCode, 0) << qPrintable(out);

    EXPECT_EQ(section(out, "== walk\n", "== design"),
              QStringLiteral("pages: 3\npage 1: 0=\"单位A\"\npage 2:\npage 3:\n12.5\n收入\n"));
    EXPECT_EQ(section(out, "== design\n", "== change"),
              QStringLiteral("OpenRep8File: ok=true\n"
                             "BeginDesign: ok=true\n"
                             "IsFormatState: ok=true value=true\n"
                             "SetCurCell: ok=true\n"
                             "SetCellFormat: ok=true\n"
                             "SetCellFormat: ok=true\n"
                             "SetCellFormat: ok=false error=\"SetCellFormat：格式代码7的值为0到15，不能是16\"\n"
                             "BeginData: ok=true\n"
                             "IsFormatState: ok=true value=false\n"
                             "SetCurPage: ok=true\n"
                             "SetCurCell: ok=true\n"
                             "SetData: ok=true\n"
                             "GetData: ok=true value=77.5\n"
                             "Save: ok=true\n"
                             "CloseFile: ok=true\n"
                             "script rc=1\n"));
    const QString changed = section(out, "== change\n", "== reopened");
    for (const char* line :
         {"row 4, column 2: format code 3 = 2\n", "page 1, row 2, column 3: \"支出\"\n",
          "page 1, row 4, column 4: 1234.5\n", "pages: 5\n", "pages: 4\n",
          "table: 23 rows, 6 columns\n", "table: 22 rows, 6 columns\n", "page 1, keyword 2: 2024\n",
          "page 2, keyword 0: \"单位B\"\n"})
        EXPECT_TRUE(changed.contains(QString::fromUtf8(line))) << line << qPrintable(changed);
    EXPECT_EQ(section(out, "== reopened\n", "== errors"),
              QStringLiteral("pages: 4\n"
                             "page 1: 0=\"单位A\" 2=2024\n"
                             "page 2: 0=\"单位B\"\n"
                             "page 3:\npage 4:\n"
                             "12.5\n支出\n1234.5\n77.5\n"
                             "3\n12\n2\n"
                             "table: 22 rows, 6 columns\n"
                             "2024\n"));

    const QString errors = section(out, "== errors\n", "== end");
    const QStringList lines = errors.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 6) << qPrintable(errors);
    EXPECT_TRUE(
        errors.contains(QStringLiteral("文件") + dir + "/missing.rep" + QStringLiteral("不存在")))
        << qPrintable(errors);
    EXPECT_TRUE(errors.contains(QStringLiteral("junk.rep: 不是报表文件（状态1006）")))
        << qPrintable(errors);
    EXPECT_EQ(errors.count(QStringLiteral("rc=1")), 3) << qPrintable(errors);
    EXPECT_TRUE(errors.contains(QRegularExpression(
        "OpenRep8File: ok=false error=\"文件.*missing.rep不存在,\\\\n请重新选择！\"")))
        << qPrintable(errors);
    EXPECT_TRUE(errors.contains(QRegularExpression("OpenRep8File: ok=false error=\".*1006")))
        << qPrintable(errors);

    // The engine reads what the Reader wrote.
    CReportHandle h(dir + "/r.rep", CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    EXPECT_FALSE(h.IsFormatState());
    EXPECT_EQ(h.GetPageCount(), 4);
    EXPECT_EQ(h.GetRowCount(), 22);
    ASSERT_EQ(h.SetCurPage(2), 0);
    CellValue v;
    ASSERT_EQ(h.GetCellValue(&v, 3, 2, 0), 0);
    EXPECT_EQ(v.number, 77.5);
    int32_t background = 0;
    const CellArea cell = CellArea::cell(3, 2);
    ASSERT_EQ(h.AccessAreaFormat(0, qor::kFmtBackground, &background, &cell), 0);
    EXPECT_EQ(background, 12);
}

TEST(QorReader, VerbsKeepTheStateTheReportWasIn) {
    const QString dir = qortest::freshDir("qor-reader-state");
    const QString path = dir + "/n.rep";
    // A new report is in format state; data verbs pass through data state
    // and leave it as it was.
    ASSERT_EQ(qor({"new", path, "--pages", "2"}).exitCode, 0);
    auto set = qor({"set", path, "2", "1", "1", "5"});
    ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    EXPECT_EQ(qor({"get", path, "2", "1", "1"}).out, "5\n");
    EXPECT_TRUE(qor({"info", path}).out.contains("state:   format"));

    // A number that is meant as text, and a text where a number belongs.
    ASSERT_EQ(qor({"format", path, "1", "2", "0", "2"}).exitCode, 0);
    EXPECT_EQ(qor({"set", path, "1", "1", "2", "007", "--text"}).exitCode, 0);
    EXPECT_EQ(qor({"get", path, "1", "1", "2"}).out, "007\n");
    auto notNumber = qor({"set", path, "1", "1", "1", "abc"});
    EXPECT_EQ(notNumber.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(notNumber.err).contains(QStringLiteral("不是数字"))) << notNumber.err.constData();

    auto table = qor({"table-size", path, "30", "9"});
    ASSERT_EQ(table.exitCode, 0) << table.err.constData();
    EXPECT_EQ(table.out, "table: 30 rows, 9 columns\n");
    EXPECT_EQ(qor({"insert-rows", path, "1", "2"}).out, "table: 32 rows, 9 columns\n");
    // Row 1 moved down by two.
    EXPECT_EQ(qor({"get", path, "2", "3", "1"}).out, "5\n");
}

TEST(QorReader, BadRequestsFailWithoutChangingTheReport) {
    const QString dir = qortest::freshDir("qor-reader-bad");
    const QString path = dir + "/b.rep";
    ASSERT_NO_FATAL_FAILURE(makeReport(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    EXPECT_EQ(qor({"get", path, "1", "x", "1"}).exitCode, 2);
    EXPECT_EQ(qor({"set", path, "1", "1"}).exitCode, 2);
    EXPECT_EQ(qor({"set", path, "1", "2", "2", "3", "--bold"}).exitCode, 2);
    EXPECT_EQ(qor({"pages"}).exitCode, 2);
    auto badPage = qor({"set", path, "9", "2", "2", "1"});
    EXPECT_EQ(badPage.exitCode, 1);
    EXPECT_TRUE(badPage.err.contains("1045")) << badPage.err.constData();
    EXPECT_EQ(qor({"format", path, "2", "2", "7", "99"}).exitCode, 1);
    EXPECT_EQ(qor({"delete-pages", path, "4", "1"}).exitCode, 1);
    EXPECT_EQ(qor({"append-rows", path, "9999"}).exitCode, 1);
    EXPECT_EQ(qor({"keyword", path, "1", "3", "June"}).exitCode, 1);

    const QString script = dir + "/s.txt";
    QFile s(script);
    ASSERT_TRUE(s.open(QIODevice::WriteOnly));
    s.write("OpenRep8File \"unclosed\n");
    s.close();
    EXPECT_EQ(qor({"reader-script", script}).exitCode, 2);
    EXPECT_EQ(qor({"reader-script", dir + "/none.txt"}).exitCode, 2);

    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(QorReader, ReaderIsCreatedThroughTheRegistry) {
    const QString dir = qortest::freshDir("qor-reader-registry");
    const QString path = dir + "/g.rep";
    ASSERT_NO_FATAL_FAILURE(makeReport(path));
    const QByteArray saved = qgetenv("QOR_REGISTRY");
    qputenv("QOR_REGISTRY", QFile::encodeName(dir + "/registry.ini"));
    const QString clsKey = QStringLiteral("CLSID\\{60BD8127-D3A7-45ED-8864-99F11A044041}");

    auto reg = qor({"register"});
    EXPECT_EQ(reg.exitCode, 0) << reg.err.constData();
    EXPECT_EQ(qor::Registry::readString("Pagoda2.Reader\\CLSID", QString()),
              QStringLiteral("{60BD8127-D3A7-45ED-8864-99F11A044041}"));
    EXPECT_EQ(qor::Registry::readString("Pagoda2.Reader\\CurVer", QString()),
              QStringLiteral("Pagoda2.Reader.1"));
    EXPECT_EQ(qor::Registry::readString(clsKey + "\\TypeLib", QString()),
              QStringLiteral("{3632775D-409B-473B-81B3-CB329D55A9B1}"));
    EXPECT_EQ(qor::Registry::readString(clsKey + "\\InprocServer32", "ThreadingModel"),
              QStringLiteral("Apartment"));

    auto unreg = qor({"unregister"});
    EXPECT_EQ(unreg.exitCode, 0) << unreg.err.constData();
    EXPECT_FALSE(qor::Registry::keyExists("Pagoda2.Reader.1\\CLSID"));
    EXPECT_FALSE(qor::Registry::keyExists(clsKey));

    // Another library registered for the class is what qor gets: the verbs
    // create the Reader by ProgID like any host.
    ASSERT_TRUE(qor::Registry::writeString(clsKey + "\\InprocServer32", QString(),
                                           dir + "/libnotthere.so"));
    ASSERT_TRUE(qor::Registry::writeString("Pagoda2.Reader\\CLSID", QString(),
                                           "{60BD8127-D3A7-45ED-8864-99F11A044041}"));
    auto other = qor({"pages", path});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(other.err.contains("libnotthere.so")) << other.err.constData();
    qputenv("QOR_REGISTRY", saved);
}


// A literal's bytes, the NULs inside it included.
template <size_t N>
QByteArray withNul(const char (&text)[N]) {
    return QByteArray(text, qsizetype(N - 1));
}

// The report's texts end at a NUL: a text holding one is refused with the
// reason, the cell keeps what it had, and nothing the script prints after
// it is lost.
TEST(QorReader, ATextWithANulIsRefusedAndTheOutputGoesOn) {
    const QString dir = qortest::freshDir("qor-reader-nul");
    const QString path = dir + "/r.rep";
    makeReport(path);
    QByteArray script = QStringLiteral("OpenRep8File \"%1\"\nSetCurCell 2 3\n").arg(path).toUtf8();
    script += withNul("SetData \"x\0y\"\n");
    script += withNul("SetKeyword 0 \"a\0b\"\n");
    script += "GetData\nSetCurCell 2 2\nGetData\nSave\nCloseFile\n";
    qortest::writeFile(dir + "/nul.txt", script);
    const auto ran = qor({"reader-script", dir + "/nul.txt"});
    EXPECT_EQ(ran.exitCode, 1);
    const QString out = QString::fromUtf8(ran.out);
    EXPECT_TRUE(out.contains(QStringLiteral("SetData: ok=false error=\"SetData：文字中有空字符")))
        << ran.out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("SetKeyword: ok=false error=\"SetKeyword：文字中有空字符")))
        << ran.out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("GetData: ok=true value=\"收入\"\n"))) << ran.out.toStdString();
    EXPECT_TRUE(out.contains("GetData: ok=true value=12.5\n")) << ran.out.toStdString();
    EXPECT_TRUE(out.endsWith("CloseFile: ok=true\n")) << ran.out.toStdString();

    // A NUL the script prints (the method name it could not call) reaches
    // the output whole, escaped where quoted.
    qortest::writeFile(dir + "/name.txt", withNul("No\0Such\nGetPages\n"));
    const auto named = qor({"reader-script", dir + "/name.txt"});
    EXPECT_TRUE(named.out.contains("GetPages: ok=")) << named.out.toStdString();
}

// What GetData prints can be sent back: a quote, a backslash and the line
// ends a text holds are escaped one way on output and read the same way in.
TEST(QorReader, AQuotedTextPrintedComesBackWhole) {
    const QString dir = qortest::freshDir("qor-reader-escapes");
    const QString path = dir + "/r.rep";
    makeReport(path);
    const QByteArray escaped = R"("他说\"好\" a\\b\r\nc")";
    const QByteArray script = QStringLiteral("OpenRep8File \"%1\"\nSetCurCell 2 3\n").arg(path).toUtf8() +
                              "SetData " + escaped + "\nGetData\nSetData \"x\\0y\"\nGetData\nSave\nCloseFile\n";
    qortest::writeFile(dir + "/esc.txt", script);
    const auto ran = qor({"reader-script", dir + "/esc.txt"});
    const QByteArray back = "GetData: ok=true value=" + escaped + "\n";
    EXPECT_EQ(ran.out.count(back), 2) << ran.out.toStdString();
    EXPECT_TRUE(ran.out.contains("SetData: ok=false")) << ran.out.toStdString();

    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());
    CellValue v;
    ASSERT_EQ(h.GetCellValue(&v, 2, 3, 1), 0);
    EXPECT_EQ(v.text, QStringLiteral("他说\"好\" a\\b\r\nc"));
}

}  // namespace
