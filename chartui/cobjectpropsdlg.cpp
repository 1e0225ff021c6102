#include "chartui/cobjectpropsdlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "engine/messages.h"

CObjectPropsDlg::CObjectPropsDlg(const qor::view::ObjectPropsMembers& members, QWidget* parent)
    : CQorDialog(parent), qor::view::ObjectPropsMembers(members) {
    setWindowTitle(LoadErrorText(qor::str::kObjectPropertiesCaption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(LoadErrorText(qor::str::kObjectTypeLabel), new QLabel(className, this));
    m_scale = Bind(IDC_SCALE, new QSpinBox(this));
    m_scale->setRange(qor::view::kMinObjectScale, qor::view::kMaxObjectScale);
    m_scale->setSuffix(QStringLiteral(" %"));
    form->addRow(LoadErrorText(qor::str::kObjectScaleLabel), m_scale);
    layout->addLayout(form);
    if (link) {
        layout->addWidget(new QLabel(LoadErrorText(qor::str::kLinkedFileLabel), this));
        auto* sourceLabel = Bind(IDC_SOURCE, new QLabel(source, this));
        sourceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(sourceLabel);
        auto* row = new QHBoxLayout;
        QPushButton* update = qor::DlgButton(this, IDC_UPDATE_NOW, LoadErrorText(qor::str::kUpdateNowButton));
        QPushButton* open = qor::DlgButton(this, IDC_OPEN_SOURCE, LoadErrorText(qor::str::kOpenSourceButton));
        connect(update, &QPushButton::clicked, this, [this] {
            if (updateNow) updateNow();
        });
        connect(open, &QPushButton::clicked, this, [this] {
            if (openSource) openSource();
        });
        row->addWidget(update);
        row->addWidget(open);
        row->addStretch(1);
        layout->addLayout(row);
    }
    qor::AddDlgButtons(this, layout);
}

bool CObjectPropsDlg::OnInitDialog() {
    m_scale->setValue(scale);
    return true;
}

void CObjectPropsDlg::OnOK() {
    scale = m_scale->value();
    EndDialog(IDOK);
}

void InstallObjectPropsDlg(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    qor::view::SetObjectPropsRunner([owner](qor::view::ObjectPropsMembers& m, QWidget* from) {
        CObjectPropsDlg dlg(m, from ? from : owner.data());
        if (dlg.DoModal() != CQorDialog::IDOK) return false;
        m.scale = dlg.scale;
        return true;
    });
}
