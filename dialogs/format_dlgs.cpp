#include "dialogs/format_dlgs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "dialogs/dlgexchange.h"
#include "dialogs/editformat_logic.h"
#include "dialogs/formatwidgets.h"
#include "engine/cellformat.h"
#include "engine/format_areas.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "engine/textutil.h"
#include "print/paint_style.h"

using namespace qor;

namespace {

// A widget that paints through a function.
class PaintBox : public QWidget {
public:
    PaintBox(QWidget* parent, std::function<void(QPainter&, const QRect&)> paint)
        : QWidget(parent), m_paint(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        m_paint(p, rect());
    }

private:
    std::function<void(QPainter&, const QRect&)> m_paint;
};

QString areaText(const DlgArea& a) {
    QString text;
    FormatAreaRef(a.firstCol, a.firstRow, a.lastCol, a.lastRow, &text);
    return text;
}

QLineEdit* readOnlyEdit(CQorDialog* dlg, int id) {
    auto* e = dlg->Bind(id, new QLineEdit(dlg));
    e->setReadOnly(true);
    return e;
}

// An edit with its spin in one row.
QHBoxLayout* withSpin(CQorDialog* dlg, QLineEdit* edit, int spinId,
                      std::function<QString(const QString&, int)> step) {
    auto* row = new QHBoxLayout;
    row->setSpacing(1);
    row->addWidget(edit);
    row->addWidget(AttachSpin(dlg, spinId, edit, std::move(step)));
    return row;
}

std::function<QString(const QString&, int)> intStepper(int low, int high) {
    return [low, high](const QString& text, int delta) {
        return QString::number(stepSpin(text.trimmed().toInt(), delta, low, high));
    };
}

}  // namespace

// ---- CCellStyleDlg --------------------------------------------------------

CCellStyleDlg::CCellStyleDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kCellStyleTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_font = Bind(IDC_FONT, new QComboBox(this));
    // One entry per distinct face, in font-table order.
    QStringList faces;
    for (const char* face : kCellFontFaces)
        if (!faces.contains(QString::fromUtf8(face))) faces << QString::fromUtf8(face);
    m_font->addItems(faces);
    m_style = Bind(IDC_STYLE, new QComboBox(this));
    for (int i = 0; i < 8; ++i) m_style->addItem(LoadErrorText(qor::str::kFontStyleRegular + i));
    m_size = Bind(IDC_SIZE, new QComboBox(this));
    for (int points : kFontSizePoints) m_size->addItem(QString::number(points));
    m_foreground = Bind(IDC_FOREGROUND, new QComboBox(this));
    FillColourCombo(m_foreground);
    m_background = Bind(IDC_BACKGROUND, new QComboBox(this));
    FillColourCombo(m_background);
    m_pattern = Bind(IDC_PATTERN, new QComboBox(this));
    FillPatternCombo(m_pattern);
    AddDlgRow(grid, LoadErrorText(qor::str::kFont), m_font);
    AddDlgRow(grid, LoadErrorText(qor::str::kFontStyleLabel), m_style);
    AddDlgRow(grid, LoadErrorText(qor::str::kFontSizeLabel), m_size);
    AddDlgRow(grid, LoadErrorText(qor::str::kForegroundColorLabel), m_foreground);
    AddDlgRow(grid, LoadErrorText(qor::str::kBackgroundColorLabel), m_background);
    AddDlgRow(grid, LoadErrorText(qor::str::kPatternLabel), m_pattern);

    auto* alignBox = new QGroupBox(LoadErrorText(qor::str::kAlignment), this);
    auto* alignGrid = new QGridLayout(alignBox);
    const int hNames[3] = {qor::str::kAlignLeftButton, qor::str::kAlignCenterButton,
                           qor::str::kAlignRightButton};
    const int vNames[3] = {qor::str::kAlignTopButton, qor::str::kAlignCenterButton,
                           qor::str::kAlignBottomButton};
    m_hAlign = new QButtonGroup(this);
    m_vAlign = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* h = Bind(IDC_LEFT + i, new QPushButton(LoadErrorText(hNames[i]), alignBox));
        auto* v = Bind(IDC_TOP + i, new QPushButton(LoadErrorText(vNames[i]), alignBox));
        for (QPushButton* b : {h, v}) {
            b->setCheckable(true);
            b->setAutoDefault(false);
        }
        m_hAlign->addButton(h, i + 1);
        m_vAlign->addButton(v, i + 1);
        alignGrid->addWidget(h, 0, i);
        alignGrid->addWidget(v, 1, i);
    }
    m_wrap = Bind(IDC_WRAP, new QCheckBox(LoadErrorText(qor::str::kWrapTextInCellCheck), this));
    m_sample = Bind(IDC_SAMPLE,
                    new PaintBox(this, [this](QPainter& p, const QRect& r) { PaintSample(p, r); }));
    m_sample->setMinimumSize(220, 80);

    auto* top = new QHBoxLayout;
    top->addLayout(grid);
    auto* right = new QVBoxLayout;
    right->addWidget(alignBox);
    right->addWidget(m_wrap);
    right->addWidget(m_sample, 1);
    top->addLayout(right, 1);
    layout->addLayout(top);
    AddDlgButtons(this, layout);

    const auto changed = [this] {
        readControls();
        m_sample->update();
    };
    for (QComboBox* c : {m_font, m_style, m_size, m_foreground, m_background, m_pattern})
        connect(c, &QComboBox::activated, this, changed);
    connect(m_pattern, &QComboBox::activated, this, [this] {
        if (QWidget* ok = GetDlgItem(IDOK)) ok->setFocus();
    });
    connect(m_hAlign, &QButtonGroup::idClicked, this, changed);
    connect(m_vAlign, &QButtonGroup::idClicked, this, changed);
    connect(m_wrap, &QCheckBox::toggled, this, changed);
}

