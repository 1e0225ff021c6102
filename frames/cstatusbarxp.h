#pragma once
// The status bar: the message pane, then the account set and the operator
// of the login, each in a thin shadow frame.

#include <QLabel>
#include <QStatusBar>

namespace qor::frames {

class CStatusBarXP : public QStatusBar {
    Q_OBJECT

public:
    explicit CStatusBarXP(QWidget* parent = nullptr);
    // The login values ("" when nobody logged in).
    void SetLogin(const QString& accountSet, const QString& user);
    QLabel* AccountPane() const { return m_account; }
    QLabel* UserPane() const { return m_user; }

private:
    QLabel* m_account;
    QLabel* m_user;
};

}  // namespace qor::frames
