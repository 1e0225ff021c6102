// The financial-indicator interface without its window: the interface
// file, the libraries and the computation into the result library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/messages.h"
#include "finui/indicatordlg.h"
#include "fininterface/indicatorrun.h"
#include "platform/codepage.h"
#include "platform/registry.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::cmd_ids;
using namespace qor;

namespace {

void writeGb(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(encodeText(QString(text).replace("\n", "\r\n"), "GB18030"));
}

struct Indicator {
    QString code;
    QString expression;
};

// The interface file, with its libraries beside it.
QString writeInterface(const QString& dir, const QList<Indicator>& list, const QString& start,
                       const QString& end, const QString& extra) {
    QString ind = "[ReportSoft]\nDecimal=2\nMoneyUnit=1元\nRCorp=R\n[FinanceSoft]\nFCorp=x\n";
    QString formulas = "[FinanceSoft]\nFCorp=F\nClass=工业\n[TYPE]\n1=一\n";
    for (const Indicator& i : list) {
        ind += "[" + i.code + "]\nName=指标" + i.code + "\n";
        formulas += "[" + i.code + "]\nExpressions=" + i.expression + "\n";
    }
    ind += "[end]\n";
    writeGb(dir + "/ind.ini", ind);
    writeGb(dir + "/formulas.ini", formulas);
    const QString path = dir + "/iface.ini";
    writeGb(path, "[InterCS]\nStartTime=" + start + "\nEndTime=" + end + "\nCWZBK_File=" + dir +
                      "/ind.ini\nCWGSK_File=" + dir + "/formulas.ini\nCWSJK_File=" + dir +
                      "/result.ini\nLog_File=" + dir + "/run.log\n" + extra);
    return path;
}

// The result library as the sibling program reads it.
QString readResultIn(const QString& dir, const QString& script) {
    const auto r = qortest::python(
        "import configparser,sys\n"
        "c=configparser.ConfigParser(allow_no_value=True,strict=False,delimiters=('=',))\n"
        "c.optionxform=str\n"
        "c.read_string(open(sys.argv[1],encoding='gb18030',newline='').read().replace('\\r\\n',"
        "'\\n'))\n" +
            script,
        {dir + "/result.ini"});
    QFile f(dir + "/result.ini");
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData()
                             << decodeText(f.readAll(), "GB18030").toStdString();
    return QString::fromUtf8(r.out).trimmed();
}

class Indicators : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir("indicators");
        Registry::deleteValue(QString::fromLatin1(kIndicatorRegistryKey),
                              QString::fromLatin1(kFormulaLibraryValue));
    }
    QString write(const QList<Indicator>& list, const QString& start = "2004-1-1",
                  const QString& end = "2004-12-31", const QString& extra = {}) {
        return writeInterface(dir, list, start, end, extra);
    }
    // Runs the whole computation as qor indicators does.
    std::unique_ptr<CIndicatorRun> run(const QString& iface, int steps = -1) {
        IndicatorSettings s;
        EXPECT_TRUE(ReadInterfaceFile(iface, &s));
        auto r = std::make_unique<CIndicatorRun>(
            s, [](const QString& line) { return RunCommandLineForDocument(nullptr, line, 0x12); },
            [this](const QString& line) { traces << line; });
        QString message;
        EXPECT_TRUE(r->Start(&message)) << message.toStdString();
        while (!r->Done() && steps-- != 0) r->Step();
        if (r->Done()) r->Finish();
        return r;
    }
    QString readResult(const QString& script) { return readResultIn(dir, script); }
    QString dir;
    QStringList traces;
};

}  // namespace