bool CCellStyleDlg::OnInitDialog() {
    // Nothing checked for automatic (0) or mixed (-1) alignment.
    m_hAlign->setExclusive(false);
    m_vAlign->setExclusive(false);
    for (QAbstractButton* b : m_hAlign->buttons()) b->setChecked(m_hAlign->id(b) == hAlign);
    for (QAbstractButton* b : m_vAlign->buttons()) b->setChecked(m_vAlign->id(b) == vAlign);
    m_hAlign->setExclusive(true);
    m_vAlign->setExclusive(true);
    m_wrap->setChecked(wordWrap == 1);
    // The face combo lists each face once: select by face.
    m_font->setCurrentIndex(
        CellStyleDlgMembers::font >= 0 && CellStyleDlgMembers::font < 16
            ? m_font->findText(QString::fromUtf8(kCellFontFaces[CellStyleDlgMembers::font]))
            : -1);
    SelectComboIndex(m_style, fontStyle);
    SelectComboIndex(m_size, fontSize);
    SelectComboIndex(m_foreground, foreColor);
    SelectComboIndex(m_background, backColor);
    SelectComboIndex(m_pattern, pattern);
    return true;
}

void CCellStyleDlg::readControls() {
    if (m_hAlign->checkedId() > 0) hAlign = m_hAlign->checkedId();
    if (m_vAlign->checkedId() > 0) vAlign = m_vAlign->checkedId();
    if (m_font->currentIndex() >= 0) {
        const QString face = m_font->currentText();
        CellStyleDlgMembers::font = 0;
        for (int i = 0; i < 16; ++i)
            if (face == QString::fromUtf8(kCellFontFaces[i])) {
                CellStyleDlgMembers::font = i;
                break;
            }
    }
    if (m_style->currentIndex() >= 0) fontStyle = m_style->currentIndex();
    if (m_size->currentIndex() >= 0) fontSize = m_size->currentIndex();
    if (m_foreground->currentIndex() >= 0) foreColor = m_foreground->currentIndex();
    if (m_background->currentIndex() >= 0) backColor = m_background->currentIndex();
    if (m_pattern->currentIndex() >= 0) pattern = m_pattern->currentIndex();
    // A mixed wrap stays mixed until the box is touched.
    if (wordWrap != -1 || m_wrap->isChecked()) wordWrap = m_wrap->isChecked() ? 1 : 0;
}

void CCellStyleDlg::PaintSample(QPainter& p, const QRect& rect) const {
    FontSampleLook s;
    s.font = CellStyleDlgMembers::font;
    s.style = fontStyle;
    s.size = fontSize;
    s.foreground = foreColor;
    s.background = backColor;
    s.pattern = pattern;
    s.hAlign = hAlign;
    s.vAlign = vAlign;
    s.wrap = m_wrap->isChecked();
    PaintFontSample(p, rect, s, LoadErrorText(qor::str::kSampleText));
}

void CCellStyleDlg::OnOK() {
    readControls();
    EndDialog(IDOK);
}

// ---- CTableSizeDlg --------------------------------------------------------

