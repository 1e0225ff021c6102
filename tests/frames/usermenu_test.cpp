// User menus: both file encodings read byte by byte from fixtures made
// here, damaged files refused without touching the shown menu, the menu
// bar built from a file, its prompts, its items running their text, and
// the ways in and out (Execute, MENU, the standard-menu button).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "frames/cstatusbarxp.h"
#include "usermenu/usermenu.h"
#include "platform/codepage.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;

namespace {

struct Rec {
    QString name;
    QString command;
    QString prompt;
    int number = 0;
    int children = 0;
};

QByteArray ansiField(const QString& text, int bytes) {
    QByteArray b = qor::encodeCp936(text);
    b.truncate(bytes);
    return b + QByteArray(bytes - b.size(), '\0');
}

QByteArray wideField(const QString& text, int chars) {
    QByteArray b;
    for (QChar c : text.left(chars)) {
        b.append(char(c.unicode() & 0xFF));
        b.append(char(c.unicode() >> 8));
    }
    return b + QByteArray((chars - qMin<qsizetype>(text.size(), chars)) * 2, '\0');
}

// headerCount is written as it stands (over 100 selects the long form).
QByteArray ansiMenu(int headerCount, const QList<Rec>& recs) {
    const int commandLen = headerCount > 100 ? 4096 : 512;
    QByteArray out = ansiField(QStringLiteral("MENU%1").arg(headerCount), 20);
    for (const Rec& r : recs)
        out += ansiField(r.name, 20) + ansiField(QString::number(r.number), 2) +
               ansiField(r.command, commandLen) + ansiField(r.prompt, 100) +
               ansiField(QString::number(r.children), 3);
    return out + ansiField(QStringLiteral("END"), 20);
}

QByteArray wideMenu(int count, const QList<Rec>& recs) {
    QByteArray out("\xFF\xFE", 2);
    out += wideField(QStringLiteral("MENU%1").arg(count), 20);
    for (const Rec& r : recs)
        out += wideField(r.name, 20) + wideField(QString::number(r.number), 2) +
               wideField(r.command, 4096) + wideField(r.prompt, 100) +
               wideField(QString::number(r.children), 3);
    return out + wideField(QStringLiteral("END"), 20);
}

// A popup "文件" with two items, the second with two of its own, then a
// lone item "退出".
QList<Rec> sampleRecords(const QString& letCommand = QStringLiteral("LET A1=7")) {
    return {
        {QStringLiteral("文件"), QString(), QStringLiteral("文件菜单"), 1, 2},
        {QStringLiteral("填数"), letCommand, QStringLiteral("在A1填数"), 2, 0},
        {QStringLiteral("更多"), QString(), QStringLiteral("更多"), 3, 2},
        {QStringLiteral("甲"), QStringLiteral("LET A2=1"), QStringLiteral("甲的提示"), 4, 0},
        {QStringLiteral("乙"), QStringLiteral("LET A2=2"), QStringLiteral("乙的提示"), 5, 0},
        {QStringLiteral("退出"), QStringLiteral("LET A3=3"), QStringLiteral("退出提示"), 6, 0},
    };
}

QString writeMenu(const QString& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QString cellText(CQorsDoc* doc, int row, int col) {
    QString text;
    if (!doc->GetCharCellText(row, col, &text) && !doc->GetStyleCellText(row, col, &text)) {
        double v = 0;
        if (doc->GetNumCellValue(row, col, &v)) text = QString::number(v);
    }
    return text;
}

TEST(UserMenuFileTest, BothEncodingsReadTheSameTreeAndIdsFollowThePositions) {
    for (const QByteArray& bytes : {ansiMenu(2, sampleRecords()), wideMenu(2, sampleRecords())}) {
        UserMenuTables t;
        int msg = -1;
        ASSERT_EQ(ParseMenuBytes(bytes, t, &msg), MenuParseResult::Ok) << msg;
        ASSERT_EQ(t.level1.size(), 2);
        EXPECT_EQ(t.level1[1].name, QStringLiteral("退出"));
        EXPECT_EQ(t.level1[1].number, 6);
        ASSERT_EQ(t.level2[0].size(), 2);
        EXPECT_TRUE(t.level2[1].isEmpty());
        ASSERT_EQ(t.level3[0][1].size(), 2);
        EXPECT_EQ(t.Item(0, 1, 1)->prompt, QStringLiteral("乙的提示"));
        EXPECT_EQ(t.Item(0, 0)->command, QStringLiteral("LET A1=7"));
    }
    // A popup then a leaf: the leaf is 40001; (1,2) is 40054; (0,1,2) 40704.
    EXPECT_EQ(UserMenuCommandId(1), 40001);
    EXPECT_EQ(UserMenuCommandId(1, 2), 40054);
    EXPECT_EQ(UserMenuCommandId(0, 1, 2), 40704);
    EXPECT_EQ(UserMenuCommandId(12), 0);
    EXPECT_EQ(UserMenuCommandId(0, 0, 12), 0);
    int i = 0, j = 0, k = 0;
    ASSERT_TRUE(UserMenuPosition(40704, &i, &j, &k));
    EXPECT_EQ((QList<int>{i, j, k}), (QList<int>{0, 1, 2}));
    EXPECT_FALSE(UserMenuPosition(40012, &i, &j, &k));  // "M" is past the twelve letters
}

TEST(UserMenuFileTest, LongFormAndTheTwelveItemLimit) {
    // Over 100 in the header: count - 100 items with 4,096-byte commands.
    const QString longCommand = QStringLiteral("LET A1=1\n") + QString(1000, u' ') +
                                QStringLiteral("LET A2=2");
    QList<Rec> three;
    for (int n = 0; n < 3; ++n) three.append({QStringLiteral("项%1").arg(n), longCommand, {}, n, 0});
    UserMenuTables t;
    int msg = 0;
    ASSERT_EQ(ParseMenuBytes(ansiMenu(103, three), t, &msg), MenuParseResult::Ok);
    ASSERT_EQ(t.level1.size(), 3);
    EXPECT_EQ(t.level1[2].command, longCommand);

    // A hundred first-level items read, but cannot all be coded.
    QList<Rec> hundred;
    for (int n = 0; n < 100; ++n) hundred.append({QStringLiteral("项%1").arg(n), {}, {}, 0, 0});
    ASSERT_EQ(ParseMenuBytes(ansiMenu(100, hundred), t, &msg), MenuParseResult::Ok);
    EXPECT_EQ(t.level1.size(), 100);
    EXPECT_FALSE(UserMenuCodable(t));
    // A thirteenth third-level item is caught as well.
    QList<Rec> deep = {{QStringLiteral("a"), {}, {}, 0, 1}, {QStringLiteral("b"), {}, {}, 0, 13}};
    for (int n = 0; n < 13; ++n) deep.append({QStringLiteral("c%1").arg(n), {}, {}, 0, 0});
    ASSERT_EQ(ParseMenuBytes(ansiMenu(1, deep), t, &msg), MenuParseResult::Ok);
    EXPECT_FALSE(UserMenuCodable(t));
}

TEST(UserMenuFileTest, DamagedFilesLeaveTheTablesAsTheyWere) {
    UserMenuTables shown;
    int msg = 0;
    ASSERT_EQ(ParseMenuBytes(ansiMenu(2, sampleRecords()), shown, &msg), MenuParseResult::Ok);
    const QByteArray good = ansiMenu(2, sampleRecords());
    struct Case {
        QByteArray bytes;
        int message;
    };
    QByteArray noMenu = good;
    noMenu.replace(0, 4, "MEMO");
    QByteArray badEnd = good;
    badEnd.replace(badEnd.size() - 20, 3, "EOF");
    QByteArray badCount = good;
    badCount.replace(20 + 634, 3, "x1\0", 3);  // the first record's child count
    const QList<Case> cases = {
        {good.left(20 + 2 * 637 + 100),
         qor::str::kMenuFileEndsEarly},  // cut short in the third record
        {good.left(10), qor::str::kMenuFileEndsEarly},
        {ansiField(QStringLiteral("MENU9999999"), 20) + QByteArray(5000, '\0'),
         qor::str::kMenuFileEndsEarly},
        {noMenu, qor::str::kNotMenuResourceFile},
        {badEnd, qor::str::kMenuFileBadEnd},
        {badCount, qor::str::kNotMenuResourceFile},
        {wideMenu(2, sampleRecords()).left(2 + 40 + 8442 * 2 + 10), qor::str::kMenuFileEndsEarly},
    };
    for (const Case& c : cases) {
        // UTF-16 files are read only into empty tables.
        UserMenuTables t = c.bytes.startsWith("\xFF\xFE") ? UserMenuTables() : shown;
        ASSERT_EQ(ParseMenuBytes(c.bytes, t, &msg), MenuParseResult::Failed);
        EXPECT_EQ(msg, c.message);
        if (!t.IsEmpty()) {
            EXPECT_EQ(t.level1.size(), 2);
            EXPECT_EQ(t.level3[0][1].size(), 2);
        }
    }
    // A UTF-16 file is read only while no menu is loaded.
    UserMenuTables t = shown;
    EXPECT_EQ(ParseMenuBytes(wideMenu(1, {{QStringLiteral("x"), {}, {}, 0, 0}}), t, &msg),
              MenuParseResult::NotEmpty);
    EXPECT_EQ(t.level1.size(), 2);
}

class UserMenuFrameTest : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        dir = qortest::freshDir(QStringLiteral("usermenu"));
    }
    QStringList barTexts() const {
        QStringList out;
        for (QAction* a : frame->menuBar()->actions()) out << a->text();
        return out;
    }
    QAction* userAction(int id) const {
        return frame->findChild<QAction*>(QStringLiteral("userMenu%1").arg(id));
    }
    QString dir;
};

