#pragma once
// The dialogs of the Format menu: cell style, table size, row height,
// column width, combined cells, variable area, table styles, area lines and
// page setup. The caller writes the members, runs DoModal and reads them
// after IDOK (the combine dialog: after any button but 放弃).

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

class CCellStyleDlg : public CQorDialog, public qor::CellStyleDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 199, IDC_WRAP = 1001;
    static constexpr int IDC_LEFT = 1006;  // 1006..1008 left, centre, right
    static constexpr int IDC_TOP = 1009;   // 1009..1011 top, centre, bottom
    static constexpr int IDC_FONT = 1019, IDC_STYLE = 1012, IDC_SIZE = 1020, IDC_FOREGROUND = 1021,
                         IDC_BACKGROUND = 1022, IDC_PATTERN = 1023, IDC_SAMPLE = 104;

    explicit CCellStyleDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    // The sample's text and look as the controls stand.
    void PaintSample(class QPainter& p, const class QRect& rect) const;

public slots:
    void OnOK() override;

private:
    void readControls();

    QCheckBox* m_wrap = nullptr;
    QButtonGroup* m_hAlign = nullptr;
    QButtonGroup* m_vAlign = nullptr;
    QComboBox* m_font = nullptr;
    QComboBox* m_style = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_foreground = nullptr;
    QComboBox* m_background = nullptr;
    QComboBox* m_pattern = nullptr;
    QWidget* m_sample = nullptr;
};

class CTableSizeDlg : public CQorDialog, public qor::TableSizeDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 144, IDC_ROWS = 1000, IDC_COLS = 1004, IDC_ROWS_SPIN = 1057,
                         IDC_COLS_SPIN = 1056;

    explicit CTableSizeDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_rows = nullptr;
    QLineEdit* m_cols = nullptr;
};

class CRowHeightDlg : public CQorDialog, public qor::RowHeightDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 146, IDC_AREA = 1000, IDC_MM = 1004, IDC_SPIN = 1057;

    explicit CRowHeightDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_area = nullptr;
    QLineEdit* m_mm = nullptr;
};

class CColWidthDlg : public CQorDialog, public qor::ColWidthDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 147, IDC_AREA = 1004, IDC_MM = 1000, IDC_SPIN = 1057;

    explicit CColWidthDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_area = nullptr;
    QLineEdit* m_mm = nullptr;
};

class CCombineCellsDlg : public CQorDialog, public qor::CombineCellsDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 189, IDC_AREA = 1000;

    explicit CCombineCellsDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void done(int code) override;

private:
    QLineEdit* m_area = nullptr;
};

class CSetVarAreaDlg : public CQorDialog, public qor::SetVarAreaDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 190, IDC_COUNT = 1000, IDC_SPIN = 1057, IDC_ROWS = 1006,
                         IDC_COLS = 1007;

    explicit CSetVarAreaDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_count = nullptr;
    QButtonGroup* m_kind = nullptr;
};

class CApplyFormatDlg : public CQorDialog, public qor::ApplyFormatDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 160, IDC_LIST = 1002, IDC_PREVIEW = 1069;

    explicit CApplyFormatDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QListWidget* m_list = nullptr;
    QWidget* m_preview = nullptr;
};

class CDrawLineDlg : public CQorDialog, public qor::DrawLineDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 145, IDC_STYLE = 1019;

    explicit CDrawLineDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QButtonGroup* m_type = nullptr;
    QComboBox* m_style = nullptr;
};

class CPageSetupDlg : public CQorDialog, public qor::PageSetupDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 326, IDC_HEADER = 1001, IDC_FOOTER = 1076, IDC_LEFT = 1053,
                         IDC_RIGHT = 1054, IDC_TOP = 1051, IDC_BOTTOM = 1052, IDC_SCALE = 1097,
                         IDC_SCALE_SPIN = 1057, IDC_HEADER_FIRST = 1000, IDC_HEADER_LAST = 1004,
                         IDC_FOOTER_FIRST = 1036, IDC_FOOTER_LAST = 1050, IDC_ROWS = 1006,
                         IDC_COLS = 1007;

    explicit CPageSetupDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    void showRanges();

    QCheckBox* m_header = nullptr;
    QCheckBox* m_footer = nullptr;
    QLineEdit* m_margins[4] = {};  // left, right, top, bottom
    QLineEdit* m_scale = nullptr;
    QLineEdit* m_range[4] = {};  // header first, last, footer first, last
    QRadioButton* m_rows = nullptr;
    QRadioButton* m_cols = nullptr;
};

namespace qor {
// The preview of a table style: the style applied to a small table in
// memory and painted with the view's pens and palette. Cached per style.
QImage TableStylePreview(int style);
}  // namespace qor