CTableSizeDlg::CTableSizeDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kTableSizeTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_rows = Bind(IDC_ROWS, new QLineEdit(this));
    m_cols = Bind(IDC_COLS, new QLineEdit(this));
    grid->addWidget(new QLabel(LoadErrorText(qor::str::kRowCountLabel), this), 0, 0);
    grid->addLayout(withSpin(this, m_rows, IDC_ROWS_SPIN, intStepper(1, kMaxTableRows)), 0, 1);
    grid->addWidget(new QLabel(LoadErrorText(qor::str::kColumnCountLabel), this), 1, 0);
    grid->addLayout(withSpin(this, m_cols, IDC_COLS_SPIN, intStepper(1, kMaxTableCols)), 1, 1);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CTableSizeDlg::OnInitDialog() {
    m_rows->setText(QString::number(rows));
    m_cols->setText(QString::number(cols));
    return true;
}

void CTableSizeDlg::OnOK() {
    if (RefuseOn(this, CheckTableSize(m_rows->text(), m_cols->text(), this))) return;
    EndDialog(IDOK);
}

// ---- CRowHeightDlg / CColWidthDlg -----------------------------------------

namespace {

// The row-height and column-width dialogs: the area and one size in
// millimetres with its spin.
struct MmSizeControls {
    int areaId, mmId, spinId, maxMm;
    QString label;
};

void buildMmSizeDialog(CQorDialog* dlg, const MmSizeControls& c, QLineEdit** area, QLineEdit** mm) {
    auto* layout = new QVBoxLayout(dlg);
    auto* grid = new QGridLayout;
    *area = readOnlyEdit(dlg, c.areaId);
    *mm = dlg->Bind(c.mmId, new QLineEdit(dlg));
    grid->addWidget(new QLabel(LoadErrorText(qor::str::kAreaLabel), dlg), 0, 0);
    grid->addWidget(*area, 0, 1);
    grid->addWidget(new QLabel(c.label, dlg), 1, 0);
    grid->addLayout(withSpin(dlg, *mm, c.spinId, intStepper(0, c.maxMm)), 1, 1);
    layout->addLayout(grid);
    AddDlgButtons(dlg, layout);
}

}  // namespace

CRowHeightDlg::CRowHeightDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kRowHeight)));
    buildMmSizeDialog(
        this,
        {IDC_AREA, IDC_MM, IDC_SPIN, kMaxRowHeightMm, LoadErrorText(qor::str::kRowHeightMmLabel)},
        &m_area, &m_mm);
}

bool CRowHeightDlg::OnInitDialog() {
    m_area->setText(areaText(area));
    m_mm->setText(QString::number(heightMm));
    return true;
}

void CRowHeightDlg::OnOK() {
    if (RefuseOn(this, CheckRowHeight(m_mm->text(), this))) return;
    EndDialog(IDOK);
}

CColWidthDlg::CColWidthDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kColumnWidth)));
    buildMmSizeDialog(
        this,
        {IDC_AREA, IDC_MM, IDC_SPIN, kMaxColWidthMm, LoadErrorText(qor::str::kColumnWidthMmLabel)},
        &m_area, &m_mm);
}

bool CColWidthDlg::OnInitDialog() {
    m_area->setText(areaText(area));
    m_mm->setText(QString::number(widthMm));
    return true;
}

void CColWidthDlg::OnOK() {
    if (RefuseOn(this, CheckColWidth(m_mm->text(), this))) return;
    EndDialog(IDOK);
}

// ---- CCombineCellsDlg -----------------------------------------------------

CCombineCellsDlg::CCombineCellsDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kCombineCellsTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_area = readOnlyEdit(this, IDC_AREA);
    row->addWidget(new QLabel(LoadErrorText(qor::str::kSelectedAreaLabel), this));
    row->addWidget(m_area);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto* whole = DlgButton(this, IDOK, LoadErrorText(qor::str::kCombineWholeButton));
    whole->setDefault(true);
    buttons->addWidget(whole);
    const std::pair<int, int> more[] = {{kCombineByRows, qor::str::kCombineByRowsButton},
                                        {kCombineByCols, qor::str::kCombineByColumnsButton},
                                        {kCombineUndo, qor::str::kUndoCombineButton}};
    for (const auto& [id, text] : more) {
        auto* b = DlgButton(this, id, LoadErrorText(text));
        connect(b, &QPushButton::clicked, this, [this, id = id] { EndDialog(id); });
        buttons->addWidget(b);
    }
    buttons->addWidget(DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kDiscardButton)));
    layout->addLayout(buttons);
}

