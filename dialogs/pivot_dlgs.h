#pragma once
// The pivot dialogs: the areas and labels of 多区域透视, and the grid that
// BROWSE shows with its 保存 into a new report.

#include "dialogs/cqordialog.h"
#include "dialogs/pivot_logic.h"
#include "document/cmd_dialogs.h"

class QLineEdit;
class QTableView;

class CMultiPivotDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 442, IDC_AREAS = 1000, IDC_LABELS = 1004;

    explicit CMultiPivotDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strAreas;
    QString m_strLabels;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_areas = nullptr;
    QLineEdit* m_labels = nullptr;
};

class CPivotDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 397, IDC_GRID = 1103, IDC_SAVE = 1104;

    explicit CPivotDlg(qor::PivotGrid grid, QWidget* parent = nullptr);
    const qor::PivotGrid& Grid() const { return m_grid; }

public slots:
    void OnSave();

private:
    qor::PivotGrid m_grid;
    QTableView* m_view = nullptr;
};

namespace qor {

// Shows the pivot for BROWSE in the interpreter of this program.
void InstallPivotDialog(QWidget* parent);

}  // namespace qor
