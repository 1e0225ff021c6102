// The desktop guide (docs/qorview.md), its Chinese version the help window
// shows (resources/help/qorview.zh-CN.md) and the README's tour name menu
// items as "菜单 › 项": each one they name is in the menu bar under that
// name, so a reader who follows them finds what they promise, and the two
// guides name the same items.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>

#include "frame_fixture.h"

using frametest::FrameFixture;

namespace {

// A menu text as a reader sees it: no accelerator, no "(X)", no dots, no
// shortcut.
QString plain(QString text) {
    text.remove(u'&');
    text.remove(QRegularExpression(QStringLiteral("\\([A-Z]\\)|\\[[A-Z]\\]")));
    text.remove(QStringLiteral("..."));
    text.remove(QStringLiteral("…"));
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0) text.truncate(tab);
    text.remove(QRegularExpression(QStringLiteral("\\s+Ctrl\\+\\S+$")));
    return text.trimmed();
}

QAction* findIn(const QList<QAction*>& actions, const QString& name) {
    for (QAction* a : actions)
        if (!a->isSeparator() && plain(a->text()) == name) return a;
    return nullptr;
}

QString sourceText(const char* relative) {
    QFile f(QStringLiteral(QOR_TEST_SOURCE_DIR "/") + QLatin1String(relative));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

// The README's tour of the desktop program, then the whole desktop guide.
QString guide() {
    const QString readme = sourceText("README.md");
    const QString qorview = sourceText("docs/qorview.md");
    const qsizetype from = readme.indexOf(QStringLiteral("## A short tour of `qorview`"));
    if (from < 0 || qorview.isEmpty()) return {};
    const qsizetype to = readme.indexOf(QStringLiteral("\n## "), from + 3);
    return readme.mid(from, to < 0 ? -1 : to - from) + u'\n' + qorview;
}

// The menu paths a text names ("数据 › 图表窗口"), each as written.
QStringList menuPaths(const QString& text) {
    static const QRegularExpression path(
        QStringLiteral("(文件|编辑|视图|格式|数据|工具|窗口|帮助)((?:\\s*[›>]\\s*[^\\s,，.。(（)）:"
                       "：;；\"“”`]+)+)"));
    QStringList paths;
    for (auto it = path.globalMatch(text); it.hasNext();) paths << it.next().captured(0);
    return paths;
}

// "文件 > 打开" and "文件 › 打开" name the same item.
QString pathKey(QString path) {
    static const QRegularExpression separator(QStringLiteral("\\s*[›>]\\s*"));
    return path.replace(separator, QStringLiteral(" › "));
}

}  // namespace

class GuideMenus : public FrameFixture {
protected:
    // The paths of the text the menu bar does not hold.
    QStringList missingFrom(const QString& text, int* checked) {
        static const QRegularExpression head(QStringLiteral("^(\\S+?)\\s*[›>]"));
        static const QRegularExpression step(QStringLiteral("[›>]\\s*([^\\s›>]+)"));
        QStringList missing;
        for (const QString& p : menuPaths(text)) {
            const QString top = head.match(p).captured(1);
            QList<QAction*> level;
            for (QAction* a : frame->menuBar()->actions())
                if (plain(a->text()) == top) level = a->menu()->actions();
            if (level.isEmpty()) {
                missing << p;
                continue;
            }
            for (auto s = step.globalMatch(p); s.hasNext();) {
                // "页标签左移/右移": the first of the pair names the item.
                QString name = s.next().captured(1).section(u'/', 0, 0);
                QAction* a = findIn(level, name);
                if (!a) {
                    missing << p;
                    break;
                }
                if (a->menu()) {
                    emit a->menu()->aboutToShow();
                    level = a->menu()->actions();
                }
            }
            ++*checked;
        }
        return missing;
    }
};

TEST_F(GuideMenus, EveryMenuPathTheGuidesNameIsInTheMenus) {
    const QString english = guide();
    const QString chinese = sourceText("resources/help/qorview.zh-CN.md");
    ASSERT_FALSE(english.isEmpty());
    ASSERT_FALSE(chinese.isEmpty());
    newReport();
    for (const QString& text : {english, chinese}) {
        int checked = 0;
        const QStringList missing = missingFrom(text, &checked);
        EXPECT_GT(checked, 15);
        EXPECT_TRUE(missing.isEmpty()) << missing.join(u'\n').toStdString();
    }
}

TEST(GuideText, TheChineseGuideNamesTheItemsTheEnglishOneNames) {
    // A path written without a blank after it would run into the Chinese
    // words that follow and check nothing: both guides must give the same
    // set, so a change to one is made to the other.
    QSet<QString> english, chinese;
    for (const QString& p : menuPaths(sourceText("docs/qorview.md"))) english.insert(pathKey(p));
    for (const QString& p : menuPaths(sourceText("resources/help/qorview.zh-CN.md")))
        chinese.insert(pathKey(p));
    ASSERT_GT(english.size(), 15);
    const QStringList onlyEnglish = QSet(english).subtract(chinese).values();
    const QStringList onlyChinese = QSet(chinese).subtract(english).values();
    EXPECT_TRUE(onlyEnglish.isEmpty()) << onlyEnglish.join(u'|').toStdString();
    EXPECT_TRUE(onlyChinese.isEmpty()) << onlyChinese.join(u'|').toStdString();
}