bool CCombineCellsDlg::OnInitDialog() {
    m_area->setText(areaText(area));
    return true;
}

void CCombineCellsDlg::done(int code) {
    CQorDialog::done(code);
    CombineCellsDlgMembers::result = Result();
}

// ---- CSetVarAreaDlg -------------------------------------------------------

CSetVarAreaDlg::CSetVarAreaDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kSetVariableAreaAction)));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_count = Bind(IDC_COUNT, new QLineEdit(this));
    row->addWidget(new QLabel(LoadErrorText(qor::str::kQuantityLabel), this));
    // Raising has no stop of its own: OK checks the count.
    row->addLayout(withSpin(this, m_count, IDC_SPIN, intStepper(1, 1 << 30)));
    layout->addLayout(row);
    auto* kinds = new QHBoxLayout;
    m_kind = new QButtonGroup(this);
    auto* rows =
        Bind(IDC_ROWS, new QRadioButton(LoadErrorText(qor::str::kRowsVariableRadio), this));
    auto* cols =
        Bind(IDC_COLS, new QRadioButton(LoadErrorText(qor::str::kColumnsVariableRadio), this));
    m_kind->addButton(rows, 0);
    m_kind->addButton(cols, 1);
    kinds->addWidget(rows);
    kinds->addWidget(cols);
    layout->addLayout(kinds);
    AddDlgButtons(this, layout);
}

bool CSetVarAreaDlg::OnInitDialog() {
    m_count->setText(QString::number(count));
    m_kind->button(kind == 1 ? 1 : 0)->setChecked(true);
    return true;
}

void CSetVarAreaDlg::OnOK() {
    if (RefuseOn(this, CheckSetVarArea(m_count->text(), m_kind->checkedId(), this))) return;
    EndDialog(IDOK);
}

// ---- CApplyFormatDlg ------------------------------------------------------

QImage qor::TableStylePreview(int style) {
    static QImage cache[kTableStyleCount];
    if (style < 0 || style >= kTableStyleCount) return {};
    QImage& img = cache[style];
    if (!img.isNull()) return img;
    constexpr int kRows = 5, kCols = 4, kCellW = 40, kCellH = 18, kMargin = 8;
    ReportFormat f = ReportFormat::newReport();
    applyTableStyle(f, AreaRecord{1, 1, kRows, kCols}, style);
    img = QImage(kCols * kCellW + 2 * kMargin, kRows * kCellH + 2 * kMargin, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const auto cell = [&](int r, int c) {
        return QRect(kMargin + (c - 1) * kCellW, kMargin + (r - 1) * kCellH, kCellW, kCellH);
    };
    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kCols; ++c) {
            const uint64_t w = f.cellFormat(uint16_t(r), uint16_t(c));
            const QRect rc = cell(r, c);
            p.fillRect(rc, PaletteColour(int(cellFormatGet(w, kFmtBackground))));
            // A stroke where the text stands, bold for titles and totals.
            QPen text(PaletteColour(int(cellFormatGet(w, kFmtForeground))),
                      cellFormatGet(w, kFmtFontStyle) ? 3 : 1);
            p.setPen(text);
            const int y = rc.center().y();
            p.drawLine(rc.left() + 8, y, rc.right() - 8, y);
        }
    const auto line = [&](int style, QPoint a, QPoint b) {
        const QPen pen = view::CellLinePen(style, false);
        if (style == kLineNone || pen.style() == Qt::NoPen) return;
        p.setPen(pen);
        p.drawLine(a, b);
    };
    for (int r = 1; r <= kRows; ++r) {
        line(f.rowRecs[size_t(r - 1)].line, cell(r, 1).topLeft(), cell(r, 1).bottomLeft());
        for (int c = 1; c <= kCols; ++c) {
            const uint64_t w = f.cellFormat(uint16_t(r), uint16_t(c));
            const QRect rc = cell(r, c);
            line(int(cellFormatGet(w, kFmtRightLine)), rc.topRight(), rc.bottomRight());
            line(int(cellFormatGet(w, kFmtBottomLine)), rc.bottomLeft(), rc.bottomRight());
        }
    }
    for (int c = 1; c <= kCols; ++c)
        line(f.colRecs[size_t(c - 1)].line, cell(1, c).topLeft(), cell(1, c).topRight());
    for (const AreaLineRecord& l : f.areaLines) {
        const QRect a = cell(l.r1, l.c1).united(cell(l.r2, l.c2));
        if (l.direction == 0)
            line(l.style, a.topLeft(), a.bottomRight());
        else
            line(l.style, a.bottomLeft(), a.topRight());
    }
    return img;
}

