#pragma once
// The frame the consolidation wizards run in: a modal sheet that shows one
// step at a time with Back, Next, Finish and Cancel, and the step design
// the condition steps share (a term built from three combos and joined
// into a condition edit).
//
// A step answers leaving through OnWizardBack / OnWizardNext /
// OnWizardFinish; false keeps it. Only the step being left is asked, so a
// step never visited keeps the sheet's presets.

#include <QHash>
#include <QString>

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace qor::consol {

class WizardSheet;

class WizardPage : public QWidget, public CDlgItems {
    Q_OBJECT

public:
    explicit WizardPage(int templateId, QWidget* parent = nullptr);

    int TemplateId() const { return m_templateId; }
    // The template's caption; the sheet shows it while the step is active.
    QString Caption() const;

    // Once, when the step is first shown.
    virtual void OnInitDialog() {}
    // Each time the step becomes active.
    virtual void OnSetActive() {}
    virtual bool OnWizardBack() { return true; }
    virtual bool OnWizardNext() { return true; }
    virtual bool OnWizardFinish() { return true; }

    WizardSheet* Sheet() const { return m_sheet; }

protected:
    void AddControl(int id, QWidget* control) { Bind(id, control); }
    // The template's text of a control, or the fallback.
    QString ControlCaption(int id, const QString& fallback = QString()) const;
    // A warning box; the step stays.
    void Refuse(int messageId, const QString& caption = QString());

private:
    friend class WizardSheet;
    int m_templateId;
    WizardSheet* m_sheet = nullptr;
    bool m_initialised = false;
};

class WizardSheet : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDHELP = 9;
    static constexpr int ID_WIZBACK = 12323;
    static constexpr int ID_WIZNEXT = 12324;
    static constexpr int ID_WIZFINISH = 12325;

    // startPage: the step shown first.
    explicit WizardSheet(const QString& caption = QString(), QWidget* parent = nullptr,
                         int startPage = 0);

    // Steps in their order; the sheet takes ownership.
    void AddPage(WizardPage* page);
    int GetPageCount() const { return int(m_pages.size()); }
    WizardPage* GetPage(int index) const;
    WizardPage* GetActivePage() const { return GetPage(m_active); }
    int GetActiveIndex() const { return m_active; }

    // Shows the first step and runs the sheet: ID_WIZFINISH or IDCANCEL.
    int DoModal() override;
    // What DoModal does before the window shows.
    void Start();
    bool OnInitDialog() override {
        Start();
        return true;
    }

    // Which of Back and Next can be pressed; Finish always can.
    void SetWizardButtons(bool back, bool next);
    // The sheet's buttons by their ids (2, 12323..12325).
    QPushButton* GetDlgItem(int id) const;

    // The buttons' work, also for driving the sheet without clicks. Each
    // returns false when the step kept the sheet where it was.
    bool PressBack();
    bool PressNext();
    bool PressFinish();

private:
    void activate(int index);

    QList<WizardPage*> m_pages;
    int m_startPage = 0;
    int m_active = -1;
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_finish = nullptr;
    QPushButton* m_cancel = nullptr;
};

// The control ids of one condition step.
struct ConditionIds {
    int first;  // keyword or variable line
    int op;
    int value;
    int andButton;
    int orButton;
    int addButton;
    int edit;
};

// A condition step: "并且" and "或者" join, "加入" appends the combos'
// term. Subclasses fill the first combo and say how a term is made.
class ConditionPage : public WizardPage {
    Q_OBJECT

public:
    ConditionPage(int templateId, const ConditionIds& ids, QWidget* parent = nullptr);

    QComboBox* FirstCombo() const { return m_first; }
    QComboBox* OperatorCombo() const { return m_op; }
    QComboBox* ValueCombo() const { return m_value; }
    QLineEdit* ConditionEdit() const { return m_edit; }
    QString Condition() const;

public slots:
    void OnAnd();
    void OnOr();
    void OnAdd();

protected:
    // The condition with the combos' term appended (unchanged when a part
    // is missing).
    virtual QString AppendTerm(const QString& condition) const = 0;
    // The condition to store when the step is left forward: as typed or
    // built, and when empty the combos' term.
    QString ConditionOnLeave() const;
    // Replaces the first combo's entries; nothing stays chosen.
    void FillFirst(const QStringList& entries);
    void FillValues(const QStringList& entries);

private:
    QComboBox* m_first = nullptr;
    QComboBox* m_op = nullptr;
    QComboBox* m_value = nullptr;
    QLineEdit* m_edit = nullptr;
};

// The page condition step both wizards share: the placed keywords, and
// for the chosen one the values found on the pages.
class KeywordConditionPage : public ConditionPage {
    Q_OBJECT

public:
    // The step reads flags and values and writes the condition into
    // *store; storeOnBack also stores it (as typed) when going back, and
    // backEnabled is what activation does to Back.
    KeywordConditionPage(int templateId, const ConditionIds& ids, const KeywordFlags* flags,
                         const KeywordValueLists* values, QString* store, bool storeOnBack,
                         bool backEnabled, QWidget* parent = nullptr);

    void OnInitDialog() override;
    void OnSetActive() override;
    bool OnWizardBack() override;
    bool OnWizardNext() override;
    bool OnWizardFinish() override;

public slots:
    void OnKeywordChanged();

protected:
    QString AppendTerm(const QString& condition) const override;

private:
    const KeywordFlags* m_flags;
    const KeywordValueLists* m_values;
    QString* m_store;
    bool m_storeOnBack;
    bool m_backEnabled;
    QString m_customName;
};

}  // namespace qor::consol
