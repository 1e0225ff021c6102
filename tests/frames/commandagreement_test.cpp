// One enable rule per command: in every state the main window knows, a
// command's menu item, its tool bar button and its key are on or off
// together, and a key never acts where its item is greyed. Checked over
// the built main window: the menu bar it shows, the bars it shows and the
// keys that are live in it, including those of a report edited in place.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMdiArea>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <functional>

#include <QDir>

#include "charts/coleitem.h"
#include "chartui/cpicframe.h"
#include "engine/messages.h"
#include "engine/workfiles.h"
#include "frames/coleinplaceframe.h"
#include "frames/commandrouter.h"
#include "frames/inplacesession.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"
#include "tests/frames/inplace_support.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

// Whether a widget an action sits on makes the action's key live in the
// main window: shown in it, or a menu reached from its menu bar.
bool liveOn(QObject* object, QWidget* window, int depth = 0) {
    if (depth > 8) return false;
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        const QObjectList holders = menu->menuAction()->associatedObjects();
        return std::any_of(holders.begin(), holders.end(),
                           [&](QObject* o) { return liveOn(o, window, depth + 1); });
    }
    auto* w = qobject_cast<QWidget*>(object);
    return w && w->isVisible() && w->window() == window;
}

bool liveKey(QAction* a, QWidget* window) {
    if (a->shortcut().isEmpty()) return false;
    const QObjectList holders = a->associatedObjects();
    for (QObject* o : holders) {
        if (a->shortcutContext() == Qt::WidgetWithChildrenShortcut) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && w->isVisible() && w->isAncestorOf(QApplication::focusWidget())) return true;
            continue;
        }
        if (liveOn(o, window)) return true;
    }
    return false;
}

void menuItems(const QList<QAction*>& actions, QList<QAction*>* out) {
    for (QAction* a : actions) {
        if (a->menu())
            menuItems(a->menu()->actions(), out);
        else if (CommandRouter::CommandId(a))
            out->append(a);
    }
}

QString name(QAction* a) {
    return QStringLiteral("%1 %2").arg(CommandRouter::CommandId(a)).arg(a->text().section(u'\t', 0, 0));
}

// Where an action is shown: its menus' titles or its bars' names.
QString place(QAction* a) {
    QStringList where;
    for (QObject* o : a->associatedObjects())
        if (auto* w = qobject_cast<QWidget*>(o))
            where << QStringLiteral("%1 %2").arg(QString::fromLatin1(w->metaObject()->className()),
                                                 w->windowTitle().isEmpty() ? w->objectName()
                                                                            : w->windowTitle());
    return where.join(QStringLiteral(", "));
}

// What disagrees in the window as it is now.
QStringList disagreements(QMainWindow* window) {
    // What the user sees: the menu bar's items and the shown bars' buttons.
    QList<QAction*> shown;
    menuItems(window->menuBar()->actions(), &shown);
    for (QToolBar* bar : window->findChildren<QToolBar*>())
        if (bar->isVisible())
            for (QAction* a : bar->actions())
                if (CommandRouter::CommandId(a)) shown << a;
    QStringList faults;
    QHash<int, QAction*> first;
    for (QAction* a : shown) {
        const int id = CommandRouter::CommandId(a);
        QAction* seen = first.value(id);
        if (!seen) {
            first.insert(id, a);
        } else if (seen->isEnabled() != a->isEnabled()) {
            faults << QStringLiteral("%1: on in one place, off in another (%2, %3)")
                          .arg(name(a), place(seen), place(a));
        }
    }
    // Every key live in the window: the actions that would take it.
    QList<QAction*> all = window->findChildren<QAction*>();
    QHash<QString, QList<QAction*>> byKey;
    for (QAction* a : all)
        if (CommandRouter::CommandId(a) && liveKey(a, window))
            byKey[a->shortcut().toString()].append(a);
    for (auto it = byKey.begin(); it != byKey.end(); ++it) {
        QList<QAction*> acting;
        for (QAction* a : it.value())
            if (a->isEnabled()) acting << a;
        if (acting.size() > 1) {
            faults << QStringLiteral("%1 is taken by %2 commands at once").arg(it.key()).arg(acting.size());
            continue;
        }
        // The key acts exactly where the command it shows beside is on.
        for (QAction* a : it.value()) {
            QAction* item = first.value(CommandRouter::CommandId(a));
            if (!item) continue;
            const bool acts = !acting.isEmpty() && CommandRouter::CommandId(acting.first()) ==
                                                        CommandRouter::CommandId(a);
            if (acts != item->isEnabled())
                faults << QStringLiteral("%1: %2 %3 while the item is %4")
                              .arg(name(item), it.key(), acts ? "acts" : "does nothing",
                                   item->isEnabled() ? "on" : "off");
        }
    }
    faults.removeDuplicates();
    return faults;
}

