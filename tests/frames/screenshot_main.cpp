// Screenshots of qorview as a user sees it: the window made through the
// program's own wiring with a small report, each top menu and both mouse
// menus opened in turn, the screen grabbed into qorview-*.png. After each
// menu closes the sheet's grid must still be on the screen. Runs on a real
// X server (xvfb-run); exits non-zero when a grid went missing.
#include <QApplication>
#include <QCursor>
#include <QTreeWidget>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMdiArea>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "document/cqorsdoc.h"
#include "frames/ccmdbar.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/desktop.h"
#include "frames/cqorfm.h"
#include "platform/codepage.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/cqorsview.h"

using namespace qor::cmd_ids;

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
    // A home, settings and temporary folder of its own, as every test has,
    // so the pictures never depend on who ran it; gone when it ends.
    qortest::enterRunFolder();
    std::atexit(qortest::leaveRunFolder);
    const QString home = qortest::processTempDir();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qorview"));
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QFileInfo(qortest::artifactPath(QStringLiteral("qorview-window.png"))).path();
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
        doc->Selection().SetCurrentCell(0, c);
        doc->SetCellText(QString::fromUtf8(labels[c]), 3);
    }
    const char* rows[] = {"营业收入", "营业成本", "利润总额"};
    for (int r = 0; r < 3; ++r) {
        doc->Selection().SetCurrentCell(r + 1, 0);
        doc->SetCellText(QString::fromUtf8(rows[r]), 3);
    }
    doc->Selection().SetCurrentCell(1, 1);
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

    // A user menu of the code-page form: a popup of two items and one item
    // of its own, shown open.
    auto field = [](const QString& text, int bytes) {
        QByteArray b = qor::encodeCp936(text).left(bytes);
        return b + QByteArray(bytes - b.size(), '\0');
    };
    auto record = [&](const QString& name, const QString& command, int children) {
        return field(name, 20) + field(QStringLiteral("0"), 2) + field(command, 512) +
               field(name + QStringLiteral("的提示"), 100) + field(QString::number(children), 3);
    };
    const QString menuFile = home + QStringLiteral("/home/screens.mnu");
    {
        QFile f(menuFile);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(field(QStringLiteral("MENU2"), 20) + record(QStringLiteral("月报"), QString(), 2) +
                    record(QStringLiteral("填收入"), QStringLiteral("LET B2=100"), 0) +
                    record(QStringLiteral("填成本"), QStringLiteral("LET B3=60"), 0) +
                    record(QStringLiteral("结账"), QStringLiteral("LET B4=40"), 0) +
                    field(QStringLiteral("END"), 20));
        }
    }
    QString error;
    if (frame->LoadMenuFile(menuFile, &error) && !frame->menuBar()->actions().isEmpty()) {
        QAction* first = frame->menuBar()->actions().first();
        frame->menuBar()->setActiveAction(first);
        settle(400);
        shot(QStringLiteral("usermenu"));
        if (first->menu()) first->menu()->hide();
        frame->menuBar()->setActiveAction(nullptr);
        frame->ReturnToStandardMenu();
    } else {
        std::fprintf(stderr, "the user menu did not load: %s\n", qPrintable(error));
        ++failures;
    }

    // The file manager beside the report, with the context menu of a folder.
    if (frame->Router().Execute(kCmdFileManager)) {
        settle(400);
        auto* fm = qobject_cast<qor::frames::CQORFM*>(frame->FileManagerBar()->widget());
        if (fm && fm->DataItem()) {
            QTreeWidget* tree = fm->Tree();
            const QRect r = tree->visualItemRect(fm->DataItem());
            QCursor::setPos(tree->viewport()->mapToGlobal(r.center()));
            tree->setCurrentItem(fm->DataItem());
            fm->RequestMenu(fm->DataItem());
            settle(400);
            shot(QStringLiteral("filemanager"));
            if (QMenu* m = frame->FileManagerMenu()) m->hide();
        }
    } else {
        std::fprintf(stderr, "the file manager did not open\n");
        ++failures;
    }
    doc->SetModifiedFlag(false);
    frame.reset();
    return failures == 0 ? 0 : 1;
}
