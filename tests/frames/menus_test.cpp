// The menus' look and keyboard: item sizes, mnemonics underlined only
// while the keyboard drives the menus, and the arrows and Esc moving
// between and out of menus as users of the program expect.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QTest>

#include "frames/menustyle.h"

using qor::frames::CFlatMenuStyle;

namespace {

TEST(MenuStyle, ItemsAreLabelPlusHalfHeightPlus24AndSeparatorsStaySeparators) {
    const QFont font = QApplication::font();
    const QFontMetrics fm(font);
    const int h = std::max(20, fm.height());
    const QSize plain = CFlatMenuStyle::MenuItemSize(QStringLiteral("单元公式(&C)"), font);
    EXPECT_EQ(plain.width(), fm.horizontalAdvance(QStringLiteral("单元公式(C)")) + h / 2 + 24);
    EXPECT_GE(plain.height(), 20);
    const QSize keyed = CFlatMenuStyle::MenuItemSize(QStringLiteral("复制[C]\tCtrl+C"), font);
    EXPECT_EQ(keyed.width(), fm.horizontalAdvance(QStringLiteral("复制[C]")) + h / 2 + 24 +
                                 fm.horizontalAdvance(QStringLiteral("Ctrl+C")) + h / 2);

    CFlatMenuStyle style;
    QStyleOptionMenuItem separator;
    separator.menuItemType = QStyleOptionMenuItem::Separator;
    separator.font = font;
    const QSize sepSize =
        style.sizeFromContents(QStyle::CT_MenuItem, &separator, QSize(10, 2), nullptr);
    EXPECT_LT(sepSize.height(), 20);  // not measured as an item
}

// A menu item with a red image drawn by the style into an image of the
// given format.
QImage drawnItem(QImage::Format format, bool enabled, bool selected, QPalette* palette) {
    CFlatMenuStyle style;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    QStyleOptionMenuItem item;
    item.menuItemType = QStyleOptionMenuItem::Normal;
    item.text = QStringLiteral("打印");
    item.icon = QIcon(red);
    item.font = QApplication::font();
    item.rect = QRect(0, 0, 120, 24);
    item.state = (enabled ? QStyle::State_Enabled : QStyle::State_None) |
                 (selected ? QStyle::State_Selected : QStyle::State_None);
    // Both colours survive a 16-bit image unchanged.
    item.palette.setColor(QPalette::Dark, QColor(0x84, 0x82, 0x84));
    item.palette.setColor(QPalette::Light, QColor(0xF0, 0xF0, 0xF0));
    *palette = item.palette;
    QImage image(120, 24, format);
    image.fill(Qt::white);
    QPainter p(&image);
    style.drawControl(QStyle::CE_MenuItem, &item, &p, nullptr);
    p.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

TEST(MenuStyle, ItemImagesAreDrawnInTheirNormalHotAndEmbossedLooks) {
    QPalette pal;
    // The image sits 2 pixels in from the left, centred on the 24-pixel line.
    const QImage normal = drawnItem(QImage::Format_RGB32, true, false, &pal);
    EXPECT_EQ(QColor(normal.pixel(2, 4)), QColor(Qt::red));
    EXPECT_EQ(QColor(normal.pixel(17, 19)), QColor(Qt::red));
    EXPECT_NE(QColor(normal.pixel(18, 12)), QColor(Qt::red));
    EXPECT_EQ(QColor(drawnItem(QImage::Format_RGB32, true, true, &pal).pixel(9, 12)),
              QColor(Qt::red));
    // Few colours: an item that is off shows its image embossed in the
    // shadow colour (flat menus: no highlight copy), never in its colours.
    const QImage off = drawnItem(QImage::Format_RGB16, false, false, &pal);
    EXPECT_EQ(QColor(off.pixel(9, 12)), pal.color(QPalette::Dark));
    EXPECT_EQ(QColor(off.pixel(18, 20)).rgb() & 0xF8FCF8, pal.color(QPalette::Base).rgb() & 0xF8FCF8)
        << "no highlight copy below right";
}

class MenuKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        style = new CFlatMenuStyle;
        window.menuBar()->setStyle(style);
        first = window.menuBar()->addMenu(QStringLiteral("文件(&F)"));
        first->addAction(QStringLiteral("新建"));
        sub = first->addMenu(QStringLiteral("邮件"));
        sub->addAction(QStringLiteral("发送"));
        nested = sub->addMenu(QStringLiteral("更多"));
        nested->addAction(QStringLiteral("收取"));
        middle = window.menuBar()->addMenu(QStringLiteral("编辑(&E)"));
        middle->addAction(QStringLiteral("复制"));
        last = window.menuBar()->addMenu(QStringLiteral("帮助(&H)"));
        last->addAction(QStringLiteral("帮助主题"));
        for (QMenu* m : {first, sub, nested, middle, last}) m->setStyle(style);
        edit = new QLineEdit;
        window.setCentralWidget(edit);
        window.resize(400, 300);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
    }
    void TearDown() override {
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        delete style;
    }

