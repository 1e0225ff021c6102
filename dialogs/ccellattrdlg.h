#pragma once
// The cell attribute sheet: cell type and number format, font and
// pattern, alignment, border. The caller writes the pages' public members
// (GatherCellAttr gives them), runs DoModal and, after IDOK, writes back
// the pages whose IsApplied is set (ApplyCellAttr). A page is applied once
// its controls were read back: when the user left it, or pressed OK after
// having seen it.

#include "dialogs/cqordialog.h"
#include <QHash>
#include <array>

#include "view/cellattr_model.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;

// What the four pages share: a template, controls by id, the exchange.
class CCellAttrPage : public QWidget, public CDlgItems {
    Q_OBJECT

public:
    CCellAttrPage(int templateId, QWidget* parent);
    int TemplateId() const { return m_templateId; }
    // The template's caption, the page's tab text.
    QString Caption() const;
    // Members to controls once, before the page is first shown.
    virtual bool OnInitDialog();
    // true: controls to members (and the page counts as applied); false:
    // members to controls.
    virtual bool UpdateData(bool saveAndValidate = true) = 0;

protected:
    // The control's caption in the template, else the given text.
    QString ControlText(int id, const QString& fallback) const;
    template <class W>
    W* Item(int id, W* w) {
        w->setObjectName(QStringLiteral("ctl%1").arg(id));
        return Bind(id, w);
    }

private:
    int m_templateId;
};

class CDataTypePage : public CCellAttrPage, public qor::DataTypePageMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 502, IDC_TYPE_LIST = 2007, IDC_DECIMALS = 2010,
                         IDC_DECIMALS_SPIN = 2057, IDC_THOUSANDS = 2027, IDC_DECIMALS_LABEL = 2028,
                         IDC_SAMPLE = 2029, IDC_CURRENCY = 2031, IDC_PERCENT = 2076,
                         IDC_FORMAT_GROUP = 2026, IDC_SAMPLE_GROUP = 2106;

    explicit CDataTypePage(QWidget* parent = nullptr);
    int IsApplied() const { return m_bApplied; }
    bool OnInitDialog() override;
    bool UpdateData(bool saveAndValidate = true) override;
    // The sample's text as the controls stand.
    QString SampleText() const;

public slots:
    void OnTypeChanged();
    void OnFormatChanged();

private:
    qor::DataTypePageMembers fromControls() const;
    QListWidget* m_types = nullptr;
    QCheckBox* m_percent = nullptr;
    QCheckBox* m_thousands = nullptr;
    QCheckBox* m_currency = nullptr;
    QSpinBox* m_decimals = nullptr;
    QLabel* m_sample = nullptr;
    QList<QWidget*> m_formatControls;
};

class CFontPatternPage : public CCellAttrPage, public qor::FontPatternPageMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 503, IDC_STYLE = 2012, IDC_FONT = 2014, IDC_SIZE = 2020,
                         IDC_FOREGROUND = 2021, IDC_BACKGROUND = 2022, IDC_PATTERN = 2023,
                         IDC_SAMPLE = 2092;

    explicit CFontPatternPage(QWidget* parent = nullptr);
    int IsApplied() const { return m_bApplied; }
    bool UpdateData(bool saveAndValidate = true) override;
    // The members as the controls stand (no control selected: -1).
    qor::FontPatternPageMembers FromControls() const;

private:
    QComboBox* m_font = nullptr;
    QComboBox* m_style = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_foreground = nullptr;
    QComboBox* m_background = nullptr;
    QComboBox* m_pattern = nullptr;
    QWidget* m_sample = nullptr;
};

class CAlignPage : public CCellAttrPage, public qor::AlignPageMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 504;
    // Horizontal: automatic, left, centre, right.
    static constexpr std::array<int, 4> IDC_HORIZONTAL{2082, 2079, 2078, 2080};
    // Vertical: automatic, top, centre, bottom.
    static constexpr std::array<int, 4> IDC_VERTICAL{2083, 2009, 2010, 2011};
    static constexpr int IDC_WRAP = 2081;

    explicit CAlignPage(QWidget* parent = nullptr);
    int IsApplied() const { return m_bApplied; }
    bool OnInitDialog() override;
    bool UpdateData(bool saveAndValidate = true) override;

private:
    QButtonGroup* m_horizontal = nullptr;
    QButtonGroup* m_vertical = nullptr;
    QCheckBox* m_wrap = nullptr;
};

class CFramePage : public CCellAttrPage, public qor::FramePageMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 505, IDC_PREVIEW = 1184, IDC_PREVIEW_FRAME = 2038,
                         IDC_LINE_STYLES = 2021, IDC_OUTER = 2020, IDC_INNER = 2023,
                         IDC_NONE = 2024;

    explicit CFramePage(QWidget* parent = nullptr);
    int IsApplied() const { return m_bApplied; }
    bool OnInitDialog() override;
    bool UpdateData(bool saveAndValidate = true) override;
    // The chosen line style (0..7).
    int SelectedStyle() const;
    // The lines as the preview shows them.
    const std::array<int32_t, qor::kFrameLineCount>& Shown() const { return m_shown; }

public slots:
    void OnLineButton(int line);
    void OnOuter();
    void OnInner();
    void OnNone();

private:
    QListWidget* m_styles = nullptr;
    QWidget* m_preview = nullptr;
    std::array<int32_t, qor::kFrameLineCount> m_shown{};
};

class CCellAttrDlg : public CQorDialog {
    Q_OBJECT

public:
    // RemovePages bits.
    static constexpr int kRemoveDataType = 1;
    static constexpr int kRemoveAlign = 2;
    static constexpr int kRemoveFontPattern = 4;
    static constexpr int kRemoveFrame = 8;

    // The command passes the text of string 63137 and page 0.
    CCellAttrDlg(const QString& caption, QWidget* parent = nullptr, int selectPage = 0);
    ~CCellAttrDlg() override;

    void RemovePages(int mask);
    // What DoModal does before the sheet shows: every page shows its
    // members, the selected page counts as seen.
    bool OnInitDialog() override;
    // Reads back every page the user has seen, then closes with IDOK.
    void OnOK() override;

    // All four pages' members at once.
    void SetMembers(const qor::CellAttrMembers& m);
    qor::CellAttrMembers GetMembers() const;

    QTabWidget* Tabs() const { return m_tabs; }
    QPushButton* OkButton() const { return m_ok; }

    // Constructed in this order; shown as cell type, font and pattern,
    // alignment, border.
    CAlignPage m_alignPage;
    CFontPatternPage m_fontPatternPage;
    CFramePage m_framePage;
    CDataTypePage m_dataTypePage;

private:
    void onCurrentChanged(int index);
    QTabWidget* m_tabs = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_selectPage = 0;
    CCellAttrPage* m_active = nullptr;
    QList<CCellAttrPage*> m_seen;
};
