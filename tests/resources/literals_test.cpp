// No text a user reads is written in the library code: messages, captions
// and labels come from strings.tsv through LoadErrorText. Chinese that
// stays in code is data the program reads or writes (names in file
// formats, fonts, number-format codes, comparisons against input) and is
// listed below with its reason; comments do not count.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QStringList>

namespace {

struct Literal {
    QString file;  // relative to the source folder
    int line = 0;
    QString text;  // the literal's characters, escapes of quotes and backslashes undone
};

bool identChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// The identifier or number that ends just before position i.
QString wordBefore(const QString& s, qsizetype i) {
    qsizetype b = i;
    while (b > 0 && identChar(s[b - 1])) --b;
    return s.mid(b, i - b);
}

bool isPrefix(const QString& w) {
    return w.isEmpty() || w == u"u" || w == u"U" || w == u"L" || w == u"u8";
}

// Every string literal of one C++ source text, outside comments and
// character literals (a quote after a number is a digit separator).
QList<Literal> literalsOf(const QString& file, const QString& s) {
    QList<Literal> out;
    int line = 1;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto skipTo = [&](qsizetype end) {
        line += int(s.mid(i, end - i).count(u'\n'));
        i = end;
    };
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\n') {
            ++line;
            ++i;
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'/') {
            const qsizetype e = s.indexOf(u'\n', i);
            skipTo(e < 0 ? n : e);
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const qsizetype e = s.indexOf(QStringLiteral("*/"), i + 2);
            skipTo(e < 0 ? n : e + 2);
        } else if (c == u'R' && i + 1 < n && s[i + 1] == u'"' && isPrefix(wordBefore(s, i))) {
            const qsizetype open = s.indexOf(u'(', i + 2);
            if (open < 0) break;
            const QString close = u')' + s.mid(i + 2, open - i - 2) + u'"';
            const qsizetype e = s.indexOf(close, open + 1);
            if (e < 0) break;
            out.append({file, line, s.mid(open + 1, e - open - 1)});
            skipTo(e + close.size());
        } else if (c == u'"') {
            QString text;
            qsizetype j = i + 1;
            for (; j < n && s[j] != u'"' && s[j] != u'\n'; ++j) {
                if (s[j] == u'\\' && j + 1 < n) ++j;
                text += s[j];
            }
            out.append({file, line, text});
            i = j + 1;
        } else if (c == u'\'' && isPrefix(wordBefore(s, i))) {
            qsizetype j = i + 1;
            for (; j < n && s[j] != u'\'' && s[j] != u'\n'; ++j)
                if (s[j] == u'\\') ++j;
            i = j + 1;
        } else {
            ++i;
        }
    }
    return out;
}

bool hasChinese(const QString& s) {
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if ((u >= 0x3000 && u <= 0x9fff) || (u >= 0xff00 && u <= 0xffef)) return true;
    }
    return false;
}

// A literal allowed to stay: in one file, with exactly this text, or every
// literal of the file when the text is empty.
struct Allowed {
    const char* file;
    const char16_t* text;
    const char* reason;
};

// The formula libraries installed under Library/: after its two-character
// number each entry is the name of a library's files, and 28 is the marker
// of no library.
constexpr const char* kFormulaLibName = "name of an installed formula library's files";