TEST_F(Indicators, TheInterfaceFileGivesThePeriodAndTheSettings) {
    IndicatorSettings s;
    ASSERT_TRUE(ReadInterfaceFile(write({}), &s));
    EXPECT_EQ(s.period, u"月");
    EXPECT_EQ(s.endShown, u"2004年12月31日");
    EXPECT_EQ(s.accountingYear, 2004);
    ASSERT_TRUE(ReadInterfaceFile(write({}, "2004-3-1", "2004-3-31", "KJ_ND=-3\nKM_FX=贷\n"), &s));
    EXPECT_EQ(s.period, u"日");
    EXPECT_EQ(s.accountingYear, 2004);
    EXPECT_EQ(s.direction, 1);
    ASSERT_TRUE(ReadInterfaceFile(write({}, "2003-1-1", "2004-12-31"), &s));
    EXPECT_EQ(s.period, u"全年");
    // An empty or malformed date is 1999-01-01, and each is told.
    ASSERT_TRUE(ReadInterfaceFile(write({}, "", "20041231"), &s));
    EXPECT_EQ(s.startYear, 1999);
    EXPECT_EQ(s.endMonth, 1);
    EXPECT_EQ(s.endDay, 1);
    EXPECT_EQ(s.warnings.size(), 2);

    // The registry's formula library wins over the interface file's.
    ASSERT_TRUE(WriteFormulaLibraryPath("/lib/工业公式库.ini"));
    ASSERT_TRUE(ReadInterfaceFile(write({}), &s));
    EXPECT_EQ(s.formulaLib, u"/lib/工业公式库.ini");
    ASSERT_TRUE(WriteFormulaLibraryPath(""));
    ASSERT_TRUE(ReadInterfaceFile(write({}), &s));
    EXPECT_EQ(s.formulaLib, dir + "/formulas.ini");

    writeGb(dir + "/bad.ini", "[InterCS]\nCWZBK_File=a\nCWSJK_File=b\n");
    EXPECT_FALSE(ReadInterfaceFile(dir + "/bad.ini", &s));
    EXPECT_EQ(s.missing, (QStringList{"财务公式库,", "错误记录文件,"}));

    writeGb(dir + "/ind2.ini",
            "[ReportSoft]\nDecimal=12\nMoneyUnit=10000万元\n[A01]\n[TYPE]\n[B02]\n[end]\n[C03]\n");
    s.indicatorLib = dir + "/ind2.ini";
    ASSERT_TRUE(LoadIndicatorList(&s));
    EXPECT_EQ(s.codes, (QStringList{"a01", "b02"}));
    EXPECT_EQ(s.decimals, 8);
    EXPECT_EQ(s.moneyUnit, 10000);
    EXPECT_EQ(s.unitName, u"万元");
    s.indicatorLib = dir + "/none.ini";
    EXPECT_FALSE(LoadIndicatorList(&s));
}

// A date of the wrong form and one that names no day of the calendar are
// told and replaced alike: no month 13 or day 45 reaches an expression.
TEST_F(Indicators, ImpossibleDatesAreToldAndReplacedLikeMalformedOnes) {
    for (const char* bad : {"2004-13-45", "2004-02-30", "9999-99-99", "0-0-0", "2004/02/03"}) {
        IndicatorSettings s;
        ASSERT_TRUE(ReadInterfaceFile(write({}, "2004-1-1", bad), &s)) << bad;
        EXPECT_EQ(s.warnings.size(), 1) << bad;
        EXPECT_EQ(ExpandIndicatorPlaceholders("%endyear%-%endmonth%-%endday%", s), u"1999-1-1") << bad;
    }
    IndicatorSettings s;
    ASSERT_TRUE(ReadInterfaceFile(write({}, "2004-1-1", "2004-02-29"), &s));
    EXPECT_TRUE(s.warnings.isEmpty());
    EXPECT_EQ(s.endDay, 29);
}

// A sub-indicator no library defines fails the indicator that uses it,
// named in the trace, instead of counting as 0.
TEST_F(Indicators, AMissingSubIndicatorFailsItsIndicator) {
    auto r = run(write({{"a", "%zbq7%+5"}, {"b", "%zbok%+5"}, {"ok", "1"}}));
    EXPECT_TRUE(r->AnyFailed());
    EXPECT_EQ(r->FailedCount(), 1);
    EXPECT_TRUE(r->FirstFailed().startsWith(u"a ")) << r->FirstFailed().toStdString();
    EXPECT_FALSE(traces.filter("%zbq7%").filter(LoadErrorText(qor::str::kSubIndicatorMissing).left(3)).isEmpty())
        << traces.join('\n').toStdString();
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(readResult("print(c['a']['Value'],c['a']['ZBValidFlag'],c['b']['Value'],c['b']['ZBValidFlag'])"),
              u"ERROR 0 6.00 1");
}