class CommandAgreement : public frametest::FrameFixture {
protected:
    // A real double click in the middle of the object edits it in place.
    COleInPlaceFrame* editInPlace(CChildFrame* child) {
        COleItem* o = frametest::FirstObject(*child->GetDocument());
        if (!o) return nullptr;
        frametest::DoubleClickItem(child->GetActiveView(), o);
        CInPlaceSession* session = CInPlaceSession::Current();
        return session ? session->Frame() : nullptr;
    }

    QString makeContainer() {
        return frametest::MakeContainerReport(qortest::freshDir(QStringLiteral("CommandAgreement")));
    }

    // Both windows' update passes, as their idle timers run them.
    void settle() {
        QApplication::processEvents();
        frame->UpdateFrameState();
        if (COleInPlaceFrame* f = COleInPlaceFrame::Current()) f->UpdateFrameState();
        QApplication::processEvents();
    }
};

TEST_F(CommandAgreement, MenuItemBarButtonAndKeyAgreeInEveryState) {
    struct State {
        const char* name;
        std::function<void()> enter;
    };
    CChildFrame* child = nullptr;
    const std::vector<State> states = {
        {"no report", [] {}},
        {"format state",
         [&] {
             child = frame->OpenDocumentFile(makeContainer());
             ASSERT_NE(child, nullptr);
         }},
        {"embedded report edited in place", [&] { ASSERT_NE(editInPlace(child), nullptr); }},
        {"chart edited in place",
         [&] {
             COleInPlaceFrame* f = COleInPlaceFrame::Current();
             ASSERT_NE(f, nullptr);
             // Charts are made in data state.
             ASSERT_TRUE(f->Router().Execute(kCmdSwitchState));
             const auto chart = f->GetDocument()->Items().CreateComItem(0);
             ASSERT_NE(chart, nullptr);
             ASSERT_TRUE(f->GetActiveView()->Items().BeginChartEdit(chart.get()));
         }},
        {"data state",
         [&] {
             CInPlaceSession::Current()->Deactivate();
             QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
             ASSERT_TRUE(child->EnterDataState());
         }},
        {"chart edited on the sheet",
         [&] {
             const auto chart = child->GetDocument()->Items().CreateComItem(0);
             ASSERT_NE(chart, nullptr);
             ASSERT_TRUE(child->GetActiveView()->Items().BeginChartEdit(chart.get()));
         }},
        {"chart frame in front",
         [&] {
             child->GetActiveView()->Items().EndChartEdit();
             ASSERT_TRUE(frame->Router().Execute(kCmdChartWindow));
             QApplication::processEvents();
             ASSERT_TRUE(frame->ActiveChartFrame());
         }},
    };
    for (const State& s : states) {
        s.enter();
        if (HasFatalFailure()) return;
        settle();
        const QStringList faults = disagreements(frame.get());
        EXPECT_TRUE(faults.isEmpty()) << s.name << ":\n" << faults.join(u'\n').toStdString();
    }
}

TEST_F(CommandAgreement, CtrlPWhileAnEmbeddedReportIsEditedInPlacePrintsNothing) {
    CChildFrame* child = frame->OpenDocumentFile(makeContainer());
    ASSERT_NE(child, nullptr);
    COleInPlaceFrame* inPlace = editInPlace(child);
    ASSERT_NE(inPlace, nullptr);
    settle();
    // The print and preview buttons the window shows are greyed, with why.
    for (int id : {kCmdPrint, kCmdPrintPreview}) {
        for (QToolBar* bar : frame->findChildren<QToolBar*>()) {
            if (!bar->isVisible()) continue;
            for (QAction* a : bar->actions())
                if (CommandRouter::CommandId(a) == id) {
                    EXPECT_FALSE(a->isEnabled()) << id;
                    EXPECT_TRUE(a->toolTip().contains(LoadErrorText(qor::str::kPrintWhileInPlace)))
                        << a->toolTip().toStdString();
                }
        }
    }
    const int before = printDialogs;
    QWidget* sheet = inPlace->GetActiveView();
    sheet->setFocus();
    QTest::keyClick(sheet, Qt::Key_P, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(printDialogs, before);
    // The window's own print row, reached anyway, tells why and prints nothing.
    messages.clear();
    EXPECT_TRUE(frame->OnCommand(kCmdPrint));
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kPrintWhileInPlace)});
    EXPECT_EQ(printDialogs, before);
    // Nothing landed in the work folder either.
    EXPECT_TRUE(QDir(qor::WorkFolder()).entryList({QStringLiteral("*.pdf")}).isEmpty());
    CInPlaceSession::Current()->Deactivate();
    settle();
    // Afterwards the key prints the containing report again.
    child->GetActiveView()->setFocus();
    QTest::keyClick(child->GetActiveView(), Qt::Key_P, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(printDialogs, before + 1);
}

}  // namespace