CApplyFormatDlg::CApplyFormatDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kApplyFormatAction)));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_list = Bind(IDC_LIST, new QListWidget(this));
    for (int i = 0; i < kTableStyleCount; ++i)
        m_list->addItem(LoadErrorText(qor::str::kTableStyleCrossBlackWhite + i));
    m_list->setMinimumWidth(170);
    m_preview = Bind(IDC_PREVIEW, new PaintBox(this, [this](QPainter& p, const QRect& r) {
                         p.fillRect(r, Qt::white);
                         const QImage img = TableStylePreview(m_list->currentRow());
                         if (!img.isNull()) p.drawImage(r.center() - img.rect().center(), img);
                     }));
    m_preview->setMinimumSize(TableStylePreview(0).size() + QSize(8, 8));
    row->addWidget(m_list);
    row->addWidget(m_preview, 1);
    layout->addLayout(row);
    AddDlgButtons(this, layout);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int r) {
        if (r >= 0) chosenFormat = r;
        m_preview->update();
    });
}

bool CApplyFormatDlg::OnInitDialog() {
    m_list->setCurrentRow(chosenFormat >= 0 && chosenFormat < kTableStyleCount ? chosenFormat : 0);
    return true;
}

void CApplyFormatDlg::OnOK() {
    if (m_list->currentRow() >= 0) chosenFormat = m_list->currentRow();
    EndDialog(IDOK);
}

// ---- CDrawLineDlg ---------------------------------------------------------

CDrawLineDlg::CDrawLineDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kDrawAreaLinesTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* typeBox = new QGroupBox(LoadErrorText(qor::str::kLineKindGroup), this);
    auto* typeGrid = new QGridLayout(typeBox);
    m_type = new QButtonGroup(this);
    const int names[6] = {qor::str::kGridLinesRadio,         qor::str::kHorizontalLinesRadio,
                          qor::str::kVerticalLinesRadio,     qor::str::kFrameLinesRadio,
                          qor::str::kForwardSlashLinesRadio, qor::str::kBackslashLinesRadio};
    for (int t = 0; t < 6; ++t) {
        auto* b = Bind(kDrawLineTypeRadios[size_t(t)],
                       new QRadioButton(LoadErrorText(names[t]), typeBox));
        m_type->addButton(b, t);
        typeGrid->addWidget(b, t / 3, t % 3);
    }
    layout->addWidget(typeBox);
    auto* row = new QHBoxLayout;
    m_style = Bind(IDC_STYLE, new QComboBox(this));
    FillLineStyleCombo(m_style);
    row->addWidget(new QLabel(LoadErrorText(qor::str::kLineStyleLabel), this));
    row->addWidget(m_style, 1);
    layout->addLayout(row);
    AddDlgButtons(this, layout);
    connect(m_style, &QComboBox::activated, this, [this] {
        if (QWidget* ok = GetDlgItem(IDOK)) ok->setFocus();
    });
}

bool CDrawLineDlg::OnInitDialog() {
    m_type->button(0)->setChecked(true);
    m_style->setCurrentIndex(1);
    return true;
}

void CDrawLineDlg::OnOK() {
    lineType = std::max(0, m_type->checkedId());
    lineStyle = m_style->currentIndex() >= 0 ? m_style->currentIndex() : 1;
    EndDialog(IDOK);
}

// ---- CPageSetupDlg --------------------------------------------------------

