#include "dialogs/dlgbuild.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "dialogs/cqordialog.h"
#include "engine/messages.h"
#include "resources/stringtable.h"

namespace qor {

QString DlgCaption(int templateId, const QString& fallback) {
    const QString text = res::templateCaption(templateId).value_or(QString()).trimmed();
    return text.isEmpty() ? fallback : text;
}

QString DlgButtonText(int templateId, int id) {
    if (const auto info = res::controlInfo(templateId, id); info && !info->caption.isEmpty())
        return info->caption;
    if (id == CQorDialog::IDOK) return LoadErrorText(str::kOkButton);
    if (id == CQorDialog::IDCANCEL) return LoadErrorText(str::kCancelButton);
    return QString();
}

QPushButton* DlgButton(CQorDialog* dlg, int id, const QString& text) {
    auto* b = dlg->Bind(id, new QPushButton(text, dlg));
    b->setAutoDefault(false);
    if (id == CQorDialog::IDOK)
        QObject::connect(b, &QPushButton::clicked, dlg, [dlg] { dlg->OnOK(); });
    else if (id == CQorDialog::IDCANCEL)
        QObject::connect(b, &QPushButton::clicked, dlg, [dlg] { dlg->OnCancel(); });
    return b;
}

void AddDlgButtons(CQorDialog* dlg, QBoxLayout* layout, const QString& okText,
                   const QString& cancelText) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    const int tid = dlg->TemplateId();
    auto* ok = DlgButton(dlg, CQorDialog::IDOK,
                         okText.isEmpty() ? DlgButtonText(tid, CQorDialog::IDOK) : okText);
    ok->setDefault(true);
    row->addWidget(ok);
    row->addWidget(DlgButton(dlg, CQorDialog::IDCANCEL,
                             cancelText.isEmpty() ? DlgButtonText(tid, CQorDialog::IDCANCEL)
                                                  : cancelText));
    layout->addLayout(row);
}

void AddDlgRow(QGridLayout* grid, const QString& label, QWidget* control) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label, control->parentWidget()), row, 0);
    grid->addWidget(control, row, 1);
}

}  // namespace qor

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace qor {

QWidget* AttachSpin(CQorDialog* dlg, int id, QLineEdit* edit,
                    std::function<QString(const QString&, int)> step) {
    auto* spin = dlg->Bind(id, new QWidget(dlg));
    auto* column = new QVBoxLayout(spin);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (int delta : {-1, 1}) {
        auto* b = new QToolButton(spin);
        b->setObjectName(delta < 0 ? QStringLiteral("up") : QStringLiteral("down"));
        b->setArrowType(delta < 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        QObject::connect(b, &QToolButton::clicked, edit,
                         [edit, step, delta] { edit->setText(step(edit->text(), delta)); });
        column->addWidget(b);
    }
    return spin;
}

void PressSpin(QWidget* spin, int delta) {
    if (!spin) return;
    auto* b =
        spin->findChild<QToolButton*>(delta < 0 ? QStringLiteral("up") : QStringLiteral("down"));
    if (b) b->click();
}

}  // namespace qor