TEST_F(Indicators, PlaceholdersTakeThePeriodAndYearOffsets) {
    IndicatorSettings s;
    ASSERT_TRUE(ReadInterfaceFile(write({}, "2004-3-1", "2004-3-31", "ZT_NO=007\nKM_FX=借\n"), &s));
    EXPECT_EQ(ExpandIndicatorPlaceholders("%BeginYear%-1,%endyear%+1,%endmonth%-1", s),
              u"2003,2005,3-1");
    EXPECT_EQ(ExpandIndicatorPlaceholders("%ztno%|%kmfx%|%during%|%kjnd%|100%|%x", s),
              u"007|借|日|2004|100%|%x");
}

TEST_F(Indicators, EveryIndicatorIsComputedMarkedAndReadBack) {
    const QString iface = write({{"0101", "100+23.456"},
                                 {"0102", "%ZB0101%*2"},
                                 {"0103", "1+"},
                                 {"0104", ""},
                                 {"0105", "%zb0103%+1"},
                                 {"0106", "%beginyear%-1"}});
    auto r = run(iface);
    EXPECT_TRUE(r->AnyFailed());
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(
        readResult("print(c['0101']['Value'],c['0101']['ZBValidFlag'],c['0101']['MoneyUnit'])"),
        u"123.46 1 1元");
    EXPECT_EQ(readResult("print(c['0102']['Value'])"), u"246.91");
    EXPECT_EQ(readResult("print(c['0103']['Value'],c['0103']['ZBValidFlag'])"), u"ERROR 0");
    EXPECT_EQ(readResult("print(c['0104']['ZBValidFlag'])"), u"0");
    // A parent of a failed sub-indicator fails too.
    EXPECT_EQ(readResult("print(c['0105']['Value'],c['0105']['ZBValidFlag'])"), u"ERROR 0");
    EXPECT_EQ(readResult("print(c['0106']['Value'])"), u"2003.00");
    EXPECT_EQ(readResult("print(c['FinanceSoft']['DBValidFlag'],c['FinanceSoft']['StartTime'],"
                         "c['TYPE']['1'],'End' in c)"),
              u"0 2004-01-01 一 True");
    // The run's trace is in the error log too.
    QFile log(dir + "/run.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(decodeText(log.readAll(), "GB18030").contains("开始第- 3 -个指标计算"));
}

TEST_F(Indicators, AStoppedRunKeepsItsSectionsWithoutEnd) {
    auto r = run(write({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}), 2);
    EXPECT_EQ(r->Index(), 2);
    r.reset();  // stopped, as the window's stop does
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(readResult("print(c.has_section('b'),c.has_section('c'),'End' in c,"
                         "c['FinanceSoft']['DBValidFlag'])"),
              u"True False False 1");
}

TEST_F(Indicators, LongExpressionsAndManySubIndicatorsNeverGoWrongQuietly) {
    // Over 1,023 characters fails rather than being evaluated cut; an
    // expansion over the command buffer fails rather than being cut.
    QString longSum = "1";
    while (longSum.size() <= 1100) longSum += "+1";
    QString wide = "%zbs%";
    for (int i = 0; i < 20; ++i) wide += "+%zbs%";
    QList<Indicator> list{{"long", longSum}, {"wide", wide}, {"s", QString(1000, u'1')}};
    // A hundred indicators, each using a sub-indicator: no variable is left
    // behind to fill the table.
    for (int i = 0; i < 100; ++i)
        list.append(Indicator{QString("n%1").arg(i), "%zbone%+" + QString::number(i)});
    list.append(Indicator{"one", "1"});
    const int before = CCalcInterpreter::Instance().Runtime().GetVariableCount();
    run(write(list));
    EXPECT_EQ(CCalcInterpreter::Instance().Runtime().GetVariableCount(), before);
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(readResult("print(c['long']['Value'],c['wide']['Value'])"), u"ERROR ERROR");
    EXPECT_EQ(readResult("print(c['n99']['Value'],sum(c[s]['ZBValidFlag']=='1' for s in c if "
                         "s.startswith('n')))"),
              u"100.00 100");
}

// Sub-indicator references: "%zb", a code of one to twenty characters and
// '%', in either case; anything else stays in the expression as written.
TEST_F(Indicators, SubIndicatorReferencesTakeCodesOfOneToTwentyCharacters) {
    const QString twenty(20, u'c');
    const QString twentyOne(21, u'd');
    auto r = run(write({{"x", "5"},
                        {twenty, "7"},
                        {twentyOne, "9"},
                        {"a", "%zb%zbx%*2"},                // the first '%' starts nothing
                        {"b", "%ZBX%+%zB" + twenty + "%"},  // any case, twenty characters
                        {"c", "%zb" + twentyOne + "%+1"},   // too long: left as written
                        {"d", "%zbx+1"}}));                 // never closed
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(readResult("print(c['b']['Value'],c['c']['Value'],c['d']['Value'])"),
              u"12.00 ERROR ERROR");
    EXPECT_EQ(traces.filter("%zb" + twentyOne).size(), 2);  // the expression, as run
    // "%zb%zbx%": the reference is "%zbx%", kept after the stray "%zb".
    EXPECT_TRUE(traces.contains(LoadErrorText(qor::str::kRunExpression) + "%zb5*2"))
        << traces.join('\n').toStdString();
}

// A sub-indicator enters the expression as one operand whatever its sign,
// and sub-indicators use others to any depth; one that comes back to
// itself, or a chain deeper than the run follows, fails by name.
TEST_F(Indicators, SubIndicatorsEnterAsTheirValuesAtAnyDepth) {
    QList<Indicator> list{{"nb", "0-3"},
                          {"sq", "%zbnb%^2"},
                          {"hund", "100-%zbnb%^2"},
                          {"n0", "0-5"},
                          {"neg", "-%zbn0%"},
                          {"z", "0"},
                          {"zdiv", "10/(%zbz%+2)"},
                          {"zsub", "%zbz%-%zbz%"},
                          {"l1", "%zbl2%+1"},
                          {"l2", "%ZBl3%*2"},
                          {"l3", "%zbnb%-1"},
                          {"c1", "%zbc2%+1"},
                          {"c2", "%zbc1%+1"},
                          {"self", "%zbself%"},
                          {"deep0", "%zbdeep1%"}};
    for (int i = 1; i < 20; ++i)
        list.append(Indicator{QString("deep%1").arg(i), QString("%zbdeep%1%+1").arg(i + 1)});
    list.append(Indicator{"deep20", "1"});
    auto r = run(write(list));
    EXPECT_TRUE(r->AnyFailed());
    EXPECT_FALSE(traces.filter(LoadErrorText(qor::str::kSubIndicatorCycle).section(u' ', 2, 2)).isEmpty())
        << traces.join('\n').toStdString();
    EXPECT_FALSE(traces.filter(LoadErrorText(qor::str::kSubIndicatorTooDeep).left(7)).isEmpty())
        << traces.join('\n').toStdString();
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    const QString values = readResult(
        "print(' '.join(c[k]['Value']+'/'+c[k]['ZBValidFlag'] for k in "
        "['sq','hund','neg','zdiv','zsub','l2','l1','c1','self','deep0','deep10']))");
    EXPECT_EQ(values, u"9.00/1 91.00/1 5.00/1 5.00/1 0.00/1 -8.00/1 -7.00/1 ERROR/0 ERROR/0 ERROR/0 11.00/1");
}

// A sub-indicator used many times is computed once for the indicator
// using it: followed reference by reference, a library whose indicators
// each use the next one three times takes 3^depth computations (sixteen
// deep, a run without end that fills the error log).
TEST_F(Indicators, ASubIndicatorUsedManyTimesIsComputedOnce) {
    QList<Indicator> list;
    for (int i = 0; i < 8; ++i)
        list.append(Indicator{QString("f%1").arg(i), QString("%zbf%1%+%zbF%1%*1+%zbf%1%").arg(i + 1)});
    list.append(Indicator{"f8", "0-1"});
    // A value known already is still too deep where the chain is: either
    // order fails.
    list.append(Indicator{"early", "%zbf8%+%zbd1%"});
    list.append(Indicator{"late", "%zbd1%+%zbf8%"});
    for (int i = 1; i < 16; ++i)
        list.append(Indicator{QString("d%1").arg(i), QString("%zbd%1%").arg(i + 1)});
    list.append(Indicator{"d16", "%zbf8%"});
    int lines = 0;
    IndicatorSettings s;
    ASSERT_TRUE(ReadInterfaceFile(write(list), &s));
    CIndicatorRun r(
        s,
        [&lines](const QString& line) {
            ++lines;
            return RunCommandLineForDocument(nullptr, line, 0x12);
        },
        [this](const QString& line) { traces << line; });
    QString message;
    ASSERT_TRUE(r.Start(&message)) << message.toStdString();
    r.Step();
    // f0 and each of its eight sub-indicators once.
    const int perIndicator = lines;
    while (!r.Done()) r.Step();
    r.Finish();
    EXPECT_LT(perIndicator, 9 * 8);
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(readResult("print(c['f0']['Value'], c['f7']['Value'], c['f8']['Value'], c['early']['Value'], "
                         "c['late']['Value'], c['d1']['Value'])"),
              u"-6561.00 -3.00 -1.00 ERROR ERROR -1.00");
}

// Names whose ASCII and Chinese stretches start and end anywhere inside
// and across blocks of sixteen characters come out byte for byte as the
// converter makes the whole line.
TEST_F(Indicators, MixedNamesOfAnyLengthKeepTheirBytes) {
    QList<Indicator> list;
    QStringList names;
    QString ind = QStringLiteral("[ReportSoft]\nDecimal=2\n");
    for (int i = 0; i < 40; ++i) {
        const QString code = QStringLiteral("m%1").arg(i);
        list << Indicator{code, QString::number(i)};
        QString name = QString(i % 23, QLatin1Char('a' + i % 26)) + QStringLiteral("报表") +
                       QString(i % 17 + 15, QLatin1Char('Z'));
        if (i % 3 == 0) name += QStringLiteral("\U00020000") + QString(i % 5, QLatin1Char('9'));
        names << name;
        ind += "[" + code + "]\nName=" + name + "\n";
    }
    const QString iface = write(list);
    writeGb(dir + "/ind.ini", ind);
    run(iface);
    QFile result(dir + "/result.ini");
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QByteArray bytes = result.readAll();
    for (const QString& name : names)
        EXPECT_TRUE(bytes.contains("\r\n" + encodeText("Name=" + name, "GB18030") + "\r\n"))
            << name.toStdString();
}

// The result library and the error log are GB18030 throughout: names
// outside the basic plane included, and a stopped run still leaves the
// trace of what it computed in the log.
TEST_F(Indicators, ResultAndLogBytesAreGb18030AndAStoppedRunKeepsItsTrace) {
    const QString name = QStringLiteral("指标\U00020000名");
    const QString iface = write({{"p", "1"}, {"q", "2"}, {"r", "3"}});
    QString ind = QStringLiteral("[ReportSoft]\nDecimal=2\n[p]\nName=") + name +
                  "\n[q]\nName=q\n[r]\nName=r\n";
    writeGb(dir + "/ind.ini", ind);
    run(iface, 2).reset();  // stopped after two, as the window's stop does
    QFile log(dir + "/run.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logBytes = log.readAll();
    const QString logText = decodeText(logBytes, "GB18030");
    EXPECT_EQ(encodeText(logText, "GB18030"), logBytes);
    EXPECT_TRUE(logText.contains(
        FillMessageText(LoadErrorText(qor::str::kIndicatorStart), {"1", "p", name})));
    EXPECT_TRUE(logText.contains(FillMessageText(LoadErrorText(qor::str::kIndicatorDone), {"2"})));
    EXPECT_FALSE(logText.contains(
        FillMessageText(LoadErrorText(qor::str::kIndicatorStart), {"3", "r", "r"})));

    QFile result(dir + "/result.ini");
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QByteArray bytes = result.readAll();
    EXPECT_EQ(encodeText(decodeText(bytes, "GB18030"), "GB18030"), bytes);
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(readResult("print(c['p']['Name'].encode('utf-8').hex(),c['q']['Value'])"),
              QString::fromLatin1(name.toUtf8().toHex()) + " 2.00");
}

// The error log holds the very lines the trace hands out, whoever listens:
// the run's own sink, the message hook, or no one at all. Names with a
// line break, a lone surrogate, Chinese and characters outside the basic
// plane, values of sub-indicators and failures included.
TEST_F(Indicators, TheErrorLogHoldsTheTracedLinesWhetherOrNotAnyoneListens) {
    const QString iface = write({{"a", "1+"}, {"b", "%zbc%*2"}, {"c", "%endyear%-1"}, {"d", ""}});
    QString ind = QStringLiteral("[ReportSoft]\nDecimal=2\n[a]\nName=名\rX\n[b]\nName=") +
                  QChar(0xD800) + QStringLiteral("报\n[c]\nName=\U00020000表\n[d]\nName=d\n");
    QFile f(dir + "/ind.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray("\xFF\xFE") + encodeText(QString(ind).replace("\n", "\r\n"), "UTF-16LE"));
    f.close();
    auto logBytes = [this] {
        QFile log(dir + "/run.log");
        EXPECT_TRUE(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        log.close();
        log.remove();
        return bytes;
    };

    QStringList hooked;
    const TraceHook previous = setTraceHook([&](const QString& t) { hooked << t; });
    run(iface);
    setTraceHook(previous);
    ASSERT_GE(traces.size(), 12);
    EXPECT_EQ(hooked, traces);
    EXPECT_TRUE(traces.contains(
        FillMessageText(LoadErrorText(qor::str::kIndicatorStart), {"1", "a", "名\rX"})));
    EXPECT_TRUE(traces.contains(LoadErrorText(qor::str::kRunSubExpression) + "2003"));
    EXPECT_TRUE(traces.contains(LoadErrorText(qor::str::kRunExpression) + "2003*2"));
    QByteArray expected;
    for (const QString& line : traces) expected += encodeText(line + "\r\n", "GB18030");
    EXPECT_EQ(logBytes(), expected);

    // No sink and no hook: the lines are never put together as text, yet
    // the log gets the same bytes.
    IndicatorSettings s;
    ASSERT_TRUE(ReadInterfaceFile(iface, &s));
    CIndicatorRun quiet(
        s, [](const QString& line) { return RunCommandLineForDocument(nullptr, line, 0x12); });
    QString message;
    ASSERT_TRUE(quiet.Start(&message));
    while (!quiet.Done()) quiet.Step();
    quiet.Finish();
    EXPECT_EQ(logBytes(), expected);
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    // A line break in a value never reaches the result library.
    EXPECT_EQ(readResult("print(c['a']['Name'],c['b']['Value'],c['c']['Value'])"),
              u"名 X 4006.00 2003.00");
}

// ---- the window, opened from qorview's 数据 menu ------------------------------

namespace {

class IndicatorDialog : public frametest::FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        answerDialogs = false;
        dir = qortest::freshDir("indicator-dlg");
        Registry::deleteValue(QString::fromLatin1(kIndicatorRegistryKey),
                              QString::fromLatin1(kFormulaLibraryValue));
        CDataIfaceDlg::SetTickInterval(0);
    }
    void TearDown() override {
        CQorDialog::SetModalHook({});
        CDataIfaceDlg::SetTickInterval(500);
        CDataIfaceDlg::SetRunClock({});
        FrameFixture::TearDown();
    }
    // Opens the window on a report in data state; the test acts in it.
    void open(const std::function<void(CDataIfaceDlg&)>& user,
              const std::function<void(CFormulaLibDlg&)>& library = {}) {
        CQorDialog::SetModalHook([&](CQorDialog& d) {
            if (auto* lib = dynamic_cast<CFormulaLibDlg*>(&d)) {
                if (library) library(*lib);
            } else if (auto* dlg = dynamic_cast<CDataIfaceDlg*>(&d)) {
                user(*dlg);
            }
        });
        newReport();
        EXPECT_FALSE(frame->Router().Query(kCmdDataInterface).enabled);  // format state
        ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
        ASSERT_TRUE(frame->Router().Query(kCmdDataInterface).enabled);
        ASSERT_TRUE(frame->Router().Execute(kCmdDataInterface));
    }
    static void waitWhileRunning(CDataIfaceDlg& d) {
        for (int i = 0; i < 2000 && d.IsRunning(); ++i) QApplication::processEvents();
    }
    static void click(CDataIfaceDlg& d, int id) {
        static_cast<QPushButton*>(d.GetDlgItem(id))->click();
    }
    QString dir;
};

}  // namespace

TEST_F(IndicatorDialog, ChoosesFilesRunsToCompletionStopsAndCannotCloseWhileRunning) {
    const QString iface =
        writeInterface(dir, {{"a", "1"}, {"b", "2"}, {"c", "3"}}, "2004-1-1", "2004-12-31", {});
    files << iface;
    int libraryRuns = 0;
    QString result;
    open(
        [&](CDataIfaceDlg& d) {
            EXPECT_FALSE(d.IsLoaded());
            EXPECT_FALSE(d.GetDlgItem(CDataIfaceDlg::IDC_START)->isEnabled());
            click(d, CDataIfaceDlg::IDC_CHOOSE_FILE);
            ASSERT_TRUE(d.IsLoaded());
            EXPECT_EQ(static_cast<QLabel*>(d.GetDlgItem(CDataIfaceDlg::IDC_END_DATE))->text(),
                      u"2004年12月31日");
            EXPECT_EQ(
                static_cast<QLabel*>(d.GetDlgItem(CDataIfaceDlg::IDC_LINK_INDICATORS))->text(),
                dir + "/ind.ini");
            // A library that is not installed: the start says so.
            click(d, CDataIfaceDlg::IDC_CHOOSE_LIBRARY);
            EXPECT_TRUE(d.Settings().formulaLib.endsWith("Library/工业公式库.ini"));
            click(d, CDataIfaceDlg::IDC_START);
            EXPECT_FALSE(d.IsRunning());
            EXPECT_TRUE(said("打不开文件"));
            // <<空>> goes back to the interface file's library.
            click(d, CDataIfaceDlg::IDC_CHOOSE_LIBRARY);
            EXPECT_EQ(d.Settings().formulaLib, dir + "/formulas.ini");

            click(d, CDataIfaceDlg::IDC_START);
            ASSERT_TRUE(d.IsRunning());
            d.OnCancel();
            d.close();
            EXPECT_FALSE(d.GetDlgItem(CQorDialog::IDOK)->isEnabled());
            EXPECT_EQ(d.Result(), 0);
            waitWhileRunning(d);
            EXPECT_FALSE(d.IsRunning());
            EXPECT_EQ(
                static_cast<QProgressBar*>(d.GetDlgItem(CDataIfaceDlg::IDC_PROGRESS))->value(), 3);
            EXPECT_EQ(static_cast<QLabel*>(d.GetDlgItem(CDataIfaceDlg::IDC_PERCENT))->text(),
                      u"100%");
            QFile f(dir + "/result.ini");
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            result = decodeText(f.readAll(), "GB18030");

            // Stopped after the first indicator: no end mark.
            CDataIfaceDlg::SetTickInterval(10000);
            click(d, CDataIfaceDlg::IDC_START);
            ASSERT_TRUE(d.IsRunning());
            click(d, CDataIfaceDlg::IDC_STOP);
            EXPECT_FALSE(d.IsRunning());
            d.OnOK();
        },
        [&](CFormulaLibDlg& lib) {
            static_cast<QComboBox*>(lib.GetDlgItem(CFormulaLibDlg::IDC_KIND))
                ->setCurrentIndex(libraryRuns++ == 0 ? 0 : 27);
            lib.OnOK();
        });
    EXPECT_TRUE(result.contains("[End]"));
    EXPECT_TRUE(result.contains("[c]"));
    QFile f(dir + "/result.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(decodeText(f.readAll(), "GB18030").contains("[End]"));
    // The interface file is offered again next time.
    EXPECT_EQ(Registry::readString(QString::fromLatin1(kIndicatorRegistryKey), "InterfaceFile"),
              iface);
}

TEST_F(IndicatorDialog, ElapsedTimeCountsOnAcrossMidnight) {
    files << writeInterface(dir, {{"a", "1"}, {"b", "2"}, {"c", "3"}}, "2004-1-1", "2004-12-31",
                            {});
    // Read like a wall clock: the run starts two seconds before midnight and
    // every reading comes 1.5 seconds after the one before.
    qint64 now = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58)).toMSecsSinceEpoch();
    CDataIfaceDlg::SetRunClock([&now] { return std::exchange(now, now + 1500); });
    QString shown;
    open([&](CDataIfaceDlg& d) {
        click(d, CDataIfaceDlg::IDC_CHOOSE_FILE);
        click(d, CDataIfaceDlg::IDC_START);
        waitWhileRunning(d);
        shown = static_cast<QLabel*>(d.GetDlgItem(CDataIfaceDlg::IDC_ELAPSED))->text();
        // The two buttons without work stay greyed, also after a run.
        EXPECT_FALSE(d.GetDlgItem(CDataIfaceDlg::IDC_ACCOUNT_INIT)->isEnabled());
        EXPECT_FALSE(d.GetDlgItem(CDataIfaceDlg::IDC_ABOUT)->isEnabled());
        d.OnOK();
    });
    // Three readings after the start, the last at 00:00:02.5.
    EXPECT_EQ(shown, u"用时4秒");
}

TEST(FormulaLibDlg, ReturnsTheNameWithoutItsNumber) {
    CFormulaLibDlg d;
    auto* combo = static_cast<QComboBox*>(d.GetDlgItem(CFormulaLibDlg::IDC_KIND));
    ASSERT_EQ(combo->count(), 28);
    d.OnOK();
    EXPECT_EQ(d.Choice(), u"");
    for (const auto& [index, name] :
         {std::pair{9, u"运输(民用航空)"}, {0, u"工业"}, {27, u"<<空>>"}}) {
        combo->setCurrentIndex(index);
        d.OnOK();
        EXPECT_EQ(d.Choice(), QString::fromUtf16(name));
    }
}

// Shown for real: the run goes on inside the dialog's own modal loop, the
// window stays up while it runs and the result library is complete.
TEST_F(IndicatorDialog, AShownDialogRunsEveryIndicatorToTheEndMark) {
    files << writeInterface(dir, {{"a", "1+1"}, {"b", "2*3"}, {"c", "%zba%+1"}}, "2004-1-1",
                            "2004-12-31", {});
    CQorDialog::SetModalHook({});
    newReport();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    bool started = false, hiddenWhileRunning = false, closedWhileRunning = false;
    QString png;
    QTimer user;
    user.setInterval(5);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* d = qobject_cast<CDataIfaceDlg*>(QApplication::activeModalWidget());
        if (!d) return;
        if (!started) {
            started = true;
            click(*d, CDataIfaceDlg::IDC_CHOOSE_FILE);
            click(*d, CDataIfaceDlg::IDC_START);
            EXPECT_TRUE(d->IsRunning());
            // Neither Esc nor the close button ends a running dialog.
            d->reject();
            d->close();
            closedWhileRunning = !d->isVisible();
            png = qortest::artifactPath(QStringLiteral("indicator-running.png"));
            d->grab().save(png);
            return;
        }
        if (d->IsRunning()) {
            hiddenWhileRunning |= !d->isVisible();
            return;
        }
        click(*d, CQorDialog::IDOK);
    });
    user.start();
    ASSERT_TRUE(frame->Router().Execute(kCmdDataInterface));
    user.stop();
    ASSERT_TRUE(started);
    EXPECT_FALSE(hiddenWhileRunning);
    EXPECT_FALSE(closedWhileRunning);
    EXPECT_TRUE(QFileInfo(png).size() > 0);
    if (!qortest::needPythonModule("configparser")) GTEST_SKIP();
    EXPECT_EQ(
        readResultIn(dir,
                     "print(c['FinanceSoft']['DBValidFlag'], 'End' in c,"
                     " [c[k]['Value'] for k in 'abc'], [c[k]['ZBValidFlag'] for k in 'abc'])"),
        u"1 True ['2.00', '6.00', '3.00'] ['1', '1', '1']");
}

