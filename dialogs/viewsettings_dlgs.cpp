#include "dialogs/viewsettings_dlgs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include "dialogs/viewsettings_logic.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString caption(int templateId, const QString& fallback) {
    const QString text = res::templateCaption(templateId).value_or(QString()).trimmed();
    return text.isEmpty() ? fallback : text;
}

QString controlText(int templateId, int id, const QString& fallback) {
    const auto info = res::controlInfo(templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

template <class W>
W* item(QHash<int, QWidget*>& items, int id, W* w) {
    items.insert(id, w);
    w->setObjectName(QStringLiteral("ctl%1").arg(id));
    return w;
}

// OK and Cancel in the template's words; OK goes through the dialog's own
// check, Cancel closes with IDCANCEL.
void addButtons(QDialog* dlg, int templateId, QHash<int, QWidget*>& items, QLayout* layout) {
    auto* box = new QDialogButtonBox(dlg);
    auto* ok =
        item(items, kIdOk,
             box->addButton(controlText(templateId, kIdOk, LoadErrorText(qor::str::kOkButton)), QDialogButtonBox::AcceptRole));
    auto* cancel = item(
        items, kIdCancel,
        box->addButton(controlText(templateId, kIdCancel, LoadErrorText(qor::str::kCancelButton)), QDialogButtonBox::RejectRole));
    ok->setDefault(true);
    QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, [dlg] { dlg->done(kIdCancel); });
    layout->addWidget(box);
}

// The grid colour list: each entry a solid block of its colour inset by a
// pixel, framed in black while it is the current one.
class ColourItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect r = option.rect.adjusted(1, 1, -1, -1);
        painter->fillRect(r, QColor::fromRgb(index.data(Qt::UserRole).toUInt()));
        const bool current = option.state & QStyle::State_Selected;
        painter->setPen(current ? Qt::black : Qt::white);
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {80, 16};
    }
};

}  // namespace

// ---- CZoomDlg -------------------------------------------------------------

CZoomDlg::CZoomDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD, LoadErrorText(qor::str::kZoomCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_edit = item(m_items, IDC_ZOOM, new QLineEdit(this));
    row->addWidget(m_edit, 1);
    auto* spin = item(m_items, IDC_SPIN, new QWidget(this));
    auto* arrows = new QVBoxLayout(spin);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    auto* up = new QToolButton(spin);
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(spin);
    down->setArrowType(Qt::DownArrow);
    arrows->addWidget(up);
    arrows->addWidget(down);
    row->addWidget(spin);
    row->addWidget(new QLabel(QStringLiteral("%"), this));
    layout->addLayout(row);
    addButtons(this, IDD, m_items, layout);
    connect(up, &QToolButton::clicked, this, [this] { OnDeltaPos(-1); });
    connect(down, &QToolButton::clicked, this, [this] { OnDeltaPos(1); });
}

bool CZoomDlg::OnInitDialog() {
    m_edit->setText(QString::number(percent));
    return true;
}

void CZoomDlg::OnDeltaPos(int delta) {
    m_edit->setText(QString::number(ZoomSpinStep(m_edit->text(), delta)));
}

void CZoomDlg::OnOK() {
    const auto value = ParseZoomEntry(m_edit->text());
    if (!value) {
        messageBox(ZoomRangeMessage(), windowTitle(), MsgButtons::Ok, MsgIcon::Warning);
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    percent = *value;
    done(kIdOk);
}

// ---- CDisplayStyleDlg -----------------------------------------------------

CDisplayStyleDlg::CDisplayStyleDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD, LoadErrorText(qor::str::kViewStyleCaption)));
    auto* layout = new QVBoxLayout(this);
    auto check = [&](int id, const QString& fallback) {
        auto* c = item(m_items, id, new QCheckBox(controlText(IDD, id, fallback), this));
        layout->addWidget(c);
        return c;
    };
    m_hideColumns = check(IDC_HIDE_COLUMNS, LoadErrorText(qor::str::kHideColumnLabelsCheck));
    m_hideRows = check(IDC_HIDE_ROWS, LoadErrorText(qor::str::kHideRowLabelsCheck));
    m_standard = check(IDC_STANDARD_COLOURS, LoadErrorText(qor::str::kStandardColoursCheck));
    m_grid = item(m_items, IDC_GRID, new QComboBox(this));
    m_grid->setItemDelegate(new ColourItemDelegate(m_grid));
    for (const uint32_t rgb : view::kStylePalette) {
        QPixmap block(32, 12);
        block.fill(QColor::fromRgb(rgb));
        m_grid->addItem(QIcon(block), QString(), QVariant::fromValue(rgb));
    }
    layout->addWidget(m_grid);
    addButtons(this, IDD, m_items, layout);
}

