#pragma once
// The argument dialog of INDB: a data file, one of its tables and one of
// its fields, a record number and an optional condition. The file's
// tables and fields come through a small catalogue interface, so tests
// can answer in place of real files.

#include <QStringList>
#include <exception>
#include <memory>

#include "dialogs/cqordialog.h"
#include "dialogs/funcwizard_logic.h"

class CQorDB;
class CReaderApp;
class QComboBox;
class QLineEdit;

namespace qor {

// The tables and fields of a data file. Every call may throw; an empty
// list is a file that lists nothing.
class IDataFileCatalogue {
public:
    virtual ~IDataFileCatalogue() = default;
    virtual QStringList Tables(const QString& path) = 0;
    virtual QStringList Fields(const QString& path, const QString& table) = 0;
};

// The data files themselves (text, dBASE, Excel, Lotus, Access).
IDataFileCatalogue& DataFileCatalogue();
// The catalogue the dialogs use unless given their own; null restores the
// files'. Returns the one installed before.
IDataFileCatalogue* SetDataFileCatalogue(IDataFileCatalogue* catalogue);

// OK's checks: file name, field name, record number, in that order.
ArgCheck CheckReadFileData(const QString& file, const QString& field, const QString& record);

// An account set's line: "%s帐套%i年度" (62242) with its id and year.
QString AccountSetLine(const QString& id, int year);

}  // namespace qor

class CReadFileDataDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 330, IDC_FILE = 1000, IDC_BROWSE = 1029, IDC_TABLE = 1019,
                         IDC_FIELD = 1012, IDC_RECORD = 1051, IDC_CONDITION = 1036,
                         IDC_PREVIOUS = 1028;

    explicit CReadFileDataDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strFile;
    QString m_strCondition;
    QString m_strRecord;
    QString m_strField;
    QString m_strTable;
    QString m_strResolved;  // the file name made absolute by the last listing

public slots:
    void OnOK() override;
    void OnBrowse();
    void OnPrevious() { EndDialog(IDC_PREVIOUS); }
    // What leaving the file edit and the table box does.
    void ListTables();
    void ListFields();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_file = nullptr;
    QComboBox* m_table = nullptr;
    QComboBox* m_field = nullptr;
    QLineEdit* m_record = nullptr;
    QLineEdit* m_condition = nullptr;
};

// The argument dialog of INDBSQL: an account set, a system of the report
// data dictionary, one of its tables and one of its fields (by their
// definition texts), a record number and an optional condition. The
// tables and fields read are kept in the application's shared name
// lists.
class CReadDbDataDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 523, IDC_FIELD = 1012, IDC_TABLE = 1019, IDC_ACCOUNT_SET = 1020,
                         IDC_CATEGORY = 1021, IDC_RECORD = 1233, IDC_CONDITION = 1234;

    explicit CReadDbDataDlg(QWidget* parent = nullptr);
    ~CReadDbDataDlg() override;
    // Null: the environment's application.
    void SetApp(CReaderApp* app) { m_app = app; }
    bool OnInitDialog() override;

    QString m_strAccountSet;
    QString m_strTable;  // "[definition]"
    QString m_strField;  // "[definition]"
    QString m_strRecord;
    QString m_strCondition;

public slots:
    void OnOK() override;
    void OnCategoryChanged();
    void OnTableChanged();

private:
    CReaderApp& App();
    void Failed(const std::exception& e);

    CReaderApp* m_app = nullptr;
    std::unique_ptr<CQorDB> m_db;
    QComboBox* m_field = nullptr;
    QComboBox* m_table = nullptr;
    QComboBox* m_category = nullptr;
    QComboBox* m_accountSet = nullptr;
    QLineEdit* m_record = nullptr;
    QLineEdit* m_condition = nullptr;
};
