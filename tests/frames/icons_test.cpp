// The tool bars' pictures and the program's own picture: every command a
// bar carries shows a picture of ours (never only its text, never a blank
// or a theme's), each command its own, readable at the bar's 16 pixels.
#include <QAction>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QToolButton>

#include "frames/commandicons.h"
#include "frames/menutable.h"
#include "frames/toolbars.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::frames;

namespace {

class IconsTest : public frametest::FrameFixture {};

// Pixels a picture actually inks at a size.
int inked(const QIcon& icon, int side) {
    const QImage image = icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 64;
    return n;
}

QList<int> barCommands() {
    QList<int> ids;
    for (const QList<MenuEntry>& bar : BuiltinMenuTable().bars)
        for (const MenuEntry& e : bar)
            if (e.kind == MenuEntry::Command && !ids.contains(e.id)) ids << e.id;
    return ids;
}

}  // namespace

TEST_F(IconsTest, EveryBarCommandHasItsOwnPictureAtBothSizes) {
    const QList<int> ids = barCommands();
    ASSERT_GE(ids.size(), 25);
    QHash<QByteArray, int> seen;
    for (int id : ids) {
        const QIcon icon = CommandIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        // Drawn, not a blank square, and not a smudge filling the square.
        for (int side : {16, 24}) {
            const int ink = inked(icon, side);
            EXPECT_GT(ink, side * side / 12) << id << " at " << side;
            EXPECT_LT(ink, side * side) << id << " at " << side;
        }
        const QImage image = icon.pixmap(16, 16).toImage();
        const QByteArray key(reinterpret_cast<const char*>(image.constBits()),
                             int(image.sizeInBytes()));
        EXPECT_FALSE(seen.contains(key)) << id << " looks like " << seen.value(key);
        seen.insert(key, id);
    }
    EXPECT_TRUE(CommandIcon(1).isNull());  // no picture for what no bar shows
}

TEST_F(IconsTest, BarButtonsShowPicturesAndTheWindowsOurIcon) {
    for (int barId : {kCmdBarStandard, kCmdBarFormat, kCmdBarEdit, kCmdBarChart}) {
        CFlatToolBar* bar = frame->ToolBar(barId);
        ASSERT_NE(bar, nullptr) << barId;
        EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly) << barId;
        int buttons = 0;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator() || !qobject_cast<QToolButton*>(bar->widgetForAction(a))) continue;
            ++buttons;
            EXPECT_FALSE(a->icon().isNull()) << barId << " " << a->text().toStdString();
        }
        EXPECT_GT(buttons, 0) << barId;
    }
    // The program's picture, not the toolkit's, on the main window and on
    // the windows it opens.
    const QIcon app = ApplicationIcon();
    ASSERT_FALSE(app.isNull());
    EXPECT_GT(inked(app, 16), 100);
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), app.cacheKey());
    EXPECT_EQ(frame->windowIcon().cacheKey(), app.cacheKey());
    ASSERT_NE(newReport(), nullptr);
    frame->ToolBar(kCmdBarChart)->show();
    frame->resize(1100, 500);
    QApplication::processEvents();
    const QString dir = qortest::artifactPath();
    QDir().mkpath(dir);
    EXPECT_TRUE(frame->grab().save(dir + QStringLiteral("/qorview-toolbars.png")));
}
