// The menu table and the command router: what the menus are made of and
// how a command finds its handler.
#include <gtest/gtest.h>

#include <QAction>
#include <algorithm>
#include <QSet>

#include "frames/commandrouter.h"
#include "frames/menutable.h"
#include "resources/commandids.h"
#include "resources/stringtable.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

TEST(MenuTable, BuiltInTableLoadsWithAllMenusAndBars) {
    const MenuTable& t = BuiltinMenuTable();
    EXPECT_TRUE(t.errors.isEmpty()) << t.errors.join(u'\n').toStdString();
    for (int id : {kMenuNoReport, kMenuReport, kMenuCells, kMenuItem})
        EXPECT_FALSE(t.menus.value(id).isEmpty()) << id;
    for (int id : {kCmdBarStandard, kCmdBarFormat, kCmdBarEdit, kCmdBarChart})
        EXPECT_FALSE(t.bars.value(id).isEmpty()) << id;
    // Without a report only what needs none: no save, no edit menu.
    const QList<int> noReport = CommandIdsOf(t.menus.value(kMenuNoReport));
    EXPECT_TRUE(noReport.contains(kCmdFileOpen));
    EXPECT_FALSE(noReport.contains(kCmdFileSave));
    EXPECT_FALSE(noReport.contains(kCmdCopy));
    // The context menus in their order, cut first in the item menu.
    const QList<int> cells = CommandIdsOf(t.menus.value(kMenuCells));
    EXPECT_EQ(cells.first(), kCmdDrillDown);
    EXPECT_EQ(cells.last(), kCmdCommandWindow);
    EXPECT_EQ(CommandIdsOf(t.menus.value(kMenuItem)),
              (QList<int>{kCmdCut, kCmdCopy, kCmdPaste, kCmdClear, kCmdObjectVerbs,
                          kCmdObjectPreview, kCmdObjectPrint, kCmdBringToFront, kCmdSendToBack,
                          kCmdObjectProperties, kCmdObjectAppearance}));
}

TEST(MenuTable, EveryCommandWithAMenuTextHasAPlace) {
    const MenuTable& t = BuiltinMenuTable();
    QSet<int> placed;
    for (const auto* tables : {&t.menus, &t.bars})
        for (const auto& entries : *tables)
            for (int id : CommandIdsOf(entries)) placed.insert(id);
    QStringList missing;
    for (int id = 1; id < 65536; ++id) {
        if (!qor::res::commandCaption(id)) continue;
        // The chart window and the file manager show their own menus; 57608
        // is print without its dialog, which only the sheet runs.
        const bool elsewhere = (id >= kCmdTitle && id <= kCmdOpenChart) || id == kCmdTitleFont ||
                               id == kCmdPreviousGroup || id == kCmdNextGroup ||
                               (id >= kCmdFmNewFolder && id <= kCmdFmMail) || id == kCmdPrintDirect;
        if (!elsewhere && !placed.contains(id)) missing << QString::number(id);
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u' ').toStdString();
}

TEST(MenuTable, EveryMenuItemAndButtonHasAStatusText) {
    const MenuTable& t = BuiltinMenuTable();
    QStringList silent;
    for (const auto* tables : {&t.menus, &t.bars})
        for (const auto& entries : *tables)
            for (int id : CommandIdsOf(entries)) {
                const QString prompt = qor::res::commandPrompt(id).value_or(QString());
                if (prompt.section(u'\n', 0, 0).trimmed().isEmpty()) silent << QString::number(id);
            }
    silent.removeDuplicates();
    EXPECT_TRUE(silent.isEmpty()) << silent.join(u' ').toStdString();
}

// The letter after "&" in a caption, upper-cased; none for a caption
// without one.
QChar mnemonic(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        if (caption[i] == u'&' && caption[i + 1] != u'&') return caption[i + 1].toUpper();
    return {};
}

void collectClashes(const MenuTable& t, const QList<MenuEntry>& entries, const QString& where,
                    QStringList* clashes) {
    QHash<QChar, QString> used;
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::Separator) continue;
        QString text = e.text;
        if (e.kind == MenuEntry::Command)
            text = t.captions.value(e.id, qor::res::commandCaption(e.id).value_or(e.text));
        const QChar key = mnemonic(text);
        if (!key.isNull()) {
            if (used.contains(key))
                *clashes << where + QStringLiteral(": ") + used.value(key) + QStringLiteral(" / ") + text;
            used.insert(key, text);
        }
        if (e.kind == MenuEntry::Popup)
            collectClashes(t, e.children, where + QLatin1Char('>') + e.text, clashes);
    }
}

