#include "dialogs/ccellattrdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialogs/formatwidgets.h"
#include "engine/cellformat.h"
#include "engine/messages.h"
#include "engine/uifont.h"
#include "resources/stringtable.h"
#include "print/paint_style.h"

using namespace qor;

namespace {

// The font page's sample: the chosen font, style and size in the chosen
// colours over the chosen pattern.
class FontSample : public QWidget {
public:
    FontSample(CFontPatternPage* page, const QString& text) : QWidget(page), m_page(page) {
        m_text = text;
        setMinimumSize(200, 70);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        FontPatternPageMembers m = m_page->FromControls();
        if (m.m_nFont == -1 || m.m_nSize == -1) return;
        if (m.m_nStyle == -1) m.m_nStyle = 0;
        if (m.m_nForeground == -1) m.m_nForeground = kColourBlack;
        if (m.m_nBackground == -1) m.m_nBackground = kColourWhite;
        if (m.m_nPattern == -1) m.m_nPattern = 0;
        FontSampleLook look;
        look.font = m.m_nFont & 15;
        look.style = m.m_nStyle;
        look.size = m.m_nSize & 15;
        look.foreground = m.m_nForeground;
        look.background = m.m_nBackground;
        look.pattern = m.m_nPattern;
        look.centred = true;
        PaintFontSample(p, rect(), look, m_text);
    }

private:
    CFontPatternPage* m_page;
    QString m_text;
};

// The border page's preview: the eight lines of a two-by-two block of
// cells, mixed lines as a broad grey stroke.
class FramePreview : public QWidget {
public:
    explicit FramePreview(CFramePage* page) : QWidget(page), m_page(page) {
        setMinimumSize(160, 110);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        const QRect r = rect().adjusted(12, 12, -13, -13);
        const QPoint mid = r.center();
        const QColor face = palette().color(QPalette::Button);
        p.setPen(face);
        const int xs[3] = {r.left(), mid.x(), r.right()};
        const int ys[3] = {r.top(), mid.y(), r.bottom()};
        for (int x : xs)
            for (int y : ys) {
                // Marks outside the block where its lines meet.
                if (y == r.top()) p.drawLine(x, y - 4, x, y - 12);
                if (y == r.bottom()) p.drawLine(x, y + 4, x, y + 12);
                if (x == r.left()) p.drawLine(x - 4, y, x - 12, y);
                if (x == r.right()) p.drawLine(x + 4, y, x + 12, y);
            }
        const auto& l = m_page->Shown();
        const QLine lines[kFrameLineCount] = {
            {r.topLeft(), r.bottomLeft()},
            {r.topRight(), r.bottomRight()},
            {r.topLeft(), r.topRight()},
            {r.bottomLeft(), r.bottomRight()},
            {r.left(), mid.y(), r.right(), mid.y()},
            {mid.x(), r.top(), mid.x(), r.bottom()},
            {r.topLeft(), r.bottomRight()},
            {r.bottomLeft(), r.topRight()},
        };
        for (int i = 0; i < kFrameLineCount; ++i) {
            if (l[size_t(i)] == kLineNone) continue;
            const QPen pen =
                l[size_t(i)] == -1 ? QPen(face, 5) : view::CellLinePen(l[size_t(i)], false);
            if (pen.style() == Qt::NoPen) continue;
            p.setPen(pen);
            p.drawLine(lines[i]);
        }
    }

private:
    CFramePage* m_page;
};

}  // namespace

// ---- the pages' base

CCellAttrPage::CCellAttrPage(int templateId, QWidget* parent)
    : QWidget(parent), m_templateId(templateId) {}

QString CCellAttrPage::Caption() const {
    return res::templateCaption(m_templateId).value_or(QString());
}

bool CCellAttrPage::OnInitDialog() { return UpdateData(false); }

