#include "platform/inifile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <climits>

#include "platform/codepage.h"
#include "tests/common/testsupport.h"

using namespace qor;

// Readable failure messages for Qt strings.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray utf16(const QString& s) { return QByteArray("\xFF\xFE") + encodeText(s, "UTF-16LE"); }

// Bytes from the GBK tables, not from our own encoder.
const QByteArray kGbReport = QByteArray::fromHex("b1a8b1ed");            // 报表
const QByteArray kGbUnitName = QByteArray::fromHex("b5a5cebbc3fbb3c6");  // 单位名称
const QByteArray kGbCompany = QByteArray::fromHex("b1b1bea9b9abcbbe");   // 北京公司

}  // namespace

TEST(IniFile, ReadsChineseInEachEncoding) {
    const QString dir = qortest::freshDir("ini-enc");
    const QString text = QStringLiteral("[报表]\r\n单位名称 = 北京公司 \r\n");

    writeBytes(dir + "/u16.ini", utf16(text));
    writeBytes(dir + "/u8.ini", text.toUtf8());
    writeBytes(dir + "/u8bom.ini", "\xEF\xBB\xBF" + text.toUtf8());
    writeBytes(dir + "/gb.ini",
               "[" + kGbReport + "]\r\n" + kGbUnitName + "=" + kGbCompany + "\r\n");

    const struct {
        const char* file;
        IniFile::Encoding enc;
    } cases[] = {{"u16.ini", IniFile::Encoding::Utf16Le},
                 {"u8.ini", IniFile::Encoding::Utf8},
                 {"u8bom.ini", IniFile::Encoding::Utf8},
                 {"gb.ini", IniFile::Encoding::Gb18030}};
    for (const auto& c : cases) {
        IniFile ini(dir + "/" + c.file);
        EXPECT_EQ(ini.encoding(), c.enc) << c.file;
        EXPECT_EQ(ini.readString(QStringLiteral("报表"), QStringLiteral("单位名称")),
                  QStringLiteral("北京公司"))
            << c.file;
        EXPECT_EQ(ini.sections(), QStringList{QStringLiteral("报表")}) << c.file;
    }
}

