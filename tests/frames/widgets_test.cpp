// The small pieces of the window: colours and images, the docking bars,
// the file-manager bar's control, the start-up pause and the link label.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionToolButton>
#include <QTest>

#include "frame_fixture.h"
#include "frames/ccmdbar.h"
#include "frames/cfilemanagerbar.h"
#include "frames/chyperlink.h"
#include "frames/csplashtimerwnd.h"
#include "frames/drawutil.h"
#include "frames/toolbars.h"
#include "frames/toolbarxp.h"
#include "reader/cappenvironment.h"
#include "reader/dispatchdrivers.h"
#include "resources/commandids.h"
#include "resources/stringids.h"
#include "tests/common/testsupport.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

// ---- colours and images

TEST(DrawUtil, HlsConversionsOfGreyRedAndAdjustedColours) {
    const uint32_t grey = 0x808080;
    const uint32_t hls = RgbToHls(grey);
    EXPECT_EQ(hls & 0xFF, 0u);           // hue
    EXPECT_EQ((hls >> 16) & 0xFF, 0u);   // saturation
    EXPECT_EQ(HlsToRgb(hls), grey);
    const uint32_t red = RgbToHls(0x0000FF);
    EXPECT_EQ(red & 0xFF, 0u);
    EXPECT_EQ((red >> 8) & 0xFF, 127u);
    EXPECT_EQ((red >> 16) & 0xFF, 255u);
    EXPECT_EQ(RgbToHls(0x00FF00) & 0xFF, 85u);   // green: 120 degrees
    EXPECT_EQ(RgbToHls(0xFF0000) & 0xFF, 170u);  // blue: 240 degrees
    // No saturation left: a grey of the same lightness.
    const uint32_t c = 0x3060C0;
    const uint32_t g = AdjustColorHls(c, 0, -100);
    EXPECT_EQ(g & 0xFF, (g >> 8) & 0xFF);
    EXPECT_EQ(g & 0xFF, (g >> 16) & 0xFF);
    EXPECT_EQ(g & 0xFF, (RgbToHls(c) >> 8) & 0xFF);
    // Lighter is lighter.
    const uint32_t face = 0xC0C0C0;
    EXPECT_GT((RgbToHls(AdjustColorHls(face, 20, 0)) >> 8) & 0xFF, (RgbToHls(face) >> 8) & 0xFF);
}

TEST(DrawUtil, DisabledImagesAreEmbossedBelow24Bits) {
    QPixmap img(8, 8);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.fillRect(2, 2, 3, 3, Qt::black);
    }
    ImageSet set;
    set.normal = {img};
    QPixmap dis(8, 8);
    dis.fill(Qt::green);
    set.disabled = {dis};
    set.palette.setColor(QPalette::Light, Qt::white);
    set.palette.setColor(QPalette::Dark, QColor(128, 128, 128));
    auto draw = [&](int depth) {
        set.depth = depth;
        QImage out(12, 12, QImage::Format_RGB32);
        out.fill(Qt::red);
        QPainter p(&out);
        EXPECT_TRUE(DrawImageListItem(p, set, 0, 0, kLookDisabled, 0));
        return out;
    };
    const QImage deep = draw(32);
    EXPECT_EQ(deep.pixelColor(0, 0), QColor(Qt::green));  // the disabled list itself
    const QImage shallow = draw(16);
    EXPECT_EQ(shallow.pixelColor(2, 2), QColor(128, 128, 128));  // shadow where the ink is
    EXPECT_EQ(shallow.pixelColor(5, 5), QColor(Qt::white));      // highlight one down and right
    EXPECT_EQ(shallow.pixelColor(0, 0), QColor(Qt::red));        // the rest left alone
    QImage out(4, 4, QImage::Format_RGB32);
    QPainter p(&out);
    EXPECT_FALSE(DrawImageListItem(p, set, 0, 0, 3, 0));
    EXPECT_FALSE(DrawImageListItem(p, set, 0, 0, kLookNormal, 4));
}

// ---- docking bars

using Bars = frametest::FrameFixture;