TEST(MenuTable, NoTwoItemsOfOneMenuShareTheirLetter) {
    // Alt+O then K must reach one item, not step between two.
    const MenuTable& t = BuiltinMenuTable();
    QStringList clashes;
    for (auto it = t.menus.cbegin(); it != t.menus.cend(); ++it)
        collectClashes(t, *it, QString::number(it.key()), &clashes);
    EXPECT_TRUE(clashes.isEmpty()) << clashes.join(u'\n').toStdString();
}

TEST(MenuTable, BrokenLinesAreRefusedNotGuessed) {
    const MenuTable t = ParseMenuTable(
        "menu\t1\t1\tcommand\t100\n"         // depth 1 without a popup above
        "menu\t1\t0\tpopup\n"                // a popup without a title
        "menu\t1\t0\tblob\t5\n"              // unknown kind
        "menu\t1\t0\tcommand\tx\n"           // no id
        "shelf\t1\t0\tcommand\t5\n"          // unknown table
        "reason\t0\t0\t-\t7\n"               // a reason without text
        "caption\t0\t0\t-\t8\n"              // a caption without text
        "caption\t0\t0\t-\t12\t定位(&G)...\n"
        "menu\t1\t0\tpopup\t\tA\n"
        "menu\t1\t1\tcommand\t9\t\tCtrl+N\n"
        "menu\t1\t1\tpopup\t\tB\n"
        "menu\t1\t2\tcommand\t10\t\t~Del\n"
        "menu\t1\t1\tcommand\t11\n");
    EXPECT_EQ(t.errors.size(), 7) << t.errors.join(u'\n').toStdString();
    EXPECT_EQ(t.captions, (QHash<int, QString>{{12, QStringLiteral("定位(&G)...")}}));
    const QList<MenuEntry> top = t.menus.value(1);
    ASSERT_EQ(top.size(), 1);
    const MenuEntry& a = top.first();
    ASSERT_EQ(a.children.size(), 3);
    EXPECT_EQ(a.children[0].keys, u"Ctrl+N");
    EXPECT_FALSE(a.children[0].keysShownOnly);
    EXPECT_EQ(a.children[1].children.first().id, 10);
    EXPECT_TRUE(a.children[1].children.first().keysShownOnly);
    EXPECT_EQ(a.children[2].id, 11);  // back at depth 1 after the nested popup
}

TEST(MenuTable, CaptionsSplitTheirKeysAndLoseTheirMarks) {
    EXPECT_EQ(SplitCaption(QStringLiteral("打印(&P)... Ctrl+P")).keys, u"Ctrl+P");
    EXPECT_EQ(SplitCaption(QStringLiteral("显示风格(&B)... Shift+F5")).text, u"显示风格(&B)...");
    EXPECT_TRUE(SplitCaption(QStringLiteral("格式/数据状态(&Z)")).keys.isEmpty());
    EXPECT_EQ(PlainCaption(QStringLiteral("导入[&I]...")), u"导入...");
    EXPECT_EQ(PlainCaption(QStringLiteral("单元公式(&C)...")), u"单元公式...");
}

// A target that knows a few ids and records what ran.
class Target : public qor::ICommandTarget {
public:
    Target(QList<int> ids, bool enabled) : m_ids(std::move(ids)), m_enabled(enabled) {}
    bool OnUpdateCommand(int id, qor::CommandState& s) override {
        if (!m_ids.contains(id)) return false;
        s.enabled = m_enabled;
        s.reason = m_enabled ? QString() : QStringLiteral("off here");
        s.text = text;
        return true;
    }
    bool OnCommand(int id) override {
        if (!m_ids.contains(id)) return false;
        ran << id;
        return true;
    }
    QList<int> ran;
    QString text;

private:
    QList<int> m_ids;
    bool m_enabled;
};

TEST(CommandRouter, TheFirstTargetThatKnowsACommandAnswersIt) {
    Target view({1, 2}, true), doc({2, 3}, false), main({3, 4}, true);
    CommandRouter router;
    router.SetChain([&] { return QList<qor::ICommandTarget*>{&view, &doc, &main}; });
    router.SetReasons({{5, QStringLiteral("waits for its dialog")}});

    EXPECT_TRUE(router.Execute(2));
    EXPECT_EQ(view.ran, QList<int>{2});
    EXPECT_TRUE(doc.ran.isEmpty());
    // The document knows 3 and says it is off: the main frame is not asked.
    EXPECT_FALSE(router.Execute(3));
    EXPECT_TRUE(main.ran.isEmpty());
    EXPECT_EQ(router.Query(3).reason, u"off here");
    // Nobody knows 5 or 6: off, with the table's reason or the general one.
    EXPECT_FALSE(router.Query(5).enabled);
    EXPECT_EQ(router.Query(5).reason, u"waits for its dialog");
    EXPECT_EQ(router.Query(6).reason, CommandRouter::NotProvidedText());
    EXPECT_FALSE(router.Execute(6));

    // A gate of a higher target can still turn a command off.
    router.SetGate(1, [](qor::CommandState& s) { s.enabled = false; });
    EXPECT_FALSE(router.Execute(1));
    EXPECT_EQ(view.ran, QList<int>{2});
}

