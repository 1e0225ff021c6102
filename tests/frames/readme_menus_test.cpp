// The desktop guide (docs/qorview.md) and the README's tour of it name menu
// items as "菜单 › 项": each one they name is in the menu bar under that
// name, so a reader who follows them finds what they promise.
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