TEST(IniFile, ProfileLookupRules) {
    const QString path = qortest::freshDir("ini-rules") + "/a.ini";
    writeBytes(path,
               "orphan=before any section\n"
               "[ReportSoft]\n"
               "; Decimal=9\n"
               "Decimal=2\n"
               "DECIMAL=5\n"
               "just a line\n"
               "  Path  =  \"C:\\Program Files\\x\"  \n"
               "Empty=\n"
               "=default value\n"
               "[Other]\n"
               "Decimal=7\n"
               "[reportsoft]\n"
               "Merge=1\n"
               "Decimal=8\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("REPORTSOFT", "decimal"), "2");  // first duplicate wins
    EXPECT_EQ(ini.readString("ReportSoft", "Merge"), "1");    // same-named sections read as one
    EXPECT_EQ(ini.readString("ReportSoft", "Path"), "C:\\Program Files\\x");
    EXPECT_EQ(ini.readString("ReportSoft", "Empty", "dflt"), "");
    EXPECT_EQ(ini.readString("ReportSoft", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.readString("ReportSoft", ""), "default value");
    EXPECT_FALSE(ini.hasKey("ReportSoft", "just a line"));
    EXPECT_FALSE(ini.hasKey("ReportSoft", "; Decimal"));
    EXPECT_FALSE(ini.hasKey("", "orphan"));
    EXPECT_EQ(ini.sections(), (QStringList{"ReportSoft", "Other"}));
    EXPECT_EQ(ini.keys("reportsoft"), (QStringList{"Decimal", "Path", "Empty", "", "Merge"}));
}

TEST(IniFile, ReadIntTakesTheLeadingInteger) {
    const QString path = qortest::freshDir("ini-int") + "/a.ini";
    writeBytes(path,
               "[s]\na=12abc\nb=-7\nc=abc\nd=\ne=+5\nf=99999999999\ng=-99999999999\nh=-\n"
               "i=1.9\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readInt("s", "a", 3), 12);
    EXPECT_EQ(ini.readInt("s", "b", 3), -7);
    EXPECT_EQ(ini.readInt("s", "c", 3), 3);
    EXPECT_EQ(ini.readInt("s", "d", 3), 3);
    EXPECT_EQ(ini.readInt("s", "e", 3), 5);
    EXPECT_EQ(ini.readInt("s", "f", 3), INT_MAX);
    EXPECT_EQ(ini.readInt("s", "g", 3), INT_MIN);
    EXPECT_EQ(ini.readInt("s", "h", 3), 3);
    EXPECT_EQ(ini.readInt("s", "i", 3), 1);
    EXPECT_EQ(ini.readInt("s", "missing", 3), 3);
}

TEST(IniFile, SaveEditsLinesInPlaceAndKeepsUtf16) {
    const QString path = qortest::freshDir("ini-save16") + "/a.ini";
    writeBytes(path, utf16(QStringLiteral("; 用户注释\r\n"
                                          "[报表]\r\n"
                                          "  单位名称 = 旧公司\r\n"
                                          "; 说明\r\n"
                                          "合计=1\r\n"
                                          "\r\n"
                                          "; 下一节\r\n"
                                          "[其他]\r\n"
                                          "x=1\r\n")));
    IniFile ini(path);
    EXPECT_TRUE(ini.setString(QStringLiteral("报表"), QStringLiteral("单位名称"),
                              QStringLiteral("北京公司")));
    EXPECT_TRUE(
        ini.setString(QStringLiteral("报表"), QStringLiteral("新键"), QStringLiteral("值")));
    EXPECT_TRUE(ini.setString(QStringLiteral("新节"), QStringLiteral("k"), QStringLiteral("v")));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(path), utf16(QStringLiteral("; 用户注释\r\n"
                                                    "[报表]\r\n"
                                                    "  单位名称 = 北京公司\r\n"
                                                    "; 说明\r\n"
                                                    "合计=1\r\n"
                                                    "新键=值\r\n"
                                                    "\r\n"
                                                    "; 下一节\r\n"
                                                    "[其他]\r\n"
                                                    "x=1\r\n"
                                                    "[新节]\r\n"
                                                    "k=v\r\n")));
}

TEST(IniFile, SaveKeepsGb18030AndUntouchedBytes) {
    const QString path = qortest::freshDir("ini-savegb") + "/a.ini";
    // The comment holds a byte no decoder accepts; it must survive a save.
    const QByteArray before = "; broken \x81\x20 comment\n[" + kGbReport + "]\n" + kGbUnitName +
                              "=old\nlast=1";  // no final line end
    writeBytes(path, before);
    IniFile ini(path);
    ASSERT_EQ(ini.encoding(), IniFile::Encoding::Gb18030);
    ini.setString(QStringLiteral("报表"), QStringLiteral("单位名称"), QStringLiteral("北京公司"));
    ini.setString(QStringLiteral("报表"), "added", "1");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(path), "; broken \x81\x20 comment\n[" + kGbReport + "]\n" + kGbUnitName +
                                   "=" + kGbCompany + "\nlast=1\nadded=1\n");

    // Reopening finds the same text again.
    IniFile again(path);
    EXPECT_EQ(again.encoding(), IniFile::Encoding::Gb18030);
    EXPECT_EQ(again.readString(QStringLiteral("报表"), QStringLiteral("单位名称")),
              QStringLiteral("北京公司"));
}

TEST(IniFile, SaveKeepsUtf8Bom) {
    const QString path = qortest::freshDir("ini-save8") + "/a.ini";
    writeBytes(path, "\xEF\xBB\xBF[a]\nk=1\n");
    IniFile ini(path);
    ini.setString("a", "k", QStringLiteral("报表"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF[a]\nk=" + QStringLiteral("报表").toUtf8() + "\n");
}

TEST(IniFile, NewFileIsUtf16WithBomAndCrLf) {
    const QString path = qortest::freshDir("ini-new") + "/new.ini";
    EXPECT_TRUE(IniFile::writeProfileString(path, QStringLiteral("报表"), "k", "v"));
    EXPECT_EQ(readBytes(path), utf16(QStringLiteral("[报表]\r\nk=v\r\n")));
    EXPECT_EQ(IniFile::getProfileString(path, QStringLiteral("报表"), "K"), "v");
    EXPECT_EQ(IniFile::getProfileInt(path, "nosuch", "k", 42), 42);
}

TEST(IniFile, WrittenValuesReadBackUnchanged) {
    const QString path = qortest::freshDir("ini-values") + "/a.ini";
    const QStringList values = {
        "  padded  ", "\"quoted\"", "'single'", "\"", "", "a=b;c", QStringLiteral("北京 公司")};
    IniFile ini(path);
    for (int i = 0; i < values.size(); ++i)
        ASSERT_TRUE(ini.setString("s", QString("k%1").arg(i), values[i]));
    ASSERT_TRUE(ini.save());
    IniFile back(path);
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(back.readString("s", QString("k%1").arg(i)), values[i]) << i;

    // Text that would turn into other lines is refused and leaves nothing.
    EXPECT_FALSE(back.setString("s", "k", "two\nlines"));
    EXPECT_FALSE(back.setString("s", "a=b", "1"));
    EXPECT_FALSE(back.setString("s", ";k", "1"));
    EXPECT_FALSE(back.setString("s", "[k]", "1"));
    EXPECT_FALSE(back.setString("a\nb", "k", "1"));
    EXPECT_EQ(back.keys("s").size(), values.size());
}

TEST(IniFile, RemoveKeyAndSectionTakeEveryDuplicate) {
    const QString path = qortest::freshDir("ini-remove") + "/a.ini";
    writeBytes(path, "; top\n[A]\nk=1\nK=2\nj=3\n[B]\nx=1\n[a]\nk=4\n");
    IniFile ini(path);
    ini.removeKey("a", "k");
    EXPECT_FALSE(ini.hasKey("A", "k"));
    EXPECT_EQ(ini.readString("A", "j"), "3");
    ini.removeSection("b");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(path), "; top\n[A]\nj=3\n[a]\n");
    ini.removeSection("A");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readBytes(path), "; top\n");
    EXPECT_FALSE(IniFile(path).hasSection("a"));
}

TEST(IniFile, FailedSaveLeavesTheOldFile) {
    const QString dir = qortest::freshDir("ini-fail");
    const QString longPath = dir + "/" + QString(250, QLatin1Char('n')) + ".ini";
    writeBytes(longPath, "[s]\nk=old\n");
    {
        IniFile ini(longPath);
        ini.setString("s", "k", "new, and longer than the file size limit");
        // Writes past a few bytes fail for every user, root included.
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &small);
        EXPECT_FALSE(ini.save());
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(readBytes(longPath), "[s]\nk=old\n");
        EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

TEST(IniFile, SaveIntoReadOnlyFolderFails) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    const QString ro = qortest::freshDir("ini-fail-ro") + "/ro";
    QDir().mkpath(ro);
    writeBytes(ro + "/a.ini", "[s]\nk=old\n");
    QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
    IniFile ini(ro + "/a.ini");
    ini.setString("s", "k", "new");
    EXPECT_FALSE(ini.save());
    QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readBytes(ro + "/a.ini"), "[s]\nk=old\n");
}

