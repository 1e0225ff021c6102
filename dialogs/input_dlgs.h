#pragma once
// The small questions of the command language: a number (GETINT), a text
// (GETSTR) and, after a failed line of a batch file, whether to go on.

#include "dialogs/cqordialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;

// One line of input under a prompt; the caption is the caller's text or
// "Vantix软件" when it gives none.
class CInputLineDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDC_VALUE = 1000;

    bool OnInitDialog() override;

    QString m_strCaption;  // in: the caption ("" the program's name)
    QString m_strPrompt;   // in: the text above the edit ("" the template's)
    QString m_strValue;    // in and out: the edit's text

protected:
    CInputLineDlg(QWidget* parent, int templateId, const QString& prompt);
    QLineEdit* m_edit = nullptr;

private:
    QLabel* m_label = nullptr;
    QString m_defaultPrompt;
};

// A number; OK refuses a text that is not one or lies outside the range.
class CGetIntDlg : public CInputLineDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 30725;
    explicit CGetIntDlg(QWidget* parent = nullptr);

    double m_dValue = 0;  // out
    double m_dMinimum = -1e300;
    double m_dMaximum = 1e300;

public slots:
    void OnOK() override;
};

class CGetStrDlg : public CInputLineDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 30726;
    explicit CGetStrDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    int m_nMaxLength = 0;  // 0: no limit

public slots:
    void OnOK() override;
};

// After a failed line of a batch file: 是 goes on (and, with the box
// ticked, stops asking for the rest of the run), 否 stops the run.
class CPromptDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 540, IDC_DONT_ASK = 1001, IDC_MESSAGE = 1281;

    explicit CPromptDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strMessage;       // in
    bool m_bDontAsk = false;    // out, taken only by 是

public slots:
    void OnOK() override;

private:
    QLabel* m_message = nullptr;
    QCheckBox* m_dontAsk = nullptr;
};

// Whether to replace an existing page file of the HTML export: 是 or 否,
// and with the box ticked the same answer for the rest of the export.
class CAskAlwaysDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 537, IDC_MESSAGE = 1000, IDC_ALWAYS = 1001;

    explicit CAskAlwaysDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strMessage;   // in
    bool m_bAlways = false; // out
    int m_nAnswer = 1;      // out: 1 yes, 0 no

public slots:
    void OnOK() override;
    void OnCancel() override;

private:
    QLabel* m_message = nullptr;
    QCheckBox* m_always = nullptr;
};

namespace qor {
// The HTML export's overwrite question in CAskAlwaysDlg.
void InstallOverwriteAskDialog(QWidget* parent);
// Makes the number prompt and the plain text prompt (not the password
// ones) use CGetIntDlg and CGetStrDlg, and the batch runner's question
// after a failed line use CPromptDlg.
void InstallInputDialogs(QWidget* parent);
}  // namespace qor
