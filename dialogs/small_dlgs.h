#pragma once
// The small dialogs of the view, the shell and the command language:
// item appearance and chart properties, the custom-menu choice, the
// variables listing, the system information, the tip of the day and the
// log of formulas and commands.

#include <QStringList>

#include "dialogs/cqordialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;

class CObjectLookDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 457, IDC_TRANSPARENT = 1161, IDC_BORDER = 1162;
    explicit CObjectLookDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    bool m_bBorder = false;
    bool m_bTransparent = false;
public slots:
    void OnOK() override;
private:
    QCheckBox* m_border = nullptr;
    QCheckBox* m_transparent = nullptr;
};

class CObjectPropDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 460, IDC_SCALE = 1004, IDC_SPIN = 1057, IDC_NAME = 1164,
                         IDC_RELATIVE = 1166, IDC_AREA = 1177;
    explicit CObjectPropDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    QString m_strName, m_strArea;
    int m_nScale = 100;
    int m_nMinScale = 0, m_nMaxScale = 1000;
    bool m_bRelative = false;
    bool m_bChanged = false;
public slots:
    void OnOK() override;
private:
    QLineEdit* m_scale = nullptr;
    QCheckBox* m_relative = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_area = nullptr;
    bool m_filling = false;
};

class CCustomMenuDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 478, IDC_CUSTOM = 1006, IDC_STANDARD = 1007, IDC_BROWSE = 1152,
                         IDC_FILE = 1188;
    explicit CCustomMenuDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    QString m_strFileName;
    int m_nChoice = 0;  // 0 the custom menu, 1 the standard one
public slots:
    void OnOK() override;
    void OnBrowse();
private:
    void enableFile();
    QLineEdit* m_file = nullptr;
    QRadioButton* m_custom = nullptr;
    QRadioButton* m_standard = nullptr;
    QWidget* m_browse = nullptr;
};

class CVariablesDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 454, IDC_LIST = 1154, IDC_TYPE = 1170, IDC_VALUE = 1171;
    explicit CVariablesDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    QStringList m_names, m_types, m_values;
private:
    void showSelected();
    QListWidget* m_list = nullptr;
    QLineEdit* m_type = nullptr;
    QLineEdit* m_value = nullptr;
};

class CSysInfoDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 479;
    // Ours: the path of the error log, which support asks for.
    static constexpr int IDC_ERROR_LOG = 1054;
    explicit CSysInfoDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
};

class CTipDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 107, IDC_HEADER = 1000, IDC_STARTUP = 1001, IDC_NEXT = 1002,
                         IDC_TIP = 1004;
    // The tips file of the running program, or path.
    explicit CTipDlg(QWidget* parent = nullptr, const QString& path = QString());
    ~CTipDlg() override;
    bool OnInitDialog() override;
    static QString TipsFilePath();
    QString Tip() const { return m_strTip; }
public slots:
    void OnNext();
    void OnOK() override;
private:
    QString m_path;
    QByteArray m_bytes;
    bool m_open = false;
    int64_t m_offset = 0;
    QString m_strTip;
    QLabel* m_tip = nullptr;
    QCheckBox* m_startUp = nullptr;
    QWidget* m_next = nullptr;
};

class CLogFileDlg : public CQorDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 600, IDC_TEXT = 601, IDC_CLEAR = 602, IDC_SAVE = 1104;
    explicit CLogFileDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
public slots:
    void OnClear();
    void OnSave();
private:
    QPlainTextEdit* m_text = nullptr;
};

namespace qor {
// Copies the log to path as text (".txt" added to a name without an
// extension), asking before it replaces a file; false with *error.
bool SaveLogCopy(const QString& logPath, QString* path, QString* error);
// The command language's LIST MEMORY in CVariablesDlg, the tip of the day
// at start-up in CTipDlg.
void InstallSmallDialogs(QWidget* parent);
// 自定义菜单: the chosen menu file loaded through the user-menu loader.
void RunCustomMenuCommand(QWidget* parent);
}  // namespace qor
