// The main frame's user menus: loading a ".mnu" file into a menu bar of
// the user's own, its prompts, running its items, and the way back to the
// standard menu.
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/batchcmd_dlgs.h"
#include "engine/messages.h"
#include "frames/cmainframe.h"
#include "frames/cmyfiledlg.h"
#include "frames/cstatusbarxp.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "resources/commandids.h"

namespace qor::frames {

namespace {

using qor::cmd_ids::kCmdCommandWindow;

void warn(const QString& text) {
    qor::messageBox(text, LoadErrorText(str::kAppTitle), qor::MsgButtons::Ok,
                    qor::MsgIcon::Warning);
}

void removeActionEverywhere(QMenu* menu, QAction* action) {
    menu->removeAction(action);
    for (QAction* a : menu->actions())
        if (QMenu* sub = a->menu()) removeActionEverywhere(sub, action);
}

}  // namespace

bool CMainFrame::LoadMenuFile(const QString& name, QString* error) {
    if (error) error->clear();
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (name.trimmed().isEmpty()) {
        ReturnToStandardMenu();
        return true;
    }
    QString path = QFileInfo(name.trimmed()).absoluteFilePath();
    // The type is the extension of the file name alone; a dot in a folder
    // name does not count.
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".mnu");
    if (!QFileInfo(path).isFile()) return fail(LoadErrorText(str::kCustomMenuFileMissing));
    if (QFileInfo(path).suffix().compare(QLatin1String("mnu"), Qt::CaseInsensitive) != 0)
        return fail(LoadErrorText(str::kNotUserMenuFile));
    UserMenuTables tables = m_userMenu;
    int message = 0;
    switch (ParseMenuFile(path, tables, &message)) {
        case MenuParseResult::Ok:
            break;
        case MenuParseResult::NotEmpty:
            return fail(LoadErrorText(str::kMenuOpenError));
        case MenuParseResult::Failed:
            return fail(LoadErrorText(str::kMenuOpenError) + QLatin1Char('\n') +
                        LoadErrorText(message));
    }
    if (!BuildUserMenu(tables)) return fail(LoadErrorText(str::kMenuBadId));
    return true;
}

bool CMainFrame::BuildUserMenu(const UserMenuTables& tables) {
    // Every item must be codable before anything is shown: a level of
    // more than twelve items would give items the ids of others.
    if (!UserMenuCodable(tables)) return false;
    clearUserMenuWidgets();
    auto leaf = [this](QObject* parent, const UserMenuItem& item, int id) {
        auto* a = new QAction(item.name, parent);
        a->setObjectName(QStringLiteral("userMenu%1").arg(id));
        a->setData(id);
        a->setStatusTip(item.prompt);
        connect(a, &QAction::triggered, this, [this, id] { RunUserMenuItem(id); });
        return a;
    };
    auto popup = [this](const QString& title) {
        auto* m = new QMenu(title, this);
        m->setStyle(m_menuStyle);
        m->menuAction()->setStatusTip(LoadErrorText(str::kMenuReady));
        connect(m, &QMenu::hovered, this, &CMainFrame::ShowUserMenuPrompt);
        m_userMenus.append(m);
        return m;
    };
    QList<QAction*> top;
    for (qsizetype i = 0; i < tables.level1.size(); ++i) {
        const UserMenuItem& first = tables.level1[i];
        if (tables.level2[i].isEmpty()) {
            top.append(leaf(this, first, UserMenuCommandId(int(i))));
            m_userActions.append(top.last());
            continue;
        }
        QMenu* m1 = popup(first.name);
        for (qsizetype j = 0; j < tables.level2[i].size(); ++j) {
            const UserMenuItem& second = tables.level2[i][j];
            if (tables.level3[i][j].isEmpty()) {
                m1->addAction(leaf(m1, second, UserMenuCommandId(int(i), int(j))));
                continue;
            }
            QMenu* m2 = popup(second.name);
            for (qsizetype k = 0; k < tables.level3[i][j].size(); ++k)
                m2->addAction(leaf(m2, tables.level3[i][j][k],
                                   UserMenuCommandId(int(i), int(j), int(k))));
            m1->addMenu(m2);
        }
        top.append(m1->menuAction());
    }
    QMenuBar* bar = menuBar();
    bar->clear();
    bar->addActions(top);
    connect(bar, &QMenuBar::hovered, this, &CMainFrame::ShowUserMenuPrompt, Qt::UniqueConnection);
    m_userMenu = tables;
    m_userMenuActive = true;
    m_router.UpdateAll();
    return true;
}