QString CCellAttrPage::ControlText(int id, const QString& fallback) const {
    const auto info = res::controlInfo(m_templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

// ---- cell type

CDataTypePage::CDataTypePage(QWidget* parent) : CCellAttrPage(IDD, parent) {
    m_types = Item(IDC_TYPE_LIST, new QListWidget(this));
    m_percent =
        Item(IDC_PERCENT,
             new QCheckBox(ControlText(IDC_PERCENT, LoadErrorText(qor::str::kCellAttrPercentCheck)),
                           this));
    m_thousands = Item(
        IDC_THOUSANDS,
        new QCheckBox(ControlText(IDC_THOUSANDS, LoadErrorText(qor::str::kCellAttrThousandsCheck)),
                      this));
    m_currency =
        Item(IDC_CURRENCY,
             new QCheckBox(
                 ControlText(IDC_CURRENCY, LoadErrorText(qor::str::kCellAttrCurrencyCheck)), this));
    m_decimals = Item(IDC_DECIMALS, new QSpinBox(this));
    Item(IDC_DECIMALS_SPIN, m_decimals);
    m_decimals->setRange(0, 7);
    auto* decimalsLabel = Item(
        IDC_DECIMALS_LABEL,
        new QLabel(ControlText(IDC_DECIMALS_LABEL, LoadErrorText(qor::str::kCellAttrDecimalsLabel)),
                   this));
    auto* formatGroup =
        Item(IDC_FORMAT_GROUP,
             new QGroupBox(
                 ControlText(IDC_FORMAT_GROUP, LoadErrorText(qor::str::kCellAttrNumberFormatGroup)),
                 this));
    auto* sampleGroup = Item(
        IDC_SAMPLE_GROUP,
        new QGroupBox(ControlText(IDC_SAMPLE_GROUP, LoadErrorText(qor::str::kCellAttrSampleGroup)),
                      this));
    m_sample = Item(IDC_SAMPLE, new QLabel(sampleGroup));

    auto* formatLayout = new QGridLayout(formatGroup);
    formatLayout->addWidget(m_percent, 0, 0);
    formatLayout->addWidget(m_thousands, 1, 0);
    formatLayout->addWidget(m_currency, 2, 0);
    formatLayout->addWidget(decimalsLabel, 3, 0);
    formatLayout->addWidget(m_decimals, 3, 1);
    auto* sampleLayout = new QVBoxLayout(sampleGroup);
    sampleLayout->addWidget(m_sample);
    auto* right = new QVBoxLayout;
    right->addWidget(formatGroup);
    right->addWidget(sampleGroup);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_types);
    layout->addLayout(right, 1);
    m_formatControls = {formatGroup, sampleGroup, m_sample,      m_thousands,
                        m_percent,   m_currency,  decimalsLabel, m_decimals};

    connect(m_types, &QListWidget::currentRowChanged, this, &CDataTypePage::OnTypeChanged);
    for (QCheckBox* c : {m_percent, m_thousands, m_currency})
        connect(c, &QCheckBox::toggled, this, &CDataTypePage::OnFormatChanged);
    connect(m_decimals, &QSpinBox::valueChanged, this, &CDataTypePage::OnFormatChanged);
}

bool CDataTypePage::OnInitDialog() {
    m_types->clear();
    m_types->addItems({LoadErrorText(qor::str::kNumberType), LoadErrorText(qor::str::kTextType),
                       LoadErrorText(qor::str::kCellAttrTemplateType)});
    const bool ok = UpdateData(false);
    OnFormatChanged();
    OnTypeChanged();
    return ok;
}

DataTypePageMembers CDataTypePage::fromControls() const {
    DataTypePageMembers m = *this;
    const int row = m_types->currentRow();
    m.m_nType = row >= 0 ? row + 1 : -1;
    m.m_nPercent = m_percent->isChecked();
    m.m_nThousands = m_thousands->isChecked();
    m.m_nCurrency = m_currency->isChecked();
    m.m_nDecimals = m_decimals->value();
    return m;
}

bool CDataTypePage::UpdateData(bool save) {
    if (save) {
        static_cast<DataTypePageMembers&>(*this) = fromControls();
        m_bApplied = 1;
        return true;
    }
    const QSignalBlocker block(m_types);
    m_types->setCurrentRow(m_nType >= 1 && m_nType <= m_types->count() ? m_nType - 1 : -1);
    if (m_nType == -1) m_types->clearSelection();
    m_percent->setChecked(m_nPercent > 0);
    m_thousands->setChecked(m_nThousands > 0);
    m_currency->setChecked(m_nCurrency > 0);
    m_decimals->setValue(m_nDecimals >= 0 && m_nDecimals <= 7 ? m_nDecimals : 2);
    OnTypeChanged();
    OnFormatChanged();
    return true;
}

QString CDataTypePage::SampleText() const { return CellAttrNumberSample(fromControls()); }

void CDataTypePage::OnTypeChanged() {
    const bool numeric = m_types->currentRow() == 0;
    for (QWidget* w : m_formatControls) w->setEnabled(numeric);
}

void CDataTypePage::OnFormatChanged() { m_sample->setText(SampleText()); }

// ---- font and pattern

CFontPatternPage::CFontPatternPage(QWidget* parent) : CCellAttrPage(IDD, parent) {
    m_font = Item(IDC_FONT, new QComboBox(this));
    for (const char* face : kCellFontFaces) m_font->addItem(QString::fromUtf8(face));
    m_style = Item(IDC_STYLE, new QComboBox(this));
    for (int i = 0; i < 8; ++i) m_style->addItem(LoadErrorText(qor::str::kFontStyleRegular + i));
    m_size = Item(IDC_SIZE, new QComboBox(this));
    for (int points : kFontSizePoints) m_size->addItem(QString::number(points));
    m_foreground = Item(IDC_FOREGROUND, new QComboBox(this));
    FillColourCombo(m_foreground);
    m_background = Item(IDC_BACKGROUND, new QComboBox(this));
    FillColourCombo(m_background);
    m_pattern = Item(IDC_PATTERN, new QComboBox(this));
    FillPatternCombo(m_pattern);
    m_sample =
        Item(IDC_SAMPLE,
             new FontSample(this,
                            ControlText(IDC_SAMPLE, LoadErrorText(qor::str::kCellAttrFontSample))));

    auto* form = new QGridLayout;
    const QComboBox* combos[] = {m_font, m_style, m_size, m_foreground, m_background, m_pattern};
    const int labels[] = {qor::str::kFont,
                          qor::str::kCellAttrFontStyleLabel,
                          qor::str::kCellAttrFontSizeLabel,
                          qor::str::kCellAttrForegroundLabel,
                          qor::str::kCellAttrBackgroundLabel,
                          qor::str::kCellAttrPatternLabel};
    const int ids[] = {IDC_FONT, IDC_STYLE, IDC_SIZE, IDC_FOREGROUND, IDC_BACKGROUND, IDC_PATTERN};
    for (int i = 0; i < 6; ++i) {
        form->addWidget(new QLabel(ControlText(ids[i], LoadErrorText(labels[i])), this), i, 0);
        form->addWidget(const_cast<QComboBox*>(combos[i]), i, 1);
        connect(combos[i], &QComboBox::currentIndexChanged, m_sample,
                qOverload<>(&QWidget::update));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_sample, 1);
}

FontPatternPageMembers CFontPatternPage::FromControls() const {
    FontPatternPageMembers m = *this;
    m.m_nFont = m_font->currentIndex();
    m.m_nStyle = m_style->currentIndex();
    m.m_nSize = m_size->currentIndex();
    m.m_nForeground = m_foreground->currentIndex();
    m.m_nBackground = m_background->currentIndex();
    m.m_nPattern = m_pattern->currentIndex();
    return m;
}

bool CFontPatternPage::UpdateData(bool save) {
    if (save) {
        static_cast<FontPatternPageMembers&>(*this) = FromControls();
        m_bApplied = 1;
        return true;
    }
    SelectComboIndex(m_font, m_nFont);
    SelectComboIndex(m_style, m_nStyle);
    SelectComboIndex(m_size, m_nSize);
    SelectComboIndex(m_foreground, m_nForeground);
    SelectComboIndex(m_background, m_nBackground);
    SelectComboIndex(m_pattern, m_nPattern);
    m_sample->update();
    return true;
}

// ---- alignment

CAlignPage::CAlignPage(QWidget* parent) : CCellAttrPage(IDD, parent) {
    const int hTexts[] = {qor::str::kCellAttrAlignAuto, qor::str::kCellAttrAlignLeft,
                          qor::str::kCellAttrAlignCenter, qor::str::kCellAttrAlignRight};
    const int vTexts[] = {qor::str::kCellAttrAlignAuto, qor::str::kCellAttrAlignTop,
                          qor::str::kCellAttrAlignCenter, qor::str::kCellAttrAlignBottom};
    auto* hBox = new QGroupBox(LoadErrorText(qor::str::kCellAttrHorizontalGroup), this);
    auto* vBox = new QGroupBox(LoadErrorText(qor::str::kCellAttrVerticalGroup), this);
    auto* hLayout = new QVBoxLayout(hBox);
    auto* vLayout = new QVBoxLayout(vBox);
    m_horizontal = new QButtonGroup(this);
    m_vertical = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* h = Item(IDC_HORIZONTAL[size_t(i)],
                       new QRadioButton(
                           ControlText(IDC_HORIZONTAL[size_t(i)], LoadErrorText(hTexts[i])), hBox));
        m_horizontal->addButton(h, i);
        hLayout->addWidget(h);
        auto* v = Item(
            IDC_VERTICAL[size_t(i)],
            new QRadioButton(ControlText(IDC_VERTICAL[size_t(i)], LoadErrorText(vTexts[i])), vBox));
        m_vertical->addButton(v, i);
        vLayout->addWidget(v);
    }
    m_wrap = Item(
        IDC_WRAP,
        new QCheckBox(ControlText(IDC_WRAP, LoadErrorText(qor::str::kCellAttrWrapCheck)), this));
    auto* note = new QLabel(LoadErrorText(qor::str::kCellAttrAlignAutoNote), this);
    note->setWordWrap(true);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(hBox);
    boxes->addWidget(vBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(boxes);
    layout->addWidget(m_wrap);
    layout->addWidget(note);
    layout->addStretch(1);
}

bool CAlignPage::OnInitDialog() {
    // Only a mixed wrap flag may stay undecided; once the user clicks it
    // the box is an ordinary one again.
    m_wrap->setTristate(m_nWrap == -1);
    return UpdateData(false);
}

namespace {

void checkButton(QButtonGroup* group, int32_t id) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(group->id(b) == id);
    group->setExclusive(true);
}

}  // namespace

