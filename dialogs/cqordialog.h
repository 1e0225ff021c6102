#pragma once
// The base of every dialog: the ids of its controls, its start, how it
// ends and how tests answer it.
//
// DoModal runs OnInitDialog and then the dialog modally, or, while a modal
// hook is installed, hands the dialog to the hook instead: a test fills in
// controls and presses buttons there, without an event loop. The result
// is the code the dialog ended with (EndDialog, done): IDOK 1, IDCANCEL 2,
// or a button's own id; a hook that leaves the dialog open answers IDCANCEL.
//
// Controls are found by their template ids (GetDlgItem); Bind records one
// and, when it has no name yet, names it "c<id>" for tests and styles.

#include <QDialog>
#include <QHash>
#include <functional>

// The controls of a dialog or a page by their template ids.
class CDlgItems {
public:
    // The control of a template id; null when there is none.
    QWidget* GetDlgItem(int id) const { return m_items.value(id); }
    // Records a control under its id and returns it; one without a name is
    // named "c<id>" for tests and style sheets.
    template <class W>
    W* Bind(int id, W* widget) {
        bindItem(id, widget);
        return widget;
    }

protected:
    ~CDlgItems() = default;
    QHash<int, QWidget*> m_items;

private:
    void bindItem(int id, QWidget* widget);
};

class CQorDialog : public QDialog, public CDlgItems {
    Q_OBJECT

public:
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    explicit CQorDialog(QWidget* parent = nullptr, int templateId = 0);
    ~CQorDialog() override;

    int TemplateId() const { return m_templateId; }

    // OnInitDialog, then exec or the modal hook; the end code.
    virtual int DoModal();
    // Fills the controls from the members before the dialog shows.
    virtual bool OnInitDialog() { return true; }
    // Ends the dialog with code (IDOK, IDCANCEL or a button id).
    void EndDialog(int code) { done(code); }
    void done(int code) override;
    // The code the dialog ended with; 0 while it is open.
    int Result() const { return m_result; }

    // What a test does in place of the user while DoModal runs; an empty
    // function restores exec. Returns the hook installed before.
    using ModalHook = std::function<void(CQorDialog&)>;
    static ModalHook SetModalHook(ModalHook hook);

public slots:
    // Enter and the OK button; the default ends with IDOK.
    virtual void OnOK() { EndDialog(IDOK); }
    // Esc, the close box and Cancel; the default ends with IDCANCEL.
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    int m_templateId = 0;
    int m_result = 0;
};