TEST(IniFile, SavingUnchangedFileKeepsEveryByte) {
    const QString path = qortest::freshDir("ini-same") + "/a.ini";
    const QList<QByteArray> inputs = {
        "",
        "\xEF\xBB\xBF",
        "\xFF\xFE",
        "[a]\r\nk=1\nmixed=2\r\n\n\n",
        "no newline at all",
        "[a]\nk=\xB1\xA8\xFF trailing junk",
        utf16(QStringLiteral("[报表]\r\nk=1")) + "\x00",  // odd byte count
        "\r\r\n[ a ] trailing\n  ;c\n=\n",
    };
    for (const QByteArray& in : inputs) {
        writeBytes(path, in);
        IniFile ini(path);
        ASSERT_TRUE(ini.save());
        const QByteArray expected = in.isEmpty() ? QByteArray("\xFF\xFE") : in;
        EXPECT_EQ(readBytes(path).toHex(' '), expected.toHex(' '));
    }
}

// A UTF-16 file whose last line ends in half a code unit (a cut copy, or
// the input the fuzzer found): a value written and saved must still read
// back, and the lines before it must be unchanged.
TEST(IniFile, SavesAfterAUtf16FileCutInTheMiddleOfAUnit) {
    const QString dir = qortest::freshDir("ini-odd16");
    const QByteArray cut = utf16(QStringLiteral("[A]\r\nk=v")) + QByteArray("x", 1);
    const QByteArray found = QByteArray::fromBase64(
        "//5bAFMAbwBmAHQAdwBhAHIAZQBcAFYAYQBuAHQAaQB4AFwAUQBYAFwAVgA4AC4ANgAxADAAXABJAG5sAGwAXQAN"
        "AAoAUABhAHQAaAA9AC8Abw0ACgBDAG8AdQBuAHQAPQAxADIA+QAKAFEAdQBvAHQAZQBkAD0AIgAgAGE9ACIAIAB"
        "hACAAIgANAAoA");
    int n = 0;
    for (const QByteArray& bytes : {cut, found}) {
        const QString path = dir + QStringLiteral("/%1.ini").arg(++n);
        writeBytes(path, bytes);
        IniFile ini(path);
        const QString before = ini.readString(QStringLiteral("A"), QStringLiteral("k"));
        ASSERT_TRUE(
            ini.setString(QStringLiteral("New"), QStringLiteral("Key"), QStringLiteral("值")));
        ASSERT_TRUE(ini.save());
        IniFile back(path);
        EXPECT_EQ(back.readString(QStringLiteral("New"), QStringLiteral("Key")),
                  QStringLiteral("值"))
            << "input " << n;
        EXPECT_EQ(back.readString(QStringLiteral("A"), QStringLiteral("k")), before);
        EXPECT_EQ(back.encoding(), IniFile::Encoding::Utf16Le);
    }
}

