// Screenshots of qorview as a user sees it: the window made through the
// program's own wiring with a small report, each top menu and both mouse
// menus opened in turn, the screen grabbed into qorview-*.png. After each
// menu closes the sheet's grid must still be on the screen. Runs on a real
// X server (xvfb-run); exits non-zero when a grid went missing.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMdiArea>
#include <QScreen>
#include <QThread>
#include <cstdio>

#include "document/cqorsdoc.h"
#include "frames/ccmdbar.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/desktop.h"
#include "view/cqorsview.h"

namespace {

void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

QImage grabScreen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

// Pixels of the grid's grey inside the view's area of a screen image.
int gridPixels(const QImage& screen, const QWidget* view) {
    const QRect r(view->mapToGlobal(QPoint(0, 0)), view->size());
    int n = 0;
    for (int y = r.top(); y <= r.bottom() && y < screen.height(); y += 2)
        for (int x = r.left(); x <= r.right() && x < screen.width(); ++x)
            if ((screen.pixel(x, y) & 0xFFFFFF) == 0xC0C0C0) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    // Settings of its own, so the pictures never depend on who ran it.
    const QString home = QDir::tempPath() + QStringLiteral("/qorview-screens-%1").arg(QCoreApplication::applicationPid());
    QDir(home).removeRecursively();
    QDir().mkpath(home + QStringLiteral("/home"));
    qputenv("QOR_HOME", QFile::encodeName(home + QStringLiteral("/home")));
    qputenv("QOR_REGISTRY", QFile::encodeName(home + QStringLiteral("/registry.ini")));
    // The frame keeps its settings in the user's configuration folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qorview"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("artifacts");
    QDir().mkpath(out);

    qor::frames::DesktopOptions options;
    options.widgetDialogs = false;
    std::unique_ptr<qor::frames::CMainFrame> frame = qor::frames::SetUpDesktop(options);
    frame->resize(1100, 720);
    frame->move(0, 0);
    frame->show();
    qor::frames::CChildFrame* child = frame->NewDocument();
    CQorsDoc* doc = child->GetDocument();
    const char* labels[] = {"项目", "本月数", "本年累计"};
    for (int c = 0; c < 3; ++c) {
        doc->SetCurrentCell(0, c);
        doc->SetCellText(QString::fromUtf8(labels[c]), 3);
    }
    const char* rows[] = {"营业收入", "营业成本", "利润总额"};
    for (int r = 0; r < 3; ++r) {
        doc->SetCurrentCell(r + 1, 0);
        doc->SetCellText(QString::fromUtf8(rows[r]), 3);
    }
    doc->SetCurrentCell(1, 1);
    doc->SetModifiedFlag(false);
    doc->UpdateAllViews();
    frame->activateWindow();
    settle(600);

    CQorsView* view = child->GetActiveView();
    int failures = 0;
    auto shot = [&](const QString& name) {
        const QImage img = grabScreen();
        img.save(out + QStringLiteral("/qorview-") + name + QStringLiteral(".png"));
        return img;
    };
    const int before = gridPixels(shot(QStringLiteral("window")), view);
    std::printf("grid pixels at start: %d\n", before);
    if (before < 200) {
        std::fprintf(stderr, "the grid is not drawn at start\n");
        ++failures;
    }
    auto checkGrid = [&](const QString& after) {
        settle(400);
        const int now = gridPixels(grabScreen(), view);
        std::printf("grid pixels after %s: %d\n", qPrintable(after), now);
        if (now < before * 3 / 4) {
            std::fprintf(stderr, "the grid is missing after %s\n", qPrintable(after));
            shot(QStringLiteral("blank-after-") + after);
            ++failures;
        }
    };

    const QList<QMenu*> menus = frame->TopMenus(frame->CurrentMenuId());
    for (int i = 0; i < menus.size(); ++i) {
        QMenu* menu = menus[i];
        frame->menuBar()->setActiveAction(menu->menuAction());
        settle(400);
        shot(QStringLiteral("menu-%1").arg(i + 1));
        menu->hide();
        frame->menuBar()->setActiveAction(nullptr);
        checkGrid(QStringLiteral("menu-%1").arg(i + 1));
    }
    for (int id : {qor::frames::kMenuCells, qor::frames::kMenuItem}) {
        QMenu* menu = frame->ShowContextMenu(id, view->mapToGlobal(QPoint(200, 120)));
        settle(400);
        shot(QStringLiteral("context-%1").arg(id));
        menu->hide();
        checkGrid(QStringLiteral("context-%1").arg(id));
    }
    doc->SetModifiedFlag(false);
    frame.reset();
    return failures == 0 ? 0 : 1;
}