// The run ends by saying what it wrote: how many indicators, how many of
// them failed and which failed first, on the dialog's line and in a box.
TEST_F(IndicatorDialog, TheEndOfARunNamesTheFailedIndicators) {
    files << writeInterface(dir, {{"a", "1"}, {"b", "1+"}, {"c", ""}, {"d", "4"}}, "2004-1-1",
                            "2004-12-31", {});
    QString line;
    open([&](CDataIfaceDlg& d) {
        click(d, CDataIfaceDlg::IDC_CHOOSE_FILE);
        messages.clear();
        click(d, CDataIfaceDlg::IDC_START);
        waitWhileRunning(d);
        line = static_cast<QLabel*>(d.GetDlgItem(CDataIfaceDlg::IDC_INFO))->text();
        d.OnOK();
    });
    const QString want = LoadErrorText(qor::str::kIndicatorsWrittenSomeFailed)
                             .arg(4)
                             .arg(2)
                             .arg(QStringLiteral("b 指标b"));
    EXPECT_EQ(line, want);
    EXPECT_TRUE(messages.contains(want)) << messages.join(u'|').toStdString();

    // A clean run says so too.
    files << writeInterface(dir, {{"a", "1"}, {"d", "4"}}, "2004-1-1", "2004-12-31", {});
    messages.clear();
    open([&](CDataIfaceDlg& d) {
        click(d, CDataIfaceDlg::IDC_CHOOSE_FILE);
        click(d, CDataIfaceDlg::IDC_START);
        waitWhileRunning(d);
        d.OnOK();
    });
    EXPECT_TRUE(messages.contains(LoadErrorText(qor::str::kIndicatorsWritten).arg(2)))
        << messages.join(u'|').toStdString();
}
