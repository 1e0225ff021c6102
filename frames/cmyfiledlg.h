#pragma once
// The program's own file dialogs.
//
// CMyFileDlg is the open/save dialog every file choice of qorview goes
// through. Its mode decides the button texts and what OK checks:
//   0 open, 1 run (Execute), 2 choose a folder, 3 save a report (".rep"
//   added, open reports protected, overwrite asked), 4 open (own XML),
//   5 save replacing (the writer replaces the file once the new one is
//   complete, so the old file is never deleted here), 6 open a menu file
//   (".MNU", must exist), 7 collect, 8 collect with a condition (checked
//   by running APPEND FROM ... FOR condition).
// The dialog never changes the process's current directory: it opens in
// the folder it should show.
//
// CFileFolderDialog picks many files at once with a taller list.
//
// Both run through a modal hook while one is installed, so tests answer
// them without an event loop: the hook fills in names and calls accept()
// or reject().

#include <QFileDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QLineEdit;

class CMyFileDlg : public QFileDialog {
    Q_OBJECT

public:
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    enum Mode : int {
        kOpen = 0,
        kRun = 1,
        kFolder = 2,
        kSaveReport = 3,
        kOpenXml = 4,
        kSaveReplace = 5,
        kOpenMenu = 6,
        kCollect = 7,
        kCollectWhere = 8,
    };

    // filter is in Qt's form ("Reports (*.rep);;All (*)"); SystemFilter
    // turns the "A|*.a|B|*.b||" form into it.
    CMyFileDlg(bool openFile, const QString& defaultExt = QString(),
               const QString& fileName = QString(), const QString& filter = QString(),
               QWidget* parent = nullptr);
    ~CMyFileDlg() override;

    // Before DoModal; 0..8 (anything else is taken as 0).
    void SetMode(int mode);
    int GetMode() const { return m_mode; }

    // Before DoModal: an open dialog that also accepts the name of a file
    // not there yet (a name without an extension gets the default one, or
    // the chosen type's).
    void SetNewNameAllowed(bool allowed) { m_newNameAllowed = allowed; }

    // The folder to open in (empty: the current report directory, else
    // the file name's folder).
    void SetInitialDir(const QString& dir) { m_initialDir = dir; }

    // Mode 2: the chosen folder.
    QString GetFolder() const { return m_folder; }

    // Sets the texts and extra controls, then runs the dialog (or the
    // hook): IDOK or IDCANCEL.
    int DoModal();
    // The accepted file (mode 2: the folder).
    QString GetPathName() const { return m_path; }

    // The extra controls: the folder edit (mode 2), the condition label
    // and edit (mode 8); null in other modes.
    QLineEdit* FolderEdit() const { return m_folderEdit; }
    QLabel* ConditionLabel() const { return m_conditionLabel; }
    QLineEdit* ConditionEdit() const { return m_conditionEdit; }
    // The file-name edit of the dialog.
    QLineEdit* FileNameEdit() const;

    // The folder of the last name accepted in any mode; dialogs without
    // their own folder open there.
    static QString CurrentReportDir();
    static void SetCurrentReportDir(const QString& dir);

    using ModalHook = std::function<void(CMyFileDlg&)>;
    static ModalHook SetModalHook(ModalHook hook);

    // The extension a Qt filter's first pattern names ("xlsx" for
    // "Book (*.xlsx)"); empty for "*", "*.*" or no pattern.
    static QString FilterExtension(const QString& qtFilter);
    // The filter with each "*.ext" pattern matching the extension in any
    // case ("*.[rR][eE][pP]"): names on this system are case-sensitive,
    // reports made elsewhere often are not lower case. The labels keep
    // the patterns as written, in full-width brackets.
    static QString CaseBlindFilter(const QString& qtFilter);
    // Where a file dialog starts: the report's folder when it has a path,
    // else the last folder a file was chosen in (kept in the profile),
    // else the home folder.
    static QString StartFolder(const QString& reportPath = QString());
    // name with its extension replaced by ext (added when it has none).
    static QString ReplaceExtension(const QString& name, const QString& ext);

public slots:
    void accept() override;
    void done(int code) override;

private:
    void setUpTexts();
    void setUpExtraControls();
    void onFilterSelected(int index);
    QString currentFilter() const;
    void onDirectoryEntered(const QString& dir);
    // The checks of OK; false keeps the dialog open. path may be amended.
    bool checkName(QString& path);
    bool checkSaveReport(QString& path);
    bool checkMenuFile(QString& path);
    bool checkCondition(const QString& path);

    int m_mode = kOpen;
    bool m_open = true;
    bool m_newNameAllowed = false;
    bool m_started = false;
    int m_result = 0;
    QString m_initialDir;
    QString m_initialName;
    QString m_path;
    QString m_folder;
    QString m_condition;
    QLineEdit* m_folderEdit = nullptr;
    QLabel* m_conditionLabel = nullptr;
    QLineEdit* m_conditionEdit = nullptr;
};

class CFileFolderDialog : public QFileDialog {
    Q_OBJECT

public:
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;
    // How much taller the file list is than the standard dialog's.
    static constexpr int kExtraHeight = 150;

    CFileFolderDialog(bool openFile, const QString& filter = QString(),
                      QWidget* parent = nullptr);

    int DoModal();
    // Walks the chosen files: 0 when there is none; GetNextPathName gives
    // the full path at pos and advances it (0 after the last).
    int GetStartPosition() const { return m_files.isEmpty() ? 0 : 1; }
    QString GetNextPathName(int& pos) const;
    QStringList Files() const { return m_files; }

    using ModalHook = std::function<void(CFileFolderDialog&)>;
    static ModalHook SetModalHook(ModalHook hook);
    // OK as the user presses it (for the modal hook).
    using QFileDialog::accept;

private:
    QStringList m_files;
};