// Values read as views are the values read as copies, in a file read
// whole as ASCII and in the same file with one line outside ASCII (read
// line by line), and they follow an edit.
TEST(IniFile, ViewsOfValuesReadAsTheCopiesDo) {
    const QString dir = qortest::freshDir("ini-views");
    const QByteArray ascii =
        "; lead\r\n[A]\r\nk=1\r\n  [ b ]  \nx = \"q\" "
        "\r\n[a]\r\nk=2\r\nm=3\r\n[E]\r\nk=1\r\nK=2\r\n"
        "[F]\r\nf0=0\r\nf1=1\r\nf2=2\r\nf3=3\r\nf4=4\r\nf5=5\r\nf6=6\r\nf7=7\r\nf8=8\r\nf1=x\r\n"
        "[C]\r\nlast=z\r";
    for (const QByteArray& bytes : {ascii, ascii + "\n[D]\r\nw=\xE5\x80\xBC\r\n"}) {
        writeBytes(dir + "/a.ini", bytes);
        IniFile ini(dir + "/a.ini");
        QStringView v[4];
        ini.readViews(u"a", {u"K", u"m", u"none", u"x"}, v);
        EXPECT_EQ(v[0], u"1");
        EXPECT_EQ(v[1], u"3");
        EXPECT_TRUE(v[2].isEmpty());
        EXPECT_TRUE(v[3].isEmpty());
        ini.readViews(u" B ", {u"x"}, v);
        EXPECT_EQ(v[0], u"q");
        ini.readViews(u"c", {u"last"}, v);
        EXPECT_EQ(v[0], u"z");
        // The first of duplicate keys, in short sections and long ones.
        ini.readViews(u"e", {u"K"}, v);
        EXPECT_EQ(v[0], u"1");
        ini.readViews(u"F", {u"F8", u"f1", u"f9"}, v);
        EXPECT_EQ(v[0], u"8");
        EXPECT_EQ(v[1], u"1");
        EXPECT_TRUE(v[2].isNull());
        EXPECT_EQ(ini.readStrings("a", {u"m", u"k"}), (QStringList{"3", "1"}));
        EXPECT_EQ(ini.sections(),
                  (QStringList{"A", "b", "E", "F", "C"}) +
                      (bytes.size() > ascii.size() ? QStringList{"D"} : QStringList{}));
        ASSERT_TRUE(ini.setString("A", "m", "新"));
        ini.readViews(u"A", {u"m"}, v);
        EXPECT_EQ(v[0], u"新");
        ini.readViews(u"nowhere", {u"k"}, v);
        EXPECT_TRUE(v[0].isNull());
    }
}

// A last line ending in CR without LF reads the same before and after a
// line is added behind it, even when its value ends in a broken multi-byte
// sequence the CR would otherwise cut short.
TEST(IniFile, ALastLineEndingInCrReadsTheSameOnceALineFollows) {
    const QString dir = qortest::freshDir("ini-last-cr");
    const QString path = dir + QStringLiteral("/a.ini");
    writeBytes(path, QByteArray("[A]\nk=\xf8\x00\xed\x31\x31\r", 12));
    IniFile ini(path);
    const QString before = ini.readString(QStringLiteral("A"), QStringLiteral("k"));
    ASSERT_TRUE(ini.setString(QStringLiteral("New"), QStringLiteral("Key"), QStringLiteral("值")));
    ASSERT_TRUE(ini.save());
    IniFile back(path);
    EXPECT_EQ(back.readString(QStringLiteral("A"), QStringLiteral("k")), before);
    EXPECT_EQ(back.readString(QStringLiteral("New"), QStringLiteral("Key")), QStringLiteral("值"));
}

