#pragma once
// The argument dialogs of the function wizard: one class for the
// statistic, conditional-value, maths and string functions, driven by a
// table of forms, plus the relation-condition and accounting-function
// dialogs. Each keeps its entries between runs; "上一步" (1028) ends a
// dialog with 1028 and keeps what was typed.

#include <QStringList>
#include <functional>

#include "dialogs/cqordialog.h"
#include "dialogs/funcwizard_logic.h"
#include "reader/cappservicelist.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class CFuncArgDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDC_PREVIOUS = 1028, IDC_FORMAT = 1069, IDC_DESCRIPTION = 104;

    explicit CFuncArgDlg(int templateId, QWidget* parent = nullptr);
    bool OnInitDialog() override;
    // Whether this class has the form of a template.
    static bool Knows(int templateId);

    // The texts of the edits in the dialog's order (statistics: area,
    // filter; IFF: expression, true value, false value).
    QStringList m_values;
    // The statistics function kind, 1 TOTAL .. 7 STD; set before DoModal.
    int m_nFuncKind = 1;

public slots:
    void OnOK() override;
    void OnCancel() override;
    void OnPrevious();

private:
    QStringList Typed() const;
    bool IsStatistic() const;

    QList<QLineEdit*> m_edits;
    QList<int> m_editIds;
    QLabel* m_format = nullptr;
    QLabel* m_description = nullptr;
    bool m_reload = true;
};

// The dialogs under the names the wizard knows them by.
template <int T>
class CFuncArgDlgT : public CFuncArgDlg {
public:
    static constexpr int IDD = T;
    explicit CFuncArgDlgT(QWidget* parent = nullptr) : CFuncArgDlg(T, parent) {}
};
using CFixedAreaStatDlg = CFuncArgDlgT<212>;
using CVarAreaStatDlg = CFuncArgDlgT<213>;
using C3DRegionStatDlg = CFuncArgDlgT<214>;
using CCondValueDlg = CFuncArgDlgT<221>;
using CLenFuncDlg = CFuncArgDlgT<331>;
using CStrFuncDlg = CFuncArgDlgT<332>;
using CTrimFuncDlg = CFuncArgDlgT<333>;
using CUpperFuncDlg = CFuncArgDlgT<334>;
using CValFuncDlg = CFuncArgDlgT<335>;
using CSinFuncDlg = CFuncArgDlgT<336>;
using CCosFuncDlg = CFuncArgDlgT<337>;
using CTanFuncDlg = CFuncArgDlgT<338>;
using CCtanFuncDlg = CFuncArgDlgT<339>;
using CAbsFuncDlg = CFuncArgDlgT<340>;
using CIntFuncDlg = CFuncArgDlgT<341>;
using CSqrFuncDlg = CFuncArgDlgT<342>;
using CLnFuncDlg = CFuncArgDlgT<343>;
using CLogFuncDlg = CFuncArgDlgT<344>;
using CExpFuncDlg = CFuncArgDlgT<345>;
using CRoundFuncDlg = CFuncArgDlgT<347>;
using CSubstrFuncDlg = CFuncArgDlgT<400>;
using CLowerFuncDlg = CFuncArgDlgT<401>;

// The keyword of the current report, a related report file and its
// keyword, for the formula's relation clause.
class CRelationCondDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 395, IDC_KEY = 1019, IDC_RELATED_KEY = 1012, IDC_TABLE = 1000,
                         IDC_BROWSE = 1029, IDC_PREVIOUS = 1028;

    explicit CRelationCondDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strKey;
    QString m_strRelatedKey;
    QString m_strTable;

public slots:
    void OnOK() override;
    void OnBrowse();
    void OnPrevious() { EndDialog(IDC_PREVIOUS); }

private:
    QComboBox* m_key = nullptr;
    QComboBox* m_relatedKey = nullptr;
    QLineEdit* m_table = nullptr;
};

// One function of an application service: its name, form and
// description, and the call as the user types it.
class CAcctFuncDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 441, IDC_TEXT = 1000, IDC_NAME = 1120, IDC_FORM = 1121,
                         IDC_DESCRIPTION = 1122, IDC_CONFERENCE = 1191, IDC_PREVIOUS = 1028;
    static constexpr int kMaxText = 255;
    static constexpr int kServiceKind = 5;

    explicit CAcctFuncDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strText;
    QString m_strForm = QStringLiteral("Format: ");
    QString m_strDescription;
    QString m_strName;
    QString m_strCaption;
    int m_nHelp = 1;
    int m_nKind = 0;
    CServiceFuncItem m_item;

    // The reference text of a service item ("参照"); may throw.
    using ConferenceFn = std::function<QString(const CServiceFuncItem&)>;
    void SetConference(ConferenceFn fn) { m_conference = std::move(fn); }

    // Shows a help topic; the default hands it to the application's help
    // function. Returns the handler installed before.
    using HelpFn = std::function<void(const qor::HelpTopic&)>;
    static HelpFn SetHelpHandler(HelpFn fn);

public slots:
    void OnOK() override;
    void OnConference();
    void OnPrevious() { EndDialog(IDC_PREVIOUS); }
    void OnHelp();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    QLineEdit* m_text = nullptr;
    QPlainTextEdit* m_form = nullptr;
    QLabel* m_description = nullptr;
    QLabel* m_name = nullptr;
    ConferenceFn m_conference;
};
