#pragma once
// A main window built as the program builds it (without real dialogs),
// with every message box, prompt and file choice answered from lists and
// recorded.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "document/cqorsdoc.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/commandrouter.h"
#include "frames/desktop.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"
#include "view/cqorsview.h"

namespace frametest {

// The item of a command as the user picks it from a window's menu bar (null
// when no menu there holds it).
inline QAction* menuBarItem(QMenuBar* bar, int id) {
    const std::function<QAction*(const QList<QAction*>&)> find =
        [&find, id](const QList<QAction*>& actions) -> QAction* {
        for (QAction* a : actions) {
            if (a->menu()) {
                if (QAction* hit = find(a->menu()->actions())) return hit;
            } else if (qor::frames::CommandRouter::CommandId(a) == id) {
                return a;
            }
        }
        return nullptr;
    };
    return find(bar->actions());
}

// The commands a window shows: its menu bar's items (each menu filled as
// it opens), the items of the given menus and the buttons of its shown
// bars.
inline QList<QAction*> shownCommands(QMainWindow* window, const QList<QMenu*>& menus = {}) {
    QList<QAction*> shown;
    const std::function<void(const QList<QAction*>&)> items = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (a->menu()) {
                emit a->menu()->aboutToShow();
                items(a->menu()->actions());
            } else if (qor::frames::CommandRouter::CommandId(a)) {
                shown << a;
            }
        }
    };
    items(window->menuBar()->actions());
    for (QMenu* m : menus)
        if (m) items(m->actions());
    for (QToolBar* bar : window->findChildren<QToolBar*>())
        if (bar->isVisible()) items(bar->actions());
    return shown;
}

// The greyed ones among them that do not say why: the status line claims
// the command is missing, is empty or says only what the command does.
inline QStringList greyedWithoutReason(const QList<QAction*>& shown) {
    QStringList faults;
    for (QAction* a : shown) {
        if (a->isEnabled()) continue;
        const int id = qor::frames::CommandRouter::CommandId(a);
        const QString prompt = qor::res::commandPrompt(id).value_or(QString()).section(u'\n', 0, 0);
        const QString tip = a->statusTip();
        if (tip.isEmpty() || tip == qor::frames::CommandRouter::NotProvidedText() || tip == prompt ||
            a->toolTip() == qor::frames::CommandRouter::NotProvidedText())
            faults << QStringLiteral("%1 %2: %3").arg(id).arg(a->text().section(u'\t', 0, 0), tip);
    }
    faults.removeDuplicates();
    return faults;
}

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            if (!answers.isEmpty()) return answers.takeFirst();
            return r.defaultAnswer;
        };
        s.chooseFile = [this](const qor::FilePrompt& p) -> std::optional<QString> {
            fileFilters << p.filter;
            if (files.isEmpty()) return std::nullopt;
            return files.takeFirst();
        };
        // Nothing is printed: the print dialog is cancelled.
        s.printDialog = [this](const qor::PrintRequest&) -> std::optional<qor::PrintRequest> {
            ++printDialogs;
            return std::nullopt;
        };
        m_previous = qor::installUiServices(s);
        // A dialog that opens is answered with its defaults (OK) and
        // recorded by its class.
        m_answerer.setInterval(5);
        QObject::connect(&m_answerer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            auto* d = qobject_cast<QDialog*>(w);
            if (!d || !answerDialogs) return;
            dialogs << QString::fromLatin1(d->metaObject()->className());
            if (acceptDialogs)
                d->accept();
            else
                d->reject();
        });
        m_answerer.start();
        qor::frames::DesktopOptions options;
        options.widgetDialogs = false;
        options.chineseQt = false;
        frame = qor::frames::SetUpDesktop(options);
        m_previousOpen = qor::frames::CMainFrame::s_openUrl;
        qor::frames::CMainFrame::s_openUrl = [this](const QUrl& url) {
            opened << (url.isLocalFile() ? url.toLocalFile() : url.toString());
            return true;
        };
        frame->resize(900, 600);
        frame->show();
        frame->activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override {
        m_answerer.stop();
        frame.reset();
        qor::frames::CMainFrame::s_openUrl = m_previousOpen;
        qor::installUiServices(m_previous);
    }

    bool said(const QString& part) const {
        for (const QString& m : messages)
            if (m.contains(part)) return true;
        return false;
    }

    // Walks the open popup with the arrow key: each item pointed at, greyed
    // or not, puts its own status text on the status line. Returns the
    // number of items walked that are not sub-menus.
    int walkPopupStatus(QMenu* menu) {
        int walked = 0;
        QSet<QAction*> visited;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(menu, Qt::Key_Down);
            QApplication::processEvents();
            QAction* a = menu->activeAction();
            if (!a || visited.contains(a)) break;
            visited.insert(a);
            if (a->menu()) continue;
            ++walked;
            EXPECT_FALSE(a->statusTip().isEmpty()) << a->text().toStdString();
            EXPECT_EQ(frame->statusBar()->currentMessage(), a->statusTip())
                << a->text().toStdString() << (a->isEnabled() ? " on" : " off");
        }
        return walked;
    }

    qor::frames::CChildFrame* newReport() {
        qor::frames::CChildFrame* child = frame->NewDocument();
        QApplication::processEvents();
        return child;
    }

    std::unique_ptr<qor::frames::CMainFrame> frame;
    QStringList messages;
    QList<qor::MsgAnswer> answers;  // in order; none left = the default
    QStringList files;              // file choices in order; none = cancel
    QStringList fileFilters;
    QStringList opened;             // documents help opened
    QStringList dialogs;            // dialogs that opened, by class
    int printDialogs = 0;
    bool answerDialogs = true;
    bool acceptDialogs = true;

private:
    QTimer m_answerer;
    qor::UiServices m_previous;
    std::function<bool(const QUrl&)> m_previousOpen;
};

}  // namespace frametest