TEST(CommandRouter, ActionsCarryTheTableTextsAndFollowTheState) {
    Target view({kCmdInputConfirm, kCmdPrint, kCmdForcedPageBreak}, true);
    CommandRouter router;
    router.SetChain([&] { return QList<qor::ICommandTarget*>{&view}; });
    // Prompt only: the tool tip is the part after the line break.
    QAction* confirm = router.Action(kCmdInputConfirm);
    EXPECT_EQ(confirm->toolTip(), u"输入确认（Enter）");
    EXPECT_EQ(confirm->statusTip(), u"把输入的内容加入到单元");
    // A caption with its key keeps the key shown beside it.
    QAction* print = router.Action(kCmdPrint);
    EXPECT_EQ(print->text(), u"打印(&P)...\tCtrl+P");
    router.SetKeys(kCmdPrint, QStringLiteral("Ctrl+P"), false);
    EXPECT_EQ(print->text(), u"打印(&P)...");
    EXPECT_EQ(print->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    // A target may switch the text.
    QAction* brk = router.Action(kCmdForcedPageBreak);
    view.text = QStringLiteral("撤消分页");
    router.Update(brk);
    EXPECT_EQ(brk->text(), u"撤消分页");
    // Triggering runs the command once.
    print->trigger();
    EXPECT_EQ(view.ran, QList<int>{kCmdPrint});
    // An unknown command's action is off and its status line says why.
    QAction* unknown = router.Action(39999, QStringLiteral("向下"));
    EXPECT_FALSE(unknown->isEnabled());
    EXPECT_EQ(unknown->text(), u"向下");
    EXPECT_EQ(unknown->statusTip(), CommandRouter::NotProvidedText());
}

}  // namespace

namespace {

// A target that names its ids up front (or, with none, asks to be asked
// about all) and counts what it is asked.
class Declaring : public qor::ICommandTarget {
public:
    Declaring(QList<int> knows, const qor::CommandIdSet* names)
        : m_knows(std::move(knows)), names(names) {}
    bool OnUpdateCommand(int id, qor::CommandState& s) override {
        asked << id;
        if (!m_knows.contains(id)) return false;
        s.enabled = true;
        return true;
    }
    bool OnCommand(int id) override {
        if (!m_knows.contains(id)) return false;
        ran << id;
        return true;
    }
    const qor::CommandIdSet* DeclaredCommands() const override { return names; }
    QList<int> asked, ran;
    QList<int> m_knows;
    const qor::CommandIdSet* names;
};

TEST(CommandRouter, TargetsThatNameTheirIdsAreAskedAboutThoseOnly) {
    const qor::CommandIdSet viewIds{1, 2}, mainIds{3, 4, 7}, wider{1, 2, 5};
    // The main frame names 7 but declines it; the last target names nothing.
    Declaring view({1, 2}, &viewIds), main({3, 4}, &mainIds), extra({7, 8}, nullptr);
    CommandRouter router;
    router.SetChain([&] { return QList<qor::ICommandTarget*>{&view, nullptr, &main, &extra}; });
    for (int id : {1, 2, 3, 4, 5, 7, 8}) router.Action(id);
    view.asked.clear();
    main.asked.clear();
    extra.asked.clear();

    router.UpdateAll();
    std::sort(view.asked.begin(), view.asked.end());
    EXPECT_EQ(view.asked, (QList<int>{1, 2}));
    std::sort(main.asked.begin(), main.asked.end());
    EXPECT_EQ(main.asked, (QList<int>{3, 4, 7}));
    // Only what nobody before it names or answers reaches the last target.
    std::sort(extra.asked.begin(), extra.asked.end());
    EXPECT_EQ(extra.asked, (QList<int>{5, 7, 8}));
    for (int id : {1, 2, 3, 4, 7, 8}) EXPECT_TRUE(router.FindAction(id)->isEnabled()) << id;
    EXPECT_FALSE(router.FindAction(5)->isEnabled());
    EXPECT_TRUE(router.Execute(7));
    EXPECT_EQ(extra.ran, QList<int>{7});

    // A target whose ids grow hands out another set: the next pass finds
    // the new owner.
    view.m_knows << 5;
    view.names = &wider;
    router.UpdateAll();
    EXPECT_TRUE(router.FindAction(5)->isEnabled());
    EXPECT_TRUE(router.Execute(5));
    EXPECT_EQ(view.ran, QList<int>{5});
    EXPECT_EQ(router.Query(5).enabled, true);
}

}  // namespace
