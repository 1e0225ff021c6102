#pragma once
// "区域作图": defines a chart over the selected cells — its type (ten
// picture buttons), how the data group, which pages and which page label,
// its name and titles, and the area itself as "B2:D6@7".

#include "dialogs/cqordialog.h"
#include "view/chartcmd_logic.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CAreaChartDlg : public CQorDialog, public qor::view::AreaChartDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 264, IDC_AREA = 1000, IDC_BY_COLUMNS = 1006, IDC_BY_ROWS = 1007,
                         IDC_CURRENT_PAGE = 1008, IDC_WHOLE_REPORT = 1009, IDC_TITLE = 1070,
                         IDC_XTITLE = 1071, IDC_YTITLE = 1072, IDC_NAME = 1080;
    static constexpr int IDC_FIRST_TYPE = 1081;  // 1081..1090: types 0..9
    // The six page-label radios, label kinds 0..5.
    static constexpr int kLabelIds[6] = {1010, 1011, 1093, 1094, 1095, 1096};

    explicit CAreaChartDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    // The picture of a chart type on its button.
    static QPixmap TypePicture(int type, QSize size);

public slots:
    void OnOK() override;

private:
    void selectType(int type);
    void enableLabels();

    QButtonGroup* m_group = nullptr;
    QButtonGroup* m_scope = nullptr;
    QButtonGroup* m_label = nullptr;
    QButtonGroup* m_types = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_xTitle = nullptr;
    QLineEdit* m_yTitle = nullptr;
    QLineEdit* m_areaEdit = nullptr;
};