CPageSetupDlg::CPageSetupDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kPageSetupAction)));
    auto* layout = new QVBoxLayout(this);

    auto* marginBox = new QGroupBox(LoadErrorText(qor::str::kMarginsMmGroup), this);
    auto* marginGrid = new QGridLayout(marginBox);
    const int marginIds[4] = {IDC_LEFT, IDC_RIGHT, IDC_TOP, IDC_BOTTOM};
    const int marginNames[4] = {qor::str::kLeftMarginLabel, qor::str::kRightMarginLabel,
                                qor::str::kTopMarginLabel, qor::str::kBottomMarginLabel};
    for (int i = 0; i < 4; ++i) {
        m_margins[i] = Bind(marginIds[i], new QLineEdit(marginBox));
        marginGrid->addWidget(new QLabel(LoadErrorText(marginNames[i]), marginBox), i / 2,
                              (i % 2) * 2);
        marginGrid->addWidget(m_margins[i], i / 2, (i % 2) * 2 + 1);
    }
    layout->addWidget(marginBox);

    auto* scaleRow = new QHBoxLayout;
    m_scale = Bind(IDC_SCALE, new QLineEdit(this));
    scaleRow->addWidget(new QLabel(LoadErrorText(qor::str::kScaleRangeLabel), this));
    scaleRow->addLayout(withSpin(this, m_scale, IDC_SCALE_SPIN, ScaleSpinStep));
    layout->addLayout(scaleRow);

    auto* titleBox = new QGroupBox(LoadErrorText(qor::str::kPageTitlesGroup), this);
    auto* titleGrid = new QGridLayout(titleBox);
    m_header = Bind(IDC_HEADER, new QCheckBox(LoadErrorText(qor::str::kPageHeadCheck), titleBox));
    m_footer = Bind(IDC_FOOTER, new QCheckBox(LoadErrorText(qor::str::kPageFootCheck), titleBox));
    const int rangeIds[4] = {IDC_HEADER_FIRST, IDC_HEADER_LAST, IDC_FOOTER_FIRST, IDC_FOOTER_LAST};
    for (int i = 0; i < 4; ++i) m_range[i] = Bind(rangeIds[i], new QLineEdit(titleBox));
    titleGrid->addWidget(m_header, 0, 0);
    titleGrid->addWidget(m_range[0], 0, 1);
    titleGrid->addWidget(new QLabel(LoadErrorText(qor::str::kRangeToLabel), titleBox), 0, 2);
    titleGrid->addWidget(m_range[1], 0, 3);
    titleGrid->addWidget(m_footer, 1, 0);
    titleGrid->addWidget(m_range[2], 1, 1);
    titleGrid->addWidget(new QLabel(LoadErrorText(qor::str::kRangeToLabel), titleBox), 1, 2);
    titleGrid->addWidget(m_range[3], 1, 3);
    m_rows = Bind(IDC_ROWS, new QRadioButton(LoadErrorText(qor::str::kWhatRow), titleBox));
    m_cols = Bind(IDC_COLS, new QRadioButton(LoadErrorText(qor::str::kColumnWord), titleBox));
    titleGrid->addWidget(m_rows, 2, 1);
    titleGrid->addWidget(m_cols, 2, 3);
    layout->addWidget(titleBox);
    AddDlgButtons(this, layout);

    connect(m_header, &QCheckBox::clicked, this, [this](bool on) {
        headerEnabled = on ? 1 : 0;
        m_range[0]->setEnabled(on);
        m_range[1]->setEnabled(on);
    });
    connect(m_footer, &QCheckBox::clicked, this, [this](bool on) {
        footerEnabled = on ? 1 : 0;
        m_range[2]->setEnabled(on);
        m_range[3]->setEnabled(on);
    });
    connect(m_rows, &QRadioButton::clicked, this, [this] { rangeKind = 0; });
    connect(m_cols, &QRadioButton::clicked, this, [this] { rangeKind = 1; });
}

void CPageSetupDlg::showRanges() {
    const int32_t values[4] = {headerFirst, headerLast, footerFirst, footerLast};
    for (int i = 0; i < 4; ++i) {
        const bool on = i < 2 ? headerEnabled != 0 : footerEnabled != 0;
        m_range[i]->setEnabled(on);
        m_range[i]->setText(on ? PageSetupRangeText(values[i], rangeKind) : QString());
    }
}

bool CPageSetupDlg::OnInitDialog() {
    m_header->setChecked(headerEnabled != 0);
    m_footer->setChecked(footerEnabled != 0);
    const int32_t margins[4] = {leftMm, rightMm, topMm, bottomMm};
    for (int i = 0; i < 4; ++i) m_margins[i]->setText(QString::number(margins[i]));
    m_scale->setText(ScaleText(int(std::lround(scale * 10))));
    m_rows->setChecked(rangeKind == 0);
    m_cols->setChecked(rangeKind == 1);
    showRanges();
    return true;
}

void CPageSetupDlg::OnOK() {
    PageSetupTexts t{m_margins[0]->text(), m_margins[1]->text(), m_margins[2]->text(),
                     m_margins[3]->text(), m_scale->text(),      m_range[0]->text(),
                     m_range[1]->text(),   m_range[2]->text(),   m_range[3]->text()};
    if (RefuseOn(this, CheckPageSetup(t, this))) return;
    EndDialog(IDOK);
}
