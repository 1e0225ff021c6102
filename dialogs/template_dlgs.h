#pragma once
// The report template dialogs: the choice of a template to apply (报表模板)
// and the custom-template wizard that edits the template list (自定义模板)
// with its two small editors of an industry name and of one template.

#include <QFileDialog>
#include <optional>

#include "dialogs/cqordialog.h"
#include "dialogs/templatelist.h"
#include "document/cmd_dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

// Picks an industry and one of its templates; OK answers its path.
class CReportTemplateDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 371, IDC_INDUSTRY = 1019, IDC_TEMPLATE = 1012;

    explicit CReportTemplateDlg(const qor::TemplateListFile& list, QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strChosenPath;  // out
    int m_nIndustry = 0;
    int m_nTemplate = 0;

public slots:
    void OnOK() override;
    void OnIndustryChange();

private:
    qor::TemplateListFile m_list;
    QStringList m_paths;
    QComboBox* m_industry = nullptr;
    QComboBox* m_template = nullptr;
};

// An industry's name, new or renamed; a name already listed is refused.
class CDefineTemplateDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 451, IDC_NAME = 1145, IDC_LABEL = 1148;

    explicit CDefineTemplateDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strName;
    QString m_strLabel;
    QStringList m_existing;  // every industry listed, the renamed one too

public slots:
    void OnOK() override;

private:
    QLineEdit* m_name = nullptr;
    QLabel* m_label = nullptr;
};

// One template's name and path.
class CTemplateDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 452, IDC_NAME = 1000, IDC_PATH = 1001, IDC_BROWSE = 1152;

    explicit CTemplateDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strName;
    QString m_strPath;

public slots:
    void OnOK() override;
    void OnBrowse();

private:
    QLineEdit* m_name = nullptr;
    QLineEdit* m_path = nullptr;
};

// The file dialog that adds several template files at once: the toolkit's
// own dialog with the system's words on its OK button and its labels.
class CModelFileDlg : public QFileDialog {
    Q_OBJECT

public:
    explicit CModelFileDlg(QWidget* parent = nullptr);
    // The chosen files; nullopt when the user cancelled.
    static std::optional<QStringList> Choose(QWidget* parent);
};

// The wizard over the template list: page 1 the industries, page 2 the
// templates of the one chosen. Nothing is written before 应用 or 完成; a
// failed write is told and leaves the wizard open with 应用 enabled.
class CModelSheet : public CQorDialog {
    Q_OBJECT

public:
    // Page 1 (449).
    static constexpr int IDC_INDUSTRIES = 1143, IDC_ADD_INDUSTRY = 1131, IDC_DELETE_INDUSTRY = 1132,
                         IDC_RENAME_INDUSTRY = 1133;
    // Page 2 (450).
    static constexpr int IDC_TEMPLATES = 1144, IDC_ADD_TEMPLATES = 1137, IDC_DELETE_TEMPLATE = 1139,
                         IDC_MODIFY_TEMPLATE = 1134, IDC_INDUSTRY_NAME = 1149, IDC_PATH = 1150;
    // The sheet's buttons.
    static constexpr int IDC_APPLY = 3000, IDC_BACK = 12323, IDC_NEXT = 12324, IDC_FINISH = 12325;

    explicit CModelSheet(const qor::TemplateListFile& list, QWidget* parent = nullptr);
    bool OnInitDialog() override;

    int Page() const;
    bool Modified() const { return m_modified; }
    const QVector<qor::TemplateIndustry>& Model() const { return m_model; }

public slots:
    void OnAddIndustry();
    void OnRenameIndustry();
    void OnDeleteIndustry();
    void OnNext();
    void OnAddTemplates();
    void OnModifyTemplate();
    void OnDeleteTemplate();
    void OnBack();
    void OnFinish();
    void OnApply();

private:
    void setModified(bool modified);
    void enableIndustryEdits();
    void fillTemplates(int select);
    void keepPage2();
    bool write();

    qor::TemplateListFile m_list;
    QVector<qor::TemplateIndustry> m_model;
    qor::TemplateIndustry m_page2;
    int m_current = -1;  // the industry page 2 edits
    bool m_modified = false;
    QStackedWidget* m_pages = nullptr;
    QListWidget* m_industries = nullptr;
    QListWidget* m_templates = nullptr;
    QLabel* m_industryName = nullptr;
    QLabel* m_path = nullptr;
};