bool CAlignPage::UpdateData(bool save) {
    if (save) {
        m_nHorizontal = m_horizontal->checkedId();
        m_nVertical = m_vertical->checkedId();
        const Qt::CheckState s = m_wrap->checkState();
        m_nWrap = s == Qt::PartiallyChecked ? -1 : s == Qt::Checked ? 1 : 0;
        m_bApplied = 1;
        return true;
    }
    checkButton(m_horizontal, m_nHorizontal);
    checkButton(m_vertical, m_nVertical);
    if (m_nWrap == -1) m_wrap->setTristate(true);
    m_wrap->setCheckState(m_nWrap == -1 ? Qt::PartiallyChecked
                          : m_nWrap > 0 ? Qt::Checked
                                        : Qt::Unchecked);
    return true;
}

// ---- border

namespace {

struct LineButton {
    int id;
    int twin;  // the template's second button of the same line, or 0
    int line;
    int text;      // string id of its label
    int row, col;  // place in the grid around the preview
};
// One button per line, each shown once: the outer lines and the inner
// horizontal line in a column beside the preview, the inner vertical line
// and the diagonals in a row beneath it, each where its line lies. The
// template's second buttons of the inner lines and diagonals act on the
// same lines, so their ids lead to the one button shown for that line.
// The preview sits at rows 0-2, column 1-3.
constexpr LineButton kLineButtons[] = {
    {2036, 0, kFrameTop, qor::str::kCellAttrFrameTopButton, 0, 0},
    {2040, 2041, kFrameInnerHorizontal, qor::str::kCellAttrFrameInnerHorizontalButton, 1, 0},
    {2035, 0, kFrameBottom, qor::str::kCellAttrFrameBottomButton, 2, 0},
    {2045, 2047, kFrameFallingDiagonal, qor::str::kCellAttrFrameFallingDiagonalButton, 3, 0},
    {2039, 0, kFrameLeft, qor::str::kCellAttrFrameLeftButton, 3, 1},
    {2042, 2043, kFrameInnerVertical, qor::str::kCellAttrFrameInnerVerticalButton, 3, 2},
    {2037, 0, kFrameRight, qor::str::kCellAttrFrameRightButton, 3, 3},
    {2044, 2046, kFrameRisingDiagonal, qor::str::kCellAttrFrameRisingDiagonalButton, 3, 4},
};

}  // namespace

