#include "frames/cstatusbarxp.h"

#include "engine/messages.h"

namespace qor::frames {

CStatusBarXP::CStatusBarXP(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("bar59393"));
    setMinimumHeight(20);
    m_account = new QLabel(this);
    m_user = new QLabel(this);
    for (QLabel* pane : {m_account, m_user}) {
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setLineWidth(1);
        pane->setMinimumWidth(110);
        addPermanentWidget(pane);
    }
    SetLogin(QString(), QString());
    showMessage(LoadErrorText(str::kReady));
}

void CStatusBarXP::SetLogin(const QString& accountSet, const QString& user) {
    m_account->setText(LoadErrorText(str::kAccountSetLabel) + accountSet);
    m_user->setText(LoadErrorText(str::kOperatorLabel) + user);
}

}  // namespace qor::frames