bool CDisplayStyleDlg::OnInitDialog() {
    m_hideColumns->setChecked(hideColumnHeaders);
    m_hideRows->setChecked(hideRowHeaders);
    m_standard->setChecked(standardColours);
    const bool inList = gridIndex >= 0 && gridIndex < m_grid->count();
    m_grid->setCurrentIndex(inList ? gridIndex : -1);
    return true;
}

void CDisplayStyleDlg::OnOK() {
    hideColumnHeaders = m_hideColumns->isChecked();
    hideRowHeaders = m_hideRows->isChecked();
    standardColours = m_standard->isChecked();
    // No selection keeps the preset, which the command reads as "grid
    // colour unchanged" when it lies outside the palette.
    if (m_grid->currentIndex() >= 0) gridIndex = m_grid->currentIndex();
    done(kIdOk);
}

// ---- CCurrencySymbolDlg ---------------------------------------------------

CCurrencySymbolDlg::CCurrencySymbolDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD, LoadErrorText(qor::str::kCurrencySymbolCaption)));
    auto* layout = new QVBoxLayout(this);
    m_symbol = item(m_items, IDC_SYMBOL, new QComboBox(this));
    m_symbol->addItems(CurrencyEntries());
    layout->addWidget(m_symbol);
    addButtons(this, IDD, m_items, layout);
}

bool CCurrencySymbolDlg::OnInitDialog() {
    m_symbol->setCurrentIndex(m_nIndex >= 0 && m_nIndex < m_symbol->count() ? m_nIndex : -1);
    return true;
}

void CCurrencySymbolDlg::OnOK() {
    m_nIndex = m_symbol->currentIndex();
    done(kIdOk);
}

// ---- CTitleFontDlg --------------------------------------------------------

CTitleFontDlg::CTitleFontDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD, LoadErrorText(qor::str::kTitleFontCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_face = item(m_items, IDC_FACE, new QComboBox(this));
    // Editable so a face that is not installed here still comes back on OK
    // instead of being replaced by an empty name.
    m_face->setEditable(true);
    m_face->setInsertPolicy(QComboBox::NoInsert);
    m_style = item(m_items, IDC_STYLE, new QComboBox(this));
    m_size = item(m_items, IDC_SIZE, new QComboBox(this));
    m_size->setEditable(true);
    m_size->setInsertPolicy(QComboBox::NoInsert);
    m_size->addItems({"9", "12", "14", "16", "20", "24", "30", "72"});
    row->addWidget(m_face, 2);
    row->addWidget(m_style, 1);
    row->addWidget(m_size, 1);
    layout->addLayout(row);
    m_underline = item(m_items, IDC_UNDERLINE,
                       new QCheckBox(controlText(IDD, IDC_UNDERLINE, LoadErrorText(qor::str::kUnderlineCheck)), this));
    m_strikeOut = item(m_items, IDC_STRIKEOUT,
                       new QCheckBox(controlText(IDD, IDC_STRIKEOUT, LoadErrorText(qor::str::kStrikeoutCheck)), this));
    layout->addWidget(m_underline);
    layout->addWidget(m_strikeOut);
    addButtons(this, IDD, m_items, layout);
}

bool CTitleFontDlg::OnInitDialog() {
    m_style->clear();
    m_style->addItems(TitleFontStyleNames());
    m_face->clear();
    for (const QString& family : QFontDatabase::families())
        if (!family.isEmpty() && QFontDatabase::isScalable(family)) m_face->addItem(family);
    // An empty face opens as the system's plain face at size 9; the members
    // themselves change only on OK.
    const bool system = m_faceName.isEmpty();
    const QString faceName = system ? TitleFontFaceFromText(font().family()) : m_faceName;
    const int face = m_face->findText(faceName);
    if (face >= 0) m_face->setCurrentIndex(face);
    m_face->setEditText(faceName);
    m_underline->setChecked(!system && m_bUnderline);
    m_strikeOut->setChecked(!system && m_bStrikeOut);
    m_style->setCurrentIndex(system ? 0 : TitleFontStyleIndex(m_bItalic, m_bBold));
    m_size->setEditText(QString::number(system ? 9 : m_nSize));
    return true;
}

void CTitleFontDlg::OnOK() {
    m_faceName = TitleFontFaceFromText(m_face->currentText());
    const int style = m_style->currentIndex();
    m_bItalic = TitleFontStyleItalic(style);
    m_bBold = TitleFontStyleBold(style);
    m_bUnderline = m_underline->isChecked();
    m_bStrikeOut = m_strikeOut->isChecked();
    m_nSize = TitleFontSizeFromText(m_size->currentText());
    done(kIdOk);
}