CFramePage::CFramePage(QWidget* parent) : CCellAttrPage(IDD, parent) {
    m_styles = Item(IDC_LINE_STYLES, new QListWidget(this));
    FillLineStyleList(m_styles);
    m_styles->setCurrentRow(kLineThin);

    auto* frame = Item(
        IDC_PREVIEW_FRAME,
        new QGroupBox(
            ControlText(IDC_PREVIEW_FRAME, LoadErrorText(qor::str::kCellAttrFramePreviewGroup)),
            this));
    m_preview = Item(IDC_PREVIEW, new FramePreview(this));
    auto* frameLayout = new QGridLayout(frame);
    frameLayout->addWidget(m_preview, 0, 1, 3, 3);
    for (const LineButton& b : kLineButtons) {
        auto* button = Item(b.id, new QPushButton(ControlText(b.id, LoadErrorText(b.text)), frame));
        if (b.twin) Bind(b.twin, button);
        frameLayout->addWidget(button, b.row, b.col);
        const int line = b.line;
        connect(button, &QPushButton::clicked, this, [this, line] { OnLineButton(line); });
    }
    frameLayout->setColumnStretch(2, 1);
    frameLayout->setRowStretch(1, 1);
    auto* outer =
        Item(IDC_OUTER,
             new QPushButton(
                 ControlText(IDC_OUTER, LoadErrorText(qor::str::kCellAttrOuterFrameButton)), this));
    auto* inner =
        Item(IDC_INNER,
             new QPushButton(
                 ControlText(IDC_INNER, LoadErrorText(qor::str::kCellAttrInnerFrameButton)), this));
    auto* none =
        Item(IDC_NONE,
             new QPushButton(ControlText(IDC_NONE, LoadErrorText(qor::str::kCellAttrNoFrameButton)),
                             this));
    connect(outer, &QPushButton::clicked, this, &CFramePage::OnOuter);
    connect(inner, &QPushButton::clicked, this, &CFramePage::OnInner);
    connect(none, &QPushButton::clicked, this, &CFramePage::OnNone);

    auto* presets = new QHBoxLayout;
    presets->addWidget(outer);
    presets->addWidget(inner);
    presets->addWidget(none);
    auto* left = new QVBoxLayout;
    left->addLayout(presets);
    left->addWidget(frame, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(m_styles);
}

bool CFramePage::OnInitDialog() {
    m_styles->setCurrentRow(kLineThin);
    return UpdateData(false);
}

bool CFramePage::UpdateData(bool save) {
    if (save) {
        m_nLines = m_shown;
        m_bApplied = 1;
        return true;
    }
    m_shown = m_nLines;
    m_preview->update();
    return true;
}

int CFramePage::SelectedStyle() const {
    const int row = m_styles->currentRow();
    return row >= 0 ? row : kLineNone;
}

void CFramePage::OnLineButton(int line) {
    FramePageMembers m;
    m.m_nLines = m_shown;
    ToggleFrameLine(m, line, SelectedStyle());
    m_shown = m.m_nLines;
    m_preview->update();
}

void CFramePage::OnOuter() {
    FramePageMembers m;
    m.m_nLines = m_shown;
    SetOuterFrame(m, SelectedStyle());
    m_shown = m.m_nLines;
    m_preview->update();
}

void CFramePage::OnInner() {
    FramePageMembers m;
    m.m_nLines = m_shown;
    SetInnerFrame(m, SelectedStyle());
    m_shown = m.m_nLines;
    m_preview->update();
}

void CFramePage::OnNone() {
    m_shown.fill(kLineNone);
    m_preview->update();
}

// ---- the sheet

CCellAttrDlg::CCellAttrDlg(const QString& caption, QWidget* parent, int selectPage)
    : CQorDialog(parent, 233), m_selectPage(selectPage) {
    setWindowTitle(caption);
    m_tabs = new QTabWidget(this);
    for (CCellAttrPage* page : std::initializer_list<CCellAttrPage*>{
             &m_dataTypePage, &m_fontPatternPage, &m_alignPage, &m_framePage})
        m_tabs->addTab(page, page->Caption());

    // Changes take effect only with OK: no Apply, and no Help to give.
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(LoadErrorText(qor::str::kOkButton), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(LoadErrorText(qor::str::kCancelButton), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CCellAttrDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CCellAttrDlg::onCurrentChanged);
}

CCellAttrDlg::~CCellAttrDlg() {
    // The pages are members and die before the tab widget: without this,
    // each page's death would switch tabs and read back a page that is
    // half destroyed.
    disconnect(m_tabs, nullptr, this, nullptr);
    m_active = nullptr;
    for (CCellAttrPage* page : std::initializer_list<CCellAttrPage*>{
             &m_dataTypePage, &m_fontPatternPage, &m_alignPage, &m_framePage}) {
        const int index = m_tabs->indexOf(page);
        if (index >= 0) m_tabs->removeTab(index);
        page->setParent(nullptr);
    }
}

void CCellAttrDlg::RemovePages(int mask) {
    const std::pair<int, CCellAttrPage*> bits[] = {{kRemoveDataType, &m_dataTypePage},
                                                   {kRemoveAlign, &m_alignPage},
                                                   {kRemoveFontPattern, &m_fontPatternPage},
                                                   {kRemoveFrame, &m_framePage}};
    for (const auto& [bit, page] : bits) {
        if (!(mask & bit)) continue;
        const int index = m_tabs->indexOf(page);
        if (index >= 0) m_tabs->removeTab(index);
        page->hide();
    }
}

bool CCellAttrDlg::OnInitDialog() {
    m_seen.clear();
    m_active = nullptr;
    for (int i = 0; i < m_tabs->count(); ++i)
        if (auto* page = qobject_cast<CCellAttrPage*>(m_tabs->widget(i))) page->OnInitDialog();
    const int start = m_selectPage >= 0 && m_selectPage < m_tabs->count() ? m_selectPage : 0;
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(start);
    }
    m_active = qobject_cast<CCellAttrPage*>(m_tabs->currentWidget());
    if (m_active) m_seen.append(m_active);
    return true;
}

void CCellAttrDlg::onCurrentChanged(int index) {
    // Leaving a page reads it back: what the user saw there is applied.
    if (m_active) m_active->UpdateData(true);
    m_active = qobject_cast<CCellAttrPage*>(m_tabs->widget(index));
    if (m_active && !m_seen.contains(m_active)) m_seen.append(m_active);
}

void CCellAttrDlg::OnOK() {
    for (CCellAttrPage* page : m_seen) page->UpdateData(true);
    EndDialog(IDOK);
}

void CCellAttrDlg::SetMembers(const CellAttrMembers& m) {
    static_cast<DataTypePageMembers&>(m_dataTypePage) = m.dataType;
    static_cast<FontPatternPageMembers&>(m_fontPatternPage) = m.fontPattern;
    static_cast<AlignPageMembers&>(m_alignPage) = m.align;
    static_cast<FramePageMembers&>(m_framePage) = m.frame;
}

CellAttrMembers CCellAttrDlg::GetMembers() const {
    CellAttrMembers m;
    m.dataType = m_dataTypePage;
    m.fontPattern = m_fontPatternPage;
    m.align = m_alignPage;
    m.frame = m_framePage;
    return m;
}