TEST_F(Bars, TheCommandWindowHasItsButtonsDockedAndNoneFloating) {
    CCmdBar* bar = frame->CmdBar();
    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    QApplication::processEvents();
    EXPECT_TRUE(bar->IsHorzDocked());
    EXPECT_TRUE(bar->CloseButton()->isVisible());
    EXPECT_EQ(bar->CloseButton()->toolTip(), u"关闭");
    EXPECT_EQ(bar->DockButton()->toolTip(), u"还原");
    EXPECT_EQ(bar->CloseButton()->size(), QSize(12, 12));
    EXPECT_GE(bar->minimumWidth(), 32);
    EXPECT_GE(bar->minimumHeight(), 32);
    bar->setFloating(true);
    QApplication::processEvents();
    EXPECT_FALSE(bar->CloseButton()->isVisible());
    EXPECT_FALSE(bar->DockButton()->isVisible());
    bar->DockButton()->click();  // hidden, but the command still docks it
    bar->setFloating(false);
    QApplication::processEvents();
    EXPECT_TRUE(bar->DockButton()->isVisible());
    bar->CloseButton()->click();
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(Bars, DraggingTheEdgeOfABottomBarGrowsItAndNeverBelow32) {
    CCmdBar* bar = frame->CmdBar();
    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    QApplication::processEvents();
    const int before = bar->height();
    EXPECT_EQ(bar->TrackSizingEdge(50), before + 50);
    QApplication::processEvents();
    EXPECT_EQ(bar->height(), before + 50);
    EXPECT_EQ(bar->TrackSizingEdge(-1000), 32);
}

// A file-manager control that records what it is asked.
class FakeControl : public IFileManagerControl {
public:
    explicit FakeControl(QStringList* calls) : m_calls(calls) {}
    QWidget* Widget() override { return &m_widget; }
    void Start() override { *m_calls << "start"; }
    void SetLogin(QObject*) override { *m_calls << "login"; }
    bool Refresh() override {
        *m_calls << "refresh";
        return true;
    }
    void SetMainWindow(QWidget*) override { *m_calls << "window"; }
    void AddPage(int16_t, const QString&, int16_t) override { *m_calls << "page"; }
    void AddFavourite(const QString&, const QString&) override { *m_calls << "favourite"; }
    void FrameActivated() override { *m_calls << "activated"; }
    void PassCommand(int16_t, const QString&) override { *m_calls << "command"; }

private:
    QStringList* m_calls;
    QWidget m_widget;
};

TEST(FileManagerBar, CallsWaitForTheControlToBeReadyAndStartInOrder) {
    QStringList calls;
    QMainWindow main;
    auto* bar = new CFileManagerBar(std::make_unique<FakeControl>(&calls), &main);
    EXPECT_EQ(bar->windowTitle(), u"文件管理器");
    EXPECT_EQ(bar->BarId(), 103);
    bar->AddFavourite("a", "/a.rep");
    bar->AddPage(1, "x", 2);
    bar->OnFrameActivated();
    bar->PassCommand(1, QString());
    EXPECT_FALSE(bar->Refresh());
    EXPECT_TRUE(calls.isEmpty());
    // Sized before it is ready: it hides itself.
    main.addDockWidget(Qt::LeftDockWidgetArea, bar);
    main.show();
    bar->show();
    bar->resize(150, 150);
    QApplication::processEvents();
    EXPECT_FALSE(bar->isVisible());

    bar->InitControl(nullptr, &main);
    EXPECT_EQ(calls, (QStringList{"start", "login", "refresh", "window"}));
    calls.clear();
    bar->OnFrameActivated();
    bar->AddFavourite("a", "/a.rep");
    EXPECT_EQ(calls, (QStringList{"activated", "favourite"}));
}

TEST_F(Bars, TheFileManagerStaysOffUntilAControlIsRegistered) {
    // The desktop registers the built-in control; without any it is off.
    ASSERT_TRUE(CFileManagerBar::HasControlFactory());
    CFileManagerBar::SetControlFactory(nullptr);
    EXPECT_FALSE(frame->Router().Query(kCmdFileManager).enabled);
    EXPECT_FALSE(frame->Router().Query(kCmdFileManager).reason.isEmpty());
    QStringList calls;
    CFileManagerBar::SetControlFactory([&calls] { return std::make_unique<FakeControl>(&calls); });
    EXPECT_TRUE(frame->Router().Execute(kCmdFileManager));
    ASSERT_NE(frame->FileManagerBar(), nullptr);
    EXPECT_TRUE(frame->FileManagerBar()->IsReady());
    EXPECT_EQ(calls.mid(0, 4), (QStringList{"start", "login", "refresh", "window"}));
    CFileManagerBar::SetControlFactory(nullptr);
}

// ---- the start-up pause

class FakeLogin : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE int logEnd() { return ++calls; }
    int calls = 0;
};