TEST_F(UserMenuFrameTest, ALoadedMenuShowsItsItemsPromptsAndRunsTheirText) {
    const QString path = writeMenu(dir, QStringLiteral("tools.mnu"), ansiMenu(2, sampleRecords()));
    CChildFrame* child = newReport();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));  // data state
    QAction* back = frame->Router().Action(kCmdStandardMenu);
    frame->UpdateFrameState();
    EXPECT_FALSE(back->isEnabled());

    QString error;
    ASSERT_TRUE(frame->LoadMenuFile(path, &error)) << error.toStdString();
    EXPECT_EQ(barTexts(), (QStringList{QStringLiteral("文件"), QStringLiteral("退出")}));
    QAction* popup = frame->menuBar()->actions().value(0);
    ASSERT_NE(popup->menu(), nullptr);
    ASSERT_NE(userAction(40001), nullptr);
    EXPECT_EQ(userAction(40001)->text(), QStringLiteral("退出"));
    ASSERT_NE(userAction(40704 - 1), nullptr);  // (0, 1, 1)
    EXPECT_EQ(userAction(40703)->text(), QStringLiteral("乙"));
    frame->UpdateFrameState();
    EXPECT_TRUE(back->isEnabled());

    // Prompts: an item's own, a popup's "准备".
    frame->ShowUserMenuPrompt(userAction(40703));
    EXPECT_EQ(frame->StatusBarXP()->currentMessage(), QStringLiteral("乙的提示"));
    emit popup->menu()->hovered(popup->menu()->actions().value(1));  // the "更多" popup
    EXPECT_EQ(frame->StatusBarXP()->currentMessage(), LoadErrorText(qor::str::kMenuReady));

    // Choosing an item runs its text against the active report.
    userAction(40026)->trigger();  // (0, 0): LET A1=7
    EXPECT_EQ(cellText(child->GetDocument(), 0, 0), QStringLiteral("7"));

    // Activating reports keeps the user menu.
    newReport();
    EXPECT_EQ(barTexts().value(1), QStringLiteral("退出"));

    // Back to the standard menu, without the command-window item.
    ASSERT_TRUE(frame->Router().Execute(kCmdStandardMenu));
    EXPECT_FALSE(frame->IsUserMenuActive());
    EXPECT_NE(barTexts().value(1), QStringLiteral("退出"));
    QAction* cmdWindow = frame->Router().FindAction(kCmdCommandWindow);
    std::function<bool(QMenu*)> holds = [&](QMenu* m) {
        for (QAction* a : m->actions())
            if (a == cmdWindow || (a->menu() && holds(a->menu()))) return true;
        return false;
    };
    for (QMenu* m : frame->TopMenus(frame->CurrentMenuId())) EXPECT_FALSE(holds(m)) << m->title().toStdString();
}