    // Opens a top menu as the keyboard does.
    void open(QMenu* menu) {
        window.menuBar()->setActiveAction(menu->menuAction());
        QApplication::processEvents();
    }
    QWidget* key(Qt::Key k) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) return nullptr;
        QTest::keyClick(popup, k);
        QApplication::processEvents();
        return QApplication::activePopupWidget();
    }

    QMainWindow window;
    CFlatMenuStyle* style = nullptr;
    QMenu* first = nullptr;
    QMenu* sub = nullptr;
    QMenu* nested = nullptr;
    QMenu* middle = nullptr;
    QMenu* last = nullptr;
    QLineEdit* edit = nullptr;
};

TEST_F(MenuKeyboard, LeftAndRightWrapRoundTheMenuBar) {
    open(first);
    ASSERT_EQ(QApplication::activePopupWidget(), first);
    EXPECT_EQ(key(Qt::Key_Left), last);    // left of the first is the last
    EXPECT_EQ(key(Qt::Key_Right), first);  // right of the last is the first
    EXPECT_EQ(key(Qt::Key_Right), middle);
}

TEST_F(MenuKeyboard, RightOpensASubmenuAndEscClosesOnlyTheInnermost) {
    // Down to the item that has a submenu, as the keyboard gets there.
    auto downTo = [this](QMenu* menu, QAction* target) {
        for (int i = 0; i < 5 && menu->activeAction() != target; ++i) key(Qt::Key_Down);
        return menu->activeAction() == target;
    };
    open(first);
    ASSERT_TRUE(downTo(first, sub->menuAction()));
    EXPECT_EQ(key(Qt::Key_Right), sub);
    ASSERT_TRUE(downTo(sub, nested->menuAction()));
    EXPECT_EQ(key(Qt::Key_Right), nested);
    EXPECT_EQ(key(Qt::Key_Escape), sub);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(nested->isVisible());
    EXPECT_EQ(key(Qt::Key_Escape), first);
}

TEST_F(MenuKeyboard, MnemonicsAreUnderlinedOnlyWhileTheKeyboardDrivesTheMenus) {
    auto paintItem = [this] {
        QStyleOptionMenuItem item;
        item.initFrom(first);
        item.menuItemType = QStyleOptionMenuItem::Normal;
        item.text = QStringLiteral("Edit(&E)");
        item.rect = QRect(0, 0, 120, 22);
        item.state = QStyle::State_Enabled;
        item.font = QApplication::font();
        QImage image(120, 22, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        style->drawControl(QStyle::CE_MenuItem, &item, &p, first);
        return image;
    };
    EXPECT_FALSE(style->KeyboardMode());
    const QImage byMouse = paintItem();

    // Alt pressed where the focus is: the keyboard takes over.
    QTest::keyPress(edit, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(edit, Qt::Key_Alt);
    EXPECT_TRUE(style->KeyboardMode());
    EXPECT_EQ(style->styleHint(QStyle::SH_UnderlineShortcut, nullptr, first, nullptr), 1);
    EXPECT_NE(paintItem(), byMouse);

    // A click ends it, and so does typing in the sheet.
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_FALSE(style->KeyboardMode());
    EXPECT_EQ(paintItem(), byMouse);
    open(first);
    key(Qt::Key_Down);
    EXPECT_TRUE(style->KeyboardMode());
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_FALSE(style->KeyboardMode());
}

}  // namespace