TEST(StartUpPause, MaximisesAndTellsTheLoginOnlyWhenThereIsOne) {
    // The tip of the day is offered through the hook a desktop installs for
    // the process; one started earlier in this process would show its modal
    // tip here with nobody to close it. This test answers it itself.
    CAppEnvironment& env = CAppEnvironment::Instance();
    ASSERT_TRUE(env.WriteProfileInt(QStringLiteral("Tip"), QStringLiteral("StartUp"), 0));
    int tips = 0;
    env.SetTipDialog([&tips] { ++tips; });
    QWidget main;
    auto* none = new CSplashTimerWnd(&main, nullptr, 1);
    QSignalSpy doneWithout(none, &CSplashTimerWnd::finished);
    ASSERT_TRUE(doneWithout.wait(2000));
    EXPECT_TRUE(main.isMaximized());

    FakeLogin host;
    CLoginDriver login;
    login.AttachDispatch(&host);
    auto* with = new CSplashTimerWnd(&main, &login, 1);
    QSignalSpy done(with, &CSplashTimerWnd::finished);
    ASSERT_TRUE(done.wait(2000));
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(tips, 2);
    env.SetTipDialog(nullptr);
    EXPECT_EQ(LoadStringText(qor::str::kCommandWindow), u"命令窗");
    constexpr int kNoSuchId = 1;
    EXPECT_TRUE(LoadStringText(kNoSuchId).isEmpty());
}

// ---- the link label

TEST(HyperLink, OpensItsTargetOrItsTextAndNeverAnEmptyOne) {
    QStringList opened;
    auto previous = CHyperLink::s_open;
    CHyperLink::s_open = [&opened](const QUrl& url) {
        opened << url.toString();
        return true;
    };
    QWidget parent;
    CHyperLink link(QStringLiteral("说明.txt"), &parent);
    EXPECT_TRUE(link.font().underline());
    EXPECT_TRUE(link.Open());  // no target: the text shown
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.last().endsWith(u"说明.txt"));
    link.SetURL(QStringLiteral("https://example.org/a b"));
    EXPECT_TRUE(link.Open());
    EXPECT_TRUE(opened.last().startsWith(u"https://example.org/"));

    CHyperLink empty(QString(), &parent);
    EXPECT_FALSE(empty.Open());
    EXPECT_EQ(opened.size(), 2);

    // A right-aligned label keeps its right edge when it fits its text.
    CHyperLink right(QStringLiteral("x"), &parent);
    right.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    right.setGeometry(10, 10, 200, 20);
    right.SetURL(QStringLiteral("一段更长一些的链接文字"));
    EXPECT_EQ(right.geometry().right(), 209);
    // Hovering shows the hover colour.
    const QColor link0 = right.palette().color(QPalette::WindowText);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&right, &enter);
    EXPECT_NE(right.palette().color(QPalette::WindowText), link0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&right, &leave);
    EXPECT_EQ(right.palette().color(QPalette::WindowText), link0);
    CHyperLink::s_open = previous;
}

}  // namespace

// ---- the flat tool-bar look

namespace {

using qor::frames::CToolBarXPStyle;

QImage paintButton(QStyle::State state) {
    QPixmap black(16, 16);
    black.fill(Qt::black);
    QStyleOptionToolButton opt;
    opt.rect = QRect(0, 0, 24, 24);
    opt.state = state | QStyle::State_AutoRaise;
    opt.icon = QIcon(black);
    opt.iconSize = QSize(16, 16);
    opt.subControls = QStyle::SC_ToolButton;
    opt.palette = QApplication::palette();
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    CToolBarXPStyle::Instance()->drawComplexControl(QStyle::CC_ToolButton, &opt, &p, nullptr);
    return image;
}

// The rows (or columns) of an image, within its first `span` lines, that are
// mostly the colour.
int linesOfColour(const QImage& image, QRgb colour, bool rows, int span) {
    int found = 0;
    const int across = rows ? image.width() : image.height();
    for (int i = 0; i < span; ++i) {
        int n = 0;
        for (int j = 0; j < across; ++j)
            if ((rows ? image.pixel(j, i) : image.pixel(i, j)) == colour) ++n;
        if (n * 2 > across) ++found;
    }
    return found;
}

}  // namespace

