// The user guide in README names menu items as "菜单 › 项": each one it
// names in its qorview part is in the menu bar under that name, so a reader
// who follows the guide finds what it promises.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

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

// The guide's part about the desktop program.
QString guide() {
    QFile f(QStringLiteral(QOR_TEST_SOURCE_DIR "/README.md"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QString all = QString::fromUtf8(f.readAll());
    const qsizetype from = all.indexOf(QStringLiteral("## Using `qorview`"));
    if (from < 0) return {};
    const qsizetype to = all.indexOf(QStringLiteral("\n## "), from + 3);
    return all.mid(from, to < 0 ? -1 : to - from);
}

}  // namespace

TEST_F(FrameFixture, EveryMenuPathTheGuideNamesIsInTheMenus) {
    const QString text = guide();
    ASSERT_FALSE(text.isEmpty());
    newReport();
    static const QRegularExpression path(
        QStringLiteral("(文件|编辑|视图|格式|数据|工具|窗口|帮助)((?:\\s*[›>]\\s*[^\\s,，.。(（)）:"
                       "：;；\"“”`]+)+)"));
    static const QRegularExpression step(QStringLiteral("[›>]\\s*([^\\s›>]+)"));
    int checked = 0;
    QStringList missing;
    for (auto it = path.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QList<QAction*> level;
        for (QAction* top : frame->menuBar()->actions())
            if (plain(top->text()) == m.captured(1)) level = top->menu()->actions();
        if (level.isEmpty()) {
            missing << m.captured(0);
            continue;
        }
        for (auto s = step.globalMatch(m.captured(2)); s.hasNext();) {
            // "页标签左移/右移": the first of the pair names the item.
            QString name = s.next().captured(1).section(u'/', 0, 0);
            QAction* a = findIn(level, name);
            if (!a) {
                missing << m.captured(0);
                break;
            }
            if (a->menu()) {
                emit a->menu()->aboutToShow();
                level = a->menu()->actions();
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 15);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u'\n').toStdString();
}
