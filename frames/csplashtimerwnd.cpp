#include "frames/csplashtimerwnd.h"

#include <QTimer>
#include <QWidget>

#include "reader/cappenvironment.h"
#include "reader/dispatchdrivers.h"
#include "resources/stringtable.h"

namespace qor::frames {

QString LoadStringText(int id) { return res::stringText(id).value_or(QString()); }

CSplashTimerWnd::CSplashTimerWnd(QWidget* mainWindow, CLoginDriver* login, int milliseconds)
    : QObject(mainWindow), m_main(mainWindow), m_login(login) {
    QTimer::singleShot(milliseconds, this, &CSplashTimerWnd::fire);
}

void CSplashTimerWnd::fire() {
    if (m_main) {
        m_main->showMaximized();
        m_main->update();
    }
    if (m_login && !m_login->IsNull()) m_login->CallLogEnd();
    CAppEnvironment::Instance().ShowTipAtStartup();
    emit finished();
    deleteLater();
}

}  // namespace qor::frames
