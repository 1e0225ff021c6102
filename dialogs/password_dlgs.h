#pragma once
// The format-lock, format-password and set-file-password dialogs. They
// only collect and confirm texts: the caller writes the members, runs
// DoModal and, after IDOK, compares or stores what they hold. Every
// password edit hides its echo.

#include "dialogs/cqordialog.h"
#include <QHash>

#include "dialogs/password_logic.h"

class QLabel;
class QLineEdit;

// A new format password typed twice; OK refuses two texts that differ.
class CFormatLockDlg : public CQorDialog, public qor::FormatLockDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 161, IDC_NEW = 1000, IDC_CONFIRM = 1004;

    explicit CFormatLockDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;
    void OnCancel() override;


private:
    QLineEdit* m_new = nullptr;
    QLineEdit* m_confirm = nullptr;
};

// The format password asked before format state; the caller compares it.
class CFormatPasswordDlg : public CQorDialog, public qor::FormatPasswordDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 162, IDC_PASSWORD = 1000;

    explicit CFormatPasswordDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;
    void OnCancel() override;


private:
    QLineEdit* m_password = nullptr;
};

// Sets, changes or removes the file password. With a password stored the
// old one must be typed first; after IDOK `current` is the new password
// ("" none).
class CSetFilePasswordDlg : public CQorDialog, public qor::SetFilePasswordDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 428, IDC_OLD = 1114, IDC_NEW = 1115, IDC_CONFIRM = 1116;

    explicit CSetFilePasswordDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    // The edit that has, or will get when shown, the focus.
    QWidget* FocusItem() const { return m_focus; }

public slots:
    void OnOK() override;
    void OnCancel() override;
    void OnChangeOld();


private:
    void EnableNew(bool enable);
    void Focus(QWidget* w);

    QLineEdit* m_old = nullptr;
    QLineEdit* m_new = nullptr;
    QLineEdit* m_confirm = nullptr;
    QWidget* m_focus = nullptr;
};

// The password of a protected report, asked before it opens; the file's
// name is shown above it. The caller compares what was typed.
class CFilePasswordDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 429, IDC_PASSWORD = 1114, IDC_FILE_NAME = 1172;
    static constexpr int kMaxLength = 100;

    explicit CFilePasswordDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strFileName;  // in: shown
    QString m_strPassword;  // out: typed

public slots:
    void OnOK() override;

private:
    QLabel* m_file = nullptr;
    QLineEdit* m_password = nullptr;
};

namespace qor {
// Makes the report files' password question use CFilePasswordDlg (a parent
// for it may be given); returns nothing.
void InstallFilePasswordDlg(QWidget* parent = nullptr);
}  // namespace qor