TEST(ToolBarXP, HotIconIsRaisedOverAShadowAndDisabledShowsOnlyTheShadow) {
    const QPalette pal = QApplication::palette();
    const QRect button(0, 0, 24, 24);
    const QSize icon(16, 16);
    const QPoint raised = CToolBarXPStyle::IconPlace(button, icon, 2);
    const QPoint resting = CToolBarXPStyle::IconPlace(button, icon, 3);
    const QPoint shadow = CToolBarXPStyle::IconPlace(button, icon, 4);
    const QRgb blackRgb = QColor(Qt::black).rgb();

    const QImage normal = paintButton(QStyle::State_Enabled);
    EXPECT_EQ(normal.pixel(resting), blackRgb);
    EXPECT_NE(normal.pixel(raised), blackRgb);
    EXPECT_EQ(normal.pixel(1, 1), CToolBarXPStyle::BarColor(pal).rgb());

    const QImage hot = paintButton(QStyle::State_Enabled | QStyle::State_MouseOver);
    EXPECT_EQ(hot.pixel(raised), blackRgb);
    // The shadow shows past the icon's lower right corner.
    EXPECT_EQ(hot.pixel(shadow + QPoint(15, 15)), CToolBarXPStyle::ShadowColor(pal, true, true).rgb());
    EXPECT_EQ(hot.pixel(0, 0), pal.color(QPalette::Highlight).rgb());
    EXPECT_EQ(hot.pixel(1, 1), CToolBarXPStyle::ButtonFill(pal, true, false, false).rgb());

    // Pressed: back in place, no shadow, the deeper fill.
    const QImage pressed =
        paintButton(QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_Sunken);
    EXPECT_EQ(pressed.pixel(resting), blackRgb);
    EXPECT_NE(pressed.pixel(raised), blackRgb);
    EXPECT_EQ(pressed.pixel(1, 1), CToolBarXPStyle::ButtonFill(pal, true, false, true).rgb());
    EXPECT_NE(CToolBarXPStyle::ButtonFill(pal, true, false, true), CToolBarXPStyle::ButtonFill(pal, true, false, false));

    // Checked only: the palest fill. Disabled: the grey shadow, no icon.
    const QImage checked = paintButton(QStyle::State_Enabled | QStyle::State_On);
    EXPECT_EQ(checked.pixel(1, 1), CToolBarXPStyle::ButtonFill(pal, false, true, false).rgb());
    const QImage disabled = paintButton(QStyle::State_None);
    EXPECT_EQ(disabled.pixel(resting), CToolBarXPStyle::ShadowColor(pal, false, false).rgb());
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) ASSERT_NE(disabled.pixel(x, y), blackRgb) << x << "," << y;
}

TEST(ToolBarXP, TheGripperRunsAcrossTheStartOfTheBar) {
    QMainWindow main;
    main.resize(500, 400);
    auto* across = new qor::frames::CFlatToolBar(kCmdBarStandard, QStringLiteral("across"), &main);
    auto* upright = new qor::frames::CFlatToolBar(kCmdBarChart, QStringLiteral("upright"), &main);
    QPixmap icon(16, 16);
    icon.fill(Qt::darkBlue);
    for (auto* bar : {across, upright}) {
        for (int i = 0; i < 4; ++i) bar->addAction(QIcon(icon), QStringLiteral("a%1").arg(i));
        bar->insertSeparator(bar->actions().at(2));
    }
    main.addToolBar(Qt::TopToolBarArea, across);
    main.addToolBar(Qt::LeftToolBarArea, upright);
    main.show();
    QApplication::processEvents();
    const QImage top = across->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage left = upright->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QDir artifacts(qortest::artifactPath());
    if (artifacts.exists() || QDir().mkpath(artifacts.path())) {
        top.save(artifacts.filePath(QStringLiteral("toolbar-horizontal.png")));
        left.save(artifacts.filePath(QStringLiteral("toolbar-vertical.png")));
    }
    const QRgb light = main.palette().color(QPalette::Light).rgb();
    // Two raised bars: upright at the left of a horizontal bar, lying
    // across the top of a vertical one, and not the other way round.
    EXPECT_EQ(linesOfColour(top, light, false, 12), 2);
    EXPECT_EQ(linesOfColour(left, light, true, 12), 2);
    EXPECT_EQ(linesOfColour(left, light, false, 12), 0);
}

#include "widgets_test.moc"
