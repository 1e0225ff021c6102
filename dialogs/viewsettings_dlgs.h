#pragma once
// The small setting dialogs of the sheet view, the main frame and the chart
// window: zoom, display style, common currency symbol and title font. Each
// is preloaded through its public members, run with DoModal and read back
// after IDOK; after Cancel the members are as they were.

#include "dialogs/cqordialog.h"
#include <QHash>

#include "view/displaystyle.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class CZoomDlg : public CQorDialog, public qor::view::ZoomDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 364, IDC_ZOOM = 1000, IDC_SPIN = 1057;

    explicit CZoomDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    // One spin step; delta as the spin reports it (non-negative lowers).
    void OnDeltaPos(int delta);
    void OnOK() override;


private:
    QLineEdit* m_edit = nullptr;
};

class CDisplayStyleDlg : public CQorDialog, public qor::view::DisplayStyleDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 388, IDC_HIDE_COLUMNS = 1001, IDC_HIDE_ROWS = 1076,
                         IDC_STANDARD_COLOURS = 1077, IDC_GRID = 1019;

    explicit CDisplayStyleDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;


private:
    QCheckBox* m_hideColumns = nullptr;
    QCheckBox* m_hideRows = nullptr;
    QCheckBox* m_standard = nullptr;
    QComboBox* m_grid = nullptr;
};

class CCurrencySymbolDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 392, IDC_SYMBOL = 1019;

    explicit CCurrencySymbolDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    int m_nIndex = -1;  // the common symbol index, -1: none chosen

public slots:
    void OnOK() override;


private:
    QComboBox* m_symbol = nullptr;
};

class CTitleFontDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 30724, IDC_FACE = 1019, IDC_SIZE = 1012, IDC_STYLE = 1021,
                         IDC_UNDERLINE = 1001, IDC_STRIKEOUT = 1076;

    explicit CTitleFontDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_faceName;  // empty: the system's face, size 9, no effects
    int m_nSize = 0;
    bool m_bItalic = false;
    bool m_bBold = false;
    bool m_bUnderline = false;
    bool m_bStrikeOut = false;

public slots:
    void OnOK() override;


private:
    QComboBox* m_face = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_style = nullptr;
    QCheckBox* m_underline = nullptr;
    QCheckBox* m_strikeOut = nullptr;
};
