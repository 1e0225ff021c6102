#pragma once
// The argument dialog of INDB: a data file, one of its tables and one of
// its fields, a record number and an optional condition. The file's
// tables and fields come through a small catalogue interface, so tests
// can answer in place of real files.

#include <QStringList>

#include "dialogs/cqordialog.h"
#include "dialogs/funcwizard_logic.h"

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

}  // namespace qor

class CReadFileDataDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 330;
    static constexpr int IDC_FILE = 1000;
    static constexpr int IDC_BROWSE = 1029;
    static constexpr int IDC_TABLE = 1019;
    static constexpr int IDC_FIELD = 1012;
    static constexpr int IDC_RECORD = 1051;
    static constexpr int IDC_CONDITION = 1036;
    static constexpr int IDC_PREVIOUS = 1028;

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