void CMainFrame::clearUserMenuWidgets() {
    for (QAction* a : std::as_const(m_userActions)) a->deleteLater();
    for (QMenu* m : std::as_const(m_userMenus)) m->deleteLater();
    m_userActions.clear();
    m_userMenus.clear();
}

void CMainFrame::ReturnToStandardMenu() {
    if (!m_userMenuActive) return;
    m_userMenuActive = false;
    // Emptied, so that any menu, of either encoding, loads next time.
    m_userMenu.Clear();
    menuBar()->clear();
    clearUserMenuWidgets();
    // The standard menu comes back without the command-window item.
    if (QAction* cmd = m_router.FindAction(kCmdCommandWindow))
        for (const QList<QMenu*>& menus : std::as_const(m_topMenus))
            for (QMenu* m : menus) removeActionEverywhere(m, cmd);
    const int wanted = m_wantedMenu;
    m_currentMenu = 0;
    switchMenu(wanted);
    m_router.UpdateAll();
}

void CMainFrame::ShowUserMenuPrompt(QAction* action) {
    if (!m_userMenuActive || !action || !m_status) return;
    if (action->menu()) {
        m_status->showMessage(LoadErrorText(str::kMenuReady));
        return;
    }
    const int id = action->data().toInt();
    if (id < kUserMenuFirstId || id > kUserMenuLastId) return;
    int i = -1, j = -1, k = -1;
    if (!UserMenuPosition(id, &i, &j, &k)) {
        qor::messageBox(LoadErrorText(str::kMenuIdError), LoadErrorText(str::kAppTitle),
                        qor::MsgButtons::OkCancel);
        return;
    }
    const UserMenuItem* item = m_userMenu.Item(i, j, k);
    m_status->showMessage(item ? item->prompt : QString());
    m_status->repaint();
}

bool CMainFrame::RunUserMenuItem(int id) {
    int i = -1, j = -1, k = -1;
    if (!m_userMenuActive || !UserMenuPosition(id, &i, &j, &k)) return false;
    const UserMenuItem* item = m_userMenu.Item(i, j, k);
    if (!item || item->command.trimmed().isEmpty()) return false;
    // The item's text is a script of its own, run against the active report.
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    ci.SyncReportFromDocument();
    QString error;
    const bool ok = ci.RunScriptText(item->command, item->name, &error);
    if (!ok && !error.isEmpty()) warn(error);
    UpdateFrameState();
    return ok;
}

void CMainFrame::OnExecute() {
    FilePrompt prompt{LoadErrorText(str::kExecute), CMyFileDlg::CurrentReportDir(),
                      QtFileFilter(LoadErrorText(str::kScriptOrMenuFileFilter)), false};
    prompt.mode = CMyFileDlg::kRun;
    const std::optional<QString> path = chooseFile(prompt);
    if (!path || path->isEmpty()) return;
    const QString ext = QFileInfo(*path).suffix();
    QString error;
    if (ext.compare(QLatin1String("shl"), Qt::CaseInsensitive) == 0) {
        // Told as 常用批命令 tells it: once, in Chinese, with the line.
        RunBatchScript(*path, LoadErrorText(str::kExecute));
        UpdateFrameState();
    } else if (ext.compare(QLatin1String("mnu"), Qt::CaseInsensitive) == 0) {
        if (!LoadMenuFile(*path, &error) && !error.isEmpty()) warn(error);
    } else {
        warn(LoadErrorText(str::kNotUserMenuFile));
    }
}

}  // namespace qor::frames