TEST_F(UserMenuFrameTest, BadFilesKeepTheShownMenu) {
    const QString good = writeMenu(dir, QStringLiteral("good.mnu"), ansiMenu(2, sampleRecords()));
    const QByteArray bytes = ansiMenu(2, sampleRecords());
    const QString cut = writeMenu(dir, QStringLiteral("cut.mnu"), bytes.left(20 + 2 * 637 + 5));
    QList<Rec> thirteen;
    for (int n = 0; n < 13; ++n) thirteen.append({QStringLiteral("项%1").arg(n), {}, {}, 0, 0});
    const QString wide = writeMenu(dir, QStringLiteral("wide.mnu"), ansiMenu(13, thirteen));
    const QString text = writeMenu(dir, QStringLiteral("note.txt"), bytes);
    ASSERT_TRUE(frame->LoadMenuFile(good));
    const QStringList before = barTexts();
    QString error;
    EXPECT_FALSE(frame->LoadMenuFile(cut, &error));
    EXPECT_TRUE(error.contains(LoadErrorText(qor::str::kMenuFileEndsEarly)));
    EXPECT_FALSE(frame->LoadMenuFile(wide, &error));
    EXPECT_EQ(error, LoadErrorText(qor::str::kMenuBadId));
    EXPECT_FALSE(frame->LoadMenuFile(text, &error));
    EXPECT_EQ(error, LoadErrorText(qor::str::kNotUserMenuFile));
    EXPECT_FALSE(frame->LoadMenuFile(dir + QStringLiteral("/missing"), &error));
    EXPECT_EQ(error, LoadErrorText(qor::str::kCustomMenuFileMissing));
    EXPECT_EQ(barTexts(), before);
    // The prompts still belong to the menu shown.
    EXPECT_EQ(frame->UserMenu().level1.size(), 2);
}