// Large files: every name is found through one index for the whole file,
// which must stay right as sections and keys are added past its first
// size, removed, and as sections of one name lie far apart.
TEST(IniFile, NamesAreFoundAmongManySectionsThroughEditsAndRemovals) {
    const QString path = qortest::freshDir("ini-many") + "/a.ini";
    QByteArray text;
    for (int i = 0; i < 600; ++i)
        text += QStringLiteral("[Sec%1]\r\nName=n%1\r\nValue=%2\r\n").arg(i).arg(i * 3).toUtf8();
    // Second halves of sections 0..9, spelled differently: new keys join,
    // repeated keys lose to the first.
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("[SEC%1]\r\nname=late\r\nExtra=e%1\r\n").arg(i).toUtf8();
    writeBytes(path, text);

    IniFile ini(path);
    EXPECT_EQ(ini.sections().size(), 600);
    EXPECT_EQ(ini.readString("sec5", "NAME"), "n5");
    EXPECT_EQ(ini.readString("Sec5", "extra"), "e5");
    EXPECT_EQ(ini.keys("sec5"), (QStringList{"Name", "Value", "Extra"}));
    EXPECT_EQ(ini.readStrings("SEC599", {u"value", u"missing", u"Name"}),
              (QStringList{"1797", "", "n599"}));
    EXPECT_EQ(ini.readStrings("nowhere", {u"Name"}), QStringList{QString()});

    // Growth: a thousand new keys and sections, then edits of old ones.
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(ini.setString(QStringLiteral("New%1").arg(i), "k", QString::number(i)));
        ASSERT_TRUE(ini.setString(QStringLiteral("sec%1").arg(i), QStringLiteral("Added"),
                                  QStringLiteral("a%1").arg(i)));
    }
    ASSERT_TRUE(ini.setString("SEC3", "name", "renamed"));
    ini.removeKey("sec7", "name");
    ini.removeSection("Sec8");
    auto check = [](const IniFile& f) {
        EXPECT_EQ(f.readString("new499", "K"), "499");
        EXPECT_EQ(f.readString("Sec499", "added"), "a499");
        EXPECT_EQ(f.readString("sec3", "Name"), "renamed");
        EXPECT_FALSE(f.hasKey("sec7", "name"));  // both spellings went
        EXPECT_EQ(f.readString("sec7", "extra"), "e7");
        EXPECT_FALSE(f.hasSection("sec8"));
        EXPECT_EQ(f.readString("sec9", "extra"), "e9");
        EXPECT_EQ(f.sections().size(), 1099);
    };
    check(ini);
    ASSERT_TRUE(ini.save());
    check(IniFile(path));
}

// Names outside ASCII compare by their case-folded text, also against
// ASCII names they fold to; lines in another code page keep their place.
TEST(IniFile, NamesOutsideAsciiFoldAndMixedLinesKeepTheirPlace) {
    const QString dir = qortest::freshDir("ini-fold");
    writeBytes(dir + "/gb.ini", "[A]\r\nx=1\r\n[" + kGbReport + "]\r\n" + kGbUnitName + "=" +
                                    kGbCompany + "\r\nplain=ascii\r\nbroken=\xFF\x30\r\n[" +
                                    kGbReport + "]\r\nlast=" + kGbReport + "\r\n");
    IniFile gb(dir + "/gb.ini");
    EXPECT_EQ(gb.encoding(), IniFile::Encoding::Gb18030);
    EXPECT_EQ(gb.readString(QStringLiteral("报表"), QStringLiteral("单位名称")),
              QStringLiteral("北京公司"));
    EXPECT_EQ(gb.readString(QStringLiteral("报表"), "PLAIN"), "ascii");
    EXPECT_EQ(gb.readString(QStringLiteral("报表"), "last"), QStringLiteral("报表"));
    EXPECT_EQ(gb.readString("a", "x"), "1");

    const QString path = dir + "/fold.ini";
    writeBytes(
        path,
        QStringLiteral("[Ärger]\nStraße=1\n[\u212Aey]\nv=kelvin\n[ÄRGER]\nmore=2\n").toUtf8());
    IniFile ini(path);
    EXPECT_EQ(ini.readString(QStringLiteral("äRGER"), QStringLiteral("STRAßE")), "1");
    EXPECT_EQ(ini.readString(QStringLiteral("ärger"), "MORE"), "2");
    // The Kelvin sign folds to an ASCII k.
    EXPECT_EQ(ini.readString("key", "V"), "kelvin");
    EXPECT_TRUE(ini.setString("KEY", "w", "added"));
    EXPECT_EQ(ini.sections().size(), 2);
}
