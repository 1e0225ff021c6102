// The dialog base: start before showing, Enter and Esc, end codes through
// exec and through the modal hook, and controls by id.
#include "dialogs/cqordialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class Probe : public CQorDialog {
public:
    Probe() : CQorDialog(nullptr, 999) {
        edit = Bind(1000, new QLineEdit(this));
        auto* ok = Bind(IDOK, new QPushButton(QStringLiteral("确定"), this));
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        undo = Bind(1028, new QPushButton(QStringLiteral("撤消"), this));
        undo->setAutoDefault(false);
        connect(undo, &QPushButton::clicked, this, [this] { EndDialog(1028); });
    }
    bool OnInitDialog() override {
        visibleAtInit = isVisible();
        edit->setText(QStringLiteral("preset"));
        ++inits;
        return true;
    }
    void OnOK() override {
        ++oks;
        CQorDialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        CQorDialog::OnCancel();
    }
    QLineEdit* edit;
    QPushButton* undo;
    bool visibleAtInit = true;
    int inits = 0, oks = 0, cancels = 0;
};

void pressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

struct HookGuard {
    explicit HookGuard(CQorDialog::ModalHook hook)
        : previous(CQorDialog::SetModalHook(std::move(hook))) {}
    ~HookGuard() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

}  // namespace

TEST(CQorDialogBase, ControlsByIdAndTheirNames) {
    Probe dlg;
    EXPECT_EQ(dlg.TemplateId(), 999);
    EXPECT_EQ(dlg.GetDlgItem(1000), dlg.edit);
    EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
    EXPECT_EQ(dlg.findChild<QLineEdit*>(QStringLiteral("c1000")), dlg.edit);
    // A name given before binding is kept.
    auto* named = new QPushButton(&dlg);
    named->setObjectName(QStringLiteral("ctl7"));
    dlg.Bind(7, named);
    EXPECT_EQ(named->objectName(), QStringLiteral("ctl7"));
}

TEST(CQorDialogBase, ExecRunsInitBeforeShowingAndKeysEndIt) {
    Probe dlg;
    QTimer::singleShot(0, [&dlg] {
        EXPECT_EQ(dlg.edit->text(), QStringLiteral("preset"));
        pressKey(&dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDCANCEL);
    EXPECT_FALSE(dlg.visibleAtInit);
    EXPECT_EQ(dlg.cancels, 1);

    QTimer::singleShot(0, [&dlg] { pressKey(&dlg, Qt::Key_Return); });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    EXPECT_EQ(dlg.oks, 1);

    QTimer::singleShot(0, [&dlg] { dlg.undo->click(); });
    EXPECT_EQ(dlg.DoModal(), 1028);
    EXPECT_EQ(dlg.inits, 3);
}

TEST(CQorDialogBase, TheModalHookAnswersWithoutAnEventLoop) {
    QString seen;
    HookGuard guard([&seen](CQorDialog& d) {
        seen = qobject_cast<QLineEdit*>(d.GetDlgItem(1000))->text();
        d.EndDialog(888);
    });
    Probe dlg;
    EXPECT_EQ(dlg.DoModal(), 888);
    EXPECT_EQ(seen, QStringLiteral("preset"));

    // A hook that leaves the dialog open answers cancel.
    CQorDialog::SetModalHook([](CQorDialog&) {});
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDCANCEL);
    // accept() and reject() go through OnOK and OnCancel.
    CQorDialog::SetModalHook([](CQorDialog& d) { d.accept(); });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    CQorDialog::SetModalHook([](CQorDialog& d) { d.reject(); });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDCANCEL);
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_EQ(dlg.cancels, 1);
}