TEST_F(UserMenuFrameTest, MenuWordExecuteAndUtf16MenusLoadAgainAfterReturning) {
    const QString wide = writeMenu(dir, QStringLiteral("wide.MNU"), wideMenu(2, sampleRecords()));
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    // MENU from the command window, in any letter case of the extension.
    ASSERT_EQ(ci.RunLine(QStringLiteral("MENU \"%1\"").arg(wide)), 0) << ci.LastErrorText().toStdString();
    EXPECT_TRUE(frame->IsUserMenuActive());
    // A second UTF-16 menu while one is shown is refused.
    EXPECT_NE(ci.RunLine(QStringLiteral("MENU \"%1\"").arg(wide)), 0);
    ASSERT_EQ(ci.RunLine(QStringLiteral("MENU \"\"")), 0);
    EXPECT_FALSE(frame->IsUserMenuActive());
    // After the standard menu returned, the same file loads again, here
    // through Execute.
    files << wide;
    ASSERT_TRUE(frame->Router().Execute(kCmdExecute));
    EXPECT_TRUE(frame->IsUserMenuActive());
    EXPECT_EQ(fileFilters.last(),
              qor::QtFileFilter(LoadErrorText(qor::str::kScriptOrMenuFileFilter)));

    // Execute runs a batch file.
    CChildFrame* child = newReport();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    const QString script = dir + QStringLiteral("/fill.shl");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("LET B2=5\n");
    f.close();
    files << script;
    ASSERT_TRUE(frame->Router().Execute(kCmdExecute));
    EXPECT_EQ(cellText(child->GetDocument(), 1, 1), QStringLiteral("5"));
}

TEST_F(UserMenuFrameTest, EveryItemOfAWalkedMenuRunsItsOwnText) {
    // Each leaf writes its own number into its own cell of column A, so an
    // item running another's text (a wrong id) shows.
    QList<Rec> recs;
    int n = 0;
    auto leafRec = [&](const QString& name) {
        ++n;
        return Rec{name, QStringLiteral("LET A%1=%1").arg(n), name, n, 0};
    };
    recs << Rec{QStringLiteral("一"), {}, {}, 0, 2} << leafRec(QStringLiteral("一甲"))
         << Rec{QStringLiteral("一乙"), {}, {}, 0, 3} << leafRec(QStringLiteral("一乙a"))
         << leafRec(QStringLiteral("一乙b")) << leafRec(QStringLiteral("一乙c"))
         << leafRec(QStringLiteral("二")) << Rec{QStringLiteral("三"), {}, {}, 0, 1}
         << leafRec(QStringLiteral("三甲"));
    const QString path = writeMenu(dir, QStringLiteral("walk.mnu"), ansiMenu(3, recs));
    CChildFrame* child = newReport();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    ASSERT_TRUE(frame->LoadMenuFile(path));
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (a->menu()) {
                walk(a->menu()->actions());
                continue;
            }
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
            a->trigger();
        }
    };
    walk(frame->menuBar()->actions());
    for (int i = 1; i <= n; ++i)
        EXPECT_EQ(cellText(child->GetDocument(), i - 1, 0), QString::number(i)) << i;
}

}  // namespace