// Data: the program reads, writes or compares these words; a translation
// table would change files and input, not what a user reads.
const Allowed kData[] = {
    {"engine/cellformat.h", u"", "font names stored in report files by index"},
    {"charts/fontfamilies.cpp", u"", "font family names looked up among the installed fonts"},
    {"frames/toolbars.cpp", u"宋体", "the font family of the font box"},
    {"exchange/workbook_codes.h", u"", "built-in number-format codes of workbook files"},
    {"exchange/workbook_dates.cpp", u"", "words a workbook date format produces and parses"},
    {"exchange/datafilechain.cpp", u"", "column names of the keywords in data files"},
    {"document/doc_files.cpp", u"个数", "key of the data-file description (INI) format"},
    {"document/doc_files.cpp", u"文件%1", "key of the data-file description (INI) format"},
    {"document/doc_files.cpp", u"名称%1", "key of the data-file description (INI) format"},
    {"document/doc_textexchange.cpp", u"个数", "key of the data-file description (INI) format"},
    {"document/doc_textexchange.cpp", u"名称1", "key of the data-file description (INI) format"},
    {"document/doc_textexchange.cpp", u"文件1", "key of the data-file description (INI) format"},
    {"document/formulatexts.cpp", u"[:：]", "pattern of the colon in a formula message it reads"},
    {"frames/cmyfiledlg.cpp", u"^(.*)[(（]([^()（）]*)[)）]$",
     "pattern that reads a file-type label"},
    {"fininterface/consolfiles.cpp", u"",
     "folder name of the consolidation client's sample reports"},
    {"fininterface/auditlayoutscan.cpp", u"资产负债",
     "report name the audit layout is compared with"},
    {"finui/indicatordlg.cpp", u"1 工业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"2 商品流通业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"3 农业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"4 邮电通信", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"5 施工企业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"6 建设单位", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"7 房地产开发业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"8 运输(交通)", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"9 运输(铁路)", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"10运输(民用航空)", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"11金融业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"12保险业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"13旅游饮食", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"14对外经济合作企业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"15外商投资企业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"16股份制", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"17普通事业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"18科学事业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"19行政", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"20地质勘探", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"21医院", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"22高校", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"23中小学校", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"24社保失业", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"25社保养老", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"26社保医疗", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"27社保其他", kFormulaLibName},
    {"finui/indicatordlg.cpp", u"28 <<空>>", kFormulaLibName},
    {"reader/demoledgerservice.cpp", u"",
     "the stand-in ledger service: its function names and texts are those of the outside "
     "system, and 借/贷/全年 are words of its input"},
    {"engine/textutil.cpp", u"",
     "fallbacks beside table ids (messageText), for a table without them"},
    {"reader/cappenvironment.cpp", u"正在登录...", "fallback beside its table id (messageText)"},
    {"dialogs/keyword_logic.cpp", u"", "characters refused in a keyword name and the words 周 and 旬 compared with it"},
    {"platform/uiservices.cpp", u"文件口令",
     "title of the headless password prompt; platform sits below the string table"},
};

bool matches(const Allowed& a, const Literal& l) {
    const QString file = QString::fromUtf8(a.file);
    const bool fileHit = file.endsWith(u'/') ? l.file.startsWith(file) : l.file == file;
    if (!fileHit) return false;
    const QString text = QString::fromUtf16(a.text);
    return text.isEmpty() || text == l.text;
}

QList<Literal> chineseLiterals() {
    const QString root = QStringLiteral(QOR_TEST_SOURCE_DIR "/");
    const QStringList folders = {
        QStringLiteral("apps"),     QStringLiteral("charts"),   QStringLiteral("chartui"),
        QStringLiteral("cmdlang"),  QStringLiteral("dialogs"),  QStringLiteral("document"),
        QStringLiteral("engine"),   QStringLiteral("exchange"), QStringLiteral("fininterface"),
        QStringLiteral("finui"),    QStringLiteral("frames"),   QStringLiteral("platform"),
        QStringLiteral("print"),    QStringLiteral("reader"),   QStringLiteral("resources"),
        QStringLiteral("usermenu"), QStringLiteral("view"),     QStringLiteral("vtmail8")};
    QList<Literal> out;
    for (const QString& folder : folders) {
        QDirIterator it(root + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) {
                ADD_FAILURE() << path.toStdString();
                continue;
            }
            const QString rel = path.mid(root.size());
            for (const Literal& l : literalsOf(rel, QString::fromUtf8(f.readAll())))
                if (hasChinese(l.text)) out.append(l);
        }
    }
    return out;
}

}  // namespace

TEST(LiteralScan, FindsLiteralsOutsideCommentsAndCharacters) {
    const QString src = QStringLiteral(
        "// \"注释\" is a comment\n"
        "/* \"也是\"\n \"注释\" */ int n = 1'000'000; char c = '\"'; char16_t d = u'\"';\n"
        "auto a = QStringLiteral(\"报表\");\n"
        "auto b = R\"x(原样\"文字)x\"; auto e = \"转义\\\"引号\";\n");
    const QList<Literal> found = literalsOf(QStringLiteral("x.cpp"), src);
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].text, u"报表");
    EXPECT_EQ(found[0].line, 4);
    EXPECT_EQ(found[1].text, u"原样\"文字");
    EXPECT_EQ(found[2].text, u"转义\"引号");
    EXPECT_EQ(found[2].line, 5);
    EXPECT_TRUE(hasChinese(QStringLiteral("，")));
    EXPECT_FALSE(hasChinese(QStringLiteral("plain - text")));
}

TEST(LiteralScan, NoUserTextWrittenInLibraryCode) {
    const QList<Literal> found = chineseLiterals();
    ASSERT_FALSE(found.isEmpty()) << "the scan found nothing: wrong source folder?";
    QSet<const Allowed*> used;
    for (const Literal& l : found) {
        const Allowed* hit = nullptr;
        for (const Allowed& a : kData)
            if (matches(a, l)) hit = &a;
        if (hit)
            used.insert(hit);
        else
            ADD_FAILURE()
                << l.file.toStdString() << ':' << l.line << ": \"" << l.text.toStdString()
                << "\" is a text a user reads: put it in resources/strings.tsv and load it "
                   "with LoadErrorText, or list it here as data with its reason";
    }
    for (const Allowed& a : kData) EXPECT_TRUE(used.contains(&a)) << "stale data entry: " << a.file;
}
