#pragma once
// The start-up pause: no window of its own; after 1.5 seconds the main
// window is maximised, the host login is told the start-up has ended
// ("logEnd") when there is a login, and the tip of the day is offered.

#include <QObject>
#include <QPointer>
#include <QString>

class CLoginDriver;
class QWidget;

namespace qor::frames {

// The string-table text of an id ("" when the table has none).
QString LoadStringText(int id);

class CSplashTimerWnd : public QObject {
    Q_OBJECT

public:
    // login may be null (no host login: nothing is called).
    CSplashTimerWnd(QWidget* mainWindow, CLoginDriver* login, int milliseconds = 1500);

signals:
    void finished();

private:
    void fire();

    QPointer<QWidget> m_main;
    CLoginDriver* m_login;
};

}  // namespace qor::frames
